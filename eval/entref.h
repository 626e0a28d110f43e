// References to generated entities: the numbers of variable and
// constraint members in the problem's numbering, the values of symbolic
// variables, the duals of constraints and the values of declared
// suffixes.  Each follows eval/dispatch.h; a subscripted form's R is the
// subscript's look-up (the member's ordinal, or -1).
//
// These read the instance: an entity not generated yet is reported as
// "ungenerated variable", "ungenerated constraint" or "ungenerated
// objective" with its name (before any subscript is looked at), and a
// subscript without a member as an invalid subscript (badsub1,
// eval/evalerr.h); both end the command.
#ifndef VEXO_EVAL_ENTREF_H
#define VEXO_EVAL_ENTREF_H

#include <cstdint>

#include "eval/dispatch.h"

namespace vexo {

struct symbol;
struct symval;
struct var;

// The value of symbolic variable v's member k (its data index): the cell
// data, generation or let gave it, else the first member of its domain.
// The cell is also a one-member tuple.
symbol** symvar_value(var* v, int32_t k, TVA* tva);
// The symbol of a symbolic value, a string interned (its reference is
// released): what a symbolic variable's cell holds.
symbol* value_symbol(symval v);
// The position of value in v's declared domain; a value outside it is
// reported as "Cannot assign 'q' to v[...]" (tuple: the member's
// subscript, null for a scalar) and ends the command.
int64_t svar_offset(var* v, symbol* const* tuple, symbol* value, TVA* tva);

// OPVAR 164, 167 (L the variable), OPCON 207 (L the constraint) -> the
// 32-bit number of the first member.  OPVARSUB 165, 168 and OPCONSUB 208
// -> first number + the member's ordinal.
eval_result f_OPVAR(expr* e, TVA* tva);
eval_result f_OPVARSUB(expr* e, TVA* tva);
eval_result f_OPCON(expr* e, TVA* tva);
eval_result f_OPCONSUB(expr* e, TVA* tva);
// OPRECVAR 166, 169: a defined variable's member, which must have been
// defined already (number below recvar_lim).  Errors: "bad subscript (use
// before def?) for defined var" with the name and subscript.
eval_result f_OPRECVAR(expr* e, TVA* tva);

// OPSYMVVAL 230, OPSYMVVALSUB 231.  L: a symbolic variable.  -> symbol:
// its member's value (the value data gave it, else the first member of its
// domain).
eval_result f_OPSYMVVAL(expr* e, TVA* tva);
eval_result f_OPSYMVVALSUB(expr* e, TVA* tva);

// OPPRIMAL 186, OPPRIMALSUB 187.  L: a variable.  -> number: its member's
// value.
eval_result f_OPPRIMAL(expr* e, TVA* tva);
eval_result f_OPPRIMALSUB(expr* e, TVA* tva);

// OPDUAL 192, OPDUALSUB 193.  L: a constraint.  -> number: its member's
// dual value (eval/solval.h con_dual).
eval_result f_OPDUAL(expr* e, TVA* tva);
eval_result f_OPDUALSUB(expr* e, TVA* tva);
// OPLCON 194, OPLCONSUB 195 (a logical constraint: 1 or 0), OPOBJVAL 196,
// OPOBJVALSUB 197 (an objective).  L: the declaration.  -> number: the
// member's body value (co_val).  The entity must be generated
// ("ungenerated objective o").
eval_result f_OPLCON(expr* e, TVA* tva);
eval_result f_OPLCONSUB(expr* e, TVA* tva);
eval_result f_OPOBJVAL(expr* e, TVA* tva);
eval_result f_OPOBJVALSUB(expr* e, TVA* tva);
// The built-in suffixes OPDOT 198, OPDOTSUB 199 -> number and OPDOTSYM
// 200, OPDOTSUBSYM 201 -> string (L: the entity's OPXNODE node, its R the
// code; R: the subscript's look-up): dotvalue and sdotvalue
// (eval/dotvalue.h) of the member.  The entity must be generated
// ("ungenerated variable x"); problems need not be.
eval_result f_OPDOT(expr* e, TVA* tva);
eval_result f_OPDOTSUB(expr* e, TVA* tva);
eval_result f_OPDOTSYM(expr* e, TVA* tva);
eval_result f_OPDOTSUBSYM(expr* e, TVA* tva);

// OPSUF 202, OPSUFSUB 203.  L: the entity's reference node (its L the
// entity, its R the declared suffix), R: the subscript's look-up (203).
// -> number: the member's value of the suffix; 0 when it has none.
eval_result f_OPSUF(expr* e, TVA* tva);
eval_result f_OPSUFSUB(expr* e, TVA* tva);
// OPSUFSYM 204, OPSUFSUBSYM 205: the same as the name the suffix's table
// gives the value.  -> symbol, in a cell valid until the next evaluation of
// either form.
eval_result f_OPSUFSYM(expr* e, TVA* tva);
eval_result f_OPSUFSUBSYM(expr* e, TVA* tva);

}  // namespace vexo

#endif  // VEXO_EVAL_ENTREF_H
