// Named problems: declaration and current problem, memberships applied to
// the member states, explicit drop state kept per problem, reset.
#include "instance/problem.h"

#include "frontend/decl_fixture.h"
#include "instance/instance_fixture.h"
#include "instance/members.h"

namespace vexo {
namespace {

using Problem = test::DeclTest;

TEST_F(Problem, NewestIsCurrentAndCollectsEntities) {
  problem* p = new_problem(Symbol("P", 1), nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(cur_prob, p);
  EXPECT_NE(p, initial_prob);
  EXPECT_EQ(Symbol("P", 0)->binding, p);
  // The placeholder's name stands for the current problem.
  EXPECT_EQ(Symbol("Current", 0)->binding, p);
  EXPECT_EQ(need_prob, 1);
  var* x = new var(Symbol("x", 1), nullptr, nullptr, 0);
  x = x->finish_dcl(0);
  ASSERT_NE(p->ents, nullptr);
  EXPECT_EQ(p->ents->L.e->L.x, x);
  ASSERT_EQ(x->nrefs, 1);
  EXPECT_EQ(x->refs[0], static_cast<uint32_t>(p->num));
}

class Membership : public test::InstanceTest {
 protected:
  void SetUp() override {
    InstanceTest::SetUp();
    parse_text(
        "var x;\n"
        "subject to c{i in 1..3}: x >= i;\n"
        "problem r: x, c[1], c[3];\n"
        "problem s: c[1], {i in 2..3} (c[i]), c;\n"
        "problem p: x, c;\n"
        "problem q: x, c;\n");
    c = static_cast<constr*>(decl("c"));
    give_members(c, {1, 2, 3}, 0);
  }
  // Makes the problem named current and applies its membership.
  void enter(const char* name) {
    problem_cmd(static_cast<problem*>(decl(name)), nullptr, nullptr);
    get_prob();
  }
  // The member states of c as "in"/"out" letters, 'D' for out explicitly.
  std::string states() const {
    std::string s;
    for (int i = 0; i < 3; ++i) {
      uint8_t b = c->gen.member_status ? c->gen.member_status[i] : 0;
      s += (b & GS_DROPPED) ? ((b & PS_EXPLICIT) ? 'D' : 'o') : 'i';
    }
    return s;
  }
  constr* c = nullptr;
};

TEST_F(Membership, ItemsNameMembersOrWholeDeclarations) {
  struct row {
    const char* prob;
    const char* want;
  };
  for (row r : {row{"r", "ioi"}, row{"s", "iii"}, row{"p", "iii"},
                row{"r", "ioi"}}) {
    enter(r.prob);
    EXPECT_EQ(states(), r.want) << r.prob;
    EXPECT_EQ(need_prob, 0);
  }
  EXPECT_EQ(c->gen.state_count, 1);
  EXPECT_FALSE(c->flags & CV_ALLDROPPED);
}

TEST_F(Membership, ExplicitDropStaysWithItsProblem) {
  enter("p");
  // What `drop c[2];` does in p.
  if (!c->gen.member_status) figalloc(c);
  c->gen.member_status[1] |= uint8_t(GS_DROPPED) | uint8_t(PS_EXPLICIT);
  c->flags |= PF_EXPLICIT1;
  ++n_explicit;
  enter("q");
  EXPECT_EQ(states(), "iii");
  enter("p");
  EXPECT_EQ(states(), "iDi");
  enter("q");
  EXPECT_EQ(states(), "iii");
}

// A synonym array names the entities it lists in the problem as collected
// when the membership is built (the problem current before): an element
// one member, the whole array every member it lists.
TEST_F(Membership, SynonymItemsNameCollectedEntities) {
  parse_text(
      "problem u: x, _con[2];\n"
      "problem w: x, _con;\n"
      "problem v: _con[3];\n");
  struct row {
    const char* prob;
    const char* want;
  };
  // r collects rows c[1] and c[3]: its second row is c[3].
  for (row r : {row{"r", "ioi"}, row{"u", "ooi"}, row{"p", "iii"},
                row{"w", "iii"}, row{"r", "ioi"}, row{"w", "iii"}}) {
    enter(r.prob);
    EXPECT_EQ(states(), r.want) << r.prob;
  }
  // The membership stands until it is reset: then r's rows again.
  enter("r");
  reset_prob(static_cast<problem*>(decl("w")), nullptr, nullptr);
  enter("w");
  EXPECT_EQ(states(), "ioi");
  // Two rows collected: no third.
  test::outcome o = test::run_captured([this] { enter("v"); });
  EXPECT_NE(o.err.find("Can't evaluate _con[3]:\n\tsubscript not in 1 .. 2"),
            std::string::npos)
      << o.err;
}

TEST_F(Membership, ResetProblemFreesTheMembership) {
  enter("r");
  problem* r = static_cast<problem*>(decl("r"));
  ASSERT_NE(r->pinfo->decls, nullptr);
  EXPECT_EQ(cur_pinfo, r->pinfo);
  reset_prob(nullptr, nullptr, nullptr);
  EXPECT_EQ(r->pinfo->decls, nullptr);
  EXPECT_EQ(cur_pinfo, nullptr);
  EXPECT_EQ(need_prob, 1);
  get_prob();
  EXPECT_EQ(states(), "ioi");
}

TEST_F(Membership, IndexedProblemNeedsAMember) {
  parse_text("problem t{j in 1..2}: {i in 1..3: i != j} (c[i]);\n");
  problem* t = static_cast<problem*>(decl("t"));
  EXPECT_EQ(cur_prob, t);
  EXPECT_EQ(need_prob, 3);
  test::outcome o = test::run_captured([] { get_prob(); });
  EXPECT_NE(o.err.find("problem t[...] command needed"), std::string::npos);
  for (double j : {2.0, 1.0}) {
    symbol* tuple[1] = {Number(j)};
    adj_cur_prob(t, tuple);
    get_prob();
    EXPECT_EQ(states(), j == 1 ? "oii" : "ioi");
  }
  EXPECT_EQ(t->members->nmem, 2);
  // Dropping the current member makes the placeholder current.
  uint8_t removed[2] = {0, 1};
  prob_subfix(t, 1, removed);
  EXPECT_EQ(t->members->nmem, 1);
  EXPECT_EQ(cur_prob, Current_prob);
  EXPECT_EQ(need_prob, 0);
}

}  // namespace
}  // namespace vexo
