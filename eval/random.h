// The random-number generators and the built-in random functions, and the
// state that the option randseed drives.  The least forms until the
// random functions are built: the seed cell and the restart flags they will
// read, Reset_randseeds, which only records the seed, and show_rand.
#ifndef VEXO_EVAL_RANDOM_H
#define VEXO_EVAL_RANDOM_H

#include <cstdint>

namespace vexo {

// Written outside eval/, by design: besides randseed's option handler,
// `reset` (session/batch.cpp) restarts the generators.

// The -vr listing of the built-in random functions.  The least form:
// nothing, none is built in yet.
void show_rand();

// The seed of the random generators (option randseed, written by seed_set).
extern uint32_t randseed_ZEF;
// Nonzero when the generators must rebuild their tables before the next
// draw; rand_iter_ZEF counts the draws since.  Whoever changes the seed
// sets both (1 and 0).
extern int rand_start_ZEF;
extern int rand_iter_ZEF;
// Passes a new seed to the seed callbacks of loaded libraries.  The least
// form: records the seed in last_reseed.
void Reset_randseeds(uint32_t seed);
extern uint32_t last_reseed;

}  // namespace vexo

#endif  // VEXO_EVAL_RANDOM_H
