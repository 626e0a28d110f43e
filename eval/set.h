// The set record and its member store.  Every set value (a declared set, a
// set expression, an indexing expression used as a set, a system set) is one
// `set` record with a common head.  Members are tuples of interned symbols,
// kept once each in an insertion-ordered list (ordinals 0, 1, 2 ...) and
// found through an open hash table that is built only when first needed and
// grows so that it never holds more members than buckets.  A set shared by
// several holders is copied before it is changed (mutable_set).
//
// The class of a set (what fills its members, how membership is answered
// without a table) is a code in the head plus two routines held in the
// record, `in` and `genall`; the class constructors fill them.  This module
// owns the head, the member nodes and their free lists, the record free
// lists of every record size, the enumerated class (1) and the release of
// set records of any class (sdelete); the other classes plug in through the
// routines in the record and the release table set_release.
#ifndef VEXO_EVAL_SET_H
#define VEXO_EVAL_SET_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace vexo {

struct symbol;  // support/symbol.h
struct TVA;     // evaluation context
struct eexpr;   // shared-expression record of the compiler
struct expr;    // expression node (frontend/expr.h)
struct xnode;   // declaration head (frontend/decl.h)
struct set;

// Most components a member tuple can have.
constexpr int TUPMAX = 20;
// Kind tag of every set record (the kind word that tells a set from other
// bound or evaluable records).  Built-in interval sets bound to names
// (Reals, Integers, ...) carry SET_BUILTIN_KIND instead.
constexpr uint32_t SET_KIND = 6;
constexpr uint32_t SET_BUILTIN_KIND = 41;

// Class codes (1..24).
enum : uint32_t {
  SC_ENUM = 1,     // stored members
  SC_SPEC = 2,     // indexing expression
  SC_SPECSET = 3,  // indexing expression used as a set value
  SC_RANGE = 4,    // a .. b by c
  SC_UNION = 5,
  SC_DIFF = 6,
  SC_SYMDIFF = 7,
  SC_INTER = 8,
  SC_SETOF = 9,
  SC_ITUNION = 10,  // iterated union
  SC_ITINTER = 11,  // iterated intersection
  SC_IF = 12,       // if-then-else of two sets
  SC_ORDERED = 13,  // a set in the order of another
  SC_LITERAL = 14,  // listed members
  SC_CROSS = 15,    // product of sets
  SC_SYS = 16,      // all entities of a declaration class
  SC_SYSENUM = 17,  // system enumerated set built by the front end
  SC_SUBSCR = 19,   // member of an indexed collection of sets
  SC_INVALID = 20,  // stands for missing data
  SC_SLICE = 21,
  SC_INTERVAL = 22,
  SC_NAMED = 23,      // a declared set
  SC_DB = 24,         // set bound to a table dummy
  N_SET_CLASSES = 25  // codes index tables of this size
};

// Membership answer of every `in` routine: the member's ordinal, or one of
// these two.
constexpr int NOT_MEMBER = -1;
constexpr int MEMBER_NO_ORD = -2;  // a member whose position is not known

// The class routines held in every set record.
using set_in_fn = int (*)(set* s, symbol** tuple, TVA* tva);
using set_genall_fn = void (*)(set* s, TVA* tva);

// A member: a node of the insertion-order list and of one bucket chain,
// followed directly by its tuple of `arity` symbol pointers (tup()).
struct setmem {
  setmem* hnext;  // next node in the same bucket
  setmem* next;   // next member in insertion order; free-list link
  int32_t ord;    // 0-based position in insertion order; -1: deleted
  int32_t pad_;
  symbol** tup() { return reinterpret_cast<symbol**>(this + 1); }
  symbol* const* tup() const {
    return reinterpret_cast<symbol* const*>(this + 1);
  }
};
static_assert(std::is_trivially_destructible_v<setmem> && sizeof(setmem) == 24);

// The common head of every set record.  Class records append their own
// fields (set2p, set3p, set_interval below; set_spec of the indexing code).
// Field order is fixed: the kind word at offset 8 is read through name
// bindings, the link word chains free records and the built-in sets.
struct set {
  set* link;             // free-list link while free; chain of AvailSets
  uint32_t kind;         // SET_KIND (SET_BUILTIN_KIND for built-in names)
  int32_t nmem;          // member count; -1 = not generated yet
  int32_t k;             // log2 of the bucket count
  int32_t mask;          // 2^k - 1
  setmem* first;         // first member in insertion order
  setmem** htab;         // 2^k buckets (an mblk of class k); null until built
  setmem** lastnext;     // order-next field of the last member, or &first
  eexpr* ee;             // shared-expression record
  int32_t arity;         // components per member
  uint32_t sclass;       // class code
  uint32_t nuse;         // use count: nonzero makes in() build a table
  uint32_t depth;        // nesting depth as for expressions (0: no
                         // operands; frontend/expr.h MAX_NESTING)
  xnode* owner;          // owning declaration, if any
  set_in_fn in;          // the class's membership test
  set_genall_fn genall;  // the class's generator
  void* errctx;          // error-context record with a hook list, or null
  expr* privnode;        // node owned by the set, hooked onto errctx
  void* slices;          // slice cache (set slicing), freed with the set
  setmem** ordidx;       // members by ordinal (2^k slots, class k) or null
  double stamp;          // data stamp
  int32_t refcnt;        // holders; 1 at construction
  int32_t cword;         // class word: factor count, entity class, column

