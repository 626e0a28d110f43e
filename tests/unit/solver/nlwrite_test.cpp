// The nl problem file: both forms byte for byte on a small linear program,
// the header's class counts, the items of both forms, bound codes, initial
// guesses, expression graphs, the dispatch on outopt, and a round trip
// through the default solver's reader.
#include "session/loop.h"
#include "solver/nlwrite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "frontend/expr.h"
#include "frontend/strexpr.h"
#include "instance/members.h"
#include "instance/xcg.h"
#include "session/infiles.h"
#include "solver/nl_fixture.h"
#include "solver/nlexpr.h"
#include "solver/output.h"
#include "solver/solve.h"
#include "solvers/nlread.h"
#include "support/message.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::NlTest;
using test::plain_problem;
using test::plain_row;

const char* const lp_header_tail =
    " 2 2 1 0 0\t# vars, constraints, objectives, ranges, eqns\n"
    " 0 0\t# nonlinear constraints, objectives\n"
    " 0 0\t# network constraints: nonlinear, linear\n"
    " 0 0 0\t# nonlinear vars in constraints, objectives, both\n";
const char* const lp_header_end =
    " 0 0 0 0 0\t# discrete variables: binary, integer, nonlinear (b,c,o)\n"
    " 4 2\t# nonzeros in Jacobian, gradients\n"
    " 0 0\t# max name lengths: constraints, variables\n"
    " 0 0 0 0 0\t# common exprs: b,c,o,c1,o1\n";

// Binary items appended to a string.
struct bytes {
  std::string s;
  bytes& c(char x) {
    s += x;
    return *this;
  }
  template <class T>
  bytes& n(T v) {
    s.append(reinterpret_cast<const char*>(&v), sizeof v);
    return *this;
  }
  bytes& i(int32_t v) { return n(v); }
  bytes& d(double v) { return n(v); }
};

class NlWrite : public NlTest {
 protected:
  void SetUp() override {
    NlTest::SetUp();
    parse_text(test::lp_model);
  }
  // Writes ac with outopt o; returns the captured run.
  test::outcome write(AC* ac, const char* o) {
    outopt = o;
    return test::run_captured([&] { output(ac); });
  }
};

TEST_F(NlWrite, TextFormOfTheSmallLinearProgram) {
  AC* ac = collect_plain(test::lp_problem());
  auto r = write(ac, "gfoo");
  ASSERT_EQ(r.err, "");
  EXPECT_EQ(slurp("foo.nl"),
            std::string("g3 0 1 0\t# problem foo\n") + lp_header_tail +
                " 0 0 0 1\t# linear network variables; functions; arith, "
                "flags\n" +
                lp_header_end +
                "b\n2 0\n0 0 4\nr\n1 4\n1 6\nC0\nn0\nC1\nn0\nO0 1\nn0\nk1\n2\n"
                "J0 2\n0 1\n1 1\nJ1 2\n0 1\n1 3\nG0 2\n0 3\n1 2\n");
  EXPECT_EQ(n_dig, 0);
  EXPECT_EQ(ig_state, 0);
}

TEST_F(NlWrite, CommentsNameEverySegmentLine) {
  AC* ac = collect_plain(test::lp_problem());
  nl_comments = 1;
  ASSERT_EQ(write(ac, "gfoo").err, "");
  std::string s = slurp("foo.nl");
  std::string body = s.substr(s.find("b\t#"));
  EXPECT_EQ(body,
            "b\t#2 bounds (on variables)\n2 0\n0 0 4\n"
            "r\t#2 ranges (rhs's)\n1 4\n1 6\n"
            "C0\t#c1\nn0\nC1\t#c2\nn0\nO0 1\t#p\nn0\n"
            "k1\t#intermediate Jacobian column lengths\n2\n"
            "J0 2\n0 1\n1 1\nJ1 2\n0 1\n1 3\nG0 2\n0 3\n1 2\n");
}

