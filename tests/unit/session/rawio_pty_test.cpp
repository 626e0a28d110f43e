// The vexo program on a pseudo-terminal: keys typed reach the session
// through the reader thread, ^C and ^D act as at a terminal, a child gets
// the terminal to itself, and the terminal's modes are put back on every
// way out.  The program starts in a scratch directory with a clean
// environment; waits are generous (10 s) and nothing is timed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "program_path.h"
#include "signal_wait.h"

namespace {

const std::string ESC = "\x1b";
const std::string PROMPT = "vexo: ";

struct pty_run {
  int master = -1;
  int slave = -1;  // kept open here, to read the modes after the end
  pid_t pid = -1;
  std::string dir;
  std::string out;  // everything the terminal was sent
  size_t seen = 0;  // out is searched from here

  explicit pty_run(std::vector<std::string> args = {}) {
    char tmpl[] = "/tmp/vexo_ptyXXXXXX";
    dir = mkdtemp(tmpl);
    master = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master, 0);
    grantpt(master);
    unlockpt(master);
    slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    EXPECT_GE(slave, 0);
    std::string prog = vexo::test::vexo_path();
    args.insert(args.begin(), prog);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string path = "PATH=/usr/bin:/bin";
    std::string tmp = "TMPDIR=" + dir;
    std::string home = "HOME=" + dir;
    std::vector<char*> env = {path.data(), tmp.data(), home.data()};
    std::string asan;
    if (const char* a = getenv("ASAN_OPTIONS")) {
      asan = std::string("ASAN_OPTIONS=") + a;
      env.push_back(asan.data());
    }
    env.push_back(nullptr);
    fflush(nullptr);
    pid = fork();
    if (pid == 0) {
      setsid();
      ioctl(slave, TIOCSCTTY, 0);
      dup2(slave, 0);
      dup2(slave, 1);
      dup2(slave, 2);
      close(slave);
      close(master);
      if (chdir(dir.c_str()) != 0) _exit(120);
      execve(argv[0], argv.data(), env.data());
      _exit(121);
    }
    fcntl(master, F_SETFL, O_NONBLOCK);
  }
  ~pty_run() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    close(master);
    close(slave);
    std::filesystem::remove_all(dir);
  }
  void file(const std::string& name, const std::string& text = "x") {
    std::ofstream(dir + "/" + name) << text;
  }
  // Reads what is there, waiting up to ms for something.
  bool pump(int ms) {
    pollfd p = {master, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0) return false;
    char buf[4096];
    ssize_t n = read(master, buf, sizeof buf);
    if (n <= 0) return false;
    out.append(buf, size_t(n));
    return true;
  }
  // Waits until s is shown after what was seen so far; seen moves past it.
  bool expect(const std::string& s) {
    for (int i = 0; i < 200; ++i) {
      size_t at = out.find(s, seen);
      if (at != std::string::npos) {
        seen = at + s.size();
        return true;
      }
      pump(50);
    }
    ADD_FAILURE() << "not shown: \"" << s << "\" in:\n" << out.substr(seen);
    return false;
  }
  void type(const std::string& keys) {
    size_t off = 0;
    while (off < keys.size()) {
      ssize_t n = write(master, keys.data() + off, keys.size() - off);
      if (n > 0) {
        off += size_t(n);
      } else {
        pump(10);
      }
    }
  }
  // A command's output, then the next prompt.  (The prompt is written by
  // the session and the echo by the reader thread: after an interrupt
  // they may interleave, so the output is not looked for at a line start.)
  bool result(const std::string& keys, const std::string& shown) {
    type(keys);
    return expect(shown + "\r\n" + PROMPT);
  }
  // Waits for the end: the exit code, or 128 + the signal.
  int finish() {
    for (int i = 0; i < 400; ++i) {
      int st;
      pid_t w = waitpid(pid, &st, WNOHANG);
      if (w == pid) {
        pid = -1;
        while (pump(0)) {
        }
        return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
      }
      pump(50);
    }
    ADD_FAILURE() << "did not end:\n" << out.substr(seen);
    return -1;
  }
  bool cooked() {
    termios t;
    return tcgetattr(slave, &t) == 0 && (t.c_lflag & ICANON) &&
           (t.c_lflag & ECHO) && (t.c_iflag & ICRNL);
  }
  bool raw() {
    termios t;
    return tcgetattr(slave, &t) == 0 && !(t.c_lflag & ICANON) &&
           !(t.c_lflag & ECHO);
  }
};

