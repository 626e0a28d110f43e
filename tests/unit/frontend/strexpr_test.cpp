// The string builders, deletion of trees and the misuse report.
#include "frontend/strexpr.h"

#include <gtest/gtest.h>

#include <vector>

#include "builders_fixture.h"
#include "frontend/conbody.h"

namespace vexo {
namespace {

TEST_F(Builders, ConcatenationFoldsLiterals) {
  expr* abc = concat(concat(str("a"), str("b")), str("c"));
  ASSERT_EQ(opcode(abc), OPSTR);
  EXPECT_EQ(text(abc), "abc");
  expr* r = nullptr;
  auto o = test::run_captured([&] { r = concat(new_num(1), new_num(2)); });
  EXPECT_EQ(o.err,
            "\n\tCaution: Converting two numeric values to strings to "
            "concatenate them.\n");
  ASSERT_EQ(opcode(r), OPSTR);
  EXPECT_EQ(text(r), "12");
  // literal & param & literal keeps a chain of three; a further literal
  // joins the last one.
  xnode* p = decl("p", DK_SPARAM);
  expr* c3 = concat(concat(str("x"), entity_ref(p, OPSPAR)), str("y"));
  ASSERT_EQ(opcode(c3), OPCONCAT);
  EXPECT_EQ(listlen(c3->L.e), 3);
  EXPECT_EQ(opcode(c3->L.e->next), OPSPARSTR);
  expr* c4 = concat(c3, str("z"));
  ASSERT_EQ(opcode(c4), OPCONCAT);
  EXPECT_EQ(listlen(c4->L.e), 3);
  EXPECT_EQ(text(c4->R.e), "yz");
  EXPECT_EQ(c4->R.e, c4->L.e->next->next);
}

TEST_F(Builders, DeletionReturnsEveryNode) {
  // Fill the free list, then build and delete a mixed tree: every node
  // comes back.
  test::fill_expr_free_list(64);
  int before = listlen(expr_free_list);
  xnode* p = decl("p", DK_PARAMI, 1);
  expr* sub = subscript(opword(OPPARSUB, 3), p, one_sub(1));
  expr* t = makeif(relop(sub, opword(GT, EF_NUMERIC), new_num(0), nullptr),
                   concat(str("a"), make_string(new_num(2))), str("b"));
  expr* n = nextprev(0, new_lit(Symbol("a", 0)),
                     set_range(new_num(1), new_num(5), nullptr), nullptr);
  expr* both = concat(t, make_string(n));
  edelete(both);
  EXPECT_EQ(listlen(expr_free_list), before);
  // A piecewise-linear term: both lists, the argument and the two inner
  // nodes.
  expr* slopes = new_num(1);
  slopes->next = new_num(2);
  expr* lists = new_expr(opword(OP259), slopes, new_num(0));
  expr* args = new_expr(opword(OP260), entity_ref(p, OPPAR));
  edelete(new_expr(opword(OPPL), lists, args));
  EXPECT_EQ(listlen(expr_free_list), before);
}

// Sampling adjusts the expressions under a random node; the sets that
// alldisjoint compares are no expressions and are passed over.
TEST_F(Builders, SamplingPassesOverSetArguments) {
  set* s = set_enum(new_enum(), 1);
  for (const char* m : {"a", "b"}) {
    symbol* t[1] = {Symbol(m, 0)};
    set_addmem(s, t);
  }
  expr* x = entity_ref(decl("x", DK_VAR), OPVAR164);
  expr* e = new_expr(opword(OPOR, EF_NUMERIC | EF_RANDOM),
                     alldisjoint(new_expr(opword(OPARG), nullptr, s)), x);
  expr* sampled = Sample(e);
  EXPECT_EQ(opcode(x), OPSVEXOVAR);
  EXPECT_EQ(s->nmem, 2);
  EXPECT_EQ(s->first->next->next, nullptr);
  edelete(sampled);
}

TEST_F(Builders, BadUseOfAConstraint) {
  xnode* c = decl("c", DK_CON);
  expr* r = nullptr;
  auto o = test::run_captured([&] { r = baduse(new_expr(opword(OPCON), c)); });
  EXPECT_EQ(o.err, "\n\tUnqualified reference to constraint c.\n");
  EXPECT_EQ(opcode(r), OPNUM);
}

// One tree of each shape the builders make, deleted: every node goes back
// to the free list exactly once (a node given back twice would show as a
// longer list, one never given back as a shorter one).
TEST_F(Builders, DeletionOfEveryBuiltShape) {
  test::fill_expr_free_list(4000);
  auto free_count = [] {
    int n = 0;
    for (expr* e = expr_free_list; e && n < 100000; e = e->next) ++n;
    return n;
  };
  int before = free_count();
  xnode* p = decl("p", DK_PARAM);
  xnode* pi = decl("pi", DK_PARAMI, 1);
  xnode* sp = decl("sp", DK_SPARAM);
  xnode* x = decl("x", DK_VAR);
  auto P = [&] { return entity_ref(p, OPPAR); };
  auto SP = [&] { return entity_ref(sp, OPSPAR); };
  auto X = [&] { return entity_ref(x, OPVAR164); };
  auto range = [] { return set_range(new_num(1), new_num(5), nullptr); };
  auto ix = [] {
    return new set_spec(new Index(nullptr, set_enum(new_enum(), 1), nullptr, 0),
                        nullptr, 1);
  };
  auto arg = [](expr* v) { return new_expr(opword(OPARG), nullptr, v); };
  const uint32_t lt = opword(LT, EF_NUMERIC), le = opword(LE, EF_NUMERIC);
  std::vector<expr*> trees;
  auto o = test::run_captured([&] {
    trees.push_back(negate(P()));
    trees.push_back(mulop(opword(OPMULT, EF_NUMERIC), negate(new_num(2)),
                          negate(X()), bop_mult));
    trees.push_back(
        binop(opword(OPMATCH, EF_NUMERIC), str("ab"), X(), nullptr));
    trees.push_back(unop(opword(OPLENGTH, EF_NUMERIC), new_num(3), 0));
    trees.push_back(unop(opword(FLOOR, EF_NUMERIC), SP(), 1));
    trees.push_back(make_numeric(makeif(P(), new_num(1), SP())));
    trees.push_back(makeif(X(), str("a"), concat(str("b"), SP())));
    trees.push_back(makeimpli(opword(OPIMPELSE72), X(), P(), new_num(0)));
    trees.push_back(makeimpli(opword(OPIMPLIES), X(), P(), nullptr));
    // 1 < p <= 3 < x: the middle operands shared through 163.
    list* c = relopchain(new_num(1), nullptr, lt, P());
    c = relopchain(nullptr, c, le, new_num(3));
    trees.push_back(relop_adj(relopchain(nullptr, c, lt, X())));
    // p < 2 == "s" == sp: a step decided at once in the middle.
    c = relopchain(P(), nullptr, lt, new_num(2));
    c = relopchain(nullptr, c, opword(EQ), str("s"));
    trees.push_back(relop_adj(relopchain(nullptr, c, opword(EQ), SP())));
    // 1 == "a" < p: decided false at once, the rest dropped.
    c = relopchain(new_num(1), nullptr, opword(EQ), str("a"));
    trees.push_back(relop_adj(relopchain(nullptr, c, lt, P())));
    trees.push_back(in_test(new_lit(Symbol("a", 0)), set_enum(new_enum(), 1),
                            opword(OPISIN)));
    expr* args = arg(P());
    args->next = new_expr(opword(OPARG), ix(), arg(SP()));
    trees.push_back(alldiff(nullptr, args));
    trees.push_back(alldiff(X(), arg(new_num(1))));
    trees.push_back(alldisjoint(new_expr(opword(OPARG), nullptr, range())));
    trees.push_back(sreduc(opword(PROD, EF_NUMERIC), ix(), X(), 0));
    trees.push_back(subscript(opword(OPPARSUB, 3), pi, one_sub(1)));
    trees.push_back(subscript(opword(OPPARSUB, 3), pi, nullptr));
    trees.push_back(firstlast(opword(OPFIRST, 1), range()));
    trees.push_back(ord_elem(opword(OPORD, EF_NUMERIC), SP(), range()));
    trees.push_back(nextprev(3, SP(), range(), P()));
    trees.push_back(ltinsert(str("file")));
    trees.push_back(ltinsert(SP()));
    trees.push_back(concat(str("a"), concat(P(), str("b"))));
    trees.push_back(Sample(new_expr(opword(OPPAR, EF_NUMERIC | EF_RANDOM), p)));
    trees.push_back(stbody(X(), le, P(), 0, nullptr, STB_REVERSE));
    trees.push_back(stbody(new_num(0), le, X(), le, P(), 0));
    trees.push_back(stbody(SP(), opword(EQ), str("a"), 0, nullptr, 0));
    list* l = new_list(nullptr, X());
    l = new_list_int(l, int32_t(le));
    l = new_list(l, new_num(0));
    list* r = new_list(nullptr, P());
    r = new_list_int(r, int32_t(opword(GE, EF_NUMERIC)));
    trees.push_back(compldcl(l, new_list(r, new_num(0))));
    l = new_list(nullptr, X());
    l = new_list_int(l, int32_t(opword(EQ)));
    l = new_list(l, new_num(0));
    trees.push_back(compldcl(l, new_list(nullptr, P())));
    expr* bp = pllist(nullptr, nullptr, new_num(2));
    bp = pllist(bp, nullptr, new_num(1));
    expr* sl = pllist(pllist(nullptr, nullptr, new_num(3)), nullptr, P());
    trees.push_back(makepl(sl, bp, X(), new_num(0)));
    trees.push_back(makepl(pllist(nullptr, nullptr, X()),
                           pllist(nullptr, nullptr, new_num(1)), X(), nullptr));
  });
  // Forms the compiler makes, by hand: owned sets, strings, chains and
  // inner nodes of each remaining shape.
  expr* chain3 = P();
  chain3->next = SP();
  chain3->next->next = new_num(1);
  trees.push_back(new_expr(opword(OPSTR, EF_STRING), new_cstring("a"),
                           chain3));  // 39
  trees.push_back(new_expr(opword(OPCARD, 2), range(),
                           new_cstring("c")));                     // 27
  trees.push_back(new_expr(opword(OPLOOKUPsl175), range(), P()));  // 35
  trees.push_back(new_expr(opword(OP253), nullptr, range()));      // 41
  trees.push_back(new_expr(opword(OP254), range()));               // 47
  trees.push_back(new_expr(opword(OP283), P(), SP()));             // 45
  trees.push_back(new_expr(opword(OP285), range(), SP()));         // 53
  trees.push_back(new_expr(opword(OP285), nullptr, range()));      // 53
  trees.push_back(
      new_expr(opword(OP239), new_expr(opword(OP233), nullptr, P())));  // 21
  trees.push_back(new_expr(opword(OPWITHIN), range(), range()));        // 25
  for (expr* t : trees) {
    ASSERT_NE(t, nullptr);
    edelete(t);
  }
  EXPECT_EQ(free_count(), before) << o.err;
}

}  // namespace
}  // namespace vexo
