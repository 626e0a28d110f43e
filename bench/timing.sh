# Shared by the shell benchmarks (sourced): fields of /usr/bin/time -v's
# report in file $1, wall seconds and peak resident kB.
wall() {
  sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$1" |
    awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }'
}
peak() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$1"; }
