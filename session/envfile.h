// The program's place and its environment file.  Before the option table
// exists, start-up finds the directory of the executable, reads "vexo.env"
// (NAME=value lines), records the install directory, appends it to PATH and
// picks the default solver.  Everything lands in the process environment,
// so the option table built afterwards takes these values as found there.
// Also here: the default library search text and the version line.
#ifndef VEXO_SESSION_ENVFILE_H
#define VEXO_SESSION_ENVFILE_H

#include <cstddef>
#include <cstdio>

namespace vexo {

// Every path is built in a buffer of PATH_BUF bytes; the routines refuse a
// smaller one.
constexpr size_t PATH_BUF = 4096;

// 1 while vexo_env_init runs: settings go into the process environment
// (overwriting); 0 afterwards: they go through the option command
// (cmd_option).
extern int INITIALIZING;

// The default library search path: the executable's directory, a newline
// and the current directory; or the current directory alone; null when the
// current directory is unknown.  Set by init_libpath.
extern char* vexo_libpath_init;

// The version text printed by "--version" and -v.
extern const char version_line[];

// Start-up: finds the install directory from argv0, sets VEXO_INSTALL_DIR
// when argv0 names "vexo", reads the environment file, appends the
// directory to PATH and sets option solver when the environment lacks it.
// Reports nothing.
void vexo_env_init(const char* argv0);
// Reads the environment file at path and sets each NAME=value it holds;
// sets VEXO_ENVFILE to path.  0 when the file cannot be opened, else 1.
int parse_env(const char* path);
// The executable's full path in buf (size n), or null.
char* find_executable(const char* name, char* buf, size_t n);
// The first regular file called name in a PATH directory, in buf; or null.
char* find_in_path(const char* name, char* buf, size_t n);
// find_executable cut after its last "/" (the directory, "/" kept), or
// null when not found or not executable.
char* current_executable_dir(const char* name, char* buf, size_t n);
// The canonical absolute path of path in buf, or null (n below PATH_BUF or
// an unresolvable path).
char* xfullpath(const char* path, char* buf, size_t n);
// Sets vexo_libpath_init from argv0.
void init_libpath(const char* argv0);
// Prints the version line (and an empty line) on f; returns 0.
int show_version(FILE* f);

}  // namespace vexo

#endif  // VEXO_SESSION_ENVFILE_H
