// The record printer: a command record (session/cmdrec.h) as one line of
// text, the records of a compound's body below it, indented.  The parser's
// unit tests and the front-end probe read these lines (execute's
// exec_listing): "cmd <kind> \"<format>\" <field> ..." with expressions
// described as describe_expr writes them; compound records as "cmd 39 for
// <name> <indexing>", "cmd 44 repeat <name> <condition> <trailing>", "cmd
// 58 if <condition>" (its else chain after a line "else") and "cmd 81
// {...}".
#ifndef VEXO_SESSION_CMDLIST_H
#define VEXO_SESSION_CMDLIST_H

#include <cstdio>

namespace vexo {

struct cmd_fields;
struct expr;

// Writes c at the indentation depth (two blanks a level), then, for a
// compound, its chains one level deeper.
void cmd_describe(FILE* out, cmd_fields* c, int depth);
// Describes an expression chain ("[a, b]"): numbers, strings, names,
// dummies as "dummy(level,offset)", loop dummies as "loopdummy(name)",
// calls as "name(args)", other nodes as "op<code>" with their operands.
// Descriptions stop 100 levels down a tree.  Writes at most n bytes, NUL
// included; returns buf.
char* describe_expr(char* buf, int n, const expr* e);

}  // namespace vexo

#endif  // VEXO_SESSION_CMDLIST_H
