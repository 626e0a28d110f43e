// nl problem file reader for linear problems: the ten header lines, then the
// segments in either form, item by item through one cursor that knows the
// form, so that the segment parsers are written once.
#include "solvers/nlread.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

#include "support/machine.h"
#include "support/strtod.h"

namespace vexo {

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();
// Opcodes of the expression graphs that fold into linear terms.
constexpr int OP_PLUS = 0, OP_MINUS = 1, OP_MULT = 2, OP_DIV = 3,
              OP_UMINUS = 16, OP_SUMLIST = 54;
// Opcode numbers of the evaluator's table run from 0 to this.
constexpr int OP_LAST = 232;

// Reading stops for a problem a linear solver cannot take.
struct nl_refused {
  std::string why;
};

std::string vformat(const char* fmt, va_list ap) {
  char buf[512];
  vsnprintf(buf, sizeof buf, fmt, ap);
  return buf;
}

[[noreturn]] void refuse(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vformat(fmt, ap);
  va_end(ap);
  throw nl_refused{s};
}

// "n thing" or "n things".
std::string count_of(int64_t n, const char* thing) {
  char buf[128];
  snprintf(buf, sizeof buf, "%lld %s%s", static_cast<long long>(n), thing,
           n == 1 ? "" : "s");
  return buf;
}

// The cursor over the file's bytes.  The text form is line by line: an
// item ends with an optional comment ("#" to the end of the line) and a
// line feed.  The binary form has fixed-size fields and no line ends.
class nl_input {
 public:
  nl_input(const char* name, const unsigned char* data, size_t size)
      : name_(name), buf_(reinterpret_cast<const char*>(data), size) {}

  bool binary = false;

  // A fault at the current place: the line of the text form (and of the
  // header), the byte offset of the binary form.
  [[noreturn]] void fail(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string s = vformat(fmt, ap);
    va_end(ap);
    char where[64];
    if (binary && header_done_)
      snprintf(where, sizeof where, "byte %zu", pos_);
    else
      snprintf(where, sizeof where, "line %zu", line_);
    throw nl_error(name_ + ", " + where + ": " + s);
  }

  // A fault of the file as a whole, found at its end.
  [[noreturn]] void fail_whole(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string s = vformat(fmt, ap);
    va_end(ap);
    throw nl_error(name_ + ": " + s);
  }

  bool at_end() const { return pos_ >= size(); }
  size_t left() const { return size() - pos_; }
  void header_done() { header_done_ = true; }

  // The next byte, consumed: a segment letter or an item tag.
  int letter() {
    if (at_end()) fail("unexpected end of file");
    return static_cast<unsigned char>(buf_[pos_++]);
  }

  // An integer field: decimal text after optional blanks, or 4 bytes.
  int64_t get_int() {
    if (binary) return get_bin<int32_t>();
    skip_blanks();
    size_t p = pos_;
    bool neg = p < size() && buf_[p] == '-';
    if (neg) ++p;
    if (p >= size() || !isdigit(static_cast<unsigned char>(buf_[p])))
      fail("expected an integer");
    int64_t v = 0;
    for (; p < size() && isdigit(static_cast<unsigned char>(buf_[p])); ++p) {
      if (v > (std::numeric_limits<int64_t>::max() - 9) / 10)
        fail("integer out of range");
      v = 10 * v + (buf_[p] - '0');
    }
    pos_ = p;
    return neg ? -v : v;
  }

  // An integer field that must lie in [lo, hi]; what names it in messages.
  int get_int(int64_t lo, int64_t hi, const char* what) {
    int64_t v = get_int();
    if (v < lo || v > hi)
      fail("%s %lld out of range [%lld, %lld]", what,
           static_cast<long long>(v), static_cast<long long>(lo),
           static_cast<long long>(hi));
    return static_cast<int>(v);
  }

