// The problem writer on a large linear problem: 1,000,000 rows of 10 terms
// (10 million Jacobian nonzeros) over 1,000,000 bounded variables, one
// objective, collected by hand and sent as it stands.  Each form is
// written three times: the first write rebuilds the Jacobian in writer
// order (col1sort), the later ones find it kept in the problem.  Printed
// are the first write's seconds and the best of the others, the bytes and
// the rates, beside the best of three plain writes of as many bytes (one
// fwrite of a prepared buffer) to the same place; then the rebuild alone.
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/in_process.h"
#include "instance/ac.h"
#include "instance/varref.h"
#include "session/opttable.h"
#include "solver/nlwrite.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/pool.h"

namespace {

using clock_type = std::chrono::steady_clock;
using namespace vexo;

constexpr int ROWS = 1000000, PER_ROW = 10, COLS = 1000000, ROUNDS = 3;

template <class T>
T* block(int k) {
  return static_cast<T*>(new_mblk(k, 1));
}

AC* make_problem() {
  AC* ac = new_ac();
  int nr = ROWS + 1;
  ac->n_var = ac->n_var_aux = COLS;
  ac->n_con = ac->n_con_aux = ac->n_alg_con = ROWS;
  ac->n_obj = 1;
  ac->var_class = htcl(8 * size_t(COLS));
  ac->con_class = htcl(8 * size_t(ROWS));
  ac->obj_class = 0;
  ac->row_class = htcl(8 * size_t(nr));
  int kv = ac->var_class, kc = ac->con_class, kr = ac->row_class;
  ac->var_lb = ac->var_lb_alt = block<double>(kv);
  ac->var_ub = ac->var_ub_alt = block<double>(kv);
  ac->var_init_val = block<double>(kv);
  ac->var_order = block<int32_t>(elem_class(kv, 4));
  ac->var_pos = block<int32_t>(elem_class(kv, 4));
  for (int i = 0; i < COLS; ++i) {
    ac->var_ub[i] = 10 + i % 7;
    ac->var_order[i] = ac->var_pos[i] = i;
  }
  ac->con_nonlin = block<expr*>(kc);
  ac->con_lb = ac->shape_work.lower = block<double>(kc);
  ac->con_ub = ac->shape_work.upper = block<double>(kc);
  ac->obj_nonlin = block<expr*>(0);
  ac->obj_const = block<double>(0);
  ac->obj_sense = block<uint8_t>(0);
  ac->obj_order = block<int32_t>(0);
  ac->row_terms = block<varref*>(kr);
  int32_t* order = block<int32_t>(elem_class(kr, 4));
  unsigned v = 12345;
  for (int r = 0; r < ROWS; ++r) {
    ac->con_lb[r] = negInfinity;
    ac->con_ub[r] = 100 + r % 13;
    for (int j = 0; j < PER_ROW; ++j) {
      v = v * 1103515245u + 12345u;
      // Distinct columns per row: one from each tenth of the columns.
      int32_t c = int32_t(j * (COLS / PER_ROW) + (v >> 8) % (COLS / PER_ROW));
      ac->row_terms[r] = new_varref(ac->row_terms[r], c, 0.25 * (1 + v % 97));
    }
  }
  for (int i = 0; i < 1000; ++i)
    ac->row_terms[ROWS] = new_varref(ac->row_terms[ROWS], i * 997, 1.5 + i);
  for (int i = 0; i < nr; ++i) order[i] = i;
  ac->shape_work.order = order;
  ac->shape_work.n_con = ROWS;
  ac->shape_work.nonzeros = int64_t(ROWS) * PER_ROW;
  ac->shape_alt = ac->shape_work;
  ac->n_var_sent = COLS;
  ac->n_prob = 1;
  set_lubs(ac);
  return ac;
}

double seconds(clock_type::time_point a, clock_type::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

long file_size(const char* name) {
  FILE* f = std::fopen(name, "rb");
  if (!f) return 0;
  std::fseek(f, 0, SEEK_END);
  long n = std::ftell(f);
  std::fclose(f);
  return n;
}

// The best of ROUNDS plain writes.
double plain_write(long bytes) {
  std::vector<char> buf(size_t(bytes), 'x');
  double best = 1e30;
  for (int i = 0; i < ROUNDS; ++i) {
    auto t0 = clock_type::now();
    FILE* f = std::fopen("/tmp/vexo_nlbench_plain", "wb");
    std::fwrite(buf.data(), 1, buf.size(), f);
    std::fclose(f);
    auto t1 = clock_type::now();
    std::remove("/tmp/vexo_nlbench_plain");
    if (seconds(t0, t1) < best) best = seconds(t0, t1);
  }
  return best;
}

// The best of ROUNDS rebuilds of the Jacobian in writer order alone.
double sort_alone(AC* ac) {
  double best = 1e30;
  for (int i = 0; i < ROUNDS; ++i) {
    jac_forget(ac);
    int64_t nzc;
    auto t0 = clock_type::now();
    col1sort(ac, &nzc);
    auto t1 = clock_type::now();
    if (seconds(t0, t1) < best) best = seconds(t0, t1);
  }
  return best;
}

}  // namespace

int main() {
  bench::start_modules();
  send_suffixes = 3;
  AC* ac = make_problem();
  for (const char* form : {"b/tmp/vexo_nlbench", "g/tmp/vexo_nlbench"}) {
    outopt = form;
    jac_forget(ac);
    double first = 0, best = 1e30;
    for (int i = 0; i < ROUNDS; ++i) {
      auto t0 = clock_type::now();
      outmps(ac);
      auto t1 = clock_type::now();
      if (i == 0)
        first = seconds(t0, t1);
      else if (seconds(t0, t1) < best)
        best = seconds(t0, t1);
    }
    long n = file_size("/tmp/vexo_nlbench.nl");
    std::remove("/tmp/vexo_nlbench.nl");
    double plain = plain_write(n);
    Printf("%s form, %ld bytes: first write %.3f s (%.0f MB/s), again "
           "%.3f s (%.0f MB/s); plain write %.3f s (%.0f MB/s)\n",
           form[0] == 'b' ? "binary" : "text", n, first, n / first / 1e6,
           best, n / best / 1e6, plain, n / plain / 1e6);
  }
  Printf("Jacobian in writer order alone: %.3f s\n", sort_alone(ac));
  return 0;
}
