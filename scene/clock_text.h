#pragma once
// The clock overlay's text. Pure logic: no platform headers.
#include <stddef.h>
#include <time.h>

// Writes the time as "HH : MM : SS" (24-hour, two digits each) into buffer
// and returns its length; 0 when the buffer is too small.
size_t formatClockText(const struct tm& localTime, char* buffer, size_t bufferSize);

// The same text for the moment `now` in the user's time zone, as the
// clock shows it; an empty text (0) when the runtime cannot convert it.
size_t localClockText(time_t now, char* buffer, size_t bufferSize);
