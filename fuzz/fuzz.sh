#!/usr/bin/env bash
# Usage: fuzz/fuzz.sh TARGET SECONDS   (TARGET: gif_load or bmp_load)
# Builds the libFuzzer targets into build-fuzz/ with clang, AddressSanitizer
# and UndefinedBehaviorSanitizer (holding the shared build lock), then runs
# TARGET for SECONDS on one core at low priority. New inputs collect in
# build-fuzz/corpus/TARGET; crashes land in build-fuzz/artifacts/TARGET/.
set -euo pipefail
target="${1:?usage: fuzz.sh TARGET SECONDS}"
seconds="${2:?usage: fuzz.sh TARGET SECONDS}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
gen=()
if command -v ninja >/dev/null 2>&1; then gen=(-G Ninja); fi
(
  flock 9
  if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKLAPTOR_FUZZ=ON -DKLAPTOR_TESTS=OFF -DKLAPTOR_BENCH=OFF >&2
  fi
  cmake --build "$build" -j2 --target "fuzz_$target" >&2
) 9>/tmp/klaptor-build.lock
corpus="$build/corpus/$target"
artifacts="$build/artifacts/$target"
mkdir -p "$corpus" "$artifacts"
exec nice -n 10 "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$root/fuzz/corpus/$target"
