// %q and %Q: texts print so that the language's reader takes them back.
#include "support/quote.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "support/format.h"
#include "support/utf8.h"

namespace vexo {
namespace {

std::string fmt(const char* f, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, f);
  int n = Vsnprintf(buf, sizeof buf, f, ap);
  va_end(ap);
  EXPECT_LT(n, static_cast<int>(sizeof buf));
  return std::string(buf, static_cast<size_t>(n));
}

struct QCase {
  const char* in;
  const char* want;
};

// What %q prints, and (checked alongside) that qutflen predicts its length
// in characters.
const QCase q_cases[] = {
    {"abc", "abc"},
    {"x_1.a+b-c", "x_1.a+b-c"},
    {"caf\xC3\xA9", "caf\xC3\xA9"},  // UTF-8 letters stay bare
    {"\342\202\25442", "\342\202\25442"},
    {"", "''"},
    {"12", "'12'"},
    {"-2.5", "'-2.5'"},
    {"Infinity", "'Infinity'"},
    {"NaN", "'NaN'"},
    {"1e5", "'1e5'"},
    {"1d5", "'1d5'"},
    {"0x1p3", "'0x1p3'"},
    {"inf", "inf"},
    {"1.5.3", "1.5.3"},
    {"12abc", "12abc"},
    {".", "'.'"},
    {"..", ".."},
    {"+", "+"},
    {"-", "-"},
    {"_", "_"},
    {"a b", "'a b'"},
    {"a*b", "'a*b'"},
    {"tab\there", "'tab\there'"},
    {"it's", "\"it's\""},
    {"\"hi\"", "'\"hi\"'"},
    {"a'b\"c", "'a''b\"c'"},       // equal counts: single, doubled
    {"a'b'c\"", "\"a'b'c\"\"\""},  // more single: double, doubled
    {"a\nb", "'a\\\nb'"},
    {"x\n'y'\n\"", "\"x\\\n'y'\\\n\"\"\""},
    {"a\200b", "a\200b"},  // a stray byte is passed
};

TEST(Quote, PercentQQuotesOnlyWhenNeeded) {
  for (const auto& c : q_cases) {
    SCOPED_TRACE(c.in);
    std::string out = fmt("%q", c.in);
    EXPECT_EQ(out, c.want);
    EXPECT_EQ(qutflen(c.in), utflen(out.c_str()));
  }
  EXPECT_EQ(fmt("%q", static_cast<const char*>(nullptr)), "'<NULL>'");
}

TEST(Quote, PercentBigQAlwaysQuotesKeepingTheChoice) {
  EXPECT_EQ(fmt("%Q", "abc"), "'abc'");
  EXPECT_EQ(fmt("%Q", ""), "''");
  EXPECT_EQ(fmt("%Q", "12"), "'12'");
  EXPECT_EQ(fmt("%Q", "it's"), "\"it's\"");
  EXPECT_EQ(fmt("%Q", "a\nb"), "'a\\\nb'");
  EXPECT_EQ(fmt("%Q", static_cast<const char*>(nullptr)), "'<NULL>'");
}

TEST(Quote, WidthCountsBytesAndWhatQuotingAdds) {
  EXPECT_EQ(fmt("%6q|", "abc"), "   abc|");
  EXPECT_EQ(fmt("%6q|", "a b"), " 'a b'|");
  EXPECT_EQ(fmt("%-6Q|", "ab"), "'ab'  |");
  EXPECT_EQ(fmt("%-6q|", "ab"), "ab    |");
  EXPECT_EQ(fmt("%7q|", "it's"), " \"it's\"|");
  EXPECT_EQ(fmt("%-8q|", "a\nb"), "'a\\\nb'  |");
  EXPECT_EQ(fmt("%8q|", "a'b\"c"), "'a''b\"c'|");
  EXPECT_EQ(fmt("%4q|", ""), "  ''|");
  EXPECT_EQ(fmt("%*q|", -4, "x"), "x   |");
  // The engine counts bytes: two bytes of one character take two columns.
  EXPECT_EQ(fmt("%4q|", "\xC3\xA9"), "  \xC3\xA9|");
}

TEST(Quote, PrecisionLimitsBytesButNumberTestSeesWholeText) {
  EXPECT_EQ(fmt("%.3q", "abcdef"), "abc");
  EXPECT_EQ(fmt("%.2q", "a bc"), "'a '");
  EXPECT_EQ(fmt("%.2q", "ab cd"), "ab");
  EXPECT_EQ(fmt("%.1q", "12"), "'1'");
  EXPECT_EQ(fmt("%.1q", "1x"), "1");
  EXPECT_EQ(fmt("%.0q", "abc"), "");
  // A character cut by the precision is skipped whole by the scan; only the
  // bytes within the precision are written.
  EXPECT_EQ(fmt("%.2q", "a\xC3\xA9"), "a\xC3");
  EXPECT_EQ(fmt("%.2Q", "a\xC3\xA9"), "'a\xC3'");
}

TEST(Quote, QutflenCountsCharacters) {
  EXPECT_EQ(qutflen("."), 3);
  EXPECT_EQ(qutflen(""), 2);
  EXPECT_EQ(qutflen("it's"), 6);
  EXPECT_EQ(qutflen("abc"), 3);
  EXPECT_EQ(qutflen("caf\xC3\xA9"), 4);
  EXPECT_EQ(qutflen("caf\xC3\xA9 x"), 8);
  EXPECT_EQ(qutflen("'\""), 5);
}

TEST(Quote, QkindReportsQuoteAndWidth) {
  int q = 0, w = 10;
  EXPECT_EQ(qkind("abc", 3, &q, &w), 0);
  EXPECT_EQ(q, 0);
  EXPECT_EQ(w, 10);
  EXPECT_EQ(qkind("a\"b\n", 4, &q, &w), 1);
  EXPECT_EQ(q, '\'');
  EXPECT_EQ(w, 10 - 2 - 1);  // two quotes and a backslash
  q = '\'';
  w = 0;
  EXPECT_EQ(qkind("it's", 4, &q, &w), 1);
  EXPECT_EQ(q, '"');
  EXPECT_EQ(w, -2);
}

TEST(Quote, ClassTable) {
  qt_init();
  auto cls = [](char c) { return qtype[static_cast<unsigned char>(c)]; };
  EXPECT_EQ(cls('A'), 1);
  EXPECT_EQ(cls('z'), 1);
  EXPECT_EQ(cls('7'), 2);
  EXPECT_EQ(qtype[0xC3], 3);
  EXPECT_EQ(cls('\n'), '\n');
  EXPECT_EQ(cls('_'), '_');
  EXPECT_EQ(cls(' '), 0);
  EXPECT_EQ(cls('<'), 0);
  EXPECT_EQ(qtype[0], 0);
}

}  // namespace
}  // namespace vexo
