// Pending assignments: the values a table read delivers, held until the
// whole read has succeeded and then stored (outarg_clear with apply 1), or
// dropped (apply 0, also on the bail-out); likewise the values that calls
// of functions return in output arguments, stored when the command ends.
// Targets are applied in the order of their first value, each target's
// values in the order given.
#ifndef VEXO_DATA_OUTARG_H
#define VEXO_DATA_OUTARG_H

#include <cstdint>
#include <type_traits>

namespace vexo {

struct cstr;
struct expr;
struct suffix;
struct symbol;
struct Table;
struct TVA;
struct xnode;

// One pending value (32 bytes, from the module's 8 KB pages): a string
// (s non-null, one reference held) or the number v, for subscript sub
// (null for a scalar target).
struct Outarg {
  Outarg* next;
  symbol** sub;
  double v;
  cstr* s;
};
static_assert(std::is_trivially_destructible_v<Outarg> && sizeof(Outarg) == 32);

// A new pending value with room for an n-word subscript (none for n 0).
Outarg* new_outarg(int n);
// Queues the value for target; the target gets its slot on first use.
void outarg_put(xnode* target, Outarg* oa);
// Queues the value for suffix s of the variable, constraint or objective
// ent; names: the column gives the names of a symbolic suffix's table
// (else a string is refused when the values are stored).  Suffix values
// are stored after those of outarg_put, pair by pair in order of first
// use.
void sufout_put(xnode* ent, suffix* s, bool names, Outarg* oa);
// Whether the function-call argument e (compiled) can receive an output
// value: a param (not built-in, not defined by `:=`), a variable (not
// defined) or a constraint (its dual), or a declared suffix of a variable,
// constraint or objective; the same through an element of a synonym array
// (_var[j], _con[j], _obj[j].suffix and their s-forms).  Returns a new pending value with the target's
// evaluated subscript, the target in *target, the suffix (or null) in
// *sfx and in *symbolic whether the target takes strings (a symbolic param,
// the names of a symbolic suffix); null when e cannot be assigned.  A
// subscript outside the target's indexing (for a variable, constraint or
// objective: no generated member) is an invalid-subscript error.
Outarg* outarg_OK(expr* e, TVA* tva, xnode** target, suffix** sfx,
                  int* symbolic);
// Whether any value is pending.
bool outarg_pending();
// Checks every pending value against its target before anything is
// stored (check_outargs, session/let.h; a suffix value needs a generated
// member of its entity, else an invalid-subscript error; a string for a
// suffix must be a name of a symbolic suffix's table, else "Cannot assign
// %Q to %s%s.%s.\n"): a failure abandons the command.
void outarg_check(Table* tb);
// With apply 1 stores every pending value (assign_outargs, session/let.h,
// then the suffix values; errors abort the command, and the values not
// yet stored are dropped), with 0 releases their strings; either way the
// pending state is emptied.
// tb names the table whose read delivered the values, or null.
void outarg_clear(int apply, Table* tb);
// Start-up and reset: nothing pending (the pages belong to the pools that
// reset frees).
void outarg_reset();

}  // namespace vexo

#endif  // VEXO_DATA_OUTARG_H
