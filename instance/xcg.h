// Keeping the instance current.  Before a command evaluates anything that
// generation provides (the values of params defined by `:=`, the members of
// defined sets, checked data, generated variables and constraints), it
// calls xcg, which brings the declarations it needs up to date.
#ifndef VEXO_INSTANCE_XCG_H
#define VEXO_INSTANCE_XCG_H

namespace vexo {

struct AC;
struct xnode;

// Brings up to date the declarations the running command cites (those its
// statement referred to, held in the declaration table's accumulator dac,
// frontend/decl.h, when xcg is called) and, with flags bit 1 (collection)
// or while the command asked for the problem (req_collect, session/loop.h),
// every variable, constraint and objective of the model; with them every
// declaration they depend on, directly or not.  Changes are followed to
// their dependents: a cited declaration generated before one of its inputs
// changed is out of date, its compiled form is reset, and the pending
// compilations run (compile, compiler/compdecl.h) before genmod
// (instance/genmod.h) walks the declarations that need work in declaration
// order.  nextgenlev is raised past every change met, so that what is
// generated now is current until the next change.
//
// spare (or null): a declaration left as it is, neither generated nor its
// changed data checked, though what it depends on is brought up to date.
// let spares its target when that holds data only, so that a value which
// failed its checks can be replaced; the new value is checked at the next
// generation.
//
// With flags 0 and bit 2 of req_collect (the command reads the problem as
// collected: dot values, synonyms), the problem is collected too
// (output_time with mode 3, session/batch.h) before the command runs.
//
// Returns the collected-problem record (cur_ac), or null when an interrupt
// stopped generation, or when a cited declaration must be redeclared
// because it refers to generated or solved values (the report is made,
// redcl_warn).  Errors of generation abandon the command (bailout).  The
// accumulator dac holds the same citations afterwards, for the command's
// own compilation; the marks of the last check stay in tsr.
//
// Commands call it with flags 0 before they compile and evaluate their
// expressions, once the executor has loaded their dependency lists into
// dac: display, print, printf and let through process1 (report/print.h),
// the conditions and indexings of for, if and repeat, call, exit, sleep
// and file names (session/execute.cpp, session/cmdfiles.cpp) directly.
AC* xcg(int flags, const xnode* spare = nullptr);

// Builds ac's con_order when missing: the logical constraints first, then
// the algebraic ones, each in row order.
void alc_gen(AC* ac);

// The marks of the last check: a byte per declaration number, 1 for the
// declarations that xcg cited (null before the first); tsr_k is the
// block's size class.
extern char* tsr;
extern int tsr_k;
// Frees the marks (when the translation state goes back to 0, tc_zap).
void drop_tsr();
// Start-up and reset: no marks.
void xcg_reset();

}  // namespace vexo

#endif  // VEXO_INSTANCE_XCG_H
