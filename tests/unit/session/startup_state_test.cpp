// A session that reads a model and data, runs commands (one of them
// abandoned by an error) and ends with `reset` leaves every global of the
// program as start-up made it; one that ends with `reset data` leaves them
// as reading the model alone did.  Globals are found in the program's
// symbol table (global_state.h), so a module's forgotten reset shows here
// without this test naming the module.
#include "session/startup.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <string>

#include "frontend/frontend_fixture.h"
#include "session/global_state.h"
#include "session/loop.h"
#include "session/options.h"
#include "support/pool.h"
#include "test_util.h"

namespace vexo {
namespace {

const char* const model_text =
    "set S;\n"
    "set T := {i in S: i <> 'b'};\n"
    "param p {S} >= 0;\n"
    "param q {i in S} := 2 * p[i];\n"
    "param r symbolic default 'none';\n"
    "check: sum {i in S} p[i] >= 0;\n"
    "var x {S} >= 0;\n"
    "minimize cost: sum {i in S} q[i] * x[i];\n"
    "subject to cap {i in S}: x[i] <= p[i];\n"
    "suffix mark;\n"
    "problem P: x, cap, cost;\n";

const char* const data_text =
    "set S := a b c;\n"
    "param p := a 1 b 2 c 3;\n";

// Commands after the data: displays that generate sets and params, a let,
// a loop, and an evaluation error that abandons its command.
const char* const command_text =
    "display S, T, p, q;\n"
    "let r := 'some';\n"
    "for {i in T} print i, q[i];\n"
    "display p['z'];\n"
    "check;\n"
    "printf '%s\\n', r;\n";

class StartupState : public ::testing::Test, protected test::InputDir {
 protected:
  static void SetUpTestSuite() {
    // The process's set-up, once, as the program's main does it.
    process_setup("vexo");
  }
  void SetUp() override {
    enter("/tmp/vexo_state_XXXXXX");
    write_file("m.mod", model_text);
    write_file("d.dat", data_text);
    for (const kept_state* k = kept_by_reset; k < kept_by_reset + n_kept_by_reset;
         ++k) {
      std::string names = k->names;
      size_t at = 0;
      while (at < names.size()) {
        size_t end = names.find(',', at);
        if (end == std::string::npos) end = names.size();
        if (end > at) {
          std::string name = "vexo::" + names.substr(at, end - at);
          kept_data_.insert(name);
          if (!k->data_only) kept_.insert(name);
        }
        at = end + 1;
      }
    }
  }
  void TearDown() override { leave(); }

  // A new session of "vexo -vi1" (errors abandon their command and the
  // session goes on) that reads text as its standard input to its end; the
  // state of every global then, before the session's end.  *out receives
  // what the session wrote.
  test::global_state session(const std::string& text, test::outcome* out) {
    write_file("stdin.x", text);
    int saved = dup(0);
    int fd = open("stdin.x", O_RDONLY);
    dup2(fd, 0);
    close(fd);
    test::global_state state;
    *out = test::run_captured([&] {
      // What the last session recorded goes, as for a new process.
      mem_reset();
      static char vexo[] = "vexo", vi1[] = "-vi1";
      char* argv[] = {vexo, vi1, nullptr};
      start_session(2, argv);
      session_loop();
      state.take();
    });
    reset_environ();
    dup2(saved, 0);
    close(saved);
    return state;
  }

  std::set<std::string> kept_, kept_data_;
};

TEST_F(StartupState, KeptNamesAreGlobals) {
  test::global_state now;
  now.take();
  EXPECT_GT(now.count(), 400u);
  for (const std::string& name : kept_data_)
    EXPECT_TRUE(now.has(name)) << name;
}

TEST_F(StartupState, ResetGivesBackTheStateOfStartUp) {
  test::outcome first, second;
  test::global_state started = session("", &first);
  EXPECT_EQ(first.err, "");
  test::global_state after = session(std::string("model m.mod;\ndata d.dat;\n") +
                                         command_text + "reset;\n",
                                     &second);
  // The commands ran, and the one with the bad subscript was abandoned.
  EXPECT_NE(second.out.find("a 2"), std::string::npos) << second.out;
  EXPECT_NE(second.out.find("some"), std::string::npos) << second.out;
  EXPECT_NE(second.err.find("z"), std::string::npos) << second.err;
  EXPECT_EQ(started.differences(after, kept_), "");
}

TEST_F(StartupState, ResetDataGivesBackTheStateOfTheModel) {
  test::outcome first, second;
  test::global_state model = session("model m.mod;\n", &first);
  EXPECT_EQ(first.err, "");
  test::global_state after =
      session(std::string("model m.mod;\ndata d.dat;\n") + command_text +
                  "reset data;\n",
              &second);
  EXPECT_NE(second.out.find("some"), std::string::npos) << second.out;
  EXPECT_EQ(model.differences(after, kept_data_), "");
}

// The comparison itself: a counter left as a command set it, and a pointer
// to a record that `reset` freed, are both seen.
TEST_F(StartupState, ComparisonSeesStaleValuesAndFreedRecords) {
  test::start_modules();
  test::global_state before;
  before.take();
  int saved = parse_time;
  parse_time = 7;
  test::global_state changed;
  changed.take();
  parse_time = saved;
  EXPECT_EQ(before.differences(changed), "vexo::parse_time: byte 0\n");

#ifdef VEXO_TEST_ASAN  // only the address sanitizer tells freed memory
  cmd_fields* kept = curcmd;
  curcmd = static_cast<cmd_fields*>(Malloc(64));
  before.take();
  mem_reset();  // curcmd now points into freed memory
  changed.take();
  curcmd = kept;
  EXPECT_NE(before.differences(changed).find("vexo::curcmd: word 0 points "
                                             "into freed memory"),
            std::string::npos)
      << before.differences(changed);
#endif
}

}  // namespace
}  // namespace vexo
