#include "eval/set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/tva.h"
#include "frontend/frontend_fixture.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo {
namespace {

class SetStore : public ::testing::Test {
 protected:
  void SetUp() override { test::start_session(); }
  static symbol* sym(const std::string& s) { return Symbol(s.c_str(), 1); }
  static std::vector<symbol*> members(set* s) {
    std::vector<symbol*> v;
    int ord = 0;
    for (setmem* m = s->first; m; m = m->next) {
      EXPECT_EQ(m->ord, ord++);
      v.push_back(m->tup()[0]);
    }
    EXPECT_EQ(static_cast<int>(v.size()), s->nmem);
    return v;
  }
};

TEST_F(SetStore, MembersKeepInsertionOrderAndOrdinals) {
  set* s = set_enum(new_enum(), 1);
  EXPECT_EQ(s->sclass, SC_ENUM);
  EXPECT_EQ(s->kind, SET_KIND);
  EXPECT_EQ(s->refcnt, 1);
  EXPECT_EQ(s->nmem, 0);
  std::vector<symbol*> in = {sym("c"), sym("a"), Number(7), sym("b"),
                             Number(2.5)};
  const int buckets[] = {2, 2, 4, 4, 8};
  for (size_t i = 0; i < in.size(); i++) {
    EXPECT_EQ(set_addmem(s, &in[i]), 0);
    EXPECT_EQ(s->mask + 1, buckets[i]) << "after member " << i + 1;
  }
  EXPECT_EQ(set_addmem(s, &in[1]), 1);  // present: nothing changes
  EXPECT_EQ(members(s), in);
  for (size_t i = 0; i < in.size(); i++) {
    setmem* m = nullptr;
    EXPECT_EQ(set_lookup(s, &in[i], &m), static_cast<int64_t>(i));
    EXPECT_EQ(m->tup()[0], in[i]);
    EXPECT_EQ(set_in(s, &in[i], nullptr), static_cast<int64_t>(i));
  }
  symbol* absent = sym("zz");
  setmem* m = s->first;
  EXPECT_EQ(set_lookup(s, &absent, &m), -1);
  EXPECT_EQ(m, nullptr);
  EXPECT_EQ(prevlookup(s, &absent), nullptr);
  setmem** link = prevlookup(s, &in[3]);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ((*link)->tup()[0], in[3]);
}

TEST_F(SetStore, TableSizesForExpectedCounts) {
  set* s = set_enum(new_enum(), 1);
  const int cases[][2] = {{0, 1}, {1, 2}, {2, 2}, {5, 8}, {8, 8}, {9, 16}};
  for (auto& c : cases) {
    s->new_htab(c[0]);
    EXPECT_EQ(s->mask + 1, c[1]) << "n = " << c[0];
    EXPECT_EQ(1 << s->k, c[1]);
  }
}

TEST_F(SetStore, LookupsAfterGrowthFindEveryMember) {
  // Pairs (name, number) as two-component tuples, so that the multiplier of
  // the hash changes with every growth.
  set* s = set_enum(new_enum(), 2);
  const int n = 50000;
  std::vector<symbol*> names;
  for (int i = 0; i < n; i++) names.push_back(sym("m" + std::to_string(i)));
  for (int i = 0; i < n; i++) {
    symbol* t[2] = {names[i], Number(i % 97)};
    ASSERT_EQ(set_addmem(s, t), 0);
  }
  EXPECT_EQ(s->nmem, n);
  EXPECT_EQ(s->mask + 1, 65536);
  for (int i = 0; i < n; i++) {
    symbol* t[2] = {names[i], Number(i % 97)};
    ASSERT_EQ(set_in(s, t, nullptr), i);
    symbol* u[2] = {names[i], Number(i % 97 + 1)};
    ASSERT_EQ(set_in(s, u, nullptr), -1);
  }
}

TEST_F(SetStore, CopyBeforeChangeLeavesTheOriginalIntact) {
  set* s = set_enum(new_enum(), 1);
  std::vector<symbol*> in = {sym("x"), sym("y"), sym("z")};
  for (symbol*& t : in) set_addmem(s, &t);

  EXPECT_EQ(mutable_set(s), s);  // one holder: changed in place

  s->refcnt = 2;  // a second holder
  set* c = mutable_set(s);
  ASSERT_NE(c, s);
  EXPECT_EQ(c->sclass, SC_ENUM);
  EXPECT_EQ(c->refcnt, 1);
  EXPECT_EQ(s->refcnt, 1);
  EXPECT_EQ(members(c), in);
  symbol* w = sym("w");
  EXPECT_EQ(set_addmem(c, &w), 0);
  EXPECT_EQ(members(s), in);
  EXPECT_EQ(set_lookup(s, &w), -1);
  EXPECT_EQ(set_lookup(c, &w), 3);
}

TEST_F(SetStore, MemberAddedAgainAfterDeletionIsFound) {
  set* s = set_enum(new_enum(), 1);
  symbol* a = sym("a");
  symbol* b = sym("b");
  set_addmem(s, &a);
  set_addmem(s, &b);
  setmem* dead = nullptr;
  ASSERT_EQ(set_lookup(s, &a, &dead), 0);
  dead->ord = -1;  // what deleting code does
  EXPECT_EQ(set_lookup(s, &a), -1);
  EXPECT_EQ(set_addmem(s, &a), 0);
  setmem* live = nullptr;
  EXPECT_EQ(set_lookup(s, &a, &live), 2);
  EXPECT_NE(live, dead);
  EXPECT_EQ(dead->hnext, live);  // linked directly behind the dead node
  EXPECT_EQ(set_in(s, &a, nullptr), 2);
}

// A set of another class whose order list is built without a table, as
// the generators of ranges and indexing expressions build it.
int calls_in = 0;
int class_in(set*, symbol**, TVA*) {
  calls_in++;
  return MEMBER_NO_ORD;
}
set* listed_set(const std::vector<symbol*>& v) {
  set* s = new_setdb();
  s->kind = SET_KIND;
  s->sclass = SC_SYS;
  s->refcnt = 1;
  s->arity = 1;
  s->in = class_in;
  for (symbol* t : v) {
    setmem* m = new_setmem(1);
    m->ord = 99;
    m->tup()[0] = t;
    *s->lastnext = m;
    s->lastnext = &m->next;
  }
  s->nmem = static_cast<int>(v.size());
  return s;
}

TEST_F(SetStore, TableBuiltOnFirstUseOnlyForSetsInUse) {
  std::vector<symbol*> v = {sym("p"), sym("q"), sym("r")};
  set* s = listed_set(v);
  calls_in = 0;
  EXPECT_EQ(set_in(s, &v[1], nullptr), MEMBER_NO_ORD);  // class test
  EXPECT_EQ(calls_in, 1);
  EXPECT_EQ(s->htab, nullptr);

  s->nuse = 1;
  EXPECT_EQ(set_in(s, &v[1], nullptr), 1);  // table built, renumbered
  EXPECT_EQ(calls_in, 1);
  ASSERT_NE(s->htab, nullptr);
  EXPECT_EQ(s->mask + 1, 4);
  EXPECT_EQ(members(s), v);
}

TEST_F(SetStore, WrongCountWhileBuildingATableIsReported) {
  set* s = listed_set({sym("p"), sym("q")});
  s->nmem = 3;
  s->nuse = 1;
  TVA* t = new_tva();
  auto r = test::run_captured([&] { s->makesettab(t); });
  del_tva(t);
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.err.find("wrong card (2 rather than 3) in set::maketab"),
            std::string::npos)
      << r.err;
}

