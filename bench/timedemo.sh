#!/usr/bin/env bash
# Frame rate of the sample herd flying by: `flexherd --timedemo` with the sample animals and
# camera flight, with hardware (vertex program) and software skinning.
#
# 1. At 100 and 1,000 animals over the whole flight: one line per configuration with the
#    frames per second the timedemo reports and the ratio to the first configuration.
# 2. Crowds: 10,000 and 100,000 animals in a 1280x720 view, each without and with impostors
#    for the distant animals, over the first CROWD_FRAMES frames of the flight (default 60;
#    100,000 meshes take seconds a frame on a software renderer, so the whole flight would take
#    hours): frames per second, the ratio with impostors to the same count without, and the
#    frame's breakdown (LOD update, culling, skinning, drawing meshes and impostors, in ms,
#    and the triangles and impostors drawn per frame); then, with impostors, the whole flight.
# 3. The time the impostor atlas of one sample animal takes to make (bench_impostors).
#
# Every figure is measured in the same run. Usage: bench/timedemo.sh [BUILD_DIR] (default:
# build). Without a display the timedemo draws off screen in an EGL context, as every batch
# action does; set LIBGL_ALWAYS_SOFTWARE=1 for llvmpipe figures that compare across machines.
# HERDS=0 leaves out part 1, CROWDS=0 part 2.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
FLEXHERD="$BUILD/src/app/flexherd"
MKSAMPLE="$BUILD/tools/mksample/flexherd-mksample"
for program in "$FLEXHERD" "$MKSAMPLE"; do
  [ -x "$program" ] || { echo "timedemo.sh: $program is missing; build it first" >&2; exit 1; }
done
CROWD_FRAMES="${CROWD_FRAMES:-60}"

SAMPLES="$(mktemp -d)"
trap 'rm -rf "$SAMPLES"' EXIT
"$MKSAMPLE" "$SAMPLES" >/dev/null

# timedemo OPTION... : the report of one run, in $report.
timedemo() {
  report="$(cd "$SAMPLES" && "$FLEXHERD" "$@" --timedemo quadruped.bin longneck.bin flyby.keys)"
}
field() {
  printf '%s\n' "$report" | sed -n "s/^\t$1:\t\([0-9.e+-]*\).*\$/\1/p"
}

reference=""
for animals in $([ "${HERDS:-1}" != 0 ] && echo 100 1000); do
  for skinning in hardware software; do
    options=(--animals "$animals")
    [ "$skinning" = software ] && options=(--software "${options[@]}")
    timedemo "${options[@]}"
    fps="$(field 'average fps')"
    frames="$(field frames)"
    [ -n "$fps" ] || { echo "timedemo.sh: no report for $animals animals, $skinning skinning" >&2; exit 1; }
    [ -n "$reference" ] || reference="$fps"
    ratio="$(awk -v a="$fps" -v b="$reference" 'BEGIN { printf "%.2f", a / b }')"
    printf 'timedemo animals=%-6s skinning=%-8s frames=%s fps=%s ratio=%sx (to 100 animals, hardware)\n' \
      "$animals" "$skinning" "$frames" "$fps" "$ratio"
  done
done

if [ "${CROWDS:-1}" != 0 ]; then
  for animals in 10000 100000; do
    for skinning in hardware software; do
      meshes=""
      for impostors in off on; do
        options=(--animals "$animals" --size 1280x720 --frames "$CROWD_FRAMES")
        [ "$skinning" = software ] && options=(--software "${options[@]}")
        [ "$impostors" = on ] && options+=(--impostors)
        timedemo "${options[@]}"
        fps="$(field 'average fps')"
        [ -n "$fps" ] || { echo "timedemo.sh: no report for $animals animals, $skinning, impostors $impostors" >&2; exit 1; }
        [ -n "$meshes" ] || meshes="$fps"
        ratio="$(awk -v a="$fps" -v b="$meshes" 'BEGIN { printf "%.2f", a / b }')"
        printf 'timedemo animals=%-6s skinning=%-8s impostors=%-3s 1280x720 frames=%s fps=%s ratio=%sx (to no impostors)' \
          "$animals" "$skinning" "$impostors" "$(field frames)" "$fps" "$ratio"
        printf ' lod=%sms cull=%sms skin=%sms meshes=%sms impostors=%sms triangles=%s impostors=%s\n' \
          "$(field 'LOD update')" "$(field culling)" "$(field skinning)" "$(field 'drawing meshes')" \
          "$(field 'drawing impostors')" "$(field 'triangles drawn')" "$(field 'impostors drawn')"
      done
    done
  done
  # The first frames fly over the herd; later the camera goes down among the animals, where
  # the nearest are drawn at their finest levels. With impostors the whole flight takes about
  # a minute at 100,000 animals, so it is measured too.
  for animals in 10000 100000; do
    for skinning in hardware software; do
      options=(--animals "$animals" --size 1280x720 --impostors)
      [ "$skinning" = software ] && options=(--software "${options[@]}")
      timedemo "${options[@]}"
      fps="$(field 'average fps')"
      [ -n "$fps" ] || { echo "timedemo.sh: no report for the whole flight, $animals animals, $skinning" >&2; exit 1; }
      printf 'timedemo animals=%-6s skinning=%-8s impostors=on  1280x720 whole flight frames=%s fps=%s' \
        "$animals" "$skinning" "$(field frames)" "$fps"
      printf ' lod=%sms cull=%sms skin=%sms meshes=%sms impostors=%sms triangles=%s impostors=%s\n' \
        "$(field 'LOD update')" "$(field culling)" "$(field skinning)" "$(field 'drawing meshes')" \
        "$(field 'drawing impostors')" "$(field 'triangles drawn')" "$(field 'impostors drawn')"
    done
  done
fi

if [ -x "$BUILD/bench/bench_impostors" ]; then
  (cd "$SAMPLES" && "$BUILD/bench/bench_impostors" "$SAMPLES/quadruped.bin" "$SAMPLES/longneck.bin")
fi
