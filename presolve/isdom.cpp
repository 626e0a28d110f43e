// Linearisation of set domains.
#include "presolve/isdom.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "instance/ac.h"
#include "presolve/internal.h"
#include "presolve/linadd.h"
#include "presolve/presolve.h"
#include "session/opttable.h"
#include "support/machine.h"
#include "support/pool.h"

namespace vexo {

namespace {

using piece = std::pair<double, double>;

enum dom_shape { DS_NONE, DS_INT, DS_SPACED, DS_POINTS, DS_TWO, DS_MANY };

// The pieces of j's domain that meet the bounds lb, ub, clipped.
void pieces_of(const Presolve* P, int32_t j, double lb, double ub,
               std::vector<piece>& p) {
  p.clear();
  const AC* ac = P->ac;
  const Inset* d = ac->var_domain ? ac->var_domain[j].ivals : nullptr;
  if (!d) return;
  const double* iv = reinterpret_cast<const double*>(d + 1);
  for (int32_t i = d->cap; i < d->n; ++i) {
    double lo = iv[3 * i], hi = iv[3 * i + 1];
    if (hi >= lb && lo <= ub) p.push_back({std::max(lo, lb), std::min(hi, ub)});
  }
}

dom_shape shape_of(const std::vector<piece>& p) {
  size_t k = p.size();
  if (k < 2) return DS_NONE;
  bool intervals = false;
  for (const piece& q : p) intervals = intervals || q.first < q.second;
  if (intervals) return k == 2 ? DS_TWO : DS_MANY;
  if (k == 2) return DS_SPACED;
  double d = p[1].first - p[0].first;
  for (size_t i = 2; i < k; ++i)
    if (p[i].first - p[i - 1].first != d) return DS_POINTS;
  if (d == 1 && p[0].first == std::floor(p[0].first)) return DS_INT;
  return DS_SPACED;
}

// Infinite outer ends replaced by a Big-M distance from the next finite
// end, x's bounds following.
void finite_ends(Presolve* P, int32_t j, std::vector<piece>& p) {
  double M = pl_bigM > 0 ? pl_bigM : 1e6;
  piece &f = p.front(), &l = p.back();
  if (!std::isfinite(f.first)) {
    f.first = (std::isfinite(f.second) ? f.second : p[1].first) - M;
    P->vlb0[j] = P->vlb[j] = f.first;
    ++bigM_used;
  }
  if (!std::isfinite(l.second)) {
    l.second = (std::isfinite(l.first) ? l.first : p[p.size() - 2].second) + M;
    P->vub0[j] = P->vub[j] = l.second;
    ++bigM_used;
  }
}

// x (column j) is free and held by row r alone: unless option
// pl_linearize has bit 4, r is marked as x's defining row, so that the
// substitution after the linearisation may solve x out through it.
void make_free(Presolve* P, int32_t j, int32_t r) {
  P->vlb0[j] = P->vlb[j] = negInfinity;
  P->vub0[j] = P->vub[j] = Infinity;
  if ((pl_linearize & 4) || !P->rstat) return;
  AC* ac = P->ac;
  if (!ac->con_defvar)
    ac->con_defvar =
        static_cast<int32_t*>(new_mblk(elem_class(ac->con_class, 4), 1));
  P->rstat[r] = RS_DEFINES;
  ac->con_defvar[r] = j + 1;
  ++P->is_ndef;
}

// Variable j's domain (the pieces within lb, ub) made linear in a's room;
// k numbers the names.
void linearise(Presolve* P, lin_add& a, int32_t j, double lb, double ub,
               int k, std::vector<piece>& p) {
  pieces_of(P, j, lb, ub, p);
  const xname* x = &P->ac->var_names[j];
  auto name = [](const auto& tag) { return dname_tag(tag); };
  int32_t n = int32_t(p.size());
  dom_shape shape = shape_of(p);
  if (shape == DS_INT) P->vstat[j] |= VS_INT;
  if (shape == DS_NONE || shape == DS_INT) return;
  dname_for(x, nullptr, k);
  switch (shape) {
    case DS_NONE:
    case DS_INT:
      return;
    case DS_SPACED: {
      double d = p[1].first - p[0].first, p0 = p[0].first;
      int32_t z = a.col(0, n - 1, n == 2 ? VS_BIN : VS_INT, name("b"));
      int32_t r = a.row(p0, p0, name("def"));
      a.term(r, j, 1);
      lin_add::entry e[] = {{r, -d}};
      a.fresh(z, e, 1);
      make_free(P, j, r);
      return;
    }
    case DS_POINTS: {
      int32_t def = a.row(0, 0, name("def"));
      int32_t sos = a.row(1, 1, name("sos1"));
      const char* bn = name("b");
      setmem* const* ord = sm_gen_upto(n);
      a.term(def, j, 1);
      int32_t set = sos_set(P, SOS_DOMAIN);
      sos_pick_row(P, sos, set);
      for (int32_t i = 0; i < n; ++i) {
        int32_t b = a.col(0, 1, VS_BIN, bn, ord[i]);
        lin_add::entry e[] = {{def, -p[size_t(i)].first}, {sos, 1}};
        a.fresh(b, e, 2);
        sos_member(P, b, set, p[size_t(i)].first);
      }
      make_free(P, j, def);
      return;
    }
    case DS_TWO: {
      finite_ends(P, j, p);
      double lo0 = p[0].first, hi0 = p[0].second, lo1 = p[1].first,
             hi1 = p[1].second;
      int32_t lb = a.row(lo0, Infinity, name("IUlb"));
      int32_t ub = a.row(-hi0, Infinity, name("IUub"));
      int32_t z = a.col(0, 1, VS_BIN, name("b"));
      a.term(lb, j, 1);
      a.term(ub, j, -1);
      lin_add::entry e[] = {{lb, lo0 - lo1}, {ub, hi1 - hi0}};
      a.fresh(z, e, 2);
      return;
    }
    case DS_MANY: {
      finite_ends(P, j, p);
      int32_t lb = a.row(0, Infinity, name("IUlb"));
      int32_t ub = a.row(0, Infinity, name("IUub"));
      int32_t sos = a.row(1, 1, name("sos1"));
      a.term(lb, j, 1);
      a.term(ub, j, -1);
      const char* bn = name("b");
      setmem* const* ord = sm_gen_upto(n);
      int32_t set = sos_set(P, SOS_DOMAIN);
      sos_pick_row(P, sos, set);
      for (int32_t i = 0; i < n; ++i) {
        const piece& q = p[size_t(i)];
        int32_t b = a.col(0, 1, VS_BIN, bn, ord[i]);
        lin_add::entry e[] = {{lb, -q.first}, {ub, q.second}, {sos, 1}};
        a.fresh(b, e, 3);
        sos_member(P, b, set, (q.first + q.second) / 2);
      }
      return;
    }
  }
}

}  // namespace

void Is_count(Presolve* P) {
  AC* ac = P->ac;
  P->is_n = P->is_nvar = P->is_ncon = P->is_nbin = P->is_nsos = 0;
  if (!ac->var_domain) return;
  int32_t n = 0;
  for (int32_t j = 0; j < P->nvars; ++j)
    if (ac->var_domain[j].ivals && !(P->vstat[j] & VS_FIXED)) ++n;
  if (!n) return;
  P->is_k = htcl(4 * size_t(n));
  P->is_list = static_cast<int32_t*>(new_mblk(P->is_k));
  scratch_add(P, P->is_list, P->is_k);
  // The bounds counted with: the piecewise-linear linearisation between
  // counting and linearising may bound the variable.
  P->is_lubk = htcl(16 * size_t(n));
  P->is_lub = static_cast<double*>(new_mblk(P->is_lubk));
  scratch_add(P, P->is_lub, P->is_lubk);
  std::vector<piece> p;
  for (int32_t j = 0; j < P->nvars; ++j) {
    if (!ac->var_domain[j].ivals || (P->vstat[j] & VS_FIXED)) continue;
    double lb = P->vlb0[j], ub = P->vub0[j];
    P->is_lub[2 * P->is_n] = lb;
    P->is_lub[2 * P->is_n + 1] = ub;
    P->is_list[P->is_n++] = j;
    pieces_of(P, j, lb, ub, p);
    int32_t k = int32_t(p.size());
    // Per shape: new columns, of them binaries, new rows.
    struct adds {
      int32_t cols, bins, rows;
    };
    const adds by_shape[] = {{0, 0, 0}, {0, 0, 0}, {1, 0, 1},
                             {k, k, 2}, {1, 0, 2}, {k, k, 3}};
    const adds& a = by_shape[shape_of(p)];
    P->is_nvar += a.cols;
    P->is_nbin += a.bins;
    P->is_ncon += a.rows;
    if (a.bins) ++P->is_nsos;  // the binaries form a set
  }
}

void Is_linearize(Presolve* P) {
  if (!P->is_n) return;
  // The room was made with the piecewise-linear terms' when they were
  // linearised.
  if (P->lin_row == P->lin_row_end && P->lin_col == P->lin_col_end) {
    lin_reserve(P, P->is_ncon, P->is_nvar);
    sos_reserve(P, P->is_nbin, P->is_nsos);
  }
  lin_add a(P);
  int k = ++P->ac->n_pl_lin;
  std::vector<piece> p;
  for (int32_t i = 0; i < P->is_n; ++i) {
    linearise(P, a, P->is_list[i], P->is_lub[2 * i], P->is_lub[2 * i + 1], k,
              p);
  }
  P->is_n = 0;
  lin_done(P);
}

}  // namespace vexo
