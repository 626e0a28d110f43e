// Command memory: zeroed blocks that live until the current command ends.
// The first allocation of a command registers a clean-up record, so the
// command-memory reset (after each top-level command and after an error)
// frees them all at once.
#ifndef VEXO_SESSION_CMDMEM_H
#define VEXO_SESSION_CMDMEM_H

#include <cstddef>

namespace vexo {

// n bytes of zeroed memory, 8-byte aligned, valid until the command ends.
void* cmdmem(size_t n);
// Start-up and `reset`: no blocks (reset frees them with the pools and
// drops their clean-up record).
void cmdmem_reset();

}  // namespace vexo

#endif  // VEXO_SESSION_CMDMEM_H
