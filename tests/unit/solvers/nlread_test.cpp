// The nl reader: both forms of one problem read alike, affine graphs fold,
// what a linear solver cannot take is refused, malformed files are errors
// with their place, and no cut of a file reads past its end.
#include "solvers/nlread.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

namespace vexo {
namespace {

const double INF = INFINITY;

// Items of an nl file in both forms from one format string each, by the
// rules of the writer's two item routines: text copies the format and
// converts %d, %g (any %.Ng) and %s, a TAB ends the line; binary writes
// the leading letter (unless the format starts with "%" or "i"), then each
// conversion's bytes (%d 4, %h 2, %l 4, %g 8, %s length and bytes) until a
// character that is neither blank nor a conversion.
struct nl_out {
  bool binary;
  std::string s;

  void header(const std::string& text) { s += text; }

  void item(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    if (binary)
      bin(fmt, ap);
    else
      txt(fmt, ap);
    va_end(ap);
  }

  void txt(const char* f, va_list ap) {
    for (; *f; ++f) {
      if (*f == '\t') {
        s += '\n';
        return;
      }
      if (*f != '%') {
        s += *f;
        continue;
      }
      while (*++f == '.' || isdigit(static_cast<unsigned char>(*f))) {
      }
      char b[64];
      if (*f == 'd')
        snprintf(b, sizeof b, "%d", va_arg(ap, int));
      else if (*f == 'g')
        snprintf(b, sizeof b, "%.17g", va_arg(ap, double));
      else
        snprintf(b, sizeof b, "%s", va_arg(ap, const char*));
      s += b;
    }
  }

  template <class T>
  void put(T v) {
    s.append(reinterpret_cast<const char*>(&v), sizeof v);
  }

  void bin(const char* f, va_list ap) {
    if (*f != '%' && *f != 'i') s += *f;
    if (*f != '%') ++f;
    for (;;) {
      while (*f == ' ') ++f;
      if (*f != '%') return;
      while (*++f == '.' || isdigit(static_cast<unsigned char>(*f))) {
      }
      switch (*f++) {
        case 'd': put<int32_t>(va_arg(ap, int)); break;
        case 'h': put<int16_t>(static_cast<int16_t>(va_arg(ap, int))); break;
        case 'l': put<int32_t>(va_arg(ap, int)); break;
        case 'g': put<double>(va_arg(ap, double)); break;
        case 's': {
          const char* t = va_arg(ap, const char*);
          put<int32_t>(static_cast<int32_t>(strlen(t)));
          s += t;
          break;
        }
      }
    }
  }

