// The random-number generators and the built-in random functions.
#include "eval/random.h"

namespace vexo {

uint32_t randseed_ZEF;
int rand_start_ZEF;
int rand_iter_ZEF;
uint32_t last_reseed;

void show_rand() {}

void restart_random() {
  rand_start_ZEF = 1;
  rand_iter_ZEF = 0;
}

void Reset_randseeds(uint32_t seed) { last_reseed = seed; }

}  // namespace vexo
