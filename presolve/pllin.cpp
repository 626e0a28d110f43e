// Piecewise-linear terms: linearisation and hand-over to the solver.
#include "presolve/pllin.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "compiler/plterm.h"
#include "eval/optab.h"
#include "frontend/expr.h"
#include "instance/ac.h"
#include "instance/varref.h"
#include "presolve/internal.h"
#include "presolve/linadd.h"
#include "presolve/presolve.h"
#include "presolve/solveout.h"
#include "session/optcmd.h"
#include "session/opttable.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

namespace {

double slope(const plterm* t, int k) {
  return const_cast<plterm*>(t)->bs()[2 * k];
}
double breakpoint(const plterm* t, int k) {
  return const_cast<plterm*>(t)->bs()[2 * k + 1];
}

// The name of the row holding a term (constraint or objective).
const xname* row_name(const Presolve* P, int32_t i) {
  const AC* ac = P->ac;
  return i < P->ncons ? &ac->con_names[i] : &ac->obj_names[i - P->ncons];
}

// Whether term t needs binary columns: only a convex term whose growth
// alone is bounded (or a concave one whose decrease alone is) does not.
bool needs_binaries(const Presolve* P, const plterm* t) {
  int32_t i = t->index;
  bool cvx = pl_convex(t), ccv = pl_concave(t);
  if (i >= P->ncons) {
    bool max = P->ac->obj_sense && P->ac->obj_sense[i - P->ncons];
    return !(max ? ccv : cvx);
  }
  bool lo = P->rlb[i] > negInfinity, hi = P->rub[i] < Infinity;
  if (!lo && !hi) return false;
  if (cvx && !lo) return false;
  if (ccv && !hi) return false;
  return true;
}

// Adds a to row i's term of column j (made when missing, kept in row
// order); a single-slope term is linear.
void add_linear(Presolve* P, int32_t j, int32_t i, double a) {
  list_slot<varref> p = head_slot(&P->cols[j]);
  while (p.get() && p.get()->index < i) p = link_of(p.get());
  if (p.get() && p.get()->index == i) {
    p.get()->coef += a;
    return;
  }
  p.set(new_varref_kept(p.get(), i, a));
}

// Per-term lists, kept across the terms of one call.
struct term_scratch {
  std::vector<int32_t> lam;  // the point columns
  std::vector<double> cap;   // each point column's upper bound
};

// One term of variable j replaced by rows and columns in a's room; k
// numbers the names.
struct term_lin {
  Presolve* P;
  lin_add& a;
  term_scratch& s;
  int32_t j;
  const plterm* t;
  int k;
  bool open, bin;
  double lo, hi;  // x's bounds for the linearisation

  template <size_t N>
  const char* name(const char (&tag)[N]) const {
    return dname_tag(tag);
  }

  // Big-M bounds for x, where infinite ones would leave a point or an
  // open end unbounded.
  void big_m() {
    int n = t->n_slopes;
    double M = pl_bigM, b0 = breakpoint(t, 0), bl = breakpoint(t, n - 2);
    if (!(pl_linearize & 8)) {
      double m = std::max(std::fabs(b0), std::fabs(bl));
      if (std::isfinite(lo)) m = std::max(m, std::fabs(lo));
      if (std::isfinite(hi)) m = std::max(m, std::fabs(hi));
      if (M / 2 <= m) M = 2 * m;
    }
    if (lo < b0 - M) {
      lo = b0 - M;
      ++bigM_used;
      P->vlb0[j] = std::max(P->vlb0[j], lo);
      P->vlb[j] = std::max(P->vlb[j], lo);
    }
    if (hi > bl + M) {
      hi = bl + M;
      ++bigM_used;
      P->vub0[j] = std::min(P->vub0[j], hi);
      P->vub[j] = std::min(P->vub[j], hi);
    }
  }

