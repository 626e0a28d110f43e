// The nl problem file: header, segments, and the two item writers.
#include "solver/nlwrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <limits>
#include <vector>

#include "eval/funclib.h"
#include "frontend/condcl.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/members.h"
#include "instance/names.h"
#include "instance/sufdecl.h"
#include "instance/sufstore.h"
#include "presolve/presolve.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "solver/auxfiles.h"
#include "solver/mpswrite.h"
#include "solver/nlexpr.h"
#include "solver/output.h"
#include "solver/solve.h"
#include "support/format.h"
#include "support/gfmt.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

item_writer apr = aprintf;
void (*nput)(nlfile* f, double x) = anput;
const char* (*Xwho)(const xname* n) = Xwho0;
const char* oput_fmt = "o%d\t#%s\n";
int restart;

// ---- The buffer.

void nl_flush(nlfile* f) {
  size_t n = static_cast<size_t>(f->p - f->buf);
  if (n && !f->f) {
    *f->p = 0;
    Printf("%s", f->buf);
  } else if (n && std::fwrite(f->buf, 1, n, f->f) != n) {
    f->failed = 1;
  }
  f->p = f->buf;
}

void nl_put(nlfile* f, const void* s, size_t n) {
  if (n <= NLF_SLACK) {
    std::memcpy(nl_room(f, n), s, n);
    f->p += n;
    return;
  }
  nl_flush(f);
  if (!f->f)
    Printf("%.*s", static_cast<int>(n), static_cast<const char*>(s));
  else if (std::fwrite(s, 1, n, f->f) != n)
    f->failed = 1;
}

// Buffer blocks: 1 MiB, with the slack beyond the soft end.
constexpr int NLF_CLASS = 17;

void nl_open_buf(nlfile* f, FILE* fp) {
  f->f = fp;
  f->k = NLF_CLASS;
  f->buf = static_cast<char*>(new_mblk(NLF_CLASS));
  f->p = f->buf;
  f->end = f->buf + (size_t{8} << NLF_CLASS) - NLF_SLACK;
  f->failed = 0;
}

// ---- Item writers.

// Decimal text of v at p; returns the end.
static char* put_int(char* p, int64_t v) {
  uint64_t u = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  if (v < 0) *p++ = '-';
  char t[24];
  int n = 0;
  do {
    t[n++] = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u);
  while (n) *p++ = t[--n];
  return p;
}

[[noreturn]] static void fmt_bug(const char* who, const char* rest) {
  Fprintf(Stderr, "%s bug: unexpect fmt %s\n", who, rest);
  exit1(1);
}

// Text of a string argument: long ones bypass the buffer.
static char* put_text(nlfile* f, char* p, const char* s, size_t n) {
  if (n <= NLF_SLACK / 2) {
    if (p > f->end) {
      f->p = p;
      nl_flush(f);
      p = f->p;
    }
    std::memcpy(p, s, n);
    return p + n;
  }
  f->p = p;
  nl_put(f, s, n);
  return f->p;
}

int aprintf(nlfile* f, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  char* p = nl_room(f, NLF_SLACK);
  const char* s = fmt;
  int n = *s && *s != '%' ? 1 : 0;
  for (char c; (c = *s++);) {
    if (p > f->end) {
      f->p = p;
      nl_flush(f);
      p = f->p;
    }
    if (c == '\t' && !nl_comments) {
      *p++ = '\n';
      break;
    }
    if (c != '%') {
      *p++ = c;
      continue;
    }
    const char* conv = s;
    if (*s == '.') {
      while (*s && *s != 'g') ++s;
      if (!*s) fmt_bug("aprintf", conv);
    }
    switch (*s++) {
      case 'c':
        *p++ = static_cast<char>(va_arg(ap, int));
        break;
      case 'd':
        p = put_int(p, va_arg(ap, int));
        break;
      case 'z':
        p = put_int(p, va_arg(ap, int64_t));
        break;
      case 'g':
        p += g_fmt(p, va_arg(ap, double), output_prec);
        break;
      case 's': {
        const char* t = va_arg(ap, const char*);
        p = put_text(f, p, t, std::strlen(t));
        break;
      }
      default:
        fmt_bug("aprintf", conv);
    }
    ++n;
  }
  f->p = p;
  va_end(ap);
  return n;
}

template <class T>
static char* put_bin(char* p, T v) {
  std::memcpy(p, &v, sizeof v);
  return p + sizeof v;
}

