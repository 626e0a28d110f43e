#!/usr/bin/env bash
# Runs behaviour cases: rows of cases.tsv, "<id>\t<arguments>\t<exit code>".
#
#   run_cases.sh <vexo> <tests folder> [<id>]
#
# With an id only that case runs (ctest runs each case so, by name);
# without, every case.  The case's folder is tests/cases/<id>/; these files
# there belong to the runner:
#   expected      standard output and standard error together, byte for byte
#   expected.<f>  the file <f> the run must leave in its folder, byte for byte
#   stdin         standard input (else /dev/null)
#   env           variables added to the program's environment, a line
#                 NAME=value each, taken as written (no quotes, no expansion)
#   timeout       the time limit in seconds (default 60), after which the
#                 program is ended and the case fails
#
# The case runs in a scratch copy of its folder (without the expected, env
# and timeout files), so the files it writes never reach the source tree.
# The copy sits at <scratch>/tests/cases/<id>, beside a copy of the examples
# at <scratch>/examples, so an argument such as ../../../../examples/x.mod
# names the same file as in the source tree.  The arguments are split and
# expanded as the shell would.
#
# The program sees none of the caller's environment: only PATH=/usr/bin:/bin,
# HOME and TMPDIR (empty folders in the scratch space) and the case's env.
set -u
vexo=$(realpath "$1")
dir=$(realpath "$2")
only=${3:-}
root=$(dirname "$dir")
timeout_prog=$(command -v timeout)
DEFAULT_LIMIT=60

# Whether file got equals file want byte for byte; else shows the difference.
same() {
  local id=$1 want=$2 got=$3 what=$4
  cmp -s "$want" "$got" && return 0
  echo "FAIL $id: $what differs"
  diff -u "$want" "$got" | head -40
  return 1
}

# Runs one case; prints what differs and answers 1 when it fails.
run_case() {
  local id=$1 args=$2 code=$3
  local cdir="$dir/cases/$id"
  if [ ! -d "$cdir" ]; then
    echo "FAIL $id: no folder $cdir"
    return 1
  fi
  local scratch
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/vexo_case.XXXXXX") || return 1
  local work="$scratch/tests/cases/$id"
  mkdir -p "$work" "$scratch/home" "$scratch/tmp"
  cp -R "$cdir/." "$work/"
  rm -f "$work"/expected "$work"/expected.* "$work"/env "$work"/timeout
  [ -d "$root/examples" ] && cp -R "$root/examples" "$scratch/examples"

  local vars=("PATH=/usr/bin:/bin" "HOME=$scratch/home" "TMPDIR=$scratch/tmp/")
  if [ -f "$cdir/env" ]; then
    local v
    while IFS= read -r v || [ -n "$v" ]; do
      [ -n "$v" ] && vars+=("$v")
    done <"$cdir/env"
  fi
  local limit=$DEFAULT_LIMIT
  [ -f "$cdir/timeout" ] && limit=$(<"$cdir/timeout")
  local input=/dev/null
  [ -f "$work/stdin" ] && input="$work/stdin"
  local argv
  eval "argv=($args)"

  local out="$scratch/output" got
  (cd "$work" && exec env -i "${vars[@]}" "$timeout_prog" -k 10 "$limit" \
     "$vexo" "${argv[@]}" <"$input" >"$out" 2>&1)
  got=$?

  local fail=0
  if [ "$got" = 124 ] && [ "$code" != 124 ]; then
    echo "FAIL $id: no end within $limit s"
    fail=1
  elif [ "$got" != "$code" ]; then
    echo "FAIL $id: exit code $got, expected $code"
    fail=1
  fi
  same "$id" "$cdir/expected" "$out" "output" || fail=1
  local want name
  for want in "$cdir"/expected.*; do
    [ -f "$want" ] || continue
    name=${want##*/expected.}
    if [ ! -f "$work/$name" ]; then
      echo "FAIL $id: no file $name written"
      fail=1
    else
      same "$id" "$want" "$work/$name" "file $name" || fail=1
    fi
  done
  rm -rf "$scratch"
  return $fail
}

fail=0
count=0
found=
while IFS= read -r line; do
  # Split by hand: read would merge an empty arguments column into the tabs.
  id=${line%%$'\t'*}
  rest=${line#*$'\t'}
  args=${rest%$'\t'*}
  code=${rest##*$'\t'}
  case "$id" in ""|\#*) continue ;; esac
  [ -n "$only" ] && [ "$id" != "$only" ] && continue
  found=1
  count=$((count + 1))
  run_case "$id" "$args" "$code" || fail=1
done <"$dir/cases.tsv"
if [ -n "$only" ] && [ -z "$found" ]; then
  echo "FAIL $only: not in cases.tsv"
  exit 1
fi
[ -z "$only" ] && echo "$count cases run"
exit $fail
