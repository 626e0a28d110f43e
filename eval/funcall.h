// Calls of functions from expressions: the argument record a called
// function receives (arglist, whose layout loaded libraries are built
// against) and the evaluators of the call nodes.  A call evaluates its
// argument list into an arglgen (f_setup: plain arguments and iterated
// groups, sorted into numbers and strings), calls the routine of the
// function record, and releases the record again (f_teardown), also when
// an error abandons the command (a clean-up record runs arglzap then).
//
// Calls of functions that a library supplies have their argument count
// and the declared domains of their arguments checked; a library function
// allowed output arguments gets them in the checking form.
#ifndef VEXO_EVAL_FUNCALL_H
#define VEXO_EVAL_FUNCALL_H

#include <cstdint>
#include <type_traits>

#include "eval/optab.h"
#include "eval/vexofunc.h"

namespace vexo {

struct charblk;
struct cleanup_rec;
struct cstr;
struct expr;
struct funcarg;
struct function;
struct Outarg;
struct suffix;
struct TVA;
struct xnode;

// What a called function receives (eval/vexofunc.h, the interface that
// loaded libraries are built against).
using arglist = ::arglist;

// The entries of an argarray's buffer inside the call record.
constexpr int ARGS_INLINE = 8;

// A growable array that starts in a buffer inside the call record.
template <class T>
struct argarray {
  T* a;
  int32_t n;
  int32_t cap;
  int32_t k;  // size class once in an allocated block, else -1
  T inline_buf[ARGS_INLINE];
};

// An output argument of a call: the pending value (data/outarg.h) that
// receives what the function left at argument idx, for the target (and
// suffix) that outarg_OK found; names: a symbolic suffix's names.
struct outref {
  Outarg* o;
  xnode* target;
  suffix* s;
  int32_t idx;
  int32_t names;
};

// The call record: the arglist and the evaluator's own fields.
struct arglgen {
  arglist al;
  argarray<int32_t> types;
  argarray<double> nums;
  argarray<cstr*> strs;
  int32_t mode;          // -1 plain form, 0 checking form (output
                         // arguments allowed: one numeric and one string
                         // slot per argument, type entries are flag words)
  int32_t pos;           // checking form: arguments given domains so far
  funcarg* ad;           // checking form: the domain of the next argument,
                         // null when the walk has ended
  uint32_t dflt;         // checking form: the flag word of arguments whose
                         // domain gives none (1 input; "..." may set it)
  argarray<outref> outs;  // checking form: the accepted output arguments
  int32_t errno_ignore;  // 1: errno after the call is not an error
  int32_t text_built;    // strs holds text pointers now (sa)
  cleanup_rec* cleanup;  // the registration of arglzap
  charblk* tmi;          // the call's temporary memory (Tempmem)
};
static_assert(std::is_trivially_destructible_v<arglgen>);

// Fills g for a call of f with the argument list args (OPARG entries)
// evaluated in tva, the clean-up registered; returns f.  Errors end the
// command (after the clean-up has released what was taken).
function* f_setup(arglgen* g, expr* args, function* f, TVA* tva);
// Appends the values of the list's arguments (iterated groups once per
// member of their indexing).
void arglisteval(arglgen* g, expr* args, TVA* tva);
// The checking form of arglisteval, for functions allowed output
// arguments: each argument takes its flag word from its domain (the walk,
// next_ad): an output argument whose target outarg_OK accepts is queued
// (refused: "Argument %d of %s cannot be written.\n" while outarg_warn is
// above 0, which ends the command); an input argument is evaluated and
// checked against its domain's set; an argument that is not input gets 0.
void arglistevcheck(arglgen* g, expr* args, TVA* tva);
// Moves the domain walk from d to the domain of the next argument; "..."
// ends it, giving its direction (when it has one) to the arguments after.
void next_ad(arglgen* g, funcarg* d);
// Releases what f_setup took.
void arglzap(void* g);
// Ends a call: reports a function's error message ("error in function %s:
// %s\n") and abandons the command; checks the values of output arguments
// against their domains ("Output value %s is outside the domain of
// argument %d to %s") and queues them for their targets (stored when the
// command ends).
void f_teardown(arglgen* g);

// The call evaluators.  L: the function record, R: its argument list.
// OPFUNC 177 -> number (explicit-argument functions, type word bit 8, get
// their first real arguments directly); OPFUNC0 178 -> number of a call
// without arguments; OPFUNCstr 182 -> a new counted string of the
// function's text ("<null>" for none); OPFUNCcs 183 -> the counted string
// the function returned.  A function without a routine: "Can't invoke
// unavailable function %s.\n" and the command is abandoned.
eval_result f_OPFUNC(expr* e, TVA* tva);
eval_result f_OPFUNC0(expr* e, TVA* tva);
eval_result f_OPFUNCstr(expr* e, TVA* tva);
eval_result f_OPFUNCcs(expr* e, TVA* tva);
// OPFUNC1 179, OPFUNC2 180: a function of one or two real arguments
// passed directly (attribute 0x8000).  OPFUNCs 181: the member that a
// string-valued function's text names (a number when it reads as one; a
// quoted text unquoted).
eval_result f_OPFUNC1(expr* e, TVA* tva);
eval_result f_OPFUNC2(expr* e, TVA* tva);
eval_result f_OPFUNCs(expr* e, TVA* tva);
// Whether a call's argument list is plain numeric expressions only (no
// iterated group, at most ARGS_INLINE of them): such an OPFUNC node is
// bound to f_OPFUNCnum, which evaluates the arguments straight into the
// call record and skips the general list (a function with explicit real
// arguments or output arguments, or with a domain or count to check that
// does not plainly pass, takes the general form f_OPFUNC, and its errors).
bool numeric_args_only(const expr* args);
eval_result f_OPFUNCnum(expr* e, TVA* tva);

// Routine types of a function record (its funcp).
using rfunc = double (*)(arglist* al);
using sfunc = cstr* (*)(arglist* al);
using rfunc0 = double (*)();
using rfunc1 = double (*)(double);
using rfunc2 = double (*)(double, double);

}  // namespace vexo

#endif  // VEXO_EVAL_FUNCALL_H
