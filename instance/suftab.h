// Status tables of symbolic suffixes: the names that the numbers of a
// symbolic suffix stand for (option $<suffix>_table).
#ifndef VEXO_INSTANCE_SUFTAB_H
#define VEXO_INSTANCE_SUFTAB_H

namespace vexo {

struct cstr;
struct dsuffix;

// The name that s's table gives x, as a new counted string.  Least form
// until the tables are read: x written with "%.g", as for a value below
// the table's first number.
cstr* cs_sufvalue(double x, const dsuffix* s);

}  // namespace vexo

#endif  // VEXO_INSTANCE_SUFTAB_H
