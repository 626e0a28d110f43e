// Expression graphs of the nl problem file.
#include "solver/nlexpr.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "eval/funclib.h"
#include "eval/optab.h"
#include "frontend/expr.h"
#include "instance/ac.h"
#include "instance/names.h"
#include "instance/varref.h"
#include "solver/nlwrite.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

nlvars nlv;
nluses nlu;

// elistput's constant, appended to a list for one call.
static expr* xtemp;

// ---- What the graphs of the write under way use (graph_setup).

// The imported functions called, by F segment number.
static std::vector<function*> fused;
// The defined variables sent, by their place in the file (number less
// n_var_sent): body, column, the graph segment they must stand before,
// the third field of their V line.
struct dvsent {
  int32_t body, col, pos, user;
};
static std::vector<dvsent> dvs;
// Per column: 1 + its place in dvs, 0 for a column that is no defined
// variable sent.
static std::vector<int32_t> dvnum;
// The defined-variable columns in file order, for defvars_sent.
static std::vector<int32_t> dvcols;
static size_t dv_next;    // the next of dvs that Vput writes
static int32_t dv_first;  // the file number of dvs[0] (n_var_sent)

// Forgets what the last write's graphs used.
static void uses_clear() {
  fused.clear();
  dvs.clear();
  dvnum.clear();
  dvcols.clear();
  dv_next = 0;
  dv_first = 0;
  nlu = {};
}

void nlexpr_reinit() {
  xtemp = nullptr;
  uses_clear();
}

namespace {

// One defined variable's uses while the graphs are scanned.
struct dvuse {
  int32_t ncon = 0, nobj = 0;  // constraints and objectives using it
  int32_t con1 = 0, obj1 = 0;  // the last of each
  int32_t first = -1;          // the segment of its first use
  int32_t stamp = -1;          // the last segment that counted it
  int32_t order = -1;          // its place in dependency order
  std::vector<int32_t> deps;   // bodies its own body refers to
};

// The scan: every node of the graphs in file order, noting the functions
// called and, per defined variable, which segments use it.  A defined
// variable's body is scanned at its first use, so that the ones it uses
// get their places in the order before it; later uses pass the segment
// on through the bodies it refers to.
struct use_scan {
  const AC* ac;
  std::vector<int32_t> colbody;  // per column: its body, or -1
  std::vector<dvuse> use;
  int32_t next_order = 0;
  int32_t seg = 0, user = 0;
  bool obj = false;
  std::vector<expr*> todo;
  std::vector<int32_t>* deps = nullptr;  // of the body being scanned

  void operand(expr*& x) {
    if (x) todo.push_back(x);
  }
  void chain(expr*& x) {
    for (expr* a = x; a; a = a->next) todo.push_back(a);
  }
  void args(expr*& x, bool) { chain(x); }
  static void operand_set(set*&) {}
  static void text(cstr*&) {}
  static void plain(expr*&) {}
  void func(xnode* x) {
    auto* fn = static_cast<function*>(x);
    if (fn && std::find(fused.begin(), fused.end(), fn) == fused.end())
      fused.push_back(fn);
  }
  static void ref(varref*&) {}
  static void block(expr*) {}

  void column(int32_t col) {
    if (col < 0 || size_t(col) >= colbody.size() || colbody[size_t(col)] < 0)
      return;
    int32_t k = colbody[size_t(col)];
    if (deps) deps->push_back(k);
    used(k);
  }

  void used(int32_t k) {
    dvuse& u = use[size_t(k)];
    if (u.stamp == seg) return;
    u.stamp = seg;
    if (obj) {
      ++u.nobj;
      u.obj1 = user;
    } else {
      ++u.ncon;
      u.con1 = user;
    }
    if (u.first < 0) {
      u.first = seg;
      std::vector<int32_t> d;
      std::vector<int32_t>* saved = deps;
      deps = &d;
      for (expr* x = ac->dv_bodies[k]; x; x = x->next) walk(x);
      deps = saved;
      use[size_t(k)].deps = std::move(d);
      use[size_t(k)].order = next_order++;
      return;
    }
    for (int32_t d : u.deps) used(d);
  }

