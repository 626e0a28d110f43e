// The session's side of located messages.  squawk itself (the input or
// command location, the context line, the return-code bit and the error
// limit with "Bailing out after %d warnings.") and the rule for return-code
// bits (set_rc_bit) are frontend/neighbours.h's; here are the counter of
// warnings that callers printed themselves, the decision whether an aborted
// command ends the session, and the file-name check of the option
// validators.
#ifndef VEXO_SESSION_LOCATED_H
#define VEXO_SESSION_LOCATED_H

namespace vexo {

// Seconds of the -x limit (0: none); read by bail_quit's message.
extern double xoption;

// The descriptor of the bottom input (0 standard input); the input stack
// installs its own once includes exist.  Default: infile.
extern int (*bottom_infile_hook)();

// Counts a warning that the caller has printed: count_warning(bit, true)
// of frontend/neighbours.h, the error limit squawk uses too (it may end
// the program or abort the command).
void warninc(int bit);
// Nonzero when an aborted command is to end the session.  After the -x
// limit it prints "Terminating VEXO ..." and ends the program with 3.
int bail_quit();
// cantserve ("Server mode: %s%s prohibited.") is support/filename.h's.
// The first character of s that is not a word character, or 0.
int badfname(const char* s);
// Installs squawk, bail_quit, cmd_cleanup and cmdwhere as the message
// core's hooks.
void located_init();

}  // namespace vexo

#endif  // VEXO_SESSION_LOCATED_H
