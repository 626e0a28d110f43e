// Runs behaviour cases: rows of cases.tsv, "<id>\t<arguments>\t<exit code>".
//
//   run_cases <vexo> <tests folder> [<id>]
//
// With an id only that case runs (ctest runs each case so, by name);
// without, every case.  The case's folder is tests/cases/<id>/; these files
// there belong to the runner:
//   expected      standard output and standard error together, byte for byte
//   expected.<f>  the file <f> the run must leave in its folder, byte for byte
//   stdin         standard input (else /dev/null)
//   env           variables added to the program's environment, a line
//                 NAME=value each, taken as written (no quotes, no expansion)
//   timeout       the time limit in seconds (default 60), after which the
//                 program is ended and the case fails
//
// The case runs in a scratch copy of its folder (without the expected, env
// and timeout files), so the files it writes never reach the source tree.
// The copy sits at <scratch>/tests/cases/<id>, beside a copy of the examples
// at <scratch>/examples, so an argument such as ../../../../examples/x.mod
// names the same file as in the source tree.  The arguments are split and
// expanded as the shell would (quotes, variables, patterns; a command
// substitution is refused).
//
// The program sees none of the caller's environment: only PATH=/usr/bin:/bin,
// HOME and TMPDIR (empty folders in the scratch space), the case's env and
// the sanitizers' options (ASAN_OPTIONS, LSAN_OPTIONS, UBSAN_OPTIONS) when
// the caller sets them.  It runs in a process group of its own; at the time
// limit the group gets SIGTERM, ten seconds later SIGKILL.  An exit by a
// signal counts as the exit code 128 + the signal's number.
//
// The runner is a program rather than a script because starting programs is
// the dearest part of a case after vexo itself: the runner starts only vexo
// (and diff, to show what differs).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wordexp.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr double DEFAULT_LIMIT = 60;
constexpr int KILL_AFTER = 10;  // seconds from SIGTERM to SIGKILL
constexpr int TIMED_OUT = 124;  // the exit code of a case past its limit
constexpr int DIFF_LINES = 40;  // lines of a difference shown

std::string vexo;  // the program, absolute
fs::path dir;      // the tests folder, absolute
fs::path root;     // its parent: examples/ sits there

// The whole file; false when it cannot be read.
bool read_file(const fs::path& p, std::string& text) {
  std::ifstream f(p, std::ios::binary);
  if (!f) return false;
  text.assign(std::istreambuf_iterator<char>(f), {});
  return !f.bad();
}

// Runs diff -u want got and prints its first lines.
void show_diff(const fs::path& want, const fs::path& got) {
  std::string cmd = "diff -u '" + want.string() + "' '" + got.string() + "'";
  std::fflush(stdout);
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return;
  int lines = 0;
  for (int c; (c = std::getc(p)) != EOF;) {
    if (lines == DIFF_LINES) continue;  // read to the end all the same
    std::putchar(c);
    if (c == '\n') ++lines;
  }
  pclose(p);
}

// Whether file got equals file want byte for byte; else shows the
// difference.
bool same(const std::string& id, const fs::path& want, const fs::path& got,
          const std::string& what) {
  std::string a, b;
  if (read_file(want, a) && read_file(got, b) && a == b) return true;
  std::printf("FAIL %s: %s differs\n", id.c_str(), what.c_str());
  show_diff(want, got);
  return false;
}

// The case's arguments, split and expanded as the shell would; false (with
// a message) when they cannot be.
bool split_args(const std::string& id, const std::string& args,
                std::vector<std::string>& out) {
  wordexp_t w;
  int r = wordexp(args.c_str(), &w, WRDE_NOCMD);
  if (r != 0) {
    std::printf("FAIL %s: arguments not understood: %s\n", id.c_str(),
                args.c_str());
    if (r == WRDE_NOSPACE) wordfree(&w);
    return false;
  }
  for (size_t i = 0; i < w.we_wordc; ++i) out.emplace_back(w.we_wordv[i]);
  wordfree(&w);
  return true;
}

// The variables the program gets.
std::vector<std::string> environment(const fs::path& cdir,
                                     const fs::path& scratch) {
  std::vector<std::string> vars = {"PATH=/usr/bin:/bin",
                                   "HOME=" + (scratch / "home").string(),
                                   "TMPDIR=" + (scratch / "tmp").string() + "/"};
  for (const char* v : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
    const char* val = std::getenv(v);
    if (val && *val) vars.push_back(std::string(v) + "=" + val);
  }
  std::ifstream f(cdir / "env", std::ios::binary);
  for (std::string line; std::getline(f, line);)
    if (!line.empty()) vars.push_back(line);
  return vars;
}

