// Set-up of the tests of instantiation: a model with data read through the
// real parser, its variables given columns by hand (what generation will
// do: each variable declaration's members take consecutive columns in
// declaration order), its declarations compiled, and a constraint or
// objective body evaluated in generation mode for each member, as the
// member generators will do it.  What a member leaves (its constant and
// the term lists) is written as text:
//   "<constant> | <linear terms> | <nonlinear parts> | <pl terms>"
// with variables by their names (y[2]) and copies in a fully parenthesised
// form ("sum(x, 0)" for a sum list, "if(c, a, b)", "x^2").
#ifndef VEXO_UNIT_COMPILER_INSTANTIATE_FIXTURE_H
#define VEXO_UNIT_COMPILER_INSTANTIATE_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/ecopy.h"
#include "compiler/genterms.h"
#include "compiler/opgen.h"
#include "eval/iterate.h"
#include "eval/refs_fixture.h"
#include "frontend/parse.h"
#include "frontend/vardcl.h"
#include "instance/genmod.h"
#include "instance/varref.h"
#include "session/include.h"
#include "support/gfmt.h"
#include "support/list.h"
#include "support/pool.h"

namespace vexo::test {

class InstantiateTest : public RefsTest {
 protected:
  void TearDown() override {
    clear_lists();
    RefsTest::TearDown();
  }

  // Reads the model, gives every variable its columns and compiles.
  void setup(const std::string& text) {
    load(text);
    auto r = run_captured([] { compile(); });
    ASSERT_FALSE(r.exited) << r.err;
    ASSERT_EQ(r.err, "");
    int32_t col = 0;
    names_.clear();
    for (xnode* d = decls; d; d = d->next) {
      uint32_t k = d->kind & ~1u;
      if (k != DK_VAR && k != DK_SVAR) continue;
      convar* v = static_cast<convar*>(d);
      v->gen.first_col = col;
      int32_t n = 1;
      if (set_spec* ix = d->indexing) {
        // The members in the order of the indexing; references look
        // their subscripts up in the declaration's subscripts (dindex).
        set* m = set_enum(new_enum(), ix->arity);
        TVA* t = new_tva();
        n = 0;
        if (TVA* c = ss_begin(ix, t)) do {
            std::string s = std::string(d->name->name) + "[";
            for (int i = 0; i < ix->arity; ++i)
              s += std::string(i ? "," : "") + ix->first->vals[i]->name;
            names_.push_back(s + "]");
            set_addmem(m, ix->first->vals);
            ++n;
          } while (ss_continue(ix, c));
        del_tva(t);
        v->gen.members = m;
        if (!v->dindex) v->dindex = m;
      } else {
        names_.push_back(d->name->name);
      }
      v->ninst = n;
      v->gen.member_count = n;
      col += n;
    }
  }

  // The members of constraint or objective name, one text each; an error
  // ends the list with its message.
  std::vector<std::string> members(const char* name) {
    constr* c = decl<constr>(name);
    std::vector<std::string> out;
    in_cmds = 2;
    interactive = 1;
    if (infile > 0) close(infile);
    infile = 0;
    bailquit = 0;
    auto r = run_captured([&] {
      // As generation does: what a change reset is compiled again.
      compile();
      expr* body = c->body;
      if (opcode(body) != OPNLAC && (c->kind & ~1u) == DK_CON) body = body->L.e;
      TVA* t = new_tva();
      if (set_spec* ix = c->indexing) {
        if (TVA* m = ss_begin(ix, t)) do
            out.push_back(member(body, m));
          while (ss_continue(ix, m));
      } else {
        out.push_back(member(body, t));
      }
      run_cleanup(lev0);
      del_tva(t);
    });
    while (cur_tva) del_tva(cur_tva);
    if (r.aborted || r.exited) out.push_back(r.err);
    return out;
  }
  std::string member1(const char* name) {
    std::vector<std::string> m = members(name);
    return m.empty() ? "<none>" : m[0];
  }

  // The copy of e in t, as text (freed).
  std::string copied(expr* e, TVA* t) {
    expr* c = ecopy(e, t);
    std::string s = text(c);
    edelete(c);
    return s;
  }

