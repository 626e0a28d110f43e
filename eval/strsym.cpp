// String, symbol and declaration-name evaluation routines.
#include "eval/strsym.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "eval/indexing.h"
#include "frontend/decl.h"
#include "frontend/paramdcl.h"
#include "session/environs.h"
#include "session/execute.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/strtod.h"
#include "support/symbol.h"
#include "support/utf8.h"

namespace vexo {

namespace {

eval_result num(double d) { return {.d = d}; }

// A string of the n bytes at s (no NUL among them needed), one reference.
cstr* string_of(const char* s, size_t n) {
  cstr* c = new_cstr(n + 1);
  std::memcpy(c->text(), s, n);
  c->text()[n] = 0;
  return c;
}

// The operand strings of a concatenation: released together when the
// holder goes, also when a later operand's evaluation abandons the
// command.
class held_list {
 public:
  held_list() = default;
  held_list(const held_list&) = delete;
  held_list& operator=(const held_list&) = delete;
  ~held_list() {
    for (cstr* s : v_) release_cstr(s);
  }
  void push(cstr* s) { v_.push_back(s); }
  const std::vector<cstr*>& all() const { return v_; }

 private:
  std::vector<cstr*> v_;
};

// The name L gives, when it was ever interned (else nothing is declared
// under it).
symbol* name_of(expr* e, TVA* tva) {
  held_cstr name(eval_str(e->L.e, tva));
  return Symbol0(name.text());
}

// The declaration a name stands for, or null: names are looked up, never
// interned (an unknown name has no binding either way).
const void* binding_of(expr* e, TVA* tva) {
  symbol* s = name_of(e, tva);
  return s ? s->binding : nullptr;
}

// The subscripts of a declaration: its indexing's dimension, 0 for none.
double dimension(const xnode* d) {
  return d->indexing ? d->indexing->arity : 0;
}

// The size class of the cells of a tuple node.
int symlist_class(const expr* e) {
  size_t n = 0;
  for (const expr* m = e->L.e; m; m = m->next) ++n;
  return htcl(sizeof(symbol*) * (n ? n : 1));
}

}  // namespace

// ---- Strings -------------------------------------------------------------

eval_result f_OPCONCAT(expr* e, TVA* tva) {
  held_list parts;
  size_t len = 1;
  for (expr* m = e->L.e; m; m = m->next) {
    cstr* s = eval_str(m, tva);
    parts.push(s);
    len += std::strlen(s->text());
  }
  cstr* r = new_cstr(len);
  char* t = r->text();
  for (cstr* s : parts.all()) {
    size_t n = std::strlen(s->text());
    std::memcpy(t, s->text(), n);
    t += n;
  }
  *t = 0;
  return {.cs = r};
}

eval_result f_OPCHAR(expr* e, TVA* tva) {
  double x = eval_num(e->L.e, tva);
  // Truncated toward zero into 0 .. 2^32 - 1 (NaN fails both tests).
  uint32_t u = 0;
  if (x >= 4294967295.)
    u = 4294967295u;
  else if (x > 0)
    u = static_cast<uint32_t>(x);
  Rune r = static_cast<Rune>(u & 0xffff);
  cstr* c = new_cstr(4);
  char* t = c->text();
  t[runetochar(t, &r)] = 0;
  return {.cs = c};
}

eval_result f_OPICHAR(expr* e, TVA* tva) {
  held_cstr s(eval_str(e->L.e, tva));
  Rune r;
  chartorune(&r, s.text());
  return num(r);
}

eval_result f_OPLENGTH(expr* e, TVA* tva) {
  held_cstr s(eval_str(e->L.e, tva));
  return num(utflen(s.text()));
}

eval_result f_OPNUMBER0(expr* e, TVA* tva) {
  held_cstr s(eval_str(e->L.e, tva));
  return num(Strtod(s.text(), nullptr));
}

// ---- Conversions ---------------------------------------------------------

eval_result f_OPNUM2STR(expr* e, TVA* tva) {
  double x = eval_num(e->L.e, tva);
  int64_t n;
  const char* t = gfmt(x, 0, &n);
  return {.cs = string_of(t, static_cast<size_t>(n))};
}

eval_result f_OPSTR2SYM(expr* e, TVA* tva) {
  held_cstr s(eval_str(e->L.e, tva));
  e->R.sym = Symbol(s.text(), 1);
  return {.sp = &e->R.sym};
}

eval_result f_OPSYM2STR(expr* e, TVA* tva) {
  return {.cs = new_cstring(eval_sym(e->L.e, tva)->name)};
}

eval_result f_OPNUM2SYM(expr* e, TVA* tva) {
  return {.sp = pNumber(eval_num(e->L.e, tva))};
}

eval_result f_OPSYMLIST(expr* e, TVA* tva) {
  if (!e->R.p) e->R.p = new_mblk(symlist_class(e));
  symbol** t = static_cast<symbol**>(e->R.p);
  // Each member is read from its cell at once: a number's cell may move
  // when the next member interns another number.
  symbol** p = t;
  for (expr* m = e->L.e; m; m = m->next) *p++ = eval_sym(m, tva);
  return {.sp = t};
}

void symlist_cells_free(expr* e) {
  if (!e->R.p) return;
  del_mblk(symlist_class(e), e->R.p);
  e->R.p = nullptr;
}

// ---- Declarations by name ------------------------------------------------

eval_result f_OPARITY(expr* e, TVA* tva) {
  const void* b = binding_of(e, tva);
  if (!b) return num(0);
  uint32_t k = bound_kind(b);
  if (k != DK_SET && k != DK_SETI) return num(0);
  return num(static_cast<const setdcl*>(b)->dimen);
}

eval_result f_OPINDARITY(expr* e, TVA* tva) {
  const void* b = binding_of(e, tva);
  if (!b) return num(-1);
  uint32_t k = bound_kind(b);
  if (k < DK_VAR || k > DK_ENVI) return num(-1);
  if (!(k & 1)) return num(0);
  return num(dimension(static_cast<const xnode*>(b)));
}

eval_result f_OPTINDARITY(expr* e, TVA* tva) {
  if (symbol* s = name_of(e, tva)) {
    const xclass_rec& r = xclass[XC_TABLES];
    for (int i = 0; i < r.n; ++i)
      if (r.a[i] && r.a[i]->name == s) return num(dimension(r.a[i]));
  }
  return num(-1);
}

eval_result f_OPEINDARITY(expr* e, TVA* tva) {
  symbol* s = name_of(e, tva);
  const xenvir* x = s ? env_xnode(s) : nullptr;
  return num(x ? dimension(x) : -1);
}

// ---- Placeholders --------------------------------------------------------

eval_result f_OPPROB(expr*, TVA*) {
  notyet("f_OPPROB");
  return {.i = 0};
}

eval_result f_OPPROBSUB(expr*, TVA*) {
  notyet("f_OPPROBSUB");
  return {.i = 0};
}

}  // namespace vexo
