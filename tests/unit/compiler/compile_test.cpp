// The compilation bracket: what compile_end gives and keeps, with and
// without a record to keep it in.
#include "compiler/compile.h"

#include <gtest/gtest.h>

#include "compiler/compile_fixture.h"

namespace vexo {
namespace {

using Bracket = test::CompileTest;

TEST_F(Bracket, CommandWithoutExpressionsGetsAContext) {
  compile_start();
  xrecomp x{};
  TVA* t = compile_end(&x);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(cur_tva, t);
  EXPECT_EQ(x.retained, nullptr);
  EXPECT_EQ(x.chain, nullptr);
  EXPECT_EQ(tva_need, 13);
  del_tva(t);
  compile_start();
  t = compile_end(nullptr);
  ASSERT_NE(t, nullptr);
  del_tva(t);
  EXPECT_EQ(cur_tva, nullptr);
}

TEST_F(Bracket, EmptySlotsCompileToNothing) {
  compile_start();
  expr* e = nullptr;
  set* s = nullptr;
  EXPECT_EQ(mri(&e, 1), nullptr);
  EXPECT_EQ(smri(&s, 1), nullptr);
  EXPECT_EQ(mri(nullptr, 1), nullptr);
  EXPECT_EQ(retained, nullptr);
  EXPECT_EQ(con[0].chain, nullptr);
  del_tva(compile_end(nullptr));
}

TEST_F(Bracket, WithoutARecordNothingStaysBehind) {
  model("param a; param b; param q = (a + b) * (a + b) + card(1..a);\n");
  compile_start();
  mri(&def("q"), 1);
  EXPECT_NE(retained, nullptr);
  EXPECT_NE(con[0].chain, nullptr);
  TVA* t = compile_end(nullptr);
  EXPECT_EQ(retained, nullptr);
  EXPECT_EQ(con[0].chain, nullptr);
  // Every record went back to the pool; no node names one.
  EXPECT_EQ(ee_of(def("q")), nullptr);
  EXPECT_EQ(def("q")->op, functab[OPPLUS]);
  del_tva(t);
}

TEST_F(Bracket, KeptRecordHoldsTheLevelZeroState) {
  model("param a; param b; param q = (a + b) * (a + b);\n");
  compile_start();
  xrecomp x{};
  mri(&def("q"), 1);
  TVA* t = compile_end(&x);
  EXPECT_NE(x.chain, nullptr);
  EXPECT_NE(x.retained, nullptr);
  ASSERT_EQ(x.nlev0rew, 1);
  EXPECT_EQ(x.lev0rew[0], def("q")->L.e);
  EXPECT_EQ(lev0->nrew, 0);
  undo(&x, t);
}

TEST_F(Bracket, ContextReportAboveFour) {
  model(
      "param a{1..3}; param b;\n"
      "param q = sum {i in 1..3, j in 1..3} a[i] * j * (b + b) * (b + b);\n");
  show_stats = 4;
  compile_start();
  mri(&def("q"), 1);
  auto quiet = test::run_captured([] { del_tva(compile_end(nullptr)); });
  EXPECT_EQ(quiet.err, "");
  opgen_reset();
  model("param r = sum {i in 1..3, j in 1..3} a[i] * j * (b + b) * (b + b);\n");
  show_stats = 5;
  compile_start();
  mri(&def("r"), 1);
  auto r = test::run_captured([] { del_tva(compile_end(nullptr)); });
  // a[i] is stored at level 1; b and b + b are rewritten at level 0.
  EXPECT_EQ(r.err,
            "max_context = 2\ntva cells:\t0 at level 0\n"
            "\t\t23 at levels above 0\ntva_hcl = 7, tva_len = 128\n"
            "rewrites: m = 1, o = 2\n");
}

TEST_F(Bracket, ContextLeftOpenIsABug) {
  model("set I; param q = sum {i in I} 1;\n");
  compile_start();
  ss_setup(static_cast<set_spec*>(def("q")->L.s), nullptr);
  auto r = test::run_captured([] { compile_end(nullptr); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Bug: 1 contexts remain open after compile!"),
            std::string::npos);
  lev_adjust(0);
}

TEST_F(Bracket, DeletingSparesANodeItsRecordStandsFor) {
  model("param a; param q = a + 1;\n");
  compile_start();
  mri(&def("q"), 1);
  expr* q = def("q");
  e1delete(q);
  EXPECT_EQ(opcode(q), OPPLUS);
  EXPECT_NE(ee_of(q), nullptr);
  del_tva(compile_end(nullptr));
}

}  // namespace
}  // namespace vexo
