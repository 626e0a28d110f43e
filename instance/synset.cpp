// Synonym sets, cached per synonym kind.
#include "instance/synset.h"

#include <array>

#include "eval/dotvalue.h"
#include "eval/optab.h"
#include "eval/set.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "instance/ac.h"
#include "instance/members.h"
#include "presolve/presolve.h"
#include "support/message.h"
#include "support/symbol.h"

namespace vexo {

namespace {

// One entry per synonym kind: the set and the presolve count it was built
// at.
struct syn_entry_rec {
  set* s = nullptr;
  int built = -1;
};
constexpr int N_SYNKINDS = 14;
std::array<syn_entry_rec, N_SYNKINDS> syn_sets;

syn_entry_rec& slot(int k) {
  if (k < 0 || k >= N_SYNKINDS) bug("bad synonym kind %d in synset", k);
  return syn_sets[size_t(k)];
}

}  // namespace

set* getsynset(AC* ac, int k) {
  syn_entry_rec& r = slot(k);
  if (r.s) sdelete(r.s);
  int32_t n = syn_count(ac, k);
  if (n < 0) bug("bad synonym kind %d in getsynset", k);
  set* s = set_enum(new_enum(), 1);
  for (int32_t i = 1; i <= n; ++i) {
    symbol* m = Number(double(i));
    set_append(s, &m);
  }
  r.s = s;
  r.built = presolve_count;
  return s;
}

set* synset(AC* ac, int k) {
  syn_entry_rec& r = slot(k);
  if (r.s && r.built == presolve_count) return r.s;
  return getsynset(ac, k);
}

set* fmtset(expr* e, int* flag, AC** acp) {
  if (opcode(e) != OP256 && opcode(e) != OP257) {
    *flag = 0;
    return nullptr;
  }
  *flag = 1;
  AC* ac = get_ts3(*acp ? *acp : cur_ac);
  *acp = ac;
  const kw_row* row = static_cast<const kw_row*>(e->L.sym->binding);
  return synset(ac, int(row->value));
}

void synset_reinit() { syn_sets.fill(syn_entry_rec{}); }

}  // namespace vexo
