// The random-number generators and the built-in random functions.
#include "eval/random.h"

namespace vexo {

void show_rand() {}

}  // namespace vexo
