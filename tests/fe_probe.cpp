// Test vehicle of the front end: reads the files named on its command line
// (standard input when none) the way the translator does and prints what
// the front end makes of them, one item per line on standard output.
//
//   fe_probe [-raw|-tok|-parse] [-param NAME] [-nohexfp] [-i] [-b] [--]
//            [file ...]
//
//   -raw  raw tokens (the default), each line one of
//           T <line> [<text>]   a raw token as the scanner sees it: its
//                               first character and the rest up to its end
//           S <line> [<text>]   a quoted string, its text as stored
//           E                   the end of all input
//         <line> is the reader's line number when the token was returned;
//         in <text> a backslash, "]" and the characters below 32 or above
//         126 are written as \\, \], \n, \t, \r or \xHH.
//   -tok  tokens of the lexer, each line one of
//           K <code> <kind> [<text>]
//         <kind> says what the value is: char (a one-character token),
//         name (an undeclared name, a name at a statement start or a plain
//         name: its symbol), number (the value, shortest form), string,
//         word, optname, file (the string value), decl (a declared name:
//         the declaration's name), op (the value as an integer: comparison
//         and iterated-logic op words, reserved words' values), kw (any
//         other token: the lexeme), end (the end of input, no text);
//         or A when the command was abandoned (reading goes on).
//         After each ";" the statement starts anew, as the grammar has it.
//   -parse  what the parser makes of the input, each line one of
//           cmd ...       a command record as the record printer writes it
//                         (session/cmdlist.h; the records of a compound
//                         below it, indented), instead of running it
//           P <result>    yyparse's result (the input ended, or an action
//                         ended the parse with this code)
//           A             a statement was abandoned (parsing goes on)
//   -param NAME   (with -tok) declare NAME as a scalar parameter first
//   -nohexfp      (with -tok) set option no_hexfp
//   -i    force the session to count as interactive (prompts are shown)
//   -b    block mode: standard input is read in blocks, output is framed
//
// Messages go to standard error as the translator writes them; the exit
// code is the session's.  The format of the lines above is relied on by
// tests: extend it, never change it.
#include <cstdio>
#include <cstring>
#include <string>

