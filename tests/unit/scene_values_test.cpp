// The clock overlay's text where it does not fit. (The eyes' angles and
// the projection's aspect are measured on the end-to-end pictures: the eyes
// face the cursor's side, and are round on landscape and portrait screens.)
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
