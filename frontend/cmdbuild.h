// Builders the grammar calls for the statements of subsystems not built
// yet (problems, solver, model maintenance), and the small expression
// builders of command items.  The statement builders make the command
// records of their kinds through the typed builders of session/cmdrec.h,
// so that each command reaches the dispatcher, which reports it as not
// implemented yet until its owner provides the handler.  The owners
// replace these functions; the grammar does not change.
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

// Joins a run of strings (a list of strings, in reverse order) into one
// string, separated by blanks.
cstr* list2string(list* words);
// `model`/`data` with a file (model 1 or 0): the file is included at once
// (include, session/include.h), so that reading goes on in it.  Its name
// is evaluated by rdfname (session/cmdfiles.h); one that uses a loop
// dummy is refused (the compound being built is abandoned).
void einclude(expr* file, int model);

// Problem, data and model-maintenance commands: records of their kinds.
void solve_cmd(symbol* name, expr* subscript, redirect* r);
void objective_cmd(symbol* name, expr* subscript);
void prob_cmd(symbol* name, expr* subscript);
void probreset(symbol* name, expr* subscript);
void purge(expr* names, int purge);
void xref_cmd(expr* names, redirect* r);
// The call of a declared function with its arguments (source order): a
// node of OPFUNC (OPFUNC0..2 for zero to two real arguments passed
// directly, OPFUNCstr for a symbolic function) over the function record
// and the argument list.  The argument count is checked against the
// declared one ("%s needs %s%d argument(s), not %d"); a declared function
// that no library supplies reports itself unavailable when called.
expr* funceval(symbol* function, expr* args);
expr* func_call(function* f, expr* args);

// A display or print item: an indexing followed by an expression or by a
// parenthesised list (a tuple node, whose items the entry takes): an
// OPARG entry over the indexing whose list holds an entry per expression,
// as an iterated group of an argument list; the indexing's scope is
// closed here.
expr* item_ix(set_spec* ix, expr* body);
// An indexed entity named without subscripts, as an item of read.
expr* whole_entry(xnode* x);
// Display items that are not expressions: a set (node 254 over it), and a
// whole indexed entity named without subscript (OPXNODE over the
// declaration, no suffix code: R -2).
expr* set_item(set* s);
expr* entity_item(xnode* x);
// The keyword forms of show, xref, delete and purge names: `environ`,
// `suffix`, `table`, `option` with a name, and `check` with a number (-1:
// none): a symbol literal of the words ("environ E"; a check carries its
// record).
enum : int {
  SHOW_ENVIRON = 1,
  SHOW_SUFFIX,
  SHOW_TABLE,
  SHOW_OPTION,
  SHOW_CHECK
};
expr* show_item(int kind, symbol* name, double n);
// The target of let on a set: OPXNODE over the set declaration, with the
// look-up of its subscripts (OPLOOKUP) for a member of an indexed set;
// the wrong number of subscripts gives OPERRSUB (reported).
expr* set_target(xnode* sd, expr* subs);
}  // namespace vexo

#endif  // VEXO_FRONTEND_CMDBUILD_H
