// Constraint, objective and check declarations.
#include "frontend/condcl.h"

#include <cstring>

#include "eval/indexing.h"
#include "frontend/conbody.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/keywords.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "frontend/refs.h"
#include "frontend/strexpr.h"
#include "instance/problem.h"
#include "instance/sufdecl.h"
#include "session/located.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

int di_type;
int convert_logical;

static bool has_vars(const expr* e) { return e && has_flag(e, EF_VARS); }

static expr* true_lit() {
  return new_expr(opword(OPLOGLIT, EF_CONST | EF_NUMERIC), int32_t{1});
}

// ---- constr ----------------------------------------------------------------

void* constr::operator new(size_t size) { return xmem(XM_CONSTR, size); }
void constr::operator delete(void* p) { xmem_free(XM_CONSTR, p); }

// The head of a constraint or objective: binds the name unless it is
// being redeclared.
static void con_head(constr* c, symbol* nm, cstr* al, set_spec* ix,
                     uint32_t kind) {
  c->kind = kind + (ix && ix->nindex > 0 ? 1 : 0);
  c->name = nm;
  c->alias = al;
  c->indexing = ix;
  c->oldval = nm ? nm->binding : nullptr;
  if (nm && c->oldval != old_obj) {
    nm->binding = c;
    Curdclname = nm;
    Oldval = c->oldval;
  }
  c->ninst = -1;
  c->stamp = c->stamp2 = 1.0;
  c->xr.instamp = 1.0;
}

static bool is_relop(const expr* e, int oc) {
  return e && static_cast<uint32_t>(opcode(e)) < N_OPCODES && opcode(e) == oc;
}

// The forms of a logical body that convert_logical_to_algebraic turns
// into an ordinary constraint; null when e is none of them (e untouched),
// else the body stbody made (null after its error, *failed set).
static expr* logical_to_algebraic(expr* e, bool* converted) {
  *converted = false;
  int oc = opcode(e);
  if (oc == OPAND) {
    expr* a = e->L.e;
    expr* b = e->R.e;
    if (!a || !b || opcode(a) != opcode(b)) return nullptr;
    int r = opcode(a);
    if (r != LE && r != GE) return nullptr;
    if (!is_relop(a->R.e, OPRELOPCH) || !is_relop(b->L.e, OPRELOPCH))
      return nullptr;
    // a: left op (middle); b: (middle) op right.  The middle belongs to
    // the first holder.
    expr* left = a->L.e;
    expr* h1 = a->R.e;
    expr* h2 = b->L.e;
    expr* mid = h1->L.e;
    expr* right = b->R.e;
    uint32_t opw = a->opword;
    free_node(h1);
    free_node(h2);
    free_node(a);
    free_node(b);
    free_node(e);
    *converted = true;
    return stbody(left, opw, mid, opw, right, 0);
  }
  if (oc == LE || oc == GE ||
      (oc == EQ &&
       (has_flag(e->L.e, EF_NUMERIC) || has_flag(e->R.e, EF_NUMERIC)))) {
    expr* l = e->L.e;
    expr* r = e->R.e;
    uint32_t opw = e->opword;
    free_node(e);
    *converted = true;
    return stbody(l, opw, r, 0, nullptr, 0);
  }
  return nullptr;
}

constr::constr(uint64_t fl, symbol* nm, cstr* al, set_spec* ix, expr* b,
               expr* dual) {
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  con_head(this, nm, al, ix, DK_CON);
  if (b && (b->opword >> OPSHIFT) == OP286) {
    expr* e = b->L.e;
    free_node(b);
    b = nullptr;
    bool conv = false;
    if ((convert_logical & 1) && e) {
      b = logical_to_algebraic(e, &conv);
      if (conv && !b) {
        set_rc_bit(8);
        flags = fl;
        edelete(dual);
        return;
      }
    }
    if (!conv) logbody = e;
  }
  if (b) {
    body = b;
    uint32_t code = b->opword;  // the body's kind code
    flags = fl | code;
    if (code == CB_EQ && b->L.e && opcode(b->L.e) == OPMINUS) {
      expr* left = b->L.e->L.e;
      if (left && (eflags(left) == 6) &&
          (opcode(left) == OPVAR164 || opcode(left) == OPVARSUB165 ||
           opcode(left) == OPRECVAR166))
        flags |= CF_VAREQ;
    }
    if ((fl | code) & 8) compl_ = 1;
  } else {
    flags = fl;
  }
  if (!dual) return;
  if (has_vars(dual)) {
    error(0, "variable in %s expression", "dual variable initializing");
    set_rc_bit(8);
    edelete(dual);
  } else if (compl_) {
    error(0, "Rejecting %s clause in complementarity constraint.",
          di_type ? "default" : ":=");
    set_rc_bit(8);
    edelete(dual);
  } else {
    (di_type ? ddual : idual) = make_numeric(dual);
  }
}

