// g_fmt: the text of a double, shortest or to a count of significant
// digits.  Stands alone (dtoa_r only), so that the solver driver links it.
#include "support/gfmt.h"

#include <cstring>

#include "support/dtoa.h"

namespace vexo {

constexpr int MAX_PREC = GFMT_NDIG - 1;

// Copies the NUL-terminated t to b; returns the end (at the NUL).
static char* put(char* b, const char* t) {
  size_t n = std::strlen(t);
  std::memcpy(b, t, n + 1);
  return b + n;
}

extern "C" int g_fmt(char* b, double x, int prec) {
  if (x == 0.) {
    b[0] = '0';
    b[1] = 0;
    return 1;
  }
  if (prec > MAX_PREC) prec = MAX_PREC;
  char buf[GFMT_NDIG];
  int decpt, sign;
  char* se;
  char* s = dtoa_r(x, prec ? 2 : 0, prec, &decpt, &sign, &se, buf, sizeof buf);
  char* b0 = b;
  if (sign) *b++ = '-';
  if (decpt == 9999) {
    if (*s == 'N')
      b = put(b0, "NaN");  // never signed
    else
      b = put(b, "Infinity");
    return static_cast<int>(b - b0);
  }
  int n = static_cast<int>(se - s);
  int p = decpt;
  if (p <= -4 || p > n + 4 + (n >= 2)) {
    *b++ = *s++;
    if (n >= 2) {
      *b++ = '.';
      while (*s) *b++ = *s++;
    }
    *b++ = 'e';
    int e = p - 1;
    if (e < 0) {
      *b++ = '-';
      e = -e;
    } else {
      *b++ = '+';
    }
    char eb[8];
    int j = 0;
    do {
      eb[j++] = static_cast<char>('0' + e % 10);
      e /= 10;
    } while (e);
    if (j < 2) eb[j++] = '0';
    while (j) *b++ = eb[--j];
  } else if (p <= 0) {
    *b++ = '0';
    *b++ = '.';
    for (; p < 0; ++p) *b++ = '0';
    while (*s) *b++ = *s++;
  } else {
    for (int i = 0; i < p; ++i) *b++ = *s ? *s++ : '0';
    if (*s) {
      *b++ = '.';
      while (*s) *b++ = *s++;
    }
  }
  *b = 0;
  return static_cast<int>(b - b0);
}

}  // namespace vexo
