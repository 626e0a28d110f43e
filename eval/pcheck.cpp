// Checks of parameter and suffix values, and self-referring definitions.
#include "eval/pcheck.h"

#include <unordered_map>

#include "compiler/copy.h"
#include "compiler/tva.h"
#include "data/values.h"
#include "eval/evalerr.h"
#include "eval/iterate.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/paramdcl.h"
#include "instance/ac.h"
#include "instance/sufdecl.h"
#include "report/prset.h"
#include "session/located.h"
#include "session/sysdecls.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

// The relations whose failure report shows the comparand's value.
bool shows_bound(int op) {
  return op == LT || op == LE || op == EQ || op == GE || op == GT;
}

// The texts of the check nodes, by node (module state; `reset` forgets it
// with the strings, which go with the pools).  A copy of a definition's
// checks (a recursive definition's private copy) takes its source's texts.
std::unordered_map<const expr*, cstr*>& check_texts() {
  static std::unordered_map<const expr*, cstr*> m;
  return m;
}

void keep_text(const expr* n, cstr* t) {
  cstr*& slot = check_texts()[n];
  if (slot) release_cstr(slot);
  slot = t;
}

// Writes the text of check node n, from its second character when it
// starts with a blank; without a kept text, the operator's name.
void put_check_text(expr* n) {
  auto it = check_texts().find(n);
  if (it == check_texts().end()) {
    int op = opcode(n);
    char name[16];
    Fprintf(Stderr, "%s\n", bare_opname(op, name));
    return;
  }
  const char* s = it->second->text();
  Fprintf(Stderr, "%s", *s == ' ' ? s + 1 : s);
}

// The copy's checks (cells in the order of the source's) take the source's
// texts.
void copy_texts(list* from, list* to) {
  for (; from && to; from = from->next, to = to->next) {
    auto it = check_texts().find(from->item.e);
    if (it != check_texts().end()) keep_text(to->item.e, ref_cstr(it->second));
  }
}

// The head of a failure report: "failed check: " and who failed; a failure
// of a member (not of a default value, ent null) is counted.
void failed_head(xnode* ent, symbol* const* tuple, suffix* s) {
  if (!ent) {
    Fprintf(Stderr, "failed check: default");
    return;
  }
  Fprintf(Stderr, "failed check: %s%s%s", s ? "" : "param ", ent->name->name,
          slist1(ent, tuple));
  if (s) Fprintf(Stderr, ".%s", s->name->name);
  count_check_failure();
}

void report(TVA* tva, xnode* ent, symbol* const* tuple, suffix* s, expr* n,
            const char* vtext) {
  if (mgwhere(tva)) return;
  failed_head(ent, tuple, s);
  Fprintf(Stderr, " = %s\n\t\tis not ", vtext);
  int op = opcode(n);
  if (shows_bound(op) && n->R.e && opcode(n->R.e) != OPNUM) {
    char bound[64];
    Snprintf(bound, sizeof bound, "%s",
             gfmt(eval_num(n->R.e, tva), 0, nullptr));
    char name[16];
    Fprintf(Stderr, "%s %s\n\t\t-- not ", bare_opname(op, name), bound);
  }
  put_check_text(n);
  warninc(2);
}

// Member computations through self-referring definitions now open (each
// guard_hold counts itself while it stands, also when an error unwinds it).
int32_t rec_depth = 0;

// Runs a numeric check list on v; failures go to report with ent and s.
void run_numeric(list* checks, xnode* ent, symbol* const* tuple, double v,
                 TVA* tva, suffix* s) {
  if (!checks) return;
  expr* slot = checks->item.e->L.e;
  for (list* c = checks; c; c = c->next) {
    expr* n = c->item.e;
    // A check may compute members that run checks of their own through
    // the same slot: the value goes in before each one.
    if (slot) slot->L.d = v;
    if (eval_true(n, tva)) continue;
    char vtext[64];
    Snprintf(vtext, sizeof vtext, "%s", gfmt(v, 0, nullptr));
    report(tva, ent, tuple, s, n, vtext);
  }
}

}  // namespace

void check_text_keep(expr* n) {
  cstr* t = sprex(n);
  // One blank where the printer put two (between an operator and a set),
  // outside quoted strings.
  char* to = t->text();
  char quote = 0;
  for (const char* from = to; *from; ++from) {
    char c = *from;
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ' ' && to > t->text() && to[-1] == ' ') {
      continue;
    }
    *to++ = c;
  }
  *to = 0;
  keep_text(n, t);
}

const char* check_text(const expr* n) {
  auto it = check_texts().find(n);
  return it == check_texts().end() ? "" : it->second->text();
}

bool sufcond_holds(list* conds, double v, TVA* tva) {
  if (!conds) return true;
  expr* slot = conds->item.e->L.e;
  for (list* c = conds; c; c = c->next) {
    if (slot) slot->L.d = v;
    if (!eval_true(c->item.e, tva)) return false;
  }
  return true;
}

void pcheck_reset() {
  // A fresh map: clear would keep the buckets of the last session.
  std::unordered_map<const expr*, cstr*>().swap(check_texts());
  rec_depth = 0;
}

void count_check_failure() {
  if (double* c = sysparam_cell(check_failures)) {
    *c += 1;
    check_failures->stamp = nextgenlev;
  }
}

void do_pcheck(list* checks, param* p, symbol* const* tuple, double v,
               TVA* tva) {
  run_numeric(checks, p, tuple, v, tva, nullptr);
}

void do_sufcheck(list* checks, xnode* ent, symbol* const* tuple, double v,
                 TVA* tva, suffix* s) {
  run_numeric(checks, ent, tuple, v, tva, s);
}

