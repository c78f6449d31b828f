#!/bin/sh
# Installs what is missing, builds everything and runs the engine's main job.
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
echo "Built libraries:"
ls build/source/*/*.a 2>/dev/null | sed 's|.*/||'
