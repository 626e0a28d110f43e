// The auxiliary files beside the problem file, chosen by the letters of
// option auxfiles and named from the stub with a three-letter extension:
// names of rows ("row", r) and columns ("col", c or d), rows presolve
// removed ("slc", s), unused columns ("unv", u), columns presolve fixed or
// eliminated ("fix", f; v lets fixed columns alone call for it), objective
// constants ("adj", a), the option environment ("env", e) and the solver
// settings file ("spc", p).  An upper-case letter counts only for a
// problem with nonlinear, binary or integer variables.
#ifndef VEXO_SOLVER_AUXFILES_H
#define VEXO_SOLVER_AUXFILES_H

namespace vexo {

struct AC;

// Whether auxfiles selects the file of lower-case letter c for ac.
bool aux_wanted(const AC* ac, char c);
// Writes the selected files that come before the problem file (env, row,
// slc, col, unv, fix, adj) for the stub; a selected file with nothing to
// list is not made and an old one of its name is removed.  lens gets the
// longest row and column names written (0 for a file not written), which
// the nl header's line 9 reports.  "File %s\n" for each file made when
// show_files has bit value 2.  A file that cannot be opened abandons the
// command ("can't open %s"); the files made before it stay.
void aux_before(AC* ac, const char* stub, int lens[2]);
// The solver settings file stub.spc after an MPS or nl file, when letter
// p is selected and the problem has variables; else an old one is
// removed.  A nonlinear problem's file gives its nonlinear counts.
void aux_spc(AC* ac, const char* stub);

}  // namespace vexo

#endif  // VEXO_SOLVER_AUXFILES_H
