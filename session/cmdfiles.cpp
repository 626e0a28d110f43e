// The table of command files: redirections, read files, close and remove.
#include "session/cmdfiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>

#include "compiler/compile.h"
#include "compiler/tva.h"
#include "eval/dispatch.h"
#include "eval/set.h"
#include "frontend/cmdbuild.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/reader.h"
#include "instance/xcg.h"
#include "report/prex.h"
#include "report/print.h"
#include "session/cmdrec.h"
#include "session/execute.h"
#include "session/include.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/optcmd.h"
#include "session/startup.h"
#include "support/block.h"
#include "support/filename.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

Fileinfo* pfiles;
set* pnames;
int pf_n;
int pf_k;
int fi_nopen;
int log_find;
const char* log_fname = "";
const char* log_ofname = "";
FILE* df;
int stdOut_idf = -1;
int read_fi;

// ---------------------------------------------------------------------------
// Buffered output

// The streams written since the last flush_outputs, besides standard
// output: at most every open entry once.  A stream leaves the list when it
// is closed (forget_written), so the list never holds a closed stream.
static FILE* written[fi_maxopen + 2];
static int nwritten;

static void mark_written(FILE* f) {
  if (!f || f == stdout) return;
  for (int i = nwritten; i-- > 0;)
    if (written[i] == f) return;
  if (nwritten < fi_maxopen + 2) {
    written[nwritten++] = f;
  } else {
    fflush(f);  // more streams than entries: cannot happen, but safe
  }
}

static void forget_written(FILE* f) {
  for (int i = 0; i < nwritten; ++i)
    if (written[i] == f) {
      written[i] = written[--nwritten];
      return;
    }
}

// Opens name for writing.  A terminal or a pipe gets each line at once:
// whoever reads it expects output as it comes, not at the command's end.
static FILE* open_output(const char* name, const char* mode) {
  FILE* f = Fopen_map(name, mode);
  struct stat st;
  if (f && fstat(fileno(f), &st) == 0 &&
      (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || isatty(fileno(f))))
    setvbuf(f, nullptr, _IOLBF, BUFSIZ);
  return f;
}

void item_written(FILE* f) {
  static const bool tty = isatty(fileno(stdout));
  if (f == stdout) {
    if (blockmode || tty) fflush(f);
    return;
  }
  if (nwritten == 0 || written[nwritten - 1] != f) mark_written(f);
}

void flush_outputs() {
  fflush(stdout);
  if (stdOut != stdout) fflush(stdOut);
  if (log_file) fflush(log_file);
  while (nwritten > 0) fflush(written[--nwritten]);
}

// ---------------------------------------------------------------------------
// The list of open entries

static void unlink_entry(Fileinfo* e) {
  pfiles[e->prev].next = e->next;
  pfiles[e->next].prev = e->prev;
}

// Moves entry i to the front (right after the log file's entry), linking
// it first when it is not on the list.
static void to_front(int i) {
  Fileinfo* e = &pfiles[i];
  if (e->inlist) {
    unlink_entry(e);
  } else {
    e->inlist = 1;
    ++fi_nopen;
  }
  Fileinfo* a = &pfiles[log_find];
  e->prev = log_find;
  e->next = a->next;
  pfiles[a->next].prev = i;
  a->next = i;
}

void fi_unused(Fileinfo* e) {
  if (e->inlist) {
    unlink_entry(e);
    e->inlist = 0;
    --fi_nopen;
  }
  e->mode = 0;
}

static bool is_dash(const char* name) { return strcmp(name, "-") == 0; }

// Closes a written entry's stream (standard output stays open; stdOut
// falls back to it when it was this stream).
static void close_stream(Fileinfo* e) {
  if (!e->f) return;
  if (e->f == stdOut && stdOut != stdout) {
    stdOut = stdout;
    stdOut_idf = -1;
  }
  if (df == e->f) df = stdOut;
  if (e->f == stdout) {
    fflush(stdout);
  } else {
    forget_written(e->f);
    fclose(e->f);
  }
  e->f = nullptr;
}

