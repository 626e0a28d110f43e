// Synonym sets: the numbers 1 .. n of a synonym kind, kept until a newer
// presolve, rebuilt after it, forgotten at reset.
#include "instance/synset.h"

#include <gtest/gtest.h>

#include "eval/set.h"
#include "instance/ac.h"
#include "presolve/presolve.h"
#include "solver/nl_fixture.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::NlTest;

class SynSet : public NlTest {};

// The members of s as numbers, in order.
std::vector<double> numbers(set* s) {
  std::vector<double> v;
  for (setmem* m = s->first; m; m = m->next) v.push_back(m->tup()[0]->value);
  return v;
}

TEST_F(SynSet, CachedUntilTheNextPresolve) {
  parse_text(test::lp_model);
  AC* ac = collect_plain(test::lp_problem());
  int before = presolve_count;
  set* vars = synset(ac, 0);
  EXPECT_EQ(numbers(vars), (std::vector<double>{1, 2}));
  EXPECT_EQ(numbers(synset(ac, 2)), (std::vector<double>{1, 2}));
  EXPECT_EQ(numbers(synset(ac, 4)), (std::vector<double>{1}));
  // Read twice without a presolve in between: the same set.
  EXPECT_EQ(synset(ac, 0), vars);
  // A presolve may renumber: the set is built again, with the new count.
  presolve_count = before + 1;
  ac->n_var_aux = 1;
  set* again = synset(ac, 0);
  EXPECT_EQ(numbers(again), (std::vector<double>{1}));
  EXPECT_EQ(synset(ac, 0), again);
  presolve_count = before;
  synset_reinit();
}

}  // namespace
}  // namespace vexo
