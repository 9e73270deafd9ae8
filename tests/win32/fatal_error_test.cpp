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
#include <GL/glext.h>
#include <GL/wglext.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "host/display_power_win32.h"
#include "host/saver_app.h"
#include "settings/display_mode_win32.h"
#include "tests/test_helpers_win32.h"
#include "tests/win32/import_redirect.h"
#include "tests/win32/saver_clock.h"

namespace {

// Exit codes a child ends with when a check fails, one meaning each; the
// report's own exit code is 1.
const UINT kModeNotRestored = 2;
const UINT kNoErrorBox = 3;
const UINT kSwitchNotMade = 4;
const UINT kNoSetUp = 5;
const UINT kWrongCalls = 6;  // what went wrong is on stderr
const UINT kCauseNotWritten = 7;
const UINT kLoopNeverEnded = 8;

DWORD currentBits() {
  DEVMODEA mode = {};
  mode.dmSize = sizeof(mode);
  if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return 0;
  return mode.dmBitsPerPel;
}

DWORD storedBits = 0;

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
    ExitProcess(kSwitchNotMade);
  }
  testkit::expectErrorBoxThenExit(modeIsTheStoredOne, kNoErrorBox);
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

decltype(&ChangeDisplaySettingsA) realChangeDisplaySettings;
decltype(&SystemParametersInfoA) realSystemParametersInfo;
decltype(&timeBeginPeriod) realTimeBeginPeriod;
decltype(&timeEndPeriod) realTimeEndPeriod;
decltype(&glDeleteLists) realDeleteLists;
decltype(&wglMakeCurrent) realMakeCurrent;
decltype(&wglDeleteContext) realDeleteContext;
decltype(&ReleaseDC) realReleaseDc;

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
      !saverApp.setUpOpenGl(saverApp.window, saverApp.screenWidth, saverApp.screenHeight)) {
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
// saver is told to end. Each step waits for the calls it needs, within a
// bound that only catches slowness.
DWORD loopStart;
VOID CALLBACK loopTimeline(HWND, UINT, UINT_PTR, DWORD) {
  static int step = 0;
  static DWORD moveTime = 0;
  const std::string cameAndWent = "saver-running timer-raised timer-lowered";
  const std::string cameAgain = cameAndWent + " timer-raised";
  DWORD now = GetTickCount();
  if (step == 0 && now - loopStart >= 500) {
    PostMessageA(saverApp.window, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    moveTime = now;
    ++step;
  } else if (step == 1 && calls == cameAndWent) {
    PostMessageA(saverApp.window, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
    moveTime = now;
    ++step;
  } else if (step == 2 && calls == cameAgain) {
    PostQuitMessage(0);
    ++step;
  } else if (step == 1 || step == 2) {
    if (now - moveTime > 1000 + testkit::slack(1500)) expectCalls(step == 1 ? cameAndWent : cameAgain);
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
  skipHoldBackOnThisThread();
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
  testkit::expectErrorBoxThenExit(shutDownIsDoneWhenTheBoxShows, kNoErrorBox);
  saverApp.reportError("Can not create object(s).");
}

// The night: displays that go dark and come back, a driver reset, sleep.
// The render loop runs here with a timer that plays the system's part.
decltype(&SwapBuffers) realSwapBuffers;
decltype(&DefWindowProcA) realDefWindowProc;
decltype(&wglCreateContext) realCreateContext;
int presents = 0;
int swapFailuresLeft = 0;      // SwapBuffers fails this many more times, as after a reset
HGLRC resetContext = nullptr;  // reset by the driver: presents succeed and show nothing
int contextFailuresLeft = 0;   // wglCreateContext fails this many more times
int contextsAsked = 0;         // wglCreateContext calls since the count was cleared
DWORD firstContextAt = 0, lastContextAt = 0;
DWORD clockPerFailure = 0;  // a rule of seconds plays out in failures, without the wait
DWORD firstFailureAt = 0;  // on the saver's clock

BOOL WINAPI countSwapBuffers(HDC dc) {
  if (resetContext != nullptr && wglGetCurrentContext() == resetContext) return TRUE;
  if (swapFailuresLeft > 0) {
    --swapFailuresLeft;
    if (firstFailureAt == 0) firstFailureAt = timeGetTime();
    note("present-failed");
    moveSaverClockOn(clockPerFailure);
    return FALSE;
  }
  ++presents;
  return realSwapBuffers(dc);
}
LRESULT WINAPI recordDefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SYSCOMMAND) {
    note((wParam & 0xFFF0) == SC_MONITORPOWER ? "monitor-power-passed" : "syscommand-passed");
  }
  return realDefWindowProc(window, message, wParam, lParam);
}
HGLRC WINAPI countCreateContext(HDC dc) {
  lastContextAt = GetTickCount();
  if (contextsAsked++ == 0) firstContextAt = lastContextAt;
  if (contextFailuresLeft > 0) {
    --contextFailuresLeft;
    SetLastError(ERROR_INVALID_PIXEL_FORMAT);
    return nullptr;
  }
  return realCreateContext(dc);
}

// The whole saver as runSaver starts it, on the screen as it is.
void setUpTheWholeSaver(int failures) {
  saverApp.measureDesktop();
  for (int stage = kStageDesktopCopy; stage < kStartUpStageCount; ++stage) {
    if (saverApp.runStartUpStage(stage, GetModuleHandleA(nullptr)) != nullptr) {
      ExitProcess(kNoSetUp);
    }
  }
  saverApp.modalActive = true;  // see runTheLoopThenShutDownTwice
  recordTheSystemCalls();
  swapFailuresLeft = failures;
  record("gdi32.dll", "SwapBuffers", countSwapBuffers, &realSwapBuffers);
  record("user32.dll", "DefWindowProcA", recordDefWindowProc, &realDefWindowProc);
  record("opengl32.dll", "wglCreateContext", countCreateContext, &realCreateContext);
  skipHoldBackOnThisThread();
}

// Runs the loop with `timeline` called every 100 ms; the loop's result
// ends the process.
void runTheLoopWith(TIMERPROC timeline) {
  loopStart = GetTickCount();
  SetTimer(nullptr, 0, 100, timeline);
  ExitProcess(static_cast<UINT>(saverApp.runRenderLoop()));
}

// Texels of the backdrop's tiles that are not the kept desktop copy's (a
// bottom-up DIB).
int backdropTexelsNotTheCopy() {
  const DesktopCopy& copy = saverApp.desktopCopy;
  const unsigned* bits = static_cast<const unsigned*>(copy.bits);
  return testkit::tileTexelsNot(saverApp.BackdropQuad, [&](int x, int y) {
    return bits[static_cast<size_t>(copy.height - 1 - y) * copy.width + x];
  });
}

// The displays of the saver's session (Windows 8 and later).
const GUID kSessionDisplayStatus = {
    0x2b84c20e, 0xad23, 0x4ddf, {0x93, 0xdb, 0x05, 0xff, 0xbd, 0x7e, 0xfc, 0xa5}};

void sendDisplayState(DWORD state) {
  struct {
    GUID setting;
    DWORD dataLength;
    DWORD data;
  } broadcast = {kSessionDisplayStatus, sizeof(DWORD), state};
  SendMessageA(saverApp.window, WM_POWERBROADCAST, kPowerSettingChange,
               reinterpret_cast<LPARAM>(&broadcast));
}

void fail(const char* what) {
  fprintf(stderr, "%s\n", what);
  ExitProcess(kWrongCalls);
}

// Fails with `what` once more than `ms` have passed since `since`.
void failAfter(DWORD since, DWORD ms, const char* what) {
  if (GetTickCount() - since > ms) fail(what);
}

// Stand-ins for what Wine lacks, answered to the saver's run-time lookups
// (GetProcAddress, wglGetProcAddress) by name. Wine's
// RegisterPowerSettingNotification is a stub: this one keeps the setting
// asked for. The rest are a driver whose contexts are told of resets
// (WGL_ARB_create_context with _robustness, GL_ARB_robustness's query);
// its contexts are made the old way, the reset is the stand-in's word.
GUID registeredSetting = {};
int notifiedContextsMade = 0;
bool askedForResetNotices = true;  // every request asked to lose the context on a reset
bool resetToReport = false;        // the query reports resetContext's reset once

HANDLE WINAPI keepRegisteredSetting(HANDLE, const GUID* setting, DWORD) {
  registeredSetting = *setting;
  return reinterpret_cast<HANDLE>(1);
}
BOOL WINAPI unregisterSetting(HANDLE) { return TRUE; }
const char* WINAPI offeredExtensions(HDC) {
  return "WGL_ARB_extensions_string WGL_ARB_create_context WGL_ARB_create_context_profile "
         "WGL_ARB_create_context_robustness";
}
HGLRC WINAPI makeNotifiedContext(HDC dc, HGLRC shared, const int* attributes) {
  bool loses = false, compatible = false;
  for (; attributes != nullptr && attributes[0] != 0; attributes += 2) {
    loses = loses || (attributes[0] == WGL_CONTEXT_RESET_NOTIFICATION_STRATEGY_ARB &&
                      attributes[1] == WGL_LOSE_CONTEXT_ON_RESET_ARB);
    compatible = compatible || (attributes[0] == WGL_CONTEXT_PROFILE_MASK_ARB &&
                                attributes[1] == WGL_CONTEXT_COMPATIBILITY_PROFILE_BIT_ARB);
  }
  if (!loses || !compatible || shared != nullptr) askedForResetNotices = false;
  ++notifiedContextsMade;
  return realCreateContext(dc);
}
GLenum WINAPI reportReset() {
  if (!resetToReport || wglGetCurrentContext() != resetContext) return GL_NO_ERROR;
  resetToReport = false;
  return GL_GUILTY_CONTEXT_RESET_ARB;
}

void* standIn(LPCSTR name) {
  static const struct {
    const char* name;
    void* function;
  } standIns[] = {
      {"RegisterPowerSettingNotification", reinterpret_cast<void*>(keepRegisteredSetting)},
      {"UnregisterPowerSettingNotification", reinterpret_cast<void*>(unregisterSetting)},
      {"wglGetExtensionsStringARB", reinterpret_cast<void*>(offeredExtensions)},
      {"wglCreateContextAttribsARB", reinterpret_cast<void*>(makeNotifiedContext)},
      {"glGetGraphicsResetStatusARB", reinterpret_cast<void*>(reportReset)},
  };
  if (reinterpret_cast<ULONG_PTR>(name) <= 0xFFFF) return nullptr;  // an ordinal
  for (const auto& offer : standIns) {
    if (strcmp(name, offer.name) == 0) return offer.function;
  }
  return nullptr;
}
decltype(&GetProcAddress) realGetProcAddress;
decltype(&wglGetProcAddress) realGetGlProc;
FARPROC WINAPI answerLookup(HMODULE module, LPCSTR name) {
  void* answer = standIn(name);
  return answer != nullptr ? reinterpret_cast<FARPROC>(answer) : realGetProcAddress(module, name);
}
PROC WINAPI answerGlLookup(LPCSTR name) {
  void* answer = standIn(name);
  return answer != nullptr ? reinterpret_cast<PROC>(answer) : realGetGlProc(name);
}

// Wine 8 says it is Windows 7; the saver is told it runs on Windows 8 (6.2,
// what 8 and later tell a program that does not name them in its manifest).
decltype(&GetVersionExA) realGetVersionEx;
BOOL WINAPI sayWindows8(OSVERSIONINFOA* version) {
  if (!realGetVersionEx(version)) return FALSE;
  version->dwMajorVersion = 6;
  version->dwMinorVersion = 2;
  return TRUE;
}

// With the counter on frames come at the display's rate and hold the fine
// timer; in the dark neither, for as long as it lasts; lit again, a frame
// at once; dark again, a key brings the frames back. The monitor's power
// request goes on to the system.
VOID CALLBACK darkTimeline(HWND, UINT, UINT_PTR, DWORD) {
  static int step = 0, presentsInTheDark = 0;
  static DWORD stepTime = 0;
  DWORD now = GetTickCount();
  if (step == 0 && now - loopStart >= 500) {
    if (presents == 0) return failAfter(loopStart, testkit::slack(2000), "no frame before the dark");
    if (!IsEqualGUID(registeredSetting, kSessionDisplayStatus)) {
      fail("the saver did not ask for the state of its session's displays");
    }
    calls.clear();
    SendMessageA(saverApp.window, WM_SYSCOMMAND, SC_MONITORPOWER, 2);
    SendMessageA(saverApp.window, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    sendDisplayState(kDisplayOff);
  } else if (step == 1 && now - stepTime >= 2000) {
    // Two seconds that show that nothing is drawn in the dark.
    if (presents != presentsInTheDark) fail("frames drawn in the dark");
    expectCalls("monitor-power-passed timer-lowered");
    sendDisplayState(kDisplayDimmed);
  } else if (step == 2) {
    if (presents == presentsInTheDark) fail("no frame right after the displays came back");
    expectCalls("monitor-power-passed timer-lowered timer-raised");
    sendDisplayState(kDisplayOff);
    PostMessageA(saverApp.window, WM_KEYDOWN, VK_SHIFT, 0);
  } else if (step == 3 && presents != presentsInTheDark) {
    PostQuitMessage(0);
  } else {
    if (step == 3) failAfter(stepTime, testkit::slack(1000), "a key in the dark brought no frames");
    return;
  }
  if (step != 1) presentsInTheDark = presents;
  stepTime = now;
  ++step;
}

void runThroughTheDark() {
  record("kernel32.dll", "GetProcAddress", answerLookup, &realGetProcAddress);
  record("kernel32.dll", "GetVersionExA", sayWindows8, &realGetVersionEx);
  setUpTheWholeSaver(0);
  saverApp.showFps = true;
  runTheLoopWith(darkTimeline);
}

// A failed present and what follows it: the old context and its font lists
// go, a new one is made and filled (the fonts and the eye picture borrow
// DCs of their own).
const char kRebuiltCalls[] =
    "saver-running present-failed lists-deleted lists-deleted context-not-current "
    "context-deleted context-made-current other-dc-released other-dc-released "
    "other-dc-released";

// One failed present: a new context, whose textures hold the kept copy.
// The rebuild takes a while where the 32-bit build runs translated.
VOID CALLBACK resetTimeline(HWND, UINT, UINT_PTR, DWORD) {
  DWORD elapsed = GetTickCount() - loopStart;
  if (elapsed < 800 || (presents == 0 && elapsed < testkit::slack(12000))) return;
  if (presents == 0) fail("nothing presented after the reset");
  expectCalls(kRebuiltCalls);
  int wrong = backdropTexelsNotTheCopy();
  if (wrong != 0) {
    fprintf(stderr, "%d texels of the new backdrop are not the desktop copy's\n", wrong);
    ExitProcess(kWrongCalls);
  }
  PostQuitMessage(0);
}

void surviveADriverReset() {
  setUpTheWholeSaver(1);
  runTheLoopWith(resetTimeline);
}

// After the first frames the driver resets the context: its presents go on
// succeeding and show nothing, and the query says so once. The saver must
// make one new context, present again and hold the kept desktop.
VOID CALLBACK unnoticedResetTimeline(HWND, UINT, UINT_PTR, DWORD) {
  static int presentsBefore = -1;
  static DWORD resetTime = 0;
  if (presentsBefore < 0 && presents > 0) {
    resetContext = saverApp.glContext;
    resetToReport = true;
    presentsBefore = presents;
    resetTime = GetTickCount();
  } else if (presentsBefore < 0) {
    failAfter(loopStart, testkit::slack(3000), "no frame before the reset");
  } else if (presents > presentsBefore) {
    if (notifiedContextsMade != 2) fail("not exactly one new context after the reset");
    if (!askedForResetNotices) fail("a context was made without asking to be told of resets");
    if (backdropTexelsNotTheCopy() != 0) fail("the new backdrop is not the desktop copy");
    PostQuitMessage(0);
  } else {
    failAfter(resetTime, testkit::slack(5000), "nothing shown after the reset");
  }
}

void noticeAResetThatPresentsHide() {
  realCreateContext = wglCreateContext;
  record("opengl32.dll", "wglGetProcAddress", answerGlLookup, &realGetGlProc);
  setUpTheWholeSaver(0);
  saverApp.showFps = true;  // frames keep coming, each asks the driver first
  runTheLoopWith(unnoticedResetTimeline);
}

// A wake: PBT_APMRESUMEAUTOMATIC, then (someone is there) PBT_APMRESUMESUSPEND.
// The rebuild it asks for finds the displays not back twice and works the
// third time, a second later each; the second message rebuilds nothing.
VOID CALLBACK wakeTimeline(HWND, UINT, UINT_PTR, DWORD) {
  static int step = 0, presentsBefore = 0;
  static DWORD stepTime = 0;
  DWORD now = GetTickCount();
  if (step == 0 && presents > 0) {
    contextsAsked = 0;
    contextFailuresLeft = 2;
    presentsBefore = presents;
    SendMessageA(saverApp.window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
  } else if (step == 1 && contextsAsked == 3 && presents > presentsBefore) {
    if (lastContextAt - firstContextAt < 1900) fail("the rebuild was tried again too soon");
    SendMessageA(saverApp.window, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
  } else if (step == 2 && now - stepTime > 500 + testkit::slack(1500)) {
    // Long enough for a second rebuild to have come, had it been asked.
    if (contextsAsked != 3) fail("a second rebuild for the same wake");
    PostQuitMessage(0);
  } else {
    if (step == 0) failAfter(loopStart, testkit::slack(3000), "no frame before the sleep");
    if (step == 1) {
      failAfter(stepTime, 2500 + testkit::slack(5000),
                "no frame after two failed rebuilds and a working one");
    }
    return;
  }
  stepTime = now;
  ++step;
}

void wakeFromSleep() {
  setUpTheWholeSaver(0);
  runTheLoopWith(wakeTimeline);
}

// Presents that fail on every new context too: the loop tries again a
// second apart and ends by itself with 1 ten seconds after the first
// failure, and the shutdown gives everything back as after Escape. Each
// failure moves the saver's clock on by that second: the retries come at
// once, and a loop that kept trying beyond ten seconds fails to end.
VOID CALLBACK neverEnds(HWND, UINT, UINT_PTR, DWORD) {
  if (GetTickCount() - loopStart > testkit::slack(8000)) ExitProcess(kLoopNeverEnded);
}

void giveUpOnALostGl() {
  setUpTheWholeSaver(1000);
  clockPerFailure = 1000;
  loopStart = GetTickCount();
  SetTimer(nullptr, 0, 100, neverEnds);
  int code = saverApp.runRenderLoop();
  DWORD ended = timeGetTime() - firstFailureAt;  // the saver's clock
  saverApp.shutDown();
  const std::string shutDown =
      " present-failed mode-restored saver-not-running lists-deleted lists-deleted "
      "context-not-current context-deleted dc-released";
  int failures = 0;
  for (size_t at = 0; (at = calls.find("present-failed", at)) != std::string::npos; ++at) ++failures;
  if (calls.rfind(kRebuiltCalls, 0) != 0 || calls.size() < shutDown.size() ||
      calls.compare(calls.size() - shutDown.size(), shutDown.size(), shutDown) != 0 ||
      failures < 10 || failures > 12 || ended < 10000) {
    fprintf(stderr, "after %lu ms, %d failed presents in:\n  %s\n", ended, failures, calls.c_str());
    ExitProcess(kWrongCalls);
  }
  ExitProcess(static_cast<UINT>(code));
}

// What the saver wrote to the debugger: this executable's import of
// OutputDebugStringA keeps each line.
std::string debugLines;
decltype(&OutputDebugStringA) realOutputDebugString;
void WINAPI keepDebugLine(LPCSTR line) {
  debugLines += line;
  realOutputDebugString(line);
}

decltype(&SetPixelFormat) realSetPixelFormat;
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
  testkit::expectErrorBoxThenExit(pixelFormatCauseIsWritten, kNoErrorBox);
  saverApp.runSaver(GetModuleHandleA(nullptr));
  ExitProcess(0);
}

decltype(&GetMessageA) realGetMessage;
BOOL WINAPI failGetMessage(MSG*, HWND, UINT, UINT) {
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return -1;
}

void pumpCauseIsWritten(HWND) { expectInDebugLines("GetMessageA failed with error 1400 "); }

// The preview's pump, when GetMessageA fails: an error, not a clean end.
void pumpWithGetMessageFailing() {
  record("user32.dll", "GetMessageA", failGetMessage, &realGetMessage);
  record("kernel32.dll", "OutputDebugStringA", keepDebugLine, &realOutputDebugString);
  testkit::expectErrorBoxThenExit(pumpCauseIsWritten, kNoErrorBox);
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
  auto real = reinterpret_cast<decltype(&ChangeDisplaySettingsA)>(
      replaceImport("user32.dll", "ChangeDisplaySettingsA", reinterpret_cast<void*>(refuseMode)));
  realOutputDebugString = reinterpret_cast<decltype(&OutputDebugStringA)>(replaceImport(
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

// Exit code 6 names a fault (on stderr), 8 a loop that never ended.
TEST(Night, DarkDisplaysGetNoFramesAndNoFineTimerThenAFrameAtOnceOrOnAKey) {
  EXPECT_EXIT(runThroughTheDark(), ::testing::ExitedWithCode(0), "");
}

TEST(Night, AFailedPresentGivesANewContextWithTheKeptDesktop) {
  EXPECT_EXIT(surviveADriverReset(), ::testing::ExitedWithCode(0), "");
}

TEST(Night, AGlThatCannotBeMadeAgainEndsLikeEscapeWithOne) {
  EXPECT_EXIT(giveUpOnALostGl(), ::testing::ExitedWithCode(1), "");
}

TEST(Night, AResetThatPresentsHideGivesOneNewContextAndTheDesktopBack) {
  EXPECT_EXIT(noticeAResetThatPresentsHide(), ::testing::ExitedWithCode(0), "");
}

TEST(Night, AWakeRebuildsOnceTryingAgainUntilTheDisplaysAreBack) {
  EXPECT_EXIT(wakeFromSleep(), ::testing::ExitedWithCode(0), "");
}
