// Nonlinear simplification on small collected problems: the tree rules
// under each presolve_assoc bit, logical expressions, one row's part
// (constants into bounds, linear terms into the columns), the zero
// divisor reported once, shapes without a rule left alone, and random
// trees evaluating the same before and after.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "compiler/tva.h"
#include "eval/defvar.h"
#include "eval/dispatch.h"
#include "eval/eval_fixture.h"
#include "presolve/internal.h"
#include "presolve/presolve.h"
#include "presolve/presolve_fixture.h"
#include "presolve/psmsg.h"
#include "presolve/simplify.h"
#include "presolve/solveout.h"
#include "support/pool.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::chain;
using test::node;
using test::num;
using test::plain_problem;
using test::PresolveTest;

const double inf = HUGE_VAL;

// A node of any opcode, bound when the opcode has a routine.
expr* any(int op, operand l = nullptr, operand r = nullptr,
          uint32_t flags = 0) {
  expr* e = new_expr(opword(op, flags), l, r);
  e->op = op < N_EVAL_OPCODES ? functab[size_t(op)] : nullptr;
  return e;
}
expr* x(int j) {
  return node(OPVARVAL146, int32_t(j), nullptr, EF_NUMERIC | EF_VARS);
}
expr* bin(int op, expr* a, expr* b) {
  return node(op, a, b, EF_NUMERIC | ((eflags(a) | eflags(b)) & EF_VARS));
}
// An argument list: OPARG cells holding the arguments.
expr* args(std::initializer_list<expr*> a) {
  std::vector<expr*> cells;
  for (expr* x : a) cells.push_back(new_expr(opword(OPARG), nullptr, x));
  for (size_t i = 0; i + 1 < cells.size(); ++i) cells[i]->next = cells[i + 1];
  return cells.empty() ? nullptr : cells[0];
}
expr* pow2(expr* a) { return bin(OPPOW, a, num(2)); }

// A tree as text: numbers, x<j>, (a op b), -a, sum(...), and the
// operator's name for anything else.
std::string text(const expr* e) {
  if (!e) return "null";
  char b[64];
  int op = opcode(e);
  if (op == OPNUM) {
    std::snprintf(b, sizeof b, "%g", e->L.d);
    return b;
  }
  if (op == OPVARVAL146) return "x" + std::to_string(e->L.i);
  if (op == OPUMINUS) return "-" + text(e->L.e);
  if (op == OPNOT) return "!" + text(e->L.e);
  if (op == OPSUMLIST) {
    std::string s = "sum(";
    for (const expr* t = e->L.e; t; t = t->next)
      s += text(t) + (t->next ? "," : ")");
    return s;
  }
  if (shape(e) == SH_BINARY && opname[size_t(op)]) {
    std::string o = opname[size_t(op)];
    o.erase(0, o.find_first_not_of(' '));
    o.erase(o.find_last_not_of(' ') + 1);
    return "(" + text(e->L.e) + o + text(e->R.e) + ")";
  }
  return op < N_OPNAMES && opname[size_t(op)] ? opname[size_t(op)] : "?";
}

// A Presolve record over a collected problem of three variables (x2
// fixed at 2) and one constraint c in [1, 10], as the driver sets it up.
class Simplify : public PresolveTest {
 protected:
  AC* ac = nullptr;
  Presolve P{};
  int32_t kind[2] = {};  // con_kind: c, d
  tva_hold fold{nullptr};  // the context of folds

