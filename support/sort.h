// The system's own sort (never the platform's): a quicksort with insertion
// sort for small parts, pivot from one, three or nine elements and a
// three-way partition, so equal keys cost no recursion.  Not stable; no
// allocation; the comparison is never called with both arguments at the
// same element, and only the sign of its result counts.
#ifndef VEXO_SUPPORT_SORT_H
#define VEXO_SUPPORT_SORT_H

#include <cstddef>

namespace vexo {

// Sorts in place the n elements of es bytes each at base.
void Qsort(void* base, size_t n, size_t es,
           int (*cmp)(const void*, const void*));

extern "C" {
// The same, handing v to every comparison as its third argument.  Offered
// to loaded libraries.
void qsortv(void* base, size_t n, size_t es,
            int (*cmp)(const void*, const void*, void*), void* v);
}

}  // namespace vexo

#endif  // VEXO_SUPPORT_SORT_H
