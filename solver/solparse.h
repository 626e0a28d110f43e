// Taking a solution file apart (text and binary form) against the counts
// of the problem sent.  Nothing of the session is touched: the reader
// (solver/solread.h) installs what a sound file holds, and the fuzz target
// drives the parse alone.
#ifndef VEXO_SOLVER_SOLPARSE_H
#define VEXO_SOLVER_SOLPARSE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vexo {

// Result codes of read_soln besides 0.
enum : int {
  SOL_PRESOLVE_FAILED = 996,
  SOL_BAD = 997,
  SOL_CANT_OPEN = 998
};

// The counts a solution file is read against: variables and constraints
// sent, objectives, and the entities of the four suffix kinds (variables,
// constraints, objectives, the problem).
struct sol_counts {
  int32_t n_var;
  int32_t n_con;
  int32_t n_obj;
  int32_t ent[4];
};

// One suffix table of the file.
struct sol_suffix {
  int32_t kind;      // bits 0-1 entity kind, 4 real values, 8 INOUT
  std::string name;  // as given (name length less one bytes)
  std::string table;  // symbolic table text, or empty
  bool bad_name;      // not a letter followed by letters, digits, "_"
  std::vector<std::pair<int32_t, double>> rows;  // index, value
};

// What a solution file holds.
struct sol_data {
  bool binary;
  std::string message;  // whole, leading backspaces included, no final
                        // line feed
  int32_t backspaces;   // leading backspaces of the first message line
  bool has_opts;
  int32_t nopts;
  int64_t opts[10];  // words 1..nopts as given; the others 0
  bool has_droptol;  // word 2 was 3: a drop tolerance follows the counts
  double droptol;
  std::vector<double> duals;    // by solver row
  std::vector<double> primals;  // by solver column
  bool has_objno;
  int32_t objno;
  bool has_result;
  int32_t result;
  std::vector<sol_suffix> sufs;
  // 0, or SOL_BAD with the text of the complaint (no final line feed).
  int32_t err;
  std::string errmsg;
  // Set once the message was read (a failure before it shows nothing).
  bool message_read;
};

// Parses size bytes of a solution file named name (for messages) against
// c.  Returns d->err.
int parse_soln(const char* name, const uint8_t* data, size_t size,
               const sol_counts& c, sol_data* d);

// The decoded value of a tolerance word w whose flag is bit b: 0 when the
// bit is clear, else 1.1 to the power -e with e = w >> (b + 1), or to the
// power e - 1000000 when e is 1000000 or more.
double tol_decode(int64_t w, int b);

}  // namespace vexo

#endif  // VEXO_SOLVER_SOLPARSE_H
