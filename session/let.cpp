// The let command, update data and reset data.
#include "session/let.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "compiler/compdecl.h"
#include "compiler/compile.h"
#include "compiler/recomp.h"
#include "compiler/tva.h"
#include "data/readcmd.h"
#include "data/outarg.h"
#include "data/values.h"
#include "eval/dispatch.h"
#include "eval/dotvalue.h"
#include "eval/entref.h"
#include "eval/solval.h"
#include "eval/evalerr.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "eval/paramref.h"
#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/strexpr.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/genmod.h"
#include "instance/genvar.h"
#include "instance/members.h"
#include "instance/problem.h"
#include "instance/stamps.h"
#include "instance/sufdecl.h"
#include "instance/sufstore.h"
#include "instance/suftab.h"
#include "instance/xcg.h"
#include "report/indextab.h"
#include "report/print.h"
#include "report/prset.h"
#include "session/cmdrec.h"
#include "session/environs.h"
#include "session/loop.h"
#include "session/opttable.h"
#include "session/sysdecls.h"
#include "solver/solread.h"
#include "solver/solve.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

// ---- Targets ---------------------------------------------------------------

// What a let assigns to.
enum target_kind {
  T_PARAM,     // numeric param
  T_SPARAM,    // symbolic param
  T_SET,       // set, or a member set of an indexed set
  T_VAR,       // variable (current value)
  T_CON,       // constraint (dual value) or logical constraint
  T_OBJ,       // objective
  T_PROB,      // problem
  T_SUFFIX,    // suffix of an entity
  T_SYNONYM,   // generic synonym of the current problem
  T_COMPL,     // complementarity constraint (its reference is its slack)
  T_OTHER
};

target_kind classify(const expr* t) {
  int opc = opcode(t);
  // dotassign's node: the suffix (or the right-dual marker) on the entity.
  if ((opc == OPPARSUB || opc == OPSPARSUB) &&
      (is_rdual(t->L.x) || t->L.x->kind == DK_SUFFIX))
    return T_SUFFIX;
  switch (opc) {
    case OPPAR:
    case OPPARSUB:
      return T_PARAM;
    case OPSPAR:
    case OPSPARSUB:
    case OPSPARSTR:
    case OPSPARSUBSTR:
      return T_SPARAM;
    case OPERRSUB: {
      uint32_t k = t->L.x->kind & ~1u;
      return k == DK_SPARAM ? T_SPARAM : k == DK_PARAM ? T_PARAM : T_OTHER;
    }
    case OPXNODE:
      return T_SET;
    case OPPRIMAL:
    case OPPRIMALSUB:
    case OPSYMVVAL:
    case OPSYMVVALSUB:
    case OPVAR164:
    case OPVARSUB165:
    case OPVAR167:
    case OPVARSUB168:
      return T_VAR;
    case OPDUAL:
    case OPDUALSUB:
    case OPLCON:
    case OPLCONSUB:
      return T_CON;
    case OPOBJVAL:
    case OPOBJVALSUB:
      return T_OBJ;
    case OPPROB:
    case OPPROBSUB:
      return T_PROB;
    case OPDOT:
    case OPDOTSUB:
      // A complementarity constraint named alone: its slack, a built-in
      // suffix of its dual reference.
      if (t->L.e && (opcode(t->L.e) == OPDUAL || opcode(t->L.e) == OPDUALSUB))
        return T_COMPL;
      return T_SUFFIX;
    case OPDOTSYM:
    case OPDOTSUBSYM:
      return T_SUFFIX;
    case OPSYN:
    case OPSYNSUB:
    case OPSYNNAME:
    case OPSYNDOT:
    case OPSYNDOTSYM:
    case OPSYNSUF:
    case OPSYNSUFSYM:
      return T_SYNONYM;
  }
  return T_OTHER;
}

// The kind words of the messages.
const char* kind_word(target_kind k) {
  switch (k) {
    case T_VAR:
      return "variable";
    case T_CON:
      return "constraint";
    case T_OBJ:
      return "objective";
    case T_PROB:
      return "problem";
    default:
      return "???";
  }
}

// The target's text as the language writes it, for messages.
std::string target_text(expr* t) {
  cstr* s = sprex2(t);
  std::string r = s->text();
  zap_cstr(&s);
  return r;
}

// A built-in entity, which may not be assigned; the three by which the
// language controls file-name mapping (support/filename.h) are the
// exception.
bool builtin(const xnode* d, bool is_set) {
  if (d == backslash_map || d == filename_case || d == Sd_file_prefixmap)
    return false;
  // A snapshot read back restores the outcome of the last solve.
  if (d == solve_message || d == solve_result) return false;
  return d->num < N_System_Pars ||
         (is_set && (static_cast<const setdcl*>(d)->sflags & SF_SYSTEM));
}

// A refusal: reported, the open contexts ended; the command does nothing.
void refuse(const char* fmt, const char* name) {
  error(0, fmt, name);
  end_all_contexts();
}

// Whether t may be assigned; reports the refusal when not.
bool allowed(target_kind k, expr* t) {
  switch (k) {
    case T_PARAM:
    case T_SPARAM:
    case T_SET: {
      xnode* d = t->L.x;
      const char* name = d->name->name;
      bool defined = k == T_SET ? static_cast<setdcl*>(d)->asgn != nullptr
                                : static_cast<param*>(d)->asgn != nullptr;
      if (builtin(d, k == T_SET)) {
        refuse("%s is builtin and may not be assigned.", name);
        return false;
      }
      if (defined) {
        refuse("%s has an = assignment in the model.", name);
        return false;
      }
      return true;
    }
    case T_VAR:
    case T_CON:
    case T_OBJ:
    case T_PROB: {
      xnode* d = t->L.x;
      if (k == T_VAR && (d->flags & VF_DEFINED)) {
        refuse("%s is a defined variable:\n\tit has an = value in the model.",
               d->name->name);
        return false;
      }
      return true;
    }
    default:
      return true;
  }
}

// Whether a variable, constraint, objective or problem has no generated
// instances.  Problems are not generated as instances of their own yet.
bool ungenerated(target_kind k, const xnode* d) {
  if (k == T_PROB) return true;
  return static_cast<const convar*>(d)->ninst < 0;
}

// ---- The assignment --------------------------------------------------------

// What one let has changed so far; recorded when the command ends, also
// when an error ends it early.
struct let_changes {
  xnode2* d = nullptr;
  bool any = false;
  bool set_changed = false;