  void make() {
    int n = t->n_slopes;
    int32_t row = t->index;
    dname_for(row_name(P, row), &P->ac->var_names[j], k);
    if (bin || !open) big_m();
    // A term of two slopes with open ends has one inner point: fixed at
    // 1 in place of a convexity row.
    bool cvx_row = !(open && n <= 2);
    int32_t cvx = cvx_row ? a.row(1, 1, name("cvx")) : -1;
    int32_t def = a.row(0, 0, name("def"));
    int32_t first_new = cvx_row ? cvx : def;  // the first new row
    a.term(def, j, 1);
    setmem* const* ord = sm_gen_upto(n + 1);
    // With binaries: a "bound" row per point, then the "sos2" row; made
    // before the columns, so that each new column's terms are known when
    // it is.
    int32_t bound0 = -1, sos = -1;
    if (bin) {
      const char* bound_name = name("bound");
      for (int p = 0; p <= n; ++p) {
        int32_t r = a.row(negInfinity, 0, bound_name, ord[p]);
        if (p == 0) bound0 = r;
      }
      sos = a.row(1, 1, name("sos2"));
    }
    std::vector<int32_t>& lam = s.lam;
    lam.assign(size_t(n) + 1, 0);
    const char* lam_name = name("lambda");
    std::vector<double>& cap = s.cap;
    cap.assign(size_t(n) + 1, 1);
    lin_add::entry e[5];
    for (int p = 0; p <= n; ++p) {
      bool first = p == 0, last = p == n;
      double pt = first ? lo : last ? hi : breakpoint(t, p - 1);
      double l = 0, u = Infinity;
      // An open end reaches x's bound (none when x lies within the
      // breakpoints on that side).
      if (open && first) {
        if (std::isfinite(lo)) u = std::max(0.0, breakpoint(t, 0) - lo);
      } else if (open && last) {
        if (std::isfinite(hi)) u = std::max(0.0, hi - breakpoint(t, n - 2));
      } else if (!cvx_row) {
        l = u = 1;
      }
      cap[size_t(p)] = (open && (first || last)) ? u : 1;
      int32_t c = lam[size_t(p)] = a.col(l, u, 0, lam_name, ord[p]);
      // Rows increasing: a constraint's row comes before the new rows, an
      // objective's after them.
      int m = 0;
      double in_row;
      if (row < first_new) e[m++] = {row, 0};
      if (open && first) {
        in_row = -slope(t, 0);
        e[m++] = {def, 1};
      } else if (open && last) {
        in_row = slope(t, n - 1);
        e[m++] = {def, -1};
      } else {
        in_row = plval(t, pt);
        if (cvx_row) e[m++] = {cvx, 1};
        e[m++] = {def, -pt};
      }
      if (bin) e[m++] = {bound0 + p, 1};
      if (row < first_new)
        e[0].coef = in_row;
      else
        e[m++] = {row, in_row};
      a.fresh(c, e, m);
    }
    if (!bin) return;
    // Segment s lies between points s and s + 1; one is chosen.
    const char* b_name = name("b");
    for (int s = 0; s < n; ++s) {
      int32_t c = a.col(0, 1, VS_BIN, b_name, ord[s]);
      e[0] = {bound0 + s, -cap[size_t(s)]};
      e[1] = {bound0 + s + 1, -cap[size_t(s) + 1]};
      e[2] = {sos, 1};
      a.fresh(c, e, 3);
    }
    // The point columns form a set of type 2 for a solver that takes
    // such sets; reference values rise with the points, the open ends'
    // lying beyond the breakpoints.
    int32_t set = sos_set(P, SOS_PLTERM);
    sos_pick_row(P, sos, set);
    double b0 = breakpoint(t, 0), bl = breakpoint(t, n - 2);
    for (int p = 0; p <= n; ++p) {
      double ref = p == 0   ? (open ? (b0 > 0 ? -b0 : 1.5 * b0) - 1 : lo)
                   : p == n ? (open ? (bl < 0 ? -bl : 1.5 * bl) + 1 : hi)
                            : breakpoint(t, p - 1);
      sos_member(P, lam[size_t(p)], set, ref);
    }
  }
};

// ---- Composition through defining rows ----------------------------------

// A term record with room for n slopes, for row (or column) index.
plterm* new_term(int32_t n, int32_t index) {
  int k = htcl(sizeof(plterm) + sizeof(double) * size_t(2 * n - 1));
  auto* t = static_cast<plterm*>(new_mblk(k, 1));
  t->block_class = k;
  t->n_slopes = n;
  t->index = index;
  return t;
}

// g times c, for index.
plterm* scaled_term(const plterm* g, double c, int32_t index) {
  int32_t n = g->n_slopes;
  plterm* t = new_term(n, index);
  const double* a = const_cast<plterm*>(g)->bs();
  double* b = t->bs();
  for (int32_t i = 0; i < 2 * n - 1; ++i) b[i] = i % 2 ? a[i] : c * a[i];
  return t;
}

// Inserts t into the column list *p, kept in row order.
void insert_term(plterm** p, plterm* t) {
  while (*p && (*p)->index <= t->index) p = &(*p)->next;
  t->next = *p;
  *p = t;
}

// Unlinks t from the column list *p.
void unlink_term(plterm** p, const plterm* t) {
  while (*p && *p != t) p = &(*p)->next;
  if (!*p) bug("plcompose bug");
  *p = t->next;
}

// A constant c joins row s: it leaves the row's finite bounds, or adds to
// the objective's constant.
void move_constant(Presolve* P, int32_t s, double c) {
  if (c == 0) return;
  if (s >= P->ncons) {
    P->ac->obj_const[s - P->ncons] += c;
    return;
  }
  double* b[4] = {P->rlb, P->rub, P->rlb2, P->rub2};
  for (int k = 0; k < 4; ++k) {
    if (k >= 2 && b[k] == b[k - 2]) continue;
    if (b[k][s] > negInfinity && b[k][s] < Infinity) b[k][s] -= c;
  }
}

// The rows that hold piecewise-linear terms: per row their number and
// the last one's term and column.
struct pl_rows {
  std::vector<int32_t> count, col;
  std::vector<plterm*> term;
};

// y (column j) is defined by row r: a y + g(z) = c, g on column z.  Every
// use of y becomes a use of z: a linear one e y turns into the constant
// e c / a and the term (-e / a) g, a piecewise-linear one f(y) into the
// composed term f(c / a - g(z) / a), less its constant f(c / a).  y
// leaves as a defined variable (its value c / a - g(z) / a comes back
// after the solve), and row r goes.
void compose_through(Presolve* P, pl_rows& R, int32_t r, int32_t y, double a,
                     plterm* g, int32_t z) {
  double alpha = P->rlb[r] / a, beta = -1 / a;
  duals_composed(P, r, y, a);
  unlink_term(&P->vpl[z], g);
  --R.count[size_t(r)];
  // y's column keeps its term in row r only (what reads removed rows
  // finds the row as it was).
  for (list_slot<varref> p = head_slot(&P->cols[y]); p.get();) {
    varref* t = p.get();
    int32_t s = t->index;
    if (s == r) {
      p = link_of(t);
      continue;
    }
    p.set(vnext(t));
    set_vnext(t, nullptr);
    if (t->coef != 0) {
      move_constant(P, s, t->coef * alpha);
      insert_term(&P->vpl[z], scaled_term(g, t->coef * beta, s));
      ++R.count[size_t(s)];
    }
    free_varref(t);
  }
  for (plterm* f = P->vpl[y]; f;) {
    plterm* next = f->next;
    double at0;
    plterm* h = plcompose(f, g, alpha, beta, &at0);
    h->index = f->index;
    move_constant(P, f->index, at0);
    insert_term(&P->vpl[z], h);
    del_mblk(f->block_class, f);
    f = next;
  }
  P->vpl[y] = nullptr;
  // y's body: -g(z) / a, its constant c / a.
  plterm* body_term = scaled_term(g, beta, z);
  del_mblk(g->block_class, g);
  // Unbound: the value's evaluation binds the body on first use.
  expr* lin = new_expr(opword(OPLINPART, EF_NUMERIC | EF_VARS),
                       static_cast<varref*>(nullptr));
  expr* e = new_expr(opword(OPPLTERM, EF_NUMERIC | EF_VARS),
                     static_cast<void*>(body_term), z);
  lin->next = e;
  define_by_body(P, r, y, lin, alpha);
}

// Composition phase: terms of variables defined by a row that holds one
// piecewise-linear term and their own linear term alone are composed
// with that term, until no such definition is left.
void compose_defined(Presolve* P) {
  AC* ac = P->ac;
  if ((pl_linearize & 16) || !ac->con_defvar || !P->rstat) return;
  pl_rows R{std::vector<int32_t>(size_t(P->nrows), 0),
            std::vector<int32_t>(size_t(P->nrows), -1),
            std::vector<plterm*>(size_t(P->nrows), nullptr)};
  bool any = false;
  for (int32_t j = 0; j < P->nvars; ++j)
    for (plterm* t = P->vpl[j]; t; t = t->next) {
      int32_t s = t->index;
      ++R.count[size_t(s)];
      R.col[size_t(s)] = j;
      R.term[size_t(s)] = t;
      any = any || (s < P->ncons && ac->con_defvar[s]);
    }
  if (!any) return;
  // The linear terms of each row: their number and the last one's column.
  std::vector<int32_t> nlin(size_t(P->nrows), 0), last(size_t(P->nrows), -1);
  for (int32_t j = 0; j < P->nvars; ++j)
    for (const varref* t = P->cols[j]; t; t = vnext(t))
      if (t->coef != 0) {
        ++nlin[size_t(t->index)];
        last[size_t(t->index)] = j;
      }
  std::vector<char> nl = columns_used_nonlinearly(P);
  for (int32_t r = 0; r < P->ncons; ++r) {
    int32_t y = ac->con_defvar[r] - 1;
    if (y < 0 || R.count[size_t(r)] != 1 || nlin[size_t(r)] != 1 ||
        last[size_t(r)] != y || !P->vpl[y] || nl[size_t(y)])
      continue;
    int32_t z = R.col[size_t(r)];
    plterm* g = R.term[size_t(r)];
    // The term must still lie in row r (an earlier composition may have
    // replaced it) and be on another variable.
    bool found = false;
    for (plterm* t = z >= 0 ? P->vpl[z] : nullptr; t && !found; t = t->next)
      found = t == g && t->index == r;
    if (!found || z == y || (P->vstat[z] & VS_FIXED) ||
        !pl_defining_row(P, r, y))
      continue;
    double a = 0;
    bool paired = false;
    for (const varref* t = P->cols[y]; t; t = vnext(t)) {
      if (t->index == r) a += t->coef;
      if (P->cpair && t->index < P->ncons && P->cpair[t->index]) paired = true;
    }
    for (const plterm* t = P->vpl[y]; t; t = t->next)
      if (P->cpair && t->index < P->ncons && P->cpair[t->index]) paired = true;
    if (a == 0 || paired) continue;
    for (const varref* t = P->cols[y]; t; t = vnext(t))
      if (t->index != r && t->coef != 0) --nlin[size_t(t->index)];
    compose_through(P, R, r, y, a, g, z);
  }
}

}  // namespace

