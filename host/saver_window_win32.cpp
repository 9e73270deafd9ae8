// The full-screen saver window, its render loop and the frame the loop
// draws. The loop draws only when a frame is due and otherwise sleeps until
// the next one is, or until a message arrives.
#include "host/saver_app.h"

#include <string.h>

#include "host/window_class_win32.h"
#include "resources/resource_ids.h"
#include "scene/frame_gl.h"
#include "scene/frame_timing.h"
#include "scene/gl_context_gl.h"
#include "settings/display_mode_win32.h"

namespace {

const char kSaverClassName[] = "MainWindow";

LRESULT CALLBACK saverWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      saverApp.centreCursor();
      return 0;
    case WM_ACTIVATE:
      // Exactly 0: deactivated and not minimised. A nested modal loop (error
      // box, password dialog) takes the activation away legitimately.
      if (wParam == 0 && !saverApp.modalActive) PostMessageA(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_CLOSE:
      if (!saverApp.modalActive && saverApp.verifyPassword(hwnd) != 0) PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      // Validated without drawing, as the default procedure would; the
      // loop redraws the whole window once the hold-back allows it.
      PAINTSTRUCT paint;
      BeginPaint(hwnd, &paint);
      EndPaint(hwnd, &paint);
      saverApp.frameDamaged = true;
      return 0;
    }
    case WM_ERASEBKGND:
      // Never erased: until the first frame is presented the desktop
      // underneath stays visible, and that is what the snapshot copies.
      return 0;
    case WM_SETCURSOR:
      SetCursor(LoadCursorA(nullptr, IDC_ARROW));
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) PostMessageA(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_SYSCOMMAND:
      // Alt+F4 (SC_CLOSE), SC_SCREENSAVE and the rest are all swallowed.
      return 0;
    case WM_MOUSEMOVE:
      // The loop notes mouse moves as it takes them from the queue.
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

}  // namespace

bool SaverApp::createSaverWindow(HINSTANCE instance) {
  // No class cursor: WM_SETCURSOR sets the arrow itself.
  if (!registerWindowClass(instance, kSaverClassName, saverWindowProc,
                           LoadIconA(instance, MAKEINTRESOURCEA(IDI_EYE)), nullptr)) {
    return false;
  }

  // Over every monitor. WM_CREATE centres the cursor on the primary one,
  // which runSaver has measured before this call.
  window = CreateWindowExA(WS_EX_TOPMOST, kSaverClassName, "Glimmerwatch",
                           WS_POPUP | WS_VISIBLE, layout.window.left, layout.window.top,
                           screenWidth, screenHeight, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return false;
  ShowWindow(window, SW_SHOW);
  return true;
}

namespace {

// The wall clock's second as the clock text shows it, and the milliseconds
// until the next one.
void readWallClock(long long* second, uint32_t* untilNext) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks;  // 100 ns units
  ticks.LowPart = now.dwLowDateTime;
  ticks.HighPart = now.dwHighDateTime;
  *second = static_cast<long long>(ticks.QuadPart / 10000000u);
  *untilNext = 1000u - static_cast<uint32_t>((ticks.QuadPart / 10000u) % 1000u);
}

}  // namespace

void SaverApp::enterRenderLoop() {
  BOOL previous = FALSE;
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, TRUE, &previous, 0);
  screenSaverRunning = true;
  refreshRate = usableRefreshRate(currentRefreshRate());
  requestSwapInterval(1);
  startTime = timeGetTime();
}

void SaverApp::leaveRenderLoop() {
  useFineTimer(false);
  BOOL previous = FALSE;
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &previous, 0);
  screenSaverRunning = false;
}

// The one place that decides what counts as a mouse move for the eyes.
void SaverApp::noteMouseMove(UINT message) {
  if (message == WM_MOUSEMOVE) lastMouseMoveTime = timeGetTime();
}

