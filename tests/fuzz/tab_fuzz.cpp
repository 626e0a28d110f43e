// Fuzz target: the input is a ".tab" table file, read by the "tab"
// handler's reader for a table [k], a, b.  Its seeds are the ".tab" files
// of the behaviour cases.
#include "fuzz/table_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vexo::fuzz::read_table_input(
      data, size, ".tab", [](TableInfo* ti, const char* name) {
        return vexo::Read_vexo_tab1(vexo::own_exports(), ti, name);
      });
}
