// Command dispatch.  Every complete top-level command goes to execute,
// which runs it by its kind; a compound command (for, repeat, if, braces)
// runs when its outermost level closes.  No command has its handler yet:
// the least dispatcher carries out `exit` with a constant value and reports
// every other command as not implemented, as an error of the command.
#ifndef VEXO_SESSION_EXECUTE_H
#define VEXO_SESSION_EXECUTE_H

namespace vexo {

struct cmd_place;
struct expr;

// Command kinds run by execute: 26 to 90.
constexpr int CMD_KIND_MIN = 26;
constexpr int CMD_KIND_MAX = 90;
// The command names by kind (cmdname[kind - CMD_KIND_MIN]): they name the
// command in error positions (cmdwhere) and its output block in block
// mode.
extern const char* const cmdname[CMD_KIND_MAX - CMD_KIND_MIN + 1];

// Runs the top-level command of the kind whose statement began at where
// (its file null for standard input); value is the expression of `exit`
// (null for the other kinds).  _cmdno counts each command.  `exit` with a
// numeric constant ends the session with that value truncated (0: the
// return code), through myexit; every other command is not_implemented
// while it is the running command (curcmd, cmdnum), so that the message
// shows the command's place (cmdwhere).
void execute(int kind, const cmd_place& where, const expr* value);
// Reports "<name> is not implemented yet" as an error of the statement
// (squawk: at the running command's place, else at the input position)
// and abandons it (bailout): a session that reads a file ends with rc | 2,
// an interactive one goes on.
[[noreturn]] void not_implemented(const char* name);

// The commands diff, version and what, and help: "%s not yet implemented"
// as a warning.
void notyet(const char* what);
void help();

}  // namespace vexo

#endif  // VEXO_SESSION_EXECUTE_H
