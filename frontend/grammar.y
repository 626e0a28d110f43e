// The grammar of the language's statements: declarations, commands and
// compound commands, with the expression, indexing and set-expression
// rules they use.  Each action is at most one builder call (besides the
// lexer steering and the parse codes below; a declaration phrase is one
// call on the record being built); builders report their own errors.
// Conditions pass through the `cond` rule, which makes an arithmetic
// expression a test against 0.  yyparse (frontend/parse.cpp) runs it.
//
// Lexer steering.  Some actions change the lexer state (cmd_start) so that
// the next word is read as a statement word, a file name, an option name
// and so on.  That only works when the action runs before the parser has
// read its next token: every such action uses LEXSTATE, which checks that
// no lookahead token is held and ends the session with "Bug: ..." if one
// is.  The rules are arranged so that each of these actions is reduced in
// a state whose only action is that reduction: right after the ";" that
// ends a statement, after "then", after the "}" of a loop indexing, or in
// a mid-rule action right after the token that precedes the steered word
// (">", ",", "data", "table" ...).  Bison reduces such states by their
// default reduction without reading a lookahead (lr.default-reduction
// "most", set explicitly below: "accepting" or "consistent" would also
// keep those states lookahead-free, but "most" is what the tables and the
// conflict count below were checked with).  A new rule that adds a shift
// to such a state trips the check as soon as such a statement is parsed.

%require "3.8"
%language "c++"
%define api.namespace {vexo}
%define api.parser.class {yyparser}
%define api.value.type {vexo::yystype}
%define api.token.prefix {YT_}
%define lr.type lalr
%define lr.default-reduction most
%define parse.error simple
%parse-param {int& yycode}

// Shift/reduce conflicts, each resolved by shifting as intended:
// - 8: a new name, a dummy name, a loop's dummy name or a tuple followed
//   by `in` at the start of an indexing item is the item's dummies, not an
//   expression (`{i in S}`), for the first item and after ",";
// - 5: a new name before "," in a tuple's first place, before "," or ")"
//   later in a tuple, and before "," or "]" in a subscript stays a name
//   (a dummy to be, or an undefined name that name_purge reports) instead
//   of becoming an expression;
// - 4: a comparison chain before the ";" of a constraint body (after ":"
//   and after `complements`) or before `complements` is taken as a chain
//   (stbody1, compldcl), not as an expression.
// Some further shift/reduce choices are made by precedence, not counted
// here: ',' and ')' rank lowest, so that after an indexing followed by
// "(" (alldiff, numberof's list, a group of table columns) an expression
// before ',' or ')' ends an item of the list rather than beginning a
// tuple or a parenthesised expression.
%expect 17

%code requires {
#include "frontend/parse.h"
}

%code {
#include "data/table.h"
#include "data/readcmd.h"
#include "data/tablerw.h"
#include "eval/builtin.h"
#include "eval/funclib.h"
#include "eval/indexing.h"
#include "eval/optab.h"
#include "eval/setclass.h"
#include "frontend/cmdbuild.h"
#include "frontend/conbody.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/funcbuild.h"
#include "frontend/keywords.h"
#include "frontend/lexer.h"
#include "frontend/paramdcl.h"
#include "frontend/rawtok.h"
#include "frontend/refs.h"
#include "frontend/strexpr.h"
#include "frontend/suffix.h"
#include "frontend/vardcl.h"
#include "instance/problem.h"
#include "instance/sufdecl.h"
#include "session/batch.h"
#include "session/cmdrec.h"
#include "session/environs.h"
#include "session/execute.h"
#include "session/loop.h"
#include "session/optcmd.h"
#include "support/list.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/text.h"

// The parser's token source (frontend/parse.cpp): the lexer's code, with
// its value copied into the stack value.
#define yylex(value) ::vexo::parser_next_token(value)

// Stores a lexer state; the parser must hold no lookahead token.
#define LEXSTATE(s) ::vexo::set_lexstate((s), !yyla.empty())
// Ends the parse with a code (yyparse returns it).
// Sets or clears rlook8 (reserved words as tokens in plain-name state),
// with the same check.
#define LEXFLAG_RLOOK8(v) ::vexo::set_rlook8((v), !yyla.empty())
#define RETURN_CODE(c) \
  do {                 \
    yycode = (c);      \
    YYACCEPT;          \
  } while (0)
}


// Tokens, with the lexer's codes (frontend/tokens.h).
%token SET 57346
%token PARAM 57347
%token CHECK 57348
%token VAR 57349
%token SUBJECT_TO 57350
%token MAXIMIZE 57351
%token MINIMIZE 57352
%token FUNCTION 57353
%token SLEEP 57354
%token <i> AND 57355
%token <i> OR 57356
%token XOR 57357
%token ARC 57358
%token <sym> NOBIND 57359
%token <sym> BUILTINSET 57360
%token ERRFILL 57361
%token <sym> FUNC1 57362
%token <sym> FUNC2 57363
%token <sym> KIND34 57364
%token CARD 57365
%token CIRCULAR 57366
%token COEF 57367
%token COVER 57368
%token DIFF 57369
%token MEMBER 57370
%token FIRSTW 57371
%token FORCEGEN 57372
%token FORMAT 57373
%token FROM 57374
%token INTER 57375
%token INTERVAL 57376
%token LAST 57377
%token <sym> NEWNAME 57378
%token NET_IN 57379
%token NET_OUT 57380
%token NEXT 57381
%token NEXTW 57382
%token NODE 57383
%token OBJ 57384
%token ORD 57385
%token ORD0 57386
%token ORDERED 57387
%token PIPE 57388
%token PREV 57389
%token PREVW 57390
%token PROD 57391
%token <sym> KIND39 57392
%token RANDOM 57393
%token REVERSED 57394
%token SYMDIFF 57395
%token TO 57396
%token TO_COME 57397
%token IN 57399
%token BY 57400
%token DOTDOT 57401
%token WITHIN 57402
%token <x> DVAR 57403
%token <x> DVARI 57404
%token <x> VAR_PENDING 57405
%token <x> CVAR 57406
%token <x> CVARI 57407
%token <x> DSVAR 57408
%token <x> DSVARI 57409
%token <x> CSVAR 57410
%token <x> CSVARI 57411
%token <x> KIND29 57412
%token <x> PARAMNAME 57413
%token <x> PARAMINAME 57414
%token <x> SPARAMNAME 57415
%token <x> SPARAMINAME 57416
%token <x> SETNAME 57417
%token <x> SETINAME 57418
%token <x> DCON 57419
%token <x> DCONI 57420
%token <x> DOBJ 57421
%token <x> DOBJI 57422
%token <x> CCON 57423
%token <x> CCONI 57424
%token <x> COBJ 57425
%token <x> COBJI 57426
%token <dm> DUMMYNAME 57427
%token <str> STRING 57428
%token <d> NUMBER 57429
%token <i> MINMAX 57430
%token <i> ITLOGIC 57431
%token <i> COMPARE 57432
%token <i> TYPEWORD 57433
%token <i> INOUT 57434
%token DIMEN 57435
%token DEFAULT 57436
%token DATA 57437
%token LTLT 57438
%token GTGT 57439
%token SUM 57440
%token CROSS 57441
%token UNION 57442
%token <x> FUNCNAME 57443
%token <x> KIND27 57444
%token ENVIRON 57445
%token OPTION 57446
%token SETOF 57447
%token ASSIGN 57448
%token ADD 57449
%token CLOSE 57450
%token COMMANDS 57451
%token DELETE 57452
%token DIFF_CMD 57453
%token DISPLAY 57454
%token DROP 57455
%token FIX 57456
%token LET 57457
%token MODEL 57458
%token PRINT 57459
%token PRINTF 57460
%token QUIT 57461
%token READ 57462
%token SHELL 57463
%token SHOW 57464
%token SNAPSHOT 57465
%token SOLVE 57466
%token UNFIX 57467
%token VERSION 57468
%token WHAT 57469
%token WRITE 57470
%token SOLUTION 57471
%token <str> WORD 57472
%token <str> OPTNAME 57473
%token <str> FILENAME 57474
%token RESET 57475
%token ALIAS 57476
%token DIV 57477
%token IMPLIES 57478
%token REVIMPLIES 57479
%token IFF 57480
%token IF 57481
%token THEN 57482
%token ELSE 57483
%token LESS 57485
%token MOD 57487
%token NOT 57489
%token OBJECTIVE 57490
%token UPDATE 57491
%token HELP 57492
%token <sym> PLAINNAME 57493
%token <dm> KIND31 57494
%token <x> KIND30 57495
%token REDECLARE 57496
%token FOR 57497
%token REPEAT 57498
%token PURGE 57499
%token STMT_LBRACE 57500
%token STMT_RBRACE 57501
%token BREAK 57502
%token CONTINUE 57503
%token UNTIL 57504
%token WHILE 57505
%token STMT_UNTIL 57506
%token STMT_WHILE 57507
%token CONT 57508
%token STEP_NEXT 57509
%token SKIP 57510
%token STEP 57511
%token ALL 57512
%token CD 57513
%token PROBLEM 57514
%token EXPAND 57515
%token XREF 57516
%token SOLEXPAND 57517
%token UDISPLAY 57518
%token CSVDISPLAY 57519
%token SUFFIX 57520
%token <x> PROBNAME 57521
%token <x> PROBINAME 57522
%token <sym> COUNTPARAM 57523
%token <sym> SYNONYM 57524
%token <sym> SYNNAME 57525
%token <sym> SYSSET 57526
%token <sym> STMT_NEWNAME 57527
%token CALL 57528
%token COMPLEMENTS 57529
%token EXIT 57530
%token LOCAL 57531
%token USOLEXPAND 57532
%token <x> DVARSET 57533
%token <x> DVARSETI 57534
%token <x> CVARSET 57535
%token <x> CVARSETI 57536
%token TABLE 57537
%token LOAD 57538
%token RELOAD 57539
%token REMOVE 57540
%token UNLOAD 57541
%token ALLDIFF 57542
%token ALLDISJOINT 57543
%token ALLDISTINCT 57544
%token ATLEAST 57545
%token ATMOST 57546
%token EXACTLY 57547
%token COUNT 57548
%token CONTAINS 57549
%token NUMBEROF 57550
%token UREADTABLE 57551
%token UWRITETABLE 57552
%token SAMPLE 57553
%token <sym> KIND42 57554

%type <i> display_kw expand_kw load_kw fix_kw drop_kw snap_words show_kw
%type <i> ends_lo ends_hi
%type <e> items item expr primary file file_opt files files_opt opt_expr
%type <e> show_names purge_names show_name purge_name name_item print_items fix_target drop_target
%type <e> shell_text let_target let_entity call_fn call_args
%type <e> ditems ditem ditem_list item_list subs sub_tail tuple tuple_tail
%type <e> args arg arg_list args_opt set_args set_arg
%type <e> lit_items suffix_ref plist pl_arg data_file
%type <e> assign_opt dollar_operand prob_settings pipe_text
%type <pv> tcol_list
%type <e> set_ix_args
%type <rd> redir_opt redir_in_opt
%type <ss> indexing ix_opt
%type <ix> index_list
%type <s> sexpr sexpr_nb in_sexpr
%type <sym> loopname_opt plainname_opt kw_dummy
%type <e> cond ref conref ix_args con_ref rawsubs con_body
%type <e> prob_items prob_list prob_item key_name col_item
%type <pv> table_col
%type <i> arrow
%type <i> ftypes
%type <str> alias_opt
%type <sd> set_dcl
%type <pd> param_dcl
%type <vd> var_dcl
%type <sf> suffix_dcl
%type <dh> obj_head con_head node_head
%type <i> nextprev
%type <e> ritems ritem ritem_list
%type <l> plain_names plain_names_opt rchain strings
%type <oc> settings setting
%type <e> optname optvalue word words env_source_sub

