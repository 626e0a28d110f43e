// UTF-8 decoding, encoding and character counts.
#include "support/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace vexo {
namespace {

struct DecodeCase {
  const char* what;
  std::string bytes;
  Rune rune;
  int len;
};

TEST(Utf8, ChartoruneDecodesValidAndRejectsInvalid) {
  const DecodeCase cases[] = {
      {"ascii", "A", 'A', 1},
      {"two bytes", "\xC3\xA9", 0xE9, 2},
      {"three bytes", "\xE2\x82\xAC", 0x20AC, 3},
      {"largest three", "\xEF\xBF\xBF", 0xFFFF, 3},
      {"smallest two", "\xC2\x80", 0x80, 2},
      {"smallest three", "\xE0\xA0\x80", 0x800, 3},
      {"surrogate passes", "\xED\xA0\x80", 0xD800, 3},
      {"overlong two", "\xC0\x80", Runeerror, 1},
      {"overlong two C1", "\xC1\xBF", Runeerror, 1},
      {"overlong three", "\xE0\x9F\xBF", Runeerror, 1},
      {"four bytes", "\xF0\x9F\x98\x80", Runeerror, 1},
      {"lone continuation", "\x80", Runeerror, 1},
      {"lead then NUL", "\xC3", Runeerror, 1},
      {"three cut by NUL", "\xE2\x82", Runeerror, 1},
      {"lead then ascii", "\303A", Runeerror, 1},
      {"three, bad third", "\342\202A", Runeerror, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rune r = 0;
    EXPECT_EQ(chartorune(&r, c.bytes.c_str()), c.len);
    EXPECT_EQ(r, c.rune);
  }
}

TEST(Utf8, RunetocharEncodesAndRoundTripsEveryRune) {
  char b[4];
  Rune r = 0x41;
  EXPECT_EQ(runetochar(b, &r), 1);
  EXPECT_EQ(b[0], 'A');
  r = 0xE9;
  ASSERT_EQ(runetochar(b, &r), 2);
  EXPECT_EQ(std::string(b, 2), "\xC3\xA9");
  r = 0x20AC;
  ASSERT_EQ(runetochar(b, &r), 3);
  EXPECT_EQ(std::string(b, 3), "\xE2\x82\xAC");

  // Every nonzero rune decodes back to itself from its own encoding.
  for (unsigned v = 1; v <= 0xFFFF; ++v) {
    Rune in = static_cast<Rune>(v), out = 0;
    char s[4] = {};
    int n = runetochar(s, &in);
    int expect = v < 0x80 ? 1 : v < 0x800 ? 2 : 3;
    ASSERT_EQ(n, expect) << v;
    ASSERT_EQ(chartorune(&out, s), n) << v;
    ASSERT_EQ(out, in) << v;
  }
}

TEST(Utf8, UtflenCountsCharactersAndUtflen2Bytes) {
  EXPECT_EQ(utflen(""), 0);
  EXPECT_EQ(utflen("abc"), 3);
  EXPECT_EQ(utflen("a\303\251b"), 3);
  EXPECT_EQ(utflen("\xE2\x82\xAC\xE2\x82\xAC"), 2);
  EXPECT_EQ(utflen("\xF0\x9F\x98\x80"), 4);  // not decoded: one per byte
  EXPECT_EQ(utflen("x\xC3"), 2);             // cut at the end
  size_t nb = 99;
  EXPECT_EQ(utflen2("a\303\251b", &nb), 3);
  EXPECT_EQ(nb, 4u);
  EXPECT_EQ(utflen2("", &nb), 0);
  EXPECT_EQ(nb, 0u);
  EXPECT_EQ(utflen2("\xC3\xA9\xE2\x82\xAC\x80z", &nb), 4);
  EXPECT_EQ(nb, 7u);
}

}  // namespace
}  // namespace vexo
