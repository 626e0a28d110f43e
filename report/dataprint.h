// The data printer: the current data of the model's parameters and sets
// written as data statements (the batch path's data listing, snapshots).
// Each parameter and set keeps the number of its members already printed,
// so that a later print writes only the members added since.
//
// What is printed is what the declarations store as data: the members of
// sets and the values of parameters (values computed from a default or by
// a defining expression are left out).
#ifndef VEXO_REPORT_DATAPRINT_H
#define VEXO_REPORT_DATAPRINT_H

#include <string>

namespace vexo {

struct param;
struct setdcl;
struct symbol;
struct xnode;

// The data of all parameters and sets in declaration order: mode 1 as a
// data section ("data", the data, "end"); another positive mode after the
// comment line "#Generated data...."; mode 0 the declarations themselves; a
// negative mode writes nothing and marks the current members as printed.
void print_data(int mode);
// The data of one parameter or set, in the modes of print_data.
void print_par(param* p, int mode);
void print_setdcl(setdcl* d, int mode);
// The same for any declaration d: nothing unless it is a param or set.
void print_data1(xnode* d, int mode);
// "[a,b]": the subscript of a member as data write it, symbolic
// components quoted.
std::string data_subscript(int arity, symbol* const* tuple);
// Start-up and `reset`: no member counted as printed.
void dataprint_reset();

}  // namespace vexo

#endif  // VEXO_REPORT_DATAPRINT_H
