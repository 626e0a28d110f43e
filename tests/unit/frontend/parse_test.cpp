// The parser: the statement and command grammar through the real lexer,
// the command records it builds seen through the record printer (listed,
// not run); compound commands and their prompts; the lexer
// steering of the actions, syntax-error recovery, the results at the end
// of input, deep nesting, and index dummies in their scopes.
#include "frontend/parse.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/table.h"
#include "eval/funclib.h"
#include "frontend/cmdbuild.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/lexer.h"
#include "frontend/paramdcl.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "frontend_fixture.h"
#include "instance/problem.h"
#include "instance/sufdecl.h"
#include "session/cmdrec.h"
#include "session/execute.h"
#include "session/infiles.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/startup.h"
#include "support/block.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::run_captured;
using lines = std::vector<std::string>;

class Parse : public test::ParserTest {
 protected:
  void SetUp() override {
    begin("/tmp/vexo_parse_XXXXXX");
    close_listing();
    listing_ = open_memstream(&listed_, &listed_size_);
    exec_listing = listing_;
  }
  void TearDown() override {
    if (saved_stdin_ >= 0) {
      dup2(saved_stdin_, 0);
      close(saved_stdin_);
      saved_stdin_ = -1;
    }
    interactive = 0;
    ParserTest::TearDown();
    blockmode = 0;
    close_listing();
  }
  void close_listing() {
    if (listing_) fclose(listing_);
    listing_ = nullptr;
    free(listed_);
    listed_ = nullptr;
  }

  // Whether line is among the records listed.
  bool listed(const std::string& line) {
    const lines& t = trace();
    return std::find(t.begin(), t.end(), line) != t.end();
  }

  // The records the grammar built so far, a line each (session/cmdlist.h).
  const lines& trace() {
    trace_.clear();
    if (!listing_) return trace_;
    fflush(listing_);
    std::string all(listed_, listed_size_);
    for (size_t p = 0; p < all.size();) {
      size_t e = all.find('\n', p);
      if (e == std::string::npos) e = all.size();
      trace_.push_back(all.substr(p, e - p));
      p = e + 1;
    }
    return trace_;
  }

  // Makes text standard input, typed at the terminal of an interactive
  // session: an error abandons its statement and the session goes on.
  void typed_text(const std::string& text) {
    write_file("typed.x", text);
    int fd = open("typed.x", O_RDONLY);
    ASSERT_GE(fd, 0);
    saved_stdin_ = dup(0);
    dup2(fd, 0);
    close(fd);
    test::set_input_files(nullptr);
    interactive = 1;
  }

  // Parses text as the one input file; returns yyparse's result (-1 when
  // the run ended otherwise); the records built are listed (trace()).
  int run(const std::string& text) { return parse_input(text, &out_); }

  lines trace_;
  FILE* listing_ = nullptr;
  char* listed_ = nullptr;
  size_t listed_size_ = 0;
  test::outcome out_;
  int saved_stdin_ = -1;
};

int count(const std::string& s, const std::string& what) {
  int n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1))
    ++n;
  return n;
}

TEST_F(Parse, CommandsInSequenceAndQuit) {
  EXPECT_EQ(run("option solver vexocbc; display 1; solve;\n"
                "snapshot model options; quit;\ndisplay 2;\n"),
            YYP_QUIT);
  EXPECT_EQ(trace(), (lines{"cmd 28 \"of\" [solver=vexocbc] -",
                            "cmd 34 \"i_rf\" 0 - [1] -", "cmd 32 \"bef\" - - -",
                            "cmd 90 \"if\" 5 -"}));
  EXPECT_EQ(out_.err, "");
}

TEST_F(Parse, UnknownSnapshotWordIsReportedAndNothingRuns) {
  EXPECT_EQ(run("snapshot foo;\n"), YYP_CMDS);
  EXPECT_EQ(trace(), lines{});
  EXPECT_NE(out_.err.find("unknown snapshot argument: foo. Available "
                          "arguments are: 'model', 'data', 'options', and "
                          "'solution'."),
            std::string::npos)
      << out_.err;
}

TEST_F(Parse, CommandsWithoutFileDropsItsRedirection) {
  EXPECT_EQ(run("commands > x;\ncommands >> y;\n"), YYP_CMDS);
  EXPECT_EQ(trace(), lines{});
  EXPECT_EQ(count(out_.err, "Ignoring >... in commands without filename."), 2)
      << out_.err;
  EXPECT_NE(out_.err.find("Ignoring >... in commands without filename."),
            std::string::npos)
      << out_.err;
}

TEST_F(Parse, DataInsideBracesIsMisplaced) {
  EXPECT_EQ(run("{ data; display 1; }\n"), YYP_CMDS);
  EXPECT_NE(out_.err.find("misplaced \"data;\", which cannot appear in a "
                          "compound command."),
            std::string::npos)
      << out_.err;
  EXPECT_EQ(trace(), (lines{"cmd 81 {...}", "  cmd 34 \"i_rf\" 0 - [1] -"}));
}

TEST_F(Parse, SyntaxErrorSkipsToTheSemicolon) {
  EXPECT_EQ(run("display ); display 2;\n"), YYP_CMDS);
  EXPECT_EQ(count(out_.err, "syntax error"), 1) << out_.err;
  EXPECT_EQ(trace(), (lines{"cmd 34 \"i_rf\" 0 - [2] -"}));
}

TEST_F(Parse, SyntaxErrorGoesToItsBlockInBlockMode) {
  blockmode = 1;
  run("display ); display 2;\n");
  blockmode = 0;
  EXPECT_EQ(count(out_.out, "syntax error"), 1) << out_.out;
  EXPECT_NE(out_.out.find("error_syntax"), std::string::npos) << out_.out;
  EXPECT_EQ(trace(), (lines{"cmd 34 \"i_rf\" 0 - [2] -"}));
}

TEST_F(Parse, ResultsAtTheEndOfInput) {
  struct {
    const char* text;
    int result;
  } cases[] = {
      {"", YYP_EMPTY},
      {"param p; set S;\n", YYP_DECLS},
      {"param p; display 1;\n", YYP_CMDS},
      {"display (\n", YYP_ABORT},
  };
  for (auto& c : cases) {
    SetUp();
    EXPECT_EQ(run(c.text), c.result) << c.text;
    TearDown();
  }
}

