// What the saver shows: the frozen desktop, the eyes after a mouse move,
// the clock and the FPS counter, measured on screenshots of the real .scr.
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>  // timeGetTime: the clock the saver runs on
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "tests/e2e/saver_driver.h"

using namespace driver;

namespace {

// Presentation starts 3000 ms after the render loop does; the loop starts
// once the textures are built, shortly after the window appears.
const DWORD kUntilPresented = 4500;

// How many times slower than native the saver under test runs:
// GLIMMER_TIME_SCALE, set by the Wine test script where the 32-bit .scr runs
// as translated code. It widens the bounds that only catch a slow start or
// a slow frame; the ones the saver's own rules set (the 3 s hold-back, the
// eyes' second) stay as they are.
DWORD timeScale() {
  const char* scale = getenv("GLIMMER_TIME_SCALE");
  int value = scale == nullptr ? 1 : atoi(scale);
  return value > 1 ? static_cast<DWORD>(value) : 1u;
}
DWORD slack(DWORD ms) { return ms * timeScale(); }

struct Region {
  int left, top, right, bottom;
};

bool isRed(unsigned pixel) {
  unsigned r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  return r > 170 && g < 90 && b < 90;
}

bool isGreen(unsigned pixel) {
  unsigned r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  return g > 170 && r < 90 && b < 90;
}

// Pixels in the region that have the colour now but did not on the desktop.
int countNew(const Picture& shot, const Picture& desktop, Region region, bool (*colour)(unsigned)) {
  int count = 0;
  for (int y = region.top; y < region.bottom; ++y)
    for (int x = region.left; x < region.right; ++x)
      if (colour(shot.at(x, y)) && !colour(desktop.at(x, y))) ++count;
  return count;
}

// Whether two pixels differ clearly, more than a rounding or a blur would.
bool clearlyDiffers(unsigned a, unsigned b) {
  int d = 0;
  for (int shift = 0; shift < 24; shift += 8)
    d += abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
  return d > 60;
}

// Pixels in the region that differ clearly from the desktop.
int countChanged(const Picture& shot, const Picture& desktop, Region region) {
  int count = 0;
  for (int y = region.top; y < region.bottom; ++y)
    for (int x = region.left; x < region.right; ++x)
      if (clearlyDiffers(shot.at(x, y), desktop.at(x, y))) ++count;
  return count;
}

// Pixels that differ at all between two shots in the region.
int countDifferent(const Picture& a, const Picture& b, Region region) {
  int count = 0;
  for (int y = region.top; y < region.bottom; ++y)
    for (int x = region.left; x < region.right; ++x)
      if (a.at(x, y) != b.at(x, y)) ++count;
  return count;
}

// Where and by how much a shot differs from the desktop.
struct Difference {
  int pixels = 0;   // pixels that differ in any channel
  int largest = 0;  // the largest difference of one channel, 0..255
  Region box = {0, 0, 0, 0};
};

Difference differenceOf(const Picture& shot, const Picture& desktop) {
  Difference difference;
  if (shot.width != desktop.width || shot.height != desktop.height) {
    difference.pixels = -1;
    return difference;
  }
  difference.box = {shot.width, shot.height, 0, 0};
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      unsigned a = shot.at(x, y), b = desktop.at(x, y);
      if (a == b) continue;
      ++difference.pixels;
      for (int shift = 0; shift < 24; shift += 8) {
        int d = abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
        if (d > difference.largest) difference.largest = d;
      }
      Region& box = difference.box;
      if (x < box.left) box.left = x;
      if (y < box.top) box.top = y;
      if (x >= box.right) box.right = x + 1;
      if (y >= box.bottom) box.bottom = y + 1;
    }
  }
  return difference;
}

// The screen as Windows reports it, e.g. "1366x768x32".
std::string screenName() {
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
::testing::AssertionResult waitForScreen(const std::string& expected) {
  for (int waited = 0; waited < 10000; waited += 100) {
    if (screenName() == expected) return ::testing::AssertionSuccess();
    sleepMs(100);
  }
  std::string seen = screenName();
  if (seen == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "Windows does not see " << expected << " but " << seen;
}

// The shot must be the desktop pixel for pixel: the copy is drawn back
// texel for texel, so text, one-pixel lines and the one-pixel checker of the
// desktop picture survive only an exact copy, whatever the screen's size.
void expectPixelIdentical(const Picture& shot, const Picture& desktop, const char* what) {
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

std::string rectText(const RECT& rect) {
  char text[64];
  snprintf(text, sizeof(text), "%ld,%ld-%ld,%ld", rect.left, rect.top, rect.right, rect.bottom);
  return text;
}

MONITORINFO primaryMonitor() {
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
bool setWorkArea(const RECT* work) {
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

// Lets the test's own windows paint and the X server show them.
void pumpMessages(DWORD ms) {
  DWORD start = timeGetTime();
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    sleepMs(10);
  } while (timeGetTime() - start < ms);
}

LRESULT CALLBACK coverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) return 1;
  if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
  FillRect(dc, &paint.rcPaint, magenta);
  DeleteObject(magenta);
  EndPaint(window, &paint);
  return 0;
}

// A window like a notification or an on-screen volume display: top-most,
// never activated, solid magenta over `area`.
HWND showCoverWindow(Region area) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = coverWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "GlimmerTestCover";
  RegisterClassA(&windowClass);  // fails harmlessly once registered
  HWND cover = CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW,
                               "GlimmerTestCover", "", WS_POPUP, area.left, area.top,
                               area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  if (cover == nullptr) return nullptr;
  ShowWindow(cover, SW_SHOWNOACTIVATE);
  UpdateWindow(cover);
  return cover;
}

// Milliseconds since the wall clock's second turned, as the saver's clock
// text counts seconds.
unsigned millisecondOfWallSecond() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks;  // 100 ns units
  ticks.LowPart = now.dwLowDateTime;
  ticks.HighPart = now.dwHighDateTime;
  return static_cast<unsigned>(ticks.QuadPart / 10000 % 1000);
}

// The user's background, as the saver shows it where the system starts it
// on a desktop of its own. A 640x320 wallpaper (twice as wide as high,
// unlike any screen here, so fit, fill and stretch differ) with fine
// detail: text, one-pixel lines and rings over a smooth plasma. It is a PNG
// without a file extension, as a slideshow's current picture is kept.
const char kDesktopColour[] = "58 110 165";  // Control Panel\Colors\Background

std::string wallpaperFile() { return directoryOfTests() + "\\e2e-wallpaper"; }
std::string unreadableWallpaperFile() { return directoryOfTests() + "\\e2e-wallpaper-broken.jpg"; }

