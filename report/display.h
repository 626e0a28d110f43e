// The display command in its three forms: `display` (aligned layouts),
// `_display` and `csvdisplay` (machine-readable tables).  The items are
// classified into groups (scalars, one-dimensional, many-dimensional,
// several items side by side, sets, indexed collections of sets),
// compiled once and printed once, or once per member of the command's
// indexing, to the command's output (df).  Numbers go through the command's
// number format, align on their first "." and count widths in UTF-8
// characters; values of magnitude below display_eps show as 0.
#ifndef VEXO_REPORT_DISPLAY_H
#define VEXO_REPORT_DISPLAY_H

#include <cstdint>

namespace vexo {

struct expr;
struct redirect;
struct set_spec;
struct symbol;
struct xnode;
struct xrecomp;

// The command: mode 0 display, 1 _display, 2 csvdisplay (low two bits);
// the indexing (or null), the chain of items, the redirection (or null)
// and the command's recompilation state.  Errors found while the items
// are prepared ("No values for %s.", the csvdisplay_restrict refusal) are
// reported and suppress all output; errors of evaluation abandon the
// command.
void display_cmd(int mode, set_spec* ix, expr* items, redirect* r,
                 xrecomp* xr);

// The number of subscripts of the declared entity d shown as an item, or
// -1 when it has nothing to show: an index set without data ("No data for
// %s %s.", with "set" and the set's name, or the two texts of an invalid
// set) or no values ("No values for %s.": a symbolic variable, a problem,
// a variable, constraint or objective not generated).  The message is an
// error of kind 0, counted in *badx.  A numeric variable, whose values may
// come from a solution, counts 1 in *solver_items (when given).
int darity(xnode* d, int* badx, int* solver_items = nullptr);

// The display width of a member: a number's text length, a string's
// quoted width (%q).
int symlen(const symbol* s);

// Start-up and `reset`: the generated csvdisplay column names and the
// translation table of "$n" texts forgotten.
void disp_reinit();

}  // namespace vexo

#endif  // VEXO_REPORT_DISPLAY_H
