#!/usr/bin/env bash
# The Turtle check can fail: a copy of ZVX's bundle passes it, and the same
# copy with one wrong statement planted in ZVX.ttl does not.
#   planted-fault.sh CHECK-SCRIPT SYSTEM-LV2-FOLDER BUNDLE
set -euo pipefail
checks=$1 system=$2 bundle=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$bundle" "$work/ZVX.lv2"
"$checks" turtle "$system" "$work/ZVX.lv2" > /dev/null
echo '<https://zvx.audio/lv2/zvx> <http://lv2plug.in/ns/lv2core#port> 5 .' >> "$work/ZVX.lv2/ZVX.ttl"
if "$checks" turtle "$system" "$work/ZVX.lv2" > "$work/output" 2>&1; then
  echo "the planted fault passed the check" >&2
  exit 1
fi
grep -c '^error' "$work/output" | sed 's/$/ errors found in the planted copy/'