// Operator precedence, loosest first.  The `if` forms reach as far to the
// right as they can; an `else` binds to the nearest `if` (and to `==>`).
// The iterated logical operators take a body that reaches over `and` but
// not over `or`; the iterated arithmetic ones a body that reaches over
// "*" and "^" but not over "+".  ">" sits below "<" and the other
// comparisons so that a ">" (and ">>") after a command's last item is the
// redirection: the items' rules carry ITEMPREC, between the two.  Unary
// minus binds looser than "^", so -2^2 is -(2^2).  The set operators form
// their own ladder above the membership tests (so that x in A union B
// tests the union).
%precedence ',' ')'
%precedence IFPREC TYPEWORD
%left IFF
%left IMPLIES REVIMPLIES
%precedence ELSE
%left OR XOR
%precedence ITLOGPREC
%left AND
%right NOT
%precedence CMPCHAIN
%left '>'
%precedence ITEMPREC
%left '<' COMPARE IN WITHIN CONTAINS
%precedence READPREC
%precedence RANGE
%precedence DOTDOT BY
%left '&'
%left '+' '-' LESS
%precedence SUMPREC
%left '*' '/' DIV MOD
%precedence UMINUS
%right '^'
%left UNION DIFF SYMDIFF
%precedence ITSETPREC
%left INTER
%left CROSS
%precedence IXSET

%%

start:
    %empty      { RETURN_CODE(end_of_input(0)); }
  | stmts       { RETURN_CODE(end_of_input(1)); }
  ;

stmts:
    stmt
  | stmts stmt
  ;

// After every statement the lexer is at a statement start again.
stmt:
    statement   { statement_end(); LEXSTATE(in_cmds); }
  ;

statement:
    declaration
  | cmd_begin command
  | cmd_begin compound
  | ';'                 { cmd0(CK_EMPTY); }
  | MODEL file_opt ';'  { if ($2) einclude($2, 1); }
  | DATA data_file ';'  { if (int c = data_stmt($2)) RETURN_CODE(c); }
  | CONT ';'            { RETURN_CODE(YYP_CONT); }
  | STEP_NEXT ';'       { RETURN_CODE(YYP_NEXT); }
  | SKIP ';'            { RETURN_CODE(YYP_SKIP); }
  | STEP ';'            { RETURN_CODE(YYP_STEP); }
  | error ';'           { stmt_error(); yyerrok; LEXFLAG_RLOOK8(0); }
  ;

// The file of `data`: a file name, or "<" and a file (inline input: the
// output of a command).
data_file:
    file_opt            { $$ = $1; }
  | '<' lex_file file   { $$ = ltinsert($3); }
  ;

// Declarations.  The head makes the record (its indexing's scope stays
// open until finish_dcl closes it), each phrase adds to it, the closing
// ";" finishes it.  An error in the statement finishes sets, params and
// variables as erroneous.
declaration:
    set_dcl ';'             { $1->finish_dcl(errseen); }
  | set_dcl error ';'       { $1->finish_dcl(1); yyerrok; }
  | param_dcl ';'           { $1->finish_dcl(errseen); }
  | param_dcl error ';'     { $1->finish_dcl(1); yyerrok; }
  | var_dcl ';'             { $1->finish_dcl(errseen); }
  | var_dcl error ';'       { $1->finish_dcl(1); yyerrok; }
  | obj_dcl
  | con_dcl
  | suffix_dcl ';'          { $1->finish_dcl(); }
  | table_dcl ';'
      { whole_sfx_item(nullptr, 0); cur_table->finish_dcl(tablerw); }
  | table_dcl error ';'     { cur_table->finish_dcl(0); yyerrok; }
  | CHECK ix_opt ':' cond ';'
      { (new check($2, $4))->finish_dcl(); }
  | CHECK cond ';'          { (new check(nullptr, $2))->finish_dcl(); }
  // The check command (a check statement has a condition): a command,
  // though it stands here beside the statement it shares its word with.
  | CHECK ';'               { command_begin(); cmd0(CK_CHECK); }
  | REDECLARE CHECK NUMBER { redecl_check($3); } ':' cond ';'
      { (new check(nullptr, $6))->finish_dcl(); }
  | FUNCTION NEWNAME alias_opt fargs_opt ftypes ';'
      { funcdcl($2, $3, $<fa>4, static_cast<int>($5), nullptr, nullptr); }
  | FUNCTION NEWNAME alias_opt fargs_opt ftypes PIPE pipe_text ';'
      { funcdcl($2, $3, $<fa>4, static_cast<int>($5), $7, nullptr); }
  | FUNCTION NEWNAME alias_opt fargs_opt ftypes PIPE pipe_text
      FORMAT pipe_text ';'
      { funcdcl($2, $3, $<fa>4, static_cast<int>($5), $7, $9); }
  ;

// The text of a pipe or its format: a run of strings, or a parenthesised
// expression.
pipe_text:
    strings             { $$ = text_of_strings($1); }
  | '(' expr ')'        { $$ = make_string($2); }
  ;

strings:
    STRING              { $$ = new_list(nullptr, $1); }
  | strings STRING      { $$ = new_list($1, $2); }
  ;

// Argument domains of a function: without parentheses any arguments
// ("..." alone), the empty list with "()"; a list may end with "...".
fargs_opt:
    %empty              { $<fa>$ = new_farg(dotdotdot, 0); }
  | '(' ')'             { $<fa>$ = nullptr; }
  | '(' fargs ')'       { $<fa>$ = reverse($<fa>2); }
  | '(' fargs ',' dots ')'
      { $<fa>$ = reverse(push_farg($<fa>2, $<fa>4)); }
  | '(' dots ')'        { $<fa>$ = $<fa>2; }
  ;

fargs:
    farg                { $<fa>$ = $<fa>1; }
  | fargs ',' farg      { $<fa>$ = push_farg($<fa>1, $<fa>3); }
  ;

// "...": the range token and ".", with a direction word on either side.
dots:
    DOTDOT '.'          { $<fa>$ = new_farg(dotdotdot, 0); }
  | INOUT DOTDOT '.'
      { $<fa>$ = new_farg(dotdotdot, static_cast<int>($1)); }
  | DOTDOT '.' INOUT
      { $<fa>$ = new_farg(dotdotdot, static_cast<int>($3)); }
  ;

farg:
    sexpr               { $<fa>$ = new_farg($1, 0); }
  | INOUT sexpr         { $<fa>$ = new_farg($2, static_cast<int>($1)); }
  | sexpr INOUT         { $<fa>$ = new_farg($1, static_cast<int>($2)); }
  | '*'                 { $<fa>$ = new_farg(nullptr, 8); }
  | INOUT               { $<fa>$ = new_farg(nullptr, static_cast<int>($1)); }
  ;

ftypes:
    %empty              { $$ = 0; }
  | ftypes TYPEWORD     { $$ = $1 | $2; }
  | ftypes RANDOM       { $$ = $1 | 65536; }
  ;

// Tables: the head with its strings and direction words, then optionally
// ":" an optional key set with its arrow, the key columns in brackets
// (names read as words), and the data columns.  The record being built is
// cur_table.
table_dcl:
    table_head
  | table_head ':' table_keys
  | table_head ':' table_keys ',' table_cols
  ;

table_head:
    TABLE PLAINNAME lex_ref ix_opt  { table_head($2, $4, 0); }
  | REDECLARE TABLE lex_plain PLAINNAME tabredecl ix_opt
      { table_head($4, $6, 0); }
  | UREADTABLE                      { table_head(nullptr, nullptr, 1); }
  | UWRITETABLE                     { table_head(nullptr, nullptr, 2); }
  | table_head STRING               { cur_table->addString(new_str($2)); }
  | table_head NEWNAME
      { cur_table->addString(new_str(new_cstring($2->name))); }
  | table_head '(' expr ')'
      { cur_table->addString(make_string($3)); }
  | table_head INOUT
      { cur_table->addtdir(static_cast<int>($2)); }
  ;

table_keys:
    key_set '[' lex_word key_cols ']' { isd = cur_table->endkeys(); }
      key_tail
      { cur_table->endcols(isd); whole_sfx_allow(true); }
  ;

key_set:
    %empty
  | sexpr arrow                     { cur_table->addindset($1, $2); }
  | sexpr COMPARE                   { cur_table->addindset($1, $2); }
  ;

arrow:
    '<' '-'         { $$ = arrowlist("<-"); }
  | '-' '>'         { $$ = arrowlist("->"); }
  | '<' '-' '>'     { $$ = arrowlist("<->"); }
  ;

key_cols:
    key_col
  | key_cols ',' lex_word key_col
  ;

key_col:
    key_name                            { cur_table->addcol($1, 0, nullptr); }
  | key_name '~' lex_word WORD
      { cur_table->addcol($1, '~', new_str($4)); }
  | key_name COMPARE lex_word WORD
      { cur_table->addcol($1, static_cast<int>($2), new_str($4)); }
  ;

key_name:
    WORD            { $$ = new_str($1); }
  | STRING          { $$ = new_str($1); }
  | '(' expr ')'    { $$ = make_string($2); }
  ;

key_tail:
    %empty
  | key_tail IN sexpr               { cur_table->addinset($3); }
  | key_tail INOUT
      { isd = add_inddir(isd, static_cast<int>($2)); }
  ;

table_cols:
    table_col                       { cur_table->additpv($1); }
  | table_cols ',' table_col        { cur_table->additpv($3); }
  ;

// A data column: an expression or a whole entity, with an optional column
// name and direction; or an indexing followed by an expression.
table_col:
    col_item %prec ITEMPREC         { $$ = table_item($1, 0, nullptr, 0); }
  | col_item INOUT
      { $$ = table_item($1, 0, nullptr, static_cast<int>($2)); }
  | col_item '~' lex_word key_name  { $$ = table_item($1, '~', $4, 0); }
  | col_item '~' lex_word key_name INOUT
      { $$ = table_item($1, '~', $4, static_cast<int>($5)); }
  | indexing expr %prec ITEMPREC
      { whole_sfx_item(&$2, 0); $$ = itpv($1, $2); }
  | indexing '(' tcol_list ')'      { $$ = tab_group($1, 0, $3); }
  | indexing '<' tcol_list '>'      { $$ = tab_group($1, 8, $3); }
  ;

// The items of a column group, newest first.
tcol_list:
    table_col                       { $$ = $1; }
  | tcol_list ',' table_col         { $$ = push_pv($1, $3); }
  ;

col_item:
    expr %prec ITEMPREC { whole_sfx_item(&$1, 2); $$ = $1; }
  | PARAMINAME      { $$ = entity_item($1); }
  | SPARAMINAME     { $$ = entity_item($1); }
  | CVARI           { $$ = entity_item($1); }
  | CSVARI          { $$ = entity_item($1); }
  | CCONI           { $$ = entity_item($1); }
  | COBJI           { $$ = entity_item($1); }
  ;

alias_opt:
    %empty      { $$ = nullptr; }
  | STRING      { $$ = $1; }
  ;

set_dcl:
    SET NEWNAME alias_opt ix_opt
      { errseen = 0; $$ = new_setdcl($2, $3, $4); }
  | REDECLARE SET lex_plain PLAINNAME redecl alias_opt ix_opt
      { errseen = 0; $$ = new_setdcl($4, $6, $7); }
  | set_dcl ','                         { $$ = $1; }
  | set_dcl ORDERED                     { $$ = $1; $$->add_order(SF_ORDERED); }
  | set_dcl CIRCULAR                    { $$ = $1; $$->add_order(SF_CIRCULAR); }
  | set_dcl ORDERED BY sexpr %prec READPREC
      { $$ = $1; $$->add_orderby(SF_ORDERED, $4); }
  | set_dcl ORDERED BY REVERSED sexpr %prec READPREC
      { $$ = $1; $$->add_orderby(SF_ORDERED | SF_REVERSED, $5); }
  | set_dcl CIRCULAR BY sexpr %prec READPREC
      { $$ = $1; $$->add_orderby(SF_CIRCULAR, $4); }
  | set_dcl CIRCULAR BY REVERSED sexpr %prec READPREC
      { $$ = $1; $$->add_orderby(SF_CIRCULAR | SF_REVERSED, $5); }
  | set_dcl DIMEN NUMBER                { $$ = $1; $$->add_dimen($3); }
  | set_dcl IN in_sexpr %prec READPREC
      { $$ = $1; $$->add_within($3); }
  | set_dcl WITHIN in_sexpr %prec READPREC
      { $$ = $1; $$->add_within($3); }
  | set_dcl ASSIGN sexpr %prec READPREC
      { $$ = $1; $$->add_init(opword(EQ), $3); }
  | set_dcl COMPARE sexpr %prec READPREC
      { $$ = $1; $$->add_init($2, $3); }
  | set_dcl '<' sexpr %prec READPREC
      { $$ = $1; $$->add_init(opword(LT, 2), $3); }
  | set_dcl '>' sexpr %prec READPREC
      { $$ = $1; $$->add_init(opword(GT, 2), $3); }
  | set_dcl DEFAULT sexpr %prec READPREC
      { $$ = $1; $$->add_default($3); }
  | set_dcl FORCEGEN                    { $$ = $1; $$->sflags |= SF_FORCEGEN; }
  ;

