#include "support/list.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "test_util.h"

namespace vexo {
namespace {

// Cells on the free list from its head.
std::vector<list*> free_cells() {
  std::vector<list*> v;
  for (list* c = list_free_list; c; c = c->next) v.push_back(c);
  return v;
}

TEST(List, DeletingFirstCellFreesChainFirstOnTop) {
  list* c = new_list(nullptr, nullptr);
  list* b = new_list(c, nullptr);
  list* a = new_list_int(b, 77);
  list* old_head = list_free_list;
  delete a;
  std::vector<list*> f = free_cells();
  ASSERT_GE(f.size(), 3u);
  EXPECT_EQ(f[0], a);
  EXPECT_EQ(f[1], b);
  EXPECT_EQ(f[2], c);
  EXPECT_EQ(c->next, old_head);
  // The last freed cell comes back first, its item as it was.
  list* x = static_cast<list*>(list::operator new(sizeof(list)));
  EXPECT_EQ(x, a);
  EXPECT_EQ(x->item.i, 77);
  EXPECT_EQ(list_free_list, b);
  // A cell cut out of its chain just before the release goes back alone.
  x->next = new_list(nullptr, nullptr);  // takes b
  list* head = list_free_list;
  free_list(x->next);
  x->next = nullptr;
  delete x;
  EXPECT_EQ(list_free_list, x);
  EXPECT_EQ(x->next, b);
  EXPECT_EQ(b->next, head);
}

TEST(List, FreshCellIsZeroed) {
  list_free_list = nullptr;
  list* x = static_cast<list*>(list::operator new(sizeof(list)));
  EXPECT_EQ(x->next, nullptr);
  EXPECT_EQ(x->item.p, nullptr);
  delete x;
}

TEST(List, ReverseAndLength) {
  EXPECT_EQ(reverse(static_cast<list*>(nullptr)), nullptr);
  EXPECT_EQ(listlen(nullptr), 0);
  list* a = new_list_int(nullptr, 1);
  a = new_list_int(a, 2);
  a = new_list_int(a, 3);  // 3, 2, 1
  EXPECT_EQ(listlen(a), 3);
  a = reverse(a);
  EXPECT_EQ(a->item.i, 1);
  EXPECT_EQ(a->next->item.i, 2);
  EXPECT_EQ(a->next->next->item.i, 3);
  EXPECT_EQ(a->next->next->next, nullptr);
  delete a;
}

// Stand-ins for expression nodes: chained through the first word.
struct fake_node {
  fake_node* next;
  int tag;
};
fake_node replacement{nullptr, 0};
std::vector<fake_node*> filtered;

// Replaces the node tagged 279 (the undeclared-name placeholder).
expr* fake_filter(expr* e) {
  fake_node* n = reinterpret_cast<fake_node*>(e);
  EXPECT_EQ(n->next, nullptr);  // cut out before the filter sees it
  filtered.push_back(n);
  if (n->tag == 279) return reinterpret_cast<expr*>(&replacement);
  return e;
}

TEST(List, TulistPutsElementsInSourceOrder) {
  fake_node a{nullptr, 'a'}, b{&a, 'b'}, c{&b, 'c'};  // parser's order
  list* rest = new_list(nullptr, nullptr);
  list* t = tulist(rest, reinterpret_cast<expr*>(&c));
  EXPECT_EQ(t->next, rest);
  fake_node* x = static_cast<fake_node*>(t->item.p);
  std::string order;
  for (; x; x = x->next) order += static_cast<char>(x->tag);
  EXPECT_EQ(order, "abc");
  delete t;
}

TEST(List, TulistReplacesPlaceholders) {
  expr* (*saved)(expr*) = tulist_elem;
  tulist_elem = fake_filter;
  filtered.clear();
  replacement.tag = 'r';
  fake_node a{nullptr, 'a'}, p{&a, 279}, c{&p, 'c'};
  list* t = tulist(nullptr, reinterpret_cast<expr*>(&c));
  tulist_elem = saved;
  EXPECT_EQ(filtered.size(), 3u);
  std::string order;
  for (fake_node* x = static_cast<fake_node*>(t->item.p); x; x = x->next)
    order += static_cast<char>(x->tag);
  EXPECT_EQ(order, "arc");
  delete t;
}

// Names and their bindings, and dummies that shadow them: the stand-in of
// the front end's dummy records.
std::map<std::string, int> binding;
struct fake_dummy {
  fake_dummy* next;  // older dummy of the same scope
  std::string name;
  int previous;
};
std::vector<std::vector<std::string>> freed_scopes;

void free_fake_dummies(dummy* last) {
  std::vector<std::string> names;
  for (fake_dummy* d = reinterpret_cast<fake_dummy*>(last); d;) {
    binding[d->name] = d->previous;
    names.push_back(d->name);
    fake_dummy* older = d->next;
    delete d;
    d = older;
  }
  freed_scopes.push_back(names);
}

// A dummy of the current scope that shadows name with value.
void add_dummy(const std::string& name, int value) {
  fake_dummy* d = new fake_dummy{reinterpret_cast<fake_dummy*>(last_dummy),
                                 name, binding[name]};
  binding[name] = value;
  last_dummy = reinterpret_cast<dummy*>(d);
  ++ssoffset;
}

class Contexts : public ::testing::Test {
 protected:
  void SetUp() override {
    list_reinit();
    free_dummies_hook = free_fake_dummies;
    binding.clear();
    freed_scopes.clear();
  }
  void TearDown() override {
    context_end(sslevel);
    free_dummies_hook = saved_dummies;
    ss_count_hook = saved_count;
    decl_indexing_hook = saved_indexing;
    finish_setdcl_hook = saved_setdcl;
  }
  void (*saved_dummies)(dummy*) = free_dummies_hook;
  int (*saved_count)(set_spec*) = ss_count_hook;
  set_spec* (*saved_indexing)(xnode*) = decl_indexing_hook;
  void (*saved_setdcl)() = finish_setdcl_hook;
};

TEST_F(Contexts, ThirtyOneLevelsThenOverflowIsABug) {
  for (int k = 1; k <= 31; ++k) {
    new_context();
    EXPECT_EQ(sslevel, k);
  }
  EXPECT_EQ(listlen(sycontext), 62);
  auto r = test::run_captured([] { new_context(); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Bug: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("context stack overflow"), std::string::npos);
  // The overflowing level was pushed; closing all of them empties the
  // stack.
  EXPECT_EQ(sslevel, 32);
  context_end(32);
  EXPECT_EQ(sycontext, nullptr);
  EXPECT_EQ(sslevel, 0);
}

TEST_F(Contexts, ClosingRestoresStateAndShadowedNames) {
  binding["i"] = 100;  // say, a declared parameter
  binding["j"] = 200;
  add_dummy("k", 1);  // a scope open at level 0 (e.g. a loop)
  dummy* outer_last = last_dummy;
  int outer_offset = ssoffset;
  list_free_list = nullptr;

  new_context();
  Dummy_refs[1] = 9;
  add_dummy("i", 11);
  add_dummy("j", 12);
  new_context();
  EXPECT_EQ(Dummy_refs[2], 0);
  EXPECT_EQ(ssoffset, 0);
  EXPECT_EQ(last_dummy, nullptr);
  add_dummy("i", 21);  // shadows the outer dummy i
  EXPECT_EQ(binding["i"], 21);

  context_end(1);
  EXPECT_EQ(binding["i"], 11);
  EXPECT_EQ(sslevel, 1);
  EXPECT_EQ(ssoffset, 2);
  context_end(1);
  EXPECT_EQ(binding["i"], 100);
  EXPECT_EQ(binding["j"], 200);
  EXPECT_EQ(binding["k"], 1);
  EXPECT_EQ(sslevel, 0);
  EXPECT_EQ(ssoffset, outer_offset);
  EXPECT_EQ(last_dummy, outer_last);
  EXPECT_EQ(sycontext, nullptr);
  EXPECT_EQ(free_cells().size(), 4u);
  ASSERT_EQ(freed_scopes.size(), 2u);
  EXPECT_EQ(freed_scopes[0], std::vector<std::string>{"i"});
  EXPECT_EQ(freed_scopes[1], (std::vector<std::string>{"j", "i"}));

  context_end(0);
  context_end(-3);
  EXPECT_EQ(sslevel, 0);
  free_fake_dummies(last_dummy);
  last_dummy = nullptr;
}

// end_context reads counts through the hooks: a fake indexing is its count.
int fake_count(set_spec* ss) {
  return static_cast<int>(reinterpret_cast<intptr_t>(ss));
}
set_spec* fake_indexing_of(xnode* decl) {
  return reinterpret_cast<set_spec*>(decl);  // decl's "indexing" = itself
}
set_spec* no_indexing(xnode*) { return nullptr; }

TEST_F(Contexts, EndContextCounts) {
  ss_count_hook = fake_count;
  for (int k = 0; k < 5; ++k) new_context();
  end_context(reinterpret_cast<set_spec*>(2), nullptr);  // an indexing
  EXPECT_EQ(sslevel, 3);
  end_context(nullptr, nullptr);
  EXPECT_EQ(sslevel, 3);

  // A declaration closes its indexing's contexts, then every other one.
  decl_indexing_hook = fake_indexing_of;
  end_context(nullptr, reinterpret_cast<xnode*>(1));
  EXPECT_EQ(sslevel, 0);
  EXPECT_EQ(sycontext, nullptr);

  // A declaration without indexing closes every open context.
  decl_indexing_hook = no_indexing;
  for (int k = 0; k < 3; ++k) new_context();
  add_dummy("x", 5);
  end_context(nullptr, reinterpret_cast<xnode*>(8));
  EXPECT_EQ(sslevel, 0);
  EXPECT_EQ(binding["x"], 0);
}

int setdcl_finished;
void fake_finish_setdcl() {
  ++setdcl_finished;
  context_end(1);  // a set declaration closes its own context
}

TEST_F(Contexts, EndAllContexts) {
  finish_setdcl_hook = fake_finish_setdcl;
  setdcl_finished = 0;
  for (int k = 0; k < 4; ++k) {
    new_context();
    add_dummy("d" + std::to_string(k), k + 1);
  }
  bracecnt = 3;
  end_all_contexts();
  EXPECT_EQ(setdcl_finished, 1);
  EXPECT_EQ(sslevel, 0);
  EXPECT_EQ(sycontext, nullptr);
  EXPECT_EQ(bracecnt, 0);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(binding["d" + std::to_string(k)], 0);

  // Nothing open: only the brace depth changes.
  finish_setdcl_hook = saved_setdcl;
  bracecnt = 2;
  end_all_contexts();
  EXPECT_EQ(sslevel, 0);
  EXPECT_EQ(bracecnt, 0);
}

}  // namespace
}  // namespace vexo
