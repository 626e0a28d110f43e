// The problem writer's dispatch on option outopt.
#include "solver/output.h"

#include "eval/funclib.h"
#include "instance/ac.h"
#include "session/infiles.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "solver/nlexpr.h"
#include "solver/nlwrite.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"

namespace vexo {

int n_dig = -1;
int ig_state;

void output_reset() {
  n_dig = -1;
  ig_state = 0;
}

int output(AC* ac) {
  n_dig = 0;
  switch (outopt[0]) {
    case 'b':
    case 'g':
      n_dig = -1;
      outmps(ac);
      break;
    case 'm':
    case 'n': {
      int nlv = ac->n_nlv_both + ac->n_nlv_con + ac->n_nlv_obj;
      if (nlv) {
        Fprintf(Stderr,
                "Problem has %d nonlinear variables.  No MPS file written.\n",
                nlv);
        bailout();
      }
      outmps(ac);
      break;
    }
    case '0':
    case '1':
      // Nothing is written, but vexo_funclibs names the libraries the
      // problem needs all the same.
      graph_setup(ac);
      adjust_vexo_funclibs();
      if (at_eof) return 0;
      if (outopt[0] == '0') {
        Fprintf(Stderr, "No files written: option outopt is 0.\n");
        errorend();
      }
      return 0;
    case 0:
      Fprintf(Stderr, "No option outopt (-o flag) given.\n");
      bailout();
    default:
      Fprintf(Stderr, "Unknown option outopt %s (-o%s).\n", outopt, outopt);
      bailout();
  }
  // No solution is held until solution files are read, so bit 2 stays
  // clear.
  ig_state = n_dig > 0 ? 1 : 0;
  if (pass_lub1 > 1) ig_state |= 4;
  return 1;
}

void ousage() {
  static const char* const opts[] = {
      "-o0 {no files written}",
      "-obstub {write stub.nl in generic binary format -- like -og,",
      "\tbut binary after the first 10 lines}",
      "-ogstub {write stub.nl in generic ASCII format}",
      "-omstub {write stub.mps in MPS format; nonlinearity disallowed}",
      "-onstub {write MPS format to stdout, honoring $auxfiles}",
      "-om {(no stub) write MPS format to stdout, ignoring $auxfiles}"};
  Fprintf(Stderr, "%s\n%s\n\n",
          "-ostuff ==> execute \"write stuff;\" at end of last command-line "
          "file",
          "if \"solve;\" would first write a .nl file.  Possible -ostuff "
          "forms:");
  for (const char* s : opts) Fprintf(Stderr, "\t%s\n", s);
  myexit(0);
}

}  // namespace vexo
