// Taking a solution file apart: the text and the binary form, checked
// against the counts of the problem sent.  No session state is touched.
#include "solver/solparse.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "support/format.h"
#include "support/strtod.h"

namespace vexo {

namespace {

// A read failure: the complaint is already in the data record.
struct sol_fail {};

// The file's bytes and a cursor.
struct input {
  const uint8_t* p;
  const uint8_t* end;
  const char* name;
  sol_data* d;
  const sol_counts* c;
};

[[noreturn]] void fail(input& in, const std::string& msg) {
  in.d->err = SOL_BAD;
  in.d->errmsg = msg;
  throw sol_fail{};
}

[[noreturn]] void early_end(input& in) {
  fail(in, std::string("early end of file reading ") + in.name);
}

[[noreturn]] void bad_file(input& in, const std::string& prefix = "") {
  fail(in, prefix + "Bad " + (in.d->binary ? "binary" : "ASCII") +
               " solution file " + in.name);
}

[[noreturn]] void count_mismatch(input& in, long given, long want,
                                 const char* what) {
  fail(in, std::string(in.name) + " indicates " + std::to_string(given) +
               " rather than " + std::to_string(want) + " " + what);
}

// ---- Text form.

// The next line, at most 511 bytes (a longer line comes in pieces); a
// carriage return before the line feed is dropped.  False at the end.
bool get_line(input& in, std::string* line) {
  if (in.p >= in.end) return false;
  const uint8_t* s = in.p;
  size_t room = 511;
  while (in.p < in.end && room > 0) {
    --room;
    if (*in.p++ == '\n') break;
  }
  line->assign(reinterpret_cast<const char*>(s), size_t(in.p - s));
  size_t n = line->size();
  if (n >= 2 && (*line)[n - 1] == '\n' && (*line)[n - 2] == '\r')
    line->erase(n - 2, 1);
  return true;
}

std::string chomp(const std::string& s) {
  return !s.empty() && s.back() == '\n' ? s.substr(0, s.size() - 1) : s;
}

[[noreturn]] void bad_line(input& in, const std::string& line) {
  fail(in, std::string("Bad line in ") + in.name + ": " + chomp(line));
}

// A number line: the number must end in a digit or a decimal point and
// only blanks may follow.
double num_line(input& in, const std::string& line) {
  const char* s = line.c_str();
  char* e;
  double x = Strtod(s, &e);
  if (e == s || !(std::isdigit(static_cast<unsigned char>(e[-1])) ||
                  e[-1] == '.'))
    bad_line(in, line);
  for (; *e; ++e)
    if (!std::isspace(static_cast<unsigned char>(*e))) bad_line(in, line);
  return x;
}

double next_num(input& in) {
  std::string line;
  if (!get_line(in, &line)) early_end(in);
  return num_line(in, line);
}

// An integer line (option words and counts).
long next_long(input& in) {
  std::string line;
  if (!get_line(in, &line)) early_end(in);
  const char* s = line.c_str();
  char* e;
  long v = std::strtol(s, &e, 10);
  if (e == s) bad_line(in, line);
  for (; *e; ++e)
    if (!std::isspace(static_cast<unsigned char>(*e))) bad_line(in, line);
  return v;
}

// One decimal integer of a header: blanks skipped, a digit required, then
// a blank, a line feed, a carriage return and line feed, or the end.
bool Lget(const char** ps, long* out) {
  const char* s = *ps;
  while (*s == ' ') ++s;
  if (!std::isdigit(static_cast<unsigned char>(*s))) return true;
  long v = 0;
  for (; std::isdigit(static_cast<unsigned char>(*s)); ++s) {
    if (v > 100000000) return true;
    v = 10 * v + (*s - '0');
  }
  if (*s && *s != ' ' && *s != '\n' && !(s[0] == '\r' && s[1] == '\n'))
    return true;
  *ps = s;
  *out = v;
  return false;
}

bool name_ok(const std::string& s) {
  if (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0])))
    return false;
  for (char ch : s)
    if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '_')
      return false;
  return true;
}

