// The nl problem file: the ten header lines and the segments of the
// collected problem (instance/ac.h), in the text form ("g") and the binary
// form ("b").  Every item after the header goes through one item writer,
// aprintf (text) or bprintf (binary), which read the same format strings:
// the text form copies a format and stops at its TAB unless option
// nl_comments is set; the binary form writes the leading letter as one
// byte and each conversion as native-order binary data, and stops at the
// first character that is neither a blank nor a conversion.  So the two
// forms never differ in content.
//
// Output goes through one buffer per write (nlfile), flushed in large
// pieces: no stdio call per item.
#ifndef VEXO_SOLVER_NLWRITE_H
#define VEXO_SOLVER_NLWRITE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace vexo {

struct AC;
struct varref;
struct xname;

// The buffered output of one problem file.
struct nlfile {
  FILE* f;    // the open file; null: standard output through Printf
  char* buf;  // a block of class k
  char* p;    // next byte to fill
  char* end;  // end of buf less the slack an item may need (NLF_SLACK)
  int32_t k;
  int32_t failed;  // a write to f failed
};
// Room an item is sure to find after nl_room: a formatted double takes at
// most 420 bytes (support/gfmt.h).
constexpr size_t NLF_SLACK = 512;

// Takes a buffer block for output to fp (null: standard output); the
// writer frees it (del_mblk(f->k, f->buf)) after the last flush.
void nl_open_buf(nlfile* f, FILE* fp);
// Writes what the buffer holds to the file and empties it.
void nl_flush(nlfile* f);
// The buffer with at least n bytes free (n at most NLF_SLACK, or any n
// when the buffer is flushed first and large enough).
inline char* nl_room(nlfile* f, size_t n) {
  if (static_cast<size_t>(f->end - f->p) < n) nl_flush(f);
  return f->p;
}
// Appends n bytes.
void nl_put(nlfile* f, const void* s, size_t n);

// The item writers (format strings as described above).  They return the
// number of items: 1 for a leading literal character plus one per
// conversion.  A conversion letter they do not take ends the session with
// code 1 after "aprintf bug: unexpect fmt %s\n" (or "bprintf bug: ...").
int aprintf(nlfile* f, const char* fmt, ...);
int bprintf(nlfile* f, const char* fmt, ...);
// The number items of expression graphs: text "n%g\n"; binary "s" and 2
// bytes for an integer in 16 bits, "l" and 4 bytes for one in 32 bits,
// else "n" and the 8-byte double (NaN included).
void anput(nlfile* f, double x);
void bnput(nlfile* f, double x);

// The state of the write under way, set at the start of outmps.
using item_writer = int (*)(nlfile* f, const char* fmt, ...);
extern item_writer apr;                      // aprintf or bprintf
extern void (*nput)(nlfile* f, double x);    // anput or bnput
extern const char* (*Xwho)(const xname* n);  // xwho with comments, else
                                             // Xwho0
extern const char* oput_fmt;                 // "o%d\t#%s\n"
// 1 when a solution is at hand and option reset_initial_guesses is 0:
// the initial guesses are the values last held.  Set by outmps and
// digcount.
extern int restart;

// The linear terms of the sent rows in writer order (col1sort): the
// column lists of the collected problem taken apart once per problem and
// kept in the problem (AC::jac_sorted) for later writes.  Slots number the
// sent rows: constraints 0 .. n_con - 1 in writer order, then objectives in
// writer order.  Every array is a block of the size-class allocator; the
// record too (class k).
struct jacsort {
  int64_t* start;  // n_con + n_obj + 1 entries: each slot's first term
  int32_t* col;    // writer column of each term, increasing in a slot
  double* coef;
  int64_t* kcum;   // per writer column: the constraint terms of the
                   // columns up to it (the k segment)
  int64_t nzc, nzo;  // constraint and objective terms
  // What it was built from, checked before it is used again.
  varref* const* col_terms;
  const int32_t* var_order;
  const int32_t* con_order;
  const int32_t* obj_order;
  int32_t n_var, n_con, n_obj;
  int32_t ks, kt, kc, kv, k;  // classes of start, col, coef, kcum, record
};

// The rebuilt Jacobian of ac (made from col_terms, itself made from
// row_terms first when missing), or the one kept from an earlier write
// when it was built from the same lists, orders and counts.  *nzc gets the
// number of constraint terms; when it is 2^31 or more the result is null
// (nothing is kept).
jacsort* col1sort(AC* ac, int64_t* nzc);
// Frees ac->jac_sorted.  Whoever changes the column lists, the orders or
// the sent counts of a problem calls it: collection (col_teardown),
// v_upgrade, and set_lubs when the row order changes.
void jac_forget(AC* ac);

// Writes the collected (and presolved) problem ac as the file the stub
// names (option outopt after its form letter) with ".nl" appended, in the
// form of outopt's first letter, "g" or "b"; for "m" and "n" the MPS text
// instead (mps_write, solver/mpswrite.h).  A file that cannot be opened
// is reported ("can't open %s") and the command abandoned (bailout); a
// problem with 2^31 or more Jacobian nonzeros is refused the same way,
// since the counts of the file's segments are 32-bit.  Sets n_dig
// (solver/output.h) to the count of dual initial guesses written.
void outmps(AC* ac);
// The problem's name for a file of this stub: its base name without its
// last extension, "Unnamed!" when that is empty; cut to size - 1 bytes.
void prob_name(const char* stub, char* out, size_t size);
// The nonlinear-variable counts of header line 5: in constraints, in
// objectives, in both.
void nl_var_counts(const AC* ac, int* nlvc, int* nlvo, int* nlvb);
// Opens a problem or auxiliary file for writing; on failure (after one
// retry with the file removed when show_files asks for it) reports "can't
// open %s" and abandons the command (bailout).
FILE* nl_fopen(const char* name);
// Start-up and `reset`: the writer's temporary expression nodes lay in
// freed memory and are forgotten.
void outmps_reinit();
// How many of the declared imported functions from number first on the
// problem uses.  No function is marked used until the function libraries
// are loaded: 0.
int funcs_used(int first);
// Sets restart and returns the number of dual initial guesses a write of
// ac would send.
int digcount(AC* ac);
// The option words 1 to 9 of the header (w[1..9]) that a file written now
// carries, and their count.  The solution reader compares the words a
// solver echoes with them.
int nl_opt_words(const AC* ac, int64_t w[10]);

}  // namespace vexo

#endif  // VEXO_SOLVER_NLWRITE_H
