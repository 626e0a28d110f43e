// The column statement of data mode.
#include "data/ceq.h"

#include <cstring>
#include <string>
#include <vector>

#include "data/datatok.h"
#include "data/internal.h"
#include "data/readdata.h"
#include "data/values.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/paramdcl.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "instance/stamps.h"
#include "support/scratch.h"
#include "support/symbol.h"

namespace vexo {

namespace {

// A name of the header as written: the declaration's name, the name after
// its dot (if any) and its "[...]" pattern (if any).
struct hname {
  std::string name;
  std::string suffix;
  bool dotted = false;
  bool has_pattern = false;
  tmpl tp{};
};

// One column: its collector and the template its subscripts follow.
struct column {
  dcol c{};
  tmpl tp{};
};

// The columns of a statement.  What the statement collected goes to the
// declarations, also when the input ends inside it or the command is
// aborted.
struct columns {
  std::vector<column> v;
  void finish() {
    for (column& x : v) {
      if (!x.c.d) continue;
      end_param(&x.c);
      x.c.d = nullptr;
    }
  }
  // A statement dropped in its header gives back its empty collectors.
  ~columns() {
    for (column& x : v)
      if (x.c.d) dcol_free(&x.c);
  }
};

// A "[...]" pattern after a header name, after its "[": components and
// "*" separated by commas.  False after an error (statement skipped).
bool read_pattern(tmpl* tp) {
  int cnt = 0, nfree = 0;
  int t = token();
  for (;;) {
    if (!is_item(t) && t != '*') {
      bad(t, "expected , or ]");
      return false;
    }
    if (cnt == TUPMAX) {
      bad(t, "Too long a pattern");
      return false;
    }
    bool star = t == '*';
    tp->kind[cnt] = star ? SLOT_FREE : SLOT_FIXED;
    tp->fixed[cnt] = star ? nullptr : item_sym(t);
    nfree += star;
    ++cnt;
    t = token();
    if (t == ']') break;
    if (t == ',') {
      t = token();
      continue;
    }
    bad(t, is_item(t) || t == '*' ? "Missing comma in pattern"
                                  : "expected , or ]");
    return false;
  }
  tp->n = cnt;
  tp->nfree = nfree;
  tp->ncolon = 0;
  return true;
}

// A header name from the current word: the name and the part after its
// dot.  False after an error.
bool header_name(int t, hname* h) {
  const char* dot = std::strchr(tok, '.');
  if (!dot) {
    h->name = tok;
    return true;
  }
  if (dot == tok) {
    bad(t, "Unexpected \".\"");
    return false;
  }
  h->name.assign(tok, static_cast<size_t>(dot - tok));
  h->dotted = true;
  h->suffix = dot + 1;
  if (h->suffix.empty()) {
    bad(t, "Expected suffix after \"%s.\"", h->name.c_str());
    return false;
  }
  if (h->suffix.find('.') != std::string::npos) {
    bad(t, "Too many \".\"s");
    return false;
  }
  return true;
}

void* binding_of(const std::string& name) {
  symbol* s = Symbol0(name.c_str());
  return s ? s->binding : nullptr;
}

uint32_t kind_of(const void* rec) { return rec ? bound_kind(rec) & ~1u : 0; }

// The row-label set of the header, after the ":" that follows its name.
// *sd and sub receive the set and its subscript.  False after an error.
bool row_set(int t, const hname& h, setdcl** sd, symbol** sub) {
  void* rec = binding_of(h.name);
  if (h.dotted || kind_of(rec) != DK_SET) {
    bad(t, "%s is not a set", h.name.c_str());
    return false;
  }
  setdcl* d = static_cast<setdcl*>(rec);
  bool indexed = d->kind & 1;
  if (h.has_pattern != indexed) {
    if (indexed)
      bad(t, "expected [");
    else
      bad(t, "%s is not a set of sets", h.name.c_str());
    return false;
  }
  if (indexed) {
    if (h.tp.nfree || h.tp.n != d->indexing->arity) {
      bad(t, "%s needs %d, not %d subscripts", h.name.c_str(),
          d->indexing->arity, h.tp.n);
      return false;
    }
    fill(h.tp, nullptr, nullptr, sub);
  }
  if (defined(t, d, 0)) return false;
  bool present = indexed ? member_set(d, sub) != nullptr : d->value->nmem >= 0;
  if (present) {
    bad(t, "set %s already defined", sub_name(d, indexed ? sub : nullptr));
    return false;
  }
  *sd = d;
  return true;
}

// Makes a column of the header name h.  False after an error.
bool add_column(int t, const hname& h, setdcl* rs, columns& cols) {
  const char* name = h.name.c_str();
  void* rec = binding_of(h.name);
  uint32_t k = kind_of(rec);
  int kind = 0;
  if (h.dotted) {
    if (k != DK_VAR && k != DK_SVAR && k != DK_CON && k != DK_OBJ &&
        k != DK_PROB) {
      bad(t, "%s is not a variable, constraint, objective, or problem.", name);
      return false;
    }
    if (const char* msg =
            sufchk(static_cast<xnode*>(rec), h.suffix.c_str(), &kind)) {
      bad(t, "%s", msg);
      return false;
    }
  } else if (k != DK_PARAM && k != DK_SPARAM && k != DK_VAR && k != DK_SVAR &&
             k != DK_CON && k != DK_OBJ) {
    bad(t, "%s is not a %s", name, "param (or var or constraint or objective)");
    return false;
  }
  xnode2* d = static_cast<xnode2*>(rec);
  if (!(d->kind & 1) || !d->indexing) {
    bad(t,
        rs ? "%s is not indexed over a set" : "%s is not a subscripted param",
        name);
    return false;
  }
  int arity = d->indexing->arity;
  column col;
  if (h.has_pattern) {
    if (h.tp.n != arity) {
      bad(t, "Wrong size pattern");
      return false;
    }
    col.tp = h.tp;
  } else {
    tmpl_all_free(&col.tp, arity);
  }
  if (!cols.v.empty()) {
    const column& c0 = cols.v[0];
    if (c0.tp.nfree != col.tp.nfree) {
      bad(t, "%s needs %d subscript(s), %s needs %d", c0.c.d->name->name,
          c0.tp.nfree, name, col.tp.nfree);
      return false;
    }
  }
  if (rs && rs->dimen != col.tp.nfree) {
    bad(t, "%s has dimen %d but %s needs %d subscript(s)", rs->name->name,
        rs->dimen, name, col.tp.nfree);
    return false;
  }
  if (defined(t, d, kind)) return false;
  dcol_start(&col.c, d, kind);
  cols.v.push_back(col);
  return true;
}

// The rows, from their first token t, up to and including ";".  Each row
// label goes into target (when a set is named); each entry to its column.
void rows(int t, columns& cols, set* target, const std::string& who) {
  int ncols = static_cast<int>(cols.v.size());
  int rowlen = cols.v[0].tp.nfree;
  int rowend = rowlen + ncols;
  symbol* row[TUPMAX];
  symbol* tup[TUPMAX];
  std::string first;
  int p = 0;
  for (;; t = token()) {
    if (t == ',') continue;
    if (t == DT_SEMI) break;
    if (!is_item(t)) {
      bad(t, "unexpected %c", t < 32 ? tok[0] : t);
      return;
    }
    if (p == 0) first = tok;
    if (p < rowlen) {
      row[p++] = item_sym(t);
      if (p == rowlen && target && set_addmem(target, row))
        duplicate(row, rowlen, who.c_str());
      if (p == rowend) p = 0;
      continue;
    }
    column& col = cols.v[p - rowlen];
    fill(col.tp, row, nullptr, tup);
    if (!put_value(&col.c, t, tup)) {
      bad(t, "%s must be numeric, not %Q", sub_name(col.c.d, tup), tok);
      return;
    }
    if (++p == rowend) p = 0;
  }
  if (p > 0) missing_msg(rowend - p, first.c_str());
}

}  // namespace

void do_ceq(int t) {
  Typeinit = tok_type;
  eofmsg = "end of file within param data";
  bool have_dflt = false;
  double dval = 0;
  std::string dword;
  bool dnum = true;
  if (t != DT_COLON) {  // the word "default"
    t = token();
    if (t == DT_NUMBER) {
      dval = tok_number();
    } else if (t == DT_WORD) {
      dnum = false;
      dword = tok;
    } else {
      bad(t, "expected number or symbol");
      return;
    }
    have_dflt = true;
    t = token();
    if (t != DT_COLON) {
      bad(t, "expected :");
      return;
    }
  }
  // The header.
  std::vector<hname> names;
  setdcl* rs = nullptr;
  symbol* sub[TUPMAX];
  bool set_part = false;
  for (t = token(); t != DT_ASSIGN;) {
    if (t == DT_SEMI) {
      bad(t, "no := between param : and ;");
      return;
    }
    if (t == DT_COLON) {
      if (set_part) {
        bad(t, "too many :'s");
        return;
      }
      if (names.empty()) {
        bad(t, "malformed header: extra ':'");
        return;
      }
      if (names.size() > 1) {
        bad(t, "only one set name allowed between colons");
        return;
      }
      if (!row_set(t, names[0], &rs, sub)) return;
      set_part = true;
      names.clear();
    } else if (t == '[') {
      if (names.empty() || names.back().has_pattern) {
        bad(t, "malformed header: extra '['");
        return;
      }
      if (!read_pattern(&names.back().tp)) return;
      names.back().has_pattern = true;
    } else if (t == ']') {
      bad(t, "malformed header: enexpected ']'");
      return;
    } else if (t == '(') {
      bad(t, "malformed header: unexpected '('");
      return;
    } else if (t == DT_WORD && !tokquote) {
      names.emplace_back();
      if (!header_name(t, &names.back())) return;
    } else {
      bad(t, "unexpected %c", t < 32 ? tok[0] : t);
      return;
    }
    t = token();
  }
  if (names.empty()) {
    bad(t, "no param names between : and :=");
    return;
  }
  columns cols;
  for (const hname& h : names)
    if (!add_column(t, h, rs, cols)) return;
  if (have_dflt) {
    for (column& c : cols.v) {
      uint32_t k = c.c.d->kind & ~1u;
      if ((k == DK_PARAM || k == DK_SPARAM) && c.c.kind == 0)
        new_deflt(c.c.d, dval, dnum ? nullptr : dword.c_str());
    }
  }
  try {
    t = token();
    if (t == '[' || t == '(' || t == DT_COLON) {
      if (cols.v.size() > 1 || rs) {
        bad(t, "unexpected %c", t);
      } else {
        // A single column read as a param statement.
        dcol one = cols.v[0].c;
        cols.v[0].c.d = nullptr;
        param_body(&one, t);
        return;
      }
    } else {
      set* target = nullptr;
      std::string who;
      if (rs) {
        who = sub_name(rs, (rs->kind & 1) ? sub : nullptr);
        target = (rs->kind & 1) ? gsfinish(rs, sub) : fresh_members(rs);
      }
      rows(t, cols, target, who);
      if (rs) ts_update(rs, 0);
    }
  } catch (...) {
    cols.finish();
    throw;
  }
  cols.finish();
}

}  // namespace vexo