  void member(int32_t i) {
    any = true;
    note_change(d, i);
  }
  void record() {
    if (!any) return;
    if ((d->kind & ~1u) == DK_SET && set_changed)
      sud_notify(static_cast<setdcl*>(d));
    ts_update(d, 0);
    rc &= ~3;
  }
};

// The member number of the subscript tuple in d, or -1.
int32_t find_member(xnode2* d, symbol* const* tuple) {
  if (!(d->kind & 1)) return d->nvals ? 0 : -1;
  if (!d->dindex || !d->nvals) return -1;
  return static_cast<int32_t>(
      set_lookup(d->dindex, const_cast<symbol**>(tuple)));
}

// The member of the target: found, or added.  sub: the compiled look-up of
// an indexed target (null for a scalar); *tuple: its subscript.
int32_t member_for(xnode2* d, expr* sub, symbol* const* tuple) {
  int32_t i = sub ? find_member(d, tuple) : (d->nvals ? 0 : -1);
  return i >= 0 ? i : addnow(d, sub ? tuple : nullptr);
}

// The member is data from now on (it may have been computed from the
// default).
void as_data(xnode2* d, int32_t i) {
  if (d->stat) d->stat[i] &= static_cast<uint8_t>(~MS_COMPUTED);
}

void store_num(param* p, expr* sub, symbol* const* tuple, double v,
               let_changes& ch) {
  int32_t n0 = p->nvals;
  int32_t i = member_for(p, sub, tuple);
  double* cell = static_cast<double*>(p->vals) + i;
  bool computed = p->stat && (p->stat[i] & MS_COMPUTED);
  // The same bits are no change (a NaN is compared as bits too).
  if (std::memcmp(cell, &v, sizeof v) == 0 && !computed && p->nvals == n0)
    return;
  *cell = v;
  as_data(p, i);
  ch.member(i);
}

void store_sym(param* p, expr* sub, symbol* const* tuple, symval v,
               let_changes& ch) {
  int32_t n0 = p->nvals;
  int32_t i = member_for(p, sub, tuple);
  symval* cell = static_cast<symval*>(p->vals) + i;
  int changed;
  if (v.str)
    changed = svupdate(cell, v.str, nullptr);
  else if (is_number(v.sym))
    changed = svupdate(cell, nullptr, v.sym);
  else
    changed = svupdate(cell, new_cstring(v.sym->name), nullptr);
  bool computed = p->stat && (p->stat[i] & MS_COMPUTED);
  if (changed || computed || p->nvals != n0) {
    as_data(p, i);
    ch.member(i);
  }
}

// The members of s (generated) as a new enumerated set of its arity.
set* copy_members(set* s, TVA* c) {
  if (s->nmem < 0) set_genall(s, c);
  return set_copy(s);
}

void store_set(setdcl* sd, expr* sub, symbol* const* tuple, set* value,
               TVA* c, let_changes& ch) {
  if (value->arity != sd->dimen) {
    error(0, "%s has dimen %d; the value assigned has dimen %d",
          sub_name(sd, sub ? tuple : nullptr), sd->dimen, value->arity);
    bailout();
  }
  set* n = copy_members(value, c);
  set* old = sub ? member_set(sd, tuple) : sd->value;
  if (same_members(old, n)) {
    sdelete(n);
    return;
  }
  set* to;
  if (sub) {
    to = gsfinish(sd, tuple);
    int32_t i = find_member(sd, tuple);
    if (sd->stat) sd->stat[i] &= static_cast<uint8_t>(~MS_COMPUTED);
    ch.member(i);
  } else {
    to = fresh_members(sd);
    ch.any = true;
  }
  if (n->nmem > 0) to->new_htab(n->nmem);
  for (setmem* m = n->first; m; m = m->next)
    if (m->ord >= 0) to->addmem(m->tup());
  sdelete(n);
  ch.set_changed = true;
}

// Whether a let on d must check d's values at once.
bool has_checks(const xnode* d) {
  uint32_t k = d->kind & ~1u;
  if (k == DK_PARAM || k == DK_SPARAM)
    return static_cast<const param*>(d)->checks != nullptr;
  if (k == DK_SET) {
    const setdcl* s = static_cast<const setdcl*>(d);
    return s->within != nullptr || s->orderby != nullptr;
  }
  return false;
}

// ---- Current values of variables and constraints ---------------------------

// The collected problem's slot of member i of d: a variable's column, a
// constraint's row; -1 when d's member is not in the collected problem.
int32_t collected_slot(convar* d, int32_t i, AC* ac) {
  if (!ac || i < 0 || i >= d->gen.member_count || d->gen.first_col < 0)
    return -1;
  bool is_var = (d->kind & ~1u) == DK_VAR;
  int32_t j;
  if (is_var) {
    j = d->gen.first_col + i;
    if (j >= ac->n_var || !ac->var_names || ac->var_names[j].decl != d)
      return -1;
  } else {
    auto* c = static_cast<constr*>(d);
    if (c->flags & CV_TWOSLOTS) return -1;
    j = i;
    if (c->gen.n_in_prob) {
      if (!c->gen.member_status) figalloc(c);
      j = (c->gen.cmap ? c->gen.cmap : make_cmap(c, ac))[i];
      if (j < 0) return -1;
    }
    j += c->gen.first_col;
    if (j >= ac->n_con || !ac->con_names || ac->con_names[j].decl != d)
      return -1;
  }
  return j;
}

// Stores v as member i's current value (a variable's primal value, a
// constraint's dual); the collected problem's starting values follow, so
// that the next solve sends it.
void store_current(convar* d, int32_t i, double v, let_changes& ch) {
  cvgen& g = d->gen;
  if (!g.cur_vals) vval_alloc(d);
  uint8_t& st = g.member_status[i];
  double old = member_value(d, i);
  if ((st & GS_HASVAL) && std::memcmp(&old, &v, sizeof v) == 0) return;
  g.cur_vals[i] = v;
  st |= GS_HASVAL;
  // Recorded before the collected value moves: a variable presolve removed
  // is listed with the value last sent for it.
  ch.member(i);
  AC* ac = cur_ac;
  int32_t j = collected_slot(d, i, ac);
  if (j < 0) return;
  if ((d->kind & ~1u) == DK_VAR) {
    if (ac->var_init_val) ac->var_init_val[j] = v;
  } else {
    if (ac->con_init_dual) ac->con_init_dual[j] = v;
  }
}

// What a let of current values changed, recorded when it ends: the
// computed bodies go, the declarations' value stamps move on.
struct current_changes {
  std::vector<let_changes> decls;

