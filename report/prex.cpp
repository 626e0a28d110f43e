// The line buffer and the expression printer.
#include "report/prex.h"

#include <cmath>
#include <cstdarg>
#include <cstring>
#include <vector>

#include "compiler/opgen.h"
#include "eval/evalerr.h"
#include "eval/indexing.h"
#include "eval/optab.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/refs.h"
#include "frontend/suffix.h"
#include "frontend/keywords.h"
#include "instance/sufdecl.h"
#include "instance/names.h"
#include "report/dotnames.h"
#include "report/indextab.h"
#include "report/prset.h"
#include "session/infiles.h"
#include "session/startup.h"
#include "support/format.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"
#include "support/utf8.h"

namespace vexo {

int display_width;
int MD_prec;

int32_t pbi;
int32_t disp_width = 79;
int32_t pbinl;
int32_t stringing;
int32_t print_values;
int32_t show_opprint;
int32_t MD_prec1;
int32_t display_kludge;
int32_t show_source;
int32_t listing_quotes;

// The line buffer: a block of the printer's own, grown by doubling, so that
// a token of any length fits and no other user of a scratch buffer can
// disturb an open line.  The line is NUL-terminated at pbi.
static char* line;
static int line_k = -1;  // size class of line; -1 before the first use

FILE* display_stream() { return df ? df : stdOut ? stdOut : stdout; }

// Room for n more bytes and the NUL after the open line.
static void line_room(size_t n) {
  size_t need = static_cast<size_t>(pbi) + n + 1;
  if (line_k >= 0 && need <= (size_t{8} << line_k)) return;
  int k = htcl(need < 512 ? 512 : need);
  if (line_k >= 0 && k <= line_k) k = line_k + 1;
  char* b = static_cast<char*>(new_mblk(k));
  if (line_k >= 0) {
    std::memcpy(b, line, static_cast<size_t>(pbi) + 1);
    del_mblk(line_k, line);
  } else {
    b[0] = 0;
  }
  line = b;
  line_k = k;
}

static void append(const char* t, size_t n) {
  line_room(n);
  std::memcpy(line + pbi, t, n);
  pbi += static_cast<int32_t>(n);
  line[pbi] = 0;
}

// The open line without its trailing blanks (print mode writes it so).
static void trim_line() {
  int32_t n = pbi;
  while (n > 0 && line[n - 1] == ' ') --n;
  line[n] = 0;
}

// Ends the open line with the text end ("\n" or ";\n"); mode 2 of string
// mode appends the line alone at the end of a statement (end null).  Lines
// start with init_sharp (-#, session/infiles.h), or with "# " while
// printexpr writes (sharp_lines).
static int sharp_lines;

static void write_line(const char* end) {
  if (stringing) {
    sabuf_add(line, static_cast<size_t>(pbi));
    if (end) sabuf_add(end, std::strlen(end));
  } else {
    trim_line();
    const char* sharp = sharp_lines ? "# " : init_sharp ? init_sharp : "";
    Fprintf(display_stream(), "%s%s%s", sharp, line, end ? end : "");
  }
}

static void new_line(int32_t indent) {
  line_room(static_cast<size_t>(indent));
  std::memset(line, ' ', static_cast<size_t>(indent));
  pbi = indent;
  line[pbi] = 0;
}

void put(const char* t) {
  size_t b;
  int n = utflen2(t, &b);
  int64_t w = n > 3 ? n + 3 : n;
  if (int64_t{pbi} + w < disp_width && !pbinl) {
    append(t, b);
    return;
  }
  if (pbi > 2) {
    pbinl = 0;
    write_line("\n");
    new_line(2);
  }
  append(t, b);
}

void putf(const char* fmt, ...) {
  char buf[256];
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  int n = Vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  if (n < static_cast<int>(sizeof buf)) {
    va_end(ap2);
    put(buf);
    return;
  }
  mstr* m = nullptr;
  vmprintf(&m, fmt, ap2);
  va_end(ap2);
  put(mstr_val(m));
  mstr_free(&m);
}

void pbi_flush() {
  if (pbi) {
    if (stringing == 2)
      write_line(nullptr);
    else
      write_line(";\n");
  }
  pbi = 0;
  pbinl = 0;
  if (line_k >= 0) line[0] = 0;
  ind_release();
  if (!stringing && dbg) fflush(display_stream());
}

void pbi_flush1() {
  if (pbi) write_line("\n");
  pbinl = 0;
  new_line(4);
}

const char* op_name(int k) {
  return k >= 0 && k < N_OPNAMES ? opname[k] : nullptr;
}

const char* dcl_name(const xnode* d) { return d ? xnode_name(d) : "?"; }

void prbadtype(const char* where, uint32_t code) {
  pbi_flush();
  fflush(display_stream());
  badtype(where, code);
}

void prsym(const symbol* s) {
  if (!s) return;
  if ((quote_literals || listing_quotes) && !is_number(s))
    putf("%Q", s->name);
  else
    put(s->name);
}

void prmem(int arity, symbol* const* t) {
  if (arity == 1) {
    if ((quote_literals || listing_quotes) && !is_number(t[0]))
      putf(" %Q", t[0]->name);
    else
      putf(" %s", t[0]->name);
    return;
  }
  put(" (");
  for (int i = 0; i < arity; ++i) {
    if (i) put(",");
    prsym(t[i]);
  }
  put(")");
}

// ---- precedence ---------------------------------------------------------

// Shapes that print nothing of their own: conversion and evaluation
// wrappers, the shared middle of a comparison chain, recursive markers.
bool condition_number(const expr* e) {
  if (!e || opcode(e) != OPIF111) return false;
  const expr* pair = e->R.e;
  auto is = [](const expr* x, double v) {
    return x && opcode(x) == OPNUM && x->L.d == v && !std::signbit(x->L.d);
  };
  return pair && is(pair->L.e, 1.) && is(pair->R.e, 0.);
}

static bool transparent(const expr* e) {
  switch (shape(e)) {
    case SH_FROM_NUMBER:
    case SH_TO_NUMBER:
    case SH_EVAL:
    case SH_RELOPCH:
    case SH_RECPAR:
      return true;
    case SH_UNARY:  // an unnamed conversion; "$(...)" and "$$(...)" are written
      return opcode(e) >= N_OPNAMES && opcode(e) != OPeeDOLLAR218 &&
             opcode(e) != OPeDOLLAR0;
    default:
      return false;
  }
}

static expr* stored_computation(const expr* x);

// The expression a compiled node is written as, when it is written as
// one: a stored subexpression's own expression (unless its slot or value
// is written), and in show_source mode the computation a member reference
// holds.  Null otherwise.
static const expr* stored_shown(const expr* e) {
  switch (shape(e)) {
    case SH_REWRITE:
      if (print_values && (e->opword & EF_NUMERIC)) return nullptr;
      if (show_opprint && !show_source) return nullptr;
      return e->L.e ? e->L.e->R.e : nullptr;
    case SH_VALUE:
      return show_source ? stored_computation(e) : nullptr;
    default:
      return nullptr;
  }
}

// What the printer writes for e: e with the compiler's stored forms
// removed, and with its transparent wrappers when wrappers is set.
static const expr* written(const expr* e, bool wrappers) {
  while (e) {
    if (wrappers && transparent(e) && e->L.e)
      e = e->L.e;
    else if (const expr* s = stored_shown(e))
      e = s;
    else
      break;
  }
  return e;
}

static const expr* visible(const expr* e) { return written(e, true); }

// The product written for a unary minus that the front end took off an
// operand of it (R of the minus holds the path to where the sign was
// written, every step through a binary operator), null for any other node.
static const expr* moved_minus(const expr* e) {
  if (opcode(e) != OPUMINUS || e->R.n <= NEG_PATH_END) return nullptr;
  const expr* top = written(e->L.e, true);
  const expr* p = top;
  for (int64_t v = e->R.n; v > NEG_PATH_END; v >>= 1) {
    if (!p || shape(p) != SH_BINARY) return nullptr;
    if (v >> 1 > NEG_PATH_END) p = written(v & 1 ? p->R.e : p->L.e, true);
  }
  return top;
}

// Writes the minus e as it was written: copies of the products on its path
// with the sign put back on the operand at its end.
static void put_moved_minus(expr* e) {
  std::vector<expr> path;
  path.reserve(NEG_PATH_MAX + 1);
  expr* p = const_cast<expr*>(written(e->L.e, true));
  for (int64_t v = e->R.n; v > NEG_PATH_END; v >>= 1) {
    path.push_back(*p);
    expr*& side = v & 1 ? path.back().R.e : path.back().L.e;
    if (v >> 1 > NEG_PATH_END) {
      p = const_cast<expr*>(written(side, true));
      side = &path.back() + 1;
    } else {
      path.push_back(*e);
      path.back().L.e = side;
      path.back().R.n = 0;
      side = &path.back();
    }
  }
  prex(&path.front());
}

// The precedence by which an operand is parenthesised.  Three forms read
// more loosely than the precedence table says, and get the grammar's
// place: a negative number is written with its minus (just below unary
// minus, so -(-2) and (-2)^2 keep their parentheses), "!" binds as loosely
// as `not` (above && only), and the implications of constraints as loosely
// as the other implications.  Suffix references, symbol lists and lookups
// (precedence 0 in the table: written by code of their own) are written
// whole and need no parentheses.
static int operand_prec(const expr* e, bool look_through) {
  // An unnamed conversion of a condition used as a number writes it in
  // parentheses (prex).
  if (e && shape(e) == SH_UNARY &&
      (opcode(e) >= N_OPNAMES || !opname[opcode(e)]) &&
      condition_number(e->L.e))
    return 40;
  e = written(e, look_through);
  if (!e) return 40;
  if (const expr* p = moved_minus(e)) e = p;
  int oc = opcode(e);
  switch (oc) {
    case OPNUM:
      return std::signbit(e->L.d) ? prec[OPUMINUS] - 1 : prec[OPNUM];
    case OPNOT:
      return prec[OPAND] + 1;
    case OPIMPLIES:
    case OPIMPLIEDBY:
    case OPIMPELSE79:
      return prec[OPIMPELSE72];
    case OPSYMLIST:
    case OPLOOKUP:
    case OPLOOKUPsl175:
    case OPLOOKUPsl176:
      return 40;
    default:
      if (oc >= OPDOT && oc <= OPSUFSUBSYM) return 40;  // suffix references
      return oc < N_PREC ? prec[oc] : 40;
  }
}

static void paren(expr* e) {
  put("(");
  prex(e);
  put(")");
}

// An operand that is a condition used as a number is written as the
// condition in parentheses, as it was typed; true when so written.
static bool put_condition_operand(expr* x) {
  if (!condition_number(x)) return false;
  paren(x->L.e);
  return true;
}

void prex_prec(expr* e, int p) {
  if (operand_prec(e, true) < p)
    paren(e);
  else
    prex(e);
}

void prex_phrase(expr* e, bool more) {
  expr* w = const_cast<expr*>(written(e, true));
  if (condition_number(w))
    paren(w->L.e);
  else if (more && operand_prec(e, true) <= prec[OPISIN])
    paren(e);
  else
    prex(e);
}

// ---- pieces -------------------------------------------------------------

// Elements of a chain joined by sep.
static void put_chain(expr* c, const char* sep) {
  for (expr* x = c; x; x = x->next) {
    if (x != c) put(sep);
    prex(x);
  }
}

// "[" after the name of a subscripted entity, without the blank that
// follows the name (it lets the line break between name and subscript).
static void open_bracket() {
  if (pbi > 0 && line[pbi - 1] == ' ') line[--pbi] = 0;
  put("[");
}

// The subscripts of an environment: a chain of expressions.
static void put_env_subs(expr* chain);

// The subscripts or tuple a node stands for: a symbol list's elements, or
// the expression itself.
static void put_tuple(expr* t) {
  if (t && opcode(t) == OPSYMLIST)
    put_chain(t->L.e, ",");
  else
    prex(t);
}

static void put_env_subs(expr* chain) {
  open_bracket();
  put_chain(chain, ",");
  put("]");
}

static void put_number(double d) {
  if (d == 0 && std::signbit(d)) {
    put("-0");
    return;
  }
  put(gfmt(d, MD_prec1, nullptr));
}

// The name of dummy number off of scope level lev: the dummy node of the
// entry registered at that level, else the node's own (the front end keeps
// a dummy's name in the routine slot of its nodes until compilation).
static const symbol* dummy_name(const expr* e) {
  int lev = e->L.i;
  if (lev >= 1 && lev < IND_LEVELS && Ind[lev]) {
    for (const expr* d = Ind[lev]->dummies; d; d = d->next)
      if (opcode(d) == OPDUMMY && d->R.i == e->R.i && d->L.i == lev)
        return reinterpret_cast<const symbol*>(d->op);
  }
  return reinterpret_cast<const symbol*>(e->op);
}

static void put_dummy(const expr* e) {
  int lev = e->L.i;
  if (display_kludge >= lev && lev >= 0 && lev <= IND_LEVELS) {
    putf("$%d", firstdummy[lev] + e->R.i);
    return;
  }
  const symbol* s = dummy_name(e);
  put(s ? s->name : "?");
}

// The name of a suffix code of a display form or a built-in suffix node;
// objective codes are stored negated (-1 for .val).
static void put_suffix_code(int32_t code) {
  if (code == -1) code = SUF_OBJVAL;
  if (code < 0) code = -code;
  if (code < N_DOTCODES) {
    putf(".%s", dotnames[code]);
    return;
  }
  bool num = code < SUF_SYMBASE;
  int n = code - (num ? SUF_NUMBASE : SUF_SYMBASE);
  if (!dot_names || n >= dot_names->nmem) {
    put(".?");
    return;
  }
  const suffix* s = suf_bynum(n);
  putf(num && (s->type_bits & SUF_SYMBOLIC) ? ".%s_num" : ".%s",
       s->name->name);
}

// A declared suffix on a reference (SH_SUF, SH_SUFSUB, SH_SYNSUF): ".name",
// with "_num" for the numeric value of a symbolic suffix.
static void put_user_suffix(const expr* inner, bool numeric) {
  const suffix* s = static_cast<const suffix*>(inner->R.p);
  if (!s) return;
  putf(numeric && (s->type_bits & SUF_SYMBOLIC) ? ".%s_num" : ".%s",
       s->name->name);
}

// The dollar forms: the prefix, the environment ("E." or "E[sub].") when
// one is named, then the option's name (a literal name, or the expression
// computing it in parentheses).
static void put_dollar(const char* prefix, expr* env, cstr* name,
                       expr* operand) {
  // The opening parenthesis of a computed name goes with the token before
  // it, so that a line is never broken inside "$(".
  const char* open = name ? "" : "(";
  if (env) {
    putf("%s%s", prefix, env->L.sym->name);
    if (opcode(env) == OPENVSUB) put_env_subs(env->R.e);
    putf(".%s", open);
  } else {
    putf("%s%s", prefix, open);
  }
  if (name) {
    putf("%q", name->text());
    return;
  }
  prex(operand);
  put(")");
}

// Strings and the dollar forms of a literal name (SH_STRING).
static void put_string(expr* e) {
  int oc = opcode(e);
  if (oc == OPSTR) {
    putf("%Q", e->L.cs ? e->L.cs->text() : "");
    return;
  }
  put_dollar(oc == OPDOLLAR ? "$" : "$$", e->R.e, e->L.cs, nullptr);
}

// The argument of a piecewise-linear term (SH_PL).
static void put_pl_arg(expr* args) {
  expr* v = args ? args->L.e : nullptr;
  expr* z = args ? args->R.e : nullptr;
  if (z) {
    put("(");
    if (v) {
      prex(v);
      put(", ");
    }
    prex(z);
    put(")");
  } else if (v && (v->opword & (EF_VARS | EF_RANDVAR))) {
    prex(v);
  } else {
    paren(v);
  }
}

// A comparison chain a op b op c that the builders split into two
// comparisons sharing b (each holding it through an OPRELOPCH node): e is
// their conjunction.  Written as the chain; false for any other && node.
static bool put_relop_chain(expr* e) {
  expr* a = e->L.e;
  expr* b = e->R.e;
  if (!a || !b || shape(a) != SH_BINARY || shape(b) != SH_BINARY) return false;
  expr* w1 = a->R.e;
  expr* w2 = b->L.e;
  if (!w1 || !w2 || opcode(w1) != OPRELOPCH || opcode(w2) != OPRELOPCH ||
      w1->R.e != w2)
    return false;
  int p = prec[opcode(a)];
  expr* left = a->L.e;
  if (operand_prec(left, true) <= p)
    paren(left);
  else
    prex(left);
  put(opname[opcode(a)]);
  if (operand_prec(w1->L.e, true) <= p)
    paren(w1->L.e);
  else
    prex(w1->L.e);
  put(opname[opcode(b)]);
  if (operand_prec(b->R.e, true) <= p)
    paren(b->R.e);
  else
    prex(b->R.e);
  return true;
}

void prpllist(expr* l) {
  for (expr* x = l; x; x = x->next) {
    if (x != l) put(", ");
    if (opcode(x) == OP246) {
      if (x->L.ss) pr_set_spec(x->L.ss);
      prex(x->R.e);
    } else {
      prex(x);
    }
  }
}

void print_args(expr* args, int sets) {
  put("(");
  bool first = true;
  for (expr* a = args; a; a = a->next) {
    if (a->opword == opword(OP258)) continue;
    if (!first) put(", ");
    first = false;
    if (opcode(a) != OPARG) {
      prex(a);
    } else if (a->L.ss) {
      pr_set_spec(a->L.ss);
      print_args(a->R.e, sets);
    } else if (sets) {
      prset(a->R.s);
    } else {
      prex(a->R.e);
    }
  }
  put(")");
}

void pr_subscr(expr* e) {
  open_bracket();
  // A compiled look-up may be held as a stored or rewritten value, and its
  // one subscript may stand alone (any expression).
  if (e) e = sub_source(e);
  if (e && shape(e) == SH_LOOKUP) e = e->R.e;
  if (e) {
    int s = shape(e);
    if (s == SH_FORM249 || s == SH_RECPAR) prbadtype("pr_subscr", e->opword);
    if (s == SH_LITLIST) {
      // A literal list: the symbols of its block, up to a null entry.
      symbol** syms = static_cast<symbol**>(e->L.p);
      size_t n = e->L.p ? (size_t{8} << e->R.i) / sizeof(symbol*) : 0;
      for (size_t i = 0; i < n && syms[i]; ++i) {
        if (i) put(",");
        prsym(syms[i]);
      }
    } else {
      put_tuple(e);
    }
  }
  put("]");
}

// The computation whose value the compiled member reference x holds: the
// STORE node that fills x hangs at the index entry of one of the levels the
// printer has registered.  A real value overwrites the node's own pointer
// to the computation, so the STORE is looked up; null when none is found.
static expr* stored_computation(const expr* x) {
  for (int lev = 0; lev < IND_LEVELS; ++lev) {
    const Index* ix = Ind[lev];
    if (!ix) continue;
    for (expr* hooks : {ix->onbind, ix->complete})
      for (expr* m = hooks; m; m = m->next)
        if (opcode(m) >= OP_STORE0 && opcode(m) < OP_STORE0 + 6 &&
            m->R.e == x)
          return m->L.e;
  }
  return nullptr;
}

// ---- prex ---------------------------------------------------------------

void prex(expr* e) {
  while (e) {
    int oc = opcode(e);
    const char* name = oc < N_OPNAMES ? opname[oc] : nullptr;
    if (show_source && oc == OPIFrew) name = opname[OPIF35];
    if (oc == OPeeDOLLAR218 || oc == OPeDOLLAR0 || oc == OPeeDOLLAR220) {
      // Computed option names: written as the user wrote them.
      put_dollar(oc == OPeDOLLAR0 ? "$$" : "$",
                 oc == OPeeDOLLAR220 ? e->R.e : nullptr, nullptr, e->L.e);
      return;
    }
    switch (shape(e)) {
      case SH_LITERAL:  // literal, option reference
        if (oc == OPENV)
          put(e->L.sym ? e->L.sym->name : "?");
        else
          prsym(e->L.sym);
        return;
      case SH_UNARY: {  // unary operators; unnamed conversions are transparent
        if (!name) {
          if (put_condition_operand(e->L.e)) return;
          e = e->L.e;
          continue;
        }
        if (moved_minus(e)) {
          put_moved_minus(e);
          return;
        }
        int p = prec[oc];
        if (condition_number(e->L.e)) {
          put(name);
          put_condition_operand(e->L.e);
          return;
        }
        if (operand_prec(e->L.e, true) >= p) {
          put(name);
          e = e->L.e;
          continue;
        }
        putf("%s(", name);
        prex(e->L.e);
        put(")");
        return;
      }
      case SH_BINARY: {  // binary operators
        if (oc == OPAND && put_relop_chain(e)) return;
        int p = prec[oc];
        int q = operand_prec(e->L.e, true);
        if (put_condition_operand(e->L.e))
          ;
        else if (q < p || (q == p && (p & 1)))
          paren(e->L.e);
        else
          prex(e->L.e);
        if (name) put(name);
        if (put_condition_operand(e->R.e)) return;
        q = operand_prec(e->R.e, true);
        if (q < p || (q == p && !(p & 1))) {
          paren(e->R.e);
          return;
        }
        e = e->R.e;
        continue;
      }
      case SH_ITERATED: {  // iterated operators
        put(name);
        pr_set_spec(e->L.ss);
        if (prec[oc] <= operand_prec(e->R.e, false)) {
          e = e->R.e;
          continue;
        }
        paren(e->R.e);
        return;
      }
      case SH_SUBSCRIPTED:     // subscripted references
        if (oc == OPENVSUB) {  // an environment
          putf("%s ", e->L.sym->name);
          put_env_subs(e->R.e);
          return;
        }
        putf("%s ", dcl_name(e->L.x));
        pr_subscr(e->R.e);
        return;
      case SH_FUNC1:  // one-argument functions
        putf("%s(", name);
        prex(e->L.e);
        put(")");
        return;
      case SH_SAMPLE:  // Sample: the keyword's spelling
        put(oc == OPSVEXOE ? "Sample(" : "Sample/*string*/(");
        prex(e->L.e);
        put(")");
        return;
      case SH_LIST:  // min, max of a list; string concatenation
        if (e->opword == opword(OPCONCAT, EF_STRING)) {
          // The operands of & bind more tightly than any operator below
          // "+" in the grammar.
          for (expr* x = e->L.e; x; x = x->next) {
            if (x != e->L.e) put(name);
            prex_prec(x, prec[OPPLUS]);
          }
          return;
        }
        putf(" %s", name);
        put("(");
        put_chain(e->L.e, ",");
        put(")");
        return;
      case SH_PL: {  // piecewise-linear term
        expr* lists = e->L.e;
        put("<<");
        if (lists) prpllist(lists->L.e);
        put("; ");
        if (lists) prpllist(lists->R.e);
        put(">> ");
        expr* args = e->R.e;
        if (args && !args->R.e && args->L.e &&
            (args->L.e->opword & (EF_VARS | 0x100))) {
          e = args->L.e;
          continue;
        }
        put_pl_arg(args);
        return;
      }
      case SH_NUMBER:
        put_number(e->L.d);
        return;
      case SH_IF: {  // if-then-else
        expr* pair = e->R.e;
        put(name);
        prex(e->L.e);
        put(" then ");
        expr* t = pair ? pair->L.e : nullptr;
        expr* f = pair ? pair->R.e : nullptr;
        // A nested if in the then-part keeps its parentheses: an else
        // after it would otherwise belong to it.
        if (t && shape(visible(t)) == SH_IF)
          paren(t);
        else
          prex(t);
        if (!f || (f->opword == opword(OPNUM, EF_CONST | EF_NUMERIC) &&
                   f->L.d == 0 && !std::signbit(f->L.d)))
          return;
        put(" else ");
        e = f;
        continue;
      }
      case SH_MEMBERSHIP: {  // membership
        set* s = e->R.s;
        bool tuple = s && s->arity > 1;
        if (e->L.e) {
          if (tuple) put("(");
          put_tuple(e->L.e);
          if (tuple) put(")");
        }
        // The check forms' names carry blanks of their own.
        char bare[16];
        putf(" %s ", bare_opname(oc, bare));
        prset(s);
        return;
      }
      case SH_FROM_NUMBER:
      case SH_TO_NUMBER:
      case SH_EVAL:
      case SH_RELOPCH:
      case SH_RECPAR:
        e = e->L.e;
        continue;
      case SH_ENTITY:  // plain references
        put(dcl_name(e->L.x));
        return;
      case SH_DUMMY:
        put_dummy(e);
        return;
      case SH_FUNC2:
      case SH_VARAC:  // two-argument functions (round and trunc may have one)
        putf("%s(", name);
        prex(e->L.e);
        if (e->R.e) {
          put(", ");
          prex(e->R.e);
        }
        put(")");
        return;
      case SH_LOOKUP:  // lookup
        putf("%s.[", dcl_name(e->L.x));
        put_tuple(e->R.e);
        put("]");
        return;
      case SH_SYMLIST:  // symbol list
        put("[");
        put_chain(e->L.e, ",");
        put("]");
        return;
      case SH_VALUE:  // compiled member reference
        if (show_source) {
          if (expr* c = stored_computation(e)) {
            e = c;
            continue;
          }
        }
        if (print_values && (e->opword & EF_NUMERIC))
          putf("%.16g", e->L.d);
        else
          putf("m.%d", e->R.i);
        return;
      case SH_REWRITE: {  // compiled stored subexpression
        expr* rest = e->L.e;
        expr* stored = rest ? rest->R.e : nullptr;
        if (print_values && (e->opword & EF_NUMERIC)) {
          putf("%.16g", e->R.d);
          return;
        }
        if (!show_opprint || show_source) {
          e = stored;
          continue;
        }
        putf("(o.%d := ", e->R.i);
        prex(stored);
        put(")");
        return;
      }
      case SH_INTCHECK:  // integrality tests: only in messages
        if (!stringing) return;
        if (e->L.e) {
          prex(e->L.e);
          putf(" should be %s", name);
        } else {
          put(name);
        }
        return;
      case SH_SETREL:  // set comparisons
        prset(e->L.s);
        putf(" %s ", name);
        prset(e->R.s);
        return;
      case SH_CALL: {  // imported function calls
        // The function record, or (the front end's stand-in) its symbol.
        const void* f = e->L.p;
        // Kinds 39 and 42: the built-in random functions (eval/random.h).
        uint32_t k = f ? bound_kind(f) : 0;
        if (k == DK_FUNCTION || k == DK_FUNC39 || k == 42)
          put(dcl_name(static_cast<const xnode*>(f)));
        else if (f)
          put(static_cast<const symbol*>(f)->name);
        print_args(e->R.e);
        return;
      }
      case SH_SETFUNC:  // card, first, last
        putf("%s(", name);
        prset(e->L.s);
        put(")");
        return;
      case SH_ORD: {  // ord, ord0, member
        putf("%s(", name);
        prex(e->L.e);
        put(", ");
        prset(e->R.e ? e->R.e->R.s : nullptr);
        put(")");
        return;
      }
      case SH_NEXT: {  // next, prev, nextw, prevw
        expr* pair = e->L.e;
        expr* n = pair ? pair->R.e : nullptr;
        // A count given to prev or prevw is kept negated: written back as
        // prev or prevw with the count the user wrote.
        bool back = oc == OPNEXT121 || oc == OPNEXT125;
        putf("%s(", nextprev_written(e->opword));
        prex(pair ? pair->L.e : nullptr);
        put(", ");
        prset(e->R.e ? e->R.e->R.s : nullptr);
        if (oc != OPNEXT122 && oc != OPNEXT123 && oc != OPNEXT126 &&
            oc != OPNEXT127 && n) {
          put(", ");
          if (back && opcode(n) == OPNUM)
            put_number(-n->L.d);
          else if (back && opcode(n) == OPUMINUS)
            prex(n->L.e);
          else if (back) {
            put("-(");
            prex(n);
            put(")");
          } else {
            prex(n);
          }
        }
        put(")");
        return;
      }
      case SH_SUMLIST:  // sumlist, andlist, orlist
        put_chain(e->L.e, " + ");
        return;
      case SH_DOT:
      case SH_DOTSUB: {  // built-in suffixes
        expr* inner = e->L.e;
        put(dcl_name(inner->L.x));
        if (shape(e) == SH_DOTSUB) pr_subscr(e->R.e);
        put_suffix_code(inner->R.i);
        return;
      }
      case SH_ALIAS:
        putf("alias(%s)", dcl_name(e->L.x));
        return;
      case SH_XNODE:  // display forms of a whole entity with a suffix
        if (oc == OP256 || oc == OP257) {
          put(e->L.sym->name);
        } else {
          put(dcl_name(e->L.x));
        }
        // -2: the whole entity (a problem's item), no suffix.
        if ((oc == OPXNODE || oc == OP256) && e->R.i != -2)
          put_suffix_code(e->R.i);
        return;
      case SH_LOOPDUMMY:
        put(static_cast<dummy*>(e->L.p)->name->name);
        return;
      case SH_STRING:
        put_string(e);
        return;
      case SH_SYNSUB:  // synonym elements; suffix initialisers
        if (oc == OP248) {
          putf("%s ", dcl_name(e->L.x));
          e = e->R.e;
          continue;
        }
        putf("%s ", e->L.sym->name);
        pr_subscr(e->R.e);
        return;
      case SH_SYNDOT: {  // a built-in suffix of a synonym element
        expr* inner = e->L.e;
        put(inner->L.sym->name);
        pr_subscr(e->R.e);
        put_suffix_code(inner->R.i);
        return;
      }
      case SH_SUF:
      case SH_SUFSUB: {  // declared suffixes
        expr* inner = e->L.e;
        put(dcl_name(inner->L.x));
        if (shape(e) == SH_SUFSUB) pr_subscr(e->R.e);
        put_user_suffix(inner, oc == OPSUF || oc == OPSUFSUB);
        return;
      }
      case SH_SYNSUF: {  // a declared suffix of a synonym element
        expr* inner = e->L.e;
        put(inner->L.sym->name);
        pr_subscr(e->R.e);
        put_user_suffix(inner, oc == OPSYNSUF);
        return;
      }
      case SH_SYN:
        put(e->L.sym->name);
        return;
      case SH_ARG:  // an argument entry
        if (e->L.ss) {
          pr_set_spec(e->L.ss);
          print_args(e->R.e);
          return;
        }
        e = e->R.e;
        continue;
      case SH_FORM285:
        if (e->L.s) {
          pr_set_spec(static_cast<set_spec*>(e->L.s));
          print_args(e->R.e);
        } else {
          prset(e->R.s);
        }
        return;
      case SH_COUNTREL:  // atleast, atmost, exactly and their negations
        putf("%s ", name);
        prex(e->L.e);
        put(" ");
        print_args(e->R.e ? e->R.e->R.e : nullptr);
        return;
      case SH_ARGLIST:  // count, numberof, alldiff, min and max of lists
        if (e->L.e) {
          putf("%s ", name);
          prex(e->L.e);
          put(" in ");
        } else {
          put(name);
        }
        print_args(e->R.e);
        return;
      case SH_SETARGS:  // alldisjoint, alldistinct: lists of sets
        put(name);
        print_args(e->R.e, 1);
        return;
      case SH_LOGLIT:
        putf("/* %s */ ", name);
        put(gfmt(e->L.i, 0, nullptr));
        return;
      case SH_IMPELSE: {  // implications with an else-part
        expr* pair = e->R.e;
        prex(e->L.e);
        put(name);
        prex(pair ? pair->L.e : nullptr);
        put(" else ");
        e = pair ? pair->R.e : nullptr;
        continue;
      }
      default:
        prbadtype("prex", e->opword);
    }
  }
}

void printexpr(expr* l) {
  int saved = sharp_lines;
  sharp_lines = 1;
  put_chain(l, " + ");
  pbi_flush();
  sharp_lines = saved;
}

int sharp_comments(int on) {
  int saved = sharp_lines;
  sharp_lines = on;
  return saved;
}

void prex_reset() {
  line = nullptr;
  line_k = -1;
  pbi = 0;
  pbinl = 0;
  stringing = 0;
  print_values = 0;
  show_opprint = 0;
  display_kludge = 0;
  show_source = 0;
  listing_quotes = 0;
  sharp_lines = 0;
  MD_prec1 = 0;
  disp_width = display_width;
}

}  // namespace vexo
