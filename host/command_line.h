#pragma once
// Screen-saver command line: which run mode the host asked for.
// Pure logic: no platform headers, so the unit tests build it natively.

// Run-mode tokens; compare them with strcmp, as whole strings.
typedef const char* RunMode;

extern const char* const kRunModeSaver;     // "scr"
extern const char* const kRunModeConfig;    // "cfg"
extern const char* const kRunModePreview;   // "prev"
extern const char* const kRunModePassword;  // "pass"
extern const char* const kRunModeError;     // "error"

// Reads the switch from a whole command line (program path included, as
// GetCommandLineA gives it). Stores the window number that follows the P, L,
// C and A switches in *parentWindow; leaves it alone when there is none.
RunMode parseCommandLineText(const char* line, int* parentWindow);
