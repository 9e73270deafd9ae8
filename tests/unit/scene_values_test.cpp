// The clock overlay's text where it does not fit, and the glyphs the
// overlays compile. (The eyes' angles and
// the projection's aspect are measured on the end-to-end pictures: the eyes
// face the cursor's side, and are round on landscape and portrait screens.)
#include <gtest/gtest.h>
#include <string.h>
#include <time.h>

#include <string>

#include "scene/clock_text.h"
#include "scene/fps_count.h"
#include "scene/overlay_glyphs.h"

namespace {

TEST(ClockText, TooSmallBufferGivesEmptyText) {
  struct tm time = {};
  time.tm_hour = 12;
  char buffer[12];  // the text needs 13 bytes with its terminator
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(0u, formatClockText(time, buffer, sizeof buffer));
  EXPECT_EQ('\0', buffer[0]);
}

// The overlays compile only the glyphs of kOverlayGlyphs; any other
// character in their texts would be drawn as nothing.
bool allCompiled(const std::string& text) {
  return text.find_first_not_of(kOverlayGlyphs) == std::string::npos;
}

TEST(OverlayGlyphs, HoldEveryCharacterTheTextsDraw) {
  // Ascending and within the lists' codes: the font builder compiles runs
  // of consecutive codes into the list of each code.
  for (const char* c = kOverlayGlyphs; *c != '\0'; ++c) {
    EXPECT_GE(*c, 32);
    if (c[1] != '\0') {
      EXPECT_LT(c[0], c[1]) << "at " << c;
    }
  }
  EXPECT_TRUE(allCompiled(kFpsLabel));
  for (int hour = 0; hour < 24; ++hour) {
    struct tm time = {};
    time.tm_hour = hour;
    time.tm_min = hour * 59 / 23;
    time.tm_sec = 59 - time.tm_min;
    char text[32];
    ASSERT_NE(0u, formatClockText(time, text, sizeof text));
    EXPECT_TRUE(allCompiled(text)) << text;
  }
  // The count is a decimal number of frames, as many digits as it takes.
  FpsTally tally = {};
  tally.frameCount = 1234567889;
  uint32_t start = 0;
  countFpsFrame(tally, &start, [] { return 1000u; });
  EXPECT_TRUE(allCompiled(tally.text)) << tally.text;
}

}  // namespace
