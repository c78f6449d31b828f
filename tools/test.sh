#!/bin/sh
# Installs what is missing, builds everything and runs every test through CTest.
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
cd build
ctest --output-on-failure -j"$(nproc)"

# The threaded libraries' tests again under ThreadSanitizer (CI runs that pass beside the
# AddressSanitizer one instead).
cd ..
if [ -z "$ENGINE_SKIP_TSAN" ]; then
  tools/tsan.sh
fi
