// Run-time lookups of optional system functions.
#include "platform/system_imports_win32.h"

FARPROC findExport(HMODULE module, const char* name) {
  return module == nullptr ? nullptr : GetProcAddress(module, name);
}

FARPROC findLoadedExport(const char* module, const char* name) {
  return findExport(GetModuleHandleA(module), name);
}

FARPROC findGlExtension(const char* name) {
  // Some drivers answer a missing function with a small integer instead of
  // null; none of those is an address.
  PROC address = wglGetProcAddress(name);
  ULONG_PTR value = reinterpret_cast<ULONG_PTR>(address);
  if (value <= 3 || value == static_cast<ULONG_PTR>(-1)) return nullptr;
  return address;
}
