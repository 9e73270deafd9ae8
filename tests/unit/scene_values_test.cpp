// Small numeric choices of the scene: eye angles, clock text, pixel-format
// depth and the projection's aspect ratio.
#include <gtest/gtest.h>
#include <string.h>
#include <time.h>

#include <string>

#include "scene/clock_text.h"
#include "scene/eye_angles.h"
#include "scene/gl_choices.h"

namespace {

struct AngleCase {
  const char* name;
  int x;
  int y;
  float aboutY;
  float aboutX;
};

const AngleCase kAngleCases[] = {
    {"Origin", 0, 0, 45.0f, 120.0f},
    {"Xga", 400, 300, 5.0f, 90.0f},
    {"BothZero", 450, 1200, 0.0f, 0.0f},
    {"BottomRightOfXga", 1023, 767, -57.3f, 43.3f},
    {"TenthsKept", 5, 15, 44.5f, 118.5f},
    // A monitor left of and above the primary one: the turns grow.
    {"NegativeCoordinates", -1, -1, 45.1f, 120.1f},
    {"FarLeftMonitor", -1920, -200, 237.0f, 140.0f},
};

class EyeAngleTable : public ::testing::TestWithParam<AngleCase> {};

TEST_P(EyeAngleTable, TenthOfCursorOffBaseAngles) {
  const AngleCase& c = GetParam();
  EyeAngles angles = eyeAnglesFor(c.x, c.y);
  EXPECT_NEAR(c.aboutY, angles.aboutY, 1e-4f);
  EXPECT_NEAR(c.aboutX, angles.aboutX, 1e-4f);
}

INSTANTIATE_TEST_SUITE_P(Cursor, EyeAngleTable, ::testing::ValuesIn(kAngleCases),
                         [](const ::testing::TestParamInfo<AngleCase>& info) {
                           return std::string(info.param.name);
                         });

struct ClockCase {
  const char* name;
  int hour;
  int minute;
  int second;
  const char* text;
};

const ClockCase kClockCases[] = {
    {"LeadingZeros", 9, 5, 7, "09 : 05 : 07"},
    {"Midnight", 0, 0, 0, "00 : 00 : 00"},
    {"TwentyFourHour", 23, 59, 59, "23 : 59 : 59"},
    {"Afternoon", 13, 30, 0, "13 : 30 : 00"},
};

class ClockTextTable : public ::testing::TestWithParam<ClockCase> {};

TEST_P(ClockTextTable, HoursMinutesSeconds) {
  const ClockCase& c = GetParam();
  struct tm time = {};
  time.tm_hour = c.hour;
  time.tm_min = c.minute;
  time.tm_sec = c.second;
  time.tm_mday = 1;
  char buffer[256];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(strlen(c.text), formatClockText(time, buffer, sizeof buffer));
  EXPECT_STREQ(c.text, buffer);
}

INSTANTIATE_TEST_SUITE_P(Times, ClockTextTable, ::testing::ValuesIn(kClockCases),
                         [](const ::testing::TestParamInfo<ClockCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(ClockText, TooSmallBufferGivesEmptyText) {
  struct tm time = {};
  time.tm_hour = 12;
  char buffer[12];  // the text needs 13 bytes with its terminator
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(0u, formatClockText(time, buffer, sizeof buffer));
  EXPECT_EQ('\0', buffer[0]);
}

struct AspectCase {
  const char* name;
  int width;
  int height;
  double aspect;
};

const AspectCase kAspectCases[] = {
    {"Xga", 1024, 768, 4.0 / 3.0},
    {"Sxga", 1280, 1024, 1.25},
    {"Svga", 800, 600, 4.0 / 3.0},
    {"UltraWide", 2560, 1080, 2560.0 / 1080.0},
    {"PortraitIsNotZero", 768, 1024, 0.75},
    {"Square", 1000, 1000, 1.0},
};

class AspectTable : public ::testing::TestWithParam<AspectCase> {};

TEST_P(AspectTable, TrueRatio) {
  const AspectCase& c = GetParam();
  EXPECT_DOUBLE_EQ(c.aspect, perspectiveAspect(c.width, c.height));
}

INSTANTIATE_TEST_SUITE_P(Screens, AspectTable, ::testing::ValuesIn(kAspectCases),
                         [](const ::testing::TestParamInfo<AspectCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