TEST(RawTerminal, EditingKeysAndEnd) {
  pty_run r;
  ASSERT_TRUE(r.expect(PROMPT));
  EXPECT_TRUE(r.raw());
  // Keys and what the command typed prints.
  struct {
    std::string keys, shown;
  } cases[] = {
      {"rint 1+1;\x01p\r", "2"},
      {"print 12;" + ESC + "[D" + ESC + "[D3" + ESC + "[C" + ESC + "[C\x05\r",
       "132"},
      {"print 1+2;" + ESC + "b3\r", "33"},
      {"print 5 + 6;\x01" + ESC + "f1\r", "21"},
      {"print 8; foo\x17\r", "8"},
      {"print bad 9;\x01" + ESC + "f" + ESC + "d\r", "9"},
      {"garbage\x15print 10;\r", "10"},
      {"print 11xy\x7f\x7f;\r", "11"},
      {"print x12;\x01" + ESC + "f" + ESC + "[3~\r", "12"},
      {"print 56;\x01" + ESC + "f\x04\r", "6"},
      {"print 'ab';" + ESC + "[2~\r", "~ab"},
  };
  for (auto& c : cases) EXPECT_TRUE(r.result(c.keys, c.shown)) << c.keys;
  // ^C discards the line typed.
  r.type("print 99\x03");
  EXPECT_TRUE(r.expect("^C\r"));  // the terminal adds its own CR
  EXPECT_TRUE(r.expect(PROMPT));
  EXPECT_TRUE(r.result("print 7;\r", "7"));
  // ^D on an empty line: the end of input, as at the end of a file.
  r.type("\x04");
  EXPECT_EQ(r.finish(), 0);
  EXPECT_TRUE(r.cooked());
}

TEST(RawTerminal, InterruptStopsLoop) {
  pty_run r;
  ASSERT_TRUE(r.expect(PROMPT));
  r.type(
      "param x default 0; repeat while x < 1e12 { let x := x + 1; "
      "if x = 1 then print 'started'; };\r");
  ASSERT_TRUE(r.expect("started\r\n"));
  r.type("\x03");
  EXPECT_TRUE(r.expect("<BREAK>"));
  EXPECT_TRUE(r.result("print x < 1e12;\r", "1"));
  r.type("exit 3;\r");
  EXPECT_EQ(r.finish(), 3);
  EXPECT_TRUE(r.cooked());
}

TEST(RawTerminal, History) {
  pty_run r;
  ASSERT_TRUE(r.expect(PROMPT));
  EXPECT_TRUE(r.result("print 1;\r", "1"));
  EXPECT_TRUE(r.result("print 2;\r", "2"));
  EXPECT_TRUE(r.result("print 2;\r", "2"));
  r.type("   \r");
  ASSERT_TRUE(r.expect(PROMPT));
  // Stored once, blanks not stored: two up is "print 1;".
  EXPECT_TRUE(r.result(ESC + "[A" + ESC + "[A\r", "1"));
  // The line being typed comes back with its cursor.
  EXPECT_TRUE(r.result("print 3" + ESC + "[D" + ESC + "[A" + ESC + "[A" + ESC +
                           "[B" + ESC + "[B4\x05;\r",
                       "43"));
  // 301 more lines: the oldest goes; ten at a time.
  for (int i = 100; i <= 400; ++i) {
    std::string n = std::to_string(i);
    ASSERT_TRUE(r.result("print " + n + ";\r", n));
  }
  std::string up;
  for (int i = 0; i < 31; ++i) up += ESC + "[5~";
  EXPECT_TRUE(r.result(up + "\r", "101"));
  // Sent again, "print 101;" is the newest: the oldest is now "print 102;".
  EXPECT_TRUE(r.result(up + ESC + "[6~\r", "112"));
  r.type("\x04");
  EXPECT_EQ(r.finish(), 0);
}

TEST(RawTerminal, Completion) {
  pty_run r;
  r.file("model.mod");
  r.file("model2.mod");
  std::filesystem::create_directory(r.dir + "/sub");
  r.file("sub/inner.dat");
  ASSERT_TRUE(r.expect(PROMPT));
  EXPECT_TRUE(r.result("print \"mo\t\t.m\t;\r", "model.mod"));
  r.type("cd su\t;\r");
  EXPECT_TRUE(r.expect("sub' ;\r\n" + PROMPT));
  EXPECT_TRUE(r.result("print 'in\t;\r", "inner.dat"));
  r.type("\x04");
  EXPECT_EQ(r.finish(), 0);
}

