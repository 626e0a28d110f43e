// Recorded allocation, the arenas, the size-class block allocator and the
// declaration-record pools.  Every recorded allocation has its address in a
// slot of a record block, so that mem_reset can free them all without any
// other bookkeeping.
#include "support/pool.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "session/located.h"
#include "session/loop.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"

namespace vexo {

double Malloced[2];

double malloced_since_mark() {
  double grown = Malloced[1] - Malloced[0];
  Malloced[0] = Malloced[1];
  return grown;
}

uint32_t nalloc, nalloc_ovfl;
int quitting;

namespace {

constexpr int NSLOTS = 2000;

// A block of recording slots; the newest is mbchain.
struct recblk {
  recblk* prev;
  void* slot[NSLOTS];
};
static_assert(sizeof(recblk) == 16008);

recblk* mbchain;
void** bnext;  // next free slot of mbchain
void** blast;  // one past its last slot

char* s;      // mem arena: next free byte
char* se;     // end of its chunk
char* snext;  // tostring arena: next free byte
char* slast;  // end of its chunk

constexpr size_t MEM_EXTRA = 32760;
constexpr size_t STR_EXTRA = 32001;

// Head of each class's free list: the block starts (headers).
uint32_t* MBfree[MBLK_MAXCLASS + 1];

// The mem chunks obtained since the last mem_reset, by start address, for
// in_mem_arena.  The table comes from plain malloc and outlives mem_reset,
// which only empties it.
struct chunk_span {
  uintptr_t lo, hi;  // [lo, hi)
};
chunk_span* chunks;
size_t nchunks, chunks_cap;

void* xmem_freelist[N_XMEM_KINDS];
size_t xmem_sizes[N_XMEM_KINDS];

bool malloc_failed;  // Malloc_failure has run once

#ifdef VEXO_ASAN
// The hold queue: a ring of HOLD_RECORDS slots (made at the first record
// held), oldest at ring_first.
struct held {
  void* p;
  const void* link;
  pool_put put;
  int tag;
  size_t n;
};
std::vector<held> ring;
size_t ring_first, ring_count, ring_bytes;
bool hold_on;

// The oldest held record goes on its free list.
void hold_pop() {
  held& h = ring[ring_first];
  pool_unpoison(h.link, sizeof(void*));
  h.put(h.p, h.tag);
  ring_bytes -= h.n;
  ring_first = (ring_first + 1) % HOLD_RECORDS;
  --ring_count;
}
#endif

}  // namespace

#ifdef VEXO_ASAN
void pool_hold_released(bool on) {
  hold_on = on;
  if (!on)
    while (ring_count) hold_pop();
}

bool pool_holding() { return hold_on; }

void pool_hold(void* p, size_t n, const void* link, pool_put put, int tag) {
  pool_poison(p, n);
  if (ring.empty()) ring.resize(HOLD_RECORDS);
  if (ring_count == HOLD_RECORDS) hold_pop();
  ring[(ring_first + ring_count++) % HOLD_RECORDS] = {p, link, put, tag, n};
  ring_bytes += n;
  while (ring_bytes > HOLD_BYTES) hold_pop();
}
#endif

// The slot that records the next allocation; taken before that allocation
// is made, and null until it is stored.
static void** take_slot() {
  if (bnext == blast) {
    recblk* b = static_cast<recblk*>(std::malloc(sizeof(recblk)));
    if (!b) Malloc_failure(sizeof(recblk));
    b->prev = mbchain;
    mbchain = b;
    bnext = b->slot;
    blast = b->slot + NSLOTS;
    Malloced[1] += sizeof(recblk);
  }
  *bnext = nullptr;
  return bnext++;
}

// n bytes from malloc, recorded and counted (slack bytes more are taken
// but not counted).
static char* recorded(size_t n, bool zero = false, size_t slack = 0) {
  void** slot = take_slot();
  // Zeroed memory from calloc: fresh pages come zero from the system, so
  // large blocks are not written twice.
  size_t m = n + slack;
  void* p = zero ? std::calloc(m ? m : 1, 1) : std::malloc(m ? m : 1);
  if (!p) Malloc_failure(m);
  *slot = p;
  Malloced[1] += n;
  return static_cast<char*>(p);
}

void* Malloc(size_t n) { return recorded(n); }

// The huge page size that advise_huge asks for.
constexpr uintptr_t HUGE = uintptr_t{2} << 20;
static void advise_huge(void* p, size_t n);

// n bytes recorded for huge pages when there are enough of them: such a
// block starts on their boundary, so that they back all of it (faulting
// memory in 4 KiB pages costs many times more).  The slack before the
// boundary is left unused.
static char* recorded_huge(size_t n, bool zero) {
  if (n < 4 * HUGE) return recorded(n, zero);
  char* raw = recorded(n, zero, HUGE);
  char* p = reinterpret_cast<char*>(
      (reinterpret_cast<uintptr_t>(raw) + HUGE - 1) & ~(HUGE - 1));
  advise_huge(p, n);
  return p;
}

void* Malloc_bulk(size_t n) { return recorded_huge(n, false); }

char* narena_base;

namespace {

// The numbered arena: bytes reserved, handed out, and made usable (whole
// pages) since the last mem_reset.
size_t narena_size, narena_used, narena_ready;

// Address space only: the pages stay inaccessible, and neither memory nor
// the system's commit charge is taken until narena_take opens them.  A
// smaller range is taken where the process may not have 64 GiB of it.
void narena_reserve() {
  for (size_t n = size_t{16} << 32; n >= size_t{16} << 20; n /= 2) {
    void* p = mmap(nullptr, n, PROT_NONE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) continue;
    narena_base = static_cast<char*>(p);
    narena_size = n;
    narena_used = 16;
    return;
  }
  Malloc_failure(size_t{16} << 20);
}

}  // namespace

void* narena_take(size_t n) {
  if (!narena_base) narena_reserve();
  if (n > narena_size - narena_used) Malloc_failure(n);
  char* p = narena_base + narena_used;
  narena_used += n;
  if (narena_used > narena_ready) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    size_t end = (narena_used + page - 1) / page * page;
    if (mprotect(narena_base + narena_ready, end - narena_ready,
                 PROT_READ | PROT_WRITE) != 0)
      Malloc_failure(n);
    advise_huge(narena_base + narena_ready, end - narena_ready);
    narena_ready = end;
  }
  Malloced[1] += double(n);
  return p;
}

