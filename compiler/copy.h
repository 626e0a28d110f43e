// Private copies of compiled definitions, for recursive ones.  A compiled
// definition keeps the state of one evaluation in its nodes and records
// (STORE value nodes, REWRITE literals and their restore records, the
// hooks of its indexing levels, generated sets), so a member of a
// recursively defined parameter or set that needs other members of the
// same declaration evaluates a copy.  The copy duplicates every part that
// can hold such state or leads to an index dummy, and shares the rest:
// literals, unsubscripted references, subtrees without dummies, level-0
// rewrites, sets that are their declaration's value.  A copy is made from
// a definition that is not being evaluated; copies are never freed one by
// one (their records go back to their free lists with the declaration's
// compiled state, their nodes with `reset`).
//
// While one copy is made, a table maps each source object met (Index,
// value node, REWRITE node, set, condition conjunct) to its copy, so that
// every reference to it reaches the one copy.  What the table cannot map,
// and a node or set form that a compiled definition cannot hold ("unexpected
// type 0x%x in cpexpr()", "unexpected subtype %d in cpset", "cp_lookup:
// unexpected miss"), ends the command (eerror) rather than leave a null or
// shared piece in the copy; "cp_lookup: unexpected hit" is reported
// (terror) and, should the session go on, the later copy kept.
#ifndef VEXO_COMPILER_COPY_H
#define VEXO_COMPILER_COPY_H

namespace vexo {

struct e_copy;
struct expr;
struct param;
struct setdcl;
struct TVA;

// A copy of p's indexing expression and of e (p's compiled definition),
// and of p's checks, which test a value slot of their own.  t is the
// context of the evaluation that needs the copy (for messages).
e_copy* copy_e(expr* e, param* p, TVA* t);
// A copy of s's indexing expression, its defining set (`:=`, else
// `default`) and its within sets.
e_copy* copy_s(setdcl* s, TVA* t);

}  // namespace vexo

#endif  // VEXO_COMPILER_COPY_H