TEST_F(Parse, DeepNestingParses) {
  std::string text = "display " + std::string(3000, '(') + "7" +
                     std::string(3000, ')') + ";\n";
  EXPECT_EQ(run(text), YYP_CMDS);
  EXPECT_EQ(trace(), (lines{"cmd 34 \"i_rf\" 0 - [7] -"}));
  EXPECT_EQ(out_.err, "");
}

TEST_F(Parse, LoopDummyIsBoundForTheBody) {
  EXPECT_EQ(run("for {i in 1..3} display i;\ndisplay i;\n"), -1);
  // In the body, i is the loop's dummy.
  EXPECT_EQ(trace(), (lines{"cmd 39 for - {dummy(1,0) in 1..3}",
                            "  cmd 34 \"i_rf\" 0 - [loopdummy(i)] -",
                            "  cmd 75 \"T\" for"}));
  // The body completed the loop: i is no longer bound, and the second
  // display reports it.
  EXPECT_NE(out_.err.find("i is not defined"), std::string::npos) << out_.err;
  EXPECT_EQ(Symbol("i", 0)->binding, nullptr);
  EXPECT_EQ(sslevel, 0);
}

TEST_F(Parse, DuplicateDummyAndScopeEnd) {
  EXPECT_EQ(run("display {i in 1..2, i in 1..3} 1;\n"), YYP_CMDS);
  EXPECT_EQ(count(out_.err, "duplicate definition of i"), 1) << out_.err;
  EXPECT_EQ(trace(), (lines{"cmd 34 \"i_rf\" 0 - [item({dummy(1,0) in 1..2, "
                            "dummy(2,0) in 1..3} 1)] -"}));
  EXPECT_EQ(Symbol("i", 0)->binding, nullptr);
  EXPECT_EQ(sslevel, 0);
}

// The statements after which the lexer must read the next word in another
// state: each is followed by a statement whose first word would be misread
// if the lexer state were set after the parser had read it.
TEST_F(Parse, LexerSteeringHoldsNoLookahead) {
  EXPECT_EQ(run("display 0; write bout; display 1;\n"
                "cd \"dir\"; display 2;\n"
                "load lib.so; display 3;\n"
                "shell \"ls\"; display 4;\n"
                "option x 1e-3; display 5;\n"
                "show p; display 6;\n"
                "reset data; display 7;\n"
                "display 8 > out.txt; display 9;\n"
                "close f1, f2; reset data p, q;\n"
                "option a 1, \"b\" 2; display 10;\n"),
            YYP_CMDS);
  EXPECT_EQ(out_.err, "");
  EXPECT_EQ(
      trace(),
      (lines{
          "cmd 34 \"i_rf\" 0 - [0] -", "cmd 33 \"e\" \"bout\"",
          "cmd 34 \"i_rf\" 0 - [1] -", "cmd 53 \"ef\" \"dir\" -",
          "cmd 34 \"i_rf\" 0 - [2] -", "cmd 61 \"r\" [\"lib.so\"]",
          "cmd 34 \"i_rf\" 0 - [3] -", "cmd 29 \"ef\" \"ls\" -",
          "cmd 34 \"i_rf\" 0 - [4] -", "cmd 28 \"of\" [x=1e-3] -",
          "cmd 34 \"i_rf\" 0 - [5] -", "cmd 30 \"rf\" [p] -",
          "cmd 34 \"i_rf\" 0 - [6] -", "cmd 79 \"il\" 0 []",
          "cmd 34 \"i_rf\" 0 - [7] -", "cmd 34 \"i_rf\" 0 - [8] >\"out.txt\"",
          "cmd 34 \"i_rf\" 0 - [9] -", "cmd 26 \"e\" \"f1\"",
          "cmd 79 \"il\" 0 [p, q]",    "cmd 28 \"of\" [a=1, b=2] -",
          "cmd 34 \"i_rf\" 0 - [10] -"}));
}

// The records of a listing of the given kind at the given depth, each as
// its operands: the line without its kind and, for a plain command, the
// format of its fields.
lines operands_of(const lines& listing, int kind, int depth) {
  std::string head =
      std::string(2 * depth, ' ') + "cmd " + std::to_string(kind) + " ";
  lines r;
  for (const std::string& l : listing) {
    if (l.compare(0, head.size(), head) != 0) continue;
    std::string rest = l.substr(head.size());
    if (!rest.empty() && rest[0] == '"') {
      size_t q = rest.find('"', 1);
      rest = q + 2 < rest.size() ? rest.substr(q + 2) : "";
    }
    r.push_back(rest);
  }
  return r;
}

