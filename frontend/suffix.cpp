// Dot-suffix resolution and the command's dependency bookkeeping.  The
// tables below are the language's built-in suffixes by entity kind; the
// code of an entry indexes dotgl (what resolving it implies) and dotnames
// (how it prints).
#include "frontend/suffix.h"

#include <cstring>

#include "eval/optab.h"
#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/refs.h"
#include "frontend/strexpr.h"
#include "instance/sufdecl.h"
#include "report/dotnames.h"
#include "report/print.h"
#include "session/cmdrec.h"
#include "session/located.h"
#include "session/loop.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/sort.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

// dotgl by code: variables 0..22, constraints 23..42, the status group
// 43..46, the two sides of a complementarity constraint (the constraint
// flags again), its slack, objectives, logical constraints, synonym kinds 5
// and 11, problems.
// clang-format off
#define CONFLAGS 0, 0, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 20, 4, 4, 8, 0, 4, 4, \
                 4, 4, 36, 36
const uint8_t dotgl[N_DOTCODES] = {
    4, 0, 0, 4, 4, 0, 0, 4, 4, 4, 4, 81, 6, 6, 6, 8, 0, 21, 21, 21, 23, 4,
    4,                                // variables 0..22
    4, CONFLAGS,                      // defvar, then lb .. status (24..46)
    CONFLAGS,                         // left side 47..69
    CONFLAGS,                         // right side 70..92
    5,                                // complementarity slack 93
    0, 32, 32, 0, 32, 0, 20, 4, 4,    // objectives 94..102
    4, 4, 4, 21, 21,                  // logical constraints 103..107
    4, 4, 32,                         // synonym kinds 5, 11: 108..110
    0, 0, 32, 32                      // problems 111..114
};
#undef CONFLAGS
// clang-format on
static_assert(sizeof dotgl == N_DOTCODES);

// Entries whose names sort before "r", then the others; each half in strcmp
// order, so that the two halves together list the names sorted.
static const sfxent v_lo[] = {
    {".astatus", 45, 0}, {".astatus_num", 43, 0}, {".defeqn", 0, 2},
    {".domain", 1, 0},   {".dual", 20, 0},        {".init", 15, 0},
    {".init0", 16, 0},   {".int", 2, 0},          {".lb", 3, 0},
    {".lb0", 5, 2},      {".lb1", 7, 2},          {".lb2", 9, 2},
    {".lrc", 13, 2},     {".lslack", 18, 2},      {".no", 21, 2},
    {nullptr, 0, 0}};
static const sfxent v_hi[] = {
    {".rc", 12, 2},     {".slack", 17, 2},      {".sno", 22, 2},
    {".status", 46, 0}, {".status_num", 44, 0}, {".ub", 4, 0},
    {".ub0", 6, 2},     {".ub1", 8, 2},         {".ub2", 10, 2},
    {".urc", 14, 2},    {".uslack", 19, 2},     {".val", 11, 0},
    {nullptr, 0, 0}};
static const sfxent c_lo[] = {
    {".astatus", 45, 0}, {".astatus_num", 43, 0}, {".body", 32, 2},
    {".defvar", 23, 2},  {".dinit", 39, 0},       {".dinit0", 40, 0},
    {".dual", 36, 0},    {".lb", 24, 0},          {".lbs", 26, 2},
    {".lbs1", 28, 2},    {".lbs2", 30, 2},        {".ldual", 37, 0},
    {".lslack", 34, 2},  {".no", 41, 2},          {nullptr, 0, 0}};
static const sfxent c_hi[] = {
    {".slack", 33, 2},      {".sno", 42, 2},  {".status", 46, 0},
    {".status_num", 44, 0}, {".ub", 25, 0},   {".ubs", 27, 2},
    {".ubs1", 29, 2},       {".ubs2", 31, 2}, {".udual", 38, 0},
    {".uslack", 35, 2},     {nullptr, 0, 0}};
