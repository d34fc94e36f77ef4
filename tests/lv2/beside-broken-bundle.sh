#!/usr/bin/env bash
# The LV2 checks of the suite on a system where ZVX is installed beside a
# plug-in whose Turtle is broken (as some of Debian's plug-in packages
# ship): a folder standing for SYSTEM-LV2-FOLDER with everything it holds,
# ZVX's bundle and the broken one made here. Each check must pass.
#   beside-broken-bundle.sh CHECK-SCRIPT SYSTEM-LV2-FOLDER BUNDLE
set -euo pipefail
checks=$1 system=$2 bundle=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/lv2"
for entry in "$system"/*; do ln -s "$entry" "$work/lv2/$(basename "$entry")"; done
cp -r "$bundle" "$work/lv2/ZVX.lv2"
broken=$work/lv2/broken-synth.lv2
mkdir "$broken"
cat > "$broken/manifest.ttl" <<'TTL'
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
<urn:example:broken-synth> a lv2:Plugin , lv2:InstrumentPlugin ;
  lv2:binary <broken-synth.so> ;
  rdfs:seeAlso <broken-synth.ttl> .
TTL
cat > "$broken/broken-synth.ttl" <<'TTL'
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
<urn:example:broken-synth> lv2:port 5 ;
  lv2:minorVersion "two" ;
TTL
# The bundle is broken indeed: the whole folder does not validate.
if sord_validate "$work"/lv2/*.lv2/*.ttl > /dev/null 2>&1; then
  echo "the broken bundle validates: this test proves nothing" >&2
  exit 1
fi
for check in turtle lv2ls lv2info; do
  echo "== $check"
  "$checks" "$check" "$work/lv2" "$work/lv2/ZVX.lv2"
done
