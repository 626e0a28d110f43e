// Compilation of declarations.
#include "compiler/compdecl.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "compiler/compile.h"
#include "compiler/context.h"
#include "compiler/eexpr.h"
#include "compiler/massage.h"
#include "compiler/opgen.h"
#include "compiler/recomp.h"
#include "compiler/setmassage.h"
#include "compiler/tva.h"
#include "data/values.h"
#include "eval/funclib.h"
#include "eval/indexing.h"
#include "eval/pcheck.h"
#include "eval/set.h"
#include "frontend/conbody.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/distrib.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/vardcl.h"
#include "instance/names.h"
#include "instance/problem.h"
#include "instance/stamps.h"
#include "instance/sufdecl.h"
#include "report/indextab.h"
#include "report/prset.h"
#include "session/infiles.h"
#include "session/opttable.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

namespace {

// The declaration's indexing, opened for its clauses (with the declaration
// as owner, or without) and closed again.
struct scope {
  set_spec* ss;
  scope(set_spec* s, xnode* owner) : ss(s) {
    if (ss) ss_setup(ss, owner);
  }
  ~scope() {
    if (ss) ss_teardown(ss);
  }
  scope(const scope&) = delete;
  scope& operator=(const scope&) = delete;
};

// A set compiled as a declaration's clause: forced when it lies outside
// the current level, else mandated.
eexpr* clause_set(set** ps) {
  if (!*ps) return nullptr;
  eexpr* e = set_massage(ps);
  ++e->nuse;
  if (e->con < ccon)
    sforce(ccon, *ps);
  else
    smandate(*ps);
  return e;
}

// An expression massaged and counted but not mandated; forced when it
// lies outside the current level.
eexpr* counted(expr** pe) {
  eexpr* e = massage(pe);
  if (!e) return nullptr;
  ++e->nuse;
  if (e->con < ccon) e->flags |= EE_FORCED;
  return e;
}

// The input stamp of d after compiling its definition: the definition's
// newest input when newer; after random draws, older than any generation.
void take_instamp(xnode* d, const eexpr* def, int draws_before) {
  if (def && def->stamp > d->xr.instamp) d->xr.instamp = def->stamp;
  if (randcalls > draws_before) d->xr.instamp = nextgenlev - 1;
}

void suffix_inits(expr* inits) {
  for (expr* a = inits; a; a = a->next) mri(&a->R.e, 1);
}

void compile_var(var* v) {
  scope sc(v->indexing, v);
  suffix_inits(v->sufinit);
  eexpr* lb = mri(&v->lb, 1);
  if (v->flags & VF_FIXED) {
    if (lb) ++lb->nuse;
  } else {
    mri(&v->ub, 1);
    if (v->domain) smri(&v->domain, 1);
  }
  for (var_term* t = v->arcs; t; t = t->next) {
    scope tsc(t->ix, nullptr);
    eexpr* a = t->lookup ? counted(&t->lookup) : nullptr;
    eexpr* b = t->coef ? counted(&t->coef) : nullptr;
    if (b && (t->coef->opword & (EF_VARS | EF_RANDVAR))) {
      // A coefficient with variables is a nonlinear term of factor one.
      expr* old = t->coef;
      expr* n = new_expr(opword(OPNLAC, EF_NUMERIC | EF_VARS), one, old);
      Retain_new(&t->coef, old, n);
      t->coef = n;
      eexpr* r = new eexpr;
      r->eexpr_init(n, (a ? a->levbits : 0) | b->levbits, v->xr.instamp);
      r->nuse = 1;
    }
  }
  if (v->flags & VF_DEFINED) {
    if (v->init) distrib(&v->init);
  } else {
    mri(&v->init, 1);
    mri(&v->dflt, 1);
  }
}

void compile_constr(constr* c) {
  scope sc(c->indexing, c);
  suffix_inits(c->sufinit);
  if (c->logbody) {
    ldistrib(&c->logbody);
  } else if (expr* b = c->body) {
    int ctype = static_cast<int>(c->flags & 15);
    if (ctype & CB_COMPL) {
      // A complementarity: each side by its own kind code.
      for (expr* part : {b->L.e, b->R.e}) {
        if (!part) continue;
        int k = static_cast<int>(part->opword);
        if (!ctype_known(k))
          bug("unexpected ctype %d in compile_constrdcls", k);
        con1compile(k, part);
      }
    } else if (ctype_known(ctype)) {
      con1compile(ctype, b);
      // x = ...: the lone left variable's term names the column that
      // option substout lets the row define (read when generating, so the
      // option may change after the declaration).
      if (c->flags & CF_VAREQ) {
        expr* t = b->L.e;
        if (t && opcode(t) == OPMINUS) t = t->L.e;
        if (t && t->opword == opword(OPVARAC, EF_NUMERIC | EF_VARS))
          t->opword = opword(OPVARACDEF, EF_NUMERIC | EF_VARS);
      }
    } else {
      bug("unexpected ctype %d in compile_constrdcls", ctype);
    }
  }
  mri(&c->idual, 1);
  mri(&c->ddual, 1);
}

void compile_obj(constr* o) {
  scope sc(o->indexing, o);
  suffix_inits(o->sufinit);
  // The sense, without the state bits (the set-result mark of its
  // indexing among them).
  uint64_t t = o->flags & ~uint64_t{0x30302280 | 16 | XF_SETRESULT};
  if (t != CF_MINIMIZE && t != CF_MAXIMIZE)
    bug("unexpected ctype %d in compile_objectives", static_cast<int>(t));
  if (o->body) distrib(&o->body);
}

void compile_setdcl(setdcl* s) {
  int draws = randcalls;
  bool indexed = s->kind == DK_SETI;
  set_spec* ix = indexed ? s->indexing : nullptr;
  eexpr* def = nullptr;
  if (indexed && s->asgn) {
    ss_setup(ix, s);
  } else if (indexed) {
    bool rec = (s->sflags & SF_RECCACHE) && !(s->sflags & SF_RECDEFAULT);
    // Copies of the definition as it was compiled before go.
    if (s->sflags & SF_RECCACHE) rec_set_reset(s);
    rec_compile = rec;
    ss_setup(ix, nullptr);
    rec_compile = 0;
    if (s->dflt) {
      eexpr* e = set_massage(&s->dflt);
      ++e->nuse;
      if (e->con < ccon) sforce(ccon, s->dflt);
    }
  } else if (s->asgn) {
    if (s->value && s->value->nmem >= 0 && s->value->sclass != SC_ENUM)
      Clearset(s->value);
    def = smri(&s->asgn, 1);
    if (s->value != s->asgn) {
      Retain_set(&s->value, s->value, Display);
      s->value = s->asgn;
    }
  } else if (s->dflt && (!s->value || s->value->nmem < 0)) {
    def = smri(&s->dflt, 1);
    if (s->value != s->dflt) {
      Retain_set(&s->value, s->value, Display);
      s->value = s->dflt;
    }
  } else if (s->value) {
    def = smri(&s->value, 1);
  }
  for (list* w = s->within; w; w = w->next) clause_set(&w->item.s);
  // The ordered by set, unless the defining set compiled above holds it
  // (a scalar set's := or default is an ordered set over the same cell).
  bool wrapped = !indexed && s->value &&
                 (s->value == s->asgn || s->value == s->dflt);
  if (s->orderby && !wrapped)
    clause_set(&s->orderby->item.s);
  if (indexed && s->asgn) def = clause_set(&s->asgn);
  take_instamp(s, def, draws);
  if (ix) ss_teardown(ix);
}

void compile_check(check* k) {
  // Its text as written, before the condition is compiled.
  if (!k->text) k->text = scheck(k, nullptr);
  scope sc(k->indexing, k);
  mri(&k->cond, 1);
}

void compile_suffix(suffix* s) {
  compile_pcheck(s->conditions, s->xr.instamp, 0);
}

}  // namespace

