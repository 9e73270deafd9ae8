// The saver on systems that lack the functions it looks up at run time:
// each row answers "absent" for one function or family, through this
// executable's imports of GetProcAddress and wglGetProcAddress (the lookups
// of the product's objects linked in here go through them), and plays a
// whole run in process: the start, a still second, a mouse move, Escape.
// The preview without the DPI functions, and the message wait without its
// one-call form, follow. Each runs in a death-test child: the lookups are
// cached in statics, and the application object is the process's one
// global.
#include <gtest/gtest.h>

#include <windows.h>
#include <GL/gl.h>

#include <stdio.h>
#include <string.h>

#include <ostream>
#include <string>
#include <vector>

#include "host/message_wait_win32.h"
#include "host/saver_app.h"
#include "tests/param_name.h"
#include "tests/test_helpers_win32.h"
#include "tests/win32/import_redirect.h"
#include "tests/win32/saver_clock.h"

#ifndef GL_BGRA_EXT
#define GL_BGRA_EXT 0x80E1
#endif

namespace {

// Exit codes of a child that found a fault; stderr says more.
enum : UINT {
  kNoSetUp = 20,
  kNotAsked,        // a refused function was never looked up: the row ran no fallback
  kNoFirstFrame,
  kNotCovered,      // the window does not cover the primary monitor
  kDrewWhileStill,
  kBusyWhileStill,  // the loop kept looking at its queue, or used processor time, while still
  kNoEyes,
  kEyesStayed,
  kWokeLate,        // a message posted during the long wait was looked at a frame later
  kEndedEarly,      // the loop ended before Escape
  kNeverEnded,
};

struct AbsentRow {
  const char* name;
  const char* refused[8];  // the functions the system lacks; null ends the list
  bool ownDesktop;         // started on a desktop of its own: the saver composes the background
};

const AbsentRow* row = nullptr;
volatile LONG asked[8];  // per refused name: how often it was looked up

bool refuse(LPCSTR name) {
  // An ordinal is not a name: HIWORD 0.
  if (row == nullptr || (reinterpret_cast<ULONG_PTR>(name) >> 16) == 0) return false;
  for (int i = 0; row->refused[i] != nullptr; ++i) {
    if (strcmp(row->refused[i], name) == 0) {
      InterlockedIncrement(&asked[i]);
      return true;
    }
  }
  return false;
}

typedef FARPROC(WINAPI* GetProcAddressProc)(HMODULE, LPCSTR);
typedef PROC(WINAPI* WglGetProcAddressProc)(LPCSTR);
typedef BOOL(WINAPI* SwapBuffersProc)(HDC);
GetProcAddressProc realGetProcAddress;
WglGetProcAddressProc realWglGetProcAddress;
SwapBuffersProc realSwapBuffers;

FARPROC WINAPI absentGetProcAddress(HMODULE module, LPCSTR name) {
  if (!refuse(name)) return realGetProcAddress(module, name);
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}
PROC WINAPI absentWglGetProcAddress(LPCSTR name) {
  return refuse(name) ? nullptr : realWglGetProcAddress(name);
}

void fail(UINT code, const char* what) {
  fprintf(stderr, "%s: %s\n", row != nullptr ? row->name : "", what);
  fflush(stderr);
  ExitProcess(code);
}

template <typename Proc>
void redirect(const char* module, const char* function, Proc replacement, Proc* real) {
  *real = reinterpret_cast<Proc>(
      replaceImport(module, function, reinterpret_cast<void*>(replacement)));
  if (*real == nullptr) fail(kNoSetUp, function);
}

void refuseTheRowsLookups(const AbsentRow& absent) {
  row = &absent;
  redirect("kernel32.dll", "GetProcAddress", absentGetProcAddress, &realGetProcAddress);
  redirect("opengl32.dll", "wglGetProcAddress", absentWglGetProcAddress, &realWglGetProcAddress);
}

void expectEveryRefusedNameAsked() {
  for (int i = 0; row->refused[i] != nullptr; ++i) {
    if (asked[i] == 0) fail(kNotAsked, (std::string(row->refused[i]) + " never looked up").c_str());
  }
}

// What the frames showed, noted as each is presented: whether the middle
// row of the primary monitor is the kept desktop, or the eyes over it.
volatile LONG presents = 0;
volatile LONG eyeFrames = 0;
volatile LONG lastFrameShowedEyes = 0;

// Pixels of the row through the primary monitor's middle that differ from
// the desktop copy the backdrop shows, read from the finished back buffer.
int middleRowPixelsNotTheDesktop() {
  const DesktopCopy& copy = saverApp.desktopCopy;
  int left = -saverApp.layout.window.left;
  int width = GetSystemMetrics(SM_CXSCREEN);
  int topDown = GetSystemMetrics(SM_CYSCREEN) / 2 - saverApp.layout.window.top;
  int bottomUp = copy.height - 1 - topDown;  // GL rows and the copy's rows both count up
  std::vector<unsigned> pixels(static_cast<size_t>(width));
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadBuffer(GL_BACK);
  glReadPixels(left, bottomUp, width, 1, GL_BGRA_EXT, GL_UNSIGNED_BYTE, pixels.data());
  const unsigned* bits = static_cast<const unsigned*>(copy.bits) +
                         static_cast<size_t>(bottomUp) * copy.width + left;
  int differ = 0;
  for (int x = 0; x < width; ++x) {
    if (((pixels[x] ^ bits[x]) & 0xFFFFFFu) != 0) ++differ;
  }
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

// The render loop's looks at the queue, two each pass: a loop that sleeps
// while nothing is due makes none in a still second, a busy one thousands.
// Wine's PeekMessage yields the processor when the queue is empty, so such
// a loop's own processor time alone may look modest.
typedef BOOL(WINAPI* PeekMessageProc)(MSG*, HWND, UINT, UINT, UINT);
PeekMessageProc realPeekMessage;
DWORD loopThread = 0;
volatile LONG loopPeeks = 0;
// The first look after a message posted to the sleeping loop: it woke.
volatile DWORD postedAt = 0;
volatile DWORD lookedAt = 0;
volatile LONG looked = 1;

BOOL WINAPI countPeek(MSG* message, HWND window, UINT first, UINT last, UINT remove) {
  if (GetCurrentThreadId() == loopThread) {
    InterlockedIncrement(&loopPeeks);
    if (!looked) {
      lookedAt = GetTickCount();
      looked = 1;
    }
  }
  return realPeekMessage(message, window, first, last, remove);
}

double processSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  ULARGE_INTEGER k, u;
  k.LowPart = kernel.dwLowDateTime;
  k.HighPart = kernel.dwHighDateTime;
  u.LowPart = user.dwLowDateTime;
  u.HighPart = user.dwHighDateTime;
  return static_cast<double>(k.QuadPart + u.QuadPart) / 1e7;
}

// Waits until `count` has not changed for `quietMs` (within a bound that
// only catches slowness).
void waitUntilUnchanged(const volatile LONG& count, DWORD quietMs) {
  LONG seen = -1;
  DWORD seenAt = GetTickCount();
  testkit::waitUntil([&] {
    if (count != seen) {
      seen = count;
      seenAt = GetTickCount();
    }
    return GetTickCount() - seenAt >= quietMs;
  }, testkit::slack(quietMs + 3000));
}

HDESK rowDesktop = nullptr;
bool escapePosted = false;
DWORD wakes[3];  // ms from a post during the long wait to the loop's look, Escape's last

// Posts `message` to the saver's window while the loop sleeps with nothing
// due (the last frame was drawn a while ago), as the user's key would come.
void postDuringTheLongWait(UINT message, WPARAM wParam) {
  // The loop was drawing or taking the last message: it sleeps once it has
  // not looked at its queue for 50 ms.
  waitUntilUnchanged(loopPeeks, 50);
  looked = 0;
  postedAt = GetTickCount();
  PostMessageA(saverApp.window, message, wParam, 0);
}

DWORD lastWake() {
  if (!testkit::waitUntil([] { return looked != 0; }, testkit::slack(3000))) {
    fail(kNeverEnded, "a message posted during the long wait did not wake the loop");
  }
  return lookedAt - postedAt;
}

// Plays the user's part from a thread of its own, so that the saver's
// thread has no timer that would wake a wait which missed a message.
DWORD WINAPI playTheUser(LPVOID) {
  if (rowDesktop != nullptr) SetThreadDesktop(rowDesktop);
  if (!testkit::waitUntil([] { return presents > 0; }, testkit::slack(5000))) {
    fail(kNoFirstFrame, "no first frame");
  }
  RECT window = {};
  GetWindowRect(saverApp.window, &window);
  if (!IsWindowVisible(saverApp.window) || window.left > 0 || window.top > 0 ||
      window.right < GetSystemMetrics(SM_CXSCREEN) ||
      window.bottom < GetSystemMetrics(SM_CYSCREEN)) {
    fail(kNotCovered, "the window does not cover the primary monitor");
  }
  // The frames that follow the first at once (the window's first paint,
  // the displays said to be on) are over once 300 ms pass without one.
  waitUntilUnchanged(presents, 300);
  // A still second: this sleep shows that nothing happens meanwhile.
  LONG stillPresents = presents;
  LONG peeksBefore = loopPeeks;
  double cpuBefore = processSeconds();
  DWORD stillStart = GetTickCount();
  Sleep(1000);
  double share = (processSeconds() - cpuBefore) / ((GetTickCount() - stillStart) / 1000.0);
  LONG looks = loopPeeks - peeksBefore;
  if (presents != stillPresents) fail(kDrewWhileStill, "frames drawn while nothing was due");
  if (looks > 20) {
    char text[96];
    snprintf(text, sizeof text, "%ld looks at the queue in a still second", looks);
    fail(kBusyWhileStill, text);
  }
  // A still loop costs none; one that never sleeps took 13 to 18 % of a
  // core here, the rest going to Wine's server. Translated code costs more
  // for the same work.
  double allowed = 0.05 * testkit::timeScale();
  if (share > (allowed < 0.5 ? allowed : 0.5)) {
    char text[96];
    snprintf(text, sizeof text, "%.0f %% of a core while still", share * 100);
    fail(kBusyWhileStill, text);
  }
  PostMessageA(saverApp.window, WM_MOUSEMOVE, 0, MAKELPARAM(40, 30));
  if (!testkit::waitUntil([] { return eyeFrames > 0; }, testkit::slack(1000))) {
    fail(kNoEyes, "no eyes after a mouse move");
  }
  // The eyes' second passes on the saver's clock at once: their own tests
  // time it; here they must go when it has passed.
  moveSaverClockOn(kMouseMoveWindow);
  if (!testkit::waitUntil([] { return !lastFrameShowedEyes; }, testkit::slack(1000))) {
    fail(kEyesStayed, "the eyes did not go a second after the move");
  }
  // The frame without the eyes is the last one due: the loop sleeps with
  // nothing ahead. Two messages that change nothing, then Escape, come
  // during that long wait.
  for (int i = 0; i < 2; ++i) {
    postDuringTheLongWait(WM_NULL, 0);
    wakes[i] = lastWake();
  }
  escapePosted = true;
  postDuringTheLongWait(WM_KEYDOWN, VK_ESCAPE);
  Sleep(testkit::slack(5000));
  fail(kNeverEnded, "the loop did not end after Escape");
  return 0;
}

void runTheSaverWithout(const AbsentRow& absent) {
  if (absent.ownDesktop) {
    // As the system starts a saver: its thread on a desktop of its own, where
    // a copy of the screen would not show the user's desktop.
    rowDesktop = CreateDesktopA("Absent-test", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (rowDesktop == nullptr || !SetThreadDesktop(rowDesktop)) fail(kNoSetUp, "no desktop");
  }
  refuseTheRowsLookups(absent);
  redirect("gdi32.dll", "SwapBuffers", notePresent, &realSwapBuffers);
  redirect("user32.dll", "PeekMessageA", countPeek, &realPeekMessage);
  loopThread = GetCurrentThreadId();
  HINSTANCE instance = GetModuleHandleA(nullptr);
  for (int stage = 0; stage < kStartUpStageCount; ++stage) {
    if (saverApp.runStartUpStage(stage, instance) != nullptr) {
      fail(kNoSetUp, startUpStageName(stage));
    }
    // Without the clock and the counter nothing is due once the picture is
    // still: the loop's wait has no end of its own.
    saverApp.showTime = false;
    saverApp.showFps = false;
  }
  CreateThread(nullptr, 0, playTheUser, nullptr, 0, nullptr);
  skipHoldBackOnThisThread();
  int code = saverApp.runRenderLoop();
  saverApp.shutDown();
  if (!escapePosted) fail(kEndedEarly, "the loop ended before Escape");
  wakes[2] = lastWake();
  // The middle one of the three wakes: within a frame at 60 Hz. One may
  // come late on a busy machine; a wait that missed a message wakes only
  // with the next one, or never.
  DWORD middle = wakes[0] < wakes[1] ? wakes[0] : wakes[1];
  DWORD larger = wakes[0] < wakes[1] ? wakes[1] : wakes[0];
  if (wakes[2] > middle) middle = wakes[2] < larger ? wakes[2] : larger;
  if (middle > testkit::slack(17)) {
    char text[96];
    snprintf(text, sizeof text, "the loop woke %lu, %lu and %lu ms after a post", wakes[0],
             wakes[1], wakes[2]);
    fail(kWokeLate, text);
  }
  expectEveryRefusedNameAsked();
  ExitProcess(static_cast<UINT>(code));
}

void PrintTo(const AbsentRow& absent, std::ostream* out) { *out << absent.name; }

// The group policy's key: where it exists, its wallpaper value is read (wide
// first), which a new prefix does not have. Made for the rows that compose
// the background, volatile, and removed again with its parent if that was
// made too, so that no other test sees either.
const char kPoliciesKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies";
const char kPolicyKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

bool keyExists(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

class OldestWindows : public ::testing::TestWithParam<AbsentRow> {};

// Exit codes name the fault (see the list above; stderr says more).
TEST_P(OldestWindows, StartStillEyesAndEscapeWork) {
  bool hadPolicies = keyExists(kPoliciesKey);
  bool hadPolicy = keyExists(kPolicyKey);
  HKEY key = nullptr;
  if (GetParam().ownDesktop && !hadPolicy) {
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kPolicyKey, 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_READ, nullptr, &key,
                                             nullptr));
    RegCloseKey(key);
  }
  EXPECT_EXIT(runTheSaverWithout(GetParam()), ::testing::ExitedWithCode(0), "");
  if (!hadPolicy) RegDeleteKeyA(HKEY_CURRENT_USER, kPolicyKey);
  if (!hadPolicies) RegDeleteKeyA(HKEY_CURRENT_USER, kPoliciesKey);
}

// Windows 95 without its updates lacks every one of these; 98 and NT 4
// lack all but a few. The wide functions are read only when composing the
// background, on a desktop of the saver's own.
INSTANTIATE_TEST_SUITE_P(
    Absent, OldestWindows,
    ::testing::Values(
        AbsentRow{"OneMonitor", {"EnumDisplayMonitors", "GetMonitorInfoA"}, false},
        AbsentRow{"MessageWaitWithoutEx", {"MsgWaitForMultipleObjectsEx"}, false},
        AbsentRow{"NoPowerSettingNotices", {"RegisterPowerSettingNotification"}, false},
        AbsentRow{"NoPowerSettingUnregister", {"UnregisterPowerSettingNotification"}, false},
        AbsentRow{"NoWideFunctions",
                  {"SystemParametersInfoW", "GetEnvironmentVariableW", "RegQueryValueExW"},
                  true},
        AbsentRow{"NoDesktopObjects", {"GetThreadDesktop", "GetUserObjectInformationA"}, true},
        AbsentRow{"NoSwapInterval", {"wglSwapIntervalEXT"}, false},
        AbsentRow{"Windows95",
                  {"EnumDisplayMonitors", "GetMonitorInfoA", "MsgWaitForMultipleObjectsEx",
                   "RegisterPowerSettingNotification", "GetThreadDesktop",
                   "GetUserObjectInformationA", "wglSwapIntervalEXT"},
                  false}),
    ParamName());

// The preview in a host window of this process, without the DPI functions
// of Windows 10: it still fills the host's client area, costs nothing while
// shown, and ends with its host.
const AbsentRow kNoDpiFunctions = {
    "NoDpiFunctions", {"GetWindowDpiAwarenessContext", "SetThreadDpiAwarenessContext"}, false};

HWND previewHost = nullptr;

DWORD WINAPI watchThePreview(LPVOID) {
  RECT hostArea = {};
  GetClientRect(previewHost, &hostArea);
  if (!testkit::waitUntil(
          [&hostArea] {
            RECT area = {};
            return saverApp.window != nullptr && IsWindowVisible(saverApp.window) &&
                   GetClientRect(saverApp.window, &area) && EqualRect(&area, &hostArea);
          },
          testkit::slack(3000))) {
    fail(kNotCovered, "the preview does not fill its host");
  }
  // A still second: the sleep shows that nothing runs meanwhile.
  double cpuBefore = processSeconds();
  DWORD stillStart = GetTickCount();
  Sleep(1000);
  double share = (processSeconds() - cpuBefore) / ((GetTickCount() - stillStart) / 1000.0);
  double allowed = 0.05 * testkit::timeScale();
  if (share > (allowed < 0.5 ? allowed : 0.5)) fail(kBusyWhileStill, "the preview is busy");
  PostMessageA(previewHost, WM_CLOSE, 0, 0);
  Sleep(testkit::slack(5000));
  fail(kNeverEnded, "the preview outlived its host");
  return 0;
}

void runThePreviewWithout(const AbsentRow& absent) {
  refuseTheRowsLookups(absent);
  previewHost = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 60,
                                330, 250, nullptr, nullptr, nullptr, nullptr);
  if (previewHost == nullptr) fail(kNoSetUp, "no host window");
  saverApp.parentWindow = static_cast<int>(reinterpret_cast<INT_PTR>(previewHost));
  CreateThread(nullptr, 0, watchThePreview, nullptr, 0, nullptr);
  int code = saverApp.runPreview(GetModuleHandleA(nullptr));
  expectEveryRefusedNameAsked();
  ExitProcess(static_cast<UINT>(code));
}

