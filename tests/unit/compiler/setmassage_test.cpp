// Massaging of sets: equal set expressions share one set, declared sets
// stand for their names, equal data sets collapse into one, and cached
// members go when their inputs are newer.
#include "compiler/setmassage.h"

#include <gtest/gtest.h>

#include "compiler/eexpr.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/model_fixture.h"
#include "session/loop.h"

namespace vexo {
namespace {

using Sets = test::ModelTest;

TEST_F(Sets, LiteralSetsShareInTheSameOrderOnly) {
  model(
      "param q = card({1, 2}) + card({1, 2});\n"
      "param p = card({2, 1});\n");
  massage(&def("q"));
  massage(&def("p"));
  set* a = def("q")->L.e->L.s;
  set* b = def("q")->R.e->L.s;
  set* c = def("p")->L.s;
  EXPECT_EQ(a->sclass, SC_LITERAL);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(def("q")->L.e, def("q")->R.e);
}

TEST_F(Sets, EqualIndexingsUsedAsSetsShare) {
  model(
      "set I; set J;\n"
      "param q = card({i in I, j in J}) + card({i in I, j in J});\n");
  expr* q = def("q");
  set* first = q->L.e->L.s;
  set* second = q->R.e->L.s;
  ASSERT_EQ(second->sclass, SC_SPECSET);
  massage(&def("q"));
  EXPECT_EQ(q->L.e->L.s, first);
  EXPECT_EQ(q->R.e->L.s, first);
  EXPECT_EQ(q->L.e, q->R.e);
  // The indexing that gave way no longer names the shared record.
  EXPECT_EQ(second->ee, nullptr);
  EXPECT_EQ(curcon, 0);
}

TEST_F(Sets, DeclaredSetStandsForItsName) {
  model("set I; param a{I};\n");
  set_spec* ix = decl("a")->indexing;
  ASSERT_EQ(ix->first->s->sclass, SC_NAMED);
  ss_setup(ix, decl("a"));
  set* value = decl<setdcl>("I")->value;
  EXPECT_EQ(ix->first->s, value);
  EXPECT_EQ(ix->first->ee, value->ee);
  EXPECT_TRUE(value->ee->flags & EE_ENUM);
  ss_teardown(ix);
  // The index set itself is what iteration fills for the declaration.
  EXPECT_EQ(ix->rset, value);
}

TEST_F(Sets, EqualDataSetsBecomeOne) {
  auto data = [](std::initializer_list<const char*> names) {
    set* s = set_enum(new_enum(), 1);
    for (const char* n : names) {
      symbol* m = Symbol(n, 1);
      set_addmem(s, &m);
    }
    return s;
  };
  set* a = data({"u", "v"});
  set* b = data({"u", "v"});
  set* c = data({"v", "u"});
  set* sa = a;
  set* sb = b;
  set* sc = c;
  eexpr* ra = set_massage(&sa);
  eexpr* rb = set_massage(&sb);
  eexpr* rc = set_massage(&sc);
  EXPECT_EQ(sa, a);
  EXPECT_EQ(sb, a);
  EXPECT_EQ(rb, ra);
  EXPECT_EQ(a->refcnt, 2);
  EXPECT_EQ(sc, c);
  EXPECT_NE(rc, ra);
  // Not generated yet: never equal to another set.
  set* d = set_enum(new_enum(), 1);
  d->nmem = -1;
  set* e = set_enum(new_enum(), 1);
  e->nmem = -1;
  set* sd = d;
  set* se = e;
  set_massage(&sd);
  set_massage(&se);
  EXPECT_EQ(sd, d);
  EXPECT_EQ(se, e);
}

TEST_F(Sets, StaleMembersAreDropped) {
  model("param n; param q = card(1..n); param p = card(1..n + 1);\n");
  // Both ranges pretend to hold members computed before their inputs were
  // last changed; p's are newer than its inputs.
  set* r = def("q")->L.s;
  r->nmem = 0;
  r->stamp = 0;
  set* s = def("p")->L.s;
  s->nmem = 0;
  s->stamp = 1e6;
  massage(&def("q"));
  massage(&def("p"));
  EXPECT_EQ(r->nmem, -1);
  EXPECT_EQ(r->stamp, decl("n")->stamp);
  EXPECT_EQ(s->nmem, 0);
}

}  // namespace
}  // namespace vexo
