// The reductions: row lists and activity intervals, the variables the
// `fix` command fixed, rows left empty, the pass loop over the row queue
// and the handling of ranges that can never bind.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "eval/dispatch.h"
#include "instance/ac.h"
#include "instance/names.h"
#include "presolve/bounds.h"
#include "presolve/compl.h"
#include "presolve/fixing.h"
#include "presolve/internal.h"
#include "presolve/presolve.h"
#include "presolve/propagate.h"
#include "presolve/psmsg.h"
#include "presolve/rounding.h"
#include "session/opttable.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

static const char* vname(const Presolve* P, int32_t j) {
  return xwho(&P->ac->var_names[j]);
}
static const char* cname(const Presolve* P, int32_t i) {
  return xwho(&P->ac->con_names[i]);
}

// The per-constraint arrays in one block: two of doubles, four of ints,
// and the row queue's two stacks (room for every row in each).
static void row_arrays(Presolve* P) {
  size_t nc = size_t(std::max(P->ncons, 0));
  size_t bytes = nc * (2 * 8 + 4 * 4) + 4 * (2 * nc + 2);
  int k = htcl(bytes);
  auto* b = static_cast<char*>(new_mblk(k, 1));
  scratch_add(P, b, k);
  P->actlb = reinterpret_cast<double*>(b);
  P->actub = P->actlb + nc;
  P->nterms = reinterpret_cast<int32_t*>(P->actub + nc);
  P->ninflb = P->nterms + nc;
  P->ninfub = P->ninflb + nc;
  P->nfree = P->ninfub + nc;
  P->rq = P->nfree + nc;
  P->rqcap = int32_t(2 * nc + 2);
  P->nba = P->rqcap;
  P->nrq = 0;
}

// Rows whose body presolve does not see whole (nonlinear or logical
// rows) hold a variable forever: they are never scanned.  Paired rows are
// not scanned either (their status bit keeps them off the queue), but
// their activity decides their conditions (compl_check_row).
static void opaque_rows(Presolve* P) {
  AC* ac = P->ac;
  for (int32_t i = 0; i < P->ncons; ++i)
    if (ac->con_nonlin[i] || (P->dflag && (P->dflag[i] & 3)))
      P->nterms[i] = 1;
}

// Conditions the declared bounds already decide.
static void compl_rows(Presolve* P) {
  if (!P->cpair) return;
  for (int32_t i = 0; i < P->ncons; ++i)
    if (P->cpair[i] && (P->nfree[i] || P->nterms[i])) compl_check_row(P, i, 1);
}

// The distinct coefficients of the constraints' linear terms, while
// there are at most 256 of them: the row lists then hold a byte per term
// in place of a double (5 bytes a term instead of 12, less fresh memory
// to fill).  Values are told apart by their bits, so 0 and -0 stay apart
// and every coefficient comes back exactly.
namespace {
struct coef_codes {
  static constexpr int N = 256, SLOTS = 1024;  // SLOTS: a power of 2
  uint64_t key[SLOTS];
  int16_t code[SLOTS];  // -1: free slot
  double val[N];
  int n = 0;
  bool over = false;   // more than N values: no codes
  uint64_t last_key = 0;
  int last_code = -1;  // the value met last, looked up first

  coef_codes() { std::fill(code, code + SLOTS, int16_t(-1)); }

  static uint64_t bits(double v) {
    uint64_t b;
    std::memcpy(&b, &v, 8);
    return b;
  }
  // The code of v, given one when new; -1 once there are too many.
  int code_of(double v) {
    uint64_t b = bits(v);
    if (last_code >= 0 && b == last_key) return last_code;
    uint32_t h = uint32_t((b * 0x9E3779B97F4A7C15ull) >> 54);
    for (;; h = (h + 1) & (SLOTS - 1)) {
      if (code[h] < 0) {
        if (n == N) {
          over = true;
          return -1;
        }
        key[h] = b;
        val[n] = v;
        code[h] = int16_t(n++);
        break;
      }
      if (key[h] == b) break;
    }
    last_key = b;
    return last_code = code[h];
  }
  void note(double v) {
    if (!over) code_of(v);
  }
};
}  // namespace

