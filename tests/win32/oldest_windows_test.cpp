// The saver on systems that lack the functions it looks up at run time:
// each row answers "absent" for a family through this executable's imports
// of GetProcAddress and wglGetProcAddress, which the product's objects
// linked in here share. Each runs in a death-test child: the lookups are
// cached in statics, and the application object is the process's one global.
#include <gtest/gtest.h>

#include <windows.h>
#include <GL/gl.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "host/message_wait_win32.h"
#include "host/saver_app.h"
#include "tests/param_name.h"
#include "tests/test_helpers_win32.h"
#include "tests/win32/import_redirect.h"
#include "tests/win32/saver_clock.h"

namespace {

enum Play { kSaver, kPreview, kWait };

struct AbsentRow {
  const char* name;
  const char* refused[8];  // the functions the system lacks; null ends the list
  bool ownDesktop = false;  // started on a desktop of its own: the saver composes the background
  Play play = kSaver;      // a whole run: start, a still second, a mouse move, Escape
};

const AbsentRow* row = nullptr;
volatile LONG asked[8];  // per refused name: how often it was looked up

// A child that finds a fault says which on stderr (unbuffered) and exits.
void fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  fprintf(stderr, "%s: ", row != nullptr ? row->name : "");
  vfprintf(stderr, format, args);
  fprintf(stderr, "\n");
  va_end(args);
  ExitProcess(20);
}

bool refuse(LPCSTR name) {
  // An ordinal is not a name: HIWORD 0.
  if (row == nullptr || (reinterpret_cast<ULONG_PTR>(name) >> 16) == 0) return false;
  for (int i = 0; row->refused[i] != nullptr; ++i) {
    if (strcmp(row->refused[i], name) == 0) return InterlockedIncrement(&asked[i]) > 0;
  }
  return false;
}
FARPROC(WINAPI* realGetProcAddress)(HMODULE, LPCSTR);
PROC(WINAPI* realWglGetProcAddress)(LPCSTR);
BOOL(WINAPI* realSwapBuffers)(HDC);
BOOL(WINAPI* realPeekMessage)(MSG*, HWND, UINT, UINT, UINT);
FARPROC WINAPI absentGetProcAddress(HMODULE module, LPCSTR name) {
  if (!refuse(name)) return realGetProcAddress(module, name);
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}
PROC WINAPI absentWglGetProcAddress(LPCSTR name) {
  return refuse(name) ? nullptr : realWglGetProcAddress(name);
}

template <typename Proc>
void redirect(const char* module, const char* function, Proc replacement, Proc* real) {
  *real = reinterpret_cast<Proc>(
      replaceImport(module, function, reinterpret_cast<void*>(replacement)));
  if (*real == nullptr) fail("no import of %s", function);
}

void refuseTheRowsLookups(const AbsentRow& absent) {
  row = &absent;
  redirect("kernel32.dll", "GetProcAddress", absentGetProcAddress, &realGetProcAddress);
  redirect("opengl32.dll", "wglGetProcAddress", absentWglGetProcAddress, &realWglGetProcAddress);
}

// A refused name never looked up: the row ran no fallback.
void exitAfterEveryRefusedNameAsked(int code) {
  for (int i = 0; row->refused[i] != nullptr; ++i) {
    if (asked[i] == 0) fail("%s never looked up", row->refused[i]);
  }
  ExitProcess(static_cast<UINT>(code));
}

volatile LONG presents = 0, eyeFrames = 0, lastFrameShowedEyes = 0;

// Pixels of the row through the primary monitor's middle that differ from
// the desktop copy the backdrop shows, read from the finished back buffer.
int middleRowPixelsNotTheDesktop() {
  const DesktopCopy& copy = saverApp.desktopCopy;
  int left = -saverApp.layout.window.left, width = GetSystemMetrics(SM_CXSCREEN);
  int topDown = GetSystemMetrics(SM_CYSCREEN) / 2 - saverApp.layout.window.top;
  int bottomUp = copy.height - 1 - topDown;  // GL rows and the copy's rows both count up
  std::vector<unsigned> pixels(static_cast<size_t>(width));
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadBuffer(GL_BACK);
  glReadPixels(left, bottomUp, width, 1, 0x80E1 /* GL_BGRA_EXT */, GL_UNSIGNED_BYTE,
               pixels.data());
  const unsigned* bits = static_cast<const unsigned*>(copy.bits) +
                         static_cast<size_t>(bottomUp) * copy.width + left;
  int differ = 0;
  for (int x = 0; x < width; ++x) differ += ((pixels[x] ^ bits[x]) & 0xFFFFFFu) != 0;
  return differ;
}

