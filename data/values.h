// Value storage of declarations: the one path by which data reach the
// per-member arrays of a declaration (xnode2, frontend/decl.h).  The data
// reader, `let`, the table engine and the solution reader store through
// here.  A statement's data are collected first (dcol: its own data index
// set and an element list of finished value cells in the order of its new
// tuples); end_param then moves them into the declaration: the first data
// of an indexed declaration are handed over whole (no copy, no rehash),
// later data are merged member by member.
#ifndef VEXO_DATA_VALUES_H
#define VEXO_DATA_VALUES_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace vexo {

struct cstr;
struct set;
struct setdcl;
struct symbol;
struct xnode;
struct xnode2;

// The value cell of one member of a symbolic param: a number is held as its
// number symbol (str null), a string as the counted string (sym null).  The
// evaluator may fill the missing form later; the symbol comes first, so a
// pointer to the cell is also a one-member tuple.  Written only through
// svupdate.
struct symval {
  symbol* sym;
  cstr* str;
};
static_assert(std::is_trivially_destructible_v<symval> && sizeof(symval) == 16);

// Status bits of a member (xnode2::stat).
enum : uint8_t {
  MS_NOVALUE = 1,    // variables, constraints: no value given, only suffixes
  MS_CHANGED = 8,    // the value was changed by data
  MS_COMPUTED = 16,  // the value was computed from the default
  MS_FROMDFLT = 32   // the member's data came from a default; data may
                     // replace it
};

// Data flags of a declaration (xnode2::dflags).
enum : uint32_t {
  DF_READ = 1,     // plain data read; further plain data are refused
  DF_UPDATE = 2,   // `update data`: new data replace present values
  DF_DATADFLT = 4,  // the default comes from data
  DF_OVERDFLT = 8   // a set after reset or update data: data may replace
                    // the value computed from its default
};

// Suffix values given by data: one array of doubles per suffix, parallel
// to vals (xnode2::sufv is the head of this chain).  The values are checked
// against the suffix's conditions when they are read after a change
// (suf5check, instance/genmod.h).
struct sufvals {
  sufvals* next;
  int32_t sufnum;  // the declared suffix's number (frontend/suffix.h)
  int32_t k;       // size class of v
  double* v;
  double changed;  // generation stamp of the last change of any value
  double checked;  // stamp of the last check; below changed: checks due
};
static_assert(std::is_trivially_destructible_v<sufvals>);

// Bytes of one value cell of d: 8 (a double, a symbol* of a symbolic
// variable, a member set of an indexed set), 16 (a symval of a symbolic
// param), 0 for a problem (suffix values only).
size_t val_size(const xnode* d);
// True for declarations whose values are symbolic (symbolic params and
// variables).
bool val_symbolic(const xnode* d);
// The suffix array of suffix number n of d, or null.
sufvals* sufv_find(const xnode2* d, int n);

// Stores a symbolic value; returns 1 when the cell's value changed, 0 when
// not.  Exactly one of s and num is given; the reference to s passes to the
// call (kept in the cell or released).  A string equal in text to the
// cell's string, or to the name symbol the cell holds, changes nothing; a
// number leaves beside it a string with the number's text.
int svupdate(symval* v, cstr* s, symbol* num);

// Grows every per-member array of d (vals, stat, the suffix arrays) to hold
// nvals + 1 members, + 1 more when extra is 1.  New cells are zero.  nvals
// itself is the caller's to raise.
void val_extend(xnode2* d, int extra);
// The status byte of member i of d, made (zeroed) when absent.
uint8_t* stat_of(xnode2* d, int32_t i);
// The value cell of member i of d with the target kind of data (0 plain,
// 1 initial value, 2 current value, 3 + n suffix n); the suffix array is
// made when absent.  Cells hold the kinds val_size tells (suffixes:
// double).
void* val_cell(xnode2* d, int kind, int32_t i);

