// The "bit" handler: binary tables.  A 40-byte header (magic, the
// writer's arithmetic kind as text, then six int32 counts), a string table
// (one code byte per column, the names, the row strings), then per column
// its doubles and, for columns with strings, one int32 code per row
// (padded to an even count): 0 a number, 1 missing, k > 1 the k-th string
// of the table.  A file whose kind is 3 minus the reader's is read with
// every integer and double byte-reversed.  All counts are checked against
// the file's size before anything is allocated.
#include "data/tabfile.h"

#include <limits.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "data/tablerw.h"
#include "eval/funclib.h"
#include "frontend/reader.h"
#include "session/cmdfiles.h"
#include "support/block.h"
#include "support/filename.h"
#include "support/format.h"
#include "support/machine.h"

namespace vexo {

namespace {

const char magic[12] = {0, '\n', 'v', 'e', 'x', 'o', '.', 'b', 'i', 't', '\n',
                        0};

bool bit_file(TableInfo* ti, const char** name) {
  if (ti->nstrings != 1) return false;
  const char* s = ti->strings[0];
  const char* dot = std::strrchr(s, '.');
  if (!dot || std::strcmp(dot, ".bit")) return false;
  *name = s;
  return true;
}

void swap4(int32_t* p) {
  *p = static_cast<int32_t>(__builtin_bswap32(static_cast<uint32_t>(*p)));
}

void swap8(double* p) {
  uint64_t u;
  std::memcpy(&u, p, 8);
  u = __builtin_bswap64(u);
  std::memcpy(p, &u, 8);
}

// Where the bytes go or come from: a file, or in block mode the front
// end (the current input, and the block "_writetable" or "_readtable").
struct bitfile {
  FILE* f = nullptr;
  bool bm = false;
  TableInfo* ti;
  const char* fname;
  void* map = nullptr;  // the whole file mapped, or null
  size_t maplen = 0;
  ~bitfile() {
    if (f) fclose(f);
    if (map) munmap(map, maplen);
  }
  // The file's bytes from offset at to end mapped for reading, or null
  // (block mode, or no mapping to be had: the caller reads instead).
  const char* map_rest(size_t at, long long end) {
    if (bm || !f || end <= 0) return nullptr;
    // Populated at once: the columns are read through from end to end.
    void* p = mmap(nullptr, size_t(end), PROT_READ, MAP_PRIVATE | MAP_POPULATE,
                   fileno(f), 0);
    if (p == MAP_FAILED) return nullptr;
    map = p;
    maplen = size_t(end);
    return static_cast<const char*>(p) + at;
  }
  int fail(const char* fmt, const char* what) {
    if (f) fclose(f);
    f = nullptr;
    return tab_errmsg(ti, fmt, what, fname);
  }
  int wrapped(const std::string& text) {
    if (f) fclose(f);
    f = nullptr;
    return tab_errmsg(ti, "Error reading file %s:\n\t%s.", fname,
                      text.c_str());
  }
  int rd(void* p, size_t n, const char* what) {
    if (bm) return frdbm(p, n);
    if (n && fread(p, 1, n, f) != n)
      return fail("could not read %s from file %s.", what);
    return 0;
  }
  // Reads count items into v.  From the front end, whose byte count is
  // not known beforehand, v grows only as the bytes arrive, so that a
  // header that lies gives the end of the input, not a huge allocation.
  template <class V>
  int rd_vec(V& v, size_t count, const char* what) {
    using T = typename V::value_type;
    if (!bm) {
      v.resize(count);
      return rd(v.data(), count * sizeof(T), what);
    }
    constexpr size_t STEP = (size_t{1} << 20) / sizeof(T);
    v.clear();
    while (v.size() < count) {
      size_t at = v.size(), k = std::min(STEP, count - at);
      v.resize(at + k);
      if (int r = rd(v.data() + at, k * sizeof(T), what)) return r;
    }
    return 0;
  }
  // The pieces of a file in order, each named for the message should its
  // write fail: to a file in as few calls as the system takes (a piece is
  // never copied), in block mode to the front end.
  struct piece {
    const void* p;
    size_t n;
    const char* what;
  };
  int wr(const std::vector<piece>& pieces) {
    if (bm) {
      for (const piece& x : pieces)
        blockput(static_cast<const char*>(x.p), x.n);
      return 0;
    }
    std::vector<iovec> iov;
    for (const piece& x : pieces)
      if (x.n) iov.push_back({const_cast<void*>(x.p), x.n});
    size_t at = 0;  // the first piece not written whole
    int fd = fileno(f);
    while (at < iov.size()) {
      int cnt = int(std::min(iov.size() - at, size_t(IOV_MAX)));
      ssize_t k = writev(fd, &iov[at], cnt);
      if (k < 0 && errno == EINTR) continue;
      if (k <= 0) {
        size_t left = at;  // the piece that failed, among the non-empty
        for (const piece& x : pieces)
          if (x.n && !left--)
            return fail("could not write %s to file %s.", x.what);
      }
      // Whole pieces written are passed over, a part written is cut off.
      size_t done = size_t(k);
      while (at < iov.size() && done >= iov[at].iov_len)
        done -= iov[at++].iov_len;
      if (done) {
        iov[at].iov_base = static_cast<char*>(iov[at].iov_base) + done;
        iov[at].iov_len -= done;
      }
    }
    return 0;
  }
  // Block mode: the bytes the header announces (-1 until its counts are
  // known), the bytes read so far, and whether the input ended.
  long long announced = -1, consumed = 0;
  bool ended = false;
  // n bytes from the current input line and the lines after it (out null:
  // skipped).  At the end of the input, the message unless quiet.
  int frdbm(void* p, size_t n, bool quiet = false) {
    char* out = static_cast<char*>(p);
    while (n) {
      if (nextc >= lastc) {
        if (!nextline()) {
          ended = true;
          return quiet ? DB_Error
                       : tab_errmsg(ti, "EOF in _readtable %s", ti->tname);
        }
        continue;
      }
      size_t k = std::min(n, size_t(lastc - nextc));
      if (out) {
        std::memcpy(out, nextc, k);
        out += k;
      }
      n -= k;
      consumed += static_cast<long long>(k);
      resume_at(nextc + k);
    }
    return 0;
  }
  // After a failed block-mode read: the rest of the data is passed over,
  // never read as commands.  With the header's counts known, the bytes
  // they announce; else the rest of the input block.
  void skip_rest() {
    if (!bm || ended) return;
    if (announced < 0) {
      skip_block_rest();
      return;
    }
    if (announced > consumed) frdbm(nullptr, size_t(announced - consumed), true);
  }
  // Skips blanks up to the zero byte that starts the data.
  int inline_start() {
    for (;;) {
      if (nextc >= lastc) {
        if (!nextline())
          return tab_errmsg(ti, "EOF in _readtable %s", ti->tname);
        continue;
      }
      unsigned char c = static_cast<unsigned char>(*nextc);
      if (!c) return 0;
      if (c > 32) return tab_errmsg(ti, "Bad <inline> _readtable header");
      resume_at(nextc + 1);
    }
  }
};

// Block mode: an unnamed table whose one string is ".bit" is exchanged
// with the front end instead of a file.
bool block_table(TableInfo* ti) {
  return blockmode && !std::strcmp(ti->strings[0], ".bit") &&
         !std::strcmp(ti->tname, "<unnamed>");
}

// The transfer's block: the block that was current returns afterwards.
// Writing lowers mode 2 (newlines sent as CR LF) to 1 so that the bytes
// pass unchanged; reading keeps the binary input out of the log file.
struct block_transfer {
  std::string saved = blockname;
  int mode = blockmode;
  bool log = false;
  explicit block_transfer(bool write) {
    if (write) {
      if (mode == 2) set_blockmode(1);
    } else {
      log = log_suspend();
    }
    blockstart(write ? "_writetable" : "_readtable");
  }
  ~block_transfer() {
    blockstart(saved.c_str());
    set_blockmode(mode);
    if (log) log_resume();
  }
};

// A vector whose new elements are left unset: buffers that a read fills
// whole are not cleared first.
template <class T>
struct uninit_alloc : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = uninit_alloc<U>;
  };
  uninit_alloc() = default;
  template <class U>
  uninit_alloc(const uninit_alloc<U>&) {}
  template <class U>
  void construct(U* p) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... A>
  void construct(U* p, A&&... a) {
    ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
  }
};
template <class T>
using buffer = std::vector<T, uninit_alloc<T>>;