// One statement of each command form: the record of its command, with the
// operands the statement gave ("$K" in them: the record's own kind, which
// the commands sharing a handler carry as their first field).
TEST_F(Parse, EachCommandFormBuildsItsCommand) {
  struct {
    const char* text;
    int kind;
    const char* operands;
    int depth = 0;  // a statement in a compound's body: 1
  } cases[] = {
      {"display 1, 2;", CK_DISPLAY, "0 - [1, 2] -"},
      {"_display 1;", CK_DISPLAY, "1 - [1] -"},
      {"csvdisplay {i in 1..2}: i;", CK_DISPLAY,
       "2 {dummy(1,0) in 1..2} [dummy(1,0)] -"},
      {"print 1 >> log;", CK_PRINT, "- print(1) >>\"log\""},
      {"print {i in 1..2}: i;", CK_PRINT,
       "{dummy(1,0) in 1..2} print(dummy(1,0)) -"},
      {"printf \"%d\", 3;", CK_PRINTF, "- \"%d\" printf(3) -"},
      {"printf {i in 1..2} \"%d\", i;", CK_PRINTF,
       "{dummy(1,0) in 1..2} \"%d\" printf(dummy(1,0)) -"},
      {"let p := -2;", CK_LET, "- p -2 0"},
      {"fix x;", CK_FIX, "$K - x - 1"},
      {"fix x := 3;", CK_FIX, "$K - x 3 1"},
      {"fix {i in 1..2} x := i;", CK_FIX,
       "$K {dummy(1,0) in 1..2} x dummy(1,0) 1"},
      {"unfix all;", CK_UNFIX, "$K - - - 1"},
      {"fix;", CK_FIXDROP, "1 -"},
      {"drop all;", CK_DROP, "$K - - 0"},
      {"restore;", CK_FIXDROP, "0 -"},
      {"minimize o: x; objective o;", CK_OBJECTIVE_SET, "o -"},
      {"objective;", CK_OBJECTIVE, "-"},
      {"problem;", CK_PROBLEM, "-"},
      {"solve;", CK_SOLVE, "- - -"},
      {"minimize q: x; solve q > o;", CK_SOLVE, "q - >\"o\""},
      {"option;", CK_OPTION, "[] -"},
      {"option solver*;", CK_OPTION, "[*solver*] -"},
      {"reset options;", CK_OPTION_RESET, ""},
      {"reset data p;", CK_RESET_DATA, "0 [p]"},
      {"update data;", CK_UPDATE_DATA, "1 []"},
      {"reset problem;", CK_RESET_PROBLEM, "- -"},
      {"reset function;", CK_RESET_FUNCTION, ""},
      {"reset suffix s;", CK_RESET_SUFFIX, "s"},
      {"reset check;", CK_RESET_CHECK, ""},
      {"show;", CK_SHOW, "[] -"},
      {"xref p, q;", CK_XREF, "[p, q] -"},
      {"expand;", CK_EXPAND, "0 [] -"},
      {"solexpand;", CK_EXPAND, "1 [] -"},
      {"_solexpand;", CK_EXPAND, "2 [] -"},
      {"delete p;", CK_DELETE, "[p] 0"},
      {"purge p;", CK_PURGE, "[p] 1"},
      {"read p < f;", CK_READ, "- [p] <\"f\""},
      {"table t: [i], p; read table t;", CK_READ_TABLE, "0 - t -"},
      {"table t: [i], p; write table t;", CK_WRITE_TABLE, "1 - t -"},
      {"write;", CK_WRITE, "-"},
      {"solution s.sol;", CK_SOLUTION, "\"s.sol\""},
      {"shell;", CK_SHELL, "- -"},
      {"cd;", CK_CD, "- -"},
      {"close;", CK_CLOSE, "-"},
      {"unload a.so;", CK_UNLOAD, "[\"a.so\"]"},
      {"reload a.so;", CK_RELOAD, "[\"a.so\"]"},
      {"remove a, b;", CK_REMOVE, "[\"a\", \"b\"]"},
      {"commands c.run;", CK_COMMANDS, "\"c.run\" -"},
      {"call f(1);", CK_CALL, "- f(1)"},
      {"sleep 2;", CK_SLEEP, "2"},
      {"exit;", CK_EXIT, "0"},
      {"environ;", CK_ENVIRON, "-"},
      {"snapshot data solution;", CK_SNAPSHOT, "10 -"},
      // Compound commands: listed once complete (an if waiting for else,
      // a repeat for its condition: at the end of the input).
      {"if 1 then print 1;", CK_IF, "if op145(1)"},
      {"if 1 then print 1; else print 2;", CK_PRINT, "- print(2) -", 1},
      {"for {i in 1..2} print i;", CK_LOOP_FOR, "for - {dummy(1,0) in 1..2}"},
      {"for {(i, j) in {(1, 2)}} print i;", CK_PRINT,
       "- print(loopdummy(i)) -", 1},
      {"repeat until 0 { }", CK_LOOP_REPEAT, "repeat - not(op145(0)) -"},
      {"repeat { } while 1;", CK_LOOP_REPEAT, "repeat - - op145(1)"},
      {"repeat { } until 1;", CK_LOOP_REPEAT, "repeat - - not(op145(1))"},
      {"{ }", CK_BRACES, "{...}"},
      {"repeat { break; }", CK_BREAK, "repeat", 1},
      {"repeat lp { continue lp; }", CK_CONTINUE, "repeat", 1},
      {"for {i in 1..2} { }", CK_LOOPEND, "for", 1},
  };
  for (auto& c : cases) {
    SetUp();
    write_file("d.dat", "");  // `data d.dat;` reads it
    write_file("m.mod", "");  // and `model m.mod;` this
    run(std::string("param p; var x; function f;\n") + c.text + "\n");
    std::string want = c.operands;
    for (size_t k; (k = want.find("$K")) != std::string::npos;)
      want.replace(k, 2, std::to_string(c.kind));
    lines got = operands_of(trace(), c.kind, c.depth);
    EXPECT_NE(std::find(got.begin(), got.end(), want), got.end())
        << c.text << "\n"
        << ::testing::PrintToString(trace()) << "\n"
        << out_.err;
    EXPECT_EQ(out_.err, "") << c.text;
    TearDown();
  }
}

TEST_F(Parse, SingleSteppingWordsReturnTheirCodes) {
  // Outside an include they are ignored with a message; inside they
  // return.
  inslev = 1;
  EXPECT_EQ(run("step;\n"), YYP_STEP);
  inslev = 0;
}

