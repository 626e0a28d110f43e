// The times report: its lines, and the tab that follows each field.
#include "session/batch.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "session/opttable.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::run_captured;

// One line per phase, written to the error stream: a short phase name
// ("parse", up to 6 characters) is followed by two tabs, a longer one
// ("presolve") by one; user and system times end in "u" and "s"; the two
// memory figures are whole numbers.  Nothing is written without the
// option.
TEST(TimesReport, PhaseLines) {
  batch_reset();
  int saved = tell_times;
  tell_times = 1;
  auto r = run_captured([] {
    report_times("parse");
    report_times("presolve");
    report_times("gen.data print");
  });
  tell_times = 0;
  auto quiet = run_captured([] { report_times("parse"); });
  tell_times = saved;
  // The fields after the phase and its tabs.
  const std::string num = "[0-9.e+-]+";
  const std::string fields = num + "u\\t{1,2}" + num +
                             "s\\t{1,2}[0-9]+\\t{1,2}[0-9]+\\n";
  std::regex want("#parse\\t\\t" + fields + "#presolve\\t" + fields +
                  "#gen\\.data print\\t" + fields);
  EXPECT_TRUE(std::regex_match(r.err, want)) << r.err;
  EXPECT_EQ(quiet.err, "");
}

}  // namespace
}  // namespace vexo