  let_changes& of(xnode2* d) {
    for (let_changes& c : decls)
      if (c.d == d) return c;
    decls.push_back({});
    decls.back().d = d;
    return decls.back();
  }
  void record() {
    bool any = false;
    for (let_changes& c : decls) {
      if (!c.any) continue;
      any = true;
      ts_update(c.d, 1);
    }
    if (!any) return;
    zap_cvals();
    rc &= ~3;
  }
};

// Runs assign once in context t, or for each member of the indexing ix,
// then records the changes (ch.record), also when an error ends the run;
// t is released when the run ends normally (the holder h owns it).
template <class F, class C>
void assign_each(set_spec* ix, tva_hold& h, C& ch, F& assign) {
  try {
    if (!ix) {
      assign(h.t);
    } else if (TVA* c = ss_begin(ix, h.t)) {
      do assign(c);
      while (ss_continue(ix, c));
    }
  } catch (const command_abort&) {
    ch.record();
    throw;
  }
  ch.record();
  del_tva(h.t);
  h.t = nullptr;
}

// Compiles the value *pv and the subscript *psub (or none) within the
// indexing ix (or none); returns the context.
TVA* compile_value(set_spec* ix, expr** pv, expr** psub, xrecomp* xr) {
  compile_start();
  if (ix) ss_setup(ix, nullptr);
  mri(pv, 1);
  if (psub) mri(psub, 1);
  if (ix) ss_teardown(ix);
  return compile_end(xr);
}

// Compiles the value (made numeric) and the subscript *psub (or none)
// within the indexing; runs assign once or for each member of the
// indexing, recording the changes also when an error ends it.
template <class F>
void each_member(set_spec* ix, int num, expr** pv, expr** psub, xrecomp* xr,
                 current_changes& ch, F assign) {
  *pv = not_tuple(*pv);
  if (is_logical(*pv) || !has_flag(*pv, EF_NUMERIC)) *pv = make_numeric(*pv);
  if (num >= 0) dep_note(num);
  tva_hold h{compile_value(ix, pv, psub, xr)};
  assign_each(ix, h, ch, assign);
}

// let on a variable's primal value, a constraint's dual value, a logical
// constraint's or an objective's current value.
void let_current(set_spec* ix, expr* target, expr** pv, xrecomp* xr) {
  auto* d = static_cast<convar*>(target->L.x);
  expr** psub = (d->kind & 1) ? &target->R.e : nullptr;
  current_changes ch;
  each_member(ix, d->num, pv, psub, xr, ch, [&](TVA* c) {
    uint32_t kind = d->kind & ~1u;
    if (d->ninst < 0)
      badthing(c,
               kind == DK_VAR   ? "ungenerated variable"
               : kind == DK_OBJ ? "ungenerated objective"
                                : "ungenerated constraint",
               d, nullptr);
    int32_t i = 0;
    if (psub) {
      i = static_cast<int32_t>(eval(*psub, c).i);
      if (i < 0) badsub2(*psub, d, c);
    }
    // A random variable given a distribution keeps it, drawn at each
    // use; a dropped member comes back with it.
    if ((d->flags & XF_RANDOM) && has_flag(*pv, EF_RANDOM)) {
      set_distribution(static_cast<var*>(d), i, *pv, c);
      cvgen& g = d->gen;
      if (g.member_status && (g.member_status[i] & GS_DROPPED)) {
        g.member_status[i] &= static_cast<uint8_t>(~GS_DROPPED);
        --g.state_count;
        d->flags &= ~CV_ALLDROPPED;
      }
      // No generation stamp moves: regeneration would put back the
      // declared distribution.
      return;
    }
    double v = eval_num(*pv, c);
    store_current(d, i, v, ch.of(d));
  });
}

// let on a symbolic variable: its member's value cell (kept by data
// index, made for a subscript of the indexing that has none yet) gets a
// member of the declared domain.  The variable is generated again when
// next used.
void let_symvar(set_spec* ix, expr* target, expr** pv, xrecomp* xr) {
  auto* v = static_cast<var*>(target->L.x);
  expr** psub = (v->kind & 1) ? &target->R.e : nullptr;
  *pv = not_tuple(*pv);
  if (is_logical(*pv) || has_flag(*pv, EF_NUMERIC)) *pv = make_symbolic(*pv);
  dep_note(v->num);
  tva_hold h{compile_value(ix, pv, psub, xr)};
  let_changes ch;
  ch.d = v;
  symbol* tuple[TUPMAX];
  auto assign = [&](TVA* c) {
    int32_t i = psub ? letsub(*psub, v, c, 0, tuple)
                     : v->nvals ? 0
                                : addnow(v, nullptr);
    symbol* s = value_symbol(symbolic_value(*pv, c));
    svar_offset(v, psub ? tuple : nullptr, s, c);
    symbol** cell = static_cast<symbol**>(v->vals) + i;
    uint8_t* st = stat_of(v, i);
    if (*cell == s && !(*st & MS_NOVALUE)) return;
    *cell = s;
    *st &= static_cast<uint8_t>(~MS_NOVALUE);
    ch.member(i);
  };
  assign_each(ix, h, ch, assign);
}

// let on a generic synonym of the current problem: _var[j] (_svar[j])
// sets a variable's value, _con[j] (_scon[j]) a constraint's dual.
void let_synonym(set_spec* ix, expr* target, expr** pv, xrecomp* xr) {
  symbol* syn = target->L.sym;
  const kw_row* row = static_cast<const kw_row*>(syn->binding);
  int kind = row ? int(row->value) % 6 : -1;
  if ((row && row->value >= 12) || (kind != 0 && kind != 2)) {
    refuse("Assignments to %s are not possible.", syn->name);
    return;
  }
  if (trans_state <= 1 && !get_ts3(cur_ac)) bailout();
  current_changes ch;
  each_member(ix, -1, pv, &target->R.e->L.e, xr, ch, [&](TVA* c) {
    int32_t j;
    int k = synkind(syn, target->R.e, c, &j);
    AC* ac = cur_ac;
    const xname* names = syn_names(ac, k);
    double v = eval_num(*pv, c);
    if (!names || !names[j].decl) {
      // An entity presolve added: only the collected problem holds it.
      if (k == 0 && ac->var_init_val) ac->var_init_val[j] = v;
      if (k == 2 && ac->con_init_dual) ac->con_init_dual[j] = v;
      return;
    }
    auto* d = static_cast<convar*>(names[j].decl);
    store_current(d, names[j].subs ? names[j].subs->ord : 0, v, ch.of(d));
  });
}

// ---- Suffix values ------------------------------------------------------------

// The member whose suffix value a let sets: its declaration and number.
struct suffix_slot {
  xnode2* d;
  int32_t member;
};

