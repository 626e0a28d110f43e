// Iteration over indexing expressions, the class routines of indexing
// expressions, and the bail-out's unwinding.
#include "eval/iterate.h"

#include <cerrno>

#include "compiler/tva.h"
#include "data/outarg.h"
#include "eval/dispatch.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/setgen.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "instance/genmod.h"
#include "session/located.h"
#include "session/loop.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

err_ctx* err_fel;

void iterate_reset() { err_fel = nullptr; }

namespace {

int frame_cells(const set_spec* ss) {
  int n = 0;
  for (const Index* ix = ss->first; ix; ix = ix->next) n += ix->s->arity;
  return n;
}

Index* innermost(set_spec* ss) {
  Index* ix = ss->first;
  while (ix->next) ix = ix->next;
  return ix;
}

// A context for an indexing at level 0 met while t runs a frame: carved
// out of t's free space when t's size serves and there is room, else a
// block of its own that its teardown frees.  It shares t's accumulator and
// level-0 cells and starts with an empty root frame.
TVA* fresh_context(TVA* t, set_spec* ss) {
  tva_size* sz = t->size->hcl >= ss->size.hcl ? t->size : &ss->size;
  uint32_t need = t->size->need > ss->size.need ? t->size->need : ss->size.need;
  size_t words = sizeof(TVA) / sizeof(void*) + size_t(sz->max_context) + 1 +
                 TVA_FRAME_HEAD + need;
  TVA* c;
  if (sz == t->size && size_t(t->top - t->free) >= words) {
    c = reinterpret_cast<TVA*>(t->free);
    c->top = t->top;
    c->parent = nullptr;
  } else {
    void** block = static_cast<void**>(new_mblk(int(sz->hcl), 1));
    c = reinterpret_cast<TVA*>(block);
    c->top = block + (size_t(1) << sz->hcl);
    c->parent = t;
  }
  c->size = sz;
  c->outer = cur_tva;
  c->ac = t->ac;
  c->lev[0] = t->lev[0];
  c->base = c->frame = reinterpret_cast<void**>(c->lev + sz->max_context + 1);
  c->frame[0] = c->frame[1] = c->frame[2] = nullptr;
  c->free = c->frame + TVA_FRAME_HEAD;
  return c;
}

// Binds member m in ix: cursor, value cells, on-bind hooks; then ix's
// condition says whether the value is accepted.
inline bool take(Index* ix, setmem* m, TVA* c) {
  ix->cur = m;
  symbol** v = ix->vals;
  symbol* const* t = m->tup();
  for (int i = 0, n = ix->s->arity; i < n; ++i) v[i] = t[i];
  run_hooks(ix->onbind, c);
  return !ix->cond || eval_true(ix->cond, c);
}

// A break seen between two steps of a walk.
inline bool break_pending() {
  check_msgloop();
  return gotbreak != 0;
}

// The first accepted member of ix's set from m on: 1 bound, 0 none left
// (cursor cleared), -1 a break is pending.  Every rejected value's
// clean-ups run before the next one is taken.
int scan(Index* ix, setmem* m, TVA* c) {
  for (; m; m = m->next) {
    if (m->ord < 0) continue;
    if (take(ix, m, c)) return 1;
    run_cleanup(ix);
    if (m->next && break_pending()) return -1;
  }
  ix->cur = nullptr;
  return 0;
}

// The first accepted value of ix's range from position k on: as scan.
int scan_range(Index* ix, int32_t k, TVA* c) {
  for (; k < ix->rcount; ++k) {
    ix->rpos = k;
    ix->vals[0] = range_member(ix->rlower, ix->rstride, k);
    run_hooks(ix->onbind, c);
    if (!ix->cond || eval_true(ix->cond, c)) return 1;
    run_cleanup(ix);
    if (k + 1 < ix->rcount && break_pending()) return -1;
  }
  ix->rcount = -1;
  return 0;
}

// Enters ix: its set generated when needed (a slice keyed afresh, since
// its key may read the outer values), its first accepted member bound.  A
// range that nobody has listed is walked in place: its members are
// computed one at a time, so the walk costs no memory per member.
int enter(Index* ix, TVA* c) {
  set* s = ix->s;
  ix->rcount = -1;
  if (s->nmem < 0 && s->sclass == SC_RANGE && s->arity == 1) {
    ix->cur = nullptr;
    ix->rcount = set_range_walk(s, c, &ix->rlower, &ix->rstride);
    return scan_range(ix, 0, c);
  }
  if (s->nmem < 0)
    set_genall(s, c);
  else if (s->sclass == SC_SLICE) {
    gen_hold hold(s);
    s->genall(s, c);
    hold.done();
  }
  return scan(ix, s->first, c);
}

// Moves ix to its next accepted member.
int advance(Index* ix, TVA* c) {
  if (break_pending()) return -1;
  run_cleanup(ix);
  if (ix->rcount >= 0) return scan_range(ix, ix->rpos + 1, c);
  return scan(ix, ix->cur->next, c);
}

// The odometer from ix: entering it (first) or advancing it.  1: a whole
// accepted tuple is bound; 0: the walk is over, every value left with its
// clean-ups; -1: a break, the clean-ups of ix and the items outside it run.
int walk(set_spec* ss, Index* ix, bool first, TVA* c) {
  Index* changed = ix;  // outermost item that took a new value
  for (;;) {
    int r = first ? enter(ix, c) : advance(ix, c);
    if (r < 0) {
      for (; ix; ix = ix->outer) run_cleanup(ix);
      return -1;
    }
    if (r > 0) {
      if (ix->next) {
        ix = ix->next;
        first = true;
        continue;
      }
      if (ss->cond) {
        if (!ss->split && !eval_true(ss->cond, c)) {
          first = false;
          continue;
        }
        for (Index* k = changed; k; k = k->next) run_hooks(k->complete, c);
      }
      return 1;
    }
    ix = ix->outer;
    if (!ix) return 0;
    changed = ix;
    first = false;
  }
}

}  // namespace

