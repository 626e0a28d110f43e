// References to parameters.
#include "eval/paramref.h"

#include <cstring>

#include "compiler/recomp.h"
#include "compiler/tva.h"
#include "data/values.h"
#include "eval/evalerr.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "eval/pcheck.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/paramdcl.h"
#include "instance/ac.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

param* par_of(expr* e) { return static_cast<param*>(e->L.x); }
double* nums(param* p) { return static_cast<double*>(p->vals); }
symval* svals(param* p) { return static_cast<symval*>(p->vals); }

// A computed member of p goes in beside the data: its ordinal, marked.
int32_t add_computed(param* p, symbol* const* tuple) {
  int32_t i = val_add(p, tuple);
  *stat_of(p, i) |= MS_COMPUTED;
  // Computed values are generated data: an instance reset drops them.
  p->xr.state |= XR_GENERATED;
  return i;
}

// The value expression, or "no value for" the member.
expr* value_expr(param* p, symbol* const* tuple, TVA* tva) {
  if (!p->dflt) novalue(tva, p, tuple);
  return p->dflt;
}

// The ordinal of the member tuple of indexed p among those with a value,
// or -1.
int32_t stored(param* p, symbol* const* tuple) {
  if (!p->dindex || !p->nvals) return -1;
  return static_cast<int32_t>(
      set_lookup(p->dindex, const_cast<symbol**>(tuple)));
}

// The member of indexed p that the look-up missed: the subscript is
// checked against p's indexing, and the member computed.  Its ordinal.
int32_t missed(param* p, symbol* const* tuple, TVA* tva) {
  // A look-up kept from before the member was computed misses it.
  int32_t k = stored(p, tuple);
  if (k >= 0) return k;
  if (!p->indexing ||
      set_in(p->indexing, const_cast<symbol**>(tuple), tva) == NOT_MEMBER)
    badthing(tva, "invalid subscript", p, tuple);
  value_expr(p, tuple, tva);
  if (p->type & PT_SYMBOLIC)
    sparsubdflt(p, tuple, tva);
  else
    parsubdflt(p, tuple, tva);
  return stored(p, tuple);
}

// The ordinal of the member that reference e names: the look-up's answer,
// or the member computed.
int32_t member_of(expr* e, TVA* tva) {
  expr* sub = e->R.e;
  int32_t k = static_cast<int32_t>(eval(sub, tva).i);
  if (k >= 0) return k;
  symbol* t[TUPMAX];
  param* p = par_of(e);
  int n = p->indexing ? p->indexing->arity : 0;
  std::memcpy(t, getbadsub(sub, tva), sizeof(symbol*) * size_t(n));
  return missed(p, t, tva);
}

// The symbol of v, interned from its string when it has none.
symval* with_sym(symval* v) {
  if (!v->sym) v->sym = Symbol(v->str->text(), 1);
  return v;
}

// The string of v, made from its symbol when it has none, one reference
// more.
cstr* str_of(symval* v) {
  if (!v->str) v->str = new_cstring(v->sym->name);
  return ref_cstr(v->str);
}

}  // namespace

symval symbolic_value(expr* def, TVA* c) {
  if (has_flag(def, EF_STRING)) return {nullptr, eval_str(def, c)};
  return {eval_sym(def, c), nullptr};
}

// ---- Numeric params ---------------------------------------------------------

namespace {

double pardflt(param* p, TVA* tva) {
  expr* def = value_expr(p, nullptr, tva);
  cur_member cm(tva, p, nullptr);
  double x = eval_num(def, tva);
  int32_t i = add_computed(p, nullptr);
  nums(p)[i] = x;
  do_pcheck(p->checks, p, nullptr, x, tva);
  return x;
}

}  // namespace

