// Value storage: the symbolic value cell (svupdate), the growth of a
// declaration's per-member arrays together, and the merge of later data
// into a declaration (update data, values computed from the default).
#include "data/values.h"

#include <gtest/gtest.h>

#include <cstring>

#include "data/data_fixture.h"
#include "eval/set.h"
#include "frontend/paramdcl.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {
namespace {

using test::count;

class Values : public test::DataTest {};

TEST_F(Values, SymbolicCells) {
  symval v{};
  cstr* a = new_cstring("abc");
  EXPECT_EQ(svupdate(&v, a, nullptr), 1);
  EXPECT_EQ(v.str, a);
  // The same text again changes nothing and leaves one string.
  cstr* b = new_cstring("abc");
  b->refcnt = 2;  // kept here to see the release
  EXPECT_EQ(svupdate(&v, b, nullptr), 0);
  EXPECT_EQ(v.str, a);
  EXPECT_EQ(b->refcnt, 1u);
  zap_cstr(&b);
  // A name symbol with the same text counts as the same value.
  symval w{Symbol("abc", 1), nullptr};
  EXPECT_EQ(svupdate(&w, new_cstring("abc"), nullptr), 0);
  EXPECT_EQ(w.str, nullptr);
  // A number after a string whose text is the number's keeps the string.
  symval n{nullptr, new_cstring("3")};
  EXPECT_EQ(svupdate(&n, nullptr, Number(3)), 1);
  EXPECT_EQ(n.sym, Number(3));
  ASSERT_NE(n.str, nullptr);
  EXPECT_EQ(svupdate(&n, nullptr, Number(3)), 0);
  EXPECT_EQ(svupdate(&n, nullptr, Number(4)), 1);
  EXPECT_EQ(n.str, nullptr);
  // A string replaces a number.
  EXPECT_EQ(svupdate(&n, new_cstring("x"), nullptr), 1);
  EXPECT_EQ(n.sym, nullptr);
  EXPECT_STREQ(n.str->text(), "x");
  zap_cstr(&n.str);
  zap_cstr(&v.str);
}

TEST_F(Values, ArraysGrowTogether) {
  quiet(
      "set S; var x {S}; suffix s1; suffix s2;\n"
      "data; param x.s1 := a 1; param x.s2 := a 2;\n");
  xnode2* x = decl("x");
  ASSERT_EQ(x->nvals, 1);
  *stat_of(x, 0) |= MS_CHANGED;
  for (int i = 1; i < 100; ++i) {
    val_extend(x, i & 1);
    ++x->nvals;
  }
  size_t cap = size_t{8} << x->valk;
  EXPECT_GE(cap / 8, 100u);
  EXPECT_GE(size_t{8} << x->statk, 100u);
  EXPECT_EQ(x->stat[0], MS_NOVALUE | MS_CHANGED);  // suffix data only
  for (sufvals* s = static_cast<sufvals*>(x->sufv); s; s = s->next) {
    EXPECT_GE((size_t{8} << s->k) / 8, 100u);
    for (int i = 1; i < 100; ++i) EXPECT_EQ(s->v[i], 0) << i;
  }
  for (int i = 1; i < 100; ++i) {
    EXPECT_EQ(static_cast<double*>(x->vals)[i], 0) << i;
    EXPECT_EQ(x->stat[i], 0) << i;
  }
}

TEST_F(Values, LaterDataMerge) {
  quiet(
      "set S; param p {S}; param s {S} symbolic;\n"
      "data; param p := a 1 b 2; param s := a x b 5;\n");
  xnode2* p = decl("p");
  // update data lets new values replace present ones; a value computed
  // from the default is not replaced.
  p->dflags |= DF_UPDATE;
  decl("s")->dflags |= DF_UPDATE;
  *stat_of(p, static_cast<int32_t>(member(p, {"b"}))) |= MS_COMPUTED;
  std::string err = run("data; param p := a 3 b 4 c 5; param s := a x b y;\n");
  EXPECT_EQ(count(err,
                  "p['b'] already has a value computed from its "
                  "default"),
            1)
      << err;
  EXPECT_EQ(num("p", {"a"}), 3);
  EXPECT_EQ(num("p", {"b"}), 2);
  EXPECT_EQ(num("p", {"c"}), 5);
  EXPECT_TRUE(p->stat[member(p, {"a"})] & MS_CHANGED);
  EXPECT_EQ(text("s", {"a"}), "x");
  EXPECT_EQ(text("s", {"b"}), "y");
  xnode2* s = decl("s");
  EXPECT_FALSE(s->stat && (s->stat[member(s, {"a"})] & MS_CHANGED));
}

// A declaration that shares a set as its data index keeps, when cut to
// its first members, an index of its own; the shared set is untouched.
TEST_F(Values, TruncateLeavesTheSharedIndexAlone) {
  quiet(
      "set S; param p {S};\n"
      "data; set S := a b c;\n");
  xnode2* p = decl("p");
  set* s = static_cast<setdcl*>(Symbol0("S")->binding)->value;
  ASSERT_EQ(shareable_index(p), s);
  val_share(p, s);
  for (int i = 0; i < 3; ++i) static_cast<double*>(p->vals)[i] = i + 1;
  val_truncate(p, 2);
  EXPECT_EQ(p->nvals, 2);
  EXPECT_NE(p->dindex, s);
  EXPECT_EQ(s->nmem, 3);
  EXPECT_EQ(s->refcnt, 1);
  EXPECT_EQ(num("p", {"b"}), 2);
  EXPECT_LT(member(p, {"c"}), 0);
}

}  // namespace
}  // namespace vexo
