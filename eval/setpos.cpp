// Positions of members in ordered sets, and conversions to numbers.
#include "eval/setpos.h"

#include <cmath>
#include <cstring>

#include "eval/evalerr.h"
#include "eval/set.h"
#include "frontend/refs.h"
#include "report/prset.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/strtod.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

// The set of a position routine's holder operand.
set* held_set(expr* e) { return e->R.e->R.s; }

set* generated(set* s, TVA* tva) {
  if (s->nmem < 0) set_genall(s, tva);
  return s;
}

// The position of the member tuple in generated s, or -1: the answer of
// its membership test, or, where that does not know positions, its place
// among the generated members.
int64_t position(set* s, symbol** tuple, TVA* tva) {
  int64_t k = set_in(s, tuple, tva);
  if (k == MEMBER_NO_ORD) k = set_lookup(s, tuple);
  return k;
}

// The text of a set for messages, released when it goes.
struct set_text {
  explicit set_text(set* s) : t(sprset(s, 1)) {}
  const char* text() const { return t.text(); }
  held_cstr t;
};

// "<member> is not in <set> -- can't evaluate <what>."
[[noreturn]] void not_in(TVA* tva, symbol* m, set* s, const char* what) {
  if (!mgwhere(tva)) {
    set_text st(s);
    Fprintf(Stderr,
            is_number(m) ? "%s is not in %s -- can't evaluate %s.\n"
                         : "%Q is not in %s -- can't evaluate %s.\n",
            m->name, st.text(), what);
  }
  bailout();
}

[[noreturn]] void empty(TVA* tva, set* s, const char* what) {
  if (!mgwhere(tva)) {
    set_text st(s);
    Fprintf(Stderr, "can't compute %s: set %s is empty\n", what, st.text());
  }
  bailout();
}

// x as an int, the nearest end of the int range beyond it (NaN: 0).
int clamp_int(double x) {
  if (!(x == x)) return 0;
  if (x >= 2147483647.) return 2147483647;
  if (x <= -2147483648.) return -2147483647 - 1;
  return static_cast<int>(x);
}

}  // namespace

eval_result f_OPORD(expr* e, TVA* tva) {
  symbol* m = eval_sym(e->L.e, tva);
  set* s = generated(held_set(e), tva);
  int64_t k = position(s, &m, tva);
  if (k < 0) not_in(tva, m, s, "ord");
  return {.d = static_cast<double>(k + 1)};
}

eval_result f_OPELEMENT(expr* e, TVA* tva) {
  double k = eval_num(e->L.e, tva);
  set* s = generated(held_set(e), tva);
  int n = s->nmem;
  if (!(k >= 1 && k <= n && k == std::floor(k))) {
    if (!mgwhere(tva)) {
      set_text st(s);
      Fprintf(Stderr,
              "can't compute member(%.15g,%s):\n\targ 1 is not an integer "
              "between 1 and %d\n",
              k, st.text(), n);
    }
    bailout();
  }
  return {.sp = set_ordidx(s, tva)[static_cast<int>(k) - 1]->tup()};
}

eval_result f_OPFIRST(expr* e, TVA* tva) {
  set* s = generated(e->L.s, tva);
  setmem* m = s->first;
  while (m && m->ord < 0) m = m->next;
  if (!m) empty(tva, s, "first");
  return {.sp = m->tup()};
}

eval_result f_OPLAST(expr* e, TVA* tva) {
  set* s = generated(e->L.s, tva);
  if (s->nmem <= 0) empty(tva, s, "last");
  return {.sp = set_ordidx(s, tva)[s->nmem - 1]->tup()};
}

eval_result f_OPNEXT(expr* e, TVA* tva) {
  int k = opcode(e) - OPNEXT120;
  bool back = k & 1, wrap = k & 4;
  const char* name = nextprev_written(e->opword);
  expr* pair = e->L.e;
  symbol* m = eval_sym(pair->L.e, tva);
  set* s = generated(held_set(e), tva);
  int n = s->nmem;
  if (n <= 0) empty(tva, s, name);
  int64_t pos = position(s, &m, tva);
  if (pos < 0) not_in(tva, m, s, name);
  // A backward form's offset comes negated: the user's offset is its
  // opposite.
  double off = eval_num(pair->R.e, tva);
  double written = back ? -off : off;
  if (off != std::floor(off))
    eerror(tva, "Third argument to %s = %.15g is not an integer.", name,
           written);
  double target = static_cast<double>(pos) + off;
  if (target < 0 || target >= n) {
    if (!wrap) {
      set_text st(s);
      int bound =
          target >= n ? n - static_cast<int>(pos) : -static_cast<int>(pos);
      bad_next(tva, m, st.text(), clamp_int(written), bound, e->opword);
    }
    target = std::fmod(target, static_cast<double>(n));
    if (target < 0) target += n;
  }
  return {.sp = set_ordidx(s, tva)[static_cast<int>(target)]->tup()};
}

eval_result f_OPNUMBER(expr* e, TVA* tva) {
  held_cstr s(eval_str(e->L.e, tva));
  const char* t = s.text();
  char* end = nullptr;
  double x = Strtod(t, &end);
  bool ok = end != t;
  for (const char* c = end; ok && *c; ++c) {
    unsigned char b = static_cast<unsigned char>(*c);
    ok = b >= 1 && b <= 32;
  }
  if (!ok) {
    if (!mgwhere(tva))
      Fprintf(Stderr, "nonnumeric string in num(\"%s\").\n", t);
    bailout();
  }
  return {.d = x};
}

eval_result f_OPSYM2NUM(expr* e, TVA* tva) {
  expr* x = e->L.e;
  if (has_flag(x, EF_STRING)) cant_convert(x, eval_str(x, tva), tva);
  symbol* s = eval_sym_peek(x, tva);
  if (is_number(s)) return {.d = s->value};
  cant_convert(x, new_cstring(s->name), tva);
}

}  // namespace vexo
