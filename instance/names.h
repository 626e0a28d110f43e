// Instance names: the text of the names of generated members (xname,
// instance/ac.h), and the report of an object kind a routine cannot
// handle.
//
// A member's name is its declaration's name, then for an indexed member
// "[", its subscripts separated by ",", and "]", then the name's tail when
// it has one.  A numeric subscript is its text; a string is quoted as the
// language reads it back: in single quotes unless it holds more single
// quotes than double quotes, the chosen quote doubled inside and a
// backslash written before each newline.
#ifndef VEXO_INSTANCE_NAMES_H
#define VEXO_INSTANCE_NAMES_H

#include <cstdint>

namespace vexo {

struct TVA;
struct charblk;
struct cstr;
struct symval;
struct xname;

// The variables' names: the var_names of the collected problem, or null.
extern xname* Vname;
// The longest name xwho has made (the writer's header reports it).
// Written outside instance/, by design: the auxiliary-file writer
// (solver/auxfiles.cpp) clears it before the names of each file, whose
// longest name goes on the nl header's line 9.
extern int maxnamelen;
// Per synonym kind (0..13): whether namesub appends a name's tail.  1 for
// all at start-up.
extern uint8_t want_suffix[14];
// Start-up and `reset`: no names, an empty buffer for xwho (the old one
// lay in freed memory), maxnamelen 0.  Part of misc_reinit.
void names_reinit();

// The text of the name of n, tail included, in a buffer shared by every
// call: valid until the next call.  Raises maxnamelen.
const char* xwho(const xname* n);
// The text of the name of n, kept in the caller's text block chain *cb (a
// new block goes in front when the newest lacks room); the tail is
// appended when want_suffix[kind] is set.  A scalar name without a tail
// so appended is the declaration's own name text, not copied.
const char* namesub(charblk** cb, const xname* n, int kind);
// The counted string of a symbolic value cell: made from its symbol's
// text when the cell has none, and kept in the cell (the cell holds the
// reference).
cstr* stringify(symval* v);
// Grows the name array *a (class *k) to hold n entries, keeping the
// first n_old and zeroing the rest; nothing when class *k holds them.
// Vname follows a moved array.
void nam_upgrade(int32_t n, int32_t n_old, int32_t* k, xname** a);

// Reports "unexpected type 0x%x in %s()" with the kind and the routine's
// name as a bug (error kind 1), which ends the session with code 2.
[[noreturn]] void badtype(const char* where, uint32_t kind);
// The same text at evaluation time in tva, through terror (the location
// first); returns unless the trace return code ends the session.
void tbadtype(TVA* tva, const char* where, uint32_t kind);

}  // namespace vexo

#endif  // VEXO_INSTANCE_NAMES_H