static const sfxent cc_lo[] = {
    {".astatus", 45, 0}, {".astatus_num", 43, 0}, {nullptr, 0, 0}};
static const sfxent cc_hi[] = {{".slack", 93, 2},
                               {".status", 46, 0},
                               {".status_num", 44, 0},
                               {nullptr, 0, 0}};
static const sfxent l_lo[] = {{".astatus", 45, 0},
                              {".astatus_num", 43, 0},
                              {".lno", 104, 2},
                              {".no", 103, 2},
                              {nullptr, 0, 0}};
static const sfxent l_hi[] = {{".sno", 105, 2},       {".status", 46, 0},
                              {".status_num", 44, 0}, {".val", 106, 0},
                              {".val_num", 107, 0},   {nullptr, 0, 0}};
static const sfxent o_lo[] = {{".astatus", 45, 0},  {".astatus_num", 43, 0},
                              {".exitcode", 94, 0}, {".message", 95, 0},
                              {".no", 101, 2},      {nullptr, 0, 0}};
static const sfxent o_hi[] = {{".result", 96, 0}, {".result_num", 97, 0},
                              {".sense", 98, 0},  {".sense_num", 99, 0},
                              {".sno", 102, 2},   {".val", 100, 0},
                              {nullptr, 0, 0}};
static const sfxent p_lo[] = {{".astatus", 45, 0},
                              {".astatus_num", 43, 0},
                              {".exitcode", 111, 0},
                              {".message", 113, 0},
                              {nullptr, 0, 0}};
static const sfxent p_hi[] = {
    {".result", 114, 0}, {".result_num", 112, 0}, {nullptr, 0, 0}};
static const sfxent r_lo[] = {{".no", 108, 2}, {nullptr, 0, 0}};
static const sfxent r_hi[] = {
    {".sno", 109, 2}, {".val", 110, 0}, {nullptr, 0, 0}};

// The kind word is 0 throughout: no kind of declared suffix is left out of
// the lists that badsuffix prints.
const sfxtab vstuff = {0, v_lo, v_hi, nullptr};
const sfxtab cstuff = {0, c_lo, c_hi, nullptr};
const sfxtab ccstuff = {0, cc_lo, cc_hi, nullptr};
const sfxtab lstuff = {0, l_lo, l_hi, nullptr};
const sfxtab ostuff = {0, o_lo, o_hi, nullptr};
const sfxtab pstuff = {0, p_lo, p_hi, nullptr};
const sfxtab rstuff = {0, r_lo, r_hi, nullptr};

xnode* Solution_Count;
xnode* Ig_Count;

static inline void req_or(int bits) { req_collect |= bits; }

const sfxent* sfxlook(const sfxtab* t, const char* name) {
  const sfxent* e = static_cast<unsigned char>(*name) < 'r' ? t->lo : t->hi;
  for (; e->name; e++) {
    if (!std::strcmp(e->name + 1, name)) return e;
  }
  return nullptr;
}

// ---- the dependency tally ----

void dac_add(uint32_t s) { dep_note(static_cast<int>(s)); }

void dac_sub(uint32_t s) {
  if (!dac.mark || dac.mark[s] <= 0) return;
  if (--dac.mark[s] == 0) {
    for (int i = dac.n - 1; i >= 0; i--) {
      if (dac.list[i] == s) {
        dac.list[i] = dac.list[--dac.n];
        break;
      }
    }
  }
}

void unref(xnode* d) { dac_sub(static_cast<uint32_t>(d->num)); }

void dac_adj(xnode* d) {
  dac_sub(static_cast<uint32_t>(d->num));
  dac_add(static_cast<uint32_t>(d->num) + 1);
}

static bool is_defvar(const xnode* d) {
  return (d->kind == DK_VAR || d->kind == DK_VARI) && (d->flags & 32);
}

