// Presolve's messages: presolve never prints while it works.  Its reports
// go to one growing buffer, printed once at the end of the run (or when an
// error or the warning limit cuts it short) on the error stream, in block
// "error_presolve" in block mode, and kept as the value of the built-in
// param _presolve_messages.  Also the clean-up routine of a run
// (pstempzap) and the summary that option show_stats asks for.
#ifndef VEXO_PRESOLVE_PSMSG_H
#define VEXO_PRESOLVE_PSMSG_H

#include <cstddef>

namespace vexo {

struct Presolve;
struct cstr;

// The pending buffer: a counted-string block whose count word holds the
// bytes written while it is pending; null when nothing is pending.
extern cstr* ps_warnings;

// Appends the formatted text to the buffer (made on first use, 8184 bytes
// of text; moved whole to a larger block when full); returns its length.
int ps_warning(const char* fmt, ...);
// Hands the pending buffer over as the value of _presolve_messages (the
// old value released) and, when option show_presolve_messages is nonzero,
// prints it on the error stream (block "error_presolve" in block mode,
// the previous block reopened after it).  Nothing when none is pending.
void dump_ps_warnings();
// Frees a buffer left pending by an earlier run, unprinted.
void ps_warnings_drop();
// The clean-up routine of one run, its argument the run's scratch record
// (ps_scratch, presolve/presolve.h): prints and keeps the pending
// messages, or makes _presolve_messages empty when there are none; closes
// the presolve log unless it is standard output; frees every block the
// scratch holds, then the scratch.
void pstempzap(void* scratch);
// A report under the message limit: when warnings < warnmax the text is
// appended and counted (warninc(1), which may end the command at the
// translator's warning limit); otherwise only complained grows.  Returns
// whether the text was appended.
bool ps_report(const char* fmt, ...);
// Counts a buffered message as a warning (warninc with bit).  No error
// block was opened for it, so in block mode the current block stays.  May
// abandon the command at the warning limit.
void ps_warninc(int bit);
// The presolve summary (option show_stats above 2) into the buffer.
void ps_summary(const Presolve* P);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_PSMSG_H
