// The vexo program itself, run as a child with a pipe held open on its
// standard input: signals end it with their codes, SIGHUP ignored at start
// stays ignored, and nothing is left in its temporary directory.  The
// program is looked for next to the folder of this test binary (the build
// puts it at <build>/vexo and the test at <build>/tests/).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "program_path.h"
#include "signal_wait.h"

namespace {

using vexo::test::vexo_path;

// Removes the folder named and everything in it.
void remove_tree(const std::string& dir) {
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  EXPECT_FALSE(ec) << dir << ": " << ec.message();
}

struct step {
  int sig;            // a signal to send, or 0
  const char* input;  // text to write to the program's input, or null
  bool busy = false;  // first wait until the program runs a long loop,
                      // which follows the first output it writes
  bool opening = false;  // first wait until it is blocked opening a file
};

struct result {
  int code = -1;    // the exit code; -1 when ended by a signal
  int signal = 0;   // the signal that ended it
  std::string out;  // standard output and error together
  bool tmp_empty = true;
};

// Starts vexo with args and its input from a pipe, waits until its
// handlers stand (SIGTERM caught), performs the steps in order (each signal
// taken before the next step), closes the pipe and waits for the end.  With
// hup_ignored the program starts with SIGHUP ignored.
result run_vexo(std::vector<std::string> args,
                std::initializer_list<step> steps, bool hup_ignored = false) {
  result res;
  std::string prog = vexo_path();
  char tmpl[] = "/tmp/vexo_driverXXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::string tmp = dir + "/tmp";
  mkdir(tmp.c_str(), 0700);
  std::string outfile = dir + "/out";
  int in[2];
  EXPECT_EQ(pipe(in), 0);
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    close(in[0]);
    close(in[1]);
    int o = open(outfile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(o, 1);
    dup2(o, 2);
    close(o);
    if (chdir(dir.c_str()) != 0) _exit(120);
    setenv("TMPDIR", (tmp + "/").c_str(), 1);
    signal(SIGHUP, hup_ignored ? SIG_IGN : SIG_DFL);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("vexo"));
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(prog.c_str(), argv.data());
    _exit(121);
  }
  close(in[0]);
  EXPECT_TRUE(vexo::test::wait_caught(pid, SIGTERM))
      << "handlers never installed";
  for (const step& s : steps) {
    if (s.busy) {
      // A process waiting for a processor is running too (state R): on a
      // loaded machine start-up alone can look busy.  The output written
      // before the loop tells that start-up is over.
      EXPECT_TRUE(vexo::test::wait_file_nonempty(outfile)) << "no output";
      EXPECT_TRUE(vexo::test::wait_busy(pid)) << "never busy";
    }
    if (s.opening) {
      EXPECT_TRUE(vexo::test::wait_opening(pid)) << "never opening";
    }
    if (s.sig) vexo::test::send_signal(pid, s.sig);
    if (s.input) {
      ssize_t w = write(in[1], s.input, strlen(s.input));
      EXPECT_GT(w, 0);
    }
  }
  close(in[1]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status))
    res.code = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    res.signal = WTERMSIG(status);
  std::ifstream f(outfile, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  res.out = ss.str();
  std::error_code ec;
  res.tmp_empty = std::filesystem::is_empty(tmp, ec) || ec;
  remove_tree(dir);
  return res;
}

// Runs vexo (argv[0] "vexo", found through PATH when path_run) with
// standard input from /dev/null, the process environment env (NAME=value
// texts) and args; returns standard error.  An input name that begins with
// "<" runs a shell command with the program's environment, so a command
// that prints variables to standard error shows what the program set.
std::string run_env(const std::vector<std::string>& env,
                    std::vector<std::string> args, bool path_run) {
  char tmpl[] = "/tmp/vexo_envrunXXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::string errfile = dir + "/err";
  std::string prog = vexo_path();
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int n = open("/dev/null", O_RDONLY);
    dup2(n, 0);
    int o = open(errfile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(o, 1);
    dup2(o, 2);
    if (chdir(dir.c_str()) != 0) _exit(120);
    clearenv();
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("vexo"));
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (path_run)
      execvp("vexo", argv.data());
    else
      execv(prog.c_str(), argv.data());
    _exit(121);
  }
  int status;
  waitpid(pid, &status, 0);
  std::ifstream f(errfile, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  remove_tree(dir);
  return ss.str();
}

class Driver : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(access(vexo_path().c_str(), X_OK), 0)
        << "no vexo program at " << vexo_path();
  }
};

