#include "desktop/bounded_task_win32.h"

namespace {

DWORD WINAPI runTask(void* parameter) {
  SharedTask* task = static_cast<SharedTask*>(parameter);
  task->work(task);
  letGo(task);
  return 0;
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
  bool ended = WaitForSingleObject(thread, limitMs) == WAIT_OBJECT_0;
  CloseHandle(thread);
  return ended;
}
