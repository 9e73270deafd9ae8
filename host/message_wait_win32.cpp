#include "host/message_wait_win32.h"

#include "platform/system_imports_win32.h"

namespace {

// Looked up once: the loop waits between every two frames. Plain statics
// with constant initial values: a guarded local static would bring the
// runtime's thread-safe initialisation along, a third of the .scr.
bool lookedUp = false;
MsgWaitForMultipleObjectsExProc waitEx = nullptr;

}  // namespace

void waitForMessage(DWORD timeoutMs) {
  if (!lookedUp) {
    waitEx = findImport(kMsgWaitForMultipleObjectsEx);
    lookedUp = true;
  }
  if (waitEx != nullptr) {
    waitEx(0, nullptr, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    return;
  }
  // Without the input-available flag a message already seen but still
  // queued would not end the wait: the high word names what is in the
  // queue now, seen or not.
  if (HIWORD(GetQueueStatus(QS_ALLINPUT)) != 0) return;
  MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs, QS_ALLINPUT);
}
