// The set and indexing printer and the string forms.
#include "report/prset.h"

#include <cstring>

#include "eval/indexing.h"
#include "eval/optab.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "eval/slice.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "report/indextab.h"
#include "report/prex.h"
#include "session/startup.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

xnode* x_current;
int32_t in_snapshot;

// The precedence of a set expression by class: the operators bind as the
// grammar reads them (union, diff and symdiff loosest, then inter, then
// cross); forms that delimit themselves (a subscripted set, an if with its
// own parentheses, a carried text) count as tightest.
static const uint8_t setprec[N_SET_CLASSES] = {
    0,          // 0
    7, 7, 7,    // 1-3
    5,          // 4 range
    2, 2, 2,    // 5-7 union, diff, symdiff
    4,          // 8 inter
    7,          // 9 setof
    1,          // 10 iterated union
    3,          // 11 iterated inter
    7,          // 12 if (written in parentheses)
    7, 7,       // 13, 14
    6,          // 15 cross
    7, 7, 7,    // 16-18
    7,          // 19 subscripted
    7,          // 20 invalid
    7, 7, 7, 7  // 21-24
};
static const char* const settype[N_SET_CLASSES] = {
    nullptr,   "ENUM",  "SPEC",  "SPEC_SET", "RANGE", "union", "diff",
    "symdiff", "inter", "SETOF", "union",    "inter", " if "};

static int sprec(const set* s) {
  return s && s->sclass < N_SET_CLASSES ? setprec[s->sclass] : 7;
}

static void set_paren(set* s) {
  put("(");
  prset(s);
  put(")");
}

// Whether the text prset writes for s ends in an expression, the member
// of a setof of single members: a comparison or `in` written after it
// would be read as part of that member.
static bool open_end(const set* s) {
  while (s && !(s->owner && s->owner != x_current && show_opprint)) {
    switch (s->sclass) {
      case SC_SETOF:
        return s->arity <= 1;
      case SC_UNION:
      case SC_DIFF:
      case SC_SYMDIFF:
      case SC_INTER: {
        const set* r = static_cast<const set*>(static_cast<const set2p*>(s)->f2);
        if (sprec(r) <= setprec[s->sclass]) return false;
        s = r;
        continue;
      }
      case SC_ITUNION:
      case SC_ITINTER: {
        const set* body = static_cast<const set*>(static_cast<const set3p*>(s)->f2);
        if (sprec(body) < 3) return false;
        s = body;
        continue;
      }
      case SC_ORDERED:
        s = static_cast<const set*>(static_cast<const set2p*>(s)->f1);
        continue;
      case SC_CROSS: {
        const set3p* b = static_cast<const set3p*>(s);
        if (s->cword < 1) return false;
        const set* last = static_cast<set**>(b->f1)[s->cword - 1];
        if (sprec(last) <= (s->cword > 1 ? 6 : 5)) return false;
        s = last;
        continue;
      }
      default:
        return false;
    }
  }
  return false;
}

static bool is_one(const expr* e) {
  return e && e->opword == opword(OPNUM, EF_CONST | EF_NUMERIC) && e->L.d == 1;
}

// The name the front end keeps in a dummy node until compilation.
static const char* node_name(const expr* d) {
  const symbol* s = reinterpret_cast<const symbol*>(d->op);
  return s ? s->name : "?";
}

// Writes the members of a setof or a literal set: a chain of n-tuples
// flattened, tuples joined by sep.
static void put_tuples(expr* chain, int arity, const char* sep,
                       bool paren_tuples) {
  int i = 0;
  for (expr* x = chain; x; x = x->next, ++i) {
    if (i % arity == 0) {
      if (i) {
        if (paren_tuples) put(")");
        put(sep);
      }
      if (paren_tuples) put("(");
    } else {
      put(",");
    }
    prex(x);
  }
  if (i && paren_tuples) put(")");
}

