// The solution file reader: the parse of both forms and its complaints,
// and read_soln installing a sound file (and nothing of a broken one) into
// the collected problem of the small linear program.
#include "solver/solread.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "session/cmdfiles.h"
#include "session/options.h"
#include "session/opttable.h"
#include "session/sysdecls.h"
#include "solver/nl_fixture.h"
#include "solver/solve.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo {
namespace {

// Three variables, two constraints, one objective.
const sol_counts small{3, 2, 1, {3, 2, 1, 1}};

sol_data parse(const std::string& text, const sol_counts& c = small) {
  sol_data d;
  parse_soln("f.sol", reinterpret_cast<const uint8_t*>(text.data()),
             text.size(), c, &d);
  return d;
}

const char* const plain_text =
    "\b\b\bsolver: optimal\nsecond line\n\n"
    "0.5\n1.5\n"          // duals
    "1\n2\n3.\n";         // primals

TEST(SolParse, TextWithoutOptions) {
  sol_data d = parse(plain_text);
  ASSERT_EQ(d.err, 0) << d.errmsg;
  EXPECT_EQ(d.message, "\b\b\bsolver: optimal\nsecond line");
  EXPECT_EQ(d.backspaces, 3);
  EXPECT_FALSE(d.has_opts);
  EXPECT_EQ(d.duals, (std::vector<double>{0.5, 1.5}));
  EXPECT_EQ(d.primals, (std::vector<double>{1, 2, 3}));
  EXPECT_FALSE(d.has_objno);
  EXPECT_FALSE(d.has_result);
}

TEST(SolParse, OptionsObjnoAndSuffixes) {
  std::string text =
      "msg\r\n\r\nOptions\n3\n1\n1\n0\n2\n1\n3\n2\n"
      "-0.05\n"
      "300\n50\n"
      "objno 0 200\n"
      "suffix 4 1 5 0 0\n1abc\n0 2\n"   // bad name, read on
      "suffix 0 2 8 0 0\nsstatus\n0 1\n2 3\n";
  sol_data d = parse(text);
  ASSERT_EQ(d.err, 0) << d.errmsg;
  EXPECT_EQ(d.message, "msg");
  EXPECT_TRUE(d.has_opts);
  EXPECT_EQ(d.nopts, 3);
  EXPECT_EQ(d.opts[1], 1);
  EXPECT_EQ(d.duals, (std::vector<double>{-0.05}));
  EXPECT_EQ(d.primals, (std::vector<double>{300, 50}));
  EXPECT_EQ(d.objno, 0);
  EXPECT_EQ(d.result, 200);
  ASSERT_EQ(d.sufs.size(), 2u);
  EXPECT_TRUE(d.sufs[0].bad_name);
  EXPECT_EQ(d.sufs[0].name, "1abc");
  EXPECT_FALSE(d.sufs[1].bad_name);
  EXPECT_EQ(d.sufs[1].rows.size(), 2u);
}

TEST(SolParse, Complaints) {
  struct row {
    const char* text;
    const char* msg;
  } rows[] = {
      {"m\n\nOptions\n10\n", "expected nOpts between 3 and 9; got 10: "
                              "Bad ASCII solution file f.sol"},
      {"m\n\nOptions\n3\n0\n0\n0\n2\n2\n2\n5\n",
       "f.sol indicates 5 rather than 3 variables"},
      {"m\n\nOptions\n3\n0\n0\n0\n2\n4\n2\n0\n",
       "f.sol indicates 4 rather than 2 constraints"},
      {"m\n\n1\n2\n3\n", "early end of file reading f.sol"},
      {"m\n\n1\n2\nx3\n", "Bad line in f.sol: x3"},
      {"m\n\n1\n2\n3\n4\n5\nbogus\n", "extra line in f.sol:\nbogus"},
      {"m\n\n1\n2\n3\n4\n5\nobjno 0 0\nnot a suffix\n",
       "early end of file reading f.sol"},
      // A suffix row whose index is the entity count.
      {"m\n\n1\n2\n3\n4\n5\nobjno 0 0\nsuffix 0 1 2 0 0\nx\n3 1\n",
       "early end of file reading f.sol"},
      {"m\n\n1\n2\n3\n4\n5\nobjno 0 0\nsuffix 0 1 4 0 0\nx\n0 1\n",
       "early end of file reading f.sol"},
  };
  for (const row& r : rows) {
    sol_data d = parse(r.text);
    EXPECT_EQ(d.err, SOL_BAD) << r.text;
    EXPECT_EQ(d.errmsg, r.msg) << r.text;
  }
}

// Binary records.
struct records {
  std::string s;
  records& rec(const std::string& b) {
    uint32_t n = uint32_t(b.size());
    s.append(reinterpret_cast<const char*>(&n), 4).append(b);
    s.append(reinterpret_cast<const char*>(&n), 4);
    return *this;
  }
  template <class T>
  static std::string raw(std::initializer_list<T> v) {
    std::string b;
    for (T x : v) b.append(reinterpret_cast<const char*>(&x), sizeof x);
    return b;
  }
};

TEST(SolParse, BinaryForm) {
  records r;
  r.rec("binary").rec("\b\bsolved   ").rec("");
  r.rec("Options" + records::raw<int32_t>({3, 1, 1, 0, 2, 2, 2, 3}));
  r.rec(records::raw<double>({0.25, -1}));
  r.rec(records::raw<double>({1, 2, 3}));
  r.rec(records::raw<int32_t>({0, 0}));
  std::string suf = "\nSuffix\n" + records::raw<int32_t>({0, 1, 8, 0}) +
                    std::string("sstatus\0", 8) +
                    records::raw<int32_t>({2, 3});
  r.rec(suf);
  sol_data d = parse(r.s);
  ASSERT_EQ(d.err, 0) << d.errmsg;
  EXPECT_TRUE(d.binary);
  EXPECT_EQ(d.message, "\b\bsolved");
  EXPECT_EQ(d.backspaces, 2);
  EXPECT_EQ(d.duals, (std::vector<double>{0.25, -1}));
  EXPECT_EQ(d.primals, (std::vector<double>{1, 2, 3}));
  EXPECT_TRUE(d.has_result);
  ASSERT_EQ(d.sufs.size(), 1u);
  EXPECT_EQ(d.sufs[0].name, "sstatus");
  EXPECT_EQ(d.sufs[0].rows[0].first, 2);

  // Cut anywhere inside, the file ends early or is malformed.
  for (size_t n = 10; n + 1 < r.s.size(); n += 7) {
    sol_data c = parse(r.s.substr(0, n));
    if (n < r.s.size() - suf.size() - 8) {
      EXPECT_EQ(c.err, SOL_BAD) << n;
    }
  }
  records bad;
  bad.rec("binary").rec("").rec(records::raw<double>({1, 2, 3}));
  EXPECT_EQ(parse(bad.s).errmsg, "Bad binary solution file f.sol");
}

TEST(SolParse, ToleranceWords) {
  EXPECT_EQ(tol_decode(4, 3), 0);  // flag clear
  EXPECT_DOUBLE_EQ(tol_decode(16 | (5 << 5), 4), std::pow(1.1, -5));
  // Exponents from 1000000 on are positive powers.
  EXPECT_DOUBLE_EQ(tol_decode(4 | (int64_t{1000002} << 3), 2),
                   std::pow(1.1, 2));
}

// read_soln on the small linear program of the writer's tests.
class ReadSoln : public test::NlTest {
 protected:
  void SetUp() override {
    NlTest::SetUp();
    envinit();  // the option table: result texts, echoed options
    parse_text(test::lp_model);
    ac = collect_plain(test::lp_problem());
    df = stdout;
    solver_msg = 1;
  }
  void write(const char* text) {
    FILE* f = std::fopen("f.sol", "wb");
    std::fputs(text, f);
    std::fclose(f);
  }
  test::outcome read(int* code, const char* name = "f.sol") {
    std::string buf = name;
    return test::run_captured(
        [&] { *code = read_soln(buf.data(), nullptr, nullptr); });
  }
  static std::string sparam(param* p) { return sparam_value(p)->text(); }
  AC* ac;
};

TEST_F(ReadSoln, SoundFileIsInstalled) {
  write("\b\b\bvexocbc: optimal\n\n1.5\n0.5\n3\n1\nobjno 0 0\n");
  int c = -1;
  test::outcome r = read(&c);
  ASSERT_EQ(c, 0) << r.err;
  EXPECT_EQ(r.out, "vexocbc: optimal\n");
  EXPECT_EQ(sparam(solve_message), "\b\b\bvexocbc: optimal");
  EXPECT_EQ(sparam(solve_result), "solved");
  EXPECT_EQ(*sysparam_cell(solve_result_num), 0);
  EXPECT_EQ(ac->var_init_val[0], 3);
  EXPECT_EQ(ac->var_init_val[1], 1);
  ASSERT_TRUE(ac->con_duals);
  EXPECT_EQ(ac->con_duals[0], 1.5);
  EXPECT_EQ(havesol, 3);
}

TEST_F(ReadSoln, BrokenFileInstallsNothing) {
  write("m\n\n1.5\n0.5\n3\n1\nobjno 0 0\nsuffix 0 1 2 0 0\nx\n2 1\n");
  ac->var_init_val[0] = 7;
  int c = -1;
  test::outcome r = read(&c);
  EXPECT_EQ(c, SOL_BAD);
  EXPECT_NE(r.err.find("early end of file reading f.sol"), std::string::npos)
      << r.err;
  EXPECT_EQ(ac->var_init_val[0], 7);
  EXPECT_EQ(sparam(solve_result), "?");
  EXPECT_EQ(havesol, 0);
}

TEST_F(ReadSoln, MissingFile) {
  int c = -1;
  test::outcome r = read(&c, "nofile.sol");
  EXPECT_EQ(c, SOL_CANT_OPEN);
  EXPECT_NE(r.err.find("can't open nofile.sol"), std::string::npos) << r.err;
  EXPECT_EQ(*sysparam_cell(solve_exitcode), 65536);
}

TEST_F(ReadSoln, EchoedOptionsDifferingFromTheWrittenOnes) {
  // Written with presolve level 0 and the working bounds (word 2 is 1):
  // an echo of the same words is silent, presolve 3 is set and shown.
  write("m\n\nOptions\n3\n0\n1\n0\n2\n2\n2\n2\n1\n1\n1\n1\n");
  int c = -1;
  test::outcome r = read(&c);
  ASSERT_EQ(c, 0) << r.err;
  EXPECT_EQ(r.out, "m\n");
  write("m\n\nOptions\n3\n3\n1\n0\n2\n2\n2\n2\n1\n1\n1\n1\n");
  r = read(&c);
  EXPECT_EQ(r.out, "m\noption presolve 3;\n");
}

}  // namespace
}  // namespace vexo
