// The data-mode tokenizer.  Words are copied into tok as they are read, so
// that a word survives a refill of the line buffer or a change of source;
// runs of word characters are copied in one piece.
#include "data/datatok.h"

#include <cfenv>
#include <cstdint>
#include <cstring>

#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "session/include.h"
#include "support/message.h"
#include "support/scratch.h"
#include "support/strtod.h"
#include "support/text.h"

namespace vexo {

const unsigned char* Typeinit = tok_type;
int tokquote;
int toklen;
int last_tok;

// Set while the file name after "include" is read.
static int reading_include;

// Rounding to nearest was in force at the last tok_init.
static bool nearest;

void tok_init() {
  Typeinit = tok_type;
  nearest = fegetround() == FE_TONEAREST;
}

double tok_number() {
  static const double pow10[16] = {1e0,  1e1,  1e2,  1e3, 1e4,  1e5,
                                   1e6,  1e7,  1e8,  1e9, 1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15};
  const char* s = tok;
  bool neg = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  uint64_t m = 0;
  int nd = 0, frac = -1;
  for (;; ++s) {
    if (*s >= '0' && *s <= '9') {
      m = m * 10 + static_cast<unsigned>(*s - '0');
      ++nd;
      if (frac >= 0) ++frac;
    } else if (*s == '.' && frac < 0) {
      frac = 0;
    } else {
      break;
    }
  }
  if (*s || nd == 0 || nd > 15 || !nearest) return Strtod(tok, nullptr);
  double v = static_cast<double>(m);
  if (frac > 0) v /= pow10[frac];
  return neg ? -v : v;
}

// The next character, refilling with next0(arg); next0_inbuf tells whether
// it can be put back by stepping nextc back.
static inline int getch(int arg) {
  if (nextc < lastc) {
    next0_inbuf = 1;
    return static_cast<unsigned char>(*nextc++);
  }
  return next0(arg);
}

static inline void unget() {
  if (next0_inbuf) --nextc;
}

// A one-character token: its text in tok.
static int single(int c, int result) {
  tok[0] = static_cast<char>(c);
  tok[1] = 0;
  toklen = 1;
  tokquote = 0;
  return result;
}

// Appends n bytes to the token text at *p, growing tok as needed.
static void put_text(char** p, const char* s, size_t n) {
  while (*p + n >= tokend) *p = bump_tok_k(*p);
  std::memcpy(*p, s, n);
  *p += n;
}

// The rest of a word whose first character c has been read: characters of
// class 4 under table T (NUL bytes skipped).  Leaves its length in toklen.
static void word(int c, const unsigned char* T) {
  char* p = tok;
  char first = static_cast<char>(c);
  put_text(&p, &first, 1);
  for (;;) {
    char* s = nextc;
    while (s < lastc && T[static_cast<unsigned char>(*s)] == 4) ++s;
    put_text(&p, nextc, static_cast<size_t>(s - nextc));
    nextc = s;
    if (s < lastc) {
      if (*s) break;
      ++nextc;  // a NUL inside a word
      continue;
    }
    int ch = next0(0);
    if (!next0_inbuf) break;
    if (!ch) continue;
    if (T[ch] != 4) {
      --nextc;
      break;
    }
    char b = static_cast<char>(ch);
    put_text(&p, &b, 1);
  }
  *p = 0;
  toklen = static_cast<int>(p - tok);
}

// True when the character after the current one is a digit (without
// reading beyond the current line).
static bool digit_follows() {
  return nextc < lastc && *nextc >= '0' && *nextc <= '9';
}

// "include" in data: the file name that follows (a quoted string, or a word
// extended up to a blank, a control character or ";") is pushed as the new
// input.
static void include_file() {
  reading_include = 1;
  int t;
  try {
    t = token();
  } catch (...) {
    reading_include = 0;
    throw;
  }
  reading_include = 0;
  if (t == DT_SEMI) {
    include(tok, -1, 0);
    return;
  }
  if (t != DT_STRING) {
    char* p = tok + std::strlen(tok);
    for (;;) {
      int c = getch(0);
      if (c <= ' ' || c == ';') {
        if (c) unget();
        break;
      }
      char b = static_cast<char>(c);
      put_text(&p, &b, 1);
    }
    *p = 0;
  }
  include(tok, 0, 0);
}

int token() {
  int c, r;
  for (;;) {
    const unsigned char* T = Typeinit;
    tstart = nullptr;
    do c = getch(1);
    while (T[c] <= 1 && c != '#');
    if (c == '#') {
      comment_kind = '#';
      int n = 0;
      for (;;) {
        c = getch(10);
        if (c == '\n') break;
        if (n < static_cast<int>(sizeof ibuf) - 1)
          ibuf[n++] = static_cast<char>(c);
      }
      ibuf[n] = 0;
      comment_kind = 0;
      if (!doing_read_cmd) incl_check();
      continue;
    }
    fc0 = firstc;
    tstart = next0_inbuf ? nextc - 1 : nullptr;
    int k = T[c];
    if (T != tok_type && (k == 2 || k == 46 || (c >= '0' && c <= '9')) &&
        ((c >= '0' && c <= '9') || digit_follows())) {
      T = tok_type;  // a number keeps its sign and point
      k = 4;
    }
    switch (k) {
      case 3: {
        char* start = tstart;
        char* line = firstc;
        quoted(c);
        if (firstc == line) tstart = start;
        toklen = static_cast<int>(std::strlen(tok));
        tokquote = c;
        r = reading_include ? DT_STRING : DT_WORD;
        break;
      }
      case 4:
        word(c, T);
        tokquote = 0;
        if (toklen == 7 && !reading_include && !std::strcmp(tok, "include")) {
          include_file();
          continue;
        }
        r = valid_param(tok, 0) ? DT_NUMBER : DT_WORD;
        break;
      case 5:
      case 8:
        r = single(c, c);
        break;
      case 6: {
        int c2 = getch(2);
        if (c2 != '=') {
          unget();
          r = single(c, DT_COLON);
          break;
        }
        if (last_tok == DT_ASSIGN) {
          error(2, "Ignoring duplicate \":=\".");
          continue;
        }
        std::strcpy(tok, ":=");
        toklen = 2;
        tokquote = 0;
        r = DT_ASSIGN;
        break;
      }
      case 7: {
        int c2 = getch(2);
        if (c2 == '*') {
          eat_comment();
          continue;
        }
        unget();
        r = single(c, DT_SLASH);
        break;
      }
      default:
        r = single(c, k);
        break;
    }
    break;
  }
  prompt2 = 1;
  last_tok = r;
  return r;
}

}  // namespace vexo
