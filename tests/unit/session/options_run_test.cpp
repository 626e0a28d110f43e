// The options of the vexo program as its process environment sets them:
// an environment value overrides a default (also after `reset options`),
// the default solver, the option files written at exit and read at start,
// and server mode.  Each test runs the program (next to this test's folder
// in the build) in a folder of its own with exactly the environment given.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "program_path.h"

namespace {

using vexo::test::vexo_path;

struct run_result {
  int code = -1;
  std::string out;  // standard output and standard error together
};

class OptionsRun : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vexo_optrunXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    EXPECT_FALSE(ec) << dir_ << ": " << ec.message();
  }
  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ + "/" + name) << text;
  }
  std::string read(const std::string& name) {
    std::ifstream f(dir_ + "/" + name);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  // Runs vexo in the folder with input as its standard input, the
  // environment env (besides PATH) and args.
  run_result run(const std::string& input, std::vector<std::string> env,
                 std::vector<std::string> args = {}) {
    write("stdin", input);
    std::string prog = vexo_path();
    // The child only calls what is safe after fork: its vectors are made
    // here.
    env.emplace_back("PATH=/usr/bin:/bin");
    std::vector<char*> ev, av;
    for (auto& e : env) ev.push_back(e.data());
    ev.push_back(nullptr);
    av.push_back(const_cast<char*>("vexo"));
    for (auto& a : args) av.push_back(a.data());
    av.push_back(nullptr);
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir_.c_str()) != 0) _exit(120);
      int in = open("stdin", O_RDONLY);
      int out = open("out", O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(in, 0);
      dup2(out, 1);
      dup2(out, 2);
      execve(prog.c_str(), av.data(), ev.data());
      _exit(121);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run_result r;
    if (WIFEXITED(status)) r.code = WEXITSTATUS(status);
    r.out = read("out");
    return r;
  }
  std::string dir_;
};

TEST_F(OptionsRun, EnvironmentOverridesTheDefaultAlsoAfterAReset) {
  run_result r =
      run("option display_width;\noption display_width 90;\nreset options;\n"
          "option display_width;\n",
          {"display_width=120"});
  EXPECT_EQ(r.out, "option display_width 120;\noption display_width 120;\n");
  EXPECT_EQ(r.code, 0);
}

// Without an environment file and VEXO_DEFAULT_SOLVER the solver comes from
// the start-up of the environment file, not from the table.
TEST_F(OptionsRun, DefaultSolver) {
  EXPECT_EQ(run("option solver;\n", {}).out, "option solver vexocbc;\n");
  EXPECT_EQ(run("option solver;\n", {"VEXO_DEFAULT_SOLVER=mine"}).out,
            "option solver mine;\n");
}

TEST_F(OptionsRun, OptionFilesRoundTrip) {
  run_result w =
      run("option display_width 100, mine 'a b';\n", {"OPTIONS_OUT=o.txt"});
  EXPECT_EQ(w.code, 0);
  std::string o = read("o.txt");
  EXPECT_NE(o.find("option display_width 100;\n"), std::string::npos);
  EXPECT_NE(o.find("option mine 'a b';\n"), std::string::npos);
  EXPECT_LT(o.find("option display_width"), o.find("option mine"));
  run_result r = run("option display_width, mine;\n", {"OPTIONS_IN=o.txt"});
  EXPECT_EQ(r.out, "option display_width 100;\noption mine 'a b';\n");
  // OPTIONS_INOUT: read at start, written at exit.
  r = run("option gutter_width 7;\n", {"OPTIONS_INOUT=o.txt"});
  EXPECT_NE(read("o.txt").find("option gutter_width 7;\n"), std::string::npos);
  EXPECT_NE(read("o.txt").find("option display_width 100;\n"),
            std::string::npos);
}

// The input of an option file keeps its name although the option that
// named it changes while the file is read.
TEST_F(OptionsRun, OptionFileNameOutlivesTheOption) {
  write("in.txt", "option OPTIONS_IN 'x';\nparam p;\nparam p;\n");
  run_result r = run("", {"OPTIONS_IN=in.txt"});
  EXPECT_NE(r.out.find("in.txt, line 3"), std::string::npos) << r.out;
}

// Typed at a terminal: a refused change is reported and the session goes
// on.
TEST_F(OptionsRun, ServerModeRefusesChanges) {
  run_result r =
      run("option SHELL 'x';\noption SHELL;\noption SHELL 'y';\n"
          "reset options;\noption SHELL, vexo_include;\n",
          {"SHELL=/bin/sh"}, {"-R", "-vi1"});
  EXPECT_NE(r.out.find("Server mode: updating option SHELL prohibited."),
            std::string::npos);
  EXPECT_EQ(r.out.find("option SHELL x"), std::string::npos);
  // Shown twice, the second time after reset options.
  size_t first = r.out.find("option SHELL '/bin/sh';\n");
  ASSERT_NE(first, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("option SHELL '/bin/sh';\n", first + 1),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("option vexo_include '.';\n"), std::string::npos);
}

}  // namespace
