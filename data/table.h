// Table declarations: the table record, its column items and the builders
// that the grammar calls in the order of the declaration's text.
// Table::finish_dcl checks the declaration and enters its name among the
// tables; read table and write table (data/tablerw.h) then use the record.
// Builders report through error (non-fatal) and drop what they refuse.
#ifndef VEXO_DATA_TABLE_H
#define VEXO_DATA_TABLE_H

#include <cstdint>
#include <type_traits>

#include "frontend/decl.h"

namespace vexo {

struct expr;
struct set;
struct set_spec;
struct suffix;
struct symbol;
struct Table_Handler;

// Most key columns a table may have (the key-dummy array).
constexpr int MAX_TABLE_KEYS = 20;

// One data column, or a column group {...}(...): records recycled through
// the module's free list.
struct pvinfo {
  pvinfo* next;
  set_spec* gix;     // a group's indexing, else null
  expr* e;           // the column's expression (null for a group)
  expr* name;        // external name given after "~", or null; for a
                     // column without one, the expression's text
  pvinfo* members;   // a group's member items, in order
  xnode* ent;        // the entity the expression refers to, or null
  int32_t dir;       // 1 IN, 2 OUT, 0 the table's direction
  int32_t flags;     // PV_... below
};
static_assert(std::is_trivially_destructible_v<pvinfo>);

enum : int32_t {
  PV_NAMED = 4,   // the external name was given
  PV_GROUP = 8,   // a column group
  PV_LIST = 1,    // ... with an explicit member list
  PV_KEYED = 16   // the expression uses the key dummies
};

// The table declaration record (kind 26).
struct Table : xnode {
  expr* strings;      // handler strings, newest first
  set* setname;       // the set before the key list, or null
  set* inset;         // the "in set" row filter, or null
  expr* keynames;     // external names of the key columns, in order
  expr* keydums;      // while the keys are read: their dummy name nodes
  set_spec* keyss;    // the key columns' indexing (scope of the columns)
  pvinfo* cols;       // data columns and groups, in order
  Table_Handler* lastreader;  // whose DbRead last succeeded here
  int32_t tdir;       // direction: 0 none, 1 IN, 2 OUT, 3 INOUT
  int32_t nstrings;   // handler strings
  int32_t arity;      // key columns
  int32_t arrow;      // setname arrow: 1 "<-", 2 "->", 3 "<->", 4 "="
  int32_t ncols[2];   // columns read and written (groups counted at a
                      // transfer: -1)
  int32_t badout;     // OUT columns need "set ->" (writing refused)
  int32_t unnamed;    // 1 or 2: the table of a _readtable/_writetable

  static void* operator new(size_t size);
  static void operator delete(void* p);
  Table(symbol* name, set_spec* ix);
  void addtdir(int dir);
  void addString(expr* s);
  void addindset(set* s, int arrow);
  void addcol(expr* colname, int op, expr* dummy);
  int endkeys();
  void addinset(set* s);
  void endcols(int dir);
  void additpv(pvinfo* item);
  // Ends the statement (tablerw 0 a declaration, 1 `_readtable`, 2
  // `_writetable`: a read or write command is queued for the table).
  // Returns the record entered, or null when the declaration was refused.
  Table* finish_dcl(int tablerw);
};
static_assert(std::is_trivially_destructible_v<Table>);

// Frees what the table holds (how 2: also the dependency array); with how
// nonzero the record too.
void del_table(Table* t, int how);
// Removes the name from the table names and returns its record, or null
// when the name is no table.
Table* table_del(symbol* name);
// For show: the table of that name, else null after
// "### %s is not a table.\n" on the display stream.
Table* table_show(symbol* name);
// For a column that refers to an entity with subscripts that are all key
// dummies (each once): perm[k] gets the key column of subscript k, and 1
// is returned; else 0.
int key_perm(const Table* t, const expr* e, int* perm);
// The declared suffix a whole variable, constraint or objective column
// names (x.s), else null; *names (when given) tells whether the column
// takes the names of a symbolic suffix's table.
suffix* pv_suffix(const pvinfo* p, bool* names);
// Whether a column item applies to direction bit b (1 read, 2 write).
bool pv_in_dir(const Table* t, const pvinfo* p, int b);

int add_inddir(int count, int dir);
// A data column: an expression with its direction (make_pvi); eqchk
// checks the operator before an external name.
pvinfo* make_pvi(expr* item, expr* colname, int dir);
expr* eqchk(expr* item, int op, expr* colname);
// An indexing followed by an expression (itpv), or by a list of items
// (tabitstart, then add_pv_ititem or add_coldesc per item).
pvinfo* itpv(set_spec* ix, expr* item);
pvinfo* tabitstart(set_spec* ix, int flags);
pvinfo* add_pv_ititem(pvinfo* group, pvinfo* item);
pvinfo* add_coldesc(pvinfo* group, pvinfo* item);
// The arrow between the key set and the key columns ("<-", "->", "<->"):
// 1, 2 or 3; any other text is reported and gives 0.
int arrowlist(const char* arrow);
// An indexing used as the key set.
set* table_set_spec(set_spec* ix);
// `redeclare table NAME`.
void tabredecl_start(symbol* name);
// Start-up and reset: the free list of column items emptied.
void table_reset();

}  // namespace vexo

#endif  // VEXO_DATA_TABLE_H
