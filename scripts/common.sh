# Shared by scripts/run, scripts/test, scripts/fuzz and scripts/bench: install, configure, build.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${FLEXHERD_BUILD_DIR:-$ROOT/build}"
JOBS="${FLEXHERD_JOBS:-$(nproc)}"
# shellcheck source=packages.sh
source "$ROOT/scripts/packages.sh"

flexherd_build() {
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
  cmake --build "$BUILD" -j "$JOBS"
}

# Runs a command under its own virtual X server when there is no display.
flexherd_with_display() {
  if [ -n "${DISPLAY:-}" ]; then
    "$@"
  else
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
  fi
}
