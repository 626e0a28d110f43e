#!/usr/bin/env bash
# Runs every row of cases.tsv: "<id>\t<arguments>\t<exit code>".
# The case runs in tests/cases/<id>/ with standard input from the file "stdin"
# there (else /dev/null); its standard output and standard error, together,
# must equal the file "expected" byte for byte, and its exit code the third
# column.  A first argument after the directory limits the run to one id.
set -u
# Both paths may be relative to where the runner starts; each case runs in
# its own folder, so make them absolute first.
vexo=$(realpath "$1")
dir=$(realpath "$2")
only=${3:-}
fail=0
count=0
while IFS= read -r line; do
  # Split by hand: read would merge an empty arguments column into the tabs.
  id=${line%%$'\t'*}
  rest=${line#*$'\t'}
  args=${rest%$'\t'*}
  code=${rest##*$'\t'}
  case "$id" in ""|\#*) continue ;; esac
  [ -n "$only" ] && [ "$id" != "$only" ] && continue
  count=$((count + 1))
  cdir="$dir/cases/$id"
  input=/dev/null
  [ -f "$cdir/stdin" ] && input="$cdir/stdin"
  out=$(mktemp)
  (cd "$cdir" && eval "exec \"\$vexo\" $args" <"$input" >"$out" 2>&1)
  got=$?
  if [ "$got" != "$code" ]; then
    echo "FAIL $id: exit code $got, expected $code"
    fail=1
  fi
  if ! cmp -s "$out" "$cdir/expected"; then
    echo "FAIL $id: output differs"
    diff -u "$cdir/expected" "$out" | head -40
    fail=1
  fi
  rm -f "$out"
done <"$dir/cases.tsv"
echo "$count cases run"
exit $fail
