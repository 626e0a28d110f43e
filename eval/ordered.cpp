// The order bits of a set expression, read from its structure.
#include "eval/ordered.h"

#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/paramdcl.h"

namespace vexo {

set* dbase[32];

// The flags of a set declaration.
static uint32_t sflags_of(const xnode* sd) {
  return static_cast<const setdcl*>(sd)->sflags;
}

int32_t ordered_set(set* s, int strict) {
  for (;;) {
    if (s->owner) {
      uint32_t f = sflags_of(s->owner);
      if (f & SET_ORDERED) return int32_t(f & SET_CIRCULAR);
    }
    switch (s->sclass) {
      case SC_SPEC:
      case SC_SPECSET: {
        if (strict && s->arity != 1) return 0;
        Index* ix = static_cast<set_spec*>(s)->first;
        if (!ix) return 0;
        // Every index but the last must be ordered; the last one decides.
        for (; ix->next; ix = ix->next)
          if (!ix->s || !ordered_set(ix->s, 0)) return 0;
        if (!ix->s) return 0;
        s = ix->s;
        continue;
      }
      case SC_RANGE:
      case SC_ORDERED:
      case SC_INTERVAL:
        return SET_ORDERED;
      case SC_DIFF:
        s = static_cast<set*>(static_cast<set2p*>(s)->f1);
        continue;
      case SC_IF: {
        set3p* c = static_cast<set3p*>(s);
        int32_t a = ordered_set(static_cast<set*>(c->f2), strict);
        if (!a) return 0;
        return ordered_set(static_cast<set*>(c->f3), strict) & a;
      }
      case SC_SUBSCR:
        return int32_t(
            sflags_of(static_cast<xnode*>(static_cast<set3p*>(s)->f1)) &
            SET_CIRCULAR);
      case SC_DB: {
        uint32_t lev = uint32_t(s->cword);
        if (lev >= 32 || !dbase[lev] || dbase[lev] == s) return 0;
        s = dbase[lev];
        continue;
      }
      default:
        return 0;
    }
  }
}

}  // namespace vexo
