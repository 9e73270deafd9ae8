// The display mode changing under a running saver, as a game, the display
// settings or a monitor waking up change it. Run by the Wine test script on
// a 1024x768 screen that can switch down to 800x600 (RandR modes added to
// the X server); this program makes the switches itself, from outside the
// saver and on its desktop, which is what makes Wine send the saver
// WM_DISPLAYCHANGE.
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>  // timeGetTime

#include <string>

#include "tests/e2e/saver_driver.h"

using namespace driver;

namespace {

const int kStartWidth = 1024, kStartHeight = 768;
const int kSmallWidth = 800, kSmallHeight = 600;

// Switches the mode for the whole session, as another program would; 0 0
// goes back to the stored mode. True once Windows reports the size.
bool switchMode(int width, int height) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof(mode);
  mode.dmPelsWidth = width;
  mode.dmPelsHeight = height;
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  if (ChangeDisplaySettingsExA(nullptr, width == 0 ? nullptr : &mode, nullptr, 0, nullptr) !=
      DISP_CHANGE_SUCCESSFUL) {
    return false;
  }
  if (width == 0) width = kStartWidth, height = kStartHeight;
  return GetSystemMetrics(SM_CXSCREEN) == width && GetSystemMetrics(SM_CYSCREEN) == height;
}

bool listsMode(int width, int height) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof(mode);
  for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &mode); ++i) {
    if (static_cast<int>(mode.dmPelsWidth) == width &&
        static_cast<int>(mode.dmPelsHeight) == height && mode.dmBitsPerPel == 32) {
      return true;
    }
  }
  return false;
}

std::string rectText(const RECT& rect) {
  char text[64];
  snprintf(text, sizeof(text), "%ld,%ld-%ld,%ld", rect.left, rect.top, rect.right, rect.bottom);
  return text;
}

bool covers(HWND window, int width, int height) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect.left == 0 && rect.top == 0 && rect.right == width && rect.bottom == height;
}

// A 640x320 wallpaper, smaller than either screen, without red (the clock's
// colour) and unlike the desktop picture, with a one-pixel checker that
// any scaling or shift would blur; as a BMP, which the imaging component
// decodes exactly.
Picture makeWallpaper() {
  Picture wallpaper;
  wallpaper.width = 640;
  wallpaper.height = 320;
  for (int y = 0; y < wallpaper.height; ++y) {
    for (int x = 0; x < wallpaper.width; ++x) {
      unsigned r = (x + y) % 64, g = 40 + y * 200 / 320, b = ((x ^ y) & 1) ? 250 : 30;
      wallpaper.pixels.push_back(r << 16 | g << 8 | b);
    }
  }
  return wallpaper;
}

// The user's background on a screen of that size with the wallpaper
// centred, 1:1, on the desktop colour: what a screen whose size changed
// must show.
Picture centredBackground(const Picture& wallpaper, int width, int height) {
  COLORREF colour = GetSysColor(COLOR_DESKTOP);
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.assign(static_cast<size_t>(width) * height,
                        GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour));
  int left = (width - wallpaper.width) / 2, top = (height - wallpaper.height) / 2;
  for (int y = 0; y < wallpaper.height; ++y)
    for (int x = 0; x < wallpaper.width; ++x)
      picture.pixels[static_cast<size_t>(top + y) * width + left + x] = wallpaper.at(x, y);
  return picture;
}

void setCentredWallpaper(const std::string& file) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &key, nullptr);
  const char* values[3][2] = {{"Wallpaper", file.c_str()}, {"WallpaperStyle", "0"},
                              {"TileWallpaper", "0"}};
  for (const auto& value : values) {
    RegSetValueExA(key, value[0], 0, REG_SZ, reinterpret_cast<const BYTE*>(value[1]),
                   static_cast<DWORD>(strlen(value[1]) + 1));
  }
  RegCloseKey(key);
}

bool isRed(unsigned pixel) {
  return (pixel >> 16 & 0xFF) > 170 && (pixel >> 8 & 0xFF) < 90 && (pixel & 0xFF) < 90;
}

// A shot of the whole screen against what it should show: the pixels that
// differ outside the clock's corner (its bottom-left 420x45), and the
// clock's red pixels inside it.
struct Comparison {
  int stray = -1;
  int clock = 0;
};

Comparison compare(const Picture& shot, const Picture& expected) {
  Comparison result;
  if (shot.width != expected.width || shot.height != expected.height) return result;
  result.stray = 0;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      unsigned a = shot.at(x, y), b = expected.at(x, y);
      if (x < 420 && y >= shot.height - 45) {
        result.clock += isRed(a) && !isRed(b);
      } else {
        result.stray += a != b;
      }
    }
  }
  return result;
}

// Polls the screen for up to 5 s (or timeoutMs), until the window covers width x height
// and the screen is `expected` with the clock in its corner: a relayout
// waits for the changes to settle, and with the clock alone a frame comes
// once a second.
Comparison waitForPicture(HWND window, const Picture& expected, const std::string& name,
                          DWORD timeoutMs = 5000) {
  Comparison seen;
  Picture shot;
  DWORD start = timeGetTime();
  do {
    sleepMs(100);
    shot = captureArea(0, 0, expected.width, expected.height);
    seen = compare(shot, expected);
    if (covers(window, expected.width, expected.height) && seen.stray == 0 && seen.clock > 300)
      break;
  } while (timeGetTime() - start < timeoutMs);
  saveBitmap(shot, shotPath(name));
  printf("%s: %d pixels differ outside the clock, %d red in its corner, after %lu ms\n",
         name.c_str(), seen.stray, seen.clock, static_cast<unsigned long>(timeGetTime() - start));
  return seen;
}

