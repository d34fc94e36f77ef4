#!/usr/bin/env bash
# Runs ardour-session.lua in Ardour's headless Lua session tool, against the
# built bundle and VST module and a data folder of its own:
#   run-ardour.sh BUNDLE ZVX-DATA SOURCE-DATA [VST-MODULE]
# Skipped (77) where Ardour is not installed.
set -euo pipefail
bundle=$1 zvx_data=$2 source_data=$3 vst=${4:-}
lua=$(command -v ardour7-lua || command -v ardour8-lua || true)
if [ -z "$lua" ]; then
  echo "ardour7-lua is not installed: skipped"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ZVX_DOCUMENTS=$work/documents HOME=$work
mkdir -p "$ZVX_DOCUMENTS"
"$zvx_data" install "$source_data" > /dev/null
# The bundle alone: a ZVX installed for the user must not stand in for it.
export LV2_PATH=$(dirname "$bundle")
script=$(dirname "$0")/ardour-session.lua
"$lua" "$script" create "$work/session"
"$lua" "$script" reopen "$work/session"
# The VST module, as Ardour finds it: scanned into its cache by its own
# scanner, then loaded from LXVST_PATH.
scanner=$(ls /usr/lib/ardour*/ardour-vst-scanner 2>/dev/null | head -n1 || true)
# A home of its own for the scanner's cache.
if [ -n "$vst" ] && [ -n "$scanner" ]; then
  mkdir -p "$work/vst" "$work/vst-home"
  cp "$vst" "$work/vst/ZVX.so"
  # Ardour takes a cache only when it is as new as the module, to the second
  # it stamps the cache with: the module gets a whole second.
  touch -d "@$(($(date +%s) - 2))" "$work/vst/ZVX.so"
  export HOME=$work/vst-home
  ZVX_MESSAGES=stderr LD_LIBRARY_PATH=$(dirname "$scanner") "$scanner" -q -f "$work/vst/ZVX.so"
  LXVST_PATH=$work/vst "$lua" "$script" vst "$work/vst-session"
fi
