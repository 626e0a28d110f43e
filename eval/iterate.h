// Iteration over indexing expressions, and the unwinding of the bail-out.
//
// Every iterated operator walks its indexing expression with one protocol:
//
//   if (TVA* c = ss_begin(ss, tva)) do {
//     ... evaluate the body with c ...
//   } while (ss_continue(ss, c));
//
// ss_begin binds the first accepted tuple and returns the context in which
// the dummies hold it (the caller's own, or a fresh one for an indexing at
// level 0 met while the caller's context runs a frame); ss_continue binds
// the next one.  The walk is an odometer over the items (Index records),
// the innermost moving fastest, each set's members in their order.  A walk
// left before ss_continue has answered 0 is closed with ss_end1.
//
// The frame of an indexing is pushed on the context at its start: its
// cells hold the dummies' values item after item, lev[level] of each item
// points at its cells, and the previous lev entries come back when the
// frame is popped.  Each item runs its hooks: on-bind hooks after each new
// value, its condition, completion hooks once the whole tuple is accepted,
// clean-up hooks when it leaves a value (exactly once per value, also on a
// break and on bail-out).
#ifndef VEXO_EVAL_ITERATE_H
#define VEXO_EVAL_ITERATE_H

#include <cstdint>

namespace vexo {

struct expr;
struct set;
struct set_spec;
struct symbol;
struct Index;
struct TVA;

// The hook lists and their running (push_cleanup, run_cleanup, run_hooks)
// are eval/indexing.h's.

// The sets being generated that have an error context: while one is
// generated, an entry naming its Index heads this list (set_genall), so
// that the bail-out runs that Index's clean-up hooks.
struct err_ctx {
  err_ctx* next;
  Index* ix;
};
extern err_ctx* err_fel;
// Start-up and `reset`: no set is being generated.
void iterate_reset();

// The first accepted tuple bound in the returned context, or null when
// there is none (empty sets, every value rejected, a pending break); the
// frame is then taken down.  An indexing without items passes once when
// its condition holds (or when it has none).  Items' sets are generated
// when not yet generated; a slice is keyed afresh at each entry of its
// item.  Errors of the evaluations leave through bailout.
TVA* ss_begin(set_spec* ss, TVA* tva);
// 1 with the next accepted tuple bound in c, or 0 when the walk is over
// (the frame is taken down).  A pending break ends the walk at its next
// step, clean-ups run.
int ss_continue(set_spec* ss, TVA* c);
// Binds the given tuple (the items' values in order) without any test and
// runs the on-bind and completion hooks; closed by ss_end1.  An indexing
// without items (or null) gives tva back unchanged.
TVA* ss_begin1(set_spec* ss, TVA* tva, symbol* const* tuple);
// Closes a walk early: clean-up hooks of every item from the innermost
// outward, the frame taken down.  Null or an indexing without items does
// nothing.
void ss_end1(set_spec* ss, TVA* c);

// The frame of ss pushed on tva (or on a fresh context for an indexing at
// level 0 while tva runs a frame), made current, each item's cells laid out
// and its lev entry pointed at them.  A level above 32 is reported
// ("tva_setup has ss->level = %d"); running out of room is a bug.
TVA* tva_setup(TVA* tva, set_spec* ss);
// Takes the frame down again: lev entries restored, the context current
// before made current, a fresh context's block freed.
void tva_teardown(TVA* c, set_spec* ss);

// set::it_init: generates ix's set when needed; 0 when it is empty, else
// binds its first member (cursor and value cells) and returns 1.
int it_init(Index* ix, TVA* c);

// The class routines of an indexing expression (classes 2 and 3).
// Membership binds the tuple's parts in the items (each part must be in
// its item's set), runs the on-bind and completion hooks, then tests the
// condition: -2 when it holds (or there is none), else -1.  Generation
// lists the accepted tuples in walk order, without a table.
int spec_in(set* s, symbol** tuple, TVA* tva);
void set_spec_genall(set* s, TVA* tva);

// The bail-out's unwinding, before the command is abandoned: every frame
// of the current context and of the contexts it was set up from is taken
// down with its items' clean-up hooks run innermost first; pending table
// output arguments and generation state are cleared; the warning counters
// and the command's dependency bookkeeping are reset; the clean-up hooks
// of the error contexts of sets being generated run.  errno is cleared.
void bail_unwind();

}  // namespace vexo

#endif  // VEXO_EVAL_ITERATE_H