// The entity a suffix target names, in context c: a generated variable,
// constraint or objective member, or a problem (by its data index, made
// when absent).
suffix_slot suffix_entity(expr* ent, expr* psub, TVA* c, symbol** tuple) {
  if (opcode(ent) == OPSYNSUB) {
    int32_t j;
    int k = synkind(ent->L.sym, ent->R.e, c, &j);
    const xname* names = syn_names(cur_ac, k);
    if ((k != 0 && k != 2 && k != 4) || !names || !names[j].decl) {
      error(0, "Assignments to suffixes of %s are not possible.",
            ent->L.sym->name);
      bailout();
    }
    return {static_cast<xnode2*>(names[j].decl),
            names[j].subs ? names[j].subs->ord : 0};
  }
  auto* d = static_cast<xnode2*>(ent->L.x);
  if ((d->kind & ~1u) == DK_PROB) {
    if (!psub) return {d, d->nvals ? 0 : addnow(d, nullptr)};
    return {d, letsub(psub, d, c, 0, tuple)};
  }
  auto* cv = static_cast<convar*>(d);
  if (cv->ninst < 0)
    badthing(c,
             (d->kind & ~1u) == DK_VAR   ? "ungenerated variable"
             : (d->kind & ~1u) == DK_OBJ ? "ungenerated objective"
                                         : "ungenerated constraint",
             d, nullptr);
  int32_t i = 0;
  if (psub) {
    i = static_cast<int32_t>(eval(psub, c).i);
    if (i < 0) badsub2(psub, d, c);
  }
  return {d, i};
}

// Stores x as the member's value of s; true when it changed.  Generated
// members keep their values with them; a problem's are kept by its data
// index.
bool store_suffix(const suffix_slot& t, suffix* s, double x) {
  if (members_hold_values(t.d)) {
    auto* cv = static_cast<convar*>(t.d);
    return suf_put(cv, s, t.member << cv->sufs.suf_shift, x, cur_ac);
  }
  double* cell =
      static_cast<double*>(val_cell(t.d, 3 + s->classnum, t.member));
  if (std::memcmp(cell, &x, sizeof x) == 0) return false;
  *cell = x;
  if (sufvals* v = sufv_find(t.d, s->classnum)) {
    v->changed = nextgenlev;
    v->checked = 0;
  }
  return true;
}

// let on a declared suffix of an entity (dotassign's node: L the suffix,
// R the entity reference).  A symbolic suffix named without "_num" takes
// a name of its table, or a number.
void let_suffix(set_spec* ix, expr* target, expr** pv, xrecomp* xr) {
  expr* ent = target->R.e;
  if (is_rdual(target->L.x)) {
    error(0, "let is not implemented yet for %s.Rdual",
          ent->L.x->name->name);
    end_all_contexts();
    return;
  }
  auto* s = static_cast<suffix*>(target->L.x);
  int opc = opcode(ent);
  expr** psub = nullptr;
  if (opc == OPSYNSUB) {
    psub = &ent->R.e->L.e;
  } else {
    if (ent->L.x->kind & 1) psub = &ent->R.e;
    dep_note(ent->L.x->num);
  }
  *pv = not_tuple(*pv);
  bool by_name = opcode(target) == OPSPARSUB && !is_logical(*pv) &&
                 !has_flag(*pv, EF_NUMERIC);
  if (!by_name && (is_logical(*pv) || !has_flag(*pv, EF_NUMERIC)))
    *pv = make_numeric(*pv);
  tva_hold h{compile_value(ix, pv, psub, xr)};
  struct {
    bool any = false;
    void record() {
      if (any) rc &= ~3;
    }
  } ch;
  auto assign = [&](TVA* c) {
    symbol* tuple[TUPMAX];
    suffix_slot t = suffix_entity(ent, psub ? *psub : nullptr, c, tuple);
    double x;
    if (by_name) {
      symval v = symbolic_value(*pv, c);
      x = suf2num(s, v.str, v.sym, c);
    } else {
      x = eval_num(*pv, c);
    }
    if (store_suffix(t, s, x)) ch.any = true;
  };
  assign_each(ix, h, ch, assign);
}

}  // namespace

// ---- Interfaces ------------------------------------------------------------

int32_t addnow(xnode2* d, symbol* const* tuple) {
  int32_t i = val_add(d, tuple);
  if (d->stat) d->stat[i] = 0;
  return i;
}

int32_t letsub(expr* sub, xnode2* d, TVA* tva, int lookup_only,
               symbol** tuple) {
  int n = d->indexing ? d->indexing->arity : 0;
  int32_t k = static_cast<int32_t>(eval(sub, tva).i);
  std::memcpy(tuple, getbadsub(sub, tva), sizeof(symbol*) * size_t(n));
  // A look-up kept from before the member was added misses it.
  if (k < 0 || k >= d->nvals) k = find_member(d, tuple);
  if (k >= 0) return k;
  if (!d->indexing || set_in(d->indexing, tuple, tva) == NOT_MEMBER)
    badsub(tva, d, tuple);
  return lookup_only ? -1 : addnow(d, tuple);
}

void mustsub(symbol* name, int k) {
  error(0, "%s %s be subscripted", name->name, k ? "must" : "cannot");
}

void fel_clear() { lev0_clear(); }

void reset_ts() {
  if (trans_state > 1) set_trans_state(1);
}

void do_reset_ts(void*) { reset_ts(); }

