// The collected problem record.
#include "instance/ac.h"

#include <cstring>

#include "compiler/tva.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/vardcl.h"
#include "instance/members.h"
#include "instance/names.h"
#include "instance/synset.h"
#include "instance/stamps.h"
#include "session/opttable.h"
#include "solver/nlwrite.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

AC* cur_ac;
int vb_need;

AC* new_ac() {
  if (!cur_ac) {
    cur_ac = static_cast<AC*>(mem(sizeof(AC)));
    cur_ac->ac_self = cur_ac;
    return cur_ac;
  }
  cur_ac->gen_decl = nullptr;
  cur_ac->work = 0;
  return cur_ac;
}

void ac_reset() { cur_ac = nullptr; }

void misc_reinit() {
  varref_reinit();
  changes_reinit();
  names_reinit();
  synset_reinit();
  vb_need = 0;
}

// ---- Counts -----------------------------------------------------------------

int32_t AC::*const size_offset[17] = {
    &AC::n_var_aux,    &AC::n_sym_member, &AC::n_alg_con,
    &AC::n_logical,    &AC::n_obj,        &AC::n_rand_var,
    &AC::n_var_sent,   &AC::n_sym_member, &AC::n_con_sent,
    &AC::n_logical_sent, &AC::n_obj,      &AC::n_rand_var,
    &AC::n_compl,      &AC::n_con_sent,
    // sizeval's classes
    &AC::n_var_aux,    &AC::n_con_aux,    &AC::n_obj};

int32_t sizeval(const AC* ac, int k) {
  return k >= 0 && k < 3 ? ac->*size_offset[14 + k] : 1;
}

namespace {

// The counts the count params name, by their position (the value of
// their row among the built-in names).  Positions are keys only; the
// fields follow the params' names: _nlog_algcons, _snnlv, _snlogcons and
// _snsymvars read n_log_alg_con, n_nlv_sent, n_logical_sent and
// n_sym_member.
struct count_row {
  int32_t pos;
  int64_t AC::*wide;
  int32_t AC::*narrow;
};
constexpr count_row count_rows[] = {
    {0, &AC::jac_nonzeros, nullptr},         // _snzcons
    {8, &AC::grad_nonzeros, nullptr},        // _snzobjs
    {20, nullptr, &AC::n_var_aux},           // _nvars
    {36, nullptr, &AC::n_compl},             // _nccons
    {40, nullptr, &AC::n_compl_lin},         // _snlcc
    {44, nullptr, &AC::n_compl_nonlin},      // _snnlcc
    {48, nullptr, &AC::n_nonlin_con},        // _snnlcons
    {52, nullptr, &AC::n_nonlin_net_con},    // _snnlnc
    {56, nullptr, &AC::n_lin_net_con},       // _snlnc
    {72, nullptr, &AC::n_alg_con},           // _ncons
    {84, nullptr, &AC::n_logical},           // _nlogcons
    {88, nullptr, &AC::n_log_alg_con},       // _nlog_algcons
    {92, nullptr, &AC::n_pre_log_alg_con},   // _npre_log_algcons
    {96, nullptr, &AC::n_nonlin_obj},        // _snnlobjs
    {100, nullptr, &AC::n_nlv_sent},         // _snnlv
    {128, nullptr, &AC::n_lin_int},          // _snivars
    {132, nullptr, &AC::n_lin_bin},          // _snbvars
    {160, nullptr, &AC::n_sym_member},       // _nsymvars
    {400, nullptr, &AC::n_var_sent},         // _snvars
    {404, nullptr, &AC::n_con_sent},         // _sncons
    {408, nullptr, &AC::n_obj},              // _nobjs, _snobjs
    {416, nullptr, &AC::n_compl_sent},       // _snccons
    {436, nullptr, &AC::n_logical_sent},     // _snlogcons
    {440, nullptr, &AC::n_sym_member},       // _snsymvars
};

}  // namespace

bool ac_count(const AC* ac, int pos, double* value) {
  for (const count_row& r : count_rows)
    if (r.pos == pos) {
      *value = r.wide ? double(ac->*r.wide) : double(ac->*r.narrow);
      return true;
    }
  return false;
}

