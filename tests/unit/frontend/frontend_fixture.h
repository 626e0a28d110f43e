// Set-up shared by the front-end and session unit tests: the layers under
// the front end, the node pools and the declaration tables; the input state
// of a fresh non-interactive session; a scratch directory whose files
// become the input.
#ifndef VEXO_UNIT_FRONTEND_FRONTEND_FIXTURE_H
#define VEXO_UNIT_FRONTEND_FRONTEND_FIXTURE_H

#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "frontend/cmdbuild.h"
#include "frontend/dclstub.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/lexer.h"
#include "frontend/neighbours.h"
#include "frontend/parse.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "frontend/sysdecl.h"
#include "session/environs.h"
#include "support/block.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo::test {

// Stderr, the machine constants (with mach: they also make Stderr fully
// buffered), the scratch buffers and the symbol table.
inline void start_support(bool mach = true) {
  if (!Stderr) Init_Stderr();
  if (mach) Mach();
  scratch_init();
  symbols_init();
}

// The node pools: list cells and scopes, expressions (with the hooks of
// the tree walks), dummies and indexings.
inline void start_pools() {
  list_reinit();
  expr_init();
  dummy_init();
}

// What the declaration builders need: the above, the declaration tables
// and the system declarations.
inline void start_declarations() {
  start_support();
  start_pools();
  decl_init();
  sysdecl_init();
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

// The reader, the raw tokenizer and the input-file stack as in a fresh
// non-interactive session that reads nothing yet (through ::read), with
// the least neighbour hooks: other suites of a binary may leave them
// changed.
inline void reset_input() {
  blockmode = 0;
  interactive = 0;
  rc = 0;
  at_eof = nfs = ins_nfs = inslev = 0;
  infile_changed = 0;
  yy_special = 0;
  yytokno = 0;
  yysptr = yysbuf;
  cmdstate = single_step = 0;
  eexit = warnings = 0;
  endjump = 0;
  parse_time = 1;
  reader = ::read;
  infile = -1;
  infname = nullptr;
  cmd_reset2_hook = [] {};
  start_check_hook = [] {};
  incl_check_hook = [] {};
  clear_queue_hook = [] {};
  neighbours_init();
  reader_reset();
}

// The whole front end as a fresh session starts it to read statements: the
// token tables, the declarations with the system ones, the keyword tables,
// the input state, the lexer's and the grammar's own state.
inline void start_parser() {
  start_support();
  init_tok_types();
  decl_init();
  expr_init();
  dummy_init();
  sysdecl_init();
  dclstub_init();
  cmdbuild_reset();
  init_environs();
  parse_init();
  list_reinit();
  reset_input();
  in_cmds = 1;
  from_data = 0;
  Curdclname = nullptr;
  lex_reset();
  cmdbuild_reset();
  parse_state_reset();
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
    std::string cmd = "rm -rf " + dir_;
    EXPECT_EQ(system(cmd.c_str()), 0);
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
    nextfile_hook(0, 0);
  }

  char cwd_[PATH_MAX];
  std::string dir_;
  std::vector<std::string> store_;
  std::vector<char*> names_;
};

// A test that parses text through the real lexer and grammar: a fresh
// front end (start_parser) in a scratch directory of its own; the message
// core and the token source as other suites expect them afterwards.
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
    token_source = saved_source_;
    cmd_trace = nullptr;
  }
  void TearDown() override {
    squawk_hook = saved_squawk_;
    cmd_trace = nullptr;
    token_source = saved_source_;
    leave();
  }

  // Makes text the one input file, in.x; nextfile_hook opens it.
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
      nextfile_hook(0, 0);
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

  int (*saved_source_)() = token_source;
  decltype(squawk_hook) saved_squawk_ = squawk_hook;
};

}  // namespace vexo::test

#endif  // VEXO_UNIT_FRONTEND_FRONTEND_FIXTURE_H
