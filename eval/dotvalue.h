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

struct AC;
struct convar;
struct charblk;
struct cstr;
struct expr;
struct suffix;
struct symbol;
struct xname;
struct TVA;
struct xnode2;

// The kind of synonym syn subscripted by the list subs and, through
// *index, the entity's number in the collected problem's numbering
// (columns; rows; objectives from 0); the problem is brought to state 3
// first.  Kinds 6 and above come back less 6.  Errors (the command is
// abandoned): a subscript that is text, not an integer or outside
// 1 .. count: "Can't evaluate _var[0]:\n\tsubscript not in 1 .. 3" ([%Q]
// for text, [%.g] for numbers).
int synkind(const symbol* syn, expr* subs, TVA* tva, int32_t* index);
// Entry j (from 0, below syn_count) of synonym kind k in ac, as synkind
// gives it: the kind and, through *index, the entity's number.
int syn_entry(const AC* ac, int k, int32_t j, int32_t* index);
// How many entities synonym kind k numbers in ac; -1 for no such kind.
int32_t syn_count(const AC* ac, int k);
// The names that the entity numbers of kind k (as synkind returns it)
// index: columns (0), rows (2, 3, 6), objectives (4); null for another.
const xname* syn_names(const AC* ac, int k);

// The entity that element subs of the synonym syn names, as the target of
// a function's output argument: its declaration and, in *tuple, its
// member's subscript (null for a scalar).  Values go to the variables of
// _var and _svar and to the duals of _con and _scon; with suffix set also
// the objectives of _obj and _sobj take them.  Null for another synonym or
// an entity presolve added (it has no declaration).
xnode2* syn_target(const symbol* syn, expr* subs, TVA* tva, bool suffix,
                   symbol* const** tuple);

// What display shows at position pos (from 0) of synonym kind k for the
// display form of suffix code `code` on the whole array (OP256): the
// entity's declaration d and member k with the code moved to the row's
// side of a complementarity constraint; an entity presolve added has no
// declaration (d null) and its value v is what the collected problem holds
// of it.
struct syn_shown {
  xnode2* d;
  int32_t k;
  int code;
  double v;
};
syn_shown syn_display(AC* ac, int k, int32_t pos, int code, TVA* tva);

// Entity j of kind k (as syn_entry gives them): its value as the element
// of a value synonym array shows it (a variable's value, a constraint's
// dual, a logical constraint's or objective's body, a complementarity
// constraint's slack, a complementing variable's solver column); and its
// name as name array `syn` (the array's synonym code) gives it, null when
// the collected problem keeps no names of that kind.
double syn_value(AC* ac, int k, int32_t j, TVA* tva);
cstr* syn_name(AC* ac, int k, int32_t j, int syn);

// The value of built-in suffix code (report/dotnames.h) of member k of d
// (a variable, constraint, logical or complementarity constraint,
// objective or problem).  Members outside the current problem give their
// declared bounds, body, slacks and status, a dual and numbers 0.  A code
// named for printing only is an error ("suffix .%s has no value here");
// a code d's kind does not have is a bug ("unexpected case %d in
// dotvalue").
double dotvalue(int code, xnode2* d, int32_t k, TVA* tva);
// The text of a symbolic built-in suffix (astatus, status and their sides,
// an objective's or problem's message and result, an objective's sense):
// the status and sense tables' names, or the texts the last solve left
// ("?" when missing); one reference for the caller.  Any other code is a
// bug ("unexpected case %d in sdotvalue").
cstr* sdotvalue(int code, xnode2* d, int32_t k, TVA* tva);
// The text of sdotvalue copied into the caller's block chain *cb.
const char* cdotvalue(int code, xnode2* d, int32_t k, TVA* tva,
                      charblk** cb);
// Member k's value of declared suffix s: 0 when d has no values of s or
// none for k.  Values changed since their last check are checked against
// the suffix's conditions first (which may abandon the command).
double sufvalue(xnode2* d, suffix* s, int32_t k, TVA* tva);
// Member k's value of a variable, constraint or objective d as a whole
// item with display code `code` shows it: -2 its value (a variable's
// value, a constraint's dual, an objective's or logical constraint's
// body, a complementarity constraint's slack), else the suffix code
// (built-in codes of an objective negated, -1 its value).  A number goes
// to *v and null is returned; a text comes back with one reference.
cstr* member_code_value(convar* d, int code, int32_t k, TVA* tva, double* v);

// OPSYNSUB 224 -> number: a variable's value (a stale defined one
// computed first), a constraint's dual (those of rows presolve removed
// computed first), a logical constraint's or objective's body value, a
// complementarity constraint's slack, the solver column + 1 of the
// variable a row complements (0: none).
eval_result f_OPSYNSUB(expr* e, TVA* tva);
// OPSYNNAME 227 -> string: the entity's name, a new string.
eval_result f_OPSYNNAME(expr* e, TVA* tva);
// OPSYNDOT 225 -> number, OPSYNDOTSYM 226 -> string: the built-in suffix
// (L: the synonym node, its R the code; R: the subscripts) of the entry's
// member; an entity without a declaration gives what the collected
// problem holds of it (a blank text).
eval_result f_OPSYNDOT(expr* e, TVA* tva);
eval_result f_OPSYNDOTSYM(expr* e, TVA* tva);
// OPSYNSUF 228 -> number, OPSYNSUFSYM 229 -> string: the declared suffix
// (the synonym node's R) of the entry's member, 0 (its table's name for 0)
// when it has none.
eval_result f_OPSYNSUF(expr* e, TVA* tva);
eval_result f_OPSYNSUFSYM(expr* e, TVA* tva);

}  // namespace vexo

#endif  // VEXO_EVAL_DOTVALUE_H
