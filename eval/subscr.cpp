// Subscript validation and the texts of evaluation errors.
#include "eval/subscr.h"

#include "support/block.h"

namespace vexo {

void mgwhere(TVA*) {
  if (blockmode) errorstart("error_error");
}

}  // namespace vexo