// The data of one declaration collected by one statement.
struct dcol {
  xnode2* d;
  int kind;     // target: as for val_cell
  int esz;      // bytes of an element
  set* indx;    // the statement's data index set (indexed d), or null
  void* el;     // element list: value cells, in the order of indx
  int32_t elk;  // size class of el (-1: none)
  int32_t nel;  // elements in el
};
// Starts collecting for d with the target kind: an empty data index set of
// the subscript arity for an indexed d.
void dcol_start(dcol* c, xnode2* d, int kind);
// Gives back what a dcol holds (after end_param, or when it is dropped).
void dcol_free(dcol* c);
// The cell for the next element, or null (after "%s already defined" with
// the subscripted name) when the tuple was given already in this statement.
// Scalar declarations take one element and no tuple.
void* addval(dcol* c, symbol* const* tuple);
// Fills an element of c from a number, or from a string (s owns one
// reference and passes it on); both as the kind of c wants (a symbolic
// variable interns the string).
void el_number(dcol* c, void* cell, double v);
void el_string(dcol* c, void* cell, cstr* s);

// Moves the collected data into the declaration (see the file comment);
// the dcol is emptied.  Plain data (kind 0) that hold a value mark the
// declaration as read.  Members whose value was computed from the default
// are refused with "%s already has a value computed from its default".
// Reports through the data reader's Squawk (data/readdata.h); never
// aborts.
void end_param(dcol* c);

// Adds subscript tuple t, not yet among d's members, with zeroed cells and
// returns its ordinal; an indexed d gets its data index set (of its
// subscript arity) when it has none.  A scalar d (t ignored) gets its one
// member.  nvals is raised.
int32_t val_add(xnode2* d, symbol* const* t);
// Room for extra more members of d, made at once: its value and status
// arrays and its data index's table, so that adding them grows nothing.
void val_reserve(xnode2* d, int64_t extra);
// val_add for a tuple known to be new (the walk of an indexing gives each
// tuple once): appended without a look-up; a fresh data index gets its hash
// table at its first look-up, at the size it then needs.
int32_t val_append(xnode2* d, symbol* const* t);
// Gives d, an indexed declaration without members, the members of index
// (a set of d's subscript arity without deleted members, numbered 0, 1,
// ... in order) as its data index, shared (one more reference; d copies
// it before adding a member of its own), with zeroed cells; nvals is
// index's member count.
void val_share(xnode2* d, set* index);
// The declared set that d's indexing walks alone, whole and in order: d is
// indexed over one scalar set ({K}, {(i, j) in K}) with plain dummies and
// no condition; else null.
setdcl* sole_set(const xnode* d);
// The value of sole_set(d) when d may take it as its data index
// (val_share): the set holds data of its own (neither a definition, which
// is emptied in place when it goes stale, nor a default standing in), at
// least one member, numbered 0, 1, ... in order.  Else null.
set* shareable_index(const xnode* d);
// Keeps the first n members of d (ordinals below n) and drops the others
// with their cells, as val_drop does.
void val_truncate(xnode2* d, int32_t n);
// val_share for a numeric d whose values are ready: vals, a block of class
// k from new_mblk holding index's member count of numbers in member order,
// becomes d's value array (any old one is freed; the cells after the
// members are cleared).
void val_share_numbers(xnode2* d, set* index, double* vals, int k);
// Drops the members of d whose status byte has MS_COMPUTED (all members
// when all is nonzero), with their cells (strings of symbolic values
// released) and suffix values; the survivors keep their order and are
// numbered again from 0 in the data index.
void val_drop(xnode2* d, int all);
// Drops the members i of d for which gone[i] is nonzero (one byte per
// member), as val_drop does; the member sets of an indexed set that go are
// released too.
void val_discard(xnode2* d, const uint8_t* gone);

// The member set of subscript tuple sub of the indexed set d, made anew:
// a subscript not yet present is added to d's data index set; a present
// one has its old member set released.  Returns the new empty member set
// of d's dimension.
set* gsfinish(setdcl* d, symbol* const* sub);
// The members of scalar set sd emptied for new ones, data or `let` (a set
// shared with other holders is released and a new one made).
set* fresh_members(setdcl* sd);
// The member set of subscript sub of d, or null.
set* member_set(setdcl* d, symbol* const* sub);

// The text "name[sub,...]" of d with the subscript tuple (numbers bare,
// names quoted), or the name alone for a scalar d or a null tuple.  Valid
// until the next call.
const char* sub_name(const xnode* d, symbol* const* tuple);

// Start-up and `reset`: the message buffer forgotten (reset frees it).
void values_reset();

}  // namespace vexo

#endif  // VEXO_DATA_VALUES_H
