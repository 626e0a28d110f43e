// Quoting of texts so that the language's reader takes them back unchanged:
// the decision behind the %q and %Q conversions of the formatting engine, and
// the printed width of %q output for column layouts.
#ifndef VEXO_SUPPORT_QUOTE_H
#define VEXO_SUPPORT_QUOTE_H

namespace vexo {

// Character class of each byte: 1 letter, 2 digit, 3 byte of a UTF-8
// sequence (128-255); newline, the two quote characters, ".", "+", "-" and
// "_" have their own byte value as class; 0 for every other byte.  Filled on
// first use by qt_init.
extern unsigned char qtype[256];

// Fills qtype.
void qt_init();

// Decides how %q prints the first n bytes of the NUL-terminated text s.  When
// the text needs quotes, sets *quote to the quote character (single or
// double quote), lowers *width by the characters the quoting adds (the two
// quotes, a backslash per newline, a doubling per inner quote character) and
// returns 1; otherwise leaves both alone and returns 0.
int qkind(const char* s, int n, int* quote, int* width);

// Number of characters (runes, not bytes) that %q prints for the whole s.
int qutflen(const char* s);

}  // namespace vexo

#endif  // VEXO_SUPPORT_QUOTE_H
