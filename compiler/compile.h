// The compilation bracket: compile_start, mri/smri for each expression,
// compile_end.
#ifndef VEXO_COMPILER_COMPILE_H
#define VEXO_COMPILER_COMPILE_H

namespace vexo {

struct eexpr;
struct expr;
struct list;

// The constants 1 and -1 and their permanent records, made by the first
// compilation; distribution of factors starts from eone.
extern expr* one;
extern expr* negone;
extern eexpr* eone;
extern eexpr* enegone;
// Level-0 records of the first compilation, planted again at the end of
// every compilation.
extern eexpr* epmone;
// Records made during the current compilation whose evaluation nodes still
// have to be planted at level 0 (cells {next, record}); the hash look-up
// lists a shared node here when it re-binds it to its record.
extern list* ee_rewlist;

// Opens one compilation.  Stand-in until the bracket is built: the level-0
// chain is cleared and, the first time, the two constants are made.
void compile_start();
// Start-up (and after `reset`): no constants yet, nothing listed.
void compile_init();

}  // namespace vexo

#endif  // VEXO_COMPILER_COMPILE_H
