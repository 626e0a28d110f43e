// Opcode generation.
#include "compiler/opgen.h"

#include <array>

#include "compiler/context.h"
#include "compiler/eexpr.h"
#include "compiler/recomp.h"
#include "eval/dispatch.h"
#include "eval/funcall.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/text.h"

namespace vexo {

int32_t m_mandrew;
int32_t m_optrew;

namespace {

// Synonym references yield what their entity yields: their flags tell.
constexpr uint8_t RK_BYFLAGS = 8;

constexpr std::array<uint8_t, N_EEOPS> make_rewclass() {
  std::array<uint8_t, N_EEOPS> t{};  // 0: logical and integer results
  auto put = [&t](std::initializer_list<int> ops, uint8_t k) {
    for (int op : ops) t[op] = k;
  };
  // Numbers.
  for (int op = OPPLUS; op <= OPUMINUS; ++op) t[op] = RK_REAL;
  for (int op = OP_tanh; op <= OPtrunc; ++op) t[op] = RK_REAL;
  put({OPIF35,       OPCOUNT,         OPNUMBEROF,  OPNUMBEROFs, OPPLTERM,
       OPVARAC,      OPVARREF87,      OPVARREF88,  MINLIST2,    MAXLIST2,
       OPVARACDEF,   OPNLAC,          OPPLAC,      OP_RECPAR,   OPIF111,
       OPCARD,       OPORD,           OPORD0,      OPARITY,     OPICHAR,
       OPLENGTH,     OPNUMBER,        OPNUMBER0,   OPMATCH,     OPINDARITY,
       OPEINDARITY,  OPTINDARITY,     OPSVEXOE,    OPSVEXOVAR,  OPSVEXOVARSUB,
       OPVARVAL146,  OPNUM,           OPPAR,       OPPARSUB,    OPEVALr160,
       OPALGCON,     OPEVALr162,      OPSYM2NUM,   OPFUNC,      OPFUNC0,
       OPFUNC1,      OPFUNC2,         OPPL,        OPPRIMAL,    OPPRIMALSUB,
       OPRANDVARNUM, OPRANDVARNUMSUB, OPDUAL,      OPDUALSUB,   OPLCON,
       OPLCONSUB,    OPOBJVAL,        OPOBJVALSUB, OPDOT,       OPDOTSUB,
       OPSUF,        OPSUFSUB,        OPLINPART},
      RK_REAL);
  // Symbols: a cell holding an interned symbol.
  put({OPIFSYM65, OP_RECSPAR,  OPIFSYM112, OPELEMENT, OPFIRST,
       OPLAST,    OPNEXT120,   OPNEXT121,  OPNEXT122, OPNEXT123,
       OPNEXT124, OPNEXT125,   OPNEXT126,  OPNEXT127, OPVARVAL147,
       OPLIT,     OPSPAR,      OPSPARSUB,  OPDUMMY,   OPNUM2SYM,
       OPFUNCs,   OPLOOPDUMMY, OPSTR2SYM,  OPSYMVVAL, OPSYMVVALSUB},
      RK_SYM);
  // Pointers: tuple cells, problem records.
  put({OPLITLIST, OPSYMLIST, OPPROB, OPPROBSUB}, RK_LIST);
  t[OPIFrew] = RK_IF;
  // Counted strings.
  put({OPIFSYMstr101, OPIFSYMstr113, OPCHAR,      OPCONCAT,      OPSVEXOESTR,
       OPSPARSTR,     OPSPARSUBSTR,  OPFUNCstr,   OPFUNCcs,      OPRANDVAR,
       OPRANDVARSUB,  OPDOTSYM,      OPDOTSUBSYM, OPSUFSYM,      OPSUFSUBSYM,
       OPALIAS,       OPSTR,         OPSYM2STR,   OPNUM2STR,     OPDOLLAR,
       OPDOLLAR0,     OPeeDOLLAR218, OPeDOLLAR0,  OPeeDOLLAR220, OPSYNDOTSYM,
       OPSYNNAME,     OPSYNSUFSYM},
      RK_STR);
  put({OPENV, OPENVSUB}, RK_ENV);
  put({OPSYN, OPSYNSUB, OPSYNDOT, OPSYNSUF}, RK_BYFLAGS);
  // The stored forms repeat their kinds.
  put({233, 239}, RK_INT);
  put({234, 240}, RK_REAL);
  put({235, 241}, RK_SYM);
  put({236, 242}, RK_LIST);
  t[243] = RK_IF;
  put({237, 244}, RK_STR);
  put({238, 245}, RK_ENV);
  return t;
}
constexpr std::array<uint8_t, N_EEOPS> rewclass = make_rewclass();

// Everything opgen needs of one value kind; a null routine where the kind
// has no such form.
struct kind_forms {
  int value_op;
  efunc value_fn;
  int store_op;
  efunc store_fn;
  int rewrite_op;
  efunc rewrite_fn;
  int restore_op;
  cleanup_fn restore_fn;
};

const kind_forms forms[8] = {
    {233, f_OP_NUM_i, 266, f_OP_STORE_i, 239, f_OP_REWRITE_i, 272,
     f_OP_RESTORE_i},
    {234, f_OPNUM, 267, f_OP_STORE_r, 240, f_OP_REWRITE_r, 273, f_OP_RESTORE_r},
    {235, f_OPLIT1, 268, f_OP_STORE_s, 241, f_OP_REWRITE_s, 274,
     f_OP_RESTORE_s},
    {236, f_OPSYMLIT, 269, f_OP_STORE_l, 242, f_OP_REWRITE_l, 275,
     f_OP_RESTORE_l},
    {0, nullptr, 0, nullptr, 243, f_OP_REWRITE_if, 276, f_OP_RESTORE_if},
    {237, f_OPCST1, 270, f_OP_STORE_c, 244, f_OP_REWRITE_c, 277,
     f_OP_RESTORE_c},
    // Environment values are bound plainly (opgenclass 2); the pointer
    // forms would serve them.
    {238, f_OPSYMLIT, 271, f_OP_STORE_e, 245, f_OP_REWRITE_l, 278,
     f_OP_RESTORE_l},
    {0, nullptr, 0, nullptr, 243, f_OP_REWRITE_sif, 276, f_OP_RESTORE_sif},
};

// A copy of x's computation: op word, routine and operands.
expr* copy_of(const expr* x) {
  expr* n = new_expr(x->opword, x->L, x->R);
  n->op = x->op;
  return n;
}

void plant_store(expr* x, int k, Index* ix) {
  const kind_forms& f = forms[k];
  expr* n = copy_of(x);
  x->L.e = n;
  expr* m = new_expr(opword(f.store_op), n, x);
  m->op = f.store_fn;
  expr** hooks = mand_stel ? &ix->complete : &ix->onbind;
  m->next = *hooks;
  *hooks = m;
  x->op = f.value_fn;
  set_opcode(x, f.value_op);
  ++m_mandrew;
  // A string value node holds its string from the first STORE on.
  if (k == RK_STR)
    x->R.p = nullptr;
  else
    x->R = m_mandrew;
}

void plant_rewrite(expr* x, int k, Index* ix) {
  const kind_forms& f = forms[k];
  rew_list = new_list(rew_list, x);
  expr* n = copy_of(x);
  expr* r = new_expr(opword(f.restore_op), static_cast<void*>(ix), n);
  r->op = cleanup_op(f.restore_fn);
  x->op = f.rewrite_fn;
  x->L.e = r;
  ++m_optrew;
  x->R = m_optrew;
  set_opcode(x, f.rewrite_op);
}

// The routine of the node's opcode (compile-time forms have none).
void bind(expr* x, int op) {
  x->op = op < N_EVAL_OPCODES ? functab[op] : nullptr;
  // A call with plain numeric arguments: the short evaluator.
  if (op == OPFUNC && numeric_args_only(x->R.e)) x->op = f_OPFUNCnum;
}

// The restore record r waits at ix again; its node gets its REWRITE
// routine back.
expr* rearm(expr* r, Index* ix, efunc rewrite_fn) {
  expr* x = r->L.e;
  r->L.p = ix;
  x->op = rewrite_fn;
  return x;
}

}  // namespace

int rewkind(const expr* e) {
  int op = opcode(e);
  int k = op < N_EEOPS ? rewclass[op] : int{RK_INT};
  if (k == RK_BYFLAGS)
    k = has_flag(e, EF_STRING)    ? RK_STR
        : has_flag(e, EF_NUMERIC) ? RK_REAL
                                  : RK_SYM;
  return k;
}

void opgen(eexpr* e, Index* ix, int withset) {
  int32_t uses = static_cast<int32_t>(e->nuse);
  if (uses < 0 || (uses == 0 && !(e->flags & EE_ENUM)))
    bug("invalid refct %d in opgen", uses);
  if (uses == 0) return;
  if (e->is_set()) {
    set* s = e->s;
    if (!s) return;
    if (withset) {
      s->errctx = ix;
      del_privnode(s);
      expr* n = new_expr(opword(OP_CLEARSET), s);
      n->op = cleanup_op(f_OPCLEARSET);
      s->privnode = n;
    }
    s->ee = nullptr;
    return;
  }
  expr* x = e->e;
  if (!x) return;
  int op = opcode(x);
  if (op >= N_EEOPS) bug("opnumber %d in opgen", op);
  int cls = opgenclass[op];
  switch (cls) {
    case 0:
      bind(x, op);
      if (uses <= 1 && !(e->flags & EE_FORCED)) return;
      if (x->opword & EF_RANDOM) return;
      if ((e->flags & (EE_MANDATED | EE_COND)) == EE_MANDATED)
        plant_store(x, rewkind(x), ix);
      else
        plant_rewrite(x, rewkind(x), ix);
      return;
    case 1:
      bind(x, has_flag(x, EF_NUMERIC)  ? OPEVALr160
              : has_flag(x, EF_STRING) ? OPEVALc
                                       : OPEVAL);
      return;
    case 2:
      bind(x, op);
      return;
    case 3:
      bind(x, op);
      plant_rewrite(x, has_flag(x, EF_NUMERIC) ? RK_IF : RK_SIF, ix);
      return;
    case 4:
      bind(x, op);
      if (uses > 1) plant_rewrite(x, rewkind(x), ix);
      return;
    case 5:
      return;
  }
  bug("invalid opgen case");
}

// ---- Conditions distributed to levels ------------------------------------

namespace {

// Puts conjunct c in front of what the slot holds (an AND node joins them).
void add_conjunct(expr** slot, expr* c) {
  expr* old = *slot;
  Retain(slot, old, Display);
  if (!old) {
    *slot = c;
    return;
  }
  expr* n = new_expr(opword(OPAND), c, old);
  n->op = functab[OPAND];
  Retain(nullptr, n, nullptr);
  *slot = n;
}

void adjust(expr* c, set_spec* ss, uint64_t first_bit) {
  if (opcode(c) == OPAND) {
    adjust(c->R.e, ss, first_bit);
    adjust(c->L.e, ss, first_bit);
    return;
  }
  eexpr* ce = ee_of(c);
  if (!ce || first_bit > (ccon->scope & ce->levbits)) {
    add_conjunct(&ss->precond, c);
    return;
  }
  add_conjunct(&ce->con->ix->cond, c);
}

}  // namespace

void st_adjust(eexpr* cond, set_spec* ss) {
  if (!cond || !cond->e || !ss->first) return;
  adjust(cond->e, ss, uint64_t(1) << ss->first->level);
  ss->split = 1;
}

// ---- Sets forgotten --------------------------------------------------------

void Clearset(set* s) {
  switch (s->sclass) {
    case SC_SUBSCR:
    case SC_SLICE:
    case SC_NAMED:
      // The members belong to another set (its member set, the slice
      // record's, the declaration's): forgotten, not freed.
      drop_members(s);
      break;
    default:
      free_members(s);
  }
  s->nmem = -1;
}

void f_OPCLEARSET(expr* n, Index*) { Clearset(n->L.s); }

void del_privnode(set* s) {
  if (expr* p = s->privnode) {
    s->privnode = nullptr;
    p->next = nullptr;
    free_expr(p);
  }
}

// ---- Literals --------------------------------------------------------------

eval_result f_OP_NUM_i(expr* e, TVA*) { return {.i = e->R.i}; }
eval_result f_OPLIT1(expr* e, TVA*) { return {.sp = &e->R.sym}; }
eval_result f_OPSYMLIT(expr* e, TVA*) { return {.p = e->R.p}; }
eval_result f_OPCST1(expr* e, TVA*) { return {.cs = ref_cstr(e->R.cs)}; }

// ---- STORE and REWRITE
// ---------------------------------------------------------

namespace {

// Keeps value v of kind K in node x the way its literal reads it.  A
// string value node holds one reference of its own: a STORE hands it the
// computation's reference (dropping the one it held), a REWRITE takes a
// further one and hands the computation's on to its caller.
template <int K>
void deposit(expr* x, eval_result v, bool rewrite) {
  if constexpr (K == RK_INT) {
    x->R = static_cast<int32_t>(v.i);
  } else if constexpr (K == RK_REAL) {
    x->L.d = v.d;
  } else if constexpr (K == RK_SYM) {
    x->R.sym = *v.sp;
  } else if constexpr (K == RK_STR) {
    if (rewrite) {
      x->R.cs = ref_cstr(v.cs);
      return;
    }
    if (x->R.cs) release_cstr(x->R.cs);
    x->R.cs = v.cs;
  } else {
    x->R.p = v.p;
  }
}

// STORE node m: L the computation, R the value node.
template <int K>
eval_result store(expr* m, TVA* tva) {
  eval_result v = eval(m->L.e, tva);
  deposit<K>(m->R.e, v, false);
  return v;
}

// The rewrite record of REWRITE node x is filed at its Index: the record
// now names x, which is a literal until the Index moves on.
void file_restore(expr* x, expr* r) {
  Index* ix = static_cast<Index*>(r->L.p);
  r->L.e = x;
  push_cleanup(ix, r);
}

// REWRITE node x: the computation kept by its restore record is evaluated,
// the record filed and the node made a literal.
template <int K>
eval_result rewrite(expr* x, TVA* tva) {
  expr* r = x->L.e;
  eval_result v = eval(r->R.e, tva);
  file_restore(x, r);
  deposit<K>(x, v, true);
  x->op = forms[K].value_fn;
  return v;
}

}  // namespace

eval_result f_OP_STORE_i(expr* m, TVA* tva) { return store<RK_INT>(m, tva); }
eval_result f_OP_STORE_r(expr* m, TVA* tva) { return store<RK_REAL>(m, tva); }
eval_result f_OP_STORE_s(expr* m, TVA* tva) { return store<RK_SYM>(m, tva); }
eval_result f_OP_STORE_l(expr* m, TVA* tva) { return store<RK_LIST>(m, tva); }
eval_result f_OP_STORE_c(expr* m, TVA* tva) { return store<RK_STR>(m, tva); }
eval_result f_OP_STORE_e(expr* m, TVA* tva) { return store<RK_ENV>(m, tva); }

eval_result f_OP_REWRITE_i(expr* x, TVA* tva) {
  return rewrite<RK_INT>(x, tva);
}
eval_result f_OP_REWRITE_r(expr* x, TVA* tva) {
  return rewrite<RK_REAL>(x, tva);
}
eval_result f_OP_REWRITE_s(expr* x, TVA* tva) {
  return rewrite<RK_SYM>(x, tva);
}
eval_result f_OP_REWRITE_l(expr* x, TVA* tva) {
  return rewrite<RK_LIST>(x, tva);
}
eval_result f_OP_REWRITE_c(expr* x, TVA* tva) {
  return rewrite<RK_STR>(x, tva);
}

namespace {

// The conditional forms: the test decides once, the node then stands for
// the chosen branch.
eval_result choose(expr* x, TVA* tva, efunc wrapper) {
  expr* r = x->L.e;
  expr* n = r->R.e;
  expr* pair = n->R.e;
  expr* b = eval_true(n->L.e, tva) ? pair->L.e : pair->R.e;
  eval_result v = eval(b, tva);
  file_restore(x, r);
  x->L.e = b;
  x->op = wrapper;
  return v;
}

}  // namespace

eval_result f_OP_REWRITE_if(expr* x, TVA* tva) {
  return choose(x, tva, functab[OPEVALr160]);
}

eval_result f_OP_REWRITE_sif(expr* x, TVA* tva) {
  return choose(x, tva, functab[OPEVAL]);
}

// ---- RESTORE ---------------------------------------------------------------

void f_OP_RESTORE_i(expr* r, Index* ix) { rearm(r, ix, f_OP_REWRITE_i); }
void f_OP_RESTORE_s(expr* r, Index* ix) { rearm(r, ix, f_OP_REWRITE_s); }
void f_OP_RESTORE_l(expr* r, Index* ix) { rearm(r, ix, f_OP_REWRITE_l); }

void f_OP_RESTORE_r(expr* r, Index* ix) {
  rearm(r, ix, f_OP_REWRITE_r)->L.e = r;
}

void f_OP_RESTORE_if(expr* r, Index* ix) {
  rearm(r, ix, f_OP_REWRITE_if)->L.e = r;
}

void f_OP_RESTORE_sif(expr* r, Index* ix) {
  rearm(r, ix, f_OP_REWRITE_sif)->L.e = r;
}

void f_OP_RESTORE_c(expr* r, Index* ix) {
  expr* x = r->L.e;
  release_cstr(x->R.cs);
  x->R.p = nullptr;
  rearm(r, ix, f_OP_REWRITE_c);
}

// ---- Undo
// --------------------------------------------------------------------

void unplant(expr* x, expr* copy) {
  if (opcode(x) == OP_VALUE0 + RK_STR && x->R.cs) release_cstr(x->R.cs);
  x->opword = copy->opword;
  x->L = copy->L;
  x->R = copy->R;
  x->op = nullptr;
  copy->next = nullptr;
  free_expr(copy);
}

void opgen_reset() { m_mandrew = m_optrew = 0; }

}  // namespace vexo