// What the header says.
struct bithead {
  char magic[12];
  char kind[4];
  int32_t arity, ncols, nrows, nnum, nstr, strsize;
};
static_assert(sizeof(bithead) == 40);

// A file read whole: its counts, names and columns.
struct bitdata {
  bithead h;
  std::vector<char> strs;          // the string table
  std::vector<const char*> names;  // arity + ncols
  std::vector<char> code;          // per column '0'..'3'
  std::vector<buffer<double>> num;  // columns read into buffers
  std::vector<buffer<int32_t>> sym;
  std::vector<const double*> numv;  // each column's numbers and codes, in
  std::vector<const int32_t*> symv;  // its buffer or the file's mapping
  std::vector<const char*> rowstr;  // the row strings, in file order
};

// Reads and checks a file against the table; 0, or the failure.
int read_bit(bitfile& B, bitdata& D, bool check_ncols) {
  TableInfo* ti = B.ti;
  struct stat st;
  long long size = !B.bm && fstat(fileno(B.f), &st) == 0 ? st.st_size : -1;
  if (int r = B.rd(&D.h, sizeof D.h, "header")) return r;
  bithead& h = D.h;
  if (std::memcmp(h.magic, magic, sizeof magic))
    return B.wrapped("bad header");
  char kt[5];
  std::memcpy(kt, h.kind, 4);
  kt[4] = 0;
  double kind = std::strtod(kt, nullptr);
  bool swap;
  if (kind == arith_kind) {
    swap = false;
  } else if (kind == 3 - arith_kind) {
    swap = true;
  } else {
    char msg[80];
    Snprintf(msg, sizeof msg, "header gives unexpected arkind = %g", kind);
    return B.wrapped(msg);
  }
  if (swap)
    for (int32_t* p : {&h.arity, &h.ncols, &h.nrows, &h.nnum, &h.nstr,
                       &h.strsize})
      swap4(p);
  // The counts are checked (and the bytes they announce known) before
  // anything else: a failed read in block mode passes over those bytes.
  long long ncol = (long long)h.arity + h.ncols;
  long long rows = h.nrows, even = rows + (rows & 1);
  bool counts_ok = h.ncols >= 0 && rows >= 0 && h.nnum >= 0 && h.nstr >= 0 &&
                   h.strsize >= 0 && h.nnum <= ncol && h.nstr <= ncol &&
                   h.strsize >= 1 + 2 * ncol;
  // The bytes the counts need, in 128 bits: the products of two 31-bit
  // counts and a width do not fit in 64.
  __int128 need = counts_ok ? __int128(40) + h.strsize +
                                  __int128(8) * h.nnum * rows +
                                  __int128(4) * h.nstr * even
                            : 0;
  if (counts_ok && need < (__int128(1) << 62))
    B.announced = static_cast<long long>(need);
  char msg[120];
  if (h.arity != ti->arity) {
    Snprintf(msg, sizeof msg, "header gives arity %d rather than %d", h.arity,
             ti->arity);
    return B.wrapped(msg);
  }
  if (check_ncols && ncol < ti->arity + ti->ncols) {
    Snprintf(msg, sizeof msg,
             "header says only %lld columns; expected at least %d", ncol,
             ti->arity + ti->ncols);
    return B.wrapped(msg);
  }
  // Every count against the file's size before anything is allocated.
  if (!counts_ok || (size >= 0 && need > size)) {
    Snprintf(msg, sizeof msg, "header counts do not fit the file (%lld bytes)",
             size);
    return B.wrapped(msg);
  }
  if (int r = B.rd_vec(D.strs, size_t(h.strsize), "string table")) return r;
  D.strs.push_back(0);
  // Codes, then names, then the row strings, each ended by a zero byte.
  const char* p = D.strs.data();
  const char* end = p + h.strsize;
  if (std::strlen(p) != size_t(ncol)) return B.wrapped("bad string table");
  D.code.assign(p, p + ncol);
  int nn = 0, ns = 0;
  for (char c : D.code) {
    if (c < '0' || c > '3') return B.wrapped("bad string table");
    nn += (c - '0') & 1;
    ns += ((c - '0') & 2) != 0;
  }
  if (nn != h.nnum || ns != h.nstr) return B.wrapped("bad string table");
  p += ncol + 1;
  for (long long i = 0; i < ncol; ++i) {
    if (p >= end) return B.wrapped("bad string table");
    D.names.push_back(p);
    p += std::strlen(p) + 1;
  }
  while (p < end && *p) {
    D.rowstr.push_back(p);
    p += std::strlen(p) + 1;
  }
  D.num.resize(size_t(ncol));
  D.sym.resize(size_t(ncol));
  D.numv.assign(size_t(ncol), nullptr);
  D.symv.assign(size_t(ncol), nullptr);
  int32_t first = int32_t(ncol) + 1;
  // A file in the reader's byte order is read in place through a mapping
  // (its size checked above): the columns are not copied.
  const char* map =
      swap ? nullptr
           : B.map_rest(40 + size_t(h.strsize), static_cast<long long>(need));
  size_t off = 0;
  // One column of count items: in place in the mapping, else read into
  // buf (byte-reversed when swapping).
  auto column = [&](auto& buf, size_t count, const char* what,
                    auto* view) -> int {
    using T = typename std::remove_reference_t<decltype(buf)>::value_type;
    if (map) {
      // In place when the column lies aligned for T (string sizes can
      // leave it anywhere); else copied out of the mapping.
      const char* at = map + off;
      off += sizeof(T) * count;
      if (reinterpret_cast<uintptr_t>(at) % alignof(T) == 0) {
        *view = reinterpret_cast<const T*>(at);
      } else {
        buf.resize(count);
        if (count) std::memcpy(buf.data(), at, sizeof(T) * count);
        *view = buf.data();
      }
      return 0;
    }
    if (int r = B.rd_vec(buf, count, what)) return r;
    if (swap)
      for (T& x : buf) {
        if constexpr (sizeof(T) == 8)
          swap8(&x);
        else
          swap4(&x);
      }
    *view = buf.data();
    return 0;
  };
  for (long long j = 0; j < ncol; ++j) {
    int c = D.code[size_t(j)] - '0';
    size_t k = size_t(j);
    if (c & 1)
      if (int r = column(D.num[k], size_t(rows), "real data", &D.numv[k]))
        return r;
    if (c & 2) {
      if (int r = column(D.sym[k], size_t(even), "symbol pointers",
                         &D.symv[k]))
        return r;
      const int32_t* v = D.symv[size_t(j)];
      for (long long r = 0; r < rows; ++r) {
        int32_t x = v[r];
        if (x > 1 && (x < first ||
                      x - first >= static_cast<int32_t>(D.rowstr.size())))
          return B.wrapped("bad string code");
      }
    }
  }
  return 0;
}

