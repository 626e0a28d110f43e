// The opcode tables.  An opcode is a small number 0..286: 0..232 are the
// evaluable operators (each has an evaluation routine), 233..286 are forms
// that exist only between parsing and compilation.  Opcodes 0..142 are also
// the operator numbers of problem files, so the numbering never changes.
// Everything here is generated from eval/opcodes.def.
#ifndef VEXO_EVAL_OPTAB_H
#define VEXO_EVAL_OPTAB_H

#include <array>
#include <cstdint>

namespace vexo {

struct expr;    // expression node (frontend/expr.h)
struct TVA;     // evaluation context
struct cstr;    // counted string
struct symbol;  // interned name or number

// What an evaluation routine returns; which member is meaningful follows
// from the opcode and the node's flags: d for a number, i for a truth value
// (non-zero is true), cs for a string (the caller receives one reference),
// sp for a member (the address of a cell holding the symbol; not owned) or
// a tuple (the address of the first of its cells), p for other pointers.
union eval_result {
  double d;
  int64_t i;
  cstr* cs;
  symbol** sp;
  void* p;
};

// The one signature of every evaluation routine.
using efunc = eval_result (*)(expr* e, TVA* tva);

// Tree shapes: what L and R of a node hold and own (the comments of the S
// rows of eval/opcodes.def).  Switches on a shape use these names.
enum shapes : int32_t {
#define S(num, name) name = num,
#define X(num, name, routine, status, shape, text, precedence)
#define C(num, name, shape, precedence)
#include "eval/opcodes.def"
#undef S
#undef X
#undef C
};
constexpr int N_SHAPES = 65;  // 0..64

// Opcode names: the evaluation routine's name without "f_".  Where several
// opcodes share one routine, each of them carries its number as well
// (OPIF35, OPIF111), so that a name never stands for two opcodes.  Forms
// without a routine are OP<number>, except OPARG (250) and OPXNODE (255).
enum opcodes : int {
#define S(num, name)
#define X(num, name, routine, status, shape, text, precedence) name = num,
#define C(num, name, shape, precedence) name = num,
#include "eval/opcodes.def"
#undef S
#undef X
#undef C
};

constexpr int N_EVAL_OPCODES = 233;  // 0..232 have a routine
constexpr int N_OPCODES = 287;       // every opcode, 0..286
constexpr int N_OPNAMES = 143;       // 0..142 have a printed name
constexpr int N_PREC = 249;          // 0..248 have a printing precedence
constexpr int N_FUNCTAB = N_EVAL_OPCODES + 1;  // routines and a null end

// Evaluation routine of each opcode 0..232; entry 233 is null and ends the
// table.  The compiler binds a node by storing its opcode's entry in the
// node.  An opcode whose row says its routine is not built yet has
// f_unbuilt (eval/dispatch.h), which abandons the command with a message.
extern const std::array<efunc, N_FUNCTAB> functab;

// Tree shape (enum shapes) of each opcode: what L and R of a node hold and
// own.  Every tree walker (deletion, copying, hashing, massaging, printing,
// problem writing) follows it.
extern const std::array<int32_t, N_OPCODES> op_types;
// Printed operator name of opcodes 0..142; leading and trailing blanks are
// part of the text.
extern const std::array<const char*, N_OPNAMES> opname;
// Printing precedence of opcodes 0..248: higher binds tighter, 0 for forms
// that the printer writes by special code.
extern const std::array<int32_t, N_PREC> prec;

// The printed name of opcode op (0..142) without its leading and trailing
// blanks, in buf; "" for an opcode without a name.
const char* bare_opname(int op, char (&buf)[16]);

// Shape of an opcode; the opcode must be in 0..286.
inline int32_t op_type(int opcode) { return op_types[opcode]; }

}  // namespace vexo

#endif  // VEXO_EVAL_OPTAB_H