// Makes the wallpaper once per run, and a file that only looks like one.
bool makeWallpapers() {
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
void setWallpaper(const std::string& file, const char* style, const char* tile) {
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

Picture expectedBackground(std::string made, int width, int height, const std::string& name) {
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

// The desktop the system starts a saver on; made once, kept until the end.
HDESK saversDesktop() {
  static HDESK desktop = CreateDesktopA("Screen-saver", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  return desktop;
}

class Scene : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCursorPos(5, 5);
    sleepMs(200);
    desktop_ = captureScreen();
  }

  // On the user's own desktop the saver copies the screen whatever the
  // wallpaper; so that every start here shows that, the user has one.
  // `desktop` names another desktop to start it on, as the system does.
  HWND start(const char* showTime, const char* showFps, const char* desktop = "") {
    writeSettings("Current resolution", showTime, showFps);
    if (!makeWallpapers()) ADD_FAILURE() << "could not make the wallpaper";
    if (desktop[0] == 0) setWallpaper(wallpaperFile(), "10", "0");
    if (!saver_.start(quotedSaver() + " /s", "", desktop)) {
      ADD_FAILURE() << quotedSaver() << " /s did not start: error " << GetLastError();
      return nullptr;
    }
    HWND window = waitForWindow(saver_.pid(), "MainWindow", 15000,
                                desktop[0] == 0 ? nullptr : saversDesktop());
    sleepMs(kUntilPresented);
    return window;
  }

  // Keys this program sends go to its own desktop's input; a saver on
  // another desktop gets Escape the way a keyboard gives it, through X.
  void stop(bool onSaversDesktop = false) {
    if (onSaversDesktop) {
      EXPECT_TRUE(runHostCommand("xdotool key Escape", 10000));
    } else {
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

// A taskbar or panels make the work area smaller than the monitor; the
// frozen desktop covers the whole monitor all the same. Once it is up the
// live desktop changes underneath, so that the strips outside the work area
// show the frozen copy only if the saver's window and copy reach over them.
TEST_F(Scene, FrozenDesktopLooksLikeTheDesktopOverTheWholeMonitor) {
  int w = desktop_.width, h = desktop_.height;
  RECT work = {48, 32, w, h - 40};  // panels along the left, top and bottom edges
  changedWorkArea_ = true;
  ASSERT_TRUE(setWorkArea(&work)) << "could not set the work area";
  MONITORINFO monitor = primaryMonitor();
  ASSERT_TRUE(EqualRect(&monitor.rcWork, &work))
      << "Wine reports the work area " << rectText(monitor.rcWork) << ", not " << rectText(work);

  HWND window = start("0", "0");
  ASSERT_NE(nullptr, window);
  RECT rect;
  ASSERT_TRUE(GetWindowRect(window, &rect));
  EXPECT_TRUE(EqualRect(&rect, &monitor.rcMonitor))
      << "the saver window covers " << rectText(rect) << ", the monitor "
      << rectText(monitor.rcMonitor);
  Picture shot = captureScreen();
  saveBitmap(shot, shotPath("frozen-desktop"));
  expectPixelIdentical(shot, desktop_, "the frozen desktop");
  // No eyes and no texts without a mouse move and with both overlays off.
  EXPECT_EQ(0, countNew(shot, desktop_, {0, 0, shot.width, shot.height}, isRed));

  // The desktop's negative, so that every pixel tells the two apart.
  Picture live = desktop_;
  for (unsigned& pixel : live.pixels) pixel ^= 0xFFFFFF;
  changedDesktop_ = true;
  ASSERT_TRUE(showOnRootWindow(live, "live-desktop")) << "could not change the desktop";
  shot = captureScreen();
  saveBitmap(shot, shotPath("frozen-desktop-over-a-change"));
  expectPixelIdentical(shot, desktop_, "the frozen desktop while the desktop changes underneath");
  stop();
}

TEST_F(Scene, EyesFollowAMouseMoveForASecond) {
  ASSERT_NE(nullptr, start("0", "0"));
  int cx = desktop_.width / 2, cy = desktop_.height / 2;
  Region middle = {cx - 300, cy - 150, cx + 300, cy + 150};

  for (int i = 0; i < 5; ++i) {
    moveMouse(cx - 100 + 40 * i, cy + 20 * i);
    sleepMs(60);
  }
  sleepMs(200);
  Picture withEyes = captureScreen();
  saveBitmap(withEyes, shotPath("eyes"));
  int changed = countChanged(withEyes, desktop_, middle);
  EXPECT_GT(changed, 5000) << "no eyes in the middle of the screen";
  // Nothing but the eyes changes: the corners stay the desktop.
  EXPECT_EQ(0, countChanged(withEyes, desktop_, {0, 0, 150, 100}));

  // They turn with the cursor: another position, another picture.
  moveMouse(cx + 250, cy - 200);
  sleepMs(250);
  Picture turned = captureScreen();
  saveBitmap(turned, shotPath("eyes-turned"));
  EXPECT_GT(countChanged(turned, withEyes, middle), 500) << "the eyes did not turn";

  sleepMs(1600);
  Picture after = captureScreen();
  saveBitmap(after, shotPath("eyes-gone"));
  EXPECT_LT(countChanged(after, desktop_, middle), 50) << "eyes still there after a second";
  stop();
}

TEST_F(Scene, ClockShowsRedAtTheBottomLeftAndFpsGreenAtTheTopLeft) {
  ASSERT_NE(nullptr, start("1", "1"));
  moveMouse(desktop_.width / 2 + 40, desktop_.height / 2 + 30);
  sleepMs(250);
  Picture shot = captureScreen();
  saveBitmap(shot, shotPath("eyes-clock-fps"));
  int h = shot.height;
  EXPECT_GT(countNew(shot, desktop_, {0, h - 45, 420, h}, isRed), 300) << "no clock";
  EXPECT_GT(countNew(shot, desktop_, {0, 0, 420, 40}, isGreen), 200) << "no FPS counter";
  // Each text only where it belongs.
  EXPECT_EQ(0, countNew(shot, desktop_, {0, 0, 420, 40}, isRed));
  EXPECT_EQ(0, countNew(shot, desktop_, {0, h - 45, 420, h}, isGreen));
  stop();
}

// With the clock alone a frame comes once a second, so this is also where
// an area that a window uncovers must be repainted on its own. A window like
// a notification or an on-screen volume display (top-most, never
// activated, from another process) covers part of the saver and goes just
// after a clock frame; where it was must be the frozen desktop again within
// a frame or two, long before the next clock frame. (With the counter on,
// frames come at the display's rate and hide a repaint that is missing.)
TEST_F(Scene, ClockAloneWhenOnlyTheClockIsOnAndUncoveredAreasRepainted) {
  ASSERT_NE(nullptr, start("1", "0"));
  Picture shot = captureScreen();
  int w = shot.width, h = shot.height;
  Region clock = {0, h - 45, 420, h};
  EXPECT_GT(countNew(shot, desktop_, clock, isRed), 300);
  EXPECT_EQ(0, countNew(shot, desktop_, {0, 0, 420, 40}, isGreen));

  Region covered = {w / 4, h / 4, w * 3 / 4, h * 3 / 4};
  HWND cover = showCoverWindow(covered);
  ASSERT_NE(nullptr, cover);
  pumpMessages(300);
  shot = captureScreen();
  saveBitmap(shot, shotPath("covered"));
  int area = (covered.right - covered.left) * (covered.bottom - covered.top);
  int shown = countChanged(shot, desktop_, covered);
  if (shown <= area * 9 / 10) DestroyWindow(cover);  // not over the tests after this one
  ASSERT_GT(shown, area * 9 / 10) << "the cover window does not show over the saver";

  while (millisecondOfWallSecond() < 100 || millisecondOfWallSecond() >= 200) sleepMs(5);
  DestroyWindow(cover);
  DWORD gone = timeGetTime();
  // A capture takes some 50 ms here; the first one begun within 200 ms of
  // the cover going that shows the desktop counts.
  int stale = -1;
  DWORD begun = 0;
  do {
    begun = timeGetTime() - gone;
    shot = captureScreen();
    stale = differenceOf(shot, desktop_).pixels - countDifferent(shot, desktop_, clock);
  } while (stale != 0 && timeGetTime() - gone < 200);
  saveBitmap(shot, shotPath("uncovered"));
  printf("The uncovered area was %sthe frozen desktop in a capture begun %lu ms after the cover "
         "went\n",
         stale == 0 ? "" : "not yet ", static_cast<unsigned long>(begun));
  EXPECT_EQ(0, stale) << "pixels outside the clock's corner still differ from the desktop in a "
                         "capture begun "
                      << begun << " ms after the cover went, "
                      << countDifferent(shot, desktop_, covered) << " of them where it was";
  EXPECT_TRUE(saver_.running()) << "the saver ended under the cover window";
  stop();
}

TEST_F(Scene, FpsAloneWhenOnlyTheCounterIsOn) {
  ASSERT_NE(nullptr, start("0", "1"));
  Picture shot = captureScreen();
  int h = shot.height;
  EXPECT_GT(countNew(shot, desktop_, {0, 0, 420, 40}, isGreen), 200);
  EXPECT_EQ(0, countNew(shot, desktop_, {0, h - 45, 420, h}, isRed));
  stop();
}

// The millisecond clock the saver runs on. The uptime groups of the Wine
// tests shift Wine's clocks (GLIMMER_UPTIME): "past-2^31" puts it past
// 2^31 ms, about 25 days of uptime; "wrap-in-hold-back" puts its wrap past
// 2^32 inside the saver's first 3 s. Unset, the clock is the machine's.
std::string uptimeMode() {
  const char* mode = getenv("GLIMMER_UPTIME");
  return mode == nullptr ? "" : mode;
}

// True once the wrapping clock has reached `tick`.
bool tickReached(DWORD tick) { return static_cast<LONG>(timeGetTime() - tick) >= 0; }

// When the first frame, with the clock in it, appears after the window was
// seen at `since`: between *lastWithout, when the last shot without it
// began, and the returned time; 0 when none came within 7 s (scaled).
DWORD waitForTheFirstFrame(const Picture& desktop, DWORD since, Picture* shot,
                           DWORD* lastWithout) {
  Region clock = {0, desktop.height - 45, 420, desktop.height};
  *lastWithout = since;
  while (timeGetTime() - since < slack(7000)) {
    DWORD before = timeGetTime();
    *shot = captureScreen();
    if (countNew(*shot, desktop, clock, isRed) > 300) return timeGetTime();
    *lastWithout = before;
    sleepMs(20);
  }
  return 0;
}

// Checks that the clock stands where the group asked, and for the wrap
// waits until a start now puts the wrap inside the hold-back. How long the
// saver takes from its start to its loop varies with the machine's load
// (0.7 to 3 s were seen), so a first start, ended at once, measures it:
// the second start is timed to begin its loop 1.5 s before the wrap.
::testing::AssertionResult placeTheClock(const std::string& mode, const Picture& desktop) {
  DWORD now = timeGetTime();
  if (mode == "past-2^31") {
    if (now >= 0x80000000u && now < 0xFFF00000u) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the clock was not shifted past 2^31: " << now;
  }
  if (mode == "wrap-in-hold-back") {
    if (now < 0u - 120000u || now > 0u - 12000u) {
      return ::testing::AssertionFailure() << "the clock is not shortly before its wrap: " << now;
    }
    SaverProcess measured;
    DWORD started = timeGetTime();
    if (!measured.start(quotedSaver() + " /s") ||
        waitForWindow(measured.pid(), "MainWindow", 15000) == nullptr) {
      return ::testing::AssertionFailure() << "the measuring start failed";
    }
    Picture shot;
    DWORD lastWithout = 0;
    DWORD firstFrame = waitForTheFirstFrame(desktop, timeGetTime(), &shot, &lastWithout);
    pressKey(VK_ESCAPE);
    measured.waitExit(10000);
    if (firstFrame == 0) return ::testing::AssertionFailure() << "the measuring start drew nothing";
    DWORD toLoop = firstFrame - started > 3001u ? firstFrame - started - 3001u : 0u;
    const DWORD startAt = 0u - 1500u - toLoop;
    printf("The saver took %lu ms from its start to its loop; the next start is due at %lu\n",
           static_cast<unsigned long>(toLoop), static_cast<unsigned long>(startAt));
    if (tickReached(startAt)) {
      return ::testing::AssertionFailure() << "the clock passed " << startAt << " while measuring";
    }
    while (!tickReached(startAt)) sleepMs(5);
    return ::testing::AssertionSuccess();
  }
  if (mode.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "unknown GLIMMER_UPTIME " << mode;
}

// The rightmost column with new pixels of the colour in the region, or -1.
int rightmostNew(const Picture& shot, const Picture& desktop, Region region,
                 bool (*colour)(unsigned)) {
  for (int x = region.right - 1; x >= region.left; --x)
    for (int y = region.top; y < region.bottom; ++y)
      if (colour(shot.at(x, y)) && !colour(desktop.at(x, y))) return x;
  return -1;
}

// The leftmost column with new pixels of the colour in the region, or -1.
int leftmostNew(const Picture& shot, const Picture& desktop, Region region,
                bool (*colour)(unsigned)) {
  for (int x = region.left; x < region.right; ++x)
    for (int y = region.top; y < region.bottom; ++y)
      if (colour(shot.at(x, y)) && !colour(desktop.at(x, y))) return x;
  return -1;
}

// Everything the saver does in time, from the start to Escape, with the
// clock and the counter on. Run as is on the machine's clock, and by the
// uptime groups on a clock past 2^31 and on one that wraps in the hold-back.
TEST_F(Scene, KeepsTimeFromStartToEscape) {
  std::string mode = uptimeMode();
  writeSettings("Current resolution", "1", "1");
  ASSERT_TRUE(placeTheClock(mode, desktop_));
  DWORD started = timeGetTime();
  ASSERT_TRUE(saver_.start(quotedSaver() + " /s")) << "error " << GetLastError();
  ASSERT_NE(nullptr, waitForWindow(saver_.pid(), "MainWindow", slack(15000)));
  DWORD windowSeen = timeGetTime();
  int w = desktop_.width, h = desktop_.height;
  Region clock = {0, h - 45, 420, h};
  Region counter = {0, 0, 420, 40};

  // The first frame, with the clock in it, when the hold-back ends: 3 s
  // after the loop starts, which is shortly after the window appears.
  Picture shot;
  DWORD lastWithout = 0;
  DWORD firstFrame = waitForTheFirstFrame(desktop_, windowSeen, &shot, &lastWithout);
  saveBitmap(shot, shotPath("keeps-time-first-frame"));
  ASSERT_NE(0u, firstFrame) << "no frame within " << slack(7000) << " ms of the window (clock at "
                            << windowSeen << ")";
  EXPECT_GE(firstFrame - started, 3000u) << "a frame came inside the hold-back";
  EXPECT_LE(firstFrame - windowSeen, slack(5000)) << "the first frame came late";
  // Outside the two texts the first frame is the desktop, pixel for pixel.
  EXPECT_EQ(0, differenceOf(shot, desktop_).pixels - countDifferent(shot, desktop_, clock) -
                   countDifferent(shot, desktop_, counter))
      << "the first frame differs from the desktop outside the clock and the counter";
  if (mode == "wrap-in-hold-back") {
    // The frame came between the last shot without it and the one with it;
    // the loop started 3001 ms before. Fail only when that surely missed.
    bool startedBeforeTheWrap = started >= 0x80000000u;
    bool frameAfterIt = firstFrame < 0x80000000u;
    bool loopStartedBeforeIt = static_cast<LONG>(lastWithout - 3001u) < 0;
    EXPECT_TRUE(startedBeforeTheWrap && frameAfterIt && loopStartedBeforeIt)
        << "the wrap did not fall inside the hold-back: started at " << started
        << ", first frame between " << lastWithout << " and " << firstFrame;
  }
  int labelStart = leftmostNew(shot, desktop_, counter, isGreen);
  int labelEnd = rightmostNew(shot, desktop_, counter, isGreen);
  ASSERT_GT(labelEnd, labelStart) << "no counter on the first frame";

  // The counter's first figure: its text grows to the right of "FPS:".
  DWORD figureSeen = 0;
  int figureEnd = labelEnd;
  while (timeGetTime() - firstFrame < slack(1500)) {
    shot = captureScreen();
    figureEnd = rightmostNew(shot, desktop_, counter, isGreen);
    if (figureEnd > labelEnd + 4) {
      figureSeen = timeGetTime();
      break;
    }
    sleepMs(50);
  }
  saveBitmap(shot, shotPath("keeps-time-counter"));
  EXPECT_NE(0u, figureSeen) << "the counter shows no figure " << slack(1500)
                            << " ms after the first frame";
  // Frames at the display's rate make a figure of two digits; a saver that
  // draws only when the clock's second changes shows 1 or 2. "FPS:" is four
  // glyphs; a space and one digit come to under two more. Translated code
  // draws a few frames a second: one digit is all it can show.
  double glyph = (labelEnd - labelStart) / 4.0;
  double digits = timeScale() > 1 ? 1.0 : 2.0;
  EXPECT_GT(figureEnd - labelEnd, (digits + 0.3) * glyph)
      << "the figure is one digit: under 10 frames a second (glyphs " << glyph
      << " px, figure to x " << figureEnd << ", label to x " << labelEnd << ")";

  // The clock changes every second: sampled every 100 ms for 3.3 s, its
  // picture never stays the same for much more than a second.
  Picture previous = captureScreen();
  DWORD sameSince = timeGetTime(), longestSame = 0, sampling = timeGetTime();
  int changes = 0;
  while (timeGetTime() - sampling < 3300) {
    sleepMs(100);
    Picture next = captureScreen();
    DWORD now = timeGetTime();
    if (countDifferent(next, previous, clock) > 20) {
      ++changes;
      sameSince = now;
    } else if (now - sameSince > longestSame) {
      longestSame = now - sameSince;
    }
    previous = next;
  }
  EXPECT_GE(changes, 3) << "the clock changed " << changes << " times in 3.3 s";
  EXPECT_LT(longestSame, 1300u) << "the clock stood still for " << longestSame << " ms";

  // The eyes: within 0.5 s of a move (scaled), and gone within 1.5 s of
  // it, which a slower saver must meet too: they stay a second.
  Region middle = {w / 2 - 300, h / 2 - 150, w / 2 + 300, h / 2 + 150};
  moveMouse(w / 2 + 120, h / 2 - 90);
  DWORD moved = timeGetTime();
  DWORD eyesSeen = 0, eyesGone = 0;
  while (timeGetTime() - moved < 2500) {
    shot = captureScreen();
    DWORD now = timeGetTime();
    int changed = countChanged(shot, desktop_, middle);
    if (eyesSeen == 0 && changed > 5000) {
      eyesSeen = now;
      saveBitmap(shot, shotPath("keeps-time-eyes"));
    }
    if (eyesSeen != 0 && changed < 50) {
      eyesGone = now;
      break;
    }
    sleepMs(20);
  }
  ASSERT_NE(0u, eyesSeen) << "no eyes within 2.5 s of a mouse move";
  EXPECT_LE(eyesSeen - moved, slack(500)) << "the eyes came late";
  ASSERT_NE(0u, eyesGone) << "the eyes stayed for 2.5 s";
  EXPECT_LE(eyesGone - moved, 1500u) << "the eyes stayed too long";
  printf("Timing on the clock from %lu: first frame %lu ms after the start, counter figure %lu ms "
         "after it (%.1f glyphs wide with its space), eyes after %lu ms for %lu ms\n",
         static_cast<unsigned long>(started), static_cast<unsigned long>(firstFrame - started),
         static_cast<unsigned long>(figureSeen == 0 ? 0 : figureSeen - firstFrame), (figureEnd - labelEnd) / glyph,
         static_cast<unsigned long>(eyesSeen - moved), static_cast<unsigned long>(eyesGone - moved));
  stop();
}

// The eye picture goes through a temporary file in the user's temporary
// folder; it must be gone once the saver runs, and a folder that cannot be
// written stops the start.
class SceneTemporaryFile : public Scene {
 protected:
  void SetUp() override {
    Scene::SetUp();
    // Saved before anything can fail, so that TearDown never empties them
    // for the tests that run after this one in the same process.
    savedTemp_ = environment("TEMP");
    savedTmp_ = environment("TMP");
  }
  void TearDown() override {
    SetEnvironmentVariableA("TEMP", savedTemp_.c_str());
    SetEnvironmentVariableA("TMP", savedTmp_.c_str());
  }
  static std::string environment(const char* name) {
    char value[MAX_PATH] = {};
    GetEnvironmentVariableA(name, value, MAX_PATH);
    return value;
  }
  void useTemp(const std::string& folder) {
    SetEnvironmentVariableA("TEMP", folder.c_str());
    SetEnvironmentVariableA("TMP", folder.c_str());
  }
  std::string savedTemp_, savedTmp_;
};

int filesIn(const std::string& folder) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    if (strcmp(data.cFileName, ".") != 0 && strcmp(data.cFileName, "..") != 0) ++count;
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return count;
}

// Deletes the files in the folder, if it exists.
void deleteFilesIn(const std::string& folder) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      DeleteFileA((folder + "\\" + data.cFileName).c_str());
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
}

TEST_F(SceneTemporaryFile, NoTemporaryFileRemainsAfterAStart) {
  // A run that failed here leaves its files behind (the folders are removed
  // only when empty); they would fail every later run's check below.
  std::string folder = directoryOfTests() + "\\e2e-temp";
  CreateDirectoryA(folder.c_str(), nullptr);
  deleteFilesIn(folder);
  ASSERT_EQ(0, filesIn(folder));
  useTemp(folder);
  // Started from a folder it may not write, as the host starts it from the
  // system folder: the current directory must not matter.
  std::string current = directoryOfTests() + "\\e2e-readonly";
  CreateDirectoryA(current.c_str(), nullptr);
  deleteFilesIn(current);
  ASSERT_EQ(0, filesIn(current));
  writeSettings("Current resolution", "0", "0");
  ASSERT_TRUE(saver_.start(quotedSaver() + " /s", current));
  ASSERT_NE(nullptr, waitForWindow(saver_.pid(), "MainWindow", 15000));
  sleepMs(kUntilPresented);
  EXPECT_TRUE(messageBoxes(saver_.pid()).empty());
  EXPECT_EQ(0, filesIn(folder));
  EXPECT_EQ(0, filesIn(current));
  stop();
  RemoveDirectoryA(folder.c_str());
  RemoveDirectoryA(current.c_str());
}

TEST_F(SceneTemporaryFile, UnwritableTemporaryFolderStopsTheStart) {
  // Whatever made this folder in an earlier run would let the start succeed.
  std::string missing = directoryOfTests() + "\\no-such-folder";
  deleteFilesIn(missing);
  RemoveDirectoryA(missing.c_str());
  ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(missing.c_str()));
  useTemp(missing);
  writeSettings("Current resolution", "0", "0");
  ASSERT_TRUE(saver_.start(quotedSaver() + " /s"));
  MessageBoxInfo box = waitForMessageBox(saver_.pid(), 20000);
  EXPECT_EQ("Error", box.caption);
  EXPECT_EQ("Can not create texture(s).", box.text);
  // The box belongs to the saver window, which is up by then.
  HWND window = waitForWindow(saver_.pid(), "MainWindow", 0);
  EXPECT_NE(nullptr, window);
  EXPECT_EQ(window, GetWindow(box.window, GW_OWNER));
  pressOk(box);
  EXPECT_EQ(1u, saver_.waitExit(10000));
}

// Run by the Wine test script on the screens of its size groups (1024x768
// at 16 bits, 1366x768, 1920x1080, 1080x1920; larger ones on request), each
// named in GLIMMER_SCREEN as WIDTHxHEIGHTxDEPTH. The frozen desktop must be
// the desktop pixel for pixel at every size and depth.
class SizesScene : public Scene {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(expectScreenAsAsked());
    Scene::SetUp();
  }

  // The screen Windows sees is the one the group asked for: a prefix moved
  // between displays must not keep an older size.
  void expectScreenAsAsked() {
    char asked[64] = {};
    ASSERT_GT(GetEnvironmentVariableA("GLIMMER_SCREEN", asked, sizeof(asked)), 0u)
        << "GLIMMER_SCREEN is not set: run these through tests/run_wine_tests.sh";
    int width = 0, height = 0, depth = 0;
    ASSERT_EQ(3, sscanf(asked, "%dx%dx%d", &width, &height, &depth)) << asked;
    // Wine reports a 24-bit X screen as 32 bits per pixel.
    char expected[48];
    snprintf(expected, sizeof(expected), "%dx%dx%d", width, height, depth == 24 ? 32 : depth);
    ASSERT_TRUE(waitForScreen(expected));
  }
};

TEST_F(SizesScene, FrozenDesktopIsTheDesktopPixelForPixel) {
  ASSERT_NE(nullptr, start("0", "0"));
  std::string name = screenName();
  Picture first = captureScreen();
  saveBitmap(first, shotPath("sizes-frozen-" + name));
  expectPixelIdentical(first, desktop_, "the first frozen frame");

  // Until its first frame the saver's window shows the desktop as it was,
  // so the shot above may predate it. Eyes that come and go prove frames
  // reach the screen, and the frame that takes them away again must be the
  // desktop exactly as well.
  int cx = desktop_.width / 2, cy = desktop_.height / 2;
  for (int i = 0; i < 5; ++i) {
    moveMouse(cx - 100 + 40 * i, cy + 20 * i);
    sleepMs(60);
  }
  sleepMs(200);
  Picture withEyes = captureScreen();
  saveBitmap(withEyes, shotPath("sizes-eyes-" + name));
  EXPECT_GT(countChanged(withEyes, desktop_, {cx - 300, cy - 150, cx + 300, cy + 150}), 5000)
      << "no eyes: the saver's frames do not reach the screen";
  sleepMs(1600);
  Picture after = captureScreen();
  saveBitmap(after, shotPath("sizes-eyes-gone-" + name));
  expectPixelIdentical(after, desktop_, "the frozen desktop after the eyes");
  stop();
}

// Started by the system, the saver runs on a desktop of its own, where a
// copy of the screen cannot show the user's. There it shows the user's
// background: the colour, and the wallpaper placed as the desktop places
// it. Under Wine the copy there still sees the screen, which shows the
// desktop picture, so a saver that copies shows that and fails.
// What the user's "Wallpaper" names.
enum UsersFile { kTheWallpaper, kUnreadableFile, kMissingFile, kAnotherPicture };

struct BackgroundCase {
  const char* name;
  const char* style;  // WallpaperStyle and TileWallpaper
  const char* tile;
  UsersFile usersFile;
  // Windows' copy of the desktop's picture, %APPDATA%\...\TranscodedWallpaper,
  // is the wallpaper; a group policy names the wallpaper (to fill).
  bool transcodedCopy, policy;
  const char* expected;  // ImageMagick's picture of it, as above
  double minimumPsnr;  // dB against ImageMagick's picture; 99: pixel for pixel
  bool overlays;       // also the clock, the counter and the eyes over it
};

const BackgroundCase kBackgroundCases[] = {
    {"FillWithEyesClockAndCounter", "10", "0", kTheWallpaper, false, false, kFillLike, 27.0, true},
    {"FitLetterboxedInTheColour", "6", "0", kTheWallpaper, false, false, kFitLike, 27.0, false},
    {"TilePixelForPixel", "0", "1", kTheWallpaper, false, false, kTileLike, 99.0, false},
    {"UnreadableWallpaperLeavesTheColour", "10", "0", kUnreadableFile, false, false, kColourOnly,
     99.0, false},
    // The chosen file is gone; the desktop shows Windows' copy of it.
    {"MissingOriginalShowsWindowsCopy", "10", "0", kMissingFile, true, false, kFillLike, 27.0,
     false},
    {"PolicyWallpaperWinsOverTheUsers", "0", "1", kAnotherPicture, false, true, kFillLike, 27.0,
     false},
};

const char kPolicyKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

// The group policy's wallpaper, filling; an empty file removes it.
void setPolicyWallpaper(const std::string& file) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, kPolicyKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  if (file.empty()) {
    RegDeleteValueA(key, "Wallpaper");
    RegDeleteValueA(key, "WallpaperStyle");
  } else {
    RegSetValueExA(key, "Wallpaper", 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                   static_cast<DWORD>(file.size() + 1));
    RegSetValueExA(key, "WallpaperStyle", 0, REG_SZ, reinterpret_cast<const BYTE*>("4"), 2);
  }
  RegCloseKey(key);
}

void PrintTo(const BackgroundCase& c, std::ostream* out) { *out << c.name; }

class SaversDesktopScene : public Scene,
                           public ::testing::WithParamInterface<BackgroundCase> {};

TEST_P(SaversDesktopScene, ShowsTheUsersBackgroundNotTheScreen) {
  const BackgroundCase& c = GetParam();
  ASSERT_TRUE(makeWallpapers()) << "could not make the wallpaper";
  ASSERT_NE(nullptr, saversDesktop()) << "no desktop for the saver: error " << GetLastError();
  int w = desktop_.width, h = desktop_.height;
  Picture expected = expectedBackground(c.expected, w, h, c.name);
  ASSERT_EQ(w, expected.width) << "ImageMagick made no picture to compare with";
  std::string other = directoryOfTests() + "\\e2e-other.bmp";
  const std::string users[] = {wallpaperFile(), unreadableWallpaperFile(),
                               directoryOfTests() + "\\e2e-moved-away.png", other};
  if (c.usersFile == kAnotherPicture) {
    ASSERT_TRUE(runHostCommand("convert -size 64x64 xc:red BMP3:'" + hostPath(other) + "'", 30000));
  }
  setWallpaper(users[c.usersFile], c.style, c.tile);
  // The saver finds Windows' copies under %APPDATA%, which it inherits.
  std::string appData = directoryOfTests() + "\\e2e-appdata";
  std::string themes = appData + "\\Microsoft\\Windows\\Themes";
  for (const std::string& dir : {appData, appData + "\\Microsoft", appData + "\\Microsoft\\Windows", themes})
    CreateDirectoryA(dir.c_str(), nullptr);
  std::string copy = themes + "\\TranscodedWallpaper";
  DeleteFileA(copy.c_str());
  if (c.transcodedCopy) {
    ASSERT_TRUE(CopyFileA(wallpaperFile().c_str(), copy.c_str(), FALSE));
  }
  if (c.policy) setPolicyWallpaper(wallpaperFile());
  // Only the rows that need them change the environment and the policy.
  char ownAppData[MAX_PATH] = {};
  GetEnvironmentVariableA("APPDATA", ownAppData, MAX_PATH);
  if (c.transcodedCopy) SetEnvironmentVariableA("APPDATA", appData.c_str());
  const char* overlays = c.overlays ? "1" : "0";
  HWND started = start(overlays, overlays, "WinSta0\\Screen-saver");
  if (c.transcodedCopy) SetEnvironmentVariableA("APPDATA", ownAppData);
  if (c.policy) setPolicyWallpaper("");
  DeleteFileA(copy.c_str());
  ASSERT_NE(nullptr, started);

  Picture first = captureScreen();
  saveBitmap(first, shotPath(std::string("saver-desktop-") + c.name));
  Region clock = {0, h - 45, 420, h};
  Region counter = {0, 0, 420, 40};
  if (c.overlays) {
    EXPECT_GT(countNew(first, expected, clock, isRed), 300) << "no clock";
    EXPECT_GT(countNew(first, expected, counter, isGreen), 200) << "no FPS counter";
    // The texts' corners are the background's for the comparison below.
    for (Region corner : {clock, counter})
      for (int y = corner.top; y < corner.bottom; ++y)
        for (int x = corner.left; x < corner.right; ++x)
          first.pixels[static_cast<size_t>(y) * w + x] = expected.at(x, y);
  }
  double match = psnr(first, expected);
  double asScreen = psnr(first, desktop_);
  printf("PSNR of the background on the saver's desktop (%s): %.2f dB; against the screen: "
         "%.2f dB\n",
         c.name, match, asScreen);
  if (c.minimumPsnr >= 99.0) {
    expectPixelIdentical(first, expected, "the background on the saver's desktop");
  } else {
    EXPECT_GE(match, c.minimumPsnr) << "not the background as the desktop places it";
  }
  EXPECT_LT(asScreen, 20.0) << "the saver copied the screen";

  if (c.overlays) {
    for (int i = 0; i < 5; ++i) {
      moveMouse(w / 2 - 100 + 40 * i, h / 2 + 20 * i);
      sleepMs(60);
    }
    sleepMs(200);
    Picture withEyes = captureScreen();
    saveBitmap(withEyes, shotPath("saver-desktop-eyes"));
    EXPECT_GT(countChanged(withEyes, expected, {w / 2 - 300, h / 2 - 150, w / 2 + 300, h / 2 + 150}),
              5000)
        << "no eyes over the background";
  }
  stop(true);
}

INSTANTIATE_TEST_SUITE_P(Wallpapers, SaversDesktopScene, ::testing::ValuesIn(kBackgroundCases),
                         [](const ::testing::TestParamInfo<BackgroundCase>& info) {
                           return std::string(info.param.name);
                         });

// Run by the Wine test script on two 1024x768 monitors side by side (a
// nested X server with Xinerama, which Wine takes for two monitors): the
// primary at 0,0 and the second one right of it; or, in the left-monitor
// group (GLIMMER_SECOND_MONITOR=left), the second one left of it at
// -1024,0, so that the desktop starts at negative coordinates.
const int kWidth = 1024;  // of each of the two monitors
const int kHeight = 768;

class TwoMonitors : public Scene {
 protected:
  void SetUp() override {
    char side[16] = {};
    GetEnvironmentVariableA("GLIMMER_SECOND_MONITOR", side, sizeof(side));
    secondLeft_ = strcmp(side, "left") == 0 ? -kWidth : kWidth;
    desktopLeft_ = secondLeft_ < 0 ? secondLeft_ : 0;
    // On one monitor every check below would pass or fail for other reasons.
    char asked[96];
    snprintf(asked, sizeof(asked), "%dx%dx32 (primary of 2 monitors, %dx%d in all)", kWidth,
             kHeight, 2 * kWidth, kHeight);
    ASSERT_TRUE(waitForScreen(asked));
    ASSERT_EQ(2, GetSystemMetrics(SM_CMONITORS)) << "Windows does not see two monitors";
    ASSERT_EQ(desktopLeft_, GetSystemMetrics(SM_XVIRTUALSCREEN))
        << "the second monitor is not on the side the group asked for";
    ASSERT_EQ(0, GetSystemMetrics(SM_YVIRTUALSCREEN));
    ASSERT_EQ(2 * kWidth, GetSystemMetrics(SM_CXVIRTUALSCREEN));
    ASSERT_EQ(kHeight, GetSystemMetrics(SM_CYVIRTUALSCREEN));
    ASSERT_EQ(kWidth, GetSystemMetrics(SM_CXSCREEN));
    ASSERT_EQ(kHeight, GetSystemMetrics(SM_CYSCREEN));
    moveMouse(5, 5);
    sleepMs(200);
    desktop_ = captureAllMonitors();
  }

  // A test that changed the live desktop puts the picture back, for the
  // tests after it; they compare with the desktop they find.
  void TearDown() override {
    if (!changedDesktop_) return;
    EXPECT_TRUE(showOnRootWindow(desktop_, "two-monitors-desktop"));
    EXPECT_EQ(0, differenceOf(captureAllMonitors(), desktop_).pixels)
        << "the desktop picture is not back";
  }

  // A region given in screen coordinates, in a picture of all monitors
  // (captureAllMonitors), whose first column is the desktop's left edge.
  Region inPicture(Region screen) const {
    return {screen.left - desktopLeft_, screen.top, screen.right - desktopLeft_, screen.bottom};
  }
  Region second() const { return inPicture({secondLeft_, 0, secondLeft_ + kWidth, kHeight}); }
  Region primaryMiddle() const {
    return inPicture(
        {kWidth / 2 - 300, kHeight / 2 - 150, kWidth / 2 + 300, kHeight / 2 + 150});
  }
  // +1 when the second monitor lies right of the primary, -1 when left.
  int secondSide() const { return secondLeft_ > 0 ? 1 : -1; }
  // A screen x given for the second monitor on the right, mirrored about
  // the primary's middle when it lies on the left.
  int towardsSecond(int x) const { return secondLeft_ > 0 ? x : kWidth - x; }
  std::string shotName(const char* name) const {
    return shotPath((secondLeft_ > 0 ? "two-monitors-" : "left-monitor-") + std::string(name));
  }

  int secondLeft_ = kWidth;  // screen x of the second monitor's left edge
  int desktopLeft_ = 0;      // screen x of the desktop's left edge
};

// Pixels in the region that differ from the desktop at all.
int countDiffering(const Picture& shot, const Picture& desktop, Region region) {
  int count = 0;
  for (int y = region.top; y < region.bottom; ++y)
    for (int x = region.left; x < region.right; ++x)
      if (shot.at(x, y) != desktop.at(x, y)) ++count;
  return count;
}

// The bounding box of the pixels that have the colour now but did not on the
// desktop; empty (right <= left) when there are none.
Region boxOfNew(const Picture& shot, const Picture& desktop, bool (*colour)(unsigned)) {
  Region box = {shot.width, shot.height, 0, 0};
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      if (!colour(shot.at(x, y)) || colour(desktop.at(x, y))) continue;
      if (x < box.left) box.left = x;
      if (y < box.top) box.top = y;
      if (x >= box.right) box.right = x + 1;
      if (y >= box.bottom) box.bottom = y + 1;
    }
  }
  return box;
}

