// References to random variables over members filled by hand (as
// generation leaves them): a member holding a distribution in its three
// forms, and the members that hold numbers (plain, fixed or dropped).
#include "eval/randvar.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "compiler/tva.h"
#include "eval/dispatch.h"
#include "eval/random.h"
#include "frontend/expr.h"
#include "instance/instance_fixture.h"
#include "instance/members.h"
#include "support/pool.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo {
namespace {

class RandVar : public test::InstanceTest {
 protected:
  void SetUp() override {
    InstanceTest::SetUp();
    parse_text("var x {1..3} random;\nvar s random;\n");
    x = test::InstanceTest::var_named("x");
    s = test::InstanceTest::var_named("s");
    give_members(x, {1, 2, 3}, 0);
    x->ninst = 3;
    figalloc(x);
    x->gen.init_vals = static_cast<double*>(new_mblk(x->gen.member_class, 1));
    x->gen.init_vals[0] = 2.5;
    x->gen.init_vals[1] = 4;
    x->gen.init_vals[2] = 6;
    // Member 1 holds Normal01(); the others plain values.
    x->gen.rand_exprs = static_cast<expr**>(new_mblk(x->gen.member_class, 1));
    auto* f = static_cast<function*>(Symbol("Normal01", 0)->binding);
    x->gen.rand_exprs[1] = bind(new_expr(opword(OPFUNC, EF_NUMERIC), f));
    tva = new_tva();
    std::memset(tva->ac, 0, sizeof(AC));
  }
  void TearDown() override {
    del_tva(tva);
    InstanceTest::TearDown();
  }
  static expr* bind(expr* e) {
    e->op = functab[opcode(e)];
    return e;
  }
  // A reference of opcode op to member k of x (the subscript node yields
  // the ordinal k, as a look-up does).
  expr* ref(int op, int32_t k) {
    return bind(new_expr(opword(op), x, bind(new_expr(opword(OPLOGLIT), k))));
  }
  std::string text(expr* e) {
    cstr* c = eval(e, tva).cs;
    std::string r = c->text();
    release_cstr(c);
    return r;
  }
  var* x = nullptr;
  var* s = nullptr;
  TVA* tva = nullptr;
};

TEST_F(RandVar, ARandomMemberInItsThreeForms) {
  // Text: the distribution; a draw: a new number each time; a number:
  // refused.
  EXPECT_EQ(text(ref(OPRANDVARSUB, 1)), "Normal01()");
  expr* d = ref(OPSVEXOVARSUB, 1);
  double a = eval_num(d, tva), b = eval_num(d, tva);
  EXPECT_NE(a, b);
  auto r = test::run_captured([&] { eval_num(ref(OPRANDVARNUMSUB, 1), tva); });
  // The command stops (reading from a file: the session ends).
  EXPECT_TRUE(r.aborted || r.exited);
  EXPECT_NE(r.err.find("can't convert 'Random(Normal01())' to a number."),
            std::string::npos)
      << r.err;
}

TEST_F(RandVar, MembersHoldingNumbers) {
  // A plain member, the random member once fixed or dropped, then the
  // whole declaration fixed: every form gives the stored number.
  struct {
    int32_t k;
    const char* how;
  } rows[] = {{0, "plain"}, {1, "member fixed"}, {2, "plain"}};
  x->gen.member_status[1] |= GS_DROPPED;
  for (auto& row : rows) {
    double want = x->gen.init_vals[row.k];
    EXPECT_EQ(eval_num(ref(OPSVEXOVARSUB, row.k), tva), want) << row.how;
    EXPECT_EQ(eval_num(ref(OPRANDVARNUMSUB, row.k), tva), want) << row.how;
    EXPECT_EQ(text(ref(OPRANDVARSUB, row.k)), row.k == 0   ? "2.5"
                                              : row.k == 1 ? "4"
                                                           : "6")
        << row.how;
  }
  x->gen.member_status[1] &= uint8_t(~GS_DROPPED);
  EXPECT_EQ(text(ref(OPRANDVARSUB, 1)), "Normal01()");
  x->flags |= CV_ALLDROPPED;
  EXPECT_EQ(text(ref(OPRANDVARSUB, 1)), "4");
  EXPECT_EQ(eval_num(ref(OPSVEXOVARSUB, 1), tva), 4);
  EXPECT_EQ(eval_num(ref(OPRANDVARNUMSUB, 1), tva), 4);
}

TEST_F(RandVar, UngeneratedScalarIsRefused) {
  for (int op : {OPSVEXOVAR, OPRANDVARNUM}) {
    auto r = test::run_captured([&] {
      eval_num(bind(new_expr(opword(op), static_cast<xnode*>(s))), tva);
    });
    // The command stops (reading from a file: the session ends).
    EXPECT_TRUE(r.aborted || r.exited);
    EXPECT_NE(r.err.find("ungenerated variable s"), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace vexo