// Phrases that end in an expression carry READPREC: a comparison or `in`
// after the expression begins the next phrase.
param_dcl:
    PARAM NEWNAME alias_opt ix_opt
      { errseen = 0; $$ = new_param($2, $3, $4); }
  | REDECLARE PARAM lex_plain PLAINNAME redecl alias_opt ix_opt
      { errseen = 0; $$ = new_param($4, $6, $7); }
  | param_dcl ','                   { $$ = $1; }
  | param_dcl TYPEWORD              { $$ = $1; $$->addtype($2); }
  | param_dcl COMPARE expr %prec READPREC
      { $$ = $1; $$->addcheck($2, $3); }
  | param_dcl '<' expr %prec READPREC
      { $$ = $1; $$->addcheck(opword(LT, 2), $3); }
  | param_dcl '>' expr %prec READPREC
      { $$ = $1; $$->addcheck(opword(GT, 2), $3); }
  | param_dcl CHECK COMPARE expr %prec READPREC
      { $$ = $1; $$->addcheck($3, $4); }
  | param_dcl CHECK '<' expr %prec READPREC
      { $$ = $1; $$->addcheck(opword(LT, 2), $4); }
  | param_dcl CHECK '>' expr %prec READPREC
      { $$ = $1; $$->addcheck(opword(GT, 2), $4); }
  | param_dcl ASSIGN expr %prec READPREC
      { $$ = $1; $$->addasgn($3); }
  | param_dcl DEFAULT expr %prec READPREC
      { $$ = $1; $$->adddflt($3); }
  | param_dcl IN in_sexpr           { $$ = $1; $$->add_in($3); }
  | param_dcl WITHIN in_sexpr       { $$ = $1; $$->add_in($3); }
  | param_dcl RANDOM                { $$ = $1; make_randompar($$); }
  ;

var_dcl:
    VAR NEWNAME alias_opt ix_opt
      { errseen = 0; $$ = new var($2, $3, $4, 0); }
  | ARC NEWNAME alias_opt ix_opt
      { errseen = 0; $$ = new var($2, $3, $4, VF_ARC); }
  | REDECLARE VAR lex_plain PLAINNAME redecl alias_opt ix_opt
      { errseen = 0; $$ = new var($4, $6, $7, 0); }
  | REDECLARE ARC lex_plain PLAINNAME redecl alias_opt ix_opt
      { errseen = 0; $$ = new var($4, $6, $7, VF_ARC); }
  | var_dcl ','                     { $$ = $1; }
  | var_dcl ':'                     { $$ = $1; }
  | var_dcl TYPEWORD                { $$ = $1; $$->addtype($2); }
  | var_dcl RANDOM                  { $$ = $1; make_random($$); }
  | var_dcl COMPARE expr %prec READPREC
      { $$ = $1; $$->addbound($2, $3); }
  | var_dcl '<' expr %prec READPREC
      { $$ = $1; $$->addbound(opword(LT, 2), $3); }
  | var_dcl '>' expr %prec READPREC
      { $$ = $1; $$->addbound(opword(GT, 2), $3); }
  | var_dcl ASSIGN expr %prec READPREC
      { $$ = $1; $$->addiguess($3, 0); }
  | var_dcl DEFAULT expr %prec READPREC
      { $$ = $1; $$->addiguess($3, 1); }
  | var_dcl IN in_sexpr             { $$ = $1; $$->addiset($3); }
  | var_dcl COVER ix_opt con_ref    { $$ = colgen_phrase($1, $3, $4, nullptr); }
  | var_dcl COEF ix_opt con_ref expr %prec READPREC
      { $$ = colgen_phrase($1, $3, $4, $5); }
  | var_dcl OBJ ix_opt con_ref expr %prec READPREC
      { $$ = colgen_phrase($1, $3, $4, $5); }
  | var_dcl ',' ix_opt con_ref expr %prec READPREC
      { $$ = colgen_phrase($1, $3, $4, $5); }
  | var_dcl FROM ix_opt con_ref %prec READPREC
      { $$ = arc_phrase($1, 1, $3, $4, nullptr); }
  | var_dcl FROM ix_opt con_ref expr %prec READPREC
      { $$ = arc_phrase($1, 1, $3, $4, $5); }
  | var_dcl TO ix_opt con_ref %prec READPREC
      { $$ = arc_phrase($1, 0, $3, $4, nullptr); }
  | var_dcl TO ix_opt con_ref expr %prec READPREC
      { $$ = arc_phrase($1, 0, $3, $4, $5); }
  | var_dcl SUFFIX lex_plain PLAINNAME lex_ref expr %prec READPREC
      { $$ = $1; $$->addsufinit($4, $6); }
  ;

// The constraint, objective or node of a column or arc phrase, with its
// subscripts (newest first, as the variable declarations convert them).
con_ref:
    DCON            { $$ = term_ref($1, nullptr); }
  | DCONI rawsubs   { $$ = term_ref($1, $2); }
  | DOBJ            { $$ = term_ref($1, nullptr); }
  | DOBJI rawsubs   { $$ = term_ref($1, $2); }
  ;

rawsubs:
    '[' lex_ref sub_tail  { $$ = raw_subs($3); }
  ;

// Objectives: the head collects name, alias, indexing and suffix phrases;
// the body follows ":" (none: a to-come objective).
obj_dcl:
    obj_head ';'                { objective_dcl($1, nullptr); }
  | obj_head ':' expr ';'       { objective_dcl($1, $3); }
  ;

obj_head:
    MAXIMIZE NEWNAME alias_opt ix_opt
      { errseen = 0; $$ = dcl_head(CF_MAXIMIZE, $2, $3, $4); }
  | MINIMIZE NEWNAME alias_opt ix_opt
      { errseen = 0; $$ = dcl_head(CF_MINIMIZE, $2, $3, $4); }
  | REDECLARE MAXIMIZE lex_plain PLAINNAME redecl alias_opt ix_opt
      { errseen = 0; $$ = dcl_head(CF_MAXIMIZE, $4, $6, $7); }
  | REDECLARE MINIMIZE lex_plain PLAINNAME redecl alias_opt ix_opt
      { errseen = 0; $$ = dcl_head(CF_MINIMIZE, $4, $6, $7); }
  | obj_head ','                { $$ = $1; }
  | obj_head SUFFIX lex_plain PLAINNAME lex_ref expr %prec READPREC
      { $$ = head_suffix($1, $4, $6); }
  ;

// Constraints: "subject to" NAME or a new name at a statement start, the
// phrases, then ":" and the body with its ";".  Only a node may end at its
// phrases (no flow body); elsewhere a ";" for the ":" is a syntax error.
con_dcl:
    con_head con_colon con_body     { constraint_dcl($1, $3, 1); }
  | node_head con_colon con_body    { constraint_dcl($1, $3, 1); }
  | node_head ';'                   { constraint_dcl($1, nullptr, 0); }
  ;

con_colon:
    ':'     { nvarsub = 1; }
  ;

con_head:
    SUBJECT_TO NEWNAME alias_opt ix_opt
      { errseen = 0; $$ = dcl_head(0, $2, $3, $4); }
  | STMT_NEWNAME alias_opt ix_opt
      { errseen = 0; $$ = dcl_head(0, $1, $2, $3); }
  | REDECLARE SUBJECT_TO lex_plain PLAINNAME redecl alias_opt ix_opt
      { errseen = 0; $$ = dcl_head(0, $4, $6, $7); }
  | con_head ','                { $$ = $1; }
  | con_head ASSIGN expr %prec READPREC
      { $$ = head_dual($1, $3, 0); }
  | con_head DEFAULT expr %prec READPREC
      { $$ = head_dual($1, $3, 1); }
  | con_head SUFFIX lex_plain PLAINNAME lex_ref expr %prec READPREC
      { $$ = head_suffix($1, $4, $6); }
  ;

// The same phrases after a node's head.
node_head:
    NODE NEWNAME alias_opt ix_opt
      { errseen = 0; $$ = dcl_head(DH_NODE, $2, $3, $4); }
  | REDECLARE NODE lex_plain PLAINNAME redecl alias_opt ix_opt
      { errseen = 0; $$ = dcl_head(DH_NODE, $4, $6, $7); }
  | node_head ','               { $$ = $1; }
  | node_head ASSIGN expr %prec READPREC
      { $$ = head_dual($1, $3, 0); }
  | node_head DEFAULT expr %prec READPREC
      { $$ = head_dual($1, $3, 1); }
  | node_head SUFFIX lex_plain PLAINNAME lex_ref expr %prec READPREC
      { $$ = head_suffix($1, $4, $6); }
  ;

// A body: a comparison chain (one or two comparisons), a logical or bare
// expression, or two sides joined by `complements`.  The ";" belongs to
// the body so that a chain is taken as a chain before it becomes an
// expression.
con_body:
    rchain ';'                          { $$ = body_chain($1); }
  | expr ';'                            { $$ = stbody2($1); }
  | rchain COMPLEMENTS rchain ';'       { $$ = compldcl($1, $3); }
  | rchain COMPLEMENTS expr ';'         { $$ = compldcl($1, side_list($3)); }
  | expr COMPLEMENTS rchain ';'         { $$ = compldcl(side_list($1), $3); }
  | expr COMPLEMENTS expr ';'
      { $$ = compldcl(side_list($1), side_list($3)); }
  ;

suffix_dcl:
    SUFFIX PLAINNAME lex_ref alias_opt  { $$ = new_suffix($2, $4); }
  | REDECLARE SUFFIX lex_plain PLAINNAME sufredecl alias_opt
      { $$ = new_suffix($4, $6); }
  | suffix_dcl ','                  { $$ = $1; }
  | suffix_dcl TYPEWORD             { $$ = $1; $$->addtype($2); }
  | suffix_dcl INOUT
      { $$ = $1; $$->add_dir(static_cast<int>($2)); }
  | suffix_dcl LOCAL                { $$ = $1; $$->add_dir(4); }
  | suffix_dcl IN in_sexpr          { $$ = $1; $$->add_in($3); }
  | suffix_dcl COMPARE expr %prec READPREC
      { $$ = $1; $$->addcheck($2, $3); }
  | suffix_dcl '<' expr %prec READPREC
      { $$ = $1; $$->addcheck(opword(LT, 2), $3); }
  | suffix_dcl '>' expr %prec READPREC
      { $$ = $1; $$->addcheck(opword(GT, 2), $3); }
  ;

// Before a command: commands have begun.
cmd_begin:
    %empty  { command_begin(); }
  ;

