// The collected problem record AC.  There is one in the process (cur_ac),
// made on first use and reached by every evaluation context through its
// `ac` field.  Collection fills it from the generated instance (variables
// as columns, constraints and objectives as rows, objectives numbered after
// the constraints in arrays by row), presolve tightens and reorders it and
// records what it sends, the writer reads the sent fields, and the
// solution reader maps the solver's answers back through its orders.  It
// also carries what evaluation needs: the entity being generated or
// computed, the contexts of table reading and of nonlinear simplification
// (the error location names them) and the counts generation keeps.
//
// Storage: every array is a block of the size-class allocator.  Arrays of
// one count share one recorded class, chosen for that many 8-byte entries:
// 4-byte entries use the class less int_adj, bytes the class less char_adj
// (never below 0), 16-byte pairs the class plus 1 (elem_class).  A pointer
// is null while its array does not exist; the record is emptied (not
// freed) before each collection by col_teardown.
#ifndef VEXO_INSTANCE_AC_H
#define VEXO_INSTANCE_AC_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "eval/optab.h"
#include "instance/varref.h"

namespace vexo {

struct TVA;
struct xnode;
struct symbol;
struct constr;
struct var;
struct expr;
struct problem;
struct setmem;
struct jacsort;
struct list;

// Class differences between an array of 8-byte entries and the same count
// of 4-byte (int_adj) or 1-byte (char_adj) entries.
constexpr int int_adj = 1;
constexpr int char_adj = 3;

// The class of an array of entries of `bytes` bytes (1, 4, 8 or 16) whose
// count an array of 8-byte entries of class k holds.
constexpr int elem_class(int k, int bytes) {
  int c = bytes == 1 ? k - char_adj : bytes == 4 ? k - int_adj
                                    : bytes == 16 ? k + 1 : k;
  return c < 0 ? 0 : c;
}

// The name of one generated member: its declaration, the member record
// whose tuple follows its head (null for a scalar), and a text appended to
// the name (".L", ".R" for the two rows of a complementarity constraint),
// or null.  A row or column that presolve adds has no declaration: the
// tail holds its whole name and subs at most one numeric subscript.  Made
// into text by xwho and namesub (instance/names.h).
struct xname {
  xnode* decl;
  setmem* subs;
  const char* tail;
};
static_assert(std::is_trivially_destructible_v<xname>);

// The rows sent under one choice of variable bounds: their order and
// bounds, and their counts by kind.
struct SendShape {
  int32_t* order;  // row numbers in sending order
  double* lower;   // row bounds; at collection con_lb and con_ub
  double* upper;
  int64_t nonzeros;
  int32_t n_con;  // rows sent less logical ones
  int32_t n_nonlin;
  int32_t n_lin_net;
  int32_t n_nonlin_net;
  int32_t n_eq;
  int32_t n_range;
  int32_t n_logical;
  int32_t k;  // size class of order
};
static_assert(std::is_trivially_destructible_v<SendShape>);

// The counts and orders by which the suffix writer numbers the entities of
// the four classes (variables, rows, objectives, the problem), when they
// differ from the record's own: a block of class k (set_lubs).  A copied
// row order (rows) follows the head.
struct sufshape {
  int32_t* order[4];  // var_order, the row order, obj_order, prob_order
  int32_t k;          // size class of the block
  int32_t vb_need;    // the vb_need it was made for
  int32_t n[4];       // entities per class
  int32_t* rows() { return reinterpret_cast<int32_t*>(this + 1); }
};
static_assert(std::is_trivially_destructible_v<sufshape> &&
              sizeof(sufshape) == 56);

// One entry of a special ordered set: a member column (or a row that
// picks one member), the set's value as the "sos" suffix sends it, and a
// member's reference value ("sosref").
struct sos_entry {
  int32_t index;
  int32_t set;
  double ref;
};
static_assert(std::is_trivially_destructible_v<sos_entry>);

struct AC {
  // ---- Counts.  ac_count reads the ones the count params name, sizeval
  // and the synonym sets the ones size_offset lists.
  int64_t jac_nonzeros;   // linear nonzeros in constraints (sent ones after
                          // presolve)
  int64_t grad_nonzeros;  // linear nonzeros in objectives
  int32_t n_var;          // variables collected
  int32_t n_var_aux;      // variables the per-variable suffix arrays cover
  int32_t n_con;          // rows of constraints (logical ones included; a
                          // complementarity constraint takes two)
  int32_t n_con_aux;      // rows the suffix arrays cover
  int32_t n_compl;        // complementarity constraints collected
  int32_t n_compl_lin;    // linear and nonlinear complementarity
  int32_t n_compl_nonlin;  // conditions sent
  int32_t n_nonlin_con;    // nonlinear constraints sent
  int32_t n_nonlin_net_con;
  int32_t n_lin_net_con;
  int32_t n_defvar;     // defined variables among the collected ones
  int32_t n_eq_con;     // equality and range constraints sent
  int32_t n_range_con;
  int32_t n_alg_con;    // algebraic constraints collected
  int32_t n_logical;    // logical constraints collected
  int32_t n_con_added;  // constraints presolve's transformations added
  int32_t n_log_alg_con;      // logical constraints in algebraic form, and
  int32_t n_pre_log_alg_con;  // those presolve converted (presolve's)
  int32_t n_nonlin_obj;       // nonlinear objectives sent
  int32_t n_nlv_sent;         // nonlinear variables sent (presolve's)
  int32_t n_nlv_both;  // nonlinear in constraints and objectives, integer
  int32_t n_nlv_both_int;  // ones among them; in constraints only; in
  int32_t n_nlv_con;       // objectives only
  int32_t n_nlv_con_int;
  int32_t n_nlv_obj;
  int32_t n_nlv_obj_int;
  int32_t n_lin_int;      // linear integer variables that are not binary
  int32_t n_lin_bin;      // linear binary variables
  int32_t n_lin_net_var;  // linear network variables
  int32_t n_nonlin_parts_con;  // lengths of the con_nonlin and obj_nonlin
  int32_t n_nonlin_parts_obj;  // lists
  int32_t n_pl_con;  // piecewise-linear terms in constraints and
  int32_t n_pl_obj;  // objectives, after merging
  int32_t n_rand_var;    // random variables collected
  int32_t n_sym_member;  // members of symbolic-variable declarations
  // The sent entities by class, in the order of the suffix classes
  // (sizeval), so that shape_ptr can point at them.
  int32_t n_var_sent;
  int32_t n_con_sent;  // algebraic constraints sent
  int32_t n_obj;       // objectives
  int32_t n_prob;      // 1 once collected: a problem has one suffix value
  int32_t n_compl_sent;
  int32_t n_logical_sent;
  int32_t n_subst_var;  // variables eliminated by substitution: they stand
                        // in var_order right after the sent ones
  int32_t n_pl_var_added;  // variables and constraints that
  int32_t n_pl_con_added;  // piecewise-linear linearisation added
  int32_t n_pl_lin;  // linearisations made (terms, then set domains): the
                     // numbers in the generated names
  int32_t n_cvar;     // variables added to complement rows (presolve)
  int32_t n_compl_nd;    // complementing variables with two finite bounds,
  int32_t n_compl_nzlb;  // and with a lower bound other than 0
  int32_t n_con_decl;  // declarations collected of each kind
  int32_t n_obj_decl;
  int32_t n_var_decl;
  int32_t n_rand_warn;  // entries of rand_warn

