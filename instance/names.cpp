// Instance names.
#include "instance/names.h"

#include <cstring>

#include "data/values.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "instance/ac.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

xname* Vname;
int maxnamelen;
uint8_t want_suffix[14];

namespace {

// xwho's buffer: one block of class xwho_k, grown when a name needs more.
char* xwho_buf;
int xwho_k;

// How a string subscript is quoted: the quote character and the bytes
// quoting adds (two quotes, a doubling per inner quote of that kind, a
// backslash per newline).
struct quoting {
  char q;
  size_t added;
};
quoting quote_of(const char* s) {
  size_t sq = 0, dq = 0, nl = 0;
  for (; *s; ++s) {
    sq += *s == '\'';
    dq += *s == '"';
    nl += *s == '\n';
  }
  if (sq > dq) return {'"', 2 + dq + nl};
  return {'\'', 2 + sq + nl};
}

// A name without a declaration is one presolve generated: its text is
// the tail, followed by at most one (numeric) subscript.
int arity_of(const xname* n) {
  if (!n->decl) return n->subs ? 1 : 0;
  const set_spec* ix = n->decl->indexing;
  return n->subs && ix ? ix->arity : 0;
}

const char* base_name(const xname* n) {
  return n->decl ? n->decl->name->name : n->tail;
}

// Bytes of the name's text without the NUL.
size_t name_length(const xname* n, bool tail) {
  size_t len = std::strlen(base_name(n));
  tail = tail && n->decl;
  int arity = arity_of(n);
  if (arity > 0) {
    len += size_t(arity) + 1;  // brackets and commas
    symbol* const* t = n->subs->tup();
    for (int i = 0; i < arity; ++i) {
      len += std::strlen(t[i]->name);
      if (!is_number(t[i])) len += quote_of(t[i]->name).added;
    }
  }
  if (tail && n->tail) len += std::strlen(n->tail);
  return len;
}

char* put(char* out, const char* s) {
  size_t k = std::strlen(s);
  std::memcpy(out, s, k);
  return out + k;
}

// Writes the name's text and a NUL at out (name_length + 1 bytes).
void name_write(char* out, const xname* n, bool tail) {
  out = put(out, base_name(n));
  tail = tail && n->decl;
  int arity = arity_of(n);
  if (arity > 0) {
    symbol* const* t = n->subs->tup();
    for (int i = 0; i < arity; ++i) {
      *out++ = i ? ',' : '[';
      const char* s = t[i]->name;
      if (is_number(t[i])) {
        out = put(out, s);
        continue;
      }
      char q = quote_of(s).q;
      *out++ = q;
      for (; *s; ++s) {
        if (*s == q)
          *out++ = q;
        else if (*s == '\n')
          *out++ = '\\';
        *out++ = *s;
      }
      *out++ = q;
    }
    *out++ = ']';
  }
  if (tail && n->tail) out = put(out, n->tail);
  *out = 0;
}

}  // namespace

void names_reinit() {
  Vname = nullptr;
  maxnamelen = 0;
  xwho_buf = nullptr;
  xwho_k = 0;
  std::memset(want_suffix, 1, sizeof want_suffix);
}

const char* xwho(const xname* n) {
  size_t len = name_length(n, true);
  if (!xwho_buf || len + 1 > (size_t{8} << xwho_k)) {
    if (xwho_buf) del_mblk(xwho_k, xwho_buf);
    xwho_k = htcl(len + 1);
    xwho_buf = static_cast<char*>(new_mblk(xwho_k));
  }
  name_write(xwho_buf, n, true);
  if (len > size_t(maxnamelen)) maxnamelen = int(len);
  return xwho_buf;
}

const char* namesub(charblk** cb, const xname* n, int kind) {
  bool tail = n->tail && kind >= 0 && kind < 14 && want_suffix[kind];
  if (!arity_of(n) && (!tail || !n->decl)) return base_name(n);
  size_t len = name_length(n, tail);
  char* out = cballoc(cb, len + 1);
  name_write(out, n, tail);
  return out;
}

cstr* stringify(symval* v) {
  if (!v->str) v->str = new_cstring(v->sym ? v->sym->name : "");
  return v->str;
}

void nam_upgrade(int32_t n, int32_t n_old, int32_t* k, xname** a) {
  int knew = htcl(size_t(n) * sizeof(xname));
  if (*a && knew <= *k) return;
  xname* old = *a;
  *a = static_cast<xname*>(
      upgrade(old, *k, knew, size_t(n_old) * sizeof(xname)));
  if (old && old == Vname) Vname = *a;
  *k = knew;
}

void badtype(const char* where, uint32_t kind) {
  bug("unexpected type 0x%x in %s()", kind, where);
}

void tbadtype(TVA* tva, const char* where, uint32_t kind) {
  terror(tva, "unexpected type 0x%x in %s()", kind, where);
}

}  // namespace vexo