plterm* plcompose(const plterm* f, const plterm* g, double alpha, double beta,
                  double* at0) {
  int32_t nf = f->n_slopes, ng = g->n_slopes;
  // The bends of h(x) = f(alpha + beta g(x)): g's breakpoints, and where
  // the inner value crosses one of f's breakpoints on a piece of g.
  std::vector<double> z;
  for (int32_t k = 0; k + 1 < ng; ++k) z.push_back(breakpoint(g, k));
  for (int32_t p = 0; p < ng; ++p) {
    double lo = p ? breakpoint(g, p - 1) : negInfinity;
    double hi = p + 1 < ng ? breakpoint(g, p) : Infinity;
    double s = slope(g, p);
    if (s == 0 || beta == 0) continue;
    double q = std::isfinite(lo) ? lo : std::isfinite(hi) ? hi : 0;
    double gq = plval(g, q);
    for (int32_t i = 0; i + 1 < nf; ++i) {
      double x = q + ((breakpoint(f, i) - alpha) / beta - gq) / s;
      if (x > lo && x < hi) z.push_back(x);
    }
  }
  std::sort(z.begin(), z.end());
  z.erase(std::unique(z.begin(), z.end()), z.end());
  // h's slope on each piece: f's slope where the inner value lies, times
  // the inner slope, taken inside the piece.
  size_t m = z.size();
  std::vector<double> sl(m + 1);
  for (size_t i = 0; i <= m; ++i) {
    double x = m == 0  ? 0
               : i == 0 ? z[0] - 1
               : i == m ? z[m - 1] + 1
                        : (z[i - 1] + z[i]) / 2;
    double gx = plval(g, x), gs = *pl_slope;
    plval(f, alpha + beta * gx);
    sl[i] = *pl_slope * beta * gs;
  }
  // Equal neighbouring slopes make no bend.
  std::vector<double> bs{sl[0]};
  for (size_t i = 1; i <= m; ++i) {
    if (sl[i] == bs.back()) continue;
    bs.push_back(z[i - 1]);
    bs.push_back(sl[i]);
  }
  int32_t n = int32_t(bs.size() + 1) / 2;
  plterm* h = new_term(n, f->index);
  std::copy(bs.begin(), bs.end(), h->bs());
  h->kept = f->kept;
  *at0 = plval(f, alpha);
  return h;
}

