// The raw-terminal reader thread.  When the session reads its commands
// from a terminal, a second thread owns the terminal: it keeps it in raw
// mode, edits the line being typed (cursor keys, word moves and deletes), keeps
// a history of 300 lines, completes file names with TAB, turns ^C into an
// interrupt of the process group and hands each finished line to the main
// thread through a pipe, as a 4-byte length and the line's bytes (length
// 0: end of input).  The main thread's input layer reads standard input
// through hist_read (session_read, session/loop.h, sends it there), and
// the child-process code gives the terminal to a child and takes it back
// with Allow_stdin.  Without a terminal nothing here runs.
//
// The editor itself (line_editor) does no input or output: bytes go in,
// the text for the terminal and the finished lines come out, so that it is
// tested and fuzzed without a terminal.
#ifndef VEXO_SESSION_RAWIO_H
#define VEXO_SESSION_RAWIO_H

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vexo {

// Starts the reader thread when raw is nonzero and standard input is a
// terminal: the terminal goes raw, standard input is read through
// hist_read and Allow_stdin hands the terminal over.  Any failure leaves
// plain reading and the terminal as it was; nothing is printed.  Runs
// once per process: a second call does nothing.
void rawio_add(int raw);
// The thread runs.
bool rawio_running();
// Reads one message of the line pipe into buf (n bytes; the rest of a
// longer line is handed out by the next calls): the byte count, 0 at the
// end of input.  Waits as session_read does: a signal is acted on, an
// interrupt ends the wait with -1 and errno EINTR.  fd is not used.
ssize_t hist_read(int fd, void* buf, size_t n);
// The terminal hand-over around a child process: 0 before it (the thread
// stops reading the terminal and puts back the modes found at start), 1
// after it (raw mode again, a partial line shown again).  Returns c;
// without the thread it does nothing else (allow_stdin0).
int Allow_stdin(int c);
int allow_stdin(int c);
int allow_stdin0(int c);
// Puts back the terminal modes found at start (registered with atexit,
// and called by the handlers of the signals that end the session).  Only
// in the process that started the thread; async-signal-safe.
void term_reset();
// Unsigned byte comparison of two names: the order of completion lists.
bool s_cmp(const std::string& a, const std::string& b);

// ---- The line editor of the thread.

constexpr int RD_LINE_MAX = 3998;  // a longer line is sent at once
constexpr int HIST_LINES = 300;
constexpr int HIST_TEXT = 16000;

// The history: lines without their newlines in a text area that wraps;
// entries first..last-1 (indices grow; the slot is index % HIST_LINES).
struct hist_store {
  int free_off;  // where the next line's text goes
  int first;
  int last;
  int ent[HIST_LINES][2];  // offset and length of each line's text
  char text[HIST_TEXT];
};
// Stores a line (without newline) as the newest entry: not when it is
// blank only or equal to the newest entry; drops the oldest entry past 300
// and those whose text it overwrites.
void hist_add(hist_store* h, const char* s, int n);
int hist_count(const hist_store* h);
// Entry i (0 the oldest): its text and length.
const char* hist_entry(const hist_store* h, int i, int* n);

// A directory listing kept for completion.
struct dir_listing {
  std::string path;
  int64_t stamp[2];  // modification time of the directory when read
  std::vector<std::string> names;  // sorted by s_cmp; each led by its type
                                   // byte: ' ' not known, 'F', 'D'
  uint64_t used;                   // for dropping the least recently used
};

// What a byte typed did.
enum edit_result {
  EDIT_MORE,  // the line goes on
  EDIT_LINE,  // sent holds a line to send (with "\n" when ended by Enter)
  EDIT_EOF,   // end of input (^D on an empty line)
  EDIT_INTR,  // ^C: interrupt the session; the line was discarded
};

struct line_editor {
  char line[RD_LINE_MAX + 1];
  int len;
  int cur;  // the cursor, 0..len
  // The line being typed while the history is browsed.
  char saved[RD_LINE_MAX];
  int saved_len;
  int saved_cur;
  int browse;  // 0 the oldest entry .. hist_count: the line being typed
  int esc;     // how far an escape sequence has come (0: none)
  hist_store hist;
  std::string out;                // bytes for the terminal, not written yet
  std::string sent;               // the line of an EDIT_LINE
  std::vector<dir_listing> dirs;  // at most 10, sorted by path
  uint64_t uses;
};

// A new editor: empty history and line.
void editor_start(line_editor* e);
// Acts on one byte typed.
edit_result edit_key(line_editor* e, unsigned char c);
// End of input from the terminal: the line so far, when there is one, is
// stored and becomes the line to send (EDIT_LINE, no newline); else
// EDIT_EOF.
edit_result edit_end(line_editor* e);
// The terminal comes back after a child: the partial line is shown again.
void edit_redraw(line_editor* e);

}  // namespace vexo

#endif  // VEXO_SESSION_RAWIO_H
