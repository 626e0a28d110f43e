// Command records and compound commands.  The grammar's actions turn every
// command statement into a command record (cmd_fields) in the command
// arena (session/cmdmem.h).  A command read at top level is executed as
// soon as its record is complete (execute, session/execute.h); a command
// inside a compound command (for, repeat with while or until, if with then
// and else, braces) is linked into the compound's body, and the whole
// compound is executed when its outermost level closes.  This module keeps
// the stack of open compounds and the link slot where the next record
// goes, closes one-statement bodies as statements end, resolves the
// targets of break and continue, builds the continuation prompts and keeps
// the dependency lists that tell the compiler which declarations a command
// uses.
//
// Builders are typed, one per field format: the record of format F is made
// by cmd_F, the letter "_" (an indexing whose dummy scope the builder
// closes) written "x", e.g. cmd_xe for "_e".  Letters: i an int; _ an
// indexing (set_spec); e an expression; r a chain of expressions; l a list
// of names; o option items (Optioncmd); b a symbol; f a redirection; s a
// set; T a record (loop targets, the if of an endif).
#ifndef VEXO_SESSION_CMDREC_H
#define VEXO_SESSION_CMDREC_H

#include <cstdint>
#include <type_traits>

#include "compiler/recomp.h"
#include "session/cmdmem.h"

namespace vexo {

struct dummy;
struct Optioncmd;
struct expr;
struct list;
struct set;
struct set_spec;
struct symbol;

// Command kinds: 26..90 (the names are cmdname's, session/execute.h).
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
  CK_THEN = 67,        // if whose then-statement is being read
  CK_ELSE_CHECK = 68,  // if waiting to see whether else follows
  CK_ELSE = 69,        // if whose else-statement is being read
  CK_ENDIF = 70,       // end of the then- and else-chains of an if
  CK_RBRACE = 71,      // open brace that is the body of a compound
  CK_REPEAT_END = 72,  // repeat waiting for a trailing while or until
  CK_BREAK = 73,
  CK_CONTINUE = 74,
  CK_LOOPEND = 75,  // end of a loop body
  CK_EMPTY = 76,    // statement-end mark: makes no record
  CK_OPTION_RESET = 77,
  CK_BREAKPOINT = 78,
  CK_RESET_DATA = 79,
  CK_UPDATE_DATA = 80,
  CK_BRACES = 81,  // brace group
  CK_DELETE = 82,
  CK_PURGE = 83,
  CK_BREAK_ALL = 84,
  CK_BREAK_COMMANDS = 85,
  CK_CHECK = 86,
  CK_RESET_FUNCTION = 87,
  CK_RESET_SUFFIX = 88,
  CK_RESET_CHECK = 89,
  CK_SNAPSHOT = 90
};

// A command's output redirection ("> f" mode 0, ">> f" mode 1) or input
// file ("< f", mode 2): the file-name expression and, once the file is
// open, its entry in the table of command files (-1 before).
struct redirect {
  expr* file;
  int32_t mode;
  int32_t find;
};

// One field of a record, as its format letter says.
union cmd_arg {
  intptr_t i;
  expr* e;
  set_spec* ss;
  set* s;
  list* l;
  redirect* r;
  symbol* b;
  Optioncmd* o;
  void* p;
};

// A dependency-list entry: a declaration the command refers to and the
// value saved with it (the statement's reference count for variables,
// constraints and objectives, else 1).
struct cmd_dep {
  int32_t num;
  int32_t val;
};

// The record.  Its fields (cmd_arg, one per letter of fmt) follow it.
struct cmd_fields {
  cmd_fields* next;  // next record of the chain
  int32_t kind;      // CK_...
  int32_t cflags;    // 1, 2: the collection request in force when the
                     // command was parsed; 4: a problem is needed
  xrecomp xr;        // the command's recompilation state
  xrecomp* xrp;      // &xr, what the handlers receive
  int32_t ndep;      // dependency list: ndep entries at deps
  int32_t nfield;    // fields after the record
  cmd_dep* deps;
  cmd_fields* cmdthread;  // the previous record that took a dependency list
  const char* stmtfname;  // where the statement began (null: standard input
  long stmtline;          //   before any of it was read as a file)
  long stmtoffset;
  const char* fmt;  // field-format letters
  cmd_arg* f() { return reinterpret_cast<cmd_arg*>(this + 1); }
};
static_assert(std::is_trivially_destructible_v<cmd_fields> &&
                  sizeof(cmd_fields) % 8 == 0,
              "command records are plain arena records");