// The file position of each table column (keys among keys, data among
// data), or the message.
int match(bitfile& B, bitdata& D, std::vector<int>& pos, bool lax) {
  TableInfo* ti = B.ti;
  int n = ti->arity + ti->ncols, fa = D.h.arity;
  int fn = int(D.names.size());
  pos.assign(size_t(n), -1);
  for (int i = 0; i < n; ++i) {
    bool key = i < ti->arity;
    for (int j = key ? 0 : fa; j < (key ? fa : fn); ++j)
      if (!std::strcmp(D.names[size_t(j)], ti->colnames[i])) {
        pos[size_t(i)] = j;
        break;
      }
    if (pos[size_t(i)] < 0 && (key || !lax)) {
      char msg[600];
      Snprintf(msg, sizeof msg, "Column %Q not found", ti->colnames[i]);
      return B.wrapped(msg);
    }
  }
  return 0;
}

// The string of a row's code (code > 1).
const char* row_string(const bitdata& D, int32_t code) {
  int32_t first = D.h.arity + D.h.ncols + 1;
  return D.rowstr[size_t(code - first)];
}

// Row r of file column j as the cell of table column dst (merging).
void put_cell(TableInfo* ti, const bitdata& D, int j, long r, int dst,
              long row) {
  DbCol* c = &ti->cols[dst];
  int code = D.code[size_t(j)] - '0';
  int32_t s = (code & 2) ? D.symv[size_t(j)][r] : 0;
  if (s == 1 || (!s && !(code & 1))) {
    if (!c->sval) ti->ColAlloc(ti, dst, 1);
    c->sval[row] = ti->Missing;
  } else if (s > 1) {
    if (!c->sval) ti->ColAlloc(ti, dst, 1);
    // The file's strings go with the reader: a copy in the call's memory.
    c->sval[row] = keep(ti, row_string(D, s));
  } else {
    if (!c->dval) ti->ColAlloc(ti, dst, 0);
    c->dval[row] = D.numv[size_t(j)][r];
    if (c->sval) c->sval[row] = nullptr;
  }
}

}  // namespace

