#!/usr/bin/env bash
# A snapshot read back rebuilds the session: for each example model with
# its data, a session solves it (when the default solver can) and writes a
# snapshot; a fresh session reads the snapshot; in both, display of every
# declared entity, of the solve outcome and the options, and show, must
# give the same bytes.
#
#   snapshot_roundtrip.sh <vexo> <folder>
set -u
vexo=$(realpath "$1")
folder=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/vexo_snap.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
fail=0
for model in "$folder"/*.mod; do
  base=$(basename "$model" .mod)
  data="$folder/$base.dat"
  [ -f "$data" ] || continue
  names=$(grep -oE '^(set|param|var|minimize|maximize|subject to|s\.t\.)[ ]+[A-Za-z_][A-Za-z_0-9]*' "$model" |
          awk '{print $NF}')
  probe="$work/probe.run"
  : >"$probe"
  for n in $names solve_message solve_result; do
    printf 'display %s > "%s";\n' "$n" "$work/\$OUT" >>"$probe"
  done
  printf 'show > "%s";\noption display_width > "%s";\n' "$work/\$OUT" \
    "$work/\$OUT" >>"$probe"
  sed "s/\\\$OUT/$base.1/" "$probe" >"$work/p1.run"
  sed "s/\\\$OUT/$base.2/" "$probe" >"$work/p2.run"
  # The default solver takes linear models only: the others are not
  # solved.
  solve="solve;"
  grep -qE 'complements|\^|exp\(' "$model" && solve=""
  printf 'model %s;\ndata %s;\noption display_width 100;\n%s\nsnapshot > "%s";\n' \
    "$model" "$data" "$solve" "$work/$base.snap" >"$work/a.run"
  if ! "$vexo" "$work/a.run" "$work/p1.run" >"$work/a.out" 2>&1; then
    echo "FAIL $base: the first session"; cat "$work/a.out"; fail=1; continue
  fi
  if ! "$vexo" "$work/$base.snap" "$work/p2.run" >"$work/b.out" 2>&1 ||
     [ -s "$work/b.out" ]; then
    echo "FAIL $base: reading the snapshot back"; cat "$work/b.out"
    cat "$work/$base.snap"; fail=1; continue
  fi
  if ! cmp -s "$work/$base.1" "$work/$base.2"; then
    echo "FAIL $base: the sessions differ"
    diff -u "$work/$base.1" "$work/$base.2"; cat "$work/$base.snap"
    fail=1; continue
  fi
done
exit $fail
