// The raw token reader: tokens, strings and comments as the scanner sees
// them, tokens across refills and sources, syntax-error reports with their
// location and context, and the test vehicle fe_probe.
#include "frontend/rawtok.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/expr.h"
#include "frontend/reader.h"
#include "frontend_fixture.h"
#include "report/print.h"
#include "session/cmdrec.h"
#include "session/execute.h"
#include "session/include.h"
#include "session/startup.h"
#include "support/block.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::run_captured;
using strings = std::vector<std::string>;

// Runs each test in a fresh directory, so that messages name files as
// given ("m.mod").
class RawTok : public ::testing::Test, protected test::InputDir {
 protected:
  void SetUp() override {
    test::reset_input();
    enter("/tmp/vexo_rawtok_XXXXXX");
  }
  void TearDown() override {
    leave();
    blockmode = 0;
  }

  // The raw tokens up to the end of all input as the scanner sees them:
  // the first character and the rest of the token, "S:" and the text for
  // a string, "E" at the end; with lines, each led by the line number.
  static strings tokens(bool lines = false) {
    strings v;
    for (;;) {
      int c = yytok();
      std::string s = lines ? std::to_string(lineno) + ":" : "";
      if (c == 0) {
        v.push_back("E");
        return v;
      }
      if (c == '"') {
        s += "S:" + std::string(tok);
      } else {
        s += static_cast<char>(c);
        s.append(nextc, yylastc);
        nextc = yylastc;
      }
      v.push_back(s);
    }
  }
};

TEST_F(RawTok, TokensStringsAndComments) {
  struct {
    std::string input;
    strings expected;
  } cases[] = {
      // A comment separates tokens; the first token of a source comes
      // after a blank.
      {"a/*c*/b\n", {" a", " ", "b\n", "E"}},
      {"a /* x\n y */ b\n", {" a ", "b\n", "E"}},
      {"f(x)/*c*/+1;\n", {" f(x)", " ", "+1;\n", "E"}},
      {"\"ab\"\"c\"\n", {"S:ab\"c", "E"}},
      {"'it''s' x\n", {"S:it's", " x\n", "E"}},
      // A backslash does not protect the closing quote.
      {"\"ab\\\" x\n", {"S:ab\\", " x\n", "E"}},
      {"\"a\\\nb\" \"c\\\r\nd\"\n", {"S:a\nb", "S:c\nd", "E"}},
      {"\"a\\tb\"\n", {"S:a\\tb", "E"}},
      {"a;b ;c\n", {" a;b ", ";", "c\n", "E"}},
      {"x/y /z\n", {" x/y ", "/z\n", "E"}},
      {"a#note\nb\n", {" a", "b\n", "E"}},
      {"a 'b'c\n", {" a ", "S:b", "c\n", "E"}},
      {std::string("a\0b\n", 4), {std::string(" a\0", 3), "b\n", "E"}},
      // The end of the source right after a closing quote is no error.
      {"x \"ab\"", {" x ", "S:ab", "E"}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.input);
    strings got;
    auto r = run_captured([&] {
      inputs({"t.mod", c.input});
      got = tokens();
    });
    EXPECT_EQ(got, c.expected);
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(r.exited || r.aborted);
  }
}

TEST_F(RawTok, HashCommentKeepsItsFirst511Characters) {
  std::string text(600, 'c');
  inputs({"t.mod", "a #" + text + "\nb"});
  EXPECT_EQ(tokens(), (strings{" a ", "b", "E"}));
  EXPECT_EQ(std::string(ibuf), text.substr(0, 511));
}

TEST_F(RawTok, HashCommentOnALastLineEndsSilently) {
  strings got;
  auto r = run_captured([&] {
    inputs({"t.mod", "a # last"});
    got = tokens();
  });
  EXPECT_EQ(got, (strings{" a ", "E"}));
  EXPECT_EQ(std::string(ibuf), " last");
  EXPECT_EQ(r.err, "");
}

TEST_F(RawTok, OpenCommentAtTheEndOfAFileIsClosed) {
  strings got;
  auto r = run_captured([&] {
    inputs({"m.mod", "a /* open\nmore\n", "n.mod", "b\n"});
    got = tokens();
  });
  EXPECT_EQ(got, (strings{" a ", " b\n", "E"}));
  EXPECT_EQ(r.err,
            "\nm.mod, line 3 (offset 15):\n\tAssuming */ at the end of file "
            "\"m.mod\" to end a comment.\n");
  EXPECT_EQ(rc, 2);
}

