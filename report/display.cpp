// The display command.
#include "report/display.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "compiler/compile.h"
#include "compiler/tva.h"
#include "data/values.h"
#include "eval/dispatch.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "eval/paramref.h"
#include "eval/set.h"
#include "eval/setops.h"
#include "eval/dotvalue.h"
#include "eval/entref.h"
#include "eval/solval.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/suffix.h"
#include "frontend/vardcl.h"
#include "instance/members.h"
#include "instance/sufdecl.h"
#include "instance/sufinit.h"
#include "instance/suftab.h"
#include "instance/synset.h"
#include "frontend/paramdcl.h"
#include "report/indextab.h"
#include "report/prex.h"
#include "report/print.h"
#include "report/prset.h"
#include "session/cmdfiles.h"
#include "session/cmdrec.h"
#include "session/loop.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "support/format.h"
#include "support/message.h"
#include "support/quote.h"
#include "support/symbol.h"
#include "support/text.h"
#include "support/utf8.h"

namespace vexo {

int symlen(const symbol* s) {
  return is_number(s) ? static_cast<int>(std::strlen(s->name))
                      : qutflen(s->name);
}

namespace {

// ---- Module state of the running command ------------------------------------

FILE* out;         // where the command writes (df)
int Idde;          // 0 display, 1 _display, 2 csvdisplay
int Idde_head;     // Idde, or 0 for csvdisplay without a header row
int Idde2 = -1;    // 2 when csvdisplay may write one table only
int Dw;            // width of the items' texts
num_format disp1;  // the command's number format
// The texts of "$0", "$1", ...: the values of the command's dummies, then
// "$1".. for the dummies of the items' own indexings.
std::vector<std::string> dtrans;
// csvdisplay: the column names of the current table, the expression
// columns named so far and their number.
std::set<std::string> Iddenames;
int Idde_i, Idde_k;
// The most positions of any indexed list among the items.
int n_itamax;

void blanks(int n) {
  if (n > 0) Fprintf(out, "%*s", n, "");
}

// A member component: a number as its text, a string quoted as needed.
void put_sym(const symbol* s) {
  if (is_number(s))
    Fprintf(out, "%s", s->name);
  else
    Fprintf(out, "%q", s->name);
}

const char* csep(bool last) { return last ? "\n" : ","; }

// ---- Item texts ---------------------------------------------------------------

// The text with "$k" replaced by dtrans[k] (the printer numbers the
// dummies from 0); quoted parts stay as they are.  *w receives the width
// (UTF-8 characters) of the text after its last newline.
std::string dollarfix(const char* s, int* w) {
  std::string r;
  char q = 0;
  for (const char* p = s; *p;) {
    char c = *p;
    if (q) {
      r += c;
      ++p;
      if (c == q) {
        if (*p == q) {
          r += *p++;
        } else {
          q = 0;
        }
      }
      continue;
    }
    if (c == '\'' || c == '"') {
      q = c;
      r += c;
      ++p;
      continue;
    }
    if (c == '$' && p[1] >= '0' && p[1] <= '9') {
      const char* e = p + 1;
      size_t k = 0;
      while (*e >= '0' && *e <= '9') k = k * 10 + size_t(*e++ - '0');
      if (k < dtrans.size()) {
        r += dtrans[k];
        p = e;
        continue;
      }
    }
    r += c;
    ++p;
  }
  if (w) {
    size_t nl = r.rfind('\n');
    *w = utflen(r.c_str() + (nl == std::string::npos ? 0 : nl + 1));
  }
  return r;
}

// ---- Header rows of the machine-readable forms ---------------------------------

void Iddestart(int nindex, int nexpr, int nrows) {
  if (Idde == 1) {
    Fprintf(out, "_display %d %d %d\n", nindex, nexpr, nrows);
    return;
  }
  Iddenames.clear();
  if (!Idde_head) return;
  // The generated names a table may use are reserved: the index columns'
  // and the expression columns' fallbacks, so that no name repeats.
  char b[32];
  for (int i = 1; i <= nindex; ++i) {
    Snprintf(b, sizeof b, "Index_%d", i);
    Iddenames.insert(b);
  }
  for (int i = 1; i <= nexpr; ++i) {
    Snprintf(b, sizeof b, "Expr_%d", i);
    Iddenames.insert(b);
  }
  Idde_k = nexpr;
  Idde_i = 0;
  for (int i = 1; i <= nindex; ++i)
    Fprintf(out, "Index_%d%s", i, csep(i == nindex && nexpr == 0));
}

bool is_ident(const char* s) {
  auto alpha = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  };
  if (!alpha(*s)) return false;
  for (++s; *s; ++s)
    if (!alpha(*s) && !(*s >= '0' && *s <= '9') && *s != '_') return false;
  return true;
}

void Iddename(const std::string& text) {
  ++Idde_i;
  const char* sep = csep(Idde_i >= Idde_k);
  if (csvdisplay_header != 2 && is_ident(text.c_str()) &&
      Iddenames.insert(text).second) {
    Fprintf(out, "%s%s", text.c_str(), sep);
    return;
  }
  Fprintf(out, "Expr_%d%s", Idde_i, sep);
}

// The expression names of a table: lines of their own (_display) or the
// rest of the header row (csvdisplay).
void Iddenames_put(const std::vector<std::string>& names) {
  for (const std::string& n : names) {
    if (Idde_head == 1)
      Fprintf(out, "%s\n", n.c_str());
    else if (Idde_head == 2)
      Iddename(n);
  }
}

// ---- Column buffers ---------------------------------------------------------

// Where a column's entries keep their tuples, texts and ordinals: large
// chunks taken in turn, so an entry has no heap block of its own and what
// it points at never moves while the column lives.
class dstore {
 public:
  dstore() = default;
  dstore(dstore&&) = default;
  dstore& operator=(dstore&&) = default;
  dstore(const dstore&) = delete;
  dstore& operator=(const dstore&) = delete;

  // n bytes aligned for a pointer.
  void* take(size_t n) {
    n = (n + alignof(void*) - 1) & ~(alignof(void*) - 1);
    if (n > left_) {
      chunks_.emplace_back(std::max(n, CHUNK));
      at_ = chunks_.back().data();
      left_ = chunks_.back().size();
    }
    void* r = at_;
    at_ += n;
    left_ -= n;
    return r;
  }
  const char* text(const char* s, size_t n) {
    char* r = static_cast<char*>(take(n + 1));
    std::memcpy(r, s, n);
    r[n] = 0;
    return r;
  }
  symbol** tuple(symbol* const* t, int n) {
    if (n <= 0) return nullptr;
    auto r = static_cast<symbol**>(take(sizeof(symbol*) * size_t(n)));
    std::copy(t, t + n, r);
    return r;
  }

 private:
  static constexpr size_t CHUNK = 1 << 16;
  std::vector<std::vector<char>> chunks_;
  char* at_ = nullptr;
  size_t left_ = 0;
};

// One entry of a column: its subscripts and its value's text, both in the
// column's store.
struct dent {
  symbol** tup = nullptr;  // the column's arity subscripts
  const char* text = "";
  const int64_t* ordn = nullptr;  // ordinals at ordered positions, or -1
  int32_t split = -1;  // position of the first "." (or the end); -1: string
  int32_t len : 31 = 0;  // of text
  uint32_t nz : 1 = 0;
};
static_assert(sizeof(dent) == 32, "a million entries take 32 MB");

struct dcol {
  std::string name;
  int namew = 0;
  std::deque<dent> e;  // entries stay in place as the column grows
  dstore store;
  int arity = 0;
  int L = 0, B = 0, A = 0, S = 0, T = 0;

