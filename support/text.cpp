// Text buffers, counted strings, message strings and small text operations.
#include "support/text.h"

#include <cstring>

#include "session/located.h"
#include "session/loop.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/strtod.h"

namespace vexo {

const char* adjnam;
int no_hexfp;

// A charblk block's payload size; its text room is this less the head.
static ptrdiff_t cb_size(int k) { return ptrdiff_t(8) << k; }

charblk* newcb(size_t n, charblk* prev) {
  int k = htcl(n + sizeof(charblk));
  charblk* cb = static_cast<charblk*>(new_mblk(k, 0));
  cb->prev = prev;
  cb->next = cb->text();
  cb->k = k;
  cb->left = cb_size(k) - ptrdiff_t(sizeof(charblk));
  return cb;
}

char* cballoc(charblk** cb, size_t n) {
  charblk* b = *cb;
  if (!b || b->left < ptrdiff_t(n)) *cb = b = newcb(n + 4000, b);
  char* r = b->next;
  b->next += n;
  b->left -= n;
  return r;
}

char* cbcopy(charblk** cb, const char* s, size_t n) {
  char* r = cballoc(cb, n);
  std::memcpy(r, s, n);
  return r;
}

char* cblcopy(charblk** cb, const char* s) {
  return cbcopy(cb, s, std::strlen(s) + 1);
}

void cbfree(charblk* cb) {
  while (cb) {
    charblk* prev = cb->prev;
    del_mblk(cb->k, cb);
    cb = prev;
  }
}

char* adjoincb(charblk** cb, const char* s) {
  size_t len = std::strlen(s);
  charblk* b = *cb;
  if (!b || b->left < ptrdiff_t(len + 1)) {
    size_t used = b ? size_t(b->next - b->text()) : 0;
    charblk* nb = newcb(used + len + 401, nullptr);
    if (b) {
      std::memcpy(nb->text(), b->text(), used);
      nb->next += used;
      nb->left -= used;
      cbfree(b);
    }
    *cb = b = nb;
  }
  char* r = b->next;
  std::memcpy(r, s, len + 1);
  b->next += len;  // the NUL is overwritten by the next append
  b->left -= len;
  return r;
}

char* adjoin(char* dst, char* end, const char* src) {
  for (;; ++dst) {
    if (dst >= end) {
      squawk(msgBf("adjoin: %s is too small", adjnam));
      exit1(rc);
    }
    if (!(*dst = *src++)) return dst;
  }
}

cstr* new_cstr(size_t n) {
  int k = htcl(n + sizeof(cstr));
  cstr* c = static_cast<cstr*>(new_mblk(k, 0));
  c->k = k;
  c->refcnt = 1;
  return c;
}

cstr* new_cstring(const char* s) {
  size_t len = std::strlen(s) + 1;
  cstr* c = new_cstr(len);
  std::memcpy(c->text(), s, len);
  return c;
}

cstr* cstr_join(const char* a, char sep, const char* b) {
  size_t n = std::strlen(a), m = std::strlen(b);
  cstr* c = new_cstr(n + m + 2);
  char* t = c->text();
  std::memcpy(t, a, n);
  t[n] = sep;
  std::memcpy(t + n + 1, b, m + 1);
  return c;
}

void zap_cstr(cstr** p) {
  if (cstr* c = *p) {
    int32_t n = int32_t(c->refcnt) - 1;
    c->refcnt = uint32_t(n);
    if (n < 1) del_mblk(c->k, c);
    *p = nullptr;
  }
}

void Mstr_put(mstr** mp, const char* text, size_t n) {
  mstr* m = *mp;
  if (!m) {
    int k = htcl(n + sizeof(mstr) + 1);
    m = static_cast<mstr*>(new_mblk(k, 0));
    m->k = k;
    m->len = 0;
  } else {
    int k = htcl(m->len + n + sizeof(mstr) + 1);
    if (k > int(m->k)) {
      m = static_cast<mstr*>(ext_mblk(m->k, m, k, m->len + sizeof(mstr)));
      m->k = k;
    }
  }
  std::memcpy(m->text() + m->len, text, n);
  m->len += n;
  m->text()[m->len] = 0;
  *mp = m;
}

const char* mstr_val(const mstr* m) {
  return m ? reinterpret_cast<const char*>(m + 1) : "";
}

void mstr_free(mstr** m) {
  if (*m) {
    del_mblk((*m)->k, *m);
    *m = nullptr;
  }
}

// Character class of valid_param: a digit its value, a sign 10, an
// exponent letter 11, anything else 13.
enum : int { DC_SIGN = 10, DC_EXP = 11, DC_OTHER = 13 };
static int digclass(const char* s) {
  char c = *s;
  if (c >= '0' && c <= '9') return c - '0';
  if (c == '+' || c == '-') return DC_SIGN;
  if (c == 'D' || c == 'E' || c == 'd' || c == 'e') return DC_EXP;
  return DC_OTHER;
}

// s equals word (lower case) with A-Z read as a-z.
static bool equals_nocase(const char* s, const char* word) {
  for (;; ++s, ++word) {
    unsigned char c = *s;
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    if (c != (unsigned char)*word) return false;
    if (!c) return true;
  }
}

int valid_param(char* text, int keep) {
  char* s = text;
  if (digclass(s) == DC_SIGN) ++s;
  if (*s == 'N' || *s == 'n') return equals_nocase(s, "nan");
  if (*s == 'I' || *s == 'i') return equals_nocase(s, "infinity");
  if (*s == '0' && (s[1] == 'x' || s[1] == 'X') && !no_hexfp) {
    char* end;
    Strtod(s, &end);
    return !*end;
  }
  int ndig = 0;
  for (; digclass(s) < 10; ++s) ++ndig;
  if (*s == '.')
    for (++s; digclass(s) < 10; ++s) ++ndig;
  if (!ndig) return 0;
  if (digclass(s) == DC_EXP) {
    char* e = s++;
    if (digclass(s) == DC_SIGN) ++s;
    if (digclass(s) >= 10) return 0;
    while (digclass(s) < 10) ++s;
    if (*s) return 0;
    if (!keep) *e = 'e';
    return 1;
  }
  return !*s;
}

cstr* Llitcat(list* items, const char* prefix) {
  cstr* c = nullptr;
  size_t len = 0;  // text so far
  // Makes room for need more bytes of text and a NUL.
  auto room = [&](size_t need) {
    size_t total = sizeof(cstr) + len + need + 1;
    if (c && total <= size_t(8) << c->k) return;
    int k = htcl(total);
    cstr* n = static_cast<cstr*>(new_mblk(k, 0));
    n->k = k;
    if (c) {
      std::memcpy(n->text(), c->text(), len);
      del_mblk(c->k, c);
    }
    c = n;
  };
  if (prefix) {
    size_t pl = std::strlen(prefix);
    room(pl + 1);
    std::memcpy(c->text(), prefix, pl);
    c->text()[pl] = '=';
    len = pl + 1;
  }
  for (list* l = items; l; l = l->next) {
    const char* t = static_cast<const char*>(l->item.p);
    if (!t) t = "";
    size_t tl = std::strlen(t);
    room(tl);
    char* d = c->text() + len;
    if (*t == '"' || *t == '\'') {
      char q = *t++;
      for (; *t; ++t) {
        if (*t == q) {
          if (t[1] != q) break;  // the closing quote
          ++t;
        } else if (*t == '\\' && t[1] == '\n') {
          ++t;
        }
        *d++ = *t;
      }
    } else {
      std::memcpy(d, t, tl);
      d += tl;
    }
    len = d - c->text();
  }
  room(0);
  c->text()[len] = 0;
  c->refcnt = 1;
  return c;
}

char* quotestrip(char* s) {
  size_t len = std::strlen(s);
  if (len < 3) return s;
  s[len - 1] = 0;
  return s + 1;
}

const char* base_name(const char* path) {
  if (!path) return nullptr;
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

}  // namespace vexo
