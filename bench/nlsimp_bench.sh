#!/bin/sh
# Presolve's simplification and incidence passes beside generation: a QP
# of 10^6 variables with a quadratic objective and a MIP of 10^5 conic
# rows r1^2 + r2^2 <= s^2 (s integer), each written as a text nl file at
# presolve 10 under a sampling profiler (perf, call graphs from the
# stack).  Printed per model: the share of the samples in generation
# (genmod), in the simplification passes (simplify_rows, with esimplify
# and nl2l) and in the incidence passes (nl_incidence), and the passes'
# share of the generation time (the goal: at most 10%).  Processor
# samples, so other load on the machine disturbs little.
#
#   sh bench/nlsimp_bench.sh [vexo]       (default build/release/vexo)
set -u
here=$(cd "$(dirname "$0")" && pwd)
vexo=${1:-$here/../build/release/vexo}
[ -x "$vexo" ] || { echo "no vexo at $vexo (make release)" >&2; exit 1; }
command -v perf >/dev/null || { echo "perf is needed" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

# share "function": the percentage of samples under it
share() {
  awk -v f="$1" '$NF == f && $1 ~ /%$/ { sub("%", "", $1); s += $1 }
                 END { printf "%.2f", s + 0 }' report.txt
}

run() {  # run label "model"
  printf '%s\noption presolve 10;\nwrite gm;\n' "$2" >m.run
  perf record -q -o perf.data -F 2000 --call-graph dwarf,16384 \
    "$vexo" m.run >/dev/null 2>perf.err ||
    { echo "$1: perf or vexo failed:" >&2; tail -3 perf.err >&2; return; }
  perf report -i perf.data --children --stdio 2>/dev/null |
    grep -E '^ +[0-9.]+%' >report.txt
  gen=$(share vexo::genmod)
  simp=$(share vexo::simplify_rows)
  inc=$(share vexo::nl_incidence)
  awk -v m="$1" -v g="$gen" -v s="$simp" -v i="$inc" 'BEGIN {
    printf "%-22s %8.2f%% %8.2f%% %8.2f%% %8.1f%%\n", m, g, s, i,
      (g > 0) ? 100 * (s + i) / g : 0 }'
  rm -f perf.data m.nl
}

printf '%-22s %9s %9s %9s %9s\n' model genmod simplify incidence "of gen"
run "QP, 10^6 variables" "param n := 1000000;
var x {1..n} >= -1 <= 1;
minimize o: sum {i in 1..n} (x[i] - i mod 7)^2;
s.t. c: sum {i in 1..n} x[i] >= 1;"
run "MIP, 10^5 conic rows" "param n := 100000;
var r1 {1..n}; var r2 {1..n}; var s {1..n} integer >= 0 <= 10;
minimize o: sum {i in 1..n} s[i];
s.t. cone {i in 1..n}: r1[i]^2 + r2[i]^2 <= s[i]^2;
s.t. a {i in 1..n}: r1[i] + r2[i] >= 1;"
