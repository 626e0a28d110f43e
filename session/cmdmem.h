// The command arena: zeroed space that lives as long as the command chain
// being built or run.  Command records, their redirections and whatever a
// command keeps for its whole run (option lists, read lists, the printed
// subscripts of messages) are carved from it; the whole arena is given back
// at once, down to its first block, when the command memory is reset after
// each top-level command and after an error (cmd_mem_reset,
// session/loop.h).
#ifndef VEXO_SESSION_CMDMEM_H
#define VEXO_SESSION_CMDMEM_H

#include <cstddef>

namespace vexo {

struct charblk;

// n bytes of zeroed memory (n taken up to whole words, at least one),
// 8-byte aligned, valid until the arena is released.
void* cmdmem(size_t n);
// Gives the arena back down to its first block.
void cmdmem_release();

// The arena as a nested command file finds it, saved and put back around
// the file (the file's commands get an arena of their own).
struct cmd_arena {
  charblk* blocks;
};
cmd_arena cmdmem_save();
void cmdmem_restore(cmd_arena a);

// Start-up and `reset`: no blocks (reset frees them with the pools).
void cmdmem_reset();

}  // namespace vexo

#endif  // VEXO_SESSION_CMDMEM_H