// The checks of a suffix header; true when bad.
bool sufheadcheck(input& in, long kind, long n, long namelen, long tablen,
                  long nlines) {
  if (kind < 0 || kind > 15 || n < 0 || namelen < 2 || tablen < 0)
    return true;
  if (tablen > 0 && (nlines < 1 || nlines > tablen + 1)) return true;
  return n > in.c->ent[kind & 3];
}

void check_index(input& in, const sol_suffix& s, long i) {
  if (i < 0 || i >= in.c->ent[s.kind & 3]) early_end(in);
}

void text_suffix(input& in, const std::string& head) {
  const char* s = head.c_str() + 7;
  long kind = 0, n = 0, namelen = 0, tablen = 0, nlines = 0;
  if (Lget(&s, &kind) || Lget(&s, &n) || Lget(&s, &namelen) ||
      Lget(&s, &tablen) || Lget(&s, &nlines) ||
      sufheadcheck(in, kind, n, namelen, tablen, nlines))
    early_end(in);
  sol_suffix suf{int32_t(kind), {}, {}, false, {}};
  std::string line;
  if (!get_line(in, &line) || line.size() != size_t(namelen) ||
      line.back() != '\n')
    early_end(in);
  suf.name = line.substr(0, size_t(namelen - 1));
  suf.bad_name = !name_ok(suf.name);
  if (tablen) {
    for (long i = 0; i < nlines; ++i) {
      if (!get_line(in, &line)) early_end(in);
      suf.table += line;
      if (long(suf.table.size()) > tablen) early_end(in);
    }
    if (suf.table.empty() || suf.table.back() != '\n') early_end(in);
  }
  for (long i = 0; i < n; ++i) {
    if (!get_line(in, &line)) early_end(in);
    const char* p = line.c_str();
    char* e;
    long ix = std::strtol(p, &e, 10);
    if (e == p) early_end(in);
    p = e;
    double v = Strtod(p, &e);
    if (e == p) early_end(in);
    check_index(in, suf, ix);
    // An integer suffix keeps the integer part (a value beyond the
    // integers stays as it is rather than overflowing a conversion).
    if (!(kind & 4)) v = std::trunc(v);
    suf.rows.emplace_back(int32_t(ix), v);
  }
  in.d->sufs.push_back(std::move(suf));
}

// Appends a piece of the solver's message; the first piece's leading
// backspaces are counted.
void add_message(sol_data& d, const std::string& piece, bool* first) {
  if (*first) {
    *first = false;
    while (d.backspaces < int32_t(piece.size()) &&
           piece[size_t(d.backspaces)] == '\b')
      ++d.backspaces;
  }
  d.message += piece;
}

// The message is whole: its final line feed goes.
void end_message(sol_data& d) {
  if (!d.message.empty() && d.message.back() == '\n') d.message.pop_back();
  d.message_read = true;
}

