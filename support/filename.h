// Every file name the translator opens passes through one mapping:
// backslashes read as slashes (_backslash_map), upper-case letters folded
// (_filename_case), and one leading prefix replaced (_file_prefixmap).
// Fopen_map opens streams, Open_map inputs read through the raw input
// layer, where a name beginning with "<" stands for a command's output.
#ifndef VEXO_SUPPORT_FILENAME_H
#define VEXO_SUPPORT_FILENAME_H

#include <cstddef>
#include <cstdio>

namespace vexo {

// The session's built-in entities that steer the mapping, reached through
// hooks that the session installs once it has made them.  Defaults: no
// mapping at all.
// Value of _backslash_map; at least 1 reads "\" as "/".  Default 0.
extern double (*backslash_map_hook)();
// Value of _filename_case; 1 (after truncation) folds A-Z to a-z; a value
// that is not a number never does.  Default 0.
extern double (*filename_case_hook)();
// Pair i (from 0, in the set's order) of _file_prefixmap: returns its from
// text and stores its to text in *to, or returns null past the last pair.
// The session generates the set when it is not generated yet.  Default: no
// pairs.
extern const char* (*file_prefixmap_hook)(size_t i, const char** to);
// The raw input layer's open operation.  Default: open(2).
extern int (*rawio_open_hook)(const char* name, int flags);

// Server mode (0, 1 or 2), set by the session from the command line; lives
// here as its lowest reader.
extern int Serving;
// Refuses what the server mode forbids: the warning "Server mode: %s%s
// prohibited." with what and name (" command" when name is null).
void cantserve(const char* what, const char* name);

// The name to use for name.  *k receives the class of the block that holds
// a changed name (the caller frees it with del_mblk(*k, result)), or -1 when
// the result is name itself.
char* filename_map(const char* name, int* k);
// fopen of the mapped name; the stream is marked close-on-exec.  Null when
// it cannot be opened.
FILE* Fopen_map(const char* name, const char* mode);
// Opens an input for reading and sets *handle to null.  A name that begins
// with "<" runs the rest as a shell command and gives the read end of its
// output (refused in server mode).  Returns a descriptor or -1.
int Open_map(const char* name, void** handle);

}  // namespace vexo

#endif  // VEXO_SUPPORT_FILENAME_H
