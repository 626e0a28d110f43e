// The linear-term pool under the load of a large problem: 4 million terms
// made into 20,000 rows of 200 terms (columns spread over 100,000
// variables), the rows transposed into columns, the columns returned to the
// pool; five rounds, the first one filling the pool from fresh blocks.
// Prints nanoseconds per term for each step.
#include <chrono>
#include <cstdio>

#include "instance/varref.h"
#include "support/format.h"
#include "support/pool.h"

namespace {

using clock_type = std::chrono::steady_clock;

constexpr int ROWS = 20000, PER_ROW = 200, COLS = 100000, ROUNDS = 5;
constexpr long TERMS = long(ROWS) * PER_ROW;

double ns_per_term(clock_type::time_point t0, clock_type::time_point t1) {
  return std::chrono::duration<double, std::nano>(t1 - t0).count() / TERMS;
}

}  // namespace

int main() {
  using namespace vexo;
  varref_kill0 = 1;
  int row_k = htcl(sizeof(varref*) * ROWS);
  int col_k = htcl(sizeof(varref*) * COLS);
  double sum = 0;
  for (int round = 0; round < ROUNDS; ++round) {
    auto** rows = static_cast<varref**>(new_mblk(row_k, 1));
    unsigned v = 12345;
    auto t0 = clock_type::now();
    for (int r = 0; r < ROWS; ++r)
      for (int j = 0; j < PER_ROW; ++j) {
        v = v * 1103515245u + 12345u;
        rows[r] = new_varref(rows[r], int32_t((v >> 8) % COLS), j + 1.0);
      }
    auto t1 = clock_type::now();
    varref** cols = transpose(&rows, row_k, col_k, ROWS);
    auto t2 = clock_type::now();
    for (int c = 0; c < COLS; c += 997)
      for (varref* t = cols[c]; t; t = vnext(t)) sum += t->coef;
    auto t3 = clock_type::now();
    vrefzap(&cols, col_k, COLS);
    auto t4 = clock_type::now();
    Printf("round %d: make %.2f ns, transpose %.2f ns, free %.2f ns "
           "per term (%ld terms)\n",
           round + 1, ns_per_term(t0, t1), ns_per_term(t1, t2),
           ns_per_term(t3, t4), TERMS);
  }
  Printf("checksum %.0f, %.1f MB recorded\n", sum, mem_used() / 1e6);
  return 0;
}
