// Synonyms: the built-in names that address the entities of the current
// problem by number (_var[3], _conname[1], _svar[2] ...).  Kinds below 6
// number the entities as the collected problem holds them (instance/ac.h),
// kinds 6 and above in the order of the problem file.
//
//   kind  value     name           counts up to
//   0     _var      _varname       _nvars
//   1               _symvar        _nsymvars
//   2     _con      _conname       _ncons
//   3     _logcon   _logconname    _nlogcons
//   4     _obj      _objname       _nobjs
//   6     _svar     _svarname      _snvars
//   7               _ssymvar       _snsymvars
//   8     _scon     _sconname      _sncons
//   9     _slogcon  _slogconname   _snlogcons
//   10    _sobj     _sobjname      _snobjs
//   12    _ccon     _cconname      _nccons
//   13    _scvar                   _sncons
#ifndef VEXO_EVAL_DOTVALUE_H
#define VEXO_EVAL_DOTVALUE_H

#include <cstdint>

#include "eval/dispatch.h"

namespace vexo {

struct expr;
struct TVA;

// The kind of synonym node e (OPSYNSUB, OPSYNNAME: L its symbol, R the
// subscript list) and, through *index, the entity's number in the
// collected problem's numbering (columns; rows; objectives from 0); the
// problem is brought to state 3 first.  Kinds 6 and above come back less
// 6.  Errors (the command is abandoned): a subscript that is text, not an
// integer or outside 1 .. count: "Can't evaluate _var[0]:\n\tsubscript
// not in 1 .. 3" ([%Q] for text, [%.g] for numbers).
int synkind(expr* e, TVA* tva, int32_t* index);

struct convar;

// The value of built-in suffix code (report/dotnames.h) of member k of d.
// Built so far: the variable codes but domain, int, rc, lrc, urc, init,
// init0 and dual; the constraint codes of a constraint with one row per
// member but dinit, dinit0 and status_num; the objective codes exitcode,
// result_num, sense_num and val; a logical constraint's val and val_num;
// any other code is a bug
// ("unexpected case %d in dotvalue").
double dotvalue(int code, convar* d, int32_t k, TVA* tva);

// OPSYNSUB 224 -> number: a variable's value (a stale defined one
// computed first), a constraint's dual (0 before a solve).  Logical
// constraints, objectives and complementarity entries have no value here
// yet (f_unbuilt).
eval_result f_OPSYNSUB(expr* e, TVA* tva);
// OPSYNNAME 227 -> string: the entity's name, a new string.
eval_result f_OPSYNNAME(expr* e, TVA* tva);

}  // namespace vexo

#endif  // VEXO_EVAL_DOTVALUE_H
