// Collection of the problem from generated members filled by hand: rows and
// names in declaration order, objectives after constraints, members left
// out, logical and complementarity rows, the merge of duplicate terms, the
// taking over of lists after the end of input, and the problem file written
// from a collected record.
#include "instance/collect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "frontend/condcl.h"
#include "frontend/expr.h"
#include "frontend/strexpr.h"
#include "instance/members.h"
#include "instance/names.h"
#include "session/infiles.h"
#include "session/opttable.h"
#include "solver/nl_fixture.h"
#include "solver/nlwrite.h"
#include "solver/output.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/pool.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::NlTest;

// A coefficient as text (%g).
std::string num(double x) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", x);
  return b;
}

// Breakpoints and slopes of a piecewise-linear term, as written in the
// language: <<b1, ...; s0, s1, ...>>.
struct pl_shape {
  std::vector<double> bps, slopes;
  bool operator==(const pl_shape&) const = default;
};

plterm* make_pl(int32_t col, const pl_shape& s) {
  int32_t n = int32_t(s.slopes.size());
  int k = htcl(sizeof(plterm) + 16 * size_t(n));
  auto* t = static_cast<plterm*>(new_mblk(k, 1));
  t->block_class = k;
  t->n_slopes = n;
  t->index = col;
  for (int32_t i = 0; i < n; ++i) {
    t->bs()[2 * i] = s.slopes[size_t(i)];
    if (i) t->bs()[2 * i - 1] = s.bps[size_t(i - 1)];
  }
  return t;
}

pl_shape shape_of(plterm* t) {
  pl_shape s;
  for (int32_t i = 0; i < t->n_slopes; ++i) {
    s.slopes.push_back(t->bs()[2 * i]);
    if (i) s.bps.push_back(t->bs()[2 * i - 1]);
  }
  return s;
}

class Collect : public NlTest {
 protected:
  void TearDown() override {
    show_stats = 0;
    at_eof = 0;
    NlTest::TearDown();
  }

  // Reads the model; the session goes on (the end of this text is not the
  // end of all input).
  void model(const char* text) {
    parse_text(text);
    at_eof = 0;
  }

  // The per-slot array of d (class of its members, one higher with two
  // slots per member).
  template <class T>
  static T* slots(convar* d) {
    int k = d->gen.member_class + ((d->flags & CV_TWOSLOTS) ? 1 : 0);
    return static_cast<T*>(new_mblk(k, 1));
  }
  // d generated and current: collection generates nothing again.
  static void current(xnode* d) { d->xr.stamp = d->xr.instamp = 1.0; }

  // Scalar variable name at column col with bounds.
  var* column(const char* name, int32_t col, double lb, double ub) {
    var* v = var_named(name);
    give_member(v, col);
    v->gen.lb = slots<double>(v);
    v->gen.ub = slots<double>(v);
    v->gen.lb[0] = lb;
    v->gen.ub[0] = ub;
    current(v);
    return v;
  }
  // Member i of c gets bounds and the terms (column, coef), in list order.
  static void row(constr* c, int32_t i, double lb, double ub,
                  std::initializer_list<std::pair<int, double>> terms) {
    cvgen& g = c->gen;
    if (!g.lb) {
      g.lb = slots<double>(c);
      g.ub = slots<double>(c);
      g.lin = slots<varref*>(c);
    }
    g.lb[i] = lb;
    g.ub[i] = ub;
    varref_kill0 = 0;
    for (auto t = std::rbegin(terms); t != std::rend(terms); ++t)
      g.lin[i] = new_varref(g.lin[i], t->first, t->second);
    varref_kill0 = 1;
    current(c);
  }
  static constr* con(const char* name) {
    return static_cast<constr*>(decl(name));
  }
  static std::string row_name(const xname& n) { return xwho(&n); }
  // Row r's terms as text "col:coef ...", from the column lists.
  static std::string row_text(AC* ac, int32_t r) {
    std::string s;
    for (int32_t c = 0; c < ac->n_var; ++c)
      for (varref* v = ac->col_terms[c]; v; v = vnext(v))
        if (v->index == r)
          s += std::to_string(c) + ":" + num(v->coef) + " ";
    return s;
  }
};

TEST(PlMerge, SumsOverTheUnionOfBreakpoints) {
  struct row {
    pl_shape a, b, want;
  };
  for (const row& r : {
           // Breakpoints of both kept once, in order.
           row{{{0}, {-1, 1}}, {{1}, {0, 2}}, {{0, 1}, {-1, 1, 3}}},
           // A shared breakpoint.
           row{{{0, 2}, {1, 2, 3}}, {{2}, {1, 1}}, {{0, 2}, {2, 3, 4}}},
           // Bends that cancel leave one slope.
           row{{{0}, {-1, 1}}, {{0}, {1, -1}}, {{}, {0}}},
       }) {
    plterm* m = plmerge(make_pl(3, r.a), make_pl(7, r.b));
    EXPECT_EQ(shape_of(m), r.want);
    EXPECT_EQ(m->index, 3);
    EXPECT_EQ(m->merged, 0);
    del_mblk(m->block_class, m);
  }
}

