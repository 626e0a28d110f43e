#include "frontend/keywords.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend_fixture.h"
#include "support/machine.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo {
namespace {

class Keywords : public ::testing::Test {
 protected:
  void SetUp() override { test::start_session(); }
  static symbol* sym(const char* s) { return Symbol(s, 1); }
  static const kw_row* row(const char* s) {
    return static_cast<const kw_row*>(sym(s)->binding);
  }
  static const stmt_row& stmt(const char* s) {
    int i = stmt_row_of(sym(s));
    EXPECT_GE(i, 0) << s;
    return stmt_info[i < 0 ? 0 : i];
  }
};

TEST_F(Keywords, ReservedWordsAreReserved) {
  for (int i = 0; i < N_RESERVED; i++) {
    symbol* s = sym(reserved_names[i]);
    EXPECT_EQ(reserved_row_of(s), i) << reserved_names[i];
    if (s != Environ) {
      EXPECT_EQ(s->binding, nullptr) << reserved_names[i];
    }
  }
  EXPECT_EQ(reserved_syms->nmem, N_RESERVED);
  struct {
    const char* word;
    uint32_t code, value;
  } spot[] = {
      {"sum", TK_SUM, 0},
      {"in", TK_IN, 0},
      {"IN", TK_INOUT, 1},
      {"INOUT", TK_INOUT, 3},
      {"OUT", TK_INOUT, 2},
      {"integer", TK_TYPEWORD, 1},
      {"symbolic", TK_TYPEWORD, 256},
      {"logical", TK_TYPEWORD, RESERVED_UNLESS_DECLARED | 2},
      {"min", TK_MINMAX, 4610},
      {"max", TK_MINMAX, 5122},
      {"exists", TK_ITLOGIC, 8704},
      {"forall", TK_ITLOGIC, 9216},
      {"until", TK_UNTIL, 0},
      {"while", TK_WHILE, 0},
      {"within", TK_WITHIN, 0},
  };
  for (auto& w : spot) {
    int i = reserved_row_of(sym(w.word));
    ASSERT_GE(i, 0) << w.word;
    EXPECT_EQ(reserved_info[i].code, w.code) << w.word;
    EXPECT_EQ(reserved_info[i].value, w.value) << w.word;
  }
  for (const char* w : {"card", "display", "x", "Sum", "solve"})
    EXPECT_EQ(reserved_row_of(sym(w)), -1) << w;
}

TEST_F(Keywords, StatementWords) {
  EXPECT_EQ(stmt_syms->nmem, N_STMT);
  for (int i = 0; i < N_STMT; i++)
    EXPECT_EQ(stmt_row_of(sym(stmt_names[i])), i) << stmt_names[i];
  // Synonyms share their word's code.
  const char* same[][2] = {{"sovle", "solve"},
                           {"foreach", "for"},
                           {"q", "quit"},
                           {"restore", "add"},
                           {"options", "option"}};
  for (auto& p : same) EXPECT_EQ(stmt(p[0]).code, stmt(p[1]).code) << p[0];
  struct {
    const char* word;
    uint32_t code;
    int state;
    uint32_t remap;
  } spot[] = {
      {"cont", TK_CONT, -2, 0},
      {"step", TK_STEP, -2, 0},
      {"redeclare", TK_REDECLARE, -1, 0},
      {"var", TK_VAR, 3, 0},
      {"diff", TK_DIFF_CMD, 3, 0},
      {"for", TK_FOR, 3, 1},
      {"problem", TK_PROBLEM, 4, 0},
      {"check", TK_CHECK, 6, 0},
      {"display", TK_DISPLAY, 6, 1},
      {"until", TK_STMT_UNTIL, 6, 1},
      {"while", TK_STMT_WHILE, 6, 1},
      {"model", TK_MODEL, 8, 0},
      {"cd", TK_CD, 8, 1},
      {"solve", TK_SOLVE, 10, 0},
      {"table", TK_TABLE, 10, 1},
      {"help", TK_HELP, 11, 0},
      {"option", TK_OPTION, 11, 1},
      {"write", TK_WRITE, 13, 1},
  };
  for (auto& w : spot) {
    const stmt_row& r = stmt(w.word);
    EXPECT_EQ(r.code, w.code) << w.word;
    EXPECT_EQ(r.state, w.state) << w.word;
    EXPECT_EQ(r.remap, w.remap) << w.word;
  }
  // Words that are statement words and reserved words at once; until and
  // while change their code between the two roles.
  for (const char* w : {"check", "else", "environ", "if", "option", "suffix",
                        "table", "until", "while"}) {
    EXPECT_GE(stmt_row_of(sym(w)), 0) << w;
    EXPECT_GE(reserved_row_of(sym(w)), 0) << w;
  }
  EXPECT_EQ(stmt_row_of(sym("sum")), -1);
  EXPECT_EQ(stmt_row_of(sym("card")), -1);
}

TEST_F(Keywords, BuiltInNamesAreBound) {
  struct {
    const char* name;
    uint32_t kind, value;
  } spot[] = {
      {"sqrt", BK_FUNC1, 39u << 9 | 2},
      {"int", BK_FUNC1, 13u << 9 | 2},
      {"floor", BK_FUNC1, 13u << 9 | 2},
      {"atan2", BK_FUNC2, 48u << 9 | 2},
      {"round", BK_FUNC2, 57u << 9 | 2},
      {"char", BK_FUNC1, 130u << 9 | 16},
      {"match", BK_FUNC2, 137u << 9 | 2},
      {"_nvars", BK_COUNTPARAM, 20},
      {"_snzcons", BK_COUNTPARAM, 0},
      {"_var", BK_SYNONYM, 0},
      {"_scvar", BK_SYNONYM, 13},
      {"_conname", BK_SYNNAME, 2},
      {"_symvar", BK_SYNNAME, 1},
      {"_VARS", BK_SYSSET, XC_VARS},
      {"_SUFFIXES", BK_SYSSET, XC_SUFFIXES},
      {"card", TK_CARD, 0},
      {"coeff", TK_COEF, 0},
      {"intersection", TK_INTER, 0},
      {"par", TK_PARAM, 0},
      {"Sample", TK_SAMPLE, 0},
      {"xor", TK_XOR, 0},
      {"environ", DK_ENV, 0},
  };
  for (auto& w : spot) {
    const kw_row* r = row(w.name);
    ASSERT_NE(r, nullptr) << w.name;
    EXPECT_STREQ(r->name, w.name);
    EXPECT_EQ(bound_kind(r), w.kind) << w.name;
    EXPECT_EQ(r->value, w.value) << w.name;
  }
  EXPECT_EQ(vref_row87->value, 87u << 9 | 6);
  EXPECT_EQ(vref_row88->value, 88u << 9 | 5);
  EXPECT_EQ(row("v."), vref_row88);
  // Statement and reserved words are not bound by their tables.
  for (const char* w : {"display", "sum", "solve"})
    EXPECT_EQ(sym(w)->binding, nullptr) << w;
}

TEST_F(Keywords, BuiltInSets) {
  struct {
    const char* name;
    int type;
    bool bounded;
  } spot[] = {{"Reals", 3, true},
              {"Integers", 7, true},
              {"ASCII", 8, false},
              {"EBCDIC", 9, false},
              {"Display", 10, false}};
  for (auto& w : spot) {
    auto* s = static_cast<set_interval*>(sym(w.name)->binding);
    ASSERT_NE(s, nullptr) << w.name;
    EXPECT_EQ(bound_kind(s), DK_BUILTINSET) << w.name;
    EXPECT_EQ(s->sclass, SC_INTERVAL);
    EXPECT_EQ(s->arity, 1);
    EXPECT_STREQ(s->name, w.name);
    EXPECT_EQ(s->type, w.type) << w.name;
    if (w.bounded) {
      ASSERT_NE(s->lower, nullptr);
      ASSERT_NE(s->upper, nullptr);
      EXPECT_EQ(opcode(s->lower), OPNUM);
      EXPECT_EQ(s->lower->L.d, -INFINITY);
      EXPECT_EQ(s->upper->L.d, INFINITY);
    } else {
      EXPECT_EQ(s->lower, nullptr);
      EXPECT_EQ(s->upper, nullptr);
    }
  }
  EXPECT_EQ(Display, sym("Display")->binding);
  // Only the bounded sets are on AvailSets, the latest first.
  ASSERT_NE(AvailSets, nullptr);
  EXPECT_EQ(AvailSets, sym("Integers")->binding);
  EXPECT_EQ(AvailSets->link, sym("Reals")->binding);
  EXPECT_EQ(AvailSets->link->link, nullptr);
}

TEST_F(Keywords, OtherStartUpState) {
  ASSERT_EQ(sysdot_names->nmem, N_SYSDOT);
  symbol* val = sym("val");
  EXPECT_EQ(set_lookup(sysdot_names, &val), N_SYSDOT - 1);
  EXPECT_EQ(All, sym("all"));
  EXPECT_EQ(TAble, sym("table"));
  EXPECT_EQ(Environ->binding, &environ_kw);
  ASSERT_NE(dotdotdot, nullptr);
  EXPECT_EQ(dotdotdot->nmem, 0);
  // Every declaration of start-up counts as the system's own.
  EXPECT_GT(N_System_Pars, 0);
  EXPECT_EQ(N_System_Pars, dac.next);
  for (int op = 0; op < N_OPCODES; op++)
    EXPECT_EQ(alg_comp[op] != 0, op == 22 || op == 23 || op == 24 || op == 28 ||
                                     op == 29 || op == 30)
        << op;
}

TEST_F(Keywords, DeclaringAKeywordRebindsIt) {
  symbol* card = sym("card");
  const void* kw = card->binding;
  xnode p{};
  xrecomp_constr(&p, card, nullptr, nullptr, DK_PARAM, 1);
  EXPECT_EQ(card->binding, &p);
  EXPECT_EQ(p.oldval, kw);
}

TEST_F(Keywords, BindingAKeywordTwiceIsABug) {
  auto r = test::run_captured([] { parse_init(); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("add_keyword: Sample already defined!"),
            std::string::npos)
      << r.err;
}

}  // namespace
}  // namespace vexo
