// Instance names: the text of a member's name through xwho and namesub,
// the tails of complementarity rows, the name table's growth, and counted
// strings of symbolic values.
#include "instance/names.h"

#include <gtest/gtest.h>

#include <string>

#include "data/values.h"
#include "instance/instance_fixture.h"
#include "support/pool.h"
#include "support/text.h"

namespace vexo {
namespace {

using test::InstanceTest;

class Names : public InstanceTest {
 protected:
  void SetUp() override {
    InstanceTest::SetUp();
    parse_text("set A; set B; var x {A, B}; var y;");
  }

  // The name of x with the subscripts (a and b: a number when it reads as
  // one, else a string), or of y when both are null.
  xname name_of(const char* a, const char* b, const char* tail = nullptr) {
    xname n{decl(a ? "x" : "y"), nullptr, tail};
    if (a) {
      set* m = set_enum(new_enum(), 2);
      symbol* t[2] = {sub(a), sub(b)};
      set_addmem(m, t);
      n.subs = m->first;
    }
    return n;
  }
  static symbol* sub(const char* s) {
    char* end;
    double d = std::strtod(s, &end);
    return *s && !*end ? Number(d) : Symbol(s, 1);
  }
};

TEST_F(Names, XwhoAndNamesubWriteTheSameText) {
  std::string q4000(4000, '\'');
  std::string mixed = std::string(2000, '\'') + std::string(2000, '"');
  std::string lines(4000, '\n');
  struct {
    const char* a;
    const char* b;
    std::string text;
  } cases[] = {
      {nullptr, nullptr, "y"},
      {"1", "a b", "x[1,'a b']"},
      {"2.5", "c", "x[2.5,'c']"},
      {"it's", "1", "x[\"it's\",1]"},
      {"say \"hi\"", "1", "x['say \"hi\"',1]"},
      {"'\"", "1", "x['''\"',1]"},
      {"a\nb", "1", "x['a\\\nb',1]"},
      {"", "1", "x['',1]"},
      {q4000.c_str(), "1", "x[\"" + q4000 + "\",1]"},
      {mixed.c_str(), "1",
       "x['" + std::string(4000, '\'') + std::string(2000, '"') + "',1]"},
  };
  charblk* cb = nullptr;
  for (auto& c : cases) {
    xname n = name_of(c.a, c.b);
    EXPECT_EQ(xwho(&n), c.text);
    EXPECT_EQ(namesub(&cb, &n, 0), c.text);
  }
  // Newlines take a backslash each: the name is more than one and a half
  // times the subscript.
  std::string escaped;
  for (size_t i = 0; i < lines.size(); ++i) escaped += "\\\n";
  xname n = name_of(lines.c_str(), "1");
  EXPECT_EQ(xwho(&n), "x['" + escaped + "',1]");
  EXPECT_EQ(size_t(maxnamelen), 8007u);
  EXPECT_EQ(namesub(&cb, &n, 0), "x['" + escaped + "',1]");
  cbfree(cb);
}

TEST_F(Names, TailsFollowTheKind) {
  charblk* cb = nullptr;
  xname left = name_of("1", "2", ".L");
  xname scalar = name_of(nullptr, nullptr, ".R");
  EXPECT_STREQ(xwho(&left), "x[1,2].L");
  EXPECT_STREQ(xwho(&scalar), "y.R");
  want_suffix[2] = 0;
  EXPECT_STREQ(namesub(&cb, &left, 2), "x[1,2]");
  // A scalar name without its tail is the declaration's own text.
  EXPECT_EQ(namesub(&cb, &scalar, 2), decl("y")->name->name);
  EXPECT_STREQ(namesub(&cb, &left, 8), "x[1,2].L");
  EXPECT_STREQ(namesub(&cb, &scalar, 8), "y.R");
  // Texts kept in the chain stay while later ones are made.
  const char* kept = namesub(&cb, &left, 8);
  for (int i = 0; i < 500; ++i) namesub(&cb, &left, 8);
  EXPECT_STREQ(kept, "x[1,2].L");
  cbfree(cb);
}

// A row or column presolve adds has no declaration: its tail is the whole
// name, whatever want_suffix says, and a numeric subscript follows it.
TEST_F(Names, GeneratedNamesHaveNoDeclaration) {
  charblk* cb = nullptr;
  set* m = set_enum(new_enum(), 1);
  symbol* t[1] = {Number(3)};
  set_addmem(m, t);
  xname scalar{nullptr, nullptr, "(c[2]@x[1]@def)"};
  xname indexed{nullptr, m->first, "(c[2]@x[1]@lambda_2)"};
  want_suffix[0] = 0;
  EXPECT_STREQ(xwho(&scalar), "(c[2]@x[1]@def)");
  EXPECT_STREQ(xwho(&indexed), "(c[2]@x[1]@lambda_2)[3]");
  EXPECT_STREQ(namesub(&cb, &scalar, 0), "(c[2]@x[1]@def)");
  EXPECT_STREQ(namesub(&cb, &indexed, 0), "(c[2]@x[1]@lambda_2)[3]");
  want_suffix[0] = 1;
  EXPECT_STREQ(namesub(&cb, &indexed, 0), "(c[2]@x[1]@lambda_2)[3]");
  cbfree(cb);
}

TEST_F(Names, TheNameTableGrowsAndVnameFollows) {
  int32_t k = 0;
  xname* a = nullptr;
  nam_upgrade(1, 0, &k, &a);
  ASSERT_NE(a, nullptr);
  a[0] = name_of(nullptr, nullptr);
  Vname = a;
  xname* same = a;
  nam_upgrade(1, 1, &k, &a);
  EXPECT_EQ(a, same) << "the class holds it already";
  nam_upgrade(40, 1, &k, &a);
  EXPECT_EQ(k, htcl(40 * sizeof(xname)));
  EXPECT_EQ(Vname, a);
  EXPECT_EQ(a[0].decl, decl("y"));
  EXPECT_EQ(a[39].decl, nullptr);
  del_mblk(k, a);
  Vname = nullptr;
}

TEST_F(Names, StringifyKeepsRoomForTheEnd) {
  // Texts that with the 8-byte head fill their block exactly.
  for (size_t len : {0, 7, 8, 24, 56, 120}) {
    std::string text(len, 's');
    symval v{Symbol(text.c_str(), 1), nullptr};
    cstr* s = stringify(&v);
    ASSERT_EQ(v.str, s);
    EXPECT_EQ(s->refcnt, 1u);
    EXPECT_EQ(std::string(s->text()), text);
    EXPECT_EQ(stringify(&v), s) << "a cell with a string keeps it";
    zap_cstr(&v.str);
  }
}

}  // namespace
}  // namespace vexo
