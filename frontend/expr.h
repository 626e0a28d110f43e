// Expression nodes and their pool.  Every expression of the language, in
// declarations, commands and data, is a tree of expr nodes: built by the
// front end's builders, bound to evaluation routines by the compiler, run by
// the evaluator, walked by the printers and the problem writer.  What L and
// R of a node hold and own is fixed by the shape of its opcode (op_types in
// eval/optab.h).
#ifndef VEXO_FRONTEND_EXPR_H
#define VEXO_FRONTEND_EXPR_H

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

#include "eval/optab.h"
#include "frontend/strexpr.h"

namespace vexo {

struct expr;
struct symbol;
struct cstr;
struct set;
struct set_spec;
struct xnode;
struct list;
struct varref;
struct setmem;  // member record of a set (evaluator)

// One 64-bit operand cell (L or R).  Which member is meaningful follows from
// the node's shape; some shapes keep a 32-bit code in the low half (i).
union operand {
  expr* e;
  double d;
  symbol* sym;
  cstr* cs;
  set* s;
  set_spec* ss;
  xnode* x;
  list* l;
  varref* vr;
  void* p;
  int32_t i;
  int64_t n;
  uint64_t u;

  operand() = default;
  constexpr operand(std::nullptr_t) : p(nullptr) {}
  constexpr operand(expr* v) : e(v) {}
  constexpr operand(double v) : d(v) {}
  constexpr operand(symbol* v) : sym(v) {}
  constexpr operand(cstr* v) : cs(v) {}
  constexpr operand(set* v) : s(v) {}
  constexpr operand(set_spec* v) : ss(v) {}
  constexpr operand(xnode* v) : x(v) {}
  constexpr operand(list* v) : l(v) {}
  constexpr operand(varref* v) : vr(v) {}
  constexpr operand(void* v) : p(v) {}
  // A code in the low half; the whole word is written (sign-extended).
  constexpr operand(int32_t v) : n(v) {}
};

// Flag bits of the op word (bits 0..8).
enum : uint32_t {
  EF_CONST = 1,      // constant
  EF_NUMERIC = 2,    // yields a double (else a symbol, or a string with 16)
  EF_VARS = 4,       // a decision variable occurs below the node
  EF_NONLIN = 8,     // nonlinear in the variables
  EF_STRING = 16,    // yields a counted string
  EF_RANDOM = 32,    // involves random values
  EF_64 = 64,        // carried along; set only on a next or prev over a
                     // circular set (EF_CIRCNEXT, frontend/refs.h)
  EF_128 = 128,      // not set by the builders; carried along
  EF_RANDVAR = 256,  // reference to a random variable (with 32, without 4)
  EF_MASK = 0x1FF
};
constexpr int OPSHIFT = 9;

// R of a unary minus that mulop took off an operand of the product below
// it (R is unused by the evaluator): the path from that product down to
// the operand the sign was written on, through the products that took it
// off in turn, so that the printer writes the sign where it was written.
// Steps from the top in the low bits, 0 left and 1 right, above them a
// 1 that ends the path; 0 for any other minus.
constexpr int64_t NEG_PATH_END = 1;
constexpr int NEG_PATH_MAX = 62;  // longer paths are not kept

// The node.  Fields in this order: the free list and the evaluator rely on
// it (next first, so reverse() and the free list work through it).
struct expr {
  expr* next;       // next node of a list; null at its end
  uint32_t opword;  // opcode << 9 | flags; a constraint body's root holds
                    // its kind code (0..4, 8..11) here instead
  uint32_t depth;   // nesting depth: 1 + the deepest operand (new_expr)
  efunc op;         // evaluation routine; null until the compiler binds it
  operand L;
  operand R;

