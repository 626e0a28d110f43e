// The random-number generators, the distributions built on them and the
// table of built-in random functions.
#include "eval/random.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "eval/funcall.h"
#include "eval/funclib.h"
#include "frontend/decl.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/symbol.h"

namespace vexo {

uint32_t randseed_ZEF;
int rand_start_ZEF;
uint32_t rand_iter_ZEF;

void restart_random() {
  rand_start_ZEF = 1;
  rand_iter_ZEF = 0;
}

void random_reset() { restart_random(); }

// ---- The generators --------------------------------------------------------

// The two lagged-Fibonacci tables and their positions; rebuilt by
// unif_init after every seed change.
uint32_t fib17[17];
int fib17i, fib17j;
uint32_t fib31[31];
int fib31i, fib31j;

namespace {

// Per-parameter constants of Gamma (GD) and Poisson (PD), kept while the
// parameter repeats; cleared on seeding.
struct gamma_cache {
  double aa, aaa;       // the shapes the two sets of constants are for
  double s, s2, d;      // set when a changes
  double q0, b, si, c;  // set when a changes and the quotient test runs
};
struct poisson_cache {
  double muprev, muprev2;  // the means of the two sets of constants
  double s, d, big_l, omega;
  double b1, b2, c, c0, c1, c2, c3;
  double pp[36];    // cumulative probabilities 0..l (mu < 10)
  double p0, p, q;  // P(0), P(l) and pp[l]
  int l, m;
};
gamma_cache gcache;
poisson_cache pcache;

// One step of the auxiliary generator x <- 16807 x mod (2^31 - 1), in
// 32-bit arithmetic on 16-bit halves.
uint32_t park_miller(uint32_t x) {
  uint32_t lo = (x & 0xFFFF) * 16807;
  uint32_t hi = (x >> 16) * 16807 + (lo >> 16);
  x = (lo & 0xFFFF) + (hi >> 15) + ((hi << 16) & 0x7FFF0000);
  if (x >= 0x7FFFFFFF) x -= 0x7FFFFFFF;
  return x;
}

// Fills t[0..n) with odd words, stepping x 1, 2, 1, 3, 1, 4, ... times
// before each.
uint32_t fill_table(uint32_t* t, int n, uint32_t x) {
  int longer = 2;
  for (int k = 0; k < n; ++k) {
    int steps = k % 2 ? longer++ : 1;
    for (int s = 0; s < steps; ++s) x = park_miller(x);
    t[k] = 2 * x + 1;
  }
  return x;
}

// One draw of both generators.
inline void draw(uint32_t* g17, uint32_t* g31) {
  if (rand_start_ZEF) unif_init();
  ++rand_iter_ZEF;
  uint32_t a = fib17[fib17i] * fib17[fib17j];
  fib17[fib17i] = a;
  if (++fib17i == 17) fib17i = 0;
  if (++fib17j == 17) fib17j = 0;
  uint32_t b = fib31[fib31i] * fib31[fib31j];
  fib31[fib31i] = b;
  if (++fib31i == 31) fib31i = 0;
  if (++fib31j == 31) fib31j = 0;
  *g17 = a;
  *g31 = b;
}

constexpr double TWO31 = 2147483648.0;
constexpr double TWOM63 = 1.0 / 9223372036854775808.0;

// The uniform of a draw: 63 bits, the even parts of both words.
inline double uniform_of(uint32_t g17, uint32_t g31) {
  return std::fma(double(g31 & ~1u), TWO31, double(g17 & ~1u)) * TWOM63;
}

}  // namespace

void unif_init() {
  rand_start_ZEF = 0;
  uint32_t x = randseed_ZEF ? randseed_ZEF : 1;
  x = fill_table(fib17, 17, x);
  fill_table(fib31, 31, x);
  fib17i = 0;
  fib17j = 12;
  fib31i = 0;
  fib31j = 18;
  gcache = gamma_cache{};
  pcache = poisson_cache{};
  // Replay the draws made since seeding (a reset of the tables alone).
  uint32_t n = rand_iter_ZEF;
  rand_iter_ZEF = 0;
  for (uint32_t k = 0; k < n; ++k) unif01_ZEF();
}

double unif01_ZEF() {
  uint32_t g17, g31;
  draw(&g17, &g31);
  return uniform_of(g17, g31);
}

double Irand224_ZEF() {
  uint32_t g17, g31;
  draw(&g17, &g31);
  return double((g17 ^ g31) >> 8);
}

double uniform(double a, double b) { return std::fma(b - a, unif01_ZEF(), a); }

double normal(double mu, double sigma) {
  return std::fma(sigma, normal01_ZEF(), mu);
}

// ---- Normal: rectangles, wedges and the tail -------------------------------

namespace {

// Indexed by 7 bits of a draw: q decides between the rectangle-wedge test
// and the alias value a; y1 bounds the wedges (a[k] 127: the tail).
const unsigned char norm_q[128] = {
    28, 32, 33, 36, 40, 43, 45, 47, 51, 53, 57, 59, 27, 37, 43, 54, 28, 45, 60,
    63, 49, 61, 52, 34, 63, 46, 34, 18, 47, 40, 36, 29, 61, 57, 53, 51, 47, 43,
    40, 37, 33, 31, 27, 25, 21, 19, 17, 14, 11, 9,  8,  5,  54, 51, 49, 46, 44,
    41, 39, 37, 35, 33, 31, 29, 28, 26, 24, 23, 21, 20, 19, 18, 16, 15, 14, 13,
    12, 12, 11, 10, 9,  9,  8,  7,  7,  6,  6,  5,  5,  5,  4,  4,  4,  3,  3,
    3,  3,  3,  2,  2,  2,  2,  2,  2,  2,  1,  1,  1,  1,  1,  1,  1,  1,  1,
    1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1};
const unsigned char norm_a[128] = {
    31,  30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 27, 26, 25, 24, 23, 22, 21,
    127, 19, 19, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 19, 18, 17, 16, 15, 14,
    13,  12, 11, 10, 9,  8,  7,  6,  5,  4,  3,  2,  1,  0,  23, 22, 21, 20, 19,
    18,  17, 16, 15, 14, 13, 12, 11, 10, 9,  8,  7,  6,  5,  4,  3,  2,  1,  0,
    51,  50, 49, 48, 47, 46, 45, 44, 43, 42, 41, 40, 39, 38, 37, 36, 35, 34, 33,
    32,  31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14,
    13,  12, 11, 10, 9,  8,  7,  6,  5,  4,  3,  2,  1,  0};
const unsigned char norm_y1[129] = {
    200, 200, 199, 199, 198, 197, 196, 195, 193, 192, 190, 188, 186, 184, 181,
    179, 176, 173, 170, 167, 164, 161, 157, 154, 151, 147, 143, 140, 136, 132,
    128, 125, 121, 117, 113, 110, 106, 102, 98,  95,  91,  88,  84,  81,  77,
    74,  71,  68,  64,  61,  59,  56,  53,  50,  48,  45,  43,  40,  38,  36,
    34,  32,  30,  28,  27,  25,  23,  22,  20,  19,  18,  17,  15,  14,  13,
    12,  11,  11,  10,  9,   8,   8,   7,   6,   6,   5,   5,   4,   4,   4,
    3,   3,   3,   2,   2,   2,   2,   2,   1,   1,   1,   1,   1,   1,   1,
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,
    0,   0,   0,   0,   0,   0,   0,   0,   0};

constexpr double NORM_C = 0.004996971964932406;
constexpr double NORM_D = 1.8619704366030918;

}  // namespace

double normal01_ZEF() {
  for (;;) {
    uint32_t g17, g31;
    draw(&g17, &g31);
    uint32_t e17 = g17 & ~1u, e31 = g31 & ~1u;
    bool neg = static_cast<int32_t>(g31) < 0;
    double u = uniform_of(g17, g31);
    if (neg) u -= 0.5;
    int k = (e31 >> 24) & 127;
    int t = ((e31 >> 10) ^ (g17 >> 1)) & 63;
    double x;
    if (norm_q[k] > t) {
      int lo = norm_y1[k + 1];
      int span = norm_y1[k] - lo;
      x = 8 * u;
      if (t <= span) {
        double y = (unif01_ZEF() * (span + 1) + lo) * NORM_C;
        if (y > std::exp(-x * x / 2)) continue;
      }
    } else if (int m = norm_a[k]; m < 127) {
      x = 8 *
          std::fma(double(m) * 16777216.0 + double(e31 & 0xFFFFFF), TWO31,
                   double(e17)) *
          TWOM63;
    } else {
      double v = unif01_ZEF();
      if (v < 1.0 / 19) continue;
      double w = unif01_ZEF();
      x = 0.25 / v + 3.75;
      double y = v * NORM_D * v * w;
      if (y > std::exp(-(x * x / 2 - 8))) continue;
    }
    return neg ? -x : x;
  }
}

// ---- Exponential and Cauchy ------------------------------------------------

double exponential_ZEF() {
  constexpr double LN2 = 0.6931471805599453;
  constexpr double SHIFT = 1.6734053240284925;
  double s = 2 * unif01_ZEF();
  double offset = -SHIFT;
  // s 0 (a draw of zero bits) would double for ever.
  while (s < 1 && s > 0) {
    s += s;
    offset += LN2;
  }
  s -= 1;
  if (s <= 0.9802581434685472)
    return 5.600570756973808 / (3.346810648056985 - s) + offset;
  for (;;) {
    double r = 3.414213562373095 - unif01_ZEF();
    double x = 5.713363152645423 / r;
    double v = unif01_ZEF();
    if (r * r * (0.085786437626905 + 0.0026106723602095 * v) <=
        std::exp(-(x - SHIFT)))
      return x + offset;
  }
}

double Cauchy_ZEF() {
  double u = unif01_ZEF() - 0.5;
  double q = 0.2488702280083841 - u * u;
  if (q > 0) return (0.6366197723675813 / q + 0.5972997593539963) * u;
  for (;;) {
    u = unif01_ZEF() - 0.5;
    q = 0.25 - u * u;
    double x = (0.6380631366077802 / q + 0.595948606052907) * u;
    double s = 4.9125013953033205 + 0.0214949004570452 * unif01_ZEF();
    if (q + q * q * (s * (x * x + 1) - 0.9339962957603656) <= 0.5) return x;
  }
}

// ---- Gamma: GS below shape 1, GD from 1 on ---------------------------------

namespace {

double gamma_gs(double a) {
  double b = 1 + 0.3678794 * a;
  for (;;) {
    double p = b * unif01_ZEF();
    if (p >= 1) {
      double x = -std::log((b - p) / a);
      if (exponential_ZEF() >= (1 - a) * std::log(x)) return x;
    } else {
      double x = std::exp(std::log(p) / a);
      if (exponential_ZEF() >= x) return x;
    }
  }
}

// The quotient q of GD for the normal deviate t.
double gd_quotient(const gamma_cache& g, double t) {
  constexpr double a1 = 0.3333333, a2 = -0.250003, a3 = 0.2000062,
                   a4 = -0.1662921, a5 = 0.1423657, a6 = -0.1367177,
                   a7 = 0.1233795;
  double v = t / (g.s + g.s);
  if (std::fabs(v) <= 0.25)
    return g.q0 +
           0.5 * t * t *
               ((((((a7 * v + a6) * v + a5) * v + a4) * v + a3) * v + a2) * v +
                a1) *
               v;
  return g.q0 - g.s * t + 0.25 * t * t + (g.s2 + g.s2) * std::log(1 + v);
}

double gamma_gd(double a) {
  gamma_cache& g = gcache;
  if (a != g.aa) {
    g.aa = a;
    g.s2 = a - 0.5;
    g.s = std::sqrt(g.s2);
    g.d = 5.656854 - 12 * g.s;
  }
  // Immediate acceptance, then the squeeze.
  double t = normal01_ZEF();
  double x = g.s + 0.5 * t;
  if (t >= 0) return x * x;
  double u = unif01_ZEF();
  if (g.d * u <= t * t * t) return x * x;
  if (a != g.aaa) {
    constexpr double q1 = 0.04166669, q2 = 0.02083148, q3 = 0.00801191,
                     q4 = 0.00144121, q5 = -7.388e-5, q6 = 2.4511e-4,
                     q7 = 2.424e-4;
    g.aaa = a;
    double r = 1 / a;
    g.q0 =
        ((((((q7 * r + q6) * r + q5) * r + q4) * r + q3) * r + q2) * r + q1) *
        r;
    if (a <= 3.686) {
      g.b = 0.463 + g.s + 0.178 * g.s2;
      g.si = 1.235;
      g.c = 0.195 / g.s - 0.079 + 0.16 * g.s;
    } else if (a <= 13.022) {
      g.b = 1.654 + 0.0076 * g.s2;
      g.si = 1.68 / g.s + 0.275;
      g.c = 0.062 / g.s + 0.024;
    } else {
      g.b = 1.77;
      g.si = 0.75;
      g.c = 0.1515 / g.s;
    }
  }
  // The quotient acceptance, then the double-exponential hat.
  if (x > 0 && std::log(1 - u) <= gd_quotient(g, t)) return x * x;
  for (;;) {
    double e = exponential_ZEF();
    u = 2 * unif01_ZEF() - 1;
    t = u < 0 ? g.b - g.si * e : g.b + g.si * e;
    if (t < -0.71874483771719) continue;
    double q = gd_quotient(g, t);
    if (q <= 0) continue;
    if (g.c * std::fabs(u) <= std::expm1(q) * std::exp(e - 0.5 * t * t)) break;
  }
  x = g.s + 0.5 * t;
  return x * x;
}

}  // namespace

double randgamma_ZEF(double a) {
  if (!(a > 0)) {
    errno = EDOM;
    return 0;
  }
  // Seeding clears the cached constants: it must not come in the middle
  // of a draw that uses them.
  if (rand_start_ZEF) unif_init();
  return a < 1 ? gamma_gs(a) : gamma_gd(a);
}

double Beta_ZEF(double a, double b) {
  if (!(a > 0) || !(b > 0)) {
    errno = EDOM;
    return 0;
  }
  double x = randgamma_ZEF(a);
  double y = randgamma_ZEF(b);
  return x / (x + y);
}

// ---- Poisson: a table below mean 10, PD from 10 on -------------------------

namespace {

// Below 10: inversion by a table of at most 35 cumulative probabilities,
// built as far as the draws need.
double poisson_table(double mu) {
  poisson_cache& c = pcache;
  if (mu != c.muprev) {
    c.muprev = mu;
    c.m = std::max(1, int(mu));
    c.l = 0;
    c.pp[0] = c.p0 = c.p = c.q = std::exp(-mu);
  }
  for (;;) {
    double u = unif01_ZEF();
    if (u <= c.p0) return 0;
    if (c.l > 0) {
      int j = u > 0.458 ? std::min(c.l, c.m) : 1;
      for (int k = j; k <= c.l; ++k)
        if (u <= c.pp[k]) return k;
      if (c.l == 35) continue;
    }
    // Further probabilities from the last one made.
    for (int k = c.l + 1; k <= 35; ++k) {
      c.p *= mu / k;
      c.q += c.p;
      c.pp[k] = c.q;
      c.l = k;
      if (u <= c.q) return k;
    }
  }
}

// px, py, fx, fy of PD for the count k (the 'subroutine' F).
struct pd_f {
  double px, py, fx, fy;
};
pd_f pd_probs(const poisson_cache& c, double mu, double k) {
  constexpr double a0 = -0.5, a1 = 0.3333333, a2 = -0.2500068, a3 = 0.2000118,
                   a4 = -0.1661269, a5 = 0.1421878, a6 = -0.1384794,
                   a7 = 0.1250060;
  constexpr double ONE_SQRT_2PI = 0.398942280401432677939946059934;
  static const double fact[10] = {1,   1,   2,    6,     24,
                                  120, 720, 5040, 40320, 362880};
  pd_f r;
  double difmuk = mu - k;
  if (k < 10) {
    r.px = -mu;
    r.py = std::pow(mu, k) / fact[int(k)];
  } else {
    double del = 0.0833333333333333333 / k;
    del = del * (1 - 4.8 * del * del);
    double v = difmuk / k;
    if (std::fabs(v) <= 0.25)
      r.px =
          k * v * v *
              (((((((a7 * v + a6) * v + a5) * v + a4) * v + a3) * v + a2) * v +
                a1) *
                   v +
               a0) -
          del;
    else
      r.px = k * std::log(1 + v) - difmuk - del;
    r.py = ONE_SQRT_2PI / std::sqrt(k);
  }
  double x = (0.5 - difmuk) / c.s;
  x *= x;
  r.fx = -0.5 * x;
  r.fy = c.omega * (((c.c3 * x + c.c2) * x + c.c1) * x + c.c0);
  return r;
}

double poisson_pd(double mu) {
  poisson_cache& c = pcache;
  bool new_mu = mu != c.muprev;
  if (new_mu) {
    c.muprev = mu;
    c.s = std::sqrt(mu);
    c.d = 6 * mu * mu;
    c.big_l = std::floor(mu - 1.1484);
  }
  // A normal sample: immediate acceptance, then the squeeze.
  double g = mu + c.s * normal01_ZEF();
  double k = -1, u = 0;
  if (g >= 0) {
    k = std::floor(g);
    if (k >= c.big_l) return k;
    double difmuk = mu - k;
    u = unif01_ZEF();
    if (c.d * u >= difmuk * difmuk * difmuk) return k;
  }
  if (new_mu || mu != c.muprev2) {
    c.muprev2 = mu;
    c.omega = 0.3989423 / c.s;
    c.b1 = 0.04166667 / mu;
    c.b2 = 0.3 * c.b1 * c.b1;
    c.c3 = 0.1428571 * c.b1 * c.b2;
    c.c2 = c.b2 - 15 * c.c3;
    c.c1 = c.b1 - 6 * c.b2 + 45 * c.c3;
    c.c0 = 1 - c.b1 + 3 * c.b2 - 15 * c.c3;
    c.c = 0.1069 / mu;
  }
  if (g >= 0) {
    // The quotient acceptance of the normal sample.
    pd_f f = pd_probs(c, mu, k);
    if (f.fy - u * f.fy <= f.py * std::exp(f.px - f.fx)) return k;
  }
  // The double-exponential hat.
  for (;;) {
    double e = exponential_ZEF();
    u = 2 * unif01_ZEF() - 1;
    double t = 1.8 + (u < 0 ? -e : e);
    if (t <= -0.6744) continue;
    k = std::floor(mu + c.s * t);
    pd_f f = pd_probs(c, mu, k);
    if (c.c * std::fabs(u) <=
        f.py * std::exp(f.px + e) - f.fy * std::exp(f.fx + e))
      return k;
  }
}

}  // namespace

double Poisson_ZEF(double mu) {
  if (!(mu > 0)) {
    errno = EDOM;
    return 0;
  }
  if (rand_start_ZEF) unif_init();  // as for Gamma
  return mu < 10 ? poisson_table(mu) : poisson_pd(mu);
}

// ---- Discrete --------------------------------------------------------------

double Discrete(arglist* al) {
  static char bad[] =
      "expected one or more real pairs (p,v)\n"
      "\tof arguments with p >= 0 and p > 0 at least once.";
  int n = al->n;
  double sum = 0;
  bool ok = n >= 2 && n % 2 == 0 && al->nr == n;
  for (int k = 0; ok && k < n; k += 2) {
    double p = al->ra[al->at[k]];
    ok = p >= 0;
    sum += p;
  }
  if (!ok || !(sum > 0)) {
    al->Errmsg = bad;
    return 0;
  }
  double t = sum * unif01_ZEF();
  double run = 0;
  for (int k = 0; k < n - 2; k += 2) {
    run += al->ra[al->at[k]];
    if (run >= t) return al->ra[al->at[k + 1]];
  }
  return al->ra[al->at[n - 1]];
}

// ---- The table of built-in random functions --------------------------------

#define ROUTINE(f) reinterpret_cast<void*>(f)

const rfrow rflist[N_RFLIST] = {{"Uniform01", ROUTINE(unif01_ZEF), 0, -2},
                                {"Uniform", ROUTINE(uniform), 2, 2},
                                {"Poisson", ROUTINE(Poisson_ZEF), 1, 9},
                                {"Normal01", ROUTINE(normal01_ZEF), 0, -3},
                                {"Normal", ROUTINE(normal), 2, 3},
                                {"Irand224", ROUTINE(Irand224_ZEF), 0, 8},
                                {"Gamma", ROUTINE(randgamma_ZEF), 1, 7},
                                {"Exponential", ROUTINE(exponential_ZEF), 0, 6},
                                {"Discrete", ROUTINE(Discrete), -3, 1},
                                {"Cauchy", ROUTINE(Cauchy_ZEF), 0, 5},
                                {"Beta", ROUTINE(Beta_ZEF), 2, 4},
                                {"Expected", nullptr, 1, 11},
                                {"Moment", nullptr, 2, 12},
                                {"Percentile", nullptr, 2, 13},
                                {"StdDev", nullptr, 1, 14},
                                {"Variance", nullptr, 1, 15},
                                {"Probability", nullptr, 1, 16}};

#undef ROUTINE

function* Rf[N_RFLIST];
function* Probability_rec;

namespace {

function* rand_record(symbol* name, uint32_t kind, uint32_t fflags,
                      int32_t count, void* routine) {
  function* f = new function;
  xrecomp_constr(f, name, nullptr, nullptr, DK_FUNCTION, 0);
  dcl_number(f);
  f->kind = kind;
  f->fflags = fflags;
  f->nargs = count;
  f->funcp = routine;
  name->binding = f;
  return f;
}

}  // namespace

int randadd() {
  for (int k = 0; k < N_RFLIST; ++k) {
    const rfrow& r = rflist[k];
    symbol* name = Symbol(r.name, 0);
    if (name->binding) bug("randfunc: %s already defined", r.name);
    // Distributions: random, a fixed-count call of real arguments
    // (Discrete: any number of them); operators: real arguments.
    uint32_t fl = r.kind == 1   ? 4 | 0x16000
                  : r.kind < 11 ? 12 | 0x1A000
                                : 8 | 0xA000;
    Rf[k] = rand_record(name, DK_FUNC39, fl, r.count, r.routine);
  }
  // Probability takes a condition: its name is bound to a record of kind
  // 42 that the parser knows, a copy of the operator's record.
  function* p = Rf[N_RFLIST - 1];
  p->name->binding = nullptr;
  Probability_rec = rand_record(p->name, 42, p->fflags, p->nargs, nullptr);
  return N_RFLIST;
}

int32_t rand_kind(const function* f) {
  for (int k = 0; k < N_RFLIST; ++k)
    if (Rf[k] == f || (k == N_RFLIST - 1 && f == Probability_rec))
      return rflist[k].kind;
  return -1;
}

void show_rand() {
  Fprintf(Stderr, "Available builtin random functions:\n");
  for (int k = N_RFLIST; k-- > 0;) {
    int32_t n = rflist[k].count;
    const char* args = n == 0   ? ""
                       : n == 1 ? "Reals"
                       : n == 2 ? "Reals, Reals"
                                : "{...} ([0,Infinity), Reals)";
    Fprintf(Stderr, "\t%s(%s)\n", rflist[k].name, args);
  }
}

}  // namespace vexo
