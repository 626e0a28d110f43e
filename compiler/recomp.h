// Recompilation records and undo: what one compilation changed in the
// user's expression trees, so that it can be undone exactly.
#ifndef VEXO_COMPILER_RECOMP_H
#define VEXO_COMPILER_RECOMP_H

namespace vexo {

struct expr;
struct set;

// Logs that the slot where held old before it received its new value (put:
// the set that was there, for set slots); with a null slot, a new node.
// Returns the log entry.  Stand-in until the undo records are built: logs
// nothing and returns null.
void* Retain(expr** where, expr* old, set* put);

}  // namespace vexo

#endif  // VEXO_COMPILER_RECOMP_H
