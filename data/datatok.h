// The data-mode tokenizer.  Data statements and the `read` command read
// their input through token, which takes characters from the input line
// reader (frontend/reader.h) and leaves the token's text in the shared
// token buffer tok (support/scratch.h).  Two character tables decide what
// a word is: tok_type, and tokstar_type (frontend/rawtok.h), under which
// "+" and "-" stand alone, "*" is a word character and "." stands alone;
// the data reader uses the latter at statement starts and for the name of
// a param statement, so that a dotted name (x.init) splits into its parts.
#ifndef VEXO_DATA_DATATOK_H
#define VEXO_DATA_DATATOK_H

namespace vexo {

// Token codes: a one-character token other than these is its character's
// code ("(" 40, ")" 41, "," 44, "*" 42, "[" 91, "]" 93 ...).
enum : int {
  DT_SIGN = 2,    // a lone "+" or "-" (only under tokstar_type)
  DT_STRING = 3,  // a quoted string while an include's file name is read
  DT_WORD = 4,    // a word or a quoted string
  DT_NUMBER = 8,  // a word that reads as a number
  DT_DOT = 46,    // a lone "." (only under tokstar_type)
  DT_SLASH = 47,
  DT_COLON = 58,
  DT_SEMI = 59,
  DT_ASSIGN = 61  // "=" or ":="
};

// The character table in force.
extern const unsigned char* Typeinit;
// Quote character of the last quoted string (0 for a bare word), length of
// the last word or string, and the code of the last token.
extern int tokquote;
extern int toklen;
extern int last_tok;

// Selects tok_type and notes whether the floating-point unit rounds to
// nearest (readers of data call it when they start).
void tok_init();
// The value of the number token in tok, as Strtod gives it.  Plain
// decimals of at most 15 digits take a fast path: the significand and the
// power of ten are exact doubles, so one division rounded to nearest is
// the correctly rounded value (taken only when tok_init found rounding to
// nearest in force).
double tok_number();
// The next token (codes above); its text is in tok.  A number's exponent
// letter d or D is rewritten to e.  Under tokstar_type a word that begins
// with a digit, or a sign or "." followed by a digit, is read as under
// tok_type, so that numbers keep their signs and points.  Comments ("#" to
// the end of the line, "/*" to "*/") are skipped; "include" followed by a
// file name switches the input to that file (include, session/include.h).
// May report "missing %c" and the caution "Ignoring duplicate \":=\".";
// at the end of the input the reader throws data_end
// (frontend/reader.h) while the data reader holds its recovery point.
int token();

}  // namespace vexo

#endif  // VEXO_DATA_DATATOK_H