static void release_fullname(Fileinfo* e) {
  if (e->fullname_cs) zap_cstr(&e->fullname_cs);
  e->fullname = nullptr;
}

// Frees a read entry's reading state and closes its descriptor.
static void drop_read(Fileinfo* e) {
  if (e->fd > 0) close(e->fd);
  e->fd = -1;
  if (e->rs) {
    del_mblk(e->rs->namecl, e->rs);
    e->rs = nullptr;
  }
}

void fi_room() {
  if (!pfiles || fi_nopen < fi_maxopen) return;
  // The least recently used entry that may go: never the log file, nor the
  // stream the running command writes to, nor the file `read` reads.
  int i = pfiles[0].prev;
  while (i && (i == log_find || (pfiles[i].f && pfiles[i].f == df) ||
               (doing_read_cmd && i == read_fi)))
    i = pfiles[i].prev;
  if (!i) return;
  Fileinfo* e = &pfiles[i];
  if (e->mode == 1) {
    e->offset = e->fd > 0 ? lseek(e->fd, 0, SEEK_CUR) : 0;
    if (e->fd > 0) close(e->fd);
    e->fd = -1;
  } else {
    close_stream(e);
  }
  unlink_entry(e);
  e->inlist = 0;
  --fi_nopen;
}

// ---------------------------------------------------------------------------
// Names

int pindex(const char* name, symbol** sym) {
  symbol* s = Symbol(name, 1);
  if (sym) *sym = s;
  int64_t i = set_lookup(pnames, &s);
  if (i >= 0) return static_cast<int>(i) + 1;
  set_addmem(pnames, &s);
  int n = pnames->nmem;
  if (n >= pf_n) {
    int k = pf_k + 1;
    size_t old = static_cast<size_t>(pf_n) * sizeof(Fileinfo);
    pfiles = static_cast<Fileinfo*>(ext_mblk(pf_k, pfiles, k, old));
    memset(reinterpret_cast<char*>(pfiles) + old, 0, old);
    pf_k = k;
    pf_n *= 2;
  }
  return n;
}

void get_fullname(Fileinfo* e, const char* name) {
  e->name = name;
  e->fullname_cs = nullptr;
  if (name[0] == '/') {
    e->fullname = name;
    return;
  }
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) {
    e->fullname = name;
    return;
  }
  e->fullname_cs = cstr_join(cwd, '/', name);
  e->fullname = e->fullname_cs->text();
}

cstr* rdfname(expr** pe, xrecomp* xr) { return Litval(pe, xr); }

// ---------------------------------------------------------------------------
// Output

FILE* disp0file(const char* name, int append, int* find) {
  *find = -1;
  if (Serving == 2) {
    cantserve("writing to file ", name);
    return stdOut;
  }
  if (Serving && badfname(name)) {
    cantserve("nonalphanumeric ", "file names");
    return stdOut;
  }
  // "-" is whatever stdOut is at the time (`commands ... > f` points it at
  // a file for a while), so it has no entry of its own.
  if (is_dash(name)) return stdOut;
  symbol* sym;
  int i = pindex(name, &sym);
  Fileinfo* e = &pfiles[i];
  if (e->mode == 1) {
    // A file that was read is written now: its read position goes.
    release_fullname(e);
    drop_read(e);
    fi_unused(e);
  }
  if (e->mode == 2) {
    if (!e->f) {
      // Closed for lack of descriptors: reopened where the session left
      // it, appending.
      fi_room();
      e->f = open_output(e->fullname, "a");
      if (!e->f) {
        error(0, "can't open \"%s\"", name);
        return nullptr;
      }
      to_front(i);
    } else if (pfiles[0].next != i && i != log_find) {
      to_front(i);
    }
    *find = i;
    mark_written(e->f);
    return e->f;
  }
  fi_room();
  FILE* f = open_output(name, append ? "a" : "w");
  if (!f) {
    error(0, "can't open \"%s\"", name);
    return nullptr;
  }
  e->f = f;
  e->fd = -1;
  get_fullname(e, sym->name);
  to_front(i);
  e->mode = 2;
  *find = i;
  mark_written(f);
  return f;
}

