// Set-up shared by the tests of the instance records: a fresh session whose
// model is read through the real parser, and the generated members a
// declaration would have after generation (which these tests fill by hand:
// the records are what generation fills).
#ifndef VEXO_UNIT_INSTANCE_INSTANCE_FIXTURE_H
#define VEXO_UNIT_INSTANCE_INSTANCE_FIXTURE_H

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/expr.h"
#include "frontend/frontend_fixture.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo::test {

class InstanceTest : public ParserTest {
 protected:
  void SetUp() override { begin("/tmp/vexo_instance_XXXXXX"); }

  // A zeroed block of class k, as the collected problem's arrays are.
  template <class T>
  static T* block(int k) {
    return static_cast<T*>(new_mblk(k, 1));
  }

  static xnode* decl(const char* name) {
    return static_cast<xnode*>(Symbol0(name)->binding);
  }
  static var* var_named(const char* name) {
    return static_cast<var*>(decl(name));
  }

  // Gives v (indexed over one-number subscripts) the members with these
  // subscripts, its columns from first on.
  static void give_members(convar* v, std::initializer_list<double> subs,
                           int32_t first) {
    set* m = set_enum(new_enum(), 1);
    for (double x : subs) {
      symbol* t[1] = {Number(x)};
      set_addmem(m, t);
    }
    v->gen.members = m;
    v->gen.member_count = int32_t(subs.size());
    v->gen.member_class = htcl(8 * subs.size());
    v->gen.first_col = first;
  }
  // A scalar's one member at column first.
  static void give_member(convar* v, int32_t first) {
    v->gen.member_count = 1;
    v->gen.member_class = 0;
    v->gen.first_col = first;
  }

  // Length of the term pool's free list.
  static size_t free_terms() {
    size_t n = 0;
    for (varref* v = varref_freelist; v; v = vnext(v)) ++n;
    return n;
  }
};

// The declarations the generation report (option gentimes) lists in err,
// each followed by a space.
inline std::string generated_decls(const std::string& err) {
  std::string names;
  size_t at = 0;
  while ((at = err.find("## ", at)) != std::string::npos) {
    size_t end = err.find('\n', at);
    std::string line = err.substr(at, end - at);
    names += line.substr(line.rfind(' ') + 1) + " ";
    at = end;
  }
  return names;
}

// The columns of the variable references in instantiated expression e,
// "v<column> " in walk order.
struct varval_walker : walker_defaults {
  std::string cols;
  void operand(expr*& e) { walk(e); }
  void chain(expr*& e) {
    for (expr* x = e; x; x = x->next) walk(x);
  }
  void args(expr*& e, bool) {
    for (expr* x = e; x; x = x->next) walk(x->R.e);
  }
  void walk(expr* e) {
    if (!e) return;
    if (opcode(e) == OPVARVAL146)
      cols += "v" + std::to_string(e->L.i) + " ";
    else
      visit_operands(e, *this);
  }
};
inline std::string varvals(expr* e) {
  varval_walker w;
  w.walk(e);
  return w.cols;
}

}  // namespace vexo::test

#endif  // VEXO_UNIT_INSTANCE_INSTANCE_FIXTURE_H
