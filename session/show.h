// The show command: the entities of the model listed by kind, or the
// declarations of named entities printed back as the language's text (the
// model printer, report/modelprint.h), on the command's output stream df.
#ifndef VEXO_SESSION_SHOW_H
#define VEXO_SESSION_SHOW_H

namespace vexo {

struct expr;
struct redirect;
struct xnode;
struct xrecomp;

// The command (kind 30): names is the grammar's chain of symbol literals
// (null: list every kind); the keyword forms arrive as the words
// "environ NAME", "suffix NAME", "table NAME", "option NAME", "check" and
// "check N" (frontend/cmdbuild.h show_item).  r: the redirection or null.
void show(expr* names, redirect* r, xrecomp* xr);
// Shows one name: its declaration d (null when the name declares nothing
// printable) alone as a statement; else, for the name "check" with
// 1 <= checkno <= the number of checks, that check; else the class its
// first letters select, or the help text.
void show1(const char* name, xnode* d, int checkno);
// Lists the user entities of class cls (frontend/decl.h XC_...).
void showall(int cls);
// "%s is undefined.\n" for name (unless null) and the syntax of show.
void show_help(const char* name);

// The drop (vars 0: constraints, then logical constraints) or fix (vars
// 1: variables but defined ones) state as the commands that restore it
// ("drop c;", "restore c;" then "drop c[2];" ...), kind 49.  Members are
// generated first; a failure ends the listing without output.
void dropshow(int vars, redirect* r, xrecomp* xr);
// The same for the snapshot command: nothing generated while a snapshot is
// written; with snap 0 a declaration with nothing marked gives no line and
// a mostly marked one no member lines (snap -1 is dropshow's form).
void dropshow_snapshot(int vars, redirect* r, xrecomp* xr, int snap);
// The objective in force as "objective o;" (or "objective o[2];"), else
// the drop and restore lines of every objective; kind 50.
void objshow(redirect* r, xrecomp* xr);

// Start-up and `reset`: the sorted class lists forgotten.
void show_reinit();

}  // namespace vexo

#endif  // VEXO_SESSION_SHOW_H