void parse_text(input& in) {
  sol_data& d = *in.d;
  std::string line;
  bool first = true;
  // The message, up to the first empty line.
  while (get_line(in, &line)) {
    if (line == "\n") break;
    add_message(d, line, &first);
  }
  end_message(d);
  // Further empty lines; then an options block or the first value.
  bool have = false;
  while (get_line(in, &line)) {
    if (line != "\n" && line != "\r") {
      have = true;
      break;
    }
  }
  if (have && line[0] == 'O') {
    have = false;
    if (line.compare(1, 6, "ptions") == 0) {
      d.has_opts = true;
      long nopts = next_long(in);
      if (nopts < 3 || nopts > 9)
        bad_file(in, "expected nOpts between 3 and 9; got " +
                         std::to_string(nopts) + ": ");
      d.nopts = int32_t(nopts);
      long nw = nopts;
      for (long i = 1; i <= nw; ++i) {
        d.opts[i] = next_long(in);
        if (i == 2 && d.opts[2] == 3) nw -= 2;
      }
      next_long(in);
      long ndual = next_long(in);
      next_long(in);
      long nprimal = next_long(in);
      if (d.opts[2] == 3) {
        d.has_droptol = true;
        d.droptol = next_num(in);
      }
      if (nprimal < 0 || nprimal > in.c->n_var)
        count_mismatch(in, nprimal, in.c->n_var, "variables");
      if (ndual < 0 || ndual > in.c->n_con)
        count_mismatch(in, ndual, in.c->n_con, "constraints");
      d.duals.resize(size_t(ndual));
      d.primals.resize(size_t(nprimal));
    }
  }
  if (!d.has_opts) {
    d.duals.resize(size_t(in.c->n_con));
    d.primals.resize(size_t(in.c->n_var));
  }
  for (std::vector<double>* v : {&d.duals, &d.primals}) {
    for (double& x : *v) {
      if (have) {
        x = num_line(in, line);
        have = false;
      } else {
        x = next_num(in);
      }
    }
  }
  if (!have && !get_line(in, &line)) return;
  if (line.compare(0, 6, "objno ") != 0)
    fail(in, std::string("extra line in ") + in.name + ":\n" + chomp(line));
  const char* s = line.c_str() + 6;
  char* e;
  d.objno = int32_t(std::strtol(s, &e, 10));
  if (e == s) bad_line(in, line);
  d.has_objno = true;
  s = e;
  long res = std::strtol(s, &e, 10);
  if (e != s) {
    d.has_result = true;
    d.result = int32_t(res);
  }
  while (get_line(in, &line)) {
    if (line.compare(0, 7, "suffix ") != 0) early_end(in);
    text_suffix(in, line);
  }
}

// ---- Binary form.

// The bytes of the next record; false at the end of the file.
bool get_record(input& in, std::string* rec) {
  if (in.p >= in.end) return false;
  uint32_t len, len2;
  if (in.end - in.p < 4) bad_file(in);
  std::memcpy(&len, in.p, 4);
  if (size_t(in.end - in.p - 4) < size_t(len) + 4) early_end(in);
  rec->assign(reinterpret_cast<const char*>(in.p + 4), len);
  std::memcpy(&len2, in.p + 4 + len, 4);
  if (len2 != len) bad_file(in);
  in.p += 8 + size_t(len);
  return true;
}

int32_t int_at(const std::string& r, size_t off) {
  int32_t v;
  std::memcpy(&v, r.data() + off, 4);
  return v;
}

double dbl_at(const std::string& r, size_t off) {
  double v;
  std::memcpy(&v, r.data() + off, 8);
  return v;
}

void bin_values(input& in, const std::string& rec, std::vector<double>* v) {
  if (rec.size() != v->size() * 8) bad_file(in);
  for (size_t i = 0; i < v->size(); ++i) (*v)[i] = dbl_at(rec, 8 * i);
}

void bin_suffix(input& in, const std::string& r) {
  auto bad = [&] {
    fail(in, std::string("Bad suffix table in ") + in.name);
  };
  if (r.size() < 24 || r.compare(0, 8, "\nSuffix\n") != 0) bad();
  long kind = int_at(r, 8), n = int_at(r, 12), namelen = int_at(r, 16),
       tablen = int_at(r, 20);
  long nlines = tablen ? 1 : 0;
  if (sufheadcheck(in, kind, n, namelen, tablen, nlines)) bad();
  size_t need = 24 + size_t(namelen) + size_t(tablen) +
                size_t(n) * (kind & 4 ? 12 : 8);
  if (r.size() < need) bad();
  sol_suffix suf{int32_t(kind), {}, {}, false, {}};
  const char* name = r.data() + 24;
  suf.name.assign(name, strnlen(name, size_t(namelen)));
  if (suf.name.size() >= size_t(namelen)) suf.name.resize(size_t(namelen - 1));
  suf.bad_name = !name_ok(suf.name);
  size_t off = 24 + size_t(namelen);
  suf.table.assign(r.data() + off, size_t(tablen));
  off += size_t(tablen);
  for (long i = 0; i < n; ++i) {
    long ix = int_at(r, off);
    double v;
    if (kind & 4) {
      v = dbl_at(r, off + 4);
      off += 12;
    } else {
      v = int_at(r, off + 4);
      off += 8;
    }
    check_index(in, suf, ix);
    suf.rows.emplace_back(int32_t(ix), v);
  }
  in.d->sufs.push_back(std::move(suf));
}