  // A real field: decimal text after optional blanks, or 8 bytes.  NaN is
  // refused everywhere.
  double get_real() {
    double v;
    if (binary) {
      v = get_bin<double>();
    } else {
      skip_blanks();
      // The buffer ends in a NUL (buf_ is a std::string), so the conversion
      // stops inside it.
      const char* s = buf_.c_str() + pos_;
      char* end;
      v = Strtod(s, &end);
      if (end == s) fail("expected a number");
      pos_ += static_cast<size_t>(end - s);
    }
    if (std::isnan(v)) fail("number is NaN");
    return v;
  }

  // A binary field of type T (native byte order).
  template <class T>
  T get_bin() {
    if (left() < sizeof(T)) fail("unexpected end of file");
    T v;
    std::memcpy(&v, buf_.data() + pos_, sizeof v);
    pos_ += sizeof v;
    return v;
  }

  // The bytes of a string field: the rest of the word in the text form,
  // a 4-byte length and the bytes in the binary form.
  std::string get_word() {
    if (binary) {
      int64_t n = get_int();
      if (n < 0 || static_cast<size_t>(n) > left())
        fail("string length %lld beyond the file", static_cast<long long>(n));
      std::string s = buf_.substr(pos_, static_cast<size_t>(n));
      pos_ += static_cast<size_t>(n);
      return s;
    }
    skip_blanks();
    size_t p = pos_;
    while (p < size() && !strchr(" \t\r\n#", buf_[p])) ++p;
    if (p == pos_) fail("expected a name");
    std::string s = buf_.substr(pos_, p - pos_);
    pos_ = p;
    return s;
  }

  // The end of an item: nothing in the binary form (after the header); in
  // the text form blanks, an optional comment, and the line feed.
  void end_item() {
    if (binary && header_done_) return;
    while (pos_ < size() && (buf_[pos_] == ' ' || buf_[pos_] == '\t')) ++pos_;
    if (pos_ < size() && buf_[pos_] == '#')
      while (pos_ < size() && buf_[pos_] != '\n') ++pos_;
    if (pos_ < size() && buf_[pos_] == '\r') ++pos_;
    if (pos_ >= size()) fail("unexpected end of file");
    if (buf_[pos_] != '\n') fail("unexpected text \"%.20s\"", rest_of_line());
    ++pos_;
    ++line_;
  }

  // Whether the text line holds another field before its end or comment.
  bool more_on_line() {
    skip_blanks();
    return pos_ < size() && !strchr("\t\r\n#", buf_[pos_]);
  }

 private:
  size_t size() const { return buf_.size(); }
  void skip_blanks() {
    while (pos_ < size() && buf_[pos_] == ' ') ++pos_;
  }
  const char* rest_of_line() {
    static char b[24];
    size_t n = 0;
    while (n < 20 && pos_ + n < size() && buf_[pos_ + n] != '\n' &&
           buf_[pos_ + n] != '\0')
      ++n;
    std::memcpy(b, buf_.data() + pos_, n);
    b[n] = 0;
    return b;
  }

  std::string name_;
  std::string buf_;
  size_t pos_ = 0;
  size_t line_ = 1;
  bool header_done_ = false;
};

// An affine expression: linear terms (a variable may repeat) and a
// constant.
struct affine {
  double c = 0;
  std::vector<nl_term> t;
};

class nl_reader {
 public:
  nl_reader(nl_problem& p, nl_input& in) : p_(p), h_(p.h), in_(in) {}

  void read() {
    read_header();
    refuse_by_header();
    p_.var_lo.assign(h_.n_var, -INF);
    p_.var_hi.assign(h_.n_var, INF);
    p_.row_lo.assign(h_.n_con, -INF);
    p_.row_hi.assign(h_.n_con, INF);
    row_const_.assign(h_.n_con, 0.);
    con_seen_.assign(h_.n_con, 0);
    p_.obj_sense.assign(h_.n_obj, -1);
    p_.obj_const.assign(h_.n_obj, 0.);
    p_.obj_terms.assign(h_.n_obj, {});
    obj_seen_.assign(h_.n_obj, 0);
    stamp_.assign(h_.n_var, 0);
    while (!in_.at_end()) segment();
    finish();
  }

