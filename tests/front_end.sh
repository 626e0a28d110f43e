#!/usr/bin/env bash
# What a shell (or a front end) sees of the solver's run that the case
# runner cannot show, because it needs the process id or a second program:
#  - a symbolic link planted at the temporary problem file name
#    (at<pid>.nl, the pid known by exec) is not followed: the solve goes on
#    and the link's target is untouched;
#  - "-b0s" and "-bs": the solve is handed to the front end by the
#    "solve_args" line, which here runs the solver itself and replies
#    "exit <code> <system> <user>" on standard input; a reply of another
#    form is reported.
# Each run's output, the folder's name replaced by DIR, must equal the
# file of the same name in <expected folder>.
#
#   front_end.sh <vexo> <expected folder>
set -u
vexo=$(realpath "$1")
want=$(realpath "$2")
solver=$(dirname "$vexo")/vexocbc
work=$(mktemp -d "${TMPDIR:-/tmp}/vexo_fe.XXXXXX") || exit 1
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
cd "$work" || exit 1
fail=0
check() {
  sed "s|$work|DIR|g" "$1" >"$1.got"
  if ! cmp -s "$want/$1" "$1.got"; then
    echo "FAIL $1:"
    diff -u "$want/$1" "$1.got" | head -40
    fail=1
  fi
}

cat >model.run <<'END'
var x >= 0 <= 2;
var y >= 0 <= 3;
maximize o: x + y;
s.t. c: x + 2*y <= 4;
END

# The link at the temporary name.
echo kept >target
cat >link.run <<END
include model.run;
option solver '$solver', TMPDIR '$work';
solve;
display x, y, solve_result;
END
sh -c 'ln -s "$1/target" "$1/at$$.nl"; exec "$2" link.run' sh "$work" \
  "$vexo" >link 2>&1
echo "exit $?" >>link
echo "target: $(cat target)" >>link
echo "files at*: $(ls | grep -c '^at')" >>link
check link

# The front end's dialogue.  It runs the solver as the solve_args line
# says (its last three words), then replies.
frontend() {  # <options> <reply> <name>
  rm -f in fe_*
  mkfifo in
  "$vexo" "$1" fe.run <in >"$3" 2>&1 &
  local pid=$!
  exec 3>in
  local i
  for i in $(seq 600); do
    grep -q solve_args "$3" && break
    sleep 0.05
  done
  "$solver" fe_1 -VEXO >/dev/null
  printf '%s' "$2" >&3
  exec 3>&-
  wait $pid
  echo "exit $?" >>"$3"
  check "$3"
}
cat >fe.run <<END
include model.run;
option solver vexocbc, debug_stub fe;
solve;
display x, y, solve_result, solve_exitcode, _solve_system_time,
  _solve_user_time;
END
frontend -b0s 'exit 0 0.5 0.25' plain
frontend -b0s 'done' bad_reply
# Block mode: the reply is framed by its length.
frontend -bs '6 exit 5' block
exit $fail
