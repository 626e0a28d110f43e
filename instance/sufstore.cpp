// Suffix values of generated members.
#include "instance/sufstore.h"

#include <algorithm>

#include <cmath>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "compiler/tva.h"
#include "eval/pcheck.h"
#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/problem.h"
#include "instance/sufdecl.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/opttable.h"
#include "session/sysdecls.h"
#include "support/block.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

const int suf_classes[5] = {XC_VARS, XC_CONS, XC_LOGCONS, XC_OBJS, XC_PROBS};

sufstore* suf_store(xnode* d) {
  switch (d->kind) {
    case DK_VAR:
    case DK_VARI:
    case DK_CON:
    case DK_CONI:
    case DK_OBJ:
    case DK_OBJI:
      return &static_cast<convar*>(d)->sufs;
    case DK_PROB:
    case DK_PROBI:
      return &static_cast<problem*>(d)->sufs;
    default:
      return nullptr;
  }
}

SufVal* sufval_of(xnode* d, int k) {
  sufstore* st = suf_store(d);
  return st && k < st->n_suf_vals ? st->suf_vals[k] : nullptr;
}

bool suf_int(double x) {
  return x == std::trunc(x) && std::fabs(x) <= 2147483647.;
}

namespace {

// The writer's entity class of d's kind (variables 0, constraints 1,
// objectives 2), or -1.
int entity_class(const xnode* d) {
  switch (d->kind & ~1u) {
    case DK_VAR:
      return 0;
    case DK_CON:
      return 1;
    case DK_OBJ:
      return 2;
    default:
      return -1;
  }
}

// The slot of an entity's name: its member number (0 for a scalar), both
// rows of a complementarity constraint side by side.
int32_t name_slot(const xname& nm, int32_t shift) {
  int32_t m = nm.subs ? nm.subs->ord : 0;
  int32_t side = nm.tail && nm.tail[0] == '.' && nm.tail[1] == 'R' ? 1 : 0;
  return (m << shift) + (shift ? side : 0);
}

// log2 of the value slots of each of d's members.
int32_t slot_shift(const xnode* d) {
  return (d->flags & CV_TWOSLOTS) && entity_class(d) == 1 ? 1 : 0;
}

// A copy of the members of s (null when it has none).
set* copy_members(set* s) {
  return s && s->nmem > 0 ? set_copy(s) : nullptr;
}

// Member slots of d's value blocks: its members (1 for a scalar) shifted
// by suf_shift.
int32_t slot_count(xnode* d, const sufstore* st) {
  int32_t n = 1;
  if ((d->kind & 1) && d->kind != DK_PROBI) {
    const cvgen& g = static_cast<convar*>(d)->gen;
    n = g.members ? g.member_count : 0;
  }
  return n << st->suf_shift;
}

// d's value record for suffix number k, made zeroed (the array grown as
// needed; a first array also keeps the members as suf_subs).
SufVal* new_record(xnode* d, int k, AC* ac, int32_t* slots) {
  sufstore* st = suf_store(d);
  if (!st) bug("suffix values for %s", xnode_name(d));
  if (ac) {
    int c = entity_class(d);
    if (c >= 0) cvszap(&ac->seen[c]);
  }
  if (!st->suf_vals) {
    st->suf_shift = slot_shift(d);
    st->vals_k = htcl(sizeof(SufVal*) * size_t(k + 1));
    st->suf_vals = static_cast<SufVal**>(new_mblk(st->vals_k, 1));
    if ((d->kind & 1) && d->kind != DK_PROBI)
      st->suf_subs = copy_members(static_cast<convar*>(d)->gen.members);
  } else if (st->n_suf_vals <= k) {
    int knew = htcl(sizeof(SufVal*) * size_t(k + 1));
    if (knew > st->vals_k) {
      st->suf_vals = static_cast<SufVal**>(
          upgrade(st->suf_vals, st->vals_k, knew,
                  sizeof(SufVal*) * size_t(st->n_suf_vals)));
      st->vals_k = knew;
    }
  }
  if (st->n_suf_vals <= k) st->n_suf_vals = k + 1;
  if (st->suf_vals[k]) dotdel2(st, k);
  SufVal* v = static_cast<SufVal*>(new_mblk(htcl(sizeof(SufVal)), 1));
  st->suf_vals[k] = v;
  *slots = slot_count(d, st);
  return v;
}

}  // namespace

