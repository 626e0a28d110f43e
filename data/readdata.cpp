// Data mode: the statement loop, default symbols, error reports and dotted
// names.
#include "data/readdata.h"

#include <cstdarg>
#include <cstring>

#include "data/ceq.h"
#include "data/datatok.h"
#include "data/spdata.h"
#include "data/values.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "frontend/suffix.h"
#include "instance/sufdecl.h"
#include "session/cmdfiles.h"
#include "session/execute.h"
#include "session/include.h"
#include "session/infiles.h"
#include "session/located.h"
#include "session/loop.h"
#include "support/block.h"
#include "support/format.h"
#include "support/message.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

int log_data;
int endjump;

int datanfs = -1;
const char* parskip = ".";
int parquote;

// ---- messages --------------------------------------------------------------

static mstr* squawk_buf;

static void vsquawk(const char* fmt, va_list ap) {
  mstr_free(&squawk_buf);
  vmprintf(&squawk_buf, fmt, ap);
  errorstart("error_data");
  squawk(mstr_val(squawk_buf));
}

void Squawk(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vsquawk(fmt, ap);
  va_end(ap);
}

void skip(int t) {
  while (t != DT_SEMI) t = token();
}

void bad(int t, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vsquawk(fmt, ap);
  va_end(ap);
  skip(t);
}

// ---- default symbols -------------------------------------------------------

constexpr int DNBUF_SIZE = 160;
constexpr int DN_LEVELS = 20;
static char dnbuf[DNBUF_SIZE];
static int dnpos;  // where the next pushed text goes
static int ndns;   // pushed levels
struct dn_level {
  const char* parskip;  // the default symbol before the push
  int parquote;
  int pos;  // dnpos before the push
};
static dn_level dnlev[DN_LEVELS];
static int dnuf;  // an underflow was reported since the last push
static char dnshow[DNBUF_SIZE + 2];

int is_dflt_sym(int t) {
  return (t == DT_WORD || t == DT_NUMBER) && *parskip && *tok == *parskip &&
         tokquote == parquote && !std::strcmp(tok, parskip);
}

const char* dflt_sym_text() {
  if (!parquote) return parskip;
  Snprintf(dnshow, sizeof dnshow, "%c%s%c", parquote, parskip, parquote);
  return dnshow;
}

static void push_dn(const char* text, int quote) {
  int n = static_cast<int>(std::strlen(text)) + 1;
  if (dnpos + n > DNBUF_SIZE || ndns >= DN_LEVELS) {
    Squawk("defaultsym stack overflow; stack flushed.");
    // The first level keeps what stood before any push.
    if (ndns > 0) {
      parskip = dnlev[0].parskip;
      parquote = dnlev[0].parquote;
    }
    ndns = 0;
    dnpos = 0;
    if (n > DNBUF_SIZE) n = DNBUF_SIZE;  // a text that can never fit is cut
  }
  dnlev[ndns++] = {parskip, parquote, dnpos};
  std::memcpy(dnbuf + dnpos, text, static_cast<size_t>(n - 1));
  dnbuf[dnpos + n - 1] = 0;
  parskip = dnbuf + dnpos;
  parquote = quote;
  dnpos += n;
  dnuf = 0;
}

void setdn(int push) {
  int t = token();
  if (push) {
    if (t == DT_SEMI) {
      if (ndns > 0) {
        dn_level& l = dnlev[--ndns];
        parskip = l.parskip;
        parquote = l.parquote;
        dnpos = l.pos;
      } else {
        if (!dnuf) Squawk("defaultsym stack underflow");
        dnuf = 1;
        parskip = ".";
      }
      return;
    }
    if (t != DT_WORD && t != DT_NUMBER) {
      bad(t, "expected ; or default name");
      return;
    }
    push_dn(tok, tokquote);
    t = token();
  } else {
    push_dn("", 0);
  }
  if (t != DT_SEMI) Squawk("expected ;");
}

// ---- dotted names ----------------------------------------------------------

