// Variable declarations.  A `var` (or `arc`) statement builds a `var`
// record: the constructor binds the name, the clause methods add what can
// be checked clause by clause, and var::finish_dcl settles conflicts
// between clauses, chains the record (yychain), turns `var x = expr` with
// variables into a defined variable with its defining constraint, records
// network and column-generation links as dependencies and adds the
// variable to the current problem.  `convar` is the part variables share
// with constraints (frontend/condcl.h).
#ifndef VEXO_FRONTEND_VARDCL_H
#define VEXO_FRONTEND_VARDCL_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "frontend/decl.h"
#include "instance/members.h"
#include "instance/sufstore.h"

namespace vexo {

struct expr;
struct set;
struct set_spec;
struct symbol;
struct cstr;
struct constr;

// Head flag bits of variables (constraints share 16, 128 and 0x4000).
enum : uint64_t {
  VF_INTEGER = 1,
  VF_BINARY = 2,      // `binary` and `logical`
  VF_FIXED = 4,       // fixed by `=`
  VF_TOCOME = 16,     // constraints: columns come from variables
  VF_DEFINED = 32,    // defined by `=` with variables
  VF_COLTERMS = 128,  // constraints: variables add column terms
  VF_SYMBOLIC = 0x100,
  VF_ARC = 0x4000,  // arc; on a constraint: node
  VF_RANDOM = 0x10000,
  VF_FROM1 = 0x1000000,     // an unindexed `from` clause was given
  VF_TO1 = 0x2000000,       // an unindexed `to` clause was given
  VF_FROMWARN = 0x4000000,  // "multiple from clauses" caution given
  VF_TOWARN = 0x8000000     // "multiple to clauses" caution given
};

// Kinds of arc and column-generation terms.
enum : int32_t { VT_TO = 0, VT_FROM = 1, VT_COL = 2 };

// One `from`/`to`/`coeff`/`cover`/`obj` clause of a variable (a 64-byte
// block, class 3).  Pushed in front; decl_rev puts the list in clause order.
struct var_term {
  var_term* next;
  set_spec* ix;  // the clause's indexing, or null
  constr* con;   // the node, constraint or objective
  expr* lookup;  // OPLOOKUP (L con, R OPSYMLIST over the subscripts)
  expr* coef;    // coefficient (numeric)
  int32_t kind;  // VT_...
};

// The part shared by variables and constraints.  Data (initial values,
// initial duals, suffix values) are the per-member arrays of xnode2.
struct convar : xnode2 {
  double stamp2;     // second stamp, 1.0 at construction
  expr* sufinit;     // suffix initialisers (OP248 nodes: L suffix, R value)
  void* inst[2];     // instance data: both point into the surviving record
  int32_t ninst;     // generated members, -1 before generation
  int32_t stmtrefs;  // references in the statement being read (the lexer)
  cvgen gen;         // the generated members (instance/members.h)
  sufstore sufs;     // suffix values of the members (instance/sufstore.h)

  // `suffix NAME expr`: pushes an initialiser for a declared suffix (and
  // records the suffix as a dependency); an unknown name reports "%s is
  // not a declared suffix.\n" and sets return-code bit 8.
  void addsufinit(symbol* sufname, expr* value);
};

struct var : convar {
  expr* init;         // `:=`; a random variable's distribution; a defined
                      // variable's negated definition
  expr* dflt;         // `default` (also a random variable's `:=`)
  expr* lb;           // `>=` bound; for `=` the value or the definition
  expr* ub;           // `<=` bound
  var_term* arcs;     // arc and column terms, newest first until decl_rev
  constr* defcon;     // defining constraint of a defined variable
  set* domain;        // the `in` set
  uint32_t nref_fin;  // referrer count when finished
  uint32_t integ;     // 1 integer/binary/symbolic, 32 added when random
  uint32_t subclass;  // position in _VARS, _SYMVARS or _RANDVARS

  // Fills the head of a fresh record: kind 28 (indexed) or 2, the name
  // bound to the record unless it is being redeclared, flags (0, or
  // VF_ARC after `arc`), instance count -1, stamps 1.0; rec_xnode = the
  // record, recursive = 0.  A pending random-variable clean-up runs first.
  var(symbol* name, cstr* alias, set_spec* ix, uint64_t flags);
  // Records come zeroed from the declaration pool (record kind 6); they
  // are never deleted (redeclarations copy over them).
  static void* operator new(size_t size);
  static void operator delete(void* p);

  // Type words: ORs the bits into the flags.
  void addtype(uint32_t bits);
  // `>= e`, `<= e` or `= e` (op word of opcode 28, 23 or 24).  Reports
  // conflicts ("extra >= bound", ...) and drops the clause.
  void addbound(uint32_t opw, expr* e);
  // `:= e` (is_default 0) or `default e`.
  void addiguess(expr* e, int is_default);
  // `in S`.
  void addiset(set* s);
  // `from` (which 1) or `to` (which 0) clause of an arc: node, subscripts
  // (a chain, or null), coefficient or null.  Closes the clause's scope.
  void addarc(int which, set_spec* ix, constr* node, expr* subs, expr* coef);
  // `coeff`, `cover` (coefficient 1.0) and `obj` clauses.  Closes the
  // clause's scope.
  void addcolgen(set_spec* ix, constr* c, expr* subs, expr* coef);
  // Ends the statement (haderr: it had a syntax error).  Returns the
  // surviving record (the old one after a redeclaration) or, when yychain
  // refused it, this record unchained.
  var* finish_dcl(int haderr);
};
static_assert(std::is_trivially_destructible_v<var> &&
                  std::is_trivially_copyable_v<var>,
              "variable records are plain pool records");

// Pushes a suffix initialiser on a list kept by the caller (problem
// declarations); same checks as convar::addsufinit.
void add_sufinit(expr** head, symbol* sufname, expr* value);
// "%s is not a declared suffix.\n".
void sufwarn(symbol* sufname);
// Reverses a variable's term list (decl_rev calls it for each new
// variable).
void var_rev(xnode* v);

}  // namespace vexo

#endif  // VEXO_FRONTEND_VARDCL_H
