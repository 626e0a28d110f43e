// The lexer: yylex hands the parser one token at a time.  A longest-match
// scanner over the characters of the raw token reader (frontend/rawtok.h)
// finds the lexeme; around it stands the lexer state cmd_start, through
// which the grammar actions say what kind of word comes next (the first
// word of a statement, a new name, references, a file name, option names
// and values, plain names, or input to skip after an error).  So the same
// word gives different tokens in different places: `display` is a command
// word at a statement start and a name elsewhere, a declared variable is
// one token in declarations and another in commands (the remap tables).
//
// The parser reads yylex's value from vexo::yylval and the token codes of
// frontend/tokens.h (a one-character token is its character code; 0 ends
// the input).
#ifndef VEXO_FRONTEND_LEXER_H
#define VEXO_FRONTEND_LEXER_H

#include <cstdint>

#include "frontend/tokens.h"

namespace vexo {

// Written outside frontend/, by design: semibrace by compound commands
// (session/cmdrec.cpp), which end a statement at a closing brace.

struct symbol;
struct cstr;
struct xnode;
struct expr;

// The value of a token (and of a parser stack entry): one pointer-sized
// word, read as the member the token's code implies.
union lexval {
  intptr_t i;   // op words and keyword values (comparisons, exists/forall,
                // reserved words' values), the code of "&&" and "||"
  double d;     // TK_NUMBER
  symbol* sym;  // TK_NEWNAME, TK_STMT_NEWNAME, TK_PLAINNAME, keywords and
                // built-in names of kinds 32..42 (their symbol)
  cstr* str;    // TK_STRING, TK_WORD, TK_OPTNAME, TK_FILENAME (one
                // reference, owned by the receiver)
  xnode* x;     // declared names (the binding record)
  expr* e;
  void* p;
};
static_assert(sizeof(lexval) == 8);

// Value of the token yylex returned last.  One-character tokens carry the
// character; tokens without a value leave it unchanged.
extern lexval yylval;

// Values of the lexer state cmd_start (frontend/rawtok.h).  The grammar
// stores CS_START (or CS_SKIPPED after error recovery, or in_cmds at the
// start of parsing) after each statement, and the states of names inside
// statements; the statement words set their own state (keywords.h,
// stmt_info) and yyerror sets CS_SKIP.
enum : int32_t {
  CS_STEPWORD = -2,  // marks single-stepping words in stmt_info; never stored
  CS_PREFIX = -1,    // a prefix word (redeclare, reset, update) was read
  CS_REF = 0,        // references to declared entities
  CS_START = 1,      // statement start (after a statement-level brace)
  CS_SKIPPED = 2,    // statement start after input was skipped
  CS_STMTWORD = 3,   // the statement's first word is being read
  CS_PROBLEM = 4,    // after `problem`
  CS_PROBLEM1 = 5,   // the token after `problem`
  CS_NEWNAME = 6,    // the token after a declaration keyword
  CS_SKIP = 7,       // skip input to the next ";"
  CS_FILE = 8,       // a file name follows
  CS_WORD = 9,       // the next name is a word ("$", after ".", columns)
  CS_PLAIN = 10,     // plain names (show, delete, purge, xref, solve, ...)
  CS_OPTNAME = 11,   // option names and patterns
  CS_OPTVALUE = 12,  // option values
  CS_WRITEFILE = 13  // a file name after `write` (`table` and "{" known)
};

// Remap tables from the binding kind of a name (0..42) to its token: rvfix1
// for declarations and model text, rvfix2 for commands; rvfixi holds both
// (index = the remap field of a statement word); rvfix is the one in use.
constexpr int N_RVFIX = 43;
extern const uint32_t rvfix1[N_RVFIX];
extern const uint32_t rvfix2[N_RVFIX];
extern const uint32_t* const rvfixi[2];
extern const uint32_t* rvfix;
// By kind 0..41: 1 when a reference is recorded in the dependency
// accumulator dac (kinds 2..11, 14..21, 25).
extern const uint8_t isxnode[42];

// The brace depth bracecnt is in support/list.h (the lexical contexts reset
// it).  semibrace: a depth at which a "}" is preceded by an inserted ";"
// (-1: none; set by the grammar); rlook8 set by the grammar makes the
// reserved words check, environ, suffix, table and option their tokens in
// CS_PLAIN (other reserved words stay names there).
extern int32_t semibrace;
extern int32_t rlook8;

// The current lexeme (NUL-terminated) and its length.
extern char yytext[200];
extern int32_t yyleng;

extern "C" {
// The next token: its code, with yylval set as the code implies.  May
// report syntax errors ("%s is reserved", "%s is already defined", "extra
// }", "Bad filename syntax.", "Oversize token starting ...") and
// "Single-stepping command \"%s\" ignored."; each returns.  Through the
// include and end-of-input services it may end the session or abort the
// command (exceptions of support/message.h).
int yylex(void);
}

// The scanner: the rule number (1..40) of the longest match from the
// current input, with the lexeme in yytext/yyleng and the characters read
// beyond it pushed back; 0 at the end of input; LEX_OVERSIZE after an
// oversize lexeme was reported.
constexpr int LEX_OVERSIZE = -2;
int yylook();
// Extends yytext by the following characters of nonzero symchars (at most
// 199 kept; more are read and dropped), pushes the first other character
// back and sets yylval.str to a new string of the text.
void opvalue();
// Reads a file name starting with character c into tok (NUL-terminated);
// w 1 in CS_WRITEFILE, where "{" also ends the name.  Returns 1 when w is 1
// and the name is "table", else 0.  Reports "Bad filename syntax." for a
// double quote in the name.
int fname_tok(int c, int w);

// A new session: empties the push-back stack and puts every lexer state
// back to its initial value (cmd_start CS_START, rvfix rvfix1, no braces,
// semibrace -1).  Kept by `reset`: the statement after it is lexed on.
void lexer_start();

}  // namespace vexo

#endif  // VEXO_FRONTEND_LEXER_H
