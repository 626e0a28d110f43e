// Table handlers, the TableInfo callbacks and the read/write table engine.
#include "data/tablerw.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "compiler/compile.h"
#include "compiler/tva.h"
#include "data/outarg.h"
#include "data/table.h"
#include "data/tabfile.h"
#include "data/values.h"
#include "eval/dispatch.h"
#include "eval/dotvalue.h"
#include "eval/funclib.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "eval/paramref.h"
#include "eval/set.h"
#include "eval/solval.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/vardcl.h"
#include "instance/stamps.h"
#include "instance/sufinit.h"
#include "instance/xcg.h"
#include "compiler/recomp.h"
#include "report/indextab.h"
#include "report/print.h"
#include "report/prset.h"
#include "session/cmdrec.h"
#include "session/execute.h"
#include "session/let.h"
#include "session/located.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "support/format.h"
#include "support/list.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

Table_Handler* Table_Handlers;
char tab_Missing[8] = "Missing";

namespace {

const char* const role_name[2] = {"DbRead", "DbWrite"};
const char* const verb[2] = {"read", "writ"};

// ---- Registry --------------------------------------------------------------

constexpr int TH_CLASS = 4;  // 128-byte blocks hold a Table_Handler

const char* const tab_info =
    "tab\nBuiltin file.tab (ASCII table) handler: at most one string\n(the "
    "file name, ending in \".tab\") expected before \":[...]\";\n"
    "table_name.tab is assumed if there are no strings.";
const char* const bit_info =
    "bit\nBuiltin file.bit (binary table) handler: exactly one string\n(the "
    "file name, ending in \".bit\") expected before \":[...]\".";

// The handlers' system params hold one symbolic value per member of
// _HANDLERS, in member order.
void put_handler_value(param* p, symbol* name, const char* text) {
  if (!p) return;
  int32_t i = val_add(p, &name);
  symval* v = static_cast<symval*>(p->vals) + i;
  svupdate(v, new_cstring(text), nullptr);
}

void clear_values(param* p) {
  if (!p) return;
  if (p->vals) del_mblk(p->valk, p->vals);
  p->vals = nullptr;
  p->nvals = 0;
  p->valk = 0;
  if (p->dindex) sdelete(p->dindex);
  p->dindex = nullptr;
}

}  // namespace

Table_Handler* add_table_handler(VexoTableHandler* read,
                                 VexoTableHandler* write, const char* info,
                                 int flags, void* vinfo, VexoExports* ae,
                                 const char* libname) {
  const char* s = info;
  if (s)
    while (*s >= 1 && *s <= 32) ++s;
  if (!s || !*s) {
    error(0, "Nameless table handler ignored.");
    return nullptr;
  }
  const char* nl = std::strchr(s, '\n');
  std::string nm = nl ? std::string(s, size_t(nl - s)) : std::string(s);
  while (!nm.empty() && static_cast<unsigned char>(nm.back()) <= 32)
    nm.pop_back();
  const char* desc = "";
  if (nl) {
    desc = nl + 1;
    while (*desc >= 1 && *desc <= 32) ++desc;
  }
  symbol* name = Symbol(nm.c_str(), 1);
  if (!read && !write) {
    error(0, "Table handler \"%s\" has no reader and no writer.", name->name);
    return nullptr;
  }
  if (handleindx && set_addmem(handleindx, &name)) {
    error(0, "Duplicate table handler \"%s\" ignored.", name->name);
    return nullptr;
  }
  Table_Handler* h = static_cast<Table_Handler*>(new_mblk(TH_CLASS, 1));
  h->DbRead = read;
  h->DbWrite = write;
  h->name = name->name;
  h->flags = flags;
  h->vinfo = vinfo;
  h->ae = ae;
  h->next = Table_Handlers;
  h->prev = nullptr;
  if (Table_Handlers) Table_Handlers->prev = h;
  Table_Handlers = h;
  put_handler_value(Pd_handler_desc, name, desc);
  put_handler_value(Pd_handler_lib, name, libname ? libname : "<builtin>");
  if (Sd_HANDLERS) Sd_HANDLERS->stamp = nextgenlev;
  return h;
}

void Del_table_handler(Table_Handler* h) {
  if (h->prev)
    h->prev->next = h->next;
  else
    Table_Handlers = h->next;
  if (h->next) h->next->prev = h->prev;
  del_mblk(TH_CLASS, h);
}

int handler_ordinal(const Table_Handler* h) {
  if (!handleindx) return -1;
  symbol* s = Symbol0(h->name);
  return s ? static_cast<int>(set_lookup(handleindx, &s)) : -1;
}

void handler_info_adjust(int first, int count) {
  if (!handleindx || count <= 0) return;
  std::vector<symbol*> keep;
  std::vector<uint8_t> gone;
  for (setmem* m = handleindx->first; m; m = m->next) {
    if (m->ord < 0) continue;
    bool drop = m->ord >= first && m->ord < first + count;
    if (!drop) keep.push_back(m->tup()[0]);
  }
  for (param* p : {Pd_handler_desc, Pd_handler_lib}) {
    if (!p || !p->dindex) continue;
    gone.assign(size_t(p->nvals), 0);
    for (setmem* m = p->dindex->first; m; m = m->next) {
      if (m->ord < 0) continue;
      symbol* s = m->tup()[0];
      int64_t o = set_lookup(handleindx, &s);
      if (o >= first && o < first + count) gone[size_t(m->ord)] = 1;
    }
    val_discard(p, gone.data());
  }
  free_members(handleindx);
  handleindx->new_htab(static_cast<int>(keep.size()));
  for (symbol* s : keep) handleindx->addmem(&s);
  if (Sd_HANDLERS) Sd_HANDLERS->stamp = nextgenlev;
}

void th_init() {
  Table_Handlers = nullptr;
  outarg_reset();
  if (handleindx) free_members(handleindx);
  clear_values(Pd_handler_desc);
  clear_values(Pd_handler_lib);
  VexoExports* own = own_exports();
  add_table_handler(Read_vexo_tab, Write_vexo_tab, tab_info, 0, nullptr, own,
                    "<builtin>");
  add_table_handler(Read_vexo_bit, Write_vexo_bit, bit_info, 0, nullptr, own,
                    "<builtin>");
}

// ---- The record of one transfer ---------------------------------------------

