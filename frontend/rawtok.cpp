// The raw token reader.  Tokens are located in place in the line buffer
// (only strings are copied, into tok); a token being scanned is marked by
// tstart so that the line reader keeps it across a refill.  Blanks and
// comments never reach the scanner, and at most one separator per token
// does.
#include "frontend/rawtok.h"

#include <cstring>

#include "frontend/expr.h"
#include "frontend/reader.h"
#include "report/print.h"
#include "session/cmdrec.h"
#include "session/execute.h"
#include "session/include.h"
#include "session/infiles.h"
#include "session/located.h"
#include "session/loop.h"
#include "support/block.h"
#include "support/format.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/symbol.h"

namespace vexo {

unsigned char tok_type[256];
unsigned char tokstar_type[256];
char ibuf[512];
char* fc0;
int64_t yytokno;
unsigned char yysbuf[200];
unsigned char* yysptr = yysbuf;
const char* stmtfname;
int64_t stmtline;
int64_t stmtoffset;
int oinfno;
char* onextc;
char* otstart;
int32_t cmd_start = 1;
int32_t from_data;
symbol* Curdclname;
void* Oldval;

void init_tok_types() {
  memset(tok_type, 0, sizeof tok_type);
  tok_type[0] = 1;
  tok_type[static_cast<unsigned char>('#')] = 2;
  tok_type[static_cast<unsigned char>('"')] = 3;
  tok_type[static_cast<unsigned char>('\'')] = 3;
  for (int c = 0; c < 256; ++c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
        (c >= '0' && c <= '9') || c >= 128) {
      tok_type[c] = 4;
    }
  }
  for (const char* s = "_+-."; *s; ++s) {
    tok_type[static_cast<unsigned char>(*s)] = 4;
  }
  for (const char* s = "()[],*!@$%^=&|{}~`<>?\\"; *s; ++s) {
    tok_type[static_cast<unsigned char>(*s)] = 5;
  }
  tok_type[static_cast<unsigned char>(':')] = 6;
  tok_type[static_cast<unsigned char>('/')] = 7;
  tok_type[static_cast<unsigned char>(';')] = 8;
  memcpy(tokstar_type, tok_type, sizeof tokstar_type);
  tokstar_type[static_cast<unsigned char>('+')] = 2;
  tokstar_type[static_cast<unsigned char>('-')] = 2;
  tokstar_type[static_cast<unsigned char>('*')] = 4;
  tokstar_type[static_cast<unsigned char>('.')] = 46;
}

// The next character, refilling with next0(arg); next0_inbuf tells whether
// it can be put back by stepping nextc back.
static inline int getch(int arg) {
  if (nextc < lastc) {
    next0_inbuf = 1;
    return static_cast<unsigned char>(*nextc++);
  }
  return next0(arg);
}

// Text injected ahead of the input (yy_special 1 and 2) and its next
// character.  The injected characters are handed out one per call with
// yylastc at nextc, so that the input position never leaves the line
// buffer: an abort while they are read, an include or a refill cannot
// leave it in another buffer.
static char inject_text[512];
static const char* inject_next;

int quoted(int q) {
  tstart = nullptr;
  char* p = tok;
  auto put = [&p](int ch) {
    if (p >= tokend) p = bump_tok_k(p);
    *p++ = static_cast<char>(ch);
  };
  int pending = -1;  // a character read ahead, to be treated as usual
  for (;;) {
    int c = pending >= 0 ? pending : getch(2);
    pending = -1;
    if (c == q) {
      // The end of the source right after a closing quote ends the string
      // quietly; only an open string at the end of input is an error.
      int c2 = getch(4);
      if (c2 == q && next0_inbuf) {
        put(q);
        continue;
      }
      if (next0_inbuf) --nextc;
      break;
    }
    if (c == '\\') {
      int c2 = getch(2);
      if (c2 == '\n') {
        put('\n');
        continue;
      }
      if (c2 == '\r') {
        int c3 = getch(2);
        if (c3 == '\n') {
          put('\n');
          continue;
        }
        put('\\');
        put('\r');
        pending = c3;
        continue;
      }
      put('\\');
      pending = c2;
      continue;
    }
    if (c == '\n') {
      // The string ends before the newline; the message may abandon the
      // statement, so the token is complete before it is given.
      --nextc;
      *p = 0;
      yylastc = nextc;
      missing(q);
      return '"';
    }
    if (c != 0) put(c);
  }
  *p = 0;
  yylastc = nextc;
  return '"';
}

