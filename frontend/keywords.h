// Keyword, statement-word, reserved-word and built-in name tables, and
// parse_init, which binds the built-in names and keywords and builds the
// word sets the lexer consults.  The scanner has no keyword list: every word
// is interned, and a word is a keyword when its symbol is bound to a keyword
// row (the row's kind is the token code), so a declaration of the same name
// simply rebinds it.  Only the reserved words can never be declared; the
// statement words are recognised only as the first word of a statement.
// A word's position in its set is the row of its information table.
#ifndef VEXO_FRONTEND_KEYWORDS_H
#define VEXO_FRONTEND_KEYWORDS_H

#include <cstdint>

#include "frontend/tokens.h"

namespace vexo {

// Written outside frontend/, by design: need_prob and would_need_prob by
// the commands that collect the problem (session/cmdrec.cpp,
// session/execute.cpp).

struct symbol;
struct set;
struct expr;
struct xnode;

// A binding row: the row itself is the binding record of its name (name
// first, the kind word at offset 8).  Built-in rows carry kinds 32/33
// (functions of one/two arguments; value = op word), 35 (count params;
// value = byte offset in the problem statistics), 36/37 (synonym and name
// arrays; value = entity array code), 38 (system sets; value = class
// index); keyword rows carry their token code and value 0.
struct kw_row {
  const char* name;
  uint32_t kind;
  uint32_t value;
};
static_assert(sizeof(kw_row) == 16);

// Binding kinds of built-in names.
enum : uint32_t {
  BK_FUNC1 = 32,
  BK_FUNC2 = 33,
  BK_COUNTPARAM = 35,
  BK_SYNONYM = 36,
  BK_SYNNAME = 37,
  BK_SYSSET = 38
};

constexpr int N_INIT_TAB = 82;
constexpr int N_SYSSET_TAB = 15;
constexpr int N_KEYWORDS = 53;
constexpr int N_RESERVED = 35;
constexpr int N_STMT = 77;
constexpr int N_SYSDOT = 38;
constexpr int N_AVAILSET = 5;

extern kw_row init_tab[N_INIT_TAB];
// Rows of init_tab named "v.": descriptors of the variable-reference
// opcodes 87 and 88 (a name the language cannot write).
extern kw_row* const vref_row87;
extern kw_row* const vref_row88;
extern kw_row sysset_tab[N_SYSSET_TAB];
extern const int n_sysset_tab;
// Ended by a null name.
extern kw_row keyword_init[N_KEYWORDS + 1];

// Built-in sets: name, interval flags, and where the set is stored.
struct availset_row {
  const char* name;
  uint32_t flags;
  set** where;
};
extern availset_row Availset_init[N_AVAILSET + 1];  // ended by a null name

// Reserved words.  value: the type code of the type words, the direction of
// IN/OUT/INOUT, the op word of the iterated operators, else 0;
// RESERVED_UNLESS_DECLARED marks the word that is a keyword only while its
// name is not declared.
struct reserved_row {
  uint32_t code;
  uint32_t value;
};
constexpr uint32_t RESERVED_UNLESS_DECLARED = 0x8000;
extern const char* const reserved_names[N_RESERVED];
extern const reserved_row reserved_info[N_RESERVED];

// Statement words.  state: the lexer state after the word (-2 a
// single-stepping word, -1 a prefix word); remap 0 selects the model remap
// table for the rest of the statement, 1 the command one.
struct stmt_row {
  uint32_t code;
  int32_t state;
  uint32_t remap;
};
extern const char* const stmt_names[N_STMT];
extern const stmt_row stmt_info[N_STMT];

// Built-in suffix value names.
extern const char* const sysdotvalue_names[N_SYSDOT];

// Sets built by parse_init (enumerated, dimension 1, table order).
extern set* reserved_syms;
extern set* stmt_syms;
extern set* sysdot_names;
// Member sets of the system sets of suffixes and tables (null until those
// exist).
extern set* dot_names;
extern set* table_names;
extern int N_Sys_Sufs;  // system suffixes declared at start-up

// Built-in sets and symbols made by parse_init.
extern set* Display;    // the built-in set Display (display collation)
extern set* AvailSets;  // bounded built-in sets, linked through `link`
extern set* dotdotdot;  // marker of "..." in argument domains
extern symbol* All;
extern symbol* Commands;
extern symbol* Option;
extern symbol* Environ;
extern symbol* Check;
extern symbol* Suffix;
extern symbol* TAble;
extern kw_row environ_kw;  // binding of "environ": kind 22
// Whether p is a row of one of the tables above (built-in names bind to
// their rows; a row's kind can equal a declaration kind).
bool is_keyword_row(const void* p);
// Declarations existing after start-up; those numbered below it are the
// system's own.
extern int N_System_Pars;
// Problem-need flags of the instance generator, cleared by parse_init.
extern int need_prob;
extern int would_need_prob;

// Start-up, and again after `reset`: builds the word sets, binds the
// built-in rows and keywords, makes the built-in sets and symbols, makes
// the system declarations of its steps (session/sysdecls.h: the system
// suffixes, the problems, the system sets "$display" ... _HANDLERS).  A
// name bound twice is a bug ("add_keyword: %s already defined!",
// "availset_init: %s already defined!"), which ends the session.
void parse_init();

// Row of a reserved word (-1 when the symbol is none); row of a statement
// word (-1 when none).
int reserved_row_of(symbol* s);
int stmt_row_of(symbol* s);

}  // namespace vexo

#endif  // VEXO_FRONTEND_KEYWORDS_H
