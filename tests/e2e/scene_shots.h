#pragma once
// What the scene's tests share: screenshots of the real .scr measured
// against the desktop they started on, the user's wallpaper, and the
// fixture that starts the saver and puts the desktop back.
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>  // timeGetTime: the clock the saver runs on
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "tests/e2e/saver_driver.h"

namespace shots {

using namespace driver;

struct Region {
  int left, top, right, bottom;
};

// Where the texts stand on a screen `height` high, and the middle where the
// eyes show on one of that size.
inline Region clockCorner(int height) { return {0, height - 45, 420, height}; }
inline Region counterCorner() { return {0, 0, 420, 40}; }
inline Region middleOf(int width, int height) {
  return {width / 2 - 300, height / 2 - 150, width / 2 + 300, height / 2 + 150};
}

inline bool isRed(unsigned pixel) {
  unsigned r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  return r > 170 && g < 90 && b < 90;
}

inline bool isGreen(unsigned pixel) {
  unsigned r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  return g > 170 && r < 90 && b < 90;
}

// Whether two pixels differ clearly, more than a rounding or a blur would.
inline bool clearlyDiffers(unsigned a, unsigned b) {
  int d = 0;
  for (int shift = 0; shift < 24; shift += 8)
    d += abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
  return d > 60;
}

// Every count and box of pixels below is one of these: the pixels of the
// region where `differs(shot's pixel, desktop's pixel)`, and their box,
// empty (right <= left) when there are none.
struct Differing {
  int pixels;
  Region box;
};
template <typename Differs>
Differing differing(const Picture& shot, const Picture& desktop, Region region, Differs differs) {
  Differing found = {0, {region.right, region.bottom, region.left, region.top}};
  Region& box = found.box;
  for (int y = region.top; y < region.bottom; ++y) {
    for (int x = region.left; x < region.right; ++x) {
      if (!differs(shot.at(x, y), desktop.at(x, y))) continue;
      ++found.pixels;
      if (x < box.left) box.left = x;
      if (y < box.top) box.top = y;
      if (x >= box.right) box.right = x + 1;
      if (y >= box.bottom) box.bottom = y + 1;
    }
  }
  return found;
}

// Pixels that have the colour now but did not on the desktop.
inline Differing newOf(const Picture& shot, const Picture& desktop, Region region,
                       bool (*colour)(unsigned)) {
  return differing(shot, desktop, region,
                   [colour](unsigned a, unsigned b) { return colour(a) && !colour(b); });
}
inline int countNew(const Picture& shot, const Picture& desktop, Region region,
                    bool (*colour)(unsigned)) {
  return newOf(shot, desktop, region, colour).pixels;
}

// Pixels that differ clearly from the desktop.
inline Differing changedOf(const Picture& shot, const Picture& desktop, Region region) {
  return differing(shot, desktop, region, clearlyDiffers);
}
inline int countChanged(const Picture& shot, const Picture& desktop, Region region) {
  return changedOf(shot, desktop, region).pixels;
}

// Pixels that differ at all between two shots.
inline int countDifferent(const Picture& a, const Picture& b, Region region) {
  return differing(a, b, region, [](unsigned p, unsigned q) { return p != q; }).pixels;
}

// The halves of the middle, where the left and the right eye show.
inline Region leftHalf(Region r) { return {r.left, r.top, (r.left + r.right) / 2, r.bottom}; }
inline Region rightHalf(Region r) { return {(r.left + r.right) / 2, r.top, r.right, r.bottom}; }

// The eyes are spheres seen from the front, so each covers a round disc
// whatever the screen's shape.
inline void expectRoundEyes(const Picture& shot, const Picture& desktop, Region middle) {
  for (Region area : {leftHalf(middle), rightHalf(middle)}) {
    Region disc = changedOf(shot, desktop, area).box;
    int width = disc.right - disc.left, height = disc.bottom - disc.top;
    printf("An eye's disc on %dx%d: %dx%d pixels\n", shot.width, shot.height, width, height);
    EXPECT_GT(height, 40) << "no eye between x " << area.left << " and " << area.right;
    EXPECT_NEAR(1.0, static_cast<double>(width) / (height > 0 ? height : 1), 0.1)
        << "the eye is " << width << "x" << height << " pixels on a " << shot.width << "x"
        << shot.height << " screen";
  }
}

// Where one eye looks. The eye is the box of the pixels the saver changed
// in `area`: the inside of the sphere's far half covers its whole disc.
// Within the disc the white of the eye comes out light (its pale texels,
// squared by the blend, keep red above 140 over any desktop), while the
// green iris and the black pupil leave red below 110 (at most the desktop's
// d(1-d), a quarter). The iris and pupil's centre, counted from the disc's
// middle, is where the eye faces on screen: right of and below it are
// positive.
struct EyeLook {
  Region disc = {0, 0, 0, 0};
  int irisPixels = 0;
  double irisRight = 0.0;  // pixels
  double irisDown = 0.0;
};

inline EyeLook eyeLook(const Picture& shot, const Picture& desktop, Region area) {
  EyeLook look;
  const Region& disc = look.disc = changedOf(shot, desktop, area).box;
  if (disc.right <= disc.left) return look;
  double cx = (disc.left + disc.right) / 2.0, cy = (disc.top + disc.bottom) / 2.0;
  double rx = (disc.right - disc.left) / 2.0, ry = (disc.bottom - disc.top) / 2.0;
  double right = 0.0, down = 0.0;
  for (int y = disc.top; y < disc.bottom; ++y) {
    for (int x = disc.left; x < disc.right; ++x) {
      double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
      if (dx * dx + dy * dy > 1.0) continue;
      if (((shot.at(x, y) >> 16) & 0xFF) >= 110) continue;
      ++look.irisPixels;
      right += x + 0.5 - cx;
      down += y + 0.5 - cy;
    }
  }
  if (look.irisPixels > 0) {
    look.irisRight = right / look.irisPixels;
    look.irisDown = down / look.irisPixels;
  }
  return look;
}

// Where and by how much a shot differs from the desktop: the pixels that
// differ in any channel (-1 for another size), the largest difference of
// one channel (0..255), and their box.
struct Difference {
  int pixels;
  int largest;
  Region box;
};

inline Difference differenceOf(const Picture& shot, const Picture& desktop) {
  if (shot.width != desktop.width || shot.height != desktop.height) return {-1, 0, {0, 0, 0, 0}};
  int largest = 0;
  Differing found = differing(shot, desktop, {0, 0, shot.width, shot.height},
                              [&largest](unsigned a, unsigned b) {
    if (a == b) return false;
    for (int shift = 0; shift < 24; shift += 8) {
      int d = abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
      if (d > largest) largest = d;
    }
    return true;
  });
  return {found.pixels, largest, found.box};
}

// The screen as Windows reports it, e.g. "1366x768x32".
inline std::string screenName() {
  HDC screen = GetDC(nullptr);
  int bits = GetDeviceCaps(screen, BITSPIXEL);
  ReleaseDC(nullptr, screen);
  char name[96];
  int length = snprintf(name, sizeof(name), "%dx%dx%d", GetSystemMetrics(SM_CXSCREEN),
                        GetSystemMetrics(SM_CYSCREEN), bits);
  int monitors = GetSystemMetrics(SM_CMONITORS);
  if (monitors > 1) {
    snprintf(name + length, sizeof(name) - length, " (primary of %d monitors, %dx%d in all)",
             monitors, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
  }
  return name;
}

// Waits until Windows reports the screen by that name. The size groups and
// the two-monitor group of the Wine tests share a prefix that moves from
// display to display, and its registry keeps the last display's size until
// Wine's desktop process has measured the new one; a program that asks
// first, right after the Wine server starts, can read the old size for a
// moment.
inline ::testing::AssertionResult waitForScreen(const std::string& expected) {
  if (waitUntil([&] { return screenName() == expected; }, 10000)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "Windows does not see " << expected << " but "
                                       << screenName();
}

// Captures with `capture` until a shot is `wanted`, for up to timeoutMs; the
// last shot in *shot. Whether one was.
template <typename Wanted>
bool captureUntil(Picture* shot, Wanted wanted, DWORD timeoutMs,
                  Picture (*capture)() = captureScreen) {
  return waitUntil([&] { return wanted(*shot = capture()); }, timeoutMs);
}

// Moves the cursor in steps across the middle of a screen of that size, as
// a hand would, so that the eyes wake and follow it.
inline void sweepMiddle(int width, int height) {
  for (int i = 0; i < 5; ++i) {
    moveMouse(width / 2 - 100 + 40 * i, height / 2 + 20 * i);
    sleepMs(60);
  }
}

// The shot must be the desktop pixel for pixel: the copy is drawn back
// texel for texel, so text, one-pixel lines and the one-pixel checker of the
// desktop picture survive only an exact copy, whatever the screen's size.
inline void expectPixelIdentical(const Picture& shot, const Picture& desktop, const char* what) {
  double match = psnr(shot, desktop);
  Difference difference = differenceOf(shot, desktop);
  printf("PSNR of %s against the desktop on %s: %.2f dB, %d pixels differ\n", what,
         screenName().c_str(), match, difference.pixels);
  ::testing::Test::RecordProperty("psnr_db", static_cast<int>(match * 100));
  EXPECT_EQ(0, difference.pixels)
      << what << " differs from the desktop on " << screenName() << ": PSNR " << match
      << " dB, channels up to " << difference.largest << " apart, within x " << difference.box.left
      << ".." << difference.box.right - 1 << ", y " << difference.box.top << ".."
      << difference.box.bottom - 1;
}

inline std::string rectText(const RECT& rect) {
  char text[64];
  snprintf(text, sizeof(text), "%ld,%ld-%ld,%ld", rect.left, rect.top, rect.right, rect.bottom);
  return text;
}

inline MONITORINFO primaryMonitor() {
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  POINT origin = {0, 0};
  GetMonitorInfoA(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY), &info);
  return info;
}

// Sets the work area as a window manager's panels do, in the X root
// window's _NET_WORKAREA (null: removes it, as on a desktop without
// panels), and has Wine measure the monitors again, which it does on a
// display settings change; going back to the stored mode, the current one,
// changes nothing else. Wine 8 keeps SPI_SETWORKAREA to the calling
// process's SPI_GETWORKAREA: GetMonitorInfo's rcWork, in that process and
// every other, stays as it was.
inline bool setWorkArea(const RECT* work) {
  char command[128];
  if (work == nullptr) {
    snprintf(command, sizeof(command), "xprop -root -remove _NET_WORKAREA");
  } else {
    snprintf(command, sizeof(command),
             "xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA %ld,%ld,%ld,%ld", work->left,
             work->top, work->right - work->left, work->bottom - work->top);
  }
  if (!runHostCommand(command, 10000)) return false;
  return ChangeDisplaySettingsExA(nullptr, nullptr, nullptr, 0, nullptr) == DISP_CHANGE_SUCCESSFUL;
}


// The user's background, as the saver shows it where the system starts it
// on a desktop of its own. A 640x320 wallpaper (twice as wide as high,
// unlike any screen here, so fit, fill and stretch differ) with fine
// detail: text, one-pixel lines and rings over a smooth plasma. It is a PNG
// without a file extension, as a slideshow's current picture is kept.
const char kDesktopColour[] = "58 110 165";  // Control Panel\Colors\Background

inline std::string wallpaperFile() { return directoryOfTests() + "\\e2e-wallpaper"; }
inline std::string unreadableWallpaperFile() {
  return directoryOfTests() + "\\e2e-wallpaper-broken.jpg";
}

// Makes the wallpaper once per run, and a file that only looks like one.
inline bool makeWallpapers() {
  static bool made = false;
  FILE* broken = made ? nullptr : fopen(unreadableWallpaperFile().c_str(), "wb");
  if (broken != nullptr) {
    fputs("\xFF\xD8 not a picture after all", broken);
    fclose(broken);
    made = runHostCommand(
        "convert -seed 11 -size 640x320 plasma:orange-navy -font "
        "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf -pointsize 11 -fill white -draw 'text "
        "12,30 \\\"Wallpaper 640x320: every stem one pixel wide\\\"' -fill black -draw 'text 300,290 "
        "\\\"The quick brown fox jumps over the lazy dog\\\"' -fill none -stroke white -draw 'line "
        "0,100 639,100' -stroke black -draw 'line 0,101 639,101' -stroke yellow -strokewidth 3 "
        "-draw 'circle 320,160 320,70' -stroke lime -strokewidth 1 -draw 'rectangle 1,1 638,318' "
        "PNG24:'" + hostPath(wallpaperFile()) + "'",
        30000);
  }
  return made && GetFileAttributesA(wallpaperFile().c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The user's wallpaper and its style, as the desktop's settings keep them,
// and the desktop colour.
inline void setWallpaper(const std::string& file, const char* style, const char* tile) {
  auto set = [](const char* key, const char* name, const std::string& text) {
    HKEY opened = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened,
                    nullptr);
    RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(opened);
  };
  set("Control Panel\\Desktop", "Wallpaper", file);
  set("Control Panel\\Desktop", "WallpaperStyle", style);
  set("Control Panel\\Desktop", "TileWallpaper", tile);
  set("Control Panel\\Colors", "Background", kDesktopColour);
}

// How the background is expected to look: ImageMagick's arguments, with
// WALL standing for the wallpaper, SIZE for the screen's and COLOUR for
// the desktop colour.
const char kFillLike[] = "WALL -resize SIZE^ -gravity center -extent SIZE";
const char kFitLike[] = "WALL -resize SIZE -background COLOUR -gravity center -extent SIZE";
const char kTileLike[] = "-size SIZE tile:WALL";
const char kColourOnly[] = "-size SIZE xc:COLOUR";

inline Picture expectedBackground(std::string made, int width, int height,
                                  const std::string& name) {
  char size[32], colour[32];
  snprintf(size, sizeof(size), "%dx%d", width, height);
  int r = 0, g = 0, b = 0;
  sscanf(kDesktopColour, "%d %d %d", &r, &g, &b);
  snprintf(colour, sizeof(colour), "'rgb(%d,%d,%d)'", r, g, b);
  const std::string words[3][2] = {
      {"WALL", "'" + hostPath(wallpaperFile()) + "'"}, {"SIZE", size}, {"COLOUR", colour}};
  for (const auto& word : words)
    for (size_t at; (at = made.find(word[0])) != std::string::npos;)
      made.replace(at, word[0].size(), word[1]);
  std::string file = shotPath("expected-" + name);
  if (!runHostCommand("convert " + made + " BMP3:'" + hostPath(file) + "'", 30000)) return Picture();
  return loadBitmap(file);
}

// Moves the cursor over the primary monitor's middle until the eyes show
// there and only there (not a first paint of the whole window), then
// waits until they are gone again: the screen then shows a GL frame.
inline bool eyesCameAndWent() {
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  Region middle = middleOf(w, h), farCorner = {w - 150, 0, w, 100};
  Picture before = captureScreen();
  int step = 0;
  bool shown = waitUntil([&] {
    moveMouse(w / 2 - 100 + 40 * (step % 5), h / 2 + 20 * (step % 5));
    ++step;
    Picture shot = captureScreen();
    if (countChanged(shot, before, middle) > 5000 && countChanged(shot, before, farCorner) == 0)
      return true;
    before = shot;
    return false;
  }, slack(kUntilPresented + 2000));
  Picture shot;
  return shown && captureUntil(&shot, [&](const Picture& s) {
    return countChanged(s, before, middle) < 50;
  }, kMouseMoveWindow + slack(600));
}

// The desktop the system starts a saver on; made once, kept until the end.
inline HDESK saversDesktop() {
  static HDESK desktop = CreateDesktopA("Screen-saver", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  return desktop;
}

class Scene : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCursorPos(5, 5);
    desktop_ = settledScreen();
  }

  // On the user's own desktop the saver copies the screen whatever the
  // wallpaper; so that every start here shows that, the user has one.
  // `desktop` names another desktop to start it on, as the system does.
  // Returns once the saver's GL frames reach the screen (unless the test
  // shows that itself: `proveFrames` false): until the first one, after
  // the hold-back, its window shows a paint of the same copy, and a shot of
  // that proves nothing about the frames.
  HWND start(const char* showTime, const char* showFps, const char* desktop = "",
             bool proveFrames = true) {
    writeSettings("Current resolution", showTime, showFps);
    if (!makeWallpapers()) ADD_FAILURE() << "could not make the wallpaper";
    if (desktop[0] == 0) setWallpaper(wallpaperFile(), "10", "0");
    if (!saver_.start(quotedSaver() + " /s", "", desktop)) {
      ADD_FAILURE() << quotedSaver() << " /s did not start: error " << GetLastError();
      return nullptr;
    }
    HWND window = waitForWindow(saver_.pid(), "MainWindow", slack(15000),
                                desktop[0] == 0 ? nullptr : saversDesktop());
    if (window == nullptr || !proveFrames) return window;
    // A text that is on shows the first frame over the primary's desktop;
    // with both off, over a background, or against a picture of several
    // monitors, eyes that come and go show the frames.
    bool clockOn = showTime[0] == '1', counterOn = showFps[0] == '1';
    if (desktop[0] == 0 && (clockOn || counterOn) &&
        desktop_.width == GetSystemMetrics(SM_CXSCREEN)) {
      Region corner = clockOn ? clockCorner(desktop_.height) : counterCorner();
      Picture shot;
      if (!captureUntil(&shot, [&](const Picture& s) {
            return countNew(s, desktop_, corner, clockOn ? isRed : isGreen) > (clockOn ? 300 : 200);
          }, slack(kUntilPresented + 2000))) {
        ADD_FAILURE() << "no text on the screen: the saver's frames do not reach it";
      }
    } else if (!eyesCameAndWent()) {
      ADD_FAILURE() << "no eyes that came and went: the saver's frames do not reach the screen";
    }
    return window;
  }

  // Keys this program sends go to its own desktop's input; a saver on
  // another desktop gets Escape the way a keyboard gives it, through X.
  void stop(bool onSaversDesktop = false) {
    if (onSaversDesktop) {
      EXPECT_TRUE(runHostCommand("xdotool key Escape", 10000));
    } else {
      EXPECT_TRUE(bringToFront(waitForWindow(saver_.pid(), "MainWindow", 0)))
          << "the saver's window is not the foreground for Escape";
      pressKey(VK_ESCAPE);
    }
    EXPECT_EQ(0u, saver_.waitExit(slack(10000)));
  }

  // A test that changed the work area or the live desktop puts them back,
  // for the tests after it; they compare with the desktop they find.
  void TearDown() override {
    if (!changedWorkArea_ && !changedDesktop_) return;
    if (saver_.running()) saver_.kill();
    if (changedWorkArea_) {
      EXPECT_TRUE(setWorkArea(nullptr));
      MONITORINFO monitor = primaryMonitor();
      EXPECT_TRUE(EqualRect(&monitor.rcWork, &monitor.rcMonitor))
          << "the work area is not back: " << rectText(monitor.rcWork);
    }
    if (changedDesktop_) {
      EXPECT_TRUE(showOnRootWindow(desktop_, "desktop"));
      EXPECT_EQ(0, differenceOf(captureScreen(), desktop_).pixels)
          << "the desktop picture is not back";
    }
  }

  Picture desktop_;
  SaverProcess saver_;
  bool changedWorkArea_ = false;
  bool changedDesktop_ = false;
};

}  // namespace shots