int bprintf(nlfile* f, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  char* p = nl_room(f, NLF_SLACK);
  const char* s = fmt;
  int n = 0;
  if (*s && *s != '%') {
    if (*s != 'i') {
      *p++ = *s;
      n = 1;
    }
    ++s;
  }
  for (;;) {
    while (*s == ' ') ++s;
    if (*s != '%') break;
    if (p > f->end) {
      f->p = p;
      nl_flush(f);
      p = f->p;
    }
    const char* conv = ++s;
    int64_t len = -1;  // the number a following ":%s" takes as a length
    switch (*s++) {
      case 'c':
        *p++ = static_cast<char>(va_arg(ap, int));
        break;
      case 'd':
        len = va_arg(ap, int);
        p = put_bin(p, static_cast<int32_t>(len));
        break;
      case 'h':
        if (*s == 'd') ++s;
        p = put_bin(p, static_cast<int16_t>(va_arg(ap, int)));
        break;
      case 'l':
        if (*s == 'd') ++s;
        p = put_bin(p, static_cast<int32_t>(va_arg(ap, long)));
        break;
      case 'z':
        p = put_bin(p, static_cast<int32_t>(va_arg(ap, int64_t)));
        break;
      case '.':
        while (*s && *s != 'g') ++s;
        if (!*s) fmt_bug("bprintf", conv);
        ++s;
        [[fallthrough]];
      case 'g':
        p = put_bin(p, va_arg(ap, double));
        break;
      case 's': {
        const char* t = va_arg(ap, const char*);
        size_t m = std::strlen(t);
        p = put_bin(p, static_cast<int32_t>(m));
        p = put_text(f, p, t, m);
        break;
      }
      default:
        fmt_bug("bprintf", conv);
    }
    if (len >= 0 && s[0] == ':' && s[1] == '%' && s[2] == 's') {
      s += 3;
      p = put_text(f, p, va_arg(ap, const char*), static_cast<size_t>(len));
    }
    ++n;
  }
  f->p = p;
  va_end(ap);
  return n;
}

void anput(nlfile* f, double x) {
  char* p = nl_room(f, NLF_SLACK);
  *p++ = 'n';
  p += g_fmt(p, x, output_prec);
  *p++ = '\n';
  f->p = p;
}

void bnput(nlfile* f, double x) {
  char* p = nl_room(f, 16);
  if (x >= -2147483648.0 && x <= 2147483647.0 &&
      x == static_cast<double>(static_cast<int32_t>(x))) {
    int32_t i = static_cast<int32_t>(x);
    if (i >= -32768 && i <= 32767) {
      *p++ = 's';
      p = put_bin(p, static_cast<int16_t>(i));
    } else {
      *p++ = 'l';
      p = put_bin(p, i);
    }
  } else {
    *p++ = 'n';
    p = put_bin(p, x);
  }
  f->p = p;
}

// ---- Start of the write.

void outmps_reinit() { nlexpr_reinit(); }

int funcs_used(int first) { return std::max(nlu.n_funcs - first, 0); }

// ---- Initial guesses.

// Whether the entity at column or row i of declaration d has a starting
// value to send: d has declared initial values, or the member holds a
// current value (cur_vals, status GS_HASVAL; member i - first).
static bool has_start(const xnode* d, int32_t i) {
  if (!d) return false;
  uint32_t kind = d->kind;
  if (kind != DK_VAR && kind != DK_VARI && kind != DK_CON && kind != DK_CONI)
    return false;
  const cvgen& g = static_cast<const convar*>(d)->gen;
  if (g.init_vals) return true;
  int32_t m = i - g.first_col;
  return g.cur_vals && g.member_status && m >= 0 && m < g.member_count &&
         (g.member_status[m] & GS_HASVAL);
}

// The variables (order, names, values) or rows of one initial-guess
// segment, in writer order.
struct guesses {
  const int32_t* order;  // entity at each position (null: identity)
  int32_t n;             // positions
  const xname* names;    // null: nothing to send
  const double* vals;
};

static int32_t at(const guesses& g, int32_t i) {
  return g.order ? g.order[i] : i;
}

static bool sends(const guesses& g, int32_t i) {
  int32_t e = at(g, i);
  return g.vals && g.names && has_start(g.names[e].decl, e);
}

static int igcount(const guesses& g) {
  int n = 0;
  for (int32_t i = 0; i < g.n; ++i) n += sends(g, i);
  return n;
}

static void putinit(nlfile* f, const guesses& g, char letter, int n,
                    bool text) {
  apr(f, letter == 'x' ? "x%d\t# initial guess\n"
                       : "d%d\t# initial dual guess\n",
      n);
  for (int32_t i = 0; i < g.n; ++i) {
    if (!sends(g, i)) continue;
    double v = g.vals[at(g, i)];
    if (text)
      apr(f, "%d %s\n", i, pvg(v));
    else
      apr(f, "%d %g", i, v);
  }
}

