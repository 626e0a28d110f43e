// Decimal (or hexadecimal) text to the nearest double, ties to the even
// significand.  Every number the system reads from text passes through
// Strtod, so equal decimal values always give the same double and the
// shortest digits of dtoa_r read back bit for bit.
#ifndef VEXO_SUPPORT_STRTOD_H
#define VEXO_SUPPORT_STRTOD_H

namespace vexo {

extern "C" {

// Reads a number from s: optional white space (bytes 9 to 13 and 32), an
// optional sign, then "0x" hexadecimal text, or decimal digits with an
// optional "." and an optional exponent ("e" or "E", optional sign, digits;
// an exponent magnitude above 19999 counts as 19999), or "inf", "infinity"
// or "nan" in any case.  When endptr is not null it receives the position
// just after the last character used; when nothing is used, the start of s
// (the result is then +0).
//
// Sets errno to ERANGE (and otherwise leaves it alone) when the value
// overflows (result +-infinity), underflows to zero (+-0), or when decimal
// text gives a subnormal result; hexadecimal text sets it on overflow and
// when it rounds to zero or to the smallest subnormal because of its size.
//
// Integer arithmetic only: the result is the round-to-nearest one whatever
// the rounding mode of the floating-point unit.  Not re-entrant (the
// big-integer layer is process-wide).  Ends the process (status 63) only
// when memory runs out.
double Strtod(const char* s, char** endptr);

}  // extern "C"

// Converts hexadecimal floating-point text.  *sp points at the "0" of "0x"
// on entry and receives the position of the first character not used (the
// "x" when no hexadecimal digit follows).  The magnitude goes to *rv.
// rounding: 1 is to nearest, ties to even (the only direction the system
// uses); 0 toward zero, 2 toward +infinity, 3 toward -infinity, where sign
// (1 for a negative number) decides the direction of 2 and 3.  The caller
// applies the sign.  Sets errno as Strtod describes for hexadecimal text.
void gethex(const char** sp, double* rv, int rounding, int sign);

}  // namespace vexo

#endif  // VEXO_SUPPORT_STRTOD_H