SufVal* suf_dflt(xnode* d, suffix* s, AC* ac) {
  int32_t n;
  SufVal* v = new_record(d, s->classnum, ac, &n);
  v->values_class = htcl(sizeof(double) * size_t(n));
  v->values = static_cast<double*>(new_mblk(v->values_class, 1));
  double x = s->init_value;
  if (x != 0) {
    for (int32_t i = 0; i < n; ++i) v->values[i] = x;
    (suf_int(x) ? v->n_int : v->n_real) = n;
  }
  return v;
}

SufVal* suf_dflt0(xnode* d, suffix* s, AC* ac, int k) {
  int32_t n;
  SufVal* v = new_record(d, s->classnum, ac, &n);
  v->values_class = k;
  v->values = static_cast<double*>(new_mblk(k, 1));
  return v;
}

void sufv_adjust(SufVal* v, double oldv, double newv) {
  if (oldv != 0) --(suf_int(oldv) ? v->n_int : v->n_real);
  if (newv != 0) ++(suf_int(newv) ? v->n_int : v->n_real);
}

bool suf_put(xnode* d, suffix* s, int32_t slot, double x, AC* ac) {
  SufVal* v = sufval_of(d, s->classnum);
  if (!v) {
    if (x == s->init_value) return false;
    v = suf_dflt(d, s, ac);
  }
  double& cell = v->values[slot];
  if (std::memcmp(&cell, &x, sizeof x) == 0) return false;
  sufv_adjust(v, cell, x);
  cell = x;
  v->changed = nextgenlev;
  v->checked = 0;
  return true;
}

bool suf_put_name(const xname& nm, suffix* s, double x, AC* ac) {
  if (!nm.decl || !suf_store(nm.decl)) return false;
  return suf_put(nm.decl, s, name_slot(nm, slot_shift(nm.decl)), x, ac);
}

void dotdel2(sufstore* st, int k) {
  SufVal* v = st->suf_vals[k];
  if (!v) return;
  if (v->values) del_mblk(v->values_class, v->values);
  del_mblk(htcl(sizeof(SufVal)), v);
  st->suf_vals[k] = nullptr;
}

void suf_recheck(const suffix* s) {
  for (int cls : suf_classes) {
    const xclass_rec& c = xclass[cls];
    for (int i = 0; i < c.n; ++i)
      if (SufVal* v = c.a[i] ? sufval_of(c.a[i], s->classnum) : nullptr)
        v->checked = 0;
  }
}

void dotdel1(int k, int cls) {
  const xclass_rec& c = xclass[cls];
  for (int i = 0; i < c.n; ++i) {
    sufstore* st = c.a[i] ? suf_store(c.a[i]) : nullptr;
    if (!st || st->n_suf_vals <= k) continue;
    dotdel2(st, k);
    int32_t n = --st->n_suf_vals;
    std::memmove(st->suf_vals + k, st->suf_vals + k + 1,
                 sizeof(SufVal*) * size_t(n - k));
    st->suf_vals[n] = nullptr;
    if (!n) {
      del_mblk(st->vals_k, st->suf_vals);
      st->suf_vals = nullptr;
      st->vals_k = 0;
      if (st->suf_subs) sdelete(st->suf_subs);
      st->suf_subs = nullptr;
      continue;
    }
    int knew = htcl(sizeof(SufVal*) * size_t(n));
    if (knew < st->vals_k) {
      st->suf_vals = static_cast<SufVal**>(
          ext_mblk(st->vals_k, st->suf_vals, knew, sizeof(SufVal*) * n));
      st->vals_k = knew;
    }
  }
}

void sufs_clear(int k) {
  for (int cls : suf_classes) {
    const xclass_rec& c = xclass[cls];
    for (int i = 0; i < c.n; ++i) {
      sufstore* st = c.a[i] ? suf_store(c.a[i]) : nullptr;
      if (st && k < st->n_suf_vals) dotdel2(st, k);
    }
  }
}

// ---- values for the writer --------------------------------------------------

namespace {


// Truncation to int32; NaN (and what does not fit) gives INT32_MIN.
int32_t trunc32(double x) {
  if (!(x >= -2147483648. && x < 2147483648.)) return INT32_MIN;
  return static_cast<int32_t>(x);
}

}  // namespace