void dispfile1(cstr* name, redirect* r) {
  const char* s = name->text();
  if (s[0] == ' ' && s[1] == ' ') s += 2;
  int find;
  FILE* f = disp0file(s, r->mode == 1, &find);
  if (!f) {
    df = stdOut;
    bailout();
  }
  df = f;
  r->find = find;
}

void dispfile(redirect* r, xrecomp* xr) {
  if (!r) {
    df = stdOut;
    return;
  }
  held_cstr name(rdfname(&r->file, xr));
  dispfile1(name.get(), r);
}

bool dispfile_each(const redirect* r, const set_spec* ix) {
  return ix && r && !(opcode(r->file) == OPSTR && r->file->L.cs);
}

void dispfile_compile(redirect* r) {
  // A condition's text is that of its number, as in rdfname.
  if (is_logical(r->file)) r->file = make_numeric(r->file);
  mri(&r->file, 1);
}

void dispfile_member(redirect* r, TVA* t) {
  held_cstr name(format_text(r->file, t));
  dispfile1(name.get(), r);
}

// ---------------------------------------------------------------------------
// Read files

// A new reading state for descriptor fd (name the file's): one block with
// the record and its line buffer, positioned at the file's start.
static filestack* new_read_state(int fd, const char* name) {
  int k = htcl(sizeof(filestack) + LINEBUF_SIZE);
  filestack* rs = static_cast<filestack*>(new_mblk(k, 1));
  char* b = reinterpret_cast<char*>(rs + 1);
  rs->infile = fd;
  rs->namecl = k;
  rs->vinfile = nullptr;
  rs->linebuf = rs->firstc = rs->nextc = rs->lastc = rs->line_end = b;
  rs->infname = name;
  rs->lineno = 1;
  return rs;
}

void read_file(redirect* r, xrecomp* xr) {
  cstr* cs = rdfname(&r->file, xr);
  symbol* sym;
  int i = pindex(cs->text(), &sym);
  zap_cstr(&cs);
  const char* name = sym->name;
  if (nfs >= MAX_INCLUDES) {
    // The input stack has no room for the file.
    error(0, "can't read \"%s\": input files nested too deeply", name);
    bailout();
  }
  Fileinfo* e = &pfiles[i];
  if (e->mode == 1 && e->fd < 0) {
    // Closed for lack of descriptors: reopened at the recorded position.
    fi_room();
    void* handle;
    int fd = Open_map(e->fullname, &handle);
    if (fd < 0) {
      error(0, "can't open input file \"%s\"", name);
      bailout();
    }
    e->fd = e->rs->infile = fd;
    off_t at = lseek(fd, e->offset, SEEK_SET);
    if (at != e->offset) {
      int err = errno;
      cmdwhere();
      bug("lseek returned %.g rather than %.g; errno = %d\nfile = \"%s\"",
          static_cast<double>(at), static_cast<double>(e->offset), err,
          e->fullname);
    }
    to_front(i);
  } else if (e->mode == 1) {
    to_front(i);
  } else {
    if (e->mode == 2) {
      // A file that was written is read now: the output is closed first.
      close_stream(e);
      release_fullname(e);
      fi_unused(e);
    }
    fi_room();
    int fd = 0;
    if (!is_dash(name)) {
      void* handle;
      fd = Open_map(name, &handle);
      if (fd < 0) {
        error(0, "can't open input file \"%s\"", name);
        bailout();
      }
    }
    e->rs = new_read_state(fd, name);
    e->fd = fd;
    e->f = nullptr;
    get_fullname(e, name);
    to_front(i);
    e->mode = 1;
  }
  save_input(&fs[nfs++], e->fd, nextc);
  restore_input(e->rs);
  read_fi = i;
  doing_read_cmd = nfs;
}

