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
