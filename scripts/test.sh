#!/usr/bin/env bash
# Sets everything up and runs the whole test suite:
#   1. the normal build (build/), every test, GL and input tests under a private Xvfb;
#   1b. the web studio (build-web/, emscripten) in headless Chromium against build/'s tools;
#   2. the fuzz targets (build-fuzz/, clang with libFuzzer), each for a bounded time;
#   3. the AddressSanitizer + UndefinedBehaviorSanitizer build (build-asan/), every test.
# Fails on the first failing test, crash or sanitizer finding. Ends with ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

# The same build/ as run.sh's, configured the same way: what it built is reused.
./scripts/setup.sh

echo "== format: every C++ file as clang-format makes it =="
./scripts/check-format.sh

echo "== layers: includes and links keep to their floors =="
./scripts/check-layers.sh

. scripts/xvfb.sh
start_private_xvfb
# Mesa's software renderer, whatever the machine has.
export LIBGL_ALWAYS_SOFTWARE=1
export GALLIUM_DRIVER=llvmpipe

echo "== normal build: tests =="
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300

echo "== web studio: the engine as WebAssembly, driven in headless Chromium =="
./scripts/test-web.sh build

echo "== fuzz build: each target for a bounded time =="
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQP_FUZZ=ON -DQP_WERROR=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j "$jobs"
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
ctest --test-dir build-fuzz --output-on-failure -L fuzz --timeout 120 --no-tests=error

echo "== sanitizer build (address, undefined): tests =="
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQP_SANITIZE=ON -DQP_WERROR=ON >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 600
