// References to parameters.  A reference evaluates to the value stored for
// the member (data, `let`, a value computed before, or the value instance
// generation stored for a param defined by `:=`: commands bring those up to
// date first, instance/xcg.h); a member without one is computed from the
// param's value expression (its `default`, or its `:=` under option lazy,
// or a self-referring definition), checked, and stored like data, so that
// the next reference finds it through the look-up.  The
// values live in the per-member arrays of the declaration (xnode2,
// frontend/decl.h, stored through data/values.h): the data index set holds
// the subscripts with a value, a member's ordinal there indexes the value
// array (a double, or a symval for a symbolic param) and the status bytes
// (MS_COMPUTED marks a computed value).
//
// Errors write the location (mgwhere) and "invalid subscript", "no value
// for" or "wrong number of subscripts for" with the name and subscript,
// then abandon the command (bailout).  Failed checks are reported and
// counted (eval/pcheck.h) and evaluation goes on.
#ifndef VEXO_EVAL_PARAMREF_H
#define VEXO_EVAL_PARAMREF_H

#include "eval/dispatch.h"

namespace vexo {

struct param;
struct symval;
struct xnode;

// ---- The evaluation routines: L the param; R, in the subscripted forms,
// the subscript's look-up (OPLOOKUP, eval/settest.h: its ordinal among the
// members with a value, or -1) -----------------------------------------------

// OPPAR 151, OPPARSUB 152.  -> number.
eval_result f_OPPAR(expr* e, TVA* tva);
eval_result f_OPPARSUB(expr* e, TVA* tva);
// OPSPAR 153, OPSPARSUB 155.  -> symbol: the address of the member's symval,
// whose first word is its symbol (interned from the string when the value
// is held as a string).  Valid until the param gains members.
eval_result f_OPSPAR(expr* e, TVA* tva);
eval_result f_OPSPARSUB(expr* e, TVA* tva);
// OPSPARSTR 154, OPSPARSUBSTR 156.  -> string: the member's string (made
// from its symbol and kept when it is held as a symbol), one reference
// more.
eval_result f_OPSPARSTR(expr* e, TVA* tva);
eval_result f_OPSPARSUBSTR(expr* e, TVA* tva);
// OPERRSUB 157: a reference with the wrong number of subscripts.  Errors:
// always; "wrong number of subscripts for %s".
eval_result f_OPERRSUB(expr* e, TVA* tva);

// OPSPAR's and OPSPARSUB's value as the symval itself, without filling in
// the symbol: the scalar's (computed when it has none yet), the member's
// (likewise).  Valid until the param gains members.
symval* f_OPSPARsv(expr* e, TVA* tva);
symval* f_OPSPARSUBsv(expr* e, TVA* tva);

// ---- The member values, for display and the other readers ------------------

// The value of member tuple of numeric param p (a scalar p: null tuple),
// computed when it has none yet.  Errors as for a reference.
double par_value(param* p, symbol* const* tuple, TVA* tva);
// The same for a symbolic p: its symval, valid until p gains members.
symval* spar_value(param* p, symbol* const* tuple, TVA* tva);

// Computes member tuple of indexed numeric p from its value expression (p
// has none for it yet): the value is stored, checked and returned.
double parsubdflt(param* p, symbol* const* tuple, TVA* tva);
// The same for a symbolic p.
symval* sparsubdflt(param* p, symbol* const* tuple, TVA* tva);
// The value of scalar symbolic p, computed from its value expression when
// it has none.
symval* spardflt(param* p, TVA* tva);
// The symbolic value that def computes in context c: a string (def yields
// one; the cell owns its reference) or a symbol.
symval symbolic_value(expr* def, TVA* c);

}  // namespace vexo

#endif  // VEXO_EVAL_PARAMREF_H
