// File-name mapping and the opening operations that apply it.
#include "support/filename.h"

#include <fcntl.h>

#include <cmath>
#include <cstring>

#include "support/message.h"
#include "support/pool.h"
#include "support/progopen.h"

namespace vexo {

static double no_value() { return 0; }
static const char* no_pairs(size_t, const char**) { return nullptr; }
static int plain_open(const char* name, int flags) {
  return ::open(name, flags);
}

double (*backslash_map_hook)() = no_value;
double (*filename_case_hook)() = no_value;
const char* (*file_prefixmap_hook)(size_t, const char**) = no_pairs;
int (*rawio_open_hook)(const char*, int) = plain_open;

int Serving;

void cantserve(const char* what, const char* name) {
  error(0, "Server mode: %s%s prohibited.", what, name ? name : " command");
}

char* filename_map(const char* name, int* kp) {
  char* r = const_cast<char*>(name);
  int k = -1;
  size_t len = std::strlen(name);
  if (backslash_map_hook() >= 1 && std::strchr(name, '\\')) {
    k = htcl(len + 1);
    r = static_cast<char*>(new_mblk(k, 0));
    for (size_t i = 0; i <= len; ++i) r[i] = name[i] == '\\' ? '/' : name[i];
  }
  double fc = filename_case_hook();
  if (std::isfinite(fc) && std::trunc(fc) == 1) {
    const char* u = r;
    while (*u && !(*u >= 'A' && *u <= 'Z')) ++u;
    if (*u) {
      int k1 = htcl(len + 1);
      char* lc = static_cast<char*>(new_mblk(k1, 0));
      for (size_t i = 0; i <= len; ++i)
        lc[i] = r[i] >= 'A' && r[i] <= 'Z' ? r[i] + ('a' - 'A') : r[i];
      if (k >= 0) del_mblk(k, r);
      r = lc;
      k = k1;
    }
  }
  const char* to;
  for (size_t i = 0; const char* from = file_prefixmap_hook(i, &to); ++i) {
    size_t flen = std::strlen(from);
    if (flen > len || std::strncmp(r, from, flen)) continue;
    size_t tlen = std::strlen(to);
    int k1 = htcl(len + 1 + tlen - flen);
    char* m = static_cast<char*>(new_mblk(k1, 0));
    std::memcpy(m, to, tlen);
    std::memcpy(m + tlen, r + flen, len - flen + 1);
    if (k >= 0) del_mblk(k, r);
    r = m;
    k = k1;
    break;
  }
  *kp = k;
  return r;
}

FILE* Fopen_map(const char* name, const char* mode) {
  int k;
  char* mapped = filename_map(name, &k);
  FILE* f = std::fopen(mapped, mode);
  if (k >= 0) del_mblk(k, mapped);
  if (f) set_CLOEXEC(f);
  return f;
}

int Open_map(const char* name, void** handle) {
  int k;
  char* mapped = filename_map(name, &k);
  *handle = nullptr;
  int fd;
  if (*name != '<')
    fd = rawio_open_hook(mapped, O_RDONLY);
  else if (Serving) {
    cantserve("input via ", name);
    fd = -1;
  } else {
    fd = progopen(name, handle);
  }
  if (k >= 0) del_mblk(k, mapped);
  return fd;
}

}  // namespace vexo
