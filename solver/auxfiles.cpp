// The auxiliary files beside the problem file.
#include "solver/auxfiles.h"

#include <cstdio>
#include <cstring>

#include "frontend/decl.h"
#include "frontend/reader.h"
#include "instance/ac.h"
#include "instance/names.h"
#include "session/environs.h"
#include "session/opttable.h"
#include "solver/nlexpr.h"
#include "solver/nlwrite.h"
#include "solver/solve.h"
#include "support/format.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

bool aux_wanted(const AC* ac, char c) {
  if (!auxfiles) return false;
  if (std::strchr(auxfiles, c)) return true;
  char u = static_cast<char>(c - 'a' + 'A');
  if (!std::strchr(auxfiles, u)) return false;
  return ac->n_nlv_both + ac->n_nlv_con + ac->n_nlv_obj + ac->n_lin_bin +
             ac->n_lin_int >
         0;
}

// One auxiliary file under way: its name and the open file.
struct auxfile {
  mstr* name;
  FILE* f;
};

static void aux_name(auxfile* a, const char* stub, const char* ext) {
  a->name = nullptr;
  a->f = nullptr;
  mprintf(&a->name, "%s.%s", stub, ext);
}

// Opens the named file; on failure the name is freed and the command
// abandoned.
static void aux_open(auxfile* a) {
  try {
    a->f = nl_fopen(mstr_val(a->name));
  } catch (...) {
    mstr_free(&a->name);
    throw;
  }
}

static void aux_close(auxfile* a) {
  bool bad = std::fclose(a->f) != 0;
  a->f = nullptr;
  if (bad) {
    error(0, "can't write %s", mstr_val(a->name));
    mstr_free(&a->name);
    bailout();
  }
  if (show_files & 2) Printf("File %s\n", mstr_val(a->name));
  mstr_free(&a->name);
}

// A selected file with nothing to list: an old one goes.
static void aux_drop(auxfile* a) {
  std::remove(mstr_val(a->name));
  mstr_free(&a->name);
}

static int32_t var_at(const AC* ac, int32_t p) {
  return ac->var_order ? ac->var_order[p] : p;
}
static const char* var_name(const AC* ac, int32_t v) {
  return ac->var_names ? xwho(&ac->var_names[v]) : "";
}
static const char* con_name(const AC* ac, int32_t r) {
  return ac->con_names ? xwho(&ac->con_names[r]) : "";
}

static int row_file(AC* ac, const char* stub) {
  auxfile a;
  aux_name(&a, stub, "row");
  if (ac->n_var_sent <= 0) {
    aux_drop(&a);
    return 0;
  }
  aux_open(&a);
  maxnamelen = 0;
  for (int32_t i = 0; i < ac->n_con_sent; ++i)
    Fprintf(a.f, "%s\n",
            con_name(ac, ac->con_order_sent ? ac->con_order_sent[i] : i));
  for (int32_t i = 0; i < ac->n_logical_sent; ++i)
    Fprintf(a.f, "%s\n", con_name(ac, nl_logical_row(ac, i)));
  for (int32_t j = 0; j < ac->n_obj; ++j) {
    int32_t k = ac->obj_order ? ac->obj_order[j] : j;
    Fprintf(a.f, "%s\n", ac->obj_names ? xwho(&ac->obj_names[k]) : "");
  }
  aux_close(&a);
  return maxnamelen;
}

// The constraints presolve removed, in their own order; their names
// beginning with "=" (made by the system) are left out.
static void slc_file(AC* ac, const char* stub) {
  auxfile a;
  aux_name(&a, stub, "slc");
  int32_t nc = ac->n_con;
  if (nc <= ac->n_con_sent + ac->n_logical_sent || !ac->con_names) {
    aux_drop(&a);
    return;
  }
  int k = htcl(size_t(nc) + 1);
  char* kept = static_cast<char*>(new_mblk(k, 1));
  for (int32_t i = 0; i < ac->n_con_sent; ++i)
    kept[ac->con_order_sent ? ac->con_order_sent[i] : i] = 1;
  for (int32_t i = 0; i < ac->n_logical_sent; ++i)
    kept[nl_logical_row(ac, i)] = 1;
  int32_t marked = 0;
  for (int32_t r = 0; r < nc; ++r) {
    const xnode* d = ac->con_names[r].decl;
    if (kept[r] || (d && d->name && d->name->name[0] == '='))
      kept[r] = 1;
    else
      ++marked;
  }
  if (!marked) {
    del_mblk(k, kept);
    aux_drop(&a);
    return;
  }
  try {
    aux_open(&a);
  } catch (...) {
    del_mblk(k, kept);
    throw;
  }
  for (int32_t r = 0; r < nc; ++r)
    if (!kept[r]) Fprintf(a.f, "%s\n", con_name(ac, r));
  del_mblk(k, kept);
  aux_close(&a);
}