// The first reason of the command to need values: the suffix (its name
// with the dot, which the declaration's report puts after d's name) on d.
static void seen(xnode* d, const sfxent* entry) {
  if (!dseen) {
    dseen = entry ? entry->name : "";
    dxseen = d;
  }
}

void dac_adj1(xnode* d, int flags, const sfxent* entry) {
  if (flags & DG_SOLVED) {
    seen(d, entry);
    if (cmdstate || trans_state < 3) req_or(2);
  } else if ((flags & DG_DEFVAR) && is_defvar(d)) {
    seen(d, entry);
  }
  if (flags & DG_ADJ) dac_adj(d);
  if ((flags & DG_SOLN) && Solution_Count) {
    dac_add(static_cast<uint32_t>(Solution_Count->num));
  }
  if ((flags & DG_IG) && Ig_Count) {
    dac_add(static_cast<uint32_t>(Ig_Count->num));
  }
  if (flags & DG_VARUSE) {
    for (int i = 0; i < d->ndeps; i++) {
      uint32_t n = d->deps[i];
      xnode* x = dac.bynum ? dac.bynum[n] : nullptr;
      if (x && (x->kind == DK_VAR || x->kind == DK_VARI)) dac_add(n + 1);
    }
  }
}

void dv_check(xnode* d) {
  if (!is_defvar(d)) return;
  dac_adj(d);
  if (trans_state <= 2) req_or(2);
}

void dvo_check(xnode* d) {
  dac_adj(d);
  if (req_collect & 2) return;
  for (int i = 0; i < d->ndeps; i++) {
    xnode* x = dac.bynum ? dac.bynum[d->deps[i]] : nullptr;
    if (x && is_defvar(x)) {
      req_or(2);
      return;
    }
  }
}

int chcomp(const void* a, const void* b) {
  return std::strcmp(*static_cast<const char* const*>(a),
                     *static_cast<const char* const*>(b));
}

// ---- messages ----

static void gather(const sfxent* e, const char** names, int* n) {
  for (; e->name; e++) {
    const char* s = e->name + 1;
    size_t len = std::strlen(s);
    if (len > 4 && !std::strcmp(s + len - 4, "_num")) continue;
    names[(*n)++] = s;
  }
}

void badsuffix(const char* name, const char* thing, const sfxtab* table) {
  pr_badnames = 1;
  if (!table) {
    error(0, "Bad suffix .%s -- %s cannot have a suffix.", name, thing);
    return;
  }
  int nd = dot_names ? dot_names->nmem : 0;
  int k = htcl((nd + 64) * sizeof(const char*));
  const char** names = static_cast<const char**>(new_mblk(k));
  int n = 0;
  gather(table->lo, names, &n);
  gather(table->hi, names, &n);
  int nb = n;
  for (int i = 0; i < nd; i++) {
    suffix* s = suf_bynum(i);
    if (s->kind != static_cast<uint32_t>(table->kind - 1)) {
      names[n++] = s->name->name;
    }
  }
  if (n > nb) Qsort(names, n, sizeof(const char*), chcomp);
  int w[4] = {0, 0, 0, 0};
  for (int i = 0; i < n; i++) {
    int len = static_cast<int>(std::strlen(names[i]));
    if (len > w[i % 4]) w[i % 4] = len;
  }
  mstr* m = nullptr;
  mprintf(&m,
          "Bad suffix .%s for %s\nPossible suffix values for %s.suffix:", name,
          thing, thing);
  for (int i = 0; i < n; i++) {
    mprintf(&m, i % 4 ? "   %-*s" : "\n\t%-*s", w[i % 4], names[i]);
  }
  error(0, "%s", mstr_val(m));  // the message's newline ends the list
  mstr_free(&m);
  del_mblk(k, names);
}

// ---- lookups by entity ----

