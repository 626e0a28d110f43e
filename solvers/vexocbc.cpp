// vexocbc, the default solver: reads the problem file stub.nl that the
// translator wrote, solves it when it is linear, and writes stub.sol.
//
//   vexocbc stub [-VEXO]    solve
//   vexocbc -v              the versions of vexocbc and its libraries
//
// A problem file that cannot be read is reported on the standard error
// with its place, and the exit code is 1 with no solution file; every
// outcome of a solve, refusals included, is a solution file and exit 0.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "solvers/lpsolve.h"
#include "solvers/nlread.h"
#include "solvers/solfile.h"

namespace vexo {
namespace {

constexpr char VERSION[] = "1.0";

int usage() {
  fprintf(stderr, "usage: vexocbc stub [-VEXO]\n       vexocbc -v\n");
  return 1;
}

// The solver's name as the translator knows it: the program's base name.
std::string solver_name(const char* argv0) {
  const char* s = strrchr(argv0, '/');
  return s ? s + 1 : argv0;
}

int run(const char* argv0, const std::string& stub) {
  catch_interrupts();
  std::string nl = stub + ".nl", sol = stub + ".sol";
  nl_problem p;
  try {
    p = read_nl(nl.c_str());
  } catch (nl_error& e) {
    fprintf(stderr, "vexocbc: %s\n", e.what());
    return 1;
  }
  if (!options_echoable(p.h)) {
    fprintf(stderr,
            "vexocbc: %s: cannot echo %d option words with a var_bounds "
            "tolerance (a solution file holds at most 7)\n",
            nl.c_str(), p.h.n_opts);
    return 1;
  }
  solve_options o;
  std::string why = p.refusal;
  std::string env = solver_name(argv0) + "_options";
  if (why.empty())
    if (const char* text = getenv(env.c_str())) why = parse_options(text, o);
  solve_outcome r;
  if (why.empty()) {
    r = solve_problem(p, o);
  } else {
    r.code = REFUSED;
    r.what = why;
  }
  std::string msg = std::string("vexocbc ") + VERSION + ": " + r.what;
  if (r.has_objective) {
    char b[48];
    snprintf(b, sizeof b, "; objective %.15g", r.objective);
    msg += b;
  }
  if (o.outlev && !r.counts.empty()) msg += "\n" + r.counts;
  if (!write_sol(sol.c_str(), p.h, msg, r.y, r.x, p.h.n_obj ? 0 : -1,
                 r.code)) {
    fprintf(stderr, "vexocbc: can't write %s: %s\n", sol.c_str(),
            strerror(errno));
    return 1;
  }
  return 0;
}

int versions() {
  printf("vexocbc %s\nCBC %s\nCLP %s\n", VERSION, cbc_version(),
         clp_version());
  return 0;
}

}  // namespace
}  // namespace vexo

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "-v") == 0) return vexo::versions();
  if (argc < 2 || argc > 3 || argv[1][0] == '-' || argv[1][0] == 0 ||
      (argc == 3 && strcmp(argv[2], "-VEXO") != 0))
    return vexo::usage();
  return vexo::run(argv[0], argv[1]);
}
