#include "support/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/format.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::run_captured;

TEST(Text, ValidParamAcceptsNumbersOnly) {
  const char* yes[] = {"1",        "-2.5",      "+.5",   "5.",      "1e5",
                       "0",        "+1D-3",     "2E+10", "NaN",     "-nAn",
                       "infinity", "-INFINITY", "0x1p3", "-0X1.8P1"};
  const char* no[] = {"",    ".",   "+",       "-",    "e5",    "1e",
                      "1e+", "inf", "infinit", "nanx", "1.5.3", "12abc",
                      "1 ",  " 1",  "0x",      "0x1g", "++1",   "1e5.0"};
  for (const char* t : yes) {
    std::string s = t;
    EXPECT_TRUE(valid_param(s.data(), 1)) << t;
  }
  for (const char* t : no) {
    std::string s = t;
    EXPECT_FALSE(valid_param(s.data(), 1)) << t;
  }
}

TEST(Text, ValidParamRewritesTheExponentLetterUnlessKept) {
  char a[] = "1d5", b[] = "1d5", c[] = "-2.5E-3";
  EXPECT_TRUE(valid_param(a, 0));
  EXPECT_STREQ(a, "1e5");
  EXPECT_TRUE(valid_param(b, 1));
  EXPECT_STREQ(b, "1d5");
  EXPECT_TRUE(valid_param(c, 0));
  EXPECT_STREQ(c, "-2.5e-3");
}

TEST(Text, ValidParamHexOnlyWithoutNoHexfp) {
  char h[] = "0x1p3";
  no_hexfp = 1;
  EXPECT_FALSE(valid_param(h, 1));
  no_hexfp = 0;
  EXPECT_TRUE(valid_param(h, 1));
}

// The text held by a charblk chain, oldest block first.
static std::string chain_text(charblk* cb) {
  std::string s;
  for (; cb; cb = cb->prev) s.insert(0, cb->text(), cb->next - cb->text());
  return s;
}

TEST(Text, CharblkGrowsByNewBlocksWithoutMovingText) {
  charblk* cb = nullptr;
  char* first = cblcopy(&cb, "abc");
  EXPECT_STREQ(first, "abc");
  EXPECT_EQ(cb->prev, nullptr);
  EXPECT_EQ(cb->k, htcl(4 + 4032));
  EXPECT_EQ(blkclass(cb), cb->k);
  ptrdiff_t room = cb->left;
  EXPECT_EQ(room, (ptrdiff_t(8) << cb->k) - 32 - 4);
  // Fill the block exactly; the next byte starts a new block in front.
  char* fill = cballoc(&cb, room);
  std::memset(fill, 'x', room);
  EXPECT_EQ(cb->left, 0);
  charblk* old = cb;
  char* more = cbcopy(&cb, "yz", 2);
  EXPECT_EQ(cb->prev, old);
  EXPECT_EQ(cb->left, (ptrdiff_t(8) << cb->k) - 32 - 2);
  EXPECT_GE(cb->left, 4000);
  EXPECT_EQ(std::string(more, 2), "yz");
  EXPECT_STREQ(first, "abc");  // never moved
  EXPECT_EQ(chain_text(cb),
            std::string("abc", 4) + std::string(room, 'x') + "yz");
  cbfree(cb);

  charblk* small = newcb(10, nullptr);
  EXPECT_EQ(small->k, htcl(42));
  EXPECT_EQ(small->left, (ptrdiff_t(8) << small->k) - 32);
  cbfree(small);
}

TEST(Text, AdjoincbKeepsOneContiguousText) {
  charblk* cb = nullptr;
  adjoincb(&cb, "abc");
  char* at = adjoincb(&cb, "de");
  EXPECT_EQ(cb->prev, nullptr);
  EXPECT_STREQ(cb->text(), "abcde");
  EXPECT_STREQ(at, "de");
  EXPECT_EQ(cb->k, htcl(3 + 433));
  // Past the spare room the text is copied into a larger block.
  std::string big(1000, 'q');
  adjoincb(&cb, big.c_str());
  EXPECT_EQ(cb->prev, nullptr);
  EXPECT_EQ(cb->text(), "abcde" + big);
  EXPECT_EQ(cb->k, htcl(5 + 1000 + 433));
  cbfree(cb);
}

