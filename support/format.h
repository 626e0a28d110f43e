// The system's own formatted output.  One engine, x_sprintf, formats into a
// staging buffer and hands every full buffer to a sink; the entry points pick
// the sink: a stream (copied to the log file for the standard streams, or
// sent into the current block in block mode), a caller's buffer, or a
// growable message string.  Besides the usual conversions the engine has %q
// (quote a text for the language when needed) and %Q (always quote).
//
// The entry points carry no printf format attribute: the compiler's checker
// knows neither %q nor %Q and would warn on every message that uses them.
#ifndef VEXO_SUPPORT_FORMAT_H
#define VEXO_SUPPORT_FORMAT_H

#include <cstdarg>
#include <cstddef>
#include <cstdio>

namespace vexo {

struct mstr;  // growable message string (support/text.h)

// Output context of one engine call; lives on the caller's stack.
struct putinfo {
  // Fput: the stream.  Snput: the write cursor in the caller's buffer.
  // Mput: the address of the caller's mstr pointer.  Bput: unused.
  void* target;
  // Start of the staging buffer; writing resumes here after every flush.
  char* buf;
  // Fput, Bput, Mput: end of the staging buffer (where the sink puts the
  // NUL).  Snput: last usable byte of the caller's buffer (for the NUL).
  char* limit;
  // Stream that receives a copy of every piece (the log file), or null.
  FILE* echo;
  // Set by the engine on return: characters still in the staging buffer.
  int tail;
};

// A sink takes the full staging buffer, adds the characters it took to
// *count and returns where writing resumes (info->buf).
typedef char* (*putfunc)(putinfo* info, int* count);

// Formats fmt with ap into info->buf, calling put whenever the write
// position reaches bufend; stores a NUL at the end, sets info->tail and
// returns the number of characters produced.
int x_sprintf(char* bufend, putfunc put, putinfo* info, const char* fmt,
              va_list ap);

// The sinks.
char* Fput(putinfo* info, int* count);   // to the target stream, then echo
char* Bput(putinfo* info, int* count);   // into the current block, then echo
char* Snput(putinfo* info, int* count);  // bounded copy into caller's buffer
char* Mput(putinfo* info, int* count);   // append to an mstr
// Never reached (an unbounded Sprintf has no flush); prints a bug message
// and ends the process with status 250.
[[noreturn]] char* Sput(putinfo* info, int* count);

extern "C" {
// Standard output (or the current block in block mode), copied to the log
// file when one is open.
int Printf(const char* fmt, ...);
// As Printf when stream is standard output or standard error; otherwise
// plain output to the stream.
int Fprintf(FILE* stream, const char* fmt, ...);
int Vfprintf(FILE* stream, const char* fmt, va_list ap);
// Into s, unbounded: the caller makes s large enough.
int Sprintf(char* s, const char* fmt, ...);
int Vsprintf(char* s, const char* fmt, va_list ap);
// Into s, at most n - 1 characters and a NUL (nothing when s is null or n is
// 0); returns the length the whole output would have had.
int Snprintf(char* s, size_t n, const char* fmt, ...);
int Vsnprintf(char* s, size_t n, const char* fmt, va_list ap);
// Appends to the message string *m (created when *m is null).
int mprintf(mstr** m, const char* fmt, ...);
int vmprintf(mstr** m, const char* fmt, va_list ap);
// "s: " (when s is not null or empty) and the text of errno, on Stderr.
void Perror(const char* s);
}

}  // namespace vexo

#endif  // VEXO_SUPPORT_FORMAT_H