int yytok() {
  if (at_eof && nfs == 0) return 0;
  switch (yy_special) {
    case 2:
      // The statement was abandoned (or skipped): three semicolons end
      // what is left of it, and a comment being read is given up.
      strcpy(inject_text, ";;;");
      comment_kind = 0;
      inject_next = inject_text;
      yy_special = 3;
      yylastc = nextc;
      return ' ';
    case 1:
      Snprintf(inject_text, sizeof inject_text, "%s", tok);
      inject_next = inject_text;
      yy_special = 3;
      yylastc = nextc;
      return ' ';
    case 3:
      yylastc = nextc;
      if (inject_next && *inject_next)
        return static_cast<unsigned char>(*inject_next++);
      inject_next = nullptr;
      yy_special = 4;
      return ' ';
    case 4:
      yy_special = 0;
      break;
    default:
      break;
  }
  int c;
  for (;;) {
    tstart = nullptr;
    do c = getch(35);
    while (tok_type[c & 0xff] <= 1);
    if (c == '#') {
      if (at_eof && nfs <= ins_nfs) {
        yylastc = nextc;
        return 0;
      }
      comment_kind = '#';
      fc0 = firstc;
      int n = 0;
      for (;;) {
        c = getch(10);
        if (c == '\n') break;
        if (n < static_cast<int>(sizeof ibuf) - 1) {
          ibuf[n++] = static_cast<char>(c);
        }
      }
      ibuf[n] = 0;
      comment_kind = 0;
      incl_check();
      if (at_eof && nfs == 0) return 0;
      continue;
    }
    ++yytokno;
    tstart = nextc - 1;
    fc0 = firstc;
    if (c != '/') break;
    int changed = infile_changed;
    infile_changed = 0;
    int c2 = getch(2);
    bool switched = infile_changed != 0;
    infile_changed |= changed;
    if (c2 == '*' && !switched) {
      eat_comment();
      continue;
    }
    if (next0_inbuf) --nextc;
    if (switched || !next0_inbuf) {
      // The "/" ended its source: it is a token of its own, and the blank
      // that marks the new source comes with the next token.
      tstart = nullptr;
      yylastc = nextc;
      return '/';
    }
    break;
  }
  if (c == ';') {
    yylastc = nextc;
    goto done;
  }
  if (tok_type[c] == 3) return quoted(c);
  {
    char* cut = nullptr;  // where the token may end at the buffer's end
    for (;;) {
      int ch;
      if (nextc >= lastc) {
        if (cut) {
          yylastc = cut;
          break;
        }
        // A token as long as the line buffer could not be kept across the
        // refill: it ends here.
        if (lastc - tstart >= LINEBUF_ROOM - 1) {
          yylastc = nextc;
          break;
        }
        ch = next0(4);
        if (!next0_inbuf) {
          yylastc = nextc;
          break;
        }
      } else {
        ch = static_cast<unsigned char>(*nextc++);
      }
      switch (tok_type[ch]) {
        case 0:
          yylastc = nextc;
          goto done;
        case 4:
          continue;
        case 5:
        case 6:
          cut = nextc;
          continue;
        case 7:
          if (nextc < lastc) {
            if (*nextc == '*' && nextc - 1 != tstart) {
              // A comment follows: the scanner sees the token, a blank,
              // and the comment is skipped at the next call.
              yylastc = nextc - 1;
              inject_next = nullptr;
              yy_special = 3;
              goto done;
            }
            cut = nextc;
            continue;
          }
          yylastc = nextc - 1;
          goto done;
        case 8:
          cut = nextc;
          if (nextc == lastc) {
            yylastc = nextc;
            goto done;
          }
          continue;
        default:  // NUL, "#", a quote: the token ends before it
          if (ch == 0 && !(nextc - 2 >= tstart && nextc[-2] == 0)) {
            yylastc = nextc;  // a lone NUL goes with the token
          } else {
            yylastc = nextc - 1;
          }
          goto done;
      }
    }
  }
done:
  if (infile_changed) {
    infile_changed = 0;
    nextc = tstart;
    return ' ';
  }
  nextc = tstart + 1;
  return static_cast<unsigned char>(*tstart);
}

