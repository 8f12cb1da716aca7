#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer on) and runs each for a while.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
dir="$root/build-fuzz"
"$root/scripts/install-deps.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DHARVEST_SANITIZE=address -DHARVEST_FUZZ=ON -DHARVEST_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" --target text_search_fuzz header_block_fuzz charset_sniff_fuzz
for target in text_search_fuzz header_block_fuzz charset_sniff_fuzz; do
  echo "== $target ($seconds s)"
  corpus="$dir/corpus/$target"
  mkdir -p "$corpus"
  ASAN_OPTIONS=detect_leaks=0 "$dir/tests/fuzz/$target" -max_total_time="$seconds" \
    -max_len=4096 "$corpus" 2>&1 | tail -2
done