bool inside(Region inner, Region outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// Where one eye looks. The eye is the box of the pixels the saver changed
// in `area`: the inside of the sphere's far half covers its whole disc.
// Within the disc the white of the eye comes out light (its pale texels,
// squared by the blend, keep red above 140 over any desktop), while the
// green iris and the black pupil leave red below 110 (at most the desktop's
// d(1-d), a quarter). The iris and pupil's centre, counted from the disc's
// middle, is where the eye faces on screen: right of it is positive.
struct EyeLook {
  Region disc = {0, 0, 0, 0};
  int irisPixels = 0;
  double irisRight = 0.0;  // pixels
};

EyeLook eyeLook(const Picture& shot, const Picture& desktop, Region area) {
  EyeLook look;
  Region& disc = look.disc;
  disc = {area.right, area.bottom, area.left, area.top};
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if (!clearlyDiffers(shot.at(x, y), desktop.at(x, y))) continue;
      if (x < disc.left) disc.left = x;
      if (y < disc.top) disc.top = y;
      if (x >= disc.right) disc.right = x + 1;
      if (y >= disc.bottom) disc.bottom = y + 1;
    }
  }
  if (disc.right <= disc.left) return look;
  double cx = (disc.left + disc.right) / 2.0, cy = (disc.top + disc.bottom) / 2.0;
  double rx = (disc.right - disc.left) / 2.0, ry = (disc.bottom - disc.top) / 2.0;
  double sum = 0.0;
  for (int y = disc.top; y < disc.bottom; ++y) {
    for (int x = disc.left; x < disc.right; ++x) {
      double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
      if (dx * dx + dy * dy > 1.0) continue;
      if (((shot.at(x, y) >> 16) & 0xFF) >= 110) continue;
      ++look.irisPixels;
      sum += x + 0.5 - cx;
    }
  }
  if (look.irisPixels > 0) look.irisRight = sum / look.irisPixels;
  return look;
}

