#!/bin/sh
# Installs what is missing, builds everything and runs the demo headless, capturing its last frame.
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
build/engine --frames 300 --capture build/demo-frame.png
echo "Demo frame: build/demo-frame.png"
