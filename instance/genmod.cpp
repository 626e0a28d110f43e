// Instance generation.
#include "instance/genmod.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "compiler/opgen.h"
#include "compiler/recomp.h"
#include "compiler/tva.h"
#include "data/values.h"
#include "eval/dispatch.h"
#include "eval/evalerr.h"
#include "eval/funclib.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "eval/paramref.h"
#include "eval/pcheck.h"
#include "eval/set.h"
#include "eval/setops.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/paramdcl.h"
#include "frontend/suffix.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/gencon.h"
#include "instance/genvar.h"
#include "instance/members.h"
#include "instance/names.h"
#include "instance/renum.h"
#include "instance/stamps.h"
#include "instance/sufdecl.h"
#include "instance/sufinit.h"
#include "instance/sufstore.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/opttable.h"
#include "session/sysdecls.h"
#include "support/block.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

int recvar_lim;

namespace {

// The work list (module state: `reset` empties it with genmod_reset).
std::vector<xnode*>& work() {
  static std::vector<xnode*> w;
  return w;
}

// The walk in progress, for genmod_cleanup: its evaluation context and the
// declaration being generated.
TVA* gen_tva;
xnode* curx;
// The position in the work list of the declaration being walked.
size_t walk_pos;
// Whether a check statement failed during the walk.
bool failure_said;

double* nums(param* p) { return static_cast<double*>(p->vals); }
symval* svals(param* p) { return static_cast<symval*>(p->vals); }
bool symbolic(const param* p) { return p->kind == DK_SPARAM || p->kind == DK_SPARAMI; }

// The tuple an indexing's walk has bound: the cells of its items lie one
// after the other in its frame.
symbol** walk_tuple(set_spec* ss) { return ss->first ? ss->first->vals : nullptr; }

// The members of d's data index by ordinal, as they are now (checks may add
// computed members behind them).
std::vector<setmem*> members_now(xnode2* d) {
  std::vector<setmem*> m(size_t(d->nvals), nullptr);
  if (d->dindex)
    for (setmem* x = d->dindex->first; x; x = x->next)
      if (x->ord >= 0 && x->ord < d->nvals) m[size_t(x->ord)] = x;
  return m;
}

// ---- Params -----------------------------------------------------------------

// Runs p's checks on its member i (subscript tuple, bound in c).
void check_member(param* p, int32_t i, symbol* const* tuple, TVA* c) {
  if (!p->checks) return;
  if (symbolic(p))
    do_spcheck(p->checks, p, tuple, &svals(p)[i], c);
  else
    do_pcheck(p->checks, p, tuple, nums(p)[i], c);
}

// Checks member i of indexed p with its subscript bound in p's indexing.
void check_bound(param* p, int32_t i, symbol* const* tuple, TVA* tva) {
  if (!p->checks) return;
  TVA* c = ss_begin1(p->indexing, tva, tuple);
  check_member(p, i, tuple, c);
  ss_end1(p->indexing, c);
}

// Computes p's value in context c and stores it: as member `at` when p
// holds its members already (at >= 0), else as a new member (tuple; null
// for a scalar).  Returns its ordinal.
int32_t store_value(param* p, symbol* const* tuple, TVA* c, int32_t at = -1) {
  if (symbolic(p)) {
    symval v = symbolic_value(p->asgn, c);
    int32_t i = at >= 0 ? at : val_append(p, tuple);
    svals(p)[i] = v;
    return i;
  }
  double x = eval_num(p->asgn, c);
  int32_t i = at >= 0 ? at : val_append(p, tuple);
  nums(p)[i] = x;
  return i;
}

// Discards the members of d (an indexed param or set) whose subscripts,
// among those of the list (ordinal into d's values, or -1), are no longer in
// d's indexing: they are reported (badsubs) and a warning is counted.
// Returns whether any went.
bool sub_check(xnode2* d, const std::vector<setmem*>& subs, TVA* tva) {
  std::vector<uint8_t> gone(size_t(d->nvals), 0);
  set* bad = nullptr;
  for (setmem* m : subs) {
    if (!m) continue;
    int64_t k = set_lookup(d->dindex, m->tup());
    if (k < 0 || set_in(d->indexing, m->tup(), tva) != NOT_MEMBER) continue;
    gone[size_t(k)] = 1;
    if (!bad) bad = set_enum(new_enum(), d->dindex->arity);
    set_addmem(bad, m->tup());
  }
  if (!bad) return false;
  badsubs(tva, d, bad->first, bad->nmem);
  sdelete(bad);
  warninc(0);
  val_discard(d, gone.data());
  return true;
}

void gen_param(param* p, TVA* tva) {
  if (p->asgn) {
    val_drop(p, 1);
    check_member(p, store_value(p, nullptr, tva), nullptr, tva);
    p->ninst = 1;
    return;
  }
  // Data, checked; a value computed from the default is checked when it is
  // computed.
  if (p->nvals) check_member(p, 0, nullptr, tva);
}

void gen_parami(param* p, TVA* tva) {
  if (p->asgn) {
    val_drop(p, 1);
    set_spec* ss = p->indexing;
    // Over a data set alone, the walk gives that set's members in order:
    // they become p's data index as they are (no tuple stored twice) and
    // the values go in by position.
    set* whole = shareable_index(p);
    int32_t k = 0;
    if (TVA* c = ss_begin(ss, tva)) {
      if (whole && ss->first->cur != whole->first) whole = nullptr;
      if (whole) val_share(p, whole);
      do {
        symbol** t = walk_tuple(ss);
        int32_t at = -1;
        if (whole) {
          at = k++;
          if (ss->first->cur->ord != at) bug("gen_parami: walk out of order");
        }
        check_member(p, store_value(p, t, c, at), t, c);
      } while (ss_continue(ss, c));
    }
    // A walk that a break stopped keeps the members it reached.
    if (whole && k < p->nvals) val_truncate(p, k);
    p->ninst = p->nvals;
    return;
  }
  if (!p->nvals) return;
  sub_check(p, members_now(p), tva);
  if (!p->checks) return;
  std::vector<setmem*> m = members_now(p);
  for (size_t i = 0; i < m.size(); ++i)
    if (m[i]) check_bound(p, int32_t(i), m[i]->tup(), tva);
}

// ---- Sets -------------------------------------------------------------------

void gen_set(setdcl* s, TVA* tva) {
  set* v = s->value;
  if (!v) return;
  if (v->sclass == SC_SYSENUM) {
    // A system set's routine runs when a command uses the set, not here:
    // _SFUNCS collects the problem, which generation cannot do inside
    // itself.  The members of the last generation are forgotten.
    if (v->nmem >= 0) Clearset(v);
    return;
  }
  if (s->asgn || v == s->dflt) {
    // A defining set, or the default standing in for data not given: its
    // members are tested as data would be.
    if (v->nmem < 0) set_genall(v, tva);
  } else if (v->nmem < 0 || v->sclass != SC_ENUM) {
    // No data (or a default not needed yet): nothing to test.
    return;
  }
  within_check(s, v, s->within, tva, false);
}

// Tests the member set of the member of s with subscript tuple against its
// within clauses, with the subscript bound.
void within_bound(setdcl* s, set* m, symbol* const* tuple, TVA* tva) {
  if (!m) return;
  TVA* c = ss_begin1(s->indexing, tva, tuple);
  within_check(s, m, s->within, c, false);
  ss_end1(s->indexing, c);
}

void gen_seti(setdcl* s, TVA* tva) {
  if (s->asgn) {
    // The subscripts first: each member set binds its own subscript.
    set_spec* ss = s->indexing;
    int n = ss->arity;
    std::vector<symbol*> subs;
    if (TVA* c = ss_begin(ss, tva)) do {
        symbol** t = walk_tuple(ss);
        subs.insert(subs.end(), t, t + n);
      } while (ss_continue(ss, c));
    for (size_t i = 0; i + size_t(n) <= subs.size() && n; i += size_t(n))
      subscr_genall(s, &subs[i], tva);
    return;
  }
  if (!s->nvals) return;
  sub_check(s, members_now(s), tva);
  std::vector<setmem*> m = members_now(s);
  for (size_t i = 0; i < m.size(); ++i)
    if (m[i]) within_bound(s, static_cast<set**>(s->vals)[i], m[i]->tup(), tva);
}

// ---- Check statements ------------------------------------------------------

// Reports that check k fails for the member bound in c: "check" with the
// subscript, where the statement stands, and, after the statement's first
// failure in this walk, its text.
void check_fails(check* k, TVA* c, bool* first) {
  errorstart("error_error");
  // The command is named once, before the first failure of the walk.
  if (!failure_said) cmdwhere();
  failure_said = true;
  const char* text = *first ? k->text : nullptr;
  char tail[512];
  Snprintf(tail, sizeof tail, " at line %ld of %s fails%s",
           static_cast<long>(k->stmtline), k->stmtfname ? k->stmtfname : "-",
           text ? ":\n  " : ".\n");
  Subscr(k, c, "check", tail);
  if (text) Fprintf(Stderr, "%s", text);
  *first = false;
  count_check_failure();
  warninc(2);
}

void gen_check(check* k, TVA* tva) {
  bool first = true;
  set_spec* ss = k->indexing;
  if (!ss) {
    if (!eval_true(k->cond, tva)) check_fails(k, tva, &first);
    return;
  }
  // An indexing without items passes once when its condition holds.
  if (TVA* c = ss_begin(ss, tva)) do {
      if (!eval_true(k->cond, c)) check_fails(k, c, &first);
    } while (ss_continue(ss, c));
}

// ---- Declarations up to date -------------------------------------------------

// The count of failed checks so far (_check_failures).
double failures() {
  double* c = sysparam_cell(check_failures);
  return c ? *c : 0;
}

// Whether d's values are checked by the checks of a param: a failure there
// abandons the command (a failing check statement only counts).
bool param_kind(const xnode* d) {
  uint32_t k = d->kind & ~1u;
  return k == DK_PARAM || k == DK_SPARAM;
}

// Whether d is a variable declaration (numeric or symbolic).
bool var_kind(const xnode* d) {
  uint32_t k = d->kind & ~1u;
  return k == DK_VAR || k == DK_SVAR;
}

// The slot of d's pending subscripts (indexed params and sets), or null.
set** pending_of(xnode* d) {
  switch (d->kind) {
    case DK_PARAMI:
    case DK_SPARAMI:
    case DK_SETI:
      return &static_cast<xnode2*>(d)->pending;
  }
  return nullptr;
}

// The members whose data changed since d (an indexed param or set) was
// generated: their subscripts checked against the indexing, their values
// against the checks or the within clauses.
void pending_pass(xnode2* d, TVA* tva) {
  std::vector<setmem*> subs;
  for (setmem* m = d->pending->first; m; m = m->next)
    if (m->ord >= 0) subs.push_back(m);
  if (d->nvals) sub_check(d, subs, tva);
  for (setmem* m : subs) {
    int64_t k = d->dindex ? set_lookup(d->dindex, m->tup()) : -1;
    if (k < 0) continue;
    if (d->kind == DK_SETI) {
      setdcl* s = static_cast<setdcl*>(d);
      within_bound(s, static_cast<set**>(s->vals)[k], m->tup(), tva);
    } else {
      check_bound(static_cast<param*>(d), int32_t(k), m->tup(), tva);
    }
  }
}

// A current declaration: its generation stamp moves to the level; the data
// that changed since it was generated at level gen are checked.  A failure
// leaves it to be generated again (genmod_cleanup), so that the bad data
// are met again by the next command.
void up_to_date(xnode* d, double gen, double level, AC* ac, TVA* tva) {
  d->xr.stamp = level;
  if (!data_changed(d, gen)) return;
  ac->gen_decl = d;
  curx = d;
  double failed = failures();
  switch (d->kind) {
    case DK_PARAM:
    case DK_SPARAM: {
      param* p = static_cast<param*>(d);
      if (p->nvals) check_member(p, 0, nullptr, tva);
      break;
    }
    case DK_SET:
      gen_set(static_cast<setdcl*>(d), tva);
      break;
    default: {
      xnode2* x = static_cast<xnode2*>(d);
      pending_pass(x, tva);
      sdelete(x->pending);
      x->pending = nullptr;
      break;
    }
  }
  if (param_kind(d) && failures() > failed) bailout();
  curx = nullptr;
  ac->gen_decl = nullptr;
}

// ---- Regeneration ------------------------------------------------------------

// Generates the members of constraint or objective c; then what they
// carry follows them by subscript, and what data gave joins them.
bool gen_rows(constr* c, TVA* tva) {
  bool con = (c->kind & ~1u) == DK_CON;
  if (!(con ? gen_constr(c, tva) : gen_obj(c, tva))) return false;
  dropcheck(c, c->kind == DK_CONI && !c->gen.member_count, tva);
  sufinit_flush(c, tva);
  c->ninst = c->gen.member_count;
  copy_sufs(c, tva);
  return true;
}

// Generates d by its kind; whether it was generated.
bool generate(xnode* d, TVA* tva) {
  switch (d->kind) {
    case DK_VAR:
    case DK_VARI:
    case DK_SVAR:
    case DK_SVARI:
      return gen_var(static_cast<var*>(d), tva);
    case DK_PARAM:
    case DK_SPARAM:
      gen_param(static_cast<param*>(d), tva);
      return true;
    case DK_PARAMI:
    case DK_SPARAMI:
      gen_parami(static_cast<param*>(d), tva);
      return true;
    case DK_SET:
      gen_set(static_cast<setdcl*>(d), tva);
      return true;
    case DK_SETI:
      gen_seti(static_cast<setdcl*>(d), tva);
      return true;
    case DK_CON:
    case DK_CONI:
    case DK_OBJ:
    case DK_OBJI:
      return gen_rows(static_cast<constr*>(d), tva);
    case DK_CHECK:
      gen_check(static_cast<check*>(d), tva);
      return true;
    case DK_PROB:
    case DK_PROBI:
      // Its members' per-item arrays come with named problems.
      copy_sufs(d, tva);
      return true;
    case DK_ENV:
      return true;
    case DK_SUFFIX:
      suf_recheck(static_cast<suffix*>(d));
      return true;
    case DK_ENVI:
      return gen_env(d, tva);
    case DK_FUNCTION: {
      function* f = static_cast<function*>(d);
      return !f->pipe || pipe_start(f);
    }
  }
  tbadtype(tva, "genmod", d->kind);
  return false;
}

// Regenerates d at the level; whether it was generated.
bool regenerate(xnode* d, double level, AC* ac, TVA* tva) {
  xrecomp& x = d->xr;
  if (x.state & XR_GENERATED) xreset(d);
  // What went into it: its own input stamp and its inputs' changes, not
  // above the level.
  double in = x.instamp;
  for (int32_t i = 0; i < d->ndeps; ++i)
    if (xnode* p = dac.bynum[d->deps[i]]; p && p != d)
      in = std::max(in, chg_stamp(p));
  in = std::min(in, level);
  double old = x.stamp;
  curx = d;
  x.stamp = -1.0;
  x.state |= XR_GENERATED;
  ac->gen_decl = d;
  // Every member is checked now.
  if (set** pending = pending_of(d); pending && *pending) {
    sdelete(*pending);
    *pending = nullptr;
  }
  double failed = failures();
  bool made = generate(d, tva);
  if (param_kind(d) && failures() > failed) bailout();
  ac->gen_decl = nullptr;
  curx = nullptr;
  if (!made) {
    x.state &= ~XR_GENERATED;
    x.stamp = old;
    return false;
  }
  x.instamp = in;
  x.stamp = (d->flags & XF_RANDOM) ? -1.0 : level;
  if (defines_values(d)) d->stamp = std::max(d->stamp, level);
  return true;
}

// ---- The timing report (option gentimes) -------------------------------------

struct gen_times {
  double start = 0, last = 0, mem0 = 0;
  void begin() {
    if (!gentimes) return;
    Fprintf(Stderr, "##genmod times:\n##seq      seconds    cum. sec.   %s  name\n",
            (gentimes & 2) ? "total mem." : " mem. inc.");
    fflush(Stderr);
    start = last = xectim();
    mem0 = mem_used();
  }
  void line(const xnode* d) {
    if (!gentimes) return;
    double now = xectim(), mem = mem_used();
    Fprintf(Stderr, "## %2d %12g %12g %12.f  %s\n", d->num, now - last,
            now - start, (gentimes & 2) ? mem : mem - mem0,
            d->kind == DK_CHECK ? "<check>" : d->name->name);
    fflush(Stderr);
    last = now;
    mem0 = mem;
  }
};

}  // namespace

