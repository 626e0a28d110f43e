// Value tables of symbolic suffixes and of the solve result: the names that
// numbers stand for, read from an option's text (for a symbolic suffix the
// option named by the suffix followed by "_table", for the solve result
// solve_result_table).  A table is parsed lazily: a change of its option
// marks it stale (the option's handler), and the next conversion reads it
// again, only when the text really changed.
//
// Table text: lines of a number, a blank, a key (bytes above blank) and an
// optional description; empty lines are skipped; numbers strictly
// increasing, keys unique.
#ifndef VEXO_INSTANCE_SUFTAB_H
#define VEXO_INSTANCE_SUFTAB_H

#include <cstdint>
#include <type_traits>

namespace vexo {

struct charblk;
struct cstr;
struct set;
struct suffix;
struct symbol;
struct TVA;

// One parsed table (embedded in each suffix record; one global for the
// solve result).  numbers and names are null while there is no usable
// table (option unset, empty, or rejected).
struct stat_table {
  cstr** names;      // key of each entry
  double* numbers;   // number of each entry, strictly increasing
  symbol* option;    // the option whose value is the table text
  set* keys;         // the key symbols; a key's ordinal is its entry index
  cstr* text;        // the NAME=value string last read, referenced
  void* watch;       // the option's handler cell (change notification)
  int32_t block_class;  // class of the block holding numbers then names
  int32_t count;        // entries
  int32_t dense;        // last entry of the leading run of consecutive
                        // integers
  int32_t step;         // largest power of two <= count - dense - 1, or 0
  int32_t stale;        // the option changed: read again before use
};
static_assert(std::is_trivially_destructible_v<stat_table>);

// The tables of the solve result, of the members' status in the problem
// and of the objectives' sense (their option symbols set at start-up).
// Written outside instance/, by design: solve_result_table by the solve
// outcome (solver/solve.cpp), which reads it through cs_sufvalue.
extern stat_table solve_result_table;
extern stat_table astatus_table;
extern stat_table sense_table;

// (Re)reads t from its option when its text changed.  Parse errors are
// reported (error kind 0, returns) and leave t without data.
void suftabchk(stat_table* t);
// The option's change handler: marks the table (target) stale.
void tabnotify(const char* value, void* target);
// The name t gives x, as a new counted string: the key of the last entry
// whose number is at most x, else x written with "%.g".
cstr* cs_sufvalue(double x, stat_table* t);
// cs_sufvalue of x in the status table and in the sense table.
cstr* astatus_name(double x);
cstr* sense_name(double x);
// The same as text: the key inside its shared string, or x's text copied
// into *cb.
const char* s_sufvalue(double x, stat_table* t, charblk** cb);
// The number of a name in s's table: the text (interned, its reference
// dropped) when given, else key.  Errors end the evaluation through
// eerror: "$%s_table does not have the right form." without a table,
// "\"%s\" does not appear in $%s_table." for an unknown name.
double suf2num(suffix* s, cstr* text, symbol* key, TVA* tva);
// Frees t's parsed data (keys, numbers and names).
void stat_free(stat_table* t);
// Cancels t's change notification and drops its reference to the text.
void stat_forget(stat_table* t);

// Start-up and `reset`: the solve-result, status and sense tables empty,
// their option symbols named.
void suftab_reset();

}  // namespace vexo

#endif  // VEXO_INSTANCE_SUFTAB_H
