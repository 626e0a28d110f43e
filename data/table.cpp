// Table declarations (least form).
#include "data/table.h"

#include <cstring>

#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/rawtok.h"
#include "report/prex.h"
#include "support/format.h"
#include "support/list.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

void* Table::operator new(size_t size) { return xmem(XM_TABLE, size); }
void Table::operator delete(void* p) { xmem_free(XM_TABLE, p); }

Table::Table(symbol* nm, set_spec* ix) {
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  xrecomp_constr(this, nm, nullptr, ix, DK_TABLE, 1);
}

void Table::addtdir(int d) { tdir = d; }

void Table::addString(expr* s) {
  s->next = strings;
  strings = s;
}

void Table::addindset(set* s, int) {
  if (keyset) sdelete(keyset);
  keyset = s;
}

void Table::addcol(expr* column, int, expr* al) {
  edelete(al);
  column->next = items;
  items = column;
  nkeys++;
}

int Table::endkeys() { return nkeys; }

void Table::addinset(set* s) { sdelete(s); }

void Table::endcols(int n) { nkeys = n; }

void Table::additpv(expr* item) {
  if (!item) return;
  item->next = items;
  items = item;
}

Table* Table::finish_dcl(int) {
  Curdclname = nullptr;
  end_context(nullptr, this);
  xnode* old = nullptr;
  if (yychain(this, &old)) return this;
  Table* r = static_cast<Table*>(x_copy(old, this, XM_TABLE));
  if (!old && table_names && r->name) {
    symbol* nm = r->name;
    set_addmem(table_names, &nm);
  }
  return r;
}

Table* table_show(symbol* name) {
  xnode* d = xclass_find(XC_TABLES, name);
  if (!d) Fprintf(display_stream(), "### %s is not a table.\n", name->name);
  return static_cast<Table*>(d);
}

int add_inddir(int count, int) { return count; }

expr* make_pvi(expr* item, int) { return item; }

expr* eqchk(expr* item, int, expr* colname) {
  edelete(colname);
  return item;
}

expr* itpv(set_spec* ix, expr* item) {
  if (ix) end_context(ix, nullptr);
  return item;
}

expr* tabitstart(set_spec* ix, int) {
  if (ix) end_context(ix, nullptr);
  return nullptr;
}

expr* add_pv_ititem(expr* start, expr* item) {
  if (!item) return start;
  item->next = start;
  return item;
}

expr* add_coldesc(expr* start, expr* item) {
  return add_pv_ititem(start, item);
}

int arrowlist(const char* arrow) {
  int code = 0;
  for (const char* p = arrow; p && *p; p++) {
    if (*p == '<') code |= 1;
    if (*p == '>') code |= 2;
  }
  return code;
}

set* table_set_spec(set_spec* ix) { return ix; }

void tabredecl_start(symbol* name) { redecl_of_class(XC_TABLES, name); }

}  // namespace vexo
