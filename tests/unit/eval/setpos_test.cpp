// Positions in ordered sets, num, and the conversion of members to
// numbers.
#include "eval/setpos.h"

#include <gtest/gtest.h>

#include "eval/refs_fixture.h"

namespace vexo {
namespace {

using SetPositions = test::RefsTest;

struct row {
  const char* expr;
  const char* value;  // or the message
};

TEST_F(SetPositions, PositionsAndTheirErrors) {
  load(
      "set O ordered := {'a', 'b', 'c'}; set C circular := {3, 1, 2};\n"
      "set E ordered := {'a'} diff {'a'};\n"
      "param s symbolic; param q symbolic; param k;\n"
      "data; param s := abc; param q := 12; param k := 2;\n");
  for (const row& r : {
           row{"ord('b', O)", "2"},
           row{"ord(2, C)", "3"},
           row{"ord('d', O)", "\t'd' is not in O -- can't evaluate ord.\n"},
           row{"ord(4, C)", "\t4 is not in C -- can't evaluate ord.\n"},
           row{"member(0, O)",
               "\tcan't compute member(0,O):\n"
               "\targ 1 is not an integer between 1 and 3\n"},
           row{"member(2.5, O)",
               "\tcan't compute member(2.5,O):\n"
               "\targ 1 is not an integer between 1 and 3\n"},
           row{"member(4, O)",
               "\tcan't compute member(4,O):\n"
               "\targ 1 is not an integer between 1 and 3\n"},
           row{"num(' 12 ')", "12"},
           row{"num('12x')", "\tnonnumeric string in num(\"12x\").\n"},
           row{"num('')", "\tnonnumeric string in num(\"\").\n"},
           row{"q + 1", "13"},
           row{"s + 1", "\tcan't convert s = 'abc' to a number.\n"},
           row{"next(3, C, k) + last(C)", "4"},
       })
    EXPECT_EQ(value(r.expr), r.value) << r.expr;
  for (const row& r : {
           row{"member(3, O)", "c"},
           row{"first(O) & last(O)", "ac"},
           row{"next('a', O)", "b"},
           row{"prev('c', O, 2)", "a"},
           row{"next('c', O)",
               "\tcan't compute next('c', O) -- 'c' is the last member\n"},
           row{"prev('a', O)",
               "\tcan't compute prev('a', O) -- 'a' is the first member\n"},
           row{"nextw('c', O)", "a"},
           row{"prevw('a', O, 2)", "b"},
           row{"nextw('a', O, -7)", "c"},
           row{"next('a', O, 1.5)",
               "\tThird argument to next = 1.5 is not an integer.\n"},
           row{"next('b', O, 3)",
               "\tcan't compute next('b', O, 3) -- third arg must be < 2\n"},
           row{"next('b', O, -2)",
               "\tcan't compute next('b', O, -2) -- third arg must be >= -1\n"},
           row{"prev('b', O, 2)",
               "\tcan't compute prev('b', O, 2) -- third arg must be <= 1\n"},
           row{"prev('b', O, -2)",
               "\tcan't compute prev('b', O, -2) -- third arg must be > -2\n"},
           row{"next('x', O)", "\t'x' is not in O -- can't evaluate next.\n"},
           row{"first(E)", "\tcan't compute first: set E is empty\n"},
           row{"last(E)", "\tcan't compute last: set E is empty\n"},
           row{"next(2, C)", "3"},
       })
    EXPECT_EQ(svalue(r.expr), r.value) << r.expr;
}

}  // namespace
}  // namespace vexo
