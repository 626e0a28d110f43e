// Dot suffixes on declared fixtures: codes, dotgl effects on the dependency
// tally, req_collect bits, complementarity sides, declared suffixes, the
// bad-suffix listing and the display forms.
#include "frontend/suffix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "decl_fixture.h"
#include "eval/indexing.h"
#include "eval/optab.h"
#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/refs.h"
#include "frontend/strexpr.h"
#include "frontend/vardcl.h"
#include "frontend_fixture.h"
#include "instance/sufdecl.h"
#include "report/dotnames.h"
#include "report/print.h"
#include "session/cmdrec.h"
#include "session/execute.h"
#include "session/loop.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo {
namespace {

// Entity columns of the suffix table.
enum { VAR, CON, CC, LOG, OBJ, SYN, PROB, NCOL };

class Suffix : public ::testing::Test {
 protected:
  void SetUp() override {
    test::start_session(false);
    // The declarations of these tests only.
    decl_reset();
    dot_names = set_enum(new_enum(), 1);  // no suffix declared
    trans_state = 3;
    y = chain(make("y", DK_VAR));
    p = chain(make("p", DK_PARAM));
    Solution_Count = chain(make("_Solution_Count", DK_PARAM));
    Ig_Count = chain(make("_Initial_Guess_Count", DK_PARAM));
    x = entity("x", DK_VAR);
    c = entity("c", DK_CON);
    cc = entity("cc", DK_CON, 8);
    lc = entity("lc", DK_CON, 0, true);
    o = entity("o", DK_OBJ);
    pr = entity("pr", DK_PROB);
    clear();
  }
  void TearDown() override { Solution_Count = Ig_Count = nullptr; }

  static xnode* make(const char* name, uint32_t kind, uint64_t flags = 0) {
    return test::blank_decl(name, kind, flags);
  }
  static xnode* chain(xnode* d) {
    xnode* old = nullptr;
    EXPECT_EQ(yychain(d, &old), 0);
    return d;
  }
  // An entity that refers to the variable y and the param p; a constraint
  // with flag 8 is a complementarity constraint, logical one with a
  // logical body.
  xnode* entity(const char* name, uint32_t kind, uint64_t flags = 0,
                bool logical = false) {
    dep_note(y->num);
    dep_note(p->num);
    xnode* d = make(name, kind, flags);
    if (kind == DK_CON) {
      static_cast<constr*>(d)->compl_ = (flags & 8) != 0;
      if (logical) static_cast<constr*>(d)->logbody = new_num(1);
    }
    return chain(d);
  }
  static void clear() {
    dep_reset();
    req_collect = 0;
    need_prob = would_need_prob = 0;
    dseen = nullptr;
    dxseen = nullptr;
  }
  static int mark(int s) { return dac.mark[s]; }
  // A declared suffix (numbered from 0 in these tests).
  static suffix* declare(const char* name, bool symbolic = false) {
    suffix* s = new_suffix(Symbol(name, 1), nullptr);
    if (symbolic) s->addtype(SUF_SYMBOLIC);
    return s->finish_dcl();
  }
  static cstr* S(const char* s) { return new_cstring(s); }

  // The value reference of an entity, as a command writes it.
  expr* ref(int col) {
    switch (col) {
      case VAR:
        return new_expr(opword(OPPRIMAL, EF_NUMERIC), x);
      case CON:
        return new_expr(opword(OPDUAL, EF_NUMERIC), c);
      case CC:
        return new_expr(opword(OPDUAL, EF_NUMERIC), cc);
      case LOG:
        return new_expr(opword(OPLCON, EF_NUMERIC), lc);
      case OBJ:
        return new_expr(opword(OPOBJVAL, EF_NUMERIC), o);
      case SYN:
        return new_expr(opword(OPSYNSUB, EF_NUMERIC), syn5());
      default:
        return new_expr(opword(OPPROB, 0), pr);
    }
  }
  xnode* decl_of(int col) {
    xnode* const ds[NCOL] = {x, c, cc, lc, o, nullptr, pr};
    return ds[col];
  }
  static symbol* syn5() {
    static kw_row row = {"_syn5", BK_SYNONYM, 5};
    symbol* s = Symbol("_syn5", 1);
    s->binding = &row;
    return s;
  }

