#!/usr/bin/env bash
# Takes a screenshot of the viewer without a desktop: starts BUILD_DIR/src/app/flexherd with
# the given files on a private Xvfb screen (1280x1024, 24 bits), waits for the "Flexherd demo"
# window to be mapped, lets it paint, grabs the whole screen with ImageMagick's import and
# prints the PNG's path. The viewer is stopped afterwards.
#
# Usage: scripts/screenshot.sh BUILD_DIR [FILE...]
# The viewer runs in the directory of the first FILE (file paths are made absolute first),
# because it reads the Sky background's image "sky2048_0247.jpg" from its working directory
# and the sample generator writes the sky next to the sample animals.
# Environment:
#   FLEXHERD_WORKDIR     run the viewer in this directory instead
#   FLEXHERD_SCREENSHOT  where to write the PNG (default BUILD_DIR/flexherd-screenshot.png)
#   FLEXHERD_ERROR_LOG   where the viewer records error boxes (default: a temporary file). A modal
#                        box would block start-up with nobody to dismiss it, so errors are
#                        logged instead and echoed to stderr, one "caption<TAB>message" per line.
# Always uses its own Xvfb, even when DISPLAY is set, so it behaves the same headless and on a
# desktop. Exits non-zero with a message when the window never appears.
set -euo pipefail

readonly XVFB_SCREEN="-screen 0 1280x1024x24"
readonly WINDOW_TITLE="Flexherd demo"
readonly WAIT_TENTHS=200   # 20 s: llvmpipe start-up is slow on a busy machine

# Second stage, run by xvfb-run: DISPLAY is the private server.
if [ "${1:-}" = "--inside-xvfb" ]; then
  shift
  out=$1 viewer=$2 workdir=$3
  shift 3
  (cd "$workdir" && exec "$viewer" "$@") &
  pid=$!
  stop_viewer() {
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  }
  trap stop_viewer EXIT

  mapped=0
  for ((i = 0; i < WAIT_TENTHS; i++)); do
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "screenshot.sh: the viewer exited before its window appeared" >&2
      exit 1
    fi
    if xwininfo -root -tree 2>/dev/null | grep -qF "\"$WINDOW_TITLE\"" &&
       xwininfo -name "$WINDOW_TITLE" 2>/dev/null | grep -q "IsViewable"; then
      mapped=1
      break
    fi
    sleep 0.1
  done
  if [ "$mapped" -ne 1 ]; then
    echo "screenshot.sh: no mapped '$WINDOW_TITLE' window after $((WAIT_TENTHS / 10)) s" >&2
    exit 1
  fi
  sleep 1   # the first paint follows the map
  import -window root "$out"
  exit 0
fi

if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [FILE...]" >&2
  exit 2
fi
build_dir=$1
shift
viewer="$build_dir/src/app/flexherd"
if [ ! -x "$viewer" ]; then
  echo "screenshot.sh: no viewer at '$viewer': build the 'flexherd' target first" >&2
  exit 1
fi
for tool in xvfb-run xwininfo import; do
  if ! command -v "$tool" >/dev/null; then
    echo "screenshot.sh: '$tool' is missing (packages xvfb, xauth, x11-utils, imagemagick)" >&2
    exit 1
  fi
done

viewer="$(cd "$(dirname "$viewer")" && pwd)/$(basename "$viewer")"
files=()
for file in "$@"; do
  if [ -e "$file" ]; then
    files+=("$(cd "$(dirname "$file")" && pwd)/$(basename "$file")")
  else
    files+=("$file")   # the viewer reports it
  fi
done
workdir=${FLEXHERD_WORKDIR:-}
if [ -z "$workdir" ]; then
  workdir=.
  if [ ${#files[@]} -gt 0 ] && [ -e "${files[0]}" ]; then workdir=$(dirname "${files[0]}"); fi
fi

out=${FLEXHERD_SCREENSHOT:-$build_dir/flexherd-screenshot.png}
mkdir -p "$(dirname "$out")"
out="$(cd "$(dirname "$out")" && pwd)/$(basename "$out")"
rm -f "$out"

own_log=0
if [ -z "${FLEXHERD_ERROR_LOG:-}" ]; then
  FLEXHERD_ERROR_LOG=$(mktemp -t flexherd-errors.XXXXXX)
  own_log=1
fi
export FLEXHERD_ERROR_LOG
export LIBGL_ALWAYS_SOFTWARE=1

status=0
xvfb-run -a -s "$XVFB_SCREEN" bash "${BASH_SOURCE[0]}" --inside-xvfb "$out" "$viewer" "$workdir" ${files[@]+"${files[@]}"} || status=$?

if [ -s "$FLEXHERD_ERROR_LOG" ]; then
  echo "screenshot.sh: the viewer reported errors:" >&2
  cat "$FLEXHERD_ERROR_LOG" >&2
fi
[ "$own_log" -eq 1 ] && rm -f "$FLEXHERD_ERROR_LOG"

if [ "$status" -ne 0 ] || [ ! -s "$out" ]; then
  echo "screenshot.sh: no screenshot taken" >&2
  exit 1
fi
echo "$out"
