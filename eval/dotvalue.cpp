// Synonyms.
#include "eval/dotvalue.h"

#include <cmath>

#include "compiler/tva.h"
#include "eval/defvar.h"
#include "eval/evalerr.h"
#include "eval/solval.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/members.h"
#include "instance/names.h"
#include "presolve/presolve.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

// How many entities synonym kind k numbers in ac; -1 for no such kind.
int32_t syn_count(const AC* ac, int k) {
  switch (k) {
    case 0:
      return ac->n_var_aux;
    case 1:
    case 7:
      // The symbolic variables' members, as _nsymvars and _snsymvars
      // count them.
      return ac->n_sym_member;
    case 2:
      return ac->n_alg_con;
    case 3:
      return ac->n_logical;
    case 4:
    case 10:
      return ac->n_obj;
    case 6:
      return ac->n_var_sent;
    case 8:
    case 13:
      return ac->n_con_sent;
    case 9:
      return ac->n_logical_sent;
    case 12:
      return ac->n_compl;
  }
  return -1;
}

[[noreturn]] void not_in_range(TVA* tva, const char* syn, const symbol* s,
                               int32_t n) {
  if (!mgwhere(tva)) {
    if (is_number(s))
      Fprintf(Stderr, "Can't evaluate %s[%.g]", syn, s->value);
    else
      Fprintf(Stderr, "Can't evaluate %s[%Q]", syn, s->name);
    Fprintf(Stderr, ":\n\tsubscript not in 1 .. %d\n", n);
  }
  bailout();
}

// The subscript of synonym node e as a symbol.
symbol* subscript(expr* e, TVA* tva) {
  expr* s = e->R.e;
  if (opcode(s) == OPSYMLIST) s = s->L.e;
  if (has_flag(s, EF_NUMERIC)) return Number(eval_num(s, tva));
  if (has_flag(s, EF_STRING)) {
    cstr* t = eval_str(s, tva);
    symbol* y = Symbol(t->text(), 1);
    zap_cstr(&t);
    return y;
  }
  return eval_sym(s, tva);
}

// Entry at j of an order array, or j itself when there is none.
int32_t through(const int32_t* order, int32_t j) {
  return order ? order[j] : j;
}

}  // namespace

int synkind(expr* e, TVA* tva, int32_t* index) {
  AC* ac = tva->ac;
  if (trans_state <= 2 || !ac) ac = get_ts3(ac ? ac : cur_ac);
  const symbol* syn = e->L.sym;
  const kw_row* row = static_cast<const kw_row*>(syn->binding);
  int k = row ? int(row->value) : -1;
  int32_t n = ac ? syn_count(ac, k) : -1;
  if (n < 0) bug("bad oper = %d in synkind", k);
  symbol* s = subscript(e, tva);
  double x = is_number(s) ? s->value : qNaN;
  if (!(x >= 1 && x <= n && x == std::floor(x)))
    not_in_range(tva, syn->name, s, n);
  int32_t j = int32_t(x) - 1;
  switch (k) {
    case 2:
      if (ac->n_logical) j = through(ac->con_order, j + ac->n_logical);
      break;
    case 3:
      j = through(ac->con_order, j);
      break;
    case 6:
      j = through(ac->var_order, j);
      break;
    case 8:
      j = through(ac->con_order_sent, j);
      break;
    case 9:
      j = through(ac->con_order_sent, j + ac->n_con_sent);
      break;
    case 10:
      j = through(ac->obj_order, j);
      break;
    case 12:
      j = through(ac->compl_first, j);
      break;
    case 13:
      j = ac->compl_var ? ac->compl_var[through(ac->con_order_sent, j)] - 1
                        : -1;
      break;
  }
  *index = j;
  return k >= 6 ? k - 6 : k;
}

