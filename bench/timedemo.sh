#!/usr/bin/env bash
# Frame rate of the sample herd flying by: `flexherd --timedemo` with the sample animals and
# camera flight, at 100 and 1,000 animals, with hardware (vertex program) and software
# skinning. One line per configuration: the frames per second the timedemo reports and the
# ratio to the first configuration, measured in the same run.
#
# Usage: bench/timedemo.sh [BUILD_DIR]   (default: build). Without a display the timedemo draws
# off screen in an EGL context, as every batch action does; set LIBGL_ALWAYS_SOFTWARE=1 for
# llvmpipe figures that compare across machines.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
FLEXHERD="$BUILD/src/app/flexherd"
MKSAMPLE="$BUILD/tools/mksample/flexherd-mksample"
for program in "$FLEXHERD" "$MKSAMPLE"; do
  [ -x "$program" ] || { echo "timedemo.sh: $program is missing; build it first" >&2; exit 1; }
done

SAMPLES="$(mktemp -d)"
trap 'rm -rf "$SAMPLES"' EXIT
"$MKSAMPLE" "$SAMPLES" >/dev/null

reference=""
for animals in 100 1000; do
  for skinning in hardware software; do
    options=(--animals "$animals" --timedemo)
    [ "$skinning" = software ] && options=(--software "${options[@]}")
    report="$(cd "$SAMPLES" && "$FLEXHERD" "${options[@]}" quadruped.bin longneck.bin flyby.keys)"
    fps="$(printf '%s\n' "$report" | sed -n 's/^\taverage fps:\t\(.*\)fps$/\1/p')"
    frames="$(printf '%s\n' "$report" | sed -n 's/^\tframes:\t\(.*\)$/\1/p')"
    [ -n "$fps" ] || { echo "timedemo.sh: no report for $animals animals, $skinning skinning" >&2; exit 1; }
    [ -n "$reference" ] || reference="$fps"
    ratio="$(awk -v a="$fps" -v b="$reference" 'BEGIN { printf "%.2f", a / b }')"
    printf 'timedemo animals=%-5s skinning=%-8s frames=%s fps=%s ratio=%sx (to 100 animals, hardware)\n' \
      "$animals" "$skinning" "$frames" "$fps" "$ratio"
  done
done