  // ---- Size classes.
  int32_t var_class;  // per variable
  int32_t con_class;  // per constraint
  int32_t row_class;  // per row (constraints, then objectives)
  int32_t obj_class;  // per objective
  int32_t var_names_class;
  int32_t con_names_class;
  int32_t obj_names_class;
  int32_t decl_class;          // the declaration-pointer block
  int32_t sym_var_list_class;  // sym_var_list
  int32_t compl_class;         // per complementarity constraint
  int32_t rand_warn_class;

  // ---- Per variable.
  double* var_lb;      // working bounds (presolve tightens them)
  double* var_ub;
  double* var_lb_alt;  // second pair: the very same arrays as the working
  double* var_ub_alt;  // ones unless presolve made a copy
  double* var_lb_sent;  // the pair set_lubs chose for the writer
  double* var_ub_sent;
  double* var_init_val;  // values exchanged with the solver: starting
                         // values sent, then the primal values read back
  uint32_t* var_status;  // the declaration's flags (integrality in the low
                         // two bits), 0x84 added for a member left out;
                         // 0x8000: clear the stored values after solving
  varref** col_terms;    // linear terms by column (index: row)
  varref** col_nl_rows;  // rows using the variable nonlinearly (coef 1)
  plterm** col_plterms;  // piecewise-linear terms by column
  var_dom* var_domain;   // `in` domains, or null when none has one
  int32_t* var_order;    // variables in sending order: sent, substituted,
                         // then the others presolve removed
  int32_t* var_pos;      // inverse of var_order
  xname* var_names;      // also Vname (instance/names.h)
  double* var_rc;        // reduced costs read back with a solution, or null
  varref** var_lindef;   // per variable presolve eliminated by a linear
                         // definition: the defining row's other terms,
                         // negated (its value in terms of the others); or
                         // null

