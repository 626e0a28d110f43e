// Named problems.
#include "instance/problem.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "compiler/tva.h"
#include "data/values.h"
#include "eval/dispatch.h"
#include "eval/dotvalue.h"
#include "eval/evalerr.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/rawtok.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/members.h"
#include "instance/stamps.h"
#include "instance/xcg.h"
#include "session/cmdfiles.h"
#include "session/environs.h"
#include "session/let.h"
#include "session/located.h"
#include "support/format.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

problem* cur_prob;
problem* initial_prob;
problem* Current_prob;
symbol** cur_prob_sub;
int32_t cur_prob_subk;
p_info* cur_pinfo;
int n_explicit;
int honor_explicit;

void* problem::operator new(size_t size) { return xmem(XM_PROBLEM, size); }
void problem::operator delete(void* p) { xmem_free(XM_PROBLEM, p); }

namespace {

constexpr uint8_t STATUS_BITS = uint8_t(GS_DROPPED) | uint8_t(PS_EXPLICIT);

bool indexed(const problem* p) { return p->kind == DK_PROBI; }
int arity(const problem* p) { return p->indexing ? p->indexing->arity : 0; }

// The classes whose declarations problems take, in the order memberships
// are saved and applied.
constexpr int prob_classes[] = {XC_ALLVARS, XC_CONS, XC_OBJS, XC_LOGCONS};

template <class F>
void each_member_decl(F f) {
  for (int k : prob_classes)
    for (int32_t i = 0; i < xclass[k].n; ++i)
      f(static_cast<convar*>(xclass[k].a[i]));
}

// A copy of tuple (n symbols) in a block; *k its class.
symbol** copy_tuple(symbol* const* tuple, int n, int32_t* k) {
  *k = htcl(sizeof(symbol*) * size_t(std::max(n, 1)));
  symbol** t = static_cast<symbol**>(new_mblk(*k));
  std::memcpy(t, tuple, sizeof(symbol*) * size_t(n));
  return t;
}

void free_tuple(symbol*** t, int32_t k) {
  if (*t) del_mblk(k, *t);
  *t = nullptr;
}

// The p_info of p's current member (p current, or being left: the current
// subscript is still its), or null (indexed, none chosen).
p_info* current_info_of(problem* p) {
  if (!p || !p->pinfo) return nullptr;
  if (!indexed(p)) return p->pinfo;
  if (!cur_prob_sub) return nullptr;
  int64_t ord = set_lookup(p->members, cur_prob_sub);
  return ord < 0 ? nullptr : &p->pinfo[ord];
}
p_info* current_info() { return current_info_of(cur_prob); }

// ---- Dependency marks -------------------------------------------------------

// The declarations p's items and environment depend on, directly or not,
// other than variables, constraints and objectives.
std::vector<xnode*> closure(const problem* p) {
  std::vector<xnode*> out;
  std::vector<uint8_t> seen(size_t(std::max(dac.next, 1)), 0);
  std::vector<const xnode*> work{p};
  while (!work.empty()) {
    const xnode* d = work.back();
    work.pop_back();
    for (int32_t i = 0; i < d->ndeps; ++i) {
      uint32_t n = d->deps[i];
      if (n >= seen.size() || seen[n] || !dac.bynum[n]) continue;
      seen[n] = 1;
      xnode* q = dac.bynum[n];
      if (is_convar(q)) continue;
      out.push_back(q);
      work.push_back(q);
    }
  }
  return out;
}

// The marks that make a data change of what p depends on call for its
// membership to be built again (ts_update).
void set_prob_bits(const problem* p, bool on) {
  for (xnode* d : closure(p)) {
    if (on)
      d->flags |= XF_INPROB;
    else
      d->flags &= ~XF_INPROB;
  }
}

// The stamp a membership of p must have to be current: p's own and the
// latest data change of what it depends on.
double prob_stamp(const problem* p) {
  double s = p->stamp;
  for (xnode* d : closure(p)) s = std::max(s, d->stamp);
  return s;
}

// ---- Memberships ------------------------------------------------------------

p_entry* new_entry(convar* d) {
  p_entry* e = static_cast<p_entry*>(new_mblk(htcl(sizeof(p_entry)), 1));
  e->d = d;
  return e;
}

void free_entry(p_entry* e) {
  if (e->inset) del_mblk(e->insetk, e->inset);
  del_mblk(htcl(sizeof(p_entry)), e);
}

// The entry of d in pi, made (whole) when absent; *made says which.
p_entry* entry_of(p_info* pi, convar* d, bool* made = nullptr) {
  if (!pi->decls) pi->decls = set_enum(new_enum(), 1);
  symbol* t[1] = {d->name};
  int64_t ord = set_lookup(pi->decls, t);
  if (made) *made = ord < 0;
  if (ord >= 0) return pi->entries[ord];
  ord = pi->decls->nmem;
  set_addmem(pi->decls, t);
  if (!pi->entries || size_t(ord) >= (size_t{1} << pi->entriesk)) {
    int k = pi->entries ? pi->entriesk + 1 : 2;
    auto a = static_cast<p_entry**>(new_mblk(k, 1));
    if (pi->entries) {
      std::memcpy(a, pi->entries, sizeof(p_entry*) * size_t(ord));
      del_mblk(pi->entriesk, pi->entries);
    }
    pi->entries = a;
    pi->entriesk = k;
  }
  return pi->entries[ord] = new_entry(d);
}

p_entry* find_entry(const p_info* pi, const convar* d) {
  if (!pi->decls) return nullptr;
  symbol* t[1] = {d->name};
  int64_t ord = set_lookup(pi->decls, t);
  return ord < 0 ? nullptr : pi->entries[ord];
}

// A fresh membership: no entries yet, but built.
void begin_membership(p_info* pi) {
  pi->decls = set_enum(new_enum(), 1);
  pi->entries = nullptr;
  pi->n_explicit = 0;
}

// The membership of pi only (its environment and texts stay).
void free_membership(p_info* pi) {
  if (pi->decls) {
    for (int64_t i = 0; i < pi->decls->nmem; ++i) free_entry(pi->entries[i]);
    sdelete(pi->decls);
  }
  if (pi->entries) del_mblk(pi->entriesk, pi->entries);
  pi->decls = nullptr;
  pi->entries = nullptr;
  pi->n_explicit = 0;
  pi->stamp = 0;
}

uint8_t* new_inset(const convar* d, int32_t* k, uint8_t fill) {
  int32_t n;
  get_k_n0(d, k, &n);
  auto in = static_cast<uint8_t*>(new_mblk(*k));
  std::memset(in, fill, size_t{8} << *k);
  return in;
}

// ---- pi_gen: the membership from the items ----------------------------------

void whole_item(p_info* pi, convar* d) {
  if (d->flags & PF_NOPROB) return;
  p_entry* e = entry_of(pi, d);
  // Named whole: every member belongs, whatever single members named it
  // before.
  if (e->inset) del_mblk(e->insetk, e->inset);
  e->inset = nullptr;
  e->flags |= 1u << 31;  // whole (cleared when the membership is done)
}

// Member ord of d (both slots of a complementarity member) belongs;
// ord < 0: none yet, though d is entered with its members out.
void mark_member(p_info* pi, convar* d, int64_t ord) {
  bool made;
  p_entry* e = entry_of(pi, d, &made);
  if (!made && !e->inset) return;  // the whole declaration belongs
  if (!e->inset) e->inset = new_inset(d, &e->insetk, 2);
  if (ord < 0) return;
  int32_t k;
  int32_t slots;
  if (get_k_n0(d, &k, &slots)) {
    e->inset[2 * ord] = e->inset[2 * ord + 1] = 0;
  } else {
    e->inset[ord] = 0;
  }
}

}  // namespace