// The row lists, made once the counts are known: the columns are walked
// again and each term stored at the end of its row's stretch, so that a
// row's terms lie together (by decreasing column).  Columns, coefficients
// (or their codes and table) and the stretch starts share one block of
// the scratch.
static void row_lists(Presolve* P, coef_codes& cc) {
  size_t nc = size_t(std::max(P->ncons, 0));
  int64_t nz = 0;
  for (size_t i = 0; i < nc; ++i) nz += P->nfree[i];
  bool coded = !cc.over;
  size_t bytes = 8 * (nc + 1) + (coded ? 5 * size_t(nz) + 8 * coef_codes::N
                                       : 12 * size_t(nz));
  int k = htcl(bytes);
  auto* b = static_cast<char*>(new_mblk(k));
  scratch_add(P, b, k);
  P->rbeg = reinterpret_cast<int64_t*>(b);
  double* d = reinterpret_cast<double*>(P->rbeg + nc + 1);
  if (coded) {
    std::copy(cc.val, cc.val + cc.n, d);
    P->rcval = d;
    P->rcoef = nullptr;
    P->rcol = reinterpret_cast<int32_t*>(d + coef_codes::N);
    P->rcode = reinterpret_cast<uint8_t*>(P->rcol + nz);
  } else {
    P->rcoef = d;
    P->rcval = nullptr;
    P->rcode = nullptr;
    P->rcol = reinterpret_cast<int32_t*>(d + nz);
  }
  // rbeg[i] first holds the end of row i's stretch, and is moved down as
  // the terms arrive, ending at its start.
  int64_t end = 0;
  for (size_t i = 0; i < nc; ++i) P->rbeg[i] = end += P->nfree[i];
  P->rbeg[nc] = end;
  each_column(P->cols, P->nvars, [P, &cc, coded](int32_t j) {
    for (const varref* t = P->cols[j]; t; t = vnext(t)) {
      int32_t i = t->index;
      if (i >= P->ncons) break;
      int64_t at = --P->rbeg[i];
      P->rcol[at] = j;
      if (coded) {
        // Every coefficient was noted by intervals: it has its code.
        int c = cc.code_of(t->coef);
        if (c < 0) bug("row_lists: coefficient %g without a code", t->coef);
        P->rcode[at] = uint8_t(c);
      } else
        P->rcoef[at] = t->coef;
    }
  });
}

void rows_free(Presolve* P) {
  P->rbeg = nullptr;
  P->rcol = nullptr;
  P->rcoef = nullptr;
  P->rcode = nullptr;
  P->rcval = nullptr;
}

// Activity intervals, free-variable counts and row lists from the
// columns; single-slope piecewise-linear terms become linear.
static void intervals(Presolve* P) {
  coef_codes cc;
  each_column(P->cols, P->nvars, [P, &cc](int32_t j) {
    double lb = P->vlb[j], ub = P->vub[j];
    for (varref* t = P->cols[j]; t; t = vnext(t)) {
      int32_t i = t->index;
      if (i >= P->ncons) break;
      vcontrib(P, i, t->coef, lb, ub);
      cc.note(t->coef);
      ++P->nfree[i];
    }
    if (!P->vpl || !P->vpl[j]) return;
    for (plterm* t = P->vpl[j]; t; t = t->next) {
      if (t->index >= P->ncons) {
        pbound(P, t, lb, ub);
        continue;
      }
      ++P->nterms[t->index];
      pcontrib(P, t->index, t, lb, ub);
    }
    pvmerge(P, j);
    // Single-slope terms merged in are linear terms too.
    for (const varref* t = P->cols[j]; t && t->index < P->ncons; t = vnext(t))
      cc.note(t->coef);
  });
  row_lists(P, cc);
}

