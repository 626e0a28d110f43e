// The MPS problem file: ROWS, COLUMNS (with integer markers), RHS, RANGES
// and BOUNDS of the collected problem in writer order.
#include "solver/mpswrite.h"

#include <cstdio>
#include <cstring>

#include "frontend/reader.h"
#include "instance/ac.h"
#include "session/opttable.h"
#include "solver/auxfiles.h"
#include "solver/nlwrite.h"
#include "solver/solve.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/text.h"

namespace vexo {

int mps_numtext(char* out, double x) {
  int w = mpsfile_numwidth;
  const char* fmt = "%.*G";
  if (w < 0) {
    w = -w;
    fmt = "% .*G";
  }
  if (w > 32) w = 32;
  int prec = w;
  int n = Snprintf(out, 48, fmt, prec, x);
  // Lower the precision by the excess until the text fits (an exponent
  // may keep it too long once the precision is 1).
  while (w && n > w && prec > 0) {
    prec -= n - w;
    if (prec < 0) prec = 0;
    n = Snprintf(out, 48, fmt, prec, x);
  }
  return n;
}

// The number v, padded to at least four digits and left-justified in
// seven characters ("%-7.4d"; v has at most seven digits).
static char* put_index(char* p, int v) {
  char t[12];
  int n = 0;
  do {
    t[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  int len = n < 4 ? 4 : n;
  for (int i = n; i < 4; ++i) *p++ = '0';
  while (n) *p++ = t[--n];
  for (; len < 7; ++len) *p++ = ' ';
  return p;
}

static void put_str(nlfile* f, const char* s) {
  nl_put(f, s, std::strlen(s));
}

// "<head>C<col>  <number>\n" or "<head>R<row>  <number>\n" (the bound,
// right-hand side and range lines), or without the number (x null; the
// index keeps its padding blanks).
static void index_line(nlfile* f, const char* head, char letter, int idx,
                       const double* x) {
  char* p = nl_room(f, 128);
  size_t h = std::strlen(head);
  std::memcpy(p, head, h);
  p += h;
  *p++ = letter;
  p = put_index(p, idx);
  if (x) {
    *p++ = ' ';
    *p++ = ' ';
    p += mps_numtext(p, *x);
  }
  *p++ = '\n';
  f->p = p;
}

// Which writer columns are integer: the discrete ends of the three
// nonlinear groups and the binary and integer columns at the end.
struct intruns {
  int32_t lo[4], hi[4];
  int n;
};

static intruns integer_runs(const AC* ac) {
  intruns r{};
  int32_t b = ac->n_nlv_both, c = b + ac->n_nlv_con, o = c + ac->n_nlv_obj;
  int32_t nv = ac->n_var_sent, nd = ac->n_lin_bin + ac->n_lin_int;
  int32_t ends[4] = {b, c, o, nv};
  int32_t counts[4] = {ac->n_nlv_both_int, ac->n_nlv_con_int,
                       ac->n_nlv_obj_int, nd};
  for (int g = 0; g < 4; ++g) {
    if (counts[g] <= 0) continue;
    int32_t lo = ends[g] - counts[g];
    if (r.n && r.hi[r.n - 1] == lo)
      r.hi[r.n - 1] = ends[g];
    else {
      r.lo[r.n] = lo;
      r.hi[r.n] = ends[g];
      ++r.n;
    }
  }
  return r;
}

static bool row_type(double lb, double ub, char* t) {
  if (lb >= ub)
    *t = 'E';
  else if (lb > negInfinity)
    *t = 'G';
  else if (ub < Infinity)
    *t = 'L';
  else
    *t = 'N';
  return *t != 'N';
}

static void rows_section(nlfile* f, const AC* ac) {
  char line[64];
  for (int32_t i = 0; i < ac->n_con_sent; ++i) {
    int32_t r = ac->con_order_sent ? ac->con_order_sent[i] : i;
    char t;
    row_type(ac->con_lb_sent[r], ac->con_ub_sent[r], &t);
    int n = Snprintf(line, sizeof line, " %c  R%.4d\n", t, i + 1);
    nl_put(f, line, size_t(n));
  }
  for (int32_t j = 0; j < ac->n_obj; ++j) {
    int n = Snprintf(line, sizeof line, " N  R%.4d\n", ac->n_con_sent + j + 1);
    nl_put(f, line, size_t(n));
  }
}

// The terms of J column by column: for each writer column its rows
// (slots, increasing) and coefficients.
struct colmajor {
  int64_t* start;
  int32_t* slot;
  double* coef;
  int ks, kt, kc;
};

static colmajor by_column(const AC* ac, const jacsort* J) {
  colmajor c{};
  int32_t nv = ac->n_var_sent, ns = ac->n_con_sent + ac->n_obj;
  int64_t nz = J->start[ns];
  c.ks = htcl(8 * (size_t(nv) + 1));
  c.kt = htcl(4 * (size_t(nz) + 1));
  c.kc = htcl(8 * (size_t(nz) + 1));
  c.start = static_cast<int64_t*>(new_mblk(c.ks, 1));
  c.slot = static_cast<int32_t*>(new_mblk(c.kt, 0));
  c.coef = static_cast<double*>(new_mblk(c.kc, 0));
  for (int64_t i = 0; i < nz; ++i) ++c.start[J->col[i] + 1];
  for (int32_t p = 0; p < nv; ++p) c.start[p + 1] += c.start[p];
  int64_t* next = c.start;  // advanced per column, restored below
  for (int32_t s = 0; s < ns; ++s)
    for (int64_t i = J->start[s]; i < J->start[s + 1]; ++i) {
      int64_t k = next[J->col[i]]++;
      c.slot[k] = s;
      c.coef[k] = J->coef[i];
    }
  for (int32_t p = nv; p > 0; --p) c.start[p] = c.start[p - 1];
  c.start[0] = 0;
  return c;
}

static void marker(nlfile* f, int run, bool end) {
  char line[80];
  int n = end ? Snprintf(line, sizeof line,
                         "    INT%dEND   'MARKER'%17s'INTEND'\n", run, "")
              : Snprintf(line, sizeof line,
                         "    INT%d      'MARKER'%17s'INTORG'\n", run, "");
  nl_put(f, line, size_t(n));
}

// COLUMNS; returns the count of integer columns with an infinite bound.
static int columns_section(nlfile* f, const AC* ac, const jacsort* J) {
  put_str(f, "COLUMNS\n");
  colmajor c = by_column(ac, J);
  intruns runs = integer_markers ? integer_runs(ac) : intruns{};
  int run = 0, infinite = 0;
  for (int32_t p = 0; p < ac->n_var_sent; ++p) {
    bool in_run = run < runs.n && p >= runs.lo[run];
    if (run < runs.n && p == runs.lo[run]) marker(f, run + 1, false);
    if (in_run) {
      int32_t v = ac->var_order ? ac->var_order[p] : p;
      if (ac->var_lb_sent[v] <= negInfinity || ac->var_ub_sent[v] >= Infinity)
        ++infinite;
    }
    for (int64_t i = c.start[p]; i < c.start[p + 1]; ++i) {
      char* q = nl_room(f, 128);
      std::memcpy(q, "    C", 5);
      q = put_index(q + 5, p + 1);
      std::memcpy(q, "  R", 3);
      q = put_index(q + 3, c.slot[i] + 1);
      *q++ = ' ';
      *q++ = ' ';
      q += mps_numtext(q, c.coef[i]);
      *q++ = '\n';
      f->p = q;
    }
    if (in_run && p + 1 == runs.hi[run]) marker(f, ++run, true);
  }
  del_mblk(c.ks, c.start);
  del_mblk(c.kt, c.slot);
  del_mblk(c.kc, c.coef);
  return infinite;
}

static void rhs_ranges(nlfile* f, const AC* ac) {
  put_str(f, "RHS\n");
  bool ranges = false;
  for (int32_t i = 0; i < ac->n_con_sent; ++i) {
    int32_t r = ac->con_order_sent ? ac->con_order_sent[i] : i;
    double lb = ac->con_lb_sent[r], ub = ac->con_ub_sent[r];
    char t;
    if (!row_type(lb, ub, &t)) continue;
    double x = t == 'L' || (t == 'E' && lb <= negInfinity) ? ub : lb;
    if (t == 'G' && ub < Infinity) ranges = true;
    if (x != 0) index_line(f, "    B         ", 'R', i + 1, &x);
  }
  if (!ranges) return;
  put_str(f, "RANGES\n");
  for (int32_t i = 0; i < ac->n_con_sent; ++i) {
    int32_t r = ac->con_order_sent ? ac->con_order_sent[i] : i;
    double lb = ac->con_lb_sent[r], ub = ac->con_ub_sent[r];
    if (lb > negInfinity && ub < Infinity && lb < ub) {
      double w = ub - lb;
      index_line(f, "    RANGE     ", 'R', i + 1, &w);
    }
  }
}

static void bounds_section(nlfile* f, const AC* ac) {
  int32_t nv = ac->n_var_sent;
  auto var_at = [ac](int32_t p) { return ac->var_order ? ac->var_order[p] : p; };
  int32_t p = 0;
  for (; p < nv; ++p) {
    int32_t v = var_at(p);
    if (ac->var_lb_sent[v] != 0 || ac->var_ub_sent[v] < Infinity) break;
  }
  if (p == nv) return;
  put_str(f, "BOUNDS\n");
  for (p = 0; p < nv; ++p) {
    int32_t v = var_at(p);
    double lb = ac->var_lb_sent[v], ub = ac->var_ub_sent[v];
    bool up = ub < Infinity;
    if (lb <= negInfinity) {
      index_line(f, up ? " MI BOUND     " : " FR BOUND     ", 'C', p + 1,
                 nullptr);
    } else if (lb != 0) {
      index_line(f, " LO BOUND     ", 'C', p + 1, &lb);
    }
    if (up) index_line(f, " UP BOUND     ", 'C', p + 1, &ub);
  }
}

// The file's name and the problem's; fname stays null for standard
// output.  An nl file of the same stub goes.
static FILE* mps_open(mstr** fname, char* name, size_t size) {
  const char* stub = outopt + 1;
  if (*stub) {
    mstr* nl = nullptr;
    mprintf(&nl, "%s.nl", stub);
    std::remove(mstr_val(nl));
    mstr_free(&nl);
  }
  prob_name(*stub ? stub : infname ? infname : "", name, size);
  if (outopt[0] != 'm' || !*stub) return nullptr;
  mprintf(fname, "%s.%s", stub, "mps");
  try {
    return nl_fopen(mstr_val(*fname));
  } catch (...) {
    mstr_free(fname);
    throw;
  }
}

void mps_write(AC* ac) {
  int32_t nrows = ac->n_con_sent + ac->n_obj;
  if (ac->n_var_sent > MPS_MAX_INDEX || nrows > MPS_MAX_INDEX) {
    bool cols = ac->n_var_sent > MPS_MAX_INDEX;
    error(0,
          "The problem has %d %s; an MPS file numbers at most %d in its "
          "fixed fields.  No MPS file written.",
          cols ? ac->n_var_sent : nrows, cols ? "columns" : "rows",
          MPS_MAX_INDEX);
    bailout();
  }
  int64_t nzc;
  jacsort* J = col1sort(ac, &nzc);
  if (!J) {
    error(0, "The problem has %lld Jacobian nonzeros; too many to write.",
          static_cast<long long>(nzc));
    bailout();
  }
  // Without a stub "m" writes no auxiliary files; aux_before and aux_spc
  // write none for an empty stub.
  int lens[2];
  aux_before(ac, outopt + 1, lens);
  mstr* fname = nullptr;
  char name[16];
  FILE* fp = mps_open(&fname, name, sizeof name);
  nlfile f;
  nl_open_buf(&f, fp);
  char line[64];
  int n = Snprintf(line, sizeof line, "NAME          %.8s\nROWS\n", name);
  nl_put(&f, line, size_t(n));
  rows_section(&f, ac);
  int infinite = columns_section(&f, ac, J);
  rhs_ranges(&f, ac);
  bounds_section(&f, ac);
  put_str(&f, "ENDATA\n");
  nl_flush(&f);
  del_mblk(f.k, f.buf);
  if (fp) {
    bool bad = f.failed | (std::fclose(fp) != 0);
    if (bad) {
      error(0, "can't write %s", mstr_val(fname));
      mstr_free(&fname);
      bailout();
    }
    if (show_files & 2) Printf("File %s\n", mstr_val(fname));
    mstr_free(&fname);
  }
  aux_spc(ac, outopt + 1);
  if (infinite && Cautions)
    error(2, "%d%s\n\t%s\n\t%s", infinite,
          " integer variables have infinite bounds.",
          "Solvers vary in their requirements for \"MPS\" files",
          "to express these bounds.");
}

}  // namespace vexo
