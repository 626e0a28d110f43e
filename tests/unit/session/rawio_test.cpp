// The line editor of the terminal reader, without a terminal: keys go in,
// and after every key what a terminal would show (one line, replayed from
// the editor's output) must be the line being edited with the cursor in
// its place.  The history store and file-name completion are checked
// here too; the thread itself is run through a pseudo-terminal in
// rawio_pty_test.cpp.
#include "session/rawio.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "session/term_screen.h"

namespace {

using namespace vexo;

using test::term_screen;
using test::trimmed;

struct editor {
  std::unique_ptr<line_editor> e = std::make_unique<line_editor>();
  term_screen scr;
  std::vector<std::string> sent;  // lines sent, "<EOF>", "<INTR>"
  editor() { editor_start(e.get()); }
  // Types keys; after each the display must match the line.
  void type(const std::string& keys) {
    for (char c : keys) {
      edit_result r = edit_key(e.get(), static_cast<unsigned char>(c));
      scr.show(e->out);
      e->out.clear();
      if (r == EDIT_LINE) sent.push_back(e->sent);
      if (r == EDIT_EOF) sent.push_back("<EOF>");
      if (r == EDIT_INTR) sent.push_back("<INTR>");
      if (r == EDIT_MORE && !e->esc) {
        ASSERT_EQ(trimmed(scr.row), trimmed(line())) << "after key " << int(c);
        ASSERT_EQ(scr.col, size_t(e->cur)) << "after key " << int(c);
      }
    }
  }
  std::string line() const { return std::string(e->line, e->len); }
};

const std::string ESC = "\x1b";

// Keys and the line they send (Enter ends each).
struct key_case {
  const char* what;
  std::string keys;
  std::string line;
};

TEST(LineEditor, KeyTable) {
  const key_case cases[] = {
      {"^A goes to the start", "rint 1+1;\x01p\r", "print 1+1;\n"},
      {"ESC [ D and ESC [ C move one",
       "print 12;" + ESC + "[D" + ESC + "[D3" + ESC + "[C" + ESC + "[C" + "4\r",
       "print 132;4\n"},
      {"^E goes to the end (ESC O H, ESC [ F)",
       "rint 7" + ESC + "OHp" + ESC + "[F;\x01\x05!\r", "print 7;!\n"},
      {"ESC b back over a word", "print 1+2;" + ESC + "b3\r", "print 1+32;\n"},
      {"ESC f forward to the next word", "print 5 + 6;\x01" + ESC + "f1\r",
       "print 15 + 6;\n"},
      {"ESC [ 1 ; 5 D and C: words",
       "ab cd ef" + ESC + "[1;5D" + ESC + "[1;5D" + "X" + ESC + "[1;5CY\r",
       "ab Xcd Yef\n"},
      {"ESC [ 1 ; 2 D, ESC [ 5 C: start and end",
       "bc" + ESC + "[1;2Da" + ESC + "[5Cd\r", "abcd\n"},
      {"^W deletes the word before", "print 8; foo\x17\r", "print 8; \n"},
      {"ESC DEL as ^W", "a bc d" + ESC + "\x7f" + ESC + "\x7f" + "x\r",
       "a x\n"},
      {"ESC d deletes the word after",
       "print bad 9;\x01" + ESC + "f" + ESC + "d\r", "print  9;\n"},
      {"^U discards the line", "garbage\x15print 10;\r", "print 10;\n"},
      {"DEL and ^H delete before the cursor", "print 11xy\x7f\x08;\r",
       "print 11;\n"},
      {"DEL in the middle", "print 1x2;" + ESC + "[D" + ESC + "[D\x7f\r",
       "print 12;\n"},
      {"ESC [ 3 ~ deletes under the cursor",
       "print x12;\x01" + ESC + "f" + ESC + "[3~\r", "print 12;\n"},
      {"ESC [ 3 ~ at the end deletes before", "ab" + ESC + "[3~\r", "a\n"},
      {"^D on a line deletes", "print 56;\x01" + ESC + "f\x04\r", "print 6;\n"},
      {"ESC [ 2 ~: a word left, then ~", "print 'ab';" + ESC + "[2~\r",
       "print '~ab';\n"},
      {"unknown ESC x and ESC O x are dropped", "a" + ESC + "x" + ESC + "OQb\r",
       "ab\n"},
      {"control keys without a use are inserted", "a\x02\x0b\r", "a\x02\x0b\n"},
  };
  for (const key_case& k : cases) {
    editor ed;
    ed.type(k.keys);
    ASSERT_EQ(ed.sent.size(), 1u) << k.what;
    EXPECT_EQ(ed.sent[0], k.line) << k.what;
  }
}

TEST(LineEditor, EndOfInputAndInterrupt) {
  editor ed;
  ed.type("\x04");  // empty line: end of input
  ed.type("ab\x03");
  ed.type("c\r");
  std::vector<std::string> want = {"<EOF>", "<INTR>", "c\n"};
  EXPECT_EQ(ed.sent, want);
  // The end of the terminal sends what was typed, without newline.
  editor ed3;
  ed3.type("part");
  EXPECT_EQ(edit_end(ed3.e.get()), EDIT_LINE);
  EXPECT_EQ(ed3.e->sent, "part");
  EXPECT_EQ(edit_end(ed3.e.get()), EDIT_EOF);
}

TEST(LineEditor, InterruptShowsCaret) {
  editor ed;
  ed.type("ab");
  edit_key(ed.e.get(), 3);
  EXPECT_EQ(ed.e->out, "^C\r\n");
}

TEST(LineEditor, LongLineIsSentAtOnce) {
  editor ed;
  ed.type(std::string(3997, 'a') + "\x01");
  ASSERT_TRUE(ed.sent.empty());
  ed.type("b");
  ASSERT_EQ(ed.sent.size(), 1u);
  EXPECT_EQ(ed.sent[0], "b" + std::string(3997, 'a'));
  EXPECT_EQ(ed.line(), "");
}

TEST(LineEditor, HistoryBrowsing) {
  editor ed;
  ed.type("one\rtwo\rtwo\r   \rthree\r");
  EXPECT_EQ(hist_count(&ed.e->hist), 3);  // "two" once, the blanks not
  // Up twice from a line being typed, down twice: the line comes back with
  // its cursor.
  ed.type("draft" + ESC + "[D" + ESC + "[D");
  ed.type(ESC + "[A" + ESC + "[A");
  EXPECT_EQ(ed.line(), "two");
  ed.type(ESC + "[B");
  EXPECT_EQ(ed.line(), "three");
  ed.type(ESC + "[B");
  EXPECT_EQ(ed.line(), "draft");
  ed.type("X\r");
  EXPECT_EQ(ed.sent.back(), "draXft\n");
  // Up past the oldest stays there; an entry can be sent again.
  ed.type(ESC + "[A" + ESC + "[A" + ESC + "[A" + ESC + "[A" + ESC + "[A" + ESC +
          "[A\r");
  EXPECT_EQ(ed.sent.back(), "one\n");
}

TEST(LineEditor, HistoryTenAtATime) {
  editor ed;
  for (int i = 1; i <= 25; ++i) ed.type("l" + std::to_string(i) + "\r");
  ed.type(ESC + "[5~\r");  // ten back from the line being typed
  EXPECT_EQ(ed.sent.back(), "l16\n");
  ed.type(ESC + "[5~" + ESC + "[5~" + ESC + "[5~\r");  // not before the first
  EXPECT_EQ(ed.sent.back(), "l1\n");
  ed.type("x" + ESC + "[5~" + ESC + "[5~" + ESC + "[5~" + ESC + "[6~\r");
  EXPECT_EQ(ed.sent.back(), "l11\n");
  ed.type("y" + ESC + "[5~" + ESC + "[6~\r");  // back to the typed line
  EXPECT_EQ(ed.sent.back(), "y\n");
}

TEST(History, Limits) {
  auto h = std::make_unique<hist_store>();
  h->free_off = h->first = h->last = 0;
  for (int i = 1; i <= 301; ++i) {
    std::string s = "line " + std::to_string(i);
    hist_add(h.get(), s.data(), int(s.size()));
  }
  int n;
  ASSERT_EQ(hist_count(h.get()), 300);
  EXPECT_EQ(std::string(hist_entry(h.get(), 0, &n), 6), "line 2");
  // Lines of 100 bytes: 160 fill the text area, the 161st overwrites the
  // oldest.
  auto w = std::make_unique<hist_store>();
  w->free_off = w->first = w->last = 0;
  for (int i = 1; i <= 170; ++i) {
    std::string s(100, 'a' + i % 26);
    std::string num = std::to_string(i);
    s.replace(0, num.size(), num);
    hist_add(w.get(), s.data(), int(s.size()));
    if (i == 160) {
      EXPECT_EQ(hist_count(w.get()), 160);
    }
  }
  EXPECT_EQ(hist_count(w.get()), 160);
  for (int i = 0; i < 160; ++i) {
    const char* t = hist_entry(w.get(), i, &n);
    std::string want(100, 'a' + (i + 11) % 26);
    std::string num = std::to_string(i + 11);
    want.replace(0, num.size(), num);
    ASSERT_EQ(std::string(t, n), want) << i;
  }
  // Lines of mixed lengths keep every kept entry intact.
  auto m = std::make_unique<hist_store>();
  m->free_off = m->first = m->last = 0;
  std::vector<std::string> all;
  for (int i = 0; i < 600; ++i) {
    std::string s(1 + (i * 7919) % 3000, 'a' + i % 26);
    s += std::to_string(i);
    hist_add(m.get(), s.data(), int(s.size()));
    all.push_back(s);
    int k = hist_count(m.get());
    int total = 0;
    for (int j = 0; j < k; ++j) {
      const char* t = hist_entry(m.get(), j, &n);
      total += n;
      ASSERT_EQ(std::string(t, n), all[all.size() - k + j]) << i << " " << j;
    }
    ASSERT_LE(total, HIST_TEXT);
  }
}

// A scratch directory made current for the test.
struct scratch_dir {
  std::string was, dir;
  scratch_dir() {
    char buf[4096];
    was = getcwd(buf, sizeof buf) ? buf : "/";
    char tmpl[] = "/tmp/vexo_rawioXXXXXX";
    dir = mkdtemp(tmpl);
    EXPECT_EQ(chdir(dir.c_str()), 0);
  }
  ~scratch_dir() {
    EXPECT_EQ(chdir(was.c_str()), 0);
    std::filesystem::remove_all(dir);
  }
  void file(const std::string& name) { std::ofstream(dir + "/" + name) << "x"; }
};

TEST(LineEditor, Completion) {
  scratch_dir d;
  d.file("model.mod");
  d.file("model2.mod");
  mkdir((d.dir + "/sub").c_str(), 0700);
  d.file("sub/inner.dat");
  struct {
    const char* what;
    std::string keys;
    std::string line;
  } cases[] = {
      {"common part, then nothing, then the rest", "include mo\t\t.m\t",
       "include model.mod"},
      {"a directory gets /", "include su\t", "include sub/"},
      {"inside a directory", "include sub/\t", "include sub/inner.dat"},
      {"inside quotes: the closing quote", "include \"su\tin\t",
       "include \"sub/inner.dat\""},
      {"an absolute path", "include " + d.dir + "/model2\t",
       "include " + d.dir + "/model2.mod"},
      {"no match", "include zz\t", "include zz"},
      {"first column", "\t", ""},
      {"in the middle of the line", "include mod;" + ESC + "[D\t",
       "include model;"},
  };
  for (auto& c : cases) {
    editor ed;
    ed.type(c.keys);
    EXPECT_EQ(ed.line(), c.line) << c.what;
  }
  // A new file is seen: the listing is read again when the directory
  // changes.
  editor ed;
  ed.type("include x\t");
  EXPECT_EQ(ed.line(), "include x");
  d.file("xylo.dat");
  ed.type("\t");
  EXPECT_EQ(ed.line(), "include xylo.dat");
  // Room: no completion that would reach the limit.
  editor full;
  full.type(std::string(RD_LINE_MAX - 12, 'a') + " model.m\t");
  EXPECT_EQ(full.e->len, RD_LINE_MAX - 4);
}

TEST(LineEditor, CompletionAfterChangeOfDirectory) {
  scratch_dir d;
  mkdir((d.dir + "/sub").c_str(), 0700);
  d.file("sub/inner.dat");
  editor ed;
  ed.type("print 'in\t");
  EXPECT_EQ(ed.line(), "print 'in");
  ASSERT_EQ(chdir("sub"), 0);
  ed.type("\t");
  EXPECT_EQ(ed.line(), "print 'inner.dat'");
}

}  // namespace
