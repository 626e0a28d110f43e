// The input line reader: lines, long lines, block-framed standard input,
// prompts, read errors and the end of input.
#include "frontend/reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "data/readdata.h"
#include "frontend/rawtok.h"
#include "frontend_fixture.h"
#include "session/cmdrec.h"
#include "session/infiles.h"
#include "session/loop.h"
#include "session/startup.h"
#include "support/block.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/scratch.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::run_captured;

// Standard input as the reader sees it through the read hook: the bytes
// of data, at most piece bytes per read, and a failure (errno err) once
// fail_at bytes have been delivered.
struct fake_stdin {
  std::string data;
  size_t pos = 0;
  size_t piece = SIZE_MAX;
  size_t fail_at = SIZE_MAX;
  int err = EIO;
};
fake_stdin* fin;

ssize_t fake_read(int fd, void* buf, size_t n) {
  if (fd != 0) return ::read(fd, buf, n);
  if (fin->pos >= fin->fail_at) {
    errno = fin->err;
    return -1;
  }
  size_t k = std::min(
      {n, fin->piece, fin->data.size() - fin->pos, fin->fail_at - fin->pos});
  fin->data.copy(static_cast<char*>(buf), k, fin->pos);
  fin->pos += k;
  return static_cast<ssize_t>(k);
}

// The prompt texts of the option table's defaults: those of an
// interactive session, empty otherwise.
void set_prompt_defaults() {
  static const char* const texts[6] = {"vexo: ",      "vexo? ",
                                       "vexo data: ", "vexo data? ",
                                       "%s vexo: ",   "%s vexo? "};
  for (int i = 0; i < 6; ++i) prompt0[i] = interactive ? texts[i] : "";
}

// Opens the next top-level input (nextfile) and reads it through reader
// (nextfile puts the session's reader in place).
void open_next(ssize_t (*reader_fn)(int, void*, size_t)) {
  nextfile(0, 0);
  reader = reader_fn;
}

class Reader : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset_input();
    reader = fake_read;
    fin = &in_;
  }
  void TearDown() override {
    if (infile > 0) close(infile);
    infile = -1;
    infname = nullptr;
    test::set_input_files(nullptr);
    blockmode = 0;
    reader = ::read;
    insprompt = "<%d>";
    interactive = 0;
    set_prompt_defaults();
  }

  // Standard input holding data as the only source.
  void use_stdin(const std::string& data, size_t piece = SIZE_MAX) {
    // A fresh standard input: the block framing state starts afresh too.
    reader_start();
    in_ = fake_stdin{};
    in_.data = data;
    in_.piece = piece;
    set_prompt_defaults();
    test::set_input_files(nullptr);
    open_next(fake_read);
  }

  // A file holding data as the only source.
  void use_file(const std::string& data) {
    snprintf(path_, sizeof path_, "/tmp/vexo_reader_XXXXXX");
    int fd = mkstemp(path_);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, data.data(), data.size()),
              static_cast<ssize_t>(data.size()));
    close(fd);
    names_[0] = path_;
    names_[1] = nullptr;
    test::set_input_files(names_);
    open_next(::read);
    unlink(path_);  // the open descriptor keeps it readable
  }

  // The lines handed out until the end of the source, with their numbers.
  static std::string all_lines() {
    std::string s;
    while (nextline()) {
      s += std::to_string(lineno) + ":" + std::string(nextc, lastc);
      nextc = lastc;
    }
    return s;
  }

  fake_stdin in_;
  char path_[32];
  char* names_[2];
};

TEST_F(Reader, LinesAndALastLineWithoutNewline) {
  use_file("ab\n\ncd");
  EXPECT_EQ(all_lines(), "1:ab\n2:\n3:cd");
  EXPECT_EQ(nextline(), 0);  // the end stays visible
}

TEST_F(Reader, LongLineComesInPiecesAndCountsOnce) {
  std::string line(10000, 'a');
  use_file(line + "\nz\n");
  std::string got;
  int pieces = 0;
  while (nextline()) {
    std::string piece(nextc, lastc);
    nextc = lastc;
    if (piece == "z\n") {
      EXPECT_EQ(lineno, 2);
      EXPECT_EQ(linestart, 10001);
      break;
    }
    EXPECT_EQ(lineno, 1);
    EXPECT_LE(piece.size(), static_cast<size_t>(READ_MAX));
    got += piece;
    ++pieces;
  }
  EXPECT_EQ(got, line + "\n");
  EXPECT_EQ(pieces, 3);
}

TEST_F(Reader, EndFileEndsTheSourceAtOnce) {
  use_file("a\nb\nc\n");
  ASSERT_EQ(nextline(), 1);
  end_file();
  EXPECT_EQ(nextline(), 0);
}

