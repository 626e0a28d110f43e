// The solution file reader: the file parsed whole, then installed.
#include "solver/solread.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/members.h"
#include "instance/problem.h"
#include "instance/stamps.h"
#include "instance/sufdecl.h"
#include "instance/sufstore.h"
#include "eval/solval.h"
#include "compiler/tva.h"
#include "presolve/presolve.h"
#include "session/batch.h"
#include "session/cmdfiles.h"
#include "session/loop.h"
#include "session/options.h"
#include "session/opttable.h"
#include "session/sysdecls.h"
#include "solver/nlwrite.h"
#include "solver/solve.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "eval/solval.h"
#include "support/strtod.h"
#include "support/text.h"

namespace vexo {

namespace {

// The whole file, or false when it cannot be opened.
bool slurp(const char* name, std::vector<uint8_t>* out) {
  FILE* f = std::fopen(name, "rb");
  if (!f) return false;
  uint8_t b[65536];
  for (size_t n; (n = std::fread(b, 1, sizeof b, f)) > 0;)
    out->insert(out->end(), b, b + n);
  std::fclose(f);
  return true;
}

// The solver's message on the command's output; the leading backspaces
// are not shown on standard output.
void show_message(const sol_data& d) {
  if (solver_msg <= 0 || d.message.empty()) return;
  size_t skip = df == stdout ? size_t(d.backspaces) : 0;
  if (skip > d.message.size()) skip = d.message.size();
  Fprintf(df, "%s\n", d.message.c_str() + skip);
  fflush_stdout();
}

// Option words: the echoed word against the word written.  A word beyond
// nOpts counts as 0, but word 7 as 4 (no permutation suppressed).
int64_t echoed(const sol_data& d, int i) {
  if (i <= d.nopts) return d.opts[i];
  return i == 7 ? 4 : 0;
}

void set_echo(const char* name, const char* value) {
  setoption(name, value);
  Printf("option %s %s;\n", name, value);
  fflush_stdout();
}

void set_echo_lu(const char* name, unsigned long v) {
  char b[32];
  Snprintf(b, sizeof b, "%lu", v);
  set_echo(name, b);
}

// A tolerance echoed in word w, flag bit b, outside the presolve's
// interval [lo, hi): the option is set just inside it.
void unaotweak(int64_t w, int b, double lo, double hi, const char* name,
               double cur) {
  double v = tol_decode(w, b);
  if ((v < lo || v >= hi) && v != cur) {
    char buf[32];
    Snprintf(buf, sizeof buf, "%.3g", 0.95 * v);
    set_echo(name, buf);
  }
}

// The options the solver echoed that differ from those the problem file
// was written with.  Returns false when a needed presolve failed.
bool apply_options(const sol_data& d, AC* ac) {
  int64_t w[10] = {};
  nl_opt_words(ac, w);
  if (d.has_droptol && d.droptol != constraint_drop_tol) {
    char b[32];
    Snprintf(b, sizeof b, "%.g", d.droptol);
    if (trans_state > 1) set_trans_state(1);
    set_echo("constraint_drop_tol", b);
  }
  if (echoed(d, 1) != w[1]) set_echo_lu("presolve", (unsigned long)d.opts[1]);
  if (d.nopts > 7 && (echoed(d, 8) & 63) != (w[8] & 63))
    set_echo_lu("pl_linearize", (unsigned long)(echoed(d, 8) & 63));
  if (d.nopts > 6) {
    unaotweak(echoed(d, 8), 6, 0, presolve_fixepsmax, "presolve_fixeps",
              presolve_fixeps);
    unaotweak(echoed(d, 7), 4, 0, presolve_intepsmax, "presolve_inteps",
              presolve_inteps);
    unaotweak(echoed(d, 6), 2, 0, presolve_epsmax, "presolve_eps",
              presolve_eps);
  }
  if (d.nopts == 9 && (echoed(d, 9) & 11) != (w[9] & 11)) {
    int64_t x = echoed(d, 9);
    set_echo_lu("substout", (unsigned long)((x & 3) + (x & 8 ? 4 : 0)));
  }
  if (d.nopts > 5 && (echoed(d, 6) & 3) != (w[6] & 3))
    set_echo_lu("relax_integrality", (unsigned long)(echoed(d, 6) & 3));
  if ((echoed(d, 7) & 15) != (w[7] & 15) && (echoed(d, 7) & 15) >= 1)
    set_echo_lu("nl_permute", (unsigned long)((echoed(d, 7) & 15) - 1));
  if (echoed(d, 2) != w[2])
    set_echo_lu("var_bounds", echoed(d, 2) == 2 ? 2ul : 1ul);
  if (trans_state <= 2 && !output_time(ac, 3)) return false;
  return true;
}

// A value printed with the solution precision and read back.
double round_value(double x) {
  // Options solution_precision (gfmt, a positive precision) and
  // solution_round (ffmt); neither set: the value as read.
  if ((soln_info.fmt == gfmt && soln_info.active <= 0) || !soln_info.fmt ||
      !std::isfinite(x))
    return x;
  return Strtod(soln_info.fmt(x, soln_info.active, nullptr), nullptr);
}

// Declares the suffixes of the file that are not declared, checks their
// names, and stores their values: every entity of the kind sent takes the
// value of its row, 0 where the file has none.
void sufput(const sol_suffix& s, int* ndecl, AC* ac) {
  if (s.bad_name) {
    error(0, "Invalid suffix name \"%.*s\"", int(s.name.size()),
          s.name.c_str());
    return;
  }
  if (!(send_suffixes & 2)) return;
  // The name outlives the file's data: the symbol keeps a copy.
  symbol* name = Symbol(s.name.c_str(), 1);
  suffix* x = suff_named(name);
  if (!x) {
    x = new_suffix(name, nullptr);
    x->add_dir(s.kind & 8 ? SUF_INOUT : SUF_OUT);
    if (!s.table.empty()) x->addtype(SUF_SYMBOLIC);
    if (!(x = x->finish_dcl())) return;
    Printf("%ssuffix %s%s %s;\n", (*ndecl)++ ? "" : "\n", s.name.c_str(),
           s.table.empty() ? "" : " symbolic", s.kind & 8 ? "INOUT" : "OUT");
  }
  if (!s.table.empty()) {
    std::string opt = s.name + "_table";
    const char* cur = Get_env(opt.c_str());
    if (!cur || s.table != cur) {
      setoption(opt.c_str(), s.table.c_str());
      Printf("\noption %s %q;\n", opt.c_str(), s.table.c_str());
    }
  }
  // Problem suffixes are not kept from solution files yet.
  int k = s.kind & 3;
  if (k == 3) return;
  int32_t n = sizeval(ac, k);
  std::vector<double> vals(size_t(n > 0 ? n : 0), 0.0);
  for (const auto& [i, v] : s.rows)
    if (i >= 0 && i < n) vals[size_t(i)] = v;
  for (int32_t i = 0; i < n; ++i)
    if (const xname* nm = sent_name(ac, k, i))
      suf_put_name(*nm, x, vals[size_t(i)], ac);
}

// The row of member k of constraint c, or -1 when it is outside.
int32_t member_row(constr* c, int32_t k, AC* ac) {
  cvgen& g = c->gen;
  if (g.n_in_prob) {
    if (!g.member_status) figalloc(c);
    k = (g.cmap ? g.cmap : make_cmap(c, ac))[k];
    if (k < 0) return -1;
  }
  return g.first_col + k;
}

// Stores v[0 .. m) as the current values of members k0 .. k0 + m - 1;
// returns how many changed.
int put_values(convar* d, int32_t k0, const double* v, int32_t m) {
  cvgen& g = d->gen;
  if (!g.cur_vals) vval_alloc(d);
  uint8_t* st = g.member_status + k0;
  double* cur = g.cur_vals + k0;
  int n = 0;
  for (int32_t k = 0; k < m; ++k) {
    double x = v[k];
    if ((st[k] & GS_HASVAL) && cur[k] == x) continue;
    cur[k] = x;
    st[k] |= GS_HASVAL;
    ++n;
  }
  return n;
}

// Stores v as member k's current value; true when it changed.
bool put_value(convar* d, int32_t k, double v) {
  return put_values(d, k, &v, 1) != 0;
}

// Copies the duals of c's members (none for a complementarity or a
// declaration wholly left out); returns how many changed.
int copy_con_duals(AC* ac, constr* c) {
  if (c->flags & (CV_TWOSLOTS | CV_ALLDROPPED)) return 0;
  int n = 0;
  const cvgen& g = c->gen;
  if (g.n_in_prob || g.first_col < 0) {
    for (int32_t k = 0; k < g.member_count; ++k) {
      int32_t r = member_row(c, k, ac);
      if (r >= 0 && r < ac->n_con && put_value(c, k, ac->con_duals[r])) ++n;
    }
  } else {
    // Member k is row first_col + k.
    int32_t m = std::min(g.member_count, ac->n_con - g.first_col);
    if (m > 0) n = put_values(c, 0, ac->con_duals + g.first_col, m);
  }
  if (n) solution_values(c);
  return n;
}

}  // namespace

int copy_ov(AC* ac, int primal) {
  int changed = 0;
  if (primal && ac->var_init_val) {
    for (int32_t i = 0; i < ac->n_var_decl; ++i) {
      auto* v = static_cast<convar*>(ac->var_decls[i]);
      int n = 0;
      for (int32_t k = 0; k < v->gen.member_count; ++k) {
        int32_t col = v->gen.first_col + k;
        // A column presolve solved out gets its value from its definition.
        double x = col < ac->n_var && ac->var_status &&
                           (ac->var_status[col] & DV_STALE)
                       ? column_value(ac, col, cur_tva)
                       : col < ac->n_var ? ac->var_init_val[col] : 0;
        if (col < ac->n_var && put_value(v, k, x)) ++n;
      }
      if (n) solution_values(v);
      changed += n;
    }
  }
  if (ac->con_duals)
    for (int32_t i = 0; i < ac->n_con_decl; ++i)
      changed += copy_con_duals(ac, static_cast<constr*>(ac->con_decls[i]));
  return changed;
}

int copy_unsent_duals(AC* ac) {
  if (!ac->con_duals) return 0;
  if (!ac->con_pos) return copy_ov(ac, 0);
  int changed = 0;
  for (int32_t i = 0; i < ac->n_con_decl; ++i) {
    auto* c = static_cast<constr*>(ac->con_decls[i]);
    if (c->flags & (CV_TWOSLOTS | CV_ALLDROPPED)) continue;
    const cvgen& g = c->gen;
    // Member k is row first_col + k, unless a map places the rows: such a
    // declaration is copied whole.
    bool unsent = g.n_in_prob || g.first_col < 0;
    int32_t end = g.first_col + std::min(g.member_count, ac->n_con - g.first_col);
    for (int32_t r = g.first_col; !unsent && r < end; ++r)
      unsent = ac->con_pos[r] >= ac->n_con_sent;
    if (unsent) changed += copy_con_duals(ac, c);
  }
  return changed;
}

int copy_dpov(AC* ac, int primal) {
  int n = copy_ov(ac, primal);
  auto* sc = static_cast<param*>(Solution_Count);
  if (double* c = sysparam_cell(sc)) set_sysparam(sc, *c + 1);
  return n;
}

void zap_cvals() {
  for (int k : {XC_CONS, XC_OBJS, XC_LOGCONS}) {
    for (int32_t i = 0; i < xclass[k].n; ++i) {
      cvgen& g = static_cast<convar*>(xclass[k].a[i])->gen;
      if (!g.body_cache || !g.member_status) continue;
      int32_t n = g.member_count * (xclass[k].a[i]->flags & CV_TWOSLOTS ? 2 : 1);
      for (int32_t j = 0; j < n; ++j) g.member_status[j] &= ~GS_BODY;
    }
  }
}

namespace {

// The counts a file is read against.
sol_counts counts_of(AC* ac) {
  sol_counts c{};
  c.n_var = ac->n_var_sent;
  c.n_con = ac->n_con_sent;
  c.n_obj = ac->n_obj;
  for (int k = 0; k < 4; ++k) c.ent[k] = sizeval(ac, k);
  return c;
}

// Installs the values of a sound file into the collected problem.
void install_values(const sol_data& d, AC* ac) {
  // With every row removed by presolve the solver has no dual to give;
  // the removed rows' duals are recovered from zeros (fixed_duals).
  if (d.duals.empty() && ac->n_con_sent == 0 && ac->n_con > 0 &&
      !d.primals.empty() && !ac->con_duals)
    ac->con_duals = static_cast<double*>(new_mblk(ac->con_class, 1));
  if (!d.duals.empty()) {
    if (!ac->con_duals) ac->con_duals = static_cast<double*>(
                            new_mblk(ac->con_class, 1));
    for (size_t i = 0; i < d.duals.size(); ++i) {
      int32_t r = ac->con_order_sent ? ac->con_order_sent[i] : int32_t(i);
      if (r >= 0 && r < ac->n_con) ac->con_duals[r] = round_value(d.duals[i]);
    }
  }
  for (size_t i = 0; i < d.primals.size(); ++i) {
    int32_t c = ac->var_order ? ac->var_order[i] : int32_t(i);
    if (c >= 0 && c < ac->n_var) ac->var_init_val[c] = round_value(d.primals[i]);
  }
  // The values of solved-out columns follow the new ones.
  if (!d.primals.empty() && ac->var_status)
    for (int32_t c = 0; c < ac->n_var; ++c)
      if (ac->var_status[c] & DV_DEFINED) ac->var_status[c] |= DV_STALE;
}

double counter(param* p) {
  double* c = sysparam_cell(p);
  return c ? *c : 0;
}

}  // namespace

int read_soln(char* stub, char* end_of_stub, redirect*) {
  if (need_prob) get_prob();
  name_error_block("error_soln");
  set_result(-1);
  set_sparam(solve_message, "?");
  struct unstub {
    char* e;
    ~unstub() {
      if (e) *e = 0;
    }
  } u{end_of_stub};
  if (end_of_stub) std::strcpy(end_of_stub, ".sol");
  AC* ac = new_ac();
  if (trans_state <= 2 && !output_time(ac, 3)) return SOL_PRESOLVE_FAILED;
  if (settled_message()) {
    known_result();
    return 0;
  }
  std::vector<uint8_t> bytes;
  if (!slurp(stub, &bytes)) {
    set_sysparam(solve_exitcode, 65536);
    serror("can't open %s\n", stub);
    mark_rc(2);
    return SOL_CANT_OPEN;
  }
  sol_data d;
  parse_soln(stub, bytes.data(), bytes.size(), counts_of(ac), &d);
  if (d.message_read) {
    set_sparam(solve_message, d.message.c_str());
    show_message(d);
    set_sysparam(last_solno, counter(last_solno) + 1);
  }
  int ndecl = 0;
  if (d.err) {
    // Nothing is installed: the values held before stay whole.
    for (const sol_suffix& s : d.sufs)
      if (s.bad_name) sufput(s, &ndecl, ac);
    serror("%s\n", d.errmsg.c_str());
    mark_rc(2);
    return d.err;
  }
  if (d.has_opts && !apply_options(d, ac)) return SOL_PRESOLVE_FAILED;
  for (const sol_suffix& s : d.sufs) sufput(s, &ndecl, ac);
  install_values(d, ac);
  set_result(d.has_result ? d.result : -1);
  if (d.has_objno) note_objective_outcome(ac, d.objno);
  copy_dpov(ac, 1);
  if (!d.primals.empty()) set_sysparam(primal_solno, counter(last_solno));
  if (!d.duals.empty()) set_sysparam(dual_solno, counter(last_solno));
  zap_cvals();
  int objno = d.has_objno ? d.objno : 0;
  if (solver_msg > 0) {
    if (objno == -1) {
      Fprintf(df, "Objective = find a feasible point.\n");
    } else if (objno >= 0 && objno < ac->n_obj) {
      if (ac->n_obj > 1 && ac->obj_names)
        Fprintf(df, "Objective = %s\n", obj_name(ac, objno));
    } else {
      if (ac->n_obj) Fprintf(df, "\n Invalid objno = %d\n", objno);
      objno = 0;
    }
    fflush_stdout();
  }
  ac->obj_no = objno;
  if (!d.primals.empty()) havesol |= 1;
  if (!d.duals.empty()) havesol |= 2;
  return 0;
}

}  // namespace vexo