  void SetUp() override {
    PresolveTest::SetUp();
    parse_text("var x0; var x1; var x2; s.t. c: x0 >= 0; s.t. d: x1 >= 0;\n"
               "minimize o: x0;\n");
    plain_problem p;
    p.vars = {{"x0", -inf, inf, VS_INT}, {"x1", 0, 4, 0}, {"x2", 2, 2, 0}};
    p.cons = {{"c", 1, 10, {{1, 1}}, 0, 0, nullptr},
              {"d", -inf, inf, {}, 0, 0, nullptr}};
    p.objs = {{"o", 0, 0, {{0, 1}}, 0, 0, nullptr}};
    ac = collected(p);
    P.ac = ac;
    int k = htcl(sizeof(ps_scratch));
    P.scratch = static_cast<ps_scratch*>(new_mblk(k, 1));
    P.scratch->self_k = k;
    P.nvars = 3;
    P.ncons = 2;
    P.nrows = 3;
    P.vlb = P.vlb0 = ac->var_lb;
    P.vub = P.vub0 = ac->var_ub;
    P.vstat = ac->var_status;
    P.rlb = P.rlb2 = ac->con_lb;
    P.rub = P.rub2 = ac->con_ub;
    P.rstat = static_cast<uint32_t*>(new_mblk(ac->row_class, 1));
    scratch_add(&P, P.rstat, ac->row_class);
    P.dflag = kind;
    presolve_assoc[2] = 0;
    warnmax = warnings + 10;
    fold.t = new_tva();
    ac->simp_tva = fold.t;
  }
  void TearDown() override {
    ac->simp_tva = nullptr;
    del_tva(fold.t);
    fold.t = nullptr;
    if (P.scratch) pstempzap(P.scratch);
    addassoc = multassoc = distassoc = 0;
    PresolveTest::TearDown();
  }
  void assoc(int bits) {
    addassoc = bits & 1;
    multassoc = (bits & 2) != 0;
    distassoc = (bits & 4) != 0;
  }
  std::string simp(expr* e, int* k) {
    ac->simp_index = 0;
    return text(simplify(&P, e, k));
  }
};

// Each row: the rules in force, the tree, what it becomes, its kind, the
// simplifications counted and the rules recorded as fired.
TEST_F(Simplify, TreeRules) {
  struct row {
    const char* what;
    int bits;
    expr* (*tree)();
    const char* want;
    int kind, nsimp, fired;
  } rows[] = {
      {"0 * (x^2 + y) folds", 7,
       [] { return bin(OPMULT, num(0), bin(OPPLUS, pow2(x(0)), x(1))); }, "0",
       SK_CONST, 1, 0},
      {"x * 0 folds", 0,
       [] { return bin(OPMULT, pow2(x(0)), num(0)); }, "0", SK_CONST, 1, 0},
      {"2 * (3 * x) kept", 0,
       [] { return bin(OPMULT, num(2), bin(OPMULT, num(3), x(0))); },
       "(2*(3*x0))", SK_LINEAR, 0, 0},
      {"2 * (3 * x) multiplied", 2,
       [] { return bin(OPMULT, num(2), bin(OPMULT, num(3), x(0))); },
       "(6*x0)", SK_LINEAR, 0, 2},
      {"(y / 4) / 2", 2,
       [] { return bin(OPDIV, bin(OPDIV, x(0), num(4)), num(2)); },
       "(x0/8)", SK_LINEAR, 0, 2},
      {"6 / (2 / y)", 2,
       [] { return bin(OPDIV, num(6), bin(OPDIV, num(2), x(0))); },
       "(3*x0)", SK_LINEAR, 0, 2},
      {"2 * (3x + y/4) distributed", 4,
       [] {
         return bin(OPMULT, num(2),
                    bin(OPPLUS, bin(OPMULT, num(3), x(0)),
                        bin(OPDIV, x(1), num(4))));
       },
       "((6*x0)+(0.5*x1))", SK_LINEAR, 0, 4},
      {"(x + 3) - 5 gathers", 1,
       [] { return bin(OPMINUS, bin(OPPLUS, x(0), num(3)), num(5)); },
       "(-2+x0)", SK_LINEAR, 0, 1},
      {"sum list 1, x, 2, y", 1,
       [] {
         return node(OPSUMLIST, chain({num(1), x(0), num(2), x(1)}), nullptr,
                     EF_NUMERIC | EF_VARS);
       },
       "sum(3,x0,x1)", SK_LINEAR, 0, 1},
      {"sum list without gathering", 0,
       [] {
         return node(OPSUMLIST, chain({num(1), x(0), num(0), x(1)}), nullptr,
                     EF_NUMERIC | EF_VARS);
       },
       "sum(1,x0,x1)", SK_LINEAR, 0, 0},
      {"a fixed variable folds", 7,
       [] { return bin(OPPLUS, bin(OPMULT, pow2(x(2)), x(1)), x(0)); },
       "((4*x1)+x0)", SK_LINEAR, 0, 0},
      {"(-a) * (-b)", 0,
       [] {
         return bin(OPMULT, node(OPUMINUS, x(0), nullptr, 6),
                    node(OPUMINUS, x(1), nullptr, 6));
       },
       "(x0*x1)", SK_NONLIN, 0, 0},
      {"(-a) * b", 0,
       [] { return bin(OPMULT, node(OPUMINUS, x(0), nullptr, 6), x(1)); },
       "-(x0*x1)", SK_NONLIN, 0, 0},
      {"an if decided true", 7,
       [] {
         expr* pair = any(OP261, x(0), pow2(x(1)), EF_NUMERIC);
         return node(OPIF35, bin(EQ, x(2), num(2)), pair, EF_NUMERIC | EF_VARS);
       },
       "x0", SK_LINEAR, 0, 0},
      {"min of constants", 0,
       [] {
         return node(MINLIST2, nullptr, args({num(3), x(2), num(1)}),
                     EF_NUMERIC);
       },
       "1", SK_CONST, 0, 0},
  };
  for (const row& c : rows) {
    assoc(c.bits);
    P.nsimp = 0;
    presolve_assoc[2] = 0;
    int k = -1;
    EXPECT_EQ(simp(c.tree(), &k), c.want) << c.what;
    EXPECT_EQ(k, c.kind) << c.what;
    EXPECT_EQ(P.nsimp, c.nsimp) << c.what;
    EXPECT_EQ(presolve_assoc[2], c.fired) << c.what;
  }
}

