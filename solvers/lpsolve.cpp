// The option words, and the calls of the simplex and branch-and-cut
// libraries through their C interfaces.
#include "solvers/lpsolve.h"

#include <Cbc_C_Interface.h>
#include <Clp_C_Interface.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "support/strtod.h"

namespace vexo {

namespace {

// Set by the interrupt handler while a solve runs.
volatile sig_atomic_t got_interrupt;

extern "C" void note_interrupt(int) { got_interrupt = 1; }

// Through its C interface the branch-and-cut library installs no interrupt
// handler of its own and offers no way to stop; its cut callback, called
// at every node, is the one place where it asks.  After an interrupt the
// callback cuts off every node (x0 >= 1 and x0 <= -1), so the search ends
// at once with the best solution found so far; the outcome is then
// reported as interrupted, whatever the library concludes.
extern "C" void cut_after_interrupt(void*, void* cuts, void*) {
  if (!got_interrupt) return;
  int col = 0;
  double one = 1;
  OsiCuts_addRowCut(cuts, 1, &col, &one, 'G', 1.);
  OsiCuts_addRowCut(cuts, 1, &col, &one, 'L', -1.);
}

// Whether text is a whole real number; its value goes to v.
bool real_value(const std::string& text, double& v) {
  char* end;
  v = Strtod(text.c_str(), &end);
  return !text.empty() && *end == 0 && std::isfinite(v);
}

// Whether text is a whole non-negative integer of at most 18 digits.
bool int_value(const std::string& text, int64_t& v) {
  if (text.empty() || text.size() > 18) return false;
  v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = 10 * v + (c - '0');
  }
  return true;
}

// One word name=value; returns an empty string or the reason it is refused.
std::string option_word(const std::string& word, solve_options& o) {
  size_t eq = word.find('=');
  std::string name = word.substr(0, eq);
  static const char* const names[] = {"timelim", "mipgap", "threads",
                                      "outlev", "maxnodes"};
  bool known = false;
  for (const char* n : names) known |= name == n;
  if (!known) return "unknown option \"" + name + "\"";
  if (eq == std::string::npos)
    return "option \"" + name + "\" needs a value (" + name + "=...)";
  std::string value = word.substr(eq + 1);
  double d;
  int64_t i;
  bool ok;
  if (name == "timelim") {
    ok = real_value(value, d) && d >= 0;
    if (ok) o.timelim = d;
  } else if (name == "mipgap") {
    ok = real_value(value, d) && d >= 0;
    if (ok) o.mipgap = d;
  } else if (name == "threads") {
    ok = int_value(value, i) && i <= 1024;
    if (ok) o.threads = static_cast<int>(i);
  } else if (name == "outlev") {
    ok = int_value(value, i) && i <= 1;
    if (ok) o.outlev = static_cast<int>(i);
  } else {
    ok = int_value(value, i);
    if (ok) o.maxnodes = i;
  }
  if (!ok) return "bad value \"" + value + "\" for option " + name;
  return "";
}

// The problem column-wise, as both libraries load it; infinite bounds
// become the libraries' infinity.
struct columns {
  std::vector<int> start, index;
  std::vector<double> value, obj, col_lo, col_hi, row_lo, row_hi;
};

double finite(double v) {
  return v >= INFINITY ? DBL_MAX : v <= -INFINITY ? -DBL_MAX : v;
}

columns column_form(const nl_problem& p) {
  int n = p.h.n_var, m = p.h.n_con;
  columns c;
  c.start.assign(n + 1, 0);
  for (const nl_term& t : p.row_terms) ++c.start[t.index + 1];
  for (int j = 0; j < n; ++j) c.start[j + 1] += c.start[j];
  std::vector<int> next(c.start.begin(), c.start.end() - 1);
  c.index.resize(p.row_terms.size());
  c.value.resize(p.row_terms.size());
  for (int i = 0; i < m; ++i)
    for (size_t k = p.row_start[i]; k < p.row_start[i + 1]; ++k) {
      const nl_term& t = p.row_terms[k];
      int at = next[t.index]++;
      c.index[at] = i;
      c.value[at] = t.coef;
    }
  c.obj.assign(n, 0.);
  if (p.h.n_obj)
    for (const nl_term& t : p.obj_terms[0]) c.obj[t.index] = t.coef;
  for (double v : p.var_lo) c.col_lo.push_back(finite(v));
  for (double v : p.var_hi) c.col_hi.push_back(finite(v));
  for (double v : p.row_lo) c.row_lo.push_back(finite(v));
  for (double v : p.row_hi) c.row_hi.push_back(finite(v));
  return c;
}

// Objective 0 at x, with its constant.
double objective_at(const nl_problem& p, const std::vector<double>& x) {
  double s = p.obj_const[0];
  for (const nl_term& t : p.obj_terms[0]) s += t.coef * x[t.index];
  return s;
}

void set_outcome(solve_outcome& r, int code, const char* what) {
  r.code = code;
  r.what = what;
}

// A search stopped by a limit (code for the case with a feasible
// solution; the case without is 10 more).
void stopped(solve_outcome& r, bool feasible, int code, const char* why) {
  r.code = feasible ? code : code + 10;
  r.what = std::string(why) + (feasible ? ", feasible solution"
                                        : ", no feasible solution");
}

solve_outcome solve_lp(const nl_problem& p, const columns& c,
                       const solve_options& o) {
  solve_outcome r;
  Clp_Simplex* m = Clp_newModel();
  Clp_setLogLevel(m, o.outlev ? 1 : 0);
  Clp_loadProblem(m, p.h.n_var, p.h.n_con, c.start.data(), c.index.data(),
                  c.value.data(), c.col_lo.data(), c.col_hi.data(),
                  c.obj.data(), c.row_lo.data(), c.row_hi.data());
  if (p.h.n_obj && p.obj_sense[0]) Clp_setOptimizationDirection(m, -1);
  if (o.timelim > 0) Clp_setMaximumSeconds(m, o.timelim);
  // No perturbation of the costs: a perturbed solve can leave basic
  // values a few ulps off their bounds (1e-12 for a variable at 0).
  Clp_setPerturbation(m, 100);
  Clp_dual(m, 0);
  int status = Clp_status(m);
  bool feasible = Clp_numberPrimalInfeasibilities(m) == 0;
  switch (status) {
    case 0:
      set_outcome(r, SOLVED, p.h.n_obj ? "optimal solution"
                                       : "feasible solution");
      break;
    case 1: set_outcome(r, INFEASIBLE, "infeasible problem"); break;
    case 2: set_outcome(r, UNBOUNDED, "unbounded problem"); break;
    case 3: stopped(r, feasible, TIME_LIMIT, "time limit"); break;
    case 5: stopped(r, feasible, INTERRUPTED, "interrupted"); break;
    default: set_outcome(r, FAILED, "numerical difficulties"); break;
  }
  if (r.code == SOLVED || r.code == TIME_LIMIT || r.code == INTERRUPTED) {
    const double* x = Clp_getColSolution(m);
    r.x.assign(x, x + p.h.n_var);
    if (r.code == SOLVED) {
      // The library's row prices are d(objective)/d(row bound) in the
      // problem's own sense, maximising or minimising.
      const double* y = Clp_getRowPrice(m);
      r.y.resize(p.h.n_con);
      for (int i = 0; i < p.h.n_con; ++i) r.y[i] = y[i] + 0.;
    }
  }
  char buf[64];
  snprintf(buf, sizeof buf, "%d simplex iterations", Clp_numberIterations(m));
  r.counts = buf;
  Clp_deleteModel(m);
  return r;
}

solve_outcome solve_mip(const nl_problem& p, const columns& c,
                        const solve_options& o) {
  solve_outcome r;
  Cbc_Model* m = Cbc_newModel();
  Cbc_loadProblem(m, p.h.n_var, p.h.n_con, c.start.data(), c.index.data(),
                  c.value.data(), c.col_lo.data(), c.col_hi.data(),
                  c.obj.data(), c.row_lo.data(), c.row_hi.data());
  if (p.h.n_obj && p.obj_sense[0]) Cbc_setObjSense(m, -1);
  int first_int = p.h.n_var - p.h.nbv - p.h.niv;
  for (int j = first_int; j < p.h.n_var; ++j) Cbc_setInteger(m, j);
  Cbc_setLogLevel(m, o.outlev ? 1 : 0);
  if (!o.outlev) Cbc_setParameter(m, "log", "0");
  if (o.timelim > 0) Cbc_setMaximumSeconds(m, o.timelim);
  if (o.mipgap >= 0) Cbc_setAllowableFractionGap(m, o.mipgap);
  if (o.maxnodes >= 0)
    Cbc_setMaximumNodes(m, static_cast<int>(std::min<int64_t>(o.maxnodes,
                                                              INT_MAX)));
  if (o.threads > 0)
    Cbc_setParameter(m, "threads", std::to_string(o.threads).c_str());
  Cbc_addCutCallback(m, cut_after_interrupt, "interrupt", nullptr);
  Cbc_solve(m);
  const double* best = Cbc_bestSolution(m);
  int status = Cbc_status(m), second = Cbc_secondaryStatus(m);
  if (got_interrupt) {
    stopped(r, best, INTERRUPTED, "interrupted");
  } else if (Cbc_isProvenOptimal(m) && best) {
    set_outcome(r, SOLVED, p.h.n_obj ? "optimal solution"
                                     : "feasible solution");
  } else if (Cbc_isProvenInfeasible(m)) {
    set_outcome(r, INFEASIBLE, "infeasible problem");
  } else if (Cbc_isContinuousUnbounded(m) || second == 7) {
    set_outcome(r, UNBOUNDED, "unbounded problem");
  } else if (status == 1 && second == 3) {
    stopped(r, best, NODE_LIMIT, "node limit");
  } else if (status == 1 && second == 4) {
    stopped(r, best, TIME_LIMIT, "time limit");
  } else {
    set_outcome(r, FAILED, status == 2 ? "numerical difficulties"
                                       : "the search stopped unexpectedly");
  }
  if (best && (r.code == SOLVED || r.code == TIME_LIMIT ||
               r.code == NODE_LIMIT || r.code == INTERRUPTED)) {
    r.x.assign(best, best + p.h.n_var);
    // Integer columns come back integral within the library's tolerance;
    // they are sent as the integers they stand for.
    for (int j = first_int; j < p.h.n_var; ++j)
      r.x[j] = std::nearbyint(r.x[j]) + 0.;
  }
  char buf[96];
  snprintf(buf, sizeof buf, "%d branch-and-bound nodes, %d simplex iterations",
           Cbc_getNodeCount(m), Cbc_getIterationCount(m));
  r.counts = buf;
  Cbc_deleteModel(m);
  return r;
}

}  // namespace