  dent& add(symbol* const* tup) {
    dent& d = e.emplace_back();
    d.tup = store.tuple(tup, arity);
    return d;
  }
};

// Whether a and b have the same subscripts.
bool same_tup(const dent* a, const dent* b, int arity) {
  return std::equal(a->tup, a->tup + arity, b->tup);
}

void set_text(dcol& c, dent& d, const char* s, size_t n) {
  d.text = c.store.text(s, n);
  d.len = int32_t(n);
}

// A number's text in d: its split point at the first ".", widening the
// column.
void number_split(dcol& c, dent& d, bool nz) {
  const char* dot = std::strchr(d.text, '.');
  d.split = dot ? int(dot - d.text) : d.len;
  d.nz = nz;
  c.B = std::max(c.B, d.split);
  c.A = std::max(c.A, d.len - d.split);
}

void add_num(dcol& c, dent& d, double v) {
  if (v < display_eps && -v < display_eps) v = 0;
  int64_t n = 0;
  const char* s = disp1.fmt(v, disp1.active, &n);
  set_text(c, d, s, size_t(n));
  number_split(c, d, v != 0);
}

void add_text(dcol& c, dent& d, const char* s) {
  set_text(c, d, s, std::strlen(s));
  d.split = -1;
  d.nz = true;
  c.S = std::max(c.S, qutflen(s));
}

// A symbol's text is its own name: interned names outlive the command.
void add_sym(dcol& c, dent& d, const symbol* s) {
  if (!is_number(s)) {
    d.text = s->name;
    d.len = int32_t(std::strlen(s->name));
    d.split = -1;
    d.nz = true;
    c.S = std::max(c.S, qutflen(s->name));
    return;
  }
  // A number held as a symbol keeps its own text.
  if (s->value < display_eps && -s->value < display_eps) {
    add_num(c, d, 0);
    return;
  }
  d.text = s->name;
  d.len = int32_t(std::strlen(s->name));
  number_split(c, d, true);
}

// The value of compiled expression x in context t.
void add_value(dcol& c, dent& d, expr* x, TVA* t) {
  if (has_flag(x, EF_NUMERIC)) {
    add_num(c, d, eval_num(x, t));
  } else if (has_flag(x, EF_STRING)) {
    cstr* s = eval_str(x, t);
    add_text(c, d, s->text());
    release_cstr(s);
  } else {
    add_sym(c, d, eval_sym(x, t));
  }
}

void finish_col(dcol& c) {
  c.T = std::max(c.B + c.A, c.S);
  if (c.arity > 0)
    for (const dent& d : c.e) c.L = std::max(c.L, symlen(d.tup[0]));
  c.namew = utflen(c.name.c_str());
}

// ---- Ordering -------------------------------------------------------------------

// Appends, for each position of s's members, the generated set that
// orders it, or null: a declared ordered set (its own value) or an ordered
// set expression orders its one position; a product or an indexing gets
// the orders of its components position by position; anything else
// orders nothing.
void ordby1(set* s, TVA* t, std::vector<set*>& r) {
  set* o = nullptr;
  if (s->arity == 1 && s->owner && s->owner->kind == DK_SET) {
    setdcl* d = static_cast<setdcl*>(s->owner);
    if ((d->sflags & SF_ORDERED) && (s->sclass == SC_NAMED || s == d->value))
      o = s;
  } else if (s->arity == 1 && s->sclass == SC_ORDERED) {
    o = s;
  } else if (s->sclass == SC_CROSS) {
    set** f = static_cast<set**>(static_cast<set3p*>(s)->f1);
    for (int i = 0; i < s->cword; ++i) ordby1(f[i], t, r);
    return;
  } else if (s->sclass == SC_SPEC || s->sclass == SC_SPECSET) {
    for (Index* ix = static_cast<set_spec*>(s)->first; ix; ix = ix->next)
      ordby1(ix->s, t, r);
    return;
  }
  if (o && o->nmem < 0) set_genall(o, t);
  r.push_back(o);
  for (int i = 1; i < s->arity; ++i) r.push_back(nullptr);
}

// For each position of an indexing, the generated set that orders it, or
// null.
std::vector<set*> n_ordby(set_spec* ss, TVA* t) {
  std::vector<set*> r;
  if (!ss) return r;
  for (Index* ix = ss->first; ix; ix = ix->next)
    if (ix->s)
      ordby1(ix->s, t, r);
    else
      r.push_back(nullptr);
  return r;
}

// Stores in each entry the ordinals of its ordered positions (-1 at the
// others); entries keep none when no position is ordered.
void num4sort(dcol& c, const std::vector<set*>& ord) {
  size_t n = std::min(size_t(c.arity), ord.size());
  bool any = std::any_of(ord.begin(), ord.begin() + long(n),
                         [](set* o) { return o != nullptr; });
  for (dent& d : c.e) {
    d.ordn = nullptr;
    if (!any) continue;
    auto o = static_cast<int64_t*>(c.store.take(sizeof(int64_t) * size_t(c.arity)));
    std::fill(o, o + c.arity, -1);
    for (size_t k = 0; k < n; ++k)
      if (ord[k]) o[k] = set_lookup(ord[k], &d.tup[k]);
    d.ordn = o;
  }
}

// Position k of a and b in display order (ordered positions by ordinal).
int poscomp(const dent& a, const dent& b, size_t k) {
  if (a.ordn && b.ordn && a.ordn[k] >= 0 && b.ordn[k] >= 0) {
    if (a.ordn[k] != b.ordn[k]) return a.ordn[k] < b.ordn[k] ? -1 : 1;
    return 0;
  }
  if (a.tup[k] == b.tup[k]) return 0;
  return display_comp(a.tup[k], b.tup[k]);
}

// Sorts the entries by the positions of pos in turn.  Entries mostly come
// in order already (a param's members in its indexing's order): one pass
// tells, and the sort with its buffer is saved.
void d3sort(std::vector<dent*>& v, const std::vector<int>& pos) {
  auto before = [&](const dent* a, const dent* b) {
    for (int k : pos)
      if (int c = poscomp(*a, *b, size_t(k))) return c < 0;
    return false;
  };
  if (!std::is_sorted(v.begin(), v.end(), before))
    std::stable_sort(v.begin(), v.end(), before);
}

std::vector<int> iota(int n) {
  std::vector<int> p(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) p[size_t(i)] = i;
  return p;
}

// ---- Items and groups ---------------------------------------------------------

enum { G_SCALAR, G_1D, G_2D, G_MANY, G_SET, G_SETS };

struct ditem {
  expr* e;           // the item (compiled in place)
  std::string text;  // its text ("$k" for dummies of indexings)
  std::vector<std::string> texts;  // an indexed list: one per expression
  int arity;
};

struct dgroup {
  int kind;
  std::vector<ditem> items;
};

bool is_list(const expr* e) { return opcode(e) == OPARG && e->L.ss; }

// The declaration an item names as a whole entity, or null.
xnode* entity(const expr* e) {
  return opcode(e) == OPXNODE && e->R.i == -2 ? e->L.x : nullptr;
}

bool is_param(const xnode* d) {
  return d->kind == DK_PARAM || d->kind == DK_PARAMI ||
         d->kind == DK_SPARAM || d->kind == DK_SPARAMI;
}

// Whether d is a variable, a constraint or an objective: a declaration
// whose generated members carry the values shown.
bool is_generated_kind(const xnode* d) {
  uint32_t k = d->kind & ~1u;
  return k == DK_VAR || k == DK_SVAR || k == DK_CON || k == DK_OBJ;
}

// The variable, constraint or objective an item shows as a whole, and
// through *code what of its members: -2 their values (a variable's value,
// a constraint's dual, an objective's or logical constraint's body), else
// the suffix code of the display form (an objective's built-in codes are
// negated there, -1 standing for its value).  Null for any other item.
convar* whole_item(const expr* e, int* code) {
  if (opcode(e) != OPXNODE || !is_generated_kind(e->L.x)) return nullptr;
  *code = e->R.i;
  return static_cast<convar*>(e->L.x);
}

// Member k's value for whole_item's code into entry e of column c.
void add_member(dcol& c, dent& e, convar* d, int code, int32_t k, TVA* t) {
  // A symbolic variable's member shows its value as a member would.
  if (code == -2 && (d->kind & ~1u) == DK_SVAR) {
    add_sym(c, e, *symvar_value(static_cast<var*>(d), k, t));
    return;
  }
  double v = 0;
  if (cstr* x = member_code_value(d, code, k, t, &v)) {
    add_text(c, e, x->text());
    release_cstr(x);
  } else {
    add_num(c, e, v);
  }
}

// The column of a whole variable, constraint or objective: one entry per
// generated member, in member order.
void member_col(dcol& c, convar* d, int code, TVA* t) {
  set* m = d->gen.members;
  int n = d->indexing ? d->indexing->arity : 0;
  if (!m || d->ninst <= 0) return;
  copy_sufs(d, t);
  // A symbolic variable's members are numbered by their data index.
  bool by_data = (d->kind & ~1u) == DK_SVAR;
  c.arity = n;
  for (setmem* p = m->first; p && !poll_step(); p = p->next) {
    if (p->ord < 0) continue;
    dent& e = c.add(p->tup());
    int32_t k = by_data ? int32_t(set_lookup(d->dindex, p->tup())) : p->ord;
    add_member(c, e, d, code, k, t);
  }
}

// The column of a whole synonym array (_var, _conname) or of a suffix on
// one (_var.ub, _con.dual): one entry per member of the array's synonym
// set, numbered from 1.
void synonym_col(dcol& c, expr* e, TVA* t) {
  int flag;
  AC* ac = t->ac;
  set* s = fmtset(e, &flag, &ac);
  t->ac = ac;
  const kw_row* row = static_cast<const kw_row*>(e->L.sym->binding);
  int k = int(row->value);
  bool whole = opcode(e) == OP257;
  bool names = whole && row->kind == BK_SYNNAME;
  c.arity = 1;
  for (setmem* p = s->first; p && !poll_step(); p = p->next) {
    dent& en = c.add(p->tup());
    if (whole) {
      int32_t j;
      int kind = syn_entry(ac, k, p->ord, &j);
      if (!names) {
        add_num(c, en, syn_value(ac, kind, j, t));
      } else if (cstr* x = syn_name(ac, kind, j, k)) {
        add_text(c, en, x->text());
        release_cstr(x);
      } else {
        f_unbuilt(e, t);
      }
      continue;
    }
    syn_shown v = syn_display(ac, k, p->ord, e->R.i, t);
    if (v.d)
      add_member(c, en, static_cast<convar*>(v.d), v.code, v.k, t);
    else
      add_num(c, en, v.v);
  }
}

// Calls add with the subscripts of each entry of param p's column, in the
// order the column takes them: the members of its indexing for a param with
// a value expression, else its members with data that are still in the
// indexing.
template <class Add>
void param_entries(param* p, TVA* t, Add add) {
  set_spec* ss = p->indexing;
  if (p->dflt) {
    if (TVA* w = ss_begin(ss, t)) {
      do {
        add(ss->first->vals);
        if (gotbreak) {
          ss_end1(ss, w);
          break;
        }
      } while (ss_continue(ss, w));
    }
  } else if (p->dindex && p->nvals) {
    // Without a value expression only the members with data have values
    // (the side-by-side and table layouts show the others as "."): they
    // are taken from the data, those still in the indexing kept, so the
    // cost follows the values held, not the size of the indexing.
    for (setmem* m = p->dindex->first; m && !poll_step(); m = m->next) {
      symbol** tuple = m->tup();
      if (set_in(ss, tuple, t) == NOT_MEMBER) continue;
      add(tuple);
    }
  }
}

// One column for item it: an entity's values over its indexing, or an
// indexed list's expression k over the list's indexing.
dcol format_col(const ditem& it, int k, TVA* t, std::vector<set*>* ordp) {
  dcol c;
  int code;
  if (opcode(it.e) == OP256 || opcode(it.e) == OP257) {
    c.name = it.text;
    synonym_col(c, it.e, t);
    if (ordp) ordp->clear();
  } else if (convar* d = whole_item(it.e, &code)) {
    c.name = it.text;
    std::vector<set*> ord = n_ordby(d->indexing, t);
    member_col(c, d, code, t);
    num4sort(c, ord);
    if (ordp) *ordp = ord;
  } else if (xnode* d = entity(it.e)) {
    c.name = it.text;
    set_spec* ss = d->indexing;
    std::vector<set*> ord = n_ordby(ss, t);
    param* p = static_cast<param*>(d);
    bool sym = d->kind == DK_SPARAMI || d->kind == DK_SPARAM;
    c.arity = ss ? ss->arity : 0;
    // The members first, the values after: a member without a value is
    // computed through the declaration's own indexing, which must not be
    // in the middle of a walk then.
    param_entries(p, t, [&](symbol* const* tuple) { c.add(tuple); });
    for (dent& e : c.e) {
      if (gotbreak) break;
      if (sym) {
        symval* v = spar_value(p, e.tup, t);
        if (v->sym)
          add_sym(c, e, v->sym);
        else
          add_text(c, e, v->str ? v->str->text() : "");
      } else {
        add_num(c, e, par_value(p, e.tup, t));
      }
    }
    num4sort(c, ord);
    if (ordp) *ordp = ord;
  } else {
    set_spec* ss = it.e->L.ss;
    expr* x = it.e->R.e;
    for (int i = 0; i < k; ++i) x = x->next;
    c.name = dollarfix(it.texts[size_t(k)].c_str(), nullptr);
    std::vector<set*> ord = n_ordby(ss, t);
    c.arity = ss->first ? ss->arity : 0;
    if (TVA* w = ss_begin(ss, t)) {
      do {
        dent& e = c.add(ss->first ? ss->first->vals : nullptr);
        add_value(c, e, x->R.e, w);
        if (gotbreak) {
          ss_end1(ss, w);
          break;
        }
      } while (ss_continue(ss, w));
    }
    num4sort(c, ord);
    if (ordp) *ordp = ord;
  }
  finish_col(c);
  return c;
}

// The value text of an entry, padded so that a number's split point falls
// at column target (cur: the column written so far); returns the column
// after it.
int put_value(const dent& d, int cur, int target) {
  if (d.split < 0) {
    Fprintf(out, "%q", d.text);
    return cur + qutflen(d.text);
  }
  blanks(target - d.split - cur);
  Fprintf(out, "%s", d.text);
  return std::max(cur, target - d.split) + d.len;
}

// ---- Scalars --------------------------------------------------------------------

void scalar_line(const std::string& text, expr* x, TVA* t);

void disp_scalar(dgroup& g, TVA* t) {
  if (Idde) {
    std::vector<std::string> names;
    for (ditem& it : g.items) names.push_back(dollarfix(it.text.c_str(), 0));
    Iddestart(0, int(names.size()), 1);
    Iddenames_put(names);
    for (size_t i = 0; i < g.items.size(); ++i) {
      dcol c;
      dent d;
      add_value(c, d, g.items[i].e, t);
      Fprintf(out, d.split < 0 ? "%q%s" : "%s%s", d.text,
              csep(i + 1 == g.items.size()));
    }
    return;
  }
  for (ditem& it : g.items) {
    if (is_list(it.e)) {
      // An item under a condition alone: shown when it holds.
      set_spec* ss = it.e->L.ss;
      TVA* c = ss_begin(ss, t);
      if (!c) continue;
      size_t k = 0;
      for (expr* y = it.e->R.e; y; y = y->next, ++k)
        scalar_line(it.texts[k], y->R.e, c);
      while (ss_continue(ss, c)) {
      }
      continue;
    }
    scalar_line(it.text, it.e, t);
  }
}

void scalar_line(const std::string& text, expr* x, TVA* t) {
  {
    int w;
    std::string label = dollarfix(text.c_str(), &w);
    dcol c;
    dent d;
    add_value(c, d, x, t);
    bool str = d.split < 0;
    int v = str ? qutflen(d.text) : d.len;
    if (str && w + 3 + v > display_width) {
      if (const char* nl = std::strchr(d.text, '\n'))
        v = 2 + utflen(std::string(d.text, nl).c_str());
    }
    const char* f = w + 3 + v <= display_width ? (str ? "%s = %q\n" : "%s = %s\n")
                                               : (str ? "%s =\n%q\n" : "%s =\n%s\n");
    Fprintf(out, f, label.c_str(), d.text);
  }
}

// ---- One dimension ------------------------------------------------------------

void put_label(const symbol* s, int width) {
  blanks(width - symlen(s));
  put_sym(s);
}

// Writes a one-dimensional column of n entries: at(i) gives entry i in
// display order (callers take them in increasing order within each output
// column); L, T and B are the column's widths.
template <class At>
void put_1d(const std::string& name, int namew, int L, int T, int B, int n,
            At at) {
  if (Idde) {
    Iddestart(1, 1, n);
    Iddenames_put({name});
    for (int i = 0; i < n; ++i) {
      const dent* d = &at(i);
      put_sym(d->tup[0]);
      Fprintf(out, d->split < 0 ? ",%q\n" : ",%s\n", d->text);
    }
    return;
  }
  Fprintf(out, "%s [*]%s :=", name.c_str(), namew + 7 <= display_width ? "" : "\n");
  if (n <= display_1col && L + T + 1 < display_width) {
    for (int i = 0; i < n; ++i) {
      const dent* d = &at(i);
      Fprintf(out, "\n");
      put_label(d->tup[0], L);
      if (d->split < 0)
        Fprintf(out, "  %q", d->text);
      else
        put_value(*d, L, L + B + 2);
    }
  } else {
    int cell = L + T + 1;
    int K = (display_width + gutter_width) / (cell + gutter_width);
    if (K == 0) {
      // One cell is wider than the line: label and value, an entry a line.
      for (int i = 0; i < n; ++i) {
        const dent* d = &at(i);
        Fprintf(out, "\n");
        put_sym(d->tup[0]);
        Fprintf(out, d->split < 0 ? " %q" : " %s", d->text);
      }
    } else {
      int R = (n + K - 1) / K;
      for (int r = 0; r < R; ++r) {
        Fprintf(out, "\n");
        int cur = 0;
        for (int j = 0; r + j * R < n; ++j) {
          const dent* d = &at(r + j * R);
          int start = j * (cell + gutter_width);
          blanks(start - cur);
          put_label(d->tup[0], L);
          cur = start + L;
          if (d->split < 0) {
            Fprintf(out, " %q", d->text);
            cur += 1 + qutflen(d->text);
          } else {
            cur = put_value(*d, cur, start + L + B + 1);
          }
        }
      }
    }
  }
  Fprintf(out, "\n;\n");
}

// The live member of a data index from m on (ordinal >= 0), or null.
setmem* live_from(setmem* m) {
  while (m && m->ord < 0) m = m->next;
  return m;
}

// A numeric param's one-dimensional column read straight from its data, so
// that a column of a million entries stores nothing per entry.  It serves
// when the column's entries (param_entries) are, one for one, the live
// members of the param's data index in their order, already in display
// order, none left out as zero, and none ordered by an ordered set: a
// first walk checks that and takes the widths; the printing then runs a
// cursor per output column over the data index, formatting each value as
// it is written.
class param_stream {
 public:
  // Whether item it can be streamed (widths taken).
  bool open(const ditem& it, TVA* t) {
    xnode* d = entity(it.e);
    if (!d || (d->kind != DK_PARAM && d->kind != DK_PARAMI)) return false;
    p_ = static_cast<param*>(d);
    set_spec* ss = d->indexing;
    if (!ss || ss->arity != 1 || !p_->dindex || p_->dindex->nmem < 0)
      return false;
    std::vector<set*> ord = n_ordby(ss, t);
    if (!ord.empty() && ord[0]) return false;
    setmem* m = live_from(p_->dindex->first);
    symbol* prev = nullptr;
    bool ok = true;
    param_entries(p_, t, [&](symbol* const* tuple) {
      if (!ok) return;
      symbol* x = tuple[0];
      if (!m || m->tup()[0] != x || (prev && display_comp(prev, x) > 0)) {
        ok = false;
        return;
      }
      format(m);
      if (omit_zero_rows && !d_.nz) ok = false;
      B_ = std::max(B_, int(d_.split));
      A_ = std::max(A_, int(d_.len) - int(d_.split));
      L_ = std::max(L_, symlen(x));
      prev = x;
      ++n_;
      m = live_from(m->next);
    });
    if (!ok || m || gotbreak || n_ > INT32_MAX) return false;
    name_ = it.text;
    return true;
  }