// min(3, x, 1) keeps x and one constant, the smaller; count(x2 == 2,
// x0 >= 1) becomes count(x0 >= 1) + 1.
TEST_F(Simplify, ListsKeepOneConstant) {
  int k;
  expr* e = simplify(&P,
                     node(MINLIST2, nullptr, args({num(3), x(0), num(1)}),
                          EF_NUMERIC | EF_VARS),
                     &k);
  ASSERT_EQ(opcode(e), MINLIST2);
  EXPECT_EQ(text(e->R.e->R.e), "x0");
  EXPECT_EQ(text(e->R.e->next->R.e), "1");
  EXPECT_EQ(e->R.e->next->next, nullptr);
  e = simplify(&P,
               node(OPCOUNT, nullptr,
                    args({bin(EQ, x(2), num(2)), bin(GE, x(0), num(1))}),
                    EF_NUMERIC | EF_VARS),
               &k);
  ASSERT_EQ(opcode(e), OPPLUS);
  EXPECT_EQ(opcode(e->L.e), OPCOUNT);
  EXPECT_EQ(text(e->L.e->R.e->R.e), "(x0>=1)");
  EXPECT_EQ(text(e->R.e), "1");
}

// Two zero divisors in row c: the expression stays and c is reported once.
TEST_F(Simplify, ADivisionByZeroIsReportedOncePerRow) {
  assoc(7);
  expr* part = chain({bin(OPDIV, bin(OPPLUS, pow2(x(0)), x(1)), num(0)),
                      bin(OPDIV, bin(OPPLUS, pow2(x(0)), x(1)), num(0))});
  auto r = test::run_captured([&] { esimplify(&P, 0, &part, nullptr); });
  ASSERT_FALSE(r.aborted) << r.err;
  EXPECT_EQ(text(part), "(((x0^2)+x1)/0)");
  std::string m = ps_warnings ? ps_warnings->text() : "";
  EXPECT_EQ(m, "presolve, constraint c:\n\tdivision by zero.\n");
  EXPECT_EQ(infeasible, 1);
  infeasible = 0;
  ps_warnings_drop();
}

// A part that folds to 4 leaves c with bounds [1 - 4, 10 - 4]; a linear
// part joins the column lists, with the constant moved the same way.
TEST_F(Simplify, ARowPartFoldsIntoBoundsAndColumns) {
  assoc(7);
  expr* part = bin(OPPLUS, pow2(x(2)), num(0));
  esimplify(&P, 0, &part, nullptr);
  EXPECT_EQ(part, nullptr);
  EXPECT_EQ(ac->con_lb[0], -3);
  EXPECT_EQ(ac->con_ub[0], 6);
  EXPECT_EQ(P.nsimp, 1);
  // 3*x0 + x1 + 1 in c: x0 gains a term, x1's coefficient adds, 1 moves.
  part = bin(OPPLUS, bin(OPMULT, num(3), x(0)), bin(OPPLUS, x(1), num(1)));
  esimplify(&P, 0, &part, nullptr);
  EXPECT_EQ(part, nullptr);
  EXPECT_EQ(nl2l(&P), 1);
  ASSERT_NE(ac->col_terms[0], nullptr);
  EXPECT_EQ(ac->col_terms[0]->index, 0);
  EXPECT_EQ(ac->col_terms[0]->coef, 3);
  EXPECT_EQ(ac->col_terms[1]->coef, 2);
  EXPECT_EQ(ac->con_lb[0], -4);
  EXPECT_EQ(ac->con_ub[0], 5);
  // In the objective the constant goes to obj_const.
  part = bin(OPPLUS, pow2(x(2)), x(1));
  esimplify(&P, 2, &part, nullptr);
  nl2l(&P);
  EXPECT_EQ(ac->obj_const[0], 4);
}

