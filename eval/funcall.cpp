// The argument record of a call and the call evaluators.
#include "eval/funcall.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "compiler/tva.h"
#include "data/outarg.h"
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
  a.cap = ARGS_INLINE;
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

// Ends the command unless the value (the text s, or the number v when s is
// null) of argument pos lies in the domain set dom; what is the prefix of
// the message ("" for an argument, "Output value " for a returned one).
void in_domain(set* dom, const char* s, double v, const char* what, int pos,
               function* f, TVA* tva) {
  if (s) {
    symbol* sym = Symbol(s, 1);
    if (set_in(dom, &sym, tva) == NOT_MEMBER)
      eerror(tva, "%s%Q%s%d to %s", what, s,
             " is outside the domain of argument ", pos, fname(f));
  } else if (set_in(dom, pNumber(v), tva) == NOT_MEMBER) {
    eerror(tva, "%s%s%s%d to %s", what, gfmt(v, 0, nullptr),
           " is outside the domain of argument ", pos, fname(f));
  }
}

// The value of the argument x: a number in *v (null returned), or a new
// counted string (a symbol that is no number gives its name).
inline cstr* arg_value(expr* x, TVA* tva, double* v) {
  if (has_flag(x, EF_NUMERIC)) {
    *v = eval_num(x, tva);
    return nullptr;
  }
  if (has_flag(x, EF_STRING)) return eval_str(x, tva);
  symbol* sym = eval_sym_peek(x, tva);
  if (!is_number(sym)) return new_cstring(sym->name);
  *v = sym->value;
  return nullptr;
}

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
    if (t >= 0)
      in_domain(d->s, nullptr, al.ra[t], "", pos, f, tva);
    else
      in_domain(d->s, g->strs.a[~t]->text(), 0, "", pos, f, tva);
  }
  return pos;
}

// Whether the domain list has "...".
bool has_dots(const funcarg* d) {
  for (; d; d = d->next)
    if (d->s == dotdotdot) return true;
  return false;
}

// The direction of a domain node as a flag word (1 input, 2 output, 3
// both; 0 none).
uint32_t direction(const funcarg* d) { return static_cast<uint32_t>(d->dir) & 3; }

// One argument of the checking form: x in context tva, its domain node d
// (null when the walk has ended).
void argcheck1(arglgen* g, expr* x, funcarg* d, TVA* tva) {
  arglist& al = g->al;
  function* f = al.f;
  uint32_t flag = d && direction(d) ? direction(d) : g->dflt;
  int pos = g->types.n + 1;
  int32_t i = arr_push(g->nums, 0.);
  arr_push(g->strs, static_cast<cstr*>(nullptr));
  if (flag & 2) {
    xnode* target;
    suffix* sfx;
    int symbolic;
    if (Outarg* o = outarg_OK(x, tva, &target, &sfx, &symbolic)) {
      ++al.nout;
      arr_push(g->outs, outref{o, target, sfx, i, symbolic});
      if (symbolic) {
        flag |= 8;
        ++al.nsout;
      }
    } else if (outarg_warn > 0) {
      eerror(tva, "Argument %d of %s cannot be written.\n", pos, fname(f));
    }
  }
  if (flag & 1) {
    ++al.nin;
    cstr* s = arg_value(x, tva, &g->nums.a[i]);
    g->strs.a[i] = s;
    if (d && d->s && d->s != dotdotdot)
      in_domain(d->s, s ? s->text() : nullptr, g->nums.a[i], "", pos, f, tva);
    if (s) {
      flag |= 4;
      ++al.nsin;
    } else if (!(flag & 8)) {
      ++al.nr;
    }
  } else if (!(flag & 8)) {
    ++al.nr;
  }
  arr_push(g->types, static_cast<int32_t>(flag));
}