namespace {

// A member item: the member that the subscripts (compiled) give.
void member_item(const item_visitor& v, expr* item, TVA* tva) {
  convar* d = static_cast<convar*>(item->L.x);
  expr* subs = item->R.e->R.e;
  symbol** t = eval(subs, tva).sp;
  symbol* tuple[TUPMAX];
  int n = d->indexing ? d->indexing->arity : 0;
  std::memcpy(tuple, t, sizeof(symbol*) * size_t(n));
  int64_t ord = d->gen.members ? set_lookup(d->gen.members, tuple) : -1;
  if (ord < 0 || ord >= d->gen.member_count) {
    // Not generated: outside the indexing it is an error; inside, there is
    // no member slot until the declaration is generated.
    if (set_in(d->indexing, tuple, tva) == NOT_MEMBER)
      badsub(tva, d, tuple);
    ord = -1;
  }
  v.member(d, ord);
}

// The entity numbered i of synonym kind kk (as synkind and syn_entry give
// them) in the collected problem ac.
void synonym_member(const item_visitor& v, const AC* ac, int kk, int32_t i) {
  // Kind 7 numbers the column a row complements (-1: none).
  const xname* names = syn_names(ac, kk == 7 ? 0 : kk);
  if (!names || i < 0 || !names[i].decl) return;
  convar* d = static_cast<convar*>(names[i].decl);
  setmem* m = names[i].subs;
  v.member(d, m ? set_lookup(d->gen.members, m->tup()) : 0);
}

// A synonym array as an item: the entities it lists in the problem as
// collected now, or the one its subscript picks.
void synonym_item(const item_visitor& v, expr* item, TVA* tva) {
  int32_t i;
  if (opcode(item) == OPSYNSUB) {
    int kk = synkind(item->L.sym, item->R.e, tva, &i);
    synonym_member(v, tva->ac && trans_state > 2 ? tva->ac : cur_ac, kk, i);
    return;
  }
  const kw_row* row = static_cast<const kw_row*>(item->L.sym->binding);
  int k = row ? int(row->value) : -1;
  if (v.synonym && v.synonym(k)) return;
  const AC* ac = get_ts3(tva->ac ? tva->ac : cur_ac);
  if (!ac) return;
  for (int32_t j = 0, n = syn_count(ac, k); j < n; ++j) {
    int kk = syn_entry(ac, k, j, &i);
    synonym_member(v, ac, kk, i);
  }
}

void one_item(const item_visitor& v, expr* item, TVA* tva) {
  switch (opcode(item)) {
    case OPXNODE:
      v.whole(static_cast<convar*>(item->L.x));
      return;
    case OPVARSUB165:
    case OPCONSUB:
    case OPOBJVALSUB:
      member_item(v, item, tva);
      return;
    case OPSYN:
    case OPSYNSUB:
      synonym_item(v, item, tva);
      return;
    case OPARG: {
      // An entry of a group (L null, R the item) or a nested group.
      if (!item->L.ss) {
        one_item(v, item->R.e, tva);
        return;
      }
      set_spec* ss = item->L.ss;
      if (TVA* c = ss_begin(ss, tva)) do
          items_walk(item->R.e, c, v);
        while (ss_continue(ss, c));
      return;
    }
  }
  // OPERRSUB and what else was refused when read.
}

}  // namespace

