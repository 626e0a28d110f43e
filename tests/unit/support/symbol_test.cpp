#include "support/symbol.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "support/gfmt.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo {
namespace {

// Fresh, empty tables for every test (the old ones are simply abandoned).
class Symbols : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_reset();
    symbol_reset();
  }
};

using test::bits_of;

// True when s is linked in t's bucket chain for it.
bool in_table(const symtab& t, const symbol* s) {
  for (uint32_t i = 0; i <= t.mask; ++i)
    for (symbol* p = t.buckets[i]; p; p = p->next)
      if (p == s) return true;
  return false;
}

TEST_F(Symbols, ZeroSmallIntegersAndTheNumberTable) {
  symbol* z = Number(-0.0);
  EXPECT_EQ(z, Number(0.0));
  EXPECT_STREQ(z->name, "0");
  EXPECT_EQ(bits_of(z->value), bits_of(0.0));  // +0, even when -0 came first
  EXPECT_TRUE(is_number(z));
  EXPECT_EQ(bound_kind(z->binding), 1u);

  EXPECT_EQ(Number(-1000), small_ints[0]);
  EXPECT_EQ(Number(2999), small_ints[3999]);
  EXPECT_STREQ(Number(-1000)->name, "-1000");
  EXPECT_STREQ(Number(2999)->name, "2999");
  EXPECT_EQ(numhash.count, 0u);  // small integers never enter numhash

  symbol* big = Number(3000);
  symbol* neg = Number(-1001);
  symbol* half = Number(2.5);
  EXPECT_EQ(numhash.count, 3u);
  for (symbol* s : {big, neg, half}) {
    EXPECT_TRUE(in_table(numhash, s));
    EXPECT_TRUE(is_number(s));
  }
  EXPECT_STREQ(big->name, "3000");
  EXPECT_STREQ(neg->name, "-1001");
  EXPECT_STREQ(half->name, "2.5");
  EXPECT_EQ(Number(3000), big);
  EXPECT_EQ(Number(2.5), half);
  EXPECT_EQ(numhash.count, 3u);
  EXPECT_EQ(Number(-999.5), Number(-999.5));
  EXPECT_STREQ(Number(-999.5)->name, "-999.5");
}

// Integers get their names without the general formatter where plain
// notation is the shortest; every name, whichever way it was made, is the
// formatter's text: trailing zeros (exponent form), both signs, the edges
// of exact integers, and a precision set on the command line.
TEST_F(Symbols, IntegerNamesAreTheFormattersText) {
  std::vector<double> xs = {3001, -1001, 123456, 1000000, 1200000,
                            3000000, 99999999, 100000001, 4503599627370497.,
                            9007199254740991., 9007199254740992.,
                            -9007199254740991., 1e22, 12345678901234567e3};
  for (double x = 3001; x < 1e16; x = x * 7 + 3) {
    xs.push_back(x);
    xs.push_back(-x);
    xs.push_back(std::trunc(x / 10) * 10);
  }
  char want[64];
  for (int prec : {0, 3}) {
    symbol_reset();
    set_numsym_prec(prec);
    for (double x : xs) {
      g_fmt(want, x, prec);
      EXPECT_STREQ(Number(x)->name, want) << x << " prec " << prec;
    }
  }
  set_numsym_prec(0);
}

TEST_F(Symbols, EveryNaNIsOneSymbolAndInfinitiesAreTwo) {
  const uint64_t nans[] = {0x7ff8000000000000, 0xfff8000000000000,
                           0x7ff0000000000001, 0xfff4000000000abc,
                           0x7fffffffffffffff};
  symbol* n0 = Number(std::bit_cast<double>(nans[0]));
  for (uint64_t b : nans) EXPECT_EQ(Number(std::bit_cast<double>(b)), n0);
  EXPECT_STREQ(n0->name, "NaN");
  EXPECT_EQ(bits_of(n0->value), bits_of(qNaN));
  EXPECT_EQ(bits_of(qNaN), 0xfff8000000000000u);
  EXPECT_EQ(*pNumber(std::bit_cast<double>(nans[3])), n0);

  double inf = std::numeric_limits<double>::infinity();
  symbol* pi = Number(inf);
  symbol* ni = Number(-inf);
  EXPECT_NE(pi, ni);
  EXPECT_STREQ(pi->name, "Infinity");
  EXPECT_STREQ(ni->name, "-Infinity");
  EXPECT_EQ(numhash.count, 3u);
}

