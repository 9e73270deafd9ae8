// The saver's render loop: take one message, ask the frame clock what is
// due, then draw that frame or sleep until something is. All the timing
// rules live in the frame clock; this file only reads the clocks and the
// queue and acts on the answer.
#include <string.h>

#include "host/display_power_win32.h"
#include "host/message_wait_win32.h"
#include "host/saver_app.h"
#include "scene/frame_gl.h"
#include "scene/gl_context_gl.h"
#include "settings/display_mode_win32.h"

namespace {

WallSecond readWallSecond() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks;  // 100 ns units
  ticks.LowPart = now.dwLowDateTime;
  ticks.HighPart = now.dwHighDateTime;
  return wallSecondAt(ticks.QuadPart);
}

}  // namespace

void SaverApp::enterRenderLoop() {
  BOOL previous = FALSE;
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, TRUE, &previous, 0);
  screenSaverRunning = true;
  // The system answers at once with the displays' state, and then tells
  // every change.
  displayStateNotice = registerDisplayState(window);
  requestSwapInterval(1);
  FrameClockSettings chosen = {usableRefreshRate(currentRefreshRate()), showTime, showFps};
  frameClock.start(chosen, timeGetTime());
}

// The one place that decides what counts as a mouse move for the eyes.
void SaverApp::noteMouseMove(UINT message) {
  if (message == WM_MOUSEMOVE) frameClock.mouseMoved(timeGetTime());
}

bool SaverApp::takeOneMessage() {
  MSG message;
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return true;
  if (message.message == WM_QUIT) {
    quitCode = static_cast<int>(message.wParam);
    return false;
  }
  // The loop takes one message per pass, so a mouse move further back in
  // the queue is seen only passes later; Wine turns X motion into messages
  // inside this very call, which made the eyes miss most single moves.
  noteMouseMove(message.message);
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return true;
}

// Sleeps that pace frames must end on the millisecond rather than on the
// 15.6 ms default tick, or 60 Hz frames come in uneven bursts; a finer tick
// costs power system-wide, so it is asked for only while frames are paced
// (the eyes are up or the counter is on), never while the picture is still.
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
// once and a still picture costs nothing. The screen-saver state and the
// timer are given back by shutDown, on every way out. A GL that cannot be
// made again ends the loop with 1, as quietly as Escape: nobody is there to
// read a box.
int SaverApp::runRenderLoop() {
  enterRenderLoop();
  while (takeOneMessage()) {
    if (graphicsLost && !recoverGraphics()) {
      quitCode = 1;
      break;
    }
    // A mouse move waiting at the head of the queue belongs to this frame.
    MSG waiting;
    if (PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE)) noteMouseMove(waiting.message);
    DWORD now = timeGetTime();
    // Read before drawing: a second that turns during the frame only makes
    // the next frame due, never hides one.
    WallSecond wall = readWallSecond();
    FrameStep step = frameClock.next(now, wall);
    if (step.relayout) {
      followDisplayChange();
      frameClock.relaidOut();
      continue;
    }
    useFineTimer(step.fineTimer);
    if (step.draw) {
      if (!makeGlContextCurrent(windowDc, glContext)) {
        graphicsLost = true;
        continue;
      }
      drawFrame(step);
      if (!presentFrame(windowDc)) {
        graphicsLost = true;
        continue;
      }
      rebuiltUnpresented = false;
      framePresentedOnce = true;
      frameClock.frameDrawn(step, now, wall);
      continue;
    }
    DWORD timeout = step.waitMs == kWaitForever ? INFINITE : step.waitMs;
    waitForMessage(timeout);
  }
  return quitCode;
}

void SaverApp::drawFrame(const FrameStep& step) {
  // The counter's first figure after a hold-back is a full second of frames
  // the user saw.
  if (step.restartFpsPeriod) fpsCounter.restartPeriod();
  char fpsText[kFpsTextSize];
  strncpy(fpsText, fpsCounter.tickFps(), sizeof fpsText - 1);
  fpsText[sizeof fpsText - 1] = '\0';

  FrameContent content = {};
  content.layout = &layout;
  content.backdrop = &BackdropQuad;
  content.clock = showTime ? &clockOverlay : nullptr;
  content.fpsCounter = showFps ? &fpsCounter : nullptr;
  content.fpsText = fpsText;
  content.eyes = step.eyes;
  if (content.eyes) {
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    content.cursorX = cursor.x;
    content.cursorY = cursor.y;
  }
  drawScene(content);
}

// Until the GL's first frame the window shows the desktop as it was
// copied: without a compositor that repeats what the screen shows anyway,
// and with one the window would otherwise show black through the
// hold-back. After it, the loop redraws the whole window.
void SaverApp::paintWindow(HDC dc) {
  if (!framePresentedOnce && desktopCopy.bitmap != nullptr) paintDesktopCopy(dc, desktopCopy);
  frameClock.windowDamaged();
}

// Mode changes, monitors joining or leaving, a new DPI: followed once the
// burst settles. Not while shutting down: the saver's own mode restore
// sends one too, and the window is going.
void SaverApp::noteDisplayChange() {
  if (screenSaverRunning && !shutDownDone) frameClock.displaysChanged(timeGetTime());
}

void SaverApp::noteDisplayState(LPARAM setting) {
  DisplayState state = displayStateIn(setting);
  if (state == kDisplayOff) {
    frameClock.displaysOff();
    // The paced frames stop, and with them the need for a fine timer.
    useFineTimer(false);
  } else if (state == kDisplayOn || state == kDisplayDimmed) {
    frameClock.displaysOn();
  }
}

// After sleep the driver may have been reset and the monitors may have
// changed: a new context, and the monitors measured again.
void SaverApp::noteResume() {
  if (!screenSaverRunning || shutDownDone) return;
  graphicsLost = true;
  rebuiltUnpresented = false;
  frameClock.displaysChanged(timeGetTime());
}
