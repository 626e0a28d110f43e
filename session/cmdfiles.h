// Command files: redirections, read files, close and remove.
#ifndef VEXO_SESSION_CMDFILES_H
#define VEXO_SESSION_CMDFILES_H

namespace vexo {

struct redirect;
struct xrecomp;

// Closes the session's input and output files (k 0 at the end of the
// session, 1 at a reset).  The least form: nothing, no command file is
// opened yet.
void file_reinit(int k);
// Opens the output of a command: with r null, df is the standard output.
// The least form: a redirection is reported as not implemented yet (an
// error of the command), since no command file is opened yet.
void dispfile(redirect* r, xrecomp* xr);

}  // namespace vexo

#endif  // VEXO_SESSION_CMDFILES_H
