#!/usr/bin/env bash
# Builds the editor window tests with a sanitizer and runs them on a private
# Xvfb: under AddressSanitizer with leak checking, every window test (editors
# opened and closed a hundred times and more); under ThreadSanitizer, ZVX's
# editor in a window for 20 seconds while the audio thread plays and learned
# controllers move parameters. Any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

# sanitize BUILD-DIR FLAG: a tree of its own with the window tests built.
sanitize() {
  local build=$1 flags="-fsanitize=$2 -fno-omit-frame-pointer"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZVX_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=$2" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=$2" \
    -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=$2" >/dev/null
  cmake --build "$build" --target x11_tests -j"$(nproc)"
}

sanitize "${ASAN_BUILD:-build-asan}" address
echo "asan: editor windows"
ASAN_OPTIONS=detect_leaks=1 "${ASAN_BUILD:-build-asan}/tests/x11_tests" --gtest_brief=1

sanitize "${TSAN_BUILD:-build-tsan}" thread
echo "tsan: the ZVX editor in a window while audio and learned controllers run"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ZVX_STRESS_SECONDS=20 \
  "${TSAN_BUILD:-build-tsan}/tests/x11_tests" --gtest_brief=1 --gtest_filter='*ZvxEditorInAWindow*'
