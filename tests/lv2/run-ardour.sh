#!/usr/bin/env bash
# Runs ardour-session.lua in Ardour's headless Lua session tool, against the
# built bundle and a data folder of its own: run-ardour.sh BUNDLE ZVX-DATA SOURCE-DATA
# Skipped (77) where Ardour is not installed.
set -euo pipefail
bundle=$1 zvx_data=$2 source_data=$3
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
