#!/usr/bin/env bash
# jalv, the LV2 reference host, runs the built bundle with a preset on a
# private JACK server (dummy backend) and shows our X11 UI embedded in its
# window on a private Xvfb: run-jalv.sh BUNDLE ZVX-DATA SOURCE-DATA
# Skipped (77) where jalv, jackd, Xvfb or xwininfo are not installed.
set -euo pipefail
bundle=$1 zvx_data=$2 source_data=$3
for tool in jalv.gtk3 jackd Xvfb xwininfo; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
work=$(mktemp -d)
pids=()
finish() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
export ZVX_DOCUMENTS=$work/documents HOME=$work LV2_PATH=$(dirname "$bundle")
mkdir -p "$ZVX_DOCUMENTS"
"$zvx_data" install "$source_data" > /dev/null

exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$work/display")
export JACK_DEFAULT_SERVER=zvx-jalv-$$
jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 > "$work/jackd.log" 2>&1 &
pids+=($!)
sleep 1

jalv.gtk3 -p "https://zvx.audio/lv2/zvx#preset9" https://zvx.audio/lv2/zvx > "$work/jalv.log" 2>&1 &
pids+=($!)
# Our editor's window has the class "ZVX"; jalv embeds it in its own.
for _ in $(seq 150); do
  tree=$(xwininfo -root -tree 2>/dev/null || true)
  if grep -q '("zvx" "ZVX")' <<< "$tree" && grep -q '"jalv.gtk3"' <<< "$tree"; then
    grep -E 'jalv|ZVX' <<< "$tree"
    grep -q "UI: *https://zvx.audio/lv2/zvx#ui" "$work/jalv.log" || { cat "$work/jalv.log"; exit 1; }
    echo "jalv shows the ZVX editor"
    exit 0
  fi
  sleep 0.1
done
echo "no ZVX editor in jalv's window" >&2
cat "$work/jalv.log" "$work/jackd.log" >&2
exit 1