 private:
  // Header line 1: the form, nOpts, the option words, the tolerance.
  void read_line1() {
    int c = in_.letter();
    if (!strchr("gbzZP", c) || c == 0)
      in_.fail("not an nl problem file (it begins with byte %d)", c);
    h_.form = static_cast<char>(c);
    h_.n_opts = in_.get_int(0, 9, "option count");
    for (int i = 0; i < h_.n_opts; ++i) h_.opts[i] = in_.get_int();
    if (h_.n_opts >= 2 && h_.opts[1] == 3) h_.vb_tol = in_.get_real();
    in_.end_item();
  }

  // Header lines 2 to 10: at least lo counts each, 0 for those left out.
  // The line stays open when close is false (for a check of its own).
  void read_counts(int lo, std::initializer_list<int*> fields,
                   bool close = true) {
    int n = 0;
    for (int* f : fields) {
      if (!in_.more_on_line()) break;
      *f = in_.get_int(0, std::numeric_limits<int32_t>::max(), "count");
      ++n;
    }
    if (n < lo) in_.fail("expected %d counts, found %d", lo, n);
    if (in_.more_on_line()) in_.fail("too many counts");
    if (close) in_.end_item();
  }

  void read_header() {
    read_line1();
    if (strchr("zZP", h_.form)) refuse("cannot read nl files of form %c",
                                       h_.form);
    read_counts(5, {&h_.n_var, &h_.n_con, &h_.n_obj, &h_.n_ranges, &h_.n_eqns,
                    &h_.n_lcons, &h_.n_randvars});
    read_counts(2, {&h_.nlc, &h_.nlo, &h_.n_cc, &h_.nl_cc, &h_.nd_cc, &h_.nzlb,
                    &h_.n_rand_con, &h_.n_rand_obj});
    read_counts(2, {&h_.nlnc, &h_.lnc, &h_.n_stages});
    read_counts(3, {&h_.nlvc, &h_.nlvo, &h_.nlvb});
    read_counts(2, {&h_.nwv, &h_.nfunc, &h_.arith, &h_.flags, &h_.randcalls},
                false);
    if (h_.form == 'b' && h_.arith != arith_kind)
      in_.fail("binary file of arithmetic kind %d; this machine's is %d",
               h_.arith, arith_kind);
    in_.end_item();
    read_counts(5, {&h_.nbv, &h_.niv, &h_.nlvbi, &h_.nlvci, &h_.nlvoi});
    int nz[2] = {};
    read_counts(2, {&nz[0], &nz[1]});
    h_.nzc = nz[0];
    h_.nzo = nz[1];
    read_counts(2, {&h_.max_row_name, &h_.max_col_name});
    read_counts(5, {&h_.comb, &h_.comc, &h_.como, &h_.comc1, &h_.como1,
                    &h_.comrand});
    in_.binary = h_.form == 'b';
    in_.header_done();
    // Every variable needs a bound line, every constraint a range line,
    // every objective and term some bytes: larger counts cannot be true.
    size_t left = in_.left();
    auto check = [&](int64_t n, const char* what) {
      if (static_cast<uint64_t>(n) > left)
        in_.fail("header claims %s; the file holds %zu bytes more",
                 count_of(n, what).c_str(), left);
    };
    check(h_.n_var, "variable");
    check(h_.n_con, "constraint");
    check(h_.n_obj, "objective");
    check(h_.nzc, "Jacobian nonzero");
    check(h_.nzo, "gradient nonzero");
    if (int64_t{h_.nbv} + h_.niv > h_.n_var)
      in_.fail("header claims %d binary and %d integer variables of %d",
               h_.nbv, h_.niv, h_.n_var);
  }

