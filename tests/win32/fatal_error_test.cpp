// The fatal-error report from inside the saver's own process: under Wine,
// and on Windows for a dynamic change, only the process that switched the
// display sees the switched mode, so the order "restore, then show the box"
// can only be checked from within. The check runs in a death-test child:
// reportError ends its process.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>

#include "host/saver_app.h"
#include "settings/display_mode_win32.h"

namespace {

// Exit codes the watcher ends the child with when the check fails; the
// report's own exit code is 1.
const UINT kModeNotRestored = 2;
const UINT kNoErrorBox = 3;

DWORD currentBits() {
  DEVMODEA mode = {};
  mode.dmSize = sizeof(mode);
  if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return 0;
  return mode.dmBitsPerPel;
}

DWORD storedBits = 0;

struct BoxSearch {
  HWND found;
};

BOOL CALLBACK findErrorBox(HWND window, LPARAM context) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char title[16] = {};
  GetWindowTextA(window, title, sizeof title);
  if (process == GetCurrentProcessId() && strcmp(title, "Error") == 0 && IsWindowVisible(window)) {
    reinterpret_cast<BoxSearch*>(context)->found = window;
    return FALSE;
  }
  return TRUE;
}

// Waits for the "Error" box, reads the mode this process sees while the box
// is up, and either dismisses the box (the mode is already the stored one)
// or ends the process with a code that names the fault.
DWORD WINAPI watchErrorBox(LPVOID) {
  for (int tries = 0; tries < 200; ++tries) {
    BoxSearch search = {nullptr};
    EnumWindows(findErrorBox, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      if (currentBits() != storedBits) ExitProcess(kModeNotRestored);
      PostMessageA(search.found, WM_COMMAND, IDOK, 0);
      return 0;
    }
    Sleep(50);
  }
  ExitProcess(kNoErrorBox);
}

// Switches this process to 16 bits per pixel at the screen's own size (the
// one other depth Wine switches to), then fails as the saver would.
void switchThenFail() {
  storedBits = currentBits();
  char modeText[64];
  snprintf(modeText, sizeof modeText, "%dx%dx16", GetSystemMetrics(SM_CXSCREEN),
           GetSystemMetrics(SM_CYSCREEN));
  if (switchDisplayMode(modeText) != kModeApplied || currentBits() != 16) {
    fprintf(stderr, "the switch to %s did not happen\n", modeText);
    ExitProcess(4);
  }
  CreateThread(nullptr, 0, watchErrorBox, nullptr, 0, nullptr);
  saverApp.reportError("Can not create window.");
}

}  // namespace

TEST(FatalError, TheStoredModeIsBackBeforeTheErrorBoxShows) {
  ASSERT_NE(16u, currentBits()) << "the test needs a desktop deeper than 16 bits";
  // Exit code 1 is the report's own; 2 means the box showed over the
  // switched mode, 3 that no box showed.
  EXPECT_EXIT(switchThenFail(), ::testing::ExitedWithCode(1), "");
}
