// Status tables of symbolic suffixes.
#include "instance/suftab.h"

#include "support/format.h"
#include "support/text.h"

namespace vexo {

cstr* cs_sufvalue(double x, const dsuffix*) {
  char buf[64];
  Snprintf(buf, sizeof buf, "%.g", x);
  return new_cstring(buf);
}

}  // namespace vexo