// Moves the cursor from x0 to x1 in steps along the primary's middle row, so
// that the eyes wake and follow it.
void sweepCursor(int x0, int x1, int step) {
  for (int x = x0; step > 0 ? x <= x1 : x >= x1; x += step) {
    moveMouse(x, kHeight / 2);
    sleepMs(60);
  }
  sleepMs(200);
}

TEST_F(TwoMonitors, FrozenDesktopCoversBothMonitorsPixelForPixel) {
  // Parked on the second monitor, so that centring on the primary shows.
  moveMouse(towardsSecond(2 * kWidth - 200), kHeight - 100);
  sleepMs(100);
  HWND window = start("0", "0");
  ASSERT_NE(nullptr, window);
  RECT rect;
  ASSERT_TRUE(GetWindowRect(window, &rect));
  EXPECT_EQ(desktopLeft_, rect.left);
  EXPECT_EQ(0, rect.top);
  EXPECT_EQ(desktopLeft_ + 2 * kWidth, rect.right)
      << "the saver window does not cover both monitors";
  EXPECT_EQ(kHeight, rect.bottom);
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(kWidth / 2, cursor.x) << "the cursor is not in the middle of the primary monitor";
  EXPECT_EQ(kHeight / 2, cursor.y);

  Picture first = captureAllMonitors();
  saveBitmap(first, shotName("frozen"));
  expectPixelIdentical(first, desktop_, "the first frozen frame on two monitors");

  // Eyes that come and go prove that the saver's frames reach the screen;
  // the frame that takes them away must be both monitors exactly again.
  sweepCursor(kWidth / 2 - 100, kWidth / 2 + 100, 50);
  Picture withEyes = captureAllMonitors();
  saveBitmap(withEyes, shotName("eyes"));
  EXPECT_GT(countChanged(withEyes, desktop_, primaryMiddle()), 5000)
      << "no eyes: the saver's frames do not reach the screen";
  sleepMs(1600);
  Picture after = captureAllMonitors();
  saveBitmap(after, shotName("eyes-gone"));
  expectPixelIdentical(after, desktop_, "the frozen frame on two monitors after the eyes");
  stop();
}