  void print() {
    int n = int(n_);
    int T = B_ + A_;
    // The rows of the many-column layout, as put_1d counts them.
    int cell = L_ + T + 1;
    int K = (display_width + gutter_width) / (cell + gutter_width);
    bool many = !Idde && !(n <= display_1col && L_ + T + 1 < display_width) &&
                K > 0;
    size_t R = many ? size_t((n + K - 1) / K) : n_ + 1;
    // Cursor j starts at entry j * R.
    size_t i = 0;
    for (setmem* m = live_from(p_->dindex->first); m;
         m = live_from(m->next), ++i)
      if (i % R == 0) cur_.push_back(m);
    put_1d(name_, utflen(name_.c_str()), L_, T, B_, n,
           [&](int e) -> const dent& {
             setmem*& c = cur_[size_t(e) / R];
             format(c);
             c = live_from(c->next);
             return d_;
           });
  }

 private:
  // Entry d_ for member m: its value's text (as add_num writes it) in text_.
  void format(setmem* m) {
    double v = static_cast<const double*>(p_->vals)[m->ord];
    if (v < display_eps && -v < display_eps) v = 0;
    int64_t len = 0;
    const char* s = disp1.fmt(v, disp1.active, &len);
    text_.assign(s, size_t(len));
    d_.tup = m->tup();
    d_.text = text_.c_str();
    d_.len = int32_t(len);
    const char* dot = std::strchr(d_.text, '.');
    d_.split = dot ? int32_t(dot - d_.text) : d_.len;
    d_.nz = v != 0;
  }