TEST_F(Symbols, NamesAreCopiedOnlyWhenAskedAndOnlyOnce) {
  static const char kept[] = "kept_name";
  symbol* s = Symbol(kept, 0);
  EXPECT_EQ(s->name, kept);
  EXPECT_EQ(s->binding, nullptr);
  EXPECT_EQ(Symbol("kept_name", 1), s);  // found: nothing copied

  char buf[] = "copied";
  symbol* c = Symbol(buf, 1);
  EXPECT_NE(c->name, buf);
  EXPECT_STREQ(c->name, "copied");
  std::strcpy(buf, "other!");
  EXPECT_EQ(Symbol0("copied"), c);

  uint32_t n = symhash.count;
  EXPECT_EQ(Symbol0("never_seen"), nullptr);
  EXPECT_EQ(symhash.count, n);
  EXPECT_EQ(Symbol0("never_seen"), nullptr);
}

// The order of the chain entries of t, as (symbol -> (bucket, position)).
std::map<symbol*, std::pair<uint32_t, int>> chain_positions(const symtab& t) {
  std::map<symbol*, std::pair<uint32_t, int>> m;
  for (uint32_t i = 0; i <= t.mask; ++i) {
    int k = 0;
    for (symbol* p = t.buckets[i]; p; p = p->next) m[p] = {i, k++};
  }
  return m;
}

// Entries that share a bucket after growth keep their old relative order.
void expect_order_kept(const symtab& t,
                       std::map<symbol*, std::pair<uint32_t, int>>& before) {
  for (uint32_t i = 0; i <= t.mask; ++i) {
    symbol* prev = nullptr;
    for (symbol* p = t.buckets[i]; p; prev = p, p = p->next) {
      if (!prev || !before.count(prev) || !before.count(p)) continue;
      ASSERT_EQ(before[prev].first, before[p].first);
      EXPECT_LT(before[prev].second, before[p].second);
    }
  }
}

TEST_F(Symbols, NameTableGrowsAndKeepsEverySymbol) {
  std::vector<std::string> names;
  std::vector<symbol*> syms;
  for (int i = 0; i < 20000; ++i) names.push_back("n" + std::to_string(i));
  for (int i = 0; i < 8191; ++i) syms.push_back(Symbol(names[i].c_str(), 1));
  EXPECT_EQ(symhash.k, 13);
  EXPECT_EQ(symhash.mask, 8191u);
  auto before = chain_positions(symhash);
  syms.push_back(Symbol(names[8191].c_str(), 1));  // the 8192nd entry
  EXPECT_EQ(symhash.k, 14);
  EXPECT_EQ(symhash.mask, 16383u);
  EXPECT_EQ(symhash.count, 8192u);
  expect_order_kept(symhash, before);
  for (int i = 8192; i < 20000; ++i)
    syms.push_back(Symbol(names[i].c_str(), 1));
  EXPECT_EQ(symhash.k, 15);  // 16384 entries doubled it once more
  for (int i = 0; i < 20000; ++i) {
    ASSERT_EQ(Symbol0(names[i].c_str()), syms[i]) << names[i];
    ASSERT_EQ(Symbol(names[i].c_str(), 1), syms[i]);
  }
  EXPECT_EQ(symhash.count, 20000u);
}

TEST_F(Symbols, NumberTableGrowsAndKeepsEverySymbol) {
  std::vector<symbol*> syms;
  for (int i = 0; i < 8191; ++i) syms.push_back(Number(i + 0.25));
  auto before = chain_positions(numhash);
  EXPECT_EQ(numhash.k, 13);
  syms.push_back(Number(1e300));
  EXPECT_EQ(numhash.k, 14);
  expect_order_kept(numhash, before);
  for (int i = 0; i < 8191; ++i) {
    ASSERT_EQ(Number(i + 0.25), syms[i]);
    ASSERT_EQ(*pNumber(i + 0.25), syms[i]);
  }
  EXPECT_EQ(Number(1e300), syms.back());
  EXPECT_STREQ(syms.back()->name, "1e+300");
}

