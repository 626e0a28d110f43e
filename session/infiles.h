// The top-level inputs of a session: the files named by the options
// OPTIONS_IN and OPTIONS_INOUT, then the files named on the command line,
// read one after another in the order given ("-" standing for standard
// input), and standard input when none is named.  Option arguments before
// the first input name are taken as they come; "--" ends them, and after
// the first input name every argument is an input name.  Here too the
// usage screens.
#ifndef VEXO_SESSION_INFILES_H
#define VEXO_SESSION_INFILES_H

namespace vexo {

// Written outside session/, by design: quote_literals and init_sharp by
// the printers of model and data (report/dataprint.cpp, modelprint.cpp,
// prex.cpp), which set them around a listing.

// 1 until the first input name or "--".
extern int read_options;
// Settings of the option letters, read elsewhere: Print_all (-M 1, -D 2,
// -O 4, -G 8), init_sharp (-#), force_gen (-F), quote_literals (-q),
// cmdoutopt (-o), merge_Stderr (-v2), dbg (-vd).
extern int Print_all;
extern const char* init_sharp;
extern int force_gen;
extern int quote_literals;
extern const char* cmdoutopt;
extern int merge_Stderr;
extern int dbg;

// Moves to the next input when the current one is exhausted (the line
// reader calls it with k 1 and its context c; k is 0 only on the start-up
// call, which opens the first input without reading its first line).  A
// nested input ends first: the file of a `read` (2 when it ended inside an
// item with c 0, then it is ended and "unexpected end of file" aborts the
// command), the file of a `commands` or `data` command (0: that reading is
// over; a statement left open is "unexpected end of file"), the file a
// data section began in (0, data mode ends with it; a statement left open
// is reported there, eofmsg; 3 when it ended inside a quoted string or a
// token after ":" or "/" (c 2): reported there, the reader stops), an
// include file (end_include with 1: 1 when
// an includer has text left).  Then the next top-level input: 1 when one
// is open, 0 at the end of all input (met more than twice: "unexpected end
// of file" with the error limit at 1).  An input that cannot be opened is
// reported ("can't open %s") and, while the error limit is set, ends the
// session with rc + 4.  Option arguments met on the way are applied; their
// listing forms, an invalid letter and a bad -x value end the session too.
int nextfile(int k, int c);
// Prints the usage screen on Stderr and ends with code (myexit).
[[noreturn]] void ooptions(int code);
// Prints the -b forms and ends with 0.
[[noreturn]] void b_usage();
// Applies the letters after -v.  Some end the session (myexit, which
// throws session_exit): "?" lists the letters and ends with 0, "q" ends
// with 0, an unknown letter lists them and ends with 1.
void v_opt(const char* s);

// The input-file stack.  inslev: nesting of the `commands` and `data`
// files being read by a command; ins_nfs: nfs when the innermost of those
// files was opened; ins_eof: that file has ended; at_eof: how often the
// end of all input was met (-1: met inside an insertion); infile_changed:
// set on every change of source; infile_number/ninfile_number: serial
// number of the current source and the last one given out; adjusted: a
// line directive renumbered the input.
extern int inslev;
extern int ins_nfs;
extern int ins_eof;
extern int at_eof;
extern int infile_changed;
extern int infile_number;
extern int ninfile_number;
extern int adjusted;
// Argument cursor: the command-line argument last taken as an input.
extern char** xargv;

// A new session's input files and command-line settings: none read, none
// set.  Kept by `reset`: the command line stays, the inputs go on.
void infiles_start();
}  // namespace vexo

#endif  // VEXO_SESSION_INFILES_H
