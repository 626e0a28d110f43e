// Token codes of the lexer and the parser.  A one-character token is its
// character code; named tokens have codes from 57344 (0xE000) upward.  The
// numbers are fixed: the grammar declares its terminals with these very
// codes (%token NAME number), the keyword tables bind words to them, and a
// name bound to a keyword row carries the code as its binding kind.
#ifndef VEXO_FRONTEND_TOKENS_H
#define VEXO_FRONTEND_TOKENS_H

#include <cstdint>

namespace vexo {

constexpr uint32_t TK_BASE = 57344;  // the first named-token code

enum : uint32_t {
  // Declaration and statement words.
  TK_SET = 57346,
  TK_PARAM = 57347,  // `param`, also the keyword `par`
  TK_CHECK = 57348,
  TK_VAR = 57349,
  TK_SUBJECT_TO = 57350,  // "subject to", "s.t." and their forms
  TK_MAXIMIZE = 57351,
  TK_MINIMIZE = 57352,
  TK_FUNCTION = 57353,
  TK_SLEEP = 57354,
  // Operators and keywords of expressions.
  TK_AND = 57355,  // `and`, "&&"
  TK_OR = 57356,   // `or`, two vertical bars
  TK_XOR = 57357,
  TK_ARC = 57358,
  TK_NOBIND = 57359,      // name bound to kind 40
  TK_BUILTINSET = 57360,  // name of a built-in set (kind 41)
  TK_ERRFILL = 57361,     // filler after a reserved or defined name
  TK_FUNC1 = 57362,       // built-in function of one argument (kind 32)
  TK_FUNC2 = 57363,       // built-in function of two arguments (kind 33)
  TK_KIND34 = 57364,
  TK_CARD = 57365,
  TK_CIRCULAR = 57366,
  TK_COEF = 57367,
  TK_COVER = 57368,
  TK_DIFF = 57369,
  TK_MEMBER = 57370,
  TK_FIRSTW = 57371,  // `first`
  TK_FORCEGEN = 57372,
  TK_FORMAT = 57373,
  TK_FROM = 57374,
  TK_INTER = 57375,
  TK_INTERVAL = 57376,
  TK_LAST = 57377,
  TK_NEWNAME = 57378,  // undeclared name
  TK_NET_IN = 57379,
  TK_NET_OUT = 57380,
  TK_NEXT = 57381,
  TK_NEXTW = 57382,
  TK_NODE = 57383,
  TK_OBJ = 57384,
  TK_ORD = 57385,
  TK_ORD0 = 57386,
  TK_ORDERED = 57387,
  TK_PIPE = 57388,
  TK_PREV = 57389,
  TK_PREVW = 57390,
  TK_PROD = 57391,
  TK_KIND39 = 57392,
  TK_RANDOM = 57393,
  TK_REVERSED = 57394,
  TK_SYMDIFF = 57395,
  TK_TO = 57396,
  TK_TO_COME = 57397,
  TK_IN = 57399,
  TK_BY = 57400,
  TK_DOTDOT = 57401,
  TK_WITHIN = 57402,
  // Declared names, by kind; D in declarations and model text (remap table
  // rvfix1), C in commands (rvfix2).
  TK_DVAR = 57403,
  TK_DVARI = 57404,
  TK_VAR_PENDING = 57405,  // kind 28
  TK_CVAR = 57406,
  TK_CVARI = 57407,
  TK_DSVAR = 57408,
  TK_DSVARI = 57409,
  TK_CSVAR = 57410,
  TK_CSVARI = 57411,
  TK_KIND29 = 57412,
  TK_PARAMNAME = 57413,
  TK_PARAMINAME = 57414,
  TK_SPARAMNAME = 57415,
  TK_SPARAMINAME = 57416,
  TK_SETNAME = 57417,
  TK_SETINAME = 57418,
  TK_DCON = 57419,
  TK_DCONI = 57420,
  TK_DOBJ = 57421,
  TK_DOBJI = 57422,
  TK_CCON = 57423,
  TK_CCONI = 57424,
  TK_COBJ = 57425,
  TK_COBJI = 57426,
  TK_DUMMYNAME = 57427,
  TK_STRING = 57428,
  TK_NUMBER = 57429,
  TK_MINMAX = 57430,    // `min`, `max` (op word in the value)
  TK_ITLOGIC = 57431,   // `exists`, `forall` and their phrases
  TK_COMPARE = 57432,   // comparison (op word in the value)
  TK_TYPEWORD = 57433,  // `integer`, `binary`, `symbolic`, `logical`
  TK_INOUT = 57434,     // `IN`, `OUT`, `INOUT` (direction in the value)
  TK_DIMEN = 57435,     // `dimen`, `dimension`
  TK_DEFAULT = 57436,
  TK_DATA = 57437,
  TK_LTLT = 57438,  // "<<"
  TK_GTGT = 57439,  // ">>"
  TK_SUM = 57440,
  TK_CROSS = 57441,
  TK_UNION = 57442,
  TK_FUNCNAME = 57443,  // declared function (kind 25)
  TK_KIND27 = 57444,
  TK_ENVIRON = 57445,
  TK_OPTION = 57446,  // `option`, `options`
  TK_SETOF = 57447,
  TK_ASSIGN = 57448,  // ":="
  // Commands.
  TK_ADD = 57449,  // `add`, `restore`
  TK_CLOSE = 57450,
  TK_COMMANDS = 57451,
  TK_DELETE = 57452,
  TK_DIFF_CMD = 57453,  // `diff` at a statement start
  TK_DISPLAY = 57454,
  TK_DROP = 57455,
  TK_FIX = 57456,
  TK_LET = 57457,
  TK_MODEL = 57458,
  TK_PRINT = 57459,
  TK_PRINTF = 57460,
  TK_QUIT = 57461,  // `quit`, `q`
  TK_READ = 57462,
  TK_SHELL = 57463,
  TK_SHOW = 57464,
  TK_SNAPSHOT = 57465,
  TK_SOLVE = 57466,  // `solve`, `sovle`
  TK_UNFIX = 57467,
  TK_VERSION = 57468,
  TK_WHAT = 57469,
  TK_WRITE = 57470,
  TK_SOLUTION = 57471,
  TK_WORD = 57472,     // option value, or a name after "$"
  TK_OPTNAME = 57473,  // option name or pattern
  TK_FILENAME = 57474,
  TK_RESET = 57475,
  TK_ALIAS = 57476,
  TK_DIV = 57477,
  TK_IMPLIES = 57478,     // "==>"
  TK_REVIMPLIES = 57479,  // "<=="
  TK_IFF = 57480,         // "<==>"
  TK_IF = 57481,
  TK_THEN = 57482,
  TK_ELSE = 57483,
  TK_LESS = 57485,
  TK_MOD = 57487,
  TK_NOT = 57489,  // `not`, "!"
  TK_OBJECTIVE = 57490,
  TK_UPDATE = 57491,
  TK_HELP = 57492,
  TK_PLAINNAME = 57493,  // name in plain-name mode
  TK_KIND31 = 57494,
  TK_KIND30 = 57495,
  TK_REDECLARE = 57496,
  TK_FOR = 57497,  // `for`, `foreach`
  TK_REPEAT = 57498,
  TK_PURGE = 57499,
  TK_STMT_LBRACE = 57500,  // "{" at a statement start
  TK_STMT_RBRACE = 57501,  // "}" closing a statement-level block
  TK_BREAK = 57502,
  TK_CONTINUE = 57503,
  TK_UNTIL = 57504,       // inside a statement
  TK_WHILE = 57505,       // inside a statement
  TK_STMT_UNTIL = 57506,  // at a statement start
  TK_STMT_WHILE = 57507,  // at a statement start
  TK_CONT = 57508,        // single-stepping words
  TK_STEP_NEXT = 57509,
  TK_SKIP = 57510,
  TK_STEP = 57511,
  TK_ALL = 57512,
  TK_CD = 57513,
  TK_PROBLEM = 57514,
  TK_EXPAND = 57515,
  TK_XREF = 57516,
  TK_SOLEXPAND = 57517,
  TK_UDISPLAY = 57518,  // `_display`
  TK_CSVDISPLAY = 57519,
  TK_SUFFIX = 57520,  // `suffix`; also a declared suffix's name
  TK_PROBNAME = 57521,
  TK_PROBINAME = 57522,
  TK_COUNTPARAM = 57523,    // _nvars and the other count params (kind 35)
  TK_SYNONYM = 57524,       // _var, _con, ... (kind 36)
  TK_SYNNAME = 57525,       // _varname, _conname, ... (kind 37)
  TK_SYSSET = 57526,        // _VARS, _CONS, ... (kind 38)
  TK_STMT_NEWNAME = 57527,  // undeclared name at a statement start
  TK_CALL = 57528,
  TK_COMPLEMENTS = 57529,
  TK_EXIT = 57530,
  TK_LOCAL = 57531,
  TK_USOLEXPAND = 57532,  // `_solexpand`
  TK_DVARSET = 57533,
  TK_DVARSETI = 57534,
  TK_CVARSET = 57535,
  TK_CVARSETI = 57536,
  TK_TABLE = 57537,
  TK_LOAD = 57538,
  TK_RELOAD = 57539,
  TK_REMOVE = 57540,
  TK_UNLOAD = 57541,
  TK_ALLDIFF = 57542,
  TK_ALLDISJOINT = 57543,
  TK_ALLDISTINCT = 57544,
  TK_ATLEAST = 57545,
  TK_ATMOST = 57546,
  TK_EXACTLY = 57547,
  TK_COUNT = 57548,
  TK_CONTAINS = 57549,
  TK_NUMBEROF = 57550,
  TK_UREADTABLE = 57551,   // `_readtable`
  TK_UWRITETABLE = 57552,  // `_writetable`
  TK_SAMPLE = 57553,
  TK_KIND42 = 57554
};

}  // namespace vexo

#endif  // VEXO_FRONTEND_TOKENS_H