void prset(set* s) {
  for (;;) {
    if (!s ||
        (s->kind != SET_KIND && s->kind != 27 && s->kind != SET_BUILTIN_KIND))
      bug("prset given non-set type 0x%x", s ? s->kind : 0);
    if (s->owner && s->owner != x_current && show_opprint) {
      put(dcl_name(s->owner));
      if (s->owner->kind != DK_SET && s->owner->kind != DK_SETI) put(".index");
      return;
    }
    switch (s->sclass) {
      case SC_ENUM: {
        bool braces = !(in_snapshot & 2);
        if (braces) put("{");
        bool first = true;
        for (setmem* m = s->first; m; m = m->next) {
          if (m->ord < 0) continue;
          if (!first) put(",");
          first = false;
          prmem(s->arity, m->tup());
        }
        if (braces) put(" }");
        return;
      }
      case SC_SPECSET:
        pr_set_spec(static_cast<set_spec*>(s));
        return;
      case SC_RANGE: {
        set3p* r = static_cast<set3p*>(s);
        prex_prec(static_cast<expr*>(r->f1), prec[OPPLUS]);
        put(" .. ");
        prex_prec(static_cast<expr*>(r->f2), prec[OPPLUS]);
        expr* by = static_cast<expr*>(r->f3);
        if (by && !is_one(by)) {
          put(" by ");
          prex_prec(by, prec[OPPLUS]);
        }
        return;
      }
      case SC_UNION:
      case SC_DIFF:
      case SC_SYMDIFF:
      case SC_INTER: {
        set2p* b = static_cast<set2p*>(s);
        int p = setprec[s->sclass];
        set* l = static_cast<set*>(b->f1);
        set* r = static_cast<set*>(b->f2);
        if (sprec(l) < p)
          set_paren(l);
        else
          prset(l);
        putf(" %s ", settype[s->sclass]);
        if (sprec(r) <= p) {
          set_paren(r);
          return;
        }
        s = r;
        continue;
      }
      case SC_SETOF: {
        set2p* b = static_cast<set2p*>(s);
        put(" setof ");
        pr_set_spec(static_cast<set_spec*>(b->f1));
        put_tuples(static_cast<expr*>(b->f2), s->arity ? s->arity : 1, ",",
                   s->arity > 1);
        return;
      }
      case SC_ITUNION:
      case SC_ITINTER: {
        set3p* b = static_cast<set3p*>(s);
        putf(" %s ", settype[s->sclass]);
        pr_set_spec(static_cast<set_spec*>(b->f1));
        set* body = static_cast<set*>(b->f2);
        // The body reaches over inter and cross but not over union: a
        // looser body keeps its parentheses.
        if (sprec(body) < 3) {
          set_paren(body);
          return;
        }
        s = body;
        continue;
      }
      case SC_IF: {
        set3p* b = static_cast<set3p*>(s);
        put("(if ");
        prex(static_cast<expr*>(b->f1));
        put(" then ");
        prset(static_cast<set*>(b->f2));
        put(" else ");
        prset(static_cast<set*>(b->f3));
        put(")");
        return;
      }
      case SC_ORDERED:
        s = static_cast<set*>(static_cast<set2p*>(s)->f1);
        continue;
      case SC_LITERAL: {
        set3p* b = static_cast<set3p*>(s);
        put(" {");
        int ar = s->arity ? s->arity : 1;
        put_tuples(static_cast<expr*>(b->f1), ar, ", ", ar > 1);
        put("}");
        return;
      }
      case SC_CROSS: {
        set3p* b = static_cast<set3p*>(s);
        set** f = static_cast<set**>(b->f1);
        for (int i = 0; i < s->cword; ++i) {
          if (i) put(" cross ");
          // cross groups to the left: a product as a later factor keeps
          // its parentheses.
          if (sprec(f[i]) <= (i ? 6 : 5))
            set_paren(f[i]);
          else
            prset(f[i]);
        }
        return;
      }
      case SC_SYSENUM:
        put("/*Builtin set*/");
        return;
      case SC_SUBSCR: {
        set3p* b = static_cast<set3p*>(s);
        putf(" %s ", dcl_name(static_cast<xnode*>(b->f1)));
        pr_subscr(static_cast<expr*>(b->f2));
        return;
      }
      case SC_INVALID:
      case SC_SLICE:
      case SC_NAMED:
        put(dcl_name(s->owner));
        return;
      case SC_INTERVAL: {
        struct set_interval* iv = static_cast<struct set_interval*>(s);
        if (iv->name) {
          put(iv->name);
          return;
        }
        putf("int%s%s", (iv->type & 4) ? "eger" : "erval",
             (iv->type & 2) ? "[" : "(");
        prex(iv->lower);
        put(", ");
        prex(iv->upper);
        put((iv->type & 1) ? "]" : ")");
        return;
      }
      default:
        pbi_flush();
        bug("unexpected subtype %d in prset", int(s->sclass));
    }
  }
}

