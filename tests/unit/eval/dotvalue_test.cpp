// Synonyms over a collected problem filled by hand (as collection and
// presolve will leave it): x and y[1], y[2] are columns 0 .. 2, sent to the
// solver in the order y[2], x (y[1] removed by presolve).
#include "eval/dotvalue.h"

#include <gtest/gtest.h>

#include "eval/refs_fixture.h"
#include "eval/set.h"
#include "instance/ac.h"
#include "instance/names.h"
#include "support/pool.h"

namespace vexo {
namespace {

class Synonyms : public test::RefsTest {
 protected:
  void SetUp() override {
    RefsTest::SetUp();
    load("var x; var y{1..2};\n");
    ac = new_ac();
    ac->n_var = ac->n_var_aux = 3;
    ac->n_var_sent = 2;
    ac->var_class = htcl(8 * 3);
    ac->var_init_val = static_cast<double*>(new_mblk(ac->var_class, 1));
    ac->var_order = static_cast<int32_t*>(
        new_mblk(elem_class(ac->var_class, 4), 1));
    ac->var_names_class = htcl(sizeof(xname) * 3);
    ac->var_names = static_cast<xname*>(new_mblk(ac->var_names_class, 1));
    double vals[] = {4, 5, 6};
    int32_t order[] = {2, 0, 1};
    members = set_enum(new_enum(), 1);
    for (int i = 1; i <= 2; ++i) {
      symbol* t[1] = {Number(i)};
      set_addmem(members, t);
    }
    xnode* x = static_cast<xnode*>(Symbol0("x")->binding);
    xnode* y = static_cast<xnode*>(Symbol0("y")->binding);
    ac->var_names[0] = {x, nullptr, nullptr};
    ac->var_names[1] = {y, members->first, nullptr};
    ac->var_names[2] = {y, members->first->next, nullptr};
    for (int i = 0; i < 3; ++i) {
      ac->var_init_val[i] = vals[i];
      ac->var_order[i] = order[i];
    }
    trans_state = 3;
  }
  void TearDown() override {
    trans_state = 0;
    del_mblk(ac->var_class, ac->var_init_val);
    del_mblk(elem_class(ac->var_class, 4), ac->var_order);
    del_mblk(ac->var_names_class, ac->var_names);
    ac->var_init_val = nullptr;
    ac->var_order = nullptr;
    ac->var_names = nullptr;
    ac->n_var = ac->n_var_aux = ac->n_var_sent = 0;
    del_enum(members);
    RefsTest::TearDown();
  }
  // What a print command typed at a terminal writes, errors included
  // without their location (the first two lines).
  std::string print(const std::string& what) {
    in_cmds = 2;
    interactive = 1;
    if (infile > 0) close(infile);
    infile = 0;
    bailquit = 0;
    test::outcome o;
    parse_input("print " + what + ";\n", &o);
    rec_xnode = nullptr;
    while (cur_tva) del_tva(cur_tva);
    std::string err = o.err;
    for (int i = 0; i < 2 && !err.empty(); ++i) err.erase(0, err.find('\n') + 1);
    return o.out + err;
  }
  AC* ac = nullptr;
  set* members = nullptr;
};

TEST_F(Synonyms, NumberTheColumnsInEitherOrder) {
  EXPECT_EQ(print("_var[1] + 10 * _var[3], _varname[3]"), "64 y[2]\n");
  EXPECT_EQ(print("_svar[1], _svarname[2]"), "6 x\n");
}

TEST_F(Synonyms, SubscriptOutsideTheCountIsRefused) {
  for (const auto& [sub, shown] : {
           std::pair{"0", "0"},
           {"_nvars + 1", "4"},
           {"1.5", "1.5"},
           {"'a'", "'a'"},
       }) {
    EXPECT_EQ(print(std::string("_var[") + sub + "]"),
              std::string("\tCan't evaluate _var[") + shown +
                  "]:\n\tsubscript not in 1 .. 3\n")
        << sub;
  }
  EXPECT_EQ(print("_svar[3]"),
            "\tCan't evaluate _svar[3]:\n\tsubscript not in 1 .. 2\n");
}

}  // namespace
}  // namespace vexo