// The variables the `fix` command fixed, moved into their bounds first
// when option project_fixed_vars asks for it.
static void fix_command_vars(Presolve* P, const int32_t* fixed, int32_t n) {
  const double* x = P->ac->var_init_val;
  for (int32_t k = 0; k < n; ++k) {
    int32_t j = fixed[k];
    double v = x ? x[j] : 0;
    if (project_fixed_vars && (v < P->vlb[j] || v > P->vub[j]))
      v = pf_adj(P, j, v < P->vlb[j] ? P->vlb[j] : P->vub[j]);
    if (plogfile) Fprintf(plogfile, "Fixing %s = %.g\n", vname(P, j), v);
    fixvar(P, j, v, v);
  }
}

// Rows with no variable left: dropped, or reported when a bound is an
// infinity on the wrong side.
static void empty_rows(Presolve* P) {
  for (int32_t i = 0; i < P->ncons; ++i) {
    if ((P->rstat[i] & (RS_GONE | RS_INFEASIBLE)) || P->nfree[i] ||
        P->nterms[i])
      continue;
    if (P->rlb[i] >= Infinity)
      badcon(P, i, 0, "lower bound of +Infinity");
    else if (P->rub[i] <= negInfinity)
      badcon(P, i, 0, "upper bound of -Infinity");
    else
      rowelim(P, i, 1);
  }
}

static void close_bounds(Presolve* P) {
  for (int32_t j = 0; j < P->nvars; ++j) {
    if (P->vstat[j] & VS_FIXED) continue;
    double l = P->vlb[j], u = P->vub[j];
    if (!(l <= u && u - l <= vbt)) continue;
    if (fixvar(P, j, l, u)) continue;
    if (plogfile)
      Fprintf(plogfile, "Close bounds ==> %s = %.g\n", vname(P, j), P->vlb[j]);
  }
}

static void queue_singletons(Presolve* P) {
  for (int32_t i = 0; i < P->ncons; ++i)
    if (!P->rstat[i] && !P->nterms[i] && P->nfree[i] <= 1) {
      P->rq[P->nrq++] = i;
      P->rstat[i] = RS_QUEUED;
    }
}

// The place in the row lists of the free term of a row with at most
// one, or -1.
static int64_t free_term(Presolve* P, int32_t i) {
  for (int64_t k = P->rbeg[i]; k < P->rbeg[i + 1]; ++k)
    if (!(P->vstat[P->rcol[k]] & VS_FIXED)) return k;
  return -1;
}

static void report_empty(Presolve* P, int32_t i, const char* fmt, double b) {
  char why[120];
  Snprintf(why, sizeof why, fmt, b);
  badcon(P, i, 0, why);
  P->rstat[i] |= RS_INFEASIBLE;
}

// A bound of j that a removed row gave goes into the first pair too.
static void keep_in_first(Presolve* P, int32_t j, double l0, double u0) {
  if (P->vstat[j] & VS_FIXED) return;
  if (P->vlb[j] > l0) P->vlb0[j] = P->vlb[j];
  if (P->vub[j] < u0) P->vub0[j] = P->vub[j];
}

// A row with at most one free variable: its bounds become the
// variable's, and the row goes.
static void singleton(Presolve* P, int32_t i) {
  P->rstat[i] = 0;
  int64_t t = free_term(P, i);
  if (t < 0) {
    if (P->rlb[i] > preeps)
      report_empty(P, i, "all variables eliminated, but lower bound = %g > 0",
                   P->rlb[i]);
    else if (P->rub[i] < -preeps)
      report_empty(P, i, "all variables eliminated, but upper bound = %g < 0",
                   P->rub[i]);
    else
      rowelim(P, i, 2);
    return;
  }
  int32_t j = P->rcol[t];
  double a = row_coef(P, t), l, u;
  if (a > 0) {
    l = quotl(P->rlb[i], a);
    u = quotu(P->rub[i], a);
  } else {
    l = quotl(P->rub[i], a);
    u = quotu(P->rlb[i], a);
  }
  double l0 = P->vlb[j], u0 = P->vub[j];
  int done = 0;
  if (l > P->vlb[j]) done = lbud1(P, i, j, 0, l);
  if (!done && !(P->vstat[j] & VS_FIXED) && u < P->vub[j])
    done = ubud1(P, i, j, 0, u);
  if (P->vstat[j] & VS_FIXED) {
    if (plogfile) {
      Fprintf(plogfile, "%s (1 nz left) ==> ", cname(P, i));
      Fprintf(plogfile, "%s = %.g\n", vname(P, j), P->vlb[j]);
    }
  } else {
    keep_in_first(P, j, l0, u0);
  }
  if (!done && !(P->rstat[i] & (RS_GONE | RS_QUEUED | RS_INFEASIBLE)))
    rowelim(P, i, 2);
}

