// The command arena on a chain of text blocks.
#include "session/cmdmem.h"

#include <cstring>

#include "support/pool.h"
#include "support/text.h"

namespace vexo {

// The newest block of the arena; null when it has none.
static charblk* cmd_blocks;

void* cmdmem(size_t n) {
  // Multiples of 8 keep every piece aligned like the block text.
  n = (n + 7) & ~size_t{7};
  if (!n) n = 8;
  void* p = cballoc(&cmd_blocks, n);
  pool_take(p, n);
  std::memset(p, 0, n);
  return p;
}

void cmdmem_release() {
  charblk* b = cmd_blocks;
  if (!b) return;
  while (b->prev) {
    charblk* older = b->prev;
    del_mblk(b->k, b);
    b = older;
  }
  // What the finished command kept in the first block is unreadable until
  // handed out again (sanitizer builds).
  pool_poison(b->text(), size_t(b->next - b->text()));
  b->left += b->next - b->text();
  b->next = b->text();
  cmd_blocks = b;
}

cmd_arena cmdmem_save() {
  cmd_arena a{cmd_blocks};
  cmd_blocks = nullptr;
  return a;
}

void cmdmem_restore(cmd_arena a) {
  if (cmd_blocks) cbfree(cmd_blocks);
  cmd_blocks = a.blocks;
}

void cmdmem_reset() { cmd_blocks = nullptr; }

}  // namespace vexo
