#include "support/sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace vexo {
namespace {

int cmp_int(const void* a, const void* b) {
  EXPECT_NE(a, b);
  int x = *static_cast<const int*>(a), y = *static_cast<const int*>(b);
  return x < y ? -1 : x > y;
}

struct ctx {
  long calls = 0;
  ctx* self = this;
};

int cmp_int_v(const void* a, const void* b, void* v) {
  auto* c = static_cast<ctx*>(v);
  EXPECT_EQ(c->self, c);
  ++c->calls;
  return cmp_int(a, b);
}

// 12-byte records, sorted by key; tag tells the records apart.
struct rec {
  int32_t key, tag, pad;
};
static_assert(sizeof(rec) == 12);

int cmp_rec(const void* a, const void* b) {
  EXPECT_NE(a, b);
  auto* x = static_cast<const rec*>(a);
  auto* y = static_cast<const rec*>(b);
  return (x->key > y->key) - (x->key < y->key);
}

TEST(Sort, RandomIntsOfEverySizeRange) {
  std::mt19937 rng(7);
  for (size_t n : {0, 1, 2, 5, 6, 7, 8, 20, 40, 41, 100, 1000, 20000}) {
    for (int range : {3, 1000000}) {
      std::vector<int> a(n);
      for (int& x : a) x = static_cast<int>(rng() % range);
      std::vector<int> want = a;
      std::sort(want.begin(), want.end());
      std::vector<int> b = a;
      Qsort(a.data(), n, sizeof(int), cmp_int);
      EXPECT_EQ(a, want) << n;
      ctx c;
      qsortv(b.data(), n, sizeof(int), cmp_int_v, &c);
      EXPECT_EQ(b, want) << n;
      if (n < 2) {
        EXPECT_EQ(c.calls, 0);
      }
    }
  }
}

TEST(Sort, PresortedAndReversedInput) {
  for (size_t n : {7, 40, 1000}) {
    std::vector<int> a(n), r(n);
    for (size_t i = 0; i < n; ++i) a[i] = static_cast<int>(i), r[i] = -a[i];
    std::vector<int> want = a;
    Qsort(a.data(), n, sizeof(int), cmp_int);
    EXPECT_EQ(a, want);
    Qsort(r.data(), n, sizeof(int), cmp_int);
    EXPECT_TRUE(std::is_sorted(r.begin(), r.end()));
  }
}

TEST(Sort, TwelveByteRecordsKeepEveryRecord) {
  std::mt19937 rng(11);
  for (size_t n : {6, 30, 500, 5000}) {
    std::vector<rec> a(n);
    for (size_t i = 0; i < n; ++i)
      a[i] = {static_cast<int32_t>(rng() % 50), static_cast<int32_t>(i), 0};
    Qsort(a.data(), n, sizeof(rec), cmp_rec);
    std::vector<int> tags(n);
    for (size_t i = 0; i < n; ++i) {
      if (i) {
        ASSERT_LE(a[i - 1].key, a[i].key);
      }
      tags[i] = a[i].tag;
    }
    std::sort(tags.begin(), tags.end());
    for (size_t i = 0; i < n; ++i) ASSERT_EQ(tags[i], static_cast<int>(i));
  }
}

TEST(Sort, MisalignedEightByteElements) {
  std::mt19937_64 rng(3);
  const size_t n = 300;
  std::vector<char> raw(n * 8 + 1);
  std::vector<uint64_t> want(n);
  for (size_t i = 0; i < n; ++i) {
    want[i] = rng() % 1000;
    std::memcpy(&raw[1 + i * 8], &want[i], 8);
  }
  Qsort(&raw[1], n, 8, [](const void* a, const void* b) {
    uint64_t x, y;
    std::memcpy(&x, a, 8);
    std::memcpy(&y, b, 8);
    return (x > y) - (x < y);
  });
  std::sort(want.begin(), want.end());
  for (size_t i = 0; i < n; ++i) {
    uint64_t x;
    std::memcpy(&x, &raw[1 + i * 8], 8);
    ASSERT_EQ(x, want[i]);
  }
}

TEST(Sort, AllEqualIsOnePartition) {
  for (size_t n : {7, 40, 1000}) {
    std::vector<int> a(n, 42);
    ctx c;
    qsortv(a.data(), n, sizeof(int), cmp_int_v, &c);
    EXPECT_EQ(a, std::vector<int>(n, 42));
    // The pivot choice (at most 12 comparisons) and one comparison for
    // every element but the pivot; no further pass.
    EXPECT_LE(c.calls, static_cast<long>(n) - 1 + 12) << n;
  }
}

TEST(Sort, ComparisonResultCountsOnlyBySign) {
  std::vector<int> a = {5, -3, 9, 0, 9, 1, -7, 2, 8, 4};
  Qsort(a.data(), a.size(), sizeof(int), [](const void* x, const void* y) {
    int d = *static_cast<const int*>(x) - *static_cast<const int*>(y);
    return d * 1000;
  });
  EXPECT_TRUE(std::is_sorted(a.begin(), a.end()));
}

}  // namespace
}  // namespace vexo