TEST_F(RawTok, UnterminatedStringEndsAtTheNewline) {
  strings got;
  auto r = run_captured([&] {
    inputs({"u.mod", "x \"abc\ny\n"});
    got = tokens();
  });
  EXPECT_EQ(got, (strings{" x ", "S:abc", "y\n", "E"}));
  EXPECT_EQ(r.err,
            "\nu.mod, line 1 (offset 0):\n\tmissing \"\n"
            "context:   >>> x \"abc <<< \n");
}

TEST_F(RawTok, StringOpenAtTheEndOfAllInput) {
  auto r = run_captured([&] {
    inputs({"s.mod", "a \"open"});
    tokens();
  });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "\ns.mod, line 1 (offset 7):\n\tunexpected end of file\n");
}

TEST_F(RawTok, TokenAfterASourceSwitchFollowsABlank) {
  inputs({"a.mod", "a\n", "b.mod", "b\n", "c.mod", "x /", "d.mod", "y\n"});
  // The "/" that ends c.mod is a token of its own.
  EXPECT_EQ(tokens(), (strings{" a\n", " b\n", " x ", "/", " y\n", "E"}));
}

// An include file that ends gives way to its includer's rest (nextfile
// ends one level and each includer with no text left); end_include with 0
// (after an aborted command) ends every level at once.
TEST_F(RawTok, IncludeLevelsEnd) {
  auto one = [] {
    std::string t(1, static_cast<char>(yytok()));
    t.append(nextc, yylastc);
    nextc = yylastc;
    return t;
  };
  for (int m : {0, 1}) {
    SCOPED_TRACE(m);
    write_file("a.mod", "a1 a2\n");
    write_file("c.mod", "c1\n");
    inputs({"top.mod", "t1 t2\n"});
    strings got;
    auto r = run_captured([&] {
      got.push_back(one());
      include("a.mod", 0, 1);
      got.push_back(one());
      include("c.mod", 0, 1);
      got.push_back(one());
      if (m == 0) end_include(0);
      for (auto& t : tokens()) got.push_back(t);
    });
    EXPECT_FALSE(r.exited || r.aborted);
    if (m == 0) {  // every level ends at once
      EXPECT_EQ(got, (strings{" t1 ", " a1 ", " c1\n", " t2\n", "E"}));
    } else {  // the includer's rest comes first
      EXPECT_EQ(got, (strings{" t1 ", " a1 ", " c1\n", " a2\n", " t2\n", "E"}));
    }
    EXPECT_EQ(nfs, 0);
  }
}

TEST_F(RawTok, LongLines) {
  // A name straddling the first read boundary arrives whole, and the line
  // number advances once, after the newline.
  std::string line = std::string(4090, 'x') + " abcdefghijkl " +
                     std::string(5000, 'y') + " w\n";
  inputs({"l.mod", line + "z\n"});
  strings got = tokens(true);
  ASSERT_GE(got.size(), 4u);
  EXPECT_EQ(got[1], "1:abcdefghijkl ");
  EXPECT_EQ(got[got.size() - 3], "1:w\n");
  EXPECT_EQ(got[got.size() - 2], "2:z\n");
  std::string all;
  for (auto& t : got) {
    if (t != "E") all += t.substr(t.find(':') + 1);
  }
  EXPECT_EQ(all, " " + line + "z\n");

  // A run broken by a read right after a "(" is cut after the "(".
  inputs({"c.mod", std::string(4095, 'a') + "(def\n"});
  got = tokens();
  EXPECT_EQ(got, (strings{" " + std::string(4095, 'a') + "(", "def\n", "E"}));
}

TEST_F(RawTok, TokenLongerThanTheLineBufferLosesNothing) {
  std::string name(9000, 'n');
  inputs({"t.mod", name + "\nz\n"});
  strings got = tokens(true);
  std::string all;
  for (size_t i = 0; i + 2 < got.size(); ++i) {
    EXPECT_EQ(got[i].substr(0, 2), "1:");
    all += got[i].substr(2);
  }
  EXPECT_EQ(all, " " + name + "\n");
  EXPECT_EQ(got[got.size() - 2], "2:z\n");
}

TEST_F(RawTok, LongStringGrowsTheTokenBuffer) {
  std::string text(3000, 's');
  inputs({"t.mod", "\"" + text + "\"\n"});
  EXPECT_EQ(tokens(), (strings{"S:" + text, "E"}));
}

