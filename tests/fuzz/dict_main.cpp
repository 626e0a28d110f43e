// Writes the fuzzing dictionary on standard output: every word of the
// keyword tables (keywords, built-in functions and names, system sets,
// built-in sets, reserved words, statement words, suffix value names), the
// operators and punctuation of the language and the words of data mode,
// one quoted entry a line in libFuzzer's format.
#include <cstdio>
#include <set>
#include <string>

#include "frontend/keywords.h"

namespace {

std::set<std::string> words;

void add(const char* w) {
  // Rows whose names the language cannot write ("v.") are left out.
  if (w && *w && std::string(w).rfind("v.", 0) != 0) words.insert(w);
}

void print_entry(const std::string& w) {
  std::putchar('"');
  for (unsigned char c : w) {
    if (c == '"' || c == '\\')
      std::printf("\\%c", c);
    else if (c < 32 || c > 126)
      std::printf("\\x%02X", c);
    else
      std::putchar(c);
  }
  std::printf("\"\n");
}

}  // namespace

int main() {
  using namespace vexo;
  for (const kw_row& r : init_tab) add(r.name);
  for (const kw_row& r : sysset_tab) add(r.name);
  for (const kw_row* r = keyword_init; r->name; ++r) add(r->name);
  for (const availset_row* r = Availset_init; r->name; ++r) add(r->name);
  for (const char* w : reserved_names) add(w);
  for (const char* w : stmt_names) add(w);
  for (const char* w : sysdotvalue_names) add(w);
  static const char* const operators[] = {
      ":=",         "..",     "...",   "<=",         ">=",      "==",
      "!=",         "<>",     "=",     "<",          ">",       "&&",
      "||",         "!",      "**",    "^",          "<<",      ">>",
      "==>",        "<==",    "<==>",  "+=",         "-=",      "*=",
      "/=",         "+",      "-",     "*",          "/",       ";",
      ":",          ",",      ".",     "{",          "}",       "[",
      "]",          "(",      ")",     "/*",         "*/",      "#",
      "'",          "\"",     "s.t.",  "subject to", "for all", "not in",
      "not within", "1e308",  "-1",    "0.5",        "\n",      "include",
      "end",        "option", "model", "data",       "commands"};
  for (const char* w : operators) add(w);
  // Data mode's own words and forms: statement words, a transposed table,
  // a column statement, a number with the exponent letter d, a name with
  // "_num" for a suffix.
  static const char* const data_words[] = {
      "defaultsym", "nodefaultsym", "(tr)", "tr", "param:", "1d3", "_num"};
  for (const char* w : data_words) add(w);
  for (const std::string& w : words) print_entry(w);
  return 0;
}
