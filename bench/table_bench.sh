#!/bin/sh
# Tables of N rows (two key columns, two value columns; N = 10^6 unless
# ROWS is set) written and read back through `write table` and `read
# table`.
#
# .tab against .bit: one vexo run times each transfer itself, by the
# processor time (user + system, _vexo_time) around the command, REPS
# times (default 5) in turn for the two formats so that a change of the
# shared machine's load falls on both alike; the least of each is kept.
# The params written are computed before the first write, and every read
# starts from empty targets (reset data), as in a run of its own.
#
# .tab against glpsol, which writes and reads the same rows as a CSV file
# with its `table` statement and has no timer of its own: each side's
# processor time is its whole run less the run that only computes
# (writing) or only declares (reading) the same data, the least of
# RUNS rounds (default 5) that run all the commands in turn.
#
# Prints seconds per transfer and the ratios (.tab / .bit, glpsol / .tab).
#
#   sh bench/table_bench.sh [vexo]        (default build/release/vexo)
# glpsol comes from the Debian package glpk-utils; without it the glpsol
# columns read "-".
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/glpsol_setup.sh"
rows=${ROWS:-1000000}
reps=${REPS:-5}
runs=${RUNS:-5}
side=$(awk -v n="$rows" 'BEGIN { s = int(sqrt(n) + 0.5); print s }')
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

diff_s() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; if (d < 0.001) d = 0.001; printf "%.3f", d }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }

model="param a {i in 1..$side, j in 1..$side} = i + j / 8;
param b {i in 1..$side, j in 1..$side} = i * j;"

# ---- .tab and .bit, timed inside one run ------------------------------------
# One timed command: the least of its times so far in best[way, ext].
timed() {
  printf 'let t0 := _vexo_time; %s\nlet best["%s", "%s"] := min(best["%s", "%s"], _vexo_time - t0);\n' \
    "$1" "$2" "$3" "$2" "$3"
}
{
  echo "$model"
  echo 'set K dimen 2;'
  echo 'param ra {K};'
  echo 'param rb {K};'
  echo 'param t0;'
  echo 'param best {{"write", "read"}, {"tab", "bit"}} default Infinity;'
  for ext in tab bit; do
    echo "table W_$ext OUT \"w.$ext\": [i, j], a, b;"
    echo "table R_$ext IN \"w.$ext\": K <- [i, j], ra ~ a, rb ~ b;"
  done
  # The params are generated whole by a reference to one member of each;
  # the files exist before the first timed write, so that every timed
  # write goes over an existing file, as a model's repeated writes do.
  echo 'display a[1, 1] + b[1, 1] > /dev/null;'
  echo 'write table W_tab; write table W_bit;'
  k=0
  while [ $k -lt "$reps" ]; do
    for ext in tab bit; do timed "write table W_$ext;" write $ext; done
    for ext in tab bit; do
      echo 'reset data K, ra, rb;'
      timed "read table R_$ext;" read $ext
    done
    k=$((k + 1))
  done
  echo 'if card(K) != card({i in 1..'"$side"', j in 1..'"$side"'}) then print "bad read";'
  printf '%s\n' 'printf "%.4f %.4f %.4f %.4f\n", best["write", "tab"],' \
    '  best["write", "bit"], best["read", "tab"], best["read", "bit"];'
} >inrun.run
set -- $(nice "$vexo" inrun.run 2>&1 | tail -n 1)
tab_w=$1 bit_w=$2 tab_r=$3 bit_r=$4

