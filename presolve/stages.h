// What presolve derives after its reductions for the writer: the counts of
// what is sent under each choice of option var_bounds (nzcount), the
// variable queue of the nonlinear steps (vq_setup), the expression
// classifiers extype and zrctype1, and the walks of the random-variable
// stages (nrand, rand_use1, randprop with their comparators).
#ifndef VEXO_PRESOLVE_STAGES_H
#define VEXO_PRESOLVE_STAGES_H

#include <cstdint>

namespace vexo {

struct AC;
struct Presolve;
struct SendShape;
struct expr;
struct list;

// One shape of the rows sent: makes its order the AC's sending order
// (con_order_sent, con_pos for every row), counts the linear terms of the
// sent variables in its sent constraints (its nonzeros) and in the
// objectives (the AC's grad_nonzeros), and its equality and range rows.
void nzcount(AC* ac, SendShape* sh);
// nzcount of alt, then of work, with one walk over the columns when the
// two share their order.
void nzcount_both(AC* ac, SendShape* alt, SendShape* work);
// The variable-queue blocks of P (kept in the scratch) and vq: the
// variables whose nonlinear-row list is not empty, increasing (nvq).
void vq_setup(Presolve* P);
// 0: no variables in e; 1: linear (sums and differences of linear parts,
// products with a numeric constant factor); 2: otherwise.
int extype(expr* e);
// Type bits of e: 1 a variable occurs linearly, 2 nonlinearly, 4 in a
// piecewise-linear term, 8 under a function call or logical operator.
int zrctype1(AC* ac, expr* e);

// The stage walk's context: the running largest stage of the variables
// met, the entity being staged (-1: none) with its flag byte and the list
// of entities whose stage was raised, the per-column stages (the suffix
// stage; null: all 0), the column base and the range [lo, hi) of variable
// classes (cls, per column; null: all 0) that take part.
struct stage_info {
  double maxstage;
  uint8_t* flagged;  // per entity
  const int32_t* cls;
  list* raised;
  const double* stage;
  int32_t base;
  int32_t entity;
  int32_t maxvar;  // the variable that gave maxstage, or -1
  int32_t lo, hi;
};
// Walks e (subtrees flagged 0x124): counts the calls of random functions,
// and raises s->maxstage to the stage of each variable in class range.
int nrand(expr* e, stage_info* s);
// 1 when e (subtrees flagged 0x104) uses a variable whose status has
// VS_RANDOM.
int rand_use1(expr* e, const uint32_t* vstat);
// randprop's context: per-column participation flags and status words, an
// output cursor, the column base and the status bit to add.
struct rp_info {
  AC* ac;
  const uint8_t* part;
  uint32_t* vstat;
  int32_t* out;
  int32_t base;
  uint32_t bit;
};
// For each variable of e (subtrees flagged 0x100) that takes part and has
// none of 0x2300 in its status: adds r->bit and appends it at r->out.
void randprop(expr* e, rp_info* r);
// Comparators of the stage phase: doubles with 0 first, then ascending;
// int indices by their stages.
int jstage_cmp(const void* a, const void* b);
int stgcmp(const void* a, const void* b, void* stages);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_STAGES_H