#include "frontend/cmdbuild.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/lexer.h"
#include "frontend/parse.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "session/execute.h"
#include "session/infiles.h"
#include "session/loop.h"
#include "session/startup.h"
#include "support/block.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {
namespace {

void escape(std::string& out, const char* s, size_t n) {
  static const char hex[] = "0123456789abcdef";
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case ']':
        out += "\\]";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 32 || c > 126) {
          out += "\\x";
          out += hex[c >> 4];
          out += hex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
}

// Prints raw tokens until the end of all input.
void raw_tokens() {
  for (;;) {
    int c;
    try {
      c = yytok();
    } catch (const command_abort&) {
      Printf("A\n");  // the command was abandoned; reading goes on
      continue;
    }
    if (c == 0) {
      Printf("E\n");
      return;
    }
    std::string line;
    long ln = static_cast<long>(lineno);
    if (c == '"') {
      line = "S " + std::to_string(ln) + " [";
      escape(line, tok, strlen(tok));
    } else {
      line = "T " + std::to_string(ln) + " [";
      char first = static_cast<char>(c);
      escape(line, &first, 1);
      if (nextc < yylastc) {
        escape(line, nextc, static_cast<size_t>(yylastc - nextc));
      }
      nextc = yylastc;  // consumed, as the scanner would
    }
    line += "]\n";
    Printf("%s", line.c_str());
  }
}

// ---------------------------------------------------------------------------
// Token mode

// A token that the remap tables give a declared name.
bool is_decl_token(int t) {
  for (int k = 2; k < 32; ++k) {
    if (t == static_cast<int>(rvfix1[k]) || t == static_cast<int>(rvfix2[k]))
      return true;
  }
  return false;
}

// One line per token: "K <code> <kind> [<text>]".
void print_token(int t) {
  std::string line = "K " + std::to_string(t) + " ";
  auto text = [&line](const char* kind, const char* s) {
    line += kind;
    line += " [";
    escape(line, s, strlen(s));
    line += "]";
  };
  char num[40];
  switch (t) {
    case 0:
      line += "end";
      break;
    case TK_NEWNAME:
    case TK_STMT_NEWNAME:
    case TK_PLAINNAME:
      text("name", yylval.sym->name);
      break;
    case TK_NUMBER:
      g_fmt(num, yylval.d, 0);
      text("number", num);
      break;
    case TK_STRING:
      text("string", yylval.str->text());
      break;
    case TK_WORD:
      text("word", yylval.str->text());
      break;
    case TK_OPTNAME:
      text("optname", yylval.str->text());
      break;
    case TK_FILENAME:
      text("file", yylval.str->text());
      break;
    case TK_COMPARE:
    case TK_ITLOGIC:
    case TK_MINMAX:
    case TK_TYPEWORD:
    case TK_INOUT:
      line += "op " + std::to_string(static_cast<long>(yylval.i));
      break;
    default:
      if (t > 0 && t < 256) {
        char c = static_cast<char>(t);
        line += "char [";
        escape(line, &c, 1);
        line += "]";
      } else if (is_decl_token(t) && yylval.p && yylval.p != Symbol0(yytext)) {
        text("decl", yylval.x->name->name);
      } else {
        text("kw", yytext);
      }
  }
  line += "\n";
  Printf("%s", line.c_str());
}

// Prints the lexer's tokens until the end of input.  Nothing parses them,
// so the probe stands in for the grammar where it steers the lexer: a ";"
// ends the statement.
void tokens() {
  for (;;) {
    int t;
    yylval.p = nullptr;
    try {
      t = yylex();
    } catch (const command_abort&) {
      Printf("A\n");
      continue;
    }
    print_token(t);
    if (t == 0) return;
    if (t == ';' && cmd_start != CS_SKIPPED) cmd_start = CS_START;
  }
}

// Parse mode: the records the grammar builds, then the parser's result; a
// statement abandoned by an error is reported and parsing goes on.
void parse_events() {
  exec_listing = stdout;
  cmd_start = in_cmds;
  for (;;) {
    try {
      Printf("P %d\n", yyparse());
      return;
    } catch (const command_abort&) {
      Printf("A\n");
      end_all_contexts();
      cmd_reset();
      cmd_start = in_cmds;
    }
  }
}

// A scalar parameter named name, as a declaration would leave it.
void declare_param(const char* name) {
  xnode* x = static_cast<xnode*>(Malloc(sizeof(xnode)));
  memset(static_cast<void*>(x), 0, sizeof(xnode));
  x->kind = DK_PARAM;
  x->name = Symbol(name, 1);
  x->oldval = x->name->binding;
  x->num = dac.next++;
  dac.bynum[x->num] = x;
  x->name->binding = x;
}

int probe(int argc, char** argv) {
  int i = 1;
  bool force_interactive = false;
  bool tok_mode = false;
  bool parse_mode = false;
  const char* params[16];
  int nparams = 0;
  // A new session's state (the one start-up list); the options below
  // change it as the command line would.
  init_tok_types();
  init_modules(1);
  for (; i < argc && argv[i][0] == '-' && argv[i][1]; ++i) {
    if (!strcmp(argv[i], "--")) {
      ++i;
      break;
    }
    if (!strcmp(argv[i], "-raw")) continue;
    if (!strcmp(argv[i], "-tok")) {
      tok_mode = true;
    } else if (!strcmp(argv[i], "-parse")) {
      tok_mode = parse_mode = true;
    } else if (!strcmp(argv[i], "-nohexfp")) {
      no_hexfp = 1;
    } else if (!strcmp(argv[i], "-param") && i + 1 < argc && nparams < 16) {
      params[nparams++] = argv[++i];
    } else if (!strcmp(argv[i], "-i")) {
      force_interactive = true;
    } else if (!strcmp(argv[i], "-b")) {
      blockmode = 1;
    } else {
      Fprintf(Stderr, "fe_probe: unknown option %s\n", argv[i]);
      return 1;
    }
  }
  interactive = force_interactive || blockmode;
  // The prompts the option table gives an interactive session.
  static const char* const prompt_texts[6] = {"vexo: ",      "vexo? ",
                                              "vexo data: ", "vexo data? ",
                                              "%s vexo: ",   "%s vexo? "};
  for (int k = 0; k < 6; ++k) prompt0[k] = interactive ? prompt_texts[k] : "";
  // The arguments left are the inputs, read in order; none: standard
  // input.
  xargv = argv + i - 1;
  read_options = argv[i] == nullptr;
  parse_time = 1;
  int code = 0;
  if (tok_mode)
    for (int k = 0; k < nparams; ++k) declare_param(params[k]);
  try {
    nextfile(0, 0);
    if (parse_mode) {
      parse_events();
    } else if (tok_mode) {
      tokens();
    } else {
      raw_tokens();
    }
    myexit(rc);
  } catch (const session_exit& e) {
    code = e.code;
  } catch (const command_abort&) {
    code = rc | 2;
  }
  fflush(stdout);
  fflush(Stderr);
  return code;
}

}  // namespace
}  // namespace vexo

int main(int argc, char** argv) {
  vexo::Init_Stderr();
  vexo::Mach();
  return vexo::probe(argc, argv);
}
