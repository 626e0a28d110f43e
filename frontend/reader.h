// The input line reader.  Every character of model, data and command text
// enters through one line buffer filled from the current source (a file, an
// included file, standard input or the front end's framed block input); the
// tokenizers take characters between nextc and lastc and call next0 when
// they run out.  The reader counts lines and byte offsets for messages,
// shows the prompt before it reads standard input, copies what it reads to
// the log file, and settles what happens when a source ends inside a
// comment, a string or a statement.  Switching sources belongs to the
// session's input files and include stack (nextfile, session/infiles.h;
// include, session/include.h), which save and restore this whole state
// around nested sources.
#ifndef VEXO_FRONTEND_READER_H
#define VEXO_FRONTEND_READER_H

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace vexo {

// Size of a line buffer; at most LINEBUF_ROOM bytes of it hold input, and
// one read asks for at most READ_MAX bytes.
constexpr int LINEBUF_SIZE = 4296;
constexpr int LINEBUF_ROOM = 4295;
constexpr int READ_MAX = 4096;

// Thrown by next0 at the end of all input while the data reader holds its
// recovery point (endjump nonzero); code is rc + 1 for an orderly end and
// rc + 3 for an end inside a construct that must be closed.
struct data_end {
  int code;
};

// The line buffer of the current source: linebuf0 for the top level, or a
// buffer of the same size that the input-file stack supplies for a nested
// source.
extern char linebuf0[LINEBUF_SIZE];
extern char* linebuf;
// firstc: start of the current line; nextc: next character to hand out;
// lastc: end of the current line (one past its newline, or the end of the
// data when the newline has not been read yet); line_end: end of the valid
// data (lines past lastc are read but not handed out); yylastc: end of the
// raw token being scanned (set to lastc here when a source ends).
extern char* firstc;
extern char* nextc;
extern char* lastc;
extern char* line_end;
extern char* yylastc;
// Start of a token still being scanned, or null.  A refill keeps the text
// from tstart on, moved to the start of the buffer.
extern char* tstart;

extern int64_t lineno;     // current line of the source, from 1
extern int32_t lineinc;    // 1 once the current line's newline was read
extern int64_t linestart;  // byte offset of firstc in the source

// eof_nextline: the source has ended; the next nextline clears it and
// reports the end without reading.  eof_lastline: its value at the start
// of the previous nextline.
extern int32_t eof_nextline;
extern int32_t eof_lastline;
// Whether eof_lastline was set, which is cleared.
bool take_eof_lastline();

// The current source: descriptor (0 standard input, -1 none), name ("-"
// for standard input; null before the first source), and the handle of a
// mapped input read through vreader instead (null normally).
extern int32_t infile;
extern const char* infname;
extern void* vinfile;

// Where the reader stands in one source: what an input level keeps while
// another source is read in its stead (the include stack's records,
// session/include.h, extend it).
struct input_place {
  int32_t infile;
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
};
// Keeps the current source's place in p (to resume reading at resume) and
// reads from descriptor fd next (in blocks for standard input in block
// mode); no end of source is pending.
void leave_source(input_place* p, int fd, char* resume);
// Reads from p's source again.  A token being scanned in the line left
// (tstart) is copied to just before p's resume position, so that a message
// about it still shows it; no raw token is pending.
void resume_source(const input_place* p);
// The source just made current by leave_source (handle: its mapping, or
// null) is named name and read into buf, a line buffer of LINEBUF_SIZE
// bytes: line 1, nothing read yet.
void begin_source(const char* name, void* handle, char* buf);
// The line read so far (from firstc, n bytes) was copied to b: every
// position in it moves there, and b is the line buffer.
void move_line(size_t n, char* b);
// Position p of a line of n bytes at of, once the line is copied to b; null
// when p lay outside the line.
char* line_pos_moved(char* p, char* of, size_t n, char* b);
// The current source is named name (a line directive, a reset that copied
// the name); forget_stmt_name: the statement's file name is gone.
void set_source_name(const char* name);
void forget_stmt_name();
// A line directive: the next line read is line n.
void next_line_number(int64_t n);
// Reading goes on at p in the current line (the end of the line: none of
// it is read).
void resume_at(char* p);
// Block-framed standard input: the rest of the current block (the line
// buffer's bytes not handed out and those still in the chunk chain) is
// dropped, so that reading goes on with the next block.  Data that could
// not be read, such as binary table data after a failure, is not taken
// for commands.
void skip_block_rest();
// The end of input made printable for its report: the token is the newline
// that ends the current line (a line of only a newline when none is
// read).
void point_at_line_end();
// Standard input is the current source, or it was the last one and the
// input ended with it (infile -1): messages about the end of the input
// are located and counted as in standard input.
bool reading_stdin();
// Ends the current source: closes its descriptor (never standard input's)
// and leaves infile at -1.
void close_source();

// The input sources, chosen at run time: reader reads a descriptor (the
// system read call, or the session's read that acts on signals while it
// waits, or the raw-terminal reader's); vreader reads an input opened
// with a handle (vinfile; none is opened that way yet: it reads nothing).
// Both return the byte count, 0 at the end, negative on error (errno set).
extern ssize_t (*reader)(int fd, void* buf, size_t n);
extern ssize_t (*vreader)(void* handle, void* buf, size_t n);

// Prompt state.  prompt2: 1 while a statement continues (the lexer sets it
// for every token and clears it at a statement start).  prompts: one of the
// three pairs in prompt0 (model, data, compound command).  comment_kind: 0,
// or '#' or '*' for the comment that is open.  prompt_unit: descriptor the
// prompts go to (2, or 1 with the command-line option).
extern int32_t prompt2;
extern const char** prompts;
// The prompts in force become the pair p (prompt0, prompt0 + 2 or
// prompt0 + 4); returns the pair they replace.
const char** switch_prompts(const char** p);
// No statement continues: the next prompt is a primary one (prompt2 0);
// statement_continues: the next is a secondary one.
void prompt_afresh();
void statement_continues();
extern int32_t comment_kind;
extern int prompt_unit;
// The command line's -vp: prompts go to standard output.
void prompts_to_stdout();
// The input a comment was open in has ended (comment_kind 0).
void end_open_comment();

// Block-mode input: standard input is framed (set with the source); bytes
// of the current block not handed out yet.
extern int32_t block1mode;
extern int64_t bytestogo;

// Makes the next line available between nextc and lastc; returns 1, or 0
// when the source has ended (nextc = lastc = line_end = yylastc then).  A
// read error writes the command location and "error reading file ..." and
// aborts the command (bailout).
int nextline();

// Starts reading a freshly opened source: fd becomes infile (0 standard
// input, framed when blockmode says so; rc is cleared for it) and handle
// vinfile; the line buffer is emptied, counting restarts at line 1 and no
// statement's file is named; name becomes infname once the source is
// started (after its first line when that is read).
// With k nonzero the first line is read at once: a source that is empty
// is closed (infile -1) and 0 returned.  Returns 1 otherwise.  A read
// error aborts the command, as in nextline.
int start_source(const char* name, int fd, void* handle, int k);

// Called by a tokenizer when nextc has reached lastc; returns the next
// character, or at the end of the source what c asks for: 35 the lexer
// between tokens, 10 inside a "#" comment, 4 inside a token (0 returned),
// 2 inside a construct that must be closed, 0 and 1 the data tokenizer.
// At the end of all input it may report "unexpected end of file" and end
// the session (session_exit) or throw data_end.
int next0(int c);

// 1 when the last character next0 returned came from the line buffer, so
// that a tokenizer may put it back by stepping nextc back; 0 when next0
// made it up at the end of a source.
extern int next0_inbuf;

// The next character for a tokenizer (the lexer's, the data reader's),
// refilling with next0(arg) at the end of the line; unread_char puts it
// back when it came from the line buffer.
inline int getch(int arg) {
  if (nextc < lastc) {
    next0_inbuf = 1;
    return static_cast<unsigned char>(*nextc++);
  }
  return next0(arg);
}
inline void unread_char() {
  if (next0_inbuf) --nextc;
}

// Skips a comment opened by "/*" up to and including its "*/", across
// lines; a comment open at the end of a source is closed with a warning.
void eat_comment();

// Makes the current source end now (the `end` statement).
void end_file();

// Prints a pending end-of-input message (eofmsg) through squawk and clears
// it; none when an interrupt ended the file (the break is reported).
void issue_eofmsg();

// The reader of a new session: no source (infile -1), read through
// session_read, the line buffer empty, the block-input framing forgotten,
// the prompt options empty.  Kept by `reset`: the input goes on after it.
void reader_start();

// Options read by the reader: the six prompt texts (prompt1, prompt2,
// dataprompt1, dataprompt2, cmdprompt1, cmdprompt2; empty until the option
// table sets them), the include-level prefix (insertprompt, "<%d>") and
// log_file_flush (every logged line is flushed).  Written by their option
// handlers only.
extern const char* prompt0[6];
extern const char* insprompt;
extern int log_file_flush;
// The message to print when input ends before the statement being read
// does ("end of file within set data"), or null.
extern const char* eofmsg;
void set_eofmsg(const char* msg);

}  // namespace vexo

#endif  // VEXO_FRONTEND_READER_H