TEST_F(Driver, TerminationSignalsEndWithTheirNumbers) {
  struct {
    int sig;
    int code;
    const char* out;
  } rows[] = {{SIGTERM, 15, ""},
              {SIGQUIT, 3, ""},
              {SIGHUP, 1, ""},
              {SIGABRT, 6, ""},
              {SIGPIPE, 13, "\n\n*** Unexpected SIGPIPE received. ***\n\n"}};
  for (auto& r : rows) {
    result res = run_vexo({}, {{r.sig, nullptr}});
    EXPECT_EQ(res.signal, 0) << strsignal(r.sig);
    EXPECT_EQ(res.code, r.code) << strsignal(r.sig);
    EXPECT_EQ(res.out, r.out) << strsignal(r.sig);
    EXPECT_TRUE(res.tmp_empty) << strsignal(r.sig);
  }
}

TEST_F(Driver, Interrupts) {
  // Two interrupts before the first is served end the session with 32.
  // The session may serve the first before the second arrives (then each
  // is served alone and the input's end gives 2): a few tries are allowed
  // on a loaded machine.
  result two;
  for (int attempt = 0; attempt < 5; ++attempt) {
    two = run_vexo({}, {{SIGINT, nullptr}, {SIGINT, nullptr}});
    if (two.code != 2) break;
  }
  EXPECT_EQ(two.signal, 0);
  EXPECT_EQ(two.code, 32);
  EXPECT_TRUE(two.tmp_empty);
  // One interrupt only counts: the session reads on, and its input (a
  // declaration) ends it normally.
  result one = run_vexo({}, {{SIGINT, nullptr}, {0, "param p;\n"}});
  EXPECT_EQ(one.signal, 0);
  EXPECT_EQ(one.code, 0) << one.out;
  // In block mode the code goes out in the "exit" block, twice.  (The
  // "break" block started before it stays empty, and an empty block is
  // never sent.)
  result block = run_vexo({"-b"}, {{SIGINT, nullptr}, {SIGINT, nullptr}});
  EXPECT_EQ(block.code, 32);
  EXPECT_NE(block.out.find("11 exit\n32\n32\n"), std::string::npos)
      << block.out;
}

TEST_F(Driver, FloatingPointExceptionAbandonsTheCommandOnly) {
  // Reported and treated as an error of the statement being read; the
  // session reads on (its input is not a file), and the error bit stays.
  result res = run_vexo({}, {{SIGFPE, nullptr}, {0, "param p;\n"}});
  EXPECT_EQ(res.signal, 0);
  EXPECT_EQ(res.code, 2);
  EXPECT_EQ(res.out, "\nfloating point exception.\n\n") << res.out;
  // At an interactive terminal the session goes on with rc 0.
  res = run_vexo({"-vi1"}, {{SIGFPE, nullptr}, {0, "param p;\n"}});
  EXPECT_EQ(res.code, 0);
}

TEST_F(Driver, LongLoopsAnswerSignals) {
  // An interrupt abandons the running command with "<BREAK>"; at a
  // terminal the session goes on (the statement whose start ran the
  // waiting repeat, and the next one).
  const char* loop = "print \"go\";\nrepeat {}\nprint 1;\n";
  result brk = run_vexo({"-vi1"}, {{0, loop}, {SIGINT, "print 2;\n", true}});
  EXPECT_EQ(brk.signal, 0);
  EXPECT_EQ(brk.code, 0);
  EXPECT_EQ(brk.out, "go\n<BREAK>\n1\n2\n");
  // A termination request ends the session from inside the loop.
  result term = run_vexo({"-vi1"}, {{0, loop}, {SIGTERM, nullptr, true}});
  EXPECT_EQ(term.signal, 0);
  EXPECT_EQ(term.code, 15);
  EXPECT_EQ(term.out, "go\n");
  EXPECT_TRUE(term.tmp_empty);
}

TEST_F(Driver, AnInterruptedOpenIsServedAsItsSignal) {
  // data and include of a FIFO that has no writer wait in its open; a
  // signal there is a signal, not a missing file.
  char tmpl[] = "/tmp/vexo_fifoXXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::string fifo = dir + "/ff";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string data = "data " + fifo + ";\n";
  std::string include = "include " + fifo + ";\n";
  struct {
    std::vector<std::string> args;
    const std::string& input;
    int sig;
    const char* after;  // input written once the signal is taken
    int code;
    const char* out;
  } rows[] = {{{}, data, SIGTERM, nullptr, 15, ""},
              {{}, include, SIGHUP, nullptr, 1, ""},
              // An interrupt abandons the command; the session reads on.
              {{"-vi1"}, data, SIGINT, "print 1;\n", 0, "<BREAK>\n1\n"}};
  for (auto& r : rows) {
    result res = run_vexo(
        r.args, {{0, r.input.c_str()}, {r.sig, r.after, false, true}});
    EXPECT_EQ(res.signal, 0) << strsignal(r.sig);
    EXPECT_EQ(res.code, r.code) << strsignal(r.sig) << "\n" << res.out;
    EXPECT_EQ(res.out, r.out) << strsignal(r.sig);
  }
  std::string rm = "rm -rf " + dir;
  EXPECT_EQ(system(rm.c_str()), 0);
}

