// Set and param statements of data mode.  Items are handled as they are
// read: each complete group of a list or each table entry becomes a member
// or a value at once, so a statement needs no buffer of its items.
#include "data/spdata.h"

#include <cstring>
#include <string>
#include <vector>

#include "compiler/compdecl.h"
#include "compiler/recomp.h"
#include "data/datatok.h"
#include "data/internal.h"
#include "data/readdata.h"
#include "data/values.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "frontend/strexpr.h"
#include "frontend/vardcl.h"
#include "instance/stamps.h"
#include "report/prset.h"
#include "support/message.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

// The state of one statement body.
struct body {
  xnode* d;             // the declaration read
  std::string who;      // set statements: the set's name for messages
  set* target;          // set statements: the set receiving members
  dcol* col;            // param statements: the collector
  int n;                // components of a member, subscripts of a value
  tmpl tp;              // the template in force
  bool tmpl_given;      // tp comes from the statement
  bool tr;              // the next table is transposed
  symbol* grp[TUPMAX];  // the current group's components or subscripts
  int ng;               // of them read
  int nitems;           // items since the list began
  std::string first;    // text of the current table row's first item
};

void add_member(body& b, symbol** tup) {
  if (set_addmem(b.target, tup)) duplicate(tup, b.n, b.who.c_str());
}

// One item of a plain list.  False after an error (statement skipped).
bool list_item(body& b, int t) {
  // A template with ":" slots fills them from a table's column labels: a
  // plain list has none to give.
  if (b.tp.ncolon) {
    bad(t, "Expected : after pattern involving \":\".");
    return false;
  }
  ++b.nitems;
  if (!b.col) {
    b.grp[b.ng++] = item_sym(t);
    if (b.ng == b.tp.nfree) {
      symbol* tup[TUPMAX];
      fill(b.tp, b.grp, nullptr, tup);
      b.ng = 0;
      add_member(b, tup);
    }
    return true;
  }
  if (b.ng < b.tp.nfree) {
    b.grp[b.ng++] = item_sym(t);
    return true;
  }
  symbol* tup[TUPMAX];
  fill(b.tp, b.grp, nullptr, tup);
  b.ng = 0;
  if (!put_value(b.col, t, tup)) {
    bad(t, "expected number");
    return false;
  }
  return true;
}

// The end of a plain list: an incomplete group is reported and dropped.
void end_list(body& b) {
  if (b.ng > 0) {
    int group = b.tp.nfree + (b.col ? 1 : 0);
    if (b.nitems == 1 && !b.tmpl_given) {
      if (b.col)
        Squawk("need %d subscript(s) and a number", b.n);
      else
        Squawk("members of %s need %d components", b.d->name->name, b.n);
    } else {
      missing_msg(group - b.ng, b.grp[0]->name);
    }
    b.ng = 0;
  }
  b.nitems = 0;
}

// The components of a template or tuple, after its opening token, up to
// close.  *tr is set for "(tr)".  False after an error.
bool read_tmpl(body& b, int close, tmpl* out, bool* tr) {
  int cnt = 0, nfree = 0, ncolon = 0;
  bool maybe_tr = false;
  *tr = false;
  int t = token();
  for (;;) {
    int8_t k = SLOT_FIXED;
    symbol* s = nullptr;
    if (is_item(t)) {
      if (cnt == 0 && is_word(t, "tr")) maybe_tr = true;
      s = item_sym(t);
    } else if (t == '*') {
      k = SLOT_FREE;
      if (++nfree > TUPMAX) {
        bad(t, "too many *'s");
        return false;
      }
    } else if (t == DT_COLON) {
      k = SLOT_COLON;
      if (++ncolon > TUPMAX) {
        bad(t, "too many :'s");
        return false;
      }
    } else {
      bad(t, "expected symbol or *");
      return false;
    }
    if (cnt < TUPMAX) {
      out->kind[cnt] = k;
      out->fixed[cnt] = s;
    }
    ++cnt;
    t = token();
    if (t == ',') {
      t = token();
      continue;
    }
    if (t == close) break;
    bad(t, close == ')' ? "expected , * or )" : "expected , * or ]");
    return false;
  }
  if (cnt == 1 && maybe_tr && close == ')') {
    *tr = true;
    return true;
  }
  if (cnt != b.n) {
    bad(t, "%s needs %d, not %d subscripts", b.d->name->name, b.n, cnt);
    return false;
  }
  out->n = cnt;
  out->nfree = nfree;
  out->ncolon = ncolon;
  return true;
}

