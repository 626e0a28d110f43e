// Command dispatch: the least dispatcher.
#include "session/execute.h"

#include <cmath>
#include <cstdint>

#include "data/readdata.h"
#include "eval/dispatch.h"
#include "frontend/cmdbuild.h"
#include "frontend/expr.h"
#include "frontend/neighbours.h"
#include "frontend/parse.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "session/cmdfiles.h"
#include "session/environs.h"
#include "session/include.h"
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
    case CK_COMMANDS:
      commands_or_data(args->e[0], args->r, 1);
      break;
    case CK_DATA:
      commands_or_data(args->e[0], nullptr, 0);
      break;
    case CK_CLOSE:
      close_cmde(args->e[0], nullptr);
      break;
    case CK_REMOVE:
      remove_cmd(args->e[0], nullptr);
      break;
    default:
      not_implemented(cmdplace.name);
  }
  cmd_done();
}

// ---------------------------------------------------------------------------
// Command files

namespace {

// What a nested reading changes of the level it interrupts.
struct insertion_state {
  int inslev, ins_nfs, ins_eof, at_eof, cmd_start, prompt2, parse_time;
  int cmdnum;
  void* curcmd;
  cmd_place place;
  FILE* stdOut;
  int stdOut_idf;

  void save() {
    inslev = vexo::inslev;
    ins_nfs = vexo::ins_nfs;
    ins_eof = vexo::ins_eof;
    at_eof = vexo::at_eof;
    cmd_start = vexo::cmd_start;
    prompt2 = vexo::prompt2;
    parse_time = vexo::parse_time;
    cmdnum = vexo::cmdnum;
    curcmd = vexo::curcmd;
    place = cmdplace;
    stdOut = vexo::stdOut;
    stdOut_idf = vexo::stdOut_idf;
  }
  // The running command's fields: on the normal path only (the abort
  // path forgets the command).
  void restore_command() const {
    vexo::cmdnum = cmdnum;
    vexo::curcmd = curcmd;
    cmdplace = place;
  }
  void restore() const {
    vexo::inslev = inslev;
    vexo::ins_nfs = ins_nfs;
    vexo::ins_eof = ins_eof;
    vexo::at_eof = at_eof;
    vexo::cmd_start = cmd_start;
    vexo::prompt2 = prompt2;
    vexo::parse_time = parse_time;
    vexo::stdOut = stdOut;
    vexo::stdOut_idf = stdOut_idf;
    df = vexo::stdOut;
  }
};

// Parses the inserted file's statements; the commands run as they are
// complete.  Returns at the end of the file; quit ends the session.
void read_commands(const char* fname) {
  cmd_start = in_cmds;
  int r = yyparse();
  if (r == YYP_QUIT) myexit(rc);
  if (cmdstate) {
    // A compound command is left open at the end of the file.
    int k = open_compound_kind();
    if (k < CMD_KIND_MIN || k > CMD_KIND_MAX) k = CK_BRACES;
    error(0, "end of \"%s\" with incomplete \"%s\" command.", fname,
          cmdname[k - CMD_KIND_MIN]);
    cmd_reset2();
  }
}

}  // namespace

void commands_or_data(const expr* file, redirect* r, int mode) {
  if (!file) {
    // `data;` inside a file read by `commands`: data mode on that file.
    if (mode == 0) read_data();
    return;
  }
  held_cstr name(rdfname(file, nullptr));
  insertion_state saved;
  saved.save();
  int level = nfs;
  try {
    if (r) {
      dispfile(r, nullptr);
      stdOut = df;
      stdOut_idf = r->find;
    }
    include(name.text(), 0, 0);
    ++inslev;
    ins_nfs = nfs;
    ins_eof = 0;
    curcmd = nullptr;
    cmdnum = 0;
    prompt2 = 0;
    if (mode == 1) {
      read_commands(name.text());
    } else {
      read_data();
    }
  } catch (...) {
    saved.restore();
    throw;
  }
  // The file is over (or a command left it): its levels end.
  while (nfs > level) end_include(2);
  saved.restore();
  saved.restore_command();
}

void not_implemented(const char* name) {
  error(0, "%s is not implemented yet", name);
  bailout();
}

void notyet(const char* what) { error(0, "%s not yet implemented", what); }

void help() { notyet("help"); }

}  // namespace vexo
