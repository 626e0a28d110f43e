// Solution values.
#include "eval/solval.h"

#include <algorithm>
#include <cmath>

#include "compiler/plterm.h"
#include "compiler/tva.h"
#include "eval/defvar.h"
#include "eval/dispatch.h"
#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/collect.h"
#include "instance/members.h"
#include "presolve/presolve.h"
#include "session/opttable.h"
#include "session/batch.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

int32_t n_cvals;

void solval_reset() { n_cvals = 0; }

double column_value(AC* ac, int32_t i, TVA* tva) {
  if (ac->var_init_val) {
    if (ac->var_status && (ac->var_status[i] & DV_STALE))
      return def_comp(ac, i, tva);
    return ac->var_init_val[i];
  }
  if (!ac->var_names) return 0;
  const xname& n = ac->var_names[i];
  auto* v = static_cast<var*>(n.decl);
  if (!v) return 0;
  return member_value(v, n.subs ? n.subs->ord : i - v->gen.first_col);
}

namespace {

// Binds instantiated expression e to the column evaluators of ac.
void bind(expr* e, AC* ac) {
  if (!defc_ac) defvars_from(ac);
  dvopgen(e);
}

}  // namespace

double part_value(expr* e, AC* ac, TVA* tva) {
  if (has_flag(e, EF_RANDOM)) return qNaN;
  bind(e, ac);
  return eval_num(e, tva);
}

namespace {

// v plus the nonlinear parts (an infinite or NaN sum ends the sum there),
// then the linear and piecewise-linear terms at the columns' values.
double body_sum(double v, expr* nonlin, varref* lin, plterm* pl, AC* ac,
                TVA* tva) {
  if (nonlin) {
    if (trans_state <= 2) output_time(ac, 3);
    for (expr* e = nonlin; e; e = e->next) {
      v += part_value(e, ac, tva);
      if (!std::isfinite(v)) return v;
    }
  }
  if (!std::isfinite(v)) return v;
  for (varref* r = lin; r; r = vnext(r))
    v += r->coef * column_value(ac, r->index, tva);
  for (plterm* t = pl; t; t = t->next)
    v += plval(t, column_value(ac, t->index, tva));
  return v;
}

}  // namespace

double row_body(AC* ac, int32_t r, TVA* tva) {
  return body_sum(0, ac->con_nonlin ? ac->con_nonlin[r] : nullptr,
                  ac->row_terms ? ac->row_terms[r] : nullptr,
                  ac->row_plterms ? ac->row_plterms[r] : nullptr, ac, tva);
}

double co_val(constr* c, int32_t k, TVA* tva) {
  cvgen& g = c->gen;
  bool real = c->kind != 0;
  if (real) {
    if (!g.member_status) figalloc(c);
    if (g.body_cache && (g.member_status[k] & GS_BODY))
      return g.body_cache[k];
  }
  AC* ac = tva->ac;
  if (trans_state == 1)
    if (AC* a = output_time(ac, 2)) ac = a;
  double v;
  if (g.logexpr) {
    expr* e = g.logexpr[k];
    if (!e) {
      v = 0;
    } else if (has_flag(e, EF_RANDOM)) {
      v = qNaN;
    } else {
      bind(e, ac);
      v = eval(e, tva).i ? 1 : 0;
    }
  } else {
    uint32_t kind = c->kind & ~1u;
    v = !g.consts ? 0 : kind == DK_OBJ ? g.consts[k] : -g.consts[k];
    v = body_sum(v, g.nonlin ? g.nonlin[k] : nullptr, g.lin ? g.lin[k] : nullptr,
                 g.pl ? g.pl[k] : nullptr, ac, tva);
  }
  if (!real) return v;
  if (!g.body_cache) {
    int32_t n = g.member_count * ((c->flags & CV_TWOSLOTS) ? 2 : 1) + 1;
    g.body_cache = static_cast<double*>(new_mblk(htcl(size_t(n) * 8)));
  }
  g.member_status[k] |= GS_BODY;
  ++n_cvals;
  g.body_cache[k] = v;
  return v;
}

