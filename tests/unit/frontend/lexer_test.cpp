// The lexer: tokens by state and start condition, numbers and names,
// option names and values, the errors with their context lines (the
// scanner's read-ahead shows there), braces, includes, and declared
// names through the remap tables.
#include "frontend/lexer.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/decl.h"
#include "frontend/keywords.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "frontend/vardcl.h"
#include "frontend_fixture.h"
#include "session/include.h"
#include "support/block.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::run_captured;
using strings = std::vector<std::string>;

// Token descriptions: "#<code>" for a token without a printed value.
std::string K(uint32_t code) { return "#" + std::to_string(code); }

class Lexer : public ::testing::Test, protected test::InputDir {
 protected:
  void SetUp() override {
    test::reset_input();
    no_hexfp = 0;
    enter("/tmp/vexo_lexer_XXXXXX");
  }
  void TearDown() override {
    no_hexfp = 0;
    leave();
  }

  static std::string describe(int t) {
    char num[40];
    switch (t) {
      case 0:
        return "EOF";
      case TK_NEWNAME:
        return std::string("name:") + yylval.sym->name;
      case TK_STMT_NEWNAME:
        return std::string("sname:") + yylval.sym->name;
      case TK_PLAINNAME:
        return std::string("plain:") + yylval.sym->name;
      case TK_NUMBER:
        g_fmt(num, yylval.d, 0);
        return std::string("num:") + num;
      case TK_STRING:
        return std::string("str:") + yylval.str->text();
      case TK_WORD:
        return std::string("word:") + yylval.str->text();
      case TK_OPTNAME:
        return std::string("opt:") + yylval.str->text();
      case TK_FILENAME:
        return std::string("file:") + yylval.str->text();
      case TK_COMPARE:
      case TK_ITLOGIC:
        return K(t) + "=" + std::to_string(yylval.i);
      default:
        if (t > 0 && t < 128) return std::string(1, static_cast<char>(t));
        return K(t);
    }
  }

  // Every token up to the end of input; like the grammar, a ";" starts a
  // new statement.
  static strings lex_all() {
    strings v;
    for (int guard = 0; guard < 1000; ++guard) {
      int t = yylex();
      v.push_back(describe(t));
      if (t == 0) break;
      if (t == ';' && cmd_start != CS_SKIPPED) cmd_start = CS_START;
    }
    return v;
  }

  // Lexes one file m.mod holding text; err receives the messages.
  strings lex_text(const std::string& text, std::string* err = nullptr) {
    strings got;
    cmd_start = CS_START;
    yysptr = yysbuf;
    yy_special = 0;
    auto r = run_captured([&] {
      inputs({"m.mod", text});
      got = lex_all();
    });
    EXPECT_FALSE(r.exited || r.aborted) << text;
    if (err) {
      *err = r.err;
    } else {
      EXPECT_EQ(r.err, "") << text;
    }
    return got;
  }

  // A declaration record of kind k bound to name.
  xnode* declare(const char* name, uint32_t k) {
    // The lexer reads a variable's or constraint's record as a convar:
    // every record is made that large (zeroed, from the pool).
    xnode* x = static_cast<xnode*>(mem(sizeof(convar)));
    x->kind = k;
    x->name = Symbol(name, 1);
    x->oldval = x->name->binding;
    x->num = dac.next++;
    dac.bynum[x->num] = x;
    x->name->binding = x;
    return x;
  }
};

TEST_F(Lexer, SubjectToFormsAtAStatementStart) {
  for (const char* s :
       {"s.t. c: x >= 0;", "subject to c: x >= 0;", "subj to c: x >= 0;",
        "subjto c: x >= 0;", "and s.t. c: x >= 0;", "subject   to c: x >= 0;",
        "subj c: x >= 0;", "and  subject to c: x >= 0;"}) {
    strings got = lex_text(s);
    ASSERT_GE(got.size(), 2u) << s;
    EXPECT_EQ(got[0], K(TK_SUBJECT_TO)) << s;
    EXPECT_EQ(got[1], "name:c") << s;
    EXPECT_EQ(rvfix, rvfix1);
  }
  // Inside a statement the words are plain names and characters; "subject"
  // alone and "and" alone start a statement as names.
  EXPECT_EQ(lex_text("display s.t.;"),
            (strings{K(TK_DISPLAY), "name:s", ".", "name:t", ".", ";", "EOF"}));
  EXPECT_EQ(lex_text("subject x;"),
            (strings{"sname:subject", "name:x", ";", "EOF"}));
  EXPECT_EQ(lex_text("and x;"), (strings{"sname:and", "name:x", ";", "EOF"}));
}

