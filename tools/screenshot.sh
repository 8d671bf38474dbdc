#!/usr/bin/env bash
# Photographs the Klaptor window under a virtual X server (Xvfb).
#
#   tools/screenshot.sh OUT.png [FILE.Flp] [--render N] [--delay MS]
#
# Starts build/klaptor with FILE (if given) on a fresh Xvfb display, waits
# MS milliseconds (default 2500) and writes the window as the screen shows it
# to OUT.png. With --render N the Render command starts after the wait and the
# picture is taken at frame N of the rendering (which is then cancelled).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${KLAPTOR_BIN:-$root/build/klaptor}"

usage() { echo "usage: $0 OUT.png [FILE.Flp] [--render N] [--delay MS]" >&2; exit 2; }
[ $# -ge 1 ] || usage
out="$1"; shift
flip=""
render=""
delay="2500"
while [ $# -gt 0 ]; do
  case "$1" in
    --render) [ $# -ge 2 ] || usage; render="$2"; shift 2 ;;
    --delay) [ $# -ge 2 ] || usage; delay="$2"; shift 2 ;;
    -*) usage ;;
    *) flip="$1"; shift ;;
  esac
done

if [ ! -x "$bin" ]; then
  # shellcheck source=deps.sh
  source "$root/tools/deps.sh"
  klaptor_install_deps
  klaptor_build klaptor
fi
command -v xvfb-run >/dev/null || { echo "$0: xvfb-run is missing (apt-get install xvfb xauth)" >&2; exit 1; }

case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
args=()
if [ -n "$flip" ]; then
  case "$flip" in /*) ;; *) flip="$PWD/$flip" ;; esac
  args+=("$flip")
fi

export KLAPTOR_SCREENSHOT="$out"
export KLAPTOR_SCREENSHOT_DELAY="$delay"
if [ -n "$render" ]; then export KLAPTOR_SCREENSHOT_RENDER="$render"; fi
export QT_QPA_PLATFORM=xcb
# A screen a little larger than the window; 24-bit colour like a desktop.
xvfb-run -a -s "-screen 0 1024x600x24 -nolisten tcp" timeout 120 "$bin" "${args[@]}"
echo "wrote $out" >&2