  void refuse_by_header() {
    std::string why;
    auto add = [&](int64_t n, const char* what) {
      if (n <= 0) return;
      if (!why.empty()) why += ", ";
      why += count_of(n, what);
    };
    add(h_.nlc + h_.nlnc, "nonlinear constraint");
    add(h_.nlo, "nonlinear objective");
    if (why.empty())
      add(std::max({h_.nlvc, h_.nlvo, h_.nlvb, h_.nlvbi + h_.nlvci + h_.nlvoi}),
          "nonlinear variable");
    add(int64_t{h_.comb} + h_.comc + h_.como + h_.comc1 + h_.como1,
        "defined variable");
    if (!why.empty()) refuse("cannot solve nonlinear problems (%s)",
                             why.c_str());
    if (h_.n_lcons)
      refuse("cannot solve problems with logical constraints (%s)",
             count_of(h_.n_lcons, "logical constraint").c_str());
    if (h_.n_cc || h_.nl_cc)
      refuse("cannot solve complementarity problems (%s)",
             count_of(int64_t{h_.n_cc} + h_.nl_cc,
                      "complementarity constraint").c_str());
    if (h_.n_randvars || h_.n_rand_con || h_.n_rand_obj || h_.n_stages > 1 ||
        h_.randcalls || h_.comrand)
      refuse("cannot solve stochastic problems (%s)",
             count_of(h_.n_randvars, "random variable").c_str());
    if (h_.nfunc)
      refuse("cannot solve problems that call imported functions (%s)",
             count_of(h_.nfunc, "function").c_str());
  }

  void segment() {
    int c = in_.letter();
    switch (c) {
      case 'F':
        refuse("cannot solve problems that call imported functions");
      case 'L':
        refuse("cannot solve problems with logical constraints");
      case 'V':
        refuse("cannot solve nonlinear problems (defined variables)");
      case 'R':
        refuse("cannot solve stochastic problems (random variables)");
      case 'S': return suffix();
      case 'C': return con_graph();
      case 'O': return obj_graph();
      case 'b': return bounds(false);
      case 'r': return bounds(true);
      case 'x': return guesses(h_.n_var, "variable");
      case 'd': return guesses(h_.n_con, "constraint");
      case 'k': return column_lengths();
      case 'J': return terms(false);
      case 'G': return terms(true);
      default:
        if (c >= ' ' && c < 127) in_.fail("unknown segment letter '%c'", c);
        in_.fail("unknown segment letter (byte %d)", c);
    }
  }

  // Once per segment letter that may come only once.
  void once(bool& seen, char letter) {
    if (seen) in_.fail("second %c segment", letter);
    seen = true;
  }

  void suffix() {
    int kind = in_.get_int(0, 7, "suffix kind");
    int64_t count[4] = {h_.n_var, h_.n_con, h_.n_obj, 1};
    int64_t entities = count[kind & 3];
    int n = in_.get_int(0, entities, "suffix entry count");
    std::string name = in_.get_word();
    in_.end_item();
    // Suffixes, "sos" and "sosref" among them, are read over: the
    // translator sends special ordered sets only for the linearisations
    // it also states in full by binary columns and rows (no user suffix
    // may take those names).
    for (int i = 0; i < n; ++i) {
      in_.get_int(0, entities - 1, "suffix index");
      if (kind & 4)
        in_.get_real();
      else
        in_.get_int();
      in_.end_item();
    }
  }

  void bounds(bool rows) {
    once(rows ? r_seen_ : b_seen_, rows ? 'r' : 'b');
    in_.end_item();
    int n = rows ? h_.n_con : h_.n_var;
    std::vector<double>& lo = rows ? p_.row_lo : p_.var_lo;
    std::vector<double>& hi = rows ? p_.row_hi : p_.var_hi;
    for (int i = 0; i < n; ++i) {
      int code = in_.letter();
      switch (code) {
        case '0':
          lo[i] = in_.get_real();
          hi[i] = in_.get_real();
          break;
        case '1': hi[i] = in_.get_real(); break;
        case '2': lo[i] = in_.get_real(); break;
        case '3': break;
        case '4': lo[i] = hi[i] = in_.get_real(); break;
        case '5':
          if (rows) refuse("cannot solve complementarity problems");
          [[fallthrough]];
        default:
          in_.fail("bad bound code (byte %d)", code);
      }
      if (rows) {
        if (code == '0') ++ranges_;
        if (code == '4') ++eqns_;
      }
      in_.end_item();
    }
  }

  void guesses(int n_ent, const char* what) {
    int n = in_.get_int(0, n_ent, "initial guess count");
    in_.end_item();
    for (int i = 0; i < n; ++i) {
      in_.get_int(0, n_ent - 1, what);
      in_.get_real();
      in_.end_item();
    }
  }

