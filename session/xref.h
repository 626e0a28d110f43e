// Cross references, delete, purge and redeclaration.  Every declaration
// has a number (frontend/decl.h: the by-number table dac.bynum, numbers in
// declaration order) and lists the numbers of the declarations that refer
// to it (refs).  xref prints what depends on an entity; delete removes an
// entity nothing depends on, purge removes it with its dependents;
// redclchk decides whether a redeclaration may replace the old
// declaration.  After deletions the numbering is compacted (xrenumber),
// keeping the order.
#ifndef VEXO_SESSION_XREF_H
#define VEXO_SESSION_XREF_H

#include <cstdint>
#include <cstdio>
#include <vector>

namespace vexo {

struct expr;
struct redirect;
struct xnode;
struct xrecomp;

// The direct and indirect dependents of d (built-in declarations left
// out), each once, in declaration order.
std::vector<xnode*> cite_xrefs(const xnode* d);
// The xref command (kind 57): names is the grammar's chain of name
// literals; r the redirection or null.
void xref(expr* names, redirect* r, xrecomp* xr);
// delete (purge 0, kind 82) and purge (purge 1, kind 83) of the items of
// the grammar's chain: name literals, "suffix NAME", "environ NAME",
// "table NAME", "option NAME", and checks.  Refusals are warnings.
void delete_cmd(expr* items, int purge);
// Deletes d (with purge, its dependents first); returns 1 when refused
// because d has dependents other than problems (delete only).
int delete_cmd2(xnode* d, int purge);
// Releases declaration d's compiled and generated state; with unlink, also
// gives its name the binding it had before d and takes d out of the
// declaration list, its class and the by-number table.  The current
// problem is never deleted.
void delx(xnode* d, int unlink);
// The redeclaration of old by d (called by yychain): 0 d takes a new
// number (old, of another kind, deleted; or old no declaration), 1 d takes
// old's number and place (*out = old, for the declaration code to copy d
// over), 2 refused after a warning (old stays).
int redclchk(xnode* old, xnode* d, xnode** out);
// Applies a renumbering of the declarations (map[old] = new, -1 for a slot
// that goes; newnext the first free number after it) to the table, to the
// dependency lists of stored commands and to stored read commands.
void xrenumber(const int32_t* map, int32_t newnext);
// Deletes a user function declaration so that its name can be declared
// anew (the lexer, for a function that is to be replaced).
void del_function(xnode* f);

// The options section of a snapshot on f: "reset options;" and the
// settings of every environment that differ from the defaults.
void show_env_and_options_snapshot(FILE* f);

// A new session: the hint of the dependents message not given yet.
void xref_start();

}  // namespace vexo

#endif  // VEXO_SESSION_XREF_H
