// Evaluation contexts.  Every evaluation routine receives, with its node, a
// TVA: the values of the index dummies level by level, the frames pushed
// while indexing expressions are iterated, and the collected problem the
// evaluation fills.  One TVA is made at the end of every compilation, sized
// from what that compilation found (the deepest context level and the cells
// the levels need); contexts nest through `outer`, and cur_tva is the
// innermost one.
//
// A TVA lives in one size-class block: the size record, the TVA record with
// its level pointers, the level-0 cells, then the frame area from base to
// top.  The block has fourfold headroom, so iterating pushes and pops
// frames by pointer arithmetic and never allocates.
#ifndef VEXO_COMPILER_TVA_H
#define VEXO_COMPILER_TVA_H

#include <cstdint>
#include <type_traits>

namespace vexo {

// Written outside compiler/, by design: cur_tva by iteration's clean-up
// (eval/iterate.cpp), which restores the context an abandoned loop left.

struct AC;
struct symbol;
struct set_spec;

// The size record at the start of a TVA block; the same record stands in
// each compiled indexing expression (filled when it is closed: hcl =
// htcl(8 * TVAneed(c)) + 2, need = TVAneed(c), max_context at that time),
// from which a nested context gets a block of its own.
struct tva_size {
  uint32_t hcl;         // size class: the block is 8 << hcl bytes
  uint32_t need;        // cells the block was sized for (tva_need)
  int32_t max_context;  // deepest level the block has a pointer for
};

// The context.  A frame is three header words (the previous frame, null
// for the root frame; the set_spec whose dummies it holds; the TVA current
// before the push, made current again by the pop) followed by its cells.
struct TVA {
  void** frame;    // the current frame
  void** free;     // first free word after it
  void** base;     // first word of the frame area (after the level-0 cells)
  void** top;      // one past the last word of the block
  TVA* parent;     // a nested context with a block of its own: the context
                   // it was set up from (its teardown frees the block);
                   // null otherwise
  TVA* outer;      // the context current when this one was made
  AC* ac;          // the collected problem (instance/ac.h)
  tva_size* size;  // the record describing the block
  // Entries 0..size->max_context: the first value cell of each level's
  // dummies; a dummy's cell is lev[level] + its position.  lev[0] points
  // at the level-0 cells right after the array; levels not entered are
  // null.
  symbol** lev[];
};
static_assert(std::is_trivially_destructible_v<TVA> && sizeof(TVA) == 64,
              "a TVA is a plain block record");

// Cells a context needs: 4 * (max_context + 1) + M + 9, M the frame cells
// needed inside level 0 (max_context: compiler/context.h).  Set by
// tva_lencomp.
extern int32_t tva_need;
// Size class of a TVA block (0: not computed yet) and its length in words
// (1 << tva_hcl).
extern int32_t tva_hcl;
extern int32_t tva_len;
// Level-0 cells of the sizing in force (the level-0 Index's cell count at
// the last tva_lencomp); new_tva lays them out.
extern int32_t tva_cells0;
// The current context, or null.
extern TVA* cur_tva;

// (max_context + 1) * 4 + n + 9: the cells a context needs whose frames
// hold n cells.  Sizes the record of an indexing expression when it closes.
int32_t TVAneed(int32_t n);
// Computes tva_need, tva_hcl, tva_len and tva_cells0 after a compilation
// from the context stack (after its start-up, context_reset): M is the
// frame size of context record 0 (reset to 0 here), L0 the level-0
// Index's cell count.  With option show_stats
// above 4 prints the sizing statistics.  A context record left open is a
// bug (ends the session).
void tva_lencomp();
// A new zeroed context over cur_ac (new_ac) with its root frame, made
// current.  Before any compilation it sizes itself (tva_lencomp).  errno is
// cleared.
TVA* new_tva();
// Makes t->outer current again (and the accumulator's context, when it has
// one) and frees t's block.  t must be the current context.
void del_tva(TVA* t);
// Owns a context (null: none) and frees it however the scope ends.
struct tva_hold {
  TVA* t;
  ~tva_hold() {
    if (t) del_tva(t);
  }
};

// Words of a frame's header, before its cells.
constexpr int TVA_FRAME_HEAD = 3;

// Pushes a frame of ncells cells for ss on t and returns its first cell;
// the cells are not cleared.  Reaching past top is the bug "tva top error"
// (ends the session).
void** tva_push(TVA* t, set_spec* ss, int32_t ncells);
// Pops t's current frame: its words become free and the context current at
// its push is current again.
void tva_pop(TVA* t);

// Start-up and `reset`: the contexts and their sizing are forgotten (their
// blocks went with the pools).
void tva_reset();

}  // namespace vexo

#endif  // VEXO_COMPILER_TVA_H
