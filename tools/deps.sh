#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that
# are missing, so a second run costs nothing. Sourced by run.sh and test.sh.
# (no shell options here: this file is sourced into callers' shells)

KLAPTOR_PACKAGES=(
  g++ cmake ninja-build pkg-config ccache
  libfreetype-dev libfontconfig-dev fonts-liberation fonts-dejavu-core
  libgtest-dev libgmock-dev googletest libbenchmark-dev libgif-dev
  # The desktop window (its tests run on Qt's offscreen platform); Xvfb and
  # xauth for tools/screenshot.sh.
  qt6-base-dev qt6-qpa-plugins xvfb xauth
)

klaptor_install_deps() {
  local missing=()
  local p
  for p in "${KLAPTOR_PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "Installing: ${missing[*]}" >&2
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y --no-install-recommends "${missing[@]}" >&2
}

# Configures build/ once (Ninja when present) and builds the given targets with
# two jobs. A lock keeps two builds from running at once on this small machine.
klaptor_build() {
  local root build
  root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  build="${KLAPTOR_BUILD_DIR:-$root/build}"
  local gen=()
  if command -v ninja >/dev/null 2>&1; then gen=(-G Ninja); fi
  (
    flock 9
    if [ ! -f "$build/CMakeCache.txt" ]; then
      cmake -S "$root" -B "$build" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${KLAPTOR_CMAKE_ARGS:-} >&2
    fi
    if [ $# -gt 0 ]; then
      local t args=()
      for t in "$@"; do args+=(--target "$t"); done
      cmake --build "$build" -j2 "${args[@]}" >&2
    else
      cmake --build "$build" -j2 >&2
    fi
  ) 9>/tmp/klaptor-build.lock
}
