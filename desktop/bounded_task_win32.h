#pragma once
// Work the saver waits for a bounded time only: a question to the shell's
// process, a file on a share that may not answer. The work runs on a
// thread of its own over a heap block the worker and the saver share.
// Whoever lets go of it last frees it: the saver stops waiting after its
// limit and lets go, and a worker that answers later writes only into the
// block it still holds.
#include <windows.h>

// The head of such a block; the task's own fields follow it.
struct SharedTask {
  LONG holders;
  void (*work)(SharedTask*);
  void (*release)(SharedTask*);  // frees the block and what it holds
};

// Starts the task's work and waits at most `limitMs` for its thread to
// end; true when it ended in time, and only then may the caller read the
// results. Either way the caller lets go of the task when done. While it
// waits, messages that other threads send to the caller's windows are
// handled (their window procedures run inside this call); posted and input
// messages stay queued.
bool runBounded(SharedTask* task, DWORD limitMs);
void letGo(SharedTask* task);