extern "C" int Read_vexo_bit(VexoExports*, TableInfo* ti) {
  const char* fname;
  if (!bit_file(ti, &fname)) return DB_Refuse;
  bitfile B;
  B.ti = ti;
  B.fname = fname;
  B.bm = block_table(ti);
  std::optional<block_transfer> bt;
  if (B.bm) {
    bt.emplace(false);
    if (int r = B.inline_start()) return r;
  } else {
    B.f = Fopen_map(fname, "rb");
    if (!B.f) return tab_errmsg(ti, "Cannot open \"%s\".", fname);
  }
  bitdata D;
  if (int r = read_bit(B, D, true)) {
    B.skip_rest();
    return r;
  }
  bt.reset();
  std::vector<int> pos;
  if (int r = match(B, D, pos, false)) return r;
  if (B.f) fclose(B.f);
  B.f = nullptr;
  long rows = D.h.nrows;
  if (!rows) return 0;
  int n = ti->arity + ti->ncols;
  std::vector<DbCol> cols(static_cast<size_t>(n));
  std::vector<std::vector<char*>> sv(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    int j = pos[size_t(i)];
    int code = D.code[size_t(j)] - '0';
    // The handler interface takes writable arrays; AddRows only reads.
    cols[size_t(i)].dval =
        (code & 1) ? const_cast<double*>(D.numv[size_t(j)]) : nullptr;
    // A column of numbers only needs no strings.
    if (code == 1) continue;
    auto& s = sv[size_t(i)];
    s.assign(size_t(rows), nullptr);
    for (long r = 0; r < rows; ++r) {
      int32_t c = (code & 2) ? D.symv[size_t(j)][r] : 0;
      if (c == 1 || (!c && !(code & 1)))
        s[size_t(r)] = ti->Missing;
      else if (c > 1)
        s[size_t(r)] = const_cast<char*>(row_string(D, c));
    }
    cols[size_t(i)].sval = s.data();
  }
  return ti->AddRows(ti, cols.data(), rows) ? DB_Error : DB_Done;
}