eval_result f_OPSYN(expr* e, TVA* tva) {
  AC* ac = tva->ac;
  if (trans_state < 3) ac = get_ts3(ac);
  double v = 0;
  const kw_row* row = static_cast<const kw_row*>(e->R.p);
  if (ac && row && !ac_count(ac, int(row->value), &v))
    bug("f_OPSYN: no count at position %u", row->value);
  return {.d = v};
}

// ---- Growing ----------------------------------------------------------------

void* upgrade(void* p, int kold, int knew, size_t n) {
  // Zeroed by the pool: a fresh block's pages come zero from the system,
  // so only the part copied into is touched.
  void* q = new_mblk(knew, 1);
  size_t room = size_t{8} << knew;
  if (n > room) n = room;
  if (p && n) std::memcpy(q, p, n);
  if (p) del_mblk(kold, p);
  return q;
}

namespace {

// Grows the per-variable array *a (entries of type T, class k of 8-byte
// entries) to knew, keeping n entries; with present set, only when it
// exists.
template <class T>
void grow(T** a, int k, int knew, int32_t n, bool present = true) {
  if (present && !*a) return;
  int b = int(sizeof(T));
  *a = static_cast<T*>(upgrade(*a, elem_class(k, b), elem_class(knew, b),
                               size_t(n) * sizeof(T)));
}

}  // namespace

void v_upgrade(AC* ac, int knew, int32_t old_n) {
  jac_forget(ac);
  int k = ac->var_class;
  ac->var_class = knew;
  grow(&ac->col_terms, k, knew, old_n);
  grow(&ac->col_plterms, k, knew, old_n);
  grow(&ac->col_nl_rows, k, knew, old_n, false);
  grow(&ac->var_domain, k, knew, old_n);
  bool aliased = ac->var_lb_alt == ac->var_lb;
  if (!aliased) {
    grow(&ac->var_lb_alt, k, knew, old_n);
    grow(&ac->var_ub_alt, k, knew, old_n);
  }
  grow(&ac->var_lb, k, knew, old_n);
  grow(&ac->var_ub, k, knew, old_n);
  grow(&ac->var_init_val, k, knew, old_n);
  if (aliased) {
    ac->var_lb_alt = ac->var_lb;
    ac->var_ub_alt = ac->var_ub;
  }
  if (ac->var_status && elem_class(knew, 4) > elem_class(k, 4))
    grow(&ac->var_status, k, knew, old_n);
}

// ---- Emptying ---------------------------------------------------------------

