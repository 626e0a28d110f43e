#!/bin/sh
# Presolve beside generation on the linear families of bench/lp: each
# model generated, collected and written (binary nl) once with presolve 0
# and once with presolve 10.  Each row: family, sizes, nonzeros, the
# generation seconds (option gentimes), the processor seconds (user and
# system, less disturbed by other load than wall time) of the whole runs
# at levels 0 and 10, presolve's share (the difference of the runs over
# the generation time) and the growth of that difference over the
# previous size.
#
#   sh bench/presolve_bench.sh [vexo]       (default build/release/vexo)
set -u
here=$(cd "$(dirname "$0")" && pwd)
vexo=${1:-$here/../build/release/vexo}
[ -x "$vexo" ] || { echo "no vexo at $vexo (make release)" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

# run family "data" level: prints "nonzeros gen_seconds cpu_seconds"
run() {
  cat >v.run <<RUN
model $here/lp/$1.mod;
data; $2
model;
option gentimes 1, show_stats 1, presolve $3;
write bstub;
RUN
  /usr/bin/time -f '%U %S' -o v.time "$vexo" v.run >v.out 2>v.err ||
    { echo "vexo failed:" >&2; tail v.err >&2; }
  nnz=$(awk '/constraints, all linear;/ { n += $(NF-1) }
             /linear objective;/ { n += $(NF-1) } END { print n + 0 }' v.out)
  gen=$(awk '/^## *[0-9]/ { c = $4 } END { print c + 0 }' v.err)
  echo "$nnz $gen $(awk '{ print $1 + $2 }' v.time)"
  rm -f stub.nl
}

prev=0
row() {  # row family label "data"
  set -- "$1" "$2" "$3" $(run "$1" "$3" 0) $(run "$1" "$3" 10)
  echo "$1 $2 $4 $5 $6 $9 $prev" | awk '{
    d = $6 - $5; if (d < 0) d = 0
    g = ($7 > 0) ? sprintf("%.2fx", d / $7) : "-"
    printf "%-9s %-14s %10d %8.2f %8.2f %8.2f %7.1f%% %7s\n",
      $1, $2, $3, $4, $5, $6, 100 * d / $4, g }'
  prev=$(awk "BEGIN { print $9 - $6 }")
}

printf '%-9s %-14s %10s %8s %8s %8s %8s %7s\n' family size nonzeros \
  gen_s run0_s run10_s share growth
for n in 833 1667 3333; do
  row transport "${n}x1000" "param m := $n; param n := 1000;"
done
prev=0
for N in 100000 200000 400000; do
  row slices "N=$N" "param N := $N;"
done
prev=0
for C in 2500 5000 10000; do
  row facility "100x$C" "param F := 100; param C := $C;"
done
