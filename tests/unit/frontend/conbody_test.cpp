// Constraint bodies, complementarity and piecewise-linear terms built over
// variable references of small declared fixtures.
#include "frontend/conbody.h"

#include <gtest/gtest.h>

#include <string>

#include "eval/indexing.h"
#include "eval/optab.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend_fixture.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo {
namespace {

constexpr uint32_t LEw = opword(LE, EF_NUMERIC);
constexpr uint32_t GEw = opword(GE, EF_NUMERIC);
constexpr uint32_t EQw = opword(EQ, 0);
constexpr uint32_t LTw = opword(LT, EF_NUMERIC);

class Bodies : public ::testing::Test {
 public:
  void SetUp() override {
    test::start_session(false);
    decl_reset();
    Cautions = 1;
    strict_ineq_warn = 1;
    xd = decl("x");
    yd = decl("y");
  }
  static xnode* decl(const char* name) {
    xnode* d = static_cast<xnode*>(mem(sizeof(xnode) + 64));
    xrecomp_constr(d, Symbol(name, 1), nullptr, nullptr, DK_VAR, 1);
    return d;
  }
  expr* x() { return new_expr(opword(OPVAR164, EF_NUMERIC | EF_VARS), xd); }
  expr* y() { return new_expr(opword(OPVAR164, EF_NUMERIC | EF_VARS), yd); }
  static expr* num(double v) { return new_num(v); }
  expr* sum() {
    return new_expr(opword(OPPLUS, EF_NUMERIC | EF_VARS), x(), y());
  }
  // A comparison chain a op b [op2 c] as relopchain leaves it (newest
  // first, op words between the operands).
  static list* chain(expr* a, uint32_t op = 0, expr* b = nullptr,
                     uint32_t op2 = 0, expr* c = nullptr) {
    list* l = new_list(nullptr, a);
    if (op) l = new_list(new_list_int(l, static_cast<int32_t>(op)), b);
    if (op2) l = new_list(new_list_int(l, static_cast<int32_t>(op2)), c);
    return l;
  }
  // Runs f, expecting the one message text (empty: none).
  template <class F>
  static void expect_msg(const std::string& want, F f) {
    auto r = test::run_captured(f);
    EXPECT_EQ(r.err, want.empty() ? "" : "\n\t" + want + "\n");
  }

  xnode *xd, *yd;
};

TEST_F(Bodies, SingleComparisons) {
  expr* s = sum();
  expr* three = num(3);
  expr* b = stbody(s, LEw, three, 0, nullptr, 0);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->opword, CB_LE);
  EXPECT_EQ(b->R.p, nullptr);
  expr* d = b->L.e;
  EXPECT_EQ(d->opword, opword(OPMINUS, EF_CONST | EF_NUMERIC | EF_VARS));
  EXPECT_EQ(d->L.e, s);
  EXPECT_EQ(d->R.e, three);

  s = sum();
  three = num(3);
  b = stbody(three, GEw, s, 0, nullptr, 0);
  EXPECT_EQ(b->opword, CB_GE);
  EXPECT_EQ(b->L.e->L.e, three);
  EXPECT_EQ(b->L.e->R.e, s);

  // Reversed orientation: right minus left, direction exchanged.
  s = sum();
  three = num(3);
  b = stbody(s, LEw, three, 0, nullptr, STB_REVERSE);
  EXPECT_EQ(b->opword, CB_GE);
  EXPECT_EQ(b->L.e->L.e, three);

  b = stbody(x(), EQw, num(1), 0, nullptr, 0);
  EXPECT_EQ(b->opword, CB_EQ);
}

