// Declaration records: numbering, dependencies, class lists, chaining and
// redeclaration.
#include "frontend/decl.h"

#include <cstring>
#include <utility>
#include <vector>

#include "eval/builtin.h"
#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/paramdcl.h"
#include "frontend/rawtok.h"
#include "frontend/vardcl.h"
#include "instance/problem.h"
#include "instance/xcg.h"
#include "report/print.h"
#include "session/cmdrec.h"
#include "session/xref.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/sysdecls.h"
#include "support/format.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

// Slots, class and rebind flag by kind; kinds 27..41 are not declarations
// chained here, except 28 (filed as a variable once it becomes kind 3) and
// 39 (filed with the functions).
const uint8_t xn_inc[N_DKINDS] = {0, 0, 2, 2, 1, 1, 1, 1, 2, 2, 2, 2, 0, 1,
                                  1, 1, 2, 2, 2, 2, 1, 1, 1, 1, 2, 1, 1, 0,
                                  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0};
const int8_t xtype[N_DKINDS] = {-1, -1, 3,  3,  1,  1,  2,  2,  4,  4,  5,
                                5,  -1, 7,  1,  1,  10, 10, 9,  9,  0,  0,
                                13, 13, 14, 6,  15, -1, 3,  -1, -1, -1, -1,
                                -1, -1, -1, -1, -1, -1, 6,  -1, -1};