  xnode *y, *p, *x, *c, *cc, *lc, *o, *pr;
};

// The built-in suffixes: code / dotgl flags by entity (-1: none), and the
// req_collect bits of the row.
struct row {
  const char* name;
  int code[NCOL];
  int flags[NCOL];
  int req;
};
constexpr int N = -1;
const row suffix_table[] = {
    {"astatus", {45, 45, 45, 45, 45, N, 45}, {36, 36, 36, 36, 36, N, 36}, 0},
    {"astatus_num", {43, 43, 43, 43, 43, N, 43}, {4, 4, 4, 4, 4, N, 4}, 0},
    {"body", {N, 32, N, N, N, N, N}, {N, 5, N, N, N, N, N}, 2},
    {"defeqn", {0, N, N, N, N, N, N}, {4, N, N, N, N, N, N}, 2},
    {"defvar", {N, 23, N, N, N, N, N}, {N, 4, N, N, N, N, N}, 2},
    {"dinit", {N, 39, N, N, N, N, N}, {N, 8, N, N, N, N, N}, 0},
    {"dinit0", {N, 40, N, N, N, N, N}, {N, 0, N, N, N, N, N}, 0},
    {"domain", {1, N, N, N, N, N, N}, {0, N, N, N, N, N, N}, 0},
    {"dual", {20, 36, N, N, N, N, N}, {23, 20, N, N, N, N, N}, 0},
    {"exitcode", {N, N, N, N, 94, N, 111}, {N, N, N, N, 0, N, 0}, 0},
    {"init", {15, N, N, N, N, N, N}, {8, N, N, N, N, N, N}, 0},
    {"init0", {16, N, N, N, N, N, N}, {0, N, N, N, N, N, N}, 0},
    {"int", {2, N, N, N, N, N, N}, {0, N, N, N, N, N, N}, 0},
    {"lb", {3, 24, N, N, N, N, N}, {4, 0, N, N, N, N, N}, 0},
    {"lb0", {5, N, N, N, N, N, N}, {0, N, N, N, N, N, N}, 2},
    {"lb1", {7, N, N, N, N, N, N}, {4, N, N, N, N, N, N}, 2},
    {"lb2", {9, N, N, N, N, N, N}, {4, N, N, N, N, N, N}, 2},
    {"lbs", {N, 26, N, N, N, N, N}, {N, 4, N, N, N, N, N}, 2},
    {"lbs1", {N, 28, N, N, N, N, N}, {N, 4, N, N, N, N, N}, 2},
    {"lbs2", {N, 30, N, N, N, N, N}, {N, 4, N, N, N, N, N}, 2},
    {"ldual", {N, 37, N, N, N, N, N}, {N, 4, N, N, N, N, N}, 0},
    {"lno", {N, N, N, 104, N, N, N}, {N, N, N, 4, N, N, N}, 2},
    {"lrc", {13, N, N, N, N, N, N}, {6, N, N, N, N, N, N}, 2},
    {"lslack", {18, 34, N, N, N, N, N}, {21, 5, N, N, N, N, N}, 2},
    {"message", {N, N, N, N, 95, N, 113}, {N, N, N, N, 32, N, 32}, 0},
    {"no", {21, 41, N, 103, 101, 108, N}, {4, 4, N, 4, 4, 4, N}, 2},
    {"rc", {12, N, N, N, N, N, N}, {6, N, N, N, N, N, N}, 2},
    {"result", {N, N, N, N, 96, N, 114}, {N, N, N, N, 32, N, 32}, 0},
    {"result_num", {N, N, N, N, 97, N, 112}, {N, N, N, N, 0, N, 0}, 0},
    {"sense", {N, N, N, N, 98, N, N}, {N, N, N, N, 32, N, N}, 0},
    {"sense_num", {N, N, N, N, 99, N, N}, {N, N, N, N, 0, N, N}, 0},
    {"slack", {17, 33, 93, N, N, N, N}, {21, 5, 5, N, N, N, N}, 2},
    {"sno", {22, 42, N, 105, 102, 109, N}, {4, 4, N, 4, 4, 4, N}, 2},
    {"status", {46, 46, 46, 46, N, N, N}, {36, 36, 36, 36, N, N, N}, 0},
    {"status_num", {44, 44, 44, 44, N, N, N}, {4, 4, 4, 4, N, N, N}, 0},
    {"ub", {4, 25, N, N, N, N, N}, {4, 0, N, N, N, N, N}, 0},
    {"ub0", {6, N, N, N, N, N, N}, {0, N, N, N, N, N, N}, 2},
    {"ub1", {8, N, N, N, N, N, N}, {4, N, N, N, N, N, N}, 2},
    {"ub2", {10, N, N, N, N, N, N}, {4, N, N, N, N, N, N}, 2},
    {"ubs", {N, 27, N, N, N, N, N}, {N, 4, N, N, N, N, N}, 2},
    {"ubs1", {N, 29, N, N, N, N, N}, {N, 4, N, N, N, N, N}, 2},
    {"ubs2", {N, 31, N, N, N, N, N}, {N, 4, N, N, N, N, N}, 2},
    {"udual", {N, 38, N, N, N, N, N}, {N, 4, N, N, N, N, N}, 0},
    {"urc", {14, N, N, N, N, N, N}, {6, N, N, N, N, N, N}, 2},
    {"uslack", {19, 35, N, N, N, N, N}, {21, 5, N, N, N, N, N}, 2},
    {"val", {11, N, N, 106, 100, 110, N}, {81, N, N, 21, 20, 32, N}, 0},
    {"val_num", {N, N, N, 107, N, N, N}, {N, N, N, 21, N, N, N}, 0},
};

TEST_F(Suffix, EveryCellOfTheTable) {
  int cells = 0;
  for (const row& r : suffix_table) {
    for (int col = 0; col < NCOL; col++) {
      SCOPED_TRACE(std::string(r.name) + " column " + std::to_string(col));
      clear();
      expr* e = ref(col);
      xnode* d = decl_of(col);
      expr* out = nullptr;
      auto res = test::run_captured([&] { out = thingdot(e, S(r.name)); });
      if (r.code[col] < 0) {
        EXPECT_NE(res.err.find("Bad suffix ." + std::string(r.name)),
                  std::string::npos)
            << res.err;
        EXPECT_EQ(opcode(out), OPNUM);
        continue;
      }
      cells++;
      int code = r.code[col], fl = r.flags[col];
      EXPECT_EQ(res.err, "");
      EXPECT_EQ(dotgl[code], fl);
      EXPECT_STREQ(dotnames[code], r.name);
      if (col == OBJ && code == SUF_OBJVAL) {
        // o.val is the objective's value node itself.
        EXPECT_EQ(out, e);
        EXPECT_EQ(out->opword, opword(OPOBJVAL, EF_NUMERIC));
        fl = DG_SOLVED | DG_VARUSE;
      } else {
        int want = col == SYN ? (fl & DG_SYM ? OPSYNDOTSYM : OPSYNDOT)
                              : (fl & DG_SYM ? OPDOTSYM : OPDOT);
        EXPECT_EQ(out->opword,
                  opword(want, fl & DG_SYM ? EF_STRING : EF_NUMERIC));
        EXPECT_EQ(out->L.e, e);
        EXPECT_EQ(e->opword, opword(OPXNODE, 0));
        EXPECT_EQ(e->R.i, code);
      }
      EXPECT_EQ(req_collect, r.req);
      if (col == SYN) {  // synonyms touch only the problem flags
        EXPECT_EQ(would_need_prob, 4);
        EXPECT_EQ(dac.n, 0);
        continue;
      }
      // The value reference counted d once in its base slot; dotgl moves
      // it (16), counts the variables d refers to (1), the solution (2)
      // and initial-guess (8) counters, and notes d as needing solved
      // values (4; 64 only for defined variables).
      bool refd = col != PROB && col != OBJ;
      EXPECT_EQ(mark(d->num), refd && !(fl & DG_ADJ) ? 1 : 0);
      EXPECT_EQ(mark(d->num + 1), fl & DG_ADJ ? 1 : 0);
      EXPECT_EQ(mark(y->num + 1), fl & DG_VARUSE ? 1 : 0);
      EXPECT_EQ(mark(p->num), 0);
      EXPECT_EQ(mark(Solution_Count->num), fl & DG_SOLN ? 1 : 0);
      EXPECT_EQ(mark(Ig_Count->num), fl & DG_IG ? 1 : 0);
      EXPECT_EQ(dxseen, fl & DG_SOLVED ? d : nullptr);
    }
  }
  EXPECT_EQ(cells, 85);
}

TEST_F(Suffix, SolvedValuesAskForCollectionBeforeTheProblemIsGenerated) {
  trans_state = 2;
  thingdot(ref(CON), S("lb"));  // flags 0
  EXPECT_EQ(req_collect, 0);
  thingdot(ref(CON), S("ldual"));  // flags 4
  EXPECT_EQ(req_collect, 2);
  clear();
  trans_state = 3;
  cmdstate = 1;
  thingdot(ref(CON), S("ldual"));
  EXPECT_EQ(req_collect, 2);
}

TEST_F(Suffix, ComplementaritySides) {
  const sfxtab* t;
  uint32_t code;
  for (const sfxent* h : {cstuff.lo, cstuff.hi}) {
    for (const sfxent* e = h; e->name; e++) {
      SCOPED_TRACE(e->name);
      for (char side : {'L', 'R'}) {
        std::string n = std::string(1, side) + (e->name + 1);
        const sfxent* f = ccsfxlook(&t, n.c_str(), &code);
        EXPECT_EQ(t, &cstuff);
        if (e->code == 23) {  // no side has a defvar
          EXPECT_EQ(f, nullptr);
          continue;
        }
        ASSERT_EQ(f, e);
        uint32_t want = e->code + (side == 'L' ? 23 : 46);
        EXPECT_EQ(code, want);
        EXPECT_STREQ(dotnames[want], n.c_str());
        EXPECT_EQ(dotgl[want], dotgl[e->code]);
      }
    }
  }
  expr* r = thingdot(ref(CC), S("Rslack"));
  EXPECT_EQ(r->L.e->R.i, 79);
  // The wrapper a bare complementarity constraint gets in an expression
  // (its .slack) gives way to the suffix asked for.
  expr* in = new_expr(opword(OPDUAL, EF_NUMERIC), cc, int32_t{93});
  expr* w = new_expr(opword(OPDOT, EF_NUMERIC), in, nullptr);
  r = thingdot(w, S("slack"));
  EXPECT_EQ(r->opword, opword(OPDOT, EF_NUMERIC));
  EXPECT_EQ(r->L.e, in);
  EXPECT_EQ(in->R.i, 93);
  EXPECT_EQ(r->R.e, nullptr);
}

TEST_F(Suffix, BadSuffixListsTheNamesFourToALine) {
  // Single-stepping: the message is not counted, and so the mark of a bad
  // name it was given under stays for the test to see.
  single_step = 1;
  auto r = test::run_captured([&] {
    expr* e = thingdot(ref(CC), S("Lfoo"));
    EXPECT_EQ(opcode(e), OPNUM);
  });
  EXPECT_EQ(r.err,
            "\n\tBad suffix .Lfoo for cc\nPossible suffix values for "
            "cc.suffix:\n\tastatus   body     defvar   dinit \n\tdinit0    "
            "dual     lb       lbs   \n\tlbs1      lbs2     ldual    "
            "lslack\n\tno        slack    sno      status\n\tub        ubs  "
            "    ubs1     ubs2  \n\tudual     uslack\n");
  EXPECT_EQ(pr_badnames, 1);
  single_step = 0;
  // Declared suffixes are sorted in; _num names are never listed.
  declare("mysuf");
  r = test::run_captured([&] { thingdot(ref(VAR), S("foo")); });
  EXPECT_EQ(r.err,
            "\n\tBad suffix .foo for x\nPossible suffix values for "
            "x.suffix:\n\tastatus   defeqn   domain   dual\n\tinit      "
            "init0    int      lb  \n\tlb0       lb1      lb2      lrc "
            "\n\tlslack    mysuf    no       rc  \n\tslack     sno      "
            "status   ub  \n\tub0       ub1      ub2      urc \n\tuslack  "
            "  val   \n");
  r = test::run_captured([&] {
    expr* e = thingdot(new_expr(opword(OPPAR, EF_NUMERIC), p), S("lb"));
    EXPECT_EQ(opcode(e), OPNUM);
  });
  EXPECT_EQ(r.err, "\n\tBad suffix .lb -- p cannot have a suffix.\n");
  r = test::run_captured([&] {
    thingdot(new_expr(opword(OPDUMMY, 0), int32_t{1}, int32_t{0}), S("lb"));
  });
  EXPECT_EQ(r.err, "\n\tdummy . lb not allowed\n");
}

TEST_F(Suffix, DefinedVariableValue) {
  x->flags |= 32;
  expr* r = thingdot(ref(VAR), S("val"));
  EXPECT_EQ(r->opword, opword(OPDOT, EF_NUMERIC));
  // The suffix, which the declaration's report puts after x's name
  // ("x.val").
  EXPECT_STREQ(dseen, ".val");
  EXPECT_EQ(dxseen, x);
  EXPECT_EQ(mark(x->num), 0);
  EXPECT_EQ(mark(x->num + 1), 1);
  EXPECT_EQ(mark(y->num + 1), 1);
  EXPECT_EQ(dac.n, 2);  // nothing else is counted
  // A first reason to need values is kept.
  clear();
  dseen = "earlier";
  thingdot(ref(VAR), S("val"));
  EXPECT_STREQ(dseen, "earlier");
  EXPECT_EQ(dxseen, nullptr);
}

TEST_F(Suffix, DeclaredSuffixes) {
  suffix* n = declare("cost");
  suffix* s = declare("tag", true);
  expr* e = ref(VAR);
  expr* r = thingdot(e, S("cost"));
  EXPECT_EQ(r->opword, opword(OPSUF, EF_NUMERIC));
  EXPECT_EQ(r->L.e, e);
  EXPECT_EQ(e->R.p, n);
  EXPECT_EQ(mark(n->num + 1), 1);
  r = thingdot(ref(VAR), S("tag"));
  EXPECT_EQ(r->opword, opword(OPSUFSYM, EF_STRING));
  r = thingdot(ref(VAR), S("tag_num"));
  EXPECT_EQ(r->opword, opword(OPSUF, EF_NUMERIC));
  EXPECT_EQ(r->L.e->R.p, s);
  // Display codes: 230 + n numeric, 460 + n symbolic.
  r = dthingdot(x, S("tag"));
  EXPECT_EQ(r->R.i, 460 + 1);
  r = dthingdot(x, S("cost"));
  EXPECT_EQ(r->R.i, 230 + 0);
}

TEST_F(Suffix, DisplayFormsAndTheirMisuse) {
  xnode* xi = chain(make("xi", DK_VARI));
  expr* d = dthingdot(xi, S("lb"));
  EXPECT_EQ(d->opword, opword(OPXNODE, 0));
  EXPECT_EQ(d->L.x, xi);
  EXPECT_EQ(d->R.i, 3);
  expr* out = nullptr;
  auto r = test::run_captured([&] { out = expr0dot(d, nullptr); });
  EXPECT_EQ(r.err,
            "\n\txi.suffix is only for display;\n\there you need "
            "xi[...].suffix\n\tor xi.suffix[...]\n");
  EXPECT_EQ(opcode(out), OPNUM);
  // Objectives keep their codes negated; val is -1.
  clear();
  xnode* oi = chain(make("oi", DK_OBJI));
  EXPECT_EQ(dthingdot(oi, S("val"))->R.i, -1);
  EXPECT_EQ(dthingdot(oi, S("sense"))->R.i, -98);
  // A bad suffix gives an empty display item.
  r = test::run_captured([&] { out = dthingdot(xi, S("nope")); });
  EXPECT_EQ(opcode(out), OP251);
  EXPECT_EQ(out->L.p, nullptr);
  EXPECT_EQ(out->R.p, nullptr);
  // Synonym display forms.
  out = dsyndot(syn5(), S("val"));
  EXPECT_EQ(out->opword, opword(OP256, 0));
  EXPECT_EQ(out->R.i, 110);
}

TEST_F(Suffix, SubscriptedDisplayForms) {
  dummy_reset();
  Index* ix =
      index_item(nullptr, new_expr(opword(OP279), Symbol("i", 0)), new_enum());
  set_spec* ss = new set_spec(ix, nullptr, 1);
  end_context(ss, nullptr);
  auto indexed = [&](const char* name, uint32_t kind, uint64_t flags) {
    return chain(test::blank_decl(name, kind, flags, ss));
  };
  xnode* xi = indexed("xi", DK_VARI, 32);  // a defined variable
  xnode* ci = indexed("ci", DK_CONI, 8);   // complementarity
  xnode* oi = indexed("oi", DK_OBJI, 0);
  clear();
  // xi.ub[1] in an expression: the suffix node over the subscripted
  // reference, xi counted once more in its base slot.
  expr* r = expr0dot(dthingdot(xi, S("ub")), new_num(1));
  ASSERT_EQ(r->opword, opword(OPDOTSUB, EF_NUMERIC));
  EXPECT_EQ(r->L.e->opword, opword(OPXNODE, 0));
  EXPECT_EQ(r->L.e->L.x, xi);
  EXPECT_EQ(r->L.e->R.i, 4);
  EXPECT_NE(r->R.e, nullptr);  // the subscripts' lookup node
  EXPECT_EQ(mark(xi->num), 1);
  // In a display list the defined variable's values are needed.
  clear();
  trans_state = 2;
  r = dexpr0dot(dthingdot(xi, S("ub")), new_num(1));
  EXPECT_EQ(r->opword, opword(OP251, 0));
  EXPECT_EQ(r->L.p, nullptr);
  EXPECT_EQ(r->R.e->opword, opword(OPDOTSUB, EF_NUMERIC));
  EXPECT_EQ(mark(xi->num + 1), 1);
  EXPECT_EQ(req_collect, 2);
  // Complementarity sides come back through their names.
  r = expr0dot(dthingdot(ci, S("Rslack")), new_num(1));
  EXPECT_EQ(r->L.e->R.i, 79);
  // Objectives: the negated display codes are restored; val is the
  // objective's value reference.
  r = expr0dot(dthingdot(oi, S("val")), new_num(1));
  EXPECT_EQ(r->opword, opword(OPOBJVALSUB, EF_NUMERIC));
  r = expr0dot(dthingdot(oi, S("sense")), new_num(1));
  EXPECT_EQ(r->opword, opword(OPDOTSUBSYM, EF_STRING));
  EXPECT_EQ(r->L.e->R.i, 98);
}

TEST_F(Suffix, DefinedVariableChecks) {
  trans_state = 2;
  dv_check(x);  // not a defined variable: nothing
  EXPECT_EQ(dac.n, 0);
  EXPECT_EQ(req_collect, 0);
  y->flags |= 32;
  dac_add(y->num);
  dv_check(y);
  EXPECT_EQ(mark(y->num), 0);
  EXPECT_EQ(mark(y->num + 1), 1);
  EXPECT_EQ(req_collect, 2);
  // dvo_check: c refers to the defined variable y.
  clear();
  trans_state = 3;
  dac_add(c->num);
  dvo_check(c);
  EXPECT_EQ(mark(c->num + 1), 1);
  EXPECT_EQ(req_collect, 2);
  clear();
  y->flags &= ~uint64_t{32};
  dvo_check(c);
  EXPECT_EQ(req_collect, 0);
}

TEST_F(Suffix, TallyRemovalKeepsTheListDense) {
  dac_add(50);
  dac_add(51);
  dac_add(52);
  dac_add(51);
  int n = dac.n;
  dac_sub(51);
  EXPECT_EQ(dac.n, n);
  dac_sub(51);
  EXPECT_EQ(dac.n, n - 1);
  EXPECT_EQ(dac.list[n - 2], 52u);  // the last entry took 51's place
  dac_sub(51);                      // nothing left to remove
  EXPECT_EQ(mark(51), 0);
  EXPECT_EQ(dac.n, n - 1);
}

// Suffix nodes hold the rewritten reference as a plain node whose R is a
// code or a suffix record, not a subscript: deleting the suffix node gives
// back each node once and never follows that R.
TEST_F(Suffix, SuffixNodesDeleteTheirReferenceAsAPlainNode) {
  dummy_reset();
  set_spec* ss = new set_spec(
      new Index(nullptr, set_enum(new_enum(), 1), nullptr, 0), nullptr, 1);
  auto indexed = [&](const char* name, uint32_t kind, uint64_t flags) {
    return chain(test::blank_decl(name, kind, flags, ss));
  };
  xnode* xi = indexed("xi", DK_VARI, 0);
  xnode* ci = indexed("ci", DK_CONI, 8);
  static_cast<constr*>(ci)->compl_ = 1;
  declare("cost");
  // Fill the free list, so that its length shows what comes back.
  test::fill_expr_free_list(64);
  int before = 0;
  for (expr* e = expr_free_list; e; e = e->next) ++before;
  expr* trees[] = {
      // A declared suffix on an element: R of the reference is the record.
      thingdot(subscript(opword(OPPRIMALSUB, EF_NUMERIC), xi, new_num(1)),
               S("cost")),
      thingdot(synscript(opword(OPSYNSUB, EF_NUMERIC), syn5(), new_num(1)),
               S("cost")),
      // A complementarity constraint's element in an expression: its
      // .slack, R of the reference the code 93.
      dual_val(ci, new_num(1)),
      // A built-in suffix: the reference becomes OPXNODE.
      thingdot(subscript(opword(OPPRIMALSUB, EF_NUMERIC), xi, new_num(1)),
               S("ub")),
  };
  EXPECT_EQ(opcode(trees[0]), OPSUFSUB);
  EXPECT_EQ(opcode(trees[1]), OPSYNSUF);
  EXPECT_EQ(opcode(trees[2]), OPDOTSUB);
  for (expr* t : trees) edelete(t);
  int after = 0;
  for (expr* e = expr_free_list; e && after <= before + 64; e = e->next)
    ++after;
  EXPECT_EQ(after, before);
}

// A bad suffix on a whole indexed entity followed by subscripts (x.foo[1])
// has already been reported: the result is the number 0.
TEST_F(Suffix, SubscriptedBadSuffixGivesZero) {
  xnode* xi = chain(make("xi", DK_VARI));
  expr* out = nullptr;
  auto r = test::run_captured(
      [&] { out = expr0dot(dthingdot(xi, S("nope")), new_num(1)); });
  EXPECT_NE(r.err.find("Bad suffix .nope for xi"), std::string::npos);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->opword, opword(OPNUM, EF_CONST | EF_NUMERIC));
  EXPECT_EQ(out->L.d, 0.);
  r = test::run_captured(
      [&] { out = dexpr0dot(dthingdot(xi, S("nope")), new_num(1)); });
  EXPECT_EQ(opcode(out), OP251);
  EXPECT_EQ(opcode(out->R.e), OPNUM);
}

