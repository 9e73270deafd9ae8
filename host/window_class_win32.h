#pragma once
// Registration of the program's two window classes, which differ only in
// their procedure, icon and cursor.
#include <windows.h>

// Registers class `name` with the style both windows use (redrawn whole on
// resize, double clicks, saved bits under it) and a black background brush.
// Null icon or cursor: none. False when the system refuses the class.
bool registerWindowClass(HINSTANCE instance, const char* name, WNDPROC procedure, HICON icon,
                         HCURSOR cursor);
