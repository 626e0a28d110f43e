// Text that lives in size-class blocks (support/pool.h): the growable text
// buffer charblk, the reference-counted string cstr (the value of every
// string expression) and the message string mstr that the formatted-output
// family appends to; beside them the numeric-text test valid_param and a
// few small text operations.
#ifndef VEXO_SUPPORT_TEXT_H
#define VEXO_SUPPORT_TEXT_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace vexo {

struct list;  // list cell (support/list.h)

// One block of a charblk chain; its text follows the 32-byte head.  The
// holder keeps a pointer to the newest block, null for an empty buffer.
struct charblk {
  charblk* prev;   // the older block, or null
  char* next;      // write position: the next free byte
  int k;           // size class of this block
  ptrdiff_t left;  // free bytes after next
  char* text() { return reinterpret_cast<char*>(this + 1); }
};
static_assert(std::is_trivially_destructible_v<charblk> &&
              sizeof(charblk) == 32);

// Reference-counted string: whoever stores a pointer adds 1 to refcnt,
// whoever drops one subtracts 1 and frees the block when it falls below 1
// (zap_cstr does that).
struct cstr {
  uint32_t k;       // size class of the block
  uint32_t refcnt;  // holders
  char* text() { return reinterpret_cast<char*>(this + 1); }
};
static_assert(std::is_trivially_destructible_v<cstr> && sizeof(cstr) == 8);

// Growable message string; the holder's pointer is null while it is empty.
// The text is always NUL-terminated.
struct mstr {
  uint32_t k;    // size class of the block
  uint32_t len;  // length of the text
  char* text() { return reinterpret_cast<char*>(this + 1); }
};
static_assert(std::is_trivially_destructible_v<mstr> && sizeof(mstr) == 8);

// A new block with room for at least n bytes of text, linked to prev.
charblk* newcb(size_t n, charblk* prev);
// n bytes reserved in the chain *cb; a full block stays in the chain and a
// new one with at least 4000 spare bytes goes in front.
char* cballoc(charblk** cb, size_t n);
// Copy of n bytes of s in the chain (no NUL added).
char* cbcopy(charblk** cb, const char* s, size_t n);
// Copy of the NUL-terminated s in the chain, NUL included.
char* cblcopy(charblk** cb, const char* s);
// Frees every block of the chain.
void cbfree(charblk* cb);
// Appends s to a one-block text that stays contiguous and NUL-terminated
// (the text is cb->text()); grows by copying.  Returns where s went.
char* adjoincb(charblk** cb, const char* s);

// Names the buffer that adjoin fills, for its overflow message.
extern const char* adjnam;
// Copies src with its NUL into dst; returns the address of the copied NUL.
// When the copy would reach end it reports "adjoin: <adjnam> is too small"
// and ends the session with rc at once.
char* adjoin(char* dst, char* end, const char* src);

// A cstr with room for n bytes of text (the caller writes them, NUL
// included); count 1.
cstr* new_cstr(size_t n);
// A cstr holding a copy of s; count 1.
cstr* new_cstring(const char* s);
// A cstr holding a, the character sep and b; count 1.
cstr* cstr_join(const char* a, char sep, const char* b);
// Drops the reference *p (freeing the string when it was the last) and sets
// *p to null; nothing for a null *p.
void zap_cstr(cstr** p);

// Appends n bytes of text to *m, creating the string when *m is null and
// moving it into a larger block when needed.
void Mstr_put(mstr** m, const char* text, size_t n);
// The text of m ("" for a null m).
const char* mstr_val(const mstr* m);
// Frees *m and sets it to null; nothing when it is null.
void mstr_free(mstr** m);

// Option no_hexfp: nonzero makes "0x..." texts not numbers.  Owned by the
// option code; lives here as its lowest reader.
extern int no_hexfp;
// Nonzero when text reads as a number: an optional sign, then digits with
// an optional fraction and an exponent (e, E, d or D), "nan" or "infinity"
// in any case, or a hexadecimal constant unless no_hexfp.  With keep 0 an
// accepted exponent letter is rewritten to 'e' in place.
int valid_param(char* text, int keep);

// A cstr joining the texts of a list of literal tokens (cells whose item is
// a char*, null counting as empty), led by "prefix=" when prefix is not
// null.  A quoted item contributes its content with doubled quotes written
// once and backslash-newline written as newline.
cstr* Llitcat(list* items, const char* prefix);
// s without its first and last character (the last is overwritten by a
// NUL); s itself when it has fewer than 3 characters.
char* quotestrip(char* s);
// The part of path after its last '/' (the whole path without one); null
// for null.
const char* base_name(const char* path);

}  // namespace vexo

#endif  // VEXO_SUPPORT_TEXT_H
