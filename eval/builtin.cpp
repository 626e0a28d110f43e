// The built-in function table, the compilation of its calls and the
// formatter.
#include "eval/builtin.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "eval/evalerr.h"
#include "eval/funcall.h"
#include "eval/funclib.h"
#include "eval/regexp.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/funcbuild.h"
#include "frontend/paramdcl.h"
#include "frontend/parse.h"
#include "frontend/strexpr.h"
#include "frontend/vardcl.h"
#include "instance/sufdecl.h"
#include "report/print.h"
#include "session/loop.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

int nrandom;

function* print_func;
function* printf_func;
const char* format_range_errmsg = "";

#define ROUTINE(f) reinterpret_cast<void*>(f)

pinit_row p_initlist[N_PINIT] = {
    {"print", 34, 0, ROUTINE(r_print), &print_func, nullptr, -1, 5},
    {"printf", 34, 0, ROUTINE(r_printf), &printf_func, nullptr, -1, 5},
    {"sprintf", 34, 0, ROUTINE(cs_sprintf), nullptr, nullptr, -2, 3},
    {"substr", 34, 0, ROUTINE(cs_substr), nullptr, nullptr, -3, 3},
    {"sub", 34, 0, ROUTINE(cs_sub), nullptr, nullptr, 3, 3},
    {"gsub", 34, 0, ROUTINE(cs_gsub), nullptr, nullptr, 3, 3},
    {"time", 34, 0, ROUTINE(r_time), nullptr, nullptr, 0, 12},
    {"ctime", 34, 0, ROUTINE(cs_ctime), nullptr, nullptr, -1, 6},
    {"date", 34, 0, ROUTINE(cs_date), nullptr, nullptr, -1, 6},
    {"_hashstats", 34, 0, ROUTINE(static_cast<sfunc>(hashstats)), nullptr,
     nullptr, -1, 6},
    {"_vexotime", 34, 0, ROUTINE(vexotime), nullptr, nullptr, -1, 20}};

#undef ROUTINE

void builtins_init() {
  for (pinit_row& r : p_initlist) {
    function* f = new function;
    symbol* name = Symbol(r.name, 0);
    xrecomp_constr(f, name, nullptr, nullptr, DK_FUNCTION, 0);
    dcl_number(f);
    uint32_t type = static_cast<uint32_t>(r.type) & ~4u;
    uint32_t attr = 0;
    if (r.count) attr |= 0x4000;
    if (r.type & 4) attr |= 0x10000;
    if (type == 8) attr |= 0xA000;
    f->fflags = type | attr;
    f->nargs = r.count;
    f->funcp = r.routine;
    r.f = f;
    if (r.keep) {
      *r.keep = f;
      name->binding = f;
    } else {
      name->binding = &r;
    }
  }
}

// ---- Compiling a call ------------------------------------------------------

expr* vargop(symbol* s, expr* args) {
  pinit_row* r = static_cast<pinit_row*>(s->binding);
  function* f = r->f;
  args = reverse(args);
  arg_values(args);
  if (anystoch(args)) args = randify(args);
  const char* name = r->name;
  int count = r->count;
  expr* first = args;
  bool out_first = first && opcode(first) == OP258;
  if (count == 0 && args) {
    error(0, "%s takes no arguments.", name);
  } else if (!out_first && count != -1 && first) {
    int pos = 1;
    for (expr* a = first; a; a = a->next, ++pos) {
      if (opcode(a) != OPARG || a->L.ss) continue;
      bool stringy = pos == 1 || count == 3;
      if (pos > 3 && (count == 3 || count == -3)) {
        error(0, "Too many args (> 3) to %s(...)", name);
        break;
      }
      if (stringy && has_flag(a->R.e, EF_NUMERIC)) {
        error(2, "Arg %d to %s(...) is numeric", pos, name);
        a->R.e = make_string(a->R.e);
      } else if (count == -3 && pos > 1) {
        a->R.e = make_numeric(a->R.e);
      }
    }
  }
  // A routine of a fixed count reads every argument it promises.
  if (!out_first && count > 0) {
    int n = 0;
    bool counted = true;
    for (expr* a = first; a; a = a->next) {
      if (opcode(a) == OPARG && a->L.ss) counted = false;
      ++n;
    }
    if (counted && n < count)
      error(0, "%s needs %s%d argument(s), not %d", name, "", count, n);
  }
  uint32_t op;
  if (r->type == 12)
    op = opword(OPFUNC0, EF_NUMERIC);
  else if (r->type == 20)
    op = opword(OPFUNC, EF_NUMERIC);
  else
    op = opword(OPFUNCcs, EF_STRING);
  return new_expr(op, static_cast<xnode*>(f), args);
}

