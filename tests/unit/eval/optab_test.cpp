#include "eval/optab.h"

#include <gtest/gtest.h>

#include <cstring>

#include "eval/arith.h"
#include "eval/dispatch.h"
#include "eval/elemfunc.h"
#include "eval/evalerr.h"
#include "eval/iterops.h"
#include "eval/paramref.h"
#include "eval/randvar.h"
#include "eval/setpos.h"
#include "eval/settest.h"
#include "frontend/expr.h"
#include "instance/ac.h"
#include "test_util.h"

namespace vexo {
namespace {

// The tables' sizes and every opcode's number are checked where the tables
// are made (eval/optab.cpp's static checks); the tests here are of what the
// tables answer.

// The printed name as messages use it: without the blanks that set it off
// in expressions; "" for an opcode without one.
TEST(Optab, BareNameDropsTheBlanks) {
  char buf[16];
  EXPECT_STREQ(bare_opname(OPPLUS, buf), "+");
  EXPECT_STREQ(bare_opname(OPNOTATLEAST, buf), "not atleast");
  EXPECT_STREQ(bare_opname(OPISNOTIN, buf), "not in");
  EXPECT_STREQ(bare_opname(OPNUM, buf), "");
  EXPECT_STREQ(bare_opname(-1, buf), "");
  // Longer names are cut to the buffer.
  EXPECT_STREQ(bare_opname(OPEINDARITY, buf), "environindexari");
}

// Every evaluable opcode has a routine, the table ends with a null entry,
// and opcodes sharing a routine share the pointer.
TEST(Functab, EverySlotFilledAndNullEnd) {
  for (int k = 0; k < N_EVAL_OPCODES; ++k) EXPECT_NE(functab[k], nullptr) << k;
  EXPECT_EQ(functab[N_EVAL_OPCODES], nullptr);
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
  EXPECT_EQ(functab[OPRANDVAR], f_OPRANDVAR);
  EXPECT_EQ(functab[OPSYN], f_OPSYN);
}

}  // namespace
}  // namespace vexo
