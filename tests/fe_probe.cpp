// Test vehicle of the front end: reads the files named on its command line
// (standard input when none) the way the translator does and prints what
// the front end makes of them, one item per line on standard output.
//
//   fe_probe [-raw] [-i] [-b] [--] [file ...]
//
//   -raw  raw tokens (the default), each line one of
//           T <line> [<text>]   a raw token as the scanner sees it: its
//                               first character and the rest up to its end
//           S <line> [<text>]   a quoted string, its text as stored
//           E                   the end of all input
//         <line> is the reader's line number when the token was returned;
//         in <text> a backslash, "]" and the characters below 32 or above
//         126 are written as \\, \], \n, \t, \r or \xHH.
//   -i    force the session to count as interactive (prompts are shown)
//   -b    block mode: standard input is read in blocks, output is framed
//
// Messages go to standard error as the translator writes them; the exit
// code is the session's.  The format of the lines above is relied on by
// tests: extend it, never change it.
#include <cstdio>
#include <cstring>
#include <string>

#include "frontend/neighbours.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "support/block.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/scratch.h"
#include "support/symbol.h"

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

int probe(int argc, char** argv) {
  int i = 1;
  bool force_interactive = false;
  for (; i < argc && argv[i][0] == '-' && argv[i][1]; ++i) {
    if (!strcmp(argv[i], "--")) {
      ++i;
      break;
    }
    if (!strcmp(argv[i], "-raw")) continue;
    if (!strcmp(argv[i], "-i")) {
      force_interactive = true;
    } else if (!strcmp(argv[i], "-b")) {
      blockmode = 1;
    } else {
      Fprintf(Stderr, "fe_probe: unknown option %s\n", argv[i]);
      return 1;
    }
  }
  interactive = force_interactive || blockmode;
  scratch_init();
  symbols_init();
  init_tok_types();
  neighbours_init();
  reader_reset();
  set_input_files(argv + i);
  parse_time = 1;
  int code = 0;
  try {
    nextfile_hook(0, 0);
    raw_tokens();
    code = rc;
    myexit_hook(code);
    exit1(code);
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
