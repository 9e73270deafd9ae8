#include "host/message_wait_win32.h"

namespace {

typedef DWORD(WINAPI* MsgWaitExProc)(DWORD, const HANDLE*, DWORD, DWORD, DWORD);

// Looked up once; null where USER lacks it.
MsgWaitExProc msgWaitEx() {
  static bool looked = false;
  static MsgWaitExProc found = nullptr;
  if (!looked) {
    HMODULE user = GetModuleHandleA("user32.dll");
    if (user != nullptr) {
      found = reinterpret_cast<MsgWaitExProc>(
          reinterpret_cast<void*>(GetProcAddress(user, "MsgWaitForMultipleObjectsEx")));
    }
    looked = true;
  }
  return found;
}

}  // namespace

void waitForMessage(DWORD timeoutMs) {
  MsgWaitExProc waitEx = msgWaitEx();
  if (waitEx != nullptr) {
    waitEx(0, nullptr, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    return;
  }
  // The high word names what is in the queue now, seen or not.
  if (HIWORD(GetQueueStatus(QS_ALLINPUT)) != 0) return;
  MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs, QS_ALLINPUT);
}
