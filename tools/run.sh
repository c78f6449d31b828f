#!/bin/sh
# Installs what is missing, builds everything and runs the engine's main job.
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
echo "Built libraries:"
find build/source -name '*.a' | sed 's|.*/||' | sort
