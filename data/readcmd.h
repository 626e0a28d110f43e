// The read command: `read [indexing:] items [< file];` reads values in
// order, from the file or from the input that follows the command, through
// the data tokenizer (data/datatok.h), and assigns each to its item as let
// does (session/let.h let_read).  An item is a param reference, numeric or
// symbolic, subscripted when the param is indexed, or an indexing followed
// by a parenthesised list of such references.
#ifndef VEXO_DATA_READCMD_H
#define VEXO_DATA_READCMD_H

#include "data/values.h"

namespace vexo {

struct expr;
struct redirect;
struct set_spec;
struct xrecomp;

// Checks the items of a read command as the grammar built them (OPARG
// entries: L the indexing or null, R the reference or the nested entries):
// an indexed param without subscripts is the warning "%s must be
// subscripted in read commands", a reference to anything else than a
// param (an objective, an expression) "invalid read item(s)"; groups may
// not nest.  False after such a warning: the command is not made.
bool readadj(set_spec* ix, expr* items);
// The grammar action: checks the items and makes the command (kind 43).
void readcmd(set_spec* ix, expr* items, redirect* r);
// The command: with r the values come from its file (opened, or resumed
// where the last read of it stopped), else from the current input.  The
// items are read in order, an indexed item member by member.  Errors
// abandon the command; values assigned before stay.
void read_cmd(set_spec* ix, expr* items, redirect* r, xrecomp* xr);

// One value of the read input: num for a numeric target, sym (a number
// symbol, or a counted string handed over) for a symbolic one.
struct read_value {
  double num;
  symval sym;
};
// The next value for a numeric target (sym false) or a symbolic one, one
// comma before it skipped.  Anything else: "\"read\" command error:
// expected a %s" ("number", or "number, symbol or string"), and the
// command is abandoned.
read_value read_next(bool sym);

}  // namespace vexo

#endif  // VEXO_DATA_READCMD_H
