// Problem statistics on the display stream.
#include "instance/stats.h"

#include <cstdio>
#include <cstring>

#include "instance/ac.h"
#include "presolve/presolve.h"
#include "report/prex.h"
#include "session/cmdfiles.h"
#include "session/opttable.h"
#include "support/format.h"

namespace vexo {

// The plural ending of a count.
static const char* plural(int64_t n) { return n == 1 ? "" : "s"; }

void epsprint(double low, double high, double max, const char* name) {
  if (high > max) high = 0;
  if (low == 0 && high == 0) return;
  char line[256];
  int n = Snprintf(line, sizeof line, "Setting $presolve_%s", name);
  if (low != 0)
    n += Snprintf(line + n, sizeof line - size_t(n), " < %.3g", low * 0.8);
  if (high != 0) {
    char t[64];
    int m = Snprintf(t, sizeof t, "%s >= %.3g", low != 0 ? " or" : "",
                     high * 1.2);
    if (n + m > display_width) {
      Fprintf(df, "%s\n", line);
      n = 0;
    }
    n += Snprintf(line + n, sizeof line - size_t(n), "%s", t);
  }
  Fprintf(df, "%s%scould change presolve results.\n\n", line,
          n < display_width - 30 ? " " : "\n");
}

// Lines 2 to 7: what presolve, substitution and linearisation changed.
static void changes(const AC* ac) {
  // Logical constraints presolve turned into algebraic rows count as
  // algebraic ones.
  int L = ac->n_logical - ac->n_logical_sent - ac->n_pre_log_alg_con;
  int K = (ac->n_con + ac->n_con_added + ac->n_pre_log_alg_con) -
          (ac->n_subst_var + ac->n_logical + ac->n_con_sent);
  int V = ac->n_var - (ac->n_var_sent + ac->n_subst_var);
  bool changed = false;
  if (L == 0 && (K || V)) {
    Fprintf(df, "Presolve eliminates %d constraint%s", K, plural(K));
  } else if (L && K == 0) {
    Fprintf(df, "Presolve eliminates %d logical constraint%s", L, plural(L));
  } else if (L && K) {
    Fprintf(df, "Presolve eliminates %d arithmetic and ", K);
    Fprintf(df, "%d logical constraint%s", L, plural(L));
    if (V)
      Fprintf(df, ",\nand %d variable%s.\n", V, plural(V));
    else
      Fprintf(df, ".\n");
    changed = true;
  }
  if (!changed && (L || K || V)) {
    if (V)
      Fprintf(df, " and %d variable%s.\n", V, plural(V));
    else
      Fprintf(df, ".\n");
    changed = true;
  }
  if (ac->n_subst_var) {
    Fprintf(df, "Substitution eliminates %d variable%s.\n", ac->n_subst_var,
            plural(ac->n_subst_var));
    changed = true;
  }
  if (ac->n_pl_var_added) {
    int n = ac->n_pl_con + ac->n_pl_obj;
    Fprintf(df, "%d piecewise-linear term%s replaced by", n, plural(n));
    Fprintf(df, " %d variables and %d constraints.\n", ac->n_pl_var_added,
            ac->n_pl_con_added);
    changed = true;
  }
  if (ac->n_compl_sent != ac->n_compl) {
    Fprintf(df, "Presolve resolves %d of %d complementarity conditions.\n",
            ac->n_compl - ac->n_compl_sent, ac->n_compl);
    changed = true;
  }
  if (show_stats & 2) {
    Fprintf(df, "\"option presolve %d;\" used", presolve_opt);
    if (presolve_sug == presolve_opt)
      Fprintf(df, ".\n");
    else
      Fprintf(df, ", but \"option presolve %d;\" %s.\n", presolve_sug,
              presolve_sug > presolve_opt ? "might work better"
                                          : "would suffice");
  }
  if (changed) Fprintf(df, "Adjusted problem:\n");
}

static void variables(const AC* ac) {
  int N = ac->n_var_sent;
  int Q = ac->n_nlv_both + ac->n_nlv_con + ac->n_nlv_obj;
  int lin = N - Q - ac->n_lin_int - ac->n_lin_bin;
  // Counted in the order nonlinear, integer, binary, linear; listed in
  // the order binary, integer, nonlinear, linear.
  struct kind {
    const char* word;
    int n;
  } kinds[] = {{"binary", ac->n_lin_bin},
               {"integer", ac->n_lin_int},
               {"nonlinear", Q},
               {"linear", lin}};
  int nk = 0;
  const char* only = nullptr;
  for (const kind& k : kinds)
    if (k.n > 0) {
      ++nk;
      only = k.word;
    }
  if (ac->n_rand_var) {
    Fprintf(df, "%d random variable%s\n", ac->n_rand_var,
            plural(ac->n_rand_var));
    Fprintf(df, "%d decision variable%s", N, plural(N));
  } else {
    Fprintf(df, "%d variable%s", N, plural(N));
  }
  if (nk == 1) {
    Fprintf(df, ", all %s\n", only);
  } else if (nk == 0) {
    Fprintf(df, ";\n");
  } else {
    Fprintf(df, ":\n");
    for (const kind& k : kinds)
      if (k.n > 0) Fprintf(df, "\t%d %s variable%s\n", k.n, k.word, plural(k.n));
  }
}

static void constraints(const AC* ac) {
  int M = ac->n_con_sent, nl = ac->n_nonlin_con;
  int nlnet = ac->n_nonlin_net_con, lnet = ac->n_lin_net_con;
  int lin = M - nl - lnet;
  int nk = (nl != 0) + (lnet != 0) + (lin != 0);
  Fprintf(df, ac->n_logical_sent ? "%d algebraic constraint%s"
                                 : "%d constraint%s",
          M, plural(M));
  if (nk == 1)
    Fprintf(df, ", all %s",
            nl ? (nlnet == nl ? "nonlinear network" : "nonlinear")
               : lnet ? "linear network" : "linear");
  if (M)
    Fprintf(df, "; %zd nonzero%s\n", ac->jac_nonzeros,
            plural(ac->jac_nonzeros));
  else
    Fprintf(df, "\n");
  auto line = [](int n, const char* word) {
    if (n) Fprintf(df, "\t%d %s constraint%s\n", n, word, plural(n));
  };
  if (nk > 1) {
    line(nlnet, "nonlinear network");
    line(nl - nlnet, nlnet ? "general nonlinear" : "nonlinear");
    line(lnet, "linear network");
    line(lin, lnet ? "general linear" : "linear");
  }
  line(ac->n_eq_con, "equality");
  line(M - ac->n_eq_con - ac->n_range_con, "inequality");
  line(ac->n_range_con, "range");
  if (ac->n_logical_sent)
    Fprintf(df, "%d logical constraint%s\n", ac->n_logical_sent,
            plural(ac->n_logical_sent));
  if (ac->n_compl_sent)
    Fprintf(df, "%d %s\n\t%d linear, %d nonlinear.\n", ac->n_compl_sent,
            "complementarity conditions among the constraints:",
            ac->n_compl_lin, ac->n_compl_nonlin);
}

static void objectives(const AC* ac) {
  int n = ac->n_obj, nl = ac->n_nonlin_obj;
  if (n == 0)
    Fprintf(df, "0 objectives");
  else if (n == 1)
    Fprintf(df, "1 %slinear objective", nl ? "non" : "");
  else if (nl == 0)
    Fprintf(df, "%d objectives, all linear", n);
  else if (nl == n)
    Fprintf(df, "%d objectives, all nonlinear", n);
  else
    Fprintf(df, "%d objectives, %d nonlinear", n, nl);
  if (n)
    Fprintf(df, "; %zd nonzero%s", ac->grad_nonzeros,
            plural(ac->grad_nonzeros));
  Fprintf(df, ".\n\n");
}

void statshow(AC* ac) {
  if (!ac || (ac->n_con == 0 && ac->n_obj == 0)) return;
  Fprintf(df, "\n");
  changes(ac);
  variables(ac);
  constraints(ac);
  objectives(ac);
  if (ac->inteps_chg <= presolve_intepsmax)
    epsprint(ac->inteps_chg, ac->inteps_tol, presolve_intepsmax, "inteps");
  if (ac->eps_chg <= presolve_epsmax)
    epsprint(ac->eps_chg, ac->eps_tol, presolve_epsmax, "eps");
  if (ac->fixeps_chg <= presolve_fixepsmax)
    epsprint(ac->fixeps_chg, ac->fixeps_tol, presolve_fixepsmax, "fixeps");
  std::fflush(df);
}

}  // namespace vexo
