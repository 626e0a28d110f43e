// The formatting engine through its entry points.
#include "support/format.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "session/cmdfiles.h"
#include "support/block.h"
#include "support/message.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo {
namespace {

// Formats through Vsnprintf: once with no buffer to learn the length, then
// into a buffer of exactly that length plus the NUL.
std::string fmt(const char* f, ...) {
  va_list ap, aq;
  va_start(ap, f);
  va_copy(aq, ap);
  int n = Vsnprintf(nullptr, 0, f, ap);
  va_end(ap);
  std::string s(static_cast<size_t>(n) + 2, '#');
  int m = Vsnprintf(s.data(), static_cast<size_t>(n) + 1, f, aq);
  va_end(aq);
  EXPECT_EQ(m, n);
  EXPECT_EQ(s[static_cast<size_t>(n)], '\0');
  EXPECT_EQ(s[static_cast<size_t>(n) + 1], '#');
  s.resize(static_cast<size_t>(n));
  return s;
}

const double inf = std::numeric_limits<double>::infinity();
const double nan_ = std::numeric_limits<double>::quiet_NaN();

TEST(Format, DirectivesWithoutArguments) {
  EXPECT_EQ(fmt("plain"), "plain");
  EXPECT_EQ(fmt("%5%"), "%");
  EXPECT_EQ(fmt("%-05%|"), "%|");
  EXPECT_EQ(fmt("%y%d", 7), "%y7");  // %y takes no argument
  EXPECT_EQ(fmt("%5y"), "%5y");
  EXPECT_EQ(fmt("%-#.3Ly"), "%-#.3Ly");
  EXPECT_EQ(fmt("abc%"), "abc%");
  EXPECT_EQ(fmt("abc%-5"), "abc%-5");
  EXPECT_EQ(fmt(""), "");
}

TEST(Format, Strings) {
  const char* nul = nullptr;
  EXPECT_EQ(fmt("%s", nul), "<NULL>");
  EXPECT_EQ(fmt("%.3s", "abcdef"), "abc");
  EXPECT_EQ(fmt("%.10s", "abc"), "abc");
  EXPECT_EQ(fmt("%-6s|", "ab"), "ab    |");
  EXPECT_EQ(fmt("%6s|", "ab"), "    ab|");
  EXPECT_EQ(fmt("%06s|", "ab"), "    ab|");  // strings pad with spaces
  EXPECT_EQ(fmt("%*.*s|", 5, 2, "abc"), "   ab|");
  EXPECT_EQ(fmt("%.*s|", -1, "abc"), "|");  // a negative precision takes none
  EXPECT_EQ(fmt("%ls", "abc"), "abc");
  EXPECT_EQ(fmt("%c%c", 'o', 'k'), "ok");
  EXPECT_EQ(fmt("%3c|%-3c|", 'a', 'b'), "  a|b  |");
  EXPECT_EQ(fmt("%.0c", 'x'), "x");  // precision ignored
  // A NUL byte from %c is output like any other byte.
  char buf[8];
  EXPECT_EQ(Snprintf(buf, sizeof buf, "a%cb", 0), 3);
  EXPECT_EQ(std::memcmp(buf, "a\0b", 4), 0);
}

struct IntCase {
  const char* f;
  int v;
  const char* want;
};

TEST(Format, Integers) {
  const IntCase cases[] = {
      {"%d", 0, "0"},
      {"%d", -42, "-42"},
      {"%i", 42, "42"},
      {"%05d", -42, "-0042"},
      {"%5d|", 42, "   42|"},
      {"%-5d|", 42, "42   |"},
      {"%-05d|", 42, "42   |"},
      {"%.3d", 7, "007"},
      {"%.3d", -7, "-007"},
      {"%.0d", 0, "0"},
      {"%08.3d", 42, "     042"},  // a precision cancels zero padding
      {"%+d", 5, "+5"},
      {"% d", 5, " 5"},
      {"% +d", 5, "+5"},  // the later sign flag wins
      {"%+ d", 5, " 5"},
      {"%+05d", 3, "+0003"},
      {"%+d", -5, "-5"},
      {"%d", INT32_MIN, "-2147483648"},
      {"%u", -1, "4294967295"},
      {"%+u", 5, "5"},
      {"%x", 255, "ff"},
      {"%X", 255, "FF"},
      {"%#x", 255, "0xff"},
      {"%#X", 255, "0XFF"},
      {"%#x", 0, "0"},
      {"%#.3x", 0, "000"},
      {"%#08x", 255, "0x0000ff"},
      {"%#8x|", 255, "    0xff|"},
      {"%+x", 255, "ff"},
      {"%o", 8, "10"},
      {"%#o", 8, "010"},
      {"%#.3o", 8, "010"},
      {"%#o", 0, "0"},
      {"%hd", 65535, "-1"},
      {"%hu", -1, "65535"},
      {"%hhd", 65535, "-1"},
      {"%hx", 0x12345, "2345"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.f);
    EXPECT_EQ(fmt(c.f, c.v), c.want);
  }
  EXPECT_EQ(fmt("%*d", -5, 42), "42   ");
  EXPECT_EQ(fmt("%*d|", 4, 42), "  42|");
  EXPECT_EQ(fmt("%.*d", 4, 42), "0042");
  EXPECT_EQ(fmt("%ld", INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(fmt("%lld", INT64_MAX), "9223372036854775807");
  EXPECT_EQ(fmt("%lu", UINT64_MAX), "18446744073709551615");
  EXPECT_EQ(fmt("%lx", UINT64_MAX), "ffffffffffffffff");
  EXPECT_EQ(fmt("%zu", size_t{1} << 40), "1099511627776");
  EXPECT_EQ(fmt("%d %s %d", 1, "two", 3), "1 two 3");
  EXPECT_EQ(fmt("%.5000d", -7), "-" + std::string(4999, '0') + "7");
}

TEST(Format, Pointers) {
  EXPECT_EQ(fmt("%p", static_cast<void*>(nullptr)), "0");
  EXPECT_EQ(fmt("%p", reinterpret_cast<void*>(0xABCDEF12345)), "0xabcdef12345");
  EXPECT_EQ(fmt("%8p|", reinterpret_cast<void*>(0x1F)), "    0x1f|");
  EXPECT_EQ(fmt("%-6p|", reinterpret_cast<void*>(0x1F)), "0x1f  |");
}

TEST(Format, CountOfCharactersSoFar) {
  int n32 = -1;
  short n16 = -1;
  long long n64 = -1;
  EXPECT_EQ(fmt("abc%n%hnde%lnf", &n32, &n16, &n64), "abcdef");
  EXPECT_EQ(n32, 3);
  EXPECT_EQ(n16, 3);
  EXPECT_EQ(n64, 5);
  EXPECT_EQ(fmt("ab%nc", static_cast<int*>(nullptr)), "abc");
  // The count includes what earlier flushes took.
  std::string big(5000, 'x');
  char small[8];
  int at = 0;
  EXPECT_EQ(Snprintf(small, sizeof small, "%s%n!", big.c_str(), &at), 5001);
  EXPECT_EQ(at, 5000);
}

struct FloatCase {
  const char* f;
  double v;
  const char* want;
};

TEST(Format, FloatingPoint) {
  const FloatCase cases[] = {
      // Shortest form: fixed unless the exponent form is shorter.
      {"%.0g", 0.1, "0.1"},
      {"%.0g", 100000, "1e+05"},
      {"%.0g", 10000, "10000"},
      {"%.0g", 1234567, "1234567"},
      {"%.0g", 0.0001, "0.0001"},
      {"%.0g", 0.00001, "1e-05"},
      {"%.0g", 1.5e6, "1500000"},
      {"%.0g", 1.5e7, "1.5e+07"},
      {"%.0g", 0, "0"},
      {"%.0g", -2.5, "-2.5"},
      {"%.0g", 1e300, "1e+300"},
      {"%.0g", 5e-324, "5e-324"},
      {"%.0g", 0.30000000000000004, "0.30000000000000004"},
      {"%.g", 1.0 / 3, "0.3333333333333333"},
      {"%#.0g", 100000, "100000."},
      {"%#.0g", 1000000, "1.e+06"},
      {"%.0G", 1e-10, "1E-10"},
      // %g with a precision.
      {"%g", 100000, "100000"},
      {"%g", 1000000, "1e+06"},
      {"%g", 0.0001, "0.0001"},
      {"%g", 0.00001, "1e-05"},
      {"%g", 0, "0"},
      {"%g", 123456789, "1.23457e+08"},
      {"%g", 9.9999996, "10"},
      {"%.3g", 1234, "1.23e+03"},
      {"%.10g", 0.1, "0.1"},
      {"%#g", 1, "1.00000"},
      {"%#g", 0, "0.00000"},
      {"%#.3g", 1e-5, "1.00e-05"},
      {"%G", 1e-10, "1E-10"},
      {"%8.3g|", 3.14159, "    3.14|"},
      // Exponent form.
      {"%e", 0, "0.000000e+00"},
      {"%e", 1234.5, "1.234500e+03"},
      {"%E", 1e100, "1.000000E+100"},
      {"%e", 5e-324, "4.940656e-324"},
      {"%.0e", 15, "2e+01"},
      {"%.0e", 25, "2e+01"},
      {"%#.0e", 3, "3.e+00"},
      {"%+.2e", 1, "+1.00e+00"},
      {"%012.3e", -1, "-001.000e+00"},
      // Fixed form.
      {"%f", 0, "0.000000"},
      {"%f", -0.0, "0.000000"},
      {"%+f", -0.0, "-0.000000"},
      {"% f", -0.0, "-0.000000"},
      {"%+f", 0.0, "+0.000000"},
      {"%.3f", -0.0004, "-0.000"},
      {"%.2f", 2.675, "2.67"},
      {"%.0f", 0.5, "0"},
      {"%.0f", 1.5, "2"},
      {"%.0f", 2.5, "2"},
      {"%#.0f", 1, "1."},
      {"%.3f", 999.9996, "1000.000"},
      {"%010.3f", -3.14159, "-00003.142"},
      {"%-9.2f|", 3.14159, "3.14     |"},
      {"%f", 1e15, "1000000000000000.000000"},
      {"%.1f", 0.05, "0.1"},
      // Infinities and NaN.
      {"%e", inf, "Infinity"},
      {"%e", -inf, "-Infinity"},
      {"%f", inf, "Infinity"},
      {"%.0g", -inf, "-Infinity"},
      {"%+f", inf, "+Infinity"},
      {"%10f|", inf, "  Infinity|"},
      {"%-10f|", -inf, "-Infinity |"},
      {"%010f|", -inf, " -Infinity|"},
      {"%8f", nan_, "     NaN"},
      {"%-8e|", nan_, "NaN     |"},
      {"%+f", nan_, "NaN"},
      {"%.1f", nan_, "NaN"},
      {"%08g", -nan_, "     NaN"},
      {"%a", inf, "Infinity"},
      {"%A", -inf, "-Infinity"},
      {"%a", nan_, "NaN"},
      // Hexadecimal floating point.
      {"%a", 1, "0x1p+0"},
      {"%a", 0.5, "0x1p-1"},
      {"%a", 0, "0x0p+0"},
      {"%a", -0.0, "0x0p+0"},
      {"%+a", -0.0, "-0x0p+0"},
      {"%a", -2, "-0x1p+1"},
      {"%a", 0.1, "0x1.999999999999ap-4"},
      {"%A", 255.5, "0X1.FFP+7"},
      {"%a", DBL_MAX, "0x1.fffffffffffffp+1023"},
      {"%a", DBL_MIN, "0x1p-1022"},
      {"%a", 5e-324, "0x1p-1074"},
      {"%a", 3 * 5e-324, "0x1.8p-1073"},
      {"%a", DBL_MIN / 2 + 5e-324, "0x1.0000000000002p-1023"},
      {"%.1a", 1.03125, "0x1.0p+0"},  // exactly half, even digit kept
      {"%.1a", 1.09375, "0x1.2p+0"},  // exactly half, odd digit rounds up
      {"%.1a", 1.0625 + 1.0 / 1024, "0x1.1p+0"},
      {"%.1a", 1.96875, "0x1.0p+1"},  // carry out of the fraction
      {"%.0a", 1.5, "0x1p+1"},
      {"%.0a", 1.25, "0x1p+0"},
      {"%.2a", 0, "0x0.00p+0"},
      {"%.3a", 1, "0x1.000p+0"},
      {"%.20a", 1, "0x1.0000000000000p+0"},
      {"%.13a", 0.1, "0x1.999999999999ap-4"},
      {"%.12a", 0.1, "0x1.99999999999ap-4"},
      {"%#a", 1, "0x1.p+0"},
      {"%10a|", 1, "    0x1p+0|"},
      {"%010a", 1, "0x00001p+0"},
      {"%-10a|", -1, "-0x1p+0   |"},
      {"%+a", 1, "+0x1p+0"},
      {"% a", 1, " 0x1p+0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.f);
    SCOPED_TRACE(c.v);
    EXPECT_EQ(fmt(c.f, c.v), c.want);
  }
}

TEST(Format, OutOfRangePrecisions) {
  // %f: a negative precision counts as none (six places), as in C, rather
  // than the 415 places that a precision above 416 gets.
  EXPECT_EQ(fmt("%.*f", -1, 1.5), "1.500000");
  EXPECT_EQ(fmt("%.-2f", 1.5), "1.500000");
  // %e: a negative precision counts as 0; %g: it asks for the shortest.
  EXPECT_EQ(fmt("%.*e", -3, 1.5), "2e+00");
  EXPECT_EQ(fmt("%.*g", -1, 0.1), "0.1");
  // %a: a negative precision counts as none (exact digits).
  EXPECT_EQ(fmt("%.*a", -1, 1.5), "0x1.8p+0");
  // %e and %f keep 416 places; above that they count as 415.  %g counts
  // anything above 415 as 415.
  EXPECT_EQ(fmt("%.415f", 0.5).size(), 417u);
  EXPECT_EQ(fmt("%.416f", 0.5).size(), 418u);
  EXPECT_EQ(fmt("%.417f", 0.5), fmt("%.415f", 0.5));
  EXPECT_EQ(fmt("%.1000f", 0.5), fmt("%.415f", 0.5));
  EXPECT_EQ(fmt("%.416e", 0.1).size(), 2u + 416u + 4u);
  EXPECT_EQ(fmt("%.1000e", 0.1), fmt("%.415e", 0.1));
  EXPECT_EQ(fmt("%.416g", 0.1), fmt("%.415g", 0.1));
  EXPECT_EQ(fmt("%.1000g", 0.1), fmt("%.415g", 0.1));
  EXPECT_EQ(fmt("%.416f", -1.7976931348623157e308).size(), 1u + 309 + 1 + 416);
}

TEST(Format, HugeAndLongDecimalsAreExact) {
  EXPECT_EQ(fmt("%.0f", 1e308),
            "100000000000000001097906362944045541740492309677311846336810682"
            "903157585404911491537163328978494688899061249669721172515611590"
            "283743140088328307009198146046031271664502933027185697489699588"
            "559043338384466165001178426897626212945177628091195786707458122"
            "783970171784415105291802893207873272974885715430223118336");
  EXPECT_EQ(
      fmt("%f", -DBL_MAX),
      "-17976931348623157081452742373170435679807056752584499659891747"
      "680315726078002853876058955863276687817154045895351438246423432"
      "132688946418276846754670353751698604991057655128207624549009038"
      "932894407586850845513394230458323690322294816580855933212334827"
      "4797826204144723168738177180919299881250404026184124858368.000000");
  // Long expansions are cut only by the precision.
  std::string tiny = fmt("%.415f", DBL_MIN);
  ASSERT_EQ(tiny.size(), 417u);
  EXPECT_EQ(tiny.substr(0, 2), "0.");
  EXPECT_EQ(tiny.find_first_not_of('0', 2), 309u);  // 307 zeros, then 2225
  EXPECT_EQ(tiny.substr(309, 4), "2225");
  std::string e = fmt("%.415e", 0.1);
  ASSERT_EQ(e.size(), 2u + 415u + 4u);
  EXPECT_EQ(e.substr(0, 56),
            "1.000000000000000055511151231257827021181583404541015625");
  EXPECT_EQ(e.find_first_not_of('0', 56), 417u);
  EXPECT_EQ(e.substr(417), "e-01");
}

// The engine agrees with the C library's correctly rounded conversions
// wherever the two define the same output.
TEST(Format, AgreesWithCorrectRoundingOnManyValues) {
  const char* fmts[] = {"%.1e",  "%.6e", "%.17e", "%.30e", "%.2f", "%f",
                        "%.20f", "%.1g", "%g",    "%.17g", "%#.8g"};
  uint64_t state = 88172645463325252u;
  char want[2048];
  for (int i = 0; i < 3000; ++i) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    double d;
    if (i % 3 == 0) {
      uint64_t bits = state & ~(uint64_t{0x7FF} << 52);
      bits |= uint64_t{(state >> 52) % 2046 + 1} << 52;  // finite, nonzero
      std::memcpy(&d, &bits, sizeof d);
    } else {
      // Values of ordinary size, often with ties in short decimals.
      d = static_cast<double>(static_cast<int64_t>(state % 2000001) - 1000000) /
          static_cast<double>(uint64_t{1} << (state >> 59));
    }
    if (d == 0) continue;
    for (const char* f : fmts) {
      std::snprintf(want, sizeof want, f, d);
      ASSERT_EQ(fmt(f, d), want) << f << " of " << d;
    }
  }
}

TEST(Format, SnprintfBoundsAndLength) {
  char buf[16];
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(Snprintf(buf, 5, "%s", "abcdefgh"), 8);
  EXPECT_STREQ(buf, "abcd");
  EXPECT_EQ(buf[5], '#');

  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(Snprintf(buf, 0, "abc"), 3);
  EXPECT_EQ(buf[0], '#');
  EXPECT_EQ(Snprintf(nullptr, 10, "abc%d", 12), 5);
  EXPECT_EQ(Snprintf(buf, 1, "abc"), 3);
  EXPECT_EQ(buf[0], '\0');
  EXPECT_EQ(buf[1], '#');

  // Around and beyond the 4096-character staging area.
  std::string big;
  for (int i = 0; i < 10000; ++i) big += static_cast<char>('a' + i % 26);
  for (size_t n :
       {4095u, 4096u, 4097u, 8192u, 8193u, 9999u, 10000u, 10001u, 20000u}) {
    SCOPED_TRACE(n);
    std::string out(n + 1, '#');
    EXPECT_EQ(Snprintf(out.data(), n, "%s", big.c_str()), 10000);
    size_t kept = n - 1 < 10000 ? n - 1 : 10000;
    EXPECT_EQ(std::string(out.data()), big.substr(0, kept));
    EXPECT_EQ(out[n], '#');
  }
  // Output that ends exactly at a flush leaves no tail.
  for (size_t len : {4095u, 4096u, 4097u, 8192u}) {
    SCOPED_TRACE(len);
    std::string out(len + 2, '#');
    EXPECT_EQ(Snprintf(out.data(), len + 1, "%.*s", static_cast<int>(len),
                       big.c_str()),
              static_cast<int>(len));
    EXPECT_EQ(std::string(out.data()), big.substr(0, len));
    EXPECT_EQ(out[len + 1], '#');
  }
}

TEST(Format, SprintfIsUnbounded) {
  std::string big(9000, 'z');
  std::string out(9100, '#');
  EXPECT_EQ(Sprintf(out.data(), "<%s>%d", big.c_str(), 77), 9004);
  EXPECT_EQ(std::string(out.data()), "<" + big + ">77");
  char small[8];
  EXPECT_EQ(Sprintf(small, "%05.1f", 2.25), 5);
  EXPECT_STREQ(small, "002.2");
}

// Vsprintf through a variadic wrapper, as message code uses it.
int wrap_vsprintf(char* s, const char* f, ...) {
  va_list ap;
  va_start(ap, f);
  int n = Vsprintf(s, f, ap);
  va_end(ap);
  return n;
}

TEST(Format, VsprintfTakesAnArgumentList) {
  char buf[32];
  EXPECT_EQ(wrap_vsprintf(buf, "%s=%q", "k", "a b"), 7);
  EXPECT_STREQ(buf, "k='a b'");
}

TEST(Format, MprintfAppendsToAMessageString) {
  mstr* m = nullptr;
  EXPECT_EQ(mprintf(&m, "%s", ""), 0);
  ASSERT_NE(m, nullptr);  // created even for empty text
  EXPECT_STREQ(mstr_val(m), "");
  EXPECT_EQ(mprintf(&m, "x=%d", 5), 3);
  EXPECT_EQ(mprintf(&m, ", y=%q", "a b"), 9);
  EXPECT_STREQ(mstr_val(m), "x=5, y='a b'");
  std::string big(10000, 'q');
  EXPECT_EQ(mprintf(&m, "[%s]", big.c_str()), 10002);
  EXPECT_EQ(m->len, 12u + 10002u);
  EXPECT_EQ(std::string(mstr_val(m)), "x=5, y='a b'[" + big + "]");
  mstr_free(&m);
  EXPECT_EQ(m, nullptr);
}

// Holds an open log stream for one test and closes it afterwards.
struct LogFile {
  FILE* f = std::tmpfile();
  FILE* saved = log_file;
  LogFile() { log_file = f; }
  ~LogFile() {
    log_file = saved;
    std::fclose(f);
  }
  std::string text() {
    std::fflush(f);
    std::string s;
    std::rewind(f);
    char b[4096];
    size_t n;
    while ((n = std::fread(b, 1, sizeof b, f)) > 0) s.append(b, n);
    return s;
  }
};

TEST(Format, PrintfLongOutputInOrderAndOnTheLog) {
  std::string a, b;
  for (int i = 0; i < 9000; ++i) a += static_cast<char>('A' + i % 26);
  for (int i = 0; i < 5000; ++i) b += static_cast<char>('0' + i % 10);
  std::string want = a.substr(0, 6000) + "|42|" + b + "\n" + "err 7\n";
  LogFile log;
  int n = 0, m = 0, k = 0;
  FILE* other = std::tmpfile();
  auto r = test::run_captured([&] {
    n = Printf("%.6000s|%d|%s\n", a.c_str(), 42, b.c_str());
    Fprintf(Stderr, "err %d\n", 7);
    k = Fprintf(other, "elsewhere %s", "x");
  });
  EXPECT_EQ(n, 11005);
  EXPECT_EQ(r.out, a.substr(0, 6000) + "|42|" + b + "\n");
  EXPECT_EQ(r.err, "err 7\n");
  EXPECT_EQ(log.text(), want);  // the other stream is not logged
  // Pieces that end at or next to a flush point.
  r = test::run_captured([&] {
    for (int len : {4094, 4095, 4096, 8190}) Printf("%.*s", len, a.c_str());
  });
  EXPECT_EQ(r.out, a.substr(0, 4094) + a.substr(0, 4095) + a.substr(0, 4096) +
                       a.substr(0, 8190));
  EXPECT_EQ(k, 11);
  std::rewind(other);
  char buf[32] = {};
  m = static_cast<int>(std::fread(buf, 1, sizeof buf - 1, other));
  EXPECT_EQ(m, 11);
  EXPECT_STREQ(buf, "elsewhere x");
  std::fclose(other);
}

TEST(Format, BlockModeSendsStandardOutputIntoTheBlock) {
  LogFile log;
  int saved = blockmode;
  std::string big(5000, 'b');
  auto r = test::run_captured([&] {
    blockmode = 1;
    blockstart("fmt_test");
    Printf("hello %d\n", 5);
    Fprintf(Stderr, "%s.", big.c_str());
    blockstart("misc");
    blockmode = saved;
  });
  std::string body = "hello 5\n" + big + ".";
  EXPECT_EQ(r.out, std::to_string(9 + body.size()) + " fmt_test\n" + body);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(log.text(), body);
}

TEST(Format, PerrorWritesTheSystemText) {
  std::string why = std::strerror(ENOENT);
  auto r = test::run_captured([] {
    errno = ENOENT;
    Perror("open x");
    errno = ENOENT;
    Perror("");
    errno = ENOENT;
    Perror(nullptr);
  });
  EXPECT_EQ(r.err, "open x: " + why + "\n" + why + "\n" + why + "\n");
}

}  // namespace
}  // namespace vexo
