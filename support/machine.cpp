// Timing, floating-point and standard-error set-up.
#include "support/machine.h"

#include <fenv.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/times.h>

#include <cmath>
#include <ctime>
#include <limits>

extern "C" {
FILE* Stderr;
double Infinity, negInfinity;

int fpinit_ZEF(void) { return fedisableexcept(FE_ALL_EXCEPT); }
}

namespace vexo {

static char errbuf[8192];
static struct timeval time_origin;
static bool time_first = true;

void Init_Stderr() { Stderr = stderr; }

void Stderr_to_stdout() { Stderr = stdout; }

// The stack limit found at start-up (valid once stack_setup has run).
static struct rlimit stack_found;
static bool stack_raised;

void stack_setup() {
  if (getrlimit(RLIMIT_STACK, &stack_found) != 0) return;
  struct rlimit r = stack_found;
  if (r.rlim_cur != RLIM_INFINITY && r.rlim_cur < STACK_WANTED) {
    r.rlim_cur = r.rlim_max == RLIM_INFINITY || r.rlim_max >= STACK_WANTED
                     ? STACK_WANTED
                     : r.rlim_max;
    stack_raised = setrlimit(RLIMIT_STACK, &r) == 0;
  }
}

void stack_limit_child() {
  if (stack_raised) setrlimit(RLIMIT_STACK, &stack_found);
}

void Mach() {
  Infinity = std::numeric_limits<double>::infinity();
  negInfinity = -Infinity;
  if (!Stderr) Init_Stderr();
  setvbuf(Stderr, errbuf, _IOFBF, sizeof errbuf);
}

double e_time() {
  struct timeval now;
  gettimeofday(&now, nullptr);
  if (time_first) {
    time_origin = now;
    time_first = false;
    return 0.;
  }
  return (now.tv_usec - time_origin.tv_usec) * 1e-6 +
         static_cast<double>(now.tv_sec - time_origin.tv_sec);
}

static double tv_seconds(const struct timeval& tv) {
  return static_cast<double>(tv.tv_sec) + tv.tv_usec * 1e-6;
}

double xectim() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return tv_seconds(ru.ru_utime) + tv_seconds(ru.ru_stime);
}

void cputimes(int who, double* times) {
  if (!times) return;
  struct rusage ru;
  getrusage(who ? RUSAGE_CHILDREN : RUSAGE_SELF, &ru);
  times[0] = tv_seconds(ru.ru_stime);
  times[1] = tv_seconds(ru.ru_utime);
}

uint32_t L_time() {
  struct tms t;
  clock_t ticks = ::times(&t);
  return static_cast<uint32_t>(static_cast<uint64_t>(time(nullptr)) +
                               static_cast<uint64_t>(ticks));
}

void sleeper(double secs) {
  if (!(secs > 0.)) return;  // also false for a NaN
  struct timespec ts;
  double whole = std::trunc(secs);
  ts.tv_sec = static_cast<time_t>(whole);
  ts.tv_nsec = static_cast<long>((secs - whole) * 1e9);
  nanosleep(&ts, nullptr);
}

}  // namespace vexo