void items_walk(expr* items, TVA* tva, const item_visitor& v) {
  for (expr* e = items; e; e = e->next) one_item(v, e, tva);
}

namespace {

// Builds pi's membership from p's items (the member tuple bound for an
// indexed problem) and the entities declared while p was current.
void pi_gen(problem* p, p_info* pi, TVA* tva) {
  begin_membership(pi);
  TVA* c = indexed(p) ? ss_begin1(p->indexing, tva, cur_prob_sub) : tva;
  item_visitor v;
  v.whole = [pi](convar* d) { whole_item(pi, d); };
  v.member = [pi](convar* d, int64_t ord) {
    if (!(d->flags & PF_NOPROB)) mark_member(pi, d, ord);
  };
  items_walk(p->items, c, v);
  if (indexed(p)) ss_end1(p->indexing, c);
  for (expr* e = p->ents; e; e = e->next)
    whole_item(pi, static_cast<convar*>(e->L.e->L.x));
}

// Moves the explicit state kept in old into the new membership pi.
void carry_explicit(p_info* pi, p_info* old) {
  if (!old->decls || !old->n_explicit) return;
  for (int64_t i = 0; i < old->decls->nmem; ++i) {
    p_entry* o = old->entries[i];
    if (!(o->flags & PF_EXPLICIT)) continue;
    p_entry* e = entry_of(pi, o->d);
    if ((o->flags & PF_EXPLICIT2) || !o->inset) {
      if (e->inset) del_mblk(e->insetk, e->inset);
      e->inset = o->inset;
      e->insetk = o->insetk;
      o->inset = nullptr;
      e->flags = (e->flags & ~CV_ALLDROPPED) | (o->flags & CV_ALLDROPPED);
    } else {
      if (!e->inset) e->inset = new_inset(o->d, &e->insetk, 0);
      int32_t k, n;
      get_k_n0(o->d, &k, &n);
      for (int32_t j = 0; j < n; ++j)
        if (o->inset[j] & PS_EXPLICIT) e->inset[j] = o->inset[j];
    }
    e->flags |= o->flags & PF_EXPLICIT;
    ++pi->n_explicit;
  }
}

// Entries whose inset marks every member in become whole.
void finish_membership(p_info* pi) {
  for (int64_t i = 0; i < pi->decls->nmem; ++i) {
    p_entry* e = pi->entries[i];
    e->flags &= ~(1u << 31);
    if (!e->inset) continue;
    int32_t k, n;
    get_k_n0(e->d, &k, &n);
    bool all_in = true;
    for (int32_t j = 0; j < n && all_in; ++j) all_in = e->inset[j] == 0;
    if (all_in && n > 0) {
      del_mblk(e->insetk, e->inset);
      e->inset = nullptr;
    }
  }
}

// ---- Applying a membership --------------------------------------------------

struct change_count {
  int vars = 0, rows = 0;
};

// Makes d's member states follow entry e (null: d is not in the problem).
void apply_one(convar* d, const p_entry* e, change_count* ch) {
  if (!honor_explicit) d->flags &= ~PF_EXPLICIT;
  if (d->flags & PF_EXPLICIT2) return;
  int32_t k, n;
  get_k_n0(d, &k, &n);
  bool none = !e || (e->flags & CV_ALLDROPPED);
  uint8_t* st = d->gen.member_status;
  if (!st && n > 0 && (none || (e && e->inset))) st = figalloc(d);
  int changes = 0;
  int32_t excluded = 0;
  for (int32_t j = 0; j < n && st; ++j) {
    uint8_t old = st[j];
    uint8_t s = old;
    if (!(s & PS_EXPLICIT) || !honor_explicit) {
      if (none)
        s |= GS_DROPPED;
      else if (!e->inset)
        s &= ~STATUS_BITS;
      else
        s = uint8_t((s & ~STATUS_BITS) | (e->inset[j] & STATUS_BITS));
    }
    if ((s ^ old) & GS_DROPPED) ++changes;
    st[j] = s;
    if (s & GS_DROPPED) ++excluded;
  }
  d->gen.state_count = excluded;
  bool was_all = d->flags & CV_ALLDROPPED;
  bool all = n > 0 ? excluded == n : none;
  if (all)
    d->flags |= CV_ALLDROPPED;
  else
    d->flags &= ~CV_ALLDROPPED;
  if (n == 0 && all != was_all) ++changes;
  if (e && (e->flags & PF_EXPLICIT)) {
    d->flags |= e->flags & PF_EXPLICIT;
    ++n_explicit;
  }
  if (!changes) return;
  if ((d->kind & ~1u) == DK_VAR || (d->kind & ~1u) == DK_SVAR)
    ch->vars += changes;
  else
    ch->rows += changes;
}

void apply_membership(const p_info* pi) {
  honor_explicit = n_explicit ? 64 : 0;
  n_explicit = 0;
  change_count ch;
  each_member_decl([&](convar* d) {
    if (d->flags & PF_NOPROB) return;
    apply_one(d, find_entry(pi, d), &ch);
  });
  if (trans_state > 1) {
    if (ch.rows)
      reset_ts();
    else if (ch.vars)
      set_trans_state(1);
  }
}

// ---- Environments -----------------------------------------------------------

// Makes the environment of member pi of p current: the one in force when
// the member was last left, else the declaration's.
void establish_env(problem* p, p_info* pi) {
  if (pi && pi->env) {
    env_change(pi->env, pi->env_sub);
    return;
  }
  if (!p->environ) return;
  xenvir* x;
  symbol** sub;
  envir** slot = env_ref(p->environ, &x, &sub, nullptr);
  if (slot && x) env_change(x, sub);
}

// Records in pi the environment in force now.
void keep_env(p_info* pi) {
  free_tuple(&pi->env_sub, pi->env_subk);
  pi->env = cur_xenv;
  if (cur_xenv_sub)
    pi->env_sub = copy_tuple(cur_xenv_sub, cur_xenv->members->arity,
                             &pi->env_subk);
}

// The explicit drop/fix state of the declarations, as a membership of pi.
void store_explicit(p_info* pi) {
  begin_membership(pi);
  each_member_decl([&](convar* d) {
    if (d->flags & PF_NOPROB) return;
    if ((d->flags & CV_ALLDROPPED) && !(d->flags & PF_EXPLICIT)) return;
    p_entry* e = entry_of(pi, d);
    if (d->flags & PF_EXPLICIT) {
      e->flags |= d->flags & PF_EXPLICIT;
      d->flags &= ~PF_EXPLICIT;
      ++pi->n_explicit;
    }
    int32_t k, n;
    get_k_n0(d, &k, &n);
    if (d->flags & CV_ALLDROPPED) {
      e->flags |= CV_ALLDROPPED;
    } else if (uint8_t* st = d->gen.member_status; st && n > 0) {
      e->inset = new_inset(d, &e->insetk, 0);
      for (int32_t j = 0; j < n; ++j) {
        e->inset[j] = st[j] & STATUS_BITS;
        st[j] &= ~PS_EXPLICIT;
      }
    }
  });
  finish_membership(pi);
}

// Grows p's p_info array to hold member ord, the new entries zeroed.
void grow_pinfo(problem* p, int64_t ord) {
  if (p->pinfo && size_t(ord) < (size_t{8} << p->pinfok) / sizeof(p_info))
    return;
  int k = htcl(sizeof(p_info) * size_t(ord + 1) * 2);
  auto a = static_cast<p_info*>(new_mblk(k, 1));
  size_t used = 0;
  if (p->pinfo) {
    used = (size_t{8} << p->pinfok) / sizeof(p_info);
    std::memcpy(a, p->pinfo, sizeof(p_info) * used);
    if (cur_pinfo >= p->pinfo && cur_pinfo < p->pinfo + used)
      cur_pinfo = a + (cur_pinfo - p->pinfo);
    del_mblk(p->pinfok, p->pinfo);
  }
  std::memset(static_cast<void*>(a + used), 0,
              (size_t{8} << k) - sizeof(p_info) * used);
  p->pinfo = a;
  p->pinfok = k;
}

void free_pinfos(problem* p) {
  if (!p->pinfo) return;
  int64_t n = indexed(p) ? (p->members ? p->members->nmem : 0) : 1;
  for (int64_t i = 0; i < n; ++i) {
    zap_pinfo(&p->pinfo[i]);
    free_tuple(&p->pinfo[i].env_sub, p->pinfo[i].env_subk);
  }
  del_mblk(p->pinfok, p->pinfo);
  p->pinfo = nullptr;
}

void set_current_sub(symbol* const* tuple, int n) {
  free_tuple(&cur_prob_sub, cur_prob_subk);
  if (tuple) cur_prob_sub = copy_tuple(tuple, n, &cur_prob_subk);
}

// The declaration an entity item names (a whole declaration, a member, a
// reference with wrong subscripts, or the entry of a problem's ents), or
// null for a group.
const xnode* item_decl(const expr* item) {
  switch (opcode(item)) {
    case OPXNODE:
    case OPVARSUB165:
    case OPCONSUB:
    case OPOBJVALSUB:
    case OPERRSUB:
    case OP281:
      return item->L.x;
    default:
      return nullptr;
  }
}

// Whether an item may be kept in a problem: a variable, constraint or
// objective; *name the offending name otherwise (null for an undeclared
// name, reported when read).
bool entity_ok(const expr* item, const char** name) {
  if (!item) {
    *name = nullptr;
    return false;
  }
  const xnode* d = item_decl(item);
  if (!d) return true;  // groups are walked by the caller
  *name = d->name->name;
  return is_convar(d);
}

}  // namespace

