// Command dispatch: the executor, the handler table and the commands
// carried out here (loops, if, break, continue, exit, sleep, call).
#include "session/execute.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "compiler/compile.h"
#include "compiler/context.h"
#include "compiler/opgen.h"
#include "compiler/recomp.h"
#include "compiler/tva.h"
#include "data/outarg.h"
#include "data/readcmd.h"
#include "data/readdata.h"
#include "data/tablerw.h"
#include "eval/dispatch.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "eval/set.h"
#include "eval/setgen.h"
#include "eval/funclib.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/parse.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "instance/problem.h"
#include "instance/sufdecl.h"
#include "instance/xcg.h"
#include "report/display.h"
#include "report/expand.h"
#include "report/indextab.h"
#include "report/print.h"
#include "report/snapshot.h"
#include "session/child.h"
#include "session/batch.h"
#include "session/cmdfiles.h"
#include "session/cmdlist.h"
#include "session/cmdmem.h"
#include "session/cmdrec.h"
#include "session/environs.h"
#include "session/include.h"
#include "session/infiles.h"
#include "session/let.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/optcmd.h"
#include "session/opttable.h"
#include "session/show.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "session/xref.h"
#include "solver/solve.h"
#include "support/block.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/symbol.h"

namespace vexo {

int cmdnum;
int single_step;

const char* const cmdname[N_CMD_KINDS] = {"close",
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

double ncmds;
FILE* exec_listing;

namespace {

// How the chain being run goes on after a record: on; leave the loops up
// to and including the target; start the target loop's next pass; leave
// every loop (break all, break commands); abandon the chain (an interrupt,
// new warnings).
enum flow_kind { FLOW_ON, FLOW_BREAK, FLOW_NEXT, FLOW_END, FLOW_STOP };
flow_kind flow;
cmd_compound* flow_target;
// Warnings when the chain started.
int warn_start;
// The chain being run (its first record).
cmd_fields* chain_first;

// Single-stepping: how the dialogue before a record was resumed.  step
// runs the record and stops again before the next one (inside its body
// too); next runs it whole; skip leaves it out; cont runs on without
// stopping until the top-level command ends.  A break or continue typed
// in the dialogue acts on the running loop (step_flow, step_target).
int step_hold;  // records running whole (next)
// Restores step_hold when the record or dialogue that raised it ends.
struct step_hold_guard {
  int saved = step_hold;
  ~step_hold_guard() { step_hold = saved; }
};
bool step_cont;
flow_kind step_flow;
cmd_compound* step_target;
std::string step_text;  // the dialogue's prompt

// The dialogue before record c (defined with the command files): the
// parser's code that resumed it.
int step_dialogue(cmd_fields* c);

// A loop while it runs, innermost first.
struct loop_run {
  loop_run* prev;
  cmd_compound* o;
  int inslev;
  bool ended;
};
loop_run* running;

// Links a running loop for the extent of its handler.
struct loop_frame {
  loop_run r;
  explicit loop_frame(cmd_compound* o) : r{running, o, cmd_inslev, false} {
    running = &r;
  }
  ~loop_frame() { running = r.prev; }
  loop_frame(const loop_frame&) = delete;
  loop_frame& operator=(const loop_frame&) = delete;
};

// The compile bracket of one expression of a command: compiled in place,
// evaluated, and the compilation undone before anything else compiles.
// The context is freed however the evaluation ends (tva_hold).

bool keeps_compiled(int kind) {
  return kind >= CK_CLOSE && kind <= CK_EXIT && kind != CK_WRITE &&
         kind != CK_LOOP_FOR && kind != CK_LOOP_REPEAT && kind != CK_COMMANDS &&
         kind != CK_DATA && (kind < CK_LOAD || kind > CK_REMOVE);
}

// Brings the declarations the running command cites up to date before it
// evaluates anything (xcg).  When that fails (reported, or an interrupt
// stopped it) the chain stops.
bool current() {
  if (xcg(0)) return true;
  flow = FLOW_STOP;
  return false;
}

// The truth of the condition at *pe, compiled for record c; false when
// what it cites could not be brought up to date.
bool test(cmd_fields* c, expr** pe) {
  curcmd = c;
  cmdnum = c->kind;
  if (!current()) return false;
  compile_start();
  mri(pe, 1);
  tva_hold h{compile_end(c->xrp)};
  bool v = eval_true(*pe, h.t);
  del_tva(h.t);
  h.t = nullptr;
  cmdxreset(c->xrp, nullptr);
  return v;
}

// The number at *pe (a constant is taken as it is), compiled for c; NaN
// when what it cites could not be brought up to date.
double number(cmd_fields* c, expr** pe) {
  if (opcode(*pe) == OPNUM) return (*pe)->L.d;
  if (!current()) return NAN;
  compile_start();
  mri(pe, 1);
  tva_hold h{compile_end(c->xrp)};
  return eval_num(*pe, h.t);
}

// Before record c: the stepping dialogue when single-stepping holds here
// (entered by the option single_step_cmdno too).  Whether c runs
// (STEP_RUN), runs whole (STEP_WHOLE) or is left out (STEP_LEAVE).
enum step_result { STEP_RUN, STEP_WHOLE, STEP_LEAVE };
step_result step_point(cmd_fields* c) {
  int lev = std::max(inslev, 1);
  if (ncmds == single_step_cmdno && single_step < lev) {
    single_step = lev;
    Printf("# because _cmdno == $single_step_cmdno == %.f\n", ncmds);
  }
  if (single_step <= 0 || inslev > single_step || step_hold || step_cont)
    return STEP_RUN;
  // At the terminal the command just typed runs; the dialogue comes
  // before the records after it.
  if (infile == 0 && c == chain_first) return STEP_RUN;
  // The end of a loop body is no command of the user's: no stop there.
  if (c->kind == CK_LOOPEND) return STEP_RUN;
  switch (step_dialogue(c)) {
    case YYP_STEP:
      return STEP_RUN;
    case YYP_NEXT:
      return STEP_WHOLE;
    case YYP_SKIP:
      return STEP_LEAVE;
    case YYP_BREAK:
      flow = step_flow;
      flow_target = step_target;
      return STEP_LEAVE;
    default:
      step_cont = true;
      return STEP_RUN;
  }
}

void run_chain(cmd_fields* c);

// Runs one record.
void run_one(cmd_fields* c) {
  curcmd = c;
  signal_point();
  if (gotbreak || warnings > warn_start) {
    flow = FLOW_STOP;
    return;
  }
  run_cleanups();
  ncmds += 1;
  if (double* n = sysparam_cell(Cmdno)) *n = ncmds;
  Cmdno->stamp = nextgenlev;
  if (param* t = Time_params[T_VEXO]) t->stamp = nextgenlev;
  int kind = c->kind;
  if (kind < CMD_KIND_MIN || kind > CMD_KIND_MAX)
    bug("Bad ncmd = %d in execute()", kind);
  step_result step = step_point(c);
  if (step == STEP_LEAVE) return;
  // A record run whole (next) is not stepped inside.
  step_hold_guard held;
  if (step == STEP_WHOLE) ++step_hold;
  if (tell_times) cmdstring(c, 1);
  if (cmdtrace) cmdstring(c, 2);
  if (kind <= CK_EXIT) {
    depsetup(c->deps, c->ndep);
    if (trans_state <= 2) req_collect = c->cflags & 3;
    note_prob_use(c->cflags);
  }
  if (blockmode) blockstart(cmdname[kind - CMD_KIND_MIN]);
  cmdnum = kind;
  cmdtab[kind - CMD_KIND_MIN](c);
  curcmd = c;
  // A command run by a loop may keep its compiled form for its next run
  // (hold_compiled); anywhere else it is undone.
  if (keeps_compiled(kind) && !(running && compiled_held(c->xrp)))
    cmdxreset(c->xrp, nullptr);
  // What calls returned in output arguments is stored now that the
  // command has succeeded.
  if (outarg_pending()) {
    outarg_check(nullptr);
    outarg_clear(1, nullptr);
  }
  dep_reset();
  report_times("execute");
  if (rc > 1) bailout();
}

void run_chain(cmd_fields* c) {
  for (; c && flow == FLOW_ON; c = c->next) run_one(c);
}

// After a loop's body: whether the loop goes on with its next pass.  A
// flow meant for an outer loop (or for none) leaves this one.
bool next_pass(cmd_compound* o) {
  if (flow == FLOW_NEXT && flow_target == o) {
    flow = FLOW_ON;
    return true;
  }
  if (flow == FLOW_BREAK && flow_target == o) {
    flow = FLOW_ON;
    return false;
  }
  return flow == FLOW_ON;
}

// ---- The handlers of this module -------------------------------------------

void bad_kind(cmd_fields* c) { bug("Bad ncmd = %d in execute()", c->kind); }

// The member a running for loop has bound, for the extent of its handler.
struct loop_member {
  int depth;
  symbol** saved;
  loop_member(int d, symbol** cells) : depth(d), saved(loop_values(d, cells)) {}
  ~loop_member() { loop_values(depth, saved); }
  loop_member(const loop_member&) = delete;
  loop_member& operator=(const loop_member&) = delete;
};

// The range a for loop's indexing walks when it is a bare range (one item,
// no condition, nothing the compiler hung on the item), else null: such a
// loop computes its members one at a time instead of listing them.
set* bare_range(const set_spec* ss) {
  const Index* ix = ss->first;
  if (!ix || ix->next || ss->cond || ss->precond) return nullptr;
  if (ix->onbind || ix->complete || ix->cleanup) return nullptr;
  set* s = ix->s;
  return s && s->sclass == SC_RANGE && s->arity == 1 ? s : nullptr;
}

// Runs the body of loop o over the members of range s (evaluated in t,
// which goes before the body runs): member k is computed as it is bound,
// and a number beyond the small-number cache is interned only when the
// body needs its symbol, so a long range costs no memory.
void for_range(cmd_fields* c, cmd_compound* o, set* s, tva_hold& h) {
  double lower, stride;
  int32_t n = range_bounds(s, h.t, &lower, &stride);
  del_tva(h.t);
  h.t = nullptr;
  cmdxreset(c->xrp, nullptr);
  loop_frame frame(o);
  symbol* cells[2] = {nullptr, nullptr};
  symbol own{};
  loop_member member(o->loopdepth, cells);
  for (int32_t k = 0; k < n; ++k) {
    cells[0] = range_pass_member(lower, stride, k, &own);
    run_chain(o->body);
    if (!next_pass(o) || frame.r.ended) return;
  }
}

void for_cmd(cmd_fields* c) {
  cmd_compound* o = compound(c);
  set_spec* ss = o->ix;
  curcmd = c;
  // The loop runs over the members its indexing has now: compiled, walked
  // at once and copied, the compilation undone before the body runs (the
  // body's commands compile on their own).  A range needs no copy: its
  // bounds are fixed when the loop starts.
  if (!current()) return;
  compile_start();
  ss_setup(ss, nullptr);
  ss_teardown(ss);
  tva_hold h{compile_end(c->xrp)};
  if (set* r = bare_range(ss)) return for_range(c, o, r, h);
  int arity = 0;
  for (Index* ix = ss->first; ix; ix = ix->next) arity += ix->s->arity;
  std::vector<symbol*> tuples;
  if (TVA* w = ss_begin(ss, h.t)) {
    do tuples.insert(tuples.end(), ss->first->vals, ss->first->vals + arity);
    while (ss_continue(ss, w));
  }
  del_tva(h.t);
  h.t = nullptr;
  cmdxreset(c->xrp, nullptr);
  size_t n = arity ? tuples.size() / size_t(arity) : 0;

  loop_frame frame(o);
  std::vector<symbol*> cells(size_t(arity) + 1);
  loop_member member(o->loopdepth, cells.data());
  for (size_t k = 0; k < n; ++k) {
    for (int i = 0; i < arity; ++i) cells[i] = tuples[k * size_t(arity) + i];
    run_chain(o->body);
    if (!next_pass(o) || frame.r.ended) return;
  }
}

void repeat_cmd(cmd_fields* c) {
  cmd_compound* o = compound(c);
  loop_frame frame(o);
  for (bool first = true;; first = false) {
    // The body's commands have taken their own references since the
    // condition was last tested: its own go back in the accumulator.
    if (o->cond && !first) depsetup(c->deps, c->ndep);
    if (o->cond && !test(c, &o->cond)) return;
    run_chain(o->body);
    if (!next_pass(o) || frame.r.ended) return;
    if (o->tcond) {
      depsetup(o->tdeps, o->ntdeps);
      if (!test(c, &o->tcond)) return;
    }
  }
}

void if_run(cmd_fields* c) {
  cmd_compound* o = compound(c);
  run_chain(test(c, &o->cond) ? o->body : o->els);
}

void braces_cmd(cmd_fields* c) {
  cmd_compound* o = compound(c);
  loop_frame frame(o);
  run_chain(o->body);
}

void endif_cmd(cmd_fields*) {}

void break_cmd(cmd_fields* c) {
  flow = FLOW_BREAK;
  flow_target = static_cast<cmd_compound*>(c->f()[0].p);
}

void continue_cmd(cmd_fields* c) {
  flow = FLOW_NEXT;
  flow_target = static_cast<cmd_compound*>(c->f()[0].p);
}

// Files read by `commands` now running, innermost last.
int cmdfile_levels;

// Thrown by break commands and break all inside a file read by `commands`:
// the file is left (with all, every such file and every loop).  Caught by
// commands_or_data.
struct commands_leave {
  bool all;
};

// break all and break commands as records: outside files read by
// `commands` both leave every loop of the chain.
void break_all_cmd(cmd_fields* c) {
  break_files(c->kind);
  flow = FLOW_END;
}

void exit_cmd(cmd_fields* c) {
  expr** pe = &c->f()[0].e;
  if (!*pe) myexit(rc);
  double v = number(c, pe);
  if (flow == FLOW_STOP) return;
  v = std::trunc(v);
  if (!std::isfinite(v)) v = 0;
  // A value beyond an int keeps its low bits, as the exit status does.
  myexit(static_cast<int>(static_cast<int64_t>(std::fmod(v, 4294967296.0))));
}

void sleep_cmd(cmd_fields* c) {
  expr** pe = &c->f()[0].e;
  if (!*pe) return;
  double secs = number(c, pe);
  if (flow == FLOW_STOP) return;
  // Sleeping ends early at an interrupt (the handlers do not restart it).
  sleeper(std::min(secs, 1e9));
}

// call: the call evaluated once, or once per member of its indexing.
void call_cmd(cmd_fields* c) {
  set_spec* ix = c->f()[0].ss;
  expr** pe = &c->f()[1].e;
  if (!current()) return;
  compile_start();
  if (ix) ss_setup(ix, nullptr);
  mri(pe, 1);
  if (ix) ss_teardown(ix);
  tva_hold h{compile_end(c->xrp)};
  if (!ix) {
    eval(*pe, h.t);
  } else if (TVA* w = ss_begin(ix, h.t)) {
    do eval(*pe, w);
    while (ss_continue(ix, w));
  }
  end_print_cmd();
}

void option_run(cmd_fields* c) { option_cmd(c->f()[0].o, c->f()[1].r, c->xrp); }

void option_reset_run(cmd_fields*) { option_reset(); }

void environ_run(cmd_fields* c) {
  cmd_arg* f = c->f();
  environ_cmd(f[0].ss, f[1].b, f[2].e, f[3].b, f[4].e, c->xrp);
}

void cur_environ_run(cmd_fields* c) { cur_environ(c->f()[0].r, c->xrp); }

// The problem a problem command names: the name's binding when the command
// runs (a stored command may outlive a redeclaration); null when the name
// names no problem any more (reported).
problem* named_problem(symbol* name) {
  if (!name) return nullptr;
  xnode* d = static_cast<xnode*>(name->binding);
  if (d && (d->kind == DK_PROB || d->kind == DK_PROBI))
    return static_cast<problem*>(d);
  error(0, "%s is not a named problem", name->name);
  return nullptr;
}

void problem_run(cmd_fields* c) {
  if (problem* p = named_problem(c->f()[0].b)) problem_cmd(p, c->f()[1].e, c->xrp);
}

void curprob_run(cmd_fields* c) { curprob_cmd(c->f()[0].r, c->xrp); }

void reset_prob_run(cmd_fields* c) {
  symbol* name = c->f()[0].b;
  problem* p = named_problem(name);
  if (name && !p) return;
  reset_prob(p, c->f()[1].e, c->xrp);
}

void commands_run(cmd_fields* c) {
  commands_or_data(&c->f()[0].e, c->f()[1].r, 1, c->xrp);
}

void data_run(cmd_fields* c) {
  commands_or_data(&c->f()[0].e, nullptr, 0, c->xrp);
}

void close_run(cmd_fields* c) { close_cmde(c->f()[0].e, c->xrp); }

void lib_run(cmd_fields* c) {
  lib_rw(c->kind - CK_LOAD, c->f()[0].e, c->xrp);
}

void reset_function_run(cmd_fields* c) {
  function* f = nullptr;
  if (c->nfield) {
    void* b = c->f()[0].b->binding;
    if (!b || bound_kind(b) != DK_FUNCTION) return;  // deleted since
    f = static_cast<function*>(b);
  }
  reset_func(f);
}

void remove_run(cmd_fields* c) { remove_cmd(c->f()[0].e, c->xrp); }

void show_run(cmd_fields* c) { show(c->f()[0].e, c->f()[1].r, c->xrp); }

void print_run(cmd_fields* c) {
  print_cmd(c->f()[0].ss, &c->f()[1].e, c->f()[2].r, c->xrp);
}

void display_run(cmd_fields* c) {
  cmd_arg* f = c->f();
  display_cmd(f[0].i, f[1].ss, f[2].e, f[3].r, c->xrp);
}
void check_run(cmd_fields*) { check_cmd(); }
void expand_run(cmd_fields* c) {
  cmd_arg* f = c->f();
  expand_cmd(f[0].i, f[1].e, f[2].r, c->xrp);
}

void write_run(cmd_fields* c) { write_cmd(&c->f()[0].e, c->xrp); }
void solve_run(cmd_fields* c) {
  cmd_arg* f = c->f();
  solve(f[0].b, f[1].e, f[2].r, c->xrp);
}
void solution_run(cmd_fields* c) { solution(&c->f()[0].e, c->xrp); }
void shell_run(cmd_fields* c) { shell_cmd(&c->f()[0].e, c->f()[1].r, c->xrp); }
void cd_run(cmd_fields* c) { cd_cmd(&c->f()[0].e, c->f()[1].r, c->xrp); }
void reset_check_run(cmd_fields*) { reset_check(); }
void fixdrop_show_run(cmd_fields* c) {
  dropshow(c->f()[0].i, c->f()[1].r, c->xrp);
}
void objective_show_run(cmd_fields* c) { objshow(c->f()[0].r, c->xrp); }
void snapshot_run(cmd_fields* c) {
  snapshot_cmd(static_cast<int>(c->f()[0].i), c->f()[1].r, c->xrp);
}
void read_run(cmd_fields* c) {
  read_cmd(c->f()[0].ss, c->f()[1].e, c->f()[2].r, c->xrp);
}
void xref_run(cmd_fields* c) { xref(c->f()[0].e, c->f()[1].r, c->xrp); }
void delete_run(cmd_fields* c) {
  delete_cmd(c->f()[0].e, static_cast<int>(c->f()[1].i));
}
void reset_suffix_run(cmd_fields* c) { sufreset(c->f()[0].b); }

void printf_run(cmd_fields* c) {
  printf_cmd(c->f()[0].ss, &c->f()[1].e, &c->f()[2].e, c->f()[3].r, c->xrp);
}

}  // namespace

// The handler of each kind.
const cmd_handler cmdtab[N_CMD_KINDS] = {
    close_run,            // 26 close
    objective_run,        // 27 objective
    option_run,           // 28 option
    shell_run,           // 29 shell
    show_run,             // 30 show
    solution_run,        // 31 solution
    solve_run,           // 32 solve
    write_run,            // 33 write
    display_run,          // 34 display
    dropadd_run,          // 35 drop
    dropadd_run,          // 36 restore
    dropadd_run,          // 37 fix
    dropadd_run,          // 38 unfix
    for_cmd,              // 39 for
    let_cmd,              // 40 let
    print_run,            // 41 print
    printf_run,           // 42 printf
    read_run,             // 43 read
    repeat_cmd,           // 44 repeat
    reset_prob_run,       // 45 reset_problem
    expand_run,           // 46 expand
    commands_run,         // 47 commands
    data_run,             // 48 data
    fixdrop_show_run,     // 49 drop_or_restore_all
    objective_show_run,   // 50 objective_show
    environ_run,          // 51 environ
    call_cmd,             // 52 call
    cd_run,              // 53 cd
    cur_environ_run,      // 54 environ
    problem_run,          // 55 problem
    curprob_run,          // 56 problem
    xref_run,             // 57 xref
    if_run,               // 58 if
    table_rw_cmd,         // 59 read_table
    table_rw_cmd,         // 60 write_table
    lib_run,              // 61 load
    lib_run,              // 62 reload
    lib_run,              // 63 unload
    remove_run,           // 64 remove
    sleep_cmd,            // 65 sleep
    exit_cmd,             // 66 exit
    bad_kind,             // 67 then
    bad_kind,             // 68 else_check
    bad_kind,             // 69 else
    endif_cmd,            // 70 endif
    bad_kind,             // 71 rbrace
    bad_kind,             // 72 repeat_end
    break_cmd,            // 73 break
    continue_cmd,         // 74 continue
    continue_cmd,         // 75 loopend
    bad_kind,             // 76 semicolon
    option_reset_run,     // 77 option_reset
    bad_kind,             // 78 breakpoint
    ru_cmd,               // 79 reset data
    ru_cmd,               // 80 update data
    braces_cmd,           // 81 {...}
    delete_run,           // 82 delete
    delete_run,           // 83 purge
    break_all_cmd,        // 84 break_all
    break_all_cmd,        // 85 break_commands
    check_run,            // 86 check
    reset_function_run,   // 87 reset_function
    reset_suffix_run,     // 88 reset_suffix
    reset_check_run,     // 89 reset_check
    snapshot_run,         // 90 snapshot
};

void execute(cmd_fields* first) {
  if (cmd_discard) return;
  if (exec_listing) {
    for (cmd_fields* c = first; c; c = c->next)
      cmd_describe(exec_listing, c, 0);
    cmd_mem_reset();
    return;
  }
  if (rc > 1) bailout();
  if (inslev == 0) step_cont = false;
  if (cmd_prompts) {
    // The brace group that switched the prompts is complete.
    switch_prompts(prompt0);
    cmd_prompts = 0;
    if (rc > 1) bailout();
    rc = cmd_rc;
  }
  // References of a statement being read (whose start ran this chain)
  // wait aside for its record.
  int32_t npending;
  cmd_dep* pending = take_deps(&npending);
  // A statement with a bad name reported is not run.
  if (!take_bad_names()) {
    warn_start = warnings;
    flow = FLOW_ON;
    chain_first = first;
    run_chain(first);
  }
  // What print, printf and display kept buffered goes out with the
  // command's end.
  flush_outputs();
  if (blockmode) blockstart("misc");
  clear_warnings();
  cmdnum = 0;
  curcmd = nullptr;
  flow = FLOW_ON;
  if (gotbreak) {
    break_notice();
    bail1out();
  }
  depsetup(pending, npending);
  cmd_mem_reset();
}

void break_notice() {
  gotbreak = 0;
  if (blockmode) blockstart("break");
  Printf("<BREAK>\n");
  fflush(stdout);
  if (blockmode) blockstart("misc");
}

// ---------------------------------------------------------------------------
// Command files

namespace {

// What a nested reading changes of the level it interrupts: the input's
// insertion state, the running command, the output, and the interpreter's
// records (the commands of the file get an arena and compounds of their
// own).
struct insertion_state {
  int inslev, ins_nfs, ins_eof, at_eof, parse_time;
  lex_level lex;
  int cmdnum;
  cmd_fields* curcmd;
  FILE* stdOut;
  int stdOut_idf;
  cmd_build build;
  flow_kind flow;
  cmd_compound* flow_target;
  int warn_start;
  cmd_fields* chain_first;

  // Opens a nested reading level over the include count now open.
  static void enter_level() {
    ++vexo::inslev;
    vexo::ins_nfs = nfs;
    vexo::ins_eof = 0;
    vexo::curcmd = nullptr;
    vexo::cmdnum = 0;
    prompt_afresh();
  }
  void save() {
    inslev = vexo::inslev;
    ins_nfs = vexo::ins_nfs;
    ins_eof = vexo::ins_eof;
    at_eof = vexo::at_eof;
    lex = save_lex_level();
    parse_time = vexo::parse_time;
    cmdnum = vexo::cmdnum;
    curcmd = vexo::curcmd;
    stdOut = vexo::stdOut;
    stdOut_idf = vexo::stdOut_idf;
    build = cmd_build_save();
    flow = vexo::flow;
    flow_target = vexo::flow_target;
    warn_start = vexo::warn_start;
    chain_first = vexo::chain_first;
  }
  // The running command's fields: on the normal path only (the abort
  // path forgets the command).
  void restore_command() const {
    vexo::cmdnum = cmdnum;
    vexo::curcmd = curcmd;
  }
  void restore() {
    vexo::inslev = inslev;
    vexo::ins_nfs = ins_nfs;
    vexo::ins_eof = ins_eof;
    vexo::at_eof = at_eof;
    restore_lex_level(lex);
    vexo::parse_time = parse_time;
    vexo::stdOut = stdOut;
    vexo::stdOut_idf = stdOut_idf;
    df = vexo::stdOut;
    cmd_build_restore(build);
    vexo::flow = flow;
    vexo::flow_target = flow_target;
    vexo::warn_start = warn_start;
    vexo::chain_first = chain_first;
  }
};

// Whether r is a parser result of the single-stepping words (or of a
// break or continue that leaves a stepped loop).
bool step_code(int r) { return r >= YYP_CONT && r <= YYP_BREAK; }

// Parses the inserted file's statements; the commands run as they are
// complete.  Returns at the end of the file; quit ends the session.  The
// single-stepping words mean nothing here and are passed over.
void read_commands(const char* fname) {
  int r;
  do {
    lex_statements();
    r = yyparse();
  } while (step_code(r));
  if (r == YYP_QUIT) myexit(rc);
  if (int k = open_compound_kind()) {
    // A compound command is left open at the end of the file.
    error(0, "end of \"%s\" with incomplete \"%s\" command.", fname,
          cmdname[k - CMD_KIND_MIN]);
    cmd_reset2();
  }
}

}  // namespace

void commands_or_data(expr** file, redirect* r, int mode, xrecomp* xr) {
  if (!*file) {
    // `data;` inside a file read by `commands`: data mode on that file.
    if (mode == 0) read_data();
    return;
  }
  held_cstr name(rdfname(file, xr));
  insertion_state saved;
  saved.save();
  int level = nfs;
  bool all = false;
  struct level_count {
    bool on;
    explicit level_count(bool o) : on(o) { cmdfile_levels += on; }
    ~level_count() { cmdfile_levels -= on; }
    level_count(const level_count&) = delete;
    level_count& operator=(const level_count&) = delete;
  } counted(mode == 1);
  try {
    if (r) {
      dispfile(r, xr);
      stdOut = df;
      stdOut_idf = r->find;
    }
    include(name.text(), 0, 0);
    insertion_state::enter_level();
    if (mode == 1) {
      read_commands(name.text());
    } else {
      read_data();
    }
  } catch (const commands_leave& leave) {
    // A break left the file while its statements were being read and
    // run: what its level built goes, and what the reader holds from it
    // (the parser's look-ahead went with the parse).
    all = leave.all;
    if (open_cmds) {
      cmd_discard = 2;
      close_compounds();
      cmd_discard = 0;
    }
    cmd_mem_reset();
    while (nfs > level) end_include(2);
    forget_pending_tokens();
  } catch (...) {
    saved.restore();
    throw;
  }
  // The file is over (or a command left it): its levels end.
  while (nfs > level) end_include(2);
  saved.restore();
  saved.restore_command();
  if (all) {
    // break all: the command files outside this one are left too, and
    // the chain that ran the outermost one ends.
    if (cmdfile_levels > 1) throw commands_leave{true};
    flow = FLOW_END;
  }
}

namespace {

// The position and name of record c: "<file>:<line>" with "(<offset>)"
// when wanted; "-" for the terminal.
std::string cmd_position(const cmd_fields* c, bool offset) {
  char buf[64];
  const char* f = c->stmtfname ? c->stmtfname : "-";
  std::string t = f;
  if (offset)
    Snprintf(buf, sizeof buf, ":%ld(%ld)", c->stmtline, c->stmtoffset);
  else
    Snprintf(buf, sizeof buf, ":%ld", c->stmtline);
  return t + buf;
}

int step_dialogue(cmd_fields* c) {
  insertion_state saved;
  saved.save();
  int was_stepping = stepping;
  std::string was_text = step_text;
  int level = nfs;
  step_text = "sstep " + cmd_position(c, false) + " " +
              cmdname[c->kind - CMD_KIND_MIN] + " ? ";
  step_prompt = step_text.c_str();
  stepping = 1;
  // Commands typed in the dialogue run whole, without stops of their own.
  step_hold_guard held;
  ++step_hold;
  insertion_state::enter_level();
  int r;
  for (;;) {
    try {
      lex_statements();
      r = yyparse();
      if (r == YYP_QUIT) myexit(rc);
      // The end of the input resumes as cont does.
      if (!step_code(r)) r = YYP_CONT;
      break;
    } catch (const command_abort&) {
      // An error of a command typed here abandons that command only
      // (the recovery left the open compounds and the command memory
      // of the dialogue reset); the includes it opened end.
      while (nfs > level) end_include(2);
      prompt_afresh();
      if (ins_eof || at_eof) {
        r = YYP_CONT;
        break;
      }
    } catch (...) {
      stepping = was_stepping;
      step_text = was_text;
      step_prompt = stepping ? step_text.c_str() : nullptr;
      saved.restore();
      throw;
    }
  }
  close_compounds();
  cmd_mem_reset();
  while (nfs > level) end_include(2);
  stepping = was_stepping;
  step_text = was_text;
  step_prompt = stepping ? step_text.c_str() : nullptr;
  saved.restore();
  saved.restore_command();
  return r;
}

}  // namespace

const char* step_prompt;
int stepping;

void cmdstring(cmd_fields* c, int mode) {
  const char* name = cmdname[c->kind - CMD_KIND_MIN];
  if (mode == 1)
    Printf("## %.f: %s %s\n", ncmds, cmd_position(c, true).c_str(), name);
  else
    Printf("### %s %s\n", cmd_position(c, false).c_str(), name);
}

bool step_loop_control(int kind, symbol* name) {
  if (!stepping) return false;
  for (loop_run* r = running; r; r = r->prev) {
    if (r->o->h.kind == CK_BRACES || (name && r->o->name != name)) continue;
    step_flow = kind == CK_BREAK ? FLOW_BREAK : FLOW_NEXT;
    step_target = r->o;
    return true;
  }
  return false;
}

void not_implemented(const char* name) {
  error(0, "%s is not implemented yet", name);
  bailout();
}

void break_files(int kind) {
  if (cmdfile_levels > 0) {
    bool all = kind == CK_BREAK_ALL;
    end_loops(all ? 0 : inslev);
    if (blockmode) blockstart("misc");
    throw commands_leave{all};
  }
  if (nfs > 0) end_include(2);
}

void end_loops(int lev) {
  for (loop_run* r = running; r; r = r->prev)
    if (r->inslev >= lev && r->o->h.kind != CK_BRACES) r->ended = true;
}

void notyet(const char* what) { error(0, "%s not yet implemented", what); }

void help() { notyet("help"); }

void execute_reset() {
  ncmds = 0;
  cmdfile_levels = 0;
  flow = FLOW_ON;
  flow_target = nullptr;
  running = nullptr;
  warn_start = 0;
  chain_first = nullptr;
  step_hold = 0;
  step_cont = false;
  step_target = nullptr;
  step_prompt = nullptr;
}

void execute_start() {
  cmdnum = 0;
  stepping = 0;
  single_step = 0;
}

}  // namespace vexo