namespace {

// The values a read delivers for a param that no other column fills, by
// row (rows numbered as they enter the set of rows read), kept until the
// read has succeeded: a column of numbers, without a record per value.
// The numbers of a staged column, in a block of new_mblk that can become
// the param's value array as it is (the numbers are written once).
struct num_stage {
  double* v = nullptr;
  int k = 0;     // class of the block v
  size_t n = 0;  // numbers staged
  num_stage() = default;
  num_stage(const num_stage&) = delete;
  num_stage& operator=(const num_stage&) = delete;
  ~num_stage() {
    if (v) del_mblk(k, v);
  }
  // Room for m more numbers (not cleared): where they go.
  double* extend(size_t m) {
    size_t need = (n + m) * sizeof(double);
    if (!v || need > (size_t{8} << k)) {
      int knew = htcl(need);
      if (v && knew <= k) knew = k + 1;
      v = static_cast<double*>(v ? ext_mblk(k, v, knew, n * sizeof(double))
                                 : new_mblk(knew));
      k = knew;
    }
    n += m;
    return v + n - m;
  }
  double operator[](size_t r) const { return v[r]; }
};

struct row_stage {
  num_stage num;             // row r's number when has[r] is 1
  std::vector<uint8_t> has;  // 0 no value (missing), 1 a number, 2 a string
  std::vector<cstr*> str;    // row r's string (one reference) when has[r]
                             // is 2; made at the first string
  bool strings = false;
};

// What one data column delivers or receives.
struct colx {
  pvinfo* pv;    // the column item (a group member for groups)
  xnode* d;      // whole-entity column: the entity, else null
  expr* e;       // otherwise the compiled expression
  bool permuted;  // reading p[j,i]: the target's subscript k is key perm[k]
  int perm[MAX_TABLE_KEYS];
  long count = 0;       // writing: members of d's indexing
  bool all_in = false;  // writing: every row lies in d's indexing
  int code = -2;        // d's display code: -2 values, else a suffix's
  suffix* suf = nullptr;  // reading x.s: the declared suffix
  bool names = false;     // ... whose table's names the column gives
  pvinfo* grp = nullptr;  // writing a {...}(...) group's member: the group
  size_t gtup = 0;        // ... and where its member's tuple starts
  row_stage* stage = nullptr;  // reading a param's only column: its values
  bool whole = false;  // writing: the values copied whole (rows_in_order)
};

// The engine's private record (TableInfo::Private).
struct TableIN {
  Table* t;
  TVA* tva;
  FILE* dbg;                // debug copy of a read, or null
  symbol* key[MAX_TABLE_KEYS];
  std::vector<colx>* cx;    // the data columns of this direction
  std::vector<symbol*>* gtups;  // the tuples of groups' members
  set* rows;                // rows read, or a set made of the rows written
  set* wrows;               // the rows written, when a set holds them
  int ordered;              // ... numbered 0, 1, ... in their order: 1 yes,
                            // 0 no, -1 not known yet
  std::vector<symbol*>* list;  // else their tuples one after the other
  charblk* tmi;             // the call's temporary memory (TMI)
  std::vector<void*>* blocks;  // column arrays allocated (writing)
  int k;                    // size class of the column arrays
  // Reading: each key column's last symbol and what it was made from, so
  // that a key repeated from the row before needs no look-up.
  symbol* lastkey[MAX_TABLE_KEYS];
  double lastnum[MAX_TABLE_KEYS];
  set* inset;                  // reading: the rows taken, or null for all
  size_t nstaged;              // reading: data columns staged by row
  std::vector<long>* taken;    // the rows of one AddRows call taken
};

TableIN* tin_of(TableInfo* ti) { return static_cast<TableIN*>(ti->Private); }

char* tcopy(TableInfo* ti, const char* s) {
  size_t n = std::strlen(s) + 1;
  char* p = static_cast<char*>(Tempmem(ti->TMI, n));
  std::memcpy(p, s, n);
  return p;
}

// Key column j of row i as a symbol, or null when the column has neither
// a string nor a number there.  The symbol of the row before serves when
// the key is the same.
symbol* key_sym(TableIN* tin, DbCol* c, int j, long i) {
  symbol*& last = tin->lastkey[j];
  if (c->sval && c->sval[i]) {
    const char* s = c->sval[i];
    if (!last || is_number(last) || std::strcmp(last->name, s))
      last = Symbol(s, 1);
    return last;
  }
  if (!c->dval) return nullptr;
  double x = c->dval[i];
  if (!last || !is_number(last) ||
      std::memcmp(&tin->lastnum[j], &x, sizeof x)) {
    last = Number(x);
    tin->lastnum[j] = x;
  }
  return last;
}

// A tuple as a subscript text: numbers bare, strings quoted.
std::string tuple_text(symbol* const* tup, int n) {
  std::string s;
  char buf[512];
  for (int i = 0; i < n; ++i) {
    Snprintf(buf, sizeof buf, is_number(tup[i]) ? "%s" : "%Q", tup[i]->name);
    s += i ? "," : "";
    s += buf;
  }
  return s;
}

}  // namespace

namespace {

// Stages the values of the rows taken for a column staged by row; each
// row's ordinal among the rows read is its index in g.  The rows taken are
// the first k of col when taken is null, else their positions in taken.
void stage_rows(TableInfo* ti, row_stage* g, const DbCol* col,
                const std::vector<long>* taken, size_t k) {
  auto row = [&](size_t r) { return taken ? size_t((*taken)[r]) : r; };
  size_t at = g->has.size();
  if (k && !taken && !col->sval && col->dval) {
    // Every row taken, numbers only.
    g->has.insert(g->has.end(), k, 1);
    std::memcpy(g->num.extend(k), col->dval, k * sizeof(double));
    return;
  }
  if (k == 1 && col->dval && (!col->sval || !col->sval[row(0)])) {
    g->has.push_back(1);
    *g->num.extend(1) = col->dval[row(0)];
    return;
  }
  g->has.resize(at + k, 0);
  uint8_t* has = g->has.data() + at;
  double* num = g->num.extend(k);
  std::fill(num, num + k, 0.0);
  if (!col->sval) {
    if (col->dval)
      for (size_t r = 0; r < k; ++r) {
        has[r] = 1;
        num[r] = col->dval[row(r)];
      }
    return;
  }
  for (size_t r = 0; r < k; ++r) {
    char* sv = col->sval[row(r)];
    if (sv == ti->Missing) continue;
    if (!sv) {
      if (!col->dval) continue;
      has[r] = 1;
      num[r] = col->dval[row(r)];
      continue;
    }
    has[r] = 2;
    g->strings = true;
    if (g->str.size() < at + k) g->str.resize(at + k, nullptr);
    g->str[at + r] = new_cstring(sv);
  }
}

}  // namespace

int tab_errmsg(TableInfo* ti, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  char buf[1024];
  Vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  ti->Errmsg = tcopy(ti, buf);
  return DB_Error;
}

// ---- Callbacks ---------------------------------------------------------------

extern "C" int Add_Rows(TableInfo* ti, DbCol* cols, long nrows) {
  if (!ti) return 2;
  if (nrows <= 0) {
    ti->Errmsg = tcopy(ti, "AddRows: nrows <= 0");
    return 1;
  }
  if (!cols) {
    ti->Errmsg = tcopy(ti, "AddRows: cols is null");
    return 3;
  }
  TableIN* tin = tin_of(ti);
  int n = ti->arity;
  if (!n && nrows != 1) {
    tab_errmsg(ti, "AddRows: %ld rows with key columns [].", nrows);
    return 6;
  }
  if (n && nrows > 1) set_reserve(tin->rows, tin->rows->nmem + nrows);
  std::vector<colx>& cx = *tin->cx;
  // The rows taken (not filtered out by the "in set"), for the staged
  // columns, which are filled column by column afterwards: listed once a
  // row is left out; until then rows 0 .. i - 1 are all taken.
  std::vector<long>& taken = *tin->taken;
  taken.clear();
  bool all = true;
  for (long i = 0; i < nrows; ++i) {
    for (int j = 0; j < n; ++j) {
      symbol* s = key_sym(tin, &cols[j], j, i);
      if (!s) {
        tab_errmsg(ti, "AddRows: bad cols[%d]", j);
        return 4;
      }
      tin->key[j] = s;
    }
    if (n) {
      if (tin->inset &&
          set_in(tin->inset, tin->key, tin->tva) == NOT_MEMBER) {
        if (all && tin->nstaged)
          for (long r = 0; r < i; ++r) taken.push_back(r);
        all = false;
        continue;
      }
      if (tin->rows->addmem(tin->key)) {
        std::string tx = tuple_text(tin->key, n);
        if (n > 1) tx = "(" + tx + ")";
        tab_errmsg(ti, "AddRows: duplicate subscript %s", tx.c_str());
        return 5;
      }
    }
    if (tin->nstaged && !all) taken.push_back(i);
    if (tin->nstaged == cx.size() && !tin->dbg) continue;
    for (size_t c = 0; c < cx.size(); ++c) {
      DbCol* col = &cols[n + int(c)];
      char* sv = col->sval ? col->sval[i] : nullptr;
      if (tin->dbg) {
        char lead = c || n ? '\t' : '\n';
        if (sv == ti->Missing)
          Fprintf(tin->dbg, "%c%q", lead, ".");
        else if (sv)
          Fprintf(tin->dbg, "%c%q", lead, sv);
        else if (col->dval)
          Fprintf(tin->dbg, "%c%.g", lead, col->dval[i]);
      }
      xnode* d = cx[c].d;
      if (!d || cx[c].stage || sv == ti->Missing || (!sv && !col->dval))
        continue;
      Outarg* o = new_outarg(n);
      for (int j = 0; j < n; ++j)
        o->sub[j] = tin->key[cx[c].permuted ? cx[c].perm[j] : j];
      if (sv)
        o->s = new_cstring(sv);
      else
        o->v = col->dval[i];
      if (cx[c].suf)
        sufout_put(d, cx[c].suf, cx[c].names, o);
      else
        outarg_put(d, o);
    }
  }
  for (size_t c = 0; c < cx.size(); ++c)
    if (row_stage* g = cx[c].stage)
      stage_rows(ti, g, &cols[n + int(c)], all ? nullptr : &taken,
                 all ? size_t(nrows) : taken.size());
  return 0;
}