// "(tr)" in a param statement, after the "(".  False after an error.
bool param_tr(body& b) {
  int t = token();
  if (is_word(t, "tr")) {
    t = token();
    if (t == ')') {
      b.tr = true;
      return true;
    }
  }
  bad(t, "expected (tr)");
  return false;
}

// A ":" table, after the ":".  Returns the token that ended it, or -1
// after an error (the statement has been skipped).
int read_table(body& b) {
  // Column labels by section ("a : b : c" sections of a header for a
  // template with ":" slots).
  std::vector<std::vector<symbol*>> sec(1);
  int t = token();
  for (;;) {
    if (is_item(t)) {
      sec.back().push_back(item_sym(t));
    } else if (t == DT_COLON) {
      sec.emplace_back();
    } else if (t == DT_ASSIGN) {
      break;
    } else if (t != ',') {
      bad(t, sec.size() == 1 && sec[0].empty()
                 ? "expected a symbol or number between : and :="
                 : "expected :=");
      return -1;
    }
    t = token();
  }
  int nsec = static_cast<int>(sec.size());
  const tmpl& tp = b.tp;
  if (nsec == 1 && sec[0].empty()) {
    bad(t, "expected a symbol or number between : and :=");
    return -1;
  }
  if (nsec > 18) {
    bad(t, "Too many : ... headers");
    return -1;
  }
  for (auto& s : sec) {
    if (s.empty()) {
      bad(t, "empty : ... : header");
      return -1;
    }
    if (s.size() != sec[0].size()) {
      bad(t, "irregular : ... : header");
      return -1;
    }
  }
  if (!tp.ncolon && nsec > 1) {
    bad(t, "Ill-formed header -- too many colons.");
    return -1;
  }
  if (tp.ncolon && nsec != tp.ncolon) {
    bad(t, "Expected %d : ... sections; found %d", tp.ncolon, nsec);
    return -1;
  }
  if (tp.ncolon && b.tr) {
    error(2, "Ignoring \"(tr)\" because \":\" appeared in %s pattern.",
          b.col ? "[...]" : "(...)");
    b.tr = false;
  }
  int ncols = static_cast<int>(sec[0].size());
  int rowlen = tp.ncolon ? tp.nfree : tp.nfree - 1;
  int rowend = rowlen + ncols;
  symbol* frees[TUPMAX];
  symbol* cols[TUPMAX];
  symbol* tup[TUPMAX];
  // Where the row's items go among the free slots: after the column's
  // slot when transposed, else before it.
  int off = !tp.ncolon && b.tr ? 1 : 0;
  int colslot = off ? 0 : rowlen;
  int p = 0;
  t = token();
  for (;; t = token()) {
    if (t == ',') continue;
    if (!is_item(t)) {
      if (t == DT_SEMI || t == '(' || t == '[' || t == DT_COLON) break;
      bad(t, "expected ; %s or number", b.col ? dflt_sym_text() : "-");
      return -1;
    }
    if (p == 0) b.first = tok;
    if (p < rowlen) {
      frees[off + p++] = item_sym(t);
      continue;
    }
    int j = p - rowlen;
    if (tp.ncolon) {
      for (int k = 0; k < nsec; ++k) cols[k] = sec[k][j];
    } else {
      frees[colslot] = sec[0][j];
    }
    fill(tp, frees, cols, tup);
    if (!b.col) {
      if (is_word(t, "+")) {
        add_member(b, tup);
      } else if (!is_word(t, "-")) {
        bad(t, "expected ; + or -");
        return -1;
      }
    } else if (!put_value(b.col, t, tup)) {
      bad(t, "expected ; %s or number", dflt_sym_text());
      return -1;
    }
    if (++p == rowend) p = 0;
  }
  if (p > 0) missing_msg(rowend - p, b.first.c_str());
  b.tr = false;
  return t;
}

