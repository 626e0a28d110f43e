// The index table of the printer and the dummy binding.
#include "report/indextab.h"

#include <cstring>

#include "compiler/context.h"
#include "eval/indexing.h"
#include "eval/set.h"

namespace vexo {

Index* Ind0[2][IND_LEVELS];
int32_t firstdummy0[2][IND_LEVELS + 1];
int k_Ind;
Index** Ind = Ind0[0];
int32_t* firstdummy = firstdummy0[0];

void ind_bank(int k) {
  k_Ind = k;
  Ind = Ind0[k];
  firstdummy = firstdummy0[k];
}

void ind_enter(Index* e) {
  int lev = e->level;
  if (lev < 1 || lev >= IND_LEVELS) return;
  Ind[lev] = e;
  int32_t n = e->s ? e->s->arity : e->ndum;
  firstdummy[lev + 1] = firstdummy[lev] + n;
}

// The bank saved by ind_hold, and which one it was (-1: none saved).
static Index* held_ind[IND_LEVELS];
static int32_t held_fd[IND_LEVELS + 1];
static int held_bank = -1;

void ind_hold() {
  if (held_bank >= 0) return;
  held_bank = k_Ind;
  std::memcpy(held_ind, Ind, sizeof held_ind);
  std::memcpy(held_fd, firstdummy, sizeof held_fd);
}

void ind_release() {
  if (held_bank < 0) return;
  std::memcpy(Ind0[held_bank], held_ind, sizeof held_ind);
  std::memcpy(firstdummy0[held_bank], held_fd, sizeof held_fd);
  held_bank = -1;
}

// A new outermost scope (its first entry at level 1) takes the other bank.
static bool outermost(const set_spec* ss) {
  return ss->first && ss->first->level == 1;
}

void ss_setup0(set_spec* ss) {
  if (outermost(ss)) ind_bank(1 - k_Ind);
  for (Index* ix = ss->first; ix; ix = ix->next) ind_enter(ix);
}

void ss_teardown0(set_spec* ss) {
  if (outermost(ss)) ind_bank(1 - k_Ind);
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

void indextab_reset() {
  std::memset(Ind0, 0, sizeof Ind0);
  std::memset(firstdummy0, 0, sizeof firstdummy0);
  held_bank = -1;
  ind_bank(0);
}

}  // namespace vexo
