#!/bin/sh
# Command loops, let, print and display through the whole program, three
# sizes each, side by side with glpsol running the same work written in
# GNU MathProg where it can (it has no let and no print command).  Each
# row: the work, its size, vexo's wall seconds, microseconds per item and
# peak resident memory (/usr/bin/time -v), then glpsol's seconds and peak
# memory and the ratio of the two times.  An empty run's peak memory is
# printed first, to read the rows' memory against.
#
#   sh bench/loops_bench.sh [vexo]      (default build/release/vexo)
#   QUICK=1 runs the smallest size of each row only.
# glpsol comes from the Debian package glpk-utils; without it the glpsol
# columns read "-".
set -u
here=$(cd "$(dirname "$0")" && pwd)
vexo=$(cd "$(dirname "${1:-$here/../build/release/vexo}")" && pwd)/$(basename "${1:-vexo}")
[ -x "$vexo" ] || { echo "no vexo at $vexo (make release)" >&2; exit 1; }
command -v glpsol >/dev/null 2>&1 ||
  echo "glpsol not found (glpk-utils): no glpsol columns" >&2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

# wall and peak: fields of /usr/bin/time -v's report.
. "$here/timing.sh"

# measure file prog args...: runs it with output to out.txt; prints "s kB".
measure() {
  t=$1
  shift
  /usr/bin/time -v -o "$t" "$@" >out.txt 2>err.txt
  echo "$(wall "$t") $(peak "$t")"
}

# row name n vexo-file [glpsol-file]
row() {
  v=$(measure tv "$vexo" "$3")
  g="- -"
  [ $# -ge 4 ] && command -v glpsol >/dev/null 2>&1 &&
    g=$(measure tg glpsol --check -m "$4")
  echo "$1 $2 $v $g" | awk '{
    us = $3 * 1e6 / $2
    ratio = ($5 == "-" || $5 == 0) ? "-" : sprintf("%.2f", $3 / $5)
    printf "%-22s %10d %8.3fs %8.3fus %9dkB   glpsol %8ss %9skB  ratio %s\n",
      $1, $2, $3, us, $4, $5, $6, ratio }'
}

sizes() {
  if [ "${QUICK:-}" = 1 ]; then echo "$1"; else echo "$1 $2 $3"; fi
}

echo "" >empty.run
echo "empty run: $(measure te "$vexo" empty.run)"

for n in $(sizes 1000000 10000000 100000000); do
  echo "for {i in 1..$n} {}" >v.run
  printf 'for {i in 1..%s} {}\nend;\n' "$n" >g.mod
  row "for-empty" "$n" v.run g.mod
done

for n in $(sizes 100000 1000000 10000000); do
  printf 'for {i in 1..%s} printf "%%d\\n", i;\n' "$n" >v.run
  printf 'for {i in 1..%s} printf "%%d\\n", i;\nend;\n' "$n" >g.mod
  row "for-printf" "$n" v.run g.mod
done

for n in $(sizes 100000 1000000 10000000); do
  printf 'for {i in 1..%s} printf "%%d\\n", i > f.txt;\n' "$n" >v.run
  printf 'for {i in 1..%s} printf "%%d\\n", i > "f.txt";\nend;\n' "$n" >g.mod
  row "for-printf-to-file" "$n" v.run g.mod
done

for n in $(sizes 100000 1000000 10000000); do
  printf 'param s default 0;\nfor {i in 1..%s} let s := s + i;\n' "$n" >v.run
  row "let-loop" "$n" v.run
  awk -v n="$n" 'BEGIN {
    print "param s default 0;"
    for (k = 0; k < 1000; k++) printf "param p%d default %d;\n", k, k
    printf "for {i in 1..%s} let s := s + i;\n", n }' >v.run
  row "let-loop-1000-params" "$n" v.run
done

for n in $(sizes 250000 500000 1000000); do
  printf 'param p {i in 1..%s} := i;\ndisplay p;\n' "$n" >v.run
  printf 'param p {i in 1..%s} := i;\ndisplay p;\nend;\n' "$n" >g.mod
  row "display" "$n" v.run g.mod
done

for n in $(sizes 250000 500000 1000000); do
  awk -v n="$n" 'BEGIN {
    printf "print 0"
    for (k = 1; k < n; k++) printf ",%d", k
    print ";" }' >v.run
  row "print-args" "$n" v.run
done
