// Regular expressions through the nodes of match and gsub, as a command
// evaluates them.  gsub over a text of 10 MB of words: patterns whose
// matches can start only at a few characters (one letter, digits, a word,
// q and any character), which the matcher skips to; a class matching
// nearly everywhere (every character read by the threads); a group in the
// replacement; a pattern matching the empty string at every place (a search
// per character).  The speed in MB of text per second.
// match(s, "(a|aa)*b") over 10^5, 2*10^5 and 4*10^5 letters a without a b,
// a text on which a backtracking matcher never ends: the time per
// character stays the same when the text doubles.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "bench/in_process.h"
#include "compiler/tva.h"
#include "eval/builtin.h"
#include "eval/dispatch.h"
#include "eval/funclib.h"
#include "eval/regexp.h"
#include "frontend/expr.h"
#include "support/symbol.h"

namespace {

using clock_type = std::chrono::steady_clock;

constexpr int ROUNDS = 3;

vexo::expr* bound(vexo::expr* e) {
  e->op = vexo::functab[vexo::opcode(e)];
  return e;
}
vexo::expr* str(const std::string& s) {
  return bound(vexo::new_str(vexo::new_cstring(s.c_str())));
}

vexo::expr* gsub_call(const std::string& text, const char* pattern,
                      const char* repl) {
  vexo::expr* args = nullptr;
  vexo::expr** link = &args;
  for (vexo::expr* a : {str(text), str(pattern), str(repl)}) {
    *link = vexo::new_expr(vexo::opword(vexo::OPARG), nullptr, a);
    link = &(*link)->next;
  }
  auto* row = static_cast<vexo::pinit_row*>(vexo::Symbol("gsub", 0)->binding);
  return bound(vexo::new_expr(vexo::opword(vexo::OPFUNCcs, vexo::EF_STRING),
                              static_cast<vexo::xnode*>(row->f), args));
}

// Best of ROUNDS evaluations of e, in seconds; the result's length in *len
// (string) or its value in *num (number).
double best_seconds(vexo::expr* e, vexo::TVA* tva, size_t* len, double* num) {
  double best = 1e300;
  for (int r = 0; r < ROUNDS; ++r) {
    auto t0 = clock_type::now();
    if (len) {
      vexo::cstr* s = vexo::eval_str(e, tva);
      *len = std::char_traits<char>::length(s->text());
      vexo::release_cstr(s);
    } else {
      *num = vexo::eval_num(e, tva);
    }
    double t = std::chrono::duration<double>(clock_type::now() - t0).count();
    if (t < best) best = t;
  }
  return best;
}

// Ten million characters of words of 1 to 9 lower-case letters, a few
// with digits, separated by blanks and now and then a newline.
std::string words() {
  std::mt19937 g(2024);
  std::string t;
  t.reserve(10000000 + 16);
  while (t.size() < 10000000) {
    int n = 1 + int(g() % 9);
    if (g() % 20 == 0) {
      t += std::to_string(g() % 100000);
    } else if (g() % 10 == 0) {
      t += "the";
    } else {
      for (int k = 0; k < n; ++k) t += char('a' + g() % 26);
    }
    t += g() % 12 ? ' ' : '\n';
  }
  return t;
}

}  // namespace

int main() {
  bench::start_modules();
  vexo::TVA* tva = vexo::new_tva();
  int bad = 0;

  std::string text = words();
  double mb = double(text.size()) / 1e6;
  std::printf("gsub over %.1f MB of words\n", mb);
  struct {
    const char* pattern;
    const char* repl;
  } subs[] = {{"b", "B"},      {"[0-9]+", "#"},    {"the", "THE"}, {"q@", "&&"},
              {"[a-z]+", "w"}, {"(a|e)", "<\\1>"}, {"e*", "-"}};
  for (auto& s : subs) {
    size_t len = 0;
    double t =
        best_seconds(gsub_call(text, s.pattern, s.repl), tva, &len, nullptr);
    std::printf("  gsub(s, \"%s\", \"%s\")  %7.3f s  %7.1f MB/s  (%zu bytes)\n",
                s.pattern, s.repl, t, mb / t, len);
    if (!len) bad = 1;
  }

  std::printf("match(s, \"(a|aa)*b\") over letters a without b\n");
  double first = 0;
  for (int n : {100000, 200000, 400000}) {
    vexo::expr* e = bound(
        vexo::new_expr(vexo::opword(vexo::OPMATCH, vexo::EF_NUMERIC),
                       str(std::string(size_t(n), 'a')), str("(a|aa)*b")));
    double at = -1;
    double t = best_seconds(e, tva, nullptr, &at);
    double per = t / n * 1e9;
    if (!first) first = per;
    std::printf("  %7d letters  %8.3f ms  %6.1f ns/letter  (x%.2f)  -> %g\n", n,
                t * 1e3, per, per / first, at);
    if (at != 0) bad = 1;
  }
  vexo::del_tva(tva);
  std::fflush(stdout);
  return bad;
}
