// The snapshot command and its printers.
#include "report/snapshot.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/values.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/vardcl.h"
#include "instance/members.h"
#include "instance/problem.h"
#include "report/dataprint.h"
#include "report/prex.h"
#include "report/prset.h"
#include "session/cmdfiles.h"
#include "session/environs.h"
#include "session/show.h"
#include "session/sysdecls.h"
#include "session/xref.h"
#include "support/format.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

bool is_problem(const xnode* d) {
  return d->kind == DK_PROB || d->kind == DK_PROBI;
}

// The user declarations of the classes a snapshot writes, by number.
std::vector<xnode*> snapshot_decls() {
  static const int classes[] = {
      XC_PROBS, XC_PARS,   XC_SETS,    XC_VARS,     XC_CONS,     XC_OBJS,
      XC_FUNCS, XC_CHECKS, XC_LOGCONS, XC_RANDVARS, XC_SUFFIXES, XC_TABLES};
  std::vector<xnode*> ds;
  for (int c : classes)
    for (int32_t i = 0; i < xclass[c].n; ++i)
      if (xnode* d = xclass[c].a[i]; d && d->num >= N_System_Pars)
        ds.push_back(d);
  std::sort(ds.begin(), ds.end(),
            [](const xnode* a, const xnode* b) { return a->num < b->num; });
  return ds;
}

// The value array of d: its current values, else its initial ones.
const double* value_array(const convar* d) {
  return d->gen.cur_vals ? d->gen.cur_vals : d->gen.init_vals;
}

// A number as the shortest text that reads back to it.
const char* num_text(double x) { return gfmt(x, 0, nullptr); }

// The values of a variable or constraint as data: "param x := v;" for a
// scalar, the members of an indexed one on lines of their own.
void values_as_data(FILE* f, const convar* d) {
  const double* v = value_array(d);
  const cvgen& g = d->gen;
  if (!v || g.member_count <= 0) return;
  if (!(d->kind & 1)) {
    Fprintf(f, "param %s := %s;\n", d->name->name, num_text(v[0]));
    return;
  }
  if (!g.members) return;
  Fprintf(f, "param %s :=", d->name->name);
  int32_t i = 0;
  for (setmem* m = g.members->first; m && i < g.member_count; m = m->next) {
    if (m->ord < 0) continue;
    Fprintf(f, "\n    %s %s",
            data_subscript(g.members->arity, m->tup()).c_str(), num_text(v[i]));
    ++i;
  }
  Fprintf(f, ";\n");
}

bool is_complementarity(const xnode* d) {
  return (d->kind == DK_CON || d->kind == DK_CONI) &&
         (static_cast<const convar*>(d)->flags & CV_TWOSLOTS);
}

}  // namespace

int print_model_snapshot(const std::vector<xnode*>& ds) {
  if (ds.empty()) bug("print_model_snapshot received an empty model");
  FILE* f = display_stream();
  disp_width = display_width;
  Fprintf(f, "###model-start\n");
  int nprob = 0;
  for (xnode* d : ds)
    if (!is_problem(d)) show1("", d, 0);
  for (xnode* d : ds) {
    if (!is_problem(d)) continue;
    show1(d->name->name, d, 0);
    ++nprob;
  }
  Fprintf(f, "###model-end\n\n");
  return nprob;
}

void print_convar_let(convar* d) {
  FILE* f = display_stream();
  const cvgen& g = d->gen;
  const double* cur = g.cur_vals;
  const double* init = g.init_vals;
  if (!cur || g.member_count <= 0) return;
  bool model = false;
  auto let = [&](const std::string& sub, int32_t i) {
    if (init && init[i] == cur[i]) return;
    if (!model) Fprintf(f, "model;\n");
    model = true;
    Fprintf(f, "let %s%s := %.g;\n", d->name->name, sub.c_str(), cur[i]);
  };
  if (!(d->kind & 1)) {
    let("", 0);
    return;
  }
  if (!g.members) return;
  int32_t i = 0;
  for (setmem* m = g.members->first; m && i < g.member_count; m = m->next) {
    if (m->ord < 0) continue;
    let(data_subscript(g.members->arity, m->tup()), i);
    ++i;
  }
}

