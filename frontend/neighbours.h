// The session's state that the front end's reader, raw token reader and
// parser read and write: the session mode, the prompts, the logging
// options, the input-file stack's counters, end-of-input control and the
// command state.  The session's services that the front end calls are
// plain functions in the session's headers (session/located.h,
// session/include.h, session/infiles.h, session/loop.h).
#ifndef VEXO_FRONTEND_NEIGHBOURS_H
#define VEXO_FRONTEND_NEIGHBOURS_H

#include <csignal>

namespace vexo {

// Set when the session runs at a terminal, in block mode, or when the
// command line forces it.
extern int interactive;

// The six prompt texts (options prompt1, prompt2, dataprompt1, dataprompt2,
// cmdprompt1, cmdprompt2; empty until the option table sets them) and the
// include-level prefix (option insertprompt, "<%d>").
extern const char* prompt0[6];
extern const char* insprompt;

// Options log_model and log_data: log input read from files too (model and
// commands, or data).  log_what points at one of them; log_file_flush
// makes every logged line be flushed.
extern int log_model;
extern int log_data;
extern int* log_what;
extern int log_file_flush;

// The input-file stack.  inslev: nesting of the `commands` and `data`
// files being read by a command; nfs: saved inputs on the stack (session/
// include.h); ins_nfs: nfs when the innermost of those files was opened;
// ins_eof: that file has ended; at_eof: how often the end of all input was
// met (-1: met inside an insertion); infile_changed: set on every change
// of source; infile_number/ninfile_number: serial number of the current
// source and the last one given out; eofmsg: message to print at the end
// of input.
extern int inslev;
extern int nfs;
extern int ins_nfs;
extern int ins_eof;
extern int at_eof;
extern int infile_changed;
extern int infile_number;
extern int ninfile_number;
extern const char* eofmsg;
// Argument cursor: the command-line argument last taken as an input.
extern char** xargv;

// End-of-input control.  endjump: the data reader holds its recovery point
// (next0 then throws data_end); parse_time: 0 before parsing, 1 while model
// and commands are read, 2 while data are read.
extern int endjump;
extern int parse_time;

// Session and command state read by the reader and the message printer.
extern int cmdstate;      // a compound command is being built
extern int cmdnum;        // kind of the command executing, 0 when none
extern int single_step;   // positive while single-stepping
extern int warnings;      // messages counted since the last abort
extern int warn0;         // the part of warnings that were plain warnings
                          // (warninc(0) and cautions)
extern int warn_exit;     // 1: the error limit ends the program
extern int stdin_offset;  // option: locate standard input like files
extern int adjusted;      // a line directive renumbered the input
extern volatile std::sig_atomic_t gotbreak;  // an interrupt is pending

// Display flags (of the display command): pr_cmd is set while a display
// item is processed; pr_badnames marks that a bad name was reported.
extern int pr_cmd;
extern int pr_badnames;

}  // namespace vexo

#endif  // VEXO_FRONTEND_NEIGHBOURS_H