// With letter d the names of the defined variables the nl file sends
// follow the variables' (graph_setup found them).
static int col_file(AC* ac, const char* stub, bool defined) {
  auxfile a;
  aux_name(&a, stub, "col");
  if (ac->n_var_sent <= 0) {
    aux_drop(&a);
    return 0;
  }
  aux_open(&a);
  maxnamelen = 0;
  for (int32_t p = 0; p < ac->n_var_sent; ++p)
    Fprintf(a.f, "%s\n", var_name(ac, var_at(ac, p)));
  if (defined) {
    int32_t n;
    const int32_t* cols = defvars_sent(&n);
    for (int32_t i = 0; i < n; ++i)
      Fprintf(a.f, "%s\n", var_name(ac, cols[i]));
  }
  int len = maxnamelen;
  aux_close(&a);
  return len;
}

// How presolve removed the column at writer position p (beyond the sent
// ones): 'u' unused (a member left out), '=' substituted out by an
// equality, '!' eliminated by a linear definition, '?' defined by an
// expression, 'f' fixed.
static char removed_kind(const AC* ac, int32_t p) {
  if (p < ac->n_var_sent + ac->n_subst_var) return '=';
  if (!ac->var_status) return 'f';
  uint32_t s = ac->var_status[var_at(ac, p)];
  if ((s & 0x84) == 0x84) return 'u';
  if (s & DV_LINEAR) return '!';
  if (s & DV_NONLIN) return '?';
  return 'f';
}

static void unv_file(AC* ac, const char* stub) {
  auxfile a;
  aux_name(&a, stub, "unv");
  int32_t n = 0;
  for (int32_t p = ac->n_var_sent; p < ac->n_var; ++p)
    n += removed_kind(ac, p) == 'u';
  if (!n) {
    aux_drop(&a);
    return;
  }
  aux_open(&a);
  for (int32_t p = ac->n_var_sent; p < ac->n_var; ++p)
    if (removed_kind(ac, p) == 'u')
      Fprintf(a.f, "%s\n", var_name(ac, var_at(ac, p)));
  aux_close(&a);
}

static void fix_file(AC* ac, const char* stub) {
  auxfile a;
  aux_name(&a, stub, "fix");
  int32_t fixed = 0, elim = 0;
  for (int32_t p = ac->n_var_sent; p < ac->n_var; ++p) {
    char c = removed_kind(ac, p);
    fixed += c == 'f';
    elim += c != 'f' && c != 'u';
  }
  if (!elim && !(fixed && aux_wanted(ac, 'v'))) {
    aux_drop(&a);
    return;
  }
  aux_open(&a);
  // The values go through the item writer (in output_precision); the TAB
  // goes in by itself, since the item writer stops at a TAB.
  nlfile f;
  nl_open_buf(&f, a.f);
  for (int32_t p = ac->n_var; --p >= ac->n_var_sent;)
    if (removed_kind(ac, p) == 'f') {
      int32_t v = var_at(ac, p);
      const char* nm = var_name(ac, v);
      nl_put(&f, nm, std::strlen(nm));
      nl_put(&f, "\t", 1);
      aprintf(&f, "%.16g\n", ac->var_lb[v]);
    }
  nl_flush(&f);
  del_mblk(f.k, f.buf);
  for (int32_t p = ac->n_var_sent; p < ac->n_var; ++p) {
    char c = removed_kind(ac, p);
    if (c != 'f' && c != 'u')
      Fprintf(a.f, "%s\t%c\n", var_name(ac, var_at(ac, p)), c);
  }
  aux_close(&a);
}

static void adj_file(AC* ac, const char* stub) {
  auxfile a;
  aux_name(&a, stub, "adj");
  aux_open(&a);
  nlfile f;
  nl_open_buf(&f, a.f);
  if (!ac->n_obj) aprintf(&f, "'<no_objectives>' 0\n");
  for (int32_t j = 0; j < ac->n_obj; ++j) {
    int32_t k = ac->obj_order ? ac->obj_order[j] : j;
    aprintf(&f, "'%s'  %.16g\n", ac->obj_names ? xwho(&ac->obj_names[k]) : "",
            ac->obj_const ? ac->obj_const[k] : 0.0);
  }
  nl_flush(&f);
  del_mblk(f.k, f.buf);
  aux_close(&a);
}

