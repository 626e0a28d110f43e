// Waiting on a child process by its signal state, as /proc/<pid>/status
// shows it, in place of fixed pauses: until its handlers stand, and until a
// signal sent to it has been taken, so that a second one of the same kind
// cannot merge with it and input written afterwards follows it.
#ifndef VEXO_UNIT_SESSION_SIGNAL_WAIT_H
#define VEXO_UNIT_SESSION_SIGNAL_WAIT_H

#include <sys/syscall.h>
#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <thread>

namespace vexo::test {

// A signal mask of /proc/<pid>/status ("SigCgt:" caught, "SigPnd:" and
// "ShdPnd:" pending), 0 when it cannot be read.
inline unsigned long long status_mask(pid_t pid, const std::string& field) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(f, line)) {
    if (line.rfind(field, 0) == 0)
      return std::stoull(line.substr(field.size()), nullptr, 16);
  }
  return 0;
}

inline unsigned long long signal_bit(int sig) { return 1ULL << (sig - 1); }

// Waits (at most 20 s, the start of a sanitizer build under load) until pid
// catches sig; returns whether it does.
inline bool wait_caught(pid_t pid, int sig) {
  for (int i = 0; i < 20000; ++i) {
    if (status_mask(pid, "SigCgt:") & signal_bit(sig)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// Sends sig to pid and waits (at most 10 s) until it is no longer pending:
// the process has taken it, and its handler has run before the process goes
// on with anything else.
inline void send_signal(pid_t pid, int sig) {
  kill(pid, sig);
  for (int i = 0; i < 10000; ++i) {
    if (!((status_mask(pid, "SigPnd:") | status_mask(pid, "ShdPnd:")) &
          signal_bit(sig)))
      return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// The state letter of pid in /proc/<pid>/stat (R running, S sleeping ...),
// 0 when it cannot be read.
inline char proc_state(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(f, line);
  size_t paren = line.rfind(')');
  return paren != std::string::npos && paren + 2 < line.size()
             ? line[paren + 2]
             : 0;
}

// Waits (at most 20 s) until pid has been running on a processor for a
// while without sleeping (its state is R at 50 polls in a row): a loop that
// never waits for input has begun.
inline bool wait_busy(pid_t pid) {
  int in_a_row = 0;
  for (int i = 0; i < 20000 && in_a_row < 50; ++i) {
    in_a_row = proc_state(pid) == 'R' ? in_a_row + 1 : 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return in_a_row >= 50;
}

// Waits (at most 20 s) until the file named has something in it.
inline bool wait_file_nonempty(const std::string& name) {
  for (int i = 0; i < 20000; ++i) {
    std::ifstream f(name, std::ios::binary | std::ios::ate);
    if (f && f.tellg() > 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// Waits (at most 20 s) until pid sleeps (state S): after its handlers
// stand, a child that goes straight to a read is then waiting in it.
inline bool wait_sleeping(pid_t pid) {
  for (int i = 0; i < 20000; ++i) {
    if (proc_state(pid) == 'S') return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// Waits (at most 20 s) until pid is inside an open system call (the first
// field of /proc/<pid>/syscall), as it stays while it opens a FIFO that has
// no writer.
inline bool wait_opening(pid_t pid) {
  for (int i = 0; i < 20000; ++i) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/syscall");
    long nr = -1;
    f >> nr;
#ifdef SYS_open
    if (nr == SYS_open) return true;
#endif
    if (nr == SYS_openat) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

}  // namespace vexo::test

#endif  // VEXO_UNIT_SESSION_SIGNAL_WAIT_H