const sfxent* ccsfxlook(const sfxtab** table, const char* name,
                        uint32_t* code) {
  const sfxent* e;
  uint32_t c;
  if ((*name == 'L' || *name == 'R') && name[1]) {
    *table = &cstuff;
    e = sfxlook(&cstuff, name + 1);
    // A side's defvar has no code of its own (23 + 23 would be status).
    if (!e || e->code == 23) return nullptr;
    c = e->code + (*name == 'L' ? SUF_LSHIFT : SUF_RSHIFT);
  } else {
    *table = &ccstuff;
    e = sfxlook(&ccstuff, name);
    if (!e) return nullptr;
    c = e->code;
  }
  req_or(static_cast<int>(e->req));
  *code = c;
  return e;
}

static bool is_logical(xnode* d) { return con_logical(d) != 0; }

// The table for declaration d (null: d takes no suffixes); for a
// complementarity constraint *cc is set and the table is ccstuff.
static const sfxtab* table_of(xnode* d, bool* cc) {
  *cc = false;
  switch (d->kind) {
    case DK_VAR:
    case DK_VARI:
      return &vstuff;
    case DK_CON:
    case DK_CONI:
      if (is_logical(d)) return &lstuff;
      if (d->flags & 8) {
        *cc = true;
        return &ccstuff;
      }
      return &cstuff;
    case DK_OBJ:
    case DK_OBJI:
      return &ostuff;
    case DK_PROB:
    case DK_PROBI:
      return &pstuff;
    default:
      return nullptr;
  }
}

// Looks name up for d's table; the code goes to *code.
static const sfxent* lookup(const sfxtab** t, bool cc, const char* name,
                            uint32_t* code) {
  if (cc) return ccsfxlook(t, name, code);
  const sfxent* e = sfxlook(*t, name);
  if (e) *code = e->code;
  return e;
}

// The synonym kind's table (kind 12: complementarity).
static const sfxtab* syn_table(int kind, bool* cc) {
  *cc = false;
  switch (kind) {
    case 0:
    case 6:
      return &vstuff;
    case 2:
    case 8:
      return &cstuff;
    case 3:
    case 9:
      return &lstuff;
    case 4:
    case 10:
      return &ostuff;
    case 5:
    case 11:
      return &rstuff;
    case 12:
      *cc = true;
      return &ccstuff;
    default:
      bug("synthingdot: bad b->oper = %d", kind);
  }
}

static int syn_kind(symbol* sym) {
  return static_cast<int>(static_cast<kw_row*>(sym->binding)->value);
}

static const char* dname(const xnode* d) {
  return d->name ? d->name->name : xnode_name(d);
}

// e's suffix node: e keeps the code and becomes OPXNODE; the new node holds
// e and e's former R.
static expr* dotnode(expr* e, int opc, uint32_t flags, int32_t code) {
  operand r = e->R;
  e->R = operand(code);
  e->opword = opword(OPXNODE, 0);
  return new_expr(opword(opc, flags), e, r);
}

static expr* synthingdot(expr* e, const char* name) {
  symbol* sym = e->L.sym;
  int kind = syn_kind(sym);
  bool cc;
  const sfxtab* t = syn_table(kind, &cc);
  uint32_t code = 0;
  const sfxent* ent = lookup(&t, cc, name, &code);
  if (ent) {
    req_or(static_cast<int>(ent->req));
    if ((dotgl[code] & DG_SOLVED) && trans_state <= 2) req_or(2);
    would_need_prob = 4;
    if (need_prob) need_prob |= 4;
    if (dotgl[code] & DG_SYM) return dotnode(e, OPSYNDOTSYM, 16, code);
    return dotnode(e, OPSYNDOT, 2, code);
  }
  int symbolic;
  if (suffix* s = getsuf(name, &symbolic)) {
    dac_add(static_cast<uint32_t>(s->num) + 1);
    would_need_prob = 4;
    if (need_prob) need_prob |= 4;
    operand r = e->R;
    e->R = operand(static_cast<void*>(s));
    return new_expr(symbolic ? opword(OPSYNSUFSYM, 16) : opword(OPSYNSUF, 2), e,
                    r);
  }
  badsuffix(name, sym->name, t);
  edelete(e);
  return new_num(0);
}