// After "(" (sets) or "[" (params): a template, a tuple, a bracketed
// subscript with its value, or "(tr)".  Returns the next token to handle,
// or -1 after an error.
int bracket(body& b) {
  tmpl nt;
  bool tr;
  if (!read_tmpl(b, b.col ? ']' : ')', &nt, &tr)) return -1;
  if (tr) {
    b.tr = true;
    return token();
  }
  if (!nt.nfree && !nt.ncolon) {
    symbol* tup[TUPMAX];
    fill(nt, nullptr, nullptr, tup);
    if (!b.col) {
      add_member(b, tup);
      return token();
    }
    int t = token();
    if (!put_value(b.col, t, tup)) {
      bad(t, "expected number");
      return -1;
    }
    return token();
  }
  b.tp = nt;
  b.tmpl_given = true;
  int t = token();
  if (nt.ncolon && t != DT_COLON) {
    bad(t, "Expected : after pattern involving \":\".");
    return -1;
  }
  return t;
}

// A statement body from token t up to and including its ";".
void read_body(body& b, int t) {
  for (;;) {
    switch (t) {
      case DT_SEMI:
        end_list(b);
        return;
      case ',':
        t = token();
        continue;
      case DT_WORD:
      case DT_NUMBER:
        if (!list_item(b, t)) return;
        t = token();
        continue;
      case DT_COLON:
        end_list(b);
        t = read_table(b);  // the token that ended the table comes next
        if (t < 0) return;
        continue;
      case '(':
      case '[':
        end_list(b);
        if ((t == '[') == (b.col != nullptr)) {
          t = bracket(b);
          if (t < 0) return;
          continue;
        }
        if (t == '(') {
          if (!param_tr(b)) return;
          t = token();
          continue;
        }
        [[fallthrough]];
      default:
        bad(t,
            b.col ? "expected ; ( [ : or symbol" : "expected ; ( : or symbol");
        return;
    }
  }
}

}  // namespace

set* fresh_members(setdcl* sd) {
  set* v = sd->value;
  // The model's default stands in for data that never came: it is neither
  // emptied nor released here (the value slot holds no count of it).
  bool stand_in = v == sd->dflt;
  if (stand_in || v->refcnt > 1) {
    if (!stand_in) sdelete(v);
    set* was = v;
    v = set_enum(new_enum(), sd->dimen);
    v->owner = sd;
    sd->value = v;
    // The compiled declaration must not put its old record back when it is
    // compiled again: the new record is its data now.
    set* logged = retained_renew(&sd->xr, &sd->value, v);
    if (logged && logged != was) sdelete(logged);
  } else {
    free_members(v);
  }
  v->nmem = 0;
  return v;
}

