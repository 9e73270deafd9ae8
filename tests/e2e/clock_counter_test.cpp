// The clock and the FPS counter: each in its corner, each alone, and the
// repaint of an uncovered area between two clock frames.
#include "tests/e2e/scene_shots.h"

using namespace shots;

namespace {

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
TEST_F(Scene, ClockShowsRedAtTheBottomLeftAndFpsGreenAtTheTopLeft) {
  ASSERT_NE(nullptr, start("1", "1"));
  Region clock = clockCorner(desktop_.height), counter = counterCorner();
  Region middle = middleOf(desktop_.width, desktop_.height);
  moveMouse(desktop_.width / 2 + 40, desktop_.height / 2 + 30);
  Picture shot;
  captureUntil(&shot, [&](const Picture& s) { return countChanged(s, desktop_, middle) > 5000; },
               1000);
  saveBitmap(shot, shotPath("eyes-clock-fps"));
  EXPECT_GT(countNew(shot, desktop_, clock, isRed), 300) << "no clock";
  EXPECT_GT(countNew(shot, desktop_, counter, isGreen), 200) << "no FPS counter";
  // Each text only where it belongs.
  EXPECT_EQ(0, countNew(shot, desktop_, counter, isRed));
  EXPECT_EQ(0, countNew(shot, desktop_, clock, isGreen));
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
  Region clock = clockCorner(h);
  EXPECT_GT(countNew(shot, desktop_, clock, isRed), 300);
  EXPECT_EQ(0, countNew(shot, desktop_, counterCorner(), isGreen));

  Region covered = {w / 4, h / 4, w * 3 / 4, h * 3 / 4};
  HWND cover = showCoverWindow(covered);
  ASSERT_NE(nullptr, cover);
  int area = (covered.right - covered.left) * (covered.bottom - covered.top);
  bool shown = captureUntil(&shot, [&](const Picture& s) {
    pumpMessages(10);
    return countChanged(s, desktop_, covered) > area * 9 / 10;
  }, 2000);
  saveBitmap(shot, shotPath("covered"));
  if (!shown) DestroyWindow(cover);  // not over the tests after this one
  ASSERT_TRUE(shown) << "the cover window does not show over the saver";

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
  EXPECT_GT(countNew(shot, desktop_, counterCorner(), isGreen), 200);
  EXPECT_EQ(0, countNew(shot, desktop_, clockCorner(shot.height), isRed));
  stop();
}

}  // namespace
