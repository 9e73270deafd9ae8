// The clock alone, and the repaint of an uncovered area between two clock
// frames. (Both texts, each in its own corner: the timing test.)
#include "tests/e2e/scene_shots.h"

using namespace shots;

namespace {

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

// With the clock alone a frame comes once a second, so this is also where
// an area that a window uncovers must be repainted on its own. A window like
// a notification or an on-screen volume display (top-most, never
// activated, from another process) covers part of the saver and goes just
// after a clock frame; where it was must be the frozen desktop again within
// a frame or two, before the next clock frame. (With the counter on,
// frames come at the display's rate and hide a repaint that is missing.)
TEST_F(Scene, ClockAloneWhenOnlyTheClockIsOnAndUncoveredAreasRepainted) {
  ASSERT_NE(nullptr, start("1", "0"));
  Picture shot = captureScreen();
  int w = shot.width, h = shot.height;
  Region clock = clockCorner(h);
  EXPECT_GT(countNew(shot, desktop_, clock, isRed), 300);
  EXPECT_EQ(0, countNew(shot, desktop_, counterCorner(), isGreen));

  Region covered = {w / 4, h / 4, w * 3 / 4, h * 3 / 4};
  HWND cover = testkit::showTestWindow("GlimmerTestCover", coverWindowProc, covered.left,
                                       covered.top, covered.right - covered.left,
                                       covered.bottom - covered.top);
  ASSERT_NE(nullptr, cover);
  int area = (covered.right - covered.left) * (covered.bottom - covered.top);
  bool shown = captureUntil(&shot, [&](const Picture& s) {
    return countChanged(s, desktop_, covered) > area * 9 / 10;
  }, slack(2000));
  saveBitmap(shot, shotPath("covered"));
  if (!shown) DestroyWindow(cover);  // not over the tests after this one
  ASSERT_TRUE(shown) << "the cover window does not show over the saver";

  // The cover goes as soon as a clock frame is seen (the clock's corner
  // changes): the next one, a second later, would repaint everything.
  Picture ticked, beforeTick = captureScreen();
  bool tick = captureUntil(&ticked, [&](const Picture& s) {
    return countDifferent(s, beforeTick, clock) > 20;
  }, slack(2500));
  DestroyWindow(cover);
  ASSERT_TRUE(tick) << "the clock did not change within " << slack(2500) << " ms";
  DWORD gone = timeGetTime();
  int stale = -1;
  captureUntil(&shot, [&](const Picture& s) {
    stale = differenceOf(s, desktop_).pixels - countDifferent(s, desktop_, clock);
    return stale == 0;
  }, slack(200));
  DWORD took = timeGetTime() - gone;
  saveBitmap(shot, shotPath("uncovered"));
  printf("The uncovered area was %sthe frozen desktop %lu ms after the cover went\n",
         stale == 0 ? "" : "not yet ", static_cast<unsigned long>(took));
  EXPECT_EQ(0, stale) << "pixels outside the clock's corner still differ from the desktop "
                      << took << " ms after the cover went, "
                      << countDifferent(shot, desktop_, covered) << " of them where it was";
  // Still the clock of that frame: no later clock frame did the repaint.
  EXPECT_EQ(0, countDifferent(shot, ticked, clock))
      << "the clock changed before the uncovered area was repainted";
  EXPECT_TRUE(saver_.running()) << "the saver ended under the cover window";
  stop();
}

}  // namespace