  std::string member(expr* body, TVA* t) {
    clear_lists();
    double k = eval_num(body, t);
    std::string s = gfmt(k, 0, nullptr);
    s += " |";
    for (varref* v = gm_v; v; v = vnext(v))
      s += " " + std::string(gfmt(v->coef, 0, nullptr)) + "*" + var(v->index);
    s += " |";
    for (expr* e = gm_e; e; e = e->next) s += " " + text(e);
    s += " |";
    for (plterm* p = gm_p; p; p = p->next) s += " " + pl(p);
    return s;
  }

  std::string var(int64_t col) const {
    return col >= 0 && size_t(col) < names_.size() ? names_[size_t(col)]
                                                    : "v" + std::to_string(col);
  }

  std::string pl(const plterm* p) const {
    std::string s = "<<";
    const double* d = const_cast<plterm*>(p)->bs();
    for (int32_t k = 0; k < p->n_slopes; ++k) {
      if (k) s += ";" + std::string(gfmt(d[2 * k - 1], 0, nullptr)) + ";";
      s += gfmt(d[2 * k], 0, nullptr);
    }
    return s + ">>" + var(p->index);
  }

  std::string args(expr* a) {
    std::string s;
    for (; a; a = a->next) {
      if (!s.empty()) s += ", ";
      s += opcode(a) == OPARG ? text(a->R.e) : "?";
    }
    return s;
  }

  std::string text(expr* e) {
    if (!e) return "null";
    int op = opcode(e);
    char b[16];
    auto items = [&](expr* first) {
      std::string s;
      for (expr* x = first; x; x = x->next)
        s += (s.empty() ? "" : ", ") + text(x);
      return s;
    };
    switch (op) {
      case OPNUM:
        return gfmt(e->L.d, 0, nullptr);
      case OPLOGLIT:
        return e->L.i ? "true" : "false";
      case OPSTR:
        return std::string("'") + e->L.cs->text() + "'";
      case OPVARVAL146:
        return var(e->L.i);
      case OPSUMLIST:
        return "sum(" + items(e->L.e) + ")";
      case MINLIST:
      case MAXLIST:
        return std::string(op == MINLIST ? "min(" : "max(") + items(e->L.e) +
               ")";
      case ORLIST:
      case ANDLIST:
        return std::string(op == ORLIST ? "or(" : "and(") + items(e->L.e) + ")";
      case OPIF35:
      case OPIFSYMstr101:
      case OPIMPELSE72:
        return "if(" + text(e->L.e) + ", " + text(e->R.e->L.e) + ", " +
               text(e->R.e->R.e) + ")";
      case OPPLTERM:
        return pl(static_cast<plterm*>(e->L.p));
      case OPCOUNT:
      case OPNUMBEROF:
      case OPNUMBEROFs:
      case OPALLDIFF:
      case OPSOMESAME:
      case MINLIST2:
      case MAXLIST2:
        return std::string(bare_opname(op, b)) + "(" +
               (e->L.e ? text(e->L.e) + "; " : "") + args(e->R.e) + ")";
    }
    if (op < N_OPNAMES) {
      const char* n = bare_opname(op, b);
      switch (shape(e)) {
        case SH_BINARY:
        case SH_FUNC2:
        case SH_COUNTREL:
          if (shape(e) == SH_FUNC2)
            return std::string(n) + "(" + text(e->L.e) + ", " +
                   text(e->R.e) + ")";
          return "(" + text(e->L.e) + " " + n + " " + text(e->R.e) + ")";
        case SH_UNARY:
        case SH_FUNC1:
          return std::string(n) + "(" + text(e->L.e) + ")";
      }
    }
    return "op" + std::to_string(op);
  }

  static void clear_lists() {
    free_varref(gm_v);
    gm_v = nullptr;
    for (expr* e = gm_e; e;) {
      expr* n = e->next;
      e->next = nullptr;
      edelete(e);
      e = n;
    }
    gm_e = nullptr;
    while (plterm* p = gm_p) {
      gm_p = p->next;
      del_mblk(p->block_class, p);
    }
    gm_i = 0;
  }

  std::vector<std::string> names_;
};

}  // namespace vexo::test

#endif  // VEXO_UNIT_COMPILER_INSTANTIATE_FIXTURE_H
