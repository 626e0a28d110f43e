// Shared expressions.  While the compiler massages an expression tree, every
// node and every set it keeps gets a companion record, the eexpr: its hash,
// the context levels its value depends on, its use count and the newest data
// stamp among its inputs.  Structurally equal nodes meet in one hash table,
// eehashtab, and the later occurrence gives way to the earlier node, so that
// a common subexpression is built, stored and evaluated once.
//
// While a node is being compiled its evaluation-routine field holds its
// record (ee_of reads it back); opcode generation later replaces it by the
// evaluation routine.
#ifndef VEXO_COMPILER_EEXPR_H
#define VEXO_COMPILER_EEXPR_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "eval/optab.h"

namespace vexo {

struct expr;
struct set;
struct Index;
struct context_rec;  // compiler/context.h

// Flag bits of a record.
enum : uint32_t {
  EE_MANDATED = 1,  // marked as needed at its level: gets a STORE
  EE_RUNTIME = 2,   // a set whose members are produced at run time (its
                    // contents are never compared)
  EE_ENUM = 4,      // an enumerated data set; on an expression record: a
                    // negated factor or the variable side of a linear term
  EE_FORCED = 8,    // value stored at its own level and reused inside
  EE_PERM = 16,     // one of the shared constants eone/enegone
  EE_COND = 32,     // made or used in conditional code: never a STORE
  EE_DISCARDED = 64  // linked on hdiscard, out of the table
};

// Bit 31 of a hash tells a set record from an expression record.
constexpr int64_t EE_SETHASH = 0x80000000;

// Link words of a hash chain: bucket heads and records share this layout,
// so a bucket is a circular doubly linked list anchored at its head.
struct eelink {
  eelink* next;
  eelink* prev;  // null while a record is not in the table
};

struct eexpr {
  eelink h;        // hash chain; h.next links the free list
  eexpr* lnext;    // next record made at the same context level
  union {
    expr* e;       // the node it stands for
    set* s;        // for a set record (hash bit 31 set)
  };
  int64_t hash;
  uint64_t levbits;    // bit L: the value depends on level L's dummies
  uint32_t flags;      // EE_...
  uint32_t nuse;       // places that use the node
  double stamp;        // newest data stamp among the inputs
  context_rec* con;    // context record of the record's level

  bool is_set() const { return (hash & EE_SETHASH) != 0; }
  bool hashed() const { return h.prev != nullptr; }

  // From the free list (use count 0) or a fresh record from the current
  // slab (a slab of records is taken from the arena when it is used up).
  static void* operator new(size_t size);
  // Clears a live set's pointer to the record, takes the record out of
  // the table and puts it on the free list.
  static void operator delete(void* p);

  // Initialises an expression record: flags from the level bits, the node
  // bound to the record, the level bits widened to the current level for
  // a node with variables (not a variable reference itself), placed at the
  // innermost level its bits name, entered in the table when hashit is
  // nonzero (never for e_nomatch), pushed on its level's chain.  Level
  // bits outside the open levels are a bug ("level has impossible levbits
  // 0x%lx").
  void eexpr_init(expr* node, int64_t hash, uint64_t lev, int hashit,
                  double stamp);
  // The same for a node that must stay private: hash 0, never hashed.
  void eexpr_init(expr* node, uint64_t lev, double stamp) {
    eexpr_init(node, 0, lev, 0, stamp);
  }
  // A set record: the set's evaluation fields and the level bits are left
  // as they are.  The set does not point to the record yet.
  void sinit(set* st, int64_t hash, uint64_t lev, int hashit, double stamp);
};
static_assert(std::is_trivially_destructible_v<eexpr> &&
                  std::is_standard_layout_v<eexpr>,
              "eexpr records are plain pool records");

// The table: eeh_mask + 1 bucket heads (a power of two) in a block of
// size class eeh_k; it doubles when it holds twice as many records as
// buckets, so look-ups stay short whatever a command compiles.
extern eelink* eehashtab;
extern uint32_t eeh_mask;
extern uint32_t eeh_count;  // records in the table
extern int eeh_k;
// Records taken out of the table while still referenced.
extern eelink hdiscard;
extern eexpr* eexpr_free_list;

// When nonzero no two expressions are ever equal: nothing is shared.
extern int no_common;
// One node that must never be matched (it gets a private record).
extern expr* e_nomatch;

// Per-opcode tables (0..248).  Distributable: how distribution of factors
// treats a node (frontend/distrib.h); opgenclass: how opcode generation
// binds it; canvary: variable references, exempt from the widening of
// level bits.
constexpr int N_EEOPS = 249;
extern uint8_t Distributable[N_EEOPS];
extern uint8_t opgenclass[N_EEOPS];
extern uint8_t canvary[N_EEOPS];

// The record a node names while it is compiled, or null: the node's
// routine field holds the address of a live expression record of that
// node (tested against the record slabs exactly, whatever else the field
// holds).
eexpr* ee_of(const expr* e);

// Start-up and `reset`: empties the table, the discard list and the free
// list, shares again (no_common 0), forgets e_nomatch and fills the opcode
// tables.  The context stack has its own start-up (context_reset).
void eehashtab_init();

// Look-ups.  ehash: a record whose node equals e (a hit re-binds the
// found node to its record and lists it on ee_rewlist when it named
// another), else null.  shash: a record whose set equals s; a hit raises
// the found set's reference count.
eexpr* ehash(int64_t hash, expr* e);
eexpr* shash(int64_t hash, set* s);
// Equality used by the look-ups.  Operands are shared already, so most
// classes compare operands by identity.  An opcode shape that cannot occur
// is a bug.
int same_expr(expr* a, expr* b);
int same_set(set* a, set* b);
int same_set_enum(set* a, set* b);
int same_list(expr* a, expr* b);
// Argument lists of calls (OPARG entries) compared pairwise.
int same_args(expr* a, expr* b);

// Moves a record that is in the table to the front of hdiscard; returns 0.
int disc(eexpr* r);
// Takes a record out of the table.
void rm_hash(eexpr* r);
// Set destructors: withdraws the set's record from the table (its node
// field cleared) and deletes the set's private node.
void del_ee(set* s);
// Adds 1 to the use count of the record of every plain argument of a call.
void arg_refinc(expr* args);

// Unwraps an OPEVAL wrapper (lists of shared nodes, lmassage).
expr* uneval(expr* e);

}  // namespace vexo

#endif  // VEXO_COMPILER_EEXPR_H
