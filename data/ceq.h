// The column statement of data mode: `param` [`default` value] ":"
// [set ":"] columns ":=" rows ";".  One table gives values for several
// params (or initial values, initial duals and suffix values of several
// variables, constraints, objectives and problems, named with a dot) and,
// when a set is named, the members of that set, one per row.  There is no
// limit on the number of columns.
#ifndef VEXO_DATA_CEQ_H
#define VEXO_DATA_CEQ_H

namespace vexo {

// Reads one column statement from its first token after `param` (":" or
// the word "default") up to and including its ";".  Errors are reported
// through Squawk and the rest of the statement is skipped; the values read
// before stay.
void do_ceq(int t);

}  // namespace vexo

#endif  // VEXO_DATA_CEQ_H
