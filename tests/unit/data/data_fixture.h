// Set-up of the data reader tests: model text with data sections read
// through the real lexer, parser and data reader from one input file, and
// the stored data read back directly from the declarations.
#ifndef VEXO_UNIT_DATA_DATA_FIXTURE_H
#define VEXO_UNIT_DATA_DATA_FIXTURE_H

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "data/datatok.h"
#include "data/readdata.h"
#include "data/values.h"
#include "eval/set.h"
#include "frontend/cmdbuild.h"
#include "frontend/decl.h"
#include "frontend/frontend_fixture.h"
#include "frontend/paramdcl.h"
#include "session/execute.h"
#include "support/strtod.h"
#include "support/symbol.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo::test {

class DataTest : public ParserTest {
 protected:
  // Commands are listed, not run (session/cmdlist.h).
  void SetUp() override {
    begin("/tmp/vexo_data_XXXXXX");  // readdata_reset among the start-up
    listing_ = open_memstream(&listed_, &listed_size_);
    exec_listing = listing_;
  }
  void TearDown() override {
    ParserTest::TearDown();
    if (listing_) fclose(listing_);
    listing_ = nullptr;
    free(listed_);
    listed_ = nullptr;
  }

  // Reads text (model, data sections and commands) as the one input file;
  // returns what was written to standard error.
  std::string run(const std::string& text) {
    outcome r;
    parse_input(text, &r);
    rc_ = rc;
    return r.err;
  }
  // Reads text that must give no message.
  void quiet(const std::string& text) { ASSERT_EQ(run(text), "") << text; }

  template <class T = xnode2>
  static T* decl(const char* name) {
    symbol* s = Symbol0(name);
    EXPECT_NE(s, nullptr) << name;
    return s ? static_cast<T*>(s->binding) : nullptr;
  }

  // The symbol of a member text as data give it: a number or a name.
  static symbol* sym(const char* text) {
    std::string t = text;
    return valid_param(t.data(), 0) ? Number(Strtod(t.c_str(), nullptr))
                                    : Symbol(text, 1);
  }
  static std::vector<symbol*> tuple(std::initializer_list<const char*> sub) {
    std::vector<symbol*> t;
    for (const char* s : sub) t.push_back(sym(s));
    return t;
  }

  // The member ordinal of a subscript in d's data, -1 when absent; 0 for a
  // scalar d with a value.
  static int64_t member(xnode2* d, std::initializer_list<const char*> sub) {
    if (!sub.size()) return d->nvals ? 0 : -1;
    if (!d->dindex) return -1;
    auto t = tuple(sub);
    return set_lookup(d->dindex, t.data());
  }
  static bool has(const char* p, std::initializer_list<const char*> sub = {}) {
    return member(decl(p), sub) >= 0;
  }
  // The value of a numeric member (NaN when it has none).
  static double num(const char* p,
                    std::initializer_list<const char*> sub = {}) {
    xnode2* d = decl(p);
    int64_t i = member(d, sub);
    return i < 0 ? NAN : static_cast<double*>(d->vals)[i];
  }
  // The value of a symbolic param's member as text ("<none>" without one):
  // a string as it is, a number as "#" and its text.
  static std::string text(const char* p,
                          std::initializer_list<const char*> sub = {}) {
    xnode2* d = decl(p);
    int64_t i = member(d, sub);
    if (i < 0) return "<none>";
    symval* v = static_cast<symval*>(d->vals) + i;
    if (v->str) return v->str->text();
    return std::string("#") + v->sym->name;
  }
  // The members of a set in order, each tuple's texts joined by ",".
  static std::string members(const set* s) {
    std::string r;
    if (!s) return "<none>";
    for (const setmem* m = s->first; m; m = m->next) {
      if (m->ord < 0) continue;
      if (!r.empty()) r += " ";
      for (int i = 0; i < s->arity; ++i) {
        if (i) r += ",";
        r += m->tup()[i]->name;
      }
    }
    return r;
  }
  static std::string members(const char* set_name) {
    return members(decl<setdcl>(set_name)->value);
  }

  // Command records listed whose line starts with prefix.
  int count_line(const std::string& prefix) {
    fflush(listing_);
    std::string all(listed_, listed_size_);
    int n = 0;
    for (size_t p = 0; p < all.size();) {
      size_t e = all.find('\n', p);
      if (e == std::string::npos) e = all.size();
      n += all.compare(p, prefix.size(), prefix) == 0;
      p = e + 1;
    }
    return n;
  }

  FILE* listing_ = nullptr;
  char* listed_ = nullptr;
  size_t listed_size_ = 0;
  int rc_ = 0;
};

// Occurrences of what in s.
inline int count(const std::string& s, const std::string& what) {
  int n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1))
    ++n;
  return n;
}

}  // namespace vexo::test

#endif  // VEXO_UNIT_DATA_DATA_FIXTURE_H
