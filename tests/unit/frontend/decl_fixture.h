// Shared set-up of the declaration builder tests: a fresh front end with
// the system declarations of start-up, and small helpers that build the
// operands the grammar would pass.
#ifndef VEXO_UNIT_FRONTEND_DECL_FIXTURE_H
#define VEXO_UNIT_FRONTEND_DECL_FIXTURE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "data/table.h"
#include "eval/builtin.h"
#include "eval/funclib.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/rawtok.h"
#include "frontend/refs.h"
#include "frontend/vardcl.h"
#include "frontend_fixture.h"
#include "instance/problem.h"
#include "instance/sufdecl.h"
#include "session/sysdecls.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo::test {

// A zeroed declaration record with its head filled as a class constructor
// does (indexed over ss); room for the fields of any class that filing
// writes (variables, constraints).
inline xnode* blank_decl(const char* name, uint32_t kind, uint64_t flags = 0,
                         set_spec* ss = nullptr) {
  xnode* d = static_cast<xnode*>(mem(std::max(sizeof(var), sizeof(constr))));
  xrecomp_constr(d, Symbol(name, 1), nullptr, ss, kind, 1);
  d->flags = flags;
  return d;
}

class DeclTest : public ::testing::Test {
 protected:
  void SetUp() override {
    start_session();
    // The options the builders read, at their defaults (no option table).
    lazy = old_param_eq = 0;
    di_type = convert_logical = 0;
  }

  static symbol* sym(const char* s) { return Symbol(s, 1); }
  static expr* num(double v) { return new_num(v); }
  static expr* ref(xnode* v) { return entity_ref(v, OPVAR164); }
  // {i in a..b}: one index with its dummy bound in a new scope.
  static set_spec* range_ix(const char* dname, double a, double b) {
    set* r = set_range(num(a), num(b), nullptr);
    Index* ix = index_item(nullptr, new_expr(opword(OP279), sym(dname)), r);
    return new set_spec(ix, nullptr, 1);
  }
  // Runs f and returns what it wrote on Stderr.
  template <class F>
  static std::string msgs(F f) {
    return run_captured(f).err;
  }
  static var* scalar_var(const char* n) {
    return (new var(sym(n), nullptr, nullptr, 0))->finish_dcl(0);
  }
};

}  // namespace vexo::test

#endif  // VEXO_UNIT_FRONTEND_DECL_FIXTURE_H