BOOL WINAPI notePresent(HDC dc) {
  // The eyes are two spheres a good part of the monitor wide; a handful of
  // pixels is not them.
  bool eyes = middleRowPixelsNotTheDesktop() > GetSystemMetrics(SM_CXSCREEN) / 20;
  lastFrameShowedEyes = eyes;
  if (eyes) InterlockedIncrement(&eyeFrames);
  InterlockedIncrement(&presents);
  return realSwapBuffers(dc);
}

// The render loop's looks at the queue: a busy loop makes thousands in a
// still second, and Wine's PeekMessage yields the processor when the queue
// is empty, so its processor time alone may look modest. The first look
// after a post to the sleeping loop tells when it woke.
DWORD loopThread = 0, postedAt = 0;
volatile DWORD lookedAt = 0;
volatile LONG loopPeeks = 0, looked = 1;

BOOL WINAPI countPeek(MSG* message, HWND window, UINT first, UINT last, UINT remove) {
  if (GetCurrentThreadId() == loopThread) {
    InterlockedIncrement(&loopPeeks);
    if (!looked) lookedAt = GetTickCount(), looked = 1;
  }
  return realPeekMessage(message, window, first, last, remove);
}
double processSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ticks = [](FILETIME t) { return (ULONGLONG{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

// The sleep shows that nothing happens meanwhile. A loop that never sleeps
// took 13 to 18 % of a core here; translated code costs more.
void expectAStillSecond() {
  LONG presentsBefore = presents, peeksBefore = loopPeeks;
  double cpuBefore = processSeconds();
  DWORD start = GetTickCount();
  Sleep(1000);
  double share = (processSeconds() - cpuBefore) / ((GetTickCount() - start) / 1000.0);
  LONG peeks = loopPeeks - peeksBefore;
  if (presents != presentsBefore) fail("frames drawn while nothing was due");
  if (peeks > 20) fail("%ld looks at the queue in a still second", peeks);
  if (share > std::min(0.05 * testkit::timeScale(), 0.5)) fail("%.0f %% of a core", share * 100);
}

void waitUntilUnchanged(const volatile LONG& count, DWORD quietMs) {
  LONG seen = -1;
  DWORD seenAt = GetTickCount();
  testkit::waitUntil([&] {
    if (count != seen) seen = count, seenAt = GetTickCount();
    return GetTickCount() - seenAt >= quietMs;
  }, testkit::slack(quietMs + 3000));
}

HDESK rowDesktop = nullptr;
bool escapePosted = false;
DWORD wakes[3];  // ms from a post during the long wait to the loop's look, Escape's last

// Posts while the loop sleeps with nothing due: once it has not looked at
// its queue for 50 ms.
void postDuringTheLongWait(UINT message, WPARAM wParam) {
  waitUntilUnchanged(loopPeeks, 50);
  looked = 0;
  postedAt = GetTickCount();
  PostMessageA(saverApp.window, message, wParam, 0);
}

DWORD lastWake() {
  if (!testkit::waitUntil([] { return looked != 0; }, testkit::slack(3000))) {
    fail("a message posted during the long wait did not wake the loop");
  }
  return lookedAt - postedAt;
}
void expectWithin(DWORD ms, bool (*condition)(), const char* fault) {
  if (!testkit::waitUntil(condition, testkit::slack(ms))) fail("%s", fault);
}

// Plays the user's part from a thread of its own, so that the saver's
// thread has no timer that would wake a wait which missed a message.
DWORD WINAPI playTheUser(LPVOID) {
  if (rowDesktop != nullptr) SetThreadDesktop(rowDesktop);
  expectWithin(5000, [] { return presents > 0; }, "no first frame");
  RECT w = {};
  GetWindowRect(saverApp.window, &w);
  if (!IsWindowVisible(saverApp.window) || w.left > 0 || w.top > 0 ||
      w.right < GetSystemMetrics(SM_CXSCREEN) || w.bottom < GetSystemMetrics(SM_CYSCREEN)) {
    fail("the window does not cover the primary monitor");
  }
  // The frames right after the first (first paint, displays on) are over
  // once 300 ms pass without one.
  waitUntilUnchanged(presents, 300);
  expectAStillSecond();
  PostMessageA(saverApp.window, WM_MOUSEMOVE, 0, MAKELPARAM(40, 30));
  expectWithin(1000, [] { return eyeFrames > 0; }, "no eyes after a mouse move");
  // The eyes' second passes on the saver's clock at once; their own tests time it.
  moveSaverClockOn(kMouseMoveWindow);
  expectWithin(1000, [] { return !lastFrameShowedEyes; }, "the eyes stayed after their second");
  // The frame without the eyes is the last one due: two messages that
  // change nothing, then Escape, come during the long wait that follows.
  for (int i = 0; i < 2; ++i) {
    postDuringTheLongWait(WM_NULL, 0);
    wakes[i] = lastWake();
  }
  escapePosted = true;
  postDuringTheLongWait(WM_KEYDOWN, VK_ESCAPE);
  Sleep(testkit::slack(5000));
  fail("the loop did not end after Escape");
  return 0;
}

void runTheSaver(const AbsentRow& absent) {
  if (absent.ownDesktop) {
    // As the system starts a saver: where a copy of the screen is not the desktop.
    rowDesktop = CreateDesktopA("Absent-test", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (rowDesktop == nullptr || !SetThreadDesktop(rowDesktop)) fail("no desktop");
  }
  redirect("gdi32.dll", "SwapBuffers", notePresent, &realSwapBuffers);
  redirect("user32.dll", "PeekMessageA", countPeek, &realPeekMessage);
  loopThread = GetCurrentThreadId();
  for (int stage = 0; stage < kStartUpStageCount; ++stage) {
    if (saverApp.runStartUpStage(stage, GetModuleHandleA(nullptr)) != nullptr) {
      fail("start-up stage %s failed", startUpStageName(stage));
    }
    // Without the clock and the counter nothing is due once the picture is
    // still: the loop's wait has no end of its own.
    saverApp.showTime = saverApp.showFps = false;
  }
  CreateThread(nullptr, 0, playTheUser, nullptr, 0, nullptr);
  skipHoldBackOnThisThread();
  int code = saverApp.runRenderLoop();
  saverApp.shutDown();
  if (!escapePosted) fail("the loop ended before Escape");
  wakes[2] = lastWake();
  // The middle of the three wakes within a frame: one may come late on a
  // busy machine; a wait that missed a message wakes only with the next.
  DWORD sorted[3] = {wakes[0], wakes[1], wakes[2]};
  std::sort(sorted, sorted + 3);
  if (sorted[1] > testkit::slack(17)) {
    fail("the loop woke %lu, %lu and %lu ms after a post", wakes[0], wakes[1], wakes[2]);
  }
  exitAfterEveryRefusedNameAsked(code);
}

// Only a wait that missed the message already queued is still there to wake.
DWORD WINAPI wakeTheWaitLate(LPVOID thread) {
  Sleep(testkit::slack(1000));
  PostThreadMessageA(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(thread)), WM_NULL, 0, 0);
  return 0;
}
// The message wait on its own: a message the thread has already looked at
// but left in the queue must end the wait at once, as a new one does.
void waitWithASeenMessageQueued() {
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists
  PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0);
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) || message.message != WM_KEYDOWN) {
    fail("the posted key is not queued");
  }
  DWORD self = GetCurrentThreadId(), start = GetTickCount();
  CreateThread(nullptr, 0, wakeTheWaitLate, reinterpret_cast<LPVOID>(ULONG_PTR{self}), 0, nullptr);
  waitForMessage(INFINITE);
  DWORD waited = GetTickCount() - start;
  if (waited > testkit::slack(17)) fail("the wait took %lu ms with the key queued", waited);
  exitAfterEveryRefusedNameAsked(0);
}

