// The frozen desktop: the copy of the screen the saver shows, on every
// size and depth, and the user's background where the system starts it on
// a desktop of its own.
#include "tests/e2e/scene_shots.h"
#include "tests/param_name.h"

#include <memory>

using namespace shots;

namespace {

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

// The shot is of a GL frame: start() saw eyes come and go first.
TEST_F(SizesScene, FrozenDesktopIsTheDesktopPixelForPixel) {
  ASSERT_NE(nullptr, start("0", "0"));
  std::string name = screenName();
  Picture frame = captureScreen();
  saveBitmap(frame, shotPath("sizes-frozen-" + name));
  expectPixelIdentical(frame, desktop_, "the frozen desktop after the eyes");
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
  if (c.policy) setPolicyWallpaper(wallpaperFile(), "4");  // to fill
  // Only the rows that need them change the environment and the policy.
  HWND started;
  {
    std::unique_ptr<ScopedEnvironment> copyHere;
    if (c.transcodedCopy) copyHere.reset(new ScopedEnvironment("APPDATA", appData.c_str()));
    const char* overlays = c.overlays ? "1" : "0";
    started = start(overlays, overlays, "WinSta0\\Screen-saver");
  }
  if (c.policy) setPolicyWallpaper("", "");
  DeleteFileA(copy.c_str());
  ASSERT_NE(nullptr, started);

  Picture first = captureScreen();
  saveBitmap(first, shotPath(std::string("saver-desktop-") + c.name));
  Region clock = clockCorner(h), counter = counterCorner();
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
    sweepMiddle(w, h);
    Picture withEyes;
    EXPECT_TRUE(captureUntil(&withEyes, [&](const Picture& shot) {
      return countChanged(shot, expected, middleOf(w, h)) > 5000;
    }, slack(1000))) << "no eyes over the background";
    saveBitmap(withEyes, shotPath("saver-desktop-eyes"));
  }
  stop(true);
}

INSTANTIATE_TEST_SUITE_P(Wallpapers, SaversDesktopScene, ::testing::ValuesIn(kBackgroundCases),
                         ParamName());

}  // namespace
