// Slices: the members of a set S whose components at some positions equal
// a key evaluated at run time.  A projection (class 21) holds the other
// components of those members: in {(k, j) in E} with k bound, j runs over
// the second components of the members of E whose first component is k.
// A selection holds the matching members whole: the item of
// {(i, j) in E: i == k} runs over the members of E whose first component is
// k (the indexing turns the condition into the selection, eval/indexing.h).
//
// Every slice of S with the same fixed positions (and the same kind) shares
// one slice record, kept in S's slice cache: the distinct keys of S's
// members and, per key, the set of its members.  The record is built once,
// on first use, in one pass over S; a slice at a new key value then costs
// one look-up.  The record is rebuilt when S is generated again.
#ifndef VEXO_EVAL_SLICE_H
#define VEXO_EVAL_SLICE_H

#include <cstdint>
#include <type_traits>

#include "eval/set.h"

namespace vexo {

struct expr;

struct slice_rec {
  slice_rec* next;      // next record of the sliced set's cache
  set* keys;            // the distinct keys (enumerated, ordinals 0, 1, ...);
                        // null until built
  set** msets;          // per key ordinal, the set of its members
  int32_t mk;           // size class of the msets block
  int32_t stale;        // the sliced set was generated again since the build
  set* empty;           // the empty set a slice at an absent key adopts
  set* sliced;          // the sliced set (not counted)
  int32_t nfix;         // number of fixed positions
  int32_t refcnt;       // slices using the record, plus one while cached
  int32_t whole;        // selection: member sets hold whole members
  int32_t arity;        // arity of the sliced set
  int32_t pos[TUPMAX];  // the fixed positions, ascending
};
static_assert(std::is_trivially_destructible_v<slice_rec>,
              "slice records are plain pool records");

// The slice of S (class 21, record set3p: f1 the key expressions, f2 the
// slice record, f3 S): key is the chain of symbol-valued expressions of
// the fixed components in position order, pos their positions (ascending,
// each below S's arity), whole nonzero for a selection.  S's reference and
// the key chain are taken over.  The record is shared through S's cache
// (find_slice) when S has no owner, else private to this slice.  Arity:
// S's, less nfix for a projection.
set* set_slice(set* S, expr* key, const int32_t* pos, int nfix, int whole);
// The record of S's cache with these fixed positions and kind, or null.
slice_rec* find_slice(set* S, int nfix, const int32_t* pos, int whole);

// The sliced set of s was replaced by an equal one (the compiler shares
// equal sets): s moves to the matching record of the new set.
void slice_rebase(set* s);

// Class routines.  Generation evaluates the key and adopts the member
// count, order list and table of that key's member set (an empty set when
// the key is absent); membership asks that member set.  The sliced set is
// generated first when needed; a record whose set was generated again is
// rebuilt.
int set_slice_in(set* s, symbol** tuple, TVA* tva);
void set_slice_genall(set* s, TVA* tva);

// S's members are about to go or to be generated again: the records of its
// cache are rebuilt on their next use.
void slice_cache_clear(set* S);
// Releases S's slice cache when S goes: each record loses its cached
// reference (and is freed when no slice uses it).
void del_slice(set* S);
// The class-21 release: the key chain is deleted, the record loses a
// reference, S loses the slice's reference.
void release_slice(set* s);

}  // namespace vexo

#endif  // VEXO_EVAL_SLICE_H