TEST_F(TwoMonitors, EyesInThePrimarysMiddleFaceACursorOnTheSecondMonitor) {
  ASSERT_NE(nullptr, start("0", "0"));
  Region leftEye =
      inPicture({kWidth / 2 - 300, kHeight / 2 - 150, kWidth / 2, kHeight / 2 + 150});
  Region rightEye =
      inPicture({kWidth / 2, kHeight / 2 - 150, kWidth / 2 + 300, kHeight / 2 + 150});

  // The cursor on the primary's far edge from the second monitor first, for
  // comparison.
  sweepCursor(towardsSecond(120), towardsSecond(20), -20 * secondSide());
  Picture away = captureAllMonitors();
  saveBitmap(away, shotName("eyes-cursor-away"));
  sleepMs(1600);  // the eyes go again

  // Moves on the second monitor alone wake them, on the primary.
  sweepCursor(towardsSecond(kWidth + 276), towardsSecond(kWidth + 876), 100 * secondSide());
  Picture towardsIt = captureAllMonitors();
  saveBitmap(towardsIt, shotName("eyes-cursor-on-second"));
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(towardsSecond(kWidth + 876), cursor.x) << "the cursor did not reach the second monitor";

  EXPECT_GT(countChanged(towardsIt, desktop_, primaryMiddle()), 5000)
      << "moves on the second monitor do not wake the eyes in the primary's middle";
  EXPECT_EQ(0, countDiffering(towardsIt, desktop_, second()))
      << "the second monitor changed while the cursor moved over it";
  Difference difference = differenceOf(towardsIt, desktop_);
  EXPECT_TRUE(inside(difference.box, primaryMiddle()))
      << "changes outside the primary's middle: x " << difference.box.left << ".."
      << difference.box.right - 1 << ", y " << difference.box.top << ".."
      << difference.box.bottom - 1;

  EXPECT_GT(countChanged(towardsIt, away, primaryMiddle()), 2000)
      << "the eyes look the same for a cursor on the second monitor and far from it";

  // Each eye's iris and pupil show the cursor's side: for the cursor on the
  // second monitor they sit on that side of the eye's middle, and well
  // further that way than for the cursor on the primary's far edge
  // (measured with the second monitor on the right, for the left and the
  // right eye: +48 and +40 pixels against -2 and -8; eyes turned as for a
  // cursor on the other side of the primary gave -35 and -47). Counted
  // towards the second monitor, so the figures hold on either side.
  EyeLook onIt[2] = {eyeLook(towardsIt, desktop_, leftEye), eyeLook(towardsIt, desktop_, rightEye)};
  EyeLook offIt[2] = {eyeLook(away, desktop_, leftEye), eyeLook(away, desktop_, rightEye)};
  const char* names[2] = {"left eye", "right eye"};
  for (int i = 0; i < 2; ++i) {
    double onItTowards = secondSide() * onIt[i].irisRight;
    double offItTowards = secondSide() * offIt[i].irisRight;
    printf("%s: iris %+.1f px from the middle towards the second monitor (%d px) for the cursor "
           "on it, %+.1f px (%d px) for it far from it\n",
           names[i], onItTowards, onIt[i].irisPixels, offItTowards, offIt[i].irisPixels);
    ASSERT_GT(onIt[i].disc.right - onIt[i].disc.left, 60) << names[i] << " not found";
    ASSERT_GT(offIt[i].disc.right - offIt[i].disc.left, 60) << names[i] << " not found";
    EXPECT_GT(onIt[i].irisPixels, 200)
        << names[i] << ": no iris to see for the cursor on the second monitor";
    EXPECT_GT(onItTowards, 15.0) << names[i] << " does not face the cursor on the second monitor";
    EXPECT_GT(onItTowards - offItTowards, 20.0)
        << names[i] << " faces the second monitor no more for a cursor on it than far from it";
  }
  // The pair sits in the middle of the primary, not of the whole desktop.
  EXPECT_NEAR(kWidth / 2 - desktopLeft_, (onIt[0].disc.left + onIt[1].disc.right) / 2.0, 4.0);
  EXPECT_NEAR(kHeight / 2, (onIt[0].disc.top + onIt[0].disc.bottom) / 2.0, 4.0);
  stop();
}

