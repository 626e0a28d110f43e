// Command dispatch.  Every complete top-level command goes to execute,
// which runs it by its kind; a compound command (for, repeat, if, braces)
// runs when its outermost level closes.  The least dispatcher carries out
// `exit` with a constant value and hands the commands whose handlers exist
// to them (the table at execute); it reports every other command as not
// implemented, as an error of the command.
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
// expressions (a chain of names, format letter r, counts as one) and
// symbols in the order of the format letters, its option items and its
// redirection.
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
// myexit.  The kinds with handlers, and the fields each takes:
//   option (28)         items, r        option_cmd (session/optcmd.h)
//   option_reset (77)   -               option_reset
//   environ (51)        ix, b[0], e[0], b[1], e[1]
//                                       environ_cmd (session/environs.h)
//   environ (54)        r               cur_environ
//   commands (47)       e[0] the file, r
//                                       commands_or_data, mode 1
//   data (48)           e[0] the file or null
//                                       commands_or_data, mode 0
//   close (26)          e[0] the chain of names or null
//                                       close_cmde (session/cmdfiles.h)
//   remove (64)         e[0] the chain of names
//                                       remove_cmd
// Every other command is not_implemented.  Can raise an error.
void execute(int kind, const cmd_place& where, const cmd_args* args);
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
