// Command files: redirections, read files, close and remove.
#include "session/cmdfiles.h"

namespace vexo {

void file_reinit(int) {}

}  // namespace vexo
