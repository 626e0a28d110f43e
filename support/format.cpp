// The formatting engine and its entry points.  Text is staged in a buffer on
// the caller's stack and passed to a sink whenever the buffer fills, so any
// amount of output is produced without allocation.
#include "support/format.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "session/cmdfiles.h"
#include "support/block.h"
#include "support/dtoa.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/quote.h"
#include "support/text.h"

namespace vexo {

namespace {

constexpr int STAGE = 4096;  // staging buffer of the entry points

// Room for the digits of any floating conversion: at most 417 significant
// digits in exponent form and 309 integer digits plus 416 places in fixed
// form, with the NUL and a margin.
constexpr int DIGITS = 1024;
// Room for the text of one floating conversion (digits, point, exponent).
constexpr int BODY = DIGITS + 64;
// Precisions of e and f above 416, and of g above 415, count as 415.
constexpr int MAXPREC = 415;

const char hexlow[] = "0123456789abcdefpx";
const char hexup[] = "0123456789ABCDEFPX";
const char nulltext[] = "<NULL>";

// The write side of one engine call.
struct Out {
  char* p;
  char* bufend;
  putfunc put;
  putinfo* info;
  int count;  // characters taken by the sink so far

  void c(char ch) {
    *p++ = ch;
    if (p >= bufend) p = put(info, &count);
  }
  void pad(char ch, int n) {
    while (n-- > 0) c(ch);
  }
  void text(const char* s, size_t n) {
    while (n--) c(*s++);
  }
  int produced() const { return count + static_cast<int>(p - info->buf); }
};

// The directive being converted.
struct Directive {
  bool left = false;     // "-": pad behind
  bool zero = false;     // "0": pad with zeros after sign or prefix
  bool alt = false;      // "#"
  bool dot = false;      // a "." was seen
  bool negprec = false;  // "-" after the ".": the precision is negative
  char sign = 0;         // "+" or " " for positive signed values, or 0
  int width = 0;
  int prec = 0;  // meaningful when dot
  int len = 0;   // 0 int, 'h' short, 'l' 64-bit
};

// Writes a field: sign character (or none), prefix, zeros leading zeros,
// then the body, padded to the width.  Zero padding goes between prefix and
// body.
void field(Out& o, const Directive& sp, char signch, const char* prefix,
           int zeros, const char* body, int n, bool zeropad) {
  int plen = static_cast<int>(strlen(prefix));
  int padn = sp.width - n - zeros - plen - (signch ? 1 : 0);
  if (!sp.left && !zeropad) o.pad(' ', padn);
  if (signch) o.c(signch);
  o.text(prefix, static_cast<size_t>(plen));
  if (!sp.left && zeropad) o.pad('0', padn);
  o.pad('0', zeros);
  o.text(body, static_cast<size_t>(n));
  if (sp.left) o.pad(' ', padn);
}

// Bytes of a string conversion, padded with spaces.
void strfield(Out& o, const Directive& sp, const char* s, int n) {
  int padn = sp.width - n;
  if (!sp.left) o.pad(' ', padn);
  o.text(s, static_cast<size_t>(n));
  if (sp.left) o.pad(' ', padn);
}

// Number of bytes a string conversion takes from s.
int strbytes(const Directive& sp, const char* s) {
  if (!sp.dot) return static_cast<int>(strlen(s));
  if (sp.prec <= 0) return 0;
  return static_cast<int>(strnlen(s, static_cast<size_t>(sp.prec)));
}

// %q and %Q: the text, quoted when needed (or always), padded with spaces.
void quoted(Out& o, const Directive& sp, const char* s, bool always) {
  if (!s) s = nulltext;
  int n = strbytes(sp, s);
  int q = always ? '\'' : 0;
  int w = sp.width;
  if (!qkind(s, n, &q, &w) && always) w -= 2;
  w -= n;
  if (!sp.left) o.pad(' ', w);
  if (q) {
    o.c(static_cast<char>(q));
    for (int i = 0; i < n; ++i) {
      char ch = s[i];
      if (ch == q) {
        o.c(ch);
      } else if (ch == '\n') {
        o.c('\\');
      }
      o.c(ch);
    }
    o.c(static_cast<char>(q));
  } else {
    o.text(s, static_cast<size_t>(n));
  }
  if (sp.left) o.pad(' ', w);
}

// Integer conversions d, i, u, o, x, X and p on the magnitude u.
void integer(Out& o, const Directive& sp, char conv, uint64_t u, bool neg) {
  const char* digits = conv == 'X' ? hexup : hexlow;
  unsigned base = conv == 'o'                                   ? 8
                  : (conv == 'x' || conv == 'X' || conv == 'p') ? 16
                                                                : 10;
  char scratch[24];
  int nd = 0;
  do {
    scratch[nd++] = digits[u % base];
    u /= base;
  } while (u);
  bool zero_value = nd == 1 && scratch[0] == '0';

  char signch = 0;
  if (conv == 'd' || conv == 'i') signch = neg ? '-' : sp.sign;

  int minimum = sp.dot && sp.prec > nd ? sp.prec : nd;
  const char* prefix = "";
  if (!zero_value) {
    if (conv == 'p') {
      prefix = "0x";
    } else if (sp.alt && (conv == 'x' || conv == 'X')) {
      prefix = conv == 'x' ? "0x" : "0X";
    } else if (sp.alt && conv == 'o' && minimum == nd) {
      ++minimum;  // the leading "0" of the alternate octal form
    }
  }
  char body[24];
  int n = 0;
  for (int i = nd; i;) body[n++] = scratch[--i];
  field(o, sp, signch, prefix, minimum - nd, body, n, sp.zero && !sp.dot);
}

// Exponent text at b: the letter, the sign and at least min_digits
// decimal digits ("e+05" for 2, "p+5" for 1); returns the characters
// written.
int exponent(char* b, char letter, int e, int min_digits = 2) {
  int n = 0;
  b[n++] = letter;
  b[n++] = e < 0 ? '-' : '+';
  if (e < 0) e = -e;
  char d[12];
  int nd = 0;
  do {
    d[nd++] = static_cast<char>('0' + e % 10);
    e /= 10;
  } while (e);
  while (nd < min_digits) d[nd++] = '0';
  while (nd) b[n++] = d[--nd];
  return n;
}

// Exponent form of the digit string s (n digits, point after position
// decpt) with frac digits after the point.
int expform(char* b, const char* s, int n, int decpt, int frac, bool point,
            char letter) {
  int k = 0;
  b[k++] = n > 0 ? s[0] : '0';
  if (point) b[k++] = '.';
  for (int i = 1; i <= frac; ++i) b[k++] = i < n ? s[i] : '0';
  return k + exponent(b + k, letter, decpt - 1);
}

// Fixed form of the digit string s with frac digits after the point.
int fixform(char* b, const char* s, int n, int decpt, int frac, bool point) {
  int k = 0;
  if (decpt <= 0) {
    b[k++] = '0';
  } else {
    for (int i = 0; i < decpt; ++i) b[k++] = i < n ? s[i] : '0';
  }
  if (point) b[k++] = '.';
  for (int j = 0; j < frac; ++j) {
    int i = decpt + j;
    b[k++] = i >= 0 && i < n ? s[i] : '0';
  }
  return k;
}

// The sign of a floating value: a negative zero shows its sign only when a
// sign flag asks for one.
char float_sign(const Directive& sp, bool neg, double d) {
  if (neg && (d != 0 || sp.sign)) return '-';
  return neg ? 0 : sp.sign;
}

// Conversions e, E, f, g, G (and a, A for infinities) through dtoa_r.
void decimal(Out& o, const Directive& sp, char conv, double d) {
  if (std::isnan(d)) {
    Directive s2 = sp;
    s2.dot = false;  // the whole text, whatever the precision
    strfield(o, s2, "NaN", 3);
    return;
  }
  bool up = conv == 'E' || conv == 'G';
  int P = sp.dot ? sp.prec : 6;
  int mode, ndigits;
  bool shortest = false;
  switch (conv) {
    case 'e':
    case 'E':
      if (P > MAXPREC + 1) P = MAXPREC;
      if (P < 0) P = 0;
      mode = 2;
      ndigits = P + 1;
      break;
    case 'g':
    case 'G':
      if (P <= 0) {
        shortest = true;
        mode = 0;
        ndigits = 0;
        break;
      }
      if (P > MAXPREC) P = MAXPREC;
      mode = 2;
      ndigits = P;
      break;
    default:             // f, and a or A of an infinity
      if (P < 0) P = 6;  // a negative precision counts as none, as in C
      if (P > MAXPREC + 1) P = MAXPREC;
      mode = 3;
      ndigits = P;
      break;
  }
  char dbuf[DIGITS];
  int decpt = 0, neg = 0;
  char* end = nullptr;
  char* s = dtoa_r(d, mode, ndigits, &decpt, &neg, &end, dbuf, sizeof dbuf);
  int n = static_cast<int>(end - s);
  char signch = float_sign(sp, neg != 0, d);

  if (decpt == 9999) {  // infinity: sign and text, padded with spaces
    field(o, sp, signch, "", 0, s, n, false);
    return;
  }
  char body[BODY];
  int k;
  char letter = up ? 'E' : 'e';
  if (conv == 'e' || conv == 'E') {
    k = expform(body, s, n, decpt, P, P > 0 || sp.alt, letter);
  } else if (conv == 'g' || conv == 'G') {
    if (shortest) {
      int explen = n >= 2 ? n + 5 : (sp.alt ? 6 : 5);
      if (decpt < -3 || decpt > explen) {
        k = expform(body, s, n, decpt, n - 1, n > 1 || sp.alt, letter);
      } else {
        int frac = n > decpt ? n - decpt : 0;
        k = fixform(body, s, n, decpt, frac, frac > 0 || sp.alt);
      }
    } else {
      int x = decpt - 1;
      if (x < -4 || x >= P) {
        int frac = sp.alt ? P - 1 : n - 1;
        k = expform(body, s, n, decpt, frac, frac > 0 || sp.alt, letter);
      } else {
        int frac = sp.alt ? P - 1 - x : (n > decpt ? n - decpt : 0);
        k = fixform(body, s, n, decpt, frac, frac > 0 || sp.alt);
      }
    }
  } else {
    k = fixform(body, s, n, decpt, P, P > 0 || sp.alt);
  }
  field(o, sp, signch, "", 0, body, k, sp.zero);
}

// Hexadecimal floating point, exact unless a precision asks for rounding.
void hexfloat(Out& o, const Directive& sp, char conv, double d) {
  if (!std::isfinite(d)) {
    decimal(o, sp, conv, d);
    return;
  }
  const char* digits = conv == 'A' ? hexup : hexlow;
  uint64_t bits;
  memcpy(&bits, &d, sizeof bits);
  const uint64_t fmask = (uint64_t{1} << 52) - 1;
  bool neg = bits >> 63;
  int bexp = static_cast<int>(bits >> 52 & 0x7FF);
  uint64_t frac = bits & fmask;
  int lead = 1, e2;
  if (bexp == 0 && frac == 0) {
    lead = 0;
    e2 = 0;
  } else if (bexp == 0) {  // subnormal: normalise to a leading 1
    e2 = -1022;
    while (!(frac & (uint64_t{1} << 52))) {
      frac <<= 1;
      --e2;
    }
    frac &= fmask;
  } else {
    e2 = bexp - 1023;
  }
  int nd = 13;
  if (sp.dot && sp.prec >= 0) {
    nd = sp.prec > 13 ? 13 : sp.prec;
    if (nd < 13) {
      int drop = 52 - 4 * nd;
      uint64_t kept = frac >> drop;
      uint64_t rest = frac & ((uint64_t{1} << drop) - 1);
      uint64_t half = uint64_t{1} << (drop - 1);
      bool odd = nd ? (kept & 1) : (lead & 1);
      if (rest > half || (rest == half && odd)) ++kept;
      if (kept >> (4 * nd)) {  // carry out of the fraction
        kept = 0;
        ++e2;
      }
      frac = kept << drop;
    }
  } else {
    while (nd > 0 && !(frac >> (4 * (13 - nd)) & 0xF)) --nd;
  }
  char body[64];
  int k = 0;
  body[k++] = static_cast<char>('0' + lead);
  if (nd > 0 || sp.alt) body[k++] = '.';
  for (int i = 0; i < nd; ++i) body[k++] = digits[frac >> (48 - 4 * i) & 0xF];
  k += exponent(body + k, digits[16], e2, 1);
  char prefix[3] = {'0', digits[17], 0};
  field(o, sp, float_sign(sp, neg, d), prefix, 0, body, k, sp.zero);
}

// Reads a decimal number at *f (its first digit already taken as first),
// saturating instead of overflowing.
int number(int first, const char** f) {
  int v = first;
  while (**f >= '0' && **f <= '9') {
    int dgt = *(*f)++ - '0';
    v = v > 99999999 ? 999999999 : v * 10 + dgt;
  }
  return v;
}

}  // namespace

int x_sprintf(char* bufend, putfunc put, putinfo* info, const char* fmt,
              va_list ap0) {
  va_list ap;
  va_copy(ap, ap0);
  Out o{info->buf, bufend, put, info, 0};
  const char* f = fmt;
  for (;;) {
    char ch = *f++;
    if (!ch) break;
    if (ch != '%') {
      o.c(ch);
      continue;
    }
    const char* start = f - 1;
    Directive sp;
    for (;;) {
      ch = *f++;
      switch (ch) {
        case 0:  // the format ends inside a directive: copy what there is
          --f;
          o.text(start, static_cast<size_t>(f - start));
          goto done;
        case '-':
          if (sp.dot) {
            sp.negprec = true;
          } else {
            sp.left = true;
          }
          continue;
        case '+':
        case ' ':
          sp.sign = ch;
          continue;
        case '#':
          sp.alt = true;
          continue;
        case '0':
          if (!sp.dot && !sp.zero) {
            sp.zero = true;
            continue;
          }
          [[fallthrough]];
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9': {
          int v = number(ch - '0', &f);
          if (sp.dot) {
            sp.prec = sp.negprec ? -v : v;
          } else {
            sp.width = v;
          }
          continue;
        }
        case '*': {
          int v = va_arg(ap, int);
          if (sp.dot) {
            sp.prec = v;
            sp.negprec = false;
          } else if (v < 0) {
            sp.left = true;
            sp.width = v == INT32_MIN ? INT32_MAX : -v;
          } else {
            sp.width = v;
          }
          continue;
        }
        case '.':
          sp.dot = true;
          sp.prec = 0;
          continue;
        case 'h':
          sp.len = 'h';
          continue;
        case 'l':
        case 'z':
          sp.len = 'l';
          continue;
        case 'd':
        case 'i': {
          int64_t v = sp.len == 'l'   ? va_arg(ap, long long)
                      : sp.len == 'h' ? static_cast<short>(va_arg(ap, int))
                                      : va_arg(ap, int);
          uint64_t u =
              v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
          integer(o, sp, ch, u, v < 0);
          break;
        }
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
          uint64_t u = sp.len == 'l' ? va_arg(ap, unsigned long long)
                       : sp.len == 'h'
                           ? static_cast<unsigned short>(va_arg(ap, int))
                           : va_arg(ap, unsigned);
          integer(o, sp, ch, u, false);
          break;
        }
        case 'p': {
          auto u = reinterpret_cast<uintptr_t>(va_arg(ap, void*));
          integer(o, sp, 'p', u, false);
          break;
        }
        case 'c': {
          char b = static_cast<char>(va_arg(ap, int));
          Directive s2 = sp;
          s2.dot = false;
          strfield(o, s2, &b, 1);
          break;
        }
        case 's': {
          const char* s = va_arg(ap, const char*);
          if (!s) s = nulltext;
          strfield(o, sp, s, strbytes(sp, s));
          break;
        }
        case 'q':
        case 'Q':
          quoted(o, sp, va_arg(ap, const char*), ch == 'Q');
          break;
        case 'e':
        case 'E':
        case 'f':
        case 'g':
        case 'G':
          decimal(o, sp, ch, va_arg(ap, double));
          break;
        case 'a':
        case 'A':
          hexfloat(o, sp, ch, va_arg(ap, double));
          break;
        case 'n': {
          void* ptr = va_arg(ap, void*);
          int sofar = o.produced();
          if (ptr) {
            if (sp.len == 'h') {
              *static_cast<int16_t*>(ptr) = static_cast<int16_t>(sofar);
            } else if (sp.len == 'l') {
              *static_cast<int64_t*>(ptr) = sofar;
            } else {
              *static_cast<int32_t*>(ptr) = sofar;
            }
          }
          break;
        }
        case '%':
          o.c('%');
          break;
        default:  // unknown conversion: the directive is copied as it is
          o.text(start, static_cast<size_t>(f - start));
          break;
      }
      break;
    }
  }
