// The raw token reader.  Between the line reader and the scanner stands
// yytok: it skips blanks and comments, copies quoted strings into tok and
// finds the extent of the next run of token characters in the line buffer,
// so that the scanner only ever runs over token text (with at most one
// trailing blank, which tells it where a word ends).  Beside it: the
// character classes, the scanner's character input and push-back, the
// syntax-error and undefined-name reports, and the statement location.
#ifndef VEXO_FRONTEND_RAWTOK_H
#define VEXO_FRONTEND_RAWTOK_H

#include <cstdint>

namespace vexo {

// Written outside frontend/, by design: the data tokenizer
// (data/datatok.cpp, data/readdata.cpp) reads its tokens into ibuf/fc0 and
// switches from_data; the include stack (session/include.cpp,
// session/infiles.cpp) saves and restores stmtfname, fc0 and yysptr with
// each input level; the command loop (session/loop.cpp, execute.cpp) sets
// cmd_start for the statement it reads next and empties the push-back
// stack; located.cpp keeps onextc/otstart for the message location; the
// declaration classes of other subsystems (data/table.cpp,
// eval/funclib.cpp, instance/problem.cpp, instance/sufdecl.cpp) clear
// Curdclname when they finish, as the front end's own classes do.

struct expr;
struct symbol;

// Character classes of the raw token reader, indexed by unsigned char:
// 0 separator (ends a token and is its last character), 1 NUL, 2 '#',
// 3 the two quote characters, 4 token characters (letters, digits, "_",
// "+", "-", "." and the bytes 128..255), 5 the characters after which a
// token may be cut ("()[],*!@$%^=&|{}~`<>?\\"), 6 ':', 7 '/', 8 ';'.
extern unsigned char tok_type[256];
// The classes for wildcard patterns: tok_type with "+" and "-" of class 2,
// "*" of class 4 and "." of class 46 (only class 4 counts there).
extern unsigned char tokstar_type[256];
// Fills tok_type and tokstar_type.  Start-up.
void init_tok_types();

// Text of the last "#" comment without the "#": its first 511 characters.
extern char ibuf[512];
// Start of the line on which the current raw token began (for the context
// line of messages).
extern char* fc0;
// Raw tokens read so far; no syntax error is reported before the first.
extern int64_t yytokno;
// The scanner's push-back stack.
extern unsigned char yysbuf[200];
extern unsigned char* yysptr;

// Where the current statement began: file name (null until set), line and
// byte offset.
extern const char* stmtfname;
extern int64_t stmtline;
extern int64_t stmtoffset;

// A position the lexer saved for the input with serial number oinfno;
// messages show it instead of the current one.
extern int oinfno;
extern char* onextc;
extern char* otstart;

// State of the lexer and the grammar that these routines write: cmd_start
// is the lexer state (7: skip to the next ";"), from_data is set while a
// statement that a data section ended on is read; Curdclname and Oldval
// are the name being declared and its previous binding, restored when the
// declaration fails.
extern int32_t cmd_start;
extern int32_t from_data;
extern symbol* Curdclname;
extern void* Oldval;

// The first character of the next raw token, with nextc just after it and
// yylastc at its end; 34 (the double quote) for a quoted string of either
// kind, whose text is then in tok; a blank when the source changed; while
// text is injected (yy_special), a blank, the injected characters one per
// call (yylastc at nextc) and a blank; 0 at the end of all input.  May
// report "missing %c" and "unexpected end of file" (the latter ends the
// session or the data section).
int yytok();
// The rest of a string opened by the quote character q, read into tok
// (NUL-terminated): q q stands for one q, a backslash before a newline (or
// CR and newline) gives a newline, any other backslash stays with the next
// character, NUL bytes are dropped; a bare newline ends the string, is left
// unread and is reported as "missing %c".  Returns 34.  The data reader
// reads its strings the same way.
int quoted(int q);
// The scanner's character input: the push-back stack first, then the rest
// of the current raw token, then yytok.
int yyinput();
// Pushes c back for yyinput.
void yyunput(int c);
// Writes c to standard output (the scanner's echo).
void yyoutput(int c);
// 1 when n is in the zero-terminated list, else 0.
int yyback(const int* list, int n);

// Reports a syntax error (in block "error_syntax" in block mode) once a raw
// token has been read; then the lexer skips to the next ";" and the
// compound command being built is abandoned (cmd_reset2, session/loop.h).
void yyerror(const char* msg);
// Set by yyerror: an error the lexer found (the parser's own errors clear
// it, being in recovery already).  The parser's token source then hands
// the parser an error token first, so that the statement is abandoned
// through its recovery rather than completed from what was read.
extern int lex_error_pending;
// Reports "%s is not defined".  Aborts the command (bailout) unless
// single-stepping, where it returns a numeric constant 0 node.
expr* not_declared(symbol* s);
// Records where the current statement starts; k nonzero also settles open
// compound commands (start_check, frontend/cmdbuild.h).
void stmtsave(int k);
// Before the ";;;" injection that ends an abandoned statement: the raw
// token being read ends at the input position when the statement's ";"
// has been read (ended), else just after the first ";" in what is left of
// it, so that what follows on the same line (the next statement, when no
// blank follows the ";") is read after the injection rather than before
// it.  Characters pushed back from the line buffer are unread there first.
void abandon_rest(bool ended);
// Undoes an injection or a cut before a comment: what is left of the
// injected text and of the current raw token is dropped (nextc = yylastc),
// yy_special = 0.
void nextc_restore();

// The raw tokenizer of a new session: no token read, nothing pushed back.
// Kept by `reset`: the statement after it is read on.
void rawtok_start();

// Forgets the statement's file name, which may be a copy in the string
// arena that `reset` frees, and the declaration being read.
void rawtok_reset();
}  // namespace vexo

#endif  // VEXO_FRONTEND_RAWTOK_H
