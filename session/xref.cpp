// Cross references, delete, purge and redeclaration.
#include "session/xref.h"

#include "data/table.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "compiler/recomp.h"
#include "eval/funclib.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/refs.h"
#include "instance/members.h"
#include "instance/problem.h"
#include "instance/stamps.h"
#include "instance/sufdecl.h"
#include "report/prex.h"
#include "session/cmdfiles.h"
#include "session/cmdrec.h"
#include "session/environs.h"
#include "session/execute.h"
#include "session/optcmd.h"
#include "session/options.h"
#include "support/format.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

// Whether the hint of the dependents message has been given.
bool hint_given;

// The declaration that number n holds, or null for an empty slot or a
// number beyond the table.
xnode* live(uint32_t n) {
  return n < uint32_t(dac.next) ? dac.bynum[n] : nullptr;
}

bool is_problem(const xnode* x) {
  return x->kind == DK_PROB || x->kind == DK_PROBI;
}

bool builtin(const xnode* x) { return x->num < N_System_Pars; }

// The name of a declaration in listings and messages.
std::string listed_name(const xnode* x) {
  char buf[64];
  if (x->kind == DK_CHECK) {
    Snprintf(buf, sizeof buf, "check %d", static_cast<const check*>(x)->chknum);
    return buf;
  }
  if (x->kind == DK_SUFFIX) return std::string("suffix ") + x->name->name;
  return xnode_name(x);
}

// Breadth first from d through the referrers; with skip_problems the walk
// neither lists problems nor goes on through them.
std::vector<xnode*> dependents(const xnode* d, bool skip_problems) {
  std::vector<uint8_t> mark(size_t(std::max(dac.next, 1)), 0);
  std::vector<xnode*> work;
  auto take = [&](const xnode* x) {
    for (int i = 0; i < x->nrefs; ++i) {
      xnode* y = live(x->refs[i]);
      if (!y || y == d || builtin(y) || mark[size_t(y->num)]) continue;
      if (skip_problems && is_problem(y)) continue;
      mark[size_t(y->num)] = 1;
      work.push_back(y);
    }
  };
  take(d);
  for (size_t i = 0; i < work.size(); ++i) take(work[i]);
  std::sort(work.begin(), work.end(),
            [](const xnode* a, const xnode* b) { return a->num < b->num; });
  return work;
}

// The declaration that an item of xref, delete or purge names: a name
// literal, or a keyword form "check N", "suffix NAME", "environ NAME",
// "table NAME" (frontend/cmdbuild.h show_item).  Null when it names none.
xnode* named(const char* text) {
  const char* blank = std::strchr(text, ' ');
  if (!blank) {
    void* b = Symbol(text, 1)->binding;
    if (!b || bound_kind(b) > DK_TABLE || xtype[bound_kind(b)] < 0)
      return nullptr;
    return static_cast<xnode*>(b);
  }
  std::string word(text, size_t(blank - text));
  symbol* s = Symbol(blank + 1, 1);
  if (word == "check") {
    int k = std::atoi(blank + 1);
    const xclass_rec& c = xclass[XC_CHECKS];
    return k >= 1 && k <= c.n ? c.a[k - 1] : nullptr;
  }
  if (word == "suffix") return suff_named(s);
  if (word == "environ") return xclass_find(XC_ENVS, s);
  if (word == "table") return xclass_find(XC_TABLES, s);
  return nullptr;
}

// x leaves every problem that names it.
void leave_problems(xnode* x) {
  for (int i = 0; i < x->nrefs; ++i)
    if (xnode* p = live(x->refs[i]); p && is_problem(p))
      probadj1(static_cast<problem*>(p), x);
}

// Deletes x, which nothing but problems refers to any more.
void delete1(xnode* x) {
  leave_problems(x);
  delx(x, 1);
}

