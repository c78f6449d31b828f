#!/bin/sh
# Installs what is missing, builds everything and runs every test through CTest.
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
cd build
ctest --output-on-failure -j"$(nproc)"

# The audio tests again under ThreadSanitizer: the mixing thread shares instances with the game thread.
cd ..
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DENGINE_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread
cmake --build build-tsan --target audio_tests demo_audio
cd build-tsan
TSAN_OPTIONS="halt_on_error=1 suppressions=$(pwd)/../tests/audio/tsan.supp" ctest --output-on-failure -j"$(nproc)" -R '^(AudioReader|CompositeAudioClip|AudioMixer|AudioOutput)\.'
