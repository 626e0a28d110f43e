#!/bin/sh
# The recovery of the duals of removed rows beside the solve that precedes
# it: a transportation problem whose per-arc capacity rows presolve turns
# into bounds (bench/lp/transport_cap.mod) is solved by vexocbc at
# presolve 10; then one read of a removed row's dual recovers them all.
# Each row: sizes, removed rows, the processor seconds of the recovery
# (the read's line of option times: user and system), of vexocbc's own
# run (_solve_time) and their ratio.
#
#   sh bench/duals_bench.sh [vexo]       (default build/release/vexo;
#                                         vexocbc beside it)
set -u
here=$(cd "$(dirname "$0")" && pwd)
vexo=${1:-$here/../build/release/vexo}
[ -x "$vexo" ] || { echo "no vexo at $vexo (make release)" >&2; exit 1; }
solver=$(dirname "$vexo")/vexocbc
[ -x "$solver" ] || { echo "no vexocbc at $solver" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

printf '%-12s %9s %10s %10s %8s\n' size removed duals_s solve_s share
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
  "$vexo" v.run >v.out 2>v.err || { echo "vexo failed:" >&2; tail v.err >&2; }
  # The second execute line after "option times 1" is the read's.
  rec=$(awk '/^#execute/ { if (++n == 2) { u = $2; s = $3; sub(/u/, "", u);
             sub(/s/, "", s); print u + s } }' v.err)
  echo "${1}x$2 $(tail -1 v.out) ${rec:-0}" | awk '{
    printf "%-12s %9d %10.4f %10.4f %7.1f%%\n", $1, $2, $4, $3,
      ($3 > 0) ? 100 * $4 / $3 : 0 }'
done
