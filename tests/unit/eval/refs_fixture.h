// Set-up of the tests of entity references: model text with data sections
// read through the real lexer, parser and data reader; the declarations
// compiled (compile) and an expression compiled through the compilation
// bracket and evaluated, as a command does.  The expression is written in
// model text as the definition of a probe param, which is taken out of the
// declaration before anything is compiled.
#ifndef VEXO_UNIT_EVAL_REFS_FIXTURE_H
#define VEXO_UNIT_EVAL_REFS_FIXTURE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "compiler/compdecl.h"
#include "compiler/compile.h"
#include "compiler/tva.h"
#include "data/values.h"
#include "eval/dispatch.h"
#include "frontend/model_fixture.h"
#include "frontend/paramdcl.h"
#include "frontend/parse.h"
#include "report/prex.h"
#include "session/include.h"
#include "session/sysdecls.h"
#include "support/numfmt.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo::test {

class RefsTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    display_width = 79;  // the option's default: texts in messages
  }
  void TearDown() override {
    while (cur_tva) del_tva(cur_tva);
    in_cmds = 1;
    interactive = 0;
    ModelTest::TearDown();
  }

  // Reads model text with data sections; nothing may be reported.  The
  // session goes on reading (commands follow).
  void load(const std::string& text) { model(text + "\nmodel;\n"); }

  // What an expression evaluates to, as a command evaluates it: a number's
  // shortest text, a string's or symbol's text; after an error, the
  // message that ended the command (its first line, "error during ..." or
  // "Error ...", left out when it names no member).
  std::string value(const std::string& text) { return probe(text, ""); }
  // The same for a symbolic expression.
  std::string svalue(const std::string& text) {
    return probe(text, " symbolic");
  }

  std::string probe(const std::string& text, const char* type) {
    std::string name = "probe" + std::to_string(++probes_);
    model("param " + name + type + " := " + text + ";\n");
    at_eof = 0;
    expr* e = def(name.c_str());
    def(name.c_str()) = nullptr;
    // As in a command typed at a terminal: an evaluation error abandons
    // the command and the session goes on.
    in_cmds = 2;
    interactive = 1;
    if (infile > 0) close(infile);
    infile = 0;
    bailquit = 0;
    std::string r;
    outcome o = run_captured([&] {
      compile();
      compile_start();
      mri(&e, 1);
      TVA* t = compile_end(nullptr);
      if (has_flag(e, EF_NUMERIC)) {
        r = gfmt(eval_num(e, t), 0, nullptr);
      } else if (has_flag(e, EF_STRING)) {
        cstr* s = eval_str(e, t);
        r = s->text();
        zap_cstr(&s);
      } else {
        r = eval_sym(e, t)->name;
      }
      del_tva(t);
    });
    while (cur_tva) del_tva(cur_tva);
    err_ = o.err;
    if (o.exited) return "<exited " + std::to_string(o.code) + ">" + o.err;
    if (!o.aborted) return r;
    return o.err;
  }

  // The messages of the last evaluation.
  const std::string& err() const { return err_; }

  static double check_failures_count() {
    return *sysparam_cell(vexo::check_failures);
  }

  int probes_ = 0;
  std::string err_;
};

// Occurrences of what in s.
inline int occurrences(const std::string& s, const std::string& what) {
  int n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1))
    ++n;
  return n;
}

}  // namespace vexo::test

#endif  // VEXO_UNIT_EVAL_REFS_FIXTURE_H