TEST_F(Parse, LexerStateChangeWithLookaheadIsABug) {
  auto r = run_captured([] { set_lexstate(CS_FILE, true); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Bug: "), std::string::npos);
}

TEST_F(Parse, AbandonedStatementIsSkippedAndParsingGoesOn) {
  typed_text("display nope; display 2;\n");
  int r = -1;
  out_ = run_captured([&] {
    nextfile(0, 0);
    r = parse();
  });
  EXPECT_EQ(r, 3);
  EXPECT_EQ(count(out_.err, "nope is not defined"), 1) << out_.err;
  EXPECT_EQ(count(out_.err, "syntax error"), 0) << out_.err;
  EXPECT_TRUE(listed("cmd 34 \"i_rf\" 0 - [2] -"));
}

// A statement abandoned while reserved words are tokens (here by the
// error limit, in delete's name list) leaves plain names plain again.
TEST_F(Parse, AbandonedNameListEndsReservedWordTokens) {
  typed_text("delete check 5;\nreset data check;\n");
  eexit = 1;
  warn_exit = 0;
  int r = -1;
  out_ = run_captured([&] {
    nextfile(0, 0);
    r = parse();
  });
  eexit = 0;
  EXPECT_EQ(r, 3);
  EXPECT_EQ(count(out_.err, "Bailing out after 1 warnings."), 1) << out_.err;
  EXPECT_EQ(count(out_.err, "syntax error"), 0) << out_.err;
  EXPECT_TRUE(listed("cmd 79 \"il\" 0 [check]"));
}

TEST_F(Parse, ResultMapping) {
  EXPECT_EQ(parse_result_map[0], 0);
  EXPECT_EQ(parse_result_map[1], 3);
  EXPECT_EQ(parse_result_map[2], 2);
  EXPECT_EQ(parse_result_map[3], 3);
  EXPECT_EQ(parse_result_map[4], 1);
  EXPECT_EQ(parse_result_map[5], 3);
  // Through parse: quit ends it with 5, mapped to 3.
  input_text("display 4; quit;\n");
  int r = -1;
  out_ = run_captured([&] {
    nextfile(0, 0);
    r = parse();
  });
  EXPECT_EQ(r, 3);
  EXPECT_EQ(trace(), (lines{"cmd 34 \"i_rf\" 0 - [4] -"}));
}

// The operators by precedence and grouping, each expression shown as the
// display item it becomes (nodes as op<opcode>, sets by their operators).
TEST_F(Parse, ExpressionPrecedenceAndGrouping) {
  // A condition displayed is shown as its value: if c then 1 else 0.
  auto value = [](const std::string& c) { return "op111(" + c + ", 1, 0)"; };
  struct {
    const char* text;
    std::string item;
  } cases[] = {
      // Left-associative minus; right-associative power; unary minus
      // looser than "^"; a negated literal folds.
      {"1 - 2 - 3", "op1(op1(1, 2), 3)"},
      {"2 ^ 3 ^ 2", "op5(2, op5(3, 2))"},
      {"-2 ^ 2", "-(op5(2, 2))"},
      {"-3", "-3"},
      {"2 * 3 + 4 / 5 mod 6", "op0(op2(2, 3), op4(op3(4, 5), 6))"},
      // "&" below "+"; adjacent literals fold.
      {"\"a\" & 1 + 2", "op131[\"a\", op215(op0(1, 2))]"},
      {"\"a\" & \"b\" & \"c\"", "\"abc\""},
      // An iterated sum takes "*" into its body, not "+".
      {"sum {i in 1..3} i * 2 + 1",
       "op0(op7({dummy(1,0) in 1..3} op2(op171(dummy(1,0)), 2)), 1)"},
      // Logical operators: not binds to its operand only, and before or,
      // the implication before <==>; plain numbers are tested against 0.
      {"not 1 and 2", value("op21(not(op145(1)), op145(2))")},
      {"1 or 2 and 3", value("op20(op145(1), op21(op145(2), op145(3)))")},
      {"1 <==> 2 ==> 3", value("op73(op145(1), op77(op145(2), op145(3)))")},
      {"exists {i in 1..2} i > 1 or 0",
       value("op20(op17({dummy(1,0) in 1..2} op29(op171(dummy(1,0)), 1)), "
             "op145(0))")},
      // if without else yields 0; else reaches as far right as it can.
      {"if 1 then 2", "op111(op145(1), 2, 0)"},
      {"if 1 then 2 else 3 + 4", "op111(op145(1), 2, op0(3, 4))"},
      // A comparison chain shares its middle operand.
      {"1 < 2 <= 3", value("op21(op22(1, op163), op23(op163, 3))")},
      // Set operators: union below inter below cross.
      {"{1} union {2} inter {3}", "union({1}, inter({2}, {3}))"},
      {"{1} union {2} diff {3}", "diff(union({1}, {2}), {3})"},
      // Membership of a value and of a tuple; an interval after in.
      {"3 in {1, 2}", value("op19([3], {1, 2})")},
      {"(1, 2) in {(1, 2)}", value("op19([1, 2], {1, 2})")},
      {"1 not in 0 .. 2", value("op128([1], 0..2)")},
      {"1 in [0, 2)", value("op19([1], set22)")},
      // The dummies of an argument group end with its list.
      {"count {i in 1..2} (i > 1) + count {i in 1..2} (i > 0)",
       "op0(op59([item({dummy(1,0) in 1..2} op29(op171(dummy(1,0)), 1))]), "
       "op59([item({dummy(1,0) in 1..2} op29(op171(dummy(1,0)), 0))]))"},
  };
  for (auto& c : cases) {
    SetUp();
    run(std::string("display ") + c.text + ";\n");
    EXPECT_EQ(trace()[0], std::string("cmd 34 \"i_rf\" 0 - [") + c.item + "] -")
        << c.text;
    EXPECT_EQ(out_.err, "") << c.text;
    TearDown();
  }
}

// S cross T inter U groups as (S cross T) inter U: the product's two
// dimensions meet the one of U.
TEST_F(Parse, CrossBindsTighterThanInter) {
  run("display {1} cross {2} inter {3};\n");
  EXPECT_EQ(trace()[0], "cmd 34 \"i_rf\" 0 - [inter(cross({1}, {2}), {3})] -");
  EXPECT_NE(out_.err.find("left set operand has dimen 2, right has 1"),
            std::string::npos)
      << out_.err;
}

// After a command's last item, ">" and ">>" redirect its output and "<"
// feeds read; elsewhere they compare.
TEST_F(Parse, RedirectionAfterItemsComparisonElsewhere) {
  EXPECT_EQ(run("param p;\n"
                "display 1 > f1; print 2 >> f2; display 1 < 2;\n"
                "read p < f3; if 2 > 1 then display 3;\n"),
            YYP_CMDS);
  EXPECT_EQ(out_.err, "");
  EXPECT_EQ(trace(),
            (lines{"cmd 34 \"i_rf\" 0 - [1] >\"f1\"",
                   "cmd 41 \"_ef\" - print(2) >>\"f2\"",
                   "cmd 34 \"i_rf\" 0 - [op111(op22(1, 2), 1, 0)] -",
                   "cmd 43 \"_rf\" - [p] <\"f3\"", "cmd 58 if op29(2, 1)",
                   "  cmd 34 \"i_rf\" 0 - [3] -", "  cmd 70 \"T\" if", "else",
                   "  cmd 70 \"T\" if"}));
}

// Tuple dummies, a condition over them, and a set literal of tuples; the
// dummies are gone once the item is complete.
TEST_F(Parse, TupleDummiesAndConditions) {
  EXPECT_EQ(run("display {(i, j) in {(1, 2), (3, 4)}: i < j} i + j;\n"),
            YYP_CMDS);
  EXPECT_EQ(out_.err, "");
  EXPECT_EQ(trace()[0],
            "cmd 34 \"i_rf\" 0 - [item({(dummy(1,0),dummy(1,1)) in {1, 2, "
            "3, 4}: op22(op171(dummy(1,0)), op171(dummy(1,1)))} "
            "op0(op171(dummy(1,0)), op171(dummy(1,1))))] -");
  EXPECT_EQ(Symbol("i", 0)->binding, nullptr);
  EXPECT_EQ(sslevel, 0);
}

// Declarations with their phrases make the entities that later commands
// refer to in their command forms: subscripted, with suffixes, whole.
TEST_F(Parse, DeclarationsAndTheReferencesTheyMake) {
  EXPECT_EQ(run("set S ordered; param p {S} >= 0 default 1;\n"
                "var x {i in S} integer >= 0, <= p[i]; var y;\n"
                "maximize o: sum {i in S} p[i] * x[i] - y;\n"
                "subject to c {i in S}: x[i] <= p[i];\n"
                "d: 0 <= y <= 1;\n"
                "display p[1], x[1], c[1], o, x.lb, x[1].ub, y.ub;\n"
                "let {i in S} x[i] := p[i] / 2;\n"),
            YYP_CMDS);
  EXPECT_EQ(out_.err, "");
  EXPECT_EQ(trace(), (lines{"cmd 34 \"i_rf\" 0 - [op152(p [1]), op187(x [1]), "
                            "op193(c [1]), o, x.3, op199, op198] -",
                            "cmd 40 \"_eei\" {dummy(1,0) in S} "
                            "op187(x [dummy(1,0)]) op3(op152(p [dummy(1,0)]), "
                            "2) 0"}));
  // A wrong number of subscripts is reported.
  SetUp();
  run("set S dimen 2; param q {S}; display q[1];\n");
  EXPECT_NE(out_.err.find("q needs 2 subscripts, not 1"), std::string::npos)
      << out_.err;
  TearDown();
}

// The model files under examples/ parse without a message.
TEST_F(Parse, ExampleModelsParseSilently) {
  std::string root = __FILE__;
  root = root.substr(0, root.rfind("/tests/unit/"));
  for (const char* m :
       {"transport", "production", "nonlinear", "complementarity"}) {
    std::ifstream in(root + "/examples/" + m + ".mod");
    ASSERT_TRUE(in) << m;
    std::string text((std::istreambuf_iterator<char>(in)),
                     std::istreambuf_iterator<char>());
    SetUp();
    EXPECT_EQ(run(text), YYP_DECLS) << m;
    EXPECT_EQ(out_.err, "") << m;
    TearDown();
  }
}

// Columns and networks: to_come, net_in and net_out in bodies, nodes,
// arcs with from/to phrases and columns with coef phrases.
TEST_F(Parse, ColumnAndNetworkDeclarations) {
  EXPECT_EQ(run("set S; var y;\n"
                "maximize o: to_come + 2 * y;\n"
                "minimize o2;\n"
                "subject to c: to_come + y >= 1;\n"
                "subject to c2: 1 <= y + to_come;\n"
                "node n {i in S}: net_in = 1;\n"
                "node m: 0 <= net_out - 3 <= 5;\n"
                "node k;\n"
                "arc a from n[1] to m;\n"
                "var z coef c 2, c2 3, obj o 1;\n"),
            YYP_DECLS);
  EXPECT_EQ(out_.err, "");
}

// A name declared again is reported once by the lexer; the statement is
// dropped without a "syntax error" and parsing goes on.
TEST_F(Parse, RedeclaredNameIsReportedOnce) {
  EXPECT_EQ(run("param p;\nparam p;\ndisplay 1;\n"), YYP_CMDS);
  EXPECT_EQ(count(out_.err, "p is already defined"), 1) << out_.err;
  EXPECT_EQ(count(out_.err, "syntax error"), 0) << out_.err;
  EXPECT_TRUE(listed("cmd 34 \"i_rf\" 0 - [1] -"));
}

// Forms of the commands beyond the simplest ones: let on a set, option
// references in option values, expand of whole entities, problem and
// environment forms, the keyword forms of show, data from a command (in a
// compound command, where it is recorded).
TEST_F(Parse, FurtherCommandForms) {
  EXPECT_EQ(run("set S; var x {S}; var y;\n"
                "subject to c {i in S}: x[i] <= y;\n"
                "maximize o {1..2}: y;\n"
                "let S := {1, 2};\n"
                "option a $b c;\n"
                "expand x, c[1];\n"
                "problem P: x, c, y, nope;\n"
                "problem P; solve P; objective o[1]; reset problem P;\n"
                "environ E; environ F {1..2};\n"
                "show check 2, suffix s;\n"
                "if 1 then data < \"gen\";\n"),
            YYP_CMDS);
  EXPECT_EQ(count(out_.err, "nope is not defined."), 1) << out_.err;
  EXPECT_EQ(trace(),
            (lines{"cmd 40 \"_esi\" - S.0 {1, 2} 0",
                   "cmd 28 \"of\" [a=op131[$b, \" c\"]] -",
                   "cmd 46 \"irf\" 0 [x, op208(c [1])] -", "cmd 55 \"be\" P -",
                   "cmd 32 \"bef\" P - -", "cmd 27 \"be\" o 1",
                   "cmd 45 \"be\" P -", "cmd 51 \"_bebe\" - E - - -",
                   "cmd 30 \"rf\" [check 2, suffix s] -", "cmd 58 if op145(1)",
                   "  cmd 48 \"e\" \"<gen\"", "  cmd 70 \"T\" if", "else",
                   "  cmd 70 \"T\" if"}));
  // reset has no record: its action hands the reset to the session loop,
  // and inside a compound command it is refused.
  SetUp();
  EXPECT_THROW(run("reset;\n"), reset_request);
  EXPECT_EQ(trace(), lines{});
  TearDown();
  SetUp();
  run("for {i in 1..2} { reset; }\n");
  EXPECT_NE(out_.err.find("reset is not allowed inside a compound command."),
            std::string::npos)
      << out_.err;
  TearDown();
}

// Name lists of show, delete and xref in source order (xref reads the
// keyword forms too); let on constraints, objectives and problems;
// subscripted read/write table; the check phrase with "<" or ">"; a name
// among a table's strings; exit with a string made numeric.
TEST_F(Parse, NameListsTargetsAndTableForms) {
  EXPECT_EQ(run("set S; param p; var x; subject to c: x >= 1;\n"
                "subject to d {S}: x <= 1; minimize o: x; problem P: x;\n"
                "param q check > 0;\n"
                "table T {S} IN tab \"f.tab\": [i], p;\n"
                "show p, q; delete p, q; xref p, suffix s;\n"
                "let c := 1; let d['a'] := 2; let o := 3; let P := 4;\n"
                "read table T[1]; write table T['a'];\n"
                "exit \"3\";\n"),
            YYP_CMDS);
  EXPECT_EQ(out_.err, "");
  EXPECT_EQ(
      trace(),
      (lines{"cmd 30 \"rf\" [p, q] -", "cmd 82 \"ri\" [p, q] 0",
             "cmd 57 \"rf\" [p, suffix s] -", "cmd 40 \"_eei\" - op192 1 0",
             "cmd 40 \"_eei\" - op193(d [a]) 2 0", "cmd 40 \"_eei\" - o 3 0",
             "cmd 40 \"_eei\" - op210 4 0", "cmd 59 \"i_be\" 0 - T 1",
             "cmd 60 \"i_be\" 1 - T a", "cmd 66 \"e\" op171(\"3\")"}));
  ASSERT_NE(cur_table, nullptr);
  int n = 0;
  for (expr* e = cur_table->strings; e; e = e->next) ++n;
  EXPECT_EQ(n, 2);
}

// The statement before a closing brace needs no ";" (nested braces and a
// repeat body included); one before a brace at statement start adds none.
TEST_F(Parse, SemicolonBeforeClosingBraceIsOptional) {
  EXPECT_EQ(run("{ { display 1 } display 2 }\n"
                "repeat { display 3 } until 1;\n"
                "{ display 4; }\n"),
            YYP_CMDS);
  EXPECT_EQ(out_.err, "");
  EXPECT_EQ(
      trace(),
      (lines{"cmd 81 {...}", "  cmd 81 {...}", "    cmd 34 \"i_rf\" 0 - [1] -",
             "  cmd 34 \"i_rf\" 0 - [2] -", "cmd 44 repeat - - not(op145(1))",
             "  cmd 34 \"i_rf\" 0 - [3] -", "  cmd 75 \"T\" repeat",
             "cmd 81 {...}", "  cmd 34 \"i_rf\" 0 - [4] -"}));
}

// Built-in function names of any kind and the predefined sets may name
// dummies; the name has its meaning back after the scope.
TEST_F(Parse, BuiltinNamesAsDummies) {
  static kw_row vf{"vf", 34, 0};
  Symbol("vf", 1)->binding = &vf;
  EXPECT_EQ(run("display {vf in 1..2} vf, {Reals in 1..2} Reals;\n"
                "display 1 in Reals;\n"),
            YYP_CMDS);
  EXPECT_EQ(out_.err, "");
  EXPECT_EQ(trace(), (lines{"cmd 34 \"i_rf\" 0 - [item({dummy(1,0) in 1..2} "
                            "dummy(1,0)), item({dummy(1,0) in 1..2} "
                            "dummy(1,0))] -",
                            "cmd 34 \"i_rf\" 0 - [op111(op19([1], set22), 1, 0)] -"}));
  EXPECT_EQ(Symbol("vf", 1)->binding, &vf);
}

// Table declarations: strings and directions, a key set with its arrow,
// key columns (read as words) with aliases, data columns.
TEST_F(Parse, TableDeclarations) {
  EXPECT_EQ(run("set I; set J; param cost {I, J}; var x {I, J};\n"
                "table T IN \"h\" \"file.tab\": [i, j], cost;\n"
                "table U OUT: {I, J} -> [a ~ i, b], cost, x ~ amount OUT;\n"
                "table V {k in 1..2} IN (\"f\" & k): I <- [i] IN,\n"
                "  {j in I} cost[j, 1];\n"
                "_readtable IN \"x\": [i, j], cost;\n"
                "read table T;\n"),
            YYP_CMDS);
  // V's column group is written only, and V has no "set ->" for it.
  EXPECT_EQ(out_.err,
            "\nin.x, line 5 (offset 211):\n\tTable V has one or more\n\tOUT "
            "or INOUT columns that require \"set ->\" or \"set <->\".\n"
            "context:  {j in I} cost[j,  >>> 1]; <<< \n");
  EXPECT_EQ(trace(), (lines{"cmd 59 \"i_be\" 0 - <unnamed> <unnamed>.-3",
                            "cmd 59 \"i_be\" 0 - T -"}));
}

// redeclare reads the declared name again as a plain name and declares it
// anew without "already defined".
TEST_F(Parse, RedeclarationsParse) {
  EXPECT_EQ(run("set S; param p >= 0; var x;\n"
                "subject to c: x <= 1;\n"
                "check: p >= 0;\n"
                "redeclare param p >= 1;\n"
                "redeclare set S ordered;\n"
                "redeclare var x >= 0;\n"
                "redeclare subject to c: x <= 2;\n"
                "redeclare check 1: p >= 1;\n"
                "display p, x;\n"),
            YYP_CMDS);
  EXPECT_EQ(out_.err, "");
  EXPECT_EQ(trace(), (lines{"cmd 34 \"i_rf\" 0 - [p, x] -"}));
}

// Function-like forms over declared names and sets: alias, card of an
// indexing, the order operators on a dummy of an ordered set.
TEST_F(Parse, FunctionLikeForms) {
  EXPECT_EQ(run("set S ordered; param p \"the p\"; var x {S};\n"
                "display alias(p), alias(x), card {i in S: i > 1},\n"
                "  {i in S} ord(i), {i in S} next(i, 2);\n"),
            YYP_CMDS);
  EXPECT_EQ(out_.err, "");
  EXPECT_EQ(trace()[0],
            "cmd 34 \"i_rf\" 0 - [op206, op206, op114(set3), "
            "item({dummy(1,0) in S} op115), item({dummy(1,0) in S} op120)] "
            "-");
}

// Option names qualified by an environment (with or without subscript),
// environment-qualified option references in option values ("$$") and in
// expressions ("$" and "$$" before a word, a string or an expression).
TEST_F(Parse, EnvironmentQualifiedOptions) {
  EXPECT_EQ(run("environ E; environ F {1..3};\n"
                "option E.solver abc, F[1].presolve 0, solver \"x\" y,\n"
                "  q $$E.r z, t $$F[2].u, v $$w $x;\n"
                "display $solver, $$E.lp, $F[2].(\"a\" & \"b\"), $(\"c\");\n"),
            YYP_CMDS);
  EXPECT_EQ(out_.err, "");
  EXPECT_EQ(trace(),
            (lines{"cmd 51 \"_bebe\" - E - - -",
                   "cmd 28 \"of\" [env(E).solver=abc, "
                   "env(F[1]).presolve=0, solver=x y, "
                   "q=op131[$env(E).\"r\", \" z\"], t=$env(F[2]).\"u\", "
                   "v=op131[$$w, \" \", $x]] -",
                   "cmd 34 \"i_rf\" 0 - [$solver, $$env(E).\"lp\", "
                   "$env(F[2]).\"ab\", $c] -"}));
}

// An indexed set named without subscript is a whole entity as a display
// item (also before a redirection); inside a set expression it still needs
// its subscript.
TEST_F(Parse, WholeIndexedSetIsADisplayItem) {
  EXPECT_EQ(run("set T {1..2};\ndisplay T, T[1] > f;\ndisplay T > g;\n"
                "display T union T[1];\n"),
            YYP_CMDS);
  EXPECT_EQ(count(out_.err, "T needs to be subscripted."), 1) << out_.err;
  ASSERT_EQ(trace().size(), 3u);
  EXPECT_EQ(trace()[0], "cmd 34 \"i_rf\" 0 - [T, set19] >\"f\"");
  EXPECT_EQ(trace()[1], "cmd 34 \"i_rf\" 0 - [T] >\"g\"");
}

// Inside a loop the loop's dummy is a loop dummy: the order operators take
// the loop's set, and a declaration that uses it is refused (the next
// statement is not affected by it).
TEST_F(Parse, LoopDummiesInTheBody) {
  run("set S ordered;\n"
      "for {i in S} display ord(i), next(i), prev(i, 2), i;\n");
  EXPECT_EQ(out_.err, "");
  ASSERT_GE(trace().size(), 2u);
  EXPECT_EQ(trace()[1],
            "  cmd 34 \"i_rf\" 0 - [op115, op122, op121, loopdummy(i)] -");
  // An indexing in the body may use the name for a dummy of its own (a
  // duplicate definition, as for any dummy); the loop's dummy is back after
  // it.
  SetUp();
  run("set S;\nfor {i in S} display {i in S} i, i;\n");
  EXPECT_EQ(count(out_.err, "duplicate definition of i"), 1) << out_.err;
  ASSERT_GE(trace().size(), 2u);
  EXPECT_EQ(trace()[1],
            "  cmd 34 \"i_rf\" 0 - [item({dummy(1,0) in S} dummy(1,0)), "
            "loopdummy(i)] -");
  TearDown();
  SetUp();
  run("set S;\nfor {i in S} param q := i;\nfor {j in S} param r := 1;\n");
  EXPECT_EQ(count(out_.err,
                  "Rejecting declaration because it uses loop "
                  "dummy i."),
            1)
      << out_.err;
  EXPECT_EQ(count(out_.err,
                  "Abandoning compound command to accept "
                  "declaration of r."),
            1)
      << out_.err;
  EXPECT_EQ(Symbol("q", 0)->binding, nullptr);
  EXPECT_NE(Symbol("r", 0)->binding, nullptr);
  TearDown();
}

// Argument domains of functions: none given (any arguments), "()" (none),
// "..." with a direction on either side, closing a list; pipe texts as a
// run of strings or an expression.
TEST_F(Parse, FunctionDomainsAndPipes) {
  EXPECT_EQ(run("function f; function g();\nfunction h(... INOUT);\n"
                "function k({1..2}, OUT ...);\n"
                "function m pipe \"a\" \"b\" format (\"c\" & \"d\");\n"),
            YYP_DECLS);
  EXPECT_EQ(out_.err, "");
  auto fn = [](const char* n) {
    return static_cast<function*>(Symbol(n, 0)->binding);
  };
  for (const char* n : {"f", "g", "h", "k", "m"}) ASSERT_NE(fn(n), nullptr);
  const funcarg* a = fn("f")->args;
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->s, dotdotdot);
  EXPECT_EQ(a->dir, 0);
  EXPECT_EQ(a->next, nullptr);
  EXPECT_EQ(fn("g")->args, nullptr);
  a = fn("h")->args;
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->s, dotdotdot);
  EXPECT_EQ(a->dir, 3);
  a = fn("k")->args;
  ASSERT_NE(a, nullptr);
  EXPECT_NE(a->s, dotdotdot);
  ASSERT_NE(a->next, nullptr);
  EXPECT_EQ(a->next->s, dotdotdot);
  EXPECT_EQ(a->next->dir, 2);
  EXPECT_EQ(a->next->next, nullptr);
  const function* m = fn("m");
  ASSERT_NE(m->pipe, nullptr);
  ASSERT_EQ(opcode(m->pipe), OPSTR);
  EXPECT_STREQ(m->pipe->L.cs->text(), "a b");
  EXPECT_NE(m->format, nullptr);
}