TEST_F(Driver, OutputToAClosedPipeEndsTheSession) {
  // The program's output goes to a reader that takes one byte and closes
  // its end (as head -c 1 does); the next write is an unexpected broken
  // pipe.
  char tmpl[] = "/tmp/vexo_pipeXXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::string run = dir + "/m.run", err = dir + "/err";
  std::ofstream(run) << "repeat { print \"line\"; }\n";
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  std::string prog = vexo_path();
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(e, 2);
    close(e);
    signal(SIGPIPE, SIG_DFL);
    execl(prog.c_str(), "vexo", run.c_str(), static_cast<char*>(nullptr));
    _exit(121);
  }
  close(out[1]);
  char c;
  EXPECT_EQ(read(out[0], &c, 1), 1);
  close(out[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 13);
  std::ifstream f(err, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  EXPECT_EQ(ss.str(), "\n\n*** Unexpected SIGPIPE received. ***\n\n");
  remove_tree(dir);
}

TEST_F(Driver, HangupIgnoredAtStartStaysIgnored) {
  result res = run_vexo({}, {{SIGHUP, nullptr}, {SIGTERM, nullptr}}, true);
  EXPECT_EQ(res.signal, 0);
  EXPECT_EQ(res.code, 15);  // the hang-up did nothing; the SIGTERM ended it
}

TEST_F(Driver, ForcedZeroExitCoversSignals) {
  EXPECT_EQ(run_vexo({"-w"}, {{SIGTERM, nullptr}}).code, 0);
  EXPECT_EQ(run_vexo({"-w"}, {{SIGINT, nullptr}, {SIGINT, nullptr}}).code, 0);
}

TEST_F(Driver, StartedThroughPathAppendsItsDirectoryOnce) {
  std::string prog = vexo_path();
  std::string bin = prog.substr(0, prog.rfind('/'));
  char real[4096];
  ASSERT_TRUE(realpath(bin.c_str(), real));
  std::string path = bin + ":/usr/bin:/bin";
  std::string err =
      run_env({"PATH=" + path, "VEXO_ENVFILE=/nonexistent/vexo.env"},
              {"<printf '[%s][%s]' \"$PATH\" \"$VEXO_INSTALL_DIR\" >&2"}, true);
  EXPECT_EQ(err, "[" + path + ":" + real + "/][" + real + "/]");
}

TEST_F(Driver, EnvironmentFileAndDefaultSolver) {
  char tmpl[] = "/tmp/vexo_envfileXXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::string file = dir + "/my.env";
  std::ofstream(file, std::ios::binary) << "  EA  = blanks kept \r\n"
                                           "EB=x=y\r\n"
                                           "=nothing\r\n"
                                           "# EC=comment\r\n"
                                           "\tED=last";
  std::string show =
      "<printf '[%s][%s][%s][%s][%s][%s]' \"$EA\" \"$EB\" "
      "\"${EC-unset}\" \"$ED\" \"${solver-unset}\" \"$VEXO_ENVFILE\" >&2";
  std::vector<std::string> env = {"PATH=/usr/bin:/bin", "VEXO_ENVFILE=" + file};
  EXPECT_EQ(run_env(env, {show}, false),
            "[ blanks kept ][x=y][unset][last][vexocbc][" + file + "]");
  env.push_back("VEXO_DEFAULT_SOLVER=none");
  EXPECT_EQ(run_env(env, {show}, false),
            "[ blanks kept ][x=y][unset][last][][" + file + "]");
  remove_tree(dir);
}

TEST_F(Driver, TimesOptionEchoesTheCommandLineBeforeTheHeading) {
  std::string err = run_env(
      {"PATH=/usr/bin:/bin", "VEXO_ENVFILE=/nonexistent/vexo.env", "times=1"},
      {"-w", "-"}, false);
  // The phase lines of the empty session's batch path follow.
  std::string head =
      "\n# vexo -w -\n"
      "#\t\tuser\t\tsystem\t\tincremental\ttotal\n"
      "#phase\t\tseconds\t\tseconds\t\tmemory\t\tmemory\n#";
  EXPECT_EQ(err.substr(0, head.size()), head);
}

}  // namespace
