// Command memory on a chain of text blocks.
#include "session/cmdmem.h"

#include <cstring>

#include "session/loop.h"
#include "support/text.h"

namespace vexo {

// The blocks of the running command; null when it has none.
static charblk* cmd_blocks;

static void cmdmem_free(void*) {
  cbfree(cmd_blocks);
  cmd_blocks = nullptr;
}

void* cmdmem(size_t n) {
  if (!cmd_blocks) register_cleanup(cmdmem_free, nullptr);
  // Multiples of 8 keep every piece aligned like the block text.
  n = (n + 7) & ~size_t{7};
  void* p = cballoc(&cmd_blocks, n ? n : 8);
  std::memset(p, 0, n);
  return p;
}

void cmdmem_reset() { cmd_blocks = nullptr; }

}  // namespace vexo
