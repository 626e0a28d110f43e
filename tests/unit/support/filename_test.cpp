#include "support/filename.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "eval/set.h"
#include "frontend/paramdcl.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/progopen.h"
#include "support/symbol.h"
#include "test_util.h"

extern char** environ;

namespace vexo {
namespace {

using test::run_captured;

// The session's entities that steer the mapping: _backslash_map,
// _filename_case and the pairs of _file_prefixmap.
void set_backslash(double v) { *sysparam_cell(backslash_map) = v; }
void set_case(double v) { *sysparam_cell(filename_case) = v; }
void set_pairs(std::vector<std::pair<std::string, std::string>> pairs) {
  set* s = set_enum(new_enum(), 2);
  for (auto& [from, to] : pairs) {
    symbol* t[2] = {Symbol(from.c_str(), 1), Symbol(to.c_str(), 1)};
    set_addmem(s, t);
  }
  Sd_file_prefixmap->value = s;
}

// The mapping's entities as start-up makes them (no mapping).
class FileName : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Stderr) Init_Stderr();
    init_modules(1);
  }
  void TearDown() override { Serving = 0; }

  // The mapped name, and whether it came in a block of the right class.
  static std::string mapped(const char* name, bool* changed = nullptr) {
    int k;
    char* r = filename_map(name, &k);
    std::string s = r;
    if (changed) *changed = k >= 0;
    if (k >= 0) {
      EXPECT_NE(r, name);
      EXPECT_EQ(blkclass(r), k);
      EXPECT_EQ(k, htcl(s.size() + 1));
      del_mblk(k, r);
    } else {
      EXPECT_EQ(r, name);
      EXPECT_EQ(k, -1);
    }
    return s;
  }

  // Everything readable from fd, which is then closed.
  static std::string drain(int fd) {
    std::string s = test::read_all(fd);
    close(fd);
    return s;
  }
};

TEST_F(FileName, BackslashAndCaseMaps) {
  bool changed;
  EXPECT_EQ(mapped("a\\b\\c.dat", &changed), "a\\b\\c.dat");
  EXPECT_FALSE(changed);
  set_backslash(1);
  EXPECT_EQ(mapped("a\\b\\c.dat", &changed), "a/b/c.dat");
  EXPECT_TRUE(changed);
  EXPECT_EQ(mapped("plain.mod", &changed), "plain.mod");
  EXPECT_FALSE(changed);
  set_backslash(0.5);
  EXPECT_EQ(mapped("a\\b"), "a\\b");

  set_backslash(1);
  set_case(1);
  EXPECT_EQ(mapped("Data\\X.DAT"), "data/x.dat");
  EXPECT_EQ(mapped("lower\\only"), "lower/only");
  set_backslash(0);
  EXPECT_EQ(mapped("Data\\X.DAT"), "data\\x.dat");
  // The value is truncated: 1.7 folds, 2 and a value that is not a number
  // never do.
  struct {
    double v;
    bool folds;
  } values[] = {
      {1.7, true}, {2, false}, {0.9, false}, {NAN, false}, {INFINITY, false}};
  for (auto& c : values) {
    set_case(c.v);
    EXPECT_EQ(mapped("AbC", &changed), c.folds ? "abc" : "AbC") << c.v;
    EXPECT_EQ(changed, c.folds) << c.v;
  }
}

TEST_F(FileName, FirstMatchingPrefixPairWins) {
  set_pairs({{"C:/models/", "/home/m/"}, {"C:/", "/mnt/c/"}});
  EXPECT_EQ(mapped("C:/models/a.mod"), "/home/m/a.mod");
  EXPECT_EQ(mapped("C:/other/b.dat"), "/mnt/c/other/b.dat");
  EXPECT_EQ(mapped("C:/"), "/mnt/c/");
  EXPECT_EQ(mapped("C:"), "C:");  // a longer from never matches
  EXPECT_EQ(mapped("D:/x"), "D:/x");

  // Pairs apply after the other maps, once; to may be shorter or empty.
  set_pairs({{"c:/", ""}, {"", "never/"}});
  set_backslash(1);
  set_case(1);
  EXPECT_EQ(mapped("C:\\Dir\\F"), "dir/f");
  set_pairs({{"", "top/"}});
  EXPECT_EQ(mapped("x"), "top/x");
}

