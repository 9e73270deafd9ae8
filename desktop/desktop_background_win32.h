#pragma once
// The user's desktop background, drawn where a copy of the screen cannot
// show the user's desktop: the system starts a saver on a desktop of its
// own, which keeps the user's windows from it.
#include "desktop/desktop_copy_win32.h"
#include "scene/screen_layout.h"

// Whether the calling thread runs on the user's own desktop. Systems
// without desktops (95/98), or a name that cannot be read, count as yes.
bool runsOnUsersDesktop();

// Draws the desktop colour and the wallpaper, placed as the desktop places
// it on each of `monitors`, into a new copy covering `bounds` (desktop
// coordinates, the bounds of all monitors). A wallpaper that is missing or
// cannot be decoded leaves the colour. False, with nothing held, only when
// the copy's bitmap cannot be made.
bool composeDesktopBackground(const MonitorArea* monitors, int count, const ScreenRect& bounds,
                              DesktopCopy* copy);
