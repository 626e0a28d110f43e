// References to random variables: a draw, the text, the number.
#include "eval/randvar.h"

#include "eval/evalerr.h"
#include "eval/solval.h"
#include "frontend/funcbuild.h"
#include "frontend/vardcl.h"
#include "instance/members.h"
#include "report/prset.h"
#include "support/numfmt.h"
#include "support/text.h"

namespace vexo {

expr* rand_expr(const var* v, int32_t k) {
  const cvgen& g = v->gen;
  if ((v->flags & CV_ALLDROPPED) || !g.rand_exprs || k >= g.member_count)
    return nullptr;
  if (g.member_status && (g.member_status[k] & GS_DROPPED)) return nullptr;
  return g.rand_exprs[k];
}

namespace {

var* var_of(expr* e) { return static_cast<var*>(e->L.x); }

// The member arrays exist only once the variable is generated.
void need_generated(var* v, TVA* tva) {
  if (v->ninst < 0) badthing(tva, "ungenerated variable", v, nullptr);
}

// The member a subscripted reference names; an invalid subscript is
// reported and abandons the command.
int32_t member_of(expr* e, TVA* tva) {
  var* v = var_of(e);
  need_generated(v, tva);
  int32_t k = static_cast<int32_t>(eval(e->R.e, tva).i);
  if (k < 0) badsub2(e->R.e, v, tva);
  return k;
}

eval_result text_of(var* v, int32_t k, TVA* tva, bool sub) {
  if (expr* r = rand_expr(v, k)) return {.cs = sprex2(r)};
  return {.cs = new_cstring(gfmt(var_value(v, k, tva, sub), 0, nullptr))};
}

double number_of(expr* e, int32_t k, TVA* tva, bool sub) {
  var* v = var_of(e);
  if (expr* r = rand_expr(v, k)) cant_convert(e, randify1(r), tva);
  return var_value(v, k, tva, sub);
}

}  // namespace

eval_result f_OPSVEXOVAR(expr* e, TVA* tva) {
  var* v = var_of(e);
  if (expr* r = rand_expr(v, 0)) return {.d = eval_num(r, tva)};
  need_generated(v, tva);
  return {.d = var_value(v, 0, tva, false)};
}

eval_result f_OPSVEXOVARSUB(expr* e, TVA* tva) {
  int32_t k = member_of(e, tva);
  if (expr* r = rand_expr(var_of(e), k)) return {.d = eval_num(r, tva)};
  return {.d = var_value(var_of(e), k, tva, true)};
}

eval_result f_OPRANDVAR(expr* e, TVA* tva) {
  var* v = var_of(e);
  need_generated(v, tva);
  return text_of(v, 0, tva, false);
}

eval_result f_OPRANDVARSUB(expr* e, TVA* tva) {
  int32_t k = member_of(e, tva);
  return text_of(var_of(e), k, tva, true);
}

eval_result f_OPRANDVARNUM(expr* e, TVA* tva) {
  need_generated(var_of(e), tva);
  return {.d = number_of(e, 0, tva, false)};
}

eval_result f_OPRANDVARNUMSUB(expr* e, TVA* tva) {
  return {.d = number_of(e, member_of(e, tva), tva, false)};
}

}  // namespace vexo