void read_end() {
  if (!doing_read_cmd) return;
  while (nfs > doing_read_cmd) end_include(2);
  Fileinfo* e = &pfiles[read_fi];
  save_input(e->rs, infile, nextc);
  restore_input(&fs[--nfs]);
  doing_read_cmd = 0;
}

// ---------------------------------------------------------------------------
// close and remove

int close_cmd(const char* name) {
  symbol* s = Symbol0(name);
  if (!s || !pfiles || set_lookup(pnames, &s) < 0) return 1;
  int i = pindex(name, nullptr);
  Fileinfo* e = &pfiles[i];
  if (e->mode == 1) {
    drop_read(e);
  } else if (e->mode == 2) {
    close_stream(e);
  }
  release_fullname(e);
  fi_unused(e);
  if (i == log_find && log_find) {
    // Closing the log file empties it: it is opened afresh at once.
    log_file = nullptr;
    log_find = 0;
    int k;
    log_file = disp0file(name, 0, &k);
    if (log_file && k > 0) log_find = k;
    return 0;
  }
  return 1;
}

void each_name(expr* names, xrecomp* xr,
               const std::function<void(const char*)>& fn) {
  for (expr* n = names; n; n = n->next) {
    // Each name compiled apart from the chain, through a slot of its own
    // that the release of the compilation restores.  An error abandons the
    // command, whose expressions are freed before the exception leaves:
    // the chain is relinked only when the name was handled.
    expr* next = n->next;
    n->next = nullptr;
    expr* slot = n;
    struct relink {
      expr* n;
      expr* next;
      int unwinding = std::uncaught_exceptions();
      ~relink() {
        if (std::uncaught_exceptions() == unwinding) n->next = next;
      }
    } r{n, next};
    held_cstr name(rdfname(&slot, xr));
    fn(name.text());
  }
}

void close_cmde(expr* names, xrecomp* xr) {
  if (!names) {
    file_reinit(0);
    return;
  }
  each_name(names, xr, [](const char* name) { close_cmd(name); });
}

void remove_cmd(expr* names, xrecomp* xr) {
  each_name(names, xr, [](const char* name) {
    if (Serving && badfname(name)) {
      cantserve("nonalphanumeric ", "file names");
      return;
    }
    if (!close_cmd(name)) return;  // the log file is only emptied
    if (remove(name) != 0 && errno == EACCES) {
      if (cmdnum) cmdwhere();
      Fprintf(Stderr, "Permission denied to remove \"%s\".\n", name);
      errorend();
    }
  });
}

// ---------------------------------------------------------------------------
// The log file

// The log's names live outside the pools: a reset reopens the log.
static char* kept_ofname;
static char* kept_fname;

static const char* keep_name(char** cell, const char* s) {
  free(*cell);
  *cell = nullptr;
  if (!*s) return "";
  size_t n = strlen(s) + 1;
  *cell = static_cast<char*>(mymalloc_ZEF(n));
  memcpy(*cell, s, n);
  return *cell;
}

int log_open(const char* name) {
  if (log_find && pfiles) {
    Fileinfo* e = &pfiles[log_find];
    log_find = 0;
    close_stream(e);
    release_fullname(e);
    fi_unused(e);
  }
  log_file = nullptr;
  log_ofname = keep_name(&kept_ofname, "");
  log_fname = keep_name(&kept_fname, "");
  if (!*name) return 1;
  int k;
  FILE* f = disp0file(name, 0, &k);
  if (!f || k <= 0) return 0;  // refused, or "-" (standard output)
  log_file = f;
  log_find = k;
  log_ofname = keep_name(&kept_ofname, name);
  log_fname = keep_name(&kept_fname, pfiles[k].fullname);
  return 1;
}

