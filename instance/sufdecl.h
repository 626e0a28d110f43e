// Suffix declarations: the suffix record, its clauses and finishing, and
// the look-up of declared suffixes by name.  The least form until suffixes
// are built: a suffix keeps its type, direction and checks; its values are
// held by the declarations that carry them (frontend/suffix.h).
#ifndef VEXO_INSTANCE_SUFDECL_H
#define VEXO_INSTANCE_SUFDECL_H

#include <cstdint>
#include <type_traits>

#include "frontend/decl.h"

namespace vexo {

struct cstr;
struct expr;
struct list;
struct set;
struct symbol;

// Suffix flags.
enum : uint32_t { SUF_INTEGER = 1, SUF_BINARY = 2, SUF_SYMBOLIC = 0x100 };

struct suffix : xnode {
  uint32_t sflags;   // SUF_...
  int32_t dir;       // direction 1 IN, 2 OUT, 3 INOUT, 4 LOCAL
  uint32_t depslot;  // base dependency slot (its declaration number)
  uint32_t sufnum;   // suffix number (position among the suffixes)
  list* checks;      // check list (cells {next, check node}), `in` too

  static void* operator new(size_t size);  // record kind 8
  static void operator delete(void* p);
  // Type words.
  void addtype(uint32_t bits);
  // `in S`: a membership check (S of dimension 1, else reported).
  void add_in(set* s);
  // Direction words (1, 2, 3) and LOCAL (4).
  void add_dir(int code);
  // A relation clause `op e` (frontend/condcl.cpp).
  void addcheck(uint32_t opw, expr* e);
  // Completes the check list, chains the suffix and lists its name among
  // the declared suffixes (dot_names).  Returns the surviving record.
  suffix* finish_dcl();
};
static_assert(std::is_trivially_destructible_v<suffix>);

// `suffix NAME [alias]`: a suffix record (kind 24) with its head filled.
suffix* new_suffix(symbol* name, cstr* alias);
// `redeclare suffix NAME`.
void sufredecl_start(symbol* name);
// For show: the declared suffix of that name, else null after
// "### %s is not a declared suffix.\n" on the display stream.
suffix* suff_show(symbol* name);
// The declared suffix (user or system) of that name, else null, silently.
suffix* suff_named(symbol* name);

// Suffix stage was declared explicitly (the `random` attribute is then
// refused).  The system's own declaration of stage, made by the keyword
// set-up, does not count: sufdecl_reset runs after it.
extern int stage_declared;
void sufdecl_reset();

}  // namespace vexo

#endif  // VEXO_INSTANCE_SUFDECL_H
