// The display mode changing under a running saver, as a game, the display
// settings or a monitor waking up change it. Run by the Wine test script on
// a 1024x768 screen that can switch down to 800x600 (RandR modes added to
// the X server). This program makes the switches itself: from outside the
// saver and on its desktop, which is what makes Wine send the saver
// WM_DISPLAYCHANGE.
#include "tests/e2e/scene_shots.h"

using namespace shots;

namespace {

// Switches the session's mode as another program would; 0 x 0 goes back to
// the stored mode, 1024x768. True once Windows reports the new size.
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
  return GetSystemMetrics(SM_CXSCREEN) == (width == 0 ? 1024 : width) &&
         GetSystemMetrics(SM_CYSCREEN) == (width == 0 ? 768 : height);
}

bool lists800x600() {
  DEVMODEA mode = {};
  mode.dmSize = sizeof(mode);
  for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &mode); ++i)
    if (mode.dmPelsWidth == 800 && mode.dmPelsHeight == 600 && mode.dmBitsPerPel == 32) return true;
  return false;
}

// "left,top-right,bottom" of the window; "gone" once it is destroyed.
std::string windowRect(HWND window) {
  RECT rect;
  return GetWindowRect(window, &rect) ? rectText(rect) : "gone";
}

// A 640x320 wallpaper, smaller than either screen, unlike the desktop
// picture and without the clock's red, with a one-pixel checker that any
// scaling or shift would blur; a BMP, which the imaging component decodes
// exactly.
Picture makeWallpaper() {
  Picture wallpaper;
  wallpaper.width = 640;
  wallpaper.height = 320;
  for (int y = 0; y < wallpaper.height; ++y)
    for (int x = 0; x < wallpaper.width; ++x)
      wallpaper.pixels.push_back(((x + y) % 64) << 16 | (40 + y * 200 / 320) << 8 |
                                 (((x ^ y) & 1) ? 250 : 30));
  return wallpaper;
}

// The user's background on a screen of that size: the wallpaper centred
// 1:1 on the desktop colour (setWallpaper's, which a saver started after it
// reads). What a screen whose size changed must show.
Picture centredBackground(const Picture& wallpaper, int width, int height) {
  unsigned r = 0, g = 0, b = 0;
  sscanf(kDesktopColour, "%u %u %u", &r, &g, &b);
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.assign(static_cast<size_t>(width) * height, r << 16 | g << 8 | b);
  int left = (width - wallpaper.width) / 2, top = (height - wallpaper.height) / 2;
  for (int y = 0; y < wallpaper.height; ++y)
    for (int x = 0; x < wallpaper.width; ++x)
      picture.pixels[static_cast<size_t>(top + y) * width + left + x] = wallpaper.at(x, y);
  return picture;
}

// A shot of the whole screen against what it should show (its top-left
// part, when `expected` is larger): the pixels that differ outside the
// clock's bottom-left 420x45 corner, and the clock's new red pixels in it.
struct Comparison {
  int stray = -1;
  int clock = 0;
};

Comparison compare(const Picture& shot, const Picture& expected) {
  Comparison result;
  if (expected.width < shot.width || expected.height < shot.height) return result;
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

// Polls for up to timeoutMs until the window covers the screen and the
// screen is `expected` with the clock in its corner: a relayout waits for
// the changes to settle, and with the clock alone a frame comes once a
// second.
Comparison waitForPicture(HWND window, const Picture& expected, const char* name,
                          DWORD timeoutMs = slack(5000)) {
  char covering[32];
  snprintf(covering, sizeof(covering), "0,0-%d,%d", expected.width, expected.height);
  Comparison seen;
  Picture shot;
  DWORD start = timeGetTime();
  waitUntil(
      [&] {
        shot = captureArea(0, 0, expected.width, expected.height);
        seen = compare(shot, expected);
        return windowRect(window) == covering && seen.stray == 0 && seen.clock > 300;
      },
      timeoutMs);
  saveBitmap(shot, shotPath(name));
  printf("%s: %d pixels differ outside the clock, %d red in its corner, after %lu ms\n", name,
         seen.stray, seen.clock, static_cast<unsigned long>(timeGetTime() - start));
  return seen;
}

class DisplayChange : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(GetSystemMetrics(SM_CXSCREEN) == 1024 || switchMode(0, 0));
    ASSERT_EQ(768, GetSystemMetrics(SM_CYSCREEN));
    ASSERT_TRUE(lists800x600()) << "no 800x600 mode: run this through tests/run_wine_tests.sh";
    SetCursorPos(5, 5);
    desktop_ = settledScreen();
  }

  // The screen goes back to its own mode whatever failed.
  void TearDown() override {
    saver_.kill();
    if (GetSystemMetrics(SM_CXSCREEN) != 1024) {
      EXPECT_TRUE(switchMode(0, 0));
    }
  }

  HWND start(const char* resolution) {
    writeSettings(resolution, "1", "0");
    if (!saver_.start(quotedSaver() + " /s")) return nullptr;
    return waitForWindow(saver_.pid(), "MainWindow", slack(15000));
  }

  Picture desktop_;
  SaverProcess saver_;
};

