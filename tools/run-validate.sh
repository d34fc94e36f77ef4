#!/usr/bin/env bash
# zvx-validate on a build's ZVX.so, with the default data folder installed in
# a temporary documents folder so the module loads its bank, samples and skin.
set -euo pipefail
build=${1:-build}
documents=$(mktemp -d)
trap 'rm -rf "$documents"' EXIT
export ZVX_DOCUMENTS=$documents
"$build/tools/zvx-data" install "$build/data" >/dev/null
"$build/tools/zvx-validate/zvx-validate" "$build/ZVX.so"
