// The saver's window against other programs: one that moves it, and one
// that holds the foreground while the saver starts.
#include "tests/e2e/scene_shots.h"
#include "tests/test_helpers_win32.h"

using namespace shots;

namespace {

// Wine 8 lets another process move and resize the saver's top-most window,
// which stands for Windows putting windows back when monitors return. The
// live desktop turns to its negative first, so any strip the window leaves
// shows.
TEST_F(Scene, MovedAndResizedByAnotherProgramItCoversTheScreenAsBefore) {
  HWND window = start("0", "0");
  ASSERT_NE(nullptr, window);
  Picture live = desktop_;
  for (unsigned& pixel : live.pixels) pixel ^= 0xFFFFFF;
  changedDesktop_ = true;
  ASSERT_TRUE(showOnRootWindow(live, "window-place-live"));
  SetWindowPos(window, nullptr, 200, 150, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
  RECT rect = {};
  Picture shot;
  // Within a frame and the capture's own time.
  testkit::waitUntil([&] {
    GetWindowRect(window, &rect);
    return differenceOf(shot = captureScreen(), desktop_).pixels == 0;
  }, testkit::slack(200));
  saveBitmap(shot, shotPath("window-place-after-move"));
  int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  std::string screen = rectText({left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                                 top + GetSystemMetrics(SM_CYVIRTUALSCREEN)});
  EXPECT_EQ(screen, rectText(rect));
  expectPixelIdentical(shot, desktop_, "the screen after the window was moved");

  // A move the window is not told of, then a display change that leaves
  // the monitors as they were (the mode set again): the window goes back.
  SetWindowPos(window, nullptr, 200, 150, 400, 300,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSENDCHANGING);
  ASSERT_TRUE(GetWindowRect(window, &rect) && rectText(rect) == "200,150-600,450")
      << "Wine did not make the unannounced move: " << rectText(rect);
  ASSERT_EQ(DISP_CHANGE_SUCCESSFUL, ChangeDisplaySettingsExA(nullptr, nullptr, nullptr, 0, nullptr));
  // The change settles for half a second first.
  testkit::waitUntil([&] {
    GetWindowRect(window, &rect);
    return differenceOf(shot = captureScreen(), desktop_).pixels == 0;
  }, testkit::slack(3000));
  saveBitmap(shot, shotPath("window-place-after-display-change"));
  EXPECT_EQ(screen, rectText(rect));
  expectPixelIdentical(shot, desktop_, "the screen after the display change");
  stop();
}

// Started by a program that keeps the foreground (a scheduler, a hot-key
// tool): the saver's window must take it, or Escape goes to that program.
TEST_F(Scene, StartedWhileAnotherWindowIsForegroundItTakesItAndEndsOnEscape) {
  HWND other = testkit::showForegroundHolder();
  ASSERT_NE(nullptr, other);
  writeSettings("Current resolution", "0", "0");
  ASSERT_TRUE(saver_.start(quotedSaver() + " /s"));
  HWND window = waitForWindow(saver_.pid(), "MainWindow", testkit::slack(15000));
  ASSERT_NE(nullptr, window);
  EXPECT_TRUE(testkit::waitForForeground(window, testkit::slack(5000)))
      << "the foreground stays with " << windowText(GetForegroundWindow());
  pressKey(VK_ESCAPE);
  EXPECT_EQ(0u, saver_.waitExit(testkit::slack(10000)));
  DestroyWindow(other);
}

}  // namespace