namespace {

template <class T>
void drop(T** a, int k) {
  if (*a) del_mblk(k, *a);
  *a = nullptr;
}

void drop_var_arrays(AC* ac) {
  int k = ac->var_class;
  int32_t n = ac->n_var;
  vrefzap(&ac->col_terms, k, n);
  vrefzap(&ac->col_nl_rows, k, n);
  plzap(&ac->col_plterms, k, n);
  Is_zap(&ac->var_domain, k, n);
  if (ac->var_lb_alt != ac->var_lb) {
    drop(&ac->var_lb_alt, k);
    drop(&ac->var_ub_alt, k);
  }
  ac->var_lb_alt = ac->var_ub_alt = nullptr;
  ac->var_lb_sent = ac->var_ub_sent = nullptr;
  drop(&ac->var_lb, k);
  drop(&ac->var_ub, k);
  drop(&ac->var_init_val, k);
  drop(&ac->var_status, elem_class(k, 4));
  drop(&ac->var_order, elem_class(k, 4));
  drop(&ac->var_pos, elem_class(k, 4));
  drop(&ac->var_rc, k);
  vrefzap(&ac->var_lindef, k, n);
}

void drop_con_arrays(AC* ac) {
  int k = ac->con_class;
  exprzap(&ac->con_nonlin, k, ac->n_con);
  drop(&ac->con_kind, elem_class(k, 4));
  drop(&ac->con_order, elem_class(k, 4));
  // The second shape's bounds are the collected ones until presolve
  // copies them.
  if (ac->shape_alt.lower != ac->con_lb) drop(&ac->shape_alt.lower, k);
  if (ac->shape_alt.upper != ac->con_ub) drop(&ac->shape_alt.upper, k);
  drop(&ac->con_lb, k);
  drop(&ac->con_ub, k);
  ac->shape_work.lower = ac->shape_work.upper = nullptr;
  ac->shape_alt.lower = ac->shape_alt.upper = nullptr;
  ac->con_lb_sent = ac->con_ub_sent = nullptr;
  drop(&ac->con_init_dual, k);
  drop(&ac->con_duals, k);
  drop(&ac->con_defvar, elem_class(k, 4));
  drop(&ac->compl_var, elem_class(k, 4));
}

// The constraint maps the solution values made go with the numbering they
// were made for.
void drop_cmaps(AC* ac) {
  for (list* l = ac->cmap_decls; l; l = l->next) {
    cvgen& g = static_cast<convar*>(l->item.p)->gen;
    if (g.cmap) del_mblk(blkclass(g.cmap), g.cmap);
    g.cmap = nullptr;
  }
  free_list(ac->cmap_decls);
  ac->cmap_decls = nullptr;
}

void drop_defined(AC* ac) {
  int k = ac->dv_class;
  exprzap(&ac->dv_bodies, k, ac->n_dv_bodies);
  drop(&ac->dv_const, k);
  drop(&ac->dv_rhs, k);
  drop(&ac->dv_col, elem_class(k, 4));
  drop(&ac->dv_cmap, elem_class(ac->var_class, 4));
  drop(&ac->dv_val2, ac->var_class);
  ac->n_dv_bodies = 0;
  ac->dv_off = 0;
}

void drop_obj_arrays(AC* ac) {
  int k = ac->obj_class;
  exprzap(&ac->obj_nonlin, k, ac->n_obj);
  drop(&ac->obj_const, k);
  drop(&ac->obj_sense, elem_class(k, 1));
  drop(&ac->obj_order, elem_class(k, 4));
}

void drop_row_arrays(AC* ac) {
  int k = ac->row_class;
  int32_t n = ac->n_con + ac->n_obj;
  vrefzap(&ac->row_terms, k, n);
  plzap(&ac->row_plterms, k, n);
  int32_t* alt = ac->shape_alt.order;
  if (alt && alt != ac->shape_work.order)
    drop(&ac->shape_alt.order, ac->shape_alt.k);
  drop(&ac->shape_work.order, ac->shape_work.k);
  ac->shape_alt.order = nullptr;
  ac->con_order_sent = nullptr;
  drop(&ac->con_pos, elem_class(k, 4));
}

void drop_compl_arrays(AC* ac) {
  if (!ac->n_compl) return;
  int k = ac->row_class;
  drop(&ac->cpair, elem_class(k, 1));
  drop(&ac->compl_ub0, k);
  drop(&ac->compl_first, ac->compl_class);
  ac->n_compl = 0;
}

}  // namespace

void col_teardown(AC* ac) {
  if (!ac) return;
  jac_forget(ac);
  drop(&ac->rand_warn, ac->rand_warn_class);
  ac->n_rand_warn = 0;
  if (Vname == ac->var_names) Vname = nullptr;
  drop(&ac->var_names, ac->var_names_class);
  drop_cmaps(ac);
  // Everything goes, even when a reusing collection has already taken the
  // column arrays over (var_lb null): the row arrays left behind would keep
  // the former row count's block classes.
  drop(&ac->con_names, ac->con_names_class);
  drop(&ac->obj_names, ac->obj_names_class);
  drop_defined(ac);
  drop_var_arrays(ac);
  drop_con_arrays(ac);
  drop_obj_arrays(ac);
  drop_row_arrays(ac);
  drop(&ac->con_decls, ac->decl_class);
  ac->obj_decls = ac->var_decls = nullptr;
  drop_compl_arrays(ac);
  drop(&ac->sos_cols, ac->sos_cols_k);
  drop(&ac->sos_rows, ac->sos_rows_k);
  ac->n_sos_cols = ac->n_sos_rows = ac->sos_last = 0;
  drop(&ac->sym_var_list, ac->sym_var_list_class);
  if (ac->suf_shape) drop(&ac->suf_shape, ac->suf_shape->k);
  ac->shape_ptr = nullptr;
  for (CVseen& c : ac->seen) cvszap(&c);
}

