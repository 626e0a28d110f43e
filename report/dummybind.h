// The index table that lets the printers name index dummies: while an
// indexing expression is compiled, evaluated or printed, each of its Index
// entries is registered at its level, with the number of dummies bound by
// all outer levels.  Two banks allow one nested outermost scope (an
// indexing printed or evaluated while another outermost one is registered)
// without losing the outer names.
#ifndef VEXO_REPORT_DUMMYBIND_H
#define VEXO_REPORT_DUMMYBIND_H

#include <cstdint>

namespace vexo {

struct Index;
struct set_spec;
struct xnode;

extern Index* Ind0[2][32];
extern int32_t firstdummy0[2][33];
extern int k_Ind;             // the current bank
extern Index** Ind;           // Ind0[k_Ind]: the entry bound at each level
extern int32_t* firstdummy;   // firstdummy0[k_Ind]: dummies of outer levels

// Registers the entries of ss and opens its levels for compilation
// (ss_start) with the owning declaration d (or null); the dependence mask
// that ss_start accumulates starts from 0.  Can raise the context stack's
// internal errors.
void ss_setup(set_spec* ss, xnode* d);
// Closes the levels (ss_end) and gives the bank back.
void ss_teardown(set_spec* ss);
// Registration and release alone (table declarations and the table engine).
void ss_setup0(set_spec* ss);
void ss_teardown0(set_spec* ss);

// Start-up: both banks empty, bank 0 current.
void dummybind_init();

}  // namespace vexo

#endif  // VEXO_REPORT_DUMMYBIND_H