// After deletions: stored commands forget the numbers that went (the
// numbers are given out again from the top); when the empty slots exceed
// half of the declarations in use, the table is compacted in order.
void settle(int32_t top) {
  int32_t used = dac.next - dac.nfree;
  bool compact = 2 * dac.nfree > used;
  std::vector<int32_t> map(size_t(std::max(top, 1)), -1);
  int32_t k = 0;
  for (int32_t i = 0; i < dac.next && i < top; ++i)
    if (dac.bynum[i]) map[size_t(i)] = compact ? k++ : i;
  if (compact)
    xrenumber(map.data(), k);
  else
    dep_renumber(map.data());
}

void refuse_redeclaration(const xnode* old, const char* why) {
  error(0, "Ignoring %s %s%s", "redeclaration of", xnode_name(old), why);
}

// Kinds whose number of indices may not change while referenced.
bool dindchk(uint32_t kind) {
  return kind >= DK_VARI && kind <= DK_ENVI && (kind & 1) && kind != DK_CHECK;
}

bool is_con_or_obj(const xnode* x) {
  return x->kind >= DK_CON && x->kind <= DK_OBJI;
}

// The declarations that the declaration being chained refers to (the
// accumulator's list), with what they refer to in turn.  For a variable
// constraints and objectives are left out: those that its coef, cover and
// obj terms name depend on it by design.
std::vector<uint8_t> referenced_closure(const xnode* old) {
  bool var = old->kind == DK_VAR || old->kind == DK_VARI;
  std::vector<uint8_t> seen(size_t(std::max(dac.next, 1)) + 1, 0);
  std::vector<uint32_t> work;
  auto note = [&](uint32_t n) {
    if (var && n < seen.size()) {
      const xnode* x = live(n);
      if (x && is_con_or_obj(x)) return;
    }
    if (n < seen.size() && !seen[n]) {
      seen[n] = 1;
      work.push_back(n);
    }
  };
  for (int32_t i = 0; i < dac.n; ++i) note(dac.list[i]);
  for (size_t i = 0; i < work.size(); ++i)
    if (xnode* x = live(work[i]))
      for (int32_t j = 0; j < x->ndeps; ++j) note(x->deps[j]);
  return seen;
}

// Renumbers so that the declarations in seen numbered above old come
// before it, every other order kept.
void move_before(const xnode* old, const std::vector<uint8_t>& seen) {
  int32_t n = dac.next;
  std::vector<int32_t> map(size_t(n), -1);
  int32_t k = 0;
  auto place = [&](int32_t i) {
    xnode* x = dac.bynum[i];
    if (!x || x->num != i) return;
    int slots = x->kind < N_DKINDS ? xn_inc[x->kind] : 1;
    for (int s = 0; s < slots && i + s < n; ++s) map[size_t(i + s)] = k++;
  };
  for (int32_t i = 0; i < old->num; ++i) place(i);
  for (int32_t i = old->num + 1; i < n; ++i)
    if (seen[size_t(i)]) place(i);
  place(old->num);
  for (int32_t i = old->num + 1; i < n; ++i)
    if (!seen[size_t(i)]) place(i);
  xrenumber(map.data(), k);
}

}  // namespace

std::vector<xnode*> cite_xrefs(const xnode* d) { return dependents(d, false); }

void xref(expr* names, redirect* r, xrecomp* xr) {
  dispfile(r, xr);
  FILE* f = display_stream();
  for (expr* e = names; e; e = e->next) {
    const char* text = e->L.sym->name;
    xnode* d = named(text);
    if (!d) {
      Fprintf(f, "%s is undefined.\n", text);
      continue;
    }
    std::vector<xnode*> deps = cite_xrefs(d);
    std::string name = listed_name(d);
    if (deps.empty()) {
      Fprintf(f, "# No entities depend on %s.\n\n", name.c_str());
      continue;
    }
    Fprintf(f, "# %d %s on %s:\n", static_cast<int>(deps.size()),
            deps.size() == 1 ? "entity depends" : "entities depend",
            name.c_str());
    for (xnode* x : deps) Fprintf(f, "%s\n", listed_name(x).c_str());
    Fprintf(f, "\n");
  }
  fflush(f);
}