TEST_F(NlWrite, BinaryFormOfTheSmallLinearProgram) {
  AC* ac = collect_plain(test::lp_problem());
  nl_comments = 1;  // never reaches the binary items
  ASSERT_EQ(write(ac, "bfoo").err, "");
  bytes b;
  b.c('b').c('2').d(0).c('0').d(0).d(4);
  b.c('r').c('1').d(4).c('1').d(6);
  b.c('C').i(0).c('s').n(int16_t(0)).c('C').i(1).c('s').n(int16_t(0));
  b.c('O').i(0).i(1).c('s').n(int16_t(0));
  b.c('k').i(1).i(2);
  b.c('J').i(0).i(2).i(0).d(1).i(1).d(1);
  b.c('J').i(1).i(2).i(0).d(1).i(1).d(3);
  b.c('G').i(0).i(2).i(0).d(3).i(1).d(2);
  EXPECT_EQ(slurp("foo.nl"),
            std::string("b3 0 1 0\t# problem foo\n") + lp_header_tail +
                " 0 0 1 1\t# linear network variables; functions; arith, "
                "flags\n" +
                lp_header_end + b.s);
}

// Columns x, y (continuous), b (binary), n (integer) in writer order; the
// integer ones are counted on line 7.
TEST_F(NlWrite, IntegerColumnsComeLastAndAreCounted) {
  parse_text("var b binary; var n integer <= 10;");
  plain_problem p;
  // Declared x, n, b, y; sent x, y, b, n.
  p.vars = {{"x", 0, Infinity, 0},
            {"n", negInfinity, 10, 1},
            {"b", 0, 1, 3},
            {"y", 0, 4, 0}};
  p.var_order = {0, 3, 2, 1};
  p.lin_bin = p.lin_int = 1;
  p.cons = {{"c1", negInfinity, 4, {{0, 1}, {1, 2}, {2, 3}, {3, 4}}, 0, 0,
             nullptr}};
  AC* ac = collect_plain(p);
  ASSERT_EQ(write(ac, "gmip").err, "");
  std::string s = slurp("mip.nl");
  EXPECT_NE(s.find("\n 1 1 0 0 0\t# discrete"), std::string::npos) << s;
  EXPECT_NE(s.find("\nb\n2 0\n0 0 4\n0 0 1\n1 10\nr\n1 4\n"),
            std::string::npos)
      << s;
  EXPECT_NE(s.find("\nk3\n1\n2\n3\nJ0 4\n0 1\n1 4\n2 3\n3 2\n"),
            std::string::npos)
      << s;
}

// Every bound code, and the count of the ranges and equalities.
TEST_F(NlWrite, BoundCodes) {
  plain_problem p;
  double inf = Infinity, minf = negInfinity;
  p.vars = {{nullptr, 1, 2, 0},
            {nullptr, minf, 3, 0},
            {nullptr, 4, inf, 0},
            {nullptr, minf, inf, 0},
            {nullptr, 5, 5, 0}};
  p.cons = {{nullptr, 1, 2, {{0, 1}}, 0, 0, nullptr},
            {nullptr, 7, 7, {{1, 1}}, 0, 0, nullptr},
            {nullptr, minf, inf, {{2, 1}}, 0, 0, nullptr}};
  AC* ac = collect_plain(p);
  ASSERT_EQ(write(ac, "gbnd").err, "");
  std::string s = slurp("bnd.nl");
  EXPECT_NE(s.find("\n 5 3 0 1 1\t# vars"), std::string::npos) << s;
  EXPECT_NE(s.find("\nb\n0 1 2\n1 3\n2 4\n3\n4 5\nr\n0 1 2\n4 7\n3\nC0\n"),
            std::string::npos)
      << s;
}

// A variable with an initial value is sent as a guess, zero included; one
// without is not.  With comments off the count stays on the x line.
TEST_F(NlWrite, InitialGuesses) {
  AC* ac = collect_plain(test::lp_problem());
  var* x = var_named("x");
  give_member(x, 0);
  x->gen.init_vals = block<double>(0);
  ac->var_init_val[0] = 3;
  ASSERT_EQ(write(ac, "gig").err, "");
  std::string s = slurp("ig.nl");
  EXPECT_NE(s.find("\nb\n2 0\n0 0 4\nx1\n0 3\nr\n"), std::string::npos) << s;
  ASSERT_EQ(write(ac, "big").err, "");
  s = slurp("ig.nl");
  bytes b;
  b.c('x').i(1).i(0).d(3).c('r');
  EXPECT_NE(s.find(b.s), std::string::npos);
}