TEST_F(RawTok, InjectedTextAndPushBack) {
  inputs({"t.mod", "a b\n"});
  yy_special = 2;
  std::string seen;
  for (int c; (c = yyinput()) != 0;) {
    seen += static_cast<char>(c);
    if (seen.size() == 6) {  // push back two characters
      yyunput('y');
      yyunput('x');
    }
  }
  EXPECT_EQ(seen, " ;;;  xya b\n");
  EXPECT_EQ(yy_special, 0);
  int list[] = {3, 5, 0};
  EXPECT_EQ(yyback(list, 5), 1);
  EXPECT_EQ(yyback(list, 4), 0);
}

// Injected text never moves the input position out of the line buffer: an
// abort while it is read (or an include) must find nextc and yylastc
// there.
TEST_F(RawTok, InjectionLeavesThePositionInTheLineBuffer) {
  inputs({"t.mod", "a b\n"});
  yy_special = 2;
  std::string seen;
  for (int i = 0; i < 5; ++i) {
    seen += static_cast<char>(yytok());
    EXPECT_TRUE(nextc >= linebuf && nextc <= lastc);
    EXPECT_EQ(yylastc, nextc);
  }
  EXPECT_EQ(seen, " ;;; ");
  EXPECT_EQ(tokens(), (strings{" a ", "b\n", "E"}));
}

// ---------------------------------------------------------------------------
// Syntax errors and statement locations

// Reads raw tokens until one whose text is stop.
static void read_to(const std::string& stop) {
  for (;;) {
    int c = yytok();
    ASSERT_NE(c, 0) << "no token " << stop;
    std::string s(1, static_cast<char>(c));
    s.append(nextc, yylastc);
    nextc = yylastc;
    if (s == stop) return;
  }
}

TEST_F(RawTok, SyntaxErrorIsLocated) {
  auto r = run_captured([&] {
    inputs({"m.mod", "param p;\n  x y z;\n"});
    read_to("y ");
    yyerror("syntax error");
  });
  EXPECT_EQ(r.err,
            "\nm.mod, line 2 (offset 13):\n\tsyntax error\n"
            "context:  x  >>> y  <<< z;\n");
  EXPECT_EQ(cmd_start, 7);
  EXPECT_EQ(rc, 2);
}

TEST_F(RawTok, SyntaxErrorInBlockMode) {
  blockmode = 1;
  auto r = run_captured([&] {
    inputs({"m.mod", "param p;\nx y z;\n"});
    read_to("y ");
    yyerror("syntax error");
  });
  std::string body =
      "file m.mod\nline 2\noffset 11\nsyntax error\n"
      "context:  x  >>> y  <<< z;\n";
  std::string name = "error_syntax\n";
  EXPECT_EQ(r.out,
            std::to_string(name.size() + body.size()) + " " + name + body);
  EXPECT_EQ(r.err, "");
}

TEST_F(RawTok, SyntaxErrorBeforeAnyTokenPrintsNothing) {
  cmd_start = 0;
  auto r = run_captured([] { yyerror("syntax error"); });
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(cmd_start, 7);
}

TEST_F(RawTok, ContextUndoesACutBeforeAComment) {
  auto r = run_captured([&] {
    inputs({"m.mod", "x f(a)/*c*/ y\n"});
    read_to("f(a)");
    EXPECT_EQ(yy_special, 3);
    yyerror("syntax error");
  });
  EXPECT_EQ(r.err,
            "\nm.mod, line 1 (offset 2):\n\tsyntax error\n"
            "context:  x  >>> f(a) <<< /*c*/ y\n");
  EXPECT_EQ(yy_special, 0);
  EXPECT_EQ(tokens(), (strings{"y\n", "E"}));
}

TEST_F(RawTok, StandardInputHasNoFileLocation) {
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  ASSERT_EQ(write(p[1], "x y\n", 4), 4);
  close(p[1]);
  int saved = dup(0);
  dup2(p[0], 0);
  close(p[0]);
  auto r = run_captured([&] {
    inputs({});
    read_to("y\n");
    yyerror("syntax error");
  });
  dup2(saved, 0);
  close(saved);
  EXPECT_EQ(r.err, "\nsyntax error\ncontext:  x  >>> y <<< \n");
}

