#include "support/list.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/paramdcl.h"
#include "session/execute.h"
#include "session/startup.h"
#include "support/machine.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo {
namespace {

// Cells on the free list from its head.
std::vector<list*> free_cells() {
  std::vector<list*> v;
  for (list* c = list_free_list; c; c = c->next) v.push_back(c);
  return v;
}

TEST(List, DeletingFirstCellFreesChainFirstOnTop) {
  list* c = new_list(nullptr, nullptr);
  list* b = new_list(c, nullptr);
  list* a = new_list_int(b, 77);
  list* old_head = list_free_list;
  delete a;
  std::vector<list*> f = free_cells();
  ASSERT_GE(f.size(), 3u);
  EXPECT_EQ(f[0], a);
  EXPECT_EQ(f[1], b);
  EXPECT_EQ(f[2], c);
  EXPECT_EQ(c->next, old_head);
  // The last freed cell comes back first, its item as it was.
  list* x = static_cast<list*>(list::operator new(sizeof(list)));
  EXPECT_EQ(x, a);
  EXPECT_EQ(x->item.i, 77);
  EXPECT_EQ(list_free_list, b);
  // A cell cut out of its chain just before the release goes back alone.
  x->next = new_list(nullptr, nullptr);  // takes b
  list* head = list_free_list;
  free_list(x->next);
  x->next = nullptr;
  delete x;
  f = free_cells();  // read through the list: x itself is released
  ASSERT_GE(f.size(), 2u);
  EXPECT_EQ(f[0], x);
  EXPECT_EQ(f[1], b);
  EXPECT_EQ(b->next, head);
}

TEST(List, FreshCellIsZeroed) {
  list_free_list = nullptr;
  list* x = static_cast<list*>(list::operator new(sizeof(list)));
  EXPECT_EQ(x->next, nullptr);
  EXPECT_EQ(x->item.p, nullptr);
  delete x;
}

TEST(List, ReverseAndLength) {
  EXPECT_EQ(reverse(static_cast<list*>(nullptr)), nullptr);
  EXPECT_EQ(listlen(nullptr), 0);
  list* a = new_list_int(nullptr, 1);
  a = new_list_int(a, 2);
  a = new_list_int(a, 3);  // 3, 2, 1
  EXPECT_EQ(listlen(a), 3);
  a = reverse(a);
  EXPECT_EQ(a->item.i, 1);
  EXPECT_EQ(a->next->item.i, 2);
  EXPECT_EQ(a->next->next->item.i, 3);
  EXPECT_EQ(a->next->next->next, nullptr);
  delete a;
}

TEST(List, TulistPutsElementsInSourceOrder) {
  expr* a = new_num(1);
  expr* b = new_num(2);
  expr* c = new_num(3);
  c->next = b;  // the parser's order: newest first
  b->next = a;
  list* rest = new_list(nullptr, nullptr);
  list* t = tulist(rest, c);
  EXPECT_EQ(t->next, rest);
  std::vector<double> v;
  for (expr* x = t->item.e; x; x = x->next) v.push_back(x->L.d);
  EXPECT_EQ(v, (std::vector<double>{1, 2, 3}));
  delete t;
}

// The placeholder of an undeclared name (opcode 279) is replaced, here by
// the number 0 that single-stepping gives after the message.
TEST(List, TulistReplacesPlaceholders) {
  if (!Stderr) Init_Stderr();
  init_modules(1);
  single_step = 1;
  expr* a = new_num(1);
  expr* p = new_expr(opword(OP279), Symbol("zz", 1));
  expr* c = new_num(3);
  c->next = p;  // the parser's order: newest first
  p->next = a;
  list* t = nullptr;
  auto r = test::run_captured([&] { t = tulist(nullptr, c); });
  single_step = 0;
  EXPECT_NE(r.err.find("zz is not defined"), std::string::npos) << r.err;
  ASSERT_NE(t, nullptr);
  std::vector<double> v;
  for (expr* x = t->item.e; x; x = x->next) v.push_back(x->L.d);
  EXPECT_EQ(v, (std::vector<double>{1, 0, 3}));
  delete t;
}

// A name's meaning before a dummy shadows it: a record whose kind word is
// not a declaration's, so that the dummy takes the name without a message.
struct meaning {
  void* next;
  uint32_t kind;
};
meaning declared_i{nullptr, DK_NOBIND}, declared_j{nullptr, DK_NOBIND};

symbol* S(const char* name) { return Symbol(name, 1); }
dummy* add_dummy(const char* name) {
  return last_dummy = new dummy(last_dummy, S(name));
}

class Contexts : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Stderr) Init_Stderr();
    init_modules(1);
  }
  void TearDown() override { context_end(sslevel); }
};