int yyinput() {
  if (yysptr > yysbuf) return *--yysptr;
  if (nextc < yylastc) return static_cast<unsigned char>(*nextc++);
  return yytok();
}

void yyunput(int c) {
  if (yysptr >= yysbuf + sizeof yysbuf) bug("yyunput: push-back overflow");
  *yysptr++ = static_cast<unsigned char>(c);
}

void yyoutput(int c) { Printf("%c", c); }

int yyback(const int* list, int n) {
  for (; *list; ++list) {
    if (*list == n) return 1;
  }
  return 0;
}

int lex_error_pending;

void yyerror(const char* msg) {
  lex_error_pending = 1;
  if (yytokno > 0) {
    errorstart("error_syntax");
    squawk(msg);
    errorend();
  }
  cmd_start = 7;
  from_data = 0;
  cmd_reset2();
}

expr* not_declared(symbol* s) {
  if (pr_cmd) pr_badnames = 1;
  error(0, "%s is not defined", s->name);
  pr_badnames = 0;
  if (Curdclname) {
    Curdclname->binding = Oldval;
    Curdclname = nullptr;
  }
  if (single_step < 1) bailout();
  return new_num(0.);
}

void stmtsave(int k) {
  if (!stmtfname && infname) {
    // A command-line argument lasts for the whole run; other names may be
    // freed when their source ends.
    stmtfname = (xargv && *xargv == infname) ? infname : tostring(infname);
  }
  stmtline = lineno;
  char* t = tstart;
  if (!t || t < firstc || t > lastc) t = firstc;
  stmtoffset = linestart + (t - firstc);
  if (k && cmdstate) {
    int32_t keep = cmd_start;
    start_check();
    cmd_start = keep;
  }
}

void abandon_rest(bool ended) {
  // Characters pushed back that were read from the line buffer just before
  // nextc are unread there instead.
  unsigned char* sp = yysptr;
  char* p = nextc;
  while (sp > yysbuf && p > firstc && p <= lastc &&
         static_cast<unsigned char>(p[-1]) == sp[-1]) {
    --sp;
    --p;
  }
  bool folded = sp == yysbuf && p <= yylastc;
  if (folded) {
    yysptr = yysbuf;
    nextc = p;
  }
  if (nextc >= yylastc) return;
  if (ended || !folded || nextc < firstc || yylastc > lastc) {
    yylastc = nextc;
    return;
  }
  // The statement's ";" is still ahead: the raw token up to it is the rest
  // of the abandoned statement, read (and dropped) before the injection.
  char* semi = static_cast<char*>(memchr(nextc, ';', yylastc - nextc));
  if (semi) yylastc = semi + 1;
}

void nextc_restore() {
  nextc = yylastc;
  inject_next = nullptr;
  yy_special = 0;
}

void rawtok_start() {
  yytokno = 0;
  yysptr = yysbuf;
  stmtfname = nullptr;
  stmtline = stmtoffset = 0;
  oinfno = 0;
  onextc = otstart = nullptr;
  from_data = 0;
  inject_next = nullptr;
  lex_error_pending = 0;
}

void rawtok_reset() {
  stmtfname = nullptr;
  Curdclname = nullptr;
  Oldval = nullptr;
}

}  // namespace vexo
