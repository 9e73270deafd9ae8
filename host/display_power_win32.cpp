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
// Windows 8 and later: the displays of the session the saver runs in, 0
// off, 1 on, 2 dimmed. The console's own state would darken a saver in a
// Remote Desktop session whenever the machine's screen sleeps.
const GUID kSessionDisplayStatus = {
    0x2b84c20e, 0xad23, 0x4ddf, {0x93, 0xdb, 0x05, 0xff, 0xbd, 0x7e, 0xfc, 0xa5}};
// Vista and 7: 0 off, 1 on.
const GUID kMonitorPowerOn = {
    0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}};

// Windows 8 reports 6.2, and so do later ones to a program that does not
// declare them in its manifest: either way, the session's state exists.
bool hasSessionDisplayStatus() {
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
  const GUID& setting = hasSessionDisplayStatus() ? kSessionDisplayStatus : kMonitorPowerOn;
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
  if (!IsEqualGUID(broadcast->setting, kSessionDisplayStatus) &&
      !IsEqualGUID(broadcast->setting, kMonitorPowerOn)) {
    return kDisplayStateNotOurs;
  }
  DWORD state = 0;
  CopyMemory(&state, broadcast->data, sizeof(state));
  if (state > kDisplayDimmed) return kDisplayStateNotOurs;
  return static_cast<DisplayState>(state);
}
