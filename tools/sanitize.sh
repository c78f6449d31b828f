#!/bin/sh
# Builds the tests with AddressSanitizer and UndefinedBehaviorSanitizer (Debug, GCC) in a
# build folder of their own and runs them through CTest; the first report fails the run.
set -e
cd "$(dirname "$0")/.."
BUILD=${ENGINE_SANITIZE_BUILD:-build-asan}
FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
  -DENGINE_BUILD_BENCH=OFF \
  -DCMAKE_C_FLAGS="$FLAGS" -DCMAKE_CXX_FLAGS="$FLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build "$BUILD"
# Mesa's llvmpipe keeps compiled shaders and driver state until the process ends and
# some of it is never freed: leak checking would report the driver, not the engine.
# Leaks of our own code are covered by the destructor tests and valgrind runs instead.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=0:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
cd "$BUILD"
ctest --output-on-failure -j"$(nproc)"
