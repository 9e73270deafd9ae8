#include "host/display_power_win32.h"

#include "platform/system_imports_win32.h"

namespace {

// The record that kPowerSettingChange points to.
struct PowerSettingBroadcast {
  GUID setting;
  DWORD dataLength;
  UCHAR data[1];
};

// Spelled out: the uuid library would bring the whole table of power GUIDs.
// Windows 8 and later: 0 off, 1 on, 2 dimmed.
const GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
// Vista and 7: 0 off, 1 on.
const GUID kMonitorPowerOn = {
    0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}};

// Windows 8 reports 6.2, and so do later ones to a program that does not
// declare them in its manifest: either way, the console's state exists.
bool hasConsoleDisplayState() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExA(&version)) return false;
  return version.dwMajorVersion > 6 || (version.dwMajorVersion == 6 && version.dwMinorVersion >= 2);
}

}  // namespace

HANDLE registerDisplayState(HWND window) {
  RegisterPowerSettingNotificationProc registerSetting =
      findImport(kRegisterPowerSettingNotification);
  if (registerSetting == nullptr) return nullptr;
  const GUID& setting = hasConsoleDisplayState() ? kConsoleDisplayState : kMonitorPowerOn;
  return registerSetting(window, &setting, 0);  // DEVICE_NOTIFY_WINDOW_HANDLE
}

void unregisterDisplayState(HANDLE registration) {
  if (registration == nullptr) return;
  UnregisterPowerSettingNotificationProc unregisterSetting =
      findImport(kUnregisterPowerSettingNotification);
  if (unregisterSetting != nullptr) unregisterSetting(registration);
}

DisplayState displayStateIn(LPARAM lParam) {
  const PowerSettingBroadcast* broadcast = reinterpret_cast<const PowerSettingBroadcast*>(lParam);
  if (broadcast == nullptr || broadcast->dataLength < sizeof(DWORD)) return kDisplayStateNotOurs;
  if (!IsEqualGUID(broadcast->setting, kConsoleDisplayState) &&
      !IsEqualGUID(broadcast->setting, kMonitorPowerOn)) {
    return kDisplayStateNotOurs;
  }
  DWORD state = 0;
  CopyMemory(&state, broadcast->data, sizeof(state));
  if (state > kDisplayDimmed) return kDisplayStateNotOurs;
  return static_cast<DisplayState>(state);
}
