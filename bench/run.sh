#!/usr/bin/env bash
# Times `quillmor in out -page a4 -con -center` against `cp in out` (and `qpdf in out` where
# installed) on the generated benchmark files; prints medians, their ratios, peak resident memory,
# the time per page, and whether each target is met. Every timed run writes a new file (the output
# is removed before it, for cp too); replacing an existing file, which quillmor syncs to the disk
# first, is timed on its own, and so is -incremental.
#   bench/run.sh [BUILD_DIR] [RUNS] [QPDF_RUNS]
# The runs of quillmor and cp alternate, so that a change in the machine's load hits both alike.
# Wall times on a busy machine vary: the CPU times (user + sys) and their ratio are printed beside
# them. Quillmor writes its output on a second thread: on a machine whose cores are all busy the
# wall time then follows the CPU time, on a quiet one the two threads overlap.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}
qpdf_runs=${3:-3}
[[ $runs =~ ^[1-9][0-9]*$ && $qpdf_runs =~ ^[1-9][0-9]*$ ]] || { echo "RUNS and QPDF_RUNS must be positive numbers" >&2; exit 2; }
data=bench/data
mkdir -p "$data"
quillmor="$build/quillmor"
generator="$build/bench/make_bench_pdf"
timer="$build/bench/run_timed"
[ -d "$build" ] || { echo "no build folder $build: run 'make build' (or cmake) first" >&2; exit 2; }

# Only the targets this build defines (the generator needs the test libraries, flate_bench zlib).
targets=(quillmor run_timed)
for target in make_bench_pdf flate_bench; do
  if cmake --build "$build" --target help 2>/dev/null | grep -Eq "(^|[ /])$target(:| |\$)"; then targets+=("$target"); fi
done
cmake --build "$build" --target "${targets[@]}" >/dev/null

for kind in a b c d; do
  [ -s "$data/$kind.pdf" ] && continue
  [ -x "$generator" ] || { echo "cannot generate $data/$kind.pdf: $generator was not built (needs GoogleTest and zlib)" >&2; exit 2; }
  echo "generating $data/$kind.pdf"
  # Written under another name first: an interrupted run leaves no half file to be timed later.
  "$generator" "$kind" "$data/$kind.pdf.part"
  mv "$data/$kind.pdf.part" "$data/$kind.pdf"
done

out="$data/out.pdf"
trap 'rm -f "$out" "$data"/out.pdf.quillmor-tmp* "$data"/*.pdf.part' EXIT

# One timed run: prints "wall cpu peak_kB"; the command's status is checked by the caller. The
# data that earlier runs left for the disk goes first (untimed): written back during a run, it would
# take a core from whichever command runs then.
timed() {
  local usage status=0
  sync
  usage=$("$timer" "$@" 2>&1 >/dev/null | tail -n 1) || status=$?
  echo "$usage"
  return $status
}

median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
# The median of values kept in one text, separated by spaces.
median_of() { tr ' ' '\n' <<<"$1" | grep . | median; }

# Quillmor's exit status is 0 even when a job fails: a run counts only when it says "Done." and
# leaves an output file.
check_quillmor() {
  local in=$1 said
  rm -f "$out"
  said=$("$quillmor" "$in" "$out" -page a4 -con -center)
  if ! grep -q "^Done\.$" <<<"$said" || [ ! -s "$out" ]; then
    echo "quillmor failed on $in:" >&2
    echo "$said" >&2
    exit 1
  fi
}

have_qpdf=false
command -v qpdf >/dev/null && have_qpdf=true

declare -A q_wall q_cpu pages cp_walls cp_cpus q_walls q_cpus peaks
for kind in a b c d; do
  in="$data/$kind.pdf"
  pages[$kind]=-
  $have_qpdf && pages[$kind]=$(qpdf --show-npages "$in" 2>/dev/null || echo -)
  check_quillmor "$in"
  cp "$in" "$out"  # warm-up of cp and of the page cache
  peaks[$kind]=0
