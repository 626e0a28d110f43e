// The random-number generators and the built-in random functions, and the
// state that the option randseed drives.
//
// Every draw comes from one pair of multiplicative lagged-Fibonacci
// generators (lags 17 and 31, 32-bit words), seeded from randseed_ZEF: a
// uniform is built from both words of one draw, Irand224 from their XOR,
// so the two share one stream.  The distributions are built on that
// stream; the parameter errors of Gamma, Poisson and Beta set errno to
// EDOM and give 0 (the call reports "can't evaluate ..."), Discrete's set
// the call's error message.
//
// The built-in random functions (Uniform01, Normal, Discrete, ... and the
// stochastic operators Expected ... Probability) are function records of
// kind 39 entered at start-up by randadd.
#ifndef VEXO_EVAL_RANDOM_H
#define VEXO_EVAL_RANDOM_H

#include <cstdint>

#include "eval/vexofunc.h"

namespace vexo {

struct function;

// The -vr listing of the built-in random functions, on Stderr.
void show_rand();

// The seed of the random generators (option randseed, written by seed_set).
extern uint32_t randseed_ZEF;
// Nonzero when the generators must rebuild their tables before the next
// draw; rand_iter_ZEF counts the draws since.
extern int rand_start_ZEF;
extern uint32_t rand_iter_ZEF;
// The generators start again from the seed before the next draw (a new
// seed, `reset`).
void restart_random();
// Start-up and reset: restart_random (the tables are rebuilt from the
// seed before the first draw).
void random_reset();
// Reset_randseeds, which passes a new seed to the libraries' seed
// callbacks, is in eval/funclib.h.

// Builds the generators' tables from randseed_ZEF and replays the
// rand_iter_ZEF draws made since seeding (any draw runs it first when
// rand_start_ZEF is set).
void unif_init();

// Uniform on [0, 1).
double unif01_ZEF();
// An integer 0 .. 2^24 - 1.
double Irand224_ZEF();
// Standard normal, standard exponential, standard Cauchy.
double normal01_ZEF();
double exponential_ZEF();
double Cauchy_ZEF();
// Gamma of shape a (scale 1); Poisson of mean mu; Beta(a, b).  A
// parameter <= 0 sets errno to EDOM and gives 0.
double randgamma_ZEF(double a);
double Poisson_ZEF(double mu);
double Beta_ZEF(double a, double b);
// a + (b - a) * Uniform01;  mu + sigma * Normal01.
double uniform(double a, double b);
double normal(double mu, double sigma);
// Discrete(p1, v1, p2, v2, ...): v_k with probability p_k / sum p.  Bad
// arguments (not numeric pairs, a p < 0, no p > 0) set al->Errmsg and
// give 0.
double Discrete(arglist* al);

// One row of the table of built-in random functions: the routine (null
// for the stochastic operators), the argument count (n >= 0 exactly n,
// -(k+1) at least k) and the kind (below 11 a distribution, 11-16 an
// operator).
struct rfrow {
  const char* name;
  void* routine;
  int32_t count;
  int32_t kind;
};
constexpr int N_RFLIST = 17;
extern const rfrow rflist[N_RFLIST];
// Their function records, in table order (filled by randadd); the record
// of kind 42 that the name Probability is bound to (the parser hands it a
// condition, frontend/funcbuild.h probability).
extern function* Rf[N_RFLIST];
extern function* Probability_rec;
// Start-up: enters rflist as function records of kind 39 bound to their
// names; returns N_RFLIST.  A name bound already is a bug.
int randadd();
// The rflist kind of a built-in random function's record, or -1 for any
// other record.
int32_t rand_kind(const function* f);

}  // namespace vexo

#endif  // VEXO_EVAL_RANDOM_H
