#pragma once
// The FPS counter's periods, with the millisecond clock passed in so the
// rules can be exercised without waiting. Pure logic: no platform headers.
#include <stdint.h>

enum { kFpsTextSize = 256 };  // bytes, terminating NUL included

// Running state of the counter; one instance lives for the whole process.
struct FpsTally {
  int32_t frameCount;       // frames counted in the current period
  char text[kFpsTextSize];  // decimal count of the last closed period; "" before
};

// Milliseconds of a wrapping unsigned 32-bit clock (timeGetTime's kind).
typedef uint32_t (*MillisecondClock)();

// Counts one frame. The period closes at the first frame that finds 1000 ms
// or more gone since *periodStart (a signed 32-bit difference, so the clock
// may wrap in between); that frame is counted, its count becomes the text,
// and the next period starts at a fresh clock reading taken afterwards.
// Returns the tally's text, which changes only when a period closes.
const char* countFpsFrame(FpsTally& tally, uint32_t* periodStart, MillisecondClock clock);
