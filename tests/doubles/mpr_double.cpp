// Stands in for the system's "mpr.dll" change-password service: records what
// it was asked and returns at once, as if the user had closed the dialog.
#include <stdint.h>
#include <stdio.h>

#include "double_record.h"

extern "C" DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND owner, DWORD reserved1,
                                           DWORD reserved2) {
  char line[160];
  snprintf(line, sizeof(line), "change provider=%.40s owner=%llx reserved=%lu,%lu",
           provider != nullptr ? provider : "(null)",
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(owner)),
           static_cast<unsigned long>(reserved1), static_cast<unsigned long>(reserved2));
  doubles::record(line);
  return 0;
}
