#include "support/block.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "support/pool.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::run_captured;

// Each test starts in block "misc" with nothing buffered or pending and
// leaves block mode off.
class Block : public ::testing::Test {
 protected:
  void SetUp() override { drain(); }
  void TearDown() override {
    drain();
    blockmode = 0;
  }
  static void drain() {
    run_captured([] {
      blockpending(nullptr);
      blockstart("misc");
    });
  }
};

TEST_F(Block, FramingByMode) {
  struct {
    int mode;
    const char* wire;
  } cases[] = {
      {1, "8 misc\nab\n"},
      {2, "9 misc\nab\r\n"},
      {4, "ab\n"},
  };
  for (auto& c : cases) {
    blockmode = c.mode;
    auto r = run_captured([] {
      blockput("ab\n", 3);
      blockstart("y");
    });
    EXPECT_EQ(r.out, c.wire) << "mode " << c.mode;
    EXPECT_STREQ(blockname, "y");
    drain();
  }
}

TEST_F(Block, EmptyBlocksAreNeverSent) {
  blockmode = 1;
  auto r = run_captured([] {
    blockput("ignored", 0);
    blockstart("x");  // nothing buffered: only the name changes
    blockstart("exit");
    blockput("5\n5\n", 4);
    blockstart("");
  });
  EXPECT_EQ(r.out, "9 exit\n5\n5\n");
  EXPECT_STREQ(blockname, "");
}

TEST_F(Block, PendingNameTakesEffectAtNextOutput) {
  blockmode = 1;
  auto r = run_captured([] {
    blockput("a", 1);
    EXPECT_EQ(blockpending("error_presolve"), nullptr);
    blockput("b", 1);  // sends "a" under misc first
    blockstart("misc");
  });
  EXPECT_EQ(r.out, "6 misc\na16 error_presolve\nb");

  r = run_captured([] {
    blockpending("never");
    blockstart("z");
    EXPECT_STREQ(blockpending(nullptr), "never");
  });
  EXPECT_EQ(r.out, "");
}

// A large body grows the buffer many times and is written in several
// pieces; with descriptor 1 non-blocking the writes come back short or
// refused, and every byte must still arrive in order.
TEST_F(Block, LargeBodyArrivesComplete) {
  std::string body;
  for (int i = 0; body.size() < 100000; ++i)
    body += "line " + std::to_string(i) + "\n";
  body.resize(100000);
  for (int mode : {1, 2}) {
    for (bool nonblocking : {false, true}) {
      blockmode = mode;
      auto r = run_captured([&] {
        if (nonblocking) fcntl(1, F_SETFL, fcntl(1, F_GETFL) | O_NONBLOCK);
        for (size_t i = 0; i < body.size(); i += 777)
          blockput(body.data() + i, std::min<size_t>(777, body.size() - i));
        blockstart("misc");
      });
      std::string expect = body;
      if (mode == 2) {
        expect.clear();
        for (char c : body) {
          if (c == '\n') expect += '\r';
          expect += c;
        }
      }
      expect = std::to_string(expect.size() + 5) + " misc\n" + expect;
      EXPECT_EQ(r.out.size(), expect.size());
      EXPECT_TRUE(r.out == expect) << "mode " << mode << " nonblocking "
                                   << nonblocking;
    }
  }
}

// The buffer does not live in recorded memory: a `reset` between output
// and sending keeps the text.  Run in a child process, since the memory
// walk invalidates what other tests of this program hold.
TEST_F(Block, BufferedTextSurvivesMemoryReset) {
  EXPECT_EXIT(
      {
        blockmode = 1;
        auto r = run_captured([] {
          blockput("ab\n", 3);
          mem_reset();
          blockput("cd\n", 3);
          blockstart("misc");
        });
        _exit(r.out == "11 misc\nab\ncd\n" ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(Block, ErrorstartSavesAndLongNamesAreCut) {
  blockmode = 0;
  errorstart("error_error");  // nothing outside block mode
  EXPECT_STREQ(blockname, "misc");

  blockmode = 1;
  run_captured([] { blockstart("prompt1"); });
  errorstart("error_error");
  EXPECT_STREQ(blockname, "error_error");
  EXPECT_STREQ(oldblkname, "prompt1");
  errorstart(oldblkname);  // its own saved name: no clobbering
  EXPECT_STREQ(blockname, "prompt1");
  EXPECT_STREQ(oldblkname, "error_error");

  std::string longname(100, 'n');
  auto r = run_captured([&] {
    blockstart(longname.c_str());
    blockput("x", 1);
    blockstart("misc");
  });
  EXPECT_EQ(r.out, "42 " + std::string(40, 'n') + "\nx");
}

}  // namespace
}  // namespace vexo
