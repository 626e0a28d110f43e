// The grammar of the language's statements: declarations, commands and
// compound commands, with the expression, indexing and set-expression
// rules they use.  Each action is at most one builder call (besides the
// lexer steering and the parse codes below); builders report their own
// errors.  yyparse (frontend/parse.cpp) runs it.
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
// none yet in the command grammar.
%expect 0

%code requires {
#include "frontend/parse.h"
}

%code {
#include "eval/indexing.h"
#include "eval/optab.h"
#include "frontend/decl.h"
#include "frontend/cmdbuild.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/lexer.h"
#include "frontend/rawtok.h"
#include "support/list.h"
#include "support/message.h"
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
%token <x> KIND31 57494
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

%type <i> display_kw expand_kw load_kw fix_kw drop_kw snap_words
%type <e> items item expr primary file file_opt files files_opt
%type <e> show_names show_name opt_expr print_items fix_target drop_target
%type <e> shell_text let_target call_fn
%type <rd> redir_opt redir_in_opt
%type <ss> indexing ix_opt
%type <ix> index_list
%type <s> set_expr
%type <sym> dummy_name loopname_opt plainname_opt
%type <l> settings plain_names plain_names_opt words
%type <str> optname optvalue

// Expression operators: the precedence table (logical, set and arithmetic
// operators, loosest first) goes here with the expression builders.

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
    statement   { LEXSTATE(in_cmds); }
  ;

statement:
    declaration
  | cmd_begin command
  | compound
  | ';'                 { cmd("", 0, CK_EMPTY); }
  | MODEL file_opt ';'  { if ($2) einclude($2, 1); }
  | DATA file_opt ';'   { if (int c = data_stmt($2)) RETURN_CODE(c); }
  | CONT ';'            { RETURN_CODE(YYP_CONT); }
  | STEP_NEXT ';'       { RETURN_CODE(YYP_NEXT); }
  | SKIP ';'            { RETURN_CODE(YYP_SKIP); }
  | STEP ';'            { RETURN_CODE(YYP_STEP); }
  | error ';'           { stmt_error(); yyerrok; LEXFLAG_RLOOK8(0); }
  ;

// Declarations: the declaration grammar comes with the declaration
// builders; until then a declaration names its keyword and new name.
declaration:
    PARAM NEWNAME ';'     { dcl_standin("param", $2); }
  | SET NEWNAME ';'       { dcl_standin("set", $2); }
  | VAR NEWNAME ';'       { dcl_standin("var", $2); }
  | FUNCTION NEWNAME ';'  { dcl_standin("function", $2); }
  ;

// Before a command: commands have begun.
cmd_begin:
    %empty  { command_begin(); }
  ;

command:
    display_kw items redir_opt ';'
      { cmd("i_rf", 4, CK_DISPLAY, $1, nullptr, $2, $3); }
  | display_kw indexing ':' items redir_opt ';'
      { cmd("i_rf", 4, CK_DISPLAY, $1, $2, $4, $5); }
  | PRINT print_items redir_opt ';'
      { printcmd(nullptr, $2, $3); }
  | PRINT indexing ':' print_items redir_opt ';'
      { printcmd($2, $4, $5); }
  | PRINTF expr print_tail redir_opt ';'
      { printfcmd(nullptr, $2, $<e>3, $4); }
  | PRINTF indexing colon_opt expr print_tail redir_opt ';'
      { printfcmd($2, $4, $<e>5, $6); }
  | LET ix_opt let_target ASSIGN expr ';'
      { letcmd($2, $3, $5); }
  | fix_kw ix_opt fix_target assign_opt ';'
      { fixun($1, $2, $3); }
  | fix_kw redir_opt ';'
      { cmd("if", 2, CK_FIXDROP, 1, $2); }
  | drop_kw ix_opt drop_target ';'
      { dropadd_cmd($1, $2, $3); }
  | drop_kw redir_opt ';'
      { cmd("if", 2, CK_FIXDROP, 0, $2); }
  | OBJECTIVE PLAINNAME lex_ref ';'
      { objective_cmd($2, nullptr); }
  | OBJECTIVE redir_opt ';'
      { cmd("f", 1, CK_OBJECTIVE, $2); }
  | PROBLEM redir_opt ';'
      { cmd("f", 1, CK_PROBLEM, $2); }
  | SOLVE redir_opt ';'
      { cmd("bef", 3, CK_SOLVE, nullptr, nullptr, $2); }
  | SOLVE PLAINNAME lex_ref redir_opt ';'
      { solve_cmd($2, nullptr, $4); }
  | OPTION settings redir_opt ';'
      { cmd("of", 2, CK_OPTION, $2, $3); }
  | OPTION redir_opt ';'
      { cmd("of", 2, CK_OPTION, nullptr, $2); }
  | OPTION settings error ';'
      { option_err($2); yyerrok; }
  | RESET ';'
      { reset(); }
  | RESET OPTION ';'
      { option_reset_cmd(); }
  | RESET DATA lex_plain plain_names_opt ';'
      { cmd("il", 2, CK_RESET_DATA, 0, $4); }
  | UPDATE DATA lex_plain plain_names_opt ';'
      { cmd("il", 2, CK_UPDATE_DATA, 1, $4); }
  | RESET PROBLEM ';'
      { probreset(nullptr, nullptr); }
  | RESET FUNCTION ';'
      { cmd("", 0, CK_RESET_FUNCTION); }
  | RESET SUFFIX plainname_opt ';'
      { cmd("b", 1, CK_RESET_SUFFIX, $3); }
  | RESET CHECK ';'
      { cmd("", 0, CK_RESET_CHECK); }
  | SHOW show_names redir_opt ';'
      { cmd("rf", 2, CK_SHOW, $2, $3); }
  | XREF show_names redir_opt ';'
      { xref_cmd($2, $3); }
  | expand_kw print_items redir_opt ';'
      { expand($1, $2, $3); }
  | DELETE rlook_on show_names ';'
      { purge($3, 0); LEXFLAG_RLOOK8(0); }
  | PURGE rlook_on show_names ';'
      { purge($3, 1); LEXFLAG_RLOOK8(0); }
  | READ items redir_in_opt ';'
      { readcmd(nullptr, $2, $3); }
  | READ indexing ':' items redir_in_opt ';'
      { readcmd($2, $4, $5); }
  | READ TABLE lex_plain PLAINNAME ';'
      { table_io(0, nullptr, $4, nullptr); }
  | WRITE TABLE lex_plain PLAINNAME ';'
      { table_io(1, nullptr, $4, nullptr); }
  | WRITE file_opt ';'
      { cmd("e", 1, CK_WRITE, $2); }
  | SOLUTION file ';'
      { cmd("e", 1, CK_SOLUTION, $2); }
  | SHELL shell_text redir_opt ';'
      { if (int c = shell_stmt($2, $3)) RETURN_CODE(c); }
  | CD file_opt redir_opt ';'
      { cmd("ef", 2, CK_CD, $2, $3); }
  | CLOSE files_opt ';'
      { cmd("e", 1, CK_CLOSE, $2); }
  | load_kw files_opt ';'
      { cmd("r", 1, $1, $2); }
  | COMMANDS file_opt redir_opt ';'
      { commands_stmt($2, $3); }
  | CALL ix_opt call_fn ';'
      { cmd("_e", 2, CK_CALL, $2, $3); }
  | SLEEP opt_expr ';'
      { cmd("e", 1, CK_SLEEP, $2); }
  | EXIT opt_expr ';'
      { cmd("e", 1, CK_EXIT, exit_value($2)); }
  | QUIT ';'
      { if (quit_cmd()) RETURN_CODE(YYP_QUIT); }
  | ENVIRON redir_opt ';'
      { cmd("f", 1, CK_ENVIRON, $2); }
  | SNAPSHOT snap_words redir_opt ';'
      { snapshot_stmt($2, $3); }
  | HELP help_words ';'
      { help(); }
  | DIFF_CMD ';'    { notyet_hook("diff"); }
  | VERSION ';'     { notyet_hook("version"); }
  | WHAT ';'        { notyet_hook("what"); }
  ;

// Compound commands: each head is a statement of its own; the command
// interpreter builds the nesting from their sequence.
compound:
    IF expr THEN        { if_cmd($2); }
  | ELSE                { else_cmd(); }
  | FOR loopname_opt indexing
      { loopstart(CK_LOOP_FOR, $2, $3); }
  | REPEAT loopname_opt '{'
      { loopstart(CK_LOOP_REPEAT, $2, nullptr); }
  | REPEAT loopname_opt WHILE expr '{'
      { loopstart(CK_LOOP_REPEAT, $2, $4); }
  | REPEAT loopname_opt UNTIL expr '{'
      { loopstart(CK_LOOP_REPEAT, $2, logical_not($4)); }
  | STMT_WHILE expr ';' { while_cmd($2); }
  | STMT_UNTIL expr ';' { while_cmd(logical_not($2)); }
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
    DISPLAY     { $$ = 0; }
  | UDISPLAY    { $$ = 1; }
  | CSVDISPLAY  { $$ = 2; }
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

colon_opt:
    %empty
  | ':'
  ;

assign_opt:
    %empty
  | ASSIGN expr
  ;

opt_expr:
    %empty      { $$ = nullptr; }
  | expr        { $$ = $1; }
  ;

let_target:
    PARAMNAME   { $$ = entity_ref($1, OPPAR); }
  ;

fix_target:
    CVAR        { $$ = entity_ref($1, OPPRIMAL); }
  | ALL         { $$ = nullptr; }
  ;

drop_target:
    CCON        { $$ = entity_ref($1, OPCON); }
  | COBJ        { $$ = entity_ref($1, OPOBJVAL); }
  | ALL         { $$ = nullptr; }
  ;

print_tail:
    %empty         { $<e>$ = nullptr; }
  | ',' items      { $<e>$ = $2; }
  ;

call_fn:
    FUNCNAME call_args  { $$ = funceval($1->name, $<e>2); }
  ;

call_args:
    %empty            { $<e>$ = nullptr; }
  | '(' ')'           { $<e>$ = nullptr; }
  | '(' items ')'     { $<e>$ = $2; }
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
// to the value state 12 itself; a quoted name is followed by state 12 here,
// and after "," the next name is an option name again.
settings:
    optname optvalue
      { $$ = optioncmd(nullptr, $1, nullptr, $2); }
  | settings ',' lex_optname optname optvalue
      { $$ = optioncmd($1, $4, nullptr, $5); }
  ;

optname:
    OPTNAME     { $$ = $1; }
  | STRING      { LEXSTATE(CS_OPTVALUE); $$ = $1; }
  ;

optvalue:
    %empty      { $$ = nullptr; }
  | words       { $$ = list2string($1); }
  ;

words:
    WORD            { $$ = new_list(nullptr, $1); }
  | STRING          { $$ = new_list(nullptr, $1); }
  | words WORD      { $$ = new_list($1, $2); }
  | words STRING    { $$ = new_list($1, $2); }
  ;

// Names read in plain-name state (show, xref, delete, purge, reset data).
show_names:
    %empty                  { $$ = nullptr; }
  | show_names show_name    { $$ = push_expr($1, $2); }
  | show_names ',' show_name { $$ = push_expr($1, $3); }
  ;

show_name:
    PLAINNAME   { $$ = new_lit($1); }
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
rlook_on:
    %empty      { LEXFLAG_RLOOK8(1); }
  ;

// Items of display, print, read and expand: expressions, indexings used
// as sets, and an indexing followed by an expression.
print_items:
    %empty      { $$ = nullptr; }
  | items       { $$ = $1; }
  ;

items:
    item_list   { $$ = reverse($<e>1); }
  ;

item_list:
    item                { $<e>$ = $1; }
  | item_list ',' item  { $<e>$ = push_expr($<e>1, $3); }
  ;

item:
    expr                { $$ = $1; }
  | indexing            { $$ = item_ix($1, nullptr); }
  | indexing expr       { $$ = item_ix($1, $2); }
  ;

// Indexings.  Each item opens a scope level in which its dummy is bound;
// the scope stays open until the construct that owns the indexing is
// complete.
ix_opt:
    %empty      { $$ = nullptr; }
  | indexing    { $$ = $1; }
  ;

indexing:
    '{' index_list '}'            { $$ = new set_spec($2, nullptr, 1); }
  | '{' index_list ':' expr '}'   { $$ = new set_spec($2, $4, 1); }
  ;

index_list:
    dummy_name IN set_expr
      { $$ = index_item(nullptr, name_node($1), $3); }
  | set_expr
      { $$ = index_item(nullptr, nullptr, $1); }
  | index_list ',' dummy_name IN set_expr
      { $$ = index_item($1, name_node($3), $5); }
  | index_list ',' set_expr
      { $$ = index_item($1, nullptr, $3); }
  ;

dummy_name:
    NEWNAME     { $$ = $1; }
  | DUMMYNAME   { $$ = $1->name; }
  ;

// Set expressions.  More forms join with the set builders.
set_expr:
    expr DOTDOT expr            { $$ = set_range($1, $3, nullptr); }
  | expr DOTDOT expr BY expr    { $$ = set_range($1, $3, $5); }
  ;

// Expressions.  The arithmetic, logical and relational rules join with
// their builders, at the places the precedence table above reserves.
expr:
    primary                     { $$ = $1; }
  | '-' expr                    { $$ = negate($2); }
  ;

primary:
    NUMBER          { $$ = new_num($1); }
  | STRING          { $$ = new_str($1); }
  | DUMMYNAME       { $$ = dummy_expr($1); }
  | NEWNAME         { $$ = not_declared($1); }
  | PARAMNAME       { $$ = entity_ref($1, OPPAR); }
  | '(' expr ')'    { $$ = $2; }
  ;

%%

namespace vexo {

void yyparser::error(const std::string& msg) {
  ++yynerrs;
  yyerror(msg.c_str());
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
