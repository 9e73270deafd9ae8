#pragma once
// Flags are stored as text; only the exact text "1" means on, so " 1", "01"
// and "true" all leave a feature off.
bool settingFlagIsOn(const char* text);

// The text written back for a flag: "1" or "0".
const char* settingFlagText(bool on);