TEST(OldestWindowsPreview, FillsItsHostAndEndsWithItWithoutTheDpiFunctions) {
  EXPECT_EXIT(runThePreviewWithout(kNoDpiFunctions), ::testing::ExitedWithCode(0), "");
}

// The message wait without MsgWaitForMultipleObjectsEx, on its own: a
// message the thread has already looked at but left in the queue must end
// the wait at once, as a new one does.
const AbsentRow kNoWaitEx = {"MessageWaitWithoutEx", {"MsgWaitForMultipleObjectsEx"}, false};

DWORD WINAPI wakeTheWaitLate(LPVOID thread) {
  // Only a wait that missed the queued message is still there to wake.
  Sleep(testkit::slack(1000));
  PostThreadMessageA(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(thread)), WM_NULL, 0, 0);
  return 0;
}

void waitWithASeenMessageQueued() {
  refuseTheRowsLookups(kNoWaitEx);
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists
  PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0);
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) || message.message != WM_KEYDOWN) {
    fail(kNoSetUp, "the posted key is not queued");
  }
  CreateThread(nullptr, 0, wakeTheWaitLate,
               reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(GetCurrentThreadId())), 0,
               nullptr);
  DWORD start = GetTickCount();
  waitForMessage(INFINITE);
  DWORD waited = GetTickCount() - start;
  if (waited > testkit::slack(17)) {
    char text[64];
    snprintf(text, sizeof text, "the wait took %lu ms with the key queued", waited);
    fail(kWokeLate, text);
  }
  expectEveryRefusedNameAsked();
  ExitProcess(0);
}

TEST(OldestWindowsMessageWait, AMessageAlreadySeenButQueuedEndsTheWaitAtOnce) {
  EXPECT_EXIT(waitWithASeenMessageQueued(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
