#pragma once
// The monitors of the desktop, as the saver's layout needs them.
#include "scene/screen_layout.h"

// Lists up to `capacity` monitors into `monitors` and returns how many.
// Systems without multi-monitor support, or a failing enumeration, give one
// monitor the size of the screen.
int listMonitors(MonitorArea* monitors, int capacity);