std::string parse_options(const char* text, solve_options& o) {
  const char* s = text;
  for (;;) {
    while (*s && strchr(" \t\r\n", *s)) ++s;
    if (!*s) return "";
    const char* e = s;
    while (*e && !strchr(" \t\r\n", *e)) ++e;
    std::string why = option_word(std::string(s, e), o);
    if (!why.empty()) return why;
    s = e;
  }
}

solve_outcome solve_problem(const nl_problem& p, const solve_options& o) {
  solve_outcome r;
  if (p.row_terms.size() > static_cast<size_t>(INT_MAX)) {
    set_outcome(r, FAILED, "too many nonzeros for the libraries");
    return r;
  }
  columns c = column_form(p);
  if (got_interrupt)
    stopped(r, false, INTERRUPTED, "interrupted");
  else if (p.h.nbv + p.h.niv == 0)
    r = solve_lp(p, c, o);
  else
    r = solve_mip(p, c, o);
  bool finite = true;
  for (double v : r.x) finite &= std::isfinite(v);
  for (double v : r.y) finite &= std::isfinite(v);
  if (!finite) {
    set_outcome(r, FAILED, "the libraries returned values that are not finite");
    r.x.clear();
    r.y.clear();
  }
  bool values = r.code == SOLVED || r.code == TIME_LIMIT ||
                r.code == NODE_LIMIT || r.code == INTERRUPTED;
  if (values && p.h.n_obj) {
    r.has_objective = true;
    r.objective = objective_at(p, r.x);
  }
  return r;
}

void catch_interrupts() {
  struct sigaction sa = {};
  sa.sa_handler = note_interrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
}

const char* cbc_version() { return Cbc_getVersion(); }
const char* clp_version() { return Clp_Version(); }

}  // namespace vexo
