// Complementarity conditions: adjustments during propagation, the form
// of the problem file, and the square check.
#include "presolve/compl.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "eval/optab.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "instance/ac.h"
#include "instance/names.h"
#include "presolve/fixing.h"
#include "presolve/internal.h"
#include "presolve/linadd.h"
#include "presolve/presolve.h"
#include "presolve/psmsg.h"
#include "session/opttable.h"
#include "support/machine.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

// ---- Adjustments ---------------------------------------------------------------

namespace {

enum : uint8_t {
  CP_KIND = 7,
  CP_PREV = 8,    // the partner is the row before
  CP_SIDE = 16,   // the partner is forced to its upper limit
  CP_UB0 = 32     // the row's limit is kept in rub0
};

int32_t partner(const Presolve* P, int32_t row) {
  return (P->cpair[row] & CP_PREV) ? row - 1 : row + 1;
}

void dissolve(Presolve* P, int32_t row, int32_t p) {
  P->cpair[row] = P->cpair[p] = 0;
  if (P->rstat) {
    P->rstat[row] &= ~uint32_t(RS_COMPL);
    P->rstat[p] &= ~uint32_t(RS_COMPL);
  }
}

// Queues partner p for a scan of sides r (RS_SCANLB, RS_SCANUB).
void queue(Presolve* P, int32_t p, uint32_t r, int now) {
  if (!P->rstat || !r || (P->nterms && P->nterms[p])) return;
  if (P->rstat[p] & (RS_QUEUED | RS_SCANLB | RS_SCANUB)) {
    // Waiting on a stack already: the request joins.
    P->rstat[p] |= r;
  } else if (!(P->rstat[p] & ~uint32_t(RS_COMPL)) && P->nfree) {
    if (P->nfree[p] < 2) {
      P->rq[P->nrq++] = p;
      P->rstat[p] = RS_QUEUED;
    } else if (now) {
      P->rq[--P->nba] = p;
      P->rstat[p] = r;
    }
  }
}

// The pair re-marked as kind 1 (first row 1, second 9).
void remark_kind1(Presolve* P, int32_t row, int32_t p) {
  int32_t lo = row < p ? row : p;
  P->cpair[lo] = 1;
  P->cpair[lo + 1] = 1 | CP_PREV;
}

int ninf(const int32_t* a, int32_t p) { return a ? a[p] : 0; }

// Row bounds set in the working pair and, when it is separate, in the
// second pair too (rows keep one set of limits while paired).
void set_rlb(Presolve* P, int32_t r, double v) {
  P->rlb[r] = v;
  if (P->rlb2 && P->rlb2 != P->rlb) P->rlb2[r] = v;
}
void set_rub(Presolve* P, int32_t r, double v) {
  P->rub[r] = v;
  if (P->rub2 && P->rub2 != P->rub) P->rub2[r] = v;
}

// Partner p held at one of its limits; low: the lower one.
void hold(Presolve* P, int32_t p, bool low, int now) {
  // A limit that is not there cannot hold it: the other one does.
  if (low ? P->rlb[p] <= negInfinity : P->rub[p] >= Infinity) low = !low;
  if (low ? P->rlb[p] <= negInfinity : P->rub[p] >= Infinity) return;
  if (low) {
    set_rub(P, p, P->rlb[p]);
    if (ninf(P->ninfub, p) <= 1) queue(P, p, RS_SCANUB, now);
  } else {
    set_rlb(P, p, P->rub[p]);
    if (ninf(P->ninflb, p) <= 1) queue(P, p, RS_SCANLB, now);
  }
}

// Whether the partner of a row whose limit on the side `upper` says
// (false: lower) can never be active is held at its lower limit: the
// side of the row, exchanged by bit 16 (the partner's finite limit lies
// on the other side).
bool holds_low(uint8_t byte, bool upper) { return !(byte & CP_SIDE) != upper; }

// Shared by compl_Ladj (upper = false) and compl_Uadj (upper = true).
void limit_adj(Presolve* P, int32_t row, int now, bool upper) {
  int32_t p = partner(P, row);
  (upper ? set_rub : set_rlb)(P, row, upper ? Infinity : negInfinity);
  bool free_now = P->rlb[row] <= negInfinity && P->rub[row] >= Infinity;
  if (P->cpair[p] & CP_UB0) {
    // The partner is a lone expression e (its body less rub0): the row
    // off its lower limit leaves e <= 0, off its upper limit e >= 0.
    double c = P->rub0[p];
    if (free_now) {
      // Off both limits: e = 0, and the condition is decided.
      dissolve(P, row, p);
      set_rlb(P, p, c);
      set_rub(P, p, c);
      rowelim(P, row, 16);
      queue(P, p, RS_SCANLB | RS_SCANUB, now);
      return;
    }
    (upper ? set_rlb : set_rub)(P, p, c);
    remark_kind1(P, row, p);
    if (ninf(upper ? P->ninflb : P->ninfub, p) <= 1)
      queue(P, p, upper ? RS_SCANLB : RS_SCANUB, now);
    return;
  }
  uint8_t byte = P->cpair[row];
  dissolve(P, row, p);
  if (free_now) rowelim(P, row, 16);
  hold(P, p, holds_low(byte, upper), now);
}

// A lone expression e (bit 32) proved positive (upper false) or negative:
// its partner is held at its lower, respectively upper, limit.
void limit_cadj(Presolve* P, int32_t row, int now, bool upper) {
  int32_t p = partner(P, row);
  dissolve(P, row, p);
  rowelim(P, row, 16);
  hold(P, p, !upper, now);
}

}  // namespace