static void env_file(const char* stub) {
  auxfile a;
  aux_name(&a, stub, "env");
  aux_open(&a);
  write_environ(a.f);  // closes the file
  if (show_files & 2) Printf("File %s\n", mstr_val(a.name));
  mstr_free(&a.name);
}

void aux_before(AC* ac, const char* stub, int lens[2]) {
  lens[0] = lens[1] = 0;
  if (!*stub) return;
  if (aux_wanted(ac, 'e')) env_file(stub);
  if (aux_wanted(ac, 'r')) lens[0] = row_file(ac, stub);
  if (aux_wanted(ac, 's')) slc_file(ac, stub);
  if (aux_wanted(ac, 'c') || aux_wanted(ac, 'd'))
    lens[1] = col_file(ac, stub, aux_wanted(ac, 'd'));
  if (aux_wanted(ac, 'u')) unv_file(ac, stub);
  if (aux_wanted(ac, 'f')) fix_file(ac, stub);
  if (aux_wanted(ac, 'a')) adj_file(ac, stub);
}

void aux_spc(AC* ac, const char* stub) {
  if (!*stub) return;
  auxfile a;
  aux_name(&a, stub, "spc");
  if (!aux_wanted(ac, 'p') || ac->n_var_sent <= 0) {
    aux_drop(&a);
    return;
  }
  aux_open(&a);
  char name[512];
  prob_name(stub, name, sizeof name);
  int32_t nrows = ac->n_con_sent + ac->n_obj;
  // The nonzeros the problem file sent: the Jacobian in writer order holds
  // the nonlinear entries too.
  int64_t nz = ac->jac_nonzeros + ac->grad_nonzeros;
  if (const jacsort* J = ac->jac_sorted) nz = J->nzc + J->nzo;
  Fprintf(a.f,
          "BEGIN %s\nROWS %d\nCOLUMNS %d\n*true value: COLUMNS %d\n"
          "ELEMENTS %ld\n",
          name, nrows, ac->n_var_sent + 1, ac->n_var_sent,
          long(nz));
  if (ac->n_nonlin_con + ac->n_nonlin_obj + ac->n_nlv_both + ac->n_nlv_con +
          ac->n_nlv_obj >
      0) {
    int nlvc, nlvo, nlvb;
    nl_var_counts(ac, &nlvc, &nlvo, &nlvb);
    Fprintf(a.f, "NONLINEAR CONSTRAINTS %d\nJACOBIAN SPARSE\n",
            ac->n_nonlin_con);
    if (ac->n_nonlin_obj && nlvo == nlvc)
      Fprintf(a.f, "NONLINEAR VARIABLES %d\n", nlvc);
    else if (ac->n_nonlin_obj)
      Fprintf(a.f,
              "PROBLEM NUMBER %d\n* For nonlinear objectives, i.e., 0 <= "
              "PROBLEM NUMBER < %d, use\n*NONLINEAR OBJECTIVE VARIABLES "
              "%d\nNONLINEAR OBJECTIVE VARIABLES %d\nNONLINEAR JACOBIAN "
              "VARIABLES %d\n",
              ac->n_obj, ac->n_obj, nlvo, 0, nlvc);
    else
      Fprintf(a.f,
              "NONLINEAR OBJECTIVE VARIABLES %d\nNONLINEAR JACOBIAN "
              "VARIABLES %d\n",
              nlvo, nlvc);
  }
  if (ac->n_obj) {
    int32_t k0 = ac->obj_order ? ac->obj_order[0] : 0;
    bool max0 = ac->obj_sense && ac->obj_sense[k0];
    Fprintf(a.f, "M%sIMIZE\nOBJECTIVE R%.4d\n", max0 ? "AX" : "IN",
            ac->n_con_sent + 1);
    for (int32_t j = 0; j < ac->n_obj; ++j) {
      int32_t k = ac->obj_order ? ac->obj_order[j] : j;
      bool mx = ac->obj_sense && ac->obj_sense[k];
      Fprintf(a.f, "* M%sIMIZE R%.4d = %s\n", mx ? "AX" : "IN",
              ac->n_con_sent + j + 1,
              ac->obj_names ? xwho(&ac->obj_names[k]) : "");
    }
  }
  if (spec_insert && *spec_insert) Fprintf(a.f, "%s\n", spec_insert);
  Fprintf(a.f, "END %s\n", name);
  aux_close(&a);
}

}  // namespace vexo