// The preview in a host window of this process fills the host's client
// area, costs nothing while shown, and ends with its host.
HWND previewHost = nullptr;
bool previewFillsItsHost() {
  RECT area = {}, hostArea = {};
  return saverApp.window != nullptr && IsWindowVisible(saverApp.window) &&
         GetClientRect(saverApp.window, &area) && GetClientRect(previewHost, &hostArea) &&
         EqualRect(&area, &hostArea);
}

DWORD WINAPI watchThePreview(LPVOID) {
  expectWithin(3000, previewFillsItsHost, "the preview does not fill its host");
  expectAStillSecond();
  PostMessageA(previewHost, WM_CLOSE, 0, 0);
  Sleep(testkit::slack(5000));
  fail("the preview outlived its host");
  return 0;
}
void runThePreview() {
  previewHost = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 60,
                                330, 250, nullptr, nullptr, nullptr, nullptr);
  if (previewHost == nullptr) fail("no host window");
  saverApp.parentWindow = static_cast<int>(reinterpret_cast<INT_PTR>(previewHost));
  CreateThread(nullptr, 0, watchThePreview, nullptr, 0, nullptr);
  exitAfterEveryRefusedNameAsked(saverApp.runPreview(GetModuleHandleA(nullptr)));
}

void PrintTo(const AbsentRow& absent, std::ostream* out) { *out << absent.name; }
class OldestWindows : public ::testing::TestWithParam<AbsentRow> {};

