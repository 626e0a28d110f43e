// Display of a sparse param: `param d {I, I};` with ten values and I of
// 1,000 to 8,000 members, displayed as a table.  The cost must follow the
// values held, not the million to 64 million members of the indexing.
// Each run is a session of its own (a child process; the fastest of three
// counts); a session that only declares and stores the values is taken off.
#include <algorithm>
#include <cstdio>
#include <string>

#include "bench/session_run.h"

namespace {

constexpr int REPEATS = 3;

bool write_run(const std::string& path, long n, bool show) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return false;
  std::fprintf(f, "set I := 1..%ld; param d {I, I};\n", n);
  for (long k = 1; k <= 10; ++k)
    std::fprintf(f, "let d[%ld, %ld] := %ld;\n", k, n + 1 - k, k);
  if (show) std::fprintf(f, "display d > /dev/null;\n");
  return std::fclose(f) == 0;
}

// The fastest of REPEATS sessions on path, or -1.
double fastest(const std::string& path) {
  double best = 1e30;
  for (int r = 0; r < REPEATS; ++r) {
    double s = bench::session_seconds(path);
    if (s < 0) return -1;
    best = std::min(best, s);
  }
  return best;
}

}  // namespace

int main() {
  char dir[] = "/tmp/vexo_display_bench_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  std::string path = std::string(dir) + "/d.run";
  std::printf("display of param d {I, I} holding 10 values\n");
  int code = 0;
  for (long n : {1000L, 2000L, 4000L, 8000L}) {
    double t[2];
    for (int k = 0; k < 2; ++k)
      t[k] = write_run(path, n, k == 1) ? fastest(path) : -1;
    if (t[0] < 0 || t[1] < 0) {
      std::printf("  |I| = %5ld: a session failed\n", n);
      code = 1;
      continue;
    }
    std::printf("  |I| = %5ld (%9ld members): display %.2f ms\n", n, n * n,
                (t[1] - t[0]) * 1e3);
  }
  std::remove(path.c_str());
  rmdir(dir);
  return code;
}
