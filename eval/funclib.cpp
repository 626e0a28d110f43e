// User functions and their libraries.
#include "eval/funclib.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/tablerw.h"
#include "eval/builtin.h"
#include "eval/dispatch.h"
#include "eval/random.h"
#include "eval/set.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/parse.h"
#include "frontend/rawtok.h"
#include "instance/ac.h"
#include "instance/genmod.h"
#include "session/batch.h"
#include "session/child.h"
#include "session/cmdfiles.h"
#include "session/execute.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/optcmd.h"
#include "session/options.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "solver/nlexpr.h"
#include "support/filename.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/sort.h"
#include "support/strtod.h"
#include "support/symbol.h"
#include "support/text.h"

namespace {

// A reset, exit or seed callback.
struct cbnode {
  cbnode* next;
  void* f;
  void* arg;
};

}  // namespace

// One loaded library (outside the pools: a library stays loaded across
// `reset`).
struct VexoLib {
  vexo::symbol* name;  // its member of _LIBS
  void (*entry)(VexoExports*);
  cbnode* reset;  // at-reset callbacks, newest first
  cbnode* exit;   // at-exit callbacks, newest first
  void* reserved;
  vexo::function* funcs;  // the functions it registered, in order
  void* handlers;
  VexoExports* ae;  // its own copy of the table (malloc)
  unsigned stamp;   // adjust_vexo_funclibs: counted in this pass
};