namespace {

// Merges an existing file of a table that also reads: its rows found by
// Lookup get the file-only columns, the others are appended.
int merge_bit(TableInfo* ti, const char* fname) {
  bitfile B;
  B.ti = ti;
  B.fname = fname;
  B.f = Fopen_map(fname, "rb");
  if (!B.f) return 0;
  bitdata D;
  if (int r = read_bit(B, D, false)) return r;
  std::vector<int> pos;
  if (int r = match(B, D, pos, true)) return r;
  fclose(B.f);
  B.f = nullptr;
  int n0 = ti->arity + ti->ncols;
  int fa = D.h.arity;
  std::vector<int> extra = add_file_columns(
      ti, pos, fa, int(D.names.size()) - fa, D.names.data());
  int a = ti->arity;
  std::vector<double> kd(static_cast<size_t>(a > 0 ? a : 1));
  std::vector<char*> ks(static_cast<size_t>(a > 0 ? a : 1));
  for (long r = 0; r < D.h.nrows; ++r) {
    for (int j = 0; j < a; ++j) {
      int f = pos[size_t(j)];
      int code = D.code[size_t(f)] - '0';
      int32_t c = (code & 2) ? D.symv[size_t(f)][r] : 0;
      kd[size_t(j)] = (code & 1) ? D.numv[size_t(f)][r] : 0;
      ks[size_t(j)] = c > 1 ? const_cast<char*>(row_string(D, c)) : nullptr;
    }
    bool added;
    long row = merge_row(ti, kd.data(), ks.data(), &added);
    if (added) {
      for (int j = 0; j < n0; ++j) {
        if (pos[size_t(j)] >= 0) {
          put_cell(ti, D, pos[size_t(j)], r, j, row);
        } else {
          set_missing(ti, j, row);
        }
      }
    }
    for (size_t k = 0; k < extra.size(); ++k)
      put_cell(ti, D, extra[k], r, n0 + int(k), row);
  }
  return 0;
}

}  // namespace

