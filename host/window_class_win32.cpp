#include "host/window_class_win32.h"

#include "platform/failure_report_win32.h"

bool registerWindowClass(HINSTANCE instance, const char* name, WNDPROC procedure, HICON icon,
                         HCURSOR cursor) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = icon;
  windowClass.hCursor = cursor;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = name;
  if (RegisterClassExA(&windowClass) != 0) return true;
  reportSystemFailure("window", "RegisterClassExA", GetLastError());
  return false;
}
