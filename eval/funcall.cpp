// The argument record of a call and the call evaluators.
#include "eval/funcall.h"

#include <cerrno>
#include <cstring>

#include "compiler/tva.h"
#include "eval/dispatch.h"
#include "eval/elemfunc.h"
#include "eval/evalerr.h"
#include "eval/funclib.h"
#include "eval/iterate.h"
#include "frontend/expr.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

template <class T>
void arr_init(argarray<T>& a) {
  a.a = a.inline_buf;
  a.n = 0;
  a.cap = 8;
  a.k = -1;
}

// Appends v, moving the array to a block twice as large when full.
template <class T>
int32_t arr_push(argarray<T>& a, T v) {
  if (a.n == a.cap) {
    int k = htcl(sizeof(T) * size_t(a.cap) * 2);
    T* b = static_cast<T*>(new_mblk(k));
    std::memcpy(static_cast<void*>(b), a.a, sizeof(T) * size_t(a.n));
    if (a.k >= 0) del_mblk(a.k, a.a);
    a.a = b;
    a.k = k;
    a.cap *= 2;
  }
  a.a[a.n] = v;
  return a.n++;
}

template <class T>
void arr_free(argarray<T>& a) {
  if (a.k >= 0) del_mblk(a.k, a.a);
  arr_init(a);
}

// Releases the call record on every way out of an evaluator, also when an
// error abandons the command.
struct argl_guard {
  arglgen* g;
  ~argl_guard() { arglzap(g); }
};

const char* fname(const function* f) { return f->name ? f->name->name : "?"; }

// The common start: a function without a routine cannot be called.
function* callee(expr* e, TVA* tva) {
  function* f = static_cast<function*>(e->L.x);
  if (!f->funcp) {
    if (!mgwhere(tva))
      Fprintf(Stderr, "Can't invoke unavailable function %s.\n", fname(f));
    bailout();
  }
  return f;
}

}  // namespace

function* f_setup(arglgen* g, expr* args, function* f, TVA* tva) {
  std::memset(static_cast<void*>(g), 0, sizeof *g);
  arr_init(g->types);
  arr_init(g->nums);
  arr_init(g->strs);
  g->mode = -1;
  g->al.f = f;
  g->al.tva = tva;
  g->al.funcinfo = f->funcinfo;
  arglisteval(g, args, tva);
  arglist& al = g->al;
  al.n = g->types.n;
  al.nr = g->nums.n;
  al.at = g->types.a;
  al.ra = g->nums.a;
  al.nin = al.n;
  al.nsin = al.n - al.nr;
  // A function of any number of arguments (attribute 0x4000) has no
  // count to check.
  int32_t k = f->fflags & 0x4000 ? -1 : f->nargs;
  if (k >= 0 && al.n != k)
    eerror(tva, "%s needs %d argument(s), not %d", fname(f), k, al.n);
  if (k < -1 && al.n < -(k + 1))
    eerror(tva, "%s needs at least %d argument(s), not %d", fname(f), -(k + 1),
           al.n);
  // The strings' texts, in the array of counted strings turned over: the
  // texts go to a block of their own, so the strings stay releasable.
  int n = g->strs.n;
  if (n) {
    int kk = htcl(sizeof(const char*) * size_t(n));
    const char** sa = static_cast<const char**>(new_mblk(kk));
    for (int i = 0; i < n; ++i) sa[i] = g->strs.a[i]->text();
    al.sa = sa;
    g->text_built = kk + 1;
  }
  return f;
}

