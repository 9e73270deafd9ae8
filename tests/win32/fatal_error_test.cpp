// The one shutdown and the fatal-error report, from inside the saver's own
// process: under Wine, and on Windows for a dynamic change, only the process
// that switched the display sees the switched mode, so the order "restore,
// then show the box" can only be checked from within; and what the shutdown
// gives back, and in which order, leaves no mark on the screen, so calls to
// the system are recorded on their way out of this executable. Each check
// runs in a death-test child: reportError ends its process, and the
// application object is the process's one global.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>
#include <GL/gl.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "host/saver_app.h"
#include "settings/display_mode_win32.h"
#include "tests/win32/import_redirect.h"

namespace {

// Exit codes the watcher ends the child with when the check fails; the
// report's own exit code is 1.
const UINT kModeNotRestored = 2;
const UINT kNoErrorBox = 3;
const UINT kNoSetUp = 5;
const UINT kWrongCalls = 6;

DWORD currentBits() {
  DEVMODEA mode = {};
  mode.dmSize = sizeof(mode);
  if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return 0;
  return mode.dmBitsPerPel;
}

DWORD storedBits = 0;

struct BoxSearch {
  HWND found;
};

BOOL CALLBACK findErrorBox(HWND window, LPARAM context) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char title[16] = {};
  GetWindowTextA(window, title, sizeof title);
  if (process == GetCurrentProcessId() && strcmp(title, "Error") == 0 && IsWindowVisible(window)) {
    reinterpret_cast<BoxSearch*>(context)->found = window;
    return FALSE;
  }
  return TRUE;
}

// What must hold while the "Error" box is up; ends the process with a code
// that names the fault when it does not.
typedef void (*BoxCheck)();
BoxCheck checkWhileTheBoxShows = nullptr;

// Waits for the "Error" box, runs the check, and dismisses the box.
DWORD WINAPI watchErrorBox(LPVOID) {
  for (int tries = 0; tries < 200; ++tries) {
    BoxSearch search = {nullptr};
    EnumWindows(findErrorBox, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      if (checkWhileTheBoxShows != nullptr) checkWhileTheBoxShows();
      PostMessageA(search.found, WM_COMMAND, IDOK, 0);
      return 0;
    }
    Sleep(50);
  }
  ExitProcess(kNoErrorBox);
}

void modeIsTheStoredOne() {
  if (currentBits() != storedBits) ExitProcess(kModeNotRestored);
}

// Switches this process to 16 bits per pixel at the screen's own size (the
// one other depth Wine switches to), then fails as the saver would.
void switchThenFail() {
  storedBits = currentBits();
  char modeText[64];
  snprintf(modeText, sizeof modeText, "%dx%dx16", GetSystemMetrics(SM_CXSCREEN),
           GetSystemMetrics(SM_CYSCREEN));
  if (switchDisplayMode(modeText) != kModeApplied || currentBits() != 16) {
    fprintf(stderr, "the switch to %s did not happen\n", modeText);
    ExitProcess(4);
  }
  checkWhileTheBoxShows = modeIsTheStoredOne;
  CreateThread(nullptr, 0, watchErrorBox, nullptr, 0, nullptr);
  saverApp.reportError("Can not create window.");
}

// Calls to the system, recorded in order as one word each: this
// executable's imports of them are pointed at recorders that note the call
// and pass it on.
std::string calls;

void note(const char* call) {
  if (!calls.empty()) calls += ' ';
  calls += call;
}

typedef LONG(WINAPI* ChangeDisplaySettingsProc)(DEVMODEA*, DWORD);
typedef BOOL(WINAPI* SystemParametersInfoProc)(UINT, UINT, PVOID, UINT);
typedef MMRESULT(WINAPI* TimerPeriodProc)(UINT);
typedef void(WINAPI* DeleteListsProc)(GLuint, GLsizei);
typedef BOOL(WINAPI* MakeCurrentProc)(HDC, HGLRC);
typedef BOOL(WINAPI* DeleteContextProc)(HGLRC);
typedef int(WINAPI* ReleaseDcProc)(HWND, HDC);

