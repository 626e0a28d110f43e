// Named problems: the problem declaration record, its entity list and the
// current problem.  The least form until problems are built: a problem
// keeps its items as its entity list; there is one current problem, made
// current by its declaration.
#ifndef VEXO_INSTANCE_PROBLEM_H
#define VEXO_INSTANCE_PROBLEM_H

#include <type_traits>

#include "frontend/decl.h"
#include "instance/sufstore.h"

namespace vexo {

struct cstr;
struct expr;
struct list;
struct set_spec;
struct symbol;

// The problem record (kind 20/21, record kind 4).  The front end pushes
// variables and constraints on its entity list: OPARG nodes whose L is an
// OP281 node whose L is the declaration.
// Suffix values given by data are the per-member arrays of xnode2.
struct problem : xnode2 {
  expr* ents;      // entity list, newest first
  set_spec* pix;   // indexing of an indexed problem
  expr* sufinits;  // suffix settings
  list* environ;   // environment settings
  sufstore sufs;   // its suffix values (instance/sufstore.h)
  static void* operator new(size_t size);
  static void operator delete(void* p);
};
static_assert(std::is_trivially_destructible_v<problem>);
extern problem* cur_prob;      // the current problem
extern problem* initial_prob;  // the problem made at start-up

// Pushes declaration d on the problem's entity list and records the
// problem among d's referrers.
void prob_add(problem* p, xnode* d);
// `problem NAME [alias] [ix] settings [: items];` (at start-up: the
// current and the initial problem, both named "Initial").  Items is a chain
// of expressions naming entities; the stand-in keeps them as the entity
// list.  Returns the problem.
problem* new_problem(symbol* name, cstr* alias, set_spec* ix, expr* settings,
                     expr* items);

// The problem Initial, current at start-up (and after `reset`); a step of
// the keyword set-up (parse_init).
void sysdecl_problems();
// No problem yet: cur_prob and initial_prob null until sysdecl_problems.
void problem_reset();

}  // namespace vexo

#endif  // VEXO_INSTANCE_PROBLEM_H
