// Builders the grammar calls for the statements of subsystems not built
// yet (problems, data, solver, model maintenance, environments), and the
// small expression builders of command items and option settings.  The
// statement builders make the command records of their kinds through the
// typed builders of session/cmdrec.h, so that each command reaches the
// dispatcher, which reports it as not implemented yet until its owner
// provides the handler; the statements `reset`, `environ` with an
// indexing, `model`/`data` with a file and the data reader, which have no
// record, are reported at once.  The owners replace these functions; the
// grammar does not change.
#ifndef VEXO_FRONTEND_CMDBUILD_H
#define VEXO_FRONTEND_CMDBUILD_H

#include <cstdint>

namespace vexo {

struct expr;
struct function;
struct list;
struct symbol;
struct cstr;
struct set;
struct set_spec;
struct xnode;
struct redirect;

// The `reset` command without arguments.  Not implemented yet: the
// statement is abandoned.
void reset();
// Option settings: a new list cell (name, environment, value) pushed on the
// settings so far; env is the environment reference of a qualified name
// (envsub), null for the current environment.  option_err is called after
// an error in the settings.
struct option_setting {
  cstr* name;
  expr* env;
  cstr* value;
};
list* optioncmd(list* settings, cstr* name, expr* env, cstr* value);
void option_err(list* settings);
// Appends the one-setting list `one` (optioncmd on no settings) to the
// settings so far.
list* settings_join(list* settings, list* one);
// An option reference "$" name (dollars 1) or "$$" name (dollars 2) in an
// option value: the text "$name" or "$$name" (the option command expands
// it).
cstr* dollar_word(cstr* name, int dollars);
// Environments.  envsub: the environment named env, with its subscript (or
// null): an environment reference (node 221, or 222 when subscripted; the
// stand-in keeps the name's symbol in L and the subscript in R).  envexpr:
// the option value word "$$" env [subscript] "." name.  envqual: the
// option reference "$" or "$$" (opcode OPDOLLAR or OPDOLLAR0) to the
// operand (a string node, or any expression giving the option's name),
// qualified by an environment (env null: the current one); a string node
// is folded into the operator node.
expr* envsub(cstr* env, expr* subscript);
cstr* envexpr(cstr* env, expr* subscript, cstr* name);
expr* envqual(int opcode, cstr* env, expr* subscript, expr* operand);
// Joins the words of an option value (a list of strings, in reverse
// order) into one string, separated by blanks.
cstr* list2string(list* words);
// `model`/`data` with a file (model 1 or 0).  Not implemented yet: the
// statement is abandoned.
void einclude(expr* file, int model);
// The data reader: nonzero when parsing goes on.  Not implemented yet: the
// statement is abandoned.
int read_data();
// Nonzero when the parse must end with 4 instead of 3.
int must_write();

// Problem, data and model-maintenance commands: records of their kinds.
void solve_cmd(symbol* name, expr* subscript, redirect* r);
void objective_cmd(symbol* name, expr* subscript);
void prob_cmd(symbol* name, expr* subscript);
void probreset(symbol* name, expr* subscript);
void purge(expr* names, int purge);
void xref_cmd(expr* names, redirect* r);
void readcmd(set_spec* ix, expr* items, redirect* r);
void table_io(int write, set_spec* ix, symbol* name, expr* subscript);
void environ_cmd0(cstr* name, expr* subscript, symbol* from);
// The call of a declared function with its arguments (source order): a
// node of OPFUNC (a symbolic function: OPFUNCstr) over the function record
// and the argument list.  The least form of function calls: the record is
// called through its routine when it has one (the built-ins); a declared
// function has none until user functions and libraries exist, and its call
// reports the function as unavailable.
expr* funceval(symbol* function, expr* args);
expr* func_call(function* f, expr* args);

// A display or print item: an indexing followed by an expression or by a
// parenthesised list (a tuple node, whose items the entry takes): an
// OPARG entry over the indexing whose list holds an entry per expression,
// as an iterated group of an argument list; the indexing's scope is
// closed here.
expr* item_ix(set_spec* ix, expr* body);
// Display items that are not expressions: a set (node 254 over it), and a
// whole indexed entity named without subscript (OPXNODE over the
// declaration, no suffix code: R -2).
expr* set_item(set* s);
expr* entity_item(xnode* x);
// The keyword forms of show, xref, delete and purge names: `environ`,
// `suffix`, `table`, `option` with a name, and `check` with a number (-1:
// none).  The stand-in gives a symbol literal of the words.
enum : int {
  SHOW_ENVIRON = 1,
  SHOW_SUFFIX,
  SHOW_TABLE,
  SHOW_OPTION,
  SHOW_CHECK
};
expr* show_item(int kind, symbol* name, double n);
// The target of let on a set: the set declaration with its subscripts.
expr* set_target(xnode* sd, expr* subs);
// `environ NAME indexing;`: declares an indexed environment.  Not
// implemented yet: the statement is abandoned.
void environ_dcl(cstr* name, set_spec* ix);

}  // namespace vexo

#endif  // VEXO_FRONTEND_CMDBUILD_H
