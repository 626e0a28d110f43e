// Stand-ins for the command builders: each records its call through
// cmd_trace and does the least the parser needs.
#include "frontend/cmdbuild.h"

#include <cstdarg>
#include <cstring>

#include "eval/dispatch.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/lexer.h"
#include "frontend/neighbours.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "frontend/strexpr.h"
#include "session/environs.h"
#include "session/cmdfiles.h"
#include "session/execute.h"
#include "session/include.h"
#include "session/loop.h"
#include "session/optcmd.h"
#include "support/format.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

void (*cmd_trace)(const char* line);

namespace {

// A trace line being built; depth: the levels of the tree being described
// that the walk is inside.
struct line_buf {
  char b[8192];
  int n;
  int depth;
};

// Descriptions stop TRACE_DEPTH levels down a tree ("..."), and once the
// line is full: the walk stays shallow whatever the tree's depth.
constexpr int TRACE_DEPTH = 100;

void vput(line_buf& t, const char* fmt, va_list ap) {
  if (t.n >= static_cast<int>(sizeof t.b) - 1) return;
  int k = Vsnprintf(t.b + t.n, sizeof t.b - t.n, fmt, ap);
  if (k > 0) t.n += k;
  if (t.n > static_cast<int>(sizeof t.b) - 1) t.n = sizeof t.b - 1;
}

void put(line_buf& t, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vput(t, fmt, ap);
  va_end(ap);
}

void emit(line_buf& t) {
  if (cmd_trace) cmd_trace(t.b);
}

// A trace line made of the formatted text alone.
void trace_line(const char* fmt, ...) {
  line_buf t{};
  va_list ap;
  va_start(ap, fmt);
  vput(t, fmt, ap);
  va_end(ap);
  emit(t);
}

void put_expr(line_buf& t, const expr* e);
void put_set(line_buf& t, const set* s);
void put_node(line_buf& t, const expr* e);

// Enters one level of the tree being described; false when the walk must
// not go deeper.
bool descend(line_buf& t) {
  if (t.n >= static_cast<int>(sizeof t.b) - 1) return false;
  if (t.depth >= TRACE_DEPTH) {
    put(t, "...");
    return false;
  }
  ++t.depth;
  return true;
}

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

void put_set_at(line_buf& t, const set* s) {
  if (!s) {
    put(t, "-");
    return;
  }
  if (s->sclass == SC_RANGE) {
    const set3p* r = static_cast<const set3p*>(s);
    put_expr(t, static_cast<const expr*>(r->f1));
    put(t, "..");
    put_expr(t, static_cast<const expr*>(r->f2));
    const expr* by = static_cast<const expr*>(r->f3);
    if (by && !(opcode(by) == OPNUM && by->L.d == 1.)) {
      put(t, " by ");
      put_expr(t, static_cast<const expr*>(r->f3));
    }
  } else if (s->sclass == SC_SPEC) {
    put_ix(t, static_cast<const set_spec*>(s));
  } else if (s->sclass >= SC_UNION && s->sclass <= SC_INTER) {
    static const char* const names[] = {"union", "diff", "symdiff", "inter"};
    const set2p* b = static_cast<const set2p*>(s);
    put(t, "%s(", names[s->sclass - SC_UNION]);
    put_set(t, static_cast<const set*>(b->f1));
    put(t, ", ");
    put_set(t, static_cast<const set*>(b->f2));
    put(t, ")");
  } else if (s->sclass == SC_CROSS) {
    const set3p* c = static_cast<const set3p*>(s);
    set* const* f = static_cast<set* const*>(c->f1);
    put(t, "cross(");
    for (int i = 0; i < s->cword; ++i) {
      if (i) put(t, ", ");
      put_set(t, f[i]);
    }
    put(t, ")");
  } else if (s->sclass == SC_LITERAL) {
    put(t, "{");
    const set3p* l = static_cast<const set3p*>(s);
    for (const expr* x = static_cast<const expr*>(l->f1); x; x = x->next) {
      if (x != l->f1) put(t, ", ");
      put_expr(t, x);
    }
    put(t, "}");
  } else if (s->sclass == SC_NAMED && s->owner) {
    put(t, "%s", s->owner->name->name);
  } else {
    put(t, "set%u", s->sclass);
  }
}

void put_set(line_buf& t, const set* s) {
  if (!descend(t)) return;
  put_set_at(t, s);
  --t.depth;
}

void put_expr_at(line_buf& t, const expr* e) {
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
    case OPLOOPDUMMY:
      put(t, "loopdummy(%s)", static_cast<const dummy*>(e->L.p)->name->name);
      break;
    case 221:
    case 222:
      put(t, "env(%s", e->L.sym->name);
      if (e->R.e) put_chain(t, e->R.e);
      put(t, ")");
      break;
    case OPDOLLAR:
    case OPDOLLAR0:
      put(t, opcode(e) == OPDOLLAR ? "$" : "$$");
      if (e->L.cs) {
        put(t, "%s", e->L.cs->text());
      } else if (e->R.e) {
        if (e->R.e->next) {
          put_expr(t, e->R.e->next);
          put(t, ".");
        }
        put_expr(t, e->R.e);
      }
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
    case OPARG:
      if (!e->L.ss) {
        put_expr(t, e->R.e);
        break;
      }
      put(t, "item(");
      put_ix(t, e->L.ss);
      if (e->R.e) {
        put(t, " ");
        if (e->R.e->next)
          put_chain(t, e->R.e);
        else
          put_expr(t, e->R.e);
      }
      put(t, ")");
      break;
    case 254:
      put_set(t, e->L.s);
      break;
    case OPXNODE:
      if (e->L.p == Check) {  // from check_del: R is the check record
        put(t, "check %d", static_cast<const check*>(e->R.p)->chknum);
        break;
      }
      put(t, "%s", e->L.x->name->name);
      if (e->R.i != -2) put(t, ".%d", e->R.i);
      break;
    default:
      put_node(t, e);
  }
}

