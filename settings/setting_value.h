#pragma once
// One registry value read as text.

enum { kSettingBufferSize = 260 };  // bytes, terminating NUL included

struct SettingValue {
  bool ok;                        // false: missing, unreadable or too large
  char text[kSettingBufferSize];  // always NUL-terminated when ok
};
