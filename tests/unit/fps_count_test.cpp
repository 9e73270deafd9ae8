// The FPS counter's periods, driven by a scripted millisecond clock.
#include <gtest/gtest.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "scene/fps_count.h"
#include "tests/param_name.h"

namespace {

// Each read takes the next scripted value; reading past the script is a
// fault of the counter (an extra reading) and is recorded as such.
std::vector<uint32_t> scriptedReadings;
size_t readsTaken = 0;
bool readPastScript = false;

uint32_t scriptedClock() {
  if (readsTaken >= scriptedReadings.size()) {
    readPastScript = true;
    return 0;
  }
  return scriptedReadings[readsTaken++];
}

struct FpsCase {
  const char* name;
  uint32_t periodStart;
  std::vector<uint32_t> readings;   // every clock reading, fresh ones included
  std::vector<std::string> texts;   // text returned by each tick, in order
  int32_t frameCount;               // after the last tick
  uint32_t periodStartAfter;        // after the last tick
};

std::vector<uint32_t> repeated(size_t count, uint32_t value, std::vector<uint32_t> tail) {
  std::vector<uint32_t> readings(count, value);
  readings.insert(readings.end(), tail.begin(), tail.end());
  return readings;
}

std::vector<std::string> texts(size_t emptyCount, std::vector<std::string> tail) {
  std::vector<std::string> all(emptyCount, "");
  all.insert(all.end(), tail.begin(), tail.end());
  return all;
}

const FpsCase kFpsCases[] = {
    {"EmptyUntilFirstPeriodCloses", 0, {0, 500, 999}, {"", "", ""}, 3, 0},
    // The tick at exactly 1000 ms closes, is counted, and the next period
    // starts at the reading taken after it (1004), not at 1000.
    {"ClosesAtExactly1000CountingThatTick", 0, {10, 20, 1000, 1004}, {"", "", "3"}, 0, 1004},
    {"SmallestCountShownIsOne", 0, {5000, 5001}, {"1"}, 0, 5001},
    {"CountNotScaledToPeriodLength", 0, repeated(44, 100, {1500, 1501}), texts(44, {"45"}), 0,
     1501},
    {"TextKeptBetweenClosings", 0, {1000, 1000, 1500, 1999, 2000, 2002},
     {"1", "1", "1", "3"}, 0, 2002},
    {"ManyDigits", 0, repeated(123455, 7, {1000, 1000}), texts(123455, {"123456"}), 0, 1000},
    {"ClosesAcrossClockWrap", 0xFFFFFE00u, {0x000001E8u, 0x000001F0u}, {"1"}, 0, 0x000001F0u},
    {"ShortOfSecondAcrossClockWrap", 0xFFFFFE00u, {0x000001E7u}, {""}, 1, 0xFFFFFE00u},
    // A reading behind the period start is a negative difference, not a
    // huge unsigned one, so it does not close the period.
    {"ReadingBehindStartDoesNotClose", 5000, {4000}, {""}, 1, 5000},
};

class FpsTable : public ::testing::TestWithParam<FpsCase> {};

TEST_P(FpsTable, PeriodRules) {
  const FpsCase& c = GetParam();
  scriptedReadings = c.readings;
  readsTaken = 0;
  readPastScript = false;

  FpsTally tally = {};
  uint32_t periodStart = c.periodStart;
  for (size_t tick = 0; tick < c.texts.size(); ++tick) {
    const char* text = countFpsFrame(tally, &periodStart, scriptedClock);
    ASSERT_STREQ(c.texts[tick].c_str(), text) << "tick " << tick;
    ASSERT_EQ(tally.text, text) << "returns the tally's own text";
  }
  EXPECT_FALSE(readPastScript) << "took a reading the script did not expect";
  EXPECT_EQ(c.readings.size(), readsTaken) << "left scripted readings unread";
  EXPECT_EQ(c.frameCount, tally.frameCount);
  EXPECT_EQ(c.periodStartAfter, periodStart);
}

INSTANTIATE_TEST_SUITE_P(Periods, FpsTable, ::testing::ValuesIn(kFpsCases), ParamName());

// A shorter count after a longer one leaves no digits of the old text behind.
TEST(FpsCount, ShorterTextReplacesLongerOne) {
  FpsTally tally = {};
  strcpy(tally.text, "1234");
  tally.frameCount = 6;
  scriptedReadings = {3000, 3001};
  readsTaken = 0;
  uint32_t periodStart = 2000;
  EXPECT_STREQ("7", countFpsFrame(tally, &periodStart, scriptedClock));
}

}  // namespace
