// The parser driver, the main parse loop and the statement builders of the
// grammar.
#include "frontend/parse.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "data/readdata.h"
#include "data/table.h"
#include "eval/funclib.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/cmdbuild.h"
#include "frontend/conbody.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/funcbuild.h"
#include "frontend/grammar.h"
#include "frontend/keywords.h"
#include "frontend/lexer.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "frontend/refs.h"
#include "frontend/strexpr.h"
#include "frontend/suffix.h"
#include "frontend/vardcl.h"
#include "instance/sufdecl.h"
#include "session/cmdrec.h"
#include "session/environs.h"
#include "session/include.h"
#include "solver/solve.h"
#include "session/infiles.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/optcmd.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

int32_t yynerrs;
int32_t errseen;
int32_t tablerw;
int32_t delpurge;
int32_t rumode;
int in_cmds = 1;

const int parse_result_map[6] = {0, 3, 2, 3, 1, 3};

// In file-name state the lexer takes any word as a file name (only a
// string, "(", ";" and "<" are tokens of their own there), so a
// redirection written where an optional file name may stand (commands >
// f;) arrives as the file name ">" or ">>".  Such a word cannot name a file
// that a command could use; it is the redirection token, after which the
// grammar reads the file name.  The lexer keeps its file-name rule; the
// parser's token source maps the two words.
static int redirect_marker(int t) {
  if (t != TK_FILENAME || !yylval.str) return t;
  const char* s = yylval.str->text();
  int r = !strcmp(s, ">") ? '>' : !strcmp(s, ">>") ? int(TK_GTGT) : t;
  if (r != t) zap_cstr(&yylval.str);
  return r;
}

// A token read after an error the lexer reported, held while the parser
// takes the error token.
static int held_token = -1;
static lexval held_value;

int parser_took_semicolon;

int parser_next_token(yystype* value) {
  int t;
  if (held_token >= 0) {
    t = held_token;
    held_token = -1;
    yylval = held_value;
  } else {
    t = redirect_marker(yylex());
    if (lex_error_pending) {
      // The statement is abandoned through the parser's recovery (the
      // error token, 256, sends it there without a second message).
      lex_error_pending = 0;
      held_token = t;
      held_value = yylval;
      return 256;
    }
  }
  static_assert(sizeof *value == sizeof yylval);
  std::memcpy(value, &yylval, sizeof *value);
  parser_took_semicolon = t == ';';
  return t;
}

int yyparse() {
  int32_t nerrs0 = yynerrs;
  lexval lval0 = yylval;
  yynerrs = 0;
  int code = -1;
  yyparser p(code);
  int r = p.parse();
  if (code >= 0) return code;  // an action's code leaves the state as it is
  yynerrs = nerrs0;
  yylval = lval0;
  return r == 0 ? YYP_EMPTY : YYP_ABORT;
}

int parse() {
  cmd_start = in_cmds;
  for (;;) {
    // Nothing is held over from a parse an abort ended.
    lex_error_pending = 0;
    held_token = -1;
    parser_took_semicolon = 0;
    try {
      int r = yyparse();
      return r >= 0 && r <= 5 ? parse_result_map[r] : r;
    } catch (const command_abort&) {
      // The statement was abandoned; the abort has the reader inject ";;;"
      // (yy_special 2), which ends what is left of it.
      end_all_contexts();
      recover();
      cmd_reset();
      cmd_start = in_cmds;
      // An abandoned name list (show, delete ...) leaves reserved words
      // plain names again, as the statement-level error rule does.
      rlook8 = 0;
    }
  }
}

void parse_start() {
  errseen = tablerw = delpurge = rumode = 0;
  in_cmds = 1;
  yynerrs = 0;
  lex_error_pending = 0;
  held_token = -1;
}

void set_lexstate(int32_t state, bool lookahead_held) {
  if (lookahead_held)
    bug("lexer state %d set with a lookahead token held", state);
  cmd_start = state;
}

