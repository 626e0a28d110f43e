// The data printer: the current data of the model's parameters and sets
// written as data statements (the batch path's data listing, snapshots).
// Each parameter and set keeps the number of its members already printed,
// so that a later print writes only the members added since.
//
// What is printed is what the declarations store: the members of scalar
// sets and the values of scalar parameters.  The members of indexed sets and
// the values of indexed parameters live in the evaluator's value sets and
// are not written yet.
#ifndef VEXO_REPORT_DATAPRINT_H
#define VEXO_REPORT_DATAPRINT_H

namespace vexo {

struct param;
struct setdcl;

// The data of all parameters and sets in declaration order: mode 1 as a
// data section ("data", the data, "end"); another positive mode after the
// comment line "#Generated data...."; mode 0 the declarations themselves; a
// negative mode writes nothing and marks the current members as printed.
void print_data(int mode);
// The data of one parameter or set, in the modes of print_data.
void print_par(param* p, int mode);
void print_setdcl(setdcl* d, int mode);
// Start-up and `reset`: no member counted as printed.
void dataprint_reset();

}  // namespace vexo

#endif  // VEXO_REPORT_DATAPRINT_H
