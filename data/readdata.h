// Data mode: the statement loop read_data that reads `set`, `param` and
// the other data statements until a word that is none of them.  The least
// form until the data reader is built: data mode is reported as not
// implemented.
#ifndef VEXO_DATA_READDATA_H
#define VEXO_DATA_READDATA_H

namespace vexo {

// Saved inputs on the input stack when data mode began: when the input on
// which it began ends between statements, data mode ends with it.  -1
// outside data mode.
extern int datanfs;

// Runs data mode on the current input; nonzero when parsing goes on.  The
// least form: the statement is abandoned ("data is not implemented yet";
// not while the command builders only record, cmd_trace).
int read_data();

}  // namespace vexo

#endif  // VEXO_DATA_READDATA_H
