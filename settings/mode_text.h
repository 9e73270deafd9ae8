#pragma once
// The text form of a display mode, as stored in "Resolution" and shown in
// the settings dialog: either the literal "Current resolution" or
// width x height x bits per pixel in decimal, joined by a lowercase "x".
// Pure logic: no platform headers, so the unit tests build it natively.
#include <stddef.h>
#include <stdint.h>

extern const char* const kCurrentResolutionText;  // "Current resolution"

// Width and height in pixels, depth in bits per pixel. Signed, as the stored
// text may hold a sign; a value the display does not list simply makes the
// mode change fail.
struct ModeTarget {
  int32_t width;
  int32_t height;
  int32_t depth;
};

// True only for the exact literal, case included.
bool isCurrentResolutionText(const char* text);

// Reads a mode text one character at a time. A lowercase "x" ends a number;
// numbers fill width, then height, and further ones are dropped, except that
// a number reading as 0 fills nothing. Whatever follows the last "x" is the
// depth, 0 when empty. Each number is read like the C library's atol
// (leading white space, optional sign, digits up to the first other
// character), except that a value beyond 32 bits saturates instead of being
// undefined. Any length of text is safe.
ModeTarget parseModeText(const char* text);

// Writes width x height x bits into `out` (room for 3 x 10 digits, two "x"
// and the NUL: kModeTextCapacity). Returns false, with `out` empty, when the
// buffer is too small.
enum { kModeTextCapacity = 33 };
bool formatModeText(uint32_t width, uint32_t height, uint32_t bits, char* out, size_t outSize);
