#!/usr/bin/env bash
# Times `quillmor in out -page a4 -con -center` against `cp in out` (and `qpdf in out` where installed)
# on the generated benchmark files; prints medians, their ratio and peak resident memory.
#   bench/run.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}
data=bench/data
mkdir -p "$data"
quillmor="$build/quillmor"
generator="$build/bench/make_bench_pdf"
cmake --build "$build" --target quillmor make_bench_pdf flate_bench >/dev/null

for kind in a b c d; do
  [ -s "$data/$kind.pdf" ] || { echo "generating $data/$kind.pdf"; "$generator" "$kind" "$data/$kind.pdf"; }
done

# Median wall time in seconds of a command run $runs times after one warm-up run.
median_time() {
  "$@" >/dev/null 2>&1 || true
  local times=()
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'
}

peak_rss_mb() {
  /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1 | awk '{printf "%.1f", $1/1024}'
}

out="$data/out.pdf"
printf '%-6s %9s %7s %10s %10s %7s %9s %10s %8s %9s\n' file size_MB pages cp_s quillmor_s ratio peak_MB qpdf_s qpdf/q us/page
for kind in a b c d; do
  in="$data/$kind.pdf"
  size=$(stat -c %s "$in")
  pages=$(qpdf --show-npages "$in" 2>/dev/null || echo 0)
  cp_time=$(median_time cp "$in" "$out")
  q_time=$(median_time "$quillmor" "$in" "$out" -page a4 -con -center)
  peak=$(peak_rss_mb "$quillmor" "$in" "$out" -page a4 -con -center)
  qpdf_time=-
  qpdf_ratio=-
  if command -v qpdf >/dev/null; then
    qpdf_time=$(median_time qpdf "$in" "$out")
    qpdf_ratio=$(echo "$qpdf_time / $q_time" | bc -l | xargs printf '%.1f')
  fi
  ratio=$(echo "$q_time / $cp_time" | bc -l | xargs printf '%.2f')
  per_page=$(echo "$q_time * 1000000 / ($pages + ($pages == 0))" | bc -l | xargs printf '%.1f')
  printf '%-6s %9.1f %7s %10.3f %10.3f %7s %9s %10s %8s %9s\n' "$kind" "$(echo "$size/1048576" | bc -l)" "$pages" \
    "$cp_time" "$q_time" "$ratio" "$peak" "$qpdf_time" "$qpdf_ratio" "$per_page"
done
rm -f "$out"
echo
echo "Flate decoder:"
"$build/bench/flate_bench"