// nl_permute bit 32 moves the bounds and guesses after the objectives, in
// the order d, x, r, b.
TEST_F(NlWrite, PermutedSegmentsFollowTheObjectives) {
  AC* ac = collect_plain(test::lp_problem());
  nl_permute = 35;
  ASSERT_EQ(write(ac, "gperm").err, "");
  std::string s = slurp("perm.nl");
  EXPECT_NE(s.find("\nC0\nn0\nC1\nn0\nO0 1\nn0\nr\n1 4\n1 6\nb\n2 0\n0 0 4\nk1"),
            std::string::npos)
      << s;
}

// x nonlinear in the constraint and the objective.
TEST_F(NlWrite, NonlinearCountsAndGraphs) {
  plain_problem p = test::lp_problem();
  p.nlv_both = 1;
  p.nonlin_con = 1;
  p.nonlin_obj = 1;
  expr* sq = new_expr(opword(OPVARVAL146));
  sq->L.i = 0;
  expr* pw = new_expr(opword(OPPOW), sq, new_num(2));
  p.cons[0].nonlin = pw;
  expr* sq2 = new_expr(opword(OPVARVAL146));
  sq2->L.i = 0;
  p.objs[0].nonlin = new_expr(opword(OPUMINUS), sq2);
  p.objs[0].constant = 40000;
  AC* ac = collect_plain(p);
  ASSERT_EQ(write(ac, "gnlp").err, "");
  std::string s = slurp("nlp.nl");
  EXPECT_NE(s.find("\n 1 1\t# nonlinear constraints"), std::string::npos);
  EXPECT_NE(s.find("\n 1 1 1\t# nonlinear vars"), std::string::npos);
  EXPECT_NE(s.find("\nC0\no5\nv0\nn2\nC1\nn0\nO0 1\no1\nn40000\nv0\n"),
            std::string::npos)
      << s;
}

// Defined variables kept by presolve as bodies (dv_* of the collected
// problem) are sent as V segments: numbered after the variables by their
// use (in both constraints and objectives first, then in one constraint
// only), each written just before its first user, one used by another
// before that one; header line 10 counts them.  z (column 2) = x*y + 2x
// + 1 is used by the objective and, through w, by c2; w (column 3) = z^2
// by c2 only.  An imported function called in c1 gets an F segment.
TEST_F(NlWrite, DefinedVariablesAndImportedFunctions) {
  parse_text("function foo; var z; var w;");
  plain_problem p = test::lp_problem();
  p.vars.push_back({"z", -Infinity, Infinity, 0});
  p.vars.push_back({"w", -Infinity, Infinity, 0});
  auto col = [](int i) {
    expr* e = new_expr(opword(OPVARVAL146));
    e->L.i = i;
    return e;
  };
  expr* arg = new_expr(opword(OPARG), nullptr, col(1));
  p.cons[0].nonlin = new_expr(opword(OPFUNC), decl("foo"), arg);
  p.cons[1].nonlin = col(3);
  p.objs[0].nonlin = col(2);
  p.nlv_both = 2;
  p.nonlin_con = 2;
  p.nonlin_obj = 1;
  AC* ac = collect_plain(p);
  ac->n_var_sent = 2;
  ac->n_dv_bodies = 2;
  ac->dv_class = htcl(8 * 2);
  ac->dv_const = static_cast<double*>(new_mblk(ac->dv_class, 1));
  ac->dv_col =
      static_cast<int32_t*>(new_mblk(elem_class(ac->dv_class, 4), 1));
  ac->dv_bodies = static_cast<expr**>(new_mblk(ac->dv_class, 1));
  // Listed w first: the numbers come from the uses, not the list.
  ac->dv_bodies[0] = new_expr(opword(OPPOW), col(2), new_num(2));
  ac->dv_col[0] = 3;
  expr* xy = new_expr(opword(OPMULT), col(0), col(1));
  xy->next = new_expr(opword(OPLINPART), new_varref(nullptr, 0, 2));
  ac->dv_bodies[1] = xy;
  ac->dv_const[1] = 1;
  ac->dv_col[1] = 2;
  ASSERT_EQ(write(ac, "gdv").err, "");
  std::string s = slurp("dv.nl");
  EXPECT_NE(s.find("\n 0 1 0 1\t# linear network variables; functions; "),
            std::string::npos)
      << s;
  EXPECT_NE(s.find("\n 1 0 0 1 0\t# common exprs: b,c,o,c1,o1\nF0 1 "),
            std::string::npos)
      << s;
  std::string want =
      "C0\nf0 1\nv1\nV2 1 0\n0 2\no0\no2\nv0\nv1\nn1\nV3 0 2\no5\nv2\n"
      "n2\nC1\nv3\nO0 1\nv2\n";
  EXPECT_NE(s.find(want), std::string::npos) << s;
  // The "col" file names the defined variables after the variables.
  auxfiles = "d";
  ASSERT_EQ(write(ac, "gdv").err, "");
  EXPECT_EQ(slurp("dv.col"), "x\ny\nz\nw\n");
  auxfiles = "";
}

