// Linear terms (varref) and their pool, piecewise-linear terms (plterm), and
// the routines that free arrays of per-member term lists.
//
// Every linear part of the instance is a singly linked list of varref terms
// without a header: the head pointer sits in its owner's array slot, and a
// new term goes in front.  In a row list (a constraint's or objective's
// terms) a term's index is the variable (column) number; in a column list
// it is the row number, objectives numbered after the constraints.  Terms
// come from one pool, so that generation, collection, presolve and the
// writer make, move and return millions of them without the general
// allocator: the pool takes 1600-term blocks from the numbered arena
// (support/pool.h; never given back but by `reset`), 16 MiB blocks once a
// problem is large, and a whole list returns in one walk and one link.
// Since every term lies in that arena, a term links to the next by its
// 32-bit number there, which keeps a term at 16 bytes: the link is read
// through vnext and written through set_vnext, never directly.
#ifndef VEXO_INSTANCE_VARREF_H
#define VEXO_INSTANCE_VARREF_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "support/pool.h"

namespace vexo {

struct expr;
struct set;
struct var;
struct xnode;

// One linear term.
struct varref {
  uint32_t link;  // the next term's number (varref_at), 0 at the end
  int32_t index;  // row list: the column; column list: the row
  double coef;
};
static_assert(std::is_trivially_destructible_v<varref> && sizeof(varref) == 16,
              "terms are plain pool records, 1600 to a 25,600-byte block");

// The term numbered n in the numbered arena (null for 0), and the number of
// term v (0 for null); v must be a pool term.
inline varref* varref_at(uint32_t n) {
  return n ? reinterpret_cast<varref*>(narena_base) + n : nullptr;
}
inline uint32_t varref_no(const varref* v) {
  return v ? uint32_t(v - reinterpret_cast<const varref*>(narena_base)) : 0;
}
// The term after v in its list, null at the end; set_vnext makes next
// follow v.
inline varref* vnext(const varref* v) { return varref_at(v->link); }
inline void set_vnext(varref* v, const varref* next) {
  v->link = varref_no(next);
}

// One piecewise-linear term of one variable, in a size-class block of its
// own (block_class) holding 32 + 16 * n_slopes bytes.  Its links are read
// and written through vnext and set_vnext, as varref's are, so that
// transpose moves lists of either kind.  The slopes
// and breakpoints follow the head: slope 0, breakpoint 1, slope 1, ...,
// slope n_slopes - 1, breakpoints ascending.
struct plterm {
  plterm* next;
  int32_t index;        // as in varref
  int32_t kept;         // kept from the term's source
  int32_t merged;       // cleared when terms are merged
  int32_t n_slopes;     // at least 1
  int32_t block_class;  // size class of this block
  int32_t pad_;
  double* bs() { return reinterpret_cast<double*>(this + 1); }
};
static_assert(std::is_trivially_destructible_v<plterm> && sizeof(plterm) == 32);
inline plterm* vnext(const plterm* t) { return t->next; }
inline void set_vnext(plterm* t, plterm* next) { t->next = next; }

// Where a list goes on, for walks that unlink or insert terms in place:
// the slot holding the list's head, or the link of a term (varref or
// plterm).  get and set read and write it as *p reads and writes a pointer
// to a link.
template <class T>
struct list_slot {
  T** head;  // the slot, while after is null
  T* after;
  T* get() const { return after ? vnext(after) : *head; }
  void set(T* v) const {
    if (after)
      set_vnext(after, v);
    else
      *head = v;
  }
};
template <class T>
list_slot<T> head_slot(T** head) {
  return {head, nullptr};
}
template <class T>
list_slot<T> link_of(T* t) {
  return {nullptr, t};
}

// The domain of one variable from the `in` phrase of its declaration: a
// block of pieces and a set of the domain's numeric members.  The pieces
// follow the head, three doubles each (lower end, upper end, equal for a
// point, and a spare), increasing and apart; cap is the first piece in
// force and n one past the last (presolve narrows the range).
struct Inset {
  int32_t cap;
  int32_t n;
  int32_t k;  // size class of this block
  int32_t pad_;
};
struct var_dom {
  Inset* ivals;  // null when the domain has no intervals
  set* members;  // a set copy, or null
};
static_assert(std::is_trivially_destructible_v<var_dom>);

// Which members of the declarations of one entity class a problem sent:
// one block of declaration pointers followed by suffix pointers (the
// suffix code builds it).
struct CVseen {
  void** block;  // null while not built
  int32_t k;     // size class of block
  int32_t n_decls;
  int32_t n_sufs;
  int32_t pad_;
};
static_assert(std::is_trivially_destructible_v<CVseen>);

// Head of the free terms, linked as lists are.
extern varref* varref_freelist;
// The unused tail of the newest block of terms: [varref_bump,
// varref_bump_end), handed out in order once the free list is empty.
extern varref* varref_bump;
extern varref* varref_bump_end;
// Nonzero: new_varref makes no term of coefficient 0 (-0 included).
// Generation and collection set it; let's record of changed variables
// clears it.
extern int varref_kill0;

// The term pool after start-up and `reset` (the blocks were recorded
// memory): empty, and zero coefficients make terms again.  Part of misc_reinit (instance/ac.h).
void varref_reinit();

// A fresh block of 1600 terms (after 64 such blocks since start-up or
// `reset`, a 16 MiB block of 1,048,576 terms): its first term is returned, the
// others become the unused tail (varref_bump).
varref* varref_refill();
// Reports a coefficient that is infinite or NaN for column index (after
// the generation location: "can't multiply <name> by Infinity" or "by NaN")
// and abandons the command (bailout).
[[noreturn]] void varref_nonfinite(int32_t index, double coef);

// Pushes the term (index, coef) in front of next and returns the new head;
// with varref_kill0 set a zero coefficient makes no term (next is
// returned).  An infinite or NaN coefficient is an error: varref_nonfinite
// reports it and abandons the command, nothing is made.
// new_varref_kept makes the term also for coefficient 0 (presolve lists
// a variable in a row so).
inline varref* new_varref_kept(varref* next, int32_t index, double coef);
inline varref* new_varref(varref* next, int32_t index, double coef) {
  if (coef == 0 && varref_kill0) return next;
  return new_varref_kept(next, index, coef);
}
// new_varref_kept from the unused tail of the newest block (a fresh block
// when it is used up), not the free list: terms made in bulk (presolve's
// linearisations) lie side by side instead of wherever freed terms lay.
inline varref* new_varref_seq(varref* next, int32_t index, double coef) {
  if (!std::isfinite(coef)) varref_nonfinite(index, coef);
  varref* v = varref_bump != varref_bump_end ? varref_bump++ : varref_refill();
  set_vnext(v, next);
  v->index = index;
  v->coef = coef;
  return v;
}
inline varref* new_varref_kept(varref* next, int32_t index, double coef) {
  if (!std::isfinite(coef)) varref_nonfinite(index, coef);
  varref* v = varref_freelist;
  if (v)
    varref_freelist = vnext(v);
  else if (varref_bump != varref_bump_end)
    v = varref_bump++;
  else
    v = varref_refill();
  set_vnext(v, next);
  v->index = index;
  v->coef = coef;
  return v;
}

// Returns the whole list to the pool (one walk, one link); null does
// nothing.
void free_varref(varref* v);
// Returns one term to the pool.
inline void free_1varref(varref* v) {
  set_vnext(v, varref_freelist);
  varref_freelist = v;
}

// The variable declaration (kinds 2, 3, 16, 17) whose columns hold column
// n, or null after "<<< Bug: vxfind(%d) failure>>> by " on Stderr.
var* vxfind(int32_t n);
// The variable holding column n, or null, without a report.
var* var_of_column(int32_t n);

// Turns the array of n row lists *rows (a block of class old_k) into an
// array of column lists in a zero-filled block of class new_k, which is
// returned; *rows is set to null and its block freed.  Terms are moved, not
// copied: each term of row r is pushed in front of the list of its old
// index and gets r as index.  Rows are taken from the last to the first,
// so every column lists its rows in increasing order; two terms of one
// variable in a row both stay, the later-listed one first.  n below 1 gives
// an all-null array.  An index outside the new block is a bug (ends the
// session).
varref** transpose(varref*** rows, int old_k, int new_k, int32_t n);
plterm** transpose(plterm*** rows, int old_k, int new_k, int32_t n);
// As transpose, but the rows stay as they are: the columns get copies of
// their terms (new_varref, so with varref_kill0 set no term of coefficient
// 0; a null entry of rows is an empty row).  counts, unless null, gets the
// terms placed from rows below split and from the others.
varref** transpose_copy(varref* const* rows, int new_k, int32_t n,
                        int32_t split, int64_t counts[2]);

// Freeing arrays of n per-member lists (*a a block of class k): each
// entry's list goes back where it came from, then the block; afterwards *a
// is null.  A null *a does nothing; n below 1 frees only the block.
// vrefzap: varref lists to the pool.
void vrefzap(varref*** a, int k, int32_t n);
// exprzap: lists of expression nodes, each node deleted (edelete).
void exprzap(expr*** a, int k, int32_t n);
// plzap: plterm records, each freed under its own class.
void plzap(plterm*** a, int k, int32_t n);
// Is_zap: domain pairs, the array in a block of class k + 1; each set copy
// deleted (del_enum), each interval block freed.
void Is_zap(var_dom** a, int k, int32_t n);
// Frees the block of c and clears it.
void cvszap(CVseen* c);

}  // namespace vexo

#endif  // VEXO_INSTANCE_VARREF_H
