// Presolve's message buffer, its hand-over, the run's clean-up and the
// summary.
#include "presolve/psmsg.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "data/values.h"
#include "frontend/decl.h"
#include "frontend/paramdcl.h"
#include "instance/ac.h"
#include "presolve/presolve.h"
#include "session/located.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "support/block.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/pool.h"
#include "support/text.h"

namespace vexo {

cstr* ps_warnings;

// Size class of the first buffer: 8192 bytes, 8184 of text.
constexpr int PSW_CLASS = 10;

static size_t ps_room(const cstr* b) {
  return (size_t{8} << b->k) - sizeof(cstr);
}

static int ps_vwarning(const char* fmt, va_list ap) {
  if (!ps_warnings) {
    ps_warnings = static_cast<cstr*>(new_mblk(PSW_CLASS));
    ps_warnings->k = PSW_CLASS;
    ps_warnings->refcnt = 0;
    ps_warnings->text()[0] = 0;
  }
  cstr* b = ps_warnings;
  size_t used = b->refcnt;
  va_list ap2;
  va_copy(ap2, ap);
  int n = Vsnprintf(b->text() + used, ps_room(b) - used, fmt, ap);
  if (n >= 0 && used + size_t(n) + 1 > ps_room(b)) {
    // The text did not fit: a block holding old text, new text and the
    // NUL, the old text copied and the new formatted again.
    int k = htcl(sizeof(cstr) + used + size_t(n) + 1);
    cstr* nb = static_cast<cstr*>(new_mblk(k));
    nb->k = uint32_t(k);
    std::memcpy(nb->text(), b->text(), used);
    Vsnprintf(nb->text() + used, ps_room(nb) - used, fmt, ap2);
    del_mblk(int(b->k), b);
    ps_warnings = b = nb;
  }
  va_end(ap2);
  if (n > 0) b->refcnt = uint32_t(used + size_t(n));
  return n;
}

int ps_warning(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int n = ps_vwarning(fmt, ap);
  va_end(ap);
  return n;
}

bool ps_report(const char* fmt, ...) {
  if (warnings >= warnmax) {
    ++complained;
    return false;
  }
  va_list ap;
  va_start(ap, fmt);
  ps_vwarning(fmt, ap);
  va_end(ap);
  ps_warninc(1);
  return true;
}

void ps_warninc(int bit) {
  char cur[48];
  if (blockmode) Snprintf(cur, sizeof cur, "%s", blockname);
  warninc(bit);
  if (blockmode) blockstart(cur);
}

void ps_warnings_drop() {
  if (ps_warnings) del_mblk(int(ps_warnings->k), ps_warnings);
  ps_warnings = nullptr;
}

// Makes s (one reference passed in) the value of _presolve_messages.
static void set_messages(cstr* s) {
  symval* v = presolve_msgs ? static_cast<symval*>(presolve_msgs->vals)
                            : nullptr;
  if (!v) {
    zap_cstr(&s);
    return;
  }
  if (v->str != s) zap_cstr(&v->str);
  else --s->refcnt;
  v->str = s;
  v->sym = nullptr;
}

void dump_ps_warnings() {
  cstr* b = ps_warnings;
  if (!b) return;
  ps_warnings = nullptr;
  b->refcnt = 1;
  set_messages(b);
  if (!show_presolve_messages) return;
  if (Stderr != stdout) std::fflush(stdout);
  if (blockmode) {
    char prev[48];
    Snprintf(prev, sizeof prev, "%s", blockname);
    blockstart("error_presolve");
    Fprintf(Stderr, "%s", b->text());
    blockstart(prev);
  } else {
    Fprintf(Stderr, "%s", b->text());
    std::fflush(Stderr);
  }
}

void pstempzap(void* arg) {
  if (ps_warnings) {
    dump_ps_warnings();
  } else if (Blank) {
    ++Blank->refcnt;
    set_messages(Blank);
  }
  ps_scratch* s = static_cast<ps_scratch*>(arg);
  if (plogfile && plogfile != stdout) std::fclose(plogfile);
  plogfile = nullptr;
  if (!s) return;
  for (int i = 0; i < s->n; ++i)
    if (s->blk[i]) del_mblk(s->k[i], s->blk[i]);
  free_list(s->cells);
  del_mblk(s->self_k, s);
}

void ps_summary(const Presolve* P) {
  const AC* ac = P->ac;
  int nrows = ac->n_con + ac->n_obj;
  int kept = P->nrkept;  // ranges kept in the first pair
  ps_warning("presolve results%s:\n",
             kept ? " with option var_bounds 1 or 2" : "");
  ps_warning("\tvariables omitted:\t%d\n\tconstraints omitted:\t%d",
             P->nvars0 - P->nfv, nrows - P->ac->n_obj - P->nfc);
  if (kept)
    ps_warning(" or %d\n\tranges relaxed:\t\t%d or %d\n"
               "\tbounds improved:\t%d or %d\n",
               nrows - ac->n_obj - P->nfc2, P->nrelax - kept, P->nrelax,
               P->nbimp - kept, kept);
  else
    ps_warning("\n\tranges relaxed:\t\t%d\n\tbounds improved:\t%d\n",
               P->nrelax, P->nbimp);
  if (P->npass)
    ps_warning("\tnba cycles:\t\t%d\n\tbound row scans:\t%d\n"
               "\trow-scan updates:\t%d\n",
               P->npass, P->nscan, nbud);
  if (kept) ps_warning("\tranges kept:\t\t%d\n", kept);
  if (P->ncompl)
    ps_warning("%d of %d complementarity conditions decided.\n",
               P->ncompl - P->nundecided, P->ncompl);
  if (P->nlogtrue)
    ps_warning("\tLogical constraints eliminated because always true: %d\n",
               P->nlogtrue);
}

}  // namespace vexo
