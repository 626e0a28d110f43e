// The random-number generators and the built-in random functions.
#ifndef VEXO_EVAL_RANDOM_H
#define VEXO_EVAL_RANDOM_H

namespace vexo {

// The -vr listing of the built-in random functions.  The least form:
// nothing, none is built in yet.
void show_rand();

}  // namespace vexo

#endif  // VEXO_EVAL_RANDOM_H