// The limit of the no-gain test of a scan of row i's side (lower: the
// body's smallest value against rub): a term a x_k, all terms being finite
// that side, certainly deduces no tighter bound when its width
// |a| (ub - lb) plus 1e-290 is at most the limit.  The deduced bound is
// tighter only when the width exceeds the row's slack on that side; the
// directed arithmetic rounds the deduction outward, so where the exact
// values show no gain it shows none either.  Both are estimated rounded to
// nearest, with a margin far above their rounding errors: only a clear
// case skips the directed computation.  A NaN (no skip) when the slack is
// a NaN or too large for the estimate.
static double gain_limit(const Presolve* P, int32_t i, bool lower) {
  double slack = lower ? P->rub[i] - P->actlb[i] : P->actub[i] - P->rlb[i];
  return slack < 1e300 ? slack * (1 - 1e-12)
                       : std::numeric_limits<double>::quiet_NaN();
}

// One side of a row scan: lower (the body's smallest value against rub)
// or upper (its largest against rlb).  Returns 1 when the row left.
static int scan_side(Presolve* P, int32_t i, bool lower) {
  int32_t ninf = lower ? P->ninflb[i] : P->ninfub[i];
  double rb = lower ? P->rub[i] : P->rlb[i];
  if (ninf > 1 || !std::isfinite(rb)) return 0;
  // The body's whole range past the row bound: the row cannot hold.
  double act = lower ? P->actlb[i] : P->actub[i];
  if (!ninf && (lower ? act > rb + preeps : act < rb - preeps)) {
    infeasible = 1;
    ps_report(lower ? "presolve: constraint %s cannot hold:\n\tbody >= %g "
                      "cannot be <= %g; difference = %g\n"
                    : "presolve: constraint %s cannot hold:\n\tbody <= %g "
                      "cannot be >= %g; difference = %g\n",
              cname(P, i), act, rb, lower ? act - rb : rb - act);
    P->rstat[i] |= RS_INFEASIBLE;
    return 1;
  }
  int how = lower ? 0 : 2;
  const int32_t* col = P->rcol;
  const uint32_t* vstat = P->vstat;
  const double *vlb = P->vlb, *vub = P->vub;
  int64_t end = P->rbeg[i + 1];
  // The limit moves only with the row's activity and bounds, that is after
  // a deduction.
  double lim = ninf ? 0 : gain_limit(P, i, lower);
  // Once a term deduced a bound, the others probably will too: each then
  // walks its column (bound_moved), whose first terms are fetched ahead,
  // in stages, as each_column does.
  bool deducing = false;
  for (int64_t e = P->rbeg[i]; e < end; ++e) {
    // The bounds a few terms on: a long row's columns lie far apart.
    if (e + 16 < end) {
      int32_t f = col[e + 16];
      __builtin_prefetch(&vub[f]);
      __builtin_prefetch(&vlb[f]);
    }
    if (deducing && e + 24 < end) {
      prefetch_terms(P->cols[col[e + 24]], 0);
      prefetch_terms(P->cols[col[e + 16]], 1);
      prefetch_terms(P->cols[col[e + 8]], 2);
    }
    int32_t k = col[e];
    if (vstat[k] & VS_FIXED) continue;
    double a = row_coef(P, e);
    double lk = vlb[k], uk = vub[k];
    // The bound of k this side of the activity uses.
    double bk = (a > 0) == lower ? lk : uk;
    bool inf = !std::isfinite(bk);
    if (ninf ? !inf : std::fabs(a) * (uk - lk) + 1e-290 <= lim) continue;
    double nb;
    bool upper;
    if (lower) {
      double rest = P->actlb[i];
      if (!inf) msacl(a, bk, &rest);
      double r = diffu(rb, rest);
      upper = a > 0;
      nb = upper ? quotu(r, a) : quotl(r, a);
    } else {
      double rest = P->actub[i];
      if (!inf) msacu(a, bk, &rest);
      double r = diffl(rb, rest);
      upper = a < 0;
      nb = upper ? quotu(r, a) : quotl(r, a);
    }
    if (upper ? !(nb < uk) : !(nb > lk)) continue;
    ++P->nbimp;
    if (plogfile) {
      Fprintf(plogfile, "%s: ", cname(P, i));
      Fprintf(plogfile, "%s %s %.g\n", vname(P, k), upper ? "<=" : ">=", nb);
    }
    int r = upper ? ubud1(P, i, k, how, nb) : lbud1(P, i, k, how, nb);
    if (r || (P->rstat[i] & (RS_GONE | RS_INFEASIBLE))) return 1;
    deducing = true;
    if (!ninf) lim = gain_limit(P, i, lower);
  }
  return 0;
}

