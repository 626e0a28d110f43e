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

int qkind(const char* s, int n, int* quote, int* width) {
  qt_ready();
  if (!*s) {
    *quote = '\'';
    *width -= 2;
    return 1;
  }
  int nl = 0, sq = 0, dq = 0, other = 0;
  Rune r;
  for (int i = 0; i < n;) {
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
    if (sq <= dq) {
      *quote = '\'';
      *width -= 2 + nl + sq;
    } else {
      *quote = '"';
      *width -= 2 + nl + dq;
    }
    return 1;
  }
  if (bare_needs_quotes(s)) {
    *quote = '\'';
    *width -= 2;
    return 1;
  }
  return 0;
}

int qutflen(const char* s) {
  qt_ready();
  int runes = 0, nl = 0, sq = 0, dq = 0, other = 0;
  Rune r;
  for (const char* p = s; *p;) {
    auto c = static_cast<unsigned char>(*p);
    ++runes;
    if (c >= 0x80) {
      p += chartorune(&r, p);
      continue;
    }
    switch (qtype[c]) {
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
    }
    ++p;
  }
  if (nl + sq + dq + other) return runes + 2 + nl + (sq <= dq ? sq : dq);
  if (!*s) return 2;
  return bare_needs_quotes(s) ? runes + 2 : runes;
}

}  // namespace vexo
