// The frame's time gates on the wrapping millisecond clock.
#include <gtest/gtest.h>
#include <stdint.h>

#include <string>

#include "scene/frame_timing.h"

namespace {

struct GateCase {
  const char* name;
  uint32_t now;
  uint32_t since;  // last mouse move, or start of the hold-back
  bool open;
};

const GateCase kEyeCases[] = {
    {"SameMillisecond", 5000, 5000, true},
    {"Seen999msAgo", 5999, 5000, true},
    {"Seen1000msAgo", 6000, 5000, false},
    {"LongAgo", 900000, 5000, false},
    {"Seen999msAgoAcrossWrap", 0x000002E7u, 0xFFFFFF00u, true},
    {"Seen1000msAgoAcrossWrap", 0x000002E8u, 0xFFFFFF00u, false},
    {"NeverSeenLongAfterBoot", 3600000, 0, false},
};

const GateCase kHoldBackCases[] = {
    {"AtStart", 10000, 10000, false},
    {"Exactly3000", 13000, 10000, false},
    {"Past3000", 13001, 10000, true},
    {"Exactly3000AcrossWrap", 2000, 0xFFFFFC18u, false},
    {"Past3000AcrossWrap", 2001, 0xFFFFFC18u, true},
};

std::string caseName(const ::testing::TestParamInfo<GateCase>& info) {
  return info.param.name;
}

class EyeGateTable : public ::testing::TestWithParam<GateCase> {};
TEST_P(EyeGateTable, UnderOneSecond) {
  const GateCase& c = GetParam();
  EXPECT_EQ(c.open, eyesVisible(c.now, c.since));
}
INSTANTIATE_TEST_SUITE_P(MouseWindow, EyeGateTable, ::testing::ValuesIn(kEyeCases), caseName);

class HoldBackTable : public ::testing::TestWithParam<GateCase> {};
TEST_P(HoldBackTable, MoreThanThreeSeconds) {
  const GateCase& c = GetParam();
  EXPECT_EQ(c.open, holdBackOver(c.now, c.since));
}
INSTANTIATE_TEST_SUITE_P(Presentation, HoldBackTable, ::testing::ValuesIn(kHoldBackCases),
                         caseName);

}  // namespace
