#pragma once
// The configuration dialog: display mode, clock and FPS counter.
#include <windows.h>

// Ends the program with a message; never returns.
typedef void (*FatalErrorHandler)(const char* message);

// Runs the modal dialog over the settings under `keyPath` (HKEY_CURRENT_USER)
// and writes them back on OK. A setting that cannot be read, or a display
// without a usable mode, goes to `fatalError` while the dialog is up.
INT_PTR showSettingsDialog(HINSTANCE instance, HWND owner, const char* keyPath,
                           FatalErrorHandler fatalError);

// Shared with the saver's start-up, which fails the same way.
extern const char* const kNotInstalledMessage;
