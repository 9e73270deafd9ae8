// Two monitors side by side: the frozen desktop over both, the eyes and
// the texts on the primary, a spanned wallpaper.
#include "tests/e2e/scene_shots.h"

using namespace shots;

namespace {

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
    desktop_ = settledScreen(captureAllMonitors);
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
    return inPicture(middleOf(kWidth, kHeight));
  }
  // +1 when the second monitor lies right of the primary, -1 when left.
  int secondSide() const { return secondLeft_ > 0 ? 1 : -1; }
  // A screen x given for the second monitor on the right, mirrored about
  // the primary's middle when it lies on the left.
  int towardsSecond(int x) const { return secondLeft_ > 0 ? x : kWidth - x; }
  // Moves the cursor from x0 to x1 in steps along the primary's middle row,
  // so that the eyes wake and follow it; the first shot of all monitors
  // that shows them, or the last one taken.
  Picture sweepCursor(int x0, int x1, int step) const {
    for (int x = x0; step > 0 ? x <= x1 : x >= x1; x += step) {
      moveMouse(x, kHeight / 2);
      sleepMs(60);
    }
    return shotOnceEyesAre(true);
  }
  Picture shotOnceEyesAre(bool shown) const {
    Picture shot;
    captureUntil(&shot, [&](const Picture& s) {
      int changed = countChanged(s, desktop_, primaryMiddle());
      return shown ? changed > 5000 : changed < 50;
    }, kMouseMoveWindow + slack(600), captureAllMonitors);
    return shot;
  }
  std::string shotName(const char* name) const {
    return shotPath((secondLeft_ > 0 ? "two-monitors-" : "left-monitor-") + std::string(name));
  }

  int secondLeft_ = kWidth;  // screen x of the second monitor's left edge
  int desktopLeft_ = 0;      // screen x of the desktop's left edge
};

bool inside(Region inner, Region outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

TEST_F(TwoMonitors, FrozenDesktopCoversBothMonitorsPixelForPixel) {
  // Parked on the second monitor, so that centring on the primary shows.
  POINT parked = {towardsSecond(2 * kWidth - 200), kHeight - 100}, cursor;
  moveMouse(parked.x, parked.y);
  waitUntil([&] { return GetCursorPos(&cursor) && cursor.x == parked.x; }, 1000);
  // The eyes below show the frames, after the cursor's place is checked.
  HWND window = start("0", "0", "", false);
  ASSERT_NE(nullptr, window);
  RECT rect;
  ASSERT_TRUE(GetWindowRect(window, &rect));
  EXPECT_EQ(desktopLeft_, rect.left);
  EXPECT_EQ(0, rect.top);
  EXPECT_EQ(desktopLeft_ + 2 * kWidth, rect.right)
      << "the saver window does not cover both monitors";
  EXPECT_EQ(kHeight, rect.bottom);
  waitUntil([&] {
    return GetCursorPos(&cursor) && cursor.x == kWidth / 2 && cursor.y == kHeight / 2;
  }, slack(3000));
  EXPECT_EQ(kWidth / 2, cursor.x) << "the cursor is not in the middle of the primary monitor";
  EXPECT_EQ(kHeight / 2, cursor.y);

  Picture first = captureAllMonitors();
  saveBitmap(first, shotName("frozen"));
  expectPixelIdentical(first, desktop_, "the first frozen frame on two monitors");

  // Eyes that come and go prove that the saver's frames reach the screen;
  // the frame that takes them away must be both monitors exactly again.
  EXPECT_TRUE(eyesCameAndWent()) << "no eyes: the saver's frames do not reach the screen";
  Picture after = captureAllMonitors();
  saveBitmap(after, shotName("eyes-gone"));
  expectPixelIdentical(after, desktop_, "the frozen frame on two monitors after the eyes");
  stop();
}

TEST_F(TwoMonitors, EyesInThePrimarysMiddleFaceACursorOnTheSecondMonitor) {
  ASSERT_NE(nullptr, start("0", "0"));
  Region leftEye = leftHalf(primaryMiddle()), rightEye = rightHalf(primaryMiddle());

  // The cursor on the primary's far edge from the second monitor first, for
  // comparison.
  Picture away = sweepCursor(towardsSecond(120), towardsSecond(20), -20 * secondSide());
  saveBitmap(away, shotName("eyes-cursor-away"));
  shotOnceEyesAre(false);

  // Moves on the second monitor alone wake them, on the primary.
  Picture towardsIt =
      sweepCursor(towardsSecond(kWidth + 276), towardsSecond(kWidth + 876), 100 * secondSide());
  saveBitmap(towardsIt, shotName("eyes-cursor-on-second"));
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(towardsSecond(kWidth + 876), cursor.x) << "the cursor did not reach the second monitor";

  EXPECT_GT(countChanged(towardsIt, desktop_, primaryMiddle()), 5000)
      << "moves on the second monitor do not wake the eyes in the primary's middle";
  EXPECT_EQ(0, countDifferent(towardsIt, desktop_, second()))
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
  Region all = {0, 0, shot.width, shot.height};
  Region red = newOf(shot, desktop_, all, isRed).box;
  Region green = newOf(shot, desktop_, all, isGreen).box;
  printf("clock within x %d..%d, y %d..%d; counter within x %d..%d, y %d..%d\n", red.left,
         red.right - 1, red.top, red.bottom - 1, green.left, green.right - 1, green.top,
         green.bottom - 1);
  EXPECT_TRUE(inside(red, clock)) << "red outside the primary's bottom-left corner";
  EXPECT_TRUE(inside(green, counter)) << "green outside the primary's top-left corner";
  EXPECT_EQ(0, countDifferent(shot, desktop_, second())) << "the second monitor changed";
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
  Picture after;
  captureUntil(&after, [&](const Picture& s) { return differenceOf(s, live).pixels == 0; }, 2000,
               captureAllMonitors);
  saveBitmap(after, shotName("after-escape"));
  expectPixelIdentical(after, live, "the changed live desktop after Escape");
}

}  // namespace
