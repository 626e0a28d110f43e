// Declaration records: the common head `xnode` of every declared entity, the
// declaration kinds and their tables, and `yychain`, the one place where a
// finished declaration enters the model.  yychain handles redeclaration,
// numbers the declaration (a by-number table maps numbers back to records),
// records the declarations it refers to (collected in the accumulator dac
// while it was parsed) and which later ones refer to it, appends it to the
// declaration list `decls` and files it in its class list, from which the
// system sets _VARS, _CONS, ... are generated.  x_copy finishes a
// redeclaration by copying the new record over the old one, so that every
// pointer to the old record stays valid.
#ifndef VEXO_FRONTEND_DECL_H
#define VEXO_FRONTEND_DECL_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "compiler/recomp.h"
#include "eval/optab.h"

namespace vexo {

struct symbol;
struct cstr;
struct set;
struct set_spec;
struct dummy;

// Declaration kind codes (the kind word of the head, also the kind of a
// name's binding).  Odd kinds 3..23 are the indexed forms.
enum : uint32_t {
  DK_VAR = 2,
  DK_VARI = 3,
  DK_PARAM = 4,
  DK_PARAMI = 5,
  DK_SET = 6,
  DK_SETI = 7,
  DK_CON = 8,
  DK_CONI = 9,
  DK_OBJ = 10,
  DK_OBJI = 11,
  DK_DUMMY = 12,
  DK_CHECK = 13,
  DK_SPARAM = 14,  // symbolic param (numeric kind + 10)
  DK_SPARAMI = 15,
  DK_SVAR = 16,  // symbolic variable (variable kind + 14)
  DK_SVARI = 17,
  DK_VARSET = 18,  // entities listed in _VARSETS
  DK_VARSETI = 19,
  DK_PROB = 20,
  DK_PROBI = 21,
  DK_ENV = 22,
  DK_ENVI = 23,
  DK_SUFFIX = 24,
  DK_FUNCTION = 25,
  DK_TABLE = 26,
  DK_VARI_PENDING = 28,  // indexed variable while being parsed
  DK_FUNC39 = 39,        // filed with the functions, built elsewhere
  DK_NOBIND = 40,        // a binding that stands for no declaration
  DK_BUILTINSET = 41,    // Reals, Integers, ASCII, EBCDIC, Display
  N_DKINDS = 42
};

// Head flag bits read here (the classes define the rest).
enum : uint64_t {
  XF_SYMBOLIC = 0x100,
  XF_RANDOM = 0x10000,
  XF_GENERATE = 0x10000000  // set by finish_dcl, read by the generator
};

// The common head of every declaration record; each class appends its own
// fields.  Field order is fixed: the kind word at offset 8 is read through
// name bindings, next links `decls`.
struct xnode {
  xnode* next;         // next declaration in decls, null at the end
  uint32_t kind;       // DK_...
  symbol* name;        // the declared name
  cstr* alias;         // alias string or null
  void* oldval;        // the name's binding before this declaration
  set_spec* indexing;  // indexing expression, null for a scalar
  uint64_t flags;      // class flags
  cstr* dseen;         // why it needs generated or solved values, or null
  double stamp;        // 1.0 at construction, nextgenlev when (re)chained
  int32_t num;         // declaration number (index of the by-number table)
  int32_t classnum;    // position in its class list (variables: class 12)
  int32_t ndeps;       // number of declarations this one refers to
  uint32_t* deps;      // their numbers (block of class htcl(4 * ndeps))
  uint32_t* refs;      // numbers of declarations referring to this one
  int32_t nrefs;       // entries in refs
  int32_t refk;        // size class of the refs block
  int32_t refcap;      // capacity of refs
  xrecomp xr;          // what compiling the declaration changed
                       // (compiler/recomp.h); input stamp 1.0 once built
};
static_assert(std::is_trivially_destructible_v<xnode> &&
                  std::is_standard_layout_v<xnode> &&
                  offsetof(xnode, kind) == 8,
              "declaration records are plain pool records");

// The per-member data of a declaration that takes data (params, sets,
// variables, constraints, objectives, problems).  The data reader, `let`,
// the table engine and the solution reader store through data/values.h;
// the evaluator adds computed members the same way.  For an indexed
// declaration dindex holds the subscripts that have data, and a member's
// ordinal in it indexes vals, stat and the suffix value arrays; a scalar
// one has no dindex and at most one member.
struct xnode2 : xnode {
  set* dindex;      // subscripts with data (indexed), or null
  void* vals;       // value array: a double, symval, symbol* or member set
                    // per member (data/values.h val_size), or null
  int32_t nvals;    // members the arrays hold
  int32_t valk;     // size class of vals
  uint8_t* stat;    // status byte per member (data/values.h MS_...), or
                    // null while every byte is 0
  int32_t statk;    // size class of stat
  uint32_t dflags;  // DF_... (data/values.h)
  void* sufv;       // suffix values given by data (data/values.h), or null
  set* pending;     // subscripts whose data changed since the declaration
                    // was generated (note_change, instance/stamps.h), or
                    // null; instance generation checks them and frees it
};
static_assert(std::is_trivially_destructible_v<xnode2> &&
                  std::is_trivially_copyable_v<xnode2>,
              "declaration records are plain pool records");

// By kind (0..N_DKINDS-1): declaration numbers the kind takes; the class
// list it is filed in (-1: none); whether the name is re-pointed to the
// surviving record after a redeclaration.
extern const uint8_t xn_inc[N_DKINDS];
extern const int8_t xtype[N_DKINDS];
extern const uint8_t rddef[N_DKINDS];

// Class lists.
enum : int {
  XC_PROBS = 0,
  XC_PARS = 1,
  XC_SETS = 2,
  XC_VARS = 3,
  XC_CONS = 4,
  XC_OBJS = 5,
  XC_FUNCS = 6,
  XC_CHECKS = 7,  // no system set; checks are numbered from 1
  XC_LOGCONS = 8,
  XC_VARSETS = 9,
  XC_SYMVARS = 10,
  XC_RANDVARS = 11,
  XC_ALLVARS = 12,  // every variable; no system set
  XC_ENVS = 13,
  XC_SUFFIXES = 14,
  XC_TABLES = 15,
  XC_SYSTEM_SUFFIXES = 16,
  N_XCLASS = 18  // record 17 receives no declarations
};
struct xclass_rec {
  int32_t k;      // size class of the array block
  int32_t n;      // declarations filed
  int32_t cap;    // capacity of the array (1, then doubling)
  xnode* sysdcl;  // declaration of the system set listing the class
  xnode** a;      // the declarations in filing order
};
extern xclass_rec xclass[N_XCLASS];
// The declaration of class c named name, or null.
xnode* xclass_find(int c, const symbol* name);
// Records d as the system set listing class c (made by session/sysdecls).
void set_sysdcl(int c, xnode* d);
// `redeclare` of a declaration of class c: the declaration of that name
// becomes the one redeclared (old_obj), when there is one.
void redecl_of_class(int c, const symbol* name);

// The dependency accumulator.  Whoever resolves a reference to a declared
// entity while a declaration is parsed increments mark[num] and, on the
// first increment, appends num to list (dep_note does both).
struct dep_acc {
  int32_t n;       // numbers collected in list
  int32_t dk;      // size class of the last dependency array handed out
  int32_t k;       // size class of the block holding the arrays below
  int32_t cap;     // entries of each array
  int32_t next;    // next free declaration number
  int32_t nfree;   // empty slots below next (deleted declarations)
  int32_t* mark;   // per number: references in the current declaration
  uint32_t* list;  // collected numbers in order of first reference
  xnode** bynum;   // the declaration of each number
};
extern dep_acc dac;

// Globals of declaration building.
extern xnode* decls;           // first declaration
extern xnode** declslast;      // where the next declaration is linked
extern xnode* old_obj;         // record this statement redeclares
extern xnode* const old_obj0;  // the value of old_obj meaning "none"
// The statement redeclares d (old_obj0: nothing); a declaration class of
// another subsystem decides it (instance/sufdecl.cpp).
void redeclares(xnode* d);
// Curdclname and Oldval, the name being declared and its previous binding
// (restored when the declaration fails), are the lexer's (frontend/rawtok.h).
extern xnode* rec_xnode;   // declaration being parsed
extern int recursive;      // references to it in its own clauses
extern double nextgenlev;  // next generation stamp; 2.0 at start-up
// Raises nextgenlev past top (it never goes down): what is generated from
// now on is newer than anything stamped top.
void raise_nextgenlev(double top);
extern int trans_state;    // translation state of the problem (0..5)
extern xnode* lastrev;     // last declaration seen by decl_rev
// The first item of the statement that needs generated or solved values,
// the declaration (or &variable_arg) that needed it, and an optional
// replacement message format; set by the expression builders.
extern const char* dseen;
extern xnode* dxseen;
extern const char* dseenexpl;
extern xnode variable_arg;  // marker value of dxseen
// Per opcode: nonzero for the comparison operators of algebraic
// constraints.
extern uint8_t alg_comp[N_OPCODES];
// pr_badnames, set by the undefined-name reports of the display code and
// cleared by yychain and dep_reset, is in report/print.h.

// The loop dummy the current statement used (or null); a declaration that
// uses one inside a compound command is refused.  The session's cmdstate
// (a compound command is being built) is in session/cmdrec.h.
extern dummy* lastloopdummy;
// The name of a loop dummy, for messages.
const char* dummy_name(const dummy* dm);

// Start-up (and after `reset`, whose memory walk has freed the old blocks):
// empty declaration list and class lists, a fresh by-number table, stamps
// and states at their initial values.  Before the first declaration.
void decl_reset();

// Fills the head of a zeroed record: kind, name, alias, indexing; the
// previous binding is the name's current one; when that is not old_obj and
// rebind is nonzero, binds the name to the record and sets Curdclname and
// Oldval; stamp 1.0.
void xrecomp_constr(xnode* x, symbol* name, cstr* alias, set_spec* indexing,
                    uint32_t kind, int rebind);
// Begins `redeclare NAME`: old_obj = the name's binding (old_obj0 when it
// is unbound or bound to kind 40); the lexer reads the next token as the
// name after a declaration keyword (cmd_start 6).
void redecl_start(symbol* name);
// `redeclare check n`: old_obj = check n when it exists; otherwise reports
// and the statement declares a new check.
void redecl_check(double n);
// The check that `check n` names in delete, purge and redeclare: its
// position in the class list of checks (1 for the first; a fraction is cut
// off), or 0 when n names no position there.  text receives n as a number
// is shown, for the message that refuses it.
int check_slot(double n, char (&text)[32]);
// Chains the finished declaration d: 0 accepted, 1 refused (the name keeps
// its old binding).  *old receives the redeclared record, null for a new
// declaration.  A redeclaration is checked by the session (redclchk,
// session/xref.h); a declaration made while a compound command is open
// abandons the command (cmd_reset2, session/loop.h).  Reports errors of
// kind 0 (returns).
int yychain(xnode* d, xnode** old);
// Numbers d as yychain numbers a new declaration (the by-number table grows
// as needed) without putting it in the declaration or class lists: the
// built-in function records, which expressions refer to as declarations.
void dcl_number(xnode* d);
// Finishes a declaration: with old non-null, copies d over it (keeping the
// old record's list link, previous binding, class position and referrers),
// returns d to its pool (pool_kind, support/pool.h) and returns old; else
// returns d.  Kinds marked in rddef have their name bound to the result.
xnode* x_copy(xnode* old, xnode* d, int pool_kind);
// Appends n to the referrers of x.
void xrefer(xnode* x, uint32_t n);
// Removes every entry n from the referrers of x.
void unxrefer(xnode* x, uint32_t n);
// Appends n to the dependencies of x (its array grows by size class).
void add_dep(xnode* x, uint32_t n);
// Removes the numbers n and n + 1 from the dependencies of x (a deleted
// declaration of one or two slots).
void undep(xnode* x, uint32_t n);
// Takes d out of decls, out of its class lists (the later entries move up
// and take their new positions) and out of the by-number table: its slots
// become empty (dac.nfree), and empty slots at the top are given back.
// The record itself stays with its owner.
void x_free(xnode* d);
// Applies a new numbering: map[old] is the new number of each slot below
// dac.next (-1: an empty slot, or a number that goes); the numbers,
// dependencies and referrers of every declaration follow, the by-number
// table is rebuilt with next = newnext and no empty slot.
void dac_renumber(const int32_t* map, int32_t newnext);
// Repeats yychain's "must be redeclared" report for d from its stored
// text.  Reports an error of kind 0.
void redcl_warn(xnode* d);
// Records one reference to the declaration numbered num in the
// accumulator (the first one appends it to the collected list).
void dep_note(int num);
// Clears the marks of the collected dependencies, the collected count and
// pr_badnames.
void dep_reset();
// Counts a reference of the declaration being parsed to itself
// (recursive), which makes it a recursive definition.
void note_self_ref();
// Empties the accumulator (its marks back to 0).
void dac_clear();
// Hides the numbers collected so far, marks and all, from what is resolved
// next; returns their count, which dac_take_back restores.
int32_t dac_set_aside();
void dac_take_back(int32_t n);
// Empties the accumulator and loads it with n numbers and their marks.
void dac_load(const uint32_t* nums, const int32_t* marks, int32_t n);
// Reverses the arc and column-generation term lists of the variables
// chained since the previous call.
void decl_rev();
// Whether decl_rev has already passed declaration x (its terms, when it
// is redeclared, must then be put in clause order by the redeclaration).
bool decl_rev_passed(const xnode* x);
// Sets the translation state; a change is mirrored into the system param
// _trans_state (its value and stamp nextgenlev).  Returns s.
int set_trans_state(int s);
// Sets the translation state to 0 when it is not, and frees the marks of
// the last check (tsr, instance/xcg.h).
void tc_zap();

// The printed name of a declaration ("check" for checks).
const char* xnode_name(const xnode* x);

}  // namespace vexo

#endif  // VEXO_FRONTEND_DECL_H