void prset_phrase(set* s, bool more) {
  if (more && open_end(s))
    set_paren(s);
  else
    prset(s);
}

// The slice an item runs over when its tuple fixes components (a slice
// of no declaration), or null.
static set3p* item_slice(const Index* e) {
  set* s = e->s;
  return s && s->sclass == SC_SLICE && !s->owner ? static_cast<set3p*>(s)
                                                 : nullptr;
}

// An item's tuple: its dummies and, for a slice, the fixed components in
// their positions (a selection keeps a dummy at each position; its fixed
// values are written with the condition).
static void put_item_tuple(const Index* e, set3p* sl) {
  const slice_rec* r = sl ? static_cast<const slice_rec*>(sl->f2) : nullptr;
  bool proj = r && !r->whole;
  int n = proj ? r->arity : e->ndum;
  if (!n) return;
  if (n > 1) put("(");
  const expr* d = e->dummies;
  const expr* key = proj ? static_cast<const expr*>(sl->f1) : nullptr;
  for (int p = 0, f = 0; p < n; ++p) {
    if (p) put(",");
    const expr* c;
    if (proj && f < r->nfix && r->pos[f] == p) {
      c = key;
      key = key->next;
      ++f;
    } else {
      c = d;
      d = d->next;
    }
    if (opcode(c) == OPDUMMY)
      put(node_name(c));
    else
      prex(const_cast<expr*>(c));
  }
  put(n > 1 ? ") in " : " in ");
}

// The conditions a selection stands for: "i == value" per fixed position.
static int put_selections(set_spec* ss) {
  int said = 0;
  for (Index* e = ss->first; e; e = e->next) {
    set3p* sl = item_slice(e);
    const slice_rec* r = sl ? static_cast<const slice_rec*>(sl->f2) : nullptr;
    if (!r || !r->whole) continue;
    const expr* key = static_cast<const expr*>(sl->f1);
    for (int f = 0; f < r->nfix; ++f, key = key->next) {
      const expr* d = e->dummies;
      for (int p = 0; p < r->pos[f]; ++p) d = d->next;
      put(said++ ? " && " : ": ");
      put(node_name(d));
      put(" == ");
      prex(const_cast<expr*>(key));
    }
  }
  return said;
}

void pr_set_spec(set_spec* ss) {
  if (int64_t{pbi} + 9 < disp_width)
    pbinl = 0;
  else if (pbi > 2)
    pbinl = 1;
  put("{");
  if (!ss->first) put("if ");
  ind_hold();
  for (Index* e = ss->first; e; e = e->next) {
    if (e != ss->first) put(", ");
    set3p* sl = item_slice(e);
    if (e->dummies || sl) put_item_tuple(e, sl);
    prset(sl ? static_cast<set*>(sl->f3) : e->s);
    // Stored after its set is written: an indexing inside that set used
    // the same level before this entry opened it.
    ind_enter(e);
  }
  int said = put_selections(ss);
  if (ss->cond) {
    if (ss->first) put(said ? " && " : ": ");
    bool paren = said && prec[opcode(ss->cond)] < prec[OPAND];
    if (paren) put("(");
    prex(ss->cond);
    if (paren) put(")");
  }
  put("} ");
}

// ---- string forms ---------------------------------------------------------

static char* sabuf0;    // start of the string buffer's block
static char* sabuf;     // end of the text so far
static char* sabufend;  // end of the usable space
static int sacl = -1;   // size class of the block

