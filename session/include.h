// Include files and the input stack.  Opening an include file pushes the
// state of the current input (at most 12 levels) and switches the line
// reader to the new file; the end of an include file pops it, and reading
// resumes exactly where the including text stopped.  The least stack of
// today: the name as given (no include path, no server-mode check), and
// line directives are not read.
#ifndef VEXO_SESSION_INCLUDE_H
#define VEXO_SESSION_INCLUDE_H

namespace vexo {

// Opens an include file and pushes the current input, so that reading
// continues in the file and, at its end, resumes in the includer at nextc.
// A negative how reports "invalid include syntax" and skips the rest of the
// line; a blank name does nothing; "-" is standard input.  With 12 levels
// open "includes nested too deeply" ends the session (rc | 4); a file that
// cannot be opened reports "Can't find  file ..." and aborts the command.
// flag is the caller's (1 the lexer, 0 the data reader and commands).
void include(const char* name, int how, int flag);
// Ends include levels: with 0 all of them (after an aborted command); with
// 1 the current one and each includer that has no text left; with 2
// exactly one.
void end_include(int mode);
// The descriptor of the bottom input (below every include level): infile
// when no include is open.
int bottom_infile();
// A "#" comment in ibuf that may be a line directive.  The least form: the
// directives are not read; every comment is ordinary.
void incl_check();

}  // namespace vexo

#endif  // VEXO_SESSION_INCLUDE_H
