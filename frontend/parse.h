// The parser driver and the main parse loop.  yyparse runs the grammar
// (frontend/grammar.y, an LALR(1) parser generated at build time) over the
// tokens of yylex until the input ends, a syntax error leaves no state to
// resume from, or an action ends the parse with a code; the grammar's
// actions build declarations and commands through the builders and steer
// the lexer through cmd_start.  yyparse is re-entrant: the single-stepping
// loop calls it again from inside an action, and each call has its own
// stack.  parse is the command loop's recovery point around it.
#ifndef VEXO_FRONTEND_PARSE_H
#define VEXO_FRONTEND_PARSE_H

#include <cstdint>

namespace vexo {

struct symbol;
struct cstr;
struct xnode;
struct expr;
struct list;
struct set;
struct set_spec;
struct Index;
struct dummy;
struct redirect;
struct setdcl;
struct param;
struct var;
struct suffix;
struct funcarg;
struct dclhead;
struct Optioncmd;
struct pvinfo;

// The value of a parser stack entry: one pointer-sized word, read as the
// member the rule implies.  The lexer's token value (lexval, frontend/
// lexer.h) is copied into it bit for bit, so i, d, sym, str, x, e and p
// mean what they mean there.
union yystype {
  intptr_t i;
  double d;
  symbol* sym;
  cstr* str;
  xnode* x;
  expr* e;
  void* p;
  list* l;
  set* s;
  set_spec* ss;
  Index* ix;
  dummy* dm;
  redirect* rd;
  setdcl* sd;
  param* pd;
  var* vd;
  suffix* sf;
  funcarg* fa;
  dclhead* dh;
  Optioncmd* oc;
  pvinfo* pv;
};
static_assert(sizeof(yystype) == sizeof(void*), "one word per stack entry");

// Results of yyparse.
enum : int {
  YYP_EMPTY = 0,     // the input ended with nothing pending
  YYP_ABORT = 1,     // a syntax error left no state to resume from
  YYP_DATA_END = 2,  // a top-level data statement's reading ended the input
  YYP_CMDS = 3,      // end of input after statements (commands seen)
  YYP_DECLS = 4,     // end of input after statements (model only, or a
                     // command output must still be written)
  YYP_QUIT = 5,      // quit
  YYP_CONT = 6,      // single-stepping words: cont, next, skip, step
  YYP_NEXT = 7,
  YYP_SKIP = 8,
  YYP_STEP = 9,
  YYP_BREAK = 10  // break or continue that leaves a single-stepped loop
};

// Runs the grammar until the input ends or an action returns a code (the
// results above).  Syntax errors are reported through yyerror and parsing
// resumes at the next ";" where the grammar has an error rule.  Errors
// that builders raise (command_abort, session_exit) pass through; the
// parser's own stack is released on the way.
int yyparse();

// Syntax errors the parser detected in the current (innermost) yyparse
// call; saved and restored around nested calls.
extern int32_t yynerrs;

// The program's result of each yyparse result 0 to 5.
extern const int parse_result_map[6];

// The main loop: calls yyparse with the lexer at a statement start; when a
// command is abandoned (command_abort) it closes every open context, runs
// the session's recovery (recover, session/loop.h: loop state, requests,
// the return code of an interactive session) and the command reset
// (cmd_reset) and parses on.  Returns yyparse's result mapped through
// parse_result_map (codes above 5 are returned as they are).  session_exit
// passes through.
int parse();

// State kept by the grammar actions (all set by parse_start, the parser of
// a new session; kept by `reset`, which runs inside the parser):
// errseen: errors seen in the declaration being built; tablerw: 0 declared
// table, 1 _readtable, 2 _writetable; delpurge: 0 delete, 1 purge;
// rumode: 0 reset data, 1 update data.
extern int32_t errseen;
extern int32_t tablerw;
extern int32_t delpurge;
extern int32_t rumode;
void parse_start();
// 1 until the parser meets the first command (declarations are read), 2
// after.
extern int in_cmds;

// Statement builders of the grammar.  Each reports its own errors.
// end_of_input: the result at the end of the input, after statements
// (any 1) or none.
int end_of_input(int any);
// After each statement: a loop dummy that the statement used
// (lastloopdummy) no longer counts.
void statement_end();
// Before each command: commands have begun (in_cmds 2), the warning
// counts restart unless a compound command is read from a file, and the
// option items count their errors from here (option_read_begin).
void command_begin();
// The `data` statement with its file (or null): 0 when parsing goes on,
// else the code the parse ends with.
int data_stmt(expr* file);
// `shell`: the command, then (after a data section) data reading resumes
// as for `data`; the same result.
int shell_stmt(expr* text, redirect* r);
// `commands` with its file and redirection.
void commands_stmt(expr* file, redirect* r);
// The bit of one `snapshot` word (256 after reporting an unknown word),
// and the command with the collected bits (none when 256 is among them).
int snapshot_bit(symbol* word);
void snapshot_stmt(intptr_t bits, redirect* r);
// The value of `exit`: the expression made numeric, or the number 0 when
// none.
expr* exit_value(expr* e);
// The statement-level error rule: abandons the statement (havestmt,
// contexts, dependencies, cmd_reset) and gives a declared name back its
// old binding.
void stmt_error();
// Pushes e in front of a chain of expressions (lists grow at their head
// and are put in source order by reverse); a null e leaves the chain as
// it is.
expr* push_expr(expr* chain, expr* e);
// A name node (OP279, no flags, the symbol in L): a name that is not
// declared, as an indexing's dummy name or a list element.
expr* name_node(symbol* s);

// Expression forms of the grammar that combine the builders of the
// expression modules (each is one grammar action's builder).  They report
// through those builders and return well-formed substitutes after errors.
// An undeclared name in an expression: errseen grows by one and
// not_declared reports it (the command is abandoned outside single-step).
expr* undeclared(symbol* s);
// An expression used as a condition: logical expressions as they are; an
// arithmetic one with variables is compared with 0 (relop !=), any other
// tested by OPTESTNZ over its numeric form.
expr* cond_expr(expr* e);
// A condition used as a value: 1 where it holds, else 0 (other
// expressions unchanged).
expr* cond_value(expr* e);
// cond_value on each argument of an argument list, in iterated groups too.
void arg_values(expr* args);
// not, and/or (OPAND, OPOR: flags the union of the operands', nonlinear
// with variables), xor (not over <==>), and the implications (OP_IFF,
// OPIMPLIES, OPIMPLIEDBY, OPIMPELSE72, OPIMPELSE79; c null without else).
expr* not_op(expr* e);
expr* logop(int opcode, expr* a, expr* b);
expr* xor_op(expr* a, expr* b);
expr* impl_op(int opcode, expr* a, expr* b, expr* c);
// Iterated logical (exists/forall, the op word) and arithmetic (sum,
// prod, min, max) operators; the indexing's scope ends with the body.
expr* itlogic(intptr_t op, set_spec* ix, expr* body);
expr* itreduc(intptr_t op, set_spec* ix, expr* body);
// A parenthesised list of two or more components (source order) as an
// expression: an OPSYMLIST node over the chain.  Only membership tests,
// setof, literal sets and index items take it.
expr* tuple_node(expr* chain);
// x in s / x not in s (x an expression or a tuple node).
expr* member_test(expr* x, set* s, int notin);
// within, not within, contains, not contains (opcodes 95 to 98).
expr* set_test(int opcode, set* a, set* b);
// Subscripts (source order, new names as OP279 nodes) as subscript()
// takes them: undefined names reported, each made symbol-valued.
expr* subs_of(expr* chain);
// Command forms of variables (then dv_check) and objectives (then
// dvo_check); subs null for a scalar.
expr* cvar_ref(xnode* v, expr* subs);
expr* cobj_ref(xnode* o, expr* subs);
// Built-in functions of one and two arguments (y null: one argument,
// which only round and trunc accept: "%s takes two arguments").
expr* bi_unop(symbol* f, expr* x);
expr* bi_binop(symbol* f, expr* x, expr* y);
// card of a set, and of an indexing (its scope ends).
expr* card_op(set* s);
expr* card_ix(set_spec* ss);
// ord/ord0 of a dummy, next-family of a dummy (step null: 1), and the
// next-family with two operands: a dummy and a step, else "Expected the
// first arg of %s to be a dummy variable\n\tor the second arg to be a
// set." and the number 0.
expr* ord_dummy(intptr_t op, dummy* d);
expr* nextprev_dummy(intptr_t kind, dummy* d, expr* step);
expr* nextprev_step(intptr_t kind, expr* x, expr* step);
// The same of a loop dummy, over the set its loop ranges over
// (new_set_db).
expr* ord_loopdummy(intptr_t op, dummy* d);
expr* nextprev_loopdummy(intptr_t kind, dummy* d);
// alias(name): node 206 (a string) over the declaration, whose
// reference is taken back from the dependency tally (unref).
expr* alias_op(xnode* x);
// The items of print, printf and read (newest first): in source order,
// and when an argument is random (anystoch), their random forms (randify).
expr* stoch_items(expr* items);
// alldiff over an indexing followed by an expression, or by a
// parenthesised list (a tuple node, whose items the entry takes).
expr* alldiff_ix(set_spec* ix, expr* body);
// An option setting whose name is qualified by an environment (with its
// subscript, or null): one item as optioncmd makes it.
Optioncmd* qual_setting(cstr* env, expr* subs, cstr* name, expr* value);
// The settings of a problem declaration, newest first: an environment
// (with its subscript, or null), and a suffix initialiser.
expr* prob_env(expr* settings, cstr* env, expr* subs);
expr* prob_suffix(expr* settings, symbol* sufname, expr* value);
// A run of strings (newest first) as one string expression.
expr* text_of_strings(list* strings);
// A group of table data columns: an indexing followed by a parenthesised
// list of items (flags 0) or by "<" items ">" (flags 8); items newest
// first.
pvinfo* tab_group(set_spec* ix, int flags, pvinfo* items);
// Pushes a column item in front of a chain of them.
pvinfo* push_pv(pvinfo* chain, pvinfo* p);
// The indexing of a `for` loop: its scope is closed, and each of its
// dummy names becomes a loop dummy for the loop's body (loopdumifye, with
// the components each item's dummies take).  Returns ss.
set_spec* loop_indexing(set_spec* ss);
// An argument-list entry (OPARG): a plain argument (ix null), or an
// indexing with its nested list (the indexing's scope ends here); and the
// same for set arguments.
expr* arg_entry(set_spec* ix, expr* e);
expr* set_arg_entry(set_spec* ix, set* s);
// The argument pair (v, z) of a piecewise-linear term, and the term
// <<first; second>> arg (arg a single argument or such a pair).
expr* pl_pair(expr* v, expr* z);
expr* pl_term(expr* first, expr* second, expr* arg);
// An indexed set named without subscript: "%s needs to be subscripted."
// and an empty set.
set* set_needs_sub(xnode* sd);
// The set a built-in set name stands for (one reference more).
set* builtin_set(symbol* s);
// setof ix body (body an expression or a tuple node).
set* setof_expr(set_spec* ix, expr* body);
// {} and {members} (newest first; tuple nodes give a set of tuples).
set* empty_literal();
set* literal_set(expr* members);
// An expression where a set follows in, within or contains: a tuple of
// two components is the open interval between them (set_interval, code
// 0); anything else is reported ("expected a set or an interval") and
// gives an empty set.
set* paren_interval(expr* e);
// One item of an indexing in front of prev: a name (null for a set alone)
// or a tuple (source order) ranging over s.
Index* ix_name(Index* prev, symbol* name, set* s);
Index* ix_tuple(Index* prev, expr* tuple, set* s);

// Declaration forms of the grammar.
// A constraint, objective or node named in a variable's column or arc
// phrase, with its subscripts (newest first, or null): a temporary
// OPLOOKUP node that colgen_phrase and arc_phrase take apart.
expr* term_ref(xnode* c, expr* subs);
// Subscripts as the declaration classes convert them themselves: undefined
// names reported, newest first.
expr* raw_subs(expr* chain);
// `coef`, `cover`, `obj` and "," phrases (coef null: 1), and `from`/`to`
// (which 1 from, 0 to); each returns v.
var* colgen_phrase(var* v, set_spec* ix, expr* ref, expr* coef);
var* arc_phrase(var* v, int which, set_spec* ix, expr* ref, expr* coef);
// The head of an objective (kind CF_MINIMIZE or CF_MAXIMIZE) or constraint
// (kind 0) while its phrases are read: name, alias, indexing, suffix
// initialisers and the initial dual.
struct dclhead {
  symbol* name;
  cstr* alias;
  set_spec* ix;
  expr* sufinit;
  expr* dual;
  int32_t kind;
  int32_t ditype;
};
dclhead* dcl_head(int kind, symbol* name, cstr* alias, set_spec* ix);
dclhead* head_suffix(dclhead* h, symbol* sufname, expr* value);
dclhead* head_dual(dclhead* h, expr* value, int is_default);
// Makes and finishes the objective (body null: to come, the number 0) or
// the constraint (body null after a reported error: dropped, its scope
// closed).
void objective_dcl(dclhead* h, expr* body);
void constraint_dcl(dclhead* h, expr* body, int has_body);
// The head kind of a `node` declaration (a constraint with flags 16400).
constexpr int DH_NODE = -1;
// to_come, net_in and net_out inside a body: a numeric marker node (a
// literal 0 whose R names the kind) that the body builders take out of
// the comparison again: body_chain for constraints and nodes, and
// objective_dcl.  Elsewhere the marker stands for 0.
enum : int { FLOW_TO_COME = 1, FLOW_NET_IN, FLOW_NET_OUT };
expr* flow_marker(int kind);
// A constraint or node body given as a comparison chain: without a marker
// stbody1; with one, stbody with the marker taken out (the side that held
// it reduced to the rest of its sum), tktype 16 for to_come, 32 for
// net_out (toggled by a minus sign before the marker and when it stands on
// the right).  Sets tktype.
expr* body_chain(list* chain);
// Flags of the last body: 16 to_come, 32 net_out.
extern int32_t tktype;
// An entity of a problem declaration (subs null: the whole entity), and
// an undeclared name there: "%s is not defined." and null.
expr* prob_item(xnode* x, expr* subs);
expr* prob_undeclared(symbol* s);
// A synonym array (_var, _con, ...) as a problem item: whole (subs null),
// the entities it lists when the membership is built, or one element of
// it, one subscript only ("%s needs 1 subscript, not %d" and null).
// Unlike the synonyms of commands, nothing is requested of the problem
// when the declaration is read.
expr* prob_synitem(symbol* sym, expr* subs);
// The table declaration being built (its record) and its key count; the
// head: a named table (rw 0) or _readtable (1) / _writetable (2), named
// "<unnamed>", with that direction.  Sets tablerw and errseen.
struct Table;
extern Table* cur_table;
extern int32_t isd;
void table_head(symbol* name, set_spec* ix, int rw);
// A data column: the item with its column name (op '~' or a comparison,
// or 0 without) and direction (0: none).
pvinfo* table_item(expr* item, int op, expr* colname, int dir);
// One side of a complementarity that is a lone expression: a one-cell
// list.
list* side_list(expr* e);
// Argument domains of a function declaration: one domain (set null: any,
// dir 8; or a direction word alone), pushed in front of a list.
funcarg* new_farg(set* s, int dir);
funcarg* push_farg(funcarg* list, funcarg* a);

// The grammar's token source: the code of yylex, with yylval copied into
// *value.
int parser_next_token(yystype* value);
// 1 when the last token parser_next_token gave was ";" (the statement
// being read has been read to its end).
extern int parser_took_semicolon;

// The lexer state stored by an action, with a check that the parser holds
// no lookahead token (otherwise the next token was already read in the old
// state): a held lookahead is a bug of the grammar (ends the session).
// lookahead_held is what the action knows; used by the grammar only.
void set_lexstate(int32_t state, bool lookahead_held);
// rlook8 (reserved words as tokens in plain-name state), with the same
// check.
void set_rlook8(int32_t v, bool lookahead_held);

}  // namespace vexo

#endif  // VEXO_FRONTEND_PARSE_H
