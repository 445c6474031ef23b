#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short fixed number of executions,
# seeded from the shared corpus and the regression inputs. Skipped when clang is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${FUZZ_RUNS:-4000}
if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not found: fuzz targets skipped"
  exit 0
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMOR_FUZZ=ON \
  -DQUILLMOR_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target parser_fuzzer flate_fuzzer document_fuzzer resize_fuzzer

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpus_dir=../shared/corpus
for target in parser flate document resize; do
  seeds="$work/$target"
  mkdir -p "$seeds"
  cp fuzz/regressions/$target/* "$seeds"/ 2>/dev/null || true
  rm -f "$seeds/.keep"
  if [ "$target" != flate ] && [ -d "$corpus_dir" ]; then
    find "$corpus_dir" -name '*.pdf' -size -200k -exec cp {} "$seeds"/ \;
  fi
  echo "-- $target: $runs runs"
  (cd "$work" && "$OLDPWD/build-fuzz/${target}_fuzzer" -runs="$runs" -max_len=262144 -timeout=10 \
     -rss_limit_mb=2048 -close_fd_mask=1 "$seeds" 2>&1 | tail -n 3)
done
