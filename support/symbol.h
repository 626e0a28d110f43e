// Interned names and numbers.  There is exactly one symbol per distinct name
// text (table symhash) and one per distinct number (the small-integer cache
// small_ints for -1000..2999, table numhash for the rest), so names, set
// members and subscripts are compared by pointer identity everywhere.  A
// symbol also carries the binding of its name: the record the name denotes.
// Symbols live in the arena (support/pool.h) and are never freed one by
// one; mem_reset drops them all, and start-up calls symbol_reset again, so
// no symbol* survives a reset.
#ifndef VEXO_SUPPORT_SYMBOL_H
#define VEXO_SUPPORT_SYMBOL_H

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace vexo {

struct cstr;  // support/text.h

// Name symbols use the first three fields only (24 bytes); number symbols
// all four.
struct symbol {
  symbol* next;      // next entry of the same hash bucket
  void* binding;     // record the name denotes, null while undeclared
  const char* name;  // NUL-terminated text; for numbers, the number's text
  double value;      // number symbols only
};
static_assert(std::is_trivially_destructible_v<symbol>,
              "symbols are plain pool records");

// Every record a name can be bound to has its 32-bit kind code in its
// second 8-byte word; this is that head.
struct kind_head {
  void* link;
  uint32_t kind;
};

// Kind of a bound record (see kind_head).
inline uint32_t bound_kind(const void* rec) {
  uint32_t k;
  std::memcpy(&k, static_cast<const char*>(rec) + 8, sizeof k);
  return k;
}

// The binding of every number symbol: {null, kind 1}.
extern kind_head REAL;
inline bool is_number(const symbol* s) { return s->binding == &REAL; }

// Hash table of symbols; symhash and numhash share this layout.
struct symtab {
  symbol** buckets;  // mask + 1 heads, an mblk of class k
  const char* name;  // "symhash" or "numhash"
  uint32_t mask;     // bucket count - 1 (the count is a power of two)
  uint32_t count;    // entries counted ("nent")
  int32_t k;         // size class of buckets: 2^k heads
};
extern symtab symhash, numhash;

// Slot i holds the symbol of the integer i - 1000, or null until it is
// first asked for (4001 slots; 0..3999 used).
extern symbol** small_ints;
constexpr int SMALL_INT_MIN = -1000;
constexpr int SMALL_INT_END = 3000;  // one past the largest cached integer

// The canonical quiet NaN (sign bit, all exponent bits and the top fraction
// bit set); every NaN is interned as this value.
extern double qNaN;
// Significant digits of the names of non-integer numbers: 0 (shortest text
// that reads back) unless the command line sets 0..36.
extern int numsym_prec;
// The command line's -p n: names of non-integer numbers get n digits.
void set_numsym_prec(int n);
// Character classes of bare names, indexed by unsigned char: 4 for letters,
// digits, '_' and the bytes 128..255; 1 for '+', '-', '.'; 0 otherwise.
// The lexer reads the same table.
extern unsigned char symchars[256];

// Empty symbol and number tables (2^13 buckets each) and an empty
// small-integer cache.  Start-up, before anything is interned, and again
// after mem_reset.
void symbol_reset();

// Lookup only: the symbol of name, or null.  Changes nothing.
symbol* Symbol0(const char* name);

// The symbol of the double x, made when absent.  -0 is 0; every NaN is the
// one symbol "NaN".
symbol* Number(double x);

// The address of a cell holding the symbol of x (made when absent): its
// small_ints slot, or the bucket head or next field that points at it; the
// caller uses it as a one-member tuple.  A new entry is counted (the table
// grows first when full) and goes to the tail of its bucket.  Valid until
// the next insertion into numhash.
symbol** pNumber(double x);

// s is a writable quoted literal: the quote (' or "), the content with that
// quote doubled, the closing quote, NUL.  Returns s + 1 (the bare content,
// its closing quote overwritten by NUL) when the content can stand as a bare
// name, else s, rewritten in place with the other quote character when that
// one needs fewer doublings.
char* litfix(char* s);

// Body of the built-in _hashstats.  nnum and num are the count and values
// of the call's numeric arguments.  A first argument n > 0 with n mod 3 = 1
// selects symhash, n mod 3 = 2 numhash; otherwise both.  Returns a new
// string with one reference.
cstr* hashstats(int nnum, const double* num);

extern "C" {
// The symbol of the text name, made when absent (binding null).  With copy
// nonzero a new symbol's name is a copy in the string arena; with copy 0
// the caller's pointer is kept, so it must live for the rest of the run.
symbol* Symbol(const char* name, int copy);
}

}  // namespace vexo

#endif  // VEXO_SUPPORT_SYMBOL_H
