// The screen-saver password services of the 95/98 family: the check when
// the saver is asked to close, and the change requested by the control
// panel. NT-family systems lock the session themselves.
#include <string.h>

#include "host/saver_app.h"
#include "platform/system_imports_win32.h"

namespace {

// Loads a system module from the system folder by its full path. A bare
// name would be searched for in the program's folder and the current
// directory first, where a planted module would run inside the saver.
HMODULE loadSystemModule(const char* fileName) {
  char path[MAX_PATH];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length + 1 + strlen(fileName) + 1 > sizeof(path)) return nullptr;
  if (path[length - 1] != '\\') path[length++] = '\\';
  strcpy(path + length, fileName);
  return LoadLibraryA(path);
}

bool isNtFamily() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  GetVersionExA(&version);
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace

int SaverApp::verifyPassword(HWND hwnd) {
  modalActive = true;

  // Black first, on every system: the user sees the saver react at once,
  // and the password dialog stands on a dark screen.
  RECT client;
  GetClientRect(hwnd, &client);
  HDC dc = GetDC(hwnd);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(hwnd, dc);

  // The bracket stays open on this path: the saver ends right after.
  if (isNtFamily()) return 1;

  ShowCursor(TRUE);
  HMODULE module = loadSystemModule(kVerifyScreenSavePwd.module);
  if (module == nullptr) reportError("Can not load library 'password.cpl'.");
  VerifyScreenSavePwdProc verify = findImport(module, kVerifyScreenSavePwd);
  if (verify == nullptr) reportError("Can not load library 'password.cpl'.");

  BOOL result = verify(hwnd);

  FreeLibrary(module);
  ShowCursor(FALSE);
  centreCursor();
  modalActive = false;
  // A refused password holds the frames back again, so the black screen
  // stays until the user has had a moment to move away.
  frameClock.passwordCheckEnded(timeGetTime());
  return result;
}

void SaverApp::changePassword(HWND owner) {
  HMODULE module = loadSystemModule(kPwdChangePasswordA.module);
  if (module == nullptr) {
    MessageBoxA(owner, "Can not load library mpr.dll", nullptr, MB_OK);
    return;
  }
  PwdChangePasswordAProc change = findImport(module, kPwdChangePasswordA);
  if (change == nullptr) {
    FreeLibrary(module);
    MessageBoxA(owner, "Can not load library mpr.dll", nullptr, MB_OK);
    return;
  }
  change("SCRSAVE", owner, 0, 0);
  FreeLibrary(module);
}