int sufget(CVseen* seen, suffix* s, int* k, int32_t** ivals, int32_t** pos,
           int n, double** rvals, const xname* names, const int32_t* order,
           int split, int extra) {
  *ivals = nullptr;
  *pos = nullptr;
  *rvals = nullptr;
  if (n < 1) return 0;
  int64_t ni = 0, nr = 0;
  xnode** decls = reinterpret_cast<xnode**>(seen->block);
  for (int32_t i = 0; i < seen->n_decls; ++i) {
    SufVal* v = sufval_of(decls[i], s->classnum);
    if (!v) continue;
    int twice = suf_store(decls[i])->suf_shift ? 2 : 1;
    ni += int64_t(v->n_int) * twice;
    nr += int64_t(v->n_real) * twice;
  }
  if (ni + nr == 0) return 0;
  size_t cap = size_t(ni + nr + extra);
  bool real = nr > 0;
  *k = htcl(cap * (real ? 12 : 8));
  void* block = new_mblk(*k, 1);
  double* dv = real ? static_cast<double*>(block) : nullptr;
  int32_t* iv = real ? nullptr : static_cast<int32_t*>(block);
  int32_t* pv = real ? reinterpret_cast<int32_t*>(dv + cap) : iv + cap;
  bool der = s == derstage_suf;
  int count = 0;
  for (int i = 0; i < n && size_t(count) < cap; ++i) {
    int32_t j = order ? order[i] : i;
    bool high = j >= split;
    if (high) j -= split;
    const xname& nm = names[j];
    if (!nm.decl) continue;
    SufVal* v = sufval_of(nm.decl, s->classnum);
    if (!v) continue;
    double x = v->values[name_slot(nm, suf_store(nm.decl)->suf_shift)];
    if (x == 0) continue;
    if (real) {
      dv[count] = x;
    } else {
      int32_t t = trunc32(x);
      if (der) t = high ? t >> 16 : t & 0xffff;
      iv[count] = t;
    }
    pv[count++] = i;
  }
  *ivals = iv;
  *rvals = dv;
  *pos = pv;
  return count;
}

// ---- checks before writing --------------------------------------------------

const xname* sent_name(const AC* ac, int c, int32_t i) {
  const int32_t* order =
      ac->suf_shape ? ac->suf_shape->order[c]
      : c == 0      ? ac->var_order
      : c == 1      ? ac->con_order_sent
                    : ac->obj_order;
  const xname* names = c == 0   ? ac->var_names
                       : c == 1 ? ac->con_names
                                : ac->obj_names;
  int32_t n = c == 0 ? ac->n_var : c == 1 ? ac->n_con : ac->n_obj;
  int32_t j = order ? order[i] : i;
  return names && j >= 0 && j < n ? &names[j] : nullptr;
}