void let(set_spec* ix, expr* target, void* value, int is_set, xrecomp* xr) {
  // The declarations the command cites brought up to date first; a target
  // that holds data only is left as it is, so that a value which failed
  // its checks can be replaced (the new one is checked when it is next
  // generated, or below with let_domain_check).
  target_kind k = classify(target);
  // Symbolic variables keep their values by data index, as params do.
  bool symvar = opcode(target) == OPSYMVVAL || opcode(target) == OPSYMVVALSUB;
  const xnode* spare = nullptr;
  if (((k == T_PARAM || k == T_SPARAM || k == T_SET) &&
       !defines_values(target->L.x)) ||
      symvar)
    spare = target->L.x;
  if (process1(nullptr, spare)) return;
  if (!allowed(k, target)) return;
  switch (k) {
    case T_PARAM:
    case T_SPARAM:
    case T_SET:
      break;
    case T_VAR:
    case T_CON:
    case T_OBJ:
    case T_PROB:
      // Problems hold no values of their own: with or without an
      // indexing there is nothing to assign.
      if ((!ix || k == T_PROB) && !symvar && ungenerated(k, target->L.x)) {
        error(0, "Cannot assign a value to ungenerated %s %s.", kind_word(k),
              target->L.x->name->name);
        end_all_contexts();
        return;
      }
      if (symvar)
        let_symvar(ix, target, static_cast<expr**>(value), xr);
      else
        let_current(ix, target, static_cast<expr**>(value), xr);
      return;
    case T_COMPL:
      error(0, "let is not implemented yet for complementarity constraint %s",
            target->L.e->L.x->name->name);
      end_all_contexts();
      return;
    case T_SYNONYM:
      if (opcode(target) == OPSYNSUB) {
        let_synonym(ix, target, static_cast<expr**>(value), xr);
        return;
      }
      [[fallthrough]];
    case T_SUFFIX:
      let_suffix(ix, target, static_cast<expr**>(value), xr);
      return;
    case T_OTHER:
      error(0, "let is not implemented yet for %s%s",
            k == T_SYNONYM ? "synonym " : "", target_text(target).c_str());
      end_all_contexts();
      return;
  }

  xnode2* d = static_cast<xnode2*>(target->L.x);
  // The value as the target takes it: a number for a numeric param, a
  // symbol or string for a symbolic one.
  expr** pv = static_cast<expr**>(value);
  set** ps = static_cast<set**>(value);
  // Run again by a loop with nothing compiled since: the compiled form
  // kept from the last run serves (hold_compiled below).
  bool held = compiled_held(xr);
  if (!is_set && !held) {
    // A condition is 1 or 0 either way.
    // A list in parentheses is no value of either kind.
    *pv = not_tuple(*pv);
    bool cond = is_logical(*pv);
    if (k == T_PARAM && (cond || !has_flag(*pv, EF_NUMERIC)))
      *pv = make_numeric(*pv);
    else if (k == T_SPARAM && (cond || has_flag(*pv, EF_NUMERIC)))
      *pv = make_symbolic(*pv);
  }
  expr** psub = nullptr;
  if (opcode(target) == OPXNODE) {
    if (target->R.e) psub = &target->R.e;
  } else if (d->kind & 1) {
    psub = &target->R.e;
  }

  dep_note(d->num);
  TVA* t;
  if (held) {
    t = new_tva();
    for (int i = 0; i < dac.n; ++i) dac.mark[dac.list[i]] = 0;
  } else {
    compile_start();
    if (ix) ss_setup(ix, nullptr);
    if (is_set)
      smri(ps, 1);
    else
      mri(pv, 1);
    if (psub) mri(psub, 1);
    if (ix) ss_teardown(ix);
    t = compile_end(xr);
  }
  tva_hold h{t};

  let_changes ch;
  ch.d = d;
  symbol* tuple[TUPMAX];
  // One assignment in context c.
  auto assign = [&](TVA* c) {
    expr* sub = psub ? *psub : nullptr;
    if (sub) letsub(sub, d, c, 1, tuple);
    switch (k) {
      case T_PARAM:
        store_num(static_cast<param*>(d), sub, tuple, eval_num(*pv, c), ch);
        break;
      case T_SPARAM:
        store_sym(static_cast<param*>(d), sub, tuple, symbolic_value(*pv, c),
                  ch);
        break;
      default:
        store_set(static_cast<setdcl*>(d), sub, tuple, *ps, c, ch);
    }
  };
  // The private recovery point: what was assigned before an error is
  // recorded as changed, then the error goes on.
  assign_each(ix, h, ch, assign);

  // The values checked at once: the declaration is generated again now.
  if (ch.any && let_domain_check && has_checks(d)) {
    if (d->xr.stamp > 0) d->xr.stamp = -1.0;
    cmdxreset(xr, nullptr);
    dep_note(d->num);
    xcg(0);
    return;
  }
  // A number or symbol assigned without an indexing: the compiled form is
  // kept for the next run (the executor undoes it unless a loop runs).
  if (!ix && !is_set && xr) hold_compiled(xr);
}

void let_read(set_spec* ix, expr* items, int all, xrecomp* xr) {
  struct target {
    param* d;
    expr** psub;
    bool sym;
    let_changes ch;
  };
  std::vector<target> ts;
  for (expr* e = items; e; e = all ? e->next : nullptr) {
    expr* t = e->R.e;
    target_kind k = classify(t);
    if (k != T_PARAM && k != T_SPARAM) {
      error(0, "invalid read item(s)");
      bailout();
    }
    if (!allowed(k, t)) bailout();
    target x;
    x.d = static_cast<param*>(t->L.x);
    x.psub = (x.d->kind & 1) ? &t->R.e : nullptr;
    x.sym = k == T_SPARAM;
    x.ch.d = x.d;
    ts.push_back(x);
  }
  if (process1(nullptr, ts.size() == 1 ? ts[0].d : nullptr)) bailout();
  compile_start();
  if (ix) ss_setup(ix, nullptr);
  for (target& x : ts)
    if (x.psub) mri(x.psub, 1);
  if (ix) ss_teardown(ix);
  tva_hold h{compile_end(xr)};
  struct all_changes {
    std::vector<target>* ts;
    void record() {
      for (target& x : *ts) x.ch.record();
    }
  } ch{&ts};
  symbol* tuple[TUPMAX];
  auto assign = [&](TVA* c) {
    for (target& x : ts) {
      expr* sub = x.psub ? *x.psub : nullptr;
      read_value v = read_next(x.sym);
      if (sub) letsub(sub, x.d, c, 1, tuple);
      if (x.sym)
        store_sym(x.d, sub, tuple, v.sym, x.ch);
      else
        store_num(x.d, sub, tuple, v.num, x.ch);
    }
  };
  assign_each(ix, h, ch, assign);
}

void check_outargs(xnode* x, Outarg* chain, TVA* tva) {
  uint32_t k = x->kind & ~1u;
  if (k != DK_PARAM && k != DK_VAR && k != DK_CON) return;
  for (Outarg* o = chain; o; o = o->next)
    if (o->s) {
      mgwhere(tva);
      Fprintf(Stderr, "Cannot assign %Q to %s.\n", o->s->text(),
              sub_name(x, x->kind & 1 ? o->sub : nullptr));
      bailout();
    }
}

namespace {

// The current values of a variable (primal) or constraint (dual) a table
// read delivered: members that are not generated are passed over.
void assign_current(convar* d, Outarg* chain, TVA* tva) {
  if (d->ninst < 0)
    badthing(tva, (d->kind & ~1u) == DK_VAR ? "ungenerated variable"
                                            : "ungenerated constraint",
             d, nullptr);
  current_changes ch;
  struct record_on_exit {
    current_changes& ch;
    ~record_on_exit() { ch.record(); }
  } rec{ch};
  let_changes& c = ch.of(d);
  for (Outarg* o = chain; o; o = o->next) {
    int32_t i = 0;
    if (d->kind & 1)
      i = d->gen.members ? static_cast<int32_t>(
                               set_lookup(d->gen.members, o->sub))
                         : -1;
    if (i >= 0 && i < d->gen.member_count) store_current(d, i, o->v, c);
  }
}

}  // namespace

