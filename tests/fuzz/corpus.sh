#!/usr/bin/env bash
# The seed corpus of a fuzz target, and its replay.
#
#   corpus.sh seeds <target> <repo> <dir>     fills dir with the seeds
#   corpus.sh replay <target> <repo> <prog>   runs prog (replay_<target>)
#                                             over the seeds and every
#                                             past finding of the target
#
# The seeds: the example models, data and command files (examples/), every
# input of the behaviour cases (tests/cases/*/*/, without the runner's
# expected, env and timeout files) and the target's own extra seeds
# (tests/fuzz/seeds/<target>/).  The block target takes each text as one
# framed block ("<length> <text>"), besides the case inputs as they are
# (the block-mode cases' standard input is framed already).  The data
# target, whose input is data text, takes the example data files, the
# inputs of the data cases from their first "data;" line on (the whole
# file when there is none) and its own seeds.  Findings live in
# tests/fuzz/findings/<target>/, a file each.
set -eu
what=$1 target=$2 repo=$3

# Copies file to dir under a name made of its path (a/b/c -> a_b_c).
put() {
  local file=$1 dir=$2 prefix=$3
  local name=${file#"$repo"/}
  cp "$file" "$dir/$prefix${name//\//_}"
}

# The data target's seeds: data text only.
data_seeds() {
  local dir=$1 f name
  for f in "$repo"/examples/*.dat; do
    [ -f "$f" ] && put "$f" "$dir" ""
  done
  for f in "$repo"/tests/cases/data/*/*; do
    [ -f "$f" ] || continue
    case ${f##*/} in expected | expected.* | env | timeout) continue ;; esac
    name=${f#"$repo"/}
    if grep -q '^data;' "$f"; then
      sed '1,/^data;/d' "$f" >"$dir/${name//\//_}"
    else
      put "$f" "$dir" ""
    fi
  done
}

# The other targets' seeds: every example and case input.
general_seeds() {
  local dir=$1 f
  local texts=()
  for f in "$repo"/examples/*; do
    [ -f "$f" ] && texts+=("$f")
  done
  for f in "$repo"/tests/cases/*/*/*; do
    [ -f "$f" ] || continue
    case ${f##*/} in expected | expected.* | env | timeout) continue ;; esac
    texts+=("$f")
  done
  for f in "${texts[@]}"; do
    put "$f" "$dir" ""
    if [ "$target" = block ]; then
      local name=${f#"$repo"/}
      { printf '%d ' "$(wc -c <"$f")"; cat "$f"; } \
        >"$dir/framed_${name//\//_}"
    fi
  done
}

seeds() {
  local dir=$1 f
  mkdir -p "$dir"
  if [ "$target" = data ]; then
    data_seeds "$dir"
  else
    general_seeds "$dir"
  fi
  if [ -d "$repo/tests/fuzz/seeds/$target" ]; then
    for f in "$repo/tests/fuzz/seeds/$target"/*; do
      [ -f "$f" ] && put "$f" "$dir" ""
    done
  fi
  return 0
}

case $what in
  seeds) seeds "$4" ;;
  replay)
    tmp=$(mktemp -d "${TMPDIR:-/tmp}/vexo_seeds.XXXXXX")
    trap 'rm -rf "$tmp"' EXIT
    seeds "$tmp"
    "$4" "$tmp" "$repo/tests/fuzz/findings/$target"
    ;;
  *)
    echo "usage: corpus.sh seeds|replay <target> <repo> <dir|prog>" >&2
    exit 2
    ;;
esac
