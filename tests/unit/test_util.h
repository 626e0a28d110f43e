// Test helper: runs a callable behind a recovery point with descriptors 1
// and 2 redirected into pipes, and returns what was written there and how
// the callable ended (normally, by an aborted command, or by the end of the
// session with its code).
//
//   auto r = vexo::test::run_captured([] { error(1, "x"); });
//   EXPECT_TRUE(r.exited);  EXPECT_EQ(r.code, 2);  r.err ...
//
// Also the small helpers that several test files share: read_all (what a
// descriptor delivers up to its end) and bits_of (a double's bit pattern).
#ifndef VEXO_UNIT_TEST_UTIL_H
#define VEXO_UNIT_TEST_UTIL_H

#include <sys/mman.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "session/cmdrec.h"
#include "session/execute.h"
#include "support/machine.h"
#include "support/message.h"

namespace vexo::test {

// Everything read from fd until its end (or a read error other than an
// interruption); fd stays open.
inline std::string read_all(int fd) {
  std::string text;
  char buf[8192];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      text.append(buf, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      return text;
    }
  }
}

// A command record of kind for a test to make the running command (curcmd),
// so that messages name it: its statement in file (null: standard input)
// at line and offset.  One record, made afresh at each call.
inline cmd_fields* command_of(int kind, const char* file = nullptr,
                              long line = 0, long offset = 0) {
  alignas(cmd_fields) static char buf[sizeof(cmd_fields) + 64];
  std::memset(buf, 0, sizeof buf);
  cmd_fields* c = reinterpret_cast<cmd_fields*>(buf);
  c->kind = kind;
  c->xrp = &c->xr;
  c->fmt = "";
  c->stmtfname = file;
  c->stmtline = line;
  c->stmtoffset = offset;
  return c;
}
// The same for the command named name (its first kind in cmdname).
inline cmd_fields* command_named(const char* name) {
  for (int k = CMD_KIND_MIN; k <= CMD_KIND_MAX; ++k)
    if (!std::strcmp(cmdname[k - CMD_KIND_MIN], name)) return command_of(k);
  return nullptr;
}

// The bit pattern of d, for comparisons that tell -0 from +0 and keep NaN
// payloads apart.
inline uint64_t bits_of(double d) { return std::bit_cast<uint64_t>(d); }

struct outcome {
  std::string out;       // bytes written to descriptor 1 (stdout, blocks)
  std::string err;       // bytes written to descriptor 2 (Stderr)
  bool aborted = false;  // command_abort reached the recovery point
  bool exited = false;   // session_exit reached it
  int code = 0;          // the exit code when exited
};

namespace detail {

// Redirects one descriptor into an anonymous file in memory, so that
// output of any size is taken without blocking the writer and without a
// thread to drain a pipe (a thread a capture cost more than the test it
// served under the address sanitizer, which gives each thread its own
// allocator caches).
class fd_capture {
 public:
  explicit fd_capture(int fd) : fd_(fd) {
    file_ = memfd_create("vexo_capture", MFD_CLOEXEC);
    if (file_ < 0) return;
    saved_ = dup(fd_);
    dup2(file_, fd_);
  }
  fd_capture(const fd_capture&) = delete;
  fd_capture& operator=(const fd_capture&) = delete;
  ~fd_capture() { finish(); }

  // Restores the descriptor and returns everything captured.
  std::string finish() {
    if (saved_ >= 0) {
      dup2(saved_, fd_);
      close(saved_);
      saved_ = -1;
    }
    if (file_ >= 0) {
      lseek(file_, 0, SEEK_SET);
      text_ = read_all(file_);
      close(file_);
      file_ = -1;
    }
    return std::move(text_);
  }

 private:
  int fd_;
  int file_ = -1;
  int saved_ = -1;
  std::string text_;
};

inline void flush_streams() {
  fflush(stdout);
  if (Stderr) fflush(Stderr);
  fflush(stderr);
}

}  // namespace detail

// Runs f() with descriptors 1 and 2 captured; command_abort and
// session_exit are caught here as a recovery point and exit point would.
template <class F>
outcome run_captured(F&& f) {
  if (!Stderr) Init_Stderr();
  detail::flush_streams();
  outcome r;
  {
    detail::fd_capture out(1), err(2);
    try {
      std::forward<F>(f)();
    } catch (const command_abort&) {
      r.aborted = true;
    } catch (const session_exit& e) {
      r.exited = true;
      r.code = e.code;
    }
    detail::flush_streams();
    r.out = out.finish();
    r.err = err.finish();
  }
  return r;
}

}  // namespace vexo::test

#endif  // VEXO_UNIT_TEST_UTIL_H
