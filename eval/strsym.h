// Evaluation routines that build, convert and measure strings and symbols,
// and that report on declarations by name.  Each follows eval/dispatch.h;
// L and R are the node's operands.  Strings received from operands are
// released on every path, also when the answer is 0 or -1; a routine that
// returns a string hands one reference to its caller.  Characters are
// 16-bit runes, strings UTF-8 (support/utf8.h).  None of them raises an
// error of its own.
#ifndef VEXO_EVAL_STRSYM_H
#define VEXO_EVAL_STRSYM_H

#include "eval/dispatch.h"

namespace vexo {

// ---- Strings -----------------------------------------------------------

// OPCONCAT 131.  L: the operand list (string-valued, chained by next).
// -> string: the operands' texts one after another, in list order.
eval_result f_OPCONCAT(expr* e, TVA* tva);
// OPCHAR 130.  L: a number.  -> string: the one character whose code is
// L truncated toward zero to an unsigned 32-bit integer (negative and NaN
// give 0, 2^32 and above the largest), cut to its low 16 bits.
eval_result f_OPCHAR(expr* e, TVA* tva);
// OPICHAR 133.  L: a string.  -> number: the code of its first character;
// 0 for the empty string.
eval_result f_OPICHAR(expr* e, TVA* tva);
// OPLENGTH 134.  L: a string.  -> number: its characters (not bytes).
eval_result f_OPLENGTH(expr* e, TVA* tva);
// OPNUMBER0 136.  L: a string.  -> number: what its longest numeric
// prefix reads as (leading blanks skipped), 0 when there is none.
eval_result f_OPNUMBER0(expr* e, TVA* tva);

// ---- Conversions -------------------------------------------------------

// OPNUM2STR 215.  L: a number.  -> string: its shortest text.
eval_result f_OPNUM2STR(expr* e, TVA* tva);
// OPSTR2SYM 212.  L: a string.  -> symbol: the interned text, kept in the
// node's own R cell (valid until the node is evaluated again).
eval_result f_OPSTR2SYM(expr* e, TVA* tva);
// OPSYM2STR 214.  L: a symbol.  -> string: a new string holding its name
// (a number's name is its text).
eval_result f_OPSYM2STR(expr* e, TVA* tva);
// OPNUM2SYM 172.  L: a number.  -> symbol: the cell pNumber gives.
eval_result f_OPNUM2SYM(expr* e, TVA* tva);
// OPSYMLIST 173.  L: the member expressions (symbol-valued).  -> tuple:
// member k's symbol in cell k of the node's own cells, valid until the
// node is evaluated again.  The cells are a block of class htcl(8 * n), n
// the members, kept in R: made on the first evaluation, freed when the
// node is deleted or compiled again (symlist_cells_free).  A recursive
// definition evaluates a copy of its nodes, with cells of its own.
eval_result f_OPSYMLIST(expr* e, TVA* tva);
// Frees the cells of a tuple node and clears R; nothing when it has none.
void symlist_cells_free(expr* e);

// ---- Declarations by name: L a string naming one -----------------------

// OPARITY 132.  -> number: the arity of the members of the set declared
// under that name; 0 when the name is not a set's.
eval_result f_OPARITY(expr* e, TVA* tva);
// OPINDARITY 138.  -> number: the subscripts the entity declared under the
// name takes (0 for a scalar one); -1 when the name is no model entity.
eval_result f_OPINDARITY(expr* e, TVA* tva);
// OPTINDARITY 140, OPEINDARITY 139: the same for the tables and for the
// environments declared; -1 when the name is not one of them.
eval_result f_OPTINDARITY(expr* e, TVA* tva);
eval_result f_OPEINDARITY(expr* e, TVA* tva);

// ---- Placeholders ------------------------------------------------------

// OPPROB 210, OPPROBSUB 211: "f_OPPROB not yet implemented" (or
// "f_OPPROBSUB") as a warning that does not end the command; -> the zero
// word.
eval_result f_OPPROB(expr* e, TVA* tva);
eval_result f_OPPROBSUB(expr* e, TVA* tva);

}  // namespace vexo

#endif  // VEXO_EVAL_STRSYM_H
