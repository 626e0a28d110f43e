// Evaluation contexts: their sizing after a compilation, their blocks and
// their frames.
#include "compiler/tva.h"

#include <cerrno>
#include <cstdio>

#include "compiler/context.h"
#include "compiler/opgen.h"
#include "eval/indexing.h"
#include "instance/ac.h"
#include "session/opttable.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

int32_t tva_need;
int32_t tva_hcl;
int32_t tva_len;
int32_t tva_cells0;
TVA* cur_tva;

// The size record takes the first two words of the block, the TVA record
// follows.
constexpr int SIZE_WORDS = 2;
static_assert(sizeof(tva_size) <= SIZE_WORDS * sizeof(void*));

int32_t TVAneed(int32_t n) { return (max_context + 1) * 4 + n + 9; }

void tva_lencomp() {
  int32_t frame0 = con[0].framesize;
  con[0].framesize = 0;
  int32_t cells0 = lev0->cells;
  tva_need = TVAneed(frame0);
  tva_cells0 = cells0;
  int64_t words = 4 * int64_t{tva_need} + cells0 + SIZE_WORDS;
  tva_hcl = htcl(static_cast<size_t>(8 * words));
  tva_len = 1 << tva_hcl;
  if (show_stats > 4) {
    Fprintf(Stderr,
            "max_context = %d\ntva cells:\t%d at level 0\n"
            "\t\t%d at levels above 0\ntva_hcl = %d, tva_len = %d\n"
            "rewrites: m = %d, o = %d\n",
            max_context, cells0, tva_need, tva_hcl, tva_len, m_mandrew,
            m_optrew);
    fflush(Stderr);
  }
  if (ccon > con)
    bug("%d contexts remain open after compile!", static_cast<int>(ccon - con));
}

TVA* new_tva() {
  if (!tva_hcl) tva_lencomp();
  AC* ac = new_ac();
  errno = 0;
  void** block = static_cast<void**>(new_mblk(tva_hcl, 1));
  tva_size* size = reinterpret_cast<tva_size*>(block);
  size->hcl = static_cast<uint32_t>(tva_hcl);
  size->need = static_cast<uint32_t>(tva_need);
  size->max_context = max_context;
  TVA* t = reinterpret_cast<TVA*>(block + SIZE_WORDS);
  t->size = size;
  t->parent = nullptr;
  t->top = block + tva_len;
  t->lev[0] = reinterpret_cast<symbol**>(t->lev + max_context + 1);
  t->base = t->frame = reinterpret_cast<void**>(t->lev[0] + tva_cells0);
  t->frame[0] = nullptr;
  t->free = t->frame + TVA_FRAME_HEAD;
  t->ac = ac;
  ac->tva = t;
  t->outer = cur_tva;
  cur_tva = t;
  return t;
}

void del_tva(TVA* t) {
  cur_tva = t->outer;
  if (cur_tva && cur_tva->ac) cur_tva->ac->tva = cur_tva;
  del_mblk(static_cast<int>(t->size->hcl), t->size);
}

void** tva_push(TVA* t, set_spec* ss, int32_t ncells) {
  void** f = t->free;
  if (ncells < 0 || t->top - f < TVA_FRAME_HEAD + ncells) bug("tva top error");
  f[0] = t->frame;
  f[1] = ss;
  f[2] = cur_tva;
  cur_tva = t;
  t->frame = f;
  t->free = f + TVA_FRAME_HEAD + ncells;
  return f + TVA_FRAME_HEAD;
}

void tva_pop(TVA* t) {
  void** f = t->frame;
  t->free = f;
  t->frame = static_cast<void**>(f[0]);
  cur_tva = static_cast<TVA*>(f[2]);
}

void tva_reset() {
  cur_tva = nullptr;
  tva_need = tva_hcl = tva_len = tva_cells0 = 0;
}

}  // namespace vexo
