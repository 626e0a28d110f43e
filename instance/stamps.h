// Generation stamps of declarations and the bookkeeping of changes: what
// records that data or a declaration changed, so that instance generation
// redoes exactly what depends on it.
//
// Three stamps per declaration (frontend/decl.h, compiler/recomp.h): the
// data stamp `stamp` (the level at which its own data last changed), the
// input stamp `xr.instamp` (the newest level among its inputs) and the
// generation stamp `xr.stamp` (the level at which it was last generated;
// zero or negative while it never was).  Levels are handed out by
// nextgenlev: a change is stamped with nextgenlev, and keeping the instance
// current (xcg, instance/xcg.h) raises nextgenlev past every change it
// meets before it generates at level nextgenlev - 1.
#ifndef VEXO_INSTANCE_STAMPS_H
#define VEXO_INSTANCE_STAMPS_H

#include <cstdint>

namespace vexo {

struct convar;

struct varref;
struct xnode;
struct xnode2;

// The problem-membership mark (a head flag): the membership of named
// problems depends on the declaration.  The problem layer sets it.
constexpr uint64_t XF_INPROB = uint64_t{1} << 32;

// Changes since the last collection, which collection clears: fixchanges
// lists the variables presolve had removed whose values changed since
// (index: the column, coef: the value last sent for it); var_changes and
// con_changes count the other changed variables and constraints.
// Written outside instance/, by design: var_changes and con_changes by the
// solution command (solver/solve.cpp), so that the next solve sends the
// solution read as initial guesses.
extern varref* fixchanges;
extern int var_changes;
extern int con_changes;
// Once a problem is sent: no changes to variables or constraints pending.
void changes_sent();
// A collection starts: the list goes back to the term pool, the counts
// are 0.
void changes_collected();
// Start-up and `reset`: no changes (the list lay in freed memory).
void changes_reinit();

// Records that d changed.  k = 0: its data (the data stamp becomes
// nextgenlev); when d bears the problem-membership mark (XF_INPROB), the
// problems' membership must be rebuilt (need_prob), the translation state
// is lowered to 1 when above, and that is all.  k = 1: the current values
// of a variable, constraint or objective (its second stamp becomes
// nextgenlev).  Then, when the translation state is above 1 and the last
// xcg found d to bear on the problem (tsr marks d's number plus k, or no
// xcg has marked any), the state is lowered to 1.
void ts_update(xnode* d, int k);
// The current values of d came from a solution: its second stamp moves on
// (what was computed from them is computed again), but the problem sent
// stays the one solved, so the translation state is kept (a solution that
// lowered it would have the next command regenerate, collect and presolve
// everything, losing the duals just read).
void solution_values(convar* d);

// Called by `let` and the data readers after
// ts_update, for each member i that got a new value or was added (for a
// param or set its ordinal in d's data index, for a variable or
// constraint its member number).  An indexed param or set that generation
// has checked already keeps the member's subscript in d->pending: the next
// generation checks those subscripts (their values against the checks,
// their membership in the indexing set) instead of every member.  Scalar
// params and sets need nothing (their data stamp tells).  A variable that
// the last presolve removed (its column sent at or after n_var_sent +
// n_subst_var) is pushed on fixchanges with the value last sent for it,
// for the next presolve to see; another variable counts in var_changes, a
// constraint or objective in con_changes.
void note_change(xnode2* d, int32_t i);

// Whether d is a variable, constraint or objective declaration (scalar or
// indexed, numeric or symbolic): the kinds with generated members and
// current values.
bool is_convar(const xnode* d);

// The newest level at which what d stands for changed: its data stamp or
// its input stamp, whichever is newer.  A declaration generated below that
// level of one of its inputs is out of date.
double chg_stamp(const xnode* d);

}  // namespace vexo

#endif  // VEXO_INSTANCE_STAMPS_H
