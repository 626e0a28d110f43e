// Subscript validation and the texts of evaluation errors.
#ifndef VEXO_EVAL_SUBSCR_H
#define VEXO_EVAL_SUBSCR_H

namespace vexo {

struct TVA;

// Writes the location of a failing evaluation to Stderr (in block mode
// inside block "error_error").  The least form: only the block; the
// command, entity and subscript come with the evaluator.
void mgwhere(TVA* tva);

}  // namespace vexo

#endif  // VEXO_EVAL_SUBSCR_H
