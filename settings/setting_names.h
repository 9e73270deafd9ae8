#pragma once
// Where the settings live: one key under HKEY_CURRENT_USER, created by the
// installer, with three text values. The names are the stored ones and must
// never change, or existing installations lose their settings.
// Pure data: no platform headers.

extern const char* const kSettingsKeyPath;  // "Software\Tessaly\Glimmerwatch"
extern const char* const kResolutionValue;  // a mode text, see mode_text.h
extern const char* const kShowTimeValue;    // flag text, see setting_flags.h
extern const char* const kShowFpsValue;     // flag text
