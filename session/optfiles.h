// Named environments and option files.
#ifndef VEXO_SESSION_OPTFILES_H
#define VEXO_SESSION_OPTFILES_H

namespace vexo {

// Writes the changed options to the files named by OPTIONS_INOUT and
// OPTIONS_OUT at the end of the session.  The least form: nothing.
void write_options();

}  // namespace vexo

#endif  // VEXO_SESSION_OPTFILES_H
