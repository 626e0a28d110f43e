// Quoting for the language: %q prints a text bare when the reader takes it
// back as the same symbolic token, and quotes it otherwise.
#include "support/quote.h"

#include <cstring>

#include "support/text.h"
#include "support/utf8.h"

namespace vexo {

unsigned char qtype[256];

void qt_init() {
  for (int c = 'A'; c <= 'Z'; ++c) qtype[c] = 1;
  for (int c = 'a'; c <= 'z'; ++c) qtype[c] = 1;
  for (int c = '0'; c <= '9'; ++c) qtype[c] = 2;
  for (int c = 128; c < 256; ++c) qtype[c] = 3;
  for (const char* s = "\"'\n.+-_"; *s; ++s) {
    qtype[static_cast<unsigned char>(*s)] = static_cast<unsigned char>(*s);
  }
}

static inline void qt_ready() {
  if (!qtype[static_cast<unsigned char>('"')]) qt_init();
}

// A text made only of name characters still needs quotes when the reader
// would take it for a number, and "." alone is punctuation.
static bool bare_needs_quotes(const char* s) {
  return (s[0] == '.' && !s[1]) || valid_param(const_cast<char*>(s), 1);
}

// What quoting adds to the text s (its first n bytes, or all of it when n is
// negative): 0 when it prints bare, else the two quotes, a backslash per
// newline and a doubling per inner quote of the kind chosen, which goes to
// *quote.  *runes gets the characters (not bytes) scanned.  The bare test
// looks at the whole text.
static int quote_cost(const char* s, int n, int* quote, int* runes) {
  qt_ready();
  *runes = 0;
  *quote = '\'';
  if (!*s) return 2;
  int nl = 0, sq = 0, dq = 0, other = 0;
  Rune r;
  for (int i = 0; n < 0 ? s[i] != 0 : i < n;) {
    ++*runes;
    switch (qtype[static_cast<unsigned char>(s[i])]) {
      case 0:
        ++other;
        break;
      case '\n':
        ++nl;
        break;
      case '\'':
        ++sq;
        break;
      case '"':
        ++dq;
        break;
      case 3:
        i += chartorune(&r, s + i);
        continue;
    }
    ++i;
  }
  if (nl + sq + dq + other) {
    if (sq <= dq) return 2 + nl + sq;
    *quote = '"';
    return 2 + nl + dq;
  }
  return bare_needs_quotes(s) ? 2 : 0;
}

int qkind(const char* s, int n, int* quote, int* width) {
  int q, runes;
  int added = quote_cost(s, n, &q, &runes);
  if (!added) return 0;
  *quote = q;
  *width -= added;
  return 1;
}

int qutflen(const char* s) {
  int q, runes;
  int added = quote_cost(s, -1, &q, &runes);
  return runes + added;
}

}  // namespace vexo
