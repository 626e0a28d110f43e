#include "eval/evalerr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eval/funclib.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "eval_fixture.h"
#include "frontend/condcl.h"
#include "frontend/paramdcl.h"
#include "instance/sufdecl.h"
#include "session/loop.h"

namespace vexo {
namespace {

using test::EvalTest;
using test::lit;
using test::node;
using test::run_captured;

// Entities p (indexed by a 2-dimensional set), s (indexed by a
// 1-dimensional set) and q (scalar), and a context with two levels.
class EvalErr : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    p.kind = DK_PARAMI;
    p.name = Symbol("p", 1);
    p.indexing = indexing({2});
    s.kind = DK_PARAMI;
    s.name = Symbol("s", 1);
    s.indexing = indexing({1});
    q.kind = DK_PARAM;
    q.name = Symbol("q", 1);
  }
  void TearDown() override {
    if (inner) del_tva(inner);
    curcmd = nullptr;
    EvalTest::TearDown();
  }
  // An indexing of one item per arity given, over enumerated sets.
  static set_spec* indexing(std::initializer_list<int> arities) {
    Index* items = nullptr;
    for (int a : arities)
      items = new Index(items, set_enum(new_enum(), a), nullptr, 0);
    return new set_spec(items, nullptr, 1);
  }
  // A context with levels 1 and 2 whose accumulator names it, the cells of
  // level 1 holding the given symbols.
  TVA* levels(std::vector<symbol*> cells1, std::vector<symbol*> cells2) {
    max_context = 2;
    tva_lencomp();
    inner = new_tva();
    c1 = cells1;
    c2 = cells2;
    inner->lev[1] = c1.empty() ? nullptr : c1.data();
    inner->lev[2] = c2.empty() ? nullptr : c2.data();
    return inner;
  }
  // A chain of members of a 1-dimensional set.
  static setmem* members(std::initializer_list<const char*> names) {
    set* m = set_enum(new_enum(), 1);
    for (const char* n : names) {
      symbol* t = Symbol(n, 1);
      set_addmem(m, &t);
    }
    return m->first;
  }
  std::string located(auto f) {
    auto r = run_captured(f);
    EXPECT_TRUE(r.aborted);
    return r.err;
  }

  param p{}, s{}, q{};
  TVA* inner = nullptr;
  std::vector<symbol*> c1, c2;
};

TEST_F(EvalErr, SubscriptTexts) {
  symbol* t[] = {Number(1), Symbol("a b", 1), Number(-2.5)};
  EXPECT_STREQ(slist(3, t, 0), "[1,'a b',-2.5]");
  EXPECT_STREQ(slist(3, t, 1), "(1,'a b',-2.5)");
  EXPECT_STREQ(slist(1, t + 1, 1), "a b");
  EXPECT_STREQ(slist(1, t + 1, 0), "['a b']");
  EXPECT_STREQ(slist(2, nullptr, 0), "");
  EXPECT_STREQ(slist1(&p, t), "[1,'a b']");
  EXPECT_STREQ(slist1(&q, t), "");
  run_cleanups();  // the command's memory goes
}

TEST_F(EvalErr, ReportersWriteEntityAndSubscriptThenAbort) {
  symbol* t[] = {Symbol("x", 1), Number(3)};
  EXPECT_EQ(located([&] { badsub(tva, &p, t); }),
            "\tinvalid subscript p['x',3]\n");
  EXPECT_EQ(located([&] { novalue(tva, &q, nullptr); }), "\tno value for q\n");
  EXPECT_EQ(located([&] { implicitdef(tva, &s, t); }),
            "\tsorry, no implicit definitions: cannot evaluate s['x']\n");
  EXPECT_EQ(located([&] { badthing(tva, "no value for", &p, nullptr); }),
            "\tno value for p\n");
  badsub1 = badrsub;
  EXPECT_EQ(located([&] { badsub1(tva, &s, t + 1); }),
            "\tbad subscript (use before def?) for defined var s[3]\n");
  EXPECT_EQ(badsub1, badsub);
}

TEST_F(EvalErr, LocationOfTheCommandTableAndParameter) {
  curcmd = test::command_named("display");
  EXPECT_EQ(located([&] { novalue(tva, &q, nullptr); }),
            "Error executing \"display\" command:\n\tno value for q\n");
  curcmd = nullptr;

  tva->ac->table_tva = tva;
  tva->ac->table_name = "costs";
  EXPECT_EQ(located([&] { novalue(tva, &q, nullptr); }),
            "error reading table costs:\n\tno value for q\n");
  tva->ac->table_tva = nullptr;

  symbol* t[] = {Number(1), Symbol("a", 1)};
  tva->ac->cur_param = &p;
  tva->ac->cur_tuple = t;
  EXPECT_EQ(located([&] { novalue(tva, &q, nullptr); }),
            "error during evaluation of p[1,a]:\n\tno value for q\n");
  p.type = PT_RECURSIVE;
  EXPECT_EQ(located([&] { novalue(tva, &q, nullptr); }),
            "error during recursive evaluation of p[1,a]:\n\tno value for q\n");
  tva->ac->cur_param = &q;
  tva->ac->cur_tuple = nullptr;
  EXPECT_EQ(located([&] { novalue(tva, &q, nullptr); }),
            "errror during evaluation of q:\n\tno value for q\n");
}