// The records of for (39), repeat (44, 72), if (58, 67..69) and braces
// (71, 81): the head without fields, then the compound's own part.  Loop
// records and brace groups are the loop frames: while they are built, the
// targets of break and continue; while they run, what end_loops unwinds.
struct cmd_compound {
  cmd_fields h;
  cmd_fields* body;  // the body (the then-chain of an if)
  cmd_fields* els;   // the else-chain of an if
  set_spec* ix;      // for: the indexing
  expr* cond;        // if: the condition; repeat: the leading one
  expr* tcond;       // repeat: the trailing condition (until: negated)
  cmd_dep* tdeps;    // the dependency list of the trailing condition
  int32_t ntdeps;
  int32_t loopdepth;    // for: nesting depth among for loops
  symbol* name;         // loop name, or null
  dummy* dummies;       // for: the loop dummies, newest first
  cmd_compound* up;     // next outer open compound while open
  cmd_compound* frame;  // next outer loop frame (build time)
  int32_t inslev;       // include level and input count when opened
  int32_t nfs;
  int32_t depth;         // brace depth of the open brace (bracecnt)
  int32_t bodyopen;      // repeat: its brace is still open
  const char* endfname;  // repeat: where its closing brace stood
  long endline;
  long endoffset;
};
static_assert(std::is_trivially_destructible_v<cmd_compound>,
              "compound records are plain arena records");
inline cmd_compound* compound(cmd_fields* c) {
  return reinterpret_cast<cmd_compound*>(c);
}

// The interpreter's build state.
extern cmd_fields* first_cmd;      // the first record made since the reset
extern cmd_compound* open_cmds;    // innermost open compound, or null
extern cmd_compound* loop_frames;  // innermost loop frame being built
// 2 while an error unwinds open compounds: the executor ignores records.
extern int cmd_discard;
// The return code when the first brace group was opened, which rc takes
// when the group runs; and whether the compound-command prompts are in
// force (the first brace group switched them).
extern int cmd_rc;
extern int cmd_prompts;
// The include level at which the outermost compound being run was read.
extern int cmd_inslev;

// ---- Building ------------------------------------------------------------

// A record of kind with nfield fields of format fmt: the head filled (the
// statement position, the dependency list taken from dac, the collection
// requests), the fields zero.  Null for kind 76.
cmd_fields* start_cmd(const char* fmt, int nfield, int kind);
// The record is complete: at top level it is executed at once; otherwise
// it goes in the link slot and the innermost open compound advances (a
// one-statement body closes).
void end_cmd(cmd_fields* c);

// The typed builders.  Kind 76 (CK_EMPTY) through cmd0 is the
// statement-end mark: no record; pending one-statement bodies close.
void cmd0(int kind);
void cmd_e(int kind, expr* e);
void cmd_r(int kind, expr* chain);
void cmd_f(int kind, redirect* r);
void cmd_b(int kind, symbol* b);
void cmd_ef(int kind, expr* e, redirect* r);
void cmd_rf(int kind, expr* chain, redirect* r);
void cmd_if(int kind, int i, redirect* r);
void cmd_il(int kind, int i, list* names);
void cmd_of(int kind, Optioncmd* items, redirect* r);
void cmd_be(int kind, symbol* b, expr* e);
void cmd_bef(int kind, symbol* b, expr* e, redirect* r);
void cmd_ri(int kind, expr* chain, int i);
void cmd_x(int kind, set_spec* ix);
void cmd_xe(int kind, set_spec* ix, expr* e);
void cmd_xrf(int kind, set_spec* ix, expr* chain, redirect* r);
void cmd_ixrf(int kind, int i, set_spec* ix, expr* chain, redirect* r);
void cmd_irf(int kind, int i, expr* chain, redirect* r);
void cmd_ixei(int kind, int i, set_spec* ix, expr* e, int j);
void cmd_ixbe(int kind, int i, set_spec* ix, symbol* b, expr* e);
void cmd_xbebe(int kind, set_spec* ix, symbol* b1, expr* e1, symbol* b2,
               expr* e2);

// A redirection record in the arena.
redirect* new_redirect(expr* file, int mode);

// Statement builders of the grammar.
// print: the items become the argument list of a call of the built-in
// function print (funceval); printf: the format, then the items as the
// arguments of printf.
void printcmd(set_spec* ix, expr* items, redirect* r);
void printfcmd(set_spec* ix, expr* format, expr* items, redirect* r);
// let: indexing, left side, right side (an expression, or a set for
// letsetcmd).
void letcmd(set_spec* ix, expr* target, expr* value);
void letsetcmd(set_spec* ix, expr* target, set* value);
// fix/unfix (kind 37/38): value is the expression after ":=" (null when
// none); drop/restore (35/36).
void fixun(int unfix, set_spec* ix, expr* target, expr* value);
void dropadd_cmd(int restore, set_spec* ix, expr* target);
// expand (variant 0 expand, 1 solexpand, 2 _solexpand).
void expand(int variant, expr* items, redirect* r);
// quit: 1 when no compound is being built (the parse ends); inside one an
// exit record is made and 0 returned.
int quit_cmd();