  void column_lengths() {
    once(k_seen_, 'k');
    int n = in_.get_int(0, h_.n_var ? h_.n_var - 1 : 0, "k count");
    if (n != std::max(h_.n_var - 1, 0))
      in_.fail("k segment of %d entries for %d variables", n, h_.n_var);
    in_.end_item();
    col_ends_.resize(n);
    int64_t prev = 0;
    for (int i = 0; i < n; ++i) {
      int64_t v = in_.get_int();
      if (v < prev || v > h_.nzc)
        in_.fail("column length total %lld out of order",
                 static_cast<long long>(v));
      col_ends_[i] = prev = v;
      in_.end_item();
    }
  }

  void terms(bool objective) {
    int i = objective ? in_.get_int(0, h_.n_obj - 1, "objective")
                      : in_.get_int(0, h_.n_con - 1, "constraint");
    int n = in_.get_int(1, h_.n_var, "term count");
    std::vector<char>& seen = objective ? g_seen_ : j_seen_;
    seen.resize(objective ? h_.n_obj : h_.n_con);
    if (seen[i]) in_.fail("second %c segment for %d", objective ? 'G' : 'J', i);
    seen[i] = 1;
    in_.end_item();
    ++segment_no_;
    for (int k = 0; k < n; ++k) {
      int v = in_.get_int(0, h_.n_var - 1, "variable");
      double a = in_.get_real();
      if (std::isinf(a)) in_.fail("infinite coefficient");
      if (stamp_[v] == segment_no_) in_.fail("variable %d appears twice", v);
      stamp_[v] = segment_no_;
      in_.end_item();
      if (objective)
        p_.obj_terms[i].push_back({v, a});
      else
        entries_.push_back({i, {v, a}});
    }
    (objective ? nzo_ : nzc_) += n;
  }

  void con_graph() {
    int i = in_.get_int(0, h_.n_con - 1, "constraint");
    if (con_seen_[i]) in_.fail("second C segment for %d", i);
    con_seen_[i] = 1;
    in_.end_item();
    char where[48];
    snprintf(where, sizeof where, "constraint %d", i);
    affine a = graph(where);
    row_const_[i] = a.c;
    for (const nl_term& t : a.t) entries_.push_back({i, t, false});
  }

  void obj_graph() {
    int i = in_.get_int(0, h_.n_obj - 1, "objective");
    int sense = in_.get_int(0, 1, "objective sense");
    if (obj_seen_[i]) in_.fail("second O segment for %d", i);
    obj_seen_[i] = 1;
    in_.end_item();
    p_.obj_sense[i] = sense;
    char where[48];
    snprintf(where, sizeof where, "objective %d", i);
    affine a = graph(where);
    p_.obj_const[i] = a.c;
    for (const nl_term& t : a.t) p_.obj_terms[i].push_back(t);
  }

