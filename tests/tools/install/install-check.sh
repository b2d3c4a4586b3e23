#!/usr/bin/env bash
# The installed programs: `cmake --install` into a fresh prefix, then the
# installed vantrel-capture renders a frame from an unrelated working folder.
# It must read its data from the prefix (through the archive), write log.txt
# and the frame where it runs, and leave the prefix as installed.
#   install-check.sh BUILD_DIR
set -euo pipefail
build=$1
top=$(mktemp -d)
# Capitals and a blank in the prefix: the data's path is taken as it is.
prefix="$top/Vantrel Prefix"
work="$top/work"
mkdir -p "$work"
trap 'rm -rf "$top"' EXIT
fail() { echo "install-check: $*" >&2; [ -f "$work/log.txt" ] && sed 's/^/  log: /' "$work/log.txt" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > /dev/null
for f in bin/vantrel-demo bin/vantrel-capture share/vantrel/data.pak share/vantrel/data/station03.ase \
         share/applications/vantrel-demo.desktop; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
grep -qx 'Exec=vantrel-demo' "$prefix/share/applications/vantrel-demo.desktop" || fail "the desktop entry starts nothing"
before=$(find "$prefix" | sort)

(cd "$work" && SDL_VIDEODRIVER=dummy "$prefix/bin/vantrel-capture" --width 160 --height 120 --frames 1 --out frames \
  2> capture.err) || fail "the installed vantrel-capture failed: $(cat "$work/capture.err")"
grep -qxF "FileManager: Add path 'textures/'." "$work/log.txt" || fail "log.txt shows no archive in use"
if grep -qE "not found|Zip: |failed" "$work/log.txt"; then fail "log.txt reports a problem"; fi
[ -s "$work/frames/frame_000000.png" ] || fail "no frame written"
[ "$(find "$prefix" | sort)" = "$before" ] || fail "the program wrote into the install prefix"
"$prefix/bin/vantrel-demo" --help | grep -q '^Usage: vantrel-demo' || fail "the installed demo gives no usage"
echo "install-check: installed programs run from $prefix with the data installed there"