void compl_Ladj(Presolve* P, int32_t row, int now) {
  limit_adj(P, row, now, false);
}
void compl_Uadj(Presolve* P, int32_t row, int now) {
  limit_adj(P, row, now, true);
}
void compl_LCadj(Presolve* P, int32_t row, int now) {
  limit_cadj(P, row, now, false);
}
void compl_UCadj(Presolve* P, int32_t row, int now) {
  limit_cadj(P, row, now, true);
}

void compl_empty(Presolve* P, int32_t row, int now) {
  int32_t p = partner(P, row);
  uint8_t byte = P->cpair[row], pbyte = P->cpair[p];
  dissolve(P, row, p);
  double t = constraint_drop_tol;
  // The row's body is 0 now; its limits were moved by what left it.
  double lo = P->rlb[row], hi = P->rub[row];
  if (byte & CP_UB0) {
    // A lone expression with the value -rub0: positive holds the partner
    // at its lower limit, negative at its upper one; about 0 decides
    // nothing (the partner keeps both limits).
    double e = -P->rub0[row];
    if (e > t)
      hold(P, p, true, now);
    else if (e < neg_cdt)
      hold(P, p, false, now);
    return;
  }
  if (pbyte & CP_UB0) {
    // The partner is a lone expression e: the row off its lower limit
    // leaves e <= 0, off its upper one e >= 0, off both e = 0.
    double c = P->rub0[p];
    bool off_lo = lo < neg_cdt, off_hi = hi > t;
    uint32_t req = 0;
    if (off_lo) {
      set_rub(P, p, c);
      req |= RS_SCANUB;
    }
    if (off_hi) {
      set_rlb(P, p, c);
      req |= RS_SCANLB;
    }
    if (!req) {
      // At both limits (an equation): e is free, the row says nothing.
      rowelim(P, p, 16);
      return;
    }
    queue(P, p, req, now);
    return;
  }
  // Two single inequalities: a limit of the row that can no longer be
  // active holds the partner as compl_Ladj and compl_Uadj do.
  if (lo > negInfinity && lo < neg_cdt)
    hold(P, p, holds_low(byte, false), now);
  else if (hi < Infinity && hi > t)
    hold(P, p, holds_low(byte, true), now);
}

void compl_check_row(Presolve* P, int32_t i, int now) {
  if (!P->cpair || !P->cpair[i] || P->ac->con_nonlin[i]) return;
  if (P->rstat && (P->rstat[i] & ~uint32_t(RS_QUEUED | RS_SCANLB | RS_SCANUB |
                                            RS_COMPL)))
    return;
  double t = constraint_drop_tol;
  if (P->cpair[i] & CP_UB0) {
    double c = P->rub0[i];
    if (!P->ninflb[i] && P->actlb[i] > c + t)
      compl_LCadj(P, i, now);
    else if (!P->ninfub[i] && P->actub[i] < c - t)
      compl_UCadj(P, i, now);
    return;
  }
  if (!P->ninflb[i] && P->rlb[i] > negInfinity &&
      P->actlb[i] - P->rlb[i] > t) {
    compl_Ladj(P, i, now);
    if (!P->cpair[i]) return;
  }
  if (!P->ninfub[i] && P->rub[i] < Infinity && P->rub[i] - P->actub[i] > t)
    compl_Uadj(P, i, now);
}

