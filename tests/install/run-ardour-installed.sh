#!/usr/bin/env bash
# ZVX installed as a packager installs it (into a staging prefix), in Ardour
# as a user who never ran ZVX, on a display (Xvfb) where a message box could
# open: Ardour's VST scanner finishes on the module, which says nothing; then
# the LV2 bundle and the VST module play in Ardour's headless sessions
# (../lv2/ardour-session.lua), each with the default bank it filled the
# user's data folder with; so does the VST3 bundle, scanned by Ardour's VST3
# scanner. The module of the build, whose data folder stays empty, is
# scanned to the end too: what it has to say goes to the log.
#   run-ardour-installed.sh CMAKE BUILD-TREE
# Skipped (77) where Ardour or Xvfb is not installed.
set -euo pipefail
cmake=$1 build=$2
lua=$(command -v ardour7-lua || command -v ardour8-lua || true)
scanner=$(ls /usr/lib/ardour*/ardour-vst-scanner 2>/dev/null | head -n1 || true)
scanner3=$(ls /usr/lib/ardour*/ardour-vst3-scanner 2>/dev/null | head -n1 || true)
if [ -z "$lua" ] || [ -z "$scanner" ] || [ -z "$scanner3" ] || ! command -v xvfb-run > /dev/null; then
  echo "Ardour (ardour7-lua, ardour-vst-scanner, ardour-vst3-scanner) or xvfb-run is not installed: skipped"
  exit 77
fi
session=$(dirname "$0")/../lv2/ardour-session.lua
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cmake" --install "$build" --prefix "$work/usr" > /dev/null
unset ZVX_DOCUMENTS XDG_DOCUMENTS_DIR XDG_CONFIG_HOME ZVX_MESSAGES DISPLAY
data() { echo "$HOME/Documents/Tonewerk Data/ZVX"; }

# Scans `module` as Ardour does, on a private Xvfb, into $HOME's cache. A
# guard only: a scan that waits on a box would never end.
scan() {
  local module=$1
  # Ardour takes a cache only when it is as new as the module, to the second
  # it stamps the cache with: the module gets a whole second.
  touch -d "@$(($(date +%s) - 2))" "$module"
  timeout -k 5 120 xvfb-run -a env LD_LIBRARY_PATH="$(dirname "$scanner")" "$scanner" -f "$module" \
    > "$work/scan.log" 2>&1 || { cat "$work/scan.log"; echo "the scan did not finish" >&2; return 1; }
  cat "$work/scan.log"
  if ! ls "$HOME"/.cache/ardour*/vst/*.v2i > /dev/null 2>&1; then
    echo "the scan wrote no cache" >&2
    return 1
  fi
}

echo "== the installed module, scanned by a fresh user"
mkdir "$work/home" && export HOME=$work/home
scan "$work/usr/lib/vst/ZVX.so"
if grep -q "ZVX message" "$work/scan.log"; then echo "the installed module said something" >&2; exit 1; fi
for file in default.fxb BDA.wav skin/skin.xml "sound wizard.xml"; do
  [ -f "$(data)/$file" ] || { echo "the scan did not fill $(data)/$file" >&2; exit 1; }
done
echo "== the installed module in a session"
LXVST_PATH=$work/usr/lib/vst "$lua" "$session" vst "$work/vst-session" 2>&1 | tee "$work/vst.log"
if grep -q "ZVX message" "$work/vst.log"; then echo "the installed module said something" >&2; exit 1; fi

echo "== the installed bundle, for another fresh user"
mkdir "$work/home2" && export HOME=$work/home2
LV2_PATH=$work/usr/lib/lv2 "$lua" "$session" create "$work/lv2-session" 2>&1 | tee "$work/lv2.log"
if grep -q "ZVX message" "$work/lv2.log"; then echo "the installed bundle said something" >&2; exit 1; fi
[ -f "$(data)/default.fxb" ] || { echo "the bundle did not fill $(data)" >&2; exit 1; }

echo "== the installed VST3 bundle, for another fresh user, through a link in ~/.vst3"
mkdir -p "$work/home4/.vst3" && export HOME=$work/home4
ln -s "$work/usr/lib/vst3/ZVX.vst3" "$HOME/.vst3/ZVX.vst3"
touch -d "@$(($(date +%s) - 2))" "$work/usr/lib/vst3/ZVX.vst3/Contents/x86_64-linux/ZVX.so"
timeout -k 5 120 xvfb-run -a env LD_LIBRARY_PATH="$(dirname "$scanner3")" "$scanner3" -f "$HOME/.vst3/ZVX.vst3" \
  > "$work/scan3.log" 2>&1 || { cat "$work/scan3.log"; echo "the VST3 scan did not finish" >&2; exit 1; }
cat "$work/scan3.log"
if grep -q "ZVX message" "$work/scan3.log"; then echo "the installed VST3 bundle said something" >&2; exit 1; fi
[ -f "$(data)/default.fxb" ] || { echo "the VST3 scan did not fill $(data)" >&2; exit 1; }
"$lua" "$session" vst3-create "$work/vst3-session" 2>&1 | tee "$work/vst3.log"
if grep -q "ZVX message" "$work/vst3.log"; then echo "the installed VST3 bundle said something" >&2; exit 1; fi

echo "== the build's module, with nothing to fill its data folder from"
mkdir "$work/home3" "$work/build-vst" && export HOME=$work/home3
cp "$build/ZVX.so" "$work/build-vst/ZVX.so"
scan "$work/build-vst/ZVX.so"
grep -q "ZVX message" "$work/scan.log" || { echo "the build's module said nothing of its empty folder" >&2; exit 1; }
echo "all finished"
