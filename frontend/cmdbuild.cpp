// Stand-ins for the command builders: each records its call through
// cmd_trace and does the least the parser needs.
#include "frontend/cmdbuild.h"

#include <cstdarg>
#include <cstring>

#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/neighbours.h"
#include "support/format.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

void (*cmd_trace)(const char* line);
static int no_cmdout() { return 0; }
int (*cmdout_set_hook)() = no_cmdout;

namespace {

// A trace line being built.
struct line_buf {
  char b[8192];
  int n;
};

void put(line_buf& t, const char* fmt, ...) {
  if (t.n >= static_cast<int>(sizeof t.b) - 1) return;
  va_list ap;
  va_start(ap, fmt);
  int k = Vsnprintf(t.b + t.n, sizeof t.b - t.n, fmt, ap);
  va_end(ap);
  if (k > 0) t.n += k;
  if (t.n > static_cast<int>(sizeof t.b) - 1) t.n = sizeof t.b - 1;
}

void emit(line_buf& t) {
  if (cmd_trace) cmd_trace(t.b);
}

void put_expr(line_buf& t, const expr* e);
void put_set(line_buf& t, const set* s);

void put_chain(line_buf& t, const expr* e) {
  put(t, "[");
  for (const expr* x = e; x; x = x->next) {
    if (x != e) put(t, ", ");
    put_expr(t, x);
  }
  put(t, "]");
}

void put_ix(line_buf& t, const set_spec* ss) {
  if (!ss) {
    put(t, "-");
    return;
  }
  put(t, "{");
  for (const Index* ix = ss->first; ix; ix = ix->next) {
    if (ix != ss->first) put(t, ", ");
    if (ix->dummies) {
      if (ix->ndum > 1) put(t, "(");
      for (const expr* d = ix->dummies; d; d = d->next) {
        if (d != ix->dummies) put(t, ",");
        put_expr(t, d);
      }
      put(t, ix->ndum > 1 ? ") in " : " in ");
    }
    put_set(t, ix->s);
  }
  if (ss->cond) {
    put(t, ": ");
    put_expr(t, ss->cond);
  }
  put(t, "}");
}

void put_set(line_buf& t, const set* s) {
  if (!s) {
    put(t, "-");
    return;
  }
  if (s->sclass == SC_RANGE) {
    const set3p* r = static_cast<const set3p*>(s);
    put_expr(t, static_cast<const expr*>(r->f1));
    put(t, "..");
    put_expr(t, static_cast<const expr*>(r->f2));
    if (r->f3) {
      put(t, " by ");
      put_expr(t, static_cast<const expr*>(r->f3));
    }
  } else if (s->sclass == SC_SPEC) {
    put_ix(t, static_cast<const set_spec*>(s));
  } else {
    put(t, "set%u", s->sclass);
  }
}

void put_expr(line_buf& t, const expr* e) {
  if (!e) {
    put(t, "-");
    return;
  }
  switch (opcode(e)) {
    case OPNUM:
      put(t, "%.g", e->L.d);
      break;
    case OPSTR:
      put(t, "\"%s\"", e->L.cs->text());
      break;
    case OPLIT:
      put(t, "%s", e->L.sym->name);
      break;
    case OP279:
      put(t, "name(%s)", e->L.sym->name);
      break;
    case OPDUMMY:
      put(t, "dummy(%d,%d)", e->L.i, e->R.i);
      break;
    case OPUMINUS:
      put(t, "-(");
      put_expr(t, e->L.e);
      put(t, ")");
      break;
    case OPNOT:
      put(t, "not(");
      put_expr(t, e->L.e);
      put(t, ")");
      break;
    case OPPAR:
    case OPPRIMAL:
    case OPCON:
    case OPOBJVAL:
      put(t, "%s", e->L.x->name->name);
      break;
    case OPFUNC:
      put(t, "%s(", e->L.sym->name);
      for (const expr* a = e->R.e; a; a = a->next) {
        if (a != e->R.e) put(t, ", ");
        put_expr(t, a);
      }
      put(t, ")");
      break;
    case OP251:
      put(t, "item(");
      put_ix(t, e->L.ss);
      if (e->R.e) {
        put(t, " ");
        put_expr(t, e->R.e);
      }
      put(t, ")");
      break;
    default:
      put(t, "op%d", opcode(e));
  }
}

void put_redirect(line_buf& t, const redirect* r) {
  if (!r) {
    put(t, "-");
    return;
  }
  static const char* const mark[3] = {">", ">>", "<"};
  put(t, "%s", mark[r->mode < 0 || r->mode > 2 ? 0 : r->mode]);
  put_expr(t, r->file);
}

// An option setting as the option command receives it.
struct option_setting {
  cstr* name;
  expr* subscript;
  cstr* value;
};

void put_settings(line_buf& t, const list* l) {
  // The list grows at its head: print the tail first.
  if (!l) return;
  if (l->next) {
    put_settings(t, l->next);
    put(t, ", ");
  }
  const option_setting* o = static_cast<const option_setting*>(l->item.p);
  put(t, "%s", o->name ? o->name->text() : "-");
  if (o->value) put(t, "=%s", o->value->text());
}

// The open compound commands of the stand-in interpreter: enough to know
// whether a compound command is being built and when a loop body is
// complete, so that the loop's dummy scopes close then.
enum frame_kind { FR_BODY, FR_BRACE };
struct frame {
  frame_kind kind;
  int nctx;  // scope levels to close when the frame ends
};
constexpr int MAX_FRAMES = 256;
frame frames[MAX_FRAMES];
int nframes;

void push_frame(frame_kind k, int nctx) {
  if (nframes < MAX_FRAMES) frames[nframes++] = frame{k, nctx};
  cmdstate = 1;
}

// A statement is complete: every construct waiting for a single statement
// as its body ends with it.
void complete() {
  while (nframes > 0 && frames[nframes - 1].kind == FR_BODY) {
    context_end(frames[--nframes].nctx);
  }
  cmdstate = nframes > 0;
}

// Closes the scope of an indexing that a command received.
void close_ix(set_spec* ss) {
  if (ss) end_context(ss, nullptr);
}

void trace_ix_cmd(const char* what, set_spec* ix, const expr* a,
                  const expr* b, const redirect* r) {
  line_buf t{};
  put(t, "%s ", what);
  put_ix(t, ix);
  put(t, " ");
  put_expr(t, a);
  if (b) {
    put(t, " ");
    put_chain(t, b);
  }
  if (r) {
    put(t, " ");
    put_redirect(t, r);
  }
  emit(t);
}

}  // namespace

