// Child processes, the -x time limit and pipes.
#ifndef VEXO_SESSION_CHILD_H
#define VEXO_SESSION_CHILD_H

namespace vexo {

// The environment handed to child processes: the exported option
// environment (Get_env, session/options.h) once the options exist, the
// process environment before them (during start-up).
char** child_env();
// Arms the -x wall-clock limit of secs seconds.  The least form: nothing,
// the limit is shown in _session_maxtime only.
void start_alarm(double secs);

}  // namespace vexo

#endif  // VEXO_SESSION_CHILD_H
