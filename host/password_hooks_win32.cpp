// The screen-saver password services of the 95/98 family: the check when
// the saver is asked to close, and the change requested by the control
// panel. NT-family systems lock the session themselves.
#include <stdio.h>
#include <string.h>

#include "host/saver_app.h"
#include "platform/failure_report_win32.h"
#include "platform/system_imports_win32.h"

namespace {

const char kCheckStage[] = "password check";
const char kChangeStage[] = "password change";

// Loads a system module from the system folder by its full path. A bare
// name would be searched for in the program's folder and the current
// directory first, where a planted module would run inside the saver.
HMODULE loadSystemModule(const char* stage, const char* fileName) {
  char path[MAX_PATH];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length + 1 + strlen(fileName) + 1 > sizeof(path)) {
    reportFailure(stage, "no path in the system folder for %s", fileName);
    return nullptr;
  }
  if (path[length - 1] != '\\') path[length++] = '\\';
  strcpy(path + length, fileName);
  HMODULE module = LoadLibraryA(path);
  if (module == nullptr) {
    DWORD error = GetLastError();
    char call[MAX_PATH + 16];
    snprintf(call, sizeof call, "LoadLibraryA of %s", path);
    reportSystemFailure(stage, call, error);
  }
  return module;
}

// The service's function in the module loaded for it; the cause of a
// failure goes to the debugger.
template <typename Proc>
Proc findService(const char* stage, HMODULE module, const SystemImport<Proc>& import) {
  Proc service = findImport(module, import);
  if (service == nullptr && module != nullptr) {
    DWORD error = GetLastError();
    char call[64];
    snprintf(call, sizeof call, "GetProcAddress of %s", import.name);
    reportSystemFailure(stage, call, error);
  }
  return service;
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
  HMODULE module = loadSystemModule(kCheckStage, kVerifyScreenSavePwd.module);
  if (module == nullptr) reportError("Can not load library 'password.cpl'.");
  VerifyScreenSavePwdProc verify = findService(kCheckStage, module, kVerifyScreenSavePwd);
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
  HMODULE module = loadSystemModule(kChangeStage, kPwdChangePasswordA.module);
  if (module == nullptr) {
    MessageBoxA(owner, "Can not load library mpr.dll", nullptr, MB_OK);
    return;
  }
  PwdChangePasswordAProc change = findService(kChangeStage, module, kPwdChangePasswordA);
  if (change == nullptr) {
    FreeLibrary(module);
    MessageBoxA(owner, "Can not load library mpr.dll", nullptr, MB_OK);
    return;
  }
  change("SCRSAVE", owner, 0, 0);
  FreeLibrary(module);
}