void compile_items(expr* items) {
  for (expr* e = items; e; e = e->next) {
    switch (opcode(e)) {
      case OPVARSUB165:
      case OPCONSUB:
      case OPOBJVALSUB:
        // The look-up's subscript list, evaluated to the member's tuple.
        mri(&e->R.e->R.e, 1);
        break;
      case OPSYNSUB:
        // A synonym's one subscript, a number.
        mri(&e->R.e->L.e, 1);
        break;
      case OPARG:
        if (e->L.ss) {
          scope sc(e->L.ss, nullptr);
          compile_items(e->R.e);
        } else {
          compile_items(e->R.e);
        }
        break;
    }
  }
}

namespace {

void compile_problem(problem* p) {
  scope sc(p->indexing, p);
  suffix_inits(p->sufinits);
  compile_items(p->items);
}

void compile_function(function* f) {
  compile_argdom(f);
  mri(&f->pipe, 1);
  mri(&f->format, 1);
}

// Kind rules of the compile pass.
void compile_dcl(xnode* d) {
  switch (d->kind) {
    case DK_VAR:
    case DK_VARI:
    case DK_SVAR:
    case DK_SVARI:
      compile_var(static_cast<var*>(d));
      return;
    case DK_PARAM:
    case DK_PARAMI:
      compile_par(static_cast<param*>(d), 0);
      return;
    case DK_SPARAM:
    case DK_SPARAMI:
      compile_par(static_cast<param*>(d), 1);
      return;
    case DK_SET:
    case DK_SETI:
      compile_setdcl(static_cast<setdcl*>(d));
      return;
    case DK_CON:
    case DK_CONI:
      compile_constr(static_cast<constr*>(d));
      return;
    case DK_OBJ:
    case DK_OBJI:
      compile_obj(static_cast<constr*>(d));
      return;
    case DK_CHECK:
      compile_check(static_cast<check*>(d));
      return;
    case DK_PROB:
    case DK_PROBI:
      compile_problem(static_cast<problem*>(d));
      return;
    case DK_ENV:
    case DK_TABLE:
      return;
    case DK_ENVI: {
      scope sc(d->indexing, nullptr);
      return;
    }
    case DK_SUFFIX:
      compile_suffix(static_cast<suffix*>(d));
      return;
    case DK_FUNCTION:
      compile_function(static_cast<function*>(d));
      return;
  }
  badtype("compile", d->kind);
}

}  // namespace

