// Parameter and set declarations.  `param` and `set` statements build
// `param` and `setdcl` records: new_param/new_setdcl fill the head (an
// indexed declaration is bound to its name while its clauses are parsed,
// so that they can refer to it; a scalar one only when finished), the
// clause methods add attributes, and finish_dcl makes the values numeric
// or symbolic as the type requires, turns integrality and `in` into
// checks, recognises recursive definitions, gives a scalar set its value
// set and chains the record.  The same finishing builds the system's own
// params and sets at start-up (hparamvec, sysset_en).
#ifndef VEXO_FRONTEND_PARAMDCL_H
#define VEXO_FRONTEND_PARAMDCL_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "eval/set.h"
#include "frontend/decl.h"

namespace vexo {

struct expr;
struct list;
struct symbol;
struct cstr;
struct set_spec;
struct TVA;
struct e_copy;

// Type bits of a param.
enum : uint32_t {
  PT_INTEGER = 1,
  PT_BINARY = 2,
  PT_SYMBOLIC = 0x100,
  PT_RECURSIVE = 0x400,   // defined through itself
  PT_RECDEFAULT = 0x1000  // ... in its default
};

// A check list: list cells (support/list.h) whose item is a check node
// (op word: the relation, OPINCHECK 107, OP_ISLOGICAL 105 or
// OP_ISINTEGER 106; L: the placeholder of the value under test, filled by
// finish_dcl; R: the comparand or the set).
// The values (data and computed members) are the per-member arrays of
// xnode2.
struct param : xnode2 {
  uint32_t type;  // PT_...
  int32_t ninst;  // generated members, -1 before generation
  expr* asgn;     // `:=`
  expr* dflt;     // `default`
  list* checks;   // clause order once finished
  expr* mdflt;    // the model's `default` while one from data replaces it
                  // (DF_DATADFLT), or null; forgetting the data puts it back

  // Records come zeroed from the declaration pool (record kind 3).
  static void* operator new(size_t size);
  static void operator delete(void* p);

  // Type words.  `symbolic` makes the kind the symbolic one (+10); after a
  // reference to the param in its own clauses it is refused with
  // "\"symbolic\" must precede %s".
  void addtype(uint32_t bits);
  // `:= e`.
  void addasgn(expr* e);
  // A relation `op e` (also after `check`); `= e` is an assignment unless
  // option old_param_eq is 1.
  void addcheck(uint32_t opw, expr* e);
  // `in S` or `within S`.
  void add_in(set* s);
  // `default e`.
  void adddflt(expr* e);
  // Ends the statement (haderr: it had a syntax error).  Returns the
  // surviving record, this record unchained when yychain refused it, or
  // null for a `random` param, which has become a variable.
  param* finish_dcl(int haderr);
};
static_assert(std::is_trivially_destructible_v<param> &&
                  std::is_trivially_copyable_v<param>,
              "param records are plain pool records");

// Set flags.
enum : uint32_t {
  SF_FORCEGEN = 1,
  SF_SUBSCRIPTED = 2,  // referred to with a subscript in its own clauses
  SF_RECCACHE = 4,     // recursively defined: member cache in use
  SF_ORDERED = 8,
  SF_CIRCULAR = 24,  // 8 | 16
  SF_REVERSED = 32,
  SF_RECDEFAULT = 0x100,
  SF_SYSTEM = 0x80000000u
};

// An indexed set keeps the member set of each subscript with data in the
// per-member arrays of xnode2 (vals: one set* per member).
struct setdcl : xnode2 {
  uint32_t sflags;  // SF_...
  int32_t dimen;    // 0 until known
  set* asgn;        // `:=`
  set* dflt;        // `default`
  list* within;     // cells holding the `within` sets
  list* within_text;  // their texts as the model wrote them (messages),
                      // cell by cell in the same order
  list* orderby;    // cell holding the `ordered by` set, or null
  const char* orderby_text;  // that set as the model wrote it (messages)
  set* value;       // value set of a scalar set
  set* cache;       // recursively defined indexed set: the subscripts whose
                    // member sets are being computed (eval/pcheck.h)
  e_copy* copies;   // ... and the free private copies of its definition
  // Member sets of an indexed set by subscript (evaluator, eval/setops.h):
  // msubs lists the subscripts that have one, msets holds them by msubs
  // ordinal (a block of size class mk).
  set* msubs;
  set** msets;
  int32_t mk;
  void* circ[2];  // empty circular list head (both links to itself)

  // Records come zeroed from the declaration pool (record kind 5).
  static void* operator new(size_t size);
  static void operator delete(void* p);

  // `dimen d`.
  void add_dimen(double d);
  // `within S` and `in S`.
  void add_within(set* s);
  // `:= S` (opw: the op word of ==) or a misplaced comparison `op S`.
  void add_init(uint32_t opw, set* s);
  // `default S`.
  void add_default(set* s);
  // `ordered` (8) or `circular` (24).
  void add_order(uint32_t bits);
  // `ordered by [reversed] S` (8 or 24, | 32 for reversed).
  void add_orderby(uint32_t bits, set* s);
  // Ends the statement (haderr: it had a syntax error).  Returns the
  // surviving record, or this record unchained when yychain refused it.
  setdcl* finish_dcl(int haderr);
};
static_assert(std::is_trivially_destructible_v<setdcl> &&
                  std::is_trivially_copyable_v<setdcl>,
              "set declaration records are plain pool records");

// Heads of the statements: a record with its head filled (kind 4/5 or
// 6/7 by whether ix has an index; bound to the name only when indexed).
// new_param sets rec_xnode to the name's binding and recursive to 0;
// new_setdcl makes the record current_setdcl.
param* new_param(symbol* name, cstr* alias, set_spec* ix);
setdcl* new_setdcl(symbol* name, cstr* alias, set_spec* ix);

// The set declaration being parsed (end_all_contexts finishes it when the
// statement is abandoned).
extern setdcl* current_setdcl;

// Globals that the session's options set (read here).
extern int lazy;            // `:=` values go to the default slot
extern int old_param_eq;    // option old_param_eq: `param p = e` is a check
extern int randparam_warn;  // option randparam_warn

// Completes a check list (steps for numeric params): an integer or binary
// test in front for those type bits, a placeholder in each check node and
// numeric comparands.  Used by suffix declarations.
void finish_check(list** head, uint32_t type);

// System declarations of start-up: a symbolic param indexed over the
// table handlers (_handler_desc, _handler_lib), and a system set whose
// members a routine generates (_AVAILFUNCS, _AVAILFUNC2, _SFUNCS).
param* hparamvec(symbol* name);
setdcl* sysset_en(symbol* name, int arity, set_genall_fn routine, xnode* dep);
// Membership test of the sets of sysset_en.  Without a generation routine
// it is a bug (ends the session).
int sysset_en_IN(set* s, symbol** tuple, TVA* tva);

// The set object of a system set's declaration (null for a declaration
// that is no set, and for null).
set* sysset_of(xnode* sysdcl);
// When a set declaration is being parsed (current_setdcl), finishes it
// (finish_dcl(0)), which closes its own contexts and clears
// current_setdcl; end_all_contexts calls it for an abandoned statement.
void finish_current_setdcl();
// Start-up: no set declaration is being parsed.
void paramdcl_reset();

}  // namespace vexo

#endif  // VEXO_FRONTEND_PARAMDCL_H