namespace {

// Opens the file written.  An existing regular file is written over in
// place (*rewrite set; the caller cuts it to its new length): its pages in
// the page cache and its blocks on disk serve again, where a truncation
// would give them up only for the write to take new ones.
FILE* open_output(const char* fname, bool* rewrite) {
  *rewrite = false;
  if (FILE* f = Fopen_map(fname, "r+b")) {
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode)) {
      *rewrite = true;
      return f;
    }
    fclose(f);
  }
  return Fopen_map(fname, "wb");
}

// A column's code: 1 numbers, 2 strings (missing values among them), 3
// both.
int column_code(const DbCol* c, long rows) {
  if (!rows) return 0;
  if (!c->sval) return c->dval ? 1 : 2;
  bool num = false, str = false;
  for (long r = 0; r < rows && !(num && str); ++r) {
    if (c->sval[r] || !c->dval)
      str = true;
    else
      num = true;
  }
  return (num ? 1 : 0) | (str ? 2 : 0);
}

}  // namespace

extern "C" int Write_vexo_bit(VexoExports*, TableInfo* ti) {
  const char* fname;
  if (!bit_file(ti, &fname)) return DB_Refuse;
  bitfile B;
  B.ti = ti;
  B.fname = fname;
  B.bm = block_table(ti);
  if (!B.bm && (ti->flags & DBTI_flags_IN))
    if (int r = merge_bit(ti, fname)) return r;
  bool rewrite = false;
  if (!B.bm) {
    B.f = open_output(fname, &rewrite);
    if (!B.f) return tab_errmsg(ti, "Cannot open \"%s\".", fname);
  }
  int n = ti->arity + ti->ncols;
  long rows = ti->nrows;
  bithead h{};
  std::memcpy(h.magic, magic, sizeof magic);
  char kt[8];
  Snprintf(kt, sizeof kt, "%d", arith_kind);
  std::memcpy(h.kind, kt, std::strlen(kt));
  h.arity = ti->arity;
  h.ncols = ti->ncols;
  h.nrows = static_cast<int32_t>(rows);
  std::string strs;
  std::vector<int> code(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    int c = column_code(&ti->cols[i], rows);
    code[size_t(i)] = c;
    h.nnum += c & 1;
    h.nstr += (c & 2) != 0;
    strs += char('0' + c);
  }
  strs += '\0';
  for (int i = 0; i < n; ++i) {
    strs += ti->colnames[i];
    strs += '\0';
  }
  // Row strings in column order; each string's code is its number among
  // all the table's strings (codes 0, names 1..n).
  std::vector<std::vector<int32_t>> codes(static_cast<size_t>(n));
  int32_t next = n + 1;
  long even = rows + (rows & 1);
  for (int i = 0; i < n; ++i) {
    if (!(code[size_t(i)] & 2)) continue;
    DbCol* c = &ti->cols[i];
    auto& v = codes[size_t(i)];
    v.assign(size_t(even), 0);
    for (long r = 0; r < rows; ++r) {
      char* s = c->sval ? c->sval[r] : nullptr;
      if (s == ti->Missing || (!s && !c->dval)) {
        v[size_t(r)] = 1;
      } else if (s) {
        v[size_t(r)] = next++;
        strs += s;
        strs += '\0';
      }
    }
  }
  while (strs.size() % 8) strs += '\0';
  h.strsize = static_cast<int32_t>(strs.size());
  // The whole file in one write: the header, the strings, then each
  // column's numbers (a column with numbers has its array) and codes.
  std::vector<bitfile::piece> pieces;
  pieces.push_back({&h, sizeof h, "header"});
  pieces.push_back({strs.data(), strs.size(), "strings"});
  size_t total = sizeof h + strs.size();
  for (int i = 0; i < n; ++i) {
    if (code[size_t(i)] & 1) {
      pieces.push_back({ti->cols[i].dval, size_t(rows) * 8, "real column"});
      total += size_t(rows) * 8;
    }
    if (code[size_t(i)] & 2) {
      pieces.push_back({codes[size_t(i)].data(), size_t(even) * 4,
                        "string column"});
      total += size_t(even) * 4;
    }
  }
  std::optional<block_transfer> bt;
  if (B.bm) bt.emplace(true);
  if (int r = B.wr(pieces)) return r;
  // A file written over keeps nothing of its old contents past the new.
  if (rewrite && ftruncate(fileno(B.f), off_t(total)))
    return B.fail("could not write %s to file %s.", "the end");
  if (B.f) fclose(B.f);
  B.f = nullptr;
  return 0;
}

}  // namespace vexo
