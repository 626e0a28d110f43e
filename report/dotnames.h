// The names of the built-in suffix codes, used to print a suffix, to name
// a displayed suffix column and to rebuild a suffix name from its code
// (the front end's suffix resolution reads it too).
#ifndef VEXO_REPORT_DOTNAMES_H
#define VEXO_REPORT_DOTNAMES_H

namespace vexo {

// The name (without the dot) of each built-in suffix code 0..114.
extern const char* const dotnames[115];

}  // namespace vexo

#endif  // VEXO_REPORT_DOTNAMES_H
