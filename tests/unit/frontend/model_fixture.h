// Declarations parsed from model text through the real lexer, parser and
// declaration builders, then compiled piece by piece: the set-up shared by
// the compiler tests and the tests of distribution of factors.
#ifndef VEXO_UNIT_FRONTEND_MODEL_FIXTURE_H
#define VEXO_UNIT_FRONTEND_MODEL_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "compiler/compile.h"
#include "compiler/context.h"
#include "compiler/eexpr.h"
#include "compiler/massage.h"
#include "eval/indexing.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/neighbours.h"
#include "frontend/paramdcl.h"
#include "frontend/parse.h"
#include "frontend/rawtok.h"
#include "report/dummybind.h"
#include "support/list.h"
#include "support/message.h"
#include "support/symbol.h"
#include "frontend/frontend_fixture.h"
#include "test_util.h"

namespace vexo::test {

class ModelTest : public ::testing::Test, protected InputDir {
 protected:
  void SetUp() override {
    start_parser();
    token_source = saved_source_;
    cmd_trace = nullptr;
    enter("/tmp/vexo_model_XXXXXX");
    // The compiler's start-up, then one compilation opened.
    eehashtab_init();
    compile_init();
    dummybind_init();
    no_common = 0;
    randcalls = 0;
    compile_start();
  }
  void TearDown() override {
    squawk_hook = saved_squawk_;
    token_source = saved_source_;
    leave();
  }

  // Parses the model text; every statement must be accepted silently.
  void model(const std::string& text) {
    write_file("m.mod", text);
    static char name[] = "m.mod";
    static char* names[] = {name, nullptr};
    set_input_files(names);
    auto r = run_captured([&] {
      nextfile_hook(0, 0);
      cmd_start = in_cmds;
      yyparse();
    });
    ASSERT_EQ(r.err, "") << text;
    // Compilation is not inside any declaration's own clauses.
    rec_xnode = nullptr;
  }

  template <class T = xnode>
  static T* decl(const char* name) {
    symbol* s = Symbol0(name);
    EXPECT_NE(s, nullptr) << name;
    return s ? static_cast<T*>(s->binding) : nullptr;
  }
  // The `=` definition of a param.
  static expr*& def(const char* name) { return decl<param>(name)->asgn; }
  // The body of an objective or constraint.
  static expr*& body(const char* name) { return decl<constr>(name)->body; }

  int (*saved_source_)() = token_source;
  decltype(squawk_hook) saved_squawk_ = squawk_hook;
};

}  // namespace vexo::test

#endif  // VEXO_UNIT_FRONTEND_MODEL_FIXTURE_H
