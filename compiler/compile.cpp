// The compilation bracket.
#include "compiler/compile.h"

#include "compiler/context.h"
#include "compiler/eexpr.h"
#include "compiler/massage.h"
#include "frontend/expr.h"

namespace vexo {

expr* one;
expr* negone;
eexpr* eone;
eexpr* enegone;
eexpr* epmone;
list* ee_rewlist;

// Stand-in: only the steps that give every compilation its constants.
void compile_start() {
  con[0].chain = nullptr;
  if (!one) {
    one = new_num(1.0);
    negone = new_num(-1.0);
    eone = massage(&one);
    enegone = massage(&negone);
    eone->flags |= EE_PERM;
    enegone->flags |= EE_PERM;
    epmone = con[0].chain;
    con[0].chain = nullptr;
  }
  eone->nuse = enegone->nuse = 1;
  ee_rewlist = nullptr;
}

void compile_init() {
  one = negone = nullptr;
  eone = enegone = epmone = nullptr;
  ee_rewlist = nullptr;
}

}  // namespace vexo
