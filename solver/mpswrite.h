// The MPS problem file (outopt letters "m" and "n"): a linear or
// mixed-integer linear problem in fixed MPS form, its rows and columns
// those of the nl file in the same writer order.
#ifndef VEXO_SOLVER_MPSWRITE_H
#define VEXO_SOLVER_MPSWRITE_H

namespace vexo {

struct AC;

// The most rows or columns a fixed MPS field of seven digits numbers.
constexpr int MPS_MAX_INDEX = 9999999;

// Writes ac as MPS text: "m" with a stub to the file stub.mps, "m" without
// a stub and "n" to standard output; an nl file of the same stub is
// removed.  The auxiliary files of a stub come before the text, the
// settings file after it (solver/auxfiles.h).  The caller (output) has refused problems with nonlinear
// variables.  A problem with more rows or columns than MPS_MAX_INDEX, and
// a file that cannot be opened or written, are reported and the command
// abandoned (bailout).  Integer columns with an infinite bound get a
// caution after the text.
void mps_write(AC* ac);
// The text of x in at most w characters (option mpsfile_numwidth; a
// negative value puts a blank before positive numbers; width 0: no limit)
// into out (at least 48 bytes); returns its length.
int mps_numtext(char* out, double x);

}  // namespace vexo

#endif  // VEXO_SOLVER_MPSWRITE_H
