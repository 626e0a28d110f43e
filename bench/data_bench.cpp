// Reading data: a file of 10 million parameter values, half of them in a
// 2-D table (2,000 rows of 2,500 columns) and half in a long list of
// subscript-value pairs, is read through the whole program (start-up, the
// parser's `data;`, the data reader, the value storage).  Prints seconds
// and MB/s, beside the time to merely read the file's bytes.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "session/startup.h"

namespace {

using clock_type = std::chrono::steady_clock;

constexpr int ROWS = 2000, COLS = 2500;
constexpr long LIST = 5000000;

double seconds_since(clock_type::time_point t0) {
  return std::chrono::duration<double>(clock_type::now() - t0).count();
}

// Writes the model and data; returns the file's size in bytes.
long write_file(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return -1;
  std::fprintf(f, "set R; set C; set L; param t {R,C}; param q {L};\ndata;\n");
  std::fprintf(f, "param t:");
  for (int c = 0; c < COLS; ++c) std::fprintf(f, " c%d", c);
  std::fprintf(f, " :=\n");
  unsigned v = 12345;
  for (int r = 0; r < ROWS; ++r) {
    std::fprintf(f, "r%d", r);
    for (int c = 0; c < COLS; ++c) {
      v = v * 1103515245u + 12345u;
      std::fprintf(f, " %u.%02u", (v >> 16) % 1000, (v >> 8) % 100);
    }
    std::fprintf(f, "\n");
  }
  std::fprintf(f, ";\nparam q :=\n");
  for (long i = 0; i < LIST; ++i) {
    v = v * 1103515245u + 12345u;
    std::fprintf(f, "%ld %u.%03u\n", i, (v >> 16) % 10000, (v >> 4) % 1000);
  }
  std::fprintf(f, ";\n");
  long size = std::ftell(f);
  std::fclose(f);
  return size;
}

// Reads the file's bytes in 64 KB pieces; returns a checksum so the reads
// are not optimised away.
unsigned long read_bytes(const std::string& path) {
  static char buf[65536];
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return 0;
  unsigned long sum = 0;
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) sum += buf[n - 1];
  close(fd);
  return sum;
}

}  // namespace

int main() {
  char dir[] = "/tmp/vexo_data_bench_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  std::string path = std::string(dir) + "/values.run";
  long size = write_file(path);
  if (size <= 0) return 1;
  double mb = static_cast<double>(size) / 1e6;

  auto t0 = clock_type::now();
  unsigned long sum = read_bytes(path);
  double raw = seconds_since(t0);

  std::string arg0 = "vexo";
  char* argv[] = {arg0.data(), path.data(), nullptr};
  t0 = clock_type::now();
  int code = vexo::session_main(2, argv);
  double data = seconds_since(t0);

  std::printf(
      "data file: %.1f MB, %ld values (%d x %d table, %ld-pair list)\n"
      "  read bytes only: %.3f s, %.0f MB/s (checksum %lu)\n"
      "  data reader:     %.3f s, %.1f MB/s, %.0f ns per value (exit %d)\n",
      mb, static_cast<long>(ROWS) * COLS + LIST, ROWS, COLS, LIST, raw,
      mb / raw, sum, data, mb / data,
      data * 1e9 / (static_cast<double>(ROWS) * COLS + LIST), code);
  std::remove(path.c_str());
  rmdir(dir);
  return code;
}
