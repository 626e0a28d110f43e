// The generated members of a variable, constraint or objective declaration
// (the `gen` record of convar, frontend/vardcl.h): their status bytes,
// declared initial values and current values, what is kept of them across
// a regeneration or a redeclaration, and the values sent to a solver as
// the starting point.  Also get_ts3, the collected and presolved problem on
// demand.
//
// Every array is a block of the size-class allocator; member_class is the
// class of an array of one 8-byte entry per member, and the status bytes
// use that class less char_adj (instance/ac.h).  A declaration whose flags
// carry CF_COMPL (8, frontend/condcl.h) has two slots per member (the two
// rows of a complementarity constraint): its arrays hold twice as many
// entries, their classes one higher.
#ifndef VEXO_INSTANCE_MEMBERS_H
#define VEXO_INSTANCE_MEMBERS_H

#include <cstdint>
#include <type_traits>

namespace vexo {

struct AC;
struct TVA;
struct convar;
struct cstr;
struct expr;
struct objsolve;
struct plterm;
struct varref;
struct set;
struct symbol;
struct var;
struct xnode;
struct xnode2;

// Flag bits of the declaration (xnode::flags) read here.
enum : uint64_t {
  CV_TWOSLOTS = 8,      // two slots per member (complementarity)
  CV_NOSAVE = 4,        // current values are dropped, not saved
  CV_ALLDROPPED = 0x2000  // the whole declaration is dropped or fixed:
                          // every member starts with status 2
};

// Status bits of a member (member_status).
enum : uint8_t {
  GS_DROPPED = 2,  // left out of the problem (dropped or fixed)
  GS_BODY = 4,     // body_cache holds the member's body value
  GS_HASVAL = 8    // cur_vals holds the member's value
};

struct cvgen {
  int32_t member_count;  // members generated (0: none; the fields below
                         // that number members are then meaningless)
  int32_t member_class;  // class of an array of 8 bytes per member
  int32_t first_col;     // a variable's first column; a constraint's or
                         // objective's first row
  int32_t n_dropped;     // members removed from the indexing set since
                         // generation
  int32_t state_count;   // members whose status has GS_DROPPED
  int32_t saved_subs_class;  // size class of saved_subs
  set* members;          // the subscripts of the members, in member order
                         // (an enumerated set); null for a scalar
  uint8_t* member_status;  // a byte per slot, or null
  double* init_vals;       // declared initial values per slot, or null
  double* cur_vals;        // current values per slot, or null
  uint8_t* rand_mark;      // random variables: nonzero for a member whose
                           // value is random (sent as NaN), or null
  expr** rand_exprs;       // random variables: per member its random
                           // expression (a distribution; null for a member
                           // holding a plain value), or null for none
  symbol** saved_subs;     // kept by savesol: the subscripts of every
                           // member, arity symbols each, in member order;
                           // scalar_subscrs for a scalar; or null
  uint8_t* saved_status;   // kept by savesol: the status bytes, or null
  // What the member generators leave per slot, each array null until
  // made: a variable's declared bounds; a constraint's row bounds, its
  // constant (the negated right-hand side; an objective's constant) and
  // its terms (linear, nonlinear parts chained by next, piecewise-linear);
  // a logical constraint's instantiated expression; a constraint's initial
  // duals are its init_vals.  A defined variable's
  // defining constraint holds the terms of its definitions.
  double* lb;
  double* ub;
  double* consts;
  varref** lin;
  expr** nonlin;
  plterm** pl;
  expr** logexpr;
  // An equality row whose body is a lone variable less the rest: that
  // variable's column + 1 (0 for other rows), or null.
  int32_t* eq_col;
  // Kept by the solution values (eval/solval.h): the body values computed
  // since the last change (GS_BODY marks a cached slot), one more slot for
  // a complementarity declaration; the constraint map (make_cmap); the
  // solve records of an objective's members (null before a solve).
  double* body_cache;
  int32_t* cmap;
  objsolve* solves;
  int32_t n_in_prob;  // members in the current problem when the
                      // declaration needs a constraint map, else 0
  int32_t gen_seq;    // when the members were last generated (a count
                      // of generations, instance/gencon.h)
  int32_t saved_count;  // members described by saved_subs (their values
                        // are still in cur_vals, their status bytes in
                        // saved_status) while a regeneration is pending
  int32_t pad_;
};

// What a solve left for one objective member: the solver's result number
// and exit code, the result and message texts (counted strings, or null
// before a solve: a null result means no record).
struct objsolve {
  int32_t result_num;
  int32_t exitcode;
  cstr* result;
  cstr* message;
};
static_assert(std::is_trivially_destructible_v<objsolve>);
static_assert(std::is_trivially_destructible_v<cvgen>,
              "member arrays live in declaration records");

// The saved_subs of a scalar declaration whose values are kept.
extern symbol** const scalar_subscrs;

// Whether d keeps its members' values and suffix values with its
// generated members (numeric variables, constraints and objectives once
// generated) rather than by data index (data/values.h).
bool members_hold_values(const xnode* d);
// The set whose ordinals number d's members for subscripted references:
// the generated members when they hold the values, else the data index.
set* subscript_set(xnode2* d);

// Makes d's member_status: a zeroed byte per slot, every byte 2 under
// CV_ALLDROPPED.  An existing array is freed first.  Returns it.
uint8_t* figalloc(convar* d);
// Makes d's cur_vals from its init_vals (zeros without them), and its
// member_status (figalloc) when it has none.  An existing cur_vals is
// freed first.  Returns cur_vals.
double* vval_alloc(convar* d);
// The stored value of member i of v (a variable's value, a constraint's
// dual): its current value when its status has
// GS_HASVAL, else its initial value, else 0.
double member_value(const convar* v, int32_t i);
// Writes the starting values of v's first n members to out and returns
// out + n: the current value of a member whose status has GS_HASVAL, else
// its initial value, else 0; a member marked random gets a quiet NaN.
double* dpov_set(var* v, int32_t n, double* out);
// Before d's members are generated again or d is replaced: keeps what
// carries its current values over by subscript.  Under CV_NOSAVE the
// current values are dropped (a scalar is then done).  A scalar with
// current values gets saved_subs = scalar_subscrs; an indexed d keeps its
// status bytes as saved_status when members were removed since
// generation (n_dropped nonzero and below the member count), and the
// subscripts of all its members in saved_subs.
void savesol(convar* d);
// Before a redeclaration copies the new record to over the old record
// from (x_copy, frontend/decl.h), for a scalar variable, constraint or
// objective (kinds 2, 8, 10): saves from's values (savesol) and moves its
// status bytes, saved status, current values, saved subscripts, class and
// member count to `to`, clearing them in from; so the values survive the
// copy.  Other kinds: nothing.
void dropsavechk(xnode* from, xnode* to);

// Before d's members are generated again (xreset): what carries the
// members' values, status bytes and suffix values over by subscript is
// kept (the subscripts in saved_subs, the values in cur_vals, the status
// bytes in saved_status, the suffix layout in suf_subs; see dropcheck),
// then the arrays the member generators made (bounds, initial values, the
// member set) are freed and cleared.  The member count and first column
// stay, so that the generator can tell where the old columns were.  When
// a regeneration is already pending (saved_count set), only the arrays of
// the partial generation go.
void cv_release(convar* d);
// After d's members were generated again: what cv_release kept follows
// the members by subscript.  Suffix values are laid out for the new members
// (a new member gets the suffix's default); a member kept gets its old
// value (and status bit GS_HASVAL) and its old GS_DROPPED state; a removed
// member loses them.  state_count counts the members with GS_DROPPED.
// Under CV_ALLDROPPED every member is dropped.  When a member went or the
// count changed, d's value stamp (stamp2) rises to its input stamp.
// empty: d is an indexed constraint without members (the problem is then
// to be collected again).
void dropcheck(convar* d, int empty, TVA* tva);
// The collected problem brought to state 3 (collected and presolved): below
// state 1 the problem is generated first.  When either step yields no
// problem, the command is abandoned (bailout).
AC* get_ts3(AC* ac);

}  // namespace vexo

#endif  // VEXO_INSTANCE_MEMBERS_H
