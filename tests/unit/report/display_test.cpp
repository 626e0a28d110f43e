// The display command's reading of entity items: what an entity whose
// index set has no data reports.  (A declared set without data is the case
// report/no_data_index_set.)
#include "report/display.h"

#include <gtest/gtest.h>

#include "eval/setclass.h"
#include "report_fixture.h"

namespace vexo {
namespace {

class Display : public test::Printer {};

// An invalid set stands for missing data and says what is missing with its
// own two texts.
TEST_F(Display, InvalidIndexSetNamesWhatIsMissing) {
  parse_text("set S; param r {S};");
  auto* r = static_cast<xnode*>(Symbol0("r")->binding);
  r->indexing->first->s = set_invalid("table", "T");
  int bad = 0;
  auto got = test::run_captured([&] { EXPECT_EQ(darity(r, &bad), -1); });
  EXPECT_EQ(bad, 1);
  EXPECT_NE(got.err.find("No data for table T."), std::string::npos)
      << got.err;
}

}  // namespace
}  // namespace vexo