void set_rlook8(int32_t v, bool lookahead_held) {
  if (lookahead_held) bug("rlook8 set with a lookahead token held");
  rlook8 = v;
}

int end_of_input(int any) {
  if (!any) return in_cmds <= 1 ? YYP_EMPTY : YYP_CMDS;
  if (in_cmds <= 1) return YYP_DECLS;
  cmd_eof();
  if (in_cmds <= 1) return YYP_DECLS;
  bool cmdout = cmdoutopt && *cmdoutopt;
  return (!cmdout || !must_write()) ? YYP_CMDS : YYP_DECLS;
}

void command_begin() {
  in_cmds = 2;
  if (!(cmdstate && infile)) clear_warnings();
  option_read_begin();
}

// Data reading at top level: parsing goes on when the data section ended
// in a command; otherwise the input has ended.
static int read_data_here() {
  if (read_data()) {
    yylastc = nextc;
    return 0;
  }
  return in_cmds > 1 ? YYP_CMDS : YYP_DATA_END;
}

int data_stmt(expr* file) {
  if (cmdstate) {
    if (file)
      cmd_e(CK_DATA, file);
    else
      error(0,
            "misplaced \"data;\", which cannot appear in a compound "
            "command.");
    return 0;
  }
  if (inslev) {
    cmd_e(CK_DATA, file);
    // `data;` that read a `commands` file to its end (nextfile ended it)
    // ends that file's parse too.
    return nfs < ins_nfs ? YYP_CMDS : 0;
  }
  if (file) einclude(file, 0);
  return read_data_here();
}

int shell_stmt(expr* text, redirect* r) {
  cmd_ef(CK_SHELL, text, r);
  if (!from_data) return 0;
  return read_data_here();
}

void commands_stmt(expr* file, redirect* r) {
  if (r && !file) {
    error(0, "Ignoring >... in commands without filename.");
    r = nullptr;
  }
  if (cmdstate || file) cmd_ef(CK_COMMANDS, file, r);
}

int snapshot_bit(symbol* word) {
  static const char* const names[4] = {"model", "data", "options", "solution"};
  for (int i = 0; i < 4; ++i)
    if (!strcmp(word->name, names[i])) return 1 << i;
  error(0,
        "unknown snapshot argument: %s. Available arguments are: 'model', "
        "'data', 'options', and 'solution'.\n",
        word->name);
  return 256;
}

void snapshot_stmt(intptr_t bits, redirect* r) {
  if (!(bits & 256)) cmd_if(CK_SNAPSHOT, static_cast<int>(bits), r);
}

expr* exit_value(expr* e) { return e ? make_numeric(e) : new_num(0.); }

void stmt_error() {
  havestmt(0);
  end_all_contexts();
  dep_reset();
  cmd_reset();
  if (Curdclname) {
    Curdclname->binding = Oldval;
    Curdclname = nullptr;
  }
}

void statement_end() { lastloopdummy = nullptr; }

expr* push_expr(expr* chain, expr* e) {
  if (!e) return chain;
  e->next = chain;
  return e;
}

expr* name_node(symbol* s) { return new_expr(opword(OP279), s); }

// Expression forms of the grammar.

expr* undeclared(symbol* s) {
  ++errseen;
  return not_declared(s);
}

expr* cond_expr(expr* e) {
  e = not_tuple(e);
  if (is_logical(e)) return e;
  if (e->opword & (EF_VARS | EF_RANDVAR))
    return relop(e, opword(NE), new_num(0.), nullptr);
  e = make_numeric(e);
  return new_expr(
      opword(OPTESTNZ, EF_NUMERIC | (eflags(e) & (EF_CONST | EF_RANDOM))), e);
}

expr* not_op(expr* e) { return logical_not(cond_expr(e)); }

expr* cond_value(expr* e) {
  if (!e || !is_logical(e)) return e;
  return makeif(e, new_num(1.), new_num(0.));
}

