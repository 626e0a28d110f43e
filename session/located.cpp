// The warning counter of messages printed by their callers and the
// decision whether an aborted command ends the session.
#include "session/located.h"

#include "frontend/neighbours.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "session/loop.h"
#include "session/startup.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"

namespace vexo {

double xoption;

static int current_infile() { return infile; }
int (*bottom_infile_hook)() = current_infile;

void warninc(int bit) {
  count_warning(bit, true);
  pr_badnames = 0;
}

int bail_quit() {
  if (bailquit == 2) {
    Fprintf(stdout,
            "\nTerminating VEXO due to command-line option \"-x %g\".\n",
            xoption);
    myexit(3);
  }
  if (!interactive || warn_exit) return 1;
  return bottom_infile_hook() != 0;
}

int badfname(const char* s) {
  for (; *s; ++s) {
    if (tok_type[static_cast<unsigned char>(*s)] != 4)
      return static_cast<unsigned char>(*s);
  }
  return 0;
}

static void myexit_entry(int code) { myexit(code); }

void located_init() {
  squawk_hook = squawk;
  bail_quit_hook = bail_quit;
  cmd_cleanup_hook = cmd_cleanup;
  cmdwhere_hook = cmdwhere;
  myexit_hook = myexit_entry;
}

}  // namespace vexo
