// Constraint, objective and check declarations.  A constraint's body
// arrives shaped by the constraint-body builders (frontend/conbody.h); the
// constructor records it, turns a logical constraint into an ordinary one
// where option convert_logical_to_algebraic allows, notes
// complementarity and takes the dual value clause; constr::finish_dcl
// chains the record and adds it to the current problem.  check::finish_dcl
// chains a check and numbers it 1, 2, 3 ...
#ifndef VEXO_FRONTEND_CONDCL_H
#define VEXO_FRONTEND_CONDCL_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "frontend/vardcl.h"

namespace vexo {

struct expr;
struct symbol;
struct cstr;
struct set_spec;

// Head flags of constraints beyond the body's kind code (1..11).
enum : uint64_t {
  CF_COMPL = 8,         // complementarity
  CF_TOCOME = 16,       // columns come from later variables
  CF_COLTERMS = 128,    // variables added column terms
  CF_NODE = 0x4000,     // network balance constraint
  CF_VAREQ = 0x400000,  // equality whose left side is a lone variable
  CF_MINIMIZE = 5,      // objective flags as the grammar passes them
  CF_MAXIMIZE = 6
};

struct constr : convar {
  int32_t compl_;  // 1 for a complementarity constraint
  expr* idual;     // initial dual value (`:=`)
  expr* ddual;     // default dual value (`default`)
  expr* body;      // the body (its root holds the kind code)
  expr* logbody;   // the logical body (filed in _LOGCONS)

  // A constraint (kind 8, 9 when indexed): flags 0, 16 (to_come/range) or
  // 0x4010 (node); body from the body builders; dual: the `:=`/`default`
  // clause (di_type says which), or null.
  constr(uint64_t flags, symbol* name, cstr* alias, set_spec* ix, expr* body,
         expr* dual);
  // An objective (kind 10/11): flags 5 (minimize) or 6 (maximize), | 16
  // for a to-come body; the body is made numeric.
  constr(symbol* name, cstr* alias, set_spec* ix, uint64_t flags, expr* body);
  // A bare constraint record (kind 8/9, flags 7, stamps 1.0), as made for
  // a defined variable; runs tc_zap.  Does not bind the name.
  constr(symbol* name, set_spec* ix);
  // Records come zeroed from the declaration pool (record kind 1).
  static void* operator new(size_t size);
  static void operator delete(void* p);

  // Ends the statement; returns the surviving record (the old one after a
  // redeclaration) or this record unchained when yychain refused it.
  constr* finish_dcl();
};
static_assert(std::is_trivially_destructible_v<constr> &&
                  std::is_trivially_copyable_v<constr>,
              "constraint records are plain pool records");

struct check : xnode {
  expr* cond;             // the condition
  const char* stmtfname;  // file of the statement
  int32_t stmtline;       // its line
  int32_t chknum;         // check number, 0 until finished
  const char* text;       // the statement as written (report/prset.h
                          // scheck), rendered when first compiled, for
                          // the report of a failure; null until then

  // `check [ix:] cond`: a condition with variables is reported and
  // replaced by true.  An indexed check closes its dummy scope.
  check(set_spec* ix, expr* cond);
  // Records come zeroed from the declaration pool (record kind 0).
  static void* operator new(size_t size);
  static void operator delete(void* p);

  // Chains and numbers the check (or copies it over the check that
  // `redeclare check n` named).  Returns the surviving record.
  check* finish_dcl();
};
static_assert(std::is_trivially_destructible_v<check> &&
                  std::is_trivially_copyable_v<check>,
              "check records are plain pool records");

// `delete check n`: pushes an OPXNODE node (L the symbol "check", R the
// check) on the list, or reports "Bad check number: ignoring \"delete
// check %s\"" (n as written) and returns the list unchanged.
expr* check_del(expr* list, double n);

// Set by the grammar: the dual value clause was `default` (1) or `:=`
// (0).
extern int di_type;
// Value of option convert_logical_to_algebraic.
extern int convert_logical;
// Nonzero when the constraint c has a logical body (it is filed with the
// logical constraints, _LOGCONS); nonzero when it is a complementarity
// constraint.
int con_logical(xnode* c);
int con_compl(xnode* c);

}  // namespace vexo

#endif  // VEXO_FRONTEND_CONDCL_H