// ---- Declaration ------------------------------------------------------------

void prob_add(problem* p, xnode* d) {
  expr* ent = new_expr(opword(OPARG), new_expr(opword(OP281), d));
  ent->next = p->ents;
  p->ents = ent;
  xrefer(d, static_cast<uint32_t>(p->num));
}

int badname_omit(expr** items, int flag) {
  int dropped = 0;
  const char* first = nullptr;
  for (expr** pe = items; *pe;) {
    expr* e = *pe;
    const char* name = nullptr;
    bool keep;
    if (e && opcode(e) == OPARG && e->L.ss) {
      dropped += badname_omit(&e->R.e, flag);
      keep = e->R.e != nullptr;
    } else if (e && opcode(e) == OPARG) {
      keep = entity_ok(e->R.e, &name);
    } else {
      keep = entity_ok(e, &name);
    }
    if (keep && e && opcode(e) == OPXNODE && (e->L.x->flags & PF_NOPROB) &&
        (e->L.x->kind & ~1u) == DK_VAR)
      keep = false, name = nullptr;  // never part of problems: silently
    if (keep) {
      pe = &e->next;
      continue;
    }
    // An undeclared name (a null item) was reported when read; any other
    // name is reported unless it repeats the first one.
    if (!e && !first) first = "";
    if (name && (!first || std::strcmp(first, name) != 0)) {
      if (!first) first = name;
      error(0, "Ignoring \"%s\"", name);
    }
    *pe = e ? e->next : nullptr;
    if (e) {
      e->next = nullptr;
      edelete(e);
    }
    ++dropped;
    if (!e) break;
  }
  return dropped;
}