// The declaration being generated is named with its current subscript as
// bound in the accumulator's context.
TEST_F(EvalErr, LocationOfTheDeclarationBeingGenerated) {
  TVA* t = levels({Number(4), Symbol("n y", 1)}, {Symbol("b", 1)});
  xnode d{};
  d.kind = DK_CONI;
  d.name = Symbol("balance", 1);
  d.indexing = indexing({2, 1});
  t->ac->gen_decl = &d;
  EXPECT_EQ(
      located([&] { novalue(t, &q, nullptr); }),
      "error processing constraint balance[4,'n y','b']:\n\tno value for q\n");
  c2[0] = nullptr;  // level 2 not bound yet
  EXPECT_EQ(
      located([&] { novalue(t, &q, nullptr); }),
      "error processing constraint balance[4,'n y',...]:\n\tno value for q\n");
  t->lev[1] = nullptr;  // nothing bound: the name alone
  EXPECT_EQ(located([&] { novalue(t, &q, nullptr); }),
            "error processing constraint balance:\n\tno value for q\n");
  d.kind = DK_SUFFIX;
  d.indexing = nullptr;
  EXPECT_EQ(located([&] { novalue(t, &q, nullptr); }),
            "error processing suffix balance:\n\tno value for q\n");
  d.kind = DK_TABLE;
  EXPECT_EQ(located([&] { novalue(t, &q, nullptr); }),
            "error processing table balance:\n\tno value for q\n");
  check* c = new check(nullptr, test::loglit(1));
  c->stmtline = 12;
  c->stmtfname = "m.mod";
  t->ac->gen_decl = c;
  EXPECT_EQ(located([&] { novalue(t, &q, nullptr); }),
            "check at line 12 of m.mod:\n\tno value for q\n");
  d.kind = 27;
  t->ac->gen_decl = &d;
  auto r = run_captured([&] { mgwhere(t); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Bug: unexpected type 0x1b in mgwhere()"),
            std::string::npos);
}

TEST_F(EvalErr, QuietSimplificationSwallowsAndNullContextIsABug) {
  tva->ac->simp_tva = tva;
  tva->ac->simp_quiet = 1;
  errno = EDOM;
  int got = -1;
  auto r = run_captured([&] { got = mgwhere(tva); });
  EXPECT_EQ(got, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(errno, 0);
  EXPECT_EQ(tva->ac->simp_err, 1);

  AC* saved = cur_ac;
  cur_ac = nullptr;
  r = run_captured([&] { mgwhere(nullptr); });
  cur_ac = saved;
  EXPECT_TRUE(r.exited);
  EXPECT_NE(r.err.find("Bug: tva == 0 in mgwhere()"), std::string::npos);
}

// The summary of discarded subscripts returns; at most bad_subscripts
// members are listed, then "and %d more.".
TEST_F(EvalErr, DiscardedSubscriptsSummary) {
  struct sumcase {
    int limit, count;
    std::initializer_list<const char*> names;
    const char* want;
  };
  const sumcase cases[] = {
      {3, 1, {"a"}, "\tinvalid subscript s['a'] discarded.\n"},
      {0,
       5,
       {"a", "b", "c", "d", "e"},
       "\t5 invalid subscripts discarded.\n\tand 5 more.\n"},
      {3,
       2,
       {"a", "b"},
       "\t2 invalid subscripts discarded:\n\ts['a']\n\ts['b']\n"},
      {3,
       5,
       {"a", "b", "c", "d", "e"},
       "\t5 invalid subscripts discarded:\n\ts['a']\n\ts['b']\n\ts['c']\n"
       "\tand 2 more.\n"},
      {-1, 2, {"a", "b"}, "\t2 invalid subscripts discarded.\n\tand 2 more.\n"},
  };
  for (const sumcase& c : cases) {
    bad_subscripts = c.limit;
    setmem* first = members(c.names);
    auto r = run_captured([&] { badsubs(tva, &s, first, c.count); });
    EXPECT_FALSE(r.aborted);
    EXPECT_EQ(r.err, c.want) << c.limit << " " << c.count;
  }
  auto r = run_captured([&] { badsubs(tva, &q, nullptr, 1); });
  EXPECT_EQ(r.err, "\tinvalid subscript q discarded.\n");
}

TEST_F(EvalErr, PositionErrors) {
  symbol* a = Symbol("a", 1);
  symbol* three = Number(3);
  EXPECT_EQ(located([&] { bad_next(tva, a, "S", 3, 2, opword(OPNEXT120)); }),
            "\tcan't compute next('a', S, 3) -- third arg must be < 2\n");
  EXPECT_EQ(
      located([&] { bad_next(tva, three, "S", 3, -1, opword(OPNEXT120)); }),
      "\tcan't compute next(3, S, 3) -- third arg must be >= -1\n");
  EXPECT_EQ(
      located([&] { bad_next(tva, three, "S", 2, 1, opword(OPNEXT121)); }),
      "\tcan't compute prev(3, S, 2) -- third arg must be > -1\n");
  EXPECT_EQ(located([&] { bad_next(tva, a, "S", -4, 0, opword(OPNEXT121)); }),
            "\tcan't compute prev('a', S, -4) -- third arg must be <= 0\n");
  EXPECT_EQ(located([&] { bad_next(tva, a, "S", 1, 0, opword(OPNEXT122)); }),
            "\tcan't compute next('a', S) -- 'a' is the last member\n");
  EXPECT_EQ(
      located([&] { bad_next(tva, three, "S", 1, 0, opword(OPNEXT123)); }),
      "\tcan't compute prev(3, S) -- 3 is the first member\n");
}

TEST_F(EvalErr, ConversionErrorsReleaseTheString) {
  cstr* text = new_cstring("abc");
  text->refcnt = 2;
  EXPECT_EQ(located([&] { cant_convert(test::num(1), text, tva); }),
            "\tcan't convert 'abc' to a number.\n");
  EXPECT_EQ(text->refcnt, 1u);
  ++text->refcnt;
  EXPECT_EQ(located([&] { cant_convert(node(OPSPAR, &q), text, tva); }),
            "\tcan't convert q = 'abc' to a number.\n");
  ++text->refcnt;
  expr* sub = node(OPLOOKUP, &s, lit("k"));
  EXPECT_EQ(located([&] { cant_convert(node(OPSPARSUB, &s, sub), text, tva); }),
            "\tcan't convert s['k'] = 'abc' to a number.\n");
  ++text->refcnt;
  EXPECT_EQ(
      located([&] { cant_convert(node(OPSPARSUB, &s, lit("k")), text, tva); }),
      "\tcan't convert s = 'abc' to a number.\n");
  EXPECT_EQ(text->refcnt, 1u);
  release_cstr(text);
}

TEST_F(EvalErr, FunctionOfVariableArgument) {
  function f{};
  f.name = Symbol("g", 1);
  f.fflags = 0x100;
  EXPECT_EQ(
      located([&] { eval(node(OPFUNCbad, &f), tva); }),
      "\tcan't evaluate g\n\t(symbolic function of variable argument).\n");
  f.fflags = 0x10000;
  EXPECT_EQ(located([&] { eval(node(OPFUNCbad, &f), tva); }),
            "\tcan't evaluate g\n\t(random function of variable argument).\n");
}

// The tuple behind a subscript evaluator, through value, rewrite and
// restore wrappers; and the ordinal map.
TEST_F(EvalErr, TupleBehindSubscriptAndOrdinalMap) {
  expr* k = lit("k");
  expr* sub = node(OPLOOKUP, &s, k);
  EXPECT_EQ(getbadsub(sub, tva), &k->L.sym);
  expr* value = new_expr(opword(OP233), sub);
  EXPECT_EQ(getbadsub(value, tva), &k->L.sym);
  expr* restore = new_expr(opword(OP272), nullptr, sub);
  expr* rewrite = new_expr(opword(OP239), restore);
  EXPECT_EQ(getbadsub(rewrite, tva), &k->L.sym);
  EXPECT_EQ(located([&] { badsub2(rewrite, &s, tva); }),
            "\tinvalid subscript s['k']\n");

  symbol* syms[] = {Symbol("u", 1), Symbol("v", 1)};
  int32_t map[] = {5, -2, 0};
  Subadj sa{&s, map, syms};
  EXPECT_EQ(sub_adj(&sa, 0, tva), 5);
  EXPECT_EQ(sub_adj(&sa, 2, tva), 0);
  EXPECT_EQ(located([&] { sub_adj(&sa, 1, tva); }),
            "\tinvalid subscript s['v']\n");
}

TEST_F(EvalErr, MemberOutsideWithinClause) {
  setdcl d{};
  d.kind = DK_SET;
  d.name = Symbol("T", 1);
  symbol* t[] = {Symbol("x", 1), Number(2)};
  EXPECT_EQ(located([&] { not_within(tva, &d, t, 2, "T within U"); }),
            "\tT contains ('x',2), which is not\n\tT within U");
  EXPECT_EQ(located([&] { not_within(tva, &d, t, 1, "T within U"); }),
            "\tT contains x, which is not\n\tT within U");
}

}  // namespace
}  // namespace vexo