// The graph items of one expression, in the text form.
class Graph : public NlTest {
 protected:
  std::string text_of(void (*put)(nlfile*)) {
    FILE* fp = std::tmpfile();
    nlfile f;
    f.f = fp;
    f.k = 10;
    f.buf = static_cast<char*>(new_mblk(10));
    f.p = f.buf;
    f.end = f.buf + (8 << 10) - NLF_SLACK;
    f.failed = 0;
    put(&f);
    nl_flush(&f);
    del_mblk(10, f.buf);
    std::rewind(fp);
    std::string s;
    char b[512];
    for (size_t n; (n = std::fread(b, 1, sizeof b, fp)) > 0;) s.append(b, n);
    std::fclose(fp);
    return s;
  }
  static expr* var_node(int i) {
    expr* e = new_expr(opword(OPVARVAL146));
    e->L.i = i;
    return e;
  }
  static expr* chain(std::initializer_list<expr*> es) {
    expr* head = nullptr;
    expr** tail = &head;
    for (expr* e : es) {
      *tail = e;
      tail = &e->next;
    }
    return head;
  }
  void SetUp() override {
    NlTest::SetUp();
    apr = aprintf;
    nput = anput;
    Xwho = Xwho0;
    nlv = {100, 0, nullptr, nullptr};
  }
};

TEST_F(Graph, LinearTermsInsideAnExpression) {
  static expr* e;
  // x - y as terms of coefficients 1 and -1; 3x.
  varref* xy = new_varref(new_varref(nullptr, 1, -1), 0, 1);
  e = new_expr(opword(OPLINPART), xy);
  EXPECT_EQ(text_of([](nlfile* f) { eput(f, e); }), "o0\nv0\no16\nv1\n");
  e = new_expr(opword(OPLINPART), new_varref(nullptr, 0, 3));
  EXPECT_EQ(text_of([](nlfile* f) { eput(f, e); }), "o2\nn3\nv0\n");
}

TEST_F(Graph, SumsOfTerms) {
  static expr* e;
  // Four of five terms negated: the negation of the sum of their operands.
  e = chain({new_expr(opword(OPUMINUS), var_node(0)),
             new_expr(opword(OPUMINUS), var_node(1)),
             new_expr(opword(OPUMINUS), var_node(2)),
             new_expr(opword(OPUMINUS), var_node(3)), var_node(4)});
  EXPECT_EQ(text_of([](nlfile* f) { elistput(f, e, 0); }),
            "o16\no54\n5\nv0\nv1\nv2\nv3\no16\nv4\n");
  // Two terms, the first negated: a difference; a constant joins the sum.
  e = chain({new_expr(opword(OPUMINUS), var_node(0)), var_node(1)});
  EXPECT_EQ(text_of([](nlfile* f) { elistput(f, e, 0); }), "o1\nv1\nv0\n");
  EXPECT_EQ(text_of([](nlfile* f) { elistput(f, e, 2.5); }),
            "o54\n3\no16\nv0\nv1\nn2.5\n");
  // The constant is taken off the list again.
  EXPECT_EQ(e->next->next, nullptr);
  EXPECT_EQ(text_of([](nlfile* f) { elistput(f, nullptr, 0); }), "n0\n");
}

