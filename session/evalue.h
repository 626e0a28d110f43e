// The lookups of option values by name.  The evaluator's result type
// (eval/optab.h) is called evalue as well, and a function hides a type of
// the same name: include this header only in .cpp files, after every
// header that uses that type (the sorted order of includes does that), and
// never in another header.
#ifndef VEXO_SESSION_EVALUE_H
#define VEXO_SESSION_EVALUE_H

#include "eval/optab.h"

namespace vexo {

struct cstr;
struct symbol;

// The value of option name ("" when undefined or without value), or null
// when no such option exists.
const char* evalue(const char* name);
// For symbol s: the option's NAME=value text with *value its value part,
// or null (and *value null) when s is no option or undefined.
cstr* evalue_cs(symbol* s, const char** value);
// Without a name: the exported environment (built when absent).  With a
// name: its value as evalue gives it, but null when the option does not
// exist or is undefined.
char** Get_env();
const char* Get_env(const char* name);

}  // namespace vexo

#endif  // VEXO_SESSION_EVALUE_H