done:
  va_end(ap);
  *o.p = 0;
  info->tail = static_cast<int>(o.p - info->buf);
  return o.count + info->tail;
}

// ---- sinks

static void write_all(FILE* f, const char* s, size_t n) {
  if (n) fwrite(s, 1, n, f);
}

char* Fput(putinfo* info, int* count) {
  size_t n = static_cast<size_t>(info->limit - info->buf);
  *count += static_cast<int>(n);
  *info->limit = 0;
  write_all(static_cast<FILE*>(info->target), info->buf, n);
  if (info->echo) write_all(info->echo, info->buf, n);
  return info->buf;
}

char* Bput(putinfo* info, int* count) {
  size_t n = static_cast<size_t>(info->limit - info->buf);
  *count += static_cast<int>(n);
  *info->limit = 0;
  blockput(info->buf, n);
  if (info->echo) write_all(info->echo, info->buf, n);
  return info->buf;
}

char* Snput(putinfo* info, int* count) {
  *count += STAGE;
  char* cur = static_cast<char*>(info->target);
  if (cur < info->limit) {
    size_t room = static_cast<size_t>(info->limit - cur);
    size_t n = room < STAGE ? room : STAGE;
    memcpy(cur, info->buf, n);
    info->target = cur + n;
  }
  return info->buf;
}

