// The input stack of include files, the include path and line directives.
#include "session/include.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "data/readdata.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "session/cmdfiles.h"
#include "session/infiles.h"
#include "session/execute.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/startup.h"
#include "support/block.h"
#include "support/filename.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

int nfs;
int bailquit;

filestack fs[MAX_INCLUDES];
const char* inclpath = ".";
int pathmax = 1;

void set_inclpath(const char* value) {
  // A copy outside the pools: the path survives a reset.
  static char* copy;
  size_t len = strlen(value) + 1;
  char* c = static_cast<char*>(mymalloc_ZEF(len));
  memcpy(c, value, len);
  free(copy);
  inclpath = copy = c;
  // The longest line: a line starts after the characters below 33 and
  // ends at the first one below 32.
  int longest = 0;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(c);
  while (*s) {
    while (*s && *s < 33) ++s;
    int n = 0;
    while (s[n] >= 32) ++n;
    if (n > longest) longest = n;
    s += n;
  }
  pathmax = longest;
}

// The class of an include's line buffer (LINEBUF_SIZE bytes).
static int bufcl() {
  static const int k = htcl(LINEBUF_SIZE);
  return k;
}

// The name block of the top-level input once a line directive renamed it:
// the block, its class (-1: none) and the longest name stored there plus
// one.
static char* infnam1;
static int k_infnam1 = -1;
static size_t infnam1_len;

void include_reset() {
  infnam1 = nullptr;
  k_infnam1 = -1;
  infnam1_len = 0;
}

int bottom_infile() { return nfs > 0 ? fs[0].infile : infile; }

// ---------------------------------------------------------------------------
// Saving and restoring inputs

void save_input(filestack* r, int fd, char* resume) {
  leave_source(r, fd, resume);
  r->adjusted = adjusted;
  r->bailquit = bailquit;
  r->infile_number = infile_number;
  // An error ends the session unless it was typed at an interactive
  // terminal: the bottom input decides.
  bailquit = !interactive || warn_exit || (nfs > 0 ? fs[0].infile : fd) != 0;
}

void restore_input(filestack* r) {
  resume_source(r);
  adjusted = r->adjusted;
  bailquit = r->bailquit;
  infile_number = r->infile_number;
}

// ---------------------------------------------------------------------------
// include

// "\ninclude stack...\n", a line per saved input and the current one.
static void show_include_stack() {
  Fprintf(Stderr, "\ninclude stack...\n");
  for (int i = 0; i < nfs; ++i) {
    Fprintf(Stderr, "\t%s, line %ld includes\n",
            fs[i].infname ? fs[i].infname : "-",
            static_cast<long>(fs[i].lineno));
  }
  Fprintf(Stderr, "\t%s\n", infname ? infname : "-");
  errorend();
}

// Opens candidate as the include file; the descriptor, or -1.  A signal
// that interrupts the open (of a FIFO that has no writer yet, which blocks)
// is served: a termination ends the session with its code, an interrupt
// abandons the command as a break; after any other the open is tried again.
// A directory is no file to read: it is closed again and *dir set.
static int try_open(const char* candidate, void** handle, bool* dir) {
  for (;;) {
    int fd = Open_map(candidate, handle);
    if (fd >= 0) {
      struct stat st;
      if (!*handle && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        *dir = true;
        return -1;
      }
      return fd;
    }
    if (errno != EINTR) return fd;
    signal_point();
    if (gotbreak) {
      break_notice();
      bail1out();
    }
  }
}

// Searches for name as the include path says; buf (room for the name, the
// longest path line and "/" with the NUL) receives the name that opened.
// The descriptor, or -1 when nothing opened (*dir set when a directory of
// that name was passed over).
static int search(const char* name, char* buf, void** handle, bool* dir) {
  size_t len = strlen(name);
  if (strcmp(name, "-") == 0) {
    memcpy(buf, name, 2);
    *handle = nullptr;
    return 0;
  }
  if (name[0] == '.' && name[1] == '/' && name[2]) {
    // Only the current directory.
    memcpy(buf, name + 2, len - 1);
    return try_open(buf, handle, dir);
  }
  if (name[0] == '/' || name[0] == '<' || pathmax == 0) {
    // An absolute name, or a command whose output is read.
    memcpy(buf, name, len + 1);
    return try_open(buf, handle, dir);
  }
  const unsigned char* p = reinterpret_cast<const unsigned char*>(inclpath);
  for (;;) {
    while (*p && *p < 33) ++p;
    if (!*p) return -1;
    const unsigned char* b = p;
    while (*p >= 32) ++p;
    const unsigned char* e = p;
    while (e > b && e[-1] == ' ') --e;
    const unsigned char* after = p;
    while (*after && *after < 33) ++after;
    size_t n = static_cast<size_t>(e - b);
    if (n > static_cast<size_t>(pathmax)) continue;  // buf has no room
    char* q = buf;
    if (!(n == 1 && *b == '.' && !*after)) {
      // A last line "." gives the bare name.
      memcpy(q, b, n);
      q += n;
      if (b[n - 1] != '/') *q++ = '/';
    }
    memcpy(q, name, len + 1);
    int fd = try_open(buf, handle, dir);
    if (fd >= 0) return fd;
  }
}

