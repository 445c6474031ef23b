#!/usr/bin/env bash
# Runs a list of PDF files through GNU parallel, two jobs at a time, in the very form of the
# README's recipe for several machines (with this machine, ":", as the only host), and checks that
# every output is byte for byte the output of a list-file run of the same files.
#   bench/parallel-check.sh [QUILLMOR]
# Exit status: 0 same outputs, 1 a difference or a failed job, 77 skipped (no GNU parallel).
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)
quillmor=$(readlink -f "${1:-$source/build/quillmor}")
command -v parallel >/dev/null || { echo "skipped: GNU parallel is not installed (make test installs it)"; exit 77; }
[ -x "$quillmor" ] || { echo "no program at $quillmor: build it first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Inputs made by the program itself from the bundled sample, each of another size; one name has
# a space, which parallel must quote.
files=8
options=(-page a4 -con -center)
for n in $(seq "$files"); do
  name="doc$n.pdf"
  [ "$n" -eq 1 ] && name="first doc.pdf"
  "$quillmor" "$source/examples/sample.pdf" "$name" -scale$((40 + 15 * n)) >/dev/null
  echo "$name" >>list.txt
done

"$quillmor" list.txt -flisted "${options[@]}" >listed.log || { cat listed.log; exit 1; }
echo : >hosts.txt
mkdir out
parallel -j2 --sshloginfile hosts.txt --transferfile {} --return out/{/} --cleanup \
  "mkdir -p out && $(printf %q "$quillmor") {} out/{/} ${options[*]}" :::: list.txt >parallel.log 2>/dev/null ||
  { echo "parallel reports failed jobs:"; cat parallel.log; exit 1; }

status=0
while IFS= read -r name; do
  if ! cmp -s "listed/$name" "out/$name"; then
    echo "differs: $name"
    status=1
  elif cmp -s "$name" "out/$name"; then
    echo "not resized: $name"
    status=1
  fi
done <list.txt
done_lines=$(grep -c '^Done\.$' parallel.log || true)
[ "$done_lines" -eq "$files" ] || { echo "$done_lines of $files jobs said Done."; status=1; }
[ "$status" -eq 0 ] && echo "$files files: parallel and list-file outputs are byte-identical"
exit "$status"
