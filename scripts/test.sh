#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite; the real-window tests run under
# a virtual X server, which must not reset when its last client leaves (-noreset): under a
# parallel run a window test could start just then and find no display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --test-dir build --output-on-failure -j"$(nproc)"