TEST(RawTerminal, ChildGetsTheTerminal) {
  pty_run r;
  ASSERT_TRUE(r.expect(PROMPT));
  // The line after the command is typed while the command still works;
  // then cat reads the terminal in its own modes.
  r.type("param s; let s := sum {i in 1..200000} i; shell 'cat';\rpri");
  ASSERT_TRUE(r.expect("pri"));
  for (int i = 0; i < 400 && !r.cooked(); ++i) r.pump(25);
  ASSERT_TRUE(r.cooked());  // handed over: what is typed now is cat's
  r.type("hello\n");
  EXPECT_TRUE(r.expect("hello\r\nhello\r\n"));  // echoed, then cat's copy
  r.type("\x04");                               // cat's end of file
  EXPECT_TRUE(r.expect("\r\npri"));             // the partial line again
  EXPECT_TRUE(r.expect(PROMPT));
  EXPECT_TRUE(r.result("nt 5;\r", "5"));
  EXPECT_TRUE(r.raw());
  r.type("\x04");
  EXPECT_EQ(r.finish(), 0);
}

TEST(RawTerminal, ModesBackOnEveryEnd) {
  struct {
    const char* what;
    std::vector<std::string> args;
    int sig;  // sent at the prompt, or 0
    std::string keys;
    int code;
  } ends[] = {
      {"SIGTERM", {}, SIGTERM, "", SIGTERM},
      {"SIGHUP", {}, SIGHUP, "", SIGHUP},
      {"SIGQUIT", {}, SIGQUIT, "", SIGQUIT},
      {"SIGABRT", {}, SIGABRT, "", SIGABRT},
      {"the -x limit",
       {"-x", "1"},
       0,
       "param x default 0; repeat while x < 1e12 { let x := x + 1; };\r",
       3},
      {"exit", {}, 0, "exit 4;\r", 4},
  };
  for (auto& e : ends) {
    pty_run r(e.args);
    ASSERT_TRUE(r.expect(PROMPT)) << e.what;
    EXPECT_TRUE(r.raw()) << e.what;
    if (e.sig) kill(r.pid, e.sig);
    r.type(e.keys);
    EXPECT_EQ(r.finish(), e.code) << e.what;
    EXPECT_TRUE(r.cooked()) << e.what;
  }
  // A second interrupt for the same child ends the session (after the
  // child, which ignores interrupts, is made to quit); the thread does not
  // make the terminal raw again after the child.
  pty_run r;
  ASSERT_TRUE(r.expect(PROMPT));
  r.type("shell \"trap '' INT; sleep 30\";\r");
  pid_t c = 0;
  for (int i = 0; i < 400 && !c; ++i) {
    r.pump(25);
    std::ifstream f("/proc/" + std::to_string(r.pid) + "/task/" +
                    std::to_string(r.pid) + "/children");
    pid_t k = 0;
    if (f >> k && (vexo::test::status_mask(k, "SigIgn:") &
                   vexo::test::signal_bit(SIGINT)))
      c = k;
  }
  ASSERT_NE(c, 0);
  vexo::test::send_signal(r.pid, SIGINT);
  vexo::test::send_signal(r.pid, SIGINT);
  EXPECT_EQ(r.finish(), 3);
  EXPECT_TRUE(r.cooked());
}

// The threads of process pid.
int threads(pid_t pid) {
  int n = 0;
  std::error_code ec;
  for (auto& t : std::filesystem::directory_iterator(
           "/proc/" + std::to_string(pid) + "/task", ec)) {
    (void)t;
    ++n;
  }
  return n;
}

TEST(RawTerminal, NoThreadInBlockOrServerModeOrWhenAsked) {
  // -vi0, -b and -R: the terminal stays as it is, input is read plainly,
  // no thread is started.
  int plain = 0;
  for (const char* opt : {"-vi0", "-b", "-R"}) {
    pty_run r({opt});
    for (int i = 0; i < 10; ++i) r.pump(50);
    EXPECT_TRUE(r.cooked()) << opt;
    if (!plain) plain = threads(r.pid);
    EXPECT_EQ(threads(r.pid), plain) << opt;
  }
  pty_run r;
  ASSERT_TRUE(r.expect(PROMPT));
  EXPECT_EQ(threads(r.pid), plain + 1);
}

}  // namespace
