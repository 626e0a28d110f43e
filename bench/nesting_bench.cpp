// Stack use of the recursive walks of expression trees at the nesting
// limit (MAX_NESTING, frontend/expr.h): compilation (with an evaluation),
// printing and deletion of a written-out sum, and deletion of a chain of
// unions.  Each walk runs in a child process of its own over a tree of
// that many levels, and the growth of the main thread's stack (VmStk,
// which never shrinks) is its deepest use.  Prints bytes per level and the
// total, against the stack that start-up provides (STACK_WANTED,
// support/machine.h).  Build it in the sanitizer build too
// (-DVEXO_BENCH=ON) for the larger frames there.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/in_process.h"
#include "compiler/compile.h"
#include "compiler/recomp.h"
#include "compiler/tva.h"
#include "eval/dispatch.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/strexpr.h"
#include "report/prex.h"
#include "session/startup.h"
#include "support/machine.h"

namespace {

using namespace vexo;

// The stack's size in kB, from /proc/self/status.
long stack_kb() {
  FILE* f = std::fopen("/proc/self/status", "r");
  char line[256];
  long kb = -1;
  while (f && std::fgets(line, sizeof line, f))
    if (!std::strncmp(line, "VmStk:", 6)) kb = std::atol(line + 6);
  if (f) std::fclose(f);
  return kb;
}

const int linear[4] = {0, 0, 0, 0};

// A written-out sum of n terms: ((1 + 1) + 1) ..., n levels.
expr* sum_chain(uint32_t n) {
  expr* e = new_num(1);
  while (e->depth < n)
    e = binop(opword(OPPLUS, EF_NUMERIC), e, new_num(1), linear);
  return e;
}

// A chain of unions of n levels.
set* union_chain(uint32_t n) {
  set* s = set_enum(new_enum(), 1);
  while (s->depth < n) s = set_binop(s, set_enum(new_enum(), 1), SC_UNION);
  return s;
}

// Runs walk over a tree that build makes, in a child; prints the result.
template <class B, class W>
void measure(const char* what, B build, W walk) {
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    auto tree = build(MAX_NESTING);
    long before = stack_kb();
    walk(tree);
    long after = stack_kb();
    double per = (after - before) * 1024.0 / MAX_NESTING;
    std::printf("%-28s %7.1f bytes/level  %8.1f MiB at %u levels\n", what, per,
                (after - before) / 1024.0, MAX_NESTING);
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    std::printf("%-28s failed (status %d)\n", what, status);
}

}  // namespace

int main() {
  stack_setup();
  bench::start_modules();
  std::printf("stack provided: %llu MiB\n",
              static_cast<unsigned long long>(STACK_WANTED >> 20));
  measure("compilation of a sum", sum_chain, [](expr* e) {
    compile_start();
    mri(&e, 1);
    TVA* t = compile_end(nullptr);
    std::fprintf(stderr, "%g\n", eval_num(e, t));
  });
  measure("printing of a sum (prex)", sum_chain, [](expr* e) {
    prex(e);
    pbi_flush();
  });
  measure("deletion of a sum (edelete)", sum_chain, edelete);
  measure("deletion of unions (sdelete)", union_chain, sdelete);
  return 0;
}
