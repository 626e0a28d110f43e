// Process environment that the rest of vexo assumes: floating-point traps
// off, a buffered error stream, the infinities, and the clocks behind the
// timing reports, the time built-ins and random seeding.
#ifndef VEXO_SUPPORT_MACHINE_H
#define VEXO_SUPPORT_MACHINE_H

#include <bit>
#include <cstdint>
#include <cstdio>

extern "C" {
// The stream every message is written to; fully buffered through an
// 8192-byte buffer once Mach() has run, so the message core flushes it.
extern FILE* Stderr;
extern double Infinity, negInfinity;

// Disables every floating-point trap; returns the previously enabled set.
int fpinit_ZEF(void);
}

namespace vexo {

// The arithmetic kind that binary problem files record: 1 for little-endian
// IEEE doubles, 2 for big-endian ones (a reader of the other byte order
// sees 3 minus its own kind).
constexpr int arith_kind = std::endian::native == std::endian::little ? 1 : 2;

// Written outside support/, by design: Stderr by the command-line option
// -ve, which sends messages to standard output (session/infiles.cpp).

// Points Stderr at the process's standard error.  First thing at start-up.
void Init_Stderr();
// Sets the infinities and gives Stderr its buffer.  Once, after Init_Stderr.
void Mach();
// Wall-clock seconds since the first call; the first call returns 0.
double e_time();
// The stack the main thread may grow to.  The recursive walks of expression
// trees descend once per level, and trees are refused one level past
// MAX_NESTING (frontend/expr.h): at the limit the deepest walk,
// compilation, needs about 27 MiB in the optimised build and 115 MiB in
// the sanitizer build (bench/nesting_bench.cpp), far more than the usual
// 8 MiB.
constexpr uint64_t STACK_WANTED = uint64_t{256} << 20;
// Raises the soft limit of the stack (RLIMIT_STACK) to STACK_WANTED, within
// the hard limit, when it is lower.  Linux checks the limit as the main
// thread's stack grows, so the raise counts from here on; the limit the
// process started with is kept for its children (stack_limit_child).
// First thing at start-up, before any deep walk.
void stack_setup();
// In a child process between fork and exec: puts back the stack limit the
// program started with (a system call only, safe after fork).
void stack_limit_child();
// User plus system CPU seconds of the process.
double xectim();
// who 0: the process, 1: its waited-for children.  times[0] gets the system
// seconds, times[1] the user seconds; a null times does nothing.
void cputimes(int who, double* times);
// Calendar seconds plus the clock-tick count, reduced to 32 bits: the seed
// used when option randseed is 0.
uint32_t L_time();
// Sleeps for a fractional number of seconds; nothing unless secs > 0.  An
// interrupted sleep is not resumed.
void sleeper(double secs);

}  // namespace vexo

#endif  // VEXO_SUPPORT_MACHINE_H
