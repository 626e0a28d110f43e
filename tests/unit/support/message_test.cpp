#include "support/message.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "compiler/tva.h"
#include "frontend/frontend_fixture.h"
#include "frontend/reader.h"
#include "instance/ac.h"
#include "session/execute.h"
#include "session/loop.h"
#include "session/startup.h"
#include "support/block.h"
#include "support/format.h"
#include "support/scratch.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::run_captured;

// Saves the session state that the core reads and writes and puts it back;
// the session's own services (squawk, bail_quit, cmd_cleanup, ...) answer.
// Nothing is being read: messages carry no input position ("\n\t" in
// front), and a session at a terminal goes on after an abort.
class Message : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = {rc,       Cautions, eexit,   eexit_save, stepping,
              bailquit, trc,      in_cmds, yy_special, doing_read_cmd};
    test::start_session();
    interactive = 1;  // typed at a terminal (infile 0): aborts go on
    infile = 0;
  }
  void TearDown() override {
    run_captured([] { blockstart("misc"); });
    blockmode = 0;
    oldblkname = nullptr;
    error_kind = "misc?";
    interactive = 0;
    infile = -1;
    curcmd = nullptr;
    cmdnum = 0;
    rc = saved_.rc;
    Cautions = saved_.Cautions;
    eexit = saved_.eexit;
    eexit_save = saved_.eexit_save;
    stepping = saved_.stepping;
    bailquit = saved_.bailquit;
    trc = saved_.trc;
    in_cmds = saved_.in_cmds;
    yy_special = saved_.yy_special;
    doing_read_cmd = saved_.doing_read_cmd;
  }
  // A command is running: cmdwhere names it.
  static void running(const char* name) {
    curcmd = test::command_named(name);
    cmdnum = curcmd->kind;
  }

 private:
  struct {
    int rc, Cautions, eexit, eexit_save, stepping, bailquit, trc, in_cmds,
        yy_special, doing_read_cmd;
  } saved_;
};

TEST_F(Message, BugEndsSessionWithTwo) {
  auto r = run_captured([] { error(1, "x %d", 7); });
  EXPECT_EQ(r.err, "\n\tBug: x 7\n");
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);

  r = run_captured([] { bug("y"); });
  EXPECT_EQ(r.err, "\n\tBug: y\n");
  EXPECT_EQ(r.code, 2);
}

TEST_F(Message, WarningsAndCautions) {
  struct {
    int kind, cautions;
    const char* text;
    int rc;
  } cases[] = {
      {0, 0, "\n\tw 5\n", 2},           // a warning marks rc whatever Cautions
      {2, 0, "", 0},                    // cautions off: nothing at all
      {2, 1, "\n\tCaution: c 5\n", 0},  // shown, rc left alone
      {2, 2, "\n\tCaution: c 5\n", 2},  // shown and marked
      {9, 1, "\n\tw 5\n", 2},           // an unknown kind is a warning
  };
  interactive = 0;  // a batch session: rc is marked
  for (auto& c : cases) {
    rc = 0;
    Cautions = c.cautions;
    auto r =
        run_captured([&] { error(c.kind, c.kind == 2 ? "c %d" : "w %d", 5); });
    EXPECT_EQ(r.err, c.text) << c.kind << "/" << c.cautions;
    EXPECT_EQ(rc, c.rc) << c.kind << "/" << c.cautions;
    EXPECT_FALSE(r.exited || r.aborted);
  }
}

TEST_F(Message, BlockModeMessagesReturnToTheirBlock) {
  blockmode = 1;
  auto r = run_captured([] {
    Printf("out\n");
    error(2, "careful");
    Printf("more\n");
    blockstart("misc");
  });
  EXPECT_EQ(r.out,
            "9 misc\nout\n"
            "33 error_caution\n\n\tCaution: careful\n"
            "10 misc\nmore\n");
  EXPECT_EQ(r.err, "");

  error_kind = "error_solve";
  running("solve");
  r = run_captured([] { serror("no %s", "solver"); });
  EXPECT_EQ(r.out,
            "54 error_solve\nError executing \"solve\" command:\nno solver");
  EXPECT_STREQ(blockname, "misc");

  error_kind = "misc?";
  curcmd = nullptr;
  r = run_captured([] {
    serror("m\n");
    blockstart("abc");
    Printf("t");
    oldblkname = nullptr;
    errorend();  // nothing saved: back to "misc"
  });
  EXPECT_EQ(r.out, "8 misc?\nm\n5 abc\nt");
  EXPECT_STREQ(blockname, "misc");
}

TEST_F(Message, SerrorAddsNoNewlineAndFlushes) {
  running("write");
  auto r = run_captured([] { serror("bad %d", 1); });
  EXPECT_EQ(r.err, "Error executing \"write\" command:\nbad 1");
  EXPECT_FALSE(r.aborted || r.exited);
}

// The evaluation messages are written after the location preamble of the
// evaluation context (mgwhere): the running command, then a tab.
TEST_F(Message, EerrorBeforeFirstCommandEndsSession) {
  in_cmds = 1;
  TVA* t = new_tva();
  auto r = run_captured([t] { eerror(t, "bad %s", "x"); });
  EXPECT_EQ(r.err, "\tbad x\n");
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 4);
  del_tva(t);
}