void assign_outargs(xnode* x, Outarg* chain, TVA* tva) {
  uint32_t k = x->kind & ~1u;
  if (k == DK_VAR || k == DK_CON) {
    assign_current(static_cast<convar*>(x), chain, tva);
    return;
  }
  if (k != DK_PARAM && k != DK_SPARAM) {
    error(1, "unexpected type %d in assign_outargs", x->kind);
    return;
  }
  param* p = static_cast<param*>(x);
  if (builtin(p, false)) return;
  let_changes ch;
  ch.d = p;
  bool indexed = p->kind & 1;
  // A non-null subscript stands for the compiled look-up of let: the
  // member is found or added from the tuple.
  expr* sub = indexed ? reinterpret_cast<expr*>(p) : nullptr;
  struct record_on_exit {
    let_changes& ch;
    ~record_on_exit() { ch.record(); }
  } rec{ch};
  for (Outarg* o = chain; o; o = o->next) {
    if (k == DK_PARAM) {
      store_num(p, sub, o->sub, o->v, ch);
    } else {
      symval v{nullptr, o->s};
      o->s = nullptr;
      if (!v.str) v.sym = Number(o->v);
      store_sym(p, sub, o->sub, v, ch);
    }
  }
}

void filled_in_bulk(xnode2* d) {
  if (d->xr.stamp > 0) d->xr.stamp = -1.0;
  let_changes ch;
  ch.d = d;
  ch.any = true;
  ch.record();
}

bool suffix_assign(xnode2* d, int32_t member, suffix* s, double x) {
  if (!store_suffix({d, member}, s, x)) return false;
  rc &= ~3;
  return true;
}

void let_cmd(cmd_fields* c) {
  cmd_arg* f = c->f();
  let(f[0].ss, f[1].e, &f[2], c->fmt[2] == 's', c->xrp);
}

// ---- update data and reset data --------------------------------------------

namespace {

const char* const action_word[2] = {"reset", "update"};

// The declaration a name is bound to, or null.
xnode* declared(symbol* name) {
  void* b = name ? name->binding : nullptr;
  if (!b || !dac.bynum || is_keyword_row(b)) return nullptr;
  // Keyword rows, numbers and dummies are bound too: only declaration
  // kinds lead to a declaration record.
  uint32_t k = bound_kind(b);
  if (k < DK_VAR || k >= DK_NOBIND || k == DK_DUMMY) return nullptr;
  xnode* x = static_cast<xnode*>(b);
  if (x->num < 0 || x->num >= dac.next || dac.bynum[x->num] != x)
    return nullptr;
  return x;
}

// Kinds that hold data.
bool holds_data(const xnode* d) {
  switch (d->kind) {
    case DK_PARAM:
    case DK_PARAMI:
    case DK_SPARAM:
    case DK_SPARAMI:
    case DK_SET:
    case DK_SETI:
    case DK_VAR:
    case DK_VARI:
    case DK_SVAR:
    case DK_SVARI:
    case DK_CON:
    case DK_CONI:
      return true;
  }
  return false;
}

// Whether d's values come from an expression of the model.
bool model_defined(const xnode* d) {
  switch (d->kind & ~1u) {
    case DK_VAR:
    case DK_SVAR:
      return (d->flags & VF_DEFINED) != 0;
  }
  return defines_values(d);
}

// Whether d holds any data now.
bool has_data(const xnode* d) {
  const xnode2* x = static_cast<const xnode2*>(d);
  if (d->kind == DK_SET) {
    const set* v = static_cast<const setdcl*>(d)->value;
    return v && v->nmem >= 0;
  }
  return x->nvals > 0 || (x->dflags & DF_DATADFLT);
}

// Out of date: generated again at its next use.
void out_of_date(xnode* d) {
  if (d->xr.stamp != 0) d->xr.stamp = -1.0;
  ts_update(d, 0);
}

// The data of d forgotten.
void forget(xnode2* d) {
  fel_clear();
  out_of_date(d);
  if (d->pending) {
    sdelete(d->pending);
    d->pending = nullptr;
  }
  if (d->kind == DK_SET) {
    setdcl* s = static_cast<setdcl*>(d);
    set* v = fresh_members(s);
    v->nmem = -1;  // as declared: no data yet
    sud_notify(s);
  } else {
    val_drop(d, 1);
    if (d->kind == DK_SETI) sud_notify(static_cast<setdcl*>(d));
  }
  if ((d->kind & ~1u) == DK_PARAM || (d->kind & ~1u) == DK_SPARAM) {
    param* p = static_cast<param*>(d);
    if (p->dflags & DF_DATADFLT) {
      // The default from data goes; the model's own comes back.  The
      // compiled form goes first: it may have put a shared node in the slot.
      uncompile(p);
      edelete(p->dflt);
      p->dflt = p->mdflt;
      p->mdflt = nullptr;
    }
  }
  d->dflags &= ~(DF_UPDATE | DF_DATADFLT);
}

// Data of d may be replaced by new data.
void allow_update(xnode2* d) {
  if (d->kind == DK_SETI) {
    for (int32_t i = 0; i < d->nvals; ++i) *stat_of(d, i) |= MS_FROMDFLT;
  } else if ((d->kind & ~1u) == DK_PARAM || (d->kind & ~1u) == DK_SPARAM) {
    // Values computed from the default give way to the new data (they are
    // computed again where none come).
    val_drop(d, 0);
  }
  d->dflags |= DF_UPDATE;
}

// Whether any member of the variable or constraint d has a current value.
bool has_current(const convar* d) {
  const cvgen& g = d->gen;
  if (!g.cur_vals || !g.member_status) return false;
  int32_t n = d->kind & 1 ? std::max(g.member_count, 0) : 1;
  if (d->flags & CV_TWOSLOTS) n *= 2;
  for (int32_t i = 0; i < n; ++i)
    if (g.member_status[i] & GS_HASVAL) return true;
  return false;
}

// reset data of a variable or constraint: its current values go, so that
// the next solve starts from the declared initial values.
void forget_current(convar* d) {
  cvgen& g = d->gen;
  int32_t n = d->kind & 1 ? std::max(g.member_count, 0) : 1;
  if (d->flags & CV_TWOSLOTS) n *= 2;
  AC* ac = cur_ac;
  bool is_var = (d->kind & ~1u) == DK_VAR;
  for (int32_t i = 0; i < n; ++i) {
    if (!(g.member_status[i] & GS_HASVAL)) continue;
    g.member_status[i] &= static_cast<uint8_t>(~GS_HASVAL);
    // The collected problem's starting value follows, as for let.
    int32_t j = collected_slot(d, i, ac);
    if (j < 0) continue;
    double v = member_value(d, i);
    if (is_var && ac->var_init_val) ac->var_init_val[j] = v;
    if (!is_var && ac->con_init_dual) ac->con_init_dual[j] = v;
  }
  ts_update(d, 1);
  zap_cvals();
}

// ru_item's treatment of d from its step on functions; messages only when
// loud.
void ru_one(int action, xnode* d, bool loud) {
  if (d->kind == DK_FUNCTION || d->kind == DK_FUNC39) {
    // Functions keep no state of their own yet.
    return;
  }
  if (!holds_data(d)) {
    if (loud) error(0, "%s has nothing to %s", xnode_name(d),
                    action_word[action]);
    return;
  }
  if (model_defined(d)) {
    double old = d->xr.stamp;
    if (old != 0) {
      d->xr.stamp = -1.0;
      ts_update(d, 0);
    }
    if (trans_state > 1 && Pd_trans_state && old >= Pd_trans_state->stamp - 1)
      set_trans_state(1);
    return;
  }
  xnode2* x = static_cast<xnode2*>(d);
  rc &= ~3;
  x->dflags &= ~DF_READ;
  uint32_t k = d->kind & ~1u;
  if (k == DK_VAR || k == DK_CON) {
    // Their data are their current values.
    convar* v = static_cast<convar*>(d);
    if (!has_current(v)) return;
    if (action == 1) {
      savesol(v);
      x->dflags |= DF_UPDATE;
    } else {
      forget_current(v);
    }
    return;
  }
  if (d->kind == DK_SET) x->dflags |= DF_OVERDFLT;
  if (!has_data(d)) {
    if (d->xr.stamp != 0) d->xr.stamp = -1.0;
    return;
  }
  if (action == 1)
    allow_update(x);
  else
    forget(x);
}

}  // namespace

