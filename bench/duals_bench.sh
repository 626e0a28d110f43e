#!/bin/sh
# The recovery of the duals of removed rows beside the solve that precedes
# it: a transportation problem whose per-arc capacity rows presolve turns
# into bounds (bench/lp/transport_cap.mod) is solved by vexocbc at
# presolve 10; then one read of a removed row's dual recovers them all.
# Each row: sizes, removed rows, the cost of the recovery, of vexocbc's
# own run and their ratio.  The cost is processor seconds, the least of 5
# runs (the recovery's from the read's line of option times: user and
# system; vexocbc's _solve_time), or with COUNT=instr the instructions
# callgrind counts (the recovery's: fixed_duals inclusive; vexocbc's whole
# run, followed as a child), which the load of the machine does not move.
#
#   sh bench/duals_bench.sh [vexo]       (default build/release/vexo;
#                                         vexocbc beside it)
#   COUNT=instr sh bench/duals_bench.sh [vexo]
set -u
here=$(cd "$(dirname "$0")" && pwd)
vexo=${1:-$here/../build/release/vexo}
[ -x "$vexo" ] || { echo "no vexo at $vexo (make release)" >&2; exit 1; }
solver=$(dirname "$vexo")/vexocbc
[ -x "$solver" ] || { echo "no vexocbc at $solver" >&2; exit 1; }
count=${COUNT:-time}
if [ "$count" = instr ]; then
  command -v valgrind >/dev/null && command -v callgrind_annotate >/dev/null ||
    { echo "COUNT=instr needs valgrind" >&2; exit 1; }
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

# The least of the numbers on standard input.
least() { sort -g | head -1; }

if [ "$count" = instr ]; then
  printf '%-12s %9s %12s %12s %8s\n' size removed duals_ir solve_ir share
else
  printf '%-12s %9s %10s %10s %8s\n' size removed duals_s solve_s share
fi
for mn in "100 100" "200 200" "400 400"; do
  set -- $mn
  cat >v.run <<RUN
model $here/lp/transport_cap.mod;
data; param m := $1; param n := $2;
model;
param d;
option solver '$solver', solver_msg 0, presolve 10;
solve;
option times 1;
let d := arc[1,1].dual;
option times 0;
printf "%d %.4f\\n", _ncons - _sncons, _solve_time;
RUN
  if [ "$count" = instr ]; then
    rm -f cg.*
    valgrind --tool=callgrind --trace-children=yes \
      --callgrind-out-file="$tmp/cg.%p" "$vexo" v.run >v.out 2>v.err ||
      { echo "vexo failed:" >&2; tail v.err >&2; }
    rec=0 sol=0
    for f in cg.*; do
      if grep -q '^cmd:.*vexocbc' "$f"; then
        sol=$(awk '/^(summary|totals):/ { print $2; exit }' "$f")
      else
        rec=$(callgrind_annotate --inclusive=yes "$f" 2>/dev/null |
              awk '/fixed_duals/ { gsub(/,/, "", $1); print $1; exit }')
      fi
    done
    echo "${1}x$2 $(tail -1 v.out) ${rec:-0} ${sol:-0}" | awk '{
      printf "%-12s %9d %12d %12d %7.1f%%\n", $1, $2, $4, $5,
        ($5 > 0) ? 100 * $4 / $5 : 0 }'
    continue
  fi
  : >recs
  : >sols
  for run in 1 2 3 4 5; do
    "$vexo" v.run >v.out 2>v.err || { echo "vexo failed:" >&2; tail v.err >&2; }
    # The second execute line after "option times 1" is the read's.
    awk '/^#execute/ { if (++n == 2) { u = $2; s = $3; sub(/u/, "", u);
         sub(/s/, "", s); print u + s } }' v.err >>recs
    tail -1 v.out | awk '{ print $2 }' >>sols
  done
  rec=$(least <recs)
  sol=$(least <sols)
  echo "${1}x$2 $(tail -1 v.out | awk '{ print $1 }') ${rec:-0} ${sol:-0}" |
    awk '{ printf "%-12s %9d %10.4f %10.4f %7.1f%%\n", $1, $2, $3, $4,
      ($4 > 0) ? 100 * $3 / $4 : 0 }'
done