// Down to 800x600 the screen's rectangle changed: the window follows it,
// the clock moves to the new bottom-left corner, and the screen shows the
// user's background composed for 800x600, not the old picture's top-left
// nor black. Back at 1024x768 the start-up copy shows again, exactly.
TEST_F(DisplayChange, WindowClockAndPictureFollowTheModeAndComeBack) {
  Picture wallpaper = makeWallpaper();
  std::string wallpaperFile = directoryOfTests() + "\\e2e-display-change-wallpaper.bmp";
  ASSERT_TRUE(saveBitmap(wallpaper, wallpaperFile));
  setWallpaper(wallpaperFile, "0", "0");
  HWND window = start("Current resolution");
  ASSERT_NE(nullptr, window);
  ASSERT_GT(waitForPicture(window, desktop_, "display-change-start", slack(10000)).clock, 300)
      << "no frame with the clock";

  ASSERT_TRUE(switchMode(800, 600)) << "the switch to 800x600 failed";
  Comparison small =
      waitForPicture(window, centredBackground(wallpaper, 800, 600), "display-change-800x600");
  EXPECT_EQ("0,0-800,600", windowRect(window)) << "the window did not follow the screen";
  EXPECT_EQ(0, small.stray) << "800x600 does not show the background composed for it";
  EXPECT_GT(small.clock, 300) << "no clock in the bottom-left corner of 800x600";

  ASSERT_TRUE(switchMode(0, 0)) << "the switch back to 1024x768 failed";
  Comparison back = waitForPicture(window, desktop_, "display-change-back");
  EXPECT_EQ("0,0-1024,768", windowRect(window));
  EXPECT_EQ(0, back.stray) << "back at 1024x768 the frozen desktop is not the start-up copy";
  EXPECT_GT(back.clock, 300) << "no clock in the bottom-left corner of 1024x768";
  ASSERT_TRUE(bringToFront(window));
  pressKey(VK_ESCAPE);
  EXPECT_EQ(0u, saver_.waitExit(slack(10000)));
}

// The saver's own switch: its restore at exit sends WM_DISPLAYCHANGE to a
// saver that is shutting down, which must simply end, leaving the screen
// at its own size and the window as it was until it goes.
TEST_F(DisplayChange, OwnModeRestoredAtExitEndsCleanly) {
  HWND window = start("800x600x32");
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(800, GetSystemMetrics(SM_CXSCREEN)) << "the saver did not switch the mode";
  // The clock's red counted against the desktop picture's top-left, which
  // is what the screen shows at 800x600.
  DWORD start = timeGetTime();
  ASSERT_TRUE(waitUntil([&] { return compare(captureScreen(), desktop_).clock > 300; },
                        slack(10000)))
      << "no frame with the clock";
  std::string last = windowRect(window), seen;
  ASSERT_EQ("0,0-800,600", last);

  // Watched without a pause: the window lives only milliseconds past the
  // restore, and may be gone before the first look.
  ASSERT_TRUE(bringToFront(window));
  pressKey(VK_ESCAPE);
  while (saver_.running() && timeGetTime() - start < 20000)
    if ((seen = windowRect(window)) != "gone") last = seen;
  EXPECT_EQ(0u, saver_.waitExit(0));
  EXPECT_EQ("0,0-800,600", last) << "the window was laid out again while the saver ended";
  EXPECT_EQ(1024, GetSystemMetrics(SM_CXSCREEN)) << "the mode was not restored";
  EXPECT_EQ(768, GetSystemMetrics(SM_CYSCREEN));
}

}  // namespace
