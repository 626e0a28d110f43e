// Big integers for exact decimal conversion, their private memory, and the
// tables shared by dtoa_r and Strtod.
#include "support/bigint.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/machine.h"

namespace vexo {

dtoa_state TI0;

// Records of classes 0 to 7 are carved from here first; never given back.
alignas(8) static unsigned char private_mem[PRIVATE_MEM_WORDS * 8];
static unsigned char* pmem_next = private_mem;

void* dtoamalloc(size_t n) {
  void* p = std::malloc(n);
  if (!p) {
    // The layer stands alone (the solver driver links it without the
    // message core), so the last words go straight to the error stream.
    FILE* f = Stderr ? Stderr : stderr;
    std::fputs("\nmalloc failure in dtoa!\n", f);
    std::fflush(f);
    _exit(63);
  }
  return p;
}

bignum* Balloc(int k) {
  bignum* rv;
  if (k <= BIGNUM_KMAX && (rv = TI0.freelist[k]) != nullptr) {
    TI0.freelist[k] = rv->next;
  } else {
    int32_t x = int32_t(1) << k;
    size_t bytes = (28 + 4 * size_t(x) + 7) / 8 * 8;
    if (k <= BIGNUM_KMAX &&
        size_t(private_mem + sizeof private_mem - pmem_next) >= bytes) {
      rv = reinterpret_cast<bignum*>(pmem_next);
      pmem_next += bytes;
    } else {
      rv = static_cast<bignum*>(dtoamalloc(bytes));
    }
    rv->k = k;
    rv->maxwds = x;
  }
  rv->sign = rv->wds = 0;
  return rv;
}

void Bfree(bignum* b) {
  if (!b) return;
  if (b->k > BIGNUM_KMAX) {
    std::free(b);
  } else {
    b->next = TI0.freelist[b->k];
    TI0.freelist[b->k] = b;
  }
}

void Bcopy(bignum* dst, const bignum* src) {
  dst->sign = src->sign;
  dst->wds = src->wds;
  std::memcpy(dst->x, src->x, size_t(src->wds) * sizeof(uint32_t));
}

// The least class holding n limbs.
static int class_for(int n) {
  int k = 0;
  while ((int32_t(1) << k) < n) k++;
  return k;
}

bignum* i2b(uint32_t i) {
  bignum* b = Balloc(1);
  b->x[0] = i;
  b->wds = 1;
  return b;
}

bignum* u64tob(uint64_t v) {
  bignum* b = Balloc(1);
  b->x[0] = uint32_t(v);
  b->x[1] = uint32_t(v >> 32);
  b->wds = b->x[1] ? 2 : 1;
  return b;
}

bignum* multadd(bignum* b, uint32_t m, uint32_t a) {
  int wds = b->wds;
  uint64_t carry = a;
  for (int i = 0; i < wds; i++) {
    uint64_t y = uint64_t(b->x[i]) * m + carry;
    b->x[i] = uint32_t(y);
    carry = y >> 32;
  }
  if (carry) {
    if (wds >= b->maxwds) {
      bignum* b1 = Balloc(b->k + 1);
      Bcopy(b1, b);
      Bfree(b);
      b = b1;
    }
    b->x[wds++] = uint32_t(carry);
    b->wds = wds;
  }
  return b;
}

bignum* mult(const bignum* a, const bignum* b) {
  if (a->wds < b->wds) {
    const bignum* t = a;
    a = b;
    b = t;
  }
  int wa = a->wds, wb = b->wds, wc = wa + wb;
  int k = a->k;
  if (wc > a->maxwds) k++;
  if (wc > (int32_t(1) << k)) k = class_for(wc);
  bignum* c = Balloc(k);
  uint32_t* xc = c->x;
  std::memset(xc, 0, size_t(wc) * sizeof(uint32_t));
  for (int j = 0; j < wb; j++) {
    uint64_t y = b->x[j];
    if (!y) continue;
    uint64_t carry = 0;
    uint32_t* xz = xc + j;
    for (int i = 0; i < wa; i++) {
      uint64_t z = a->x[i] * y + xz[i] + carry;
      xz[i] = uint32_t(z);
      carry = z >> 32;
    }
    xz[wa] = uint32_t(carry);
  }
  while (wc > 1 && !xc[wc - 1]) wc--;
  c->wds = wc;
  return c;
}

bignum* pow5mult(bignum* b, int k) {
  static const uint32_t p05[3] = {5, 25, 125};
  if (int i = k & 3) b = multadd(b, p05[i - 1], 0);
  k >>= 2;
  if (!k) return b;
  bignum* p5 = TI0.p5s;
  if (!p5) {
    p5 = TI0.p5s = i2b(625);
    p5->next = nullptr;
  }
  for (;;) {
    if (k & 1) {
      bignum* b1 = mult(b, p5);
      Bfree(b);
      b = b1;
    }
    if (!(k >>= 1)) break;
    bignum* p51 = p5->next;
    if (!p51) {
      p51 = p5->next = mult(p5, p5);
      p51->next = nullptr;
    }
    p5 = p51;
  }
  return b;
}

bignum* lshift(bignum* b, int n) {
  if (n <= 0) return b;
  int nw = n >> 5, nb = n & 31;
  int n1 = b->wds + nw + 1;
  int k = b->k;
  while (n1 > (int32_t(1) << k)) k++;
  bignum* b1 = Balloc(k);
  uint32_t* x1 = b1->x;
  for (int i = 0; i < nw; i++) x1[i] = 0;
  x1 += nw;
  const uint32_t* x = b->x;
  int wds = b->wds;
  if (nb) {
    uint32_t z = 0;
    for (int i = 0; i < wds; i++) {
      x1[i] = (x[i] << nb) | z;
      z = x[i] >> (32 - nb);
    }
    x1[wds] = z;
    if (!z) n1--;
  } else {
    for (int i = 0; i < wds; i++) x1[i] = x[i];
    n1--;
  }
  b1->wds = n1;
  Bfree(b);
  return b1;
}

int cmp(const bignum* a, const bignum* b) {
  int i = a->wds, j = b->wds;
  // Ignore high zero limbs so that any representation of zero compares
  // equal.
  while (i > 0 && !a->x[i - 1]) i--;
  while (j > 0 && !b->x[j - 1]) j--;
  if (i != j) return i < j ? -1 : 1;
  while (i-- > 0) {
    if (a->x[i] != b->x[i]) return a->x[i] < b->x[i] ? -1 : 1;
  }
  return 0;
}

bignum* diff(const bignum* a, const bignum* b) {
  int i = cmp(a, b);
  if (!i) {
    bignum* c = Balloc(0);
    c->wds = 1;
    c->x[0] = 0;
    return c;
  }
  int sign = 0;
  if (i < 0) {
    const bignum* t = a;
    a = b;
    b = t;
    sign = 1;
  }
  bignum* c = Balloc(a->k);
  c->sign = sign;
  int wa = a->wds, wb = b->wds;
  uint64_t borrow = 0;
  int j = 0;
  for (; j < wb; j++) {
    uint64_t y = uint64_t(a->x[j]) - b->x[j] - borrow;
    borrow = (y >> 32) & 1;
    c->x[j] = uint32_t(y);
  }
  for (; j < wa; j++) {
    uint64_t y = uint64_t(a->x[j]) - borrow;
    borrow = (y >> 32) & 1;
    c->x[j] = uint32_t(y);
  }
  while (wa > 1 && !c->x[wa - 1]) wa--;
  c->wds = wa;
  return c;
}

int quorem_shift(const bignum* S) {
  uint32_t top = S->x[S->wds - 1];
  int hb = 31 - __builtin_clz(top);  // index of the top bit
  return (27 - hb) & 31;
}

// b -= q * S (q * S <= b); trims b.
static void sub_mul(bignum* b, const bignum* S, uint32_t q) {
  int n = S->wds;
  uint64_t carry = 0, borrow = 0;
  for (int i = 0; i < n; i++) {
    uint64_t ys = uint64_t(S->x[i]) * q + carry;
    carry = ys >> 32;
    uint64_t y = uint64_t(b->x[i]) - uint32_t(ys) - borrow;
    borrow = (y >> 32) & 1;
    b->x[i] = uint32_t(y);
  }
  for (int i = n; i < b->wds && (carry || borrow); i++) {
    uint64_t y = uint64_t(b->x[i]) - carry - borrow;
    carry = 0;
    borrow = (y >> 32) & 1;
    b->x[i] = uint32_t(y);
  }
  int w = b->wds;
  while (w > 1 && !b->x[w - 1]) w--;
  b->wds = w;
}

int quorem(bignum* b, const bignum* S) {
  int n = S->wds;
  if (b->wds < n) return 0;
  // With S's top limb in [2^27, 2^28) and b < 10 S the estimate is at most
  // one short.
  uint32_t q = b->x[n - 1] / (S->x[n - 1] + 1);
  if (q) sub_mul(b, S, q);
  while (cmp(b, S) >= 0) {
    sub_mul(b, S, 1);
    q++;
  }
  return int(q);
}

const uint64_t ten_pow[20] = {1ull,
                              10ull,
                              100ull,
                              1000ull,
                              10000ull,
                              100000ull,
                              1000000ull,
                              10000000ull,
                              100000000ull,
                              1000000000ull,
                              10000000000ull,
                              100000000000ull,
                              1000000000000ull,
                              10000000000000ull,
                              100000000000000ull,
                              1000000000000000ull,
                              10000000000000000ull,
                              100000000000000000ull,
                              1000000000000000000ull,
                              10000000000000000000ull};

#define HX_(c)                                 \
  ((c) >= '0' && (c) <= '9'   ? (c) - '0' + 16 \
   : (c) >= 'a' && (c) <= 'f' ? (c) - 'a' + 26 \
   : (c) >= 'A' && (c) <= 'F' ? (c) - 'A' + 26 \
                              : 0)
#define HX4_(c) HX_(c), HX_(c + 1), HX_(c + 2), HX_(c + 3)
#define HX16_(c) HX4_(c), HX4_(c + 4), HX4_(c + 8), HX4_(c + 12)
#define HX64_(c) HX16_(c), HX16_(c + 16), HX16_(c + 32), HX16_(c + 48)
const unsigned char hexdig[256] = {HX64_(0), HX64_(64), HX64_(128), HX64_(192)};
#undef HX64_
#undef HX16_
#undef HX4_
#undef HX_

// 10^k to 96 bits, k = -342 .. 324, each rounded to nearest (an entry that
// rounded up to 2^96 is 2^95 with the exponent one higher).  No inexact
// entry has its low 43 bits all zero, so the 53-bit significand of a double
// never equals an inexact entry.
const pten_entry pten[PTEN_MAX - PTEN_MIN + 1] = {
    {0xeef453d6, 0x923bd65a, 0x113faa29, -1232},  // 1e-342
    {0x9558b466, 0x1b6565f8, 0x4ac7ca5a, -1228},  // 1e-341
    {0xbaaee17f, 0xa23ebf76, 0x5d79bcf0, -1225},  // 1e-340
    {0xe95a99df, 0x8ace6f53, 0xf4d82c2c, -1222},  // 1e-339
    {0x91d8a02b, 0xb6c10594, 0x79071b9c, -1218},  // 1e-338
    {0xb64ec836, 0xa47146f9, 0x9748e282, -1215},  // 1e-337
    {0xe3e27a44, 0x4d8d98b7, 0xfd1b1b23, -1212},  // 1e-336
    {0x8e6d8c6a, 0xb0787f72, 0xfe30f0f6, -1208},  // 1e-335
    {0xb208ef85, 0x5c969f4f, 0xbdbd2d33, -1205},  // 1e-334
    {0xde8b2b66, 0xb3bc4723, 0xad2c7880, -1202},  // 1e-333
    {0x8b16fb20, 0x3055ac76, 0x4c3bcb50, -1198},  // 1e-332
    {0xaddcb9e8, 0x3c6b1793, 0xdf4abe24, -1195},  // 1e-331
    {0xd953e862, 0x4b85dd78, 0xd71d6dad, -1192},  // 1e-330
    {0x87d4713d, 0x6f33aa6b, 0x8672648c, -1188},  // 1e-329
    {0xa9c98d8c, 0xcb009506, 0x680efdaf, -1185},  // 1e-328
    {0xd43bf0ef, 0xfdc0ba48, 0x0212bd1b, -1182},  // 1e-327
    {0x84a57695, 0xfe98746d, 0x014bb631, -1178},  // 1e-326
    {0xa5ced43b, 0x7e3e9188, 0x419ea3bd, -1175},  // 1e-325
    {0xcf42894a, 0x5dce35ea, 0x52064cad, -1172},  // 1e-324
    {0x818995ce, 0x7aa0e1b2, 0x7343efec, -1168},  // 1e-323
    {0xa1ebfb42, 0x19491a1f, 0x1014ebe7, -1165},  // 1e-322
    {0xca66fa12, 0x9f9b60a6, 0xd41a26e0, -1162},  // 1e-321
    {0xfd00b897, 0x478238d0, 0x8920b099, -1159},  // 1e-320
    {0x9e20735e, 0x8cb16382, 0x55b46e5f, -1155},  // 1e-319
    {0xc5a89036, 0x2fddbc62, 0xeb2189f7, -1152},  // 1e-318
    {0xf712b443, 0xbbd52b7b, 0xa5e9ec75, -1149},  // 1e-317
    {0x9a6bb0aa, 0x55653b2d, 0x47b233c9, -1145},  // 1e-316
    {0xc1069cd4, 0xeabe89f8, 0x999ec0bb, -1142},  // 1e-315
    {0xf148440a, 0x256e2c76, 0xc00670ea, -1139},  // 1e-314
    {0x96cd2a86, 0x5764dbca, 0x38040692, -1135},  // 1e-313
    {0xbc807527, 0xed3e12bc, 0xc6050837, -1132},  // 1e-312
    {0xeba09271, 0xe88d976b, 0xf7864a45, -1129},  // 1e-311
    {0x93445b87, 0x31587ea3, 0x7ab3ee6b, -1125},  // 1e-310
    {0xb8157268, 0xfdae9e4c, 0x5960ea06, -1122},  // 1e-309
    {0xe61acf03, 0x3d1a45df, 0x6fb92487, -1119},  // 1e-308
    {0x8fd0c162, 0x06306bab, 0xa5d3b6d4, -1115},  // 1e-307
    {0xb3c4f1ba, 0x87bc8696, 0x8f48a48a, -1112},  // 1e-306
    {0xe0b62e29, 0x29aba83c, 0x331acdac, -1109},  // 1e-305
    {0x8c71dcd9, 0xba0b4925, 0x9ff0c08b, -1105},  // 1e-304
    {0xaf8e5410, 0x288e1b6f, 0x07ecf0ae, -1102},  // 1e-303
    {0xdb71e914, 0x32b1a24a, 0xc9e82cda, -1099},  // 1e-302
    {0x892731ac, 0x9faf056e, 0xbe311c08, -1095},  // 1e-301
    {0xab70fe17, 0xc79ac6ca, 0x6dbd630a, -1092},  // 1e-300
    {0xd64d3d9d, 0xb981787d, 0x092cbbcd, -1089},  // 1e-299
    {0x85f04682, 0x93f0eb4e, 0x25bbf560, -1085},  // 1e-298
    {0xa76c5823, 0x38ed2621, 0xaf2af2b8, -1082},  // 1e-297
    {0xd1476e2c, 0x07286faa, 0x1af5af66, -1079},  // 1e-296
    {0x82cca4db, 0x847945ca, 0x50d98da0, -1075},  // 1e-295
    {0xa37fce12, 0x6597973c, 0xe50ff108, -1072},  // 1e-294
    {0xcc5fc196, 0xfefd7d0c, 0x1e53ed4a, -1069},  // 1e-293
    {0xff77b1fc, 0xbebcdc4f, 0x25e8e89c, -1066},  // 1e-292
    {0x9faacf3d, 0xf73609b1, 0x77b19162, -1062},  // 1e-291
    {0xc795830d, 0x75038c1d, 0xd59df5ba, -1059},  // 1e-290
    {0xf97ae3d0, 0xd2446f25, 0x4b057328, -1056},  // 1e-289
    {0x9becce62, 0x836ac577, 0x4ee367f9, -1052},  // 1e-288
    {0xc2e801fb, 0x244576d5, 0x229c41f8, -1049},  // 1e-287
    {0xf3a20279, 0xed56d48a, 0x6b435275, -1046},  // 1e-286
    {0x9845418c, 0x345644d6, 0x830a1389, -1042},  // 1e-285
    {0xbe5691ef, 0x416bd60c, 0x23cc986c, -1039},  // 1e-284
    {0xedec366b, 0x11c6cb8f, 0x2cbfbe87, -1036},  // 1e-283
    {0x94b3a202, 0xeb1c3f39, 0x7bf7d714, -1032},  // 1e-282
    {0xb9e08a83, 0xa5e34f07, 0xdaf5ccd9, -1029},  // 1e-281
    {0xe858ad24, 0x8f5c22c9, 0xd1b34010, -1026},  // 1e-280
    {0x91376c36, 0xd99995be, 0x2310080a, -1022},  // 1e-279
    {0xb5854744, 0x8ffffb2d, 0xabd40a0c, -1019},  // 1e-278
    {0xe2e69915, 0xb3fff9f9, 0x16c90c8f, -1016},  // 1e-277
    {0x8dd01fad, 0x907ffc3b, 0xae3da7d9, -1012},  // 1e-276
    {0xb1442798, 0xf49ffb4a, 0x99cd11d0, -1009},  // 1e-275
    {0xdd95317f, 0x31c7fa1d, 0x40405644, -1006},  // 1e-274
    {0x8a7d3eef, 0x7f1cfc52, 0x482835ea, -1002},  // 1e-273
    {0xad1c8eab, 0x5ee43b66, 0xda324365, -999},   // 1e-272
    {0xd863b256, 0x369d4a40, 0x90bed43e, -996},   // 1e-271
    {0x873e4f75, 0xe2224e68, 0x5a7744a7, -992},   // 1e-270
    {0xa90de353, 0x5aaae202, 0x711515d1, -989},   // 1e-269
    {0xd3515c28, 0x31559a83, 0x0d5a5b45, -986},   // 1e-268
    {0x8412d999, 0x1ed58091, 0xe858790b, -982},   // 1e-267
    {0xa5178fff, 0x668ae0b6, 0x626e974e, -979},   // 1e-266
    {0xce5d73ff, 0x402d98e3, 0xfb0a3d21, -976},   // 1e-265
    {0x80fa687f, 0x881c7f8e, 0x7ce66635, -972},   // 1e-264
    {0xa139029f, 0x6a239f72, 0x1c1fffc2, -969},   // 1e-263
    {0xc9874347, 0x44ac874e, 0xa327ffb2, -966},   // 1e-262
    {0xfbe91419, 0x15d7a922, 0x4bf1ff9f, -963},   // 1e-261
    {0x9d71ac8f, 0xada6c9b5, 0x6f773fc3, -959},   // 1e-260
    {0xc4ce17b3, 0x99107c22, 0xcb550fb4, -956},   // 1e-259
    {0xf6019da0, 0x7f549b2b, 0x7e2a53a1, -953},   // 1e-258
    {0x99c10284, 0x4f94e0fb, 0x2eda7445, -949},   // 1e-257
    {0xc0314325, 0x637a1939, 0xfa911156, -946},   // 1e-256
    {0xf03d93ee, 0xbc589f88, 0x793555ab, -943},   // 1e-255
    {0x96267c75, 0x35b763b5, 0x4bc1558b, -939},   // 1e-254
    {0xbbb01b92, 0x83253ca2, 0x9eb1aaee, -936},   // 1e-253
    {0xea9c2277, 0x23ee8bcb, 0x465e15a9, -933},   // 1e-252
    {0x92a1958a, 0x7675175f, 0x0bfacd8a, -929},   // 1e-251
    {0xb749faed, 0x14125d36, 0xcef980ec, -926},   // 1e-250
    {0xe51c79a8, 0x5916f484, 0x82b7e128, -923},   // 1e-249
    {0x8f31cc09, 0x37ae58d2, 0xd1b2ecb9, -919},   // 1e-248
    {0xb2fe3f0b, 0x8599ef07, 0x861fa7e7, -916},   // 1e-247
    {0xdfbdcece, 0x67006ac9, 0x67a791e1, -913},   // 1e-246
    {0x8bd6a141, 0x006042bd, 0xe0c8bb2c, -909},   // 1e-245
    {0xaecc4991, 0x4078536d, 0x58fae9f7, -906},   // 1e-244
    {0xda7f5bf5, 0x90966848, 0xaf39a475, -903},   // 1e-243
    {0x888f9979, 0x7a5e012d, 0x6d8406c9, -899},   // 1e-242
    {0xaab37fd7, 0xd8f58178, 0xc8e5087c, -896},   // 1e-241
    {0xd5605fcd, 0xcf32e1d6, 0xfb1e4a9b, -893},   // 1e-240
    {0x855c3be0, 0xa17fcd26, 0x5cf2eea1, -889},   // 1e-239
    {0xa6b34ad8, 0xc9dfc06f, 0xf42faa49, -886},   // 1e-238
    {0xd0601d8e, 0xfc57b08b, 0xf13b94db, -883},   // 1e-237
    {0x823c1279, 0x5db6ce57, 0x76c53d09, -879},   // 1e-236
    {0xa2cb1717, 0xb52481ed, 0x54768c4b, -876},   // 1e-235
    {0xcb7ddcdd, 0xa26da268, 0xa9942f5e, -873},   // 1e-234
    {0xfe5d5415, 0x0b090b02, 0xd3f93b35, -870},   // 1e-233
    {0x9efa548d, 0x26e5a6e1, 0xc47bc501, -866},   // 1e-232
    {0xc6b8e9b0, 0x709f109a, 0x359ab642, -863},   // 1e-231
    {0xf867241c, 0x8cc6d4c0, 0xc30163d2, -860},   // 1e-230
    {0x9b407691, 0xd7fc44f8, 0x79e0de63, -856},   // 1e-229
    {0xc2109436, 0x4dfb5636, 0x985915fc, -853},   // 1e-228
    {0xf294b943, 0xe17a2bc4, 0x3e6f5b7b, -850},   // 1e-227
    {0x979cf3ca, 0x6cec5b5a, 0xa705992d, -846},   // 1e-226
    {0xbd8430bd, 0x08277231, 0x50c6ff78, -843},   // 1e-225
    {0xece53cec, 0x4a314ebd, 0xa4f8bf56, -840},   // 1e-224
    {0x940f4613, 0xae5ed136, 0x871b7796, -836},   // 1e-223
    {0xb9131798, 0x99f68584, 0x28e2557b, -833},   // 1e-222
    {0xe757dd7e, 0xc07426e5, 0x331aeada, -830},   // 1e-221
    {0x9096ea6f, 0x3848984f, 0x3ff0d2c8, -826},   // 1e-220
    {0xb4bca50b, 0x065abe63, 0x0fed077a, -823},   // 1e-219
    {0xe1ebce4d, 0xc7f16dfb, 0xd3e84959, -820},   // 1e-218
    {0x8d3360f0, 0x9cf6e4bd, 0x64712dd8, -816},   // 1e-217
    {0xb080392c, 0xc4349dec, 0xbd8d794e, -813},   // 1e-216
    {0xdca04777, 0xf541c567, 0xecf0d7a1, -810},   // 1e-215
    {0x89e42caa, 0xf9491b60, 0xf41686c5, -806},   // 1e-214
    {0xac5d37d5, 0xb79b6239, 0x311c2876, -803},   // 1e-213
    {0xd77485cb, 0x25823ac7, 0x7d633293, -800},   // 1e-212
    {0x86a8d39e, 0xf77164bc, 0xae5dff9c, -796},   // 1e-211
    {0xa8530886, 0xb54dbdeb, 0xd9f57f83, -793},   // 1e-210
    {0xd267caa8, 0x62a12d66, 0xd072df64, -790},   // 1e-209
    {0x8380dea9, 0x3da4bc60, 0x4247cb9e, -786},   // 1e-208
    {0xa4611653, 0x8d0deb78, 0x52d9be86, -783},   // 1e-207
    {0xcd795be8, 0x70516656, 0x67902e27, -780},   // 1e-206
    {0x806bd971, 0x4632dff6, 0x00ba1cd9, -776},   // 1e-205
    {0xa086cfcd, 0x97bf97f3, 0x80e8a40f, -773},   // 1e-204
    {0xc8a883c0, 0xfdaf7df0, 0x6122cd13, -770},   // 1e-203
    {0xfad2a4b1, 0x3d1b5d6c, 0x796b8057, -767},   // 1e-202
    {0x9cc3a6ee, 0xc6311a63, 0xcbe33036, -763},   // 1e-201
    {0xc3f490aa, 0x77bd60fc, 0xbedbfc44, -760},   // 1e-200
    {0xf4f1b4d5, 0x15acb93b, 0xee92fb55, -757},   // 1e-199
    {0x99171105, 0x2d8bf3c5, 0x751bdd15, -753},   // 1e-198
    {0xbf5cd546, 0x78eef0b6, 0xd262d45a, -750},   // 1e-197
    {0xef340a98, 0x172aace4, 0x86fb8971, -747},   // 1e-196
    {0x9580869f, 0x0e7aac0e, 0xd45d35e7, -743},   // 1e-195
    {0xbae0a846, 0xd2195712, 0x89748360, -740},   // 1e-194
    {0xe998d258, 0x869facd7, 0x2bd1a438, -737},   // 1e-193
    {0x91ff8377, 0x5423cc06, 0x7b6306a3, -733},   // 1e-192
    {0xb67f6455, 0x292cbf08, 0x1a3bc84c, -730},   // 1e-191
    {0xe41f3d6a, 0x7377eeca, 0x20caba5f, -727},   // 1e-190
    {0x8e938662, 0x882af53e, 0x547eb47b, -723},   // 1e-189
    {0xb23867fb, 0x2a35b28d, 0xe99e619a, -720},   // 1e-188
    {0xdec681f9, 0xf4c31f31, 0x6405fa01, -717},   // 1e-187
    {0x8b3c113c, 0x38f9f37e, 0xde83bc41, -713},   // 1e-186
    {0xae0b158b, 0x4738705e, 0x9624ab51, -710},   // 1e-185
    {0xd98ddaee, 0x19068c76, 0x3badd625, -707},   // 1e-184
    {0x87f8a8d4, 0xcfa417c9, 0xe54ca5d7, -703},   // 1e-183
    {0xa9f6d30a, 0x038d1dbc, 0x5e9fcf4d, -700},   // 1e-182
    {0xd47487cc, 0x8470652b, 0x7647c320, -697},   // 1e-181
    {0x84c8d4df, 0xd2c63f3b, 0x29ecd9f4, -693},   // 1e-180
    {0xa5fb0a17, 0xc777cf09, 0xf4681071, -690},   // 1e-179
    {0xcf79cc9d, 0xb955c2cc, 0x7182148d, -687},   // 1e-178
    {0x81ac1fe2, 0x93d599bf, 0xc6f14cd8, -683},   // 1e-177
    {0xa21727db, 0x38cb002f, 0xb8ada00e, -680},   // 1e-176
    {0xca9cf1d2, 0x06fdc03b, 0xa6d90812, -677},   // 1e-175
    {0xfd442e46, 0x88bd304a, 0x908f4a16, -674},   // 1e-174
    {0x9e4a9cec, 0x15763e2e, 0x9a598e4e, -670},   // 1e-173
    {0xc5dd4427, 0x1ad3cdba, 0x40eff1e2, -667},   // 1e-172
    {0xf7549530, 0xe188c128, 0xd12bee5a, -664},   // 1e-171
    {0x9a94dd3e, 0x8cf578b9, 0x82bb74f8, -660},   // 1e-170
    {0xc13a148e, 0x3032d6e7, 0xe36a5236, -657},   // 1e-169
    {0xf18899b1, 0xbc3f8ca1, 0xdc44e6c4, -654},   // 1e-168
    {0x96f5600f, 0x15a7b7e5, 0x29ab103a, -650},   // 1e-167
    {0xbcb2b812, 0xdb11a5de, 0x7415d449, -647},   // 1e-166
    {0xebdf6617, 0x91d60f56, 0x111b495b, -644},   // 1e-165
    {0x936b9fce, 0xbb25c995, 0xcab10dd9, -640},   // 1e-164
    {0xb84687c2, 0x69ef3bfb, 0x3d5d514f, -637},   // 1e-163
    {0xe65829b3, 0x046b0afa, 0x0cb4a5a3, -634},   // 1e-162
    {0x8ff71a0f, 0xe2c2e6dc, 0x47f0e786, -630},   // 1e-161
    {0xb3f4e093, 0xdb73a093, 0x59ed2167, -627},   // 1e-160
    {0xe0f218b8, 0xd25088b8, 0x306869c1, -624},   // 1e-159
    {0x8c974f73, 0x83725573, 0x1e414219, -620},   // 1e-158
    {0xafbd2350, 0x644eeacf, 0xe5d1929f, -617},   // 1e-157
    {0xdbac6c24, 0x7d62a583, 0xdf45f747, -614},   // 1e-156
    {0x894bc396, 0xce5da772, 0x6b8bba8c, -610},   // 1e-155
    {0xab9eb47c, 0x81f5114f, 0x066ea92f, -607},   // 1e-154
    {0xd686619b, 0xa27255a2, 0xc80a537b, -604},   // 1e-153
    {0x8613fd01, 0x45877585, 0xbd06742d, -600},   // 1e-152
    {0xa798fc41, 0x96e952e7, 0x2c481138, -597},   // 1e-151
    {0xd17f3b51, 0xfca3a7a0, 0xf75a1586, -594},   // 1e-150
    {0x82ef8513, 0x3de648c4, 0x9a984d74, -590},   // 1e-149
    {0xa3ab6658, 0x0d5fdaf5, 0xc13e60d1, -587},   // 1e-148
    {0xcc963fee, 0x10b7d1b3, 0x318df905, -584},   // 1e-147
    {0xffbbcfe9, 0x94e5c61f, 0xfdf17746, -581},   // 1e-146
    {0x9fd561f1, 0xfd0f9bd3, 0xfeb6ea8c, -577},   // 1e-145
    {0xc7caba6e, 0x7c5382c8, 0xfe64a52f, -574},   // 1e-144
    {0xf9bd690a, 0x1b68637b, 0x3dfdce7b, -571},   // 1e-143
    {0x9c1661a6, 0x51213e2d, 0x06bea10d, -567},   // 1e-142
    {0xc31bfa0f, 0xe5698db8, 0x486e4950, -564},   // 1e-141
    {0xf3e2f893, 0xdec3f126, 0x5a89dba4, -561},   // 1e-140
    {0x986ddb5c, 0x6b3a76b7, 0xf8962946, -557},   // 1e-139
    {0xbe895233, 0x86091465, 0xf6bbb398, -554},   // 1e-138
    {0xee2ba6c0, 0x678b597f, 0x746aa07e, -551},   // 1e-137
    {0x94db4838, 0x40b717ef, 0xa8c2a44f, -547},   // 1e-136
    {0xba121a46, 0x50e4ddeb, 0x92f34d62, -544},   // 1e-135
    {0xe896a0d7, 0xe51e1566, 0x77b020bb, -541},   // 1e-134
    {0x915e2486, 0xef32cd60, 0x0ace1475, -537},   // 1e-133
    {0xb5b5ada8, 0xaaff80b8, 0x0d819992, -534},   // 1e-132
    {0xe3231912, 0xd5bf60e6, 0x10e1fff7, -531},   // 1e-131
    {0x8df5efab, 0xc5979c8f, 0xca8d3ffa, -527},   // 1e-130
    {0xb1736b96, 0xb6fd83b3, 0xbd308ff9, -524},   // 1e-129
    {0xddd0467c, 0x64bce4a0, 0xac7cb3f7, -521},   // 1e-128
    {0x8aa22c0d, 0xbef60ee4, 0x6bcdf07a, -517},   // 1e-127
    {0xad4ab711, 0x2eb3929d, 0x86c16c99, -514},   // 1e-126
    {0xd89d64d5, 0x7a607744, 0xe871c7bf, -511},   // 1e-125
    {0x87625f05, 0x6c7c4a8b, 0x11471cd7, -507},   // 1e-124
    {0xa93af6c6, 0xc79b5d2d, 0xd598e40d, -504},   // 1e-123
    {0xd389b478, 0x79823479, 0x4aff1d11, -501},   // 1e-122
    {0x843610cb, 0x4bf160cb, 0xcedf722a, -497},   // 1e-121
    {0xa54394fe, 0x1eedb8fe, 0xc2974eb5, -494},   // 1e-120
    {0xce947a3d, 0xa6a9273e, 0x733d2262, -491},   // 1e-119
    {0x811ccc66, 0x8829b887, 0x0806357d, -487},   // 1e-118
    {0xa163ff80, 0x2a3426a8, 0xca07c2dd, -484},   // 1e-117
    {0xc9bcff60, 0x34c13052, 0xfc89b394, -481},   // 1e-116
    {0xfc2c3f38, 0x41f17c67, 0xbbac2079, -478},   // 1e-115
    {0x9d9ba783, 0x2936edc0, 0xd54b944c, -474},   // 1e-114
    {0xc5029163, 0xf384a931, 0x0a9e795e, -471},   // 1e-113
    {0xf64335bc, 0xf065d37d, 0x4d4617b6, -468},   // 1e-112
    {0x99ea0196, 0x163fa42e, 0x504bced2, -464},   // 1e-111
    {0xc06481fb, 0x9bcf8d39, 0xe45ec286, -461},   // 1e-110
    {0xf07da27a, 0x82c37088, 0x5d767328, -458},   // 1e-109
    {0x964e858c, 0x91ba2655, 0x3a6a07f9, -454},   // 1e-108
    {0xbbe226ef, 0xb628afea, 0x890489f7, -451},   // 1e-107
    {0xeadab0ab, 0xa3b2dbe5, 0x2b45ac75, -448},   // 1e-106
    {0x92c8ae6b, 0x464fc96f, 0x3b0b8bc9, -444},   // 1e-105
    {0xb77ada06, 0x17e3bbcb, 0x09ce6ebb, -441},   // 1e-104
    {0xe5599087, 0x9ddcaabd, 0xcc420a6a, -438},   // 1e-103
    {0x8f57fa54, 0xc2a9eab6, 0x9fa94682, -434},   // 1e-102
    {0xb32df8e9, 0xf3546564, 0x47939823, -431},   // 1e-101
    {0xdff97724, 0x70297ebd, 0x59787e2c, -428},   // 1e-100
    {0x8bfbea76, 0xc619ef36, 0x57eb4edb, -424},   // 1e-99
    {0xaefae514, 0x77a06b03, 0xede62292, -421},   // 1e-98
    {0xdab99e59, 0x958885c4, 0xe95fab37, -418},   // 1e-97
    {0x88b402f7, 0xfd75539b, 0x11dbcb02, -414},   // 1e-96
    {0xaae103b5, 0xfcd2a881, 0xd652bdc3, -411},   // 1e-95
    {0xd59944a3, 0x7c0752a2, 0x4be76d33, -408},   // 1e-94
    {0x857fcae6, 0x2d8493a5, 0x6f70a440, -404},   // 1e-93
    {0xa6dfbd9f, 0xb8e5b88e, 0xcb4ccd50, -401},   // 1e-92
    {0xd097ad07, 0xa71f26b2, 0x7e2000a4, -398},   // 1e-91
    {0x825ecc24, 0xc873782f, 0x8ed40067, -394},   // 1e-90
    {0xa2f67f2d, 0xfa90563b, 0x72890080, -391},   // 1e-89
    {0xcbb41ef9, 0x79346bca, 0x4f2b40a0, -388},   // 1e-88
    {0xfea126b7, 0xd78186bc, 0xe2f610c8, -385},   // 1e-87
    {0x9f24b832, 0xe6b0f436, 0x0dd9ca7d, -381},   // 1e-86
    {0xc6ede63f, 0xa05d3143, 0x91503d1c, -378},   // 1e-85
    {0xf8a95fcf, 0x88747d94, 0x75a44c64, -375},   // 1e-84
    {0x9b69dbe1, 0xb548ce7c, 0xc986afbe, -371},   // 1e-83
    {0xc24452da, 0x229b021b, 0xfbe85bae, -368},   // 1e-82
    {0xf2d56790, 0xab41c2a2, 0xfae27299, -365},   // 1e-81
    {0x97c560ba, 0x6b0919a5, 0xdccd87a0, -361},   // 1e-80
    {0xbdb6b8e9, 0x05cb600f, 0x5400e988, -358},   // 1e-79
    {0xed246723, 0x473e3813, 0x290123ea, -355},   // 1e-78
    {0x9436c076, 0x0c86e30b, 0xf9a0b672, -351},   // 1e-77
    {0xb9447093, 0x8fa89bce, 0xf808e40f, -348},   // 1e-76
    {0xe7958cb8, 0x7392c2c2, 0xb60b1d12, -345},   // 1e-75
    {0x90bd77f3, 0x483bb9b9, 0xb1c6f22b, -341},   // 1e-74
    {0xb4ecd5f0, 0x1a4aa828, 0x1e38aeb6, -338},   // 1e-73
    {0xe2280b6c, 0x20dd5232, 0x25c6da64, -335},   // 1e-72
    {0x8d590723, 0x948a535f, 0x579c487e, -331},   // 1e-71
    {0xb0af48ec, 0x79ace837, 0x2d835a9e, -328},   // 1e-70
    {0xdcdb1b27, 0x98182244, 0xf8e43145, -325},   // 1e-69
    {0x8a08f0f8, 0xbf0f156b, 0x1b8e9ecb, -321},   // 1e-68
    {0xac8b2d36, 0xeed2dac5, 0xe272467e, -318},   // 1e-67
    {0xd7adf884, 0xaa879177, 0x5b0ed81e, -315},   // 1e-66
    {0x86ccbb52, 0xea94baea, 0x98e94713, -311},   // 1e-65
    {0xa87fea27, 0xa539e9a5, 0x3f2398d7, -308},   // 1e-64
    {0xd29fe4b1, 0x8e88640e, 0x8eec7f0d, -305},   // 1e-63
    {0x83a3eeee, 0xf9153e89, 0x1953cf68, -301},   // 1e-62
    {0xa48ceaaa, 0xb75a8e2b, 0x5fa8c342, -298},   // 1e-61
    {0xcdb02555, 0x653131b6, 0x3792f413, -295},   // 1e-60
    {0x808e1755, 0x5f3ebf11, 0xe2bbd88c, -291},   // 1e-59
    {0xa0b19d2a, 0xb70e6ed6, 0x5b6aceaf, -288},   // 1e-58
    {0xc8de0475, 0x64d20a8b, 0xf245825a, -285},   // 1e-57
    {0xfb158592, 0xbe068d2e, 0xeed6e2f1, -282},   // 1e-56
    {0x9ced737b, 0xb6c4183d, 0x55464dd7, -278},   // 1e-55
    {0xc428d05a, 0xa4751e4c, 0xaa97e14c, -275},   // 1e-54
    {0xf5330471, 0x4d9265df, 0xd53dd99f, -272},   // 1e-53
    {0x993fe2c6, 0xd07b7fab, 0xe546a804, -268},   // 1e-52
    {0xbf8fdb78, 0x849a5f96, 0xde985204, -265},   // 1e-51
    {0xef73d256, 0xa5c0f77c, 0x963e6686, -262},   // 1e-50
    {0x95a86376, 0x27989aad, 0xdde70013, -258},   // 1e-49
    {0xbb127c53, 0xb17ec159, 0x5560c018, -255},   // 1e-48
    {0xe9d71b68, 0x9dde71af, 0xaab8f01e, -252},   // 1e-47
    {0x92267121, 0x62ab070d, 0xcab39613, -248},   // 1e-46
    {0xb6b00d69, 0xbb55c8d1, 0x3d607b98, -245},   // 1e-45
    {0xe45c10c4, 0x2a2b3b05, 0x8cb89a7e, -242},   // 1e-44
    {0x8eb98a7a, 0x9a5b04e3, 0x77f3608f, -238},   // 1e-43
    {0xb267ed19, 0x40f1c61c, 0x55f038b2, -235},   // 1e-42
    {0xdf01e85f, 0x912e37a3, 0x6b6c46df, -232},   // 1e-41
    {0x8b61313b, 0xbabce2c6, 0x2323ac4b, -228},   // 1e-40
    {0xae397d8a, 0xa96c1b77, 0xabec975e, -225},   // 1e-39
    {0xd9c7dced, 0x53c72255, 0x96e7bd36, -222},   // 1e-38
    {0x881cea14, 0x545c7575, 0x7e50d641, -218},   // 1e-37
    {0xaa242499, 0x697392d2, 0xdde50bd2, -215},   // 1e-36
    {0xd4ad2dbf, 0xc3d07787, 0x955e4ec6, -212},   // 1e-35
    {0x84ec3c97, 0xda624ab4, 0xbd5af13c, -208},   // 1e-34
    {0xa6274bbd, 0xd0fadd61, 0xecb1ad8b, -205},   // 1e-33
    {0xcfb11ead, 0x453994ba, 0x67de18ee, -202},   // 1e-32
    {0x81ceb32c, 0x4b43fcf4, 0x80eacf95, -198},   // 1e-31
    {0xa2425ff7, 0x5e14fc31, 0xa125837a, -195},   // 1e-30
    {0xcad2f7f5, 0x359a3b3e, 0x096ee458, -192},   // 1e-29
    {0xfd87b5f2, 0x8300ca0d, 0x8bca9d6e, -189},   // 1e-28
    {0x9e74d1b7, 0x91e07e48, 0x775ea265, -185},   // 1e-27
    {0xc6120625, 0x76589dda, 0x95364afe, -182},   // 1e-26
    {0xf79687ae, 0xd3eec551, 0x3a83ddbe, -179},   // 1e-25
    {0x9abe14cd, 0x44753b52, 0xc4926a96, -175},   // 1e-24
    {0xc16d9a00, 0x95928a27, 0x75b7053c, -172},   // 1e-23
    {0xf1c90080, 0xbaf72cb1, 0x5324c68b, -169},   // 1e-22
    {0x971da050, 0x74da7bee, 0xd3f6fc17, -165},   // 1e-21
    {0xbce50864, 0x92111aea, 0x88f4bb1d, -162},   // 1e-20
    {0xec1e4a7d, 0xb69561a5, 0x2b31e9e4, -159},   // 1e-19
    {0x9392ee8e, 0x921d5d07, 0x3aff322e, -155},   // 1e-18
    {0xb877aa32, 0x36a4b449, 0x09befeba, -152},   // 1e-17
    {0xe69594be, 0xc44de15b, 0x4c2ebe68, -149},   // 1e-16
    {0x901d7cf7, 0x3ab0acd9, 0x0f9d3701, -145},   // 1e-15
    {0xb424dc35, 0x095cd80f, 0x538484c2, -142},   // 1e-14
    {0xe12e1342, 0x4bb40e13, 0x2865a5f2, -139},   // 1e-13
    {0x8cbccc09, 0x6f5088cb, 0xf93f87b7, -135},   // 1e-12
    {0xafebff0b, 0xcb24aafe, 0xf78f69a5, -132},   // 1e-11
    {0xdbe6fece, 0xbdedd5be, 0xb573440e, -129},   // 1e-10
    {0x89705f41, 0x36b4a597, 0x31680a89, -125},   // 1e-9
    {0xabcc7711, 0x8461cefc, 0xfdc20d2b, -122},   // 1e-8
    {0xd6bf94d5, 0xe57a42bc, 0x3d329076, -119},   // 1e-7
    {0x8637bd05, 0xaf6c69b5, 0xa63f9a4a, -115},   // 1e-6
    {0xa7c5ac47, 0x1b478423, 0x0fcf80dc, -112},   // 1e-5
    {0xd1b71758, 0xe219652b, 0xd3c36113, -109},   // 1e-4
    {0x83126e97, 0x8d4fdf3b, 0x645a1cac, -105},   // 1e-3
    {0xa3d70a3d, 0x70a3d70a, 0x3d70a3d7, -102},   // 1e-2
    {0xcccccccc, 0xcccccccc, 0xcccccccd, -99},    // 1e-1
    {0x80000000, 0x00000000, 0x00000000, -95},    // 1e0
    {0xa0000000, 0x00000000, 0x00000000, -92},    // 1e1
    {0xc8000000, 0x00000000, 0x00000000, -89},    // 1e2
    {0xfa000000, 0x00000000, 0x00000000, -86},    // 1e3
    {0x9c400000, 0x00000000, 0x00000000, -82},    // 1e4
    {0xc3500000, 0x00000000, 0x00000000, -79},    // 1e5
    {0xf4240000, 0x00000000, 0x00000000, -76},    // 1e6
    {0x98968000, 0x00000000, 0x00000000, -72},    // 1e7
    {0xbebc2000, 0x00000000, 0x00000000, -69},    // 1e8
    {0xee6b2800, 0x00000000, 0x00000000, -66},    // 1e9
    {0x9502f900, 0x00000000, 0x00000000, -62},    // 1e10
    {0xba43b740, 0x00000000, 0x00000000, -59},    // 1e11
    {0xe8d4a510, 0x00000000, 0x00000000, -56},    // 1e12
    {0x9184e72a, 0x00000000, 0x00000000, -52},    // 1e13
    {0xb5e620f4, 0x80000000, 0x00000000, -49},    // 1e14
    {0xe35fa931, 0xa0000000, 0x00000000, -46},    // 1e15
    {0x8e1bc9bf, 0x04000000, 0x00000000, -42},    // 1e16
    {0xb1a2bc2e, 0xc5000000, 0x00000000, -39},    // 1e17
    {0xde0b6b3a, 0x76400000, 0x00000000, -36},    // 1e18
    {0x8ac72304, 0x89e80000, 0x00000000, -32},    // 1e19
    {0xad78ebc5, 0xac620000, 0x00000000, -29},    // 1e20
    {0xd8d726b7, 0x177a8000, 0x00000000, -26},    // 1e21
    {0x87867832, 0x6eac9000, 0x00000000, -22},    // 1e22
    {0xa968163f, 0x0a57b400, 0x00000000, -19},    // 1e23
    {0xd3c21bce, 0xcceda100, 0x00000000, -16},    // 1e24
    {0x84595161, 0x401484a0, 0x00000000, -12},    // 1e25
    {0xa56fa5b9, 0x9019a5c8, 0x00000000, -9},     // 1e26
    {0xcecb8f27, 0xf4200f3a, 0x00000000, -6},     // 1e27
    {0x813f3978, 0xf8940984, 0x40000000, -2},     // 1e28
    {0xa18f07d7, 0x36b90be5, 0x50000000, 1},      // 1e29
    {0xc9f2c9cd, 0x04674ede, 0xa4000000, 4},      // 1e30
    {0xfc6f7c40, 0x45812296, 0x4d000000, 7},      // 1e31
    {0x9dc5ada8, 0x2b70b59d, 0xf0200000, 11},     // 1e32
    {0xc5371912, 0x364ce305, 0x6c280000, 14},     // 1e33
    {0xf684df56, 0xc3e01bc6, 0xc7320000, 17},     // 1e34
    {0x9a130b96, 0x3a6c115c, 0x3c7f4000, 21},     // 1e35
    {0xc097ce7b, 0xc90715b3, 0x4b9f1000, 24},     // 1e36
    {0xf0bdc21a, 0xbb48db20, 0x1e86d400, 27},     // 1e37
    {0x96769950, 0xb50d88f4, 0x13144480, 31},     // 1e38
    {0xbc143fa4, 0xe250eb31, 0x17d955a0, 34},     // 1e39
    {0xeb194f8e, 0x1ae525fd, 0x5dcfab08, 37},     // 1e40
    {0x92efd1b8, 0xd0cf37be, 0x5aa1cae5, 41},     // 1e41
    {0xb7abc627, 0x050305ad, 0xf14a3d9e, 44},     // 1e42
    {0xe596b7b0, 0xc643c719, 0x6d9ccd06, 47},     // 1e43
    {0x8f7e32ce, 0x7bea5c6f, 0xe4820024, 51},     // 1e44
    {0xb35dbf82, 0x1ae4f38b, 0xdda2802d, 54},     // 1e45
    {0xe0352f62, 0xa19e306e, 0xd50b2038, 57},     // 1e46
    {0x8c213d9d, 0xa502de45, 0x4526f423, 61},     // 1e47
    {0xaf298d05, 0x0e4395d6, 0x9670b12b, 64},     // 1e48
    {0xdaf3f046, 0x51d47b4c, 0x3c0cdd76, 67},     // 1e49
    {0x88d8762b, 0xf324cd0f, 0xa5880a6a, 71},     // 1e50
    {0xab0e93b6, 0xefee0053, 0x8eea0d04, 74},     // 1e51
    {0xd5d238a4, 0xabe98068, 0x72a49046, 77},     // 1e52
    {0x85a36366, 0xeb71f041, 0x47a6da2b, 81},     // 1e53
    {0xa70c3c40, 0xa64e6c51, 0x999090b6, 84},     // 1e54
    {0xd0cf4b50, 0xcfe20765, 0xfff4b4e4, 87},     // 1e55
    {0x82818f12, 0x81ed449f, 0xbff8f10e, 91},     // 1e56
    {0xa321f2d7, 0x226895c7, 0xaff72d52, 94},     // 1e57
    {0xcbea6f8c, 0xeb02bb39, 0x9bf4f8a7, 97},     // 1e58
    {0xfee50b70, 0x25c36a08, 0x02f236d0, 100},    // 1e59
    {0x9f4f2726, 0x179a2245, 0x01d76242, 104},    // 1e60
    {0xc722f0ef, 0x9d80aad6, 0x424d3ad3, 107},    // 1e61
    {0xf8ebad2b, 0x84e0d58b, 0xd2e08987, 110},    // 1e62
    {0x9b934c3b, 0x330c8577, 0x63cc55f5, 114},    // 1e63
    {0xc2781f49, 0xffcfa6d5, 0x3cbf6b72, 117},    // 1e64
    {0xf316271c, 0x7fc3908a, 0x8bef464e, 120},    // 1e65
    {0x97edd871, 0xcfda3a56, 0x97758bf1, 124},    // 1e66
    {0xbde94e8e, 0x43d0c8ec, 0x3d52eeed, 127},    // 1e67
    {0xed63a231, 0xd4c4fb27, 0x4ca7aaa8, 130},    // 1e68
    {0x945e455f, 0x24fb1cf8, 0x8fe8caa9, 134},    // 1e69
    {0xb975d6b6, 0xee39e436, 0xb3e2fd54, 137},    // 1e70
    {0xe7d34c64, 0xa9c85d44, 0x60dbbca8, 140},    // 1e71
    {0x90e40fbe, 0xea1d3a4a, 0xbc8955e9, 144},    // 1e72
    {0xb51d13ae, 0xa4a488dd, 0x6babab64, 147},    // 1e73
    {0xe264589a, 0x4dcdab14, 0xc696963c, 150},    // 1e74
    {0x8d7eb760, 0x70a08aec, 0xfc1e1de6, 154},    // 1e75
    {0xb0de6538, 0x8cc8ada8, 0x3b25a55f, 157},    // 1e76
    {0xdd15fe86, 0xaffad912, 0x49ef0eb7, 160},    // 1e77
    {0x8a2dbf14, 0x2dfcc7ab, 0x6e356932, 164},    // 1e78
    {0xacb92ed9, 0x397bf996, 0x49c2c37f, 167},    // 1e79
    {0xd7e77a8f, 0x87daf7fb, 0xdc33745f, 170},    // 1e80
    {0x86f0ac99, 0xb4e8dafd, 0x69a028bb, 174},    // 1e81
    {0xa8acd7c0, 0x222311bc, 0xc40832ea, 177},    // 1e82
    {0xd2d80db0, 0x2aabd62b, 0xf50a3fa5, 180},    // 1e83
    {0x83c7088e, 0x1aab65db, 0x792667c7, 184},    // 1e84
    {0xa4b8cab1, 0xa1563f52, 0x577001b9, 187},    // 1e85
    {0xcde6fd5e, 0x09abcf26, 0xed4c0227, 190},    // 1e86
    {0x80b05e5a, 0xc60b6178, 0x544f8158, 194},    // 1e87
    {0xa0dc75f1, 0x778e39d6, 0x696361ae, 197},    // 1e88
    {0xc913936d, 0xd571c84c, 0x03bc3a1a, 200},    // 1e89
    {0xfb587849, 0x4ace3a5f, 0x04ab48a0, 203},    // 1e90
    {0x9d174b2d, 0xcec0e47b, 0x62eb0d64, 207},    // 1e91
    {0xc45d1df9, 0x42711d9a, 0x3ba5d0bd, 210},    // 1e92
    {0xf5746577, 0x930d6500, 0xca8f44ec, 213},    // 1e93
    {0x9968bf6a, 0xbbe85f20, 0x7e998b14, 217},    // 1e94
    {0xbfc2ef45, 0x6ae276e8, 0x9e3fedd9, 220},    // 1e95
    {0xefb3ab16, 0xc59b14a2, 0xc5cfe94f, 223},    // 1e96
    {0x95d04aee, 0x3b80ece5, 0xbba1f1d1, 227},    // 1e97
    {0xbb445da9, 0xca61281f, 0x2a8a6e46, 230},    // 1e98
    {0xea157514, 0x3cf97226, 0xf52d09d7, 233},    // 1e99
    {0x924d692c, 0xa61be758, 0x593c2626, 237},    // 1e100
    {0xb6e0c377, 0xcfa2e12e, 0x6f8b2fb0, 240},    // 1e101
    {0xe498f455, 0xc38b997a, 0x0b6dfb9c, 243},    // 1e102
    {0x8edf98b5, 0x9a373fec, 0x4724bd42, 247},    // 1e103
    {0xb2977ee3, 0x00c50fe7, 0x58edec92, 250},    // 1e104
    {0xdf3d5e9b, 0xc0f653e1, 0x2f2967b6, 253},    // 1e105
    {0x8b865b21, 0x5899f46c, 0xbd79e0d2, 257},    // 1e106
    {0xae67f1e9, 0xaec07187, 0xecd85907, 260},    // 1e107
    {0xda01ee64, 0x1a708de9, 0xe80e6f48, 263},    // 1e108
    {0x884134fe, 0x908658b2, 0x3109058d, 267},    // 1e109
    {0xaa51823e, 0x34a7eede, 0xbd4b46f0, 270},    // 1e110
    {0xd4e5e2cd, 0xc1d1ea96, 0x6c9e18ac, 273},    // 1e111
    {0x850fadc0, 0x9923329e, 0x03e2cf6c, 277},    // 1e112
    {0xa6539930, 0xbf6bff45, 0x84db8347, 280},    // 1e113
    {0xcfe87f7c, 0xef46ff16, 0xe6126418, 283},    // 1e114
    {0x81f14fae, 0x158c5f6e, 0x4fcb7e8f, 287},    // 1e115
    {0xa26da399, 0x9aef7749, 0xe3be5e33, 290},    // 1e116
    {0xcb090c80, 0x01ab551c, 0x5cadf5c0, 293},    // 1e117
    {0xfdcb4fa0, 0x02162a63, 0x73d97330, 296},    // 1e118
    {0x9e9f11c4, 0x014dda7e, 0x2867e7fe, 300},    // 1e119
    {0xc646d635, 0x01a1511d, 0xb281e1fd, 303},    // 1e120
    {0xf7d88bc2, 0x4209a565, 0x1f225a7d, 306},    // 1e121
    {0x9ae75759, 0x6946075f, 0x3375788e, 310},    // 1e122
    {0xc1a12d2f, 0xc3978937, 0x0052d6b1, 313},    // 1e123
    {0xf209787b, 0xb47d6b84, 0xc0678c5e, 316},    // 1e124
    {0x9745eb4d, 0x50ce6332, 0xf840b7bb, 320},    // 1e125
    {0xbd176620, 0xa501fbff, 0xb650e5a9, 323},    // 1e126
    {0xec5d3fa8, 0xce427aff, 0xa3e51f14, 326},    // 1e127
    {0x93ba47c9, 0x80e98cdf, 0xc66f336c, 330},    // 1e128
    {0xb8a8d9bb, 0xe123f017, 0xb80b0047, 333},    // 1e129
    {0xe6d3102a, 0xd96cec1d, 0xa60dc059, 336},    // 1e130
    {0x9043ea1a, 0xc7e41392, 0x87c89838, 340},    // 1e131
    {0xb454e4a1, 0x79dd1877, 0x29babe46, 343},    // 1e132
    {0xe16a1dc9, 0xd8545e94, 0xf4296dd7, 346},    // 1e133
    {0x8ce2529e, 0x2734bb1d, 0x1899e4a6, 350},    // 1e134
    {0xb01ae745, 0xb101e9e4, 0x5ec05dd0, 353},    // 1e135
    {0xdc21a117, 0x1d42645d, 0x76707544, 356},    // 1e136
    {0x899504ae, 0x72497eba, 0x6a06494a, 360},    // 1e137
    {0xabfa45da, 0x0edbde69, 0x0487db9d, 363},    // 1e138
    {0xd6f8d750, 0x9292d603, 0x45a9d284, 366},    // 1e139
    {0x865b8692, 0x5b9bc5c2, 0x0b8a2393, 370},    // 1e140
    {0xa7f26836, 0xf282b732, 0x8e6cac77, 373},    // 1e141
    {0xd1ef0244, 0xaf2364ff, 0x3207d795, 376},    // 1e142
    {0x8335616a, 0xed761f1f, 0x7f44e6bd, 380},    // 1e143
    {0xa402b9c5, 0xa8d3a6e7, 0x5f16206d, 383},    // 1e144
    {0xcd036837, 0x130890a1, 0x36dba888, 386},    // 1e145
    {0x80222122, 0x6be55a64, 0xc2494955, 390},    // 1e146
    {0xa02aa96b, 0x06deb0fd, 0xf2db9baa, 393},    // 1e147
    {0xc83553c5, 0xc8965d3d, 0x6f928295, 396},    // 1e148
    {0xfa42a8b7, 0x3abbf48c, 0xcb77233a, 399},    // 1e149
    {0x9c69a972, 0x84b578d7, 0xff2a7604, 403},    // 1e150
    {0xc38413cf, 0x25e2d70d, 0xfef51385, 406},    // 1e151
    {0xf46518c2, 0xef5b8cd1, 0x7eb25866, 409},    // 1e152
    {0x98bf2f79, 0xd5993802, 0xef2f7740, 413},    // 1e153
    {0xbeeefb58, 0x4aff8603, 0xaafb5510, 416},    // 1e154
    {0xeeaaba2e, 0x5dbf6784, 0x95ba2a54, 419},    // 1e155
    {0x952ab45c, 0xfa97a0b2, 0xdd945a74, 423},    // 1e156
    {0xba756174, 0x393d88df, 0x94f97112, 426},    // 1e157
    {0xe912b9d1, 0x478ceb17, 0x7a37cd56, 429},    // 1e158
    {0x91abb422, 0xccb812ee, 0xac62e056, 433},    // 1e159
    {0xb616a12b, 0x7fe617aa, 0x577b986b, 436},    // 1e160
    {0xe39c4976, 0x5fdf9d94, 0xed5a7e86, 439},    // 1e161
    {0x8e41ade9, 0xfbebc27d, 0x14588f14, 443},    // 1e162
    {0xb1d21964, 0x7ae6b31c, 0x596eb2d9, 446},    // 1e163
    {0xde469fbd, 0x99a05fe3, 0x6fca5f8f, 449},    // 1e164
    {0x8aec23d6, 0x80043bee, 0x25de7bb9, 453},    // 1e165
    {0xada72ccc, 0x20054ae9, 0xaf561aa8, 456},    // 1e166
    {0xd910f7ff, 0x28069da4, 0x1b2ba152, 459},    // 1e167
    {0x87aa9aff, 0x79042286, 0x90fb44d3, 463},    // 1e168
    {0xa99541bf, 0x57452b28, 0x353a1608, 466},    // 1e169
    {0xd3fa922f, 0x2d1675f2, 0x42889b8a, 469},    // 1e170
    {0x847c9b5d, 0x7c2e09b7, 0x69956136, 473},    // 1e171
    {0xa59bc234, 0xdb398c25, 0x43fab983, 476},    // 1e172
    {0xcf02b2c2, 0x1207ef2e, 0x94f967e4, 479},    // 1e173
    {0x8161afb9, 0x4b44f57d, 0x1d1be0ef, 483},    // 1e174
    {0xa1ba1ba7, 0x9e1632dc, 0x6462d92a, 486},    // 1e175
    {0xca28a291, 0x859bbf93, 0x7d7b8f75, 489},    // 1e176
    {0xfcb2cb35, 0xe702af78, 0x5cda7352, 492},    // 1e177
    {0x9defbf01, 0xb061adab, 0x3a088813, 496},    // 1e178
    {0xc56baec2, 0x1c7a1916, 0x088aaa18, 499},    // 1e179
    {0xf6c69a72, 0xa3989f5b, 0x8aad549e, 502},    // 1e180
    {0x9a3c2087, 0xa63f6399, 0x36ac54e3, 506},    // 1e181
    {0xc0cb28a9, 0x8fcf3c7f, 0x84576a1c, 509},    // 1e182
    {0xf0fdf2d3, 0xf3c30b9f, 0x656d44a3, 512},    // 1e183
    {0x969eb7c4, 0x7859e743, 0x9f644ae6, 516},    // 1e184
    {0xbc4665b5, 0x96706114, 0x873d5d9f, 519},    // 1e185
    {0xeb57ff22, 0xfc0c7959, 0xa90cb507, 522},    // 1e186
    {0x9316ff75, 0xdd87cbd8, 0x09a7f124, 526},    // 1e187
    {0xb7dcbf53, 0x54e9bece, 0x0c11ed6d, 529},    // 1e188
    {0xe5d3ef28, 0x2a242e81, 0x8f1668c9, 532},    // 1e189
    {0x8fa47579, 0x1a569d10, 0xf96e017d, 536},    // 1e190
    {0xb38d92d7, 0x60ec4455, 0x37c981dd, 539},    // 1e191
    {0xe070f78d, 0x3927556a, 0x85bbe254, 542},    // 1e192
    {0x8c469ab8, 0x43b89562, 0x93956d74, 546},    // 1e193
    {0xaf584166, 0x54a6babb, 0x387ac8d2, 549},    // 1e194
    {0xdb2e51bf, 0xe9d0696a, 0x06997b06, 552},    // 1e195
    {0x88fcf317, 0xf22241e2, 0x441fece4, 556},    // 1e196
    {0xab3c2fdd, 0xeeaad25a, 0xd527e81d, 559},    // 1e197
    {0xd60b3bd5, 0x6a5586f1, 0x8a71e224, 562},    // 1e198
    {0x85c70565, 0x62757456, 0xf6872d56, 566},    // 1e199
    {0xa738c6be, 0xbb12d16c, 0xb428f8ac, 569},    // 1e200
    {0xd106f86e, 0x69d785c7, 0xe13336d7, 572},    // 1e201
    {0x82a45b45, 0x0226b39c, 0xecc00246, 576},    // 1e202
    {0xa34d7216, 0x42b06084, 0x27f002d8, 579},    // 1e203
    {0xcc20ce9b, 0xd35c78a5, 0x31ec038e, 582},    // 1e204
    {0xff290242, 0xc83396ce, 0x7e670471, 585},    // 1e205
    {0x9f79a169, 0xbd203e41, 0x0f0062c7, 589},    // 1e206
    {0xc75809c4, 0x2c684dd1, 0x52c07b79, 592},    // 1e207
    {0xf92e0c35, 0x37826145, 0xa7709a57, 595},    // 1e208
    {0x9bbcc7a1, 0x42b17ccb, 0x88a66076, 599},    // 1e209
    {0xc2abf989, 0x935ddbfe, 0x6acff894, 602},    // 1e210
    {0xf356f7eb, 0xf83552fe, 0x0583f6b9, 605},    // 1e211
    {0x98165af3, 0x7b2153de, 0xc3727a33, 609},    // 1e212
    {0xbe1bf1b0, 0x59e9a8d6, 0x744f18c0, 612},    // 1e213
    {0xeda2ee1c, 0x7064130c, 0x1162def0, 615},    // 1e214
    {0x9485d4d1, 0xc63e8be7, 0x8addcb56, 619},    // 1e215
    {0xb9a74a06, 0x37ce2ee1, 0x6d953e2c, 622},    // 1e216
    {0xe8111c87, 0xc5c1ba99, 0xc8fa8db7, 625},    // 1e217
    {0x910ab1d4, 0xdb9914a0, 0x1d9c9892, 629},    // 1e218
    {0xb54d5e4a, 0x127f59c8, 0x2503beb7, 632},    // 1e219
    {0xe2a0b5dc, 0x971f303a, 0x2e44ae65, 635},    // 1e220
    {0x8da471a9, 0xde737e24, 0x5ceaecff, 639},    // 1e221
    {0xb10d8e14, 0x56105dad, 0x7425a83f, 642},    // 1e222
    {0xdd50f199, 0x6b947518, 0xd12f124e, 645},    // 1e223
    {0x8a5296ff, 0xe33cc92f, 0x82bd6b71, 649},    // 1e224
    {0xace73cbf, 0xdc0bfb7b, 0x636cc64d, 652},    // 1e225
    {0xd8210bef, 0xd30efa5a, 0x3c47f7e0, 655},    // 1e226
    {0x8714a775, 0xe3e95c78, 0x65acfaec, 659},    // 1e227
    {0xa8d9d153, 0x5ce3b396, 0x7f1839a7, 662},    // 1e228
    {0xd31045a8, 0x341ca07c, 0x1ede4811, 665},    // 1e229
    {0x83ea2b89, 0x2091e44d, 0x934aed0b, 669},    // 1e230
    {0xa4e4b66b, 0x68b65d60, 0xf81da84d, 672},    // 1e231
    {0xce1de406, 0x42e3f4b9, 0x36251261, 675},    // 1e232
    {0x80d2ae83, 0xe9ce78f3, 0xc1d72b7c, 679},    // 1e233
    {0xa1075a24, 0xe4421730, 0xb24cf65c, 682},    // 1e234
    {0xc94930ae, 0x1d529cfc, 0xdee033f2, 685},    // 1e235
    {0xfb9b7cd9, 0xa4a7443c, 0x169840ef, 688},    // 1e236
    {0x9d412e08, 0x06e88aa5, 0x8e1f2895, 692},    // 1e237
    {0xc491798a, 0x08a2ad4e, 0xf1a6f2bb, 695},    // 1e238
    {0xf5b5d7ec, 0x8acb58a2, 0xae10af69, 698},    // 1e239
    {0x9991a6f3, 0xd6bf1765, 0xacca6da2, 702},    // 1e240
    {0xbff610b0, 0xcc6edd3f, 0x17fd090a, 705},    // 1e241
    {0xeff394dc, 0xff8a948e, 0xddfc4b4d, 708},    // 1e242
    {0x95f83d0a, 0x1fb69cd9, 0x4abdaf10, 712},    // 1e243
    {0xbb764c4c, 0xa7a4440f, 0x9d6d1ad4, 715},    // 1e244
    {0xea53df5f, 0xd18d5513, 0x84c86189, 718},    // 1e245
    {0x92746b9b, 0xe2f8552c, 0x32fd3cf6, 722},    // 1e246
    {0xb7118682, 0xdbb66a77, 0x3fbc8c33, 725},    // 1e247
    {0xe4d5e823, 0x92a40515, 0x0fabaf40, 728},    // 1e248
    {0x8f05b116, 0x3ba6832d, 0x29cb4d88, 732},    // 1e249
    {0xb2c71d5b, 0xca9023f8, 0x743e20ea, 735},    // 1e250
    {0xdf78e4b2, 0xbd342cf6, 0x914da924, 738},    // 1e251
    {0x8bab8eef, 0xb6409c1a, 0x1ad089b7, 742},    // 1e252
    {0xae9672ab, 0xa3d0c320, 0xa184ac24, 745},    // 1e253
    {0xda3c0f56, 0x8cc4f3e8, 0xc9e5d72e, 748},    // 1e254
    {0x88658996, 0x17fb1871, 0x7e2fa67c, 752},    // 1e255
    {0xaa7eebfb, 0x9df9de8d, 0xddbb901c, 755},    // 1e256
    {0xd51ea6fa, 0x85785631, 0x552a7422, 758},    // 1e257
    {0x8533285c, 0x936b35de, 0xd53a8896, 762},    // 1e258
    {0xa67ff273, 0xb8460356, 0x8a892abb, 765},    // 1e259
    {0xd01fef10, 0xa657842c, 0x2d2b756a, 768},    // 1e260
    {0x8213f56a, 0x67f6b29b, 0x9c3b2962, 772},    // 1e261
    {0xa298f2c5, 0x01f45f42, 0x8349f3bb, 775},    // 1e262
    {0xcb3f2f76, 0x42717713, 0x241c70a9, 778},    // 1e263
    {0xfe0efb53, 0xd30dd4d7, 0xed238cd4, 781},    // 1e264
    {0x9ec95d14, 0x63e8a506, 0xf4363804, 785},    // 1e265
    {0xc67bb459, 0x7ce2ce48, 0xb143c605, 788},    // 1e266
    {0xf81aa16f, 0xdc1b81da, 0xdd94b787, 791},    // 1e267
    {0x9b10a4e5, 0xe9913128, 0xca7cf2b4, 795},    // 1e268
    {0xc1d4ce1f, 0x63f57d72, 0xfd1c2f61, 798},    // 1e269
    {0xf24a01a7, 0x3cf2dccf, 0xbc633b39, 801},    // 1e270
    {0x976e4108, 0x8617ca01, 0xd5be0504, 805},    // 1e271
    {0xbd49d14a, 0xa79dbc82, 0x4b2d8645, 808},    // 1e272
    {0xec9c459d, 0x51852ba2, 0xddf8e7d6, 811},    // 1e273
    {0x93e1ab82, 0x52f33b45, 0xcabb90e6, 815},    // 1e274
    {0xb8da1662, 0xe7b00a17, 0x3d6a751f, 818},    // 1e275
    {0xe7109bfb, 0xa19c0c9d, 0x0cc51267, 821},    // 1e276
    {0x906a617d, 0x450187e2, 0x27fb2b80, 825},    // 1e277
    {0xb484f9dc, 0x9641e9da, 0xb1f9f661, 828},    // 1e278
    {0xe1a63853, 0xbbd26451, 0x5e7873f9, 831},    // 1e279
    {0x8d07e334, 0x55637eb2, 0xdb0b487b, 835},    // 1e280
    {0xb049dc01, 0x6abc5e5f, 0x91ce1a9a, 838},    // 1e281
    {0xdc5c5301, 0xc56b75f7, 0x7641a141, 841},    // 1e282
    {0x89b9b3e1, 0x1b6329ba, 0xa9e904c8, 845},    // 1e283
    {0xac2820d9, 0x623bf429, 0x546345fb, 848},    // 1e284
    {0xd732290f, 0xbacaf133, 0xa97c1779, 851},    // 1e285
    {0x867f59a9, 0xd4bed6c0, 0x49ed8eac, 855},    // 1e286
    {0xa81f3014, 0x49ee8c70, 0x5c68f257, 858},    // 1e287
    {0xd226fc19, 0x5c6a2f8c, 0x73832eec, 861},    // 1e288
    {0x83585d8f, 0xd9c25db7, 0xc831fd54, 865},    // 1e289
    {0xa42e74f3, 0xd032f525, 0xba3e7ca9, 868},    // 1e290
    {0xcd3a1230, 0xc43fb26f, 0x28ce1bd3, 871},    // 1e291
    {0x80444b5e, 0x7aa7cf85, 0x7980d164, 875},    // 1e292
    {0xa0555e36, 0x1951c366, 0xd7e105bd, 878},    // 1e293
    {0xc86ab5c3, 0x9fa63440, 0x8dd9472c, 881},    // 1e294
    {0xfa856334, 0x878fc150, 0xb14f98f7, 884},    // 1e295
    {0x9c935e00, 0xd4b9d8d2, 0x6ed1bf9a, 888},    // 1e296
    {0xc3b83581, 0x09e84f07, 0x0a862f81, 891},    // 1e297
    {0xf4a642e1, 0x4c6262c8, 0xcd27bb61, 894},    // 1e298
    {0x98e7e9cc, 0xcfbd7dbd, 0x8038d51d, 898},    // 1e299
    {0xbf21e440, 0x03acdd2c, 0xe0470a64, 901},    // 1e300
    {0xeeea5d50, 0x04981478, 0x1858ccfd, 904},    // 1e301
    {0x95527a52, 0x02df0ccb, 0x0f37801e, 908},    // 1e302
    {0xbaa718e6, 0x8396cffd, 0xd3056026, 911},    // 1e303
    {0xe950df20, 0x247c83fd, 0x47c6b82f, 914},    // 1e304
    {0x91d28b74, 0x16cdd27e, 0x4cdc331d, 918},    // 1e305
    {0xb6472e51, 0x1c81471d, 0xe0133fe5, 921},    // 1e306
    {0xe3d8f9e5, 0x63a198e5, 0x58180fde, 924},    // 1e307
    {0x8e679c2f, 0x5e44ff8f, 0x570f09eb, 928},    // 1e308
    {0xb201833b, 0x35d63f73, 0x2cd2cc65, 931},    // 1e309
    {0xde81e40a, 0x034bcf4f, 0xf8077f7f, 934},    // 1e310
    {0x8b112e86, 0x420f6191, 0xfb04afaf, 938},    // 1e311
    {0xadd57a27, 0xd29339f6, 0x79c5db9b, 941},    // 1e312
    {0xd94ad8b1, 0xc7380874, 0x18375282, 944},    // 1e313
    {0x87cec76f, 0x1c830548, 0x8f229391, 948},    // 1e314
    {0xa9c2794a, 0xe3a3c69a, 0xb2eb3875, 951},    // 1e315
    {0xd433179d, 0x9c8cb841, 0x5fa60693, 954},    // 1e316
    {0x849feec2, 0x81d7f328, 0xdbc7c41c, 958},    // 1e317
    {0xa5c7ea73, 0x224deff3, 0x12b9b523, 961},    // 1e318
    {0xcf39e50f, 0xeae16bef, 0xd768226b, 964},    // 1e319
    {0x81842f29, 0xf2cce375, 0xe6a11583, 968},    // 1e320
    {0xa1e53af4, 0x6f801c53, 0x60495ae4, 971},    // 1e321
    {0xca5e89b1, 0x8b602368, 0x385bb19d, 974},    // 1e322
    {0xfcf62c1d, 0xee382c42, 0x46729e04, 977},    // 1e323
    {0x9e19db92, 0xb4e31ba9, 0x6c07a2c2, 981},    // 1e324
};

}  // namespace vexo