void arg_values(expr* args) {
  for (expr* a = args; a; a = a->next) {
    if (opcode(a) != OPARG) continue;
    if (a->L.ss)
      arg_values(a->R.e);
    else
      a->R.e = cond_value(a->R.e);
  }
}

expr* logop(int opc, expr* a, expr* b) {
  a = cond_expr(a);
  b = cond_expr(b);
  uint32_t f = (eflags(a) | eflags(b)) & ~static_cast<uint32_t>(EF_CONST);
  f |= eflags(a) & eflags(b) & EF_CONST;
  if (f & EF_VARS) f |= EF_NONLIN;
  return new_expr(opword(opc, f), a, b);
}

expr* xor_op(expr* a, expr* b) {
  return logical_not(impl_op(OP_IFF, a, b, nullptr));
}

expr* impl_op(int opc, expr* a, expr* b, expr* c) {
  return makeimpli(opword(opc), cond_expr(a), cond_expr(b),
                   c ? cond_expr(c) : nullptr);
}

expr* itlogic(intptr_t op, set_spec* ix, expr* body) {
  return sreduc(static_cast<uint32_t>(op), ix, cond_expr(body), 1);
}

expr* itreduc(intptr_t op, set_spec* ix, expr* body) {
  return sreduc(static_cast<uint32_t>(op), ix, make_numeric(body), 1);
}

expr* tuple_node(expr* chain) { return new_expr(opword(OPSYMLIST), chain); }

static bool is_tuple(const expr* e) { return opcode(e) == OPSYMLIST; }

// The components of a tuple node, the node itself freed.
static expr* tuple_parts(expr* t) {
  expr* chain = t->L.e;
  t->L.e = nullptr;
  free_expr(t);
  return chain;
}

expr* member_test(expr* x, set* s, int notin) {
  uint32_t op = opword(notin ? OPISNOTIN : OPISIN);
  int mode = notin ? SYML_NOTIN : SYML_IN;
  if (is_tuple(x)) {
    expr* parts = name_purge(1, tuple_parts(x));
    return in_test(symlist(mode, reverse(parts)), s, op);
  }
  return in_test(symlist(mode, x), s, op);
}

expr* set_test(int opc, set* a, set* b) { return new_expr(opword(opc), a, b); }

expr* subs_of(expr* chain) {
  return symlist(SYML_INDEX, reverse(name_purge(0, chain)));
}

expr* cvar_ref(xnode* v, expr* subs) {
  expr* e = subs ? opvarsub(opword(OPPRIMALSUB, EF_NUMERIC), v, subs)
                 : opvar(opword(OPPRIMAL, EF_NUMERIC), v);
  dv_check(v);
  return e;
}

expr* cobj_ref(xnode* o, expr* subs) {
  expr* e = subs ? subscript(opword(OPOBJVALSUB, EF_NUMERIC), o, subs)
                 : entity_ref(o, OPOBJVAL);
  dvo_check(o);
  return e;
}

// The op word a built-in function's name stands for.
static uint32_t builtin_opword(symbol* f) {
  return static_cast<const kw_row*>(f->binding)->value;
}

expr* bi_unop(symbol* f, expr* x) { return unop(builtin_opword(f), x, 1); }

expr* bi_binop(symbol* f, expr* x, expr* y) {
  uint32_t op = builtin_opword(f);
  if (!y) {
    int opc = static_cast<int>(op >> OPSHIFT);
    if (opc != OPround && opc != OPtrunc) {
      error(0, "%s takes two arguments", opname[opc]);
      edelete(x);
      return new_num(0.);
    }
  }
  return binop(op, x, y, bop_nonlin);
}

expr* card_op(set* s) { return new_expr(opword(OPCARD, EF_NUMERIC), s); }

expr* card_ix(set_spec* ss) { return card_op(set_spec_set(ss)); }

// The set a dummy ranges over, with a reference for the node that keeps
// it; an empty set when none is known.
static set* set_of_level(int level) {
  set* s = dummy_set(level);
  if (!s) return set_enum(new_enum(), 1);
  ++s->refcnt;
  return s;
}

