// References, subscripts and the set-order operators.
#include "frontend/refs.h"

#include <cstring>

#include "eval/indexing.h"
#include "eval/ordered.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/strexpr.h"
#include "frontend/suffix.h"
#include "instance/problem.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/startup.h"
#include "support/list.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

const char* const nextprev_name[4] = {"next", "prev", "nextw", "prevw"};

static_assert(EF_CIRCNEXT == EF_64, "a flag no builder sets otherwise");

const char* nextprev_written(uint32_t ow) {
  int k = static_cast<int>(ow >> OPSHIFT) - OPNEXT120;
  bool wrap = (k & 4) && !(ow & EF_CIRCNEXT);
  return nextprev_name[(k & 1) | (wrap ? 2 : 0)];
}

static void note_dseen(const char* what, xnode* why) {
  if (!dseen) {
    dseen = what;
    dxseen = why;
  }
}

void wrong_number(xnode* d, int needed, int given) {
  error(0, "%s needs %d subscript%s, not %d", xnode_name(d), needed,
        needed < 2 ? "" : "s", given);
  set_rc_bit(8);
}

int subscript_count(xnode* d) {
  set_spec* ix = d->indexing;
  return ix ? ix->arity : 0;
}

static expr* lookup_node(xnode* d, expr* subs) {
  return new_expr(opword(OPLOOKUP), d, new_expr(opword(OPSYMLIST), subs));
}

expr* subscript(uint32_t op, xnode* d, expr* subs) {
  if (subs && has_flag(subs, EF_VARS | EF_RANDVAR))
    error(0, "Variables in subscripts are not yet allowed.");
  expr* e = new_expr(op, d, lookup_node(d, subs));
  int given = listlen(subs), needed = subscript_count(d);
  if (given != needed) {
    wrong_number(d, needed, given);
    e->opword = opword(OPERRSUB, op & EF_MASK);
  }
  return e;
}

static uint32_t var_op(uint32_t op, xnode* v) {
  if (v->flags & XF_RANDOM)
    op = (op & ~uint32_t(EF_VARS)) | EF_RANDOM | EF_RANDVAR;
  return op;
}

expr* opvar(uint32_t op, xnode* v) { return new_expr(var_op(op, v), v); }

expr* opvarsub(uint32_t op, xnode* v, expr* subs) {
  return subscript(var_op(op, v), v, subs);
}

expr* entity_ref(xnode* x, int opc) {
  switch (opc) {
    case OPVAR164:
      return opvar(opword(opc, EF_NUMERIC | EF_VARS), x);
    case OPPRIMAL:
      return opvar(opword(opc, EF_NUMERIC), x);
    case OPVAR167:
      return new_expr(opword(opc, EF_CONST | EF_VARS), x);
    case OPSYMVVAL:
      return new_expr(opword(opc, EF_VARS), x);
    case OPPAR:
      return new_expr(opword(opc, EF_CONST | EF_NUMERIC), x);
    case OPSPAR:
      return new_expr(opword(opc, EF_CONST), x);
    case OPDUAL:
      return dual_val(x, nullptr);
    case OPOBJVAL:
      return new_expr(opword(opc, EF_NUMERIC), x);
  }
  return new_expr(opword(opc), x);
}

set* set_subscr(xnode* sd, expr* subs) {
  int given = listlen(subs), needed = subscript_count(sd);
  int bad = given != needed;
  if (bad) wrong_number(sd, needed, given);
  // Referred to with a subscript in its own clauses: defined through
  // itself (finish_dcl gives it the guard of recursive definitions).
  if (sd == current_setdcl) current_setdcl->sflags |= SF_SUBSCRIPTED;
  return new_set_subscr(sd, lookup_node(sd, subs),
                        static_cast<setdcl*>(sd)->dimen, bad);
}

expr* synscript(uint32_t op, symbol* sym, expr* subs) {
  int n = listlen(subs);
  if (n != 1) {
    error(0, "%s needs 1 subscript, not %d", sym->name, n);
    ldelete(subs);
    return new_num(0.);
  }
  note_dseen(sym->name, nullptr);
  return new_expr(op, sym, new_expr(opword(OPSYMLIST), subs));
}

expr* synonym(symbol* sym) {
  note_dseen(sym->name, nullptr);
  note_problem_ref(trans_state > 2);
  if (trans_state <= 2) request_collect(2);
  return new_expr(opword(OPSYN, EF_NUMERIC), sym, sym->binding);
}

expr* syn_item(symbol* sym) {
  // The array covers the whole current problem, as its count does.
  note_dseen(sym->name, nullptr);
  note_problem_ref(trans_state > 2);
  if (trans_state <= 2) request_collect(2);
  return new_expr(opword(OP257, 0), sym, int32_t(0));
}

