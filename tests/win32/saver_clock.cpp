#include "tests/win32/saver_clock.h"

#include "host/frame_clock.h"
#include "tests/win32/import_redirect.h"

namespace {

typedef DWORD(WINAPI* TimeGetTimeProc)();
typedef BOOL(WINAPI* PeekMessageProc)(MSG*, HWND, UINT, UINT, UINT);
TimeGetTimeProc realTimeGetTime = nullptr;
PeekMessageProc realPeekMessage = nullptr;
volatile LONG clockAhead = 0;  // ms added to the system's reading
volatile DWORD armedThread = 0;

DWORD WINAPI shiftedTimeGetTime() { return realTimeGetTime() + static_cast<DWORD>(clockAhead); }

BOOL WINAPI firstLookSkipsHoldBack(MSG* message, HWND window, UINT first, UINT last, UINT remove) {
  if (armedThread != 0 && GetCurrentThreadId() == armedThread) {
    armedThread = 0;
    clockAhead = static_cast<LONG>(kHoldBack);
  }
  return realPeekMessage(message, window, first, last, remove);
}

}  // namespace

void skipHoldBackOnThisThread() {
  if (realTimeGetTime == nullptr) {
    realTimeGetTime = reinterpret_cast<TimeGetTimeProc>(
        replaceImport("winmm.dll", "timeGetTime", reinterpret_cast<void*>(shiftedTimeGetTime)));
    realPeekMessage = reinterpret_cast<PeekMessageProc>(replaceImport(
        "user32.dll", "PeekMessageA", reinterpret_cast<void*>(firstLookSkipsHoldBack)));
  }
  if (realTimeGetTime == nullptr || realPeekMessage == nullptr) ExitProcess(99);
  // The cursor centred when the window was made comes as a mouse move,
  // which the hold-back used to outlast: taken now, it would put the eyes
  // up in the first frames. Moves still on their way from the X server
  // come within a few passes; a quiet 100 ms means none is left.
  DWORD quietSince = GetTickCount();
  while (GetTickCount() - quietSince < 100) {
    MSG message;
    if (realPeekMessage(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
      quietSince = GetTickCount();
    } else {
      Sleep(5);
    }
  }
  armedThread = GetCurrentThreadId();
}

void moveSaverClockOn(DWORD ms) { InterlockedExchangeAdd(&clockAhead, static_cast<LONG>(ms)); }
