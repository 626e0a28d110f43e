// Instance names: the names of generated members, and the report of an
// object kind a routine cannot handle.
#ifndef VEXO_INSTANCE_NAMES_H
#define VEXO_INSTANCE_NAMES_H

#include <cstdint>

namespace vexo {

// Reports "unexpected type 0x%x in %s()" with the kind and the routine's
// name as a bug (error kind 1), which ends the session with code 2.
[[noreturn]] void badtype(const char* where, uint32_t kind);

}  // namespace vexo

#endif  // VEXO_INSTANCE_NAMES_H