char* Mput(putinfo* info, int* count) {
  size_t n = static_cast<size_t>(info->limit - info->buf);
  *count += static_cast<int>(n);
  *info->limit = 0;
  Mstr_put(static_cast<mstr**>(info->target), info->buf, n);
  return info->buf;
}

char* Sput(putinfo*, int*) {
  Printf("\nBUG! Sput called!\n");
  std::exit(250);
}

// ---- entry points

static bool standard_stream(FILE* f) {
  return f == stdout || f == stderr || f == Stderr;
}

// Standard output or error: into the current block in block mode, else to
// the stream; every piece is copied to the log file when one is open.
static int std_out(FILE* stream, const char* fmt, va_list ap) {
  char buf[STAGE];
  putinfo pi{stream, buf, buf + STAGE - 1, log_file, 0};
  int n;
  if (blockmode) {
    n = x_sprintf(buf + STAGE - 1, Bput, &pi, fmt, ap);
    blockput(buf, static_cast<size_t>(pi.tail));
  } else {
    // Standard output may hold buffered print output: it goes first, so
    // that a message follows what was printed before it.
    if (stream != stdout) std::fflush(stdout);
    n = x_sprintf(buf + STAGE - 1, Fput, &pi, fmt, ap);
    write_all(stream, buf, static_cast<size_t>(pi.tail));
  }
  if (log_file) write_all(log_file, buf, static_cast<size_t>(pi.tail));
  return n;
}

