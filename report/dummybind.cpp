// Binding of index dummies for the printers.
#include "report/dummybind.h"

#include "compiler/context.h"
#include "eval/indexing.h"

namespace vexo {

Index* Ind0[2][32];
int32_t firstdummy0[2][33];
int k_Ind;
Index** Ind = Ind0[0];
int32_t* firstdummy = firstdummy0[0];

static void select_bank(int k) {
  k_Ind = k;
  Ind = Ind0[k];
  firstdummy = firstdummy0[k];
}

// A new outermost scope (its first entry at level 1) takes the other bank.
static bool outermost(const set_spec* ss) {
  return ss->first && ss->first->level == 1;
}

void ss_setup0(set_spec* ss) {
  if (outermost(ss)) select_bank(1 - k_Ind);
  for (Index* ix = ss->first; ix; ix = ix->next) {
    int L = ix->level;
    if (L < 0 || L > 31) continue;
    Ind[L] = ix;
    int n = ix->s ? ix->s->arity : ix->ndum;
    firstdummy[L + 1] = firstdummy[L] + n;
  }
}

void ss_teardown0(set_spec* ss) {
  if (outermost(ss)) select_bank(1 - k_Ind);
}

void ss_setup(set_spec* ss, xnode* d) {
  ss->depmask = 0;
  ss_setup0(ss);
  ss_start(ss, d);
}

void ss_teardown(set_spec* ss) {
  ss_end(ss);
  ss_teardown0(ss);
}

void dummybind_init() {
  for (auto& bank : Ind0)
    for (Index*& ix : bank) ix = nullptr;
  for (auto& bank : firstdummy0)
    for (int32_t& n : bank) n = 0;
  select_bank(0);
}

}  // namespace vexo
