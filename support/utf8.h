// UTF-8 decoding and encoding of 16-bit characters.  Only sequences of one,
// two and three bytes are decoded; a byte that starts no valid sequence is a
// character of its own, so every byte string has a character count.
#ifndef VEXO_SUPPORT_UTF8_H
#define VEXO_SUPPORT_UTF8_H

#include <cstddef>
#include <cstdint>

namespace vexo {

using Rune = uint16_t;

// Produced for a byte that starts no valid sequence.
constexpr Rune Runeerror = 0x80;

// Decodes the sequence at s into *r; returns the bytes it took (1, 2 or 3).
// A byte below 0x80 gives itself; a valid two- or three-byte sequence (not
// overlong) its rune; anything else Runeerror and 1.  Bytes after the first
// are read only while the sequence is still valid, so a NUL ends it safely.
int chartorune(Rune* r, const char* s);

// Encodes *r at s in 1, 2 or 3 bytes and returns that count; writes no NUL.
int runetochar(char* s, const Rune* r);

// Characters of the NUL-terminated s: each valid sequence and each other
// byte counts one.
int utflen(const char* s);

// The same count as utflen; also stores the byte length of s in *nbytes.
int utflen2(const char* s, size_t* nbytes);

}  // namespace vexo

#endif  // VEXO_SUPPORT_UTF8_H
