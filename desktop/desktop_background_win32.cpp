// The desktop background, composed with what every Windows since 95 has
// (GDI, the registry) and, where the system has them, the per-monitor
// wallpaper interface and the Windows Imaging Component, both created at
// run time through COM: no import that an older system lacks, no DLL
// beside the .scr. Every failure on the way leaves the desktop colour.
//
// The per-monitor wallpaper interface is declared for Windows 8 targets
// only; the saver targets older systems and asks for it at run time.
#ifndef NTDDI_VERSION
#define NTDDI_VERSION 0x06020000
#endif
#include "desktop/desktop_background_win32.h"

#include <objbase.h>
#include <shobjidl.h>
#include <stdlib.h>

#include "desktop/desktop_background.h"
#include "desktop/wic_picture_win32.h"
#include "platform/system_imports_win32.h"

namespace {

// The class and interface identifiers, spelled out: taken from the uuid
// library they bring whole tables of the shell's identifiers along, some
// 37 KB of the .scr.
const GUID kDesktopWallpaperClass = {
    0xc2cf3110, 0x460e, 0x4fc1, {0xb9, 0xd0, 0x8a, 0x1c, 0x0c, 0x9c, 0xc4, 0xbd}};
const GUID kDesktopWallpaperInterface = {
    0xb92b56a9, 0x8b55, 0x4e14, {0x9a, 0x89, 0x01, 0x99, 0xbb, 0xb6, 0xf9, 0x3b}};
const int kMaxWallpapers = 16;

// One monitor's picture: the file, and where it goes.
struct WallpaperJob {
  ScreenRect monitor;
  WCHAR path[MAX_PATH];
  WallpaperStyle style;
};

// Wide text helpers of our own: 95/98 have only stubs of the system's.
void copyWide(WCHAR* to, const WCHAR* from) {
  int i = 0;
  for (; i < MAX_PATH - 1 && from[i] != 0; ++i) to[i] = from[i];
  to[i] = 0;
}

bool sameWide(const WCHAR* a, const WCHAR* b) {
  for (; *a != 0 && *a == *b; ++a, ++b) {
  }
  return *a == *b;
}

// The text of a value under Control Panel\Desktop, strings as they are and
// numbers in decimal; false when it is missing.
bool readDesktopValue(HKEY key, const char* name, char (&text)[32]) {
  DWORD type = 0;
  BYTE data[64] = {};
  DWORD size = sizeof(data) - 2;
  if (RegQueryValueExA(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS) return false;
  if (type == REG_DWORD && size == sizeof(DWORD)) {
    DWORD number = 0;
    CopyMemory(&number, data, sizeof(number));
    wsprintfA(text, "%lu", static_cast<unsigned long>(number));
    return true;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  lstrcpynA(text, reinterpret_cast<const char*>(data), sizeof(text));
  return true;
}

WallpaperStyle storedStyle() {
  char style[32] = "0";
  char tile[32] = "0";
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    if (!readDesktopValue(key, "WallpaperStyle", style)) lstrcpyA(style, "0");
    if (!readDesktopValue(key, "TileWallpaper", tile)) lstrcpyA(tile, "0");
    RegCloseKey(key);
  }
  return wallpaperStyleFromTexts(style, tile);
}

// The wallpaper the desktop shows on every monitor (a slideshow's current
// picture included); empty when there is none. The wide form keeps any
// name; 95/98 have only the narrow one.
void storedWallpaperPath(WCHAR (&path)[MAX_PATH]) {
  path[0] = 0;
  SystemParametersInfoWProc wide = findImport(kSystemParametersInfoW);
  if (wide != nullptr && wide(SPI_GETDESKWALLPAPER, MAX_PATH, path, 0)) return;
  char narrow[MAX_PATH] = {};
  path[0] = 0;
  if (!SystemParametersInfoA(SPI_GETDESKWALLPAPER, MAX_PATH, narrow, 0)) return;
  if (MultiByteToWideChar(CP_ACP, 0, narrow, -1, path, MAX_PATH) == 0) path[0] = 0;
}

// Each monitor's wallpaper as the per-monitor interface (Windows 8 and
// later) reports it; 0 when the system has no such interface or it lists
// no monitor. A monitor without a path of its own (a slideshow's, for one)
// gets `fallbackPath`.
int perMonitorWallpapers(const WCHAR* fallbackPath, WallpaperJob* jobs, int capacity) {
  IDesktopWallpaper* wallpaper = nullptr;
  if (FAILED(CoCreateInstance(kDesktopWallpaperClass, nullptr, CLSCTX_ALL, kDesktopWallpaperInterface,
                              reinterpret_cast<void**>(&wallpaper)))) {
    return 0;
  }
  int count = 0;
  UINT monitors = 0;
  DESKTOP_WALLPAPER_POSITION position = DWPOS_FILL;
  if (SUCCEEDED(wallpaper->GetMonitorDevicePathCount(&monitors)) &&
      SUCCEEDED(wallpaper->GetPosition(&position))) {
    for (UINT i = 0; i < monitors && count < capacity; ++i) {
      LPWSTR id = nullptr;
      if (FAILED(wallpaper->GetMonitorDevicePathAt(i, &id)) || id == nullptr) continue;
      RECT rect;
      LPWSTR path = nullptr;
      // Monitors that are listed but not attached have no rectangle.
      if (wallpaper->GetMonitorRECT(id, &rect) == S_OK) {
        WallpaperJob& job = jobs[count++];
        job.monitor = {rect.left, rect.top, rect.right, rect.bottom};
        job.style = wallpaperStyleFromPosition(position);
        const WCHAR* chosen = fallbackPath;
        if (SUCCEEDED(wallpaper->GetWallpaper(id, &path)) && path != nullptr && path[0] != 0) {
          chosen = path;
        }
        copyWide(job.path, chosen);
      }
      CoTaskMemFree(path);
      CoTaskMemFree(id);
    }
  }
  wallpaper->Release();
  return count;
}

// The stored wallpaper, one style for all, on each of the saver's monitors.
int storedWallpapers(const MonitorArea* monitors, int monitorCount, const WCHAR* path,
                     WallpaperJob* jobs, int capacity) {
  WallpaperStyle style = storedStyle();
  int count = 0;
  for (int i = 0; i < monitorCount && count < capacity; ++i) {
    WallpaperJob& job = jobs[count++];
    job.monitor = monitors[i].rect;
    job.style = style;
    copyWide(job.path, path);
  }
  return count;
}

void describePixels(BITMAPINFO* info, int width, int height) {
  ZeroMemory(info, sizeof(*info));
  info->bmiHeader.biSize = sizeof(info->bmiHeader);
  info->bmiHeader.biWidth = width;
  info->bmiHeader.biHeight = -height;  // top-down
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = 32;
  info->bmiHeader.biCompression = BI_RGB;
}

// The picture repeated across `width` pixels from its left edge, one row
// of tiles, in a new malloc'ed buffer (null when there is no memory for
// it): small tiles would otherwise take one drawing call each, tens of
// thousands for a pattern of a few pixels.
unsigned char* rowOfTiles(const DecodedPicture& picture, int width) {
  unsigned char* pixels =
      static_cast<unsigned char*>(malloc(static_cast<size_t>(width) * picture.height * 4));
  if (pixels == nullptr) return nullptr;
  const unsigned* tileRow = reinterpret_cast<const unsigned*>(picture.pixels);
  unsigned* row = reinterpret_cast<unsigned*>(pixels);
  for (int y = 0; y < picture.height; ++y, row += width, tileRow += picture.width) {
    for (int x = 0; x < width; ++x) row[x] = tileRow[x % picture.width];
  }
  return pixels;
}

// Draws the picture at its placement on the DC, whose logical coordinates
// are the desktop's. Scaled pictures go through a halftone stretch, which
// averages the pixels it merges instead of dropping them.
void drawPlaced(HDC dc, const DecodedPicture& picture, const WallpaperPlacement& placement) {
  const ScreenRect& clip = placement.clip;
  if (clip.right <= clip.left || clip.bottom <= clip.top) return;
  const ScreenRect& at = placement.destination;
  int width = at.right - at.left;
  int height = at.bottom - at.top;
  const unsigned char* pixels = picture.pixels;
  int pixelsWidth = picture.width;
  int pixelsHeight = picture.height;
  unsigned char* tiles = nullptr;
  // Tiles: rows of them from the first to the clip's right edge, 1:1, one
  // under the other down to its bottom edge.
  int rowsBottom = at.bottom;
  if (placement.tiled) {
    width = pixelsWidth = clip.right - at.left;
    tiles = rowOfTiles(picture, width);
    if (tiles == nullptr) return;
    pixels = tiles;
    rowsBottom = clip.bottom;
  }
  BITMAPINFO info;
  describePixels(&info, pixelsWidth, pixelsHeight);
  int saved = SaveDC(dc);
  IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
  bool scaled = width != pixelsWidth || height != pixelsHeight;
  SetStretchBltMode(dc, scaled ? HALFTONE : COLORONCOLOR);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  for (int y = at.top; y < rowsBottom; y += height) {
    StretchDIBits(dc, at.left, y, width, height, 0, 0, pixelsWidth, pixelsHeight, pixels, &info,
                  DIB_RGB_COLORS, SRCCOPY);
  }
  RestoreDC(dc, saved);
  free(tiles);
}

// Draws every job's wallpaper; a picture shared by several monitors is
// decoded once.
void drawWallpapers(HDC dc, const WallpaperJob* jobs, int count, const ScreenRect& bounds) {
  IWICImagingFactory* factory = createWicFactory();
  if (factory == nullptr) return;
  DecodedPicture picture;
  const WCHAR* decodedPath = nullptr;
  bool decoded = false;
  for (int i = 0; i < count; ++i) {
    const WallpaperJob& job = jobs[i];
    if (job.path[0] == 0) continue;
    if (decodedPath == nullptr || !sameWide(decodedPath, job.path)) {
      releaseDecodedPicture(&picture);
      decoded = decodeWicPicture(factory, job.path, &picture);
      decodedPath = job.path;
    }
    if (!decoded) continue;
    drawPlaced(dc, picture,
               placeWallpaper(job.monitor, bounds, picture.width, picture.height, job.style));
  }
  releaseDecodedPicture(&picture);
  factory->Release();
}

}  // namespace

bool runsOnUsersDesktop() {
  GetThreadDesktopProc threadDesktop = findImport(kGetThreadDesktop);
  GetUserObjectInformationAProc information = findImport(kGetUserObjectInformationA);
  if (threadDesktop == nullptr || information == nullptr) return true;
  HDESK desktop = threadDesktop(GetCurrentThreadId());
  char name[256] = {};
  DWORD needed = 0;
  if (desktop == nullptr || !information(desktop, UOI_NAME, name, sizeof(name) - 1, &needed)) {
    return true;
  }
  return isUsersDesktopName(name);
}

bool composeDesktopBackground(const MonitorArea* monitors, int count, const ScreenRect& bounds,
                              DesktopCopy* copy) {
  *copy = DesktopCopy();
  int width = bounds.right - bounds.left;
  int height = bounds.bottom - bounds.top;
  if (width <= 0 || height <= 0 || !newDesktopCopy(width, height, copy)) return false;
  MemoryDc dcs;
  if (!openMemoryDc(nullptr, &dcs)) {
    releaseDesktopCopy(copy);
    return false;
  }
  HDC memory = dcs.memory;
  HGDIOBJ previous = SelectObject(memory, copy->bitmap);
  RECT all = {0, 0, width, height};
  HBRUSH colour = CreateSolidBrush(GetSysColor(COLOR_DESKTOP));
  if (colour != nullptr) {
    FillRect(memory, &all, colour);
    DeleteObject(colour);
  }
  // From here on the DC counts in desktop coordinates.
  SetViewportOrgEx(memory, -bounds.left, -bounds.top, nullptr);

  bool comStarted = SUCCEEDED(CoInitialize(nullptr));
  WCHAR path[MAX_PATH];
  storedWallpaperPath(path);
  WallpaperJob* jobs = static_cast<WallpaperJob*>(malloc(sizeof(WallpaperJob) * kMaxWallpapers));
  if (jobs != nullptr) {
    int jobCount = perMonitorWallpapers(path, jobs, kMaxWallpapers);
    if (jobCount == 0) jobCount = storedWallpapers(monitors, count, path, jobs, kMaxWallpapers);
    drawWallpapers(memory, jobs, jobCount, bounds);
    free(jobs);
  }
  if (comStarted) CoUninitialize();

  // The drawing may still sit in GDI's per-thread batch.
  GdiFlush();
  SelectObject(memory, previous);
  closeMemoryDc(dcs);
  return true;
}
