// Where the tests that run the vexo program find it: next to the folder of
// the test binary (the build puts the program at <build>/vexo and the tests
// at <build>/tests/).
#ifndef VEXO_UNIT_SESSION_PROGRAM_PATH_H
#define VEXO_UNIT_SESSION_PROGRAM_PATH_H

#include <unistd.h>

#include <string>

namespace vexo::test {

// The program's path, or "" when this binary's path is unknown.
inline std::string vexo_path() {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "";
  std::string p(self, static_cast<size_t>(n));
  p = p.substr(0, p.rfind('/'));  // <build>/tests
  p = p.substr(0, p.rfind('/'));  // <build>
  return p + "/vexo";
}

}  // namespace vexo::test

#endif  // VEXO_UNIT_SESSION_PROGRAM_PATH_H
