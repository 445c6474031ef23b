#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a fixed short time (over a minute in
# all), seeded from the regression inputs, small generated files and the shared corpus. A crash,
# leak, timeout or out-of-memory fails the run; the input that caused it is kept in
# build-fuzz/findings/<target>/. Skipped when clang is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-15}
build=$(realpath -m "${FUZZ_BUILD_DIR:-build-fuzz}")
if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not found: fuzz targets skipped"
  exit 0
fi
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMOR_FUZZ=ON \
  -DQUILLMOR_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target parser_fuzzer flate_fuzzer document_fuzzer resize_fuzzer jobs_fuzzer aes256_fuzzer repair_fuzzer

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpus_dir=${QUILLMOR_CORPUS:-../shared/corpus}
findings=$build/findings
status=0
for target in parser flate document resize jobs aes256 repair; do
  seeds="$work/$target"
  mkdir -p "$seeds" "$findings/$target"
  cp fuzz/regressions/$target/* "$seeds"/ 2>/dev/null || true
  rm -f "$seeds/.keep"
  if [ "$target" != flate ] && [ "$target" != aes256 ] && [ -d "$corpus_dir" ]; then
    # Small files only: the time goes to mutating them, not to reading large ones.
    find "$corpus_dir" -name '*.pdf' -size -60k -exec cp {} "$seeds"/ \;
  fi
  echo "-- $target: ${seconds}s"
  if ! (cd "$work" && "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" -max_len=65536 \
          -timeout=10 -rss_limit_mb=2048 -close_fd_mask=1 -print_final_stats=1 \
          -artifact_prefix="$findings/$target/" "$seeds" >"$work/$target.log" 2>&1); then
    status=1
    echo "fuzz target $target failed; inputs in $findings/$target:"
    grep -E "ERROR|SUMMARY|invariant" "$work/$target.log" | head -n 5 || true
  fi
  grep -E "^stat::number_of_executed_units|DONE" "$work/$target.log" | tail -n 2 || true
done
exit "$status"