// ---- The formatter ---------------------------------------------------------

namespace {

// The text being built: a size-class block that doubles.
struct outbuf {
  char* b;
  size_t n;
  size_t cap;
  int k;

  outbuf() : n(0), cap(1024), k(htcl(1024)) {
    b = static_cast<char*>(new_mblk(k));
  }
  void room(size_t more) {
    if (n + more + 1 <= cap) return;
    size_t want = cap;
    while (n + more + 1 > want) want *= 2;
    int nk = htcl(want);
    b = static_cast<char*>(ext_mblk(k, b, nk, n));
    k = nk;
    cap = size_t{8} << nk;
  }
  void put(const char* s, size_t len) {
    room(len);
    std::memcpy(b + n, s, len);
    n += len;
  }
  void putc(char c) { put(&c, 1); }
};

// Frees the block unless the text was handed out.
struct outbuf_guard {
  outbuf* o;
  ~outbuf_guard() {
    if (o) del_mblk(o->k, o->b);
  }
};

struct args_cursor {
  arglist* al;
  int i;
  bool more() const { return i < al->n; }
  bool is_string() const { return al->at[i] < 0; }
  double num() const {
    int32_t t = al->at[i];
    return t >= 0 ? al->ra[t] : 0.;
  }
  const char* str() const { return al->sa[-(al->at[i] + 1)]; }
};

int hexval(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One escape after a backslash at p (p at the character after it); returns
// where the text goes on.
const char* escape(outbuf& o, const char* p) {
  static const char map[] = "\a\bcde\fghijklm\nopq\rs\tu\v";  // a .. v
  int c = static_cast<unsigned char>(*p);
  if (!c) return p;
  if (c >= 'a' && c <= 'v') {
    o.putc(map[c - 'a']);
    return p + 1;
  }
  if (c >= '0' && c <= '7') {
    int v = 0;
    int n = 0;
    while (n < 3 && *p >= '0' && *p <= '7') {
      v = v * 8 + (*p++ - '0');
      ++n;
    }
    o.putc(static_cast<char>(v));
    return p;
  }
  if (c == 'x' && hexval(static_cast<unsigned char>(p[1])) >= 0) {
    int v = hexval(static_cast<unsigned char>(p[1]));
    p += 2;
    if (hexval(static_cast<unsigned char>(*p)) >= 0)
      v = v * 16 + hexval(static_cast<unsigned char>(*p++));
    o.putc(static_cast<char>(v));
    return p;
  }
  o.putc(static_cast<char>(c));
  return p + 1;
}

bool ends_item(int c) {
  return ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && c != 'h' &&
         c != 'l' && c != 'L';
}

// An int from the argument at the cursor (a string counts 0, NaN the most
// negative int).
int int_arg(const args_cursor& a) {
  if (a.is_string()) return 0;
  double x = a.num();
  if (std::isnan(x) || x <= INT_MIN) return INT_MIN;
  if (x >= INT_MAX) return INT_MAX;
  return static_cast<int>(x);
}

// Writes one item with the system's own formatter, however long its output.
template <class T>
void put_item(outbuf& o, const char* item, T v) {
  char small[256];
  int n = Snprintf(small, sizeof small, item, v);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof small) {
    o.put(small, size_t(n));
    return;
  }
  o.room(size_t(n));
  Snprintf(o.b + o.n, size_t(n) + 1, item, v);
  o.n += size_t(n);
}

// Skips n UTF-8 characters of s; null when the text ends first.
const char* skip_chars(const char* s, long n) {
  while (n > 0) {
    if (!*s) return nullptr;
    ++s;
    while ((*s & 0xC0) == 0x80) ++s;
    --n;
  }
  return s;
}

// %c of a string: its first character as substr counts characters, whole
// when it is a multi-byte UTF-8 sequence (written as %s of that many bytes,
// in the item's field), so the output never holds a cut sequence.
void put_first_char(outbuf& o, const char* itext, const char* s) {
  const char* end = skip_chars(s, 1);
  long n = end ? end - s : 1;
  if (n == 1) {
    put_item(o, itext, static_cast<int>(static_cast<unsigned char>(*s)));
    return;
  }
  // The flags and width of the item; %c has no precision of its own.
  char item[112];
  Snprintf(item, sizeof item, "%.*s.%ds",
           static_cast<int>(strcspn(itext, ".c")), itext, static_cast<int>(n));
  put_item(o, item, s);
}

// A value out of range for an integer conversion; the message quotes the
// item as the format has it, from p ('%') to q (its letter).
void out_of_range(outbuf& o, arglist* al, double x, const char* p,
                  const char* q) {
  if (format_range_errmsg && *format_range_errmsg) {
    o.put(format_range_errmsg, strlen(format_range_errmsg));
    return;
  }
  if (!mgwhere(al->tva))
    Fprintf(Stderr, "%.g is out of range for format \"%.*s\".\n", x,
            static_cast<int>(q - p + 1), p);
  bailout();
}

// An item that names its argument by position ("%2$d"): the arguments are
// taken in order, so the command is abandoned rather than the item read
// as another.
[[noreturn]] void positional(arglist* al, const char* p, const char* q) {
  if (!mgwhere(al->tva))
    Fprintf(Stderr,
            "format item \"%.*s\" names its argument by position (\"$\"), "
            "which is not supported.\n",
            static_cast<int>(q - p + 1), p);
  bailout();
}

// The item from p ('%') to q (its conversion letter), its stars replaced by
// arguments, into itext; false when an argument a star needs is missing.
bool item_text(char* itext, size_t size, const char* p, const char* q,
               args_cursor& a) {
  size_t n = 0;
  for (const char* s = p; s <= q; ++s) {
    if (*s == '*') {
      if (!a.more()) return false;
      int v = int_arg(a);
      ++a.i;
      n += static_cast<size_t>(Snprintf(itext + n, size - n, "%d", v));
    } else if (*s == 'h' || *s == 'l' || *s == 'L') {
      // Length modifiers are the formatter's to choose.
    } else {
      itext[n++] = *s;
    }
    if (n >= size - 2) return false;
  }
  itext[n] = 0;
  return true;
}

// The widest field an item may ask for: an item's output is written in
// full however long it is, but a width (or an integer's precision) of
// more than a million characters is taken for a mistake, not for a
// request to write that many blanks or zeros.
constexpr double ITEM_MAX_FIELD = 1e6;

// Whether itext (stars already replaced) asks for a field wider than
// ITEM_MAX_FIELD.
bool field_too_wide(const char* itext, int conv) {
  const char* s = itext + 1;
  while (*s && std::strchr("-+ #0", *s)) ++s;
  double w = 0;
  for (; *s >= '0' && *s <= '9'; ++s) w = w * 10 + (*s - '0');
  if (w > ITEM_MAX_FIELD) return true;
  if (*s != '.' || !std::strchr("diouxX", conv)) return false;
  double prec = 0;
  for (++s; *s >= '0' && *s <= '9'; ++s) prec = prec * 10 + (*s - '0');
  return prec > ITEM_MAX_FIELD;
}

// One item whose letter is conv, written from p to q in the format; the
// argument is at the cursor.
void one_item(outbuf& o, arglist* al, args_cursor& a, char* itext, int conv,
              const char* p, const char* q) {
  if (field_too_wide(itext, conv)) {
    if (!mgwhere(al->tva))
      Fprintf(Stderr, "format item %.20s... too long\n", p);
    bailout();
  }
  size_t len = strlen(itext);
  switch (conv) {
    case 'a':
    case 'A':
    case 'e':
    case 'E':
    case 'f':
    case 'g':
    case 'G':
      put_item(o, itext, a.num());
      break;
    case 'c':
      if (a.is_string())
        put_first_char(o, itext, a.str());
      else
        put_item(o, itext, int_arg(a));
      break;
    case 'd':
    case 'i':
    case 'o':
    case 'u':
    case 'x':
    case 'X': {
      double x = a.num();
      double t = std::trunc(x);
      // "l" before the letter: the value as a long (or, for the unsigned
      // letters, as an unsigned long beyond the longs).
      itext[len - 1] = 'l';
      itext[len] = static_cast<char>(conv);
      itext[len + 1] = 0;
      if (std::isnan(t) || t < -9223372036854775808.0) {
        out_of_range(o, al, x, p, q);
      } else if (t < 9223372036854775808.0) {
        put_item(o, itext, static_cast<long long>(t));
      } else if (conv != 'd' && conv != 'i' && t < 18446744073709551616.0) {
        put_item(o, itext, static_cast<unsigned long long>(t));
      } else {
        out_of_range(o, al, x, p, q);
      }
      break;
    }
    default: {  // s, q, Q: the argument taken as for s; q and Q keep their
                // letter, so the own formatter writes the language's quoting
      if (a.is_string()) {
        put_item(o, itext, a.str());
      } else {
        char num[64];
        Snprintf(num, sizeof num, "%.g", a.num());
        put_item<const char*>(o, itext, num);
      }
      break;
    }
  }
}

}  // namespace

