#pragma once
// Win32 side of the display-mode decisions in mode_lists.h.
#include <windows.h>

#include <stddef.h>

#include "settings/mode_lists.h"

// Size of the mode record handed to the system: DEVMODEA without its two
// panning members, the form that every version of Windows accepts.
const WORD kDevModeSize = static_cast<WORD>(offsetof(DEVMODEA, dmPanningWidth));
static_assert(offsetof(DEVMODEA, dmPanningWidth) == 148, "ANSI mode record without panning");

// Clears `record` for enumeration and lists the modes of the primary
// display into `modes`, in the system's order, up to `capacity` of them;
// returns how many it stored. The enumeration always runs to its end, so
// `record` keeps what the last (failing) enumeration call left in it.
size_t enumerateDisplayModes(DEVMODEA* record, DisplayMode* modes, size_t capacity);
