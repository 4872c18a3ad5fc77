#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite; the real-window tests run under
# a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build --output-on-failure -j"$(nproc)"
