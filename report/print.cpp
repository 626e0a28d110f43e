// The print and printf commands.
#include "report/print.h"

#include <cstdio>

#include "compiler/compile.h"
#include "compiler/tva.h"
#include "eval/builtin.h"
#include "eval/dispatch.h"
#include "eval/funcall.h"
#include "eval/iterate.h"
#include "frontend/expr.h"
#include "instance/xcg.h"
#include "report/indextab.h"
#include "report/prex.h"
#include "session/cmdfiles.h"
#include "session/cmdrec.h"
#include "session/execute.h"
#include "session/include.h"
#include "session/located.h"
#include "session/loop.h"
#include "support/format.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

int pr_cmd;
int pr_badnames;

num_format print_info = {gfmt, 0, 0};
const char* print_separator = " ";
const char* printf_fmt;
int32_t pr_rc;
int32_t dispquit;

double r_print(arglist* al) {
  size_t n;
  int k;
  char* s = format(al, &n, &k, nullptr, print_separator, print_info.fmt,
                   print_info.active);
  FILE* f = display_stream();
  Fprintf(f, "%s\n", s);
  item_written(f);
  del_mblk(k, s);
  return static_cast<double>(n);
}

double r_printf(arglist* al) {
  size_t n;
  int k;
  char* s = format(al, &n, &k, printf_fmt, nullptr, gfmt, 0);
  FILE* f = display_stream();
  // All n bytes: a NUL made by %c of "" or a \0 escape must not cut the
  // rest of the text off.
  for (size_t i = 0; i < n; ++i) {
    Fprintf(f, "%s", s + i);
    i += strlen(s + i);
    if (i < n) Fprintf(f, "%c", 0);
  }
  item_written(f);
  del_mblk(k, s);
  return static_cast<double>(n);
}

int process1(xnode*, const xnode* spare) {
  int bad = pr_badnames;
  pr_badnames = 0;
  pr_rc = rc;
  if (pr_rc > 7 || warnings > warn0) ++bad;
  if (bad) {
    end_all_contexts();
    if (pr_rc > 3) {
      if (!bailquit && !dispquit++)
        error(0, "Use \"reset;\" to continue.");
      else
        bug("Stopping because of previous severe errors.");
    }
    return bad;
  }
  if (pr_rc <= 3) clear_rc();
  // The declarations the command cites, and what they depend on, brought
  // up to date (collection is not built: the generated instance serves).
  pr_cmd = 1;
  if (!xcg(0, spare)) {
    pr_cmd = 0;
    return 1;
  }
  return 0;
}

void note_bad_name(bool only_in_item) {
  if (pr_cmd || !only_in_item) pr_badnames = 1;
}

void forget_bad_names() { pr_badnames = 0; }

bool take_bad_names() {
  bool was = pr_badnames != 0;
  pr_badnames = 0;
  return was;
}

void end_print_cmd() { pr_cmd = 0; }

void print_reset() {
  pr_cmd = pr_badnames = 0;
  printf_fmt = nullptr;
  pr_rc = 0;
  dispquit = 0;
}

namespace {

// What a print or printf command holds while it runs, released however it
// ends: its evaluation context, the format's text, the command flags.
struct print_state {
  TVA* t = nullptr;
  cstr* fmt = nullptr;
  ~print_state() {
    if (t) del_tva(t);
    zap_cstr(&fmt);
    printf_fmt = nullptr;
    pr_cmd = 0;
  }
};

// One output: the format's text when it is computed, then the call.
void once(print_state& st, expr** fmt, bool fmt_const, expr* call, TVA* c) {
  if (fmt && !fmt_const) {
    zap_cstr(&st.fmt);
    printf_fmt = nullptr;
    st.fmt = format_text(*fmt, c);
    printf_fmt = st.fmt->text();
  }
  eval(call, c);
}

void run(set_spec* ix, expr** fmt, expr** call, redirect* r, xrecomp* xr) {
  print_state st;
  pr_cmd = 1;
  // A constant format is the text itself.
  bool fmt_const = fmt && *fmt && opcode(*fmt) == OPSTR;
  if (fmt_const) printf_fmt = (*fmt)->L.cs->text();
  // The output: the redirection's file (which stays open for later
  // commands), else the standard output.  A computed name under an
  // indexing is opened for each member.
  bool each = dispfile_each(r, ix);
  dispfile(each ? nullptr : r, xr);
  compile_start();
  if (ix) ss_setup(ix, nullptr);
  if (each) dispfile_compile(r);
  if (fmt && !fmt_const) mri(fmt, 1);
  mri(call, 1);
  if (ix) ss_teardown(ix);
  st.t = compile_end(xr);
  if (!ix) {
    once(st, fmt, fmt_const, *call, st.t);
    return;
  }
  // Once per member of the indexing, in order; a format that is not a
  // constant is evaluated for each member (it may depend on the dummies).
  if (TVA* c = ss_begin(ix, st.t)) {
    do {
      if (each) dispfile_member(r, c);
      once(st, fmt, fmt_const, *call, c);
    } while (ss_continue(ix, c));
  }
}

}  // namespace

cstr* format_text(expr* e, TVA* t) {
  if (has_flag(e, EF_STRING)) return eval_str(e, t);
  if (has_flag(e, EF_NUMERIC)) {
    int64_t n = 0;
    return new_cstring(gfmt(eval_num(e, t), 0, &n));
  }
  return new_cstring(eval_sym(e, t)->name);
}

void print_cmd(set_spec* ix, expr** call, redirect* r, xrecomp* xr) {
  if (process1(nullptr)) return;
  run(ix, nullptr, call, r, xr);
}

void printf_cmd(set_spec* ix, expr** fmt, expr** call, redirect* r,
                xrecomp* xr) {
  if (process1(nullptr)) return;
  run(ix, fmt, call, r, xr);
}

}  // namespace vexo
