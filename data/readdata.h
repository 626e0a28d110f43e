// Data mode: the statement loop read_data, the stack of default symbols,
// the data reader's error report and the check of dotted names.  Data mode
// reads `set`, `param` (or `var`), `param :` column, `defaultsym`,
// `nodefaultsym` and `end` statements until a word that is none of these,
// which the parser then reads again as the first word of a command.
#ifndef VEXO_DATA_READDATA_H
#define VEXO_DATA_READDATA_H

namespace vexo {

struct xnode;

// Saved inputs on the input stack when data mode began: when the input on
// which it began ends between statements, data mode ends with it
// (session/include.h, the input-file stack).  -1 outside data mode.
extern int datanfs;

// The default symbol: its text ("" for none) and the quote character it
// was written with (0 if bare).  "." and 0 at start-up and after `reset`.
extern const char* parskip;
extern int parquote;

// Runs data mode on the current input until a word that is not a data
// keyword (returns 1: the word is handed to the parser, yy_special 1 with
// the word in tok) or the end of the input (returns 1 when the data
// section's own input ended, outside a file read by `commands` or `data`,
// else 0).  Data errors are
// reported and reading goes on with the next statement; an aborted
// command (command_abort) passes through after data mode is left.
int read_data();

// Reports a data error at the current input position (in block "error_data"
// in block mode); reading goes on.  The text is formatted as Fprintf does.
void Squawk(const char* fmt, ...);
// The rest of the statement is skipped: unless t (the current token) is
// ";", tokens are read up to and including the next ";".
void skip(int t);
// Squawk, then skip(t).
void bad(int t, const char* fmt, ...);

// 1 when the current token (of code t) is the default symbol: a word of the
// same text written with the same quote character.
int is_dflt_sym(int t);
// The default symbol as messages show it: the text, quoted with its quote
// character when it was written quoted.
const char* dflt_sym_text();

// `defaultsym` (push 1) and `nodefaultsym` (push 0), after the keyword.
void setdn(int push);

// Checks the name after the dot in a dotted data name for declaration e:
// null with *kind set (1 initial values, 2 current values, 0 the plain
// data arrays, suffix number + 3 for a declared suffix), or the message.
const char* sufchk(xnode* e, const char* name, int* kind);

// Start-up and `reset`: default symbol "." with an empty stack, tok_type in
// force, no data mode.
void readdata_reset();

// Option log_data: log data read from files too.
extern int log_data;
// Nonzero while the data reader holds its recovery point: the reader's
// end of input then throws data_end (1 inside a data section, 2 for a
// data file).
extern int endjump;

// Option cell log_data and no data reader's recovery point.  Kept by
// `reset`: options stay; `reset` never runs while data are read.
void readdata_start();
}  // namespace vexo

#endif  // VEXO_DATA_READDATA_H
