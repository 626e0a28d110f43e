// Insertion into and look-up in the set store: a million one-component
// members (names and numbers) and a million two-component members, each
// inserted one at a time into a fresh enumerated set (the table grows as it
// goes), then every member looked up, then as many absent tuples.  Prints
// nanoseconds per operation and the longest bucket chain.
#include <chrono>
#include <cstdio>
#include <vector>

#include "eval/set.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/scratch.h"
#include "support/symbol.h"

namespace {

using clock_type = std::chrono::steady_clock;

double ns_per(clock_type::time_point t0, clock_type::time_point t1, int n) {
  return std::chrono::duration<double, std::nano>(t1 - t0).count() / n;
}

int longest_chain(vexo::set* s) {
  int best = 0;
  for (int b = 0; b <= s->mask; b++) {
    int len = 0;
    for (vexo::setmem* m = s->htab[b]; m; m = m->hnext) len++;
    if (len > best) best = len;
  }
  return best;
}

// tuples holds n tuples of the given arity back to back; absent n more.
void run(const char* what, int arity, const std::vector<vexo::symbol*>& tuples,
         const std::vector<vexo::symbol*>& absent) {
  int n = static_cast<int>(tuples.size()) / arity;
  vexo::set* s = vexo::set_enum(vexo::new_enum(), arity);
  auto t0 = clock_type::now();
  for (int i = 0; i < n; i++)
    vexo::set_addmem(s, const_cast<vexo::symbol**>(&tuples[i * arity]));
  auto t1 = clock_type::now();
  long found = 0;
  for (int i = 0; i < n; i++)
    found += vexo::set_in(s, const_cast<vexo::symbol**>(&tuples[i * arity]),
                          nullptr) == i;
  auto t2 = clock_type::now();
  long missed = 0;
  for (int i = 0; i < n; i++)
    missed += vexo::set_in(s, const_cast<vexo::symbol**>(&absent[i * arity]),
                           nullptr) == -1;
  auto t3 = clock_type::now();
  vexo::Printf(
      "%-22s n=%d buckets=%d longest chain=%d\n"
      "  insert %.1f ns, lookup %.1f ns (found %ld), absent %.1f ns "
      "(missed %ld)\n",
      what, s->nmem, s->mask + 1, longest_chain(s), ns_per(t0, t1, n),
      ns_per(t1, t2, n), found, ns_per(t2, t3, n), missed);
  vexo::sdelete(s);
}

}  // namespace

int main() {
  vexo::Init_Stderr();
  vexo::Mach();
  vexo::scratch_reset();
  vexo::symbol_reset();
  const int n = 1000000;

  std::vector<vexo::symbol*> names, names_absent, nums, nums_absent;
  char buf[32];
  for (int i = 0; i < n; i++) {
    vexo::Sprintf(buf, "m%d", i);
    names.push_back(vexo::Symbol(buf, 1));
    vexo::Sprintf(buf, "x%d", i);
    names_absent.push_back(vexo::Symbol(buf, 1));
    nums.push_back(vexo::Number(i));
    nums_absent.push_back(vexo::Number(i + 0.5));
  }
  std::vector<vexo::symbol*> pairs, pairs_absent;
  for (int i = 0; i < n; i++) {
    pairs.push_back(names[i / 1000]);
    pairs.push_back(nums[i % 1000]);
    pairs_absent.push_back(names[i / 1000]);
    pairs_absent.push_back(nums_absent[i % 1000]);
  }

  run("names (arity 1)", 1, names, names_absent);
  run("numbers (arity 1)", 1, nums, nums_absent);
  run("name x number (arity 2)", 2, pairs, pairs_absent);
  std::fflush(stdout);
  return 0;
}