TEST_P(OldestWindows, RunsWithTheFallbacks) {
  const AbsentRow& absent = GetParam();
  // The group policy's key, where it exists, has its wallpaper read (wide
  // first), which a new prefix lacks. Made for the rows that compose the
  // background and removed again with its parent if that was made too.
  const char* policies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies";
  bool hadPolicies = testkit::keyExists(policies);
  bool hadPolicy = testkit::keyExists((std::string(policies) + "\\System").c_str());
  if (absent.ownDesktop) testkit::setPolicyWallpaper("", "");
  EXPECT_EXIT(
      {
        refuseTheRowsLookups(absent);
        if (absent.play == kPreview) runThePreview();
        if (absent.play == kWait) waitWithASeenMessageQueued();
        runTheSaver(absent);
      },
      ::testing::ExitedWithCode(0), "");
  if (!hadPolicy) RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(policies) + "\\System").c_str());
  if (!hadPolicies) RegDeleteKeyA(HKEY_CURRENT_USER, policies);
}

// Windows 95 without its updates lacks every one of these; 98 and NT 4
// lack all but a few. The wide functions are read only when composing the
// background, on a desktop of the saver's own.
INSTANTIATE_TEST_SUITE_P(Absent, OldestWindows, ::testing::Values(
    AbsentRow{"OneMonitor", {"EnumDisplayMonitors", "GetMonitorInfoA"}},
    AbsentRow{"MessageWaitWithoutEx", {"MsgWaitForMultipleObjectsEx"}},
    AbsentRow{"NoPowerSettingNotices", {"RegisterPowerSettingNotification"}},
    AbsentRow{"NoPowerSettingUnregister", {"UnregisterPowerSettingNotification"}},
    AbsentRow{"NoWideFunctions",
              {"SystemParametersInfoW", "GetEnvironmentVariableW", "RegQueryValueExW"}, true},
    AbsentRow{"NoDesktopObjects", {"GetThreadDesktop", "GetUserObjectInformationA"}, true},
    AbsentRow{"NoSwapInterval", {"wglSwapIntervalEXT"}},
    AbsentRow{"Windows95",
              {"EnumDisplayMonitors", "GetMonitorInfoA", "MsgWaitForMultipleObjectsEx",
               "RegisterPowerSettingNotification", "GetThreadDesktop",
               "GetUserObjectInformationA", "wglSwapIntervalEXT"}},
    AbsentRow{"PreviewNoDpiFunctions",
              {"GetWindowDpiAwarenessContext", "SetThreadDpiAwarenessContext"}, false, kPreview},
    AbsentRow{"MessageWaitWithASeenMessageQueued", {"MsgWaitForMultipleObjectsEx"}, false, kWait}),
    ParamName());

}  // namespace
