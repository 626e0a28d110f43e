// Compilation of declarations.  compile brings the model's declarations
// (decls) up to date before they are evaluated: each one never compiled, or
// whose compiled form was reset, has its expressions compiled kind by kind
// inside its own indexing, and keeps what the compilation changed in its
// recompilation record (xnode::xr) together with the set-update
// dependencies that later mark it stale.
//
// Generation stamp of a declaration (xr.stamp): 0 never compiled, -2.0
// compiled, -1.0 reset for recompilation, positive once its values were
// generated (instance generation sets it); compile leaves a declaration with
// a positive stamp alone.
//
// Constraints compile by the kind code in the low four bits of their flags
// (the body's root, frontend/conbody.h): 0..2 a difference, 3 and 4 a
// range with its two bounds, 8..11 a complementarity whose two parts each
// compile by their own code (a lone expression, 8, is distributed); a
// logical constraint has its logical body instead.
#ifndef VEXO_COMPILER_COMPDECL_H
#define VEXO_COMPILER_COMPDECL_H

#include <cstdint>

namespace vexo {

struct expr;
struct list;
struct param;
struct function;
struct xnode;

// Compiles the declarations that need it.  Bugs (end the session):
// "unexpected ctype %d in compile_constrdcls", "unexpected ctype %d in
// compile_objectives", "unexpected type 0x%x in %s()" for a kind that is
// no declaration.
void compile();
// The subscripts of an item list (a problem's items, expand's arguments),
// each group within its indexing, at the current compilation level.
void compile_items(expr* items);
// The compiled form of d undone (its generated values and shared records
// dropped, every slot that compilation replaced given back its parsed
// node) and d marked for compiling again.
void reset_compiled(xnode* d);
// reset_compiled at once, outside a compilation, with the level-0
// rewrites of d dropped too: for a command that is about to replace or
// free an expression of d, which may have been swapped for a shared node.
// Nothing for a declaration never compiled.  The level-0 values of every
// declaration go with it, so the next generation compiles (compile_due).
void uncompile(xnode* d);
// Whether d's compiled form can serve as it is: generated (positive
// stamp), or compiled (stamp -2) with no values computed on demand and no
// input changed or reset since.  When this holds for every declaration a
// command cites, the command needs no compile (which compiles again every
// declaration not generated).
bool compiled_current(const xnode* d);
// Declarations compiled since start-up (compile's compile pass); tests
// read it to see that a change compiles only what depends on it.
extern int64_t dcl_compiles;
// Start-up and `reset`: nothing due, no compilations counted.
void compdecl_reset();
// Set by uncompile until compile runs: level-0 values must be planted again
// before anything compiled is evaluated.
extern bool compile_due;

// Per-kind operations of compile, inside the declaration's indexing.
// A parameter: its checks, then its definition (mandated), its recursive
// definition or its default.
void compile_par(param* p, int sym);
// One constraint body of kind ctype (root node c).
void con1compile(int ctype, expr* c);
// A check list (cells holding check nodes): every node tests the first
// node's value placeholder; comparands are compiled as mandated
// expressions, `in` sets as mandated or forced sets; records carry stamp.
void compile_pcheck(list* checks, double stamp, int sym);
// The argument domains of a function: each set compiled, forced when it
// lies outside the current level.
void compile_argdom(function* f);

}  // namespace vexo

#endif  // VEXO_COMPILER_COMPDECL_H
