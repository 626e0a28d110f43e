// The term evaluators: what the members of constraint bodies leave on the
// generator's lists, and the evaluable copies of randcopy.
#include "compiler/genterms.h"

#include <gtest/gtest.h>

#include "compiler/instantiate_fixture.h"
#include "instance/ac.h"
#include "support/pool.h"

namespace vexo {
namespace {

class Terms : public test::InstantiateTest {
 protected:
  void SetUp() override {
    InstantiateTest::SetUp();
    varref_kill0 = 1;  // as generation asks
  }
  void TearDown() override {
    varref_kill0 = 0;
    InstantiateTest::TearDown();
  }
};

constexpr const char* kModel =
    "param p; param z; set F; var x; var y{1..3};\n";
constexpr const char* kData =
    "data; param p := 0; param z := 0; set F := 1 2 3;\n";

TEST_F(Terms, EachKindOfTerm) {
  struct row {
    const char* con;
    const char* member;  // constant | linear | nonlinear | pl
  };
  const row rows[] = {
      {"x + 2 * y[2] + 3 * y[3]^2 - 4 <= 0", "-4 | 2*y[2] 1*x | (3 * (y[3] ^ 2)) |"},
      // A zero coefficient adds nothing, for every kind.
      {"z * x + z * x^2 + z * <<1; 2, 3>> x <= 1", "-1 | | |"},
      {"-(x^2) + (y[1]^2) >= 0", "0 | | (y[1] ^ 2) -((x ^ 2)) |"},
      {"3 * <<5; 2, 2>> x <= 6", "-6 | 6*x | |"},
      {"3 * <<5; 2, 2>> (x, 1) <= 6", "-12 | 6*x | |"},
      {"3 * <<5; 1, 2>> (x, 6) <= 6", "-27 | | | <<3;5;6>>x"},
      // A factor reaches the constants of what it multiplies.
      {"3 * (x + 5) <= 20", "-5 | 3*x | |"},
      {"(x + 5) / 2 <= 1", "1.5 | 0.5*x | |"},
      {"x - 3 * (y[1] + 5) >= 0", "-15 | -3*y[1] 1*x | |"},
      {"-(2 * (x + 1)) + 2 * sum{i in F} (y[i] + 1) >= 0",
       "4 | 2*y[3] 2*y[2] 2*y[1] -2*x | |"},
      {"3 * (if p > 0 then x^2 else 5) + x <= 20", "-5 | 1*x | |"},
  };
  std::string text = kModel;
  int n = 0;
  for (const row& r : rows)
    text += "subject to c" + std::to_string(++n) + ": " + r.con + ";\n";
  setup(text + kData);
  n = 0;
  for (const row& r : rows) {
    std::string name = "c" + std::to_string(++n);
    EXPECT_EQ(member1(name.c_str()), r.member) << r.con;
  }
}

TEST_F(Terms, ConditionKnownAtALevelIsChosenUntilTheLevelMovesOn) {
  setup(std::string(kModel) +
        "subject to c: 3 * (if p > 0 then x^2 else 5) + x <= 20;\n" + kData);
  EXPECT_EQ(member1("c"), "-5 | 1*x | |");
  model("let p := 1;\n");
  EXPECT_EQ(member1("c"), "-20 | 1*x | (3 * (x ^ 2)) |");
}

TEST_F(Terms, ConditionKnownAtAnOuterLevelIsChosenForEachMember) {
  setup(std::string(kModel) +
        "subject to d{i in F}: sin(if p > 0 then x^2 else y[i]) <= 1;\n" +
        kData);
  EXPECT_EQ(members("d"), (std::vector<std::string>{
                              "-1 | | sin(y[1]) |",
                              "-1 | | sin(y[2]) |",
                              "-1 | | sin(y[3]) |",
                          }));
  model("let p := 1;\n");
  EXPECT_EQ(members("d"), (std::vector<std::string>(
                              3, "-1 | | sin((x ^ 2)) |")));
  model("let p := 0;\n");
  EXPECT_EQ(member1("d"), "-1 | | sin(y[1]) |");
}

}  // namespace
}  // namespace vexo
