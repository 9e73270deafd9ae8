#pragma once
// Sleeping until a message comes, on every Windows the saver runs on.
#include <windows.h>

// Waits until the thread's queue holds a message, one already seen but
// still queued included, or `timeoutMs` (INFINITE: no limit) passes.
// MsgWaitForMultipleObjectsEx says that in one call, but Windows 95's USER
// has no such function, so it is looked up at run time; without it a check
// of the queue comes first and MsgWaitForMultipleObjects, which wakes only
// for new messages, does the wait.
void waitForMessage(DWORD timeoutMs);