  // The nodes of e, by an explicit stack (graphs may nest deeply).
  void walk(expr* e) {
    size_t base = todo.size();
    todo.push_back(e);
    while (todo.size() > base) {
      expr* x = todo.back();
      todo.pop_back();
      switch (shape(x)) {
        case SH_VARVAL:
          column(x->L.i);
          continue;
        case SH_LINPART:
          for (const varref* v = x->L.vr; v; v = vnext(v)) column(v->index);
          continue;
        case SH_PLTERM:
          column(static_cast<const plterm*>(x->L.p)->index);
          continue;
        default:
          visit_operands(x, *this);
      }
    }
  }

  void segment(expr* e, int32_t s, bool is_obj, int32_t u) {
    seg = s;
    obj = is_obj;
    user = u;
    for (; e; e = e->next) walk(e);
  }
};

// The class of a used defined variable, in the order of the file's
// groups (b, c, o, c1, o1), or 5 when nothing uses it.
int dv_group(const dvuse& u) {
  if (u.ncon && u.nobj) return 0;
  if (u.ncon > 1) return 1;
  if (u.nobj > 1) return 2;
  if (u.ncon == 1) return 3;
  if (u.nobj == 1) return 4;
  return 5;
}

// Numbers the used defined variables: by group, within a group in
// dependency order; each must stand before its first user and before
// every one numbered after it.
void number_defvars(const AC* ac, use_scan& sc) {
  std::vector<int32_t> ks;
  for (int32_t k = 0; k < int32_t(sc.use.size()); ++k)
    if (sc.use[size_t(k)].first >= 0) ks.push_back(k);
  std::sort(ks.begin(), ks.end(), [&](int32_t a, int32_t b) {
    const dvuse &x = sc.use[size_t(a)], &y = sc.use[size_t(b)];
    int gx = dv_group(x), gy = dv_group(y);
    return gx != gy ? gx < gy : x.order < y.order;
  });
  int32_t* count[5] = {&nlu.comb, &nlu.comc, &nlu.como, &nlu.comc1,
                       &nlu.como1};
  for (int32_t k : ks) {
    const dvuse& u = sc.use[size_t(k)];
    int g = dv_group(u);
    if (g > 4) continue;  // not reached: a variable scanned has a user
    ++*count[g];
    int32_t user = g == 3 ? 1 + u.con1 : g == 4 ? 1 + u.obj1 : 0;
    int32_t col = ac->dv_col[k];
    dvs.push_back({k, col, u.first, user});
    dvcols.push_back(col);
    dvnum[size_t(col)] = int32_t(dvs.size());
  }
  for (size_t j = dvs.size(); j-- > 1;)
    dvs[j - 1].pos = std::min(dvs[j - 1].pos, dvs[j].pos);
}

}  // namespace

void graph_setup(const AC* ac) {
  nlv.Nv = ac->n_var;
  nlv.Delta = 0;
  nlv.Vip = ac->var_pos;
  nlv.Vnames = ac->var_names;
  uses_clear();
  dv_first = ac->n_var_sent;
  use_scan sc;
  sc.ac = ac;
  if (ac->dv_bodies && ac->dv_col && ac->n_dv_bodies > 0) {
    sc.colbody.assign(size_t(std::max(ac->n_var, 0)), -1);
    sc.use.resize(size_t(ac->n_dv_bodies));
    for (int32_t k = 0; k < ac->n_dv_bodies; ++k) {
      int32_t c = ac->dv_col[k];
      if (c >= 0 && c < ac->n_var && ac->dv_bodies[k])
        sc.colbody[size_t(c)] = k;
    }
    dvnum.assign(sc.colbody.size(), 0);
  }
  int32_t s = 0;
  for (int32_t i = 0; i < ac->n_con_sent; ++i, ++s)
    sc.segment(ac->con_nonlin ? ac->con_nonlin[nl_con_row(ac, i)] : nullptr,
               s, false, s);
  for (int32_t i = 0; i < ac->n_logical_sent; ++i, ++s)
    sc.segment(ac->con_nonlin ? ac->con_nonlin[nl_logical_row(ac, i)]
                              : nullptr,
               s, false, s);
  for (int32_t i = 0; i < ac->n_obj; ++i, ++s)
    sc.segment(ac->obj_nonlin ? ac->obj_nonlin[nl_obj_row(ac, i)] : nullptr,
               s, true, i);
  nlu.n_funcs = int32_t(fused.size());
  // The marks of use (_SFUNCS, vexo_funclibs) follow the problem sent.
  zero_frefs();
  for (size_t i = 0; i < fused.size(); ++i) fused[i]->used = uint32_t(i + 1);
  if (!sc.use.empty()) number_defvars(ac, sc);
}

