// The record printer: one line per command record, as the parser's unit
// tests and the front-end probe read them.
#include "session/cmdlist.h"

#include <cstdarg>
#include <cstring>

#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/cmdbuild.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "session/cmdrec.h"
#include "session/execute.h"
#include "session/optcmd.h"
#include "support/format.h"
#include "support/list.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

// A line being built; depth: the levels of the tree being described
// that the walk is inside.
struct line_buf {
  char b[8192];
  int n;
  int depth;
};

// Descriptions stop DESCRIBE_DEPTH levels down a tree ("..."), and once the
// line is full: the walk stays shallow whatever the tree's depth.
constexpr int DESCRIBE_DEPTH = 100;

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

void put_expr(line_buf& t, const expr* e);
void put_set(line_buf& t, const set* s);
void put_node(line_buf& t, const expr* e);

// Enters one level of the tree being described; false when the walk must
// not go deeper.
bool descend(line_buf& t) {
  if (t.n >= static_cast<int>(sizeof t.b) - 1) return false;
  if (t.depth >= DESCRIBE_DEPTH) {
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
    case OPENV:
    case OPENVSUB:
      put(t, "env(%s", e->L.sym->name);
      if (e->R.e) put_chain(t, e->R.e);
      put(t, ")");
      break;
    case OPDOLLAR:
    case OPDOLLAR0:
      put(t, opcode(e) == OPDOLLAR ? "$" : "$$");
      if (e->R.e) {
        put_expr(t, e->R.e);
        put(t, ".\"%s\"", e->L.cs->text());
      } else {
        put(t, "%s", e->L.cs->text());
      }
      break;
    case OPeeDOLLAR218:
    case OPeDOLLAR0:
    case OPeeDOLLAR220:
      put(t, opcode(e) == OPeDOLLAR0 ? "$$" : "$");
      if (opcode(e) == OPeeDOLLAR220) {
        put_expr(t, e->R.e);
        put(t, ".");
      }
      put_expr(t, e->L.e);
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
    case OPFUNC0:
    case OPFUNCstr:
    case OPFUNCcs:
      put(t, "%s(", e->L.x && e->L.x->name ? e->L.x->name->name : "?");
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
    case OP254:
      put_set(t, e->L.s);
      break;
    case OPXNODE:
      if (e->L.p == Check) {  // from check_del: R is the check record
        put(t, "check %d", static_cast<const check*>(e->R.p)->chknum);
        break;
      }
      put(t, "%s", e->L.x->name->name);
      if (e->L.x->kind == DK_SETI && e->R.i != -2) {
        // let's target S[...]: the subscripts of its look-up.
        if (e->R.e) put_expr(t, e->R.e);
      } else if (e->R.i != -2) {
        put(t, ".%d", e->R.i);
      }
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

// The operands of a node as visit_operands lays them out, separated by
// commas; strings and the inner nodes of suffix references are left out.
struct operand_printer : walker_defaults {
  explicit operand_printer(line_buf& b) : t(b) {}
  line_buf& t;
  bool first = true;
  void sep() {
    if (!first) put(t, ", ");
    first = false;
  }
  void operand(const expr* e) {
    sep();
    put_expr(t, e);
  }
  void chain(const expr* c) {
    sep();
    put_chain(t, c);
  }
  void args(const expr* a, bool) {
    sep();
    put_chain(t, a);
  }
  void operand_set(const set* s) {
    sep();
    put_set(t, s);
  }
};

// Any other node by its shape: op<code> with its operands.
void put_node(line_buf& t, const expr* e) {
  put(t, "op%d", opcode(e));
  switch (shape(e)) {
    case SH_UNARY:
    case SH_FUNC1:
    case SH_FROM_NUMBER:
    case SH_TO_NUMBER:
    case SH_SAMPLE:
    case SH_RECPAR:
    case SH_BINARY:
    case SH_FUNC2:
    case SH_COUNTREL:
    case SH_IF:
    case SH_IMPELSE:
    case SH_SETREL:
    case SH_SETFUNC: {
      operand_printer w(t);
      put(t, "(");
      visit_operands(const_cast<expr*>(e), w);
      put(t, ")");
      break;
    }
    case SH_ITERATED:
      put(t, "(");
      put_ix(t, e->L.ss);
      put(t, " ");
      put_expr(t, e->R.e);
      put(t, ")");
      break;
    case SH_LIST:
    case SH_SUMLIST:
      put_chain(t, e->L.e);
      break;
    case SH_SUBSCRIPTED:
    case SH_LOOKUP:
    case SH_FORM252:
    case SH_SYNSUB:
      put(t, "(%s", e->L.x->name->name);
      if (e->R.e && opcode(e->R.e) == OPLOOKUP && e->R.e->R.e) {
        put(t, " ");
        put_chain(t, e->R.e->R.e->L.e);
      }
      put(t, ")");
      break;
    case SH_MEMBERSHIP:
      // The members of a tuple, not the tuple node.
      put(t, "(");
      if (e->L.e && opcode(e->L.e) == OPSYMLIST) put_chain(t, e->L.e->L.e);
      put(t, ", ");
      put_set(t, e->R.s);
      put(t, ")");
      break;
    case SH_ARGLIST:
      // Counting forms: the value counted (numberof), then the arguments.
      put(t, "(");
      if (e->L.e) {
        put_expr(t, e->L.e);
        put(t, "; ");
      }
      put_chain(t, e->R.e);
      put(t, ")");
      break;
    case SH_SETARGS:
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

void put_field(line_buf& t, char letter, const cmd_arg& a) {
  switch (letter) {
    case 'i':
      put(t, "%ld", static_cast<long>(a.i));
      break;
    case '_':
      put_ix(t, a.ss);
      break;
    case 'e':
      put_expr(t, a.e);
      break;
    case 'r':
      put_chain(t, a.e);
      break;
    case 's':
      put_set(t, a.s);
      break;
    case 'l':
      put(t, "[");
      for (list* l = a.l; l; l = l->next)
        put(t, "%s%s", l->item.sym->name, l->next ? ", " : "");
      put(t, "]");
      break;
    case 'o':
      put(t, "[");
      put_settings(t, a.o);
      put(t, "]");
      break;
    case 'b':
      put(t, "%s", a.b ? a.b->name : "-");
      break;
    case 'f':
      put_redirect(t, a.r);
      break;
    default:  // T: a record
      put(t, "%s",
          a.p ? cmdname[static_cast<const cmd_fields*>(a.p)->kind -
                        CMD_KIND_MIN]
              : "-");
  }
}

void write_line(FILE* out, line_buf& t, int depth) {
  Fprintf(out, "%*s%s\n", 2 * depth, "", t.b);
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

void cmd_describe(FILE* out, cmd_fields* c, int depth) {
  line_buf t{};
  int kind = c->kind;
  put(t, "cmd %d", kind);
  cmd_compound* o = compound(c);
  switch (kind) {
    case CK_LOOP_FOR:
      put(t, " for %s ", o->name ? o->name->name : "-");
      put_ix(t, o->ix);
      break;
    case CK_LOOP_REPEAT:
      put(t, " repeat %s ", o->name ? o->name->name : "-");
      put_expr(t, o->cond);
      put(t, " ");
      put_expr(t, o->tcond);
      break;
    case CK_IF:
      put(t, " if ");
      put_expr(t, o->cond);
      break;
    case CK_BRACES:
      put(t, " {...}");
      break;
    default:
      put(t, " \"%s\"", c->fmt);
      for (int i = 0; i < c->nfield; ++i) {
        put(t, " ");
        put_field(t, c->fmt[i], c->f()[i]);
      }
      write_line(out, t, depth);
      return;
  }
  write_line(out, t, depth);
  for (cmd_fields* b = o->body; b; b = b->next) cmd_describe(out, b, depth + 1);
  if (kind == CK_IF) {
    Fprintf(out, "%*selse\n", 2 * depth, "");
    for (cmd_fields* b = o->els; b; b = b->next)
      cmd_describe(out, b, depth + 1);
  }
}

}  // namespace vexo
