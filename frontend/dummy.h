// Index dummies and symbol lists.  An indexing such as {i in I} binds the
// dummy name i only inside its scope: a `dummy` record is made per name when
// the scope opens, the name's previous meaning is saved in it and given back
// when the scope closes (context_end, support/list.h, calls
// dummy_release).  A reference to a dummy inside the scope is an
// OPDUMMY node that addresses the dummy's value cell by scope level and
// offset.  symlist turns parsed lists into lists whose every element yields
// a set member; name_purge reports undefined names in such lists.
#ifndef VEXO_FRONTEND_DUMMY_H
#define VEXO_FRONTEND_DUMMY_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace vexo {

struct expr;
struct symbol;
struct set;
struct Index;
struct set_spec;
struct list;

// Binding kind of a dummy, and of the dummy of a `for` loop while the loop
// is being read (the lexer gives it its own token; a loop dummy met in a
// statement is noted in lastloopdummy).
constexpr uint32_t DUMMY_KIND = 12;
constexpr uint32_t LOOPDUMMY_KIND = 31;

struct dummy {
  dummy* next;      // next (older) dummy of the same scope
  uint32_t kind;    // DUMMY_KIND; at offset 8 like every bound record
  symbol* name;     // the dummy's name
  void* oldval;     // the name's binding before the dummy was made
  uint32_t level;   // scope level (sslevel when made)
  uint32_t offset;  // value-cell offset in the level (ssoffset when made)

  // Chains to `next`, binds `name` to the new dummy at the current scope
  // level and the next offset of it (ssoffset grows by 1).  When the name
  // was bound to a declaration or another dummy (binding kind below 32),
  // reports "duplicate definition of %s" (a warning; the dummy is bound all
  // the same).
  dummy(dummy* next, symbol* name);

  // From dummy_free_list (link cleared), else a fresh record from the
  // arena.  Records go back through dummy_release.
  static void* operator new(size_t size);
  static void operator delete(void* p);
};
static_assert(std::is_trivially_destructible_v<dummy> &&
                  std::is_standard_layout_v<dummy> && sizeof(dummy) == 40,
              "dummies are plain pool records");

extern dummy* dummy_free_list;

// Gives every name of the chain starting at `first` (newest first) its
// previous binding back, in chain order, and returns the whole chain to
// dummy_free_list.  null does nothing.
void dummy_release(dummy* first);

// The reference to a dummy: an OPDUMMY node (no flags) with L the level, R
// the offset, and the dummy's symbol in the routine slot until the compiler
// binds a routine; counts the reference in Dummy_refs of the level.
expr* dummy_expr(dummy* d);

// The reference to a loop dummy: an OPLOOPDUMMY node (no flags) with L the
// dummy record; notes the dummy in lastloopdummy (frontend/decl.h), which
// the declaration chaining reads.
expr* loopdummy_expr(dummy* d);
// One item of an indexing as the grammar builds it: a new Index in front
// of `prev` over s, opening a scope level (every item opens one, since
// closing an indexing closes a level per item); then each name of `names`
// (a chain in source order of OP279 name nodes, each holding its symbol in
// L, or null for a set alone) becomes a dummy of that level, and the item
// holds the chain of their OPDUMMY nodes; other nodes of the chain (tuple
// components given by expressions) are kept as they are.  The name nodes
// are freed.  May
// report duplicate definitions; raises an error when the context stack
// overflows.
Index* index_item(Index* prev, expr* names, set* s);

// The set ranged over by the indexing item that opened scope level
// `level`, while that level is open; null otherwise.  The order operators
// (ord, next, ...) of a dummy use it.  The set is not given a reference.
set* dummy_set(int level);
// Level `level` closes: its set is forgotten (a level opened later without
// an item, or a set freed meanwhile, is not taken for it).
void dummy_level_closed(int level);

// While nonzero, subscripts that involve variables and carry flag 1 are
// admitted (and counted).  Set by the grammar at the colon of a constraint
// or objective body; cleared by the command reset.
extern int nvarsub;

// Modes of symlist.
enum : int {
  SYML_INDEX = 0,
  SYML_TUPLE = 1,
  SYML_LITSET = 2,
  SYML_SETOF = 3,
  SYML_IN = 4,
  SYML_NOTIN = 5
};
// The elements of the chain `list` in reverse order, each made to yield a
// symbol: number literals become the interned number, string literals the
// interned string (the string loses a reference), other numeric or string
// expressions are wrapped in a conversion node.  Elements with variables
// are refused (a warning; the element becomes the symbol of 0 and return-
// code bit 8 is set) unless nvarsub admits them.  A symbol-valued element
// with variables outside that is a bug (ends the session).
expr* symlist(int mode, expr* list);
// Every OP279 node (an undeclared name) of the chain reports "%s is
// undefined" and becomes OPLIT of its name; with mode nonzero a node that
// involves variables reports "variable in tuple".  Returns the chain.
expr* name_purge(int mode, expr* list);

// Copy records of the expression copier (compiler/copy.h): fixed-size
// records whose first word links the free list.
struct e_copy {
  e_copy* next;
  set_spec* ss;  // the copied indexing expression
  expr* e;       // the copied expression (copy_e), else null
  set* s;        // the copied defining set (copy_s), else null
  list* items;   // the copied checks (copy_e) or within sets (copy_s)
};
extern e_copy* e_copy_freelist;
e_copy* new_e_copy();
void del_ecopy(e_copy* c);

// Start-up, and again after `reset` (which frees the arena the free lists
// live in): empties the free lists and forgets the sets of the scope
// levels.
void dummy_reset();

}  // namespace vexo

#endif  // VEXO_FRONTEND_DUMMY_H