TEST_F(TwoMonitors, ClockAndCounterSitInThePrimarysCornersOnly) {
  ASSERT_NE(nullptr, start("1", "1"));
  Picture shot = captureAllMonitors();
  saveBitmap(shot, shotName("clock-fps"));
  Region clock = inPicture({0, kHeight - 45, 420, kHeight});
  Region counter = inPicture({0, 0, 420, 40});
  EXPECT_GT(countNew(shot, desktop_, clock, isRed), 300) << "no clock";
  EXPECT_GT(countNew(shot, desktop_, counter, isGreen), 200) << "no FPS counter";
  Region red = boxOfNew(shot, desktop_, isRed);
  Region green = boxOfNew(shot, desktop_, isGreen);
  printf("clock within x %d..%d, y %d..%d; counter within x %d..%d, y %d..%d\n", red.left,
         red.right - 1, red.top, red.bottom - 1, green.left, green.right - 1, green.top,
         green.bottom - 1);
  EXPECT_TRUE(inside(red, clock)) << "red outside the primary's bottom-left corner";
  EXPECT_TRUE(inside(green, counter)) << "green outside the primary's top-left corner";
  EXPECT_EQ(0, countDiffering(shot, desktop_, second())) << "the second monitor changed";
  stop();
}

// A spanned wallpaper is placed once over both monitors' bounds (2048x768,
// wider than the picture: its top and bottom are cropped), not on each
// monitor by itself.
TEST_F(TwoMonitors, SpannedWallpaperOnTheSaversDesktopCoversBothMonitorsOnce) {
  ASSERT_TRUE(makeWallpapers()) << "could not make the wallpaper";
  ASSERT_NE(nullptr, saversDesktop()) << "no desktop for the saver: error " << GetLastError();
  Picture expected = expectedBackground(kFillLike, 2 * kWidth, kHeight, "two-monitors-span");
  ASSERT_EQ(2 * kWidth, expected.width) << "ImageMagick made no picture to compare with";
  setWallpaper(wallpaperFile(), "22", "0");
  ASSERT_NE(nullptr, start("0", "0", "WinSta0\\Screen-saver"));
  Picture first = captureAllMonitors();
  saveBitmap(first, shotName("span"));
  double match = psnr(first, expected);
  printf("PSNR of the spanned wallpaper on the saver's desktop: %.2f dB\n", match);
  EXPECT_GE(match, 27.0) << "the wallpaper is not spanned over both monitors";
  EXPECT_LT(psnr(first, desktop_), 20.0) << "the saver copied the screen";
  stop(true);
}