TEST_F(Reader, ReadErrorOnAFileAbortsTheCommand) {
  use_stdin("");
  infile = 7;  // pretend a file; the fake read fails on it
  infname = "data.txt";
  reader = [](int, void*, size_t) -> ssize_t {
    errno = EIO;
    return -1;
  };
  auto r = run_captured([] { nextline(); });
  // The abort ends a session that reads a file, with the error bit.
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("error reading file \"data.txt\"; errno = 5.\n"),
            std::string::npos);
  infile = -1;
}

TEST_F(Reader, InterruptEndsAFileAndDiscardsTypedAhead) {
  use_file("a\nb\n");
  gotbreak = 1;
  EXPECT_EQ(nextline(), 0);
  gotbreak = 0;

  use_stdin("one\ntwo\n", 8);
  ASSERT_EQ(nextline(), 1);  // reads both lines, hands out the first
  nextc = lastc;
  in_.data += "three\n";
  gotbreak = 1;
  ASSERT_EQ(nextline(), 1);  // "two" is thrown away
  EXPECT_EQ(std::string(nextc, lastc), "three\n");
  EXPECT_EQ(gotbreak, 0);  // served
}

// The read hook as the session's is when an interrupt arrives while it
// waits at standard input: with break_next set the wait ends with EINTR,
// the interrupt counted; other reads deliver the data.
bool break_next;
ssize_t interrupted_read(int fd, void* buf, size_t n) {
  if (fd == 0 && break_next) {
    break_next = false;
    gotbreak = gotbreak + 1;
    errno = EINTR;
    return -1;
  }
  return fake_read(fd, buf, n);
}

TEST_F(Reader, InterruptAtThePromptIsServedThere) {
  // Waiting for a new statement: "<BREAK>", and the line typed next is
  // handed out, the interrupt served.
  use_stdin("print 1;\n");
  reader = interrupted_read;
  break_next = true;
  auto r = run_captured([] {
    ASSERT_EQ(nextline(), 1);
    EXPECT_EQ(std::string(nextc, lastc), "print 1;\n");
  });
  EXPECT_FALSE(r.aborted);
  EXPECT_EQ(r.out, "<BREAK>\n");
  EXPECT_EQ(gotbreak, 0);

  // Within a statement: the statement is abandoned.
  use_stdin("2;\n");
  reader = interrupted_read;
  break_next = true;
  interactive = 1;
  prompt2 = 1;
  r = run_captured([] { nextline(); });
  prompt2 = 0;
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.out, "<BREAK>\n");
  EXPECT_EQ(gotbreak, 0);
}

TEST_F(Reader, LogCopiesStandardInputAndFilesOnRequest) {
  FILE* log = tmpfile();
  ASSERT_NE(log, nullptr);
  log_file = log;
  use_file("f1\n");
  all_lines();
  log_model = 1;
  use_file("f2\n");
  all_lines();
  log_model = 0;
  use_stdin("s1\n");
  all_lines();
  log_file = nullptr;
  fflush(log);
  rewind(log);
  char buf[64] = {};
  size_t n = fread(buf, 1, sizeof buf - 1, log);
  fclose(log);
  EXPECT_EQ(std::string(buf, n), "f2\ns1\n");
}

// ---------------------------------------------------------------------------
// End of input

TEST_F(Reader, EndOfAllInputByContext) {
  use_file("");
  EXPECT_EQ(next0(4), 0);
  EXPECT_EQ(next0(10), 10);
  EXPECT_EQ(next0(35), 35);  // the lexer sees a comment and at_eof
  EXPECT_GT(at_eof, 0);
  parse_time = 1;
  EXPECT_EQ(next0(0), 0);
  parse_time = 0;
  EXPECT_EQ(next0(0), -1);
}

