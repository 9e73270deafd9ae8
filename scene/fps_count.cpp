#include "scene/fps_count.h"

#include <stdio.h>

namespace {

const int32_t kFpsPeriod = 1000;  // ms

}  // namespace

const char* countFpsFrame(FpsTally& tally, uint32_t* periodStart, MillisecondClock clock) {
  uint32_t now = clock();
  ++tally.frameCount;
  // Signed: across the 2^32 wrap the unsigned difference is still right,
  // and reading it as signed keeps a clock that steps back from closing.
  int32_t elapsed = static_cast<int32_t>(now - *periodStart);
  if (elapsed >= kFpsPeriod) {
    // The count is not scaled to the period's real length.
    snprintf(tally.text, sizeof tally.text, "%ld", static_cast<long>(tally.frameCount));
    *periodStart = clock();
    tally.frameCount = 0;
  }
  return tally.text;
}
