// The recursive walks of a tree at the nesting limit run on the stack that
// start-up provides: a written-out sum of MAX_NESTING terms is compiled,
// evaluated, printed and deleted.  (One level past the limit is refused
// where the tree is built: tests/unit/frontend/expr_test.cpp and the case
// frontend/nesting_limit.)
#include <gtest/gtest.h>

#include <string>

#include "compile_fixture.h"
#include "frontend/strexpr.h"
#include "report/prex.h"
#include "support/machine.h"

namespace vexo {
namespace {

class Nesting : public test::CompileTest {};

TEST_F(Nesting, WalksAtTheLimit) {
  stack_setup();  // the walks at the limit need more than 8 MiB
  std::string text = "param a; param q = a";
  for (uint32_t i = 1; i < MAX_NESTING; ++i) text += i % 100 ? "+a" : "\n+a";
  model(text + ";\n");
  ASSERT_EQ(def("q")->depth, MAX_NESTING);

  weigh("a", 1.5);
  xrecomp x{};
  EXPECT_DOUBLE_EQ(eval_def("q", &x), 1.5 * MAX_NESTING);
  undo(&x, nullptr);

  auto r = test::run_captured([&] {
    prex(def("q"));
    pbi_flush();
  });
  EXPECT_EQ(r.err, "");
  size_t terms = 0;
  for (char c : r.out) terms += c == 'a';
  EXPECT_EQ(terms, MAX_NESTING);

  edelete(def("q"));
  def("q") = nullptr;
}

}  // namespace
}  // namespace vexo
