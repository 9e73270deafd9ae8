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

#include "host/display_power_win32.h"
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

// The night: displays that go dark and come back, a driver reset. The
// render loop runs here with a timer that plays the system's part.
const UINT kLoopNeverEnded = 7;

typedef BOOL(WINAPI* SwapBuffersProc)(HDC);
typedef LRESULT(WINAPI* DefWindowProcProc)(HWND, UINT, WPARAM, LPARAM);
SwapBuffersProc realSwapBuffers;
DefWindowProcProc realDefWindowProc;
int presents = 0;
int swapFailuresLeft = 0;  // SwapBuffers fails this many more times, as after a reset

BOOL WINAPI countSwapBuffers(HDC dc) {
  if (swapFailuresLeft > 0) {
    --swapFailuresLeft;
    note("present-failed");
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
}

// Texels of the backdrop's tiles that are not the kept desktop copy's.
int backdropTexelsNotTheCopy() {
  const ScreenQuad& quad = saverApp.BackdropQuad;
  const DesktopCopy& copy = saverApp.desktopCopy;
  const unsigned* bits = static_cast<const unsigned*>(copy.bits);
  int wrong = snapshotTileCount(quad.tiles) == 0 ? 1 : 0;
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  for (int i = 0; i < snapshotTileCount(quad.tiles); ++i) {
    SnapshotTile tile = snapshotTile(quad.tiles, i);
    std::string texels(static_cast<size_t>(tile.textureWidth) * tile.textureHeight * 4, '\0');
    glBindTexture(GL_TEXTURE_2D, tileTexture(quad, i));
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA_EXT, GL_UNSIGNED_BYTE, &texels[0]);
    for (int y = 0; y < tile.height; ++y) {
      for (int x = 0; x < tile.width; ++x) {
        unsigned texel = 0;
        memcpy(&texel, &texels[(static_cast<size_t>(tile.height - 1 - y) * tile.textureWidth + x) * 4],
               4);
        unsigned pixel = bits[static_cast<size_t>(copy.height - 1 - tile.y - y) * copy.width +
                              tile.x + x];
        if (((texel ^ pixel) & 0xFFFFFFu) != 0) ++wrong;
      }
    }
  }
  return wrong;
}

void sendDisplayState(DWORD state) {
  struct {
    GUID setting;
    DWORD dataLength;
    DWORD data;
  } broadcast = {{0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}},
                 sizeof(DWORD), state};
  SendMessageA(saverApp.window, WM_POWERBROADCAST, kPowerSettingChange,
               reinterpret_cast<LPARAM>(&broadcast));
}

void fail(const char* what) {
  fprintf(stderr, "%s\n", what);
  ExitProcess(kWrongCalls);
}

// With the counter on frames come at the display's rate and hold the fine
// timer; in the dark neither, for as long as it lasts; lit again, a frame
// at once. The monitor's power request goes on to the system.
int presentsInTheDark;
VOID CALLBACK darkTimeline(HWND, UINT, UINT_PTR, DWORD) {
  static int step = 0;
  DWORD elapsed = GetTickCount() - loopStart;
  if (step == 0 && elapsed >= 3500) {
    if (presents == 0) fail("no frame before the dark");
    calls.clear();
    SendMessageA(saverApp.window, WM_SYSCOMMAND, SC_MONITORPOWER, 2);
    SendMessageA(saverApp.window, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    sendDisplayState(kDisplayOff);
    presentsInTheDark = presents;
    ++step;
  } else if (step == 1 && elapsed >= 5500) {
    if (presents != presentsInTheDark) fail("frames drawn in the dark");
    expectCalls("monitor-power-passed timer-lowered");
    sendDisplayState(kDisplayDimmed);
    ++step;
  } else if (step == 2) {
    if (presents == presentsInTheDark) fail("no frame right after the displays came back");
    expectCalls("monitor-power-passed timer-lowered timer-raised");
    PostQuitMessage(0);
    ++step;
  }
}

void runThroughTheDark() {
  setUpTheWholeSaver(0);
  saverApp.showFps = true;
  loopStart = GetTickCount();
  SetTimer(nullptr, 0, 100, darkTimeline);
  ExitProcess(static_cast<UINT>(saverApp.runRenderLoop()));
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
  if (elapsed < 3800 || (presents == 0 && elapsed < 15000)) return;
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
  loopStart = GetTickCount();
  SetTimer(nullptr, 0, 100, resetTimeline);
  ExitProcess(static_cast<UINT>(saverApp.runRenderLoop()));
}

// Presents that fail on the new context too: the loop ends by itself with
// 1, and the shutdown gives everything back as after Escape.
VOID CALLBACK neverEnds(HWND, UINT, UINT_PTR, DWORD) {
  if (GetTickCount() - loopStart > 8000) ExitProcess(kLoopNeverEnded);
}

void giveUpOnALostGl() {
  setUpTheWholeSaver(1000);
  loopStart = GetTickCount();
  SetTimer(nullptr, 0, 100, neverEnds);
  int code = saverApp.runRenderLoop();
  saverApp.shutDown();
  expectCalls(std::string(kRebuiltCalls) +
              " present-failed mode-restored saver-not-running lists-deleted lists-deleted "
              "context-not-current context-deleted dc-released");
  ExitProcess(static_cast<UINT>(code));
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

// Exit code 6 names a fault (on stderr), 7 a loop that never ended.
TEST(Night, DarkDisplaysGetNoFramesAndNoFineTimerThenAFrameAtOnce) {
  EXPECT_EXIT(runThroughTheDark(), ::testing::ExitedWithCode(0), "");
}

TEST(Night, AFailedPresentGivesANewContextWithTheKeptDesktop) {
  EXPECT_EXIT(surviveADriverReset(), ::testing::ExitedWithCode(0), "");
}

TEST(Night, AGlThatCannotBeMadeAgainEndsLikeEscapeWithOne) {
  EXPECT_EXIT(giveUpOnALostGl(), ::testing::ExitedWithCode(1), "");
}
