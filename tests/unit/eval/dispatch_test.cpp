#include "eval/dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "eval_fixture.h"

namespace vexo {
namespace {

using test::bomb;
using test::chain;
using test::EvalTest;
using test::lit;
using test::loglit;
using test::node;
using test::num;
using test::str;
using Leaves = EvalTest;

TEST_F(Leaves, Literals) {
  EXPECT_EQ(number(num(-2.5)), -2.5);
  EXPECT_EQ(logical(loglit(1)), 1);
  EXPECT_EQ(logical(loglit(-7)), -7);
  // Two literals of one text: cells holding the same symbol.
  expr* a1 = lit("alpha");
  expr* a2 = lit("alpha");
  symbol** c1 = eval(a1, tva).sp;
  symbol** c2 = eval(a2, tva).sp;
  EXPECT_EQ(c1, &a1->L.sym);
  EXPECT_EQ(c2, &a2->L.sym);
  EXPECT_EQ(*c1, *c2);
  EXPECT_EQ(functab[OPLITLIST], functab[OPLIT]);
}

// Each evaluation of a string literal hands out a reference; giving both
// back leaves the literal's own.
TEST_F(Leaves, StringLiteralReferences) {
  expr* s = str("text");
  cstr* r1 = eval_str(s, tva);
  cstr* r2 = eval_str(s, tva);
  EXPECT_EQ(r1, s->L.cs);
  EXPECT_EQ(s->L.cs->refcnt, 3u);
  release_cstr(r1);
  release_cstr(r2);
  EXPECT_EQ(s->L.cs->refcnt, 1u);
  EXPECT_STREQ(s->L.cs->text(), "text");
}

// The fast list forms: empty sum 0, and-list 1, or-list 0; the logical
// ones stop at the first member that settles them.
TEST_F(Leaves, ListForms) {
  auto list = [](efunc f, expr* members) {
    expr* e = new_expr(opword(OPSUMLIST), members);
    e->op = f;
    return e;
  };
  EXPECT_EQ(number(list(f_OPSUMLIST1, nullptr)), 0);
  EXPECT_EQ(logical(list(f_OPANDLIST1, nullptr)), 1);
  EXPECT_EQ(logical(list(f_OPORLIST1, nullptr)), 0);
  EXPECT_EQ(number(list(f_OPSUMLIST1, chain({num(1), num(2.5), num(-4)}))),
            -0.5);
  EXPECT_EQ(logical(list(f_OPANDLIST1, chain({loglit(1), loglit(0), bomb()}))),
            0);
  EXPECT_EQ(logical(list(f_OPANDLIST1, chain({loglit(1), loglit(3)}))), 1);
  EXPECT_EQ(logical(list(f_OPORLIST1, chain({loglit(0), loglit(2), bomb()}))),
            1);
  EXPECT_EQ(logical(list(f_OPORLIST1, chain({loglit(0), loglit(0)}))), 0);
}

// The routine of an opcode whose part of the system is not written yet
// abandons the command with a plain message, naming the operator where it
// has a printed name.
TEST_F(Leaves, UnbuiltRoutineAbandonsTheCommand) {
  for (auto [op, text] : {std::pair{OPMATCH, "match (opcode 137)"},
                          std::pair{OPSYN, "this expression (opcode 223)"}}) {
    expr* e = node(op);
    e->op = f_unbuilt;
    auto o = test::run_captured([&] { eval(e, tva); });
    EXPECT_TRUE(o.aborted) << text;
    EXPECT_EQ(o.err, "\t" + std::string(text) + " cannot be evaluated yet\n");
  }
}

}  // namespace
}  // namespace vexo
