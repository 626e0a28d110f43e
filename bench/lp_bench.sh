#!/bin/sh
# Linear-program families generated end to end (generation, collection,
# presolve, binary nl file) by vexo, side by side with one `glpsol --check`
# run on the same model written in GNU MathProg (data computed in the
# model, so both read only the sizes).  Each row: sizes, nonzeros (objective
# included), vexo's generation seconds (option gentimes), its whole-run
# processor seconds and peak resident memory (/usr/bin/time -v) for a run file that
# ends with `write`, the same per nonzero, then the batch run's seconds and
# peak (model and data as inputs, the problem written at the end of input
# by -obstub, as glpsol reads -m and -d and ends: the generated term lists
# then move into the collected problem instead of being copied), then
# glpsol's whole-run seconds and peak memory and the ratio of its run to
# the batch run.
#
#   sh bench/lp_bench.sh [vexo]        (default build/release/vexo)
#   GLPSOL_TIMEOUT=<s> limits each glpsol run (default 900); QUICK=1 runs
#   the smallest size of each family only.
# glpsol comes from the Debian package glpk-utils; without it the glpsol
# columns read "-".
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/glpsol_setup.sh"
gtimeout=${GLPSOL_TIMEOUT:-900}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

# peak: a field of /usr/bin/time -v's report; the runs are timed by
# processor seconds (user and system), steadier than wall time while the
# machine is loaded.
. "$here/timing.sh"
cpu() {
  awk -F': ' '/User time|System time/ { s += $2 } END { print s + 0 }' "$1"
}

# run_vexo family "data statements": prints nnz gen cpu peak_kB
run_vexo() {
  cat >v.run <<RUN
model $here/lp/$1.mod;
data; $2
model;
option gentimes 1, show_stats 1;
write bstub;
RUN
  /usr/bin/time -v "$vexo" v.run >v.out 2>v.err || { echo "vexo failed:" >&2; tail v.err >&2; }
  nnz=$(awk '/constraints, all linear;/ { n += $(NF-1) }
             /linear objective;/ { n += $(NF-1) } END { print n + 0 }' v.out)
  gen=$(awk '/^## *[0-9]/ { c = $4 } END { print c + 0 }' v.err)
  echo "$nnz $gen $(cpu v.err) $(peak v.err)"
  rm -f stub.nl
}

# run_batch family "data statements": prints cpu peak_kB of
# `vexo -obstub model data`.
run_batch() {
  printf 'data;\n%s\n' "$2" >b.dat
  /usr/bin/time -v "$vexo" -obstub "$here/lp/$1.mod" b.dat >b.out 2>b.err ||
    { echo "vexo batch failed:" >&2; tail b.err >&2; }
  echo "$(cpu b.err) $(peak b.err)"
  rm -f stub.nl
}

# run_glpsol family "data statements": prints cpu peak_kB (or - -)
run_glpsol() {
  command -v glpsol >/dev/null 2>&1 || { echo "- -"; return; }
  printf 'data;\n%s\nend;\n' "$2" >g.dat
  if /usr/bin/time -v timeout "$gtimeout" glpsol --check \
       -m "$here/lp/$1_glpk.mod" -d g.dat >g.out 2>g.err; then
    echo "$(cpu g.err) $(peak g.err)"
  else
    echo "- -"
  fi
}

row() {  # row family label "data statements" with_glpsol
  set -- "$1" "$2" "$3" "${4:-1}" $(run_vexo "$1" "$3")
  fam=$1 label=$2 data=$3 withg=$4 nnz=$5 gen=$6 vw=$7 vkb=$8
  b=$(run_batch "$fam" "$data")
  if [ "$withg" = 1 ]; then g=$(run_glpsol "$fam" "$data"); else g="- -"; fi
  echo "$fam $label $nnz $gen $vw $vkb $b $g" | awk '{
    nnz = $3; ns = 1e9 / nnz
    gw = ($9 == "-") ? "-" : sprintf("%.2f", $9)
    gm = ($10 == "-") ? "-" : sprintf("%.0f", $10 / 1024)
    r = ($9 == "-" || $7 == 0) ? "-" : sprintf("%.1fx", $9 / $7)
    printf "%-9s %-14s %10d %8.2f %8.2f %7.0f %7.1f %7.1f %6.1f %8.2f %6.1f %8s %7s %7s\n",
      $1, $2, nnz, $4, $5, $6 / 1024, $4 * ns, $5 * ns, $6 * 1024 / nnz,
      $7, $8 * 1024 / nnz, gw, gm, r }'
}

printf '%-9s %-14s %10s %8s %8s %7s %7s %7s %6s %8s %6s %8s %7s %7s\n' \
  family size nonzeros gen_s run_s peak_MB gen_ns run_ns B/nz \
  batch_s B/nz glp_s glp_MB glp/vexo
printf '%-9s %-14s %10s %8s %8s %7s %7s %7s %6s %8s %6s %8s %7s %7s\n' \
  "" "" "" "(vexo)" "" "" "/nz" "/nz" "peak" "" "peak" "" "" "(batch)"

# Dense transportation, 1000 origins: 2.5, 5 and 10 million nonzeros.
for n in 833 1667 3333; do
  row transport "m=1000,n=$n" "param m := 1000; param n := $n;"
  [ "${QUICK:-0}" = 1 ] && break
done
# Sparse slices, ten arcs per node.  glpsol at small sizes only (its run
# grows fast with N); vexo at both.
for N in 1000 2000 4000; do
  row slices "N=$N" "param N := $N;"
  [ "${QUICK:-0}" = 1 ] && break
done
for N in 100000 200000 400000; do
  row slices "N=$N" "param N := $N;" 0
  [ "${QUICK:-0}" = 1 ] && break
done
