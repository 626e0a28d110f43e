// Block-mode output framing.  When a front-end program drives the
// translator, all of its standard output and standard error goes to
// descriptor 1 as named blocks: "LEN name\n" followed by the body, LEN
// counting the name, the newline and the body.  Mode 2 writes each newline
// of a body as CR LF; mode 4 writes the bodies only, without headers.
#ifndef VEXO_SUPPORT_BLOCK_H
#define VEXO_SUPPORT_BLOCK_H

#include <cstddef>

namespace vexo {

// 0 off; 1 on; 2 on with CR LF; 4 bodies only; others only test it for
// nonzero.  Written by the session's scan of the command line (ppinit,
// session/startup.cpp) and its start-up (startup_start): it lives here with
// its lowest reader, the formatted output, which the solver driver links
// without the session.
extern int blockmode;

// The name of the block being filled ("misc" at start); never null.
extern const char* blockname;
// The name errorstart saved, to which the message core returns; or null.
extern const char* oldblkname;

// Appends n bytes of text to the current block; nothing for n == 0.  A
// pending name (blockpending) first sends what is buffered.
void blockput(const char* text, size_t n);
// Sends the buffered block, if its body is not empty, under the current
// name, and makes name the current name.  Names are copied; a name longer
// than 40 bytes is cut to 40.
void blockstart(const char* name);
// Names the block that the next non-empty blockput opens; returns the
// pending name it replaces (or null).  The name must stay valid until used.
const char* blockpending(const char* name);
// In block mode: saves the current name in oldblkname and starts block
// name.  Nothing outside block mode.
void errorstart(const char* name);

// The block names of a new session ("misc", no previous name).  Kept by
// `reset`, with the buffer: the output of the command running goes on.
void block_start();
}  // namespace vexo

#endif  // VEXO_SUPPORT_BLOCK_H
