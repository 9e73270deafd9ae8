#include "desktop/bounded_task_win32.h"

#include <mmsystem.h>

namespace {

DWORD WINAPI runTask(void* parameter) {
  SharedTask* task = static_cast<SharedTask*>(parameter);
  task->work(task);
  letGo(task);
  return 0;
}

// Waits at most `limitMs` for the thread to end, handling meanwhile the
// messages other threads send to this one: the saver's thread owns the
// top-most window, and a program that broadcasts a change to every window
// waits on each. Posted and input messages stay queued for the saver's own
// loop. A sent message is handled inside PeekMessage, which with the
// sent-messages filter takes and returns nothing; Windows 95 knows no such
// filter, and there the call, without PM_REMOVE, leaves whatever it finds
// queued all the same. It is made once before each wait, never looped on
// its answer, and that wait wakes only for messages sent since: whatever
// happens, the clock bounds the whole.
bool waitHandlingSentMessages(HANDLE thread, DWORD limitMs) {
  DWORD start = timeGetTime();
  for (;;) {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    DWORD elapsed = timeGetTime() - start;
    DWORD left = elapsed < limitMs ? limitMs - elapsed : 0;
    DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
    if (woken == WAIT_OBJECT_0) return true;
    if (woken == WAIT_OBJECT_0 + 1 && left > 0) continue;
    if (woken == WAIT_FAILED) return WaitForSingleObject(thread, left) == WAIT_OBJECT_0;
    return false;
  }
}

}  // namespace

void letGo(SharedTask* task) {
  if (InterlockedDecrement(&task->holders) == 0) task->release(task);
}

// The wait is for the thread, not for a signal from its work: going on
// while the thread was still ending (its COM apartment and DLLs letting go
// of it) left the saver without a window now and then under Wine.
bool runBounded(SharedTask* task, DWORD limitMs) {
  task->holders = 2;
  DWORD id = 0;  // 95/98 fail a thread without somewhere to put its id
  HANDLE thread = CreateThread(nullptr, 0, runTask, task, 0, &id);
  if (thread == nullptr) {
    task->holders = 1;
    return false;
  }
  bool ended = waitHandlingSentMessages(thread, limitMs);
  CloseHandle(thread);
  return ended;
}