problem* new_problem(symbol* name, cstr* alias, set_spec* ix, expr* settings,
                     expr* items) {
  problem* p = new problem;
  bool ixd = ix && ix->nindex > 0;
  xrecomp_constr(p, name, alias, ix, DK_PROB + (ixd ? 1 : 0), 1);
  badname_omit(&items, 0);
  // Settings: the first environment counts; suffix initialisers in order.
  expr* env = nullptr;
  expr** suf_tail = &p->sufinits;
  for (expr* s = settings; s;) {
    expr* next = s->next;
    s->next = nullptr;
    int op = opcode(s);
    if (op != OPENV && op != OPENVSUB) {
      *suf_tail = s;
      suf_tail = &s->next;
    } else if (!env) {
      env = s;
    } else {
      error(0, "Extra environ clause in declaration of problem %s.",
            name->name);
      set_rc_bit(8);
      edelete(s);
    }
    s = next;
  }
  p->items = items;
  if (ix) end_context(ix, nullptr);
  end_dcl_name();
  xnode* old = nullptr;
  if (yychain(p, &old)) return p;
  if (old) free_pinfos(static_cast<problem*>(old));
  problem* r = static_cast<problem*>(x_copy(old, p, XM_PROBLEM));
  r->environ = env ? env : envdcl(new_cstring(name->name));
  save_cur_prob(r);
  set_current_sub(nullptr, 0);
  cur_pinfo = nullptr;
  if (ixd) {
    need_prob = 3;
    r->members = set_enum(new_enum(), ix->arity);
  } else {
    need_prob = 1;
    grow_pinfo(r, 0);
    establish_env(r, nullptr);
  }
  return r;
}

