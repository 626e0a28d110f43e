// The input stack of include files.
#include "session/include.h"

#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "frontend/neighbours.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "session/located.h"
#include "session/startup.h"
#include "support/block.h"
#include "support/filename.h"
#include "support/format.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

// The includer's reader state, saved while an include file is read.
constexpr int MAX_INCLUDES = 12;
struct saved_input {
  int32_t infile;
  void* vinfile;
  const char* infname;
  char* name_copy;  // the include file's own name (freed at its end)
  char* linebuf;
  char* firstc;
  char* nextc;
  char* lastc;
  char* line_end;
  int64_t lineno;
  int64_t linestart;
  int32_t lineinc;
  int32_t eof_nextline;
  int32_t block1mode;
  int adjusted;
  int infile_number;
  const char* stmtfname;
};
static saved_input include_stack[MAX_INCLUDES];
static char* include_name;  // name block of the current include file

// Ends the current include file and resumes the includer at its saved
// position.
static void pop_include() {
  if (infile > 0) close(infile);
  saved_input& r = include_stack[--nfs];
  del_mblk(htcl(LINEBUF_SIZE), linebuf);
  if (include_name) del_mblk(htcl(strlen(include_name) + 1), include_name);
  include_name = r.name_copy;
  infile = r.infile;
  vinfile = r.vinfile;
  infname = r.infname;
  linebuf = r.linebuf;
  firstc = r.firstc;
  nextc = r.nextc;
  lastc = r.lastc;
  line_end = r.line_end;
  lineno = r.lineno;
  linestart = r.linestart;
  lineinc = r.lineinc;
  eof_nextline = r.eof_nextline;
  block1mode = r.block1mode;
  adjusted = r.adjusted;
  infile_number = r.infile_number;
  stmtfname = r.stmtfname;
  yylastc = nextc;
  tstart = nullptr;
  comment_kind = 0;
  infile_changed = 1;
}

void include(const char* name, int how, int) {
  if (how < 0) {
    error(0, "invalid include syntax");
    nextc = lastc;
    return;
  }
  while (*name && static_cast<unsigned char>(*name) < 33) ++name;
  if (!*name) return;
  if (nfs >= MAX_INCLUDES) {
    squawk("includes nested too deeply");
    myexit(rc | 4);
  }
  int fd = 0;
  void* handle = nullptr;
  if (strcmp(name, "-") != 0) {
    fd = Open_map(name, &handle);
    if (fd < 0) {
      char msg[240];
      Snprintf(msg, sizeof msg, "Can't find  file \"%.200s\"", name);
      squawk(msg);
      bailout();
    }
  }
  saved_input& r = include_stack[nfs++];
  r = {infile,       vinfile,    infname,  include_name,  linebuf,   firstc,
       nextc,        lastc,      line_end, lineno,        linestart, lineinc,
       eof_nextline, block1mode, adjusted, infile_number, stmtfname};
  size_t n = strlen(name) + 1;
  include_name = static_cast<char*>(new_mblk(htcl(n)));
  memcpy(include_name, name, n);
  infile = fd;
  vinfile = handle;
  infname = include_name;
  block1mode = fd == 0 ? (blockmode & 3) : 0;
  linebuf = static_cast<char*>(new_mblk(htcl(LINEBUF_SIZE)));
  firstc = nextc = lastc = line_end = yylastc = linebuf;
  tstart = nullptr;
  lineno = 1;
  linestart = 0;
  lineinc = 0;
  eof_nextline = 0;
  adjusted = 0;
  stmtfname = nullptr;
  infile_number = ++ninfile_number;
  infile_changed = 1;
}

void end_include(int mode) {
  if (nfs == 0) return;
  pop_include();
  if (mode == 2) return;
  while (nfs > 0 && (mode == 0 || !(nextc < lastc || nextline()))) {
    pop_include();
  }
}

int bottom_infile() { return nfs > 0 ? include_stack[0].infile : infile; }

void incl_check() {}

}  // namespace vexo
