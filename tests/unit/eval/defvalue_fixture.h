// Values of definitions written in model text: a param's definition is
// compiled as a command compiles its expressions and evaluated, and its
// value given as text.
#ifndef VEXO_UNIT_EVAL_DEFVALUE_FIXTURE_H
#define VEXO_UNIT_EVAL_DEFVALUE_FIXTURE_H

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "compiler/compile_fixture.h"
#include "support/numfmt.h"

namespace vexo::test {

class DefValueTest : public CompileTest {
 protected:
  // The value of param name's definition, compiled as a command compiles
  // it: a number's shortest text, or a symbolic value's text.
  std::string value(const char* name) {
    compile_start();
    mri(&def(name), 1);
    TVA* t = compile_end(nullptr);
    rebind(def(name));
    expr* e = def(name);
    std::string r;
    if (has_flag(e, EF_NUMERIC)) {
      r = gfmt(eval_num(e, t), 0, nullptr);
    } else if (has_flag(e, EF_STRING)) {
      cstr* s = eval_str(e, t);
      r = s->text();
      release_cstr(s);
    } else {
      r = eval_sym(e, t)->name;
    }
    del_tva(t);
    return r;
  }
  // The values of the params p1, p2, ... declared as "param pK <def>;"
  // one for each definition given.
  void expect_values(
      std::initializer_list<std::pair<const char*, const char*>> rows) {
    std::string text;
    int k = 0;
    for (auto& r : rows)
      text += "param p" + std::to_string(++k) + " " + r.first + ";\n";
    model(text);
    k = 0;
    for (auto& r : rows) {
      std::string nm = "p" + std::to_string(++k);
      EXPECT_EQ(value(nm.c_str()), r.second) << r.first;
    }
  }
};

}  // namespace vexo::test

#endif  // VEXO_UNIT_EVAL_DEFVALUE_FIXTURE_H
