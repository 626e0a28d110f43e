// The read command.
#include "data/readcmd.h"

#include "data/datatok.h"
#include "eval/optab.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "session/cmdfiles.h"
#include "session/cmdrec.h"
#include "session/let.h"
#include "session/located.h"
#include "support/message.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

// Whether e is a reference to a param (numeric or symbolic); *whole is set
// when it names an indexed param without subscripts.
bool param_ref(const expr* e, bool* whole) {
  *whole = false;
  switch (opcode(e)) {
    case OPPARSUB:
    case OPSPARSUB:
    case OPSPARSUBSTR:
      return true;
    case OPPAR:
    case OPSPAR:
    case OPSPARSTR:
      *whole = (e->L.x->kind & 1) != 0;
      return true;
    case OPXNODE:  // an indexed param named alone (frontend whole_entry)
      *whole = true;
      return true;
    default:
      return false;
  }
}

// Checks the plain items of a list (nested groups only where nest allows).
bool items_ok(expr* items, bool nest) {
  for (expr* e = items; e; e = e->next) {
    if (opcode(e) != OPARG) return false;
    if (e->L.ss) {
      if (!nest || !items_ok(e->R.e, false)) return false;
      continue;
    }
    bool whole;
    if (!e->R.e || !param_ref(e->R.e, &whole)) return false;
    if (whole) {
      error(0, "%s must be subscripted in read commands",
            e->R.e->L.x->name->name);
      return false;
    }
  }
  return true;
}

[[noreturn]] void expected(const char* what) {
  error(0, "\"read\" command error: expected a %s", what);
  bailout();
}

}  // namespace

bool readadj(set_spec* ix, expr* items) {
  // A warning above has already been given.
  int w = warnings;
  if (items_ok(items, !ix)) return true;
  if (warnings == w) error(0, "invalid read item(s)");
  return false;
}

void readcmd(set_spec* ix, expr* items, redirect* r) {
  if (!readadj(ix, items)) return;
  cmd_xrf(CK_READ, ix, items, r);
}

read_value read_next(bool sym) {
  int t = token();
  if (t == ',') t = token();
  read_value v{};
  if (t == DT_NUMBER) {
    v.num = tok_number();
    v.sym.sym = Number(v.num);
    return v;
  }
  if (!sym || t != DT_WORD)
    expected(sym ? "number, symbol or string" : "number");
  v.sym.str = new_cstring(tok);
  return v;
}

void read_cmd(set_spec* ix, expr* items, redirect* r, xrecomp* xr) {
  tok_init();
  if (r) read_file(r, xr);
  if (ix) {
    let_read(ix, items, 1, xr);
  } else {
    for (expr* e = items; e; e = e->next) {
      if (e->L.ss)
        let_read(e->L.ss, e->R.e, 1, xr);
      else
        let_read(nullptr, e, 0, xr);
      cmdxreset(xr, nullptr);
    }
  }
  read_end();
}

}  // namespace vexo
