// Stand-ins for the command builders of the command interpreter and of the
// other subsystems that own commands (problems, data, solver).  The grammar
// calls these names; until their owners provide them, each stand-in only
// records what it was given: it describes the call in one line and hands
// the line to cmd_trace, and otherwise does the least the parser needs
// (counting braces and loops so that cmdstate and the loop scopes behave,
// closing the scopes of the indexings it receives, returning the values
// that keep the parse going).  A command complete at top level, and a
// compound command once its outermost level closes, runs through the
// session's dispatcher (execute, session/execute.h), which runs the
// commands whose handlers exist and reports the others as not implemented
// yet; so does the statement `reset`.  `model` and `data` with a file
// include it (einclude).  The owners replace these functions; the grammar
// does not change.
#ifndef VEXO_FRONTEND_CMDBUILD_H
#define VEXO_FRONTEND_CMDBUILD_H

#include <cstdint>

namespace vexo {

struct expr;
struct list;
struct symbol;
struct cstr;
struct set;
struct set_spec;
struct xnode;
struct dummy;

// Receives one line per builder call (without newline); null: no trace.
// A run-time choice of the program that links the front end: the probe
// program and the parser's unit tests print or collect the lines, and then
// the builders only record (nothing runs, nothing is reported as not
// implemented); vexo sets none.
extern void (*cmd_trace)(const char* line);

// Output redirection of a command: the file expression, the mode (0
// replace ">", 1 append ">>", 2 input "<") and, once the file is open, its
// entry in the table of command files (session/cmdfiles.h).
struct redirect {
  expr* file;
  int32_t mode;
  int32_t find;
};

// Command kinds (the names are session/execute.h's cmdname): those the
// grammar passes to cmd, and those of the builders below.
enum : int {
  CK_CLOSE = 26,
  CK_OBJECTIVE_SET = 27,
  CK_OPTION = 28,
  CK_SHELL = 29,
  CK_SHOW = 30,
  CK_SOLUTION = 31,
  CK_SOLVE = 32,
  CK_WRITE = 33,
  CK_DISPLAY = 34,
  CK_DROP = 35,
  CK_RESTORE = 36,
  CK_FIX = 37,
  CK_UNFIX = 38,
  CK_LOOP_FOR = 39,
  CK_LET = 40,
  CK_PRINT = 41,
  CK_PRINTF = 42,
  CK_READ = 43,
  CK_LOOP_REPEAT = 44,
  CK_RESET_PROBLEM = 45,
  CK_EXPAND = 46,
  CK_COMMANDS = 47,
  CK_DATA = 48,
  CK_FIXDROP = 49,
  CK_OBJECTIVE = 50,
  CK_ENVIRON_SET = 51,
  CK_CALL = 52,
  CK_CD = 53,
  CK_ENVIRON = 54,
  CK_PROBLEM_SET = 55,
  CK_PROBLEM = 56,
  CK_XREF = 57,
  CK_IF = 58,
  CK_READ_TABLE = 59,
  CK_WRITE_TABLE = 60,
  CK_LOAD = 61,
  CK_RELOAD = 62,
  CK_UNLOAD = 63,
  CK_REMOVE = 64,
  CK_SLEEP = 65,
  CK_EXIT = 66,
  CK_BREAK = 73,
  CK_CONTINUE = 74,
  CK_EMPTY = 76,
  CK_OPTION_RESET = 77,
  CK_RESET_DATA = 79,
  CK_UPDATE_DATA = 80,
  CK_BRACES = 81,
  CK_DELETE = 82,
  CK_PURGE = 83,
  CK_CHECK = 86,
  CK_RESET_FUNCTION = 87,
  CK_RESET_SUFFIX = 88,
  CK_RESET_CHECK = 89,
  CK_SNAPSHOT = 90
};

// Builds a command record.  The letters of fmt give the kinds of the nargs
// arguments that follow: i an int, _ an indexing (set_spec*, may be null),
// e an expression (may be null), r a chain of expressions (items, file or
// name lists), l a list of name cells, o option items (Optioncmd), b a
// symbol (may be null), f a redirection (may be null).  A complete
// top-level command goes to execute (session/execute.h) with the fields
// its handler takes (cmd_args).
void cmd(const char* fmt, int nargs, int kind, ...);

// Command builders of the session.
void printcmd(set_spec* ix, expr* items, redirect* r);
void printfcmd(set_spec* ix, expr* format, expr* items, redirect* r);
void letcmd(set_spec* ix, expr* target, expr* value);
void letsetcmd(set_spec* ix, expr* target, set* value);
// fix/unfix: value is the expression after ":=" (null when none).
void fixun(int unfix, set_spec* ix, expr* target, expr* value);
void dropadd_cmd(int restore, set_spec* ix, expr* target);
void expand(int variant, expr* items, redirect* r);
redirect* new_redirect(expr* file, int mode);
// The `reset` command without arguments.  The option and environment
// builders are the session's (session/optcmd.h, session/environs.h).
void reset();
// Joins a run of strings (a list of strings, in reverse order) into one
// string, separated by blanks.
cstr* list2string(list* words);
// Compound commands and loops.
void if_cmd(expr* cond);
void else_cmd();
void while_cmd(expr* cond);
void lbrace();
void rbrace();
// kind 39 (for: what is the indexing) or 44 (repeat: what is the
// condition, null for none); name is the loop name or null.
void loopstart(int kind, symbol* name, void* what);
// The dummies of a `for` loop's indexing become loop dummies: one dummy
// by name with the set it ranges over, or the chain of a tuple's dummies.
// The stand-ins record the call and rebind each dummy record as a loop
// dummy (LOOPDUMMY_KIND), so that the body refers to it by OPLOOPDUMMY;
// the loop's scope still closes when its body is complete.
void loopdumify(symbol* name, set* s);
void loopdumifye(expr* tuple);
// The set a loop dummy ranges over (the order operators of a loop dummy);
// the stand-in knows the sets that loopdumify was given (null otherwise).
set* new_set_db(dummy* d);
// break (73) or continue (74): nonzero when the parse must return 10.
int breakcont(int kind, symbol* name);
// quit: nonzero when the parse must return 5.
int quit_cmd();
// `model`/`data` with a file (model 1 or 0): the file is included at once
// (include, session/include.h), so that reading goes on in it (also while
// only recording).  Its name is evaluated by rdfname
// (session/cmdfiles.h).
void einclude(expr* file, int model);
// The statement-level error rule: havestmt(0) first, cmd_reset last.
void havestmt(int k);
void cmd_reset();
// End of input with in_cmds above 1; may lower in_cmds.
void cmd_eof();
// Nonzero when the parse must end with 4 instead of 3.
int must_write();
// At the start of a statement inside an open compound command: settles
// the pending if/else and repeat constructs that the new statement closes.
// The least form: a top-level `if` without `else` runs (execute) once the
// next statement is not `else` (a `repeat` runs when it closes).
void start_check();
// The description of the open compound command for continuation prompts.
// The least form: "???".
const char* cmdprompt();
// The kind of the outermost open compound command (0: none).
int open_compound_kind();
// At the end of the session (myexit with code 0): runs a top-level `if`
// still waiting for an `else`, and returns rc.
int eof_loopend();

// Problem, data and model-maintenance commands.
void solve_cmd(symbol* name, expr* subscript, redirect* r);
void objective_cmd(symbol* name, expr* subscript);
void prob_cmd(symbol* name, expr* subscript);
void probreset(symbol* name, expr* subscript);
void purge(expr* names, int purge);
void xref_cmd(expr* names, redirect* r);
void readcmd(set_spec* ix, expr* items, redirect* r);
void table_io(int write, set_spec* ix, symbol* name, expr* subscript);
expr* funceval(symbol* function, expr* args);

// A display or print item: an indexing followed by an expression or by a
// parenthesised list (a tuple node, whose items the entry takes): an
// OPARG entry over the indexing; the indexing's scope is closed here.
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
// Built-in function of any number of arguments (kind 34): the node of the
// function's op word over the argument list.
expr* vargop(symbol* f, expr* args);

// Describes an expression chain as the traces show it (numbers, strings,
// names, dummies as "dummy(level,offset)", other nodes as "op<code>").
// Writes at most n bytes, NUL included; returns buf.
char* describe_expr(char* buf, int n, const expr* e);

// Resets the stand-ins' state: no open compound command (cmdstate 0), no
// loop scopes pending.
void cmdbuild_reset();

}  // namespace vexo

#endif  // VEXO_FRONTEND_CMDBUILD_H
