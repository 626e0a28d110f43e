// Synonyms.
#include "eval/dotvalue.h"

#include <cmath>

#include "compiler/tva.h"
#include "data/values.h"
#include "eval/defvar.h"
#include "eval/evalerr.h"
#include "eval/set.h"
#include "eval/solval.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/suffix.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/genmod.h"
#include "instance/members.h"
#include "instance/names.h"
#include "instance/problem.h"
#include "instance/sufdecl.h"
#include "instance/sufstore.h"
#include "instance/suftab.h"
#include "presolve/presolve.h"
#include "report/dotnames.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

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

namespace {

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

// The subscript of a synonym (its subscript list s) as a symbol.
symbol* subscript(expr* s, TVA* tva) {
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

int synkind(const symbol* syn, expr* subs, TVA* tva, int32_t* index) {
  AC* ac = tva->ac;
  if (trans_state <= 2 || !ac) ac = get_ts3(ac ? ac : cur_ac);
  const kw_row* row = static_cast<const kw_row*>(syn->binding);
  int k = row ? int(row->value) : -1;
  int32_t n = ac ? syn_count(ac, k) : -1;
  if (n < 0) bug("bad oper = %d in synkind", k);
  symbol* s = subscript(subs, tva);
  double x = is_number(s) ? s->value : qNaN;
  if (!(x >= 1 && x <= n && x == std::floor(x)))
    not_in_range(tva, syn->name, s, n);
  return syn_entry(ac, k, int32_t(x) - 1, index);
}

int syn_entry(const AC* ac, int k, int32_t j, int32_t* index) {
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

// Built-in suffix codes of variables (the constraint codes, less 23, are
// con_code; both tables are report/dotnames.h's order).
enum : int {
  V_DEFEQN, V_DOMAIN, V_INT, V_LB, V_UB, V_LB0, V_UB0, V_LB1, V_UB1, V_LB2,
  V_UB2, V_VAL, V_RC, V_LRC, V_URC, V_INIT, V_INIT0, V_SLACK, V_LSLACK,
  V_USLACK, V_DUAL, V_NO, V_SNO
};
// Constraint codes less 23; a complementarity constraint's left-side
// codes are these plus 46, its right-side codes plus 69.
enum con_code : int {
  C_DEFVAR, C_LB, C_UB, C_LBS, C_UBS, C_LBS1, C_UBS1, C_LBS2, C_UBS2,
  C_BODY, C_SLACK, C_LSLACK, C_USLACK, C_DUAL, C_LDUAL, C_UDUAL, C_DINIT,
  C_DINIT0, C_NO, C_SNO, C_ASTATUS_NUM, C_STATUS_NUM, C_ASTATUS, C_STATUS
};
constexpr int CON_FIRST = 23, LEFT_FIRST = 47, RIGHT_FIRST = 70;
constexpr int ASTATUS_NUM = CON_FIRST + C_ASTATUS_NUM;  // 43 .. 46 serve
constexpr int STATUS_NUM = CON_FIRST + C_STATUS_NUM;    // every entity
constexpr int ASTATUS = CON_FIRST + C_ASTATUS;
constexpr int STATUS = CON_FIRST + C_STATUS;
enum : int {
  CC_SLACK = 93,
  O_EXITCODE = 94, O_MESSAGE, O_RESULT, O_RESULT_NUM, O_SENSE, O_SENSE_NUM,
  O_VAL, O_NO, O_SNO,
  L_NO = 103, L_LNO, L_SNO, L_VAL, L_VAL_NUM,
  SYN_NO = 108, SYN_SNO, SYN_VAL,  // named for printing only
  P_EXITCODE = 111, P_RESULT_NUM, P_MESSAGE, P_RESULT
};

// Whether d is a complementarity constraint (two rows per member).
bool two_rows(const xnode2* d) {
  return (d->kind & ~1u) == DK_CON && (d->flags & CV_TWOSLOTS);
}

[[noreturn]] void unexpected(int code) {
  bug("unexpected case %d in dotvalue", code);
}

// A variable's bounds and value as the suffixes read them: after presolve
// the collected ones, else the declared bounds and the stored value.
struct var_view {
  double lb, ub, v;
};

var_view view_of(var* v, int32_t k, int32_t c, AC* ac, TVA* tva) {
  if (trans_state > 2 && ac->var_init_val && ac->var_lb && c < ac->n_var)
    return {ac->var_lb[c], ac->var_ub[c], var_value(v, k, tva, false)};
  const cvgen& g = v->gen;
  return {g.lb ? g.lb[k] : negInfinity, g.ub ? g.ub[k] : Infinity,
          member_value(v, k)};
}

// The initial value (a constraint's initial dual) that data gave slot s
// of d, else 0.  Data values are kept by member (the members' ordinals in
// xnode2::dindex are their indices).
double data_init(const convar* d, int32_t s) {
  int32_t k = (d->flags & CV_TWOSLOTS) ? s / 2 : s;
  if (!d->vals || k >= d->nvals) return 0;
  if (d->stat && (d->stat[k] & MS_NOVALUE)) return 0;
  return static_cast<const double*>(d->vals)[k];
}

// init and dinit: the generated initial value, else init0 (dinit0).
double init_value(const convar* d, int32_t s) {
  return d->gen.init_vals ? d->gen.init_vals[s] : data_init(d, s);
}

// The status in the problem of slot s of d (a problem: "in").
int astat(xnode2* d, int32_t s, AC* ac) {
  return (d->kind & ~1u) == DK_PROB
             ? AS_IN
             : astatval(static_cast<convar*>(d), s, ac);
}

// status_num: the status in the problem when not "in", else the member's
// sstatus value (the solver's basis status).
double status_num(xnode2* d, int32_t s, int32_t k, TVA* tva) {
  int a = astat(d, s, tva->ac);
  return a ? a : sufvalue(d, sstatus_suf, k, tva);
}

// The defining row of a defined column c (its body number is its row), or
// -1.
int32_t defining_row(AC* ac, int32_t c) {
  if (!ac->var_status || c >= ac->n_var || !(ac->var_status[c] & DV_DEFINED))
    return -1;
  if (!ac->dv_cmap) dv_cdef(ac);
  return ac->dv_cmap[c] - 1;
}

double var_dotvalue(int code, var* v, int32_t k, TVA* tva) {
  AC* ac = tva->ac;
  const cvgen& g = v->gen;
  int32_t c = g.first_col + k;
  bool coll = ac->var_lb && c < ac->n_var;
  switch (code) {
    case V_DEFEQN:
      if (ac->var_status && c < ac->n_var && (ac->var_status[c] & DV_DEFINED))
        return defining_row(ac, c) + 1;
      return v->defcon ? v->defcon->gen.first_col + k + 1 : 0;
    case V_DOMAIN:
      if (ac->var_domain && c < ac->n_var) {
        const var_dom& d = ac->var_domain[c];
        if (d.ivals || d.members) return d.ivals ? 3 : 2;
      }
      return v->flags & (VF_INTEGER | VF_BINARY) ? 1 : 0;
    case V_INT:
      if (relax_integrality) return 0;
      if (trans_state > 1)
        return ac->var_status && c < ac->n_var && (ac->var_status[c] & 3);
      if (!(v->flags & (VF_INTEGER | VF_BINARY))) return 0;
      return sufvalue(v, relax_suf, k, tva) > 0 ? 0 : 1;
    case V_LB:
      return view_of(v, k, c, ac, tva).lb;
    case V_UB:
      return view_of(v, k, c, ac, tva).ub;
    case V_LB0:
      return g.lb ? g.lb[k] : negInfinity;
    case V_UB0:
      return g.ub ? g.ub[k] : Infinity;
    case V_LB1:
      return coll ? ac->var_lb[c] : negInfinity;
    case V_UB1:
      return coll ? ac->var_ub[c] : Infinity;
    case V_LB2:
      return coll && ac->var_lb_alt ? ac->var_lb_alt[c] : negInfinity;
    case V_UB2:
      return coll && ac->var_ub_alt ? ac->var_ub_alt[c] : Infinity;
    case V_VAL:
      return var_value(v, k, tva, false);
    case V_RC:
      if (need_fd || !ac->var_rc) fixed_duals(ac);
      return ac->var_rc && c < ac->n_var ? ac->var_rc[c] : 0;
    case V_LRC:
      return lurcval(c, ac, tva, 1);
    case V_URC:
      return lurcval(c, ac, tva, -1);
    case V_INIT:
      return init_value(v, k);
    case V_INIT0:
      return data_init(v, k);
    case V_SLACK: {
      var_view w = view_of(v, k, c, ac, tva);
      return side_slack(w.lb, w.ub, w.v);
    }
    case V_LSLACK: {
      var_view w = view_of(v, k, c, ac, tva);
      return lower_slack(w.lb, w.v);
    }
    case V_USLACK: {
      var_view w = view_of(v, k, c, ac, tva);
      return upper_slack(w.ub, w.v);
    }
    case V_DUAL: {
      int32_t r = defining_row(ac, c);
      if (r < 0) return 0;
      if (need_fd || !ac->con_duals) fixed_duals(ac);
      return ac->con_duals && r < ac->n_con ? ac->con_duals[r] : 0;
    }
    case V_NO:
      return c + 1;
    case V_SNO:
      return !(v->flags & CV_ALLDROPPED) && ac->var_pos && c < ac->n_var &&
                     ac->var_pos[c] < ac->n_var_sent
                 ? ac->var_pos[c] + 1
                 : 0;
  }
  unexpected(code);
}

// The codes lb .. uslack of a row with bounds (lb, ub) and the body that
// body() gives; the sent bounds are the collected problem's at row r
// (r < 0: none, the bounds themselves).  False for any other code.
template <class Body>
bool row_code(con_code code, double lb, double ub, const AC* ac, int32_t r,
              Body body, double* v) {
  auto pick = [&](const double* a, double dflt) {
    return r >= 0 && a ? a[r] : dflt;
  };
  switch (code) {
    case C_LB:
      *v = lb;
      break;
    case C_UB:
      *v = ub;
      break;
    case C_LBS:
      *v = pick(ac->con_lb_sent, lb);
      break;
    case C_UBS:
      *v = pick(ac->con_ub_sent, ub);
      break;
    case C_LBS1:
      *v = pick(ac->shape_work.lower, lb);
      break;
    case C_UBS1:
      *v = pick(ac->shape_work.upper, ub);
      break;
    case C_LBS2:
      *v = pick(ac->shape_alt.lower, lb);
      break;
    case C_UBS2:
      *v = pick(ac->shape_alt.upper, ub);
      break;
    case C_BODY:
      *v = body();
      break;
    case C_SLACK:
      *v = side_slack(lb, ub, body());
      break;
    case C_LSLACK:
      *v = lower_slack(lb, body());
      break;
    case C_USLACK:
      *v = upper_slack(ub, body());
      break;
    default:
      return false;
  }
  return true;
}

// A constraint code of slot s (member k) of c at row r, r < 0 for a member
// outside the problem (what the codes raised by 94 give).
double con_dotvalue(con_code code, constr* c, int32_t s, int32_t k,
                    int32_t r, TVA* tva) {
  AC* ac = tva->ac;
  const cvgen& g = c->gen;
  bool out = r < 0 || (c->flags & CV_ALLDROPPED);
  double lb = g.lb ? g.lb[s] : negInfinity, ub = g.ub ? g.ub[s] : Infinity;
  bool coll = !out && ac->con_lb && r < ac->n_con;
  double v;
  if (row_code(code, lb, ub, ac, coll ? r : -1, [&] { return co_val(c, s, tva); },
               &v))
    return v;
  switch (code) {
    case C_DEFVAR:
      if (!out && ac->con_defvar && r < ac->n_con) {
        int32_t col = ac->con_defvar[r] - 1;
        if (col >= 0 && defining_row(ac, col) == r) return col + 1;
      }
      return 0;
    case C_DUAL:
      if (out) return 0;
      if (need_fd) fixed_duals(ac);
      return ac->con_duals && r < ac->n_con ? ac->con_duals[r]
                                            : member_value(c, s);
    case C_LDUAL:
      return ludval(c, s, tva, 1);
    case C_UDUAL:
      return ludval(c, s, tva, -1);
    case C_DINIT:
      return init_value(c, s);
    case C_DINIT0:
      return data_init(c, s);
    case C_NO:
      return out ? 0 : r + 1;
    case C_SNO:
      return !out && ac->con_pos && ac->con_pos[r] < ac->n_con_sent
                 ? ac->con_pos[r] + 1
                 : 0;
    case C_ASTATUS_NUM:
      return astatval(c, s, ac);
    case C_STATUS_NUM:
      return status_num(c, s, k, tva);
    default:
      break;
  }
  unexpected(code + CON_FIRST);
}

// What the last solve left for member k of an objective or problem, or
// null (no record, or one without a result text).
const objsolve* solve_record(objsolve* recs, int32_t k) {
  return recs && recs[k].result ? &recs[k] : nullptr;
}

objsolve* solves_of(xnode2* d) {
  return (d->kind & ~1u) == DK_PROB ? static_cast<problem*>(d)->solves
                                    : static_cast<convar*>(d)->gen.solves;
}

// sense_num: -1 for `minimize`, 1 for `maximize` (option sense_table
// names them).
int sense_of(const constr* o) {
  return (o->flags & 7) == CF_MINIMIZE ? -1 : 1;
}

// The position of objective j (from 0) among the objectives sent.
int32_t obj_position(const AC* ac, int32_t j) {
  if (!ac->obj_order) return j;
  for (int32_t p = 0; p < ac->n_obj; ++p)
    if (ac->obj_order[p] == j) return p;
  return -1;
}

double obj_dotvalue(int code, constr* o, int32_t k, TVA* tva) {
  AC* ac = tva->ac;
  const objsolve* rec = solve_record(o->gen.solves, k);
  switch (code) {
    case O_EXITCODE:
      return rec ? rec->exitcode : -1;
    case O_RESULT_NUM:
      return rec ? rec->result_num : -1;
    case O_SENSE_NUM:
      return sense_of(o);
    case O_VAL:
      return co_val(o, k, tva);
    case O_NO:
    case O_SNO: {
      int32_t r = con_row(o, k, ac);
      if (r < 0) return 0;
      // Objectives are numbered from 0 after the constraint rows.
      if (code == O_NO) return r + 1;
      return obj_position(ac, r) + 1;
    }
  }
  unexpected(code);
}

double logical_dotvalue(int code, constr* c, int32_t k, TVA* tva) {
  AC* ac = tva->ac;
  int32_t r = con_row(c, k, ac);
  bool out = r < 0 || (c->flags & CV_ALLDROPPED);
  switch (code) {
    case L_NO:
      return con_dotvalue(C_NO, c, k, k, out ? -1 : r, tva);
    case L_SNO:
      return con_dotvalue(C_SNO, c, k, k, out ? -1 : r, tva);
    case L_LNO: {
      if (out || !ac->con_pos) return 0;
      int32_t p = ac->con_pos[r], n = ac->n_con_sent;
      return p >= n && p < n + ac->n_logical_sent ? p + 1 - n : 0;
    }
    case L_VAL:
    case L_VAL_NUM:
      return co_val(c, k, tva);
  }
  unexpected(code);
}

double prob_dotvalue(int code, problem* p, int32_t k) {
  const objsolve* rec = solve_record(p->solves, k);
  switch (code) {
    case P_EXITCODE:
      return rec ? rec->exitcode : -1;
    case P_RESULT_NUM:
      return rec ? rec->result_num : -1;
  }
  unexpected(code);
}

// Codes of a constraint member: for a complementarity constraint those of
// either side (slot 2k or 2k + 1), its slack and its status; else those
// of its one row.
double constraint_dotvalue(int code, constr* c, int32_t k, TVA* tva) {
  AC* ac = tva->ac;
  if (!(c->flags & CV_TWOSLOTS)) {
    if (code < CON_FIRST || code >= CON_FIRST + C_ASTATUS) unexpected(code);
    return con_dotvalue(con_code(code - CON_FIRST), c, k, k,
                        con_row(c, k, ac), tva);
  }
  if (code == CC_SLACK) return ccslack(c, k, tva);
  int side = code >= RIGHT_FIRST ? 1 : 0;
  int first = side ? RIGHT_FIRST : LEFT_FIRST;
  // A side has no defvar code: its codes start at lb.
  int off = code - first + C_LB;
  if (code < LEFT_FIRST || off >= C_ASTATUS) unexpected(code);
  int32_t s = 2 * k + side;
  return con_dotvalue(con_code(off), c, s, k, con_row(c, s, ac), tva);
}

}  // namespace

double dotvalue(int code, xnode2* d, int32_t k, TVA* tva) {
  if (code >= SYN_NO && code <= SYN_VAL)
    eerror(tva, "suffix .%s has no value here", dotnames[code]);
  if (code == ASTATUS_NUM || code == STATUS_NUM) {
    // Every kind has them; a complementarity member's is its left row's.
    int32_t s = two_rows(d) ? 2 * k : k;
    return code == ASTATUS_NUM ? astat(d, s, tva->ac)
                               : status_num(d, s, k, tva);
  }
  switch (d->kind & ~1u) {
    case DK_VAR:
      return var_dotvalue(code, static_cast<var*>(d), k, tva);
    case DK_CON: {
      auto* c = static_cast<constr*>(d);
      if (con_logical(c) || c->gen.logexpr)
        return logical_dotvalue(code, c, k, tva);
      return constraint_dotvalue(code, c, k, tva);
    }
    case DK_OBJ:
      return obj_dotvalue(code, static_cast<constr*>(d), k, tva);
    case DK_PROB:
      return prob_dotvalue(code, static_cast<problem*>(d), k);
  }
  unexpected(code);
}

double sufvalue(xnode2* d, suffix* s, int32_t k, TVA* tva) {
  if (s && members_hold_values(d)) {
    // Generated members keep their suffix values with them.
    SufVal* g = sufval_of(d, s->classnum);
    if (!g || !g->values) return s->init_value;
    return g->values[size_t(k) << static_cast<convar*>(d)->sufs.suf_shift];
  }
  sufvals* v = s ? sufv_find(d, s->classnum) : nullptr;
  if (!v || !v->v) return 0;
  suf5check(d, s, v, tva);
  return k < d->nvals ? v->v[k] : 0;
}

cstr* member_code_value(convar* d, int code, int32_t k, TVA* t, double* v) {
  uint32_t kind = d->kind & ~1u;
  if (code == -2) {
    auto* cd = static_cast<constr*>(d);
    if (kind == DK_VAR)
      *v = var_value(static_cast<var*>(d), k, t, false);
    else if (kind == DK_OBJ || con_logical(d) || cd->gen.logexpr)
      *v = co_val(cd, k, t);
    else if (d->flags & CF_COMPL)
      *v = ccslack(cd, k, t);
    else
      *v = con_dual(cd, k, t);
    return nullptr;
  }
  if (code >= SUF_NUMBASE) {
    bool symbolic = code >= SUF_SYMBASE;
    suffix* s = suf_bynum(code - (symbolic ? SUF_SYMBASE : SUF_NUMBASE));
    *v = sufvalue(d, s, k, t);
    return symbolic ? cs_sufvalue(*v, &s->table) : nullptr;
  }
  if (kind == DK_OBJ && code < 0) code = code == -1 ? SUF_OBJVAL : -code;
  if (dotgl[code] & DG_SYM) return sdotvalue(code, d, k, t);
  *v = dotvalue(code, d, k, t);
  return nullptr;
}

namespace {

// A stored text with a reference for the caller, "?" when missing.
cstr* held(cstr* s) {
  if (!s) s = Question;
  ++s->refcnt;
  return s;
}

// astatus and status of slot s (member k) of d.
cstr* status_text(int code, xnode2* d, int32_t s, int32_t k, TVA* tva) {
  int a = astat(d, s, tva->ac);
  if (code == ASTATUS || a) return astatus_name(a);
  return cs_sufvalue(sufvalue(d, sstatus_suf, k, tva), &sstatus_suf->table);
}

}  // namespace

cstr* sdotvalue(int code, xnode2* d, int32_t k, TVA* tva) {
  uint32_t kind = d->kind & ~1u;
  if (d->kind == 0) return cs_sufvalue(0, &sstatus_suf->table);
  if (code == ASTATUS || code == STATUS)
    return status_text(code, d, two_rows(d) ? 2 * k : k, k, tva);
  if (two_rows(d)) {
    for (int side = 0; side < 2; ++side) {
      int first = side ? RIGHT_FIRST : LEFT_FIRST;
      if (code == first + C_ASTATUS - C_LB || code == first + C_STATUS - C_LB)
        return status_text(code - first + C_LB + CON_FIRST, d, 2 * k + side,
                           k, tva);
    }
  }
  if (kind == DK_OBJ || kind == DK_PROB) {
    const objsolve* rec = solve_record(solves_of(d), k);
    switch (code) {
      case O_MESSAGE:
      case P_MESSAGE:
        return held(rec ? rec->message : nullptr);
      case O_RESULT:
      case P_RESULT:
        return held(rec ? rec->result : nullptr);
      case O_SENSE:
        if (kind == DK_OBJ)
          return sense_name(sense_of(static_cast<constr*>(d)));
        break;
    }
  }
  bug("unexpected case %d in sdotvalue", code);
}

const char* cdotvalue(int code, xnode2* d, int32_t k, TVA* tva,
                      charblk** cb) {
  cstr* s = sdotvalue(code, d, k, tva);
  const char* t = cblcopy(cb, s->text());
  zap_cstr(&s);
  return t;
}

const xname* syn_names(const AC* ac, int k) {
  switch (k) {
    case 0:
      return ac->var_names;
    case 2:
    case 3:
    case 6:
      return ac->con_names;
    case 4:
      return ac->obj_names;
  }
  return nullptr;
}

namespace {

// The collected problem the synonyms read (synkind brought it up to date).
AC* syn_ac(TVA* tva) { return tva->ac && trans_state > 2 ? tva->ac : cur_ac; }

// Entry j of synonym kind k: its declaration (null for an entity presolve
// added) and member; side 1 for the right row of a complementarity
// constraint reached as a row.
struct syn_member {
  xnode2* d;
  int32_t k;
  int side;
};

syn_member entry_of(const AC* ac, int k, int32_t j) {
  const xname* names = syn_names(ac, k);
  if (!names || !names[j].decl) return {nullptr, 0, 0};
  const xname& n = names[j];
  int side = n.tail && n.tail[0] == '.' && n.tail[1] == 'R';
  return {static_cast<xnode2*>(n.decl), n.subs ? n.subs->ord : 0, side};
}

// The code that a row's suffix code (23 .. 46) has on the side of a
// complementarity constraint that the row is.
int side_code(int code, int side) {
  if (code <= CON_FIRST + C_DEFVAR || code > STATUS) return code;
  return code - CON_FIRST - C_LB + (side ? RIGHT_FIRST : LEFT_FIRST);
}

// The numeric suffixes of an entity presolve added, which has no
// declaration: what the collected problem holds of column or row j.
double anon_dotvalue(int code, int k, int32_t j, AC* ac, TVA* tva) {
  if (k == 0) {
    double lb = ac->var_lb ? ac->var_lb[j] : negInfinity;
    double ub = ac->var_ub ? ac->var_ub[j] : Infinity;
    switch (code) {
      case V_LB:
      case V_LB0:
      case V_LB1:
        return lb;
      case V_UB:
      case V_UB0:
      case V_UB1:
        return ub;
      case V_LB2:
        return ac->var_lb_alt ? ac->var_lb_alt[j] : lb;
      case V_UB2:
        return ac->var_ub_alt ? ac->var_ub_alt[j] : ub;
      case V_VAL:
        return column_value(ac, j, tva);
      case V_SLACK:
        return side_slack(lb, ub, column_value(ac, j, tva));
      case V_LSLACK:
        return lower_slack(lb, column_value(ac, j, tva));
      case V_USLACK:
        return upper_slack(ub, column_value(ac, j, tva));
      case V_NO:
        return j + 1;
      case V_SNO:
        return ac->var_pos && ac->var_pos[j] < ac->n_var_sent
                   ? ac->var_pos[j] + 1
                   : 0;
    }
    return 0;
  }
  if (k != 2 && k != 3) return 0;
  double lb = ac->con_lb ? ac->con_lb[j] : negInfinity;
  double ub = ac->con_ub ? ac->con_ub[j] : Infinity;
  double v;
  if (row_code(con_code(code - CON_FIRST), lb, ub, ac, j,
               [&] { return row_body(ac, j, tva); }, &v))
    return v;
  switch (code - CON_FIRST) {
    case C_DUAL:
      if (need_fd) fixed_duals(ac);
      return ac->con_duals ? ac->con_duals[j] : 0;
    case C_NO:
      return j + 1;
    case C_SNO:
      return ac->con_pos && ac->con_pos[j] < ac->n_con_sent
                 ? ac->con_pos[j] + 1
                 : 0;
  }
  return 0;
}

// The synonym reference under a suffix node e (L: the synonym node, whose
// R holds the code or suffix; R: the subscripts): its kind, entry and
// collected problem.
struct syn_ref {
  int kind;
  int32_t j;
  AC* ac;
  syn_member entry;
};

syn_ref syn_of(expr* e, TVA* tva, const char* routine) {
  syn_ref r;
  r.kind = synkind(e->L.e->L.sym, e->R.e, tva, &r.j);
  if (r.kind > 6) bug("bad case %d in %s", r.kind, routine);
  r.ac = syn_ac(tva);
  r.entry = entry_of(r.ac, r.kind, r.j);
  return r;
}

// The suffix code of a synonym suffix node, moved to the entry's side when
// the entry is a row of a complementarity constraint.
int syn_code(expr* e, const syn_ref& r) {
  int code = e->L.e->R.i;
  if (r.entry.d && two_rows(r.entry.d) && (r.kind == 2 || r.kind == 3))
    code = side_code(code, r.entry.side);
  return code;
}

double syn_sufvalue(expr* e, TVA* tva, suffix** s) {
  syn_ref r = syn_of(e, tva, "f_OPSYNSUF");
  *s = static_cast<suffix*>(e->L.e->R.p);
  return r.entry.d ? sufvalue(r.entry.d, *s, r.entry.k, tva) : 0;
}

}  // namespace

xnode2* syn_target(const symbol* syn, expr* subs, TVA* tva, bool suffix,
                   symbol* const** tuple) {
  *tuple = nullptr;
  const kw_row* row = static_cast<const kw_row*>(syn->binding);
  if (!row || row->value >= 12) return nullptr;
  int32_t j;
  int k = synkind(syn, subs, tva, &j);
  if (k != 0 && k != 2 && (!suffix || k != 4)) return nullptr;
  const xname* names = syn_names(syn_ac(tva), k);
  if (!names || !names[j].decl) return nullptr;
  if (names[j].subs) *tuple = names[j].subs->tup();
  return static_cast<xnode2*>(names[j].decl);
}

syn_shown syn_display(AC* ac, int k, int32_t pos, int code, TVA* tva) {
  int32_t j;
  int kind = syn_entry(ac, k, pos, &j);
  syn_member m = entry_of(ac, kind, j);
  if (!m.d) {
    // Declared suffixes hold nothing for an entity without a declaration.
    double v = code >= 0 && code < SUF_NUMBASE
                   ? anon_dotvalue(code, kind, j, ac, tva)
                   : 0;
    return {nullptr, 0, code, v};
  }
  if (two_rows(m.d) && (kind == 2 || kind == 3))
    code = side_code(code, m.side);
  return {m.d, m.k, code, 0};
}

double syn_value(AC* ac, int k, int32_t j, TVA* tva) {
  switch (k) {
    case 0:
      return column_value(ac, j, tva);
    case 2:
      if (need_fd && ac->con_pos && ac->con_pos[j] >= ac->n_con_sent)
        fixed_duals(ac);
      return ac->con_duals ? ac->con_duals[j] : 0;
    case 7:
      // The solver column of the variable the row complements, 0: none.
      return j >= 0 && ac->var_pos ? double(ac->var_pos[j] + 1)
                                   : double(j + 1);
  }
  syn_member en = entry_of(ac, k, j);
  if (!en.d) return 0;
  auto* c = static_cast<constr*>(en.d);
  if (k == 6) return ccslack(c, en.k, tva);
  return co_val(c, en.k, tva);  // logical constraints, objectives
}

cstr* syn_name(AC* ac, int k, int32_t j, int syn) {
  const xname* names = syn_names(ac, k);
  if (!names) return nullptr;
  charblk* cb = nullptr;
  cstr* s = new_cstring(namesub(&cb, &names[j], syn));
  cbfree(cb);
  return s;
}

eval_result f_OPSYNSUB(expr* e, TVA* tva) {
  int32_t j;
  int k = synkind(e->L.sym, e->R.e, tva, &j);
  return {.d = syn_value(syn_ac(tva), k, j, tva)};
}

eval_result f_OPSYNNAME(expr* e, TVA* tva) {
  int32_t j;
  int k = synkind(e->L.sym, e->R.e, tva, &j);
  const kw_row* row = static_cast<const kw_row*>(e->L.sym->binding);
  cstr* s = syn_name(syn_ac(tva), k, j, int(row->value));
  if (!s) return f_unbuilt(e, tva);
  return {.cs = s};
}

eval_result f_OPSYNDOT(expr* e, TVA* tva) {
  syn_ref r = syn_of(e, tva, "f_OPSYNDOT");
  int code = syn_code(e, r);
  if (!r.entry.d) return {.d = anon_dotvalue(code, r.kind, r.j, r.ac, tva)};
  return {.d = dotvalue(code, r.entry.d, r.entry.k, tva)};
}

eval_result f_OPSYNDOTSYM(expr* e, TVA* tva) {
  syn_ref r = syn_of(e, tva, "f_OPSYNDOTSYM");
  if (!r.entry.d) {
    ++Blank->refcnt;
    return {.cs = Blank};
  }
  return {.cs = sdotvalue(syn_code(e, r), r.entry.d, r.entry.k, tva)};
}

eval_result f_OPSYNSUF(expr* e, TVA* tva) {
  suffix* s;
  return {.d = syn_sufvalue(e, tva, &s)};
}

eval_result f_OPSYNSUFSYM(expr* e, TVA* tva) {
  suffix* s;
  double v = syn_sufvalue(e, tva, &s);
  return {.cs = cs_sufvalue(v, &s->table)};
}

}  // namespace vexo