// The values that output arguments returned, against their domains (the
// walk again from the first domain): "Output value %s is outside the
// domain of argument %d to %s".
void check_outargs(funcarg* d, arglgen* g, function* f, TVA* tva) {
  arglist& al = g->al;
  for (g->pos = 0; d && g->pos < al.n; d = d->next) {
    if (d->s == dotdotdot) return;
    int i = g->pos++;
    if (!(al.at[i] & 2) || !d->s) continue;
    const char* s = al.sa ? al.sa[i] : nullptr;
    in_domain(d->s, s, al.ra[i], "Output value ", i + 1, f, tva);
  }
}

}  // namespace

void next_ad(arglgen* g, funcarg* d) {
  g->ad = d ? d->next : nullptr;
  if (g->ad && g->ad->s == dotdotdot) {
    if (direction(g->ad)) g->dflt = direction(g->ad);
    g->ad = nullptr;
  }
}

void arglistevcheck(arglgen* g, expr* args, TVA* tva) {
  for (expr* a = args; a; a = a->next) {
    if (opcode(a) == OP258) continue;
    if (opcode(a) != OPARG)
      bug("arglistevcheck: argument of opcode %d", opcode(a));
    if (a->L.ss) {
      if (TVA* c = ss_begin(a->L.ss, tva)) {
        do arglistevcheck(g, a->R.e, c);
        while (ss_continue(a->L.ss, c));
      }
      continue;
    }
    funcarg* d = g->ad;
    if (d) ++g->pos;
    argcheck1(g, a->R.e, d, tva);
    if (d) next_ad(g, d);
  }
}

function* f_setup(arglgen* g, expr* args, function* f, TVA* tva) {
  // Every field of the arglist is set here or below (stores: cheaper than
  // clearing the whole record first on every call).
  arglist& al = g->al;
  al.n = al.nr = al.nin = al.nout = al.nsin = al.nsout = 0;
  al.at = nullptr;
  al.ra = nullptr;
  al.sa = nullptr;
  al.derivs = al.hes = nullptr;
  al.dig = al.Errmsg = al.Private = nullptr;
  arr_init(g->types);
  arr_init(g->nums);
  arr_init(g->strs);
  arr_init(g->outs);
  g->errno_ignore = 0;
  g->text_built = 0;
  g->cleanup = nullptr;
  g->tmi = nullptr;
  g->al.f = f;
  g->al.tva = tva;
  g->al.funcinfo = f->funcinfo;
  g->al.AE = lib_exports(f);
  g->al.TMI = &g->tmi;
  bool checking = (f->ftype & 16) && f->lib;
  g->mode = checking ? 0 : -1;
  g->pos = 0;
  g->ad = nullptr;
  g->dflt = 1;
  if (checking) {
    // The walk starts at the first domain; a leading "..." gives its
    // direction to every argument.
    funcarg* d = f->args;
    if (d && d->s == dotdotdot) {
      if (direction(d)) g->dflt = direction(d);
    } else {
      g->ad = d;
    }
    arglistevcheck(g, args, tva);
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
    int used;
    if (checking) {
      // Domains left after the last argument; arguments left after the
      // last domain (without "...").
      if (g->ad)
        eerror(tva, "too few arguments (%d) for %s", al.n, fname(f));
      used = has_dots(f->args) ? -1 : g->pos;
    } else {
      used = arg_check1(g, f, tva);
    }
    if (used >= 0 && used < al.n && !(f->fflags & 0x4000))
      eerror(tva, "too many arguments (%d rather than %d) for %s", al.n,
             used, fname(f));
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
    double v = 0;
    if (cstr* s = arg_value(a->R.e, tva, &v))
      arr_push(g->types, ~arr_push(g->strs, s));
    else
      arr_push(g->types, arr_push(g->nums, v));
  }
}