bool SaverApp::takeOneMessage() {
  MSG message;
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return true;
  if (message.message == WM_QUIT) {
    quitCode = static_cast<int>(message.wParam);
    return false;
  }
  // The frame only peeks at the head of the queue, so a mouse move taken
  // here would never reach it; Wine turns X motion into messages inside
  // this very call, which made the eyes miss most single moves.
  noteMouseMove(message.message);
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return true;
}

FrameDecision SaverApp::decideNextFrame() {
  FrameSchedule schedule = {};
  schedule.now = timeGetTime();
  schedule.holdBackStart = startTime;
  // A password check restarts the hold-back; its end is due a frame again.
  schedule.holdBackFrameShown = framePresented && presentedHoldBackStart == startTime;
  schedule.lastMouseMoveTime = lastMouseMoveTime;
  schedule.lastFrameShowedEyes = lastFrameShowedEyes;
  schedule.damaged = frameDamaged;
  schedule.clockOn = showTime;
  long long second = 0;
  readWallClock(&second, &schedule.untilNextSecond);
  schedule.clockSecondChanged = second != lastClockSecond;
  schedule.fpsOn = showFps;
  schedule.nextPacedTime = framePace.next;
  return decideFrame(schedule);
}

// Sleeps that pace frames must end on the millisecond rather than on the
// 15.6 ms default tick, or 60 Hz frames come in uneven bursts; a finer tick
// costs power, so it is asked for only while frames are paced (the eyes are
// up or the counter is on), never while the picture is still.
void SaverApp::useFineTimer(bool fine) {
  if (fine == fineTimer) return;
  if (fine) {
    timeBeginPeriod(1);
  } else {
    timeEndPeriod(1);
  }
  fineTimer = fine;
}

// Takes at most one message per pass, as the window procedures expect, and
// draws only the frames that are due. Between them it sleeps until the next
// one is due or any message arrives (MWMO_INPUTAVAILABLE: also one already
// seen but still queued), so Escape, mouse moves and close requests act at
// once and a still picture costs nothing.
int SaverApp::runRenderLoop() {
  enterRenderLoop();
  while (takeOneMessage()) {
    FrameDecision decision = decideNextFrame();
    if (decision.drawNow) {
      drawFrame(showTime, showFps);
      continue;
    }
    useFineTimer(showFps || eyesVisible(timeGetTime(), lastMouseMoveTime));
    DWORD timeout = decision.waitMs == kWaitForever ? INFINITE : decision.waitMs;
    MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  leaveRenderLoop();
  return quitCode;
}

void SaverApp::drawFrame(bool timeShown, bool fpsShown) {
  // The first frame after a hold-back starts the count afresh, so the
  // counter's first figure is a full second of presented frames.
  if (!(framePresented && presentedHoldBackStart == startTime)) fpsCounter.restartPeriod();
  char fpsText[kFpsTextSize];
  strncpy(fpsText, fpsCounter.tickFps(), sizeof fpsText - 1);
  fpsText[sizeof fpsText - 1] = '\0';

  FrameContent content = {};
  content.layout = &layout;
  content.backdrop = &BackdropQuad;
  content.clock = timeShown ? &clockOverlay : nullptr;
  content.fpsCounter = fpsShown ? &fpsCounter : nullptr;
  content.fpsText = fpsText;

  // Only look at the queue: the render loop takes the message next pass.
  MSG waiting;
  if (PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE)) noteMouseMove(waiting.message);
  DWORD now = timeGetTime();
  content.eyes = eyesVisible(now, lastMouseMoveTime);
  if (content.eyes) {
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    content.cursorX = cursor.x;
    content.cursorY = cursor.y;
  }
  // Read before drawing: a second that turns during the frame only makes
  // the next frame due, never hides one.
  uint32_t untilNextSecond = 0;
  readWallClock(&lastClockSecond, &untilNextSecond);
  drawScene(content);

  // Frames stay in the back buffer until the hold-back ends.
  bool present = holdBackOver(now, startTime);
  finishFrame(windowDc, present);
  if (present) {
    framePresented = true;
    presentedHoldBackStart = startTime;
  }
  lastFrameShowedEyes = content.eyes;
  frameDamaged = false;
  advancePace(&framePace, now, refreshRate);
}
