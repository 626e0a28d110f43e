// Named environments and the option files.  An environment is a complete
// set of option values (an envir, session/options.h) that can be made
// current as a whole.  Current holds the values in effect and Initial the
// values as they stood at start; `environ` declares more, possibly indexed
// over a set (members made on first use).  Environments share envir
// records until one of them is written.  Here too: the option files
// written at exit (OPTIONS_INOUT, OPTIONS_OUT) and the NAME=value file of
// a child's environment.
#ifndef VEXO_SESSION_ENVIRONS_H
#define VEXO_SESSION_ENVIRONS_H

#include <cstdint>
#include <cstdio>
#include <type_traits>

#include "eval/optab.h"
#include "frontend/decl.h"

namespace vexo {

struct xrecomp;

struct envir;
struct expr;
struct set;
struct set_spec;
struct symbol;
struct cstr;
struct TVA;
struct opt_file;
struct redirect;

// The declaration of an environment: kind 22 (plain) or 23 (indexed).
struct xenvir : xnode {
  set* members;     // kind 23: the subscripts of the members made so far
  envir** slots;    // kind 23: a slot per member, in member order
  int32_t slots_k;  // size class of slots
  envir* e;         // kind 22: the values
};
static_assert(std::is_trivially_destructible_v<xenvir>,
              "environment records are plain pool records");

// The names of the environments: Current, Initial, then the declared ones
// (also entered in _ENVS, the system set of environments).
extern set* envnames;
// The slot of Current, which always holds the values in effect.
extern envir** Current_slot;
// The environment last made current and its subscript (null when plain).
extern xenvir* cur_xenv;
extern symbol** cur_xenv_sub;

// Start-up and reset: Current and Initial sharing one empty envir,
// Initial current.
void init_environs();
// The environment declared by name, or null.
xenvir* env_xnode(symbol* name);
// The slot of member tuple of x, made (sharing Current's values) when the
// tuple is not a member yet; a tuple outside x's indexing (evaluated in
// tva, which may be null) is the bad-subscript error, ending the command.
envir** newenv(xenvir* x, symbol** tuple, TVA* tva);
// Makes x (its member sub when indexed) the current environment: options
// whose texts differ take the new ones and their handlers run.
void env_change(xenvir* x, symbol** sub);

// Grammar builders.  environ_dcl: `environ NAME indexing;` (or without
// indexing).  envsub: a reference to environment env (subscript or null):
// node 221 (plain) or 222 (indexed, with the subscript), L its name; a
// refused one (after its message) refers to Current and sets *refused.
// envdcl: the environment of a problem declaration, declared when new.
// envqual: the operator "$" (OPDOLLAR) or "$$" (OPDOLLAR0) on operand (a
// string literal or an expression giving the name), qualified by an
// environment unless env is null: a literal name gives node 216 or 217 (L
// the name, R the environment reference or null); a computed one 218 (L the
// operand), 220 (L the operand, R the environment) or 219 for "$$" (L the
// operand; the environment is dropped).  dollar_word and envexpr:
// the same references as words of an option value.  environ_cmd0: `environ
// [indexing] name [subscript] [= source [subscript]];`.
void environ_dcl(cstr* name, set_spec* ix);
expr* envsub(cstr* env, expr* subscript, bool* refused = nullptr);
expr* envdcl(cstr* name);
expr* envqual(int opcode, cstr* env, expr* subscript, expr* operand);
expr* dollar_word(cstr* name, int dollars);
expr* envexpr(cstr* env, expr* subscript, cstr* name);
void environ_cmd0(set_spec* ix, cstr* name, expr* subscript, cstr* source,
                  expr* source_sub);
// Command kind 51: gives the target (member) the source's values when a
// source is named, and makes it current; over an indexing, gives every
// member named its source's values and switches to none.  The subscripts
// are compiled at command level (within the indexing), the compilation
// released into xr (with xr null, into a record of its own).
void environ_cmd(set_spec* ix, symbol* target, expr* sub, symbol* source,
                 expr* source_sub, xrecomp* xr = nullptr);
// The slot an environment reference designates (made when a new member
// is named), with the record and the member's subscript (null when plain);
// the subscript is evaluated as cmd_tuple does.
envir** env_ref(expr* e, xenvir** x, symbol*** sub, xrecomp* xr);
// The symbols of the first n expressions of a subscript chain, compiled and
// evaluated once at command level after what they cite is brought up to
// date; the compilation is released into xr (null: a record of its own).
void cmd_tuple(expr* chain, symbol** tuple, int n, xrecomp* xr);
// `environ;`: prints "environ NAME[SUB];" for the current environment; a
// computed file name is compiled and evaluated in the command's context.
void cur_environ(redirect* r, xrecomp* xr = nullptr);

// OPENV 221.  L: the environment's name.  -> p: the slot of its values.
eval_result f_OPENV(expr* e, TVA* tva);
// OPENVSUB 222.  L: the name, R: the subscript chain.  -> p: the member's
// slot, made when new.
eval_result f_OPENVSUB(expr* e, TVA* tva);

// Lists the listed options, sorted by name, one "option NAME VALUE;" line
// each, on f; with a pair whose file name is not empty, into that file
// instead ("can't write %s file %s\n" on Stderr when it cannot be opened).
// While a snapshot is written, options at their default are left out.
void write_options(const opt_file* pair, FILE* f);
// At exit: the files named by OPTIONS_INOUT and OPTIONS_OUT.
void write_option_files();
// Writes the NAME=value text of every option that has an env_db slot, in
// name order, a newline inside a value followed by a blank; closes f.
void write_environ(FILE* f);

}  // namespace vexo

#endif  // VEXO_SESSION_ENVIRONS_H