// ---------------------------------------------------------------------------
// Start-up and end

FILE* log_file;
int doing_read_cmd;

void close_log_file() {
  if (log_file) {
    forget_written(log_file);
    fclose(log_file);
  }
  log_file = nullptr;
}

void forget_read_cmd() { doing_read_cmd = 0; }

void cmdfiles_start() {
  log_file = nullptr;
  doing_read_cmd = 0;
  // A new session has no log to reopen (reset keeps the names).
  log_ofname = keep_name(&kept_ofname, "");
  log_fname = keep_name(&kept_fname, "");
}

// Opens the log file of log_ofname again, appending (after a reset, or
// after a child ran with it closed).
static void reopen_log() {
  if (!log_ofname || !*log_ofname) return;
  symbol* sym;
  int i = pindex(log_ofname, &sym);
  Fileinfo* e = &pfiles[i];
  get_fullname(e, sym->name);
  if (log_fname && *log_fname) e->fullname = log_fname;
  FILE* f = open_output(e->fullname, "a");
  if (!f) {
    error(0, "Could not reopen log_file \"%s\"", e->fullname);
    release_fullname(e);
    log_file = nullptr;
    log_ofname = keep_name(&kept_ofname, "");
    log_fname = keep_name(&kept_fname, "");
    return;
  }
  log_file = e->f = f;
  e->mode = 2;
  to_front(i);
  log_find = i;
}

void file_init() {
  pf_n = 8;
  pf_k = htcl(static_cast<size_t>(pf_n) * sizeof(Fileinfo));
  pfiles = static_cast<Fileinfo*>(new_mblk(pf_k, 1));
  pnames = set_enum(new_enum(), 1);
  fi_nopen = 0;
  nwritten = 0;
  log_find = 0;
  read_fi = 0;
  df = stdOut;
  reopen_log();
}

// Whether the command's output went to the log when log_suspend closed it.
static bool df_was_log;

bool log_suspend() {
  if (!log_find || !pfiles || !log_file) return false;
  Fileinfo* e = &pfiles[log_find];
  df_was_log = df == log_file;
  log_find = 0;
  close_stream(e);
  release_fullname(e);
  fi_unused(e);
  log_file = nullptr;
  return true;
}

void log_resume() {
  reopen_log();
  if (df_was_log && log_file) df = log_file;
  df_was_log = false;
}

// The entry whose stream was the command's output when file_suspend
// closed it (0: none).
static int df_suspended;

const char* file_suspend(int i) {
  Fileinfo* e = &pfiles[i];
  if (e->f && e->f != stdout) {
    if (df == e->f) {
      df = stdOut;
      df_suspended = i;
    }
    forget_written(e->f);
    fclose(e->f);
    e->f = nullptr;
  }
  return e->fullname ? e->fullname : "";
}

bool file_resume(int i) {
  Fileinfo* e = &pfiles[i];
  if (e->f || e->mode != 2) return true;
  e->f = e->fullname ? open_output(e->fullname, "a") : nullptr;
  bool was_df = df_suspended == i;
  df_suspended = 0;
  if (!e->f) {
    release_fullname(e);
    fi_unused(e);
    return false;
  }
  if (was_df) df = e->f;
  return true;
}

void file_reinit(int final) {
  if (!pfiles) return;
  for (int i = 1; i <= (pnames ? pnames->nmem : 0) && i < pf_n; ++i) {
    Fileinfo* e = &pfiles[i];
    if (!e->mode) continue;
    if (i == log_find && !final) continue;
    if (e->mode == 1) {
      drop_read(e);
    } else {
      if (e->f == log_file) log_file = nullptr;
      close_stream(e);
    }
    release_fullname(e);
    fi_unused(e);
  }
  if (final) {
    log_find = 0;
    pfiles = nullptr;
    stdOut = stdout;
    stdOut_idf = -1;
  }
  df = stdOut;
}

}  // namespace vexo