TEST_F(Collect, DuplicateTermsMerge) {
  model("var x; var y; var z; s.t. c{i in 1..9}: x + y >= 0;");
  constr* c = con("c");
  give_members(c, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 0);
  // sum {i in 1..2} (i+1) * x: terms 2x, 3x.
  row(c, 0, 0, Infinity, {{0, 2}, {1, 1}, {0, 3}});
  // 2*x + <<0; -1, 1>> x.
  row(c, 1, 0, Infinity, {{0, 2}});
  c->gen.pl = slots<plterm*>(c);
  c->gen.pl[1] = make_pl(0, {{0}, {-1, 1}});
  // Two such terms of x, and one of y.
  row(c, 2, 0, Infinity, {});
  c->gen.pl[2] = make_pl(0, {{0}, {-1, 1}});
  c->gen.pl[2]->next = make_pl(1, {{5}, {0, 1}});
  c->gen.pl[2]->next->next = make_pl(0, {{1}, {0, 2}});
  // x + <<0; -1, 1>> x + <<0; 1, -1>> x: one slope left, linear.
  row(c, 3, 0, Infinity, {{0, 1}});
  c->gen.pl[3] = make_pl(0, {{0}, {-1, 1}});
  c->gen.pl[3]->next = make_pl(0, {{0}, {1, -1}});
  // x - x goes.
  row(c, 4, 0, Infinity, {{0, 1}, {1, 4}, {0, -1}});
  // Columns running one way hold each variable once and stay as they are;
  // side by side duplicates, a zero and a turn do not.
  row(c, 5, 0, Infinity, {{2, 1}, {1, 2}, {0, 3}});
  row(c, 6, 0, Infinity, {{0, 1}, {1, 2}, {1, 3}, {2, 4}});
  row(c, 7, 0, Infinity, {{0, 1}, {1, 0}, {2, 4}});
  row(c, 8, 0, Infinity, {{0, 1}, {2, 2}, {1, 3}, {2, 4}});

  list cell{};
  cell.item.p = c;
  new_ac()->n_var_gen = 3;
  gencollect(new_ac(), &cell);

  cvgen& g = c->gen;
  auto terms = [&](int i) {
    std::string s;
    for (varref* v = g.lin[i]; v; v = vnext(v))
      s += std::to_string(v->index) + ":" + num(v->coef) + " ";
    return s;
  };
  EXPECT_EQ(terms(0), "0:5 1:1 ");
  EXPECT_EQ(terms(1), "");
  ASSERT_NE(g.pl[1], nullptr);
  EXPECT_EQ(shape_of(g.pl[1]), (pl_shape{{0}, {1, 3}}));
  EXPECT_EQ(g.pl[1]->next, nullptr);
  ASSERT_NE(g.pl[2], nullptr);
  EXPECT_EQ(shape_of(g.pl[2]), (pl_shape{{0, 1}, {-1, 1, 3}}));
  ASSERT_NE(g.pl[2]->next, nullptr);
  EXPECT_EQ(g.pl[2]->next->index, 1);
  EXPECT_EQ(g.pl[2]->next->next, nullptr);
  EXPECT_EQ(g.pl[3], nullptr);
  EXPECT_EQ(terms(3), "0:1 ");
  EXPECT_EQ(terms(4), "1:4 ");
  EXPECT_EQ(terms(5), "2:1 1:2 0:3 ");
  EXPECT_EQ(terms(6), "0:1 1:5 2:4 ");
  EXPECT_EQ(terms(7), "0:1 2:4 ");
  EXPECT_EQ(terms(8), "0:1 2:6 1:3 ");
}

