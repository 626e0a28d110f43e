// Presolve: the driver that turns the collected problem (instance/ac.h)
// into the problem the writer sends, its working record Presolve, the
// module state that the writer, the solve command and the dual recovery
// read afterwards, and the option cells the option handlers mark.
//
// The driver checks declared bounds, rounds integer bounds, fixes the
// variables the `fix` command fixed, turns rows with one variable into
// bounds, runs the bound-adjustment passes that the level allows (the
// deduced bounds go to the second variable-bound pair), fixes variables
// and forcing rows, relaxes ranges that can never bind, orders the kept
// variables and rows into the classes of the problem file, counts what is
// sent under both choices of option var_bounds and leaves the result in
// the AC (var_order, var_pos, the sending shapes, the sent counts and
// bounds) and in the built-in params _presolve_*.
//
// Written outside presolve/, by design: infeasible by the write and solve
// commands (solver/solve.cpp), which clear it as option infeas_clear
// says; need_fd by them too (a problem presolve settled has duals to
// recover) and by the option handlers (session/opttable.cpp), which also
// write abs_bt and rel_bt.
#ifndef VEXO_PRESOLVE_PRESOLVE_H
#define VEXO_PRESOLVE_PRESOLVE_H

#include <cstdint>
#include <cstdio>
#include <type_traits>

