#!/usr/bin/env bash
# The seed corpus of a fuzz target, and its replay.
#
#   corpus.sh seeds <target> <repo> <dir> [<max>]
#       fills dir with the seeds; a seed longer than max bytes is cut at
#       line ends into pieces of at most max bytes (a longer line alone is
#       cut where it must), so that the fuzzer, which reads no more than
#       its length limit of an input, gets all of it
#   corpus.sh replay <target> <repo> <prog>
#       runs prog (replay_<target>) over the seeds and every past finding
#       of the target
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
# tests/fuzz/findings/<target>/, a file each.  Inputs that take more than
# 2 s under the sanitizers are left out of both (the suite's time): the
# seeds listed in tests/fuzz/slow/seeds (paths from the repository root;
# their cases run them all the same) and the slow findings, kept in
# tests/fuzz/slow/<target>/ (replay_<target> runs them by hand).
set -eu
what=$1 target=$2 repo=$3
max=${5:-0}

# Whether file is a slow seed.
slow() {
  local name=${1#"$repo"/}
  [ -f "$repo/tests/fuzz/slow/seeds" ] &&
    grep -qxF "$name" "$repo/tests/fuzz/slow/seeds"
}

# The seed name of a file: its path from the repository root with the
# slashes made underscores (a/b/c -> a_b_c).
seed_name() {
  local name=${1#"$repo"/}
  echo "${name//\//_}"
}

# Writes standard input to dir/name, in pieces of at most max bytes
# (name.000, name.001, ...) when it is longer; framed (third argument
# given), each piece becomes one block ("<length> <text>") of the block
# target instead, named framed_<piece>.
put() {
  local dir=$1 name=$2 framed=${3:-} tmp
  tmp=$(mktemp "$dir/.piece.XXXXXX")
  cat >"$tmp"
  if [ "$max" -gt 0 ] && [ "$(wc -c <"$tmp")" -gt "$max" ]; then
    # Room for the frame's length and blank.
    split -C $((framed ? max - 24 : max)) -d -a 3 "$tmp" "$dir/$name."
    rm -f "$tmp"
  else
    mv "$tmp" "$dir/$name"
  fi
  if [ -n "$framed" ]; then
    local f
    for f in "$dir/$name" "$dir/$name".[0-9][0-9][0-9]; do
      [ -f "$f" ] || continue
      { printf '%d ' "$(wc -c <"$f")"; cat "$f"; } >"$tmp"
      mv "$tmp" "${f%/*}/framed_${f##*/}"
      rm -f "$f"
    done
  fi
}

# The data target's seeds: data text only.
data_seeds() {
  local dir=$1 f
  for f in "$repo"/examples/*.dat; do
    [ -f "$f" ] && ! slow "$f" && put "$dir" "$(seed_name "$f")" <"$f"
  done
  for f in "$repo"/tests/cases/data/*/*; do
    [ -f "$f" ] || continue
    case ${f##*/} in expected | expected.* | env | timeout) continue ;; esac
    slow "$f" && continue
    if grep -q '^data;' "$f"; then
      sed '1,/^data;/d' "$f" | put "$dir" "$(seed_name "$f")"
    else
      put "$dir" "$(seed_name "$f")" <"$f"
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
    slow "$f" && continue
    [ "$target" = block ] && put "$dir" "$(seed_name "$f")" 1 <"$f"
    put "$dir" "$(seed_name "$f")" <"$f"
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
      [ -f "$f" ] && put "$dir" "$(seed_name "$f")" <"$f"
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
    echo "usage: corpus.sh seeds|replay <target> <repo> <dir|prog> [<max>]" >&2
    exit 2
    ;;
esac
