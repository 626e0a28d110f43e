// Decimal and hexadecimal text to the nearest double.
//
// Decimal text: the first 19 significant digits y, times the 96-bit
// approximation of the power of ten, settle the result unless the product
// lies too close to a halfway point between two doubles; then the full digit
// string is compared exactly with that halfway point.  Integer arithmetic
// only, so the floating-point rounding mode does not matter.
#include "support/strtod.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "support/bigint.h"

namespace vexo {

using u128 = unsigned __int128;

static constexpr uint64_t EXP_MASK = 0x7ff0000000000000ull;
static constexpr uint64_t MIN_NORMAL = 0x0010000000000000ull;

static inline double from_bits(uint64_t u) {
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

static inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads the exponent after its letter: an optional sign, then digits.  A
// magnitude of limit or more becomes clamp.  Returns the end of the digits,
// or nullptr when no digit follows (the letter then is not part of the
// number and *e is 0).
static const char* read_exponent(const char* s, int64_t limit, int64_t clamp,
                                 int64_t* e) {
  bool neg = false;
  if (*s == '+') {
    s++;
  } else if (*s == '-') {
    neg = true;
    s++;
  }
  *e = 0;
  if (!is_digit(*s)) return nullptr;
  int64_t m = 0;
  for (; is_digit(*s); s++) {
    if (m < limit) m = m * 10 + (*s - '0');
  }
  if (m >= limit) m = clamp;
  *e = neg ? -m : m;
  return s;
}

// Bit pattern of the double with significand s (hidden bit included) whose
// top bit has exponent e; s may be 2^53 after rounding up, or below 2^52 for
// a subnormal (then e is ignored).  Overflow gives the infinity pattern.
static inline uint64_t assemble(int64_t e, uint64_t s, bool normal) {
  if (!normal) return s;  // s == 2^52 is the smallest normal
  if (e > 1023) return EXP_MASK;
  uint64_t u = (uint64_t(e + 1022) << 52) + s;
  return u >= EXP_MASK ? EXP_MASK : u;
}

// Compares the decimal number 0.d1d2...dnd * 10^ex, its digits read from p
// with any "." skipped, with mi * 2^be.  Returns -1, 0 or 1.
static int cmp_halfway(const char* p, int64_t nd, int64_t ex, uint64_t mi,
                       int be) {
  bignum* b = u64tob(mi);
  bignum* S = i2b(1);
  // b / S = mid / 10^(ex - 1), to be compared with d1.d2d3...
  int64_t b2 = 0, s2 = 0, t = ex - 1;
  if (be >= 0)
    b2 = be;
  else
    s2 = -be;
  if (t >= 0) {
    S = pow5mult(S, int(t));
    s2 += t;
  } else {
    b = pow5mult(b, int(-t));
    b2 -= t;
  }
  int64_t m2 = b2 < s2 ? b2 : s2;
  S = lshift(S, int(s2 - m2));
  int sh = quorem_shift(S);
  S = lshift(S, sh);
  b = lshift(b, int(b2 - m2) + sh);
  int r;
  bignum* S10 = Balloc(S->k);
  Bcopy(S10, S);
  S10 = multadd(S10, 10, 0);
  if (cmp(b, S) < 0) {
    r = 1;  // mid < 10^(ex-1) <= the number
  } else if (cmp(b, S10) >= 0) {
    r = -1;  // mid >= 10^ex > the number
  } else {
    for (int64_t i = 0;;) {
      int q = quorem(b, S);
      if (*p == '.') p++;
      int dg = *p++ - '0';
      if (dg != q) {
        r = dg > q ? 1 : -1;
        break;
      }
      if (++i == nd) {
        r = is_zero(b) ? 0 : -1;
        break;
      }
      if (is_zero(b)) {
        r = 1;  // digits remain and the last of them is not zero
        break;
      }
      b = multadd(b, 10, 0);
    }
  }
  Bfree(S10);
  Bfree(S);
  Bfree(b);
  return r;
}

// The decimal conversion proper: y holds the first min(nd, 19) significant
// digits (nd >= 1), first points at the first of them, and the number is
// 0.d1d2...dnd * 10^ex.  Returns the bit pattern of the magnitude and sets
// *erange.
static uint64_t decimal_bits(uint64_t y, const char* first, int64_t nd,
                             int64_t ex, bool* erange) {
  bool truncated = nd > 19;
  int64_t e10 = ex - (truncated ? 19 : nd);  // the number is ~ y * 10^e10
  if (e10 < PTEN_MIN) {
    *erange = true;
    return 0;
  }
  if (e10 > 308) {
    *erange = true;
    return EXP_MASK;
  }
  const pten_entry& p = pten_of(int(e10));
  int lz = __builtin_clzll(y);
  uint64_t m = y << lz;
  // T = m * P (160 bits); U = T >> 32, the number being U * 2^(p.e - lz + 32).
  u128 a1 = u128(m) * ((uint64_t(p.hi) << 32) | p.mid);
  u128 b1 = u128(m) * p.lo;
  u128 U = a1 + (b1 >> 32);
  uint32_t low32 = uint32_t(b1);
  int t = (U >> 127) ? 127 : 126;
  int64_t E = t + p.e - lz + 32;  // exponent of U's top bit as a value
  int kept = E >= -1022 ? 53 : int(E + 1075);  // significand bits kept
  bool normal = kept == 53;
  if (kept < -1) {
    *erange = true;
    return 0;
  }
  uint64_t slo;  // significand rounded down
  uint64_t mi;   // 2 slo + 1: the halfway point above it, in units of
  int be;        // 2^be
  int dir;       // >0 round up, <0 down, 0 exactly halfway
  if (kept >= 0) {
    int rb = t - kept;  // the rounding bit
    u128 half = u128(1) << rb;
    u128 V = rb == 127 ? U : U & ((half << 1) - 1);
    slo = rb == 127 ? 0 : uint64_t(U >> (rb + 1));
    if (pten_exact(int(e10)) && !truncated) {
      // T is the exact number.
      dir = V > half || (V == half && low32) ? 1 : V < half ? -1 : 0;
    } else {
      // The exact number lies in (U - 2^31, U + 1 + 2^31 + trunc), trunc
      // bounding the digits beyond the 19th: below 2^lz * P.
      u128 errlo = u128(1) << 32;
      u128 errhi = errlo + (truncated ? u128(1) << (lz + 64) : 0);
      if (V >= half + errlo)
        dir = 1;
      else if (V <= half - errhi)
        dir = -1;
      else
        dir = 2;  // unsettled
    }
    mi = 2 * slo + 1;
    be = int(rb + p.e - lz + 32);
  } else {
    // Just below 2^-1075: 0, or the smallest subnormal if above that.
    slo = 0;
    mi = 1;
    be = -1075;
    dir = 2;
  }
  if (dir == 2) dir = cmp_halfway(first, nd, ex, mi, be);
  uint64_t s = slo + (dir > 0 || (dir == 0 && (slo & 1)));
  uint64_t u = assemble(E, s, normal);
  if (u < MIN_NORMAL || u == EXP_MASK) *erange = true;
  return u;
}

void gethex(const char** sp, double* rvp, int rounding, int sign) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(*sp) + 2;
  bool any = false;  // a hexadecimal digit, even a zero, was seen
  bool dot = false;
  uint64_t sig = 0;
  int nsig = 0;         // significant hexadecimal digits held in sig
  bool sticky = false;  // a nonzero digit beyond those
  int64_t bexp = 0;     // binary exponent of sig's last bit
  for (;; s++) {
    unsigned d = hexdig[*s];
    if (d) {
      any = true;
      d -= 16;
      if (nsig < 16) {
        if (d || nsig) {
          sig = sig << 4 | d;
          nsig++;
        }
        if (dot) bexp -= 4;
      } else {
        sticky |= d != 0;
        if (!dot) bexp += 4;
      }
    } else if (*s == '.' && !dot) {
      dot = true;
    } else {
      break;
    }
  }
  if (!any) {
    *sp += 1;  // the number is the "0" before the "x"
    *rvp = 0.;
    return;
  }
  if (*s == 'p' || *s == 'P') {
    // A magnitude beyond 27 bits counts as infinitely large.
    int64_t pe;
    if (const char* e =
            read_exponent(reinterpret_cast<const char*>(s) + 1,
                          int64_t(1) << 27, int64_t(1) << 40, &pe)) {
      bexp += pe;
      s = reinterpret_cast<const unsigned char*>(e);
    }
  }
  *sp = reinterpret_cast<const char*>(s);
  if (!sig) {
    *rvp = 0.;
    return;
  }
  int z = __builtin_clzll(sig);
  sig <<= z;
  int64_t E = bexp + 63 - z;  // exponent of the top bit
  uint64_t u;
  if (E > 1023) {
    u = EXP_MASK;
  } else {
    int64_t kept = E >= -1022 ? 53 : E + 1075;
    uint64_t s1, rest;
    bool round, lower;
    if (kept >= 1) {
      int sh = int(64 - kept);
      s1 = sig >> sh;
      rest = sig & ((uint64_t(1) << sh) - 1);
      round = (rest >> (sh - 1)) & 1;
      lower = (rest & ((uint64_t(1) << (sh - 1)) - 1)) || sticky;
    } else if (kept == 0) {
      s1 = 0;
      round = true;
      lower = (sig << 1) || sticky;
    } else {
      s1 = 0;
      round = false;
      lower = true;
    }
    bool up;
    switch (rounding) {
      case 0:
        up = false;
        break;
      case 2:
        up = !sign && (round || lower);
        break;
      case 3:
        up = sign && (round || lower);
        break;
      default:
        up = round && (lower || (s1 & 1));
        break;
    }
    u = assemble(E, s1 + up, kept >= 53);
    if (kept <= 0) errno = ERANGE;
  }
  if (u == EXP_MASK) {
    errno = ERANGE;
    // Directed rounding toward zero stops at the largest double.
    if (rounding == 0 || (rounding == 2 && sign) || (rounding == 3 && !sign))
      u = EXP_MASK - 1;
  }
  *rvp = from_bits(u);
}

extern "C" double Strtod(const char* s00, char** se) {
  const char* s = s00;
  while (*s == ' ' || (*s >= '\t' && *s <= '\r')) s++;
  int sign = 0;
  if (*s == '-') {
    sign = 1;
    s++;
  } else if (*s == '+') {
    s++;
  }
  uint64_t u = 0;
  const char* end = s00;  // nothing used so far
  if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    double rv;
    gethex(&s, &rv, 1, sign);
    std::memcpy(&u, &rv, sizeof u);
    end = s;
    goto ret;
  }
  {
    bool zeros = false;  // a zero before any other digit
    bool dot = false;
    const char* first = nullptr;  // first nonzero digit
    uint64_t y = 0;               // first 19 significant digits
    int64_t nd = 0;               // significant digits so far
    int64_t nz = 0;               // zeros after them, not yet counted
    int64_t intdigits = 0;        // the number is 0.d1d2... * 10^intdigits
    for (;; s++) {
      char c = *s;
      if (c == '0') {
        if (first) {
          nz++;
          if (!dot) intdigits++;
        } else {
          zeros = true;
          if (dot) intdigits--;
        }
      } else if (c > '0' && c <= '9') {
        if (!first) first = s;
        if (nz) {
          for (int64_t i = 0; i < nz && nd + i < 19; i++) y *= 10;
          nd += nz;
          nz = 0;
        }
        if (nd < 19) y = y * 10 + uint64_t(c - '0');
        nd++;
        if (!dot) intdigits++;
      } else if (c == '.' && !dot) {
        dot = true;
      } else {
        break;
      }
    }
    if (!first && !zeros) {
      if (!dot) {
        // Neither digit nor point: infinity, NaN or nothing.
        auto lc = [](char c) { return char(c | 0x20); };
        if (lc(s[0]) == 'i' && lc(s[1]) == 'n' && lc(s[2]) == 'f') {
          s += 3;
          if (lc(s[0]) == 'i' && lc(s[1]) == 'n' && lc(s[2]) == 'i' &&
              lc(s[3]) == 't' && lc(s[4]) == 'y')
            s += 5;
          u = EXP_MASK;
          end = s;
        } else if (lc(s[0]) == 'n' && lc(s[1]) == 'a' && lc(s[2]) == 'n') {
          u = 0x7ff8000000000000ull;
          end = s + 3;
        }
      }
      if (end == s00) sign = 0;
      goto ret;
    }
    int64_t ex = 0;
    if (*s == 'e' || *s == 'E') {
      if (const char* e = read_exponent(s + 1, 20000, 19999, &ex)) s = e;
    }
    end = s;
    if (first) {
      bool erange = false;
      u = decimal_bits(y, first, nd, intdigits + ex, &erange);
      if (erange) errno = ERANGE;
    }
  }
ret:
  if (se) *se = const_cast<char*>(end);
  if (sign) u |= uint64_t(1) << 63;
  return from_bits(u);
}

}  // namespace vexo