extern "C" int BadAddRows(TableInfo* ti, DbCol*, long) {
  ti->Errmsg = tcopy(ti, "AddRows erroneously called during table write!");
  return 2;
}

namespace {

// The position of the key tuple given by dv/sv in s, or -1.
long lookup_in(set* s, double* dv, char** sv, TableInfo* ti) {
  if (!ti) return -1;
  int n = ti->arity;
  if (!n) return 0;
  if (!dv && !sv) return -1;
  symbol* key[MAX_TABLE_KEYS];
  for (int j = 0; j < n; ++j) {
    if (sv && sv[j]) {
      key[j] = Symbol0(sv[j]);
      if (!key[j]) return -1;
    } else if (dv) {
      key[j] = Number(dv[j]);
    } else {
      return -1;
    }
  }
  if (!s) return -1;
  return static_cast<long>(set_lookup(s, key));
}

}  // namespace

extern "C" long Rd_Lookup(double* dv, char** sv, TableInfo* ti) {
  TableIN* tin = ti ? tin_of(ti) : nullptr;
  return lookup_in(tin ? tin->inset : nullptr, dv, sv, ti);
}

extern "C" long Wr_Lookup(double* dv, char** sv, TableInfo* ti) {
  TableIN* tin = ti ? tin_of(ti) : nullptr;
  if (tin && !tin->wrows && tin->list) {
    // Rows written without a set: one is made for the first look-up.
    int n = ti->arity;
    std::vector<symbol*>& l = *tin->list;
    tin->rows = set_enum(new_enum(), n);
    if (l.size() > size_t(n))
      tin->rows->new_htab(static_cast<int>(l.size() / size_t(n)));
    for (size_t i = 0; i + size_t(n) <= l.size(); i += size_t(n))
      tin->rows->addmem(&l[i]);
    tin->wrows = tin->rows;
  }
  return lookup_in(tin ? tin->wrows : nullptr, dv, sv, ti);
}

extern "C" long No_Lookup(double*, char**, TableInfo*) { return -1; }

namespace {

void* col_block(TableIN* tin, int k) {
  void* p = new_mblk(k, 1);
  tin->blocks->push_back(p);
  return p;
}

void col_unblock(TableIN* tin, void* p) {
  auto& b = *tin->blocks;
  for (size_t i = 0; i < b.size(); ++i)
    if (b[i] == p) {
      del_mblk(0, p);
      b[i] = b.back();
      b.pop_back();
      return;
    }
}

int class_for_rows(long n) {
  int k = 0;
  while ((1L << k) < n) ++k;
  return k;
}

}  // namespace

extern "C" void* Wr_ColAlloc(TableInfo* ti, int ncol, int sval) {
  int n = ti->arity + ti->ncols;
  if (ncol < 0 || ncol >= n)
    bug("ColAlloc has ncol = %d, which is outside [0,%d)", ncol, n);
  DbCol* c = &ti->cols[ncol];
  if (sval ? c->sval != nullptr : c->dval != nullptr)
    bug("ColAlloc: cols[%d].%s already allocated.", ncol,
        sval ? "sval" : "dval");
  TableIN* tin = tin_of(ti);
  void* p = col_block(tin, htcl(size_t(ti->maxrows) * 8));
  if (sval)
    c->sval = static_cast<char**>(p);
  else
    c->dval = static_cast<double*>(p);
  return p;
}

extern "C" long Wr_AdjustMaxrows(TableInfo* ti, long n) {
  TableIN* tin = tin_of(ti);
  int k = class_for_rows(n);
  if (tin->k >= k) return ti->maxrows;
  long old = 1L << tin->k;
  int ncol = ti->arity + ti->ncols;
  for (int i = 0; i < ncol; ++i) {
    DbCol* c = &ti->cols[i];
    for (void** a : {reinterpret_cast<void**>(&c->dval),
                     reinterpret_cast<void**>(&c->sval)}) {
      if (!*a) continue;
      void* p = col_block(tin, htcl(size_t(8) << k));
      std::memcpy(p, *a, size_t(old) * 8);
      col_unblock(tin, *a);
      *a = p;
    }
  }
  tin->k = k;
  ti->maxrows = 1L << k;
  return ti->maxrows;
}

extern "C" long No_AdjustMaxrows(TableInfo*, long) {
  bug("AdjustMaxrows called by DbRead");
}

extern "C" void* No_ColAlloc(TableInfo*, int, int) {
  bug("ColAlloc called by DbRead");
}

// ---- The commands ---------------------------------------------------------------

void table_io(int rw, set_spec* ix, symbol* name, expr* subscript) {
  // A refused command: its indexing's scope ends with it.
  auto drop = [&]() {
    edelete(subscript);
    if (ix) {
      end_context(ix, nullptr);
      sdelete(ix);
    }
  };
  void* b = name->binding;
  if (!b || bound_kind(b) != DK_TABLE) {
    error(0, "%s is not a table.", name->name);
    drop();
    return;
  }
  if (Serving) {
    cantserve(rw ? "write_table" : "read_table", nullptr);
    drop();
    return;
  }
  Table* t = static_cast<Table*>(b);
  if ((subscript || ix) && !t->indexing) {
    error(0, "table %s is not subscripted.\n", name->name);
    drop();
    return;
  }
  if (t->indexing && !subscript) {
    error(0, "No subscript given for table %s\n", name->name);
    drop();
    return;
  }
  dep_note(t->num);
  cmd_ixbe(rw ? CK_WRITE_TABLE : CK_READ_TABLE, rw, ix, name, subscript);
}

void table_cmd(int rw, Table* t) {
  // The table travels in the expression field.
  expr* carrier = new_expr(opword(OPXNODE), static_cast<xnode*>(t),
                           static_cast<int32_t>(-3));
  cmd_ixbe(rw == 2 ? CK_WRITE_TABLE : CK_READ_TABLE, rw == 2, nullptr,
           t->name, carrier);
}

