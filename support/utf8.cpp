// UTF-8 decoding and encoding of 16-bit characters.
#include "support/utf8.h"

namespace vexo {

int chartorune(Rune* r, const char* s) {
  auto b = reinterpret_cast<const unsigned char*>(s);
  unsigned c = b[0];
  if (c < 0x80) {
    *r = static_cast<Rune>(c);
    return 1;
  }
  unsigned c1 = b[1];
  if (c >= 0xC0 && (c1 & 0xC0) == 0x80) {
    if (c < 0xE0) {
      unsigned v = (c & 0x1F) << 6 | (c1 & 0x3F);
      if (v >= 0x80) {
        *r = static_cast<Rune>(v);
        return 2;
      }
    } else if (c < 0xF0) {
      unsigned c2 = b[2];
      if ((c2 & 0xC0) == 0x80) {
        unsigned v = (c & 0x0F) << 12 | (c1 & 0x3F) << 6 | (c2 & 0x3F);
        if (v >= 0x800) {
          *r = static_cast<Rune>(v);
          return 3;
        }
      }
    }
  }
  *r = Runeerror;
  return 1;
}

int runetochar(char* s, const Rune* r) {
  unsigned v = *r;
  if (v < 0x80) {
    s[0] = static_cast<char>(v);
    return 1;
  }
  if (v < 0x800) {
    s[0] = static_cast<char>(0xC0 | v >> 6);
    s[1] = static_cast<char>(0x80 | (v & 0x3F));
    return 2;
  }
  s[0] = static_cast<char>(0xE0 | v >> 12);
  s[1] = static_cast<char>(0x80 | (v >> 6 & 0x3F));
  s[2] = static_cast<char>(0x80 | (v & 0x3F));
  return 3;
}

// Counts characters and leaves *end at the terminating NUL.  Plain ASCII
// runs through the tight loop; decoding starts only at a byte >= 0x80.
static int count_runes(const char* s, const char** end) {
  int n = 0;
  Rune r;
  for (;;) {
    while (static_cast<unsigned char>(*s) - 1u < 0x7Fu) {
      ++s;
      ++n;
    }
    if (!*s) break;
    s += chartorune(&r, s);
    ++n;
  }
  *end = s;
  return n;
}

int utflen(const char* s) {
  const char* end;
  return count_runes(s, &end);
}

int utflen2(const char* s, size_t* nbytes) {
  const char* end;
  int n = count_runes(s, &end);
  *nbytes = static_cast<size_t>(end - s);
  return n;
}

}  // namespace vexo
