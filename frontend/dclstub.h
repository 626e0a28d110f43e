// Least stand-ins for the declaration services of other subsystems that
// the declaration builders and the declaration grammar call: function
// declarations (evaluator), the `random` attribute, table declarations
// (data input), problems and suffix declarations (instance generation).  Each
// does what the front end needs of it and no more; the owning subsystems
// replace them later.  The records here carry the fields the front end reads;
// their owners may append fields.
#ifndef VEXO_FRONTEND_DCLSTUB_H
#define VEXO_FRONTEND_DCLSTUB_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "frontend/decl.h"

namespace vexo {

struct expr;
struct list;
struct symbol;
struct cstr;
struct set;
struct set_spec;
struct var;
struct param;

// ---- Functions -----------------------------------------------------------

// One item of a function's argument domains (a class-2 block): the
// direction code and the set (null for "*", any).
struct funcarg {
  funcarg* next;
  set* s;
  int32_t dir;
};

struct function : xnode {
  funcarg* args;    // argument domains, or the marker of "..." (dotdotdot)
  uint32_t fflags;  // type codes (8 explicit real arguments, 16 output
                    // arguments, 0x100 symbolic) and attributes (0x4000 any
                    // number of arguments, 0x10000 the value may change
                    // between calls, as for `random`)
  expr* pipe;       // pipe text expression, or null
  expr* format;     // format text expression, or null
  int32_t nargs;    // argument count: k >= 0 exactly k, -(k+1) at least k
  void* funcp;      // the routine (eval/funcall.h), null while unavailable
  void* funcinfo;   // the information word handed to the routine

  static void* operator new(size_t size);  // record kind 2
  static void operator delete(void* p);
  // Closes the declaration: chains it (yychain) and binds the name.
  // Returns the surviving record.
  function* finish_dcl();
};
static_assert(std::is_trivially_destructible_v<function>);

// `function NAME [alias] [(domains)] [flags] [pipe ... [format ...]];`:
// a function record (kind 25) bound to the name, then finished.
function* funcdcl(symbol* name, cstr* alias, funcarg* args, int flags,
                  expr* pipe, expr* format);

// ---- The `random` attribute ----------------------------------------------

// Marks a variable (or a param, which finish_dcl turns into a random
// variable) random: flag 0x10000 once, the random declarations counted.
// After an explicit declaration of suffix stage: "Ignoring \"random\"
// after explicit suffix stage declaration."
void make_random(var* v);
void make_randompar(param* p);
// Unregisters (and so runs) the pending random-attribute clean-up
// (randvar_rhs) before a declaration begins or is chained.  The least
// form: nothing, make_random registers no clean-up record yet.
void randvar_cleanup();
extern int nrandom;         // random declarations made
extern int stage_declared;  // suffix stage was declared explicitly

// ---- Problems ------------------------------------------------------------

// The problem record (kind 20/21, record kind 4).  The front end pushes
// variables and constraints on its entity list: OPARG nodes whose L is an
// OP281 node whose L is the declaration.
// Suffix values given by data are the per-member arrays of xnode2.
struct problem : xnode2 {
  expr* ents;      // entity list, newest first
  set_spec* pix;   // indexing of an indexed problem
  expr* sufinits;  // suffix settings
  list* environ;   // environment settings
  static void* operator new(size_t size);
  static void operator delete(void* p);
};
static_assert(std::is_trivially_destructible_v<problem>);
extern problem* cur_prob;      // the current problem
extern problem* initial_prob;  // the problem made at start-up

// Pushes declaration d on the problem's entity list and records the
// problem among d's referrers.
void prob_add(problem* p, xnode* d);
// `problem NAME [alias] [ix] settings [: items];` (at start-up: the
// current and the initial problem, both named "Initial").  Items is a chain
// of expressions naming entities; the stand-in keeps them as the entity
// list.  Returns the problem.
problem* new_problem(symbol* name, cstr* alias, set_spec* ix, expr* settings,
                     expr* items);

// ---- Suffix declarations -------------------------------------------------

// Suffix flags.
enum : uint32_t { SUF_INTEGER = 1, SUF_BINARY = 2, SUF_SYMBOLIC = 0x100 };

struct suffix : xnode {
  uint32_t sflags;   // SUF_...
  int32_t dir;       // direction 1 IN, 2 OUT, 3 INOUT, 4 LOCAL
  uint32_t depslot;  // base dependency slot (its declaration number)
  uint32_t sufnum;   // suffix number (position among the suffixes)
  list* checks;      // check list (cells {next, check node}), `in` too

