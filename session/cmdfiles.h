// Command files: redirections, read files, close and remove.
#ifndef VEXO_SESSION_CMDFILES_H
#define VEXO_SESSION_CMDFILES_H

namespace vexo {

// Closes the session's input and output files (k 0 at the end of the
// session, 1 at a reset).  The least form: nothing, no command file is
// opened yet.
void file_reinit(int k);

}  // namespace vexo

#endif  // VEXO_SESSION_CMDFILES_H