void ru_item(int action, symbol* name, xnode* d) {
  if (!d) d = declared(name);
  if (!d && name && name->binding &&
      bound_kind(name->binding) == DK_BUILTINSET) {
    error(0, "Ignoring \"%s %s\" because %s is builtin.", action_word[action],
          name->name, name->name);
    return;
  }
  if (!d) {
    error(0, "%s is not defined.", name ? name->name : "?");
    return;
  }
  if (d->num < N_System_Pars) {
    error(0, "Ignoring \"%s %s\" because %s is builtin.",
          action_word[action], xnode_name(d), xnode_name(d));
    return;
  }
  ru_one(action, d, true);
}

void update(int action) {
  if (action == 0) {
    raise_nextgenlev(nextgenlev);
    reset_ts();
    sufreset(Sstatus);
    forget_solution();
  }
  for (xnode* d = decls; d; d = d->next)
    if (d->num >= N_System_Pars) ru_one(action, d, false);
}

void ru_cmd(cmd_fields* c) {
  cmd_arg* f = c->f();
  int action = static_cast<int>(f[0].i);
  list* names = f[1].l;
  if (!names) {
    update(action);
    return;
  }
  for (list* l = names; l; l = l->next) ru_item(action, l->item.sym, nullptr);
}

}  // namespace vexo

// ---- drop, restore, fix and unfix -------------------------------------------

