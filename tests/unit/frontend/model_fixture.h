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
#include "frontend/frontend_fixture.h"
#include "frontend/paramdcl.h"
#include "frontend/parse.h"
#include "frontend/rawtok.h"
#include "report/indextab.h"
#include "support/list.h"
#include "support/message.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo::test {

class ModelTest : public ParserTest {
 protected:
  void SetUp() override {
    // A fresh session (the compiler's start-up is in the one list), then
    // one compilation opened.
    begin("/tmp/vexo_model_XXXXXX");
    compile_start();
  }

  // Parses the model text; every statement must be accepted silently.
  void model(const std::string& text) {
    parse_text(text);
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
};

}  // namespace vexo::test

#endif  // VEXO_UNIT_FRONTEND_MODEL_FIXTURE_H
