// Set-up shared by the unit tests: the modules' state as start-up builds
// it; the input state of a fresh non-interactive session; a scratch
// directory whose files become the input; a test that parses text through
// the real lexer and grammar.
#ifndef VEXO_UNIT_FRONTEND_FRONTEND_FIXTURE_H
#define VEXO_UNIT_FRONTEND_FRONTEND_FIXTURE_H

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "data/readdata.h"
#include "frontend/cmdbuild.h"
#include "frontend/expr.h"
#include "frontend/lexer.h"
#include "frontend/parse.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "session/cmdrec.h"
#include "session/execute.h"
#include "session/include.h"
#include "session/infiles.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/options.h"
#include "session/startup.h"
#include "support/block.h"
#include "support/machine.h"
#include "support/message.h"
#include "test_util.h"

namespace vexo::test {

// The process set-up (Stderr and stdOut; the machine constants, which also
// make Stderr fully buffered, only with mach; the lexer's character
// tables) and a new session's state as start-up builds it (the one list,
// init_modules of session/startup.h), without the option table.
inline void start_modules(bool mach = true) {
  if (!Stderr) Init_Stderr();
  stdOut = stdout;
  if (mach) Mach();
  init_tok_types();
  init_modules(1);
}

// Puts n fresh nodes on the expression free list, so that its length
// afterwards shows whether a deletion gave every node back.
inline void fill_expr_free_list(int n) {
  expr* spare = nullptr;
  for (int k = 0; k < n; ++k) {
    expr* e = new_expr(0);
    e->next = spare;
    spare = e;
  }
  free_expr(spare);
}

// What a non-interactive session has after start-up while it reads model
// and commands (run_session: parse_time 1), reading nothing yet.
inline void reset_input(bool mach = true) {
  start_modules(mach);
  parse_time = 1;
}

// Makes names (a null-terminated vector, null for none) the top-level
// inputs that nextfile opens next, in order; standard input when there are
// none.  The vector must outlive the reading.
inline void set_input_files(char** names) {
  static char* argv[64];
  int n = 0;
  argv[n++] = const_cast<char*>("vexo");
  for (char** p = names; p && *p && n < 63; ++p) argv[n++] = *p;
  argv[n] = nullptr;
  xargv = argv;
  read_options = n == 1;  // no names: standard input
  at_eof = 0;
}

// start_modules, with nothing being read (parse_time 0): messages carry no
// input position, only "\n\t" in front.
inline void start_session(bool mach = true) { start_modules(mach); }

// The whole front end as a fresh session starts it to read statements:
// start_modules and reset_input, reading commands (not data) outside any
// declaration.
inline void start_parser() {
  start_modules();
  parse_time = 1;
}

// A fresh directory under /tmp for a test to run in, so that messages
// name its files as given; the files written there become the input.
// enter in SetUp, leave in TearDown.
class InputDir {
 protected:
  // pattern: "/tmp/<name>_XXXXXX".
  void enter(const char* pattern) {
    ASSERT_NE(getcwd(cwd_, sizeof cwd_), nullptr);
    std::string dir = pattern;
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    dir_ = dir;
    ASSERT_EQ(chdir(dir_.c_str()), 0);
  }
  // Closes the input, forgets the input files and removes the directory.
  void leave() {
    if (infile > 0) close(infile);
    infile = -1;
    infname = nullptr;
    set_input_files(nullptr);
    EXPECT_EQ(chdir(cwd_), 0);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    EXPECT_FALSE(ec) << dir_ << ": " << ec.message();
  }

  static void write_file(const char* name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
  }

  // Makes the named files (name, text, name, text, ...) the input.
  void inputs(std::initializer_list<std::string> files) {
    names_.clear();
    store_.clear();
    for (auto it = files.begin(); it != files.end(); it += 2) {
      write_file(it->c_str(), *(it + 1));
      store_.push_back(*it);
    }
    for (auto& s : store_) names_.push_back(s.data());
    names_.push_back(nullptr);
    set_input_files(names_.data());
    nextfile(0, 0);
  }

  char cwd_[PATH_MAX];
  std::string dir_;
  std::vector<std::string> store_;
  std::vector<char*> names_;
};

// A test that parses text through the real lexer and grammar: a fresh
// front end (start_parser) in a scratch directory of its own; commands run
// (no record listing) afterwards.
class ParserTest : public ::testing::Test, protected InputDir {
 protected:
  // pattern as for InputDir::enter.  Call from SetUp.
  void begin(const char* pattern) {
    fresh_parser();
    enter(pattern);
  }
  // The front end of a fresh session again (any time within a test).
  void fresh_parser() {
    start_parser();
    exec_listing = nullptr;
  }
  void TearDown() override {
    exec_listing = nullptr;
    leave();
  }

  // Makes text the one input file, in.x; nextfile opens it.
  void input_text(const std::string& text) {
    write_file("in.x", text);
    static char name[] = "in.x";
    static char* names[] = {name, nullptr};
    set_input_files(names);
  }
  // Parses text as the one input file; returns yyparse's result (-1 when
  // the run ended otherwise); *out receives what was written.
  int parse_input(const std::string& text, outcome* out) {
    input_text(text);
    int result = -1;
    *out = run_captured([&] {
      nextfile(0, 0);
      cmd_start = in_cmds;
      result = yyparse();
    });
    return result;
  }
  // Parses text; fails the test on any message.
  void parse_text(const std::string& text) {
    outcome r;
    parse_input(text, &r);
    ASSERT_EQ(r.err, "") << text;
  }
  // Reads statements (model, data, commands) as typed at a terminal: an
  // error ends the command, the session goes on.  Returns what they wrote.
  outcome typed(const std::string& text) {
    write_file("typed", text);
    int fd = open("typed", O_RDONLY);
    int saved = dup(0);
    dup2(fd, 0);
    close(fd);
    set_input_files(nullptr);
    interactive = 1;
    rc = 0;
    outcome o = run_captured([] {
      nextfile(0, 0);
      cmd_start = in_cmds;
      yyparse();
    });
    dup2(saved, 0);
    close(saved);
    return o;
  }
};

}  // namespace vexo::test

#endif  // VEXO_UNIT_FRONTEND_FRONTEND_FIXTURE_H
