// The regular-expression engine (what matches where, the groups, the
// limits of the text, the refused patterns, the matcher's thread limit)
// and the built-ins match, sub and gsub through their nodes.
#include "eval/regexp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "eval/eval_fixture.h"

namespace vexo {
namespace {

std::string utf8(Rune r) {
  char b[4];
  return std::string(b, size_t(runetochar(b, &r)));
}

class Regexp : public test::EvalTest {
 protected:
  // The program of pattern; a test failure when it is refused.
  Reprog* compiled(const std::string& pattern) {
    Reprog* p = regcomp1(pattern.c_str(), tva);
    EXPECT_NE(p, nullptr) << pattern;
    return p;
  }
  // The match of pattern in text as "start,end" in bytes, "none" or
  // "overflow"; from and end (offsets, -1 none) limit the text.
  std::string where(const std::string& pattern, const std::string& text,
                    long from = -1, long end = -1) {
    Reprog* p = compiled(pattern);
    if (!p) return "refused";
    Resub m[NSUBMATCH] = {};
    const char* t = text.c_str();
    if (from >= 0) m[0].sp = t + from;
    if (end >= 0) m[0].ep = t + end;
    int r = regexec(p, t, m);
    if (r < 0) return "overflow";
    if (!r) return "none";
    return std::to_string(m[0].sp - t) + "," + std::to_string(m[0].ep - t);
  }
  // The texts of groups 1..9 after matching ("-" for a group that took no
  // part), joined by "|".
  std::string groups(const std::string& pattern, const std::string& text) {
    Resub m[NSUBMATCH] = {};
    EXPECT_EQ(regexec(compiled(pattern), text.c_str(), m), 1) << pattern;
    std::string r;
    for (int k = 1; k < NSUBMATCH; ++k) {
      if (k > 1) r += "|";
      r += m[k].sp ? std::string(m[k].sp, m[k].ep) : "-";
    }
    return r;
  }
  // What compiling pattern reports (empty when it compiles).
  std::string refusal(const std::string& pattern) {
    Reprog* p = nullptr;
    auto r = test::run_captured([&] { p = regcomp1(pattern.c_str(), tva); });
    EXPECT_FALSE(r.aborted);
    if (p) return "";
    size_t at = r.err.find("bad regular expression: ");
    return at == std::string::npos ? r.err : r.err.substr(at);
  }
};

TEST_F(Regexp, WhatMatchesWhere) {
  struct row {
    const char* pattern;
    const char* text;
    const char* want;
  };
  for (const row& c : std::initializer_list<row>{
           {"b", "abc", "1,2"},
           {"z", "abc", "none"},
           // Leftmost, then longest among the matches starting there.
           {"(a|ab)", "abx", "0,2"},
           {"b|abc|ab", "xabcd", "1,4"},
           {"a*", "baaa", "0,0"},
           {"a+", "baaa", "1,4"},
           {"(a|aa)*b", "aaaab", "0,5"},
           {"colou?r", "my colour", "3,9"},
           {"", "abc", "0,0"},
           // Line ends: the text's own, and next to a newline.
           {"^b", "a\nb", "2,3"},
           {"^b", "ab", "none"},
           {"a$", "ba\nc", "1,2"},
           {"a$", "ab", "none"},
           {"^$", "a\n\nb", "2,2"},
           // Newlines: only @ and a class naming it match one.
           {".", "\n", "none"},
           {"[^a]", "\n", "none"},
           {"@", "\n", "0,1"},
           {"[\\n]", "a\n", "1,2"},
           // Quoting.
           {"\\.", "a.b", "1,2"},
           {"a\\nb", "xa\nb", "1,4"},
           {"\\*\\(", "a*(", "1,3"},
           {"a\\", "ba", "1,2"},
           // Classes: ranges, merged ranges, quoted members, the empty one.
           {"[a-c]+", "xxbcaz", "2,5"},
           {"[^a-c]", "abcd", "3,4"},
           {"[k-mb-dc-f]+", "xfbedclz", "1,7"},
           {"[\\]\\-]+", "a-]b", "1,3"},
           {"[]", "abc", "none"},
           {"[]|b", "abc", "1,2"},
           // Multi-byte characters are one character each.
           {"\xc3\xbc", "x\xc3\xbcy", "1,3"},
           {"x.y", "x\xc3\xbcy", "0,4"},
           {"[\xc3\xa0-\xc3\xbf]", "ab\xc3\xa9", "2,4"},
           {"[^\xc3\xa9]", "\xc3\xa9z", "2,3"},
           {"(a|\xc3\xa9)b",
            "xa\xc3\xa9"
            "b",
            "2,5"},
       })
    EXPECT_EQ(where(c.pattern, c.text), c.want)
        << "/" << c.pattern << "/ on \"" << c.text << "\"";
}

// A reference for random patterns over the characters a, b and newline:
// the pattern as a tree, and the set of places where each subtree can end
// when it starts at place i (bit j: it ends at j), found by plain
// recursion.
struct ref_node {
  char kind;  // a b . @ ^ $ c (the class [ab]) n ([^a]) & | * + ? (
  int x = -1, y = -1;
};

struct ref_pattern {
  std::vector<ref_node> nodes;
  std::string text;

