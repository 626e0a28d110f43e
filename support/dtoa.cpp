// Double to decimal digits.
//
// Fast paths scale the double by a 96-bit power of ten into 64.64 fixed
// point and decide the digits with 64-bit integers, for the shortest digits
// (modes 0, 1) and for up to 19 rounded digits (modes 2, 3); whenever the
// error of the scaled value could change a digit or a rounding decision,
// the exact path does the work with big integers (quotient digits of b / S,
// with margins of half the gaps to the neighbouring doubles for the
// shortest digits).  Integer arithmetic only, so the digits do not depend
// on the rounding mode.
#include "support/dtoa.h"

#include <cstdint>
#include <cstring>

#include "support/bigint.h"

namespace vexo {

extern "C" {
int dtoa_divmax = 2;
}
char* dtoa_result;

using u128 = unsigned __int128;

static constexpr uint64_t EXP_MASK = 0x7ff0000000000000ull;
static constexpr uint64_t FRAC_MASK = 0x000fffffffffffffull;
static constexpr uint64_t HIDDEN = 0x0010000000000000ull;
// Bound, in units of 2^-64, on the error of a value scaled by an inexact
// power: below F/2 * 2^-sh <= 2^-33 plus the truncation, with room.
static constexpr uint64_t SCALE_ERR = uint64_t(1) << 32;
// Significant digits a result can have; bounds allocated strings.
static constexpr int64_t MAX_DIGITS = 800;

// A nonnegative value in 64.64 fixed point: ip + fp / 2^64, plus the bits
// below (sticky) when the power used was exact; otherwise within SCALE_ERR
// units of fp of the true value.
struct fixval {
  uint64_t ip, fp;
  bool exact, sticky;
};

// F * 2^E * 10^q into fixed point; F < 2^55, the value below 2^64 and at
// least 2^-4.  False when q is outside the table or the value out of range.
static bool scale(uint64_t F, int E, int q, fixval* x) {
  if (q < PTEN_MIN || q > PTEN_MAX) return false;
  const pten_entry& p = pten_of(q);
  u128 a1 = u128(F) * ((uint64_t(p.hi) << 32) | p.mid);
  u128 b1 = u128(F) * p.lo;
  // prod = a1 * 2^32 + b1 = H * 2^64 + p0
  u128 lo = u128(uint64_t(a1 << 32)) + uint64_t(b1);
  uint64_t p0 = uint64_t(lo);
  u128 H = (a1 >> 32) + (b1 >> 64) + (lo >> 64);
  int sh = -(E + p.e) - 64;  // prod >> sh is the value times 2^64
  if (sh < 0 || sh > 127) return false;
  u128 Y;
  bool sticky;
  if (sh < 64) {
    if (sh + 64 < 128 && (H >> (sh + 64)) != 0) return false;
    Y = (H << (64 - sh)) | (p0 >> sh);
    sticky = sh && (p0 & ((uint64_t(1) << sh) - 1));
  } else {
    Y = H >> (sh - 64);
    sticky = p0 || (sh > 64 && (H & ((u128(1) << (sh - 64)) - 1)));
  }
  x->ip = uint64_t(Y >> 64);
  x->fp = uint64_t(Y);
  x->exact = pten_exact(q);
  x->sticky = sticky;
  return true;
}

// Writes the digits of r > 0 without its trailing zeros; returns the end
// and the full digit count in *nr.
static char* put_digits(char* s, uint64_t r, int* nr) {
  char t[20];
  int n = 0;
  while (r) {
    t[n++] = char('0' + r % 10);
    r /= 10;
  }
  *nr = n;
  int z = 0;
  while (z < n && t[z] == '0') z++;
  for (int i = n - 1; i >= z; i--) *s++ = t[i];
  return s;
}

// Adds one unit to the last digit of start..s (carrying through nines);
// returns the new end without trailing zeros.  A carry out of the first
// digit leaves "1" and increments *k.
static char* round_up(char* start, char* s, int* k) {
  while (s > start && s[-1] == '9') s--;
  if (s == start) {
    *s++ = '1';
    ++*k;
  } else {
    s[-1]++;
  }
  return s;
}

static char* strip_zeros(char* start, char* s) {
  while (s > start && s[-1] == '0') s--;
  return s;
}

// Shortest digits from the fixed-point scaling; null when the error bound
// leaves something open.  allow: boundary strings count.
static char* shortest_fast(uint64_t f, int e, int k, bool allow, char* s,
                           int* decpt) {
  int q = 16 - k;  // d * 10^q is in [10^16, 10^17)
  bool lower_close = f == HIDDEN && e > -1074;
  uint64_t fv = 4 * f, fp = 4 * f + 2, fm = lower_close ? 4 * f - 1 : 4 * f - 2;
  int z = __builtin_clzll(fp) - 9;
  int E = e - 2 - z;
  fixval xm, xv, xp;
  if (!scale(fm << z, E, q, &xm) || !scale(fv << z, E, q, &xv) ||
      !scale(fp << z, E, q, &xp))
    return nullptr;
  // [a, c]: the integers that read back as d.
  uint64_t a, c;
  if (xm.exact) {
    a = xm.ip + ((xm.fp || xm.sticky || !allow) ? 1 : 0);
    c = xp.ip - ((xp.fp || xp.sticky || allow) ? 0 : 1);
  } else {
    if (xm.fp < SCALE_ERR || xm.fp > ~SCALE_ERR || xp.fp < SCALE_ERR ||
        xp.fp > ~SCALE_ERR)
      return nullptr;
    a = xm.ip + 1;
    c = xp.ip;
  }
  if (a > c) return nullptr;
  // Drop digits while a multiple of the next power of ten stays in range.
  int j = 0;
  uint64_t aa = a, cc = c;
  while (cc / 10 >= (aa + 9) / 10) {
    cc /= 10;
    aa = (aa + 9) / 10;
    j++;
  }
  // The multiple of 10^j nearest to d, ties to an even digit.
  uint64_t p10 = ten_pow[j];
  uint64_t r = xv.ip / p10;
  u128 v = u128(xv.ip % p10) << 64 | xv.fp;
  u128 h = u128(p10) << 63;
  int dir;
  if (xv.exact) {
    dir = v > h || (v == h && xv.sticky) ? 1 : v < h ? -1 : 0;
  } else if (v >= h + SCALE_ERR) {
    dir = 1;
  } else if (v + SCALE_ERR <= h) {
    dir = -1;
  } else {
    return nullptr;
  }
  if (dir > 0 || (dir == 0 && (r & 1))) r++;
  if (r < aa) r = aa;
  if (r > cc) r = cc;
  int nr;
  s = put_digits(s, r, &nr);
  *decpt = nr + j - q;
  return s;
}

// d rounded to N digits (0 <= N <= 19) counted from the 10^k place: *R gets
// the rounded integer (0 .. 10^N).  False when the fast path cannot decide.
static bool fixed_fast(uint64_t f, int e, int k, int N, uint64_t* R) {
  int q = N - 1 - k;  // d * 10^q is in [10^(N-1), 10^N)
  if (q < 0 && -q <= 19 && k <= dtoa_divmax) {
    // Integral d below 2^64: exact division.
    int bits = 64 - __builtin_clzll(f);
    uint64_t D = 0;
    bool integral = false;
    if (e >= 0 && bits + e <= 64) {
      D = f << e;
      integral = true;
    } else if (e < 0 && e > -64 && !(f & ((uint64_t(1) << -e) - 1))) {
      D = f >> -e;
      integral = true;
    }
    if (integral) {
      uint64_t div = ten_pow[-q], ip = D / div, rem = D % div;
      uint64_t other = div - rem;
      *R = ip + (rem > other || (rem == other && (ip & 1)));
      return true;
    }
  }
  int z = __builtin_clzll(f) - 9;
  fixval x;
  if (!scale(f << z, e - z, q, &x)) return false;
  constexpr uint64_t HALF = uint64_t(1) << 63;
  int dir;
  if (x.exact) {
    dir = x.fp > HALF || (x.fp == HALF && x.sticky) ? 1 : x.fp < HALF ? -1 : 0;
  } else if (x.fp >= HALF + SCALE_ERR) {
    dir = 1;
  } else if (x.fp <= HALF - SCALE_ERR) {
    dir = -1;
  } else {
    return false;
  }
  if (x.ip > ten_pow[N]) return false;
  *R = x.ip + (dir > 0 || (dir == 0 && (x.ip & 1)));
  return true;
}

// The big integers of the exact path: b / S = d / 10^k, and for the
// shortest digits the margins mlo and mhi (half the gaps below and above d)
// on b's scale.
struct exact_state {
  bignum *b, *S, *mlo, *mhi;
};

static void exact_setup(uint64_t f, int e, int k, bool margins,
                        bool lower_close, exact_state* st) {
  // Bases: b = 2f (4f when the gap below is half as wide), mlo = 1,
  // mhi = 1 or 2, S = 2 or 4; without margins b = f and S = 1.
  int base2 = margins ? (lower_close ? 2 : 1) : 0;
  int64_t b2 = base2, s2 = base2, b5 = 0, s5 = 0;
  if (e >= 0)
    b2 += e;
  else
    s2 -= e;
  if (k >= 0) {
    s5 = k;
    s2 += k;
  } else {
    b5 = -k;
    b2 -= k;
  }
  // Cancel common factors of 2, leaving b at least its base factor so that
  // the margins keep a nonnegative shift.
  int64_t m2 = b2 - base2 < s2 ? b2 - base2 : s2;
  b2 -= m2;
  s2 -= m2;
  bignum* b = u64tob(f);
  bignum* S = i2b(1);
  bignum* m = margins ? i2b(1) : nullptr;
  if (b5) {
    b = pow5mult(b, int(b5));
    if (m) m = pow5mult(m, int(b5));
  }
  if (s5) S = pow5mult(S, int(s5));
  S = lshift(S, int(s2));
  int sh = quorem_shift(S);
  S = lshift(S, sh);
  // b carries the base factor 2^base2 of the margins' scale.
  b = lshift(b, int(b2) + sh);
  st->b = b;
  st->S = S;
  st->mlo = st->mhi = nullptr;
  if (m) {
    // m's own scale lacks the base factor that b got through b2.
    m = lshift(m, int(b2) + sh - base2);
    st->mlo = m;
    if (lower_close) {
      bignum* m2b = Balloc(m->k);
      Bcopy(m2b, m);
      st->mhi = lshift(m2b, 1);
    } else {
      st->mhi = m;
    }
  }
}

static void exact_free(exact_state* st) {
  if (st->mhi != st->mlo) Bfree(st->mhi);
  Bfree(st->mlo);
  Bfree(st->S);
  Bfree(st->b);
}

// Shortest digits by exact arithmetic.
static char* shortest_exact(uint64_t f, int e, int k, bool allow, char* s,
                            int* decpt) {
  bool lower_close = f == HIDDEN && e > -1074;
  exact_state st;
  exact_setup(f, e, k, true, lower_close, &st);
  char* start = s;
  for (;;) {
    int dig = quorem(st.b, st.S);
    int j = cmp(st.b, st.mlo);  // the digit so far vs the lower margin
    bignum* delta = diff(st.S, st.mhi);
    int j1 = delta->sign ? 1 : cmp(st.b, delta);  // dig + 1 vs upper margin
    Bfree(delta);
    bool low_ok = j < 0 || (j == 0 && allow);
    bool high_ok = j1 > 0 || (j1 == 0 && allow);
    if (low_ok || high_ok) {
      if (low_ok && high_ok) {
        st.b = lshift(st.b, 1);
        int c = cmp(st.b, st.S);
        if (c > 0 || (c == 0 && (dig & 1))) dig++;
      } else if (high_ok) {
        dig++;
      }
      if (dig == 10) {
        s = round_up(start, s, &k);
      } else {
        *s++ = char('0' + dig);
      }
      break;
    }
    *s++ = char('0' + dig);
    st.b = multadd(st.b, 10, 0);
    st.mlo = multadd(st.mlo, 10, 0);
    if (lower_close)
      st.mhi = multadd(st.mhi, 10, 0);
    else
      st.mhi = st.mlo;
  }
  exact_free(&st);
  *decpt = k + 1;
  return strip_zeros(start, s);
}

// N >= 0 digits from the 10^k place, correctly rounded, by exact
// arithmetic.  N == 0 gives "1" (decpt k + 2) or nothing.
static char* fixed_exact(uint64_t f, int e, int k, int64_t N, char* s,
                         int* decpt) {
  exact_state st;
  exact_setup(f, e, k, false, false, &st);
  char* start = s;
  if (N == 0) {
    // d / 10^(k+1) against 1/2: b against 5 S.
    bignum* S5 = Balloc(st.S->k);
    Bcopy(S5, st.S);
    S5 = multadd(S5, 5, 0);
    if (cmp(st.b, S5) > 0) {
      *s++ = '1';
      k++;
    }
    Bfree(S5);
  } else {
    int64_t i = 0;
    for (;;) {
      int dig = quorem(st.b, st.S);
      *s++ = char('0' + dig);
      if (is_zero(st.b)) break;
      if (++i >= N) {
        st.b = lshift(st.b, 1);
        int c = cmp(st.b, st.S);
        if (c > 0 || (c == 0 && (dig & 1))) s = round_up(start, s, &k);
        break;
      }
      st.b = multadd(st.b, 10, 0);
    }
  }
  exact_free(&st);
  *decpt = k + 1;
  return strip_zeros(start, s);
}

// Shortest digits of f * 2^e when its exact decimal text is the shortest
// text that reads back: its b places after the point (b at most 17) are
// so few that every text with fewer places lies at least 10^-b away, more
// than half the gap to a neighbouring double (at most 2^(e-1)).  Integers
// below 2^53 and short binary fractions (bounds, coefficients such as 0.25
// or 12.5) take this path; null when it does not apply.
static char* shortest_exact_text(uint64_t f, int e, char* s, int* decpt) {
  if (e > 0) return nullptr;
  int t = __builtin_ctzll(f);
  int b = e + t >= 0 ? 0 : -(e + t);
  if (b > 17) return nullptr;
  // 10^-b > 2^(e-1), i.e. 5^b < 2^(1 - e - b).
  int sh = 1 - e - b;
  uint64_t p5 = ten_pow[b] >> b;
  if (sh < 64 && p5 >= uint64_t(1) << sh) return nullptr;
  u128 N = b ? u128(f >> t) * p5 : u128(f >> -e);
  if (N >= ten_pow[17]) return nullptr;
  int nr;
  s = put_digits(s, uint64_t(N), &nr);
  *decpt = nr - b;
  return s;
}

static char* shortest(uint64_t f, int e, int k, bool allow, bool fast, char* s,
                      int* decpt) {
  char* r = fast ? shortest_exact_text(f, e, s, decpt) : nullptr;
  if (!r && fast) r = shortest_fast(f, e, k, allow, s, decpt);
  return r ? r : shortest_exact(f, e, k, allow, s, decpt);
}

// N digits from the 10^k place (N may be 0 or below: nothing or "1").
static char* fixed(uint64_t f, int e, int k, int64_t N, bool fast, char* s,
                   int* decpt) {
  if (N < 0) {
    *decpt = 0;  // nothing: the caller sets decpt
    return s;
  }
  uint64_t R;
  if (fast && N <= 19 && fixed_fast(f, e, k, int(N), &R)) {
    if (R == 0) {
      *decpt = k + 1;
      return s;
    }
    if (R == ten_pow[N]) {
      *s++ = '1';
      *decpt = k + 2;
      return s;
    }
    int nr;
    s = put_digits(s, R, &nr);
    *decpt = k + 1;
    return s;
  }
  return fixed_exact(f, e, k, N, s, decpt);
}

// A string of at least i + 1 bytes in a record of the least class that
// holds it; the class is kept in the record's first word for freedtoa.
static char* rv_alloc(int64_t i) {
  int k = 0;
  while (24 + (int64_t(4) << k) <= i) k++;
  bignum* r = Balloc(k);
  int32_t kk = k;
  std::memcpy(r, &kk, sizeof kk);
  return reinterpret_cast<char*>(r) + sizeof kk;
}

static char* special(const char* text, int dp, int* decpt, char** rve,
                     char* buf, size_t blen) {
  size_t n = std::strlen(text);
  char* s;
  if (buf) {
    if (blen <= n) return nullptr;
    s = buf;
  } else {
    s = dtoa_result = rv_alloc(int64_t(n));
  }
  std::memcpy(s, text, n + 1);
  *decpt = dp;
  if (rve) *rve = s + n;
  return s;
}

static char* digits(double dd, int mode, int ndigits, int* decpt, int* sign,
                    char** rve, char* buf, size_t blen, bool fast) {
  uint64_t u;
  std::memcpy(&u, &dd, sizeof u);
  *sign = int(u >> 63);
  u &= ~(uint64_t(1) << 63);
  if ((u & EXP_MASK) == EXP_MASK)
    return special(u & FRAC_MASK ? "NaN" : "Infinity", 9999, decpt, rve, buf,
                   blen);
  if (!u) return special("0", 1, decpt, rve, buf, blen);
  if (mode < 0 || mode > 9) mode = 0;
  if (mode >= 6) mode -= 4;

  int bex = int(u >> 52);
  uint64_t f = u & FRAC_MASK;
  int e;
  if (bex) {
    f |= HIDDEN;
    e = bex - 1075;
  } else {
    e = -1074;
  }
  // The decimal exponent k: 10^k <= d < 10^(k+1).  k is floor(log10 2^e2)
  // or one more; the 96-bit power of ten decides (the significand never
  // equals an inexact entry, so the comparison is exact).
  int top = 63 - __builtin_clzll(f);
  int e2 = top + e;
  int k = (e2 * 78913) >> 18;
  {
    const pten_entry& p = pten_of(k + 1);
    int pe = p.e + 95;
    if (pe < e2) {
      k++;
    } else if (pe == e2) {
      u128 P = u128((uint64_t(p.hi) << 32) | p.mid) << 32 | p.lo;
      if (u128(f << (52 - top)) << 43 >= P) k++;
    }
  }

  int64_t i;
  switch (mode) {
    case 2:
    case 4:
      i = ndigits > 1 ? ndigits : 1;
      break;
    case 3:
    case 5:
      i = int64_t(ndigits) + k + 1;
      if (i < 1) i = 1;
      break;
    default:
      i = 18;
      break;
  }
  char* s0;
  if (buf) {
    if (blen <= uint64_t(i)) return nullptr;
    s0 = buf;
  } else {
    s0 = dtoa_result = rv_alloc(i < MAX_DIGITS ? i : MAX_DIGITS);
  }

  char* s = s0;
  int dp = 0;
  bool allow = mode != 1 && !(f & 1);
  if (mode <= 1) {
    s = shortest(f, e, k, allow, fast, s0, &dp);
  } else {
    int64_t N = mode == 3 || mode == 5 ? int64_t(ndigits) + k + 1
                : ndigits > 1          ? ndigits
                                       : 1;
    bool done = false;
    if (mode >= 4) {
      // A shorter string that reads back as d wins.
      char t[24];
      int tdp;
      char* te = shortest(f, e, k, allow, fast, t, &tdp);
      int64_t len = te - t;
      if (mode == 4 ? len <= N : N >= 1 && tdp - len >= -int64_t(ndigits)) {
        std::memcpy(s0, t, size_t(len));
        s = s0 + len;
        dp = tdp;
        done = true;
      }
    }
    if (!done) {
      s = fixed(f, e, k, N, fast, s0, &dp);
      if (s == s0) dp = -ndigits;  // rounded to zero at that place
    }
  }
  *s = 0;
  *decpt = dp;
  if (rve) *rve = s;
  return s0;
}

extern "C" char* dtoa_r(double d, int mode, int ndigits, int* decpt, int* sign,
                        char** rve, char* buf, size_t blen) {
  return digits(d, mode, ndigits, decpt, sign, rve, buf, blen, true);
}

char* dtoa_exact_r(double d, int mode, int ndigits, int* decpt, int* sign,
                   char** rve, char* buf, size_t blen) {
  return digits(d, mode, ndigits, decpt, sign, rve, buf, blen, false);
}

extern "C" void freedtoa(char* s) {
  bignum* b = reinterpret_cast<bignum*>(s - sizeof(int32_t));
  int32_t k;
  std::memcpy(&k, b, sizeof k);
  b->k = k;
  b->maxwds = int32_t(1) << k;
  Bfree(b);
  if (s == dtoa_result) dtoa_result = nullptr;
}

extern "C" char* dtoa(double d, int mode, int ndigits, int* decpt, int* sign,
                      char** rve) {
  if (dtoa_result) freedtoa(dtoa_result);
  return dtoa_r(d, mode, ndigits, decpt, sign, rve, nullptr, 0);
}

}  // namespace vexo