# ---- .tab and glpsol, whole runs less their baselines -----------------------
# Processor time (user + system) of each command, the least of RUNS
# rounds: every round runs every command once, in turn.
ncmd=0
cmd() { ncmd=$((ncmd + 1)); eval "cmd_$ncmd=\"\$*\""; }
run_all() {
  k=0
  while [ $k -lt "$runs" ]; do
    i=1
    while [ $i -le $ncmd ]; do
      eval "c=\$cmd_$i"
      /usr/bin/time -o cpu.txt -f '%U %S' $c >/dev/null 2>&1
      t=$(tail -n 1 cpu.txt | awk '{ printf "%.3f", $1 + $2 }')
      eval "b=\${best_$i:-}"
      b=$(awk -v a="$b" -v b="$t" 'BEGIN { if (a == "" || b < a) a = b; print a }')
      eval "best_$i=$b"
      i=$((i + 1))
    done
    k=$((k + 1))
  done
}
best() { eval "echo \$best_$1"; }
g_w=- g_r=- p_w=- p_r=-
if command -v glpsol >/dev/null 2>&1; then
  printf '%s\ntable W OUT "w.tab": [i, j], a, b;\nwrite table W;\n' \
    "$model" >w_tab.run
  printf 'set K dimen 2;\nparam ra {K};\nparam rb {K};\ntable R IN "w.tab": K <- [i, j], ra ~ a, rb ~ b;\nread table R;\n' >r_tab.run
  printf '%s\ndisplay a[1, 1] + b[1, 1];\n' "$model" >w0.run
  printf 'set K dimen 2;\nparam ra {K};\nparam rb {K};\n' >r0.run
  gm="set I := 1..$side; param a {i in I, j in I} := i + j / 8;
param b {i in I, j in I} := i * j;"
  # glpsol computes members when they are used: its baseline uses each.
  printf '%s\ncheck sum {i in I, j in I} (a[i,j] + b[i,j]) >= 0;\nend;\n' \
    "$gm" >g0.mod
  printf '%s\ntable W {i in I, j in I} OUT "CSV" "w.csv": i, j, a[i,j] ~ a, b[i,j] ~ b;\nend;\n' \
    "$gm" >gw.mod
  printf 'set K dimen 2;\nparam ra {K};\nparam rb {K};\ntable R IN "CSV" "w.csv": K <- [i, j], ra ~ a, rb ~ b;\nend;\n' >gr.mod
  printf 'set K dimen 2;\nparam ra {K};\nparam rb {K};\nend;\n' >gr0.mod
  # The files read are written first.
  glpsol --check -m gw.mod >/dev/null 2>&1
  cmd "$vexo" w0.run               # 1
  cmd "$vexo" w_tab.run            # 2
  cmd "$vexo" r0.run               # 3
  cmd "$vexo" r_tab.run            # 4
  cmd glpsol --check -m g0.mod     # 5
  cmd glpsol --check -m gw.mod     # 6
  cmd glpsol --check -m gr0.mod    # 7
  cmd glpsol --check -m gr.mod     # 8
  run_all
  p_w=$(diff_s "$(best 2)" "$(best 1)")
  p_r=$(diff_s "$(best 4)" "$(best 3)")
  g_w=$(diff_s "$(best 6)" "$(best 5)")
  g_r=$(diff_s "$(best 8)" "$(best 7)")
fi

echo "rows: $((side * side))"
echo "in one run, least of $reps transfers:"
printf '%-6s %10s %10s %10s\n' way .tab .bit .tab/.bit
printf '%-6s %10s %10s %10s\n' write "$tab_w" "$bit_w" "$(ratio "$tab_w" "$bit_w")"
printf '%-6s %10s %10s %10s\n' read "$tab_r" "$bit_r" "$(ratio "$tab_r" "$bit_r")"
echo "whole runs less their baselines, least of $runs rounds:"
printf '%-6s %10s %10s %12s\n' way .tab glpsol glpsol/.tab
for way in write read; do
  if [ $way = write ]; then t=$p_w g=$g_w; else t=$p_r g=$g_r; fi
  gr=-
  [ "$g" = - ] || gr=$(ratio "$g" "$t")
  printf '%-6s %10s %10s %12s\n' $way "$t" "$g" "$gr"
done