  // One expression graph in prefix order, folded as it is read: each
  // operator waits on a stack for its operands, which wait on a stack of
  // values, so nesting depth costs no machine stack.
  affine graph(const char* where) {
    struct pending {
      int op;
      int64_t need;  // operands in all
      size_t base;   // its first operand's place on the value stack
    };
    std::vector<pending> ops;
    std::vector<affine> vals;
    for (;;) {
      int tag = in_.letter();
      affine leaf;
      switch (tag) {
        case 'o': {
          int op = in_.get_int();
          if (op < 0 || op > OP_LAST) in_.fail("unknown opcode %d", op);
          int64_t need = 2;
          if (op == OP_UMINUS) {
            need = 1;
          } else if (op == OP_SUMLIST) {
            in_.end_item();
            need = in_.get_int();
            if (need < 1 || static_cast<uint64_t>(need) > in_.left())
              in_.fail("bad operand count %lld", static_cast<long long>(need));
          } else if (op > OP_DIV) {
            refuse("cannot solve nonlinear problems (opcode %d in %s)", op,
                   where);
          }
          in_.end_item();
          ops.push_back({op, need, vals.size()});
          continue;
        }
        case 'n': leaf.c = in_.get_real(); break;
        case 's':
        case 'l':
          if (!in_.binary) in_.fail("bad expression item '%c'", tag);
          leaf.c = tag == 's' ? in_.get_bin<int16_t>() : in_.get_bin<int32_t>();
          break;
        case 'v': {
          int v = in_.get_int();
          if (v < 0 || v >= h_.n_var) {
            if (v >= h_.n_var && v < h_.n_var + common_exprs())
              refuse("cannot solve nonlinear problems (defined variables)");
            in_.fail("variable %d out of range", v);
          }
          leaf.t.push_back({v, 1.});
          break;
        }
        case 'f':
          refuse("cannot solve problems that call imported functions");
        default:
          if (tag >= ' ' && tag < 127)
            in_.fail("bad expression item '%c'", tag);
          in_.fail("bad expression item (byte %d)", tag);
      }
      vals.push_back(std::move(leaf));
      // Apply every operator whose operands are now all there (before the
      // item ends, so that a message names its line).
      while (!ops.empty() && vals.size() - ops.back().base ==
                                 static_cast<uint64_t>(ops.back().need)) {
        pending o = ops.back();
        ops.pop_back();
        apply(o.op, vals, o.base, where);
      }
      in_.end_item();
      if (ops.empty()) {
        if (vals.size() != 1) in_.fail("malformed expression graph");
        return std::move(vals[0]);
      }
    }
  }

  int64_t common_exprs() const {
    return int64_t{h_.comb} + h_.comc + h_.como + h_.comc1 + h_.como1;
  }

  static void scale(affine& a, double k) {
    a.c *= k;
    for (nl_term& t : a.t) t.coef *= k;
  }

  // Replaces the operands from base on by the value of op over them.
  void apply(int op, std::vector<affine>& vals, size_t base,
             const char* where) {
    affine& a = vals[base];
    switch (op) {
      case OP_UMINUS: scale(a, -1); break;
      case OP_MINUS: scale(vals[base + 1], -1); [[fallthrough]];
      case OP_PLUS:
      case OP_SUMLIST:
        for (size_t i = base + 1; i < vals.size(); ++i) {
          a.c += vals[i].c;
          a.t.insert(a.t.end(), vals[i].t.begin(), vals[i].t.end());
        }
        break;
      case OP_MULT: {
        affine& b = vals[base + 1];
        if (!a.t.empty() && !b.t.empty())
          refuse("cannot solve nonlinear problems (product of variables in "
                 "%s)", where);
        if (a.t.empty()) std::swap(a, b);
        scale(a, b.c);
        break;
      }
      case OP_DIV: {
        affine& b = vals[base + 1];
        if (!b.t.empty())
          refuse("cannot solve nonlinear problems (division by a variable "
                 "in %s)", where);
        if (b.c == 0) in_.fail("division by zero in %s", where);
        double k = b.c;
        a.c /= k;
        for (nl_term& t : a.t) t.coef /= k;
        break;
      }
    }
    vals.resize(base + 1);
  }

  // Sorts terms by variable and adds up repeated ones.
  static void merge(std::vector<nl_term>& t) {
    std::stable_sort(t.begin(), t.end(),
                     [](const nl_term& a, const nl_term& b) {
                       return a.index < b.index;
                     });
    size_t out = 0;
    for (size_t i = 0; i < t.size(); ++i) {
      if (out && t[out - 1].index == t[i].index)
        t[out - 1].coef += t[i].coef;
      else
        t[out++] = t[i];
    }
    t.resize(out);
  }

