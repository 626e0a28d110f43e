// Suffix declarations and the registry of suffix names.  A suffix is a
// named attribute that every variable, constraint, objective and problem
// member can carry, one number per member (instance/sufstore.h keeps the
// values).  Declared suffixes are listed in dot_names (frontend/keywords.h,
// the members of _SUFFIXES): a name's ordinal there is the suffix number,
// also its position in the suffix class list; the first N_Sys_Sufs are the
// system suffixes derstage, relax, sstatus and stage.  The 38 system dot
// names (sysdot_names, the members of _SYSTEM_SUFFIXES) are refused as user
// suffix names, but for stage, whose one user declaration takes over the
// system record.
#ifndef VEXO_INSTANCE_SUFDECL_H
#define VEXO_INSTANCE_SUFDECL_H

#include <cstdint>
#include <type_traits>

#include "frontend/decl.h"
#include "instance/suftab.h"

namespace vexo {

struct cstr;
struct expr;
struct list;
struct set;
struct setmem;
struct symbol;

// Type bits of a suffix.
enum : uint32_t {
  SUF_INTEGER = 1,
  SUF_BINARY = 2,
  SUF_DEFER = 4,  // finish_dcl leaves renumbering to the caller
  SUF_SYMBOLIC = 0x100,
  SUF_ZEROCHECKED = 0x400,  // conditions tried on 0 in this sufcheck
  SUF_FAILVARS = 0x1000,    // 0 fails the conditions, and declarations of
  SUF_FAILCONS = 0x2000,    // this kind hold values: variables,
  SUF_FAILOBJS = 0x4000,    // constraints, objectives, kinds 16/17
  SUF_FAIL16 = 0x8000,
  SUF_FAILBITS = 0xf000,
  SUF_RANDOM = 0x10000
};

// Directions.
enum : int32_t { SUF_IN = 1, SUF_OUT = 2, SUF_INOUT = 3, SUF_LOCAL = 4 };

struct suffix : xnode {
  double init_value;  // written into every slot of a new value block
  list* conditions;   // cells {next, condition node}; texts kept by
                      // eval/pcheck (check_text_keep)
  stat_table table;   // the names of a symbolic suffix
  int32_t direction;  // SUF_IN | SUF_OUT, or SUF_LOCAL
  uint32_t type_bits;  // SUF_...
  int32_t sufnum;      // the suffix number: its ordinal in dot_names

  static void* operator new(size_t size);  // record kind 8
  static void operator delete(void* p);
  // ORs type bits (SUF_INTEGER, SUF_BINARY, SUF_SYMBOLIC, SUF_DEFER).
  void addtype(uint32_t bits);
  // `in S`: a membership condition; S of dimension other than 1 is
  // reported ("a suffix cannot be in a set of dimen %d") and dropped.
  void add_in(set* s);
  // Adds a direction (1, 2, 3 or 4); LOCAL mixed with IN or OUT is
  // reported ("A suffix cannot be both LOCAL and %s").
  void add_dir(int code);
  // A relation clause `op e` (frontend/condcl.cpp).
  void addcheck(uint32_t opw, expr* e);
  // Validates and enters the declaration (errors of kind 0; a refused one
  // is freed and leaves no trace).  Returns the surviving record (the old
  // one when it is redeclared), or null when refused.
  suffix* finish_dcl();
};
static_assert(std::is_trivially_destructible_v<suffix>);

// Counts of declared suffixes with the IN bit and with the OUT bit.
extern int in_suffixes, out_suffixes;
// User declarations of stage (at most one succeeds).
extern int stage_dcl;

// `suffix NAME [alias]`: a suffix record (kind 24) with its head filled.
suffix* new_suffix(symbol* name, cstr* alias);
// `redeclare suffix NAME`.
void sufredecl_start(symbol* name);
// The declared suffix of that name, else null, silently.
suffix* suff_named(symbol* name);
// The declared suffix of number n (0 <= n < dot_names->nmem).
suffix* suf_bynum(int n);
// For show: the declared suffix of that name, else null after
// "### %s is not a declared suffix.\n" on the display stream.
suffix* suff_show(symbol* name);
// The suffix of a dot name, or null.  A name longer than four characters
// ending in "_num" is looked up without it.  *symbolic is 1 only for a
// symbolic suffix named without "_num".
suffix* getsuf(const char* name, int* symbolic);
// The assignable node for suffix name of the entity reference e (which
// the call takes over; the name's reference is consumed).  See the file
// of the let command for its use.  Unknown names report "%s is not an
// assignable suffix." and give OPNUM 0; Ldual/Rdual of a complementarity
// constraint give the dual forms.
expr* dotassign(expr* e, cstr* name);

// Whether x is what dotassign puts in place of the suffix for the right
// dual of a complementarity constraint (Rdual).
bool is_rdual(const xnode* x);

// `reset suffix [name]`: the values of one suffix, or of all suffixes
// when name is null, go.  A system dot name that is no suffix, and an
// unknown name, are reported (error kind 0).
void sufreset(symbol* name);
// `delete`/`purge` of a suffix (force: purge): null when name is no suffix
// or is a system suffix ("Cannot delete suffix %s"); without force a
// suffix that declarations depend on comes back unchanged; else its values
// go from every declaration, its name from dot_names (later numbers drop
// by one) and its table's notification is cancelled.  Returns the record.
suffix* dotdel(symbol* name, int force);
// Before `reset` frees memory: cancels every suffix table's change
// notification and those of the solve result, status and sense tables,
// and clears those records.
void suf_clear();
// Unlinks the member m from the enumerated set s: later ordinals drop by
// one, the table is rebuilt and the member freed.
void name_del(set* s, setmem* m);

// Start-up and `reset` (before the keyword set-up declares the system
// suffixes): no suffix counted, stage not declared.
void sufdecl_reset();

}  // namespace vexo

#endif  // VEXO_INSTANCE_SUFDECL_H
