// The message, abort and exit core.  Every message of the translator goes
// through these functions; they pick the output block in block mode, put
// "Bug: " or "Caution: " in front and hand the text to the session's
// located printer (squawk, session/located.h), and then return, abort the
// current command (command_abort, caught at the recovery point) or end the
// session (session_exit, caught in main).
#ifndef VEXO_SUPPORT_MESSAGE_H
#define VEXO_SUPPORT_MESSAGE_H

#include <cstdio>

namespace vexo {

// Written outside support/, by design: this is the session's state that
// the message core reads when it reports and aborts.  rc, the session's
// return code, is cleared or marked by whoever ends a step of the work
// (frontend/reader.cpp at a primary prompt, report/print.cpp, the session);
// warnings and warn0 are cleared at each command's start (frontend/
// parse.cpp, eval/iterate.cpp, session/execute.cpp) and counted by the
// session's message location (session/located.cpp); bailquit, eexit and
// doing_read_cmd follow the input level and the command being read
// (session/include.cpp, infiles.cpp, cmdrec.cpp, cmdfiles.cpp,
// data/values.cpp); yy_special and in_cmds are the parser's
// (frontend/lexer.cpp, parse.cpp, rawtok.cpp, data/readdata.cpp,
// session/cmdrec.cpp); stepping is single-stepping's
// (session/execute.cpp); log_file is opened and closed by the command
// files (session/cmdfiles.cpp, startup.cpp).

struct TVA;  // evaluation context, defined by the evaluator

// Thrown by bail1out: abandon the current command.  Caught only where a
// recovery point stands (the command loop, `let`, the data reader).
struct command_abort {};

// Thrown by exit1: end the session; main catches it and returns code.
struct session_exit {
  int code;
};

// Session state read and written by the message core.  Owners: the session
// (rc, Cautions, log_file, eexit, eexit_save, stepping, bailquit, trc), the
// parser (in_cmds, yy_special), the command files (doing_read_cmd) and the
// solver commands (error_kind); they live here because this is the lowest
// level that uses them.
extern int rc;              // the session's return code
extern int Cautions;        // option Cautions: 0 silent, 1 shown, 2+ mark rc
extern FILE* log_file;      // copy of standard output and error, or null
extern int eexit;           // warning-limit counter
extern int eexit_save;      // its value restored after each abort
extern int stepping;        // nonzero while single-stepping
extern int bailquit;        // nonzero: bailout skips its clean-ups
extern int trc;             // exit code of evaluation errors ending the
                            // session; 4, 0 only during one eerror report
extern int in_cmds;         // 1 until the parser meets the first command
extern int yy_special;      // parser state; aborts leave it at 2
extern int doing_read_cmd;  // nonzero while a `read` command reads
extern const char* error_kind;  // serror's block in block mode ("misc?")

// Reports a message.  kind 0: warning, returns.  kind 1: "Bug: " + message,
// then the session ends with code 2 (never returns).  kind 2: caution,
// written with "Caution: " only while Cautions is nonzero; with Cautions 1
// it leaves rc unchanged.  A caution counts as a plain warning (warn0):
// it never stops print, display or let.  Any other kind is treated as 0.
void error(int kind, const char* fmt, ...);
// error(1, ...) for callers that need to see that it never returns.
[[noreturn]] void bug(const char* fmt, ...);

// Reports an inconsistency met while evaluating in tva; ends the session
// with trc and returns only while trc is 0.  An error that mgwhere
// swallows (quiet simplification, eval/evalerr.h) is not written and
// returns.
void terror(TVA* tva, const char* fmt, ...);
// Reports an evaluation error and aborts the current command (throws
// command_abort); before the first command it ends the session with code 4
// (throws session_exit).  An error that mgwhere swallows is not written
// and only aborts the command.
[[noreturn]] void eerror(TVA* tva, const char* fmt, ...);
// Reports a message after the location of the current command; no newline
// is added.  Returns.
void serror(const char* fmt, ...);
// Finishes a message that the caller wrote to Stderr itself.
void errorend();
// Formats into the shared scratch buffer Bf and returns it; text beyond
// Bf's size is cut off.
char* msgBf(const char* fmt, ...);

// Abandons the current command: unless bailquit is set, the open
// evaluation contexts, pending table output arguments and generation state
// are cleaned up first (bail_unwind, eval/iterate.h); then bail1out.
[[noreturn]] void bailout();
// Aborts the current command: returns to the block that was current, ends
// a `read` (read_end), abandons includes (or ends the session through
// myexit when bail_quit says so), runs the command's clean-ups
// (cmd_cleanup), has the reader inject ";;;" (yy_special 2) and throws
// command_abort.  The injection comes before what the scanner read ahead
// of the parser (abandon_rest, frontend/rawtok.h).
[[noreturn]] void bail1out();
// Ends the session with code (throws session_exit); in block mode first
// sends the "exit" block (modes 1 and 2) holding the code twice.
[[noreturn]] void exit1(int code);

// The process id.
int get_pid();

extern "C" {
// Formatted output for loaded libraries (their export table's slot): on
// Stderr the command location comes first, once per command.
int cmdwhere_fprintf(FILE* stream, const char* fmt, ...);
}

// Messages counted since the last abort, and the part of them that were
// plain warnings (warninc(0) and cautions).
extern int warnings;
extern int warn0;

// The message core of a new session: no return code, no counts, no log
// file, reading declarations (in_cmds 1).  Kept by `reset`: the session's
// return code and counts go on across it.
void message_start();
}  // namespace vexo

#endif  // VEXO_SUPPORT_MESSAGE_H