bool data_changed(const xnode* d, double gen) {
  switch (d->kind) {
    case DK_PARAM:
    case DK_SPARAM:
    case DK_SET:
      return gen > 0 && d->stamp > gen;
    case DK_PARAMI:
    case DK_SPARAMI:
    case DK_SETI:
      return static_cast<const xnode2*>(d)->pending != nullptr;
  }
  return false;
}

bool defines_values(const xnode* d) {
  switch (d->kind & ~1u) {
    case DK_PARAM:
    case DK_SPARAM:
      return static_cast<const param*>(d)->asgn != nullptr;
    case DK_SET:
      return static_cast<const setdcl*>(d)->asgn != nullptr;
  }
  return false;
}

// ---- The driver --------------------------------------------------------------

AC* genmod(int flags, int* nvars_out) {
  // Columns are kept in declaration order by every call (Renumber), so
  // the numbering the flags ask for is always there.
  (void)flags;
  renum_begin();
  TVA* tva = new_tva();
  gen_tva = tva;
  failure_said = false;
  AC* ac = tva->ac;
  *nvars_out = ac->n_var_gen;
  int32_t rows0 = ac->n_con_gen + ac->n_obj_gen;
  gen_times times;
  times.begin();
  double level = nextgenlev - 1;
  AC* result = ac;
  std::vector<xnode*>& w = work();
  for (size_t k = 0; k < w.size(); ++k) {
    xnode* d = w[k];
    walk_pos = k;
    double gen = d->xr.stamp;
    if (d->xr.instamp <= gen) {
      up_to_date(d, gen, level, ac, tva);
      continue;
    }
    // Current, waiting only for its columns to be numbered again.
    if (gen <= -3.0) continue;
    if (!regenerate(d, level, ac, tva)) continue;
    times.line(d);
    clear_queue();
    if (gotbreak) {
      // The walk of its members may have stopped short.
      d->xr.stamp = -1.0;
      result = nullptr;
      break;
    }
  }
  // Also after an interrupt: what was generated is numbered consistently.
  Renumber(ac);
  if (show_stats > 3 && trans_state <= 1)
    Fprintf(Stderr, "%d variables, %d constraints, %d objectives\n",
            ac->n_var_gen, ac->n_con_gen, ac->n_obj_gen);
  del_tva(tva);
  gen_tva = nullptr;
  ac->gen_decl = nullptr;
  if (ac->n_con_gen + ac->n_obj_gen > rows0) set_trans_state(1);
  return result;
}

