// The set and indexing printer and the string forms of the printer.  prset
// writes a set expression, pr_set_spec an indexing expression (registering
// its entries in the index table, report/indextab.h, so that the dummies of
// the body are written by name); both write through the line buffer of
// report/prex.h and call prex back for the expressions inside.  The string
// forms run the whole printer into a string: the texts that messages, keys
// and headings quote.  Beside them: the language literal of an option value
// (make_lit) and the joining of tuple members (prtuple).
#ifndef VEXO_REPORT_PRSET_H
#define VEXO_REPORT_PRSET_H

#include <cstddef>
#include <cstdint>

namespace vexo {

struct charblk;
struct check;
struct cstr;
struct expr;
struct set;
struct set_spec;
struct symbol;
struct xnode;

// The declaration being printed by the model printer: its own sets are
// written out, never replaced by its name.
extern xnode* x_current;
// Kept by the snapshot command: with bit 2 set, enumerated sets are
// written without braces.
extern int32_t in_snapshot;

// Writes a set expression.  Anything but a set record is an internal error
// (ends the session), and so is a set class without a written form.
void prset(set* s);
// Writes s as the operand of a declaration's phrase; when more is set
// another phrase follows that may begin with a comparison or `in`, and a
// set whose text ends in an expression (a setof's member) is parenthesised.
void prset_phrase(set* s, bool more);
// Writes an indexing expression "{...} ", registering each entry in the
// current index bank.
void pr_set_spec(set_spec* ss);

// The string forms.  Each returns a new counted string (one reference) or
// copies the text into the caller's chain; long texts are broken into lines
// that start with two blanks.
// At the width of display_width, ended by ";" and a newline.
cstr* sprex(expr* e);
// On one line, numbers with MD_precision digits; nothing appended.
cstr* sprex2(expr* e);
// As sprex2, numbers with prec digits.
cstr* sprex3(expr* e, int prec);
// At the given width, the text with its NUL copied into *cb (cbcopy);
// returns the copy.
char* sprexdw(int width, expr* e, charblk** cb);
// The same for a set, declared sets written by name.
char* sprsetdw(int width, set* s, charblk** cb);
// A set at the width of display_width, declared sets by name: with flag 0
// "within " and the set, ended by ";" and a newline; with flag 1 the set
// alone.
cstr* sprset(set* s, int flag);
// The text of a check, kept in the permanent string store: with e given,
// "check " and e with compiled values written as numbers; otherwise the
// check's own indexing and condition.  Ended by ";" and a newline.
const char* scheck(check* c, expr* e);

// Appends n bytes of text to the string being built (string mode).
void sabuf_add(const char* text, size_t n);

// The literal of an option value: the text in single quotes with each
// quote doubled and each newline after a backslash, then reduced by litfix
// (the bare text when it is a name that needs no quotes).  The buffer comes
// from new_mblk; the caller frees it with the class stored in *k.  *buf
// receives the block, the result points into it.
char* make_lit(const char* text, char** buf, int* k);
// The texts of n symbols joined by ","; valid until the next call.
const char* prtuple(symbol* const* syms, int n);

// Start-up and `reset`: the string and tuple buffers forgotten (reset frees
// their blocks), no declaration current.
void prset_reset();

}  // namespace vexo

#endif  // VEXO_REPORT_PRSET_H
