// The line buffer and the expression printer.  Every text that writes the
// language back (the model printer, `show`, the expression texts of
// messages, display headings and keys) passes token by token through one
// line buffer, which breaks lines at the width disp_width, and prex writes
// one expression tree with the fewest parentheses its operators'
// precedences allow.  The text goes to the display stream df (print mode)
// or into a growing string (string mode, the string forms of
// report/prset.h), as stringing says.
//
// All state is process-wide and the printer is not reentrant: a string form
// must not be called while another printing is under way.
#ifndef VEXO_REPORT_PREX_H
#define VEXO_REPORT_PREX_H

#include <cstdint>
#include <cstdio>

#include "session/cmdfiles.h"

namespace vexo {

struct expr;
struct symbol;
struct xnode;

// The display stream of the current command, df (session/cmdfiles.h),
// where display, print, show and the model printer write; or the program's
// standard output while df is null.
FILE* display_stream();
// Cells of options display_width and MD_precision, written by
// their update routines.
extern int display_width;
extern int MD_prec;

// Printer state.
extern int32_t pbi;             // bytes of the open line; 0: no line is open
extern int32_t disp_width;      // width against which tokens are placed
extern int32_t pbinl;           // the next token on a line of more than two
                                // bytes starts a new line
extern int32_t stringing;       // 0 print mode; string mode: 1 the statement
                                // end adds ";\n", 2 it adds nothing
extern int32_t print_values;    // compiled value references as numbers
extern int32_t show_opprint;    // sets that have a declaring entity by name
extern int32_t MD_prec1;        // significant digits of numeric constants
                                // (0: the shortest text that reads back)
extern int32_t display_kludge;  // dummies of levels up to it as "$n"
extern int32_t show_source;     // show: the compiler's nodes written as
                                // the source they stand for (stored and
                                // rewritten values as their expressions,
                                // the rewritten if as an if)
extern int32_t listing_quotes;  // a listing of model or data prints:
                                // literals quoted as with -q
                                // (quote_literals, session/infiles.h)

// Writes one token.  A token of n characters (UTF-8 sequences count one)
// is charged n, or n + 3 when n exceeds 3: it goes on the open line when
// that width still leaves the line below disp_width and pbinl is clear;
// otherwise a line of more than two bytes is broken first (pbinl cleared,
// the new line indented two blanks); a line of two bytes or fewer takes
// the token whatever its width.
void put(const char* token);
// put of the formatted text (the own formatter: %q and %Q quote).
void putf(const char* fmt, ...);
// Ends the statement: the open line is written with ";" (print mode and
// string mode 1) and no line is open afterwards.
void pbi_flush();
// Ends the open line inside a statement; the next line is indented four
// blanks.
void pbi_flush1();

// Whether e is a condition used as a number (if c then 1 else 0, as the
// builders make it); as an operand it is written as the condition alone.
bool condition_number(const expr* e);

// Writes the expression through put; opens and ends no statement.  A node
// of a shape without a rule is an internal error (ends the session).
void prex(expr* e);
// Writes e, in parentheses when it binds less tightly than an operator of
// precedence p (operands that the grammar reads at a level of its own: the
// bounds of a range, the operands of &).
void prex_prec(expr* e, int p);
// Writes e as the operand of a declaration's phrase (a bound, restriction,
// default or defining value).  A condition used as a number is written as
// the condition in parentheses.  When more is set another phrase follows
// that may begin with a comparison or `in`: an operand that binds no more
// tightly than `in` (an if-expression, whose last operand would take that
// comparison in) is then parenthesised.
void prex_phrase(expr* e, bool more);
// Writes the subscript of an entity reference, "[" ... "]", after taking
// one trailing blank off the line.
void pr_subscr(expr* e);
// Writes a parenthesised argument list (OPARG entries); sets nonzero: the
// plain entries hold sets.
void print_args(expr* args, int sets = 0);
// Writes the breakpoint or slope list of a piecewise-linear term.
void prpllist(expr* list);
// Writes one member of an enumerated set: " a", or " (a,b)" for a tuple.
void prmem(int arity, symbol* const* tuple);
// Writes a symbol as a literal: a number as its text, a name through %Q
// when quote_literals is set.
void prsym(const symbol* s);
// The printed operator name of opcode k: opname[k] for 0..142, null for
// any other k (the forms printed by special code).
const char* op_name(int k);
// Debugging: the expressions of a list joined by " + " as one statement,
// each line prefixed with "# ".
void printexpr(expr* list);
// Lines start with "# " from now on (on 1) or as before (on 0); returns
// the previous setting.
int sharp_comments(int on);
// "unexpected type 0x%x in %s()" as an internal error (ends the session),
// after the text written so far has reached the stream.
[[noreturn]] void prbadtype(const char* where, uint32_t code);
// The name of a declaration as the printer writes it.
const char* dcl_name(const xnode* d);

// Start-up and `reset`: no line open, print mode, the line and string
// buffers forgotten (reset frees their blocks).
void prex_reset();

}  // namespace vexo

#endif  // VEXO_REPORT_PREX_H
