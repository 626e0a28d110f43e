// The built-in functions of variable argument lists (print, printf,
// sprintf, substr, sub, gsub, time, ctime, date, _hashstats, _vexotime):
// their table p_initlist, the compilation of their calls (vargop), and the
// formatter `format` that print, printf, sprintf and pipe functions share.
// Every built-in is called through its function record, made from the
// table at start-up: the names from sprintf on are bound to their table
// row (kind 34), print and printf to their records.
#ifndef VEXO_EVAL_BUILTIN_H
#define VEXO_EVAL_BUILTIN_H

#include <cstddef>
#include <cstdint>

#include "support/numfmt.h"
#include "eval/vexofunc.h"

namespace vexo {

struct cstr;
struct expr;
struct param;
struct var;
struct function;
struct symbol;

// One row: the name, the binding kind of the name (34), the routine, where
// the function record is kept besides the row (or null), the record, the
// argument count (n >= 0 exactly n, -1 any number, -(k+1) at least k) and
// the type word (bit 4: the value may change between calls; the rest: 12
// a real call without arguments, 20 a real call with the argument list,
// else a call giving a string).
struct pinit_row {
  const char* name;
  uint32_t kind;
  uint32_t zero;
  void* routine;
  function** keep;
  function* f;
  int32_t count;
  int32_t type;
};
static_assert(sizeof(pinit_row) == 48, "rows of 48 bytes");
constexpr int N_PINIT = 11;
extern pinit_row p_initlist[N_PINIT];
extern function* print_func;
extern function* printf_func;

// Start-up and `reset` (called where the system declarations are made):
// a function record per row (kind 25, numbered like a declaration): type
// word the row's type less bit 4; attributes 0x4000 when the count is not
// 0, 0x10000 when the type had bit 4, 0xA000 when the rest is 8; the
// names bound.
void builtins_init();

// The call of the built-in bound to f (its row) with args (the parser's
// argument list, newest first): the arguments in source order (random ones
// in their random form), checked by the row's count ("%s takes no
// arguments.", "Too many args (> 3) to %s(...)" as warnings, "Arg %d to
// %s(...) is numeric" as a caution, the argument made a string), under a
// node of OPFUNC0, OPFUNC or OPFUNCcs by the type word.
expr* vargop(symbol* f, expr* args);

// Option format_range_errmsg (default empty): when set, its text replaces
// the output of a %d, %i, %o, %u, %x or %X item whose value is out of
// range.
extern const char* format_range_errmsg;

// The text of the arguments of al in a block of class *k (del_mblk(*k,
// text)), its length in *len.  Without fmt the arguments are joined by sep
// (none when null), numbers written by nf at precision prec, strings as
// they are.  With fmt, its escapes are replaced and each "%" item takes
// its argument (see the printf conventions of the language); when the
// arguments run out the rest of fmt is copied as it stands.  An item
// longer than 64 characters is a bug; a value out of range for an integer
// conversion, unless format_range_errmsg is set, is reported at the
// evaluation's location and abandons the command.
char* format(arglist* al, size_t* len, int* k, const char* fmt, const char* sep,
             num_formatter nf, int prec);

// The routines of the rows besides print, printf (report/print.h), sub
// and gsub (eval/regexp.h).
cstr* cs_sprintf(arglist* al);
cstr* cs_substr(arglist* al);
double r_time();
cstr* cs_ctime(arglist* al);
cstr* cs_date(arglist* al);
cstr* hashstats(arglist* al);
double vexotime(arglist* al);

// ---- The `random` attribute

// Marks a variable (or a param, which finish_dcl turns into a random
// variable) random: flag 0x10000 once, the random declarations counted.
// After an explicit declaration of suffix stage: "Ignoring \"random\"
// after explicit suffix stage declaration."
void make_random(var* v);
void make_randompar(param* p);
// make_random and make_randompar set randvar_rhs and register its
// clearing at the end of the command.  randvar_cleanup unregisters (and so
// runs) that clean-up before a declaration begins or is chained.
void randvar_cleanup();
// What follows in the command is the definition of a random variable
// (kept as calls): sets randvar_rhs and registers its clearing.
void random_rhs_begin();
extern int nrandom;  // random declarations made
// No random declaration yet.
void builtin_reset();

}  // namespace vexo

#endif  // VEXO_EVAL_BUILTIN_H
