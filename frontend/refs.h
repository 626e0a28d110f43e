// References to declared entities, subscripts and the set-order operators.
// When the grammar meets a declared name in an expression, with or without
// subscripts, an iterated operator, or one of ord, ord0, member, first,
// last, next, prev, nextw, prevw, it calls these builders.  They check the
// number of subscripts against the declaration, build the lookup nodes the
// evaluator uses to find the member, and refuse what the language forbids
// (variables in subscripts and in order operators, order operators on
// unordered sets).  Messages are errors of kind 0: building goes on with a
// node that reports again when evaluated, or with the number 0.
#ifndef VEXO_FRONTEND_REFS_H
#define VEXO_FRONTEND_REFS_H

#include <cstdint>

namespace vexo {

struct cstr;
struct expr;
struct set;
struct set_spec;
struct symbol;
struct xnode;

// The four names of the next family by kind (bit 1 backwards, bit 2
// wrapping): "next", "prev", "nextw", "prevw".
extern const char* const nextprev_name[4];
// Flag of a next or prev (opcodes 124..127) that wraps because its set is
// circular: written back, and named in messages, without the "w".
constexpr uint32_t EF_CIRCNEXT = 64;  // EF_64 of frontend/expr.h
// The name of a next-family node with opword ow as the user wrote it.
const char* nextprev_written(uint32_t ow);

// "%s needs %d subscript%s, not %d" for d, and 8 ORed into rc.
void wrong_number(xnode* d, int needed, int given);
// Number of subscripts d takes: the arity of its indexing (or of the
// second indexing its record keeps), 0 for a scalar.
int subscript_count(xnode* d);
// Subscripted reference: op (op word of the reference) over d with the
// lookup node OPLOOKUP over OPSYMLIST of subs (a chain as symlist makes
// it).  A wrong count reports and gives OPERRSUB with op's flags;
// subscripts with variables report "Variables in subscripts are not yet
// allowed.".
expr* subscript(uint32_t op, xnode* d, expr* subs);
// Variable references; a random variable (head flag 0x10000) gets flags
// 32 and 256 instead of 4.
expr* opvar(uint32_t op, xnode* v);
expr* opvarsub(uint32_t op, xnode* v, expr* subs);
// A scalar reference to a declaration by the opcode the grammar chose
// (OPPAR, OPSPAR, OPVAR164, OPPRIMAL, OPCON, OPDUAL, OPOBJVAL, OPPROB ...),
// with the flags that reference carries; constraints in commands stand
// for their dual value (dual_val).
expr* entity_ref(xnode* x, int opcode);
// The set S[subs] of an indexed collection of sets sd (class 19, record
// set3p: f1 the declaration, f2 the lookup node, f3 the adopted member
// set).  A wrong count reports and gives the record the routines that
// report at evaluation (set_suberr_in/set_suberr_genall).  Within sd's own
// clauses it marks sd as referred to with a subscript (SF_SUBSCRIPTED).
set* set_subscr(xnode* sd, expr* subs);
// An element of a synonym array (exactly one subscript, else "%s needs 1
// subscript, not %d" and the number 0); op is OPSYNSUB 224 or OPSYNNAME
// 227 with its flags.
expr* synscript(uint32_t op, symbol* sym, expr* subs);
// A whole synonym (count) array: OPSYN 223, flags 2; notes that the
// problem must be generated or collected first.
expr* synonym(symbol* sym);
// A whole value or name synonym array as a display item (OP257): its
// elements over the numbers 1 to its count.
expr* syn_item(symbol* sym);
// The set object of a system set, one reference more; sym is bound to its
// row of sysset_tab.
set* syssetref(symbol* sym);
// A constraint named in an expression: its dual value (OPDUAL/OPDUALSUB),
// a logical constraint's value (OPLCON/OPLCONSUB), or a complementarity
// constraint's .slack (OPDOT/OPDOTSUB over the reference).  subs null for
// a scalar reference.
expr* dual_val(xnode* c, expr* subs);
// Iterated operator op (SUM, PROD, MIN, MAX, EXISTS, FORALL) over an
// indexing; close nonzero ends the indexing's dummy scope.
expr* sreduc(uint32_t op, set_spec* indexing, expr* body, int close);
// first/last (OPFIRST, OPLAST): "%s may only be used with ordered or
// circular sets" and the number 0 on an unordered set.
expr* firstlast(uint32_t op, set* s);
// ord, ord0, member (OPORD, OPORD0, OPELEMENT) of e in s; ord and ord0
// are numeric (flag 2).
expr* ord_elem(uint32_t op, expr* e, set* s);
// next (kind 0), prev (1), nextw (2), prevw (3) of e in s, n steps (n null
// means the literal 1).
expr* nextprev(int kind, expr* e, set* s, expr* n);
// e with "<" put in front of its text.
expr* ltinsert(expr* e);

}  // namespace vexo

#endif  // VEXO_FRONTEND_REFS_H