void sabuf_add(const char* t, size_t n) {
  if (sabuf0 && sabuf + n + 1 <= sabufend) {
    std::memcpy(sabuf, t, n);
    sabuf += n;
    *sabuf = 0;
    return;
  }
  size_t held = sabuf0 ? static_cast<size_t>(sabuf - sabuf0) : 0;
  size_t size = 512;
  while (size < n + held + 128) size *= 2;
  int k = htcl(size);
  char* b = static_cast<char*>(new_mblk(k));
  if (sabuf0) {
    std::memcpy(b, sabuf0, held);
    del_mblk(sacl, sabuf0);
  }
  sabuf0 = b;
  sabuf = b + held;
  sabufend = b + size - 3;
  sacl = k;
  std::memcpy(sabuf, t, n);
  sabuf += n;
  *sabuf = 0;
}

// Runs write in string mode (1: the end adds ";\n", 2: nothing) at the
// width; returns the text, valid until the next string form.
template <class F>
static const char* stringed(int width, int mode, F write) {
  disp_width = width;
  stringing = mode;
  if (sabuf0) sabuf = sabuf0;
  sabuf_add("", 0);
  write();
  pbi_flush();
  stringing = 0;
  return sabuf0;
}

cstr* sprex(expr* e) {
  return new_cstring(stringed(display_width, 1, [&] { prex(e); }));
}

cstr* sprex3(expr* e, int p) {
  MD_prec1 = p;
  return new_cstring(stringed(Dw_max, 2, [&] { prex(e); }));
}

cstr* sprex2(expr* e) { return sprex3(e, MD_prec); }

char* sprexdw(int width, expr* e, charblk** cb) {
  const char* t = stringed(width, 2, [&] { prex(e); });
  return cbcopy(cb, t, std::strlen(t) + 1);
}

char* sprsetdw(int width, set* s, charblk** cb) {
  show_opprint = 1;
  const char* t = stringed(width, 2, [&] { prset(s); });
  return cbcopy(cb, t, std::strlen(t) + 1);
}

cstr* sprset(set* s, int flag) {
  show_opprint = 1;
  return new_cstring(stringed(display_width, flag ? 2 : 1, [&] {
    if (!flag) put("within ");
    prset(s);
  }));
}

const char* scheck(check* c, expr* e) {
  return tostring(stringed(display_width, 1, [&] {
    if (e) {
      print_values = 1;
      put("check ");
      prex(e);
      print_values = 0;
      return;
    }
    put("check");
    if (c->indexing) pr_set_spec(c->indexing);
    put(": ");
    prex(c->cond);
  }));
}

// ---- literals and tuples -------------------------------------------------

char* make_lit(const char* text, char** buf, int* k) {
  size_t n = std::strlen(text);
  *k = htcl(2 * n + 3);
  char* b = static_cast<char*>(new_mblk(*k));
  char* p = b;
  *p++ = '\'';
  for (const char* t = text; *t; ++t) {
    if (*t == '\'') *p++ = '\'';
    if (*t == '\n') *p++ = '\\';
    *p++ = *t;
  }
  *p++ = '\'';
  *p = 0;
  *buf = b;
  return litfix(b);
}

static char* tupbuf;
static int tupk = -1;

const char* prtuple(symbol* const* syms, int n) {
  size_t len = 1;
  for (int i = 0; i < n; ++i) len += std::strlen(syms[i]->name) + 1;
  if (tupk < 0 || len > (size_t{8} << tupk)) {
    if (tupk >= 0) del_mblk(tupk, tupbuf);
    tupk = htcl(len);
    tupbuf = static_cast<char*>(new_mblk(tupk));
  }
  char* p = tupbuf;
  for (int i = 0; i < n; ++i) {
    if (i) *p++ = ',';
    size_t m = std::strlen(syms[i]->name);
    std::memcpy(p, syms[i]->name, m);
    p += m;
  }
  *p = 0;
  return tupbuf;
}

void prset_reset() {
  sabuf0 = sabuf = sabufend = nullptr;
  sacl = -1;
  tupbuf = nullptr;
  tupk = -1;
  x_current = nullptr;
  in_snapshot = 0;
}

}  // namespace vexo
