// The system declarations that start-up makes: the system suffixes
// derstage, relax, sstatus and stage; the current and the initial
// problem; the system sets "$display", _LIBS, _AVAILFUNCS, _AVAILFUNC2,
// _SFUNCS and _HANDLERS with the params _handler_desc and _handler_lib.
// parse_init (frontend/keywords.h) runs them in their places through its
// sysdecl hooks, which sysdecl_init installs.
#ifndef VEXO_FRONTEND_SYSDECL_H
#define VEXO_FRONTEND_SYSDECL_H

#include "eval/set.h"

namespace vexo {

struct symbol;
struct suffix;
struct setdcl;
struct param;
struct xnode;

// The system suffixes and the names kept of them.
extern suffix* derstage_suf;
extern suffix* relax_suf;
extern suffix* sstatus_suf;
extern suffix* stage_suf;
extern symbol* Sstatus;
extern symbol* Stage;

// The system sets and params.
extern setdcl* Sd_display;  // "$display", in the order of Display
extern setdcl* Sd_LIBS;     // names of the loaded libraries
extern setdcl* Sd_AVAILFUNCS;
extern setdcl* Sd_AVAILFUNC2;
extern setdcl* Sd_SFUNCS;
extern setdcl* Sd_HANDLERS;  // the table handlers
extern param* Pd_handler_desc;
extern param* Pd_handler_lib;
// The index set of the table handlers (the value set of _HANDLERS).
extern set* handleindx;

// Member generators of the system sets, installed by their owners (the
// function library and the translator).  Default: no members.
extern set_genall_fn availfuncs_gen;
extern set_genall_fn availfunc2_gen;
extern set_genall_fn sfuncs_gen;
// The declaration of _trans_state, on which _SFUNCS depends (instance
// generation).  Default: null, no dependency.
extern xnode* Pd_trans_state;

// The three steps, as parse_init runs them.
void sysdecl_suffixes();
void sysdecl_problems();
void sysdecl_sets();
// Installs the three as parse_init's hooks, and the declaration modules'
// own hooks (vardcl_init, paramdcl_init, condcl_init).  Before parse_init.
void sysdecl_init();

}  // namespace vexo

#endif  // VEXO_FRONTEND_SYSDECL_H
