// Indexing expressions.  An indexing such as {i in I, (j,k) in J: cond} is
// a chain of Index entries, one per item, wrapped in a set_spec, which is a
// set record of class 2 (an indexing used where a set is wanted is the same
// record seen as a set).  Each entry with dummies opens one scope level of
// the context stack (support/list.h) while the indexing is being parsed;
// the dummies of the entry live at that level.
#ifndef VEXO_EVAL_INDEXING_H
#define VEXO_EVAL_INDEXING_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "compiler/tva.h"
#include "eval/set.h"
#include "frontend/expr.h"

namespace vexo {

struct expr;
struct eexpr;  // shared-expression record of the compiler

// One item of an indexing: the set it ranges over and the dummies (or the
// tuple expression) that take its members.
struct Index {
  Index* next;    // next item of the same indexing (source order once
                  // wrapped in a set_spec)
  set* s;         // the set ranged over (owned)
  expr* dummies;  // chain of dummy (or tuple element) nodes, or null
  int32_t level;  // scope level opened for the item, 0 when none
  int32_t ndum;   // number of nodes in dummies
  // Kept by the compiler while the indexing is compiled and after.
  eexpr* ee;      // record of the set, while its level is open
  int32_t cells;  // components of the set's members (its arity)
  int32_t nrew;   // nodes rewritten at this level
  expr** rew;     // those nodes (a block of class htcl(8 * nrew))
  // Filled by the compiler's opcode generation, run by iteration
  // (eval/iterate.h).  Each hook list is a chain of expression-shaped
  // records linked through next.  Clean-up hooks run as cleanup_fn (hook,
  // this entry) when the entry leaves its current member (exactly once per
  // member, also on a break and on bail-out), which empties the list;
  // on-bind hooks run as hook->op (hook, context) after each new member,
  // before cond is tested; completion hooks the same way once a whole tuple
  // is accepted (only when the indexing has a condition).  The hooks belong
  // to whoever planted them.
  expr* cleanup;
  expr* onbind;
  expr* complete;
  // Conjuncts of the indexing's condition tested at this entry, or null
  // (st_adjust; the AND nodes joining them are the compilation's, logged
  // for its undo, the conjuncts belong to the indexing's condition).
  expr* cond;
  // Iteration state.
  Index* outer;      // next item outward, null for the first
  setmem* cur;       // member now bound
  symbol** vals;     // the value cells in the current frame
  symbol** savelev;  // lev[level] before the frame was pushed
  // A range not yet listed is walked in place: member rpos of rcount, the
  // value lower + rpos * stride computed as it is bound (cur stays null).
  // rcount is -1 while the item walks a member list.
  int32_t rpos;
  int32_t rcount;
  double rlower;
  double rstride;

  // Builds one item in front of `prev` (the items so far, newest first,
  // or null), ranging over s with the given dummy or tuple chain.  With
  // open nonzero a new scope level is opened (new_context) and recorded in
  // level; the caller then binds the item's dummies in it.  Raises an error
  // when the context stack overflows (that ends the session).
  Index(Index* prev, set* s, expr* dummies, int open);

  // Records come from the block allocator; the chain is released by
  // index_free.
  static void* operator new(size_t size);
  static void operator delete(void* p);
};
static_assert(std::is_trivially_destructible_v<Index> &&
                  std::is_standard_layout_v<Index>,
              "Index records are plain pool records");

// An indexing expression: a set record of class 2 whose arity is the
// number of its dummies.  Its members, once generated, are the accepted
// tuples.
struct set_spec : set {
  Index* first;    // items in source order
  expr* cond;      // the condition after ":" or "|", or null
  int32_t nindex;  // number of Index items (scope levels to close)
  int32_t flag;    // as given to the constructor (1 from the grammar)
  // Conjuncts of cond that read none of its own dummies, tested once
  // before any dummy is bound (st_adjust), or null.
  expr* precond;
  // Nonzero once st_adjust has put the condition's conjuncts in the
  // items' conditions and the precondition; until then (an indexing not
  // compiled) iteration tests the whole condition when a tuple is
  // complete.
  int32_t split;
  // Kept by the compiler.
  set_spec* oldss;   // the indexing compiled around this one
  uint64_t depmask;  // level bits of what the indexing depends on
  set* rset;         // result set that iteration fills (declarations)
  // Size record of an evaluation context of its own, filled when the
  // compiler closes the indexing; a nested context points its size at it.
  tva_size size;

  // Wraps a chain of items (newest first, as built) with an optional
  // condition: the items in source order (outer links set), kind tag,
  // class 2, not generated, one reference, nindex = the chain's length,
  // arity = the number of dummies (an item without dummies counts its
  // set's arity).  A conjunct of the condition that fixes a dummy of an
  // item to a value known before the item is entered (i == k with k a
  // dummy of an outer item or a literal) leaves the condition: the item
  // then runs over the selection of its set with that component fixed
  // (set_slice, eval/slice.h), which costs one look-up per entry.
  set_spec(Index* first, expr* cond, int flag);

  static void* operator new(size_t size);
  static void operator delete(void* p);
};
static_assert(std::is_trivially_destructible_v<set_spec>,
              "indexing records are plain pool records");

// The routine of a clean-up hook, kept in the hook's op field (through the
// generic function pointer type, which any routine type converts to and
// back from).
using cleanup_fn = void (*)(expr* hook, Index* ix);
using any_fn = void (*)();
inline efunc cleanup_op(cleanup_fn f) {
  return reinterpret_cast<efunc>(reinterpret_cast<any_fn>(f));
}
inline cleanup_fn cleanup_of(efunc f) {
  return reinterpret_cast<cleanup_fn>(reinterpret_cast<any_fn>(f));
}
// Links hook, its routine already in its op field, in front of ix's
// clean-up hooks.
inline void push_cleanup(Index* ix, expr* hook) {
  hook->next = ix->cleanup;
  ix->cleanup = hook;
}
// The same with routine f put in the hook first.
inline void push_cleanup(Index* ix, expr* hook, cleanup_fn f) {
  hook->op = cleanup_op(f);
  push_cleanup(ix, hook);
}
// Runs and empties a list of clean-up hooks, newest first, each with ix.
inline void run_cleanups(expr** hooks, Index* ix) {
  expr* h = *hooks;
  *hooks = nullptr;
  while (h) {
    expr* nx = h->next;
    cleanup_of(h->op)(h, ix);
    h = nx;
  }
}
// Runs and empties the clean-up hooks of ix.
inline void run_cleanup(Index* ix) { run_cleanups(&ix->cleanup, ix); }
// Runs a chain of on-bind or completion hooks in order.
inline void run_hooks(expr* h, TVA* tva) {
  for (; h; h = h->next) h->op(h, tva);
}

// Frees the chain of items: their sets lose one reference, their dummy
// nodes are deleted (edelete).
void index_free(Index* first);
// Destroys an indexing expression: its generated members, its items, its
// condition and the record.  The AND nodes of the precondition and of the
// items' conditions are the compilation's (st_adjust), freed when it is
// undone.  The class-2 and class-3 release of sdelete.
void set_spec_delete(set_spec* ss);
// The context level below the first item (0 for an indexing at the outer
// scope of a command or declaration).
inline int32_t ss_level(const set_spec* ss) {
  return ss->first ? ss->first->level - 1 : 0;
}
// Number of Index items of an indexing (0 for null).
int set_spec_count(set_spec* ss);

}  // namespace vexo

#endif  // VEXO_EVAL_INDEXING_H