  void finish() {
    if (h_.n_var && !b_seen_) in_.fail_whole("no b segment");
    if (h_.n_con && !r_seen_) in_.fail_whole("no r segment");
    for (int i = 0; i < h_.n_obj; ++i)
      if (!obj_seen_[i]) in_.fail_whole("no O segment for objective %d", i);
    if (ranges_ != h_.n_ranges || eqns_ != h_.n_eqns)
      in_.fail_whole("r segment has %d ranges and %d equalities; header claims %d "
               "and %d", ranges_, eqns_, h_.n_ranges, h_.n_eqns);
    if (nzc_ != h_.nzc || nzo_ != h_.nzo)
      in_.fail_whole("J and G segments hold %lld and %lld terms; header claims "
               "%lld and %lld", static_cast<long long>(nzc_),
               static_cast<long long>(nzo_), static_cast<long long>(h_.nzc),
               static_cast<long long>(h_.nzo));
    if (k_seen_) check_column_lengths();
    for (int i = 0; i < h_.n_con; ++i) {
      p_.row_lo[i] -= row_const_[i];
      p_.row_hi[i] -= row_const_[i];
    }
    // Row-wise terms by a counting sort over the rows.
    p_.row_start.assign(h_.n_con + 1, 0);
    for (const auto& e : entries_) ++p_.row_start[e.row + 1];
    for (int i = 0; i < h_.n_con; ++i) p_.row_start[i + 1] += p_.row_start[i];
    std::vector<size_t> next(p_.row_start.begin(), p_.row_start.end() - 1);
    std::vector<nl_term> rt(entries_.size());
    for (const auto& e : entries_) rt[next[e.row]++] = e.t;
    std::vector<nl_term> row;
    p_.row_terms.clear();
    for (int i = 0; i < h_.n_con; ++i) {
      row.assign(rt.begin() + p_.row_start[i], rt.begin() + p_.row_start[i + 1]);
      merge(row);
      p_.row_start[i] = p_.row_terms.size();
      p_.row_terms.insert(p_.row_terms.end(), row.begin(), row.end());
    }
    p_.row_start[h_.n_con] = p_.row_terms.size();
    for (auto& t : p_.obj_terms) merge(t);
  }

  // The k segment's running totals against the columns of the J segments.
  void check_column_lengths() {
    std::vector<int64_t> len(h_.n_var, 0);
    for (const auto& e : entries_)
      if (e.from_j) ++len[e.t.index];
    int64_t total = 0;
    for (size_t i = 0; i < col_ends_.size(); ++i) {
      total += len[i];
      if (col_ends_[i] != total)
        in_.fail_whole("k segment gives %lld terms up to column %zu; J segments "
                 "hold %lld", static_cast<long long>(col_ends_[i]), i,
                 static_cast<long long>(total));
    }
  }

  struct entry {
    int row;
    nl_term t;
    bool from_j = true;
  };

  nl_problem& p_;
  nl_header& h_;
  nl_input& in_;
  std::vector<double> row_const_;
  std::vector<char> con_seen_, obj_seen_, j_seen_, g_seen_;
  std::vector<int> stamp_;  // segment number that last named each variable
  int segment_no_ = 0;
  std::vector<entry> entries_;  // row terms of J segments and graphs
  std::vector<int64_t> col_ends_;
  bool b_seen_ = false, r_seen_ = false, k_seen_ = false;
  int ranges_ = 0, eqns_ = 0;
  int64_t nzc_ = 0, nzo_ = 0;
};

}  // namespace

nl_problem read_nl_bytes(const char* name, const unsigned char* data,
                         size_t size) {
  nl_problem p;
  p.name = name;
  nl_input in(name, data, size);
  nl_reader r(p, in);
  try {
    r.read();
  } catch (nl_refused& e) {
    p.refusal = e.why;
    p.var_lo.clear();
    p.var_hi.clear();
    p.row_lo.clear();
    p.row_hi.clear();
    p.row_start.clear();
    p.row_terms.clear();
    p.obj_sense.clear();
    p.obj_const.clear();
    p.obj_terms.clear();
  }
  return p;
}

nl_problem read_nl(const char* path) {
  int fd = open(path, O_RDONLY);
  if (fd < 0)
    throw nl_error(std::string("can't open ") + path + ": " + strerror(errno));
  struct stat st;
  std::string data;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
    data.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0)
    data.append(buf, static_cast<size_t>(n));
  int err = errno;
  close(fd);
  if (n < 0)
    throw nl_error(std::string("can't read ") + path + ": " + strerror(err));
  return read_nl_bytes(path,
                       reinterpret_cast<const unsigned char*>(data.data()),
                       data.size());
}

}  // namespace vexo