// ---- The bounds sent --------------------------------------------------------

namespace {

// The suffix writer's numbering when presolve changed what is sent beyond
// dropping entities: substituted variables, logical constraints or random
// variables.
void suffix_shape(AC* ac) {
  if (!ac->n_subst_var && !ac->n_logical_sent && !ac->n_rand_var) {
    if (ac->suf_shape) drop(&ac->suf_shape, ac->suf_shape->k);
    ac->shape_ptr = &ac->n_var_sent;
    return;
  }
  sufshape* s = ac->suf_shape;
  if (s && (s->vb_need != vb_need || ac->n_logical_sent)) {
    drop(&ac->suf_shape, s->k);
    s = nullptr;
  }
  if (!s) {
    size_t rows = size_t(ac->n_con_sent) + size_t(ac->n_logical_sent);
    int k = htcl(sizeof(sufshape) + 4 * rows);
    s = static_cast<sufshape*>(new_mblk(k, 1));
    s->k = k;
    s->vb_need = vb_need;
    ac->suf_shape = s;
  }
  static int32_t prob_order[1] = {0};
  s->order[0] = ac->var_order;
  s->order[1] = ac->con_order_sent;
  s->order[2] = ac->obj_order;
  s->order[3] = prob_order;
  s->n[0] = ac->n_var_sent;
  s->n[1] = ac->n_con_sent;
  s->n[2] = ac->n_obj;
  s->n[3] = ac->n_prob;
  if (ac->n_rand_var)
    s->n[0] += (ac->n_var - ac->n_var_sent) + ac->n_rand_var;
  if (ac->n_logical_sent) {
    // The logical rows stand after the objectives and the rows presolve
    // removed; the writer numbers them after the algebraic ones.
    int32_t* r = s->rows();
    int32_t nc = ac->n_con_sent, nl = ac->n_logical_sent;
    std::memcpy(r, ac->con_order_sent, size_t(nc) * 4);
    int32_t from = ac->n_con + ac->n_con_added + ac->n_obj - nl;
    if (from < nc) from = nc;
    std::memcpy(r + nc, ac->con_order_sent + from, size_t(nl) * 4);
    s->order[1] = r;
    s->n[1] += nl;
  }
  ac->shape_ptr = s->n;
}

}  // namespace

void set_lubs(AC* ac) {
  SendShape* sh;
  if (pass_lub1 > 1) {
    ac->var_lb_sent = ac->var_lb_alt;
    ac->var_ub_sent = ac->var_ub_alt;
    sh = &ac->shape_alt;
    vb_need = 2;
  } else {
    ac->var_lb_sent = ac->var_lb;
    ac->var_ub_sent = ac->var_ub;
    sh = &ac->shape_work;
    vb_need = ac->shape_work.order == ac->shape_alt.order ? 1 : 3;
  }
  ac->n_con_sent = sh->n_con;
  ac->n_logical_sent = sh->n_logical;
  ac->n_eq_con = sh->n_eq;
  ac->n_range_con = sh->n_range;
  ac->n_nonlin_con = sh->n_nonlin;
  ac->n_lin_net_con = sh->n_lin_net;
  ac->n_nonlin_net_con = sh->n_nonlin_net;
  ac->jac_nonzeros = sh->nonzeros;
  ac->con_lb_sent = sh->lower;
  ac->con_ub_sent = sh->upper;
  if (sh->order != ac->con_order_sent) {
    jac_forget(ac);
    if (!ac->col_terms && ac->row_terms)
      ac->col_terms = transpose(&ac->row_terms, ac->row_class, ac->var_class,
                                ac->n_con + ac->n_obj);
    ac->con_order_sent = sh->order;
    int32_t n = ac->n_con + ac->n_obj;
    if (!ac->con_pos && n > 0)
      ac->con_pos = static_cast<int32_t*>(
          new_mblk(elem_class(ac->row_class, 4), 1));
    for (int32_t i = 0; i < n && sh->order; ++i)
      ac->con_pos[sh->order[i]] = i;
  }
  suffix_shape(ac);
}

}  // namespace vexo
