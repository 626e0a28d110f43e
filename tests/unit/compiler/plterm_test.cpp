// Values of piecewise-linear term records and the slope left for the
// derivatives (the records' reduction and messages are shown through the
// instantiating copy, ecopy_test).
#include "compiler/plterm.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "instance/varref.h"
#include "support/pool.h"
#include "test_util.h"

namespace vexo {
namespace {

// A record of slopes s0, b0, s1, ... as plcrunch leaves it.
struct term {
  explicit term(std::initializer_list<double> sb) {
    int k = htcl(sizeof(plterm) + 8 * sb.size());
    t = static_cast<plterm*>(new_mblk(k, 1));
    t->block_class = k;
    t->n_slopes = int32_t(sb.size() + 1) / 2;
    double* d = t->bs();
    for (double v : sb) *d++ = v;
  }
  ~term() { del_mblk(t->block_class, t); }
  plterm* t;
};

TEST(PlVal, ValuesOutwardFromZero) {
  struct row {
    std::initializer_list<double> sb;
    double x, value, slope;
  };
  for (const row& r : {
           row{{3}, -2, -6, 3},                 // one slope: s0 * x
           row{{-1, 0, 1}, 5, 5, 1},            // absolute value
           row{{-1, 0, 1}, -5, 5, -1},
           row{{-1, 0, 1}, 0, 0, 1},            // at 0: the slope right of 0
           row{{1, 2, 3, 5, 0}, 7, 2 + 9, 0},   // crosses two breakpoints
           row{{1, 2, 3, 5, 0}, 2, 2, 1},       // at a breakpoint: 0's side
           row{{2, -3, 1, -1, 4}, -5, -4 - 2 - 4, 2},  // leftward
       }) {
    term t(r.sb);
    EXPECT_EQ(plval(t.t, r.x), r.value) << r.x;
    EXPECT_EQ(*pl_slope, r.slope) << r.x;
  }
}

}  // namespace
}  // namespace vexo