static guesses var_guesses(const AC* ac) {
  return {ac->var_order, ac->n_var_sent, ac->var_names, ac->var_init_val};
}
static guesses dual_guesses(const AC* ac) {
  return {ac->con_order_sent, ac->n_con_sent, ac->con_names,
          ac->con_init_dual};
}

int digcount(AC* ac) {
  // No solution can be held until solution files are read: the initial
  // guesses are always the declared ones.
  restart = 0;
  return dual_initial_guesses ? igcount(dual_guesses(ac)) : 0;
}

// ---- Bounds.

static void bound_put(nlfile* f, double l, double u) {
  bool lo = l > negInfinity, up = u < Infinity;
  if (lo && up) {
    if (l == u)
      apr(f, "4 %.16g\n", l);
    else
      apr(f, "0 %.16g %.16g\n", l, u);
  } else if (up) {
    apr(f, "1 %.16g\n", u);
  } else if (lo) {
    apr(f, "2 %.16g\n", l);
  } else {
    apr(f, "3\n");
  }
}

static void bounds_seg(nlfile* f, const AC* ac) {
  apr(f, "b\t#%d bounds (on variables)\n", ac->n_var_sent);
  for (int32_t i = 0; i < ac->n_var_sent; ++i) {
    int32_t v = ac->var_order ? ac->var_order[i] : i;
    bound_put(f, ac->var_lb_sent[v], ac->var_ub_sent[v]);
  }
}

static void ranges_seg(nlfile* f, const AC* ac) {
  if (ac->n_con_sent <= 0) return;
  apr(f, "r\t#%d ranges (rhs's)\n", ac->n_con_sent);
  for (int32_t i = 0; i < ac->n_con_sent; ++i) {
    int32_t r = ac->con_order_sent ? ac->con_order_sent[i] : i;
    if (int32_t v = ac->compl_var ? ac->compl_var[r] : 0) {
      // A complementarity: which bounds of its variable are finite, and
      // the variable's number + 1 in writer order.
      --v;
      int flags = (ac->var_lb_sent[v] > negInfinity ? 1 : 0) |
                  (ac->var_ub_sent[v] < Infinity ? 2 : 0);
      apr(f, "5 %d %d\n", flags, (ac->var_pos ? ac->var_pos[v] : v) + 1);
      continue;
    }
    bound_put(f, ac->con_lb_sent[r], ac->con_ub_sent[r]);
  }
}

static void bxrd(nlfile* f, AC* ac, bool text, bool permuted) {
  guesses x = var_guesses(ac);
  int nx = igcount(x);
  if (permuted) {
    if (n_dig > 0) putinit(f, dual_guesses(ac), 'd', n_dig, text);
    if (nx) putinit(f, x, 'x', nx, text);
    ranges_seg(f, ac);
    bounds_seg(f, ac);
    return;
  }
  bounds_seg(f, ac);
  if (nx) putinit(f, x, 'x', nx, text);
  ranges_seg(f, ac);
  if (n_dig > 0) putinit(f, dual_guesses(ac), 'd', n_dig, text);
}

// ---- The Jacobian in writer order.

template <class T>
static T* block(int k, int zero = 1) {
  return static_cast<T*>(new_mblk(k, zero));
}

void jac_forget(AC* ac) {
  jacsort* J = ac->jac_sorted;
  if (!J) return;
  del_mblk(J->ks, J->start);
  del_mblk(J->kv, J->kcum);
  if (J->col) del_mblk(J->kt, J->col);
  if (J->coef) del_mblk(J->kc, J->coef);
  del_mblk(J->k, J);
  ac->jac_sorted = nullptr;
}

static bool jac_current(const AC* ac, const jacsort* J) {
  return J->col_terms == ac->col_terms && J->var_order == ac->var_order &&
         J->con_order == ac->con_order_sent && J->obj_order == ac->obj_order &&
         J->n_var == ac->n_var_sent && J->n_con == ac->n_con_sent &&
         J->n_obj == ac->n_obj;
}

// The slot of each row (constraints, then objectives), -1 for a row not
// sent: a block of class *k.
static int32_t* row_slots(const AC* ac, int* k) {
  int32_t nr = ac->n_con + ac->n_obj, nc = ac->n_con_sent;
  *k = htcl(4 * size_t(nr + 1));
  int32_t* slot = block<int32_t>(*k, 0);
  for (int32_t r = 0; r < ac->n_con; ++r) {
    int32_t pos = ac->con_pos ? ac->con_pos[r] : r;
    slot[r] = pos < nc ? pos : -1;
  }
  for (int32_t j = 0; j < ac->n_obj; ++j)
    slot[ac->n_con + (ac->obj_order ? ac->obj_order[j] : j)] = nc + j;
  return slot;
}

