// Function declarations, the registrations a library makes through its
// exports table (Addfunc), path simplification and temporary names.
#include "eval/funclib.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "frontend/decl_fixture.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo {
namespace {

using FuncDecl = test::DeclTest;

TEST_F(FuncDecl, BindsAndFiles) {
  function* f = funcdcl(Symbol("g", 1), nullptr, nullptr, 0, nullptr, nullptr);
  EXPECT_EQ(f->kind, DK_FUNCTION);
  EXPECT_EQ(Symbol("g", 0)->binding, f);
  EXPECT_EQ(xclass[XC_FUNCS].n, 1);
}

double two(arglist*) { return 2; }

// The program's own table: that of a function of no library.
VexoExports* program_table() {
  function* f = funcdcl(Symbol("t0", 1), nullptr, nullptr, 0, nullptr, nullptr);
  return lib_exports(f);
}

TEST_F(FuncDecl, AddfuncRefusesBadTypesAndCounts) {
  VexoExports* ae = program_table();
  struct row {
    const char* name;
    int type, nargs;
    const char* msg;  // null: accepted
  } rows[] = {
      {"a7", 7, 1, "addfunc(\"a7\",...) has type 7; expected 0 <= type <= 6\n"
                   "\tor 16 <= type <= 21"},
      {"a15", 15, 1, "has type 15;"},
      {"a22", 22, 1, "has type 22;"},
      {"am", -1, 1, "has type -1;"},
      {"a6", 6, 3, "addfunc(\"a6\",...) has type 6, nargs 3; expected nargs "
                   "= 0,1, or 2"},
      {"ok6", 6, 2, nullptr},
      {"ok21", 21, -1, nullptr},
  };
  for (const row& r : rows) {
    auto out = test::run_captured(
        [&] { ae->Addfunc(r.name, two, r.type, r.nargs, nullptr, ae); });
    void* b = Symbol(r.name, 0)->binding;
    if (r.msg) {
      EXPECT_NE(out.err.find(r.msg), std::string::npos) << r.name << out.err;
      EXPECT_EQ(b, nullptr) << r.name;
    } else {
      EXPECT_EQ(out.err, "") << r.name;
      ASSERT_NE(b, nullptr) << r.name;
      EXPECT_EQ(bound_kind(b), uint32_t{DK_NOBIND}) << r.name;
    }
  }
  // Type 6 is stored as random with its real arguments passed directly.
  auto* f = static_cast<function*>(Symbol("ok6", 0)->binding);
  EXPECT_EQ(f->ftype, 12u);
  EXPECT_EQ(f->nargs, 2);
}

TEST_F(FuncDecl, DeclarationTakesTheLibraryFunction) {
  VexoExports* ae = program_table();
  ae->Addfunc("lf", two, 0, 2, nullptr, ae);
  function* f = funcdcl(Symbol("lf", 0), nullptr, nullptr, 0, nullptr, nullptr);
  EXPECT_EQ(f->kind, DK_FUNCTION);
  EXPECT_EQ(f->funcp, reinterpret_cast<void*>(two));
  EXPECT_EQ(f->nargs, 2);
  EXPECT_TRUE(f->fflags & 0x2000);  // numeric arguments only
  // A second registration of the name is a duplicate.
  auto out = test::run_captured(
      [&] { ae->Addfunc("lf", two, 0, 2, nullptr, ae); });
  EXPECT_NE(out.err.find("Duplicate definition of lf ignored."),
            std::string::npos)
      << out.err;
}

TEST(PathSimp, Table) {
  struct {
    const char* in;
    const char* out;
  } rows[] = {
      {"./a/b", "a/b"},           {"././a", "a"},
      {"a//b", "a/b"},            {"/x/./y", "/x/y"},
      {"a/b/../c", "a/c"},        {"/a/b/../../c", "/c"},
      {"../a", "../a"},           {"../../a", "../../a"},
      {"a/../../b", "../b"},      {"/lib/x.so", "/lib/x.so"},
  };
  for (auto& r : rows) {
    char b[64];
    std::strcpy(b, r.in);
    int n = pathsimp(b);
    EXPECT_STREQ(b, r.out) << r.in;
    EXPECT_EQ(n, static_cast<int>(std::strlen(r.out))) << r.in;
  }
}

TEST(TempNames, PrefixAndDirectory) {
  char dir[] = "/tmp/vexo_tn_XXXXXX";
  ASSERT_TRUE(mkdtemp(dir));
  const char* saved = getenv("TMPDIR");
  std::string keep = saved ? saved : "";
  unsetenv("TMPDIR");
  std::string d = std::string(dir) + "//";
  char* a = mytempnam(d.c_str(), "abcdef");  // a six-letter prefix is left out
  char* b = mytempnam(d.c_str(), "ab");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(std::string(a).substr(0, std::strlen(dir) + 1),
            std::string(dir) + "/");
  EXPECT_EQ(std::strlen(a), std::strlen(dir) + 1 + 6);
  EXPECT_EQ(std::string(b).substr(std::strlen(dir) + 1, 2), "ab");
  EXPECT_EQ(access(a, F_OK), 0);  // created
  unlink(a);
  unlink(b);
  free(a);
  free(b);
  rmdir(dir);
  if (saved) setenv("TMPDIR", keep.c_str(), 1);
}

}  // namespace
}  // namespace vexo
