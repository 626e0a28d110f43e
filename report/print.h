// The print and printf commands and the built-ins print(...) and
// printf(...).  print writes the values of its items on one line joined
// by print_separator; printf writes them through a format.  Both run once,
// or once per member of an indexing, compile their expressions in one
// compilation bracket and write to the command's output (df).  process1
// is the step these commands and display take first: it refuses to run
// after severe errors.
#ifndef VEXO_REPORT_PRINT_H
#define VEXO_REPORT_PRINT_H

#include <cstdint>

#include "support/numfmt.h"
#include "eval/vexofunc.h"

namespace vexo {

struct cstr;
struct TVA;
struct expr;
struct redirect;
struct set_spec;
struct xnode;
struct xrecomp;

// Options print_precision with print_round (the formatter and precision of
// numbers that print writes), and print_separator (default " ").
extern num_format print_info;
extern const char* print_separator;

// The format of the running printf command (null outside one).
extern const char* printf_fmt;
// The session's return code as these commands last saw it, and how often
// the refusal after severe errors has been reported.
extern int32_t pr_rc;
extern int32_t dispquit;

// The text of an evaluated expression (a printf format, an option value, a
// file name): a string as it is, a number as its shortest text, a member
// as its name.  t is the evaluation context.
cstr* format_text(expr* e, TVA* t);

// The commands: the indexing (or null), the call of the built-in print or
// printf whose argument list holds the items (compiled in place), printf's
// format (compiled in place when it is not a constant), the redirection
// (or null) and the command's recompilation state.  Errors of the
// evaluation abandon the command.
void print_cmd(set_spec* ix, expr** call, redirect* r, xrecomp* xr);
void printf_cmd(set_spec* ix, expr** fmt, expr** call, redirect* r,
                xrecomp* xr);

// The built-ins: print writes its arguments joined by print_separator and
// a newline, printf writes them through printf_fmt; both flush the output
// and return the length of the text written.
double r_print(arglist* al);
double r_printf(arglist* al);

// Before print, printf, display and let: 0 when the command may go on,
// nonzero when it must stop (after severe errors: "Use \"reset;\" to
// continue." the first time, then "Stopping because of previous severe
// errors." as a bug, which ends the session; or when bringing the instance
// up to date failed, reported).  The declarations the command cites (its
// dependency list, loaded in the accumulator dac) are brought up to date
// with xcg(0) (instance/xcg.h): params computed by `=`/`:=`, defined sets,
// checked data.  d: a declaration whose values are about to be read, or
// null; it matters once collection is built.  spare: passed to xcg, a
// declaration left as it is (let's target; see xcg).
int process1(xnode* d, const xnode* spare = nullptr);

// Start-up and `reset`: no printf running, no refusal reported.  (The
// option cells keep their values, as the option table's do.)
void print_reset();

// Display flags: pr_cmd is set while a display or print item is processed;
// pr_badnames marks that a bad name was reported in it.
extern int pr_cmd;
extern int pr_badnames;
// A bad name was reported: while a display or print item is processed
// (only then, with only_in_item), the item is refused.
void note_bad_name(bool only_in_item);
// The report is over or counted: no bad name is pending.
void forget_bad_names();
// Whether a bad name was pending, which is forgotten.
bool take_bad_names();
// A command that processed display items (call) has finished.
void end_print_cmd();

}  // namespace vexo

#endif  // VEXO_REPORT_PRINT_H
