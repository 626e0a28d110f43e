// The solution file in its text form, as the translator reads it back:
// the message, the options block echoing the problem file's option words,
// dual and primal values, the objective number and the result code.
#ifndef VEXO_SOLVERS_SOLFILE_H
#define VEXO_SOLVERS_SOLFILE_H

#include <string>
#include <vector>

#include "solvers/nlread.h"

namespace vexo {

// Whether the option words of h can be echoed: with a var_bounds
// tolerance (word 2 is 3) the block counts two more words than it holds,
// and the count may not pass 9.
bool options_echoable(const nl_header& h);

// Writes path: message (its lines without empty ones), the options block
// of h with the counts of y and x, y, x, and "objno <objno> <code>".
// Numbers are the shortest text that reads back as the same double.
// Returns false, with errno set, when the file cannot be written; a file
// begun is then removed.
bool write_sol(const char* path, const nl_header& h, const std::string& message,
               const std::vector<double>& y, const std::vector<double>& x,
               int objno, int code);

}  // namespace vexo

#endif  // VEXO_SOLVERS_SOLFILE_H
