// Child processes (solvers and shell commands), the -x time limit, and the
// current directory.
#ifndef VEXO_SESSION_CHILD_H
#define VEXO_SESSION_CHILD_H

#include <csignal>
#include <cstddef>
#include <cstdio>
#include <sys/types.h>

namespace vexo {

struct param;
struct redirect;
struct xrecomp;

// The environment handed to child processes: the exported option
// environment (Get_env, session/options.h) once the options exist, the
// process environment before them (during start-up).
char** child_env();

// The child being waited for (0: none), and the child to which an
// interrupt has been forwarded already.
extern volatile std::sig_atomic_t child;
extern volatile std::sig_atomic_t childint;

// Runs prog (a name without "/" is searched along option PATH) with the
// null-ended argv, whose slot argv[-1] is free (a script that the system
// cannot execute runs under /bin/sh from there), and the environment env.
// Output: into redir when given, else captured (block mode: one block
// named block per read; a log stream: copied by Printf) when capture is
// set, else the session's own standard output and error.  Waits for that
// child only.  A status above ecmax (absolute value) sets gotbreak, with
// the hint naming optname when gotbreak was 0 and ecmax positive; an exit
// code above eignore is reported.  cpu receives the children's system and
// user seconds.  Returns the raw wait status, or 383 when prog is not
// found ("Cannot find \"%s\"").
int run(const char* prog, char** argv, int ecmax, int eignore, FILE* redir,
        bool capture, const char* block, double cpu[2], char** env,
        const char* optname);
// The run of a solver (which 1) or shell command (which 0): the exported
// environment written to envfile first when not empty, the output of r
// (evaluated with xr) opened, run, the eight time params of times
// updated.  Returns the raw wait status.
int run1(const char* prog, char** argv, const char* envfile, redirect* r,
         xrecomp* xr, int which, param** times);

// Arms the -x wall-clock limit: a one-shot timer of secs seconds whose
// alarm (catchalarm) interrupts a running child, then quits and kills it
// two seconds apart, and ends the session with code 3.
void start_alarm(double secs);

// The current directory into buf (size bytes): its length, or 0 when it
// does not fit or cannot be read.
size_t get_cwd(char* buf, size_t size);
// Changes the current directory: 0, or -1.
int ch_dir(const char* path);
// The `cd` command (kind 53): to the directory that *pe names when given
// (refused in server mode), then "cd <dir> ;" on the command's output, and
// _cd takes the directory.
void cd_cmd(struct expr** pe, redirect* r, xrecomp* xr);

// The child of a pipe function: pair[0] reads its standard output, pair[1]
// writes its standard input ("/bin/sh -c cmd", the process environment
// inherited); *pid its process id.  0, or 1 when a pipe or the fork fails.
int pipestart(const char* cmd, int pair[2], int* pid);
// One write to pair[1] (a broken pipe makes it fail with EPIPE instead of
// ending the session) or one read from pair[0]: the system call's result.
// A read that a signal interrupts acts on it (signal_point) and goes on,
// but an interrupt (Ctrl-C) ends it: -1 with errno EINTR and gotbreak set.
ssize_t pipewrite(const int pair[2], const void* buf, size_t n);
ssize_t piperead(const int pair[2], void* buf, size_t n);
// Closes both descriptors and reaps the child (ended with SIGKILL when it
// has not ended at once); the result of the second close.
int pipeclose(int pair[2], int pid);

// Start-up and `reset`: no child.
void child_reset();

}  // namespace vexo

#endif  // VEXO_SESSION_CHILD_H