void include(const char* name, int how, int) {
  if (how < 0) {
    error(0, "invalid include syntax");
    resume_at(lastc);
    return;
  }
  if (Serving && badfname(name)) {
    cantserve("nonalphanumeric ", "file names");
    return;
  }
  fi_room();
  // The file may be one this session's commands write.
  flush_outputs();
  if (how > 0) resume_at(tstart + strlen(name) + 9);
  char* resume = nextc;
  while (*name && static_cast<unsigned char>(*name) < 33) ++name;
  if (!*name) return;
  if (nfs >= MAX_INCLUDES) {
    eexit = 0;
    squawk("includes nested too deeply");
    show_include_stack();
    myexit(rc | 4);
  }
  if (eexit) eexit = 1;
  int k = htcl(strlen(name) + 2 + static_cast<size_t>(pathmax));
  char* buf = static_cast<char*>(new_mblk(k));
  void* handle = nullptr;
  bool dir = false;
  int fd = search(name, buf, &handle, &dir);
  if (fd < 0) {
    del_mblk(k, buf);
    eexit = 0;
    char msg[240];
    Snprintf(msg, sizeof msg,
             dir ? "\"%.200s\" is a directory, not a file"
                 : "Can't find  file \"%.200s\"",
             name);
    squawk(msg);
    if (nfs) show_include_stack();
    if (bailquit) myexit(rc | 4);
    eexit = eexit_save;
    bailout();
  }
  filestack* r = &fs[nfs++];
  save_input(r, fd, resume);
  r->namecl = k;
  begin_source(buf, handle, static_cast<char*>(new_mblk(bufcl())));
  adjusted = 0;
  infile_number = ++ninfile_number;
  eexit = eexit_save;
  note_source_change();
}

// ---------------------------------------------------------------------------
// end_include