void compl_eqn(Presolve* P, int32_t i, int32_t j) {
  AC* ac = P->ac;
  if (ac->cpair) ac->cpair[i] = ac->cpair[j] = 0;
  if (P->rstat) {
    P->rstat[i] &= ~uint32_t(RS_COMPL);
    P->rstat[j] = 2;
  }
  P->rorder[--P->nfc] = j;
  --P->nfc2;
  // A partner that is a lone variable (coefficient 1, nothing else):
  // the equation is re-paired with it later.
  int32_t var = -1;
  int n = 0;
  for (int32_t c = 0; c < P->nvars && n < 2; ++c)
    for (const varref* t = P->cols ? P->cols[c] : nullptr; t; t = vnext(t))
      if (t->index == j) {
        n += t->coef == 1 ? 1 : 2;
        var = c;
      }
  if (n != 1 || ac->con_nonlin[j] || (P->rub0 && P->rub0[j] != 0)) return;
  if (P->neqn == P->eqn_cap) {
    int32_t cap = P->eqn_cap ? 2 * P->eqn_cap : 8;
    int k = htcl(8 * size_t(cap));
    auto* b = static_cast<int32_t*>(new_mblk(k));
    if (P->neqn) std::memcpy(b, P->eqn, 8 * size_t(P->neqn));
    scratch_swap(P, P->eqn, b, k);
    P->eqn = b;
    P->eqn_cap = cap;
  }
  P->eqn[2 * P->neqn] = i;
  P->eqn[2 * P->neqn + 1] = var;
  ++P->neqn;
}

// ---- The form of the problem file ------------------------------------------------

namespace {

// Work of one compl_constradj run.
struct cwork {
  std::vector<int32_t> cvrow;      // per variable: pair row + 1 it complements
  std::vector<int32_t> converted;  // rows turned into bounds
  std::vector<int32_t> needvar;    // rows that get a new variable
  struct freeing {
    int32_t var;
    int mask;  // 1 lower, 2 upper
  };
  std::vector<freeing> cvfree;
  // The linear terms (column, term) of the paired rows.
  std::vector<std::vector<std::pair<int32_t, varref*>>> terms;

