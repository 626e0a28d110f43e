// The install directory, the environment file and the version line.
// Nothing here reports an error: whatever cannot be found leaves its
// setting unmade.
#include "session/envfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "session/optcmd.h"
#include "support/format.h"
#include "support/pool.h"

namespace vexo {

int INITIALIZING;
char* vexo_libpath_init;

// A newline and the what-string marker come first, so that the text can be
// found in the executable; what follows the marker is printed.
static const char version_what[] =
    "\n@(#) VEXO Development Version 20240404 (Linux-1, 64-bit)\n";
const char version_line[] =
    "VEXO Development Version 20240404 (Linux-1, 64-bit)\n";

static void set_var(const char* name, const char* value) {
  if (INITIALIZING)
    setenv(name, value, 1);
  else
    cmd_option(name, value);
}

// The execute bit that applies to user uid in group gid: the owner's,
// the group's or anyone's.
static bool may_execute(const struct stat& st, uid_t uid, gid_t gid) {
  if (st.st_uid == uid && (st.st_mode & S_IXUSR)) return true;
  if (st.st_gid == gid && (st.st_mode & S_IXGRP)) return true;
  return (st.st_mode & S_IXOTH) != 0;
}

// Executable by the effective user, and not a directory.
static bool executable(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return may_execute(st, geteuid(), getegid());
}

char* xfullpath(const char* path, char* buf, size_t n) {
  if (n < PATH_BUF) return nullptr;
  char tmp[PATH_MAX];
  if (!realpath(path, tmp) || strlen(tmp) >= n) return nullptr;
  strcpy(buf, tmp);
  return buf;
}

// Joins dir, "/" unless dir ends with one, and name into buf; false when
// it does not fit.
static bool join(char* buf, size_t n, const char* dir, const char* name) {
  size_t d = strlen(dir);
  const char* sep = d && dir[d - 1] == '/' ? "" : "/";
  int k = Snprintf(buf, n, "%s%s%s", dir, sep, name);
  return k >= 0 && static_cast<size_t>(k) < n;
}

// Calls try_one(candidate) for each PATH element that can be made
// canonical, joined with name; returns the first candidate accepted.
template <class F>
static char* walk_path(const char* name, char* buf, size_t n, F try_one) {
  const char* path = getenv("PATH");
  if (!path) path = "";
  char elem[PATH_BUF], full[PATH_BUF];
  for (const char* p = path;;) {
    const char* e = strchr(p, ':');
    size_t len = e ? static_cast<size_t>(e - p) : strlen(p);
    if (len < sizeof elem) {
      memcpy(elem, p, len);
      elem[len] = 0;
      if (xfullpath(elem, full, sizeof full) && join(buf, n, full, name) &&
          try_one(buf))
        return buf;
    }
    if (!e) return nullptr;
    p = e + 1;
  }
}

char* find_executable(const char* name, char* buf, size_t n) {
  if (n < PATH_BUF || strlen(name) >= PATH_BUF) return nullptr;
  if (strchr(name, '/')) {
    if (xfullpath(name, buf, n)) return buf;
  }
  if (join(buf, n, ".", name) && executable(buf)) return buf;
  return walk_path(name, buf, n, executable);
}

char* find_in_path(const char* name, char* buf, size_t n) {
  if (n < PATH_BUF) return nullptr;
  return walk_path(name, buf, n, [](const char* p) {
    struct stat st;
    return stat(p, &st) == 0 && S_ISREG(st.st_mode);
  });
}

char* current_executable_dir(const char* name, char* buf, size_t n) {
  if (!find_executable(name, buf, n) || !executable(buf)) return nullptr;
  char* slash = strrchr(buf, '/');
  if (!slash) return nullptr;
  slash[1] = 0;
  return buf;
}

void vexo_env_init(const char* argv0) {
  INITIALIZING = 1;
  char dir[PATH_BUF];
  bool known = argv0 && current_executable_dir(argv0, dir, sizeof dir);
  if (known && !getenv("VEXO_INSTALL_DIR") && strstr(argv0, "vexo"))
    set_var("VEXO_INSTALL_DIR", dir);

  char path[PATH_BUF];
  if (const char* f = getenv("VEXO_ENVFILE")) {
    // A copy: reading the file may replace the variable's text.
    Snprintf(path, sizeof path, "%s", f);
    parse_env(path);
  } else {
    struct stat st;
    if (known && join(path, sizeof path, dir, "vexo.env") &&
        stat(path, &st) == 0 && S_ISREG(st.st_mode) &&
        access(path, R_OK) == 0) {
      parse_env(path);
    } else if (find_in_path("vexo.env", path, sizeof path)) {
      parse_env(path);
    }
  }

  if (known) {
    if (const char* p = getenv("PATH")) {
      size_t len = strlen(p) + strlen(dir) + 2;
      char* np = static_cast<char*>(mymalloc_ZEF(len));
      Snprintf(np, len, "%s:%s", p, dir);
      set_var("PATH", np);
      free(np);
    }
  }
  if (!getenv("solver")) {
    const char* ds = getenv("VEXO_DEFAULT_SOLVER");
    if (!ds)
      set_var("solver", "vexocbc");
    else
      set_var("solver", strcmp(ds, "none") == 0 ? "" : ds);
  }
  INITIALIZING = 0;
}

// One line of the file (its carriage return and what follows already cut).
static void env_line(char* s) {
  while (*s == ' ' || *s == '\t') ++s;
  if (*s == '#') return;
  char* eq = strchr(s, '=');
  if (!eq) return;
  char* end = eq;
  while (end > s && end[-1] == ' ') --end;
  if (end == s) return;  // no name
  *end = 0;
  set_var(s, eq + 1);
}

int parse_env(const char* path) {
  FILE* f = fopen(path, "r");
  if (!f) return 0;
  set_var("VEXO_ENVFILE", path);
  size_t cap = 1024;
  char* buf = static_cast<char*>(malloc(cap));
  if (!buf) {
    fclose(f);
    return 1;
  }
  for (;;) {
    size_t len = 0;
    int c;
    while ((c = getc(f)) != EOF && c != '\n') {
      if (len + 1 >= cap) {
        char* nb = static_cast<char*>(realloc(buf, 2 * cap));
        if (!nb) {  // out of memory: the settings so far stay
          free(buf);
          fclose(f);
          return 1;
        }
        buf = nb;
        cap *= 2;
      }
      buf[len++] = static_cast<char>(c);
    }
    if (c == EOF && len == 0) break;
    buf[len] = 0;
    if (char* cr = strchr(buf, '\r')) *cr = 0;
    env_line(buf);
    if (c == EOF) break;
  }
  free(buf);
  fclose(f);
  return 1;
}

// Regular file executable by the real user.
static bool real_executable(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return may_execute(st, getuid(), getgid());
}

// Drops "./" parts and empty components of an absolute path, in place.
static void simplify(char* p) {
  char* out = p;
  const char* in = p;
  while (*in) {
    if (in[0] == '/' &&
        (in[1] == '/' || (in[1] == '.' && (in[2] == '/' || !in[2])))) {
      in += in[1] == '/' ? 1 : 2;
      continue;
    }
    *out++ = *in++;
  }
  *out = 0;
}

static char* cwd_only(const char* cwd) {
  return strcpy(static_cast<char*>(mymalloc_ZEF(strlen(cwd) + 1)), cwd);
}

void init_libpath(const char* argv0) {
  free(vexo_libpath_init);  // plain malloc memory (mymalloc_ZEF)
  vexo_libpath_init = nullptr;
  char cwd[PATH_BUF];
  if (!getcwd(cwd, sizeof cwd)) return;
  char prog[PATH_BUF];
  const char* found = nullptr;
  if (strchr(argv0, '/')) {
    found = argv0;
  } else {
    const char* path = getenv("PATH");
    bool first_empty = true;
    size_t nl = strlen(argv0);
    for (const char* p = path ? path : ""; p;) {
      const char* e = strchr(p, ':');
      size_t len = e ? static_cast<size_t>(e - p) : strlen(p);
      if (len == 0) {
        if (first_empty && real_executable(argv0)) {
          found = argv0;
          break;
        }
        first_empty = false;
      } else if (len + nl + 2 <= PATH_BUF) {
        Snprintf(prog, sizeof prog, "%.*s/%s", static_cast<int>(len), p, argv0);
        if (real_executable(prog)) {
          found = prog;
          break;
        }
      }
      p = e ? e + 1 : nullptr;
    }
  }
  if (!found) {
    vexo_libpath_init = cwd_only(cwd);
    return;
  }
  char full[2 * PATH_BUF];
  if (found[0] == '/') {
    Snprintf(full, sizeof full, "%s", found);
  } else {
    Snprintf(full, sizeof full, "%s/%s", cwd, found);
    if (strlen(full) > PATH_BUF) {
      vexo_libpath_init = cwd_only(cwd);
      return;
    }
  }
  simplify(full);
  char* slash = strrchr(full, '/');
  if (!slash || slash == full) {
    vexo_libpath_init = cwd_only(cwd);
    return;
  }
  *slash = 0;
  if (strcmp(full, cwd) == 0) {
    vexo_libpath_init = cwd_only(cwd);
    return;
  }
  size_t len = strlen(full) + strlen(cwd) + 2;
  vexo_libpath_init = static_cast<char*>(mymalloc_ZEF(len));
  Snprintf(vexo_libpath_init, len, "%s\n%s", full, cwd);
}

int show_version(FILE* f) {
  const char* s = strstr(version_what, "@(#) ") + 5;
  const char* semi = strchr(s, ';');
  if (semi)
    Fprintf(f, "%.*s%s", static_cast<int>(semi - s), s, ")\n");
  else
    Fprintf(f, "%.*s%s", static_cast<int>(strlen(s)), s, "\n");
  return 0;
}

}  // namespace vexo