void parse_binary(input& in) {
  sol_data& d = *in.d;
  std::string rec;
  get_record(in, &rec);  // "binary"
  if (rec != "binary") bad_file(in);
  bool first = true;
  for (;;) {
    if (!get_record(in, &rec)) early_end(in);
    if (rec.empty()) break;
    // Pieces of 512 bytes; the last piece loses its trailing blanks.
    size_t last = (rec.size() - 1) / 512 * 512;
    size_t n = rec.size();
    while (n > last && rec[n - 1] == ' ') --n;
    rec.resize(n);
    add_message(d, rec, &first);
  }
  end_message(d);
  if (!get_record(in, &rec)) early_end(in);
  if (rec.size() >= 39 && rec.size() <= 63 && (rec.size() - 39) % 4 == 0 &&
      rec.compare(0, 7, "Options") == 0) {
    d.has_opts = true;
    long nopts = int_at(rec, 7);
    if (nopts < 3 || nopts > 9)
      bad_file(in, "expected nOpts between 3 and 9; got " +
                       std::to_string(nopts) + ": ");
    d.nopts = int32_t(nopts);
    size_t off = 11;
    long nw = nopts;
    for (long i = 1; i <= nw; ++i, off += 4) {
      if (off + 4 > rec.size()) bad_file(in);
      d.opts[i] = int_at(rec, off);
      if (i == 2 && d.opts[2] == 3) nw -= 2;
    }
    size_t want = off + 16 + (d.opts[2] == 3 ? 8 : 0);
    if (rec.size() != want) bad_file(in);
    long ndual = int_at(rec, off + 4), nprimal = int_at(rec, off + 12);
    if (d.opts[2] == 3) {
      d.has_droptol = true;
      d.droptol = dbl_at(rec, off + 16);
    }
    if (nprimal < 0 || nprimal > in.c->n_var)
      count_mismatch(in, nprimal, in.c->n_var, "variables");
    if (ndual < 0 || ndual > in.c->n_con)
      count_mismatch(in, ndual, in.c->n_con, "constraints");
    d.duals.resize(size_t(ndual));
    d.primals.resize(size_t(nprimal));
    if (!get_record(in, &rec)) early_end(in);
  } else {
    d.duals.resize(size_t(in.c->n_con));
    d.primals.resize(size_t(in.c->n_var));
  }
  bin_values(in, rec, &d.duals);
  if (!get_record(in, &rec)) early_end(in);
  bin_values(in, rec, &d.primals);
  if (!get_record(in, &rec)) return;
  if (rec.size() == 4 || rec.size() == 8) {
    d.has_objno = true;
    d.objno = int_at(rec, 0);
    if (rec.size() == 4) return;
    d.has_result = true;
    d.result = int_at(rec, 4);
    if (!get_record(in, &rec)) return;
  }
  do bin_suffix(in, rec);
  while (get_record(in, &rec));
}

}  // namespace

int parse_soln(const char* name, const uint8_t* data, size_t size,
               const sol_counts& c, sol_data* d) {
  *d = sol_data{};
  input in{data, data + size, name, d, &c};
  int32_t first = 0;
  if (size >= 4) std::memcpy(&first, data, 4);
  d->binary = first == 6;
  try {
    if (d->binary)
      parse_binary(in);
    else
      parse_text(in);
  } catch (sol_fail&) {
  }
  return d->err;
}

double tol_decode(int64_t w, int b) {
  if (!((w >> b) & 1)) return 0;
  int64_t e = w >> (b + 1);
  if (e >= 1000000) return std::pow(1.1, double(e - 1000000));
  return std::pow(1.1, -double(e));
}

}  // namespace vexo
