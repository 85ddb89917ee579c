# Debian 12 packages the project builds, tests and runs with. Sourced by scripts/run and scripts/test.
FLEXHERD_PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libopenblas-dev liblapack-dev
  libboost-dev libboost-random-dev
  nlohmann-json3-dev
  libwxgtk3.2-dev
  libglew-dev libglu1-mesa-dev freeglut3-dev libgl1-mesa-dri mesa-utils
  xvfb xauth x11-utils imagemagick xdotool
  desktop-file-utils man-db
  clang libclang-rt-14-dev
  libmeshoptimizer-dev libassimp-dev assimp-testmodels
  libstb-dev libjpeg-dev
  libegl-dev libegl-mesa0
  libtinyobjloader-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
)

# Installs the missing packages when run as root; otherwise prints the one command to run.
flexherd_install_packages() {
  local missing=()
  local p
  for p in "${FLEXHERD_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q >/dev/null
    apt-get install -y -q --no-install-recommends "${missing[@]}"
  else
    echo "Missing packages. Run as root:"
    echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
    return 1
  fi
}
