#pragma once
// The system's word on whether the displays are on. A saver runs exactly
// when the power plan turns the displays off, and drawing into a dark
// screen only spends power.
#include <windows.h>

// WM_POWERBROADCAST's code for a changed power setting (Vista and later;
// the build targets older systems, whose headers lack it).
const WPARAM kPowerSettingChange = 0x8013;

// What a display-state notification says.
enum DisplayState {
  kDisplayStateNotOurs = -1,  // another setting, or not a display state
  kDisplayOff = 0,
  kDisplayOn = 1,
  kDisplayDimmed = 2,
};

// Asks the system to tell `window` of the display state (Windows 8 and
// later: the state of the session's displays; Vista and 7: the monitors'
// power),
// looked up at run time. Null where the system has neither; the system
// then tells nothing, and frames go on as always.
HANDLE registerDisplayState(HWND window);
void unregisterDisplayState(HANDLE registration);

// The state a WM_POWERBROADCAST of PBT_POWERSETTINGCHANGE carries in
// `lParam`.
DisplayState displayStateIn(LPARAM lParam);