TEST_F(Message, EerrorAfterFirstCommandAbortsIt) {
  in_cmds = 2;
  eexit = 0;
  eexit_save = 7;
  yy_special = 0;
  running("display");
  TVA* t = new_tva();
  auto r = run_captured([t] { eerror(t, "bad"); });
  del_tva(t);
  EXPECT_EQ(r.err, "Error executing \"display\" command:\n\tbad\n");
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(trc, 4);
  EXPECT_EQ(curcmd, nullptr);  // the command's clean-up ran
  EXPECT_EQ(cmdnum, 0);
  EXPECT_EQ(yy_special, 2);
  EXPECT_EQ(eexit, 7);
}

TEST_F(Message, Bail1outSteps) {
  interactive = 0;  // a batch session: an abort ends it ...
  stepping = 1;     // ... but single-stepping never quits
  auto r = run_captured([] { bail1out(); });
  EXPECT_TRUE(r.aborted);

  stepping = 0;
  rc = 8;
  running("let");
  r = run_captured([] { bail1out(); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 10);       // rc | 2
  EXPECT_NE(curcmd, nullptr);  // ended before the command's clean-up
}

TEST_F(Message, TerrorEndsSessionUnlessTrcIsZero) {
  TVA* t = new_tva();
  auto r = run_captured([t] { terror(t, "cp_lookup: unexpected miss"); });
  EXPECT_EQ(r.err, "\tcp_lookup: unexpected miss\n");
  EXPECT_EQ(r.code, 4);
  trc = 0;
  r = run_captured([t] { terror(t, "again"); });
  EXPECT_EQ(r.err, "\tagain\n");
  EXPECT_FALSE(r.exited || r.aborted);
  del_tva(t);
}

// An error that mgwhere swallows (quiet simplification in the context) is
// not written: terror returns although trc is set, eerror abandons the
// command without ending the session, also before the first command.
TEST_F(Message, SwallowedEvaluationErrorsAreNotWritten) {
  in_cmds = 1;
  TVA* t = new_tva();
  t->ac->simp_tva = t;
  t->ac->simp_quiet = 1;
  auto r = run_captured([t] { terror(t, "cp_lookup: unexpected miss"); });
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(r.exited || r.aborted);
  EXPECT_EQ(t->ac->simp_err, 1);
  t->ac->simp_err = 0;
  r = run_captured([t] { eerror(t, "bad"); });
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(r.aborted);
  EXPECT_FALSE(r.exited);
  EXPECT_EQ(t->ac->simp_err, 1);
  EXPECT_EQ(trc, 4);
  t->ac->simp_quiet = 0;
  t->ac->simp_tva = nullptr;
  del_tva(t);
}

TEST_F(Message, Exit1ByMode) {
  struct {
    int mode;
    const char* wire;
  } cases[] = {
      {0, ""},
      {1, "8 misc\nab\n9 exit\n3\n3\n"},
      {2, "9 misc\nab\r\n11 exit\n3\r\n3\r\n"},
      {4, "ab\n"},  // the exit line stays buffered
  };
  for (auto& c : cases) {
    blockmode = c.mode;
    log_file = tmpfile();
    auto r = run_captured([] {
      if (blockmode) Printf("ab\n");
      exit1(3);
    });
    EXPECT_EQ(r.out, c.wire) << "mode " << c.mode;
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.code, 3);
    if (c.mode) {
      EXPECT_EQ(log_file, nullptr);  // closed in block mode
    } else {
      fclose(log_file);
      log_file = nullptr;
    }
    if (c.mode == 1 || c.mode == 2) {
      EXPECT_STREQ(blockname, "");
    }
    r = run_captured([] { blockstart("misc"); });
    if (c.mode == 4) {
      EXPECT_EQ(r.out, "3\n");  // buffered, sent only by a later start
    }
  }
}

TEST_F(Message, LibraryOutputAndSmallServices) {
  running("call");
  auto r = run_captured([] {
    EXPECT_EQ(cmdwhere_fprintf(Stderr, "lib %d\n", 42), 7);
    EXPECT_EQ(cmdwhere_fprintf(stdout, "out\n"), 4);
  });
  // The command's place only on the error stream.
  EXPECT_EQ(r.err, "Error executing \"call\" command:\nlib 42\n");
  EXPECT_EQ(r.out, "out\n");
  curcmd = nullptr;
  cmdnum = 0;

  r = run_captured([] { help(); });
  EXPECT_EQ(r.err, "\n\thelp not yet implemented\n");
  EXPECT_FALSE(r.exited || r.aborted);
  EXPECT_EQ(get_pid(), static_cast<int>(getpid()));
}

TEST_F(Message, MsgBfStaysWithinBf) {
  scratch_reset();
  EXPECT_STREQ(msgBf("adjoin: %s is too small", "pbuf"),
               "adjoin: pbuf is too small");
  std::string big(3 * Bflen, 'z');
  char* t = msgBf("%s", big.c_str());
  EXPECT_EQ(std::string(t), std::string(Bflen - 1, 'z'));
}

}  // namespace
}  // namespace vexo
