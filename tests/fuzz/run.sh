#!/usr/bin/env bash
# One fuzz target's run under make fuzz, and the sorting of what it found.
#
#   run.sh <target> <repo> <seconds> <libFuzzer flags...>
#
# Run in the fuzzing build's directory (build/fuzz), which holds the target
# (tests/fuzz/fuzz_<target>) and the dictionary (vexo.dict).  The engine
# runs in fork mode: the inputs run in child processes, and a child that
# crashes, times out or runs out of memory is followed by the next, so one
# fault does not end the run.  Its corpus grows in corpus/<target>, its
# log is logs/<target>.log, and what the children find lands in
# artifacts/<target>/ (crash-*, leak-*, timeout-*, oom-*).
#
# Then each new artifact is run again alone (the target given the file)
# and sorted by its signature: the kind of failure and the innermost
# three frames of the program's own code in its report.  The first input
# of a signature, or a shorter one later, is kept:
#   tests/fuzz/findings/<target>/   replayed by make test
#   tests/fuzz/slow/<target>/       timeouts and inputs whose run took more
#                                   than SLOW seconds (not replayed)
# An artifact that no longer fails alone is dropped, like one whose
# signature is kept already.  triage/<target>.tsv records the signature
# of each kept input; logs/<target>.found lists this run's, which the run
# prints; it exits 1 when it kept anything new.
set -u
target=$1 repo=$2 seconds=$3
shift 3
prog=tests/fuzz/fuzz_$target
slow=${SLOW:-2}
timeout=${FUZZ_TIMEOUT:-10}
findings=$repo/tests/fuzz/findings/$target
slowdir=$repo/tests/fuzz/slow/$target
# Absolute: an input runs in a scratch directory of its own.
artifacts=$PWD/artifacts/$target
index=triage/$target.tsv
found=logs/$target.found
mkdir -p "corpus/$target" "$artifacts" triage logs
: >"$found"
touch "$index"

rm -rf "seeds/$target"
"$repo/tests/fuzz/corpus.py" seeds "$target" "$repo" "seeds/$target" \
  "${FUZZ_MAX_LEN:-65536}" || exit 2

echo "fuzzing $target for $seconds s (build/fuzz/logs/$target.log)"
"$prog" "corpus/$target" "seeds/$target" -dict=vexo.dict \
  -max_total_time="$seconds" -timeout="$timeout" \
  -max_len="${FUZZ_MAX_LEN:-65536}" \
  -fork="${FUZZ_FORK:-1}" -ignore_crashes=1 -ignore_timeouts=1 \
  -ignore_ooms=1 -artifact_prefix="$artifacts/" "$@" \
  >"logs/$target.log" 2>&1
echo "$target: $(grep -E '^#[0-9]+.*(DONE|cov:)' "logs/$target.log" | tail -1)"

# The signature of a report on standard input: the kind of failure, then
# the innermost three frames in the program's own code (the sanitizers'
# and the engine's frames, the C library's and the standard library's
# left out), innermost first.
signature() {
  awk '
    !kind && /ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer):/ {
      kind = $0
      sub(/.*ERROR: /, "", kind)
      sub(/ on (unknown )?address.*/, "", kind)
      sub(/ after [0-9]+ seconds.*/, "", kind)
      sub(/ \(.*/, "", kind)
    }
    !kind && /runtime error:/ {
      kind = $0
      sub(/.*runtime error: /, "runtime error: ", kind)
      gsub(/[0-9]+/, "N", kind)
    }
    !kind && /^Bug: / { kind = "Bug" }
    kind && n < 3 && /^ *#[0-9]+ 0x[0-9a-f]+ in / {
      f = $0
      sub(/^ *#[0-9]+ 0x[0-9a-f]+ in /, "", f)
      sub(/ [^ ]*$/, "", f)
      if (f ~ /^(__asan|__sanitizer|__interceptor|__ubsan|__lsan|fuzzer::|__libc|std::|operator new|operator delete|abort|raise|malloc|free|calloc|realloc|LLVMFuzzerTestOneInput)/)
        next
      if ($0 ~ /(libsanitizer|compiler-rt|libstdc\+\+|libc\.so|tests\/fuzz\/harness)/)
        next
      frames = frames (n ? " < " : "") f
      n++
    }
    END { print (kind ? kind : "no failure") " | " frames }'
}

# Runs an artifact alone; prints the processor time it took (whole
# seconds, rounded up: unlike the time on the clock, it does not grow with
# the machine's load), a tab and its signature.
examine() {
  local report cpu TIMEFORMAT='%3U %3S'
  report=$(mktemp)
  cpu=$({ time UBSAN_OPTIONS=print_stacktrace=1 "$prog" \
    -timeout="$timeout" -rss_limit_mb=4096 "$1" >"$report" 2>&1; } 2>&1)
  printf '%s\t%s\n' "$(echo "$cpu" | awk '{ printf "%d", $1 + $2 + 0.999 }')" \
    "$(signature <"$report")"
  rm -f "$report"
}

for a in "$artifacts"/*; do
  [ -f "$a" ] || continue
  line=$(examine "$a")
  took=${line%%$'\t'*} sig=${line#*$'\t'}
  case $sig in
    "no failure |"*)
      rm -f "$a"
      continue
      ;;
  esac
  name=${a##*/}
  if [ "$took" -gt "$slow" ] || [[ $name == timeout-* ]]; then
    dest=$slowdir
  else
    dest=$findings
  fi
  kept=$(awk -F'\t' -v s="$sig" '$1 == s { print $2; exit }' "$index")
  if [ -n "$kept" ] && [ -f "$repo/$kept" ]; then
    # The same fault: the shorter input stays.
    if [ "$(wc -c <"$a")" -lt "$(wc -c <"$repo/$kept")" ]; then
      mkdir -p "$dest"
      rm -f "$repo/$kept"
      mv "$a" "$dest/$name"
      kept=${dest#"$repo"/}/$name
      for list in "$index" "$found"; do
        awk -F'\t' -v s="$sig" -v k="$kept" 'BEGIN { OFS = "\t" }
          $1 == s { $2 = k; seen = 1 } { print }
          END { if (!seen) print s, k }' "$list" >"$list.new" &&
          mv "$list.new" "$list"
      done
    else
      rm -f "$a"
    fi
    continue
  fi
  mkdir -p "$dest"
  mv "$a" "$dest/$name"
  printf '%s\t%s\n' "$sig" "${dest#"$repo"/}/$name" | tee -a "$index" \
    >>"$found"
done

if [ -s "$found" ]; then
  echo "$target found (signature, input):"
  sed 's/^/  /' "$found"
  exit 1
fi
exit 0