static void scan(Presolve* P, int32_t i) {
  uint32_t req = P->rstat[i] & (RS_SCANLB | RS_SCANUB);
  P->rstat[i] = 0;
  ++P->nscan;
  if ((req & RS_SCANLB) && scan_side(P, i, true)) return;
  if (req & RS_SCANUB) scan_side(P, i, false);
}

// Every row that can imply bounds, queued for the first bound-adjustment
// pass; the rows waiting on the upper stack are among them.
static void queue_all(Presolve* P) {
  P->nba = P->rqcap;
  for (int32_t i = 0; i < P->ncons; ++i) {
    if ((P->rstat[i] & ~uint32_t(RS_SCANLB | RS_SCANUB)) || P->nterms[i])
      continue;
    uint32_t bits = 0;
    if (P->ninflb[i] <= 1 && std::isfinite(P->rub[i])) bits |= RS_SCANLB;
    if (P->ninfub[i] <= 1 && std::isfinite(P->rlb[i])) bits |= RS_SCANUB;
    if (!bits) continue;
    P->rq[P->nrq++] = i;
    P->rstat[i] = RS_QUEUED | bits;
  }
}

static void pass_loop(Presolve* P, int level) {
  bound_adjust = 0;
  P->npass = 0;
  bool first = true;
  for (;;) {
    while (P->nrq > 0) {
      int32_t i = P->rq[--P->nrq];
      if (!(P->rstat[i] & RS_QUEUED)) continue;
      if (P->nfree[i] <= 1)
        singleton(P, i);
      else
        scan(P, i);
    }
    if (first) {
      first = false;
      if (level <= 1) break;
      enq_ba_now = !(presolve_debug & 1);
      queue_all(P);
      if (!P->nrq) break;
      bound_adjust = level;
      P->npass = 1;
      continue;
    }
    if (--bound_adjust <= 1 || P->nba == P->rqcap) break;
    ++P->npass;
    for (int32_t k = P->nba; k < P->rqcap; ++k) {
      int32_t i = P->rq[k];
      if (P->rstat[i] & 0x417) continue;
      P->rstat[i] |= RS_QUEUED;
      P->rq[P->nrq++] = i;
    }
    P->nba = P->rqcap;
  }
  if (P->nba != P->rqcap) {
    presolve_sug = level + 1;
    for (int32_t k = P->nba; k < P->rqcap; ++k)
      P->rstat[P->rq[k]] &= ~uint32_t(RS_SCANLB | RS_SCANUB);
    P->nba = P->rqcap;
  }
  bound_adjust = 0;
}

// The extreme of row i's body on one side over the first bound pair
// (which differs from the second after bound-adjustment passes).
static double first_pair_extreme(Presolve* P, int32_t i, bool upper) {
  double s = 0;
  for (int64_t e = P->rbeg[i]; e < P->rbeg[i + 1]; ++e) {
    int32_t k = P->rcol[e];
    if (P->vstat[k] & VS_FIXED) continue;
    double a = row_coef(P, e);
    double b = (a > 0) == upper ? P->vub0[k] : P->vlb0[k];
    if (!std::isfinite(b)) return upper ? Infinity : negInfinity;
    if (upper)
      macu(a, b, &s);
    else
      macl(a, b, &s);
  }
  return s;
}