void print_data_for_xnode_snapshot(const std::vector<xnode*>& ds, int mode,
                                   bool values) {
  FILE* f = display_stream();
  int32_t quotes = listing_quotes;
  listing_quotes = 1;
  disp_width = display_width;
  put("data");
  pbi_flush();
  for (xnode* d : ds) print_data1(d, mode);
  if (values) {
    for (xnode* d : ds) {
      bool is_var = d->kind == DK_VAR || d->kind == DK_VARI;
      bool is_con = d->kind == DK_CON || d->kind == DK_CONI;
      if (!is_var && !is_con) continue;
      if (is_complementarity(d)) {
        // Their values are not written: the pairs would need both slots.
        error(2,
              "snapshot: the values of complementarity constraint %s are "
              "not written.",
              d->name->name);
        continue;
      }
      if (is_var && static_cast<var*>(d)->init) {
        print_convar_let(static_cast<convar*>(d));
        put("data");
        pbi_flush();
        continue;
      }
      values_as_data(f, static_cast<convar*>(d));
    }
  }
  put("model");
  pbi_flush();
  listing_quotes = quotes;
}

void print_solver_solution_snapshot(FILE* f) {
  Fprintf(f, "\n###solution-start\n");
  cstr* msg = sparam_value(solve_message);
  if (msg && *msg->text())
    Fprintf(f, "let solve_message := %q;\n", msg->text());
  cstr* res = sparam_value(solve_result);
  if (res && res->text()[0] != '?')
    Fprintf(f, "let solve_result := %Q;\n", res->text());
  Fprintf(f, "###solution-end\n\n");
}

void print_var_fix(var* v) {
  FILE* f = display_stream();
  const cvgen& g = v->gen;
  const double* val = value_array(v);
  bool all = v->flags & CV_ALLDROPPED;
  if (!val || g.member_count <= 0) {
    // Fixed before it was generated: fixed at the value it will have.
    if (all) Fprintf(f, "fix %s;\n", v->name->name);
    return;
  }
  if (!(v->kind & 1)) {
    if (all || g.state_count > 0)
      Fprintf(f, "fix %s := %.g;\n", v->name->name, val[0]);
    return;
  }
  if (!g.members) return;
  int32_t i = 0;
  for (setmem* m = g.members->first; m && i < g.member_count; m = m->next) {
    if (m->ord < 0) continue;
    const uint8_t* st = g.member_status;
    if (all || (st && (st[i] & GS_DROPPED)))
      Fprintf(f, "fix %s%s := %.g;\n", v->name->name,
              data_subscript(g.members->arity, m->tup()).c_str(), val[i]);
    ++i;
  }
}

void snapshot_cmd(int bits, redirect* r, xrecomp* xr) {
  if (!bits) bits = 15;
  cstr* msg = sparam_value(solve_message);
  if (!msg || !*msg->text()) bits &= ~8;
  std::vector<xnode*> ds = snapshot_decls();
  dispfile(r, xr);
  FILE* f = display_stream();
  int32_t saved = in_snapshot;
  in_snapshot = 1;
  struct restore {
    int32_t v;
    ~restore() { in_snapshot = v; }
  } back{saved};
  Fprintf(f, "###snapshot-version: %s\n", "0.1.4");
  if (const char* mode = std::getenv("snapshot_mode"))
    Fprintf(f, "###snapshot-mode: %s\n", mode);
  if (ds.empty()) {
    if (bits & 4) show_env_and_options_snapshot(f);
    if (bits & 8) print_solver_solution_snapshot(f);
    fflush(f);
    return;
  }
  if (bits & 1) print_model_snapshot(ds);
  if (bits & 4) show_env_and_options_snapshot(f);
  Fprintf(f, "###current-problem/environment-start\n");
  curprob_cmd(r, xr);
  cur_environ(r, xr);
  Fprintf(f, "###current-problem/environment-end\n\n");
  if (bits & 2) {
    Fprintf(f, "###data-start\n");
    in_snapshot = 3;
    print_data_for_xnode_snapshot(ds, 1, (bits & 8) != 0);
    in_snapshot = 1;
    Fprintf(f, "###data-end\n\n");
  }
  Fprintf(f, "###objectives-start\n");
  objshow(r, xr);
  Fprintf(f, "###objectives-end\n\n");
  Fprintf(f, "###fixes-start\n");
  for (int32_t i = 0; i < xclass[XC_VARS].n; ++i)
    print_var_fix(static_cast<var*>(xclass[XC_VARS].a[i]));
  Fprintf(f, "###fixes-end\n\n");
  Fprintf(f, "###drop-restore-start\n");
  // With the member lines of a mostly dropped declaration: the members
  // left in the problem would be lost without them.
  dropshow_snapshot(0, r, xr, 1);
  Fprintf(f, "###drop-restore-end\n\n");
  if (bits & 8) print_solver_solution_snapshot(f);
  fflush(f);
}

}  // namespace vexo