namespace {

// A variable's bounds and value as the suffixes read them: after presolve
// the collected ones, else the declared bounds and the stored value.
struct var_view {
  double lb, ub, v;
};

var_view view_of(var* v, int32_t k, int32_t c, AC* ac, TVA* tva) {
  if (trans_state > 2 && ac->var_init_val && c < ac->n_var)
    return {ac->var_lb[c], ac->var_ub[c], var_value(v, k, tva, false)};
  const cvgen& g = v->gen;
  return {g.lb ? g.lb[k] : negInfinity, g.ub ? g.ub[k] : Infinity,
          member_value(v, k)};
}

double var_dotvalue(int code, var* v, int32_t k, TVA* tva) {
  AC* ac = tva->ac;
  const cvgen& g = v->gen;
  int32_t c = g.first_col + k;
  bool coll = ac->var_lb && c < ac->n_var;
  switch (code) {
    case 0:  // defeqn
      if (ac->var_status && c < ac->n_var &&
          (ac->var_status[c] & DV_DEFINED)) {
        if (!ac->dv_cmap) dv_cdef(ac);
        return ac->dv_cmap[c];
      }
      return v->defcon ? v->defcon->gen.first_col + k + 1 : 0;
    case 3:
      return view_of(v, k, c, ac, tva).lb;
    case 4:
      return view_of(v, k, c, ac, tva).ub;
    case 5:
      return g.lb ? g.lb[k] : negInfinity;
    case 6:
      return g.ub ? g.ub[k] : Infinity;
    case 7:
      return coll ? ac->var_lb[c] : negInfinity;
    case 8:
      return coll ? ac->var_ub[c] : Infinity;
    case 9:
      return coll && ac->var_lb_alt ? ac->var_lb_alt[c] : negInfinity;
    case 10:
      return coll && ac->var_ub_alt ? ac->var_ub_alt[c] : Infinity;
    case 11:
      return var_value(v, k, tva, false);
    case 17: {
      var_view w = view_of(v, k, c, ac, tva);
      return side_slack(w.lb, w.ub, w.v);
    }
    case 18: {
      var_view w = view_of(v, k, c, ac, tva);
      return lower_slack(w.lb, w.v);
    }
    case 19: {
      var_view w = view_of(v, k, c, ac, tva);
      return upper_slack(w.ub, w.v);
    }
    case 21:
      return c + 1;
    case 22:
      return ac->var_pos && c < ac->n_var && ac->var_pos[c] < ac->n_var_sent
                 ? ac->var_pos[c] + 1
                 : 0;
  }
  bug("unexpected case %d in dotvalue", code);
}

// Constraint codes 23 .. 46 less 23 (the same for both rows of a
// complementarity member), member k' of c at row r; out: the member is
// outside the current problem.
double con_dotvalue(int code, constr* c, int32_t k, int32_t r, bool out,
                    TVA* tva) {
  AC* ac = tva->ac;
  const cvgen& g = c->gen;
  double lb = g.lb ? g.lb[k] : negInfinity, ub = g.ub ? g.ub[k] : Infinity;
  bool coll = !out && ac->con_lb && r < ac->n_con;
  auto pick = [&](const double* a, double dflt) {
    return coll && a ? a[r] : dflt;
  };
  switch (code) {
    case 0:  // defvar
      if (!out && ac->con_defvar && r < ac->n_con) {
        int32_t col = ac->con_defvar[r] - 1;
        if (col >= 0 && ac->var_status && (ac->var_status[col] & DV_DEFINED)) {
          if (!ac->dv_cmap) dv_cdef(ac);
          if (ac->dv_cmap[col] - 1 == r) return col + 1;
        }
      }
      return 0;
    case 1:
      return lb;
    case 2:
      return ub;
    case 3:
      return pick(ac->con_lb_sent, lb);
    case 4:
      return pick(ac->con_ub_sent, ub);
    case 5:
      return pick(ac->shape_work.lower, lb);
    case 6:
      return pick(ac->shape_work.upper, ub);
    case 7:
      return pick(ac->shape_alt.lower, lb);
    case 8:
      return pick(ac->shape_alt.upper, ub);
    case 9:
      return co_val(c, k, tva);
    case 10:
      return side_slack(lb, ub, co_val(c, k, tva));
    case 11:
      return lower_slack(lb, co_val(c, k, tva));
    case 12:
      return upper_slack(ub, co_val(c, k, tva));
    case 13:
      if (out) return 0;
      if (need_fd) fixed_duals(ac);
      return ac->con_duals && r < ac->n_con ? ac->con_duals[r]
                                            : member_value(c, k);
    case 14:
      return ludval(c, k, tva, 1);
    case 15:
      return ludval(c, k, tva, -1);
    case 18:
      return out ? 0 : r + 1;
    case 19:
      return !out && ac->con_pos && ac->con_pos[r] < ac->n_con_sent
                 ? ac->con_pos[r] + 1
                 : 0;
    case 20:
      return astatval(c, k, ac);
  }
  bug("unexpected case %d in dotvalue", code + 23);
}

// Objective codes 94 .. 102 that need no row numbering.
double obj_dotvalue(int code, constr* o, int32_t k, TVA* tva) {
  const objsolve* s = o->gen.solves ? &o->gen.solves[k] : nullptr;
  bool solved = s && s->result;
  switch (code) {
    case 94:
      return solved ? s->exitcode : -1;
    case 97:
      return solved ? s->result_num : -1;
    case 99:
      return (o->flags & 7) == CF_MAXIMIZE ? -1 : 1;
    case 100:
      return co_val(o, k, tva);
  }
  bug("unexpected case %d in dotvalue", code);
}

}  // namespace

