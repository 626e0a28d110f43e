// The "tab" handler: text tables with a "vexo.tab ARITY NCOLS" header, a
// line of column names and one tab-separated line per row.
#include "data/tabfile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "data/tablerw.h"
#include "eval/funclib.h"
#include "support/filename.h"
#include "support/format.h"
#include "support/gfmt.h"
#include "support/strtod.h"

namespace vexo {

namespace {

// Whether the handler strings name one file ending in ext (from its last
// ".").
const char* one_file(TableInfo* ti, const char* ext) {
  if (ti->nstrings != 1) return nullptr;
  const char* s = ti->strings[0];
  const char* dot = std::strrchr(s, '.');
  if (!dot || std::strcmp(dot, ext)) return nullptr;
  return s;
}

// The reader's state: one line's fields at a time.
struct Tinfo {
  long line = 0;
  TableInfo* ti;
  const char* fname;
  FILE* f;
  int nf = 0;                     // fields expected per line
  std::vector<std::string> text;  // the fields of the current line
  std::vector<char> quoted;       // per field: it was quoted
  std::vector<char> missing;      // per field: it was "."

  ~Tinfo() {
    if (f) fclose(f);
  }
  int fail(const char* what) {
    char buf[600];
    Snprintf(buf, sizeof buf, "%s", what);
    tab_errmsg(ti, "Error reading file %s:\n\t%s.", fname, buf);
    if (f) fclose(f);
    f = nullptr;
    return 2;
  }
};

// Reads the next line's nf fields: 0 read, 1 end of file at the start of
// a data line, 2 error (Errmsg set, file closed).
int getfields(Tinfo* T) {
  FILE* f = T->f;
  ++T->line;
  char msg[120];
  for (int i = 0; i < T->nf; ++i) {
    int c = getc_unlocked(f);
    while (c != EOF && c != '\n' && c <= 32) c = getc_unlocked(f);
    if (c == EOF) {
      if (i == 0 && T->line > 2) {
        fclose(f);
        T->f = nullptr;
        return 1;
      }
      Snprintf(msg, sizeof msg, "early end of file on partial line %ld",
               T->line);
      return T->fail(msg);
    }
    if (c == '\n') {
      Snprintf(msg, sizeof msg, "too few fields on line %ld", T->line);
      return T->fail(msg);
    }
    std::string& s = T->text[size_t(i)];
    s.clear();
    T->quoted[size_t(i)] = 0;
    if (c == '"' || c == '\'') {
      int q = c;
      long start = T->line;
      T->quoted[size_t(i)] = 1;
      for (;;) {
        c = getc_unlocked(f);
        if (c == EOF) {
          Snprintf(msg, sizeof msg, "early end of file on partial line %ld",
                   start);
          return T->fail(msg);
        }
        if (c == q) {
          c = getc_unlocked(f);
          if (c == q) {
            s += char(q);
            continue;
          }
          break;
        }
        if (c == '\n') ++T->line;
        s += char(c);
      }
      if (c != EOF && c > 32) {
        Snprintf(msg, sizeof msg, "Malformed quoted string, line %ld",
                 T->line);
        return T->fail(msg);
      }
      if (c == '\n' || c == EOF) {
        if (c == EOF && i + 1 < T->nf) {
          Snprintf(msg, sizeof msg, "early end of file on partial line %ld",
                   T->line);
          return T->fail(msg);
        }
        if (i + 1 < T->nf) {
          Snprintf(msg, sizeof msg, "too few fields on line %ld", T->line);
          return T->fail(msg);
        }
        if (c == EOF) ungetc('\n', f);
        else ungetc(c, f);
      }
    } else {
      while (c != EOF && c > 32) {
        s += char(c);
        c = getc_unlocked(f);
      }
      if (c != EOF) ungetc(c, f);
    }
    T->missing[size_t(i)] = !T->quoted[size_t(i)] && s == ".";
  }
  // The rest of the line: blanks only.
  for (;;) {
    int c = getc_unlocked(f);
    if (c == '\n') return 0;
    if (c == EOF) {
      Snprintf(msg, sizeof msg, "early end of file on partial line %ld",
               T->line);
      return T->fail(msg);
    }
    if (c > 32) {
      Snprintf(msg, sizeof msg, "Too many fields on line %ld", T->line);
      return T->fail(msg);
    }
  }
}

// The header: 0, or 2 after the message.  *fa and *fn get the file's key
// and data column counts.
int header(Tinfo* T, int* fa, int* fn) {
  char buf[64];
  int n = 0, c;
  while ((c = getc_unlocked(T->f)) != EOF && c != '\n')
    if (n < 63) buf[n++] = char(c);
  buf[n] = 0;
  ++T->line;
  if (c == EOF) return T->fail("missing header line");
  if (std::strncmp(buf, "vexo.tab ", 9)) return T->fail("bad header line");
  char* p = buf + 9;
  char* e;
  long a = std::strtol(p, &e, 10);
  if (e == p || (*e && static_cast<unsigned char>(*e) > 32))
    return T->fail("bad header line");
  p = e;
  long m = std::strtol(p, &e, 10);
  if (e == p || (*e && static_cast<unsigned char>(*e) > 32) || a < 0 ||
      m < 0 || a > 1000000 || m > 1000000)
    return T->fail("bad header line");
  char msg[120];
  if (a != T->ti->arity) {
    Snprintf(msg, sizeof msg, "header gives arity %ld rather than %d", a,
             T->ti->arity);
    return T->fail(msg);
  }
  *fa = int(a);
  *fn = int(m);
  return 0;
}

// Reads the names line and matches the table's columns (key names among
// the file's key names, data names among its data names); pos[i] gets the
// file field of table column i, -1 for a data column the file lacks (only
// when lax).  0, or 2 after the message.
int match_names(Tinfo* T, int fa, int fn, std::vector<int>& pos, bool lax) {
  T->nf = fa + fn;
  T->text.assign(size_t(T->nf), std::string());
  T->quoted.assign(size_t(T->nf), 0);
  T->missing.assign(size_t(T->nf), 0);
  if (int r = getfields(T)) {
    if (r == 1) return T->fail("missing column names");
    return r;
  }
  TableInfo* ti = T->ti;
  int ncol = ti->arity + ti->ncols;
  pos.assign(size_t(ncol), -1);
  for (int i = 0; i < ncol; ++i) {
    bool key = i < ti->arity;
    int lo = key ? 0 : fa, hi = key ? fa : fa + fn;
    for (int j = lo; j < hi; ++j)
      if (T->text[size_t(j)] == ti->colnames[i]) {
        pos[size_t(i)] = j;
        break;
      }
    if (pos[size_t(i)] < 0 && (key || !lax)) {
      char msg[600];
      Snprintf(msg, sizeof msg, "Column %Q not found.", ti->colnames[i]);
      // The text carries its own period.
      msg[std::strlen(msg) - 1] = 0;
      return T->fail(msg);
    }
  }
  return 0;
}

// Opens the file, reads and checks the header and the names.
int open_table(Tinfo* T, const char* fname, std::vector<int>& pos, bool lax,
               int* fa, int* fn) {
  T->fname = fname;
  T->f = Fopen_map(fname, "r");
  if (!T->f) return tab_errmsg(T->ti, "Cannot open \"%s\".", fname);
  if (int r = header(T, fa, fn)) return r;
  if (!lax && *fa + *fn < T->ti->arity + T->ti->ncols) {
    char msg[120];
    Snprintf(msg, sizeof msg,
             "header says only %d columns; expected at least %d", *fa + *fn,
             T->ti->arity + T->ti->ncols);
    return T->fail(msg);
  }
  return match_names(T, *fa, *fn, pos, lax);
}

// A field's value as a cell: missing, string or number.
void field_value(Tinfo* T, int j, TableInfo* ti, double* dv, char** sv) {
  if (T->missing[size_t(j)]) {
    *sv = ti->Missing;
    return;
  }
  std::string& s = T->text[size_t(j)];
  if (!T->quoted[size_t(j)] && !s.empty()) {
    char* end;
    double v = Strtod(s.c_str(), &end);
    if (*end == 0) {
      *sv = nullptr;
      *dv = v;
      return;
    }
  }
  *sv = const_cast<char*>(s.c_str());
}

// Buffered output of the writer.
struct out_buf {
  FILE* f;
  std::string b;
  void put(const char* s, size_t n) {
    b.append(s, n);
    if (b.size() > 60000) flush();
  }
  void put(const char* s) { put(s, std::strlen(s)); }
  void flush() {
    if (!b.empty()) fwrite(b.data(), 1, b.size(), f);
    b.clear();
  }
};

void put_quoted(out_buf& o, const char* s) {
  char small[256];
  int n = Snprintf(small, sizeof small, "%q", s);
  if (n >= 0 && size_t(n) < sizeof small) {
    o.put(small, size_t(n));
    return;
  }
  std::string big(size_t(n) + 1, '\0');
  Snprintf(big.data(), big.size(), "%q", s);
  o.put(big.c_str(), size_t(n));
}

// An integral x of fewer than 16 digits whose plain text is the shortest
// (it ends in a nonzero digit, or has at most 4 digits: "1e+05" is shorter
// than "100000"), written without the general formatter; false otherwise.
bool put_integer(out_buf& o, double x) {
  if (!(x > -1e15 && x < 1e15)) return false;
  long long n = static_cast<long long>(x);
  if (static_cast<double>(n) != x) return false;
  unsigned long long u = n < 0 ? 0ULL - static_cast<unsigned long long>(n)
                               : static_cast<unsigned long long>(n);
  if (u >= 10000 && u % 10 == 0) return false;
  char buf[24];
  char* e = buf + sizeof buf;
  char* p = e;
  do *--p = static_cast<char>('0' + u % 10);
  while (u /= 10);
  if (n < 0) *--p = '-';
  o.put(p, size_t(e - p));
  return true;
}

void put_cell(out_buf& o, TableInfo* ti, DbCol* c, long i) {
  char buf[48];
  if (c->sval && c->sval[i]) {
    if (c->sval[i] == ti->Missing)
      o.put(".", 1);
    else
      put_quoted(o, c->sval[i]);
  } else if (c->dval) {
    if (put_integer(o, c->dval[i])) return;
    int n = g_fmt(buf, c->dval[i], 0);
    o.put(buf, size_t(n));
  } else {
    o.put(".", 1);
  }
}

}  // namespace

long merge_row(TableInfo* ti, double* kd, char** ks, bool* added) {
  long row = ti->Lookup(kd, ks, ti);
  *added = row < 0;
  if (row >= 0) return row;
  row = ti->nrows;
  if (row >= ti->maxrows) ti->AdjustMaxrows(ti, 2 * ti->maxrows);
  ++ti->nrows;
  return row;
}

char* keep(TableInfo* ti, const char* s) {
  size_t n = std::strlen(s) + 1;
  char* p = static_cast<char*>(Tempmem(ti->TMI, n));
  std::memcpy(p, s, n);
  return p;
}

namespace {

// Puts a field into row r of column j (merging), allocating as needed.
void merge_cell(Tinfo* T, int field, TableInfo* ti, int j, long r) {
  double dv = 0;
  char* sv = nullptr;
  field_value(T, field, ti, &dv, &sv);
  DbCol* c = &ti->cols[j];
  if (sv) {
    if (!c->sval) ti->ColAlloc(ti, j, 1);
    c->sval[r] = sv == ti->Missing ? sv : keep(ti, sv);
  } else {
    if (!c->dval) ti->ColAlloc(ti, j, 0);
    c->dval[r] = dv;
    if (c->sval) c->sval[r] = nullptr;
  }
}

}  // namespace

void set_missing(TableInfo* ti, int j, long r) {
  DbCol* c = &ti->cols[j];
  if (!c->sval) ti->ColAlloc(ti, j, 1);
  c->sval[r] = ti->Missing;
}

std::vector<int> add_file_columns(TableInfo* ti, const std::vector<int>& pos,
                                  int fa, int fn, const char* const* names) {
  int n0 = ti->arity + ti->ncols;
  std::vector<char> used(static_cast<size_t>(fa + fn), 0);
  for (int p : pos)
    if (p >= 0) used[size_t(p)] = 1;
  std::vector<int> extra;
  for (int j = fa; j < fa + fn; ++j)
    if (!used[size_t(j)]) extra.push_back(j);
  if (extra.empty()) return extra;
  int n1 = n0 + int(extra.size());
  auto* cols = static_cast<DbCol*>(Tempmem(ti->TMI, sizeof(DbCol) * n1));
  auto* nm = static_cast<char**>(Tempmem(ti->TMI, sizeof(char*) * n1));
  std::memcpy(cols, ti->cols, sizeof(DbCol) * n0);
  std::memcpy(nm, ti->colnames, sizeof(char*) * n0);
  for (size_t k = 0; k < extra.size(); ++k) {
    cols[n0 + int(k)] = DbCol{nullptr, nullptr};
    nm[n0 + int(k)] = keep(ti, names[extra[k]]);
  }
  ti->cols = cols;
  ti->colnames = nm;
  ti->ncols += int(extra.size());
  // The table's rows that the file lacks have no value there.
  for (int j = n0; j < n1; ++j)
    for (long r = 0; r < ti->nrows; ++r) set_missing(ti, j, r);
  return extra;
}

namespace {

// Merges the existing file of an INOUT table into the rows to write: its
// rows found by Lookup get the file-only columns, the others are added.
// 0, or 2 after the message; a file that does not open is no error.
int merge_file(TableInfo* ti, const char* fname) {
  Tinfo T;
  T.ti = ti;
  T.fname = fname;
  T.f = Fopen_map(fname, "r");
  if (!T.f) return 0;
  int fa = 0, fn = 0;
  if (int r = header(&T, &fa, &fn)) return r;
  std::vector<int> pos;
  if (int r = match_names(&T, fa, fn, pos, true)) return r;
  // File data columns the table does not write become columns of its own.
  int n0 = ti->arity + ti->ncols;
  std::vector<const char*> fnames;
  for (const std::string& x : T.text) fnames.push_back(x.c_str());
  std::vector<int> extra = add_file_columns(ti, pos, fa, fn, fnames.data());
  int a = ti->arity;
  std::vector<double> kd(size_t(a > 0 ? a : 1));
  std::vector<char*> ks(size_t(a > 0 ? a : 1));
  for (;;) {
    int r = getfields(&T);
    if (r == 1) return 0;
    if (r) return r;
    for (int j = 0; j < a; ++j) {
      double dv = 0;
      char* sv = nullptr;
      field_value(&T, pos[size_t(j)], ti, &dv, &sv);
      kd[size_t(j)] = dv;
      ks[size_t(j)] = sv == ti->Missing ? nullptr : sv;
    }
    bool added;
    long row = merge_row(ti, kd.data(), ks.data(), &added);
    if (added) {
      for (int j = 0; j < n0; ++j) {
        if (pos[size_t(j)] >= 0)
          merge_cell(&T, pos[size_t(j)], ti, j, row);
        else
          set_missing(ti, j, row);
      }
    }
    for (size_t k = 0; k < extra.size(); ++k)
      merge_cell(&T, extra[k], ti, n0 + int(k), row);
  }
}

}  // namespace

int permute(int n, int m, int* res, char** tnames, char** fnames) {
  std::vector<int> ti(static_cast<size_t>(n)), fi(static_cast<size_t>(m));
  std::iota(ti.begin(), ti.end(), 0);
  std::iota(fi.begin(), fi.end(), 0);
  auto by = [](char** v) {
    return [v](int a, int b) { return std::strcmp(v[a], v[b]) < 0; };
  };
  std::sort(ti.begin(), ti.end(), by(tnames));
  std::sort(fi.begin(), fi.end(), by(fnames));
  int j = 0;
  for (int i = 0; i < n; ++i) {
    const char* t = tnames[ti[size_t(i)]];
    while (j < m && std::strcmp(fnames[fi[size_t(j)]], t) < 0) ++j;
    if (j >= m || std::strcmp(fnames[fi[size_t(j)]], t)) return i + 1;
    res[ti[size_t(i)]] = fi[size_t(j)];
  }
  return 0;
}

extern "C" int Read_vexo_tab1(VexoExports*, TableInfo* ti, const char* fname) {
  Tinfo T;
  T.ti = ti;
  T.f = nullptr;
  std::vector<int> pos;
  int fa = 0, fn = 0;
  if (int r = open_table(&T, fname, pos, false, &fa, &fn)) return r;
  int ncol = ti->arity + ti->ncols;
  for (;;) {
    int r = getfields(&T);
    if (r == 1) return 0;
    if (r) return r;
    for (int i = 0; i < ncol; ++i) {
      DbCol* c = &ti->cols[i];
      field_value(&T, pos[size_t(i)], ti, c->dval, c->sval);
    }
    if (ti->AddRows(ti, ti->cols, 1)) return 2;
  }
}

extern "C" int Write_vexo_tab1(VexoExports*, TableInfo* ti, const char* fname) {
  if (ti->flags & DBTI_flags_IN)
    if (int r = merge_file(ti, fname)) return r;
  FILE* f = Fopen_map(fname, "w");
  if (!f) return tab_errmsg(ti, "Cannot open \"%s\".", fname);
  out_buf o{f, {}};
  char head[64];
  Snprintf(head, sizeof head, "vexo.tab %d %d\n", ti->arity, ti->ncols);
  o.put(head);
  int ncol = ti->arity + ti->ncols;
  for (int i = 0; i < ncol; ++i) {
    put_quoted(o, ti->colnames[i]);
    o.put(i + 1 < ncol ? "\t" : "\n", 1);
  }
  for (long r = 0; r < ti->nrows; ++r)
    for (int i = 0; i < ncol; ++i) {
      put_cell(o, ti, &ti->cols[i], r);
      o.put(i + 1 < ncol ? "\t" : "\n", 1);
    }
  o.flush();
  fclose(f);
  return 0;
}

extern "C" int Read_vexo_tab(VexoExports* ae, TableInfo* ti) {
  const char* f = one_file(ti, ".tab");
  return f ? Read_vexo_tab1(ae, ti, f) : DB_Refuse;
}

extern "C" int Write_vexo_tab(VexoExports* ae, TableInfo* ti) {
  const char* f = one_file(ti, ".tab");
  return f ? Write_vexo_tab1(ae, ti, f) : DB_Refuse;
}

}  // namespace vexo