// The lists are scattered through the term pool, so walking one is a
// chain of cache misses; LANES lists are walked side by side so that
// their misses overlap, each lane holding up to LANE_CAP terms before the
// lanes are emptied in column order.
constexpr int LANES = 32, LANE_CAP = 32;

// One walk over the column lists of the sent columns in writer order:
// keep(p, s, coef) for each term of writer column p in slot s (rows not
// sent skipped), a column's terms in the order of its list, then, for a
// row using the column nonlinearly without a linear term there, keep(p, s,
// 0): such a row holds the column in its Jacobian too.
template <class Keep>
static void jac_walk(const AC* ac, const int32_t* rslot, Keep keep) {
  int32_t nv = ac->n_var_sent;
  std::vector<int32_t> mark;  // per row: the last column with a term there
  auto put = [&](int32_t p, int32_t s, double c) {
    if (s >= 0) keep(p, s, c);
  };
  for (int32_t p0 = 0; p0 < nv; p0 += LANES) {
    int g = int(std::min<int32_t>(LANES, nv - p0));
    const varref* cur[LANES];
    int n[LANES];
    int32_t row[LANES][LANE_CAP];
    double coef[LANES][LANE_CAP];
    for (int i = 0; i < g; ++i) {
      int32_t p = p0 + i;
      cur[i] = ac->col_terms
                   ? ac->col_terms[ac->var_order ? ac->var_order[p] : p]
                   : nullptr;
      n[i] = 0;
    }
    for (bool more = true; more;) {
      more = false;
      for (int i = 0; i < g; ++i) {
        const varref* t = cur[i];
        if (!t || n[i] == LANE_CAP) continue;
        row[i][n[i]] = rslot[t->index];
        coef[i][n[i]++] = t->coef;
        cur[i] = vnext(t);
        more = true;
      }
    }
    for (int i = 0; i < g; ++i) {
      int32_t p = p0 + i;
      for (int j = 0; j < n[i]; ++j) put(p, row[i][j], coef[i][j]);
      for (const varref* t = cur[i]; t; t = vnext(t))
        put(p, rslot[t->index], t->coef);
      int32_t v = ac->var_order ? ac->var_order[p] : p;
      if (const varref* nl = ac->col_nl_rows ? ac->col_nl_rows[v] : nullptr) {
        if (mark.empty()) mark.assign(size_t(ac->n_con + ac->n_obj), -1);
        for (const varref* t = ac->col_terms ? ac->col_terms[v] : nullptr; t;
             t = vnext(t))
          mark[size_t(t->index)] = p;
        for (; nl; nl = vnext(nl))
          if (mark[size_t(nl->index)] != p) put(p, rslot[nl->index], 0);
      }
    }
  }
}

// col1sort's first walk: the terms of each slot counted in start[s + 1],
// the constraint terms of each column in kcum, their sum in nzc.
static void jac_count(const AC* ac, const int32_t* rslot, jacsort* J) {
  int32_t nc = ac->n_con_sent;
  int64_t* cnt = J->start + 1;
  int64_t* kcum = J->kcum;
  jac_walk(ac, rslot, [cnt, kcum, nc](int32_t p, int32_t s, double) {
    ++cnt[s];
    if (s < nc) ++kcum[p];
  });
  for (int32_t p = 0; p < ac->n_var_sent; ++p) J->nzc += J->kcum[p];
}

// col1sort's second walk: each term stored straight into its slot's
// stretch (the counts made starts first), the columns arriving in writer
// order, so that a slot's columns increase; then the column counts made
// cumulative.  Walking the lists twice keeps no copy of the terms in
// column order.
static void jac_place(const AC* ac, const int32_t* rslot, jacsort* J) {
  int32_t ns = ac->n_con_sent + ac->n_obj;
  for (int32_t s = 0; s < ns; ++s) J->start[s + 1] += J->start[s];
  int64_t total = J->start[ns];
  J->nzo = total - J->nzc;
  J->kt = htcl(4 * size_t(total + 1));
  J->kc = htcl(8 * size_t(total + 1));
  J->col = block<int32_t>(J->kt, 0);
  J->coef = block<double>(J->kc, 0);
  int64_t* next = J->start;  // advanced per slot, restored below
  int32_t* col = J->col;
  double* coef = J->coef;
  jac_walk(ac, rslot, [next, col, coef](int32_t p, int32_t s, double c) {
    int64_t i = next[s]++;
    col[i] = p;
    coef[i] = c;
  });
  for (int32_t s = ns; s > 0; --s) J->start[s] = J->start[s - 1];
  J->start[0] = 0;
  for (int32_t p = 1; p < ac->n_var_sent; ++p) J->kcum[p] += J->kcum[p - 1];
}

