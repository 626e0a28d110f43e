// Set and param statements of data mode: the body of one `set` statement
// (members of a set, or of one member set of an indexed set) or of one
// `param` (or `var`) statement (values of a param, or initial values,
// initial duals and suffix values of variables, constraints, objectives
// and problems).  Both read plain lists, templates ("(a,*)" for sets,
// "[a,*]" for params), "(tr)" and ":" tables, with the default symbol
// standing for no value.  Errors are reported through Squawk and the rest
// of the statement is skipped; what the statement added before stays.
#ifndef VEXO_DATA_SPDATA_H
#define VEXO_DATA_SPDATA_H

namespace vexo {

// Reads one statement after its keyword, from its first token t: a set
// statement (param 0) or a param statement (param 1), up to and including
// its ";".
void do_sp(int t, int param);

}  // namespace vexo

#endif  // VEXO_DATA_SPDATA_H