TEST_F(Graph, StringsAndConditionals) {
  static expr* e;
  e = new_str(new_cstring("abc"));
  EXPECT_EQ(text_of([](nlfile* f) { eput(f, e); }), "h3:abc\n");
  apr = bprintf;
  bytes b;
  b.c('h').i(3);
  b.s += "abc";
  EXPECT_EQ(text_of([](nlfile* f) { eput(f, e); }), b.s);
  apr = aprintf;
  e = new_expr(opword(OPIFSYMstr101), var_node(0),
               new_expr(opword(OP261), new_num(1), new_num(2)));
  EXPECT_EQ(text_of([](nlfile* f) { eput(f, e); }), "o65\nv0\nn1\nn2\n");
}

TEST(NlItems, BinaryNumbers) {
  struct {
    double x;
    std::string want;
  } cases[] = {
      {12, bytes().c('s').n(int16_t(12)).s},
      {-32768, bytes().c('s').n(int16_t(-32768)).s},
      {40000, bytes().c('l').i(40000).s},
      {0.5, bytes().c('n').d(0.5).s},
      {4294967296.0, bytes().c('n').d(4294967296.0).s},
  };
  for (auto& c : cases) {
    FILE* fp = std::tmpfile();
    char buf[8 << 10];
    nlfile f{fp, buf, buf, buf + sizeof buf - NLF_SLACK, 0, 0};
    bnput(&f, c.x);
    EXPECT_EQ(std::string(buf, size_t(f.p - buf)), c.want) << c.x;
    f.p = buf;
    bnput(&f, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(buf[0], 'n');
    EXPECT_EQ(f.p - buf, 9);
    std::fclose(fp);
  }
}

TEST(NlItems, FormatsOfBothForms) {
  FILE* fp = std::tmpfile();
  char buf[8 << 10];
  nlfile f{fp, buf, buf, buf + sizeof buf - NLF_SLACK, 0, 0};
  nl_comments = 0;
  EXPECT_EQ(aprintf(&f, "x%d\t# initial guess\n", 7), 2);
  EXPECT_EQ(aprintf(&f, "%d %s\n", 3, "1.5"), 2);
  EXPECT_EQ(std::string(buf, size_t(f.p - buf)), "x7\n3 1.5\n");
  f.p = buf;
  EXPECT_EQ(bprintf(&f, "i%d %hd %l\n", 1, 2, 3L), 3);
  EXPECT_EQ(std::string(buf, size_t(f.p - buf)),
            bytes().i(1).n(int16_t(2)).i(3).s);
  std::fclose(fp);
}

// The refusals of the dispatch, each with nothing written.
TEST_F(NlWrite, DispatchMessages) {
  AC* ac = collect_plain(test::lp_problem());
  at_eof = 0;
  struct {
    const char* opt;
    const char* err;
    bool aborted;
  } cases[] = {
      {"", "No option outopt (-o flag) given.\n", true},
      {"xfoo", "Unknown option outopt xfoo (-oxfoo).\n", true},
      {"gnodir/foo", "can't open nodir/foo.nl", true},
      {"0", "No files written: option outopt is 0.\n", false},
      {"1", "", false},
  };
  for (auto& c : cases) {
    auto r = write(ac, c.opt);
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.opt << ": " << r.err;
    if (!*c.err) {
      EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(r.aborted || r.exited, c.aborted) << c.opt;
  }
  at_eof = 1;
  EXPECT_EQ(write(ac, "0").err, "");
  at_eof = 0;
  ac->n_nlv_con = 1;
  auto r = write(ac, "nfoo");
  EXPECT_EQ(r.err,
            "Problem has 1 nonlinear variables.  No MPS file written.\n");
  EXPECT_TRUE(r.aborted || r.exited);
}

TEST_F(NlWrite, PermutationCaution) {
  AC* ac = collect_plain(test::lp_problem());
  ac->nl_flags = 2;
  Cautions = 1;
  auto r = write(ac, "gfoo");
  Cautions = 0;
  EXPECT_NE(r.err.find("Using option nl_permute to suppress permutations\n"
                       "of variables may cause trouble for some solvers."),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ac->nl_flags, 0);
}

TEST_F(NlWrite, UsageOfTheOFlag) {
  auto r = test::run_captured([] { ousage(); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')),
            "-ostuff ==> execute \"write stuff;\" at end of last command-line "
            "file");
  EXPECT_NE(r.err.find("\n\t-obstub {write stub.nl in generic binary format "
                       "-- like -og,\n\t\tbut binary after the first 10 "
                       "lines}\n"),
            std::string::npos);
}

// Both forms read back as the problem collected.
TEST_F(NlWrite, RoundTrip) {
  parse_text("var b binary; var n integer <= 10;");
  plain_problem p;
  p.vars = {{"x", -1, 5, 0},
            {"n", negInfinity, 10, 1},
            {"b", 0, 1, 3},
            {"y", negInfinity, Infinity, 0}};
  p.var_order = {0, 3, 2, 1};
  p.lin_bin = p.lin_int = 1;
  p.cons = {{"c1", negInfinity, 4, {{0, 1.5}, {1, 2}, {3, -0.1}}, 0, 0,
             nullptr},
            {"c2", 2, 2, {{2, 1}, {3, 1}}, 0, 0, nullptr},
            {nullptr, -1, 1e30, {{1, 7}}, 0, 0, nullptr}};
  p.objs = {{"p", 0, 0, {{3, 1}, {0, -2}}, 0, 2.5, nullptr}};
  AC* ac = collect_plain(p);
  for (const char* form : {"grt", "brt"}) {
    ASSERT_EQ(write(ac, form).err, "");
    nl_problem q = read_nl("rt.nl");
    EXPECT_EQ(q.refusal, "") << form;
    ASSERT_EQ(q.var_lo.size(), 4u);
    ASSERT_EQ(q.row_lo.size(), 3u);
    EXPECT_EQ(q.h.nbv, 1);
    EXPECT_EQ(q.h.niv, 1);
    for (int i = 0; i < 4; ++i) {
      int v = ac->var_order[i];
      EXPECT_EQ(q.var_lo[size_t(i)], ac->var_lb[v]) << form << i;
      EXPECT_EQ(q.var_hi[size_t(i)], ac->var_ub[v]) << form << i;
    }
    for (int r = 0; r < 3; ++r) {
      EXPECT_EQ(q.row_lo[size_t(r)], p.cons[size_t(r)].lb);
      EXPECT_EQ(q.row_hi[size_t(r)], p.cons[size_t(r)].ub);
      // Each term at the writer position of its variable.
      size_t n = q.row_start[size_t(r) + 1] - q.row_start[size_t(r)];
      ASSERT_EQ(n, p.cons[size_t(r)].terms.size());
      for (auto& t : p.cons[size_t(r)].terms) {
        bool found = false;
        for (size_t k = q.row_start[size_t(r)]; k < q.row_start[size_t(r) + 1];
             ++k)
          found |= q.row_terms[k].index == ac->var_pos[t.var] &&
                   q.row_terms[k].coef == t.coef;
        EXPECT_TRUE(found) << form << " row " << r << " var " << t.var;
      }
    }
    ASSERT_EQ(q.obj_terms.size(), 1u);
    EXPECT_EQ(q.obj_sense[0], 0);
    EXPECT_EQ(q.obj_const[0], 2.5);
    ASSERT_EQ(q.obj_terms[0].size(), 2u);
    EXPECT_EQ(q.obj_terms[0][0].index, 0);
    EXPECT_EQ(q.obj_terms[0][0].coef, -2);
    EXPECT_EQ(q.obj_terms[0][1].index, 1);
    EXPECT_EQ(q.obj_terms[0][1].coef, 1);
  }
}

// A problem wider than the writer's interleaved walk over the columns:
// 80 columns in a shuffled writer order, one of them in every row (longer
// than a lane holds), 50 rows and two objectives.  The k, J and G segments
// match a plain reckoning from the rows; a second write, which finds the
// Jacobian kept, writes the same bytes; after the problem is emptied and
// collected again in another order, the new order is written.
plain_problem wide_problem(int shift) {
  plain_problem p;
  const int nv = 80, nc = 50;
  for (int v = 0; v < nv; ++v) {
    p.vars.push_back({nullptr, 0, 10, 0});
    p.var_order.push_back((v * 37 + shift) % nv);
  }
  for (int r = 0; r < nc + 2; ++r) {
    plain_row row{nullptr, negInfinity, 100, {}, 0, 0, nullptr};
    for (int v = 0; v < nv; ++v)
      if ((r * 7 + v * 3) % 5 == 0 || v == 5)
        row.terms.push_back({v, double(r * 100 + v)});
    (r < nc ? p.cons : p.objs).push_back(row);
  }
  return p;
}

std::string expected_jacobian(const plain_problem& p) {
  size_t nv = p.vars.size();
  std::vector<int> pos(nv);
  for (size_t i = 0; i < nv; ++i) pos[size_t(p.var_order[i])] = int(i);
  std::vector<long> len(nv);
  for (auto& r : p.cons)
    for (auto& t : r.terms) ++len[size_t(pos[size_t(t.var)])];
  std::string s = "k" + std::to_string(nv - 1) + "\n";
  long sum = 0;
  for (size_t i = 0; i + 1 < nv; ++i)
    s += std::to_string(sum += len[i]) + "\n";
  auto rows = [&](const std::vector<plain_row>& rs, char letter) {
    for (size_t r = 0; r < rs.size(); ++r) {
      std::vector<std::pair<int, long>> t;
      for (auto& x : rs[r].terms)
        t.push_back({pos[size_t(x.var)], long(x.coef)});
      std::sort(t.begin(), t.end());
      s += letter + std::to_string(r) + " " + std::to_string(t.size()) + "\n";
      for (auto& [c, v] : t)
        s += std::to_string(c) + " " + std::to_string(v) + "\n";
    }
  };
  rows(p.cons, 'J');
  rows(p.objs, 'G');
  return s;
}

TEST_F(NlWrite, JacobianInWriterOrderOfAWiderProblem) {
  for (int shift : {0, 11}) {
    plain_problem p = wide_problem(shift);
    col_teardown(cur_ac);
    AC* ac = collect_plain(p);
    ASSERT_EQ(write(ac, "gwide").err, "");
    std::string s = slurp("wide.nl");
    size_t k = s.find("\nk79\n");
    ASSERT_NE(k, std::string::npos) << s;
    EXPECT_EQ(s.substr(k + 1), expected_jacobian(p)) << shift;
    ASSERT_EQ(write(ac, "gwide").err, "");
    EXPECT_EQ(slurp("wide.nl"), s) << shift;
    ASSERT_EQ(write(ac, "bwide").err, "");
    std::string b = slurp("wide.nl");
    ASSERT_EQ(write(ac, "bwide").err, "");
    EXPECT_EQ(slurp("wide.nl"), b) << shift;
  }
}

// The write command's path once a problem stands collected and presolved.
TEST_F(NlWrite, WriteCommandPath) {
  collect_plain(test::lp_problem());
  // What generation would have done: everything cited is up to date.
  test::run_captured([] { xcg(0); });
  set_trans_state(3);
  // (The fixture builds no option table, so outopt is set directly.)
  outopt = "gcmd";
  auto r = test::run_captured([] { EXPECT_EQ(write_cmd1(0, nullptr, 1), 0); });
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(trans_state, 4);
  EXPECT_EQ(slurp("cmd.nl").substr(0, 23), "g3 0 1 0\t# problem cmd\n");
  // outopt 0: nothing written, the return code cleared.
  set_trans_state(3);
  rc = 2;
  outopt = "0";
  r = test::run_captured([] { EXPECT_EQ(write_cmd1(0, nullptr, 1), 1); });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(trans_state, 3);
  // A problem settled without a solver: nothing to write.
  set_trans_state(5);
  outopt = "gnone";
  r = test::run_captured([] { EXPECT_EQ(write_cmd1(2, nullptr, 1), 0); });
  EXPECT_EQ(r.out, "No .nl file written:  no variables used.\n");
  EXPECT_EQ(slurp("none.nl"), "");
}

}  // namespace
}  // namespace vexo
