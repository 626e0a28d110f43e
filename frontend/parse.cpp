// The parser driver, the main parse loop and the statement builders of the
// grammar.
#include "frontend/parse.h"

#include <cstring>

#include "frontend/cmdbuild.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/grammar.h"
#include "frontend/lexer.h"
#include "frontend/neighbours.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "support/list.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

int32_t yynerrs;
int32_t errseen;
int32_t tablerw;
int32_t delpurge;
int32_t rumode;

const int parse_result_map[6] = {0, 3, 2, 3, 1, 3};

static int lexer_token() { return yylex(); }
int (*token_source)() = lexer_token;

// In file-name state the lexer takes any word as a file name, so a
// redirection written where an optional file name may stand (commands >
// f;) arrives as the file name ">" or ">>".  Such a word cannot name a file
// that a command could use; it is the redirection token, after which the
// grammar reads the file name.
static int redirect_marker(int t) {
  if (t != TK_FILENAME || !yylval.str) return t;
  const char* s = yylval.str->text();
  int r = !strcmp(s, ">") ? '>' : !strcmp(s, ">>") ? int(TK_GTGT) : t;
  if (r != t) zap_cstr(&yylval.str);
  return r;
}

int parser_next_token(yystype* value) {
  int t = redirect_marker(token_source());
  static_assert(sizeof *value == sizeof yylval);
  std::memcpy(value, &yylval, sizeof *value);
  return t;
}

int yyparse() {
  int32_t nerrs0 = yynerrs;
  lexval lval0 = yylval;
  yynerrs = 0;
  int code = -1;
  yyparser p(code);
  int r = p.parse();
  if (code >= 0) return code;  // an action's code leaves the state as it is
  yynerrs = nerrs0;
  yylval = lval0;
  return r == 0 ? YYP_EMPTY : YYP_ABORT;
}

int parse() {
  cmd_start = in_cmds;
  for (;;) {
    try {
      int r = yyparse();
      return r >= 0 && r <= 5 ? parse_result_map[r] : r;
    } catch (const command_abort&) {
      // The statement was abandoned; the abort has the reader inject ";;;"
      // (yy_special 2), which ends what is left of it.
      end_all_contexts();
      cmd_reset();
      cmd_start = in_cmds;
    }
  }
}

void parse_state_reset() {
  errseen = tablerw = delpurge = rumode = 0;
  yynerrs = 0;
}

void set_lexstate(int32_t state, bool lookahead_held) {
  if (lookahead_held)
    bug("lexer state %d set with a lookahead token held", state);
  cmd_start = state;
}

void set_rlook8(int32_t v, bool lookahead_held) {
  if (lookahead_held) bug("rlook8 set with a lookahead token held");
  rlook8 = v;
}

int end_of_input(int any) {
  if (!any) return in_cmds <= 1 ? YYP_EMPTY : YYP_CMDS;
  if (in_cmds <= 1) return YYP_DECLS;
  cmd_eof();
  if (in_cmds <= 1) return YYP_DECLS;
  return (!cmdout_set_hook() || !must_write()) ? YYP_CMDS : YYP_DECLS;
}

void command_begin() {
  in_cmds = 2;
  if (!(cmdstate && infile)) warn0 = warnings = 0;
}

// Data reading at top level: parsing goes on when the data section ended
// in a command; otherwise the input has ended.
static int read_data_here() {
  if (read_data()) {
    yylastc = nextc;
    return 0;
  }
  return in_cmds > 1 ? YYP_CMDS : YYP_DATA_END;
}

int data_stmt(expr* file) {
  if (cmdstate) {
    if (file)
      cmd("e", 1, CK_DATA, file);
    else
      error(0,
            "misplaced \"data;\", which cannot appear in a compound "
            "command.");
    return 0;
  }
  if (inslev) {
    cmd("e", 1, CK_DATA, file);
    return 0;
  }
  if (file) einclude(file, 0);
  return read_data_here();
}

int shell_stmt(expr* text, redirect* r) {
  cmd("ef", 2, CK_SHELL, text, r);
  if (!from_data) return 0;
  return read_data_here();
}

void commands_stmt(expr* file, redirect* r) {
  if (r && !file) {
    error(0, "Ignoring >... in commands without filename.");
    r = nullptr;
  }
  if (cmdstate || file) cmd("ef", 2, CK_COMMANDS, file, r);
}

int snapshot_bit(symbol* word) {
  static const char* const names[4] = {"model", "data", "options",
                                       "solution"};
  for (int i = 0; i < 4; ++i)
    if (!strcmp(word->name, names[i])) return 1 << i;
  error(0,
        "unknown snapshot argument: %s. Available arguments are: 'model', "
        "'data', 'options', and 'solution'.\n",
        word->name);
  return 256;
}

void snapshot_stmt(intptr_t bits, redirect* r) {
  if (!(bits & 256)) cmd("if", 2, CK_SNAPSHOT, static_cast<int>(bits), r);
}

expr* exit_value(expr* e) { return e ? e : new_num(0.); }

void stmt_error() {
  havestmt(0);
  end_all_contexts();
  dep_reset();
  cmd_reset();
  if (Curdclname) {
    Curdclname->binding = Oldval;
    Curdclname = nullptr;
  }
}

expr* push_expr(expr* chain, expr* e) {
  e->next = chain;
  return e;
}

expr* name_node(symbol* s) { return new_expr(opword(OP279), s); }

}  // namespace vexo
