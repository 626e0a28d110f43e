// List cells, tuple lists and lexical contexts.
//
// A list cell is a two-word link record from a free list, used for every
// short chain the system builds (tuple lists, comparison chains, within
// lists, check lists, clean-up lists and the context stack itself).
//
// The context stack: each indexing level the parser opens starts a new
// scope for index dummies.  The stack saves the enclosing scope's dummy
// chain and dummy offset, counts the nesting level (at most 31) and, on
// closing, has the scope's dummies give back the names they shadowed.
#ifndef VEXO_SUPPORT_LIST_H
#define VEXO_SUPPORT_LIST_H

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

namespace vexo {

// Written outside support/, by design: the context stack's dummies
// (Dummy_refs, last_dummy, ssoffset) by the dummies' scopes
// (frontend/dummy.cpp, eval/indexing.cpp); bracecnt by the lexer and the
// command loop (frontend/lexer.cpp, session/loop.cpp).

struct list;
struct expr;
struct symbol;
struct set;
struct set_spec;
struct xnode;
struct dummy;

// The element of a cell: a pointer, or a 32-bit integer in the low half
// (the context stack keeps an offset there, comparison chains an op word).
union list_item {
  void* p;
  expr* e;
  symbol* sym;
  set* s;
  list* l;
  dummy* d;
  int32_t i;
  int64_t n;
};

struct list {
  list* next;      // next cell, null at the end
  list_item item;  // set by whoever takes the cell

  // The head of list_free_list, unlinked, or a fresh zeroed cell from the
  // arena when the free list is empty.  A recycled cell keeps its old
  // fields.  The size is not consulted.
  static void* operator new(size_t size);
  // delete c: returns the cell and every cell after it to the free list
  // (the last cell of the chain links to the old head, c becomes the head),
  // so deleting the first cell of a chain frees the whole chain; null does
  // nothing.  A destroying delete, so that what the caller stored into the
  // cell just before (such as a cleared next) is what the release sees.
  static void operator delete(list* c, std::destroying_delete_t);
  // Only for a new-expression whose initialisation failed: the raw cell
  // alone goes back to the free list.
  static void operator delete(void* p);
};
static_assert(std::is_trivially_destructible_v<list> && sizeof(list) == 16,
              "list cells are plain pool records");

// Head of the free cells, chained through next.
extern list* list_free_list;
// Start-up (also after `reset`, which frees the arena the cells live in):
// empties list_free_list and the context stack state.
void list_reset();

// A cell {next, item}, taken by the rule of list::operator new.
inline list* new_list(list* next, void* item) {
  list* c = static_cast<list*>(list::operator new(sizeof(list)));
  c->next = next;
  c->item.p = item;
  return c;
}
// A cell whose item is an integer (written sign-extended over the word).
inline list* new_list_int(list* next, int32_t item) {
  list* c = static_cast<list*>(list::operator new(sizeof(list)));
  c->next = next;
  c->item.n = item;
  return c;
}
// Frees first and the cells after it (delete first).
inline void free_list(list* first) { delete first; }

// Reverses a chain in place through its first word and returns the new
// first record; null gives null.  Works for any record chained through its
// first word (list cells, expression nodes, Index entries).
void* reverse(void* first);
template <class T>
T* reverse(T* first) {
  return static_cast<T*>(reverse(static_cast<void*>(first)));
}
// Number of records in a chain linked through the first word; 0 for null.
int32_t listlen(const void* first);

// One tuple of a tuple list: elements is the parser's chain of expression
// nodes in reverse order; returns a new cell {next: rest, item: the chain in
// source order}.  Each element passes through undeclared_elem
// (frontend/expr.h) on the way, which replaces the placeholder of an
// undeclared name (may raise an error).
list* tulist(list* rest, expr* elements);

// Context state.
extern list* sycontext;    // top of the context stack, null when empty
extern int32_t sslevel;    // 0 outside every indexing, 1..31 inside
extern int32_t ssoffset;   // dummies made so far in the current scope
extern dummy* last_dummy;  // newest dummy of the current scope, or null
constexpr int MAX_SSLEVEL = 31;
// References to dummies of each level built so far (the expression
// builders count them).
extern int32_t Dummy_refs[MAX_SSLEVEL + 1];
// Brace depth of the lexer; end_all_contexts clears it.  Kept here, the
// lowest module that writes it.
extern int bracecnt;

// Opens a context: saves last_dummy and ssoffset on the stack, raises
// sslevel (a 32nd level is the internal error "context stack overflow",
// which ends the session), and starts an empty scope.
void new_context();
// Closes the n innermost contexts; nothing when n <= 0.  Each closing has
// the scope's dummies restore the names they shadowed and return to their
// free list (dummy_release, frontend/dummy.h).
void context_end(int n);
// Closes the contexts of an indexing (ss, one per Index entry) or, when ss
// is null, of decl's indexing; with a decl, then closes every context still
// open.  Either may be null.
void end_context(set_spec* ss, xnode* decl);
// Abandons what a failed statement left open: finishes a set declaration
// in progress (finish_current_setdcl, frontend/paramdcl.h), closes every
// open context and sets bracecnt to 0.
void end_all_contexts();
// The dummies of the open scopes that will give their names the binding
// `from` back when their scope closes give `to` instead (a binding that
// goes away while a scope that shadows it is still open).
void rebind_saved(const void* from, void* to);

}  // namespace vexo

#endif  // VEXO_SUPPORT_LIST_H
