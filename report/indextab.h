// The index table and the binding of index dummies.  For each scope level
// of the indexing expressions being compiled, evaluated or printed, the
// table holds the indexing entry (Index) that binds the dummies of that
// level, and the number of dummies bound by all outer levels; the printer
// names an index dummy (level, offset) from it.  The indexing printer
// registers each entry as it writes it; ss_setup registers the entries of
// an indexing before the compiler opens its levels.  Two banks allow one
// nested outermost scope: a new outermost indexing (its first entry at
// level 1) is registered in the other bank, so the names of the scope it
// interrupts survive.
#ifndef VEXO_REPORT_INDEXTAB_H
#define VEXO_REPORT_INDEXTAB_H

#include <cstdint>

namespace vexo {

struct Index;
struct set_spec;
struct xnode;

constexpr int IND_LEVELS = 32;  // scope levels 0..31

// The two banks, the current one (k_Ind), and pointers into it: Ind[L] is
// the entry registered at level L (null when none), firstdummy[L] the
// number of dummies bound by the levels below L.
extern Index* Ind0[2][IND_LEVELS];
extern int32_t firstdummy0[2][IND_LEVELS + 1];
extern int k_Ind;
extern Index** Ind;
extern int32_t* firstdummy;

// Stores the entry at its level in the current bank and sets the dummy
// count of the next level: the count of its own level plus the arity of the
// entry's set (its number of dummies when it has no set).  An entry outside
// the levels 1..31 is not stored.
void ind_enter(Index* e);
// Makes bank k (0 or 1) current.
void ind_bank(int k);
// The indexing printer borrows levels of the current bank for one
// statement: ind_hold saves the bank before the statement's first entry is
// stored (later calls do nothing), ind_release puts it back when the
// statement ends, so that no entry outlives the text that named it and the
// registrations of an evaluation under way come back.
void ind_hold();
void ind_release();

// Registers the entries of ss (a new outermost scope flips to the other
// bank first), then opens its levels for compilation (ss_start) with the
// owning declaration d (or null); the dependence mask that ss_start
// accumulates starts from 0.  Can raise the context stack's internal
// errors.
void ss_setup(set_spec* ss, xnode* d);
// Closes the levels (ss_end) and gives the bank back.
void ss_teardown(set_spec* ss);
// Registration and release alone (table declarations and the table engine).
void ss_setup0(set_spec* ss);
void ss_teardown0(set_spec* ss);

// Start-up and `reset`: both banks empty, bank 0 current, nothing held.
void indextab_reset();

}  // namespace vexo

#endif  // VEXO_REPORT_INDEXTAB_H
