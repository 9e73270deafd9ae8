// The desktop background, composed with what every Windows since 95 has
// (GDI, the registry) and, where the system has them, the per-monitor
// wallpaper object and the Windows Imaging Component, both created at run
// time through COM: no import that an older system lacks, no DLL beside
// the .scr. Every failure on the way leaves the desktop colour.
//
// Nothing here may hold the saver's start-up for long: the wallpaper object
// lives in the shell's process and answers only when the shell does, and a
// wallpaper may sit on a share that does not answer. Both the object's
// questions and the decoding run on worker threads that the saver waits for
// a bounded time, then leaves behind.
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

#include "desktop/bounded_task_win32.h"
#include "desktop/desktop_background.h"
#include "desktop/wallpaper_picture_win32.h"
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
// How long the saver waits for the wallpaper object, and then for the
// pictures: past that it goes on without them.
const DWORD kObjectWaitMs = 1000;
const DWORD kDecodeWaitMs = 1000;

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

// Appends narrow `tail` to `path`; false when it does not fit.
bool appendWide(WCHAR (&path)[MAX_PATH], const char* tail) {
  int at = 0;
  while (path[at] != 0) ++at;
  for (; *tail != 0; ++tail, ++at) {
    if (at >= MAX_PATH - 1) return false;
    path[at] = static_cast<WCHAR>(static_cast<unsigned char>(*tail));
  }
  path[at] = 0;
  return true;
}

// What the wallpaper object says of the desktop: each monitor's rectangle
// and picture, the style and the colour.
struct ObjectMonitor {
  ScreenRect rect;
  int index;  // in the object's list, which numbers Windows' copies
  ObjectAnswer answer;
  WCHAR path[MAX_PATH];
};

struct ObjectQuery {
  SharedTask task;
  int count;  // 0: no object, or it listed no monitor
  WallpaperStyle style;
  bool hasColour;
  COLORREF colour;
  ObjectMonitor monitors[kMaxWallpapers];
};

void releaseObjectQuery(SharedTask* task) { free(task); }

// Asks the wallpaper object (Windows 8 and later) in an apartment of the
// worker's own.
void queryWallpaperObject(SharedTask* task) {
  ObjectQuery* query = reinterpret_cast<ObjectQuery*>(task);
  bool comStarted = SUCCEEDED(CoInitialize(nullptr));
  IDesktopWallpaper* wallpaper = nullptr;
  UINT listed = 0;
  DESKTOP_WALLPAPER_POSITION position = DWPOS_FILL;
  if (SUCCEEDED(CoCreateInstance(kDesktopWallpaperClass, nullptr, CLSCTX_ALL,
                                 kDesktopWallpaperInterface,
                                 reinterpret_cast<void**>(&wallpaper))) &&
      SUCCEEDED(wallpaper->GetMonitorDevicePathCount(&listed)) &&
      SUCCEEDED(wallpaper->GetPosition(&position))) {
    query->style = wallpaperStyleFromPosition(position);
    query->hasColour = SUCCEEDED(wallpaper->GetBackgroundColor(&query->colour));
    for (UINT i = 0; i < listed && query->count < kMaxWallpapers; ++i) {
      LPWSTR id = nullptr;
      if (FAILED(wallpaper->GetMonitorDevicePathAt(i, &id)) || id == nullptr) continue;
      RECT rect;
      LPWSTR path = nullptr;
      // Monitors that are listed but not attached have no rectangle.
      if (wallpaper->GetMonitorRECT(id, &rect) == S_OK) {
        ObjectMonitor& monitor = query->monitors[query->count++];
        monitor.rect = {rect.left, rect.top, rect.right, rect.bottom};
        monitor.index = static_cast<int>(i);
        monitor.path[0] = 0;
        // An empty path with success is a monitor showing the colour; a
        // failure says nothing about it.
        monitor.answer = kObjectSilent;
        if (wallpaper->GetWallpaper(id, &path) == S_OK && path != nullptr) {
          monitor.answer = path[0] == 0 ? kObjectNoPicture : kObjectPicture;
          copyWide(monitor.path, path);
        }
      }
      CoTaskMemFree(path);
      CoTaskMemFree(id);
    }
  }
  if (wallpaper != nullptr) wallpaper->Release();
  if (comStarted) CoUninitialize();
}

