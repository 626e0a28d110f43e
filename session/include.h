// Include files and the input stack.  Opening an include file pushes the
// state of the current input (one filestack record; at most 12 levels) and
// switches the line reader to the new file; the end of an include file pops
// it, and reading resumes exactly where the including text stopped.  The
// file of a `read` command uses the same stack (session/cmdfiles.h).  Here
// too: the search along the include path (option vexo_include), the line
// directives read from "#" comments, and the copy of the open levels that
// lets a reset free all pool memory without losing the reading position.
#ifndef VEXO_SESSION_INCLUDE_H
#define VEXO_SESSION_INCLUDE_H

#include <cstdint>
#include <type_traits>

namespace vexo {

// One saved input: the reader's state of an interrupted input (the one
// being read is never on the stack; it is in the reader's globals,
// frontend/reader.h).  namecl is the size class of the name block of the
// input that was opened when this record was pushed (freed with it when
// that input ends); for a `read` file's own record, the class of the
// record's block.
struct filestack {
  int32_t infile;
  int32_t namecl;
  int32_t adjusted;
  int32_t lineinc;
  void* vinfile;
  char* firstc;
  char* linebuf;
  char* lastc;
  char* line_end;
  char* nextc;
  const char* infname;
  int64_t lineno;
  int64_t linestart;
  const char* stmtfname;
  int32_t eof_nextline;
  int32_t bailquit;
  int32_t infile_number;
};
static_assert(std::is_trivially_destructible_v<filestack>,
              "input records live in pool blocks");

// The stack: MAX_INCLUDES records, nfs in use (below).  The
// bottom record holds the top-level input while anything is included.
constexpr int MAX_INCLUDES = 12;
extern filestack fs[MAX_INCLUDES];

// The value of option vexo_include (directories, one per line) and the
// length of its longest line (0: names are opened as given); "." and 1 at
// start.
extern const char* inclpath;
extern int pathmax;
// Sets them: the option's update routine (session/options.h).  The text is
// copied; the path survives a reset.
void set_inclpath(const char* value);

// Opens an include file and pushes the current input, so that reading
// continues in the file and, at its end, resumes in the includer.  how
// negative: "invalid include syntax", the rest of the line is skipped;
// positive: the lexer read `include` itself, and reading resumes the
// name's length + 9 past tstart; 0: at nextc.  flag is the caller's (1 the
// lexer, 0 the data reader and commands).  A blank name does nothing; "-"
// is standard input; "./x" is looked for only as x, "/x" and "<command"
// as given, other names along inclpath.  In server mode a name that is not
// all word characters is refused.  With 12 levels open "includes nested
// too deeply" and the include stack end the session (rc | 4); a file not
// found reports "Can't find  file ..." and ends the session (rc | 4) when
// bailquit is set, else aborts the command.
void include(const char* name, int how, int flag);
// Ends include levels.  mode 0: all of them, result 0.  mode 1: the
// current one and each includer with no text left; 1 as soon as a level
// with text is reached (its next line read), or the level of a `read`,
// of a `commands` or `data` file or of a data section (whose end nextfile
// settles), 0 when all are ended.  mode 2: exactly one, result 1.  A
// `read` file on the way is ended as read_end ends it (modes 1 and 2 stop
// there).
int end_include(int mode);
// Saves the current input into r (reading to resume at resume) and makes
// fd the current descriptor; bailquit then follows the bottom input.
void save_input(filestack* r, int fd, char* resume);
// Makes r's input current again.  A token being scanned in the line left
// (tstart) is copied to just before r's resume position, so that a message
// about it still shows it.
void restore_input(filestack* r);
// A "#" comment in ibuf (frontend/rawtok.h): one that begins with a blank
// or with "line " is a line directive, given to linenochk.
void incl_check();
// A line directive: a number n (first digit 1 to 9), optionally followed by
// a file name in double quotes, makes the next line number n of that file;
// messages then give no offset (adjusted).  Anything else is ignored.
void linenochk(const char* s);
// Before a reset frees pool memory (null): the names and current lines of
// the open inputs copied into one malloc block (null when there is nothing
// to keep).  After it (that block): rebuilt in new pool blocks; the block
// is freed.  Only the current line of each input survives.
void* ioreset(void* saved);
// The descriptor of the bottom input (below every include level): infile
// when no include is open.
int bottom_infile();
// Start-up and reset: no name block for the top-level input.
void include_reset();

// Saved inputs on the include stack (fs[0..nfs-1]).
extern int nfs;

// An empty include stack and the include path of option vexo_include's
// default.  Kept by `reset`: the open levels go on after it (reset_modules
// saves and restores them), and the options stay.
void include_start();
}  // namespace vexo

#endif  // VEXO_SESSION_INCLUDE_H