  // Sizes the table for n members expected: frees the old buckets and
  // ordinal index, k = bits(n - 1) for n > 1 (else n), a zeroed bucket
  // array.  Members are not touched; callers add them afterwards.
  void new_htab(int n);
  // Rebuilds the table for nmem from the order list.  A live duplicate is
  // a bug (ends the session).
  void rehash();
  // 1 when a live member equal to t is present (nothing changes), else 0
  // after appending t as a new member (the table grows as needed).  The
  // table must exist.
  int addmem(symbol* const* t);
  // Ordinal of t or -1.  The table must exist.  *node gets the matching
  // member: the live one, else a deleted one (ordinal -1), else null;
  // *slot the bucket slot of t.
  int lookup(symbol* const* t, setmem** node = nullptr,
             setmem*** slot = nullptr);
  // Builds the table of a set that has members but none (generating the
  // set first when nmem is -1) and renumbers the ordinals in list order.
  // Duplicates and a wrong count are reported through terror.
  void makesettab(TVA* tva);
};
// Nesting depth of a set (0 for none).
inline uint32_t nest_of(const set* s) { return s ? s->depth : 0; }
static_assert(std::is_trivially_destructible_v<set> &&
                  std::is_standard_layout_v<set> && sizeof(set) == 144 &&
                  offsetof(set, kind) == 8,
              "set records are plain pool records");

// Record of the classes with two class fields after the head (5-9, 13, 20,
// 21) and with three (4, 10-12, 14, 15, 19); class code files define their
// own field names over these sizes.
struct set2p : set {
  void* f1;
  void* f2;
};
struct set3p : set {
  void* f1;
  void* f2;
  void* f3;
};
// Interval record (class 22).  type bits: 1 upper end closed, 2 lower end
// closed, 4 integers only, 8 every symbol is a member (no bounds; the low
// bits then pick a collation).
struct set_interval : set {
  expr* lower;
  expr* upper;
  int32_t type;
  const char* name;  // of a built-in set, else null
};
static_assert(std::is_trivially_destructible_v<set2p> &&
                  std::is_trivially_destructible_v<set3p> &&
                  std::is_trivially_destructible_v<set_interval>,
              "set records are plain pool records");

// Member-node free lists, one per arity 0..TUPMAX, linked through next.
extern setmem* free_setmem[TUPMAX + 1];
// Free set records by size.
extern set* enum_free_list;          // common size: classes 1, 23
extern set* db_free_list;            // common size: classes 16, 24
extern set* set2p_free_list;         // set2p
extern set* set3p_free_list;         // set3p
extern set* set_interval_free_list;  // set_interval

// A member node for a tuple of that arity, its tuple left to the caller:
// from its free list (order-next cleared), else from a block set aside by
// set_reserve or from the arena (links and ordinal zero).  An arity
// outside 0..TUPMAX is a bug.
setmem* new_setmem(int arity);
// Gives back a chain linked through next, starting at first; null does
// nothing.
void del_setmem(int arity, setmem* first);
// The members of s with their table and ordinal index: free_members gives
// them back, drop_members forgets them (they belong to another record).
// Either way s is left empty (nmem 0) and the records of s's slice cache
// are rebuilt on their next use.
void free_members(set* s);
void drop_members(set* s);

// Zeroed records of the four sizes with lastnext at their own order head.
set* new_enum();   // common size, from enum_free_list
set* new_setdb();  // common size, from db_free_list
set2p* new_set2p();
set3p* new_set3p();
set_interval* new_set_interval();

// A tuple of n components built from the model (an indexing, a cross
// product, a setof's member): more than TUPMAX is reported at the
// statement being read and the statement is abandoned (bailout).
void tuple_limit(int n);

// Makes s an empty enumerated set (class 1) of the arity: reference count
// 1, kind tag, nmem 0, a one-bucket table, the enumerated routines.  An
// arity outside 0..TUPMAX is a bug.  Returns s.
set* set_enum(set* s, int arity);
// The class-1 release on its own: lowers the reference count and frees the
// record and its members when none remain.
void del_enum(set* s);

