// User functions and their libraries: the library interface, the function
// declarations, the system sets of the available functions and the
// libraries' reset and exit callbacks.
#ifndef VEXO_EVAL_FUNCLIB_H
#define VEXO_EVAL_FUNCLIB_H

namespace vexo {

struct set;
struct TVA;

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
