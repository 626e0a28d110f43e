// Sets at scale, through the set classes and the iteration of indexing
// expressions (the trees are wired here as the compiler leaves them: every
// node bound to its routine).
//
// 1. A set of 10 million 2-tuples, the product {1..2500} cross {1..4000}:
//    its generation, a walk over it by `sum {(i,j) in P} 1`, the building
//    of its table and a look-up of every member.
// 2. For every node k of a graph, the arcs leaving it:
//    `sum {k in N} sum {(i,j) in E: i == k} 1` over 100,000 nodes and a
//    million arcs, then twice as many of each.  The condition turns the
//    inner item into a selection of E, built once and keyed at each k, so
//    the work grows with the arcs; printed: time per arc and the growth
//    from 1x to 2x.  For contrast, the same sum with the condition kept
//    (tested for every arc and every node) at a hundredth of the size.
#include <chrono>
#include <cstdio>
#include <random>
#include <unordered_set>
#include <vector>

#include "bench/in_process.h"
#include "compiler/context.h"
#include "compiler/tva.h"
#include "eval/dispatch.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/expr.h"
#include "instance/ac.h"
#include "session/startup.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/symbol.h"

namespace {

using namespace vexo;
using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point t0) {
  return std::chrono::duration<double>(clock_type::now() - t0).count();
}

expr* bound(expr* e) {
  e->op = functab[opcode(e)];
  return e;
}
expr* number(double v) { return bound(new_num(v)); }
expr* dummy(int level, int offset) {
  return bound(new_expr(opword(OPDUMMY), int32_t(level), int32_t(offset)));
}

set* range(double lo, double hi) {
  return set_range(number(lo), number(hi), number(1));
}

// One item at level over s whose dummies are the components of s.
Index* item(int level, set* s) {
  expr* d = nullptr;
  for (int k = s->arity; k-- > 0;) {
    expr* n = dummy(level, k);
    n->next = d;
    d = n;
  }
  Index* ix = new Index(nullptr, s, d, 0);
  ix->level = level;
  return ix;
}

// sum {ix: cond} body.
expr* sum(Index* ix, expr* cond, expr* body) {
  set_spec* ss = new set_spec(ix, cond, 1);
  return bound(new_expr(opword(SUM, EF_NUMERIC), ss, body));
}

TVA* fresh_context() {
  tva_reset();
  max_context = 4;
  TVA* t = new_tva();
  return t;
}

void product(int n1, int n2) {
  set* p = set_cross(range(1, n1), range(1, n2));
  TVA* t = fresh_context();
  auto t0 = clock_type::now();
  set_genall(p, t);
  double gen = seconds_since(t0);
  ++p->refcnt;  // the item below holds the second reference
  expr* walk = sum(item(1, p), nullptr, number(1));
  t0 = clock_type::now();
  double n = eval_num(walk, t);
  double it = seconds_since(t0);
  t0 = clock_type::now();
  p->makesettab(t);
  double tab = seconds_since(t0);
  t0 = clock_type::now();
  long found = 0;
  for (setmem* m = p->first; m; m = m->next) found += p->lookup(m->tup()) >= 0;
  double look = seconds_since(t0);
  double per = 1e9 / p->nmem;
  Printf(
      "product of %d x %d: %d members (walk counted %.0f, found %ld)\n"
      "  generate %.1f ns, walk %.1f ns, table %.1f ns, look-up %.1f ns "
      "per member\n",
      n1, n2, p->nmem, n, found, gen * per, it * per, tab * per, look * per);
  del_tva(t);
  sdelete(p);
}

// Arcs: m distinct (i, j), i and j in 1..n; every node has arcs.
set* arcs(int n, int m, std::mt19937_64& g) {
  set* e = set_enum(new_enum(), 2);
  e->new_htab(m);
  std::uniform_int_distribution<int> u(1, n);
  for (int i = 1; i <= n && e->nmem < m; ++i) {
    symbol* t[2] = {Number(i), Number(u(g))};
    e->addmem(t);
  }
  while (e->nmem < m) {
    symbol* t[2] = {Number(u(g)), Number(u(g))};
    e->addmem(t);
  }
  return e;
}

// sum {k in 1..n} sum {(i,j) in E: i == k} 1 over m random arcs, the
// condition kept as such when keep is set: the seconds of a first
// evaluation (which builds the selection's record) in first[0], of a
// second in first[1]; the sum in *total.
void arcs_per_node(int n, int m, bool keep, std::mt19937_64& g, double* first,
                   double* total) {
  set* e = arcs(n, m, g);
  expr* cond = bound(new_expr(opword(EQss), dummy(2, 0), dummy(1, 0)));
  if (keep)
    cond = bound(new_expr(opword(OPOR), cond,
                          bound(new_expr(opword(OPLOGLIT), int32_t(0)))));
  Index* inner = item(2, e);
  expr* body = sum(inner, cond, number(1));
  if (!keep && inner->s->sclass != SC_SLICE)
    Printf("the condition did not become a selection\n");
  expr* outer = sum(item(1, range(1, n)), nullptr, body);
  TVA* t = fresh_context();
  for (int r = 0; r < 2; ++r) {
    auto t0 = clock_type::now();
    *total = eval_num(outer, t);
    first[r] = seconds_since(t0);
  }
  del_tva(t);
}

void report(int n, int m, const double* s, double total) {
  Printf(
      "%d nodes, %d arcs (sum %.0f): first %.3f s, %.1f ns per arc; "
      "again %.3f s, %.1f ns per arc\n",
      n, m, total, s[0], 1e9 * s[0] / m, s[1], 1e9 * s[1] / m);
}

}  // namespace

int main() {
  bench::start_modules();
  std::mt19937_64 g(2024);

  product(2500, 4000);

  double total, s1[2], s2[2], s3[2];
  const int n = 100000, m = 1000000;
  Printf("arcs per node, sum {k in N} sum {(i,j) in E: i == k} 1:\n");
  arcs_per_node(n, m, false, g, s1, &total);
  report(n, m, s1, total);
  arcs_per_node(2 * n, 2 * m, false, g, s2, &total);
  report(2 * n, 2 * m, s2, total);
  Printf("growth from 1x to 2x: %.2f first, %.2f again\n", s2[0] / s1[0],
         s2[1] / s1[1]);
  Printf("the same with the condition tested for every arc and node:\n");
  arcs_per_node(n / 100, m / 100, true, g, s3, &total);
  report(n / 100, m / 100, s3, total);
  return 0;
}