namespace {

// The failure of one transfer, in the form of every table error.
struct failure {
  std::string text;
  std::string handler;
  std::string sub;  // "[...]" of an indexed table
};

// Evaluates an expression that gives a text (a string constant, or an
// expression compiled in c); a list gives several.
void texts_of(expr* e, TVA* c, std::vector<std::string>& out) {
  if (!e) return;
  if (opcode(e) == OPSTR) {
    out.push_back(e->L.cs->text());
    return;
  }
  cstr* s = format_text(e, c);
  out.push_back(s->text());
  zap_cstr(&s);
}

// Adds the members of d's indexing to rows (the union of written columns);
// returns their number.
long union_rows(xnode* d, set* rows, TVA* t) {
  set_spec* ss = d->indexing;
  if (!ss) return 0;
  std::vector<symbol*> tups;
  int n = ss->arity;
  if (TVA* w = ss_begin(ss, t)) {
    do {
      symbol** tuple = ss->first->vals;
      tups.insert(tups.end(), tuple, tuple + n);
    } while (ss_continue(ss, w));
  }
  if (!rows->htab && rows->nmem == 0 && n)
    rows->new_htab(static_cast<int>(tups.size() / size_t(n)));
  for (size_t i = 0; i + size_t(n) <= tups.size(); i += size_t(n))
    set_addmem(rows, &tups[i]);
  return n ? static_cast<long>(tups.size() / size_t(n)) : 0;
}

// Whether the whole-entity columns all have the members of the first
// one's indexing: each other indexing has as many members (*count), all
// in the first.  Returns that indexing, or null.  The common table of
// columns over one index set is written from a list of its members,
// without a set of its rows.
set_spec* same_rows(std::vector<colx>& cx, TVA* t, long* count) {
  xnode* first = nullptr;
  for (colx& c : cx) {
    if (!c.d) continue;
    if (!c.d->indexing) return nullptr;
    if (!first) first = c.d;
  }
  if (!first) return nullptr;
  set_spec* fs = first->indexing;
  long m = 0;
  if (TVA* w = ss_begin(fs, t)) {
    do ++m;
    while (ss_continue(fs, w));
  }
  for (colx& c : cx) {
    if (!c.d || c.d == first) continue;
    set_spec* ss = c.d->indexing;
    if (ss->arity != fs->arity) return nullptr;
    long k = 0;
    if (TVA* w = ss_begin(ss, t)) {
      do {
        if (set_in(fs, ss->first->vals, w) == NOT_MEMBER) {
          ss_end1(ss, w);
          return nullptr;
        }
        ++k;
      } while (ss_continue(ss, w));
    }
    if (k != m) return nullptr;
  }
  *count = m;
  return fs;
}

// The value of a whole-entity column for the row: a number, a string
// (into *s, in temporary memory) or missing; an error text, else null.
// Rows known to lie in d's indexing (all_in) skip the membership test.
const char* entity_value(TableInfo* ti, xnode* d, int code, symbol** tup,
                         int n, bool missing_ok, bool all_in, double* v,
                         char** s) {
  TableIN* tin = tin_of(ti);
  TVA* t = tin->tva;
  static std::string msg;
  if (n && d->indexing && !all_in &&
      set_in(d->indexing, tup, t) == NOT_MEMBER) {
    if (missing_ok) {
      *s = ti->Missing;
      return nullptr;
    }
    msg = std::string("Invalid subscript: ") + sub_name(d, tup) + ".";
    return msg.c_str();
  }
  uint32_t k = d->kind & ~1u;
  if (k == DK_PARAM || k == DK_SPARAM) {
    param* p = static_cast<param*>(d);
    // A param with a value expression has a value for every member.
    bool has = p->dflt || p->asgn;
    if (has)
      ;
    else if (!(p->kind & 1))
      has = p->nvals > 0;
    else if (p->dindex && p->nvals)
      has = set_lookup(p->dindex, tup) >= 0;
    if (!has && !p->dflt && !p->asgn) {
      if (missing_ok) {
        *s = ti->Missing;
        return nullptr;
      }
      msg = std::string("No value for ") + sub_name(d, n ? tup : nullptr) +
            ".";
      return msg.c_str();
    }
    if (k == DK_PARAM) {
      *v = par_value(p, n ? tup : nullptr, t);
      return nullptr;
    }
    symval* sv = spar_value(p, n ? tup : nullptr, t);
    if (sv->sym && is_number(sv->sym))
      *v = sv->sym->value;
    else
      *s = tcopy(ti, sv->str ? sv->str->text() : sv->sym->name);
    return nullptr;
  }
  convar* cv = static_cast<convar*>(d);
  int32_t m = 0;
  if (cv->kind & 1) {
    m = cv->gen.members ? static_cast<int32_t>(
                              set_lookup(cv->gen.members, tup))
                        : -1;
  }
  if (m < 0 || cv->ninst <= 0) {
    *v = 0;
    return nullptr;
  }
  if (cstr* x = member_code_value(cv, code, m, t, v)) {
    *s = tcopy(ti, x->text());
    release_cstr(x);
  }
  return nullptr;
}

// The value of a computed column for the row (key dummies bound in c).
void expr_value(TableInfo* ti, expr* e, TVA* c, double* v, char** s) {
  if (has_flag(e, EF_NUMERIC)) {
    *v = eval_num(e, c);
  } else if (has_flag(e, EF_STRING)) {
    cstr* x = eval_str(e, c);
    *s = tcopy(ti, x->text());
    zap_cstr(&x);
  } else {
    symbol* y = eval_sym(e, c);
    if (is_number(y))
      *v = y->value;
    else
      *s = tcopy(ti, y->name);
  }
}

// Stores one value into row i of data column j (writing).
void put_value(TableInfo* ti, int j, long i, double v, char* s) {
  DbCol* c = &ti->cols[j];
  if (s) {
    if (!c->sval) Wr_ColAlloc(ti, j, 1);
    c->sval[i] = s;
  } else {
    if (!c->dval) Wr_ColAlloc(ti, j, 0);
    c->dval[i] = v;
  }
}

// The members of a table's set, generated: a declared set is taken by its
// value (the command brought it up to date), an expression as compiled.
set* generated_members(set* s, TVA* tva) {
  if (s->sclass == SC_NAMED && s->owner && s->owner->kind == DK_SET)
    s = static_cast<setdcl*>(s->owner)->value;
  if (s->nmem < 0) set_genall(s, tva);
  return s;
}

set* setname_members(Table* t, TVA* tva) {
  return generated_members(t->setname, tva);
}

// The data index of a column's param when it holds the param's whole
// indexing in the order of its walk: a numeric param computed by `=` or
// `:=` (not through itself) and generated whole.  Else null.
set* walked_index(const colx& c) {
  if (!c.d || c.code != -2 || c.d->kind != DK_PARAMI) return nullptr;
  const param* p = static_cast<const param*>(c.d);
  if (!p->asgn || (p->type & (PT_RECURSIVE | PT_RECDEFAULT)) ||
      p->ninst < 0 || p->ninst != p->nvals || !p->dindex ||
      p->dindex->nmem != p->nvals)
    return nullptr;
  return p->dindex;
}

// Calls f with each row's tuple in order until it answers false; whether
// every call answered true.
template <class F>
bool each_row(const TableIN* tin, int n, F f) {
  if (!tin->wrows) {
    const std::vector<symbol*>& l = *tin->list;
    for (size_t at = 0; at + size_t(n) <= l.size(); at += size_t(n))
      if (!f(&l[at])) return false;
    return true;
  }
  for (setmem* m = tin->wrows->first; m; m = m->next)
    if (m->ord >= 0 && !f(m->tup())) return false;
  return true;
}

// Whether the live members of s carry the ordinals 0, 1, ... in order.
bool numbered_in_order(const set* s) {
  int32_t i = 0;
  for (const setmem* m = s->first; m; m = m->next)
    if (m->ord >= 0 && m->ord != i++) return false;
  return i == s->nmem;
}

// Whether the members of data index s (numbered 0, 1, ... in order) are
// the rows, in the same order: row i's value is then member i's.
bool rows_in_order(const set* s, TableIN* tin, int n, long nrows) {
  if (!s || s->nmem != nrows || s->arity != n) return false;
  const setmem* m = s->first;
  int32_t i = 0;
  if (s == tin->wrows) {
    // The rows themselves: numbered in order?
    if (tin->ordered < 0) tin->ordered = numbered_in_order(s);
    return tin->ordered;
  }
  return each_row(tin, n,
                  [&](symbol* const* tup) {
                    while (m && m->ord < 0) m = m->next;
                    if (!m || m->ord != i) return false;
                    symbol* const* mt = m->tup();
                    for (int j = 0; j < n; ++j)
                      if (mt[j] != tup[j]) return false;
                    m = m->next;
                    ++i;
                    return true;
                  }) &&
         i == nrows;
}

// Row i's key columns from its tuple.
void put_keys(TableInfo* ti, symbol* const* tup, int n, long i) {
  for (int j = 0; j < n; ++j) {
    symbol* y = tup[j];
    if (is_number(y))
      put_value(ti, j, i, y->value, nullptr);
    else
      put_value(ti, j, i, 0, const_cast<char*>(y->name));
  }
}

// The key columns of every row written; when a set holds the rows, what
// its walk tells of their numbering is kept (TableIN::ordered).  The data
// indexes in others are checked in the same walk to hold the rows in
// order (as rows_in_order would); false when one does not.
bool fill_keys(TableInfo* ti, TableIN* tin, int n,
               const std::vector<set*>& others) {
  long i = 0;
  if (!tin->wrows) {
    const std::vector<symbol*>& l = *tin->list;
    for (size_t at = 0; at + size_t(n) <= l.size(); at += size_t(n))
      put_keys(ti, &l[at], n, i++);
    return true;
  }
  std::vector<const setmem*> at;
  for (const set* s : others) at.push_back(s->first);
  bool ordered = true;
  for (const setmem* m = tin->wrows->first; m; m = m->next) {
    if (m->ord < 0) continue;
    symbol* const* tup = m->tup();
    for (const setmem*& o : at) {
      while (o && o->ord < 0) o = o->next;
      if (!o || o->ord != i || !std::equal(tup, tup + n, o->tup()))
        return false;
      o = o->next;
    }
    ordered = ordered && m->ord == i;
    put_keys(ti, tup, n, i++);
  }
  if (!at.empty() && i != tin->wrows->nmem) return false;
  tin->ordered = ordered && i == tin->wrows->nmem;
  return true;
}

// Gives back the key columns' arrays.
void drop_keys(TableInfo* ti, TableIN* tin, int n) {
  for (int j = 0; j < n; ++j) {
    DbCol* c = &ti->cols[j];
    if (c->dval) col_unblock(tin, c->dval);
    if (c->sval) col_unblock(tin, c->sval);
    c->dval = nullptr;
    c->sval = nullptr;
  }
}

// When every whole-entity column is a param holding its whole indexing
// (walked_index), all with as many members: the first one's data index,
// whose members are then the rows (no indexing is walked) if the other
// data indexes, in others, hold the same members in the same order
// (fill_keys checks).  Else null.
set* walked_rows(TableIN* tin, int n, std::vector<set*>& others) {
  set* first = nullptr;
  for (const colx& c : *tin->cx) {
    if (!c.d) continue;
    set* s = walked_index(c);
    if (!s || s->arity != n) return nullptr;
    if (!first) first = s;
    if (s == first) continue;
    if (s->nmem != first->nmem) return nullptr;
    if (std::find(others.begin(), others.end(), s) == others.end())
      others.push_back(s);
  }
  tin->wrows = first;
  return first;
}

// The size of a write: nrows rows, the column arrays' class.
void size_rows(TableInfo* ti, TableIN* tin, long nrows) {
  ti->nrows = nrows;
  tin->k = class_for_rows(nrows);
  ti->maxrows = 1L << tin->k;
}

// The rows and values of a write; a failure text, else empty.
std::string fill_write(TableInfo* ti, TVA* tva) {
  TableIN* tin = tin_of(ti);
  Table* t = tin->t;
  int n = t->arity;
  bool missing_ok = true, walked = false;
  long nrows = 1;
  tin->ordered = -1;
  bool by_set = t->setname && (t->arrow & 2);
  std::vector<set*> others;
  if (by_set) {
    missing_ok = false;
    tin->wrows = setname_members(t, tva);
    nrows = tin->wrows->nmem;
  } else if (set* ws = n ? walked_rows(tin, n, others) : nullptr) {
    // Every column holds the same members of its indexing, walked when it
    // was generated: the rows, unless the walk that fills the key columns
    // finds otherwise.
    size_rows(ti, tin, ws->nmem);
    if (fill_keys(ti, tin, n, others)) {
      walked = true;
      nrows = ws->nmem;
      for (colx& c : *tin->cx) c.all_in = c.d != nullptr;
    } else {
      drop_keys(ti, tin, n);
      tin->wrows = nullptr;
      tin->ordered = -1;
    }
  }
  if (!by_set && !walked) {
    if (set_spec* fs = n ? same_rows(*tin->cx, tva, &nrows) : nullptr) {
      // Every column has the rows of the first: listed (before any value
      // is evaluated, which may bind the same indexing), no set needed.
      std::vector<symbol*>& l = *tin->list;
      l.reserve(size_t(nrows) * size_t(n));
      if (TVA* w = ss_begin(fs, tva)) {
        do l.insert(l.end(), fs->first->vals, fs->first->vals + n);
        while (ss_continue(fs, w));
      }
      for (colx& c : *tin->cx) c.all_in = c.d != nullptr;
    } else if (n) {
      tin->rows = tin->wrows = set_enum(new_enum(), n);
      for (colx& c : *tin->cx)
        if (c.d) c.count = union_rows(c.d, tin->rows, tva);
      // A column whose indexing gave every row needs no membership test.
      for (colx& c : *tin->cx) c.all_in = c.d && c.count == tin->rows->nmem;
      nrows = tin->rows->nmem;
    }
  }
  // Values that data gave variables and constraints join their members.
  for (colx& c : *tin->cx)
    if (c.d && (c.d->kind & ~1u) != DK_PARAM && (c.d->kind & ~1u) != DK_SPARAM)
      copy_sufs(c.d, tva);
  size_rows(ti, tin, nrows);
  // The key columns, in one walk of the rows that also tells whether a set
  // holding them numbers its members in order (walked rows have them).
  if (n && !walked) fill_keys(ti, tin, n, {});
  // A numeric param whose stored members are the rows in order gives its
  // values as they are stored: the handler reads the param's own array
  // (it holds at least maxrows values), unless it may merge a file into
  // the columns.  The params of walked rows are known to hold the rows in
  // the order of the first one's members (walked_rows).
  bool per_row = false;
  for (size_t j = 0; j < tin->cx->size(); ++j) {
    colx& x = (*tin->cx)[j];
    bool whole = false;
    if (n && nrows && x.d && x.code == -2 && x.d->kind == DK_PARAMI) {
      set* di = static_cast<param*>(x.d)->dindex;
      whole = walked ? di != tin->wrows || tin->ordered
                     : rows_in_order(di, tin, n, nrows);
    }
    if (!whole) {
      per_row = true;
      continue;
    }
    x.whole = true;
    auto* vals = static_cast<double*>(static_cast<param*>(x.d)->vals);
    if (!(ti->flags & DBTI_flags_IN)) {
      ti->cols[n + int(j)].dval = vals;
      continue;
    }
    auto* dv = static_cast<double*>(Wr_ColAlloc(ti, n + int(j), 0));
    std::memcpy(dv, vals, sizeof(double) * size_t(nrows));
  }
  if (!per_row) return "";
  long i = 0;
  std::string err;
  auto one_row = [&](symbol* const* tup) -> bool {
    TVA* c = tva;
    bool bound = false;
    for (size_t j = 0; j < tin->cx->size(); ++j) {
      colx& x = (*tin->cx)[j];
      if (x.whole) continue;
      double v = 0;
      char* s = nullptr;
      if (x.d) {
        if (const char* m = entity_value(ti, x.d, x.code,
                                         const_cast<symbol**>(tup), n,
                                         missing_ok, x.all_in, &v, &s)) {
          err = m;
          break;
        }
      } else {
        if (!bound && t->keyss && n) {
          c = ss_begin1(t->keyss, tva, const_cast<symbol**>(tup));
          bound = true;
        }
        if (x.grp && x.grp->gix) {
          // The group's dummies hold the column's member.
          set_spec* g = x.grp->gix;
          TVA* gc = ss_begin1(g, c, tin->gtups->data() + x.gtup);
          expr_value(ti, x.e, gc, &v, &s);
          ss_end1(g, gc);
        } else {
          expr_value(ti, x.e, c, &v, &s);
        }
      }
      put_value(ti, n + int(j), i, v, s);
    }
    if (bound) ss_end1(t->keyss, c);
    ++i;
    return err.empty();
  };
  if (!n)
    one_row(nullptr);
  else
    each_row(tin, n, one_row);
  return err;
}

// The name of the debug copy: the template with its first "%" replaced by
// the table's name.
std::string debug_name(const Table* t) {
  std::string tp = table_debug_template ? table_debug_template : "";
  size_t at = tp.find('%');
  if (at != std::string::npos) tp.replace(at, 1, t->name->name);
  return tp;
}

// Offers the record to the handlers; fills f on failure.
bool run_handlers(int rw, Table* t, TableInfo* ti, failure& f) {
  Table_Handler* first = rw ? t->lastreader : nullptr;
  std::vector<Table_Handler*> order;
  if (first) order.push_back(first);
  for (Table_Handler* h = Table_Handlers; h; h = h->next)
    if (h != first) order.push_back(h);
  for (Table_Handler* h : order) {
    VexoTableHandler* fn = rw ? h->DbWrite : h->DbRead;
    if (!fn) continue;
    ti->Vinfo = h->vinfo;
    ti->Errmsg = nullptr;
    int r = fn(h->ae, ti);
    if (r == DB_Refuse) continue;
    if (r == DB_Done) {
      if (!rw) t->lastreader = h;
      return true;
    }
    f.handler = h->name;
    if (r == DB_Error)
      f.text = ti->Errmsg ? ti->Errmsg : "DB_Error return with null Errmsg";
    else
      f.text = "Return " + std::to_string(r) + " from " + role_name[rw];
    return false;
  }
  f.text = "no acceptable table handler found.";
  return false;
}

// The declared set a read stores its rows into (its set_name with "<-"),
// or null.
setdcl* rows_target(const Table* t) {
  set* s = t->setname;
  if (!s || !(t->arrow & 1) || s->sclass != SC_NAMED || !s->owner)
    return nullptr;
  setdcl* sd = static_cast<setdcl*>(s->owner);
  return (sd->kind & 1) ? nullptr : sd;
}

// Stores the rows read into the set_name; true when its value changed.
// The members move (rows is left empty), with their table.
bool store_setname(Table* t, set* rows) {
  setdcl* sd = rows_target(t);
  if (!sd || same_members(sd->value, rows)) return false;
  set* to = fresh_members(sd);
  set_adopt(to, rows);
  drop_members(rows);
  sud_notify(sd);
  ts_update(sd, 0);
  return true;
}

// Whether every row a read stores into sd lies in d's indexing without a
// test: d is indexed over sd alone ({K}, {(i, j) in K}), without a
// condition.
bool indexed_by_rows(const xnode* d, const setdcl* sd) {
  return sd && sole_set(d) == sd;
}

// Whether data column i of a read is staged by row: the only column of an
// indexed param (not built in, not defined by `:=`) that receives whole
// rows.
bool stageable(const std::vector<colx>& cx, size_t i, int arity) {
  const colx& c = cx[i];
  if (!c.d || c.permuted || c.suf || c.code != -2 || !arity) return false;
  if (c.d->kind != DK_PARAMI && c.d->kind != DK_SPARAMI) return false;
  const param* p = static_cast<const param*>(c.d);
  if (p->asgn || p->num < N_System_Pars || !p->indexing ||
      p->indexing->arity != arity)
    return false;
  for (size_t j = 0; j < cx.size(); ++j)
    if (j != i && cx[j].d == c.d) return false;
  return true;
}

// The staged values of column c become pending values of its param (the
// rows' tuples from rows, in row order).
void stage_to_outargs(colx& c, set* rows) {
  row_stage& g = *c.stage;
  c.stage = nullptr;
  int n = rows->arity;
  for (setmem* m = rows->first; m; m = m->next) {
    size_t r = static_cast<size_t>(m->ord);
    if (m->ord < 0 || r >= g.has.size() || !g.has[r]) continue;
    Outarg* o = new_outarg(n);
    std::memcpy(o->sub, m->tup(), sizeof(symbol*) * size_t(n));
    if (g.has[r] == 2)
      std::swap(o->s, g.str[r]);
    else
      o->v = g.num[r];
    outarg_put(c.d, o);
  }
}

// Stores the staged values of column c into its param, which has no
// member yet and is indexed over the rows (held in order by rows, the
// set_name's value): each row with a value becomes a member.  When every
// row has one, the param's data index is the set_name's value itself
// (shared); otherwise the members are appended without a look-up.
void stage_fill(colx& c, set* rows) {
  param* p = static_cast<param*>(c.d);
  row_stage& g = *c.stage;
  c.stage = nullptr;
  int64_t count = 0;
  for (uint8_t h : g.has) count += h != 0;
  if (!count) return;
  bool sym = p->kind == DK_SPARAMI;
  bool whole = count == rows->nmem && size_t(count) == g.has.size();
  if (whole && !sym) {
    // The staged numbers are the values, in member order.
    val_share_numbers(p, rows, g.num.v, g.num.k);
    g.num.v = nullptr;
    filled_in_bulk(p);
    return;
  }
  if (whole)
    val_share(p, rows);
  else
    val_reserve(p, count);
  for (setmem* m = rows->first; m; m = m->next) {
    size_t r = static_cast<size_t>(m->ord);
    if (m->ord < 0 || r >= g.has.size() || !g.has[r]) continue;
    int32_t i = whole ? m->ord : val_append(p, m->tup());
    if (!sym) {
      static_cast<double*>(p->vals)[i] = g.num[r];
      continue;
    }
    symval* cell = static_cast<symval*>(p->vals) + i;
    if (g.has[r] == 2) {
      svupdate(cell, g.str[r], nullptr);
      g.str[r] = nullptr;
    } else {
      svupdate(cell, nullptr, Number(g.num[r]));
    }
  }
  filled_in_bulk(p);
}

// The work of one call: temporary memory, column arrays and the row set
// are released however the call ends.
struct call_state {
  TableInfo ti{};
  TableIN tin{};
  std::vector<colx> cx;
  std::vector<void*> blocks;
  std::vector<char*> names;
  std::vector<char*> strs;
  std::vector<DbCol> cols;
  std::vector<double> rd;   // one-row scratch of a read
  std::vector<char*> rs;
  std::vector<symbol*> gtups;
  std::vector<symbol*> list;  // rows written without a set
  std::deque<row_stage> stages;  // reading: the staged columns' values
  std::vector<long> taken;
  ~call_state() {
    for (row_stage& g : stages)
      for (cstr*& x : g.str) zap_cstr(&x);
    for (void* p : blocks) del_mblk(0, p);
    if (tin.rows) sdelete(tin.rows);
    if (tin.tmi) cbfree(tin.tmi);
    if (tin.dbg) fclose(tin.dbg);
  }
};

// The columns of a {...}(...) group written: per member of its indexing
// (in order) one column per member item.
// The group is walked in context tva, where the key dummies are bound.
void group_columns(pvinfo* p, TVA* tva, call_state& st) {
  auto add_items = [&](size_t at) {
    for (pvinfo* m = p->members; m; m = m->next) {
      colx x{m, nullptr, m->e, false, {}, 0, false};
      x.grp = p;
      x.gtup = at;
      st.cx.push_back(x);
    }
  };
  set_spec* g = p->gix;
  if (!g) {
    add_items(0);
    return;
  }
  int n = g->arity;
  if (TVA* w = ss_begin(g, tva)) {
    do {
      size_t at = st.gtups.size();
      symbol** tuple = g->first->vals;
      st.gtups.insert(st.gtups.end(), tuple, tuple + n);
      add_items(at);
    } while (ss_continue(g, w));
  }
}

// Reports the failure; true when the command must stop.
bool report(int rw, Table* t, const failure& f) {
  std::string msg = std::string("Error ") + verb[rw] + "ing table " +
                    t->name->name + f.sub;
  if (!f.handler.empty()) msg += " with table handler " + f.handler;
  msg += ":\n\t" + f.text;
  set_sparam(table_errmsg, msg.c_str());
  if (!(table_errbreak & (rw ? 1 : 2))) error(0, "%s", msg.c_str());
  return !(table_errbreak & 4);
}

bool table_rw1(int rw, Table* t, TVA* tva, const std::string& sub) {
  call_state st;
  TableInfo* ti = &st.ti;
  TableIN* tin = &st.tin;
  tin->t = t;
  tin->tva = tva;
  tin->blocks = &st.blocks;
  tin->cx = &st.cx;
  tin->gtups = &st.gtups;
  tin->list = &st.list;
  tin->taken = &st.taken;
  int b = rw ? 2 : 1;
  // Groups are walked and their names evaluated with the key dummies
  // bound to the first row written (what the compiler stores at the keys'
  // level is computed then): the columns are the same for every row, as
  // neither a group's indexing nor a name may use the key dummies.
  // Without rows they hold a placeholder.  Groups are written only, from
  // a set_name (write_refused).
  symbol** first_row = nullptr;
  std::vector<symbol*> placeholder;
  if (rw && t->setname && (t->arrow & 2) && t->arity) {
    for (setmem* m = setname_members(t, tva)->first; m && !first_row;
         m = m->next)
      if (m->ord >= 0) first_row = m->tup();
    if (!first_row) {
      placeholder.assign(size_t(t->arity),
                         Symbol("<invalid use of table dummy>", 1));
      first_row = placeholder.data();
    }
  }
  struct key_binding {
    Table* t;
    TVA* c = nullptr;
    ~key_binding() {
      if (c) ss_end1(t->keyss, c);
    }
  } kb{t};
  auto key_ctx = [&]() -> TVA* {
    if (!t->keyss || !t->arity) return tva;
    if (!kb.c && first_row) kb.c = ss_begin1(t->keyss, tva, first_row);
    return kb.c;
  };
  for (pvinfo* p = t->cols; p; p = p->next) {
    if (!pv_in_dir(t, p, b)) continue;
    if (p->flags & PV_GROUP) {
      if (TVA* kc = key_ctx()) group_columns(p, kc, st);
      continue;
    }
    colx x{p, nullptr, p->e, false, {}, 0, false};
    if (p->ent && opcode(p->e) == OPXNODE) {
      x.d = p->ent;
      x.code = p->e->R.i;
      if (!rw) x.suf = pv_suffix(p, &x.names);
    } else if (!rw && p->ent && shape(p->e) == SH_ENTITY)
      x.d = p->ent;
    else if (!rw && p->ent && key_perm(t, p->e, x.perm))
      x.d = p->ent, x.permuted = true;
    st.cx.push_back(x);
  }
  if (!rw)
    for (size_t i = 0; i < st.cx.size(); ++i)
      if (stageable(st.cx, i, t->arity))
        st.cx[i].stage = &st.stages.emplace_back();
  tin->nstaged = st.stages.size();
  ti->tname = const_cast<char*>(t->name->name);
  ti->arity = t->arity;
  ti->ncols = static_cast<int>(st.cx.size());
  ti->Missing = tab_Missing;
  ti->TMI = &tin->tmi;
  ti->Private = tin;
  ti->flags = (t->tdir | t->arrow) & 3;
  if (t->arrow == 4) ti->flags &= ~3;
  if (t->inset) ti->flags |= 4;
  for (pvinfo* p = t->cols; p; p = p->next) {
    if (pv_in_dir(t, p, 1)) ti->flags |= 1;
    if (pv_in_dir(t, p, 2)) ti->flags |= 2;
  }
  int dbits = table_debug & (rw ? 12 : 3);
  std::string dbname = dbits && table_debug_template &&
                               *table_debug_template
                           ? debug_name(t)
                           : "";
  if (dbname.empty()) dbits = 0;

  // Names: key columns, then data columns.
  std::vector<std::string> names, strings;
  for (expr* e = t->keynames; e; e = e->next) texts_of(e, tva, names);
  for (colx& c : st.cx) {
    if (!c.grp || !c.grp->gix) {
      texts_of(c.pv->name, tva, names);
      continue;
    }
    set_spec* g = c.grp->gix;
    TVA* gc = ss_begin1(g, key_ctx(), st.gtups.data() + c.gtup);
    texts_of(c.pv->name, gc, names);
    ss_end1(g, gc);
  }
  if (kb.c) {
    ss_end1(t->keyss, kb.c);
    kb.c = nullptr;
  }
  int ncol = ti->arity + ti->ncols;
  failure f;
  f.sub = sub;
  if (static_cast<int>(names.size()) != ncol) {
    f.text = "column names do not match the columns.";
    return report(rw, t, f);
  }
  {
    std::vector<int> ord(static_cast<size_t>(ncol));
    for (int i = 0; i < ncol; ++i) ord[size_t(i)] = i;
    std::sort(ord.begin(), ord.end(), [&](int a, int b2) {
      int c = std::strcmp(names[size_t(a)].c_str(), names[size_t(b2)].c_str());
      return c ? c < 0 : a < b2;
    });
    for (int i = 1; i < ncol; ++i)
      if (names[size_t(ord[size_t(i)])] == names[size_t(ord[size_t(i - 1)])]) {
        f.text = "Columns " + std::to_string(ord[size_t(i - 1)] + 1) +
                 " and " + std::to_string(ord[size_t(i)] + 1) +
                 " are both named \"" + names[size_t(ord[size_t(i)])] + "\".";
        return report(rw, t, f);
      }
  }
  for (std::string& s : names) st.names.push_back(tcopy(ti, s.c_str()));
  ti->colnames = st.names.data();
  // Strings, in declaration order.
  std::vector<expr*> sx;
  for (expr* e = t->strings; e; e = e->next) sx.insert(sx.begin(), e);
  for (expr* e : sx) texts_of(e, tva, strings);
  if (strings.empty()) strings.push_back(std::string(t->name->name) + ".tab");
  for (std::string& s : strings) st.strs.push_back(tcopy(ti, s.c_str()));
  ti->strings = st.strs.data();
  ti->nstrings = static_cast<int>(st.strs.size());
  st.cols.assign(size_t(ncol), DbCol{nullptr, nullptr});
  ti->cols = st.cols.data();

  if (rw) {
    ti->AddRows = BadAddRows;
    ti->Lookup = Wr_Lookup;
    ti->ColAlloc = Wr_ColAlloc;
    ti->AdjustMaxrows = Wr_AdjustMaxrows;
    std::string err = fill_write(ti, tva);
    if (!err.empty()) {
      f.text = err;
      return report(rw, t, f);
    }
    if (dbits & 4) {
      if (Write_vexo_tab1(own_exports(), ti, dbname.c_str())) {
        f.text = ti->Errmsg ? ti->Errmsg : "";
        return report(rw, t, f);
      }
    }
    if (!(dbits & 8) && !run_handlers(rw, t, ti, f)) return report(rw, t, f);
    set_sparam(table_errmsg, "");
    return false;
  }

  // Reading: a one-row scratch area; the rows go to a new set.
  ti->AddRows = Add_Rows;
  ti->Lookup = t->inset ? Rd_Lookup : No_Lookup;
  ti->AdjustMaxrows = No_AdjustMaxrows;
  ti->ColAlloc = No_ColAlloc;
  tin->inset = t->inset ? generated_members(t->inset, tva) : nullptr;
  st.rd.assign(size_t(ncol), 0.0);
  st.rs.assign(size_t(ncol), nullptr);
  for (int i = 0; i < ncol; ++i) {
    st.cols[size_t(i)].dval = &st.rd[size_t(i)];
    st.cols[size_t(i)].sval = &st.rs[size_t(i)];
  }
  tin->rows = set_enum(new_enum(), ti->arity);
  bool ok;
  if (dbits & 1) {
    ok = !Read_vexo_tab1(own_exports(), ti, dbname.c_str());
    if (!ok) f.text = ti->Errmsg ? ti->Errmsg : "";
  } else {
    if (dbits & 2) {
      tin->dbg = fopen(dbname.c_str(), "w");
      if (!tin->dbg) {
        f.text = "Cannot open table debug file \"" + dbname + "\".";
        outarg_clear(0, t);
        return report(rw, t, f);
      }
      Fprintf(tin->dbg, "vexo.tab %d %d\n", ti->arity, ti->ncols);
      for (int i = 0; i < ncol; ++i)
        Fprintf(tin->dbg, i + 1 < ncol ? "%s\t" : "%s", ti->colnames[i]);
    }
    ok = run_handlers(rw, t, ti, f);
    if (tin->dbg) Fprintf(tin->dbg, "\n");
  }
  if (!ok) {
    // What the failed read queued is dropped: nothing of it is stored.
    outarg_clear(0, t);
    return report(rw, t, f);
  }
  // A staged column is stored at once into a param that has no member yet
  // and is indexed over the rows (numbers for a numeric one); the other
  // staged columns join the pending values, to be checked and stored with
  // them.
  setdcl* into = rows_target(t);
  for (colx& c : st.cx)
    if (c.stage && (static_cast<param*>(c.d)->nvals || !indexed_by_rows(c.d, into) ||
                    (c.stage->strings && c.d->kind != DK_SPARAMI)))
      stage_to_outargs(c, tin->rows);
  outarg_check(t);
  if (store_setname(t, tin->rows)) {
    // The targets may be indexed over the set just stored: brought up to
    // date before their values are checked against their indexings.
    for (colx& c : st.cx)
      if (c.d) dep_note(c.d->num);
    xcg(0);
  }
  outarg_clear(1, t);
  // The rows are the set_name's members now, unless it had them already.
  set* tuples = tin->rows->nmem || !into ? tin->rows : into->value;
  for (colx& c : st.cx)
    if (c.stage) {
      if (static_cast<param*>(c.d)->nvals) {
        // Members came meanwhile: stored one by one instead.
        stage_to_outargs(c, tuples);
        outarg_clear(1, t);
      } else {
        stage_fill(c, tuples);
      }
    }
  set_sparam(table_errmsg, "");
  return false;
}

// Whether a write makes sense for the table (table_rw's checks); the
// message is reported.
bool write_refused(Table* t) {
  if (t->setname && (t->arrow & 2)) return false;
  if (!t->arity) return false;
  const char* why = nullptr;
  bool any = false;
  for (pvinfo* p = t->cols; p && !why; p = p->next) {
    if (!pv_in_dir(t, p, 2)) continue;
    any = true;
    pvinfo* m = (p->flags & PV_GROUP) ? p->members : p;
    for (; m && !why; m = (p->flags & PV_GROUP) ? m->next : nullptr) {
      if (m->ent && opcode(m->e) != OPXNODE && shape(m->e) == SH_SUBSCRIPTED)
        why = "involves subscripts.";
      else if (!m->ent || opcode(m->e) != OPXNODE)
        why = "has OUT or INOUT\n\tcolumns that require an explicit set_name.";
    }
  }
  if (!any) why = "no output pvnames.";
  if (!why) return false;
  error(0, "Table %s%s%s", t->name->name,
        " cannot be written:\n\tit was declared without a set_name and ",
        why);
  return true;
}

// One transfer of an indexed table: the subscript's values (evaluated in
// c), which must lie in the table's indexing, are held by the table's
// dummies while names, strings and values are evaluated.  True when the
// command must stop.
bool table_sub_rw1(int rw, Table* t, expr* subs, TVA* c) {
  symbol* tup[TUPMAX];
  int n = 0;
  for (expr* e = subs; e && n < TUPMAX; e = e->next) {
    if (has_flag(e, EF_NUMERIC)) {
      tup[n++] = Number(eval_num(e, c));
    } else if (has_flag(e, EF_STRING)) {
      cstr* x = eval_str(e, c);
      tup[n++] = Symbol(x->text(), 1);
      zap_cstr(&x);
    } else {
      tup[n++] = eval_sym(e, c);
    }
  }
  if (n != t->indexing->arity ||
      set_in(t->indexing, tup, c) == NOT_MEMBER) {
    error(0, "invalid subscript %s", sub_name(t, tup));
    bailout();
  }
  std::string text(1, '[');
  text.append(tuple_text(tup, n));
  text.push_back(']');
  TVA* w = ss_begin1(t->indexing, c, tup);
  bool stop = table_rw1(rw, t, w, text);
  ss_end1(t->indexing, w);
  return stop;
}

}  // namespace