command:
    display_kw ditems redir_opt ';'
      {
        whole_sfx_item(nullptr, 0);
        cmd_ixrf(CK_DISPLAY, $1, nullptr, $2, $3);
      }
  | display_kw indexing ':' ditems redir_opt ';'
      {
        whole_sfx_item(nullptr, 0);
        cmd_ixrf(CK_DISPLAY, $1, $2, $4, $5);
      }
  | PRINT print_items redir_opt ';'
      { printcmd(nullptr, $2, $3); }
  | PRINT indexing ':' print_items redir_opt ';'
      { printcmd($2, $4, $5); }
  | PRINTF expr print_tail redir_opt ';'
      { printfcmd(nullptr, not_tuple($2), $<e>3, $4); }
  | PRINTF indexing expr print_tail redir_opt ';'
      { printfcmd($2, not_tuple($3), $<e>4, $5); }
  | PRINTF indexing ':' expr print_tail redir_opt ';'
      { printfcmd($2, not_tuple($4), $<e>5, $6); }
  | LET ix_opt let_target { randvarchk($3); } ASSIGN expr ';'
      { letcmd($2, $3, $6); }
  | LET ix_opt SETNAME ASSIGN sexpr ';'
      { letsetcmd($2, set_target($3, nullptr), $5); }
  | LET ix_opt SETINAME subs ASSIGN sexpr ';'
      { letsetcmd($2, set_target($3, $4), $6); }
  | fix_kw ix_opt fix_target assign_opt ';'
      { fixun($1, $2, $3, $4); }
  | fix_kw redir_opt ';'
      { cmd_if(CK_FIXDROP, 1, $2); }
  | drop_kw ix_opt drop_target ';'
      { dropadd_cmd($1, $2, $3); }
  | drop_kw redir_opt ';'
      { cmd_if(CK_FIXDROP, 0, $2); }
  | OBJECTIVE PLAINNAME lex_ref ';'
      { objective_cmd($2, nullptr); }
  | OBJECTIVE PLAINNAME lex_ref subs ';'
      { objective_cmd($2, $4); }
  | OBJECTIVE redir_opt ';'
      { cmd_f(CK_OBJECTIVE, $2); }
  | PROBLEM redir_opt ';'
      { cmd_f(CK_PROBLEM, $2); }
  | PROBLEM NEWNAME alias_opt ix_opt prob_settings prob_items ';'
      { new_problem($2, $3, $4, reverse($5), $6); }
  | PROBLEM PROBNAME ';'
      { prob_cmd($2->name, nullptr); }
  | PROBLEM PROBINAME ';'
      { prob_cmd($2->name, nullptr); }
  | PROBLEM PROBNAME subs ';'
      { prob_cmd($2->name, $3); }
  | PROBLEM PROBINAME subs ';'
      { prob_cmd($2->name, $3); }
  | SOLVE redir_opt ';'
      { cmd_bef(CK_SOLVE, nullptr, nullptr, $2); }
  | SOLVE PLAINNAME lex_ref redir_opt ';'
      { solve_cmd($2, nullptr, $4); }
  | SOLVE PLAINNAME lex_ref subs redir_opt ';'
      { solve_cmd($2, $4, $5); }
  | OPTION settings redir_opt ';'
      { cmd_of(CK_OPTION, $2, $3); }
  | OPTION redir_opt ';'
      { cmd_of(CK_OPTION, nullptr, $2); }
  | OPTION settings error ';'
      { option_err($2); yyerrok; }
  | RESET ';'
      { reset(); }
  | RESET OPTION ';'
      { option_reset_cmd(); }
  | RESET DATA lex_plain plain_names_opt ';'
      { cmd_il(CK_RESET_DATA, 0, $4); }
  | UPDATE DATA lex_plain plain_names_opt ';'
      { cmd_il(CK_UPDATE_DATA, 1, $4); }
  | RESET PROBLEM lex_plain ';'
      { probreset(nullptr, nullptr); }
  | RESET PROBLEM lex_plain PLAINNAME lex_ref ';'
      { probreset($4, nullptr); }
  | RESET PROBLEM lex_plain PLAINNAME lex_ref subs ';'
      { probreset($4, $6); }
  | RESET FUNCTION lex_plain ';'
      { cmd0(CK_RESET_FUNCTION); }
  | RESET FUNCTION lex_plain PLAINNAME lex_ref ';'
      { cmd_b(CK_RESET_FUNCTION, $4); }
  | RESET SUFFIX plainname_opt ';'
      { cmd_b(CK_RESET_SUFFIX, $3); }
  | RESET CHECK ';'
      { cmd0(CK_RESET_CHECK); }
  | SHOW rlook_on show_names redir_opt ';'
      { cmd_rf(CK_SHOW, reverse($3), $4); LEXFLAG_RLOOK8(0); }
  | XREF rlook_on show_names redir_opt ';'
      { xref_cmd(reverse($3), $4); LEXFLAG_RLOOK8(0); }
  | expand_kw redir_opt ';'
      { expand($1, nullptr, $2); }
  | expand_kw prob_list redir_opt ';'
      { expand($1, reverse($2), $3); }
  | DELETE rlook_on purge_names ';'
      { purge(reverse($3), 0); LEXFLAG_RLOOK8(0); }
  | PURGE rlook_on purge_names ';'
      { purge(reverse($3), 1); LEXFLAG_RLOOK8(0); }
  | READ ritems redir_in_opt ';'
      { readcmd(nullptr, $2, $3); }
  | READ indexing ':' ritems redir_in_opt ';'
      { readcmd($2, $4, $5); }
  | READ TABLE lex_plain PLAINNAME ';'
      { table_io(0, nullptr, $4, nullptr); }
  | READ TABLE lex_plain PLAINNAME subs ';'
      { table_io(0, nullptr, $4, $5); }
  | READ TABLE lex_plain indexing lex_plain PLAINNAME subs ';'
      { table_io(0, $4, $6, $7); }
  | WRITE TABLE lex_plain PLAINNAME ';'
      { table_io(1, nullptr, $4, nullptr); }
  | WRITE TABLE lex_plain PLAINNAME subs ';'
      { table_io(1, nullptr, $4, $5); }
  | WRITE TABLE lex_plain indexing lex_plain PLAINNAME subs ';'
      { table_io(1, $4, $6, $7); }
  | WRITE file_opt ';'
      { cmd_e(CK_WRITE, $2); }
  | SOLUTION file ';'
      { cmd_e(CK_SOLUTION, $2); }
  | SHELL shell_text redir_opt ';'
      { if (int c = shell_stmt($2, $3)) RETURN_CODE(c); }
  | CD file_opt redir_opt ';'
      { cmd_ef(CK_CD, $2, $3); }
  | CLOSE files_opt ';'
      { cmd_e(CK_CLOSE, $2); }
  | load_kw files_opt ';'
      { cmd_r($1, $2); }
  | COMMANDS file_opt redir_opt ';'
      { commands_stmt($2, $3); }
  | CALL ix_opt call_fn ';'
      { cmd_xe(CK_CALL, $2, $3); }
  | SLEEP opt_expr ';'
      { cmd_e(CK_SLEEP, $2); }
  | EXIT opt_expr ';'
      { cmd_e(CK_EXIT, exit_value($2)); }
  | QUIT ';'
      { if (quit_cmd()) RETURN_CODE(YYP_QUIT); }
  | ENVIRON redir_opt ';'
      { cmd_f(CK_ENVIRON, $2); }
  | ENVIRON OPTNAME lex_ref indexing ';'
      { environ_dcl($2, $4); }
  | ENVIRON OPTNAME lex_ref ';'
      { environ_cmd0(nullptr, $2, nullptr, nullptr, nullptr); }
  | ENVIRON OPTNAME lex_ref subs ';'
      { environ_cmd0(nullptr, $2, $4, nullptr, nullptr); }
  | ENVIRON indexing lex_optname OPTNAME lex_ref subs ';'
      { environ_cmd0($2, $4, $6, nullptr, nullptr); }
  | ENVIRON OPTNAME lex_ref ASSIGN lex_optname OPTNAME env_source_sub ';'
      { environ_cmd0(nullptr, $2, nullptr, $6, $7); }
  | ENVIRON OPTNAME lex_ref subs ASSIGN lex_optname OPTNAME env_source_sub ';'
      { environ_cmd0(nullptr, $2, $4, $7, $8); }
  | ENVIRON indexing lex_optname OPTNAME lex_ref subs ASSIGN lex_optname
    OPTNAME env_source_sub ';'
      { environ_cmd0($2, $4, $6, $9, $10); }
  | SNAPSHOT snap_words redir_opt ';'
      { snapshot_stmt($2, $3); }
  | HELP help_words ';'
      { help(); }
  | DIFF_CMD ';'    { notyet("diff"); }
  | VERSION ';'     { notyet("version"); }
  | WHAT ';'        { notyet("what"); }
  ;

// The settings of a problem declaration: environments and suffix
// initialisers, newest first.
prob_settings:
    %empty                  { $$ = nullptr; }
  | prob_settings ','       { $$ = $1; }
  | prob_settings ENVIRON lex_word WORD
      { $$ = prob_env($1, $4, nullptr); }
  | prob_settings ENVIRON lex_word WORD subs
      { $$ = prob_env($1, $4, $5); }
  | prob_settings SUFFIX lex_plain PLAINNAME lex_ref expr %prec READPREC
      { $$ = prob_suffix($1, $4, $6); }
  ;

// The entities of a problem declaration and the items of expand: declared
// model entities, whole, subscripted or iterated (an indexing before one
// item or before a parenthesised list of items); an undeclared name is
// reported and dropped.
prob_items:
    %empty                  { $$ = nullptr; }
  | ':' prob_list           { $$ = reverse($2); }
  ;

prob_list:
    prob_item                   { $$ = push_expr(nullptr, $1); }
  | prob_list ',' prob_item     { $$ = push_expr($1, $3); }
  ;

prob_item:
    DVAR            { $$ = prob_item($1, nullptr); }
  | DVARI           { $$ = prob_item($1, nullptr); }
  | DVARI subs      { $$ = prob_item($1, $2); }
  | DCON            { $$ = prob_item($1, nullptr); }
  | DCONI           { $$ = prob_item($1, nullptr); }
  | DCONI subs      { $$ = prob_item($1, $2); }
  | DOBJ            { $$ = prob_item($1, nullptr); }
  | DOBJI           { $$ = prob_item($1, nullptr); }
  | DOBJI subs      { $$ = prob_item($1, $2); }
  | SYNONYM         { $$ = prob_synitem($1, nullptr); }
  | SYNONYM subs    { $$ = prob_synitem($1, $2); }
  | NEWNAME         { $$ = prob_undeclared($1); }
  | PROBNAME        { $$ = entity_item($1); }
  | PROBINAME       { $$ = entity_item($1); }
  | indexing prob_item %prec ITEMPREC
                    { $$ = item_ix($1, $2); }
  | indexing '(' prob_list ')'
                    { $$ = item_ix($1, reverse($3)); }
  ;

// Compound commands: each head is a statement of its own; the command
// interpreter builds the nesting from their sequence.
compound:
    IF cond THEN        { if_cmd($2); }
  | ELSE                { else_cmd(); }
  | FOR loopname_opt indexing
      { loopstart(CK_LOOP_FOR, $2, loop_indexing($3)); }
  | REPEAT loopname_opt '{'
      { loopstart(CK_LOOP_REPEAT, $2, nullptr); }
  | REPEAT loopname_opt WHILE cond '{'
      { loopstart(CK_LOOP_REPEAT, $2, $4); }
  | REPEAT loopname_opt UNTIL expr '{'
      { loopstart(CK_LOOP_REPEAT, $2, not_op($4)); }
  | STMT_WHILE cond ';' { while_cmd($2); }
  | STMT_UNTIL expr ';' { while_cmd(not_op($2)); }
  | STMT_LBRACE         { lbrace(); }
  | STMT_RBRACE         { rbrace(); }
  | BREAK plainname_opt ';'
      { if (breakcont(CK_BREAK, $2)) RETURN_CODE(YYP_BREAK); }
  | CONTINUE plainname_opt ';'
      { if (breakcont(CK_CONTINUE, $2)) RETURN_CODE(YYP_BREAK); }
  ;

loopname_opt:
    %empty      { $$ = nullptr; }
  | NEWNAME     { $$ = $1; }
  ;

plainname_opt:
    %empty      { $$ = nullptr; }
  | PLAINNAME   { $$ = $1; }
  ;

display_kw:
    DISPLAY     { whole_sfx_allow(true); $$ = 0; }
  | UDISPLAY    { whole_sfx_allow(true); $$ = 1; }
  | CSVDISPLAY  { whole_sfx_allow(true); $$ = 2; }
  ;

expand_kw:
    EXPAND      { $$ = 0; }
  | SOLEXPAND   { $$ = 1; }
  | USOLEXPAND  { $$ = 2; }
  ;

load_kw:
    LOAD        { $$ = CK_LOAD; }
  | UNLOAD      { $$ = CK_UNLOAD; }
  | RELOAD      { $$ = CK_RELOAD; }
  | REMOVE      { $$ = CK_REMOVE; }
  ;

fix_kw:
    FIX         { $$ = 0; }
  | UNFIX       { $$ = 1; }
  ;

drop_kw:
    DROP        { $$ = 0; }
  | ADD         { $$ = 1; }
  ;