  int make(std::mt19937& g, int depth) {
    static const char leaves[] = "ab.@^$cn";
    static const char inner[] = "&&|*+?(";
    ref_node n;
    if (depth == 0 || g() % 3 == 0) {
      n.kind = leaves[g() % 8];
    } else {
      n.kind = inner[g() % 7];
      n.x = make(g, depth - 1);
      if (n.kind == '&' || n.kind == '|') n.y = make(g, depth - 1);
    }
    nodes.push_back(n);
    return int(nodes.size()) - 1;
  }
  // The pattern text of node k; an operand of a postfix operator that is
  // not one item is put in parentheses (a group).
  std::string render(int k) const {
    const ref_node& n = nodes[size_t(k)];
    switch (n.kind) {
      case 'c':
        return "[ab]";
      case 'n':
        return "[^a]";
      case '&':
        return render(n.x) + render(n.y);
      case '|':
        return "(" + render(n.x) + "|" + render(n.y) + ")";
      case '(':
        return "(" + render(n.x) + ")";
      case '*':
      case '+':
      case '?': {
        char sub = nodes[size_t(n.x)].kind;
        bool item = !std::strchr("&|*+?", sub);
        std::string x = render(n.x);
        return (item ? x : "(" + x + ")") + n.kind;
      }
      default:
        return std::string(1, n.kind);
    }
  }
  uint32_t ends(int k, int i, const std::string& t) const {
    const ref_node& n = nodes[size_t(k)];
    int len = int(t.size());
    char c = i < len ? t[size_t(i)] : 0;
    auto one = [&](bool takes) { return takes ? 1u << (i + 1) : 0u; };
    switch (n.kind) {
      case 'a':
      case 'b':
        return one(c == n.kind);
      case '.':
        return one(c && c != '\n');
      case '@':
        return one(c != 0);
      case 'c':
        return one(c == 'a' || c == 'b');
      case 'n':
        return one(c && c != 'a' && c != '\n');
      case '^':
        return i == 0 || t[size_t(i - 1)] == '\n' ? 1u << i : 0u;
      case '$':
        return i == len || c == '\n' ? 1u << i : 0u;
      case '&':
      case '*':
      case '+': {
        // From each end of the first part, the ends of the second; a loop
        // goes on while it reaches new places.
        uint32_t r = n.kind == '*' ? 1u << i : 0u;
        uint32_t from = n.kind == '&' ? ends(n.x, i, t) : 1u << i;
        if (n.kind == '&') {
          for (int j = 0; j <= len; ++j)
            if (from >> j & 1) r |= ends(n.y, j, t);
          return r;
        }
        uint32_t seen = 0;
        while (from & ~seen) {
          uint32_t next = 0;
          for (int j = 0; j <= len; ++j)
            if ((from & ~seen) >> j & 1) next |= ends(n.x, j, t);
          seen |= from;
          r |= next;
          from = next;
        }
        return r;
      }
      case '|':
        return ends(n.x, i, t) | ends(n.y, i, t);
      case '?':
        return 1u << i | ends(n.x, i, t);
      default:  // a group
        return ends(n.x, i, t);
    }
  }
  // The leftmost-longest match as where() writes it.
  std::string match(const std::string& t) const {
    int root = int(nodes.size()) - 1;
    for (int i = 0; i <= int(t.size()); ++i)
      if (uint32_t e = ends(root, i, t))
        return std::to_string(i) + "," + std::to_string(31 - __builtin_clz(e));
    return "none";
  }
};

TEST_F(Regexp, AgreesWithAReferenceOnRandomPatterns) {
  std::mt19937 g(52);
  for (int round = 0; round < 1500; ++round) {
    ref_pattern p;
    p.make(g, 4);
    std::string pattern = p.render(int(p.nodes.size()) - 1);
    for (int k = 0; k < 8; ++k) {
      std::string t;
      for (size_t n = g() % 9; n; --n) t += "ab\n"[g() % 3];
      ASSERT_EQ(where(pattern, t), p.match(t))
          << "/" << pattern << "/ on \"" << t << "\"";
    }
  }
}

TEST_F(Regexp, GroupsAndLimitsOfTheText) {
  EXPECT_EQ(groups("(a)(b)?(c)", "ac"), "a|-|c|-|-|-|-|-|-");
  EXPECT_EQ(groups("x(a|(b))*y", "xaby"), "b|b|-|-|-|-|-|-|-");
  // Nine groups are reported; a tenth takes part but is not among them.
  EXPECT_EQ(groups("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", "abcdefghij"),
            "a|b|c|d|e|f|g|h|i");
  // A start: matching begins there, but ^ still sees the text before it.
  EXPECT_EQ(where("a", "aba", 1), "2,3");
  EXPECT_EQ(where("^a", "aaa", 1), "none");
  EXPECT_EQ(where("^a", "a\na", 1), "2,3");
  // An end: the text stops there, and $ matches at it.
  EXPECT_EQ(where("b+", "abbb", -1, 3), "1,3");
  EXPECT_EQ(where("a$", "aab", -1, 2), "1,2");
  EXPECT_EQ(where("c", "abc", -1, 2), "none");
  // 16-bit characters: the same matches, counted in characters.
  std::vector<Rune> text = {'x', 0xe9, 'y', '\n', 0x20ac, 0};
  Rresub m[NSUBMATCH] = {};
  ASSERT_EQ(rregexec(compiled("^\xe2\x82\xac"), text.data(), m), 1);
  EXPECT_EQ(m[0].sp - text.data(), 4);
  m[0] = {};
  ASSERT_EQ(rregexec(compiled("(.)y"), text.data(), m), 1);
  EXPECT_EQ(m[1].sp - text.data(), 1);
  EXPECT_EQ(m[0].ep - text.data(), 3);
}

TEST_F(Regexp, RefusedPatterns) {
  struct row {
    std::string pattern;
    const char* want;
  };
  std::string groups31, groups32;
  for (int k = 0; k < 31; ++k) groups31 += "(a)";
  groups32 = groups31 + "(a)";
  std::string classes16, classes17;
  for (int k = 0; k < 16; ++k) classes16 += "[ab]";
  classes17 = classes16 + "[c]";
  // A class holds 34 characters or ranges (a negated one's newline
  // counted); a longer one is refused whole.  Its items here are 34
  // characters apart from each other, none next to another.
  std::string items;
  for (int k = 0; k < 34; ++k) items += utf8(Rune(0x100 + 2 * k));
  std::string fits = "[" + items + "]";
  std::string too_long = "[" + items + "a]";
  std::string negated_too_long = "[^" + items + "]";
  std::string nested(20, '(');
  nested += "a" + std::string(20, ')');
  for (const row& c : std::initializer_list<row>{
           {"a|", "missing operand for |"},
           {"|a", "missing operand for |"},
           {"*a", "missing operand for *"},
           {"(+a)", "missing operand for +"},
           {"()", "missing operand for ("},
           {"(a", "unmatched left paren"},
           {"a)", "unmatched right paren"},
           {"(a))(", "unmatched right paren"},
           {"[a", "malformed '[]'"},
           {"[a\\", "malformed '[]'"},
           {"[-a]", "malformed '[]'"},
           {"[^-a]", "malformed '[]'"},
           {"[a-]", "malformed '[]'"},
           {"[a-", "malformed '[]'"},
           {too_long, "malformed '[]'"},
           {negated_too_long, "malformed '[]'"},
           {fits, nullptr},
           {groups31, nullptr},
           {groups32, "too many subexpressions"},
           {classes16, nullptr},
           {classes17, "too many character classes; limit 16"},
           {nested, "Operator stack overflow"},
       }) {
    std::string want =
        c.want ? std::string("bad regular expression: ") + c.want + "\n" : "";
    EXPECT_EQ(refusal(c.pattern), want) << c.pattern;
  }
  // Every item of a full class is kept.
  EXPECT_EQ(where(fits, "z" + utf8(0x100 + 2 * 33)), "1,3");
  EXPECT_EQ(where(fits, "z" + utf8(0x100 + 2 * 33 + 1)), "none");
}

TEST_F(Regexp, TooManyThreadsAtOnce) {
  // Each alternative is a thread of its own at every position: 50 of
  // them, with the 50 threads one character further, fill the 100 places
  // (after a first pass with 10 overflowed); 51 do not fit.
  std::string alts;
  for (int k = 0; k < 50; ++k) alts += k ? "|xa" : "xa";
  EXPECT_EQ(where(alts, "zzxa"), "2,4");
  EXPECT_EQ(where(alts + "|xa", "zzxa"), "overflow");
}

TEST_F(Regexp, FindsCharacters) {
  const char* s = "a\xc3\xa9z\xe2\x82\xac";
  EXPECT_EQ(utfrune(s, 'z'), s + 3);
  EXPECT_EQ(utfrune(s, 0xe9), s + 1);
  EXPECT_EQ(utfrune(s, 0x20ac), s + 4);
  EXPECT_EQ(utfrune(s, 'q'), nullptr);
  EXPECT_EQ(utfrune(s, 0x20ad), nullptr);
  EXPECT_EQ(utfrune(s, 0), nullptr);
}

// ---- The built-ins ----------------------------------------------------------

class PatternBuiltins : public test::EvalTest {
 protected:
  expr* call(const char* name, std::initializer_list<expr*> args) {
    return test::builtin_call(name, args);
  }
  std::string text(expr* e) { return test::string_value(e, tva); }
  expr* match(const char* text, const char* pattern) {
    return test::node(OPMATCH, test::str(text), test::str(pattern), EF_NUMERIC);
  }
};

TEST_F(PatternBuiltins, MatchCountsCharacters) {
  struct row {
    const char* text;
    const char* pattern;
    double want;
  };
  for (const row& c : std::initializer_list<row>{
           {"abc", "b", 2},
           {"abc", "z", 0},
           {"\xc3\xa4"
            "bc",
            "b", 2},
           {"\xc3\xa4\xc3\xa4x", "x", 3},
           {"a\xc3\xa4", "\xc3\xa4", 2},
           {"abc", "", 1},
       })
    EXPECT_EQ(number(match(c.text, c.pattern)), c.want)
        << c.text << " / " << c.pattern;
}

TEST_F(PatternBuiltins, SubAndGsub) {
  struct row {
    const char* fn;
    const char* text;
    const char* pattern;
    const char* repl;
    const char* want;
  };
  for (const row& c : std::initializer_list<row>{
           {"sub", "aaa", "a", "b", "baa"},
           {"gsub", "aaa", "a", "b", "bbb"},
           {"gsub", "abc", "(b)", "[\\1&]", "a[bb]c"},
           {"sub", "abc", "b", "\\\\", "a\\c"},
           {"sub", "abc", "b", "\\&\\q\\n", "a&q\nc"},
           {"sub", "abc", "b", "x\\", "axc"},
           {"sub", "abc", "(x)?b", "<\\1\\5>", "a<>c"},
           {"gsub", "banana", "an", "AN", "bANANa"},
           {"gsub", "hello world", "o", "[&]", "hell[o] w[o]rld"},
           // After an empty match the search goes on a character later.
           {"gsub", "abc", "x*", "-", "-a-b-c-"},
           {"gsub", "abc", "b*", "-", "-a--c-"},
           {"gsub", "\xc3\xa9\xc3\xa9", "", "-", "-\xc3\xa9-\xc3\xa9-"},
           {"gsub", "", "x*", "-", "-"},
           // ^ stays at the start of the text and after newlines.
           {"gsub", "aaa", "^a", "b", "baa"},
           {"gsub", "a\nb", "^", ">", ">a\n>b"},
           {"gsub", "a\nb", "$", "<", "a<\nb<"},
           // Bytes the replacement does not touch are kept as they are,
           // also when they are no UTF-8.
           {"gsub", "caf\xe9 \xc3\xbc", "\xc3\xbc", "u", "caf\xe9 u"},
           {"gsub", "x\xc3\xa9y\xc3\xa9", "\xc3\xa9", "e", "xeye"},
       })
    EXPECT_EQ(text(call(c.fn, {test::str(c.text), test::str(c.pattern),
                               test::str(c.repl)})),
              c.want)
        << c.fn << "(\"" << c.text << "\", \"" << c.pattern << "\", \""
        << c.repl << "\")";
  // Numbers are taken as their text.
  EXPECT_EQ(text(call("gsub", {test::num(12321), test::num(2), test::num(5)})),
            "15351");
}

TEST_F(PatternBuiltins, NoMatchGivesTheSameString) {
  cstr* s = new_cstring("abc");
  expr* t = test::bind(new_str(s));
  for (const char* fn : {"sub", "gsub"}) {
    uint32_t before = s->refcnt;
    cstr* r = eval_str(call(fn, {t, test::str("z"), test::str("y")}), tva);
    EXPECT_EQ(r, s) << fn;
    EXPECT_EQ(s->refcnt, before + 1) << fn;
    release_cstr(r);
  }
}

TEST_F(PatternBuiltins, PatternCache) {
  // The same pattern text again: the program compiled for the first
  // string serves, and that string stays cached.
  cstr* first = new_cstring("b+");
  expr* m1 = test::node(OPMATCH, test::str("abbc"), test::bind(new_str(first)),
                        EF_NUMERIC);
  EXPECT_EQ(number(m1), 2);
  EXPECT_EQ(Cur_regpat, first);
  Reprog* prog = Cur_regexp;
  EXPECT_EQ(
      text(call("gsub", {test::str("abbcb"), test::str("b+"), test::str("x")})),
      "axcx");
  EXPECT_EQ(Cur_regpat, first);
  EXPECT_EQ(Cur_regexp, prog);
  // A bad pattern stops the command and empties the cache; the next use
  // compiles again.
  auto r = test::run_captured([&] { number(match("abc", "(b")); });
  EXPECT_TRUE(r.aborted);
  EXPECT_NE(r.err.find("bad regular expression: unmatched left paren\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(Cur_regpat, nullptr);
  EXPECT_EQ(Cur_regexp, nullptr);
  EXPECT_EQ(number(match("abbc", "b+")), 2);
  EXPECT_STREQ(Cur_regpat->text(), "b+");
  // Evaluating an operand may compile another pattern: match still uses
  // its own.
  expr* nested = test::node(
      OPMATCH, call("sub", {test::str("xyz"), test::str("y"), test::str("Y")}),
      test::str("z"), EF_NUMERIC);
  EXPECT_EQ(number(nested), 3);
}

TEST_F(PatternBuiltins, MatcherOverflowStopsTheCommand) {
  std::string alts;
  for (int k = 0; k < 101; ++k) alts += k ? "|xa" : "xa";
  for (expr* e : {match("zzxa", alts.c_str()),
                  call("gsub", {test::str("zzxa"), test::str(alts.c_str()),
                                test::str("y")})}) {
    auto r = test::run_captured([&] { eval(e, tva); });
    EXPECT_TRUE(r.aborted);
    EXPECT_NE(r.err.find(": regular expression too complex (more than 100 "
                         "threads of the matcher at once)\n"),
              std::string::npos)
        << r.err;
  }
}

}  // namespace
}  // namespace vexo
