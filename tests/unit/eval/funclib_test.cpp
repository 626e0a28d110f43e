// Function declarations bind their names and join their class.
#include "eval/funclib.h"

#include "frontend/decl_fixture.h"

namespace vexo {
namespace {

using FuncDecl = test::DeclTest;

TEST_F(FuncDecl, BindsAndFiles) {
  function* f = funcdcl(Symbol("g", 1), nullptr, nullptr, 0, nullptr, nullptr);
  EXPECT_EQ(f->kind, DK_FUNCTION);
  EXPECT_EQ(Symbol("g", 0)->binding, f);
  EXPECT_EQ(xclass[XC_FUNCS].n, 1);
}

}  // namespace
}  // namespace vexo