  // Takes the head of expr_free_list (its next and op set to null, the op
  // word and operands stale) or, when the list is empty, a fresh all-zero
  // node from the arena.  The size is not consulted.
  static void* operator new(size_t size);
  // delete e: the release of one node without its operands.  The node and
  // every node after it through next go to the head of expr_free_list (the
  // node becomes the head).  Operands are not touched.  A destroying
  // delete, so that what the caller stored into the node just before (such
  // as a cleared next) is what the release sees.
  static void operator delete(expr* e, std::destroying_delete_t);
  // Only for a new-expression whose initialisation failed: the raw node
  // alone goes back to the free list.
  static void operator delete(void* p);
};
static_assert(std::is_trivially_destructible_v<expr> &&
                  std::is_standard_layout_v<expr> && sizeof(expr) == 40,
              "expr is a plain pool record");

// Head of the free nodes, linked through next; one for the process.
extern expr* expr_free_list;
// Start-up of the node pool, again after `reset` (which frees the arena the
// free nodes live in): empties expr_free_list.
void expr_reset();

// Op word of an opcode with flags.
constexpr uint32_t opword(int opcode, uint32_t flags = 0) {
  return (static_cast<uint32_t>(opcode) << OPSHIFT) | flags;
}
inline int opcode(const expr* e) {
  return static_cast<int>(e->opword >> OPSHIFT);
}
inline uint32_t eflags(const expr* e) { return e->opword & EF_MASK; }
inline bool has_flag(const expr* e, uint32_t f) { return (e->opword & f) != 0; }
// New opcode, flags kept.
inline void set_opcode(expr* e, int opc) { e->opword = opword(opc, eflags(e)); }
// New flags, opcode kept.
inline void set_eflags(expr* e, uint32_t f) {
  e->opword = (e->opword & ~static_cast<uint32_t>(EF_MASK)) | (f & EF_MASK);
}
// Shape (op_types entry) of the node's opcode.
inline int32_t shape(const expr* e) { return op_types[opcode(e)]; }

// Nesting of expression trees.  Every recursive walk of a tree (deletion,
// printing, compiling, evaluation) descends once per level, through set
// records too, so a tree deeper than MAX_NESTING levels is refused where
// it is built: above what generated models write (a written-out sum counts
// one level per term), far below what the walks survive on the stack that
// start-up provides (stack_setup, support/machine.h).
constexpr uint32_t MAX_NESTING = 100000;
// depth itself, or, beyond MAX_NESTING, "expression nested too deeply" and
// the statement is abandoned (bailout).
uint32_t nest_check(uint32_t depth);
// Depth of a tree (0 for none) and the deepest tree of a chain.
inline uint32_t nest_of(const expr* e) { return e ? e->depth : 0; }
uint32_t chain_nest(const expr* chain);

// Node constructors: a node from the pool with its op word, L and R set,
// next and op null, and its depth from the operands its opcode's shape
// gives (so the operands must be in place; an argument-list entry counts
// 1, its list's holder measures it).  Refuses a node beyond MAX_NESTING.
inline expr* new_expr(uint32_t opw, operand l = nullptr, operand r = nullptr) {
  expr* e = static_cast<expr*>(expr::operator new(sizeof(expr)));
  e->opword = opw;
  e->L = l;
  e->R = r;
  e->depth = nest_check(expr_nesting(e));
  return e;
}
// Numeric literal (OPNUM, flags 3): the value in L.
inline expr* new_num(double v) {
  return new_expr(opword(OPNUM, EF_CONST | EF_NUMERIC), v);
}
// Symbol literal (OPLIT, flags 1): the interned symbol in L.
inline expr* new_lit(symbol* s) { return new_expr(opword(OPLIT, EF_CONST), s); }
// String literal (OPSTR, flags 16): the node takes over the caller's
// reference to s.
inline expr* new_str(cstr* s) { return new_expr(opword(OPSTR, EF_STRING), s); }
// Gives one node and the nodes after it through next back to the pool
// (delete e); null does nothing.
inline void free_expr(expr* e) { delete e; }
// Gives one node back to the pool, without its operands and without what
// follows it through next.
inline void free_node(expr* e) {
  e->next = nullptr;
  free_expr(e);
}

// The node that stands for the subscripts of the current set member while
// the instance is generated: made once (op word of OPNUM with flags 3, L
// the node itself, op svsub_oper) and kept in svsub0 for the whole process
// (outside the arena, so it outlives `reset`); every call stores in R the
// address of member's subscript array (setmem::tup) and returns the node.
expr* make_svsub(setmem* member);
extern expr* svsub0;
// The evaluation routine of that node: the pointer held in R.
eval_result svsub_oper(expr* e, TVA* tva);

// An element of a tuple list that stands for an undeclared name (opcode
// 279 with no flags, its symbol in L) is cut out, freed and replaced by
// not_declared(symbol)'s result; any other element is returned as it is.
// tulist (support/list.h) calls it with the element cut out of its chain.
// Raises an error: not_declared reports the name and abandons the command
// outside single-step mode.
expr* undeclared_elem(expr* e);

// ---- Operands by shape ----------------------------------------------------
//
// visit_operands(e, w) is the one reading of the shape table: it hands the
// operand cells of node e, as e's shape lays them out (eval/opcodes.def),
// to the walker w in the order of the operands, and returns true; for a
// shape it has no layout for (SH_VALUE, SH_VARAC, SH_INNER, SH_FORM249:
// compiled or inner forms that only their makers walk) it returns false
// and calls nothing.  Every walk over the operands of a node goes through
// it (deletion, nesting, sampling, the copier, the marking of stored
// values, the massager's common step, the record printer; the problem
// writer, presolve and the instantiating copy to come), and switches on
// the named shape only where it treats a shape otherwise (as the printer
// writes each shape, or the sharer compares two nodes).
//
// Cells are passed by reference, so that a walker may replace what they
// hold (the copier visits a scratch copy of the node).  The roles, each a
// member of w:
//   operand(expr*&)        an operand expression e owns; may be null
//   chain(expr*&)          an owned chain of operand expressions (next)
//   args(expr*&, bool sets) an owned argument list of OPARG entries (and
//                          a 258 marker); sets: its plain entries hold
//                          sets, not expressions
//   operand_set(set*&)     an owned set or indexing (set_spec); may be null
//   text(cstr*&)           an owned string reference; may be null
//   plain(expr*&)          the inner node of a dot or suffix reference
//                          (declaration or symbol, and a code): owned, no
//                          operands
//   inner(expr*&, visit)   an owned inner node holding operands of e (the
//                          pairs 247, 260, 261, 262, the lists 259, the
//                          holder 280, SH_REWRITE's restore record); never
//                          null.  visit(n, w2) hands the operand cells of n
//                          (the inner node, or a copy of it) to walker w2.
//                          A walker without this member has visit(h, w)
//                          called for it.
//   func(xnode*)           the function a call names
//   ref(varref*&)          an owned variable reference record
//   block(expr*)           e's block of symbols: L, size class in R
// walker_defaults gives the roles but operand, chain and args as no-ops.
// Not visited: declarations (L of references), codes, SH_EVAL's wrapped
// node (its other users own it), SH_INTCHECK's placeholder, SH_RELOPCH's
// marker, SH_SYMLIST's cells and SH_PLTERM's block, which the instance
// generator takes over.
struct walker_defaults {
  static void operand_set(set*&) {}
  static void text(cstr*&) {}
  static void plain(expr*&) {}
  static void func(xnode*) {}
  static void ref(varref*&) {}
  static void block(expr*) {}
};

namespace operand_layout {
template <class W, class V>
void inner(W& w, expr*& h, V visit) {
  if constexpr (requires { w.inner(h, visit); })
    w.inner(h, visit);
  else
    visit(h, w);
}
// Both cells of a pair: then- and else-part, argument and its second
// argument, member and count.
inline constexpr auto pair = [](expr* p, auto& w) {
  w.operand(p->L.e);
  w.operand(p->R.e);
};
// Holder 280 of a set argument: the set's text (optional), the set.
inline constexpr auto set_holder = [](expr* h, auto& w) {
  w.text(h->L.cs);
  w.operand_set(h->R.s);
};
}  // namespace operand_layout

template <class W>
bool visit_operands(expr* e, W& w) {
  using operand_layout::inner;
  using operand_layout::pair;
  using operand_layout::set_holder;
  switch (shape(e)) {
    case SH_LITERAL:
    case SH_NUMBER:
    case SH_ENTITY:
    case SH_DUMMY:
    case SH_EVAL:
    case SH_INTCHECK:
    case SH_VARVAL:
    case SH_ALIAS:
    case SH_XNODE:
    case SH_LOOPDUMMY:
    case SH_SYN:
    case SH_LOGLIT:
    case SH_SVARVAL:
      break;
    case SH_PLTERM:
      // The term's block is handed over to the instance generator, which
      // frees it with its own size class.
      break;
    case SH_UNARY:
    case SH_FUNC1:
    case SH_FROM_NUMBER:
    case SH_TO_NUMBER:
    case SH_SAMPLE:
    case SH_RECPAR:
      w.operand(e->L.e);
      break;
    case SH_BINARY:
    case SH_FUNC2:
    case SH_FORM283:
    case SH_COUNTREL:
      w.operand(e->L.e);
      w.operand(e->R.e);
      break;
    case SH_ITERATED:
    case SH_PLENTRY:
      w.operand_set(e->L.s);
      w.operand(e->R.e);
      break;
    case SH_SUBSCRIPTED:
    case SH_LOOKUP:
    case SH_FORM252:
    case SH_DISPLAYITEM:
    case SH_SYNSUB:
      w.operand(e->R.e);
      break;
    case SH_LIST:
    case SH_SYMLIST:
    case SH_SUMLIST:
      w.chain(e->L.e);
      break;
    case SH_PL:
      if (e->L.e)
        inner(w, e->L.e, [](expr* lists, auto& v) {
          v.chain(lists->L.e);  // slopes
          v.chain(lists->R.e);  // breakpoints
        });
      if (e->R.e) inner(w, e->R.e, pair);
      break;
    case SH_IF:
    case SH_IMPELSE:
      w.operand(e->L.e);
      if (e->R.e) inner(w, e->R.e, pair);
      break;
    case SH_MEMBERSHIP:
      w.operand(e->L.e);
      w.operand_set(e->R.s);
      break;
    case SH_REWRITE:
      if (e->L.e)
        inner(w, e->L.e, [](expr* rec, auto& v) { v.operand(rec->R.e); });
      break;
    case SH_SETREL:
      w.operand_set(e->L.s);
      w.operand_set(e->R.s);
      break;
    case SH_CALL:
      w.func(e->L.x);
      w.args(e->R.e, false);
      break;
    case SH_SETFUNC:
      w.operand_set(e->L.s);
      w.text(e->R.cs);
      break;
    case SH_ORD:
      w.operand(e->L.e);
      if (e->R.e) inner(w, e->R.e, set_holder);
      break;
    case SH_NEXT:
      if (e->L.e) inner(w, e->L.e, pair);
      if (e->R.e) inner(w, e->R.e, set_holder);
      break;
    case SH_DOT:
    case SH_SUF:
      w.plain(e->L.e);
      break;
    case SH_DOTSUB:
    case SH_SYNDOT:
    case SH_SUFSUB:
    case SH_SYNSUF:
      w.plain(e->L.e);
      w.operand(e->R.e);
      break;
    case SH_LOOKUPSL:
      if (opcode(e) == OPLOOKUPsl175) w.operand_set(e->L.s);
      w.operand(e->R.e);
      break;
    case SH_RELOPCH:
      if (e->R.p) w.operand(e->L.e);
      break;
    case SH_STRING:
      w.text(e->L.cs);
      w.chain(e->R.e);
      break;
    case SH_FORM253:
      w.operand_set(e->R.s);
      break;
    case SH_SETITEM:
      w.operand_set(e->L.s);
      break;
    case SH_ARG:
      if (e->L.ss) {
        w.operand_set(e->L.s);
        w.args(e->R.e, false);
      } else {
        w.operand(e->R.e);
      }
      break;
    case SH_FORM285:
      if (e->L.s) {
        w.operand_set(e->L.s);
        w.chain(e->R.e);
      } else {
        w.operand_set(e->R.s);
      }
      break;
    case SH_ARGLIST:
      w.operand(e->L.e);
      w.args(e->R.e, false);
      break;
    case SH_SETARGS:
      w.args(e->R.e, true);
      break;
    case SH_LINPART:
      w.ref(e->L.vr);
      break;
    case SH_LITLIST:
      w.block(e);
      break;
    default:
      return false;
  }
  return true;
}

}  // namespace vexo

#endif  // VEXO_FRONTEND_EXPR_H