expr* ord_dummy(intptr_t op, dummy* d) {
  return ord_elem(static_cast<uint32_t>(op), dummy_expr(d),
                  set_of_level(static_cast<int>(d->level)));
}

expr* nextprev_dummy(intptr_t kind, dummy* d, expr* step) {
  return nextprev(static_cast<int>(kind), dummy_expr(d),
                  set_of_level(static_cast<int>(d->level)), step);
}

// The set of a loop dummy's loop, with a reference for the caller (an
// empty set when the loop's set is not known).
static set* loop_set_of(dummy* d) {
  set* s = new_set_db(d);
  if (!s) return set_enum(new_enum(), 1);
  ++s->refcnt;
  return s;
}

expr* ord_loopdummy(intptr_t op, dummy* d) {
  return ord_elem(static_cast<uint32_t>(op), loopdummy_expr(d), loop_set_of(d));
}

expr* nextprev_loopdummy(intptr_t kind, dummy* d) {
  return nextprev(static_cast<int>(kind), loopdummy_expr(d), loop_set_of(d),
                  nullptr);
}

expr* nextprev_step(intptr_t kind, expr* x, expr* step) {
  if (opcode(x) == OPDUMMY && dummy_set(x->L.i))
    return nextprev(static_cast<int>(kind), x, set_of_level(x->L.i), step);
  if (opcode(x) == OPLOOPDUMMY)
    return nextprev(static_cast<int>(kind), x,
                    loop_set_of(static_cast<dummy*>(x->L.p)), step);
  error(0,
        "Expected the first arg of %s to be a dummy variable\n\tor the "
        "second arg to be a set.",
        nextprev_name[kind & 3]);
  edelete(x);
  edelete(step);
  return new_num(0.);
}

expr* alias_op(xnode* x) {
  unref(x);
  return new_expr(opword(206, EF_STRING), x);
}

expr* stoch_items(expr* items) {
  items = reverse(items);
  if (anystoch(items)) items = randify(items);
  return items;
}

expr* alldiff_ix(set_spec* ix, expr* body) {
  // The body's items (a parenthesised list gives several) become the
  // group's plain argument entries, in source order.
  expr* list = body;
  if (opcode(body) == OPSYMLIST) {
    list = name_purge(0, body->L.e);
    body->L.e = nullptr;
    free_expr(body);
  }
  expr* args = nullptr;
  for (expr* e = list; e;) {
    expr* nx = e->next;
    e->next = nullptr;
    args = push_expr(args, arg_entry(nullptr, e));
    e = nx;
  }
  return alldiff(nullptr, arg_entry(ix, reverse(args)));
}

Optioncmd* qual_setting(cstr* env, expr* subs, cstr* name, expr* value) {
  bool refused = false;
  Optioncmd* o =
      optioncmd(nullptr, new_str(name), envsub(env, subs, &refused), value);
  if (refused) o->refused = 1;
  return o;
}

expr* prob_env(expr* settings, cstr* env, expr* subs) {
  return push_expr(settings, subs ? envsub(env, subs) : envdcl(env));
}

expr* prob_suffix(expr* settings, symbol* sufname, expr* value) {
  add_sufinit(&settings, sufname, value);
  return settings;
}

expr* text_of_strings(list* strings) { return new_str(list2string(strings)); }

pvinfo* tab_group(set_spec* ix, int flags, pvinfo* items) {
  // The items are complete: the group record takes them in source order
  // (its indexing's scope ends there).
  pvinfo* g = tabitstart(ix, flags);
  std::vector<pvinfo*> newest_first;
  for (pvinfo* p = items; p; p = p->next) newest_first.push_back(p);
  for (size_t i = newest_first.size(); i-- > 0;) {
    pvinfo* p = newest_first[i];
    p->next = nullptr;
    g = (flags & 8) ? add_coldesc(g, p) : add_pv_ititem(g, p);
  }
  return g;
}

