// Child processes, the -x time limit and the current directory.
//
// The handlers here run while a child runs (sigcatch) or when the -x timer
// fires (catchalarm); they only forward signals, re-arm the timer and
// record what the session must do (gotbreak, a pending end through the
// session loop's self-pipe, post_exit).
#include "session/child.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "compiler/recomp.h"
#include "frontend/decl.h"
#include "frontend/paramdcl.h"
#include "session/cmdfiles.h"
#include "session/cmdrec.h"
#include "session/environs.h"
#include "session/execute.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/options.h"
#include "session/opttable.h"
#include "session/rawio.h"
#include "session/sysdecls.h"
#include "support/block.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/strtod.h"
#include "support/text.h"

extern char** environ;

namespace vexo {

char** child_env() { return ev ? Get_env() : environ; }

volatile std::sig_atomic_t child;
volatile std::sig_atomic_t childint;

// Alarm events taken (never reset: the sequence runs once per session).
static volatile std::sig_atomic_t alarmseen;
// The children's CPU seconds (system, user) at the end of the last run1.
static double oldtime[2];

void child_reset() {
  child = 0;
  childint = 0;
}

// ---- Signals.

static void one_shot(int secs, int usecs) {
  itimerval t{};
  t.it_value.tv_sec = secs;
  t.it_value.tv_usec = usecs;
  setitimer(ITIMER_REAL, &t, nullptr);
}

static void catch_signal(int sig, void (*h)(int)) {
  struct sigaction sa = {};
  sa.sa_handler = h;
  sigemptyset(&sa.sa_mask);
  sigaction(sig, &sa, nullptr);
}

static void catchalarm(int) {
  alarmseen = alarmseen + 1;
  int seen = alarmseen;
  pid_t c = child;
  if (seen == 1) {
    gotbreak = 2;
    // The session ends with 3 once the running command (and child) let
    // it reach a safe point.
    post_time_limit();
    if (c) kill(c, SIGINT);
  } else if (seen == 2) {
    if (c) kill(c, SIGQUIT);
  } else if (seen == 3) {
    if (c) kill(c, SIGKILL);
    return;
  } else {
    return;
  }
  if (c) {
    catch_signal(SIGALRM, catchalarm);
    one_shot(2, 0);
  }
}

static void sigcatch(int sig) {
  pid_t c = child;
  if (sig == SIGHUP || sig == SIGTERM) post_exit(sig);
  if (c) kill(c, sig);
  if (sig == SIGINT) {
    if (c && childint == c)
      catchalarm(SIGALRM);
    else
      childint = c;
  }
}

void start_alarm(double secs) {
  if (!(secs > 0)) return;
  catch_signal(SIGALRM, catchalarm);
  double whole = secs >= 2e9 ? 2e9 : static_cast<double>(int64_t(secs));
  one_shot(int(whole), int((secs - whole) * 1e6));
}

// ---- run.

// The program's path: a name with "/" as it is, else the first executable
// candidate along option PATH ("" or "." entries: the name itself).
static bool find_program(const char* name, std::string* path) {
  if (std::strchr(name, '/')) {
    *path = name;
    return true;
  }
  const char* p = opt_path;
  if (!p || !*p) return false;
  uid_t uid = geteuid();
  gid_t gid = getegid();
  for (;;) {
    const char* e = std::strchr(p, ':');
    std::string dir(p, e ? size_t(e - p) : std::strlen(p));
    std::string cand = dir.empty() || dir == "." ? name : dir + "/" + name;
    struct stat st;
    if (stat(cand.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
      mode_t bit = st.st_uid == uid   ? S_IXUSR
                   : st.st_gid == gid ? S_IXGRP
                                      : S_IXOTH;
      if (st.st_mode & bit) {
        *path = cand;
        return true;
      }
    }
    if (!e) return false;
    p = e + 1;
  }
}

// In the child after fork: the session's files closed, then the program;
// a child that cannot exec ends with 4 by _exit (nothing of the parent's
// state may run in it).
[[noreturn]] static void child_exec(const char* path, const char* name,
                                    char** argv, char** env) {
  for (int i = 1; pfiles && i < pf_n; ++i) {
    Fileinfo& e = pfiles[i];
    if (e.mode == 2 && e.f)
      close(fileno(e.f));
    else if (e.mode == 1 && e.fd >= 0)
      close(e.fd);
  }
  stack_limit_child();
  execve(path, argv, env);
  if (errno == ENOEXEC) {
    static char sh[] = "sh";
    argv[-1] = sh;
    argv[0] = const_cast<char*>(name);
    execve("/bin/sh", argv - 1, env);
  }
  int e = errno;
  const char* msg = std::strerror(e);
  std::string text = std::string("Cannot invoke ") + name + ": " + msg + "\n";
  ssize_t w = write(2, text.data(), text.size());
  (void)w;
  _exit(4);
}

// Forwarding of the four signals while the child runs.
struct forwarding {
  struct sigaction saved[4];
  static constexpr int sigs[4] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};
  bool hup;
  forwarding() {
    struct sigaction old;
    hup = !(sigaction(SIGHUP, nullptr, &old) == 0 && old.sa_handler == SIG_IGN);
    for (int i = 0; i < 4; ++i) {
      if (i == 0 && !hup) continue;
      struct sigaction sa = {};
      sa.sa_handler = sigcatch;
      sigemptyset(&sa.sa_mask);
      sigaction(sigs[i], &sa, &saved[i]);
    }
  }
  ~forwarding() {
    for (int i = 0; i < 4; ++i)
      if (i || hup) sigaction(sigs[i], &saved[i], nullptr);
  }
};

// Copies what the child writes into the pipe fd to the session's output.
static void copy_output(int fd, const char* block) {
  char buf[4096];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (blockmode) {
      const char* was = blockname;
      blockstart(block);
      Printf("%.*s", int(n), buf);
      blockstart(was);
    } else {
      Printf("%.*s", int(n), buf);
    }
  }
}

