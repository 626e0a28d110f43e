// Clean-up records run exactly once, newest first.
#include "session/loop.h"

#include <gtest/gtest.h>

#include <string>

#include "support/machine.h"
#include "support/pool.h"

namespace vexo {
namespace {

std::string trail;
void note(void* arg) { trail += static_cast<const char*>(arg); }

TEST(Cleanup, NewestFirstAndOnce) {
  trail.clear();
  cleanup_rec* a = register_cleanup(note, const_cast<char*>("a"));
  register_cleanup(note, const_cast<char*>("b"));
  cleanup_rec* c = register_cleanup(note, const_cast<char*>("c"));
  unregister_cleanup(c);  // the normal path of c
  EXPECT_EQ(trail, "c");
  register_cleanup(note, const_cast<char*>("d"));
  cmd_mem_reset();  // the error path of the rest
  EXPECT_EQ(trail, "cdba");
  cmd_mem_reset();
  EXPECT_EQ(trail, "cdba");
  (void)a;
}

// A clean-up that registers another during the reset: that one runs too.
void chain(void* arg) {
  trail += "x";
  if (arg) register_cleanup(note, const_cast<char*>("y"));
}

TEST(Cleanup, RegisteredDuringResetRunsToo) {
  trail.clear();
  register_cleanup(chain, &trail);
  run_cleanups();
  EXPECT_EQ(trail, "xy");
}

}  // namespace
}  // namespace vexo
