// The registry-backed settings: three REG_SZ values under one key of the
// current user. The installer creates the key; the program only opens it,
// so a missing key reads as a broken installation and is never recreated.
#include "settings/settings_store_win32.h"

#include <windows.h>
#include <string.h>

namespace {

HKEY openSettingsKey(const char* keyPath) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

}  // namespace

SettingValue readSetting(const char* keyPath, const char* valueName) {
  SettingValue value;
  value.ok = false;
  memset(value.text, 0, sizeof(value.text));

  HKEY key = openSettingsKey(keyPath);
  if (key == nullptr) return value;
  DWORD size = sizeof(value.text);
  LONG result = RegQueryValueExA(key, valueName, nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(value.text), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return value;

  // Stored data need not end with a NUL. Data that fills the whole buffer
  // without one would lose its last byte, so it counts as unreadable rather
  // than being cut short silently.
  if (memchr(value.text, '\0', sizeof(value.text)) == nullptr) return value;
  value.ok = true;
  return value;
}

bool writeSetting(const char* keyPath, const char* valueName, const char* text) {
  HKEY key = openSettingsKey(keyPath);
  if (key == nullptr) return false;
  LONG result = RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                               static_cast<DWORD>(strlen(text) + 1));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}