bool generating() { return gen_tva != nullptr; }

void genmod_cleanup() {
  if (xnode* d = curx) {
    curx = nullptr;
    if (var_kind(d)) gen_var_abandon(static_cast<var*>(d), gen_tva);
    xreset(d);
    d->xr.stamp = -1.0;
  }
  if (TVA* t = gen_tva) {
    gen_tva = nullptr;
    if (t->ac) {
      t->ac->gen_decl = nullptr;
      Renumber(t->ac);
    }
    del_tva(t);
  }
}

namespace {

// The member set of d that like_sets offers, or null.
set* whole_members(xnode* d) {
  set* s = nullptr;
  int32_t n = 0;
  switch (d->kind) {
    case DK_PARAMI:
    case DK_SPARAMI: {
      auto* p = static_cast<param*>(d);
      s = p->dindex;
      n = p->nvals;
      break;
    }
    case DK_VARI:
    case DK_CONI:
    case DK_OBJI: {
      auto* c = static_cast<convar*>(d);
      s = c->gen.members;
      n = c->gen.member_count;
      break;
    }
  }
  if (!s || s->sclass != SC_ENUM || s->nmem <= 0 || s->nmem != n) return nullptr;
  return s;
}

}  // namespace

int like_sets(int arity, set** out, int max) {
  if (!gen_tva) return 0;
  std::vector<xnode*>& w = work();
  int n = 0;
  // A few declarations back: models index alike what they declare together.
  constexpr size_t LOOK_BACK = 16;
  for (size_t k = std::min(walk_pos, w.size()), seen = 0;
       k-- > 0 && seen < LOOK_BACK && n < max; ++seen)
    if (set* s = whole_members(w[k]); s && s->arity == arity &&
                                      std::find(out, out + n, s) == out + n)
      out[n++] = s;
  return n;
}