  // ---- Per constraint (rows below n_con).
  expr** con_nonlin;  // nonlinear parts
  int32_t* con_kind;  // bits 1, 2: a logical constraint; null when
                      // n_logical is 0
  int32_t* con_order;  // logical constraints first, then algebraic ones
  double* con_lb;      // row bounds as collected (both shapes at first)
  double* con_ub;
  double* con_lb_sent;  // the bounds of the shape set_lubs chose
  double* con_ub_sent;
  double* con_init_dual;  // starting duals sent
  double* con_duals;      // duals read back with a solution, or null
  int32_t* con_defvar;    // per row: the column + 1 of the variable it
                          // defines (0: none), or null
  int32_t* compl_var;     // per row: the column + 1 of the variable it
                          // complements (0: none), or null
  xname* con_names;
  // Complementarity (null while n_compl is 0).
  uint8_t* cpair;        // pairing byte per row
  double* compl_ub0;     // per row: upper bounds as collected
  int32_t* compl_first;  // per complementarity constraint: its first row

  // ---- Per objective.
  expr** obj_nonlin;
  double* obj_const;
  uint8_t* obj_sense;   // 0 minimise, 1 maximise
  int32_t* obj_order;   // objective numbers in sending order
  xname* obj_names;
  int32_t obj_no;       // the objective the solver was given (valid when
                        // below n_obj)

  // ---- By row (constraints, then objectives).
  varref** row_terms;   // linear terms by row (index: column)
  plterm** row_plterms;  // piecewise-linear terms by row, or null
  int32_t* con_order_sent;  // rows in sending order (a shape's order)
  int32_t* con_pos;         // inverse of con_order_sent
  SendShape shape_work;     // rows sent with the working bounds
  SendShape shape_alt;      // ... with the second bound pair

  // ---- Defined variables: presolve keeps here the variables it solves
  // out that are defined by expressions, whose values def_comp computes
  // on demand (eval/defvar.h).  A column's status (var_status) then
  // carries DV_DEFINED; DV_STALE while its stored value must be computed
  // again, DV_SETTLED when presolve fixed it.
  expr** dv_bodies;   // per body: its parts chained by next (an OPLINPART
                      // node among them: the body carries its linear
                      // part), or null
  double* dv_const;   // per body: the constant of its definition
  double* dv_rhs;     // per body: a right-hand side, +Infinity for none;
                      // or null
  int32_t* dv_col;    // per body: the column it defines
  int32_t* dv_cmap;   // per column: the body number + 1 (0: none); made
                      // from dv_col on first need (dv_cdef)
  double* dv_val2;    // the body sums def_comp left, by position (column
                      // less dv_off), or null
  int32_t n_dv_bodies;
  int32_t dv_class;  // size class of the per-body arrays
  int32_t dv_off;    // first column of dv_val2

  // ---- Constraint maps (make_cmap, eval/solval.h) made since the last
  // collection: a list of their declarations, whose maps col_teardown
  // frees.
  list* cmap_decls;

  // ---- Declarations.
  xnode** con_decls;  // one block of class decl_class: constraint, then
  xnode** obj_decls;  // objective, then variable declarations collected
  xnode** var_decls;
  int32_t* sym_var_list;  // per symbolic-variable member
  problem* prob_link;     // the problem collected
  problem** prob;         // &prob_link: a one-element list
  int32_t* rand_warn;     // random variables noted for warnings

  // ---- The suffix writer's numbering (set_lubs).
  int32_t* shape_ptr;     // the four sent counts: &n_var_sent,
                          // suf_shape->n or shape_copy
  sufshape* suf_shape;    // or null
  int32_t shape_copy[4];  // spare copy of the sent counts
  CVseen seen[4];         // the members sent, per class

  // ---- Presolve's tolerance statistics (printed by statshow,
  // instance/stats.h): largest change and its tolerance for fixeps,
  // inteps, eps.
  double fixeps_chg, fixeps_tol;
  int32_t n_var_fixcmd;  // variables the fix command fixed (presolve)
  int32_t n_var_used;    // with n_var_fixcmd set: the variables some row
  int32_t n_var_fixused; // uses, and how many of them the fix command fixed
  double inteps_chg, inteps_tol;
  double eps_chg, eps_tol;

