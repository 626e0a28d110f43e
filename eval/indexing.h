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

namespace vexo {

struct expr;
struct eexpr;  // shared-expression record of the compiler

// One item of an indexing: the set it ranges over and the dummies (or the
// tuple expression) that take its members.
struct Index {
  Index* next;     // next item of the same indexing (source order once
                   // wrapped in a set_spec)
  set* s;          // the set ranged over (owned)
  expr* dummies;   // chain of dummy (or tuple element) nodes, or null
  int32_t level;   // scope level opened for the item, 0 when none
  int32_t ndum;    // number of nodes in dummies
  // Kept by the compiler while the indexing is compiled and after.
  eexpr* ee;       // record of the set, while its level is open
  int32_t cells;   // components of the set's members (its arity)
  int32_t nrew;    // nodes rewritten at this level
  expr** rew;      // those nodes (a block of class htcl(8 * nrew))
  // Iteration (eval/iterate.h).  The hook lists are expression-shaped
  // records chained by next: an on-bind or completion hook is called as
  // its routine (hook, TVA), a clean-up hook as routine (hook, Index)
  // (cleanup_fn).  The hooks belong to whoever planted them.
  Index* outer;      // next item outward, null for the first
  expr* cleanup;     // run, and emptied, when the scope leaves its value
  expr* onbind;      // run after each value is copied into the cells
  expr* icond;       // this scope's condition, tested after the on-bind
                     // hooks (its OPAND nodes are its own, the conjuncts
                     // belong to the indexing's condition)
  expr* complete;    // run once a whole tuple is accepted
  setmem* cur;       // member now bound
  symbol** vals;     // the value cells in the current frame
  symbol** savelev;  // lev[level] before the frame was pushed

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
  Index* first;   // items in source order
  expr* cond;     // the condition after ":" or "|", or null
  int32_t nindex; // number of Index items (scope levels to close)
  int32_t flag;   // as given to the constructor (1 from the grammar)
  // Tested once before any dummy is bound (its OPAND nodes are its own).
  expr* precond;
  // Nonzero once the condition's conjuncts stand in the scopes' conditions
  // and the precondition; until then iteration tests the whole condition
  // when a tuple is complete.
  int32_t split;
  // Kept by the compiler.
  set_spec* oldss;    // the indexing compiled around this one
  uint64_t depmask;   // level bits of what the indexing depends on
  set* rset;          // result set that iteration fills (declarations)
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

// Frees the chain of items: their sets lose one reference, their dummy
// nodes are deleted through set_edelete_hook (eval/set.h), the OPAND nodes
// of their conditions are freed.
void index_free(Index* first);
// Destroys an indexing expression: its generated members, its items, its
// condition, the OPAND nodes of its precondition and the record.
// Installed as the class-2 release of sdelete by indexing_init.
void set_spec_delete(set_spec* ss);
// Frees the OPAND nodes of a conjunction, not its conjuncts.
void and_clear(expr* e);
// The context level below the first item (0 for an indexing at the outer
// scope of a command or declaration).
inline int32_t ss_level(const set_spec* ss) {
  return ss->first ? ss->first->level - 1 : 0;
}
// Number of Index items of an indexing (0 for null).
int set_spec_count(set_spec* ss);

// Start-up: installs set_spec_count as the context stack's ss_count_hook
// and the class-2 release routine.
void indexing_init();

}  // namespace vexo

#endif  // VEXO_EVAL_INDEXING_H
