// Block-mode output framing: one growing buffer holds the current block's
// body behind a 64-byte reserved area, into which blockstart lays the header
// so that header and body go out together without copying the body.
#include "support/block.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "support/format.h"
#include "support/pool.h"

namespace vexo {

int blockmode;

// Longest block name kept; with the digits of any length it fits the
// 62 bytes that the header area leaves for name and digits.
static constexpr size_t NAME_MAX_LEN = 40;
static constexpr size_t HEADER = 64;       // reserved in front of the body
static constexpr size_t PIECE = 64500;     // largest single write
static constexpr int MIN_CLASS = 10;       // 8192-byte buffer at least

static char cur_name[NAME_MAX_LEN + 1] = "misc";
static char old_name[NAME_MAX_LEN + 1];
const char* blockname = cur_name;
const char* oldblkname;
static const char* pblkname;

// The buffer.  It comes from mymalloc_ZEF, not from the recorded pools, so
// that a `reset` (which frees all recorded memory) cannot pull it from under
// text still waiting to be sent.
static char* blkfirst;  // null when nothing is buffered
static char* blknext;   // write position
static char* blklast;   // end of the buffer

static void copy_name(char* dst, const char* name) {
  size_t n = name ? strnlen(name, NAME_MAX_LEN) : 0;
  memmove(dst, name, n);
  dst[n] = 0;
}

// Writes all n bytes to descriptor 1 in pieces of at most PIECE bytes.
// Short writes are continued and interrupted ones repeated; a descriptor in
// non-blocking mode is waited for.  Any other failure drops the rest.
static void write_out(const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = write(1, p, n < PIECE ? n : PIECE);
    if (w > 0) {
      p += w;
      n -= static_cast<size_t>(w);
    } else if (w < 0 && errno == EINTR) {
      continue;
    } else if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      struct pollfd pfd = {1, POLLOUT, 0};
      if (poll(&pfd, 1, -1) < 0 && errno != EINTR) return;
    } else {
      return;
    }
  }
}

void blockstart(const char* name) {
  if (blkfirst) {
    char* start = blkfirst + HEADER;
    if (blockmode != 4) {
      size_t namelen = strlen(cur_name);
      char digits[32];
      int nd = Sprintf(digits, "%ld",
                       static_cast<long>(namelen + 1 + (blknext - start)));
      start -= namelen + 2 + static_cast<size_t>(nd);
      memcpy(start, digits, static_cast<size_t>(nd));
      start[nd] = ' ';
      memcpy(start + nd + 1, cur_name, namelen);
      blkfirst[HEADER - 1] = '\n';
    }
    write_out(start, static_cast<size_t>(blknext - start));
    std::free(blkfirst);
    blkfirst = blknext = blklast = nullptr;
  }
  copy_name(cur_name, name);
}

void blockput(const char* text, size_t n) {
  if (n == 0) return;
  if (pblkname) {
    const char* name = pblkname;
    pblkname = nullptr;
    blockstart(name);
  }
  size_t m = n;
  if (blockmode == 2) {
    for (size_t i = 0; i < n; ++i) m += text[i] == '\n';
  }
  if (!blkfirst) {
    int k = htcl(m + HEADER);
    if (k < MIN_CLASS) k = MIN_CLASS;
    size_t size = size_t{8} << k;
    blkfirst = static_cast<char*>(mymalloc_ZEF(size));
    blknext = blkfirst + HEADER;
    blklast = blkfirst + size;
  } else if (static_cast<size_t>(blklast - blknext) < m) {
    size_t held = static_cast<size_t>(blklast - blkfirst);
    size_t size = size_t{8} << htcl(held + m);
    char* nb = static_cast<char*>(mymalloc_ZEF(size));
    size_t used = static_cast<size_t>(blknext - blkfirst);
    memcpy(nb + HEADER, blkfirst + HEADER, used - HEADER);
    std::free(blkfirst);
    blkfirst = nb;
    blknext = nb + used;
    blklast = nb + size;
  }
  if (blockmode == 2) {
    for (size_t i = 0; i < n; ++i) {
      if (text[i] == '\n') *blknext++ = '\r';
      *blknext++ = text[i];
    }
  } else {
    memcpy(blknext, text, n);
    blknext += n;
  }
}

const char* blockpending(const char* name) {
  const char* prev = pblkname;
  pblkname = name;
  return prev;
}

void errorstart(const char* name) {
  if (!blockmode) return;
  char saved[NAME_MAX_LEN + 1];
  copy_name(saved, name);  // name may be oldblkname itself
  copy_name(old_name, cur_name);
  oldblkname = old_name;
  blockstart(saved);
}

void block_start() {
  blockmode = 0;
  std::strcpy(cur_name, "misc");
  blockname = cur_name;
  oldblkname = nullptr;
}

}  // namespace vexo