TEST_F(Bodies, DoubleInequalities) {
  expr* lo = num(1);
  expr* mid = x();
  expr* hi = num(5);
  expr* b = stbody(lo, LEw, mid, LEw, hi, 0);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->opword, CB_RANGE);
  EXPECT_EQ(b->L.e, mid);
  EXPECT_EQ(b->R.e->opword, 0u);
  EXPECT_EQ(b->R.e->L.e, lo);
  EXPECT_EQ(b->R.e->R.e, hi);
  EXPECT_EQ(stbody(num(5), GEw, x(), GEw, num(1), 0)->opword, CB_RANGER);

  struct {
    uint32_t op, op2;
    bool varlo, varhi;
    const char* msg;
  } const bad[] = {
      {LEw, GEw, false, false,
       "double inequality must be ... <= ... <= ... or ... >= ... >= ..."},
      {EQw, EQw, false, false,
       "double inequality must be ... <= ... <= ... or ... >= ... >= ..."},
      {LEw, LEw, true, false,
       "nonconstant left-most expression in double inequality constraint"},
      {LEw, LEw, false, true,
       "nonconstant right-most expression in double inequality "
       "constraint"},
  };
  for (const auto& c : bad) {
    SCOPED_TRACE(c.msg);
    expr* out = x();
    expect_msg(c.msg, [&] {
      out = stbody(c.varlo ? y() : num(1), c.op, x(), c.op2,
                   c.varhi ? y() : num(0), 0);
    });
    EXPECT_EQ(out, nullptr);
  }
}

TEST_F(Bodies, StrictInequalities) {
  strict_ineq_warn = 2;
  expr* out = x();
  expect_msg("Constraint with strict inequality disallowed.",
             [&] { out = stbody(x(), LTw, num(3), 0, nullptr, 0); });
  EXPECT_EQ(out, nullptr);
  strict_ineq_warn = 1;
  expect_msg(
      "Caution: Treating strict inequality constraint as a logical "
      "constraint.",
      [&] { out = stbody(x(), LTw, num(3), 0, nullptr, 0); });
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->opword, opword(OP286, 0));
  EXPECT_EQ(opcode(out->L.e), LT);
  strict_ineq_warn = 0;
  expect_msg("", [&] { out = stbody(x(), LTw, num(3), 0, nullptr, 0); });
  EXPECT_EQ(out->opword, opword(OP286, 0));
}

TEST_F(Bodies, ComparisonChains) {
  expr* b = stbody1(chain(num(1), LEw, x(), LEw, num(5)));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->opword, CB_RANGE);
  EXPECT_EQ(b->R.e->L.e->L.d, 1.0);  // source order restored
  expr* out = x();
  expect_msg("constraints must express an equality or 1 or 2 inequalities",
             [&] { out = stbody1(chain(x())); });
  EXPECT_EQ(out, nullptr);
}

TEST_F(Bodies, Complementarity) {
  struct {
    list* (*left)(Bodies*);
    list* (*right)(Bodies*);
    uint32_t kind;
  } const ok[] = {
      // 0 <= x complements y >= 0
      {[](Bodies* t) { return chain(num(0), LEw, t->x()); },
       [](Bodies* t) { return chain(t->y(), GEw, num(0)); }, CC_INEQ},
      // 1 <= x <= 2 complements y
      {[](Bodies* t) { return chain(num(1), LEw, t->x(), LEw, num(2)); },
       [](Bodies* t) { return chain(t->y()); }, CC_LEFT},
      // x complements y = 0
      {[](Bodies* t) { return chain(t->x()); },
       [](Bodies* t) { return chain(t->y(), EQw, num(0)); }, CC_RIGHT},
      // x >= 0 complements y >= 0
      {[](Bodies* t) { return chain(t->x(), GEw, num(0)); },
       [](Bodies* t) { return chain(t->y(), GEw, num(0)); }, CC_PLAIN},
  };
  for (const auto& c : ok) {
    expr* b = compldcl(c.left(this), c.right(this));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->opword, c.kind);
  }
  expr* b = compldcl(chain(x()), chain(y(), EQw, num(0)));
  EXPECT_EQ(b->L.e->opword, CB_EXPR);
  EXPECT_EQ(opcode(b->L.e->L.e), OPVAR164);

  expr* out = x();
  expect_msg(
      "complementarity constraints must involve exactly two "
      "inequalities\n\tor a single equality",
      [&] {
        out = compldcl(chain(num(0), LEw, x(), LEw, num(1)),
                       chain(y(), GEw, num(0)));
      });
  EXPECT_EQ(out, nullptr);
  auto r = test::run_captured([&] {
    out = compldcl(chain(x(), LTw, num(0)), chain(y(), GEw, num(0)));
  });
  EXPECT_EQ(r.err.rfind("\n\tInappropriate comparison operator <\n", 0), 0u)
      << r.err;
  EXPECT_EQ(out, nullptr);
}

