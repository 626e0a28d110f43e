// The keyword, reserved-word, statement-word and built-in name tables, and
// parse_init.
#include "frontend/keywords.h"

#include <functional>

#include "eval/builtin.h"
#include "eval/dispatch.h"
#include "eval/random.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "instance/problem.h"
#include "session/sysdecls.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/symbol.h"

namespace vexo {

// Op word of a built-in function row: opcode above nine flag bits.
static constexpr uint32_t fop(int opcode, uint32_t flags = 2) {
  return static_cast<uint32_t>(opcode) << 9 | flags;
}

kw_row init_tab[N_INIT_TAB] = {
    // Built-in functions; the op word of their call node.
    {"int", BK_FUNC1, fop(13)},
    {"floor", BK_FUNC1, fop(13)},
    {"ceil", BK_FUNC1, fop(14)},
    {"abs", BK_FUNC1, fop(15)},
    {"tanh", BK_FUNC1, fop(37)},
    {"tan", BK_FUNC1, fop(38)},
    {"sqrt", BK_FUNC1, fop(39)},
    {"sinh", BK_FUNC1, fop(40)},
    {"sin", BK_FUNC1, fop(41)},
    {"log10", BK_FUNC1, fop(42)},
    {"log", BK_FUNC1, fop(43)},
    {"exp", BK_FUNC1, fop(44)},
    {"cosh", BK_FUNC1, fop(45)},
    {"cos", BK_FUNC1, fop(46)},
    {"atanh", BK_FUNC1, fop(47)},
    {"atan2", BK_FUNC2, fop(48)},
    {"atan", BK_FUNC1, fop(49)},
    {"asinh", BK_FUNC1, fop(50)},
    {"asin", BK_FUNC1, fop(51)},
    {"acosh", BK_FUNC1, fop(52)},
    {"acos", BK_FUNC1, fop(53)},
    {"precision", BK_FUNC2, fop(56)},
    {"round", BK_FUNC2, fop(57)},
    {"trunc", BK_FUNC2, fop(58)},
    {"char", BK_FUNC1, fop(130, 16)},
    {"arity", BK_FUNC1, fop(132)},
    {"ichar", BK_FUNC1, fop(133)},
    {"length", BK_FUNC1, fop(134)},
    {"num", BK_FUNC1, fop(135)},
    {"num0", BK_FUNC1, fop(136)},
    {"match", BK_FUNC2, fop(137)},
    {"indexarity", BK_FUNC1, fop(138)},
    {"environindexarity", BK_FUNC1, fop(139)},
    {"tableindexarity", BK_FUNC1, fop(140)},
    // Descriptors of the variable-reference opcodes.
    {"v.", BK_FUNC1, fop(87, 6)},
    {"v.", BK_FUNC1, fop(88, 5)},
    // Count params: byte offset of the count in the problem statistics.
    {"_nccons", BK_COUNTPARAM, 36},
    {"_ncons", BK_COUNTPARAM, 72},
    {"_nlog_algcons", BK_COUNTPARAM, 88},
    {"_nlogcons", BK_COUNTPARAM, 84},
    {"_nobjs", BK_COUNTPARAM, 408},
    {"_npre_log_algcons", BK_COUNTPARAM, 92},
    {"_nsymvars", BK_COUNTPARAM, 160},
    {"_nvars", BK_COUNTPARAM, 20},
    {"_snbvars", BK_COUNTPARAM, 132},
    {"_snccons", BK_COUNTPARAM, 416},
    {"_sncons", BK_COUNTPARAM, 404},
    {"_snivars", BK_COUNTPARAM, 128},
    {"_snlcc", BK_COUNTPARAM, 40},
    {"_snlnc", BK_COUNTPARAM, 56},
    {"_snlogcons", BK_COUNTPARAM, 436},
    {"_snnlcc", BK_COUNTPARAM, 44},
    {"_snnlcons", BK_COUNTPARAM, 48},
    {"_snnlnc", BK_COUNTPARAM, 52},
    {"_snnlobjs", BK_COUNTPARAM, 96},
    {"_snnlv", BK_COUNTPARAM, 100},
    {"_snobjs", BK_COUNTPARAM, 408},
    {"_snsymvars", BK_COUNTPARAM, 440},
    {"_snvars", BK_COUNTPARAM, 400},
    {"_snzcons", BK_COUNTPARAM, 0},
    {"_snzobjs", BK_COUNTPARAM, 8},
    // Synonym arrays of generated entities: the entity array code.
    {"_var", BK_SYNONYM, 0},
    {"_con", BK_SYNONYM, 2},
    {"_logcon", BK_SYNONYM, 3},
    {"_obj", BK_SYNONYM, 4},
    {"_svar", BK_SYNONYM, 6},
    {"_scon", BK_SYNONYM, 8},
    {"_slogcon", BK_SYNONYM, 9},
    {"_sobj", BK_SYNONYM, 10},
    {"_ccon", BK_SYNONYM, 12},
    {"_scvar", BK_SYNONYM, 13},
    // Name arrays, same codes.
    {"_varname", BK_SYNNAME, 0},
    {"_conname", BK_SYNNAME, 2},
    {"_logconname", BK_SYNNAME, 3},
    {"_objname", BK_SYNNAME, 4},
    {"_symvar", BK_SYNNAME, 1},
    {"_ssymvar", BK_SYNNAME, 7},
    {"_svarname", BK_SYNNAME, 6},
    {"_sconname", BK_SYNNAME, 8},
    {"_slogconname", BK_SYNNAME, 9},
    {"_sobjname", BK_SYNNAME, 10},
    {"_cconname", BK_SYNNAME, 12},
};
kw_row* const vref_row87 = &init_tab[34];
kw_row* const vref_row88 = &init_tab[35];

// System sets: the declaration class each one lists.
kw_row sysset_tab[N_SYSSET_TAB] = {
    {"_CONS", BK_SYSSET, XC_CONS},
    {"_ENVS", BK_SYSSET, XC_ENVS},
    {"_FUNCS", BK_SYSSET, XC_FUNCS},
    {"_LOGCONS", BK_SYSSET, XC_LOGCONS},
    {"_OBJS", BK_SYSSET, XC_OBJS},
    {"_PARS", BK_SYSSET, XC_PARS},
    {"_PROBS", BK_SYSSET, XC_PROBS},
    {"_RANDVARS", BK_SYSSET, XC_RANDVARS},
    {"_SETS", BK_SYSSET, XC_SETS},
    {"_SUFFIXES", BK_SYSSET, XC_SUFFIXES},
    {"_SYMVARS", BK_SYSSET, XC_SYMVARS},
    {"_SYSTEM_SUFFIXES", BK_SYSSET, XC_SYSTEM_SUFFIXES},
    {"_TABLES", BK_SYSSET, XC_TABLES},
    {"_VARS", BK_SYSSET, XC_VARS},
    {"_VARSETS", BK_SYSSET, XC_VARSETS},
};
const int n_sysset_tab = N_SYSSET_TAB;

// Keywords: words bound to their token code.
kw_row keyword_init[N_KEYWORDS + 1] = {
    {"Sample", TK_SAMPLE, 0},
    {"alias", TK_ALIAS, 0},
    {"alldiff", TK_ALLDIFF, 0},
    {"alldisjoint", TK_ALLDISJOINT, 0},
    {"alldistinct", TK_ALLDISTINCT, 0},
    {"atleast", TK_ATLEAST, 0},
    {"atmost", TK_ATMOST, 0},
    {"and", TK_AND, 0},
    {"card", TK_CARD, 0},
    {"circular", TK_CIRCULAR, 0},
    {"coef", TK_COEF, 0},
    {"coeff", TK_COEF, 0},
    {"count", TK_COUNT, 0},
    {"cover", TK_COVER, 0},
    {"cross", TK_CROSS, 0},
    {"diff", TK_DIFF, 0},
    {"difference", TK_DIFF, 0},
    {"dimension", TK_DIMEN, 0},
    {"exactly", TK_EXACTLY, 0},
    {"first", TK_FIRSTW, 0},
    {"forcegen", TK_FORCEGEN, 0},
    {"format", TK_FORMAT, 0},
    {"from", TK_FROM, 0},
    {"inter", TK_INTER, 0},
    {"intersect", TK_INTER, 0},
    {"intersection", TK_INTER, 0},
    {"interval", TK_INTERVAL, 0},
    {"last", TK_LAST, 0},
    {"member", TK_MEMBER, 0},
    {"mod", TK_MOD, 0},
    {"net_in", TK_NET_IN, 0},
    {"net_out", TK_NET_OUT, 0},
    {"next", TK_NEXT, 0},
    {"nextw", TK_NEXTW, 0},
    {"not", TK_NOT, 0},
    {"numberof", TK_NUMBEROF, 0},
    {"obj", TK_OBJ, 0},
    {"or", TK_OR, 0},
    {"ord", TK_ORD, 0},
    {"ord0", TK_ORD0, 0},
    {"ordered", TK_ORDERED, 0},
    {"par", TK_PARAM, 0},
    {"pipe", TK_PIPE, 0},
    {"prev", TK_PREV, 0},
    {"prevw", TK_PREVW, 0},
    {"prod", TK_PROD, 0},
    {"product", TK_PROD, 0},
    {"random", TK_RANDOM, 0},
    {"reversed", TK_REVERSED, 0},
    {"symdiff", TK_SYMDIFF, 0},
    {"to", TK_TO, 0},
    {"to_come", TK_TO_COME, 0},
    {"xor", TK_XOR, 0},
    {nullptr, 0, 0},
};

set* Display;
availset_row Availset_init[N_AVAILSET + 1] = {
    {"Reals", 3, nullptr},  {"Integers", 7, nullptr},  {"ASCII", 8, nullptr},
    {"EBCDIC", 9, nullptr}, {"Display", 10, &Display}, {nullptr, 0, nullptr},
};

const char* const reserved_names[N_RESERVED] = {
    "IN",     "INOUT",   "LOCAL",       "OUT",      "all",      "binary",
    "by",     "check",   "complements", "contains", "default",  "dimen",
    "div",    "else",    "environ",     "exists",   "forall",   "if",
    "in",     "integer", "less",        "logical",  "max",      "min",
    "option", "setof",   "suffix",      "sum",      "symbolic", "table",
    "then",   "union",   "until",       "while",    "within",
};
const reserved_row reserved_info[N_RESERVED] = {
    {TK_INOUT, 1},         // IN
    {TK_INOUT, 3},         // INOUT
    {TK_LOCAL, 0},         // LOCAL
    {TK_INOUT, 2},         // OUT
    {TK_ALL, 0},           // all
    {TK_TYPEWORD, 2},      // binary
    {TK_BY, 0},            // by
    {TK_CHECK, 0},         // check
    {TK_COMPLEMENTS, 0},   // complements
    {TK_CONTAINS, 0},      // contains
    {TK_DEFAULT, 0},       // default
    {TK_DIMEN, 0},         // dimen
    {TK_DIV, 0},           // div
    {TK_ELSE, 0},          // else
    {TK_ENVIRON, 0},       // environ
    {TK_ITLOGIC, 8704},    // exists
    {TK_ITLOGIC, 9216},    // forall
    {TK_IF, 0},            // if
    {TK_IN, 0},            // in
    {TK_TYPEWORD, 1},      // integer
    {TK_LESS, 0},          // less
    {TK_TYPEWORD, 32770},  // logical
    {TK_MINMAX, 5122},     // max
    {TK_MINMAX, 4610},     // min
    {TK_OPTION, 0},        // option
    {TK_SETOF, 0},         // setof
    {TK_SUFFIX, 0},        // suffix
    {TK_SUM, 0},           // sum
    {TK_TYPEWORD, 256},    // symbolic
    {TK_TABLE, 0},         // table
    {TK_THEN, 0},          // then
    {TK_UNION, 0},         // union
    {TK_UNTIL, 0},         // until
    {TK_WHILE, 0},         // while
    {TK_WITHIN, 0},        // within
};

const char* const stmt_names[N_STMT] = {
    "_display",  "_readtable", "_solexpand", "_writetable", "add",
    "arc",       "break",      "call",       "cd",          "check",
    "close",     "commands",   "cont",       "continue",    "csvdisplay",
    "data",      "delete",     "diff",       "display",     "drop",
    "else",      "environ",    "exit",       "expand",      "fix",
    "for",       "foreach",    "function",   "help",        "if",
    "let",       "load",       "maximize",   "minimize",    "model",
    "next",      "node",       "objective",  "option",      "options",
    "param",     "print",      "printf",     "problem",     "purge",
    "q",         "quit",       "read",       "redeclare",   "reload",
    "remove",    "repeat",     "reset",      "restore",     "set",
    "shell",     "show",       "skip",       "sleep",       "snapshot",
    "solexpand", "solution",   "solve",      "sovle",       "step",
    "suffix",    "table",      "unfix",      "unload",      "until",
    "update",    "var",        "version",    "what",        "while",
    "write",     "xref",
};
const stmt_row stmt_info[N_STMT] = {
    {TK_UDISPLAY, 6, 1},     // _display
    {TK_UREADTABLE, 6, 1},   // _readtable
    {TK_USOLEXPAND, 6, 0},   // _solexpand
    {TK_UWRITETABLE, 6, 1},  // _writetable
    {TK_ADD, 6, 1},          // add
    {TK_ARC, 3, 0},          // arc
    {TK_BREAK, 10, 0},       // break
    {TK_CALL, 6, 1},         // call
    {TK_CD, 8, 1},           // cd
    {TK_CHECK, 6, 0},        // check
    {TK_CLOSE, 8, 1},        // close
    {TK_COMMANDS, 8, 0},     // commands
    {TK_CONT, -2, 0},        // cont
    {TK_CONTINUE, 10, 0},    // continue
    {TK_CSVDISPLAY, 6, 1},   // csvdisplay
    {TK_DATA, 8, 0},         // data
    {TK_DELETE, 10, 0},      // delete
    {TK_DIFF_CMD, 3, 0},     // diff
    {TK_DISPLAY, 6, 1},      // display
    {TK_DROP, 6, 1},         // drop
    {TK_ELSE, 6, 0},         // else
    {TK_ENVIRON, 11, 0},     // environ
    {TK_EXIT, 6, 1},         // exit
    {TK_EXPAND, 6, 0},       // expand
    {TK_FIX, 6, 1},          // fix
    {TK_FOR, 3, 1},          // for
    {TK_FOR, 3, 1},          // foreach
    {TK_FUNCTION, 3, 0},     // function
    {TK_HELP, 11, 0},        // help
    {TK_IF, 6, 1},           // if
    {TK_LET, 6, 1},          // let
    {TK_LOAD, 8, 0},         // load
    {TK_MAXIMIZE, 3, 0},     // maximize
    {TK_MINIMIZE, 3, 0},     // minimize
    {TK_MODEL, 8, 0},        // model
    {TK_STEP_NEXT, -2, 0},   // next
    {TK_NODE, 3, 0},         // node
    {TK_OBJECTIVE, 10, 0},   // objective
    {TK_OPTION, 11, 1},      // option
    {TK_OPTION, 11, 1},      // options
    {TK_PARAM, 3, 0},        // param
    {TK_PRINT, 6, 1},        // print
    {TK_PRINTF, 6, 1},       // printf
    {TK_PROBLEM, 4, 0},      // problem
    {TK_PURGE, 10, 0},       // purge
    {TK_QUIT, 3, 0},         // q
    {TK_QUIT, 3, 0},         // quit
    {TK_READ, 6, 1},         // read
    {TK_REDECLARE, -1, 0},   // redeclare
    {TK_RELOAD, 8, 0},       // reload
    {TK_REMOVE, 8, 0},       // remove
    {TK_REPEAT, 6, 1},       // repeat
    {TK_RESET, -1, 0},       // reset
    {TK_ADD, 6, 1},          // restore
    {TK_SET, 3, 0},          // set
    {TK_SHELL, 3, 1},        // shell
    {TK_SHOW, 10, 0},        // show
    {TK_SKIP, -2, 0},        // skip
    {TK_SLEEP, 6, 1},        // sleep
    {TK_SNAPSHOT, 6, 1},     // snapshot
    {TK_SOLEXPAND, 6, 0},    // solexpand
    {TK_SOLUTION, 8, 0},     // solution
    {TK_SOLVE, 10, 0},       // solve
    {TK_SOLVE, 10, 0},       // sovle
    {TK_STEP, -2, 0},        // step
    {TK_SUFFIX, 10, 0},      // suffix
    {TK_TABLE, 10, 1},       // table
    {TK_UNFIX, 6, 1},        // unfix
    {TK_UNLOAD, 8, 0},       // unload
    {TK_STMT_UNTIL, 6, 1},   // until
    {TK_UPDATE, -1, 0},      // update
    {TK_VAR, 3, 0},          // var
    {TK_VERSION, 3, 0},      // version
    {TK_WHAT, 3, 0},         // what
    {TK_STMT_WHILE, 6, 1},   // while
    {TK_WRITE, 13, 1},       // write
    {TK_XREF, 10, 0},        // xref
};

const char* const sysdotvalue_names[N_SYSDOT] = {
    "astatus", "body",   "derstage", "dinit",   "dinit0", "dual",   "init",
    "init0",   "lb",     "lb0",      "lb1",     "lb2",    "lbs",    "lbs1",
    "lbs2",    "ldual",  "lrc",      "lslack",  "rc",     "relax",  "sense",
    "slack",   "sos",    "sosref",   "sstatus", "stage",  "status", "ub",
    "ub0",     "ub1",    "ub2",      "ubs",     "ubs1",   "ubs2",   "udual",
    "urc",     "uslack", "val"};

set* reserved_syms;
set* stmt_syms;
set* sysdot_names;
set* dot_names;
set* table_names;
int N_Sys_Sufs;

set* AvailSets;
set* dotdotdot;
symbol* All;
symbol* Commands;
symbol* Option;
symbol* Environ;
symbol* Check;
symbol* Suffix;
symbol* TAble;
kw_row environ_kw = {"environ", DK_ENV, 0};

bool is_keyword_row(const void* p) {
  auto in = [p](const kw_row* a, size_t n) {
    return !std::less<const void*>()(p, a) && std::less<const void*>()(p, a + n);
  };
  return in(init_tab, N_INIT_TAB) || in(sysset_tab, N_SYSSET_TAB) ||
         in(keyword_init, N_KEYWORDS + 1) || p == &environ_kw;
}
int N_System_Pars;

// An enumerated set of dimension 1 holding the words in table order, so
// that a word's ordinal is its row.
static set* word_set(const char* const* names, int n) {
  set* s = set_enum(new_enum(), 1);
  for (int i = 0; i < n; i++) {
    symbol* w = Symbol(names[i], 0);
    set_addmem(s, &w);
  }
  return s;
}

void parse_init() {
  xnode* saved_decls = decls;
  xnode** saved_last = declslast;

  // The word sets the lexer consults.
  reserved_syms = word_set(reserved_names, N_RESERVED);
  stmt_syms = word_set(stmt_names, N_STMT);

  // System suffixes; the suffix and table name sets.
  // The suffix name sets are the members of the system sets that list
  // them (_SUFFIXES, _SYSTEM_SUFFIXES), when those exist.
  set* const* listed = sysenum_sets;
  sysdot_names = nullptr;
  dot_names = listed[XC_SUFFIXES - XC_ENVS];
  if (!dot_names) dot_names = set_enum(new_enum(), 1);
  table_names = set_enum(new_enum(), 1);
  N_Sys_Sufs = sysdecl_suffixes();
  sysdot_names = listed[XC_SYSTEM_SUFFIXES - XC_ENVS];
  if (!sysdot_names) sysdot_names = set_enum(new_enum(), 1);
  for (const char* nm : sysdotvalue_names) {
    symbol* w = Symbol(nm, 0);
    set_addmem(sysdot_names, &w);
  }

  // Built-in names and system sets: each row is its name's binding.
  for (kw_row& r : init_tab) Symbol(r.name, 0)->binding = &r;
  for (kw_row& r : sysset_tab) Symbol(r.name, 0)->binding = &r;

  for (kw_row* r = keyword_init; r->name; r++) {
    symbol* s = Symbol(r->name, 0);
    if (s->binding) bug("add_keyword: %s already defined!", r->name);
    s->binding = r;
  }

  // Built-in sets: the string collations are unbounded intervals, Reals
  // and Integers run from -Infinity to +Infinity.
  AvailSets = nullptr;
  for (availset_row* r = Availset_init; r->name; r++) {
    symbol* nm = Symbol(r->name, 0);
    if (nm->binding) bug("availset_init: %s already defined!", r->name);
    int flags = static_cast<int>(r->flags);
    set* s;
    if (flags & 8) {
      s = set_interval(0, nullptr, nullptr, flags);
    } else {
      // The bounds are constants: bound to their routine here, since the
      // built-in sets need not pass through the compiler.
      expr* lo = new_num(negInfinity);
      expr* hi = new_num(Infinity);
      lo->op = hi->op = f_OPNUM;
      s = set_interval(0, lo, hi, flags);
      s->link = AvailSets;
      AvailSets = s;
    }
    if (s->sclass != SC_INTERVAL)
      bug("availset_init: %s is not an interval set", r->name);
    struct set_interval* si = static_cast<struct set_interval*>(s);
    si->kind = SET_BUILTIN_KIND;
    si->name = r->name;
    si->type = flags;
    if (r->where) *r->where = s;
    nm->binding = s;
  }

  dotdotdot = set_enum(new_enum(), 1);
  All = Symbol("all", 0);
  Commands = Symbol("commands", 0);
  Option = Symbol("option", 0);
  Environ = Symbol("environ", 0);
  Environ->binding = &environ_kw;

  sysdecl_problems();
  sysdecl_sets();
  builtins_init();
  randadd();
  time_params_bind();

  // The system declarations made above stay out of the declaration list.
  decls = saved_decls;
  declslast = saved_last ? saved_last : &decls;
  N_System_Pars = dac.next;
  forget_prob_needs();
  Check = Symbol("check", 0);
  Suffix = Symbol("suffix", 0);
  TAble = Symbol("table", 0);
  for (int op : {22, 23, 24, 28, 29, 30}) alg_comp[op] = 1;
  // The expression-copy free list (the last step) is dummy_reset's.
}

int reserved_row_of(symbol* s) {
  return reserved_syms ? static_cast<int>(set_in(reserved_syms, &s, nullptr))
                       : -1;
}

int stmt_row_of(symbol* s) {
  return stmt_syms ? static_cast<int>(set_lookup(stmt_syms, &s)) : -1;
}

}  // namespace vexo
