// Number formatters: the text of a double wherever a number becomes a name
// or a string outside printf-style formats.  With precision 0 the text is
// the shortest one that reads back (Strtod) as the very same double.
// gfmt, pvg and ffmt write into the shared buffer Bf (support/scratch.h);
// their text is valid until the next use of Bf.
#ifndef VEXO_SUPPORT_NUMFMT_H
#define VEXO_SUPPORT_NUMFMT_H

#include <cstdint>

#include "support/gfmt.h"

namespace vexo {

// Precision of numbers in problem files (option output_precision), used by
// pvg.  Written by the option code; lives here as its lowest reader.
extern int output_prec;

// g_fmt into Bf; the length goes through lenp when it is not null.
char* gfmt(double x, int prec, int64_t* lenp);

// A number formatter (gfmt, ffmt) and the number format of a precision
// option with its rounding option: the formatter (ffmt while the rounding
// option is a number), the precision option's value and the precision
// handed to the formatter.
using num_formatter = char* (*)(double x, int prec, int64_t* lenp);
struct num_format {
  num_formatter fmt;
  int32_t prec;
  int32_t active;
};
// g_fmt into Bf with precision output_prec.
char* pvg(double x);
// Fixed notation with nd places after the point (nd < 0 rounds to the left
// of the point, no point written), correctly rounded, ties to even.  An
// infinity or NaN is "Infinity" or "NaN", with "-" when the sign bit is set.
// Grows the scratch buffers when the text does not fit in Bf (the token
// text in tok survives).  The length goes through lenp when not null.
char* ffmt(double x, int nd, int64_t* lenp);

}  // namespace vexo

#endif  // VEXO_SUPPORT_NUMFMT_H