int run(const char* prog, char** argv, int ecmax, int eignore, FILE* redir,
        bool capture, const char* block, double cpu[2], char** env,
        const char* optname) {
  std::string path;
  if (!find_program(prog, &path)) {
    Fprintf(Stderr, "Cannot find \"%s\"\n", prog);
    errorend();
    std::fflush(Stderr);
    return 383;
  }
  flush_outputs();
  fflush(Stderr);
  if (redir) fflush(redir);
  int fds[2] = {-1, -1};
  if (!redir && capture && pipe2(fds, O_CLOEXEC) != 0) fds[0] = fds[1] = -1;
  errno = 0;
  pid_t pid = fork();
  if (pid == 0) {
    if (redir) {
      dup2(fileno(redir), 1);
      dup2(fileno(redir), 2);
    } else if (fds[1] >= 0) {
      dup2(fds[1], 1);
      dup2(fds[1], 2);
    }
    child_exec(path.c_str(), prog, argv, env);
  }
  int status = 0;
  bool wait_failed = pid < 0;
  if (pid > 0) {
    child = pid;
    forwarding fw;
    if (fds[0] >= 0) {
      close(fds[1]);
      copy_output(fds[0], block);
    }
    for (;;) {
      pid_t w = waitpid(pid, &status, 0);
      if (w == pid) break;
      if (w < 0 && errno != EINTR) {
        wait_failed = true;
        break;
      }
    }
    child = 0;
    childint = 0;
  }
  if (fds[0] >= 0) close(fds[0]);
  if (fds[1] >= 0 && pid <= 0) close(fds[1]);
  cputimes(1, cpu);
  if (!wait_failed && status == 0) return 0;
  int m = ecmax < 0 ? -ecmax : ecmax;
  if (wait_failed) {
    Fprintf(Stderr, "Cannot invoke ");
    Perror(prog);
    errno = 0;
    if (!status) status = 1 << 8;
  } else if (status & 0xff) {
    Fprintf(Stderr, "error running %s:\n\ttermination code %d%s\n", prog,
            status & 0x7f, status & 0x80 ? "; core file written" : "");
  } else if (status > m || (status >> 8) > eignore) {
    Fprintf(Stderr, "exit value %d\n", status >> 8);
  }
  if (status > m) {
    if (!gotbreak && ecmax > 0)
      Fprintf(Stderr,
              "Specifying \"option %s %d;\" would suppress \"<BREAK>\".\n",
              optname, status);
    gotbreak = 1;
  }
  errorend();
  std::fflush(Stderr);
  return status;
}

// ---- run1.

// Reads up to n bytes from descriptor 0, a read at a time until n arrive
// or the input ends; the count read.
static size_t read_stdin(char* buf, size_t n) {
  size_t got = 0;
  while (got < n) {
    ssize_t r = read(0, buf + got, n - got);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    got += size_t(r);
  }
  return got;
}