static expr* thingdot1(expr* e, const char* name) {
  int opc = opcode(e);
  if ((opc == OPDOT || opc == OPDOTSUB) && eflags(e) == EF_NUMERIC) {
    expr* in = e->L.e;
    in->R = e->R;
    in->next = e->next;
    e->next = nullptr;
    free_expr(e);
    e = in;
    opc = opcode(e);
  }
  if (opc == OPNUM) return e;  // a reference already refused and reported
  if (opc == OPDUMMY) {
    error(0, "dummy . %s not allowed", name);
    edelete(e);
    return new_num(0);
  }
  if ((opc == OPSYNSUB && eflags(e) == EF_NUMERIC) ||
      (opc == OPSYNNAME && eflags(e) == EF_STRING)) {
    return synthingdot(e, name);
  }
  if (opc == OPSYN) {
    // A count parameter (_nvars ...): L is its symbol, and a built-in
    // count has no suffixes.
    badsuffix(name, e->L.sym->name, nullptr);
    edelete(e);
    return new_num(0);
  }
  xnode* d = e->L.x;
  bool cc = false;
  const sfxtab* t = nullptr;
  bool indexed = d->kind & 1;
  switch (d->kind) {
    case DK_VAR:
      if (e->opword == opword(OPPRIMAL, EF_NUMERIC)) dac_add(d->num);
      e->opword = opword(OPCON, 0);
      e->R = nullptr;
      t = &vstuff;
      break;
    case DK_VARI:
      if (e->opword == opword(OPPRIMALSUB, EF_NUMERIC)) dac_add(d->num);
      e->opword = opword(OPCONSUB, 0);
      t = &vstuff;
      break;
    case DK_CON:
    case DK_CONI: {
      bool lg = is_logical(d);
      int vop = indexed ? (lg ? OPLCONSUB : OPDUALSUB) : (lg ? OPLCON : OPDUAL);
      if (e->opword == opword(vop, EF_NUMERIC)) dac_add(d->num);
      e->opword = opword(indexed ? OPCONSUB : OPCON, 0);
      if (!indexed) e->R = nullptr;
      t = table_of(d, &cc);
      break;
    }
    case DK_OBJ:
    case DK_OBJI:
      t = &ostuff;
      if (!std::strcmp(name, "val")) {
        dac_adj1(d, DG_VARUSE | DG_SOLVED, sfxlook(&ostuff, name));
        e->opword = opword(indexed ? OPOBJVALSUB : OPOBJVAL, EF_NUMERIC);
        if (!indexed) e->R = nullptr;
        if (trans_state <= 1) req_or(2);
        return e;
      }
      break;
    case DK_PROB:
      e->R = nullptr;
      t = &pstuff;
      break;
    case DK_PROBI:
      t = &pstuff;
      break;
    default:
      badsuffix(name, dname(d), nullptr);
      edelete(e);
      return new_num(0);
  }
  uint32_t code = 0;
  if (const sfxent* ent = lookup(&t, cc, name, &code)) {
    req_or(static_cast<int>(ent->req));
    int fl = dotgl[code];
    dac_adj1(d, fl, ent);
    if ((fl & DG_SOLVED) && trans_state <= 2) req_or(2);
    if (fl & DG_SYM) {
      return dotnode(e, indexed ? OPDOTSUBSYM : OPDOTSYM, EF_STRING,
                     static_cast<int32_t>(code));
    }
    return dotnode(e, indexed ? OPDOTSUB : OPDOT, EF_NUMERIC,
                   static_cast<int32_t>(code));
  }
  int symbolic;
  if (suffix* s = getsuf(name, &symbolic)) {
    operand r = e->R;
    e->R = operand(static_cast<void*>(s));
    dac_add(static_cast<uint32_t>(s->num) + 1);
    uint32_t ow = symbolic ? opword(indexed ? OPSUFSUBSYM : OPSUFSYM, 16)
                           : opword(indexed ? OPSUFSUB : OPSUF, 2);
    return new_expr(ow, e, r);
  }
  badsuffix(name, dname(d), t);
  edelete(e);
  return new_num(0);
}

