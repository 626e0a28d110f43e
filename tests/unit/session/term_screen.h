// One line of a terminal as the reader thread's line editor drives it:
// printable bytes overwrite, backspace and CR move left, LF starts a new
// (empty) line.  What the editor wrote, replayed here, must show the line
// being edited with the cursor in its place (the unit tests and the
// lineedit fuzz target).
#ifndef VEXO_UNIT_SESSION_TERM_SCREEN_H
#define VEXO_UNIT_SESSION_TERM_SCREEN_H

#include <cstddef>
#include <string>

namespace vexo::test {

struct term_screen {
  std::string row;
  size_t col = 0;
  void show(const std::string& bytes) {
    for (char c : bytes) {
      if (c == '\b') {
        if (col > 0) --col;
      } else if (c == '\r') {
        col = 0;
      } else if (c == '\n') {
        row.clear();
        col = 0;
      } else {
        if (row.size() <= col) row.resize(col + 1, ' ');
        row[col++] = c;
      }
    }
  }
};

// s without its trailing blanks (the blanks that erase a tail look like
// nothing on a terminal).
inline std::string trimmed(const std::string& s) {
  size_t e = s.find_last_not_of(' ');
  return e == std::string::npos ? std::string() : s.substr(0, e + 1);
}

}  // namespace vexo::test

#endif  // VEXO_UNIT_SESSION_TERM_SCREEN_H