int end_include(int mode) {
  if (nfs == 0) return 0;
  note_source_change();
  end_open_comment();
  while (nfs > 0) {
    if (doing_read_cmd && nfs == doing_read_cmd) {
      // The current input is a `read` file: it ends as a `read` ends.
      read_end();
      if (mode) return 1;
      continue;
    }
    if (infile > 0) close(infile);
    filestack* r = &fs[--nfs];
    char* name = const_cast<char*>(infname);
    char* buf = linebuf;
    restore_input(r);
    del_mblk(bufcl(), buf);
    del_mblk(r->namecl, name);
    if (mode == 2) return 1;
    // Mode 1 stops at an input whose end nextfile settles itself: the file
    // of a `read`, of a `commands` or `data` command, or of a data section.
    if (mode == 1 &&
        ((doing_read_cmd && doing_read_cmd == nfs) ||
         (inslev && ins_nfs == nfs) || (endjump && datanfs == nfs) ||
         nextc < lastc || nextline()))
      return 1;
  }
  if (mode == 0) {
    // What the lexer holds came from the inputs just ended.
    doing_read_cmd = 0;
    forget_pending_tokens();
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Line directives

void incl_check() {
  if (ibuf[0] == ' ') {
    linenochk(ibuf + 1);
  } else if (strncmp(ibuf, "line ", 5) == 0) {
    linenochk(ibuf + 5);
  }
}

// Makes name (n bytes) the name of the current input, in the current
// level's own name block.
static void rename_input(const char* name, size_t n) {
  char** block;
  int* cl;
  int top = nfs - 1;
  char* own = const_cast<char*>(infname);
  if (nfs == 0) {
    block = &infnam1;
    cl = &k_infnam1;
    if (n + 1 > infnam1_len) infnam1_len = n + 1;
  } else {
    // An include's name block is infname itself; its class is in the top
    // record.  A `read` file's name is not a block of its own.
    if (doing_read_cmd == nfs) return;
    block = &own;
    cl = &fs[top].namecl;
  }
  if (*cl < 0 || static_cast<size_t>(8) << *cl < n + 1) {
    int k = htcl(n + 1);
    char* b = static_cast<char*>(new_mblk(k));
    if (*cl >= 0 && *block) del_mblk(*cl, *block);
    *block = b;
    *cl = k;
  }
  memcpy(*block, name, n);
  (*block)[n] = 0;
  set_source_name(*block);
  forget_stmt_name();
}

void linenochk(const char* s) {
  while (*s == ' ') ++s;
  if (*s < '1' || *s > '9') return;
  long n = 0;
  while (*s >= '0' && *s <= '9') {
    if (n < 100000000000L) n = n * 10 + (*s - '0');
    ++s;
  }
  if (*s == '\n') {
    next_line_number(n);
    ++adjusted;
    return;
  }
  while (*s == ' ') ++s;
  if (*s != '"' || !s[1]) return;
  ++s;
  const char* e = strchr(s, '"');
  if (!e) return;
  next_line_number(n);
  ++adjusted;
  size_t len = static_cast<size_t>(e - s);
  if (len == 0) return;
  if (infname && strlen(infname) == len && strncmp(infname, s, len) == 0)
    return;
  rename_input(s, len);
}

// ---------------------------------------------------------------------------
// Reset

namespace {

// The saved block: the address of the top-level name block and its text,
// then per include level (the
// current input first, then the records above the bottom one from the
// lowest) its name and its current line, each piece a length word and
// the bytes.
struct keep_writer {
  char* p;
  void piece(const char* s, size_t n) {
    memcpy(p, &n, sizeof n);
    p += sizeof n;
    if (n) memcpy(p, s, n);
    p += n;
  }
};
struct keep_reader {
  const char* p;
  const char* piece(size_t* n) {
    memcpy(n, p, sizeof *n);
    p += sizeof *n;
    const char* s = p;
    p += *n;
    return s;
  }
};

// A new line buffer holding the n bytes of line; *first receives its start.
char* new_line(const char* line, size_t n) {
  char* b = static_cast<char*>(new_mblk(bufcl()));
  memcpy(b, line, n);
  return b;
}

// A new name block of class k holding the n bytes of name (NUL added).
char* new_name(int k, const char* name, size_t n) {
  if (k < htcl(n + 1)) k = htcl(n + 1);
  char* b = static_cast<char*>(new_mblk(k));
  memcpy(b, name, n);
  b[n] = 0;
  return b;
}

}  // namespace

void* ioreset(void* saved) {
  if (!saved) {
    if (nfs == 0 && infnam1_len == 0) return nullptr;
    size_t total = sizeof(char*) + sizeof(size_t) + infnam1_len;
    auto add = [&total](const char* name, char* first, char* end) {
      total += 2 * sizeof(size_t) + strlen(name) + (end - first);
    };
    if (nfs > 0) {
      add(infname, firstc, line_end);
      for (int i = 1; i < nfs; ++i)
        add(fs[i].infname, fs[i].firstc, fs[i].line_end);
    }
    // Outside the pools, which the reset frees.
    char* block = static_cast<char*>(mymalloc_ZEF(total));
    keep_writer w{block};
    // The old block's address tells which names pointed at it.
    memcpy(w.p, &infnam1, sizeof infnam1);
    w.p += sizeof infnam1;
    w.piece(infnam1, infnam1_len);
    if (nfs > 0) {
      w.piece(infname, strlen(infname));
      w.piece(firstc, static_cast<size_t>(line_end - firstc));
      for (int i = 1; i < nfs; ++i) {
        w.piece(fs[i].infname, strlen(fs[i].infname));
        w.piece(fs[i].firstc,
                static_cast<size_t>(fs[i].line_end - fs[i].firstc));
      }
    }
    return block;
  }
  keep_reader rd{static_cast<const char*>(saved)};
  const char* old1;
  memcpy(&old1, rd.p, sizeof old1);
  rd.p += sizeof old1;
  size_t n;
  const char* s = rd.piece(&n);
  if (n) {
    // The top-level name block: infname follows it when it pointed there.
    k_infnam1 = htcl(n);
    infnam1 = static_cast<char*>(new_mblk(k_infnam1));
    memcpy(infnam1, s, n);
    infnam1_len = n;
    if (nfs == 0 && infname == old1) set_source_name(infnam1);
    if (nfs > 0 && fs[0].infname == old1) fs[0].infname = infnam1;
  }
  if (nfs > 0) {
    // The statement names lived in the string arena, which is gone.
    for (int i = 0; i < nfs; ++i) fs[i].stmtfname = nullptr;
    forget_stmt_name();
    const char* name = rd.piece(&n);
    set_source_name(new_name(fs[nfs - 1].namecl, name, n));
    fs[nfs - 1].namecl = blkclass(infname);
    const char* line = rd.piece(&n);
    char* b = new_line(line, n);
    move_line(n, b);
    for (int i = 1; i < nfs; ++i) {
      filestack& r = fs[i];
      name = rd.piece(&n);
      r.infname = new_name(fs[i - 1].namecl, name, n);
      fs[i - 1].namecl = blkclass(r.infname);
      line = rd.piece(&n);
      b = new_line(line, n);
      char* of = r.firstc;
      r.nextc = line_pos_moved(r.nextc, of, n, b);
      r.lastc = line_pos_moved(r.lastc, of, n, b);
      if (!r.nextc) r.nextc = b;
      if (!r.lastc) r.lastc = b + n;
      r.linebuf = r.firstc = b;
      r.line_end = b + n;
    }
  }
  free(saved);
  return nullptr;
}

void include_start() {
  nfs = 0;
  bailquit = 0;
  set_inclpath(".");
}

}  // namespace vexo
