// User functions and their libraries: the library interface, the function
// declarations, the system sets of the available functions and the
// libraries' reset and exit callbacks.
#ifndef VEXO_EVAL_FUNCLIB_H
#define VEXO_EVAL_FUNCLIB_H

#include <cstdint>
#include <type_traits>

#include "eval/vexofunc.h"
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
  uint32_t fflags;  // attribute word: 0x100 symbolic, 0x10000 random,
                    // 0x8000 called with its real arguments directly,
                    // 0x4000 any number of arguments, 0x2000 numeric
                    // arguments only, 0x1000 pipe function, 16 has OUT or
                    // INOUT arguments, 1 and 2 integer and binary (built-in
                    // records keep their type bits here too)
  expr* pipe;       // pipe text expression, or null
  expr* format;     // format text expression, or null
  int32_t nargs;    // argument count: k >= 0 exactly k, -(k+1) at least k
  void* funcp;      // the routine (eval/funcall.h), null while unavailable
  void* funcinfo;   // the information word handed to the routine
  uint32_t ftype;   // the library's type: bits 1-2 nature (0 real, 2
                    // string, 4 random, 6 both), 8 real arguments passed
                    // directly, 1 string arguments allowed, 16 output
                    // arguments allowed; 0 for functions of no library
  uint32_t ncalls;  // calls compiled (funceval); never lowered, so a record
                    // that compiled code may name is never freed
  uint32_t used;    // called by the current problem: 1 + its place among
                    // the problem's functions (graph_setup), 0 when not;
                    // cleared by zero_frefs
  ::VexoLib* lib;   // the library that supplied the routine, or null
  int32_t libnargs;  // the argument count the library registered
  void* libfuncp;   // the library's routine
  function* libnext;  // the next function that the library registered
  char* fmt_text;   // pipe: the format evaluated when the child started
                    // (malloc), or null
  int pfd[2];       // pipe: the child's output and input, 0 0 without one
  int pchild;       // pipe: the child's process id

  static void* operator new(size_t size);  // record kind 2
  static void operator delete(void* p);
  // Closes the declaration: chains it (yychain) and binds the name.
  // Returns the surviving record.
  function* finish_dcl();
};
static_assert(std::is_trivially_destructible_v<function>);

// `function NAME [alias] [(domains)] [flags] [pipe ... [format ...]];`:
// a function record (kind 25) bound to the name, then finished; a name
// that a library made available (kind 40) keeps the library's routine.
// Null when refused (a pipe function in server mode).
function* funcdcl(symbol* name, cstr* alias, funcarg* args, int flags,
                  expr* pipe, expr* format);
// The call of f with args (the argument list, in source order) after its
// argument count is checked: "%s needs %s%d argument(s), not %d".
expr* funceval_check(function* f, expr* args);
// Reports a call of f whose number of arguments its declared count does
// not allow (iterated groups are counted only at the call).
void argcount_check(const function* f, expr* args);

// The exports table that a call of f hands over: its library's, or the
// program's own.
VexoExports* lib_exports(const function* f);
// The program's own exports table (the built-in table handlers').
VexoExports* own_exports();

// Prints the current command's location (cmdwhere) before a library's
// message on Stderr.
void cmd_where();
// The -vf listing of the available library functions.
void show_funcs();
// The lines of the -i? screen about the library options.  The least form:
// none.
void ix_details_ZEF();
// Run the reset and the exit callbacks that loaded libraries registered:
// libraries from the last loaded to the first, each list newest first.
void at_reset();
void at_exit();
// Generators of the system sets _AVAILFUNCS (sorted by name), _AVAILFUNC2
// (function, library; "" for none) and _SFUNCS (functions the current
// problem calls, sorted; the problem is collected and presolved first,
// which can raise the errors of generation, and vexo_funclibs follows).
void gen_AVAILFUNCS(set* s, TVA* tva);
void gen_AVAILFUNC2(set* s, TVA* tva);
void gen_SFUNCS(set* s, TVA* tva);

// The library table at start-up (start 1: the -i list or the default
// libraries are loaded, option VEXOFUNC receives their paths) and at
// `reset` (start 0: the libraries loaded stay and register their functions
// again).
void func_add(int start);
// Loads the library name (length len, flags: 1 report failures, 2
// absolute name, 4 name with a directory part) through the search path
// vexo_libpath: 0 loaded, 1 not found, 2 not loadable, 3 no entry.
int libload_ZEF(VexoExports* ae, const char* name, int len, int flags);
// Simplifies the path s in place ("./", "//", "/./", "x/../"); returns its
// new length.
int pathsimp(char* s);

// `load` (mode 0), `reload` (1) and `unload` (2) of the named libraries
// (file-name expressions; none: option VEXOFUNC's lines or every loaded
// library).  Sets bit 2 of rc when a load fails.
void lib_rw(int mode, expr* names, struct xrecomp* xr);
// `reset function [f];`: f's pipe child (every function's, f null) is
// closed and starts again at the next call.
void reset_func(function* f);
// `delete f;` is about to free the declaration f: its pipe child is
// closed, and a routine that a library supplied stays available under the
// name (a kind-40 record takes f's place in the library's list and becomes
// the name's binding after f), so that a new declaration finds it again.
void function_deleted(function* f);
// Closes the pipe child of every pipe function.
void func_reinit();
// Clears every declared function's mark of use by the current problem.
void zero_frefs();
// Option vexo_funclibs: the libraries of the functions the current
// problem calls (as last marked), in load order, or "-" for none.
void adjust_vexo_funclibs();

// The seed of the random functions changed: the seed callbacks of the
// libraries (AddRandinit) get it, newest first; last_reseed keeps it.
void Reset_randseeds(uint32_t seed);
extern uint32_t last_reseed;

// A name for a new temporary file, created empty: "/tmp/tmpnamXXXXXX" in
// buf (a static buffer when null), or null.
char* mytmpnam(char* buf);
// dir + "/" + pfx + "XXXXXX" (TMPDIR when usable, else dir, else "/tmp";
// pfx left out when longer than 5), created empty, in memory from malloc;
// or null.
char* mytempnam(const char* dir, const char* pfx);
// Tempmem of the exports table: n bytes (rounded up to 8) from the chain
// of a call's temporary memory (a charblk* cell), freed after the call.
void* Tempmem(void* tmi, size_t n);

// Start-up and `reset`: see func_add.
void funclib_reset(int start);

}  // namespace vexo

#endif  // VEXO_EVAL_FUNCLIB_H