char* describe_expr(char* buf, int n, const expr* e) {
  line_buf t{};
  put_chain(t, e);
  if (n > 0) {
    int k = t.n < n - 1 ? t.n : n - 1;
    std::memcpy(buf, t.b, static_cast<size_t>(k));
    buf[k] = 0;
  }
  return buf;
}

void cmd(const char* fmt, int nargs, int kind, ...) {
  line_buf t{};
  put(t, "cmd %d \"%s\"", kind, fmt);
  va_list ap;
  va_start(ap, kind);
  set_spec* ixs[8];
  int nix = 0;
  for (int i = 0; i < nargs && fmt[i]; ++i) {
    put(t, " ");
    switch (fmt[i]) {
      case 'i':
        put(t, "%d", va_arg(ap, int));
        break;
      case '_': {
        set_spec* ss = va_arg(ap, set_spec*);
        put_ix(t, ss);
        if (ss && nix < 8) ixs[nix++] = ss;
        break;
      }
      case 'e':
        put_expr(t, va_arg(ap, expr*));
        break;
      case 'r':
        put_chain(t, va_arg(ap, expr*));
        break;
      case 'l': {
        put(t, "[");
        for (list* l = va_arg(ap, list*); l; l = l->next)
          put(t, "%s%s", l->item.sym->name, l->next ? ", " : "");
        put(t, "]");
        break;
      }
      case 'o':
        put(t, "[");
        put_settings(t, va_arg(ap, list*));
        put(t, "]");
        break;
      case 'b': {
        symbol* s = va_arg(ap, symbol*);
        put(t, "%s", s ? s->name : "-");
        break;
      }
      case 'f':
        put_redirect(t, va_arg(ap, redirect*));
        break;
      default:
        put(t, "?");
        (void)va_arg(ap, void*);
    }
  }
  va_end(ap);
  emit(t);
  // Inner scopes first.
  while (nix > 0) close_ix(ixs[--nix]);
  complete();
}

void printcmd(set_spec* ix, expr* items, redirect* r) {
  line_buf t{};
  put(t, "printcmd ");
  put_ix(t, ix);
  put(t, " ");
  put_chain(t, items);
  put(t, " ");
  put_redirect(t, r);
  emit(t);
  close_ix(ix);
  complete();
}

void printfcmd(set_spec* ix, expr* format, expr* items, redirect* r) {
  line_buf t{};
  put(t, "printfcmd ");
  put_ix(t, ix);
  put(t, " ");
  put_expr(t, format);
  put(t, " ");
  put_chain(t, items);
  put(t, " ");
  put_redirect(t, r);
  emit(t);
  close_ix(ix);
  complete();
}

void letcmd(set_spec* ix, expr* target, expr* value) {
  trace_ix_cmd("letcmd", ix, target, value, nullptr);
  close_ix(ix);
  complete();
}