pvinfo* push_pv(pvinfo* chain, pvinfo* p) {
  if (!p) return chain;
  p->next = chain;
  return p;
}

set_spec* loop_indexing(set_spec* ss) {
  // The indexing's own scope ends: the body is read at the level of the
  // loop statement, so that its indexings lie where its commands are
  // compiled.  Its dummy names stand for the components of the loop's
  // member instead.
  end_context(ss, nullptr);
  int pos = 0;
  for (Index* ix = ss->first; ix; ix = ix->next) {
    if (ix->dummies) loopdumifye(ix->dummies, pos);
    pos += ix->s->arity;
  }
  return ss;
}

expr* arg_entry(set_spec* ix, expr* e) {
  // The group's list is complete: its dummies go out of scope.
  if (ix) end_context(ix, nullptr);
  return new_expr(opword(OPARG), ix, e);
}

expr* set_arg_entry(set_spec* ix, set* s) {
  if (ix) end_context(ix, nullptr);
  return new_expr(opword(OPARG), ix, s);
}

expr* pl_pair(expr* v, expr* z) { return new_expr(opword(260), v, z); }

expr* pl_term(expr* first, expr* second, expr* arg) {
  expr* z = nullptr;
  if (opcode(arg) == 260) {
    expr* p = arg;
    arg = p->L.e;
    z = p->R.e;
    free_expr(p);
  }
  return makepl(first, second, arg, z);
}

set* set_needs_sub(xnode* sd) {
  error(0, "%s needs to be subscripted.", sd->name->name);
  return set_enum(new_enum(), 1);
}

set* builtin_set(symbol* s) {
  set* r = static_cast<set*>(s->binding);
  ++r->refcnt;
  return r;
}

set* setof_expr(set_spec* ix, expr* body) {
  if (is_tuple(body)) {
    expr* parts = name_purge(1, tuple_parts(body));
    return setof(ix, symlist(SYML_SETOF, reverse(parts)));
  }
  return setof(ix, symlist(SYML_SETOF, body));
}

set* empty_literal() { return set_enum(new_enum(), 1); }

set* literal_set(expr* members) {
  // One tuple among the members makes it a literal of tuples, whose
  // lengths are checked: a scalar member is a tuple of one component.
  bool any_tuple = false;
  for (const expr* m = members; m && !any_tuple; m = m->next)
    any_tuple = is_tuple(m);
  if (!any_tuple) return set_literal(members);
  // Cells newest first, each with its tuple in source order: built from
  // the oldest member up.
  list* tuples = nullptr;
  for (expr* m = reverse(members); m;) {
    expr* nx = m->next;
    m->next = nullptr;
    expr* parts = is_tuple(m) ? tuple_parts(m) : m;
    tuples = tulist(tuples, reverse(parts));
    m = nx;
  }
  return set_literal(tuples);
}

set* paren_interval(expr* e) {
  if (is_tuple(e) && listlen(e->L.e) == 2) {
    expr* lo = tuple_parts(e);
    expr* hi = lo->next;
    lo->next = nullptr;
    // A bound written as a new name is an undeclared name.
    return set_interval(0, undeclared_elem(lo), undeclared_elem(hi), 0);
  }
  error(0, "expected a set or an interval");
  set_rc_bit(8);
  edelete(e);
  return empty_literal();
}

Index* ix_name(Index* prev, symbol* name, set* s) {
  return index_item(prev, name ? name_node(name) : nullptr, s);
}

Index* ix_tuple(Index* prev, expr* tuple, set* s) {
  return index_item(prev, tuple, s);
}

// Declaration forms of the grammar.

expr* term_ref(xnode* c, expr* subs) {
  return new_expr(opword(OPLOOKUP), c, subs);
}

expr* raw_subs(expr* chain) { return reverse(name_purge(0, chain)); }

