// File-name mapping and the opening operations that apply it.
#include "support/filename.h"

#include <fcntl.h>

#include <cmath>
#include <cstring>

#include "eval/set.h"
#include "frontend/paramdcl.h"
#include "session/located.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/progopen.h"
#include "support/symbol.h"

namespace vexo {

// The value of a built-in param with a value cell (0 before start-up has
// made it).
static double sysvalue(param* p) {
  double* c = sysparam_cell(p);
  return c ? *c : 0;
}

// Pair i (from 0, in the set's order) of _file_prefixmap: its from text,
// with its to text in *to; null past the last pair.
static const char* prefix_pair(size_t i, const char** to) {
  set* s = Sd_file_prefixmap ? Sd_file_prefixmap->value : nullptr;
  if (!s) return nullptr;
  if (s->nmem < 0) set_genall(s, nullptr);
  setmem* m = s->first;
  for (; m && i; --i) m = m->next;
  if (!m) return nullptr;
  *to = m->tup()[1]->name;
  return m->tup()[0]->name;
}

char* filename_map(const char* name, int* kp) {
  char* r = const_cast<char*>(name);
  int k = -1;
  size_t len = std::strlen(name);
  if (sysvalue(backslash_map) >= 1 && std::strchr(name, '\\')) {
    k = htcl(len + 1);
    r = static_cast<char*>(new_mblk(k, 0));
    for (size_t i = 0; i <= len; ++i) r[i] = name[i] == '\\' ? '/' : name[i];
  }
  double fc = sysvalue(filename_case);
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
  for (size_t i = 0; const char* from = prefix_pair(i, &to); ++i) {
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
    fd = ::open(mapped, O_RDONLY | O_CLOEXEC);
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
