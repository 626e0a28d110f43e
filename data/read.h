// The `read` command: values read from a file or standard input into
// parameters and variables.
#ifndef VEXO_DATA_READ_H
#define VEXO_DATA_READ_H

namespace vexo {

// Ends the input of a `read` command (the abort path calls it while
// doing_read_cmd is set).  The least form: nothing, no `read` reads yet.
void read_end();

}  // namespace vexo

#endif  // VEXO_DATA_READ_H
