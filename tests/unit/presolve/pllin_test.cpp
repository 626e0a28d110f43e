// Composition of piecewise-linear terms: random outer and inner terms,
// each composed term (plus the constant it drops) against the outer term
// evaluated at the inner value, at the bends and between them.  The Big-M
// bounds that linearisation gives a variable's infinite bounds, and their
// count.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "compiler/plterm.h"
#include "instance/varref.h"
#include "presolve/linadd.h"
#include "presolve/pllin.h"
#include "presolve/presolve_fixture.h"
#include "support/pool.h"

namespace vexo {
namespace {

using test::plain_problem;
using test::PresolveTest;

// A term of the given slopes and increasing breakpoints.
plterm* term(const std::vector<double>& s, const std::vector<double>& b) {
  int32_t n = int32_t(s.size());
  int k = htcl(sizeof(plterm) + sizeof(double) * size_t(2 * n - 1));
  auto* t = static_cast<plterm*>(new_mblk(k, 1));
  t->block_class = k;
  t->n_slopes = n;
  for (int32_t i = 0; i < n; ++i) {
    t->bs()[2 * i] = s[size_t(i)];
    if (i + 1 < n) t->bs()[2 * i + 1] = b[size_t(i)];
  }
  return t;
}

plterm* random_term(std::mt19937& rng, int n) {
  std::uniform_real_distribution<double> slope(-3, 3), gap(0.2, 2);
  std::vector<double> s, b;
  double x = -4 + gap(rng);
  for (int i = 0; i < n; ++i) {
    // Some slopes repeat or vanish, some breakpoints sit at 0.
    s.push_back(i && rng() % 5 == 0 ? s.back() : rng() % 7 ? slope(rng) : 0);
    if (i + 1 < n) {
      b.push_back(rng() % 6 ? x : 0);
      x = std::max(x, b.back()) + gap(rng);
    }
  }
  for (size_t i = 1; i < b.size(); ++i)
    if (b[i] <= b[i - 1]) b[i] = b[i - 1] + 0.5;
  return term(s, b);
}

class PlCompose : public PresolveTest {};

TEST_F(PlCompose, MatchesTheOuterTermAtTheInnerValue) {
  std::mt19937 rng(4821);
  std::uniform_real_distribution<double> coef(-2, 2), at(-12, 12);
  for (int c = 0; c < 300; ++c) {
    plterm* f = random_term(rng, 1 + int(rng() % 5));
    plterm* g = random_term(rng, 1 + int(rng() % 5));
    double alpha = coef(rng), beta = rng() % 8 ? coef(rng) : 0;
    double at0 = 0;
    plterm* h = plcompose(f, g, alpha, beta, &at0);
    EXPECT_DOUBLE_EQ(at0, plval(f, alpha));
    EXPECT_EQ(plval(h, 0), 0);
    // Every bend of h is a true bend: neighbouring slopes differ.
    for (int32_t i = 1; i < h->n_slopes; ++i)
      EXPECT_NE(h->bs()[2 * i], h->bs()[2 * i - 2]);
    std::vector<double> xs;
    for (int i = 0; i < 40; ++i) xs.push_back(at(rng));
    for (int32_t i = 0; i + 1 < h->n_slopes; ++i)
      xs.push_back(h->bs()[2 * i + 1]);
    for (double x : xs) {
      double want = plval(f, alpha + beta * plval(g, x));
      EXPECT_NEAR(plval(h, x) + at0, want, 1e-9 * (1 + std::fabs(want)))
          << "case " << c << " at " << x;
    }
    del_mblk(f->block_class, f);
    del_mblk(g->block_class, g);
    del_mblk(h->block_class, h);
  }
}

class PlBigM : public PresolveTest {};

// x in row c: f(x) + w within [rlb, rub].  A non-convex f takes binaries
// and open ends that need x's bounds finite: each infinite bound is
// replaced by b0 - M or b(last) + M and counted; M is pl_bigM, or twice
// the largest bound or breakpoint when that reaches M / 2.  A convex f in
// a <= row needs no bound, unless pl_linearize's mode (3) makes x's
// bounds the outer points.
TEST_F(PlBigM, InfiniteBoundsAreReplacedAndCounted) {
  struct {
    int mode;
    double lb, ub;
    std::vector<double> slopes, bps;
    double rlb, rub;
    int used;
    double want_lb, want_ub;
  } cases[] = {
      {1, negInfinity, 10, {1, -1, 1}, {0, 2}, 0, Infinity, 1, -1e6, 10},
      {1, negInfinity, Infinity, {1, -1, 1}, {0, 2}, 0, Infinity, 2, -1e6,
       2 + 1e6},
      {1, -5, 10, {1, -1, 1}, {0, 2}, 0, Infinity, 0, -5, 10},
      {1, -5, Infinity, {1, -1, 1}, {0, 3e6}, 0, Infinity, 1, -5, 9e6},
      {1, negInfinity, Infinity, {1, 2, 3}, {0, 2}, negInfinity, 4, 0,
       negInfinity, Infinity},
      {3, negInfinity, Infinity, {1, 2, 3}, {0, 2}, negInfinity, 4, 2, -1e6,
       2 + 1e6},
  };
  parse_text("var x; var w;\ns.t. c: w >= 0;\n");
  for (const auto& c : cases) {
    plain_problem p;
    p.vars = {{"x", c.lb, c.ub, 0}, {"w", 0, 1, 0}};
    p.cons = {{"c", c.rlb, c.rub, {{1, 1}}, 0, 0, nullptr}};
    AC* ac = collected(p);
    ac->col_plterms = static_cast<plterm**>(new_mblk(ac->var_class, 1));
    plterm* t = term(c.slopes, c.bps);
    t->index = 0;
    ac->col_plterms[0] = t;
    pl_bigM = 1e6;
    pl_linearize = c.mode;
    auto r = run(ac, 0);
    ASSERT_FALSE(r.aborted) << r.err;
    EXPECT_EQ(bigM_used, c.used) << c.mode << " " << c.lb << " " << c.ub;
    EXPECT_EQ(ac->var_lb[0], c.want_lb) << c.mode << " " << c.lb;
    EXPECT_EQ(ac->var_ub[0], c.want_ub) << c.mode << " " << c.ub;
  }
  pl_linearize = 0;
  pl_bigM = 0;
}

// Generated names' texts fill blocks that grow as a large linearisation
// names its rows and columns: every text stays whole while later names
// go into new blocks, and the blocks start small again after the
// problem's names are freed.
TEST_F(PresolveTest, GeneratedNamesStayWholeAcrossTextBlocks) {
  xname e[2] = {{nullptr, nullptr, "(c[1]@x)"}, {nullptr, nullptr, "y"}};
  auto expect = [&](int i) {
    std::string s = std::string("(") + e[i % 2].tail + "@" +
                    (i % 3 ? "lambda" : "def");
    int k = i / 2 + 1;
    return k > 1 ? s + "_" + std::to_string(k) + ")" : s + ")";
  };
  for (int round = 0; round < 2; ++round) {
    // About 4 MB of names: several blocks.
    std::vector<const char*> made;
    for (int i = 0; i < 200000; ++i)
      made.push_back(
          dname(&e[i % 2], nullptr, i % 3 ? "lambda" : "def", i / 2 + 1));
    for (int i = 0; i < 200000; ++i) ASSERT_EQ(made[size_t(i)], expect(i));
    gen_names_free();
  }
}

}  // namespace
}  // namespace vexo