int32_t nl_con_row(const AC* ac, int32_t i) {
  return ac->con_order_sent ? ac->con_order_sent[i] : i;
}
int32_t nl_logical_row(const AC* ac, int32_t i) {
  return ac->con_order_sent[ac->n_con + ac->n_obj - ac->n_logical_sent + i];
}
int32_t nl_obj_row(const AC* ac, int32_t i) {
  return ac->obj_order ? ac->obj_order[i] : i;
}

// The type word of an imported function: 1 real, 3 symbolic, 4 more when
// random.
static int ftype_word(const function* fn) {
  return (fn->fflags & 0x100 ? 3 : 1) | (fn->fflags & 0x10000 ? 4 : 0);
}

void Fput(nlfile* f) {
  for (size_t i = 0; i < fused.size(); ++i) {
    const function* fn = fused[i];
    apr(f, "F%d %d %d %s\n", int(i), ftype_word(fn), int(fn->nargs),
        fn->name ? fn->name->name : "");
  }
}

const int32_t* defvars_sent(int32_t* n) {
  *n = int32_t(dvcols.size());
  return dvcols.data();
}

// The number in the file of column i: its place among the variables sent,
// or a defined variable's number.
static int32_t col_number(int32_t i) {
  if (size_t(i) < dvnum.size() && dvnum[size_t(i)])
    return dv_first + dvnum[size_t(i)] - 1;
  return nlv.Vip ? nlv.Vip[i] : i;
}

void Vput(nlfile* f, const AC* ac, int32_t s) {
  for (; dv_next < dvs.size() && (s < 0 || dvs[dv_next].pos <= s);
       ++dv_next) {
    const dvsent& d = dvs[dv_next];
    // The body's linear part, an OPLINPART node among its parts, gives the
    // V line's terms; the other parts its nonlinear part.
    expr** link = &ac->dv_bodies[d.body];
    while (*link && opcode(*link) != OPLINPART) link = &(*link)->next;
    expr* lin = *link;
    int n = 0;
    if (lin)
      for (const varref* v = lin->L.vr; v; v = vnext(v)) ++n;
    apr(f, "V%d %d %d\t#%s\n", dv_first + int32_t(dv_next), n, d.user,
        ac->var_names ? Xwho(&ac->var_names[d.col]) : "");
    if (lin) {
      for (const varref* v = lin->L.vr; v; v = vnext(v))
        apr(f, "%d %.16g\n", col_number(v->index), v->coef);
      *link = lin->next;
    }
    elistput(f, ac->dv_bodies[d.body], ac->dv_const ? ac->dv_const[d.body] : 0);
    if (lin) *link = lin;
  }
}

const char* Xwho0(const xname*) { return ""; }

// Operators the writer emits on its own, beside a node's own opcode.
enum : int {
  NL_PLUS = OPPLUS,
  NL_MINUS = OPMINUS,
  NL_MULT = OPMULT,
  NL_MIN = MINLIST,
  NL_MAX = MAXLIST,
  NL_NEG = OPUMINUS,
  NL_SUMLIST = OPSUMLIST,
  NL_IF = OPIFSYM65
};

