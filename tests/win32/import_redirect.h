#pragma once
// Points this test executable's imports at stand-ins: calls the product's
// code makes to the system, recorded or answered on their way out. The
// product's objects are linked into the executable, so they go through the
// same import slots.
#include <windows.h>

// Points this executable's import of `function` from `module` at
// `replacement`; returns what it pointed at, null when there is no such
// import.
void* replaceImport(const char* module, const char* function, void* replacement);
