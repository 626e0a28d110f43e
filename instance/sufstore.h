// Suffix values of generated members: per declaration (ordinary variables,
// algebraic and logical constraints, objectives, problems) an array of
// value records indexed by suffix number, each with one double per member
// slot and the counts of integer and other nonzero values that the problem
// writer needs.  Also the gathering of values for the writer (sufget) and
// the check of the IN suffixes against their conditions before a problem
// is written (sufcheck).
//
// Values given by data to members not yet generated are kept apart, by
// data index (data/values.h sufvals).
#ifndef VEXO_INSTANCE_SUFSTORE_H
#define VEXO_INSTANCE_SUFSTORE_H

#include <cstdint>
#include <type_traits>

namespace vexo {

struct AC;
struct CVseen;
struct set;
struct suffix;
struct xname;
struct xnode;

// The values of one suffix for one declaration (a record of the class of
// its size; its value block of class values_class).
struct SufVal {
  double changed;  // generation stamp of the last change of any value
  double checked;  // stamp at which the values were last checked
  double* values;  // one slot per member slot (members << suf_shift)
  int32_t n_int;   // nonzero slots holding an integer within +-2147483647
  int32_t n_real;  // other nonzero slots
  int32_t values_class;
  int32_t pad_;
};
static_assert(std::is_trivially_destructible_v<SufVal>);

// The suffix part of a declaration that carries suffix values.
struct sufstore {
  SufVal** suf_vals;   // by suffix number; null where none
  set* suf_subs;       // the members when the first block was made (not
                       // for indexed problems); regeneration compares it
  int32_t n_suf_vals;  // length of suf_vals
  int32_t suf_shift;   // log2 of slots per member: 1 for complementarity
  int32_t vals_k;      // size class of suf_vals
  int32_t pad_;
};
static_assert(std::is_trivially_destructible_v<sufstore>);

// The suffix part of d: ordinary and random variables, constraints,
// objectives and problems have one; other kinds null.
sufstore* suf_store(xnode* d);
// d's values of suffix number k, or null.
SufVal* sufval_of(xnode* d, int k);
// Nonzero values count as integers when whole and within +-2147483647.
bool suf_int(double x);

// A fresh value block of s for d with every slot init_value (counts set
// to match); with an AC, its record of which members the writer sends for
// d's class is dropped, to be built again.
SufVal* suf_dflt(xnode* d, suffix* s, AC* ac);
// The same with a zeroed value block of size class k (the solution reader
// fills it).
SufVal* suf_dflt0(xnode* d, suffix* s, AC* ac, int k);
// Keeps n_int and n_real right when one slot goes from oldv to newv.
void sufv_adjust(SufVal* v, double oldv, double newv);
// Stores x in value slot `slot` (member << suf_shift, plus the side) of
// d's values of s: the block is made when d has none (nothing is made for
// the suffix's default), the counts follow and the values are due for
// checking.  True when the slot changed.
bool suf_put(xnode* d, suffix* s, int32_t slot, double x, AC* ac);

// suf_put for the member an entity name of the collected problem gives
// (the side of a complementarity constraint's row from its tail).
bool suf_put_name(const xname& nm, suffix* s, double x, AC* ac);

// Frees d's value block of suffix number k and nulls its slot.
void dotdel2(sufstore* st, int k);
// Every value of s is checked again by the next sufcheck (what its
// conditions read changed).
void suf_recheck(const suffix* s);
// Removes suffix number k from every declaration of class list cls: the
// later slots move down by one.
void dotdel1(int k, int cls);
// The values of suffix number k go from every declaration of the five
// classes (the arrays keep their length).
void sufs_clear(int k);
// The class lists of the declarations carrying suffix values, in the
// order they are always visited.
extern const int suf_classes[5];

// Gathers the nonzero values of s over the n writer positions for the
// problem writer.  order[i] names the entity of position i (an entry at
// or above split names order[i] - split; null order: i itself); names
// gives each entity's declaration and member.  Makes one block of class
// *k: with only integer values 2 x (count + extra) int32, the values
// (*ivals; NaN gives -2147483648; derstage split by 16 bits) then the
// positions (*pos), *rvals null; otherwise 12 x (count + extra) bytes,
// the doubles (*rvals) then the positions, *ivals null.  Returns the
// number of pairs (0: no block).
int sufget(CVseen* seen, suffix* s, int* k, int32_t** ivals, int32_t** pos,
           int n, double** rvals, const xname* names, const int32_t* order,
           int split, int extra);
// The name of entity i in the sending order of writer class c (0
// variables, 1 constraints, 2 objectives), or null when there is none.
const xname* sent_name(const AC* ac, int c, int32_t i);
// Before a problem is written: lists per entity class the declarations
// sent and the suffixes they hold (seen), checks their values against the
// IN suffixes' conditions, and reports each declaration of a kind whose
// values are checked that holds none although 0 fails the conditions.
// Nonzero when an error was reported (the return code above 1).
int sufcheck(AC* ac);

}  // namespace vexo

#endif  // VEXO_INSTANCE_SUFSTORE_H