// The record and subscripts of a term_ref node, the node freed.
static constr* term_parts(expr* ref, expr** subs) {
  constr* c = static_cast<constr*>(ref->L.x);
  *subs = ref->R.e;
  free_expr(ref);
  return c;
}

var* colgen_phrase(var* v, set_spec* ix, expr* ref, expr* coef) {
  expr* subs;
  constr* c = term_parts(ref, &subs);
  v->addcolgen(ix, c, subs, coef);
  return v;
}

var* arc_phrase(var* v, int which, set_spec* ix, expr* ref, expr* coef) {
  expr* subs;
  constr* c = term_parts(ref, &subs);
  v->addarc(which, ix, c, subs, coef);
  return v;
}

dclhead* dcl_head(int kind, symbol* name, cstr* alias, set_spec* ix) {
  dclhead* h = static_cast<dclhead*>(mem(sizeof(dclhead)));
  h->name = name;
  h->alias = alias;
  h->ix = ix;
  h->sufinit = nullptr;
  h->dual = nullptr;
  h->kind = kind;
  h->ditype = 0;
  return h;
}

dclhead* head_suffix(dclhead* h, symbol* sufname, expr* value) {
  add_sufinit(&h->sufinit, sufname, value);
  return h;
}

dclhead* head_dual(dclhead* h, expr* value, int is_default) {
  if (h->dual) edelete(h->dual);
  h->dual = value;
  h->ditype = is_default;
  return h;
}

int32_t tktype;

// The markers' tags: R of a marker node points at its entry.
static const int flow_tag[4] = {0, FLOW_TO_COME, FLOW_NET_IN, FLOW_NET_OUT};

expr* flow_marker(int kind) {
  expr* e = new_expr(opword(OPNUM, EF_NUMERIC), 0.);
  e->R.p = const_cast<int*>(&flow_tag[kind]);
  return e;
}

// The kind of a marker node, 0 for any other node.
static int marker_kind(const expr* e) {
  if (!e || opcode(e) != OPNUM || e->L.d != 0.) return 0;
  for (int k = 1; k < 4; ++k)
    if (e->R.p == &flow_tag[k]) return k;
  return 0;
}

// Takes a marker out of the top level of e (e itself, a side of "+", or
// the right side of "-"): returns its kind (0: none) and leaves in *rest
// what remains (null when e was the marker alone); *neg toggles for a
// negated or subtracted marker.
static int take_marker(expr* e, expr** rest, int* neg) {
  *rest = e;
  if (int k = marker_kind(e)) {
    if (std::signbit(e->L.d)) *neg ^= 1;
    free_expr(e);
    *rest = nullptr;
    return k;
  }
  if (opcode(e) == OPUMINUS) {
    if (int k = marker_kind(e->L.e)) {
      *neg ^= 1;
      free_expr(e->L.e);
      free_expr(e);
      *rest = nullptr;
      return k;
    }
  }
  if (opcode(e) != OPPLUS && opcode(e) != OPMINUS) return 0;
  expr* l = e->L.e;
  expr* r = e->R.e;
  int k;
  if ((k = marker_kind(r))) {
    if (opcode(e) == OPMINUS) *neg ^= 1;
    free_expr(r);
    free_expr(e);
    *rest = l;
    return k;
  }
  if ((k = marker_kind(l))) {
    free_expr(l);
    *rest = opcode(e) == OPMINUS ? negate(r) : r;
    free_expr(e);
    return k;
  }
  return 0;
}

