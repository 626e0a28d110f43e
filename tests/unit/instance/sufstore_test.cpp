// Suffix values of generated members: value blocks and their counts,
// deletion and reset, and what the problem writer is given (sufget,
// sufcheck) from a collected problem filled by hand.
#include "instance/sufstore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "instance/instance_fixture.h"
#include "compiler/compdecl.h"
#include "instance/names.h"
#include "instance/sufdecl.h"
#include "session/opttable.h"
#include "session/sysdecls.h"
#include "support/pool.h"
#include "support/text.h"

namespace vexo {
namespace {

class SufStore : public test::InstanceTest {
 protected:
  void SetUp() override {
    InstanceTest::SetUp();
    parse_text(
        "var x; var y {1..3}; suffix s IN >= 1; suffix a; suffix b;");
    x = var_named("x");
    y = var_named("y");
    give_member(x, 0);
    give_members(y, {1, 2, 3}, 1);
  }
  static suffix* suf(const char* n) { return suff_named(Symbol(n, 1)); }
  // Sets slot i of v to x, keeping the counts.
  static void put(SufVal* v, int i, double x) {
    sufv_adjust(v, v->values[i], x);
    v->values[i] = x;
  }
  var* x = nullptr;
  var* y = nullptr;
};

TEST_F(SufStore, CountsFollowTheValues) {
  suffix* s = suf("a");
  s->init_value = 2;
  SufVal* v = suf_dflt(y, s, nullptr);
  EXPECT_EQ(v->n_int, 3);
  put(v, 0, 0.5);  // 2 -> 0.5: from n_int to n_real
  EXPECT_EQ(v->n_int, 2);
  EXPECT_EQ(v->n_real, 1);
  put(v, 1, 3e9);  // beyond 32 bits: real
  put(v, 2, 0);
  EXPECT_EQ(v->n_int, 0);
  EXPECT_EQ(v->n_real, 2);
  EXPECT_EQ(sufval_of(y, s->classnum), v);
  EXPECT_EQ(y->sufs.suf_subs->nmem, 3);
}

TEST_F(SufStore, DeletionRenumbersAndReset) {
  SufVal* vb = suf_dflt(y, suf("b"), nullptr);
  vb->values[1] = 7;
  suf_dflt(y, suf("a"), nullptr);
  int nb = suf("b")->classnum;
  EXPECT_NE(dotdel(Symbol("a", 1), 1), nullptr);
  EXPECT_EQ(suf("b")->classnum, nb - 1);
  EXPECT_EQ(suf_bynum(nb - 1), suf("b"));
  EXPECT_EQ(sufval_of(y, nb - 1), vb);
  EXPECT_EQ(sufval_of(y, nb - 1)->values[1], 7);
  EXPECT_EQ(suf("a"), nullptr);

  auto r = test::run_captured([] { dotdel(Symbol("derstage", 1), 1); });
  EXPECT_NE(r.err.find("Cannot delete suffix derstage"), std::string::npos);

  suf_dflt(x, sstatus_suf, nullptr);
  sufreset(nullptr);
  EXPECT_EQ(sufval_of(x, sstatus_suf->classnum), nullptr);
  EXPECT_EQ(sufval_of(y, nb - 1), nullptr);
  r = test::run_captured([] { sufreset(Symbol("lb", 1)); });
  EXPECT_NE(r.err.find("lb is a system suffix that cannot be reset.\n"
                       "To see all system suffixes,\n"
                       "\tdisplay _SYSTEM_SUFFIXES;\n"),
            std::string::npos)
      << r.err;
}

TEST_F(SufStore, AssignmentNodes) {
  auto r = test::run_captured([] {
    expr* e = dotassign(new_num(1), new_cstring("foo"));
    EXPECT_EQ(opcode(e), OPNUM);
  });
  EXPECT_NE(r.err.find("foo is not an assignable suffix."), std::string::npos);
  expr* ref = new_expr(opword(OPPRIMAL, EF_NUMERIC), x);
  expr* e = dotassign(ref, new_cstring("sstatus"));
  EXPECT_EQ(opcode(e), OPSPARSUB);
  EXPECT_EQ(e->L.x, sstatus_suf);
  EXPECT_EQ(e->R.e, ref);
  EXPECT_EQ(opcode(dotassign(ref, new_cstring("sstatus_num"))), OPPARSUB);
}

// The writer's view: x at position 0, y[1..3] at 1..3.
class SufWriter : public SufStore {
 protected:
  void SetUp() override {
    SufStore::SetUp();
    names[0] = {x, nullptr, nullptr};
    int i = 1;
    for (setmem* m = y->gen.members->first; m; m = m->next)
      names[i++] = {y, m, nullptr};
    decls[0] = x;
    decls[1] = y;
    seen.block = decls;
    seen.n_decls = 2;
  }
  xname names[4];
  void* decls[2];
  CVseen seen{};
};

TEST_F(SufWriter, IntegerAndRealBlocks) {
  SufVal* v = suf_dflt(y, suf("a"), nullptr);
  put(v, 0, 5);
  v->values[2] = NAN;  // counted as the integer it was (as a reader may)
  ++v->n_int;
  int k;
  int32_t *iv, *pos;
  double* rv;
  ASSERT_EQ(sufget(&seen, suf("a"), &k, &iv, &pos, 4, &rv, names, nullptr,
                   4, 0),
            2);
  ASSERT_NE(iv, nullptr);
  EXPECT_EQ(rv, nullptr);
  EXPECT_EQ(iv[0], 5);
  EXPECT_EQ(iv[1], INT32_MIN);
  EXPECT_EQ(pos[0], 1);
  EXPECT_EQ(pos[1], 3);
  del_mblk(k, iv);
  put(suf_dflt(x, suf("a"), nullptr), 0, 0.25);
  ASSERT_EQ(sufget(&seen, suf("a"), &k, &iv, &pos, 4, &rv, names, nullptr,
                   4, 0),
            3);
  ASSERT_NE(rv, nullptr);
  EXPECT_EQ(iv, nullptr);
  EXPECT_EQ(rv[0], 0.25);
  EXPECT_EQ(rv[1], 5);
  EXPECT_EQ(pos[2], 3);
  del_mblk(k, rv);
  // derstage: the low 16 bits below split, the high ones above.
  put(suf_dflt(x, derstage_suf, nullptr), 0, 0x30002);
  int32_t order[2] = {0, 4};
  // Each entity sent twice: the caller's extra makes room for the second.
  ASSERT_EQ(sufget(&seen, derstage_suf, &k, &iv, &pos, 2, &rv, names, order,
                   4, 1),
            2);
  EXPECT_EQ(iv[0], 2);
  EXPECT_EQ(iv[1], 3);
  del_mblk(k, iv);
}

TEST_F(SufWriter, ConditionsOnDeclarationsWithoutValues) {
  compile();  // the declarations' conditions, as before any command
  AC* ac = new_ac();
  ac->var_names = names;
  ac->n_var = ac->n_var_sent = 4;
  send_suffixes = 3;
  SufVal* v = suf_dflt(y, suf("s"), nullptr);
  for (int i = 0; i < 3; ++i) put(v, i, i + 1);
  auto r = test::run_captured([&] { EXPECT_NE(sufcheck(ac), 0); });
  EXPECT_NE(r.err.find("x.s has not been assigned a value v satisfying\n"
                       "\tv >="),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("y.s"), std::string::npos) << r.err;
  ASSERT_NE(ac->seen[0].block, nullptr);
  EXPECT_EQ(ac->seen[0].n_decls, 2);
  EXPECT_EQ(ac->seen[0].n_sufs, 1);
  // Values on x only: y is reported, with "values".
  cvszap(&ac->seen[0]);
  sufreset(nullptr);
  put(suf_dflt(x, suf("s"), nullptr), 0, 2);
  r = test::run_captured([&] { sufcheck(ac); });
  EXPECT_NE(r.err.find("y.s has not been assigned values v satisfying\n"),
            std::string::npos)
      << r.err;
  ac->var_names = nullptr;
}

}  // namespace
}  // namespace vexo
