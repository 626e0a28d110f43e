// Set-up of the printer tests: a fresh front end that parses model text
// through the real lexer and grammar; the printer's output taken from df;
// and treedump, a structural description of declarations, expressions and
// sets that does not go through the printer, so that two parses can be
// compared node by node.
#ifndef VEXO_UNIT_REPORT_REPORT_FIXTURE_H
#define VEXO_UNIT_REPORT_REPORT_FIXTURE_H

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "compiler/tree_walk.h"
#include "eval/funclib.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/cmdbuild.h"
#include "frontend/conbody.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/frontend_fixture.h"
#include "frontend/keywords.h"
#include "frontend/lexer.h"
#include "frontend/paramdcl.h"
#include "frontend/parse.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "frontend/vardcl.h"
#include "instance/problem.h"
#include "instance/sufdecl.h"
#include "report/dataprint.h"
#include "report/indextab.h"
#include "report/modelprint.h"
#include "report/prex.h"
#include "report/prset.h"
#include "session/infiles.h"
#include "session/sysdecls.h"
#include "support/list.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo::test {

// ---- treedump -------------------------------------------------------------

// Words for what tree_walk visits: each node its opcode, flags and the
// names and numbers it holds in place of operands (a node in parentheses),
// each set its class, arity and the like (in angle brackets); "." for a
// missing node or the end of a list.
struct treedump : tree_walk {
  treedump() { parsed = true; }
  std::string out;

  void w(const std::string& s) { out += s; }
  void num(double d) {
    char b[40];
    std::snprintf(b, sizeof b, "%a", d);
    w(b);
  }
  void i(long v) { w(std::to_string(v)); }
  void name(const xnode* d) {
    w(d ? (d->name ? d->name->name : "check") : "-");
  }
  void sym(const symbol* s) { w(s ? s->name : "-"); }

  void e(const expr* x) { node(const_cast<expr*>(x)); }
  void s(const set* x) { set_(const_cast<set*>(x)); }
  void ix(const set_spec* ss) { set_(const_cast<set_spec*>(ss)); }
  void chain(const expr* c) { list_(const_cast<expr*>(c)); }

  void at(expr* x) override {
    char b[32];
    std::snprintf(b, sizeof b, "(%d/%x ", opcode(x), eflags(x));
    w(b);
    switch (shape(x)) {
      case SH_LITERAL:
        sym(x->L.sym);
        break;
      case SH_NUMBER:
        num(x->L.d);
        break;
      case SH_SUBSCRIPTED:
        if (opcode(x) == OPENVSUB)
          sym(x->L.sym);
        else
          name(x->L.x);
        break;
      case SH_ENTITY:
      case SH_LOOKUP:
      case SH_ALIAS:
        name(x->L.x);
        break;
      case SH_DUMMY:
        i(x->L.i);
        w(".");
        i(x->R.i);
        w(" ");
        sym(reinterpret_cast<const symbol*>(x->op));
        break;
      case SH_DOT:
      case SH_DOTSUB:
        name(x->L.e->L.x);
        i(x->L.e->R.i);
        break;
      case SH_XNODE:
        name(x->L.x);
        i(x->R.i);
        break;
      case SH_STRING:
        w(x->L.cs ? x->L.cs->text() : "-");
        break;
      case SH_LOGLIT:
        i(x->L.i);
        break;
    }
  }
  void leave(expr*) override { w(")"); }
  void end() override { w("."); }

  void at_set(set* x) override {
    w("<");
    i(x->sclass);
    w("/");
    i(x->arity);
    w(" ");
    switch (x->sclass) {
      case SC_ENUM:
        i(x->nmem);
        for (setmem* m = x->first; m; m = m->next)
          for (int k = 0; k < x->arity; ++k) {
            w(" ");
            sym(m->tup()[k]);
          }
        break;
      case SC_SPEC:
      case SC_SPECSET:
        for (const Index* n = static_cast<set_spec*>(x)->first; n; n = n->next) {
          w("L");
          i(n->level);
        }
        break;
      case SC_SUBSCR: {
        const set3p* b = static_cast<const set3p*>(x);
        name(static_cast<xnode*>(b->f1));
        if (b->f2) i(static_cast<expr*>(b->f2)->opword);
        break;
      }
      case SC_INTERVAL: {
        auto* v = static_cast<const struct set_interval*>(x);
        if (v->name) w(v->name);
        i(v->type);
        break;
      }
      case SC_RANGE:
      case SC_UNION:
      case SC_DIFF:
      case SC_SYMDIFF:
      case SC_INTER:
      case SC_ORDERED:
      case SC_SETOF:
      case SC_ITUNION:
      case SC_ITINTER:
      case SC_IF:
      case SC_LITERAL:
      case SC_CROSS:
      case SC_SLICE:
        break;
      default:
        name(x->owner);
    }
  }
  void leave_set(set*) override { w(">"); }

  // A constraint body: its root holds a kind code.
  void body(const expr* b) {
    if (!b) {
      w("nobody");
      return;
    }
    w("body");
    i(b->opword);
    if (b->opword == CB_RANGE || b->opword == CB_RANGER) {
      e(b->L.e);
      e(b->R.e->L.e);
      e(b->R.e->R.e);
    } else if (b->opword <= CB_GE || b->opword == CB_EXPR) {
      e(b->L.e);
    } else {
      body(b->L.e);
      body(b->R.e);
    }
  }

