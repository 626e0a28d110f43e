// The statistics of the collected problem after presolve (option
// show_stats): what presolve, substitution and linearisation removed or
// added, then the variables, constraints and objectives sent, by kind.
#ifndef VEXO_INSTANCE_STATS_H
#define VEXO_INSTANCE_STATS_H

namespace vexo {

struct AC;

// Prints the statistics of ac on the display stream df and flushes it;
// nothing for a problem without constraints and objectives (or no
// problem).  Called at the end of presolve while show_stats is nonzero,
// and when show_stats is set after a problem was sent.
void statshow(AC* ac);
// The hint that a presolve tolerance `name` (presolve_<name>) outside
// (low, high) could change presolve's results; high counts as 0 when it
// exceeds max, and nothing is printed when both are 0.  Lines are broken
// at option display_width.
void epsprint(double low, double high, double max, const char* name);

}  // namespace vexo

#endif  // VEXO_INSTANCE_STATS_H
