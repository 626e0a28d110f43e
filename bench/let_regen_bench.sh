#!/bin/sh
# Keeping the instance current after a small change, on the dense
# transportation model of lp_bench.sh (costs and supplies as defaults, so
# that let may change one of them).  One session per size runs
#   expand meet[1];                       first: generates and collects all
#   expand meet[1];                       nothing changed
#   let supply[1] := ...; expand ship[1]; one right-hand side changed
#   let cost[1,1] := ...; expand meet[1]; one objective coefficient changed
# and reports each expand's user seconds (option times) and, in brackets,
# the seconds genmod spent regenerating (option gentimes).  A change
# should cost time in proportion to what it touches, not to the model.
#
#   sh bench/let_regen_bench.sh [vexo]    (default build/release/vexo)
#   QUICK=1 runs the smallest size only.
set -u
here=$(cd "$(dirname "$0")" && pwd)
vexo=$(cd "$(dirname "${1:-$here/../build/release/vexo}")" && pwd)/$(basename "${1:-vexo}")
[ -x "$vexo" ] || { echo "no vexo at $vexo (make release)" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

printf '%-14s %10s %16s %16s %16s %16s\n' size nonzeros first \
  unchanged "let supply[1]" "let cost[1,1]"
for n in 833 1667 3333; do
  cat >v.run <<RUN
model $here/lp/transport_let.mod;
data; param m := 1000; param n := $n;
model;
option gentimes 1, times 1;
expand meet[1];
expand meet[1];
let supply[1] := supply[1] + 1;
expand ship[1];
let cost[1,1] := cost[1,1] + 1;
expand meet[1];
RUN
  "$vexo" v.run >/dev/null 2>v.err || { echo "vexo failed:" >&2; tail v.err >&2; }
  # Each command ends with its #execute line; the genmod blocks before it
  # are its regeneration.  The last six commands are the ones above.
  awk -v label="m=1000,n=$n" -v nnz=$((3 * 1000 * n)) '
    /^## *[0-9]/ { g += $3 }
    /^#execute/ { sub(/u$/, "", $2); u[++k] = $2; gs[k] = g; g = 0 }
    END {
      b = k - 6
      printf "%-14s %10d", label, nnz
      for (i = 1; i <= 6; i++)
        if (i != 3 && i != 5)
          printf " %7.3f [%6.3f]", u[b + i], gs[b + i]
      printf "\n"
    }' v.err
  [ "${QUICK:-0}" = 1 ] && break
done
