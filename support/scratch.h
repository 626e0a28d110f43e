// The shared scratch buffers of the front end: tok (the lexer's token text),
// pbuf (a print and scratch line) and Bf (twice their size: msgBf messages
// and the texts of gfmt, pvg and ffmt).  They are sized together by one size
// class, tok_k, and grown together by bump_tok_k and bump_pbuf; a grow keeps
// the token text in tok but not the contents of pbuf and Bf.  All three are
// mblks (support/pool.h), so mem_reset drops them: start-up calls
// scratch_reset again afterwards.
#ifndef VEXO_SUPPORT_SCRATCH_H
#define VEXO_SUPPORT_SCRATCH_H

#include <cstddef>

namespace vexo {

// Initial size class of tok and pbuf (512 bytes; Bf is one class larger).
constexpr int TOK_K0 = 6;

extern char* tok;        // token text, class tok_k
extern char* pbuf;       // scratch line, class tok_k
extern char* Bf;         // scratch text, class tok_k + 1
extern int tok_k;        // size class of tok and pbuf
extern size_t pbuf_len;  // size of pbuf less 2
extern size_t Bflen;     // size of Bf
extern char* tokend;     // tok + its size - 6: the last position the lexer
                         // may store at without growing tok

// Allocates the three buffers at class TOK_K0 and sets the sizes.  Start-up,
// and again after mem_reset (the old blocks are not freed: reset dropped
// them).
void scratch_reset();

// Grows tok, pbuf and Bf by one size class while the lexer writes into tok
// at p; the text of tok before p is kept.  Returns the position p in the
// new tok.
char* bump_tok_k(char* p);
// The same with size class k for tok and pbuf (Bf gets class k + 1); used
// when a text built in pbuf or tok outgrows them.  Callers ask for a class
// above tok_k; with a smaller one the token text is cut at the new size.
char* bump_pbuf(int k, char* p);

}  // namespace vexo

#endif  // VEXO_SUPPORT_SCRATCH_H
