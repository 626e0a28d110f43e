// Interned names and numbers: the tables symhash and numhash, the
// small-integer cache, the literal normaliser litfix and _hashstats.
#include "support/symbol.h"

#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

#include "support/format.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/text.h"

namespace vexo {

kind_head REAL = {nullptr, 1};
symtab symhash, numhash;
symbol** small_ints;
double qNaN = std::bit_cast<double>(uint64_t{0xfff8000000000000});
int numsym_prec;

void set_numsym_prec(int n) { numsym_prec = n; }
unsigned char symchars[256];

constexpr int TAB_K0 = 13;  // 8192 buckets
constexpr uint64_t EXP_BITS = 0x7ff0000000000000;
constexpr uint64_t FRAC_BITS = 0x000fffffffffffff;

static inline uint32_t str_hash(const char* s) {
  uint32_t h = 0;
  for (; *s; ++s) h = 31 * h + static_cast<unsigned char>(*s);
  return h;
}

// The bits mixed through two multiplies, the high halves folded down: an
// integral double has its low word zero and its varying bits high in the
// fraction, which a single multiply would leave out of the low bits the
// mask keeps.
static inline uint32_t num_hash(uint64_t bits) {
  uint64_t h = bits ^ (bits >> 33);
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  return static_cast<uint32_t>(h);
}

static inline uint64_t dbits(double x) { return std::bit_cast<uint64_t>(x); }

static void tab_init(symtab& t, const char* name) {
  t.k = TAB_K0;
  t.mask = (1u << TAB_K0) - 1;
  t.count = 0;
  t.name = name;
  t.buckets = static_cast<symbol**>(new_mblk(TAB_K0, 1));
}

void symbol_reset() {
  constexpr size_t nslots = SMALL_INT_END - SMALL_INT_MIN + 1;
  small_ints = static_cast<symbol**>(Malloc(nslots * sizeof(symbol*)));
  std::memset(small_ints, 0, nslots * sizeof(symbol*));
  tab_init(symhash, "symhash");
  tab_init(numhash, "numhash");
  for (int c = 0; c < 256; ++c) {
    unsigned char v = 0;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
        (c >= '0' && c <= '9') || c == '_' || c >= 128)
      v = 4;
    else if (c == '+' || c == '-' || c == '.')
      v = 1;
    symchars[c] = v;
  }
}

// Doubles the table.  Each old chain is reversed and its entries pushed in
// that order onto the heads of their new buckets, so entries that share a
// new bucket keep their relative order; no symbol moves.
static void grow(symtab& t, bool numbers) {
  symbol** old = t.buckets;
  uint32_t nold = t.mask + 1;
  int kold = t.k;
  t.k = kold + 1;
  t.buckets = static_cast<symbol**>(new_mblk(t.k, 1));
  t.mask = 2 * t.mask + 1;
  for (uint32_t i = 0; i < nold; ++i) {
    symbol* r = nullptr;
    for (symbol* s = old[i]; s;) {
      symbol* nx = s->next;
      s->next = r;
      r = s;
      s = nx;
    }
    while (r) {
      symbol* nx = r->next;
      uint32_t h = numbers ? num_hash(dbits(r->value)) : str_hash(r->name);
      symbol** hp = &t.buckets[h & t.mask];
      r->next = *hp;
      *hp = r;
      r = nx;
    }
  }
  del_mblk(kold, old);
}

// Links a new entry s at the head of its chain *hp in t; a table that
// reaches one entry per bucket doubles.
static void link_entry(symtab& t, symbol** hp, symbol* s, bool numbers) {
  s->next = *hp;
  *hp = s;
  if (++t.count > t.mask) grow(t, numbers);
}

symbol* Symbol0(const char* name) {
  for (symbol* s = symhash.buckets[str_hash(name) & symhash.mask]; s;
       s = s->next)
    if (!std::strcmp(s->name, name)) return s;
  return nullptr;
}

extern "C" symbol* Symbol(const char* name, int copy) {
  symbol** hp = &symhash.buckets[str_hash(name) & symhash.mask];
  for (symbol* s = *hp; s; s = s->next)
    if (!std::strcmp(s->name, name)) return s;
  // Name symbols use no value field, but take it all the same: a dummy's
  // node holds its name in the routine slot until compiled, and ee_of reads
  // what that slot points to as far as an expression record's node word
  // (the field's place), which then stays inside the symbol and never
  // matches a node.
  symbol* s = static_cast<symbol*>(mem(sizeof(symbol)));
  s->name = copy ? tostring(name) : name;
  link_entry(symhash, hp, s, false);
  return s;
}

// A new number symbol of x (not linked anywhere yet).
static symbol* new_number(double x, const char* name) {
  symbol* s = static_cast<symbol*>(mem(sizeof(symbol)));
  s->binding = &REAL;
  s->name = tostring(name);
  s->value = x;
  return s;
}

// The cache slot of a small integer n, filled when empty.
static symbol** small_slot(int n) {
  symbol** slot = &small_ints[n - SMALL_INT_MIN];
  if (!*slot) {
    char buf[16];
    Sprintf(buf, "%d", n);
    *slot = new_number(n, buf);  // -0 arrives here as 0
  }
  return slot;
}

// The shortest text of an integer x below 2^53 in magnitude whose last
// digit is not 0, written at the end of buf (which ends at end): plain
// notation, since its digits are all significant and the exponent form
// would be longer.  Null for any other x, which needs the general
// formatter.
static char* integer_text(double x, char* end) {
  constexpr double EXACT = 9007199254740992.0;  // 2^53
  if (!(x > -EXACT && x < EXACT) || x != std::trunc(x)) return nullptr;
  uint64_t n = static_cast<uint64_t>(x < 0 ? -x : x);
  if (n % 10 == 0) return nullptr;
  char* p = end;
  *--p = 0;
  do *--p = static_cast<char>('0' + n % 10);
  while ((n /= 10) != 0);
  if (x < 0) *--p = '-';
  return p;
}

