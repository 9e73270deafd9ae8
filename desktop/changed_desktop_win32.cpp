#include "desktop/changed_desktop_win32.h"

#include "desktop/desktop_background_win32.h"

namespace {

const int kMaxMonitors = 16;

// Copies each kept monitor's part of the start picture into the picture,
// pixel for pixel: both are 32-bit DIBs, so GDI copies them unchanged.
bool copyKeptParts(const DesktopCopy& start, const PictureSource* sources, int count,
                   const ScreenRect& bounds, const DesktopCopy& picture) {
  MemoryDc to;
  if (!openMemoryDc(nullptr, &to)) return false;
  HDC from = CreateCompatibleDC(to.source);
  bool copied = from != nullptr;
  if (copied) {
    HGDIOBJ previousTo = SelectObject(to.memory, picture.bitmap);
    HGDIOBJ previousFrom = SelectObject(from, start.bitmap);
    for (int i = 0; i < count; ++i) {
      const PictureSource& source = sources[i];
      if (!source.fromStart) continue;
      const ScreenRect& area = source.area;
      copied = BitBlt(to.memory, area.left - bounds.left, area.top - bounds.top,
                      area.right - area.left, area.bottom - area.top, from, source.startX,
                      source.startY, SRCCOPY) != FALSE &&
               copied;
    }
    // The copies may still sit in GDI's per-thread batch.
    GdiFlush();
    SelectObject(from, previousFrom);
    SelectObject(to.memory, previousTo);
    DeleteDC(from);
  }
  closeMemoryDc(to);
  return copied;
}

}  // namespace

bool composeChangedDesktop(const DesktopCopy& start, const MonitorArea* monitors,
                           const PictureSource* sources, int count, const ScreenRect& bounds,
                           DesktopCopy* picture) {
  // The background only where it shows: a wallpaper placed for a monitor
  // that keeps its picture would be drawn for nothing.
  MonitorArea fresh[kMaxMonitors];
  int freshCount = 0;
  for (int i = 0; i < count && freshCount < kMaxMonitors; ++i) {
    if (!sources[i].fromStart) fresh[freshCount++] = monitors[i];
  }
  if (!composeDesktopBackground(fresh, freshCount, bounds, picture)) return false;
  if (copyKeptParts(start, sources, count, bounds, *picture)) return true;
  releaseDesktopCopy(picture);
  return false;
}