jacsort* col1sort(AC* ac, int64_t* nzc) {
  if (ac->jac_sorted && jac_current(ac, ac->jac_sorted)) {
    *nzc = ac->jac_sorted->nzc;
    return ac->jac_sorted;
  }
  jac_forget(ac);
  if (!ac->col_terms && ac->row_terms)
    ac->col_terms = transpose(&ac->row_terms, ac->row_class, ac->var_class,
                              ac->n_con + ac->n_obj);
  int k = htcl(sizeof(jacsort));
  jacsort* J = block<jacsort>(k);
  J->k = k;
  J->col_terms = ac->col_terms;
  J->var_order = ac->var_order;
  J->con_order = ac->con_order_sent;
  J->obj_order = ac->obj_order;
  J->n_var = ac->n_var_sent;
  J->n_con = ac->n_con_sent;
  J->n_obj = ac->n_obj;
  J->ks = htcl(8 * (size_t(ac->n_con_sent) + size_t(ac->n_obj) + 1));
  J->kv = htcl(8 * (size_t(std::max(ac->n_var_sent, 0)) + 1));
  J->start = block<int64_t>(J->ks);
  J->kcum = block<int64_t>(J->kv);
  ac->jac_sorted = J;

  int kr;
  int32_t* rslot = row_slots(ac, &kr);
  jac_count(ac, rslot, J);
  // Past 2^31 - 1 constraint terms the terms are counted, not kept.
  bool fits = J->nzc <= std::numeric_limits<int32_t>::max();
  if (fits) jac_place(ac, rslot, J);
  del_mblk(kr, rslot);
  *nzc = J->nzc;
  if (!fits) jac_forget(ac);
  return ac->jac_sorted;
}

// The term lines "%d %.16g\n" of one row, with the format's work done once
// for the run: the bytes aprintf and bprintf would write for each.
static void term_lines(nlfile* f, const int32_t* col, const double* coef,
                       int64_t n, bool text) {
  for (int64_t i = 0; i < n; ++i) {
    char* p = nl_room(f, NLF_SLACK);
    if (text) {
      p = put_int(p, col[i]);
      *p++ = ' ';
      p += g_fmt(p, coef[i], output_prec);
      *p++ = '\n';
    } else {
      p = put_bin(p, col[i]);
      p = put_bin(p, coef[i]);
    }
    f->p = p;
  }
}

static void terms_seg(nlfile* f, const jacsort* J, char letter, int32_t s0,
                      int32_t s1, bool text) {
  const char* head = letter == 'J' ? "J%d %d\n" : "G%d %d\n";
  for (int32_t s = s0; s < s1; ++s) {
    int64_t a = J->start[s], b = J->start[s + 1];
    if (a == b) continue;
    apr(f, head, s - s0, static_cast<int>(b - a));
    term_lines(f, J->col + a, J->coef + a, b - a, text);
  }
}

// The k segment's lines "%z\n" (the running totals; 4 bytes each in the
// binary form).
static void kseg(nlfile* f, const AC* ac, const jacsort* J, bool text) {
  int32_t nv = ac->n_var_sent;
  if (nv <= 0) return;
  apr(f, "k%d\t#intermediate Jacobian column lengths\n", nv - 1);
  for (int32_t p = 0; p + 1 < nv; ++p) {
    char* q = nl_room(f, 32);
    if (text) {
      q = put_int(q, J->kcum[p]);
      *q++ = '\n';
    } else {
      q = put_bin(q, static_cast<int32_t>(J->kcum[p]));
    }
    f->p = q;
  }
}

// ---- Suffixes.

// The special ordered sets of presolve's linearisations, as the suffixes
// "sos" (members' set values, then those of the rows that pick one member)
// and "sosref" (members' reference values), entries in writer order.  A
// problem whose integrality is relaxed has no use for them.
static void sos_segs(nlfile* f, const AC* ac, bool text) {
  if (!ac->n_sos_cols || relax_integrality > 1) return;
  using entry = std::pair<int32_t, const sos_entry*>;
  auto sent = [](const sos_entry* e, int32_t m, const int32_t* pos,
                 int32_t n_sent) {
    std::vector<entry> v;
    v.reserve(size_t(m));
    for (int32_t i = 0; i < m; ++i) {
      int32_t p = pos ? pos[e[i].index] : e[i].index;
      if (p >= 0 && p < n_sent) v.push_back({p, &e[i]});
    }
    // Members are made in column order, which the writer's order mostly
    // keeps.
    auto before = [](const entry& a, const entry& b) {
      return a.first < b.first;
    };
    if (!std::is_sorted(v.begin(), v.end(), before))
      std::sort(v.begin(), v.end(), before);
    return v;
  };
  std::vector<entry> cols =
      sent(ac->sos_cols, ac->n_sos_cols, ac->var_pos, ac->n_var_sent);
  std::vector<entry> rows =
      sent(ac->sos_rows, ac->n_sos_rows, ac->con_pos, ac->n_con_sent);
  if (cols.empty()) return;
  // One format for both forms: the binary writer takes a leading letter
  // and conversions only.
  apr(f, "S%d %d %s\n", 0, int(cols.size()), "sos");
  for (const entry& e : cols) apr(f, "%d %d\n", e.first, e.second->set);
  if (!rows.empty()) {
    apr(f, "S%d %d %s\n", 1, int(rows.size()), "sos");
    for (const entry& e : rows) apr(f, "%d %d\n", e.first, e.second->set);
  }
  apr(f, "S%d %d %s\n", 4, int(cols.size()), "sosref");
  for (const entry& e : cols)
    apr(f, text ? "%d %g\n" : "%d %g", e.first, e.second->ref);
}