static symbol* new_nonsmall(double x) {
  // Up to 43 characters at precision 36; numsym_prec is kept in 0..36 by
  // the command line, and clamped here so the buffer always suffices.
  char buf[48];
  int prec = numsym_prec < 0 ? 0 : numsym_prec > 36 ? 36 : numsym_prec;
  if (prec == 0)
    if (const char* t = integer_text(x, buf + sizeof buf))
      return new_number(x, t);
  g_fmt(buf, x, prec);
  return new_number(x, buf);
}

// True when x is a small integer, n then holding it.
static inline bool small_int(double x, int& n) {
  if (x >= SMALL_INT_MIN && x < SMALL_INT_END) {
    n = static_cast<int>(x);
    return n == x;
  }
  return false;
}

// All NaNs are interned as qNaN.
static inline uint64_t key_bits(double& x) {
  uint64_t b = dbits(x);
  if ((b & EXP_BITS) == EXP_BITS && (b & FRAC_BITS)) {
    x = qNaN;
    b = dbits(qNaN);
  }
  return b;
}

symbol* Number(double x) {
  int n;
  if (small_int(x, n)) return *small_slot(n);
  uint64_t b = key_bits(x);
  symbol** hp = &numhash.buckets[num_hash(b) & numhash.mask];
  for (symbol* s = *hp; s; s = s->next)
    if (dbits(s->value) == b) return s;
  symbol* s = new_nonsmall(x);
  link_entry(numhash, hp, s, true);
  return s;
}

symbol** pNumber(double x) {
  int n;
  if (small_int(x, n)) return small_slot(n);
  uint64_t b = key_bits(x);
  // Equal values have equal bits here: -0 and NaN never get this far
  // unfolded.
  symbol** pp = &numhash.buckets[num_hash(b) & numhash.mask];
  for (; *pp; pp = &(*pp)->next)
    if (dbits((*pp)->value) == b) return pp;
  // New: counted, the table grown first when full (so that many numbers
  // made here keep the chains short), then put at the tail of its chain.
  if (numhash.count + 1 > numhash.mask) {
    grow(numhash, true);
    for (pp = &numhash.buckets[num_hash(b) & numhash.mask]; *pp;
         pp = &(*pp)->next) {
    }
  }
  *pp = new_nonsmall(x);
  ++numhash.count;
  return pp;
}

char* litfix(char* s) {
  const char q = s[0];
  char* c = s + 1;
  while (symchars[static_cast<unsigned char>(*c)]) ++c;
  if (*c == q && c[1] != q) {
    // The whole content is name characters.
    *c = 0;
    if (c > s + 1 && s[1] != '.' && !valid_param(s + 1, 1)) return s + 1;
    if (q == '"') s[0] = '\'';
    *c = s[0];
    return s;
  }
  int nsq = 0, ndq = 0;
  for (c = s + 1; *c; ++c) {
    if (*c == q) {
      if (c[1] != q) break;
      ++c;
    }
    if (*c == '\'')
      ++nsq;
    else if (*c == '"')
      ++ndq;
  }
  if (*c != q) return s;  // no closing quote: not a literal, leave it
  char nq = ndq < nsq ? '"' : '\'';
  if (nq == q) return s;
  // Rewrite with nq: doubled q's become single, nq's get doubled.  The
  // result is never longer than s, but may outgrow Bf for a long literal.
  size_t need = static_cast<size_t>(c - s) + 2;
  char* w = Bf;
  int wk = -1;
  if (need > Bflen) {
    wk = htcl(need);
    w = static_cast<char*>(new_mblk(wk));
  }
  char* o = w;
  *o++ = nq;
  for (c = s + 1; *c; ++c) {
    if (*c == q) {
      if (c[1] != q) break;
      ++c;
    } else if (*c == nq) {
      *o++ = nq;
    }
    *o++ = *c;
  }
  *o++ = nq;
  *o++ = 0;
  std::memcpy(s, w, static_cast<size_t>(o - w));
  if (wk >= 0) del_mblk(wk, w);
  return s;
}

// Appends the statistics block of t to *m.
static void table_stats(mstr** m, const symtab& t) {
  mprintf(m, "Statistics for %s:\n\tk = %d\n\tnent = %ld\n", t.name, t.k,
          static_cast<long>(t.count));
  long npop = 0, longest = 0, argmax = 0;
  for (uint32_t i = 0; i <= t.mask; ++i) {
    long len = 0;
    for (symbol* s = t.buckets[i]; s; s = s->next) ++len;
    if (len) ++npop;
    if (len > longest) {
      longest = len;
      argmax = i;
    }
  }
  // maxlen is printed one above the longest chain's entry count.
  mprintf(m, "\tn_populated = %ld\n\tmaxlen = %ld\n\targmax = %ld\n", npop,
          longest + 1, argmax);
}

cstr* hashstats(int nnum, const double* num) {
  int n = 0;
  if (nnum > 0) {
    double t = std::trunc(num[0]);
    // What a 32-bit truncation gives for NaN and out-of-range values.
    n = t >= INT_MIN && t <= INT_MAX ? static_cast<int>(t) : INT_MIN;
  }
  int which = n > 0 ? n % 3 : 0;
  mstr* m = nullptr;
  if (which != 2) table_stats(&m, symhash);
  if (which != 1) table_stats(&m, numhash);
  // The message string becomes a cstr: its length word is the count.
  cstr* r = reinterpret_cast<cstr*>(m);
  r->refcnt = 1;
  return r;
}

}  // namespace vexo