// Problem declarations with environment and suffix settings before their
// items; suffix phrases of declarations read their value as references.
TEST_F(Parse, ProblemSettingsAndSuffixPhrases) {
  EXPECT_EQ(run("suffix s; param p; var x suffix s p;\n"
                "var y {1..2} suffix s 2 * p;\n"
                "minimize o suffix s p: x;\n"
                "subject to c suffix s p + 1: x >= 0;\n"
                "problem P environ E, suffix s 3: x, c;\n"
                "problem Q environ F[2] suffix t p: y;\n"),
            YYP_CMDS);
  // The unknown suffix t reached the suffix initialiser, which reports it.
  EXPECT_EQ(out_.err.find("syntax error"), std::string::npos) << out_.err;
  EXPECT_EQ(count(out_.err, "t is not a declared suffix."), 1) << out_.err;
  EXPECT_NE(Symbol("P", 0)->binding, nullptr);
  EXPECT_NE(Symbol("Q", 0)->binding, nullptr);
}

// Groups of table data columns: an indexing followed by a parenthesised
// list or by "<" items ">", items with column names and directions.
TEST_F(Parse, TableColumnGroups) {
  EXPECT_EQ(run("set I; param p {I}; var y {I};\n"
                "table t OUT: I -> [i], p ~ q, {j in I} (y[j] ~ yy, p[j]),\n"
                "  {j in I} <y[j] ~ z, p[j] OUT>, {j in I} (p[j]);\n"),
            YYP_DECLS);
  EXPECT_EQ(out_.err, "");
  EXPECT_EQ(sslevel, 0);
}