ChangeDisplaySettingsProc realChangeDisplaySettings;
SystemParametersInfoProc realSystemParametersInfo;
TimerPeriodProc realTimeBeginPeriod;
TimerPeriodProc realTimeEndPeriod;
DeleteListsProc realDeleteLists;
MakeCurrentProc realMakeCurrent;
DeleteContextProc realDeleteContext;
ReleaseDcProc realReleaseDc;

LONG WINAPI recordChangeDisplaySettings(DEVMODEA* mode, DWORD flags) {
  note(mode == nullptr ? "mode-restored" : "mode-switched");
  return realChangeDisplaySettings(mode, flags);
}
BOOL WINAPI recordSystemParametersInfo(UINT action, UINT value, PVOID data, UINT flags) {
  if (action == SPI_SETSCREENSAVERRUNNING) note(value ? "saver-running" : "saver-not-running");
  return realSystemParametersInfo(action, value, data, flags);
}
MMRESULT WINAPI recordTimeBeginPeriod(UINT period) {
  note(period == 1 ? "timer-raised" : "timer-raised-odd");
  return realTimeBeginPeriod(period);
}
MMRESULT WINAPI recordTimeEndPeriod(UINT period) {
  note(period == 1 ? "timer-lowered" : "timer-lowered-odd");
  return realTimeEndPeriod(period);
}
void WINAPI recordDeleteLists(GLuint first, GLsizei count) {
  bool current = saverApp.glContext != nullptr && wglGetCurrentContext() == saverApp.glContext;
  note(current ? "lists-deleted" : "lists-deleted-without-context");
  realDeleteLists(first, count);
}
BOOL WINAPI recordMakeCurrent(HDC dc, HGLRC context) {
  note(context == nullptr ? "context-not-current" : "context-made-current");
  return realMakeCurrent(dc, context);
}
BOOL WINAPI recordDeleteContext(HGLRC context) {
  note(context == saverApp.glContext ? "context-deleted" : "other-context-deleted");
  return realDeleteContext(context);
}
int WINAPI recordReleaseDc(HWND window, HDC dc) {
  note(dc == saverApp.windowDc ? "dc-released" : "other-dc-released");
  return realReleaseDc(window, dc);
}

template <typename Proc>
void record(const char* module, const char* function, Proc recorder, Proc* real) {
  *real = reinterpret_cast<Proc>(replaceImport(module, function, reinterpret_cast<void*>(recorder)));
  if (*real == nullptr) {
    fprintf(stderr, "no import of %s from %s to record\n", function, module);
    ExitProcess(kNoSetUp);
  }
}

void recordTheSystemCalls() {
  calls.clear();
  record("user32.dll", "ChangeDisplaySettingsA", recordChangeDisplaySettings,
         &realChangeDisplaySettings);
  record("user32.dll", "SystemParametersInfoA", recordSystemParametersInfo,
         &realSystemParametersInfo);
  record("winmm.dll", "timeBeginPeriod", recordTimeBeginPeriod, &realTimeBeginPeriod);
  record("winmm.dll", "timeEndPeriod", recordTimeEndPeriod, &realTimeEndPeriod);
  record("opengl32.dll", "glDeleteLists", recordDeleteLists, &realDeleteLists);
  record("opengl32.dll", "wglMakeCurrent", recordMakeCurrent, &realMakeCurrent);
  record("opengl32.dll", "wglDeleteContext", recordDeleteContext, &realDeleteContext);
  record("user32.dll", "ReleaseDC", recordReleaseDc, &realReleaseDc);
}

// The shutdown's calls, in its order: what the user and the rest of the
// system feel first, then the GL objects in the reverse order of their
// making.
const char kShutDownCalls[] =
    "mode-restored saver-not-running timer-lowered lists-deleted lists-deleted "
    "context-not-current context-deleted dc-released";