TEST_F(Contexts, ThirtyOneLevelsThenOverflowIsABug) {
  for (int k = 1; k <= 31; ++k) {
    new_context();
    EXPECT_EQ(sslevel, k);
  }
  EXPECT_EQ(listlen(sycontext), 62);
  auto r = test::run_captured([] { new_context(); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Bug: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("context stack overflow"), std::string::npos);
  // The overflowing level was pushed; closing all of them empties the
  // stack.
  EXPECT_EQ(sslevel, 32);
  context_end(32);
  EXPECT_EQ(sycontext, nullptr);
  EXPECT_EQ(sslevel, 0);
}

TEST_F(Contexts, ClosingRestoresStateAndShadowedNames) {
  S("i")->binding = &declared_i;  // say, a declared parameter
  S("j")->binding = &declared_j;
  dummy* k = add_dummy("k");  // a scope open at level 0 (e.g. a loop)
  int outer_offset = ssoffset;
  list_free_list = nullptr;
  dummy_free_list = nullptr;

  new_context();
  Dummy_refs[1] = 9;
  dummy* i1 = add_dummy("i");
  dummy* j1 = add_dummy("j");
  new_context();
  EXPECT_EQ(Dummy_refs[2], 0);
  EXPECT_EQ(ssoffset, 0);
  EXPECT_EQ(last_dummy, nullptr);
  dummy* i2 = add_dummy("i");  // shadows the outer dummy i
  EXPECT_EQ(S("i")->binding, i2);

  context_end(1);
  EXPECT_EQ(S("i")->binding, i1);
  EXPECT_EQ(sslevel, 1);
  EXPECT_EQ(ssoffset, 2);
  context_end(1);
  EXPECT_EQ(S("i")->binding, &declared_i);
  EXPECT_EQ(S("j")->binding, &declared_j);
  EXPECT_EQ(S("k")->binding, k);
  EXPECT_EQ(sslevel, 0);
  EXPECT_EQ(ssoffset, outer_offset);
  EXPECT_EQ(last_dummy, k);
  EXPECT_EQ(sycontext, nullptr);
  EXPECT_EQ(free_cells().size(), 4u);
  // Each scope's dummies went back to their free list, newest first.
  EXPECT_EQ(dummy_free_list, j1);
  EXPECT_EQ(j1->next, i1);
  EXPECT_EQ(i1->next, i2);

  context_end(0);
  context_end(-3);
  EXPECT_EQ(sslevel, 0);
  dummy_release(last_dummy);
  last_dummy = nullptr;
}

// An indexing of n items (no scope of their own: the test opens them).
set_spec* indexing(int n) {
  Index* ix = nullptr;
  for (int k = 0; k < n; ++k) ix = new Index(ix, nullptr, nullptr, 0);
  return new set_spec(ix, nullptr, 1);
}

TEST_F(Contexts, EndContextCounts) {
  for (int k = 0; k < 5; ++k) new_context();
  end_context(indexing(2), nullptr);  // an indexing's levels
  EXPECT_EQ(sslevel, 3);
  end_context(nullptr, nullptr);
  EXPECT_EQ(sslevel, 3);

  // A declaration closes its indexing's contexts, then every other one.
  xnode d{};
  d.indexing = indexing(1);
  end_context(nullptr, &d);
  EXPECT_EQ(sslevel, 0);
  EXPECT_EQ(sycontext, nullptr);

  // A declaration without indexing closes every open context.
  xnode e{};
  for (int k = 0; k < 3; ++k) new_context();
  add_dummy("x");
  end_context(nullptr, &e);
  EXPECT_EQ(sslevel, 0);
  EXPECT_EQ(S("x")->binding, nullptr);
}

TEST_F(Contexts, EndAllContexts) {
  // A set declaration being parsed is finished, which closes its own
  // context; the other contexts are closed after it.
  for (int k = 0; k < 3; ++k) {
    new_context();
    add_dummy(("d" + std::to_string(k)).c_str());
  }
  Index* ix = new Index(nullptr, set_enum(new_enum(), 1), nullptr, 1);
  setdcl* sd = new_setdcl(S("T"), nullptr, new set_spec(ix, nullptr, 1));
  EXPECT_EQ(current_setdcl, sd);
  EXPECT_EQ(sslevel, 4);
  bracecnt = 3;
  auto r = test::run_captured([] { end_all_contexts(); });
  EXPECT_FALSE(r.aborted || r.exited) << r.err;
  EXPECT_EQ(current_setdcl, nullptr);
  EXPECT_EQ(S("T")->binding, sd);
  EXPECT_EQ(sslevel, 0);
  EXPECT_EQ(sycontext, nullptr);
  EXPECT_EQ(bracecnt, 0);
  for (int k = 0; k < 3; ++k)
    EXPECT_EQ(S(("d" + std::to_string(k)).c_str())->binding, nullptr);

  // Nothing open: only the brace depth changes.
  bracecnt = 2;
  end_all_contexts();
  EXPECT_EQ(sslevel, 0);
  EXPECT_EQ(bracecnt, 0);
}

}  // namespace
}  // namespace vexo