// Back to an empty arena: the opened pages are replaced by fresh
// inaccessible ones, which gives their memory back to the system.
static void narena_reset() {
  if (narena_ready &&
      mmap(narena_base, narena_ready, PROT_NONE,
           MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1,
           0) == MAP_FAILED)
    Malloc_failure(narena_ready);
  narena_used = narena_base ? 16 : 0;
  narena_ready = 0;
}

// Index of the first chunk that starts above a (nchunks when none does).
static size_t chunk_after(uintptr_t a) {
  size_t lo = 0, hi = nchunks;
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    if (chunks[mid].lo <= a)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

// Enters a new mem chunk in the table, in address order.
static void note_chunk(const char* r, size_t len) {
  if (nchunks == chunks_cap) {
    size_t cap = chunks_cap ? 2 * chunks_cap : 64;
    void* t = std::realloc(chunks, cap * sizeof(chunk_span));
    if (!t) Malloc_failure(cap * sizeof(chunk_span));
    chunks = static_cast<chunk_span*>(t);
    chunks_cap = cap;
  }
  uintptr_t lo = reinterpret_cast<uintptr_t>(r);
  size_t i = chunk_after(lo);
  std::memmove(chunks + i + 1, chunks + i, (nchunks - i) * sizeof(chunk_span));
  chunks[i] = {lo, lo + len};
  ++nchunks;
}

bool in_mem_arena(const void* p) {
  uintptr_t a = reinterpret_cast<uintptr_t>(p);
  size_t i = chunk_after(a);
  return i > 0 && a < chunks[i - 1].hi;
}

void* mem(size_t n) {
  size_t m = (n + 7) & ~size_t(7);
  if (s && m < size_t(se - s)) {
    char* r = s;
    s += m;
    return r;
  }
  size_t len = m + MEM_EXTRA;
  char* r = recorded(len, true);
  note_chunk(r, len);
  s = r + m;
  se = r + len;
  return r;
}

char* tostring(const char* str) {
  size_t len = std::strlen(str);
  if (!snext || len + 1 > size_t(slast - snext)) {
    size_t n = (len + STR_EXTRA) & ~size_t(7);
    snext = recorded(n);
    slast = snext + n;
  }
  char* r = snext;
  std::memcpy(r, str, len + 1);
  snext += len + 1;
  return r;
}

int htcl(size_t n) {
  if (n <= 8) return 0;
  int k = 1;
  while (k < 60 && (size_t(8) << k) < n) ++k;
  return k;
}

// Header of a block: word 0 holds the class (low 6 bits) and the
// generation, word 1 the serial (even) with bit 0 set once freed.
static uint32_t* header(const void* p) {
  return const_cast<uint32_t*>(static_cast<const uint32_t*>(p)) - 2;
}

static bool header_ok(const uint32_t* h) {
  uint32_t k = h[0] & 63, gen = h[0] & ~uint32_t(63);
  if (k > MBLK_MAXCLASS) return false;
  if (h[1] <= nalloc) return gen <= nalloc_ovfl;
  return gen < nalloc_ovfl;  // issued before the last wrap of nalloc
}

// Blocks of 8 MiB and more (the arrays of large problems) ask for huge
// pages: filling such a block first costs one fault per 2 MiB instead of
// one per 4 KiB page.  Advice only; nothing changes where it is not taken.
static void advise_huge(void* p, size_t n) {
#ifdef MADV_HUGEPAGE
  if (n < 4 * HUGE) return;
  uintptr_t a = (reinterpret_cast<uintptr_t>(p) + HUGE - 1) & ~(HUGE - 1);
  uintptr_t e = (reinterpret_cast<uintptr_t>(p) + n) & ~(HUGE - 1);
  if (e > a) madvise(reinterpret_cast<void*>(a), e - a, MADV_HUGEPAGE);
#else
  (void)p;
  (void)n;
#endif
}

// A free block of 1 MiB and more gives its pages back to the system but
// for the first, which holds the free-list link: the arrays that a growing
// table or value list leaves behind at each doubling would otherwise stay
// resident until the block is taken again.  The address range stays the
// block's; a page read again is zero.  A block that huge pages back
// (recorded_huge) keeps its first huge page whole: giving back part of it
// would split it, and the block taken again would fault that part in
// 4 KiB pages.  The whole pages in [*a, *e) of the block of len bytes at p
// are those given back (none when *a == *e).
static void released_span(const void* p, size_t len, uintptr_t* a,
                          uintptr_t* e) {
  constexpr size_t PAGE = 4096;
  uintptr_t b = reinterpret_cast<uintptr_t>(p);
  *a = *e = b;
  if (len < (size_t{1} << 20)) return;
  uintptr_t unit = len + 8 >= 4 * HUGE ? HUGE : PAGE;
  *a = (b + sizeof(void*) + unit - 1) & ~(unit - 1);
  *e = (b + len) & ~(PAGE - 1);
  if (*e <= *a) *a = *e = b;
}

static void release_pages(void* p, size_t len) {
  uintptr_t a, e;
  released_span(p, len, &a, &e);
  // Should the system refuse, the pages are cleared here instead: a block
  // taken again relies on them reading zero.
  if (e > a && madvise(reinterpret_cast<void*>(a), e - a, MADV_DONTNEED))
    std::memset(reinterpret_cast<void*>(a), 0, e - a);
}

// Clears a block taken from a free list: the pages it gave back read as
// zero already, and writing them would only fault them in twice.
static void zero_free_block(void* p, size_t len) {
  uintptr_t a, e, b = reinterpret_cast<uintptr_t>(p);
  released_span(p, len, &a, &e);
  std::memset(p, 0, a - b);
  std::memset(reinterpret_cast<void*>(e), 0, b + len - e);
}

void* new_mblk(int k, int zero) {
  if (k < 0 || k > MBLK_MAXCLASS)
    bug("Problem too large (hcl = %d in new_mblk)", k);
  size_t len = size_t(8) << k;
  uint32_t* h = MBfree[k];
  if (h) {
    pool_take(h + 2, len);
    std::memcpy(&MBfree[k], h + 2, sizeof(h));
    if (zero) zero_free_block(h + 2, len);
  } else if (len <= 256) {
    h = static_cast<uint32_t*>(mem(len + 8));
  } else {
    h = reinterpret_cast<uint32_t*>(recorded_huge(len + 8, zero != 0));
  }
  if ((nalloc += 2) == 0) nalloc_ovfl += 64;
  h[0] = uint32_t(k) | nalloc_ovfl;
  h[1] = nalloc;
  return h + 2;
}

// Links the block whose payload is p on the free list of class k.
static void put_mblk(void* p, int k) {
  release_pages(p, size_t(8) << k);
  std::memcpy(p, &MBfree[k], sizeof(uint32_t*));
  MBfree[k] = header(p);
}

void del_mblk(int, void* p) {
  uint32_t* h = header(p);
  if (!header_ok(h)) {
    if (quitting & 1) return;
    quitting |= 1;
    bug("bug: corrupted del_mblk arg\n");
  }
  if (h[1] & 1) {
    if (quitting & 2) return;
    quitting |= 2;
    bug("Twice-freed block: k = %d, nalloc = %u\n", int(h[0] & 63), h[1]);
  }
  int k = h[0] & 63;
  h[1] |= 1;
  h[0] += 41;  // makes a later check of this block fail (see header_ok)
  // The header stays readable: blkclass and a second del_mblk check it.
  pool_free(p, size_t(8) << k, p, put_mblk, k);
}

int blkclass(const void* p) {
  const uint32_t* h = header(p);
  if (header_ok(h)) return h[0] & 63;
  error(1, "bug: corrupted blkclass arg\n");
  return -1;
}

void* ext_mblk(int k, void* p, int knew, size_t n) {
  void* q = new_mblk(knew, 0);
  std::memcpy(q, p, n);
  del_mblk(k, p);
  return q;
}

void* xmem(int kind, size_t size) {
  if (kind < 0 || kind >= N_XMEM_KINDS) bug("xmem: bad record kind %d", kind);
  if (!xmem_sizes[kind])
    xmem_sizes[kind] = size;
  else if (xmem_sizes[kind] != size)
    bug("xmem: record of kind %d has %.f bytes, not %.f", kind, double(size),
        double(xmem_sizes[kind]));
  void* p = xmem_freelist[kind];
  if (!p) return mem(size);
  pool_take(p, size);
  std::memcpy(&xmem_freelist[kind], p, sizeof(p));
  std::memset(p, 0, size);
  return p;
}

static void put_xmem(void* p, int kind) {
  std::memcpy(p, &xmem_freelist[kind], sizeof(p));
  xmem_freelist[kind] = p;
}

void xmem_free(int kind, void* p) {
  pool_free(p, xmem_sizes[kind], p, put_xmem, kind);
}

size_t xmem_size(int kind) { return xmem_sizes[kind]; }

void Dontcall(const char* classname) {
  Fprintf(Stderr, "Unexpected call of %s::delete!\n", classname);
  exit1(1);
}

double mem_used() { return Malloced[1]; }

void Malloc_failure(size_t n) {
  if (!malloc_failed) {
    malloc_failed = true;
    suspend_warning_exit();
    bug("Too much memory used -- %.f bytes; couldn't get %.f more.\n",
        Malloced[1], double(n));
  }
  squawk("Too much memory used.\n");
  exit1(1);
}

void mem_reset() {
  // Newest block from its last used slot down, then each older block whole.
  void** p = bnext;
  for (recblk* b = mbchain; b;) {
    while (p > b->slot) std::free(*--p);
    recblk* older = b->prev;
    std::free(b);
    b = older;
    if (b) p = b->slot + NSLOTS;
  }
  mbchain = nullptr;
  bnext = blast = nullptr;
  s = se = snext = slast = nullptr;
  nchunks = 0;
#ifdef VEXO_ASAN
  ring_first = ring_count = ring_bytes = 0;  // what it held is freed
#endif
  std::memset(MBfree, 0, sizeof(MBfree));
  std::memset(xmem_freelist, 0, sizeof(xmem_freelist));
  narena_reset();
  Malloced[0] = Malloced[1] = 0;
}

extern "C" void* mymalloc_ZEF(size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) Malloc_failure(n);
  return p;
}

}  // namespace vexo
