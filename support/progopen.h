// Child processes behind input names: "<command" runs the command with the
// shell and reads its standard output through a pipe.
#ifndef VEXO_SUPPORT_PROGOPEN_H
#define VEXO_SUPPORT_PROGOPEN_H

#include <cstdio>

namespace vexo {

// For a name beginning with "<": skips the blanks (bytes up to 32) after it
// and runs the rest with the shell named by SHELL in the exported option
// environment (child_env, session/child.h; "/bin/sh" when SHELL is unset,
// and when the exec finds no executable format), standard input from
// /dev/null, standard output into a pipe.
// Returns the pipe's read end (close-on-exec), or -1 when the name does not
// begin with "<", nothing follows it, the pipe fails or the child is gone.
// handle is not touched.
int progopen(const char* name, void** handle);

// Marks the stream's descriptor close-on-exec; the result of fcntl.
int set_CLOEXEC(FILE* f);

}  // namespace vexo

#endif  // VEXO_SUPPORT_PROGOPEN_H
