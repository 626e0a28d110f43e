// What the table-file targets share: the input written to a scratch file
// and read by a built-in handler's reader for a table of one key column
// and two data columns, the rows taken by a callback that only looks at
// them.  Malformed files are ordinary outcomes (an error message).
#ifndef VEXO_TESTS_FUZZ_TABLE_READER_H
#define VEXO_TESTS_FUZZ_TABLE_READER_H

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/tabfile.h"
#include "eval/funclib.h"
#include "support/text.h"

namespace vexo::fuzz {

inline int take_rows(TableInfo* ti, DbCol* cols, long nrows) {
  // Every cell is looked at, as the engine would.
  volatile size_t seen = 0;
  for (long i = 0; i < nrows; ++i)
    for (int j = 0; j < ti->arity + ti->ncols; ++j) {
      if (cols[j].sval && cols[j].sval[i])
        seen = seen + std::string(cols[j].sval[i] == ti->Missing
                                      ? "."
                                      : cols[j].sval[i]).size();
      else if (cols[j].dval)
        seen = seen + (cols[j].dval[i] != 0);
    }
  return 0;
}

// Reads the input as file name suffix (".tab" or ".bit") with reader.
inline int read_table_input(const uint8_t* data, size_t size,
                            const char* suffix,
                            int (*reader)(TableInfo*, const char*)) {
  static std::string dir;
  if (dir.empty()) {
    char tmpl[] = "/tmp/vexo_tabfuzz_XXXXXX";
    if (!mkdtemp(tmpl)) return 0;
    dir = tmpl;
  }
  std::string name = dir + "/input" + suffix;
  FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  static char missing[] = "Missing";
  char* names[3] = {const_cast<char*>("k"), const_cast<char*>("a"),
                    const_cast<char*>("b")};
  char* strings[1] = {name.data()};
  double dv[3] = {};
  char* sv[3] = {};
  DbCol cols[3] = {{&dv[0], &sv[0]}, {&dv[1], &sv[1]}, {&dv[2], &sv[2]}};
  charblk* tmi = nullptr;
  TableInfo ti{};
  ti.AddRows = take_rows;
  ti.tname = const_cast<char*>("fuzz");
  ti.strings = strings;
  ti.nstrings = 1;
  ti.colnames = names;
  ti.cols = cols;
  ti.Missing = missing;
  ti.TMI = &tmi;
  ti.arity = 1;
  ti.ncols = 2;
  ti.flags = 1;
  reader(&ti, name.c_str());
  cbfree(tmi);
  unlink(name.c_str());
  return 0;
}

}  // namespace vexo::fuzz

#endif  // VEXO_TESTS_FUZZ_TABLE_READER_H