assign_opt:
    %empty          { $$ = nullptr; }
  | ASSIGN expr     { $$ = $2; }
  ;

opt_expr:
    %empty      { $$ = nullptr; }
  | expr        { $$ = $1; }
  ;

// Targets of let: the command forms of the entities, scalar or
// subscripted, a synonym-array element, or any of them with a suffix.
let_target:
    PARAMNAME           { $$ = entity_ref($1, OPPAR); }
  | PARAMINAME subs     { $$ = subscript(opword(OPPARSUB, 3), $1, $2); }
  | SPARAMNAME          { $$ = entity_ref($1, OPSPAR); }
  | SPARAMINAME subs    { $$ = subscript(opword(OPSPARSUB, 1), $1, $2); }
  | CSVAR               { $$ = opvar(opword(230, 4), $1); }
  | CSVARI subs         { $$ = opvarsub(opword(231, 4), $1, $2); }
  | let_entity          { $$ = $1; }
  // A suffix of an entity: only declared suffixes (and the dual sides of
  // a complementarity constraint) may be assigned.
  | let_entity '.' lex_word WORD    { $$ = dotassign($1, $4); }
  | CVARI '.' lex_word WORD subs    { $$ = dotassign(cvar_ref($1, $5), $4); }
  | CCONI '.' lex_word WORD subs    { $$ = dotassign(dual_val($1, $5), $4); }
  | COBJI '.' lex_word WORD subs    { $$ = dotassign(cobj_ref($1, $5), $4); }
  | PROBINAME '.' lex_word WORD subs
                            { $$ = dotassign(subscript(opword(211), $1, $5), $4); }
  ;

// The entities of let that may carry suffixes.
let_entity:
    CVAR                { $$ = cvar_ref($1, nullptr); }
  | CVARI subs          { $$ = cvar_ref($1, $2); }
  | CCON                { $$ = dual_val($1, nullptr); }
  | CCONI subs          { $$ = dual_val($1, $2); }
  | COBJ                { $$ = cobj_ref($1, nullptr); }
  | COBJI subs          { $$ = cobj_ref($1, $2); }
  | PROBNAME            { $$ = entity_ref($1, 210); }
  | PROBINAME subs      { $$ = subscript(opword(211), $1, $2); }
  | SYNONYM subs        { $$ = synscript(opword(224, 2), $1, $2); }
  ;

fix_target:
    CVAR        { $$ = cvar_ref($1, nullptr); }
  | CVARI       { $$ = cvar_ref($1, nullptr); }
  | CVARI subs  { $$ = cvar_ref($1, $2); }
  | CSVAR       { $$ = opvar(opword(230, 4), $1); }
  | CSVARI      { $$ = opvar(opword(230, 4), $1); }
  | CSVARI subs { $$ = opvarsub(opword(231, 4), $1, $2); }
  | ALL         { $$ = nullptr; }
  ;

drop_target:
    CCON        { $$ = entity_ref($1, OPCON); }
  | CCONI       { $$ = entity_ref($1, OPCON); }
  | CCONI subs  { $$ = subscript(opword(208), $1, $2); }
  | COBJ        { $$ = entity_ref($1, OPOBJVAL); }
  | COBJI       { $$ = entity_ref($1, OPOBJVAL); }
  | COBJI subs  { $$ = subscript(opword(OPOBJVALSUB, 2), $1, $2); }
  | ALL         { $$ = nullptr; }
  ;

print_tail:
    %empty %prec ITEMPREC  { $<e>$ = nullptr; }
  | ',' items      { $<e>$ = $2; }
  ;

call_fn:
    FUNCNAME call_args  { $$ = funceval($1->name, $2); }
  ;

call_args:
    %empty              { $$ = nullptr; }
  | '(' ')'             { $$ = nullptr; }
  | '(' arg_list ')'    { $$ = reverse($2); }
  ;

help_words:
    %empty
  | help_words OPTNAME  { zap_cstr(&$2); }
  | help_words WORD     { zap_cstr(&$2); }
  ;

// snapshot's words: each adds its bit (256 for an unknown word, which is
// reported).
snap_words:
    %empty              { $$ = 0; }
  | snap_words NEWNAME  { $$ = $1 | snapshot_bit($2); }
  ;

// Option settings.  The lexer reads an option name in state 11 and moves
// to the value state 12 itself; after a quoted or computed name the value
// state is set here, and after "," the next name is an option name again.
settings:
    setting                             { $$ = $1; }
  | settings ',' lex_optname setting    { $$ = settings_join($1, $4); }
  ;

// One setting: a name, optionally qualified by an environment (the value
// state holds on after the environment's name, so "." is read as itself;
// the option name after it is read in name state, a pattern included).
setting:
    optname optvalue
      { $$ = optioncmd(nullptr, $1, nullptr, $2); }
  | OPTNAME '.' lex_optname OPTNAME optvalue
      { $$ = qual_setting($1, nullptr, $4, $5); }
  | OPTNAME subs '.' lex_optname OPTNAME optvalue
      { $$ = qual_setting($1, $2, $5, $6); }
  ;

// A name: an option name or pattern, a string, or a parenthesised
// expression that computes it.
optname:
    OPTNAME                     { $$ = new_str($1); }
  | STRING lex_optvalue         { $$ = new_str($1); }
  | '(' expr ')' lex_optvalue   { $$ = computed_optname($2); }
  ;

// A value: words joined by blanks, or a parenthesised expression.
optvalue:
    %empty          { $$ = nullptr; }
  | words           { $$ = option_words($1); }
  | '(' expr ')'    { $$ = make_string($2); }
  ;

words:
    word            { $$ = $1; }
  | words word      { $$ = push_expr($1, $2); }
  ;

// A word of an option value: a word, a string, or a reference to an
// option, "$" name (the lexer reads the name after "$" as a word; the
// value state resumes after it).
word:
    WORD            { $$ = new_str($1); }
  | STRING          { $$ = new_str($1); }
  | '$' WORD lex_optvalue       { $$ = dollar_word($2, 1); }
  | '$' '$' WORD lex_optvalue   { $$ = dollar_word($3, 2); }
  | '$' '$' WORD lex_optvalue '.' WORD
      { $$ = envexpr($3, nullptr, $6); }
  | '$' '$' WORD lex_optvalue subs '.' lex_optvalue WORD
      { $$ = envexpr($3, $5, $8); }
  ;

// The subscript of the environment whose values an `environ` command
// copies, or none.
env_source_sub:
    %empty          { $$ = nullptr; }
  | subs            { $$ = $1; }
  ;

// Names read in plain-name state: show, xref, delete, purge, reset data.
// The keyword forms of show and delete name what kind of thing follows.
show_names:
    %empty                  { $$ = nullptr; }
  | show_names show_name    { $$ = push_expr($1, $2); }
  | show_names ',' show_name { $$ = push_expr($1, $3); }
  ;

show_name:
    name_item
  | CHECK                       { $$ = show_item(SHOW_CHECK, nullptr, -1); }
  | CHECK NUMBER                { $$ = show_item(SHOW_CHECK, nullptr, $2); }
  ;

// delete and purge take the same names, but "check n" names an existing
// check, which check_del puts on the list (or reports).
purge_names:
    %empty                  { $$ = nullptr; }
  | purge_names purge_name  { $$ = push_expr($1, $2); }
  | purge_names ',' purge_name { $$ = push_expr($1, $3); }
  | purge_names CHECK NUMBER  { $$ = check_del($1, $3); }
  | purge_names ',' CHECK NUMBER { $$ = check_del($1, $4); }
  ;

purge_name:
    name_item
  | CHECK                       { $$ = show_item(SHOW_CHECK, nullptr, -1); }
  ;

name_item:
    PLAINNAME                   { $$ = new_lit($1); }
  | show_kw PLAINNAME           { $$ = show_item($1, $2, 0); }
  ;

show_kw:
    ENVIRON     { $$ = SHOW_ENVIRON; }
  | SUFFIX      { $$ = SHOW_SUFFIX; }
  | TABLE       { $$ = SHOW_TABLE; }
  | OPTION      { $$ = SHOW_OPTION; }
  ;

plain_names_opt:
    %empty                  { $$ = nullptr; }
  | plain_names             { $$ = reverse($1); }
  ;

plain_names:
    PLAINNAME                   { $$ = new_list(nullptr, $1); }
  | plain_names PLAINNAME       { $$ = new_list($1, $2); }
  | plain_names ',' PLAINNAME   { $$ = new_list($1, $3); }
  ;

// Redirections; the lexer reads the file as a file name.
redir_opt:
    %empty                  { $$ = nullptr; }
  | '>' lex_file file       { $$ = new_redirect($3, 0); }
  | GTGT lex_file file      { $$ = new_redirect($3, 1); }
  ;

redir_in_opt:
    %empty                  { $$ = nullptr; }
  | '<' lex_file file       { $$ = new_redirect($3, 2); }
  ;

file_opt:
    %empty      { $$ = nullptr; }
  | file        { $$ = $1; }
  ;

file:
    FILENAME        { $$ = new_str($1); }
  | STRING          { $$ = new_str($1); }
  | '(' expr ')'    { $$ = make_string($2); }
  ;

files_opt:
    %empty      { $$ = nullptr; }
  | files       { $$ = reverse($1); }
  ;

files:
    file                        { $$ = $1; }
  | files ',' lex_file file     { $$ = push_expr($1, $4); }
  ;

shell_text:
    %empty          { $$ = nullptr; }
  | STRING          { $$ = new_str($1); }
  | '(' expr ')'    { $$ = make_string($2); }
  ;

// Mid-rule steering of the lexer, each reduced right after the token
// before it, with no lookahead read.
lex_file:
    %empty      { LEXSTATE(CS_FILE); }
  ;
lex_plain:
    %empty      { LEXSTATE(CS_PLAIN); }
  ;
lex_optname:
    %empty      { LEXSTATE(CS_OPTNAME); }
  ;
lex_ref:
    %empty      { LEXSTATE(CS_NEWNAME); }
  ;
lex_word:
    %empty      { LEXSTATE(CS_WORD); }
  ;
// After `redeclare` KEYWORD NAME: the name's old declaration is noted
// (old_obj) and the lexer reads on as after a declared name.
redecl:
    %empty      { redecl_start($<sym>0); LEXSTATE(CS_NEWNAME); }
  ;
sufredecl:
    %empty      { sufredecl_start($<sym>0); LEXSTATE(CS_NEWNAME); }
  ;
tabredecl:
    %empty      { tabredecl_start($<sym>0); LEXSTATE(CS_NEWNAME); }
  ;
lex_optvalue:
    %empty      { LEXSTATE(CS_OPTVALUE); }
  ;
rlook_on:
    %empty      { LEXFLAG_RLOOK8(1); }
  ;

// Items of print, printf, read and expand: expressions, and an indexing
// followed by an expression or by a parenthesised list.  A ">" (or ">>")
// after the last item is the redirection; read's "<" likewise.
print_items:
    %empty      { $$ = nullptr; }
  | items       { $$ = $1; }
  ;

items:
    item_list   { $$ = stoch_items($1); }
  ;

item_list:
    item                { $$ = $1; }
  | item_list ',' item  { $$ = push_expr($1, $3); }
  ;

item:
    expr %prec ITEMPREC           { $$ = arg_entry(nullptr, not_tuple($1)); }
  | indexing expr %prec ITEMPREC  { $$ = item_ix($1, $2); }
  ;

// Items of read: a "<" after the last one is the input redirection.
ritems:
    ritem_list  { $$ = stoch_items($1); }
  ;

ritem_list:
    ritem                   { $$ = $1; }
  | ritem_list ',' ritem    { $$ = push_expr($1, $3); }
  ;

ritem:
    expr %prec READPREC             { $$ = arg_entry(nullptr, $1); }
  | PARAMINAME                      { $$ = whole_entry($1); }
  | SPARAMINAME                     { $$ = whole_entry($1); }
  | indexing expr %prec READPREC    { $$ = item_ix($1, $2); }
  ;

// Display items: besides expressions, sets and whole entities (an indexed
// name without subscript), alone or with a suffix.
ditems:
    ditem_list  { $$ = reverse($1); }
  ;

ditem_list:
    ditem                   { $$ = $1; }
  | ditem_list ',' ditem    { $$ = push_expr($1, $3); }
  ;

