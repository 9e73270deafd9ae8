// The clock overlay's text where it does not fit. (Its format, the eyes'
// angles and the projection's aspect are shown by the end-to-end pictures:
// the clock changing each second, the eyes facing the cursor's side, and
// round on landscape and portrait screens.)
#include <gtest/gtest.h>
#include <string.h>
#include <time.h>

#include "scene/clock_text.h"

namespace {

TEST(ClockText, TooSmallBufferGivesEmptyText) {
  struct tm time = {};
  time.tm_hour = 12;
  char buffer[12];  // the text needs 13 bytes with its terminator
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(0u, formatClockText(time, buffer, sizeof buffer));
  EXPECT_EQ('\0', buffer[0]);
}

}  // namespace
