// The environment file, the install directory on PATH, the default solver
// and the version line.
#include "session/envfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "options_fixture.h"
#include "session/located.h"
#include "session/opttable.h"
#include "support/machine.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "test_util.h"

extern char** environ;

namespace vexo {
namespace {

// A scratch directory and the variables the start-up reads, put back
// after each test.
class EnvFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vexo_envXXXXXX";
    dir = mkdtemp(tmpl);
    for (const char* v : vars) {
      const char* old = getenv(v);
      saved.emplace_back(v, old ? std::string(old) : std::string("\x01"));
    }
    unsetenv("solver");
    unsetenv("VEXO_DEFAULT_SOLVER");
    unsetenv("VEXO_INSTALL_DIR");
    // No stray vexo.env from a PATH directory.
    setenv("VEXO_ENVFILE", (dir + "/none.env").c_str(), 1);
  }
  void TearDown() override {
    for (auto& [name, value] : saved) {
      if (value == "\x01")
        unsetenv(name.c_str());
      else
        setenv(name.c_str(), value.c_str(), 1);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    EXPECT_FALSE(ec) << dir << ": " << ec.message();
  }
  std::string write(const std::string& name, const std::string& text) {
    std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  static std::string env(const char* name) {
    const char* v = getenv(name);
    return v ? v : "<unset>";
  }

  const char* vars[9] = {"solver",
                         "VEXO_DEFAULT_SOLVER",
                         "VEXO_INSTALL_DIR",
                         "VEXO_ENVFILE",
                         "PATH",
                         "EA",
                         "EB",
                         "EC",
                         "ED"};
  std::vector<std::pair<std::string, std::string>> saved;
  std::string dir;
};

TEST_F(EnvFile, LineFormat) {
  unsetenv("EA");
  unsetenv("EB");
  unsetenv("EC");
  unsetenv("ED");
  for (const char* eol : {"\n", "\r\n"}) {
    std::string e(eol);
    std::string path =
        write("vexo.env", "  EA  = two blanks " + e + "EB=x=y" + e +
                              "=nothing" + e + "  # EC=comment" + e +
                              "no equals sign" + e + "\tED=last");
    INITIALIZING = 1;
    EXPECT_EQ(parse_env(path.c_str()), 1);
    INITIALIZING = 0;
    EXPECT_EQ(env("EA"), " two blanks ") << "eol " << (e.size() - 1);
    EXPECT_EQ(env("EB"), "x=y");
    EXPECT_EQ(env("EC"), "<unset>");
    EXPECT_EQ(env("ED"), "last");
    EXPECT_EQ(env("VEXO_ENVFILE"), path);
    for (char** e = environ; *e; ++e)
      EXPECT_NE(**e, '=') << "a line starting with \"=\" set " << *e;
    unsetenv("EA");
    unsetenv("EB");
    unsetenv("ED");
  }
  EXPECT_EQ(parse_env((dir + "/missing").c_str()), 0);
}

TEST_F(EnvFile, LongLineIsReadWhole) {
  std::string value(5000, 'v');
  std::string path = write("long.env", "EA=" + value + "\n");
  INITIALIZING = 1;
  parse_env(path.c_str());
  INITIALIZING = 0;
  EXPECT_EQ(env("EA"), value);
}

TEST_F(EnvFile, DefaultSolver) {
  vexo_env_init("/nonexistent/prog");
  EXPECT_EQ(env("solver"), "vexocbc");

  unsetenv("solver");
  setenv("VEXO_DEFAULT_SOLVER", "none", 1);
  vexo_env_init("/nonexistent/prog");
  EXPECT_EQ(env("solver"), "");

  unsetenv("solver");
  setenv("VEXO_DEFAULT_SOLVER", "mine", 1);
  vexo_env_init("/nonexistent/prog");
  EXPECT_EQ(env("solver"), "mine");

  setenv("solver", "kept", 1);
  vexo_env_init("/nonexistent/prog");
  EXPECT_EQ(env("solver"), "kept");
}

// The value of option solver after the start-up of a child whose process
// environment holds only vars (null: none at all).
std::string solver_option(const char* const* vars) {
  int p[2];
  EXPECT_EQ(pipe(p), 0);
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    close(p[0]);
    clearenv();
    for (; vars && *vars; vars += 2) setenv(vars[0], vars[1], 1);
    vexo_env_init("/nonexistent/prog");
    test::start_options();
    const char* v = evalue("solver");
    std::string out = v ? v : "<no option>";
    out += "|";
    out += solver;  // the option's typed cell
    ssize_t w = write(p[1], out.data(), out.size());
    _exit(w == static_cast<ssize_t>(out.size()) ? 0 : 1);
  }
  close(p[1]);
  std::string got = test::read_all(p[0]);
  close(p[0]);
  int status;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return got;
}

TEST_F(EnvFile, OptionSolverFromAnEmptyEnvironment) {
  EXPECT_EQ(solver_option(nullptr), "vexocbc|vexocbc");
  const char* none[] = {"VEXO_DEFAULT_SOLVER", "none", nullptr};
  EXPECT_EQ(solver_option(none), "|");
  const char* named[] = {"VEXO_DEFAULT_SOLVER", "mine", nullptr};
  EXPECT_EQ(solver_option(named), "mine|mine");
  const char* kept[] = {"solver", "kept", "VEXO_DEFAULT_SOLVER", "mine",
                        nullptr};
  EXPECT_EQ(solver_option(kept), "kept|kept");
}

TEST_F(EnvFile, InstallDirectoryFromPath) {
  std::string bin = dir + "/bin";
  mkdir(bin.c_str(), 0755);
  std::string prog = bin + "/vexo";
  std::ofstream(prog) << "#!/bin/sh\n";
  chmod(prog.c_str(), 0755);
  write("bin/vexo.env", "EA=from install dir\n");
  unsetenv("VEXO_ENVFILE");
  unsetenv("EA");
  char real[PATH_BUF];
  ASSERT_TRUE(xfullpath(bin.c_str(), real, sizeof real));
  std::string want_dir = std::string(real) + "/";

  // A bare name is looked for in the working directory first: work where
  // no other vexo lies (the build directory holds one).
  char cwd[PATH_BUF];
  ASSERT_TRUE(getcwd(cwd, sizeof cwd));
  ASSERT_EQ(chdir(dir.c_str()), 0);
  setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
  vexo_env_init("vexo");
  EXPECT_EQ(env("VEXO_INSTALL_DIR"), want_dir);
  EXPECT_EQ(env("PATH"), bin + ":/usr/bin:/bin:" + want_dir);
  EXPECT_EQ(env("EA"), "from install dir");
  EXPECT_EQ(env("VEXO_ENVFILE"), want_dir + "vexo.env");

  // A name without "vexo" does not set the install directory.
  unsetenv("VEXO_INSTALL_DIR");
  std::ofstream(bin + "/other") << "#!/bin/sh\n";
  chmod((bin + "/other").c_str(), 0755);
  setenv("PATH", bin.c_str(), 1);
  vexo_env_init("other");
  EXPECT_EQ(env("VEXO_INSTALL_DIR"), "<unset>");
  EXPECT_EQ(env("PATH"), bin + ":" + want_dir);
  EXPECT_EQ(chdir(cwd), 0);
}

TEST_F(EnvFile, EnvfileVariableNamingAMissingFileReadsNothing) {
  std::string bin = dir + "/bin";
  mkdir(bin.c_str(), 0755);
  std::ofstream(bin + "/vexo") << "#!/bin/sh\n";
  chmod((bin + "/vexo").c_str(), 0755);
  write("bin/vexo.env", "EA=should not be read\n");
  unsetenv("EA");
  setenv("PATH", bin.c_str(), 1);
  vexo_env_init("vexo");
  EXPECT_EQ(env("EA"), "<unset>");
}

TEST_F(EnvFile, VersionLine) {
  char* buf = nullptr;
  size_t len = 0;
  FILE* f = open_memstream(&buf, &len);
  EXPECT_EQ(show_version(f), 0);
  fclose(f);
  EXPECT_EQ(std::string(buf, len),
            "VEXO Development Version 20240404 (Linux-1, 64-bit)\n\n");
  free(buf);
}

TEST_F(EnvFile, LibraryPath) {
  char cwd[PATH_BUF];
  ASSERT_TRUE(getcwd(cwd, sizeof cwd));
  init_libpath("./prog");
  EXPECT_STREQ(vexo_libpath_init, cwd);
  init_libpath("/usr/bin/prog");
  EXPECT_EQ(std::string(vexo_libpath_init), std::string("/usr/bin\n") + cwd);
}

}  // namespace
}  // namespace vexo