namespace {

// The declaration of entity i of writer class c, or null.
xnode* entity_decl(const AC* ac, int c, int32_t i) {
  if (c == 3) return ac->prob_link;
  const xname* nm = sent_name(ac, c, i);
  return nm ? nm->decl : nullptr;
}

// Lists the declarations of class c sent and then the suffixes they hold
// values for, in order of first appearance, in seen.
void list_seen(AC* ac, int c, const int32_t* counts) {
  CVseen* cv = &ac->seen[c];
  std::vector<void*> decls;
  std::unordered_set<const void*> met;
  for (int32_t i = 0; i < counts[c]; ++i) {
    xnode* d = entity_decl(ac, c, i);
    if (d && met.insert(d).second) decls.push_back(d);
  }
  size_t nd = decls.size();
  for (size_t i = 0; i < nd; ++i) {
    sufstore* st = suf_store(static_cast<xnode*>(decls[i]));
    for (int32_t k = 0; st && k < st->n_suf_vals; ++k) {
      if (!st->suf_vals[k]) continue;
      suffix* s = suf_bynum(k);
      if (met.insert(s).second) {
        decls.push_back(s);
        s->type_bits &= ~SUF_ZEROCHECKED;
      }
    }
  }
  cv->k = htcl(sizeof(void*) * (decls.size() ? decls.size() : 1));
  cv->block = static_cast<void**>(new_mblk(cv->k));
  if (!decls.empty())
    std::memcpy(cv->block, decls.data(), sizeof(void*) * decls.size());
  cv->n_decls = int32_t(nd);
  cv->n_sufs = int32_t(decls.size() - nd);
}

uint32_t fail_bit(const xnode* d) {
  switch (d->kind & ~1u) {
    case DK_VAR:
      return SUF_FAILVARS;
    case DK_CON:
      return SUF_FAILCONS;
    case DK_OBJ:
      return SUF_FAILOBJS;
    case DK_SVAR:
      return SUF_FAIL16;
    default:
      return 0;
  }
}

// Checks d's values of s value by value when they changed since their
// last check.
void check_values(xnode* d, suffix* s, SufVal* v, TVA* tva) {
  double due = v->changed > s->stamp ? v->changed : s->stamp;
  if (v->checked >= due) return;
  v->checked = due;
  const sufstore* st = suf_store(d);
  set* members = st->suf_subs;
  if (!members && (d->kind & 1) && d->kind != DK_PROBI)
    members = static_cast<convar*>(d)->gen.members;
  if (!(d->kind & 1) || !members) {
    do_sufcheck(s->conditions, d, nullptr, v->values[0], tva, s);
    return;
  }
  for (setmem* m = members->first; m; m = m->next)
    if (m->ord >= 0)
      do_sufcheck(s->conditions, d, m->tup(),
                  v->values[size_t(m->ord) << st->suf_shift], tva, s);
}

// "d.s has not been assigned ... v satisfying" with the conditions.
void report_unassigned(xnode* d, suffix* s) {
  errorstart("error_error");
  cmdwhere();
  Fprintf(Stderr, "%s.%s has not been assigned %s v satisfying\n",
          d->name->name, s->name->name, d->kind & 1 ? "values" : "a value");
  for (list* c = s->conditions; c; c = c->next) {
    const char* t = check_text(c->item.e);
    if (*t == ' ') ++t;
    size_t n = std::strlen(t);
    Fprintf(Stderr, "\tv %s%s", t, n && t[n - 1] == '\n' ? "" : "\n");
  }
  warninc(2);
  errorend();
}

}  // namespace

int sufcheck(AC* ac) {
  if (!in_suffixes || !(send_suffixes & 1)) return 0;
  int32_t* counts = ac->shape_ptr ? ac->shape_ptr : &ac->n_var_sent;
  if (ac->n_logical_sent) {
    if (counts == &ac->n_var_sent) {
      std::memcpy(ac->shape_copy, counts, sizeof ac->shape_copy);
      counts = ac->shape_ptr = ac->shape_copy;
    }
    counts[1] = ac->n_con_sent + ac->n_logical_sent;
  }
  for (int c = 0; c < 4; ++c)
    if (!ac->seen[c].block) list_seen(ac, c, counts);

  TVA* tva = new_tva();
  std::unordered_set<const suffix*> done;
  std::vector<suffix*> failing;
  for (const CVseen& cv : ac->seen) {
    void** b = cv.block;
    for (int32_t j = cv.n_decls; j < cv.n_decls + cv.n_sufs; ++j) {
      suffix* s = static_cast<suffix*>(b[j]);
      if (!s->conditions || !done.insert(s).second) continue;
      uint32_t bits = 0;
      for (const CVseen& cw : ac->seen) {
        for (int32_t i = 0; i < cw.n_decls; ++i) {
          xnode* d = static_cast<xnode*>(cw.block[i]);
          SufVal* v = sufval_of(d, s->classnum);
          if (!v) continue;
          bits |= fail_bit(d);
          check_values(d, s, v, tva);
        }
      }
      if (s->type_bits & SUF_ZEROCHECKED) continue;
      s->type_bits = (s->type_bits | SUF_ZEROCHECKED) & ~SUF_FAILBITS;
      if (!sufcond_holds(s->conditions, 0, tva)) {
        s->type_bits |= bits;
        failing.push_back(s);
      }
    }
  }
  del_tva(tva);
  for (suffix* s : failing)
    for (const CVseen& cv : ac->seen)
      for (int32_t i = 0; i < cv.n_decls; ++i) {
        xnode* d = static_cast<xnode*>(cv.block[i]);
        if ((s->type_bits & fail_bit(d)) && !sufval_of(d, s->classnum))
          report_unassigned(d, s);
      }
  return rc > 1;
}

}  // namespace vexo