TEST_F(Simplify, LogicalExpressions) {
  struct row {
    const char* what;
    expr* (*tree)();
    int value;
    const char* want;
  } rows[] = {
      {"atleast 0 over any list", [] {
         return node(OPATLEAST, num(0),
                     node(OPCOUNT, nullptr, args({bin(GE, x(0), num(1))})));
       }, LV_TRUE, "null"},
      {"atmost -1", [] {
         return node(OPATMOST, num(-1),
                     node(OPCOUNT, nullptr, args({bin(GE, x(0), num(1))})));
       }, LV_FALSE, "null"},
      {"!(a && b) is !a || !b", [] {
         return node(OPNOT, bin(OPAND, bin(EQ, x(0), num(1)),
                                bin(EQ, x(1), num(1))));
       }, LV_OPEN, "((x0!=1)||(x1!=1))"},
      {"!(x ==> y) keeps the !", [] {
         return node(OPNOT, bin(OPIMPLIES, bin(EQ, x(0), num(1)),
                                bin(EQ, x(1), num(1))));
       }, LV_OPEN, "!((x0==1)==>(x1==1))"},
      {"!!a is a", [] {
         return node(OPNOT, node(OPNOT, bin(LT, x(0), num(1))));
       }, LV_OPEN, "(x0<1)"},
      {"a fixed comparison", [] { return bin(LT, x(2), num(3)); }, LV_TRUE,
       "null"},
      {"false || a", [] {
         return bin(OPOR, bin(GT, x(2), num(3)), bin(LT, x(0), num(1)));
       }, LV_OPEN, "(x0<1)"},
      {"a && false", [] {
         return bin(OPAND, bin(LT, x(0), num(1)), bin(GT, x(2), num(3)));
       }, LV_FALSE, "null"},
      {"c ==> T else E, T true, E false", [] {
         expr* pair = any(OP261, bin(EQ, x(2), num(2)), bin(EQ, x(2), num(0)));
         return node(OPIMPELSE72, bin(LT, x(0), num(1)), pair);
       }, LV_OPEN, "(x0<1)"},
      {"alldiff of constants", [] {
         return node(OPALLDIFF, nullptr, args({x(2), num(1), num(3)}));
       }, LV_TRUE, "null"},
  };
  for (const row& c : rows) {
    int v = -1;
    expr* e = lsimplify(&P, c.tree(), &v);
    EXPECT_EQ(v, c.value) << c.what;
    EXPECT_EQ(text(e), c.want) << c.what;
  }
}