namespace vexo {

uint32_t last_reseed;

namespace {

// The program's own table, and the record that stands for no library.
VexoExports AE0;
VexoLib No_Lib;
VexoLib* curLib = &No_Lib;
cbnode* Rss;  // seed callbacks, newest first
bool funcadd_done;

// The loaded libraries in load order: full path and record.
struct lib_entry {
  std::string path;
  VexoLib* rec;
};
std::vector<lib_entry> Libs;

cbnode* new_node(cbnode* next, void* f, void* arg) {
  cbnode* n = static_cast<cbnode*>(mymalloc_ZEF(sizeof(cbnode)));
  n->next = next;
  n->f = f;
  n->arg = arg;
  return n;
}

// Detaches the list and runs it, newest first.
void run_list(cbnode** head) {
  cbnode* n = *head;
  *head = nullptr;
  while (n) {
    cbnode* next = n->next;
    reinterpret_cast<VexoCallback*>(n->f)(n->arg);
    free(n);
    n = next;
  }
}

void drop_list(cbnode** head) {
  for (cbnode* n = *head; n;) {
    cbnode* next = n->next;
    free(n);
    n = next;
  }
  *head = nullptr;
}

VexoLib* lib_of(VexoExports* ae) {
  return ae && ae->Lib ? ae->Lib : curLib;
}

extern "C" void* AtExit_c(VexoExports* ae, VexoCallback* f, void* arg) {
  VexoLib* l = lib_of(ae);
  l->exit = new_node(l->exit, reinterpret_cast<void*>(f), arg);
  return l->exit;
}

extern "C" void* AtReset_c(VexoExports* ae, VexoCallback* f, void* arg) {
  VexoLib* l = lib_of(ae);
  l->reset = new_node(l->reset, reinterpret_cast<void*>(f), arg);
  return l->reset;
}

extern "C" void AddRandinit_c(VexoExports*, VexoRandInit* f, void* arg) {
  Rss = new_node(Rss, reinterpret_cast<void*>(f), arg);
  f(arg, randseed_ZEF);
}

// Slot 14: a table handler of the library being loaded, kept on its list
// so that unloading it removes the handler.
extern "C" void lib_add_table_handler(VexoTableHandler* read,
                                      VexoTableHandler* write, char* desc,
                                      int flags, void* vinfo) {
  VexoLib* l = curLib;
  const char* lib = l && l->name ? l->name->name : "<builtin>";
  Table_Handler* h = add_table_handler(read, write, desc, flags, vinfo,
                                       l && l->ae ? l->ae : &AE0, lib);
  if (!h || !l) return;
  h->libnext = static_cast<Table_Handler*>(l->handlers);
  l->handlers = h;
}

// Removes the handlers a library registered, with their names.
void drop_handlers(VexoLib* l) {
  for (auto* h = static_cast<Table_Handler*>(l->handlers); h;) {
    Table_Handler* nx = h->libnext;
    int ord = handler_ordinal(h);
    Del_table_handler(h);
    if (ord >= 0) handler_info_adjust(ord, 1);
    h = nx;
  }
  l->handlers = nullptr;
}

extern "C" const char* Getenv_c(const char* name) { return Get_env(name); }

// Slot 3 while `load` runs: the loader's messages follow the command's
// location, said once per library.
bool where_said;
extern "C" int fprintf_where(FILE* f, const char* fmt, ...) {
  if (cmdnum && !where_said) cmdwhere();
  where_said = true;
  va_list ap;
  va_start(ap, fmt);
  int n = Vfprintf(f, fmt, ap);
  va_end(ap);
  return n;
}

extern "C" void Addfunc_c(const char* name, VexoRealFunc f, int type,
                          int nargs, void* info, VexoExports* ae);

void dl_close(void* h) {
  if (h) dlclose(h);
}

void fill_table(VexoExports* t) {
  memset(t, 0, sizeof *t);
  t->StdErr = Stderr;
  t->Addfunc = Addfunc_c;
  t->ASLdate = 20240404;
  t->FprintF = Fprintf;
  t->PrintF = Printf;
  t->SprintF = Sprintf;
  t->VfprintF = Vfprintf;
  t->VsprintF = Vsprintf;
  t->Strtod = Strtod;
  t->AtExit = AtExit_c;
  t->AtReset = AtReset_c;
  t->Tempmem = Tempmem;
  t->Add_table_handler = lib_add_table_handler;
  t->Lib = &No_Lib;
  t->Qsortv = qsortv;
  t->StdIn = stdin;
  t->StdOut = stdout;
  t->Clearerr = clearerr;
  t->Fclose = fclose;
  t->Fdopen = fdopen;
  t->Feof = feof;
  t->Ferror = ferror;
  t->Fflush = fflush;
  t->Fgetc = fgetc;
  t->Fgets = fgets;
  t->Fileno = fileno;
  t->Fopen = Fopen_map;
  t->Fputc = fputc;
  t->Fputs = fputs;
  t->Fread = fread;
  t->Freopen = freopen;
  t->Fscanf = fscanf;
  t->Fseek = fseek;
  t->Ftell = ftell;
  t->Fwrite = fwrite;
  t->Pclose = pclose;
  t->Perror = Perror;
  t->Popen = popen;
  t->Puts = puts;
  t->Rewind = rewind;
  t->Scanf = scanf;
  t->Setbuf = setbuf;
  t->Setvbuf = setvbuf;
  t->Sscanf = sscanf;
  t->Tempnam = mytempnam;
  t->Tmpfile = tmpfile;
  t->Tmpnam = mytmpnam;
  t->Ungetc = ungetc;
  t->Getenv = Getenv_c;
  t->SnprintF = Snprintf;
  t->VsnprintF = Vsnprintf;
  t->Addrandinit = AddRandinit_c;
}

// The library's functions become unavailable: declarations keep their
// record without routine; records that only made the name available give
// the name back (they stay, unbound, when compiled calls refer to them).
void drop_funcs(VexoLib* l) {
  for (function* f = l->funcs; f;) {
    function* next = f->libnext;
    f->funcp = f->libfuncp = nullptr;
    f->lib = nullptr;
    f->libnext = nullptr;
    f->stamp = nextgenlev;
    if (f->kind == DK_NOBIND && f->name && f->name->binding == f) {
      f->name->binding = f->oldval;
      if (!f->ncalls) delete f;
    }
    f = next;
  }
  l->funcs = nullptr;
}

void libs_set_rebuild() {
  if (!Sd_LIBS || !Sd_LIBS->value) return;
  set* s = Sd_LIBS->value;
  del_setmem(s->arity, s->first);
  s->first = nullptr;
  s->lastnext = &s->first;
  s->nmem = 0;
  s->new_htab(static_cast<int>(Libs.size()));
  for (lib_entry& e : Libs) {
    e.rec->name = Symbol(e.path.c_str(), 1);
    symbol* t[1] = {e.rec->name};
    set_addmem(s, t);
  }
  Sd_LIBS->stamp = nextgenlev;
}

std::string AF_text() {
  std::string af;
  for (const lib_entry& e : Libs) {
    if (!af.empty()) af += '\n';
    af += e.path;
  }
  return af;
}

void reverse_funcs(VexoLib* l) {
  function* r = nullptr;
  for (function* f = l->funcs; f;) {
    function* next = f->libnext;
    f->libnext = r;
    r = f;
    f = next;
  }
  l->funcs = r;
}

// Calls the library's entry with its table.
void call_entry(VexoLib* l) {
  VexoLib* saved = curLib;
  curLib = l;
  int saved_exit = suspend_warning_exit();
  l->entry(l->ae);
  resume_warning_exit(saved_exit);
  reverse_funcs(l);
  curLib = saved;
}

}  // namespace

// Registers the library at path (when new) and calls its entry.
int aflibname(VexoExports* ae, const char* path, void (*entry)(VexoExports*)) {
  for (const lib_entry& e : Libs)
    if (e.path == path) return 0;
  VexoLib* l = static_cast<VexoLib*>(mymalloc_ZEF(sizeof(VexoLib)));
  memset(l, 0, sizeof *l);
  l->entry = entry;
  if (ae) {
    l->reset = ae->Lib->reset;
    l->exit = ae->Lib->exit;
  } else {
    ae = static_cast<VexoExports*>(mymalloc_ZEF(sizeof(VexoExports)));
    *ae = AE0;
  }
  l->ae = ae;
  ae->Lib = l;
  ae->Addfunc = Addfunc_c;
  ae->FprintF = Fprintf;
  ae->AtExit = AtExit_c;
  ae->Add_table_handler = lib_add_table_handler;
  Libs.push_back({path, l});
  libs_set_rebuild();
  call_entry(l);
  if (Sd_LIBS) Sd_LIBS->stamp = nextgenlev;
  return 0;
}

// ---- pathsimp and the loader ------------------------------------------------

int pathsimp(char* s) {
  char* r = s;
  while (r[0] == '.' && r[1] == '/') {
    r += 2;
    while (*r == '/') ++r;
  }
  std::string out;
  size_t start = 0;  // where the components that may be removed begin
  if (*s == '/') {
    out = "/";
    start = 1;
    while (*r == '/') ++r;
  }
  while (*r) {
    char* e = r;
    while (*e && *e != '/') ++e;
    std::string comp(r, static_cast<size_t>(e - r));
    bool slash = *e == '/';
    if (comp == ".") {
      if (!slash) out += comp;
    } else if (comp == ".." && out.size() > start &&
               !(out.size() >= start + 3 &&
                 out.compare(out.size() - 3, 3, "../") == 0)) {
      // Removes the previous component.
      size_t p = out.size() - 1;
      while (p > start && out[p - 1] != '/') --p;
      out.resize(p);
    } else {
      out += comp;
      if (slash) out += '/';
    }
    r = e;
    while (*r == '/') ++r;
  }
  memcpy(s, out.c_str(), out.size() + 1);
  return static_cast<int>(out.size());
}

namespace {

bool is_regular(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool is_dir(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The names to try for name: the name and its fallback (empty when none),
// and whether a "_32" name was mapped.
void variants(const std::string& name, std::string v[2], bool* mapped) {
  v[0] = name;
  v[1].clear();
  *mapped = false;
  if (!libmap_32_64) return;
  size_t slash = name.rfind('/');
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return;
  std::string stem = name.substr(0, dot), ext = name.substr(dot);
  auto ends = [&](const char* t) {
    return stem.size() >= 3 && stem.compare(stem.size() - 3, 3, t) == 0;
  };
  if (ends("_32")) {
    std::string plain = stem.substr(0, stem.size() - 3);
    v[0] = plain + "_64" + ext;
    v[1] = plain + ext;
    *mapped = true;
  } else if (ends("_64")) {
    v[1] = stem.substr(0, stem.size() - 3) + ext;
  } else {
    v[1] = stem + "_64" + ext;
  }
}

std::vector<std::string> lib_dirs(int flags) {
  std::vector<std::string> dirs;
  if (flags & 6) {
    dirs.emplace_back();
    return dirs;
  }
  const char* p = vexo_libpath ? vexo_libpath : "";
  while (*p) {
    while (*p && static_cast<unsigned char>(*p) <= ' ') ++p;
    const char* e = p;
    while (*e && static_cast<unsigned char>(*e) >= ' ') ++e;
    std::string d(p, static_cast<size_t>(e - p));
    while (!d.empty() && d.back() == ' ') d.pop_back();
    while (d.size() > 1 && d.back() == '/') d.pop_back();
    if (!d.empty()) dirs.push_back(d);
    p = e;
  }
  return dirs;
}

}  // namespace

int libload_ZEF(VexoExports* ae, const char* name0, int len, int flags) {
  char** saved_environ = environ;
  struct restore_env {
    char** e;
    ~restore_env() { environ = e; }
  } guard{saved_environ};
  std::string name(name0, static_cast<size_t>(len));
  std::string v[2];
  bool mapped;
  variants(name, v, &mapped);
  std::string cwd;
  bool cwd_read = false;
  bool found_any = false;
  for (const std::string& dir : lib_dirs(flags)) {
    for (int vi = 0; vi < 2; ++vi) {
      const std::string& nm = v[vi];
      if (nm.empty()) break;
      std::string cand;
      bool rel = dir.empty() ? nm[0] != '/' : dir[0] != '/';
      if (rel) {
        if (!cwd_read) {
          char buf[4096];
          if (!get_cwd(buf, sizeof buf)) return 2;
          cwd = buf;
          cwd_read = true;
        }
        cand = cwd + "/";
      }
      cand += dir.empty() ? nm : dir + "/" + nm;
      std::vector<char> b(cand.begin(), cand.end());
      b.push_back(0);
      b.resize(static_cast<size_t>(pathsimp(b.data())) + 1);
      cand = b.data();
      if (is_dir(cand)) {
        std::string c1 = cand + "/vexofunc.dll";
        cand = is_regular(c1) ? c1 : cand + "/vexofunc_64.dll";
      }
      if (!is_regular(cand)) continue;
      found_any = true;
      void* h = dlopen(cand.c_str(), RTLD_NOW);
      if (!h) {
        std::string msg1 = dlerror();
        if (msg1.size() > 2047) msg1.resize(2047);
        // The fallback, when one is left and found.
        std::string cand2, msg2;
        if (vi == 0 && !v[1].empty()) {
          cand2 = (rel ? cwd + "/" : std::string()) +
                  (dir.empty() ? v[1] : dir + "/" + v[1]);
          std::vector<char> b2(cand2.begin(), cand2.end());
          b2.push_back(0);
          pathsimp(b2.data());
          cand2 = b2.data();
          if (is_regular(cand2)) {
            h = dlopen(cand2.c_str(), RTLD_NOW);
            if (h) {
              cand = cand2;
            } else {
              msg2 = dlerror();
            }
          } else {
            cand2.clear();
          }
        }
        if (!h) {
          if (flags & 1) {
            ae->FprintF(ae->StdErr, "Cannot load library %s", cand.c_str());
            const std::string& last = msg2.empty() ? msg1 : msg2;
            if (!cand2.empty() && msg2 != msg1)
              ae->FprintF(ae->StdErr, ":\n%s\nor library %s", msg1.c_str(),
                          cand2.c_str());
            if (!last.empty())
              ae->FprintF(ae->StdErr, ":\n%s\n", last.c_str());
            else
              ae->FprintF(ae->StdErr, ".\n");
          }
          return 2;
        }
      }
      void* entry = dlsym(h, "funcadd_ZEF");
      if (!entry) entry = dlsym(h, "funcadd");
      if (!entry) {
        ae->FprintF(ae->StdErr, "Could not find funcadd in %s\n", cand.c_str());
        dlclose(h);
        return 3;
      }
      ae->AtExit(ae, reinterpret_cast<VexoCallback*>(dl_close), h);
      aflibname(nullptr, cand.c_str(),
                reinterpret_cast<void (*)(VexoExports*)>(entry));
      return 0;
    }
  }
  if ((flags & 1) && !found_any) {
    if (mapped)
      ae->FprintF(ae->StdErr, "Cannot load library \"%.*s\"\nor \"%s\".\n", len,
                  name0, v[0].c_str());
    else
      ae->FprintF(ae->StdErr, "Cannot find library \"%.*s\".\n", len, name0);
  }
  return 1;
}

namespace {

// The start-up list: -i's value or the default libraries.
void funcadd_start(VexoExports* ae) {
  if (funcadd_done) return;
  funcadd_done = true;
  const char* list = i_option_ZEF;
  bool dflt = !list;
  if (dflt) list = "vexofunc.dll\nvexotabl.dll";
  if (!*list || !strcmp(list, "-") || !strcmp(list, "?")) return;
  const char* p = list;
  for (;;) {
    while (*p && static_cast<unsigned char>(*p) <= ' ') ++p;
    if (!*p) break;
    const char* s;
    const char* e;
    if (*p == '"' || *p == '\'') {
      char q = *p++;
      s = p;
      e = strchr(p, q);
      if (!e || e == s) break;  // an empty or unclosed quote ends the list
      p = e + 1;
    } else {
      s = p;
      while (*p && static_cast<unsigned char>(*p) >= ' ') ++p;
      e = p;
      while (e > s && e[-1] == ' ') --e;
    }
    std::string nm(s, static_cast<size_t>(e - s));
    int flags = 0;
    if (!dflt)
      flags = nm[0] == '/' ? 3 : nm.find('/') != std::string::npos ? 5 : 1;
    libload_ZEF(ae, nm.c_str(), static_cast<int>(nm.size()), flags);
  }
}

}  // namespace

void func_add(int start) {
  fill_table(&AE0);
  No_Lib.ae = &AE0;
  curLib = &No_Lib;
  if (start) {
    funcadd_start(&AE0);
    AE0.Lib = &No_Lib;
    std::string af = AF_text();
    cmd_option("VEXOFUNC", af.c_str());
  }
}

void funclib_reset(int start) {
  if (start) {
    // A new session: what an earlier session in this process loaded stays
    // loaded (the libraries' handles stay open) but is forgotten.
    Libs.clear();
    drop_list(&No_Lib.reset);
    drop_list(&Rss);
    funcadd_done = false;
    last_reseed = 0;
    fill_table(&AE0);
    No_Lib.ae = &AE0;
    curLib = &No_Lib;
    return;
  }
  // `reset`: the libraries' reset callbacks run, then each library
  // registers its functions again in the new session's pools.
  at_reset();
  drop_list(&Rss);
  fill_table(&AE0);
  No_Lib.ae = &AE0;
  curLib = &No_Lib;
  libs_set_rebuild();
  for (lib_entry& e : Libs) {
    e.rec->funcs = nullptr;
    e.rec->handlers = nullptr;
    // The entry registers its at-exit callbacks again: the earlier ones go
    // (the loader's dl_close stays), so that each runs once at exit.
    for (cbnode** p = &e.rec->exit; *p;) {
      cbnode* n = *p;
      if (n->f == reinterpret_cast<void*>(dl_close)) {
        p = &n->next;
        continue;
      }
      *p = n->next;
      free(n);
    }
    call_entry(e.rec);
  }
}

// ---- Addfunc ----------------------------------------------------------------

namespace {

const char* nature_word(uint32_t t) {
  switch (t & 6) {
    case 2:
      return "string";
    case 4:
      return "random";
    default:
      return "real";
  }
}

std::string describe(uint32_t nature, int n) {
  char b[128];
  if (nature == 6)
    Snprintf(b, sizeof b, "real valued with %d explicit arguments", n);
  else if (n < 0)
    Snprintf(b, sizeof b, "%s valued with at least %d arguments",
             nature_word(nature), -(n + 1));
  else
    Snprintf(b, sizeof b, "%s valued with %d arguments", nature_word(nature),
             n);
  return b;
}

// The declared nature of a declaration: 2 symbolic, 4 random.
uint32_t declared_nature(const function* f) {
  return (f->fflags & 0x100 ? 2u : 0u) | (f->fflags & 0x10000 ? 4u : 0u);
}

// The attribute word of a record that only makes a library function of
// type t available.
uint32_t lib_fflags(uint32_t t) {
  return (t & 2 ? 0x100u : 0u) | (t & 4 ? 0x10000u : 0u) |
         (t & 1 ? 0u : 0x2000u) | (t & 8 ? 0x8000u : 0u);
}

void bind_lib(function* f, VexoRealFunc fp, int n, void* info,
              VexoExports* ae) {
  VexoLib* l = lib_of(ae);
  f->nargs = f->libnargs = n;
  f->funcinfo = info;
  f->funcp = f->libfuncp = reinterpret_cast<void*>(fp);
  f->lib = l == &No_Lib ? nullptr : l;
  f->libnext = l->funcs;
  l->funcs = f;
  f->name->binding = f;
}

}  // namespace

extern "C" void Addfunc_c(const char* fname, VexoRealFunc fp, int type,
                          int nargs, void* info, VexoExports* ae) {
  if (type < 0 || (type > 6 && type < 16) || type > 21) {
    error(0,
          "addfunc(\"%s\",...) has type %d; expected 0 <= type <= 6\n\tor 16 "
          "<= type <= 21",
          fname, type);
    return;
  }
  uint32_t t = static_cast<uint32_t>(type);
  if ((t & 15) == 6) {
    if (nargs < 0 || nargs > 2) {
      error(0,
            "addfunc(\"%s\",...) has type 6, nargs %d; expected nargs = 0,1, "
            "or 2",
            fname, nargs);
      return;
    }
    t = (t & 16) | 12;
  }
  if (nargs == 0) t &= ~1u;
  symbol* name = Symbol(fname, 1);
  void* b = name->binding;
  function* decl = nullptr;
  if (b) {
    uint32_t k = bound_kind(b);
    if (k != DK_FUNCTION && k != DK_NOBIND && (k < 32 || k > 34) &&
        k != DK_FUNC39) {
      error(0, "Ignoring attempted redefinition of \"%s\" as an available "
               "function.",
            fname);
      return;
    }
    if (k == DK_FUNCTION || k == DK_NOBIND) {
      function* old = static_cast<function*>(b);
      if (old->libfuncp || (k == DK_NOBIND && old->lib)) {
        if (!(old->flags & 32)) error(0, "Duplicate definition of %s ignored.", fname);
        return;
      }
      if (k == DK_FUNCTION && !old->funcp && !old->pipe) decl = old;
      else if (k == DK_FUNCTION) {
        if (!(old->flags & 32)) error(0, "Duplicate definition of %s ignored.", fname);
        return;
      }
    } else {
      Fprintf(Stderr, "Builtin function %s redefined.\n", fname);
      errorend();
    }
  }
  if (decl) {
    uint32_t was = declared_nature(decl);
    int was_n = decl->nargs;
    bind_lib(decl, fp, nargs, info, ae);
    decl->ftype = t;
    if ((t & 6) != was) {
      error(0, "%s %s\n\tfrom %s\n\tto %s.",
            "Attempt to change the nature of function", fname,
            describe(was, was_n).c_str(), describe(t & 6, nargs).c_str());
      decl->funcp = nullptr;
    } else if (!(t & 16) && (decl->fflags & 16)) {
      error(0, "Function %s cannot have OUT or INOUT arguments.", fname);
      decl->funcp = nullptr;
    }
    if (!(t & 1)) decl->fflags |= 0x2000;
    if (t & 8) decl->fflags |= 0x8000;
    decl->flags = (decl->flags & ~uint64_t(48)) | (t & 16);
    decl->stamp = -1;
    return;
  }
  if (load_funcdcl) {
    int fl = static_cast<int>((t & 2 ? 0x100 : 0) | (t & 4 ? 0x10000 : 0));
    function* f =
        funcdcl(name, nullptr, new_farg(dotdotdot, 0), fl, nullptr, nullptr);
    if (!f) return;
    f->ftype = t;
    f->flags |= (t & 16) | 32;
    if (!(t & 1)) f->fflags |= 0x2000;
    if (t & 8) f->fflags |= 0x8000;
    bind_lib(f, fp, nargs, info, ae);
    if (load_funcdcl == 2) Printf("function %s;\n", fname);
    return;
  }
  function* f = new function;
  xrecomp_constr(f, name, nullptr, nullptr, DK_NOBIND, 0);
  f->ftype = t;
  f->fflags = lib_fflags(t);
  bind_lib(f, fp, nargs, info, ae);
}

VexoExports* lib_exports(const function* f) {
  return f->lib ? f->lib->ae : &AE0;
}

VexoExports* own_exports() { return &AE0; }

// ---- Callbacks and temporary files -------------------------------------------

void at_reset() {
  for (size_t i = Libs.size(); i-- > 0;) run_list(&Libs[i].rec->reset);
  run_list(&No_Lib.reset);
}

void at_exit() {
  for (size_t i = Libs.size(); i-- > 0;) run_list(&Libs[i].rec->exit);
  run_list(&No_Lib.exit);
}

void Reset_randseeds(uint32_t seed) {
  last_reseed = seed;
  for (cbnode* n = Rss; n; n = n->next)
    reinterpret_cast<VexoRandInit*>(n->f)(n->arg, seed);
}

void* Tempmem(void* tmi, size_t n) {
  n = (n + 7) & ~size_t(7);
  return cballoc(static_cast<charblk**>(tmi), n);
}

char* mytmpnam(char* buf) {
  static char sbuf[32];
  if (!buf) buf = sbuf;
  strcpy(buf, "/tmp/tmpnamXXXXXX");
  int fd = mkstemp(buf);
  if (fd < 1) return nullptr;
  close(fd);
  return buf;
}

char* mytempnam(const char* dir, const char* pfx) {
  static uid_t uid = getuid();
  static gid_t gid = getgid();
  std::string d;
  const char* td = getenv("TMPDIR");
  struct stat st;
  if (td && *td && stat(td, &st) == 0 && S_ISDIR(st.st_mode)) {
    mode_t m = st.st_uid == uid   ? (st.st_mode >> 6)
               : st.st_gid == gid ? (st.st_mode >> 3)
                                  : st.st_mode;
    if ((m & 6) == 6) d = td;
  }
  if (d.empty()) d = dir && *dir ? dir : "/tmp";
  while (d.size() > 1 && d.back() == '/') d.pop_back();
  std::string name = d + "/";
  if (pfx && strlen(pfx) <= 5) name += pfx;
  name += "XXXXXX";
  char* b = static_cast<char*>(malloc(name.size() + 1));
  if (!b) return nullptr;
  memcpy(b, name.c_str(), name.size() + 1);
  int fd = mkstemp(b);
  if (fd < 0) {
    free(b);
    return nullptr;
  }
  close(fd);
  return b;
}

// ---- The function record and its declaration ----------------------------------

void* function::operator new(size_t size) { return xmem(XM_FUNCTION, size); }
void function::operator delete(void* p) { xmem_free(XM_FUNCTION, p); }

function* function::finish_dcl() {
  end_dcl_name();
  xnode* old = nullptr;
  stamp = 0;
  if (yychain(this, &old)) return this;
  return static_cast<function*>(x_copy(old, this, XM_FUNCTION));
}

namespace {

// The library's routine and type go over to the declaration f; the checks
// of the declared nature against the library's.
void take_lib(function* f, const function* a) {
  f->ftype = a->ftype;
  f->nargs = f->libnargs = a->libnargs;
  f->funcinfo = a->funcinfo;
  f->funcp = f->libfuncp = a->libfuncp;
  f->lib = a->lib;
  uint32_t t = a->ftype;
  const char* nm = f->name->name;
  if (!(t & 1)) f->fflags |= 0x2000;
  if (t & 8) f->fflags |= 0x8000;
  if ((t & 2) && !(f->fflags & 0x100)) {
    error(0, "Function %s is %ssymbolic.", nm, "");
    f->fflags |= 0x100;
  } else if (!(t & 2) && (f->fflags & 0x100)) {
    error(0, "Function %s is %ssymbolic.", nm, "not ");
    f->fflags &= ~0x100u;
  }
  if ((t & 4) && !(f->fflags & 0x10000)) {
    error(0, "Function %s is random.", nm);
    f->fflags |= 0x10000;
  }
  if ((f->fflags & 16) && !(t & 16)) {
    error(0, "Function %s cannot have OUT or INOUT arguments.", nm);
    f->funcp = nullptr;
  }
}

// Replaces a in its library's list of functions by f.
void relink(function* a, function* f) {
  if (!a->lib) return;
  for (function** p = &a->lib->funcs; *p; p = &(*p)->libnext)
    if (*p == a) {
      *p = f;
      f->libnext = a->libnext;
      return;
    }
}

const char* spipe_c(arglist* al);
double rpipe_c(arglist* al);
void pipe_stop(function* f);

}  // namespace

function* funcdcl(symbol* name, cstr* alias, funcarg* args, int flags,
                  expr* pipe, expr* format) {
  if (pipe && Serving) {
    cantserve("pipe ", "functions");
    return nullptr;
  }
  uint32_t attr = static_cast<uint32_t>(flags);
  for (funcarg* a = args; a; a = a->next)
    if (a->dir & 2) attr |= 16;
  if ((attr & 0x100) && (attr & 3)) {
    error(0, "symbolic functions may not be integer or binary");
    attr &= ~3u;
  }
  function* f = new function;
  void* b = name->binding;
  function* a = b && bound_kind(b) == DK_NOBIND ? static_cast<function*>(b)
                                                : nullptr;
  function* oldf = b && bound_kind(b) == DK_FUNCTION
                       ? static_cast<function*>(b)
                       : nullptr;
  function* prev = pipe ? nullptr : oldf;
  xrecomp_constr(f, name, alias, nullptr, DK_FUNCTION, 1);
  f->args = args;
  f->fflags = attr;
  f->pipe = pipe;
  f->format = format;
  f->nargs = args ? -1 : 0;
  if (a) {
    f->oldval = a->oldval;
    take_lib(f, a);
    relink(a, f);
    if (!a->ncalls) delete a;
  } else if (prev && prev->libfuncp && !prev->pipe) {
    take_lib(f, prev);
    f->ftype &= ~32u;
    f->libnext = prev->libnext;  // the redeclaration is copied over prev
  }
  if (oldf) pipe_stop(oldf);
  if (args && (args->s == dotdotdot || [&] {
        funcarg* l = args;
        while (l->next) l = l->next;
        return l->s == dotdotdot;
      }()))
    f->fflags |= 0x4000;
  if (pipe) {
    f->fflags = (f->fflags | 0x1000) & ~0x2000u;
    f->funcp = reinterpret_cast<void*>(f->fflags & 0x100
                                           ? reinterpret_cast<void*>(spipe_c)
                                           : reinterpret_cast<void*>(rpipe_c));
    f->ftype = f->fflags & 0x100 ? 3 : 1;
  }
  int k = 0;
  for (funcarg* x = args; x; x = x->next, ++k) {
    if (x->s == dotdotdot) {
      int have = f->nargs < 0 ? -(f->nargs + 1) : f->nargs;
      if (have < k) f->nargs = -(k + 1);
      break;
    }
    if (!x->next) {
      if (f->nargs < 0 && f->nargs == -1 && !f->libfuncp) f->nargs = k + 1;
      else if (f->nargs >= 0 && f->nargs != k + 1)
        error(0, "%s needs exactly %d arguments", name->name, f->nargs);
      else if (f->nargs < 0) f->nargs = k + 1;
    }
  }
  function* r = f->finish_dcl();
  if (r != f) {
    // A redeclaration took over the old record: the library's list names
    // the old record already.
  }
  return r;
}

void argcount_check(const function* f, expr* args) {
  int n = 0;
  for (expr* a = args; a; a = a->next) {
    if (opcode(a) == OP258) continue;
    if (opcode(a) == OPARG && a->L.ss) return;  // counted at the call
    ++n;
  }
  int32_t k = f->nargs;
  if (k >= 0 && n != k)
    error(0, "%s needs %s%d argument(s), not %d", f->name->name, "", k, n);
  else if (k < -1 && n < -(k + 1))
    error(0, "%s needs %s%d argument(s), not %d", f->name->name, "at least ",
          -(k + 1), n);
}

expr* funceval_check(function* f, expr* args) {
  for (expr* a = args; a; a = a->next)
    if (opcode(a) != OP258 && opcode(a) != OPARG)
      bug("expected OPARG, got %d", opcode(a));
  if (f->lib || f->libfuncp) argcount_check(f, args);
  ++f->ncalls;
  return args;
}

// ---- Pipe functions ------------------------------------------------------------

namespace {

// The reply of the last pipe call.
char pipebuf[4096];

// The text of a declaration's pipe or format expression.
cstr* pipe_text(expr* e, TVA* tva) {
  if (opcode(e) == OPSTR) return ref_cstr(e->L.cs);
  return eval_str(e, tva);
}

void pipe_start(function* f, TVA* tva) {
  if (f->format) {
    held_cstr fm(pipe_text(f->format, tva));
    free(f->fmt_text);
    f->fmt_text = strdup(fm.text());
  }
  std::string cmd = f->name->name;
  if (f->pipe) {
    held_cstr c(pipe_text(f->pipe, tva));
    cmd = c.text();
  }
  if (pipestart(cmd.c_str(), f->pfd, &f->pchild))
    eerror(tva, "can't invoke pipe function \"%.900s\"", cmd.c_str());
}

void pipe_stop(function* f) {
  if (!f->pfd[0] && !f->pfd[1]) return;
  pipeclose(f->pfd, f->pchild);
  f->pfd[0] = f->pfd[1] = 0;
  f->pchild = 0;
  free(f->fmt_text);
  f->fmt_text = nullptr;
}

// An error of the call: the child is closed (its state is unknown) and
// starts again at the next call.
[[noreturn]] void pipe_fail(function* f, TVA* tva, const char* fmt,
                            const char* name, int n) {
  pipe_stop(f);
  if (gotbreak) {
    break_notice();
    bailout();
  }
  eerror(tva, fmt, name, n);
}

const char* spipe(arglist* al) {
  function* f = al->f;
  TVA* tva = al->tva;
  const char* nm = f->name->name;
  if (!f->pfd[0] && !f->pfd[1]) pipe_start(f, tva);
  size_t len = 0;
  int k = 0;
  char* req = format(al, &len, &k, f->fmt_text, " ", gfmt, print_info.prec);
  std::string line(req, len);
  del_mblk(k, req);
  if (line.empty() || line.back() != '\n') line += '\n';
  if (pipewrite(f->pfd, line.data(), line.size()) !=
      static_cast<ssize_t>(line.size()))
    pipe_fail(f, tva, "error writing to pipe function %s", nm, 0);
  size_t got = 0;
  for (;;) {
    if (got >= sizeof pipebuf)
      pipe_fail(f, tva,
                "reading pipe function %s: no final newline after %d bytes",
                nm, static_cast<int>(sizeof pipebuf));
    ssize_t r = piperead(f->pfd, pipebuf + got, sizeof pipebuf - got);
    if (r <= 0) pipe_fail(f, tva, "unexpected end of file on pipe function %s", nm, 0);
    got += static_cast<size_t>(r);
    // Complete lines: blank ones are skipped, the first other one is the
    // reply.
    size_t start = 0;
    for (size_t i = 0; i < got; ++i) {
      if (pipebuf[i] != '\n') continue;
      size_t a = start;
      while (a < i && static_cast<unsigned char>(pipebuf[a]) <= ' ') ++a;
      if (a < i) {
        size_t e = i;
        while (e > a && static_cast<unsigned char>(pipebuf[e - 1]) <= ' ') --e;
        pipebuf[e] = 0;
        return pipebuf + a;
      }
      start = i + 1;
    }
    if (start) {
      memmove(pipebuf, pipebuf + start, got - start);
      got -= start;
    }
  }
}

const char* spipe_c(arglist* al) { return spipe(al); }

double rpipe_c(arglist* al) {
  const char* t = spipe(al);
  std::string own(t);
  if (!valid_param(own.data(), 0))
    eerror(al->tva, "invalid return from %s: expected a number, got %s",
           al->f->name->name, t);
  return Strtod(own.c_str(), nullptr);
}

}  // namespace

// ---- Resets ----------------------------------------------------------------

namespace {

template <class F>
void each_function(F fn) {
  const xclass_rec& c = xclass[XC_FUNCS];
  for (int i = 0; i < c.n; ++i)
    if (c.a[i] && c.a[i]->kind == DK_FUNCTION)
      fn(static_cast<function*>(c.a[i]));
}

}  // namespace

void reset_func(function* f) {
  if (f) {
    f->stamp = -1;
    pipe_stop(f);
    return;
  }
  each_function([](function* g) {
    g->stamp = -1;
    pipe_stop(g);
  });
}

void function_deleted(function* f) {
  pipe_stop(f);
  if (!f->lib || !f->libfuncp || f->pipe) return;
  function* a = new function;
  xrecomp_constr(a, f->name, nullptr, nullptr, DK_NOBIND, 0);
  a->oldval = f->oldval;
  uint32_t t = f->ftype;
  a->ftype = t;
  a->fflags = lib_fflags(t);
  a->nargs = a->libnargs = f->libnargs;
  a->funcinfo = f->funcinfo;
  a->funcp = a->libfuncp = f->libfuncp;
  a->lib = f->lib;
  relink(f, a);
  f->lib = nullptr;
  f->oldval = a;
}

void func_reinit() { each_function(pipe_stop); }

void zero_frefs() {
  each_function([](function* g) { g->used = 0; });
}

// ---- Listings and system sets -------------------------------------------------

namespace {

std::vector<function*> available() {
  std::vector<function*> v;
  for (const lib_entry& e : Libs)
    for (function* f = e.rec->funcs; f; f = f->libnext) v.push_back(f);
  for (function* f = No_Lib.funcs; f; f = f->libnext) v.push_back(f);
  std::sort(v.begin(), v.end(), [](function* a, function* b) {
    return strcmp(a->name->name, b->name->name) < 0;
  });
  return v;
}

const char* lib_path(const VexoLib* l) {
  for (const lib_entry& e : Libs)
    if (e.rec == l) return e.path.c_str();
  return "";
}

void set_fill(set* s, size_t n) {
  del_setmem(s->arity, s->first);
  s->first = nullptr;
  s->lastnext = &s->first;
  s->nmem = 0;
  s->new_htab(static_cast<int>(n));
}

}  // namespace

void cmd_where() { cmdwhere(); }
void ix_details_ZEF() {}

void show_funcs() {
  std::vector<function*> v = available();
  if (v.empty()) {
    Fprintf(Stderr, "No nonstandard functions are available.\n");
    return;
  }
  Fprintf(Stderr, "Available nonstandard functions:\n");
  static const char* const ends[4] = {"\n", " symbolic\n", " random\n",
                                      " random symbolic\n"};
  for (function* f : v) {
    const char* nm = f->name->name;
    int n = f->nargs;
    const char* atl = n < 0 ? "at least " : "";
    int m = n < 0 ? -(n + 1) : n;
    const char* pl = m == 1 ? "" : "s";
    if (f->ftype & 2)
      Fprintf(Stderr, "\t%s(%s%d arg%s)", nm, atl, m, pl);
    else if (n == 0)
      Fprintf(Stderr, "\t%s()", nm);
    else if (n == 1)
      Fprintf(Stderr, "\t%s(Reals)", nm);
    else if (n == 2)
      Fprintf(Stderr, "\t%s(Reals, Reals)", nm);
    else
      Fprintf(Stderr, "\t%s(%s%d real arg%s)", nm, atl, m, pl);
    if (f->ftype & 16) Fprintf(Stderr, " with OUT arguments");
    Fprintf(Stderr, "%s", ends[(f->ftype & 6) / 2]);
  }
}

void gen_AVAILFUNCS(set* s, TVA*) {
  std::vector<function*> v = available();
  set_fill(s, v.size());
  for (function* f : v) {
    symbol* t[1] = {f->name};
    set_addmem(s, t);
  }
}

void gen_AVAILFUNC2(set* s, TVA*) {
  std::vector<function*> v = available();
  set_fill(s, v.size());
  for (function* f : v) {
    symbol* t[2] = {f->name, Symbol(lib_path(f->lib), 1)};
    set_addmem(s, t);
  }
}

namespace {

// Marks the functions the current problem calls: the problem is collected
// and presolved, then its graphs are walked as the problem writer walks
// them.  Collecting can generate _SFUNCS again; that inner generation
// lists the marks as they stand instead of starting over.  Generation
// cannot collect inside itself either: a declaration generated from
// _SFUNCS gets the marks of the problem as last presolved.  Whether the
// marks are those of the problem as it stands.
bool mark_problem_funcs() {
  static bool busy;
  if (busy) return true;
  if (generating()) {
    if (trans_state < 3) return false;
    if (trans_state != 5 && cur_ac) graph_setup(cur_ac);
    else zero_frefs();
    return true;
  }
  busy = true;
  struct unbusy {
    ~unbusy() { busy = false; }
  } guard;
  AC* ac = output_time(new_ac(), 3);
  if (ac && trans_state >= 3 && trans_state != 5) graph_setup(ac);
  else zero_frefs();  // nothing collected, or no variables: nothing sent
  return true;
}

}  // namespace

void gen_SFUNCS(set* s, TVA*) {
  bool current = mark_problem_funcs();
  std::vector<function*> v;
  each_function([&](function* f) {
    if (f->used) v.push_back(f);
  });
  std::sort(v.begin(), v.end(), [](function* a, function* b) {
    return strcmp(a->name->name, b->name->name) < 0;
  });
  set_fill(s, v.size());
  for (function* f : v) {
    symbol* t[1] = {f->name};
    set_addmem(s, t);
  }
  // Members from stale marks serve the declaration being generated; the
  // set itself is generated again by the next command that uses it.
  if (!current && s->owner) s->owner->xr.stamp = -1.0;
  adjust_vexo_funclibs();
}

void adjust_vexo_funclibs() {
  static unsigned pass;
  ++pass;
  std::string out;
  for (const lib_entry& e : Libs) {
    bool used = false;
    each_function([&](function* f) {
      if (f->used && f->lib == e.rec) used = true;
    });
    if (!used || e.rec->stamp == pass) continue;
    e.rec->stamp = pass;
    if (!out.empty()) out += '\n';
    out += e.path;
  }
  if (out.empty()) {
    if (strcmp(vexo_funclibs, "-") != 0) cmd_option("vexo_funclibs", "-");
    return;
  }
  cmd_option("vexo_funclibs", out.c_str());
}

// ---- load, reload, unload --------------------------------------------------------

namespace {

int canonicalize_libname(std::string& s, int* flags) {
  *flags = s[0] == '/' ? 3 : s.find('/') != std::string::npos ? 5 : 1;
  std::vector<char> b(s.begin(), s.end());
  b.push_back(0);
  pathsimp(b.data());
  s = b.data();
  return static_cast<int>(s.size());
}

ptrdiff_t find_lib(const std::string& name) {
  std::string canon = name;
  int flags;
  canonicalize_libname(canon, &flags);
  for (size_t i = 0; i < Libs.size(); ++i) {
    const std::string& p = Libs[i].path;
    if (p == name || p == canon) return static_cast<ptrdiff_t>(i);
    // A relative name matches the path it was found at.
    if (canon[0] != '/' && p.size() > canon.size() &&
        p.compare(p.size() - canon.size(), canon.size(), canon) == 0 &&
        p[p.size() - canon.size() - 1] == '/')
      return static_cast<ptrdiff_t>(i);
  }
  return -1;
}

int lib_load(const std::string& name) {
  if (find_lib(name) >= 0) return 0;
  std::string canon = name;
  int flags;
  int len = canonicalize_libname(canon, &flags);
  AE0.FprintF = fprintf_where;
  where_said = false;
  AE0.Lib = &No_Lib;
  curLib = &No_Lib;
  drop_list(&No_Lib.reset);
  cbnode* saved_exit = No_Lib.exit;
  No_Lib.exit = nullptr;
  size_t before = Libs.size();
  int r;
  try {
    r = libload_ZEF(&AE0, canon.c_str(), len, flags);
  } catch (...) {
    AE0.FprintF = Fprintf;
    drop_list(&No_Lib.exit);
    No_Lib.exit = saved_exit;
    throw;
  }
  AE0.FprintF = Fprintf;
  // The loader's dl_close, registered on No_Lib, goes to the end of the
  // new library's exit list: it runs after the library's own callbacks.
  cbnode* mine = No_Lib.exit;
  No_Lib.exit = saved_exit;
  if (Libs.size() > before) {
    VexoLib* l = Libs.back().rec;
    cbnode** p = &l->exit;
    while (*p) p = &(*p)->next;
    *p = mine;
    return 1;
  }
  drop_list(&mine);
  return r == 1 ? 2 : r;
}

int lib_unload(const std::string& name) {
  ptrdiff_t i = find_lib(name);
  if (i < 0) return 0;
  VexoLib* l = Libs[static_cast<size_t>(i)].rec;
  run_list(&l->reset);
  run_list(&l->exit);
  drop_handlers(l);
  drop_funcs(l);
  free(l->ae);
  free(l);
  Libs.erase(Libs.begin() + i);
  libs_set_rebuild();
  return 1;
}

}  // namespace

void lib_rw(int mode, expr* names, xrecomp* xr) {
  libs_set_rebuild();
  size_t before = Libs.size();
  bool failed = false;
  std::vector<std::string> todo;
  if (!names) {
    if (mode == 0) {
      const char* v = evalue("VEXOFUNC");
      const char* p = v ? v : "";
      while (*p) {
        const char* e = p;
        while (*e && static_cast<unsigned char>(*e) >= ' ') ++e;
        std::string nm(p, static_cast<size_t>(e - p));
        while (!nm.empty() && static_cast<unsigned char>(nm.back()) <= ' ')
          nm.pop_back();
        if (!nm.empty()) todo.push_back(nm);
        p = *e ? e + 1 : e;
      }
    } else {
      for (const lib_entry& e : Libs) todo.push_back(e.path);
    }
  } else {
    each_name(names, xr, [&](const char* nm) {
      // A server loads no library by path: that would run any shared
      // object that a client names.
      if (Serving && mode != 2 && badfname(nm)) {
        cantserve("nonalphanumeric ", "file names");
        return;
      }
      todo.push_back(nm);
    });
  }
  if (mode != 0)
    for (size_t i = todo.size(); i-- > 0;) lib_unload(todo[i]);
  if (mode != 2)
    for (const std::string& nm : todo)
      if (lib_load(nm) > 1) failed = true;
  if (Libs.size() != before || mode == 1) {
    std::string af = AF_text();
    cmd_option("VEXOFUNC", af.c_str());
  }
  if (failed) rc |= 2;
}

}  // namespace vexo