done
# Each round times every file in turn, so that a slow spell of the machine falls on all four alike:
# the d/c target compares two of them.
for _ in $(seq "$runs"); do
  for kind in a b c d; do
    in="$data/$kind.pdf"
    rm -f "$out"
    result=$(timed cp "$in" "$out")
    read -r wall cpu _ <<<"$result"
    cp_walls[$kind]+="$wall " cp_cpus[$kind]+="$cpu "
    rm -f "$out"
    result=$(timed "$quillmor" "$in" "$out" -page a4 -con -center)
    read -r wall cpu kb <<<"$result"
    q_walls[$kind]+="$wall " q_cpus[$kind]+="$cpu "
    (( kb > peaks[$kind] )) && peaks[$kind]=$kb
  done
done

printf '%-4s %8s %6s %8s %8s %9s %9s %6s %7s %8s %8s %8s %8s\n' file size_MB pages cp_s quill_s quill_cpu cp_cpu ratio cpu_rat peak_MB qpdf_s qpdf/q us/page
for kind in a b c d; do
  in="$data/$kind.pdf"
  size=$(stat -c %s "$in")
  peak=${peaks[$kind]}
  cp_wall=$(median_of "${cp_walls[$kind]}")
  cp_cpu=$(median_of "${cp_cpus[$kind]}")
  q_wall[$kind]=$(median_of "${q_walls[$kind]}")
  q_cpu[$kind]=$(median_of "${q_cpus[$kind]}")
  qpdf_wall=- qpdf_ratio=-
  if $have_qpdf; then
    qpdf_walls=()
    for _ in $(seq "$qpdf_runs"); do
      # qpdf exits with 3 when it only warns: that still is a finished copy.
      rm -f "$out"
      result=$(timed qpdf "$in" "$out") || [ $? -eq 3 ]
      read -r wall _ <<<"$result"
      qpdf_walls+=("$wall")
    done
    qpdf_wall=$(printf '%s\n' "${qpdf_walls[@]}" | median)
    qpdf_ratio=$(awk -v a="$qpdf_wall" -v b="${q_wall[$kind]}" 'BEGIN { printf "%.1f", a / b }')
  fi
  per_page=-
  [[ ${pages[$kind]} =~ ^[0-9]+$ ]] && per_page=$(awk -v t="${q_wall[$kind]}" -v n="${pages[$kind]}" 'BEGIN { printf "%.1f", t * 1e6 / n }')
  ratio=$(awk -v a="${q_wall[$kind]}" -v b="$cp_wall" 'BEGIN { printf "%.2f", a / b }')
  cpu_ratio=$(awk -v a="${q_cpu[$kind]}" -v b="$cp_cpu" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
  printf '%-4s %8.1f %6s %8.3f %8.3f %9.3f %9.3f %6s %7s %8.1f %8s %8s %8s\n' "$kind" "$(awk -v s="$size" 'BEGIN { print s / 1048576 }')" \
    "${pages[$kind]}" "$cp_wall" "${q_wall[$kind]}" "${q_cpu[$kind]}" "$cp_cpu" "$ratio" "$cpu_ratio" "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" \
    "$qpdf_wall" "$qpdf_ratio" "$per_page"
  declare "ratio_$kind=$ratio" "peak_$kind=$peak" "per_page_$kind=$per_page" "qpdf_ratio_$kind=$qpdf_ratio"
done

echo
echo "Targets (medians of this run):"
verdict() {
  local state
  state=$(awk -v v="$2" -v op="$3" -v t="$4" 'BEGIN { if (v == "-") print "n/a"; else if (op == "<=" ? v + 0 <= t + 0 : v + 0 >= t + 0) print "met"; else print "MISSED" }')
  printf '  %-6s %s\n' "$state" "$1"
}
verdict "a: quillmor/cp $ratio_a <= 1.5" "$ratio_a" "<=" 1.5
verdict "b: quillmor/cp $ratio_b <= 2.0" "$ratio_b" "<=" 2.0
verdict "c: $per_page_c us per page <= 15" "$per_page_c" "<=" 15
d_over_c=$(awk -v d="${q_wall[d]}" -v c="${q_wall[c]}" 'BEGIN { printf "%.2f", d / c }')
verdict "d/c: $d_over_c <= 2.1" "$d_over_c" "<=" 2.1
for kind in a b c d; do
  peak_var="peak_$kind"
  # The generated object streams decode to a few tens of kB: 32 MB is the bound for all four.
  verdict "$kind: peak $(awk -v k="${!peak_var}" 'BEGIN { printf "%.1f", k / 1024 }') MB <= 32 MB" "${!peak_var}" "<=" $((32 * 1024))
done

echo
echo "-incremental beside cp, each writing a new output (medians of $runs runs):"
printf '%-4s %8s %8s %6s %8s %8s %7s\n' file cp_s incr_s ratio cp_cpu incr_cpu cpu_rat
cp_walls=() cp_cpus=()
declare -A i_walls i_cpus
for _ in $(seq "$runs"); do
  for kind in a b; do
    in="$data/$kind.pdf"
    rm -f "$out"
    read -r wall cpu _ <<<"$(timed cp "$in" "$out")"
    cp_walls[$kind]+="$wall " cp_cpus[$kind]+="$cpu "
    rm -f "$out"
    read -r wall cpu _ <<<"$(timed "$quillmor" "$in" "$out" -page a4 -con -center -incremental)"
    i_walls[$kind]+="$wall " i_cpus[$kind]+="$cpu "
  done
done
for kind in a b; do
  cp_wall=$(median_of "${cp_walls[$kind]}")
  cp_cpu=$(median_of "${cp_cpus[$kind]}")
  i_wall=$(median_of "${i_walls[$kind]}")
  i_cpu=$(median_of "${i_cpus[$kind]}")
  ratio=$(awk -v a="$i_wall" -v b="$cp_wall" 'BEGIN { printf "%.2f", a / b }')
  cpu_ratio=$(awk -v a="$i_cpu" -v b="$cp_cpu" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
  printf '%-4s %8.3f %8.3f %6s %8.3f %8.3f %7s\n' "$kind" "$cp_wall" "$i_wall" "$ratio" "$cp_cpu" "$i_cpu" "$cpu_ratio"
  verdict "$kind: -incremental/cp $ratio <= 1.15" "$ratio" "<=" 1.15
done

# Replacing a file: cp overwrites it in place, quillmor writes a new file, syncs it to the disk
# and renames it over the old one, so that a crash leaves one whole file under the name.
echo
echo "Replacing an existing output on a (medians of $runs runs; quillmor syncs before its rename):"
in="$data/a.pdf"
replace_cp=() replace_q=()
cp "$in" "$out"
for _ in $(seq "$runs"); do
  read -r wall _ <<<"$(timed cp "$in" "$out")"
  replace_cp+=("$wall")
  read -r wall _ <<<"$(timed "$quillmor" "$in" "$out" -page a4 -con -center)"
  replace_q+=("$wall")
done
cp_wall=$(printf '%s\n' "${replace_cp[@]}" | median)
q_replace=$(printf '%s\n' "${replace_q[@]}" | median)
printf 'a    cp %.3f s, quillmor %.3f s, ratio %s (a new file: %.3f s)\n' "$cp_wall" "$q_replace" \
  "$(awk -v a="$q_replace" -v b="$cp_wall" 'BEGIN { printf "%.2f", a / b }')" "${q_wall[a]}"

if [ -x "$build/bench/flate_bench" ]; then
  echo
  echo "Flate decoder:"
  "$build/bench/flate_bench"
fi
