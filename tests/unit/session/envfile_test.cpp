// The environment file, the install directory on PATH, the default solver
// and the version line.
#include "session/envfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "support/machine.h"

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
    std::string cmd = "rm -rf " + dir;
    EXPECT_EQ(system(cmd.c_str()), 0);
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

  const char* vars[9] = {"solver", "VEXO_DEFAULT_SOLVER", "VEXO_INSTALL_DIR",
                         "VEXO_ENVFILE", "PATH", "EA", "EB", "EC", "ED"};
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
    std::string path = write("vexo.env", "  EA  = two blanks " + e +
                                             "EB=x=y" + e + "=nothing" + e +
                                             "  # EC=comment" + e +
                                             "no equals sign" + e +
                                             "\tED=last");
    INITIALIZING = 1;
    EXPECT_EQ(parse_env(path.c_str()), 1);
    INITIALIZING = 0;
    EXPECT_EQ(env("EA"), " two blanks ") << "eol " << (e.size() - 1);
    EXPECT_EQ(env("EB"), "x=y");
    EXPECT_EQ(env("EC"), "<unset>");
    EXPECT_EQ(env("ED"), "last");
    EXPECT_EQ(env("VEXO_ENVFILE"), path);
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