void table_rw_cmd(cmd_fields* c) {
  cmd_arg* fa = c->f();
  int rw = static_cast<int>(fa[0].i);
  symbol* name = fa[2].b;
  expr* sub = fa[3].e;
  Table* t = nullptr;
  if (sub && opcode(sub) == OPXNODE && sub->R.i == -3)
    t = static_cast<Table*>(sub->L.x);
  else if (name->binding && bound_kind(name->binding) == DK_TABLE)
    t = static_cast<Table*>(name->binding);
  if (!t) {
    error(0, "%s is not a table.", name->name);
    return;
  }
  int b = rw ? 2 : 1;
  bool cols = false;
  for (pvinfo* p = t->cols; p; p = p->next)
    if (pv_in_dir(t, p, b)) cols = true;
  if (!cols && !(t->setname && (t->arrow & b) && t->arrow != 4)) {
    error(0, "Table %s cannot be %s.", t->name->name,
          rw ? "written" : "read");
    return;
  }
  if (rw && write_refused(t)) return;
  if (!rw && t->setname && (t->arrow & 1)) {
    set* s = t->setname;
    setdcl* sd = s->sclass == SC_NAMED ? static_cast<setdcl*>(s->owner)
                                       : nullptr;
    if (!sd || sd->asgn || (sd->sflags & SF_SYSTEM)) {
      cstr* st = sprset(s, 1);
      error(0, "Table %s cannot be read:\n\tset %s cannot be assigned a "
               "value%s.\n",
            t->name->name, st->text(),
            sd && sd->asgn ? "\n\tbecause it was declared with a := value"
                           : "");
      zap_cstr(&st);
      return;
    }
  }
  // The entities the columns use, brought up to date.
  dep_note(t->num);
  for (pvinfo* p = t->cols; p; p = p->next)
    if (p->ent) dep_note(p->ent->num);
  if (t->setname && t->setname->owner) dep_note(t->setname->owner->num);
  if (process1(nullptr)) return;

  // The subscript of an indexed table: the command's carrier holds the
  // table itself (unnamed tables), else the subscript list, read in the
  // scope of the command's indexing.
  set_spec* ix = fa[1].ss;
  expr* subs = t->indexing && sub && opcode(sub) != OPXNODE ? sub : nullptr;
  compile_start();
  if (ix) ss_setup(ix, nullptr);
  for (expr** pe = &subs; *pe; pe = &(*pe)->next) mri(pe, 1);
  if (ix) ss_teardown(ix);
  if (subs) fa[3].e = subs;
  if (t->indexing) ss_setup(t->indexing, nullptr);
  for (expr** pe = &t->strings; *pe; pe = &(*pe)->next)
    if (opcode(*pe) != OPSTR) mri(pe, 1);
  for (expr** pe = &t->keynames; *pe; pe = &(*pe)->next)
    if (opcode(*pe) != OPSTR) mri(pe, 1);
  // Set expressions compiled; a declared set is taken as it is.
  if (t->setname && t->setname->sclass != SC_NAMED) smri(&t->setname, 1);
  if (t->inset && t->inset->sclass != SC_NAMED) smri(&t->inset, 1);
  if (t->keyss) ss_setup(t->keyss, nullptr);
  for (pvinfo* p = t->cols; p; p = p->next) {
    if (!pv_in_dir(t, p, b)) continue;
    bool grp = p->flags & PV_GROUP;
    if (grp && p->gix) ss_setup(p->gix, nullptr);
    pvinfo* m = grp ? p->members : p;
    for (; m; m = grp ? m->next : nullptr) {
      if (m->name && opcode(m->name) != OPSTR) mri(&m->name, 1);
      if (rw && m->e && opcode(m->e) != OPXNODE) mri(&m->e, 1);
    }
    if (grp && p->gix) ss_teardown(p->gix);
  }
  if (t->keyss) ss_teardown(t->keyss);
  if (t->indexing) ss_teardown(t->indexing);
  tva_hold h{compile_end(c->xrp)};
  if (sparam_value(table_errmsg) && *sparam_value(table_errmsg)->text())
    set_sparam(table_errmsg, "");
  if (!t->indexing) {
    table_rw1(rw, t, h.t, "");
    return;
  }
  if (!ix) {
    table_sub_rw1(rw, t, subs, h.t);
    return;
  }
  // One transfer per member of the command's indexing, until one fails
  // without table_errbreak 4.
  if (TVA* w = ss_begin(ix, h.t)) {
    do {
      if (table_sub_rw1(rw, t, subs, w)) {
        ss_end1(ix, w);
        break;
      }
    } while (ss_continue(ix, w));
  }
}

}  // namespace vexo