constr::constr(symbol* nm, cstr* al, set_spec* ix, uint64_t fl, expr* b) {
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  con_head(this, nm, al, ix, DK_OBJ);
  flags = fl;
  body = b ? make_numeric(b) : nullptr;
}

constr::constr(symbol* nm, set_spec* ix) {
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  kind = DK_CON + (ix && ix->nindex > 0 ? 1 : 0);
  name = nm;
  indexing = ix;
  oldval = nm ? nm->binding : nullptr;
  flags = 7;
  ninst = -1;
  stamp = stamp2 = 1.0;
  xr.instamp = 1.0;
  tc_zap();
}

constr* constr::finish_dcl() {
  Curdclname = nullptr;
  end_context(nullptr, this);
  sufinit = reverse(sufinit);
  flags |= XF_GENERATE;
  xnode* oldx = nullptr;
  if (yychain(this, &oldx)) return this;
  tc_zap();
  xnode* self = oldx ? oldx : this;
  inst[0] = inst[1] = self;
  // Also after a redeclaration: another problem may be current now.
  if (cur_prob) prob_add(cur_prob, self);
  return static_cast<constr*>(x_copy(oldx, this, XM_CONSTR));
}

// ---- check -----------------------------------------------------------------

void* check::operator new(size_t size) { return xmem(XM_CHECK, size); }
void check::operator delete(void* p) { xmem_free(XM_CHECK, p); }

check::check(set_spec* ix, expr* c) {
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  if (has_vars(c)) {
    error(0, "variable in %s expression", "check");
    set_rc_bit(8);
    edelete(c);
    c = true_lit();
  }
  indexing = ix;
  cond = c;
  kind = DK_CHECK;
  // The reader's name may go with its file; the check keeps a copy.
  stmtfname = infname ? tostring(infname) : nullptr;
  stmtline = static_cast<int32_t>(lineno);
  stamp = 1.0;
  xr.instamp = 1.0;
  chknum = 0;
  if (ix) end_context(ix, nullptr);
}

check* check::finish_dcl() {
  Curdclname = nullptr;
  xnode* oldx = nullptr;
  if (yychain(this, &oldx)) return this;
  check* r = static_cast<check*>(x_copy(oldx, this, XM_CHECK));
  r->chknum = r->classnum;
  return r;
}

expr* check_del(expr* l, double n) {
  char text[32];
  int k = check_slot(n, text);
  if (xnode* d = k ? xclass[XC_CHECKS].a[k - 1] : nullptr) {
    expr* e = new_expr(opword(OPXNODE), Check, d);
    e->next = l;
    return e;
  }
  error(0, "Bad check number: ignoring \"delete check %s\"", text);
  return l;
}

// ---- suffix checks ---------------------------------------------------------

void suffix::addcheck(uint32_t opw, expr* e) {
  if (has_vars(e)) {
    error(0, "variable in %s expression", "check");
    set_rc_bit(8);
    edelete(e);
    e = true_lit();
  }
  list* c = new list;
  c->next = conditions;
  c->item.e = new_expr(opw, nullptr, e);
  conditions = c;
}

int con_logical(xnode* c) {
  return static_cast<constr*>(c)->logbody != nullptr;
}
int con_compl(xnode* c) { return static_cast<constr*>(c)->compl_; }

}  // namespace vexo
