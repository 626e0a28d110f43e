// Keeping the instance current.
#include "instance/xcg.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "compiler/compdecl.h"
#include "compiler/recomp.h"
#include "frontend/decl.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/genmod.h"
#include "instance/members.h"
#include "instance/problem.h"
#include "instance/stamps.h"
#include "instance/sufdecl.h"
#include "session/batch.h"
#include "session/loop.h"
#include "support/pool.h"

namespace vexo {

char* tsr;
int tsr_k;

void drop_tsr() {
  if (tsr) del_mblk(tsr_k, tsr);
  tsr = nullptr;
}

void xcg_reset() {
  tsr = nullptr;
  tsr_k = 0;
}

namespace {

// The cited declarations (by number, without repeats; seen marks them).
struct citing {
  std::vector<xnode*> decls;
  std::vector<bool> seen = std::vector<bool>(size_t(dac.cap));

  void cite(xnode* d) {
    if (!d || d->num < 0 || d->num >= dac.cap || seen[size_t(d->num)]) return;
    seen[size_t(d->num)] = true;
    decls.push_back(d);
  }
  // Adds what the cited ones depend on, directly or not, and puts them in
  // declaration order.
  void close() {
    for (size_t k = 0; k < decls.size(); ++k) {
      xnode* d = decls[k];
      for (int32_t i = 0; i < d->ndeps; ++i)
        if (d->deps[i] < uint32_t(dac.cap)) cite(dac.bynum[d->deps[i]]);
    }
    std::sort(decls.begin(), decls.end(),
              [](const xnode* a, const xnode* b) { return a->num < b->num; });
  }
};

// The constraints and objectives a full check cites: a kind of scalar
// declaration and a declaration class, in this order.
struct cite_pair {
  uint32_t kind;
  int cls;
};
constexpr cite_pair co_pairs[] = {
    {DK_CON, XC_CONS}, {DK_CON, XC_LOGCONS}, {DK_OBJ, XC_OBJS}};

// Whether d is left out of the problem as a whole: the problem excludes or
// drops every member, or d is a scalar of kind whose one member is
// dropped.  Such a declaration takes no row and is not brought up to date
// for the problem (a command that names it still cites it).
bool left_out(const xnode* d, uint32_t kind) {
  auto* c = static_cast<const convar*>(d);
  return (c->flags & CV_ALLDROPPED) ||
         (d->kind == kind && c->gen.state_count > 0);
}

// The declarations of the problem: every variable (a variable keeps its
// columns in or out of the problem, and a new one gets them), then the
// constraints and objectives of the pairs above that the problem holds.
void co_cite(citing* c) {
  // The current problem's membership first (an indexed problem without a
  // chosen member ends the command here).
  if (need_prob) get_prob();
  for (int32_t i = 0; i < xclass[XC_ALLVARS].n; ++i)
    c->cite(xclass[XC_ALLVARS].a[i]);
  for (const cite_pair& p : co_pairs)
    for (int32_t i = 0; i < xclass[p.cls].n; ++i)
      if (xnode* d = xclass[p.cls].a[i]; d && !left_out(d, p.kind))
        c->cite(d);
  // Suffixes that go to or come from a solver and whose conditions read
  // declarations: their values are checked against what the conditions
  // read as it stands now (other suffixes have nothing to bring up to
  // date).
  if (in_suffixes)
    for (int32_t i = 0; i < xclass[XC_SUFFIXES].n; ++i)
      if (auto* s = static_cast<suffix*>(xclass[XC_SUFFIXES].a[i]);
          s && (s->direction & SUF_INOUT) && s->conditions && s->ndeps)
        c->cite(s);
}

// Kinds that generation walks: variables, constraints and objectives every
// time (is_convar), the others when they need work.  Tables and what is no
// declaration have nothing to generate.
bool generable(const xnode* d) {
  return d->kind >= DK_VAR && d->kind <= DK_FUNCTION && d->kind != DK_DUMMY &&
         d->kind != DK_VARSET && d->kind != DK_VARSETI;
}

// Whether current d has data that changed since it was generated.
bool has_pending(const xnode* d) { return data_changed(d, d->xr.stamp); }

// The walk over the cited declarations from position start, in
// declaration order: a declaration generated before one of its inputs
// changed is out of date (its compiled form goes, and one that defines
// values takes the newer stamp, so that references compiled later see
// it); the variables, constraints and objectives and every declaration
// out of date or with changed data go to genmod's list (decls).  spare is
// compiled when it must be but neither generated nor checked.  *top gets
// the newest change met.  Returns how many declarations need generating.
int ud_needed(citing& c, size_t start, const xnode* spare, double* top) {
  int n = 0;
  for (size_t k = start; k < c.decls.size(); ++k) {
    xnode* d = c.decls[k];
    xrecomp& x = d->xr;
    double in = x.instamp;
    for (int32_t i = 0; i < d->ndeps; ++i)
      if (xnode* p = dac.bynum[d->deps[i]]; p && p != d)
        in = std::max(in, chg_stamp(p));
    x.instamp = in;
    *top = std::max(*top, chg_stamp(d));
    if (!generable(d)) continue;
    bool stale = in > x.stamp;
    if (stale) {
      if (x.stamp > 0) x.stamp = -1.0;
      if (defines_values(d)) d->stamp = std::max(d->stamp, in);
    }
    if (d == spare) {
      // What it waits for is its next generation.
      n += x.stamp <= 0;
      continue;
    }
    bool pending = has_pending(d);
    if (stale || pending || is_convar(d)) {
      gen_list_add(d);
      n += stale || pending;
    }
  }
  return n;
}

// tsr: a byte per declaration number, 1 for the cited ones (both numbers
// of a declaration that takes two).
void mark_tsr(const std::vector<xnode*>& cited) {
  size_t need = size_t(std::max(dac.next, 1));
  if (tsr && need > (size_t{8} << tsr_k)) drop_tsr();
  if (!tsr) {
    tsr_k = htcl(need);
    tsr = static_cast<char*>(new_mblk(tsr_k));
  }
  std::memset(tsr, 0, size_t{8} << tsr_k);
  for (const xnode* d : cited) {
    int n = d->kind < N_DKINDS ? xn_inc[d->kind] : 1;
    for (int i = 0; i < n && size_t(d->num + i) < need; ++i) tsr[d->num + i] = 1;
  }
}

// Runs the pending compilations with the accumulator empty (compiling a
// declaration takes what it holds as that declaration's dependencies) and
// puts the command's citations back afterwards.
void compile_aside() {
  std::vector<uint32_t> nums(dac.list, dac.list + dac.n);
  std::vector<int32_t> marks;
  for (uint32_t n : nums) marks.push_back(dac.mark[n]);
  dac_clear();
  compile();
  dac_load(nums.data(), marks.data(), int32_t(nums.size()));
}

}  // namespace

void alc_gen(AC* ac) {
  if (ac->con_order || ac->n_con <= 0) return;
  ac->con_order =
      static_cast<int32_t*>(new_mblk(elem_class(ac->con_class, 4), 1));
  int32_t front = 0, back = ac->n_logical;
  for (int32_t r = 0; r < ac->n_con; ++r)
    ac->con_order[ac->con_kind && (ac->con_kind[r] & 3) ? front++ : back++] =
        r;
}

AC* xcg(int flags, const xnode* spare) {
  gen_list_clear();
  if (!dac.bynum) return new_ac();
  // A problem made current since the last collection (its membership not
  // built yet) is not the one collected: the next command that reads the
  // problem collects again, building the membership first.
  if (need_prob == 1 && trans_state > 1) set_trans_state(1);
  citing c;
  for (int32_t i = 0; i < dac.n; ++i) c.cite(dac.bynum[dac.list[i]]);
  // The full check: collection, and a command that asked for the problem
  // (req_collect), cite every declaration of the problem.
  if ((flags & 1) || req_collect) co_cite(&c);
  c.close();

  // Changes followed to their dependents, in declaration order.
  double top = 0;
  bool need = ud_needed(c, 0, spare, &top) > 0;
  raise_nextgenlev(top);
  mark_tsr(c.decls);

  // A declaration that refers to generated or solved values must be
  // redeclared first.
  bool warned = false;
  for (xnode* d : c.decls)
    if (d->dseen && (d->xr.stamp <= 0 || has_pending(d))) {
      redcl_warn(d);
      warned = true;
    }
  if (warned) {
    gen_list_clear();
    return nullptr;
  }
  AC* ac = new_ac();
  if (need || compile_due) {
    // Compiled forms that still serve are not compiled again: a change of
    // data alone (a let) only has the changed values generated.
    auto stale = [](const xnode* d) { return !compiled_current(d); };
    if (compile_due || std::any_of(c.decls.begin(), c.decls.end(), stale))
      compile_aside();
    int nvars;
    ac = genmod(0, &nvars);
  }
  // A command that needs the problem as it stands (bit 2 of req_collect:
  // collected values, dot values of the solver's view) gets it collected
  // and brought as far as it can go before it runs.
  if (!flags && ac && (req_collect & 2) && trans_state < 3)
    ac = output_time(ac, 3);
  return ac;
}

}  // namespace vexo