// The S segments of the suffixes that the declarations sent in each class
// hold values of (the membership blocks sufcheck builds).
static void suffix_segs(nlfile* f, AC* ac, bool text) {
  if (!(send_suffixes & 1)) return;
  bool discrete = ac->n_lin_bin + ac->n_lin_int + ac->n_nlv_both_int +
                      ac->n_nlv_con_int + ac->n_nlv_obj_int >
                  0;
  const int32_t* order[4] = {ac->var_order, ac->con_order_sent,
                             ac->obj_order, nullptr};
  const xname* names[4] = {ac->var_names, ac->con_names, ac->obj_names,
                           nullptr};
  for (int k = 0; k < 4; ++k) {
    CVseen* c = &ac->seen[k];
    if (!c->block) continue;
    suffix** sufs = reinterpret_cast<suffix**>(c->block + c->n_decls);
    int32_t n = ac->shape_ptr ? ac->shape_ptr[k] : sizeval(ac, k);
    for (int32_t j = 0; j < c->n_sufs; ++j) {
      suffix* s = sufs[j];
      if (!(s->direction & SUF_IN)) continue;
      if (!std::strcmp(s->name->name, "sstatus") &&
          (send_statuses == 0 || (send_statuses == 1 && discrete)))
        continue;
      int kb = 0;
      int32_t *iv = nullptr, *pos = nullptr;
      double* rv = nullptr;
      int m = sufget(c, s, &kb, &iv, &pos, n, &rv, names[k], order[k],
                     std::numeric_limits<int32_t>::max(), 0);
      if (m <= 0) continue;
      apr(f, "S%d %d %s\n", k | (rv ? 4 : 0), m, s->name->name);
      for (int i = 0; i < m; ++i) {
        if (!rv)
          apr(f, "%d %d\n", pos[i], iv[i]);
        else if (text)
          apr(f, "%d %g\n", pos[i], rv[i]);
        else
          apr(f, "%d %g", pos[i], rv[i]);
      }
      del_mblk(kb, rv ? static_cast<void*>(rv) : iv);
    }
  }
  sos_segs(f, ac, text);
}

// ---- Header.

// The encoded exponent of a tolerance whose exponent is k.
static int64_t tol_code(int k) { return k <= 0 ? -k : 1000000 + k; }
// A tolerance goes into the header when it is positive and presolve
// changed something within it (the largest such change, kept in the
// problem, is positive): the solver then knows the problem it got depends
// on it.
static bool tol_pos(int k, double chg) { return k != NO_TOL && chg > 0; }

int nl_opt_words(const AC* ac, int64_t w[10]) {
  w[1] = presolve_req;
  w[2] = vb_need;
  w[3] = pl_lin_req;
  w[4] = ac->n_con_sent - ac->n_pl_con_added;
  w[5] = 20190616;
  bool pre = tol_pos(ipreeps, ac->eps_chg);
  bool ite = tol_pos(iinteps, ac->inteps_chg);
  bool fix = tol_pos(ifixeps, ac->fixeps_chg);
  w[6] = relax_integrality & 3;
  if (pre) w[6] = (tol_code(ipreeps) << 3) | (w[6] | 4);
  w[7] = (nl_permute & 7) + 1;
  if (ite) w[7] = (tol_code(iinteps) << 5) | (w[7] | 16);
  bool w8 = false;
  w[8] = 0;
  if (ac->n_pl_con_added) {
    w8 = true;
    w[8] = pl_linearize & 63;
    if (fix) w[8] = (tol_code(ifixeps) << 7) | (w[8] | 64);
  } else if (fix) {
    w8 = true;
    w[8] = (tol_code(ifixeps) << 7) | 64;
  }
  w[9] = ((solveout << 1) & 8) | (solveout & 3);
  if (ac->nl_subst_flag) w[9] |= 4;
  if (presolve_assoc[2])
    w[9] |= (int64_t{presolve_assoc[1]} << 4) | (int64_t{presolve_assoc[2]} << 7);
  int n = w[3] ? 4 : 3;
  if (w[6] || pre) n = 6;
  if (w[7] != 4 || ite) n = 7;
  if (w8) n = 8;
  if (w[9] || presolve_assoc[2]) n = 9;
  return n;
}