// One monitor's picture: the files to try in order, and the one decoded.
struct WallpaperJob {
  ScreenRect monitor;
  int candidateCount;
  WCHAR candidates[kWallpaperSourceCount][MAX_PATH];
  int chosen;       // the candidate decoded; -1: none
  int sharedWith;   // an earlier job whose picture this one shows; -1: its own
  DecodedPicture picture;
};

struct DecodeTask {
  SharedTask task;
  int count;
  WallpaperJob jobs[kMaxWallpapers];
};

void releaseDecodeTask(SharedTask* task) {
  DecodeTask* decode = reinterpret_cast<DecodeTask*>(task);
  for (int i = 0; i < decode->count; ++i) releaseDecodedPicture(&decode->jobs[i].picture);
  free(decode);
}

// Decodes each job's first candidate that decodes; a file already decoded
// for an earlier monitor is not read again.
void decodeWallpapers(SharedTask* task) {
  DecodeTask* decode = reinterpret_cast<DecodeTask*>(task);
  bool comStarted = SUCCEEDED(CoInitialize(nullptr));
  IWICImagingFactory* factory = createWicFactory();
  for (int i = 0; i < decode->count; ++i) {
    WallpaperJob& job = decode->jobs[i];
    for (int c = 0; c < job.candidateCount && job.chosen < 0 && job.sharedWith < 0; ++c) {
      const WCHAR* path = job.candidates[c];
      if (path[0] == 0) continue;
      for (int earlier = 0; earlier < i; ++earlier) {
        const WallpaperJob& done = decode->jobs[earlier];
        if (done.chosen >= 0 && sameWide(done.candidates[done.chosen], path)) {
          job.sharedWith = earlier;
        }
      }
      if (job.sharedWith >= 0) break;
      bool decoded = factory != nullptr ? decodeWicPicture(factory, path, &job.picture)
                                        : decodeBmpPicture(path, &job.picture);
      if (decoded) job.chosen = c;
    }
  }
  if (factory != nullptr) factory->Release();
  if (comStarted) CoUninitialize();
}

