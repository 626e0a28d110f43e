// The memory of a session.  Five allocators sit on the system's malloc:
//   Malloc        recorded allocation, not zeroed;
//   mem           zeroed bump arena, 8-byte aligned;
//   tostring      arena of NUL-terminated string copies;
//   new_mblk      size-class blocks (payload 8 << k bytes), freed piecemeal
//                 with del_mblk;
//   xmem          zeroed declaration records, one free list per kind.
// Recorded memory (Malloc results, arena chunks) is never given back one
// piece at a time: mem_reset, called by the `reset` command, frees all of it
// at once.  mymalloc_ZEF is plain malloc for memory that must survive reset
// or is handed to loaded libraries.  No allocator returns null: exhausted
// memory ends the session through Malloc_failure.
#ifndef VEXO_SUPPORT_POOL_H
#define VEXO_SUPPORT_POOL_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#if defined(__SANITIZE_ADDRESS__)
#define VEXO_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEXO_ASAN 1
#endif
#endif
#ifdef VEXO_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace vexo {

// Highest size class of new_mblk (payload 8 << 40 bytes).
constexpr int MBLK_MAXCLASS = 40;

// Record kinds of xmem.  The numbers are fixed: the session's record
// copier and the class pools refer to them.
enum : int {
  XM_CHECK = 0,     // check declaration
  XM_CONSTR = 1,    // constraint or objective declaration
  XM_FUNCTION = 2,  // function declaration
  XM_PARAM = 3,     // param declaration
  XM_PROBLEM = 4,   // problem record
  XM_SETDCL = 5,    // set declaration, also the system sets
  XM_VAR = 6,       // var declaration
  XM_XENVIR = 7,    // named option environment
  XM_SUFFIX = 8,    // suffix declaration
  XM_TABLE = 9,     // table declaration
  N_XMEM_KINDS = 10
};

// Bytes of all recorded allocations.  Element 1 is the running total,
// record blocks included; element 0 is the mark that the timing report sets
// to element 1 whenever it reports (it prints the growth since then).
// Both are 0 after mem_reset.
extern double Malloced[2];
// The timing report's line: the bytes allocated since the last call, the
// mark then moved to the running total.
double malloced_since_mark();

// Whether p points into one of the chunks of the mem arena obtained since
// the last mem_reset (the records of mem and xmem and the small blocks of
// new_mblk live there).  Exact whatever the heap's layout: an address
// between two chunks, in memory from Malloc or plain malloc, on the stack
// or in code is not in the arena.
bool in_mem_arena(const void* p);

// Serial numbers of the block allocator: nalloc is the last serial given
// (grows by 2), nalloc_ovfl the generation (grows by 64 when nalloc wraps).
// quitting: bit 1 once a corrupted block argument was reported, bit 2 once
// a twice-freed block was; each is reported at most once per process.
// All three survive mem_reset.
extern uint32_t nalloc, nalloc_ovfl;
extern int quitting;

// n bytes from malloc, recorded; not zeroed.
void* Malloc(size_t n);
// Malloc for one large block that is filled at once (the member nodes of a
// set whose count is known): a block of 8 MiB and more asks for huge pages,
// so that its first filling costs a fault per 2 MiB, not per 4 KiB page.
void* Malloc_bulk(size_t n);
// The numbered arena: one range of address space (up to 64 GiB, no memory)
// reserved at its first use and kept for the process, handed out in order
// from its start, so that a record in it is reached from narena_base by a
// 32-bit count of 16-byte units.  The term pool (instance/varref.h) lives
// there.  Pages become memory as they are handed out and count in
// Malloced; mem_reset gives them back to the system and starts the arena
// again from its start.  Its first 16 bytes are never handed out, so that
// count 0 reaches nothing.
extern char* narena_base;
// The next n bytes of the numbered arena (n a multiple of 16), not zeroed.
// A full arena ends the session through Malloc_failure.
void* narena_take(size_t n);
// n bytes rounded up to a multiple of 8 from the zeroed arena.  mem(0)
// returns the current position without advancing.
void* mem(size_t n);
// Copy of s in the string arena.
char* tostring(const char* s);

// The least class whose payload (8 << k bytes) holds n bytes: 0 for n up to
// 8, else the least k >= 1 with 8 << k >= n.
int htcl(size_t n);
// Payload of a block of class k.  Zero-filled when zero is nonzero or when
// the block is a fresh one of at most 256 bytes (from the zeroed arena);
// otherwise it holds whatever it held.  A class above MBLK_MAXCLASS is a
// bug (ends the session).
void* new_mblk(int k, int zero = 0);
// Frees the block whose payload is p; the class in its header counts, k is
// not consulted.  A corrupted or already freed block is reported as a bug
// (ends the session) and left alone.
void del_mblk(int k, void* p);
// Class of the block whose payload is p, or -1 after reporting a corrupted
// argument as a bug.
int blkclass(const void* p);
// Moves n bytes of the block p (class k) into a fresh block of class knew
// (not zeroed), frees p and returns the new payload.
void* ext_mblk(int k, void* p, int knew, size_t n);

