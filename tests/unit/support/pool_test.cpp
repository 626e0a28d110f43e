#include "support/pool.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "session/environs.h"
#include "session/loop.h"
#include "support/message.h"
#include "test_util.h"

#if defined(__SANITIZE_ADDRESS__)
#define POOL_TEST_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define POOL_TEST_LSAN 1
#endif
#endif
#ifdef POOL_TEST_LSAN
#include <sanitizer/lsan_interface.h>
#endif

namespace vexo {
namespace {

using test::run_captured;

// mem_reset invalidates every recorded pointer of the process, including
// those other modules' tests hold, so the tests that reset run in a child
// process of their own; a failed check there ends it with status 1.
#define CHILD_CHECK(cond)                                                     \
  do {                                                                        \
    if (!(cond)) {                                                            \
      std::fprintf(stderr, "check failed at line %d: %s\n", __LINE__, #cond); \
      std::fflush(stderr);                                                    \
      _exit(1);                                                               \
    }                                                                         \
  } while (0)

// Clears the once-per-process report flags after a test that sets them.
struct quitting_guard {
  int saved = quitting;
  ~quitting_guard() { quitting = saved; }
};

TEST(Pool, HtclIsTheLeastClassThatHolds) {
  struct {
    size_t n;
    int k;
  } cases[] = {{0, 0},
               {1, 0},
               {8, 0},
               {9, 1},
               {16, 1},
               {17, 2},
               {32, 2},
               {33, 3},
               {256, 5},
               {257, 6},
               {size_t(8) << 40, 40},
               {(size_t(8) << 40) + 1, 41}};
  for (auto& c : cases) EXPECT_EQ(htcl(c.n), c.k) << c.n;
  for (size_t n = 0; n <= 8; ++n) EXPECT_EQ(htcl(n), 0) << n;
}

TEST(Pool, MemIsZeroedAlignedAndOpensChunkOnlyWhenStrictlyFull) {
  // A request larger than any room left opens a chunk with exactly 32760
  // bytes to spare after it.
  char* big = static_cast<char*>(mem(40000));
  ASSERT_TRUE(in_mem_arena(big));
  char* here = static_cast<char*>(mem(0));
  EXPECT_EQ(here, big + 40000);
  EXPECT_EQ(mem(0), here);  // mem(0) does not advance
  char* a = static_cast<char*>(mem(3));
  EXPECT_EQ(a, here);
  char* b = static_cast<char*>(mem(1));
  EXPECT_EQ(b, a + 8);  // rounded to 8
  // 32744 bytes are left; a request of exactly that size opens a new chunk.
  double before = mem_used();
  char* c = static_cast<char*>(mem(32744));
  EXPECT_NE(c, b + 8);
  EXPECT_GE(mem_used() - before, 32744 + 32760.);
  for (size_t i = 0; i < 32744 + 32760; ++i)
    if (c[i]) FAIL() << "chunk not zeroed at " << i;
  EXPECT_EQ(reinterpret_cast<uintptr_t>(c) % 8, 0u);

  // One byte less fits in the room left.
  big = static_cast<char*>(mem(40000));
  char* d = static_cast<char*>(mem(32752 - 8));
  EXPECT_EQ(d, big + 40000);
}

// The arena is its chunks and nothing else: not the heap memory between
// them (the plain heap puts chunks and other blocks side by side, in no
// fixed order), nor recorded memory, the stack or code.
TEST(Pool, InMemArenaIsMembershipOfTheChunks) {
  char* a = static_cast<char*>(mem(40000));  // opens a chunk of its own
  void* plain = std::malloc(100000);
  void* recorded = Malloc(100000);
  const char* text = tostring(std::string(40000, 't').c_str());
  char* b = static_cast<char*>(mem(40000));
  for (char* c : {a, b}) {
    EXPECT_TRUE(in_mem_arena(c));
    EXPECT_TRUE(in_mem_arena(c + 40000 + 32760 - 1));
    EXPECT_FALSE(in_mem_arena(c + 40000 + 32760));
    EXPECT_FALSE(in_mem_arena(c - 1));
  }
  int local = 0;
  const void* others[] = {plain, recorded, text, &local,
                          reinterpret_cast<const void*>(&mem), nullptr};
  for (const void* p : others) EXPECT_FALSE(in_mem_arena(p)) << p;
  std::free(plain);
}

TEST(Pool, MallocAndTostringAreRecordedAndCounted) {
  double before = mem_used();
  void* p = Malloc(100);
  double grew = mem_used() - before;
  EXPECT_TRUE(grew == 100 || grew == 100 + 16008) << grew;
  std::memset(p, 1, 100);

  const char* s = tostring("alpha");
  const char* t = tostring("beta");
  EXPECT_STREQ(s, "alpha");
  EXPECT_STREQ(t, "beta");
  std::string longer(40000, 'x');
  const char* u = tostring(longer.c_str());
  EXPECT_EQ(u, longer);
  EXPECT_STREQ(t, "beta");
}

TEST(Pool, SmallFreshBlocksAreZeroedReusedBlocksKeepTheirBytes) {
  // A fresh small block needs an empty free list: reset in a child.
  EXPECT_EXIT(
      {
        mem_reset();
        std::memset(mem(200), 0xff, 200);  // arena bytes before the block
        unsigned char* p = static_cast<unsigned char*>(new_mblk(5, 0));
        for (int i = 0; i < 256; ++i) CHILD_CHECK(p[i] == 0);
        CHILD_CHECK(blkclass(p) == 5);
        _exit(0);
      },
      ::testing::ExitedWithCode(0), "");

  unsigned char* q = static_cast<unsigned char*>(new_mblk(3, 0));
  std::memset(q, 0xab, 64);
  del_mblk(3, q);
  unsigned char* r = static_cast<unsigned char*>(new_mblk(3, 0));
  ASSERT_EQ(r, q);  // the free list is last in, first out
  for (int i = 8; i < 64; ++i) EXPECT_EQ(r[i], 0xab) << i;  // past the link
  del_mblk(3, r);
  unsigned char* z = static_cast<unsigned char*>(new_mblk(3, 1));
  ASSERT_EQ(z, q);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(z[i], 0) << i;
  del_mblk(3, z);

  // A large block comes from Malloc and is cleared on request.
  unsigned char* big = static_cast<unsigned char*>(new_mblk(7, 1));
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(big[i], 0) << i;
  EXPECT_EQ(blkclass(big), 7);
  del_mblk(0, big);  // the class in the header counts, not the argument
  EXPECT_EQ(new_mblk(7, 0), big);
}

TEST(Pool, LargeReusedBlocksAreClearedOnRequest) {
  // A freed block of 1 MiB and more gives back its whole pages (2 MiB
  // ones for a block of 8 MiB and more); the bytes it keeps (the link's
  // page, the part page at its end) are cleared when it is taken again
  // with zero set.
  for (int k : {18, 20}) {
    size_t len = size_t(8) << k;
    unsigned char* p = static_cast<unsigned char*>(new_mblk(k, 0));
    std::memset(p, 0xab, len);
    del_mblk(k, p);
    unsigned char* q = static_cast<unsigned char*>(new_mblk(k, 1));
    ASSERT_EQ(q, p);
    size_t nonzero = 0;
    for (size_t i = 0; i < len; ++i) nonzero += q[i] != 0;
    EXPECT_EQ(nonzero, 0u) << "class " << k;
    del_mblk(k, q);
  }
}

TEST(Pool, ExtMblkMovesTheBytes) {
  char* p = static_cast<char*>(new_mblk(1, 0));
  std::memcpy(p, "0123456789abcdef", 16);
  char* q = static_cast<char*>(ext_mblk(1, p, 4, 16));
  EXPECT_EQ(blkclass(q), 4);
  EXPECT_EQ(std::string(q, 16), "0123456789abcdef");
  EXPECT_EQ(new_mblk(1, 0), p);  // the old block went back to its list
}

TEST(Pool, BadBlocksAreBugs) {
  quitting_guard guard;
  quitting = 0;
  void* p = new_mblk(3, 0);
  del_mblk(3, p);
  auto r = run_captured([&] { del_mblk(3, p); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Bug: bug: corrupted del_mblk arg\n"), std::string::npos)
      << r.err;
  // Reported once: a repeated fault is ignored and the block left alone.
  r = run_captured([&] { del_mblk(3, p); });
  EXPECT_FALSE(r.exited);
  EXPECT_EQ(r.err, "");

  r = run_captured([&] { blkclass(p); });
  EXPECT_TRUE(r.exited);
  EXPECT_NE(r.err.find("Bug: bug: corrupted blkclass arg\n"), std::string::npos)
      << r.err;

  r = run_captured([] { new_mblk(41, 0); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Bug: Problem too large (hcl = 41 in new_mblk)"),
            std::string::npos)
      << r.err;
}

TEST(Pool, LargeBlockFreedTwiceInAnOlderGeneration) {
  // Classes above 22 carry the freed mark into the generation; a block of
  // an older generation then passes the header check and its freed bit is
  // what is found.  Run in a child: it moves the generation on.
  EXPECT_EXIT(
      {
        quitting = 0;
        void* p = new_mblk(23, 0);
        uint32_t serial = reinterpret_cast<uint32_t*>(p)[-1];
        new_mblk(0, 0);  // the serial is no longer the newest
        nalloc_ovfl += 64;
        del_mblk(23, p);
        auto r = run_captured([&] { del_mblk(23, p); });
        char want[80];
        std::snprintf(want, sizeof want,
                      "Bug: Twice-freed block: k = 0, nalloc = %u\n",
                      serial | 1);
        CHILD_CHECK(r.exited && r.code == 2);
        CHILD_CHECK(r.err.find(want) != std::string::npos);
        _exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(Pool, SerialsWrapIntoTheNextGeneration) {
  nalloc = 0xfffffffcu;  // above any serial given so far
  uint32_t gen = nalloc_ovfl;
  void* before = new_mblk(2, 0);  // serial 0xfffffffe
  void* after = new_mblk(2, 0);   // nalloc wraps to 0
  EXPECT_EQ(nalloc, 0u);
  EXPECT_EQ(nalloc_ovfl, gen + 64);
  EXPECT_EQ(blkclass(before), 2);  // issued before the wrap, still valid
  EXPECT_EQ(blkclass(after), 2);
  del_mblk(2, before);
  del_mblk(2, after);
}

// The records of a kind have its type's size, whichever test made the
// first one.
TEST(Pool, XmemRecordsAreZeroedAndRecycled) {
  xenvir* r = xmem<xenvir>(XM_XENVIR);
  EXPECT_EQ(xmem_size(XM_XENVIR), sizeof(xenvir));
  EXPECT_EQ(r->slots_k, 0);
  EXPECT_EQ(r->e, nullptr);
  r->slots_k = 3;
  xmem_free(XM_XENVIR, r);
  xenvir* again = xmem<xenvir>(XM_XENVIR);
  EXPECT_EQ(again, r);
  EXPECT_EQ(again->slots_k, 0);

  auto out = run_captured([] { xmem(XM_XENVIR, 8); });
  EXPECT_TRUE(out.exited);
  EXPECT_EQ(out.code, 2);
}

#ifdef VEXO_ASAN
// Sanitizer builds: what the pools take back is unreadable but for the
// words they read themselves (a block's header, the free list's link),
// until it is handed out again.
TEST(Pool, ReleasedMemoryIsUnreadableUntilHandedOutAgain) {
  char* p = static_cast<char*>(new_mblk(3, 0));
  del_mblk(3, p);
  EXPECT_FALSE(__asan_region_is_poisoned(p - 8, 16));  // header, link
  EXPECT_EQ(__asan_region_is_poisoned(p + 8, 56), p + 8);
  EXPECT_FALSE(__asan_address_is_poisoned(p + 64));  // the next block's
  EXPECT_EQ(new_mblk(3, 0), p);
  EXPECT_FALSE(__asan_region_is_poisoned(p, 64));
  del_mblk(3, p);

  char* r = static_cast<char*>(xmem(XM_XENVIR, sizeof(xenvir)));
  xmem_free(XM_XENVIR, r);
  EXPECT_FALSE(__asan_address_is_poisoned(r));
  EXPECT_EQ(__asan_region_is_poisoned(r + 8, sizeof(xenvir) - 8), r + 8);
  EXPECT_EQ(xmem(XM_XENVIR, sizeof(xenvir)), r);
  EXPECT_FALSE(__asan_region_is_poisoned(r, sizeof(xenvir)));
  xmem_free(XM_XENVIR, r);
}

// With the hold on, a released block is wholly unreadable and reused only
// after HOLD_RECORDS later releases, or when the hold ends.
TEST(Pool, HeldBlocksWaitBeforeReuse) {
  pool_hold_released(true);
  char* p = static_cast<char*>(new_mblk(2, 0));
  del_mblk(2, p);
  EXPECT_EQ(__asan_region_is_poisoned(p, 32), p);
  EXPECT_FALSE(__asan_address_is_poisoned(p - 8));  // the header
  char* q = static_cast<char*>(new_mblk(2, 0));
  EXPECT_NE(q, p);
  del_mblk(2, q);
  pool_hold_released(false);  // oldest first onto the free list
  EXPECT_FALSE(__asan_address_is_poisoned(p));
  EXPECT_EQ(__asan_region_is_poisoned(p + 8, 24), p + 8);
  EXPECT_EQ(new_mblk(2, 0), q);
  EXPECT_EQ(new_mblk(2, 0), p);
  del_mblk(2, p);
  del_mblk(2, q);

  pool_hold_released(true);
  std::vector<void*> v(HOLD_RECORDS + 1);
  for (void*& b : v) b = new_mblk(0, 0);
  for (void* b : v) del_mblk(0, b);
  EXPECT_EQ(new_mblk(0, 0), v[0]);  // the first released left the queue
  del_mblk(0, v[0]);
  pool_hold_released(false);
}

// mem_reset frees what the queue holds with the rest: the hold then starts
// from nothing.
TEST(Pool, ResetEmptiesTheHold) {
  EXPECT_EXIT(
      {
        pool_hold_released(true);
        for (int i = 0; i < 100; ++i) del_mblk(2, new_mblk(2, 0));
        mem_reset();
        void* p = new_mblk(2, 0);
        del_mblk(2, p);
        pool_hold_released(false);  // puts back p alone
        CHILD_CHECK(new_mblk(2, 0) == p);
        CHILD_CHECK(new_mblk(2, 0) != p);
        _exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}
#endif

TEST(Pool, DontcallEndsTheSessionAtOnce) {
  auto r = run_captured([] { Dontcall("suffix"); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "Unexpected call of suffix::delete!\n");
}

TEST(Pool, MallocFailureReportsOnceThenEndsQuietly) {
  // Once per process: run in a child.
  EXPECT_EXIT(
      {
        eexit = -10;
        char want[120];
        std::snprintf(want, sizeof want,
                      "Bug: Too much memory used -- %.f bytes; couldn't get "
                      "100 more.\n",
                      mem_used());
        auto r = run_captured([] { Malloc_failure(100); });
        CHILD_CHECK(r.exited && r.code == 2);
        CHILD_CHECK(eexit == 0);
        CHILD_CHECK(r.err.find(want) != std::string::npos);
        // Again while the session ends.
        r = run_captured([] { Malloc_failure(100); });
        CHILD_CHECK(r.exited && r.code == 1);
        CHILD_CHECK(r.err.find("Too much memory used.\n") != std::string::npos);
        CHILD_CHECK(r.err.find("Bug") == std::string::npos);
        _exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(Pool, ResetFreesEveryRecordedAllocation) {
  std::string style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a clean process
  EXPECT_EXIT(
      {
        mem_reset();
        new_mblk(8, 0);  // from Malloc
        for (int i = 0; i < 2001 - 3; ++i) Malloc(24);
        char* before = static_cast<char*>(mem(16));
        tostring("text");
        // 2001 recorded allocations: the last one opened a second record
        // block.
        CHILD_CHECK(mem_used() == 2 * 16008 + 8 + 2048 + 1998 * 24 + 16 +
                                      32760 + ((4 + 32001) & ~7));
        // Stale free lists would hand out freed memory (a sanitizer error).
        del_mblk(2, new_mblk(2, 0));
        xmem_free(XM_TABLE, xmem(XM_TABLE, 16));
        mem_reset();
        CHILD_CHECK(Malloced[0] == 0 && Malloced[1] == 0);
        CHILD_CHECK(!in_mem_arena(before));  // its chunk is gone
        char* fresh = static_cast<char*>(mem(8));
        CHILD_CHECK(in_mem_arena(fresh) && !in_mem_arena(fresh - 1));
        CHILD_CHECK(in_mem_arena(fresh + 8 + 32760 - 1) &&
                    !in_mem_arena(fresh + 8 + 32760));
        std::memset(new_mblk(2, 0), 1, 32);
        std::memset(xmem(XM_TABLE, 16), 1, 16);
        mem_reset();
#ifdef POOL_TEST_LSAN
        CHILD_CHECK(__lsan_do_recoverable_leak_check() == 0);
#endif
        _exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  GTEST_FLAG_SET(death_test_style, style);
}

// The numbered arena hands out in order from 16 bytes past its start,
// counts what it hands out, and after reset starts again at the same place
// on fresh pages (the old bytes are gone: their memory went back).
TEST(Pool, NumberedArenaRestartsOnFreshPagesAtReset) {
  EXPECT_EXIT(
      {
        mem_reset();
        auto* a = static_cast<char*>(narena_take(32));
        CHILD_CHECK(a == narena_base + 16);
        auto* b = static_cast<char*>(narena_take(size_t{1} << 20));
        CHILD_CHECK(b == a + 32);
        std::memset(a, 1, 32 + (size_t{1} << 20));
        CHILD_CHECK(mem_used() == 32 + (1 << 20));
        char* base = narena_base;
        mem_reset();
        CHILD_CHECK(narena_base == base);
        CHILD_CHECK(narena_take(64) == a && a[0] == 0 && a[63] == 0);
        _exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

#if !defined(POOL_TEST_LSAN)
// Where the process may not have 64 GiB of address space the arena takes
// less; what it cannot hold is reported as exhausted memory.
TEST(Pool, NumberedArenaFitsTheAddressSpaceLimit) {
  EXPECT_EXIT(
      {
        if (narena_base) _exit(0);  // reserved before the limit
        struct rlimit rl;
        rl.rlim_cur = rl.rlim_max = rlim_t{3} << 30;
        setrlimit(RLIMIT_AS, &rl);
        constexpr size_t MIB64 = size_t{64} << 20;
        std::memset(narena_take(MIB64), 1, MIB64);
        auto r = run_captured([] { narena_take(size_t{3} << 30); });
        CHILD_CHECK(r.exited && r.code == 2);
        CHILD_CHECK(r.err.find("couldn't get 3221225472 more.") !=
                    std::string::npos);
        _exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace vexo