TEST_F(SetStore, ReleaseRecyclesRecordsAndMembers) {
  set* s = set_enum(new_enum(), 1);
  symbol* a = sym("a");
  set_addmem(s, &a);
  setmem* m = s->first;
  s->refcnt = 2;
  sdelete(s);  // another holder remains
  EXPECT_EQ(s->refcnt, 1);
  EXPECT_EQ(set_lookup(s, &a), 0);
  sdelete(s);
  EXPECT_EQ(new_setmem(1), m);  // the member node is reused ...
  set* t = new_enum();          // ... and so is the record, zeroed
  EXPECT_EQ(t, s);
  EXPECT_EQ(t->first, nullptr);
  EXPECT_EQ(t->lastnext, &t->first);
  EXPECT_EQ(t->htab, nullptr);
}

// Many members announced by set_reserve take their nodes from one block,
// in order; the nodes of a set given back serve the next one before any
// new memory is taken.
TEST_F(SetStore, ReservedMembersShareOneBlockAndAreReused) {
  constexpr int N = 5000;
  std::vector<symbol*> nums;
  for (int i = 0; i < N; ++i) nums.push_back(Number(i));
  auto fill = [&](set* s) {
    set_reserve(s, N);
    for (int i = 0; i < N; ++i) {
      symbol* t[2] = {nums[i], nums[N - 1 - i]};
      ASSERT_EQ(set_addmem(s, t), 0);
      ASSERT_EQ(set_addmem(s, t), 1);  // a duplicate takes no node
    }
  };
  set* s = set_enum(new_enum(), 2);
  fill(s);
  ASSERT_EQ(s->nmem, N);
  int ord = 0;
  size_t step = sizeof(setmem) + 2 * sizeof(symbol*);
  for (setmem* m = s->first; m; m = m->next, ++ord) {
    ASSERT_EQ(m->ord, ord);
    ASSERT_EQ(m->tup()[0], nums[ord]);
    ASSERT_EQ(m->tup()[1], nums[N - 1 - ord]);
    if (m->next) {
      ASSERT_EQ(reinterpret_cast<char*>(m->next) - reinterpret_cast<char*>(m),
                static_cast<ptrdiff_t>(step));
    }
  }
  symbol* t[2] = {nums[7], nums[N - 8]};
  EXPECT_EQ(set_lookup(s, t), 7);
  sdelete(s);
  double before = mem_used();
  set* s2 = set_enum(new_enum(), 2);
  fill(s2);
  EXPECT_EQ(s2->nmem, N);
  EXPECT_LT(mem_used() - before, double(N) * double(step) / 2);
  EXPECT_EQ(set_lookup(s2, t), 7);
  sdelete(s2);
}

TEST_F(SetStore, GenerationOfASetWithoutDataIsReported) {
  set* s = set_enum(new_enum(), 1);
  TVA* t = new_tva();
  auto r = test::run_captured([&] { set_genall(s, t); });
  del_tva(t);
  EXPECT_TRUE(r.exited);
  EXPECT_NE(r.err.find("enum_genall called!"), std::string::npos) << r.err;
}

TEST_F(SetStore, TuplesBeyondTheLimitAreABug) {
  auto r = test::run_captured([] { set_enum(new_enum(), TUPMAX + 1); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("arity 21 > TUPMAX = 20"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace vexo
