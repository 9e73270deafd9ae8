#pragma once
// What the Win32 tests and the end-to-end driver share: the time bounds
// that widen where the program under test runs translated, polling for a
// condition instead of sleeping a fixed time, and letting the test's own
// windows paint. Header-only: both test executables include it.
#include <windows.h>
#include <stdlib.h>

namespace testkit {

// How many times slower than native the program under test runs:
// GLIMMER_TIME_SCALE, set by the Wine test script where the 32-bit build
// runs as translated code. It widens the bounds that only catch slowness;
// the ones the saver's own rules set (the 3 s hold-back, the eyes' second)
// stay as they are.
inline DWORD timeScale() {
  const char* scale = getenv("GLIMMER_TIME_SCALE");
  int value = scale == nullptr ? 1 : atoi(scale);
  return value > 1 ? static_cast<DWORD>(value) : 1u;
}
// A bound that only catches slowness, widened by timeScale().
inline DWORD slack(DWORD ms) { return ms * timeScale(); }

// Lets the calling thread's windows handle what is queued for them.
inline void dispatchWaiting() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// Asks `condition` every 10 ms, handling the thread's messages meanwhile,
// until it holds or `timeoutMs` passes; whether it held. The timeout is a
// bound that catches slowness: callers pass slack(...) where it is one.
template <typename Condition>
bool waitUntil(Condition condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    dispatchWaiting();
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(10);
  }
}

// Handles the thread's messages for `ms`: only where the test must show
// that something does NOT happen within that time, or must let its own
// windows paint before the X server shows them.
inline void pumpMessages(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    dispatchWaiting();
    Sleep(10);
  } while (GetTickCount() - start < ms);
}

// Whether `window` is the foreground window within `timeoutMs`: input is
// sent only to a window shown to take it.
inline bool waitForForeground(HWND window, DWORD timeoutMs) {
  return waitUntil([window] { return GetForegroundWindow() == window; }, timeoutMs);
}

// What must hold while an error box shows; it ends the process with a code
// of its own when it does not.
typedef void (*BoxCheck)(HWND box);

struct ErrorBoxWatch {
  const char* caption;
  BoxCheck check;
  UINT noBoxCode;
  DWORD timeoutMs;
};

inline BOOL CALLBACK findOwnBox(HWND window, LPARAM context) {
  ErrorBoxWatch* watch = reinterpret_cast<ErrorBoxWatch*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  if (process != GetCurrentProcessId() || lstrcmpA(title, watch->caption) != 0 ||
      !IsWindowVisible(window)) {
    return TRUE;
  }
  if (watch->check != nullptr) watch->check(window);
  PostMessageA(window, WM_COMMAND, IDOK, 0);
  watch->caption = nullptr;  // found
  return FALSE;
}

inline DWORD WINAPI watchForErrorBox(LPVOID context) {
  ErrorBoxWatch* watch = static_cast<ErrorBoxWatch*>(context);
  DWORD start = GetTickCount();
  do {
    EnumWindows(findOwnBox, reinterpret_cast<LPARAM>(watch));
    if (watch->caption == nullptr) return 0;
    Sleep(50);
  } while (GetTickCount() - start < watch->timeoutMs);
  ExitProcess(watch->noBoxCode);
}

// For a test whose code under test shows an error box and then ends the
// process (a death-test child): a thread of its own waits for this
// process's box captioned `caption`, runs `check` on it while it shows and
// presses OK, or ends the process with `noBoxCode` when none shows within
// slack(10000) ms. Call it right before the code that fails.
inline void expectErrorBoxThenExit(BoxCheck check, UINT noBoxCode, const char* caption = "Error") {
  static ErrorBoxWatch watch;
  watch = {caption, check, noBoxCode, slack(10000)};
  CreateThread(nullptr, 0, watchForErrorBox, &watch, 0, nullptr);
}

}  // namespace testkit
