// Command files: output redirections ("> f", ">> f"), the input files of
// `read` ("< f"), and the `close` and `remove` commands.  They share one
// table of files indexed by the file's name, which keeps each file open
// from one command to the next: output to a file goes on where the last
// command stopped, and successive `read`s from a file go on where the last
// one stopped, until `close` (or the end of the session).  At most
// fi_maxopen descriptors are open at once; when another is needed the least
// recently used file is closed and remembered, to be reopened at the same
// place on its next use.  The log file (option log_file) keeps its stream
// in the same table, always first.
#ifndef VEXO_SESSION_CMDFILES_H
#define VEXO_SESSION_CMDFILES_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <type_traits>

namespace vexo {

struct cstr;
struct expr;
struct filestack;
struct redirect;
struct set;
struct set_spec;
struct symbol;
struct TVA;
struct xrecomp;

// One entry of the table.  next and prev link the open entries from the
// most recently used to the least recently used (entry 0 is the list's
// head and names no file).  Written entries (mode 2) hold their stream f,
// read entries (mode 1) their descriptor fd and their reading state rs
// (one block: the record and its own line buffer); f null or fd -1 once
// closed for lack of descriptors, offset then the read position.
struct Fileinfo {
  int32_t next;
  int32_t prev;
  FILE* f;
  int32_t fd;
  int32_t mode;  // 0 not open, 1 read, 2 written
  int32_t inlist;
  int32_t unused;
  filestack* rs;
  const char* name;      // as the command gave it (the interned text)
  const char* fullname;  // made absolute when opened
  cstr* fullname_cs;     // owns fullname, null when name was absolute
  int64_t offset;
};
static_assert(std::is_trivially_destructible_v<Fileinfo>,
              "the table lives in a pool block");

// The table: pf_n entries allocated (a block of class pf_k); the entry of a
// name is its position in the set pnames plus one.  fi_nopen entries are
// on the list.
extern Fileinfo* pfiles;
extern set* pnames;
extern int pf_n;
extern int pf_k;
extern int fi_nopen;
constexpr int fi_maxopen = 64;

// The log file's entry (1 while option log_file names an open file, else
// 0), its full name and the name the option gave ("" when none; both kept
// outside the pools, so that file_init reopens the log after a reset).
// Entries are linked right after entry log_find, so the log stays first.
extern int log_find;
extern const char* log_fname;
extern const char* log_ofname;
// The log file's stream: a copy of standard output and error, or null.
// close_log_file closes it (the end of the session, support/message.h's
// exit1, session/startup.cpp's myexit).
extern FILE* log_file;
void close_log_file();
// Nonzero while a `read` command reads: the include level of its file.
// forget_read_cmd: the data reader reads a data section of its own.
extern int doing_read_cmd;
void forget_read_cmd();
// A new session: no log stream, no `read` running.
void cmdfiles_start();
// Option log_file: the log file open now is closed (as an ordinary file:
// not emptied) and name, unless empty, opened afresh as the new log
// through the table.  0 after a name that cannot be opened (reported by
// disp0file), the log then closed.
int log_open(const char* name);
// A child that may write to the log (a shell command, a redirected solve)
// runs with the log closed, so that what it appends lands after what the
// session wrote: log_suspend closes it (true when it was open; a command
// output going to it goes to stdOut meanwhile) and log_resume opens it
// again, appending ("Could not reopen log_file \"%s\"" when it cannot be,
// and no log from then on).
bool log_suspend();
void log_resume();
// The same for the output file of entry i, which the front end's solver
// may write: file_suspend closes its stream, keeping the entry, and
// returns its full name; file_resume opens it again, appending, and
// returns false (the entry then marked unused) when it cannot.  df, when
// it was that stream, is stdOut meanwhile.
const char* file_suspend(int i);
bool file_resume(int i);

// The output stream of the command being executed (stdOut when it has no
// redirection), and the table entry of stdOut while `commands ... > f`
// points it at a file (-1: the process's standard output).
extern FILE* df;
extern int stdOut_idf;
// The entry of the file being read by the current `read` command.
extern int read_fi;

// The name the file-name expression at *pe gives, with one reference for
// the caller, evaluated as Litval (session/optcmd.h) does.
cstr* rdfname(expr** pe, xrecomp* xr);
// Each file name of the chain, evaluated as rdfname does, with one
// reference held while fn runs.
void each_name(expr* names, xrecomp* xr,
               const std::function<void(const char*)>& fn);

// Command output kept buffered: item_written(f) after each item a command
// writes to f, which is flushed at once only when it is standard output
// to a terminal or in block mode; everything else waits for
// flush_outputs, which writes out standard output, the log and the
// streams written since its last call (those of item_written and every
// stream disp0file handed out): the end of a command, a child process
// about to run, a prompt, an include.  So a loop writes in large pieces,
// a command that wrote nothing flushes nothing, and a reader of the file,
// a child included, still sees all of it.  A redirection to a terminal or
// a pipe is written line by line as it comes.
void item_written(FILE* f);
void flush_outputs();

// Opens the output of a command: evaluates the redirection's name and
// opens it (dispfile1); with r null, df = stdOut.  Aborts the command
// after reporting a file that cannot be opened (df stays stdOut).
void dispfile(redirect* r, xrecomp* xr);
// Whether the output of a command over the indexing ix goes to a file whose
// name is computed (not a string constant): such a name may use the
// indexing's dummies, so it is compiled with the command's expressions
// inside the indexing (dispfile_compile) and its file opened for each
// member (dispfile_member).
bool dispfile_each(const redirect* r, const set_spec* ix);
void dispfile_compile(redirect* r);
// Evaluates r's name in the member's context t and opens it (dispfile1).
void dispfile_member(redirect* r, TVA* t);
// The same with the name evaluated (display, print and printf evaluate it
// themselves); two leading blanks of the name are not part of it.  Sets df
// and r->find.
void dispfile1(cstr* name, redirect* r);
// The stream of name opened for output (append nonzero: ">>"; a file open
// already goes on where it stopped, whatever the mode), *find its entry;
// "-" is stdOut (no entry).  Null with *find -1 after reporting
// "can't open \"%s\"".  In server mode a refused name gives stdOut (*find
// -1).
FILE* disp0file(const char* name, int append, int* find);

// `read ... < f`: opens the file or resumes it where the last `read` of it
// stopped, and makes it the current input (pushed on the input stack).
// With the stack full the read is refused ("can't read \"%s\": input files
// nested too deeply") and the command aborted, as it is after "can't open
// input file \"%s\"".
void read_file(redirect* r, xrecomp* xr);
// Ends the input of a `read` (include levels opened above it first): its
// state is kept in its entry and the command's input is current again.
// Nothing when no `read` reads.
void read_end();

// Closes the file of name: 1, or 0 for the log file (which is reopened
// empty at once); 1 also for a name never opened.
int close_cmd(const char* name);
// The `close` command: the files of the names (a chain of name
// expressions), or every file but the log file when there are none.
void close_cmde(expr* names, xrecomp* xr);
// The `remove` command: each file is closed and deleted (the log file only
// emptied); a file that does not exist is passed over silently, one that
// may not be deleted gets "Permission denied to remove \"%s\".".
void remove_cmd(expr* names, xrecomp* xr);

// Start-up and reset: an empty table; the log file reopened (appending)
// when log_ofname names one.
void file_init();
// Closes the session's files (standard input and output stay open): with
// final 0 all but the log file (the `close` command, the end of the
// session); with final nonzero the log too, and the table goes (reset).
void file_reinit(int final);
// Takes entry e off the list and marks it not open, closing nothing.
void fi_unused(Fileinfo* e);
// The entry of name, entered when new; *sym receives its symbol.
int pindex(const char* name, symbol** sym);
// Sets e's name and its full name (the current directory and name, unless
// name is absolute).
void get_fullname(Fileinfo* e, const char* name);
// Before a descriptor is opened: when fi_maxopen entries are open, the
// least recently used one (not the log file, not the current output df) is
// closed and remembered.
void fi_room();

}  // namespace vexo

#endif  // VEXO_SESSION_CMDFILES_H
