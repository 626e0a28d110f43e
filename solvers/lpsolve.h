// Solving a linear problem read from an nl file: linear programs with the
// simplex library (values and duals), problems with integer columns with
// the branch-and-cut library (values only); the options that steer them.
#ifndef VEXO_SOLVERS_LPSOLVE_H
#define VEXO_SOLVERS_LPSOLVE_H

#include <cstdint>
#include <string>
#include <vector>

#include "solvers/nlread.h"

namespace vexo {

// Result codes, within the ranges of the translator's solve_result_table.
enum solve_code : int {
  SOLVED = 0,
  INFEASIBLE = 200,
  UNBOUNDED = 300,
  TIME_LIMIT = 400,           // stopped with a feasible solution
  NODE_LIMIT = 401,
  INTERRUPTED = 402,
  TIME_LIMIT_NO_SOL = 410,    // stopped without one
  NODE_LIMIT_NO_SOL = 411,
  INTERRUPTED_NO_SOL = 412,
  REFUSED = 500,              // a problem or an option it cannot take
  FAILED = 501                // the libraries gave up
};

// The options: words name=value of the environment variable named by the
// solver's name and "_options".
struct solve_options {
  double timelim = 0;    // seconds; 0: none
  double mipgap = -1;    // relative gap; < 0: the library's default
  int threads = 0;       // 0: the library's default
  int outlev = 0;        // 0: the libraries say nothing; 1: their log
  int64_t maxnodes = -1; // branch-and-bound nodes; < 0: no limit
};

// Reads the option words of text into o; returns an empty string, or the
// reason the words cannot be taken (an unknown name, a bad value).
std::string parse_options(const char* text, solve_options& o);

// What a solve found.
struct solve_outcome {
  int code = FAILED;
  std::string what;     // the outcome in words ("optimal solution")
  std::string counts;   // iterations and nodes, for outlev 1
  bool has_objective = false;
  double objective = 0; // of objective 0, with its constant
  std::vector<double> x;  // primal values, or empty
  std::vector<double> y;  // dual values, or empty
};

// From here on an interrupt (SIGINT) is noted instead of ending the
// process; the next solve stops at once or reports it as its outcome.
void catch_interrupts();

// Solves p (read without a refusal) under o.  An interrupt stops the
// branch-and-bound search where the library allows (the simplex library
// has no such point: a linear program runs to its end); the outcome then
// says so.
solve_outcome solve_problem(const nl_problem& p, const solve_options& o);

// Versions of the two libraries.
const char* cbc_version();
const char* clp_version();

}  // namespace vexo

#endif  // VEXO_SOLVERS_LPSOLVE_H