const uint8_t rddef[N_DKINDS] = {0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0,
                                 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 1, 0, 0,
                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

xclass_rec xclass[N_XCLASS];
dep_acc dac;

xnode* decls;
xnode** declslast;
static xnode no_redecl;  // its address means "nothing is redeclared"
xnode* const old_obj0 = &no_redecl;
xnode* old_obj = &no_redecl;
xnode* rec_xnode;
int recursive;
double nextgenlev = 2.0;
int trans_state;
xnode* lastrev;
const char* dseen;
xnode* dxseen;
const char* dseenexpl;
xnode variable_arg;
uint8_t alg_comp[N_OPCODES];

dummy* lastloopdummy;

// Size class of the first by-number block: (8 << 8) / 20 = 102 numbers.
constexpr int DAC_K0 = 8;

// Replaces the by-number arrays by ones of two size classes more (the
// first block when there is none).  One block holds, per number, a pointer
// and two 32-bit words: (8 << k) / 16 entries.
static void dac_grow() {
  int nk = dac.bynum ? dac.k + 2 : DAC_K0;
  size_t bytes = size_t{8} << nk;
  int32_t ncap = static_cast<int32_t>(bytes / 16);
  char* blk = static_cast<char*>(new_mblk(nk, 1));
  xnode** bynum = reinterpret_cast<xnode**>(blk);
  int32_t* mark = reinterpret_cast<int32_t*>(blk + ncap * sizeof(xnode*));
  uint32_t* list = reinterpret_cast<uint32_t*>(mark + ncap);
  if (dac.bynum) {
    size_t n = dac.cap;
    std::memcpy(bynum, dac.bynum, n * sizeof(xnode*));
    std::memcpy(mark, dac.mark, n * sizeof(int32_t));
    std::memcpy(list, dac.list, n * sizeof(uint32_t));
    del_mblk(dac.k, dac.bynum);
  }
  dac.k = nk;
  dac.cap = ncap;
  dac.bynum = bynum;
  dac.mark = mark;
  dac.list = list;
}

void decl_reset() {
  decls = nullptr;
  declslast = &decls;
  std::memset(static_cast<void*>(xclass), 0, sizeof xclass);
  dac = dep_acc{};
  dac_grow();
  old_obj = old_obj0;
  rec_xnode = nullptr;
  recursive = 0;
  nextgenlev = 2.0;
  trans_state = 0;
  lastrev = nullptr;
  dseen = nullptr;
  dxseen = nullptr;
  dseenexpl = nullptr;
  lastloopdummy = nullptr;
}

const char* xnode_name(const xnode* x) {
  if (x->kind == DK_CHECK) return "check";
  return x->name ? x->name->name : "?";
}

void xrecomp_constr(xnode* x, symbol* name, cstr* alias, set_spec* indexing,
                    uint32_t kind, int rebind) {
  x->kind = kind;
  x->name = name;
  x->alias = alias;
  x->indexing = indexing;
  x->oldval = name ? name->binding : nullptr;
  if (name && x->oldval != old_obj && rebind) {
    name->binding = x;
    Curdclname = name;
    Oldval = x->oldval;
  }
  x->stamp = 1.0;
  x->xr.instamp = 1.0;
}

void redecl_start(symbol* name) {
  void* b = name->binding;
  old_obj =
      (!b || bound_kind(b) == DK_NOBIND) ? old_obj0 : static_cast<xnode*>(b);
  cmd_start = 6;
}

int check_slot(double n, char (&text)[32]) {
  Snprintf(text, sizeof text, "%s", gfmt(n, 0, nullptr));
  // Compared as a double: a number beyond the int range (or not a number)
  // names no check.
  if (!(n >= 1 && n < xclass[XC_CHECKS].n + 1.)) return 0;
  return static_cast<int>(n);
}

void redecl_check(double n) {
  char text[32];
  if (int k = check_slot(n, text)) {
    if (xnode* d = xclass[XC_CHECKS].a[k - 1]) old_obj = d;
    return;
  }
  error(0, "Bad check number; treating \"redeclare check %s\" as \"check\".",
        text);
}

void xrefer(xnode* x, uint32_t n) {
  if (x->nrefs >= x->refcap) {
    if (!x->refs) {
      // Class 0 holds two numbers; each class doubles that.
      x->refk = 0;
      x->refcap = 2;
      x->refs = static_cast<uint32_t*>(new_mblk(0));
    } else {
      x->refs = static_cast<uint32_t*>(
          ext_mblk(x->refk, x->refs, x->refk + 1, x->nrefs * sizeof(uint32_t)));
      x->refk++;
      x->refcap *= 2;
    }
  }
  x->refs[x->nrefs++] = n;
}

// Appends n to the dependencies of x (its array grows by size class).
void add_dep(xnode* x, uint32_t n) {
  int k0 = x->ndeps ? htcl(4 * static_cast<size_t>(x->ndeps)) : -1;
  int k1 = htcl(4 * static_cast<size_t>(x->ndeps + 1));
  if (k0 != k1) {
    uint32_t* a = static_cast<uint32_t*>(new_mblk(k1));
    if (x->deps) {
      std::memcpy(a, x->deps, 4 * static_cast<size_t>(x->ndeps));
      del_mblk(k0, x->deps);
    }
    x->deps = a;
  }
  x->deps[x->ndeps++] = n;
}

void unxrefer(xnode* x, uint32_t n) {
  int k = 0;
  for (int i = 0; i < x->nrefs; ++i)
    if (x->refs[i] != n) x->refs[k++] = x->refs[i];
  x->nrefs = k;
}

// Keeps the dependencies of x for which keep(number) holds, each mapped
// through to(number); the array is reallocated in its new size class.
template <class Keep, class To>
static void filter_deps(xnode* x, Keep keep, To to) {
  int n = 0;
  for (int i = 0; i < x->ndeps; ++i) n += keep(x->deps[i]) ? 1 : 0;
  uint32_t* nd = n ? static_cast<uint32_t*>(new_mblk(htcl(4 * size_t(n))))
                   : nullptr;
  int k = 0;
  for (int i = 0; i < x->ndeps; ++i)
    if (keep(x->deps[i])) nd[k++] = to(x->deps[i]);
  if (x->deps) del_mblk(htcl(4 * static_cast<size_t>(x->ndeps)), x->deps);
  x->deps = nd;
  x->ndeps = n;
}

void undep(xnode* x, uint32_t n) {
  bool found = false;
  for (int i = 0; i < x->ndeps; ++i)
    found |= x->deps[i] == n || x->deps[i] == n + 1;
  if (!found) return;
  filter_deps(
      x, [n](uint32_t m) { return m != n && m != n + 1; },
      [](uint32_t m) { return m; });
}

void dep_note(int num) {
  if (!dac.bynum) dac_grow();
  if (dac.mark[num]++ == 0) dac.list[dac.n++] = static_cast<uint32_t>(num);
}

void note_self_ref() { ++recursive; }

void dac_clear() {
  for (int i = 0; i < dac.n; i++) dac.mark[dac.list[i]] = 0;
  dac.n = 0;
}

int32_t dac_set_aside() {
  int32_t n = dac.n;
  dac.n = 0;
  return n;
}

void dac_take_back(int32_t n) { dac.n = n; }

void dac_load(const uint32_t* nums, const int32_t* marks, int32_t n) {
  dac_clear();
  for (int32_t i = 0; i < n; ++i) {
    dac.list[i] = nums[i];
    dac.mark[nums[i]] = marks[i];
  }
  dac.n = n;
}

void dep_reset() {
  dac_clear();
  forget_bad_names();
}

// What the entity whose generated or solved value a declaration refers to
// is, for the "must be redeclared" report; null for other entities (a
// system set), which get the plain report.
static const char* seen_what(const xnode* x) {
  switch (x->kind) {
    case DK_VAR:
    case DK_VARI:
      return (x->flags & 32) ? "a defined variable" : "a variable";
    case DK_SVAR:
    case DK_SVARI:
      return "a variable";
    case DK_CON:
    case DK_CONI:
      return "a constraint";
    case DK_OBJ:
    case DK_OBJI:
      return "an objective";
    case DK_PROB:
    case DK_PROBI:
      return "a problem";
    default:
      return nullptr;
  }
}

// The "must be redeclared" report of a declaration whose stored text says
// what generated or solved values it refers to.  The reason names what the
// entity behind the value is (not every such entity is a defined
// variable).
static void redecl_report(xnode* d) {
  const char* text = d->dseen->text();
  const char* nm = xnode_name(d);
  const char* what = dxseen ? seen_what(dxseen) : nullptr;
  if (what) {
    error(0, "%s must be redeclared without %s because %s is %s.", nm, text,
          xnode_name(dxseen), what);
  } else if (dseenexpl) {
    const char* fmt = dseenexpl;
    dseenexpl = nullptr;
    error(0, fmt, nm, text);
  } else {
    error(0, "%s must be redeclared without %s", nm, text);
  }
}

void redcl_warn(xnode* d) {
  if (d->dseen) redecl_report(d);
}

// Stores in the head the text naming what the declaration needs of
// generated or solved values, and reports it (not for the marker case).
static void note_dseen(xnode* d) {
  const char* ds = dseen;
  dseen = nullptr;
  bool marker = dxseen == &variable_arg;
  const char* pre = (dxseen && !marker) ? xnode_name(dxseen) : "";
  const char* post = marker ? "(... variable ...)" : "";
  size_t n = std::strlen(pre) + std::strlen(ds) + std::strlen(post);
  cstr* c = new_cstr(n + 1);
  char* t = c->text();
  std::strcpy(t, pre);
  std::strcat(t, ds);
  std::strcat(t, post);
  if (d->dseen) zap_cstr(&d->dseen);
  d->dseen = c;
  if (!marker) redecl_report(d);
}

// A dummy record is {next, kind, name, ...}, the same head as a
// declaration's.
const char* dummy_name(const dummy* dm) {
  symbol* s;
  std::memcpy(&s, reinterpret_cast<const char*>(dm) + offsetof(xnode, name),
              sizeof s);
  return s ? s->name : "?";
}

// Marks a class's system set ungenerated.
static void sysset_stale(int c) {
  if (c > XC_ALLVARS) return;
  if (set* s = sysset_of(xclass[c].sysdcl)) {
    s->nmem = -1;
    s->stamp = nextgenlev;
  }
}

// Appends d to class list c; returns its position.  Checks are numbered
// from 1.
static int file_in(int c, xnode* d) {
  xclass_rec& x = xclass[c];
  if (x.n >= x.cap) {
    if (!x.a) {
      x.k = 0;
      x.cap = 1;
      x.a = static_cast<xnode**>(new_mblk(0));
    } else {
      x.a = static_cast<xnode**>(
          ext_mblk(x.k, x.a, x.k + 1, x.n * sizeof(xnode*)));
      x.k++;
      x.cap *= 2;
    }
  }
  int pos = x.n++;
  x.a[pos] = d;
  d->classnum = c == XC_CHECKS ? pos + 1 : pos;
  sysset_stale(c);
  return pos;
}

static bool is_variable(uint32_t kind) {
  return kind == DK_VAR || kind == DK_VARI || kind == DK_SVAR ||
         kind == DK_SVARI;
}

static void file_decl(xnode* d) {
  uint32_t kind = d->kind;
  if (kind >= N_DKINDS || xtype[kind] < 0) return;
  if (is_variable(kind)) {
    int c = (d->flags & XF_SYMBOLIC) ? XC_SYMVARS
            : (d->flags & XF_RANDOM) ? XC_RANDVARS
                                     : XC_VARS;
    static_cast<var*>(d)->subclass = static_cast<uint32_t>(file_in(c, d));
    file_in(XC_ALLVARS, d);
  } else if (kind == DK_CON || kind == DK_CONI) {
    bool logical = con_logical(d);
    file_in(logical ? XC_LOGCONS : XC_CONS, d);
  } else {
    file_in(xtype[kind], d);
  }
}

int yychain(xnode* d, xnode** old) {
  *old = nullptr;
  forget_bad_names();
  randvar_cleanup();
  if (!dac.bynum) dac_grow();
  if (!declslast) declslast = &decls;
  bool is_check = d->kind == DK_CHECK;

  if (cmdstate) {
    const char* pfx = "Abandoning compound command to accept ";
    if (is_check)
      error(0, "%scheck declaration.", pfx);
    else
      error(0, "%sdeclaration of %s.\n", pfx, xnode_name(d));
    if (lastloopdummy) {
      error(0, "Rejecting declaration because it uses loop dummy %s.",
            dummy_name(lastloopdummy));
      cmd_reset2();
      if (!is_check && d->name) d->name->binding = d->oldval;
      // The redeclaration, if any, ends with the statement, and what it
      // referred to must not become the next declaration's dependencies.
      old_obj = old_obj0;
      dep_reset();
      return 1;
    }
    cmd_reset2();
  }

  xnode* oo = old_obj;
  old_obj = old_obj0;
  bool redecl = false;
  if (oo != old_obj0) {
    int r = redclchk(oo, d, old);
    if (r == 2) {
      dep_reset();
      return 1;
    }
    redecl = r == 1;
    if (!redecl) *old = nullptr;
  }

  if (dseen && d->kind != DK_TABLE) note_dseen(d);

  if (!redecl) {
    *declslast = d;
    declslast = &d->next;
    d->num = dac.next;
    dac.bynum[d->num] = d;
    dac.next += d->kind < N_DKINDS ? xn_inc[d->kind] : 0;
  }
  d->ndeps = dac.n;
  if (dac.n) {
    int n = dac.n;
    dac.n = 0;
    dac.dk = htcl(4 * static_cast<size_t>(n));
    d->deps = static_cast<uint32_t*>(new_mblk(dac.dk));
    for (int i = 0; i < n; i++) {
      uint32_t num = dac.list[i];
      d->deps[i] = num;
      dac.mark[num] = 0;
      if (xnode* x = dac.bynum[num]) xrefer(x, d->num);
    }
  }
  if (redecl) {
    d->stamp = nextgenlev;
    nextgenlev += 1;
    return 0;
  }

  if (dac.next >= dac.cap) dac_grow();
  if (d->kind < N_DKINDS && xn_inc[d->kind] == 2) dac.bynum[d->num + 1] = d;
  file_decl(d);
  return 0;
}

// Takes d out of class list c when it is there; the entries after it move
// up and take their new positions.
static void file_out(int c, xnode* d) {
  xclass_rec& x = xclass[c];
  int pos = 0;
  while (pos < x.n && x.a[pos] != d) ++pos;
  if (pos == x.n) return;
  for (int i = pos + 1; i < x.n; ++i) {
    xnode* e = x.a[i];
    x.a[i - 1] = e;
    bool var_sub = c == XC_VARS || c == XC_SYMVARS || c == XC_RANDVARS;
    if (var_sub && is_variable(e->kind))
      static_cast<var*>(e)->subclass = static_cast<uint32_t>(i - 1);
    else if (c == XC_CHECKS)
      static_cast<check*>(e)->chknum = e->classnum = i;
    else
      e->classnum = i - 1;
  }
  --x.n;
  sysset_stale(c);
}

void x_free(xnode* d) {
  xnode* prev = nullptr;
  for (xnode* x = decls; x && x != d; x = x->next) prev = x;
  if (prev || decls == d) {
    (prev ? prev->next : decls) = d->next;
    if (declslast == &d->next) declslast = prev ? &prev->next : &decls;
    if (lastrev == d) lastrev = prev;
    d->next = nullptr;
  }
  for (int c = 0; c < N_XCLASS; ++c) file_out(c, d);
  int slots = d->kind < N_DKINDS ? xn_inc[d->kind] : 0;
  for (int i = 0; i < slots; ++i) {
    int32_t n = d->num + i;
    if (n >= 0 && n < dac.next && dac.bynum[n] == d) {
      dac.bynum[n] = nullptr;
      ++dac.nfree;
    }
  }
  while (dac.next > 0 && !dac.bynum[dac.next - 1]) {
    --dac.next;
    --dac.nfree;
  }
}

void dac_renumber(const int32_t* map, int32_t newnext) {
  int32_t old = dac.next;
  std::vector<xnode*> by(dac.bynum, dac.bynum + old);
  auto keep = [&](uint32_t m) { return m < uint32_t(old) && map[m] >= 0; };
  auto to = [&](uint32_t m) { return static_cast<uint32_t>(map[m]); };
  for (int32_t i = 0; i < old; ++i) {
    xnode* x = by[size_t(i)];
    if (!x || x->num != i) continue;  // an empty or second slot
    filter_deps(x, keep, to);
    int k = 0;
    for (int j = 0; j < x->nrefs; ++j)
      if (keep(x->refs[j])) x->refs[k++] = to(x->refs[j]);
    x->nrefs = k;
  }
  for (int32_t i = 0; i < old; ++i) dac.bynum[i] = nullptr;
  for (int32_t i = 0; i < old; ++i)
    if (xnode* x = by[size_t(i)]; x && map[i] >= 0) dac.bynum[map[i]] = x;
  // A record's number is its first slot's: the new numbers are taken
  // before any is changed.
  std::vector<std::pair<xnode*, int32_t>> renum;
  for (int32_t i = 0; i < old; ++i)
    if (xnode* x = by[size_t(i)]; x && x->num == i && map[i] >= 0)
      renum.emplace_back(x, map[i]);
  for (auto& [x, n] : renum) x->num = n;
  // Numbers being collected for a declaration follow, with their marks.
  std::vector<int32_t> marks(size_t(dac.n));
  for (int32_t i = 0; i < dac.n; ++i) {
    marks[size_t(i)] = dac.mark[dac.list[i]];
    dac.mark[dac.list[i]] = 0;
  }
  int32_t kept = 0;
  for (int32_t i = 0; i < dac.n; ++i) {
    uint32_t m = dac.list[i];
    if (!keep(m)) continue;
    dac.list[kept] = to(m);
    dac.mark[to(m)] = marks[size_t(i)];
    ++kept;
  }
  dac.n = kept;
  dac.next = newnext;
  dac.nfree = 0;
}

void dcl_number(xnode* d) {
  if (!dac.bynum) dac_grow();
  d->num = dac.next;
  dac.bynum[d->num] = d;
  dac.next += d->kind < N_DKINDS ? xn_inc[d->kind] : 0;
  if (dac.next >= dac.cap) dac_grow();
}

xnode* x_copy(xnode* old, xnode* d, int pool_kind) {
  xnode* r = d;
  if (old) {
    size_t size = xmem_size(pool_kind);
    if (size < sizeof(xnode))
      bug("x_copy: record kind %d is not a declaration pool", pool_kind);
    // The surviving record stays where it is in decls and in its class
    // list, keeps the binding its name had before it was first declared,
    // and keeps the declarations that refer to it.
    xnode keep = *old;
    if (old->deps && old->deps != d->deps)
      del_mblk(htcl(4 * static_cast<size_t>(old->ndeps)), old->deps);
    std::memcpy(static_cast<void*>(old), d, size);
    old->next = keep.next;
    old->oldval = keep.oldval;
    old->num = keep.num;
    old->classnum = keep.classnum;
    old->refs = keep.refs;
    old->nrefs = keep.nrefs;
    old->refk = keep.refk;
    old->refcap = keep.refcap;
    xmem_free(pool_kind, d);
    r = old;
  }
  if (r->kind < N_DKINDS && rddef[r->kind] && r->name) r->name->binding = r;
  return r;
}

void decl_rev() {
  xnode* x = lastrev ? lastrev->next : decls;
  for (; x; x = x->next) {
    if (x->kind == DK_VAR || x->kind == DK_VARI) var_rev(x);
    lastrev = x;
  }
}

bool decl_rev_passed(const xnode* x) {
  if (!lastrev) return false;
  for (const xnode* y = lastrev->next; y; y = y->next)
    if (y == x) return false;
  return true;
}

int set_trans_state(int s) {
  if (s != trans_state) {
    trans_state = s;
    if (double* c = sysparam_cell(static_cast<param*>(Pd_trans_state))) {
      *c = s;
      Pd_trans_state->stamp = nextgenlev;
    }
  }
  return s;
}

void raise_nextgenlev(double top) {
  if (top >= nextgenlev) nextgenlev = top + 1;
}

void tc_zap() {
  if (trans_state) set_trans_state(0);
  drop_tsr();
}

void redeclares(xnode* d) { old_obj = d; }

void set_sysdcl(int c, xnode* d) { xclass[c].sysdcl = d; }

xnode* xclass_find(int c, const symbol* name) {
  const xclass_rec& r = xclass[c];
  for (int i = 0; i < r.n; ++i)
    if (r.a[i] && r.a[i]->name == name) return r.a[i];
  return nullptr;
}

void redecl_of_class(int c, const symbol* name) {
  if (xnode* d = xclass_find(c, name)) old_obj = d;
}

}  // namespace vexo
