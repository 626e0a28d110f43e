// Evaluation errors: the location preamble, subscript texts and the
// reporters.
#include "eval/evalerr.h"

#include <cerrno>
#include <cstring>

#include "compiler/tva.h"
#include "eval/defvar.h"
#include "eval/funclib.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/paramdcl.h"
#include "frontend/refs.h"
#include "instance/ac.h"
#include "instance/names.h"
#include "instance/problem.h"
#include "instance/sufdecl.h"
#include "session/cmdmem.h"
#include "session/located.h"
#include "session/loop.h"
#include "support/block.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

int bad_subscripts;
badsub_fn badsub1 = badsub;

namespace {

// Names of declaration kinds in "error processing %s": by kind / 2, kinds
// above 24 one more; null where a kind has none.
const char* const kind_names[15] = {
    nullptr,     "var",     "param",          "set",          "constraint",
    "objective", nullptr,   "symbolic param", "symbolic var", "varset",
    "problem",   "environ", "suffix",         "function",     "table"};

int arity_of(const xnode* ent) {
  return ent->indexing ? ent->indexing->arity : 0;
}

// The accumulator of tva, or the current one.
AC* ac_of(TVA* tva) { return tva && tva->ac ? tva->ac : cur_ac; }

// The value cells of level l in context t, or null when t has no such
// level or it is not bound.
symbol** level_cells(const TVA* t, int l) {
  if (l > t->size->max_context) return nullptr;
  return t->lev[l];
}

// "<text> <name><subscript>\n" after the location, then the abort.
[[noreturn]] void report(TVA* tva, const char* text, const xnode* ent,
                         symbol* const* tuple) {
  if (!mgwhere(tva))
    Fprintf(Stderr, "%s %s%s\n", text, ent->name->name, slist1(ent, tuple));
  bailout();
}

}  // namespace

int mgwhere(TVA* tva) {
  AC* ac = ac_of(tva);
  if (!ac) bug("tva == 0 in mgwhere()");
  if (tva && tva == ac->simp_tva && ac->simp_quiet) {
    errno = 0;
    ac->simp_err = 1;
    return 1;
  }
  errorstart("error_error");
  cmdwhere();
  if (tva && tva == ac->table_tva) {
    if (ac->table_name)
      Fprintf(Stderr, "error reading table %s:\n\t", ac->table_name);
    return 0;
  }
  if (xnode* d = ac->gen_decl) {
    uint32_t k = d->kind;
    if (k > DK_TABLE) badtype("mgwhere", k);
    if (k == DK_CHECK) {
      const check* c = static_cast<const check*>(d);
      char tail[512];
      Snprintf(tail, sizeof tail, " at line %ld of %s:\n",
               static_cast<long>(c->stmtline),
               c->stmtfname ? c->stmtfname : "-");
      Subscr(d, tva, "check", tail);
    } else if (const char* what = kind_names[k / 2 + (k > DK_SUFFIX)]) {
      Fprintf(Stderr, "error processing %s ", what);
      Subscr(d, tva, d->name->name, ":\n");
    }
  }
  if (const param* p = static_cast<const param*>(ac->cur_param)) {
    const char* name = p->name->name;
    symbol** t = ac->cur_tuple;
    int n = arity_of(p);
    if (t && n > 0) {
      Fprintf(Stderr, "error during%s evaluation of %s[%s",
              p->type & 0x0404 ? " recursive" : "", name, t[0]->name);
      for (int i = 1; i < n; ++i) Fprintf(Stderr, ",%s", t[i]->name);
      Fprintf(Stderr, "]:\n");
    } else {
      Fprintf(Stderr, "errror during evaluation of %s:\n", name);
    }
  }
  if (const xname* d = take_defxn())
    Fprintf(Stderr, "error computing defined variable %s:\n", xwho(d));
  Fprintf(Stderr, "\t");
  return 0;
}

void Subscr(xnode* d, TVA* tva, const char* name, const char* tail) {
  AC* ac = ac_of(tva);
  const TVA* ctx = ac ? ac->tva : nullptr;
  set_spec* ss = d->indexing;
  if (!ss || ss->arity == 0 || !ctx || !level_cells(ctx, 1)) {
    Fprintf(Stderr, "%s%s", name, tail);
    return;
  }
  Fprintf(Stderr, "%s", name);
  char sep = '[';
  int level = 1;
  for (Index* ix = ss->first; ix; ix = ix->next, ++level) {
    symbol** v = level_cells(ctx, level);
    if (!v || !v[0]) {
      Fprintf(Stderr, "%c...", sep);
      break;
    }
    int n = ix->s ? ix->s->arity : ix->ndum;
    for (int i = 0; i < n && v[i]; ++i, sep = ',')
      Fprintf(Stderr, is_number(v[i]) ? "%c%s" : "%c%Q", sep, v[i]->name);
  }
  Fprintf(Stderr, "]%s", tail);
}

const char* slist(int n, symbol* const* tuple, int mode) {
  if (!tuple) return "";
  mstr* m = nullptr;
  bool bare = mode == 1 && n == 1;
  if (!bare) mprintf(&m, mode == 1 ? "(" : "[");
  for (int i = 0; i < n; ++i) {
    const symbol* s = tuple[i];
    mprintf(&m, is_number(s) || bare ? "%s%s" : "%s%Q", i ? "," : "", s->name);
  }
  if (!bare) mprintf(&m, mode == 1 ? ")" : "]");
  size_t len = std::strlen(mstr_val(m));
  char* text = static_cast<char*>(cmdmem(len + 1));
  std::memcpy(text, mstr_val(m), len + 1);
  mstr_free(&m);
  return text;
}

