// Regular expressions and the pattern built-ins match, sub and gsub.
//
// A pattern compiles into a small instruction program; the matcher runs
// every alternative of it at once over the text, one character at a time
// (a thread per live instruction, no backtracking), so its time grows
// linearly with the text whatever the pattern, and it reports the
// leftmost-longest match with the first nine parenthesised groups.
//
// Pattern syntax (characters are UTF-8, read as 16-bit runes):
//   c       the character c; \c quotes c, \n is a newline
//   .       any character but a newline;  @  any character
//   ^  $    the beginning / the end of a line (of the text, or next to a
//           newline)
//   [...]   a character of the class (a-z ranges, \ quotes); [^...] a
//           character outside it, never a newline
//   x* x+ x?  zero or more, one or more, zero or one;  x|y  either
//   (x)     a group: numbered 1, 2, ... by its opening parenthesis
//
// One program exists at a time: its block is reused by the next
// compilation, so compiling invalidates the previous program.  The pattern
// cache of match, sub and gsub holds that one program and its pattern.
#ifndef VEXO_EVAL_REGEXP_H
#define VEXO_EVAL_REGEXP_H

#include "eval/dispatch.h"
#include "support/utf8.h"
#include "eval/vexofunc.h"

namespace vexo {

struct Reprog;  // a compiled pattern; its layout is the engine's own

// Sub-match entries handed to the matchers, NSUBMATCH of them: entry 0 the
// whole match, 1..9 the first nine groups; an entry whose start is null
// did not take part.  On entry to a matcher, entry 0 may limit the text: a
// start says where matching begins (the text before it still counts for
// ^), an end where the text ends.
constexpr int NSUBMATCH = 10;
struct Resub {
  const char* sp;
  const char* ep;
};
struct Rresub {
  const Rune* sp;
  const Rune* ep;
};

// The compiled form of pattern, or null after a bad pattern was reported:
// the location of the evaluation in tva (mgwhere), then "bad regular
// expression: <what>".  What is wrong: "missing operand for <op>",
// "unmatched left paren", "unmatched right paren", "malformed '[]'",
// "too many subexpressions" (more than 31 groups), "too many character
// classes; limit 16", "operand stack overflow" and "Operator stack
// overflow" (more than 20 pending operands or operators: groups nested
// too deeply).  The caller abandons the command.
Reprog* regcomp1(const char* pattern, TVA* tva);

// Runs prog over the UTF-8 text (multi-byte characters are decoded) and
// fills mp[0..9] with the leftmost-longest match: 1 found, 0 none, -1 when
// more threads were live at once than the matcher keeps (100).  mp[0]
// limits the text as said above (both null: the whole text).
int regexec(Reprog* prog, const char* text, Resub* mp);
// The same over 16-bit characters ending with 0.
int rregexec(Reprog* prog, const Rune* text, Rresub* mp);

// The first occurrence of the character c in the UTF-8 text s, or null
// (also for c 0).
const char* utfrune(const char* s, Rune c);

// The pattern cache of match, sub and gsub: the pattern string of the last
// compiled pattern (one reference held here) and its program; both null
// when nothing is compiled.
extern cstr* Cur_regpat;
extern Reprog* Cur_regexp;

// Start-up and reset: forgets the program block (freed with the pools)
// and the cache.
void regexp_reinit();

// OPMATCH 137.  L: the text, R: the pattern (both strings).  -> number:
// the position, in characters from 1, where the leftmost-longest match
// starts; 0 when there is none.  Errors: a bad pattern, a pattern too
// complex for the matcher; both abandon the command.
eval_result f_OPMATCH(expr* e, TVA* tva);

// sub(text, pattern, replacement) and gsub(...): the text with its first
// (sub) or every (gsub) match replaced.  In the replacement & is the whole
// match, \0..\9 the text of a group (nothing when it took no part), \\ a
// backslash, \n a newline, \c the character c.  gsub goes on after each
// match from its end; after an empty match it copies one character first.
// Without a match the text's own string comes back (one more reference).
// Numeric arguments are taken as their text.  The string arguments of al
// must be texts of counted strings (as f_setup, eval/funcall.h, makes
// them).  Errors as for match.
cstr* cs_sub(arglist* al);
cstr* cs_gsub(arglist* al);

}  // namespace vexo

#endif  // VEXO_EVAL_REGEXP_H