// Shapes without a rule come back as they went, nonlinear or undecided;
// every opcode of the table goes through both walks without a bug.
TEST_F(Simplify, EveryOpcodeIsHandledOrLeftAlone) {
  for (int op = 0; op < N_OPCODES; ++op) {
    if (op == OPNUM || op == OPLOGLIT || op == OPVARVAL146) continue;
    auto make = [&]() -> expr* {
      switch (op_types[size_t(op)]) {
        case SH_UNARY:
        case SH_FUNC1:
        case SH_TO_NUMBER:
        case SH_RECPAR:
          return any(op, x(0));
        case SH_BINARY:
        case SH_FUNC2:
          return any(op, x(0), x(1));
        case SH_LIST:
        case SH_SUMLIST:
          return any(op, chain({x(0), x(1)}));
        case SH_ARGLIST:
          return any(op, nullptr, args({x(0), x(1)}));
        case SH_COUNTREL:
          return any(op, num(1),
                     any(OPCOUNT, nullptr, args({bin(GE, x(0), num(1))})));
        case SH_IF:
        case SH_IMPELSE:
          return any(op, bin(GE, x(0), num(1)), any(OP261, x(0), x(1)));
      }
      return any(op);
    };
    bool ruled = false;
    switch (op_types[size_t(op)]) {
      case SH_UNARY: case SH_FUNC1: case SH_TO_NUMBER: case SH_RECPAR:
      case SH_BINARY: case SH_FUNC2: case SH_LIST: case SH_SUMLIST:
      case SH_ARGLIST: case SH_COUNTREL: case SH_IF: case SH_IMPELSE:
      case SH_LITERAL: case SH_STRING: case SH_NUMBER: case SH_VARVAL:
      case SH_PLTERM: case SH_CALL: case SH_LOGLIT:
        ruled = true;
    }
    expr* e = make();
    int k = -1;
    auto r = test::run_captured([&] { e = simplify(&P, e, &k); });
    ASSERT_FALSE(r.exited) << op << " " << r.err;
    if (!ruled) {
      EXPECT_EQ(k, SK_NONLIN) << op;
      EXPECT_EQ(opcode(e), op) << op;
    }
    expr* l = make();
    int v = -1;
    r = test::run_captured([&] { l = lsimplify(&P, l, &v); });
    ASSERT_FALSE(r.exited) << op << " " << r.err;
    if (!ruled) {
      EXPECT_EQ(v, LV_OPEN) << op;
      EXPECT_EQ(opcode(l), op) << op;
    }
  }
}

// Random trees over fixed and free variables evaluate the same before
// and after simplification at random points.
TEST_F(Simplify, RandomTreesKeepTheirValues) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> pick(0, 9);
  std::uniform_real_distribution<double> val(-3, 3);
  // A copy of a tree, node by node.
  struct maker {
    std::mt19937& rng;
    std::uniform_int_distribution<int>& pick;
    expr* leaf() {
      int p = pick(rng);
      if (p < 4) return x(p % 3);
      return num(double(pick(rng) - 4));
    }
    expr* tree(int depth) {
      if (depth == 0) return leaf();
      int ops[] = {OPPLUS, OPMINUS, OPMULT, OPDIV, OPUMINUS, OPSUMLIST};
      int op = ops[pick(rng) % 6];
      if (op == OPUMINUS)
        return node(op, tree(depth - 1), nullptr, EF_NUMERIC | EF_VARS);
      if (op == OPSUMLIST)
        return node(op, chain({tree(depth - 1), tree(depth - 1),
                               tree(depth - 1)}),
                    nullptr, EF_NUMERIC | EF_VARS);
      if (op == OPDIV) return bin(op, tree(depth - 1), num(pick(rng) + 1));
      return bin(op, tree(depth - 1), tree(depth - 1));
    }
  };
  double* xv = ac->var_init_val;
  defvars_from(ac);
  auto eval = [&](expr* e) {
    // Bound as defined-variable bodies are: columns read from the AC.
    dvopgen(e);
    return eval_num(e, fold.t);
  };
  maker m{rng, pick};
  for (int bits : {0, 1, 2, 4, 7}) {
    assoc(bits);
    for (int t = 0; t < 60; ++t) {
      std::mt19937 save = rng;
      expr* a = m.tree(3);
      rng = save;
      expr* b = m.tree(3);
      int k;
      ac->simp_index = 0;
      b = simplify(&P, b, &k);
      for (int pt = 0; pt < 4; ++pt) {
        xv[0] = val(rng);
        xv[1] = val(rng);
        xv[2] = 2;
        double va = eval(a), vb = eval(b);
        EXPECT_NEAR(va, vb, 1e-12 * std::max(1.0, std::fabs(va)))
            << bits << " " << text(a) << " vs " << text(b);
      }
    }
  }
}

// e2v of a linear tree: one term per occurrence, constants summed.
TEST_F(Simplify, E2vOfALinearTree) {
  double c = 0;
  expr* e = bin(OPMINUS, bin(OPMULT, num(2), x(0)),
                bin(OPDIV, bin(OPPLUS, x(1), num(3)), num(2)));
  varref* v = e2v(&P, 0, e, &c);
  std::vector<std::pair<int, double>> got;
  for (varref* t = v; t; t = vnext(t)) got.emplace_back(t->index, t->coef);
  free_varref(v);
  std::sort(got.begin(), got.end());
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], std::make_pair(0, 2.0));
  EXPECT_EQ(got[1], std::make_pair(1, -0.5));
  EXPECT_EQ(c, -1.5);
}

}  // namespace
}  // namespace vexo
