#!/usr/bin/env bash
# Builds the editor window tests with AddressSanitizer and LeakSanitizer and
# runs them: real X11 editors opened and closed a hundred times and more, on
# a private Xvfb, with any leak or bad access failing the run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ASAN_BUILD:-build-asan}
flags="-fsanitize=address -fno-omit-frame-pointer"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZVX_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address \
  -DCMAKE_MODULE_LINKER_FLAGS=-fsanitize=address >/dev/null
cmake --build "$build" --target x11_tests -j"$(nproc)"

echo "asan: editor windows"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 "$build/tests/x11_tests" --gtest_brief=1
