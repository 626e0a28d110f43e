// Membership, set-relation, counting and position evaluation routines.
#include "eval/settest.h"

#include "eval/set.h"
#include "frontend/decl.h"
#include "instance/members.h"
#include "support/message.h"
#include "support/symbol.h"

namespace vexo {

namespace {

eval_result truth(bool b) { return {.i = b}; }

// s, generated when it has not been.
set* generated(set* s, TVA* tva) {
  if (s->nmem < 0) set_genall(s, tva);
  return s;
}

// The tuple x yields, as a member of s.  A single symbol is copied out of
// its cell into *one first: a number's cell may move while s's class
// interns numbers of its own.
symbol** tuple_for(expr* x, const set* s, symbol** one, TVA* tva) {
  symbol** t = eval(x, tva).sp;
  if (s->arity != 1) return t;
  *one = *t;
  return one;
}

int64_t member_of(expr* x, set* s, TVA* tva) {
  symbol* one;
  return set_in(s, tuple_for(x, s, &one, tva), tva);
}

bool isin(expr* e, TVA* tva) {
  return member_of(e->L.e, e->R.s, tva) != NOT_MEMBER;
}

// Every live member of w is a member of o.
bool within(set* w, set* o, TVA* tva) {
  generated(w, tva);
  for (setmem* m = w->first; m; m = m->next)
    if (m->ord >= 0 && set_in(o, m->tup(), tva) == NOT_MEMBER) return false;
  return true;
}

}  // namespace

// ---- A member and a set --------------------------------------------------

eval_result f_OPISIN(expr* e, TVA* tva) { return truth(isin(e, tva)); }
eval_result f_OPISNOTIN(expr* e, TVA* tva) { return truth(!isin(e, tva)); }

eval_result f_OPINCHECKs(expr* e, TVA* tva) {
  symbol* s;
  if (has_flag(e, EF_STRING)) {
    // A string is a member only as the symbol of its text; a text never
    // interned names no member.
    held_cstr c(eval_str(e->L.e, tva));
    s = Symbol0(c.text());
    if (!s) return truth(false);
  } else {
    s = eval_sym(e->L.e, tva);
  }
  return truth(set_in(e->R.s, &s, tva) != NOT_MEMBER);
}

eval_result f_OPINCHECK(expr* e, TVA* tva) {
  symbol* s = Number(eval_num(e->L.e, tva));
  return truth(set_in(e->R.s, &s, tva) != NOT_MEMBER);
}

// ---- Two sets ------------------------------------------------------------

eval_result f_OPWITHIN(expr* e, TVA* tva) {
  return truth(within(e->L.s, e->R.s, tva));
}
eval_result f_OPNOTWITHIN(expr* e, TVA* tva) {
  return truth(!within(e->L.s, e->R.s, tva));
}
eval_result f_OPCONTAINS(expr* e, TVA* tva) {
  return truth(within(e->R.s, e->L.s, tva));
}
eval_result f_OPNOTCONTAINS(expr* e, TVA* tva) {
  return truth(!within(e->R.s, e->L.s, tva));
}

// ---- Counting and positions ----------------------------------------------

eval_result f_OPCARD(expr* e, TVA* tva) {
  return {.d = static_cast<double>(generated(e->L.s, tva)->nmem)};
}

eval_result f_OPORD0(expr* e, TVA* tva) {
  set* s = generated(e->R.e->R.s, tva);
  symbol* one;
  symbol** t = tuple_for(e->L.e, s, &one, tva);
  int64_t o = set_in(s, t, tva);
  if (o == MEMBER_NO_ORD) {
    // The class knows the member but not its place: the generated
    // members do.
    o = set_lookup(s, t);
    if (o < 0) {
      terror(tva, "unexpected return %d in f_OPORD0", int(MEMBER_NO_ORD));
      o = NOT_MEMBER;
    }
  } else if (o < NOT_MEMBER) {
    terror(tva, "unexpected return %d in f_OPORD0", static_cast<int>(o));
    o = NOT_MEMBER;
  }
  return {.d = static_cast<double>(o + 1)};
}

eval_result f_OPLOOKUP(expr* e, TVA* tva) {
  set* s = subscript_set(static_cast<xnode2*>(e->L.x));
  if (!s) return {.i = NOT_MEMBER};
  return {.i = static_cast<int32_t>(member_of(e->R.e, s, tva))};
}

eval_result f_OPLOOKUPsl(expr* e, TVA* tva) {
  return {.i = static_cast<int32_t>(member_of(e->R.e, e->L.s, tva))};
}

}  // namespace vexo
