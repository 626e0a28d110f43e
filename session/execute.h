// Command dispatch.  Every complete top-level command goes to execute,
// which runs it by its kind; a compound command (for, repeat, if, braces)
// runs when its outermost level closes.  The dispatcher carries out `exit`
// with a constant value, hands option (28), reset options (77) and environ
// (51, 54) to their handlers (session/optcmd.h, session/environs.h) and
// reports every other command as not implemented, as an error of the
// command.
#ifndef VEXO_SESSION_EXECUTE_H
#define VEXO_SESSION_EXECUTE_H

namespace vexo {

struct cmd_place;
struct expr;
struct Optioncmd;
struct redirect;
struct set_spec;
struct symbol;

// The fields of a command that its handler takes, as the builder received
// them (until commands are kept as whole records): its indexing, its
// expressions and symbols in the order of the format letters, its option
// items and its redirection.
struct cmd_args {
  set_spec* ix;
  expr* e[4];
  symbol* b[4];
  Optioncmd* items;
  redirect* r;
};

// Command kinds run by execute: 26 to 90.
constexpr int CMD_KIND_MIN = 26;
constexpr int CMD_KIND_MAX = 90;
// The command names by kind (cmdname[kind - CMD_KIND_MIN]): they name the
// command in error positions (cmdwhere) and its output block in block
// mode.
extern const char* const cmdname[CMD_KIND_MAX - CMD_KIND_MIN + 1];

// Runs the top-level command of the kind whose statement began at where
// (its file null for standard input) with its fields (null for a compound
// command).  _cmdno counts each command, which is the running command
// (curcmd, cmdnum) while it runs, so that messages show its place
// (cmdwhere).  `exit` with a numeric constant (its first expression) ends
// the session with that value truncated (0: the return code), through
// myexit; the option and environ commands run their handlers; every other
// command is not_implemented.  Can raise an error.
void execute(int kind, const cmd_place& where, const cmd_args* args);
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
