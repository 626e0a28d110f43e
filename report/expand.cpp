// The expand command (report/expand.h).
#include "report/expand.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "compiler/compdecl.h"
#include "compiler/compile.h"
#include "compiler/tva.h"
#include "eval/optab.h"
#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/names.h"
#include "instance/problem.h"
#include "instance/varref.h"
#include "instance/xcg.h"
#include "report/prex.h"
#include "session/batch.h"
#include "session/cmdfiles.h"
#include "session/execute.h"
#include "session/infiles.h"
#include "session/opttable.h"
#include "support/format.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/symbol.h"
#include "support/text.h"
#include "support/utf8.h"

namespace vexo {

int32_t Nv;

void expand_reinit() { Nv = 0; }

namespace {

// The output column, for wrapping at display_width.
int col;

// The command's view: the solver's (rows, columns and bounds as presolve
// sends them) or the model's; and, when collection left the terms by
// column only, the first row's terms found by a pass over the columns and,
// when the command writes more rows, every row's terms gathered once.
bool solver_view;
std::vector<std::vector<varref>> terms_by_row;
int rows_found;

// Writes one piece of text of width w, wrapping before it when it would
// pass display_width (never on a line holding no more than the tab).
void put(const std::string& s, int w) {
  if (col + w > display_width && col + w > 8) {
    Fprintf(df, "\n\t%s", s.c_str());
    col = w + 8;
  } else {
    Fprintf(df, "%s", s.c_str());
    col += w;
  }
}
void put(const std::string& s) { put(s, utflen(s.c_str())); }

// Starts a row body: the first piece always goes on a new line after a
// tab.
void body_start(const std::string& s) {
  col = display_width + 1;
  put(s);
}

std::string num(double x) {
  return expand_info.fmt(x, expand_info.active, nullptr);
}

const char* var_name(const AC* ac, int32_t j) {
  return xwho(&ac->var_names[j]);
}

// ---- Expressions ------------------------------------------------------------

void eput(const AC* ac, const expr* e, int parent_prec);

void putargs(const AC* ac, const expr* a) {
  put("(");
  for (bool first = true; a; a = a->next, first = false) {
    if (!first) put(", ");
    eput(ac, a, 0);
  }
  put(")");
}

int eprec(const expr* e) {
  int op = opcode(e);
  return op < int(prec.size()) ? prec[op] : 0;
}

void plput(const AC* ac, const plterm* t, int32_t col) {
  const double* b = const_cast<plterm*>(t)->bs();
  std::string s = "<<";
  for (int32_t i = 1; i < 2 * t->n_slopes - 1; i += 2) {
    if (i > 1) s += ", ";
    s += num(b[i]);
  }
  s += "; ";
  for (int32_t i = 0; i < 2 * t->n_slopes - 1; i += 2) {
    if (i) s += ", ";
    s += num(b[i]);
  }
  s += ">> ";
  put(s);
  put(var_name(ac, col));
}

void plput(const AC* ac, const plterm* t) { plput(ac, t, t->index); }

// The piecewise-linear terms of row i with their columns: from the row's
// list, or (once collection turned the rows into columns) from the
// columns' lists, whose entries carry the row.
std::vector<std::pair<int32_t, const plterm*>> row_pls(const AC* ac,
                                                       int32_t i) {
  std::vector<std::pair<int32_t, const plterm*>> r;
  if (ac->row_plterms) {
    for (const plterm* t = ac->row_plterms[i]; t; t = t->next)
      r.push_back({t->index, t});
  } else if (ac->col_plterms) {
    for (int32_t j = 0; j < ac->n_var; ++j)
      for (const plterm* t = ac->col_plterms[j]; t; t = t->next)
        if (t->index == i) r.push_back({j, t});
  }
  return r;
}

// One expression in infix form; parenthesised when it binds less tightly
// than its parent (parent_prec).
void eput(const AC* ac, const expr* e, int parent_prec) {
  int op = opcode(e);
  if (op == OPNUM) {
    put(num(e->L.d));
    return;
  }
  int p = eprec(e);
  bool paren = p && p < parent_prec;
  if (paren) put("(");
  switch (shape(e)) {
    case SH_BINARY:
      eput(ac, e->L.e, p);
      put(op_name(op));
      // A right operand of equal precedence is parenthesised: the
      // operators associate to the left (^ aside, which is rare here).
      eput(ac, e->R.e, p + 1);
      break;
    case SH_UNARY:
      put(op_name(op));
      eput(ac, e->L.e, p);
      break;
    case SH_FUNC1:
      put(op_name(op));
      put("(");
      eput(ac, e->L.e, 0);
      put(")");
      break;
    case SH_FUNC2:
      put(op_name(op));
      put("(");
      eput(ac, e->L.e, 0);
      // round(x) and trunc(x) leave out their second operand.
      if (e->R.e) {
        put(", ");
        eput(ac, e->R.e, 0);
      }
      put(")");
      break;
    case SH_SUMLIST:
      for (const expr* a = e->L.e; a; a = a->next) {
        if (a != e->L.e) put(" + ");
        eput(ac, a, p + 1);
      }
      break;
    case SH_LIST:
      put(op_name(op) ? op_name(op) : "");
      putargs(ac, e->L.e);
      break;
    case SH_IF:
      put("if ");
      eput(ac, e->L.e, 0);
      put(" then ");
      eput(ac, e->R.e->L.e, 0);
      put(" else ");
      eput(ac, e->R.e->R.e, 0);
      break;
    case SH_TO_NUMBER:
      eput(ac, e->L.e, parent_prec);
      break;
    case SH_VARVAL:
      if (e->L.i >= Nv)
        put(std::string(var_name(ac, e->L.i - Nv)) + ".nl");
      else
        put(var_name(ac, e->L.i));
      break;
    case SH_PLTERM:
      plput(ac, static_cast<const plterm*>(e->L.p));
      break;
    default:
      bug("unexpected nonvariable type %d = 0x%x in eput", int(shape(e)),
          unsigned(e->opword));
  }
  if (paren) put(")");
}

// ---- Rows -------------------------------------------------------------------

bool is_logical(const AC* ac, int32_t i) {
  return ac->con_kind && (ac->con_kind[i] & 6);
}

// The nonlinear parts of row i (a chain), or null.
const expr* row_nonlin(const AC* ac, int32_t i) {
  if (i >= ac->n_con)
    return ac->obj_nonlin ? ac->obj_nonlin[i - ac->n_con] : nullptr;
  return ac->con_nonlin ? ac->con_nonlin[i] : nullptr;
}

bool sent_var(const AC* ac, int32_t j) {
  return !solver_view || !ac->var_pos || ac->var_pos[j] < ac->n_var_sent;
}

// Whether the solver sees row i (objectives: always).
bool sent_row(const AC* ac, int32_t i) {
  return !solver_view || i >= ac->n_con || !ac->con_pos ||
         ac->con_pos[i] < ac->n_con_sent;
}

// Whether presolve ran and left column j or row i out of what it sends
// (the model's view notes them).
bool presolve_removed_var(const AC* ac, int32_t j) {
  return trans_state >= 3 && ac->var_pos && ac->var_pos[j] >= ac->n_var_sent;
}
bool presolve_removed_row(const AC* ac, int32_t i) {
  return trans_state >= 3 && i < ac->n_con && ac->con_pos &&
         ac->con_pos[i] >= ac->n_con_sent;
}

// Gathers every row's terms from the column lists, once per command.
void gather_rows(const AC* ac) {
  terms_by_row.assign(size_t(ac->n_con + ac->n_obj), {});
  for (int32_t j = 0; j < ac->n_var; ++j)
    for (const varref* v = ac->col_terms[j]; v; v = vnext(v))
      terms_by_row[size_t(v->index)].push_back(varref{0, j, v->coef});
}

// The member (slot) of its declaration that row i is, or -1: a
// constraint or objective member of one row each.
int64_t row_member(const AC* ac, int32_t i, const convar** d) {
  const xname& nm = i < ac->n_con ? ac->con_names[i]
                                  : ac->obj_names[i - ac->n_con];
  auto* c = static_cast<const convar*>(nm.decl);
  if (!c || (c->flags & CV_TWOSLOTS) || nm.tail) return -1;
  uint32_t k = c->kind & ~1u;
  if (k != DK_CON && k != DK_OBJ) return -1;
  *d = c;
  if (!(c->kind & 1)) return 0;
  if (!nm.subs || !c->gen.members) return -1;
  return set_lookup(c->gen.members, const_cast<setmem*>(nm.subs)->tup());
}

// Row i's terms found through the columns its generated member lists, each
// column's list walked up to the row: work in proportion to the row's
// columns, not to the model.  Only while the record is as collection made
// it (no presolve since, the members' lists not taken over), so that the
// row's columns are those of its member.  False when that does not hold.
bool row_from_member(const AC* ac, int32_t i, std::vector<varref>* t) {
  if (trans_state != 2 || at_eof || ac->n_defvar || !ac->col_terms)
    return false;
  const convar* d = nullptr;
  int64_t k = row_member(ac, i, &d);
  if (k < 0 || k >= d->gen.member_count) return false;
  if (!d->gen.lin) return true;  // no linear term
  for (const varref* m = d->gen.lin[k]; m; m = vnext(m)) {
    if (m->index < 0 || m->index >= ac->n_var) return false;
    for (const varref* v = ac->col_terms[m->index]; v && v->index <= i;
         v = vnext(v))
      if (v->index == i) t->push_back(varref{0, m->index, v->coef});
  }
  return true;
}

// Row i's terms from the column lists: through its member's columns when
// it can, else an expand of one row passes over the columns once and keeps
// nothing.
void row_from_columns(const AC* ac, int32_t i, std::vector<varref>* t) {
  if (!ac->col_terms) return;
  if (row_from_member(ac, i, t)) return;
  if (terms_by_row.empty() && !rows_found++) {
    for (int32_t j = 0; j < ac->n_var; ++j)
      for (const varref* v = ac->col_terms[j]; v; v = vnext(v))
        if (v->index == i) t->push_back(varref{0, j, v->coef});
    return;
  }
  if (terms_by_row.empty()) gather_rows(ac);
  if (size_t(i) < terms_by_row.size()) *t = terms_by_row[size_t(i)];
}

// The linear terms of row i in ascending column order (in the solver's
// view, those of the columns it sees), from the row lists or, when
// collection left the terms by column, from those.
std::vector<varref> vsort(const AC* ac, int32_t i) {
  std::vector<varref> t;
  if (ac->row_terms) {
    for (const varref* v = ac->row_terms[i]; v; v = vnext(v)) t.push_back(*v);
  } else {
    row_from_columns(ac, i, &t);
  }
  if (solver_view)
    std::erase_if(t, [&](const varref& v) { return !sent_var(ac, v.index); });
  std::stable_sort(t.begin(), t.end(), [](const varref& a, const varref& b) {
    return a.index < b.index;
  });
  return t;
}

// Row i's bounds as the command's view has them.
double row_lb(const AC* ac, int32_t i) {
  return solver_view && ac->con_lb_sent ? ac->con_lb_sent[i] : ac->con_lb[i];
}
double row_ub(const AC* ac, int32_t i) {
  return solver_view && ac->con_ub_sent ? ac->con_ub_sent[i] : ac->con_ub[i];
}

// Heading and body of row i (objectives are rows n_con and up).
void expand1(const AC* ac, int32_t i) {
  bool obj = i >= ac->n_con;
  int32_t j = i - ac->n_con;
  const xname* nm = obj ? &ac->obj_names[j] : &ac->con_names[i];
  const char* kw =
      obj ? (ac->obj_sense && ac->obj_sense[j] ? "maximize " : "minimize ") : "subject to ";
  Fprintf(df, "%s%s:", kw, xwho(nm));
  if (!solver_view && presolve_removed_row(ac, i))
    Fprintf(df, "  # Eliminated by presolve.");
  col = 0;
  double lb = obj ? -INFINITY : row_lb(ac, i);
  double ub = obj ? INFINITY : row_ub(ac, i);
  bool range = std::isfinite(lb) && std::isfinite(ub) && lb < ub;
  bool first = true;
  if (range) {
    body_start(num(lb));
    put(" <= ");
  }
  // The first term is written without a sign word.
  auto sep = [&](const char* s) {
    if (first) {
      if (!range) body_start("");
    } else {
      put(s);
    }
    first = false;
  };
  const expr* nl = row_nonlin(ac, i);
  for (; nl; nl = nl->next) {
    sep(" + ");
    eput(ac, nl, 0);
  }
  for (auto [col, t] : row_pls(ac, i)) {
    sep(" + ");
    plput(ac, t, col);
  }
  for (const varref& v : vsort(ac, i)) {
    double c = v.coef;
    if (c == 0) continue;
    std::string name = var_name(ac, v.index);
    std::string term;
    if (first) {
      term = c == 1 ? name : c == -1 ? "-" + name : num(c) + "*" + name;
      sep("");
      put(term);
      continue;
    }
    put(c < 0 ? " - " : " + ");
    double a = std::fabs(c);
    put(a == 1 ? name : num(a) + "*" + name);
  }
  double k = obj && ac->obj_const ? ac->obj_const[j] : 0;
  if (first) {
    sep("");
    put(k ? num(k) : "0");
  } else if (k) {
    put(k < 0 ? " - " : " + ");
    put(num(std::fabs(k)));
  }
  if (!obj) {
    if (range) {
      put(" <= ");
      put(num(ub));
    } else if (lb == ub) {
      put(" = ");
      put(num(ub));
    } else if (std::isfinite(ub)) {
      put(" <= ");
      put(num(ub));
    } else if (std::isfinite(lb)) {
      put(" >= ");
      put(num(lb));
    } else {
      put(" /* = free row */");
    }
  }
  Fprintf(df, ";\n\n");
}

// ---- Variables --------------------------------------------------------------

// Hands mark every column an expression uses.
template <class Mark>
void nl_vars(const expr* e, Mark& mark) {
  if (!e || opcode(e) == OPNUM) return;
  switch (shape(e)) {
    case SH_BINARY:
    case SH_FUNC2:
      nl_vars(e->L.e, mark);
      nl_vars(e->R.e, mark);
      break;
    case SH_UNARY:
    case SH_FUNC1:
    case SH_TO_NUMBER:
      nl_vars(e->L.e, mark);
      break;
    case SH_SUMLIST:
    case SH_LIST:
      for (const expr* a = e->L.e; a; a = a->next) nl_vars(a, mark);
      break;
    case SH_IF:
      nl_vars(e->L.e, mark);
      nl_vars(e->R.e->L.e, mark);
      nl_vars(e->R.e->R.e, mark);
      break;
    case SH_VARVAL:
      mark(e->L.i >= Nv ? e->L.i - Nv : e->L.i);
      break;
    case SH_PLTERM:
      mark(static_cast<const plterm*>(e->L.p)->index);
      break;
    default:
      break;
  }
}

// One column entry: the row and the coefficient, the row complemented
// for a nonlinear occurrence.
using colent = std::pair<int32_t, double>;

// The rows a variable's expansion lists, in its order: objectives first,
// then the constraints sent that are not logical.
template <class F>
void for_expanded_rows(const AC* ac, F row) {
  for (int32_t j = 0; j < ac->n_obj; ++j) row(ac->n_con + j);
  for (int32_t i = 0; i < ac->n_con; ++i)
    if (!is_logical(ac, i) && sent_row(ac, i)) row(i);
}

// The column lists of every variable: objectives first, then constraints;
// in a row, the nonlinear occurrences before the linear terms.
std::vector<std::vector<colent>> vxgen(const AC* ac) {
  std::vector<std::vector<colent>> cols(size_t(std::max(ac->n_var, 0)));
  // One marker per column, shared by the rows and cleared as it is read;
  // a row with no nonlinear or piecewise-linear part leaves it untouched
  // and is not scanned, so linear rows cost their terms only.
  std::vector<char> seen(cols.size(), 0);
  auto vxgen1 = [&](int32_t i) {
    bool marked = false;
    auto mark = [&](int32_t j) {
      if (j >= 0 && size_t(j) < seen.size()) seen[size_t(j)] = 1;
    };
    for (const expr* e = row_nonlin(ac, i); e; e = e->next) {
      nl_vars(e, mark);
      marked = true;
    }
    for (auto [col, t] : row_pls(ac, i)) {
      seen[size_t(col)] = 1;
      marked = true;
    }
    for (size_t j = 0; marked && j < seen.size(); ++j)
      if (seen[j]) {
        cols[j].push_back({~i, 0});
        seen[j] = 0;
      }
    for (const varref& v : vsort(ac, i)) {
      auto& c = cols[size_t(v.index)];
      if (c.empty() || c.back().first != ~i) c.push_back({i, v.coef});
    }
  };
  for_expanded_rows(ac, vxgen1);
  return cols;
}

// Column j's list as vxgen makes it, from the column's own terms and the
// rows' nonlinear and piecewise-linear parts: work in proportion to the
// rows, the column and the nonlinear parts, not to every row's terms.
// Only while the terms are by column alone.
std::vector<colent> vxcol(const AC* ac, int32_t j) {
  std::vector<colent> c;
  std::vector<std::pair<int32_t, double>> lin;
  for (const varref* v = ac->col_terms[j]; v; v = vnext(v))
    lin.push_back({v->index, v->coef});
  std::sort(lin.begin(), lin.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  auto vxcol1 = [&](int32_t i) {
    bool nl = false;
    auto mark = [&](int32_t k) { nl = nl || k == j; };
    for (const expr* e = row_nonlin(ac, i); e && !nl; e = e->next)
      nl_vars(e, mark);
    for (const plterm* t = ac->col_plterms ? ac->col_plterms[j] : nullptr;
         t && !nl; t = t->next)
      nl = t->index == i;
    if (nl) c.push_back({~i, 0});
    auto at = std::lower_bound(
        lin.begin(), lin.end(), i,
        [](const auto& a, int32_t r) { return a.first < r; });
    if (!nl && at != lin.end() && at->first == i) c.push_back(*at);
  };
  for_expanded_rows(ac, vxcol1);
  return c;
}

// The column lists: the first few variables expanded get their own, one
// at a time; more make every column's list at once.  An expand of rows
// alone needs none.
struct lazy_cols {
  const AC* ac;
  std::vector<std::vector<colent>> cols;
  bool made = false;
  int single = 0;
  std::vector<colent> one;
  const std::vector<colent>& of(int32_t j) {
    if (!made && single < 8 && ac->col_terms && !ac->row_terms &&
        !ac->row_plterms) {
      ++single;
      one = vxcol(ac, j);
      return one;
    }
    if (!made) {
      cols = vxgen(ac);
      made = true;
    }
    return cols[size_t(j)];
  }
};

const char* row_name(const AC* ac, int32_t i) {
  return i >= ac->n_con ? xwho(&ac->obj_names[i - ac->n_con])
                        : xwho(&ac->con_names[i]);
}

int int_part(const std::string& s) {
  size_t p = s.find('.');
  return int(p == std::string::npos ? s.size() : p);
}

void varexpand(const AC* ac, const std::vector<colent>& col_list, int32_t j) {
  Fprintf(df, "Coefficients of %s:", var_name(ac, j));
  if (ac->var_status && (ac->var_status[j] & 0x84) == 0x84)
    Fprintf(df, "  # Fixed.");
  else if (ac->var_status && (ac->var_status[j] & DV_DEFINED))
    Fprintf(df, "  # Defined variable.");
  else if (!solver_view && presolve_removed_var(ac, j))
    Fprintf(df, "  # Eliminated by presolve.");
  if (col_list.empty()) {
    Fprintf(df, "\n\t### None ###\n\n");
    return;
  }
  struct entry {
    std::string name, coef;
    bool nonlin;
  };
  std::vector<entry> ents;
  int wname = 0, wint = 0;
  for (const colent& c : col_list) {
    bool nonlin = c.first < 0;
    int32_t row = nonlin ? ~c.first : c.first;
    entry en{row_name(ac, row), nonlin ? num(0) : num(c.second), nonlin};
    wname = std::max(wname, utflen(en.name.c_str()));
    wint = std::max(wint, int_part(en.coef));
    ents.push_back(std::move(en));
  }
  for (const entry& en : ents) {
    int pad = wname - utflen(en.name.c_str()) + 2 + wint - int_part(en.coef);
    Fprintf(df, "\n\t%s%*s%s%s", en.name.c_str(), pad, "", en.coef.c_str(),
            en.nonlin ? " + nonlinear" : "");
  }
  Fprintf(df, "\n\n");
}

// ---- The solver's view for programs (_solexpand) ---------------------------

// A number as the numeric form writes it: hexadecimal floating point, or
// the shortest decimal text under no_hexfp.
void hexnum(double x) { Fprintf(df, no_hexfp ? "%.g" : "%a", x); }

// Member position of a row's instance among its declaration's instances.
int32_t member_pos(const xname* nm) { return nm->subs ? nm->subs->ord : 0; }

// Row i (objectives are rows n_con and up) in the line form: a header,
// the bounds or the objective's constant, the name, then a line per
// linear term with the solver's column numbers.
void solexpand1(const AC* ac, int32_t i) {
  bool obj = i >= ac->n_con;
  int32_t j = i - ac->n_con;
  if (!row_pls(ac, i).empty()) {
    Fprintf(df,
            "\nSorry, _solexpand does not yet handle piecewise-linear "
            "terms.\n");
    return;
  }
  if (!obj && ac->compl_var && ac->compl_var[i]) {
    Fprintf(df,
            "\nSorry, _solexpand does not yet handle complemenarity "
            "constraints.\n");
    return;
  }
  const xname* nm = obj ? &ac->obj_names[j] : &ac->con_names[i];
  std::vector<varref> t = vsort(ac, i);
  std::erase_if(t, [](const varref& v) { return v.coef == 0; });
  double lb = obj ? -INFINITY : row_lb(ac, i);
  double ub = obj ? INFINITY : row_ub(ac, i);
  int type = (std::isfinite(lb) ? 1 : 0) | (std::isfinite(ub) ? 2 : 0);
  Fprintf(df, "%s %d %d %zu %d",
          obj ? (ac->obj_sense && ac->obj_sense[j] ? "Max" : "Min") : "Con",
          int(member_pos(nm)), type, t.size(), row_nonlin(ac, i) ? 1 : 0);
  if (obj) {
    double k = ac->obj_const ? ac->obj_const[j] : 0;
    if (k == 0)
      Fprintf(df, " 0.");
    else
      Fprintf(df, " "), hexnum(k);
  } else {
    if (type & 1) Fprintf(df, " "), hexnum(lb);
    if (type & 2) Fprintf(df, " "), hexnum(ub);
  }
  Fprintf(df, " %s\n", xwho(nm));
  for (const varref& v : t) {
    Fprintf(df, "%d ", int(ac->var_pos ? ac->var_pos[v.index] : v.index));
    hexnum(v.coef);
    Fprintf(df, "\n");
  }
}

// One row in the command's form.
void row_out(const AC* ac, int32_t i, bool numeric) {
  if (numeric)
    solexpand1(ac, i);
  else
    expand1(ac, i);
}

// ---- Arguments --------------------------------------------------------------

void expand_entity(const AC* ac, const xnode* d,
                   lazy_cols* cols, bool numeric) {
  bool any = false, seen = false;
  if (d->kind == DK_VAR || d->kind == DK_VARI) {
    for (int32_t j = 0; j < ac->n_var; ++j)
      if (ac->var_names[j].decl == d) {
        seen = true;
        if (!sent_var(ac, j)) continue;
        varexpand(ac, cols->of(j), j);
        any = true;
      }
  } else if (d->kind == DK_OBJ || d->kind == DK_OBJI) {
    for (int32_t j = 0; j < ac->n_obj; ++j)
      if (ac->obj_names[j].decl == d) {
        row_out(ac, ac->n_con + j, numeric);
        any = seen = true;
      }
  } else {
    for (int32_t i = 0; i < ac->n_con; ++i)
      if (ac->con_names[i].decl == d && !is_logical(ac, i)) {
        seen = true;
        if (!sent_row(ac, i)) continue;
        row_out(ac, i, numeric);
        any = true;
      }
  }
  if (seen && !any)
    Fprintf(df, "# Presolve completely eliminated %s.\n", d->name->name);
}

// Member ord of d (-1: not generated): its row or column, found by its
// subscripts.
void expand_member(const AC* ac, const convar* d, int64_t ord,
                   lazy_cols* cols, bool numeric) {
  if (ord < 0) return;
  auto is_member = [&](const xname& nm) {
    if (nm.decl != d) return false;
    if (!(d->kind & 1) || !nm.subs) return ord == 0;
    return set_lookup(d->gen.members, const_cast<setmem*>(nm.subs)->tup()) ==
           ord;
  };
  auto unseen = [&](const xname* nm) {
    Fprintf(df, "\nBotch: %s is not seen by the solver.\n", xwho(nm));
  };
  // Where a member stands when every member of d holds its place (one
  // column, or one row, each, from the first); else the names are searched.
  const cvgen& g = d->gen;
  int64_t at = g.first_col >= 0 && !g.n_in_prob && !(d->flags & CV_TWOSLOTS)
                   ? g.first_col + ord
                   : -1;
  if (d->kind == DK_VAR || d->kind == DK_VARI) {
    if (at >= 0 && at < ac->n_var && is_member(ac->var_names[at])) {
      if (!sent_var(ac, int32_t(at))) return unseen(&ac->var_names[at]);
      return varexpand(ac, cols->of(int32_t(at)), int32_t(at));
    }
    for (int32_t j = 0; j < ac->n_var; ++j)
      if (is_member(ac->var_names[j])) {
        if (!sent_var(ac, j)) return unseen(&ac->var_names[j]);
        return varexpand(ac, cols->of(j), j);
      }
  } else if (d->kind == DK_OBJ || d->kind == DK_OBJI) {
    if (at >= 0 && at < ac->n_obj && is_member(ac->obj_names[at]))
      return row_out(ac, ac->n_con + int32_t(at), numeric);
    for (int32_t j = 0; j < ac->n_obj; ++j)
      if (is_member(ac->obj_names[j]))
        return row_out(ac, ac->n_con + j, numeric);
  } else {
    if (at >= 0 && at < ac->n_con && is_member(ac->con_names[at]) &&
        !is_logical(ac, int32_t(at))) {
      if (!sent_row(ac, int32_t(at))) return unseen(&ac->con_names[at]);
      return row_out(ac, int32_t(at), numeric);
    }
    for (int32_t i = 0; i < ac->n_con; ++i)
      if (is_member(ac->con_names[i]) && !is_logical(ac, i)) {
        if (!sent_row(ac, i)) return unseen(&ac->con_names[i]);
        return row_out(ac, i, numeric);
      }
  }
}

}  // namespace

void expand_cmd(int variant, expr* items, redirect* r, xrecomp* xr) {
  if (!xcg(0)) return;
  AC* ac = new_ac();
  solver_view = variant != 0;
  bool numeric = variant == 2;
  if (trans_state < (solver_view ? 3 : 2)) {
    ac = output_time(ac, solver_view ? 3 : 2);
    if (!ac) return;
  }
  if (solver_view) set_lubs(ac);
  dispfile(r, xr);
  Nv = ac->n_var;
  rows_found = 0;
  if (!items) {
    for (int32_t j = 0; j < ac->n_obj; ++j)
      row_out(ac, ac->n_con + j, numeric);
    if (solver_view && ac->con_order_sent) {
      for (int32_t k = 0; k < ac->n_con_sent; ++k) {
        int32_t i = ac->con_order_sent[k];
        if (i < ac->n_con && !is_logical(ac, i)) row_out(ac, i, numeric);
      }
    } else {
      for (int32_t i = 0; i < ac->n_con; ++i)
        if (!is_logical(ac, i) && sent_row(ac, i)) row_out(ac, i, numeric);
    }
  } else {
    lazy_cols cols{ac, {}, false, 0, {}};
    compile_start();
    compile_items(items);
    tva_hold h{compile_end(xr)};
    item_visitor v;
    v.whole = [&](convar* d) { expand_entity(ac, d, &cols, numeric); };
    v.member = [&](convar* d, int64_t ord) {
      expand_member(ac, d, ord, &cols, numeric);
    };
    v.synonym = [&](int k) {
      if (k == 13) {
        error(0, "Cannot expand _scvar.");
        bailout();
      }
      return false;
    };
    items_walk(items, h.t, v);
  }
  terms_by_row.clear();
  terms_by_row.shrink_to_fit();
  fflush(df);
}

}  // namespace vexo