TEST_F(Reader, EndOfAllInputEndsTheSessionOrTheDataSection) {
  use_file("");
  rc = 0;
  auto r = run_captured([] { next0(1); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 0);

  endjump = 1;
  eofmsg = "no more data";
  int code = -1;
  r = run_captured([&] {
    try {
      next0(1);
    } catch (const data_end& e) {
      code = e.code;
    }
  });
  EXPECT_EQ(code, 1);  // rc + 1
  EXPECT_NE(r.err.find("no more data"), std::string::npos);
  EXPECT_EQ(eofmsg, nullptr);

  // Inside a quoted string (next0(2)) the statement's message says it; with
  // none pending, the end itself is reported.
  for (const char* pending : {"end of file within set data", "none"}) {
    rc = 0;
    eofmsg = std::strcmp(pending, "none") ? pending : nullptr;
    r = run_captured([&] {
      try {
        next0(2);
      } catch (const data_end& e) {
        code = e.code;
      }
    });
    EXPECT_EQ(code, 2 + 3);  // the error bit, plus 3
    bool unexpected = r.err.find("unexpected end of file") != std::string::npos;
    EXPECT_EQ(unexpected, !std::strcmp(pending, "none")) << r.err;
    if (std::strcmp(pending, "none")) {
      EXPECT_NE(r.err.find(pending), std::string::npos) << r.err;
    }
    EXPECT_EQ(eofmsg, nullptr);
  }
}

// ---------------------------------------------------------------------------
// Block-framed standard input

class BlockInput : public Reader {
 protected:
  void SetUp() override {
    Reader::SetUp();
    blockmode = 1;
    interactive = 1;
  }
};

TEST_F(BlockInput, OneBlockThenTheEnd) {
  auto r = run_captured([this] {
    use_stdin("5\nabcd\n0\n");
    ASSERT_EQ(nextline(), 1);
    EXPECT_EQ(std::string(nextc, lastc), "abcd\n");
    EXPECT_EQ(lineno, 1);
    nextc = lastc;
    EXPECT_EQ(nextline(), 0);
  });
  // One prompt before each header, the end included.
  EXPECT_EQ(r.out, "14 prompt1\nvexo: 14 prompt1\nvexo: ");
  EXPECT_EQ(r.err, "");
}

TEST_F(BlockInput, EachBlockStartsAtLineOne) {
  run_captured([this] {
    use_stdin("4\na\nb\n2 c\n0\n");
    EXPECT_EQ(all_lines(), "1:a\n2:b\n1:c\n");
  });
}

TEST_F(BlockInput, FramingErrorsEndTheInput) {
  struct {
    const char* input;
    const char* message;
  } cases[] = {
      {"x12\n", "Bad input block \"x12\n\""},
      {"12", "EOF reading block size"},
      {"1+2\n", "Bad input block \"+2\n\""},
      {"5\nab", "EOF reading block"},
      // Lengths beyond a signed 64-bit count are shown as they were sent,
      // also when their digits would wrap around to 0 or to a positive
      // count.
      {"9223372036854775808 ", "Input block size = 9223372036854775808\n"},
      {"18446744073709551616\n", "Input block size = 18446744073709551616\n"},
      {"99999999999999999999\nab", "Input block size = 99999999999999999999\n"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.input);
    auto r = run_captured([&] {
      use_stdin(c.input);
      EXPECT_EQ(nextline(), 0);
    });
    EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
    // Located in block mode: the three location lines come first.
    EXPECT_NE(r.out.find("error_warning\nfile -\nline "), std::string::npos);
  }
}

// A framing error whose warning abandons the command (the warning limit)
// still ends the input: the header is not read again, and what the line
// buffer held before the refill is not handed out a second time.
TEST_F(BlockInput, FramingErrorThatAbortsEndsTheInputOnce) {
  auto r = run_captured([this] {
    use_stdin("3\nab\nx12\n4\ncd;\n0\n");
    eexit = 1;
    ASSERT_EQ(nextline(), 1);
    EXPECT_EQ(std::string(nextc, lastc), "ab\n");
    nextc = lastc;
    nextline();
  });
  EXPECT_TRUE(r.aborted);
  auto again = run_captured([] {
    EXPECT_EQ(nextline(), 0);
    EXPECT_EQ(nextc, lastc);
    EXPECT_EQ(nextline(), 0);
  });
  EXPECT_FALSE(again.aborted);
  EXPECT_EQ(again.out.find("Bad input block"), std::string::npos);
  eexit = 0;
}

TEST_F(BlockInput, LargeBlockArrivesWholeWithoutPrompts) {
  std::string body;
  for (int i = 0; body.size() < 100000; ++i) {
    body += "line " + std::to_string(i) + " of a large block\n";
  }
  body.resize(100000);
  body.back() = '\n';
  for (size_t piece : {size_t(1), size_t(7), size_t(15), SIZE_MAX}) {
    SCOPED_TRACE(piece);
    std::string got;
    auto r = run_captured([&] {
      use_stdin(std::to_string(body.size()) + "\n" + body + "3\nx;\n0\n",
                piece);
      while (nextline()) {
        got.append(nextc, lastc);
        nextc = lastc;
      }
    });
    EXPECT_EQ(got, body + "x;\n");
    size_t prompts = 0;
    for (size_t p = 0; (p = r.out.find("prompt1", p)) != std::string::npos;
         ++p) {
      ++prompts;
    }
    EXPECT_EQ(prompts, 3u);  // before each of the three headers
  }
}

TEST_F(BlockInput, PromptBlocks) {
  struct {
    int which;         // entry of prompt0
    const char* text;  // its value
    int comment;       // comment_kind
    int state;         // cmdstate
    const char* expected;
  } cases[] = {
      {0, "vexo: ", 0, 0, "14 prompt1\nvexo: "},
      {0, "", 0, 0, "9 prompt1\n\n"},
      {1, "vexo? ", '*', 0, "15 prompt2\n*vexo? "},
      {4, "%s vexo: ", 0, 1, "18 prompt5\n??? vexo: "},
      {0, "100% %d %s", 0, 0, "16 prompt1\n100% %d "},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.expected);
    prompt0[c.which] = c.text;
    auto r = run_captured([&] {
      in_ = fake_stdin{};
      in_.data = "2\na\n";
      test::set_input_files(nullptr);
      open_next(fake_read);
      prompt0[c.which] = c.text;
      prompts = prompt0 + (c.which & ~1);
      prompt2 = c.which & 1;
      comment_kind = c.comment;
      cmdstate = c.state;
      EXPECT_EQ(nextline(), 1);
    });
    EXPECT_EQ(r.out, c.expected);
    comment_kind = cmdstate = prompt2 = 0;
    prompts = prompt0;
  }
}