void letsetcmd(set_spec* ix, expr* target, set* value) {
  trace_ix_cmd("letsetcmd", ix, target, nullptr, nullptr);
  (void)value;
  close_ix(ix);
  complete();
}

void fixun(int unfix, set_spec* ix, expr* target) {
  trace_ix_cmd(unfix ? "fixun 1" : "fixun 0", ix, target, nullptr, nullptr);
  close_ix(ix);
  complete();
}

void dropadd_cmd(int restore, set_spec* ix, expr* target) {
  trace_ix_cmd(restore ? "dropadd_cmd 1" : "dropadd_cmd 0", ix, target,
               nullptr, nullptr);
  close_ix(ix);
  complete();
}

void expand(int variant, expr* items, redirect* r) {
  line_buf t{};
  put(t, "expand %d ", variant);
  put_chain(t, items);
  put(t, " ");
  put_redirect(t, r);
  emit(t);
  complete();
}

redirect* new_redirect(expr* file, int mode) {
  redirect* r = static_cast<redirect*>(mem(sizeof(redirect)));
  r->file = file;
  r->mode = mode;
  return r;
}

void reset() {
  line_buf t{};
  put(t, "reset");
  emit(t);
  complete();
}

void option_reset_cmd() {
  line_buf t{};
  put(t, "option_reset_cmd");
  emit(t);
  complete();
}

list* optioncmd(list* settings, cstr* name, expr* subscript, cstr* value) {
  option_setting* o =
      static_cast<option_setting*>(mem(sizeof(option_setting)));
  o->name = name;
  o->subscript = subscript;
  o->value = value;
  return new_list(settings, o);
}

void option_err(list* settings) {
  line_buf t{};
  put(t, "option_err [");
  put_settings(t, settings);
  put(t, "]");
  emit(t);
  complete();
}

cstr* list2string(list* words) {
  words = reverse(words);
  size_t n = 1;
  for (list* l = words; l; l = l->next) n += strlen(l->item.p ?
      static_cast<cstr*>(l->item.p)->text() : "") + 1;
  char* buf = static_cast<char*>(new_mblk(htcl(n)));
  buf[0] = 0;
  size_t k = 0;
  for (list* l = words; l; l = l->next) {
    cstr* w = static_cast<cstr*>(l->item.p);
    if (l != words) buf[k++] = ' ';
    size_t m = strlen(w->text());
    std::memcpy(buf + k, w->text(), m);
    k += m;
    buf[k] = 0;
    zap_cstr(&w);
  }
  cstr* r = new_cstring(buf);
  del_mblk(htcl(n), buf);
  free_list(words);
  return r;
}

expr* make_string(expr* e) { return e; }

void if_cmd(expr* cond) {
  line_buf t{};
  put(t, "if_cmd ");
  put_expr(t, cond);
  emit(t);
  push_frame(FR_BODY, 0);
}

void else_cmd() {
  line_buf t{};
  put(t, "else_cmd");
  emit(t);
  push_frame(FR_BODY, 0);
}

void while_cmd(expr* cond) {
  line_buf t{};
  put(t, "while_cmd ");
  put_expr(t, cond);
  emit(t);
  complete();
}

void lbrace() {
  line_buf t{};
  put(t, "lbrace");
  emit(t);
  push_frame(FR_BRACE, 0);
}

void rbrace() {
  line_buf t{};
  put(t, "rbrace");
  emit(t);
  while (nframes > 0) {
    frame f = frames[--nframes];
    context_end(f.nctx);
    if (f.kind == FR_BRACE) break;
  }
  complete();
}

void loopstart(int kind, symbol* name, void* what) {
  line_buf t{};
  put(t, "loopstart %d %s ", kind, name ? name->name : "-");
  if (kind == CK_LOOP_FOR) {
    set_spec* ss = static_cast<set_spec*>(what);
    put_ix(t, ss);
    emit(t);
    push_frame(FR_BODY, set_spec_count(ss));
  } else {
    put_expr(t, static_cast<expr*>(what));
    emit(t);
    push_frame(FR_BRACE, 0);
  }
}

int breakcont(int kind, symbol* name) {
  line_buf t{};
  put(t, "breakcont %d %s", kind, name ? name->name : "-");
  emit(t);
  complete();
  return 0;
}

int quit_cmd() {
  line_buf t{};
  put(t, "quit_cmd");
  emit(t);
  return 1;
}

void einclude(expr* file, int model) {
  line_buf t{};
  put(t, "einclude ");
  put_expr(t, file);
  put(t, " %d", model);
  emit(t);
}

