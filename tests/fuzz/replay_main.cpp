// Replays inputs through a fuzz target without a fuzzing engine: each
// file named (or found in a directory named, in name order) is handed to
// the target's LLVMFuzzerTestOneInput once.
//
//   replay_<target> <file or directory>...
//
// The program's own output (descriptors 1 and 2) goes to /dev/null, unless
// VEXO_FUZZ_SHOW is set in the environment; this main's lines and a
// sanitizer's report go to the standard error it was given, so that a
// failing input shows its name and the report only.
// Exits 0 when every input ran to its end; a sanitizer ends it otherwise.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Present in the sanitizer builds only.
extern "C" __attribute__((weak)) void __sanitizer_set_report_fd(void* fd);

namespace {

void add_inputs(const std::string& path, std::vector<std::string>& out) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return;  // a target with no findings yet
  if (!S_ISDIR(st.st_mode)) {
    out.push_back(path);
    return;
  }
  std::vector<std::string> names;
  if (DIR* d = opendir(path.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') names.push_back(path + "/" + e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  for (const auto& n : names) add_inputs(n, out);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) add_inputs(argv[i], inputs);

  int report = dup(2);
  FILE* log = fdopen(report, "w");
  if (__sanitizer_set_report_fd)
    __sanitizer_set_report_fd(reinterpret_cast<void*>(intptr_t{report}));
  if (!getenv("VEXO_FUZZ_SHOW")) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    close(null);
  }

  for (const auto& name : inputs) {
    std::ifstream in(name, std::ios::binary);
    std::vector<uint8_t> data{std::istreambuf_iterator<char>(in),
                              std::istreambuf_iterator<char>()};
    fprintf(log, "%s\n", name.c_str());
    fflush(log);
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  fprintf(log, "%zu inputs replayed\n", inputs.size());
  return inputs.empty() ? 1 : 0;
}
