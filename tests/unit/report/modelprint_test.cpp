// The model printer: every declaration of the example models printed and
// read back gives the same trees (and prints the same text again); the
// forms of each declaration kind; the data printer's modes.
#include "report/modelprint.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "report/dataprint.h"
#include "report/prex.h"
#include "report/prset.h"
#include "report_fixture.h"
#include "support/pool.h"

namespace vexo {
namespace {

using test::dump_model;

class ModelPrint : public test::Printer {
 protected:
  std::string model() {
    return printed([] { print_model(1); });
  }
  // Parses text, prints the model, parses the printed text in a fresh
  // front end and prints again: both prints and both parses must agree.
  // Returns the first print.
  std::string round_trip(const std::string& text, const char* what) {
    fresh();
    parse_text(text);
    std::string first = model();
    std::string trees = dump_model();
    fresh();
    parse_text(first);
    // Printing puts the arc and column phrases in clause order.
    EXPECT_EQ(model(), first) << what;
    EXPECT_EQ(dump_model(), trees) << what << "\n" << first;
    return first;
  }
  static std::string example(const char* name) {
    std::string root = __FILE__;
    root = root.substr(0, root.rfind("/tests/unit/"));
    std::ifstream in(root + "/examples/" + name + ".mod");
    EXPECT_TRUE(in) << name;
    return std::string((std::istreambuf_iterator<char>(in)),
                       std::istreambuf_iterator<char>());
  }
};

TEST_F(ModelPrint, ExampleModelsReadBackAsTheSameTrees) {
  for (const char* m :
       {"transport", "production", "nonlinear", "complementarity"}) {
    std::string text = round_trip(example(m), m);
    EXPECT_NE(text, "") << m;
    // Lines wrap below display_width (79); a continuation line starts
    // with two blanks, a clause on a line of its own with four.
    std::istringstream in(text);
    std::string line;
    bool open = false;
    while (std::getline(in, line)) {
      EXPECT_LT(line.size(), 79u) << m << ": " << line;
      if (open) {
        EXPECT_EQ(line.substr(0, 2), "  ") << m << ": " << line;
      }
      open = line.empty() || line.back() != ';';
    }
  }
}

// The exact text of a small model: keywords and names, indexings written
// right after the name, restrictions, bounds with the upper one on a line
// of its own, the initial value on its own line, bodies.
TEST_F(ModelPrint, TransportText) {
  EXPECT_EQ(round_trip(example("transport"), "transport"),
            "set PLANTS;\n"
            "set MARKETS;\n"
            "param capacity{PLANTS}  >= 0;\n"
            "param demand{MARKETS}  >= 0;\n"
            "param cost{PLANTS, MARKETS}  >= 0;\n"
            "var ship{PLANTS, MARKETS}  >= 0;\n"
            "minimize total_cost: sum{p in PLANTS, m in MARKETS} "
            "cost[p,m]*ship[p,m];\n"
            "subject to supply{p in PLANTS} : sum{m in MARKETS} ship[p,m] <= "
            "capacity[p];\n"
            "subject to meet{m in MARKETS} : sum{p in PLANTS} ship[p,m] >= "
            "demand[m];\n");
}

// One declaration of every form the front end keeps, read back the same.
TEST_F(ModelPrint, DeclarationFormsReadBack) {
  std::string out = round_trip(
      "set I ordered; set J ordered; set K circular by reversed J;\n"
      "set P dimen 2; set Q within I cross I within P;\n"
      "set E := {'a', 'b c'} ordered; set F {I} within J default {};\n"
      "set G := 1..10 by 2; set H {i in I} := {j in J: ord(j) > 1};\n"
      "param n integer > 0 <= 10 default 3;\n"
      "param m {i in I} binary;\n"
      "param u symbolic in J default first(J);\n"
      "param w {i in I} = if i == first(I) then 1 else w[prev(i, I)] + 1;\n"
      "param r 'an alias' := n^2;\n"
      "var x {i in I} >= 0, <= n, := 1;\n"
      "var z integer in interval[1, 5] default 2;\n"
      "var y = sum {i in I} x[i];\n"
      "var f = y + 3;\n"
      "var g = -y;\n"
      "var h binary;\n"
      "minimize o: sum {i in I} x[i] + y;\n"
      "maximize o2 {i in I}: x[i];\n"
      "subject to c1: 1 <= y <= n;\n"
      "subject to c2: y >= x[first(I)];\n"
      "subject to c3 {i in I} := 2: x[i] = 1;\n"
      "subject to c4: y == 1 or z != 2;\n"
      "subject to c5: x[first(I)] >= 0 complements y <= 3;\n"
      "subject to c6: 0 <= z complements z - 1 >= 0;\n"
      "subject to c7: z - 1 complements 0 <= z <= 4;\n"
      "check {i in I}: m[i] <= 1;\n"
      "check: n > 0;\n",
      "forms");
  EXPECT_NE(out.find("var x{i in I}  >= 0\n    <= n\n    := 1;\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("param n integer > 0 <= 10 default 3;\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("set P dimen 2;\n"), std::string::npos) << out;
  EXPECT_NE(out.find("set K circular by reversed J;\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("var y = sum{i in I} x[i];\n"), std::string::npos) << out;
  EXPECT_NE(out.find("check: n > 0;\n"), std::string::npos) << out;
}

// Networks and columns: nodes, arcs with from and to, to_come objectives
// and constraints, cover, coef and obj phrases, suffix initialisations.
TEST_F(ModelPrint, NetworkFormsReadBack) {
  round_trip(
      "set N; set A within N cross N; param cap {A}; param sup {N};\n"
      "suffix s integer; suffix t IN;\n"
      "minimize cost: to_come;\n"
      "maximize gain: 3 + to_come;\n"
      "node bal {k in N}: net_in = sup[k];\n"
      "node out {k in N}: net_out >= 2;\n"
      "subject to lim: to_come <= 10;\n"
      "subject to lim2 suffix s 2: 5 + to_come >= 1;\n"
      "arc flow {(i, j) in A} >= 0, <= cap[i, j], from bal[i], to bal[j] 2,\n"
      "  obj cost 4, suffix s 1;\n"
      "arc back {(i, j) in A} from bal[j] 3, to out[i] -2;\n"
      "var col >= 0, cover lim, coef lim2 3, obj gain 2;\n",
      "network");
}

// Logical and piecewise-linear forms, declared suffixes on references,
// and the display of unsupported forms.
TEST_F(ModelPrint, ExpressionFormsInDeclarations) {
  round_trip(
      "set S ordered; param a {S}; param b {S}; var x {S}; var v;\n"
      "suffix sx; suffix sy symbolic;\n"
      "minimize pl: <<{i in S} a[i]; {i in S} b[i], 0>> v + "
      "<<1, 2; 3, 4, 5>> (v, 2) + <<1; 2, 3>> x[first(S)];\n"
      "subject to l1: atleast 1 (x[first(S)] >= 1, v <= 2);\n"
      "subject to l2: alldiff {i in S} x[i];\n"
      "subject to l3: v >= 1 ==> x[last(S)] <= 0 else v <= 3;\n"
      "subject to l4: exists {i in S} x[i] >= 1 || v == 0;\n"
      "subject to l5: numberof 1 in ({i in S} (x[i])) <= 2;\n"
      "subject to l6: v <= 2*sum {i in S} x[i].sx;\n"
      "subject to l7: v >= x[last(S)].sy_num + v.sx;\n",
      "expressions");
}

// Suffixes, functions, problems and logical type words.
TEST_F(ModelPrint, OtherDeclarationsReadBack) {
  std::string out = round_trip(
      "set S; var x {S} logical; var y; param k logical;\n"
      "suffix a OUT integer >= 0 <= 9; suffix b LOCAL symbolic in S;\n"
      "suffix c INOUT binary;\n"
      "function f; function g(); function h(S, IN S, *, OUT, INOUT ...)"
      " symbolic;\n"
      "function pf(...) random pipe 'cmd' 'more' format ('%' & 'g');\n"
      "problem P: x, y;\n"
      "problem Q: {i in S} x[i], y;\n",
      "others");
  EXPECT_NE(out.find("var x{S}  binary;\n"), std::string::npos) << out;
  EXPECT_NE(out.find("suffix a OUT integer >= 0 <= 9;\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("function h(S, IN S, *, OUT, INOUT ...) symbolic;\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("problem Q: {i in S} x[i], y;\n"), std::string::npos)
      << out;
}

// show prints the declarations it is given with print_model(0): every
// entry of decls, sets inside expressions written out.
TEST_F(ModelPrint, ShowFormPrintsSetsOut) {
  fresh();
  parse_text("set S; set T := S union {'x'};\n");
  // show writes the declarations it is given without the built-in ones;
  // print_model(0) writes every entry of decls.
  xnode* t = decls;
  while (t->next) t = t->next;
  xnode* saved = decls;
  decls = t;
  std::string out = printed([] { print_model(0); });
  decls = saved;
  EXPECT_EQ(out, "set T = S union  {'x'};\n");
}

// The data printer: a data section with what the declarations store; a
// negative mode marks members as printed, so a later print leaves them
// out.
TEST_F(ModelPrint, DataPrinterModes) {
  fresh();
  parse_text("set S; param p; param q := 2; set D := 1..3; param r {S};\n");
  EXPECT_EQ(printed([] { print_data(1); }), "data;\nend;\n");
  // Members of a scalar set and the value of a scalar param, as the
  // evaluator will store them.
  setdcl* s = nullptr;
  param* p = nullptr;
  for (xnode* d = decls; d; d = d->next) {
    if (d->num < N_System_Pars) continue;
    if (d->kind == DK_SET && !s) s = static_cast<setdcl*>(d);
    if (d->kind == DK_PARAM && !p) p = static_cast<param*>(d);
  }
  ASSERT_TRUE(s && p);
  set* v = s->value;
  v->nmem = 0;
  if (!v->htab) v->new_htab(4);
  for (const char* m : {"a", "b c"}) {
    symbol* sym = Symbol(m, 1);
    set_addmem(v, &sym);
  }
  double* val = static_cast<double*>(new_mblk(0, 1));
  *val = 0.1;
  p->vals = val;
  p->nvals = 1;
  quote_literals = 1;
  EXPECT_EQ(printed([] { print_data(1); }),
            "data;\nset S :=\n     'a'\n     'b c';\nparam p := 0.1;\nend;\n");
  EXPECT_EQ(printed([] { print_data(2); }), "#Generated data....;\n");
  // Mode 0 writes the declarations themselves; a negative mode marks what
  // is there as printed.
  EXPECT_EQ(printed([&] { print_par(p, 0); }), "param p;\n");
  print_data(-1);
  EXPECT_EQ(printed([] { print_data(1); }), "data;\nend;\n");
}

// print_all writes what Print_all asks for.
TEST_F(ModelPrint, PrintAll) {
  fresh();
  parse_text("set S; param p {S} >= 0;\n");
  int saved = Print_all;
  Print_all = 1;
  EXPECT_EQ(printed([] { print_all(); }), "set S;\nparam p{S}  >= 0;\n");
  Print_all = 3;
  EXPECT_EQ(printed([] { print_all(); }),
            "set S;\nparam p{S}  >= 0;\ndata;\nend;\n");
  Print_all = saved;
}

}  // namespace
}  // namespace vexo
