#!/usr/bin/env bash
# Declarations written back by show read back as the same declarations: for
# each model of the folders given, every declaration is shown into a file,
# that file is read as the model of a fresh session and shown again, and
# the two texts must be the same byte for byte.
#
#   show_roundtrip.sh <vexo> <folder>...
set -u
vexo=$(realpath "$1")
shift
work=$(mktemp -d "${TMPDIR:-/tmp}/vexo_show.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
fail=0
for folder in "$@"; do for model in "$(realpath "$folder")"/*.mod; do
  base=$(basename "$model" .mod)
  # The declared names in declaration order, and the checks by number.
  names=$(grep -oE '^(set|param|var|minimize|maximize|subject to|s\.t\.)[ ]+[A-Za-z_][A-Za-z_0-9]*' "$model" |
          awk '{print $NF}' | paste -sd, -)
  nchecks=$(grep -cE '^check\b' "$model")
  for ((i = 1; i <= nchecks; ++i)); do names="$names, check $i"; done
  printf 'model %s;\nshow %s > %s;\n' "$model" "$names" "$work/$base.1" >"$work/a.run"
  printf 'model %s;\nshow %s > %s;\n' "$work/$base.1" "$names" "$work/$base.2" >"$work/b.run"
  if ! "$vexo" "$work/a.run" >"$work/a.out" 2>&1 || [ -s "$work/a.out" ]; then
    echo "FAIL $base: showing the model"; cat "$work/a.out"; fail=1; continue
  fi
  if ! "$vexo" "$work/b.run" >"$work/b.out" 2>&1 || [ -s "$work/b.out" ]; then
    echo "FAIL $base: reading the shown model back"; cat "$work/b.out"
    cat "$work/$base.1"; fail=1; continue
  fi
  if ! cmp -s "$work/$base.1" "$work/$base.2"; then
    echo "FAIL $base: shown again, the text differs"
    diff -u "$work/$base.1" "$work/$base.2"; fail=1; continue
  fi
  [ -s "$work/$base.1" ] || { echo "FAIL $base: nothing shown"; fail=1; }
done; done
exit $fail