  explicit cwork(Presolve* P) : cvrow(size_t(P->nvars), 0) {
    terms.resize(size_t(P->ncons));
    for (int32_t c = 0; c < P->nvars; ++c) {
      if (P->vstat[c] & VS_FIXED) continue;
      for (varref* t = P->cols ? P->cols[c] : nullptr; t; t = vnext(t))
        if (t->index < P->ncons && P->cpair[t->index])
          terms[size_t(t->index)].push_back({c, t});
    }
  }
};

// No variable in row r's nonlinear part (constants may stand there).
bool row_linear(const Presolve* P, int32_t r) {
  for (expr* e = P->ac->con_nonlin[r]; e; e = e->next)
    if (opcode(e) != OPNUM) return false;
  return true;
}

// Moves constant b of row r into its body (body less b).
void body_less(AC* ac, int32_t r, double b) {
  if (b == 0) return;
  expr** p = &ac->con_nonlin[r];
  for (expr* e = *p; e; e = e->next)
    if (opcode(e) == OPNUM) {
      e->L.d -= b;
      return;
    }
  while (*p) p = &(*p)->next;
  expr* e = new_num(-b);
  e->op = functab[OPNUM];
  *p = e;
}

// The finite limit of row r: its lower, else its upper, else rub0.
double row_limit(const Presolve* P, int32_t r) {
  if (P->rlb[r] > negInfinity) return P->rlb[r];
  if (P->rub[r] < Infinity) return P->rub[r];
  return P->rub0 ? P->rub0[r] : 0;
}

// The row's sign reversed: linear coefficients and nonlinear part.
void reverse_row(Presolve* P, cwork& w, int32_t r) {
  for (auto& ct : w.terms[size_t(r)]) ct.second->coef = -ct.second->coef;
  for (expr* e = P->ac->con_nonlin[r]; e; e = e->next) {
    if (opcode(e) == OPNUM) {
      e->L.d = -e->L.d;
    } else {
      // The node negated in place: a copy of it becomes the operand.
      expr* inner = new_expr(e->opword, e->L, e->R);
      inner->op = e->op;
      inner->depth = e->depth;
      e->opword = opword(OPUMINUS, eflags(inner) | 2);
      e->L.e = inner;
      e->R.p = nullptr;
      e->op = functab[OPUMINUS];
      e->depth = inner->depth + 1;
    }
  }
}

void free_row(Presolve* P, int32_t r) {
  P->rlb[r] = negInfinity;
  P->rub[r] = Infinity;
  if (P->rlb2 != P->rlb) {
    P->rlb2[r] = negInfinity;
    P->rub2[r] = Infinity;
  }
}

int compvar1(int32_t row, int32_t other, Presolve* P, cwork& w) {
  AC* ac = P->ac;
  const auto& rt = w.terms[size_t(row)];
  if (rt.size() != 1 || !row_linear(P, row)) return 0;
  int32_t x = rt[0].first;
  if (w.cvrow[size_t(x)] || (P->vstat[x] & (VS_FIXED | 0x20))) return 0;
  double a = rt[0].second->coef, l = P->rlb[row], u = P->rub[row];
  if (a == 0 || (l <= negInfinity && u >= Infinity)) return 0;
  double il, iu;
  if (a > 0) {
    il = a == 1 ? l : l / a;
    iu = a == 1 ? u : u / a;
  } else {
    il = a == -1 ? -u : u / a;
    iu = a == -1 ? -l : l / a;
  }
  if (!(il >= P->vlb0[x] && iu <= P->vub0[x])) return 0;
  P->vlb0[x] = il;
  P->vub0[x] = iu;
  if (P->vlb != P->vlb0) {
    P->vlb[x] = il;
    P->vub[x] = iu;
  }
  w.cvrow[size_t(x)] = other + 1;
  ac->compl_var[other] = x + 1;
  w.converted.push_back(row);
  double ol = P->rlb[other], ou = P->rub[other];
  body_less(ac, other, row_limit(P, other));
  // A lone-variable partner whose bounds the freed limits stood for.
  const auto& ot = w.terms[size_t(other)];
  if (ot.size() == 1 && row_linear(P, other)) {
    int32_t y = ot[0].first;
    double c = ot[0].second->coef;
    double L = c > 0 ? ol / c : ou / c, U = c > 0 ? ou / c : ol / c;
    int mask = (P->vlb0[y] <= L ? 1 : 0) | (P->vub0[y] >= U ? 2 : 0);
    if (mask) w.cvfree.push_back({y, mask});
  }
  free_row(P, other);
  bool lf = std::isfinite(il), uf = std::isfinite(iu);
  if ((lf && !uf && ol <= negInfinity) || (uf && !lf && ou >= Infinity))
    reverse_row(P, w, other);
  return 1;
}

// Equations whose partner was a lone variable, paired with it again
// (when the variable is free and not yet complementing).
void eqn_pairs(Presolve* P, cwork& w, int32_t* nlin, int32_t* nnonlin) {
  AC* ac = P->ac;
  for (int32_t k = 0; k < P->neqn; ++k) {
    int32_t i = P->eqn[2 * k], p = P->eqn[2 * k + 1];
    if (P->vlb0[p] > negInfinity || P->vub0[p] < Infinity) continue;
    if (ac->compl_var[i] || w.cvrow[size_t(p)]) continue;
    if (P->rstat && (P->rstat[i] & RS_GONE)) continue;
    ac->compl_var[i] = p + 1;
    w.cvrow[size_t(p)] = i + 1;
    // The equation's value moves into its body; the row is a
    // complementarity now, not an equation the header counts.
    body_less(ac, i, P->rlb[i]);
    free_row(P, i);
    ++*(row_linear(P, i) ? nlin : nnonlin);
  }
}

// New variables: row r's body less v (plus v with bit 16) is 0, and v
// complements r's partner.  Named after r's declaration with "$cvar".
void new_cvars(Presolve* P, cwork& w) {
  AC* ac = P->ac;
  lin_reserve(P, 0, int32_t(w.needvar.size()));
  lin_add a(P);
  const xnode* last = nullptr;
  xnode* name = nullptr;
  std::vector<char> text;
  for (int32_t r : w.needvar) {
    const xname& rn = ac->con_names[r];
    if (rn.decl != last) {
      last = rn.decl;
      const char* d = rn.decl->name->name;
      text.assign(d, d + std::strlen(d));
      for (const char* t = "$cvar"; *t; ++t) text.push_back(*t);
      text.push_back(0);
      name = gen_name(text.data());
      name->indexing = rn.decl->indexing;
    }
    bool neg = P->cpair[r] & CP_SIDE;
    double l = neg ? -P->rub[r] : P->rlb[r], u = neg ? -P->rlb[r] : P->rub[r];
    int32_t v = a.col(l, u, 0, name, rn.subs);
    a.term(r, v, neg ? 1 : -1);
    P->rlb[r] = P->rub[r] = 0;
    if (P->rlb2 != P->rlb) P->rlb2[r] = P->rub2[r] = 0;
    int32_t p = (P->cpair[r] & CP_PREV) ? r - 1 : r + 1;
    ac->compl_var[p] = v + 1;
    body_less(ac, p, row_limit(P, p));
    free_row(P, p);
    if ((P->cpair[r] & CP_UB0) && P->rub0[r] != 0) body_less(ac, r, P->rub0[r]);
  }
  lin_done(P);
}

}  // namespace