TEST_F(Lexer, NumbersAndNames) {
  EXPECT_EQ(lex_text("display 2x, 2d3, 1..3, 0x10, 0x;"),
            (strings{K(TK_DISPLAY), "name:2x", ",", "num:2000", ",", "num:1",
                     K(TK_DOTDOT), "num:3", ",", "num:16", ",", "name:0x", ";",
                     "EOF"}));
  EXPECT_EQ(
      lex_text("display 2e, 2e3, 1x10, .5, 3., 1.5e-2, 4D+1, 0x1p3, "
               "x2_y;"),
      (strings{K(TK_DISPLAY), "name:2e",   ",",         "num:2000", ",",
               "name:1x10",   ",",         "num:0.5",   ",",        "num:3",
               ",",           "num:0.015", ",",         "num:40",   ",",
               "num:8",       ",",         "name:x2_y", ";",        "EOF"}));
  no_hexfp = 1;
  EXPECT_EQ(lex_text("display 0x1p3, 0x1.8;"),
            (strings{K(TK_DISPLAY), "name:0x1p3", ",", "name:0x1", "num:0.8",
                     ";", "EOF"}));
}

TEST_F(Lexer, Operators) {
  EXPECT_EQ(lex_text("display a<=b,a<>b,a!=b,a/=b,a=b,a==b,a>=b,a==>b,a<==b,"
                     "a<==>b,a**b,a^b,a:=b,a&&b,a||b,!a,a<<b>>c,a&b,[a](b);"),
            (strings{K(TK_DISPLAY),
                     "name:a",
                     K(TK_COMPARE) + "=11778",
                     "name:b",
                     ",",
                     "name:a",
                     K(TK_COMPARE) + "=15360",
                     "name:b",
                     ",",
                     "name:a",
                     K(TK_COMPARE) + "=15360",
                     "name:b",
                     ",",
                     "name:a",
                     K(TK_COMPARE) + "=15360",
                     "name:b",
                     ",",
                     "name:a",
                     K(TK_COMPARE) + "=12288",
                     "name:b",
                     ",",
                     "name:a",
                     K(TK_COMPARE) + "=12288",
                     "name:b",
                     ",",
                     "name:a",
                     K(TK_COMPARE) + "=14338",
                     "name:b",
                     ",",
                     "name:a",
                     K(TK_IMPLIES),
                     "name:b",
                     ",",
                     "name:a",
                     K(TK_REVIMPLIES),
                     "name:b",
                     ",",
                     "name:a",
                     K(TK_IFF),
                     "name:b",
                     ",",
                     "name:a",
                     "^",
                     "name:b",
                     ",",
                     "name:a",
                     "^",
                     "name:b",
                     ",",
                     "name:a",
                     K(TK_ASSIGN),
                     "name:b",
                     ",",
                     "name:a",
                     K(TK_AND),
                     "name:b",
                     ",",
                     "name:a",
                     K(TK_OR),
                     "name:b",
                     ",",
                     K(TK_NOT),
                     "name:a",
                     ",",
                     "name:a",
                     K(TK_LTLT),
                     "name:b",
                     K(TK_GTGT),
                     "name:c",
                     ",",
                     "name:a",
                     "&",
                     "name:b",
                     ",",
                     "[",
                     "name:a",
                     "]",
                     "(",
                     "name:b",
                     ")",
                     ";",
                     "EOF"}));
}

TEST_F(Lexer, OptionNamesPatternsAndValues) {
  EXPECT_EQ(lex_text("option solver*;"),
            (strings{K(TK_OPTION), "opt:*solver*", ";", "EOF"}));
  EXPECT_EQ(lex_text("option x 1e-3;"),
            (strings{K(TK_OPTION), "opt:x", "word:1e-3", ";", "EOF"}));
  EXPECT_EQ(lex_text("option *prec* -2;"),
            (strings{K(TK_OPTION), "opt:**prec*", "word:-2", ";", "EOF"}));
  EXPECT_EQ(lex_text("option s x.y_1+2;"),
            (strings{K(TK_OPTION), "opt:s", "word:x.y_1+2", ";", "EOF"}));
  EXPECT_EQ(lex_text("option w 1..3;"),
            (strings{K(TK_OPTION), "opt:w", "word:1..3", ";", "EOF"}));
}

