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
  // Someone at the keyboard or the mouse sees the displays, whatever the
  // system last said of them: an "on" that never came must not leave the
  // saver dark for good.
  if ((message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) ||
      (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST)) {
    frameClock.displaysOn();
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

// The GL is gone (a failed present or context, a driver reset, a resume):
// the loop rebuilds it before it draws again.
void SaverApp::loseGraphics() {
  graphicsLost = true;
  glRecovery.lost(timeGetTime());
}

// Takes at most one message per pass, as the window procedures expect, and
// draws only the frames that are due. Between them it sleeps until the next
// one is due or any message arrives (MWMO_INPUTAVAILABLE: also one already
// seen but still queued), so Escape, mouse moves and close requests act at
// once and a still picture costs nothing. The screen-saver state and the
// timer are given back by shutDown, on every way out. A GL that cannot be
// made again within the recovery's time ends the loop with 1, as quietly as
// Escape: nobody is there to read a box.
int SaverApp::runRenderLoop() {
  enterRenderLoop();
  while (takeOneMessage()) {
    if (graphicsLost) {
      RebuildStep rebuild = glRecovery.next(timeGetTime());
      if (rebuild.giveUp) {
        quitCode = 1;
        break;
      }
      if (!rebuild.rebuild) {
        waitForMessage(rebuild.waitMs);
        continue;
      }
      glRecovery.attempted(timeGetTime());
      if (!recoverGraphics()) continue;
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
      // A resume's one rebuild comes once the displays have settled, and
      // takes the new layout's picture with it.
      if (rebuildAfterRelayout) {
        rebuildAfterRelayout = false;
        loseGraphics();
      }
      followDisplayChange();
      frameClock.relaidOut();
      continue;
    }
    useFineTimer(step.fineTimer);
    if (step.draw) {
      // After a driver reset most presents still succeed while the context
      // draws nothing: only the driver's own word shows the loss.
      if (!makeGlContextCurrent(windowDc, glContext) || glContextWasReset(glResetStatus)) {
        loseGraphics();
        continue;
      }
      drawFrame(step);
      if (!presentFrame(windowDc)) {
        loseGraphics();
        continue;
      }
      glRecovery.presented();
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
// changed: the monitors measured again once they settle, and a new context.
// A wake brings PBT_APMRESUMEAUTOMATIC, and PBT_APMRESUMESUSPEND as well
// when someone woke it: one rebuild per sleep, not per message.
void SaverApp::notePowerEvent(WPARAM event) {
  if (event == PBT_APMSUSPEND) {
    resumeNoted = false;
    return;
  }
  if (event != PBT_APMRESUMEAUTOMATIC && event != PBT_APMRESUMESUSPEND) return;
  if (!screenSaverRunning || shutDownDone || resumeNoted) return;
  resumeNoted = true;
  DWORD now = timeGetTime();
  glRecovery.resumed(now);
  rebuildAfterRelayout = true;
  frameClock.displaysChanged(now);
}
