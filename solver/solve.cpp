// The `solve`, `solution` and `shell` commands, the stub of the problem
// file, and the `check` command.
#include "solver/solve.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>

#include "compiler/recomp.h"
#include "compiler/tva.h"
#include "eval/set.h"
#include "eval/solval.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/reader.h"
#include "instance/ac.h"
#include "instance/members.h"
#include "instance/names.h"
#include "instance/problem.h"
#include "instance/stamps.h"
#include "instance/sufstore.h"
#include "instance/suftab.h"
#include "instance/xcg.h"
#include "presolve/presolve.h"
#include "session/batch.h"
#include "session/child.h"
#include "session/cmdfiles.h"
#include "session/execute.h"
#include "session/include.h"
#include "session/let.h"
#include "session/infiles.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/optcmd.h"
#include "session/options.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "solver/nlwrite.h"
#include "solver/output.h"
#include "solver/solread.h"
#include "support/block.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/pool.h"
#include "support/text.h"

namespace vexo {

int show_files;
int havesol;

namespace {

// The stub of the last write (winfo): its kind (0 a user stub from
// outopt, 1 a temporary stub of a solve, 2 a debug stub), its text (the
// format letter, then the stub), and the value of outopt a solve replaced.
// Module state outside the pools: `reset` leaves the temporary files to
// remove.
int stub_kind;
std::string stub_text;
std::string saved_outopt;
int ndebug;
// A problem settled without a solver: its message (with "." appended) and
// result code, or an empty message.
std::string settled_msg;
int settled_code;

const char* const tempfile_exts[12] = {"sol", "nl",  "adj", "col",
                                       "env", "fix", "mps", "out",
                                       "row", "slc", "spc", "unv"};

// Every check statement queued to run again, _check_failures from 0.
void queue_checks() {
  for (int32_t i = 0; i < xclass[XC_CHECKS].n; ++i) {
    xnode* k = xclass[XC_CHECKS].a[i];
    dep_note(k->num);
    k->xr.instamp = nextgenlev;
  }
  if (double* c = sysparam_cell(check_failures)) {
    *c = 0;
    ts_update(check_failures, 0);
  }
}

// The solver's name without its directory.
std::string solver_base() {
  const char* s = std::strrchr(solver, '/');
  return s ? s + 1 : solver;
}

// Option name of the solver's own setting (suffix "_oopt" and the like),
// or null.
const char* solver_option(const char* suffix) {
  return Get_env((solver_base() + suffix).c_str());
}

}  // namespace

void solve_reset() {
  settled_msg.clear();
  settled_code = 0;
  havesol = 0;
  if (!nfs) ndebug = 0;
}

void forget_solution() { havesol = 0; }

void tempfile_zap() {
  if (stub_kind != 1 || stub_text.size() < 2) return;
  for (const char* e : tempfile_exts) {
    std::string name = stub_text.substr(1) + "." + e;
    std::remove(name.c_str());
  }
}

int check_cmd() {
  queue_checks();
  return xcg(0) != nullptr;
}

void reset_check() {
  for (int32_t i = 0; i < xclass[XC_CHECKS].n; ++i)
    xclass[XC_CHECKS].a[i]->xr.stamp = -1;
}

// ---- Outcomes.

void set_result(double num) {
  set_sysparam(solve_result_num, num);
  if (num < 0) {
    set_sparam(solve_result, "?");
    return;
  }
  cstr* t = cs_sufvalue(num, &solve_result_table);
  set_sparam(solve_result, t->text());
  zap_cstr(&t);
}

void fflush_stdout() {
  if (blockmode) {
    blockstart(blockname);
    return;
  }
  std::fflush(stdout);
  if (log_file && log_file_flush) std::fflush(log_file);
}

const char* settled_message() {
  return settled_msg.empty() ? nullptr : settled_msg.c_str();
}

const char* obj_name(AC* ac, int j) { return xwho(&ac->obj_names[j]); }

namespace {

// The outcome published now, copied into s (its old texts released).
void fill_outcome(objsolve& s) {
  s.result_num = int32_t(*sysparam_cell(solve_result_num));
  s.exitcode = int32_t(*sysparam_cell(solve_exitcode));
  zap_cstr(&s.result);
  zap_cstr(&s.message);
  s.result = sparam_value(solve_result);
  s.message = sparam_value(solve_message);
  if (s.result) ++s.result->refcnt;
  if (s.message) ++s.message->refcnt;
}

// The outcome record of the current problem (of its current member when
// indexed, by ordinal in its indexing set), made or grown on first use;
// null when no member is chosen.
objsolve* problem_outcome() {
  problem* p = cur_prob;
  if (!p) return nullptr;
  int64_t k = 0, n = 1;
  if (p->kind == DK_PROBI) {
    set* s = subscript_set(p);
    if (!s || !cur_prob_sub) return nullptr;
    k = set_lookup(s, cur_prob_sub);
    if (k < 0) return nullptr;
    n = std::max<int64_t>(s->nmem, k + 1);
  }
  size_t have = p->solves ? (size_t{8} << p->solvesk) / sizeof(objsolve) : 0;
  if (size_t(k) >= have) {
    int cls = htcl(sizeof(objsolve) * size_t(n));
    auto* a = static_cast<objsolve*>(new_mblk(cls, 1));
    std::memset(static_cast<void*>(a), 0, size_t{8} << cls);
    if (p->solves) {
      std::memcpy(static_cast<void*>(a), p->solves, sizeof(objsolve) * have);
      del_mblk(p->solvesk, p->solves);
    }
    p->solves = a;
    p->solvesk = cls;
  }
  return &p->solves[k];
}

// The current problem keeps the outcome published now (`p.result` and
// the like show it after other problems have been solved).
void note_problem_outcome() {
  if (objsolve* s = problem_outcome()) fill_outcome(*s);
}

}  // namespace

void note_objective_outcome(AC* ac, int objno) {
  if (objno < 0 || objno >= ac->n_obj || !ac->obj_names) return;
  auto* o = static_cast<convar*>(ac->obj_names[objno].decl);
  if (!o || o->gen.member_count <= 0) return;
  int32_t k = objno - o->gen.first_col;
  if (k < 0 || k >= o->gen.member_count) return;
  cvgen& g = o->gen;
  if (!g.solves)
    g.solves = static_cast<objsolve*>(
        new_mblk(htcl(sizeof(objsolve) * size_t(g.member_count)), 1));
  fill_outcome(g.solves[k]);
}

void known_result() {
  set_sparam(solve_message, settled_msg.c_str());
  set_result(settled_code);
  set_sysparam(solve_exitcode, 0);
  AC* ac = new_ac();
  for (int j = 0; j < ac->n_obj; ++j) note_objective_outcome(ac, j);
  note_problem_outcome();
}

namespace {

// The stub of a solve: "%c%s_%d" for a debug stub, else the temporary
// "%c%s%sat%lu" in TMPDIR.
void make_solve_stub() {
  const char* oopt = solver_option("_oopt");
  if (*debug_stub) {
    char letter = oopt && *oopt ? *oopt : 'g';
    stub_text = letter + std::string(debug_stub) + "_" + std::to_string(ndebug);
    stub_kind = 2;
    return;
  }
  char letter = oopt && *oopt ? *oopt : 'b';
  std::string dir = tmpdir ? tmpdir : "";
  char last = dir.empty() ? 0 : dir.back();
  if (!dir.empty() && last != '/' && last != ':' && last != '\\') dir += '/';
  stub_text = letter + dir + "at" + std::to_string(get_pid());
  stub_kind = 1;
}

}  // namespace

// ";\nobjective NAME = VALUE" for the one objective of a settled problem.
static std::string objective_text(AC* ac) {
  const xname& n = ac->obj_names[0];
  auto* o = static_cast<constr*>(n.decl);
  if (!o) return "";
  tva_hold own{nullptr};
  TVA* t = cur_tva && cur_tva->ac == ac ? cur_tva : (own.t = new_tva());
  double v = co_val(o, n.subs ? n.subs->ord : 0, t);
  char buf[64];
  Snprintf(buf, sizeof buf, "%.*g", objective_precision, v);
  return std::string(";\nobjective ") + xwho(&n) + " = " + buf;
}

const char* no_vars(AC* ac) {
  settled_msg.clear();
  settled_code = 0;
  if (ac->n_var_sent > 0) return nullptr;
  bool rows = ac->n_con + ac->n_obj > 0;
  const char* msg;
  int code = 0;
  if (infeasible) {
    msg = "Infeasible constraints determined by presolve";
    code = 299;
  } else if (xclass[XC_ALLVARS].n == 0) {
    msg = "No variables declared";
  } else if (cur_pinfo && cur_pinfo->decls && cur_pinfo->decls->nmem == 0) {
    msg = "The current problem is empty";
  } else if (rows && ac->n_con <= ac->n_defvar) {
    msg = ac->n_con > 0 && ac->n_con == ac->n_defvar
              ? "No variables used after elimination of defined variables"
              : "No variables used";
  } else if (rows && ac->n_var > 0 && ac->n_var_fixcmd == ac->n_var) {
    msg = "All variables fixed";
    code = 99;
  } else if (rows && ac->n_var_fixused > 0 &&
             ac->n_var_fixused == ac->n_var_used) {
    // The variables left out are used nowhere.
    msg = "All relevant variables fixed";
    code = 99;
  } else if (rows) {
    // Presolve removed every variable.
    msg = "Solution determined by presolve";
    code = 99;
  } else if (xclass[XC_CONS].n + xclass[XC_OBJS].n == 0) {
    msg = "No constraints or objectives";
  } else {
    msg = "All constraints and objectives dropped";
  }
  settled_msg = msg;
  if (code == 99 && ac->n_obj == 1 && !at_eof) settled_msg += objective_text(ac);
  settled_msg += ".";
  settled_code = code;
  // A problem settled before (state 5: no change since) keeps its solution
  // and recovered duals; only the first settling makes them.
  if ((code == 99 || code == 299) && trans_state != 5) {
    if (code == 99) {
      // No solver gives duals: every row's is recovered from zeros.
      need_fd = 1;
      if (ac->n_con > 0) {
        if (!ac->con_duals)
          ac->con_duals = static_cast<double*>(new_mblk(ac->con_class, 1));
        else
          std::memset(ac->con_duals, 0, sizeof(double) * size_t(ac->n_con));
      }
    }
    double n = *sysparam_cell(last_solno) + 1;
    set_sysparam(last_solno, n);
    set_sysparam(primal_solno, n);
  }
  return settled_msg.c_str();
}

int write_cmd1(int flags, const char* text, int cmd) {
  name_error_block("error_write");
  queue_checks();
  if (need_prob) get_prob();
  if (rc <= 3) clear_rc();
  const char* cmdname = cmd ? "write" : "solve";
  int fail = 2;
  if (xcg(0) && !rc) {
    AC* ac = new_ac();
    int entry_state = trans_state;
    if (trans_state == 5) {
      if (flags & 2) Printf("No .nl file written:  no variables used.\n");
      return 0;
    }
    if (trans_state < 3) {
      if (!infeasible) {
        ac = output_time(ac, 3);
        if (!ac) goto failed;
        changes_sent();
        if (trans_state == 5) {
          if (flags & 2) Printf("No .nl file written:  no variables used.\n");
          return 0;
        }
      }
    } else {
      changes_sent();
    }
    // An infeasible problem is not sent; the outcome says why.
    const char* reason = nullptr;
    char bbuf[160];
    if ((infeas_clear & 3) == 3) {
      infeasible = 0;
    } else if (infeasible) {
      reason = infeasible == 1
                   ? "presolve finds no feasible solution possible"
                   : "presolve finds a nonsquare complementarity system";
      settled_msg = reason;
      settled_code = 299;
      known_result();
      if (infeas_clear & 2) infeasible = 0;
    }
    if (reason) {
      if (!(flags & 1) || entry_state != 3) {
        serror("Ignoring %s command because\n%s.\n", cmdname, reason);
        mark_rc(2);
      } else {
        Printf("%s\n", reason);
      }
      return 1;
    }
    if (bad_bounds) {
      std::snprintf(bbuf, sizeof bbuf,
                    "presolve finds inconsistent bounds:\n\tto use averaged "
                    "bounds, increase option presolve_eps\n\tto at least %.g",
                    preeps2);
      serror("Ignoring %s command because\n%s.\n", cmdname, bbuf);
      mark_rc(2);
      return rc | 2;
    }
    // Suffix values sent to the solver must satisfy their conditions.
    if (sufcheck(ac)) {
      mark_rc(2);
      return rc | 2;
    }
    if (!(flags & 1)) {
      if (text) setoption("outopt", text);
      stub_kind = 0;
      stub_text = outopt;
      output_time(ac, 5);
      return trans_state == 3 ? 1 : 0;
    }
    if (!*solver) {
      serror("No solver specified:  option solver is ''.\n");
      mark_rc(2);
      return rc | 2;
    }
    saved_outopt = outopt;
    std::string saved_aux = auxfiles ? auxfiles : "";
    const char* aux = solver_option("_auxfiles");
    if (aux) setoption("auxfiles", aux);
    make_solve_stub();
    setoption("outopt", stub_text.c_str());
    int saved_flags = show_files;
    if (stub_kind == 1) show_files |= 4;
    try {
      output_time(ac, 5);
    } catch (...) {
      show_files = saved_flags;
      setoption("outopt", saved_outopt.c_str());
      throw;
    }
    show_files = saved_flags;
    if (aux) setoption("auxfiles", saved_aux.c_str());
    if (trans_state == 3) {
      setoption("outopt", saved_outopt.c_str());
      return 1;
    }
    if (havesol && !reset_initial_guesses && Ig_Count)
      set_sysparam(static_cast<param*>(Ig_Count),
                   *sysparam_cell(static_cast<param*>(Solution_Count)));
    return 0;
  }
failed:
  if (text && !std::strcmp(text, "0") && fail <= 1) {
    clear_rc();
    return 0;
  }
  mark_rc(2);
  return rc;
}

void write_cmd(expr** pe, xrecomp* xr) {
  if (Serving) {
    cantserve("write", nullptr);
    return;
  }
  if (!*pe) {
    write_cmd1(show_write_files > 0 ? 2 : 0, nullptr, 1);
    return;
  }
  cstr* name = rdfname(pe, xr);
  write_cmd1(show_write_files & 2, name->text(), 1);
  zap_cstr(&name);
}

int must_write() {
  if (trans_state != 4) return 1;
  // Only an nl file written last can be handed to a solver: after an MPS
  // file (or MPS text) the problem is written again.
  if (stub_text.empty() || (stub_text[0] != 'g' && stub_text[0] != 'b'))
    return 1;
  int wanted = (havesol && !reset_initial_guesses ? 2 : 0) +
               (pass_lub1 >= 2 ? 4 : 0);
  if (dual_initial_guesses && (ig_state & ~1) == wanted) {
    if (n_dig < 0) n_dig = digcount(new_ac());
    if (n_dig > 0) ++wanted;
  }
  if (wanted == ig_state &&
      (reset_initial_guesses ||
       (!var_changes && (!con_changes || !dual_initial_guesses))))
    return 0;
  return 1;
}

namespace {

// Reads a solution file as the `solution` command does; returns the
// reader's code, published.
int read_named(char* name) {
  int c = read_soln(name, nullptr, nullptr);
  if (c) {
    set_result(c);
    if (shell_ecm[1] < 1024) gotbreak = 1;
  }
  note_problem_outcome();
  return c;
}

// The -x limit is (nearly) reached: the session ends before the command.
void time_limit_check(const char* what) {
  if (xoption > 0 && e_time() >= xoption - 4) {
    Printf("\nSuppressing VEXO \"%s\" command and terminating due to "
           "command-line option \"-x %g\".\n",
           what, xoption);
    tempfile_zap();
    myexit(3);
  }
}

}  // namespace

void solve(symbol* name, expr* subscript, redirect* r, xrecomp* xr) {
  if (name) {
    auto* d = static_cast<xnode*>(name->binding);
    if (d && (d->kind == DK_PROB || d->kind == DK_PROBI))
      problem_cmd(static_cast<problem*>(d), subscript, xr);
    else
      objective(static_cast<convar*>(d), subscript, xr);
  }
  if (need_prob) get_prob();
  set_result(-1);
  set_sparam(solve_message, "?");
  // However the command ends, the problem keeps what it published.
  struct keep_outcome {
    ~keep_outcome() { note_problem_outcome(); }
  } keep;
  time_limit_check("solve");
  dispfile(r, xr);
  bool reuse = trans_state == 4 && !must_write();
  if (trans_state == 4 && !reuse) set_trans_state(3);
  if (*debug_stub && !reuse) {
    ++ndebug;
    std::string sol = std::string(debug_stub) + "_" + std::to_string(ndebug) +
                      ".sol";
    if (FILE* f = std::fopen(sol.c_str(), "r")) {
      std::fclose(f);
      read_named(sol.data());
      return;
    }
  }
  int was5 = trans_state == 5;
  if (!reuse && write_cmd1(1, nullptr, 0)) return;
  if (trans_state == 5) {
    known_result();
    if (solver_msg > 0 && was5) Printf("%s\n", settled_msg.c_str());
    return;
  }
  name_error_block("error_solve");
  if (!*solver) {
    serror("No solver specified:  option solver is ''.\n");
    mark_rc(2);
    return;
  }
  if (reuse) saved_outopt = outopt;
  // The solver reads the stub without its format letter.
  std::string stub = stub_text.substr(1);
  if (stub_kind == 1) std::remove((stub + ".sol").c_str());
  set_trans_state(3);
  static char vexo_flag[] = "-VEXO";
  char* args[5] = {nullptr, const_cast<char*>(solver), stub.data(), vexo_flag,
                   nullptr};
  // A front end that runs the solver gets the options in "<stub>.env".
  std::string envfile = guisolve ? stub + ".env" : "";
  int code = run1(solver, args + 1, envfile.c_str(), r, xr, 1, Time_params);
  if (code) {
    set_sysparam(solve_exitcode, code);
    set_result(999);
  } else {
    set_sysparam(solve_exitcode, 0);
    std::string buf = stub;
    buf.resize(stub.size() + 8);
    int c = read_soln(buf.data(), buf.data() + stub.size(), nullptr);
    if (c) {
      set_result(c);
      if (shell_ecm[1] < 1024) gotbreak = 1;
    }
  }
  if (dbg & 1) {
    Printf("stub %s\n", stub.c_str());
  } else {
    tempfile_zap();
  }
  if (stub_kind) setoption("outopt", saved_outopt.c_str());
  fflush_stdout();
}

void solution(expr** pe, xrecomp* xr) {
  queue_checks();
  if (trans_state == 0) {
    Process(3);
  } else if (!xcg(0)) {
    return;
  }
  if (trans_state < 3 && !output_time(new_ac(), 3)) return;
  if (trans_state == 5) return;
  cstr* name = rdfname(pe, xr);
  read_named(name->text());
  zap_cstr(&name);
  if (trans_state == 4 && havesol) {
    var_changes += havesol & 1;
    con_changes += (havesol >> 1) & 1;
  }
}

void shell_cmd(expr** pe, redirect* r, xrecomp* xr) {
  if (Serving) {
    cantserve("shell", nullptr);
    return;
  }
  time_limit_check("shell");
  const char* sh = shell_name && *shell_name ? shell_name : "/bin/sh";
  cstr* text = nullptr;
  static char dash_c[] = "-c";
  char* args[5] = {nullptr, const_cast<char*>(sh), nullptr, nullptr, nullptr};
  if (*pe) {
    text = Litval(pe, xr);
    args[2] = dash_c;
    args[3] = text->text();
  }
  int status = run1(sh, args + 1, shell_env_file ? shell_env_file : "", r, xr,
                    0, Time_params + T_SHELL);
  set_sysparam(shell_exitcode, status);
  zap_cstr(&text);
}

}  // namespace vexo