TEST_F(Lexer, ReservedWordReportsWithTheReadAheadInItsContext) {
  std::string err;
  strings got = lex_text("param sum;\nparam p;\n", &err);
  EXPECT_EQ(err,
            "\nm.mod, line 1 (offset 6):\n\tsum is reserved\n"
            "context:  param  >>> sum; <<< \n");
  // The filler token, the three injected semicolons (the first read in
  // the skip state), then the next statement as usual.
  EXPECT_EQ(got, (strings{K(TK_PARAM), K(TK_ERRFILL), ";", ";", ";",
                          K(TK_PARAM), "name:p", ";", "EOF"}));
  EXPECT_EQ(rc, 2);
}

TEST_F(Lexer, AlreadyDefinedAndDeclaredNames) {
  declare("p", DK_PARAM);
  xnode* lg = declare("logical", DK_PARAM);
  std::string err;
  strings got = lex_text("param p;\ndisplay logical;\n", &err);
  EXPECT_EQ(err,
            "\nm.mod, line 1 (offset 6):\n\tp is already defined\n"
            "context:  param  >>> p; <<< \n");
  EXPECT_EQ(got, (strings{K(TK_PARAM), K(TK_ERRFILL), ";", ";", ";",
                          K(TK_DISPLAY), K(TK_PARAMNAME), ";", "EOF"}));
  EXPECT_EQ(dac.n, 1);
  EXPECT_EQ(dac.list[0], static_cast<uint32_t>(lg->num));
}

TEST_F(Lexer, LogicalIsATypeWordUntilDeclared) {
  int t[2] = {};
  intptr_t v = 0;
  run_captured([&] {
    inputs({"m.mod", "display logical;"});
    t[0] = yylex();
    t[1] = yylex();
    v = yylval.i;
  });
  EXPECT_EQ(t[0], static_cast<int>(TK_DISPLAY));
  EXPECT_EQ(t[1], static_cast<int>(TK_TYPEWORD));
  EXPECT_EQ(v, 2);
}

TEST_F(Lexer, DisplayDeclaredAsAParameter) {
  xnode* d = declare("display", DK_PARAM);
  strings got;
  std::vector<void*> vals;
  auto r = run_captured([&] {
    inputs({"m.mod", "display display;"});
    for (;;) {
      int t = yylex();
      got.push_back(describe(t));
      vals.push_back(yylval.p);
      if (!t) break;
    }
  });
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(got, (strings{K(TK_DISPLAY), K(TK_PARAMNAME), ";", "EOF"}));
  EXPECT_EQ(vals[1], d);
  EXPECT_EQ(dac.n, 1);
}

TEST_F(Lexer, RemapByStatementWord) {
  declare("x", DK_VAR);
  declare("c", DK_CON);
  declare("e", DK_ENV);
  EXPECT_EQ(lex_text("display x, c, e;"),
            (strings{K(TK_DISPLAY), K(TK_CVAR), ",", K(TK_CCON), ",", "name:e",
                     ";", "EOF"}));
  EXPECT_EQ(lex_text("s.t. c2: x >= 0;"),
            (strings{K(TK_SUBJECT_TO), "name:c2", ":", K(TK_DVAR),
                     K(TK_COMPARE) + "=14338", "num:0", ";", "EOF"}));
}

TEST_F(Lexer, OversizeTokenSkipsTheStatement) {
  std::string name(200, 'a');
  std::string err;
  strings got = lex_text("display " + name + ", b;\ndisplay c;\n", &err);
  EXPECT_NE(
      err.find("Oversize token starting \"" + name.substr(0, 199) + "\"\n"),
      std::string::npos)
      << err;
  EXPECT_EQ(got, (strings{K(TK_DISPLAY), K(TK_ERRFILL), ";", ";", ";",
                          K(TK_DISPLAY), "name:c", ";", "EOF"}));
  // 198 letters are a name.
  std::string ok(198, 'b');
  EXPECT_EQ(lex_text("display " + ok + ";"),
            (strings{K(TK_DISPLAY), "name:" + ok, ";", "EOF"}));
}