// ---- Switching --------------------------------------------------------------

problem* prob_adj(problem* p) { return p == Current_prob ? cur_prob : p; }

void save_cur_prob(problem* np) {
  problem* old = cur_prob;
  cur_prob = np;
  if (symbol* cur = Symbol0("Current")) cur->binding = np;
  if (!old) return;
  if (old != np) {
    set_prob_bits(old, false);
    set_prob_bits(np, true);
  }
  p_info* pi = current_info_of(old);
  if (n_explicit) {
    if (cur_pinfo) free_membership(cur_pinfo);
    cur_pinfo = nullptr;
    n_explicit = 0;
  }
  if (old == Current_prob || !pi) return;
  keep_env(pi);
  if (cur_pinfo || need_prob) return;
  free_membership(pi);
  store_explicit(pi);
}

void adj_cur_prob(problem* p, symbol** tuple) {
  int64_t ord = set_lookup(p->members, tuple);
  if (ord < 0) {
    ord = p->members->nmem;
    set_addmem(p->members, tuple);
    grow_pinfo(p, ord);
  }
  // Its subscript names it from now on (p[...].result, the outcome of its
  // solves, suffix values): the data index holds every member made
  // current, beside those that data gave values.
  if (!p->dindex || set_lookup(p->dindex, tuple) < 0) val_add(p, tuple);
  save_cur_prob(p);
  set_current_sub(tuple, arity(p));
  cur_pinfo = nullptr;
  establish_env(p, &p->pinfo[ord]);
  need_prob = 1;
}