int read_data() {
  line_buf t{};
  put(t, "read_data");
  emit(t);
  return 1;
}

void havestmt(int k) {
  line_buf t{};
  put(t, "havestmt %d", k);
  emit(t);
}

void cmd_reset() {
  line_buf t{};
  put(t, "cmd_reset");
  emit(t);
  cmdbuild_reset();
}

void cmd_eof() {
  line_buf t{};
  put(t, "cmd_eof");
  emit(t);
}

int must_write() { return 0; }

void solve_cmd(symbol* name, expr* subscript, redirect* r) {
  line_buf t{};
  put(t, "solve_cmd %s ", name ? name->name : "-");
  put_expr(t, subscript);
  put(t, " ");
  put_redirect(t, r);
  emit(t);
  complete();
}

static void name_sub_cmd(const char* what, symbol* name, expr* subscript) {
  line_buf t{};
  put(t, "%s %s ", what, name ? name->name : "-");
  put_expr(t, subscript);
  emit(t);
  complete();
}

void objective_cmd(symbol* name, expr* subscript) {
  name_sub_cmd("objective_cmd", name, subscript);
}
void prob_cmd(symbol* name, expr* subscript) {
  name_sub_cmd("prob_cmd", name, subscript);
}
void probreset(symbol* name, expr* subscript) {
  name_sub_cmd("probreset", name, subscript);
}

void purge(expr* names, int purge) {
  line_buf t{};
  put(t, "purge ");
  put_chain(t, names);
  put(t, " %d", purge);
  emit(t);
  complete();
}

void xref_cmd(expr* names, redirect* r) {
  line_buf t{};
  put(t, "xref_cmd ");
  put_chain(t, names);
  put(t, " ");
  put_redirect(t, r);
  emit(t);
  complete();
}

void readcmd(set_spec* ix, expr* items, redirect* r) {
  line_buf t{};
  put(t, "readcmd ");
  put_ix(t, ix);
  put(t, " ");
  put_chain(t, items);
  put(t, " ");
  put_redirect(t, r);
  emit(t);
  close_ix(ix);
  complete();
}

void table_io(int write, set_spec* ix, symbol* name, expr* subscript) {
  line_buf t{};
  put(t, "table_io %d ", write);
  put_ix(t, ix);
  put(t, " %s ", name ? name->name : "-");
  put_expr(t, subscript);
  emit(t);
  close_ix(ix);
  complete();
}

void environ_cmd0(symbol* name, expr* subscript, symbol* from) {
  line_buf t{};
  put(t, "environ_cmd0 %s ", name ? name->name : "-");
  put_expr(t, subscript);
  put(t, " %s", from ? from->name : "-");
  emit(t);
  complete();
}

expr* funceval(symbol* function, expr* args) {
  return new_expr(opword(OPFUNC), function, args);
}

void dcl_standin(const char* keyword, symbol* name) {
  line_buf t{};
  put(t, "declare %s %s", keyword, name->name);
  emit(t);
  uint32_t kind = DK_PARAM;
  if (!strcmp(keyword, "set")) kind = DK_SET;
  if (!strcmp(keyword, "var")) kind = DK_VAR;
  if (!strcmp(keyword, "function")) kind = DK_FUNCTION;
  xnode* x = static_cast<xnode*>(mem(sizeof(xnode)));
  x->kind = kind;
  x->name = name;
  x->oldval = name->binding;
  name->binding = x;
}

set* set_range(expr* from, expr* to, expr* by) {
  set3p* r = new_set3p();
  r->kind = SET_KIND;
  r->nmem = -1;
  r->sclass = SC_RANGE;
  r->arity = 1;
  r->refcnt = 1;
  r->f1 = from;
  r->f2 = to;
  r->f3 = by;
  return r;
}

expr* negate(expr* e) {
  if (opcode(e) == OPNUM) {
    e->L.d = -e->L.d;
    return e;
  }
  return new_expr(opword(OPUMINUS, eflags(e) & (EF_NUMERIC | EF_VARS)), e);
}

expr* entity_ref(xnode* x, int opc) {
  uint32_t f = EF_NUMERIC;
  if (opc == OPPAR) f |= EF_CONST;
  return new_expr(opword(opc, f), x);
}

expr* logical_not(expr* e) {
  return new_expr(opword(OPNOT, EF_NUMERIC | (eflags(e) & EF_VARS)), e);
}

expr* item_ix(set_spec* ix, expr* body) {
  expr* e = new_expr(opword(OP251), ix, body);
  // The item's body is complete: its dummies go out of scope.
  end_context(ix, nullptr);
  return e;
}

void cmdbuild_reset() {
  nframes = 0;
  cmdstate = 0;
}

}  // namespace vexo