TEST_F(Lexer, Braces) {
  std::string err;
  EXPECT_EQ(lex_text("} x y;\ndisplay z;\n", &err),
            (strings{";", K(TK_DISPLAY), "name:z", ";", "EOF"}));
  EXPECT_NE(err.find("\textra }\n"), std::string::npos) << err;
  EXPECT_EQ(bracecnt, 0);

  EXPECT_EQ(lex_text("{ display x; } display {i in I} i;"),
            (strings{K(TK_STMT_LBRACE), K(TK_DISPLAY), "name:x", ";",
                     K(TK_STMT_RBRACE), K(TK_DISPLAY), "{", "name:i", K(TK_IN),
                     "name:I", "}", "name:i", ";", "EOF"}));
  // A "}" at the depth in semibrace gets a ";" first.
  strings got;
  cmd_start = CS_START;
  auto r = run_captured([&] {
    inputs({"m.mod", "{ display x }"});
    got.push_back(describe(yylex()));
    semibrace = 0;
    got.push_back(describe(yylex()));
    got.push_back(describe(yylex()));
    got.push_back(describe(yylex()));
    cmd_start = CS_START;
    got.push_back(describe(yylex()));
  });
  EXPECT_EQ(got, (strings{K(TK_STMT_LBRACE), K(TK_DISPLAY), "name:x", ";",
                          K(TK_STMT_RBRACE)}));
  EXPECT_EQ(semibrace, -1);
}

TEST_F(Lexer, QuitWordAndPhrases) {
  EXPECT_EQ(lex_text("q;"), (strings{K(TK_QUIT), ";", "EOF"}));
  EXPECT_EQ(lex_text("q\n"), (strings{K(TK_QUIT), "EOF"}));
  EXPECT_EQ(lex_text("q := 1;"),
            (strings{"sname:q", K(TK_ASSIGN), "num:1", ";", "EOF"}));
  EXPECT_EQ(lex_text("display q;"),
            (strings{K(TK_DISPLAY), "name:q", ";", "EOF"}));
  EXPECT_EQ(lex_text("display there  exists, for all;"),
            (strings{K(TK_DISPLAY), K(TK_ITLOGIC) + "=8704", ",",
                     K(TK_ITLOGIC) + "=9216", ";", "EOF"}));
  // A tab is no space here: the words are lexed one by one ("exists" is
  // the reserved word, "for" a name).
  EXPECT_EQ(lex_text("display there\texists, for\tall;"),
            (strings{K(TK_DISPLAY), "name:there", K(TK_ITLOGIC) + "=8704", ",",
                     "name:for", K(TK_ALL), ";", "EOF"}));
}

TEST_F(Lexer, FileNamesAndPlainNames) {
  EXPECT_EQ(lex_text("model dir/m2.mod;"),
            (strings{K(TK_MODEL), "file:dir/m2.mod", ";", "EOF"}));
  EXPECT_EQ(lex_text("data \"a b.dat\";"),
            (strings{K(TK_DATA), "file:a b.dat", ";", "EOF"}));
  std::string err;
  EXPECT_EQ(lex_text("model ab\"cd\";\ndisplay x;\n", &err),
            (strings{K(TK_MODEL), K(TK_ERRFILL), ";", ";", ";", K(TK_DISPLAY),
                     "name:x", ";", "EOF"}));
  EXPECT_NE(err.find("\tBad filename syntax.\n"), std::string::npos) << err;
  EXPECT_EQ(lex_text("write table t;"),
            (strings{K(TK_WRITE), K(TK_TABLE), "name:t", ";", "EOF"}));
  EXPECT_EQ(lex_text("write bout{i in I};"),
            (strings{K(TK_WRITE), "file:bout", "{", "name:i", K(TK_IN),
                     "name:I", "}", ";", "EOF"}));
  EXPECT_EQ(lex_text("show end, sum;"),
            (strings{K(TK_SHOW), "plain:end", ",", "plain:sum", ";", "EOF"}));
  // In a show list only the words that name a kind are tokens.
  rlook8 = 1;
  EXPECT_EQ(lex_text("show sum, suffix s;"),
            (strings{K(TK_SHOW), "plain:sum", ",", K(TK_SUFFIX), "plain:s",
                     ";", "EOF"}));
  EXPECT_EQ(
      lex_text("display $x, \"s t\";"),
      (strings{K(TK_DISPLAY), "$", "word:x", ",", "str:s t", ";", "EOF"}));
}

