// Child processes, the -x time limit and pipes.
#ifndef VEXO_SESSION_CHILD_H
#define VEXO_SESSION_CHILD_H

namespace vexo {

// The exported environment handed to child processes: the name=value texts
// of the options.  The least form: the process environment, which holds
// every option (the option table is the process's environment array).
char** gen_ex_env();
// Arms the -x wall-clock limit of secs seconds.  The least form: nothing,
// the limit is shown in _session_maxtime only.
void start_alarm(double secs);

}  // namespace vexo

#endif  // VEXO_SESSION_CHILD_H