extern "C" {

int Printf(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int n = std_out(stdout, fmt, ap);
  va_end(ap);
  return n;
}

int Vfprintf(FILE* stream, const char* fmt, va_list ap) {
  if (standard_stream(stream)) return std_out(stream, fmt, ap);
  char buf[STAGE];
  putinfo pi{stream, buf, buf + STAGE - 1, nullptr, 0};
  int n = x_sprintf(buf + STAGE - 1, Fput, &pi, fmt, ap);
  write_all(stream, buf, static_cast<size_t>(pi.tail));
  return n;
}

int Fprintf(FILE* stream, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int n = Vfprintf(stream, fmt, ap);
  va_end(ap);
  return n;
}

int Vsprintf(char* s, const char* fmt, va_list ap) {
  // No staging: the engine writes straight into s, whose end is unknown;
  // the flush point lies beyond any real address.
  putinfo pi{s, s, nullptr, nullptr, 0};
  auto never = reinterpret_cast<char*>(~uintptr_t{0});
  return x_sprintf(never, Sput, &pi, fmt, ap);
}

int Sprintf(char* s, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int n = Vsprintf(s, fmt, ap);
  va_end(ap);
  return n;
}

int Vsnprintf(char* s, size_t n, const char* fmt, va_list ap) {
  char buf[STAGE + 1];  // a full stage plus the engine's NUL
  bool store = s && n > 0;
  putinfo pi{s, buf, store ? s + n - 1 : nullptr, nullptr, 0};
  int r = x_sprintf(buf + STAGE, Snput, &pi, fmt, ap);
  if (store) {
    char* cur = static_cast<char*>(pi.target);
    size_t room = static_cast<size_t>(pi.limit - cur);
    size_t k = static_cast<size_t>(pi.tail);
    if (k > room) k = room;
    memcpy(cur, buf, k);
    cur[k] = 0;
  }
  return r;
}

int Snprintf(char* s, size_t n, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int r = Vsnprintf(s, n, fmt, ap);
  va_end(ap);
  return r;
}

int vmprintf(mstr** m, const char* fmt, va_list ap) {
  char buf[STAGE];
  putinfo pi{m, buf, buf + STAGE - 1, nullptr, 0};
  int n = x_sprintf(buf + STAGE - 1, Mput, &pi, fmt, ap);
  Mstr_put(m, buf, static_cast<size_t>(pi.tail));
  return n;
}

int mprintf(mstr** m, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int n = vmprintf(m, fmt, ap);
  va_end(ap);
  return n;
}

void Perror(const char* s) {
  const char* why = strerror(errno);
  if (s && *s) Fprintf(Stderr, "%s: ", s);
  Fprintf(Stderr, "%s\n", why);
}

}  // extern "C"

}  // namespace vexo
