// Command files: redirections, read files, close and remove, and the
// command-file table's services for the log file.  The least forms until
// the table of command files exists: the log file is opened and closed
// directly, and its name is kept here.
#ifndef VEXO_SESSION_CMDFILES_H
#define VEXO_SESSION_CMDFILES_H

#include <cstdio>

namespace vexo {

struct redirect;

// The log file's name as the table holds it ("" when none is open), the
// name it was opened under, and its table entry (0 none).
extern const char* log_fname;
extern const char* log_ofname;
extern int log_find;

// Opens name for output (append nonzero: appending) as a table entry;
// *find receives the entry.  Null when it cannot be opened.  Stand-in: a
// plain open through Fopen_map, entry 1.
FILE* disp0file(const char* name, int append, int* find);
// Closes the table entry of name.  Stand-in: closes log_file when name is
// the log file's.
void close_cmd(const char* name);
// Start-up and reset: no files open, the log's names empty.
void file_init();
// Closes the session's input and output files (k 0 at the end of the
// session, 1 at a reset).  The least form: nothing, no command file is
// opened yet.
void file_reinit(int k);

// The output stream of a command with redirection r, or the display stream
// when r is null; null after reporting a file that cannot be opened.
// Stand-in: the file is opened for the one command and closed again by
// dispfile_done, which flushes any other stream.
FILE* dispfile(redirect* r);
void dispfile_done(FILE* f);

}  // namespace vexo

#endif  // VEXO_SESSION_CMDFILES_H