void con1compile(int ctype, expr* c) {
  if (ctype < 3) {
    distrib(&c->L.e);
    if (ctype == 0 && (solveout & 1) && c->L.e &&
        c->L.e->opword == opword(OPVARAC, EF_NUMERIC | EF_VARS))
      c->L.e->opword = opword(OPVARACDEF, EF_NUMERIC | EF_VARS);
  } else if (ctype <= 7) {
    expr* bounds = c->R.e;
    if (bounds) mri(&bounds->L.e, 1);
    distrib(&c->L.e);
    if (bounds) mri(&bounds->R.e, 1);
  } else {
    distrib(&c->L.e);
  }
}

void compile_pcheck(list* checks, double stamp, int sym) {
  if (!checks) return;
  expr* tested = checks->item.e->L.e;
  if (tested) {
    eexpr* t = new eexpr;
    t->eexpr_init(tested, ccon->scope, stamp);
    t->nuse = 1;
  }
  for (list* c = checks; c; c = c->next) {
    expr* n = c->item.e;
    // One placeholder serves every check of the list.
    if (n->L.e && n->L.e != tested) {
      n->L.e->next = nullptr;
      free_expr(n->L.e);
    }
    n->L.e = nullptr;
    // Its text as written, for the report of a failure, before the
    // comparand is compiled.
    check_text_keep(n);
    int op = opcode(n);
    if (op == OPINCHECK || op == OPINCHECKs) {
      n->opword = opword(sym ? OPINCHECKs : OPINCHECK);
      if (n->R.s) {
        n->R.s->errctx = nullptr;
        clause_set(&n->R.s);
      }
    } else {
      mri(&n->R.e, 1);
    }
    n->L.e = tested;
    eexpr* r = new eexpr;
    r->eexpr_init(n, ccon->scope, stamp);
    r->nuse = 1;
  }
}