double parsubdflt(param* p, symbol* const* tuple, TVA* tva) {
  expr* def = value_expr(p, tuple, tva);
  cur_member cm(tva, p, tuple);
  double x;
  if (is_recdef(def)) {
    rec_member r(def, p, tuple, tva);
    x = eval_num(r.body(), r.context());
    int32_t i = add_computed(p, tuple);
    nums(p)[i] = x;
    do_pcheck(r.checks(), p, tuple, x, r.context());
    ss_end1(r.indexing(), r.context());
  } else {
    TVA* c = ss_begin1(p->indexing, tva, tuple);
    x = eval_num(def, c);
    int32_t i = add_computed(p, tuple);
    nums(p)[i] = x;
    do_pcheck(p->checks, p, tuple, x, c);
    ss_end1(p->indexing, c);
  }
  return x;
}

eval_result f_OPPAR(expr* e, TVA* tva) {
  param* p = par_of(e);
  if (p->nvals) return {.d = nums(p)[0]};
  return {.d = pardflt(p, tva)};
}

eval_result f_OPPARSUB(expr* e, TVA* tva) {
  int32_t k = member_of(e, tva);  // before the array: it may move
  return {.d = nums(par_of(e))[k]};
}

double par_value(param* p, symbol* const* tuple, TVA* tva) {
  if (!(p->kind & 1)) return p->nvals ? nums(p)[0] : pardflt(p, tva);
  int32_t k = stored(p, tuple);
  if (k < 0) k = missed(p, tuple, tva);
  return nums(p)[k];
}

// ---- Symbolic params ------------------------------------------------------

symval* spardflt(param* p, TVA* tva) {
  if (p->nvals) return svals(p);
  expr* def = value_expr(p, nullptr, tva);
  cur_member cm(tva, p, nullptr);
  symval v = symbolic_value(def, tva);
  int32_t i = add_computed(p, nullptr);
  svals(p)[i] = v;
  do_spcheck(p->checks, p, nullptr, &svals(p)[i], tva);
  return &svals(p)[i];
}

symval* sparsubdflt(param* p, symbol* const* tuple, TVA* tva) {
  expr* def = value_expr(p, tuple, tva);
  // An error inside a symbolic member's computation names the param alone.
  cur_member cm(tva, p, nullptr);
  int32_t i;
  if (is_recdef(def)) {
    rec_member r(def, p, tuple, tva);
    symval v = symbolic_value(r.body(), r.context());
    i = add_computed(p, tuple);
    svals(p)[i] = v;
    do_spcheck(r.checks(), p, tuple, &svals(p)[i], r.context());
    ss_end1(r.indexing(), r.context());
  } else {
    TVA* c = ss_begin1(p->indexing, tva, tuple);
    symval v = symbolic_value(def, c);
    i = add_computed(p, tuple);
    svals(p)[i] = v;
    do_spcheck(p->checks, p, tuple, &svals(p)[i], c);
    ss_end1(p->indexing, c);
  }
  return &svals(p)[i];
}

symval* f_OPSPARsv(expr* e, TVA* tva) { return spardflt(par_of(e), tva); }

symval* f_OPSPARSUBsv(expr* e, TVA* tva) {
  int32_t k = member_of(e, tva);
  return &svals(par_of(e))[k];
}

eval_result f_OPSPAR(expr* e, TVA* tva) {
  return {.sp = &with_sym(f_OPSPARsv(e, tva))->sym};
}
eval_result f_OPSPARSUB(expr* e, TVA* tva) {
  return {.sp = &with_sym(f_OPSPARSUBsv(e, tva))->sym};
}
eval_result f_OPSPARSTR(expr* e, TVA* tva) {
  return {.cs = str_of(f_OPSPARsv(e, tva))};
}
eval_result f_OPSPARSUBSTR(expr* e, TVA* tva) {
  return {.cs = str_of(f_OPSPARSUBsv(e, tva))};
}

symval* spar_value(param* p, symbol* const* tuple, TVA* tva) {
  if (!(p->kind & 1)) return spardflt(p, tva);
  int32_t k = stored(p, tuple);
  if (k < 0) k = missed(p, tuple, tva);
  return &svals(p)[k];
}

// ---- Misuse -----------------------------------------------------

eval_result f_OPERRSUB(expr* e, TVA* tva) {
  if (!mgwhere(tva))
    Fprintf(Stderr, "wrong number of subscripts for %s\n", e->L.x->name->name);
  bailout();
}

}  // namespace vexo
