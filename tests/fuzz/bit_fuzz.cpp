// Fuzz target: the input is a ".bit" table file, read by the "bit"
// handler's reader for a table [k], a, b.  Its extra seeds,
// tests/fuzz/seeds/bit/, are files the writer made (numbers, strings and
// missing values; the other byte order).
#include "fuzz/table_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vexo::fuzz::read_table_input(
      data, size, ".bit", [](TableInfo* ti, const char*) {
        return vexo::Read_vexo_bit(vexo::own_exports(), ti);
      });
}
