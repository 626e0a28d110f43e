// Complementarity adjustments on a record set up by hand: rows 0 and 1
// form a pair (row 0 kind 1, row 1 kind 2 with its partner before it);
// row 0 is x - y >= 0, row 1 has the limits [2, 7] and two free terms.
#include <gtest/gtest.h>

#include "frontend/frontend_fixture.h"
#include "presolve/compl.h"
#include "presolve/presolve.h"
#include "support/machine.h"
#include "support/pool.h"

namespace vexo::test {
namespace {

class ComplAdj : public ::testing::Test {
 protected:
  Presolve P{};
  ps_scratch scratch{};
  double rlb[2] = {0, 2}, rub[2] = {0, 7}, rub0[2] = {0, 7};
  uint8_t cpair[2] = {1, 2 | 8};
  uint32_t rstat[2] = {RS_COMPL, RS_COMPL};
  int32_t ninflb[2] = {0, 0}, ninfub[2] = {0, 0}, nterms[2] = {0, 0},
          nfree[2] = {2, 2}, rq[8] = {}, rorder[2] = {0, 1};

  void SetUp() override {
    // The infinities and the option cells as a session starts them.
    start_session();
    rub[0] = rub0[0] = Infinity;
    P.scratch = &scratch;
    P.ncons = P.nrows = P.nfc = P.nfc2 = 2;
    P.rlb = P.rlb2 = rlb;
    P.rub = P.rub2 = rub;
    P.rub0 = rub0;
    P.cpair = cpair;
    P.rstat = rstat;
    P.ninflb = ninflb;
    P.ninfub = ninfub;
    P.nterms = nterms;
    P.nfree = nfree;
    P.rq = rq;
    P.rqcap = P.nba = 8;
    P.rorder = rorder;
  }
  void TearDown() override {
    for (int i = 0; i < scratch.n; ++i) del_mblk(scratch.k[i], scratch.blk[i]);
  }
};

// The lower limit of x - y >= 0 can never be active (its lower activity
// bound became 1): the row loses it, is removed (code 16), and the
// partner is held at its lower limit and queued for a scan of the upper
// side on the upper stack.
TEST_F(ComplAdj, LowerLimitNeverActiveHoldsThePartnerLow) {
  compl_Ladj(&P, 0, 1);
  EXPECT_EQ(rlb[0], negInfinity);
  EXPECT_EQ(cpair[0], 0);
  EXPECT_EQ(cpair[1], 0);
  EXPECT_EQ(rstat[0], 16u);
  EXPECT_EQ(P.nfc, 1);
  EXPECT_EQ(rlb[1], 2);
  EXPECT_EQ(rub[1], 2);
  ASSERT_EQ(P.nba, 7);
  EXPECT_EQ(rq[7], 1);
  EXPECT_EQ(rstat[1], RS_SCANUB);
}

// With bit 32 on the partner (a lone expression e, its constant in
// rub0) the pair stays, as kind 1: row 0 keeps its upper limit, e <= 0.
// A row with no limit left holds e at 0 and the pair goes.
TEST_F(ComplAdj, KeptLimitRestoresThePartnersUpperLimit) {
  cpair[1] |= 32;
  rlb[1] = negInfinity;
  rub[1] = Infinity;
  rub0[1] = 9;
  rub[0] = 5;
  compl_Ladj(&P, 0, 1);
  EXPECT_EQ(cpair[0], 1);
  EXPECT_EQ(cpair[1], 9);
  EXPECT_EQ(rlb[1], negInfinity);
  EXPECT_EQ(rub[1], 9);
  EXPECT_EQ(rstat[0] & RS_GONE, 0u);
  EXPECT_EQ(P.nfc, 2);
  compl_Uadj(&P, 0, 1);
  EXPECT_EQ(cpair[0], 0);
  EXPECT_EQ(rlb[1], 9);
  EXPECT_EQ(rub[1], 9);
  EXPECT_EQ(rstat[0] & RS_GONE, 16u);
}

// Two single inequalities of opposite sides (bit 16): x - y >= 0 off its
// limit holds a partner <= 7 at 7.
TEST_F(ComplAdj, OppositeSidesHoldThePartnerAtItsOwnLimit) {
  cpair[0] |= 16;
  cpair[1] |= 16;
  rlb[1] = negInfinity;
  compl_Ladj(&P, 0, 1);
  EXPECT_EQ(rlb[1], 7);
  EXPECT_EQ(rub[1], 7);
}

// A kind-2 row with no limits that becomes empty decides nothing: the
// pair goes, the partner keeps its limits and is not queued.
TEST_F(ComplAdj, EmptyRowWithoutLimitsLeavesThePartner) {
  rlb[1] = negInfinity;
  rub[1] = Infinity;
  compl_empty(&P, 1, 1);
  EXPECT_EQ(cpair[0], 0);
  EXPECT_EQ(cpair[1], 0);
  EXPECT_EQ(rlb[0], 0);
  EXPECT_EQ(rub[0], Infinity);
  EXPECT_EQ(rstat[0], 0u);
  EXPECT_EQ(P.nba, 8);
  EXPECT_EQ(P.nrq, 0);
}

// The upper-limit mirror: the partner is held at its upper limit.
TEST_F(ComplAdj, UpperLimitNeverActiveHoldsThePartnerHigh) {
  rub[0] = 5;
  compl_Uadj(&P, 0, 1);
  EXPECT_EQ(rub[0], Infinity);
  EXPECT_EQ(rstat[0] & RS_GONE, 0u);  // its lower limit still binds
  EXPECT_EQ(rlb[1], 7);
  EXPECT_EQ(rub[1], 7);
  EXPECT_EQ(rstat[1], RS_SCANLB);
}

}  // namespace
}  // namespace vexo::test
