// Table declarations: the table record and the builders of its clauses.
// The least form until tables are built: a table keeps its strings, its
// direction and its key set, and discards the column descriptions.
#ifndef VEXO_DATA_TABLE_H
#define VEXO_DATA_TABLE_H

#include <cstdint>
#include <type_traits>

#include "frontend/decl.h"

namespace vexo {

struct expr;
struct set;
struct set_spec;
struct symbol;

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

}  // namespace vexo

#endif  // VEXO_DATA_TABLE_H