bool pl_convex(const plterm* t) {
  int n = t->n_slopes;
  if (n < 2 || !(slope(t, 0) < slope(t, 1))) return false;
  for (int k = 2; k < n; ++k)
    if (slope(t, k) < slope(t, k - 1)) return false;
  return true;
}

bool pl_concave(const plterm* t) {
  int n = t->n_slopes;
  if (n < 2 || slope(t, 0) < slope(t, 1)) return false;
  for (int k = 2; k < n; ++k)
    if (slope(t, k) > slope(t, k - 1)) return false;
  return true;
}

void pllin(Presolve* P) {
  AC* ac = P->ac;
  if (!P->vpl) return;
  compose_defined(P);
  bool open = (pl_linearize & 3) < 2;
  bool need_m = false;
  int32_t nrows = 0, ncols = 0, members = 0, sets = 0;
  int32_t nv = P->nvars;
  for (int32_t j = 0; j < nv; ++j) {
    if (P->vstat[j] & VS_FIXED) continue;
    for (const plterm* t = P->vpl[j]; t; t = t->next) {
      int32_t n = t->n_slopes;
      if (n < 2) continue;
      bool bin = needs_binaries(P, t);
      if (!open || bin) need_m = true;
      // What term_lin::make adds.
      nrows += (open && n <= 2 ? 1 : 2) + (bin ? n + 2 : 0);
      ncols += n + 1 + (bin ? n : 0);
      if (bin) {
        members += n + 1;
        ++sets;
      }
    }
  }
  if (need_m && !(pl_bigM > 0)) cmd_Loption("pl_bigM", 1000000);
  // One growth for these and the domains counted (Is_linearize).
  if (nrows) {
    lin_reserve(P, nrows + P->is_ncon, ncols + P->is_nvar);
    sos_reserve(P, members + P->is_nbin, sets + P->is_nsos);
  }
  lin_add a(P);
  term_scratch sc;
  for (int32_t j = 0; j < nv; ++j) {
    plterm* t = P->vpl[j];
    if (!t || (P->vstat[j] & VS_FIXED)) continue;
    P->vpl[j] = nullptr;
    while (t) {
      plterm* next = t->next;
      if (t->n_slopes < 2) {
        add_linear(P, j, t->index, slope(t, 0));
      } else {
        term_lin w{P, a, sc, j, t, ++ac->n_pl_lin, open, needs_binaries(P, t),
                   P->vlb0[j], P->vub0[j]};
        w.make();
      }
      del_mblk(t->block_class, t);
      t = next;
    }
  }
  ac->n_pl_var_added += ncols;
  ac->n_pl_con_added += nrows;
}

void pl2nl(Presolve* P) {
  AC* ac = P->ac;
  if (!P->vpl) return;
  for (int32_t p = 0; p < P->nfv; ++p) {
    int32_t j = P->vorder[p];
    plterm* t = P->vpl[j];
    P->vpl[j] = nullptr;
    while (t) {
      plterm* next = t->next;
      int32_t row = t->index;
      t->index = j;
      t->next = nullptr;
      expr* e = new_expr(opword(OPPLTERM, EF_NUMERIC | EF_VARS),
                         static_cast<void*>(t), j);
      e->op = functab[OPPLTERM];
      expr** head = row < P->ncons ? &ac->con_nonlin[row]
                                   : &ac->obj_nonlin[row - P->ncons];
      e->next = *head;
      *head = e;
      add_linear(P, j, row, 0);
      t = next;
    }
  }
}

}  // namespace vexo
