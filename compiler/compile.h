// The compilation bracket.  Every command that evaluates expressions, and
// the compilation of declarations, follows one order:
//   compile_start ();
//   mri (&slot, mand) for each expression, smri (&slot, mand) for each set
//     (mand 1 for what must be evaluated);
//   TVA* t = compile_end (x);          // x: the record kept for undoing
//   ... evaluate with t ...
//   del_tva (t); at clean-up the undo of compiler/recomp.h with x.
// Compilations do not nest.
#ifndef VEXO_COMPILER_COMPILE_H
#define VEXO_COMPILER_COMPILE_H

namespace vexo {

struct eexpr;
struct expr;
struct list;
struct set;
struct Index;
struct TVA;
struct xrecomp;

// The constants 1 and -1 and their permanent records, made by the first
// compilation; distribution of factors starts from eone.
extern expr* one;
extern expr* negone;
extern eexpr* eone;
extern eexpr* enegone;
// Level-0 records of the first compilation (the constants, the built-in
// sets), planted again at the end of every compilation.
extern eexpr* epmone;
// Records made during the current compilation whose evaluation nodes still
// have to be planted at level 0 (cells {next, record}); the hash look-up
// lists a shared node here when it re-binds it to its record.
extern list* ee_rewlist;

// Opens one compilation.  The first call makes the constants and compiles
// the built-in sets; later calls undo the level-0 state of the previous
// compilation (lev0_clear).
void compile_start();
// Compiles the expression at *pe in place at the current level and
// returns its record (null for an empty slot).  An expression that does
// not read the innermost open level is forced (stored at its own level);
// otherwise mand 1 marks it needed.  Bugs of massage can end the session.
eexpr* mri(expr** pe, int mand);
// The same for a set: its error context is cleared first; an outer set is
// forced (sforce), otherwise mand 1 marks it needed (smandate).
eexpr* smri(set** ps, int mand);
// Closes the compilation: the level-0 records are planted, the record x
// (null: nothing is kept for undoing, the replaced nodes and the records
// are freed at once) receives what the compilation changed, and a new
// evaluation context sized for it is made current and returned.  A context
// level left open is a bug (ends the session).
TVA* compile_end(xrecomp* x);
// Plants the evaluation of a chain of level-0 records.  With ix, the
// records stay (set records become their sets' records again; expression
// records leave the hash table unless permanent); with ix null every record
// is freed after planting.  The rewrites collected go to the level-0 Index.
// With private_sets (a command's compilation), the set expressions of the
// chain that belong to no declaration are cleared when the command's
// compiled state is released (cmdxreset), so that the next run generates
// them afresh: they may depend on the running loops' dummies.
void lev0_compile(eexpr* chain, Index* ix, bool private_sets = false);
// Plants, at level 0, the records on ee_rewlist whose nodes still name
// them, and empties the list.
void plant_rewlist();
// Deletes an expression tree (edelete) unless it is the node its own
// shared record stands for, which the compiler still owns.
void e1delete(expr* e);

// Start-up (and after `reset`): no constants yet, nothing listed.
void compile_reset();

}  // namespace vexo

#endif  // VEXO_COMPILER_COMPILE_H
