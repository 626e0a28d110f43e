// Command files: redirections, read files, close and remove.
#include "session/cmdfiles.h"

#include "report/prex.h"
#include "session/execute.h"

namespace vexo {

void file_reinit(int) {}

void dispfile(redirect* r, xrecomp*) {
  df = nullptr;
  if (r) not_implemented("output redirection");
}

}  // namespace vexo