ditem:
    expr %prec ITEMPREC
      { $$ = whole_sfx_item(&$1, 1) ? $1 : cond_value(not_tuple($1)); }
  | sexpr_nb %prec ITEMPREC
      { whole_sfx_item(nullptr, 0); $$ = set_item($1); }
  | indexing expr %prec ITEMPREC
      { whole_sfx_item(&$2, 0); $$ = item_ix($1, cond_value($2)); }
  | PARAMINAME                      { $$ = entity_item($1); }
  | SPARAMINAME                     { $$ = entity_item($1); }
  | CVARI                           { $$ = entity_item($1); }
  | CSVARI                          { $$ = entity_item($1); }
  | CCONI                           { $$ = entity_item($1); }
  | COBJI                           { $$ = entity_item($1); }
  | PROBINAME                       { $$ = entity_item($1); }
  | SETINAME                        { $$ = entity_item($1); }
  | SYNONYM                         { $$ = syn_item($1); }
  | SYNNAME                         { $$ = syn_item($1); }
  ;

// Indexings.  Each item opens a scope level in which its dummies are
// bound; the scope stays open until the construct that owns the indexing
// is complete.  A name followed by `in` is a dummy (shifting `in` wins
// over reading the name as an expression); so is a parenthesised list of
// names and expressions before `in`.
ix_opt:
    %empty      { $$ = nullptr; }
  | indexing    { $$ = $1; }
  ;

indexing:
    '{' index_list '}'            { $$ = new set_spec($2, nullptr, 1); }
  | '{' index_list ':' cond '}'   { $$ = new set_spec($2, $4, 1); }
  | '{' index_list '|' cond '}'   { $$ = new set_spec($2, $4, 1); }
  | '{' IF cond '}'               { $$ = new set_spec(nullptr, $3, 0); }
  ;

index_list:
    NEWNAME IN in_sexpr         { $$ = ix_name(nullptr, $1, $3); }
  | DUMMYNAME IN in_sexpr       { $$ = ix_name(nullptr, $1->name, $3); }
  | KIND31 IN in_sexpr          { $$ = ix_name(nullptr, $1->name, $3); }
  | kw_dummy IN in_sexpr        { $$ = ix_name(nullptr, $1, $3); }
  | tuple IN in_sexpr           { $$ = ix_tuple(nullptr, $1, $3); }
  | sexpr                       { $$ = ix_name(nullptr, nullptr, $1); }
  | index_list ',' NEWNAME IN in_sexpr    { $$ = ix_name($1, $3, $5); }
  | index_list ',' DUMMYNAME IN in_sexpr  { $$ = ix_name($1, $3->name, $5); }
  | index_list ',' KIND31 IN in_sexpr     { $$ = ix_name($1, $3->name, $5); }
  | index_list ',' kw_dummy IN in_sexpr   { $$ = ix_name($1, $3, $5); }
  | index_list ',' tuple IN in_sexpr      { $$ = ix_tuple($1, $3, $5); }
  | index_list ',' sexpr                  { $$ = ix_name($1, nullptr, $3); }
  ;

// Keywords that may serve as dummy names (to_come, net_in and net_out,
// which are operands of bodies, cannot), built-in function names and the
// predefined sets.
kw_dummy:
    ARC { $$ = $<sym>1; } | CARD { $$ = $<sym>1; }
  | CIRCULAR { $$ = $<sym>1; } | COEF { $$ = $<sym>1; }
  | COVER { $$ = $<sym>1; } | DIFF { $$ = $<sym>1; }
  | MEMBER { $$ = $<sym>1; } | FIRSTW { $$ = $<sym>1; }
  | FORCEGEN { $$ = $<sym>1; } | FORMAT { $$ = $<sym>1; }
  | FROM { $$ = $<sym>1; } | INTER { $$ = $<sym>1; }
  | INTERVAL { $$ = $<sym>1; } | LAST { $$ = $<sym>1; }
  | NEXT { $$ = $<sym>1; } | NEXTW { $$ = $<sym>1; }
  | NODE { $$ = $<sym>1; } | OBJ { $$ = $<sym>1; }
  | ORD { $$ = $<sym>1; } | ORD0 { $$ = $<sym>1; }
  | ORDERED { $$ = $<sym>1; } | PREV { $$ = $<sym>1; }
  | PREVW { $$ = $<sym>1; } | PROD { $$ = $<sym>1; }
  | RANDOM { $$ = $<sym>1; } | SYMDIFF { $$ = $<sym>1; }
  | TO { $$ = $<sym>1; }
  | FUNC1 { $$ = $1; } | FUNC2 { $$ = $1; } | KIND34 { $$ = $1; }
  | BUILTINSET { $$ = $1; }
  ;

// A tuple: a parenthesised list of two or more names or expressions, in
// source order.  A new name stands for itself (a dummy to be, or an
// undefined name that name_purge reports); the list is right-recursive so
// that the token after such a name is shifted in the tuple's rules.
tuple:
    '(' expr ',' tuple_tail     { $$ = push_expr($4, $2); }
  | '(' NEWNAME ',' tuple_tail  { $$ = push_expr($4, name_node($2)); }
  ;

tuple_tail:
    expr ')'                    { $$ = $1; }
  | NEWNAME ')'                 { $$ = name_node($1); }
  | expr ',' tuple_tail         { $$ = push_expr($3, $1); }
  | NEWNAME ',' tuple_tail      { $$ = push_expr($3, name_node($1)); }
  ;


// Subscripts: "[" and a list of expressions and names "]"; the lexer reads
// references after "[".
subs:
    '[' lex_ref sub_tail  { $$ = subs_of($3); }
  ;

sub_tail:
    expr ']'                { $$ = $1; }
  | NEWNAME ']'             { $$ = name_node($1); }
  | expr ',' sub_tail       { $$ = push_expr($3, $1); }
  | NEWNAME ',' sub_tail    { $$ = push_expr($3, name_node($1)); }
  ;

// Set expressions.  An indexed set named without subscript is no set
// ("needs to be subscripted"), except as a display item, where it is the
// whole entity: display items take the other set expressions (sexpr_nb),
// so that a display item that is such a name alone is not read as a set.
sexpr:
    sexpr_nb                    { $$ = $1; }
  | SETINAME %prec IFPREC       { $$ = set_needs_sub($1); }
  ;

sexpr_nb:
    SETNAME                     { $$ = set_named($1); }
  | SETINAME subs               { $$ = set_subscr($1, $2); }
  | SYSSET                      { $$ = syssetref($1); }
  | BUILTINSET                  { $$ = builtin_set($1); }
  | expr DOTDOT expr %prec RANGE
      { $$ = set_range($1, $3, nullptr); }
  | expr DOTDOT expr BY expr %prec RANGE
      { $$ = set_range($1, $3, $5); }
  | sexpr UNION sexpr           { $$ = set_binop($1, $3, SC_UNION); }
  | sexpr DIFF sexpr            { $$ = set_binop($1, $3, SC_DIFF); }
  | sexpr SYMDIFF sexpr         { $$ = set_binop($1, $3, SC_SYMDIFF); }
  | sexpr INTER sexpr           { $$ = set_binop($1, $3, SC_INTER); }
  | sexpr CROSS sexpr           { $$ = set_cross($1, $3); }
  | SETOF indexing expr %prec IFPREC
      { $$ = setof_expr($2, $3); }
  | UNION indexing sexpr %prec ITSETPREC
      { $$ = it_setop($2, $3, SC_ITUNION); }
  | INTER indexing sexpr %prec ITSETPREC
      { $$ = it_setop($2, $3, SC_ITINTER); }
  | IF cond THEN sexpr ELSE sexpr %prec IFPREC
      { $$ = set_if($2, $4, $6); }
  | TYPEWORD ends_lo expr ',' expr ends_hi
      { $$ = set_interval($1, $3, $5, $2 | $6); }
  | INTERVAL ends_lo expr ',' expr ends_hi
      { $$ = set_interval(0, $3, $5, $2 | $6); }
  | '(' sexpr ')'               { $$ = $2; }
  | '{' '}'                     { $$ = empty_literal(); }
  | '{' lit_items '}'           { $$ = literal_set($2); }
  | indexing %prec IXSET        { $$ = set_spec_set($1); }
  ;

// Where a set follows in, within or contains, an interval may be written
// with brackets and parentheses alone.  "(" x "," y ")", the open interval,
// is read as an expression (a tuple) and taken apart by paren_interval: a
// rule of its own would meet the tuple's closing rule in reduce/reduce
// conflicts.  Reading an expression there adds no conflict to %expect: the
// choice between ending it (the interval) and going on with an operator is
// made by precedence, as for the operand of `in` (operators above IN go
// on, the others end it).
in_sexpr:
    sexpr %prec IN                      { $$ = $1; }
  | '[' expr ',' expr ends_hi
      { $$ = set_interval(0, $2, $4, 2 | $5); }
  | '(' expr ',' expr ']'               { $$ = set_interval(0, $2, $4, 1); }
  | expr %prec IN                       { $$ = paren_interval($1); }
  ;

ends_lo:
    '['     { $$ = 2; }
  | '('     { $$ = 0; }
  ;

ends_hi:
    ']'     { $$ = 1; }
  | ')'     { $$ = 0; }
  ;

// Members of a literal set, newest first.
lit_items:
    expr                    { $$ = $1; }
  | lit_items ',' expr      { $$ = push_expr($1, $3); }
  ;


// Expressions: arithmetic, string, logical; the precedence table above
// orders the operators.
expr:
    primary                         { $$ = $1; }
  | expr '+' expr   { $$ = binop(opword(OPPLUS, 2), $1, $3, bop_plumin); }
  | expr '-' expr   { $$ = binop(opword(OPMINUS, 2), $1, $3, bop_plumin); }
  | expr LESS expr  { $$ = binop(opword(OPLESS, 2), $1, $3, bop_plumin); }
  | expr '*' expr   { $$ = mulop(opword(OPMULT, 2), $1, $3, bop_mult); }
  | expr '/' expr   { $$ = mulop(opword(OPDIV, 2), $1, $3, bop_div); }
  | expr DIV expr   { $$ = mulop(opword(OPintDIV, 2), $1, $3, bop_div); }
  | expr MOD expr   { $$ = binop(opword(OPREM, 2), $1, $3, bop_nonlin); }
  | expr '^' expr   { $$ = binop(opword(OPPOW, 2), $1, $3, bop_nonlin); }
  | '-' expr %prec UMINUS           { $$ = negate($2); }
  | '+' expr %prec UMINUS           { $$ = make_numeric($2); }
  | expr '&' expr                   { $$ = concat($1, $3); }
  | SUM indexing expr %prec SUMPREC { $$ = itreduc(opword(SUM), $2, $3); }
  | PROD indexing expr %prec SUMPREC
      { $$ = itreduc(opword(PROD), $2, $3); }
  | MINMAX indexing expr %prec SUMPREC
      { $$ = itreduc($1, $2, $3); }
  | IF cond THEN expr %prec IFPREC  { $$ = makeif($2, $4, nullptr); }
  | IF cond THEN expr ELSE expr %prec IFPREC
      { $$ = makeif($2, $4, $6); }
  | rchain %prec CMPCHAIN           { $$ = relop_adj($1); }
  | expr IN in_sexpr                { $$ = member_test($1, $3, 0); }
  | expr NOT IN in_sexpr %prec IN   { $$ = member_test($1, $4, 1); }
  | sexpr WITHIN in_sexpr           { $$ = set_test(OPWITHIN, $1, $3); }
  | sexpr NOT WITHIN in_sexpr %prec WITHIN
      { $$ = set_test(OPNOTWITHIN, $1, $4); }
  | sexpr CONTAINS in_sexpr         { $$ = set_test(OPCONTAINS, $1, $3); }
  | sexpr NOT CONTAINS in_sexpr %prec CONTAINS
      { $$ = set_test(OPNOTCONTAINS, $1, $4); }
  | NOT expr                        { $$ = not_op($2); }
  | expr AND expr                   { $$ = logop(OPAND, $1, $3); }
  | expr OR expr                    { $$ = logop(OPOR, $1, $3); }
  | expr XOR expr                   { $$ = xor_op($1, $3); }
  | ITLOGIC indexing expr %prec ITLOGPREC
      { $$ = itlogic($1, $2, $3); }
  | AND indexing expr %prec ITLOGPREC
      { $$ = itlogic(opword(FORALL), $2, $3); }
  | OR indexing expr %prec ITLOGPREC
      { $$ = itlogic(opword(EXISTS), $2, $3); }
  | expr IFF expr          { $$ = impl_op(OP_IFF, $1, $3, nullptr); }
  | expr IMPLIES expr      { $$ = impl_op(OPIMPLIES, $1, $3, nullptr); }
  | expr IMPLIES expr ELSE expr
      { $$ = impl_op(OPIMPELSE72, $1, $3, $5); }
  | expr REVIMPLIES expr   { $$ = impl_op(OPIMPLIEDBY, $1, $3, nullptr); }
  | expr REVIMPLIES expr ELSE expr
      { $$ = impl_op(OPIMPELSE79, $1, $3, $5); }
  ;

