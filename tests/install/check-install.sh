#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user of the installation gets:
# the programs, the sample animals under share/flexherd, a valid desktop entry, the icon and the
# manual page, and that the installed viewer started from an unrelated directory opens the
# installed samples by their bare names (in batch mode, which ends by itself once done).
#
# Usage: check-install.sh BUILD_DIR
# Needs an X display for the viewer (DISPLAY set; ctest runs it under xvfb-run when needed):
# without one the viewer cannot start and the check fails.
set -euo pipefail

build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
prefix=$root/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$root/install.log" || { cat "$root/install.log" >&2; fail "cmake --install"; }

for f in bin/flexherd bin/flexherd-info bin/flexherd-mksample bin/flexherd-import; do
  [ -x "$prefix/$f" ] || fail "$f is not an installed program"
done
for f in quadruped.bin longneck.bin quadruped.txt quadruped.obj quadruped.mtl quadruped.light quadruped.png \
         longneck.png flyby.keys sky2048_0247.jpg; do
  [ -s "$prefix/share/flexherd/$f" ] || fail "sample file share/flexherd/$f is missing or empty"
done
desktop=$prefix/share/applications/flexherd.desktop
[ -f "$desktop" ] || fail "no desktop entry"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
grep -qx 'Exec=flexherd %F' "$desktop" || fail "the desktop entry does not start flexherd with the files"
grep -qx 'Icon=flexherd' "$desktop" || fail "the desktop entry names no flexherd icon"
icon=$prefix/share/icons/hicolor/scalable/apps/flexherd.svg
[ -f "$icon" ] || fail "no icon"
grep -q '<svg xmlns="http://www.w3.org/2000/svg"' "$icon" && grep -q '</svg>' "$icon" || fail "the icon is not an SVG document"
manual=$prefix/share/man/man1/flexherd.1
[ -f "$manual" ] || fail "no manual page"
rendered=$(LC_ALL=C MANWIDTH=100 man -l "$manual" 2>"$root/man.err")
[ ! -s "$root/man.err" ] || { cat "$root/man.err" >&2; fail "the manual page does not format cleanly"; }
for heading in NAME SYNOPSIS DESCRIPTION MOUSE KEYS FILES; do
  grep -q "^$heading" <<<"$rendered" || fail "the manual page has no $heading section"
done

# The installed summary tool reads the installed sample.
"$prefix/bin/flexherd-info" "$prefix/share/flexherd/quadruped.bin" | grep -q 'name: *quadruped' \
  || fail "flexherd-info cannot read the installed quadruped.bin"
model=/usr/share/assimp/models/glTF2/BoxTextured-glTF-Binary/BoxTextured.glb
"$prefix/bin/flexherd-import" "$model" "$root/box.bin" >/dev/null || fail "the installed flexherd-import cannot import $model"
"$prefix/bin/flexherd-info" "$root/box.bin" | grep -q 'texture file: *box.png' || fail "the imported box names no texture"
[ -s "$root/box.png" ] || fail "the imported box's embedded texture was not written"

# The installed viewer in batch mode, run from an empty directory with bare sample names: it
# opens the files, draws them into an image and exits when the image is written. Any file it
# cannot find or read is reported on standard error and fails the run (status 1).
run_viewer() { # IMAGE FILE...
  local image=$1
  shift
  local work
  work=$(mktemp -d "$root/work.XXXX")
  local status=0
  (cd "$work" && LIBGL_ALWAYS_SOFTWARE=1 "$prefix/bin/flexherd" --stopped --export-image "$image" --size 64x48 "$@") \
    >"$root/viewer.out" 2>"$root/viewer.err" || status=$?
  echo "$status"
}
status=$(run_viewer "$root/samples.png" quadruped.bin longneck.bin flyby.keys)
[ "$status" = 0 ] || { cat "$root/viewer.err" >&2; fail "the installed viewer ended with status $status on its samples (is there a display?)"; }
[ ! -s "$root/viewer.err" ] || { cat "$root/viewer.err" >&2; fail "the installed viewer reported errors opening its samples"; }
[ -s "$root/samples.png" ] || fail "the installed viewer wrote no image of its samples"

# A model file opened by the installed viewer goes through the importer installed beside it.
status=$(run_viewer "$root/model.png" "$model")
[ "$status" = 0 ] || { cat "$root/viewer.err" >&2; fail "the installed viewer ended with status $status on $model"; }
[ ! -s "$root/viewer.err" ] || { cat "$root/viewer.err" >&2; fail "the installed viewer reported errors importing $model"; }
[ -s "$root/model.png" ] || fail "the installed viewer wrote no image of the imported model"

# The same check notices a name that is nowhere to be found.
status=$(run_viewer "$root/missing.png" no-such-sample.bin)
[ "$status" = 1 ] || fail "the installed viewer ended with status $status on a missing file instead of 1"
grep -q "no-such-sample.bin" "$root/viewer.err" || fail "a missing sample is not reported, so the check above proves nothing"

echo "install into $prefix: ok"
