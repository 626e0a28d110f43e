// Dot suffixes of model entities (x.lb, c.dual, o.val, p.result, _var[3].ub,
// c.Lslack, x.mysuffix) and the dependency bookkeeping of the current
// command.  A suffix is looked up in the built-in table of the entity's
// kind, else among the declared suffixes, and the reference becomes a
// suffix node that the evaluator reads by its suffix code.  While resolving,
// the builders note in the accumulator dac which declarations (and which of
// their generated or solved values) the command depends on, and in
// req_collect, need_prob and would_need_prob whether the problem must be
// collected or generated before the command runs.
//
// Every builder reports misuse with error kind 0 and returns a well-formed
// substitute (OPNUM 0, or an empty display item); the two internal errors
// ("synthingdot: bad b->oper = %d", "case OPXNODE in expr0dot") end the
// session.
#ifndef VEXO_FRONTEND_SUFFIX_H
#define VEXO_FRONTEND_SUFFIX_H

#include <cstdint>

namespace vexo {

struct expr;
struct xnode;
struct symbol;
struct cstr;

// Built-in suffix codes are 0..N_DOTCODES-1; declared suffix n has code
// SUF_NUMBASE + n for its numeric value and SUF_SYMBASE + n for its symbolic
// value.
constexpr int N_DOTCODES = 115;
constexpr int SUF_NUMBASE = 230;
constexpr int SUF_SYMBASE = 460;

// Code groups: a complementarity constraint's left (right) side takes the
// constraint code plus SUF_LSHIFT (SUF_RSHIFT).
constexpr int SUF_LSHIFT = 23;
constexpr int SUF_RSHIFT = 46;
constexpr int SUF_CCSLACK = 93;  // .slack of a complementarity constraint
constexpr int SUF_OBJVAL = 100;  // .val of an objective

// dotgl flag bits of a suffix code.
enum : uint8_t {
  DG_VARUSE = 1,  // the variables the declaration refers to need values
  DG_SOLN = 2,    // counts against Solution_Count
  DG_SOLVED = 4,  // the value comes from a solve
  DG_IG = 8,      // counts against Ig_Count
  DG_ADJ = 16,    // the declaration's count moves to its value slot
  DG_SYM = 32,    // symbolic: the suffix node yields a string
  DG_DEFVAR = 64  // needs generated values on a defined variable
};
extern const uint8_t dotgl[N_DOTCODES];

// An entry of a suffix table: the name with its leading ".", the suffix
// code, and the bits ORed into req_collect when the entry is used.  A
// table ends with a null name.
struct sfxent {
  const char* name;
  uint32_t code;
  uint32_t req;
};
// A suffix table: kind - 1 is the kind of declared suffix that badsuffix
// leaves out of its list; lo holds the names that begin with a letter
// before "r", hi the others; end is null.
struct sfxtab {
  int64_t kind;
  const sfxent* lo;
  const sfxent* hi;
  const void* end;
};
// Tables by entity: variables, constraints, complementarity constraints,
// logical constraints, objectives, problems, and the entities of synonym
// arrays of kinds 5 and 11.
extern const sfxtab vstuff, cstuff, ccstuff, lstuff, ostuff, pstuff, rstuff;

// Looks name (without a dot) up in t: the half by its first character, then
// by strcmp in table order.  Null when absent.  Touches nothing else.
const sfxent* sfxlook(const sfxtab* t, const char* name);

// What the current command needs before it runs (bit 2: the problem is
// collected first) goes into the session's req_collect (session/loop.h).

// Start-up declarations whose base slots count uses that need solution
// counts (DG_SOLN) and initial-guess counts (DG_IG); set by whoever makes
// them, null until then (nothing is counted).
extern xnode* Solution_Count;
extern xnode* Ig_Count;

// Declared suffixes are looked up with getsuf (instance/sufdecl.h).


// The builders.  name is a counted string whose reference the call
// consumes.
// The suffix name applied to the reference e (which the call takes over).
expr* thingdot(expr* e, cstr* name);
// Display form of a suffix on a whole declaration d: OPXNODE {d, code}; a
// bad suffix gives an empty display item (opcode 251).
expr* dthingdot(xnode* d, cstr* name);
// Display form of a suffix on a whole synonym array: opcode 256 {sym, code}.
expr* dsyndot(symbol* sym, cstr* name);
// A display form followed by subscripts (a chain): the subscripted
// reference resolved through thingdot.  Without subscripts it reports that
// the form is only for display and gives OPNUM 0.
expr* expr0dot(expr* e, expr* subs);
// The same inside a display list: the result is a display item (opcode 251,
// R the reference).
expr* dexpr0dot(expr* e, expr* subs);
// A suffix on a whole indexed entity d in an expression (x.lb for an
// indexed x): after the suffix is looked up, the report of expr0dot
// without subscripts, and OPNUM 0.  The misused reference is not one to a
// solved value: the statement is not also told to be redeclared.
expr* wholedot(xnode* d, cstr* name);
// Whole-entity suffixes in the items of display and of a table's data
// columns, where the same words may be an expression or the display form.
// whole_sfx_allow: whether the statement's items may hold the display
// form (set on at the items, off at each statement's start).
// whole_sfx: the suffix name on the whole entity d (or synonym array sym)
// read as an expression: where not allowed, wholedot's report and OPNUM 0;
// else the display form, pending until an item claims it.
// whole_sfx_item: at the end of an item *e (null: at the end of the
// items), claims the pending display form when it is the whole item and
// kinds admits it (1 any display form, 2 variables and constraints only,
// 0 none); otherwise reports a pending one as misused (one that is *e
// becomes OPNUM 0).  True when claimed.
void whole_sfx_allow(bool on);
expr* whole_sfx(xnode* d, symbol* sym, cstr* name);
bool whole_sfx_item(expr** e, int kinds);

// Reports "Bad suffix .name for thing" with the valid suffix names of table
// (four to a line, sorted with the declared ones), or, without a table,
// that thing cannot have a suffix.  Sets pr_badnames.
void badsuffix(const char* name, const char* thing, const sfxtab* table);
// Lookup for complementarity constraints: "L"/"R" + a constraint suffix
// (code + SUF_LSHIFT / SUF_RSHIFT), else the complementarity table.  Found:
// ORs the entry's bits into req_collect, stores the code in *code and
// returns the entry.  *table receives the table used (for badsuffix).
const sfxent* ccsfxlook(const sfxtab** table, const char* name, uint32_t* code);

// The dependency accumulator (dac, frontend/decl.h): every declaration has
// a base slot (its number); the slot after it counts uses that need its
// generated or solved values.
// Applies a suffix's dotgl flags for declaration d (entry: the suffix's
// table entry, for its code; may be null).
void dac_adj1(xnode* d, int flags, const sfxent* entry);
// Moves one count of d from its base slot to the next.
void dac_adj(xnode* d);
// Removes one count from d's base slot.
void unref(xnode* d);
// A defined variable d: dac_adj, and bit 2 of req_collect while trans_state
// is 2 or less.  Other declarations: nothing.
void dv_check(xnode* d);
// dac_adj(d), then bit 2 of req_collect when d refers to a defined
// variable.
void dvo_check(xnode* d);
// Adds (removes) one count to (from) slot s of dac.
void dac_add(uint32_t s);
void dac_sub(uint32_t s);

// Compares two string pointers (const char* const*) by strcmp; for Qsort.
int chcomp(const void* a, const void* b);

}  // namespace vexo

#endif  // VEXO_FRONTEND_SUFFIX_H
