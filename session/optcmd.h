// The option command: list all options, show one, set one, list or set by
// a pattern with "*"; the same path for program code that sets an option
// by name (cmd_option), the reset of all options to their defaults, and the
// "$" operators that read an option's value ("$name") or default
// ("$$name") inside expressions.
#ifndef VEXO_SESSION_OPTCMD_H
#define VEXO_SESSION_OPTCMD_H

#include <cstdint>
#include <cstdio>
#include <type_traits>

#include "eval/optab.h"

namespace vexo {

struct xrecomp;

struct cstr;
struct expr;
struct symbol;
struct TVA;
struct redirect;

// One item of an option command; items are chained in source order.
struct Optioncmd {
  Optioncmd* next;
  cstr* name;   // the name written as a literal (patterns start with
                // "*", the marker), or null
  expr* namex;  // the name computed by an expression, or null
  expr* env;    // the environment (node 221 or 222), or null: current
  expr* value;  // the value, or null: show the option
  // Nonzero when an error was reported as the item was read (its
  // environment qualifier refused, a bad name in its expressions): the
  // item then does nothing.
  int32_t refused;
};
static_assert(std::is_trivially_destructible_v<Optioncmd>,
              "option items are plain pool records");

// Grammar builders.  optioncmd: one item (name: a string literal or an
// expression giving the name; env and value may be null).  settings_join:
// appends item one to the items so far.  option_words: the words of a
// value (string literals and "$" references, newest first) as one string
// expression, joined by blanks.  option_err: frees the items after a
// syntax error.  option_reset_cmd: `reset options;`.
Optioncmd* optioncmd(Optioncmd* prev, expr* name, expr* env, expr* value);
// A parenthesised name expression: one that folded to a string while
// parsing is still a computed name, a pattern when it holds "*".
expr* computed_optname(expr* name);
Optioncmd* settings_join(Optioncmd* items, Optioncmd* one);
// Before each command is read: errors reported from here on, until an item
// is built, belong to that item.
void option_read_begin();
// Start-up and reset: no option item read.
void optcmd_reset();
expr* option_words(expr* words);
void option_err(Optioncmd* items);
void option_reset_cmd();
// Frees a list of items.
void option_free(Optioncmd* items);

// Runs the command: null items list every listed option.  Output goes to
// the redirection's file, else to the display stream.  Items whose name is
// not valid, patterns with too many stars and refused values are reported
// and skipped; the command goes on with the next item.  A computed file
// name is compiled and evaluated in the command's context (xr).
void option_cmd(Optioncmd* items, redirect* r, xrecomp* xr = nullptr);
// Sets option name to value as an option command with quoted literals
// would (name check, validator, handler).
void cmd_option(const char* name, const char* value);
// cmd_option with the number n, echoed as "option NAME n;".
void cmd_Loption(const char* name, uint32_t n);
// Sets every option whose value differs from its default (or that is
// undefined) to its default, in creation order; validators apply.
void option_reset();

// Writes an option's value as the option command shows it: bare when it
// reads as a number, else as a quoted literal.
void put_opt_value(FILE* f, const char* value);

// The value of a command's expression at *pe as a string, with one
// reference for the caller (numbers in their shortest form, members by
// name): a literal is taken as it is; any other expression is compiled and
// evaluated once in the command's context after what it cites is brought
// up to date, and the compilation is released into xr at once (a statement
// run as it is read passes null).  Errors of evaluation abandon the
// command (bailout).
cstr* Litval(expr** pe, xrecomp* xr);

// The "$" operators.  Each returns a new string: an option's value (in the
// environment of its qualifier, else the current one), or its default;
// Blank when the option does not exist, is undefined or has none.
// OPDOLLAR 216: L the name, R the environment or null (the current one).
// OPDOLLAR0 217: the default, operands as OPDOLLAR's.
// OPeeDOLLAR 218 (L the name expression) and 220 (R the environment).
// OPeDOLLAR0 219: the default of the name L computes.
eval_result f_OPDOLLAR(expr* e, TVA* tva);
eval_result f_OPDOLLAR0(expr* e, TVA* tva);
eval_result f_OPeeDOLLAR(expr* e, TVA* tva);
eval_result f_OPeDOLLAR0(expr* e, TVA* tva);

}  // namespace vexo

#endif  // VEXO_SESSION_OPTCMD_H