expr* thingdot(expr* e, cstr* name) {
  expr* r = thingdot1(e, name->text());
  zap_cstr(&name);
  return r;
}

// The display code of a built-in suffix (*entp its entry) or of a declared
// one (*entp null); false when the name is neither.  *t becomes the table
// searched, for badsuffix.
static bool display_code(const sfxtab** t, bool cc, const char* name,
                         int32_t* code, const sfxent** entp) {
  uint32_t c = 0;
  const sfxent* ent = lookup(t, cc, name, &c);
  *entp = ent;
  if (ent) {
    *code = static_cast<int32_t>(c);
    return true;
  }
  int symbolic;
  if (suffix* s = getsuf(name, &symbolic)) {
    dac_add(static_cast<uint32_t>(s->num) + 1);
    *code = (symbolic ? SUF_SYMBASE : SUF_NUMBASE) + s->classnum;
    return true;
  }
  return false;
}

static expr* empty_item() { return new_expr(opword(OP251, 0)); }

expr* dthingdot(xnode* d, cstr* name) {
  const char* nm = name->text();
  bool cc;
  const sfxtab* t = table_of(d, &cc);
  expr* r;
  int32_t code;
  const sfxent* ent;
  if (!t) {
    badsuffix(nm, dname(d), nullptr);
    r = empty_item();
  } else if (display_code(&t, cc, nm, &code, &ent)) {
    if (ent) {
      req_or(static_cast<int>(ent->req));
      if (d->kind == DK_OBJ || d->kind == DK_OBJI) {
        code = code == SUF_OBJVAL ? -1 : -code;
      } else {
        dac_adj1(d, dotgl[code], ent);
      }
    }
    r = new_expr(opword(OPXNODE, 0), d, code);
  } else {
    badsuffix(nm, dname(d), t);
    r = empty_item();
  }
  zap_cstr(&name);
  return r;
}

expr* dsyndot(symbol* sym, cstr* name) {
  const char* nm = name->text();
  int kind = syn_kind(sym);
  bool cc;
  const sfxtab* t = syn_table(kind, &cc);
  int32_t code;
  const sfxent* ent;
  expr* r;
  if (display_code(&t, cc, nm, &code, &ent)) {
    if (ent) {
      req_or(static_cast<int>(ent->req));
      if (kind == 4 || kind == 10) {
        code = code == SUF_OBJVAL ? -1 : code < SUF_OBJVAL ? -code : code;
      }
    }
    r = new_expr(opword(OP256, 0), sym, code);
  } else {
    badsuffix(nm, sym->name, t);
    r = empty_item();
  }
  zap_cstr(&name);
  return r;
}

// The suffix name of a display code; objective codes come back from their
// stored (negated) form.
static cstr* code_name(int32_t code) {
  if (code == -1) code = SUF_OBJVAL;
  if (code < 0) code = -code;
  if (code < SUF_NUMBASE) return new_cstring(dotnames[code]);
  bool num = code < SUF_SYMBASE;
  int k = code - (num ? SUF_NUMBASE : SUF_SYMBASE);
  const char* t =
      dot_names && k < dot_names->nmem ? suf_bynum(k)->name->name : "";
  if (!num) return new_cstring(t);
  size_t n = std::strlen(t);
  cstr* c = new_cstr(n + 5);  // "_num" and the NUL
  std::memcpy(c->text(), t, n);
  std::memcpy(c->text() + n, "_num", 5);
  return c;
}

