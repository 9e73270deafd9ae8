#pragma once
// The display-mode change for the saver's lifetime and its undo, and the
// enumeration the settings dialog lists from. The decisions (which refresh
// rate, which dialog entries) are the pure functions of mode_lists.h.
#include <windows.h>

#include <stddef.h>

#include "settings/mode_lists.h"

// Size of the mode record handed to the system: DEVMODEA without its two
// panning members, the form that every version of Windows accepts.
const WORD kDevModeSize = static_cast<WORD>(offsetof(DEVMODEA, dmPanningWidth));
static_assert(offsetof(DEVMODEA, dmPanningWidth) == 148, "ANSI mode record without panning");

// Clears `record` for enumeration and lists the modes of the primary
// display into `modes`, in the system's order, each distinct mode once, up
// to `capacity` of them; returns how many it stored. The enumeration always runs to its end, so
// `record` keeps what the last (failing) enumeration call left in it.
size_t enumerateDisplayModes(DEVMODEA* record, DisplayMode* modes, size_t capacity);

enum ModeSwitchResult {
  kModeApplied,
  kModeRefused,         // the display does not take the mode
  kModeTooFewColours,   // the desktop runs below 16 bits per pixel
};

// Switches the primary display to the mode that `modeText` names
// ("Current resolution" keeps the desktop's size and depth), at the best
// listed refresh rate, for this process only: nothing is stored, and
// restoreDisplayMode undoes it. Only modes the display lists are asked for
// (see chooseModeRequest); when the desktop's own mode has nothing better
// listed, nothing is changed at all.
ModeSwitchResult switchDisplayMode(const char* modeText);

// Goes back to the mode stored in the system. Harmless when nothing was
// switched, so every exit path may call it.
void restoreDisplayMode();

// The primary display's refresh rate as the system reports it now: 0 or 1
// when it does not know (see usableRefreshRate).
uint32_t currentRefreshRate();

// The fixed message for a desktop of fewer than 16 bits per pixel.
extern const char* const kLowColourMessage;