  param* p_ = nullptr;
  std::string name_, text_;
  size_t n_ = 0;
  int L_ = 0, B_ = 0, A_ = 0;
  std::vector<setmem*> cur_;  // a cursor per output column
  dent d_;
};

void disp_1d(ditem& it, TVA* t) {
  {
    param_stream ps;
    if (ps.open(it, t)) {
      ps.print();
      return;
    }
    if (gotbreak) return;
  }
  std::vector<set*> ord;
  dcol c = format_col(it, 0, t, &ord);
  if (gotbreak) return;
  std::vector<dent*> v;
  v.reserve(c.e.size());
  for (dent& d : c.e)
    if (d.nz || !omit_zero_rows) v.push_back(&d);
  d3sort(v, {0});
  put_1d(c.name, c.namew, c.L, c.T, c.B, int(v.size()),
         [&](int i) -> const dent& { return *v[size_t(i)]; });
}

// csvdisplay under csvdisplay_restrict refuses to write n tables; the long
// form says how to lift the restriction.
void restrict_error(int n) {
  if (csvdisplay_restrict & 2)
    error(0, "csvdisplay would emit %d tables.", n);
  else
    error(0, "csvdisplay would emit %d tables.\n%s%d%s%s%s", n,
          "The current $csvdisplay_restrict = ", csvdisplay_restrict,
          " only allows csvdisplay\nto emit one table at a time.",
          "  Specify\n\toption csvdisplay_restrict '';\nor\n\t",
          "option csvdisplay_restrict 0;\nto remove this restriction.");
}

// ---- Sets -----------------------------------------------------------------------

// One member written: "\n" (newline) and pad blanks, then the member; its
// width without them is returned.
int elprint(int newline, int pad, symbol* const* tup, int arity) {
  if (newline) Fprintf(out, "\n");
  blanks(pad);
  if (arity == 1) {
    put_sym(tup[0]);
    return symlen(tup[0]);
  }
  int w = arity + 1;
  Fprintf(out, "(");
  for (int i = 0; i < arity; ++i) {
    if (i) Fprintf(out, ",");
    put_sym(tup[i]);
    w += symlen(tup[i]);
  }
  Fprintf(out, ")");
  return w;
}

int memwidth(symbol* const* tup, int arity) {
  if (arity == 1) return symlen(tup[0]);
  int w = arity + 1;
  for (int i = 0; i < arity; ++i) w += symlen(tup[i]);
  return w;
}

void disp_set(set* s, const std::string& label, TVA* t) {
  if (s->nmem < 0) set_genall(s, t);
  std::vector<setmem*> m;
  for (setmem* x = s->first; x; x = x->next)
    if (x->ord >= 0) m.push_back(x);
  int n = int(m.size()), a = s->arity;
  if (Idde) {
    if (Idde == 1) {
      Fprintf(out, "_display %d %d %d\n%s\n", a, 0, n, label.c_str());
    } else {
      Iddestart(a, 0, n);
    }
    for (setmem* x : m)
      for (int i = 0; i < a; ++i) {
        put_sym(x->tup()[i]);
        Fprintf(out, "%s", csep(i + 1 == a));
      }
    return;
  }
  Fprintf(out, "set %s :=", label.c_str());
  if (!n) {
    Fprintf(out, " ; # empty\n");
    return;
  }
  if (n <= display_set_1col) {
    for (setmem* x : m) elprint(1, 1, x->tup(), a);
    Fprintf(out, "\n;\n");
    return;
  }
  int w = 0;
  for (setmem* x : m) w = std::max(w, memwidth(x->tup(), a));
  int lw = utflen(label.c_str());
  int64_t all = int64_t(w + 1) * n;
  if (all < display_width && all + 7 + lw < display_width) {
    for (setmem* x : m) elprint(0, 1, x->tup(), a);
    Fprintf(out, ";\n");
    return;
  }
  int c = w + gutter_width;
  int K = std::max(1, (gutter_width + display_width) / c);
  int R = (n + K - 1) / K;
  int last = 0;
  for (int r = 0; r < R; ++r) {
    int pad = 0;
    for (int j = 0; r + j * R < n; ++j) {
      last = elprint(j == 0, pad, m[size_t(r + j * R)]->tup(), a);
      pad = c - last;
    }
  }
  Fprintf(out, last == c - gutter_width && K * c == display_width + gutter_width
                   ? "\n;\n"
                   : ";\n");
}

// An indexed collection of sets: each member set under its subscript.
void disp_sets(ditem& it, TVA* t) {
  setdcl* d = static_cast<setdcl*>(entity(it.e));
  set_spec* ss = d->indexing;
  std::vector<symbol*> subs;
  int a = ss->arity;
  if (TVA* w = ss_begin(ss, t)) {
    do subs.insert(subs.end(), ss->first->vals, ss->first->vals + a);
    while (ss_continue(ss, w));
  }
  size_t n = a ? subs.size() / size_t(a) : 0;
  if (Idde2 == Idde && n > 1) {
    restrict_error(int(n));
    return;
  }
  for (size_t i = 0; i < n && !poll_step(); ++i) {
    symbol* const* tup = &subs[i * size_t(a)];
    std::string label = dollarfix(it.text.c_str(), nullptr);
    label += "[";
    for (int k = 0; k < a; ++k) {
      if (k) label += ",";
      char b[512];
      Snprintf(b, sizeof b, is_number(tup[k]) ? "%s" : "%q", tup[k]->name);
      label += b;
    }
    label += "]";
    disp_set(subscr_genall(d, tup, t), label, t);
  }
}

// ---- Two or more dimensions -----------------------------------------------------

// Centres text of width w in a field of width f starting at column start
// (the smaller half of the slack on the left); returns the start column.
int centre(int start, int f, int w) {
  int slack = f - w;
  return start + (slack >= 0 ? slack / 2 : -((1 - slack) / 2));
}


// One column of a chunk of a two-dimensional slice.
struct tcol {
  symbol* label;
  std::vector<dent*> cells;  // by row of the slice, null where missing
  int B = 0, A = 0, S = 0, w = 0, extra = 0;
  bool nz = false;
};

void list_2d(dcol& c, std::vector<dent*>& v, int arity) {
  if (Idde) {
    Iddestart(arity, 1, int(v.size()));
    Iddenames_put({c.name});
    for (dent* d : v) {
      for (int k = 0; k < arity; ++k) {
        put_sym(d->tup[k]);
        Fprintf(out, ",");
      }
      Fprintf(out, d->split < 0 ? "%q\n" : "%s\n", d->text);
    }
    return;
  }
  std::vector<int> pw(size_t(arity), 0);
  for (dent* d : v)
    for (int k = 0; k < arity; ++k)
      pw[size_t(k)] = std::max(pw[size_t(k)], symlen(d->tup[k]));
  int end = -1;
  for (int k = 0; k < arity; ++k) end += pw[size_t(k)] + 1;
  Fprintf(out, "%s :=\n", c.name.c_str());
  for (dent* d : v) {
    int cur = 0, start = 0;
    for (int k = 0; k < arity; ++k) {
      blanks(start - cur);
      put_sym(d->tup[k]);
      cur = start + symlen(d->tup[k]);
      start += pw[size_t(k)] + 1;
    }
    if (d->split < 0) {
      blanks(end + 2 - cur);
      Fprintf(out, "%q\n", d->text);
    } else {
      put_value(*d, cur, end + c.B + 2);
      Fprintf(out, "\n");
    }
  }
  Fprintf(out, ";\n");
}

// The distinct values of position k among v, in display order.
std::vector<symbol*> distinct(const std::vector<dent*>& v, int k) {
  std::vector<dent*> u(v);
  d3sort(u, {k});
  std::vector<symbol*> r;
  for (dent* d : u)
    if (r.empty() || r.back() != d->tup[k]) r.push_back(d->tup[k]);
  return r;
}

void slice_2d(const std::vector<dent*>& v, int r, int c, int arity, bool tr,
              bool first) {
  (void)first;
  // The slice's bracket: "*" at the row and column positions.
  const dent* d0 = v[0];
  std::vector<symbol*> rows;
  for (dent* d : v)
    if (rows.empty() || rows.back() != d->tup[size_t(r)])
      rows.push_back(d->tup[size_t(r)]);
  std::vector<symbol*> cols = distinct(v, c);
  bool single = rows.size() == 1 && cols.size() == 1;
  Fprintf(out, " [");
  int hw = 2;
  for (int k = 0; k < arity; ++k) {
    if (k) {
      Fprintf(out, ",");
      ++hw;
    }
    if ((k == r || k == c) && !single) {
      Fprintf(out, "*");
      ++hw;
    } else {
      put_sym(d0->tup[size_t(k)]);
      hw += symlen(d0->tup[size_t(k)]);
    }
  }
  Fprintf(out, "]%s", tr ? " (tr)" : "");
  if (single) {
    int vw = d0->split < 0 ? qutflen(d0->text) : d0->len;
    bool nl = hw + gutter_width + vw > display_width;
    Fprintf(out, d0->split < 0 ? "%s%*s%q\n" : "%s%*s%s\n", nl ? "\n" : "",
            gutter_width, "", d0->text);
    return;
  }
  // The columns, each with its cells by row.
  std::vector<tcol> tc(cols.size());
  for (size_t j = 0; j < cols.size(); ++j) {
    tc[j].label = cols[j];
    tc[j].cells.assign(rows.size(), nullptr);
  }
  size_t ri = 0;
  for (dent* d : v) {
    while (rows[ri] != d->tup[size_t(r)]) ++ri;
    size_t j = size_t(std::find(cols.begin(), cols.end(), d->tup[size_t(c)]) -
                      cols.begin());
    tcol& t = tc[j];
    t.cells[ri] = d;
    if (d->split < 0) {
      t.S = std::max(t.S, qutflen(d->text));
    } else {
      t.B = std::max(t.B, d->split);
      t.A = std::max(t.A, d->len - d->split);
    }
    t.nz |= d->nz;
  }
  std::vector<tcol*> live;
  for (tcol& t : tc) {
    t.w = std::max(t.B + t.A, t.S);
    if (!omit_zero_cols || t.nz) live.push_back(&t);
  }
  int Rw = 0;
  for (symbol* s : rows) Rw = std::max(Rw, symlen(s));
  size_t j0 = 0;
  while (j0 < live.size()) {
    // A chunk of columns that fits display_width.
    int R = Rw;
    int left = display_width - (live[j0]->w + gutter_width + R);
    bool narrow = left <= 0;
    if (narrow) R = 0;
    size_t j1 = j0 + 1;
    if (!narrow)
      while (j1 < live.size() && live[j1]->w + gutter_width <= left &&
             (display_max_2d_cols <= 0 ||
              int(j1 - j0) <= display_max_2d_cols)) {
        left -= live[j1]->w + gutter_width;
        ++j1;
      }
    std::vector<tcol*> ch(live.begin() + long(j0), live.begin() + long(j1));
    // Labels wider than their columns ask for extra width.
    std::vector<std::pair<int, tcol*>> need;
    int total = 0;
    for (tcol* t : ch) {
      t->extra = 0;
      int x = symlen(t->label) - (t->w + gutter_width - 1);
      if (x > 0 && x <= left) {
        need.push_back({x, t});
        total += x;
      }
    }
    if (total > left)
      std::stable_sort(need.begin(), need.end(),
                       [](auto& a, auto& b) { return a.first < b.first; });
    for (auto& [x, t] : need) {
      if (x > left) break;
      t->extra = x;
      left -= x;
    }
    std::vector<bool> dollar(ch.size());
    for (size_t j = 0; j < ch.size(); ++j) {
      tcol* t = ch[j];
      if (symlen(t->label) >= t->w + t->extra + gutter_width) {
        dollar[j] = true;
        Fprintf(out, is_number(t->label) ? "\n# $%d = %s" : "\n# $%d = %q",
                int(j + 1), t->label->name);
      }
    }
    // Column starts.
    std::vector<int> st(ch.size());
    int pos = R;
    for (size_t j = 0; j < ch.size(); ++j) {
      pos += gutter_width;
      st[j] = pos;
      pos += ch[j]->w + ch[j]->extra;
    }
    int width = pos;
    Fprintf(out, narrow ? "\n:\n" : "\n:");
    int cur = narrow ? 0 : 1;
    for (size_t j = 0; j < ch.size(); ++j) {
      tcol* t = ch[j];
      char b[24];
      Snprintf(b, sizeof b, "$%d", int(j + 1));
      int lw = dollar[j] ? int(std::strlen(b)) : symlen(t->label);
      int at = std::max(centre(st[j], t->w + t->extra, lw), cur + 1);
      blanks(at - cur);
      if (dollar[j])
        Fprintf(out, "%s", b);
      else
        put_sym(t->label);
      cur = at + lw;
    }
    blanks(width - cur);
    Fprintf(out, " :=");
    // The rows.
    for (size_t i = 0; i < rows.size(); ++i) {
      bool any = false, nz = false;
      for (tcol* t : ch)
        if (dent* d = t->cells[i]) {
          any = true;
          nz |= d->nz;
        }
      if (!any || (omit_zero_rows && !nz)) continue;
      Fprintf(out, "\n");
      put_sym(rows[i]);
      cur = symlen(rows[i]);
      if (cur > R && R == 0) {
        Fprintf(out, "\n");
        cur = 0;
      }
      for (size_t j = 0; j < ch.size(); ++j) {
        tcol* t = ch[j];
        int half = t->extra / 2;
        dent* d = t->cells[i];
        if (!d) {
          int at = !t->S && t->A > 0 ? st[j] + half + t->B
                                     : st[j] + (t->w + t->extra - 1) / 2;
          blanks(at - cur);
          Fprintf(out, ".");
          cur = std::max(cur, at) + 1;
        } else if (d->split < 0) {
          blanks(st[j] + half - cur);
          Fprintf(out, "%q", d->text);
          cur = std::max(cur, st[j] + half) + qutflen(d->text);
        } else {
          cur = put_value(*d, cur, st[j] + half + t->B);
        }
      }
    }
    Fprintf(out, "\n");
    j0 = j1;
  }
}

void disp_2d(ditem& it, TVA* t) {
  std::vector<set*> ord;
  dcol c = format_col(it, 0, t, &ord);
  if (gotbreak) return;
  int arity = it.arity;
  std::vector<dent*> v;
  v.reserve(c.e.size());
  for (dent& d : c.e) v.push_back(&d);
  if (v.empty()) {
    if (!Idde) Fprintf(out, "%s; #empty\n", c.name.c_str());
    if (Idde) Iddestart(arity, 1, 0), Iddenames_put({c.name});
    return;
  }
  int n = int(v.size());
  bool list = Idde || (n <= display_1col && c.L + c.T + 3 <= display_width);
  if (!list && n > display_1col && omit_zero_rows && display_1col) {
    std::vector<dent*> nzv;
    for (dent* d : v)
      if (d->nz) nzv.push_back(d);
    if (int(nzv.size()) <= display_1col) {
      v.swap(nzv);
      list = true;
    }
  }
  if (list) {
    d3sort(v, iota(arity));
    list_2d(c, v, arity);
    return;
  }
  // Rows and columns: the two positions with the most distinct values.
  std::vector<int> cnt(static_cast<size_t>(arity));
  for (int k = 0; k < arity; ++k) cnt[size_t(k)] = int(distinct(v, k).size());
  std::vector<int> order = iota(arity);
  for (int round = 0; round < 2; ++round) {
    int lim = arity - round, best = 0;
    for (int i = 1; i < lim; ++i)
      if (cnt[size_t(order[size_t(i)])] >= cnt[size_t(order[size_t(best)])])
        best = i;
    int p = order[size_t(best)];
    order.erase(order.begin() + best);
    order.push_back(p);
  }
  int a = std::min(order[size_t(arity - 2)], order[size_t(arity - 1)]);
  int b = std::max(order[size_t(arity - 2)], order[size_t(arity - 1)]);
  int na = cnt[size_t(a)], nb = cnt[size_t(b)];
  std::vector<int> spos(order.begin(), order.end() - 2);
  if (arity > 2) {
    // The largest counts found in any one slice.
    std::vector<dent*> u(v);
    d3sort(u, spos);
    na = nb = 0;
    size_t s = 0;
    while (s < u.size()) {
      size_t e = s + 1;
      auto same = [&](size_t x) {
        for (int k : spos)
          if (u[x]->tup[size_t(k)] != u[s]->tup[size_t(k)]) return false;
        return true;
      };
      while (e < u.size() && same(e)) ++e;
      std::vector<dent*> sl(u.begin() + long(s), u.begin() + long(e));
      na = std::max(na, int(distinct(sl, a).size()));
      nb = std::max(nb, int(distinct(sl, b).size()));
      s = e;
    }
  }
  int r = a, col = b;
  if (na - nb < display_transpose) {
    r = b;
    col = a;
  }
  bool tr = r > col;
  std::vector<int> pos = spos;
  pos.push_back(r);
  pos.push_back(col);
  d3sort(v, pos);
  Fprintf(out, "%s", c.name.c_str());
  size_t s = 0;
  bool first = true;
  while (s < v.size() && !poll_step()) {
    size_t e = s + 1;
    while (e < v.size()) {
      bool same = true;
      for (int k : spos)
        if (v[e]->tup[size_t(k)] != v[s]->tup[size_t(k)]) same = false;
      if (!same) break;
      ++e;
    }
    std::vector<dent*> sl(v.begin() + long(s), v.begin() + long(e));
    s = e;
    // A slice that omit_zero_rows or omit_zero_cols empties is left out.
    if (omit_zero_rows || omit_zero_cols) {
      bool nz = false;
      for (dent* d : sl) nz |= d->nz;
      if (!nz) continue;
    }
    if (!first) Fprintf(out, "\n");
    slice_2d(sl, r, col, arity, tr, first);
    first = false;
  }
  Fprintf(out, ";\n");
}

// ---- Several items side by side -------------------------------------------------

void disp_many(dgroup& g, TVA* t) {
  std::vector<dcol> cols;
  int arity = g.items[0].arity;
  // The ordering sets: the first column's, kept at the positions where
  // every column has the same.
  std::vector<set*> ord;
  for (ditem& it : g.items) {
    int nx = is_list(it.e) ? int(it.texts.size()) : 1;
    for (int k = 0; k < nx; ++k) {
      std::vector<set*> o;
      cols.push_back(format_col(it, k, t, &o));
      if (gotbreak) return;
      if (cols.size() == 1) {
        ord = o;
      } else {
        for (size_t i = 0; i < ord.size(); ++i)
          if (i >= o.size() || o[i] != ord[i]) ord[i] = nullptr;
      }
    }
  }
  for (dcol& c : cols) num4sort(c, ord);
  // The rows: the union of the columns' tuples in display order.
  std::vector<dent*> all;
  size_t nall = 0;
  for (dcol& c : cols) nall += c.e.size();
  all.reserve(nall);
  for (dcol& c : cols)
    for (dent& d : c.e) all.push_back(&d);
  d3sort(all, iota(arity));
  std::vector<dent*> rows;
  for (dent* d : all)
    if (rows.empty() || !same_tup(rows.back(), d, arity)) rows.push_back(d);
  size_t nr = rows.size(), nc = cols.size();
  // cell(i, j): column j's entry for row i.
  std::vector<dent*> cells(nr * nc, nullptr);
  auto cell = [&](size_t i, size_t j) -> dent*& { return cells[i * nc + j]; };
  for (size_t j = 0; j < nc; ++j) {
    std::vector<dent*> cv;
    cv.reserve(cols[j].e.size());
    for (dent& d : cols[j].e) cv.push_back(&d);
    d3sort(cv, iota(arity));
    size_t i = 0;
    for (dent* d : cv) {
      while (i < nr && !same_tup(rows[i], d, arity)) ++i;
      if (i < nr) cell(i, j) = d;
    }
  }
  if (Idde) {
    Iddestart(arity, int(nc), int(nr));
    std::vector<std::string> names;
    for (dcol& c : cols) names.push_back(c.name);
    Iddenames_put(names);
    for (size_t i = 0; i < nr; ++i) {
      for (int k = 0; k < arity; ++k) {
        if (k) Fprintf(out, ",");
        put_sym(rows[i]->tup[size_t(k)]);
      }
      for (size_t j = 0; j < nc; ++j) {
        dent* d = cell(i, j);
        if (!d)
          Fprintf(out, ",");
        else
          Fprintf(out, d->split < 0 ? ",%q" : ",%s", d->text);
      }
      Fprintf(out, "\n");
    }
    return;
  }
  std::vector<int> pw(size_t(arity), 0);
  for (dent* d : rows)
    for (int k = 0; k < arity; ++k)
      pw[size_t(k)] = std::max(pw[size_t(k)], symlen(d->tup[k]));
  // The subscripts, each in a field of its position's widest plus one
  // blank that separates it from the next, end at column sub; the values
  // start gutter_width blanks after it (as in a two-dimensional table),
  // and a chunk's width is counted from there.
  int sub = -1;
  for (int w : pw) sub += w + 1;
  int run0 = sub + gutter_width;
  size_t j0 = 0;
  while (j0 < nc) {
    size_t j1 = j0;
    int run = run0;
    while (j1 < nc && (j1 == j0 || run + cols[j1].T <= display_width)) {
      run += cols[j1].T + gutter_width;
      ++j1;
    }
    int left = std::max(0, display_width - run + gutter_width);
    std::vector<int> extra(nc, 0);
    std::vector<std::pair<int, size_t>> need;
    int total = 0;
    for (size_t j = j0; j < j1; ++j) {
      int x = cols[j].namew - (cols[j].T + gutter_width - 1);
      if (x > 0) {
        need.push_back({x, j});
        total += x;
      }
    }
    if (total > left)
      std::stable_sort(need.begin(), need.end(),
                       [](auto& a, auto& b) { return a.first < b.first; });
    for (auto& [x, j] : need) {
      if (x > left) break;
      extra[j] = x;
      left -= x;
    }
    std::vector<bool> dollar(nc, false);
    for (size_t j = j0; j < j1; ++j)
      if (cols[j].namew >= cols[j].T + extra[j] + gutter_width) {
        dollar[j] = true;
        Fprintf(out, "# $%d = %s\n", int(j - j0 + 1), cols[j].name.c_str());
      }
    std::vector<int> st(nc, 0);
    int pos = sub;
    for (size_t j = j0; j < j1; ++j) {
      pos += gutter_width;
      st[j] = pos;
      pos += cols[j].T + extra[j];
    }
    Fprintf(out, ":");
    int cur = 1;
    for (size_t j = j0; j < j1; ++j) {
      char b[24];
      Snprintf(b, sizeof b, "$%d", int(j - j0 + 1));
      std::string nm = dollar[j] ? std::string(b) : cols[j].name;
      int lw = dollar[j] ? int(nm.size()) : cols[j].namew;
      int at = std::max(centre(st[j], cols[j].T + extra[j], lw), cur + 1);
      if (at + lw > display_width && cur > 1) {
        Fprintf(out, "\n");
        cur = 0;
      }
      blanks(at - cur);
      Fprintf(out, "%s", nm.c_str());
      cur = std::max(cur, at) + lw;
    }
    if (std::max(cur, pos) + 2 >= display_width) {
      Fprintf(out, "\n :=\n");
    } else {
      blanks(pos - cur);
      Fprintf(out, " :=\n");
    }
    for (size_t i = 0; i < nr; ++i) {
      bool nz = false;
      for (size_t j = j0; j < j1; ++j)
        if (cell(i, j) && cell(i, j)->nz) nz = true;
      if (omit_zero_rows && !nz) continue;
      int c = 0, start = 0;
      for (int k = 0; k < arity; ++k) {
        blanks(start - c);
        put_sym(rows[i]->tup[size_t(k)]);
        c = start + symlen(rows[i]->tup[size_t(k)]);
        start += pw[size_t(k)] + 1;
      }
      for (size_t j = j0; j < j1; ++j) {
        const dcol& col = cols[j];
        int half = extra[j] / 2;
        dent* d = cell(i, j);
        if (!d) {
          int at = !col.S && col.A > 0 ? st[j] + half + col.B
                                       : st[j] + (col.T + extra[j] - 1) / 2;
          blanks(at - c);
          Fprintf(out, ".");
          c = std::max(c, at) + 1;
        } else if (d->split < 0) {
          blanks(st[j] + half - c);
          Fprintf(out, "%q", d->text);
          c = std::max(c, st[j] + half) + qutflen(d->text);
        } else {
          c = put_value(*d, c, st[j] + half + col.B);
        }
      }
      Fprintf(out, "\n");
    }
    Fprintf(out, ";\n");
    j0 = j1;
    if (j0 < nc) Fprintf(out, "\n");
  }
}

// ---- The command ----------------------------------------------------------------

// The arity of an entity item; -1 for an entity that shows no values, which
// is reported and counted in badx.
int no_values(const char* name, int* badx) {
  error(0, "No values for %s.", name);
  ++*badx;
  return -1;
}

// Whether d (a param or an indexed set) has a default or a defining
// expression, from which members without data get values.
bool has_rule(const xnode* d) {
  if (d->kind == DK_SETI) {
    auto sd = static_cast<const setdcl*>(d);
    return sd->asgn || sd->dflt;
  }
  auto p = static_cast<const param*>(d);
  return p->asgn || p->dflt;
}

// What an index set that has no data misses, as the two texts of "No data
// for %s %s.": a declared set that never got data is "set" and its name,
// an invalid set (standing for missing data) carries both texts.  False
// for a set that has data or can compute its members.
bool missing_data(const set* s, const char** what, const char** name) {
  if (s->sclass == SC_INVALID) {
    const set2p* v = static_cast<const set2p*>(s);
    *what = v->f1 ? static_cast<const char*>(v->f1) : "";
    *name = v->f2 ? static_cast<const char*>(v->f2) : "";
    return true;
  }
  if (xnode* sd = set_without_data(s)) {
    *what = "set";
    *name = xnode_name(sd);
    return true;
  }
  return false;
}

}  // namespace

