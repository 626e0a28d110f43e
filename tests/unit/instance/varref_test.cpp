// Linear terms: the zero and non-finite coefficient rules, the pool's
// blocks and free list, transposition of row lists into column lists, and
// the freeing of arrays of lists.
#include "instance/varref.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "frontend/parse.h"
#include "instance/instance_fixture.h"
#include "support/pool.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::InstanceTest;

class Terms : public InstanceTest {};

TEST_F(Terms, ZeroCoefficientsFollowKill0) {
  struct {
    double coef;
    int kill0;
    bool made;
  } cases[] = {
      {0.0, 1, false}, {-0.0, 1, false}, {0.0, 0, true},
      {-0.0, 0, true}, {2.5, 1, true},   {-1e-300, 1, true},
  };
  new_ac();
  for (auto& c : cases) {
    varref_kill0 = c.kill0;
    varref* head = new_varref(nullptr, 4, 1.0);
    varref* r = new_varref(head, 7, c.coef);
    if (c.made) {
      ASSERT_NE(r, head) << c.coef << " " << c.kill0;
      EXPECT_EQ(vnext(r), head);
      EXPECT_EQ(r->index, 7);
      EXPECT_EQ(test::bits_of(r->coef), test::bits_of(c.coef));
    } else {
      EXPECT_EQ(r, head) << c.coef;
    }
    free_varref(r);
  }
}

TEST_F(Terms, NonFiniteCoefficientsAreReportedAndMakeNothing) {
  parse_text("var y; var x {1..3};");
  give_member(var_named("y"), 0);
  give_members(var_named("x"), {1, 2, 3}, 1);
  new_ac();
  // As typed at a terminal: errors abandon the command.
  in_cmds = 2;
  interactive = 1;
  if (infile > 0) close(infile);
  infile = 0;
  double inf = std::numeric_limits<double>::infinity();
  struct {
    int32_t col;
    double coef;
    const char* text;
  } cases[] = {
      {2, inf, "can't multiply x[2] by Infinity\n"},
      {3, -inf, "can't multiply x[3] by Infinity\n"},
      {0, std::nan(""), "can't multiply y by NaN\n"},
      {1, -std::nan("7"), "can't multiply x[1] by NaN\n"},
      {7, inf,
       "can't multiply <<< Bug: vxfind(7) failure>>> by  by Infinity\n"},
  };
  for (auto& c : cases) {
    varref* head = new_varref(nullptr, 0, 1.0);
    size_t before = free_terms();
    varref* r = head;
    test::outcome o =
        test::run_captured([&] { r = new_varref(head, c.col, c.coef); });
    EXPECT_TRUE(o.aborted) << c.text;
    std::string tail = c.text;
    ASSERT_GE(o.err.size(), tail.size()) << o.err;
    EXPECT_EQ(o.err.substr(o.err.size() - tail.size()), tail) << o.err;
    EXPECT_EQ(r, head);
    EXPECT_EQ(free_terms(), before);
    free_varref(head);
  }
}

TEST_F(Terms, ThePoolGrowsByBlocksOf1600) {
  varref_reinit();
  varref_kill0 = 0;
  varref* list = nullptr;
  for (int i = 0; i < 1600; ++i) list = new_varref(list, i, 1);
  // One block: the 1600 terms lie within 25,600 bytes, handed out in
  // order.
  char* lo = reinterpret_cast<char*>(list);
  char* hi = lo;
  for (varref* v = list; v; v = vnext(v)) {
    lo = std::min(lo, reinterpret_cast<char*>(v));
    hi = std::max(hi, reinterpret_cast<char*>(v));
  }
  EXPECT_EQ(hi - lo, 1599 * ptrdiff_t(sizeof(varref)));
  EXPECT_EQ(varref_freelist, nullptr);
  varref* next = new_varref(list, 1600, 1);
  char* p = reinterpret_cast<char*>(next);
  EXPECT_TRUE(p < lo || p > hi) << "the 1,601st term opens a second block";
  EXPECT_EQ(free_terms(), 0u);
  EXPECT_EQ(varref_bump_end - varref_bump, 1599);
  free_varref(next);
  EXPECT_EQ(free_terms(), 1601u);
}