void compile_par(param* p, int sym) {
  int draws = randcalls;
  bool rec = p->type & PT_RECURSIVE;
  if (rec) {
    if (p->asgn) {
      // The definition serves as the default from now on.
      p->dflt = p->asgn;
      p->asgn = nullptr;
    } else if (!(p->type & PT_RECDEFAULT)) {
      // The definition moved there before: what it computed goes.
      rec_reset(p->dflt);
      val_drop(p, 1);
    }
  }
  bool defined = p->asgn != nullptr;
  scope sc(p->indexing, defined ? p : nullptr);
  compile_pcheck(p->checks, p->xr.instamp, sym);
  if (rec) {
    rec_compile = 1;
    int shared = no_common;
    if (dbg & 4) no_common = 2;
    counted(&p->dflt);
    no_common = shared;
    rec_compile = 0;
  } else if (defined) {
    take_instamp(p, mri(&p->asgn, 1), draws);
  } else if (p->dflt) {
    // A default read as data is replaced and freed by later data
    // statements while the other declarations stay compiled: it gets a
    // record of its own and never stands in another declaration's tree.
    expr* saved = e_nomatch;
    if (p->dflags & DF_DATADFLT) e_nomatch = p->dflt;
    eexpr* e = massage(&p->dflt);
    e_nomatch = saved;
    if (e) ++e->nuse;
  }
}

void compile_argdom(function* f) {
  for (funcarg* a = f->args; a; a = a->next) {
    if (!a->s || a->s == dotdotdot) continue;
    eexpr* e = set_massage(&a->s);
    if (e->con < ccon) sforce(ccon, a->s);
    ++e->nuse;  // the calls' domain checks use the set
  }
}

bool compile_due;

void reset_compiled(xnode* d) {
  xreset(d);
  es_reset(&d->xr);
  d->xr.stamp = -1.0;
}

void uncompile(xnode* d) {
  xrecomp& x = d->xr;
  if (x.stamp == 0) return;
  // Level-0 values and the nodes planted for them are shared between
  // declarations (a set of d may stand in another's tree): they go first,
  // as when a compilation starts, and the next generation compiles again.
  if (one) lev0_clear();
  compile_due = true;
  if (x.lev0rew) {
    rew_reset(x.nlev0rew, x.lev0rew, &x.lev0rew);
    x.nlev0rew = 0;
  }
  reset_compiled(d);
}

int64_t dcl_compiles;

void compdecl_reset() {
  compile_due = false;
  dcl_compiles = 0;
}

// A compilation that left no nodes: nothing compiled after it can share
// them, and no change of another declaration can make it stale.
static bool left_nothing(const xrecomp& x) {
  return !x.chain && !x.lev0rew && !x.retained && !x.nsaved &&
         !x.nsavedlists;
}

bool compiled_current(const xnode* d) {
  const xrecomp& x = d->xr;
  if (x.stamp > 0) return true;
  if (x.stamp != -2.0) return false;
  // Values computed on demand without a generation go with a compilation,
  // so that their checks are made again by the next command.
  if (x.state & XR_GENERATED) return false;
  // The system's value cells (the clock params depend on _vexo_time, which
  // changes at every command) compile to nothing.
  if (d->num < N_System_Pars && left_nothing(x)) return true;
  for (int32_t i = 0; i < d->ndeps; ++i) {
    uint32_t n = d->deps[i];
    if (n >= uint32_t(std::max(dac.next, 0))) continue;
    const xnode* p = dac.bynum[n];
    if (!p || p == d) continue;
    if (chg_stamp(p) >= x.cstamp) return false;
    if (p->xr.stamp == 0 || p->xr.stamp == -1.0) return false;
  }
  return true;
}