// Comparison chains a op b [op c ...]: cells newest first.
rchain:
    expr '<' expr       { $$ = relopchain($1, nullptr, opword(LT, 2), $3); }
  | expr '>' expr       { $$ = relopchain($1, nullptr, opword(GT, 2), $3); }
  | expr COMPARE expr   { $$ = relopchain($1, nullptr, $2, $3); }
  | rchain '<' expr     { $$ = relopchain(nullptr, $1, opword(LT, 2), $3); }
  | rchain '>' expr     { $$ = relopchain(nullptr, $1, opword(GT, 2), $3); }
  | rchain COMPARE expr { $$ = relopchain(nullptr, $1, $2, $3); }
  ;

primary:
    NUMBER              { $$ = new_num($1); }
  | STRING              { $$ = new_str($1); }
  | DUMMYNAME           { $$ = dummy_expr($1); }
  | KIND31              { $$ = loopdummy_expr($1); }
  | NEWNAME             { $$ = undeclared($1); }
  | '(' expr ')'        { $$ = $2; }
  | tuple               { $$ = tuple_node($1); }
  | ref                 { $$ = $1; }
  | conref              { $$ = baduse($1); }
  | suffix_ref          { $$ = $1; }
  | FUNC1 '(' expr ')'  { $$ = bi_unop($1, $3); }
  | FUNC2 '(' expr ',' expr ')'
                        { $$ = bi_binop($1, $3, $5); }
  | FUNC2 '(' expr ')'  { $$ = bi_binop($1, $3, nullptr); }
  | KIND34 '(' args_opt ')'
                        { $$ = vargop($1, $3); }
  | FUNCNAME '(' args_opt ')'
                        { $$ = funceval($1->name, reverse($3)); }
  | KIND39 '(' args_opt ')'
                        { $$ = funceval($1, reverse($3)); }
  | MINMAX '(' args_opt ')'
                        { $$ = vreduc($1 + opword(2), $3); }
  | LTLT plist ';' plist GTGT pl_arg
                        { $$ = pl_term($2, $4, $6); }
  | CARD indexing       { $$ = card_ix($2); }
  | CARD '(' sexpr ')'  { $$ = card_op($3); }
  | FIRSTW '(' sexpr ')'
                        { $$ = firstlast(opword(OPFIRST), $3); }
  | LAST '(' sexpr ')'  { $$ = firstlast(opword(OPLAST), $3); }
  | ORD '(' DUMMYNAME ')'
                        { $$ = ord_dummy(opword(OPORD), $3); }
  | ORD0 '(' DUMMYNAME ')'
                        { $$ = ord_dummy(opword(OPORD0), $3); }
  | ORD '(' KIND31 ')'  { $$ = ord_loopdummy(opword(OPORD), $3); }
  | ORD0 '(' KIND31 ')' { $$ = ord_loopdummy(opword(OPORD0), $3); }
  | ORD '(' expr ',' sexpr ')'
                        { $$ = ord_elem(opword(OPORD), $3, $5); }
  | ORD0 '(' expr ',' sexpr ')'
                        { $$ = ord_elem(opword(OPORD0), $3, $5); }
  | MEMBER '(' expr ',' sexpr ')'
                        { $$ = ord_elem(opword(OPELEMENT), $3, $5); }
  | nextprev '(' DUMMYNAME ')'
                        { $$ = nextprev_dummy($1, $3, nullptr); }
  | nextprev '(' KIND31 ')'
                        { $$ = nextprev_loopdummy($1, $3); }
  | nextprev '(' expr ',' expr ')'
                        { $$ = nextprev_step($1, $3, $5); }
  | nextprev '(' expr ',' sexpr ')'
                        { $$ = nextprev($1, $3, $5, nullptr); }
  | nextprev '(' expr ',' sexpr ',' expr ')'
                        { $$ = nextprev($1, $3, $5, $7); }
  | COUNT '(' args_opt ')'
                        { $$ = count_op(reverse($3)); }
  | COUNT ix_args       { $$ = count_op($2); }
  | NUMBEROF expr IN '(' args_opt ')'
                        { $$ = alldiff($2, reverse($5)); }
  | ATLEAST expr '(' args_opt ')'
                        { $$ = atkword(0, $2, reverse($4)); }
  | ATMOST expr '(' args_opt ')'
                        { $$ = atkword(1, $2, reverse($4)); }
  | EXACTLY expr '(' args_opt ')'
                        { $$ = atkword(2, $2, reverse($4)); }
  | ATLEAST expr ix_args { $$ = atkword(0, $2, $3); }
  | ATMOST expr ix_args  { $$ = atkword(1, $2, $3); }
  | EXACTLY expr ix_args { $$ = atkword(2, $2, $3); }
  | ALLDIFF '(' args_opt ')'
                        { $$ = alldiff(nullptr, reverse($3)); }
  | ALLDIFF ix_args     { $$ = alldiff(nullptr, $2); }
  | ALLDIFF indexing expr %prec ITLOGPREC
                        { $$ = alldiff_ix($2, $3); }
  | ALLDISJOINT '(' set_args ')'
                        { $$ = alldisjoint(reverse($3)); }
  | ALLDISJOINT set_ix_args
                        { $$ = alldisjoint($2); }
  | ALLDISTINCT '(' set_args ')'
                        { $$ = alldistinct(reverse($3)); }
  | ALLDISTINCT set_ix_args
                        { $$ = alldistinct($2); }
  | SAMPLE '(' expr ')' { $$ = Sample($3); }
  | ALIAS '(' alias_name ')'
                        { $$ = alias_op($<x>3); }
  | KIND42 '(' cond ')' { $$ = probability($1, $3); }
  | TO_COME             { $$ = flow_marker(FLOW_TO_COME); }
  | NET_IN              { $$ = flow_marker(FLOW_NET_IN); }
  | NET_OUT             { $$ = flow_marker(FLOW_NET_OUT); }
  | '$' dollar_operand  { $$ = envqual(OPDOLLAR, nullptr, nullptr, $2); }
  | '$' '$' dollar_operand
                        { $$ = envqual(OPDOLLAR0, nullptr, nullptr, $3); }
  | '$' WORD '.' lex_word dollar_operand
                        { $$ = envqual(OPDOLLAR, $2, nullptr, $5); }
  | '$' WORD subs '.' lex_word dollar_operand
                        { $$ = envqual(OPDOLLAR, $2, $3, $6); }
  | '$' '$' WORD '.' lex_word dollar_operand
                        { $$ = envqual(OPDOLLAR0, $3, nullptr, $6); }
  | '$' '$' WORD subs '.' lex_word dollar_operand
                        { $$ = envqual(OPDOLLAR0, $3, $4, $7); }
  ;

// What follows "$": an option name (read as a word), a string, or a
// parenthesised expression giving the name.
dollar_operand:
    WORD                { $$ = new_str($1); }
  | STRING              { $$ = new_str($1); }
  | '(' expr ')'        { $$ = make_string($2); }
  ;

// References to declared names, in the forms the lexer gives them.
ref:
    PARAMNAME           { $$ = entity_ref($1, OPPAR); }
  | PARAMINAME subs     { $$ = subscript(opword(OPPARSUB, 3), $1, $2); }
  | SPARAMNAME          { $$ = entity_ref($1, OPSPAR); }
  | SPARAMINAME subs    { $$ = subscript(opword(OPSPARSUB, 1), $1, $2); }
  | DVAR                { $$ = opvar(opword(OPVAR164, 6), $1); }
  | DVARI subs          { $$ = opvarsub(opword(OPVARSUB165, 6), $1, $2); }
  | CVAR                { $$ = cvar_ref($1, nullptr); }
  | CVARI subs          { $$ = cvar_ref($1, $2); }
  | DSVAR               { $$ = opvar(opword(OPVAR167, 5), $1); }
  | DSVARI subs         { $$ = opvarsub(opword(OPVARSUB168, 5), $1, $2); }
  | CSVAR               { $$ = opvar(opword(230, 4), $1); }
  | CSVARI subs         { $$ = opvarsub(opword(231, 4), $1, $2); }
  | VAR_PENDING subs    { $$ = subscript(opword(OPRECVAR166, 6), $1, $2); }
  | KIND29 subs         { $$ = subscript(opword(OPRECVAR169, 5), $1, $2); }
  | CCON                { $$ = dual_val($1, nullptr); }
  | CCONI subs          { $$ = dual_val($1, $2); }
  | DOBJ                { $$ = entity_ref($1, OPOBJVAL); }
  | DOBJI subs          { $$ = subscript(opword(OPOBJVALSUB, 2), $1, $2); }
  | COBJ                { $$ = cobj_ref($1, nullptr); }
  | COBJI subs          { $$ = cobj_ref($1, $2); }
  | SYNONYM subs        { $$ = synscript(opword(224, 2), $1, $2); }
  | SYNNAME subs        { $$ = synscript(opword(227, 16), $1, $2); }
  | COUNTPARAM          { $$ = synonym($1); }
  ;

// Constraints (model form) and problems: usable only with a suffix.
conref:
    DCON                { $$ = entity_ref($1, OPCON); }
  | DCONI subs          { $$ = subscript(opword(208), $1, $2); }
  | PROBNAME            { $$ = entity_ref($1, 210); }
  | PROBINAME subs      { $$ = subscript(opword(211), $1, $2); }
  ;

// The declared names whose alias `alias` gives.
alias_name:
    DVAR { $<x>$ = $1; } | DVARI { $<x>$ = $1; } | CVAR { $<x>$ = $1; }
  | CVARI { $<x>$ = $1; } | DSVAR { $<x>$ = $1; } | DSVARI { $<x>$ = $1; }
  | CSVAR { $<x>$ = $1; } | CSVARI { $<x>$ = $1; }
  | PARAMNAME { $<x>$ = $1; } | PARAMINAME { $<x>$ = $1; }
  | SPARAMNAME { $<x>$ = $1; } | SPARAMINAME { $<x>$ = $1; }
  | SETNAME { $<x>$ = $1; } | SETINAME { $<x>$ = $1; }
  | DCON { $<x>$ = $1; } | DCONI { $<x>$ = $1; } | CCON { $<x>$ = $1; }
  | CCONI { $<x>$ = $1; } | DOBJ { $<x>$ = $1; } | DOBJI { $<x>$ = $1; }
  | COBJ { $<x>$ = $1; } | COBJI { $<x>$ = $1; }
  | PROBNAME { $<x>$ = $1; } | PROBINAME { $<x>$ = $1; }
  ;

nextprev:
    NEXT    { $$ = 0; }
  | PREV    { $$ = 1; }
  | NEXTW   { $$ = 2; }
  | PREVW   { $$ = 3; }
  ;