TEST_F(Symbols, PNumberGivesACellAndCountsNewEntries) {
  symbol** cell = pNumber(7);
  EXPECT_EQ(cell, &small_ints[1007]);
  EXPECT_STREQ((*cell)->name, "7");

  symbol* a = Number(0.75);
  EXPECT_EQ(numhash.count, 1u);
  symbol** pa = pNumber(0.75);
  EXPECT_EQ(*pa, a);
  symbol** pb = pNumber(1.125);
  EXPECT_EQ(numhash.count, 2u);
  EXPECT_STREQ((*pb)->name, "1.125");
  EXPECT_EQ((*pb)->next, nullptr);  // at the tail of its bucket
  EXPECT_EQ(Number(1.125), *pb);
  EXPECT_EQ(numhash.count, 2u);

  // Many new numbers grow the table: each is found again at its cell.
  for (int i = 0; i < 20000; ++i) pNumber(5000.0 + i);
  EXPECT_EQ(numhash.count, 20002u);
  EXPECT_GE(numhash.k, 15);
  for (int i = 0; i < 20000; i += 997)
    EXPECT_EQ((*pNumber(5000.0 + i))->value, 5000.0 + i);
}

TEST_F(Symbols, NumberNamesFollowNumsymPrec) {
  numsym_prec = 3;
  EXPECT_STREQ(Number(2.0 / 3)->name, "0.667");
  numsym_prec = 36;
  EXPECT_STREQ(Number(0.1)->name, "0.100000000000000005551115123125782702");
  numsym_prec = 0;
  EXPECT_STREQ(Number(1.0 / 3)->name, "0.3333333333333333");
}

TEST_F(Symbols, LitfixChoosesBareNameOrQuote) {
  struct {
    const char* in;
    const char* out;
    bool bare;
  } cases[] = {
      {"'abc'", "abc", true},
      {"\"abc\"", "abc", true},
      {"'a-b.c'", "a-b.c", true},
      {"'12'", "'12'", false},
      {"\"12\"", "'12'", false},
      {"'.5'", "'.5'", false},
      {"'.x'", "'.x'", false},
      {"''", "''", false},
      {"\"\"", "''", false},
      {"'1e5'", "'1e5'", false},
      {"\"a b\"", "'a b'", false},
      {"'a b'", "'a b'", false},
      {"\"it's\"", "\"it's\"", false},
      {"'say \"hi\"'", "'say \"hi\"'", false},
      {"\"say \"\"hi\"", "'say \"hi'", false},
      {"'it''s'", "\"it's\"", false},
      {"'a''b''c\"d'", "\"a'b'c\"\"d\"", false},
  };
  for (auto& c : cases) {
    char buf[64];
    std::strcpy(buf, c.in);
    char* r = litfix(buf);
    EXPECT_STREQ(r, c.out) << c.in;
    EXPECT_EQ(r == buf + 1, c.bare) << c.in;
  }
}

TEST_F(Symbols, LitfixRewritesLiteralsLongerThanBf) {
  // Content: Bflen single quotes (doubled in the literal) and one double
  // quote; the rewrite uses double quotes and is longer than Bf.
  std::string lit = "'";
  for (size_t i = 0; i < Bflen; ++i) lit += "''";
  lit += "\"'";
  std::string want = "\"" + std::string(Bflen, '\'') + "\"\"\"";
  std::vector<char> buf(lit.begin(), lit.end());
  buf.push_back(0);
  EXPECT_EQ(litfix(buf.data()), buf.data());
  EXPECT_EQ(std::string(buf.data()), want);
}

std::string stats(std::vector<double> args) {
  cstr* c = hashstats(static_cast<int>(args.size()), args.data());
  EXPECT_EQ(c->refcnt, 1u);
  std::string s = c->text();
  del_mblk(c->k, c);
  return s;
}

TEST_F(Symbols, HashstatsPrintsTheSelectedTables) {
  // "Aa", "BB", "C#" share bucket 2112 and "Ab", "BC", "C$" bucket 2113;
  // "a" sits alone in 97.
  for (const char* n : {"a", "Aa", "BB", "C#", "Ab", "BC", "C$"}) Symbol(n, 0);
  const std::string sym =
      "Statistics for symhash:\n\tk = 13\n\tnent = 7\n"
      "\tn_populated = 3\n\tmaxlen = 4\n\targmax = 2112\n";
  const std::string num =
      "Statistics for numhash:\n\tk = 13\n\tnent = 0\n"
      "\tn_populated = 0\n\tmaxlen = 1\n\targmax = 0\n";
  EXPECT_EQ(stats({1}), sym);
  EXPECT_EQ(stats({4.9}), sym);
  EXPECT_EQ(stats({2}), num);
  EXPECT_EQ(stats({5, 1}), num);
  for (auto a : std::vector<std::vector<double>>{
           {}, {0}, {-1}, {3}, {6}, {NAN}, {1e300}})
    EXPECT_EQ(stats(a), sym + num);
}

}  // namespace
}  // namespace vexo
