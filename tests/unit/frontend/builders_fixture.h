// Shared fixture of the builder tests: the front end's pools and tables
// set up, and small declaration records.
#ifndef VEXO_UNIT_FRONTEND_BUILDERS_FIXTURE_H
#define VEXO_UNIT_FRONTEND_BUILDERS_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "eval/indexing.h"
#include "eval/ordered.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/funcbuild.h"
#include "frontend/refs.h"
#include "frontend/strexpr.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "support/text.h"
#include "frontend_fixture.h"
#include "test_util.h"

namespace vexo {

class Builders : public ::testing::Test {
 protected:
  void SetUp() override {
    test::start_session(false);
  }
  // A declaration record of the kind, over an indexing of the given arity
  // (0: scalar).
  static xnode* decl(const char* name, uint32_t kind, int arity = 0) {
    xnode* x = static_cast<xnode*>(mem(sizeof(xnode)));
    x->kind = kind;
    x->name = Symbol(name, 0);
    if (arity) {
      set* s = set_enum(new_enum(), arity);
      x->indexing = new set_spec(new Index(nullptr, s, nullptr, 0), nullptr, 1);
    }
    return x;
  }
  static expr* str(const char* s) { return new_str(new_cstring(s)); }
  static std::string text(const expr* e) { return e->L.cs->text(); }
  static expr* one_sub(double v) { return symlist(SYML_INDEX, new_num(v)); }
};

}  // namespace vexo

#endif  // VEXO_UNIT_FRONTEND_BUILDERS_FIXTURE_H