int darity(xnode* d, int* badx, int* solver_items) {
  int n = d->indexing ? d->indexing->arity : 0;
  // An index set without data: no member can be shown, and the set says
  // what is missing.
  const char *what, *name;
  if (d->indexing)
    for (Index* ix = d->indexing->first; ix; ix = ix->next)
      if (ix->s && missing_data(ix->s, &what, &name)) {
        error(0, "No data for %s %s.", what, name);
        ++*badx;
        return -1;
      }
  // Numeric variables, constraints and objectives show their generated
  // members (a variable's values may come from a solution); symbolic
  // variables and problems have none to show.
  if (is_generated_kind(d)) {
    if (static_cast<convar*>(d)->ninst < 0) return no_values(dcl_name(d), badx);
    if ((d->kind & ~1u) == DK_VAR && solver_items) ++*solver_items;
    return n;
  }
  if (!is_param(d) && d->kind != DK_SETI) return no_values(dcl_name(d), badx);
  // Nothing to show either when no value is held, none can be computed,
  // and a set of the indexing is known to be empty.
  if (d->indexing && !static_cast<xnode2*>(d)->nvals && !has_rule(d))
    for (Index* ix = d->indexing->first; ix; ix = ix->next)
      if (ix->s && ix->s->nmem == 0) return no_values(dcl_name(d), badx);
  return n;
}

