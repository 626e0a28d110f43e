// The model printer.
#include "report/modelprint.h"

#include <cstdio>

#include "data/table.h"
#include "eval/funclib.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/conbody.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/vardcl.h"
#include "instance/problem.h"
#include "instance/sufdecl.h"
#include "report/dataprint.h"
#include "report/prex.h"
#include "report/prset.h"
#include "session/infiles.h"
#include "support/list.h"
#include "support/message.h"
#include "support/text.h"

namespace vexo {

// Direction words of suffixes and tables by the low two bits of the code,
// and of function arguments by code 1..3.
static const char* const dir_word[4] = {" LOCAL", " IN", " OUT", " INOUT"};
static const char* const argdir_word[4] = {"", "IN", "OUT", "INOUT"};
// The comparison of a constraint body by its kind code 0..4.
static const char* const con_word[5] = {"==", "<=", ">=", "<=", ">="};

// The type words of a declaration's type bits: symbolic, binary (also
// written `logical`), integer.
static void type_words(uint64_t bits) {
  if (bits & PT_SYMBOLIC)
    put(" symbolic");
  else if (bits & PT_BINARY)
    put(" binary");
  else if (bits & PT_INTEGER)
    put(" integer");
}

// Entry k of a list or chain (linked through next).
template <class T>
static T* nth(T* first, int k) {
  while (k-- > 0) first = first->next;
  return first;
}

static bool is_num(const expr* e, double v) {
  return e && opcode(e) == OPNUM && e->L.d == v;
}

// "keyword name", the alias and the indexing.
static void head(const char* keyword, xnode* d) {
  putf("%s %s", keyword, dcl_name(d));
  if (d->alias) putf(" %Q", d->alias->text());
  if (d->indexing) pr_set_spec(d->indexing);
}

// The value whose negation e holds: a stored unary minus is written as its
// operand, a number with the other sign.
static void put_negated(expr* e) {
  if (e && opcode(e) == OPUMINUS) {
    prex_phrase(e->L.e, false);
  } else if (e && opcode(e) == OPNUM) {
    expr n = *e;
    n.L.d = -e->L.d;
    prex(&n);
  } else {
    put("-");
    prex_prec(e, prec[OPUMINUS]);
  }
}

// Suffix initialisations, each on a line of its own.
static void suffix_inits(expr* l) {
  for (expr* s = l; s; s = s->next) {
    pbi_flush1();
    putf("suffix %s ", dcl_name(s->L.x));
    prex_phrase(s->R.e, false);
  }
}

// The arc and column phrases of a variable.
static void var_terms(var* v) {
  for (var_term* t = v->arcs; t; t = t->next) {
    pbi_flush1();
    expr* coef = t->coef;
    const char* kw;
    bool negated = false, omit = false;
    switch (t->kind) {
      case VT_TO:
        kw = "to";
        omit = is_num(coef, 1);
        break;
      case VT_FROM:  // the coefficient is kept negated
        kw = "from";
        negated = true;
        omit = is_num(coef, -1);
        break;
      default:
        if (t->con->kind == DK_OBJ || t->con->kind == DK_OBJI) {
          kw = "obj";
        } else if (is_num(coef, 1)) {
          kw = "cover";
          omit = true;
        } else {
          kw = "coef";
        }
    }
    put(kw);
    if (t->ix) pr_set_spec(t->ix);
    putf(" %s", dcl_name(t->con));
    if (t->lookup) pr_subscr(t->lookup);
    if (omit || !coef) continue;
    put(" ");
    if (negated)
      put_negated(coef);
    else
      prex(coef);
  }
}

static void print_var(var* v) {
  uint64_t f = v->flags;
  head((f & VF_ARC) ? "arc" : "var", v);
  if (f & VF_RANDOM) put(" random");
  // The symbolic word is the kind's (a symbolic variable); the flag bit of
  // the same value means nothing else here.
  bool symbolic = v->kind == DK_SVAR || v->kind == DK_SVARI;
  type_words((f & ~uint64_t{VF_SYMBOLIC}) | (symbolic ? uint64_t{PT_SYMBOLIC} : 0));
  if (f & VF_DEFINED) {
    // A defined variable keeps its definition negated in init.
    put(" = ");
    put_negated(v->init);
  } else {
    if (f & VF_FIXED) {
      put(" = ");
      prex_phrase(v->lb, v->domain);
    } else {
      if (v->lb) {
        put(" >= ");
        prex_phrase(v->lb, v->ub || v->domain);
      }
      if (v->ub) {
        if (v->lb) {
          pbi_flush1();
          put("<= ");
        } else {
          put(" <= ");
        }
        prex_phrase(v->ub, v->domain);
      }
    }
    if (v->domain) {
      put(" in ");
      prset(v->domain);
    }
  }
  var_terms(v);
  if (f & VF_RANDOM) {
    if (v->init) {
      put(" = ");
      prex_phrase(v->init, false);
    }
    if (v->dflt) {
      pbi_flush1();
      put("default ");
      prex_phrase(v->dflt, false);
    }
  } else if (!(f & VF_DEFINED) && v->init) {
    pbi_flush1();
    put(":= ");
    prex_phrase(v->init, false);
  } else if (v->dflt) {
    pbi_flush1();
    put("default ");
    prex_phrase(v->dflt, false);
  }
  suffix_inits(v->sufinit);
}

// Whether a restriction is written as one (integrality tests are written
// by the type words).
static bool written_restriction(const expr* n) {
  return opcode(n) != OP_ISLOGICAL && opcode(n) != OP_ISINTEGER;
}

// The restrictions of a param or suffix in clause order (a suffix keeps its
// list newest first: reversed nonzero).  more: a phrase that may begin with
// a comparison follows.
static void restrictions(list* checks, bool reversed, bool more) {
  int n_checks = listlen(checks);
  auto at = [&](int k) {
    return nth(checks, reversed ? n_checks - 1 - k : k)->item.e;
  };
  int last = n_checks - 1;
  while (last >= 0 && !written_restriction(at(last))) --last;
  for (int k = 0; k <= last; ++k) {
    expr* n = at(k);
    int oc = opcode(n);
    if (!written_restriction(n)) continue;
    if (oc == OPINCHECK || oc == OPINCHECKs) {
      put(" in ");
      prset_phrase(n->R.s, k < last || more);
      continue;
    }
    put(opname[oc]);
    prex_phrase(n->R.e, k < last || more);
  }
}

static const char* defining_sign() {
  return old_param_eq == 1 ? " := " : " = ";
}

static void print_param(param* p) {
  head("param", p);
  type_words(p->type);
  restrictions(p->checks, false, p->asgn);
  if (p->dflt) {
    put(" default ");
    prex_phrase(p->dflt, p->asgn);
  }
  if (p->asgn) {
    put(defining_sign());
    prex_phrase(p->asgn, false);
  }
}

static void print_set(setdcl* d) {
  head("set", d);
  // A recursively defined indexed set keeps its definition as default.
  bool def_in_dflt = (d->sflags & SF_RECCACHE) && !(d->sflags & SF_RECDEFAULT);
  set* def = def_in_dflt ? d->dflt : d->asgn;
  set* dflt = def_in_dflt ? nullptr : d->dflt;
  bool empty_def = def && def->sclass == SC_ENUM && def->nmem == 0;
  if (!d->within && (!def || empty_def) && d->dimen != 1)
    putf(" dimen %d", d->dimen);
  // The within list is kept newest first: written in clause order.
  int n = listlen(d->within);
  for (int i = n; i-- > 0;) {
    put(" within ");
    prset_phrase(nth(d->within, i)->item.s, i > 0 || def);
  }
  if (dflt) {
    put(" default ");
    prset_phrase(dflt, def);
  }
  if (def) {
    put(defining_sign());
    prset(def);
  }
  if ((d->sflags & SF_CIRCULAR) == SF_CIRCULAR)
    put(" circular");
  else if (d->sflags & SF_ORDERED)
    put(" ordered");
  if (d->orderby) {
    put((d->sflags & SF_REVERSED) ? " by reversed " : " by ");
    prset(d->orderby->item.s);
  }
}

// One side of a body: its kind code, and the network keyword written with
// its left side (or middle) when one applies.
static void body_side(expr* b, const char* kw) {
  uint32_t type = b->opword;
  switch (type) {
    case CB_EXPR:
      prex(b->L.e);
      return;
    case CB_EQ:
    case CB_LE:
    case CB_GE: {
      expr* diff = b->L.e;
      // A compiled body: the stored difference.
      if (diff && opcode(diff) == OP240 && diff->L.e) diff = diff->L.e->R.e;
      if (!diff || opcode(diff) != OPMINUS) {
        pbi_flush();
        bug("print_constr expected OPMINUS, got 0x%x", diff ? diff->opword : 0);
      }
      expr* left = diff->L.e;
      if (kw && is_num(left, 0)) {
        put(kw);
      } else if (kw) {
        prex_prec(left, prec[OPPLUS]);
        putf(" + %s", kw);
      } else {
        prex(left);
      }
      putf(" %s ", con_word[type]);
      prex(diff->R.e);
      return;
    }
    case CB_RANGE:
    case CB_RANGER: {
      expr* bounds = b->R.e;
      prex(bounds->L.e);
      putf(" %s ", con_word[type]);
      expr* mid = b->L.e;
      if (kw && is_num(mid, 0)) {
        put(kw);
      } else if (kw) {
        prex_prec(mid, prec[OPPLUS]);
        putf(" + %s", kw);
      } else {
        prex(mid);
      }
      putf(" %s ", con_word[type]);
      prex(bounds->R.e);
      return;
    }
    default:
      pbi_flush();
      bug("unexpected ctype %d in print_constrdcls", int(type));
  }
}

static void print_constrbody(constr* c) {
  if (c->logbody) {
    prex(c->logbody);
    return;
  }
  expr* b = c->body;
  if (c->compl_) {
    body_side(b->L.e, nullptr);
    pbi_flush1();
    put("complements ");
    body_side(b->R.e, nullptr);
    return;
  }
  const char* kw = (c->flags & CF_NODE)     ? "net_in"
                   : (c->flags & CF_TOCOME) ? "to_come"
                                            : nullptr;
  body_side(b, kw);
}

static void print_con(constr* c) {
  head((c->flags & CF_NODE) ? "node" : "subject to", c);
  if (c->idual) {
    put(" := ");
    prex_phrase(c->idual, false);
  } else if (c->ddual) {
    put(" default ");
    prex_phrase(c->ddual, false);
  }
  // Suffix phrases belong before the body's colon.
  suffix_inits(c->sufinit);
  if (c->body || c->logbody) {
    put(": ");
    print_constrbody(c);
  }
}

static void print_obj(constr* c) {
  uint32_t type = static_cast<uint32_t>(c->flags & 7);
  if (type != CF_MINIMIZE && type != CF_MAXIMIZE) {
    pbi_flush();
    bug("unexpected ctype %d in print_objectives", int(type));
  }
  head(type == CF_MINIMIZE ? "minimize" : "maximize", c);
  suffix_inits(c->sufinit);
  if (c->flags & CF_TOCOME) {
    if (!c->body || is_num(c->body, 0)) return;
    put(": ");
    prex_prec(c->body, prec[OPPLUS]);
    put(" + to_come");
    return;
  }
  if (c->body) {
    put(": ");
    prex_phrase(c->body, false);
  }
}

static void print_check(check* c) {
  put("check");
  if (c->indexing) pr_set_spec(c->indexing);
  put(": ");
  prex(c->cond);
}

// The items of a problem: entities whole, subscripted, or over an
// indexing (several items of a group in parentheses).
static void print_probex(expr* items, bool* first) {
  for (expr* e = items; e; e = e->next) {
    put(*first ? ": " : ", ");
    *first = false;
    // An entity that joined the problem when it was declared: OPARG over a
    // node of the declaration, without an indexing.
    if (opcode(e) == OPARG && !e->R.e && e->L.e && opcode(e->L.e) == OP281) {
      put(dcl_name(e->L.e->L.x));
      continue;
    }
    if (opcode(e) != OPARG || !e->L.ss) {
      prex(e);
      continue;
    }
    pr_set_spec(e->L.ss);
    expr* g = e->R.e;
    if (g && g->next) put("(");
    for (expr* x = g; x; x = x->next) {
      if (x != g) put(", ");
      prex(x);
    }
    if (g && g->next) put(")");
  }
}

static void print_problem(problem* p) {
  head("problem", p);
  // The declaration's items, then the entities declared while it was
  // current.
  bool first = true;
  print_probex(p->items, &first);
  print_probex(p->ents, &first);
}

static void print_suffix(suffix* s) {
  head("suffix", s);
  if (s->direction) put(dir_word[s->direction & 3]);
  type_words(s->type_bits);
  restrictions(s->conditions, true, false);
}

// The argument domains of a function; "..." for a variable-length tail.
static void print_argdom(funcarg* a) {
  if (a && a->s == dotdotdot && !a->next && !a->dir) return;  // any
  put("(");
  for (funcarg* x = a; x; x = x->next) {
    if (x != a) put(", ");
    int dir = x->dir >= 1 && x->dir <= 3 ? x->dir : 0;
    if (x->s == dotdotdot) {
      if (dir)
        putf("%s ...", argdir_word[dir]);
      else
        put("...");
    } else if (x->s) {
      if (dir) putf("%s ", argdir_word[dir]);
      prset(x->s);
    } else {
      put(dir ? argdir_word[dir] : "*");
    }
  }
  put(")");
}

static void print_function(function* f) {
  head("function", f);
  print_argdom(f->args);
  if (f->fflags & 65536) put(" random");
  type_words(f->fflags);
  if (f->pipe) {
    put(" pipe ");
    prex(f->pipe);
    if (f->format) {
      put(" format ");
      prex(f->format);
    }
  }
}

// A table as its record keeps it: the head, its direction and its strings
// (the key and column descriptions are not kept yet).
static void print_table(Table* t) {
  head("table", t);
  if (t->tdir >= 1 && t->tdir <= 3) put(dir_word[t->tdir]);
  for (int i = listlen(t->strings); i-- > 0;) {
    expr* s = nth(t->strings, i);
    if (opcode(s) == OPSTR) {
      put(" ");
      prex(s);
    } else {
      put(" (");
      prex(s);
      put(")");
    }
  }
}

void print_dcl(xnode* d) {
  decl_rev();  // a variable's terms in clause order
  x_current = d;
  switch (d->kind) {
    case DK_VAR:
    case DK_VARI:
    case DK_SVAR:
    case DK_SVARI:
      print_var(static_cast<var*>(d));
      break;
    case DK_PARAM:
    case DK_PARAMI:
    case DK_SPARAM:
    case DK_SPARAMI:
      print_param(static_cast<param*>(d));
      break;
    case DK_SET:
    case DK_SETI:
      print_set(static_cast<setdcl*>(d));
      break;
    case DK_CON:
    case DK_CONI:
      print_con(static_cast<constr*>(d));
      break;
    case DK_OBJ:
    case DK_OBJI:
      print_obj(static_cast<constr*>(d));
      break;
    case DK_CHECK:
      print_check(static_cast<check*>(d));
      break;
    case DK_PROB:
    case DK_PROBI:
      print_problem(static_cast<problem*>(d));
      break;
    case DK_ENV:
    case DK_ENVI:
      head("environ", d);
      break;
    case DK_SUFFIX:
      print_suffix(static_cast<suffix*>(d));
      break;
    case DK_FUNCTION:
      print_function(static_cast<function*>(d));
      break;
    case DK_TABLE:
      print_table(static_cast<Table*>(d));
      break;
    default:
      x_current = nullptr;
      prbadtype("print_model", d->kind);
  }
  pbi_flush();
  x_current = nullptr;
}

void print_model(int flag) {
  disp_width = display_width;
  int saved = quote_literals;
  quote_literals = 1;
  show_opprint = flag;
  for (xnode* d = decls; d; d = d->next) {
    if (flag && d->num < N_System_Pars) continue;
    print_dcl(d);
  }
  quote_literals = saved;
}

void print_all() {
  disp_width = display_width;
  if (Print_all & 1) print_model(1);
  if (Print_all & 2) print_data(1);
  pbi_flush();
  fflush(display_stream());
}

}  // namespace vexo