symbol** probsub(problem* p, expr* sub, xrecomp* xr, symbol** tuple) {
  cmd_tuple(sub, tuple, arity(p), xr);
  tva_hold own{new_tva()};
  if (set_in(p->indexing, tuple, own.t) == NOT_MEMBER)
    badsub(nullptr, p, tuple);
  return tuple;
}

void problem_cmd(problem* p, expr* sub, xrecomp* xr) {
  p = prob_adj(p);
  if (sub) {
    if (!indexed(p)) {
      error(0, "problem %s is not subscripted.", p->name->name);
      bailout();
    }
    symbol* tuple[TUPMAX];
    probsub(p, sub, xr, tuple);
    if (p == cur_prob && cur_prob_sub &&
        std::equal(tuple, tuple + arity(p), cur_prob_sub))
      return;
    adj_cur_prob(p, tuple);
    return;
  }
  if (p == Current_prob) return;
  if (p != cur_prob) {
    save_cur_prob(p);
    set_current_sub(nullptr, 0);
    cur_pinfo = nullptr;
    need_prob = indexed(p) ? 3 : 1;
    // A scalar problem's member, or the first member chosen of an indexed
    // one, keeps the environment it was left with.
    p_info* pi = p->pinfo && (!indexed(p) || p->members->nmem) ? p->pinfo
                                                                  : nullptr;
    establish_env(p, pi);
    return;
  }
  p_info* pi = current_info();
  if (pi && pi->env && (pi->env != cur_xenv || pi->env_sub))
    establish_env(p, pi);
}

void curprob_cmd(redirect* r, xrecomp* xr) {
  dispfile(r, xr);
  problem* p = cur_prob;
  Fprintf(df, "problem %s%s;\n", p->name->name,
          indexed(p) && cur_prob_sub ? slist1(p, cur_prob_sub) : "");
  fflush(df);
}

// Whether item (of a problem's items or ents) names declaration d.
static bool names_decl(const expr* item, const xnode* d) {
  return item && item_decl(item) == d;
}

// Takes the items naming d out of the chain *items of a problem's
// declaration; a group left empty goes too.
static void omit_decl(expr** items, const xnode* d) {
  for (expr** pe = items; *pe;) {
    expr* e = *pe;
    bool drop;
    if (opcode(e) == OPARG && e->L.ss) {
      omit_decl(&e->R.e, d);
      drop = !e->R.e;
    } else if (opcode(e) == OPARG) {
      drop = names_decl(e->R.e, d);
    } else {
      drop = names_decl(e, d);
    }
    if (drop)
      *pe = e->next;
    else
      pe = &e->next;
  }
}

void probadj1(problem* p, xnode* d) {
  omit_decl(&p->items, d);
  // The entities declared while p was current: OPARG over OP281.
  for (expr** pe = &p->ents; *pe;) {
    if (names_decl((*pe)->L.e, d))
      *pe = (*pe)->next;
    else
      pe = &(*pe)->next;
  }
  undep(p, static_cast<uint32_t>(d->num));
  if (p->pinfo) {
    int64_t n = indexed(p) ? (p->members ? p->members->nmem : 0) : 1;
    for (int64_t i = 0; i < n; ++i) {
      p_info* pi = &p->pinfo[i];
      free_membership(pi);
      if (pi == cur_pinfo || pi == current_info()) {
        cur_pinfo = nullptr;
        n_explicit = 0;
      }
    }
  }
  need_prob |= 1;
}

void reset_prob(problem* p, expr* sub, xrecomp* xr) {
  p = p ? prob_adj(p) : cur_prob;
  if (!p->pinfo) return;
  auto one = [&](p_info* pi) {
    free_membership(pi);
    if (pi == cur_pinfo || pi == current_info()) {
      cur_pinfo = nullptr;
      n_explicit = 0;
      need_prob |= 1;
    }
  };
  if (!indexed(p)) {
    one(p->pinfo);
    return;
  }
  if (sub) {
    symbol* tuple[TUPMAX];
    probsub(p, sub, xr, tuple);
    int64_t ord = set_lookup(p->members, tuple);
    if (ord >= 0) one(&p->pinfo[ord]);
    return;
  }
  for (int64_t i = 0; i < p->members->nmem; ++i) one(&p->pinfo[i]);
}

// ---- Membership -------------------------------------------------------------

void no_prob_sub() {
  error(0, "problem %s[...] command needed", cur_prob->name->name);
  bailout();
}