namespace {

// What the command holds while it runs, released however it ends.
struct disp_state {
  TVA* t = nullptr;
  charblk* cb = nullptr;
  int kludge = 0;
  ~disp_state() {
    if (t) del_tva(t);
    if (cb) cbfree(cb);
    display_kludge = 0;
    pr_cmd = 0;
    Iddenames.clear();
  }
};

void do_display(std::vector<dgroup>& groups, set_spec* ix, TVA* t) {
  // The "$k" texts of this member.
  size_t nd = size_t(ix ? ix->arity : 0);
  dtrans.resize(nd + size_t(n_itamax));
  for (size_t i = 0; i < size_t(n_itamax); ++i) {
    char b[24];
    Snprintf(b, sizeof b, "$%d", int(i + 1));
    dtrans[nd + i] = b;
  }
  for (size_t i = 0; i < nd; ++i) {
    symbol* s = ix->first->vals[i];
    if (is_number(s) || s->name[0] == '\'' || s->name[0] == '"')
      dtrans[i] = s->name;
    else
      dtrans[i] = std::string("'") + s->name + "'";
  }
  out = display_stream();
  for (dgroup& g : groups) {
    if (gotbreak) break;
    switch (g.kind) {
      case G_SCALAR:
        disp_scalar(g, t);
        break;
      case G_1D:
        disp_1d(g.items[0], t);
        break;
      case G_2D:
        disp_2d(g.items[0], t);
        break;
      case G_MANY:
        disp_many(g, t);
        break;
      case G_SET:
        disp_set(g.items[0].e->L.s, dollarfix(g.items[0].text.c_str(), 0), t);
        break;
      case G_SETS:
        disp_sets(g.items[0], t);
        break;
    }
    if (!Idde) Fprintf(out, "\n");
  }
}

}  // namespace

