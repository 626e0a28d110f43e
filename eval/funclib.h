// User functions and their libraries: the library interface, the function
// declarations, the system sets of the available functions and the
// libraries' reset and exit callbacks.
#ifndef VEXO_EVAL_FUNCLIB_H
#define VEXO_EVAL_FUNCLIB_H

#include <cstdint>
#include <type_traits>

#include "frontend/decl.h"

namespace vexo {

struct cstr;
struct expr;
struct set;
struct symbol;
struct TVA;

// One item of a function's argument domains (a class-2 block): the
// direction code and the set (null for "*", any).
struct funcarg {
  funcarg* next;
  set* s;
  int32_t dir;
};

struct function : xnode {
  funcarg* args;    // argument domains, or the marker of "..." (dotdotdot)
  uint32_t fflags;  // type codes (8 explicit real arguments, 16 output
                    // arguments, 0x100 symbolic) and attributes (0x4000 any
                    // number of arguments, 0x10000 the value may change
                    // between calls, as for `random`)
  expr* pipe;       // pipe text expression, or null
  expr* format;     // format text expression, or null
  int32_t nargs;    // argument count: k >= 0 exactly k, -(k+1) at least k
  void* funcp;      // the routine (eval/funcall.h), null while unavailable
  void* funcinfo;   // the information word handed to the routine

  static void* operator new(size_t size);  // record kind 2
  static void operator delete(void* p);
  // Closes the declaration: chains it (yychain) and binds the name.
  // Returns the surviving record.
  function* finish_dcl();
};
static_assert(std::is_trivially_destructible_v<function>);

// `function NAME [alias] [(domains)] [flags] [pipe ... [format ...]];`:
// a function record (kind 25) bound to the name, then finished.
function* funcdcl(symbol* name, cstr* alias, funcarg* args, int flags,
                  expr* pipe, expr* format);

// Prints the current command's location (cmdwhere) before a library's
// message on Stderr.  The least form: at every message (the once-per-
// command flag comes with the library loader).
void cmd_where();
// The -vf listing of the available library functions.  The least form:
// nothing, no library is loaded.
void show_funcs();
// The lines of the -i? screen about the library options.  The least form:
// none.
void ix_details_ZEF();
// Run the reset and the exit callbacks that loaded libraries registered.
// The least forms: nothing, no library is loaded.
void at_reset();
void at_exit();
// Generators of the system sets _AVAILFUNCS, _AVAILFUNC2 and _SFUNCS (the
// genall routines of their sets).  The least forms: no members.
void gen_AVAILFUNCS(set* s, TVA* tva);
void gen_AVAILFUNC2(set* s, TVA* tva);
void gen_SFUNCS(set* s, TVA* tva);

}  // namespace vexo

#endif  // VEXO_EVAL_FUNCLIB_H