// Counting and set-list forms over an indexing, numberof of a whole
// expression; argument lists reach their builders in source order.
TEST_F(Parse, IndexedCountingForms) {
  EXPECT_EQ(run("set S; set T {S}; var x {S};\n"
                "display alldiff {i in S} x[i], alldiff {i in S} (x[i], 1),\n"
                "  alldisjoint {i in S} (T[i]), alldistinct(T[1], T[2]),\n"
                "  numberof 2 + 1 in (3, 4), count(1, 2);\n"),
            YYP_CMDS);
  EXPECT_EQ(out_.err, "");
  EXPECT_EQ(trace()[0],
            "cmd 34 \"i_rf\" 0 - [op111(op74([item({dummy(1,0) in S} "
            "op187(x [dummy(1,0)]))]), 1, 0), op111(op74([item({dummy(1,0) "
            "in S} [op187(x [dummy(1,0)]), 1])]), 1, 0), "
            "op111(op91([item({dummy(1,0) in S} [set19])]), 1, 0), "
            "op111(op93([set19, set19]), 1, 0), op60(op0(2, 1); [3, 4]), "
            "op59([1, 2])] -");
}

// Random items of print, printf and read take their random forms
// (randify): a random variable its random-variable reference (opcode 188),
// any other random expression the text of its distribution; other items
// stay as they are.
TEST_F(Parse, RandomPrintItems) {
  EXPECT_EQ(run("var x random; param p;\nprint x, 1;\nprint p;\n"
                "printf \"%g\", x;\nprint x + 1, {i in 1..2} (x + i, 2);\n"),
            YYP_CMDS);
  EXPECT_EQ(trace(),
            (lines{"cmd 41 \"_ef\" - print(op188, 1) -",
                   "cmd 41 \"_ef\" - print(p) -",
                   "cmd 42 \"_eef\" - \"%g\" printf(op188) -",
                   "cmd 41 \"_ef\" - print(\"Random(x + 1)\", "
                   "item({dummy(1,0) in 1..2} [\"Random(x + i)\", 2])) -"}));
}