void delx(xnode* d, int unlink) {
  if (d == cur_prob) return;
  if (d->xr.state & XR_GENERATED) xreset(d);
  es_reset(&d->xr);
  sud_del(d);
  for (int32_t i = 0; i < d->ndeps; ++i)
    if (xnode* x = live(d->deps[i]); x && x != d) unxrefer(x, d->num);
  if (is_convar(d) || is_problem(d)) {
    tc_zap();
    prob_changed();
  }
  if (!unlink) return;
  if (d->kind == DK_FUNCTION) function_deleted(static_cast<function*>(d));
  bool own_binding = d->kind != DK_CHECK && d->kind != DK_SUFFIX;
  if (own_binding && d->name && d->name->binding == d)
    d->name->binding = d->oldval;
  x_free(d);
}

int delete_cmd2(xnode* d, int purge) {
  bool others = !dependents(d, true).empty();
  if (others && !purge) {
    error(0, "Cannot delete %s: it has dependents.%s", listed_name(d).c_str(),
          hint_given ? ""
                     : "\n\tuse xref to see dependents, and\n\tuse purge to "
                       "delete them.");
    hint_given = true;
    return 1;
  }
  if (others) {
    std::vector<xnode*> deps = dependents(d, true);
    for (auto it = deps.rbegin(); it != deps.rend(); ++it) delete1(*it);
  }
  delete1(d);
  return 0;
}

void delete_cmd(expr* items, int purge) {
  const char* verb = purge ? "purge" : "delete";
  int32_t top = dac.next;
  bool deleted = false;
  for (expr* e = items; e; e = e->next) {
    if (e->L.p == Check) {  // from check_del: R is the check record
      // (null when the number names no check, which check_del reported)
      if (e->R.p)
        deleted |= delete_cmd2(static_cast<xnode*>(e->R.p), purge) == 0;
      continue;
    }
    const char* text = e->L.sym->name;
    const char* blank = std::strchr(text, ' ');
    std::string word = blank ? std::string(text, size_t(blank - text)) : "";
    const char* rest = blank ? blank + 1 : text;
    if (word == "environ") {
      notyet(purge ? "purge environ" : "delete environ");
      break;
    }
    if (word == "table") {
      // The name leaves the tables first; then the record goes as any
      // declaration does.
      if (Table* t = table_del(Symbol(rest, 1)))
        deleted |= delete_cmd2(t, purge) == 0;
      continue;
    }
    if (word == "option") {
      envdel(Symbol(rest, 1));
      continue;
    }
    if (word == "suffix") {
      if (suffix* s = dotdel(Symbol(rest, 1), purge))
        deleted |= delete_cmd2(s, purge) == 0;
      continue;
    }
    if (word == "check") {
      if (xnode* c = named(text)) deleted |= delete_cmd2(c, purge) == 0;
      continue;
    }
    void* b = Symbol(text, 1)->binding;
    if (!b) continue;
    uint32_t k = bound_kind(b);
    if (k >= 39 || (k < N_DKINDS && xtype[k] == XC_SYSTEM_SUFFIXES)) continue;
    bool sys = k >= 35;
    if (!sys && (k > DK_TABLE || xtype[k] < 0)) continue;
    xnode* d = static_cast<xnode*>(b);
    if (sys || builtin(d)) {
      error(0, "Ignoring %s %s%s", verb, text,
            ":\n\tsystem parameters may not be deleted.");
      continue;
    }
    if (k == DK_ENV || k == DK_ENVI) {
      notyet(purge ? "purge environ" : "delete environ");
      break;
    }
    deleted |= delete_cmd2(d, purge) == 0;
  }
  if (deleted) settle(top);
}

