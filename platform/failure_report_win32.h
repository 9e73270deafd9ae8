#pragma once
// Debug lines that keep a failure's cause. The user sees only the fixed
// message of the box; the stage and the system's own reason go to
// OutputDebugStringA, where a debugger or a log viewer sees them.
#include <windows.h>

// Writes the stage and the cause, the latter printf-style.
void reportFailure(const char* stage, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Writes the stage, the call that failed with `error` (GetLastError's code,
// read right after the call, or an HRESULT) and the system's text for it.
void reportSystemFailure(const char* stage, const char* call, DWORD error);