// The text of a value under a key of the user's, strings as they are and
// numbers in decimal; false when it is missing.
bool readUserValue(const char* keyName, const char* name, char (&text)[32]) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  BYTE data[64] = {};
  DWORD size = sizeof(data) - 2;
  bool read = RegQueryValueExA(key, name, nullptr, &type, data, &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (!read) return false;
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

const char kDesktopKey[] = "Control Panel\\Desktop";
const char kPolicyKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

// The style from the policy where it sets one, else the user's.
WallpaperStyle registryStyle() {
  char text[32];
  WallpaperStyle policy = kWallpaperCentre;
  bool policySets = readUserValue(kPolicyKey, "WallpaperStyle", text) &&
                    wallpaperStyleFromPolicyText(text, &policy);
  char style[32] = "0";
  char tile[32] = "0";
  if (!readUserValue(kDesktopKey, "WallpaperStyle", style)) lstrcpyA(style, "0");
  if (!readUserValue(kDesktopKey, "TileWallpaper", tile)) lstrcpyA(tile, "0");
  return chooseWallpaperStyle(false, kWallpaperCentre, policySets, policy,
                              wallpaperStyleFromTexts(style, tile));
}

// The wallpaper a group policy sets; empty when none. Read wide, where
// 95/98 have only a stub, then narrow.
void policyWallpaperPath(WCHAR (&path)[MAX_PATH]) {
  path[0] = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kPolicyKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD type = 0;
  DWORD size = sizeof(path) - sizeof(WCHAR);
  RegQueryValueExWProc queryWide = findImport(kRegQueryValueExW);
  if (queryWide == nullptr ||
      queryWide(key, L"Wallpaper", nullptr, &type, reinterpret_cast<BYTE*>(path), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    char narrow[MAX_PATH] = {};
    size = sizeof(narrow) - 1;
    path[0] = 0;
    if (RegQueryValueExA(key, "Wallpaper", nullptr, &type, reinterpret_cast<BYTE*>(narrow),
                         &size) == ERROR_SUCCESS &&
        type == REG_SZ && MultiByteToWideChar(CP_ACP, 0, narrow, -1, path, MAX_PATH) == 0) {
      path[0] = 0;
    }
  } else {
    path[size / sizeof(WCHAR) < MAX_PATH ? size / sizeof(WCHAR) : MAX_PATH - 1] = 0;
  }
  RegCloseKey(key);
}

// The wallpaper the user chose; empty when there is none. The wide form
// keeps any name; 95/98 have only the narrow one.
void userWallpaperPath(WCHAR (&path)[MAX_PATH]) {
  path[0] = 0;
  SystemParametersInfoWProc wide = findImport(kSystemParametersInfoW);
  if (wide != nullptr && wide(SPI_GETDESKWALLPAPER, MAX_PATH, path, 0)) return;
  char narrow[MAX_PATH] = {};
  path[0] = 0;
  if (!SystemParametersInfoA(SPI_GETDESKWALLPAPER, MAX_PATH, narrow, 0)) return;
  if (MultiByteToWideChar(CP_ACP, 0, narrow, -1, path, MAX_PATH) == 0) path[0] = 0;
}

// Windows' copy of what the desktop shows, "TranscodedWallpaper", or with
// `monitor` at 0 or more the monitor's own, "Transcoded_000" onwards (a
// slideshow's and the daily picture's too); empty where the system keeps
// no such folder.
void transcodedPath(int monitor, WCHAR (&path)[MAX_PATH]) {
  GetEnvironmentVariableWProc variable = findImport(kGetEnvironmentVariableW);
  DWORD length = variable == nullptr ? 0 : variable(L"APPDATA", path, MAX_PATH);
  char tail[64];
  if (monitor < 0) {
    lstrcpyA(tail, "\\Microsoft\\Windows\\Themes\\TranscodedWallpaper");
  } else {
    wsprintfA(tail, "\\Microsoft\\Windows\\Themes\\Transcoded_%03d", monitor);
  }
  if (length == 0 || length >= MAX_PATH || !appendWide(path, tail)) path[0] = 0;
}

// Fills the decoding jobs, one for each of the saver's monitors, each with
// the files to try in order. `object` is what the wallpaper object said,
// null when it said nothing in time; a monitor it does not list at the
// same rectangle is one its list has not caught up with, and takes what a
// silent object leaves.
void planJobs(const ObjectQuery* object, const MonitorArea* monitors, int monitorCount,
              DecodeTask* decode) {
  WCHAR policy[MAX_PATH];
  WCHAR user[MAX_PATH];
  WCHAR transcoded[MAX_PATH];
  policyWallpaperPath(policy);
  userWallpaperPath(user);
  transcodedPath(-1, transcoded);
  int count = monitorCount < kMaxWallpapers ? monitorCount : kMaxWallpapers;
  ScreenRect objectRects[kMaxWallpapers];
  int objectCount = object != nullptr ? object->count : 0;
  for (int i = 0; i < objectCount; ++i) objectRects[i] = object->monitors[i].rect;
  int matches[kMaxWallpapers];
  matchObjectMonitors(objectRects, objectCount, monitors, count, matches);
  for (int i = 0; i < count; ++i) {
    WallpaperJob& job = decode->jobs[i];
    const ObjectMonitor* answered = matches[i] >= 0 ? &object->monitors[matches[i]] : nullptr;
    job.monitor = monitors[i].rect;
    ObjectAnswer answer = answered != nullptr ? answered->answer : kObjectSilent;
    WallpaperSource order[kWallpaperSourceCount];
    job.candidateCount = wallpaperSources(answer, order);
    job.chosen = -1;
    job.sharedWith = -1;
    job.picture = DecodedPicture();
    for (int c = 0; c < job.candidateCount; ++c) {
      WCHAR(&path)[MAX_PATH] = job.candidates[c];
      switch (order[c]) {
        case kSourceObjectPath:
          copyWide(path, answered->path);
          break;
        case kSourceMonitorTranscoded:
          transcodedPath(answered != nullptr ? answered->index : i, path);
          break;
        case kSourceTranscoded:
          copyWide(path, transcoded);
          break;
        case kSourcePolicy:
          copyWide(path, policy);
          break;
        case kSourceUser:
          copyWide(path, user);
          break;
      }
    }
  }
  decode->count = count;
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
  describeTopDownPixels(&info, pixelsWidth, pixelsHeight);
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

// Asks the wallpaper object, waiting for it a bounded time; null when it
// gave no answer in time (or there is none): the registry's answers then
// stand, and the object is never touched again.
ObjectQuery* askWallpaperObject() {
  ObjectQuery* query = static_cast<ObjectQuery*>(calloc(1, sizeof(ObjectQuery)));
  if (query == nullptr) return nullptr;
  query->task.work = queryWallpaperObject;
  query->task.release = releaseObjectQuery;
  if (runBounded(&query->task, kObjectWaitMs) && query->count > 0) return query;
  letGo(&query->task);
  return nullptr;
}

// Decodes and draws every monitor's picture; a monitor whose pictures do
// not decode in time keeps the colour.
void drawWallpapers(HDC dc, const ObjectQuery* object, const MonitorArea* monitors,
                    int monitorCount, const ScreenRect& bounds, WallpaperStyle style) {
  DecodeTask* decode = static_cast<DecodeTask*>(calloc(1, sizeof(DecodeTask)));
  if (decode == nullptr) return;
  decode->task.work = decodeWallpapers;
  decode->task.release = releaseDecodeTask;
  planJobs(object, monitors, monitorCount, decode);
  if (runBounded(&decode->task, kDecodeWaitMs)) {
    for (int i = 0; i < decode->count; ++i) {
      const WallpaperJob& job = decode->jobs[i];
      const WallpaperJob& owner = job.sharedWith >= 0 ? decode->jobs[job.sharedWith] : job;
      if (owner.chosen < 0) continue;
      const DecodedPicture& picture = owner.picture;
      drawPlaced(dc, picture,
                 placeWallpaper(job.monitor, bounds, picture.width, picture.height, style));
    }
  }
  letGo(&decode->task);
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
  ObjectQuery* object = askWallpaperObject();
  HDC memory = dcs.memory;
  HGDIOBJ previous = SelectObject(memory, copy->bitmap);
  RECT all = {0, 0, width, height};
  // Windows 10 and later no longer keep the desktop colour in the system
  // colours; the object knows it.
  COLORREF colourValue =
      object != nullptr && object->hasColour ? object->colour : GetSysColor(COLOR_DESKTOP);
  HBRUSH colour = CreateSolidBrush(colourValue);
  if (colour != nullptr) {
    FillRect(memory, &all, colour);
    DeleteObject(colour);
  }
  // From here on the DC counts in desktop coordinates.
  SetViewportOrgEx(memory, -bounds.left, -bounds.top, nullptr);
  WallpaperStyle style = object != nullptr ? object->style : registryStyle();
  drawWallpapers(memory, object, monitors, count, bounds, style);
  if (object != nullptr) letGo(&object->task);

  // The drawing may still sit in GDI's per-thread batch.
  GdiFlush();
  SelectObject(memory, previous);
  closeMemoryDc(dcs);
  return true;
}