// An undefined name in a declaration abandons it; in single-step mode the
// name stands for 0, is counted, and the declaration is finished as
// erroneous (its assignment dropped).
TEST_F(Parse, UndefinedNameInADeclaration) {
  single_step = 1;
  EXPECT_EQ(run("param p := q + 1;\ndisplay p;\n"), YYP_CMDS);
  single_step = 0;
  EXPECT_EQ(count(out_.err, "q is not defined"), 1) << out_.err;
  EXPECT_EQ(count(out_.err, "syntax error"), 0) << out_.err;
  EXPECT_EQ(errseen, 1);
  const param* p = static_cast<const param*>(Symbol("p", 0)->binding);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->asgn, nullptr);
}

// A param whose := refers to the param itself is recursively defined; one
// that refers only to its dummies is not.
TEST_F(Parse, SelfReferenceMarksARecursiveParam) {
  EXPECT_EQ(run("param f {i in 1..5} := if i = 1 then 1 else i * f[i-1];\n"
                "param g {i in 1..3} := i;\n"),
            YYP_DECLS);
  EXPECT_EQ(out_.err, "");
  auto* f = static_cast<param*>(Symbol("f", 0)->binding);
  auto* g = static_cast<param*>(Symbol("g", 0)->binding);
  ASSERT_TRUE(f && g);
  EXPECT_TRUE(f->type & PT_RECURSIVE);
  EXPECT_FALSE(g->type & PT_RECURSIVE);
}