TVA* tva_setup(TVA* t, set_spec* ss) {
  int level = ss_level(ss);
  if (level > 32) terror(t, "tva_setup has ss->level = %d", level);
  TVA* c = t;
  if (level != 0 || t->frame == t->base)
    c = t;
  else
    c = fresh_context(t, ss);
  void** cells = tva_push(c, ss, frame_cells(ss));
  symbol** v = reinterpret_cast<symbol**>(cells);
  for (Index* ix = ss->first; ix; ix = ix->next) {
    if (ix->level < 1 || ix->level > c->size->max_context)
      bug("tva_setup: level %d beyond the context's %d", int(ix->level),
          int(c->size->max_context));
    ix->savelev = c->lev[ix->level];
    c->lev[ix->level] = v;
    ix->vals = v;
    if (ix->s->arity) v[0] = nullptr;
    v += ix->s->arity;
  }
  return c;
}

void tva_teardown(TVA* c, set_spec* ss) {
  if (ss_level(ss) == 0 && c->parent) {
    tva_pop(c);  // the context current before the setup is current again
    del_mblk(int(c->size->hcl), c);
    return;
  }
  for (Index* ix = ss->first; ix; ix = ix->next)
    c->lev[ix->level] = ix->savelev;
  tva_pop(c);
}

TVA* ss_begin(set_spec* ss, TVA* tva) {
  if (gotbreak) return nullptr;
  if (!ss->first) return !ss->cond || eval_true(ss->cond, tva) ? tva : nullptr;
  TVA* c = tva_setup(tva, ss);
  if ((!ss->precond || eval_true(ss->precond, c)) &&
      walk(ss, ss->first, true, c) > 0)
    return c;
  tva_teardown(c, ss);
  return nullptr;
}

int ss_continue(set_spec* ss, TVA* c) {
  if (!ss->first) return 0;
  if (walk(ss, innermost(ss), false, c) > 0) return 1;
  tva_teardown(c, ss);
  return 0;
}

TVA* ss_begin1(set_spec* ss, TVA* tva, symbol* const* tuple) {
  if (!ss || !ss->first) return tva;
  TVA* c = tva_setup(tva, ss);
  for (Index* ix = ss->first; ix; ix = ix->next) {
    for (int i = 0, n = ix->s->arity; i < n; ++i) ix->vals[i] = *tuple++;
    ix->cur = nullptr;
    run_hooks(ix->onbind, c);
    run_hooks(ix->complete, c);
  }
  return c;
}

void ss_end1(set_spec* ss, TVA* c) {
  if (!ss || !ss->first) return;
  for (Index* ix = innermost(ss); ix; ix = ix->outer) {
    run_cleanup(ix);
    ix->cur = nullptr;
  }
  tva_teardown(c, ss);
}

int it_init(Index* ix, TVA* c) {
  set* s = ix->s;
  if (s->nmem < 0) set_genall(s, c);
  setmem* m = s->first;
  while (m && m->ord < 0) m = m->next;
  if (!m) return 0;
  ix->cur = m;
  for (int i = 0, n = s->arity; i < n; ++i) ix->vals[i] = m->tup()[i];
  return 1;
}

// The context an evaluation without one of its own runs in.
static TVA* context_of(TVA* tva) {
  if (!tva) tva = cur_tva;
  if (!tva) bug("no evaluation context for an indexing expression");
  return tva;
}

int spec_in(set* s, symbol** tuple, TVA* tva) {
  set_spec* ss = static_cast<set_spec*>(s);
  tva = context_of(tva);
  if (!ss->first)
    return !ss->cond || eval_true(ss->cond, tva) ? MEMBER_NO_ORD : NOT_MEMBER;
  TVA* c = tva_setup(tva, ss);
  int answer = MEMBER_NO_ORD;
  Index* reached = ss->first;
  symbol** t = tuple;
  for (Index* ix = ss->first; ix; ix = ix->next) {
    reached = ix;
    if (set_in(ix->s, t, c) == NOT_MEMBER) {
      answer = NOT_MEMBER;
      break;
    }
    for (int i = 0, n = ix->s->arity; i < n; ++i) ix->vals[i] = t[i];
    t += ix->s->arity;
    run_hooks(ix->onbind, c);
    run_hooks(ix->complete, c);
  }
  if (answer != NOT_MEMBER && ss->cond && !eval_true(ss->cond, c))
    answer = NOT_MEMBER;
  for (Index* ix = reached; ix; ix = ix->outer) run_cleanup(ix);
  tva_teardown(c, ss);
  return answer;
}

void set_spec_genall(set* s, TVA* tva) {
  set_spec* ss = static_cast<set_spec*>(s);
  tva = context_of(tva);
  free_members(s);
  TVA* c = ss_begin(ss, tva);
  if (!c) return;
  do set_append(s, ss->first ? ss->first->vals : nullptr);
  while (ss_continue(ss, c));
}

void bail_unwind() {
  errno = 0;
  while (TVA* t = cur_tva) {
    if (t->frame == t->base) break;
    void** f = t->frame;
    if (set_spec* ss = static_cast<set_spec*>(f[1]); ss && ss->first)
      ss_end1(ss, t);
    else
      tva_pop(t);
  }
  outarg_clear(0, nullptr);
  genmod_cleanup();
  clear_warnings();
  dep_reset();
  err_ctx* e = err_fel;
  err_fel = nullptr;
  for (; e; e = e->next) run_cleanup(e->ix);
}

}  // namespace vexo