double dotvalue(int code, convar* d, int32_t k, TVA* tva) {
  uint32_t kind = d->kind & ~1u;
  if (kind == DK_VAR && code <= 22)
    return var_dotvalue(code, static_cast<var*>(d), k, tva);
  if (kind == DK_CON && code >= 23 && code <= 46 &&
      !(d->flags & CV_TWOSLOTS)) {
    auto* c = static_cast<constr*>(d);
    bool out = (c->flags & CV_ALLDROPPED) != 0;
    int32_t kk = k;
    if (!out && c->gen.n_in_prob) {
      if (!c->gen.member_status) figalloc(c);
      kk = (c->gen.cmap ? c->gen.cmap : make_cmap(c, tva->ac))[k];
      out = kk < 0;
    }
    return con_dotvalue(code - 23, c, k, c->gen.first_col + kk, out, tva);
  }
  if (kind == DK_CON && (code == 106 || code == 107))  // logical val
    return co_val(static_cast<constr*>(d), k, tva);
  if (kind == DK_OBJ && code >= 94 && code <= 102)
    return obj_dotvalue(code, static_cast<constr*>(d), k, tva);
  bug("unexpected case %d in dotvalue", code);
}

eval_result f_OPSYNSUB(expr* e, TVA* tva) {
  int32_t j;
  int k = synkind(e, tva, &j);
  AC* ac = tva->ac && trans_state > 2 ? tva->ac : cur_ac;
  switch (k) {
    case 0:
      if (ac->var_status && (ac->var_status[j] & DV_STALE))
        return {.d = def_comp(ac, j, tva)};
      return {.d = ac->var_init_val ? ac->var_init_val[j] : 0};
    case 2:
      return {.d = ac->con_duals ? ac->con_duals[j] : 0};
    case 7:
      // The solver column of the variable the row complements, 0: none.
      return {.d = j >= 0 && ac->var_pos ? double(ac->var_pos[j] + 1)
                                         : double(j + 1)};
  }
  return f_unbuilt(e, tva);
}

eval_result f_OPSYNNAME(expr* e, TVA* tva) {
  int32_t j;
  int k = synkind(e, tva, &j);
  AC* ac = tva->ac && trans_state > 2 ? tva->ac : cur_ac;
  const xname* names = nullptr;
  switch (k) {
    case 0:
      names = ac->var_names;
      break;
    case 2:
    case 3:
    case 6:
      names = ac->con_names;
      break;
    case 4:
      names = ac->obj_names;
      break;
  }
  if (!names) return f_unbuilt(e, tva);
  charblk* cb = nullptr;
  const kw_row* row = static_cast<const kw_row*>(e->L.sym->binding);
  cstr* s = new_cstring(namesub(&cb, &names[j], int(row->value)));
  cbfree(cb);
  return {.cs = s};
}

}  // namespace vexo