void get_prob() {
  if (need_prob & 2) no_prob_sub();
  need_prob = 0;
  problem* p = cur_prob;
  if (!p || p == Current_prob) return;
  // What the items use is brought up to date (and the items compiled).
  dep_note(p->num);
  if (!xcg(0)) bailout();
  p_info* pi = current_info();
  if (!pi) return;
  double stamp = prob_stamp(p);
  if (!pi->decls || pi->stamp < stamp) {
    p_info fresh{};
    {
      tva_hold own{new_tva()};
      pi_gen(p, &fresh, own.t);
    }
    carry_explicit(&fresh, pi);
    free_membership(pi);
    pi->decls = fresh.decls;
    pi->entries = fresh.entries;
    pi->entriesk = fresh.entriesk;
    pi->n_explicit = fresh.n_explicit;
    finish_membership(pi);
    pi->stamp = stamp;
  }
  cur_pinfo = pi;
  apply_membership(pi);
}

void prob_subfix(problem* p, int n, const uint8_t* removed) {
  int64_t total = p->members->nmem;
  set* kept = set_enum(new_enum(), arity(p));
  int k = htcl(sizeof(p_info) * size_t(std::max<int64_t>(total - n, 1)) * 2);
  auto a = static_cast<p_info*>(new_mblk(k, 1));
  bool current_went = false;
  int64_t j = 0;
  for (setmem* m = p->members->first; m; m = m->next) {
    if (m->ord < 0) continue;
    p_info* pi = &p->pinfo[m->ord];
    bool is_cur = cur_prob == p && cur_prob_sub &&
                  std::equal(m->tup(), m->tup() + arity(p), cur_prob_sub);
    if (removed[m->ord]) {
      zap_pinfo(pi);
      free_tuple(&pi->env_sub, pi->env_subk);
      current_went = current_went || is_cur;
      continue;
    }
    set_addmem(kept, m->tup());
    a[j] = *pi;
    if (cur_pinfo == pi) cur_pinfo = &a[j];
    ++j;
  }
  sdelete(p->members);
  del_mblk(p->pinfok, p->pinfo);
  p->members = kept;
  p->pinfo = a;
  p->pinfok = k;
  if (current_went) {
    set_prob_bits(p, false);
    cur_prob = Current_prob;
    if (symbol* cur = Symbol0("Current")) cur->binding = Current_prob;
    set_current_sub(nullptr, 0);
    cur_pinfo = nullptr;
    need_prob = 0;
  }
}

void zap_pinfo(p_info* pi) {
  free_membership(pi);
  zap_cstr(&pi->env_name);
  zap_cstr(&pi->env_text);
}

int get_k_n0(const convar* d, int32_t* k, int32_t* n) {
  int two = (d->flags & CV_TWOSLOTS) ? 1 : 0;
  *n = d->gen.member_count << two;
  *k = htcl(size_t(std::max(*n, 1)));
  return two;
}

// ---- Start-up ---------------------------------------------------------------

void sysdecl_problems() {
  initial_prob =
      new_problem(Symbol("Initial", 0), nullptr, nullptr, nullptr, nullptr);
  // Current stands for whichever problem is current; its name is bound to
  // that problem (save_cur_prob), so the record itself is never chained.
  Current_prob = new problem;
  xrecomp_constr(Current_prob, Symbol("Current", 0), nullptr, nullptr, DK_PROB,
                 0);
  Current_prob->num = -1;
  Symbol("Current", 0)->binding = cur_prob;
}

int need_prob;
int would_need_prob;

void prob_changed() { need_prob |= 1; }

void note_prob_use(int bits) {
  if (need_prob) need_prob |= bits & 4;
}

int take_prob_needs(int req) {
  int flags = ((req | would_need_prob) & 3) | (need_prob & 4);
  would_need_prob = 0;
  need_prob &= ~4;
  return flags;
}

void note_problem_ref(bool mark) {
  would_need_prob = 4;
  if (mark) note_prob_use(4);
}

void forget_prob_needs() { need_prob = would_need_prob = 0; }

void problem_reset() {
  cur_prob = initial_prob = Current_prob = nullptr;
  cur_prob_sub = nullptr;
  cur_prob_subk = 0;
  cur_pinfo = nullptr;
  n_explicit = honor_explicit = 0;
  forget_prob_needs();
}

}  // namespace vexo
