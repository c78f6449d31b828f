#!/bin/sh
# Installs what is missing, builds everything and runs the demo: in a window
# when a display is at hand, else headless, capturing its last frame.
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
if [ -n "$DISPLAY" ] || [ -n "$WAYLAND_DISPLAY" ]; then
  build/engine --window
else
  build/engine --frames 300 --capture build/demo-frame.png
  echo "Demo frame: build/demo-frame.png"
fi