void nl_var_counts(const AC* ac, int* nlvc, int* nlvo, int* nlvb) {
  // Variables nonlinear in both come first, then those in constraints
  // only, then those in objectives only: the objective count covers the
  // constraint-only ones when objective-only ones follow them.
  *nlvb = ac->n_nlv_both;
  *nlvc = *nlvb + ac->n_nlv_con;
  *nlvo = ac->n_nlv_obj ? *nlvc + ac->n_nlv_obj : *nlvb;
}

void prob_name(const char* stub, char* out, size_t size) {
  const char* b = base_name(stub);
  const char* dot = std::strrchr(b, '.');
  size_t n = dot && dot != b ? size_t(dot - b) : std::strlen(b);
  if (!n) {
    Snprintf(out, size, "Unnamed!");
    return;
  }
  if (n >= size) n = size - 1;
  std::memcpy(out, b, n);
  out[n] = 0;
}

static void header(nlfile* f, const AC* ac, char form, int arith,
                   const char* stub, const jacsort* J, const int lens[2]) {
  char h[2048];
  int n = 0;
  auto add = [&](const char* fmt, auto... a) {
    n += Snprintf(h + n, sizeof h - size_t(n), fmt, a...);
  };
  int64_t w[10];
  int nopts = nl_opt_words(ac, w);
  add("%c%d %d %d %d", form, nopts, int(w[1]), int(w[2]), int(w[3]));
  for (int i = 4; i <= nopts; ++i) add(" %ld", long(w[i]));
  if (w[2] == 3) add(" %.g", vb_tol);
  char name[512];
  prob_name(stub, name, sizeof name);
  add("\t# problem %s\n", name);
  if (ac->n_logical_sent)
    add(" %d %d %d %d %d %d\t# vars, constraints, objectives, ranges, "
        "eqns, lcons\n",
        ac->n_var_sent, ac->n_con_sent, ac->n_obj, ac->n_range_con,
        ac->n_eq_con, ac->n_logical_sent);
  else
    add(" %d %d %d %d %d\t# vars, constraints, objectives, ranges, eqns\n",
        ac->n_var_sent, ac->n_con_sent, ac->n_obj, ac->n_range_con,
        ac->n_eq_con);
  if (ac->n_compl_lin + ac->n_compl_nonlin == 0)
    add(" %d %d\t# nonlinear constraints, objectives\n", ac->n_nonlin_con,
        ac->n_nonlin_obj);
  else
    add(" %d %d %d %d %d %d\t# nonlinear constrs, objs; ccons: lin, nonlin, "
        "nd, nzlb\n",
        ac->n_nonlin_con, ac->n_nonlin_obj, ac->n_compl_lin,
        ac->n_compl_nonlin, ac->n_compl_nd, ac->n_compl_nzlb);
  add(" %d %d\t# network constraints: nonlinear, linear\n",
      ac->n_nonlin_net_con, ac->n_lin_net_con);
  int nlvc, nlvo, nlvb;
  nl_var_counts(ac, &nlvc, &nlvo, &nlvb);
  add(" %d %d %d\t# nonlinear vars in constraints, objectives, both\n", nlvc,
      nlvo, nlvb);
  int flags = send_suffixes & 2 ? 1 : 0;
  if (arith || flags)
    add(" %d %d %d %d\t# linear network variables; functions; arith, "
        "flags\n",
        ac->n_lin_net_var, funcs_used(0), arith, flags);
  else
    add(" %d %d\t# linear network variables; functions\n", ac->n_lin_net_var,
        funcs_used(0));
  add(" %d %d %d %d %d\t# discrete variables: binary, integer, nonlinear "
      "(b,c,o)\n",
      ac->n_lin_bin, ac->n_lin_int, ac->n_nlv_both_int, ac->n_nlv_con_int,
      ac->n_nlv_obj_int);
  add(" %zd %zd\t# nonzeros in Jacobian, gradients\n", J->nzc, J->nzo);
  add(" %d %d\t# max name lengths: constraints, variables\n", lens[0],
      lens[1]);
  add(" %d %d %d %d %d\t# common exprs: b,c,o,c1,o1\n", nlu.comb, nlu.comc,
      nlu.como, nlu.comc1, nlu.como1);
  nl_put(f, h, size_t(n));
}

// ---- The write.

