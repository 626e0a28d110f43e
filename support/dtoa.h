// Double to decimal digits: the shortest digits that read back as the same
// double, or correctly rounded digits for a count of significant digits or
// of places after the decimal point.  Callers lay out the text themselves.
#ifndef VEXO_SUPPORT_DTOA_H
#define VEXO_SUPPORT_DTOA_H

#include <cstddef>

namespace vexo {

extern "C" {

// Converts d to bare decimal digits.  For finite nonzero d the result is a
// NUL-terminated string of digits without leading or trailing zeros whose
// value is 0.d1d2... * 10^*decpt.  *sign gets 1 when the sign bit of d is set
// (zeros and NaNs included), else 0.  Infinity gives "Infinity" and NaN gives
// "NaN", both with *decpt 9999; a zero gives "0" with *decpt 1.
//
// mode 0: shortest string that reads back as d (a string on the boundary of
//         the rounding interval counts when the significand of d is even);
// mode 1: as 0, but a string on the boundary never counts;
// mode 2: max(1, ndigits) significant digits, correctly rounded;
// mode 3: digits up to ndigits places after the decimal point (before it
//         when ndigits < 0); when the value rounds to zero there the string
//         is empty and *decpt is -ndigits, when it rounds up to one unit
//         there the string is "1" and *decpt is -ndigits + 1;
// modes 4, 5: as 2 and 3, but stop early when a shorter string already
//         reads back as d;
// modes 6 to 9 act as 2 to 5, any other mode as 0.
// A last digit exactly halfway is rounded to even.
//
// rve: null, or receives the position of the terminating NUL.
// buf: the caller's buffer of blen bytes, or null.  With a buffer, let i be
// 18 in modes 0 and 1, max(1, ndigits) in modes 2 and 4, and
// max(1, ndigits + k + 1) in modes 3 and 5, k the decimal exponent of d
// (10^k <= |d| < 10^(k+1)); when blen <= i the result is null, nothing is
// written to buf and *decpt is left alone.  The special values need blen
// above the length of their text.  With buf null the string is allocated
// (see freedtoa) and recorded in dtoa_result.
//
// The digits are computed with integer arithmetic only, so they do not
// depend on the rounding mode of the floating-point unit.  Not re-entrant:
// the big-integer free lists and pool are process-wide.  Ends the process
// (status 63) only when memory runs out.
char* dtoa_r(double d, int mode, int ndigits, int* decpt, int* sign, char** rve,
             char* buf, size_t blen);

// Frees the previous result of dtoa, then calls dtoa_r without a buffer.
// The result stays valid until the next call of dtoa or until freedtoa.
char* dtoa(double d, int mode, int ndigits, int* decpt, int* sign, char** rve);

// Gives back a string that dtoa_r (without a buffer) or dtoa allocated;
// clears dtoa_result when s is that string.
void freedtoa(char* s);

// The fixed-digit fast path of dtoa_r uses exact 64-bit division for
// integral values whose decimal exponent is at most this (initially 2).  It
// tunes speed only; the digits never depend on it.
extern int dtoa_divmax;

}  // extern "C"

// dtoa_r without its fast paths: the same digits by big-integer arithmetic
// alone.  For testing the two against each other.
char* dtoa_exact_r(double d, int mode, int ndigits, int* decpt, int* sign,
                   char** rve, char* buf, size_t blen);

// The last digit string that dtoa_r allocated rather than wrote into a
// caller's buffer, or null.
extern char* dtoa_result;

}  // namespace vexo

#endif  // VEXO_SUPPORT_DTOA_H