// The reply of the front end: in block mode a frame "<length> <message>"
// (length at most 80), else one read of up to 84 bytes.  Empty when there
// is none.
static std::string frontend_reply() {
  char buf[96];
  if (!blockmode) {
    ssize_t r;
    do r = read(0, buf, 84);
    while (r < 0 && errno == EINTR);
    return r > 0 ? std::string(buf, size_t(r)) : std::string();
  }
  size_t got = read_stdin(buf, 4);
  size_t digits = 0, len = 0;
  while (digits < got && buf[digits] >= '0' && buf[digits] <= '9')
    len = len * 10 + size_t(buf[digits++] - '0');
  if (!digits) return std::string();
  if (len > 80) len = 80;
  size_t total = digits + 1 + len;
  if (total > got) got += read_stdin(buf + got, total - got);
  if (got <= digits + 1) return std::string();
  return std::string(buf + digits + 1, got - digits - 1);
}

// Parses "exit <code> [<system time> [<user time>]]": false when the text
// is not of that form.
static bool parse_exit(const std::string& msg, int* code, double t[2]) {
  const char* s = msg.c_str();
  if (std::strncmp(s, "exit ", 5) != 0) return false;
  char* e;
  long c = std::strtol(s + 5, &e, 10);
  if (e == s + 5) return false;
  *code = int(c);
  for (int i = 0; i < 2; ++i) {
    s = e;
    double v = Strtod(s, &e);
    if (e == s) break;
    t[i] = v;
  }
  while (*e == ' ' || *e == '\t' || *e == '\r' || *e == '\n') ++e;
  return !*e;
}

// "-bs" (block mode) or "-b0s": the front end runs the solver.  The file it may write
// (the redirection's, else the log kept open for the solver's output) is
// closed meanwhile; "solve_args <count> <dir> <env file> <that file>"
// and the words of argv go out, "exit <code> [<system> [<user>]]" comes
// back on descriptor 0.  The exit code is returned; cpu receives oldtime
// plus the times reported.  A reply of another form is reported and
// counts as a failed run (-1), the files reopened first.
static int frontend_run(char** argv, const char* envfile, int redir_find,
                        bool log_kept, double cpu[2]) {
  std::string fname;
  if (redir_find > 0)
    fname = file_suspend(redir_find);
  else if (log_kept && log_suspend())
    fname = log_fname;
  std::string saved = blockname;
  if (blockmode) blockstart("run_args");
  int n = 0;
  while (argv[n]) ++n;
  char dir[4096];
  if (!get_cwd(dir, sizeof dir)) std::strcpy(dir, ".");
  Printf("solve_args %d %q %q %q", n, dir, envfile, fname.c_str());
  for (int i = 0; i < n; ++i) Printf(" %q", argv[i]);
  Printf("\n");
  if (blockmode) {
    blockstart("prompt7");
    Printf("\n");
    blockstart(saved.c_str());
  }
  std::fflush(stdout);
  std::string msg = frontend_reply();
  int code = 0;
  double t[2] = {0, 0};
  bool good = msg.empty() || parse_exit(msg, &code, t);
  if (redir_find > 0) {
    file_resume(redir_find);
  } else if (!fname.empty()) {
    log_resume();  // reports a log that cannot be reopened
  }
  cpu[0] = oldtime[0] + t[0];
  cpu[1] = oldtime[1] + t[1];
  if (!good) {
    while (!msg.empty() && msg.back() == '\n') msg.pop_back();
    serror("%s %s\nbut got \"%s\"\n", "run_args reply: expected",
           "exit <exitcode> <system_time> <user_time>", msg.c_str());
    mark_rc(2);
    return -1;
  }
  return code;
}

int run1(const char* prog, char** argv, const char* envfile, redirect* r,
         xrecomp* xr, int which, param** times) {
  if (r) dispfile(r, xr);
  FILE* redir = r && df != stdout ? df : nullptr;
  int redir_find = redir ? r->find : -1;
  char** env = child_env();
  if (envfile && *envfile) {
    if (FILE* f = std::fopen(envfile, "w")) {
      write_environ(f);
    } else {
      Fprintf(Stderr, "can't open %s\n", envfile);
      errno = 0;
      errorend();
      envfile = "";
    }
  }
  // A solver's output is copied to the log; any other child runs with the
  // log closed, so what it writes there lands after the session's output.
  bool log_closed = false;
  if (log_file && (which == 0 || redir)) {
    bool redir_is_log = redir && redir == log_file;
    log_closed = log_suspend();
    if (redir_is_log) {
      redir = nullptr;
      redir_find = -1;
    }
  }
  double start = e_time();
  double cpu[2] = {0, 0};
  int status;
  if (guisolve && which == 1) {
    status = frontend_run(argv, envfile ? envfile : "", redir_find,
                          log_file != nullptr, cpu);
  } else {
    bool capture = blockmode || (which == 1 && log_file);
    // The terminal is the child's while it runs.
    Allow_stdin(0);
    status = run(prog, argv, shell_ecm[which], shell_exitignore[which], redir,
                 capture, which ? "solve_output" : "shell_output", cpu, env,
                 which ? "solve_exitcode_max" : "shell_exitcode_max");
    Allow_stdin(1);
  }
  if (log_closed) log_resume();  // reports a log that cannot be reopened
  double elapsed = e_time() - start;
  double sys = cpu[0] - oldtime[0], user = cpu[1] - oldtime[1];
  oldtime[0] = cpu[0];
  oldtime[1] = cpu[1];
  double* t[8];
  for (int i = 0; i < 8; ++i) t[i] = sysparam_cell(times[i]);
  if (t[0]) {
    *t[3] = elapsed;
    *t[7] += elapsed;
    *t[1] = sys;
    *t[5] += sys;
    *t[2] = user;
    *t[6] += user;
    *t[0] = *t[1] + *t[2];
    *t[4] = *t[5] + *t[6];
    for (int i = 0; i < 8; ++i) times[i]->stamp = nextgenlev;
  }
  // What a signal recorded while the child ran (the -x limit, a hang-up)
  // is acted on now.
  signal_point();
  return status;
}

