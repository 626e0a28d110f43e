// The set and indexing printer and the string forms: enumerated sets,
// indexing expressions and the names of their dummies, the statement ends
// of the string forms, check texts, option literals and tuples.
#include "report/prset.h"

#include <gtest/gtest.h>

#include <string>

#include "report/indextab.h"
#include "report/prex.h"
#include "report_fixture.h"
#include "support/pool.h"

namespace vexo {
namespace {

class Prset : public test::Printer {
 protected:
  // The last declaration of text.
  xnode* last_of(const std::string& text) {
    parse_text(text);
    xnode* d = decls;
    while (d && d->next) d = d->next;
    return d;
  }
  static std::string set_text(set* s, int width = 79) {
    charblk* cb = nullptr;
    std::string t = sprsetdw(width, s, &cb);
    cbfree(cb);
    return t;
  }
};

// An enumerated set: braces with a blank inside each, members joined by a
// comma and a blank; without braces in a snapshot; an empty one "{ }".
TEST_F(Prset, EnumeratedSets) {
  set* s = set_enum(new_enum(), 1);
  EXPECT_EQ(set_text(s), "{ }");
  for (const char* m : {"a", "b c", "2"}) {
    symbol* sym = m[0] == '2' ? Number(2) : Symbol(m, 1);
    set_addmem(s, &sym);
  }
  quote_literals = 1;
  EXPECT_EQ(set_text(s), "{ 'a', 'b c', 2 }");
  quote_literals = 0;
  EXPECT_EQ(set_text(s), "{ a, b c, 2 }");
  in_snapshot = 2;
  EXPECT_EQ(set_text(s), " a, b c, 2");
  in_snapshot = 0;
  set* t = set_enum(new_enum(), 2);
  symbol* tup[2] = {Symbol("x", 1), Number(1)};
  set_addmem(t, tup);
  EXPECT_EQ(set_text(t), "{ (x,1) }");
}

// Indexing expressions: one dummy, a tuple of dummies, a tuple with a
// fixed component, a condition alone; each written with its trailing
// blank, and its dummies named inside the body.
TEST_F(Prset, IndexingExpressions) {
  quote_literals = 1;
  const char* decl =
      "set S; set T dimen 2; param a; param p {S}; param q {T};\n";
  struct row {
    const char* in;
    const char* out;
  };
  const row rows[] = {
      {"sum {i in S} p[i]", "sum{i in S} p[i]"},
      {"sum {(i, j) in T} q[i, j]", "sum{(i,j) in T} q[i,j]"},
      {"sum {(i, 'z') in T} p[i]", "sum{(i,'z') in T} p[i]"},
      // A dummy fixed to an outer one is written as the condition it was.
      {"sum {i in S, (x, y) in T: x == i} q[x, y]",
       "sum{i in S, (x,y) in T: x == i} q[x,y]"},
      {"sum {i in S, (x, y) in T: (p[i] > 0 || x == y) && x == i} 1",
       "sum{i in S, (x,y) in T: x == i && (p[i] > 0 || x == y)} 1"},
      {"sum {if a > 0} a", "sum{if a > 0} a"},
      {"sum {S, i in S: p[i] > 0} p[i]", "sum{S, i in S: p[i] > 0} p[i]"},
      {"sum {i in S} sum {j in S: j != i} p[i]*p[j]",
       "sum{i in S} sum{j in S: j != i} p[i]*p[j]"},
  };
  for (const row& r : rows) {
    fresh();
    quote_literals = 1;
    expr* e = expr_of(decl, ":= " + std::string(r.in));
    ASSERT_TRUE(e) << r.in;
    EXPECT_EQ(text_of(sprex2(e)), r.out) << r.in;
  }
}

// The printer takes the levels of the index table that an indexing uses
// only for its statement: afterwards the entries registered before (by an
// evaluation) are back.
TEST_F(Prset, IndexTableLevelsComeBack) {
  fresh();
  expr* e = expr_of("set S; param p {S};", ":= sum {i in S} p[i]");
  Index* outer = e->L.ss->first;
  Index* mark = reinterpret_cast<Index*>(&outer);  // any other entry
  Ind[1] = mark;
  firstdummy[2] = 7;
  std::string t = text_of(sprex(e));
  EXPECT_EQ(t, "sum{i in S} p[i];\n");
  EXPECT_EQ(Ind[1], mark);
  EXPECT_EQ(firstdummy[2], 7);
  indextab_reset();
  // With display_kludge a dummy is written as its column number.
  display_kludge = 1;
  EXPECT_EQ(text_of(sprex2(e)), "sum{i in S} p[$0]");
  display_kludge = 0;
}

// The statement ends of the string forms; a set that has a declaring
// entity is written by its name, except in that entity's own declaration.
TEST_F(Prset, StringForms) {
  expr* e = expr_of("var y;", ":= 2 + 1");
  ASSERT_TRUE(e);
  EXPECT_EQ(text_of(sprex(e)), "2 + 1;\n");
  EXPECT_EQ(text_of(sprex2(e)), "2 + 1");
  fresh();
  xnode* u = last_of("set S; set U := S union {1};");
  set* us = static_cast<setdcl*>(u)->asgn;
  EXPECT_EQ(text_of(sprset(us, 1)), "U");
  EXPECT_EQ(text_of(sprset(us, 0)), "within U;\n");
  x_current = u;
  EXPECT_EQ(text_of(sprset(us, 1)), "S union  {1}");
  EXPECT_EQ(text_of(sprset(us, 0)), "within S union  {1};\n");
  x_current = nullptr;
}

// A check's text: its indexing and condition, or the expression given
// with compiled values written as numbers.
TEST_F(Prset, CheckTexts) {
  xnode* c = last_of("set S; param p {S}; check {i in S}: p[i] >= 0;");
  ASSERT_EQ(c->kind, DK_CHECK);
  EXPECT_STREQ(scheck(static_cast<check*>(c), nullptr),
               "check{i in S} : p[i] >= 0;\n");
  EXPECT_STREQ(scheck(static_cast<check*>(c), static_cast<check*>(c)->cond),
               "check p[i] >= 0;\n");
}

// Option values become literals: bare names stay bare, anything else is
// quoted with inner quotes doubled and newlines after a backslash.
TEST_F(Prset, OptionLiterals) {
  struct row {
    const char* in;
    const char* out;
  };
  const row rows[] = {{"abc", "abc"},   {"it's", "\"it's\""},
                      {"a b", "'a b'"}, {"x'y\"z", "'x''y\"z'"},
                      {"1.5", "'1.5'"}, {"two\nlines", "'two\\\nlines'"},
                      {"", "''"}};
  for (const row& r : rows) {
    char* buf;
    int k;
    EXPECT_STREQ(make_lit(r.in, &buf, &k), r.out) << r.in;
    del_mblk(k, buf);
  }
}

TEST_F(Prset, Tuples) {
  symbol* t[3] = {Symbol("a", 1), Number(2.5), Symbol("b c", 1)};
  EXPECT_STREQ(prtuple(t, 3), "a,2.5,b c");
  EXPECT_STREQ(prtuple(t, 1), "a");
  EXPECT_STREQ(prtuple(t, 0), "");
}

}  // namespace
}  // namespace vexo
