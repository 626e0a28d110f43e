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
// Reads the rest of a "#" comment, its "#" read, up to its newline into
// ibuf (the lexer's and the data reader's).
void read_comment();
// A token of the data reader begins: its line (fc0) is the current one,
// and it starts at the character just read when that is in the line
// buffer.
void data_token_starts();
// The token being scanned starts at p (null: none).
void token_start_at(char* p);
// A statement that a data section ended on is read (on 1), or not.
void statement_from_data(int on);
// Start of the line on which the current raw token began (for the context
// line of messages).
extern char* fc0;
// Raw tokens read so far; no syntax error is reported before the first.
extern int64_t yytokno;
// The scanner's push-back stack.
// Set on every change of source (an include begun or ended, a new
// top-level input), which ends the raw token being read.
extern int infile_changed;
void note_source_change();
extern unsigned char yysbuf[200];
extern unsigned char* yysptr;
// What the lexer holds came from inputs that ended: no raw token is
// pending (yylastc at nextc) and the push-back stack is empty.
void forget_pending_tokens();

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
// A message about the statement shows the position the lexer saved for it
// (onextc, otstart) in place of the current one, when it was saved for
// the current input (same_input), else the saved one is forgotten.
// back_from_saved_position puts back what show_saved_position returned
// and forgets the saved position it used.
struct shown_position {
  char* nextc;   // the current position replaced, or null
  char* tstart;  // the current token start replaced, or null
};
shown_position show_saved_position(bool same_input);
void back_from_saved_position(shown_position kept);

// State of the lexer and the grammar that these routines write: cmd_start
// is the lexer state (7: skip to the next ";"), from_data is set while a
// statement that a data section ended on is read; Curdclname and Oldval
// are the name being declared and its previous binding, restored when the
// declaration fails.
extern int32_t cmd_start;
// Parser state: 1 the word in tok is read again (reread_token, the data
// reader), 2 after an abort (lex_after_abort, the message core), 3 and 4
// the lexer's own; set_yy_special puts back a value kept across a
// compound's abort (session/cmdrec.cpp).
extern int yy_special;
void reread_token();
void lex_after_abort();
void set_yy_special(int s);
// The parser is called for the statements of an input: the lexer starts
// in the state of in_cmds (before or after the first command).
void lex_statements();
// The lexer's statement state (cmd_start and prompt2), which a nested
// reading level (session/execute.cpp) keeps and puts back.
struct lex_level {
  int32_t cmd_start;
  int32_t prompt2;
};
lex_level save_lex_level();
void restore_lex_level(lex_level l);
extern int32_t from_data;
extern symbol* Curdclname;
extern void* Oldval;
// A declaration's class calls this when it finishes: Curdclname is no
// longer being declared (a later failure leaves its binding alone).
void end_dcl_name();

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