static void oput(nlfile* f, int op) {
  apr(f, oput_fmt, op, op < N_OPNAMES && opname[op] ? opname[op] : "");
}
static void count_put(nlfile* f, int n) { apr(f, "%d\n", n); }

static int chain_len(const expr* e) {
  int n = 0;
  for (; e; e = e->next) ++n;
  return n;
}

// The variable item of index i.
static void var_put(nlfile* f, int32_t i) {
  if (i < nlv.Nv) {
    apr(f, "v%d\t#%s\n", col_number(i),
        nlv.Vnames ? Xwho(&nlv.Vnames[i]) : "");
  } else {
    // No defined variables are collected yet, so they have no names.
    apr(f, "v%d\t#nl(%s)\n", nlv.Vip ? nlv.Vip[i + nlv.Delta] : i, "");
  }
}

void v1put(nlfile* f, const varref* v) {
  if (v->coef == 1) {
  } else if (v->coef == -1) {
    oput(f, NL_NEG);
  } else {
    oput(f, NL_MULT);
    nput(f, v->coef);
  }
  var_put(f, v->index);
}

static bool is_number(const expr* e) {
  return opcode(e) == OPNUM && !(e->opword & 0x124);
}

// A min/max list (shape SH_ARGLIST): the optional leading operand in L,
// the list in R.
// The items of an argument chain: argument entries (OPARG) give their
// expressions, or their own chains when they hold one.
static void arg_items(expr* a, std::vector<expr*>& out) {
  for (; a; a = a->next) {
    if (opcode(a) != OPARG)
      out.push_back(a);
    else if (a->L.p)
      arg_items(a->R.e, out);
    else if (a->R.e)
      out.push_back(a->R.e);
  }
}

static void arglist_put(nlfile* f, expr* e) {
  int op = opcode(e);
  std::vector<expr*> items;
  if (e->L.e) items.push_back(e->L.e);
  arg_items(e->R.e, items);
  if (!e->L.e) {
    if (op == MINLIST2) op = NL_MIN;
    if (op == MAXLIST2) op = NL_MAX;
  }
  oput(f, op);
  count_put(f, int(items.size()));
  for (expr* a : items) eput(f, a);
}

// A piecewise-linear term: its slopes and breakpoints, then its variable.
static void plterm_put(nlfile* f, expr* e) {
  const plterm* t = static_cast<const plterm*>(e->L.p);
  oput(f, opcode(e));
  count_put(f, t->n_slopes);
  const double* b = const_cast<plterm*>(t)->bs();
  for (int32_t i = 0, n = 2 * t->n_slopes - 1; i < n; ++i) nput(f, b[i]);
  var_put(f, t->index);
}

static void linpart_put(nlfile* f, const varref* v) {
  int n = 0;
  for (const varref* t = v; t; t = vnext(t)) ++n;
  if (n == 1) {
    v1put(f, v);
    return;
  }
  if (n == 2) {
    oput(f, NL_PLUS);
  } else {
    oput(f, NL_SUMLIST);
    count_put(f, n);
  }
  for (; v; v = vnext(v)) v1put(f, v);
}

