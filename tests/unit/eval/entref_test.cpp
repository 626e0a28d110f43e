// References to generated entities before anything is generated, and the
// look-up and misuse forms of references.
#include "eval/entref.h"

#include <gtest/gtest.h>

#include "compiler/tva.h"
#include "eval/paramref.h"
#include "eval/refs_fixture.h"
#include "frontend/suffix.h"
#include "instance/sufdecl.h"

namespace vexo {
namespace {

class Entities : public test::RefsTest {
 protected:
  static expr* bound(expr* e) {
    e->op = functab[opcode(e)];
    return e;
  }
  static expr* node(int op, operand l, operand r = nullptr) {
    return bound(new_expr(opword(op), l, r));
  }
  // The look-up of member sub of d.
  static expr* lookup(const char* d, double sub) {
    return node(OPLOOKUP, decl(d), bound(new_lit(Number(sub))));
  }
  // The messages of evaluating e, as in a command typed at a terminal.
  std::string run(expr* e) {
    in_cmds = 2;
    interactive = 1;
    if (infile > 0) close(infile);
    infile = 0;
    TVA* t = new_tva();
    test::outcome o = test::run_captured([&] { eval(e, t); });
    while (cur_tva) del_tva(cur_tva);
    return o.aborted ? o.err : "<no error>";
  }
};

TEST_F(Entities, UngeneratedEntitiesAreReported) {
  load(
      "var x{1..2}; var y;\n"
      "subject to c: y >= 0; minimize o: y; suffix sf;\n");
  suffix* sf = suff_named(Symbol("sf", 1));
  ASSERT_NE(sf, nullptr);
  struct row {
    expr* e;
    const char* err;
  };
  for (const row& r : {
           row{node(OPVAR164, decl("y")), "\tungenerated variable y\n"},
           row{node(OPVARSUB165, decl("x"), lookup("x", 1)),
               "\tungenerated variable x\n"},
           row{node(OPRECVAR166, decl("x"), lookup("x", 1)),
               "\tungenerated variable x\n"},
           row{node(OPCON, decl("c")), "\tungenerated constraint c\n"},
           row{node(OPCON, decl("o")), "\tungenerated objective o\n"},
           row{node(OPDUAL, decl("c")), "\tungenerated constraint c\n"},
           row{node(OPSYMVVAL, decl("y")), "\tungenerated variable y\n"},
           row{node(OPSUF, node(OPCON, decl("y"), static_cast<void*>(sf))),
               "\tungenerated variable y\n"},
           row{node(OPSUFSUBSYM,
                    node(OPCONSUB, decl("x"), static_cast<void*>(sf)),
                    lookup("x", 2)),
               "\tungenerated variable x\n"},
       })
    EXPECT_EQ(run(r.e), r.err) << opcode(r.e);
}

TEST_F(Entities, LookUpAndMisuse) {
  load("param a{1..3}; data; param a := 2 20 3 30;\n");
  TVA* t = new_tva();
  EXPECT_EQ(eval(lookup("a", 3), t).i, 1);
  EXPECT_EQ(eval(lookup("a", 1), t).i, -1);
  del_tva(t);
  EXPECT_EQ(run(node(OPERRSUB, decl("a"))),
            "\twrong number of subscripts for a\n");
}

}  // namespace
}  // namespace vexo