char* format(arglist* al, size_t* len, int* k, const char* fmt, const char* sep,
             num_formatter nf, int prec) {
  outbuf o;
  outbuf_guard guard{&o};
  args_cursor a{al, 0};
  if (!fmt) {
    for (; a.more(); ++a.i) {
      if (a.i && sep) o.put(sep, strlen(sep));
      if (a.is_string()) {
        const char* s = a.str();
        o.put(s, strlen(s));
      } else {
        int64_t n = 0;
        const char* s = nf(a.num(), prec, &n);
        o.put(s, size_t(n));
      }
    }
  } else {
    for (const char* p = fmt; *p;) {
      if (*p == '\\') {
        p = escape(o, p + 1);
        continue;
      }
      if (*p != '%') {
        o.putc(*p++);
        continue;
      }
      if (p[1] == '%') {
        o.putc('%');
        p += 2;
        continue;
      }
      // An item: up to the first letter other than h, l and L.
      const char* q = p + 1;
      while (*q && !ends_item(static_cast<unsigned char>(*q))) ++q;
      if (!a.more() || !*q) {
        o.put(p, strlen(p));
        break;
      }
      if (q - p + 1 > 64) bug("format item %.20s... too long", p);
      int conv = static_cast<unsigned char>(*q);
      if (!strchr("aAeEfgGcdiouxXsqQ", conv)) {
        o.put(p, size_t(q - p + 1));
        p = q + 1;
        continue;
      }
      if (memchr(p, '$', static_cast<size_t>(q - p))) positional(al, p, q);
      char itext[96];
      args_cursor before = a;
      if (!item_text(itext, sizeof itext - 2, p, q, a) || !a.more()) {
        a = before;
        o.put(p, strlen(p));
        break;
      }
      one_item(o, al, a, itext, conv, p, q);
      ++a.i;
      p = q + 1;
    }
  }
  o.b[o.n] = 0;
  *len = o.n;
  *k = o.k;
  guard.o = nullptr;
  return o.b;
}