expr* body_chain(list* chain) {
  tktype = 0;
  // Source order: operand, op, operand [, op, operand].
  list* c = reverse(chain);
  int n = listlen(c);
  expr* part[3] = {};
  uint32_t op[2] = {};
  int kind = 0, neg = 0, at = -1;
  if (n == 3 || n == 5) {
    list* x = c;
    for (int i = 0; x; ++i, x = x->next) {
      if (i & 1)
        op[i / 2] = static_cast<uint32_t>(x->item.i);
      else
        part[i / 2] = x->item.e;
    }
    for (int i = 0; i < (n + 1) / 2 && !kind; ++i) {
      expr* rest;
      if (int k = take_marker(part[i], &rest, &neg)) {
        kind = k;
        at = i;
        part[i] = rest ? rest : new_num(0.);
      }
    }
  }
  if (!kind) return stbody1(reverse(c));
  free_list(c);
  if (kind == FLOW_TO_COME) tktype = 16;
  int flip = neg ^ (kind == FLOW_NET_OUT) ^ (n == 3 && at == 1);
  int flags = tktype | (flip ? 32 : 0);
  if (kind == FLOW_NET_OUT) tktype |= 32;
  if (n == 3) return stbody(part[0], op[0], part[1], 0, nullptr, flags);
  return stbody(part[0], op[0], part[1], op[1], part[2], flags);
}

void objective_dcl(dclhead* h, expr* body) {
  uint64_t flags = static_cast<uint64_t>(h->kind);
  int neg = 0;
  expr* rest = body;
  if (!body || (body && take_marker(body, &rest, &neg) == FLOW_TO_COME)) {
    body = rest ? rest : new_num(0.);
    flags |= CF_TOCOME;
  }
  constr* c = new constr(h->name, h->alias, h->ix, flags, body);
  c->sufinit = h->sufinit;
  c->finish_dcl();
}

void constraint_dcl(dclhead* h, expr* body, int has_body) {
  nvarsub = 0;
  bool node = h->kind == DH_NODE;
  if (!body && (has_body || !node)) {
    // The body was refused (reported): the constraint is dropped.  Only a
    // node may come without a body (the grammar holds the others to ":").
    if (h->ix) end_context(h->ix, nullptr);
    ldelete(h->sufinit);
    edelete(h->dual);
    return;
  }
  di_type = h->ditype;
  uint64_t flags = node ? uint64_t{CF_NODE | CF_TOCOME}
                        : (tktype & 16 ? uint64_t{CF_TOCOME} : 0);
  tktype = 0;
  constr* c = new constr(flags, h->name, h->alias, h->ix, body, h->dual);
  c->sufinit = h->sufinit;
  c->finish_dcl();
}

list* side_list(expr* e) { return new_list(nullptr, e); }

Table* cur_table;
int32_t isd;

void table_head(symbol* name, set_spec* ix, int rw) {
  tablerw = rw;
  errseen = 0;
  isd = 0;
  cur_table = new Table(name ? name : Symbol("<unnamed>", 0), ix);
  if (rw) cur_table->addtdir(rw);
}

pvinfo* table_item(expr* item, int op, expr* col, int dir) {
  return make_pvi(col ? eqchk(item, op, col) : item, col, dir);
}

expr* prob_item(xnode* x, expr* subs) {
  if (!subs) return entity_item(x);
  int opc = OPVARSUB165;
  if (x->kind == DK_CONI) opc = 208;
  if (x->kind == DK_OBJI) opc = OPOBJVALSUB;
  return subscript(opword(opc), x, subs);
}

expr* prob_synitem(symbol* sym, expr* subs) {
  if (!subs) return new_expr(opword(OPSYN), sym, sym->binding);
  int n = listlen(subs);
  if (n != 1) {
    error(0, "%s needs 1 subscript, not %d", sym->name, n);
    ldelete(subs);
    return nullptr;
  }
  return new_expr(opword(OPSYNSUB, EF_NUMERIC), sym,
                  new_expr(opword(OPSYMLIST), subs));
}

expr* prob_undeclared(symbol* s) {
  error(0, "%s is not defined.", s->name);
  return nullptr;
}

funcarg* new_farg(set* s, int dir) {
  funcarg* a = static_cast<funcarg*>(new_mblk(2, 1));
  a->next = nullptr;
  a->s = s;
  a->dir = dir;
  return a;
}

funcarg* push_farg(funcarg* l, funcarg* a) {
  a->next = l;
  return a;
}

}  // namespace vexo
