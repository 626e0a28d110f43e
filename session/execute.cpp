// Command dispatch: the least dispatcher.
#include "session/execute.h"

#include <cmath>
#include <cstdint>

#include "frontend/cmdbuild.h"
#include "frontend/expr.h"
#include "frontend/neighbours.h"
#include "session/environs.h"
#include "session/loop.h"
#include "session/optcmd.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "support/message.h"

namespace vexo {

const char* const cmdname[CMD_KIND_MAX - CMD_KIND_MIN + 1] = {
    "close",
    "objective",
    "option",
    "shell",
    "show",
    "solution",
    "solve",
    "write",
    "display",
    "drop",
    "restore",
    "fix",
    "unfix",
    "for",
    "let",
    "print",
    "printf",
    "read",
    "repeat",
    "reset_problem",
    "expand",
    "commands",
    "data",
    "drop_or_restore_all",
    "objective_show",
    "environ",
    "call",
    "cd",
    "environ",
    "problem",
    "problem",
    "xref",
    "if",
    "read_table",
    "write_table",
    "load",
    "reload",
    "unload",
    "remove",
    "sleep",
    "exit",
    "then",
    "else_check",
    "else",
    "endif",
    "rbrace",
    "repeat_end",
    "break",
    "continue",
    "loopend",
    "semicolon",
    "option_reset",
    "breakpoint",
    "reset data",
    "update data",
    "{...}",
    "delete",
    "purge",
    "break_all",
    "break_commands",
    "check",
    "reset_function",
    "reset_suffix",
    "reset_check",
    "snapshot"};

void execute(int kind, const cmd_place& where, const cmd_args* args) {
  if (kind < CMD_KIND_MIN || kind > CMD_KIND_MAX)
    bug("Bad ncmd = %d in execute()", kind);
  double* n = sysparam_cell(Cmdno);
  if (n) *n += 1;
  const expr* value = args ? args->e[0] : nullptr;
  if (kind == CK_EXIT && value && opcode(value) == OPNUM &&
      std::isfinite(value->L.d)) {
    // Truncated; a value beyond an int keeps its low bits, as the exit
    // status does.
    double v = std::trunc(value->L.d);
    myexit(static_cast<int>(static_cast<int64_t>(std::fmod(v, 4294967296.0))));
  }
  cmdplace = where;
  cmdplace.name = cmdname[kind - CMD_KIND_MIN];
  cmdplace.cmdno = n ? *n : 0;
  curcmd = &cmdplace;
  cmdnum = kind;
  switch (args ? kind : 0) {
    case CK_OPTION:
      option_cmd(args->items, args->r);
      break;
    case CK_OPTION_RESET:
      option_reset();
      break;
    case CK_ENVIRON_SET:
      environ_cmd(args->ix, args->b[0], args->e[0], args->b[1], args->e[1]);
      break;
    case CK_ENVIRON:
      cur_environ(args->r);
      break;
    default:
      not_implemented(cmdplace.name);
  }
  cmd_done();
}

void not_implemented(const char* name) {
  error(0, "%s is not implemented yet", name);
  bailout();
}

void notyet(const char* what) { error(0, "%s not yet implemented", what); }

void help() { notyet("help"); }

}  // namespace vexo