// The case's time limit in seconds.
double time_limit(const fs::path& cdir) {
  std::string text;
  if (!read_file(cdir / "timeout", text)) return DEFAULT_LIMIT;
  char* end = nullptr;
  double t = std::strtod(text.c_str(), &end);
  return end != text.c_str() && t > 0 ? t : DEFAULT_LIMIT;
}

// Waits at most seconds for child; true when it ended (status set).
bool wait_for(pid_t child, double seconds, int& status) {
  sigset_t chld;
  sigemptyset(&chld);
  sigaddset(&chld, SIGCHLD);
  timespec end;
  clock_gettime(CLOCK_MONOTONIC, &end);
  end.tv_sec += static_cast<time_t>(seconds);
  end.tv_nsec += static_cast<long>((seconds - static_cast<time_t>(seconds)) * 1e9);
  if (end.tv_nsec >= 1000000000) {
    end.tv_sec += 1;
    end.tv_nsec -= 1000000000;
  }
  for (;;) {
    pid_t r = waitpid(child, &status, WNOHANG);
    if (r == child) return true;
    if (r < 0 && errno != EINTR) return true;  // no such child: gone
    timespec now, left;
    clock_gettime(CLOCK_MONOTONIC, &now);
    left.tv_sec = end.tv_sec - now.tv_sec;
    left.tv_nsec = end.tv_nsec - now.tv_nsec;
    if (left.tv_nsec < 0) {
      left.tv_sec -= 1;
      left.tv_nsec += 1000000000;
    }
    if (left.tv_sec < 0) return false;
    sigtimedwait(&chld, nullptr, &left);
  }
}

// Runs the program in work with the case's input, output to out; answers
// its exit code (128 + signal, TIMED_OUT past the limit), -1 when it could
// not be started.
int run_program(const fs::path& work, const fs::path& input,
                const fs::path& out, const std::vector<std::string>& args,
                const std::vector<std::string>& vars, double limit) {
  std::vector<char*> argv, envp;
  argv.push_back(const_cast<char*>(vexo.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const std::string& v : vars) envp.push_back(const_cast<char*>(v.c_str()));
  envp.push_back(nullptr);
  std::string wdir = work.string(), in = input.string(), o = out.string();

  // SIGCHLD stays pending for sigtimedwait; the program gets the mask the
  // runner was given.
  sigset_t chld, old;
  sigemptyset(&chld);
  sigaddset(&chld, SIGCHLD);
  sigprocmask(SIG_BLOCK, &chld, &old);
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) {
    sigprocmask(SIG_SETMASK, &old, nullptr);
    return -1;
  }
  if (pid == 0) {
    sigprocmask(SIG_SETMASK, &old, nullptr);
    setpgid(0, 0);
    int i = open(in.c_str(), O_RDONLY);
    int f = open(o.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (i < 0 || f < 0 || chdir(wdir.c_str()) != 0) _exit(126);
    dup2(i, 0);
    dup2(f, 1);
    dup2(f, 2);
    if (i > 2) close(i);
    if (f > 2) close(f);
    execve(argv[0], argv.data(), envp.data());
    dprintf(2, "run_cases: cannot run %s: %s\n", argv[0], std::strerror(errno));
    _exit(127);
  }
  setpgid(pid, pid);  // also here: the group exists before any kill
  int status = 0, code;
  if (wait_for(pid, limit, status)) {
    code = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
  } else {
    kill(-pid, SIGTERM);
    if (!wait_for(pid, KILL_AFTER, status)) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    code = TIMED_OUT;
  }
  sigprocmask(SIG_SETMASK, &old, nullptr);
  return code;
}

// The scratch copy: a new private folder holding examples/ and
// tests/cases/<id>/ with the case's own files.  Empty on failure.
fs::path make_scratch(const std::string& id, const fs::path& cdir) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/vexo_case.XXXXXX";
  if (!mkdtemp(pattern.data())) return {};
  fs::path scratch = pattern;
  fs::path work = scratch / "tests" / "cases" / id;
  const auto deep =
      fs::copy_options::recursive | fs::copy_options::copy_symlinks;
  std::error_code ec;  // the first error stops the copy
  fs::create_directories(work, ec);
  if (!ec) fs::create_directory(scratch / "home", ec);
  if (!ec) fs::create_directory(scratch / "tmp", ec);
  if (!ec && fs::is_directory(root / "examples"))
    fs::copy(root / "examples", scratch / "examples", deep, ec);
  if (!ec) {
    for (fs::directory_iterator it(cdir, ec), end; !ec && it != end;
         it.increment(ec)) {
      std::string name = it->path().filename().string();
      if (name == "expected" || name.rfind("expected.", 0) == 0 ||
          name == "env" || name == "timeout")
        continue;
      fs::copy(it->path(), work / name, deep, ec);
    }
  }
  if (ec) {
    std::printf("FAIL %s: no scratch copy: %s\n", id.c_str(),
                ec.message().c_str());
    fs::remove_all(scratch, ec);
    return {};
  }
  return scratch;
}