TEST_F(Bodies, PiecewiseLinearTerms) {
  // <<1; 2, 3>> x: the lists in source order under 259, x under 260.
  expr* s = pllist(nullptr, nullptr, num(1));
  expr* bp = pllist(pllist(nullptr, nullptr, num(2)), nullptr, num(3));
  expr* v = x();
  expr* pl = makepl(s, bp, v, nullptr);
  ASSERT_EQ(opcode(pl), OPPL);
  EXPECT_EQ(eflags(pl), EF_NUMERIC | EF_NONLIN | EF_VARS);
  expr* lists = pl->L.e;
  EXPECT_EQ(lists->opword, opword(OP259, EF_NUMERIC));
  EXPECT_EQ(lists->L.e->R.e->L.d, 1.0);
  EXPECT_EQ(lists->R.e->R.e->L.d, 2.0);
  EXPECT_EQ(lists->R.e->next->R.e->L.d, 3.0);
  EXPECT_EQ(lists->L.e->opword, opword(OP246, EF_NUMERIC));
  EXPECT_EQ(pl->R.e->opword, opword(OP260, EF_NUMERIC));
  EXPECT_EQ(pl->R.e->L.e, v);
  EXPECT_EQ(pl->R.e->R.e, nullptr);

  // A constant argument keeps the term numeric without variables.
  pl = makepl(pllist(nullptr, nullptr, num(1)),
              pllist(nullptr, nullptr, num(2)), num(4), nullptr);
  EXPECT_EQ(eflags(pl), EF_NUMERIC);

  // <<1; 2, 3>>(x*y) is refused and stands as 0.
  expr* out = nullptr;
  expect_msg(
      "v other than simple or subscripted variable in "
      "<<...;...>>(v)\n\tTreating this <<...;...>>(...) as zero.",
      [&] {
        out = makepl(pllist(nullptr, nullptr, num(1)),
                     pllist(pllist(nullptr, nullptr, num(2)), nullptr, num(3)),
                     new_expr(opword(OPMULT, EF_NUMERIC | EF_VARS | EF_NONLIN),
                              x(), y()),
                     nullptr);
      });
  EXPECT_EQ(opcode(out), OPNUM);
  EXPECT_EQ(out->L.d, 0.0);
  expect_msg(
      "<<...;...>>(v,z) has a variable in z\n\tTreating this "
      "<<...;...>>(...) as zero.",
      [&] {
        out = makepl(pllist(nullptr, nullptr, num(1)),
                     pllist(nullptr, nullptr, num(2)), x(), y());
      });
  EXPECT_EQ(opcode(out), OPNUM);
}

TEST_F(Bodies, VariablesAndUnorderedSetsInLists) {
  expr* v = num(7);
  expr* out = nullptr;
  auto r = test::run_captured([&] {
    out = makepl(pllist(nullptr, nullptr, num(1)),
                 pllist(nullptr, nullptr, y()), v, nullptr);
  });
  EXPECT_NE(r.err.find("In declarations, variables may not appear in slope "
                       "or breakpoint lists\n\tof piecewise-linear "
                       "terms.\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(out, v);  // the term becomes its argument alone

  symbol* i = Symbol("i", 0);
  Index* ix = index_item(nullptr, new_expr(opword(OP279), i), new_enum());
  set_spec* ss = new set_spec(ix, nullptr, 1);
  expr* e = nullptr;
  expect_msg("iteration over unordered set within <<...;...>>",
             [&] { e = pllist(nullptr, ss, num(1)); });
  EXPECT_EQ(e->L.ss, ss);
  EXPECT_EQ(i->binding, nullptr);  // the scope is closed
}

}  // namespace
}  // namespace vexo
