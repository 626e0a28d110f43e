// Qsort and qsortv: quicksort with a three-way partition (equal elements
// gathered at both ends, then swapped into the middle), insertion sort below
// 7 elements, recursion on the smaller-than-pivot part and iteration on the
// larger-than-pivot part.
#include "support/sort.h"

#include <cstdint>
#include <cstring>

namespace vexo {

namespace {

// Element exchange, word-wise when base and es are multiples of 8.
struct swapper {
  size_t es;
  bool words;

  static void swap_bytes(char* a, char* b, size_t n) {
    for (; n; --n, ++a, ++b) {
      char t = *a;
      *a = *b;
      *b = t;
    }
  }
  static void swap_words(char* a, char* b, size_t n) {
    for (; n; n -= 8, a += 8, b += 8) {
      uint64_t x, y;
      std::memcpy(&x, a, 8);
      std::memcpy(&y, b, 8);
      std::memcpy(a, &y, 8);
      std::memcpy(b, &x, 8);
    }
  }
  // Exchanges n bytes (a multiple of es).
  void block(char* a, char* b, size_t n) const {
    if (words)
      swap_words(a, b, n);
    else
      swap_bytes(a, b, n);
  }
  void operator()(char* a, char* b) const { block(a, b, es); }
};

template <class Cmp>
char* med3(char* a, char* b, char* c, const Cmp& cmp) {
  if (cmp(a, b) < 0) {
    if (cmp(b, c) < 0) return b;
    return cmp(a, c) < 0 ? c : a;
  }
  if (cmp(b, c) > 0) return b;
  return cmp(a, c) > 0 ? c : a;
}

// Positions are byte offsets from base (signed: pc and pd may step to one
// element before base).
template <class Cmp>
void sort(char* base, size_t n, size_t es, const Cmp& cmp) {
  if (es == 0) return;
  for (;;) {
    if (n < 2) return;
    swapper swap{es, (reinterpret_cast<uintptr_t>(base) % 8 | es % 8) == 0};
    const ptrdiff_t ES = static_cast<ptrdiff_t>(es);
    if (n < 7) {
      char* end = base + n * es;
      for (char* pm = base + es; pm < end; pm += es)
        for (char* pl = pm; pl > base && cmp(pl - es, pl) > 0; pl -= es)
          swap(pl, pl - es);
      return;
    }
    char* pm = base + (n / 2) * es;
    if (n > 7) {
      char* pl = base;
      char* pn = base + (n - 1) * es;
      if (n > 40) {
        size_t d = (n / 8) * es;
        pl = med3(pl, pl + d, pl + 2 * d, cmp);
        pm = med3(pm - d, pm, pm + d, cmp);
        pn = med3(pn - 2 * d, pn - d, pn, cmp);
      }
      pm = med3(pl, pm, pn, cmp);
    }
    ptrdiff_t m = pm - base;
    ptrdiff_t pa = 0, pb = 0;
    ptrdiff_t pc = static_cast<ptrdiff_t>((n - 1) * es), pd = pc;
    for (;;) {
      while (pb <= pc) {
        int r = pb == m ? 0 : cmp(base + pb, base + m);
        if (r > 0) break;
        if (r == 0) {
          swap(base + pa, base + pb);
          m = pa;
          pa += ES;
        }
        pb += ES;
      }
      while (pb <= pc) {
        int r = pc == m ? 0 : cmp(base + pc, base + m);
        if (r < 0) break;
        if (r == 0) {
          swap(base + pc, base + pd);
          m = pd;
          pd -= ES;
        }
        pc -= ES;
      }
      if (pb > pc) break;
      swap(base + pb, base + pc);
      pb += ES;
      pc -= ES;
    }
    const ptrdiff_t pn = static_cast<ptrdiff_t>(n * es);
    ptrdiff_t s = pa < pb - pa ? pa : pb - pa;
    if (s > 0) swap.block(base, base + pb - s, static_cast<size_t>(s));
    s = pd - pc < pn - pd - ES ? pd - pc : pn - pd - ES;
    if (s > 0) swap.block(base + pb, base + pn - s, static_cast<size_t>(s));
    if (pb - pa > ES) sort(base, static_cast<size_t>((pb - pa) / ES), es, cmp);
    if (pd - pc <= ES) return;
    base += pn - (pd - pc);
    n = static_cast<size_t>((pd - pc) / ES);
  }
}

}  // namespace

void Qsort(void* base, size_t n, size_t es,
           int (*cmp)(const void*, const void*)) {
  auto c = [cmp](const char* a, const char* b) { return cmp(a, b); };
  sort(static_cast<char*>(base), n, es, c);
}

extern "C" void qsortv(void* base, size_t n, size_t es,
                       int (*cmp)(const void*, const void*, void*), void* v) {
  auto c = [cmp, v](const char* a, const char* b) { return cmp(a, b, v); };
  sort(static_cast<char*>(base), n, es, c);
}

}  // namespace vexo
