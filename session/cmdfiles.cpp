// Command files: redirections, read files, close and remove; the log
// file's table entry.
#include "session/cmdfiles.h"

#include <cstdlib>
#include <cstring>

#include "frontend/cmdbuild.h"
#include "report/prex.h"
#include "session/optcmd.h"
#include "support/filename.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/text.h"

namespace vexo {

const char* log_fname = "";
const char* log_ofname = "";
int log_find;

// The names live outside recorded memory: reset keeps the log open.
static char* kept_name;

FILE* disp0file(const char* name, int append, int* find) {
  FILE* f = Fopen_map(name, append ? "a" : "w");
  if (!f) return nullptr;
  free(kept_name);
  size_t n = strlen(name) + 1;
  kept_name = static_cast<char*>(mymalloc_ZEF(n));
  memcpy(kept_name, name, n);
  log_ofname = kept_name;
  *find = 1;
  return f;
}

void close_cmd(const char* name) {
  if (log_file && kept_name && strcmp(name, kept_name) == 0) {
    fclose(log_file);
    log_file = nullptr;
  }
}

void file_init() {
  if (log_file) return;
  log_fname = log_ofname = "";
  log_find = 0;
}

void file_reinit(int) {}

// The stream dispfile opened, closed by dispfile_done.
static FILE* cmd_file;

FILE* dispfile(redirect* r) {
  if (!r) return display_stream();
  cstr* name = Litval(r->file);
  FILE* f = Fopen_map(name->text(), r->mode == 1 ? "a" : "w");
  if (!f) {
    Fprintf(Stderr, "can't open %s\n", name->text());
    errorend();
    zap_cstr(&name);
    return nullptr;
  }
  zap_cstr(&name);
  return cmd_file = f;
}

void dispfile_done(FILE* f) {
  if (f && f == cmd_file) {
    fclose(f);
    cmd_file = nullptr;
  } else if (f) {
    fflush(f);
  }
}

}  // namespace vexo
