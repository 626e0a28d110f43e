#include "frontend/expr.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/cmdbuild.h"
#include "frontend/strexpr.h"
#include "frontend_fixture.h"
#include "session/cmdlist.h"
#include "session/execute.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo {
namespace {

int free_count() {
  int n = 0;
  for (expr* e = expr_free_list; e; e = e->next) ++n;
  return n;
}

TEST(Expr, OpWordAccessors) {
  expr* e = new_expr(opword(OPPLUS, EF_NUMERIC | EF_VARS));
  const uint32_t nv = EF_NUMERIC | EF_VARS;
  // The opcode above nine flag bits.
  EXPECT_EQ(e->opword, uint32_t{OPPLUS} << 9 | nv);
  EXPECT_EQ(opcode(e), OPPLUS);
  EXPECT_EQ(eflags(e), nv);
  set_opcode(e, OPMULT);
  EXPECT_EQ(opcode(e), OPMULT);
  EXPECT_EQ(eflags(e), nv);
  set_eflags(e, EF_RANDVAR | EF_RANDOM | 0x200);  // only nine bits count
  EXPECT_EQ(opcode(e), OPMULT);
  EXPECT_EQ(eflags(e), uint32_t{EF_RANDVAR | EF_RANDOM});
  EXPECT_TRUE(has_flag(e, EF_RANDVAR));
  EXPECT_FALSE(has_flag(e, EF_VARS));
  expr* n = new_num(2.5);
  EXPECT_EQ(n->opword, opword(OPNUM, EF_CONST | EF_NUMERIC));
  EXPECT_EQ(n->L.d, 2.5);
  EXPECT_EQ(shape(n), SH_NUMBER);
  expr* l = new_lit(nullptr);
  EXPECT_EQ(l->opword, opword(OPLIT, EF_CONST));
  EXPECT_EQ(shape(l), SH_LITERAL);
  free_expr(l);
  free_expr(n);
  free_expr(e);
}

TEST(Expr, PoolTakesFreeNodesWithStaleFields) {
  expr_reset();
  expr* fresh = static_cast<expr*>(expr::operator new(sizeof(expr)));
  EXPECT_EQ(fresh->next, nullptr);
  EXPECT_EQ(fresh->opword, 0u);
  EXPECT_EQ(fresh->op, nullptr);
  EXPECT_EQ(fresh->L.u, 0u);
  EXPECT_EQ(fresh->R.u, 0u);

  fresh->opword = opword(OPSYM2NUM, 2);
  fresh->op = svsub_oper;
  fresh->L.n = 12345;
  fresh->R.d = -1.5;
  delete fresh;
  expr* again = new_expr(0);  // taken through the same rule
  EXPECT_EQ(again, fresh);
  free_expr(again);
  expr* raw = static_cast<expr*>(expr::operator new(sizeof(expr)));
  EXPECT_EQ(raw, fresh);
  EXPECT_EQ(raw->next, nullptr);
  EXPECT_EQ(raw->op, nullptr);
  EXPECT_EQ(raw->opword, 0u);  // new_expr(0) wrote it
  raw->opword = 77;
  raw->L.n = 5;
  delete raw;
  raw = static_cast<expr*>(expr::operator new(sizeof(expr)));
  EXPECT_EQ(raw->opword, 77u);
  EXPECT_EQ(raw->L.n, 5);
  delete raw;
}

TEST(Expr, DeletingFirstNodeFreesItsChain) {
  expr* c = new_num(3);
  expr* b = new_num(2);
  expr* a = new_num(1);
  a->next = b;
  b->next = c;
  expr* old_head = expr_free_list;
  delete a;
  // Read through the free list: a itself is released.
  EXPECT_EQ(expr_free_list, a);
  EXPECT_EQ(expr_free_list->next, b);
  EXPECT_EQ(b->next, c);
  EXPECT_EQ(c->next, old_head);
  // Operands are untouched.
  EXPECT_EQ(b->L.d, 2.0);
  delete static_cast<expr*>(nullptr);
  EXPECT_EQ(expr_free_list, a);

  // A node cut out of its chain just before the release goes back alone.
  expr* x = new_num(1);
  expr* y = new_num(2);
  x->next = y;
  x->next = nullptr;
  expr* head = expr_free_list;
  delete x;
  EXPECT_EQ(expr_free_list, x);
  EXPECT_EQ(expr_free_list->next, head);
  EXPECT_EQ(y->L.d, 2.0);
  free_expr(y);
}

struct member_record {  // as the set store lays a member out
  void* hash_link;
  void* order_link;
  int32_t ordinal;
  symbol* tuple[2];
};

TEST(Expr, SvsubIsOneNodeReturningTheMembersTuple) {
  member_record m1{}, m2{};
  expr* s = make_svsub(reinterpret_cast<setmem*>(&m1));
  EXPECT_EQ(s, svsub0);
  EXPECT_EQ(s->opword, opword(OPNUM, EF_CONST | EF_NUMERIC));
  EXPECT_EQ(s->L.e, s);
  EXPECT_EQ(s->R.p, static_cast<void*>(m1.tuple));
  EXPECT_EQ(s->op(s, nullptr).p, static_cast<void*>(m1.tuple));
  EXPECT_EQ(make_svsub(reinterpret_cast<setmem*>(&m2)), s);
  EXPECT_EQ(s->op(s, nullptr).p, static_cast<void*>(m2.tuple));
  // It is no pool node: emptying the pool leaves it alone.
  EXPECT_FALSE(in_mem_arena(s));
}

// A deletion walk by shape over the node shapes the builders produce.  Sets,
// indexings and declarations are not nodes; the trees below hold none.
// Returns the number of nodes freed.
int walk_free(expr* e);

int walk_chain(expr* e) {
  int n = 0;
  while (e) {
    expr* next = e->next;
    e->next = nullptr;
    n += walk_free(e);
    e = next;
  }
  return n;
}

int walk_free(expr* e) {
  if (!e) return 0;
  int n = 1;
  // clang-format off
  switch (shape(e)) {
    case SH_LITERAL: case SH_NUMBER: case SH_ENTITY: case SH_DUMMY:
    case SH_EVAL: case SH_INTCHECK: case SH_VARVAL: case SH_ALIAS:
    case SH_XNODE: case SH_LOOPDUMMY: case SH_SYN: case SH_LOGLIT:
    case SH_SVARVAL: case SH_LINPART:
      break;  // leaves; SH_LINPART holds a linear-term list of its own pool
    case SH_UNARY: case SH_FUNC1: case SH_FROM_NUMBER: case SH_TO_NUMBER:
    case SH_SAMPLE: case SH_RECPAR:
      n += walk_free(e->L.e);
      break;
    case SH_BINARY: case SH_FUNC2: case SH_COUNTREL:
      n += walk_free(e->L.e) + walk_free(e->R.e);
      break;
    // An indexing or set in L:
    case SH_ITERATED: case SH_PLENTRY: case SH_LOOKUPSL:
    // A declaration in L:
    case SH_SUBSCRIPTED: case SH_LOOKUP: case SH_FORM252: case SH_SYNSUB:
      n += walk_free(e->R.e);
      break;
    case SH_MEMBERSHIP:  // set in R
      n += walk_free(e->R.e);
      break;
    case SH_CALL:  // function declaration in L, argument list in R
      n += walk_chain(e->R.e);
      break;
    case SH_LIST: case SH_SUMLIST:
      n += walk_chain(e->L.e);
      break;
    case SH_PL:  // 259 {slopes, breakpoints}, 260 {argument, second argument}
      n += 2 + walk_chain(e->L.e->L.e) + walk_chain(e->L.e->R.e) +
           walk_free(e->R.e->L.e) + walk_free(e->R.e->R.e);
      free_expr(e->L.e);
      free_expr(e->R.e);
      break;
    case SH_IF: case SH_IMPELSE:  // condition, branch pair 261 or 262
      n += 1 + walk_free(e->L.e) + walk_free(e->R.e->L.e) +
           walk_free(e->R.e->R.e);
      free_expr(e->R.e);
      break;
    case SH_SYMLIST:
      n += walk_chain(e->L.e) + walk_chain(e->R.e);
      break;
    case SH_PLTERM: case SH_LITLIST:  // block from the size-class allocator
      del_mblk(0, e->L.p);
      break;
    case SH_STRING:  // string reference, optional chain of operands
      zap_cstr(&e->L.cs);
      n += walk_chain(e->R.e);
      break;
    case SH_DISPLAYITEM:  // 251: optional node in R
      n += walk_free(e->R.e);
      break;
    case SH_ARG:  // OPARG without indexing: optional argument in R
      n += walk_free(e->R.e);
      break;
    case SH_ARGLIST: case SH_SETARGS:
      n += walk_free(e->L.e) + walk_chain(e->R.e);
      break;
    case SH_REWRITE:  // owned node whose R is owned
      n += 1 + walk_free(e->L.e->R.e);
      free_expr(e->L.e);
      break;
    default:
      ADD_FAILURE() << "shape " << shape(e) << " of opcode " << opcode(e);
  }
  // clang-format on
  free_expr(e);
  return n;
}

// Chains nodes through next in argument order.
expr* chain(std::vector<expr*> v) {
  for (size_t k = 0; k + 1 < v.size(); ++k) v[k]->next = v[k + 1];
  return v.empty() ? nullptr : v[0];
}

TEST(Expr, ShapesBuildAndDeleteWithoutLeak) {
  expr_reset();
  std::set<expr*> made;
  auto node = [&made](int op, uint32_t flags, operand l = nullptr,
                      operand r = nullptr) {
    expr* e = new_expr(opword(op, flags), l, r);
    made.insert(e);
    return e;
  };
  auto num = [&node](double v) { return node(OPNUM, 3, v); };

  std::vector<expr*> trees;
  // Literals, conversions, unary and binary operators.
  trees.push_back(node(OPPLUS, 2, num(1),
                       node(OPUMINUS, 2, node(OPSYM2NUM, 2, node(OPLIT, 1)))));
  trees.push_back(node(OPNUM2STR, 16, node(OPMULT, 2, num(2), num(3))));
  trees.push_back(node(OPSTR2SYM, 0, node(OPSTR, 16, new_cstring("abc"))));
  // String concatenation: chain in L, its last node in R.
  {
    expr* a = node(OPSTR, 16, new_cstring("a"));
    expr* b = node(OPSYM2STR, 16, node(OPLIT, 1));
    trees.push_back(node(OPCONCAT, 16, chain({a, b}), b));
  }
  // if with a numeric branch pair, implication with else.
  trees.push_back(node(OPIF111, 2, node(OPLOGLIT, 0, int32_t{1}),
                       node(OP261, 2, num(1), num(0))));
  trees.push_back(node(OPIMPELSE72, 0, node(OPLOGLIT, 0, int32_t{0}),
                       node(OP262, 0, node(OPLIT, 1), node(OPLIT, 1))));
  // Subscripted lookup: OPLOOKUP {declaration, OPSYMLIST {subscripts}}.
  trees.push_back(
      node(OPERRSUB, 2, nullptr,
           node(OPLOOKUP, 0, nullptr,
                node(OPSYMLIST, 0,
                     chain({node(OPLIT, 1), node(OPNUM2SYM, 0, num(4))})))));
  // List operators, piecewise-linear term, counting over an argument list.
  trees.push_back(node(MINLIST, 2, chain({num(1), num(2), num(3)})));
  trees.push_back(node(OPPL, 2,
                       node(OP259, 0, chain({num(-1), num(1)}), num(0)),
                       node(OP260, 0, num(5), nullptr)));
  trees.push_back(node(OPCOUNT, 2, nullptr,
                       chain({node(OPARG, 0, nullptr, node(OPLOGLIT, 0)),
                              node(OPARG, 0, nullptr, node(OPLOGLIT, 0))})));
  trees.push_back(
      node(OPALLDIFF, 0, nullptr,
           chain({node(OPARG, 0, nullptr, num(1)), node(OP258, 0)})));
  // Dollar form with operands, display item, compiled stored value.
  trees.push_back(node(OPDOLLAR, 16, new_cstring("x"), chain({num(1)})));
  trees.push_back(
      node(OP251, 0, nullptr, node(OPXNODE, 0, nullptr, int32_t{7})));
  trees.push_back(node(OP239, 2, node(OP240, 2, nullptr, num(9))));
  // Literal list: a block and its size class.
  trees.push_back(node(OPLITLIST, 0, new_mblk(2), int32_t{2}));

  const int before = free_count();
  int freed = 0;
  for (expr* t : trees) freed += walk_free(t);
  EXPECT_EQ(freed, static_cast<int>(made.size()));
  EXPECT_EQ(free_count(), before + static_cast<int>(made.size()));
  // Every node made is on the free list exactly once.
  std::set<expr*> on_list;
  for (expr* e = expr_free_list; e; e = e->next)
    EXPECT_TRUE(on_list.insert(e).second) << "node freed twice";
  for (expr* e : made) EXPECT_TRUE(on_list.count(e));

  // The pool recycles: rebuilding takes the same nodes again.
  std::set<expr*> again;
  for (size_t k = 0; k < made.size(); ++k) again.insert(new_num(0));
  EXPECT_EQ(again, made);
  EXPECT_EQ(free_count(), before);
  for (expr* e : again) delete e;
}

// A tuple element that names an undeclared symbol (opcode 279, no flags)
// is replaced by not_declared's result, its node given back.
TEST(Expr, TupleListReplacesUndeclaredNames) {
  test::start_session();
  auto tuple = [] {  // the parser's chain: c, x (undeclared), a
    expr* a = new_lit(Symbol("a", 1));
    expr* x = new_expr(opword(OP279), Symbol("x", 1));
    expr* c = new_lit(Symbol("c", 1));
    c->next = x;
    x->next = a;
    return c;
  };

  single_step = 1;  // not_declared returns the constant 0
  expr* c = tuple();
  expr* x = c->next;
  expr* a = x->next;
  list* t = nullptr;
  auto r = test::run_captured([&] { t = tulist(nullptr, c); });
  EXPECT_FALSE(r.aborted);
  EXPECT_NE(r.err.find("x is not defined"), std::string::npos) << r.err;
  ASSERT_NE(t, nullptr);
  expr* e = t->item.e;
  EXPECT_EQ(e, a);
  ASSERT_NE(e->next, nullptr);
  EXPECT_EQ(e->next->opword, opword(OPNUM, 3));
  EXPECT_EQ(e->next->L.d, 0.0);
  EXPECT_EQ(e->next, x);  // the placeholder's node, taken again
  EXPECT_EQ(e->next->next, c);
  EXPECT_EQ(c->next, nullptr);
  free_expr(e);
  free_list(t);

  single_step = 0;  // the command is abandoned
  stepping = 1;     // (and the session goes on)
  r = test::run_captured([&] { tulist(nullptr, tuple()); });
  stepping = 0;
  EXPECT_TRUE(r.aborted);
  EXPECT_NE(r.err.find("x is not defined"), std::string::npos) << r.err;
}

// A tree is refused where it is built one level past MAX_NESTING, so that
// every recursive walk stays bounded.  The depth counts the levels the
// walks descend, set records included; the trace of a command describes
// at most a hundred of them.
TEST(Expr, NestingLimit) {
  stack_setup();  // the walks at the limit need more than 8 MiB
  expr* e = new_num(1);
  EXPECT_EQ(e->depth, 1u);
  while (e->depth < MAX_NESTING) e = new_expr(opword(OP_sin, EF_NUMERIC), e);
  stepping = 1;  // the statement is abandoned, the session goes on
  auto r = test::run_captured([&] { new_expr(opword(OP_sin, EF_NUMERIC), e); });
  EXPECT_TRUE(r.aborted);
  EXPECT_NE(r.err.find("expression nested too deeply"), std::string::npos)
      << r.err;

  char buf[2048];
  describe_expr(buf, sizeof buf, e);
  EXPECT_NE(std::string(buf).find("op41(op41(...)))"), std::string::npos);

  // Through a set: a range over the tree, and card over the range.
  expr* top = e->L.e;
  e->L.e = nullptr;
  edelete(e);
  set* s = set_range(top, new_num(2), nullptr);
  EXPECT_EQ(s->depth, MAX_NESTING);
  r = test::run_captured([&] { new_expr(opword(OPCARD, EF_NUMERIC), s); });
  stepping = 0;
  EXPECT_TRUE(r.aborted);
  sdelete(s);
}

// The roles visit_operands hands out, in order, as one line: inner nodes
// in brackets.
struct role_log {
  std::string s;
  void put(const char* r) {
    if (!s.empty() && s.back() != '[') s += ' ';
    s += r;
  }
  void operand(expr*&) { put("op"); }
  void chain(expr*&) { put("chain"); }
  void args(expr*&, bool sets) { put(sets ? "sets" : "args"); }
  void operand_set(set*&) { put("set"); }
  void text(cstr*&) { put("text"); }
  void plain(expr*&) { put("plain"); }
  void func(xnode*) { put("func"); }
  void ref(varref*&) { put("ref"); }
  void block(expr*) { put("block"); }
  template <class V>
  void inner(expr*& h, V visit) {
    put("[");
    visit(h, *this);
    s += ']';
  }
};

// The operand layout of each shape family, as every tree walker sees it.
// Sets, strings and records are never looked into, so stand-in addresses
// serve.
TEST(Expr, OperandsByShape) {
  static char cell[64];
  set* S = reinterpret_cast<set*>(cell);
  cstr* T = reinterpret_cast<cstr*>(cell);
  auto node = [](int op, operand l = nullptr, operand r = nullptr) {
    expr* e = new_expr(opword(op));  // operands set after the depth
    e->L = l;
    e->R = r;
    return e;
  };
  expr* x = node(OPNUM);
  struct layout {
    expr* e;
    const char* roles;  // null: no layout
  };
  const layout rows[] = {
      {node(OPPLUS, x, x), "op op"},
      {node(OPUMINUS, x), "op"},
      {node(OP_atan2, x, x), "op op"},
      {node(SUM, S, x), "set op"},
      {node(OPPARSUB, S, x), "op"},
      {node(MINLIST, x), "chain"},
      {node(OPSUMLIST, x), "chain"},
      {node(OPPL, node(OP259, x, x), node(OP260, x, x)),
       "[chain chain] [op op]"},
      {node(OPPL), ""},
      {node(OPIF35, x, node(OP261, x, x)), "op [op op]"},
      {node(OPIMPELSE72, x, node(OP262, x, x)), "op [op op]"},
      {node(OPISIN, x, S), "op set"},
      {node(OP239, node(OP272, x, x)), "[op]"},
      {node(OPWITHIN, S, S), "set set"},
      {node(OPFUNC, x, x), "func args"},
      {node(OPCARD, S, T), "set text"},
      {node(OPORD, x, node(OP280, T, S)), "op [text set]"},
      {node(OPNEXT120, node(OP247, x, x), node(OP280, T, S)),
       "[op op] [text set]"},
      {node(OPDOT, x), "plain"},
      {node(OPSUFSUB, x, x), "plain op"},
      {node(OPLOOKUPsl175, S, x), "set op"},
      {node(OPLOOKUPsl176, S, x), "op"},
      {node(OPRELOPCH, x), ""},
      {node(OPRELOPCH, x, x), "op"},
      {node(OPSTR, T, x), "text chain"},
      {node(OPARG, nullptr, x), "op"},
      {node(OPARG, S, x), "set args"},
      {node(OP285, nullptr, S), "set"},
      {node(OP285, S, x), "set chain"},
      {node(OPCOUNT, x, x), "op args"},
      {node(OPALLDISJOINT, nullptr, x), "sets"},
      {node(OPLINPART, x), "ref"},
      {node(OPLITLIST, x), "block"},
      // Leaves, and operands a node does not own: no roles.
      {node(OPPAR, x), ""},
      {node(OPEVAL, x), ""},
      {node(OP_ISINTEGER, x), ""},
      {node(OPPLTERM, x), ""},
      // Forms only their makers walk.
      {node(OP233, x, x), nullptr},
      {node(OPVARAC, x, x), nullptr},
      {node(OP259, x, x), nullptr},
      {node(OP249, x, x), nullptr},
  };
  for (const layout& r : rows) {
    role_log w;
    bool laid_out = visit_operands(r.e, w);
    EXPECT_EQ(laid_out, r.roles != nullptr) << opcode(r.e);
    EXPECT_EQ(w.s, r.roles ? r.roles : "") << opcode(r.e);
  }
}

// The cells are the node's own, so a walk may replace operands; a walker
// without inner sees an inner node's operands as the node's.
TEST(Expr, OperandWalkersReplaceCellsAndSeeInnerOperands) {
  expr* t = new_num(1);
  expr* f = new_num(2);
  expr* c = new_num(3);
  expr* e = new_expr(opword(OPIF35), c, new_expr(opword(OP261), t, f));
  struct doubler : walker_defaults {
    int seen = 0;
    void operand(expr*& x) {
      ++seen;
      x = new_num(2 * x->L.d);
    }
    void chain(expr*&) {}
    void args(expr*&, bool) {}
  } w;
  EXPECT_TRUE(visit_operands(e, w));
  EXPECT_EQ(w.seen, 3);
  EXPECT_EQ(e->L.e->L.d, 6);
  EXPECT_EQ(e->R.e->L.e->L.d, 2);
  EXPECT_EQ(e->R.e->R.e->L.d, 4);
  edelete(e);
  for (expr* n : {t, f, c}) free_node(n);
}

}  // namespace
}  // namespace vexo
