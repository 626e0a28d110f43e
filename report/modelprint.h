// The model printer: declarations written back as the language's
// declaration statements, one statement each, through the line buffer of
// report/prex.h to the display stream df.  What it writes reads back as the
// same declarations (the batch path's model listing, `show`).
#ifndef VEXO_REPORT_MODELPRINT_H
#define VEXO_REPORT_MODELPRINT_H

namespace vexo {

struct xnode;

// Writes every declaration of decls in declaration order, literals quoted,
// at the width of display_width.  With flag nonzero the built-in
// declarations of start-up are left out and declared sets inside
// expressions are written by name (show_opprint takes the flag); with 0
// every declaration of the list is written (show lets decls hold the
// declarations it prints).  Ends the session on a declaration kind without
// a form (an internal error).
void print_model(int flag);
// Writes one declaration as a statement (literals as quote_literals says).
void print_dcl(xnode* d);
// The same as the user wrote it, for show: literals quoted, declared sets
// by name, the compiler's nodes as the source they stand for.
void print_dcl_as_source(xnode* d);
// The batch path's listing: the model (bit 1 of Print_all, print_model(1))
// and the data (bit 2, print_data(1)); then df is flushed.
void print_all();

}  // namespace vexo

#endif  // VEXO_REPORT_MODELPRINT_H
