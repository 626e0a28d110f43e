// Duals of the rows presolve removed, recovered after a solve from the
// objective's gradient and the kept rows' duals: the removed rows are
// walked from the last removed to the first, each taking the dual that
// makes the stationarity condition of a variable whose bound it set hold
// (that bound being active in the solution), and adding its own gradient
// before the next row is treated.
//
// Gradients of nonlinear parts (of the objective, of kept rows with a
// nonzero dual) are formed by reverse-mode differentiation over their
// expression trees at the solution.  A run abandoned by an error (a
// function that cannot be differentiated there) changes no dual and
// leaves the recovery due.
#include <cerrno>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "compiler/plterm.h"
#include "compiler/tva.h"
#include "eval/elemfunc.h"
#include "eval/funclib.h"
#include "eval/solval.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "instance/ac.h"
#include "instance/names.h"
#include "instance/varref.h"
#include "presolve/internal.h"
#include "presolve/presolve.h"
#include "session/opttable.h"
#include "solver/solread.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "presolve/rounding.h"

namespace vexo {

// What the last presolve left for the recovery: the removed constraint
// rows, last removed first, and per variable and side the row + 1 that
// set the bound (0: none).  The side records are the block presolve
// wrote them in (duals_sidechg), kept here so that no copy is made, and
// kept between runs (class fd_side_k) so that a later run writes memory
// already mapped; fd_side_n variables are recorded.
static std::vector<int32_t> fd_removed;
static int32_t* fd_side;
static int fd_side_k;
static int32_t fd_side_n;
static int64_t fd_nterms;  // linear terms of the removed rows (a hint)

// A linear term of a removed row: 16 bytes, so that the lists stay small.
// A row's terms are chained from its head, by decreasing column (the
// order of presolve's row lists and of a walk over the columns).
struct fd_term {
  uint32_t next;  // the row's next term, or FD_END
  int32_t col;
  double coef;
};
static_assert(sizeof(fd_term) == 16);
constexpr uint32_t FD_END = UINT32_MAX;
// The removed rows' terms as presolve's row lists held them, kept when
// nothing rewrites the column lists after presolve made its row lists
// (no piecewise-linear terms, no variable solved out): fd_heads[k] is
// the first of the k-th removed row's.  The recovery then walks only
// these and the columns whose bounds a removed row set.  Not listed
// (fd_listed false): the recovery gathers them from the columns.
static std::vector<fd_term> fd_list;
static std::vector<uint32_t> fd_heads;
static bool fd_listed;
static int32_t fd_listed_nvars;  // columns when they were listed
static const AC* fd_listed_ac;   // the problem they were listed from
// Piecewise-linear terms taken out with fixed columns.
struct pl_note {
  int32_t col, row;
  double slope;
};
static std::vector<pl_note> fd_pl;

void duals_pl_fixed(int32_t j, int32_t row, double slope) {
  fd_pl.push_back({j, row, slope});
}

// Rows that solved a variable out (solveout.cpp), or through which presolve
// composed a defined variable's terms with the one piecewise-linear term
// of its definition (pllin.cpp): the row, the variable and its
// coefficient there, and the variable's uses as they stood before the
// elimination rewrote them into terms of other columns.  Their duals
// come from the stationarity of that variable.
struct comp_row {
  int32_t row, col;
  double coef;
  size_t use0, use1;  // its uses in fd_uses
};
struct comp_use {
  int32_t row;    // a constraint, or -1 - an objective
  double coef;    // a linear use
  int64_t term;   // a piecewise-linear use: its copy in fd_terms, or -1
};
static std::vector<comp_row> fd_comp;
static std::vector<comp_use> fd_uses;
// Copies of the piecewise-linear uses: the slope count, then slopes and
// breakpoints as in a term.
static std::vector<double> fd_terms;

void duals_pl_clear() {
  fd_pl.clear();
  fd_comp.clear();
  fd_uses.clear();
  fd_terms.clear();
}

// Rows added later number the objectives anew: an objective's use is kept
// as -1 - its number.
static int32_t use_row(const Presolve* P, int32_t i) {
  return i < P->ncons ? i : P->ncons - 1 - i;
}

void duals_defined(const Presolve* P, int32_t r, int32_t j, double a,
                   const std::vector<std::pair<int32_t, double>>& uses) {
  size_t use0 = fd_uses.size();
  for (const auto& [i, e] : uses) fd_uses.push_back({use_row(P, i), e, -1});
  fd_comp.push_back({r, j, a, use0, fd_uses.size()});
}

void duals_composed(const Presolve* P, int32_t r, int32_t j, double a) {
  auto row = [P](int32_t i) { return use_row(P, i); };
  size_t use0 = fd_uses.size();
  for (const varref* t = P->cols[j]; t; t = vnext(t))
    if (t->index != r && t->coef != 0)
      fd_uses.push_back({row(t->index), t->coef, -1});
  for (plterm* t = P->vpl[j]; t; t = t->next) {
    fd_uses.push_back({row(t->index), 0, int64_t(fd_terms.size())});
    int32_t n = t->n_slopes;
    fd_terms.push_back(n);
    fd_terms.insert(fd_terms.end(), t->bs(), t->bs() + 2 * n - 1);
  }
  fd_comp.push_back({r, j, a, use0, fd_uses.size()});
}

// The slope of the term copied at fd_terms[k] at x (plval's choice at a
// breakpoint).
static double copied_slope(int64_t k, double x) {
  int32_t n = int32_t(fd_terms[size_t(k)]);
  std::vector<double> room(sizeof(plterm) / sizeof(double) + size_t(2 * n));
  auto* t = new (room.data()) plterm{};
  t->n_slopes = n;
  const double* d = &fd_terms[size_t(k) + 1];
  std::copy(d, d + 2 * n - 1, t->bs());
  plval(t, x);
  return *pl_slope;
}

// The recovery's buffers, kept between runs (freed by duals_reset): the
// removed rows' terms met in a walk over the columns (met, chained from
// head) and each row's place among the removed rows (place).
static struct {
  std::vector<fd_term> met;
  std::vector<uint32_t> head;
  std::vector<int32_t> place;
} fd_work;
// Its doubles, in one block of the pool kept between runs (class
// fd_buf_k): the gradient by column, the weight of each row's terms in
// it, the recovered duals.  A run writes each before reading it, so that
// nothing is cleared in advance and a reused block's pages are mapped.
static double* fd_buf;
static int fd_buf_k;

static double* fd_buffer(size_t n) {
  int k = htcl(8 * std::max<size_t>(n, 1));
  if (fd_buf && fd_buf_k >= k) return fd_buf;
  if (fd_buf) del_mblk(fd_buf_k, fd_buf);
  fd_buf = static_cast<double*>(new_mblk(k));
  fd_buf_k = k;
  return fd_buf;
}
static bool fd_ran;  // the recovery ran for this problem

// ---- Gradients of nonlinear parts: a tape of reverse-mode differentiation.
//
// eval walks an expression at the current primal values and records, for
// each node that depends on variables, one entry per dependent operand:
// {the operand's adjoint cell, the node's cell, the local partial}.
// daccum sweeps the entries from the newest to the oldest, adding each
// node's adjoint times the partial to its operand's, so that the adjoints
// of the variables (the cells of X) receive the gradient.  Cells are
// numbered: 0.. the nodes', -1 - j variable j's in X.

namespace {

constexpr int32_t NO_CELL = INT32_MIN;

// What a run replaces and puts back.
struct tape_hold_state {
  double* X;
  AC* ac;
  TVA* tva;
  int32_t oc;
};

struct tape_entry {
  int32_t target;  // the operand's cell
  int32_t source;  // the node's cell
  double partial;
};

// The tape and what one run differentiates.
std::vector<double> tape_adj;  // the nodes' adjoints
std::vector<tape_entry> tape;
double* tape_X;         // the gradient, by variable
AC* Dac;                // the collected problem
TVA* fdtva;             // the context defined variables are computed in
int32_t oc;             // the row being differentiated (constraints, then
                        // objectives), named in messages
int plain_depth;        // > 0: values only (conditions), nothing recorded

const char* oc_name() {
  return oc < Dac->n_con ? xwho(&Dac->con_names[oc])
                         : xwho(&Dac->obj_names[oc - Dac->n_con]);
}

double& cell(int32_t c) { return c >= 0 ? tape_adj[size_t(c)] : tape_X[-1 - c]; }

// A node with the operands' cells a, b (either NO_CELL) and their partials:
// its new cell, or NO_CELL when no operand depends on variables.
int32_t binary(int32_t a, double da, int32_t b, double db) {
  if ((a == NO_CELL && b == NO_CELL) || plain_depth) return NO_CELL;
  auto c = static_cast<int32_t>(tape_adj.size());
  tape_adj.push_back(0);
  if (a != NO_CELL) tape.push_back({a, c, da});
  if (b != NO_CELL) tape.push_back({b, c, db});
  return c;
}

int32_t unary(int32_t a, double d) { return binary(a, d, NO_CELL, 0); }

void daccum() {
  for (size_t k = tape.size(); k-- > 0;) {
    const tape_entry& t = tape[k];
    double s = cell(t.source);
    if (s != 0) cell(t.target) = std::fma(s, t.partial, cell(t.target));
  }
  tape.clear();
  tape_adj.clear();
}

// A function that cannot be evaluated or differentiated at its arguments:
// NaN with option allow_NaN, else the error and the command abandoned.
double cant1(const char* name, double x) {
  if (!allow_NaN) {
    error(0, "Error differentiating %s: can't compute %s(%.g).", oc_name(),
          name, x);
    bailout();
  }
  return qNaN;
}

double cant2(const char* name, double x, double y) {
  if (!allow_NaN) {
    error(0, "Error differentiating %s: can't compute %s(%.g,%.g).",
          oc_name(), name, x, y);
    bailout();
  }
  return qNaN;
}

// v, or cant1's answer when v is not a finite number or errno is set.
double checked1(double v, const char* name, double x) {
  if (errno || !std::isfinite(v)) {
    errno = 0;
    return cant1(name, x);
  }
  return v;
}

double checked2(double v, const char* name, double x, double y) {
  if (errno || !std::isfinite(v)) {
    errno = 0;
    return cant2(name, x, y);
  }
  return v;
}

// The divisor 0: the error, or with allow_NaN a NaN quotient.
void zero_divisor() {
  if (!allow_NaN) {
    error(0, "Error differentiating %s: division by 0", oc_name());
    bailout();
  }
}

double eval(expr* e, int32_t* out);
double no_rule(expr* e, int32_t* out);

// The value of e alone: conditions and logical operands.
double value_of(expr* e) {
  int32_t c;
  ++plain_depth;
  double v = eval(e, &c);
  --plain_depth;
  return v;
}

double column(int32_t j) {
  return column_value(Dac, j, fdtva);
}

// A function of one argument: value f, derivative d, names for failures.
double func1(expr* e, int32_t* out) {
  int32_t a;
  double x = eval(e->L.e, &a);
  int op = opcode(e);
  errno = 0;
  double v, d = 0;
  const char* dname = nullptr;
  switch (op) {
    case OP_tanh: v = std::tanh(x); d = 1 / std::cosh(x); d *= d; dname = "tanh'"; break;
    case OP_tan: v = checked1(std::tan(x), "tan", x); d = 1 / std::cos(x); d *= d; dname = "tan'"; break;
    case OP_sqrt: v = checked1(std::sqrt(x), "sqrt", x); d = 0.5 / v; dname = "sqrt'"; break;
    case OP_sinh: v = checked1(std::sinh(x), "sinh", x); d = std::cosh(x); dname = "sinh'"; break;
    case OP_sin: v = checked1(std::sin(x), "sin", x); d = std::cos(x); dname = "sin'"; break;
    case OP_log10: v = checked1(std::log10(x), "log10", x); d = 1 / (x * M_LN10); dname = "log10'"; break;
    case OP_log: v = checked1(std::log(x), "log", x); d = 1 / x; dname = "log'"; break;
    case OP_exp: v = checked1(std::exp(x), "exp", x); d = v; dname = "exp'"; break;
    case OP_cosh: v = checked1(std::cosh(x), "cosh", x); d = std::sinh(x); dname = "cosh'"; break;
    case OP_cos: v = checked1(std::cos(x), "cos", x); d = -std::sin(x); dname = "cos'"; break;
    case OP_atanh: v = checked1(std::atanh(x), "atanh", x); d = 1 / (1 - x * x); dname = "atanh'"; break;
    case OP_atan: v = std::atan(x); d = 1 / (1 + x * x); break;
    case OP_asinh: v = checked1(std::asinh(x), "asinh", x); d = 1 / std::sqrt(1 + x * x); break;
    case OP_asin: v = checked1(std::asin(x), "asin", x); d = 1 / std::sqrt(1 - x * x); dname = "asin'"; break;
    case OP_acosh: v = checked1(std::acosh(x), "acosh", x); d = 1 / std::sqrt(x * x - 1); dname = "acosh'"; break;
    case OP_acos: v = checked1(std::acos(x), "acos", x); d = -1 / std::sqrt(1 - x * x); dname = "acos'"; break;
    case ABS: v = std::fabs(x); d = x < 0 ? -1 : 1; break;
    case FLOOR: *out = NO_CELL; return std::floor(x);
    case CEIL: *out = NO_CELL; return std::ceil(x);
    default:
      return no_rule(e, out);
  }
  if (a == NO_CELL || plain_depth) {
    *out = NO_CELL;
    return v;
  }
  errno = 0;
  if (!std::isfinite(d)) d = cant1(dname ? dname : "derivative", x);
  *out = unary(a, d);
  return v;
}

double binary_op(expr* e, int32_t* out) {
  int op = opcode(e);
  *out = NO_CELL;
  // Logical operators and comparisons: values only.
  switch (op) {
    case OPOR: return value_of(e->L.e) != 0 || value_of(e->R.e) != 0;
    case OPAND: return value_of(e->L.e) != 0 && value_of(e->R.e) != 0;
    case OP_IFF: return (value_of(e->L.e) != 0) == (value_of(e->R.e) != 0);
    case OPIMPLIES: return value_of(e->L.e) == 0 || value_of(e->R.e) != 0;
    case OPIMPLIEDBY: return value_of(e->L.e) != 0 || value_of(e->R.e) == 0;
    case LT: return value_of(e->L.e) < value_of(e->R.e);
    case LE: return value_of(e->L.e) <= value_of(e->R.e);
    case EQ: return value_of(e->L.e) == value_of(e->R.e);
    case GE: return value_of(e->L.e) >= value_of(e->R.e);
    case GT: return value_of(e->L.e) > value_of(e->R.e);
    case NE: return value_of(e->L.e) != value_of(e->R.e);
    default: break;
  }
  int32_t a, b;
  double x = eval(e->L.e, &a), y = eval(e->R.e, &b);
  double v, dx = 0, dy = 0;
  errno = 0;
  switch (op) {
    case OPPLUS: v = x + y; dx = 1; dy = 1; break;
    case OPMINUS: v = x - y; dx = 1; dy = -1; break;
    case OPMULT: v = x * y; dx = y; dy = x; break;
    case OPDIV:
      if (y == 0) {
        zero_divisor();
        *out = binary(a, qNaN, b, qNaN);
        return qNaN;
      }
      v = x / y; dx = 1 / y; dy = -v / y; break;
    case OPintDIV:
      if (y == 0) zero_divisor();
      return y == 0 ? qNaN : std::trunc(x / y);
    case OPLESS:
      v = x > y ? x - y : 0; dx = x > y ? 1 : 0; dy = -dx; break;
    case OPREM:
      v = checked2(std::fmod(x, y), "fmod", x, y);
      dx = 1;
      dy = -std::trunc(x / y);
      break;
    case OPPOW:
      v = checked2(mypow(x, y), "pow", x, y);
      if (plain_depth) break;
      if (a != NO_CELL) {
        dx = y == 0 ? 0 : y * mypow(x, y - 1);
        if (errno || !std::isfinite(dx)) dx = cant2("pow'", x, y);
      }
      if (b != NO_CELL) {
        dy = x > 0 ? v * std::log(x) : x == 0 && y > 0 ? 0 : qNaN;
        if (!std::isfinite(dy)) dy = cant2("pow'", x, y);
      }
      errno = 0;
      break;
    default:
      return no_rule(e, out);
  }
  *out = binary(a, dx, b, dy);
  return v;
}

// max (upper) or min of list (the operands of node e): the first element
// giving the extreme.  In an argument list (args) the elements are OPARG
// entries holding them; an iterated entry has no rule here.
double extreme(expr* e, expr* list, bool upper, bool args, int32_t* out) {
  double best = 0;
  int32_t best_cell = NO_CELL;
  bool first = true;
  for (expr* a = list; a; a = a->next) {
    expr* x = a;
    if (args) {
      if (opcode(a) != OPARG) continue;
      if (a->L.p || !a->R.e) return no_rule(e, out);
      x = a->R.e;
    }
    int32_t c;
    double v = eval(x, &c);
    if (first || (upper ? v > best : v < best)) {
      best = v;
      best_cell = c;
      first = false;
    }
  }
  *out = unary(best_cell, 1);
  return best;
}

// Integer-valued forms (rounding, counting and comparisons of counts) are
// constant near the point: their value, no derivative.  Any other form has
// no rule here; valid models can hold one, so it is an error of the
// command, not an internal fault.
double no_rule(expr* e, int32_t* out) {
  *out = NO_CELL;
  switch (opcode(e)) {
    case OPprecision:
    case OPround:
    case OPtrunc:
    case OPCOUNT:
    case OPNUMBEROF:
    case OPNUMBEROFs:
    case OPATLEAST:
    case OPATMOST:
    case OPEXACTLY:
    case OPNOTATLEAST:
    case OPNOTATMOST:
    case OPNOTEXACTLY:
    case OPALLDIFF:
    case OPALLDIFFs:
    case OPSOMESAME:
    case OPSOMESAMEs:
      return part_value(e, Dac, fdtva);
  }
  error(0, "Error differentiating %s: no derivative rule for opcode %d.",
        oc_name(), opcode(e));
  bailout();
}

double eval(expr* e, int32_t* out) {
  *out = NO_CELL;
  int op = opcode(e);
  switch (shape(e)) {
    case SH_NUMBER:
      return e->L.d;
    case SH_VARVAL: {
      int32_t j = e->L.i;
      if (!plain_depth) *out = -1 - j;
      return column(j);
    }
    case SH_LINPART: {
      double s = 0;
      int32_t c = NO_CELL;
      for (const varref* t = e->L.vr; t; t = vnext(t)) {
        s = std::fma(t->coef, column(t->index), s);
        if (plain_depth) continue;
        if (c == NO_CELL) {
          c = static_cast<int32_t>(tape_adj.size());
          tape_adj.push_back(0);
        }
        tape.push_back({-1 - t->index, c, t->coef});
      }
      *out = c;
      return s;
    }
    case SH_PLTERM: {
      const plterm* t = static_cast<const plterm*>(e->L.p);
      double v = plval(t, column(t->index));
      *out = plain_depth ? NO_CELL : unary(-1 - t->index, *pl_slope);
      return v;
    }
    case SH_UNARY:
      if (op == OPUMINUS) {
        int32_t a;
        double v = -eval(e->L.e, &a);
        *out = unary(a, -1);
        return v;
      }
      if (op == OPNOT) return value_of(e->L.e) == 0;
      break;
    case SH_FUNC1:
      return func1(e, out);
    case SH_BINARY:
      return binary_op(e, out);
    case SH_FUNC2:
      if (op == OP_atan2) {
        int32_t a, b;
        double y = eval(e->L.e, &a), x = eval(e->R.e, &b);
        errno = 0;
        double v = checked2(std::atan2(y, x), "atan2", y, x);
        double r = x * x + y * y;
        if (plain_depth || (a == NO_CELL && b == NO_CELL)) return v;
        if (r == 0) r = cant2("atan2", y, x);
        *out = binary(a, x / r, b, -y / r);
        return v;
      }
      break;
    case SH_LIST:
      if (op == MINLIST || op == MAXLIST)
        return extreme(e, e->L.e, op == MAXLIST, false, out);
      break;
    case SH_ARGLIST:
      if (op == MINLIST2 || op == MAXLIST2)
        return extreme(e, e->L.e, op == MAXLIST2, true, out);
      break;
    case SH_SUMLIST:
      if (op == OPSUMLIST) {
        double s = 0;
        int32_t c = NO_CELL;
        for (expr* a = e->L.e; a; a = a->next) {
          int32_t ca;
          s += eval(a, &ca);
          if (ca == NO_CELL || plain_depth) continue;
          if (c == NO_CELL) {
            c = static_cast<int32_t>(tape_adj.size());
            tape_adj.push_back(0);
          }
          tape.push_back({ca, c, 1});
        }
        *out = c;
        return s;
      }
      if (op == ANDLIST || op == ORLIST) {
        bool any = op == ORLIST;
        for (expr* a = e->L.e; a; a = a->next)
          if ((value_of(a) != 0) == any) return any;
        return !any;
      }
      break;
    case SH_IF:
      return eval(value_of(e->L.e) != 0 ? e->R.e->L.e : e->R.e->R.e, out);
    case SH_TO_NUMBER:
      return eval(e->L.e, out);
    case SH_CALL: {
      const auto* fn = static_cast<const function*>(e->L.x);
      error(0, "Can't differentiate unavailable function %s.",
            fn && fn->name ? fn->name->name : "");
      bailout();
    }
    default:
      return no_rule(e, out);
  }
  return no_rule(e, out);
}

}  // namespace

// Adds lambda times the gradient of the nonlinear parts of e (a chain) to
// X, by the tape; row is the row or objective's (constraints, then
// objectives), for messages.
static void derivadd(double lambda, expr* e, int32_t row) {
  oc = row;
  for (; e; e = e->next) {
    int32_t c;
    eval(e, &c);
    // A part that is a variable alone: its cell is X's, added to.
    if (c >= 0)
      cell(c) = lambda;
    else if (c != NO_CELL)
      cell(c) += lambda;
    daccum();
  }
}

int32_t* duals_sidechg(int k, int32_t nvars) {
  // The record of the run before no longer matches the block.
  fd_removed.clear();
  fd_ran = false;
  fd_nterms = 0;
  fd_listed = false;
  if (fd_side && fd_side_k == k) {
    std::memset(fd_side, 0, 8 * size_t(std::max(nvars, 0)));
  } else {
    if (fd_side) del_mblk(fd_side_k, fd_side);
    fd_side = static_cast<int32_t*>(new_mblk(k, 1));
    fd_side_k = k;
  }
  fd_side_n = std::max(nvars, 0);
  return fd_side;
}

// Lists the removed rows' terms from P's row lists, where they are the
// terms a walk over the columns would find at the recovery.
static void list_terms(const Presolve* P) {
  fd_list.clear();
  fd_heads.clear();
  if (!P->rbeg || P->vpl || !fd_pl.empty() || P->ldef || P->nnldef ||
      fd_nterms >= int64_t(FD_END))
    return;
  fd_list.reserve(size_t(fd_nterms));
  fd_heads.reserve(fd_removed.size());
  for (int32_t r : fd_removed) {
    int64_t b = P->rbeg[r], e = P->rbeg[r + 1];
    // A row that set no bound keeps the dual 0: its terms are not needed.
    bool sets = false;
    for (int64_t x = b; x < e && !sets; ++x) {
      int32_t j = P->rcol[x];
      sets = j < fd_side_n && (fd_side[2 * size_t(j)] == r + 1 ||
                               fd_side[2 * size_t(j) + 1] == r + 1);
    }
    if (!sets) e = b;
    fd_heads.push_back(b < e ? uint32_t(fd_list.size()) : FD_END);
    for (int64_t x = b; x < e; ++x) {
      uint32_t next = x + 1 < e ? uint32_t(fd_list.size() + 1) : FD_END;
      fd_list.push_back({next, P->rcol[x], row_coef(P, x)});
    }
  }
  fd_listed = true;
  fd_listed_nvars = P->nvars;
  fd_listed_ac = P->ac;
}

void duals_record(const Presolve* P) {
  fd_removed.clear();
  fd_ran = false;
  fd_nterms = 0;
  fd_listed = false;
  if (!P->rstat || !P->sidechg) return;
  // Records filled elsewhere (by hand) are copied in.
  if (P->sidechg != fd_side) {
    int32_t* s = P->sidechg;
    int32_t n = P->nvars;
    std::memcpy(duals_sidechg(htcl(8 * size_t(std::max(n, 1))), n), s,
                8 * size_t(std::max(n, 0)));
  }
  fd_side_n = std::max(P->nvars, 0);
  fd_removed.reserve(size_t(std::max(P->nrows - P->nfc, 0)));
  for (int32_t k = P->nfc; k < P->nrows; ++k)
    if (int32_t r = P->rorder[k]; r < P->ncons) {
      fd_removed.push_back(r);
      if (P->rbeg) fd_nterms += P->rbeg[r + 1] - P->rbeg[r];
    }
  // With no row removed there is nothing to recover: the block goes back
  // to the pool, for the writer.
  if (fd_removed.empty() && fd_side) {
    del_mblk(fd_side_k, fd_side);
    fd_side = nullptr;
    fd_side_n = 0;
  }
  if (!fd_removed.empty()) list_terms(P);
}

void duals_reset() {
  tape.clear();
  tape.shrink_to_fit();
  tape_adj.clear();
  tape_adj.shrink_to_fit();
  plain_depth = 0;
  fd_removed.clear();
  fd_removed.shrink_to_fit();
  // The block lay in memory `reset` freed.
  fd_side = nullptr;
  fd_side_n = 0;
  fd_nterms = 0;
  fd_pl.clear();
  fd_pl.shrink_to_fit();
  fd_comp.clear();
  fd_comp.shrink_to_fit();
  fd_uses.clear();
  fd_uses.shrink_to_fit();
  fd_terms.clear();
  fd_terms.shrink_to_fit();
  fd_list = {};
  fd_heads = {};
  fd_listed = false;
  fd_listed_nvars = 0;
  fd_listed_ac = nullptr;
  fd_work.met = {};
  fd_work.head = {};
  fd_work.place = {};
  // The block lay in memory `reset` freed.
  fd_buf = nullptr;
  fd_buf_k = 0;
  fd_ran = false;
}

static bool nonlinear(const expr* e) {
  for (; e; e = e->next)
    if (opcode(e) != OPNUM) return true;
  return false;
}

// The tolerances of at_bound and the distances it tried, as in abs_bt
// and rel_bt: [0] the tolerance, [1] the largest distance accepted, [2]
// the smallest refused (0: none).
struct bound_tols {
  double abs[3], rel[3];
};

// Whether x lies at bound b (lower: below side), within the tolerances of
// t, which keeps the distances tried.
static bool at_bound(double x, double b, double other, bool lower,
                     bound_tols& t) {
  if (lower ? x <= b : x >= b) return true;
  double d = std::fabs(x - b);
  if (std::isfinite(other) && std::fabs(other - x) <= d) return false;
  if (d <= t.abs[0]) {
    if (d > t.abs[1]) t.abs[1] = d;
    return true;
  }
  if (!t.abs[2] || d < t.abs[2]) t.abs[2] = d;
  if (b == 0) return false;
  double r = d / std::fabs(b);
  if (r <= t.rel[0]) {
    if (r > t.rel[1]) t.rel[1] = r;
    return true;
  }
  if (!t.rel[2] || r < t.rel[2]) t.rel[2] = r;
  return false;
}

void fixed_duals(AC* ac) {
  abs_bt[1] = abs_bt[2] = rel_bt[1] = rel_bt[2] = 0;
  // Without a solution there is nothing to recover from yet: the
  // recovery stays due.
  if (!ac || !ac->con_duals) return;
  if (!ac->col_terms || (fd_removed.empty() && fd_comp.empty())) {
    need_fd = 0;
    return;
  }
  int32_t nv = ac->n_var, nc = ac->n_con;
  const double* y = ac->con_duals;
  const double* x = ac->var_init_val;
  auto kept = [&](int32_t r) {
    return !ac->con_pos || ac->con_pos[r] < ac->n_con_sent;
  };
  int32_t obj = ac->obj_no >= 0 && ac->obj_no < ac->n_obj ? ac->obj_no : -1;
  if (!x) {
    need_fd = 0;
    return;
  }
  // X: the gradient of the Lagrangian by column; w: the weight of a row's
  // terms in it, 1 for the objective in use, minus the dual of a kept
  // row, 0 for the rest (the removed rows among them); dual: the removed
  // rows' recovered duals.
  int32_t nrow = nc + std::max(ac->n_obj, 0);
  size_t nrem = fd_removed.size();
  double* X = fd_buffer(size_t(nv) + size_t(nrow) + nrem);
  double* w = X + nv;
  double* dual = w + nrow;
  // 0 - y is -y but for a zero dual, which gives +0: a weight that adds
  // nothing has all bits 0.
  if (const int32_t* pos = ac->con_pos) {
    int32_t nsent = ac->n_con_sent;
    for (int32_t r = 0; r < nc; ++r) w[r] = pos[r] < nsent ? 0.0 - y[r] : 0.0;
  } else {
    for (int32_t r = 0; r < nc; ++r) w[r] = 0.0 - y[r];
  }
  std::fill(w + nc, w + nrow, 0.0);
  if (obj >= 0) w[nc + obj] = 1;
  // The duals written are those of rows not sent (a kept row's the
  // solution file gave, and it was copied then), unless a removed row was
  // sent: then every declaration takes them.
  bool sent_written = false;
  for (int32_t r : fd_removed) {
    sent_written |= kept(r);
    w[r] = 0;
  }
  // The removed rows' terms: the list presolve made, or gathered from the
  // columns.  Either way each row's are chained from head[k] (k: the row's
  // place in fd_removed) by decreasing column.
  const fd_term* terms;
  const uint32_t* head;
  if (fd_listed && fd_listed_ac == ac && fd_comp.empty() &&
      !ac->n_subst_var && nv >= fd_listed_nvars && fd_heads.size() == nrem) {
    terms = fd_list.data();
    head = fd_heads.data();
    // Only the gradient of a column whose bound a removed row set is
    // read: the others' stays 0.  A weight of 1 adds the coefficient, as
    // fma would.
    int32_t nside = std::min(nv, fd_side_n);
    const int32_t* side = fd_side;
    varref* const* cols = ac->col_terms;
    constexpr uint64_t ONE_BITS = 0x3ff0000000000000;  // 1.0
    // The head of a column some way ahead is fetched early: its terms lie
    // where their rows were generated, far apart.
    constexpr int32_t AHEAD = 16;
    for (int32_t j = 0; j < nside; ++j) {
      if (j + AHEAD < nside) prefetch_terms(cols[j + AHEAD], 0);
      double g = 0;
      uint64_t both;  // the column's two side records
      std::memcpy(&both, side + 2 * size_t(j), sizeof both);
      if (both)
        for (const varref* t = cols[j]; t; t = vnext(t)) {
          uint32_t i = uint32_t(t->index);
          if (i >= uint32_t(nrow)) continue;
          uint64_t wb;
          std::memcpy(&wb, w + i, sizeof wb);
          if (!wb) continue;
          g = wb == ONE_BITS ? g + t->coef : std::fma(w[i], t->coef, g);
        }
      X[j] = g;
    }
    std::fill(X + nside, X + nv, 0.0);
  } else {
    std::fill(X, X + nv, 0.0);
    std::vector<fd_term>& met = fd_work.met;
    met.clear();
    met.reserve(size_t(std::max<int64_t>(fd_nterms, 0)) + nrem);
    std::vector<uint32_t>& first = fd_work.head;
    first.assign(nrem, FD_END);
    std::vector<int32_t>& place = fd_work.place;
    place.assign(size_t(nc), -1);
    for (size_t k = 0; k < nrem; ++k) place[size_t(fd_removed[k])] = int32_t(k);
    // Term (j, a) of row r: a removed row's, or weighed into X.
    auto add_term = [&](int32_t j, int32_t r, double a) {
      if (r < nc && place[size_t(r)] >= 0) {
        if (met.size() >= FD_END) {
          error(0, "too many terms in the rows presolve removed to recover "
                   "their duals");
          bailout();
        }
        int32_t k = place[size_t(r)];
        met.push_back({first[size_t(k)], j, a});
        first[size_t(k)] = uint32_t(met.size() - 1);
      } else if (uint32_t(r) < uint32_t(nrow) && w[r] != 0) {
        X[j] = std::fma(w[r], a, X[j]);
      }
    };
    each_column(ac->col_terms, nv, [&](int32_t j) {
      for (const varref* t = ac->col_terms[j]; t; t = vnext(t))
        add_term(j, t->index, t->coef);
    });
    // The piecewise-linear terms presolve took out with their fixed
    // columns count with their slopes there, as linear terms would.
    for (const pl_note& n : fd_pl)
      if (n.col < nv) add_term(n.col, n.row, n.slope);
    terms = met.data();
    head = first.data();
  }
  // The nonlinear parts, by the tape.  Whatever ends the run, the tape
  // goes.
  struct tape_run {
    tape_hold_state saved;
    tva_hold own{nullptr};
    ~tape_run() {
      tape.clear();
      tape_adj.clear();
      plain_depth = 0;
      tape_X = saved.X;
      Dac = saved.ac;
      fdtva = saved.tva;
      oc = saved.oc;
    }
  } run{{tape_X, Dac, fdtva, oc}};
  tape_X = X;
  Dac = ac;
  fdtva = nullptr;
  auto nonlin = [&](expr* e, double lambda, int32_t who) {
    if (!nonlinear(e) || lambda == 0) return;
    if (!fdtva) {
      fdtva = cur_tva && cur_tva->ac == ac ? cur_tva : (run.own.t = new_tva());
      errno = 0;
    }
    derivadd(lambda, e, who);
  };
  if (obj >= 0 && ac->obj_nonlin)
    nonlin(ac->obj_nonlin[obj], 1, nc + obj);
  for (int32_t r = 0; r < nc; ++r)
    if (w[r] != 0) nonlin(ac->con_nonlin[r], w[r], r);
  int sense = obj >= 0 && ac->obj_sense ? ac->obj_sense[obj] : 0;
  const double* lb = ac->var_lb_alt ? ac->var_lb_alt : ac->var_lb;
  const double* ub = ac->var_ub_alt ? ac->var_ub_alt : ac->var_ub;
  // Rows that solved a variable out or through which one was composed
  // away were removed last, the last first: each takes the dual that
  // makes its variable's stationarity hold over the uses that the
  // elimination rewrote (an earlier such row's among them known by then).
  std::vector<double> comp_dual(fd_comp.size(), 0.0);
  for (size_t k = fd_comp.size(); k-- > 0;) {
    const comp_row& c = fd_comp[k];
    if (c.col >= nv || c.row >= nc) continue;  // a stale note
    double g = X[size_t(c.col)];
    for (size_t u = c.use0; u < c.use1; ++u) {
      const comp_use& w = fd_uses[u];
      double e = w.term < 0 ? w.coef : copied_slope(w.term, x[c.col]);
      if (w.row < 0) {
        if (-1 - w.row == obj) g += e;
        continue;
      }
      double yr = kept(w.row) ? y[w.row] : 0;
      for (size_t q = k + 1; q < fd_comp.size(); ++q)
        if (fd_comp[q].row == w.row) yr = comp_dual[q];
      g = std::fma(-yr, e, g);
    }
    comp_dual[k] = g / c.coef;
    X[size_t(c.col)] = 0;
  }
  // A row that solved a variable out has its dual: the kept rows' terms
  // hold its share of the gradient already.
  std::vector<int32_t> comp_at(fd_comp.empty() ? 0 : size_t(nc), -1);
  for (size_t k = 0; k < fd_comp.size(); ++k)
    if (fd_comp[k].row < nc) comp_at[size_t(fd_comp[k].row)] = int32_t(k);
  // The tolerances in locals, so that the loop keeps them in registers.
  bound_tols tol{{abs_bt[0], 0, 0}, {rel_bt[0], 0, 0}};
  const int32_t* side = fd_side;
  const int32_t nside = fd_side_n;
  for (size_t k = 0; k < nrem; ++k) {
    int32_t r = fd_removed[k];
    if (!comp_at.empty() && comp_at[size_t(r)] >= 0) {
      dual[k] = comp_dual[size_t(comp_at[size_t(r)])];
      continue;
    }
    // The candidates: the terms whose column has a bound this row set.
    const int32_t tag = r + 1;
    double pos = 0, neg = 0;
    bool have_pos = false, have_neg = false;
    for (uint32_t e = head[k]; e != FD_END; e = terms[e].next) {
      int32_t j = terms[e].col;
      if (j >= nside) continue;
      const int32_t* sj = side + 2 * size_t(j);
      if (sj[0] != tag && sj[1] != tag) continue;
      double a = terms[e].coef;
      for (int sd = 0; sd < 2; ++sd) {
        if (sj[sd] != tag) continue;
        bool lower = sd == 0;
        double b = lower ? lb[j] : ub[j], o = lower ? ub[j] : lb[j];
        if (!at_bound(x[j], b, o, lower, tol)) continue;
        double c = X[j] / a;
        int s = lower ? sense : 1 - sense;
        bool want_neg = (a > 0) == (s != 0);
        if (want_neg && c < 0 && (!have_neg || c < neg)) {
          neg = c;
          have_neg = true;
        } else if (!want_neg && c > 0 && (!have_pos || c > pos)) {
          pos = c;
          have_pos = true;
        }
      }
    }
    if (have_pos && have_neg) Fprintf(Stderr, "Bug? Case 3 in fixed_duals()\n");
    double d = have_pos ? pos : have_neg ? neg : 0;
    dual[k] = d;
    if (d == 0) continue;
    for (uint32_t e = head[k]; e != FD_END; e = terms[e].next)
      X[terms[e].col] = std::fma(-d, terms[e].coef, X[terms[e].col]);
    if (expr* e = ac->con_nonlin[r]) nonlin(e, -d, r);
  }
  abs_bt[1] = tol.abs[1];
  abs_bt[2] = tol.abs[2];
  rel_bt[1] = tol.rel[1];
  rel_bt[2] = tol.rel[2];
  // All or nothing: the duals go in together, and only the declarations
  // holding the rows written take them.
  for (size_t k = 0; k < nrem; ++k) ac->con_duals[fd_removed[k]] = dual[k];
  for (size_t k = 0; k < fd_comp.size(); ++k)
    if (int32_t r = fd_comp[k].row; r < nc) {
      ac->con_duals[r] = comp_dual[k];
      sent_written |= kept(r);
    }
  need_fd = 0;
  if (sent_written)
    copy_ov(ac, 0);
  else
    copy_unsent_duals(ac);
  fd_ran = true;
  if (show_boundtol) boundstats(ac);
}

void boundstats(AC* ac) {
  if (need_fd) {
    fixed_duals(ac);
    if (show_boundtol) return;
  } else if (!fd_ran || fd_removed.empty()) {
    return;
  }
  const char* tail = "\nwill change deduced dual values.\n\n";
  bool sug = false, lim = false;
  if (abs_bt[2] > 0 && abs_bt[2] <= boundtol_max) {
    Printf("\n\"option abs_boundtol %.g;\"", abs_bt[2]);
    sug = true;
  }
  if (rel_bt[2] > 0 && rel_bt[2] <= boundtol_max) {
    Printf("%s\"option rel_boundtol %.g;\"", sug ? "\nor " : "\n", rel_bt[2]);
    sug = true;
  }
  if (sug) Printf("%s", tail);
  if (abs_bt[1] > 0) {
    Printf("%s\"option abs_boundtol nnn;\" with nnn < %.g", sug ? "" : "\n",
           abs_bt[1]);
    lim = true;
  }
  if (rel_bt[1] > 0) {
    Printf("%s\"option rel_boundtol nnn;\" with nnn < %.g",
           lim ? "\nand " : sug ? "" : "\n", rel_bt[1]);
    lim = true;
  }
  if (lim) Printf("%s", tail);
}

}  // namespace vexo