// One side of row i that can never bind is relaxed: in both pairs when
// the first pair's bounds make it redundant too, else in the second only
// (the first pair is sent with option var_bounds 1, and the bounds that
// make the side redundant are then not sent).
static void relax_side(Presolve* P, int32_t i, bool upper, double d) {
  double f = first_pair_extreme(P, i, upper);
  double rb = upper ? P->rub[i] : P->rlb[i];
  bool first = upper ? f <= rb + preeps : f >= rb - preeps;
  if (first && d < constraint_drop_tol && keepchk(i, P, upper)) first = false;
  ++P->nrelax;
  if (!first) {
    split_row_bounds(P);
    ++P->nrkept;
  }
  double inf = upper ? Infinity : negInfinity;
  (upper ? P->rub2 : P->rlb2)[i] = inf;
  if (first) (upper ? P->rub : P->rlb)[i] = inf;
}

static void deduced_conflict(Presolve* P, int32_t i, double a, double b) {
  char why[160];
  Snprintf(why, sizeof why, "deduced bounds require %g - %g = %g\n\tto be >= 0.",
           a, b, a - b);
  badcon(P, i, 0, why);
  P->rstat[i] |= RS_INFEASIBLE;
}

static void ranges(Presolve* P) {
  for (int32_t i = 0; i < P->ncons; ++i) {
    if ((P->rstat[i] & (RS_GONE | RS_INFEASIBLE)) || P->nterms[i]) continue;
    // A paired row's limits are its condition's: they stay.
    if (P->rstat[i] & RS_COMPL) continue;
    bool hi_fin = !P->ninfub[i], lo_fin = !P->ninflb[i];
    if (hi_fin && P->actub[i] < P->rlb[i] - preeps) {
      deduced_conflict(P, i, P->actub[i], P->rlb[i]);
      continue;
    }
    if (lo_fin && P->actlb[i] > P->rub[i] + preeps) {
      deduced_conflict(P, i, P->rub[i], P->actlb[i]);
      continue;
    }
    if (hi_fin && std::isfinite(P->rub[i])) {
      double d = P->rub[i] - P->actub[i];
      if (d >= -preeps) relax_side(P, i, true, d);
    }
    if (lo_fin && std::isfinite(P->rlb[i])) {
      double d = P->actlb[i] - P->rlb[i];
      if (d >= -preeps) relax_side(P, i, false, d);
    }
    // A row free in both pairs no longer constrains anything.
    if (P->rlb[i] <= negInfinity && P->rub[i] >= Infinity &&
        P->rlb2[i] <= negInfinity && P->rub2[i] >= Infinity)
      rowelim(P, i, 4);
  }
  vb_tol = constraint_drop_tol;
}

void reduce_start(Presolve* P) {
  row_arrays(P);
  opaque_rows(P);
  intervals(P);
}

void reduce(Presolve* P, int level, const int32_t* fixed, int32_t nfixed) {
  // Variables fixed before the intervals existed (crossing integer
  // bounds) are fixed again once they do, so their terms leave the rows.
  std::vector<int32_t> early;
  for (int32_t j = 0; j < P->nvars; ++j)
    if (P->vstat[j] & VS_FIXED) {
      early.push_back(j);
      P->vstat[j] &= ~uint32_t(VS_FIXED);
    }
  P->nfv = P->nvars;
  reduce_start(P);
  for (int32_t j : early) fixvar(P, j, P->vlb[j], P->vub[j]);
  fix_command_vars(P, fixed, nfixed);
  if (level > 0) {
    empty_rows(P);
    compl_rows(P);
    close_bounds(P);
    queue_singletons(P);
    pass_loop(P, level);
    ranges(P);
  }
  // The row lists stay until the run ends: the dual recovery's record
  // reads their lengths.
}

}  // namespace vexo