TEST_F(RawTok, StatementStart) {
  inputs({"m.mod", "a;\n  b c\n"});
  read_to(" a;\n");
  read_to("b ");
  cmd_start = 3;
  stmtsave(0);
  EXPECT_EQ(stmtline, 2);
  EXPECT_EQ(stmtoffset, 5);
  EXPECT_EQ(stmtfname, names_[0]);  // the argument itself, not a copy
  // Settling open compound commands leaves the lexer state alone.
  cmdstate = 1;
  stmtsave(1);
  EXPECT_EQ(cmd_start, 3);
  cmdstate = 0;
}

TEST_F(RawTok, UndefinedName) {
  // Typed at a terminal: the command is abandoned, the session goes on.
  interactive = 1;
  infile = 0;
  symbol* s = Symbol("zz", 1);
  static int old_binding, new_binding;
  s->binding = &new_binding;
  Curdclname = s;
  Oldval = &old_binding;
  auto r = run_captured([&] { not_declared(s); });
  EXPECT_TRUE(r.aborted);
  EXPECT_NE(r.err.find("zz is not defined\n"), std::string::npos);
  EXPECT_EQ(s->binding, &old_binding);
  EXPECT_EQ(Curdclname, nullptr);

  // While single-stepping the command goes on with the value 0.
  single_step = 1;
  pr_cmd = 1;
  expr* e = nullptr;
  r = run_captured([&] { e = not_declared(s); });
  pr_cmd = 0;
  single_step = 0;
  EXPECT_FALSE(r.aborted);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->opword, opword(OPNUM, EF_CONST | EF_NUMERIC));
  EXPECT_EQ(e->L.d, 0.);
  EXPECT_EQ(pr_badnames, 0);
  free_expr(e);
  interactive = 0;
  infile = -1;
}

// The abort ends a session that reads a file, with the error bit.
TEST_F(RawTok, ErrorLimitAbortsTheCommand) {
  eexit = 2;
  auto r = run_captured([&] {
    inputs({"m.mod", "\"a\n\"b\n"});
    tokens();
  });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("\nBailing out after 2 warnings.\n"), std::string::npos);
  EXPECT_EQ(warnings, 0);
}

// ---------------------------------------------------------------------------
// The test vehicle

class Probe : public RawTok {
 protected:
  // Runs fe_probe (beside this test binary) with args in the test's
  // directory; stdin_text, when not null, is its standard input.
  int run(const std::string& args, const char* stdin_text = nullptr) {
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return -1;
    self[n] = 0;
    std::string probe = std::string(self);
    probe = probe.substr(0, probe.rfind('/')) + "/fe_probe";
    struct stat st;
    if (stat(probe.c_str(), &st) != 0) return -2;
    std::string cmd = probe + " " + args + " >out 2>err";
    if (stdin_text) {
      write_file("in", stdin_text);
      cmd += " <in";
    }
    int status = system(cmd.c_str());
    out_ = slurp("out");
    err_ = slurp("err");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
  }
  static std::string slurp(const char* name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  std::string out_, err_;
};

TEST_F(Probe, PrintsRawTokensOfFiles) {
  write_file("a.mod", "a/*c*/b\n\"ab\"\"c\"\n");
  write_file("s.mod", "x \"open");
  ASSERT_EQ(run("-raw a.mod"), 0);
  EXPECT_EQ(out_, "T 1 [ a]\nT 1 [ ]\nT 1 [b\\n]\nS 2 [ab\"c]\nE\n");
  EXPECT_EQ(err_, "");
  ASSERT_EQ(run("-raw a.mod s.mod"), 2);
  EXPECT_EQ(out_, "T 1 [ a]\nT 1 [ ]\nT 1 [b\\n]\nS 2 [ab\"c]\nT 1 [ x ]\n");
  EXPECT_EQ(err_, "\ns.mod, line 1 (offset 7):\n\tunexpected end of file\n");
}

TEST_F(Probe, ReadsStandardInputInBlocksAndPrompts) {
  ASSERT_EQ(run("-raw -b", "5\nabcd\n0\n"), 0);
  EXPECT_EQ(out_,
            "14 prompt1\nvexo: 19 misc\nT 1 [ abcd\\n]\n"
            "14 prompt1\nvexo: 7 misc\nE\n9 exit\n0\n0\n");
  ASSERT_EQ(run("-raw -i", "a\n"), 0);
  EXPECT_EQ(out_, "T 1 [ a\\n]\nE\n");
  EXPECT_EQ(err_, "vexo: vexo: ");
}

}  // namespace
}  // namespace vexo
