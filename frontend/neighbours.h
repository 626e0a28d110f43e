// Stand-ins for the session's services that the front end's reader uses,
// kept in one place until the session provides them.  The globals are the
// session's state that the reader and the raw token reader read (the
// session will own and write them); the hooks are its services, each with
// the least behaviour the reader needs as its default, which the session
// replaces by installing its own routine.  squawk is the located-message
// printer in its final output formats; neighbours_init installs it as the
// message core's squawk_hook.
#ifndef VEXO_FRONTEND_NEIGHBOURS_H
#define VEXO_FRONTEND_NEIGHBOURS_H

#include <csignal>

namespace vexo {

// Set when the session runs at a terminal, in block mode, or when the
// command line forces it.
extern int interactive;

// The six prompt texts (options prompt1, prompt2, dataprompt1, dataprompt2,
// cmdprompt1, cmdprompt2) and the include-level prefix (option
// insertprompt, "<%d>").
extern const char* prompt0[6];
extern const char* insprompt;
// Sets prompt0 to the defaults: "vexo: ", "vexo? ", "vexo data: ",
// "vexo data? ", "%s vexo: ", "%s vexo? " when interactive, else empty.
void set_prompt_defaults();

// Options log_model and log_data: log input read from files too (model and
// commands, or data).  log_what points at one of them; log_file_flush
// makes every logged line be flushed.
extern int log_model;
extern int log_data;
extern int* log_what;
extern int log_file_flush;

// The input-file stack.  inslev: include nesting level; nfs: saved inputs
// on the stack; ins_nfs: nfs when the current `commands`/`data` insertion
// began; at_eof: how often the end of all input was met (-1: met inside an
// insertion); infile_changed: set on every change of source;
// infile_number/ninfile_number: serial number of the current source and
// the last one given out; eofmsg: message to print at the end of input.
extern int inslev;
extern int nfs;
extern int ins_nfs;
extern int at_eof;
extern int infile_changed;
extern int infile_number;
extern int ninfile_number;
extern const char* eofmsg;
// Argument cursor: the command-line argument last taken as an input.
extern char** xargv;
// Gives the least nextfile the input names (a null-terminated vector): they
// are read in order, standard input ("-") when the vector is empty.  The
// end of input has not been met for the new list (at_eof 0).
void set_input_files(char** names);

// End-of-input control.  endjump: the data reader holds its recovery point
// (next0 then throws data_end); parse_time: 0 before parsing, 1 while model
// and commands are read, 2 while data are read.
extern int endjump;
extern int parse_time;

// Session and command state read by the reader and the message printer.
extern int cmdstate;      // a compound command is being built
extern int cmdnum;        // kind of the command executing, 0 when none
extern int single_step;   // positive while single-stepping
extern int warnings;      // messages counted since the last abort
extern int warn0;         // the part of warnings that were plain warnings
extern int warn_exit;     // 1: the error limit ends the program
extern int stdin_offset;  // option: locate standard input like files
extern int adjusted;      // a line directive renumbered the input
extern volatile std::sig_atomic_t gotbreak;  // an interrupt is pending

// Display flags (of the display command): pr_cmd is set while a display
// item is processed; pr_badnames marks that a bad name was reported.
extern int pr_cmd;
extern int pr_badnames;

// Services of the session, reached through hooks.
// nextfile(k, c): moves to the next input source when the current one is
// exhausted (k 0 only at start-up, which does not read the first line);
// returns 0 when no input follows, 2 when the caller must supply a blank,
// other nonzero when reading goes on in the new source.  Default: the
// names of set_input_files in order, then standard input when none was
// given, then nothing.
extern int (*nextfile_hook)(int k, int c);
// The description of the open compound command for continuation prompts.
// Default: "???".
extern const char* (*cmdprompt_hook)();
// Settles open if/else and repeat constructs at a new statement.  Default:
// nothing.
extern void (*start_check_hook)();
// Inspects the "#" comment in ibuf for a line directive.  Default: nothing.
extern void (*incl_check_hook)();
// Abandons the compound command being built after a syntax error.
// Default: the command builders' cmd_reset2 (frontend/cmdbuild.h).
extern void (*cmd_reset2_hook)();
// Called after each piece of buffered block input is handed out.
// Default: nothing.
extern void (*clear_queue_hook)();
// include(name, how, flag): opens an include file and pushes the current
// input, so that reading continues in the file and, at its end, resumes in
// the includer at nextc.  A negative how reports "invalid include syntax"
// and skips the rest of the line.  Default: the least include: the name as
// given ("-" standard input), at most 12 levels ("includes nested too
// deeply" ends the session), "Can't find  file ..." aborts the command;
// nextfile_hook pops a level when its file ends.  The first include (and
// neighbours_init) installs its end_include_hook: 0 abandons all levels
// (after an abort), 1 ends the current level and each includer with no
// text left, 2 exactly one level.
extern void (*include_hook)(const char* name, int how, int flag);

// Writes a message with its location to Stderr: the input file, line and
// offset with a context line around the current token while input is read,
// "\n" alone for standard input, the three lines "file", "line", "offset"
// inside block "error_error" in block mode; the command's location while a
// command executes.  ORs 2 into rc (not for errors typed at an interactive
// terminal) and counts the message against the error limit eexit, which
// may end the program or abort the command.
void squawk(const char* msg);
// squawk with "missing %c".
void missing(int c);
// ORs bit into rc unless errors typed at an interactive terminal are to
// leave rc alone (interactive, input from standard input, no exit on the
// error limit); bits above 8 are ORed in even then.
void set_rc_bit(int bit);
// Counts a message that has been printed against the error limit eexit:
// set_rc_bit(bit) and errorend(); then, unless single-stepping, one more
// of warnings (and of warn0 for bit 0).  At the limit it prints "Bailing
// out after %d warnings.", ends the program with rc | 2 when warn_exit,
// else zeroes warnings (warn0 too when zero_warn0) and aborts the command.
// Returns false when single-stepping (nothing counted).
bool count_warning(int bit, bool zero_warn0);
// Installs squawk as the message core's squawk_hook and sets the prompt
// defaults for the current value of interactive.
void neighbours_init();

}  // namespace vexo

#endif  // VEXO_FRONTEND_NEIGHBOURS_H