// Membership for any class: with a table, the member's ordinal or -1;
// without one, a set in use (nuse nonzero) gets its table first, any other
// is answered by its class's `in` (ordinal, -2 or -1).
int64_t set_in(set* s, symbol** tuple, TVA* tva);
// Ordinal of the tuple among the set's members, or -1; the table is built
// first when missing.  With where non-null it receives the member (null
// when absent).
int64_t set_lookup(set* s, symbol** tuple, setmem** where = nullptr);
// Appends a member (set::addmem): 1 when it was present already, else 0.
// A set without a table gets one first.
int set_addmem(set* s, symbol** tuple);
// Sizes the table of s (made first when absent) for n members at once, so
// that adding members up to that count rehashes nothing; many members to
// come get their nodes set aside in one block.
void set_reserve(set* s, int64_t n);
// Appends a member known to be new to the order list (ordinal nmem, nmem
// raised); the table, if any, is not told: generators that build order
// lists only use it on a set without one.
setmem* set_append(set* s, symbol* const* tuple);
// s's hash table and ordinal index go: the next look-up (set_lookup,
// set_in, set_addmem) makes them for the members then present, so a set
// filled by set_append gets one table of its final size.
void set_forget_table(set* s);
// d shows the members of m: member count, order list and table (they stay
// m's).  An ordinal index d built for itself goes.
void set_adopt(set* d, set* m);
// The members of s by ordinal (its ordidx), built on first use; s is
// generated and given its table first when needed.  New members enter it;
// it goes with the table.
setmem** set_ordidx(set* s, TVA* tva);
// The address of the link that points at the member equal to the tuple
// (its bucket slot or the hash-next field before it), or null.
setmem** prevlookup(set* s, symbol* const* tuple);
// The one way to run a class generator (set::genall); callers use it
// when nmem is -1.  A set with an error context (an Index whose clean-up
// hooks forget the set when its level moves on) has its private node
// pushed onto those hooks and the context listed for bailout during the
// call; the collected problem's current entity names the owner meanwhile.
// A set with an owner and the invalid class's generator ends the command.
// The records of the set's slice cache are rebuilt on their next use.
void set_genall(set* s, TVA* tva);
// The bounds of the range s (class 4) for a walk that computes its members
// one at a time instead of listing them (range_bounds, eval/setgen.h),
// evaluated in the error context set_genall gives a generator.  Nothing of
// s changes.
int32_t set_range_walk(set* s, TVA* tva, double* lower, double* stride);
// Held around every run of a class generator (set_genall, and the routines
// that run theirs directly), innermost last on one chain.  The bail-out
// (set_gen_abandon) puts every set still held back to not generated
// (Clearset) before anything is unwound or freed, so that a generator that
// ends the command part-way leaves no partial members that a later use
// would take for the whole set.  done() once the generator has finished.
class gen_hold {
 public:
  explicit gen_hold(set* s);
  gen_hold(const gen_hold&) = delete;
  gen_hold& operator=(const gen_hold&) = delete;
  ~gen_hold();
  void done() { s_ = nullptr; }

 private:
  friend void set_gen_abandon();
  set* s_;
  gen_hold* outer_;
};
// Run first by the bail-out (an error, or the end of a command that an
// interrupt stopped): the sets of all running generators, and the sets
// generated while an interrupt was pending (set_genall lists them; their
// walks may have stopped short), are put back to not generated.
void set_gen_abandon();

// Copy on write: s itself while fewer than two hold it; otherwise a new
// enumerated set with the same members in the same order, and s loses one
// reference.  Callers about to change a set's members call it first.
set* mutable_set(set* s);
// A new enumerated set with the members of the generated set s in their
// order (empty when s has none).
set* set_copy(const set* s);
// Whether a and b (generated) have the same members in the same order; a
// null or ungenerated a has not.
bool same_members(const set* a, const set* b);
// Drops one reference to a set of any class and frees it when none remain.
void sdelete(set* s);

// The enumerated class routines: membership by table look-up; generation
// of a set that never got data ends the command with "no data for set %s"
// (declared set) or reports "enum_genall called!" through terror.
int enum_in(set* s, symbol** tuple, TVA* tva);
void enum_genall(set* s, TVA* tva);
// The declaration of s when s is a declared set that never got data (its
// generation would end the command with "no data for set %s"), else null.
xnode* set_without_data(const set* s);

// Release of what a class record holds (expressions, operand sets,
// indexing expressions), by class code, run before the record is
// recycled; for classes 2 and 3 it destroys the whole indexing expression
// (it is not a record of this module).  Null: nothing to release.  The
// table is the class constructors' (eval/setclass.cpp).
extern void (*const set_release[N_SET_CLASSES])(set* s);

// Start-up and `reset`: empties the member and record free lists (their
// nodes live in recorded memory, which `reset` frees).
void set_reset();

}  // namespace vexo

#endif  // VEXO_EVAL_SET_H
