// What the data reader's statement modules share: templates, the helpers
// of set and param statements that the column statement uses too.
#ifndef VEXO_DATA_INTERNAL_H
#define VEXO_DATA_INTERNAL_H

#include <cstdint>

#include "eval/set.h"

namespace vexo {

struct dcol;
struct setdcl;
struct symbol;
struct xnode;

// A template: per component a fixed symbol, a free slot ("*", filled from
// the items that follow) or a column slot (":", filled from a table's
// column labels).
enum : int8_t { SLOT_FIXED, SLOT_FREE, SLOT_COLON };
struct tmpl {
  int n;
  int nfree;
  int ncolon;
  int8_t kind[TUPMAX];
  symbol* fixed[TUPMAX];
};
// n free slots.
void tmpl_all_free(tmpl* p, int n);
// The tuple of tp with its free slots taken from frees and its column
// slots from cols, in order.
void fill(const tmpl& tp, symbol* const* frees, symbol* const* cols,
          symbol** out);

// A word or number token; a bare word of the text w.
bool is_item(int t);
bool is_word(int t, const char* w);
// The symbol of the current word or number token.
symbol* item_sym(int t);

// The rest of a param statement for the collector c (the declaration and
// its target), from the token t after the name, up to and including ";";
// the data go to the declaration (end_param).  The column statement hands
// a single column over here.
void param_body(dcol* c, int t);
// Checks that data may be given for d with the target kind (0 plain data,
// as for sufchk otherwise); when not, reports why, skips the rest of the
// statement from token t and returns 1.
int defined(int t, xnode* d, int kind);
// Makes a number (word null) or a symbol the default of the param d, after
// "default overrides that in model" when the model gave one; a word for a
// numeric param is refused with a message.
void new_deflt(xnode* d, double v, const char* word);
// Stores the value token t for the tuple in the collector: the default
// symbol stores nothing; a number, or for symbolic targets a word or
// string, is added with addval.  Returns 0 when the token cannot be a value
// (nothing reported).
int put_value(dcol* c, int t, symbol* const* tuple);
// "%d item(s) missing in last line of table, which starts with \"%s\"".
void missing_msg(int n, const char* first);
// "duplicate member %s for set %s" or "duplicate member (%s) for set %s";
// who is the set's name as messages show it.
void duplicate(symbol* const* tuple, int n, const char* who);

}  // namespace vexo

#endif  // VEXO_DATA_INTERNAL_H
