// Writer of the text solution file.
#include "solvers/solfile.h"

#include <cerrno>
#include <cstdio>

#include "support/gfmt.h"

namespace vexo {

// Option words the block holds at least (the reader wants 3 to 9).
constexpr int MIN_OPTS = 3, MAX_OPTS = 9;

bool options_echoable(const nl_header& h) {
  return !(h.n_opts >= 2 && h.opts[1] == 3 && h.n_opts + 2 > MAX_OPTS);
}

static void put_number(FILE* f, double v) {
  char b[48];
  g_fmt(b, v, 0);
  fprintf(f, "%s\n", b);
}

bool write_sol(const char* path, const nl_header& h, const std::string& message,
               const std::vector<double>& y, const std::vector<double>& x,
               int objno, int code) {
  FILE* f = fopen(path, "w");
  if (!f) return false;
  // The message ends at its first empty line, so none may stand inside.
  std::string msg;
  for (char c : message)
    if (c != '\n' || (!msg.empty() && msg.back() != '\n')) msg += c;
  if (msg.empty() || msg.back() != '\n') msg += '\n';
  fprintf(f, "%s\nOptions\n", msg.c_str());
  int n = h.n_opts < MIN_OPTS ? MIN_OPTS : h.n_opts;
  bool tol = h.n_opts >= 2 && h.opts[1] == 3;
  fprintf(f, "%d\n", tol ? n + 2 : n);
  for (int i = 0; i < n; ++i) fprintf(f, "%lld\n", static_cast<long long>(h.opts[i]));
  fprintf(f, "%d\n%zu\n%d\n%zu\n", h.n_con, y.size(), h.n_var, x.size());
  if (tol) put_number(f, h.vb_tol);
  for (double v : y) put_number(f, v);
  for (double v : x) put_number(f, v);
  fprintf(f, "objno %d %d\n", objno, code);
  bool ok = !ferror(f);
  int err = errno;
  if (fclose(f) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    remove(path);
    errno = err;
  }
  return ok;
}

}  // namespace vexo
