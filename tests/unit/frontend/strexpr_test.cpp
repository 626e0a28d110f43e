// The string builders, deletion of trees and the misuse report.
#include "frontend/strexpr.h"

#include <gtest/gtest.h>

#include "builders_fixture.h"

namespace vexo {
namespace {

TEST_F(Builders, ConcatenationFoldsLiterals) {
  expr* abc = concat(concat(str("a"), str("b")), str("c"));
  ASSERT_EQ(opcode(abc), OPSTR);
  EXPECT_EQ(text(abc), "abc");
  expr* r = nullptr;
  auto o = test::run_captured([&] { r = concat(new_num(1), new_num(2)); });
  EXPECT_EQ(o.err,
            "Caution: Converting two numeric values to strings to "
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
  expr* spare = nullptr;
  for (int k = 0; k < 64; ++k) {
    expr* n = new_expr(0);
    n->next = spare;
    spare = n;
  }
  free_expr(spare);
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

TEST_F(Builders, BadUseOfAConstraint) {
  xnode* c = decl("c", DK_CON);
  expr* r = nullptr;
  auto o = test::run_captured([&] { r = baduse(new_expr(opword(OPCON), c)); });
  EXPECT_EQ(o.err, "Unqualified reference to constraint c.\n");
  EXPECT_EQ(opcode(r), OPNUM);
}

}  // namespace
}  // namespace vexo