  // A graph constant: "n%g" in the text form, the shortest binary item.
  void number(double v) {
    if (!binary || v != std::floor(v) || std::fabs(v) > 2147483647.)
      item("n%g\n", v);
    else if (std::fabs(v) <= 32767)
      item("s%h\n", static_cast<int>(v));
    else
      item("l%l\n", static_cast<int>(v));
  }
};

// The ten header lines: form, option words, then the counts of lines 2 to
// 10 as given.
std::string header(char form, const char* words, const std::string& counts) {
  return std::string(1, form) + words + "\t# problem t\n" + counts;
}

// Lines 2 to 10 of a linear problem.
std::string counts(int n_var, int n_con, int n_obj, int ranges, int eqns,
                   int nbv, int niv, int nzc, int nzo, int arith) {
  char b[512];
  snprintf(b, sizeof b,
           " %d %d %d %d %d\n 0 0\n 0 0\n 0 0 0\n 0 0 %d 0\n %d %d 0 0 0\n"
           " %d %d\n 0 0\n 0 0 0 0 0\n",
           n_var, n_con, n_obj, ranges, eqns, arith, nbv, niv, nzc, nzo);
  return b;
}

// A problem with every linear feature, its segments out of the usual
// order:
//   minimize 2 x0 + 3 x1 - x2 + 7 (the constant in the graph)
//   c0: x0 + x1 + 4 <= 20        (constant folded from the graph)
//   c1: -4 <= x0 - x1 <= 5       (range)
//   c2: x2 + 2 x3 = 6            (x3 from the graph: 2 * x3)
//   c3: free row x0 + x3
//   x0 in [-5, 10], x1 <= 8, x2 >= -3, x3 free integer
std::string sample(bool binary) {
  nl_out o{binary, ""};
  o.header(header(binary ? 'b' : 'g', "4 1 1 0 0",
                  counts(4, 4, 1, 1, 1, 0, 1, 7, 3, binary ? 1 : 0)));
  o.item("S%d %d %s\n", 0, 2, "priority");
  o.item("%d %d\n", 0, 5);
  o.item("%d %d\n", 3, 1);
  o.item("G%d %d\n", 0, 3);
  o.item("%d %.16g\n", 0, 2.);
  o.item("%d %.16g\n", 1, 3.);
  o.item("%d %.16g\n", 2, -1.);
  o.item("C%d\t#c2\n", 2);
  o.item("o%d\t#*\n", 2);
  o.number(2);
  o.item("v%d\t#x3\n", 3);
  o.item("C%d\n", 0);
  o.number(4);
  o.item("C%d\n", 1);
  o.number(0);
  o.item("C%d\n", 3);
  o.number(0);
  o.item("O%d %d\n", 0, 0);
  o.number(7);
  o.item("r\t#4 ranges\n");
  o.item("1 %.16g\n", 20.);
  o.item("0 %.16g %.16g\n", -4., 5.);
  o.item("4 %.16g\n", 6.);
  o.item("3\n");
  o.item("x%d\t# initial guess\n", 1);
  o.item("%d %g\n", 2, 0.5);
  o.item("b\t#4 bounds\n");
  o.item("0 %.16g %.16g\n", -5., 10.);
  o.item("1 %.16g\n", 8.);
  o.item("2 %.16g\n", -3.);
  o.item("3\n");
  o.item("k%d\n", 3);
  o.item("%d\n", 3);
  o.item("%d\n", 5);
  o.item("%d\n", 6);
  o.item("J%d %d\n", 0, 2);
  o.item("%d %.16g\n", 0, 1.);
  o.item("%d %.16g\n", 1, 1.);
  o.item("J%d %d\n", 1, 2);
  o.item("%d %.16g\n", 0, 1.);
  o.item("%d %.16g\n", 1, -1.);
  o.item("J%d %d\n", 2, 1);
  o.item("%d %.16g\n", 2, 1.);
  o.item("J%d %d\n", 3, 2);
  o.item("%d %.16g\n", 0, 1.);
  o.item("%d %.16g\n", 3, 1.);
  return o.s;
}

nl_problem read(const std::string& s) {
  return read_nl_bytes("t.nl", reinterpret_cast<const unsigned char*>(s.data()),
                       s.size());
}

// The message of reading s, or "" when it reads.
std::string error_of(const std::string& s) {
  try {
    read(s);
  } catch (nl_error& e) {
    return e.what();
  }
  return "";
}

using terms = std::vector<std::pair<int, double>>;

terms row(const nl_problem& p, int i) {
  terms t;
  for (size_t k = p.row_start[i]; k < p.row_start[i + 1]; ++k)
    t.push_back({p.row_terms[k].index, p.row_terms[k].coef});
  return t;
}

TEST(NlRead, BothFormsReadTheSameProblem) {
  for (bool binary : {false, true}) {
    SCOPED_TRACE(binary ? "binary" : "text");
    nl_problem p = read(sample(binary));
    ASSERT_EQ(p.refusal, "");
    EXPECT_EQ(p.h.form, binary ? 'b' : 'g');
    EXPECT_EQ(p.h.n_opts, 4);
    EXPECT_EQ(p.h.opts[3], 0);
    EXPECT_EQ(p.h.niv, 1);
    EXPECT_EQ(p.var_lo, (std::vector<double>{-5, -INF, -3, -INF}));
    EXPECT_EQ(p.var_hi, (std::vector<double>{10, 8, INF, INF}));
    EXPECT_EQ(p.row_lo, (std::vector<double>{-INF, -4, 6, -INF}));
    EXPECT_EQ(p.row_hi, (std::vector<double>{16, 5, 6, INF}));
    EXPECT_EQ(row(p, 0), (terms{{0, 1}, {1, 1}}));
    EXPECT_EQ(row(p, 1), (terms{{0, 1}, {1, -1}}));
    EXPECT_EQ(row(p, 2), (terms{{2, 1}, {3, 2}}));
    EXPECT_EQ(row(p, 3), (terms{{0, 1}, {3, 1}}));
    EXPECT_EQ(p.obj_sense, std::vector<int>{0});
    EXPECT_EQ(p.obj_const, std::vector<double>{7});
    ASSERT_EQ(p.obj_terms[0].size(), 3u);
    EXPECT_EQ(p.obj_terms[0][1].index, 1);
    EXPECT_EQ(p.obj_terms[0][1].coef, 3);
  }
}

// A one-constraint, one-variable-pair problem whose C segment is the given
// graph items (text form).
std::string with_graph(const std::string& graph) {
  return header('g', "3 1 1 0", counts(2, 1, 0, 0, 0, 0, 0, 0, 0, 0)) +
         "C0\n" + graph + "r\n1 10\nb\n3\n3\n";
}

TEST(NlRead, AffineGraphsFold) {
  struct {
    const char* graph;
    double constant;  // moved into the bound: hi = 10 - constant
    terms t;
  } cases[] = {
      {"n0\n", 0, {}},
      {"n2.5\n", 2.5, {}},
      {"o0\nv0\nv1\n", 0, {{0, 1}, {1, 1}}},
      {"o1\nv0\nv1\n", 0, {{0, 1}, {1, -1}}},
      {"o1\nn3\nv1\n", 3, {{1, -1}}},
      {"o2\nn3\nv1\n", 0, {{1, 3}}},
      {"o2\nv1\nn-2\n", 0, {{1, -2}}},
      {"o3\nv0\nn4\n", 0, {{0, 0.25}}},
      {"o16\nv0\n", 0, {{0, -1}}},
      {"o54\n3\nv0\nn1\nv0\n", 1, {{0, 2}}},
      // -(2 * (x0 - 3)) / 2 + x1: nesting of every folded operator
      {"o0\no3\no16\no2\nn2\no1\nv0\nn3\nn2\nv1\n", 3, {{0, -1}, {1, 1}}},
      {"o2\nn0\nv0\n", 0, {{0, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.graph);
    nl_problem p = read(with_graph(c.graph));
    ASSERT_EQ(p.refusal, "");
    EXPECT_EQ(p.row_hi[0], 10 - c.constant);
    EXPECT_EQ(row(p, 0), c.t);
  }
}

TEST(NlRead, RefusesWhatALinearSolverCannotTake) {
  std::string lin = counts(2, 1, 0, 0, 0, 0, 0, 0, 0, 0);
  auto with_line = [&](int line, const char* text) {
    std::string c = lin;
    size_t at = 0;
    for (int i = 2; i < line; ++i) at = c.find('\n', at) + 1;
    c.replace(at, c.find('\n', at) - at, text);
    return header('g', "3 1 1 0", c) + "r\n1 10\nb\n3\n3\n";
  };
  struct {
    std::string file;
    const char* why;
  } cases[] = {
      {with_line(3, " 1 0"),
       "cannot solve nonlinear problems (1 nonlinear constraint)"},
      {with_line(3, " 0 2"),
       "cannot solve nonlinear problems (2 nonlinear objectives)"},
      {with_line(5, " 1 0 0"),
       "cannot solve nonlinear problems (1 nonlinear variable)"},
      {with_line(10, " 0 1 0 0 0"),
       "cannot solve nonlinear problems (1 defined variable)"},
      {with_line(2, " 2 1 0 0 0 3"),
       "cannot solve problems with logical constraints (3 logical "
       "constraints)"},
      {with_line(3, " 0 0 1 0 0 0"),
       "cannot solve complementarity problems (1 complementarity "
       "constraint)"},
      {with_line(2, " 2 1 0 0 0 0 4"),
       "cannot solve stochastic problems (4 random variables)"},
      {with_line(6, " 0 1"),
       "cannot solve problems that call imported functions (1 function)"},
      {header('z', "3 1 1 0", lin), "cannot read nl files of form z"},
      {header('P', "3 1 1 0", ""), "cannot read nl files of form P"},
      {with_graph("o5\nv0\nn2\n"),
       "cannot solve nonlinear problems (opcode 5 in constraint 0)"},
      {with_graph("o2\nv0\nv1\n"),
       "cannot solve nonlinear problems (product of variables in constraint "
       "0)"},
      {with_graph("o3\nn1\nv1\n"),
       "cannot solve nonlinear problems (division by a variable in "
       "constraint 0)"},
      {with_graph("f0 1\nv0\n"),
       "cannot solve problems that call imported functions"},
      {with_graph("n0\n") + "F0 0 1 f\n",
       "cannot solve problems that call imported functions"},
      {with_graph("n0\n") + "L0\nn1\n",
       "cannot solve problems with logical constraints"},
      {with_graph("n0\n") + "V2 0 0\nn0\n",
       "cannot solve nonlinear problems (defined variables)"},
      {header('g', "3 1 1 0", lin) + "r\n5 1 1\n",
       "cannot solve complementarity problems"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    nl_problem p = read(c.file);
    EXPECT_EQ(p.refusal, c.why);
    EXPECT_EQ(p.h.opts[0], 1);  // the option words are there to echo
  }
}

// Special ordered sets come from linearisations that the binaries and
// rows also state: the suffixes are read over, the problem is solved.
TEST(NlRead, SpecialOrderedSetsAreReadOver) {
  nl_problem p = read(with_graph("o0\nv0\nv1\n") +
                      "S0 2 sos\n0 20\n1 20\nS1 1 sos\n0 20\n"
                      "S4 2 sosref\n0 -1.5\n1 2\n");
  ASSERT_EQ(p.refusal, "");
  EXPECT_EQ(row(p, 0), (terms{{0, 1}, {1, 1}}));
  EXPECT_EQ(p.row_hi[0], 10);
}

TEST(NlRead, MalformedFilesAreErrorsWithTheirPlace) {
  std::string lin = counts(2, 1, 0, 0, 0, 0, 0, 0, 0, 0);
  std::string ok = header('g', "3 1 1 0", lin);
  std::string tail = "r\n1 10\nb\n3\n3\n";
  struct {
    std::string file;
    const char* message;
  } cases[] = {
      {"", "t.nl, line 1: unexpected end of file"},
      {"x3 1 1 0\n", "t.nl, line 1: not an nl problem file (it begins with "
                     "byte 120)"},
      {"g12 1 1 0\n", "t.nl, line 1: option count 12 out of range [0, 9]"},
      {header('g', "3 1 1 0", " 2 1 0 0\n"),
       "t.nl, line 2: expected 5 counts, found 4"},
      {header('g', "3 1 1 0", " 2 1 0 0 0 0 0 0\n"),
       "t.nl, line 2: too many counts"},
      {header('g', "3 1 1 0", " 2 -1 0 0 0\n"),
       "t.nl, line 2: count -1 out of range [0, 2147483647]"},
      {header('g', "3 1 1 0", " 2147483648 1 0 0 0\n"),
       "t.nl, line 2: count 2147483648 out of range [0, 2147483647]"},
      {header('g', "3 1 1 0", counts(2147483647, 1, 0, 0, 0, 0, 0, 0, 0, 0)) +
           tail,
       "t.nl, line 11: header claims 2147483647 variables; the file holds 13 "
       "bytes more"},
      {header('b', "3 1 1 0", counts(2, 1, 0, 0, 0, 0, 0, 0, 0, 2)),
       "t.nl, line 6: binary file of arithmetic kind 2; this machine's is 1"},
      {ok + "q\n", "t.nl, line 11: unknown segment letter 'q'"},
      {ok + "C0\no999\nv0\n" + tail, "t.nl, line 12: unknown opcode 999"},
      {ok + "C0\nv2\n" + tail, "t.nl, line 12: variable 2 out of range"},
      {ok + "C1\nn0\n" + tail,
       "t.nl, line 11: constraint 1 out of range [0, 0]"},
      {ok + "C0\nn0\nC0\nn0\n" + tail,
       "t.nl, line 13: second C segment for 0"},
      {ok + "C0\no3\nv0\nn0\n" + tail,
       "t.nl, line 14: division by zero in constraint 0"},
      {ok + "C0\nnnan\n" + tail, "t.nl, line 12: number is NaN"},
      {ok + "C0\nn1x\n" + tail, "t.nl, line 12: unexpected text \"x\""},
      {ok + "r\n1 10\n", "t.nl: no b segment"},
      {ok + "b\n3\n3\n", "t.nl: no r segment"},
      {ok + tail + "b\n3\n3\n", "t.nl, line 16: second b segment"},
      {ok + "r\n6 10\nb\n3\n3\n", "t.nl, line 12: bad bound code (byte 54)"},
      {ok + "r\n0 1 2\n" + "b\n3\n3\n",
       "t.nl: r segment has 1 ranges and 0 equalities; header "
       "claims 0 and 0"},
      {ok + tail + "J0 1\n0 1\n",
       "t.nl: J and G segments hold 1 and 0 terms; header claims 0 "
       "and 0"},
      {ok + tail + "J0 2\n0 1\n0 2\n", "t.nl, line 18: variable 0 appears "
                                       "twice"},
      {ok + tail + "J0 1\n0 inf\n", "t.nl, line 17: infinite coefficient"},
      {ok + tail + "x1\n2 0\n", "t.nl, line 17: variable 2 out of range "
                                "[0, 1]"},
      {ok + tail + "S0 3 p\n", "t.nl, line 16: suffix entry count 3 out of "
                               "range [0, 2]"},
      {ok + tail + "k1\n5\n", "t.nl, line 17: column length total 5 out of "
                              "order"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(error_of(c.file), c.message);
  }
  // The binary form gives the byte offset.
  std::string b = sample(true);
  size_t end_of_header = 0;
  for (int i = 0; i < 10; ++i) end_of_header = b.find('\n', end_of_header) + 1;
  b[end_of_header] = 'q';
  EXPECT_EQ(error_of(b), "t.nl, byte " + std::to_string(end_of_header + 1) +
                             ": unknown segment letter 'q'");
}

// A file cut anywhere is an error, never a read past its end (the
// sanitizers watch) and never a problem.
TEST(NlRead, EveryCutIsAnError) {
  for (bool binary : {false, true}) {
    std::string s = sample(binary);
    for (size_t n = 0; n < s.size(); ++n) {
      std::string cut = s.substr(0, n);
      std::vector<unsigned char> exact(cut.begin(), cut.end());
      EXPECT_THROW(read_nl_bytes("t.nl", exact.data(), exact.size()), nl_error)
          << (binary ? "binary" : "text") << " cut at " << n;
    }
  }
}

TEST(NlRead, FileErrors) {
  try {
    read_nl("/nonexistent/t.nl");
    FAIL();
  } catch (nl_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "can't open /nonexistent/t.nl: No such file or directory");
  }
}

}  // namespace
}  // namespace vexo
