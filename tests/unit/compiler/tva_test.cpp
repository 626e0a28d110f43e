#include "compiler/tva.h"

#include <gtest/gtest.h>

#include <string>

#include "compiler/context.h"
#include "compiler/opgen.h"
#include "eval/dispatch.h"
#include "eval/indexing.h"
#include "frontend/dummy.h"
#include "frontend/frontend_fixture.h"
#include "instance/ac.h"
#include "session/opttable.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::run_captured;

class Tva : public ::testing::Test {
 protected:
  void SetUp() override {
    test::start_modules();
    show_stats = 0;
  }
  void TearDown() override {
    while (cur_tva) del_tva(cur_tva);
    show_stats = 0;
  }

  // What a compilation leaves for the sizing: the frame cells inside level
  // 0 and the level-0 cells.
  static void sizing(int32_t frame0, int32_t cells0) {
    con[0].framesize = frame0;
    lev0->cells = cells0;
    tva_lencomp();
  }
};

// A command without indexing: 13 cells plus the frames inside level 0.
TEST_F(Tva, SizingWithoutIndexing) {
  sizing(0, 0);
  EXPECT_EQ(tva_need, 13);
  // 4 * 13 + 2 words = 432 bytes: class 6 (512 bytes).
  EXPECT_EQ(tva_hcl, 6);
  EXPECT_EQ(tva_len, 64);
  sizing(5, 0);
  EXPECT_EQ(tva_need, 18);
  EXPECT_EQ(con[0].framesize, 0);
  max_context = 3;
  EXPECT_EQ(TVAneed(7), 4 * 4 + 7 + 9);
  sizing(7, 100);
  EXPECT_EQ(tva_need, 32);
  EXPECT_EQ(tva_cells0, 100);
  EXPECT_EQ(tva_len, 256);  // 4 * 32 + 100 + 2 = 230 words
}

TEST_F(Tva, StatisticsAboveFour) {
  show_stats = 4;
  m_mandrew = 7;
  m_optrew = 2;
  auto r = run_captured([] { sizing(0, 3); });
  EXPECT_EQ(r.err, "");
  show_stats = 5;
  max_context = 1;
  r = run_captured([] { sizing(0, 3); });
  EXPECT_EQ(r.err,
            "max_context = 1\ntva cells:\t3 at level 0\n"
            "\t\t17 at levels above 0\ntva_hcl = 7, tva_len = 128\n"
            "rewrites: m = 7, o = 2\n");
}

TEST_F(Tva, OpenContextsAfterCompileAreABug) {
  lev_adjust(2);
  auto r = run_captured([] { tva_lencomp(); });
  lev_adjust(0);
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Bug: 2 contexts remain open after compile!"),
            std::string::npos);
}

// Before any compilation new_tva sizes itself; the layout: size record,
// record, level pointers, level-0 cells, root frame.
TEST_F(Tva, NewContextLayoutAndNesting) {
  EXPECT_EQ(tva_hcl, 0);
  errno = 5;
  TVA* t = new_tva();
  EXPECT_EQ(errno, 0);
  EXPECT_EQ(tva_need, 13);
  EXPECT_EQ(cur_tva, t);
  EXPECT_EQ(t->outer, nullptr);
  EXPECT_EQ(t->parent, nullptr);
  EXPECT_EQ(t->ac, cur_ac);
  EXPECT_EQ(cur_ac->tva, t);
  EXPECT_EQ(t->size->hcl, 6u);
  EXPECT_EQ(t->size->need, 13u);
  EXPECT_EQ(static_cast<void*>(t->size),
            static_cast<void*>(reinterpret_cast<void**>(t) - 2));
  EXPECT_EQ(t->top, reinterpret_cast<void**>(t->size) + 64);
  EXPECT_EQ(reinterpret_cast<void**>(t->lev[0]),
            reinterpret_cast<void**>(t->lev + 1));
  EXPECT_EQ(t->base, reinterpret_cast<void**>(t->lev[0]));
  EXPECT_EQ(t->frame, t->base);
  EXPECT_EQ(t->frame[0], nullptr);
  EXPECT_EQ(t->free, t->frame + 3);

  // A later compilation with levels and level-0 cells: the old context
  // keeps its own size record.
  max_context = 2;
  sizing(4, 3);
  TVA* u = new_tva();
  EXPECT_EQ(u->outer, t);
  EXPECT_EQ(u->size->max_context, 2);
  EXPECT_EQ(t->size->max_context, 0);
  EXPECT_EQ(reinterpret_cast<void**>(u->lev[0]),
            reinterpret_cast<void**>(u->lev + 3));
  EXPECT_EQ(u->base, reinterpret_cast<void**>(u->lev[0] + 3));
  EXPECT_EQ(u->lev[1], nullptr);
  EXPECT_EQ(cur_ac->tva, u);
  del_tva(u);
  EXPECT_EQ(cur_tva, t);
  EXPECT_EQ(cur_ac->tva, t);
  del_tva(t);
  EXPECT_EQ(cur_tva, nullptr);
}

// Frames are pushed and popped in the block; past top is a bug.
TEST_F(Tva, FramesAndDummyCells) {
  max_context = 1;
  sizing(2, 0);
  TVA* t = new_tva();
  set_spec* ss = reinterpret_cast<set_spec*>(&t);  // any marker
  void** root = t->frame;
  void** cells = tva_push(t, ss, 2);
  EXPECT_EQ(t->frame, root + 3);
  EXPECT_EQ(t->frame[0], root);
  EXPECT_EQ(t->frame[1], ss);
  EXPECT_EQ(t->frame[2], t);
  EXPECT_EQ(cells, t->frame + 3);
  EXPECT_EQ(t->free, cells + 2);

  // A dummy of level 1 at position 1 reads that frame's second cell.
  t->lev[1] = reinterpret_cast<symbol**>(cells);
  symbol* b = Symbol("b", 1);
  cells[1] = b;
  expr* d = new_expr(opword(OPDUMMY), int32_t{1}, int32_t{1});
  d->op = functab[OPDUMMY];
  EXPECT_EQ(*eval(d, t).sp, b);
  // A loop dummy reads the member its running loop has bound (level: the
  // loop's depth, offset: the component), whatever the context.
  alignas(dummy) unsigned char raw[sizeof(dummy)] = {};
  dummy* loop = reinterpret_cast<dummy*>(raw);
  loop->level = 2;
  loop->offset = 1;
  symbol* member[2] = {Symbol("x", 1), Symbol("y", 1)};
  symbol** before = loop_values(2, member);
  expr* ld = new_expr(opword(OPLOOPDUMMY), static_cast<void*>(loop));
  ld->op = functab[OPLOOPDUMMY];
  EXPECT_EQ(eval(ld, t).sp, member + 1);
  EXPECT_EQ(loop_values(2, before), member);

  tva_pop(t);
  EXPECT_EQ(t->frame, root);
  EXPECT_EQ(t->free, root + 3);
  EXPECT_EQ(cur_tva, t);

  auto r = run_captured([&] { tva_push(t, ss, t->top - t->free); });
  EXPECT_TRUE(r.exited);
  EXPECT_NE(r.err.find("Bug: tva top error"), std::string::npos);
}

}  // namespace
}  // namespace vexo
