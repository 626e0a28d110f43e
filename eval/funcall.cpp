// The argument record of a call and the call evaluators.
#include "eval/funcall.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "compiler/tva.h"
#include "eval/dispatch.h"
#include "eval/elemfunc.h"
#include "eval/evalerr.h"
#include "eval/funclib.h"
#include "eval/iterate.h"
#include "eval/set.h"
#include "frontend/keywords.h"
#include "session/opttable.h"
#include "support/numfmt.h"
#include "support/strtod.h"
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

namespace {

// The domain of each argument (plain form, functions from libraries):
// the count of positions consumed, or -1 when "..." stopped the check.
int arg_check1(arglgen* g, function* f, TVA* tva) {
  arglist& al = g->al;
  int pos = 0;
  for (funcarg* d = f->args; d; d = d->next) {
    if (d->s == dotdotdot) return -1;
    if (pos >= al.n) {
      if (!(f->fflags & 0x4000))
        eerror(tva, "too few arguments (%d) for %s", al.n, fname(f));
      return pos;
    }
    int32_t t = al.at[pos++];
    if (!d->s) continue;
    if (t >= 0) {
      double v = al.ra[t];
      if (set_in(d->s, pNumber(v), tva) == NOT_MEMBER)
        eerror(tva, "%s%s%s%d to %s", "", gfmt(v, 0, nullptr),
               " is outside the domain of argument ", pos, fname(f));
    } else {
      cstr* s = g->strs.a[~t];
      symbol* sym = Symbol(s->text(), 1);
      if (set_in(d->s, &sym, tva) == NOT_MEMBER)
        eerror(tva, "%s%Q%s%d to %s", "", s->text(),
               " is outside the domain of argument ", pos, fname(f));
    }
  }
  return pos;
}

// Checking form: the declared direction of each argument (1 input, 2
// output, both) from the domain list; "..." with a direction gives it to
// the arguments after it.
void argcheck_eval(arglgen* g, expr* args, TVA* tva, funcarg** dom,
                   uint32_t* dflt) {
  function* f = g->al.f;
  for (expr* a = args; a; a = a->next) {
    if (opcode(a) == OP258) continue;
    if (opcode(a) != OPARG) bug("arglistevcheck: argument of opcode %d", opcode(a));
    if (a->L.ss) {
      if (TVA* c = ss_begin(a->L.ss, tva)) {
        do argcheck_eval(g, a->R.e, c, dom, dflt);
        while (ss_continue(a->L.ss, c));
      }
      continue;
    }
    funcarg* d = *dom;
    if (d && d->s == dotdotdot) {
      if (d->dir) *dflt = static_cast<uint32_t>(d->dir);
      d = *dom = nullptr;
    }
    uint32_t flag = d && d->dir ? static_cast<uint32_t>(d->dir) : *dflt;
    int pos = g->types.n + 1;
    if (flag & 2) {
      // Output arguments are written back by their owner, which does not
      // take them yet: none can be written.
      if (outarg_warn > 0)
        eerror(tva, "Argument %d of %s cannot be written.\n", pos, fname(f));
      flag &= ~2u;
      if (!flag) flag = 1;
    }
    arr_push(g->nums, 0.);
    arr_push(g->strs, static_cast<cstr*>(nullptr));
    ++g->al.nin;
    expr* x = a->R.e;
    if (has_flag(x, EF_NUMERIC)) {
      g->nums.a[g->nums.n - 1] = eval_num(x, tva);
    } else {
      cstr* s = nullptr;
      if (has_flag(x, EF_STRING)) {
        s = eval_str(x, tva);
      } else {
        symbol* sym = eval_sym_peek(x, tva);
        if (is_number(sym))
          g->nums.a[g->nums.n - 1] = sym->value;
        else
          s = new_cstring(sym->name);
      }
      g->strs.a[g->strs.n - 1] = s;
      if (s) flag |= 4;
    }
    if (d && d->s) {
      bool in;
      if (flag & 4) {
        symbol* sym = Symbol(g->strs.a[g->strs.n - 1]->text(), 1);
        in = set_in(d->s, &sym, tva) != NOT_MEMBER;
      } else {
        in = set_in(d->s, pNumber(g->nums.a[g->nums.n - 1]), tva) != NOT_MEMBER;
      }
      if (!in) {
        if (flag & 4)
          eerror(tva, "%s%Q%s%d to %s", "", g->strs.a[g->strs.n - 1]->text(),
                 " is outside the domain of argument ", pos, fname(f));
        eerror(tva, "%s%s%s%d to %s", "",
               gfmt(g->nums.a[g->nums.n - 1], 0, nullptr),
               " is outside the domain of argument ", pos, fname(f));
      }
    }
    if (flag & 4)
      ++g->al.nsin;
    else
      ++g->al.nr;
    arr_push(g->types, static_cast<int32_t>(flag));
    if (d) *dom = d->next;
  }
}

}  // namespace

