#!/bin/sh
# MPS files of the linear-program families of bench/lp: the time vexo's
# write of an MPS file adds (a run ending in `write mstub;` less the same
# run ending in `write 0;`, which brings the problem up to date, collects
# and presolves it and writes nothing), beside the time glpsol's writing
# of an MPS file adds (`glpsol --check --wfreemps` less `glpsol --check`
# on the same model); each run the best of three.  Columns: family, size,
# nonzeros, the file's bytes, vexo's two runs and their difference, the
# same for glpsol, and the ratio of the two differences.
#
#   sh bench/mps_bench.sh [vexo]        (default build/release/vexo)
#   QUICK=1 runs the smallest size of each family only.
# glpsol comes from the Debian package glpk-utils.
set -u
here=$(cd "$(dirname "$0")" && pwd)
vexo=$(cd "$(dirname "${1:-$here/../build/release/vexo}")" && pwd)/$(basename "${1:-vexo}")
[ -x "$vexo" ] || { echo "no vexo at $vexo (make release)" >&2; exit 1; }
command -v glpsol >/dev/null 2>&1 || { echo "no glpsol (glpk-utils)" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

# best3 command...: the least wall seconds of three runs.
best3() {
  b=
  for i in 1 2 3; do
    s=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    e=$(date +%s.%N)
    b=$(echo "$s $e ${b:-}" | awk '{ d = $2 - $1; if ($3 != "" && $3 < d) d = $3; print d }')
  done
  echo "$b"
}

row() {  # row family label "data statements"
  for w in 0 mstub; do
    printf 'model %s/lp/%s.mod;\ndata; %s\nmodel;\noption presolve 0;\nwrite %s;\n' \
      "$here" "$1" "$3" "$w" >"v_$w.run"
  done
  printf 'data;\n%s\nend;\n' "$3" >g.dat
  v0=$(best3 "$vexo" v_0.run)
  v1=$(best3 "$vexo" v_mstub.run)
  bytes=$(wc -c <stub.mps)
  nnz=$(awk '/^    C/ { n++ } END { print n + 0 }' stub.mps)
  g0=$(best3 glpsol --check -m "$here/lp/$1_glpk.mod" -d g.dat)
  g1=$(best3 glpsol --check -m "$here/lp/$1_glpk.mod" -d g.dat --wfreemps g.mps)
  echo "$1 $2 $nnz $bytes $v0 $v1 $g0 $g1" | awk '{
    vd = $6 - $5; gd = $8 - $7
    printf "%-9s %-12s %9d %10d %7.2f %7.2f %7.2f %7.2f %7.2f %7.2f %6.1fx\n",
      $1, $2, $3, $4, $5, $6, vd, $7, $8, gd, (vd > 0 ? gd / vd : 0) }'
  rm -f stub.mps g.mps
}

printf '%-9s %-12s %9s %10s %7s %7s %7s %7s %7s %7s %7s\n' \
  family size nonzeros bytes vexo_0 vexo_m write glp_chk glp_mps write ratio
for n in 833 1667; do
  row transport "m=1000,n=$n" "param m := 1000; param n := $n;"
  [ "${QUICK:-0}" = 1 ] && break
done
for N in 1000 2000; do
  row slices "N=$N" "param N := $N;"
  [ "${QUICK:-0}" = 1 ] && break
done