void arglisteval(arglgen* g, expr* args, TVA* tva) {
  for (expr* a = args; a; a = a->next) {
    if (opcode(a) == OP258) continue;
    if (opcode(a) != OPARG)
      bug("arglisteval: argument of opcode %d", opcode(a));
    if (a->L.ss) {
      // An iterated group: its list once per member of its indexing.
      if (TVA* c = ss_begin(a->L.ss, tva)) {
        do arglisteval(g, a->R.e, c);
        while (ss_continue(a->L.ss, c));
      }
      continue;
    }
    expr* x = a->R.e;
    if (has_flag(x, EF_NUMERIC)) {
      double v = eval_num(x, tva);
      arr_push(g->types, arr_push(g->nums, v));
    } else if (has_flag(x, EF_STRING)) {
      cstr* s = eval_str(x, tva);
      arr_push(g->types, ~arr_push(g->strs, s));
    } else {
      symbol* s = eval_sym(x, tva);
      if (is_number(s))
        arr_push(g->types, arr_push(g->nums, s->value));
      else
        arr_push(g->types, ~arr_push(g->strs, new_cstring(s->name)));
    }
  }
}

void arglzap(void* p) {
  arglgen* g = static_cast<arglgen*>(p);
  for (int i = 0; i < g->strs.n; ++i) zap_cstr(&g->strs.a[i]);
  if (g->text_built) del_mblk(g->text_built - 1, g->al.sa);
  g->text_built = 0;
  g->al.sa = nullptr;
  arr_free(g->types);
  arr_free(g->nums);
  arr_free(g->strs);
}

void f_teardown(arglgen* g) {
  arglist& al = g->al;
  if (al.Errmsg) {
    const char* m = al.Errmsg;
    const char* pfx = "";
    if (*m == '"') {
      pfx = "hessian ";
      ++m;
    } else if (*m == '\'') {
      pfx = "gradient ";
      ++m;
    }
    if (!mgwhere(al.tva))
      Fprintf(Stderr, "%serror in function %s: %s\n", pfx, fname(al.f), m);
    bailout();
  }
  if (!errno) return;
  if (g->errno_ignore || allow_NaN) {
    errno = 0;
    return;
  }
  if (!mgwhere(al.tva)) Perror(msgBf("can't evaluate %s(...)", fname(al.f)));
  bailout();
}

eval_result f_OPFUNC(expr* e, TVA* tva) {
  function* f = callee(e, tva);
  arglgen g;
  argl_guard guard{&g};
  f_setup(&g, e->R.e, f, tva);
  double v = 0;
  errno = 0;
  if (f->fflags & 8) {
    // Explicit real arguments.
    const double* r = g.al.ra;
    switch (f->nargs) {
      case 0:
        v = reinterpret_cast<rfunc0>(f->funcp)();
        break;
      case 1:
        v = reinterpret_cast<double (*)(double)>(f->funcp)(r[0]);
        break;
      case 2:
        v = reinterpret_cast<double (*)(double, double)>(f->funcp)(r[0], r[1]);
        break;
      default:
        break;
    }
  } else {
    g.errno_ignore = 1;
    v = reinterpret_cast<rfunc>(f->funcp)(&g.al);
  }
  f_teardown(&g);
  return {.d = v};
}

eval_result f_OPFUNC0(expr* e, TVA* tva) { return f_OPFUNC(e, tva); }

namespace {

// A call giving a string: call turns the routine's result into a counted
// string with one reference, which is held while the call ends.
template <class Call>
eval_result string_call(expr* e, TVA* tva, Call call) {
  function* f = callee(e, tva);
  arglgen g;
  argl_guard guard{&g};
  f_setup(&g, e->R.e, f, tva);
  g.errno_ignore = 1;
  errno = 0;
  held_cstr hold(call(f, &g.al));
  f_teardown(&g);
  return {.cs = ref_cstr(hold.get())};
}

}  // namespace

eval_result f_OPFUNCstr(expr* e, TVA* tva) {
  return string_call(e, tva, [](function* f, arglist* al) {
    const char* s = reinterpret_cast<const char* (*)(arglist*)>(f->funcp)(al);
    return new_cstring(s ? s : "<null>");
  });
}

eval_result f_OPFUNCcs(expr* e, TVA* tva) {
  return string_call(e, tva, [](function* f, arglist* al) {
    return reinterpret_cast<sfunc>(f->funcp)(al);
  });
}

}  // namespace vexo