// ---- The current directory.

size_t get_cwd(char* buf, size_t size) {
  if (!getcwd(buf, size)) return 0;
  return std::strlen(buf);
}

int ch_dir(const char* path) { return chdir(path) ? -1 : 0; }

void cd_cmd(expr** pe, redirect* r, xrecomp* xr) {
  dispfile(r, xr);
  if (*pe) {
    if (Serving) {
      cantserve("cd", nullptr);
      return;
    }
    cstr* name = rdfname(pe, xr);
    int bad = ch_dir(name->text());
    if (bad) error(0, "Can't cd \"%s\".", name->text());
    zap_cstr(&name);
    if (bad) return;
  }
  std::string dir;
  for (int k = 8; k <= 12 && dir.empty(); ++k) {
    size_t size = (size_t(8) << k) - 16;
    std::string b(size, '\0');
    if (size_t n = get_cwd(b.data(), size)) dir.assign(b.data(), n);
  }
  if (dir.empty()) {
    error(0, "Failure in getcwd");
    dir.assign(1, '.');
  }
  Fprintf(df, "cd %q ;\n", dir.c_str());
  fflush(df);
  set_sparam(Curdir, dir.c_str());
}

// ---------------------------------------------------------------------------
// Pipe functions

int pipestart(const char* cmd, int pair[2], int* pid) {
  pair[0] = pair[1] = 0;
  *pid = 0;
  int to[2], from[2];
  if (pipe(to)) return 1;
  if (pipe(from)) {
    close(to[0]);
    close(to[1]);
    return 1;
  }
  flush_outputs();
  fflush(Stderr);
  pid_t p = fork();
  if (p < 0) {
    close(to[0]);
    close(to[1]);
    close(from[0]);
    close(from[1]);
    return 1;
  }
  if (p == 0) {
    dup2(to[0], 0);
    dup2(from[1], 1);
    close(to[0]);
    close(to[1]);
    close(from[0]);
    close(from[1]);
    execl("/bin/sh", "sh", "-c", cmd, static_cast<char*>(nullptr));
    _exit(1);
  }
  close(to[0]);
  close(from[1]);
  fcntl(from[0], F_SETFD, FD_CLOEXEC);
  fcntl(to[1], F_SETFD, FD_CLOEXEC);
  pair[0] = from[0];
  pair[1] = to[1];
  *pid = static_cast<int>(p);
  return 0;
}

ssize_t pipewrite(const int pair[2], const void* buf, size_t n) {
  spjb = 1;
  ssize_t r;
  do r = write(pair[1], buf, n);
  while (r < 0 && errno == EINTR && !gotbreak);
  spjb = 0;
  if (pipe_broken) {
    pipe_broken = 0;
    errno = EPIPE;
    return -1;
  }
  return r;
}

ssize_t piperead(const int pair[2], void* buf, size_t n) {
  for (;;) {
    ssize_t r = read(pair[0], buf, n);
    if (r >= 0 || errno != EINTR) return r;
    signal_point();
    if (gotbreak) {
      errno = EINTR;
      return -1;
    }
  }
}

int pipeclose(int pair[2], int pid) {
  close(pair[0]);
  int r = close(pair[1]);
  if (pid > 0) {
    int st;
    if (waitpid(pid, &st, WNOHANG) == 0) {
      // Give the child a moment to see the end of its input.
      for (int i = 0; i < 20; ++i) {
        usleep(5000);
        if (waitpid(pid, &st, WNOHANG) != 0) return r;
      }
      kill(pid, SIGKILL);
      waitpid(pid, &st, 0);
    }
  }
  return r;
}

}  // namespace vexo