// A zero-filled record of the given kind, size bytes long.  Every record of
// a kind has the same size: the first call fixes it, and a later call with
// another size is a bug.
void* xmem(int kind, size_t size);
// Puts p back on its kind's free list.
void xmem_free(int kind, void* p);
// The record size of a kind, 0 before its first record.
size_t xmem_size(int kind);
// Typed form: a record type that lives in this pool must be trivially
// destructible, since mem_reset drops every record wholesale.
template <class T>
T* xmem(int kind) {
  static_assert(std::is_trivially_destructible_v<T>,
                "pool records are dropped by reset without destructors");
  return static_cast<T*>(xmem(kind, sizeof(T)));
}

// Poisoning of released records (sanitizer builds; nothing in the others).
// A record put back on a free list stays inside a live malloc chunk, where
// the address sanitizer would let a stale pointer read it unnoticed; so the
// pools mark it unreadable, but for the link word through which the free
// list reaches it, until it is handed out again.  Sizes are taken up to
// whole words: records sit at 8-byte boundaries, as the sanitizer's shadow
// does.
inline void pool_poison(const void* p, size_t n) {
#ifdef VEXO_ASAN
  ASAN_POISON_MEMORY_REGION(p, (n + 7) & ~size_t{7});
#else
  (void)p, (void)n;
#endif
}
inline void pool_unpoison(const void* p, size_t n) {
#ifdef VEXO_ASAN
  ASAN_UNPOISON_MEMORY_REGION(p, (n + 7) & ~size_t{7});
#else
  (void)p, (void)n;
#endif
}
// A record of n bytes at p that has just gone on a free list whose link
// is the word at link (inside the record): all but that word becomes
// unreadable.
inline void pool_release(const void* p, size_t n, const void* link) {
  pool_poison(p, n);
  pool_unpoison(link, sizeof(void*));
}
// The record of n bytes at p leaves its free list: readable again.
inline void pool_take(const void* p, size_t n) { pool_unpoison(p, n); }

// The hold of released records (sanitizer builds).  A free list hands out
// its newest record first, so a record released and read again later
// through a stale pointer has mostly been handed out again meanwhile, and
// the read finds a live record.  With the hold on, a released record waits
// wholly unreadable, its link included, in a queue of the latest releases
// (HOLD_RECORDS records, HOLD_BYTES bytes at most) before it goes on its
// free list, which then hands out only records released long before.
// process_setup turns it on for the program and the fuzz targets; the unit
// tests of the free lists' order run without it.  mem_reset empties the
// queue with the memory it holds.
//
// put is the list's own release step: it links the record at p on its
// free list (tag tells it which list, where a module has several).
using pool_put = void (*)(void* p, int tag);
constexpr size_t HOLD_RECORDS = size_t{1} << 16;
constexpr size_t HOLD_BYTES = size_t{64} << 20;
#ifdef VEXO_ASAN
void pool_hold_released(bool on);
bool pool_holding();
// Queues the record of n bytes at p (link: its link word) for put.
void pool_hold(void* p, size_t n, const void* link, pool_put put, int tag);
#else
inline void pool_hold_released(bool) {}
constexpr bool pool_holding() { return false; }
inline void pool_hold(void*, size_t, const void*, pool_put, int) {}
#endif
// The release of one record of n bytes at p: held when the hold is on,
// otherwise put on its list at once and poisoned but for its link.
inline void pool_free(void* p, size_t n, const void* link, pool_put put,
                      int tag = 0) {
  if (pool_holding()) return pool_hold(p, n, link, put, tag);
  put(p, tag);
  pool_release(p, n, link);
}
// The release of a chain of records of n bytes linked through their member
// next, from first to its end: held one by one when the hold is on;
// otherwise the chain goes in front of *head as it is, each record
// poisoned but for its link.  put (with tag) links one record on *head.
template <class T>
void pool_free_chain(T* first, T** head, size_t n, pool_put put,
                     int tag = 0) {
  if (pool_holding()) {
    while (first) {
      T* next = first->next;
      pool_hold(first, n, &first->next, put, tag);
      first = next;
    }
    return;
  }
  T* last = first;
  while (last->next) last = last->next;
  last->next = *head;
  *head = first;
  for (T* x = first; x != last->next; x = x->next)
    pool_release(x, n, &x->next);
}

// The release operation of record classes that live in these pools; it must
// never run.  Writes "Unexpected call of %s::delete!" and ends the session
// with code 1 at once.
[[noreturn]] void Dontcall(const char* classname);

// Element 1 of Malloced.
double mem_used();
// Reports exhausted memory (the size that could not be had) as a bug, which
// ends the session; called again while the session ends, it writes a short
// message and ends it with code 1.  Never returns.
[[noreturn]] void Malloc_failure(size_t n);

// The memory walk of `reset`: frees every recorded allocation and record
// block, empties the arenas, the block free lists and the record free
// lists, and sets Malloced to 0.  Every pointer into recorded memory is
// invalid afterwards; mymalloc_ZEF memory is untouched.
void mem_reset();

extern "C" {
// Plain malloc, not recorded; exhausted memory goes to Malloc_failure.
void* mymalloc_ZEF(size_t n);
}

}  // namespace vexo

#endif  // VEXO_SUPPORT_POOL_H