const char* slist1(const xnode* ent, symbol* const* tuple) {
  int n = arity_of(ent);
  return n ? slist(n, tuple, 0) : "";
}

void badsub(TVA* tva, xnode* ent, symbol* const* tuple) {
  report(tva, "invalid subscript", ent, tuple);
}
void badrsub(TVA* tva, xnode* ent, symbol* const* tuple) {
  badsub1 = badsub;
  report(tva, "bad subscript (use before def?) for defined var", ent, tuple);
}
void novalue(TVA* tva, xnode* ent, symbol* const* tuple) {
  report(tva, "no value for", ent, tuple);
}
void implicitdef(TVA* tva, xnode* ent, symbol* const* tuple) {
  report(tva, "sorry, no implicit definitions: cannot evaluate", ent, tuple);
}
void badthing(TVA* tva, const char* text, xnode* ent, symbol* const* tuple) {
  report(tva, text, ent, tuple);
}

// Opcodes of the restore records the compiler plants behind rewrites.
constexpr int FIRST_RESTORE = 272, LAST_RESTORE = 278;

expr* sub_source(expr* sub) {
  expr* n = sub;
  int sh = shape(n);
  if (sh == SH_VALUE || sh == SH_REWRITE) {
    n = n->L.e;
    int op = opcode(n);
    if (op >= FIRST_RESTORE && op <= LAST_RESTORE) n = n->R.e;
  }
  return n;
}

symbol** getbadsub(expr* sub, TVA* tva) {
  return eval(sub_source(sub)->R.e, tva).sp;
}

void badsub2(expr* sub, xnode* ent, TVA* tva) {
  badsub1(tva, ent, getbadsub(sub, tva));
  bailout();  // badsub1 does not return
}

int32_t sub_adj(const Subadj* sa, int32_t ord, TVA* tva) {
  int32_t m = sa->map[ord];
  if (m < 0) badsub(tva, sa->ent, sa->syms + (-1 - m));
  return m;
}

void not_within(TVA* tva, setdcl* s, symbol* const* tuple, int n,
                const char* clause) {
  if (!mgwhere(tva)) {
    Subscr(s, tva, s->name->name, "");
    Fprintf(Stderr, " contains %s, which is not\n\t%s", slist(n, tuple, 1),
            clause);
    warninc(2);
  }
  bailout();
}

void badsubs(TVA* tva, xnode* ent, setmem* first, int count) {
  if (mgwhere(tva)) return;
  const char* name = ent->name->name;
  if (count < 2) {
    Fprintf(Stderr, "invalid subscript %s%s discarded.\n", name,
            first ? slist1(ent, first->tup()) : "");
  } else {
    int limit = bad_subscripts > 0 ? bad_subscripts : 0;
    Fprintf(Stderr, "%d invalid subscripts discarded%c\n", count,
            limit ? ':' : '.');
    int listed = 0;
    for (setmem* m = first; m && listed < limit; m = m->next, ++listed)
      Fprintf(Stderr, "\t%s%s\n", name, slist1(ent, m->tup()));
    if (count - limit >= 1) Fprintf(Stderr, "\tand %d more.\n", count - limit);
  }
  errorend();
}

void bad_next(TVA* tva, symbol* member, const char* set_text, int offset,
              int bound, uint32_t opword) {
  if (!mgwhere(tva)) {
    // Opcode bits: 1 backward, 2 implicit offset, 4 wrapping.
    int k = static_cast<int>(opword >> OPSHIFT) - OPNEXT120;
    bool backward = k & 1, implicit_offset = k & 2;
    const char* name = nextprev_written(opword);
    bool num = is_number(member);
    Fprintf(Stderr, num ? "can't compute %s(%s, %s" : "can't compute %s(%Q, %s",
            name, member->name, set_text);
    if (implicit_offset) {
      Fprintf(Stderr,
              num ? ") -- %s is the %s member\n" : ") -- %Q is the %s member\n",
              member->name, backward ? "first" : "last");
    } else {
      const char* cmp =
          bound > 0 ? (backward ? ">" : "<") : (backward ? "<=" : ">=");
      Fprintf(Stderr, ", %d) -- third arg must be %s %d\n", offset, cmp,
              backward ? -bound : bound);
    }
  }
  bailout();
}

void cant_convert(expr* operand, cstr* s, TVA* tva) {
  held_cstr text(s);
  int op = opcode(operand);
  if (op == OPSPAR || op == OPSPARSUB) {
    xnode* p = operand->L.x;
    const char* sub = "";
    if (op == OPSPARSUB && opcode(operand->R.e) == OPLOOKUP)
      sub = slist1(p, eval(operand->R.e->R.e, tva).sp);
    if (!mgwhere(tva))
      Fprintf(Stderr, "can't convert %s%s = %Q to a number.\n", p->name->name,
              sub, text.text());
  } else if (!mgwhere(tva)) {
    Fprintf(Stderr, "can't convert %Q to a number.\n", text.text());
  }
  bailout();
}

eval_result f_OPFUNCbad(expr* e, TVA* tva) {
  const function* f = static_cast<const function*>(e->L.x);
  if (!mgwhere(tva))
    Fprintf(Stderr,
            "can't evaluate %s\n\t(%s function of variable argument).\n",
            f->name->name, f->fflags & 0x100 ? "symbolic" : "random");
  bailout();
}

}  // namespace vexo