void display_cmd(int mode, set_spec* ix, expr* items, redirect* r,
                 xrecomp* xr) {
  // Brings the cited declarations up to date (process1 runs xcg).
  if (process1(nullptr)) return;
  // Empty items (bad suffixes) go.
  std::vector<expr*> its;
  for (expr* e = items; e; e = e->next)
    if (!(opcode(e) == 251 && !e->L.p)) its.push_back(e);
  if (its.empty()) return;
  disp_state st;
  pr_cmd = 1;
  mode &= 3;
  Idde = Idde_head = mode;
  Idde2 = -1;
  if (mode == 2) {
    if (!csvdisplay_header) Idde_head = 0;
    if (csvdisplay_restrict & 1) Idde2 = 2;
  }
  disp1 = mode ? csvdisp_info : disp_info;
  Dw = mode ? Dw_max : display_width;
  // A computed file name under an indexing is opened for each member.
  bool each = dispfile_each(r, ix);
  dispfile(each ? nullptr : r, xr);
  compile_start();
  if (ix) {
    ss_setup(ix, nullptr);
    if (each) dispfile_compile(r);
    // The printer writes the dummies of the command's own levels as "$n"
    // (replaced by their values, dollarfix); the dummies of the items'
    // own indexings keep their names.
    display_kludge = 0;
    for (Index* e = ix->first; e; e = e->next)
      display_kludge = std::max(display_kludge, e->level);
  }
  int badx = 0;
  int solver_items = 0;
  // Arities: an entity's number of subscripts (negative: no values), an
  // indexed list's number of positions, 0 for any other expression.
  std::vector<int> ar(its.size(), 0);
  size_t itamax = 0;
  for (size_t i = 0; i < its.size(); ++i) {
    expr* e = its[i];
    if (opcode(e) == OPXNODE)
      // A whole entity, or a suffix on one.
      ar[i] = darity(e->L.x, &badx, &solver_items);
    else if (opcode(e) == OP256 || opcode(e) == OP257) {
      ar[i] = 1;  // a whole synonym array or a suffix on one, over numbers
      ++solver_items;
    }
    else if (opcode(e) == OPPRIMAL || opcode(e) == OPSYMVVAL)
      ar[i] = darity(e->L.x, &badx, &solver_items);  // a scalar variable
    else if (is_list(e))
      itamax = std::max(itamax, size_t(ar[i] = int(e->L.ss->arity)));
  }
  n_itamax = int(itamax);
  auto alone = [&](size_t i) {
    return opcode(its[i]) == 254 ||
           (entity(its[i]) && entity(its[i])->kind == DK_SETI);
  };
  std::vector<dgroup> groups;
  // A condition shown as a number is labelled by the condition.
  auto text_of = [&](expr* e) {
    if (condition_number(e)) e = e->L.e;
    return std::string(sprexdw(Dw, e, &st.cb));
  };
  for (size_t i = 0; i < its.size();) {
    expr* e = its[i];
    int a = ar[i];
    if (opcode(e) == 254) {
      ditem it{e, std::string(sprsetdw(Dw, e->L.s, &st.cb)), {}, -1};
      smri(&e->L.s, 1);
      groups.push_back({G_SET, {it}});
      ++i;
      continue;
    }
    if (alone(i)) {
      groups.push_back({G_SETS, {{e, text_of(e), {}, a}}});
      ++i;
      continue;
    }
    if (a < 0) {
      ++i;
      continue;
    }
    dgroup g;
    do {
      expr* x = its[i];
      ditem it{x, "", {}, a};
      if (is_list(x)) {
        set_spec* ss = x->L.ss;
        ss_setup(ss, nullptr);
        for (expr* y = x->R.e; y; y = y->next) {
          it.texts.push_back(text_of(y->R.e));
          mri(&y->R.e, 1);
        }
        ss_teardown(ss);
        if (!it.texts.empty()) it.text = it.texts[0];
      } else {
        it.text = text_of(x);
        // An entity is read member by member; an expression is compiled.
        int code;
        if (!entity(x) && !whole_item(x, &code) && opcode(x) != OP256 &&
            opcode(x) != OP257)
          mri(&it.e, 1);
      }
      g.items.push_back(std::move(it));
      ++i;
    } while (i < its.size() && !alone(i) && ar[i] == a);
    bool many = a && (g.items.size() > 1 || g.items[0].texts.size() > 1);
    g.kind = many ? G_MANY : a == 0 ? G_SCALAR : a == 1 ? G_1D : G_2D;
    groups.push_back(std::move(g));
  }
  if (ix) ss_teardown(ix);
  display_kludge = 0;
  st.t = compile_end(xr);
  // Variables' values are those of the current problem, collected and
  // presolved first.
  if (solver_items && !badx && trans_state <= 2) st.t->ac = get_ts3(st.t->ac);
  if (!badx && Idde2 == mode && groups.size() > 1) {
    restrict_error(int(groups.size()));
    ++badx;
  }
  if (badx) return;
  if (!ix) {
    do_display(groups, nullptr, st.t);
  } else if (TVA* c = ss_begin(ix, st.t)) {
    do {
      if (each) dispfile_member(r, c);
      do_display(groups, ix, c);
      if (gotbreak) {
        ss_end1(ix, c);
        break;
      }
    } while (ss_continue(ix, c));
  }
  item_written(display_stream());
}

void disp_reinit() {
  out = nullptr;
  Dw = 0;
  disp1 = num_format{};
  std::vector<std::string>().swap(dtrans);
  Iddenames.clear();
  Idde = Idde_head = 0;
  Idde2 = -1;
}

}  // namespace vexo