void eput(nlfile* f, expr* e) {
  int op = opcode(e);
  if (is_number(e)) {
    nput(f, e->L.d);
    return;
  }
  if (op == OPSTR) {
    const char* s = e->L.cs->text();
    apr(f, "h%d:%s\n", static_cast<int>(std::strlen(s)), s);
    return;
  }
  switch (op_types[op]) {
    case SH_UNARY:
    case SH_FUNC1:
    case SH_RECPAR:
      oput(f, op);
      eput(f, e->L.e);
      return;
    case SH_BINARY:
    case SH_FUNC2:
      oput(f, op);
      eput(f, e->L.e);
      // round(x), trunc(x) and precision(x) leave out their second
      // operand, which the file's binary form needs: 0 places.
      if (e->R.e)
        eput(f, e->R.e);
      else
        nput(f, 0);
      return;
    case SH_LIST:
      oput(f, op);
      count_put(f, chain_len(e->L.e));
      for (expr* a = e->L.e; a; a = a->next) eput(f, a);
      return;
    case SH_IF:
    case SH_IMPELSE:
      oput(f, op == OPIFSYMstr101 ? NL_IF : op);
      eput(f, e->L.e);
      eput(f, e->R.e->L.e);
      eput(f, e->R.e->R.e);
      return;
    case SH_TO_NUMBER:
      eput(f, e->L.e);
      return;
    case SH_VARVAL:
      var_put(f, e->L.i);
      return;
    case SH_PLTERM:
      plterm_put(f, e);
      return;
    case SH_CALL: {
      // Imported functions are numbered by the F segment (graph_setup);
      // each argument is an OPARG node holding the expression.
      const function* fn = static_cast<const function*>(e->L.x);
      int num = int(std::find(fused.begin(), fused.end(), fn) - fused.begin());
      int n = chain_len(e->R.e);
      apr(f, "f%d %d\t#%s\n", num, n, fn && fn->name ? fn->name->name : "");
      for (expr* a = e->R.e; a; a = a->next)
        eput(f, opcode(a) == OPARG ? a->R.e : a);
      return;
    }
    case SH_SUMLIST: {
      int n = chain_len(e->L.e);
      if (n > 2) {
        oput(f, op);
        count_put(f, n);
        for (expr* a = e->L.e; a; a = a->next) eput(f, a);
      } else {
        oput(f, NL_PLUS);
        expr* a = e->L.e;
        if (a) {
          eput(f, a);
          if (a->next)
            eput(f, a->next);
          else
            nput(f, 0);
        } else {
          nput(f, 0);
          nput(f, 0);
        }
      }
      return;
    }
    case SH_COUNTREL:
      oput(f, op);
      eput(f, e->L.e);
      arglist_put(f, e->R.e);
      return;
    case SH_ARGLIST:
      arglist_put(f, e);
      return;
    case SH_LINPART:
      linpart_put(f, e->L.vr);
      return;
    default:
      badtype("eput", e->opword);
  }
}

static bool is_neg(const expr* e) { return opcode(e) == OPUMINUS; }

void elistput(nlfile* f, expr* e, double c) {
  if (!e) {
    nput(f, c);
    return;
  }
  expr* last = e;
  while (last->next) last = last->next;
  if (c != 0) {
    if (!xtemp) xtemp = new_num(0);
    xtemp->L.d = c;
    xtemp->next = nullptr;
    last->next = xtemp;
  }
  int n = chain_len(e);
  if (n == 1) {
    eput(f, e);
  } else if (n == 2) {
    expr* b = e->next;
    if (is_neg(e)) {
      oput(f, NL_MINUS);
      eput(f, b);
      eput(f, e->L.e);
    } else if (is_neg(b)) {
      oput(f, NL_MINUS);
      eput(f, e);
      eput(f, b->L.e);
    } else {
      oput(f, NL_PLUS);
      eput(f, e);
      eput(f, b);
    }
  } else {
    int m = 0, k = 0;
    for (expr* a = e; a; a = a->next) {
      if (is_neg(a))
        ++m;
      else if (!is_number(a))
        ++k;
    }
    if (k + 1 >= m) {
      oput(f, NL_SUMLIST);
      count_put(f, n);
      for (expr* a = e; a; a = a->next) eput(f, a);
    } else {
      // Mostly negated terms: the negation of a sum of the negated terms.
      oput(f, NL_NEG);
      oput(f, NL_SUMLIST);
      count_put(f, n);
      for (expr* a = e; a; a = a->next) {
        if (is_number(a)) {
          nput(f, -a->L.d);
        } else if (is_neg(a)) {
          eput(f, a->L.e);
        } else {
          oput(f, NL_NEG);
          eput(f, a);
        }
      }
    }
  }
  last->next = nullptr;
}

}  // namespace vexo