// Runs one case; prints what differs and answers whether it passed.
bool run_case(const std::string& id, const std::string& args,
              const std::string& code) {
  fs::path cdir = dir / "cases" / id;
  if (!fs::is_directory(cdir)) {
    std::printf("FAIL %s: no folder %s\n", id.c_str(), cdir.c_str());
    return false;
  }
  std::vector<std::string> argv;
  if (!split_args(id, args, argv)) return false;
  fs::path scratch = make_scratch(id, cdir);
  if (scratch.empty()) return false;
  fs::path work = scratch / "tests" / "cases" / id;
  fs::path input = fs::is_regular_file(work / "stdin") ? work / "stdin"
                                                       : fs::path("/dev/null");
  fs::path out = scratch / "output";
  double limit = time_limit(cdir);
  int got = run_program(work, input, out, argv, environment(cdir, scratch),
                        limit);

  bool ok = true;
  if (got < 0) {
    std::printf("FAIL %s: cannot start %s\n", id.c_str(), vexo.c_str());
    ok = false;
  } else if (got == TIMED_OUT && code != std::to_string(TIMED_OUT)) {
    std::printf("FAIL %s: no end within %g s\n", id.c_str(), limit);
    ok = false;
  } else if (std::to_string(got) != code) {
    std::printf("FAIL %s: exit code %d, expected %s\n", id.c_str(), got,
                code.c_str());
    ok = false;
  }
  if (!same(id, cdir / "expected", out, "output")) ok = false;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(cdir, ec)) {
    std::string name = e.path().filename().string();
    if (name.rfind("expected.", 0) != 0 || !e.is_regular_file()) continue;
    name = name.substr(9);
    if (!fs::is_regular_file(work / name)) {
      std::printf("FAIL %s: no file %s written\n", id.c_str(), name.c_str());
      ok = false;
    } else if (!same(id, e.path(), work / name, "file " + name)) {
      ok = false;
    }
  }
  fs::remove_all(scratch, ec);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: run_cases <vexo> <tests folder> [<id>]\n");
    return 2;
  }
  vexo = fs::absolute(argv[1]).lexically_normal().string();
  dir = fs::absolute(argv[2]).lexically_normal();
  if (!dir.has_filename()) dir = dir.parent_path();  // a trailing slash
  root = dir.parent_path();
  std::string only = argc == 4 ? argv[3] : "";

  std::ifstream rows(dir / "cases.tsv", std::ios::binary);
  if (!rows) {
    std::printf("FAIL: no %s\n", (dir / "cases.tsv").c_str());
    return 1;
  }
  bool fail = false, found = false;
  int count = 0;
  for (std::string line; std::getline(rows, line);) {
    // id, then the arguments up to the last tab, then the exit code.
    size_t first = line.find('\t');
    std::string id = line.substr(0, first);
    if (id.empty() || id[0] == '#') continue;
    std::string rest = first == std::string::npos ? line : line.substr(first + 1);
    size_t last = rest.rfind('\t');
    std::string args = last == std::string::npos ? rest : rest.substr(0, last);
    std::string code = last == std::string::npos ? rest : rest.substr(last + 1);
    if (!only.empty() && id != only) continue;
    found = true;
    ++count;
    if (!run_case(id, args, code)) fail = true;
  }
  if (!only.empty() && !found) {
    std::printf("FAIL %s: not in cases.tsv\n", only.c_str());
    return 1;
  }
  if (only.empty()) std::printf("%d cases run\n", count);
  return fail ? 1 : 0;
}
