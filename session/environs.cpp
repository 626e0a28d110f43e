// Named environments, the environ command and the option files.
#include "session/environs.h"

#include <cstring>
#include <exception>
#include <vector>

#include "compiler/compile.h"
#include "compiler/tva.h"
#include "eval/dispatch.h"
#include "eval/evalerr.h"
#include "eval/iterate.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/cmdbuild.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/refs.h"
#include "frontend/strexpr.h"
#include "instance/xcg.h"
#include "report/indextab.h"
#include "report/prset.h"
#include "session/cmdfiles.h"
#include "session/cmdrec.h"
#include "session/let.h"
#include "session/optcmd.h"
#include "session/options.h"
#include "session/opttable.h"
#include "session/sysdecls.h"
#include "support/filename.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

extern char** environ;

namespace vexo {

set* envnames;
envir** Current_slot;
xenvir* cur_xenv;
symbol** cur_xenv_sub;

static xenvir* Current_x;
// The records of the environments, parallel to envnames.
static xenvir** Xenv;
static int xenv_k;
// The subscript of the current member of an indexed environment (class
// k_elem).
static symbol** cur_elem;
static int k_elem;

// ---------------------------------------------------------------------------
// Records

static int arity_of(const xenvir* x) {
  return x->members ? x->members->arity : 0;
}

static void envir_free(envir* v) {
  for (int i = 0; i < v->n; ++i) zap_cstr(&v->a[i]);
  del_mblk(v->k, v->a);
}

// Drops one holder of v; frees it when none is left, unless Current holds
// it (Current's holding is not counted).
static void envir_release(envir* v) {
  if (--v->ref < 1 && v != *Current_slot) envir_free(v);
}

static envir* envir_share(envir* v) {
  ++v->ref;
  return v;
}

// Declares environment name: kind 22, or 23 over ix.  Environments have
// names of their own (envnames): the name's binding is left alone (the
// problems Current and Initial share two of the names).
static xenvir* new_xenvir(symbol* name, set_spec* ix) {
  xenvir* x = xmem<xenvir>(XM_XENVIR);
  xrecomp_constr(x, name, nullptr, ix, ix ? DK_ENVI : DK_ENV, 0);
  if (ix) {
    x->members = set_enum(new_enum(), ix->arity);
  } else {
    x->e = Current_slot ? envir_share(*Current_slot) : nullptr;
  }
  // An environment refers to nothing: the references collected so far
  // belong to the declaration being parsed (a problem naming it).
  int32_t pending = dac_set_aside();
  xnode* old;
  int refused = yychain(x, &old);
  dac_take_back(pending);
  if (refused) return nullptr;
  x = static_cast<xenvir*>(x_copy(old, x, XM_XENVIR));
  int ord = envnames->nmem;
  symbol* t[1] = {name};
  set_addmem(envnames, t);
  if (sysenum_sets[0]) set_addmem(sysenum_sets[0], t);  // _ENVS
  if (!Xenv || ord >= (1 << xenv_k)) {
    int k = Xenv ? xenv_k + 1 : 3;
    xenvir** a = static_cast<xenvir**>(new_mblk(k, 1));
    if (Xenv) {
      memcpy(a, Xenv, sizeof(xenvir*) * ord);
      del_mblk(xenv_k, Xenv);
    }
    Xenv = a;
    xenv_k = k;
  }
  Xenv[ord] = x;
  return x;
}

void init_environs() {
  envnames = set_enum(new_enum(), 1);
  Current_slot = nullptr;
  Xenv = nullptr;
  envir* start = static_cast<envir*>(Malloc(sizeof(envir)));
  start->k = 1;
  start->n = 0;
  start->ref = 1;
  start->a = static_cast<cstr**>(new_mblk(start->k, 1));
  Current_x = new_xenvir(Symbol("Current", 0), nullptr);
  Current_x->e = start;
  Current_slot = &Current_x->e;
  xenvir* initial = new_xenvir(Symbol("Initial", 0), nullptr);
  initial->e = start;
  --start->ref;  // Current's holding is not counted
  cur_xenv = initial;
  cur_xenv_sub = nullptr;
  cur_envp = &initial->e;
  cur_elem = nullptr;
  k_elem = 0;
}

xenvir* env_xnode(symbol* name) {
  if (!envnames) return nullptr;
  symbol* t[1] = {name};
  int64_t ord = set_lookup(envnames, t);
  return ord < 0 ? nullptr : Xenv[ord];
}

envir** newenv(xenvir* x, symbol** tuple, TVA* tva) {
  int64_t ord = set_lookup(x->members, tuple);
  if (ord >= 0) return &x->slots[ord];
  bool outside;
  {
    // Without a context (the option command) the test gets one of its own.
    tva_hold own{tva ? nullptr : new_tva()};
    outside = set_in(x->indexing, tuple, tva ? tva : own.t) == NOT_MEMBER;
  }
  if (outside) badsub(tva, x, tuple);
  ord = x->members->nmem;
  set_addmem(x->members, tuple);
  if (!x->slots || ord >= (1 << x->slots_k)) {
    int k = x->slots ? x->slots_k + 1 : 2;
    envir** s = static_cast<envir**>(new_mblk(k, 1));
    if (x->slots) {
      memcpy(s, x->slots, sizeof(envir*) * ord);
      del_mblk(x->slots_k, x->slots);
    }
    x->slots = s;
    x->slots_k = k;
  }
  x->slots[ord] = envir_share(*Current_slot);
  return &x->slots[ord];
}

// The member tuple as stored in the member set (stable while it lives).
static symbol** member_tuple(xenvir* x, symbol** tuple) {
  setmem* m;
  set_lookup(x->members, tuple, &m);
  return m ? m->tup() : nullptr;
}

void env_change(xenvir* x, symbol** sub) {
  envir** slot = x->members ? &x->slots[set_lookup(x->members, sub)] : &x->e;
  cur_envp = slot;
  envir* N = *slot;
  envir* H = *Current_slot;
  if (N != H) {
    for (int i = 0; i < ev->nmem; ++i) {
      env_info* e = Myenv[i];
      cstr* T = e->text;
      cstr* S = i < N->n ? N->a[i] : nullptr;
      if (S == T) continue;
      if (S && T && strcmp(S->text(), T->text()) == 0) {
        // Equal texts: one string serves both.
        if (S->refcnt > T->refcnt) {
          envadd(e, S);
          // envadd keeps env_db right; T lost the record's reference.
        } else {
          ++T->refcnt;
          zap_cstr(&N->a[i]);
          N->a[i] = T;
        }
        continue;
      }
      if (S) {
        envadd(e, S);
        if (e->handler) e->handler(env_val(S->text()), e->target);
      } else {
        zap_cstr(&e->text);
        env_db_remove(e);
        if (e->handler) e->handler("", e->target);
      }
    }
    *Current_slot = N;
    if (H->ref < 1) envir_free(H);
  }
  if (x != Current_x) {
    cur_xenv = x;
    cur_xenv_sub = nullptr;
    int n = arity_of(x);
    if (n) {
      if (!cur_elem ||
          static_cast<size_t>(n) * sizeof(symbol*) > (size_t{8} << k_elem)) {
        if (cur_elem) del_mblk(k_elem, cur_elem);
        k_elem = htcl(static_cast<size_t>(n) * sizeof(symbol*));
        cur_elem = static_cast<symbol**>(new_mblk(k_elem));
      }
      memcpy(cur_elem, sub, static_cast<size_t>(n) * sizeof(symbol*));
      cur_xenv_sub = cur_elem;
    }
  }
}

// ---------------------------------------------------------------------------
// References

void environ_dcl(cstr* name, set_spec* ix) {
  symbol* s = Symbol(name->text(), 1);
  zap_cstr(&name);
  if (env_xnode(s))
    error(0, "%s is already a declared environment.\n", s->name);
  else
    new_xenvir(s, ix);
  cmd_x(CK_EMPTY, ix);
}

// The environment named s, referred to with the subscript chain sub (null
// for none): null, after the message, when s is not an environment, when
// an indexed one has no subscript or a plain one has one, or when the
// number of subscripts is not the indexing's.
static xenvir* env_named(symbol* s, expr* sub) {
  xenvir* x = env_xnode(s);
  if (!x) {
    error(0, "%s is not an environment", s->name);
    return nullptr;
  }
  int given = listlen(sub);
  if (!x->members != !given) {
    mustsub(s, given ? 0 : 1);
    return nullptr;
  }
  if (given != arity_of(x)) {
    wrong_number(x, arity_of(x), given);
    return nullptr;
  }
  return x;
}

expr* envsub(cstr* env, expr* subscript, bool* refused) {
  symbol* s = Symbol(env->text(), 1);
  zap_cstr(&env);
  xenvir* x = env_named(s, subscript);
  if (x && subscript) {
    dep_note(x->num);
    return new_expr(opword(OPENVSUB), s, subscript);
  } else if (x) {
    return new_expr(opword(OPENV), s);
  }
  edelete(subscript);
  if (refused) *refused = true;
  return new_expr(opword(OPENV), Symbol("Current", 0));
}

expr* envdcl(cstr* name) {
  symbol* s = Symbol(name->text(), 1);
  xenvir* x = env_xnode(s);
  if (!x) {
    new_xenvir(s, nullptr);
  } else if (x->members) {
    error(0, "environ %s needs an explicit subscript.", s->name);
    zap_cstr(&name);
    return new_expr(opword(OPENV), Symbol("Current", 0));
  }
  return envsub(name, nullptr);
}

expr* envqual(int opc, cstr* env, expr* subscript, expr* operand) {
  expr* where = env ? envsub(env, subscript) : nullptr;
  if (opcode(operand) == OPSTR && !operand->R.p) {
    // A literal name: the operator node holds the string itself, and the
    // environment reference when there is one.
    cstr* name = operand->L.cs;
    operand->L.cs = nullptr;
    free_expr(operand);
    return new_expr(opword(opc, EF_STRING), name, where);
  }
  // A computed name: the operand is the node's first operand, the
  // environment its second.  Defaults do not depend on the environment,
  // so "$$" keeps none.
  if (opc == OPDOLLAR0) {
    edelete(where);
    return new_expr(opword(OPeDOLLAR0, EF_STRING), operand);
  }
  if (where) return new_expr(opword(OPeeDOLLAR220, EF_STRING), operand, where);
  return new_expr(opword(OPeeDOLLAR218, EF_STRING), operand);
}

expr* dollar_word(cstr* name, int dollars) {
  return envqual(dollars > 1 ? OPDOLLAR0 : OPDOLLAR, nullptr, nullptr,
                 new_str(name));
}

expr* envexpr(cstr* env, expr* subscript, cstr* name) {
  return envqual(OPDOLLAR, env, subscript, new_str(name));
}

eval_result f_OPENV(expr* e, TVA*) {
  eval_result r;
  xenvir* x = env_xnode(e->L.sym);
  r.p = x && !x->members ? &x->e : Current_slot;
  return r;
}

eval_result f_OPENVSUB(expr* e, TVA* tva) {
  eval_result r;
  xenvir* x = env_xnode(e->L.sym);
  if (!x || !x->members) {
    r.p = Current_slot;
    return r;
  }
  // The subscript's elements yield symbols; compiled, they may depend on
  // the dummies of tva.
  int n = arity_of(x);
  symbol* t[TUPMAX];
  expr* s = e->R.e;
  for (int i = 0; i < n && s; ++i, s = s->next) t[i] = eval_sym(s, tva);
  r.p = newenv(x, t, tva);
  return r;
}

envir** env_ref(expr* e, xenvir** x, symbol*** sub, xrecomp* xr) {
  *x = env_xnode(e->L.sym);
  *sub = nullptr;
  // Current's values are the current environment's.
  if (!*x || *x == Current_x) return cur_envp;
  if (opcode(e) != OPENVSUB || !(*x)->members) return &(*x)->e;
  // The command cites the environment: its indexing is brought up to date
  // (with the subscript) before a new member is tested against it.
  int n = arity_of(*x);
  symbol* t[TUPMAX];
  cmd_tuple(e->R.e, t, n, xr);
  envir** slot = newenv(*x, t, nullptr);
  *sub = member_tuple(*x, t);
  return slot;
}

// ---------------------------------------------------------------------------
// The environ command

void environ_cmd0(set_spec* ix, cstr* name, expr* subscript, cstr* source,
                  expr* source_sub) {
  symbol* s = Symbol(name->text(), 1);
  zap_cstr(&name);
  symbol* src = source ? Symbol(source->text(), 1) : nullptr;
  zap_cstr(&source);
  bool ok = true;
  if (!env_xnode(s)) {
    if (ix && src) {
      error(0, "%s is not an environment", s->name);
      ok = false;
    } else {
      ok = new_xenvir(s, ix) != nullptr;
    }
  }
  // The target and the source as references: a refused one runs nothing.
  xenvir* x = ok ? env_named(s, subscript) : nullptr;
  xenvir* y = x && src ? env_named(src, source_sub) : nullptr;
  ok = x && (!src || y);
  // Indexed ones are generated before the command runs.
  if (ok && x->members) dep_note(x->num);
  if (ok && y && y->members) dep_note(y->num);
  if (!ok || (ix && !src)) {
    // Nothing to run: `environ {indexing} name[...]` only declares.
    edelete(subscript);
    edelete(source_sub);
    cmd_x(CK_EMPTY, ix);
    return;
  }
  cmd_xbebe(CK_ENVIRON_SET, ix, s, subscript, src, source_sub);
}

namespace {

// A subscript chain compiled at command level element by element, each
// through a slot of its own (the compiler may replace a node; its undo
// restores the slot); the chain is linked again when the holder goes,
// after the compilation was released.
struct sub_slots {
  std::vector<expr*> slots;
  explicit sub_slots(expr* chain) {
    for (expr* x = chain; x;) {
      expr* next = x->next;
      x->next = nullptr;
      slots.push_back(x);
      x = next;
    }
  }
  // An error abandons the command, whose expressions are freed before the
  // exception leaves: the chain is relinked only on a normal return.
  int unwinding = std::uncaught_exceptions();
  ~sub_slots() {
    if (std::uncaught_exceptions() != unwinding) return;
    for (size_t i = 0; i + 1 < slots.size(); ++i)
      slots[i]->next = slots[i + 1];
  }
  void compile() {
    for (expr*& x : slots) mri(&x, 1);
  }
  // The subscript's first n components in context t.
  void tuple(TVA* t, symbol** out, int n) const {
    for (int i = 0; i < n && size_t(i) < slots.size(); ++i) {
      expr* x = slots[i];
      if (has_flag(x, EF_STRING)) {
        cstr* cs = eval_str(x, t);
        out[i] = Symbol(cs->text(), 1);
        release_cstr(cs);
      } else if (has_flag(x, EF_NUMERIC)) {
        out[i] = Number(eval_num(x, t));
      } else {
        out[i] = eval_sym(x, t);
      }
    }
  }
};

// Releases a command-level compilation into xr when the command ends.
struct compiled_hold {
  TVA* t;
  xrecomp* xr;
  int in_record;  // xr is the command record's (not a local one)
  ~compiled_hold() {
    if (xr) cmdxreset_held(xr, t, in_record);
  }
};

}  // namespace

void cmd_tuple(expr* chain, symbol** tuple, int n, xrecomp* xr) {
  if (!xcg(0)) bailout();
  xrecomp local{};
  if (!xr) xr = &local;
  sub_slots s(chain);
  compile_start();
  s.compile();
  compiled_hold held{compile_end(xr), xr, xr != &local};
  s.tuple(held.t, tuple, n);
}

void environ_cmd(set_spec* ix, symbol* target, expr* sub, symbol* source,
                 expr* source_sub, xrecomp* xr) {
  // The declarations may have changed since the command was read.
  xenvir* x = env_named(target, sub);
  xenvir* y = source ? env_named(source, source_sub) : nullptr;
  if (!x || (source && !y)) return;
  if (ix && !xr) bug("environ over an indexing without a recompilation record");
  // The subscripts, compiled within the indexing when there is one (with
  // no record to release into, constant subscripts only).
  sub_slots tsub(xr ? sub : nullptr), ssub(xr ? source_sub : nullptr);
  TVA* t = nullptr;
  if (xr) {
    if (!xcg(0)) return;
    compile_start();
    if (ix) ss_setup(ix, nullptr);
    tsub.compile();
    ssub.compile();
    if (ix) ss_teardown(ix);
    t = compile_end(xr);
  }
  compiled_hold held{t, xr, 1};
  auto subscript = [&](const sub_slots& slots, expr* chain, TVA* c,
                       symbol** out, int n) {
    if (xr)
      slots.tuple(c, out, n);
    else
      cmd_tuple(chain, out, n, nullptr);
  };
  // The assignment for one member of the indexing (or once); without an
  // indexing the target becomes current.
  auto one = [&](TVA* c, bool make_current) {
    envir* from = nullptr;
    if (y) {
      if (y->members) {
        symbol* st[TUPMAX];
        subscript(ssub, source_sub, c, st, arity_of(y));
        int64_t ord = set_lookup(y->members, st);
        if (ord < 0) badsub(nullptr, y, st);
        from = y->slots[ord];
      } else {
        from = y->e;
      }
    }
    symbol* tt[TUPMAX];
    envir** slot;
    symbol** tuple = nullptr;
    if (x->members) {
      subscript(tsub, sub, c, tt, arity_of(x));
      slot = newenv(x, tt, c);
      tuple = member_tuple(x, tt);
    } else {
      slot = &x->e;
    }
    if (from && from != *slot) {
      envir* old = *slot;
      *slot = envir_share(from);
      // The target was current: Current follows what env_change makes it.
      envir_release(old);
    }
    if (make_current) env_change(x, tuple);
  };
  if (!ix) {
    one(t, true);
  } else if (TVA* w = ss_begin(ix, t)) {
    do one(w, false);
    while (ss_continue(ix, w));
  }
}

void cur_environ(redirect* r, xrecomp* xr) {
  dispfile(r, xr);
  Fprintf(df, "environ %s%s;\n", cur_xenv->name->name,
          slist1(cur_xenv, cur_xenv_sub));
  fflush(df);
}

// ---------------------------------------------------------------------------
// Option files

void write_options(const opt_file* pair, FILE* f) {
  FILE* out = f;
  if (pair) {
    if (!pair->value || !*pair->value) return;
    out = Fopen_map(pair->value, "w");
    if (!out) {
      Fprintf(Stderr, "can't write %s file %s\n", pair->option, pair->value);
      return;
    }
  }
  int n;
  const int* ord = sorted_options(&n);
  for (int i = 0; i < n; ++i) {
    env_info* e = Myenv[ord[i]];
    if (!e->listed || !e->text) continue;
    const char* v = env_val(e->text->text());
    if (in_snapshot && strcmp(v, e->dflt) == 0) continue;
    Fprintf(out, "option %s ", env_name(ord[i])->name);
    put_opt_value(out, v);
    Fprintf(out, ";\n");
  }
  if (out != f)
    fclose(out);
  else
    fflush(out);
}

void write_option_files() {
  write_options(&opt_files[1], nullptr);
  write_options(&opt_files[3], nullptr);
}

void write_environ(FILE* f) {
  int n;
  const int* ord = sorted_options(&n);
  for (int i = 0; i < n; ++i) {
    env_info* e = Myenv[ord[i]];
    if (e->envindex < 0 || !e->text) continue;
    const char* s = e->text->text();
    for (const char* nl; (nl = strchr(s, '\n')); s = nl + 1)
      Fprintf(f, "%.*s ", static_cast<int>(nl - s + 1), s);
    Fprintf(f, "%s\n", s);
  }
  fclose(f);
}

}  // namespace vexo
