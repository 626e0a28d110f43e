// Number formatters gfmt, pvg and ffmt, on the digits of dtoa_r (g_fmt lives
// in gfmt.cpp).
#include "support/numfmt.h"

#include <cstring>

#include "support/dtoa.h"
#include "support/gfmt.h"
#include "support/pool.h"
#include "support/scratch.h"

namespace vexo {

int output_prec;

// Digits buffer of ffmt: as for g_fmt (GFMT_NDIG), ffmt cuts its places
// back when x is large (the places it then cannot get are zeros on paper,
// and a text of 399 significant digits still reads back as the nearest
// double to the exact one).
constexpr size_t NDIG = GFMT_NDIG;
constexpr int MAX_PREC = NDIG - 1;

// Copies the NUL-terminated t to b; returns the end (at the NUL).
static char* put(char* b, const char* t) {
  size_t n = std::strlen(t);
  std::memcpy(b, t, n + 1);
  return b + n;
}

char* gfmt(double x, int prec, int64_t* lenp) {
  int n = g_fmt(Bf, x, prec);
  if (lenp) *lenp = n;
  return Bf;
}

char* pvg(double x) {
  g_fmt(Bf, x, output_prec);
  return Bf;
}

char* ffmt(double x, int nd, int64_t* lenp) {
  char buf[NDIG];
  int decpt, sign;
  char* se;
  char* s = dtoa_r(x, 3, nd, &decpt, &sign, &se, buf, sizeof buf);
  if (!s) {
    // Too many digits for buf: learn the decimal exponent k (decpt - 1 or
    // decpt - 2 after rounding to one digit) and ask for nd + k + 1 < 399.
    dtoa_r(x, 2, 1, &decpt, &sign, &se, buf, sizeof buf);
    int ndx = MAX_PREC - decpt;
    while (!(s = dtoa_r(x, 3, ndx, &decpt, &sign, &se, buf, sizeof buf))) --ndx;
  }
  char* b;
  if (decpt == 9999) {
    b = Bf;
    if (sign) *b++ = '-';
    b = put(b, *s == 'N' ? "NaN" : "Infinity");
  } else {
    int p = decpt;
    // Sign, integer part, point, places, NUL.  A value rounded to zero far
    // left of the point (nd very negative) has a large p but no digits: its
    // integer part is the single "0", so p must not size the buffers.
    int64_t ilen = p > 0 && *s ? p : 1;
    int64_t need = 1 + ilen + (nd > 0 ? int64_t{nd} + 1 : 0) + 1;
    if (static_cast<uint64_t>(need) > Bflen) {
      // Bf is one class above tok; the whole of tok goes along.
      bump_pbuf(htcl(static_cast<size_t>(need)) - 1,
                tok + (size_t{8} << tok_k));
    }
    b = Bf;
    if (sign && x != 0.) *b++ = '-';
    if (p > 0 && *s) {
      for (int i = 0; i < p; ++i) *b++ = *s ? *s++ : '0';
    } else {
      // Also a value rounded to zero left of the point (no digits): "0",
      // not a run of zeros.
      *b++ = '0';
      if (p > 0) s = se;
    }
    if (nd > 0) {
      *b++ = '.';
      int i = 0;
      for (; p < 0 && i < nd; ++p, ++i) *b++ = '0';
      for (; *s && i < nd; ++i) *b++ = *s++;
      for (; i < nd; ++i) *b++ = '0';
    }
    *b = 0;
  }
  if (lenp) *lenp = b - Bf;
  return Bf;
}

}  // namespace vexo
