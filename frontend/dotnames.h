// The names of the built-in suffix codes, used to print a suffix and to
// rebuild a suffix name from its code.  The table belongs to the display
// code, which will own this file once it exists.
#ifndef VEXO_FRONTEND_DOTNAMES_H
#define VEXO_FRONTEND_DOTNAMES_H

namespace vexo {

// The name (without the dot) of each built-in suffix code 0..114.
extern const char* const dotnames[115];

}  // namespace vexo

#endif  // VEXO_FRONTEND_DOTNAMES_H
