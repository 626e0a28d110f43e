// The input line reader: one fixed line buffer per source, refilled by reads
// of at most READ_MAX bytes and handed out line by line without copying;
// only a token still being scanned (tstart) is moved to the front on a
// refill.  Standard input may be framed in blocks by a front-end program;
// a block larger than the buffer is read at once into reusable chunks so
// that the front end never blocks on a half-read block.
#include "frontend/reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "data/readdata.h"
#include "frontend/rawtok.h"
#include "session/cmdfiles.h"
#include "session/cmdrec.h"
#include "session/execute.h"
#include "session/infiles.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/startup.h"
#include "support/block.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/text.h"

namespace vexo {

const char* prompt0[6] = {"", "", "", "", "", ""};
const char* insprompt = "<%d>";
int log_file_flush;
const char* eofmsg;

void set_eofmsg(const char* msg) { eofmsg = msg; }

char linebuf0[LINEBUF_SIZE];
char* linebuf = linebuf0;
char* firstc = linebuf0;
char* nextc = linebuf0;
char* lastc = linebuf0;
char* line_end = linebuf0;
char* yylastc = linebuf0;
char* tstart;

int64_t lineno;
int32_t lineinc;
int64_t linestart;
int32_t eof_nextline;
int32_t eof_lastline;

bool take_eof_lastline() {
  bool was = eof_lastline != 0;
  eof_lastline = 0;
  return was;
}

int32_t infile = -1;
const char* infname;
void* vinfile;
// The last source that ended was standard input and none has begun since.
static bool stdin_ended;

void leave_source(input_place* p, int fd, char* resume) {
  p->infile = infile;
  p->vinfile = vinfile;
  p->firstc = firstc;
  p->linebuf = linebuf;
  p->lastc = lastc;
  p->line_end = line_end;
  p->nextc = resume;
  p->infname = infname;
  p->lineno = lineno;
  p->lineinc = lineinc;
  p->linestart = linestart;
  p->stmtfname = stmtfname;
  p->eof_nextline = eof_nextline;
  infile = fd;
  block1mode = fd == 0 ? (blockmode & 3) : 0;
  eof_nextline = 0;
}

void resume_source(const input_place* p) {
  char* t = nullptr;
  if (tstart && tstart >= linebuf && tstart < nextc && nextc <= line_end) {
    size_t n = static_cast<size_t>(nextc - tstart);
    size_t room = static_cast<size_t>(p->nextc - p->linebuf);
    const char* from = tstart;
    if (n > room) {
      from += n - room;
      n = room;
    }
    if (n) {
      t = p->nextc - n;
      memmove(t, from, n);
    }
  }
  tstart = t;
  infile = p->infile;
  block1mode = infile == 0 ? (blockmode & 3) : 0;
  vinfile = p->vinfile;
  firstc = p->firstc;
  linebuf = p->linebuf;
  lastc = p->lastc;
  line_end = p->line_end;
  nextc = p->nextc;
  infname = p->infname;
  lineno = p->lineno;
  lineinc = p->lineinc;
  linestart = p->linestart;
  stmtfname = p->stmtfname;
  eof_nextline = p->eof_nextline;
  yylastc = nextc;
}

void begin_source(const char* name, void* handle, char* buf) {
  infname = name;
  vinfile = handle;
  stmtfname = nullptr;
  linebuf = buf;
  firstc = nextc = lastc = yylastc = line_end = buf;
  tstart = nullptr;
  lineno = 1;
  linestart = 0;
  lineinc = 0;
  eof_nextline = 0;
}

char* line_pos_moved(char* p, char* of, size_t n, char* b) {
  if (!p || p < of || p > of + n) return nullptr;
  return b + (p - of);
}

void move_line(size_t n, char* b) {
  char* of = firstc;
  tstart = line_pos_moved(tstart, of, n, b);
  fc0 = line_pos_moved(fc0, of, n, b);
  if (!fc0) fc0 = b;
  nextc = line_pos_moved(nextc, of, n, b);
  lastc = line_pos_moved(lastc, of, n, b);
  yylastc = line_pos_moved(yylastc, of, n, b);
  if (!nextc) nextc = b;
  if (!lastc) lastc = b + n;
  if (!yylastc) yylastc = nextc;
  linebuf = firstc = b;
  line_end = b + n;
}

void set_source_name(const char* name) { infname = name; }

void forget_stmt_name() { stmtfname = nullptr; }

void next_line_number(int64_t n) { lineno = n - 1; }

void resume_at(char* p) { nextc = p; }

void point_at_line_end() {
  if (firstc >= lastc) {
    firstc = nextc = lastc = line_end = linebuf;
    *lastc++ = '\n';
    line_end = lastc;
  }
  fc0 = firstc;
  nextc = tstart = lastc - 1;
}

bool reading_stdin() { return infile == 0 || (infile < 0 && stdin_ended); }

void close_source() {
  if (infile > 0) close(infile);
  stdin_ended = infile == 0 && !vinfile;
  infile = -1;
}

static ssize_t no_vread(void*, void*, size_t) { return 0; }
ssize_t (*reader)(int fd, void* buf, size_t n) = ::read;
ssize_t (*vreader)(void* handle, void* buf, size_t n) = no_vread;

int32_t prompt2;
const char** prompts = prompt0;
int32_t comment_kind;

const char** switch_prompts(const char** p) {
  const char** was = prompts;
  prompts = p;
  return was;
}

void prompt_afresh() { prompt2 = 0; }

void statement_continues() { prompt2 = 1; }

void end_open_comment() { comment_kind = 0; }
int prompt_unit = 2;

void prompts_to_stdout() { prompt_unit = 1; }

int32_t block1mode;
int64_t bytestogo;

int next0_inbuf;

// ---------------------------------------------------------------------------
// Prompts

// Appends text to *m.  Its first "%" directive of kind conv ('s' or 'd') is
// replaced by sarg or darg; every other "%" is plain text.  Prompt texts
// come from options, so they are never used as formats.
static void put_filled(mstr** m, const char* text, char conv, const char* sarg,
                       long darg) {
  const char* d = nullptr;
  for (const char* s = text; *s; ++s) {
    if (s[0] == '%' && s[1] == conv) {
      d = s;
      break;
    }
  }
  if (!d) {
    Mstr_put(m, text, strlen(text));
    return;
  }
  Mstr_put(m, text, static_cast<size_t>(d - text));
  if (conv == 's') {
    Mstr_put(m, sarg, strlen(sarg));
  } else {
    char num[24];
    int n = Snprintf(num, sizeof num, "%ld", darg);
    Mstr_put(m, num, static_cast<size_t>(n));
  }
  Mstr_put(m, d + 2, strlen(d + 2));
}

// The prompt before a read of standard input: the continuation text while
// a token is carried across the refill or a statement continues.
static void show_prompt() {
  int which = (tstart || prompt2 == 1) ? 1 : 0;
  const char* p = prompts[which];
  if (!p) p = "";
  // A single-stepping dialogue names the next command instead, where
  // prompts are shown.
  const char* step = which == 0 && *p ? step_prompt : nullptr;
  // A primary prompt starts afresh.
  if (interactive && prompt2 == 0) clear_rc();
  flush_outputs();
  mstr* m = nullptr;
  char ck = static_cast<char>(comment_kind);
  if (blockmode) {
    char name[8] = "prompt1";
    name[6] = static_cast<char>('1' + (prompts - prompt0) + which);
    blockstart(name);
    if (ck) Mstr_put(&m, &ck, 1);
    if (step) {
      Mstr_put(&m, step, strlen(step));
    } else if (*p) {
      put_filled(&m, p, 's', cmdstate ? cmdprompt() : "", 0);
    } else {
      Mstr_put(&m, "\n", 1);
    }
    blockput(mstr_val(m), m->len);
    blockstart("misc");
    mstr_free(&m);
    return;
  }
  if (!*p) return;
  errorend();
  if (ck) Mstr_put(&m, &ck, 1);
  if (inslev > 0 && insprompt && *insprompt) {
    put_filled(&m, insprompt, 'd', "", inslev);
  }
  if (step) {
    Mstr_put(&m, step, strlen(step));
  } else if (cmdstate) {
    put_filled(&m, p, 's', cmdprompt(), 0);
  } else {
    Mstr_put(&m, p, strlen(p));
  }
  ssize_t w = write(prompt_unit, mstr_val(m), m->len);
  (void)w;  // a prompt that cannot be shown is not an error
  if (log_file) {
    Fprintf(log_file, "%s", mstr_val(m));
  }
  mstr_free(&m);
}

// ---------------------------------------------------------------------------
// Block-mode input

// One chunk of the overflow chain: a link, then 64,500 bytes of data in
// an allocation of 64,512 bytes.  Chunks stay allocated for later blocks.
constexpr size_t CHUNK_DATA = 64500;
struct inchunk {
  inchunk* next;
  char data[64512 - sizeof(inchunk*)];
};
static_assert(sizeof(inchunk) == 64512);

static inchunk* firstinblock;  // first chunk
static inchunk* curinblock;    // chunk being handed out
static int64_t inbtogo;        // bytes left in it
static int64_t inboffset;      // offset in it

// Header buffer: up to 15 bytes of header text and a NUL; the bytes after
// a block's end stay here for the next header.
static char hbuf[16];
static int hpos, hend;
// Set once the framing is lost (a bad header, a failed read, a header or
// block cut short): the input counts as ended from then on.
static bool block_input_ended;

static ssize_t header_piece() {
  ssize_t n = reader(0, hbuf, 15);
  hpos = 0;
  hend = n > 0 ? static_cast<int>(n) : 0;
  hbuf[hend] = 0;
  return n;
}

// A framing error: the input counts as ended, and the state says so before
// the message, which may abandon the command (the warning limit).
static ssize_t framing_lost(const char* fmt, ...) {
  char msg[160];
  va_list ap;
  va_start(ap, fmt);
  Vsnprintf(msg, sizeof msg, fmt, ap);
  va_end(ap);
  hpos = hend = 0;
  bytestogo = 0;
  block_input_ended = true;
  error(0, "%s", msg);
  return 0;
}

// A failed read of block input loses the framing: report it rather than
// take it for an orderly end.
static ssize_t block_read_failed(int err) {
  return framing_lost("error reading file \"%s\"; errno = %d.",
                      infname ? infname : "-", err);
}

static ssize_t bad_block() {
  return framing_lost("Bad input block \"%s\"", hbuf + hpos);
}

// Where the next byte of the chunk chain goes when pos bytes are in it;
// *room receives the space left in that chunk.  Chunks are made as the
// bytes arrive.
static char* chunk_spot(int64_t pos, size_t* room) {
  static inchunk* last;         // chunk found by the previous call
  static int64_t last_ix = -1;  // and its index
  int64_t ix = pos / static_cast<int64_t>(CHUNK_DATA);
  if (last_ix < 0 || ix < last_ix) {
    if (!firstinblock) {
      firstinblock = static_cast<inchunk*>(mymalloc_ZEF(sizeof(inchunk)));
      firstinblock->next = nullptr;
    }
    last = firstinblock;
    last_ix = 0;
  }
  for (; last_ix < ix; ++last_ix) {
    if (!last->next) {
      last->next = static_cast<inchunk*>(mymalloc_ZEF(sizeof(inchunk)));
      last->next->next = nullptr;
    }
    last = last->next;
  }
  size_t off = static_cast<size_t>(pos % static_cast<int64_t>(CHUNK_DATA));
  *room = CHUNK_DATA - off;
  return last->data + off;
}

// Reads block-framed standard input into buf (at most room bytes per
// call).  Returns the count, or 0 when the input has ended, after a
// framing message where one is due.
static ssize_t blockget(char* buf, size_t room) {
  if (block_input_ended) return 0;
  if (bytestogo > 0) {
    size_t n = static_cast<size_t>(std::min<int64_t>(inbtogo, room));
    memcpy(buf, curinblock->data + inboffset, n);
    inboffset += n;
    inbtogo -= n;
    bytestogo -= n;
    if (inbtogo == 0 && bytestogo > 0) {
      curinblock = curinblock->next;
      inboffset = 0;
      inbtogo = std::min<int64_t>(bytestogo, CHUNK_DATA);
    }
    clear_queue();
    return static_cast<ssize_t>(n);
  }
  if (hpos >= hend) {
    ssize_t n = header_piece();
    if (n < 0) return block_read_failed(errno);
    if (n == 0) return 0;
  }
  if (hbuf[hpos] < '0' || hbuf[hpos] > '9') return bad_block();
  // A length that does not fit a signed 64-bit count (too_big) is
  // reported with its digits as they were sent (the first 40 of them).
  uint64_t len = 0;
  bool too_big = false;
  char digits[48];
  size_t nd = 0;
  for (;;) {
    while (hpos < hend && hbuf[hpos] >= '0' && hbuf[hpos] <= '9') {
      if (nd < 40) digits[nd] = hbuf[hpos];
      ++nd;
      uint64_t d = static_cast<uint64_t>(hbuf[hpos++] - '0');
      if (too_big) continue;
      if (len > (static_cast<uint64_t>(INT64_MAX) - d) / 10) too_big = true;
      len = len * 10 + d;
    }
    if (hpos < hend) break;
    ssize_t n = header_piece();
    if (n < 0) return block_read_failed(errno);
    if (n == 0) return framing_lost("EOF reading block size");
  }
  if (static_cast<unsigned char>(hbuf[hpos]) > 32) return bad_block();
  ++hpos;
  if (too_big) {
    digits[std::min<size_t>(nd, 40)] = 0;
    return framing_lost("Input block size = %s%s", digits,
                        nd > 40 ? "..." : "");
  }
  int64_t size = static_cast<int64_t>(len);
  if (size == 0) return 0;
  // A new block of text starts its own count; the end of the input (and a
  // framing error) leaves the position at the end of the last block.
  lineno = 1;
  linestart = 0;
  lineinc = 0;
  // The block's bytes go to buf up to room, the rest to the chunk chain.
  int64_t pos = 0;
  // Where byte pos goes, with the room there in k.
  auto spot = [&](size_t* k) {
    if (pos < static_cast<int64_t>(room)) {
      *k = room - static_cast<size_t>(pos);
      return buf + pos;
    }
    return chunk_spot(pos - static_cast<int64_t>(room), k);
  };
  auto place = [&](const char* src, int64_t n) {
    while (n > 0) {
      size_t k;
      char* to = spot(&k);
      k = static_cast<size_t>(std::min<int64_t>(n, k));
      memcpy(to, src, k);
      src += k;
      n -= k;
      pos += k;
    }
  };
  int64_t have = std::min<int64_t>(hend - hpos, size);
  place(hbuf + hpos, have);
  hpos += static_cast<int>(have);
  while (pos < size) {
    size_t k;
    char* to = spot(&k);
    k = static_cast<size_t>(std::min<int64_t>(size - pos, k));
    ssize_t n = reader(0, to, k);
    if (n < 0) return block_read_failed(errno);
    if (n == 0) return framing_lost("EOF reading block");
    pos += n;
  }
  bytestogo =
      pos > static_cast<int64_t>(room) ? pos - static_cast<int64_t>(room) : 0;
  curinblock = firstinblock;
  inboffset = 0;
  inbtogo = std::min<int64_t>(bytestogo, CHUNK_DATA);
  return static_cast<ssize_t>(std::min<int64_t>(pos, room));
}

void skip_block_rest() {
  if (!block1mode) return;
  nextc = lastc = line_end;
  bytestogo = 0;
  inbtogo = 0;
}

// ---------------------------------------------------------------------------
// Lines

int nextline() {
  lineno += lineinc;
  linestart += nextc - firstc;
  lineinc = 0;
  firstc = nextc;
  eof_lastline = eof_nextline;
  if (eof_nextline) {
    eof_nextline = 0;
    return 0;
  }
  char* nl;
  if (gotbreak && infile != 0) return 0;  // an interrupt ends a file
  if (gotbreak) {                         // and discards typed-ahead input
    linestart += line_end - nextc;
    nextc = line_end;
  } else if (nextc < line_end) {
    lastc = line_end;
    nl = static_cast<char*>(memchr(nextc, '\n', line_end - nextc));
    goto hand_out;
  }
  // Refill, keeping a token still being scanned.  A token as long as the
  // buffer cannot be kept; the raw token reader ends its tokens before.
  if (tstart && line_end - tstart >= LINEBUF_ROOM) tstart = nullptr;
  if (tstart) {
    ptrdiff_t saved = line_end - tstart;
    linestart -= nextc - tstart;
    if (tstart != linebuf) memmove(linebuf, tstart, saved);
    nextc = linebuf + (nextc - tstart);
    tstart = linebuf;
    lastc = linebuf + saved;
  } else {
    nextc = lastc = linebuf;
  }
  firstc = linebuf;
  // What lay beyond lastc is gone, and so is the end of the last raw token:
  // a read that fails, or a message of the block reader that abandons the
  // command, must not hand any of it out again.
  line_end = yylastc = lastc;
  for (;;) {
    size_t room = std::min<size_t>(LINEBUF_ROOM - (lastc - linebuf), READ_MAX);
    if (infile == 0 && !vinfile && (!block1mode || bytestogo == 0)) {
      show_prompt();
    }
    std::sig_atomic_t brk = gotbreak;
    ssize_t n;
    if (infile < 0 && !vinfile) {
      n = 0;  // no source is open: the input has ended
    } else if (block1mode) {
      n = blockget(lastc, room);
    } else if (vinfile) {
      n = vreader(vinfile, lastc, room);
    } else {
      n = reader(infile, lastc, room);
    }
    int err = errno;
    if (infile == 0) forget_break(brk);
    if (n < 0 && err == EINTR && gotbreak != brk) {
      // An interrupt while waiting for a file's next piece ends the file,
      // as it would between lines; the command reports the break.
      if (infile != 0) n = 0;
    }
    if (n < 0 && err == EINTR && infile == 0 && gotbreak != brk) {
      // Interrupted while waiting for a line: served here, so that the
      // next line typed runs.  A statement partly typed is abandoned.
      break_notice();
      if (prompt2 || cmdstate) bail1out();
      continue;
    }
    if (n < 0) {
      cmdwhere();
      Fprintf(Stderr, "error reading file \"%s\"; errno = %d.\n",
              infname ? infname : "-", err);
      bailout();
    }
    if (n == 0) {
      line_end = yylastc = nextc = lastc;
      eof_nextline = 1;
      return 0;
    }
    lastc += n;
    line_end = lastc;
    nl = static_cast<char*>(memchr(nextc, '\n', lastc - nextc));
    break;
  }
hand_out:
  if (log_file && (infile == 0 || (log_what && *log_what) || log_file_flush)) {
    char* e = nl ? nl + 1 : lastc;
    Fprintf(log_file, "%.*s", static_cast<int>(e - nextc), nextc);
    if (infile == 0 || log_file_flush) fflush(log_file);
  }
  if (nl) {
    lastc = nl + 1;
    lineinc = 1;
  }
  return 1;
}

// Continues the input with s after the end of the source; the end is seen
// again once s is used up.
static void supply(const char* s) {
  size_t n = strlen(s);
  if (line_end + n > linebuf + LINEBUF_ROOM) {
    linestart += line_end - firstc;
    firstc = line_end = linebuf;
  }
  memcpy(line_end, s, n);
  nextc = line_end;
  lastc = line_end = line_end + n;
  eof_nextline = 1;
}

[[noreturn]] static void end_of_input(int code, bool message) {
  if (message) issue_eofmsg();
  if (endjump) throw data_end{code};
  myexit(rc);
}

int next0(int c) {
  for (;;) {
    if (nextline()) {
      next0_inbuf = 1;
      return static_cast<unsigned char>(*nextc++);
    }
    next0_inbuf = 0;
    if (c == 4) return 0;
    if (c == 10) {
      eof_nextline = 1;
      return 10;
    }
    if (comment_kind) {
      // The comment is closed before the message, which may abandon the
      // command.
      int kind = comment_kind;
      comment_kind = 0;
      const char* what = kind == '*' ? "*/" : "newline";
      if (infile == 0) {
        error(0, "Assuming %s at the end of <stdin> to end a comment.", what);
      } else {
        error(0, "Assuming %s at the end of file \"%s\" to end a comment.",
              what, infname ? infname : "");
      }
      supply(kind == '*' ? "*/" : "\n");
      next0_inbuf = 1;
      return static_cast<unsigned char>(*nextc++);
    }
    int r = nextfile(1, c);
    if (r == 2) return ' ';
    if (r == 3) end_of_input(rc + 3, false);  // reported where it ended
    if (r) {
      if (nextc < lastc) {
        next0_inbuf = 1;
        return static_cast<unsigned char>(*nextc++);
      }
      continue;  // the new source's first line is not read yet
    }
    break;
  }
  switch (c) {
    case 2:
      // Inside a data statement its own message says it.
      if (endjump == 1 && eofmsg)
        issue_eofmsg();
      else if (!gotbreak)
        squawk("unexpected end of file");
      end_of_input(rc + 3, false);
    case 0:
      if (parse_time == 1) return 0;
      if (parse_time < 1) return -1;
      firstc = lastc;
      end_of_input(rc + 1, true);
    case 1:
      end_of_input(rc + 1, true);
    default:
      if (inslev && c == 35) eof_in_insertion();
      return c;
  }
}

void eat_comment() {
  comment_kind = '*';
  tstart = nullptr;
  auto get = [] {
    return nextc < lastc ? static_cast<unsigned char>(*nextc++) : next0(2);
  };
  int c = get();
  for (;;) {
    if (c != '*') {
      c = get();
      continue;
    }
    do c = get();
    while (c == '*');
    if (c == '/') break;
  }
  comment_kind = 0;
}

void end_file() {
  yylastc = nextc = lastc;
  eof_nextline = 1;
}

void issue_eofmsg() {
  // A file an interrupt ended did not end early: the break is reported.
  if (gotbreak) eofmsg = nullptr;
  if (eofmsg) {
    const char* m = eofmsg;
    eofmsg = nullptr;
    squawk(m);
  }
}

int start_source(const char* name, int fd, void* handle, int k) {
  stmtfname = nullptr;
  infile = fd;
  vinfile = handle;
  stdin_ended = false;
  block1mode = fd == 0 ? (blockmode & 3) : 0;
  if (fd == 0) clear_rc();
  eof_nextline = 0;
  lineno = 1;
  lineinc = 0;
  linestart = 0;
  firstc = nextc = lastc = line_end = yylastc = linebuf;
  tstart = nullptr;
  if (k && !nextline()) {
    close_source();
    return 0;
  }
  lineno = 1;
  infname = name;
  return 1;
}

void reader_start() {
  infile = -1;
  infname = nullptr;
  vinfile = nullptr;
  stdin_ended = false;
  reader = session_read;
  vreader = no_vread;
  prompt_unit = 2;
  block1mode = 0;
  next0_inbuf = 0;
  eofmsg = nullptr;
  for (const char*& p : prompt0) p = "";
  insprompt = "<%d>";
  log_file_flush = 0;
  linebuf = linebuf0;
  firstc = nextc = lastc = line_end = yylastc = linebuf;
  tstart = nullptr;
  lineno = linestart = 0;
  lineinc = 0;
  eof_nextline = eof_lastline = 0;
  comment_kind = 0;
  prompt2 = 0;
  prompts = prompt0;
  bytestogo = 0;
  inbtogo = inboffset = 0;
  curinblock = nullptr;
  hpos = hend = 0;
  block_input_ended = false;
}

}  // namespace vexo