int compvar(int32_t row, int32_t other, Presolve* P) {
  cwork w(P);
  int r = compvar1(row, other, P, w);
  if (r && P->rstat) {
    P->rstat[row] = 2;
    --P->nfc;
    --P->nfc2;
  }
  return r;
}

void compl_constradj(Presolve* P) {
  AC* ac = P->ac;
  if (!ac->compl_first || !ac->cpair) return;
  if (!ac->compl_var)
    ac->compl_var =
        static_cast<int32_t*>(new_mblk(elem_class(ac->con_class, 4), 1));
  cwork w(P);
  int32_t nlin = 0, nnonlin = 0;
  if (!(compl_warn & 4)) eqn_pairs(P, w, &nlin, &nnonlin);
  for (int32_t c = 0; c < ac->n_compl; ++c) {
    int32_t i = ac->compl_first[c];
    if (!P->cpair[i] || !P->cpair[i + 1]) continue;
    ++(row_linear(P, i) && row_linear(P, i + 1) ? nlin : nnonlin);
    if (compvar1(i, i + 1, P, w)) continue;
    if (compvar1(i + 1, i, P, w)) continue;
    w.needvar.push_back((P->cpair[i] & CP_UB0) ? i + 1 : i);
  }
  for (int32_t r : w.converted) {
    if (P->rstat) P->rstat[r] = 2;
    --P->nfc;
    --P->nfc2;
  }
  for (const cwork::freeing& f : w.cvfree) {
    if (w.cvrow[size_t(f.var)]) continue;
    if (f.mask & 1) P->vlb0[f.var] = negInfinity;
    if (f.mask & 2) P->vub0[f.var] = Infinity;
  }
  ac->n_compl_lin = nlin;
  ac->n_compl_nonlin = nnonlin;
  ac->n_compl_sent = nlin + nnonlin;
  ac->n_cvar = int32_t(w.needvar.size());
  if (!w.needvar.empty()) new_cvars(P, w);
  // The pairs are now stated by compl_var.
  for (int32_t c = 0; c < ac->n_compl; ++c) {
    int32_t i = ac->compl_first[c];
    P->cpair[i] = P->cpair[i + 1] = 0;
  }
  int32_t nd = 0, nzlb = 0;
  for (int32_t r = 0; r < P->ncons; ++r) {
    if (!ac->compl_var[r]) continue;
    int32_t v = ac->compl_var[r] - 1;
    double l = P->vlb0[v], u = P->vub0[v];
    if (l != 0) ++nzlb;
    if (l > negInfinity && u < Infinity) ++nd;
  }
  ac->n_compl_nd = nd;
  ac->n_compl_nzlb = nzlb;
}

void compl_count(AC* ac) {
  if (!(compl_warn & 3)) return;
  int32_t e = 0;
  const SendShape& sh = ac->shape_work.order == ac->con_order_sent
                            ? ac->shape_work
                            : ac->shape_alt;
  for (int32_t k = 0; k < ac->n_con_sent; ++k) {
    int32_t r = ac->con_order_sent[k];
    if (ac->compl_var && ac->compl_var[r]) continue;
    double l = sh.lower[r], u = sh.upper[r];
    if (l > negInfinity && l == u) ++e;
  }
  int32_t c = ac->n_compl_lin + ac->n_compl_nonlin + e;
  if (c == ac->n_var_sent) return;
  ps_warning("%s\n\t%d complementarities", "Nonsquare complementarity system:",
             c);
  if (e > 0) ps_warning(" including %d equations", e);
  ps_warning("\n\t%d variables\n", ac->n_var_sent);
  if (compl_warn & 2) infeasible |= 2;
}

}  // namespace vexo
