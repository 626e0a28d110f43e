#include "eval/optab.h"

#include <gtest/gtest.h>

#include <cstring>

#include "eval/arith.h"
#include "eval/dispatch.h"
#include "eval/elemfunc.h"
#include "eval/evalerr.h"
#include "eval/iterops.h"
#include "eval/paramref.h"
#include "eval/setpos.h"
#include "eval/settest.h"
#include "frontend/expr.h"
#include "instance/ac.h"
#include "test_util.h"

namespace vexo {
namespace {

TEST(Optab, TableSizes) {
  EXPECT_EQ(op_types.size(), 287u);
  EXPECT_EQ(opname.size(), 143u);
  EXPECT_EQ(prec.size(), 249u);
  EXPECT_EQ(N_EVAL_OPCODES, 233);
  // The enum runs through every row, the forms without routine last.
  EXPECT_EQ(OPPLUS, 0);
  EXPECT_EQ(OPLINPART, 232);
  EXPECT_EQ(OP233, 233);
  EXPECT_EQ(OP286, 286);
}

// Opcode, shape, printed name (null: none), precedence (-1: none).
struct row {
  int op;
  int shape;
  const char* name;
  int precedence;
};

TEST(Optab, SpotEntries) {
  const row rows[] = {
      {0, 2, " + ", 28},
      {5, 2, "^", 37},
      {7, 3, "sum", 30},
      {11, 6, "min", 30},
      {13, 5, "floor", 38},
      {16, 1, "-", 34},
      {17, 3, "exists", 12},
      {19, 10, "in", 18},
      {20, 2, " || ", 10},
      {21, 2, " && ", 14},
      {25, 2, " == ", 16},
      {35, 9, " if ", 2},
      {36, 9, " .if. ", 2},
      {48, 15, "atan2", 38},
      {54, 30, "sumlist", 28},
      {60, 55, "numberof", 12},
      {64, 24, "<<<>>>", 0},
      {66, 54, "exactly", 12},
      {72, 58, " ==> ", 8},
      {73, 2, " <==> ", 6},
      {76, 57, " loglit ", 16},
      {79, 58, " <== ", 20},
      {85, 2, " != ", 16},
      {86, 37, "lin.", 38},
      {88, 5, "v.", 38},
      {92, 56, "not alldisjoint", 12},
      {98, 25, "not contains", 18},
      {105, 22, "binary (0 or 1)", 38},
      {110, 64, "/*srecpd.*/", 38},
      {113, 9, " if ", 2},
      {116, 28, "ord0", 38},
      {119, 27, "last", 38},
      {127, 29, "prevw", 38},
      {128, 10, "not in", 18},
      {129, 1, " 0 == ", 34},
      {131, 6, " & ", 2},
      {137, 15, "match", 38},
      {139, 5, "environindexarity", 38},
      {141, 61, "Svexoe", 38},
      {142, 61, "Svexoe/*string*/", 38},
      {143, 12, nullptr, 40},
      {145, 11, nullptr, 0},
      {147, 59, nullptr, 38},
      {148, 0, nullptr, 38},
      {149, 62, nullptr, 38},
      {150, 8, nullptr, 38},
      {157, 4, nullptr, 38},
      {162, 1, nullptr, 40},
      {163, 36, nullptr, 40},
      {170, 13, nullptr, 40},
      {173, 18, nullptr, 0},
      {174, 16, nullptr, 0},
      {176, 35, nullptr, 0},
      {183, 26, nullptr, 38},
      {185, 7, nullptr, 40},
      {201, 32, nullptr, 0},
      {205, 49, nullptr, 0},
      {209, 38, nullptr, 40},
      {213, 39, nullptr, 40},
      {220, 2, nullptr, 40},
      {221, 0, nullptr, 40},
      {227, 43, nullptr, 40},
      {229, 50, nullptr, 40},
      {232, 60, nullptr, 40},
      {233, 20, nullptr, 40},
      {245, 21, nullptr, 40},
      {246, 17, nullptr, 0},
      {247, 2, nullptr, 0},
      {248, 43, nullptr, 40},
      {249, 63, nullptr, -1},
      {250, 52, nullptr, -1},
      {251, 42, nullptr, -1},
      {252, 40, nullptr, -1},
      {253, 41, nullptr, -1},
      {254, 47, nullptr, -1},
      {257, 34, nullptr, -1},
      {258, 0, nullptr, -1},
      {270, 46, nullptr, -1},
      {281, 12, nullptr, -1},
      {283, 45, nullptr, -1},
      {284, 34, nullptr, -1},
      {285, 53, nullptr, -1},
      {286, 1, nullptr, -1},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.op);
    EXPECT_EQ(op_types[r.op], r.shape);
    if (r.op < N_OPNAMES) {
      ASSERT_NE(r.name, nullptr);
      EXPECT_STREQ(opname[r.op], r.name);
    } else {
      EXPECT_EQ(r.name, nullptr);
    }
    if (r.op < N_PREC)
      EXPECT_EQ(prec[r.op], r.precedence);
    else
      EXPECT_EQ(r.precedence, -1);
  }
}

// Whole shape groups that the tree walkers of the front end rely on.
TEST(Optab, ShapeGroups) {
  struct group {
    int shape;
    int first, last;
  };
  const group groups[] = {
      {2, 0, 6},      {3, 7, 10},     {3, 17, 18},    {2, 20, 33},
      {5, 37, 47},    {5, 49, 53},    {15, 56, 58},   {54, 62, 63},
      {54, 66, 69},   {2, 80, 85},    {56, 91, 94},   {25, 95, 98},
      {9, 111, 113},  {29, 120, 127}, {26, 177, 184}, {31, 198, 198},
      {48, 202, 202}, {20, 233, 238}, {21, 239, 245}, {46, 259, 280},
  };
  for (const group& g : groups)
    for (int k = g.first; k <= g.last; ++k) {
      SCOPED_TRACE(k);
      EXPECT_EQ(op_type(k), g.shape);
    }
}

TEST(Optab, NamesOfSharedRoutinesAndForms) {
  EXPECT_EQ(OPIF35, 35);
  EXPECT_EQ(OPIF111, 111);
  EXPECT_EQ(OPIFSYM112, 112);
  EXPECT_EQ(OPIFSYMstr113, 113);
  EXPECT_EQ(OPVAR164, 164);
  EXPECT_EQ(OPVAR167, 167);
  EXPECT_EQ(OPNEXT127, 127);
  EXPECT_EQ(OPLIT, 148);
  EXPECT_EQ(OPLITLIST, 149);
  EXPECT_EQ(OPNUM, 150);
  EXPECT_EQ(OPSTR, 213);
  EXPECT_EQ(OPARG, 250);
  EXPECT_EQ(OPXNODE, 255);
  EXPECT_EQ(OP279, 279);
}

// Every evaluable opcode has a routine, the table ends with a null entry,
// and opcodes sharing a routine share the pointer.
TEST(Functab, EverySlotFilledAndNullEnd) {
  EXPECT_EQ(functab.size(), 234u);
  for (int k = 0; k < N_EVAL_OPCODES; ++k) EXPECT_NE(functab[k], nullptr) << k;
  EXPECT_EQ(functab[233], nullptr);
  struct bound {
    int op;
    efunc f;
  };
  const bound rows[] = {
      {OPPLUS, f_OPPLUS},
      {OPPOW, f_OPPOW},
      {OPLESS, f_OPLESS},
      {MINLIST, f_MINLIST},
      {OP_tanh, f_OP_tanh},
      {OPintDIV, f_OPintDIV},
      {OPIF35, f_OPIF},
      {OPIF111, f_OPIF},
      {OPIFSYM65, f_OPIFSYM},
      {OPIFSYM112, f_OPIFSYM},
      {OPIFSYMstr101, f_OPIFSYMstr},
      {OPIMPELSE72, f_OPIMPELSE},
      {OPIMPELSE79, f_OPIMPELSE},
      {OPVARREF87, f_OPVARREF},
      {OPVARREF88, f_OPVARREF},
      {OPEVALr160, f_OPEVALr},
      {OPEVALr162, f_OPEVALr},
      {OPLIT, f_OPLIT},
      {OPLITLIST, f_OPLIT},
      {OPNUM, f_OPNUM},
      {OPSTR, f_OPSTR},
      {OPLOGLIT, f_OPLOGLIT},
      {OPDUMMY, f_OPDUMMY},
      {OPFUNCbad, f_OPFUNCbad},
      {OPALIAS, f_OPALIAS},
      {OPSVEXOESTR, f_OPSVEXOESTR},
      {SUM, f_SUM},
      {OPSUMLIST, f_OPSUMLIST},
      {ANDLIST, f_ANDLIST},
      {OPVARVAL146, f_OPVARVAL},
      {OPVARVAL147, f_OPVARVAL},
      {OPLOOKUPsl175, f_OPLOOKUPsl},
      {OPLOOKUPsl176, f_OPLOOKUPsl},
      {OPPAR, f_OPPAR},
      {OPNEXT120, f_OPNEXT},
      {OPNEXT127, f_OPNEXT},
  };
  for (const bound& b : rows) EXPECT_EQ(functab[b.op], b.f) << b.op;
  // Routines of other families are not built here: one shared stand-in.
  EXPECT_EQ(functab[OPDUALSUB], f_unbuilt);
  EXPECT_EQ(functab[OPSYN], f_OPSYN);
}

}  // namespace
}  // namespace vexo