// ---- String built-ins
// --------------------------------------------------------

namespace {

// The text of argument i: a number as gfmt writes it (into buf).
const char* text_arg(arglist* al, int i, char* buf, size_t size) {
  int32_t t = al->at[i];
  if (t < 0) return al->sa[-(t + 1)];
  int64_t n = 0;
  const char* s = gfmt(al->ra[t], 0, &n);
  Snprintf(buf, size, "%s", s);
  return buf;
}

// Argument i as a number: a string read as one.
double num_arg(arglist* al, int i) {
  int32_t t = al->at[i];
  if (t >= 0) return al->ra[t];
  return strtod(al->sa[-(t + 1)], nullptr);
}

int int_of(double x) {
  if (std::isnan(x) || x <= INT_MIN) return INT_MIN;
  if (x >= INT_MAX) return INT_MAX;
  return static_cast<int>(x);
}

cstr* blank() {
  ++Blank->refcnt;
  return Blank;
}

}  // namespace

cstr* cs_sprintf(arglist* al) {
  if (al->n == 0) return blank();
  if (al->at[0] >= 0) {
    int64_t n = 0;
    return new_cstring(gfmt(al->ra[al->at[0]], 0, &n));
  }
  // The format is the first argument; the rest are its arguments.
  arglist rest = *al;
  std::vector<int32_t> at(al->at + 1, al->at + al->n);
  for (int32_t& t : at)
    if (t < 0) ++t;
  rest.n = al->n - 1;
  rest.at = at.data();
  rest.sa = al->sa + 1;
  size_t len;
  int k;
  char* s = format(&rest, &len, &k, al->sa[0], nullptr, gfmt, 0);
  cstr* r = new_cstring(s);
  del_mblk(k, s);
  return r;
}

cstr* cs_substr(arglist* al) {
  char buf[64];
  const char* s = text_arg(al, 0, buf, sizeof buf);
  long bytes = static_cast<long>(strlen(s));
  long start = al->n > 1 ? int_of(num_arg(al, 1)) : 1;
  const char* from = s;
  if (start >= 0) {
    if (start > bytes) return blank();
    from = skip_chars(s, start > 1 ? start - 1 : 0);
    if (!from || !*from) return blank();
  }
  long rest = static_cast<long>(strlen(from));
  if (al->n < 3) return new_cstring(from);
  long len = int_of(num_arg(al, 2));
  if (len >= rest) return new_cstring(from);
  if (len <= 0) return blank();
  const char* to = skip_chars(from, len);
  if (!to) return new_cstring(from);
  std::string part(from, static_cast<size_t>(to - from));
  return new_cstring(part.c_str());
}