void do_spcheck(list* checks, param* p, symbol* const* tuple, symval* v,
                TVA* tva) {
  if (!checks) return;
  expr* slot = checks->item.e->L.e;
  // Both forms, made before any check runs (a check may add members to p
  // and move its values).
  if (!v->sym) v->sym = Symbol(v->str->text(), 1);
  if (!v->str) v->str = new_cstring(v->sym->name);
  symbol* sym = v->sym;
  held_cstr str(ref_cstr(v->str));
  for (list* c = checks; c; c = c->next) {
    expr* n = c->item.e;
    if (slot) {
      if (has_flag(n, EF_STRING)) {
        slot->op = f_OPSTR;
        slot->L.cs = str.get();
      } else {
        slot->op = f_OPLIT;
        slot->L.sym = sym;
      }
    }
    bool ok = eval_true(n, tva);
    if (slot) slot->L.p = nullptr;
    if (!ok) report(tva, p, tuple, nullptr, n, str.text());
  }
}

void badpcheck(TVA* tva, param* p, symbol* const* tuple, expr* check,
               const char* vtext) {
  report(tva, p, tuple, nullptr, check, vtext);
}

// ---- Self-referring definitions ---------------------------------------------

eval_result f_OP_RECPAR(expr*, TVA*) {
  bug("f_OP_RECPAR evaluated outside the computation of a member");
}
eval_result f_OP_RECSPAR(expr*, TVA*) {
  bug("f_OP_RECSPAR evaluated outside the computation of a member");
}

cur_member::cur_member(TVA* tva, xnode* ent, symbol* const* tuple)
    : ac_(tva && tva->ac ? tva->ac : cur_ac),
      ent0_(ac_ ? ac_->cur_param : nullptr),
      tuple0_(ac_ ? ac_->cur_tuple : nullptr) {
  if (ac_ && ent) {
    ac_->cur_param = ent;
    ac_->cur_tuple = const_cast<symbol**>(tuple);
  }
}

cur_member::~cur_member() {
  if (!ac_) return;
  ac_->cur_param = ent0_;
  ac_->cur_tuple = tuple0_;
}

int rec_start(set* g, symbol* const* tuple, TVA* tva, xnode* ent) {
  symbol** t = const_cast<symbol**>(tuple);
  if (g->nmem <= 0) {
    set_addmem(g, t);
    return 1;
  }
  if (g->nmem == 1) {
    AC* ac = tva && tva->ac ? tva->ac : cur_ac;
    if (ac) {
      ac->cur_param = ent;
      ac->cur_tuple = g->first->tup();
    }
  }
  if (set_addmem(g, t)) implicitdef(tva, ent, tuple);
  return 0;
}

void rec_end(set* g) { free_members(g); }

namespace {
// A guard's rec_start after the depth check.
int rec_enter(set* g, symbol* const* tuple, TVA* tva, xnode* ent) {
  if (rec_depth >= MAX_REC_DEPTH) {
    char text[80];
    Snprintf(text, sizeof text,
             "recursion too deep (over %d levels): cannot evaluate",
             MAX_REC_DEPTH);
    badthing(tva, text, ent, tuple);
  }
  int outer = rec_start(g, tuple, tva, ent);
  ++rec_depth;
  return outer;
}
}  // namespace

guard_hold::guard_hold(set* g, symbol* const* tuple, TVA* tva, xnode* ent)
    : g_(g), outer_(rec_enter(g, tuple, tva, ent)) {}

guard_hold::~guard_hold() {
  --rec_depth;
  if (outer_) rec_end(g_);
}

e_copy* take_copy(e_copy** freelist) {
  e_copy* c = *freelist;
  if (c) {
    pool_take(c, sizeof(e_copy));
    *freelist = c->next;
    c->next = nullptr;
  }
  return c;
}

copy_hold::~copy_hold() {
  c_->next = *freelist_;
  *freelist_ = c_;
  pool_release(c_, sizeof(e_copy), &c_->next);
}

namespace {

// The holder node of a self-referring definition: L its free list of
// copies, R its guard set.
e_copy** copies_of(expr* def) {
  return reinterpret_cast<e_copy**>(&def->R.e->L.p);
}
set* guard_of(expr* def) { return def->R.e->R.s; }

// A copy of p's definition def for one member: from the free list, or
// made.  The copies belong to the compiled definition: an instance reset
// (xreset) gives them back.
e_copy* par_copy(expr* def, param* p, TVA* tva) {
  if (e_copy* c = take_copy(copies_of(def))) return c;
  p->xr.state |= XR_GENERATED;
  e_copy* c = copy_e(def->L.e, p, tva);
  copy_texts(p->checks, c->items);
  return c;
}

}  // namespace

rec_member::rec_member(expr* def, param* p, symbol* const* tuple, TVA* tva)
    : copy_(copies_of(def), par_copy(def, p, tva)),
      ctx_(ss_begin1(copy_.get()->ss, tva, tuple)),
      guard_(guard_of(def), tuple, ctx_, p) {}

expr* rec_member::body() const { return copy_.get()->e; }
list* rec_member::checks() const { return copy_.get()->items; }
set_spec* rec_member::indexing() const { return copy_.get()->ss; }

bool is_recdef(const expr* def) {
  return def && (opcode(def) == OP_RECPAR || opcode(def) == OP_RECSPAR) &&
         def->R.e;
}

namespace {

void drop_copies(e_copy** list) {
  while (e_copy* c = *list) {
    *list = c->next;
    del_ecopy(c);
  }
}

}  // namespace

void rec_reset(expr* def) {
  if (!is_recdef(def)) return;
  if (set* g = guard_of(def)) rec_end(g);
  drop_copies(copies_of(def));
}

void rec_set_reset(setdcl* s) {
  if (s->cache) rec_end(s->cache);
  drop_copies(&s->copies);
}

}  // namespace vexo
