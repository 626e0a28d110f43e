// The collected problem record AC.  There is one in the process (cur_ac),
// made on first use and reached by every evaluation context through its
// `ac` field.  So far it holds what evaluation needs: the entity being
// generated or computed, the contexts of table reading and of nonlinear
// simplification (the error location names them), the back pointer to
// the context that uses it and the counts generation keeps; collection,
// presolve and the writer add the problem's arrays.
#ifndef VEXO_INSTANCE_AC_H
#define VEXO_INSTANCE_AC_H

#include <cstdint>
#include <type_traits>

namespace vexo {

struct TVA;
struct xnode;
struct symbol;
struct constr;
struct var;

struct AC {
  xnode* gen_decl;         // the declaration being generated; cleared by new_ac
  xnode* cur_param;        // current-evaluation pair: the parameter whose
  symbol** cur_tuple;      // member (tuple, null when scalar) is being computed
  TVA* table_tva;          // context of the table being read, or null
  const char* table_name;  // its name, or null
  TVA* simp_tva;           // context of nonlinear simplification, or null
  int32_t simp_quiet;      // nonzero: errors there are noted, not reported
  int32_t simp_err;        // set when such an error was noted
  int32_t simp_index;      // variable or constraint being simplified
  int32_t work;            // per-use working word; cleared by new_ac
  TVA* tva;                // the context that uses the record
  AC* ac_self;             // the record itself
  int32_t n_var_gen;       // variables, constraints and objectives that
  int32_t n_con_gen;       // generation keeps in the record
  int32_t n_obj_gen;       // (instance/genmod.h)
};
static_assert(std::is_trivially_destructible_v<AC>,
              "the collected problem lives in the recorded pool");

// The one record, or null before the first new_ac.
extern AC* cur_ac;

// cur_ac, made zeroed from the recorded pool on first use; later calls
// clear gen_decl and the working word.  reset drops the record with the
// pool: cur_ac must then be cleared (ac_reset).
AC* new_ac();
// Forgets the record (the pool that held it is gone).  Reset routine.
void ac_reset();
// Chooses the variable bounds sent to the solver (option var_bounds).
// Stand-in until collection exists: nothing is collected yet.
void set_lubs(AC* ac);
// Prints the statistics of the collected problem (option show_stats).
// Stand-in until collection exists: nothing to print.
void statshow(AC* ac);
// The dual value of member i of constraint c: its stored dual when c is
// dropped or fixed as a whole, else the collected problem's dual of its
// row (computed first when presolve removed the row).  Least form until
// solutions are read: 0.
double con_dual(constr* c, int32_t i, TVA* tva);
// The value of member i of variable v: the collected problem's column
// value once a problem is collected, else its current value, else its
// initial value, else 0.  Least form until instances are generated: 0.
double var_value(var* v, int32_t i, TVA* tva);

}  // namespace vexo

#endif  // VEXO_INSTANCE_AC_H