void put_expr(line_buf& t, const expr* e) {
  if (!descend(t)) return;
  put_expr_at(t, e);
  --t.depth;
}

// An argument list of sets (alldisjoint, alldistinct): OPARG entries
// whose R is a set, or an indexing over a nested list of such entries.
void put_set_args(line_buf& t, const expr* a) {
  if (!descend(t)) return;
  put(t, "[");
  for (const expr* x = a; x; x = x->next) {
    if (x != a) put(t, ", ");
    if (opcode(x) != OPARG) {
      put_expr(t, x);
    } else if (!x->L.ss) {
      put_set(t, x->R.s);
    } else {
      put(t, "item(");
      put_ix(t, x->L.ss);
      put(t, " ");
      put_set_args(t, x->R.e);
      put(t, ")");
    }
  }
  put(t, "]");
  --t.depth;
}

// Any other node by its shape: op<code> with its operands.
void put_node(line_buf& t, const expr* e) {
  put(t, "op%d", opcode(e));
  switch (shape(e)) {
    case 1:
    case 5:
    case 11:
    case 14:
    case 61:
    case 64:
      put(t, "(");
      put_expr(t, e->L.e);
      put(t, ")");
      break;
    case 2:
    case 15:
    case 54:
      put(t, "(");
      put_expr(t, e->L.e);
      put(t, ", ");
      put_expr(t, e->R.e);
      put(t, ")");
      break;
    case 3:
      put(t, "(");
      put_ix(t, e->L.ss);
      put(t, " ");
      put_expr(t, e->R.e);
      put(t, ")");
      break;
    case 6:
    case 30:
      if (opcode(e) == OPCONCAT) {
        put_chain(t, e->L.e);
        break;
      }
      put_chain(t, e->L.e);
      break;
    case 4:
    case 16:
    case 40:
    case 43:
      put(t, "(%s", e->L.x->name->name);
      if (e->R.e && opcode(e->R.e) == OPLOOKUP && e->R.e->R.e) {
        put(t, " ");
        put_chain(t, e->R.e->R.e->L.e);
      }
      put(t, ")");
      break;
    case 9:
    case 58:
      put(t, "(");
      put_expr(t, e->L.e);
      if (e->R.e) {
        put(t, ", ");
        put_expr(t, e->R.e->L.e);
        put(t, ", ");
        put_expr(t, e->R.e->R.e);
      }
      put(t, ")");
      break;
    case 10:
      put(t, "(");
      if (e->L.e && opcode(e->L.e) == OPSYMLIST) put_chain(t, e->L.e->L.e);
      put(t, ", ");
      put_set(t, e->R.s);
      put(t, ")");
      break;
    case 25:
      put(t, "(");
      put_set(t, e->L.s);
      put(t, ", ");
      put_set(t, e->R.s);
      put(t, ")");
      break;
    case 27:
      put(t, "(");
      put_set(t, e->L.s);
      put(t, ")");
      break;
    case 55:
      // Counting forms: the value counted (numberof), then the arguments.
      put(t, "(");
      if (e->L.e) {
        put_expr(t, e->L.e);
        put(t, "; ");
      }
      put_chain(t, e->R.e);
      put(t, ")");
      break;
    case 56:
      put(t, "(");
      put_set_args(t, e->R.e);
      put(t, ")");
      break;
    default:
      break;
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

// The items of an option command.
void put_settings(line_buf& t, const Optioncmd* o) {
  for (; o; o = o->next) {
    if (o->env) {
      put_expr(t, o->env);
      put(t, ".");
    }
    if (o->name)
      put(t, "%s", o->name->text());
    else
      put_expr(t, o->namex);
    if (o->value) {
      put(t, "=");
      if (opcode(o->value) == OPSTR)
        put(t, "%s", o->value->L.cs->text());
      else
        put_expr(t, o->value);
    }
    if (o->next) put(t, ", ");
  }
}

// The open compound commands of the stand-in interpreter: enough to know
// whether a compound command is being built and when a loop body is
// complete, so that the loop's dummy scopes close then, and when the
// outermost compound is complete, so that it runs.
enum frame_kind { FR_BODY, FR_BRACE };
struct frame {
  frame_kind kind;
  int nctx;   // scope levels to close when the frame ends
  int depth;  // a brace's depth (bracecnt once its "{" was read)
};
constexpr int MAX_FRAMES = 256;
frame frames[MAX_FRAMES];
int nframes;
// The outermost open compound: its command kind and where its statement
// began; for an `if`, whether its `else` part was begun.
int outer_kind;
cmd_place outer_at;
bool outer_else;
// A complete top-level `if` without `else` waits for the next statement:
// an `else` continues it, anything else runs it first (start_check).
bool if_waiting;

// Where the current statement began (no file for standard input).
cmd_place statement_place() {
  return cmd_place{nullptr, infile == 0 ? nullptr : stmtfname,
                   static_cast<long>(stmtline), static_cast<long>(stmtoffset),
                   0};
}

// Opens a frame; kind is the command kind of the compound that the
// outermost frame begins.
void push_frame(frame_kind k, int nctx, int kind) {
  if (nframes == 0) {
    outer_kind = kind;
    outer_at = statement_place();
    outer_else = false;
  }
  if (nframes < MAX_FRAMES) frames[nframes++] = frame{k, nctx, bracecnt};
  cmdstate = 1;
}

// The lexer gives a "}" that closes the innermost open brace a ";" first
// when the statement before it has none: it learns that brace's depth
// here, when a brace opens and when an inner one closes.
static void note_semibrace() {
  semibrace = -1;
  for (int i = nframes; i > 0; --i) {
    if (frames[i - 1].kind == FR_BRACE) {
      semibrace = frames[i - 1].depth - 1;
      break;
    }
  }
}

// Closes the n scopes of a frame that ends, as far as they are still open.
void close_frame_scopes(int n) {
  context_end(n < sslevel ? n : static_cast<int>(sslevel));
}

// A statement is complete: every construct waiting for a single statement
// as its body ends with it.  A command of the kind (0: none) read outside
// every compound (in_compound false) runs now with its fields (args); a
// statement that closes the outermost compound runs that.
void end_statement(bool in_compound, int kind, const cmd_args* args) {
  // The statement is over: a loop dummy it used no longer counts.
  lastloopdummy = nullptr;
  while (nframes > 0 && frames[nframes - 1].kind == FR_BODY)
    close_frame_scopes(frames[--nframes].nctx);
  cmdstate = nframes > 0;
  if (cmd_trace) return;  // recording only
  if (!in_compound) {
    if (kind) execute(kind, statement_place(), args);
  } else if (nframes == 0) {
    if (outer_kind == CK_IF && !outer_else) {
      if_waiting = true;
      cmdstate = 1;
      return;
    }
    execute(outer_kind, outer_at, nullptr);
  }
}

}  // namespace

int open_compound_kind() { return nframes > 0 || if_waiting ? outer_kind : 0; }

namespace {

// Runs a top-level `if` that waited for an `else` (none came).
void run_waiting_if() {
  if (!if_waiting) return;
  if_waiting = false;
  cmdstate = nframes > 0;
  execute(CK_IF, outer_at, nullptr);
}

// A statement that has no builder of its own yet, complete at top level
// (top), is abandoned as not implemented, unless only recording.
void unbuilt(bool top, const char* name) {
  if (top && !cmd_trace) not_implemented(name);
}

void complete(int kind = 0, const cmd_args* args = nullptr) {
  end_statement(nframes > 0, kind, args);
}

// Closes the scope of an indexing that a command received.
void close_ix(set_spec* ss) {
  if (ss) end_context(ss, nullptr);
}

void trace_ix_cmd(const char* what, set_spec* ix, const expr* a, const expr* b,
                  const redirect* r) {
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

// The commands of an indexing and a list of items (print, printf, read):
// "what ix [format] [items] redirect"; the indexing's scope ends with them.
void items_cmd(const char* what, int kind, set_spec* ix, bool with_format,
               const expr* format, const expr* items, const redirect* r) {
  line_buf t{};
  put(t, "%s ", what);
  put_ix(t, ix);
  put(t, " ");
  if (with_format) {
    put_expr(t, format);
    put(t, " ");
  }
  put_chain(t, items);
  put(t, " ");
  put_redirect(t, r);
  emit(t);
  close_ix(ix);
  complete(kind);
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
  cmd_args args{};  // the fields execute hands to the handler
  int nes = 0;
  int nbs = 0;
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
      case 'e': {
        expr* e = va_arg(ap, expr*);
        put_expr(t, e);
        if (nes < 4) args.e[nes++] = e;
        break;
      }
      case 'r': {
        expr* e = va_arg(ap, expr*);  // a chain, taken as one expression
        put_chain(t, e);
        if (nes < 4) args.e[nes++] = e;
        break;
      }
      case 'l': {
        put(t, "[");
        for (list* l = va_arg(ap, list*); l; l = l->next)
          put(t, "%s%s", l->item.sym->name, l->next ? ", " : "");
        put(t, "]");
        break;
      }
      case 'o':
        args.items = va_arg(ap, Optioncmd*);
        put(t, "[");
        put_settings(t, args.items);
        put(t, "]");
        break;
      case 'b': {
        symbol* s = va_arg(ap, symbol*);
        put(t, "%s", s ? s->name : "-");
        if (nbs < 4) args.b[nbs++] = s;
        break;
      }
      case 'f':
        args.r = va_arg(ap, redirect*);
        put_redirect(t, args.r);
        break;
      default:
        put(t, "?");
        (void)va_arg(ap, void*);
    }
  }
  va_end(ap);
  emit(t);
  // Inner scopes first.
  if (nix) args.ix = ixs[0];
  while (nix > 0) close_ix(ixs[--nix]);
  complete(kind == CK_EMPTY ? 0 : kind, &args);
}

void printcmd(set_spec* ix, expr* items, redirect* r) {
  items_cmd("printcmd", CK_PRINT, ix, false, nullptr, items, r);
}

void printfcmd(set_spec* ix, expr* format, expr* items, redirect* r) {
  items_cmd("printfcmd", CK_PRINTF, ix, true, format, items, r);
}

void letcmd(set_spec* ix, expr* target, expr* value) {
  trace_ix_cmd("letcmd", ix, target, value, nullptr);
  close_ix(ix);
  complete(CK_LET);
}

void letsetcmd(set_spec* ix, expr* target, set* value) {
  trace_ix_cmd("letsetcmd", ix, target, nullptr, nullptr);
  (void)value;
  close_ix(ix);
  complete(CK_LET);
}

void fixun(int unfix, set_spec* ix, expr* target, expr* value) {
  line_buf t{};
  put(t, "fixun %d ", unfix);
  put_ix(t, ix);
  put(t, " ");
  put_expr(t, target);
  if (value) {
    put(t, " := ");
    put_expr(t, value);
  }
  emit(t);
  close_ix(ix);
  complete(unfix ? CK_UNFIX : CK_FIX);
}

void dropadd_cmd(int restore, set_spec* ix, expr* target) {
  trace_ix_cmd(restore ? "dropadd_cmd 1" : "dropadd_cmd 0", ix, target, nullptr,
               nullptr);
  close_ix(ix);
  complete(restore ? CK_RESTORE : CK_DROP);
}

void expand(int variant, expr* items, redirect* r) {
  line_buf t{};
  put(t, "expand %d ", variant);
  put_chain(t, items);
  put(t, " ");
  put_redirect(t, r);
  emit(t);
  complete(CK_EXPAND);
}

redirect* new_redirect(expr* file, int mode) {
  redirect* r = static_cast<redirect*>(mem(sizeof(redirect)));
  r->file = file;
  r->mode = mode;
  return r;
}

void reset() {
  trace_line("reset");
  bool top = nframes == 0;
  complete();
  unbuilt(top, "reset");
}

cstr* list2string(list* words) {
  words = reverse(words);
  size_t n = 1;
  for (list* l = words; l; l = l->next)
    n += strlen(l->item.p ? static_cast<cstr*>(l->item.p)->text() : "") + 1;
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

void if_cmd(expr* cond) {
  line_buf t{};
  put(t, "if_cmd ");
  put_expr(t, cond);
  emit(t);
  push_frame(FR_BODY, 0, CK_IF);
}

void else_cmd() {
  trace_line("else_cmd");
  if (if_waiting) {  // the else part of the waiting if
    if_waiting = false;
    outer_else = true;
    frames[nframes++] = frame{FR_BODY, 0, bracecnt};
    cmdstate = 1;
    return;
  }
  push_frame(FR_BODY, 0, CK_IF);
}

void while_cmd(expr* cond) {
  line_buf t{};
  put(t, "while_cmd ");
  put_expr(t, cond);
  emit(t);
  complete();
}

void lbrace() {
  trace_line("lbrace");
  push_frame(FR_BRACE, 0, CK_BRACES);
  note_semibrace();
}

void rbrace() {
  trace_line("rbrace");
  bool open = nframes > 0;
  while (nframes > 0) {
    frame f = frames[--nframes];
    close_frame_scopes(f.nctx);
    if (f.kind == FR_BRACE) break;
  }
  note_semibrace();
  end_statement(open, 0, nullptr);
}

void loopstart(int kind, symbol* name, void* what) {
  line_buf t{};
  put(t, "loopstart %d %s ", kind, name ? name->name : "-");
  if (kind == CK_LOOP_FOR) {
    set_spec* ss = static_cast<set_spec*>(what);
    put_ix(t, ss);
    emit(t);
    push_frame(FR_BODY, set_spec_count(ss), kind);
  } else {
    put_expr(t, static_cast<expr*>(what));
    emit(t);
    push_frame(FR_BRACE, 0, kind);
    note_semibrace();
  }
}

namespace {

// The loop dummies made by loopdumify and the sets they range over, for
// new_set_db; entries whose dummy went back to the free list are stale
// but harmless (the dummy is rebound before its next lookup).
struct loop_set {
  dummy* d;
  set* s;
};
constexpr int MAX_LOOP_SETS = 64;
loop_set loop_sets[MAX_LOOP_SETS];
int nloop_sets;

// The dummy record now bound to name becomes a loop dummy.
dummy* make_loop_dummy(symbol* name) {
  dummy* d = static_cast<dummy*>(name->binding);
  if (d && d->kind == DUMMY_KIND) d->kind = LOOPDUMMY_KIND;
  return d;
}

}  // namespace

void loopdumify(symbol* name, set* s) {
  line_buf t{};
  put(t, "loopdumify %s ", name->name);
  put_set(t, s);
  emit(t);
  dummy* d = make_loop_dummy(name);
  if (d && nloop_sets < MAX_LOOP_SETS) loop_sets[nloop_sets++] = {d, s};
}

void loopdumifye(expr* tuple) {
  line_buf t{};
  put(t, "loopdumifye ");
  put_chain(t, tuple);
  emit(t);
  for (expr* e = tuple; e; e = e->next)
    if (opcode(e) == OPDUMMY) make_loop_dummy(reinterpret_cast<symbol*>(e->op));
}

set* new_set_db(dummy* d) {
  for (int i = nloop_sets; i-- > 0;)
    if (loop_sets[i].d == d) return loop_sets[i].s;
  return nullptr;
}

int breakcont(int kind, symbol* name) {
  trace_line("breakcont %d %s", kind, name ? name->name : "-");
  complete(kind);
  return 0;
}

int quit_cmd() {
  trace_line("quit_cmd");
  return 1;
}

void einclude(expr* file, int model) {
  line_buf t{};
  put(t, "einclude ");
  put_expr(t, file);
  put(t, " %d", model);
  emit(t);
  // The file is read also while the builders only record: reading input
  // is the parser's part, not the command's.
  held_cstr name(rdfname(file, nullptr));
  include(name.text(), 0, 0);
}

void havestmt(int k) {
  trace_line("havestmt %d", k);
}

void cmd_reset() {
  trace_line("cmd_reset");
  cmdbuild_reset();
}

void cmd_eof() {
  trace_line("cmd_eof");
  run_waiting_if();
}

int must_write() { return 0; }

void start_check() {
  if (!if_waiting) return;
  // The waiting if runs under a recovery point of its own: an error in it
  // abandons it, not the statement now beginning.
  int32_t special = yy_special;
  try {
    run_waiting_if();
  } catch (const command_abort&) {
    yy_special = special;
  }
}

const char* cmdprompt() { return "???"; }

int eof_loopend() {
  run_waiting_if();
  return rc;
}

void solve_cmd(symbol* name, expr* subscript, redirect* r) {
  line_buf t{};
  put(t, "solve_cmd %s ", name ? name->name : "-");
  put_expr(t, subscript);
  put(t, " ");
  put_redirect(t, r);
  emit(t);
  complete(CK_SOLVE);
}

static void name_sub_cmd(const char* what, int kind, symbol* name,
                         expr* subscript) {
  line_buf t{};
  put(t, "%s %s ", what, name ? name->name : "-");
  put_expr(t, subscript);
  emit(t);
  complete(kind);
}

void objective_cmd(symbol* name, expr* subscript) {
  name_sub_cmd("objective_cmd", CK_OBJECTIVE_SET, name, subscript);
}
void prob_cmd(symbol* name, expr* subscript) {
  name_sub_cmd("prob_cmd", CK_PROBLEM_SET, name, subscript);
}
void probreset(symbol* name, expr* subscript) {
  name_sub_cmd("probreset", CK_RESET_PROBLEM, name, subscript);
}

void purge(expr* names, int purge) {
  line_buf t{};
  put(t, "purge ");
  put_chain(t, names);
  put(t, " %d", purge);
  emit(t);
  complete(purge ? CK_PURGE : CK_DELETE);
}

void xref_cmd(expr* names, redirect* r) {
  line_buf t{};
  put(t, "xref_cmd ");
  put_chain(t, names);
  put(t, " ");
  put_redirect(t, r);
  emit(t);
  complete(CK_XREF);
}

void readcmd(set_spec* ix, expr* items, redirect* r) {
  items_cmd("readcmd", CK_READ, ix, false, nullptr, items, r);
}

void table_io(int write, set_spec* ix, symbol* name, expr* subscript) {
  line_buf t{};
  put(t, "table_io %d ", write);
  put_ix(t, ix);
  put(t, " %s ", name ? name->name : "-");
  put_expr(t, subscript);
  emit(t);
  close_ix(ix);
  complete(write ? CK_WRITE_TABLE : CK_READ_TABLE);
}

expr* funceval(symbol* function, expr* args) {
  return new_expr(opword(OPFUNC), function, args);
}

expr* item_ix(set_spec* ix, expr* body) {
  // An indexing followed by a parenthesised list: the list's items.
  if (body && opcode(body) == OPSYMLIST) {
    expr* t = body;
    body = name_purge(0, t->L.e);
    t->L.e = nullptr;
    free_expr(t);
  }
  expr* e = new_expr(opword(OPARG), ix, body);
  // The item's body is complete: its dummies go out of scope.
  end_context(ix, nullptr);
  return e;
}

expr* set_item(set* s) { return new_expr(opword(254), s); }

expr* entity_item(xnode* x) {
  return new_expr(opword(OPXNODE), x, static_cast<int32_t>(-2));
}

expr* show_item(int kind, symbol* name, double n) {
  static const char* const words[] = {"",      "environ", "suffix",
                                      "table", "option",  "check"};
  char buf[256];
  if (kind == SHOW_CHECK) {
    if (n < 0)
      Snprintf(buf, sizeof buf, "check");
    else
      Snprintf(buf, sizeof buf, "check %.g", n);
  } else {
    Snprintf(buf, sizeof buf, "%s %s", words[kind], name->name);
  }
  return new_lit(Symbol(buf, 1));
}

expr* set_target(xnode* sd, expr* subs) {
  return new_expr(opword(OPXNODE), sd, subs);
}

expr* vargop(symbol* f, expr* args) {
  uint32_t op = static_cast<const kw_row*>(f->binding)->value;
  return new_expr(op, reverse(args));
}

void cmdbuild_reset() {
  nframes = 0;
  if_waiting = false;
  semibrace = -1;
  nloop_sets = 0;
  cmdstate = 0;
}

}  // namespace vexo