void arglzap(void* p) {
  arglgen* g = static_cast<arglgen*>(p);
  // Most calls take no strings and no memory: nothing to release.
  for (int i = 0; i < g->strs.n; ++i)
    if (g->strs.a[i]) zap_cstr(&g->strs.a[i]);
  g->strs.n = 0;
  if (g->tmi) cbfree(g->tmi);
  g->tmi = nullptr;
  if (g->text_built) del_mblk(g->text_built - 1, g->al.sa);
  g->text_built = 0;
  g->al.sa = nullptr;
  if ((g->types.k & g->nums.k & g->strs.k & g->outs.k) < 0) return;
  arr_free(g->types);
  arr_free(g->nums);
  arr_free(g->strs);
  arr_free(g->outs);
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
  if (g->outs.n) {
    // The values output arguments returned: checked, then queued for their
    // targets (the texts copied before the call's memory goes).
    if (al.f->args) check_outargs(al.f->args, g, al.f, al.tva);
    for (int i = 0; i < g->outs.n; ++i) {
      outref& r = g->outs.a[i];
      r.o->v = al.ra[r.idx];
      const char* s = al.sa ? al.sa[r.idx] : nullptr;
      r.o->s = s ? new_cstring(s) : nullptr;
      if (r.s)
        sufout_put(r.target, r.s, r.names != 0, r.o);
      else
        outarg_put(r.target, r.o);
    }
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

// Whether the argument checks of the general form pass for n plain
// numeric arguments without a domain to test: the count, and the domain
// list (a domain set to test, too few or too many arguments: no).
bool plain_checks_pass(const function* f, int n) {
  if (!f->lib) return true;
  int32_t k = f->nargs;
  if ((k >= 0 && n != k) || (k < -1 && n < -(k + 1))) return false;
  int pos = 0;
  for (const funcarg* d = f->args; d; d = d->next) {
    if (d->s == dotdotdot) return true;
    if (pos >= n) return (f->fflags & 0x4000) != 0;
    if (d->s) return false;
    ++pos;
  }
  return pos >= n || (f->fflags & 0x4000);
}

}  // namespace

bool numeric_args_only(const expr* args) {
  int n = 0;
  for (const expr* a = args; a; a = a->next) {
    if (opcode(a) == OP258) continue;
    if (opcode(a) != OPARG || a->L.ss || !has_flag(a->R.e, EF_NUMERIC) ||
        ++n > ARGS_INLINE)
      return false;
  }
  return true;
}

eval_result f_OPFUNCnum(expr* e, TVA* tva) {
  function* f = callee(e, tva);
  // Explicit real arguments, output arguments allowed: the general form.
  if ((f->fflags & 0x8000) || ((f->ftype & 16) && f->lib))
    return f_OPFUNC(e, tva);
  arglgen g;
  int n = 0;
  for (expr* a = e->R.e; a; a = a->next) {
    if (opcode(a) == OP258) continue;
    g.nums.inline_buf[n] = eval_num(a->R.e, tva);
    g.types.inline_buf[n] = n;
    ++n;
  }
  if (!plain_checks_pass(f, n)) return f_OPFUNC(e, tva);
  // Only what the routine reads is set: the values stay in the record's
  // own buffers, so there is nothing to release unless the routine took
  // temporary memory.
  arglist& al = g.al;
  g.tmi = nullptr;
  al.n = al.nr = al.nin = n;
  al.nout = al.nsin = al.nsout = 0;
  al.at = g.types.inline_buf;
  al.ra = g.nums.inline_buf;
  al.sa = nullptr;
  al.derivs = al.hes = nullptr;
  al.dig = al.Errmsg = al.Private = nullptr;
  al.f = f;
  al.tva = tva;
  al.funcinfo = f->funcinfo;
  al.AE = lib_exports(f);
  al.TMI = &g.tmi;
  // The temporary memory goes also when the routine's callbacks end the
  // command.
  struct tmi_guard {
    charblk** p;
    ~tmi_guard() {
      if (*p) cbfree(*p);
    }
  } tmi_hold{&g.tmi};
  errno = 0;
  double v = reinterpret_cast<rfunc>(f->funcp)(&al);
  if (al.Errmsg || errno || g.tmi) {
    // The general ending (its errors, the memory released), with what
    // f_teardown and arglzap read set first.
    g.types.k = g.nums.k = g.strs.k = g.outs.k = -1;
    g.strs.n = g.outs.n = 0;
    g.text_built = 0;
    g.errno_ignore = 1;
    argl_guard guard{&g};
    f_teardown(&g);
  }
  return {.d = v};
}

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
