#!/usr/bin/env bash
# Builds the window gallery and writes a screenshot of every window of both programs into
# <build>/screenshots/, shown on a virtual X server. BUILD_DIR picks another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
bash scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target window_gallery
rm -rf "$build/screenshots"
xvfb-run -a -s "-screen 0 1280x1024x24" "$build/ui/wx/window_gallery" --screenshot "$build/screenshots"
