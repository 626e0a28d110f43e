// Located messages.  Every message of the translator goes through squawk,
// which prints where the error was found (the input file, line and offset
// with a context line while input is read; the command's location while a
// command executes; three lines in block "error_error" in block mode) and
// counts it against the error limit.  Here too: the rule for return-code
// bits (set_rc_bit), the warning counter of messages that callers printed
// themselves (warninc), the decision whether an aborted command ends the
// session (bail_quit), and the small reporters missing, cantserve and
// badfname.
#ifndef VEXO_SESSION_LOCATED_H
#define VEXO_SESSION_LOCATED_H

namespace vexo {

// Seconds of the -x limit (0: none); read by bail_quit's message.
extern double xoption;

// Writes a message with its location to Stderr: the input file, line and
// offset with a context line around the current token while input is read,
// "\n" alone for standard input, the three lines "file", "line", "offset"
// inside block "error_error" in block mode; the command's location while a
// command executes.  ORs 2 into rc (not for errors typed at an interactive
// terminal) and counts the message against the error limit eexit, which
// may end the program or abort the command.
void squawk(const char* msg);
// The place being read as squawk shows it, without the message: for an
// error of an evaluation made while a statement is read.
void readwhere();
// squawk with "missing %c".
void missing(int c);
// ORs bit into rc unless errors typed at an interactive terminal are to
// leave rc alone (interactive, input from standard input, no exit on the
// error limit); bits above 8 are ORed in even then.
void set_rc_bit(int bit);
// Counts a message that has been printed against the error limit eexit:
// set_rc_bit(bit) and errorend(); then, unless single-stepping, one more
// of warnings (and of warn0 for bit 0).  At the limit it prints "Bailing
// out after %d warnings.", ends the program with rc | 2 when warn_exit,
// else zeroes warnings (warn0 too when zero_warn0) and aborts the command.
// Returns false when single-stepping (nothing counted).
bool count_warning(int bit, bool zero_warn0);
// Counts a warning that the caller has printed: count_warning(bit, true)
// and pr_badnames cleared.
void warninc(int bit);
// Nonzero when an aborted command is to end the session: always when not
// interactive or when the error limit ends the program, otherwise when the
// bottom input (below every include) is a file.  After the -x limit it
// prints "Terminating VEXO ..." and ends the program with 3.
int bail_quit();
// Refuses what the server mode forbids: the warning "Server mode: %s%s
// prohibited." with what and name (" command" when name is null).
void cantserve(const char* what, const char* name);
// The first character of s that is not a word character, or 0.
int badfname(const char* s);

// Option warn_exit: 1 when the error limit ends the program;
// option stdin_offset: locate standard input like files.
extern int warn_exit;
extern int stdin_offset;

// Option cells warn_exit and stdin_offset and the -x limit of a new
// session.  Kept by `reset` (options and the command line stay).
void located_start();
}  // namespace vexo

#endif  // VEXO_SESSION_LOCATED_H