cstr* hashstats(arglist* al) { return hashstats(al->nr, al->ra); }

// ---- Time built-ins --------------------------------------------------------

double r_time() { return static_cast<double>(time(nullptr)); }

namespace {

cstr* fmt_date(arglist* al, const char* dflt) {
  const char* fmt = nullptr;
  bool have_time = false;
  double t = 0;
  for (int i = 0; i < al->n && i < 2; ++i) {
    if (al->at[i] >= 0) {
      if (!have_time) {
        have_time = true;
        t = al->ra[al->at[i]];
      }
    } else if (!fmt) {
      fmt = al->sa[-(al->at[i] + 1)];
    }
  }
  bool utc = false;
  if (fmt && fmt[0] == '%' && (fmt[1] == 'K' || fmt[1] == 'L')) {
    utc = fmt[1] == 'K';
    fmt += 2;
  }
  if (!fmt || !*fmt) fmt = dflt;
  time_t when;
  if (!have_time)
    when = time(nullptr);
  else if (std::isnan(t))
    when = static_cast<time_t>(INT64_MIN);
  else
    when = static_cast<time_t>(t);
  struct tm parts;
  if (!(utc ? gmtime_r(&when, &parts) : localtime_r(&when, &parts)))
    return blank();
  std::vector<char> buf(4097);
  size_t n = strftime(buf.data(), buf.size(), fmt, &parts);
  if (!n) return blank();
  return new_cstring(buf.data());
}

}  // namespace

cstr* cs_ctime(arglist* al) { return fmt_date(al, "%a %b %d %H:%M:%S %Y"); }

cstr* cs_date(arglist* al) { return fmt_date(al, "%Y%m%d %H:%M:%S"); }

// vexotime's figures and the command number they were read at (-1: none
// since the last reset).
static double vt_cmdno = -1, vt_sys, vt_user, vt_elapsed;

double vexotime(arglist* al) {
  // Read the clock at most once per command, and only when a command
  // refers to the figures: _vexo_time's value is a call of this routine,
  // and its companions depend on _vexo_time.
  double now = Cmdno ? *sysparam_cell(Cmdno) : 0;
  if (now != vt_cmdno) {
    vt_cmdno = now;
    double t[2] = {0, 0};
    cputimes(0, t);
    vt_sys = t[0];
    vt_user = t[1];
    double e = e_time();
    vt_elapsed = e - reset_time -
                 *sysparam_cell(Time_params[T_TOTAL_SOLVE_ELAPSED]) -
                 *sysparam_cell(Time_params[T_TOTAL_SHELL_ELAPSED]);
    *sysparam_cell(Time_params[T_VEXO_SYSTEM]) = vt_sys;
    *sysparam_cell(Time_params[T_VEXO_USER]) = vt_user;
    *sysparam_cell(Time_params[T_VEXO_ELAPSED]) = vt_elapsed;
    *sysparam_cell(Time_params[T_SESSION]) = e;
  }
  int which = al->n > 0 && al->at[0] >= 0 ? int_of(al->ra[al->at[0]]) : 0;
  switch (which) {
    case 1:
      return vt_user;
    case 2:
      return vt_sys;
    case 4:
      return vt_elapsed;
    default:
      return vt_sys + vt_user;
  }
}

// The clean-up that clears randvar_rhs when the command ends, or null.
static cleanup_rec* randvar_rec;

static void clear_randvar_rhs(void*) {
  randvar_rec = nullptr;
  randvar_rhs = 0;
}

void random_rhs_begin() {
  randvar_rhs = 1;
  if (!randvar_rec) randvar_rec = register_cleanup(clear_randvar_rhs, nullptr);
}

static void mark_random(xnode* x) {
  if (stage_dcl) {
    error(0, "Ignoring \"random\" after explicit suffix stage declaration.");
    return;
  }
  if (x->flags & XF_RANDOM) return;
  x->flags |= XF_RANDOM;
  nrandom++;
  // The rest of the declaration defines a random variable: random
  // functions called there are kept as calls (frontend/cmdbuild.h).
  random_rhs_begin();
}

void make_random(var* v) { mark_random(v); }
void make_randompar(param* p) { mark_random(p); }

void randvar_cleanup() {
  if (cleanup_rec* r = randvar_rec) unregister_cleanup(r);
}

void builtin_reset() {
  vt_cmdno = -1;
  nrandom = 0;
  randvar_rec = nullptr;
  randvar_rhs = 0;
}

}  // namespace vexo
