// The show command.
#include "session/show.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "compiler/recomp.h"
#include "data/table.h"
#include "eval/funclib.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/vardcl.h"
#include "eval/evalerr.h"
#include "eval/set.h"
#include "instance/members.h"
#include "instance/problem.h"
#include "instance/xcg.h"
#include "report/prset.h"
#include "instance/sufdecl.h"
#include "report/modelprint.h"
#include "report/prex.h"
#include "session/cmdfiles.h"
#include "session/environs.h"
#include "session/infiles.h"
#include "session/opttable.h"
#include "support/format.h"
#include "support/sort.h"
#include "support/symbol.h"
#include "support/utf8.h"

namespace vexo {

namespace {

// The word of each class (frontend/decl.h XC_...).
const char* const xwhat[16] = {"problem",
                               "parameter",
                               "set",
                               "variable",
                               "constraint",
                               "objective",
                               "function",
                               "check",
                               "logical constraint",
                               "setvar",
                               "symbolic variable",
                               "random variable",
                               "(all vars)",
                               "environment",
                               "suffix",
                               "table"};

// The user entities of each class as the last show saw them, sorted by
// name once listed.
struct class_info {
  std::vector<xnode*> a;
  bool sorted;
};
class_info xinfo[16];

int x_comp(const void* a, const void* b) {
  return std::strcmp(xnode_name(*static_cast<xnode* const*>(a)),
                     xnode_name(*static_cast<xnode* const*>(b)));
}

// Brings xinfo up to date: built-in declarations are left out, and the
// first environment (Current, which always exists).
void xinfo_update() {
  for (int c = 0; c < 16; ++c) {
    class_info& x = xinfo[c];
    x.a.clear();
    x.sorted = false;
    const xclass_rec& r = xclass[c];
    for (int i = c == XC_ENVS ? 1 : 0; i < r.n; ++i) {
      xnode* d = r.a[i];
      if (c != XC_ENVS && d->num < N_System_Pars) continue;
      x.a.push_back(d);
    }
  }
}

// The mark of a variable, constraint or objective in the listings: '*'
// dropped (fixed) as a whole, '+' partly, 0 none.
char dropfix_mark(const xnode* x) {
  auto* d = static_cast<const convar*>(x);
  if (d->flags & CV_ALLDROPPED) return '*';
  int32_t n = d->gen.state_count;
  if (n <= 0) return 0;
  return (d->kind & 1) && n < d->gen.member_count ? '+' : '*';
}

// Whether member i of d is dropped (fixed).
bool member_marked(const convar* d, int32_t i) {
  const uint8_t* st = d->gen.member_status;
  int32_t s = d->flags & CV_TWOSLOTS ? 2 * i : i;
  return (d->flags & CV_ALLDROPPED) || (st && (st[s] & GS_DROPPED));
}

// One line per member of d whose marked state is `marked`: "word d[sub];".
void member_lines(FILE* f, const convar* d, bool marked, const char* word) {
  const cvgen& g = d->gen;
  if (!g.members) return;
  int32_t i = 0;
  for (setmem* m = g.members->first; m && i < g.member_count; m = m->next) {
    if (m->ord < 0) continue;
    if (member_marked(d, i) == marked)
      Fprintf(f, "%s %s%s;\n", word, d->name->name, slist1(d, m->tup()));
    ++i;
  }
}

// The drop or fix state of d as commands (dropshow's step 2).  In a
// snapshot (snap 0), a declaration with nothing marked gives no line, nor
// do the member lines of a mostly marked one.
void dropshow1(FILE* f, const convar* d, const char* on, const char* off,
               int snap) {
  const char* name = d->name->name;
  int32_t count = d->gen.state_count;
  if ((d->flags & CV_ALLDROPPED) || (!(d->kind & 1) && count > 0)) {
    Fprintf(f, "%s %s;\n", on, name);
  } else if (count <= 0) {
    if (snap != 0) Fprintf(f, "%s %s;\n", off, name);
  } else if (2 * count < d->gen.member_count) {
    Fprintf(f, "%s %s;\n", off, name);
    member_lines(f, d, true, on);
  } else {
    Fprintf(f, "%s %s;\n", on, name);
    if (snap != 0) member_lines(f, d, false, off);
  }
}

// Brings the members of the declarations of cls up to date for the
// listings; false when generation failed.
bool listing_current(int cls) {
  if (need_prob & 1) get_prob();
  for (int32_t i = 0; i < xclass[cls].n; ++i) {
    auto* d = static_cast<convar*>(xclass[cls].a[i]);
    if ((d->kind & 1) && !(d->flags & CV_ALLDROPPED)) return xcg(0);
  }
  return true;
}

// The declaration a name denotes when show prints it: a declaration of a
// kind that has a printed form.
xnode* printable(const symbol* s) {
  const void* b = s->binding;
  if (!b) return nullptr;
  uint32_t k = bound_kind(b);
  if (k >= DK_TABLE + 1 || xtype[k] < 0) return nullptr;
  if (k == DK_VARSET || k == DK_VARSETI) return nullptr;
  return static_cast<xnode*>(const_cast<void*>(b));
}

// Prints one declaration as a statement, as the user wrote it: declared
// sets by name, what compiling it changed undone for the duration, the
// compiler's remaining nodes seen through.
void show_dcl(xnode* d) {
  parsed_view parsed(&d->xr);
  print_dcl_as_source(d);
}

// One name of the command's list.
void show_name(const char* text) {
  FILE* f = display_stream();
  const char* blank = std::strchr(text, ' ');
  if (!blank) {
    symbol* s = Symbol(text, 1);
    // A suffix's name does not denote a declaration; its declaration is
    // shown all the same.
    if (suffix* sf = suff_named(s)) {
      show_dcl(sf);
      return;
    }
    show1(text, printable(s), 0);
    return;
  }
  std::string word(text, blank - text);
  const char* rest = blank + 1;
  if (word == "check") {
    show1("check", nullptr, std::atoi(rest));
  } else if (word == "environ") {
    xenvir* e = env_xnode(Symbol(rest, 1));
    if (!e)
      Fprintf(f, "%s is not an environment.\n", rest);
    else
      show_dcl(e);
  } else if (word == "suffix") {
    if (suffix* s = suff_show(Symbol(rest, 1))) show_dcl(s);
  } else if (word == "table") {
    if (Table* t = table_show(Symbol(rest, 1))) show_dcl(t);
  } else {
    // `show option NAME`: the name alone.
    symbol* s = Symbol(rest, 1);
    show1(rest, printable(s), 0);
  }
}

}  // namespace

void show_help(const char* name) {
  FILE* f = display_stream();
  if (name) Fprintf(f, "%s is undefined.\n", name);
  static const char* const rows[] = {
      "\t\"show;\" or \"show >filename;\"",
      "lists all model entities.",
      "\t\"show name;\" or \"show name >filename;\"",
      "shows name's declaration if it has one, or else",
      "lists model entities of the kind indicated by the",
      "first letters of name:",
      "\tch... ==> checks\tc...  ==> algebraic constraints",
      "\te...  ==> environments\tf...  ==> functions",
      "\tl... ==> logical constrs\to...  ==> objectives",
      "\tpr... ==> problems\tp...  ==> parameters",
      "\tsu... ==> suffixes\ts...  ==> sets",
      "\tt...  ==> tables\tv...  ==> variables"};
  Fprintf(f, "Syntax of \"show\":\n");
  for (const char* r : rows) Fprintf(f, "%s\n", r);
  int nchecks = xclass[XC_CHECKS].n;
  if (nchecks == 1) {
    Fprintf(f, "Use\n\t\"show check 1;\"\nto see the%s check declaration%s", "",
            ".\n");
  } else if (nchecks > 1) {
    Fprintf(f, "Use\n\t\"show check 1;\"\nto see the%s check declaration%s",
            " first", "");
    Fprintf(f,
            ",%s\n\t\"show check 2;\"\nto see the second check declaration%s",
            nchecks == 2 ? " and" : "", nchecks == 2 ? ".\n" : ", etc.\n");
  }
  const std::vector<xnode*>& envs = xinfo[XC_ENVS].a;
  if (envs.size() >= 2) {
    const char* n = xnode_name(envs[1]);
    Fprintf(f,
            "Use\n\t\"show environ %s;\"\nto see the declaration of "
            "environment %s%s.\n",
            n, n, envs.size() == 2 ? "" : ", etc");
  }
}

void showall(int cls) {
  FILE* f = display_stream();
  class_info& x = xinfo[cls];
  int n = static_cast<int>(x.a.size());
  const char* word = xwhat[cls];
  const char* plural = cls == XC_SUFFIXES ? "es" : "s";
  Fprintf(f, "\n%s", word);
  if (n == 0) {
    Fprintf(f, "%s: none\n", plural);
    return;
  }
  if (cls == XC_CHECKS) {
    if (n == 1)
      Fprintf(f, "%s: one, called check 1.\n", plural);
    else
      Fprintf(f, "%s: %d, called check 1, check 2, etc.\n", plural, n);
    return;
  }
  int head = utflen(word);
  if (n > 1) {
    Fprintf(f, "%s", plural);
    head += utflen(plural);
    if (!x.sorted) {
      Qsort(x.a.data(), x.a.size(), sizeof(xnode*), x_comp);
      x.sorted = true;
    }
  }
  // Marks of variables, constraints and objectives, with their legend.
  std::vector<char> marks(n, 0);
  if (cls == XC_VARS || cls == XC_CONS || cls == XC_OBJS) {
    if (need_prob & 1) get_prob();
    const char* what = cls == XC_VARS ? "fixed" : "dropped";
    bool star = false, plus = false;
    for (int i = 0; i < n; ++i) {
      marks[i] = dropfix_mark(x.a[i]);
      star |= marks[i] == '*';
      plus |= marks[i] == '+';
    }
    if (star || plus) {
      Fprintf(f, " (");
      if (star) Fprintf(f, "* = %s", what);
      if (plus) Fprintf(f, "%s+ = partially %s", star ? ", " : "", what);
      Fprintf(f, ")");
      head += 3 + (star ? 3 + static_cast<int>(std::strlen(what)) : 0) +
              (plus ? (star ? 2 : 0) + 14 + static_cast<int>(std::strlen(what))
                    : 0);
    }
  }
  int gw = gutter_width;
  int colw = 0, total = head + 1;
  std::vector<int> len(n);
  for (int i = 0; i < n; ++i) {
    len[i] = utflen(xnode_name(x.a[i])) + (marks[i] ? 1 : 0);
    colw = std::max(colw, gw + len[i]);
    total += gw + len[i];
  }
  if (total <= display_width) {
    Fprintf(f, ":");
    for (int i = 0; i < n; ++i) {
      Fprintf(f, "%*s%s", gw, "", xnode_name(x.a[i]));
      if (marks[i]) Fprintf(f, "%c", marks[i]);
    }
    Fprintf(f, "\n");
    return;
  }
  Fprintf(f, ":\n");
  int cols = (display_width + gw) / colw;
  if (cols < 1) cols = 1;
  int rows = (n + cols - 1) / cols;
  for (int r = 0; r < rows; ++r) {
    int pad = 0;
    for (int i = r; i < n; i += rows) {
      Fprintf(f, "%*s%s", pad, "", xnode_name(x.a[i]));
      if (marks[i]) Fprintf(f, "%c", marks[i]);
      pad = colw - len[i];
    }
    Fprintf(f, "\n");
  }
}

void show1(const char* name, xnode* d, int checkno) {
  if (d) {
    show_dcl(d);
    return;
  }
  const xclass_rec& checks = xclass[XC_CHECKS];
  if (!std::strcmp(name, "check") && checkno >= 1 && checkno <= checks.n) {
    show_dcl(checks.a[checkno - 1]);
    return;
  }
  int cls;
  switch (name[0]) {
    case 'c':
      cls = name[1] == 'h' ? XC_CHECKS : XC_CONS;
      break;
    case 'e':
      cls = XC_ENVS;
      break;
    case 'f':
      cls = XC_FUNCS;
      break;
    case 'l':
      cls = XC_LOGCONS;
      break;
    case 'o':
      cls = XC_OBJS;
      break;
    case 'p':
      cls = name[1] == 'r' ? XC_PROBS : XC_PARS;
      break;
    case 'r':
      cls = XC_RANDVARS;
      break;
    case 's':
      cls = name[1] == 'u' ? XC_SUFFIXES : XC_SETS;
      break;
    case 't':
      cls = XC_TABLES;
      break;
    case 'v':
      cls = XC_VARS;
      break;
    default:
      show_help(name);
      return;
  }
  showall(cls);
}

void show(expr* names, redirect* r, xrecomp* xr) {
  dispfile(r, xr);
  xinfo_update();
  FILE* f = display_stream();
  if (!names) {
    static const int order[] = {XC_PROBS,    XC_PARS,     XC_SETS,
                                XC_VARS,     XC_RANDVARS, XC_CONS,
                                XC_LOGCONS,  XC_OBJS,     XC_FUNCS,
                                XC_SUFFIXES, XC_TABLES,   XC_CHECKS};
    bool any = false;
    for (int c : order) {
      if (xinfo[c].a.empty()) continue;
      showall(c);
      any = true;
    }
    if (xinfo[XC_ENVS].a.size() > 1)
      showall(XC_ENVS);
    else if (!any)
      Fprintf(f, "No declarations!\n");
  } else {
    for (expr* e = names; e; e = e->next) show_name(e->L.sym->name);
  }
  fflush(f);
}

void dropshow_snapshot(int vars, redirect* r, xrecomp* xr, int snap) {
  static const char* const words[2][2] = {{"drop", "restore"},
                                          {"fix", "unfix"}};
  dispfile(r, xr);
  FILE* f = display_stream();
  int cls = vars ? XC_VARS : XC_CONS;
  if (!in_snapshot && (!listing_current(cls) ||
                       (!vars && !listing_current(XC_LOGCONS))))
    return;
  auto list = [&](int c, uint32_t mask) {
    for (int32_t i = 0; i < xclass[c].n; ++i) {
      auto* d = static_cast<const convar*>(xclass[c].a[i]);
      if (d->flags & mask) continue;
      dropshow1(f, d, words[vars][0], words[vars][1], snap);
    }
  };
  list(cls, vars ? uint32_t(VF_DEFINED) : 0u);
  if (!vars) list(XC_LOGCONS, 0);
  fflush(f);
}

void dropshow(int vars, redirect* r, xrecomp* xr) {
  dropshow_snapshot(vars, r, xr, -1);
}

void objshow(redirect* r, xrecomp* xr) {
  dispfile(r, xr);
  FILE* f = display_stream();
  if (!listing_current(XC_OBJS)) return;
  const convar* one = nullptr;
  int32_t in_force = 0;
  for (int32_t i = 0; i < xclass[XC_OBJS].n; ++i) {
    auto* d = static_cast<const convar*>(xclass[XC_OBJS].a[i]);
    if (d->flags & CV_ALLDROPPED) continue;
    int32_t k = d->kind & 1 ? d->gen.member_count - d->gen.state_count
                            : d->gen.state_count > 0 ? 0 : 1;
    if (k > 0) one = d;
    in_force += k;
  }
  if (in_force == 1) {
    if (!(one->kind & 1)) {
      Fprintf(f, "objective %s;\n", one->name->name);
    } else {
      int32_t i = 0;
      for (setmem* m = one->gen.members->first; m; m = m->next) {
        if (m->ord < 0) continue;
        if (!member_marked(one, i)) {
          Fprintf(f, "%s %s%s;\n", "objective", one->name->name,
                  slist1(one, m->tup()));
          break;
        }
        ++i;
      }
    }
  } else {
    for (int32_t i = 0; i < xclass[XC_OBJS].n; ++i)
      dropshow1(f, static_cast<const convar*>(xclass[XC_OBJS].a[i]), "drop",
                "restore", -1);
  }
  fflush(f);
}

void show_reinit() {
  for (class_info& x : xinfo) {
    x.a.clear();
    x.a.shrink_to_fit();
    x.sorted = false;
  }
}

}  // namespace vexo
