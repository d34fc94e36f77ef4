#!/usr/bin/env bash
# ZVX's LV2 bundle as the LV2 tools read it, against LV2's own vocabulary
# bundles alone (core, atom, ui, ...: Debian's lv2-dev): whatever else the
# system holds beside them, another plug-in's broken Turtle among it, is not
# ZVX's to answer for.
#   check-bundle.sh turtle|lv2ls|lv2info SYSTEM-LV2-FOLDER BUNDLE
#     turtle   sord_validate: the bundle's files against LV2's vocabularies
#     lv2ls    lv2ls lists the plug-in, with no warning or error
#     lv2info  lv2info describes it as an instrument, with no warning or error
set -euo pipefail
check=$1 system=$2 bundle=$3
uri=https://zvx.audio/lv2/zvx
vocabularies=(atom buf-size core data-access dynmanifest event instance-access log midi morph options
              parameters patch port-groups port-props presets resize-port schemas state time ui units
              uri-map urid worker)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The one folder the tools look in: LV2's vocabulary bundles and ZVX's, as links.
mkdir "$work/lv2"
for name in "${vocabularies[@]}"; do
  if [ -d "$system/$name.lv2" ]; then ln -s "$system/$name.lv2" "$work/lv2/$name.lv2"; fi
done
if [ ! -e "$work/lv2/core.lv2" ]; then
  echo "$system holds none of LV2's vocabularies (Debian: lv2-dev)" >&2
  exit 1
fi
if [ ! -f "$bundle/manifest.ttl" ]; then
  echo "$bundle holds no manifest.ttl" >&2
  exit 1
fi
ln -s "$(cd "$bundle" && pwd)" "$work/lv2/$(basename "$bundle")"

# Runs a tool; fails when it fails, when its output lacks `wanted`, or when it warns.
expect() {
  local wanted=$1 output
  shift
  if ! output=$(LV2_PATH=$work/lv2 "$@" 2>&1); then
    printf '%s\n' "$output"
    echo "$1 failed" >&2
    return 1
  fi
  printf '%s\n' "$output"
  if ! grep -Eq -- "$wanted" <<<"$output"; then echo "$1 did not say $wanted" >&2; return 1; fi
  if grep -Eqi -- 'warning|error' <<<"$output"; then echo "$1 warned" >&2; return 1; fi
}

case $check in
  turtle) sord_validate "$work"/lv2/*.lv2/*.ttl ;;
  lv2ls) expect "^$uri\$" lv2ls ;;
  lv2info) expect "Class: +Instrument" lv2info "$uri" ;;
  *) echo "unknown check $check" >&2; exit 2 ;;
esac