static void permute_caution(AC* ac) {
  static const char* const what[] = {"constraints", "variables",
                                     "constraints and variables"};
  if (int fl = ac->nl_flags & 3) {
    error(2,
          "Using option nl_permute to suppress permutations\nof %s may "
          "cause trouble for some solvers.",
          what[fl - 1]);
    ac->nl_flags = 0;
  }
}

FILE* nl_fopen(const char* name) {
  if (show_files & 4) {
    // A temporary file: whatever stands under its name (a symbolic link
    // planted there among them) goes, and the file is made anew, by this
    // process alone.
    std::remove(name);
    int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  0600);
    FILE* fp = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (!fp) {
      if (fd >= 0) close(fd);
      error(0, "can't open %s", name);
      bailout();
    }
    return fp;
  }
  FILE* fp = std::fopen(name, "wb");
  if (!fp && (show_files & 1)) {
    std::remove(name);
    fp = std::fopen(name, "wb");
  }
  if (!fp) {
    error(0, "can't open %s", name);
    bailout();
  }
  return fp;
}

void outmps(AC* ac) {
  permute_caution(ac);
  // What the graphs use (functions, defined variables) is found first:
  // the header counts it and the "col" file names the defined variables.
  graph_setup(ac);
  char form = outopt[0];
  if (form == 'm' || form == 'n') {
    mps_write(ac);
    return;
  }
  // The solver loads the libraries of the functions the file calls.
  adjust_vexo_funclibs();
  const char* stub = outopt + 1;
  bool text = form == 'g';

  int64_t nzc;
  jacsort* J = col1sort(ac, &nzc);
  if (!J) {
    error(0,
          "The problem has %lld Jacobian nonzeros; an nl file holds at most "
          "2147483647.",
          static_cast<long long>(nzc));
    bailout();
  }

  int lens[2];
  aux_before(ac, stub, lens);
  mstr* nm = nullptr;
  mprintf(&nm, "%s.%s", stub, "nl");
  const char* fname = mstr_val(nm);
  FILE* fp;
  try {
    fp = nl_fopen(fname);
  } catch (...) {
    mstr_free(&nm);
    throw;
  }

  apr = text ? aprintf : bprintf;
  nput = text ? anput : bnput;
  Xwho = text && nl_comments ? xwho : Xwho0;
  oput_fmt = "o%d\t#%s\n";
  restart = 0;

  nlfile f;
  nl_open_buf(&f, fp);
  header(&f, ac, form, text ? 0 : arith_kind, stub, J, lens);
  Fput(&f);
  suffix_segs(&f, ac, text);
  n_dig = digcount(ac);
  bool permuted = nl_permute & 32;
  if (!permuted) bxrd(&f, ac, text, false);
  // Graph segments are numbered through C, L and O; the V segments each
  // needs go before it.
  int32_t seg = 0;
  for (int32_t i = 0; i < ac->n_con_sent; ++i) {
    int32_t r = nl_con_row(ac, i);
    Vput(&f, ac, seg++);
    apr(&f, "C%d\t#%s\n", i, ac->con_names ? Xwho(&ac->con_names[r]) : "");
    elistput(&f, ac->con_nonlin ? ac->con_nonlin[r] : nullptr, 0);
  }
  for (int32_t i = 0; i < ac->n_logical_sent; ++i) {
    int32_t r = nl_logical_row(ac, i);
    Vput(&f, ac, seg++);
    apr(&f, "L%d\t#%s\n", i, ac->con_names ? Xwho(&ac->con_names[r]) : "");
    elistput(&f, ac->con_nonlin ? ac->con_nonlin[r] : nullptr, 0);
  }
  for (int32_t i = 0; i < ac->n_obj; ++i) {
    int32_t k = nl_obj_row(ac, i);
    Vput(&f, ac, seg++);
    apr(&f, "O%d %d\t#%s\n", i, ac->obj_sense ? ac->obj_sense[k] : 0,
        ac->obj_names ? Xwho(&ac->obj_names[k]) : "");
    elistput(&f, ac->obj_nonlin ? ac->obj_nonlin[k] : nullptr,
             ac->obj_const ? ac->obj_const[k] : 0);
  }
  if (permuted) bxrd(&f, ac, text, true);
  kseg(&f, ac, J, text);
  terms_seg(&f, J, 'J', 0, ac->n_con_sent, text);
  terms_seg(&f, J, 'G', ac->n_con_sent, ac->n_con_sent + ac->n_obj, text);
  nl_flush(&f);
  del_mblk(f.k, f.buf);
  bool bad = f.failed | (std::fclose(fp) != 0);
  if (bad) {
    error(0, "can't write %s", fname);
    mstr_free(&nm);
    bailout();
  }
  if (show_files & 2) Printf("File %s\n", fname);
  mstr_free(&nm);
  aux_spc(ac, stub);
}

}  // namespace vexo