// A failed read of block input is reported and ends the input, wherever
// it happens: in the header, in the part read into the line buffer, or in
// the part read into the overflow chunks.
TEST_F(BlockInput, ReadFailureIsReportedAndEndsTheInput) {
  std::string input = "100000\n" + std::string(99999, 'x') + "\n0\n";
  for (size_t at : {size_t(0), size_t(3), size_t(2000), size_t(70000)}) {
    SCOPED_TRACE(at);
    auto r = run_captured([&] {
      use_stdin(input, 1000);
      in_.fail_at = at;
      EXPECT_EQ(nextline(), 0);
      EXPECT_EQ(bytestogo, 0);
    });
    EXPECT_NE(r.out.find("error reading file \"-\"; errno = 5."),
              std::string::npos)
        << r.out;
  }
}

// ---------------------------------------------------------------------------
// Prompts at a terminal

TEST_F(Reader, TerminalPrompts) {
  struct {
    int continued;    // prompt2
    int level;        // inslev
    int comment;      // comment_kind
    const char* ins;  // insertprompt
    const char* expected;
  } cases[] = {
      {0, 0, 0, "<%d>", "vexo: "},
      {1, 0, 0, "<%d>", "vexo? "},
      {0, 2, 0, "<%d>", "<2>vexo: "},
      {1, 0, '*', "<%d>", "*vexo? "},
      {0, 3, 0, "", "vexo: "},
      // Option texts are text, not formats: only the level is filled in.
      {0, 2, 0, "%s<%d>%n", "%s<2>%nvexo: "},
  };
  interactive = 1;
  for (auto& c : cases) {
    SCOPED_TRACE(c.expected);
    auto r = run_captured([&] {
      use_stdin("a\n");
      prompt2 = c.continued;
      inslev = c.level;
      comment_kind = c.comment;
      insprompt = c.ins;
      EXPECT_EQ(nextline(), 1);
    });
    EXPECT_EQ(r.err, c.expected);
    prompt2 = inslev = comment_kind = 0;
  }
}

TEST_F(Reader, TerminalPromptTextsAreNotFormats) {
  interactive = 1;
  auto r = run_captured([&] {
    use_stdin("a\nb\n", 2);
    prompt0[0] = "50% %s %d: ";
    EXPECT_EQ(nextline(), 1);
    nextc = lastc;
    cmdstate = 1;
    prompt0[0] = "%s %% %s: ";  // the compound-command text fills one %s
    EXPECT_EQ(nextline(), 1);
    cmdstate = 0;
  });
  EXPECT_EQ(r.err, "50% %s %d: ??? %% %s: ");
}

TEST_F(Reader, PrimaryPromptResetsTheReturnCode) {
  interactive = 1;
  use_stdin("a\nb\n", 2);
  rc = 2;
  prompt2 = 1;
  run_captured([] { nextline(); });
  EXPECT_EQ(rc, 2);
  nextc = lastc;
  prompt2 = 0;
  run_captured([] { nextline(); });
  EXPECT_EQ(rc, 0);
}

TEST_F(Reader, NoPromptWhenNotInteractiveOrFromAFile) {
  auto r = run_captured([this] {
    use_stdin("a\n");  // not interactive: empty prompt texts
    all_lines();
    interactive = 1;
    set_prompt_defaults();
    use_file("b\n");
    all_lines();
  });
  EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace vexo
