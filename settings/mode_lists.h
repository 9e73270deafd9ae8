#pragma once
// Decisions over the display's list of modes: the refresh rate the saver
// asks for, and the entries of the settings dialog. The Win32 side only
// enumerates the modes into a DisplayMode list and applies the result.
// Pure logic: no platform headers, so the unit tests build it natively.
#include <stddef.h>
#include <stdint.h>

#include "settings/mode_text.h"

// One mode as the display lists it.
struct DisplayMode {
  uint32_t width;      // pixels
  uint32_t height;     // pixels
  uint32_t bits;       // bits per pixel
  uint32_t frequency;  // Hz; 0 and 1 mean the hardware's default
};

// The refresh rate asked for when nothing better is listed.
enum : uint32_t { kDefaultRefreshRate = 60 };

// The rate to pace frames at for a reported refresh rate: 0 and 1 mean the
// hardware's default, which is taken as 60 Hz.
uint32_t usableRefreshRate(uint32_t reportedHz);

// How many distinct modes of a display are kept. Displays list a few
// hundred distinct ones at most (every size at every depth and rate), but
// Windows repeats each once per scaling option (dmDisplayFixedOutput), so
// only identical ones counted once fit. The lists live on the stack, so the
// .scr needs no heap containers and none of the C++ library that comes
// with them.
enum { kMaxDisplayModes = 1024 };

// Adds `mode` after the `count` modes of `modes` unless an identical one
// (size, depth and rate) is already there, and unless `capacity` are held;
// returns the new count. The dialog and the switch both list through it,
// so they see the same modes.
size_t addDistinctMode(DisplayMode* modes, size_t count, size_t capacity, const DisplayMode& mode);

// One entry of the dialog's list, such as "1024x768x32".
struct DialogModeEntry {
  char text[kModeTextCapacity];
};

// What the switch asks the display for.
struct ModeRequest {
  bool change;         // false: the display stays as it is, no call is made
  uint32_t frequency;  // Hz, when it changes
};

// The request for width x height at `bits`. The highest rate above 60 Hz
// listed for exactly that size and depth wins, else 60 Hz where listed.
// Displays refuse a mode they do not list, and many list no 60 Hz at all
// (TVs at 50 Hz, panels at 59 or 48 Hz, 4K at 30 Hz), so otherwise:
// `keepCurrentMode` (the setting names the desktop's own mode) changes
// nothing; another mode gets the highest rate listed for it, 0 and 1 (the
// hardware's default) included. A size and depth the display does not list
// at all are asked for at 60 Hz, which the display refuses.
ModeRequest chooseModeRequest(const DisplayMode* modes, size_t count, uint32_t width,
                              uint32_t height, uint32_t bits, bool keepCurrentMode);

// The dialog's mode entries, after its own first entry "Current resolution":
// one scan each for 32, 24 and 16 bits per pixel, in that order. A scan
// takes a mode only when it is both wider and taller than the last one it
// took, so a size repeated once per refresh rate yields one entry. The
// 24-bit scan asks only for a different width, not a wider one; the list
// has always been built that way. Empty when the display has none of the
// three depths. Writes at most `capacity` entries and returns how many it
// wrote; with `capacity` equal to `count` nothing is ever left out.
size_t listDialogModes(const DisplayMode* modes, size_t count, DialogModeEntry* entries,
                       size_t capacity);