// After 64 blocks of 1600 terms a problem is a large one: the next block
// holds a 16 MiB class of terms, every one of them usable (the sanitizer
// build checks the block's end), and `reset` starts small again.
TEST_F(Terms, LargeProblemsTakeLargeBlocks) {
  varref_reinit();
  varref_kill0 = 0;
  varref* list = nullptr;
  for (int i = 0; i < 64 * 1600; ++i) list = new_varref(list, i, 1);
  EXPECT_EQ(varref_bump, varref_bump_end);
  list = new_varref(list, -1, 1);
  const ptrdiff_t large = (ptrdiff_t{16} << 20) / ptrdiff_t(sizeof(varref));
  EXPECT_EQ(varref_bump_end - varref_bump, large - 1);
  varref* first = list;
  for (ptrdiff_t i = 1; i < large; ++i) list = new_varref(list, int32_t(i), 2);
  EXPECT_EQ(list - first, large - 1) << "one block, handed out in order";
  EXPECT_EQ(list->coef, 2);
  free_varref(list);
  varref_reinit();
  varref* small = new_varref(nullptr, 1, 1);
  EXPECT_EQ(varref_bump_end - varref_bump, 1599);
  free_varref(small);
}

TEST_F(Terms, OneTermGoesBackAlikeEitherWay) {
  varref_kill0 = 0;
  varref* a = new_varref(nullptr, 1, 1);
  varref* b = new_varref(nullptr, 2, 1);
  varref* c = new_varref(nullptr, 3, 1);
  free_1varref(c);
  varref* head = varref_freelist;
  free_varref(b);
  EXPECT_EQ(varref_freelist, b);
  EXPECT_EQ(vnext(b), head);
  // The same term again through the other routine: the same pool.
  EXPECT_EQ(new_varref(nullptr, 2, 1), b);
  free_1varref(b);
  EXPECT_EQ(varref_freelist, b);
  EXPECT_EQ(vnext(b), head);
  free_varref(nullptr);
  EXPECT_EQ(varref_freelist, b);
  free_varref(a);
}

// Rows as lists in list order ({column, coefficient} pairs).
varref** rows_of(std::initializer_list<std::initializer_list<double>> rows,
                 int k) {
  auto** a = static_cast<varref**>(new_mblk(k, 1));
  int r = 0;
  for (auto& row : rows) {
    varref* head = nullptr;
    // Pushed from the last pair, so that the list reads as written.
    for (auto it = row.end(); it != row.begin();) {
      it -= 2;
      head = new_varref(head, int32_t(it[0]), it[1]);
    }
    a[r++] = head;
  }
  return a;
}

// A column list as "row:coef row:coef ".
std::string column(const varref* v) {
  std::string s;
  for (; v; v = vnext(v))
    s += std::to_string(v->index) + ":" + std::to_string(int(v->coef)) + " ";
  return s;
}

TEST_F(Terms, TransposeMovesTermsIntoColumnsInRowOrder) {
  varref_kill0 = 1;
  // Row 0: x2, x0; row 1: x0; row 2: x1 twice (both kept, the later
  // listed first).
  varref** rows = rows_of({{2, 5, 0, 6}, {0, 7}, {1, 8, 1, 9}}, 2);
  varref* moved = rows[0];
  varref** cols = transpose(&rows, 2, 3, 3);
  EXPECT_EQ(rows, nullptr);
  EXPECT_EQ(column(cols[0]), "0:6 1:7 ");
  EXPECT_EQ(column(cols[1]), "2:9 2:8 ");
  EXPECT_EQ(column(cols[2]), "0:5 ");
  EXPECT_EQ(cols[3], nullptr);
  EXPECT_EQ(cols[2], moved) << "terms are moved, not copied";
  size_t before = free_terms();
  vrefzap(&cols, 3, 4);
  EXPECT_EQ(cols, nullptr);
  EXPECT_EQ(free_terms(), before + 5);

  // No rows: an all-null column array.
  varref** none = rows_of({}, 0);
  cols = transpose(&none, 0, 2, 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(cols[i], nullptr);
  vrefzap(&cols, 2, 0);
  EXPECT_EQ(cols, nullptr);
}

TEST_F(Terms, PiecewiseTermsTransposeAlikeAndFreeUnderTheirClass) {
  auto term = [](plterm* next, int32_t index) {
    int k = htcl(32 + 16 * 2);
    auto* t = static_cast<plterm*>(new_mblk(k, 1));
    t->next = next;
    t->index = index;
    t->n_slopes = 2;
    t->block_class = k;
    return t;
  };
  auto** rows = static_cast<plterm**>(new_mblk(1, 1));
  rows[0] = term(term(nullptr, 0), 1);
  rows[1] = term(nullptr, 1);
  plterm** cols = transpose(&rows, 1, 1, 2);
  ASSERT_NE(cols[1], nullptr);
  EXPECT_EQ(cols[1]->index, 0);
  EXPECT_EQ(cols[1]->next->index, 1);
  EXPECT_EQ(cols[0]->index, 0);
  plzap(&cols, 1, 2);
  EXPECT_EQ(cols, nullptr);
}

}  // namespace
}  // namespace vexo