set* syssetref(symbol* sym) {
  // The name stays bound to its row of the system-set table, whose value
  // is the class the set lists; the class record holds the set's
  // declaration.
  const kw_row* row = static_cast<const kw_row*>(sym->binding);
  xnode* d = row && row->kind == BK_SYSSET && row->value < N_XCLASS
                 ? xclass[row->value].sysdcl
                 : nullptr;
  set* s = sysset_of(d);
  if (!s) {
    // No set object yet: an empty set keeps the expression well formed.
    s = set_enum(new_enum(), 1);
  } else {
    ++s->refcnt;
  }
  note_dseen(d ? xnode_name(d) : sym->name, d);
  return s;
}

expr* dual_val(xnode* c, expr* subs) {
  bool logical = con_logical(c) != 0;
  int opc = logical ? (subs ? OPLCONSUB : OPLCON) : (subs ? OPDUALSUB : OPDUAL);
  uint32_t op = opword(opc, EF_NUMERIC);
  expr* e = subs ? subscript(op, c, subs) : new_expr(op, c);
  if (con_compl(c)) {
    // The .slack of a complementarity constraint.
    expr* dot = new_expr(opword(subs ? OPDOTSUB : OPDOT, EF_NUMERIC), e, e->R);
    e->R = operand(int32_t(93));
    e = dot;
  }
  dac_adj(c);  // the command needs its solved value
  return e;
}

expr* sreduc(uint32_t op, set_spec* ix, expr* body, int close) {
  uint32_t f = eflags(body);
  if ((op >> OPSHIFT) != SUM && (f & EF_VARS)) f |= EF_NONLIN;
  expr* e = new_expr(op | f, ix, body);
  if (close) end_context(ix, nullptr);
  return e;
}

static void unordered(const char* name) {
  error(0, "%s may only be used with ordered or circular sets", name);
}

static bool refuse_vars(const expr* e, const char* name) {
  if (!e || !has_flag(e, EF_VARS | EF_RANDVAR)) return false;
  error(0, "Variable values may not appear in %s(...)", name);
  note_dseen(name, &variable_arg);
  return true;
}

expr* firstlast(uint32_t op, set* s) {
  if (!ordered_set(s, 1)) {
    unordered(opname[op >> OPSHIFT]);
    sdelete(s);
    return new_num(0.);
  }
  return new_expr(op, s);
}

expr* ord_elem(uint32_t op, expr* e, set* s) {
  int opc = int(op >> OPSHIFT);
  const char* name = opname[opc];
  if (!ordered_set(s, 1)) {
    unordered(name);
    edelete(e);
    sdelete(s);
    return new_num(0.);
  }
  refuse_vars(e, name);
  e = opc == OPELEMENT ? make_numeric(e) : make_symbolic(e);
  expr* holder = new_expr(opword(OP280), nullptr, s);
  // ord and ord0 yield numbers (member yields a member): numeric, so that
  // a numeric context takes them as they are.
  if (opc != OPELEMENT) op |= EF_NUMERIC;
  return new_expr(op, e, holder);
}

expr* nextprev(int kind, expr* e, set* s, expr* n) {
  const char* name = nextprev_name[kind & 3];
  int32_t bits = ordered_set(s, 1);
  if (!bits) {
    unordered(name);
    edelete(e);
    edelete(n);
    sdelete(s);
    return new_num(0.);
  }
  if (!refuse_vars(e, name)) refuse_vars(n, name);
  e = make_symbolic(e);
  bool back = kind & 1;
  if (!n) n = new_num(1.);
  int opc;
  if (n->opword == opword(OPNUM, EF_CONST | EF_NUMERIC)) {
    opc = n->L.d == 1. ? (back ? OPNEXT123 : OPNEXT122)
                       : (back ? OPNEXT121 : OPNEXT120);
    if (back) n->L.d = -n->L.d;
  } else if (back) {
    n = negate(n);
    opc = OPNEXT121;
  } else {
    n = make_numeric(n);
    opc = OPNEXT120;
  }
  uint32_t flags = 0;
  if (kind & 2) {
    opc += 4;
  } else if (bits == SET_CIRCULAR) {
    opc += 4;
    flags = EF_CIRCNEXT;
  }
  expr* pair = new_expr(opword(OP247), e, n);
  expr* holder = new_expr(opword(OP280), nullptr, s);
  return new_expr(opword(opc, flags), pair, holder);
}

expr* ltinsert(expr* e) {
  if (e->opword == opword(OPSTR, EF_STRING) && !e->R.p) {
    const char* t = e->L.cs->text();
    size_t n = std::strlen(t);
    cstr* c = new_cstr(n + 2);
    c->text()[0] = '<';
    std::memcpy(c->text() + 1, t, n + 1);
    zap_cstr(&e->L.cs);
    e->L.cs = c;
    return e;
  }
  // "<" and the operand as an ordinary concatenation chain, so that every
  // tree walk (deletion, copying, printing) sees a node of the usual shape.
  ++LTc->refcnt;
  expr* lt = new_str(LTc);
  lt->next = make_string(e);
  return new_expr(opword(OPCONCAT, EF_STRING), lt, lt->next);
}

}  // namespace vexo