  void sets_list(const list* l) {
    w("[");
    for (; l; l = l->next) s(l->item.s);
    w("]");
  }

  void decl(const xnode* d) {
    w("\n");
    i(d->kind);
    w(" ");
    name(d);
    w(d->alias ? d->alias->text() : "");
    ix(d->indexing);
    w(" flags ");
    i(static_cast<long>(d->flags));
    w(": ");
    switch (d->kind) {
      case DK_VAR:
      case DK_VARI: {
        const var* v = static_cast<const var*>(d);
        e(v->init);
        e(v->dflt);
        e(v->lb);
        e(v->ub);
        s(v->domain);
        for (var_term* t = v->arcs; t; t = t->next) {
          w(" term");
          i(t->kind);
          ix(t->ix);
          name(t->con);
          e(t->lookup);
          e(t->coef);
        }
        chain(v->sufinit);
        break;
      }
      case DK_PARAM:
      case DK_PARAMI:
      case DK_SPARAM:
      case DK_SPARAMI: {
        const param* p = static_cast<const param*>(d);
        i(p->type);
        e(p->asgn);
        e(p->dflt);
        for (list* c = p->checks; c; c = c->next) {
          const expr* n = c->item.e;
          w(" check");
          i(opcode(n));
          if (opcode(n) == OPINCHECK || opcode(n) == OPINCHECKs)
            s(n->R.s);
          else
            e(n->R.e);
        }
        break;
      }
      case DK_SET:
      case DK_SETI: {
        const setdcl* sd = static_cast<const setdcl*>(d);
        i(sd->sflags);
        w(" dimen");
        i(sd->dimen);
        s(sd->asgn);
        s(sd->dflt);
        sets_list(sd->within);
        sets_list(sd->orderby);
        break;
      }
      case DK_CON:
      case DK_CONI:
      case DK_OBJ:
      case DK_OBJI: {
        const constr* c = static_cast<const constr*>(d);
        i(c->compl_);
        e(c->idual);
        e(c->ddual);
        if (d->kind <= DK_CONI)
          body(c->body);
        else
          e(c->body);
        e(c->logbody);
        chain(c->sufinit);
        break;
      }
      case DK_CHECK:
        e(static_cast<const check*>(d)->cond);
        break;
      case DK_PROB:
      case DK_PROBI:
        for (const expr* x = static_cast<const problem*>(d)->ents; x;
             x = x->next) {
          if (opcode(x) == OPARG) {
            ix(x->L.ss);
            chain(x->R.e);
          } else {
            e(x);
          }
        }
        break;
      case DK_SUFFIX: {
        const suffix* sf = static_cast<const suffix*>(d);
        i(sf->type_bits);
        i(sf->direction);
        for (list* c = sf->conditions; c; c = c->next) {
          const expr* n = c->item.e;
          w(" check");
          i(opcode(n));
          if (opcode(n) == OPINCHECK || opcode(n) == OPINCHECKs)
            s(n->R.s);
          else
            e(n->R.e);
        }
        break;
      }
      case DK_FUNCTION: {
        const function* fn = static_cast<const function*>(d);
        i(fn->fflags);
        for (funcarg* a = fn->args; a; a = a->next) {
          w(" arg");
          i(a->dir);
          if (a->s == dotdotdot)
            w("...");
          else
            s(a->s);
        }
        e(fn->pipe);
        e(fn->format);
        break;
      }
      default:
        w("?");
    }
  }
};

inline std::string dump_expr(const expr* x) {
  treedump t;
  t.e(x);
  return t.out;
}

// The declarations after the built-in ones, dumped.
inline std::string dump_model() {
  treedump t;
  for (xnode* d = decls; d; d = d->next)
    if (d->num >= N_System_Pars) t.decl(d);
  return t.out;
}

// ---- the fixture ----------------------------------------------------------

class Printer : public ParserTest {
 protected:
  void SetUp() override {
    fresh();
    enter("/tmp/vexo_report_XXXXXX");
  }
  void TearDown() override {
    ParserTest::TearDown();
    df = nullptr;
  }

  // A front end with nothing declared (the printers' start-up is in the
  // one list), the printer's options at their defaults, output to the
  // standard output unless printed takes it.
  void fresh() {
    display_width = 79;
    MD_prec = 0;
    fresh_parser();
    old_param_eq = 0;
    quote_literals = 0;
    df = nullptr;
  }

  // What f writes through the printer to df.
  template <class F>
  std::string printed(F f) {
    char* buf = nullptr;
    size_t len = 0;
    FILE* m = open_memstream(&buf, &len);
    FILE* saved = df;
    df = m;
    f();
    fflush(m);
    df = saved;
    fclose(m);
    std::string s(buf, len);
    std::free(buf);
    return s;
  }

  // The value expression of `param _e <rest>;` (rest such as ":= a + b")
  // after the declarations decl.
  expr* expr_of(const std::string& decl, const std::string& rest) {
    parse_text(decl + "\nparam _e " + rest + ";\n");
    xnode* d = decls;
    while (d && d->next) d = d->next;
    return d ? static_cast<param*>(d)->asgn : nullptr;
  }

  static std::string text_of(cstr* c) {
    std::string s = c->text();
    zap_cstr(&c);
    return s;
  }
};

}  // namespace vexo::test

#endif  // VEXO_UNIT_REPORT_REPORT_FIXTURE_H
