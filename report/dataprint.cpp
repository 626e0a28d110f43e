// The data printer.
#include "report/dataprint.h"

#include <cstring>
#include <string>

#include "data/values.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "report/modelprint.h"
#include "report/prex.h"
#include "report/prset.h"
#include "session/infiles.h"
#include "support/format.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

// Members already printed, by declaration number (a block of class
// printed_k; numbers beyond it count 0).
static int32_t* printed;
static int printed_k = -1;

static int32_t printed_count(const xnode* d) {
  size_t n = printed_k < 0 ? 0 : (size_t{8} << printed_k) / sizeof(int32_t);
  return d->num >= 0 && static_cast<size_t>(d->num) < n ? printed[d->num] : 0;
}

static void set_printed(const xnode* d, int32_t count) {
  if (d->num < 0) return;
  size_t need = (static_cast<size_t>(d->num) + 1) * sizeof(int32_t);
  if (printed_k < 0 || need > (size_t{8} << printed_k)) {
    int k = htcl(need < 256 ? 256 : 2 * need);
    int32_t* b = static_cast<int32_t*>(new_mblk(k, 1));
    if (printed_k >= 0) {
      std::memcpy(b, printed, size_t{8} << printed_k);
      del_mblk(printed_k, printed);
    }
    printed = b;
    printed_k = k;
  }
  printed[d->num] = count;
}

// Members of a parameter whose values are data: a scalar has its value
// once the array holds one, an indexed one a value per member of its
// data index.  The values of a defined parameter are computed, not data
// (read back, they would be refused).
static int32_t par_members(const param* p) {
  if (p->asgn || !p->vals) return 0;
  if (p->kind & 1) return p->dindex ? p->nvals : 0;
  return p->nvals >= 1 ? 1 : 0;
}

// Whether member i holds data (not a value computed from the default).
static bool data_member(const xnode2* d, int32_t i) {
  return !d->stat || !(d->stat[i] & MS_COMPUTED);
}

std::string data_subscript(int arity, symbol* const* tuple) {
  std::string t = "[";
  for (int k = 0; k < arity; ++k) {
    if (k) t += ',';
    if (is_number(tuple[k])) {
      t += tuple[k]->name;
    } else {
      char buf[512];
      Snprintf(buf, sizeof buf, "%Q", tuple[k]->name);
      t += buf;
    }
  }
  return t + "]";
}

// "[a,b] " for the subscript of a member.
static void put_subscript(int arity, symbol* const* tuple) {
  put((data_subscript(arity, tuple) + " ").c_str());
}

static void put_value(const param* p, int i) {
  if (p->type & PT_SYMBOLIC) {
    // The symbol, or the string while no symbol was wanted yet.
    const symval* v = static_cast<const symval*>(p->vals) + i;
    const char* t = v->sym ? v->sym->name : v->str ? v->str->text() : "";
    putf("%q", t);
    return;
  }
  expr n{};
  n.opword = opword(OPNUM, EF_CONST | EF_NUMERIC);
  n.L.d = static_cast<const double*>(p->vals)[i];
  prex(&n);
}

void print_par(param* p, int mode) {
  if (mode == 0) {
    print_dcl(p);
    return;
  }
  int32_t n = par_members(p);
  if (mode < 0 || n <= printed_count(p)) {
    set_printed(p, n);
    return;
  }
  putf("param %s := ", dcl_name(p));
  if (!(p->kind & 1)) {
    put_value(p, 0);
  } else {
    int32_t from = printed_count(p);
    for (setmem* m = p->dindex->first; m; m = m->next) {
      if (m->ord < from || m->ord >= p->nvals || !data_member(p, m->ord))
        continue;
      pbi_flush1();
      put_subscript(p->dindex->arity, m->tup());
      put_value(p, m->ord);
    }
  }
  pbi_flush();
  set_printed(p, n);
}

// The members of set v after "... := ": on the same line when there is
// one, else each on a line of its own.
static void put_members(set* v) {
  bool one = v->nmem == 1;
  for (setmem* m = v->first; m; m = m->next) {
    if (m->ord < 0) continue;
    if (!one) pbi_flush1();
    prmem(v->arity, m->tup());
  }
}

// An indexed set's data: a statement "set S[sub] := ...;" for each member
// of its index not written yet.
static void print_setmembers(setdcl* d) {
  int32_t n = d->dindex && d->vals ? d->nvals : 0;
  int32_t from = printed_count(d);
  if (n > from) {
    for (setmem* m = d->dindex->first; m; m = m->next) {
      if (m->ord < from || m->ord >= n || !data_member(d, m->ord)) continue;
      set* v = static_cast<set**>(d->vals)[m->ord];
      if (!v) continue;
      putf("set %s", dcl_name(d));
      put_subscript(d->dindex->arity, m->tup());
      put(":= ");
      put_members(v);
      pbi_flush();
    }
  }
  set_printed(d, n);
}

void print_setdcl(setdcl* d, int mode) {
  if (mode == 0) {
    print_dcl(d);
    return;
  }
  if ((d->kind & 1) && !d->asgn && mode > 0) {
    print_setmembers(d);
    return;
  }
  // A scalar set is written once, with all its members; a defined set's
  // members are computed, not data.
  set* v = (d->kind & 1) || d->asgn ? nullptr : d->value;
  int32_t n = v && v->nmem > 0 ? 1 : 0;
  if (mode < 0 || n <= printed_count(d)) {
    set_printed(d, n);
    return;
  }
  putf("set %s := ", dcl_name(d));
  put_members(v);
  pbi_flush();
  set_printed(d, n);
}

void print_data1(xnode* d, int mode) {
  switch (d->kind) {
    case DK_PARAM:
    case DK_PARAMI:
    case DK_SPARAM:
    case DK_SPARAMI:
      print_par(static_cast<param*>(d), mode);
      break;
    case DK_SET:
    case DK_SETI:
      print_setdcl(static_cast<setdcl*>(d), mode);
      break;
  }
}

void print_data(int mode) {
  int32_t saved = listing_quotes;
  if (in_snapshot) listing_quotes = 1;
  disp_width = display_width;
  if (mode == 1) {
    put("data");
    pbi_flush();
  } else if (mode > 0) {
    put("#Generated data....");
    pbi_flush();
  }
  for (xnode* d = decls; d; d = d->next)
    if (d->num >= N_System_Pars) print_data1(d, mode);
  if (mode == 1) {
    put("end");
    pbi_flush();
  }
  listing_quotes = saved;
}

void dataprint_reset() {
  printed = nullptr;
  printed_k = -1;
}

}  // namespace vexo