TEST_F(Collect, RowsNamesAndCounts) {
  model(
      "var x; var y; s.t. c{i in 1..3}: x + i*y <= 4;\n"
      "maximize p: 3*x + 2*y; s.t. d: x - y >= -1;\n"
      "minimize q: x;\n");
  column("x", 0, 0, Infinity);
  column("y", 1, -1, 4);
  constr* c = con("c");
  give_members(c, {1, 2, 3}, 0);
  for (int i = 0; i < 3; ++i) row(c, i, negInfinity, 4, {{0, 1}, {1, i + 1.0}});
  // c[2] is left out of the problem.
  figalloc(c);
  c->gen.member_status[1] = GS_DROPPED;
  c->gen.state_count = 1;
  constr* d = con("d");
  give_member(d, 0);
  row(d, 0, -1, Infinity, {{0, 1}, {1, -1}});
  for (const char* name : {"p", "q"}) {
    constr* o = con(name);
    give_member(o, 0);
    o->gen.lin = slots<varref*>(o);
    o->gen.consts = slots<double>(o);
    current(o);
  }
  con("p")->gen.lin[0] = new_varref(new_varref(nullptr, 1, 2), 0, 3);
  con("p")->gen.consts[0] = 7;
  con("q")->gen.lin[0] = new_varref(nullptr, 0, 1);
  new_ac()->n_var_gen = 2;

  AC* ac = collect(new_ac());
  ASSERT_NE(ac, nullptr);
  EXPECT_EQ(trans_state, 2);
  EXPECT_EQ(ac->n_var, 2);
  EXPECT_EQ(ac->n_con, 3);
  EXPECT_EQ(ac->n_alg_con, 3);
  EXPECT_EQ(ac->n_obj, 2);
  EXPECT_EQ(ac->jac_nonzeros, 6);
  EXPECT_EQ(ac->grad_nonzeros, 3);
  EXPECT_EQ(ac->n_con_decl, 2);
  EXPECT_EQ(ac->n_obj_decl, 2);
  EXPECT_EQ(ac->n_var_decl, 2);

  std::vector<std::string> names, objs;
  for (int r = 0; r < ac->n_con; ++r) names.push_back(row_name(ac->con_names[r]));
  for (int j = 0; j < ac->n_obj; ++j) objs.push_back(row_name(ac->obj_names[j]));
  EXPECT_EQ(names, (std::vector<std::string>{"c[1]", "c[3]", "d"}));
  EXPECT_EQ(objs, (std::vector<std::string>{"p", "q"}));
  EXPECT_EQ(row_name(ac->var_names[1]), "y");
  EXPECT_EQ(row_text(ac, 1), "0:1 1:3 ");
  EXPECT_EQ(row_text(ac, 3), "0:3 1:2 ");  // p is row n_con + 0
  EXPECT_EQ(row_text(ac, 4), "0:1 ");
  EXPECT_EQ(ac->con_ub[1], 4);
  EXPECT_EQ(ac->con_lb[2], -1);
  EXPECT_EQ(ac->var_lb[1], -1);
  EXPECT_EQ(ac->var_ub[1], 4);
  EXPECT_EQ(ac->obj_sense[0], 1);
  EXPECT_EQ(ac->obj_sense[1], 0);
  EXPECT_EQ(ac->obj_const[0], 7);
  // The rows of each declaration start at its first_col; c reaches its
  // rows through its map, d and the objectives directly.
  EXPECT_EQ(c->gen.first_col, 0);
  EXPECT_NE(c->gen.n_in_prob, 0);
  EXPECT_EQ(d->gen.first_col, 2);
  EXPECT_EQ(d->gen.n_in_prob, 0);
  EXPECT_EQ(con("q")->gen.first_col, 1);
  // The members keep their own lists: the record holds copies.
  EXPECT_NE(c->gen.lin[0], nullptr);

  // Collecting again gives the same record, with nothing lost.
  size_t pool = free_terms();
  EXPECT_EQ(collect(ac), ac);
  EXPECT_EQ(free_terms(), pool);
  EXPECT_EQ(row_text(ac, 1), "0:1 1:3 ");

  // Every constraint left out: no rows.
  for (constr* k : {c, d}) k->flags |= CV_ALLDROPPED;
  collect(ac);
  EXPECT_EQ(ac->n_con, 0);
  EXPECT_EQ(ac->n_obj, 2);
  EXPECT_EQ(ac->jac_nonzeros, 0);
  EXPECT_EQ(ac->grad_nonzeros, 3);
  EXPECT_EQ(c->gen.first_col, -1);
}