static void display_only(const char* nm) {
  error(0,
        "%.85s.suffix is only for display;\n\there you need "
        "%.85s[...].suffix\n\tor %.85s.suffix[...]",
        nm, nm, nm);
}

static expr* expr0dot1(expr* e, expr* subs, bool display) {
  int opc = opcode(e);
  if (opc == OP251) {  // the suffix was not found, and said so
    free_expr(e);
    ldelete(subs);
    return new_num(0);
  }
  const char* nm = opc == OP256 ? e->L.sym->name : dname(e->L.x);
  if (!subs) {
    display_only(nm);
    free_expr(e);
    return new_num(0);
  }
  expr* ref;
  if (opc == OP256) {
    ref = synscript(opword(OPSYNSUB, EF_NUMERIC), e->L.sym, subs);
  } else {
    xnode* d = e->L.x;
    switch (d->kind) {
      case DK_VARI:
        if (display && (d->flags & 32)) {
          dac_adj(d);
          if (trans_state < 3) req_or(2);
        }
        [[fallthrough]];
      case DK_CONI:
      case DK_OBJI:  // objective codes are restored by code_name
        ref = subscript(opword(OPCONSUB, EF_NUMERIC), d, subs);
        break;
      case DK_PROBI:
        ref = subscript(opword(OPPROBSUB, EF_NUMERIC), d, subs);
        break;
      default:
        bug("case OPXNODE in expr0dot");
    }
    dac_add(static_cast<uint32_t>(d->num));
  }
  cstr* name = code_name(e->R.i);
  free_expr(e);
  if (opcode(ref) == OPNUM) {  // a rejected synonym subscript
    zap_cstr(&name);
    return ref;
  }
  return thingdot(ref, name);
}

expr* expr0dot(expr* e, expr* subs) { return expr0dot1(e, subs, false); }

expr* wholedot(xnode* d, cstr* name) {
  const char* ds = dseen;
  xnode* dx = dxseen;
  expr* e = dthingdot(d, name);
  dseen = ds;
  dxseen = dx;
  return expr0dot(e, nullptr);
}

// The whole-entity suffix of the statement being read that no item has
// claimed yet (only compared, never followed), its entity's name, and
// whether it is a bad suffix (already reported).
static bool wsfx_on;
static const expr* wsfx_pending;
static bool wsfx_bad;
static char wsfx_name[86];

void whole_sfx_allow(bool on) {
  wsfx_on = on;
  wsfx_pending = nullptr;
}

expr* whole_sfx(xnode* d, symbol* sym, cstr* name) {
  if (!wsfx_on)
    return d ? wholedot(d, name) : expr0dot(dsyndot(sym, name), nullptr);
  if (wsfx_pending && !wsfx_bad) display_only(wsfx_name);  // misused
  expr* disp = d ? dthingdot(d, name) : dsyndot(sym, name);
  wsfx_pending = disp;
  wsfx_bad = opcode(disp) == OP251;
  snprintf(wsfx_name, sizeof wsfx_name, "%s", d ? dname(d) : sym->name);
  return disp;
}

bool whole_sfx_item(expr** e, int kinds) {
  if (!wsfx_pending) return false;
  bool mine = e && *e == wsfx_pending;
  wsfx_pending = nullptr;
  if (mine) {
    int opc = opcode(*e);
    bool ok = opc == OP251 || (kinds == 1 && opc == OP256) ||
              (kinds && opc == OPXNODE &&
               (kinds == 1 || (*e)->L.x->kind == DK_VARI ||
                (*e)->L.x->kind == DK_CONI));
    if (ok) return true;
  }
  if (!wsfx_bad) display_only(wsfx_name);
  if (mine) {
    free_expr(*e);
    *e = new_num(0);
  }
  return false;
}

expr* dexpr0dot(expr* e, expr* subs) {
  expr* r = expr0dot1(e, subs, true);
  return new_expr(opword(OP251, 0), nullptr, r);
}

}  // namespace vexo
