// Recompilation records and undo.  Compiling rewrites the user's expression
// trees in place: massage replaces subtrees by shared nodes, opcode
// generation turns nodes into STORE and REWRITE nodes, and evaluation turns
// REWRITE nodes into literals.  Every such change is recorded here, so that
// a command or declaration compiled again (the model grew, data changed, a
// loop runs its body again) first gets its trees back exactly as parsed.
//
// What one compilation leaves behind, and who frees it:
//   retained   the log of replaced slots (Retain), undone by es_reset;
//   chain      the level-0 shared records, freed by es_reset / eeth_clear;
//   saved      REWRITE nodes of the inner levels, undone by es_reset;
//   savedlists on-bind and completion hook lists holding STORE nodes;
//   lev0rew    REWRITE nodes of level 0, undone by rew_reset;
//   restores   restore records run before generated data are discarded.
#ifndef VEXO_COMPILER_RECOMP_H
#define VEXO_COMPILER_RECOMP_H

#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

namespace vexo {

struct eexpr;
struct expr;
struct set;
struct xnode;
struct setdcl;

// One logged change: the slot where, the value it held, and what the change
// involved (see Retain).
struct retain_ent {
  expr** where;
  expr* old;
  set* put;
};

// The retained-pointer block: a size-class block that grows by one class
// when full.
struct es_retain {
  uint32_t hcl;  // size class of the block
  uint32_t n;    // entries used
  retain_ent ent[];
};

// State bits of a record.
enum : uint32_t {
  XR_REWUNDONE = 0x40000,  // level-0 rewrites undone while compiling
  XR_GENERATED = 0x80000   // generated data present (cleared by xreset)
};

// The recompilation record of a command or declaration (declarations carry
// one in their head).
struct xrecomp {
  es_retain* retained;  // what massage changed
  expr** lev0rew;       // level-0 REWRITE nodes
  eexpr* chain;         // level-0 shared records
  expr** saved;         // REWRITE nodes of the inner levels
  expr*** savedlists;   // hook lists holding STORE nodes
  expr* restores;       // restore records run before data are discarded
  void* sud;            // set-update dependency block (sud_blk), or null
  double stamp;         // generation: 0 never compiled, -2 compiled, -1
                        // reset, positive the generation of the values
  double instamp;       // newest input stamp; 1.0 at construction
  double cstamp;        // nextgenlev when last compiled (for stamp -2: an
                        // input changed at or after it makes it stale)
  int32_t nlev0rew;
  int32_t nsaved;
  int32_t nsavedlists;
  uint32_t state;  // XR_...
};
static_assert(std::is_trivially_destructible_v<xrecomp>,
              "recompilation records live in declaration records");

// The current retained block of the compilation in progress (Retain fills
// it; compile_end or compile hands it to the record).
extern es_retain* retained;

// Logs that *where held old before the caller changes it, and returns the
// entry.  put says what undoing involves:
//   null     only the slot changed; when the compilation is not kept the
//            old node is freed (it must not be referenced any more);
//   old      old is a set that gave way to an equal set now in the slot:
//            undo deletes that set and clears old's shared record;
//   Display  the slot only, and nothing is ever freed (old stays in use);
//   a node   a node made for this compilation: undo frees it.
// With a null slot (and a null put) old itself is a new node, freed on
// undo.
retain_ent* Retain(expr** where, expr* old, set* put);
// Retain of a slot that receives a node made for this compilation.
inline retain_ent* Retain_new(expr** where, expr* old, expr* made) {
  return Retain(where, old, reinterpret_cast<set*>(made));
}
// Retain of a set slot.
inline retain_ent* Retain_set(set** where, set* old, set* put) {
  return Retain(reinterpret_cast<expr**>(where), reinterpret_cast<expr*>(old),
                put);
}

// Moves the rewrite lists of the closed levels (rew_list0) into x: the
// REWRITE nodes into x->saved, the hook lists holding STORE nodes into
// x->savedlists; empties rew_list0.
void rew_save(xrecomp* x);
// Undoes the n REWRITE nodes of arr, last first.  With owner non-null the
// rewrites are dropped for good and arr freed (*owner cleared); with owner
// null they are undone for the duration of a compilation and arr keeps
// what rew_redo needs.
void rew_reset(int n, expr** arr, expr*** owner);
// Puts back the rewrites that rew_reset (owner null) took away.
void rew_redo(int n, expr** arr);
// Undoes the level-0 state the previous compilation left: the clean-up
// hooks of both level-0 entries, rew_list0, and the pending rewrites of
// rew_list.
void lev0_clear();
// Frees the record's chain of level-0 shared records.
void eeth_clear(xrecomp* x);
// Undoes every entry of a retained block, last first, and frees it.
void reset_retained(es_retain* b);
// A compiled record seen as parsed for the duration of a listing: the
// constructor undoes what es_reset would (STORE nodes, the REWRITE nodes
// not evaluated since they were planted, the retained log, last first)
// without freeing anything; the destructor puts the compiled state back.
class parsed_view {
 public:
  explicit parsed_view(xrecomp* x);
  ~parsed_view();
  parsed_view(const parsed_view&) = delete;
  parsed_view& operator=(const parsed_view&) = delete;

 private:
  void take(expr* x, const expr* from);
  std::vector<std::pair<expr*, expr>> nodes_;
  std::vector<std::pair<expr**, expr*>> slots_;
};
// Frees a retained block whose compilation is not kept: replaced nodes
// logged with a null put are freed, nothing is undone.
void drop_retained(es_retain* b);
// Data replaced the record in the slot where after x's compilation logged
// the slot: undoing that compilation puts now back, not the record the
// slot held before.  Returns the record the log held (null when x logged
// no change of the slot).
set* retained_renew(xrecomp* x, set** where, set* now);
// Undoes a whole compilation recorded in x: STORE nodes, inner REWRITE
// nodes, the retained log and the chain.  A second call finds nothing.
void es_reset(xrecomp* x);
// Discards the generated data of a declaration (only when XR_GENERATED is
// set).  A kind outside the declaration kinds is a bug ("unexpected type
// 0x%x in %s()").
void xreset(xnode* d);

// Set-update dependencies.  A declaration whose compilation read a declared
// set is linked into that set's ring; a change of the set's data marks the
// dependants stale.
// Builds d's dependency block from the declarations collected in dac (set
// declarations only) and clears their marks.
void sud_build(xnode* d);
// Every record depending on s gets input stamp 2.0 and generation stamp
// 1.0 (regenerated at next use, not recompiled); their blocks go.
void sud_notify(setdcl* s);
// Unlinks and frees d's dependency block.
void sud_del(xnode* d);

// A command's compilation undone: the outermost context's clean-up hooks
// (both level-0 entries), its level-0 rewrites dropped, es_reset.  Ends
// the hold of x.
void undo_command(xrecomp* x);
// A command run again and again by a loop keeps its compilation between
// runs while nothing else compiles: x is held (its level-0 values are
// cleared, so that the next run evaluates them afresh) until the next
// lev0_clear or release_held undoes it.  One record is held at a time.
void hold_compiled(xrecomp* x);
// Whether x is the record held, its compiled form ready to evaluate.
bool compiled_held(const xrecomp* x);
// Undoes the held compilation, if any.
void release_held();

// Start-up and `reset`: no retained block, nothing held.
void recomp_reset();

}  // namespace vexo

#endif  // VEXO_COMPILER_RECOMP_H