namespace {

// Whether slot s of d is outside the problem: d dropped or fixed as a
// whole, or its member's status byte (the first slot's for two slots per
// member) marked.
bool dropped(const convar* d, int32_t s) {
  if (d->flags & CV_ALLDROPPED) return true;
  if (d->flags & CV_TWOSLOTS) s &= ~1;
  return d->gen.member_status && (d->gen.member_status[s] & GS_DROPPED);
}

}  // namespace

int32_t con_row(constr* c, int32_t s, AC* ac) {
  cvgen& g = c->gen;
  if (!g.n_in_prob) return g.first_col + s;
  if (!g.member_status) figalloc(c);
  int32_t m = (g.cmap ? g.cmap : make_cmap(c, ac))[s];
  if (m < 0) return -1;
  return g.first_col + ((c->flags & CV_TWOSLOTS) ? 2 * m + (s & 1) : m);
}

double con_dual(constr* c, int32_t k, TVA* tva) {
  AC* ac = tva->ac;
  if (dropped(c, k)) return member_value(c, k);
  int32_t r = con_row(c, k, ac);
  if (r < 0) bug("cmap botch in f_OPDUALSUB");
  if (need_fd && ac->con_pos && ac->con_pos[r] >= ac->n_con_sent)
    fixed_duals(ac);
  // A problem collected again since the solve keeps no duals: the stored
  // ones serve, as for c.dual.
  return ac->con_duals ? ac->con_duals[r] : member_value(c, k);
}

namespace {

// Whether the current objective is maximised.
bool maximising(const AC* ac) {
  return ac->obj_no >= 0 && ac->obj_no < ac->n_obj && ac->obj_sense &&
         ac->obj_sense[ac->obj_no];
}

// The dual y of a row or column with bounds (lb, ub) when the lower
// (sign +1) or upper (sign -1) bound is the active side, else 0.  A fixed
// or equality entity takes the dual whose sign matches (flipped when
// maximising); a ranged one the side nearer its value, which value()
// gives (computed only then).
template <class Value>
double side_dual(double lb, double ub, double y, double sign, const AC* ac,
                 Value value) {
  if (lb >= ub) {
    double s = maximising(ac) ? -sign : sign;
    return s * y >= 0 ? y : 0;
  }
  if (sign < 0) {
    double t = lb;
    lb = -ub;
    ub = -t;
  }
  if (lb <= negInfinity) return 0;
  if (ub >= Infinity) return y;
  double b = value();
  return std::fma(-sign, b, ub) > std::fma(sign, b, -lb) ? y : 0;
}

}  // namespace

double ludval(constr* c, int32_t k, TVA* tva, double sign) {
  AC* ac = tva->ac;
  if (need_fd) fixed_duals(ac);
  int32_t r = con_row(c, k, ac);
  if (r < 0 || !ac->con_duals || !ac->con_lb) return 0;
  return side_dual(ac->con_lb[r], ac->con_ub[r], ac->con_duals[r], sign, ac,
                   [&] { return co_val(c, k, tva); });
}

double lurcval(int32_t i, AC* ac, TVA* tva, double sign) {
  if (need_fd || !ac->var_rc) fixed_duals(ac);
  if (!ac->var_rc || !ac->var_lb || i >= ac->n_var) return 0;
  return side_dual(ac->var_lb[i], ac->var_ub[i], ac->var_rc[i], sign, ac,
                   [&] { return column_value(ac, i, tva); });
}

double ccslack(constr* c, int32_t k, TVA* tva) {
  const cvgen& g = c->gen;
  int32_t l = 2 * k, r = l + 1;
  double bl = co_val(c, l, tva), br = co_val(c, r, tva);
  return compl_slack(int(c->flags & 0xb), g.lb[l], g.ub[l], bl, g.lb[r],
                     g.ub[r], br, old_complementarity_slack == 1);
}

double var_value(var* v, int32_t k, TVA* tva, bool sub) {
  AC* ac = tva->ac;
  if (sub && v->defcon && trans_state <= 2) output_time(ac, 3);
  if (trans_state >= 2 && ac->var_status) {
    int32_t c = v->gen.first_col + k;
    if (c < ac->n_var)
      return ac->var_status[c] & DV_STALE ? def_comp(ac, c, tva)
                                          : ac->var_init_val[c];
  }
  return member_value(v, k);
}

