// The opcode tables, generated from eval/opcodes.def.  The rows are checked
// at compile time: the shapes in order, 233 evaluable opcodes, then the
// compile-time forms, each row's number equal to its index.
#include "eval/optab.h"

#include <cstddef>
#include <cstring>
#include <utility>

// The routines the table can hold: every header that declares evaluation
// routines is included here.
#include "compiler/genterms.h"
#include "compiler/plterm.h"
#include "eval/arith.h"
#include "eval/defvar.h"
#include "eval/dispatch.h"
#include "eval/dotvalue.h"
#include "eval/elemfunc.h"
#include "eval/entref.h"
#include "eval/evalerr.h"
#include "eval/funcall.h"
#include "eval/iterops.h"
#include "eval/paramref.h"
#include "eval/randvar.h"
#include "eval/pcheck.h"
#include "eval/regexp.h"
#include "eval/setpos.h"
#include "eval/settest.h"
#include "eval/strsym.h"
#include "instance/ac.h"
#include "session/environs.h"
#include "session/optcmd.h"

namespace vexo {

namespace {

constexpr int shape_rows[] = {
#define S(num, name) num,
#define X(num, name, routine, status, shape, text, precedence)
#define C(num, name, shape, precedence)
#include "eval/opcodes.def"
#undef S
#undef X
#undef C
};

constexpr bool shapes_in_order() {
  for (int k = 0; k < N_SHAPES; ++k)
    if (shape_rows[k] != k) return false;
  return true;
}

static_assert(std::size(shape_rows) == N_SHAPES, "65 shapes");
static_assert(shapes_in_order(), "shape rows: number = index");

struct op_row {
  int num;
  int32_t type;
  const char* text;
  int32_t precedence;
  bool evaluable;
};

constexpr op_row rows[] = {
#define S(num, name)
#define X(num, name, routine, status, shape, text, precedence) \
  {num, shape, text, precedence, true},
#define C(num, name, shape, precedence) \
  {num, shape, nullptr, precedence, false},
#include "eval/opcodes.def"
#undef S
#undef X
#undef C
};

constexpr int n_evaluable = 0
#define S(num, name)
#define X(num, name, routine, status, shape, text, precedence) +1
#define C(num, name, shape, precedence)
#include "eval/opcodes.def"
#undef S
#undef X
#undef C
    ;

constexpr bool rows_in_order() {
  for (int k = 0; k < N_OPCODES; ++k) {
    const op_row& r = rows[k];
    if (r.num != k || r.evaluable != (k < N_EVAL_OPCODES)) return false;
    // Names exactly for 0..142, precedences exactly for 0..248.
    if ((r.text != nullptr) != (k < N_OPNAMES)) return false;
    if ((r.precedence >= 0) != (k < N_PREC)) return false;
  }
  return true;
}

static_assert(n_evaluable == N_EVAL_OPCODES, "233 evaluable opcodes");
static_assert(std::size(rows) == N_OPCODES, "287 opcodes");
static_assert(rows_in_order(), "opcode rows: number = index, columns filled");

template <size_t... I>
constexpr std::array<int32_t, sizeof...(I)> types_of(
    std::index_sequence<I...>) {
  return {rows[I].type...};
}
template <size_t... I>
constexpr std::array<const char*, sizeof...(I)> names_of(
    std::index_sequence<I...>) {
  return {rows[I].text...};
}
template <size_t... I>
constexpr std::array<int32_t, sizeof...(I)> precs_of(
    std::index_sequence<I...>) {
  return {rows[I].precedence...};
}

// A row's routine: its own where the row says built (the name must be a
// declared routine), f_unbuilt where it says unbuilt (the name is not
// looked up).  Any other status word does not compile.
#define ROUTINE_built(routine) routine
#define ROUTINE_unbuilt(routine) f_unbuilt

constexpr std::array<efunc, N_FUNCTAB> functab_rows = {
#define S(num, name)
#define X(num, name, routine, status, shape, text, precedence) \
  ROUTINE_##status(routine),
#define C(num, name, shape, precedence)
#include "eval/opcodes.def"
#undef S
#undef X
#undef C
    nullptr};

#undef ROUTINE_built
#undef ROUTINE_unbuilt

}  // namespace

constinit const std::array<efunc, N_FUNCTAB> functab = functab_rows;

constinit const std::array<int32_t, N_OPCODES> op_types =
    types_of(std::make_index_sequence<N_OPCODES>());
constinit const std::array<const char*, N_OPNAMES> opname =
    names_of(std::make_index_sequence<N_OPNAMES>());
constinit const std::array<int32_t, N_PREC> prec =
    precs_of(std::make_index_sequence<N_PREC>());

const char* bare_opname(int op, char (&buf)[16]) {
  const char* t = op >= 0 && op < N_OPNAMES ? opname[op] : "";
  while (*t == ' ') ++t;
  size_t n = std::strlen(t);
  while (n && t[n - 1] == ' ') --n;
  if (n >= sizeof buf) n = sizeof buf - 1;
  std::memcpy(buf, t, n);
  buf[n] = 0;
  return buf;
}

}  // namespace vexo
