#!/usr/bin/env bash
# Installs what is missing, builds, and starts snipdock from its program folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
exec build/program/snipdock "$@"
