#pragma once
// The registry-backed settings: text values under one key of the current
// user. The only code that touches the registry.
#include "settings/setting_value.h"

// Reads one value as text. Not ok when the key or the value is missing, the
// value is larger than the buffer, or it fills the buffer without a NUL.
SettingValue readSetting(const char* keyPath, const char* valueName);

// Writes `text` as a REG_SZ value into an existing key; false on failure.
// The key is never created: only the installer creates it.
bool writeSetting(const char* keyPath, const char* valueName, const char* text);
