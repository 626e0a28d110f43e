#!/bin/sh
# Tables of N rows (two key columns, two value columns; N = 10^6 unless
# ROWS is set) written and read back through `write table` and `read
# table`: ".tab" and ".bit" files by vexo, side by side with glpsol
# writing and reading the same rows as a CSV file with its `table`
# statement.  Each side's processor time is its whole run less the run
# that only computes (writing) or only declares (reading) the same data,
# so that the rows are what is timed; every run is the least of REPS
# rounds that run all the commands in turn.  Prints seconds per transfer
# and the ratios (glpsol / .tab, .tab / .bit).
#
#   sh bench/table_bench.sh [vexo]        (default build/release/vexo)
# glpsol comes from the Debian package glpk-utils; without it the glpsol
# columns read "-".
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/glpsol_setup.sh"
rows=${ROWS:-1000000}
side=$(awk -v n="$rows" 'BEGIN { s = int(sqrt(n) + 0.5); print s }')
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

# Processor time (user + system) of each command, the least of REPS
# rounds (default 3): every round runs every command once, in turn, so
# that a change of the shared machine's load falls on all of them alike.
reps=${REPS:-3}
ncmd=0
cmd() { ncmd=$((ncmd + 1)); eval "cmd_$ncmd=\"\$*\""; }
run_all() {
  k=0
  while [ $k -lt "$reps" ]; do
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
diff_s() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; if (d < 0.001) d = 0.001; printf "%.3f", d }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }

model="param a {i in 1..$side, j in 1..$side} = i + j / 8;
param b {i in 1..$side, j in 1..$side} = i * j;"
for ext in tab bit; do
  cat >w_$ext.run <<RUN
$model
table W OUT "w.$ext": [i, j], a, b;
write table W;
RUN
  cat >r_$ext.run <<RUN
set K dimen 2;
param ra {K};
param rb {K};
table R IN "w.$ext": K <- [i, j], ra ~ a, rb ~ b;
read table R;
RUN
done
# The params are generated whole by a reference to one member of each.
cat >w0.run <<RUN
$model
display a[1, 1] + b[1, 1];
RUN
printf 'set K dimen 2;\nparam ra {K};\nparam rb {K};\n' >r0.run

cmd "$vexo" w0.run          # 1
cmd "$vexo" w_tab.run       # 2
cmd "$vexo" w_bit.run       # 3
cmd "$vexo" r0.run          # 4
cmd "$vexo" r_tab.run       # 5
cmd "$vexo" r_bit.run       # 6
g_w=- g_r=-
if command -v glpsol >/dev/null 2>&1; then
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
  cmd glpsol --check -m g0.mod     # 7
  cmd glpsol --check -m gw.mod     # 8
  cmd glpsol --check -m gr0.mod    # 9
  cmd glpsol --check -m gr.mod     # 10
fi
"$vexo" w_tab.run >/dev/null 2>&1
"$vexo" w_bit.run >/dev/null 2>&1
run_all
tab_w=$(diff_s "$(best 2)" "$(best 1)")
bit_w=$(diff_s "$(best 3)" "$(best 1)")
tab_r=$(diff_s "$(best 5)" "$(best 4)")
bit_r=$(diff_s "$(best 6)" "$(best 4)")
if [ $ncmd -gt 6 ]; then
  g_w=$(diff_s "$(best 8)" "$(best 7)")
  g_r=$(diff_s "$(best 10)" "$(best 9)")
fi

echo "rows: $((side * side))"
printf '%-6s %10s %10s %10s %12s %12s\n' way .tab .bit glpsol glpsol/.tab .tab/.bit
for way in write read; do
  if [ $way = write ]; then t=$tab_w b=$bit_w g=$g_w; else t=$tab_r b=$bit_r g=$g_r; fi
  gr=-
  [ "$g" = - ] || gr=$(ratio "$g" "$t")
  printf '%-6s %10s %10s %10s %12s %12s\n' $way "$t" "$b" "$g" "$gr" "$(ratio "$t" "$b")"
done