  static void* operator new(size_t size);  // record kind 8
  static void operator delete(void* p);
  // Type words.
  void addtype(uint32_t bits);
  // `in S`: a membership check (S of dimension 1, else reported).
  void add_in(set* s);
  // Direction words (1, 2, 3) and LOCAL (4).
  void add_dir(int code);
  // A relation clause `op e` (frontend/condcl.cpp).
  void addcheck(uint32_t opw, expr* e);
  // Completes the check list, chains the suffix and lists its name among
  // the declared suffixes (dot_names).  Returns the surviving record.
  suffix* finish_dcl();
};
static_assert(std::is_trivially_destructible_v<suffix>);

// `suffix NAME [alias]`: a suffix record (kind 24) with its head filled.
suffix* new_suffix(symbol* name, cstr* alias);
// `redeclare suffix NAME`.
void sufredecl_start(symbol* name);
// For show: the declared suffix of that name, else null after
// "### %s is not a declared suffix.\n" on the display stream.
suffix* suff_show(symbol* name);
// The declared suffix (user or system) of that name, else null, silently.
suffix* suff_named(symbol* name);

// ---- Tables --------------------------------------------------------------

// The table declaration record (kind 26, record kind 9).  The stand-in
// keeps the strings and direction and discards the column descriptions.
struct Table : xnode {
  expr* strings;  // strings, newest first
  int32_t tdir;   // direction: 0 none, 1 IN, 2 OUT, 3 INOUT
  int32_t nkeys;  // key columns
  set* keyset;    // the key set
  expr* items;    // column items, newest first

  static void* operator new(size_t size);
  static void operator delete(void* p);
  Table(symbol* name, set_spec* ix);
  void addtdir(int dir);
  void addString(expr* s);
  void addindset(set* s, int arrows);
  void addcol(expr* column, int op, expr* alias);
  int endkeys();
  void addinset(set* s);
  void endcols(int nkeys);
  void additpv(expr* item);
  // Ends the statement (tablerw 0, 1 `_readtable`, 2 `_writetable`).
  Table* finish_dcl(int tablerw);
};
static_assert(std::is_trivially_destructible_v<Table>);

// For show: the table of that name, else null after
// "### %s is not a table.\n" on the display stream.
Table* table_show(symbol* name);

int add_inddir(int count, int dir);
// A data column item: an expression with an optional column name
// (eqchk) and direction (make_pvi).
expr* make_pvi(expr* item, int dir);
expr* eqchk(expr* item, int op, expr* colname);
// An indexing followed by an expression, or by a list of items.
expr* itpv(set_spec* ix, expr* item);
expr* tabitstart(set_spec* ix, int flags);
expr* add_pv_ititem(expr* start, expr* item);
expr* add_coldesc(expr* start, expr* item);
// The arrow between the key set and the key columns ("<-", "->", "<->"):
// a code built from the characters.
int arrowlist(const char* arrow);
// An indexing used as the key set.
set* table_set_spec(set_spec* ix);
// `redeclare table NAME`.
void tabredecl_start(symbol* name);

// Installs the stand-ins' state for a new session (after `reset` too).
void dclstub_init();

}  // namespace vexo

#endif  // VEXO_FRONTEND_DCLSTUB_H
