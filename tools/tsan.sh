#!/bin/sh
# The threaded libraries' tests under ThreadSanitizer, in a build folder of their own: the
# mixing thread, the analytics sender, HTTP requests, and the game core's worker replies and
# rating-prompt counters. ENGINE_JOBS caps the build and test processes (default: all cores).
set -e
cd "$(dirname "$0")/.."
JOBS=${ENGINE_JOBS:-$(nproc)}
# Line tables only (-g1): reports keep file and line, the build is faster.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DENGINE_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DENGINE_CHECK_HEADERS=OFF \
  -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread
cmake --build build-tsan -j"$JOBS" --target audio_tests demo_audio analytics_tests net_tests gamecore_tests
cd build-tsan
export TSAN_OPTIONS="halt_on_error=1 suppressions=$(pwd)/../tests/tsan.supp"
ctest --output-on-failure -j"$JOBS" \
  -R '^(AudioReader|CompositeAudioClip|AudioMixer|AgentTest|EventTest|HttpRequest|IdentifierTest|ProtocolData|ReportTest|SendTest|SessionTest|TransportTest|UtilTest|WorkerTest|RatingPromptTest)\.'
# The output tests time real playback: one at a time, so the instrumented mixing threads keep pace.
ctest --output-on-failure -j1 -R '^AudioOutput\.'
