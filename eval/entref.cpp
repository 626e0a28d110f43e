// References to generated entities.
#include "eval/entref.h"

#include "data/values.h"
#include "eval/dotvalue.h"
#include "eval/evalerr.h"
#include "eval/set.h"
#include "eval/solval.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/suffix.h"
#include "frontend/vardcl.h"
#include "compiler/tva.h"
#include "instance/ac.h"
#include "instance/genmod.h"
#include "instance/members.h"
#include "instance/renum.h"
#include "instance/sufdecl.h"
#include "instance/sufinit.h"
#include "instance/sufstore.h"
#include "instance/suftab.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

// "ungenerated <kind> <name>" and the end of the command when d (a
// variable, constraint or objective) has no generated members yet.
void need_generated(TVA* tva, xnode* d) {
  uint32_t k = d->kind & ~1u;
  const char* what = k == DK_VAR || k == DK_SVAR ? "ungenerated variable"
                     : k == DK_CON               ? "ungenerated constraint"
                     : k == DK_OBJ               ? "ungenerated objective"
                                                 : nullptr;
  if (!what) {
    if (k == DK_PROB) return;  // problems carry suffixes without instances
    bug("in ungened: kind %u", d->kind);
  }
  // A defined variable's members are numbered as they are generated: its
  // definition may name the variable itself (presolve keeps that row).
  if (static_cast<convar*>(d)->ninst < 0 &&
      !(k == DK_VAR && tva && tva->ac && tva->ac->gen_decl == d))
    badthing(tva, what, d, nullptr);
}

// The ordinal the look-up sub gives; a subscript without a member goes to
// the invalid-subscript reporter in use.
int32_t ordinal(expr* sub, xnode* d, TVA* tva) {
  int32_t k = static_cast<int32_t>(eval(sub, tva).i);
  if (k < 0) badsub2(sub, d, tva);
  return k;
}

convar* cv_of(expr* e) { return static_cast<convar*>(e->L.x); }

eval_result number_of(expr* e, TVA* tva, bool sub) {
  convar* d = cv_of(e);
  need_generated(tva, d);
  int32_t k = sub ? ordinal(e->R.e, d, tva) : 0;
  return {.i = first_num(d) + k};
}

// The reporter of invalid subscripts while a defined variable's subscript
// is evaluated, the ordinary one again afterwards.
class recvar_subscript {
 public:
  recvar_subscript() { badsub1 = badrsub; }
  ~recvar_subscript() { badsub1 = badsub; }
  recvar_subscript(const recvar_subscript&) = delete;
  recvar_subscript& operator=(const recvar_subscript&) = delete;
};

// The entity of a suffix reference and the declared suffix.
xnode2* sufent(expr* e) { return static_cast<xnode2*>(e->L.e->L.x); }
suffix* sufdecl(expr* e) { return static_cast<suffix*>(e->L.e->R.p); }

double suffix_value(expr* e, TVA* tva, bool sub) {
  xnode2* d = sufent(e);
  copy_sufs(d, tva);
  need_generated(tva, d);
  int32_t k = sub ? ordinal(e->R.e, d, tva) : 0;
  return sufvalue(d, sufdecl(e), k, tva);
}

// The symbolic suffix forms yield a counted string (their nodes say so):
// the name the suffix's table gives the value, a new reference.
eval_result suffix_name(expr* e, TVA* tva, bool sub) {
  return {.cs = cs_sufvalue(suffix_value(e, tva, sub), &sufdecl(e)->table)};
}

}  // namespace

symbol** symvar_value(var* v, int32_t k, TVA* tva) {
  if (v->vals && k < v->nvals) {
    symbol** cell = static_cast<symbol**>(v->vals) + k;
    if (*cell) return cell;
  }
  if (set* s = v->domain) {
    if (s->nmem < 0) set_genall(s, tva);
    for (setmem* m = s->first; m; m = m->next)
      if (m->ord >= 0) return m->tup();
  }
  bug("Out of range val_num = %d for %s", 0, v->name->name);
}

symbol* value_symbol(symval v) {
  if (!v.str) return v.sym;
  symbol* s = Symbol(v.str->text(), 1);
  zap_cstr(&v.str);
  return s;
}

int64_t svar_offset(var* v, symbol* const* tuple, symbol* value, TVA* tva) {
  int64_t k = set_in(v->domain, &value, tva);
  if (k != NOT_MEMBER) return k;
  error(0, "Cannot assign %Q to %s\n\t-- not in declared domain.",
        value->name, sub_name(v, tuple));
  bailout();
}

eval_result f_OPVAR(expr* e, TVA* tva) { return number_of(e, tva, false); }
eval_result f_OPVARSUB(expr* e, TVA* tva) { return number_of(e, tva, true); }
eval_result f_OPCON(expr* e, TVA* tva) { return number_of(e, tva, false); }
eval_result f_OPCONSUB(expr* e, TVA* tva) { return number_of(e, tva, true); }

