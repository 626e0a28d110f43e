// The one list of the modules' start-up, run again after the memory walk
// of `reset`: every module starts from nothing, and no free list keeps
// memory that the walk freed.
#include "session/startup.h"

#include <gtest/gtest.h>

#include <string>

#include "compiler/compile.h"
#include "compiler/tva.h"
#include "eval/dispatch.h"
#include "frontend/decl.h"
#include "frontend/frontend_fixture.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/parse.h"
#include "instance/ac.h"
#include "session/cmdmem.h"
#include "session/infiles.h"
#include "session/loop.h"
#include "session/sysdecls.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo {
namespace {

class StartUp : public ::testing::Test, protected test::InputDir {
 protected:
  void SetUp() override {
    test::start_session();
    enter("/tmp/vexo_startup_XXXXXX");
  }
  void TearDown() override { leave(); }

  // Reads the model as the one input file: declarations only.
  void read_model() {
    inputs({"m.mod",
            "set S := 1..3;\n"
            "param p {i in S} := i * 2;\n"
            "var x {S} >= 0;\n"
            "minimize cost: sum {i in S} p[i] * x[i];\n"
            "subject to cap {i in S}: x[i] <= p[i];\n"});
    parse_time = 1;
    auto r = test::run_captured([] { parse(); });
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(r.exited || r.aborted);
  }
};

TEST_F(StartUp, ResetFreesTheModelAndStartsAgain) {
  int system_decls = N_System_Pars;
  read_model();
  ASSERT_NE(Symbol0("cost"), nullptr);
  EXPECT_NE(Symbol0("cost")->binding, nullptr);
  EXPECT_GT(dac.next, system_decls);
  // Records on the free lists too (the model's parse left list cells,
  // nodes, dummies and set records there); and a clean-up record.
  register_cleanup([](void*) {}, nullptr);
  run_cleanups();
  *sysparam_cell(Cmdno) = 5;

  reset_modules();
  // Only start-up's declarations; the model's names are unknown again.
  EXPECT_EQ(Symbol0("cost"), nullptr);
  EXPECT_EQ(N_System_Pars, system_decls);
  EXPECT_EQ(dac.next, system_decls);
  ASSERT_NE(Cmdno, nullptr);
  EXPECT_EQ(*sysparam_cell(Cmdno), 0);

  // The same model again, on the rebuilt state: a free list that kept
  // freed memory would hand it out now (the sanitizer build reports it).
  static int ran;
  ran = 0;
  run_cleanups();
  unregister_cleanup(register_cleanup([](void*) { ++ran; }, nullptr));
  EXPECT_EQ(ran, 1);
  read_model();
  EXPECT_NE(Symbol0("cost")->binding, nullptr);
  EXPECT_EQ(static_cast<xnode*>(Symbol0("x")->binding)->kind, DK_VARI);
}

// The compiler's and the evaluator's state lives in the pools too: after
// the walk a compilation makes its constants and records afresh, the
// evaluation contexts and the problem record are forgotten, and command
// memory starts a new block with its clean-up record.
TEST_F(StartUp, ResetStartsTheCompilerAndEvaluatorAgain) {
  // Compiles the definition of q and evaluates it.
  auto q_value = [this] {
    inputs({"q.mod", "param q = 4 * 2 + (1 - 4 * 2) ^ 2;\n"});
    parse_time = 1;
    auto r = test::run_captured([] { parse(); });
    EXPECT_EQ(r.err, "");
    rec_xnode = nullptr;
    expr** def = &static_cast<param*>(Symbol0("q")->binding)->asgn;
    compile_start();
    mri(def, 1);
    TVA* t = compile_end(nullptr);
    double v = eval_num(*def, t);
    del_tva(t);
    return v;
  };
  EXPECT_EQ(q_value(), 57);
  TVA* t = new_tva();
  EXPECT_EQ(cur_tva, t);
  ASSERT_NE(cur_ac, nullptr);
  static_cast<char*>(cmdmem(16))[15] = 'x';
  ASSERT_NE(one, nullptr);

  reset_modules();
  EXPECT_EQ(cur_tva, nullptr);
  EXPECT_EQ(cur_ac, nullptr);
  EXPECT_EQ(one, nullptr);
  // A block that the walk freed would be written here, and freed again by
  // the clean-up.
  static_cast<char*>(cmdmem(16))[15] = 'y';
  run_cleanups();
  EXPECT_EQ(q_value(), 57);
}

}  // namespace
}  // namespace vexo