// x.cost[1] for a numeric declared suffix rebuilds the name "cost_num":
// the string holds exactly that text and its NUL, and writes nothing past
// its block (here the header of the block that follows it).
TEST_F(Suffix, RebuiltDeclaredSuffixNameStaysInItsBlock) {
  suffix* cost = declare("cost");
  xnode* xi = chain(make("xi", DK_VARI));
  // Two adjacent blocks of the name's size class; the first is freed so
  // that the name takes it.
  cstr *a = nullptr, *b = nullptr;
  for (int k = 0; k < 1000 && !b; ++k) {
    cstr* u = new_cstr(8);
    cstr* v = new_cstr(8);
    if (reinterpret_cast<char*>(v) - reinterpret_cast<char*>(u) == 24) {
      a = u;
      b = v;
    }
  }
  ASSERT_NE(b, nullptr);
  int kb = blkclass(b);
  zap_cstr(&a);
  expr* r = nullptr;
  test::run_captured(
      [&] { r = expr0dot(dthingdot(xi, S("cost")), new_num(1)); });
  EXPECT_EQ(r->opword, opword(OPSUFSUB, EF_NUMERIC));
  EXPECT_EQ(r->L.e->R.p, cost);
  EXPECT_EQ(blkclass(b), kb);
  zap_cstr(&b);
}

// _var[1,2].lb: the element was refused (and reported) as the number 0,
// which the suffix leaves as it is.
TEST_F(Suffix, SuffixOnARefusedElementKeepsTheZero) {
  expr* two = new_num(1);
  two->next = new_num(2);
  expr* r = nullptr;
  auto o = test::run_captured([&] {
    r = thingdot(synscript(opword(OPSYNSUB, EF_NUMERIC), syn5(), two), S("no"));
  });
  EXPECT_EQ(o.err, "\n\t_syn5 needs 1 subscript, not 2\n");
  EXPECT_EQ(r->opword, opword(OPNUM, EF_CONST | EF_NUMERIC));
  EXPECT_EQ(r->L.d, 0.);
}

}  // namespace
}  // namespace vexo
