// Set-up of the set and iteration tests: model text parsed through the real
// lexer and grammar and compiled through the compilation bracket as a
// command compiles what it evaluates, then evaluated in the bracket's
// context.  Also the texts of a set's members.
#ifndef VEXO_UNIT_EVAL_SETS_FIXTURE_H
#define VEXO_UNIT_EVAL_SETS_FIXTURE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <initializer_list>
#include <set>
#include <string>

#include "compiler/compile.h"
#include "compiler/tree_walk.h"
#include "compiler/tva.h"
#include "eval/dispatch.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/slice.h"
#include "frontend/model_fixture.h"
#include "frontend/parse.h"
#include "instance/ac.h"
#include "session/include.h"
#include "support/list.h"
#include "support/symbol.h"

namespace vexo::test {

// Gives the compiled nodes of the conversions between numbers and members
// their stand-ins.
inline stand_in_binder conversions() {
  return stand_in_binder(conversion_stand_in);
}

// The members of s, generated first when needed: each tuple's components
// joined by ",", tuples by " ".
inline std::string members_of(set* s, TVA* tva) {
  if (s->nmem < 0) set_genall(s, tva);
  std::string t;
  for (setmem* m = s->first; m; m = m->next) {
    if (!t.empty()) t += " ";
    for (int i = 0; i < s->arity; ++i) {
      if (i) t += ",";
      t += m->tup()[i]->name;
    }
  }
  return t;
}

class SetsTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    in_cmds = 2;  // evaluation errors abandon the command
  }
  void TearDown() override {
    drop_context();
    in_cmds = 1;
    interactive = 0;
    infile = -1;
    ModelTest::TearDown();
  }
  void drop_context() {
    if (tva_) del_tva(tva_);
    tva_ = nullptr;
    cur_tva = nullptr;
  }
  // A fresh session's front end and compiler, with no context yet.
  void fresh() {
    drop_context();
    fresh_parser();
    done_.clear();
    compile_start();
    in_cmds = 2;
  }

  // As in a command typed at a terminal (the model file read to its end):
  // an evaluation error abandons the command and the session goes on.
  static void command_state() {
    in_cmds = 2;
    interactive = 1;
    if (infile > 0) close(infile);
    infile = 0;
    bailquit = 0;
  }

  // Compiles the given expression and set slots in one compilation
  // bracket, each marked needed, and makes its context the evaluations'
  // context.  A slot compiled before in the test is not compiled again.
  void bracket(std::initializer_list<expr**> exprs,
               std::initializer_list<set**> sets = {}) {
    bool any = false;
    for (expr** e : exprs) any |= !done_.count(e);
    for (set** s : sets) any |= !done_.count(s);
    command_state();
    if (!any) return;
    drop_context();
    compile_start();
    for (expr** e : exprs)
      if (done_.insert(e).second) mri(e, 1);
    for (set** s : sets)
      if (done_.insert(s).second) smri(s, 1);
    tva_ = compile_end(nullptr);
    for (expr** e : exprs) conversions().node(*e);
    for (set** s : sets) conversions().set_(*s);
  }
  // The context of the evaluations: the last bracket's, or a fresh one.
  TVA* context() {
    if (!tva_) {
      command_state();
      compile_start();
      tva_ = compile_end(nullptr);
    }
    return tva_;
  }
  // A param's definition, compiled.
  expr* compiled(const char* name) {
    bracket({&def(name)});
    return def(name);
  }
  double value(const char* name) { return eval_num(compiled(name), context()); }
  // A set declaration's value set, compiled.
  set* compiled_set(const char* name) {
    set*& s = decl<setdcl>(name)->value;
    bracket({}, {&s});
    return s;
  }
  std::string members(const char* name) {
    set* s = compiled_set(name);  // before the context is sized
    return members_of(s, context());
  }
  // In a fresh session, the members of the set S := sexpr, or the message
  // that ended its generation (without the line "error processing set S:"
  // that places it).
  std::string set_of(const std::string& sexpr) {
    fresh();
    model("set S := " + sexpr + ";\n");
    set* s = compiled_set("S");
    std::string t;
    auto r = run_captured([&] { t = members_of(s, context()); });
    if (!r.aborted) return t;
    const std::string where = "error processing set S:\n\t";
    return r.err.compare(0, where.size(), where) == 0
               ? r.err.substr(where.size())
               : r.err;
  }

  TVA* tva_ = nullptr;
  std::set<void*> done_;  // slots compiled in this test
};

}  // namespace vexo::test

#endif  // VEXO_UNIT_EVAL_SETS_FIXTURE_H