namespace {


// The declarations compile leaves as they are, by number: generated ones
// whose inputs are older than their values, and compiled ones that are
// current (compiled_current), params and sets (the forms that a change of
// data leaves as they are), and come before every declaration compiled
// again.  A compilation shares nodes from the declarations compiled before
// it in the same pass, so those after the first one compiled again are
// compiled again too.  Only what a change reached (and what follows it)
// is compiled, however large the model.
bool kept_kind(const xnode* d) {
  switch (d->kind) {
    case DK_PARAM:
    case DK_PARAMI:
    case DK_SPARAM:
    case DK_SPARAMI:
    case DK_SET:
    case DK_SETI:
      return true;
  }
  // Another kind only when its compilation left nothing (a problem
  // without items).
  return left_nothing(d->xr);
}

std::vector<bool> kept_compiled() {
  std::vector<bool> keep(size_t(std::max(dac.next, 0)) + 1);
  bool recompiling = false;
  for (xnode* d = decls; d; d = d->next) {
    const xrecomp& x = d->xr;
    bool k;
    if (x.stamp > 0) {
      k = x.instamp <= x.stamp;
    } else {
      k = !recompiling && kept_kind(d) && compiled_current(d);
      recompiling = recompiling || !k;
    }
    if (k && d->num >= 0 && size_t(d->num) < keep.size())
      keep[size_t(d->num)] = true;
  }
  return keep;
}

}  // namespace

void compile() {
  compile_due = false;
  if (dbg & 2) no_common = 1;
  std::vector<bool> keep = kept_compiled();
  auto kept = [&](const xnode* d) {
    return d->num >= 0 && size_t(d->num) < keep.size() && keep[size_t(d->num)];
  };
  compile_start();
  con[0].chain = nullptr;
  // Reset pass: level-0 rewrites undone (for the duration of this call
  // when the declaration stays up to date), compiled forms reset.
  for (xnode* d = decls; d; d = d->next) {
    xrecomp& x = d->xr;
    if (x.lev0rew) {
      if (kept(d)) {
        rew_reset(x.nlev0rew, x.lev0rew, nullptr);
        x.state |= XR_REWUNDONE;
      } else {
        rew_reset(x.nlev0rew, x.lev0rew, &x.lev0rew);
        x.nlev0rew = 0;
      }
    }
    if (x.stamp < 0 && !kept(d)) reset_compiled(d);
  }
  // Compile pass.
  for (xnode* d = decls; d; d = d->next) {
    xrecomp& x = d->xr;
    if (x.stamp > 0 || kept(d)) continue;
    x.stamp = -2.0;
    x.cstamp = nextgenlev;
    ++dcl_compiles;
    compile_dcl(d);
    if (dac.n) sud_build(d);
    if (rew_list0) rew_save(&x);
    x.chain = con[0].chain;
    con[0].chain = nullptr;
    x.retained = retained;
    retained = nullptr;
  }
  if (at_eof && retained) {
    drop_retained(retained);
    retained = nullptr;
  }
  // Level-0 planting, and the rewrites undone above put back.
  for (xnode* d = decls; d; d = d->next) {
    xrecomp& x = d->xr;
    if (x.state & XR_REWUNDONE) {
      rew_redo(x.nlev0rew, x.lev0rew);
      x.state &= ~XR_REWUNDONE;
      continue;
    }
    lev0_compile(x.chain, lev00);
    x.nlev0rew = lev0->nrew;
    x.lev0rew = lev0->rew;
    lev0->nrew = 0;
    lev0->rew = nullptr;
  }
  plant_rewlist();
  lev0_compile(epmone, lev0);
  tva_lencomp();
}

}  // namespace vexo
