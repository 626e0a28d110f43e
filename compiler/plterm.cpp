// Piecewise-linear terms.
#include "compiler/plterm.h"

#include <cmath>
#include <cstring>

#include "eval/dispatch.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "instance/varref.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

const double* pl_slope;

void pl_reset() { pl_slope = nullptr; }

namespace {

// Doubles a record of class k holds after its head.
int32_t room(int k) {
  return int32_t(((size_t{8} << k) - sizeof(plterm)) / sizeof(double));
}

plterm* new_record(int k) {
  plterm* t = static_cast<plterm*>(new_mblk(k));
  std::memset(t, 0, sizeof(plterm));
  t->block_class = k;
  return t;
}

void free_record(plterm* t) {
  if (t) del_mblk(t->block_class, t);
}

// The two gathering records, freed however plcrunch ends.
struct gathered {
  plterm* b = nullptr;
  plterm* s = nullptr;
  ~gathered() {
    free_record(b);
    free_record(s);
  }
};

void append(plterm** r, double v) {
  plterm* t = *r;
  if (t->n_slopes == room(t->block_class)) {
    plterm* n = new_record(t->block_class + 1);
    std::memcpy(n->bs(), t->bs(), size_t(t->n_slopes) * sizeof(double));
    n->n_slopes = t->n_slopes;
    free_record(t);
    *r = t = n;
  }
  t->bs()[t->n_slopes++] = v;
}

// One value of an entry: a number, or a nested list.
void gather_value(plterm** r, expr* x, TVA* tva) {
  if (opcode(x) == OP246)
    plcrunchx1(r, x, tva);
  else
    append(r, eval_num(x, tva));
}

// Slopes of the reduced sequence of slopes s (ns) and breakpoints b (nb),
// written to out when it is not null (slopes and breakpoints interleaved):
// a run of equal slopes counts once, the segment between equal breakpoints
// goes.
int32_t reduce(const double* s, int32_t ns, const double* b, int32_t nb,
               double* out) {
  int32_t n = 1, j = 0;
  if (out) *out++ = s[0];
  while (j + 1 < ns && s[j + 1] == s[0]) ++j;
  while (j < nb) {
    int32_t m = j;
    while (m + 1 < nb && b[m + 1] == b[j]) ++m;
    if (out) {
      *out++ = b[j];
      *out++ = s[m + 1];
    }
    ++n;
    j = m + 1;
    while (j + 1 < ns && s[j + 1] == s[j]) ++j;
  }
  return n;
}

}  // namespace

void plcrunchx1(plterm** r, expr* list, TVA* tva) {
  for (expr* e = list; e; e = e->next) {
    if (set_spec* ss = e->L.ss) {
      if (TVA* c = ss_begin(ss, tva)) do
          gather_value(r, e->R.e, c);
        while (ss_continue(ss, c));
    } else {
      gather_value(r, e->R.e, tva);
    }
  }
}

plterm* plcrunch(expr* bs, TVA* tva) {
  gathered g;
  g.b = new_record(htcl(80));
  plcrunchx1(&g.b, bs->L.e, tva);
  g.s = new_record(htcl(80));
  plcrunchx1(&g.s, bs->R.e, tva);
  int32_t nb = g.b->n_slopes, ns = g.s->n_slopes;
  if (ns != nb + 1)
    eerror(tva, "piecewise-linear term has %d slopes, %d breakpoints", ns, nb);
  const double* b = g.b->bs();
  const double* s = g.s->bs();
  for (int32_t i = 1; i < nb; ++i)
    if (b[i - 1] > b[i])
      eerror(tva, "piecewise-linear breakpoint %d bigger than breakpoint %d",
             i, i + 1);
  bool flat = true;
  for (int32_t i = 1; i < ns && flat; ++i) flat = s[i] == s[0];
  plterm* t;
  if (nb == 0 || flat) {
    t = new_record(htcl(48));
    t->bs()[0] = s[0];
    t->n_slopes = 1;
  } else {
    int32_t n = reduce(s, ns, b, nb, nullptr);
    t = new_record(htcl(size_t(n + 2) * 16));
    reduce(s, ns, b, nb, t->bs());
    t->n_slopes = n;
  }
  return t;
}

double plval(const plterm* t, double x) {
  int32_t n = t->n_slopes;
  // Slope k at d[2k], breakpoint k (from 0) at d[2k + 1].
  const double* d = const_cast<plterm*>(t)->bs();
  auto s = [d](int32_t k) { return d + 2 * k; };
  auto b = [d](int32_t k) { return d[2 * k + 1]; };
  if (n < 2) {
    pl_slope = s(0);
    return x * *s(0) + 0.0;
  }
  if (x >= 0) {
    int32_t j = 0;
    while (j < n - 1 && b(j) <= 0) ++j;
    if (j == n - 1) {
      pl_slope = s(n - 1);
      return x * *s(n - 1) + 0.0;
    }
    if (x <= b(j)) {
      pl_slope = s(j);
      return x * *s(j) + 0.0;
    }
    double v = b(j) * *s(j);
    int32_t k = j + 1;
    for (; k < n - 1 && b(k) < x; ++k) v = std::fma(b(k) - b(k - 1), *s(k), v);
    pl_slope = s(k);
    return std::fma(x - b(k - 1), *s(k), v);
  }
  // x < 0 (or NaN): from the right, breakpoints >= 0 passed over.
  int32_t i = n - 2;
  while (i >= 0 && b(i) >= 0) --i;
  if (i < 0) {
    pl_slope = s(0);
    return x * *s(0) + 0.0;
  }
  if (x >= b(i)) {
    pl_slope = s(i + 1);
    return x * *s(i + 1) + 0.0;
  }
  double v = b(i) * *s(i + 1);
  int32_t k = i - 1;
  for (; k >= 0 && b(k) > x; --k) v = std::fma(b(k) - b(k + 1), *s(k + 1), v);
  pl_slope = s(k + 1);
  return std::fma(x - b(k + 1), *s(k + 1), v);
}

eval_result f_OPPL(expr* e, TVA* tva) {
  struct held {
    plterm* t;
    ~held() { free_record(t); }
  } h{plcrunch(e->L.e, tva)};
  expr* arg = e->R.e;
  double v = plval(h.t, eval_num(arg->L.e, tva));
  if (arg->R.e) v -= plval(h.t, eval_num(arg->R.e, tva));
  return {.d = v};
}

}  // namespace vexo