  // ---- Left by presolve for the problem writer.
  int32_t nl_flags;       // bit 1: the constraint order, bit 2: the
                          // variable order was kept although option
                          // nl_permute suppressed a needed permutation
  int32_t nl_subst_flag;  // nonzero: option word 9 of the header gets 4
  // Special ordered sets of the linearisations (presolve/linadd.h): the
  // members (column, set value, reference value) and the rows that pick
  // one member (row, set value), in blocks of the given size classes, or
  // null.
  sos_entry* sos_cols;
  sos_entry* sos_rows;
  int32_t n_sos_cols, n_sos_rows;
  int32_t sos_cols_k, sos_rows_k;
  int32_t sos_last;  // the last set value given

  // ---- Kept by the problem writer: the Jacobian in writer order
  // (col1sort, solver/nlwrite.h), or null until a write builds it.
  // Dropped (jac_forget) with the lists and orders it was made from.
  jacsort* jac_sorted;

  // ---- Evaluation and generation.
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
static_assert(std::is_trivially_destructible_v<AC> &&
                  std::is_standard_layout_v<AC>,
              "the collected problem lives in the recorded pool");
static_assert(offsetof(AC, n_con_sent) == offsetof(AC, n_var_sent) + 4 &&
                  offsetof(AC, n_obj) == offsetof(AC, n_var_sent) + 8 &&
                  offsetof(AC, n_prob) == offsetof(AC, n_var_sent) + 12,
              "the sent counts are one group of four");

// Column status bits (var_status) of defined variables.
enum : uint32_t {
  DV_LINEAR = 0x10,    // eliminated by a linear definition
  DV_NONLIN = 0x40,    // defined by an expression
  DV_DEFINED = DV_LINEAR | DV_NONLIN,
  DV_SETTLED = 0x80,   // value fixed by presolve: returned as it is
  DV_STALE = 0x8000    // the stored value must be computed again
};

// The one record, or null before the first new_ac.
extern AC* cur_ac;
// Which pair of variable bounds the solver sees (set_lubs): 1 the working
// pair, whose rows are also those of the second pair; 2 the second pair;
// 3 the working pair, whose rows differ from the second pair's.
extern int vb_need;

// cur_ac, made zeroed from the recorded pool on first use; later calls
// clear gen_decl and the working word.  reset drops the record with the
// pool: cur_ac must then be cleared (ac_reset).
AC* new_ac();
// Forgets the record (the pool that held it is gone).  Reset routine.
void ac_reset();
// Start-up and `reset`: what the instance records keep between commands
// goes, since it lay in the memory reset frees: the term pool (varref.h),
// the changes noted since the last collection (stamps.h), the name table
// Vname and the name buffer (names.h), vb_need.
void misc_reinit();

// Count k of the entity classes: n_var_aux (0), n_con_aux (1), n_obj (2),
// and 1 for a problem-level value (3 and above).
int32_t sizeval(const AC* ac, int k);
// The counts behind the synonym sets 0..13 and sizeval's three classes
// (entries 14..16).
extern int32_t AC::*const size_offset[17];
// The count that count param position pos (frontend/keywords.cpp) names,
// and whether pos names one.  Positions 0 and 8 are 64-bit counts.
bool ac_count(const AC* ac, int pos, double* value);

// Evaluation of a count param (_nvars ...; opcode OPSYN, R its row of
// the built-in names): the count its position names in the collected
// problem, brought to state 3 first (get_ts3, instance/members.h) when the
// translation state is below 3.
eval_result f_OPSYN(expr* e, TVA* tva);

// A block of class knew holding the first n bytes of p (a block of class
// kold, freed; null: none), the rest zeroed.
void* upgrade(void* p, int kold, int knew, size_t n);
// Grows every per-variable array to class knew (presolve adds variables):
// old_n entries are kept, the new ones are zero.  A second bound pair
// that was the working pair stays the working pair; a separate one stays
// separate.
void v_upgrade(AC* ac, int knew, int32_t old_n);
// Empties the record before a collection: every array freed and its
// pointer cleared (the lists in them returned to their pools).  Without
// var_lb nothing but the names was made, and only they go.
void col_teardown(AC* ac);
// Chooses the variable bounds sent to the solver by option var_bounds
// (pass_lub1): 2 or more the second pair (vb_need 2), else the working
// pair (vb_need 1 or 3); copies the chosen shape's counts and row bounds
// into the record, orders the rows by it (con_order_sent, con_pos;
// col_terms made from row_terms first when missing) and sets the suffix
// writer's numbering (shape_ptr).
void set_lubs(AC* ac);

}  // namespace vexo

#endif  // VEXO_INSTANCE_AC_H
