#include "desktop/bounded_task_win32.h"

#include <mmsystem.h>

namespace {

// A message number no window of the saver's is posted.
const UINT kNobodysMessage = WM_APP + 0x3FF0;

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
// loop. Every PeekMessage handles the sent messages before it looks at the
// queue; filtered to one message that nobody posts, and without PM_REMOVE,
// it takes nothing else and makes the system gather no input, paint or
// timer messages. The sent-messages flag (PM_QS_SENDMESSAGE) would say the
// same, but only 98 and 2000 onwards know it, and a system that checks the
// flags may refuse the whole call over one it does not know (NT 4). The
// peek comes before each wait, which wakes only for messages sent since;
// the clock bounds the whole.
bool waitHandlingSentMessages(HANDLE thread, DWORD limitMs) {
  DWORD start = timeGetTime();
  for (;;) {
    MSG message;
    PeekMessageA(&message, nullptr, kNobodysMessage, kNobodysMessage, PM_NOREMOVE);
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
