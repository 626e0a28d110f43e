// The text of a double: the shortest one that reads back (Strtod) as the
// very same double, or a count of significant digits.  Stands alone on
// dtoa_r, for the translator and the solver driver alike.
#ifndef VEXO_SUPPORT_GFMT_H
#define VEXO_SUPPORT_GFMT_H

#include <cstddef>

namespace vexo {

// Digits buffer of the formatters: dtoa_r refuses requests of 400 digits
// or more, so g_fmt asks for at most 399 significant digits.
constexpr size_t GFMT_NDIG = 400;

extern "C" {
// Writes x at b: with prec 0 the shortest text that reads back as x, else
// prec significant digits (a negative count acts as 1; more than 399 acts
// as 399).  Plain or exponent notation, whichever is shorter ("1e+05",
// "10000", "0.0001", "1e-05"); zero of either sign is "0", NaN is "NaN",
// infinities "Infinity" and "-Infinity".  Returns the length (the NUL not
// counted).  b needs 44 bytes for prec up to 36, 420 bytes in general.
int g_fmt(char* b, double x, int prec);
}

}  // namespace vexo

#endif  // VEXO_SUPPORT_GFMT_H