TEST_F(Lexer, EndDropsTheRestOfTheFile) {
  strings got;
  auto r = run_captured([&] {
    inputs(
        {"m.mod", "display a;\nend;\ndisplay b;\n", "n.mod", "display c;\n"});
    got = lex_all();
  });
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(got, (strings{K(TK_DISPLAY), "name:a", ";", ";", K(TK_DISPLAY),
                          "name:c", ";", "EOF"}));
}

TEST_F(Lexer, SingleSteppingWordIgnoredAtTopLevel) {
  std::string err;
  EXPECT_EQ(lex_text("step display x;", &err),
            (strings{K(TK_DISPLAY), "name:x", ";", "EOF"}));
  EXPECT_NE(err.find("Single-stepping command \"step\" ignored."),
            std::string::npos)
      << err;
}

TEST_F(Lexer, IncludeInTheMiddleOfAStatement) {
  write_file("f2.mod", "b,\nc");
  write_file("f3.mod", "d");
  EXPECT_EQ(lex_text("display a, include \"f2.mod\";\n"),
            (strings{K(TK_DISPLAY), "name:a", ",", "name:b", ",", "name:c", ";",
                     "EOF"}));
  EXPECT_EQ(lex_text("display a, include f3.mod, e;\n"),
            (strings{K(TK_DISPLAY), "name:a", ",", "name:d", ",", "name:e", ";",
                     "EOF"}));
  // A name that ends the last input is still included.
  EXPECT_EQ(lex_text("display a, include f3.mod"),
            (strings{K(TK_DISPLAY), "name:a", ",", "name:d", "EOF"}));
  EXPECT_EQ(nfs, 0);
  std::string err;
  EXPECT_EQ(lex_text("include;\ndisplay z;\n", &err),
            (strings{K(TK_DISPLAY), "name:z", ";", "EOF"}));
  EXPECT_NE(err.find("invalid include syntax"), std::string::npos) << err;
}

// A session that reads a file ends, with the error bit and 4.
TEST_F(Lexer, MissingIncludeEndsTheSession) {
  auto r = run_captured([&] {
    inputs({"m.mod", "include nofile.mod;\n"});
    yylex();
  });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 6);
  EXPECT_NE(r.err.find("Can't find  file \"nofile.mod\""), std::string::npos)
      << r.err;
  EXPECT_EQ(nfs, 0);
}

// The test vehicle's token mode, run beside this test binary.
TEST_F(Lexer, ProbePrintsTokens) {
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(n, 0);
  self[n] = 0;
  std::string probe(self);
  probe = probe.substr(0, probe.rfind('/')) + "/fe_probe";
  ASSERT_EQ(access(probe.c_str(), X_OK), 0) << "no " << probe;
  auto run = [&probe](const std::string& args, std::string* err) {
    int status = system((probe + " " + args + " >out 2>err").c_str());
    std::stringstream o, e;
    o << std::ifstream("out").rdbuf();
    e << std::ifstream("err").rdbuf();
    *err = e.str();
    EXPECT_TRUE(WIFEXITED(status));
    return o.str();
  };
  std::string err;
  write_file("a.mod", "display 2x, 1..3;\nparam sum;\n");
  EXPECT_EQ(run("-tok a.mod", &err),
            "K 57454 kw [display]\nK 57378 name [2x]\nK 44 char [,]\n"
            "K 57429 number [1]\nK 57401 kw [..]\nK 57429 number [3]\n"
            "K 59 char [;]\nK 57347 kw [param]\nK 57361 kw [sum]\n"
            "K 59 char [;]\nK 59 char [;]\nK 59 char [;]\nK 0 end\n");
  EXPECT_EQ(err,
            "\na.mod, line 2 (offset 24):\n\tsum is reserved\n"
            "context:  param  >>> sum; <<< \n");
  write_file("d.mod", "display display, 0x1p3;\n");
  EXPECT_EQ(run("-tok -param display -nohexfp d.mod", &err),
            "K 57454 kw [display]\nK 57413 decl [display]\nK 44 char [,]\n"
            "K 57378 name [0x1p3]\nK 59 char [;]\nK 0 end\n");
  EXPECT_EQ(err, "");
}

}  // namespace
}  // namespace vexo
