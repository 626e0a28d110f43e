// The fuzz targets' common part: one session per input, in this process.
#include "fuzz/harness.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <ftw.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "session/include.h"
#include "session/loop.h"
#include "session/startup.h"
#include "support/pool.h"

namespace vexo::fuzz {
namespace {

// Set while an input runs: the process guards below refuse then.
bool in_input;

// ---------------------------------------------------------------------------
// The process around an input

// Descriptors open before the input: those it leaves open besides are
// closed after it (a session that ends inside a file leaves the file open,
// which a process that exits never notices).
constexpr int FD_SCAN = 256;
std::vector<bool> open_fds() {
  std::vector<bool> open(FD_SCAN);
  for (int fd = 0; fd < FD_SCAN; ++fd) open[fd] = fcntl(fd, F_GETFD) != -1;
  return open;
}

// ---------------------------------------------------------------------------
// The scratch directory

std::string scratch;  // absolute; created at the first input
int home_fd = -1;     // the directory to return to after an input

int remove_entry(const char* path, const struct stat*, int, struct FTW* f) {
  if (f->level > 0) ::remove(path);
  return 0;
}

void remove_scratch() {
  if (scratch.empty()) return;
  nftw(scratch.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
  rmdir(scratch.c_str());
}

void make_scratch() {
  const char* tmp = getenv("TMPDIR");
  std::string pattern =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/vexo_fuzz_XXXXXX";
  if (!mkdtemp(pattern.data())) {
    perror("vexo fuzz: mkdtemp");
    abort();
  }
  scratch = pattern;
  atexit(remove_scratch);
  home_fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Writes size bytes of data to name in the scratch directory (the current
// one).
void write_input(const char* name, const uint8_t* data, size_t size) {
  int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    perror("vexo fuzz: input file");
    abort();
  }
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n <= 0) {
      perror("vexo fuzz: input file");
      abort();
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  close(fd);
}

// Makes descriptor 0 the named file (or /dev/null).
// A program may loop for ever (repeat without a condition): every second
// of CPU time an input takes, an interrupt is made pending, as a user's
// Ctrl-C would, so that loops end with "<BREAK>" and the input goes on.
// The engine's own timer (SIGALRM, real time) is left alone.
void on_cpu_second(int) {
  if (in_input) gotbreak = 1;
}

void arm_break_timer(bool on) {
  static bool installed;
  if (!installed) {
    struct sigaction sa {};
    sa.sa_handler = on_cpu_second;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGVTALRM, &sa, nullptr);
    installed = true;
  }
  itimerval t{};
  if (on) t.it_interval.tv_sec = t.it_value.tv_sec = 1;
  setitimer(ITIMER_VIRTUAL, &t, nullptr);
}

void set_stdin(const char* name) {
  int fd = open(name, O_RDONLY);
  if (fd < 0) {
    perror("vexo fuzz: standard input");
    abort();
  }
  if (fd != 0) {
    dup2(fd, 0);
    close(fd);
  }
}

// ---------------------------------------------------------------------------
// Once per process

void start_process() {
  // A known environment: the options of the session come from it.
  clearenv();
  setenv("PATH", "/usr/bin:/bin", 1);
  process_setup("vexo");
  make_scratch();
}

}  // namespace

int run_program(input_mode mode, const uint8_t* data, size_t size,
                const char* model) {
  static bool started;
  if (!started) {
    start_process();
    started = true;
  }
  if (chdir(scratch.c_str()) != 0) {
    perror("vexo fuzz: scratch directory");
    abort();
  }
  static char input_name[] = "input", model_name[] = "model";
  bool data_mode = mode == input_mode::data || mode == input_mode::data_typed;
  if (data_mode && !model) abort();
  if (mode == input_mode::data_typed) {
    std::string typed = std::string(model) + "data;\n";
    typed.append(reinterpret_cast<const char*>(data), size);
    write_input(input_name, reinterpret_cast<const uint8_t*>(typed.data()),
                typed.size());
  } else {
    write_input(input_name, data, size);
  }
  if (data_mode) {
    std::string text = std::string(model) + "data input;\n";
    write_input(model_name, reinterpret_cast<const uint8_t*>(text.data()),
                text.size());
  }
  bool from_stdin = mode == input_mode::interactive ||
                    mode == input_mode::block ||
                    mode == input_mode::data_typed;
  set_stdin(from_stdin ? input_name : "/dev/null");
  std::vector<bool> fds = open_fds();

  // A new process's state: the recorded memory goes, and start-up (in
  // run_session) runs the one list of a new session (init_modules).
  mem_reset();

  static char vexo[] = "vexo", server[] = "-R", vi1[] = "-vi1", b[] = "-b";
  char* argv[4] = {vexo, server, nullptr, nullptr};
  switch (mode) {
    case input_mode::file:
      argv[2] = input_name;
      break;
    case input_mode::interactive:
    case input_mode::data_typed:
      argv[2] = vi1;
      break;
    case input_mode::block:
      argv[2] = b;
      break;
    case input_mode::data:
      argv[2] = model_name;
      break;
  }
  in_input = true;
  arm_break_timer(true);
  run_session(3, argv, 0);
  arm_break_timer(false);
  // Include files still open are closed as their ends would close them.
  end_include(0);
  in_input = false;

  std::vector<bool> now = open_fds();
  for (int fd = 3; fd < FD_SCAN; ++fd)
    if (now[fd] && !fds[fd]) close(fd);
  nftw(".", remove_entry, 16, FTW_DEPTH | FTW_PHYS);
  if (fchdir(home_fd) != 0) abort();
  return 0;
}

}  // namespace vexo::fuzz

// ---------------------------------------------------------------------------
// Process guards: while an input runs, no program is started and the
// current directory stays.  Outside an input (the fuzzing engine's own
// merge and fork modes) the calls go through.

namespace {

template <class F>
F next_fn(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

using vexo::fuzz::in_input;

using spawn_fn = int (*)(pid_t*, const char*, const posix_spawn_file_actions_t*,
                         const posix_spawnattr_t*, char* const*, char* const*);

// posix_spawn and posix_spawnp (name) refused or passed on.
int spawn(const char* name, pid_t* pid, const char* path,
          const posix_spawn_file_actions_t* actions,
          const posix_spawnattr_t* attr, char* const argv[],
          char* const envp[]) {
  if (in_input) return EPERM;
  return next_fn<spawn_fn>(name)(pid, path, actions, attr, argv, envp);
}

}  // namespace

extern "C" {

pid_t fork(void) {
  if (in_input) return errno = EPERM, -1;
  return next_fn<pid_t (*)()>("fork")();
}

// A forwarded vfork would return into a frame that is gone: fork serves.
pid_t vfork(void) { return fork(); }

int execve(const char* path, char* const argv[], char* const envp[]) {
  if (in_input) return errno = EPERM, -1;
  return next_fn<int (*)(const char*, char* const*, char* const*)>("execve")(
      path, argv, envp);
}

int execv(const char* path, char* const argv[]) {
  if (in_input) return errno = EPERM, -1;
  return next_fn<int (*)(const char*, char* const*)>("execv")(path, argv);
}

int execvp(const char* file, char* const argv[]) {
  if (in_input) return errno = EPERM, -1;
  return next_fn<int (*)(const char*, char* const*)>("execvp")(file, argv);
}

int system(const char* command) {
  if (in_input) return errno = EPERM, -1;
  return next_fn<int (*)(const char*)>("system")(command);
}

FILE* popen(const char* command, const char* type) {
  if (in_input) return errno = EPERM, nullptr;
  return next_fn<FILE* (*)(const char*, const char*)>("popen")(command, type);
}

int posix_spawn(pid_t* pid, const char* path,
                const posix_spawn_file_actions_t* actions,
                const posix_spawnattr_t* attr, char* const argv[],
                char* const envp[]) {
  return spawn("posix_spawn", pid, path, actions, attr, argv, envp);
}

int posix_spawnp(pid_t* pid, const char* file,
                 const posix_spawn_file_actions_t* actions,
                 const posix_spawnattr_t* attr, char* const argv[],
                 char* const envp[]) {
  return spawn("posix_spawnp", pid, file, actions, attr, argv, envp);
}

int chdir(const char* path) {
  if (in_input) return errno = EACCES, -1;
  return next_fn<int (*)(const char*)>("chdir")(path);
}

int fchdir(int fd) {
  if (in_input) return errno = EACCES, -1;
  return next_fn<int (*)(int)>("fchdir")(fd);
}

}  // extern "C"
