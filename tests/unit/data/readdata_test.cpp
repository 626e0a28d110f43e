// The data tokenizer and the statement loop of data mode: token codes and
// texts under both character tables, strings and comments; default
// symbols; leaving data mode for a command; data files and their ends;
// `end`; includes inside data; errors about variables that do not end the
// session.
#include "data/readdata.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "data/data_fixture.h"
#include "data/datatok.h"
#include "frontend/parse.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "session/loop.h"
#include "support/message.h"
#include "support/scratch.h"
#include "support/strtod.h"

namespace vexo {
namespace {

using test::count;
using toks = std::vector<std::pair<int, std::string>>;

class DataMode : public test::DataTest {
 protected:
  // The tokens of text (one input file) under the table, up to the end of
  // the input; *err receives the messages.
  toks tokens(const std::string& text, const unsigned char* table,
              std::string* err = nullptr) {
    toks r;
    inputs({"t.x", text});
    test::outcome o = test::run_captured([&] {
      parse_time = 2;
      endjump = 1;
      last_tok = 0;
      try {
        for (;;) {
          Typeinit = table;
          int t = token();
          r.emplace_back(t, tok);
        }
      } catch (const data_end&) {
      }
      endjump = 0;
      parse_time = 1;
      Typeinit = tok_type;
    });
    if (err) *err = o.err;
    return r;
  }
};

TEST_F(DataMode, TokensUnderBothTables) {
  EXPECT_EQ(tokens("a:=b : = c = ; , ( ) [ ] * / 1d3 1e e5 -\n", tok_type),
            (toks{{DT_WORD, "a"},
                  {DT_ASSIGN, ":="},
                  {DT_WORD, "b"},
                  {DT_COLON, ":"},
                  {DT_ASSIGN, "="},
                  {DT_WORD, "c"},
                  {DT_ASSIGN, "="},
                  {DT_SEMI, ";"},
                  {',', ","},
                  {'(', "("},
                  {')', ")"},
                  {'[', "["},
                  {']', "]"},
                  {'*', "*"},
                  {DT_SLASH, "/"},
                  {DT_NUMBER, "1e3"},
                  {DT_WORD, "1e"},
                  {DT_WORD, "e5"},
                  {DT_WORD, "-"}}));
  EXPECT_EQ(tokens("x.y - + * -5 .5 2.5 a-b\n", tokstar_type),
            (toks{{DT_WORD, "x"},
                  {DT_DOT, "."},
                  {DT_WORD, "y"},
                  {DT_SIGN, "-"},
                  {DT_SIGN, "+"},
                  {DT_WORD, "*"},
                  {DT_NUMBER, "-5"},
                  {DT_NUMBER, ".5"},
                  {DT_NUMBER, "2.5"},
                  {DT_WORD, "a"},
                  {DT_SIGN, "-"},
                  {DT_WORD, "b"}}));
  EXPECT_EQ(tokens("x.y\n", tok_type), (toks{{DT_WORD, "x.y"}}));
}

// The fast conversion of short decimals gives Strtod's double, bit for bit.
TEST_F(DataMode, NumbersConvertAsStrtodDoes) {
  tok_init();
  unsigned v = 12345;
  auto next = [&v] { return v = v * 1103515245u + 12345u; };
  for (int i = 0; i < 200000; ++i) {
    std::string t = (next() >> 9) % 4 == 0 ? "-" : "";
    int nd = 1 + static_cast<int>((next() >> 8) % 17);
    int point = static_cast<int>((next() >> 8) % (nd + 2));
    for (int k = 0; k < nd; ++k) {
      if (k == point) t += '.';
      t += static_cast<char>('0' + (next() >> 12) % 10);
    }
    std::strcpy(tok, t.c_str());
    ASSERT_EQ(test::bits_of(tok_number()),
              test::bits_of(Strtod(t.c_str(), nullptr)))
        << t;
  }
}

TEST_F(DataMode, StringsAndComments) {
  std::string err;
  toks t = tokens(
      "'it''s' \"a\\\nb\" # a comment ; 'x'\n"
      "/* a block\n comment */ z 'open\nw\n",
      tok_type, &err);
  EXPECT_EQ(t, (toks{{DT_WORD, "it's"},
                     {DT_WORD, "a\nb"},
                     {DT_WORD, "z"},
                     {DT_WORD, "open"},
                     {DT_WORD, "w"}}));
  EXPECT_EQ(count(err, "missing '"), 1) << err;
}

TEST_F(DataMode, AColonAssignmentAfterAnotherIsIgnored) {
  Cautions = 1;
  std::string err;
  EXPECT_EQ(tokens("= := a\n", tok_type, &err),
            (toks{{DT_ASSIGN, "="}, {DT_WORD, "a"}}));
  Cautions = 0;
  EXPECT_EQ(count(err, "Ignoring duplicate \":=\"."), 1) << err;
}

TEST_F(DataMode, DefaultSymbolStack) {
  std::string text = "data;\n";
  for (int i = 0; i < 21; ++i)
    text += "defaultsym d" + std::to_string(i) + ";\n";
  std::string err = run(text);
  EXPECT_EQ(count(err, "defaultsym stack overflow; stack flushed."), 1) << err;
  EXPECT_STREQ(parskip, "d20");
  // One level is left: one pop gives back what stood before any push, the
  // next reports the underflow, once until the next push.
  err = run("data; defaultsym; defaultsym; defaultsym;\n");
  EXPECT_STREQ(parskip, ".");
  EXPECT_EQ(count(err, "defaultsym stack underflow"), 1) << err;
  err = run("data; nodefaultsym; defaultsym; defaultsym; defaultsym x y;\n");
  EXPECT_EQ(count(err, "defaultsym stack underflow"), 1) << err;
  EXPECT_EQ(count(err, "expected ;"), 1) << err;
}

TEST_F(DataMode, ACommandWordEndsDataMode) {
  std::string err =
      run("set S;\n"
          "data;\n"
          "set S := a b;\n"
          "display S;\n"
          "data; set S := c;\n"
          "shell 'true';\n"
          "set S := d;\n");
  EXPECT_EQ(err, "");
  // After `shell` data mode goes on.
  EXPECT_EQ(members("S"), "d");
  EXPECT_EQ(count_line("cmd 34 "), 1);
  EXPECT_EQ(count_line("cmd 29 "), 1);
}

TEST_F(DataMode, DataFilesEndDataMode) {
  write_file("d.dat", "set S := a b;\nparam p := a 1 b");
  write_file("e.dat", "set T := x;\nend;\nset T := y;\n");
  std::string err =
      run("set S; set T; param p {S};\n"
          "data d.dat;\n"
          "data e.dat;\n"
          "display S;\n");
  EXPECT_EQ(members("S"), "a b");
  // The statement the file leaves open is reported where the file ends,
  // and its values so far stay; the command after it runs.
  EXPECT_EQ(count(err, "d.dat, line 2"), 1) << err;
  EXPECT_EQ(count(err, "end of file within param data"), 1) << err;
  EXPECT_EQ(num("p", {"a"}), 1);
  EXPECT_EQ(members("T"), "x");
  EXPECT_EQ(count_line("cmd 34 "), 1);
}

TEST_F(DataMode, IncludeInsideData) {
  write_file("part.dat", "b c\n");
  quiet(
      "set S; param p;\n"
      "data;\n"
      "set S := a include part.dat ;\n"
      "param p := 2;\n");
  EXPECT_EQ(members("S"), "a b c");
  EXPECT_EQ(num("p"), 2);
}

TEST_F(DataMode, TheEndOfInputBetweenStatements) {
  EXPECT_EQ(run("set S;\ndata;\nset S := a;"), "");
  EXPECT_EQ(members("S"), "a");
  EXPECT_EQ(rc_, 0);
  std::string err = run("set T;\ndata;\nset T := a\n");
  EXPECT_EQ(count(err, "end of file within set data"), 1) << err;
  EXPECT_EQ(members("T"), "a");
  EXPECT_EQ(rc_ & 2, 2);
}

TEST_F(DataMode, ErrorsAboutVariablesLeaveTheSessionRunning) {
  std::string err =
      run("set S; var x {S}; var y := 1; var z {S} default 2;\n"
          "data;\n"
          "param x.bogus := a 1;\n"
          "param y := 3;\n"
          "param z.val.q := a 1;\n"
          "param x := a 1 b;\n"
          "param z := a 4;\n"
          "display S;\n");
  for (const char* m : {"bogus is not an assignable suffix.",
                        "y has an initial value (:= expression) in the model.",
                        "Too many \".\"s", "1 item(s) missing"})
    EXPECT_EQ(count(err, m), 1) << m << "\n" << err;
  EXPECT_EQ(num("x", {"a"}), 1);
  EXPECT_EQ(num("z", {"a"}), 4);
  EXPECT_EQ(count_line("cmd 34 "), 1);
}

}  // namespace
}  // namespace vexo
