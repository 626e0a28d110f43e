// Massaging of expressions: a parsed tree becomes its compiled form,
// bottom-up and in place.  Each node gets its shared record (compiler/
// eexpr.h) with level bits, stamp and hash; a node equal to one compiled
// earlier gives way to the earlier node; wrappers without run-time meaning
// go; a conditional whose test is invariant in the innermost loop where it
// varies becomes a rewritable conditional; operands living at an outer
// level than their user are flagged to be stored.  The records reach
// opcode generation when their level closes (compiler/context.h).
#ifndef VEXO_COMPILER_MASSAGE_H
#define VEXO_COMPILER_MASSAGE_H

#include <array>
#include <cstdint>

namespace vexo {

struct eexpr;
struct expr;
struct xnode;

// Random-valued calls and draws compiled so far.
extern int randcalls;
// Nonzero while a recursive parameter definition is compiled.
extern int rec_compile;
// The suffix being compiled recursively, and its declaration.
extern xnode* rec_suf;
extern xnode* rec_sufxnode;
// Per opcode: nonzero for OPOR, OPAND, OPIMPLIES and OPIMPLIEDBY, whose
// second operand is evaluated only when needed.
extern const std::array<uint8_t, 249> islogical;

// Hash and level bits accumulated over the arguments of a call.
struct eacc {
  int64_t hash;
  uint64_t lev;
};

// Compiles the tree at *pe, may replace it there by a shared equal node
// (logged with Retain) and returns the node's record; null for a missing
// tree.  A node kind that cannot occur in a parsed tree is a bug
// ("unexpected type 0x%x in %s()").
eexpr* massage(expr** pe);
// A value node left by an earlier compilation (opcodes 239 to 245) takes
// back, in place, the computation its restore record keeps.
void unrewrite(expr* e);
// Compiles an operand list element by element (a shared element standing
// elsewhere in another list gets an OPEVAL wrapper); *stamp receives the
// largest element stamp; returns the record of the first element.
eexpr* lmassage(expr** pl, double* stamp);
// Compiles the argument list of a call: add is added to each argument's
// use count, acc gathers hashes and level bits, *stamp the newest stamp;
// mode 16: output arguments get private records.  Returns 1 when every
// argument's record existed before, else 0.
int argmassage(int add, eacc* acc, expr* args, double* stamp, int mode);
// argmassage from a clear accumulator; returns the newest stamp.
double arg_massage(expr* args, eacc* acc);
// The dot forms (a suffix or attribute of an entity), once their operands
// are known: where is the node's slot, seed the hash of the subscript (0
// without), rec nonzero when the entity is being compiled recursively.
eexpr* opdot_massage(expr* e, expr** where, double stamp, int64_t seed,
                     int rec);
eexpr* opdotsub_massage(expr* e, expr** where, double stamp, int rec);

// Start-up and `reset`: no draws counted, no recursive compilation under
// way.
void massage_reset();

}  // namespace vexo

#endif  // VEXO_COMPILER_MASSAGE_H
