#!/usr/bin/env bash
# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer
# (leak checking on; any report fails its test), then the concurrency tests
# under ThreadSanitizer for 20 seconds each: headless, the audio, automation
# and editor threads at once; in a window on a private Xvfb, ZVX's editor
# while the audio thread plays and learned controllers move parameters; the
# LV2 instance restoring state while it plays; the VST 3 plug-in too.
set -euo pipefail
cd "$(dirname "$0")/.."

# configure BUILD-DIR SANITIZERS: a tree of its own built with them. Line
# tables only (-g1): the reports name file and line, and the two trees build
# a quarter faster than with full debug information.
configure() {
  local build=$1 flags="-fsanitize=$2 -fno-omit-frame-pointer -fno-sanitize-recover=all"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZVX_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=$2" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=$2" \
    -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=$2" >/dev/null
}
jobs=$(nproc)

asan=${ASAN_BUILD:-build-asan}
configure "$asan" address,undefined
cmake --build "$asan" -j"$jobs"
# The Windows build's tests and zvx-validate's run on ZVX are the normal
# tree's; here they would only repeat it. Ardour (its sessions and its VST
# scanner on the installed tree) and jalv, built without the sanitizer,
# cannot load a module built with it.
echo "asan+ubsan: the whole test suite"
(cd "$asan" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  GTEST_FILTER=-ValidateTest.ZvxPassesEveryCheck ctest --output-on-failure -j"$jobs" --timeout 1200 -E 'wine_tests|lv2_in_ardour|lv2_in_jalv|install_in_ardour|vst3_in_ardour')

echo "asan+ubsan: built and run in $SECONDS s"
started=$SECONDS

tsan=${TSAN_BUILD:-build-tsan}
configure "$tsan" thread
cmake --build "$tsan" --target concurrency_tests x11_tests lv2_tests vst3_tests -j"$jobs"
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ZVX_STRESS_SECONDS=20
echo "tsan: audio, automation and editor threads at once"
"$tsan/tests/concurrency_tests" --gtest_brief=1
echo "tsan: the ZVX editor in a window while audio and learned controllers run"
"$tsan/tests/x11_tests" --gtest_brief=1 --gtest_filter='*ZvxEditorInAWindow*'
echo "tsan: an LV2 host restoring presets and sessions while the instance plays"
"$tsan/tests/lv2_tests" --gtest_brief=1 --gtest_filter='*RestoresWhileRunning*'
echo "tsan: a VST 3 host restoring its state while the plug-in processes"
"$tsan/tests/vst3_tests" --gtest_brief=1 --gtest_filter='*RestoresWhileProcessing*'
echo "tsan: built and run in $((SECONDS - started)) s"
