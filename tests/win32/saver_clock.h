#pragma once
// The saver's millisecond clock (timeGetTime) as the in-process tests give
// it: the system's, moved on by the 3 s hold-back the moment the render
// loop first looks at its queue. The hold-back has tests of its own; the
// tests of what comes after it need not wait it out. The clock only ever
// moves forward, as the frame clock expects of any clock.
#include <windows.h>

// Call on the saver's thread right before runRenderLoop: the loop reads
// its start from the clock before its first look at the queue. Mouse moves
// already queued for the thread are dropped first.
void skipHoldBackOnThisThread();

// Moves the saver's clock on by `ms` now (after skipHoldBackOnThisThread),
// as if that much time had passed: for rules measured in seconds of the
// saver's clock, such as how long a lost GL is tried again.
void moveSaverClockOn(DWORD ms);