namespace vexo {

struct AC;
struct list;
struct varref;
struct plterm;
struct Inset;
struct expr;

// The blocks of one presolve run, freed together by pstempzap
// (presolve/psmsg.h) on the normal end and on the error path.
constexpr int PS_SCRATCH_BLOCKS = 16;
struct ps_scratch {
  void* blk[PS_SCRATCH_BLOCKS];
  int32_t k[PS_SCRATCH_BLOCKS];  // size class of each block
  int32_t n;                     // blocks held
  int32_t self_k;                // size class of this record
  list* cells;                   // list cells to free, or null
  FILE* log;                     // the presolve log while open
};
static_assert(std::is_trivially_destructible_v<ps_scratch>);

// The working record of one presolve run: zeroed on entry, handed to
// every presolve routine.  Rows are the constraints, then the objectives.
// Fields of the reductions still to come are listed where their Parts
// will use them; the frame fills the ones it reads.
struct Presolve {
  AC* ac;
  ps_scratch* scratch;
  varref** nlcols;  // per variable: rows using it nonlinearly (the AC's)
  // Per constraint: its linear terms (columns rcol, by decreasing column)
  // from rbeg[i] up to rbeg[i + 1]; the reductions' view of the rows, made
  // from the columns.  The coefficients (row_coef reads them): rcoef, or,
  // when the rows hold at most 256 distinct values, a byte per term in
  // rcode indexing the table rcval (rcoef then null).
  int64_t* rbeg;
  int32_t* rcol;
  double* rcoef;
  uint8_t* rcode;
  const double* rcval;
  double *rlb, *rub;      // row bounds (the AC's first pair)
  double *actlb, *actub;  // finite parts of the activity bounds
  double *vlb, *vub;      // second variable-bound pair
  double *vlb0, *vub0;    // first variable-bound pair
  double *rlb2, *rub2;    // second row-bound pair
  double* rub0;           // the AC's collected upper row bounds
  int32_t* nterms;        // per constraint: variables left in nonlinear
                          // and piecewise-linear parts
  int32_t *ninflb, *ninfub;  // infinite terms of each activity side
  int32_t* nfree;            // free linear terms per constraint
  int32_t *rorder, *vorder;  // sending orders
  int32_t *rinv, *vinv;      // their inverses
  uint8_t* cpair;            // complementarity pairing byte per row
  uint32_t* rstat;           // row status (below)
  uint32_t* vstat;           // variable status (the AC's var_status)
  varref** cols;             // per variable: linear terms by row
  plterm** vpl;              // per variable: piecewise-linear terms
  plterm** plrow;            // per row: piecewise-linear terms
  int32_t* rq;  // row queue: a lower stack from 0 (count nrq) and an
                // upper stack from rqcap down (top nba), for the rows of
                // the next bound-adjustment pass
  int32_t nrq;
  int32_t nba, rqcap;
  int32_t nrelax;  // ranges relaxed
  int32_t nbimp;   // bounds improved
  int32_t ncons, ncons0;
  int32_t nrows;
  int32_t nvars, nvars0;
  int32_t nfc;  // rows still kept
  int32_t nfv;  // variables still kept
  int32_t nlogc;
  int32_t nvalchg;  // fixed variables whose stored value changed
  int32_t ncompl, nundecided;
  int32_t nlogtrue;
  int32_t* sidechg;  // per variable and side: the row + 1 that set it
  int32_t nfc2;      // kept rows under the other var_bounds choice
  int32_t* dflag;    // the AC's constraint kinds (logical constraints)
  int32_t *deferred, *deferred_end, *deferred_next;
  int32_t nvq;
  int32_t* vq;  // variables with nonlinear rows, increasing
  int32_t nsimp;
  int32_t ndropcompl;
  int32_t npass;      // bound-adjustment passes run
  int32_t nscan;      // row scans of those passes
  int32_t nrkept;     // ranges relaxed in the second row-bound pair only
  Inset** vdom;       // per variable: allowed intervals, or null
  int32_t* defslot;   // defer's slots
  int32_t ndefslot;
  int32_t nsubst_fixed;  // nonzero: fixed variables remain in nonlinear
                         // parts
  int32_t nbumped;    // unused variables moved to a violated bound
  int32_t classified;  // nonzero: nlvshift skips its classification
  int32_t nlflags;  // bit 1: nlcshift, bit 2: nlvshift kept the incoming
                    // order although the classes needed another
  // Domain linearisation (presolve/isdom.h): the variables listed, in a
  // block of class is_k, and the columns, rows and binaries it adds.
  // is_lub: the bounds each listed domain was counted with (two each).
  int32_t* is_list;
  double* is_lub;
  int32_t is_n, is_k, is_lubk;
  int32_t is_nvar, is_ncon, is_nbin;
  int32_t is_nsos;  // special ordered sets among them
  int32_t is_ndef;  // "def" rows marked as defining their variable
  // Rows and columns made room for once (presolve/linadd.h): the next to
  // fill and the ends of the room.
  int32_t lin_row, lin_row_end, lin_col, lin_col_end;
  // Equations whose complementarity partner was removed (compl_eqn):
  // pairs (row, the partner's lone variable), in a block of eqn_cap pairs.
  int32_t* eqn;
  int32_t neqn, eqn_cap;
  // Nonlinear simplification (presolve/simplify.h).
  expr** linq;       // per row: terms found linear, waiting for nl2l
  int32_t* linrows;  // the rows with such terms (nlinrows of them)
  int32_t nlinrows;
  int32_t keepnl;    // nonzero: terms found linear stay nonlinear
  int32_t ifdepth;   // conditionals being simplified
  // Solving out defined variables (presolve/solveout.h).
  int32_t ldef;      // linear definitional constraints eliminated
  int32_t nfills;    // fills they created
  int32_t nnldef;    // nonlinear definitional constraints eliminated
};
static_assert(std::is_trivially_destructible_v<Presolve>);

// The coefficient of the term at place e of the row lists.
inline double row_coef(const Presolve* P, int64_t e) {
  return P->rcode ? P->rcval[P->rcode[e]] : P->rcoef[e];
}

// Row status bits (rstat).
enum : uint32_t {
  RS_GONE = 0x17,         // the row was removed (the code: 1, 2, 4, 5, 16)
  RS_QUEUED = 0x008,
  RS_SCANLB = 0x100,
  RS_SCANUB = 0x200,
  RS_COMPL = 0x400,
  RS_LOGICAL = 0x8000,
  RS_DEFINES = 0x10000,   // a linearisation's row that defines its variable
  RS_DIVZERO = 0x20000,   // a zero divisor was reported for the row
  RS_INFEASIBLE = 0x40000
};
// The AC's con_kind of a logical constraint presolve turned into an
// algebraic row (no longer bits 1, 2).
constexpr int32_t CK_CONVERTED = 4;
// Variable status bits (var_status) presolve reads and sets.
enum : uint32_t {
  VS_INT = 1,
  VS_BIN = 2,
  VS_UNUSED = 4,     // no terms, but still sent
  VS_FIXED = 0x80,   // removed (fixed by presolve or left out)
  VS_NLCON = 0x100,  // nonlinear in a kept constraint
  VS_NLOBJ = 0x200,  // nonlinear in an objective
  VS_LIN = 0x2000,   // linear in a kept row
  VS_NET = 0x4000,   // linear network (arc) variable
  VS_RANDOM = 0x10000
};

// ---- Entry point.
// Presolves the collected problem ac at level (option presolve): checks
// and rounds bounds, orders and counts what is sent, sets the built-in
// params _presolve_*.  The caller (output_time) then records translation
// state 3.  Infeasibility is reported (buffered messages) and left in
// `infeasible`; the command is abandoned only for complementarity
// conditions with infinite bounds; the error path frees the scratch and
// prints the messages (pstempzap).
void presolve(AC* ac, int level);

// ---- Module state (one run at a time), reset by presolve_reset.
extern int presolve_count;  // runs so far
extern int addassoc, multassoc, distassoc;  // bits of presolve_assoc
extern int bound_adjust;
extern int enq_ba_now, ba_test;
extern int bad_bounds;  // inconsistent bound pairs found
// Exponents of the quantised tolerances (NO_TOL when the option was not
// positive): the writer's header and the solve command read them.
constexpr int NO_TOL = -999999;
extern int ifixeps, ipreeps, iinteps;
// Tolerances in force: fixing, consistency, integer rounding.
extern double vbt, preeps, linteps;
extern double neg_cdt;
// Brackets: largest forgiven and smallest reported gaps.
extern double preeps1, preeps2, inteps1, inteps2, vbmin, vbmax;
extern double vb_tol, vb_Ltol, vb_Utol;  // for the dual recovery
extern int nbud;
extern int infeasible;  // the last presolve found no feasible point
extern int warnmax;     // messages are made while warnings < warnmax
extern int complained;  // messages suppressed
extern FILE* plogfile;  // the presolve log, or null
extern int presolve_sug, presolve_req;  // suggested and required level
extern int use_lnl;
extern int pl_lin_req;
// Options abs_boundtol and rel_boundtol: the value, and the lower and
// upper marks of the tolerances presolve used (a new value outside them
// calls for the duals of removed constraints to be computed again).
extern double abs_bt[3];
extern double rel_bt[3];
// Set when presolve linearised with big-M constraints (option pl_bigM then
// changes the problem).
extern int bigM_used;
// Nonzero while the duals of constraints presolve removed are stale.
extern int need_fd;

// Start-up and `reset`: no presolve has run.
void presolve_reset();
// Computes the duals of the rows presolve removed from the solution read
// back (the AC's primal values and the kept rows' duals), writes them all
// at once, clears need_fd, and reports the bound tolerances when option
// show_boundtol is set.  A bound set by a removed row counts as active
// when the primal value lies within abs_boundtol (or, relatively,
// rel_boundtol) of it; abs_bt[1], rel_bt[1] keep the largest distance
// accepted, abs_bt[2], rel_bt[2] the smallest refused.  Gradients are
// linear: with a nonlinear objective in use, or a nonlinear kept row with
// a nonzero dual, the removed rows keep the duals they have.  Never
// raises an error.
void fixed_duals(AC* ac);
// Reports on standard output the bound tolerances that would change the
// recovered duals (running the recovery first when it is due).
void boundstats(AC* ac);

// The tolerance option value v quantised: 0 and *expo NO_TOL when v is
// not positive; else 1.1^k with k = ceil(ln v / ln 1.1) (*expo = k), or v
// itself (k still computed) when exact is set.
double quantised_tol(double v, bool exact, int* expo);
// Rounds the finite fractional bounds of integer variables (step of the
// driver; also used by the tests): returns 1 when some pair crossed.
int int_bounds(Presolve* P);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_PRESOLVE_H
