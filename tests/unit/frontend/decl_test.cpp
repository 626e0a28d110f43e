#include "frontend/decl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "decl_fixture.h"
#include "frontend/condcl.h"
#include "frontend/keywords.h"
#include "frontend/vardcl.h"
#include "frontend_fixture.h"
#include "session/cmdrec.h"
#include "session/environs.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo {
namespace {

class Decls : public ::testing::Test {
 protected:
  void SetUp() override {
    test::start_session();
    // The declarations of these tests are numbered from 1, and none of
    // them is built in.
    decl_reset();
    N_System_Pars = 0;
    lastloopdummy = nullptr;
    dxseen = nullptr;
  }

  static xnode* make(const char* name, uint32_t kind, uint64_t flags = 0) {
    return test::blank_decl(name, kind, flags);
  }
  static xnode* chain(xnode* x) {
    xnode* old = nullptr;
    EXPECT_EQ(yychain(x, &old), 0);
    EXPECT_EQ(old, nullptr);
    return x;
  }

  // Makes i the innermost loop dummy of a compound command: a record with
  // the head of a dummy (all that the declaration check reads).
  void in_loop_over_i() {
    loopdummy = {nullptr, DK_DUMMY, Symbol("i", 1)};
    lastloopdummy = reinterpret_cast<dummy*>(&loopdummy);
  }
  struct {
    void* next;
    uint32_t kind;
    symbol* name;
  } loopdummy{};
};

TEST_F(Decls, NumbersAndTheByNumberTable) {
  xnode* v = chain(make("v", DK_VAR));
  xnode* p = chain(make("p", DK_PARAMI));
  xnode* c = chain(make("c", DK_CONI));
  xnode* s = chain(make("s", DK_SET));
  EXPECT_EQ(v->num, 0);
  EXPECT_EQ(p->num, 2);
  EXPECT_EQ(c->num, 3);
  EXPECT_EQ(s->num, 5);
  EXPECT_EQ(dac.next, 6);
  xnode* const want[] = {v, v, p, c, c, s};
  for (int i = 0; i < 6; i++) EXPECT_EQ(dac.bynum[i], want[i]) << i;
  // decls in order; a new declaration keeps stamp 1.0.
  std::vector<xnode*> seen;
  for (xnode* x = decls; x; x = x->next) seen.push_back(x);
  EXPECT_EQ(seen, (std::vector<xnode*>{v, p, c, s}));
  EXPECT_EQ(v->stamp, 1.0);
  EXPECT_EQ(v->name->binding, v);
}

TEST_F(Decls, ByNumberTableGrowsAndKeepsEveryEntry) {
  int k0 = dac.k;
  std::vector<xnode*> xs;
  for (int i = 0; i < 300; i++)
    xs.push_back(chain(make(("p" + std::to_string(i)).c_str(), DK_PARAM)));
  EXPECT_GT(dac.k, k0);
  EXPECT_GT(dac.cap, 300);
  for (int i = 0; i < 300; i++) {
    EXPECT_EQ(dac.bynum[i], xs[i]);
    dep_note(i);
  }
  dep_note(7);
  EXPECT_EQ(dac.n, 300);
  EXPECT_EQ(dac.mark[7], 2);
  dep_reset();
  EXPECT_EQ(dac.n, 0);
  for (int i = 0; i < 300; i++) EXPECT_EQ(dac.mark[i], 0);
}

TEST_F(Decls, ClassListsAndClassIndexes) {
  xnode* v0 = chain(make("a", DK_VAR));
  xnode* v1 = chain(make("b", DK_VARI));
  xnode* sv = chain(make("c", DK_SVAR, XF_SYMBOLIC));
  xnode* rv = chain(make("d", DK_VAR, XF_RANDOM));
  xnode* v2 = chain(make("e", DK_VAR));
  EXPECT_EQ(v0->classnum, 0);
  EXPECT_EQ(v1->classnum, 1);
  EXPECT_EQ(sv->classnum, 2);  // in the list of all variables
  EXPECT_EQ(rv->classnum, 3);
  EXPECT_EQ(v2->classnum, 4);
  EXPECT_EQ(xclass[XC_VARS].n, 3);
  EXPECT_EQ(xclass[XC_VARS].a[2], v2);
  EXPECT_EQ(xclass[XC_SYMVARS].n, 1);
  EXPECT_EQ(xclass[XC_RANDVARS].n, 1);
  EXPECT_EQ(xclass[XC_ALLVARS].n, 5);

  xnode* k1 = make("", DK_CHECK);
  k1->name = nullptr;
  chain(k1);
  xnode* k2 = make("", DK_CHECK);
  k2->name = nullptr;
  chain(k2);
  EXPECT_EQ(k1->classnum, 1);  // checks are numbered from 1
  EXPECT_EQ(k2->classnum, 2);
  redecl_check(2);
  EXPECT_EQ(old_obj, k2);
  old_obj = old_obj0;
}

TEST_F(Decls, DependenciesAndReferrers) {
  xnode* x = chain(make("x", DK_VARI));
  xnode* p = chain(make("p", DK_PARAM));
  dep_note(p->num);
  dep_note(x->num);
  dep_note(p->num);
  xnode* c = chain(make("c", DK_CON));
  ASSERT_EQ(c->ndeps, 2);
  EXPECT_EQ(c->deps[0], static_cast<uint32_t>(p->num));
  EXPECT_EQ(c->deps[1], static_cast<uint32_t>(x->num));
  EXPECT_EQ(dac.n, 0);
  EXPECT_EQ(dac.mark[p->num], 0);
  EXPECT_EQ(dac.mark[x->num], 0);
  for (xnode* d : {x, p}) {
    ASSERT_EQ(d->nrefs, 1);
    EXPECT_EQ(d->refs[0], static_cast<uint32_t>(c->num));
  }
  // Referrer arrays grow by doubling.
  for (uint32_t i = 0; i < 9; i++) xrefer(p, 100 + i);
  EXPECT_EQ(p->nrefs, 10);
  EXPECT_GE(p->refcap, 10);
  EXPECT_EQ(p->refs[0], static_cast<uint32_t>(c->num));
  EXPECT_EQ(p->refs[9], 108u);
}

// Deleted declarations leave empty slots (given back at the top); a
// renumbering closes the gaps in order, and numbers, dependencies,
// referrers and the by-number table follow.
TEST_F(Decls, FreedSlotsAndRenumbering) {
  xnode* a = chain(make("a", DK_PARAM));
  xnode* b = chain(make("b", DK_PARAM));
  dep_note(a->num);
  xnode* c = chain(make("c", DK_PARAM));
  xnode* top = chain(make("top", DK_PARAM));
  int32_t bnum = b->num, next = dac.next;
  x_free(b);
  EXPECT_EQ(dac.bynum[bnum], nullptr);
  EXPECT_EQ(dac.nfree, 1);
  x_free(top);
  EXPECT_EQ(dac.next, next - 1);
  EXPECT_EQ(dac.nfree, 1);
  std::vector<int32_t> map(size_t(dac.next), -1);
  int32_t k = 0;
  for (int32_t i = 0; i < dac.next; ++i)
    if (dac.bynum[i]) map[size_t(i)] = k++;
  dac_renumber(map.data(), k);
  EXPECT_EQ(dac.next, k);
  EXPECT_EQ(dac.nfree, 0);
  EXPECT_EQ(c->num, a->num + 1);
  EXPECT_EQ(dac.bynum[c->num], c);
  ASSERT_EQ(c->ndeps, 1);
  EXPECT_EQ(c->deps[0], static_cast<uint32_t>(a->num));
  ASSERT_EQ(a->nrefs, 1);
  EXPECT_EQ(a->refs[0], static_cast<uint32_t>(c->num));
  std::vector<xnode*> left;
  for (xnode* x = decls; x; x = x->next) left.push_back(x);
  EXPECT_EQ(left, (std::vector<xnode*>{a, c}));
  EXPECT_EQ(c->classnum, a->classnum + 1);
}

TEST_F(Decls, RedeclaredRecordKeepsItsAddress) {
  const int kind = XM_XENVIR;    // a pool no front-end record uses
  size_t size = sizeof(xenvir);  // its records' size, fixed per process
  auto fresh = [&] { return static_cast<xnode*>(xmem(kind, size)); };

  xnode* first = chain(make("first", DK_PARAM));
  xnode* p = fresh();
  xrecomp_constr(p, Symbol("p", 1), nullptr, nullptr, DK_PARAM, 1);
  chain(p);
  xnode* last = chain(make("last", DK_PARAM));
  dep_note(p->num);
  xnode* user = chain(make("user", DK_PARAM));  // refers to p
  double gen = nextgenlev;

  redecl_start(p->name);
  EXPECT_EQ(old_obj, p);
  xnode* q = fresh();
  xrecomp_constr(q, p->name, nullptr, nullptr, DK_PARAM, 1);
  EXPECT_EQ(p->name->binding, p);  // not rebound while redeclaring
  q->flags = 0x42;
  xnode* old = nullptr;
  ASSERT_EQ(yychain(q, &old), 0);
  EXPECT_EQ(old, p);
  EXPECT_EQ(old_obj, old_obj0);
  EXPECT_EQ(q->num, p->num);
  EXPECT_EQ(q->stamp, gen);
  EXPECT_EQ(nextgenlev, gen + 1);

  xnode* r = x_copy(old, q, kind);
  EXPECT_EQ(r, p);
  EXPECT_EQ(p->flags, 0x42u);
  EXPECT_EQ(p->name->binding, p);
  EXPECT_EQ(dac.bynum[p->num], p);
  // Still linked in decls, still known to its referrer.
  EXPECT_EQ(first->next, p);
  EXPECT_EQ(p->next, last);
  ASSERT_EQ(p->nrefs, 1);
  EXPECT_EQ(p->refs[0], static_cast<uint32_t>(user->num));
  EXPECT_EQ(xclass[XC_PARS].a[p->classnum], p);
  EXPECT_EQ(fresh(), q);  // the new record went back to its pool
}

// A redeclaration by a record of another kind, which nothing refers to,
// is a new declaration: nothing is copied over the old record, which is
// deleted (its number, at the top, is given out again).
TEST_F(Decls, RedeclarationAsAnotherKindIsNew) {
  xnode* p = chain(make("p", DK_PARAM));
  int32_t pnum = p->num;
  redecl_start(p->name);
  xnode* s = make("p", DK_SET);
  xnode* old = nullptr;
  ASSERT_EQ(yychain(s, &old), 0);
  EXPECT_EQ(old, nullptr);
  EXPECT_EQ(p->kind, DK_PARAM);
  EXPECT_EQ(s->num, pnum);
  EXPECT_EQ(dac.bynum[s->num], s);
  EXPECT_EQ(decls, s);
  EXPECT_EQ(xclass[XC_PARS].n, 0);
  EXPECT_EQ(old_obj, old_obj0);
}

TEST_F(Decls, DeclarationsInsideACompoundCommand) {
  xnode* before = chain(make("z", DK_PARAM));  // z was a param ...
  cmdstate = 1;
  in_loop_over_i();
  xnode* x = make("z", DK_SET);  // ... and is declared again in the loop
  xnode* old = nullptr;
  auto r = test::run_captured([&] { EXPECT_EQ(yychain(x, &old), 1); });
  EXPECT_NE(r.err.find("Abandoning compound command to accept declaration "
                       "of z."),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Rejecting declaration because it uses loop dummy i."),
            std::string::npos)
      << r.err;
  EXPECT_EQ(x->name->binding, before);
  EXPECT_EQ(cmdstate, 0);  // the compound command was abandoned
  EXPECT_EQ(dac.next, 1);  // not numbered

  cmdstate = 1;
  lastloopdummy = nullptr;
  xnode* y = make("y", DK_SET);
  r = test::run_captured([&] { EXPECT_EQ(yychain(y, &old), 0); });
  EXPECT_NE(r.err.find("declaration of y."), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Rejecting"), std::string::npos) << r.err;
  EXPECT_EQ(y->num, 1);
  EXPECT_EQ(cmdstate, 0);
}

// What a refused declaration referred to is dropped with it: the next
// declaration does not inherit those dependencies.  (The session's
// redeclaration check refuses nothing yet.)
TEST_F(Decls, RefusedDeclarationLeavesNoDependencies) {
  xnode* q = chain(make("q", DK_PARAM));
  auto refuse = [&](xnode* d) {
    dep_note(q->num);
    xnode* old = nullptr;
    test::run_captured([&] { EXPECT_EQ(yychain(d, &old), 1); });
  };

  // Refused because it used the loop dummy ...
  cmdstate = 1;
  in_loop_over_i();
  refuse(make("r", DK_PARAM));
  cmdstate = 0;
  lastloopdummy = nullptr;
  xnode* t = chain(make("t", DK_PARAM));
  EXPECT_EQ(t->ndeps, 0);
  EXPECT_EQ(q->nrefs, 0);
  EXPECT_EQ(dac.n, 0);
  EXPECT_EQ(dac.mark[q->num], 0);
}

TEST_F(Decls, ReferencesToSolvedValuesAreReported) {
  xnode* dv = chain(make("dv", DK_VAR));
  dv->flags |= 32;  // a defined variable
  // The reason names what the entity is; an entity that is no variable,
  // constraint, objective or problem gets the plain report.
  xnode* v = chain(make("v", DK_VARI));
  xnode* c = chain(make("c", DK_CONI));
  xnode* s = chain(make("s", DK_SET));
  struct row {
    const char* seen;
    xnode* xseen;
    const char* expl;
    const char* stored;
    const char* message;  // null: no report
  } rows[] = {
      {"x.val", nullptr, nullptr, "x.val",
       "p0 must be redeclared without x.val"},
      {".val", dv, nullptr, "dv.val",
       "p1 must be redeclared without dv.val because dv is a defined "
       "variable."},
      {"x.val", nullptr, "%s uses %s", "x.val", "p2 uses x.val"},
      {"x.val", &variable_arg, nullptr, "x.val(... variable ...)", nullptr},
      // Eight characters and the counted-string head fill a 16-byte block
      // exactly: the terminating NUL needs a larger one.
      {"abcd.val", nullptr, nullptr, "abcd.val",
       "p4 must be redeclared without abcd.val"},
      {".lb", v, nullptr, "v.lb",
       "p5 must be redeclared without v.lb because v is a variable."},
      {".dual", c, nullptr, "c.dual",
       "p6 must be redeclared without c.dual because c is a constraint."},
      {"", s, nullptr, "s", "p7 must be redeclared without s\n"},
  };
  int i = 0;
  for (const row& w : rows) {
    std::string nm = "p" + std::to_string(i++);
    xnode* p = make(nm.c_str(), DK_PARAM);
    dseen = w.seen;
    dxseen = w.xseen;
    dseenexpl = w.expl;
    xnode* old;
    auto r = test::run_captured([&] { yychain(p, &old); });
    EXPECT_EQ(dseen, nullptr);
    EXPECT_EQ(dseenexpl, nullptr);
    ASSERT_NE(p->dseen, nullptr);
    EXPECT_STREQ(p->dseen->text(), w.stored);
    EXPECT_LE(sizeof(cstr) + std::strlen(w.stored) + 1,
              size_t{8} << p->dseen->k);
    if (w.message)
      EXPECT_NE(r.err.find(w.message), std::string::npos) << r.err;
    else
      EXPECT_EQ(r.err, "");
    if (w.xseen == dv) {
      // The instance generator repeats the report later.
      r = test::run_captured([&] { redcl_warn(p); });
      EXPECT_NE(r.err.find(w.message), std::string::npos) << r.err;
    }
  }
  dxseen = nullptr;
}

TEST_F(Decls, BadCheckNumbers) {
  for (int n : {0, 3}) {
    auto r = test::run_captured([&] { redecl_check(n); });
    EXPECT_NE(r.err.find("Bad check number; treating \"redeclare check " +
                         std::to_string(n) + "\" as \"check\"."),
              std::string::npos)
        << r.err;
    EXPECT_EQ(old_obj, old_obj0);
  }
}

}  // namespace
}  // namespace vexo
