#!/usr/bin/env bash
# Size of the 600-frame text-fold render after our optimisation (shared colour
# map, merge, crop) beside gifsicle -O2 on the same unoptimised input, and
# gifsicle -O2 applied after ours. Builds optimize_bench through the shared
# build lock. Usage: bench/gifsicle_compare.sh [WORKDIR]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="${1:-$(mktemp -d)}"
mkdir -p "$work"

if ! command -v gifsicle >/dev/null 2>&1; then
  echo "gifsicle is not installed; nothing to compare against" >&2
  exit 0
fi

bench="${KLAPTOR_BUILD_DIR:-$root/build}/bench/optimize_bench"
if [ ! -x "$bench" ]; then
  # shellcheck source=/dev/null
  source "$root/tools/deps.sh"
  klaptor_build optimize_bench
fi

nice -n 10 "$bench" --write "$work" >/dev/null
input="$work/folds.gif"
ours="$work/folds-klaptor.gif"

start=$(date +%s.%N)
nice -n 10 gifsicle -O2 "$input" -o "$work/folds-gifsicle-O2.gif"
end=$(date +%s.%N)
nice -n 10 gifsicle -O2 "$ours" -o "$work/folds-klaptor-then-gifsicle-O2.gif"

size() { stat -c %s "$1"; }
in_bytes=$(size "$input")
report() {
  local name=$1 file=$2
  local bytes
  bytes=$(size "$file")
  awk -v n="$name" -v b="$bytes" -v i="$in_bytes" 'BEGIN { printf "%-36s %10d bytes  %6.1f%% of input\n", n, b, 100 * b / i }'
}
echo "600 frames of text folds, 757 x 90, one 256-entry table per frame"
report "unoptimised input" "$input"
report "klaptor (shared map, merge, crop)" "$ours"
report "gifsicle -O2" "$work/folds-gifsicle-O2.gif"
report "klaptor, then gifsicle -O2" "$work/folds-klaptor-then-gifsicle-O2.gif"
ours_bytes=$(size "$ours")
peer_bytes=$(size "$work/folds-gifsicle-O2.gif")
awk -v o="$ours_bytes" -v p="$peer_bytes" 'BEGIN { printf "klaptor / gifsicle -O2 size ratio: %.3f\n", o / p }'
awk -v s="$start" -v e="$end" 'BEGIN { printf "gifsicle -O2 wall time: %.2f s\n", e - s }'