int32_t* make_cmap(constr* c, AC* ac) {
  cvgen& g = c->gen;
  int step = (c->flags & CV_TWOSLOTS) ? 2 : 1;
  int32_t n = g.member_count * step;
  auto* m = static_cast<int32_t*>(
      new_mblk(htcl(size_t(std::max(n, 1)) * sizeof(int32_t))));
  int32_t kept = 0;
  // Members that take no row (dropped, or logical ones that always hold)
  // are skipped as collection skips them.
  for (int32_t i = 0; i < n; i += step) {
    int32_t v = rows_of_member(c, i / step) ? kept++ : -1;
    for (int j = 0; j < step; ++j) m[i + j] = v;
  }
  g.cmap = m;
  list* cell = new list;
  cell->item.p = c;
  cell->next = ac->cmap_decls;
  ac->cmap_decls = cell;
  return m;
}

namespace {

int var_status_code(convar* d, int32_t k, AC* ac) {
  if (!ac->var_pos) return AS_IN;
  int32_t c = d->gen.first_col + k;
  int32_t p = ac->var_pos[c];
  int32_t n = ac->n_var_sent;
  if (p < n) return AS_IN;
  if (p < (n += ac->n_subst_var)) return AS_SUB;
  if (p < n + ac->n_rand_var) return AS_RAND;
  if (dropped(d, k)) return AS_FIX;
  return ac->var_status && (ac->var_status[c] & DV_SETTLED) ? AS_PRE
                                                            : AS_UNUSED;
}

int con_status_code(int32_t r, AC* ac) {
  if (!ac->con_pos) return AS_IN;
  int32_t p = ac->con_pos[r];
  int32_t n = ac->n_con_sent;
  if (p < n) return AS_IN;
  if (p < n + ac->n_logical)
    return p < n + ac->n_logical_sent ? AS_LOG : AS_PRE;
  return p < n + ac->n_logical + ac->n_defvar ? AS_SUB : AS_PRE;
}

}  // namespace

int astatval(convar* d, int32_t k, AC* ac) {
  uint32_t kind = d->kind & ~1u;
  if (d->gen.n_in_prob && dropped(d, k))
    return kind == DK_VAR ? AS_FIX : AS_DROP;
  if (kind == DK_VAR) return var_status_code(d, k, ac);
  if (kind == DK_CON) {
    int32_t r = con_row(static_cast<constr*>(d), k, ac);
    return r < 0 ? AS_DROP : con_status_code(r, ac);
  }
  return AS_IN;
}

double side_slack(double lb, double ub, double b) {
  if (ub >= Infinity) return lb <= negInfinity ? ub : b - lb;
  double s = ub - b;
  if (lb > negInfinity) s = std::min(s, b - lb);
  return s;
}

double lower_slack(double lb, double v) {
  return lb <= negInfinity ? Infinity : v - lb;
}

double upper_slack(double ub, double v) {
  return ub >= Infinity ? ub : ub - v;
}

namespace {

// The bounds (olb, oub) of the side facing a ranged side with bounds
// (lb, ub) and body b, as the slack compares them.
void face_range(double lb, double ub, double b, bool old, double* olb,
                double* oub) {
  if (lb <= negInfinity) {
    *oub = 0;
  } else if (ub >= Infinity) {
    *olb = 0;
    if (b >= Infinity) *oub = 0;
  } else if (b <= lb) {
    *olb = 0;
  } else if (b >= ub) {
    *oub = 0;
  } else if (old) {
    *olb = *oub = 0;
  } else if (b <= (lb + ub) * 0.5) {
    *olb = 0;
  } else {
    *oub = 0;
  }
}

}  // namespace

double compl_slack(int shape, double llb, double lub, double l, double rlb,
                   double rub, double r, bool old) {
  if (shape == 10) {
    if (llb >= lub) return side_slack(llb, lub, l);
    face_range(llb, lub, l, old, &rlb, &rub);
  } else if (shape == 11) {
    if (rlb >= rub) return side_slack(rlb, rub, r);
    face_range(rlb, rub, r, old, &llb, &lub);
  }
  return std::min(side_slack(llb, lub, l), side_slack(rlb, rub, r));
}

}  // namespace vexo
