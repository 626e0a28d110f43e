// Command dispatch.  Every complete top-level command goes to execute,
// which runs it by its kind; a compound command (for, repeat, if, braces)
// runs when its outermost level closes.  The least dispatcher carries out
// `exit` with a constant value, `commands` and `data` with a file (the
// nested reading of commands_or_data), `close` and `remove`, and reports
// every other command as not implemented, as an error of the command.
#ifndef VEXO_SESSION_EXECUTE_H
#define VEXO_SESSION_EXECUTE_H

namespace vexo {

struct cmd_place;
struct expr;
struct redirect;

// Command kinds run by execute: 26 to 90.
constexpr int CMD_KIND_MIN = 26;
constexpr int CMD_KIND_MAX = 90;
// The command names by kind (cmdname[kind - CMD_KIND_MIN]): they name the
// command in error positions (cmdwhere) and its output block in block
// mode.
extern const char* const cmdname[CMD_KIND_MAX - CMD_KIND_MIN + 1];

// Runs the top-level command of the kind whose statement began at where
// (its file null for standard input); value is the command's first
// expression (or chain of them) and r its redirection, when it has them.
// _cmdno counts each command.  `exit` with a numeric constant ends the
// session with that value truncated (0: the return code), through myexit.
// The other commands run while they are the running command (curcmd,
// cmdnum), so that a message shows the command's place (cmdwhere):
// `commands` and `data` (commands_or_data), `close` and `remove` (their
// handlers, session/cmdfiles.h); the rest are not_implemented.
void execute(int kind, const cmd_place& where, const expr* value,
             redirect* r = nullptr);
// The commands of file (mode 1, `commands`, with r its redirection or
// null) or its data (mode 0, `data`), read and executed as at top level
// before the command after it: the file is included (session/include.h)
// and read by a nested parse, or by the data reader, with the insertion
// level inslev one higher.  An error inside it abandons the file with the
// command.  With r, stdOut is the file of r while the commands run.  With
// no file, data mode reads the current input (`data;` inside such a file).
void commands_or_data(const expr* file, redirect* r, int mode);
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
