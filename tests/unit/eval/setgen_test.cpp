// The set classes whose members follow from their own fields: ranges,
// intervals and the built-in sets, literal, conditional, system and
// invalid sets, and the use counts that give sets their tables.
#include "eval/setgen.h"

#include <gtest/gtest.h>

#include "eval/setclass.h"
#include "eval_fixture.h"
#include "frontend/decl.h"
#include "frontend/keywords.h"
#include "sets_fixture.h"
#include "support/symbol.h"

namespace vexo {
namespace {

using SetClass = test::SetsTest;

TEST_F(SetClass, RangesAndTheirErrors) {
  struct row {
    const char* in;
    const char* members;
  };
  const row rows[] = {
      {"1 .. 10 by 3", "1 4 7 10"},
      {"10 .. 1 by -4", "10 6 2"},
      {"5 .. 1", ""},
      {"1 .. 1", "1"},
      // (0.3 - 0) / 0.1 is just below 3: three members, each one
      // multiply-add from the lower bound.
      {"0 .. 0.3 by 0.1", "0 0.1 0.2"},
      {"1 .. 2 by 0", "zero stride\n"},
      {"1 .. 1e400", "range with infinite upper bound\n"},
      {"-1e400 .. 1", "range with infinite lower bound\n"},
      {"1 .. 1e10", "range too large\n"},
  };
  for (const row& r : rows) EXPECT_EQ(set_of(r.in), r.members) << r.in;
}

// Membership of a range is arithmetic and exact to the interned value: the
// ordinal is the position in the progression, and the range is never
// generated for it.
TEST_F(SetClass, RangeMembershipByArithmetic) {
  model("set R := 1 .. 10 by 3;\n");
  set* s = compiled_set("R");
  struct row {
    double x;
    int64_t in;
  };
  for (row r : {row{7, 2}, {1, 0}, {10, 3}, {8, -1}, {13, -1}, {-2, -1}}) {
    symbol* x = Number(r.x);
    EXPECT_EQ(set_in(s, &x, context()), r.in) << r.x;
  }
  symbol* a = Symbol("a", 1);
  EXPECT_EQ(set_in(s, &a, context()), -1);
  EXPECT_EQ(s->nmem, -1);
  // Generated, its members carry the same ordinals.
  EXPECT_EQ(test::members_of(s, context()), "1 4 7 10");
  symbol* seven = Number(7);
  EXPECT_EQ(set_lookup(s, &seven), 2);
}

TEST_F(SetClass, IntegerIntervalsAndWhatCannotBeListed) {
  struct row {
    const char* in;
    const char* members;
  };
  const row rows[] = {
      {"integer [0.5, 3]", "1 2 3"},
      {"integer [0.5, 3)", "1 2"},
      {"integer (1, 3]", "2 3"},
      {"integer (1, 1]", ""},
      {"interval [0, 1]", "Attempt to iterate over S.\n"},
      {"Integers", "Attempt to iterate over Integers = an infinite set.\n"},
      {"ASCII", "Attempt to iterate over ASCII.\n"},
      {"integer [0, 1e400)", "Attempt to iterate over S = an infinite set.\n"},
      {"integer [0, 1e12]", "Oversize integer interval S.\n"},
  };
  for (const row& r : rows) EXPECT_EQ(set_of(r.in), r.members) << r.in;
}

TEST_F(SetClass, BuiltInSetsAnswerByTheirBounds) {
  symbol* a = Symbol("a", 1);
  symbol* half = Number(0.5);
  symbol* two = Number(2);
  auto in = [&](const char* name, symbol* x) {
    return set_in(static_cast<set*>(Symbol(name, 0)->binding), &x, context());
  };
  EXPECT_EQ(in("ASCII", a), -2);
  EXPECT_EQ(in("EBCDIC", two), -2);
  EXPECT_EQ(in("Integers", two), -2);
  EXPECT_EQ(in("Integers", half), -1);
  EXPECT_EQ(in("Integers", a), -1);
  EXPECT_EQ(in("Reals", half), -2);
  model("set I := interval (0, 1];\n");
  set* s = compiled_set("I");
  for (auto [x, r] : {std::pair{0.0, -1}, {0.5, -2}, {1.0, -2}, {1.5, -1}}) {
    symbol* sx = Number(x);
    EXPECT_EQ(set_in(s, &sx, context()), r) << x;
  }
}

TEST_F(SetClass, LiteralSetReportsADuplicateOnce) {
  model("set L := {1, 2, 1};\nset P := {(1, 'a'), (1, 'a'), (2, 'b')};\n");
  set* s = compiled_set("L");
  std::string m;
  auto r = test::run_captured([&] { m = test::members_of(s, context()); });
  EXPECT_FALSE(r.aborted);
  EXPECT_EQ(m, "1 2");
  EXPECT_EQ(r.err,
            "error processing set L:\n\tduplicate member 1 in literal set\n");
  set* p = compiled_set("P");
  r = test::run_captured([&] { m = test::members_of(p, context()); });
  EXPECT_EQ(m, "1,a 2,b");
  EXPECT_EQ(r.err,
            "error processing set P:\n\tduplicate member (1,'a') in literal "
            "set\n");
}

TEST_F(SetClass, ConditionalSetCopiesTheChosenSet) {
  auto numbers = [](std::initializer_list<double> xs) {
    set* s = set_enum(new_enum(), 1);
    for (double x : xs) {
      symbol* n = Number(x);
      s->addmem(&n);
    }
    return s;
  };
  for (int c : {1, 0}) {
    set* s = set_if(test::loglit(c), numbers({3, 1}), numbers({2}));
    EXPECT_EQ(test::members_of(s, context()), c ? "3 1" : "2");
    symbol* two = Number(2);
    EXPECT_EQ(set_in(s, &two, context()), c ? -1 : 0);
    sdelete(s);
  }
}

// The system set of constraints answers -2 or -1, never "member at
// ordinal 0" for a name that is not a constraint.
TEST_F(SetClass, SystemSetsOfDeclarations) {
  model("var x; s.t. c1: x >= 0; s.t. c2: x <= 1; param p;\n");
  set* cons = set_sys(XC_CONS);
  set* pars = set_sys(XC_PARS);
  symbol* c1 = Symbol("c1", 0);
  symbol* x = Symbol("x", 0);
  symbol* p = Symbol("p", 0);
  EXPECT_EQ(set_in(cons, &c1, context()), -2);
  EXPECT_EQ(set_in(cons, &x, context()), -1);
  EXPECT_EQ(set_in(cons, &p, context()), -1);
  set* lcons = set_sys(XC_LOGCONS);
  EXPECT_EQ(set_in(lcons, &c1, context()), -1);
  EXPECT_EQ(set_in(pars, &p, context()), -2);
  EXPECT_EQ(set_in(pars, &c1, context()), -1);
  EXPECT_EQ(test::members_of(cons, context()), "c1 c2");
  // Generated, the set has its table and positions.
  EXPECT_EQ(set_in(cons, &c1, context()), 0);
  for (set* s : {cons, pars, lcons}) sdelete(s);
}

TEST_F(SetClass, InvalidSetEndsTheCommand) {
  set* s = set_invalid("param", "p");
  symbol* one = Number(1);
  auto r = test::run_captured([&] { set_in(s, &one, context()); });
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.err, "\tno data for param p\n");
  sdelete(s);
}

// Use counts: a set in use gets its table on the first membership test;
// intervals never do.
TEST_F(SetClass, UseCountsGiveTables) {
  model("set A := {1, 2}; set B := 1 .. 3; set U := A union B;\n");
  set* u = compiled_set("U");
  set_it_inc(u);
  EXPECT_EQ(u->nuse, 1u);
  set* b = static_cast<set*>(static_cast<set2p*>(u)->f2);
  EXPECT_EQ(b->nuse, 1u);
  symbol* three = Number(3);
  EXPECT_EQ(set_in(u, &three, context()), 2);
  EXPECT_NE(u->htab, nullptr);
  set* reals = static_cast<set*>(Symbol("Reals", 0)->binding);
  set_it_inc(reals);
  EXPECT_EQ(reals->nuse, 0u);
}

}  // namespace
}  // namespace vexo
