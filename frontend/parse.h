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
  YYP_BREAK = 10     // break or continue that leaves a single-stepped loop
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
// the command reset (cmd_reset) and parses on.  Returns yyparse's result
// mapped through parse_result_map (codes above 5 are returned as they
// are).  session_exit passes through.
int parse();

// State kept by the grammar actions (all reset by parse_state_reset):
// errseen: errors seen in the declaration being built; tablerw: 0 declared
// table, 1 _readtable, 2 _writetable; delpurge: 0 delete, 1 purge;
// rumode: 0 reset data, 1 update data.
extern int32_t errseen;
extern int32_t tablerw;
extern int32_t delpurge;
extern int32_t rumode;
void parse_state_reset();

// Statement builders of the grammar.  Each reports its own errors.
// end_of_input: the result at the end of the input, after statements
// (any 1) or none.
int end_of_input(int any);
// Before each command: commands have begun (in_cmds 2), and the warning
// counts restart unless a compound command is read from a file.
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
// The value of `exit`: the expression, or the number 0 when none.
expr* exit_value(expr* e);
// The statement-level error rule: abandons the statement (havestmt,
// contexts, dependencies, cmd_reset) and gives a declared name back its
// old binding.
void stmt_error();
// Pushes e in front of a chain of expressions (lists grow at their head
// and are put in source order by reverse).
expr* push_expr(expr* chain, expr* e);
// A name node (OP279, no flags, the symbol in L): a name that is not
// declared, as an indexing's dummy name or a list element.
expr* name_node(symbol* s);

// The grammar's token source: the code of token_source (yylex unless a
// test feeds tokens itself), with yylval copied into *value.
int parser_next_token(yystype* value);
extern int (*token_source)();

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
