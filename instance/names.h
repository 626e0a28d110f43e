// Instance names: the names of generated members, and the report of an
// object kind a routine cannot handle.
#ifndef VEXO_INSTANCE_NAMES_H
#define VEXO_INSTANCE_NAMES_H

#include <cstdint>

namespace vexo {

struct TVA;

// Reports "unexpected type 0x%x in %s()" with the kind and the routine's
// name as a bug (error kind 1), which ends the session with code 2.
[[noreturn]] void badtype(const char* where, uint32_t kind);
// The same text at evaluation time in tva, through terror (the location
// first); returns unless the trace return code ends the session.
void tbadtype(TVA* tva, const char* where, uint32_t kind);

}  // namespace vexo

#endif  // VEXO_INSTANCE_NAMES_H