// Compound commands.  if_cmd opens an if (67); else_cmd turns a waiting if
// into its else part, or reports "Misplaced \"else\"."; loopstart opens a
// for (39, what the indexing) or a repeat (44, what the leading condition,
// null for none, whose brace the statement opened); while_cmd attaches a
// trailing condition to a repeat waiting for it ("Misplaced while
// expression." otherwise); finish_repeat ends such a repeat without one;
// lbrace and rbrace: braces.
void if_cmd(expr* cond);
void else_cmd();
void loopstart(int kind, symbol* name, void* what);
void while_cmd(expr* cond);
void finish_repeat();
void lbrace();
void rbrace();
// break (73) or continue (74), with a loop name or the words `all` (84) or
// `commands` (85): the loop-control record.  "Misplaced break." outside
// loops, "%s is not a loop name" for a name no loop bears.  Nonzero when
// the parse must end: in a stepping dialogue, one that acts on the running
// loop (session/execute.h, step_loop_control).
int breakcont(int kind, symbol* name);
// Closes the one-statement bodies that the statement just ended completes;
// with exec nonzero an outermost compound that closes is executed.
void havestmt(int exec);
// At the start of a statement other than else: an if waiting for else and
// a repeat waiting for its condition are closed (and, being outermost,
// executed, each under a recovery point of its own).
void start_check();
// At the end of an input: pending one-statement bodies close as at a
// statement end.
void cmd_eof();
// At the end of the session (myexit with 0): an if or repeat still waiting
// runs; anything else open is "Premature end of file.".  Returns rc.
int eof_loopend();
// The continuation prompt for the innermost open compound.
const char* cmdprompt();

// The dummies of a `for` loop's indexing become loop dummies for the
// loop's body: the names of the chain's OPDUMMY nodes (the components
// first, first + 1, ... of the loop's members) are bound to loop-dummy
// records (LOOPDUMMY_KIND; level: the loop's nesting depth, offset: the
// component) until the loop's body is complete.  The records live in the
// command arena, as long as the commands that refer to them.
void loopdumifye(expr* dummies, int first);
// The set a loop dummy ranges over (its loop's item, when the item has
// that one dummy), or null.
set* new_set_db(dummy* d);

// Closes every open compound (the error path): the loop scopes still open
// are closed, the records are left to the command memory.
void close_compounds();
// Frees what the records of a chain own (expressions, lists, indexings,
// redirections), nested chains included; the records stay in the arena.
void cmdmem_free(cmd_fields* c);
// cmdmem_free of the chain from first_cmd, which is then forgotten (the
// command-memory reset, before the arena goes).
void cmd_mem_free();

// Dependency lists.  take_deps moves the declarations referred to while
// the statement was parsed (the accumulator dac) into a list in the arena,
// their count into *n (pr_badnames stays for the executor); depsetup loads
// a record's list into the declaration
// table (dac) before its expressions are compiled; dep_renumber rewrites
// the numbers of every live list through map (old number -> new, -1 for a
// deleted declaration, whose entries go).
cmd_dep* take_deps(int32_t* n);
void depsetup(const cmd_dep* deps, int n);
void dep_renumber(const int32_t* map);

// After a handler has evaluated its expressions (compiler/compile.h):
// frees the context t (null: none), runs the outermost context's clean-up
// hooks, drops its level-0 rewrites and undoes the compilation kept in x.
struct TVA;
void cmdxreset(xrecomp* x, TVA* t);
// cmdxreset for a holder's destructor, x in the running command's record
// (in_record nonzero) or the holder's own.  While an abort unwinds, the
// abort has undone the running command's compilation already and released
// its record with the command memory: only t is freed then.
void cmdxreset_held(xrecomp* x, TVA* t, int in_record);

// The kind of the outermost open compound as a command (58 for an if in
// any of its states, 44 for a repeat), 0 when none is open.
int open_compound_kind();

// The interpreter's build state of one reading level: its arena, records
// and open compounds.  cmd_build_save keeps it aside and starts afresh (a
// nested command file's commands are built and run on their own);
// cmd_build_restore gives up the nested level's arena and puts the saved
// state back.
struct cmd_build {
  cmd_arena arena;
  cmd_fields* first;
  cmd_compound* open;
  cmd_compound* frames;
  cmd_fields** link;
  cmd_fields* thread;
  dummy* pending;
  int prompts_switched;
  int rc_saved;
  int inslev_run;
  int state;
};
cmd_build cmd_build_save();
void cmd_build_restore(const cmd_build& b);

// Start-up and `reset`: nothing open, nothing built.
void cmd_reinit();

// A compound command is being built.
extern int cmdstate;

// No compound command being built.  Kept by `reset` (cmd_reinit forgets
// the records; the reader's mode goes on).
void cmdrec_start();
}  // namespace vexo

#endif  // VEXO_SESSION_CMDREC_H
