// The clock overlay's text: the digits it shows for a time of day, in the
// user's time zone, and where it does not fit; the glyphs the overlays
// compile; and which extensions a driver's list names. (The eyes' angles and the
// projection's aspect are measured on the end-to-end pictures: the eyes
// face the cursor's side, and are round on landscape and portrait screens.)
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <string>

#include "scene/clock_text.h"
#include "scene/fps_count.h"
#include "scene/gl_choices.h"
#include "scene/overlay_glyphs.h"
#include "tests/param_name.h"

namespace {

struct ClockRow {
  const char* name;
  int hour, minute, second;
  const char* shown;
};

class ClockDigits : public ::testing::TestWithParam<ClockRow> {};

// A 12-hour clock shows noon and midnight alike and 23 as 11; swapped
// fields show 09:05:07 as 07:05:09.
TEST_P(ClockDigits, ShowHoursMinutesSecondsOnA24HourClock) {
  const ClockRow& row = GetParam();
  struct tm time = {};
  time.tm_hour = row.hour;
  time.tm_min = row.minute;
  time.tm_sec = row.second;
  char buffer[32];
  EXPECT_EQ(strlen(row.shown), formatClockText(time, buffer, sizeof buffer));
  EXPECT_STREQ(row.shown, buffer);
}

INSTANTIATE_TEST_SUITE_P(
    Times, ClockDigits,
    ::testing::Values(ClockRow{"Midnight", 0, 0, 0, "00 : 00 : 00"},
                      ClockRow{"Noon", 12, 0, 0, "12 : 00 : 00"},
                      ClockRow{"Morning", 9, 5, 7, "09 : 05 : 07"},
                      ClockRow{"LastSecondOfTheDay", 23, 59, 59, "23 : 59 : 59"}),
    ParamName());

// The clock is the user's local time: 1970-01-01 00:00:00 UTC is 05:30 in
// a zone five and a half hours east of Greenwich.
TEST(ClockText, ShowsTheUsersTimeZoneNotUtc) {
  const char* saved = getenv("TZ");
  std::string before = saved != nullptr ? saved : "";
  setenv("TZ", "XST-5:30", 1);
  tzset();
  char buffer[32];
  size_t length = localClockText(0, buffer, sizeof buffer);
  if (saved != nullptr) {
    setenv("TZ", before.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  EXPECT_EQ(12u, length);
  EXPECT_STREQ("05 : 30 : 00", buffer);
}

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

// A list names whole words only: a name that begins or ends a longer one
// is not named by it.
struct NameRow {
  const char* name;
  const char* list;
  bool named;
};
const NameRow kNameRows[] = {
    {"FirstOfTwoWithDoubleSpace", "WGL_ARB_create_context  WGL_ARB_create_context_robustness", true},
    {"LastWithTrailingSpace", "WGL_EXT_swap_control WGL_ARB_create_context ", true},
    {"OnlyBeginningLongerNames", "WGL_ARB_create_context_robustness WGL_ARB_create_context_profile", false},
    {"OnlyEndingALongerName", "XWGL_ARB_create_context", false},
    {"NoList", nullptr, false},
};
class ExtensionNames : public ::testing::TestWithParam<NameRow> {};
TEST_P(ExtensionNames, WholeWordsOnly) {
  EXPECT_EQ(GetParam().named, namesExtension(GetParam().list, "WGL_ARB_create_context"));
}
INSTANTIATE_TEST_SUITE_P(List, ExtensionNames, ::testing::ValuesIn(kNameRows), ParamName());

}  // namespace