void gen_list_clear() { work().clear(); }
void gen_list_add(xnode* d) { work().push_back(d); }

void genmod_reset() {
  gencon_reset();
  std::vector<xnode*>().swap(work());
  gen_tva = nullptr;
  curx = nullptr;
  walk_pos = 0;
  recvar_lim = 0;
  renum_reset();
  sufinit_reset();
}

void suf5check(xnode2* d, suffix* sd, sufvals* v, TVA* tva) {
  if (v->checked >= v->changed) return;
  // A symbolic suffix's values are numbers standing for names: conditions
  // written on the names are not tested against them.
  if (!sd->conditions || (sd->type_bits & SUF_SYMBOLIC)) return;
  // Stamped first: a failure may end the command, and the values stay
  // checked.
  v->checked = v->changed;
  if (!v->v || d->nvals <= 0) return;
  if (!(d->kind & 1)) {
    do_sufcheck(sd->conditions, d, nullptr, v->v[0], tva, sd);
    return;
  }
  if (!d->dindex) return;
  for (setmem* m = d->dindex->first; m; m = m->next)
    if (m->ord >= 0 && m->ord < d->nvals)
      do_sufcheck(sd->conditions, d, m->tup(), v->v[m->ord], tva, sd);
}

int gen_env(xnode*, TVA*) { return 0; }
int pipe_start(function*) { return 0; }

}  // namespace vexo
