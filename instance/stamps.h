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

struct xnode;
struct xnode2;

// Records that d changed.  k = 0: its data (the data stamp becomes
// nextgenlev); k = 1: the current values of a variable, constraint or
// objective (its second stamp becomes nextgenlev).  When the translation
// state is above 1 and the last xcg found d to bear on the problem (tsr
// marks d's number plus k, or no xcg has marked any), the state is lowered
// to 1.  The problem-membership mark of named problems is not kept yet.
void ts_update(xnode* d, int k);

// Called by `let` and the data readers after ts_update, for each member i
// of d (its ordinal in d's data index) that got a new value or was added.
// An indexed param or set that generation has checked already keeps the
// member's subscript in d->pending: the next generation checks those
// subscripts (their values against the checks, their membership in the
// indexing set) instead of every member.  Scalar params and sets need
// nothing (their data stamp tells); the changes of variables and
// constraints that presolve must know of are not counted yet (collection
// is not built).
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