// The saver's window and GL, with both overlays' fonts, as runSaver makes
// them; the snapshot and the eye objects are not needed here.
void setUpTheSaver() {
  saverApp.measureDesktop();
  if (!saverApp.createSaverWindow(GetModuleHandleA(nullptr)) ||
      !saverApp.setUpOpenGl(saverApp.window, saverApp.screenWidth, saverApp.screenHeight, 0)) {
    ExitProcess(kNoSetUp);
  }
}

void expectCalls(const std::string& expected) {
  if (calls == expected) return;
  fprintf(stderr, "system calls:\n  %s\nexpected:\n  %s\n", calls.c_str(), expected.c_str());
  ExitProcess(kWrongCalls);
}

// The loop's timeline: the eyes come with a mouse move after the hold-back
// and go a second later; a second move brings them back just before the
// saver is told to end.
DWORD loopStart;
VOID CALLBACK loopTimeline(HWND, UINT, UINT_PTR, DWORD) {
  static int step = 0;
  DWORD elapsed = GetTickCount() - loopStart;
  if (step == 0 && elapsed >= 3500) {
    PostMessageA(saverApp.window, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    ++step;
  } else if (step == 1 && elapsed >= 5000) {
    expectCalls("saver-running timer-raised timer-lowered");
    PostMessageA(saverApp.window, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
    ++step;
  } else if (step == 2 && elapsed >= 5300) {
    PostQuitMessage(0);
    ++step;
  }
}

void runTheLoopThenShutDownTwice() {
  setUpTheSaver();
  // A window of a test program can lose the activation on this display
  // without a window manager, which would end the loop early; the close
  // path is not what this test is about.
  saverApp.modalActive = true;
  recordTheSystemCalls();
  loopStart = GetTickCount();
  SetTimer(nullptr, 0, 100, loopTimeline);
  int code = saverApp.runRenderLoop();
  saverApp.shutDown();
  saverApp.shutDown();
  expectCalls(std::string("saver-running timer-raised timer-lowered timer-raised ") +
              kShutDownCalls);
  ExitProcess(static_cast<UINT>(code));
}

void shutDownIsDoneWhenTheBoxShows() { expectCalls(kShutDownCalls); }

// A fatal error while the eyes are up: everything is given back, in the
// same order, before the box shows.
void failWithTheTimerRaised() {
  setUpTheSaver();
  saverApp.enterRenderLoop();
  saverApp.useFineTimer(true);
  recordTheSystemCalls();
  checkWhileTheBoxShows = shutDownIsDoneWhenTheBoxShows;
  CreateThread(nullptr, 0, watchErrorBox, nullptr, 0, nullptr);
  saverApp.reportError("Can not create object(s).");
}

}  // namespace

TEST(FatalError, TheStoredModeIsBackBeforeTheErrorBoxShows) {
  ASSERT_NE(16u, currentBits()) << "the test needs a desktop deeper than 16 bits";
  // Exit code 1 is the report's own; 2 means the box showed over the
  // switched mode, 3 that no box showed.
  EXPECT_EXIT(switchThenFail(), ::testing::ExitedWithCode(1), "");
}

// The timer is raised only while the eyes are up, and every raise is
// matched: when the eyes go, and at the end. The shutdown runs once, in its
// order, however often it is reached. Exit code 6 names wrong calls (listed
// on stderr), 5 a set-up that failed.
TEST(Shutdown, GivesEverythingBackOnceInOrderAfterTheLoop) {
  EXPECT_EXIT(runTheLoopThenShutDownTwice(), ::testing::ExitedWithCode(0), "");
}

TEST(Shutdown, GivesEverythingBackInOrderBeforeTheErrorBoxShows) {
  EXPECT_EXIT(failWithTheTimerRaised(), ::testing::ExitedWithCode(1), "");
}
