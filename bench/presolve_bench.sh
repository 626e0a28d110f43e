#!/bin/sh
# Presolve beside generation on the linear families of bench/lp: each
# model generated, collected and written (binary nl) with presolve 0 and
# with presolve 10, the two levels alternately, REPEAT times each (default
# 3).  Each row: family, sizes, nonzeros, the generation seconds (option
# gentimes), the processor seconds (user and system, less disturbed by
# other load than wall time) of the whole runs at levels 0 and 10, the
# least of the repeats each, presolve's share (the difference of the runs
# over the generation time), the growth of that difference over the
# previous size, and the bytes per nonzero presolve adds to the peak
# resident size (level 10's peak less level 0's, least of the repeats).
#
#   sh bench/presolve_bench.sh [vexo]       (default build/release/vexo)
#   REPEAT=5 FAMILIES="transport facility" sh bench/presolve_bench.sh
set -u
here=$(cd "$(dirname "$0")" && pwd)
vexo=${1:-$here/../build/release/vexo}
[ -x "$vexo" ] || { echo "no vexo at $vexo (make release)" >&2; exit 1; }
repeat=${REPEAT:-3}
families=${FAMILIES:-transport slices facility}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

# once family "data" level: appends "nonzeros gen_seconds cpu_seconds
# peak_kB" to r.$3
once() {
  cat >v.run <<RUN
model $here/lp/$1.mod;
data; $2
model;
option gentimes 1, show_stats 1, presolve $3;
write bstub;
RUN
  /usr/bin/time -f '%U %S %M' -o v.time "$vexo" v.run >v.out 2>v.err ||
    { echo "vexo failed:" >&2; tail v.err >&2; }
  nnz=$(awk '/constraints, all linear;/ { n += $(NF-1) }
             /linear objective;/ { n += $(NF-1) } END { print n + 0 }' v.out)
  gen=$(awk '/^## *[0-9]/ { c = $4 } END { print c + 0 }' v.err)
  echo "$nnz $gen $(awk '{ print $1 + $2, $3 }' v.time)" >>"r.$3"
  rm -f stub.nl
}

# run family "data": prints, per level 0 and 10, the least of the
# repeats' "nonzeros gen_seconds cpu_seconds peak_kB"
run() {
  rm -f r.0 r.10
  i=0
  while [ $i -lt "$repeat" ]; do
    once "$1" "$2" 0
    once "$1" "$2" 10
    i=$((i + 1))
  done
  for l in 0 10; do
    awk 'NR == 1 || $2 < g { g = $2 } NR == 1 || $3 < c { c = $3 }
         NR == 1 || $4 < m { m = $4 } { n = $1 }
         END { print n, g, c, m }' "r.$l"
  done
}

prev=0
row() {  # row family label "data"
  set -- "$1" "$2" "$3" $(run "$1" "$3")
  # $4..$7: level 0 (nonzeros gen cpu peak); $8..$11: level 10
  echo "$1 $2 $4 $5 $6 ${10} $prev $7 ${11}" | awk '{
    d = $6 - $5; if (d < 0) d = 0
    g = ($7 > 0) ? sprintf("%.2fx", d / $7) : "-"
    b = ($3 > 0) ? 1024 * ($9 - $8) / $3 : 0
    printf "%-9s %-14s %10d %8.2f %8.2f %8.2f %7.1f%% %7s %7.1f\n",
      $1, $2, $3, $4, $5, $6, 100 * d / $4, g, b }'
  prev=$(awk "BEGIN { print ${10} - $6 }")
}

printf '%-9s %-14s %10s %8s %8s %8s %8s %7s %7s\n' family size nonzeros \
  gen_s run0_s run10_s share growth B/nz
for f in $families; do
  prev=0
  case $f in
    transport)
      for n in 833 1667 3333; do
        row transport "${n}x1000" "param m := $n; param n := 1000;"
      done ;;
    slices)
      for N in 100000 200000 400000; do
        row slices "N=$N" "param N := $N;"
      done ;;
    facility)
      for C in 2500 5000 10000; do
        row facility "100x$C" "param F := 100; param C := $C;"
      done ;;
  esac
done