int redclchk(xnode* old, xnode* d, xnode** out) {
  if (old->kind > DK_TABLE) return 0;
  bool referenced = false;
  for (int i = 0; i < old->nrefs && !referenced; ++i) {
    xnode* x = live(old->refs[i]);
    referenced = x && x != old && !builtin(x);
  }
  if (referenced &&
      (d->kind != old->kind ||
       (dindchk(old->kind) && subscript_count(old) != subscript_count(d)))) {
    refuse_redeclaration(old,
                         ":\n\tcannot change character while still referenced"
                         "\n\tby other declarations.");
    return 2;
  }
  bool stage = old->kind == DK_SUFFIX && old->name &&
               !std::strcmp(old->name->name, "stage");
  if (builtin(old) && !stage) {
    refuse_redeclaration(old, ":\n\t system parameters may not be redeclared.");
    return 2;
  }
  std::vector<uint8_t> seen = referenced_closure(old);
  int slots = old->kind < N_DKINDS ? xn_inc[old->kind] : 1;
  if ((seen[size_t(old->num)] && !recursive) ||
      (slots == 2 && seen[size_t(old->num) + 1])) {
    refuse_redeclaration(old, "\n\tbecause of circular dependencies.");
    return 2;
  }
  bool later = false;
  for (size_t i = size_t(old->num) + 1; i < size_t(dac.next); ++i)
    later |= seen[i] != 0;
  if (later) move_before(old, seen);
  if (d->kind != old->kind) {
    void* before = old->oldval;
    delete1(old);
    d->oldval = before;
    return 0;
  }
  *out = old;
  d->num = old->num;
  // The declaration code records what d refers to afresh.
  for (int32_t i = 0; i < old->ndeps; ++i)
    if (xnode* x = live(old->deps[i]); x && x != old) unxrefer(x, old->num);
  if (is_convar(old)) {
    dropsavechk(old, d);
    d->flags |= old->flags & (uint64_t{CV_ALLDROPPED} | PF_EXPLICIT);
  }
  return 1;
}

void xrenumber(const int32_t* map, int32_t newnext) {
  int32_t n = dac.next;
  for (int32_t i = 0; i < n; ++i) {
    xnode* x = dac.bynum[i];
    if (x && x->num == i && map[i] < 0) bug("xrenumber bug");
  }
  dac_renumber(map, newnext);
  dep_renumber(map);
  // The marks of the last check are kept by number.
  tc_zap();
}

// The options of environment values e that are listed and differ from
// their defaults, as option commands.
static void changed_options(FILE* f, const envir* e) {
  int n;
  const int* ord = sorted_options(&n);
  for (int i = 0; i < n; ++i) {
    const env_info* info = Myenv[ord[i]];
    if (!info->listed) continue;
    cstr* t = ord[i] < e->n ? e->a[ord[i]] : nullptr;
    if (!t) continue;
    const char* v = env_val(t->text());
    if (info->dflt && !std::strcmp(v, info->dflt)) continue;
    Fprintf(f, "option %s ", env_name(ord[i])->name);
    put_opt_value(f, v);
    Fprintf(f, ";\n");
  }
}

void show_env_and_options_snapshot(FILE* f) {
  Fprintf(f, "###options-start\n");
  Fprintf(f, "reset options;\n");
  // The values in force: kept by the environment made current first, so
  // that they are not lost when no other environment exists.
  if (*Current_slot) changed_options(f, *Current_slot);
  // The declared environments follow Current and Initial.
  const xclass_rec& envs = xclass[XC_ENVS];
  for (int32_t i = 2; i < envs.n; ++i) {
    auto* x = static_cast<xenvir*>(envs.a[i]);
    if (x->kind != DK_ENV || !x->e) continue;
    Fprintf(f, "environ %s;\n", x->name->name);
    changed_options(f, x->e);
  }
  Fprintf(f, "###options-end\n\n");
}

void del_function(xnode* f) { f->name->binding = nullptr; }

void xref_start() { hint_given = false; }

}  // namespace vexo