namespace {

// The subscript of an indexed set statement, after its "[": at most TUPMAX
// items separated by commas up to "]".  Returns the count, or -1 after an
// error; *tp receives the token after "]".
int read_subscript(symbol** sub, int* tp) {
  int n = 0;
  int t = token();
  for (;;) {
    if (!is_item(t)) {
      bad(t, "expected number or symbol");
      return -1;
    }
    if (n == TUPMAX) {
      bad(t, "expected , or ]");
      return -1;
    }
    sub[n++] = item_sym(t);
    t = token();
    if (t == ']') break;
    if (t != ',') {
      bad(t, "expected , or ]");
      return -1;
    }
    t = token();
  }
  *tp = token();
  return n;
}

void set_stmt(setdcl* sd) {
  eofmsg = "end of file within set data";
  int t = token();
  if (defined(t, sd, 0)) return;
  body b{};
  b.d = sd;
  b.n = sd->dimen;
  tmpl_all_free(&b.tp, b.n);
  if (sd->kind & 1) {
    if (t != '[') {
      bad(t, "expected [");
      return;
    }
    symbol* sub[TUPMAX];
    int n = read_subscript(sub, &t);
    if (n < 0) return;
    int want = sd->indexing ? sd->indexing->arity : 0;
    if (n != want) {
      bad(t, "%s needs %d, not %d subscripts", sd->name->name, want, n);
      return;
    }
    int64_t ord = sd->dindex ? set_lookup(sd->dindex, sub) : -1;
    if (ord >= 0 && static_cast<set**>(sd->vals)[ord] &&
        !(sd->stat && (sd->stat[ord] & MS_FROMDFLT))) {
      bad(t, "set %s already defined", sub_name(sd, sub));
      return;
    }
    b.who = sub_name(sd, sub);
    b.target = gsfinish(sd, sub);
  } else {
    if (t == '[') {
      bad(t, "%s is not a set of sets", sd->name->name);
      return;
    }
    // The model's default already gave the set its value: it was generated
    // from it (reset or update data allow data over it).
    if (sd->dflt && sd->value == sd->dflt && sd->xr.stamp > 0 &&
        !(sd->dflags & DF_OVERDFLT)) {
      bad(t, "%s already has a value computed from its default",
          sd->name->name);
      return;
    }
    sd->dflags &= ~DF_OVERDFLT;
    b.who = sd->name->name;
    b.target = fresh_members(sd);
  }
  if (t == DT_ASSIGN) t = token();
  read_body(b, t);
  ts_update(sd, 0);
}

// The body of a scalar param statement from token t.
void scalar_body(dcol* c, int t) {
  if (t == DT_SEMI) return;
  if (t == '[' || t == '(' || t == DT_COLON) {
    bad(t, "%s is not subscripted", c->d->name->name);
    return;
  }
  if (!put_value(c, t, nullptr)) {
    bad(t, "expected number");
    return;
  }
  t = token();
  if (t != DT_SEMI) bad(t, "expected ;");
}

// The value after the word `default` made the default of the param d.
// False after reporting a bad value and skipping the statement.
bool getdflt(xnode* d) {
  int t = token();
  bool symb = val_symbolic(d);
  if (t == DT_NUMBER) {
    new_deflt(d, tok_number(), nullptr);
  } else if (symb && t == DT_WORD) {
    new_deflt(d, 0, tok);
  } else {
    bad(t, symb ? "expected number or symbol" : "expected number");
    return false;
  }
  return true;
}

bool is_param(const xnode* d) {
  uint32_t k = d->kind & ~1u;
  return k == DK_PARAM || k == DK_SPARAM;
}

void param_stmt(xnode2* d) {
  const char* name = d->name->name;
  int t = token();
  int kind = 0;
  if (t == DT_DOT) {
    t = token();
    if (t != DT_WORD || tokquote) {
      bad(t, "Expected suffix after \"%s.\"", name);
      return;
    }
    if (const char* msg = sufchk(d, tok, &kind)) {
      bad(t, "%s", msg);
      return;
    }
    t = token();
    if (t == DT_DOT) {
      t = token();
      bad(t, t == DT_WORD ? "Too many \".\"s" : "Superfluous \".\" seen.");
      return;
    }
  } else if ((d->kind & ~1u) == DK_PROB) {
    bad(t, "%s is not a %s", name, "param (or var or constraint or objective)");
    return;
  }
  Typeinit = tok_type;
  eofmsg = "end of file within param data";
  if (!(d->kind & 1) && d->nvals && d->stat && (d->stat[0] & MS_COMPUTED) &&
      !(d->dflags & DF_DATADFLT)) {
    bad(t, "%s already has a value computed from its default", name);
    return;
  }
  if (defined(t, d, kind)) return;
  dcol c;
  dcol_start(&c, d, kind);
  param_body(&c, t);
}

}  // namespace

void tmpl_all_free(tmpl* p, int n) {
  p->n = n;
  p->nfree = n;
  p->ncolon = 0;
  for (int i = 0; i < n; ++i) p->kind[i] = SLOT_FREE;
}

void fill(const tmpl& tp, symbol* const* frees, symbol* const* cols,
          symbol** out) {
  int f = 0, c = 0;
  for (int i = 0; i < tp.n; ++i) {
    switch (tp.kind[i]) {
      case SLOT_FIXED:
        out[i] = tp.fixed[i];
        break;
      case SLOT_FREE:
        out[i] = frees[f++];
        break;
      default:
        out[i] = cols[c++];
        break;
    }
  }
}

bool is_item(int t) { return t == DT_WORD || t == DT_NUMBER; }

bool is_word(int t, const char* w) {
  return t == DT_WORD && !tokquote && !std::strcmp(tok, w);
}

symbol* item_sym(int t) {
  return t == DT_NUMBER ? Number(tok_number()) : Symbol(tok, 1);
}

int put_value(dcol* c, int t, symbol* const* tuple) {
  if (is_dflt_sym(t)) return 1;
  void* cell;
  if (t == DT_NUMBER) {
    if ((cell = addval(c, tuple))) el_number(c, cell, tok_number());
    return 1;
  }
  if (t == DT_WORD && c->kind < 3 && val_symbolic(c->d)) {
    if ((cell = addval(c, tuple))) el_string(c, cell, new_cstring(tok));
    return 1;
  }
  return 0;
}

