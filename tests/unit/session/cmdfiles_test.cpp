// The table of command files: output that goes on where it stopped,
// eviction and reopening, read files, close, remove and the log file.
#include "session/cmdfiles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "frontend/cmdbuild.h"
#include "frontend/expr.h"
#include "frontend/frontend_fixture.h"
#include "frontend/reader.h"
#include "session/include.h"
#include "session/startup.h"
#include "support/filename.h"
#include "support/message.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::run_captured;

class CmdFiles : public ::testing::Test, protected test::InputDir {
 protected:
  void SetUp() override {
    test::start_session(false);  // file_init among the start-up
    enter("/tmp/vexo_cmdf_XXXXXX");
    inputs({"top.mod", "top\n"});
    nextline();
  }
  void TearDown() override {
    end_include(0);
    file_reinit(1);
    log_ofname = log_fname = "";
    Serving = 0;
    leave();
  }
  static std::string contents(const char* name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  static FILE* out(const char* name, int append = 0) {
    int k;
    FILE* f = disp0file(name, append, &k);
    EXPECT_NE(f, nullptr) << name;
    return f;
  }
  // A chain of name literals, as the grammar gives them to close and
  // remove.
  static expr* names(std::initializer_list<const char*> list) {
    expr* first = nullptr;
    expr** tail = &first;
    for (const char* n : list) {
      *tail = new_str(new_cstring(n));
      tail = &(*tail)->next;
    }
    return first;
  }
  static redirect* input(const char* name) {
    static redirect r;
    r = {new_str(new_cstring(name)), 2, 0};
    return &r;
  }
  // The line a `read` of name gets next ("<end>" at its end); the read
  // ends afterwards.
  static std::string read_line(const char* name) {
    read_file(input(name), nullptr);
    std::string line = "<end>";
    if (nextc < lastc || nextline()) {
      line.assign(nextc, lastc);
      nextc = lastc;
    }
    read_end();
    return line;
  }
};

TEST_F(CmdFiles, OutputGoesOnWhereItStopped) {
  int k1, k2;
  FILE* f = disp0file("f", 0, &k1);
  fputs("1\n", f);
  // A second ">" does not truncate the open file.
  EXPECT_EQ(disp0file("f", 0, &k2), f);
  EXPECT_EQ(k2, k1);
  fputs("2\n", f);
  EXPECT_EQ(close_cmd("f"), 1);
  EXPECT_EQ(contents("f"), "1\n2\n");
  // After close, ">" starts afresh and ">>" appends.
  fputs("3\n", out("f"));
  close_cmd("f");
  EXPECT_EQ(contents("f"), "3\n");
  fputs("4\n", out("f", 1));
  file_reinit(0);
  EXPECT_EQ(contents("f"), "3\n4\n");
  EXPECT_EQ(fi_nopen, 0);
  // "-" is the program's standard output, which no close ends, or the file
  // that stdOut stands for at the time.
  EXPECT_EQ(out("-"), stdout);
  close_cmd("-");
  EXPECT_NE(fcntl(1, F_GETFD), -1);
  stdOut = out("f");
  EXPECT_EQ(out("-"), stdOut);
  stdOut = stdout;
  EXPECT_EQ(out("-"), stdout);
  EXPECT_EQ(close_cmd("never"), 1);
}

// Output to a file waits for flush_outputs (which flushes what was written
// since its last call, closed streams not among them); output to a pipe
// goes out line by line as it comes.
TEST_F(CmdFiles, FilesWaitForTheFlushPipesGetEachLine) {
  FILE* f = out("f");
  fputs("1\n", f);
  item_written(f);
  EXPECT_EQ(contents("f"), "");
  flush_outputs();
  EXPECT_EQ(contents("f"), "1\n");
  // A stream closed after it was written is not flushed again.
  fputs("2\n", out("g"));
  close_cmd("g");
  flush_outputs();
  EXPECT_EQ(contents("g"), "2\n");

  ASSERT_EQ(mkfifo("p", 0600), 0);
  int rd = open("p", O_RDONLY | O_NONBLOCK);
  ASSERT_GE(rd, 0);
  FILE* p = out("p");
  fputs("a\nb", p);
  item_written(p);
  char buf[8] = {};
  EXPECT_EQ(read(rd, buf, sizeof buf), 2);
  EXPECT_STREQ(buf, "a\n");
  flush_outputs();
  EXPECT_EQ(read(rd, buf, sizeof buf), 1);
  close_cmd("p");
  close(rd);
}

// 70 files written twice each in turn: the least recently used streams are
// closed and reopened for appending, and no line is lost.
TEST_F(CmdFiles, SeventyFilesTwiceEach) {
  for (const char* line : {"a\n", "b\n"}) {
    for (int i = 0; i < 70; ++i) {
      std::string name = "f" + std::to_string(i);
      fputs(line, out(name.c_str()));
      EXPECT_LE(fi_nopen, fi_maxopen);
    }
  }
  file_reinit(0);
  for (int i = 0; i < 70; ++i) {
    std::string name = "f" + std::to_string(i);
    EXPECT_EQ(contents(name.c_str()), "a\nb\n") << name;
  }
}

TEST_F(CmdFiles, OpenFailureIsReported) {
  auto r = run_captured([] {
    int k;
    EXPECT_EQ(disp0file("no/such/dir", 0, &k), nullptr);
    EXPECT_EQ(k, -1);
  });
  EXPECT_EQ(r.err, "\n\tcan't open \"no/such/dir\"\n");
}

TEST_F(CmdFiles, ServerModeWritesToStandardOutput) {
  Serving = 2;
  int k;
  auto r = run_captured([&] { EXPECT_EQ(disp0file("f", 0, &k), stdOut); });
  EXPECT_EQ(r.err, "\n\tServer mode: writing to file f prohibited.\n");
  Serving = 1;
  r = run_captured([&] { EXPECT_EQ(disp0file("a/b", 0, &k), stdOut); });
  EXPECT_EQ(r.err, "\n\tServer mode: nonalphanumeric file names prohibited.\n");
  EXPECT_EQ(access("f", F_OK), -1);
}

// Successive reads go on where the last one stopped, also after the file
// was closed for lack of descriptors; after close they start again.
TEST_F(CmdFiles, ReadsGoOnWhereTheLastStopped) {
  write_file("r", "l1\nl2\nl3\n");
  EXPECT_EQ(read_line("r"), "l1\n");
  EXPECT_STREQ(infname, "top.mod");
  EXPECT_EQ(nfs, 0);
  for (int i = 0; i < fi_maxopen; ++i) out(("o" + std::to_string(i)).c_str());
  EXPECT_EQ(pfiles[pindex("r", nullptr)].fd, -1);  // closed meanwhile
  EXPECT_EQ(read_line("r"), "l2\n");
  close_cmd("r");
  EXPECT_EQ(read_line("r"), "l1\n");
  EXPECT_EQ(read_line("r"), "l2\n");
  EXPECT_EQ(read_line("r"), "l3\n");
  EXPECT_EQ(read_line("r"), "<end>");
  // Writing the file drops its read position; reading it again starts at
  // its top.
  fputs("w\n", out("r"));
  EXPECT_EQ(read_line("r"), "w\n");
}

// A read file opened while twelve includes are stacked is refused, and the
// stack is left as it was.
TEST_F(CmdFiles, ReadRefusedWhenTheStackIsFull) {
  write_file("f.mod", "f\n");
  write_file("r", "x\n");
  for (int i = 0; i < MAX_INCLUDES; ++i) include("f.mod", 0, 1);
  interactive = 1;
  auto r = run_captured([] { read_file(input("r"), nullptr); });
  interactive = 0;
  EXPECT_TRUE(r.exited || r.aborted);
  EXPECT_EQ(r.err, "\n\tcan't read \"r\": input files nested too deeply\n");
  EXPECT_EQ(doing_read_cmd, 0);
  EXPECT_LE(nfs, MAX_INCLUDES);
}

// An aborted command ends the read first, then the includes.
TEST_F(CmdFiles, AbortEndsTheRead) {
  write_file("r", "r1\nr2\n");
  read_file(input("r"), nullptr);
  ASSERT_EQ(doing_read_cmd, 1);
  nextline();
  nextc = lastc;
  end_include(0);
  EXPECT_EQ(doing_read_cmd, 0);
  EXPECT_EQ(nfs, 0);
  EXPECT_STREQ(infname, "top.mod");
  EXPECT_EQ(read_line("r"), "r2\n");
}

TEST_F(CmdFiles, CloseAndRemove) {
  fputs("1\n", out("a"));
  fputs("1\n", out("b"));
  fputs("1\n", out("c"));
  // close with names; close alone closes the rest.
  close_cmde(names({"a"}), nullptr);
  EXPECT_EQ(pfiles[pindex("a", nullptr)].mode, 0);
  EXPECT_EQ(fi_nopen, 2);
  close_cmde(nullptr, nullptr);
  EXPECT_EQ(fi_nopen, 0);
  // remove deletes open and closed files; a missing one is passed over
  // quietly.
  fputs("2\n", out("b"));
  auto r = run_captured([] {
    remove_cmd(names({"a", "b", "nofile"}), nullptr);
  });
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(access("a", F_OK), -1);
  EXPECT_EQ(access("b", F_OK), -1);
  EXPECT_EQ(contents("c"), "1\n");
}

// The log file stays first, survives close without names, and closing or
// removing it empties it.
TEST_F(CmdFiles, LogFile) {
  log_ofname = "log";
  file_init();
  ASSERT_NE(log_file, nullptr);
  EXPECT_EQ(log_find, 1);
  fputs("x\n", out("o"));
  EXPECT_EQ(pfiles[0].next, log_find);
  fputs("logged\n", log_file);
  close_cmde(nullptr, nullptr);
  ASSERT_NE(log_file, nullptr);
  fflush(log_file);
  EXPECT_EQ(contents("log"), "logged\n");
  remove_cmd(names({"log"}), nullptr);
  ASSERT_NE(log_file, nullptr);
  EXPECT_EQ(contents("log"), "");
  fputs("again\n", log_file);
  file_reinit(1);
  EXPECT_EQ(log_file, nullptr);
  EXPECT_EQ(contents("log"), "again\n");
  // Start-up after a reset opens it again, appending.
  file_init();
  ASSERT_NE(log_file, nullptr);
  fputs("more\n", log_file);
  file_reinit(1);
  EXPECT_EQ(contents("log"), "again\nmore\n");
}

TEST_F(CmdFiles, InputsAreClosedOnExec) {
  void* h;
  int fd = Open_map("top.mod", &h);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
  close(fd);
  EXPECT_EQ(fcntl(fileno(out("w")), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
}

}  // namespace
}  // namespace vexo
