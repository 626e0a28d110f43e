// The snapshot command and its printers: the session written as commands
// that rebuild it when read back by a fresh session, in sections between
// "###<name>-start" and "###<name>-end" lines: the model's declarations,
// the options and environments, the current problem and environment, the
// data (and values of variables, constraints and objectives), the
// objective in force, the fixed variables, the dropped constraints and,
// after a solve, the solver's solution message and result.
#ifndef VEXO_REPORT_SNAPSHOT_H
#define VEXO_REPORT_SNAPSHOT_H

#include <cstdio>
#include <vector>

namespace vexo {

struct redirect;
struct var;
struct xnode;
struct xrecomp;
struct convar;

// The command (kind 90): bits 0 for every section, else 1 model, 2 data,
// 4 options and environments, 8 solution.  The solution section is left
// out while nothing has been solved (solve_message empty).
void snapshot_cmd(int bits, redirect* r, xrecomp* xr);
// The model section: the declarations ds (in order), problems last;
// returns the number of problems.
int print_model_snapshot(const std::vector<xnode*>& ds);
// The data section's statements: the data of the params and sets of ds,
// and with values the current values of their variables, constraints and
// objectives (let statements).
void print_data_for_xnode_snapshot(const std::vector<xnode*>& ds, int mode,
                                   bool values);
// The let statements of d's values that differ from its initial ones.
void print_convar_let(convar* d);
// The solution section on f: solve_message, and solve_result unless it
// begins with "?".
void print_solver_solution_snapshot(FILE* f);
// The fix statements, with values, of v's fixed members.
void print_var_fix(var* v);

}  // namespace vexo

#endif  // VEXO_REPORT_SNAPSHOT_H