// The continuation prompt names the innermost open compound; what stays
// open at the end of the session is dropped with "Premature end of file.".
TEST_F(Parse, ContinuationPromptsAndPrematureEnd) {
  struct {
    const char* text;
    const char* prompt;
    bool premature;
  } cases[] = {
      {"for {i in 1..2} {", "for{...} { ?", true},
      {"for lp {i in 1..2} {", "for lp {...} { ?", true},
      {"repeat {", "repeat { ?", true},
      {"repeat lp {", "repeat lp { ?", true},
      {"if 1 then {", "if ... then { ?", true},
      {"if 1 then print 1; else {", "else { ?", true},
      {"{", "{ ?", true},
      {"{ repeat { print 1; } while 0; {", "{ ?", true},
      // The end of an input closes a one-statement body (empty here); an
      // if then waits for else, and runs at the end of the session.
      {"if 1 then", "if ... then {...} ?", false},
  };
  for (auto& c : cases) {
    SetUp();
    run(std::string(c.text) + "\n");
    EXPECT_STREQ(cmdprompt(), c.prompt) << c.text;
    auto r = run_captured([] { eof_loopend(); });
    EXPECT_EQ(count(r.err, "Premature end of file."), c.premature) << c.text;
    EXPECT_STREQ(cmdprompt(), "???");
    TearDown();
  }
  // The builders as the parser calls them: an if waiting for else runs
  // when the next statement starts; a repeat waiting for its condition
  // runs at the end of the session.
  SetUp();
  if_cmd(new_num(1));
  cmd0(CK_RESET_CHECK);
  EXPECT_STREQ(cmdprompt(), "if ... then {...} ?");
  start_check();
  loopstart(CK_LOOP_REPEAT, Symbol("lp", 0), nullptr);
  rbrace();
  EXPECT_STREQ(cmdprompt(), "repeat lp {...} ?");
  auto r = run_captured([] { eof_loopend(); });
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(trace(), (lines{"cmd 58 if 1", "  cmd 89 \"\"", "  cmd 70 \"T\" if",
                            "else", "  cmd 70 \"T\" if", "cmd 44 repeat lp - -",
                            "  cmd 75 \"T\" repeat"}));
}

// Not listing: a command complete at top level runs; a compound runs once,
// when its outermost level closes; a top-level if runs when the next
// statement is not its else (typed at a terminal, before the next statement
// runs).
TEST_F(Parse, TopLevelCommandsRunOnceComplete) {
  exec_listing = nullptr;
  typed_text(
      "param p;\n"
      "if 1 then print 1;\n"
      "else print 2;\n"
      "{ print 3; print 4; }\n"
      "if 0 then print 5;\n"
      "print 6;\n"
      "if 1 then print 7;\n");
  int r = -1;
  out_ = run_captured([&] {
    nextfile(0, 0);
    r = parse();
  });
  EXPECT_EQ(r, 3);
  EXPECT_EQ(out_.out, "1\n3\n4\n6\n7\n");
  EXPECT_EQ(out_.err, "");
  EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace vexo
