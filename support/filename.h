// Every file name the translator opens passes through one mapping:
// backslashes read as slashes (_backslash_map), upper-case letters folded
// (_filename_case), and one leading prefix replaced (_file_prefixmap); the
// three are the session's built-in entities (session/sysdecls.h), read as
// they stand (no mapping before start-up has made them).
// Fopen_map opens streams, Open_map inputs read through the raw input
// layer, where a name beginning with "<" stands for a command's output.
#ifndef VEXO_SUPPORT_FILENAME_H
#define VEXO_SUPPORT_FILENAME_H

#include <cstddef>
#include <cstdio>

namespace vexo {

// The name to use for name.  *k receives the class of the block that holds
// a changed name (the caller frees it with del_mblk(*k, result)), or -1 when
// the result is name itself.
char* filename_map(const char* name, int* k);
// fopen of the mapped name; the stream is marked close-on-exec.  Null when
// it cannot be opened.
FILE* Fopen_map(const char* name, const char* mode);
// Opens an input for reading and sets *handle to null.  A name that begins
// with "<" runs the rest as a shell command and gives the read end of its
// output (refused in server mode).  Returns a descriptor (close-on-exec,
// so that child processes do not inherit it) or -1.
int Open_map(const char* name, void** handle);

}  // namespace vexo

#endif  // VEXO_SUPPORT_FILENAME_H
