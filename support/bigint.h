// Arbitrary-precision unsigned integers for exact decimal conversion, with
// their private memory, and the tables shared by dtoa_r and Strtod.
//
// Records come in size classes: class k holds 2^k 32-bit limbs.  Classes 0
// to 7 are carved from a small static pool while it lasts and are recycled
// through one free list per class; larger ones come from the system
// allocator and go back to it.  Nothing here is thread-safe: the free lists,
// the pool and the cache of powers of five are process-wide and unlocked.
#ifndef VEXO_SUPPORT_BIGINT_H
#define VEXO_SUPPORT_BIGINT_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace vexo {

// One big integer: limbs least significant first, wds of them in use
// (wds == 0 or x[wds - 1] != 0, except that zero may be one zero limb).
struct bignum {
  bignum* next;    // free list or power-of-five chain
  int32_t k;       // size class
  int32_t maxwds;  // capacity in limbs, 2^k
  int32_t sign;    // 1 when diff found b > a
  int32_t wds;     // limbs in use
  uint32_t x[];    // 2^k limbs follow the header
};
static_assert(std::is_trivially_destructible_v<bignum>);
static_assert(offsetof(bignum, x) == 24);

// Classes with free lists and a place in the private pool.
constexpr int BIGNUM_KMAX = 7;
// Eight-byte words of the private pool.
constexpr int PRIVATE_MEM_WORDS = 288;

// Process-wide state of the layer: the free lists and the chain of cached
// powers 625, 625^2, 625^4, ... (made once, never freed).
struct dtoa_state {
  bignum* freelist[BIGNUM_KMAX + 1];
  bignum* p5s;
};
extern dtoa_state TI0;

// Allocation of the layer: the system allocator's block, or a message on
// Stderr and the end of the process with status 63 (no clean-up).
void* dtoamalloc(size_t n);

// A record of class k with wds and sign 0.
bignum* Balloc(int k);
// Back to its free list (class <= 7) or to the system allocator; null is
// allowed.
void Bfree(bignum* b);
// Copies the value (and sign) of src into dst, which must be large enough.
void Bcopy(bignum* dst, const bignum* src);

// A new record holding i.
bignum* i2b(uint32_t i);
// A new record holding v.
bignum* u64tob(uint64_t v);
// b * m + a in place; when the result outgrows b, b is freed and a larger
// record returned.
bignum* multadd(bignum* b, uint32_t m, uint32_t a);
// a * b in a new record; a and b are kept.
bignum* mult(const bignum* a, const bignum* b);
// b * 5^k; b is consumed (the result may be b itself).
bignum* pow5mult(bignum* b, int k);
// b * 2^n; b is consumed.
bignum* lshift(bignum* b, int n);
// -1, 0 or 1 as a < b, a == b, a > b.
int cmp(const bignum* a, const bignum* b);
// |a - b| in a new record, sign set when b > a.
bignum* diff(const bignum* a, const bignum* b);
// Quotient digit q = floor(b / S), b replaced by b - q * S.  Requires
// b < 10 * S and the top limb of S below 2^28 (see quorem_shift).
int quorem(bignum* b, const bignum* S);
// The left shift (0 to 31) that puts the top bit of S's top limb at bit 27,
// which quorem needs; apply it to S and to everything compared with it.
int quorem_shift(const bignum* S);
// True when b is zero.
inline bool is_zero(const bignum* b) {
  return b->wds == 0 || (b->wds == 1 && b->x[0] == 0);
}

// 10^k, k = -342 .. 324, to 96 bits rounded to nearest: 10^k is
// approximately (hi * 2^64 + mid * 2^32 + lo) * 2^e, with the top bit of hi
// set.  Exact for k = 0 .. 41.
struct pten_entry {
  uint32_t hi, mid, lo;
  int32_t e;
};
constexpr int PTEN_MIN = -342;
constexpr int PTEN_MAX = 324;
extern const pten_entry pten[PTEN_MAX - PTEN_MIN + 1];
inline const pten_entry& pten_of(int k) { return pten[k - PTEN_MIN]; }
inline bool pten_exact(int k) { return k >= 0 && k <= 41; }

// 10^0 .. 10^19.
extern const uint64_t ten_pow[20];

// Hexadecimal digit values plus 16: "0"-"9" give 16 to 25, "a"-"f" and
// "A"-"F" give 26 to 31, every other byte 0.
extern const unsigned char hexdig[256];

}  // namespace vexo

#endif  // VEXO_SUPPORT_BIGINT_H