function* f_setup(arglgen* g, expr* args, function* f, TVA* tva) {
  std::memset(static_cast<void*>(&g->al), 0, sizeof g->al);
  arr_init(g->types);
  arr_init(g->nums);
  arr_init(g->strs);
  g->errno_ignore = 0;
  g->text_built = 0;
  g->cleanup = nullptr;
  g->tmi = nullptr;
  g->al.f = f;
  g->al.tva = tva;
  g->al.funcinfo = f->funcinfo;
  g->al.AE = lib_exports(f);
  g->al.TMI = &g->tmi;
  arglist& al = g->al;
  bool checking = (f->ftype & 16) && f->lib;
  g->mode = checking ? 0 : -1;
  if (checking) {
    funcarg* dom = f->args;
    uint32_t dflt = 1;
    argcheck_eval(g, args, tva, &dom, &dflt);
    al.n = g->types.n;
  } else {
    arglisteval(g, args, tva);
    al.n = g->types.n;
    al.nr = g->nums.n;
    al.nin = al.n;
    al.nsin = al.n - al.nr;
  }
  al.at = g->types.a;
  al.ra = g->nums.a;
  if (f->lib) {
    // Functions from libraries: the count and the declared domains.
    int32_t k = f->nargs;
    if (k >= 0 && al.n != k)
      eerror(tva, "%s needs %d argument(s), not %d", fname(f), k, al.n);
    if (k < -1 && al.n < -(k + 1))
      eerror(tva, "%s needs at least %d argument(s), not %d", fname(f),
             -(k + 1), al.n);
    if (!checking) {
      int used = arg_check1(g, f, tva);
      if (used >= 0 && used < al.n && !(f->fflags & 0x4000))
        eerror(tva, "too many arguments (%d rather than %d) for %s", al.n,
               used, fname(f));
    }
  }
  // The strings' texts, in the array of counted strings turned over: the
  // texts go to a block of their own, so the strings stay releasable.
  int n = g->strs.n;
  if (n) {
    int kk = htcl(sizeof(const char*) * size_t(n));
    const char** sa = static_cast<const char**>(new_mblk(kk));
    for (int i = 0; i < n; ++i)
      sa[i] = g->strs.a[i] ? g->strs.a[i]->text() : nullptr;
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
      symbol* s = eval_sym_peek(x, tva);
      if (is_number(s))
        arr_push(g->types, arr_push(g->nums, s->value));
      else
        arr_push(g->types, ~arr_push(g->strs, new_cstring(s->name)));
    }
  }
}

void arglzap(void* p) {
  arglgen* g = static_cast<arglgen*>(p);
  for (int i = 0; i < g->strs.n; ++i)
    if (g->strs.a[i]) zap_cstr(&g->strs.a[i]);
  if (g->tmi) cbfree(g->tmi);
  g->tmi = nullptr;
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
  if (f->fflags & 0x8000) {
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

namespace vexo {

namespace {

// errno after a call with explicit real arguments.
void explicit_errno(function* f, TVA* tva) {
  if (!errno) return;
  if (allow_NaN) {
    errno = 0;
    return;
  }
  if (!mgwhere(tva)) Perror(msgBf("can't evaluate %s(...)", fname(f)));
  bailout();
}

// Cells that hold the members OPFUNCs gives: a member is used before this
// many more calls have been made.
symbol* sym_cells[256];
unsigned sym_next;

}  // namespace

eval_result f_OPFUNC1(expr* e, TVA* tva) {
  function* f = callee(e, tva);
  double x = eval_num(e->R.e->R.e, tva);
  errno = 0;
  double v = reinterpret_cast<rfunc1>(f->funcp)(x);
  explicit_errno(f, tva);
  return {.d = v};
}

eval_result f_OPFUNC2(expr* e, TVA* tva) {
  function* f = callee(e, tva);
  double x = eval_num(e->R.e->R.e, tva);
  double y = eval_num(e->R.e->next->R.e, tva);
  errno = 0;
  double v = reinterpret_cast<rfunc2>(f->funcp)(x, y);
  explicit_errno(f, tva);
  return {.d = v};
}

eval_result f_OPFUNCs(expr* e, TVA* tva) {
  held_cstr s(f_OPFUNCstr(e, tva).cs);
  const char* t = s.text();
  symbol* sym;
  std::string own(t);
  if (valid_param(own.data(), 0)) {
    sym = Number(Strtod(t, nullptr));
  } else if (*t == '"' || *t == '\'') {
    // A quoted text: a doubled quote stands for one, the first single
    // closing quote ends it, a backslash before a newline goes.
    char q = *t++;
    std::string u;
    for (; *t; ++t) {
      if (*t == q) {
        if (t[1] != q) break;
        ++t;
      } else if (*t == '\\' && t[1] == '\n') {
        continue;
      }
      u += *t;
    }
    sym = Symbol(u.c_str(), 1);
  } else {
    sym = Symbol(t, 1);
  }
  symbol** cell = &sym_cells[sym_next++ % 256];
  *cell = sym;
  return {.sp = cell};
}

}  // namespace vexo