namespace vexo {

namespace {

// Status slots of d's generated members (two per member of a
// complementarity constraint).
int32_t slot_count(const convar* d) {
  int32_t n = std::max(d->gen.member_count, 0);
  return d->flags & CV_TWOSLOTS ? 2 * n : n;
}

// The members of a problem change: what presolve and the last collection
// knew of them is out of date.
void membership_changed() {
  if (cur_pinfo) {
    zap_pinfo(cur_pinfo);
    cur_pinfo = nullptr;
  }
  if (trans_state > 1) set_trans_state(1);
}

// The whole of d dropped or fixed (restore: put back); true when anything
// changed.
bool whole_decl(convar* d, bool restore) {
  d->flags |= PF_EXPLICIT2;
  ++n_explicit;
  cvgen& g = d->gen;
  int32_t n = slot_count(d);
  // A pending regeneration makes the members' states stale; the marks of
  // stored values stay, as the values do (regeneration moves both).
  if (d->xr.stamp < 0 && g.member_status)
    for (int32_t i = 0; i < n; ++i) g.member_status[i] &= GS_HASVAL;
  if (!restore) {
    if (d->flags & CV_ALLDROPPED) return false;
    d->flags |= CV_ALLDROPPED;
    g.state_count = d->kind & 1 ? std::max(g.member_count, 0) : 1;
    if (g.member_status)
      for (int32_t i = 0; i < n; ++i) g.member_status[i] |= GS_DROPPED;
    return true;
  }
  // Members dropped one by one are put back too.
  if (!(d->flags & CV_ALLDROPPED) && g.state_count <= 0) return false;
  d->flags &= ~CV_ALLDROPPED;
  g.state_count = 0;
  if (g.member_status)
    for (int32_t i = 0; i < n; ++i)
      g.member_status[i] &= static_cast<uint8_t>(~GS_DROPPED);
  return true;
}

// Member i of d dropped or fixed (restore: put back); true when its state
// changed.
bool one_member(convar* d, int32_t i, bool restore) {
  cvgen& g = d->gen;
  if (!g.member_status) figalloc(d);
  bool two = d->flags & CV_TWOSLOTS;
  int32_t s = two ? 2 * i : i;
  bool dropped = g.member_status[s] & GS_DROPPED;
  for (int32_t j = s; j <= s + (two ? 1 : 0); ++j) {
    g.member_status[j] |= PS_EXPLICIT;
    if (dropped == restore) g.member_status[j] ^= GS_DROPPED;
  }
  if (dropped != restore) return false;
  g.state_count += restore ? -1 : 1;
  if (restore) d->flags &= ~CV_ALLDROPPED;
  return true;
}

// dropadd for one target; true when anything changed.
bool dropadd1(bool restore, set_spec* ix, expr* target, expr** value,
              bool fix, xrecomp* xr) {
  auto* d = static_cast<convar*>(target->L.x);
  if (fix && (d->flags & VF_DEFINED)) {
    if (!restore) refuse("Can't fix defined variable %s", d->name->name);
    return false;
  }
  bool has_value = value && *value;
  // An indexed declaration named without a subscript means all of it.
  expr** psub = (d->kind & 1) && target->R.e ? &target->R.e : nullptr;
  if (has_value && (d->kind & 1) && !psub) {
    mustsub(d->name, 1);
    return false;
  }
  if (!psub && !ix && !has_value) return whole_decl(d, restore);
  if (!xcg(0)) {
    if (d->kind & 1 && d->gen.state_count >= d->gen.member_count &&
        d->gen.member_count > 0)
      d->flags |= CV_ALLDROPPED;
    return false;
  }
  bool members = psub || ix;
  int changes = 0;
  // The member a context names (0 for a scalar); the member's state set.
  auto member = [&](TVA* c) {
    if (d->ninst < 0)
      badthing(c, fix ? "ungenerated variable" : "ungenerated constraint", d,
               nullptr);
    int32_t i = 0;
    if (psub) {
      i = static_cast<int32_t>(eval(*psub, c).i);
      if (i < 0) badsub2(*psub, d, c);
    }
    return i;
  };
  try {
    if (has_value) {
      // fix x := v: the value becomes x's current value first; one
      // compilation of the subscript and the value serves both steps.
      current_changes ch;
      each_member(ix, d->num, value, psub, xr, ch, [&](TVA* c) {
        int32_t i = member(c);
        store_current(d, i, eval_num(*value, c), ch.of(d));
        if (members && one_member(d, i, restore)) ++changes;
      });
    } else {
      dep_note(d->num);
      compile_start();
      if (ix) ss_setup(ix, nullptr);
      if (psub) mri(psub, 1);
      if (ix) ss_teardown(ix);
      tva_hold h{compile_end(xr)};
      auto one = [&](TVA* c) {
        if (one_member(d, member(c), restore)) ++changes;
      };
      if (!ix) {
        one(h.t);
      } else if (TVA* c = ss_begin(ix, h.t)) {
        do one(c);
        while (ss_continue(ix, c));
      }
      del_tva(h.t);
      h.t = nullptr;
    }
  } catch (const command_abort&) {
    if (changes) membership_changed();
    throw;
  }
  if (!members) return whole_decl(d, restore);
  d->flags |= PF_EXPLICIT1;
  ++n_explicit;
  if (d->kind & 1 && d->gen.member_count > 0 &&
      d->gen.state_count >= d->gen.member_count)
    d->flags |= CV_ALLDROPPED;
  return changes > 0;
}

}  // namespace

void dropadd(int k, set_spec* ix, expr* target, expr** value, int fix,
             xrecomp* xr) {
  if (need_prob & 1) get_prob();
  bool changed = false;
  if (target) {
    changed = dropadd1(k != 0, ix, target, value, fix != 0, xr);
  } else {
    auto each = [&](int cls) {
      for (int32_t i = 0; i < xclass[cls].n; ++i) {
        auto* d = static_cast<convar*>(xclass[cls].a[i]);
        if (fix && (d->flags & VF_DEFINED)) continue;
        if (whole_decl(d, k != 0)) changed = true;
      }
    };
    if (fix) {
      each(XC_ALLVARS);
    } else {
      each(XC_CONS);
      each(XC_OBJS);
      each(XC_LOGCONS);
    }
  }
  if (changed) membership_changed();
}

void objective(convar* chosen, expr* sub, xrecomp* xr) {
  if (need_prob & 1) get_prob();
  bool indexed = chosen->kind & 1;
  int32_t pick = 0;
  if (sub) {
    if (!xcg(0)) return;
    symbol* tuple[TUPMAX];
    int n = chosen->indexing ? chosen->indexing->arity : 0;
    cmd_tuple(sub, tuple, n, xr);
    cvgen& g = chosen->gen;
    int64_t ord = g.members ? set_lookup(g.members, tuple) : -1;
    if (ord < 0 || ord >= g.member_count) {
      tva_hold own{new_tva()};
      badsub(own.t, chosen, tuple);
    }
    pick = static_cast<int32_t>(ord);
  } else if (indexed) {
    if (!xcg(0)) return;
  }
  // Whether member i of d is in force now.
  auto active = [](const convar* d, int32_t i) {
    if (d->flags & CV_ALLDROPPED) return false;
    const uint8_t* st = d->gen.member_status;
    return !st || !(st[i] & GS_DROPPED);
  };
  auto count = [](const convar* d) {
    return d->kind & 1 ? std::max(d->gen.member_count, 0) : 1;
  };
  bool changed = false;
  for (int32_t k = 0; k < xclass[XC_OBJS].n; ++k) {
    auto* d = static_cast<convar*>(xclass[XC_OBJS].a[k]);
    int32_t n = count(d);
    for (int32_t i = 0; i < n && !changed; ++i)
      if (active(d, i) != (d == chosen && i == pick)) changed = true;
  }
  if (indexed && count(chosen) <= pick) changed = true;
  if (!changed) return;
  for (int32_t k = 0; k < xclass[XC_OBJS].n; ++k) {
    auto* d = static_cast<convar*>(xclass[XC_OBJS].a[k]);
    cvgen& g = d->gen;
    int32_t n = count(d);
    if (d != chosen && !(d->flags & CV_ALLDROPPED) && g.state_count < n)
      d->flags |= PF_EXPLICIT2;
    d->flags |= CV_ALLDROPPED;
    g.state_count = n;
    if (d == chosen && indexed && !g.member_status) figalloc(d);
    if (g.member_status)
      for (int32_t i = 0, m = slot_count(d); i < m; ++i)
        g.member_status[i] |= GS_DROPPED;
  }
  cvgen& g = chosen->gen;
  if (g.member_status) g.member_status[pick] &= uint8_t(~GS_DROPPED);
  g.state_count = std::max(g.state_count - 1, 0);
  chosen->flags &= ~CV_ALLDROPPED;
  chosen->flags |= indexed && count(chosen) > 1 ? PF_EXPLICIT1 : PF_EXPLICIT2;
  membership_changed();
}

void objective_run(cmd_fields* c) {
  cmd_arg* f = c->f();
  objective(static_cast<convar*>(f[0].b->binding), f[1].e, c->xrp);
}

void dropadd_run(cmd_fields* c) {
  cmd_arg* f = c->f();
  int kind = c->kind;
  bool fix = kind == CK_FIX || kind == CK_UNFIX;
  int k = kind == CK_RESTORE || kind == CK_UNFIX;
  dropadd(k, f[1].ss, f[2].e, fix ? &f[3].e : nullptr, fix, c->xrp);
}

}  // namespace vexo