// param_body without the move of the data into the declaration.
static void param_rest(dcol* c, int t) {
  xnode2* d = c->d;
  bool dflt_ok = is_param(d) && c->kind == 0;
  if (dflt_ok && is_word(t, "default")) {
    if (!getdflt(d)) return;
    t = token();
  }
  if (t == DT_ASSIGN) {
    t = token();
    if (dflt_ok && is_word(t, "default")) {
      if (!getdflt(d)) return;
      t = token();
    }
  }
  if (!c->indx) {
    scalar_body(c, t);
    return;
  }
  body b{};
  b.d = d;
  b.col = c;
  b.n = d->indexing->arity;
  tmpl_all_free(&b.tp, b.n);
  read_body(b, t);
}

void param_body(dcol* c, int t) {
  // What was read stays, also when the input ends inside the statement or
  // the command is aborted.
  try {
    param_rest(c, t);
  } catch (...) {
    end_param(c);
    throw;
  }
  end_param(c);
}

int defined(int t, xnode* d, int kind) {
  uint32_t k = d->kind & ~1u;
  const char* why = nullptr;
  xnode2* x = static_cast<xnode2*>(d);
  if (d->num < N_System_Pars) {
    why = "%s was defined in the model.";
  } else if ((k == DK_VAR || k == DK_SVAR) && kind < 3 &&
             static_cast<var*>(d)->init) {
    why = "%s has an initial value (:= expression) in the model.";
  } else if (k == DK_CON && kind < 3 && static_cast<constr*>(d)->idual) {
    why = "%s has an initial value (:= expression) in the model.";
  } else if ((k == DK_PARAM || k == DK_SPARAM) &&
             static_cast<param*>(d)->asgn) {
    why = "%s was defined in the model.";
  } else if (k == DK_SET && static_cast<setdcl*>(d)->asgn) {
    why = "%s was defined in the model.";
  } else if (kind == 0 && k != DK_SET && (x->dflags & DF_READ) &&
             !(x->dflags & DF_UPDATE)) {
    why = "data for %s already read";
  }
  if (!why) return 0;
  bad(t, why, d->name->name);
  return 1;
}

void new_deflt(xnode* d, double v, const char* word) {
  bool symb = val_symbolic(d);
  if (word && !symb) {
    Squawk("%s must be numeric, not %Q", d->name->name, word);
    return;
  }
  expr* e = word   ? new_lit(Symbol(word, 1))
            : symb ? new_lit(Number(v))
                   : new_num(v);
  param* p = static_cast<param*>(d);
  if (p->dflt) {
    // The compiled form goes first: it may have put a shared node in the
    // slot, and would put the old default back at the next compilation.
    uncompile(p);
    if (p->dflags & DF_DATADFLT) {
      edelete(p->dflt);
    } else {
      // The model's default is kept aside for reset data.
      Squawk("default overrides that in model");
      p->mdflt = p->dflt;
    }
  }
  p->dflt = e;
  p->dflags |= DF_DATADFLT;
  // A param compiled with the old default is compiled again.
  if (p->xr.stamp != 0) {
    p->xr.stamp = -1.0;
    ts_update(p, 0);
  }
}

void missing_msg(int n, const char* first) {
  Squawk("%d item(s) missing in last line of table, which starts with \"%s\"",
         n, first);
}

void duplicate(symbol* const* tuple, int n, const char* who) {
  if (n == 1)
    Squawk("duplicate member %s for set %s", tuple[0]->name, who);
  else
    Squawk("duplicate member (%s) for set %s", prtuple(tuple, n), who);
}

void do_sp(int t, int param) {
  const char* what =
      param ? "param (or var or constraint or objective)" : "set";
  if (t != DT_WORD || tokquote) {
    bad(t, "expected %s name", what);
    return;
  }
  symbol* s = Symbol0(tok);
  void* rec = s ? s->binding : nullptr;
  uint32_t k = rec ? bound_kind(rec) & ~1u : 0;
  bool ok = param
                ? k == DK_PARAM || k == DK_SPARAM || k == DK_VAR ||
                      k == DK_SVAR || k == DK_CON || k == DK_OBJ || k == DK_PROB
                : k == DK_SET;
  if (!ok) {
    bad(t, "%s is not a %s", tok, what);
    return;
  }
  if (param)
    param_stmt(static_cast<xnode2*>(rec));
  else
    set_stmt(static_cast<setdcl*>(rec));
}

}  // namespace vexo
