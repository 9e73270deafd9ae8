#pragma once
// The desktop's picture after its monitors changed under the saver: the
// frozen desktop where a monitor still shows what it showed at start, the
// user's background on every other one.
#include "desktop/desktop_copy_win32.h"
#include "desktop/picture_sources.h"

// Draws into a new copy covering `bounds` (desktop coordinates): the
// background on the monitors whose source is not the start picture, then
// the start picture's parts, 1:1, on those whose source is. False, with
// nothing held, when the copy cannot be made.
bool composeChangedDesktop(const DesktopCopy& start, const MonitorArea* monitors,
                           const PictureSource* sources, int count, const ScreenRect& bounds,
                           DesktopCopy* picture);