TEST_F(Collect, LogicalAndComplementarityRows) {
  model(
      "var x; var y;\n"
      "s.t. k: 0 <= x complements y >= 0;\n"
      "s.t. l{i in 1..2}: x >= 1 or y <= 2;\n");
  column("x", 0, 0, Infinity);
  column("y", 1, 0, Infinity);
  constr* l = con("l");
  ASSERT_TRUE(con_logical(l));
  give_members(l, {1, 2}, 0);
  l->gen.logexpr = slots<expr*>(l);
  // l[1] holds always; l[2] is a condition on x and y.
  l->gen.logexpr[0] = new_expr(opword(OPLOGLIT), int32_t(1));
  l->gen.logexpr[1] = new_expr(opword(OPOR, EF_VARS),
                               new_expr(opword(OPVARVAL146, 2 | 4), int32_t(0)),
                               new_expr(opword(OPVARVAL146, 2 | 4), int32_t(1)));
  current(l);
  constr* k = con("k");
  ASSERT_TRUE(k->flags & CV_TWOSLOTS);
  give_member(k, 0);
  row(k, 0, 0, Infinity, {{0, 1}});
  row(k, 1, 0, Infinity, {{1, 1}});
  new_ac()->n_var_gen = 2;

  AC* ac = collect(new_ac());
  ASSERT_NE(ac, nullptr);
  EXPECT_EQ(ac->n_con, 3);
  EXPECT_EQ(ac->n_logical, 1);
  EXPECT_EQ(ac->n_alg_con, 2);
  EXPECT_EQ(ac->n_compl, 1);
  std::vector<std::string> names;
  for (int r = 0; r < ac->n_con; ++r) names.push_back(row_name(ac->con_names[r]));
  EXPECT_EQ(names, (std::vector<std::string>{"k.L", "k.R", "l[2]"}));
  EXPECT_EQ(ac->con_kind[2], 1);
  EXPECT_EQ(ac->con_kind[1], 0);
  ASSERT_NE(ac->con_nonlin[2], nullptr);
  EXPECT_NE(ac->con_nonlin[2], l->gen.logexpr[1]);  // a copy
  EXPECT_EQ(opcode(ac->con_nonlin[2]), OPOR);
  EXPECT_EQ(ac->con_lb[2], negInfinity);
  EXPECT_EQ(row_text(ac, 1), "1:1 ");
  EXPECT_EQ(ac->compl_first[0], 0);
  // Logical constraints come first in con_order.
  ASSERT_NE(ac->con_order, nullptr);
  EXPECT_EQ(std::vector<int32_t>(ac->con_order, ac->con_order + 3),
            (std::vector<int32_t>{2, 0, 1}));
  EXPECT_EQ(ac->n_nonlin_parts_con, 1);
  col_teardown(ac);
}

TEST_F(Collect, AfterTheEndOfInputListsAreTakenOver) {
  model("var x; s.t. c: 2*x <= 1;");
  column("x", 0, 0, 1);
  constr* c = con("c");
  give_member(c, 0);
  row(c, 0, negInfinity, 1, {{0, 2}});
  varref* mine = c->gen.lin[0];
  new_ac()->n_var_gen = 1;
  at_eof = 1;
  show_stats = 6;
  AC* ac = nullptr;
  test::outcome o = test::run_captured([&] { ac = collect(new_ac()); });
  ASSERT_NE(ac, nullptr);
  EXPECT_EQ(o.out, "1 nonzeros\n0 piecewise-linear terms\n");
  EXPECT_EQ(c->gen.lin[0], nullptr);
  EXPECT_EQ(ac->col_terms[0], mine);
}

// The small linear program collected from its members and sent as a
// presolve that changes nothing would send it: the writer's file is the
// one of the hand-filled record.
TEST_F(Collect, WriterSendsTheCollectedRecord) {
  model(test::lp_model);
  column("x", 0, 0, Infinity);
  column("y", 1, 0, 4);
  row(con("c1"), 0, negInfinity, 4, {{0, 1}, {1, 1}});
  row(con("c2"), 0, negInfinity, 6, {{0, 1}, {1, 3}});
  give_member(con("c1"), 0);
  give_member(con("c2"), 0);
  constr* p = con("p");
  give_member(p, 0);
  p->gen.lin = slots<varref*>(p);
  p->gen.lin[0] = new_varref(new_varref(nullptr, 1, 2), 0, 3);
  current(p);
  new_ac()->n_var_gen = 2;
  AC* ac = collect(new_ac());
  ASSERT_NE(ac, nullptr);

  int kv = elem_class(ac->var_class, 4), kr = elem_class(ac->row_class, 4);
  ac->var_order = block<int32_t>(kv);
  ac->var_pos = block<int32_t>(kv);
  for (int i = 0; i < ac->n_var; ++i) ac->var_order[i] = ac->var_pos[i] = i;
  ac->n_var_sent = ac->n_var;
  SendShape& s = ac->shape_work;
  s.k = kr;
  s.order = block<int32_t>(kr);
  for (int i = 0; i < ac->n_con + ac->n_obj; ++i) s.order[i] = i;
  s.n_con = ac->n_con;
  s.nonzeros = ac->jac_nonzeros;
  ac->shape_alt = s;
  set_lubs(ac);
  set_trans_state(3);

  outopt = "gfoo";
  test::outcome o = test::run_captured([&] { output(ac); });
  ASSERT_EQ(o.err, "");
  std::string nl = slurp("foo.nl");
  EXPECT_NE(nl.find("\nb\n2 0\n0 0 4\nr\n1 4\n1 6\nC0\nn0\nC1\nn0\nO0 1\nn0\nk1\n"
                    "2\nJ0 2\n0 1\n1 1\nJ1 2\n0 1\n1 3\nG0 2\n0 3\n1 2\n"),
            std::string::npos)
      << nl;
}

}  // namespace
}  // namespace vexo
