// Table handlers and the read table / write table commands.  Handlers are
// registered under names (the built-in "tab" and "bit", more from loaded
// libraries through the exports slot Add_table_handler) and listed in
// _HANDLERS with their descriptions and libraries.  A transfer fills one
// TableInfo (eval/vexofunc.h), offers it to the handlers newest first, and
// after a successful read stores what was read: nothing is stored when a
// read fails.  Every failure inside a transfer becomes one message, the
// value of _table_errmsg.
#ifndef VEXO_DATA_TABLERW_H
#define VEXO_DATA_TABLERW_H

#include <cstdint>
#include <type_traits>

#include "eval/vexofunc.h"

namespace vexo {

struct cmd_fields;
struct expr;
struct set_spec;
struct symbol;
struct Table;

// One registered handler (records from the block allocator), in the
// doubly linked list Table_Handlers, newest first.
struct Table_Handler {
  Table_Handler* next;
  Table_Handler* prev;
  VexoTableHandler* DbRead;   // may be null
  VexoTableHandler* DbWrite;  // may be null
  const char* name;           // text of its interned name
  int32_t flags;              // as registered (kept, not consulted)
  void* vinfo;                // copied into TableInfo::Vinfo for each call
  VexoExports* ae;            // the registering library's exports
  Table_Handler* libnext;     // the registering library's list
};
static_assert(std::is_trivially_destructible_v<Table_Handler>);

extern Table_Handler* Table_Handlers;
// The missing-value sentinel: its address marks a missing value.
extern char tab_Missing[8];

// Registers a handler from its info text (name, newline, description);
// refusals ("Nameless table handler ignored.", "Table handler \"%s\" has no
// reader and no writer.", "Duplicate table handler \"%s\" ignored.") are
// reported and nothing is registered.  Returns the record or null.
Table_Handler* add_table_handler(VexoTableHandler* read,
                                 VexoTableHandler* write, const char* info,
                                 int flags, void* vinfo, VexoExports* ae,
                                 const char* libname);
// Unlinks the record and frees it.
void Del_table_handler(Table_Handler* h);
// Removes count names from _HANDLERS from ordinal first on, with their
// descriptions and libraries.
void handler_info_adjust(int first, int count);
// The ordinal of the handler's name in _HANDLERS, or -1.
int handler_ordinal(const Table_Handler* h);
// Start-up and reset: the registry with "tab" and "bit", nothing pending.
void th_init();

// read table (rw 0) and write table (rw 1) NAME [subscript]: the command
// is checked ("%s is not a table.", server mode, subscripts) and queued.
void table_io(int rw, set_spec* ix, symbol* name, expr* subscript);
// The command of an unnamed table of _readtable (1) or _writetable (2).
void table_cmd(int rw, Table* t);
// Command kinds 59 and 60.
void table_rw_cmd(cmd_fields* c);

// The callbacks of TableInfo (exposed for the handlers' tests).
extern "C" {
int Add_Rows(TableInfo* ti, DbCol* cols, long nrows);
int BadAddRows(TableInfo* ti, DbCol* cols, long nrows);
long Rd_Lookup(double* dv, char** sv, TableInfo* ti);
long Wr_Lookup(double* dv, char** sv, TableInfo* ti);
long No_Lookup(double* dv, char** sv, TableInfo* ti);
long Wr_AdjustMaxrows(TableInfo* ti, long n);
long No_AdjustMaxrows(TableInfo* ti, long n);
void* Wr_ColAlloc(TableInfo* ti, int ncol, int sval);
void* No_ColAlloc(TableInfo* ti, int ncol, int sval);
}

// Sets ti->Errmsg to the formatted text in the call's temporary memory;
// returns DB_Error.
int tab_errmsg(TableInfo* ti, const char* fmt, ...);

}  // namespace vexo

#endif  // VEXO_DATA_TABLERW_H