const char* sufchk(xnode* e, const char* name, int* kind) {
  static const char* const varsuf[2] = {"init", "val"};
  static const char* const consuf[2] = {"dinit", "dual"};
  const char* const* builtin = nullptr;
  switch (e->kind & ~1u) {
    case DK_VAR:
    case DK_SVAR:
      builtin = varsuf;
      break;
    case DK_CON:
      builtin = consuf;
      break;
    case DK_OBJ:
    case DK_PROB:
      break;
    default:
      return msgBf("%s is not a variable, constraint, objective, or problem b",
                   e->name->name);
  }
  // name_num stands for name.
  char base[128];
  size_t n = std::strlen(name);
  if (n > 4 && n - 4 <= 127 && !std::strcmp(name + n - 4, "_num")) {
    std::memcpy(base, name, n - 4);
    base[n - 4] = 0;
    name = base;
  }
  if (builtin) {
    if (!std::strcmp(name, builtin[0])) {
      *kind = 1;
      return nullptr;
    }
    if (!std::strcmp(name, builtin[1])) {
      *kind = 0;  // no current values are kept apart from the data yet
      return nullptr;
    }
  }
  int symbolic;
  if (suffix* s = getsuf(name, &symbolic)) {
    *kind = s->classnum + 3;
    return nullptr;
  }
  return msgBf("%s is not an assignable suffix.", name);
}

// ---- the statement loop ----------------------------------------------------

// The statements of data mode until a word hands it back (returns 1).
static int statements() {
  for (;;) {
    endjump = 2;
    prompt_afresh();
    set_eofmsg(nullptr);
    Typeinit = tokstar_type;
    int t = token();
    endjump = 1;
    if (t != DT_WORD || tokquote) {
      if (t != DT_SEMI) bad(t, "expected set, param, [no]defaultsym or end");
      continue;
    }
    if (!std::strcmp(tok, "set")) {
      Typeinit = tok_type;
      do_sp(token(), 0);
    } else if (!std::strcmp(tok, "param") || !std::strcmp(tok, "var")) {
      t = token();
      if (t == DT_COLON ||
          (t == DT_WORD && !tokquote && !std::strcmp(tok, "default")))
        do_ceq(t);
      else
        do_sp(t, 1);
    } else if (!std::strcmp(tok, "defaultsym")) {
      Typeinit = tok_type;
      setdn(1);
    } else if (!std::strcmp(tok, "nodefaultsym")) {
      Typeinit = tok_type;
      setdn(0);
    } else if (!std::strcmp(tok, "end")) {
      end_file();
    } else {
      if (!std::strcmp(tok, "shell")) statement_from_data(1);
      reread_token();
      return 1;
    }
  }
}

int read_data() {
  statement_from_data(0);
  int saved_datanfs = datanfs;
  datanfs = nfs;
  forget_read_cmd();
  tok_init();
  int* saved_log = data_parse_begin(&log_data);
  const char** saved_prompts = switch_prompts(prompt0 + 2);
  last_tok = 0;
  int result = 0;
  auto leave = [&] {
    switch_prompts(saved_prompts);
    data_parse_end(saved_log);
    endjump = 0;
    set_eofmsg(nullptr);
    Typeinit = tok_type;
    datanfs = saved_datanfs;
  };
  try {
    result = statements();
  } catch (const data_end& e) {
    // The code is rc + 1 for an orderly end, rc + 3 for an end inside a
    // construct, which marks the return code with 2 (rc may have changed
    // since the code was made: only that bit is taken from it).  An end
    // an interrupt made is no error.
    if (!gotbreak) set_rc_bit((e.code - 1) & 2);
    // Between statements, or when the data section's own input ended (the
    // input stack popped it), the parser goes on.
    result = (endjump == 2 || nfs < datanfs) && !inslev;
  } catch (...) {
    leave();
    throw;
  }
  leave();
  // An interrupt ended the data file: reported here, as a command's
  // would be, before the input it was read from goes on (a running
  // command reports it itself when it ends).
  if (gotbreak && !inslev && cmdnum == 0) break_notice();
  return result;
}

void readdata_reset() {
  parskip = ".";
  parquote = 0;
  ndns = dnpos = dnuf = 0;
  datanfs = -1;
  tok_init();
  squawk_buf = nullptr;
  values_reset();
}

void readdata_start() {
  log_data = 0;
  endjump = 0;
}

}  // namespace vexo