TEST_F(FileName, FopenMapOpensTheMappedNameCloseOnExec) {
  char dir[] = "/tmp/vexo_fnXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string real = std::string(dir) + "/in.dat";
  FILE* w = std::fopen(real.c_str(), "w");
  ASSERT_NE(w, nullptr);
  std::fputs("data\n", w);
  std::fclose(w);

  set_pairs({{"@", std::string(dir) + "/"}});
  FILE* f = Fopen_map("@in.dat", "r");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(fcntl(fileno(f), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
  char line[16] = {};
  EXPECT_NE(std::fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "data\n");
  std::fclose(f);
  EXPECT_EQ(Fopen_map("@missing.dat", "r"), nullptr);

  void* handle = &handle;
  int fd = Open_map("@in.dat", &handle);
  EXPECT_EQ(handle, nullptr);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(drain(fd), "data\n");
  EXPECT_EQ(Open_map("@missing.dat", &handle), -1);

  unlink(real.c_str());
  rmdir(dir);
}

TEST_F(FileName, CommandInputReadsTheCommandsOutput) {
  void* handle = &handle;
  int fd = Open_map("<  printf 'a b\\n'; echo c", &handle);
  EXPECT_EQ(handle, nullptr);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
  EXPECT_EQ(drain(fd), "a b\nc\n");

  // Standard input is /dev/null, so a reading command ends at once.
  fd = Open_map("<cat; echo done", &handle);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(drain(fd), "done\n");

  // The command is taken before mapping.
  set_backslash(1);
  fd = Open_map("<printf '%s' 'x\\y'", &handle);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(drain(fd), "x\\y");

  EXPECT_EQ(Open_map("<", &handle), -1);
  EXPECT_EQ(Open_map("< \t ", &handle), -1);
  EXPECT_EQ(progopen("echo", nullptr), -1);
}

TEST_F(FileName, CommandInputWithStandardInputAndOutputClosed) {
  // The pipe then takes descriptors 0 and 1; the command's output must
  // still arrive.  Run in a child, so that this process keeps its streams.
  int res[2];
  ASSERT_EQ(pipe(res), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(0);
    close(1);
    void* handle = nullptr;
    int fd = Open_map("<echo out", &handle);
    std::string got = fd < 0 ? "failed" : test::read_all(fd);
    ssize_t w = write(res[1], got.data(), got.size());
    _exit(w < 0);
  }
  close(res[1]);
  EXPECT_EQ(drain(res[0]), "out\n");
  int status;
  waitpid(pid, &status, 0);
}

TEST_F(FileName, CommandInputUsesTheChildEnvironmentsShell) {
  // A SHELL that is not an executable format falls back to /bin/sh.
  char script[] = "/tmp/vexo_shXXXXXX";
  int sfd = mkstemp(script);
  ASSERT_GE(sfd, 0);
  ASSERT_EQ(write(sfd, "\x01\x02\x03", 3), 3);
  close(sfd);
  chmod(script, 0755);
  // The exported environment is the process's (the option table's).
  char** saved = environ;
  std::string shell = std::string("SHELL=") + script;
  char probe[] = "VEXO_PROBE=seen";
  char* env[] = {shell.data(), probe, nullptr};
  environ = env;
  void* handle = nullptr;
  int fd = Open_map("<echo $VEXO_PROBE", &handle);
  environ = saved;
  ASSERT_GE(fd, 0);
  EXPECT_EQ(drain(fd), "seen\n");

  // A SHELL that cannot be run at all gives an empty input.
  char none[] = "SHELL=/nonexistent/shell";
  char* env2[] = {none, nullptr};
  environ = env2;
  fd = Open_map("<echo no", &handle);
  environ = saved;
  ASSERT_GE(fd, 0);
  EXPECT_EQ(drain(fd), "");
  unlink(script);
}

TEST_F(FileName, CommandInputIsRefusedInServerMode) {
  int saved_rc = rc;
  Serving = 1;
  int fd = 0;
  auto r = run_captured([&] {
    void* handle = nullptr;
    fd = Open_map("<echo hi", &handle);
  });
  EXPECT_EQ(fd, -1);
  EXPECT_FALSE(r.exited || r.aborted);
  EXPECT_NE(r.err.find("Server mode: input via <echo hi prohibited."),
            std::string::npos)
      << r.err;
  rc = saved_rc;
}

}  // namespace
}  // namespace vexo