class DisplayChange : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(GetSystemMetrics(SM_CXSCREEN) == kStartWidth || switchMode(0, 0));
    ASSERT_EQ(kStartHeight, GetSystemMetrics(SM_CYSCREEN));
    ASSERT_TRUE(listsMode(kSmallWidth, kSmallHeight))
        << "Windows lists no 800x600 mode: run this through tests/run_wine_tests.sh";
    SetCursorPos(5, 5);
    sleepMs(200);
    desktop_ = captureScreen();
  }

  // The screen goes back to its own mode whatever failed.
  void TearDown() override {
    saver_.kill();
    if (GetSystemMetrics(SM_CXSCREEN) != kStartWidth) {
      EXPECT_TRUE(switchMode(0, 0));
    }
  }

  HWND start(const char* resolution) {
    writeSettings(resolution, "1", "0");
    if (!saver_.start(quotedSaver() + " /s")) return nullptr;
    return waitForWindow(saver_.pid(), "MainWindow", 15000);
  }

  Picture desktop_;
  SaverProcess saver_;
};

// Down to 800x600 the screen's rectangle changed: the window follows it,
// the clock moves to the new bottom-left corner, and the screen shows the
// user's background composed for 800x600, neither the old picture's
// top-left nor black. Back at 1024x768 the start-up copy shows again.
TEST_F(DisplayChange, WindowClockAndPictureFollowTheModeAndComeBack) {
  Picture wallpaper = makeWallpaper();
  std::string wallpaperFile = directoryOfTests() + "\\e2e-display-change-wallpaper.bmp";
  ASSERT_TRUE(saveBitmap(wallpaper, wallpaperFile));
  setCentredWallpaper(wallpaperFile);
  HWND window = start("Current resolution");
  ASSERT_NE(nullptr, window);
  Picture atStart = desktop_;
  ASSERT_GT(waitForPicture(window, atStart, "display-change-start", 10000).clock, 300)
      << "no frame with the clock";

  ASSERT_TRUE(switchMode(kSmallWidth, kSmallHeight)) << "the switch to 800x600 failed";
  Comparison small = waitForPicture(
      window, centredBackground(wallpaper, kSmallWidth, kSmallHeight), "display-change-800x600");
  RECT rect = {};
  GetWindowRect(window, &rect);
  EXPECT_TRUE(covers(window, kSmallWidth, kSmallHeight))
      << "the saver window covers " << rectText(rect) << " on an 800x600 screen";
  EXPECT_EQ(0, small.stray) << "800x600 does not show the background composed for it";
  EXPECT_GT(small.clock, 300) << "no clock in the bottom-left corner of 800x600";

  ASSERT_TRUE(switchMode(0, 0)) << "the switch back to 1024x768 failed";
  Comparison back = waitForPicture(window, atStart, "display-change-back");
  EXPECT_TRUE(covers(window, kStartWidth, kStartHeight));
  EXPECT_EQ(0, back.stray) << "back at 1024x768 the frozen desktop is not the start-up copy";
  EXPECT_GT(back.clock, 300) << "no clock in the bottom-left corner of 1024x768";
  pressKey(VK_ESCAPE);
  EXPECT_EQ(0u, saver_.waitExit(10000));
}

// The saver's own switch: its restore at exit sends WM_DISPLAYCHANGE to a
// saver that is shutting down, which must simply end, leaving the screen
// at its own size and the window as it was until it goes.
TEST_F(DisplayChange, OwnModeRestoredAtExitEndsCleanly) {
  HWND window = start("800x600x32");
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(kSmallWidth, GetSystemMetrics(SM_CXSCREEN)) << "the saver did not switch the mode";
  // The clock counted against the desktop's top-left, which the root
  // window shows at 800x600.
  Picture desktop = desktop_;
  desktop.width = kSmallWidth;
  desktop.height = kSmallHeight;
  desktop.pixels.clear();
  for (int y = 0; y < kSmallHeight; ++y)
    for (int x = 0; x < kSmallWidth; ++x) desktop.pixels.push_back(desktop_.at(x, y));
  DWORD start = timeGetTime();
  while (compare(captureScreen(), desktop).clock <= 300 && timeGetTime() - start < 10000)
    sleepMs(100);
  ASSERT_GT(compare(captureScreen(), desktop).clock, 300) << "no frame with the clock at 800x600";
  ASSERT_TRUE(covers(window, kSmallWidth, kSmallHeight));

  // Watched without a pause: the window lives only milliseconds past the
  // restore.
  pressKey(VK_ESCAPE);
  RECT rect = {0, 0, kSmallWidth, kSmallHeight}, seen;
  start = timeGetTime();
  while (saver_.running() && timeGetTime() - start < 10000) {
    if (GetWindowRect(window, &seen) && !EqualRect(&seen, &rect)) rect = seen;
  }
  EXPECT_EQ(0u, saver_.waitExit(0));
  EXPECT_EQ("0,0-800,600", rectText(rect)) << "the window was laid out again while the saver ended";
  EXPECT_EQ(kStartWidth, GetSystemMetrics(SM_CXSCREEN)) << "the mode was not restored";
  EXPECT_EQ(kStartHeight, GetSystemMetrics(SM_CYSCREEN));
}

}  // namespace
