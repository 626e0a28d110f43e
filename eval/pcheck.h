// Checks of parameter and suffix values, and self-referring definitions.
//
// A check list is a chain of list cells, each holding a check node: a
// relation, `in`, or an integrality test whose L is the value slot that
// every node of the list shares and whose R is the comparand (or set).  The
// value under test is put into the slot, then every check runs; each one
// that fails is reported and counted in _check_failures, and evaluation
// goes on (the error limit of option eexit may still end the command).
//
// A param or indexed set whose definition refers to itself (p[i] through
// p[i-1]) computes each member with a private copy of its compiled
// definition (compiler/copy.h), so that the evaluations of nested members
// run side by side; the copies are kept on the declaration's free list and
// reused.  A guard set holds the subscripts being computed: meeting one of
// them again is a definition through itself, reported as "sorry, no
// implicit definitions: cannot evaluate" with the subscript, which ends the
// command.
#ifndef VEXO_EVAL_PCHECK_H
#define VEXO_EVAL_PCHECK_H

#include "eval/dispatch.h"

namespace vexo {

struct AC;
struct e_copy;
struct list;
struct param;
struct set;
struct set_spec;
struct setdcl;
struct suffix;
struct symbol;
struct symval;
struct xnode;

// ---- Checks -----------------------------------------------------------------

// Runs a numeric check list on value v of member tuple of p (null tuple for
// a scalar; p null: a default value being checked) in the context where
// the member's subscript is bound.
void do_pcheck(list* checks, param* p, symbol* const* tuple, double v,
               TVA* tva);
// The same for a symbolic value; the missing form of v (symbol or string)
// is made first where a check needs it.
void do_spcheck(list* checks, param* p, symbol* const* tuple, symval* v,
                TVA* tva);
// The same for value v of suffix s (null: reported as a param's) of member
// tuple of entity ent.
void do_sufcheck(list* checks, xnode* ent, symbol* const* tuple, double v,
                 TVA* tva, suffix* s);
// Reports that check node `check` failed on the value whose text is vtext
// for member tuple of p: after the location, "failed check: param
// <name><subscript> = <value>", "\t\tis not ", for a relation with a
// comparand that is not a literal "<op> <its value>\n\t\t-- not ", and the
// check's text; _check_failures gains 1 (not for p null, which writes
// "default" for the name), and the report counts as a warning (warninc 2).
void badpcheck(TVA* tva, param* p, symbol* const* tuple, expr* check,
               const char* vtext);

// Counts one failed check in _check_failures (its value gains 1, its data
// stamp becomes nextgenlev).
void count_check_failure();

// Keeps the text of check node n as the declaration wrote it (without the
// value slot, which must be empty), for failure reports: compilation calls
// it before it compiles the node's comparand.
void check_text_keep(expr* n);
// The kept text of check node n ("" when none).
const char* check_text(const expr* n);
// Whether value v satisfies every condition of the list; nothing is
// reported.  A condition that cannot be evaluated ends the command.
bool sufcond_holds(list* conds, double v, TVA* tva);
// Start-up and `reset`: no texts kept (their strings went with the pools),
// no member computation open.
void pcheck_reset();

// ---- Self-referring definitions ---------------------------------------------

// OP_RECPAR 109, OP_RECSPAR 110: the definition of a self-referring param
// (L the definition as compiled, R the holder of its copies and guard).
// Only the member computation of eval/paramref.h evaluates it, through
// rec_member; evaluated otherwise it is a bug (ends the session).
eval_result f_OP_RECPAR(expr* e, TVA* tva);
eval_result f_OP_RECSPAR(expr* e, TVA* tva);

// The AC's current member (its current-evaluation pair, which the location
// of messages names): set to (ent, tuple) while a member is computed (ent
// null: left as it is) and put back when the computation ends, also when
// an error abandons the command, so that later messages do not name it.
class cur_member {
 public:
  cur_member(TVA* tva, xnode* ent, symbol* const* tuple);
  ~cur_member();
  cur_member(const cur_member&) = delete;
  cur_member& operator=(const cur_member&) = delete;

 private:
  AC* ac_;
  xnode* ent0_;
  symbol** tuple0_;
};

// The guard: enters tuple into guard set g for entity ent (a param or an
// indexed set); 1 when g was empty (the caller is the outermost
// computation), else 0.  A tuple already there reports "sorry, no implicit
// definitions: cannot evaluate" with ent's name and the tuple and ends the
// command.  While the guard holds one tuple, a second one first names the
// first in the location of messages (the AC's current member).
int rec_start(set* g, symbol* const* tuple, TVA* tva, xnode* ent);
// Empties the guard set.
void rec_end(set* g);

// A private copy taken for one computation (take_copy) and given back to
// its free list when the computation ends, also when an error abandons the
// command.
class copy_hold {
 public:
  copy_hold(e_copy** freelist, e_copy* c) : freelist_(freelist), c_(c) {}
  ~copy_hold();
  copy_hold(const copy_hold&) = delete;
  copy_hold& operator=(const copy_hold&) = delete;
  e_copy* get() const { return c_; }

 private:
  e_copy** freelist_;
  e_copy* c_;
};
// The first copy of a free list, unlinked, or null when it is empty.
e_copy* take_copy(e_copy** freelist);

// The deepest nesting of member computations through self-referring
// definitions (params and indexed sets together).  Each level takes some
// hundreds of bytes of stack for the simplest definition; the stack that
// start-up asks for holds this many with a wide margin, far beyond what
// real models need.
constexpr int32_t MAX_REC_DEPTH = 50000;

// The guard of one computation: rec_start on construction, one level of
// nesting more; the outermost computation's rec_end when it ends, also when
// an error abandons it.  A computation beyond MAX_REC_DEPTH levels reports
// "recursion too deep" with ent's name and the tuple and ends the command.
class guard_hold {
 public:
  guard_hold(set* g, symbol* const* tuple, TVA* tva, xnode* ent);
  ~guard_hold();
  guard_hold(const guard_hold&) = delete;
  guard_hold& operator=(const guard_hold&) = delete;

 private:
  set* g_;
  int outer_;
};

// The computation of member tuple of p through its self-referring
// definition def (an OP_RECPAR or OP_RECSPAR node): a private copy of the
// definition with its indexing and checks, tuple bound in the copy's
// indexing (context()), tuple in the guard.  The caller evaluates body() in
// context(), runs checks() there, then ends the binding with
// ss_end1(indexing(), context()) before the record goes.
class rec_member {
 public:
  rec_member(expr* def, param* p, symbol* const* tuple, TVA* tva);
  rec_member(const rec_member&) = delete;
  rec_member& operator=(const rec_member&) = delete;
  TVA* context() const { return ctx_; }
  expr* body() const;
  list* checks() const;
  set_spec* indexing() const;

 private:
  copy_hold copy_;
  TVA* ctx_;
  guard_hold guard_;
};

// Whether def is a self-referring definition (OP_RECPAR or OP_RECSPAR).
bool is_recdef(const expr* def);
// Forgets what evaluations of a self-referring definition left: the guard
// is emptied and the copies are given back (instance reset, xreset).  def
// null or of another form: nothing.
void rec_reset(expr* def);
// The same for an indexed set declaration with a self-referring
// definition: its guard and its copies.
void rec_set_reset(setdcl* s);

}  // namespace vexo

#endif  // VEXO_EVAL_PCHECK_H