// A suffix on a reference: x.lb, c.dual, p[1].result ...
suffix_ref:
    ref '.' lex_word WORD           { $$ = thingdot($1, $4); }
  | conref '.' lex_word WORD        { $$ = thingdot($1, $4); }
  | DVARI '.' lex_word WORD subs    { $$ = expr0dot(dthingdot($1, $4), $5); }
  | CVARI '.' lex_word WORD subs    { $$ = expr0dot(dthingdot($1, $4), $5); }
  | DCONI '.' lex_word WORD subs    { $$ = expr0dot(dthingdot($1, $4), $5); }
  | CCONI '.' lex_word WORD subs    { $$ = expr0dot(dthingdot($1, $4), $5); }
  | DOBJI '.' lex_word WORD subs    { $$ = expr0dot(dthingdot($1, $4), $5); }
  | COBJI '.' lex_word WORD subs    { $$ = expr0dot(dthingdot($1, $4), $5); }
  | PROBINAME '.' lex_word WORD subs
                                    { $$ = expr0dot(dthingdot($1, $4), $5); }
  | SYNONYM '.' lex_word WORD subs  { $$ = expr0dot(dsyndot($1, $4), $5); }
  // Misuses given their own messages: a suffix on a whole indexed entity
  // (only display lists take that form) and a suffix on a dummy.
  | DVARI '.' lex_word WORD         { $$ = wholedot($1, $4); }
  | DCONI '.' lex_word WORD         { $$ = wholedot($1, $4); }
  | DOBJI '.' lex_word WORD         { $$ = wholedot($1, $4); }
  // The command forms: the display form where display and table items
  // allow it (an item that is just this form claims it), else the same
  // report.
  | CVARI '.' lex_word WORD         { $$ = whole_sfx($1, nullptr, $4); }
  | CCONI '.' lex_word WORD         { $$ = whole_sfx($1, nullptr, $4); }
  | COBJI '.' lex_word WORD         { $$ = whole_sfx($1, nullptr, $4); }
  | PROBINAME '.' lex_word WORD     { $$ = whole_sfx($1, nullptr, $4); }
  | SYNONYM '.' lex_word WORD       { $$ = whole_sfx(nullptr, $1, $4); }
  | DUMMYNAME '.' lex_word WORD     { $$ = thingdot(dummy_expr($1), $4); }
  ;

// A condition: an arithmetic expression used as one is compared with 0.
cond:
    expr        { $$ = cond_expr($1); }
  ;

// Argument lists (OPARG entries, newest first): an expression, or an
// indexing followed by a parenthesised list.
args_opt:
    %empty          { $$ = nullptr; }
  | arg_list        { $$ = $1; }
  ;

args:
    arg_list        { $$ = reverse($1); }
  ;

arg_list:
    arg                 { $$ = $1; }
  | arg_list ',' arg    { $$ = push_expr($1, $3); }
  ;

arg:
    expr %prec ITEMPREC         { $$ = arg_entry(nullptr, $1); }
  | indexing '(' args ')'       { $$ = arg_entry($1, $3); }
  ;

// An indexing followed by a parenthesised argument list.
ix_args:
    indexing '(' args ')'       { $$ = arg_entry($1, $3); }
  ;

set_args:
    set_arg                 { $$ = $1; }
  | set_args ',' set_arg    { $$ = push_expr($1, $3); }
  ;

// An indexing followed by a parenthesised list of sets.
set_ix_args:
    indexing '(' set_args ')'   { $$ = arg_entry($1, reverse($3)); }
  ;

set_arg:
    sexpr                       { $$ = set_arg_entry(nullptr, $1); }
  ;

// Piecewise-linear lists: entries newest first.
plist:
    expr                            { $$ = pllist(nullptr, nullptr, $1); }
  | indexing expr %prec SUMPREC     { $$ = pllist(nullptr, $1, $2); }
  | plist ',' expr                  { $$ = pllist($1, nullptr, $3); }
  | plist ',' indexing expr %prec SUMPREC
                                    { $$ = pllist($1, $3, $4); }
  ;

// The argument of a piecewise-linear term: a variable, a number or a
// parenthesised expression, with an optional second argument.
pl_arg:
    DVAR                    { $$ = opvar(opword(OPVAR164, 6), $1); }
  | DVARI subs              { $$ = opvarsub(opword(OPVARSUB165, 6), $1, $2); }
  | VAR_PENDING subs        { $$ = subscript(opword(OPRECVAR166, 6), $1, $2); }
  | NUMBER                  { $$ = new_num($1); }
  | '(' expr ')'            { $$ = $2; }
  | '(' expr ',' expr ')'   { $$ = pl_pair($2, $4); }
  ;

%%

namespace vexo {

void yyparser::error(const std::string& msg) {
  ++yynerrs;
  // The lexer has reported an error in this statement already (such as a
  // name declared again), skipped its input through the ";" and handed
  // over its filler token (yy_special 2: the reader supplies the ";" that
  // ends the statement): recovery goes on without a second message or
  // skip.
  if (yy_special == 2) {
    ++errseen;
    from_data = 0;
    cmd_reset2();
    return;
  }
  yyerror(msg.c_str());
  lex_error_pending = 0;  // the parser is in recovery already
}

// The grammar's token numbers are the lexer's.
#define SAME_CODE(name)                                           \
  static_assert(static_cast<uint32_t>(yyparser::token::YT_##name) == \
                TK_##name)
SAME_CODE(SET);
SAME_CODE(PARAM);
SAME_CODE(CHECK);
SAME_CODE(VAR);
SAME_CODE(SUBJECT_TO);
SAME_CODE(MAXIMIZE);
SAME_CODE(MINIMIZE);
SAME_CODE(FUNCTION);
SAME_CODE(SLEEP);
SAME_CODE(AND);
SAME_CODE(OR);
SAME_CODE(XOR);
SAME_CODE(ARC);
SAME_CODE(NOBIND);
SAME_CODE(BUILTINSET);
SAME_CODE(ERRFILL);
SAME_CODE(FUNC1);
SAME_CODE(FUNC2);
SAME_CODE(KIND34);
SAME_CODE(CARD);
SAME_CODE(CIRCULAR);
SAME_CODE(COEF);
SAME_CODE(COVER);
SAME_CODE(DIFF);
SAME_CODE(MEMBER);
SAME_CODE(FIRSTW);
SAME_CODE(FORCEGEN);
SAME_CODE(FORMAT);
SAME_CODE(FROM);
SAME_CODE(INTER);
SAME_CODE(INTERVAL);
SAME_CODE(LAST);
SAME_CODE(NEWNAME);
SAME_CODE(NET_IN);
SAME_CODE(NET_OUT);
SAME_CODE(NEXT);
SAME_CODE(NEXTW);
SAME_CODE(NODE);
SAME_CODE(OBJ);
SAME_CODE(ORD);
SAME_CODE(ORD0);
SAME_CODE(ORDERED);
SAME_CODE(PIPE);
SAME_CODE(PREV);
SAME_CODE(PREVW);
SAME_CODE(PROD);
SAME_CODE(KIND39);
SAME_CODE(RANDOM);
SAME_CODE(REVERSED);
SAME_CODE(SYMDIFF);
SAME_CODE(TO);
SAME_CODE(TO_COME);
SAME_CODE(IN);
SAME_CODE(BY);
SAME_CODE(DOTDOT);
SAME_CODE(WITHIN);
SAME_CODE(DVAR);
SAME_CODE(DVARI);
SAME_CODE(VAR_PENDING);
SAME_CODE(CVAR);
SAME_CODE(CVARI);
SAME_CODE(DSVAR);
SAME_CODE(DSVARI);
SAME_CODE(CSVAR);
SAME_CODE(CSVARI);
SAME_CODE(KIND29);
SAME_CODE(PARAMNAME);
SAME_CODE(PARAMINAME);
SAME_CODE(SPARAMNAME);
SAME_CODE(SPARAMINAME);
SAME_CODE(SETNAME);
SAME_CODE(SETINAME);
SAME_CODE(DCON);
SAME_CODE(DCONI);
SAME_CODE(DOBJ);
SAME_CODE(DOBJI);
SAME_CODE(CCON);
SAME_CODE(CCONI);
SAME_CODE(COBJ);
SAME_CODE(COBJI);
SAME_CODE(DUMMYNAME);
SAME_CODE(STRING);
SAME_CODE(NUMBER);
SAME_CODE(MINMAX);
SAME_CODE(ITLOGIC);
SAME_CODE(COMPARE);
SAME_CODE(TYPEWORD);
SAME_CODE(INOUT);
SAME_CODE(DIMEN);
SAME_CODE(DEFAULT);
SAME_CODE(DATA);
SAME_CODE(LTLT);
SAME_CODE(GTGT);
SAME_CODE(SUM);
SAME_CODE(CROSS);
SAME_CODE(UNION);
SAME_CODE(FUNCNAME);
SAME_CODE(KIND27);
SAME_CODE(ENVIRON);
SAME_CODE(OPTION);
SAME_CODE(SETOF);
SAME_CODE(ASSIGN);
SAME_CODE(ADD);
SAME_CODE(CLOSE);
SAME_CODE(COMMANDS);
SAME_CODE(DELETE);
SAME_CODE(DIFF_CMD);
SAME_CODE(DISPLAY);
SAME_CODE(DROP);
SAME_CODE(FIX);
SAME_CODE(LET);
SAME_CODE(MODEL);
SAME_CODE(PRINT);
SAME_CODE(PRINTF);
SAME_CODE(QUIT);
SAME_CODE(READ);
SAME_CODE(SHELL);
SAME_CODE(SHOW);
SAME_CODE(SNAPSHOT);
SAME_CODE(SOLVE);
SAME_CODE(UNFIX);
SAME_CODE(VERSION);
SAME_CODE(WHAT);
SAME_CODE(WRITE);
SAME_CODE(SOLUTION);
SAME_CODE(WORD);
SAME_CODE(OPTNAME);
SAME_CODE(FILENAME);
SAME_CODE(RESET);
SAME_CODE(ALIAS);
SAME_CODE(DIV);
SAME_CODE(IMPLIES);
SAME_CODE(REVIMPLIES);
SAME_CODE(IFF);
SAME_CODE(IF);
SAME_CODE(THEN);
SAME_CODE(ELSE);
SAME_CODE(LESS);
SAME_CODE(MOD);
SAME_CODE(NOT);
SAME_CODE(OBJECTIVE);
SAME_CODE(UPDATE);
SAME_CODE(HELP);
SAME_CODE(PLAINNAME);
SAME_CODE(KIND31);
SAME_CODE(KIND30);
SAME_CODE(REDECLARE);
SAME_CODE(FOR);
SAME_CODE(REPEAT);
SAME_CODE(PURGE);
SAME_CODE(STMT_LBRACE);
SAME_CODE(STMT_RBRACE);
SAME_CODE(BREAK);
SAME_CODE(CONTINUE);
SAME_CODE(UNTIL);
SAME_CODE(WHILE);
SAME_CODE(STMT_UNTIL);
SAME_CODE(STMT_WHILE);
SAME_CODE(CONT);
SAME_CODE(STEP_NEXT);
SAME_CODE(SKIP);
SAME_CODE(STEP);
SAME_CODE(ALL);
SAME_CODE(CD);
SAME_CODE(PROBLEM);
SAME_CODE(EXPAND);
SAME_CODE(XREF);
SAME_CODE(SOLEXPAND);
SAME_CODE(UDISPLAY);
SAME_CODE(CSVDISPLAY);
SAME_CODE(SUFFIX);
SAME_CODE(PROBNAME);
SAME_CODE(PROBINAME);
SAME_CODE(COUNTPARAM);
SAME_CODE(SYNONYM);
SAME_CODE(SYNNAME);
SAME_CODE(SYSSET);
SAME_CODE(STMT_NEWNAME);
SAME_CODE(CALL);
SAME_CODE(COMPLEMENTS);
SAME_CODE(EXIT);
SAME_CODE(LOCAL);
SAME_CODE(USOLEXPAND);
SAME_CODE(DVARSET);
SAME_CODE(DVARSETI);
SAME_CODE(CVARSET);
SAME_CODE(CVARSETI);
SAME_CODE(TABLE);
SAME_CODE(LOAD);
SAME_CODE(RELOAD);
SAME_CODE(REMOVE);
SAME_CODE(UNLOAD);
SAME_CODE(ALLDIFF);
SAME_CODE(ALLDISJOINT);
SAME_CODE(ALLDISTINCT);
SAME_CODE(ATLEAST);
SAME_CODE(ATMOST);
SAME_CODE(EXACTLY);
SAME_CODE(COUNT);
SAME_CODE(CONTAINS);
SAME_CODE(NUMBEROF);
SAME_CODE(UREADTABLE);
SAME_CODE(UWRITETABLE);
SAME_CODE(SAMPLE);
SAME_CODE(KIND42);

}  // namespace vexo
