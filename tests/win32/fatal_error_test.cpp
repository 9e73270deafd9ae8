// The one shutdown, the fatal-error report and the cause written for the
// debugger beside the box, from inside the saver's own process: under Wine,
// and on Windows for a dynamic change, only the process that switched the
// display sees the switched mode, so the order "restore, then show the box"
// can only be checked from within; and what the shutdown gives back, and in
// which order, leaves no mark on the screen, so calls to the system are
// recorded (or made to fail) on their way out of this executable. Each
// check runs in a death-test child: reportError ends its process, and the
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
const UINT kCauseNotWritten = 7;

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
typedef void (*BoxCheck)(HWND box);
BoxCheck checkWhileTheBoxShows = nullptr;

// Waits for the "Error" box, runs the check, and dismisses the box.
DWORD WINAPI watchErrorBox(LPVOID) {
  for (int tries = 0; tries < 200; ++tries) {
    BoxSearch search = {nullptr};
    EnumWindows(findErrorBox, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      if (checkWhileTheBoxShows != nullptr) checkWhileTheBoxShows(search.found);
      PostMessageA(search.found, WM_COMMAND, IDOK, 0);
      return 0;
    }
    Sleep(50);
  }
  ExitProcess(kNoErrorBox);
}

void modeIsTheStoredOne(HWND) {
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

void shutDownIsDoneWhenTheBoxShows(HWND) { expectCalls(kShutDownCalls); }

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

// What the saver wrote to the debugger: this executable's import of
// OutputDebugStringA keeps each line.
std::string debugLines;
typedef void(WINAPI* OutputDebugStringProc)(LPCSTR);
OutputDebugStringProc realOutputDebugString;
void WINAPI keepDebugLine(LPCSTR line) {
  debugLines += line;
  realOutputDebugString(line);
}

typedef BOOL(WINAPI* SetPixelFormatProc)(HDC, int, const PIXELFORMATDESCRIPTOR*);
SetPixelFormatProc realSetPixelFormat;
BOOL WINAPI refusePixelFormat(HDC, int, const PIXELFORMATDESCRIPTOR*) {
  // A code that Wine has a text for, as Windows does.
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}
LONG WINAPI refuseMode(DEVMODEA*, DWORD) { return DISP_CHANGE_BADMODE; }

// The system's text for `error`, without the line break it ends with.
std::string systemText(DWORD error) {
  char text[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                 text, sizeof text, nullptr);
  std::string trimmed = text;
  while (!trimmed.empty() && strchr("\r\n ", trimmed.back()) != nullptr) trimmed.pop_back();
  return trimmed;
}

void expectInDebugLines(const std::string& part) {
  if (!part.empty() && debugLines.find(part) != std::string::npos) return;
  fprintf(stderr, "debug lines:\n%sdo not hold \"%s\"\n", debugLines.c_str(), part.c_str());
  ExitProcess(kCauseNotWritten);
}

// The box tells the user what the stage's fixed message says; the
// debugger learns which call failed, and why in the system's words.
void pixelFormatCauseIsWritten(HWND box) {
  char text[64] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message box's text
  if (strcmp(text, "Can not initialize OpenGL.") != 0) {
    fprintf(stderr, "the box says \"%s\"\n", text);
    ExitProcess(kCauseNotWritten);
  }
  expectInDebugLines("SetPixelFormat failed with error 6 (0x00000006)");
  expectInDebugLines(systemText(ERROR_INVALID_HANDLE));
  expectInDebugLines("the gl_fonts stage failed");
}

void startWithThePixelFormatRefused() {
  record("gdi32.dll", "SetPixelFormat", refusePixelFormat, &realSetPixelFormat);
  record("kernel32.dll", "OutputDebugStringA", keepDebugLine, &realOutputDebugString);
  checkWhileTheBoxShows = pixelFormatCauseIsWritten;
  CreateThread(nullptr, 0, watchErrorBox, nullptr, 0, nullptr);
  saverApp.runSaver(GetModuleHandleA(nullptr));
  ExitProcess(0);
}

typedef BOOL(WINAPI* GetMessageProc)(MSG*, HWND, UINT, UINT);
GetMessageProc realGetMessage;
BOOL WINAPI failGetMessage(MSG*, HWND, UINT, UINT) {
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return -1;
}

void pumpCauseIsWritten(HWND) { expectInDebugLines("GetMessageA failed with error 1400 "); }

// The preview's pump, when GetMessageA fails: an error, not a clean end.
void pumpWithGetMessageFailing() {
  record("user32.dll", "GetMessageA", failGetMessage, &realGetMessage);
  record("kernel32.dll", "OutputDebugStringA", keepDebugLine, &realOutputDebugString);
  checkWhileTheBoxShows = pumpCauseIsWritten;
  CreateThread(nullptr, 0, watchErrorBox, nullptr, 0, nullptr);
  ExitProcess(static_cast<UINT>(saverApp.runMessagePump()));
}

}  // namespace

TEST(FailureCause, AFailingMessagePumpEndsThroughTheErrorBox) {
  EXPECT_EXIT(pumpWithGetMessageFailing(), ::testing::ExitedWithCode(1), "");
}

// Exit code 1 is the report's; 7 means a wrong box text or a cause that the
// debugger was not told (both on stderr).
TEST(FailureCause, ARefusedPixelFormatIsNamedBesideTheBox) {
  EXPECT_EXIT(startWithThePixelFormatRefused(), ::testing::ExitedWithCode(1), "");
}

TEST(FailureCause, ARefusedModeChangeIsNamedWithItsResult) {
  char modeText[64];
  snprintf(modeText, sizeof modeText, "%dx%dx16", GetSystemMetrics(SM_CXSCREEN),
           GetSystemMetrics(SM_CYSCREEN));
  ChangeDisplaySettingsProc real = reinterpret_cast<ChangeDisplaySettingsProc>(
      replaceImport("user32.dll", "ChangeDisplaySettingsA", reinterpret_cast<void*>(refuseMode)));
  realOutputDebugString = reinterpret_cast<OutputDebugStringProc>(replaceImport(
      "kernel32.dll", "OutputDebugStringA", reinterpret_cast<void*>(keepDebugLine)));
  ASSERT_NE(nullptr, real);
  ASSERT_NE(nullptr, realOutputDebugString);
  debugLines.clear();
  ModeSwitchResult result = switchDisplayMode(modeText);
  replaceImport("user32.dll", "ChangeDisplaySettingsA", reinterpret_cast<void*>(real));
  replaceImport("kernel32.dll", "OutputDebugStringA", reinterpret_cast<void*>(realOutputDebugString));
  EXPECT_EQ(kModeRefused, result);
  EXPECT_NE(std::string::npos,
            debugLines.find(std::string("ChangeDisplaySettingsA refused ") + modeText))
      << debugLines;
  EXPECT_NE(std::string::npos, debugLines.find("DISP_CHANGE_BADMODE (-2)")) << debugLines;
}

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