TEST_F(TwoMonitors, EscapeBringsTheLiveDesktopBackOnBothMonitors) {
  ASSERT_NE(nullptr, start("0", "0"));
  // The live desktop changes underneath: both monitors keep the saver's
  // copy while it runs, and after Escape show the live desktop, not a copy
  // left behind. The picture is the desktop's negative, so that every
  // pixel tells the two apart.
  Picture live = desktop_;
  for (unsigned& pixel : live.pixels) pixel ^= 0xFFFFFF;
  changedDesktop_ = true;
  ASSERT_TRUE(showOnRootWindow(live, "two-monitors-live-desktop"))
      << "could not change the desktop under the saver";
  Picture during = captureAllMonitors();
  saveBitmap(during, shotName("frozen-over-a-change"));
  expectPixelIdentical(during, desktop_, "both monitors while the desktop changes underneath");

  stop();
  sleepMs(300);
  Picture after = captureAllMonitors();
  saveBitmap(after, shotName("after-escape"));
  expectPixelIdentical(after, live, "the changed live desktop after Escape");
}

// Run on a 768x1024 screen by the Wine test script.
TEST(PortraitScene, EyesShowOnATallScreen) {
  ASSERT_LT(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  SetCursorPos(5, 5);
  sleepMs(200);
  Picture desktop = captureScreen();
  writeSettings("Current resolution", "0", "0");
  SaverProcess saver;
  ASSERT_TRUE(saver.start(quotedSaver() + " /s"));
  ASSERT_NE(nullptr, waitForWindow(saver.pid(), "MainWindow", 15000));
  sleepMs(kUntilPresented);
  Picture frozen = captureScreen();
  double match = psnr(frozen, desktop);
  printf("PSNR of the frozen portrait desktop: %.2f dB\n", match);
  EXPECT_GT(match, 40.0);

  int cx = desktop.width / 2, cy = desktop.height / 2;
  for (int i = 0; i < 4; ++i) {
    moveMouse(cx + 30 * i, cy - 20 * i);
    sleepMs(60);
  }
  sleepMs(200);
  Picture shot = captureScreen();
  saveBitmap(shot, shotPath("portrait-eyes"));
  EXPECT_GT(countChanged(shot, desktop, {0, cy - 300, desktop.width, cy + 300}), 5000)
      << "no eyes on a portrait screen";
  pressKey(VK_ESCAPE);
  EXPECT_EQ(0u, saver.waitExit(10000));
}

}  // namespace
