// The expression printer: the fewest parentheses the precedences allow,
// text that the parser reads back as the same tree, the line buffer's
// width rule and line breaks, and the string forms.
#include "report/prex.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "frontend/exprbuild.h"
#include "frontend/refs.h"
#include "frontend/suffix.h"
#include "report/prset.h"
#include "report_fixture.h"

namespace vexo {
namespace {

using test::dump_expr;

const char* const decls_ab =
    "param a; param b; param c; param d; set S; set T dimen 2;\n"
    "set W ordered; param s symbolic; param t symbolic;\n"
    "param p {S}; param q {W}; set A; set B; set C; function fn;\n"
    "environ e; environ f {1..2, {'u', 'v'}};";

class Prex : public test::Printer {
 protected:
  // The text sprex2 gives for text (parsed as the value of a param, with
  // the given attributes), and whether that text reads back as the same
  // tree.
  std::string round(const std::string& text, const std::string& attrs = "") {
    fresh();
    quote_literals = 1;
    expr* e = expr_of(decls_ab, attrs + " := " + text);
    if (!e) return "<no tree>";
    std::string before = dump_expr(e);
    std::string printed = text_of(sprex2(e));
    fresh();
    quote_literals = 1;
    expr* again = expr_of(decls_ab, attrs + " := " + printed);
    EXPECT_TRUE(again) << printed;
    if (again) {
      EXPECT_EQ(dump_expr(again), before) << text << " -> " << printed;
    }
    return printed;
  }
};

TEST_F(Prex, PrecedenceGivesTheFewestParentheses) {
  struct row {
    const char* in;
    const char* out;
  };
  const row rows[] = {
      {"(a + b)*c", "(a + b)*c"},
      {"a - (b - c)", "a - (b - c)"},
      {"(a - b) - c", "a - b - c"},
      {"a + (b + c)", "a + (b + c)"},
      {"-(a^b)", "-a^b"},
      {"-a^b", "-a^b"},
      {"(-a)^b", "(-a)^b"},
      {"a^(b^c)", "a^b^c"},
      {"(a^b)^c", "(a^b)^c"},
      {"-(a + b)", "-(a + b)"},
      {"-a", "-a"},
      // A minus taken off a product's operand is written where it was.
      {"a*-b", "a*-b"},
      {"(-a)*b", "-a*b"},
      {"-(a*b)", "-(a*b)"},
      {"a*(-b)*c", "a*-b*c"},
      {"c/((-a)*b) - d mod (a/-b)", "c/(-a*b) - d mod (a/-b)"},
      {"(-a)*(-b)", "a*b"},
      {"(-2)^2", "(-2)^2"},
      {"-2^2", "-2^2"},
      {"a - -2", "a - -2"},
      {"a/(b*c)", "a/(b*c)"},
      {"a/b*c", "a/b*c"},
      {"a mod b div c", "a mod b div c"},
      {"a less (b less c)", "a less (b less c)"},
      {"sum {i in S} (p[i] + 1)", "sum{i in S} (p[i] + 1)"},
      {"sum {i in S} p[i]*2", "sum{i in S} p[i]*2"},
      {"2*sum {i in S} p[i]", "2*(sum{i in S} p[i])"},
      {"sum {i in S} p[i] + 1", "sum{i in S} p[i] + 1"},
      {"prod {i in S: p[i] > 0} p[i]^2", "prod{i in S: p[i] > 0} p[i]^2"},
      {"max {(i, j) in T} (p[i] - p[j])", "max{(i,j) in T} (p[i] - p[j])"},
      {"if a > 0 then b", " if a > 0 then b"},
      {"if a > 0 then b else c + 1", " if a > 0 then b else c + 1"},
      {"(if a > 0 then b else c) + 1", "( if a > 0 then b else c) + 1"},
      {"if a > 0 then (if b > 0 then 1) else 2",
       " if a > 0 then ( if b > 0 then 1) else 2"},
      {"if a < b < c then 1", " if a < b < c then 1"},
      {"if !(a > b) || c <= d && a != 0 then 1",
       " if !(a > b) || c <= d && a != 0 then 1"},
      {"if (!a) + 1 > 0 then 1", " if (!a) + 1 > 0 then 1"},
      {"if exists {i in S} p[i] > 0 && a > 0 then 1",
       " if exists{i in S} p[i] > 0 && a > 0 then 1"},
      {"if (exists {i in S} p[i] > 0) && a > 0 then 1",
       " if (exists{i in S} p[i] > 0) && a > 0 then 1"},
      {"if forall {i in S} (p[i] > 0 || a > 0) then 1",
       " if forall{i in S} (p[i] > 0 || a > 0) then 1"},
      {"if a in S then 1", " if a in S then 1"},
      {"if (a, b) in T then 1", " if (a,b) in T then 1"},
      {"if a not in A union B inter C then 1",
       " if a not in A union B inter C then 1"},
      {"if (A union B) inter C within S then 1",
       " if (A union B) inter C within S then 1"},
      {"card(A diff (B diff C))", "card(A diff (B diff C))"},
      {"card({i in 1..10 by 2})", "card(1 .. 10 by 2)"},
      {"card({i in S: p[i] > 0})", "card({i in S: p[i] > 0} )"},
      {"card(setof {i in S} (i, i))", "card( setof {i in S} (i,i))"},
      {"card({'u', 'v'})", "card( {'u', 'v'})"},
      {"card(S cross (A cross B))", "card(S cross (A cross B))"},
      {"card(union {i in S} A inter B)", "card( union {i in S} A inter B)"},
      {"card(union {i in S} (A union B))", "card( union {i in S} (A union B))"},
      {"ord(a, W) + card(if a > 0 then A else B)",
       "ord(a, W) + card((if a > 0 then A else B))"},
      {"sum {i in W} (q[next(i, W)] + q[prev(i, W, 2)] + q[prev(i)] + "
       "ord(i) + q[nextw(i, W, a)] + q[prevw(i, W, a + 1)] + q[last(W)])",
       "sum{i in W} (q[next(i, W)] + q[prev(i, W, 2)] + q[prev(i, W)] + "
       "ord(i, W) + q[nextw(i, W, a)] + q[prevw(i, W, a + 1)] + "
       "q[last(W)])"},
      {"min(a, b, 3) + max {i in S} p[i]", " min(a,b,3) + max{i in S} p[i]"},
      {"count {i in S} (p[i] > 0)", "count({i in S} (p[i] > 0))"},
      {"floor(a) + round(b, 2) + round(c) + atan2(a, b) + log(exp(d))",
       "floor(a) + round(b, 2) + round(c) + atan2(a, b) + log(exp(d))"},
      {"length(s & t & 'x')", "length(s & t & 'x')"},
      {"length(s & (a + 1) & 'u''v')", "length(s & a + 1 & \"u'v\")"},
      {"length(s & (a < b))", "length(s & (a < b))"},
      {"fn(a, 2) + fn() + length(alias(p))",
       "fn(a, 2) + fn() + length(alias(p))"},
      {"q[member(2, W)] + ord0(a, W) + num('12') + match(s, 'x+')",
       "q[member(2, W)] + ord0(a, W) + num('12') + match(s, 'x+')"},
      {"length($solver & $$solver & $'a b' & $(s & 'x') & $e.opt & "
       "$$f[1, 'u'].opt & $e.'o p')",
       "length($solver & $$solver & $'a b' & $(s & 'x') & $e.opt & "
       "$$f[1,'u'].opt & $e.'o p')"},
      {"length($$(s & 'x') & $e.(s & 'y') & $f[a, s].(s) & $$(s))",
       "length($$(s & 'x') & $e.(s & 'y') & $f[a,s].(s) & $$(s))"},
      {"length(s & (if a > 0 then 'u' else 'v'))",
       "length(s & ( if a > 0 then 'u' else 'v'))"},
  };
  for (const row& r : rows) EXPECT_EQ(round(r.in), r.out) << r.in;
}

// Symbolic values and literals: quoted where the text would not read back
// as a name.
TEST_F(Prex, LiteralsAndSymbolicValues) {
  EXPECT_EQ(round("if s == 'a b' then t else 'c'", "symbolic"),
            " if s == 'a b' then t else 'c'");
  EXPECT_EQ(round("q[first(W)] + p['x'] + p[1] + p['1'] + p[a + 1]"),
            "q[first(W)] + p['x'] + p[1] + p['1'] + p[a + 1]");
  // Messages write members bare unless quote_literals is set.
  fresh();
  EXPECT_EQ(text_of(sprex2(expr_of(decls_ab, ":= p['x']"))), "p[x]");
}

// Built-in suffixes on references (which declarations refuse): the
// entity, its subscripts and the suffix, written whole.
TEST_F(Prex, SuffixReferences) {
  parse_text("set S; var v; var x {S}; subject to c {S}: v >= 0;\n");
  auto ref = [](const char* name, const char* sub) {
    xnode* d = static_cast<xnode*>(Symbol(name, 0)->binding);
    expr* subs = sub ? subs_of(new_str(new_cstring(sub))) : nullptr;
    return d->kind == DK_CONI ? dual_val(d, subs) : cvar_ref(d, subs);
  };
  quote_literals = 1;
  expr* e =
      binop(opword(OPPLUS, 2), thingdot(ref("v", nullptr), new_cstring("lb")),
            thingdot(ref("x", "a"), new_cstring("ub")), bop_plumin);
  e = mulop(opword(OPMULT, 2), e, thingdot(ref("c", "b"), new_cstring("dual")),
            bop_mult);
  EXPECT_EQ(text_of(sprex2(e)), "(v.lb + x['a'].ub)*c['b'].dual");
}

// Numbers: the shortest text that reads back, or MD_prec digits; -0 keeps
// its sign.
TEST_F(Prex, NumbersReadBackExactly) {
  EXPECT_EQ(round("0.1 + 1e-300 + 12345678901234567"),
            "0.1 + 1e-300 + 12345678901234568");
  EXPECT_EQ(round("a*(-0)"), "a*-0");
  fresh();
  expr* e = expr_of(decls_ab, ":= 3.14159265358979");
  EXPECT_EQ(text_of(sprex3(e, 3)), "3.14");
  MD_prec = 2;
  EXPECT_EQ(text_of(sprex2(e)), "3.1");
}

// sprex ends the text as a statement; a long expression wraps at
// display_width, continuation lines start with two blanks, and the text
// still reads back as the same tree.
TEST_F(Prex, LongExpressionsWrapAtTheDisplayWidth) {
  std::string text = "a";
  for (int i = 0; i < 40; ++i) text += " + sum {i in S} p[i]*b";
  fresh();
  expr* e = expr_of(decls_ab, ":= " + text);
  std::string before = dump_expr(e);
  display_width = 40;
  std::string s = text_of(sprex(e));
  ASSERT_GT(s.size(), 3u);
  EXPECT_EQ(s.substr(s.size() - 2), ";\n");
  std::istringstream in(s);
  std::string line;
  int n = 0;
  while (std::getline(in, line)) {
    EXPECT_LT(line.size(), 40u) << line;
    if (n++) {
      EXPECT_EQ(line.substr(0, 2), "  ") << line;
    }
  }
  EXPECT_GT(n, 10);
  display_width = 79;
  fresh();
  std::string body = s.substr(0, s.size() - 2);
  expr* again = expr_of(decls_ab, ":= " + body);
  ASSERT_TRUE(again);
  EXPECT_EQ(dump_expr(again), before);
  // The same expression on one line when written by sprex2.
  EXPECT_EQ(text_of(sprex2(again)).find('\n'), std::string::npos);
}

// The width rule of put: a token of more than three characters is charged
// three more; a line of two bytes or fewer takes any token; a broken line
// loses its trailing blanks in print mode and keeps them in string mode.
TEST_F(Prex, LineBufferWidthRule) {
  disp_width = 10;
  std::string out = printed([] {
    put("abc ");                   // 4 chars, charged 7: 0 + 7 < 10
    put("xy");                     // 4 + 2 < 10
    put("pqrs");                   // 6 + 7 >= 10: breaks
    put("longer than the width");  // the line holds 2 bytes: stays
    put("z");
    pbi_flush();
  });
  EXPECT_EQ(out, "abc xy\n  pqrs\n  longer than the width\n  z;\n");
  disp_width = 10;
  out = printed([] {
    put("ab");
    put("cdefgh");  // the line holds two bytes: no break
    put("ijk");
    pbi_flush1();
    put("x");
    pbi_flush();
  });
  EXPECT_EQ(out, "abcdefgh\n  ijk\n    x;\n");
  // "a + " then a name that does not fit: the broken line ends in a blank,
  // which print mode drops and string mode keeps.
  fresh();
  expr* e = expr_of("param bbbb;", ":= 1 + bbbb");
  disp_width = 10;
  out = printed([&] {
    prex(e);
    pbi_flush();
  });
  EXPECT_EQ(out, "1 +\n  bbbb;\n");
  charblk* cb = nullptr;
  std::string s = sprexdw(10, e, &cb);
  cbfree(cb);
  EXPECT_EQ(s, "1 + \n  bbbb");
  // An indexing that would open within 9 columns of the margin starts a
  // new line.
  fresh();
  e = expr_of("set S; param p {S};", ":= 1 + 2 + sum {i in S} p[i]");
  cb = nullptr;
  s = sprexdw(20, e, &cb);
  cbfree(cb);
  EXPECT_EQ(s, "1 + 2 + sum\n  {i in S} p[i]");
}

// A token longer than any line buffer the lexer keeps is written whole.
TEST_F(Prex, LongStringLiteral) {
  std::string lit(3000, 'q');
  EXPECT_EQ(round("length('" + lit + "')"), "length('" + lit + "')");
}

// Debugging listing and operator names.
TEST_F(Prex, PrintexprAndOpName) {
  fresh();
  expr* e = expr_of(decls_ab, ":= a + 1");
  std::string out = printed([&] { printexpr(e); });
  EXPECT_EQ(out, "# a + 1;\n");
  EXPECT_STREQ(op_name(OPPLUS), " + ");
  EXPECT_STREQ(op_name(OP_atan2), "atan2");
  EXPECT_STREQ(op_name(142), "Svexoe/*string*/");
  EXPECT_EQ(op_name(143), nullptr);
  EXPECT_EQ(op_name(OPNUM), nullptr);
  EXPECT_EQ(op_name(286), nullptr);
  EXPECT_EQ(op_name(-1), nullptr);
}

}  // namespace
}  // namespace vexo
