// The shared scratch buffers tok, pbuf and Bf, sized by one class.
#include "support/scratch.h"

#include <cstring>

#include "support/pool.h"

namespace vexo {

char* tok;
char* pbuf;
char* Bf;
int tok_k;
size_t pbuf_len;
size_t Bflen;
char* tokend;

static size_t class_size(int k) { return size_t{8} << k; }

// Sizes that follow from tok_k; tok, pbuf and Bf are already in place.
static void set_sizes() {
  size_t n = class_size(tok_k);
  pbuf_len = n - 2;
  Bflen = 2 * n;
  tokend = tok + n - 6;
}

void scratch_reset() {
  tok_k = TOK_K0;
  tok = static_cast<char*>(new_mblk(tok_k));
  pbuf = static_cast<char*>(new_mblk(tok_k));
  Bf = static_cast<char*>(new_mblk(tok_k + 1));
  set_sizes();
}

char* bump_pbuf(int k, char* p) {
  del_mblk(tok_k, pbuf);
  del_mblk(tok_k + 1, Bf);
  char* t = static_cast<char*>(new_mblk(k));
  // The token text goes along; a caller asking for a smaller class gets it
  // cut at the new size rather than written past the block.
  size_t keep = static_cast<size_t>(p - tok);
  if (keep > class_size(k)) keep = class_size(k);
  std::memcpy(t, tok, keep);
  del_mblk(tok_k, tok);
  tok = t;
  tok_k = k;
  Bf = static_cast<char*>(new_mblk(k + 1));
  pbuf = static_cast<char*>(new_mblk(k));
  set_sizes();
  return t + keep;
}

char* bump_tok_k(char* p) { return bump_pbuf(tok_k + 1, p); }

}  // namespace vexo