eval_result f_OPRECVAR(expr* e, TVA* tva) {
  convar* d = cv_of(e);
  need_generated(tva, d);
  int32_t k;
  {
    recvar_subscript r;
    k = ordinal(e->R.e, d, tva);
  }
  int32_t n = first_num(d) + k;
  if (n < recvar_lim) return {.i = n};
  badrsub(tva, d, getbadsub(e->R.e, tva));
}

eval_result f_OPSYMVVAL(expr* e, TVA* tva) {
  var* v = static_cast<var*>(e->L.x);
  need_generated(tva, v);
  return {.sp = symvar_value(v, 0, tva)};
}

eval_result f_OPSYMVVALSUB(expr* e, TVA* tva) {
  var* v = static_cast<var*>(e->L.x);
  need_generated(tva, v);
  int32_t k = ordinal(e->R.e, v, tva);
  return {.sp = symvar_value(v, k, tva)};
}

eval_result f_OPPRIMAL(expr* e, TVA* tva) {
  var* v = static_cast<var*>(e->L.x);
  need_generated(tva, v);
  return {.d = var_value(v, 0, tva, false)};
}

eval_result f_OPPRIMALSUB(expr* e, TVA* tva) {
  var* v = static_cast<var*>(e->L.x);
  need_generated(tva, v);
  return {.d = var_value(v, ordinal(e->R.e, v, tva), tva, true)};
}

eval_result f_OPDUAL(expr* e, TVA* tva) {
  constr* c = static_cast<constr*>(e->L.x);
  need_generated(tva, c);
  return {.d = con_dual(c, 0, tva)};
}

eval_result f_OPDUALSUB(expr* e, TVA* tva) {
  constr* c = static_cast<constr*>(e->L.x);
  need_generated(tva, c);
  return {.d = con_dual(c, ordinal(e->R.e, c, tva), tva)};
}

namespace {

// The body value of a logical constraint's or objective's member.
eval_result body_value(expr* e, TVA* tva, bool sub) {
  constr* c = static_cast<constr*>(e->L.x);
  need_generated(tva, c);
  return {.d = co_val(c, sub ? ordinal(e->R.e, c, tva) : 0, tva)};
}

}  // namespace

eval_result f_OPLCON(expr* e, TVA* tva) { return body_value(e, tva, false); }
eval_result f_OPLCONSUB(expr* e, TVA* tva) { return body_value(e, tva, true); }
eval_result f_OPOBJVAL(expr* e, TVA* tva) { return body_value(e, tva, false); }
eval_result f_OPOBJVALSUB(expr* e, TVA* tva) {
  return body_value(e, tva, true);
}

namespace {

// The built-in suffix of a dot node e (L: a node whose L is the entity
// and R the code; R: the subscript of the SUB forms): the entity, which
// must be generated, the code and the member.
struct dot_ref {
  xnode2* d;
  int code;
  int32_t k;
};

dot_ref dot_of(expr* e, TVA* tva, bool sub) {
  auto* d = static_cast<xnode2*>(e->L.e->L.x);
  need_generated(tva, d);
  return {d, e->L.e->R.i, sub ? ordinal(e->R.e, d, tva) : 0};
}

eval_result dot_number(expr* e, TVA* tva, bool sub) {
  dot_ref r = dot_of(e, tva, sub);
  return {.d = dotvalue(r.code, r.d, r.k, tva)};
}

eval_result dot_text(expr* e, TVA* tva, bool sub) {
  dot_ref r = dot_of(e, tva, sub);
  return {.cs = sdotvalue(r.code, r.d, r.k, tva)};
}

}  // namespace

eval_result f_OPDOT(expr* e, TVA* tva) { return dot_number(e, tva, false); }
eval_result f_OPDOTSUB(expr* e, TVA* tva) { return dot_number(e, tva, true); }
eval_result f_OPDOTSYM(expr* e, TVA* tva) { return dot_text(e, tva, false); }
eval_result f_OPDOTSUBSYM(expr* e, TVA* tva) {
  return dot_text(e, tva, true);
}

eval_result f_OPSUF(expr* e, TVA* tva) {
  return {.d = suffix_value(e, tva, false)};
}
eval_result f_OPSUFSUB(expr* e, TVA* tva) {
  return {.d = suffix_value(e, tva, true)};
}
eval_result f_OPSUFSYM(expr* e, TVA* tva) { return suffix_name(e, tva, false); }
eval_result f_OPSUFSUBSYM(expr* e, TVA* tva) {
  return suffix_name(e, tva, true);
}

}  // namespace vexo
