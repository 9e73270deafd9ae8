// Monitor enumeration. The multi-monitor functions are looked up at run
// time: the 95 and NT 4 systems have none, and a static import would keep
// the saver from loading there at all.
#include "host/monitors_win32.h"

#include <windows.h>

#include "platform/system_imports_win32.h"

namespace {

struct MonitorList {
  GetMonitorInfoAProc getInfo;
  MonitorArea* monitors;
  int capacity;
  int count;
};

BOOL CALLBACK addMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
  MonitorList* list = reinterpret_cast<MonitorList*>(context);
  if (list->count == list->capacity) return FALSE;
  // The extended record names the device, which tells a monitor that came
  // back from one that merely took its place.
  MONITORINFOEXA info = {};
  info.cbSize = sizeof(info);
  if (!list->getInfo(monitor, &info)) return TRUE;
  MonitorArea& area = list->monitors[list->count++];
  area.rect.left = info.rcMonitor.left;
  area.rect.top = info.rcMonitor.top;
  area.rect.right = info.rcMonitor.right;
  area.rect.bottom = info.rcMonitor.bottom;
  area.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
  lstrcpynA(area.device, info.szDevice, kMonitorDeviceSize);
  return TRUE;
}

}  // namespace

int listMonitors(MonitorArea* monitors, int capacity) {
  if (capacity <= 0) return 0;
  EnumDisplayMonitorsProc enumerate = findImport(kEnumDisplayMonitors);
  GetMonitorInfoAProc getInfo = findImport(kGetMonitorInfoA);
  if (enumerate != nullptr && getInfo != nullptr) {
    // The result is FALSE also when the list filled up and stopped the
    // enumeration; what was listed counts either way.
    MonitorList list = {getInfo, monitors, capacity, 0};
    enumerate(nullptr, nullptr, addMonitor, reinterpret_cast<LPARAM>(&list));
    if (list.count > 0) return list.count;
  }
  monitors[0].rect.left = 0;
  monitors[0].rect.top = 0;
  monitors[0].rect.right = GetSystemMetrics(SM_CXSCREEN);
  monitors[0].rect.bottom = GetSystemMetrics(SM_CYSCREEN);
  monitors[0].primary = true;
  monitors[0].device[0] = '\0';
  return 1;
}