TEST(Text, AdjoinCopiesWithinBoundsAndStopsTheSessionBeyond) {
  char buf[8];
  char* nul = adjoin(buf, buf + 8, "abc");
  EXPECT_EQ(nul, buf + 3);
  nul = adjoin(nul, buf + 8, "defg");  // exactly fills, NUL in the last byte
  EXPECT_EQ(nul, buf + 7);
  EXPECT_STREQ(buf, "abcdefg");

  if (!Bf) scratch_reset();  // the message is made in Bf
  int saved_rc = rc;
  rc = 5;
  adjnam = "namebuf";
  auto r = run_captured([&] { adjoin(buf, buf + 8, "12345678"); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 5 | 2);  // squawk marks rc first
  EXPECT_NE(r.err.find("adjoin: namebuf is too small"), std::string::npos)
      << r.err;
  rc = saved_rc;
}

TEST(Text, CountedStringsFreeAtTheLastReference) {
  cstr* c = new_cstring("hello");
  EXPECT_EQ(c->refcnt, 1u);
  EXPECT_EQ(int(c->k), htcl(6 + 8));
  EXPECT_STREQ(c->text(), "hello");
  cstr* holder = c;
  ++c->refcnt;
  zap_cstr(&holder);
  EXPECT_EQ(holder, nullptr);
  EXPECT_EQ(c->refcnt, 1u);
  EXPECT_EQ(blkclass(c), int(c->k));  // still alive
  holder = c;
  zap_cstr(&holder);
  EXPECT_EQ(holder, nullptr);
  EXPECT_EQ(new_cstr(6), c);  // the block went back to its free list
  zap_cstr(&c);
  zap_cstr(&holder);  // null: nothing

  cstr* e = new_cstring("");
  EXPECT_EQ(int(e->k), htcl(1 + 8));
  EXPECT_STREQ(e->text(), "");
  zap_cstr(&e);
}

TEST(Text, MstrGrowsAndStaysTerminated) {
  mstr* m = nullptr;
  EXPECT_STREQ(mstr_val(m), "");
  Mstr_put(&m, "abcdef", 3);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(int(m->k), htcl(3 + 9));
  EXPECT_EQ(m->len, 3u);
  EXPECT_STREQ(mstr_val(m), "abc");
  std::string want = "abc";
  for (int i = 0; i < 300; ++i) {
    Mstr_put(&m, "0123456789", 10);
    want += "0123456789";
  }
  EXPECT_EQ(m->len, want.size());
  EXPECT_EQ(mstr_val(m), want);
  EXPECT_EQ(int(m->k), htcl(want.size() + 9));
  EXPECT_EQ(blkclass(m), int(m->k));
  Mstr_put(&m, "", 0);
  EXPECT_EQ(mstr_val(m), want);
  mstr_free(&m);
  EXPECT_EQ(m, nullptr);
  mstr_free(&m);

  mprintf(&m, "%d-%s", 12, "x");
  EXPECT_STREQ(mstr_val(m), "12-x");
  mstr_free(&m);
}

// A list of literal tokens, built in order.
static list* tokens(std::initializer_list<const char*> items) {
  list* first = nullptr;
  list** tail = &first;
  for (const char* t : items) {
    list* l = new list;
    l->next = nullptr;
    l->item.p = const_cast<char*>(t);
    *tail = l;
    tail = &l->next;
  }
  return first;
}

TEST(Text, LlitcatJoinsLiteralTexts) {
  struct {
    std::initializer_list<const char*> items;
    const char* prefix;
    const char* want;
  } cases[] = {
      {{"'a''b'", "c"}, "k", "k=a'bc"},
      {{"\"x\"\"y\"", nullptr, "'q'"}, nullptr, "x\"yq"},
      {{"'line\\\nnext'", "\"a\\b\""}, nullptr, "line\nnexta\\b"},
      {{}, nullptr, ""},
      {{}, "p", "p="},
      {{"'open"}, nullptr, "open"},  // no closing quote: up to the end
  };
  for (auto& c : cases) {
    list* l = tokens(c.items);
    cstr* s = Llitcat(l, c.prefix);
    EXPECT_STREQ(s->text(), c.want);
    EXPECT_EQ(s->refcnt, 1u);
    EXPECT_EQ(blkclass(s), int(s->k));
    zap_cstr(&s);
    delete l;
  }
  // Long items move the text into larger blocks.
  std::string a(3000, 'a'), b(5000, 'b');
  list* l = tokens({a.c_str(), b.c_str()});
  cstr* s = Llitcat(l, "pre");
  EXPECT_EQ(s->text(), "pre=" + a + b);
  zap_cstr(&s);
  delete l;
}

TEST(Text, QuotestripAndBaseName) {
  char ab[] = "ab", x[] = "'x'", empty[] = "";
  EXPECT_EQ(quotestrip(ab), ab);
  EXPECT_STREQ(ab, "ab");
  EXPECT_STREQ(quotestrip(x), "x");
  EXPECT_EQ(quotestrip(empty), empty);

  EXPECT_STREQ(base_name("dir/file"), "file");
  EXPECT_STREQ(base_name("a/b/c.mod"), "c.mod");
  EXPECT_STREQ(base_name("file"), "file");
  EXPECT_STREQ(base_name("dir/"), "");
  EXPECT_EQ(base_name(nullptr), nullptr);
}

}  // namespace
}  // namespace vexo
